// backends: sqlite postgres odbc
// Copying a whole job database between backends: the backend's database into
// a SQLite file and from there into a new database of the backend again.
#include "data/Backup.h"
#include "data/Copy.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "data/Schema.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 3, 30), QTime(10, 15, 30, 123));

// The hostile corpus in the jobs' texts, one job each, at IDs with gaps; a
// job with nothing but its name (NULL everywhere else); bookings with
// fractions that do not add up in binary; the drying log; files; a failed
// login.
void fill(data::Connection &db)
{
    qint64 id = 3;
    for (const auto &[tag, text] : hostileTexts()) {
        // The widest text column takes 255 characters; the cut falls between
        // two emoji of the long text.
        const QString fit = text.size() > 253 ? text.left(253) : text;
        db.insertRow(QStringLiteral("WIP"),
            { { QStringLiteral("ID"), id }, { QStringLiteral("Customer"), tag }, { QStringLiteral("Notes"), fit },
                { QStringLiteral("Address"), fit.left(50) }, { QStringLiteral("StartDate"), kStart.addDays(id) },
                { QStringLiteral("Billed"), id % 2 == 0 }, { QStringLiteral("AmountBilled"), 1234.56 + id },
                { QStringLiteral("Rugs"), 0.1 + 0.2 } });
        db.insertRow(QStringLiteral("EmployeeTime"),
            { { QStringLiteral("EmployeeID"), 1 }, { QStringLiteral("WIPID"), id },
                { QStringLiteral("TranDate"), kStart.date().startOfDay() }, { QStringLiteral("Hours"), 0.1 * id },
                { QStringLiteral("Notes"), fit } });
        id += 7;
    }
    db.insertRow(QStringLiteral("WIP"), { { QStringLiteral("ID"), 900 }, { QStringLiteral("Customer"), QVariant() } });
    const qint64 room = db.insertRow(QStringLiteral("DryingRoom"),
        { { QStringLiteral("WIPID"), 3 }, { QStringLiteral("Name"), QStringLiteral("Kitchen") },
            { QStringLiteral("Affected"), true }, { QStringLiteral("Outside"), false } });
    db.insertRow(QStringLiteral("DryingAtmosphere"),
        { { QStringLiteral("RoomID"), room }, { QStringLiteral("TakenAt"), kStart },
            { QStringLiteral("Temperature"), 71.5 }, { QStringLiteral("Humidity"), QVariant() } });
    const qint64 point = db.insertRow(QStringLiteral("MoisturePoint"),
        { { QStringLiteral("RoomID"), room }, { QStringLiteral("Material"), QStringLiteral("Drywall") },
            { QStringLiteral("DryGoal"), 12.5 } });
    for (int day = 0; day < 3; ++day)
        db.insertRow(QStringLiteral("MoistureReading"),
            { { QStringLiteral("PointID"), point }, { QStringLiteral("TakenAt"), kStart.addDays(day) },
                { QStringLiteral("Value"), 38.0 - day * 10.3 } });
    // A file of every byte value (NUL, backslash, tab and line feed among
    // them) and a document without a thumbnail.
    QByteArray bytes;
    for (int i = 0; i < 3 * 256; ++i)
        bytes += char(i % 256);
    db.insertRow(QStringLiteral("JobFile"),
        { { QStringLiteral("WIPID"), 3 }, { QStringLiteral("RoomID"), room },
            { QStringLiteral("Kind"), QStringLiteral("photo") },
            { QStringLiteral("FileName"), QStringLiteral("wall\\1.jpg") }, { QStringLiteral("TakenAt"), kStart },
            { QStringLiteral("Content"), bytes }, { QStringLiteral("Thumbnail"), bytes.right(300) } });
    db.insertRow(QStringLiteral("JobFile"),
        { { QStringLiteral("WIPID"), 3 }, { QStringLiteral("Kind"), QStringLiteral("document") },
            { QStringLiteral("Content"), QByteArray("%PDF-1.4\n") },
            { QStringLiteral("Thumbnail"), QVariant(QMetaType(QMetaType::QByteArray)) } });
    db.exec(QStringLiteral("INSERT INTO LoginFailure (UserKey, Failures, LastFailedAt) VALUES (?, ?, ?)"),
        { QStringLiteral("o'brien"), 3, kStart });
    db.exec(QStringLiteral("UPDATE WIP SET Status = ? WHERE ID = 3"), { QStringLiteral("Drying") });
}

// Every copied table's rows and checksum.
QMap<QString, QPair<qint64, quint64>> checksums(data::Connection &db)
{
    QMap<QString, QPair<qint64, quint64>> sums;
    if (!data::hasTable(db, QStringLiteral("WIP")))
        return sums;
    for (const QString &table : data::copiedTables()) {
        const data::TableCopy copy = data::checksumTable(db, table);
        sums.insert(table, { copy.targetRows, copy.targetChecksum });
    }
    return sums;
}

// Every index of the database with its definition, as its catalog gives it.
QStringList indexes(data::Connection &db)
{
    const bool sqlite = db.dialect().kind() == data::DbKind::SQLite;
    data::Rows rows = db.exec(sqlite
            ? QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' ORDER BY name")
            : QStringLiteral("SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() "
                             "ORDER BY indexname"));
    QStringList found;
    while (rows.next())
        found << rows.value(0).toString() + u' ' + rows.value(1).toString();
    return found;
}

enum class Outcome { Copied, Refused, Failed };

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestCopy : public QObject
{
    Q_OBJECT

private slots:
    void copy_data()
    {
        columns<bool, bool, QString, QString, Outcome>(
            { "targetHasJob", "replace", "failThere", "failBack", "outcome" });
        row("into an empty file and back", false, false, QString(), QString(), Outcome::Copied);
        row("over a job, refused", true, false, QString(), QString(), Outcome::Refused);
        row("over a job with replace", true, true, QString(), QString(), Outcome::Copied);
        row("fails halfway into a new file", false, false, QStringLiteral("MoistureReading (ID"), QString(),
            Outcome::Failed);
        row("fails halfway replacing", true, true, QStringLiteral("WIP (ID"), QString(), Outcome::Failed);
        row("fails halfway back into the server", false, false, QString(), QStringLiteral("WIP (ID"), Outcome::Copied);
    }

    void copy()
    {
        QFETCH(bool, targetHasJob);
        QFETCH(bool, replace);
        QFETCH(QString, failThere);
        QFETCH(QString, failBack);
        QFETCH(Outcome, outcome);
        JT_FRESH_DB(db);
        data::Connection &source = db.connection();
        fill(source);
        const auto original = checksums(source);

        QTemporaryDir dir;
        data::Connection file;
        data::OpenOptions create;
        create.createSqliteFile = true;
        file.open(QStringLiteral("Provider=SQLite;Data Source=copy.db"), dir.path(), create);
        if (targetHasJob) {
            data::createSchema(file);
            file.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("Kept") } });
        }
        const auto before = checksums(file);

        data::CopyOptions options;
        options.replace = replace;
        data::failNextStatementContaining(failThere);
        Outcome got = Outcome::Copied;
        try {
            QVERIFY(data::copyDatabase(source, file, options).committed);
        } catch (const data::TargetNotEmptyError &) {
            got = Outcome::Refused;
        } catch (const data::DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("Injected")), qPrintable(e.message()));
            got = Outcome::Failed;
        }
        data::failNextStatementContaining(QString());
        QCOMPARE(got, outcome);
        if (outcome != Outcome::Copied) {
            QCOMPARE(checksums(file), before);
            return;
        }
        QCOMPARE(checksums(file), original);

        // And back into a new database of the backend.
        TestDb back;
        JT_CREATE_OR_SKIP(back, false);
        data::failNextStatementContaining(failBack);
        try {
            QVERIFY(data::copyDatabase(file, back.connection()).committed);
            QVERIFY(failBack.isEmpty());
        } catch (const data::DbError &e) {
            QVERIFY2(!failBack.isEmpty(), qPrintable(e.message()));
            QVERIFY(!data::hasTable(back.connection(), QStringLiteral("WIP")));
            return;
        }
        data::Connection &server = back.connection();
        QCOMPARE(checksums(server), original);
        QCOMPARE(data::storedSchemaVersion(server), std::optional<int>(data::kSchemaVersion));
        QCOMPARE(indexes(server), indexes(source));
        // New rows continue after the copied IDs; a change still moves the
        // row version on.
        QCOMPARE(server.insertRow(QStringLiteral("WIP"), { { QStringLiteral("Customer"), QStringLiteral("New") } }),
            qint64(901));
        const QVariant version = server.scalar(QStringLiteral("SELECT RowVersion FROM WIP WHERE ID = 3"));
        server.exec(QStringLiteral("UPDATE WIP SET Notes = ? WHERE ID = 3"), { QStringLiteral("changed") });
        QVERIFY(server.scalar(QStringLiteral("SELECT RowVersion FROM WIP WHERE ID = 3")) != version);
    }

    // A target that does not keep what was written into it (here a trigger
    // of its own alters a value or adds a row as they come): the copy names
    // the table that came out different and commits nothing of it all.
    void differentTarget_data()
    {
        columns<QString, QString>({ "change", "differs" });
        row("a value altered", QStringLiteral("UPDATE WIP SET Notes = 'altered' WHERE ID = NEW.ID"),
            QStringLiteral("WIP"));
        row("a row added", QStringLiteral("INSERT INTO WIPContractors (WIPID, Contractor) VALUES (NEW.ID, 'added')"),
            QStringLiteral("WIPContractors"));
    }

    void differentTarget()
    {
        QFETCH(QString, change);
        QFETCH(QString, differs);
        JT_FRESH_DB(db);
        fill(db.connection());
        TestDb into;
        JT_CREATE_OR_SKIP(into, false);
        data::Connection &target = into.connection();
        data::createSchema(target);
        if (into.backend() == u"sqlite") {
            target.execScript(QStringLiteral("CREATE TRIGGER Planted AFTER INSERT ON WIP BEGIN %1; END").arg(change));
        } else {
            const QString body = QStringLiteral("BEGIN %1; RETURN NULL; END").arg(change);
            target.execScript(QStringLiteral("CREATE FUNCTION planted() RETURNS trigger AS '%1' LANGUAGE plpgsql")
                                  .arg(QString(body).replace(u'\'', QStringLiteral("''"))));
            target.execScript(
                QStringLiteral("CREATE TRIGGER Planted AFTER INSERT ON WIP FOR EACH ROW EXECUTE PROCEDURE planted()"));
        }
        const auto before = checksums(target);

        const data::CopyResult result = data::copyDatabase(db.connection(), target);
        QVERIFY(!result.committed);
        QStringList different;
        for (const data::TableCopy &table : result.tables) {
            if (!table.matches())
                different << table.table;
        }
        QCOMPARE(different, QStringList { differs });
        QCOMPARE(checksums(target), before);
    }

    // One value of each awkward shape, from a SQLite file into a new
    // database of the backend: the copy commits, and the value read back
    // through the driver is the one written.
    void values_data()
    {
        columns<QString, QVariant>({ "column", "value" });
        row("text with control characters", QStringLiteral("Notes"),
            QVariant(QStringLiteral("bell\a back\b feed\f vtab\v esc\x1b del\x7f")));
        row("text that reads as escapes", QStringLiteral("Notes"), QVariant(QStringLiteral("C:\\new\\N \\x41 \\101")));
        row("text that is COPY's NULL", QStringLiteral("Notes"), QVariant(QStringLiteral("\\N")));
        row("a fraction of one digit", QStringLiteral("StartDate"),
            QVariant(QDateTime(QDate(2026, 3, 30), QTime(10, 15, 30, 100))));
        row("a fraction of two digits", QStringLiteral("StartDate"),
            QVariant(QDateTime(QDate(2026, 3, 30), QTime(10, 15, 30, 120))));
        row("no fraction", QStringLiteral("StartDate"), QVariant(QDateTime(QDate(2026, 3, 30), QTime(10, 15, 30))));
        row("the year 999", QStringLiteral("StartDate"), QVariant(QDateTime(QDate(999, 1, 2), QTime(3, 4, 5, 6))));
        row("the day clocks go forward", QStringLiteral("StartDate"),
            QVariant(QDateTime(QDate(2026, 3, 8), QTime(1, 59, 59, 999))));
        row("the hour clocks go back", QStringLiteral("StartDate"),
            QVariant(QDateTime(QDate(2026, 11, 1), QTime(1, 30))));
        row("the smallest double", QStringLiteral("Rugs"), QVariant(4.9406564584124654e-324));
        row("the largest double", QStringLiteral("Rugs"), QVariant(1.7976931348623157e308));
        row("a third", QStringLiteral("Rugs"), QVariant(1.0 / 3));
    }

    void values()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        data::Connection file;
        file.open(QStringLiteral("Provider=SQLite;Data Source=values.db"), dir.path(), { true });
        data::createSchema(file);
        file.insertRow(QStringLiteral("WIP"), { { QStringLiteral("ID"), 5 }, { column, value } });

        TestDb into;
        JT_CREATE_OR_SKIP(into, false);
        QVERIFY(data::copyDatabase(file, into.connection()).committed);
        const QString select = QStringLiteral("SELECT %1 FROM WIP WHERE ID = 5").arg(column);
        const QVariant copied = into.connection().scalar(select);
        const QVariant original = file.scalar(select);
        if (value.typeId() == QMetaType::QDateTime) {
            QCOMPARE(data::dateTimeOf(copied), data::dateTimeOf(original));
        } else if (value.typeId() == QMetaType::Double) {
            QCOMPARE(copied.toDouble(), value.toDouble());
        } else {
            QCOMPARE(copied.toString(), value.toString());
        }
    }

    // A backup taken while another connection saves holds the data as it
    // was when the backup began and restores into a new database; a file
    // that is no backup of this program, or whose schema would run
    // expressions of its own, is refused with its reason before a row of it
    // is read or anything is written.
    void restore_data()
    {
        columns<QByteArray, QString>({ "file", "refusal" }); // no refusal: restores
        row("a backup", QByteArray("backup"), QString());
        row("a text file", QByteArray("text"), QStringLiteral("not a backup"));
        row("another program's database", QByteArray("other"), QStringLiteral("Notes, that is not in the"));
        row("a damaged backup", QByteArray("damaged"), QStringLiteral("damaged"));
        // Read, the column would fail with "integer overflow".
        row("a generated column in WIP",
            QByteArray("DROP TRIGGER TR_WIP_History_Notes\nALTER TABLE WIP DROP COLUMN Notes\n"
                       "ALTER TABLE WIP ADD COLUMN Notes TEXT GENERATED ALWAYS AS "
                       "(abs(-9223372036854775807 - 1 + 0 * ID)) VIRTUAL"),
            QStringLiteral("table WIP has a generated column, Notes"));
        row("a view", QByteArray("CREATE VIEW Board AS SELECT * FROM WIP"), QStringLiteral("a view, Board"));
        row("another program's trigger",
            QByteArray("CREATE TRIGGER Wipe AFTER INSERT ON WIP BEGIN DELETE FROM Employee; END"),
            QStringLiteral("a trigger, Wipe,"));
        row("the program's trigger rewritten",
            QByteArray("DROP TRIGGER TR_WIP_RowVersion\nCREATE TRIGGER TR_WIP_RowVersion AFTER UPDATE ON WIP "
                       "BEGIN DELETE FROM Employee; END"),
            QStringLiteral("a trigger, TR_WIP_RowVersion,"));
        row("an index on an expression", QByteArray("CREATE INDEX IX_Evil ON WIP (length(Customer))"),
            QStringLiteral("an index on an expression"));
        // PRAGMA integrity_check would evaluate it on every row.
        row("a check that fails when evaluated",
            QByteArray("PRAGMA writable_schema = ON\nUPDATE sqlite_master SET sql = replace(sql, 'Version INTEGER', "
                       "'Version INTEGER CHECK (abs(-9223372036854775807 - 1 + 0 * Version) > 0)') "
                       "WHERE name = 'SchemaVersion'"),
            QString());
    }

    void restore()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, refusal);
        JT_FRESH_DB(db);
        fill(db.connection());
        const auto original = checksums(db.connection());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("jobs.backup.db"));
        if (file != "text" && file != "other") {
            // On a server another user saves meanwhile; SQLite holds writers
            // off until the snapshot is read.
            data::Connection other;
            other.open(db.connectionString(), db.folder());
            const bool server = db.backend() != u"sqlite";
            QVERIFY(data::backUp(db.connection(), path, [&](const data::CopyProgress &p) {
                if (server && p.table == u"WIP" && !p.finished)
                    other.exec(
                        QStringLiteral("UPDATE WIP SET Notes = ? WHERE ID = 3"), { QStringLiteral("meanwhile") });
            }).committed);
            QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
        }
        if (file == "damaged") {
            QFile damage(path);
            QVERIFY(damage.open(QIODevice::ReadWrite));
            damage.seek(damage.size() / 2);
            damage.write(QByteArray(8192, '\xA5'));
        } else if (file == "text") {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("Job, Customer\n1, Smith\n");
        } else if (file == "other") {
            data::Connection other;
            other.open(QStringLiteral("Provider=SQLite;Data Source=jobs.backup.db"), dir.path(), { true });
            other.execScript(QStringLiteral("CREATE TABLE Notes (Text TEXT)"));
        } else if (file != "backup") {
            // Planted by another program, one statement a line.
            data::Connection other;
            other.open(QStringLiteral("Provider=SQLite;Data Source=jobs.backup.db"), dir.path());
            for (const QByteArray &statement : file.split('\n'))
                other.execScript(QString::fromUtf8(statement));
        }
        const QString problem = data::backupProblem(path);
        QVERIFY2(refusal.isEmpty() ? problem.isEmpty() : problem.contains(refusal), qPrintable(problem));

        TestDb into;
        JT_CREATE_OR_SKIP(into, false);
        try {
            QVERIFY(data::restore(path, into.connection()).committed);
            QVERIFY(refusal.isEmpty());
            QCOMPARE(checksums(into.connection()), original);
        } catch (const data::DbError &e) {
            QVERIFY2(!refusal.isEmpty() && e.message().contains(refusal), qPrintable(e.message()));
            QVERIFY(!data::hasTable(into.connection(), QStringLiteral("WIP")));
        }
    }
};

QTEST_MAIN(TestCopy)
#include "tst_copy.moc"
