#pragma once

#include "data/Database.h"

#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <optional>

namespace data {
class Connection;
}

inline constexpr int kDefaultBackupsToKeep = 14;

// The single row of the Company table.
struct CompanyRow
{
    QString name;
    QString address1;
    QString address2;
    QString city;
    QString state;
    QString zip;
    QString phone;
    QString fax;
    QString email;
    QString website;
    double keyPressDelay = 0;
    QString qbItemName;
    QString qbItemDescription;
    double qbItemAmount = 0;
    int dryingDays = 0;
    // The drying log's temperature unit, "F" or "C" (NULL reads as "F").
    QString temperatureUnit = QStringLiteral("F");
    // The board's alert follows the drying log's moisture points (NULL: off).
    bool dryingLogAlert = false;
    // Invoices add the job's equipment-days per type (NULL: off).
    bool billEquipmentDays = false;
    // How many of the program's automatic backups are kept (NULL: the
    // default, kDefaultBackupsToKeep).
    int backupsToKeep = kDefaultBackupsToKeep;
    // The program makes the backups (and reminds of them); NULL (nothing)
    // means yes for the embedded database, no for a server.
    std::optional<bool> programBackups;
    // The row as read (0 and invalid when the table was empty), its version
    // and its saved columns: a save writes what the user changed, refused
    // only where someone else changed the same since.
    qint64 id = 0;
    QVariant rowVersion;
    data::Fields loaded;
};

namespace Company {

// The first Company row as stored (NULLs kept); nothing when the table is
// empty. Throws data::DbError, also when a setting's column is missing.
std::optional<QSqlRecord> firstRow(data::Connection &db);

// A stored row as values: NULLs read as empty text or 0, the drying days
// rounded to the nearest whole day (halves to even).
CompanyRow fromRecord(const QSqlRecord &record);

// firstRow() as values.
std::optional<CompanyRow> load(data::Connection &db);

// Writes the row: edits the row it was read from while nobody has changed it
// since (else data::ChangedByOtherError), or adds one to a table read empty
// (refused the same way when a row has appeared since). One transaction.
// Throws data::DbError.
void save(data::Connection &db, const CompanyRow &row);

} // namespace Company
