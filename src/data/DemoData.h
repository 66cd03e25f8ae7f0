#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

namespace data {

class Connection;
class Statement;

struct DemoOptions
{
    int jobs = 200;
    int bookingsPerJob = 10;
    unsigned seed = 20110330;
    // Reference day for start dates and bookings; the demo always looks
    // current on the day it is seeded.
    QDate today;
};

// Fills the database with realistic, deterministic demo data: a
// company row (when there is none), employees with logins and permissions,
// customers' jobs of every type and status (drying jobs among them, some in
// alert, three of them with a drying log), subcontractors and time bookings.
// Rows go in as multi-row INSERTs in one transaction, so 100,000 jobs take
// seconds, not minutes.
// Throws DbError.
void seedDemo(Connection &db, const DemoOptions &options, const std::function<void(const QString &)> &progress = {});

// Adds the first employee of type "Admin" with a hashed password.
// Throws DbError (or std::invalid_argument for an empty user name/password).
int addAdministrator(Connection &db, const QString &username, const QString &password);

// Inserts many rows, every value bound, as many a statement as the dialect's
// rowsPerInsert(): one prepared single-row statement run again and again when
// that is 1 (SQLite), multi-row VALUES lists otherwise (one round trip per few
// hundred rows). On QPSQL the rows go in by COPY instead (PgCopy.h), a few
// megabytes a statement.
class BulkInserter
{
public:
    BulkInserter(Connection &db, QString table, QStringList columns);
    ~BulkInserter();
    void add(const QVariantList &row);
    // Writes what add() has gathered; call before the transaction commits.
    void flush();

private:
    Connection &m_db;
    QString m_table;
    QStringList m_columns;
    QVariantList m_pending;
    qsizetype m_pendingBytes = 0; // of the files among them
    static constexpr qsizetype kCopyBytes = 16 << 20;
    bool m_copy = false;
    QByteArray m_copyRows;
    int m_rowsPerStatement;
    std::unique_ptr<Statement> m_single;
};

} // namespace data
