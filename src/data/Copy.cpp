#include "data/Copy.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/DemoData.h"
#include "data/PgCopy.h"
#include "data/Schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QUuid>
#include <charconv>
#include <limits>
#include <optional>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace data {

namespace {

    // Rows read from the source a statement: keeps memory flat on big tables.
    constexpr int kChunk = 20000;
    // The same for a table with files in it (up to 25 MB a row).
    constexpr int kBlobChunk = 8;

    // How a column's values travel: as the SQLite script declares its type,
    // the one script that names a type for each kind of value.
    enum class Kind { Integer, Real, Boolean, DateTime, Text, Blob };

    struct Table
    {
        QString name;
        QStringList columns; // without the row version
        QList<Kind> kinds;
        bool hasId = false;
        bool hasBlob = false;
    };

    QList<Table> tables()
    {
        static const QList<Table> list = [] {
            QFile file(QStringLiteral(":/schema/sqlite.sql"));
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                throw DbError(QStringLiteral("-1"), QStringLiteral("Cannot read the SQLite schema script."));
            static const QRegularExpression createTable(QStringLiteral(R"(^CREATE TABLE (\w+) \($)"));
            static const QRegularExpression column(QStringLiteral(R"(^(\w+) (\w+))"));
            // In the script's order, which creates a parent before the
            // tables whose keys point at it: loaded in this order, and
            // emptied in the reverse, no row ever points at nothing.
            QMap<QString, Table> found;
            QStringList order;
            QString current;
            for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                const QString text = line.trimmed();
                if (const auto create = createTable.match(text); create.hasMatch()) {
                    current = create.captured(1);
                    found[current].name = current;
                    order << current;
                    continue;
                }
                if (current.isEmpty())
                    continue;
                if (text.startsWith(u')')) {
                    current.clear();
                    continue;
                }
                const auto match = column.match(text);
                if (!match.hasMatch() || match.captured(1) == rowVersionColumn())
                    continue;
                const QString type = match.captured(2).toUpper();
                Table &table = found[current];
                table.columns << match.captured(1);
                table.kinds << (type == u"INTEGER" ? Kind::Integer
                        : type == u"REAL"          ? Kind::Real
                        : type == u"BOOLEAN"       ? Kind::Boolean
                        : type == u"DATETIME"      ? Kind::DateTime
                        : type == u"BLOB"          ? Kind::Blob
                                                   : Kind::Text);
                if (match.captured(1) == u"ID")
                    table.hasId = true;
                if (table.kinds.last() == Kind::Blob)
                    table.hasBlob = true;
            }
            QList<Table> list;
            for (const QString &name : order)
                list << found.value(name);
            return list;
        }();
        return list;
    }

    // SQLite's date-times as the program writes them, "yyyy-MM-ddTHH:mm:ss.zzz"
    // (or with a blank), read without a regular expression: a copy reads
    // millions. Anything else as dateTimeOf() reads it.
    QDateTime quickDateTime(const QString &text)
    {
        const auto digits = [&](int at, int count) {
            int value = 0;
            for (int i = at; i < at + count; ++i) {
                const char16_t c = text.at(i).unicode();
                if (c < u'0' || c > u'9')
                    return -1;
                value = value * 10 + (c - u'0');
            }
            return value;
        };
        if (text.size() == 23 && text.at(4) == u'-' && text.at(7) == u'-'
            && (text.at(10) == u'T' || text.at(10) == u' ') && text.at(13) == u':' && text.at(16) == u':'
            && text.at(19) == u'.') {
            const QDate day(digits(0, 4), digits(5, 2), digits(8, 2));
            const QTime time(digits(11, 2), digits(14, 2), digits(17, 2), digits(20, 3));
            if (day.isValid() && time.isValid())
                return QDateTime(day, time);
        }
        return dateTimeOf(text);
    }

    // A value as read, in the type every backend binds alike; an invalid
    // QVariant for NULL. Throws for a date column holding no date: a copy
    // never drops what it cannot carry.
    QVariant typed(const QVariant &raw, Kind kind, const Table &table, int column)
    {
        if (!raw.isValid() || raw.isNull())
            return {};
        switch (kind) {
        case Kind::Integer:
            return raw.toLongLong();
        case Kind::Real:
            return raw.toDouble();
        case Kind::Boolean:
            return raw.toBool();
        case Kind::DateTime: {
            const QDateTime when = raw.typeId() == QMetaType::QString ? quickDateTime(raw.toString()) : dateTimeOf(raw);
            if (!when.isValid())
                throw DbError(QStringLiteral("-1"),
                    QStringLiteral("%1.%2 holds \"%3\", which is no date: mend it before copying.")
                        .arg(table.name, table.columns.at(column), raw.toString()));
            return when.toLocalTime();
        }
        case Kind::Blob:
            return raw.toByteArray();
        case Kind::Text:
            break;
        }
        const QString text = raw.toString();
        return text.isNull() ? QStringLiteral("") : text;
    }

    // FNV-1a, 64 bits, over the bytes given: the same on every platform and
    // run. One value is hashed by the function of its kind, tagged with it so
    // that no two different rows run together into the same bytes; a value
    // read from text (COPY TO) and one read through the driver hash alike.
    struct Fnv
    {
        quint64 hash = 14695981039346656037ULL;
        void add(const void *data, qsizetype size)
        {
            const auto *bytes = static_cast<const unsigned char *>(data);
            for (qsizetype i = 0; i < size; ++i)
                hash = (hash ^ bytes[i]) * 1099511628211ULL;
        }
        template <typename T> void add(T value) { add(&value, sizeof value); }

        void null() { add('N'); }
        void integer(qint64 value)
        {
            add('I');
            add(value);
        }
        void real(double value)
        {
            add('R');
            add(value);
        }
        void boolean(bool value) { add(value ? 'T' : 'F'); }
        // A wall-clock time: its day and the milliseconds into it.
        void dateTime(qint64 julianDay, qint64 ms, bool coarseDates)
        {
            if (coarseDates)
                ms = qRound64(ms * 0.3);
            add('D');
            add(julianDay);
            add(ms);
        }
        void text(const QChar *data, qsizetype size)
        {
            add('S');
            add(size);
            add(data, size * qsizetype(sizeof(QChar)));
        }
        void bytes(const QByteArray &value)
        {
            add('B');
            add(value.size());
            add(value.constData(), value.size());
        }
    };

    // One row's hash over its values as typed() gives them.
    quint64 rowHash(const QVariantList &row, bool coarseDates)
    {
        Fnv fnv;
        for (const QVariant &value : row) {
            if (!value.isValid()) {
                fnv.null();
                continue;
            }
            switch (value.typeId()) {
            case QMetaType::QDateTime: {
                const QDateTime when = value.toDateTime();
                fnv.dateTime(when.date().toJulianDay(), when.time().msecsSinceStartOfDay(), coarseDates);
                break;
            }
            case QMetaType::Double:
                fnv.real(value.toDouble());
                break;
            case QMetaType::Bool:
                fnv.boolean(value.toBool());
                break;
            case QMetaType::LongLong:
                fnv.integer(value.toLongLong());
                break;
            case QMetaType::QByteArray:
                fnv.bytes(value.toByteArray());
                break;
            default: {
                const QString text = value.toString();
                fnv.text(text.constData(), text.size());
            }
            }
        }
        return fnv.hash;
    }

    // Whether a wall-clock time on this day stays as it is when made a local
    // QDateTime: not so near a change of the UTC offset (a daylight-saving
    // switch), where a time may not exist.
    bool steadyDay(qint64 julianDay)
    {
        thread_local QHash<qint64, bool> known;
        const auto found = known.constFind(julianDay);
        if (found != known.cend())
            return *found;
        const QDate day = QDate::fromJulianDay(julianDay);
        const bool steady = QDateTime(day.addDays(-1), QTime(12, 0)).offsetFromUtc()
            == QDateTime(day.addDays(1), QTime(12, 0)).offsetFromUtc();
        known.insert(julianDay, steady);
        return steady;
    }

    // Reads `count` digits at `at`; -1 when any is no digit.
    int digitsAt(const char *at, int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (at[i] < '0' || at[i] > '9')
                return -1;
            value = value * 10 + (at[i] - '0');
        }
        return value;
    }

    // PostgreSQL's text of a timestamp, "yyyy-MM-dd HH:mm:ss" with no
    // fraction or one of up to three digits (its trailing zeros left off), as
    // the wall-clock day and milliseconds; false for anything else and on a
    // day that is not steady.
    bool quickTimestamp(QByteArrayView text, qint64 &julianDay, qint64 &ms)
    {
        const char *s = text.data();
        const qsizetype size = text.size();
        if (size < 19 || size == 20 || size > 23 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':'
            || s[16] != ':' || (size > 19 && s[19] != '.'))
            return false;
        const QDate day(digitsAt(s, 4), digitsAt(s + 5, 2), digitsAt(s + 8, 2));
        const int hour = digitsAt(s + 11, 2), minute = digitsAt(s + 14, 2), second = digitsAt(s + 17, 2);
        int fraction = 0;
        for (qsizetype i = 20; i < 23; ++i) {
            const int digit = i < size ? digitsAt(s + i, 1) : 0;
            if (digit < 0)
                return false;
            fraction = fraction * 10 + digit;
        }
        if (day.year() < 1 || !day.isValid() || hour < 0 || minute < 0 || second < 0
            || !QTime::isValid(hour, minute, second, fraction) || !steadyDay(day.toJulianDay()))
            return false;
        julianDay = day.toJulianDay();
        ms = ((hour * 60 + minute) * 60 + second) * 1000 + fraction;
        return true;
    }

    // Hashes one row read through COPY TO as rowHash() hashes the same values
    // read through the driver and typed().
    quint64 copiedRowHash(const Table &table, const CopyFields &fields, bool coarseDates, QString &text)
    {
        if (fields.size() != table.columns.size())
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("%1 came back with %2 columns, not %3.")
                    .arg(table.name)
                    .arg(fields.size())
                    .arg(table.columns.size()));
        Fnv fnv;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QByteArrayView field = fields.at(i);
            if (field.isNull()) {
                fnv.null();
                continue;
            }
            const auto number = [&](auto &value) {
                const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
                if (error != std::errc() || end != field.data() + field.size())
                    throw DbError(QStringLiteral("-1"),
                        QStringLiteral("%1.%2 came back as \"%3\".")
                            .arg(table.name, table.columns.at(i), QString::fromUtf8(field)));
            };
            switch (table.kinds.at(i)) {
            case Kind::Integer: {
                qint64 value = 0;
                number(value);
                fnv.integer(value);
                break;
            }
            case Kind::Real: {
                double value = 0;
                number(value);
                fnv.real(value);
                break;
            }
            case Kind::Boolean:
                fnv.boolean(field == "t");
                break;
            case Kind::DateTime: {
                qint64 day = 0, ms = 0;
                if (!quickTimestamp(field, day, ms)) {
                    const QDateTime when = typed(
                        QDateTime::fromString(QString::fromLatin1(field), Qt::ISODate), Kind::DateTime, table, int(i))
                                               .toDateTime();
                    day = when.date().toJulianDay();
                    ms = when.time().msecsSinceStartOfDay();
                }
                fnv.dateTime(day, ms, coarseDates);
                break;
            }
            case Kind::Text: {
                // Most texts are ASCII, which widens as it stands.
                const char *bytes = field.data();
                const qsizetype size = field.size();
                qsizetype ascii = 0;
                while (ascii < size && uchar(bytes[ascii]) < 0x80)
                    ++ascii;
                if (ascii == size) {
                    text.resize(size);
                    QChar *out = text.data();
                    for (qsizetype at = 0; at < size; ++at)
                        out[at] = QLatin1Char(bytes[at]);
                } else {
                    text = QString::fromUtf8(field);
                }
                fnv.text(text.constData(), text.size());
                break;
            }
            case Kind::Blob:
                fnv.bytes(byteaOf(field));
                break;
            }
        }
        return fnv.hash;
    }

    // Reads every row of the table, in ID order where it has one, handing
    // `fn` the rows positioned at each.
    void forEachRawRow(Connection &db, const Table &table, const std::function<void(const Rows &)> &fn)
    {
        const QString columns = table.columns.join(u',');
        // IDs are INT on every server.
        qint64 after = std::numeric_limits<qint32>::min();
        const int idColumn = int(table.columns.indexOf(QStringLiteral("ID")));
        const int chunk = table.hasBlob ? kBlobChunk : kChunk;
        while (true) {
            Rows rows = table.hasId ? db.exec(db.dialect().selectTop(chunk, columns,
                                                  QStringLiteral("%1 WHERE ID > ? ORDER BY ID").arg(table.name)),
                            { after })
                                    : db.exec(QStringLiteral("SELECT %1 FROM %2").arg(columns, table.name));
            int read = 0;
            while (rows.next()) {
                if (idColumn >= 0)
                    after = rows.value(idColumn).toLongLong();
                fn(rows);
                ++read;
            }
            if (!table.hasId || read < chunk)
                return;
        }
    }

    // Reads every row of the table, typed, in ID order where it has one.
    void forEachRow(Connection &db, const Table &table, const std::function<void(const QVariantList &)> &fn)
    {
        QVariantList row;
        forEachRawRow(db, table, [&](const Rows &rows) {
            row.clear();
            for (int i = 0; i < table.columns.size(); ++i)
                row << typed(rows.value(i), table.kinds.at(i), table, i);
            fn(row);
        });
    }

    // One value on its way into a COPY: what typed() makes of it, without a
    // QVariant or a QDateTime, hashed and written as that would be.
    struct Cell
    {
        bool null = true;
        qint64 integer = 0; // Integer; Boolean as 0 or 1
        double real = 0;
        qint64 day = 0; // DateTime: the wall-clock day (Julian)
        qint64 ms = 0; // and the milliseconds into it
        QString text;
        QByteArray bytes; // Blob
    };

    // SQLite's date-times as the program writes them (quickDateTime()) as
    // the wall-clock day and milliseconds; false for any other text and on a
    // day that is not steady.
    bool quickWallClock(const QString &text, qint64 &julianDay, qint64 &ms)
    {
        if (text.size() != 23)
            return false;
        char latin[23];
        for (int i = 0; i < 23; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c >= 0x80)
                return false;
            latin[i] = char(c);
        }
        if (latin[10] == 'T')
            latin[10] = ' ';
        return quickTimestamp(QByteArrayView(latin, 23), julianDay, ms);
    }

    void readCell(const QVariant &raw, Kind kind, const Table &table, int column, Cell &cell)
    {
        cell.null = !raw.isValid() || raw.isNull();
        if (cell.null)
            return;
        switch (kind) {
        case Kind::Integer:
            cell.integer = raw.toLongLong();
            break;
        case Kind::Real:
            cell.real = raw.toDouble();
            break;
        case Kind::Boolean:
            cell.integer = raw.toBool() ? 1 : 0;
            break;
        case Kind::DateTime: {
            if (raw.typeId() == QMetaType::QString && quickWallClock(raw.toString(), cell.day, cell.ms))
                break;
            const QDateTime when = typed(raw, kind, table, column).toDateTime();
            cell.day = when.date().toJulianDay();
            cell.ms = when.time().msecsSinceStartOfDay();
            break;
        }
        case Kind::Text:
            cell.text = raw.toString();
            break;
        case Kind::Blob:
            cell.bytes = raw.toByteArray();
            break;
        }
    }

    void hashCell(Fnv &fnv, const Cell &cell, Kind kind, bool coarseDates)
    {
        if (cell.null) {
            fnv.null();
            return;
        }
        switch (kind) {
        case Kind::Integer:
            fnv.integer(cell.integer);
            break;
        case Kind::Real:
            fnv.real(cell.real);
            break;
        case Kind::Boolean:
            fnv.boolean(cell.integer != 0);
            break;
        case Kind::DateTime:
            fnv.dateTime(cell.day, cell.ms, coarseDates);
            break;
        case Kind::Text:
            fnv.text(cell.text.constData(), cell.text.size());
            break;
        case Kind::Blob:
            fnv.bytes(cell.bytes);
            break;
        }
    }

    void appendCell(QByteArray &out, const Cell &cell, Kind kind)
    {
        if (cell.null) {
            copytext::appendNull(out);
            return;
        }
        switch (kind) {
        case Kind::Integer:
            copytext::appendInteger(out, cell.integer);
            break;
        case Kind::Real:
            copytext::appendReal(out, cell.real);
            break;
        case Kind::Boolean:
            copytext::appendBoolean(out, cell.integer != 0);
            break;
        case Kind::DateTime:
            copytext::appendDateTime(
                out, QDate::fromJulianDay(cell.day), QTime::fromMSecsSinceStartOfDay(int(cell.ms)));
            break;
        case Kind::Text:
            copytext::appendText(out, cell.text);
            break;
        case Kind::Blob:
            copytext::appendBytes(out, cell.bytes);
            break;
        }
    }

    // The database must be at this program's schema version with nothing
    // missing: the copy moves every column of it.
    void requireCurrent(Connection &db, const QString &which)
    {
        const SchemaCheck check = checkSchema(db);
        const std::optional<int> version = storedSchemaVersion(db);
        if (!check.missing.isEmpty())
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("The %1 database lacks %2.").arg(which, check.missing.join(QStringLiteral(", "))));
        if (!check.complete() || version.value_or(1) != kSchemaVersion)
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("The %1 database is at schema version %2, this program's is %3: run upgrade on it "
                               "first.")
                    .arg(which)
                    .arg(version.value_or(1))
                    .arg(kSchemaVersion));
    }

    // The source read as one snapshot, whoever writes to it meanwhile.
    class Snapshot
    {
    public:
        explicit Snapshot(Connection &db)
            : m_db(db)
        {
            const QString on = db.dialect().snapshotIsolation(true);
            if (!on.isEmpty())
                db.execScript(on);
            m_transaction.emplace(db);
        }
        ~Snapshot()
        {
            m_transaction.reset();
            const QString off = m_db.dialect().snapshotIsolation(false);
            if (off.isEmpty())
                return;
            try {
                m_db.execScript(off);
            } catch (const DbError &) {
                // The session goes back to its default with the connection.
            }
        }

    private:
        Connection &m_db;
        std::optional<Transaction> m_transaction;
    };

    const Table &findTable(const QString &name)
    {
        static const QList<Table> list = tables();
        for (const Table &table : list) {
            if (table.name.compare(name, Qt::CaseInsensitive) == 0)
                return table;
        }
        throw DbError(QStringLiteral("-1"), QStringLiteral("The schema has no table %1.").arg(name));
    }

    // What names the database of the connection, however it was reached.
    QString databaseIdentity(Connection &db)
    {
        const QString query = db.dialect().databaseIdentity();
        if (query.isEmpty()) {
            const QString file = db.handle().databaseName();
#ifdef Q_OS_UNIX
            struct stat status;
            if (::stat(QFile::encodeName(file).constData(), &status) == 0)
                return QStringLiteral("sqlite %1 %2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
#endif
            const QString canonical = QFileInfo(file).canonicalFilePath();
            return QStringLiteral("sqlite ") + (canonical.isEmpty() ? QUuid::createUuid().toString() : canonical);
        }
        Rows rows = db.exec(query);
        QStringList parts { QString::number(int(db.dialect().kind())) };
        if (rows.next()) {
            for (int i = 0; i < rows.record().count(); ++i)
                parts << rows.value(i).toString();
        }
        return parts.join(u'\n');
    }

} // namespace

TargetNotEmptyError::TargetNotEmptyError(qint64 jobs)
    : DbError(QStringLiteral("-1"),
        QStringLiteral("The target database already holds %1 jobs; give --replace to replace everything in it.")
            .arg(jobs))
{
}

QStringList copiedTables()
{
    QStringList names;
    for (const Table &table : tables())
        names << table.name;
    return names;
}

TableCopy checksumTable(Connection &db, const QString &name, bool coarseDates)
{
    const Table &table = findTable(name);
    TableCopy result;
    result.table = table.name;
    if (copyInAvailable(db)) {
        // COPY TO hands the rows over as text, without a QVariant for each
        // value.
        QString text;
        copyOut(db, table.name, table.columns, [&](const CopyFields &fields) {
            ++result.targetRows;
            result.targetChecksum += copiedRowHash(table, fields, coarseDates, text);
        });
    } else {
        forEachRow(db, table, [&](const QVariantList &row) {
            ++result.targetRows;
            result.targetChecksum += rowHash(row, coarseDates);
        });
    }
    result.sourceRows = result.targetRows;
    result.sourceChecksum = result.targetChecksum;
    return result;
}

CopyResult copyDatabase(Connection &source, Connection &target, const CopyOptions &options,
    const std::function<void(const CopyProgress &)> &progress)
{
    // Onto itself, the copy would wait for good on its own locks.
    if (databaseIdentity(source) == databaseIdentity(target))
        throw DbError(QStringLiteral("-1"),
            QStringLiteral("The source and the target are the same database; a database is never copied onto "
                           "itself."));
    requireCurrent(source, QStringLiteral("source"));
    CopyResult result;
    result.createdSchema = !hasTable(target, QStringLiteral("WIP"));
    if (!result.createdSchema) {
        requireCurrent(target, QStringLiteral("target"));
        const qint64 jobs = target.scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toLongLong();
        if (jobs > 0 && !options.replace)
            throw TargetNotEmptyError(jobs);
    }
    const bool coarseDates
        = source.dialect().kind() == DbKind::SqlServer || target.dialect().kind() == DbKind::SqlServer;

    Snapshot snapshot(source);
    Transaction transaction(target);
    if (result.createdSchema)
        createSchema(target);
    // What the target held, a new schema's lookup rows and version included,
    // gives way to the source's.
    const QList<Table> all = tables();
    for (auto table = all.crbegin(); table != all.crend(); ++table)
        target.exec(QStringLiteral("DELETE FROM %1").arg(table->name));
    const QStringList indexes = copyInAvailable(target) ? dropIndexesForLoad(target, copiedTables()) : QStringList();

    for (const Table &table : tables()) {
        TableCopy copy;
        copy.table = table.name;
        const qint64 total = source.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table.name)).toLongLong();
        QElapsedTimer timer;
        timer.start();
        const auto report = [&](bool finished) {
            if (progress)
                progress({ table.name, copy.sourceRows, total, timer.elapsed(), finished });
        };
        report(false);
        const QString identityOn = table.hasId ? target.dialect().identityInsert(table.name, true) : QString();
        if (!identityOn.isEmpty())
            target.exec(identityOn);
        if (copyInAvailable(target)) {
            // On QPSQL one COPY streams the whole table while the source is
            // read, each value written and hashed straight from the driver's.
            CopyInStream stream(target, table.name, table.columns);
            Cell cell;
            forEachRawRow(source, table, [&](const Rows &rows) {
                QByteArray &out = stream.buffer();
                Fnv fnv;
                for (int i = 0; i < table.columns.size(); ++i) {
                    const Kind kind = table.kinds.at(i);
                    readCell(rows.value(i), kind, table, i, cell);
                    hashCell(fnv, cell, kind, coarseDates);
                    if (i > 0)
                        out += '\t';
                    appendCell(out, cell, kind);
                }
                out += '\n';
                stream.rowAdded();
                ++copy.sourceRows;
                copy.sourceChecksum += fnv.hash;
                if (copy.sourceRows % kChunk == 0)
                    report(false);
            });
            stream.finish();
        } else {
            // Elsewhere multi-row INSERTs.
            BulkInserter insert(target, table.name, table.columns);
            forEachRow(source, table, [&](const QVariantList &row) {
                insert.add(row);
                ++copy.sourceRows;
                copy.sourceChecksum += rowHash(row, coarseDates);
                if (copy.sourceRows % kChunk == 0)
                    report(false);
            });
            insert.flush();
        }
        if (!identityOn.isEmpty())
            target.exec(target.dialect().identityInsert(table.name, false));
        if (table.hasId && copy.sourceRows > 0) {
            const qint64 highest = target.scalar(QStringLiteral("SELECT MAX(ID) FROM %1").arg(table.name)).toLongLong();
            const QString restart = target.dialect().continueIdentity(table.name, highest + 1);
            if (!restart.isEmpty())
                target.execScript(restart);
        }
        report(true);
        result.tables << copy;
    }

    for (const QString &index : indexes)
        target.execScript(index);

    // Read back what the target now holds, before anything of it is final.
    bool same = true;
    for (TableCopy &copy : result.tables) {
        const TableCopy written = checksumTable(target, copy.table, coarseDates);
        copy.targetRows = written.targetRows;
        copy.targetChecksum = written.targetChecksum;
        same = same && copy.matches();
    }
    if (!same)
        return result;
    transaction.commit();
    result.committed = true;
    return result;
}

} // namespace data
