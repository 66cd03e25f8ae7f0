#include "staff/EmployeeEntry.h"

#include "base/Formats.h"
#include "base/Passwords.h"
#include "data/Schema.h"

#include "data/Database.h"
#include "data/RowMap.h"

#include <QSet>

namespace EmployeeEntry {

namespace {

    QList<Choice> choices(data::Connection &db, const QString &sql, const QVariantList &params = {})
    {
        QList<Choice> list;
        data::Rows q = db.exec(sql, params);
        while (q.next())
            list.append({ q.value(0).toLongLong(), q.value(1).toString() });
        return list;
    }

    FieldProblem required(const char *field)
    {
        return { QString::fromLatin1(field), QStringLiteral("First Name, Last Name, and Type are Required."),
            QStringLiteral("Required Fields") };
    }

    FieldProblem idOutOfRange()
    {
        return { QString(),
            QStringLiteral("This employee cannot be added: the database would give it a number above 32,767, "
                           "and an employee with such a number could never log in. Nothing was saved."),
            QStringLiteral("Employee Not Saved") };
    }

    // The columns the editor edits, as saved (the user name trimmed).
    data::Fields columns(const Employee &e)
    {
        data::Fields fields;
        const auto add = [&](const char *column, const QVariant &value) {
            fields << qMakePair(QString::fromLatin1(column), value);
        };
        add("FirstName", e.firstName);
        add("MiddleName", e.middleName);
        add("LastName", e.lastName);
        add("Address1", e.address1);
        add("Address2", e.address2);
        add("City", e.city);
        add("State", e.state);
        add("Zip", e.zip);
        add("Phone1", e.phone1);
        add("Phone2", e.phone2);
        add("Fax", e.fax);
        add("Email", e.email);
        add("Inactive", e.inactive);
        add("UserTypeID", e.userTypeId);
        add("Username", e.username.trimmed());
        return fields;
    }

    const QString kAdmin = QStringLiteral("Admin");

    FieldProblem notSaved(const char *field, const QString &text)
    {
        return { QString::fromLatin1(field), text, QStringLiteral("Employee Not Saved") };
    }

    // What the rules ask of an employee row as it stands in the database.
    struct Standing
    {
        QString type; // the type's name; empty when it names no type
        bool inactive = false;
        QString username;
        QSet<qint64> granted; // permissions that exist, as the editor lists them
    };

    QString typeName(data::Connection &db, qint64 typeId)
    {
        return db.scalar(QStringLiteral("SELECT Name FROM EmployeeType WHERE ID = ?"), { typeId }).toString();
    }

    std::optional<Standing> standing(data::Connection &db, qint64 id)
    {
        Standing row;
        {
            data::Rows q
                = db.exec(QStringLiteral(
                              "SELECT EmployeeType.Name, Employee.Inactive, Employee.Username FROM Employee"
                              " LEFT JOIN EmployeeType ON EmployeeType.ID = Employee.UserTypeID WHERE Employee.ID = ?"),
                    { id });
            if (!q.next())
                return std::nullopt;
            row.type = q.value(0).toString();
            // NULL counts as inactive, as the login counts it.
            row.inactive = q.value(1).isNull() || q.value(1).toBool();
            row.username = q.value(2).toString().trimmed();
        }
        // As the editor lists them: rows of a permission that still exists.
        data::Rows granted
            = db.exec(QStringLiteral("SELECT UserPermission.PermissionID FROM UserPermission"
                                     " INNER JOIN Permission ON UserPermission.PermissionID = Permission.ID"
                                     " WHERE UserPermission.UserID = ?"),
                { id });
        while (granted.next())
            row.granted.insert(granted.value(0).toLongLong());
        return row;
    }

    // The rules that keep an editor who is no Admin below the Admins, and
    // the rule that keeps one Admin.
    std::optional<FieldProblem> refusal(data::Connection &db, const Editor &editor, const Employee &e,
        const QString &type, const std::optional<Standing> &before, bool newPassword,
        const QList<qint64> &permissionIds)
    {
        const bool wasAdmin = before && before->type == kAdmin;
        const bool isAdmin = type == kAdmin;
        if (!editor.admin) {
            if (isAdmin && !wasAdmin)
                return notSaved(
                    "UserTypeID", QStringLiteral("Only an administrator can make an employee an administrator."));
            if (wasAdmin
                && (!isAdmin || newPassword || e.inactive != before->inactive
                    || e.username.trimmed() != before->username)) {
                return notSaved("UserTypeID",
                    QStringLiteral("Only an administrator can change an administrator's type, password, username "
                                   "or Inactive."));
            }
            const QSet<qint64> held(editor.held.cbegin(), editor.held.cend());
            const auto nameOf = [&db](qint64 id) {
                return db.scalar(QStringLiteral("SELECT Name FROM Permission WHERE ID = ?"), { id }).toString();
            };
            // Whoever sets another's password or user name can log in as
            // them: only as someone who holds nothing more than the editor.
            const bool loginChanged = before
                && (newPassword || e.inactive != before->inactive || e.username.trimmed() != before->username
                    || type != before->type);
            for (const qint64 id : loginChanged ? before->granted : QSet<qint64>()) {
                if (held.contains(id))
                    continue;
                return notSaved("",
                    QStringLiteral("You cannot change the password, username, Inactive or type of an employee "
                                   "who holds the permission \"%1\": you do not hold it yourself.")
                        .arg(nameOf(id)));
            }
            // An Admin's rows grant nothing: only a User's are compared.
            const QSet<qint64> after
                = isAdmin ? QSet<qint64>() : QSet<qint64>(permissionIds.cbegin(), permissionIds.cend());
            const QSet<qint64> granted = before && !isAdmin ? before->granted : QSet<qint64>();
            for (const QSet<qint64> &changed : { after - granted, granted - after }) {
                for (const qint64 id : changed) {
                    if (held.contains(id))
                        continue;
                    return notSaved("",
                        QStringLiteral("You cannot grant or take away the permission \"%1\": you do not hold it "
                                       "yourself.")
                            .arg(nameOf(id)));
                }
            }
        }
        // An Admin who can log in: active, with a user name.
        const bool wasLoginAdmin = wasAdmin && !before->inactive && !before->username.isEmpty();
        if (wasLoginAdmin && (!isAdmin || e.inactive || e.username.trimmed().isEmpty())) {
            // The Admins' rows stay locked until the commit: a second save
            // that would demote another Admin waits here, then counts the
            // Admins as this one leaves them.
            data::Rows admins
                = db.exec(db.dialect().selectForUpdate(QStringLiteral("Employee.ID"), QStringLiteral("Employee"),
                              QStringLiteral("JOIN EmployeeType ON EmployeeType.ID = Employee.UserTypeID"
                                             " WHERE EmployeeType.Name = ? AND Employee.Inactive = ?"
                                             " AND Employee.Username <> ?")),
                    { kAdmin, false, QStringLiteral("") });
            qint64 others = 0;
            while (admins.next())
                others += admins.value(0).toLongLong() != e.id ? 1 : 0;
            if (others == 0) {
                return notSaved("UserTypeID",
                    QStringLiteral("This is the last active administrator: it cannot be made another type or "
                                   "inactive, nor lose its username. Make another employee an administrator "
                                   "first."));
            }
        }
        return std::nullopt;
    }

} // namespace

Editor loadEditor(data::Connection &db, qint64 userId)
{
    Editor editor;
    const std::optional<Standing> row = standing(db, userId);
    // A row gone or inactive edits as nobody: it holds nothing.
    if (!row || row->inactive)
        return editor;
    editor.admin = row->type == kAdmin;
    editor.held = QList<qint64>(row->granted.cbegin(), row->granted.cend());
    return editor;
}

QList<Choice> loadEmployeeChoices(data::Connection &db)
{
    QList<Choice> list;
    data::Rows q = db.exec(
        QStringLiteral("SELECT ID,FirstName,LastName FROM Employee ORDER BY LastName, FirstName, MiddleName, ID"));
    while (q.next()) {
        list.append({ q.value(0).toLongLong(), q.value(2).toString() + QStringLiteral(", ") + q.value(1).toString() });
    }
    return list;
}

Lists loadLists(data::Connection &db)
{
    Lists lists;
    lists.employees = loadEmployeeChoices(db);
    lists.types = choices(db, QStringLiteral("SELECT ID,Name FROM EmployeeType ORDER BY Name"));
    data::Rows q = db.exec(QStringLiteral("SELECT State FROM State ORDER BY State"));
    while (q.next())
        lists.states << q.value(0).toString();
    return lists;
}

QList<Choice> loadAllPermissions(data::Connection &db)
{
    return choices(db, QStringLiteral("SELECT ID,Name FROM Permission ORDER BY Name"));
}

std::optional<Employee> loadEmployee(data::Connection &db, qint64 id)
{
    data::Rows q = db.exec(
        QStringLiteral("SELECT Employee.ID,FirstName,MiddleName,LastName,Address1,Address2,City,State,Zip,"
                       "Phone1,Phone2,Fax,Email,Inactive,UserTypeID,EmployeeType.Name AS UserType,Username,Password,"
                       "Employee.EditedBy,Employee.EditedDate,Employee.RowVersion"
                       " FROM Employee LEFT JOIN EmployeeType ON EmployeeType.ID = Employee.UserTypeID"
                       " WHERE Employee.ID = ?"),
        { id });
    return data::one(q, [](const data::Row &row) {
        const auto text = [&](const char *column) { return row[column].toString(); };
        Employee e;
        e.id = row["ID"].toLongLong();
        e.firstName = text("FirstName");
        e.middleName = text("MiddleName");
        e.lastName = text("LastName");
        e.address1 = text("Address1");
        e.address2 = text("Address2");
        e.city = text("City");
        e.state = text("State");
        e.zip = text("Zip");
        e.phone1 = text("Phone1");
        e.phone2 = text("Phone2");
        e.fax = text("Fax");
        e.email = text("Email");
        e.inactive = row["Inactive"].toBool();
        e.userTypeId = row["UserTypeID"].toLongLong();
        e.userType = text("UserType");
        e.username = text("Username");
        e.password = text("Password");
        e.editedBy = row["EditedBy"];
        e.editedDate = row["EditedDate"];
        e.rowVersion = row["RowVersion"];
        e.loaded = row.read(columns(e));
        e.loaded << qMakePair(QStringLiteral("Password"), row["Password"]);
        return e;
    });
}

Permissions loadPermissions(data::Connection &db, qint64 employeeId)
{
    Permissions p;
    // A NULL in NOT IN's list would make it match nothing at all.
    p.notGranted = choices(db,
        QStringLiteral("SELECT ID,Name FROM Permission WHERE ID NOT IN (SELECT PermissionID FROM UserPermission"
                       " WHERE UserID = ? AND PermissionID IS NOT NULL) ORDER BY Name"),
        { employeeId });
    // Rows of a permission that no longer exists are left out (and dropped at
    // the next save); a permission granted twice is listed once.
    p.granted = choices(db,
        QStringLiteral("SELECT DISTINCT Permission.ID,Permission.Name FROM UserPermission"
                       " INNER JOIN Permission ON UserPermission.PermissionID = Permission.ID"
                       " WHERE UserPermission.UserID = ? ORDER BY Permission.Name"),
        { employeeId });
    return p;
}

std::optional<FieldProblem> validate(const Employee &e)
{
    if (e.firstName.isEmpty())
        return required("FirstName");
    if (e.lastName.isEmpty())
        return required("LastName");
    if (e.userType.isEmpty())
        return required("UserTypeID");
    return data::tooLong(QStringLiteral("Employee"), columns(e));
}

bool usernameTaken(data::Connection &db, const QString &username, qint64 exceptId)
{
    const QString name = username.trimmed();
    if (name.isEmpty())
        return false;
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM Employee WHERE ")
                     + db.dialect().equalsIgnoreCase(QStringLiteral("Username"), QStringLiteral("?"))
                     + QStringLiteral(" AND ID <> ?"),
                 { name, exceptId })
               .toLongLong()
        > 0;
}

FieldProblem usernameExists()
{
    return { QStringLiteral("Username"),
        QStringLiteral("This username already exists.  Please choose a different username."),
        QStringLiteral("Username Exists") };
}

std::variant<qint64, FieldProblem> save(data::Connection &db, const Employee &e, const QString &newPassword,
    const QList<qint64> &permissionIds, const Editor &editor, const data::Stamp &stamp,
    const std::optional<QList<qint64>> &loadedPermissionIds)
{
    // Hashing takes a while and much memory: done before the transaction.
    const QString typed = newPassword.trimmed();
    const QString password = typed.isEmpty() ? e.password : Passwords::hash(typed);
    const QString username = e.username.trimmed();
    data::Fields fields = data::stampFields(stamp, e.id == 0);
    fields << columns(e);
    // Written only when it changes: the login may have replaced a plain-text
    // password by its hash since the employee was read.
    if (e.id == 0 || !typed.isEmpty())
        fields << qMakePair(QStringLiteral("Password"), QVariant(password));

    data::Transaction transaction(db);
    // SQLite: the write lock before the first read, so that the rules below
    // read what a concurrent save committed, not an older snapshot.
    if (const QString lock = db.dialect().writeLock(QStringLiteral("Employee")); !lock.isEmpty())
        db.exec(lock);
    // Asked again here: the box is checked when the user leaves it, which a
    // click on Save does not wait for, and another user may have taken the
    // name since.
    if (usernameTaken(db, username, e.id))
        return usernameExists();
    const QString type = typeName(db, e.userTypeId);
    const std::optional<Standing> before = e.id == 0 ? std::nullopt : standing(db, e.id);
    if (std::optional<FieldProblem> problem = refusal(db, editor, e, type, before, !typed.isEmpty(), permissionIds))
        return *problem; // rolled back
    qint64 id = e.id;
    bool rewrite = true;
    if (id == 0) {
        id = db.insertRow(QStringLiteral("Employee"), fields);
        if (id > kLargestEmployeeId)
            return idOutOfRange(); // rolled back
    } else {
        QList<data::LinkSet> links;
        if (loadedPermissionIds) {
            const auto texts = [](const QList<qint64> &ids) {
                QStringList list;
                for (qint64 permission : ids)
                    list << QString::number(permission);
                return list;
            };
            links << data::LinkSet { QStringLiteral("Permissions"), texts(*loadedPermissionIds), texts(permissionIds),
                [&db, id, texts] {
                    QList<qint64> granted;
                    for (const Choice &permission : loadPermissions(db, id).granted)
                        granted << permission.id;
                    return texts(granted);
                } };
        }
        db.updateRowAtVersion(QStringLiteral("Employee"), id, fields, e.loaded, e.rowVersion,
            QStringLiteral("Employee %1").arg(id), links);
        // An "Admin" keeps no rows, whatever was read.
        rewrite = links.isEmpty() || links.first().changed() || type == kAdmin;
    }
    if (rewrite) {
        db.exec(QStringLiteral("DELETE FROM UserPermission WHERE UserID = ?"), { id });
        // An "Admin" holds every permission without rows of its own.
        if (type != kAdmin && !permissionIds.isEmpty()) {
            data::Statement insert(db, QStringLiteral("INSERT INTO UserPermission (UserID,PermissionID) VALUES (?,?)"));
            for (qsizetype i = permissionIds.size() - 1; i >= 0; --i)
                insert.run({ id, permissionIds.at(i) });
        }
    }
    transaction.commit();
    return id;
}

} // namespace EmployeeEntry
