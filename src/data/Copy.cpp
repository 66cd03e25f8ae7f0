#include "data/Copy.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/DemoData.h"
#include "data/PgCopy.h"
#include "data/Schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <limits>
#include <optional>

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
            QMap<QString, Table> found;
            QString current;
            for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                const QString text = line.trimmed();
                if (const auto create = createTable.match(text); create.hasMatch()) {
                    current = create.captured(1);
                    found[current].name = current;
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
            return found.values();
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
    // run.
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
    };

    // One row's hash over its values, each tagged with its kind so that no
    // two different rows run together into the same bytes.
    quint64 rowHash(const QVariantList &row, bool coarseDates)
    {
        Fnv fnv;
        for (const QVariant &value : row) {
            if (!value.isValid()) {
                fnv.add('N');
                continue;
            }
            switch (value.typeId()) {
            case QMetaType::QDateTime: {
                const QDateTime when = value.toDateTime();
                qint64 ms = when.time().msecsSinceStartOfDay();
                if (coarseDates)
                    ms = qRound64(ms * 0.3);
                fnv.add('D');
                fnv.add(when.date().toJulianDay());
                fnv.add(ms);
                break;
            }
            case QMetaType::Double:
                fnv.add('R');
                fnv.add(value.toDouble());
                break;
            case QMetaType::Bool:
                fnv.add(value.toBool() ? 'T' : 'F');
                break;
            case QMetaType::LongLong:
                fnv.add('I');
                fnv.add(value.toLongLong());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                fnv.add('B');
                fnv.add(bytes.size());
                fnv.add(bytes.constData(), bytes.size());
                break;
            }
            default: {
                const QString text = value.toString();
                fnv.add('S');
                fnv.add(text.size());
                fnv.add(text.constData(), text.size() * qsizetype(sizeof(QChar)));
            }
            }
        }
        return fnv.hash;
    }

    // Reads every row of the table, typed, in ID order where it has one.
    void forEachRow(Connection &db, const Table &table, const std::function<void(const QVariantList &)> &fn)
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
            QVariantList row;
            while (rows.next()) {
                row.clear();
                for (int i = 0; i < table.columns.size(); ++i)
                    row << typed(rows.value(i), table.kinds.at(i), table, i);
                if (idColumn >= 0)
                    after = row.at(idColumn).toLongLong();
                fn(row);
                ++read;
            }
            if (!table.hasId || read < chunk)
                return;
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
    forEachRow(db, table, [&](const QVariantList &row) {
        ++result.targetRows;
        result.targetChecksum += rowHash(row, coarseDates);
    });
    result.sourceRows = result.targetRows;
    result.sourceChecksum = result.targetChecksum;
    return result;
}

CopyResult copyDatabase(Connection &source, Connection &target, const CopyOptions &options,
    const std::function<void(const CopyProgress &)> &progress)
{
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
    for (const Table &table : tables())
        target.exec(QStringLiteral("DELETE FROM %1").arg(table.name));

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
        {
            // On QPSQL one COPY streams the whole table while the source is
            // read; elsewhere multi-row INSERTs.
            std::optional<CopyInStream> stream;
            std::optional<BulkInserter> insert;
            if (copyInAvailable(target))
                stream.emplace(target, table.name, table.columns);
            else
                insert.emplace(target, table.name, table.columns);
            forEachRow(source, table, [&](const QVariantList &row) {
                if (stream)
                    stream->add(row);
                else
                    insert->add(row);
                ++copy.sourceRows;
                copy.sourceChecksum += rowHash(row, coarseDates);
                if (copy.sourceRows % kChunk == 0)
                    report(false);
            });
            if (stream)
                stream->finish();
            else
                insert->flush();
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
