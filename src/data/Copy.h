#pragma once

#include "data/DbError.h"

#include <QList>
#include <QString>
#include <functional>

namespace data {

class Connection;

// One table as copied: its rows and a checksum of their values on each side.
// The checksum does not depend on the order of the rows nor on how a backend
// stores a value (a date as text or a timestamp, a boolean as 0/1 or BIT):
// equal checksums mean equal values. The row version is left out; it counts
// the changes within one database and starts anew in the target.
struct TableCopy
{
    QString table;
    qint64 sourceRows = 0;
    qint64 targetRows = 0;
    quint64 sourceChecksum = 0;
    quint64 targetChecksum = 0;

    bool matches() const { return sourceRows == targetRows && sourceChecksum == targetChecksum; }
};

struct CopyResult
{
    QList<TableCopy> tables;
    // False when a table came out different: the target was rolled back.
    bool committed = false;
    // Whether the target's tables had to be created (it had no schema).
    bool createdSchema = false;
};

struct CopyOptions
{
    // Replaces whatever the target holds; without it, a target that holds
    // jobs is refused.
    bool replace = false;
};

// Where a copy is: `done` of `total` rows of `table` after `elapsedMs`.
struct CopyProgress
{
    QString table;
    qint64 done = 0;
    qint64 total = 0;
    qint64 elapsedMs = 0;
    bool finished = false; // the table's last report
};

// A target that holds jobs, copied into without CopyOptions::replace.
class TargetNotEmptyError : public DbError
{
public:
    explicit TargetNotEmptyError(qint64 jobs);
};

// Copies every table of the schema from `source` into `target`, which may be
// on any backend: IDs kept, each identity continued past the highest ID,
// NULLs, dates, booleans, numbers and texts as they were. The source is read
// as one consistent snapshot while others may go on writing to it. The target
// is written in one transaction, its schema created first when it has none:
// a copy that fails leaves it as it was. Before committing, each table's rows
// are counted and checksummed on both sides; when any differs, nothing is
// committed (CopyResult::committed false).
//
// Both databases must be at this program's schema version (run upgrade
// first). A target that is the source itself, however its connection reached
// it (Dialect::databaseIdentity()), is refused before anything is locked.
// Throws DbError, TargetNotEmptyError.
CopyResult copyDatabase(Connection &source, Connection &target, const CopyOptions &options = {},
    const std::function<void(const CopyProgress &)> &progress = {});

// The checksum of one table as copyDatabase() computes it, read from `db`.
// `coarseDates`: date-times compared to SQL Server's 1/300 s.
TableCopy checksumTable(Connection &db, const QString &table, bool coarseDates = false);

// The tables copyDatabase() copies, in its order.
QStringList copiedTables();

} // namespace data
