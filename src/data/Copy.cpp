#include "data/Copy.h"

#include "base/DateText.h"
#include "data/BulkLoad.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/PgCopy.h"
#include "data/Schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>
#include <charconv>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace data {

namespace {

    // Rows read from the source a statement: keeps memory flat on big tables.
    constexpr int kChunk = 20000;
    // The same for a table with files in it (up to 25 MB a row).
    constexpr int kBlobChunk = 8;

    // FNV-1a, 64 bits, over the bytes given: the same on every platform and
    // run. Each value is tagged with its kind, so that no two different rows
    // run together into the same bytes.
    struct Fnv
    {
        bool coarseDates = false; // date-times compared to SQL Server's 1/300 s
        quint64 hash = 14695981039346656037ULL;

        void add(const void *data, qsizetype size)
        {
            const auto *bytes = static_cast<const unsigned char *>(data);
            for (qsizetype i = 0; i < size; ++i)
                hash = (hash ^ bytes[i]) * 1099511628211ULL;
        }
        template <typename T> void add(T value) { add(&value, sizeof value); }
    };

    // Reads `count` digits at `at`; -1 when any is no digit.
    template <typename Char> int digitsAt(const Char *at, int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (at[i] < '0' || at[i] > '9')
                return -1;
            value = value * 10 + (at[i] - '0');
        }
        return value;
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

    // The columns' kinds: how a value travels. Each is the value and what
    // the copy does with it: read it from the driver and from COPY's text
    // (false, where a read can fail, for what is none of the kind), hash it,
    // write it in COPY's text and bind it. Both sides of a
    // copy hash the same bytes for the same value however it was read, a
    // NULL apart (Cell). A new kind is one more of these, named in Value and
    // kindOf().
    // A number as the column holds it: whole (Integer) or not (Real).
    template <typename T, char tag> struct Number
    {
        T value = 0;
        static constexpr const char *noun = std::is_integral_v<T> ? "whole number" : "number";
        void read(const QVariant &raw)
        {
            if constexpr (std::is_integral_v<T>)
                value = raw.toLongLong();
            else
                value = raw.toDouble();
        }
        bool read(QByteArrayView text)
        {
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            return error == std::errc() && end == text.data() + text.size();
        }
        void hash(Fnv &fnv) const
        {
            fnv.add(tag);
            fnv.add(value);
        }
        void write(QByteArray &out) const
        {
            if constexpr (std::is_integral_v<T>)
                copytext::appendInteger(out, value);
            else
                copytext::appendReal(out, value);
        }
        QVariant bound() const { return value; }
    };
    using Integer = Number<qint64, 'I'>;
    using Real = Number<double, 'R'>;

    struct Boolean
    {
        bool value = false;
        static constexpr const char *noun = "yes or no";
        void read(const QVariant &raw) { value = raw.toBool(); }
        bool read(QByteArrayView text)
        {
            value = text == "t";
            return value || text == "f";
        }
        void hash(Fnv &fnv) const { fnv.add(value ? 'T' : 'F'); }
        void write(QByteArray &out) const { copytext::appendBoolean(out, value); }
        QVariant bound() const { return value; }
    };

    // A wall-clock time: its day (Julian) and the milliseconds into it.
    struct DateTime
    {
        qint64 day = 0;
        qint64 ms = 0;
        static constexpr const char *noun = "date";

        // "yyyy-MM-dd HH:mm:ss" (or with a T) with no fraction or one of up
        // to three digits, as the program writes it into SQLite and as
        // PostgreSQL's text gives it, read without a regular expression or a
        // QDateTime: a copy reads millions. False for anything else and on a
        // day that is not steady, which take the long way (set()).
        template <typename Char> bool quick(const Char *s, qsizetype size)
        {
            if (size < 19 || size == 20 || size > 23 || s[4] != '-' || s[7] != '-' || (s[10] != ' ' && s[10] != 'T')
                || s[13] != ':' || s[16] != ':' || (size > 19 && s[19] != '.'))
                return false;
            const QDate date(digitsAt(s, 4), digitsAt(s + 5, 2), digitsAt(s + 8, 2));
            const int hour = digitsAt(s + 11, 2), minute = digitsAt(s + 14, 2), second = digitsAt(s + 17, 2);
            int fraction = 0;
            for (qsizetype i = 20; i < 23; ++i) {
                const int digit = i < size ? digitsAt(s + i, 1) : 0;
                if (digit < 0)
                    return false;
                fraction = fraction * 10 + digit;
            }
            if (date.year() < 1 || !date.isValid() || hour < 0 || minute < 0 || second < 0
                || !QTime::isValid(hour, minute, second, fraction) || !steadyDay(date.toJulianDay()))
                return false;
            day = date.toJulianDay();
            ms = ((hour * 60 + minute) * 60 + second) * 1000 + fraction;
            return true;
        }
        // The time as a local QDateTime holds it.
        bool set(const QDateTime &when)
        {
            if (!when.isValid())
                return false;
            const QDateTime local = when.toLocalTime();
            day = local.date().toJulianDay();
            ms = local.time().msecsSinceStartOfDay();
            return true;
        }
        bool read(const QVariant &raw)
        {
            if (raw.typeId() == QMetaType::QString) {
                const QString text = raw.toString();
                if (quick(text.utf16(), text.size()))
                    return true;
            }
            return set(dateTimeOf(raw));
        }
        bool read(QByteArrayView text)
        {
            return quick(text.data(), text.size()) || set(dateTimeOfText(QString::fromLatin1(text)));
        }
        void hash(Fnv &fnv) const
        {
            fnv.add('D');
            fnv.add(day);
            fnv.add(fnv.coarseDates ? qRound64(ms * 0.3) : ms);
        }
        void write(QByteArray &out) const
        {
            copytext::appendDateTime(out, QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
        }
        QVariant bound() const
        {
            return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
        }
    };

    struct Text
    {
        QString value;
        static constexpr const char *noun = "text";
        void read(const QVariant &raw) { value = raw.toString(); }
        void read(QByteArrayView text)
        {
            // Most texts are ASCII, which widens as it stands.
            const char *bytes = text.data();
            const qsizetype size = text.size();
            qsizetype ascii = 0;
            while (ascii < size && uchar(bytes[ascii]) < 0x80)
                ++ascii;
            if (ascii < size) {
                value = QString::fromUtf8(text);
                return;
            }
            value.resize(size);
            QChar *out = value.data();
            for (qsizetype at = 0; at < size; ++at)
                out[at] = QLatin1Char(bytes[at]);
        }
        void hash(Fnv &fnv) const
        {
            fnv.add('S');
            fnv.add(value.size());
            fnv.add(value.constData(), value.size() * qsizetype(sizeof(QChar)));
        }
        void write(QByteArray &out) const { copytext::appendText(out, value); }
        // A null QString would be bound as NULL.
        QVariant bound() const { return value.isNull() ? QStringLiteral("") : value; }
    };

    struct Blob
    {
        QByteArray value;
        static constexpr const char *noun = "file";
        void read(const QVariant &raw) { value = raw.toByteArray(); }
        void read(QByteArrayView text) { value = byteaOf(text); }
        void hash(Fnv &fnv) const
        {
            fnv.add('B');
            fnv.add(value.size());
            fnv.add(value.constData(), value.size());
        }
        void write(QByteArray &out) const { copytext::appendBytes(out, value); }
        QVariant bound() const { return value; }
    };

    using Value = std::variant<Integer, Real, Boolean, DateTime, Text, Blob>;

    // Reads `raw` (a QVariant or COPY's text) into the kind; false when it is
    // none of it.
    template <typename Kind, typename Raw> bool readInto(Kind &kind, const Raw &raw)
    {
        if constexpr (std::is_void_v<decltype(kind.read(raw))>) {
            kind.read(raw);
            return true;
        } else {
            return kind.read(raw);
        }
    }

    // A column's kind by the type the SQLite script declares, the one script
    // that names a type for each kind of value.
    Value kindOf(const QString &type)
    {
        if (type == u"INTEGER")
            return Integer {};
        if (type == u"REAL")
            return Real {};
        if (type == u"BOOLEAN")
            return Boolean {};
        if (type == u"DATETIME")
            return DateTime {};
        if (type == u"BLOB")
            return Blob {};
        return Text {};
    }

    // One value of a row on its way, as read from either side: hashed and
    // written from this alone. A row's cells are kept from row to row, each
    // of its column's kind.
    struct Cell
    {
        Value value;
        bool null = true;

        void hash(Fnv &fnv) const
        {
            if (null)
                fnv.add('N');
            else
                std::visit([&](const auto &kind) { kind.hash(fnv); }, value);
        }
        void write(QByteArray &out) const
        {
            if (null)
                copytext::appendNull(out);
            else
                std::visit([&](const auto &kind) { kind.write(out); }, value);
        }
        // An invalid QVariant for NULL.
        QVariant bound() const
        {
            return null ? QVariant() : std::visit([](const auto &kind) { return kind.bound(); }, value);
        }
        const char *noun() const
        {
            return std::visit([](const auto &kind) { return kind.noun; }, value);
        }
    };
    using Cells = QList<Cell>;

    struct Table
    {
        QString name;
        QStringList columns; // without the row version
        Cells cells; // one of each column's kind
        bool hasId = false;
        bool hasBlob = false;
    };

    // Every table of the schema, in the script's order: loaded in this
    // order, and emptied in the reverse, no row ever points at nothing.
    const QList<Table> &tables()
    {
        static const QList<Table> list = [] {
            const QMap<QString, ExpectedTable> expected = expectedTables();
            QMap<int, Table> inOrder;
            for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
                Table table;
                table.name = it.key();
                for (qsizetype i = 0; i < it->columns.size(); ++i) {
                    if (it->columns.at(i) == rowVersionColumn())
                        continue;
                    table.columns << it->columns.at(i);
                    table.cells << Cell { kindOf(it->types.at(i)) };
                    table.hasId = table.hasId || it->columns.at(i) == u"ID";
                    table.hasBlob = table.hasBlob || std::holds_alternative<Blob>(table.cells.last().value);
                }
                inOrder.insert(it->order, table);
            }
            return inOrder.values();
        }();
        return list;
    }

    // Reads the row's value of each column into its cell. Throws for a value
    // the copy cannot carry: it never drops one.
    void readRow(const Rows &rows, const Table &table, Cells &cells)
    {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QVariant raw = rows.value(int(i));
            Cell &cell = cells[i];
            cell.null = !raw.isValid() || raw.isNull();
            if (!cell.null && !std::visit([&](auto &kind) { return readInto(kind, raw); }, cell.value))
                throw DbError(QStringLiteral("-1"),
                    QStringLiteral("%1.%2 holds \"%3\", which is no %4: mend it before copying.")
                        .arg(table.name, table.columns.at(i), raw.toString(), QLatin1String(cell.noun())));
        }
    }

    // The same for a row as COPY ... TO gives it.
    void readRow(const CopyFields &fields, const Table &table, Cells &cells)
    {
        if (fields.size() != cells.size())
            throw DbError(QStringLiteral("-1"),
                QStringLiteral("%1 came back with %2 columns, not %3.")
                    .arg(table.name)
                    .arg(fields.size())
                    .arg(cells.size()));
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QByteArrayView field = fields.at(i);
            Cell &cell = cells[i];
            cell.null = field.isNull();
            if (!cell.null && !std::visit([&](auto &kind) { return readInto(kind, field); }, cell.value))
                throw DbError(QStringLiteral("-1"),
                    QStringLiteral("%1.%2 came back as \"%3\", which is no %4.")
                        .arg(table.name, table.columns.at(i), QString::fromUtf8(field), QLatin1String(cell.noun())));
        }
    }

    quint64 rowHash(const Cells &cells, bool coarseDates)
    {
        Fnv fnv { coarseDates };
        for (const Cell &cell : cells)
            cell.hash(fnv);
        return fnv.hash;
    }

    // Reads every row of the table, in ID order where it has one, handing
    // `fn` each in `cells`.
    void forEachRow(Connection &db, const Table &table, Cells &cells, const std::function<void()> &fn)
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
                readRow(rows, table, cells);
                fn();
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
        for (const Table &table : tables()) {
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
    Cells cells = table.cells;
    const auto add = [&] {
        ++result.targetRows;
        result.targetChecksum += rowHash(cells, coarseDates);
    };
    if (copyInAvailable(db)) {
        // COPY TO hands the rows over as text, without a QVariant for each
        // value.
        copyOut(db, table.name, table.columns, [&](const CopyFields &fields) {
            readRow(fields, table, cells);
            add();
        });
    } else {
        forEachRow(db, table, cells, add);
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
    // The history comes with the source's rows: the triggers that would
    // write it again for every row loaded (or emptied) wait for the end.
    const QStringList historyTriggers = dropHistoryTriggers(target);
    const QList<Table> &all = tables();
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
        // Each value written and hashed as read from the source's driver; on
        // QPSQL one COPY streams the whole table while the source is read.
        BulkLoad load(target, table.name, table.columns, BulkLoad::Use::Exclusive);
        Cells cells = table.cells;
        QVariantList row;
        forEachRow(source, table, cells, [&] {
            if (load.copies()) {
                load.addText([&](QByteArray &out) {
                    for (qsizetype i = 0; i < cells.size(); ++i) {
                        if (i > 0)
                            out += '\t';
                        cells.at(i).write(out);
                    }
                    out += '\n';
                });
            } else {
                row.clear();
                for (const Cell &cell : cells)
                    row << cell.bound();
                load.add(row);
            }
            ++copy.sourceRows;
            copy.sourceChecksum += rowHash(cells, coarseDates);
            if (copy.sourceRows % kChunk == 0)
                report(false);
        });
        load.finish();
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
    for (const QString &trigger : historyTriggers)
        target.execScript(trigger);

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
