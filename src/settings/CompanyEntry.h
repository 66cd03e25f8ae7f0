#pragma once

#include "data/Database.h"

#include "base/FieldProblem.h"
#include "settings/Company.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <variant>

// The company settings as the settings screen shows and edits them: every
// value as the text of its box. Turning them into a CompanyRow is where the
// numbers are checked, so nothing the user typed is lost to a bad conversion.
struct CompanyTexts
{
    QString name;
    QString address1;
    QString address2;
    QString city;
    QString state;
    QString zip;
    QString phone;
    QString fax;
    QString website;
    QString email;
    QString keyPressDelay;
    QString qbItemName;
    QString qbItemDescription;
    QString qbItemAmount;
    QString dryingDays;
    // "F" or "C"; empty reads as "F".
    QString temperatureUnit;
    bool dryingLogAlert = false;
    bool billEquipmentDays = false;
    // A whole number from 1 to kMaxBackupsToKeep; empty reads as the default.
    QString backupsToKeep;
    // "The program makes the backups" as the box shows it.
    bool programBackups = false;
    // What the box showed for a setting never stored (the database's
    // default); nothing once one is stored. Left at that, the setting stays
    // unstored, so that a copy onto another kind of database takes that
    // one's default.
    std::optional<bool> programBackupsDefault;
    // The row read, carried through to the save (see CompanyRow).
    qint64 id = 0;
    QVariant rowVersion;
    data::Fields loaded;
};

namespace data {
class Connection;
}

namespace CompanyEntry {

// The first Company row as box texts: a NULL reads as an empty box, numbers
// as their plain decimal text, "The program makes the backups" as its
// default for the database. Nothing when the table is empty. Throws
// data::DbError.
std::optional<CompanyTexts> load(data::Connection &db);

// The texts of a company not stored yet: empty boxes, the settings at
// their defaults for the database.
CompanyTexts newTexts(data::Connection &db);

// The pick list of states, in order. Throws data::DbError.
QStringList states(data::Connection &db);

// Checks the texts and converts them into the row to save; texts are kept as
// typed (not trimmed). The first problem found (the required texts, then a
// text longer than its column, then the numbers), otherwise; its field is
// the Company column at fault.
std::variant<CompanyRow, FieldProblem> toRow(const CompanyTexts &texts);

// The refusal of a key-press delay below one second (also used when the user
// leaves the box).
FieldProblem keyPressDelayTooSmall();

// ---- conversions, public for the screen and the tests

// The number the text starts with (after blanks); 0 when it starts with none.
double leadingNumber(const QString &text);
// The key-press delay box may be left when its leading number is at least 1.
bool keyPressDelayAccepted(const QString &text);
// "Backups to keep": empty is the default, else a whole number from 1 to
// kMaxBackupsToKeep.
inline constexpr int kMaxBackupsToKeep = 999;
std::optional<int> parseBackupsToKeep(const QString &text);
// Drying days: a number rounded to a whole day (halves to even), 0 or more.
std::optional<int> parseDryingDays(const QString &text);
// A stored number as the plain decimal text a box shows (no exponent, no
// group separators).
QString numberText(double value);

} // namespace CompanyEntry
