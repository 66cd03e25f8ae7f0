#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

namespace data {

class Connection;
class CopyInStream;
class Statement;

// Many rows into one table, every value bound, in the caller's transaction.
// On QPSQL the rows go in by COPY (PgCopy.h); elsewhere as many a statement
// as the dialect's rowsPerInsert(): one prepared single-row statement run
// again and again when that is 1 (SQLite), multi-row VALUES lists otherwise
// (one round trip per few hundred rows).
class BulkLoad
{
public:
    // Shared: other statements, and other loads, may run on the connection
    // between add()s; on COPY the rows go a few megabytes a statement.
    // Exclusive: nothing else runs on the connection until finish(); on COPY
    // one statement takes all the rows, each megabyte sent as it fills, so
    // that the server stores rows while the caller reads the next ones.
    enum class Use { Shared, Exclusive };

    BulkLoad(Connection &db, QString table, QStringList columns, Use use = Use::Shared);
    // Rows not finished are not loaded.
    ~BulkLoad();
    BulkLoad(const BulkLoad &) = delete;
    BulkLoad &operator=(const BulkLoad &) = delete;

    // One row, each value as Connection::exec() binds it. Throws DbError.
    void add(const QVariantList &row);

    // Whether the rows go in by COPY: then a row may be written straight in
    // COPY's text format instead, without a QVariant for each value.
    bool copies() const { return m_copy; }
    // With copies(): `write(QByteArray &)` appends one row as
    // appendCopyRow() would (copytext, PgCopy.h). Throws DbError.
    template <typename Write> void addText(Write &&write)
    {
        write(m_text);
        textAdded();
    }

    // Loads what is left; call before the transaction commits. Throws
    // DbError when the database refuses any row.
    void finish();

private:
    void textAdded();
    void sendText();
    void insertPending();

    Connection &m_db;
    QString m_table;
    QStringList m_columns;
    Use m_use;
    bool m_copy = false;
    QString m_insert; // "INSERT INTO table (columns) VALUES "
    QString m_tuple; // "(?,?,?)"
    QByteArray m_text; // COPY's rows not sent yet
    std::unique_ptr<CopyInStream> m_stream;
    QVariantList m_pending; // the values of the rows of the next INSERT
    qsizetype m_pendingBytes = 0; // of the files among them
    int m_rowsPerStatement = 1;
    std::unique_ptr<Statement> m_single;
};

} // namespace data
