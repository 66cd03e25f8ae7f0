// backends: sqlite postgres
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Formats.h"
#include "board/BoardQuery.h"
#include "board/ui/frmWIPNavigator.h"
#include "charts/LineChart.h"
#include "data/Database.h"
#include "drying/DryingLog.h"
#include "drying/ui/frmDryingLog.h"
#include "reports/ReportRenderer.h"
#include "reports/crptDryingLog.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

qint64 addWip(const QString &customer, const QString &status = QStringLiteral("Drying"))
{
    return testdb::insertRow("WIP",
        { { "Customer", customer }, { "JobType", "Water" }, { "Status", status },
            { "StartDate", QDateTime(kNow.date().addDays(-3), QTime(0, 0)) }, { "AmountBilled", 0.0 },
            { "InvoiceID", "" }, { "QBID", "" } });
}

int count(const char *table)
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(table))).toInt();
}

} // namespace

class TestDryingLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<frmDryingLog> m_screen;
    QTemporaryDir m_out;

    frmDryingLog *open(qint64 wip)
    {
        m_screen = std::make_unique<frmDryingLog>(testdb::context());
        m_screen->open();
        m_screen->show();
        m_screen->LoadDryingLog(QString::number(wip));
        return m_screen.get();
    }
    template <typename T = QWidget> T *child(const char *name) { return findControl<T>(m_screen.get(), name); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void type(const char *name, const QString &text)
    {
        child<QLineEdit>(name)->clear();
        QTest::keyClicks(child<QLineEdit>(name), text);
    }
    QString label(const char *name) { return child<QLabel>(name)->text(); }
    void addRoom(const QString &name)
    {
        type("txtRoom", name);
        click("btnAddRoom");
    }
    void pickRoom(const QString &name)
    {
        auto *rooms = child<QListWidget>("lstRooms");
        const QList<QListWidgetItem *> found = rooms->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        rooms->setCurrentItem(found.first());
    }
    // A grid's data rows as tab-joined visible texts.
    QStringList rows(const char *grid)
    {
        auto *g = child<GridWidget>(grid);
        QStringList out;
        for (int r = g->fixedRows(); r < g->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < g->cols(); ++c) {
                if (!g->colHidden(c))
                    cells << g->textMatrix(r, c);
            }
            out << cells.join(u'|');
        }
        return out;
    }
    void saveReading(const QDateTime &at, const QString &temperature, const QString &humidity)
    {
        child<QDateTimeEdit>("dtReading")->setDateTime(at);
        type("txtTemperature", temperature);
        type("txtHumidity", humidity);
        click("btnSaveReading");
    }

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        TestDb::addCompany();
        QVERIFY(testdb::context().LoadCompanySettings());
        testdb::logIn(1, QStringLiteral("kwhitfield"), QStringLiteral("Admin"));
        Messages::setRecording(true);
        Messages::clearShown();
    }

    void cleanup()
    {
        m_screen.reset();
        m_db.reset();
        resetTestState();
    }

    // GPP and dew point follow the boxes as the user types; a value the
    // reading would refuse shows nothing, and saving it says why, keeps the
    // focus on the box at fault and writes nothing. A text that is no number
    // gets the message every number box gives.
    void typedReading_data()
    {
        columns<QString, QString, QString, QString, QString, QString>(
            { "temperature", "humidity", "gpp", "dewPoint", "box", "message" });
        const QString range = QStringLiteral("relative humidity must be a number from 0 to 100");
        const QString hot = QStringLiteral("temperature must be a number from");
        const QString digits = QStringLiteral("The relative humidity must be a number: digits");
        row("70 F 50 %", QString("70"), QString("50"), QString("54.5"), QString("50.5 \u00b0F"), QString(), QString());
        row("bone dry: no dew point", QString("70"), QString("0"), QString("0.0"), QString(), QString(), QString());
        row("point before decimals", QString("70"), QString("1.250"), QString("1.3"), QString("-31.2 \u00b0F"),
            QString(), QString());
        row("humidity 101", QString("70"), QString("101"), QString(), QString(), QString("txtHumidity"), range);
        row("humidity not a number", QString("70"), QString("5o"), QString(), QString(), QString("txtHumidity"),
            digits);
        row("decimal comma humidity", QString("70"), QString("1,25"), QString(), QString(), QString("txtHumidity"),
            digits);
        row("humidity empty", QString("70"), QString(), QString(), QString(), QString("txtHumidity"),
            QString("Enter the relative humidity."));
        row("no temperature", QString(), QString("50"), QString(), QString(), QString("txtTemperature"),
            QString("Enter the temperature."));
        row("temperature too hot", QString("200"), QString("50"), QString(), QString(), QString("txtTemperature"), hot);
    }
    void typedReading()
    {
        QFETCH(QString, temperature);
        QFETCH(QString, humidity);
        QFETCH(QString, box);
        QFETCH(QString, message);
        // On a German machine too, the boxes read numbers as they show them.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        open(addWip("Pat Lee"));
        addRoom("Kitchen");
        type("txtTemperature", temperature);
        type("txtHumidity", humidity);
        QTEST(label("lblGPP"), "gpp");
        QTEST(label("lblDewPoint"), "dewPoint");
        click("btnSaveReading");
        QCOMPARE(count("DryingAtmosphere"), box.isEmpty() ? 1 : 0);
        if (box.isEmpty())
            return;
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.contains(message), qPrintable(Messages::shown().first().text));
        QCOMPARE(m_screen->focusWidget() ? m_screen->focusWidget()->objectName() : QString(), box);
        QCOMPARE(child<QLineEdit>(box.toLatin1().constData())->text(), box == u"txtHumidity" ? humidity : temperature);
    }

    // Readings typed into the screen are stored and come back, by day, in a
    // screen opened afresh; the caption names the job.
    void readingsSavedAndReadBack()
    {
        const qint64 wip = addWip("Pat Lee");
        open(wip);
        QCOMPARE(m_screen->windowTitle(), QStringLiteral("Drying Log - Pat Lee - %1").arg(wip));
        // A job new to the log has its "Outside" from the first opening, so
        // the outside reading can be taken before any room is added.
        QCOMPARE(itemTexts(child<QListWidget>("lstRooms")), QStringList({ "Outside" }));
        QVERIFY(child<QTabWidget>("tabLog")->isEnabled());
        addRoom("Kitchen");
        QCOMPARE(itemTexts(child<QListWidget>("lstRooms")), QStringList({ "Kitchen", "Outside" }));
        saveReading(QDateTime(kNow.date().addDays(-1), QTime(9, 0)), "70", "50");
        saveReading(kNow, "75.5", "40");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(shownMessages().join(" / ")));
        QCOMPARE(count("DryingAtmosphere"), 2);
        QCOMPARE(child<QLineEdit>("txtTemperature")->text(), QString());

        m_screen.reset();
        open(wip);
        const QString d1 = Formats::date(kNow.date().addDays(-1));
        const QString d0 = Formats::date(kNow.date());
        const QStringList shown = rows("vsfgReadings");
        // The start day of this drying job has no reading: a gap. Each
        // reading names who entered it (here or on a phone).
        for (const QString &expected : { d1 + "|09:00|70.0 \u00b0F|50.0|54.5|50.5 \u00b0F||kwhitfield",
                 d0 + "|10:15|75.5 \u00b0F|40.0|52.4|49.5 \u00b0F||kwhitfield",
                 Formats::date(kNow.date().addDays(-3)) + "||||||no reading|" })
            QVERIFY2(shown.contains(expected), qPrintable(shown.join("\n")));
    }

    // Deleting a room asks first; No keeps it, Yes takes its readings along.
    void deleteRoomAsks()
    {
        open(addWip("Pat Lee"));
        addRoom("Kitchen");
        saveReading(kNow, "70", "50");
        pickRoom("Kitchen");
        Messages::clearShown();
        Messages::setNextAnswer(QMessageBox::No);
        click("btnDeleteRoom");
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(count("DryingAtmosphere"), 1);
        Messages::setNextAnswer(QMessageBox::Yes);
        click("btnDeleteRoom");
        QCOMPARE(itemTexts(child<QListWidget>("lstRooms")), QStringList({ "Outside" }));
        QCOMPARE(count("DryingAtmosphere"), 0);
        // The outside stays: neither renamed nor deleted.
        QVERIFY(!child<QPushButton>("btnDeleteRoom")->isEnabled());
    }

    // A point turns "Dry" once its latest value is at or below its goal; the
    // day it first got there is shown.
    void moisturePointDries()
    {
        open(addWip("Pat Lee"));
        addRoom("Kitchen");
        type("txtMaterial", "Drywall");
        type("txtLocation", "North wall");
        type("txtGoal", "12");
        click("btnSavePoint");
        const QDate day1 = kNow.date().addDays(-2);
        child<QDateEdit>("dtMoisture")->setDate(day1);
        type("txtMoisture", "20");
        click("btnSaveMoisture");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(shownMessages().join(" / ")));
        // Material, location, meter, goal, latest, state, reached goal, then the days.
        QVERIFY2(rows("vsfgPoints").value(0).startsWith("Drywall|North wall||12.0|20.0|||"),
            qPrintable(rows("vsfgPoints").join("\n")));
        child<QDateEdit>("dtMoisture")->setDate(kNow.date());
        type("txtMoisture", "12");
        click("btnSaveMoisture");
        QVERIFY2(
            rows("vsfgPoints").value(0).startsWith("Drywall|North wall||12.0|12.0|Dry|" + Formats::date(kNow.date())),
            qPrintable(rows("vsfgPoints").join("\n")));
        type("txtMoisture", "-3");
        click("btnSaveMoisture");
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(count("MoistureReading"), 2);
    }

    // A save over what someone else changed since the log was read is
    // refused with the database's message, writes nothing and keeps the
    // text typed: each box set saves with the version its record was read at.
    void changedBySomeoneElse_data()
    {
        columns<QString, QString, QString, QString>({ "box", "button", "table", "column" });
        row("reading", QString("txtHumidity"), QString("btnSaveReading"), QString("DryingAtmosphere"),
            QString("Humidity"));
        row("point", QString("txtGoal"), QString("btnSavePoint"), QString("MoisturePoint"), QString("DryGoal"));
        row("value", QString("txtMoisture"), QString("btnSaveMoisture"), QString("MoistureReading"), QString("Value"));
    }
    void changedBySomeoneElse()
    {
        QFETCH(QString, box);
        QFETCH(QString, button);
        QFETCH(QString, table);
        QFETCH(QString, column);
        open(addWip("Pat Lee"));
        addRoom("Kitchen");
        saveReading(kNow, "70", "50");
        type("txtMaterial", "Drywall");
        type("txtGoal", "12");
        click("btnSavePoint");
        type("txtMoisture", "20");
        click("btnSaveMoisture");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(shownMessages().join(" / ")));
        // The reading picked in its grid; the point stays in its boxes.
        auto *readings = child<GridWidget>("vsfgReadings");
        const QString readingId = testdb::scalar("SELECT ID FROM DryingAtmosphere").toString();
        for (int r = readings->fixedRows(); r < readings->rows(); ++r) {
            if (readings->textMatrix(r, 0) == readingId)
                readings->setRow(r);
        }
        QCOMPARE(child<QLineEdit>("txtHumidity")->text(), QStringLiteral("50.0"));

        testdb::exec(QStringLiteral("UPDATE %1 SET %2 = 7").arg(table, column));
        type(box.toLatin1().constData(), "33");
        click(button.toLatin1().constData());
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Changed by Someone Else"));
        QCOMPARE(child<QLineEdit>(box.toLatin1().constData())->text(), QStringLiteral("33"));
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT %1 FROM %2").arg(column, table)).toDouble(), 7.0);
    }

    // The entry screen opens the log of the job it shows, only once saved;
    // the board opens the log of a row from its context menu.
    void openedFromEntryScreenAndBoard()
    {
        const qint64 wip = addWip("Pat Lee");
        const qint64 other = addWip("Sam Water");
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        mdi.unlockAfterLogin(testdb::context().Username());
        auto *entry = qobject_cast<frmWIPEntry *>(mdi.showScreen(QStringLiteral("frmWIPEntry")));
        QVERIFY(entry);
        auto *button = findControl<QPushButton>(entry, "btnDryingLog");
        QVERIFY(!button->isEnabled());
        entry->LoadWIP(QString::number(wip));
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        frmDryingLog *log = nullptr;
        for (QMdiSubWindow *sub : mdi.area()->subWindowList()) {
            if (auto *found = qobject_cast<frmDryingLog *>(sub->widget()))
                log = found;
        }
        QVERIFY(log);
        QCOMPARE(log->wipId(), wip);

        auto *navigator = qobject_cast<frmWIPNavigator *>(mdi.showScreen(QStringLiteral("frmWIPNavigator")));
        QVERIFY(navigator);
        navigator->LoadWIPs();
        auto *grid = findControl<GridWidget>(navigator, "vsfgWIP");
        for (int r = grid->fixedRows(); r < grid->rows(); ++r) {
            if (grid->textMatrix(r, board::ColId) == QString::number(other))
                grid->setRow(r);
        }
        findControl<QAction>(navigator, "mnuDryingLog")->trigger();
        QCOMPARE(log->wipId(), other);
        QCOMPARE(log->windowTitle(), QStringLiteral("Drying Log - Sam Water - %1").arg(other));
    }

    // The printed log carries the rooms, the goals, the first dry day and the
    // gaps, on paper and from the admin tool.
    void printedLog()
    {
        const qint64 wip = addWip("Pat Lee");
        data::Connection &db = testdb::connection();
        const qint64 roomId = std::get<qint64>(drying::addRoom(db, wip, QStringLiteral("Master Bedroom"), true));
        const qint64 point = std::get<qint64>(drying::savePoint(db,
            drying::MoisturePoint { 0, roomId, QStringLiteral("Subfloor"), QStringLiteral("By the door"), {}, 14 }));
        const QDate reached = kNow.date().addDays(-1);
        drying::saveMoistureReading(db, point, kNow.date().addDays(-2), 22, {}, testdb::context().stamp());
        drying::saveMoistureReading(db, point, reached, 13.5, {}, testdb::context().stamp());
        drying::saveAtmosphere(db,
            { .roomId = roomId, .takenAt = QDateTime(reached, QTime(9, 0)), .temperature = 70, .humidity = 50 },
            drying::TemperatureUnit::Fahrenheit, testdb::context().stamp());

        const QString pdf = m_out.filePath("log.pdf");
        reports::writePdf(reports::dryingLog(db, wip, reports::runTexts(testdb::context().company(), "office", kNow),
                              kNow.date(), "F", charts::paintChart),
            pdf);
        const QString text = pdfText(pdf);
        for (const QString &expected : { QStringLiteral("Drying Log"), QStringLiteral("Master Bedroom (affected)"),
                 QStringLiteral("Subfloor By the door 14.0 13.5 Dry ") + Formats::date(reached),
                 QStringLiteral("no reading"), QStringLiteral("54.5"), QStringLiteral("Outside") })
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in: " + text));

        const QString adminPdf = m_out.filePath("admin.pdf");
        QProcess process;
        process.start(JT_ADMIN_PATH,
            { "--config", m_db->folder() + "/config.txt", "report", "drying-log", "--wip", QString::number(wip),
                "--pdf", adminPdf });
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QVERIFY(pdfText(adminPdf).contains(QStringLiteral("Master Bedroom (affected)")));
    }
};

QTEST_MAIN(TestDryingLog)
#include "tst_dryinglog.moc"
