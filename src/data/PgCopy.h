#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariantList>
#include <functional>

namespace data {

class Connection;

// PostgreSQL's bulk path: rows loaded by COPY ... FROM STDIN through the
// libpq handle of a QPSQL connection, one statement for any number of rows.

// Whether the connection can take a COPY (QPSQL; not PostgreSQL through ODBC).
bool copyInAvailable(Connection &db);

// Appends one row in COPY's text format, each value as the connection would
// bind it (Connection::exec): an invalid QVariant is NULL, a null QString the
// empty text, a date-time its wall-clock time, a QByteArray bytea's hex form.
void appendCopyRow(QByteArray &out, const QVariantList &row);

// One value at a time in COPY's text format, for rows whose values are typed
// already: each value as appendCopyRow() writes it, separated by '\t', the
// row ended by '\n'.
namespace copytext {
    void appendNull(QByteArray &out);
    void appendInteger(QByteArray &out, qint64 value);
    void appendReal(QByteArray &out, double value);
    void appendBoolean(QByteArray &out, bool value);
    // The wall-clock day and time.
    void appendDateTime(QByteArray &out, QDate day, QTime time);
    void appendText(QByteArray &out, QStringView text);
    // A bytea.
    void appendBytes(QByteArray &out, const QByteArray &bytes);
} // namespace copytext

// PostgreSQL builds an index over loaded rows at once far faster than row by
// row as they come: drops the indexes of `tables` on `target`, but those of a
// constraint (the primary keys), and returns their definitions as the catalog
// gives them, to run again after the load in the same transaction. Throws
// DbError.
QStringList dropIndexesForLoad(Connection &target, const QStringList &tables);

// One COPY ... FROM STDIN into the table's columns: the way in of BulkLoad
// (BulkLoad.h), which is the one to use. No other statement may run on the
// connection until finish().
class CopyInStream
{
public:
    // Starts the COPY. Throws DbError.
    CopyInStream(Connection &db, const QString &table, const QStringList &columns);
    // An unfinished COPY is abandoned: the server refuses its rows.
    ~CopyInStream();
    CopyInStream(const CopyInStream &) = delete;
    CopyInStream &operator=(const CopyInStream &) = delete;

    // Sends rows made by appendCopyRow() (or copytext). Throws DbError.
    void send(const QByteArray &rows);
    // Ends the COPY; throws DbError when the server refused any row (none
    // is loaded then).
    void finish();

private:
    QString m_sql;
    void *m_conn = nullptr; // PGconn
    bool m_open = false;
};

// One row as COPY ... TO STDOUT gives it in its text format, unescaped: a
// field per column, in UTF-8; NULL is a field with no data (isNull()), the
// empty text one of size 0 that has.
using CopyFields = QVarLengthArray<QByteArrayView, 64>;

// The bytes of a bytea field of copyOut(), in either of bytea's output forms.
// Throws DbError.
QByteArray byteaOf(QByteArrayView text);

// Reads the table's columns through COPY ... TO STDOUT on the connection (and
// in its transaction), handing each row to `row` as it comes. Throws DbError.
void copyOut(Connection &db, const QString &table, const QStringList &columns,
    const std::function<void(const CopyFields &)> &row);

} // namespace data
