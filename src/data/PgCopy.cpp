#include "data/PgCopy.h"

#include "data/Database.h"

#include <QDateTime>
#include <QSqlDriver>
#include <algorithm>
#include <cstring>
#include <libpq-fe.h>
#include <memory>
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
        case QMetaType::QByteArray:
            // bytea's hex form, its backslash escaped for COPY's text format.
            out += "\\\\x";
            out += value.toByteArray().toHex();
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

namespace {

    PGconn *pgHandle(Connection &db, const QString &sql)
    {
        // QPSQL hands out its PGconn * in a QVariant of a type of its own.
        const QVariant handle = db.handle().driver()->handle();
        PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
        if (!conn || PQstatus(conn) != CONNECTION_OK)
            throw DbError(QStringLiteral("-1"), QStringLiteral("The database connection is not open."), sql);
        return conn;
    }

    DbError resultError(PGresult *result, const QString &sql)
    {
        return DbError(QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)),
            QString::fromUtf8(PQresultErrorMessage(result)).trimmed(), sql);
    }

    void startCopy(PGconn *conn, const QString &sql)
    {
        PGresult *start = PQexec(conn, sql.toUtf8().constData());
        if (PQresultStatus(start) != PGRES_COPY_IN) {
            const DbError error = resultError(start, sql);
            PQclear(start);
            throw error;
        }
        PQclear(start);
    }

    // Ends the COPY (abandons it when `error` is given) and throws what the
    // server refused.
    void endCopy(PGconn *conn, const QString &sql, const char *error)
    {
        const bool ended = PQputCopyEnd(conn, error) == 1;
        std::optional<DbError> refused;
        while (PGresult *result = PQgetResult(conn)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && !refused)
                refused = resultError(result, sql);
            PQclear(result);
        }
        if (refused && !error)
            throw *refused;
        if (!ended && !error)
            throw DbError(QStringLiteral("-1"), QString::fromUtf8(PQerrorMessage(conn)).trimmed(), sql);
    }

} // namespace

CopyInStream::CopyInStream(Connection &db, const QString &table, const QStringList &columns)
    : m_sql(QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(u',')))
{
    checkInjectedFailure(m_sql);
    PGconn *conn = pgHandle(db, m_sql);
    startCopy(conn, m_sql);
    m_conn = conn;
    m_open = true;
}

CopyInStream::~CopyInStream()
{
    if (m_open)
        endCopy(static_cast<PGconn *>(m_conn), m_sql, "abandoned");
}

void CopyInStream::add(const QVariantList &row)
{
    appendCopyRow(m_buffer, row);
    if (m_buffer.size() >= (1 << 20))
        send();
}

void CopyInStream::send()
{
    if (m_buffer.isEmpty())
        return;
    auto *conn = static_cast<PGconn *>(m_conn);
    if (PQputCopyData(conn, m_buffer.constData(), int(m_buffer.size())) != 1) {
        m_open = false;
        const QString error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        endCopy(conn, m_sql, "not all rows could be sent");
        throw DbError(QStringLiteral("-1"), error, m_sql);
    }
    m_buffer.clear();
}

void CopyInStream::finish()
{
    if (!m_open)
        return;
    send();
    m_open = false;
    endCopy(static_cast<PGconn *>(m_conn), m_sql, nullptr);
}

void copyIn(Connection &db, const QString &table, const QStringList &columns, const QByteArray &rows)
{
    const QString sql = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(u','));
    checkInjectedFailure(sql);
    PGconn *conn = pgHandle(db, sql);
    startCopy(conn, sql);
    // Sent in slices, so that libpq never holds a second copy of it all.
    constexpr qsizetype kSlice = 1 << 20;
    for (qsizetype at = 0; at < rows.size(); at += kSlice) {
        if (PQputCopyData(conn, rows.constData() + at, int(std::min(kSlice, rows.size() - at))) != 1) {
            const QString error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
            endCopy(conn, sql, "not all rows could be sent");
            throw DbError(QStringLiteral("-1"), error, sql);
        }
    }
    endCopy(conn, sql, nullptr);
}

namespace {

    int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // Undoes COPY's escapes of the text format in [begin, end) in place (no
    // escape is shorter than what it stands for); the unescaped size.
    qsizetype unescape(char *begin, const char *end)
    {
        char *out = begin;
        const char *at = begin;
        while (at < end) {
            if (*at != '\\' || at + 1 == end) {
                *out++ = *at++;
                continue;
            }
            const char c = at[1];
            at += 2;
            switch (c) {
            case 'b':
                *out++ = '\b';
                break;
            case 'f':
                *out++ = '\f';
                break;
            case 'n':
                *out++ = '\n';
                break;
            case 'r':
                *out++ = '\r';
                break;
            case 't':
                *out++ = '\t';
                break;
            case 'v':
                *out++ = '\v';
                break;
            case 'x':
                if (at < end && hexDigit(*at) >= 0) {
                    int value = hexDigit(*at++);
                    if (at < end && hexDigit(*at) >= 0)
                        value = value * 16 + hexDigit(*at++);
                    *out++ = char(value);
                } else {
                    *out++ = 'x';
                }
                break;
            default:
                if (c >= '0' && c <= '7') {
                    int value = c - '0';
                    for (int i = 0; i < 2 && at < end && *at >= '0' && *at <= '7'; ++i)
                        value = value * 8 + (*at++ - '0');
                    *out++ = char(value);
                } else {
                    *out++ = c;
                }
            }
        }
        return out - begin;
    }

    // One line of COPY's text format (its line feed left off) into its
    // fields; those holding an escape are unescaped in place.
    void splitFields(char *line, const char *end, CopyFields &fields)
    {
        fields.clear();
        char *at = line;
        while (true) {
            auto *tab = static_cast<char *>(std::memchr(at, '\t', size_t(end - at)));
            const char *fieldEnd = tab ? tab : end;
            const qsizetype size = fieldEnd - at;
            if (size == 2 && at[0] == '\\' && at[1] == 'N')
                fields.append(QByteArrayView());
            else if (!std::memchr(at, '\\', size_t(size)))
                fields.append(QByteArrayView(at, size));
            else
                fields.append(QByteArrayView(at, unescape(at, fieldEnd)));
            if (!tab)
                return;
            at = tab + 1;
        }
    }

    // Reads what is left of a COPY ... TO STDOUT (`size` is what
    // PQgetCopyData() last returned) and its results, so that the connection
    // takes statements again; the server's error, if any.
    std::optional<DbError> finishCopyOut(PGconn *conn, const QString &sql, int size)
    {
        while (size > 0) {
            char *line = nullptr;
            size = PQgetCopyData(conn, &line, 0);
            if (size > 0)
                PQfreemem(line);
        }
        std::optional<DbError> failed;
        if (size == -2)
            failed = DbError(QStringLiteral("-1"), QString::fromUtf8(PQerrorMessage(conn)).trimmed(), sql);
        while (PGresult *result = PQgetResult(conn)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && !failed)
                failed = resultError(result, sql);
            PQclear(result);
        }
        return failed;
    }

} // namespace

void copyOut(Connection &db, const QString &table, const QStringList &columns,
    const std::function<void(const CopyFields &)> &row)
{
    const QString sql = QStringLiteral("COPY %1 (%2) TO STDOUT").arg(table, columns.join(u','));
    checkInjectedFailure(sql);
    PGconn *conn = pgHandle(db, sql);
    PGresult *start = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(start) != PGRES_COPY_OUT) {
        const DbError error = resultError(start, sql);
        PQclear(start);
        throw error;
    }
    PQclear(start);
    CopyFields fields;
    int size = 0;
    try {
        char *line = nullptr;
        // libpq hands out one whole row at a time, its line feed included.
        while ((size = PQgetCopyData(conn, &line, 0)) > 0) {
            const std::unique_ptr<char, decltype(&PQfreemem)> owned(line, &PQfreemem);
            splitFields(line, line + size - (line[size - 1] == '\n' ? 1 : 0), fields);
            row(fields);
        }
    } catch (...) {
        finishCopyOut(conn, sql, size);
        throw;
    }
    if (const std::optional<DbError> failed = finishCopyOut(conn, sql, size))
        throw *failed;
}

} // namespace data
