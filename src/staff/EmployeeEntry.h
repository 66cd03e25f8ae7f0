#pragma once

#include "base/FieldProblem.h"
#include "data/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The employee editor's UI-free half: the employee record, its lists, checks
// and save. Permission rows go with the employee in the same transaction.
namespace EmployeeEntry {

// Every text box of the editor takes at most this many characters.
inline constexpr int kTextLength = 50;
// The logged-in user's ID is 16-bit: a larger employee ID can never log in.
inline constexpr qint64 kLargestEmployeeId = 32767;

// One entry of a chooser or list and its hidden twin: the text shown and the
// ID of its row.
struct Choice
{
    qint64 id = 0;
    QString name;
    bool operator==(const Choice &) const = default;
};

// One Employee row as the editor edits it. NULL texts read as empty.
struct Employee
{
    qint64 id = 0; // 0: not saved yet
    QString firstName;
    QString middleName;
    QString lastName;
    QString address1;
    QString address2;
    QString city;
    QString state;
    QString zip;
    QString phone1;
    QString phone2;
    QString fax;
    QString email;
    bool inactive = false;
    qint64 userTypeId = 0; // may name no EmployeeType row (0: none)
    QString userType; // the type's name; empty when the ID names no type
    QString username;
    // As stored: a salted hash (or an older installation's plain text). It is
    // never shown; a save keeps it unless a new password is typed.
    QString password;
    QVariant editedBy;
    QVariant editedDate;
    // The row's version as read, and its saved columns as read: a save
    // writes what the user changed, refused only where someone else changed
    // the same since.
    QVariant rowVersion;
    data::Fields loaded;
};

// Who saves an employee, for the rules that keep a user from raising
// anyone's rights above their own.
struct Editor
{
    bool admin = false; // of the type "Admin" (exact case), which holds every permission
    QList<qint64> held; // the IDs of the permissions the editor holds (an Admin's are not needed)
};

struct Lists
{
    QList<Choice> employees; // "Last, First", ordered by last, first, middle name
    QList<Choice> types; // by name
    QStringList states;
};

// The employee's permissions: those not granted and those granted, each
// ordered by name.
struct Permissions
{
    QList<Choice> notGranted;
    QList<Choice> granted;
};

// The lists of the editor. Throws data::DbError.
Lists loadLists(data::Connection &db);
// The employee chooser alone. Throws data::DbError.
QList<Choice> loadEmployeeChoices(data::Connection &db);
// Every permission, by name. Throws data::DbError.
QList<Choice> loadAllPermissions(data::Connection &db);
// Nothing when no row has that ID. Throws data::DbError.
std::optional<Employee> loadEmployee(data::Connection &db, qint64 id);
Permissions loadPermissions(data::Connection &db, qint64 employeeId);

// First name, last name and a type of the list are required; every text
// fits its column.
std::optional<FieldProblem> validate(const Employee &employee);

// Whether another employee than `exceptId` has this user name, in any
// letter case (blanks around it ignored). An empty name (an employee without
// a login) is never taken. Throws data::DbError.
bool usernameTaken(data::Connection &db, const QString &username, qint64 exceptId);
FieldProblem usernameExists();

// The logged-in user as an editor of employees, as their row stands now (an
// Admin demoted since the login is no longer one). Throws data::DbError.
Editor loadEditor(data::Connection &db, qint64 userId);

// Saves the employee: a new row when employee.id is 0, else that row,
// stamped; the user name trimmed. `newPassword` (trimmed, as the login
// trims) replaces the stored password as a salted hash; empty keeps it. The
// UserPermission rows are rewritten from `permissionIds`, inserted from the
// last to the first; an "Admin" keeps none. For an existing employee,
// `loadedPermissionIds` are the granted permissions as read with it: the
// rows are rewritten only when `permissionIds` differ (or the type is
// "Admin"), refused when someone else changed them meanwhile (always
// rewritten when not given). One transaction: a refusal or an error writes
// nothing.
// Of an existing row only the fields the user changed are written: a change
// by anyone else in between to one of them throws data::ChangedByOtherError
// (naming the fields, who and when) and writes nothing.
// Only an Admin `editor` may make an employee an Admin, change an Admin's
// type, password, user name or active state, change those of an employee
// who holds a permission the editor does not (that would let the editor log
// in as them), or grant or take away a permission the editor does not hold.
// Nobody may leave no Admin who can log in: the last active Admin with a
// user name keeps the type, stays active and keeps a user name. The
// Admins' rows are locked for this check, so that two saves at once cannot
// each demote the other. These are decided on the rows as they are inside
// the transaction, not as the screen read them.
// Returns the row's ID, or the problem that refused it: one of the rules
// above, the user name is taken, or a new employee would get an ID above
// kLargestEmployeeId.
// Throws data::DbError (also when the row of an existing employee is gone).
std::variant<qint64, FieldProblem> save(data::Connection &db, const Employee &employee, const QString &newPassword,
    const QList<qint64> &permissionIds, const Editor &editor, const data::Stamp &stamp,
    const std::optional<QList<qint64>> &loadedPermissionIds = std::nullopt);

} // namespace EmployeeEntry
