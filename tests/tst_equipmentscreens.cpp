// backends: sqlite postgres
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Formats.h"
#include "drying/DryingLog.h"
#include "drying/ui/frmDryingLog.h"
#include "equipment/Equipment.h"
#include "equipment/ui/frmEquipment.h"
#include "reports/ReportRenderer.h"
#include "reports/crptDryingLog.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(10, 0)); // a Thursday

qint64 addWip(const QString &customer)
{
    return testdb::insertRow("WIP",
        { { "Customer", customer }, { "JobType", "Water" }, { "Status", "Drying" },
            { "StartDate", kNow.addDays(-3) } });
}

// Answers the modal dialog `name` once it shows: `fill` sets its boxes, then
// OK is clicked.
void answerDialog(const QString &name, std::function<void(QDialog *)> fill)
{
    // A timer owned by the application polls for the dialog, then goes.
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, fill] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != name)
            return;
        poll->stop();
        poll->deleteLater();
        fill(dialog);
        QTest::mouseClick(findControl<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    });
    poll->start();
}

} // namespace

class TestEquipmentScreens : public QObject
{
    Q_OBJECT
    std::unique_ptr<MDI> m_mdi;
    QWidget *m_screen = nullptr;

    template <typename T = QLineEdit> T *child(const char *name) { return findControl<T>(m_screen, name); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    // The units AM-01, AM-02, DH-01 and the retired OLD-1; their IDs in that
    // order.
    QList<qint64> addUnits()
    {
        const equipment::Unit units[] = { { .assetNo = "AM-01", .type = equipment::airMover() },
            { .assetNo = "AM-02", .type = equipment::airMover() },
            { .assetNo = "DH-01", .type = equipment::dehumidifier(), .dehuKind = "LGR", .pints = 70 },
            { .assetNo = "OLD-1", .type = "Heater", .retired = true } };
        QList<qint64> ids;
        for (const equipment::Unit &unit : units)
            ids << std::get<qint64>(equipment::saveUnit(testdb::connection(), unit));
        return ids;
    }

    QWidget *open(const char *screen)
    {
        testdb::logIn(1, "admin", "Admin");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_screen = m_mdi->openScreen(QString::fromLatin1(screen));
        return m_screen;
    }

private slots:
    void init() { resetTestState(); }
    void cleanup() { m_mdi.reset(); }

    // The register: a refused unit keeps what was typed and writes nothing;
    // a saved one is listed; the look-up tells where it is.
    void registerScreen_data()
    {
        columns<QString, QString, QString, QString>({ "asset", "type", "pints", "message" });
        row("saved", QString("DH-17"), QString("Dehumidifier"), QString("70"), QString());
        row("an asset number taken", QString("am-01"), QString("Air Mover"), QString(),
            QString("Equipment: Another unit has the asset number \"am-01\"."));
        row("pints no number", QString("DH-18"), QString("Dehumidifier"), QString("lots"),
            QString("Invalid Entry: The rated pints a day must be a number"));
        row("no type", QString("X-1"), QString(), QString(), QString("Equipment: Choose the unit's type."));
    }

    void registerScreen()
    {
        QFETCH(QString, asset);
        QFETCH(QString, type);
        QFETCH(QString, pints);
        QFETCH(QString, message);
        JT_FRESH_DB(db);
        Clock::setNow(kNow); // after the fresh database, which resets it
        equipment::Unit existing;
        existing.assetNo = "AM-01";
        existing.type = equipment::airMover();
        QVERIFY(std::holds_alternative<qint64>(equipment::saveUnit(testdb::connection(), existing)));
        QVERIFY(open("frmEquipment"));

        child("txtAsset")->setText(asset);
        child<QComboBox>("cmbEquipType")->setCurrentText(type);
        child<QComboBox>("cmbDehuKind")->setCurrentText("LGR");
        child("txtPints")->setText(pints);
        click("btnSave");
        if (!message.isEmpty()) {
            QVERIFY2(shownMessages().value(0).startsWith(message), qPrintable(shownMessages().join("|")));
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM Equipment").toInt(), 1);
            QCOMPARE(child("txtAsset")->text(), asset);
            return;
        }
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::scalar("SELECT Pints FROM Equipment WHERE AssetNo = ?", { asset }).toDouble(), 70.0);
        QCOMPARE(child<QComboBox>("cmbUnits")->currentText(), QString("DH-17  Dehumidifier"));

        child("txtFind")->setText("dh-17");
        click("btnFind");
        QCOMPARE(child<QLabel>("lblWhere")->text(), QString("DH-17: In the shop"));
    }

    // Another unit picked (in the look-up list or the grid), or New, with
    // the shown one edited asks first: Yes saves it and goes on to DH-01, No
    // drops the edit and goes on, Cancel stays with the edit kept.
    void askBeforeLeavingAnEditedUnit_data()
    {
        columns<QString, int>({ "via", "answer" });
        row("Yes saves", QString("list"), int(QMessageBox::Yes));
        row("picked in the grid, No drops", QString("grid"), int(QMessageBox::No));
        row("Cancel stays", QString("list"), int(QMessageBox::Cancel));
        row("picked in the grid, Cancel stays", QString("grid"), int(QMessageBox::Cancel));
        row("New, Cancel stays", QString("new"), int(QMessageBox::Cancel));
    }
    void askBeforeLeavingAnEditedUnit()
    {
        QFETCH(QString, via);
        QFETCH(int, answer);
        const bool stays = answer == QMessageBox::Cancel;
        const QString shownAsset = stays ? "AM-01" : "DH-01";
        JT_FRESH_DB(db);
        addUnits();
        QVERIFY(open("frmEquipment"));
        auto *units = child<QComboBox>("cmbUnits");
        auto *grid = child<GridWidget>("vsfgUnits");
        const auto pick = [units](int index) {
            units->setCurrentIndex(index);
            emit units->activated(index);
        };
        // Unchanged, nothing is asked.
        QVERIFY(grid->setRow(2));
        QTRY_COMPARE(child("txtAsset")->text(), QString("AM-02"));
        pick(0);
        QCOMPARE(child("txtAsset")->text(), QString("AM-01"));
        QCOMPARE(shownMessages(), QStringList());

        QTest::keyClicks(child("txtDescription"), "Bent handle");
        Messages::setNextAnswer(QMessageBox::StandardButton(answer));
        if (via == "list")
            pick(2);
        else if (via == "grid")
            QVERIFY(grid->setRow(3));
        else
            click("btnNew");
        QTRY_COMPARE(
            shownMessages(), QStringList { "Equipment: Do you want to save the changes to this unit? (buttons)" });
        QTRY_COMPARE(child("txtAsset")->text(), shownAsset);
        QCOMPARE(child("txtDescription")->text(), QString(stays ? "Bent handle" : ""));
        QCOMPARE(testdb::scalar("SELECT Description FROM Equipment WHERE AssetNo = ?", { "AM-01" }).toString(),
            QString(answer == QMessageBox::Yes ? "Bent handle" : ""));
        // The lists show the unit on screen.
        QCOMPARE(units->currentText().section(u' ', 0, 0), shownAsset);
        QCOMPARE(grid->row() > 0 ? grid->textMatrix(grid->row(), 1) : QString(), shownAsset);
    }

    // The sizing follows the boxes as they are typed, through the counting
    // rule, a class not chosen or a size that is no number counting as none;
    // nothing is stored until Save Size.
    void sizingShownAsTyped()
    {
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        const qint64 wip = addWip("Smith");
        std::get<qint64>(drying::addRoom(testdb::connection(), wip, "Kitchen", true));
        auto *log = qobject_cast<frmDryingLog *>(open("frmDryingLog"));
        QVERIFY(log);
        log->LoadDryingLog(QString::number(wip));
        child<QListWidget>("lstRooms")->setCurrentRow(1);
        child<QTabWidget>("tabLog")->setCurrentIndex(2);
        const auto shown
            = [this] { return child<QLabel>("lblAirMovers")->text() + " / " + child<QLabel>("lblPints")->text(); };
        child<QComboBox>("cmbClass")->setCurrentText(QString());
        QTest::keyClicks(child("txtLength"), "12");
        QTest::keyClicks(child("txtWidth"), "12");
        QTest::keyClicks(child("txtHeight"), "8");
        QTest::keyClicks(child("txtWetWall"), "2");
        QCOMPARE(shown(),
            QString("Air movers: 4 needed, 0 placed / Dehumidification: enter the room's size and class; 0.0 pints/day "
                    "placed"));
        child<QComboBox>("cmbClass")->setCurrentText("2");
        QVERIFY2(
            shown().startsWith("Air movers: 4 needed, 0 placed / Dehumidification: 28.8 pints/day conventional or"),
            qPrintable(shown()));
        child("txtLength")->clear();
        QTest::keyClicks(child("txtLength"), "twelve");
        QCOMPARE(shown(),
            QString("Air movers: enter the room's size; 0 placed / Dehumidification: enter the room's size and class; "
                    "0.0 pints/day placed"));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM RoomSizing").toInt(), 0);
        QCOMPARE(shownMessages(), QStringList());
    }

    // The register lists every unit with where it stands and since when:
    // a placed unit on its job and room with its equipment-days, one back
    // in the shop since its removal, one never out, a retired one. The
    // customer's name shows as typed.
    void unitList()
    {
        JT_FRESH_DB(db);
        Clock::setNow(kNow);
        auto &c = testdb::connection();
        const QList<qint64> ids = addUnits();
        const QString customer("<b>Smith</b> <img src=\"/etc/hostname\">");
        const qint64 wip = addWip(customer);
        const qint64 kitchen = std::get<qint64>(drying::addRoom(c, wip, "Kitchen", true));
        const qint64 hall = std::get<qint64>(drying::addRoom(c, wip, "Hall", true));
        const QDateTime placed = kNow.addDays(-3).addSecs(3600);
        std::get<qint64>(equipment::place(c, ids[0], kitchen, placed));
        const qint64 out = std::get<qint64>(equipment::place(c, ids[2], hall, kNow.addDays(-5)));
        const QVariant version = testdb::scalar("SELECT RowVersion FROM EquipmentPlacement WHERE ID = ?", { out });
        QVERIFY(!equipment::removeUnit(c, out, version, kNow.addDays(-2).addSecs(-60)));
        QVERIFY(open("frmEquipment"));
        auto *grid = child<GridWidget>("vsfgUnits");
        QStringList rows; // cells joined by " | ", the hidden ID left out
        for (int row = 0; row < grid->rows(); ++row) {
            QStringList cells;
            for (int col = 1; col < grid->cols(); ++col)
                cells << grid->textMatrix(row, col);
            rows << cells.join(" | ");
        }
        QCOMPARE(rows,
            (QStringList { "Asset | Type | Where | Since | Days",
                QString("AM-01 | Air Mover | On job %1 (%2), room Kitchen | %3 | 3")
                    .arg(wip)
                    .arg(customer, Formats::dateTime(placed)),
                "AM-02 | Air Mover | In the shop |  | ",
                QString("DH-01 | Dehumidifier | In the shop | %1 | 2")
                    .arg(Formats::dateTime(kNow.addDays(-2).addSecs(-60))),
                "OLD-1 | Heater | Retired |  | " }));
        // Picking a row shows the unit, where it stands as typed.
        QVERIFY(grid->setRow(1));
        QTRY_COMPARE(child("txtAsset")->text(), QString("AM-01"));
        auto *where = child<QLabel>("lblUnitWhere");
        QCOMPARE(where->textFormat(), Qt::PlainText);
        QVERIFY2(where->text().contains(customer), qPrintable(where->text()));
    }

    // On the drying log: a unit placed through the dialog, moved to another
    // room, the sizing boxes saved, and the days shown per room and job.
    void placementsOnTheLog()
    {
        JT_FRESH_DB(db);
        Clock::setNow(kNow); // after the fresh database, which resets it
        auto &c = testdb::connection();
        const qint64 wip = addWip("Smith");
        const qint64 kitchen = std::get<qint64>(drying::addRoom(c, wip, "Kitchen", true));
        std::get<qint64>(drying::addRoom(c, wip, "Hall", true));
        for (const char *asset : { "AM-01", "AM-02" }) {
            equipment::Unit unit;
            unit.assetNo = QString::fromLatin1(asset);
            unit.type = equipment::airMover();
            QVERIFY(std::holds_alternative<qint64>(equipment::saveUnit(c, unit)));
        }
        auto *log = qobject_cast<frmDryingLog *>(open("frmDryingLog"));
        QVERIFY(log);
        log->LoadDryingLog(QString::number(wip));
        auto *rooms = child<QListWidget>("lstRooms");
        QCOMPARE(rooms->item(1)->text(), QString("Kitchen"));
        rooms->setCurrentRow(1);
        child<QTabWidget>("tabLog")->setCurrentIndex(2);

        answerDialog("frmPlaceUnit", [](QDialog *dialog) {
            findControl<QComboBox>(dialog, "cmbUnit")->setCurrentText("AM-02  Air Mover");
            findControl<QDateTimeEdit>(dialog, "dtPlaced")->setDateTime(kNow.addDays(-3));
        });
        click("btnPlace");
        auto *units = child<QListWidget>("lstUnits");
        QTRY_COMPARE(units->count(), 1);
        QCOMPARE(shownMessages(), QStringList());
        QVERIFY(units->item(0)->text().startsWith(u"AM-02  Air Mover  placed"));

        child("txtLength")->setText("12");
        child("txtWidth")->setText("12");
        child("txtHeight")->setText("8");
        child("txtWetWall")->setText("2");
        child<QComboBox>("cmbClass")->setCurrentText("2");
        click("btnSaveSize");
        QCOMPARE(child<QLabel>("lblAirMovers")->text(), QString("Air movers: 4 needed, 1 placed"));
        QVERIFY(child<QLabel>("lblPints")->text().startsWith(u"Dehumidification: 28.8 pints/day conventional"));

        units->setCurrentRow(0);
        answerDialog("frmMoveUnit", [](QDialog *dialog) {
            findControl<QComboBox>(dialog, "cmbRoom")->setCurrentText("Hall");
            findControl<QDateTimeEdit>(dialog, "dtPlaced")->setDateTime(kNow.addDays(-1));
        });
        click("btnMoveUnit");
        QTRY_COMPARE(child<QLabel>("lblEquipmentDays")->text(),
            QString("Equipment-days, this room: Air Mover 2; the job: Air Mover 3"));
        QVERIFY(!equipment::currentPlacement(
            c, testdb::scalar("SELECT ID FROM Equipment WHERE AssetNo = 'AM-02'").toLongLong())
                     ->roomName.compare("Hall"));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM EquipmentPlacement WHERE RoomID = ?", { kitchen }).toInt(), 1);

        // The printed log lists both placements with their days and the
        // type's total, the move counted once.
        QTemporaryDir out;
        const QString pdf = out.filePath("log.pdf");
        reports::writePdf(reports::dryingLog(
                              c, wip, reports::runTexts(testdb::context().company(), "office", kNow), kNow.date(), "F"),
            pdf);
        const QString text = pdfText(pdf);
        const QString moved = Formats::dateTime(kNow.addDays(-1));
        for (const QString &expected : { QStringLiteral("AM-02 Air Mover Hall %1 on site 1").arg(moved),
                 QStringLiteral("AM-02 Air Mover Kitchen %1 %2 2").arg(Formats::dateTime(kNow.addDays(-3)), moved),
                 QStringLiteral("Total Air Mover 3") })
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in: " + text));
    }
};

QTEST_MAIN(TestEquipmentScreens)
#include "tst_equipmentscreens.moc"
