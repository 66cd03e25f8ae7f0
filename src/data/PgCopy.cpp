#include "data/PgCopy.h"

#include "data/Database.h"

#include <QDateTime>
#include <QSqlDriver>
#include <algorithm>
#include <libpq-fe.h>
#include <optional>

namespace data {

namespace {

    // COPY's text format: backslash, tab, line feed and carriage return are
    // escaped; \N is NULL.
    void appendText(QByteArray &out, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        for (const char c : utf8) {
            switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
            }
        }
    }

    // "yyyy-MM-dd HH:mm:ss.zzz", written out by hand: QDateTime::toString()
    // parses its format anew at every call, and a load writes millions.
    void appendDateTime(QByteArray &out, const QDateTime &when)
    {
        const auto put = [&](int value, int width) {
            char digits[8];
            for (int i = width - 1; i >= 0; --i, value /= 10)
                digits[i] = char('0' + value % 10);
            out.append(digits, width);
        };
        const QDate day = when.date();
        const QTime time = when.time();
        if (day.year() < 1 || day.year() > 9999) {
            out += when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
            return;
        }
        put(day.year(), 4);
        out += '-';
        put(day.month(), 2);
        out += '-';
        put(day.day(), 2);
        out += ' ';
        put(time.hour(), 2);
        out += ':';
        put(time.minute(), 2);
        out += ':';
        put(time.second(), 2);
        out += '.';
        put(time.msec(), 3);
    }

    void appendValue(QByteArray &out, const QVariant &value)
    {
        if (!value.isValid() || value.isNull()) {
            // A null QString is the empty text, as Connection binds it.
            if (value.typeId() != QMetaType::QString)
                out += "\\N";
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            out += value.toBool() ? 't' : 'f';
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            out += QByteArray::number(value.toDouble(), 'g', 17);
            break;
        case QMetaType::QDateTime: {
            const QDateTime when = value.toDateTime();
            if (!when.isValid())
                out += "\\N";
            else
                appendDateTime(out, when.timeSpec() == Qt::LocalTime ? when : when.toLocalTime());
            break;
        }
        case QMetaType::QDate:
            out += value.toDate().toString(Qt::ISODate).toLatin1();
            break;
        default:
            appendText(out, value.toString());
        }
    }

} // namespace

bool copyInAvailable(Connection &db)
{
    return db.handle().driverName() == QLatin1String("QPSQL") && db.handle().driver()
        && db.handle().driver()->handle().isValid();
}

void appendCopyRow(QByteArray &out, const QVariantList &row)
{
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (i > 0)
            out += '\t';
        appendValue(out, row.at(i));
    }
    out += '\n';
}

void copyIn(Connection &db, const QString &table, const QStringList &columns, const QByteArray &rows)
{
    const QString sql = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(u','));
    checkInjectedFailure(sql);
    // QPSQL hands out its PGconn * in a QVariant of a type of its own.
    const QVariant handle = db.handle().driver()->handle();
    PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
    const auto resultError = [&](PGresult *result) {
        return DbError(QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)),
            QString::fromUtf8(PQresultErrorMessage(result)).trimmed(), sql);
    };
    PGresult *start = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(start) != PGRES_COPY_IN) {
        const DbError error = resultError(start);
        PQclear(start);
        throw error;
    }
    PQclear(start);
    // Sent in slices, so that libpq never holds a second copy of it all.
    constexpr qsizetype kSlice = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < rows.size(); at += kSlice)
        sent = PQputCopyData(conn, rows.constData() + at, int(std::min(kSlice, rows.size() - at))) == 1;
    const bool ended = PQputCopyEnd(conn, sent ? nullptr : "not all rows could be sent") == 1;
    std::optional<DbError> error;
    while (PGresult *result = PQgetResult(conn)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK && !error)
            error = resultError(result);
        PQclear(result);
    }
    if (error)
        throw *error;
    if (!sent || !ended)
        throw DbError(QStringLiteral("-1"), QString::fromUtf8(PQerrorMessage(conn)).trimmed(), sql);
}

} // namespace data
