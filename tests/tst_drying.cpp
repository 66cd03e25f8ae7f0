// backends: sqlite postgres odbc
#include "board/BoardLines.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "drying/DryingLog.h"
#include "drying/Psychrometrics.h"
#include "settings/Company.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QTest>
#include <cmath>
#include <limits>

using drying::TemperatureUnit;
Q_DECLARE_METATYPE(TemperatureUnit)

namespace {

const QDate kToday(2026, 3, 30);
const data::Stamp kStamp { QStringLiteral("kw"), QDateTime(kToday, QTime(9, 0)) };

QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

qint64 addJob(const QString &customer, const QString &status, const QDate &start, bool watched = true)
{
    return testdb::insertRow(QStringLiteral("WIP"),
        { { "Customer", customer }, { "JobType", "Water" }, { "Status", status }, { "StartDate", start.startOfDay() },
            { "CheckDryingDays", watched } });
}

template <class T> T value(const std::variant<T, FieldProblem> &result)
{
    if (const auto *problem = std::get_if<FieldProblem>(&result))
        qFatal("refused: %s %s", qPrintable(problem->field), qPrintable(problem->text));
    return std::get<T>(result);
}

template <class T> QString problemField(const std::variant<T, FieldProblem> &result)
{
    const auto *problem = std::get_if<FieldProblem>(&result);
    return problem ? problem->field : QString();
}

qint64 addRoom(qint64 wip, const QString &name)
{
    return value(drying::addRoom(testdb::connection(), wip, name, true));
}

qint64 addPoint(qint64 room, double goal)
{
    return value(drying::savePoint(testdb::connection(), { 0, room, "Drywall", "North wall", "Protimeter", goal }));
}

void readAir(qint64 room, const QDate &day, double fahrenheit = 75, double humidity = 55)
{
    value(drying::saveAtmosphere(testdb::connection(),
        { .roomId = room, .takenAt = QDateTime(day, QTime(8, 30)), .temperature = fahrenheit, .humidity = humidity },
        TemperatureUnit::Fahrenheit, kStamp));
}

void readPoint(qint64 point, const QDate &day, double moisture)
{
    // The day's value as stored now, if any, is the one replaced.
    const QVariant version = testdb::scalar(
        "SELECT RowVersion FROM MoistureReading WHERE ID = (SELECT MIN(ID) FROM MoistureReading WHERE PointID = ? AND "
        "TakenAt = ?)",
        { point, QDateTime(day, QTime(0, 0)) });
    value(drying::saveMoistureReading(testdb::connection(), point, day, moisture, version, kStamp));
}

int count(const char *table)
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))).toInt();
}

} // namespace

class TestDrying : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;

private slots:
    void init() { resetTestState(); }

    // Good air gives its GPP and dew point (in the unit asked for); bad air
    // is refused by field, the message naming the range in that unit.
    void conditions_data()
    {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        const auto F = TemperatureUnit::Fahrenheit;
        columns<double, double, TemperatureUnit, QString, QString, QString>(
            { "temperature", "humidity", "unit", "gppDewPoint", "field", "range" });
        row("70 F, 50 %", 70.0, 50.0, F, QString("54.5 50.5"), QString(), QString());
        row("80 F, 60 %", 80.0, 60.0, F, QString("92.1 64.9"), QString(), QString());
        row("21.1 C, 50 %", drying::fahrenheitToCelsius(70), 50.0, TemperatureUnit::Celsius, QString("54.5 10.3"),
            QString(), QString());
        row("saturated air: dew point is the temperature", 60.0, 100.0, F, QString("77.3 60.0"), QString(), QString());
        row("edges pass", 160.0, 100.0, F, QString(), QString(), QString());
        row("edges pass in C", -40.0, 0.0, TemperatureUnit::Celsius, QString(), QString(), QString());
        row("humidity over 100", 70.0, 100.5, F, QString(), QString("Humidity"), QString("0 to 100"));
        row("negative humidity", 70.0, -0.1, F, QString(), QString("Humidity"), QString("0 to 100"));
        row("humidity not a number", 70.0, nan, F, QString(), QString("Humidity"), QString("0 to 100"));
        row("too hot", 160.5, 50.0, F, QString(), QString("Temperature"), QString("-40.0 °F to 160.0 °F"));
        row("too cold", -40.5, 50.0, F, QString(), QString("Temperature"), QString("-40.0 °F to 160.0 °F"));
        // 72 C is 161.6 F: the range is the same air in C.
        row("too hot in C", 72.0, 50.0, TemperatureUnit::Celsius, QString(), QString("Temperature"),
            QString("-40.0 °C to 71.1 °C"));
    }

    void conditions()
    {
        QFETCH(double, temperature);
        QFETCH(double, humidity);
        QFETCH(TemperatureUnit, unit);
        QFETCH(QString, gppDewPoint);
        QFETCH(QString, field);
        QFETCH(QString, range);
        auto problem = drying::checkTemperature(temperature, unit);
        if (!problem)
            problem = drying::checkHumidity(humidity);
        QCOMPARE(problem ? problem->field : QString(), field);
        const auto result = drying::conditions(temperature, humidity, unit);
        QCOMPARE(result.has_value(), field.isEmpty());
        if (problem)
            QVERIFY2(problem->text.contains(range), qPrintable(problem->text));
        else if (!gppDewPoint.isEmpty())
            QCOMPARE(oneDecimal(result->grainsPerPound) + u' ' + oneDecimal(result->dewPoint), gppDewPoint);
    }

    // Stored in F, given back in the unit asked for; one moisture value per
    // point and day.
    void readingsRoundTrip()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 wip = addJob("Round trip", "Drying", kToday);
        const qint64 room = addRoom(wip, "Kitchen");
        drying::AtmosphereReading reading {
            .roomId = room, .takenAt = QDateTime(kToday, QTime(8, 15)), .temperature = 21.5, .humidity = 45.5
        };
        const qint64 id = value(drying::saveAtmosphere(db, reading, TemperatureUnit::Celsius, kStamp));
        QCOMPARE(testdb::scalar("SELECT Temperature FROM DryingAtmosphere").toDouble(), 70.7);

        auto loaded = drying::loadAtmosphere(db, room, TemperatureUnit::Celsius);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded[0].id, id);
        QCOMPARE(loaded[0].takenAt, reading.takenAt);
        QVERIFY(qFuzzyCompare(loaded[0].temperature, 21.5));
        QCOMPARE(loaded[0].humidity, 45.5);
        QCOMPARE(loaded[0].enteredBy, QString("kw"));

        loaded[0].temperature = 68;
        QCOMPARE(value(drying::saveAtmosphere(db, loaded[0], TemperatureUnit::Fahrenheit, kStamp)), id);
        QCOMPARE(drying::loadAtmosphere(db, room, TemperatureUnit::Fahrenheit).value(0).temperature, 68.0);

        const qint64 point = addPoint(room, 12);
        readPoint(point, kToday.addDays(-1), 30);
        readPoint(point, kToday, 25);
        readPoint(point, kToday, 18.5); // the same day again: replaces
        QCOMPARE(count("MoistureReading"), 2);
        const drying::JobLog log = drying::loadLog(db, wip, kToday, TemperatureUnit::Fahrenheit);
        QCOMPARE(log.rooms.value(0).points.value(0).values,
            (QMap<QDate, double> { { kToday.addDays(-1), 30.0 }, { kToday, 18.5 } }));
    }

    void refusedRecords()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 wip = addJob("Refusals", "Drying", kToday);
        const qint64 room = addRoom(wip, "Kitchen");
        for (const QString &name : { QString("  "), QString(data::textWidth("DryingRoom", "Name") + 1, u'x'),
                 QString("outside"), QString("KITCHEN") })
            QVERIFY2(problemField(drying::addRoom(db, wip, name, false)) == u"Name", qPrintable(name));
        QCOMPARE(drying::updateRoom(db, drying::loadRooms(db, wip).first(), "Kitchen", false),
            std::nullopt); // its own name is fine

        auto pointProblem = [&](drying::MoisturePoint point) {
            point.roomId = room;
            return problemField(drying::savePoint(db, point));
        };
        QCOMPARE(pointProblem({ .material = "", .dryGoal = 10 }), QString("Material"));
        QCOMPARE(pointProblem({ .material = "Drywall", .location = QString(101, u'x') }), QString("Location"));
        QCOMPARE(pointProblem({ .material = "Drywall", .dryGoal = -1 }), QString("DryGoal"));
        QCOMPARE(pointProblem({ .material = "Drywall", .dryGoal = INFINITY }), QString("DryGoal"));

        QCOMPARE(problemField(drying::saveMoistureReading(db, 1, kToday, -2, {}, kStamp)), QString("Value"));
        drying::AtmosphereReading air { .roomId = room, .takenAt = {}, .temperature = 70, .humidity = 50 };
        QCOMPARE(drying::validate(air, TemperatureUnit::Fahrenheit)->field, QString("TakenAt"));

        QCOMPARE(count("DryingRoom"), 2); // Kitchen and Outside
        QCOMPARE(count("MoisturePoint") + count("MoistureReading") + count("DryingAtmosphere"), 0);
    }

    // One "Outside" per job, fixed; a room goes with everything read in it, or
    // not at all.
    void roomsAndDeletion()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const qint64 wip = addJob("Rooms", "Drying", kToday);
        const qint64 outside = drying::ensureOutsideRoom(db, wip);
        const qint64 bath = addRoom(wip, "Bath");
        const qint64 den = value(drying::addRoom(db, wip, "Den", false));
        QCOMPARE(drying::ensureOutsideRoom(db, wip), outside);
        const auto rooms = drying::loadRooms(db, wip);
        QCOMPARE(rooms.size(), 3);
        QCOMPARE(rooms[0].id, bath); // affected, unaffected, outside
        QCOMPARE(rooms[1].id, den);
        QVERIFY(rooms[2].outside);
        QCOMPARE(drying::updateRoom(db, { .id = outside }, "Yard", false)->field, QString("Name"));
        QCOMPARE(drying::deleteRoom(db, outside)->field, QString("Name"));

        for (qint64 room : { bath, den }) {
            readAir(room, kToday);
            readPoint(addPoint(room, 10), kToday, 20);
        }
        data::failNextStatementContaining("DELETE FROM DryingRoom");
        QVERIFY_THROWS_EXCEPTION(data::DbError, drying::deleteRoom(db, bath));
        QCOMPARE(count("MoistureReading"), 2);
        QCOMPARE(count("DryingAtmosphere"), 2);

        QCOMPARE(drying::deleteRoom(db, bath), std::nullopt);
        QCOMPARE(count("DryingRoom"), 2);
        QCOMPARE(count("DryingAtmosphere"), 1);
        QCOMPARE(count("MoisturePoint"), 1);
        QCOMPARE(count("MoistureReading"), 1);
    }

    // Days from the start to today; a past day without a reading is a gap only
    // while the job is drying; a point is Dry from the day it reaches its goal.
    void log_data()
    {
        columns<QString, int, bool, QDate>({ "status", "daysRead", "dry", "reachedGoal" });
        row("drying, read to day 2", QString("Drying"), 2, false, QDate());
        row("drying, read to day 3", QString("Drying"), 3, true, kToday);
        row("open", QString("Open"), 3, true, kToday);
    }

    void log()
    {
        QFETCH(QString, status);
        QFETCH(int, daysRead);
        JT_FRESH_DB_IN(m_db);
        const QDate start = kToday.addDays(-3);
        const qint64 wip = addJob("Log", status, start);
        const qint64 room = addRoom(wip, "Bath");
        const qint64 point = addPoint(room, 12);
        const double values[] = { 20, 15, 13, 11.9 };
        for (int day = 0; day <= daysRead; ++day) {
            if (day != 1) // day 1 missed
                readAir(room, start.addDays(day), 70, 50);
            readPoint(point, start.addDays(day), values[day]);
        }

        const auto log = drying::loadLog(testdb::connection(), wip, kToday, TemperatureUnit::Fahrenheit);
        QCOMPARE(log.firstDay, start);
        QCOMPARE(log.lastDay, kToday);
        QCOMPARE(log.rooms.size(), 2);
        const drying::RoomLog &bath = log.rooms[0];
        QCOMPARE(bath.days.size(), 4);
        QList<bool> gaps;
        for (const auto &day : bath.days)
            gaps << day.gap;
        const bool drying = status == u"Drying";
        // Day 1 missed; today not read yet is no gap.
        QCOMPARE(gaps, (QList<bool> { false, drying, false, false }));
        QCOMPARE(oneDecimal(bath.days[0].conditions->grainsPerPound), QString("54.5"));
        QVERIFY(!bath.days[1].reading);
        // The outside room was not read at all.
        QCOMPARE(log.rooms[1].days.value(2).gap, drying);

        QCOMPARE(bath.points.size(), 1);
        QCOMPARE(bath.points[0].values.size(), daysRead + 1);
        QTEST(bath.points[0].dry, "dry");
        QTEST(bath.points[0].reachedGoal, "reachedGoal");
    }

    // With the setting off the board is what it was; on, a job whose points
    // are all at goal stops flashing and one still wet keeps it.
    void boardAlerts()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        const QDate start = kToday.addDays(-10);
        const qint64 dry = addJob("Alert dry", "Drying", start);
        const qint64 wet = addJob("Alert wet", "Drying", start);
        addJob("Alert no log", "Drying", start);
        const qint64 young = addJob("Alert young", "Drying", kToday.addDays(-2));
        const qint64 dryRoom = addRoom(dry, "Bath");
        for (double goal : { 10, 12 })
            readPoint(addPoint(dryRoom, goal), kToday.addDays(-1), goal);
        const qint64 wetRoom = addRoom(wet, "Bath");
        readPoint(addPoint(wetRoom, 10), kToday.addDays(-1), 9);
        readPoint(addPoint(wetRoom, 10), kToday.addDays(-1), 14);
        addPoint(addRoom(young, "Den"), 10);
        readAir(wetRoom, kToday.addDays(-3));

        const board::Filter filter { .search = QStringLiteral("Alert") };
        // Lines as "text|alert|tip"; without options, the board as it was.
        auto read = [&](board::BoardReader::Source source, const board::DryingLogOptions *options, bool tips = true) {
            QStringList lines;
            auto reader = options ? std::make_unique<board::BoardReader>(db, filter, kToday, 7, *options, source)
                                  : std::make_unique<board::BoardReader>(db, filter, kToday, 7, source);
            board::BoardLine line;
            while (reader->next(line))
                lines
                    << QStringLiteral("%1|%2|%3").arg(line.text).arg(line.dryingAlert).arg(tips ? line.dryingTip : "");
            return lines;
        };
        const board::DryingLogOptions offOptions { .summaries = true, .alertFromLog = false };
        const board::DryingLogOptions onOptions { .summaries = true, .alertFromLog = true };
        for (const auto source : { board::BoardReader::Source::Fastest, board::BoardReader::Source::Columns }) {
            const QStringList off = read(source, &offOptions);
            const QStringList on = read(source, &onOptions);
            QCOMPARE(off.size(), 4);
            // Setting off: the same lines and alerts, with the tooltips.
            QCOMPARE(read(source, &offOptions, false), read(source, nullptr, false));
            // In customer order: dry, no log, wet, young.
            QCOMPARE(off[0].section(u'|', 1), QString("1|2 of 2 points at goal, last reading 1 day ago"));
            QCOMPARE(on[0].section(u'|', 1), QString("0|2 of 2 points at goal, last reading 1 day ago"));
            QVERIFY(on[0].section(u'|', 0, 0).endsWith(u"\tFalse"));
            QCOMPARE(on[1].section(u'|', 1), QString("1|"));
            QCOMPARE(on[2].section(u'|', 1), QString("1|1 of 2 points at goal, last reading 1 day ago"));
            QCOMPARE(on[3].section(u'|', 1), QString("0|0 of 1 points at goal, no reading yet"));
        }
    }

    void summaryText_data()
    {
        columns<QDate, QString>({ "last", "text" });
        row("never", QDate(), QString("1 of 3 points at goal, no reading yet"));
        row("today", kToday, QString("1 of 3 points at goal, last reading today"));
        row("yesterday", kToday.addDays(-1), QString("1 of 3 points at goal, last reading 1 day ago"));
        row("a week", kToday.addDays(-7), QString("1 of 3 points at goal, last reading 7 days ago"));
    }

    void summaryText()
    {
        QFETCH(QDate, last);
        QTEST(drying::summaryText({ 3, 1, last }, kToday), "text");
    }

    // A database from before the drying log gets its tables and the company
    // settings, which read as F and off; the company row stays.
    void upgrade()
    {
        JT_FRESH_DB_IN(m_db);
        auto &db = testdb::connection();
        TestDb::addCompany(9);
        // The later tables' keys into these go with them (PostgreSQL drops
        // no table another's key points at); the upgrade adds them again.
        const QString cascade
            = db.dialect().kind() == data::DbKind::PostgreSQL ? QStringLiteral(" CASCADE") : QString();
        for (const char *table : { "MoistureReading", "MoisturePoint", "DryingAtmosphere", "DryingRoom" })
            testdb::execScript(QStringLiteral("DROP TABLE %1%2").arg(QLatin1String(table), cascade));
        for (const char *column : { "TemperatureUnit", "DryingLogAlert" })
            testdb::execScript(QStringLiteral("ALTER TABLE Company DROP COLUMN %1").arg(QLatin1String(column)));
        testdb::exec("UPDATE SchemaVersion SET Version = ?", { 4 });
        QVERIFY(!data::checkSchema(db).complete());

        const data::UpgradeResult result = data::upgradeSchema(db);
        QCOMPARE(result.to, data::kSchemaVersion);
        QVERIFY(result.done.value(0).contains(u"added column Company.DryingLogAlert"));
        QVERIFY2(data::checkSchema(db).complete(), qPrintable(data::checkSchema(db).toBeAdded.join(", ")));
        const auto company = Company::load(db);
        QCOMPARE(company->dryingDays, 9);
        QCOMPARE(company->temperatureUnit, QString("F"));
        QCOMPARE(company->dryingLogAlert, false);
        QVERIFY(db.scalar(db.dialect().indexExists(), { "MoistureReading", "IX_MoistureReading_PointID_TakenAt" })
                    .isValid());

        CompanyRow row = *company;
        row.temperatureUnit = "C";
        row.dryingLogAlert = true;
        Company::save(db, row);
        QCOMPARE(Company::load(db)->temperatureUnit, QString("C"));
        QVERIFY(Company::load(db)->dryingLogAlert);
    }
};

QTEST_GUILESS_MAIN(TestDrying)
#include "tst_drying.moc"
