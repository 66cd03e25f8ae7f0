#include "data/PgCopy.h"

#include "data/Database.h"

#include <QDateTime>
#include <QSqlDriver>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <libpq-fe.h>
#include <memory>
#include <optional>

namespace data {

namespace {

    // COPY's text format escapes backslash, tab, line feed and carriage
    // return; \N is NULL.
    char *putEscaped(char *out, char c)
    {
        switch (c) {
        case '\\':
            *out++ = '\\';
            *out++ = '\\';
            break;
        case '\t':
            *out++ = '\\';
            *out++ = 't';
            break;
        case '\n':
            *out++ = '\\';
            *out++ = 'n';
            break;
        case '\r':
            *out++ = '\\';
            *out++ = 'r';
            break;
        default:
            *out++ = c;
        }
        return out;
    }

    void appendValue(QByteArray &out, const QVariant &value)
    {
        if (!value.isValid() || value.isNull()) {
            // A null QString is the empty text, as Connection binds it.
            if (value.typeId() != QMetaType::QString)
                copytext::appendNull(out);
            return;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            copytext::appendBoolean(out, value.toBool());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            copytext::appendReal(out, value.toDouble());
            break;
        case QMetaType::QDateTime: {
            const QDateTime when = value.toDateTime();
            const QDateTime local = when.timeSpec() == Qt::LocalTime ? when : when.toLocalTime();
            if (!when.isValid())
                copytext::appendNull(out);
            else
                copytext::appendDateTime(out, local.date(), local.time());
            break;
        }
        case QMetaType::QDate:
            out += value.toDate().toString(Qt::ISODate).toLatin1();
            break;
        case QMetaType::QByteArray:
            copytext::appendBytes(out, value.toByteArray());
            break;
        default:
            copytext::appendText(out, value.toString());
        }
    }

} // namespace

namespace copytext {

    void appendNull(QByteArray &out)
    {
        out += "\\N";
    }

    void appendInteger(QByteArray &out, qint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out.append(digits, end - digits);
    }

    void appendReal(QByteArray &out, double value)
    {
        if (std::isnan(value)) {
            out += "NaN";
            return;
        }
        // The shortest text that reads back as the same double.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out.append(digits, end - digits);
    }

    void appendBoolean(QByteArray &out, bool value)
    {
        out += value ? 't' : 'f';
    }

    // "yyyy-MM-dd HH:mm:ss.zzz", written out by hand: QDateTime::toString()
    // parses its format anew at every call, and a load writes millions.
    void appendDateTime(QByteArray &out, QDate day, QTime time)
    {
        if (day.year() < 1 || day.year() > 9999) {
            out += QDateTime(day, time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
            return;
        }
        char text[23];
        char *at = text;
        // A number of `width` digits, then `after` (none: '\0').
        const auto put = [&](int value, int width, char after) {
            for (int i = width - 1; i >= 0; --i, value /= 10)
                at[i] = char('0' + value % 10);
            at += width;
            if (after)
                *at++ = after;
        };
        put(day.year(), 4, '-');
        put(day.month(), 2, '-');
        put(day.day(), 2, ' ');
        put(time.hour(), 2, ':');
        put(time.minute(), 2, ':');
        put(time.second(), 2, '.');
        put(time.msec(), 3, '\0');
        out.append(text, sizeof text);
    }

    void appendText(QByteArray &out, QStringView text)
    {
        // ASCII is written as it stands (escaped); from the first other
        // character on, the rest goes through UTF-8 as QString writes it.
        const qsizetype start = out.size();
        out.resize(start + 2 * text.size());
        char *at = out.data() + start;
        qsizetype i = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c >= 0x80)
                break;
            at = putEscaped(at, char(c));
        }
        out.resize(at - out.constData());
        if (i == text.size())
            return;
        const QByteArray utf8 = text.mid(i).toUtf8();
        const qsizetype rest = out.size();
        out.resize(rest + 2 * utf8.size());
        at = out.data() + rest;
        for (const char c : utf8)
            at = putEscaped(at, c);
        out.resize(at - out.constData());
    }

    void appendBytes(QByteArray &out, const QByteArray &bytes)
    {
        // bytea's hex form, its backslash escaped for COPY's text format.
        out += "\\\\x";
        out += bytes.toHex();
    }

} // namespace copytext

QByteArray byteaOf(QByteArrayView text)
{
    // libpq reads both of bytea's output forms, hex and escape (QPSQL asks
    // for the latter); it wants the text ended by a NUL.
    const QByteArray ended = text.toByteArray();
    size_t size = 0;
    unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(ended.constData()), &size);
    if (!bytes)
        throw DbError(QStringLiteral("-1"), QStringLiteral("A bytea value came back unreadable."));
    const QByteArray result(reinterpret_cast<const char *>(bytes), qsizetype(size));
    PQfreemem(bytes);
    return result;
}

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

    // Runs the COPY statement `sql`, which the server answers with
    // `expected` (COPY IN or OUT); the connection it is running on.
    PGconn *startCopy(Connection &db, const QString &sql, ExecStatusType expected)
    {
        checkInjectedFailure(sql);
        PGconn *conn = pgHandle(db, sql);
        PGresult *start = PQexec(conn, sql.toUtf8().constData());
        if (PQresultStatus(start) != expected) {
            const DbError error = resultError(start, sql);
            PQclear(start);
            throw error;
        }
        PQclear(start);
        return conn;
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
    m_conn = startCopy(db, m_sql, PGRES_COPY_IN);
    m_open = true;
}

CopyInStream::~CopyInStream()
{
    if (m_open)
        endCopy(static_cast<PGconn *>(m_conn), m_sql, "abandoned");
}

void CopyInStream::send(const QByteArray &rows)
{
    auto *conn = static_cast<PGconn *>(m_conn);
    // In slices, so that libpq never holds a second copy of a big batch.
    constexpr qsizetype kSlice = 1 << 20;
    for (qsizetype at = 0; at < rows.size(); at += kSlice) {
        if (PQputCopyData(conn, rows.constData() + at, int(std::min(kSlice, rows.size() - at))) != 1) {
            m_open = false;
            const QString error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
            endCopy(conn, m_sql, "not all rows could be sent");
            throw DbError(QStringLiteral("-1"), error, m_sql);
        }
    }
}

void CopyInStream::finish()
{
    if (!m_open)
        return;
    m_open = false;
    endCopy(static_cast<PGconn *>(m_conn), m_sql, nullptr);
}

namespace {

    // Undoes the escapes COPY ... TO writes in its text format (a backslash
    // before a backslash or before b, f, n, r, t, v for a control character)
    // in [begin, end), in place; the unescaped size.
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
            default:
                *out++ = c;
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
    PGconn *conn = startCopy(db, sql, PGRES_COPY_OUT);
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

QStringList dropIndexesForLoad(Connection &target, const QStringList &tables)
{
    QStringList copied;
    for (const QString &table : tables)
        copied << table.toLower();
    Rows rows
        = target.exec(QStringLiteral("SELECT t.relname, format('DROP INDEX %I.%I', n.nspname, x.relname), "
                                     "pg_get_indexdef(i.indexrelid) FROM pg_index i "
                                     "JOIN pg_class x ON x.oid = i.indexrelid JOIN pg_class t ON t.oid = i.indrelid "
                                     "JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = current_schema() "
                                     "AND NOT EXISTS (SELECT 1 FROM pg_constraint c WHERE c.conindid = i.indexrelid)"));
    QStringList drops, definitions;
    while (rows.next()) {
        if (!copied.contains(rows.value(0).toString()))
            continue;
        drops << rows.value(1).toString();
        definitions << rows.value(2).toString();
    }
    for (const QString &drop : drops)
        target.execScript(drop);
    return definitions;
}

} // namespace data
