// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "app/StartUp.h"
#include "base/Phones.h"
#include "data/Database.h"
#include "settings/Company.h"
#include "settings/CompanyEntry.h"
#include "settings/ui/frmCompanyInfo.h"
#include "shell/AppContext.h"
#include "shell/SingleInstance.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Messages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <memory>

namespace {

using Values = QList<QPair<const char *, QString>>;

const QString kDbError = QStringLiteral("Database Error: Error 50000: Injected failure");
const QString kEmptyPhone = QStringLiteral("(___) ___-____");

int companyRows()
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM Company")).toInt();
}

int storedDryingDays()
{
    return testdb::scalar(QStringLiteral("SELECT DryingDays FROM Company")).toInt();
}

// The company values in force: name, state, city, phone, key-press delay, QB
// item, QB amount, drying days.
QVariantList inForce()
{
    return { testdb::context().company().name, testdb::context().company().state, testdb::context().company().city,
        testdb::context().company().phone, testdb::context().company().keyPressDelay,
        testdb::context().company().qbItemName, testdb::context().company().qbItemAmount,
        testdb::context().company().dryingDays };
}

const QVariantList kNothingInForce { "", "", "", "", 0.0, "", 0.0, 0 };
// TestDb::addCompany(7, 1).
const QVariantList kCompanyInForce { "Varnholt of Brackwell", "OH", "Brackwell", "(216) 555-0100", 1.0, "Restoration",
    0.0, 7 };

void flushDeletes()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestCompanyInfo : public QObject
{
    Q_OBJECT

    std::unique_ptr<MDI> m_mdi;
    QPointer<frmCompanyInfo> m_screen;

    template <typename T> T *box(const char *name) const { return findControl<T>(m_screen, name); }
    QLineEdit *edit(const char *name) const { return box<QLineEdit>(name); }
    QComboBox *states() const { return box<QComboBox>("cmbState"); }

    // Opens the screen in a main window of its own, active so focus moves.
    bool openScreen()
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        m_mdi->activateWindow();
        if (!QTest::qWaitForWindowActive(m_mdi.get()))
            return false;
        return reopenScreen();
    }

    bool reopenScreen()
    {
        if (!testdb::context().isLoggedIn())
            testdb::logIn(1, QStringLiteral("admin"), QStringLiteral("Admin"));
        m_mdi->openScreen(QStringLiteral("frmCompanyInfo"));
        m_screen = qobject_cast<frmCompanyInfo *>(m_mdi->findScreen(QStringLiteral("frmCompanyInfo")));
        return m_screen;
    }

    static void retype(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        QCoreApplication::processEvents();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        box->setCursorPosition(0);
        QTest::keyClicks(box, text);
    }

    // Types each value into its box; a state is picked from the list.
    void fill(const Values &values)
    {
        for (const auto &[name, value] : values) {
            if (qstrcmp(name, "cmbState") == 0)
                states()->setCurrentIndex(states()->findText(value));
            else
                retype(edit(name), value);
        }
    }

    // What the boxes show: a text box's display text (so a phone mask's
    // placeholders), the state list's current text.
    QStringList shownIn(std::initializer_list<const char *> names) const
    {
        QStringList texts;
        for (const char *name : names)
            texts << (qstrcmp(name, "cmbState") == 0 ? states()->currentText() : edit(name)->displayText());
        return texts;
    }

    void save() { QTest::mouseClick(box<QPushButton>("btnSave"), Qt::LeftButton); }

    bool screenClosed()
    {
        flushDeletes();
        return !m_screen && !m_mdi->findScreen(QStringLiteral("frmCompanyInfo"));
    }

    static bool focus(QWidget *widget)
    {
        widget->setFocus();
        return QTest::qWaitFor([widget] { return widget->hasFocus(); });
    }

private slots:
    void cleanup()
    {
        // Ends a run that StartUp began.
        if (MainWindow())
            testdb::context().ShutDown();
        SingleInstance::release();
        m_mdi.reset();
        flushDeletes();
    }

    // ---- conversions

    void dryingDays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("days"); // -1: refused
        QTest::newRow("whole") << "7" << 7;
        QTest::newRow("blanks around") << " 12 " << 12;
        QTest::newRow("half to even, down") << "2.5" << 2;
        QTest::newRow("half to even, up") << "3.5" << 4;
        QTest::newRow("half of one") << "0.5" << 0;
        QTest::newRow("above half") << "2.51" << 3;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("too large") << "2147483648" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("letters") << "a week" << -1;
        QTest::newRow("number then words") << "7 days" << -1;
    }
    void dryingDays()
    {
        QFETCH(QString, text);
        QFETCH(int, days);
        QCOMPARE(CompanyEntry::parseDryingDays(text).value_or(-1), days);
    }

    void numbers()
    {
        // Shown as plain decimals, never with an exponent or a rounding tail.
        QCOMPARE(CompanyEntry::numberText(1250.5), QStringLiteral("1250.5"));
        QCOMPARE(CompanyEntry::numberText(1e20), QStringLiteral("100000000000000000000"));
        QCOMPARE(CompanyEntry::numberText(0.1), QStringLiteral("0.1"));
        QCOMPARE(CompanyEntry::numberText(0), QStringLiteral("0"));
    }

    void phoneTexts()
    {
        QVERIFY(Phones::fitsMask(QString()));
        QVERIFY(Phones::fitsMask(QStringLiteral("(216) 55_-____")));
        QVERIFY(!Phones::fitsMask(QStringLiteral("2165550100")));
        QVERIFY(!Phones::fitsMask(QStringLiteral("+44 20 7946 0958")));
        QCOMPARE(Phones::toStore(kEmptyPhone), QString());
        QCOMPARE(Phones::toStore(QStringLiteral("(216) 55_-____")), QStringLiteral("(216) 55_-____"));
    }

    // Texts are stored as typed; numbers are read with group separators and
    // drying days rounded half to even.
    void acceptedEntryKeepsTextsAsTyped()
    {
        CompanyTexts t;
        t.name = QStringLiteral("  Acme  ");
        t.state = QStringLiteral("OH");
        t.zip = QStringLiteral(" 44101");
        t.keyPressDelay = QStringLiteral(" 2.5 ");
        t.qbItemAmount = QStringLiteral("1,250.75");
        t.dryingDays = QStringLiteral("6.5");
        const auto result = CompanyEntry::toRow(t);
        const auto *row = std::get_if<CompanyRow>(&result);
        QVERIFY(row);
        QCOMPARE(row->name, QStringLiteral("  Acme  "));
        QCOMPARE(row->zip, QStringLiteral(" 44101"));
        QCOMPARE(row->keyPressDelay, 2.5);
        QCOMPARE(row->qbItemAmount, 1250.75);
        QCOMPARE(row->dryingDays, 6);
    }

    // ---- the screen

    // No company row, a row of NULLs, a row of empty texts: every box empty,
    // the phone boxes show their mask, no state picked; the full state list.
    void opensEmpty_data()
    {
        QTest::addColumn<int>("row"); // 0: none, 1: NULL columns, 2: empty texts
        QTest::newRow("no company row") << 0;
        QTest::newRow("NULL columns") << 1;
        QTest::newRow("empty texts") << 2;
    }
    void opensEmpty()
    {
        QFETCH(int, row);
        JT_FRESH_DB(db);
        if (row > 0) {
            const QVariant text = row == 1 ? QVariant(QMetaType(QMetaType::QString)) : QVariant(QStringLiteral(""));
            testdb::insertRow(QStringLiteral("Company"),
                { { QStringLiteral("Name"), text }, { QStringLiteral("State"), text },
                    { QStringLiteral("Website"), text }, { QStringLiteral("Phone"), text },
                    { QStringLiteral("Fax"), text }, { QStringLiteral("QBItemName"), text } });
        }
        QVERIFY(openScreen());
        QCOMPARE(shownIn({ "txtCompany", "txtAddress1", "txtAddress2", "txtCity", "cmbState", "txtZip", "txtPhone",
                     "txtFax", "txtWebsite", "txtEmail", "txtKeyPressDelay", "txtQBItem", "txtQBDesc", "txtQBAmount",
                     "txtDryingDays" }),
            (QStringList { "", "", "", "", "", "", kEmptyPhone, kEmptyPhone, "", "", "", "", "", "", "" }));
        QCOMPARE(states()->currentIndex(), -1);
        QCOMPARE(states()->count(), 51);
        QCOMPARE(states()->itemText(0), QStringLiteral("AK"));
        QVERIFY(!states()->isEditable());
        QCOMPARE(shownMessages(), QStringList());
    }

    void firstSaveInsertsRowAndPutsValuesInForce()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        fill({ { "txtCompany", "Acme Restoration" }, { "txtCity", "Lakewood" }, { "cmbState", "OH" },
            { "txtZip", "44107" }, { "txtPhone", "2165550199" }, { "txtEmail", "office@acme.test" },
            { "txtKeyPressDelay", "1.5" }, { "txtQBItem", "Restoration" }, { "txtQBDesc", "Restoration services" },
            { "txtQBAmount", "125.25" }, { "txtDryingDays", "4" } });
        save();
        QCOMPARE(shownMessages(), QStringList());

        QCOMPARE(companyRows(), 1);
        // The untouched fax box stores an empty text, not its placeholders;
        // empty boxes are written as empty texts, not NULLs.
        const std::optional<CompanyRow> row = Company::load(testdb::connection());
        QVERIFY(row);
        QCOMPARE((QVariantList { row->name, row->state, row->phone, row->fax, row->address1, row->keyPressDelay,
                     row->qbItemAmount, row->dryingDays }),
            (QVariantList { "Acme Restoration", "OH", "(216) 555-0199", "", "", 1.5, 125.25, 4 }));
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM Company WHERE Address1 IS NULL OR Fax IS NULL"))
                     .toInt(),
            0);
        // In force at once, and the screen is gone.
        QCOMPARE(inForce(),
            (QVariantList { "Acme Restoration", "OH", "Lakewood", "(216) 555-0199", 1.5, "Restoration", 125.25, 4 }));
        QVERIFY(screenClosed());
    }

    // A later save overwrites the one row. A state no longer in the list, a
    // phone kept in another form and a partial number are shown as stored;
    // they and every other box left alone are written back as loaded.
    void laterSaveOverwritesTheSameRow()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        testdb::exec(QStringLiteral("UPDATE Company SET State = ?, Phone = ?, Fax = ?"),
            { QStringLiteral("ON"), QStringLiteral("+1 416 555 0100"), QStringLiteral("(216) 555-01__") });
        const qint64 id = testdb::scalar(QStringLiteral("SELECT ID FROM Company")).toLongLong();
        QVERIFY(openScreen());
        QCOMPARE(shownIn({ "txtCompany", "txtAddress1", "txtCity", "cmbState", "txtPhone", "txtFax", "txtKeyPressDelay",
                     "txtQBAmount", "txtDryingDays" }),
            (QStringList { "Varnholt of Brackwell", "12 Mill Road", "Brackwell", "ON", "+1 416 555 0100",
                "(216) 555-01__", "1", "0", "7" }));

        fill({ { "txtDryingDays", "10.5" } });
        save();
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(companyRows(), 1);
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT ID FROM Company")).toLongLong(), id);
        const std::optional<CompanyRow> row = Company::load(testdb::connection());
        QCOMPARE((QVariantList { row->state, row->phone, row->fax, row->address1, row->dryingDays }),
            (QVariantList { "ON", "+1 416 555 0100", "(216) 555-01__", "12 Mill Road", 10 }));
        QCOMPARE(inForce(),
            (QVariantList {
                "Varnholt of Brackwell", "ON", "Brackwell", "+1 416 555 0100", 1.0, "Restoration", 0.0, 10 }));
    }

    // Each refusal: its message, focus on the box at fault, nothing written,
    // nothing put in force and nothing typed lost.
    void refusedSaveWritesNothingAndKeepsInput_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        const QString required = QStringLiteral("Required Fields: Name and State Required.");
        const QString delay = QStringLiteral("Invalid Entry: Quantity must be greater than 0.");
        const QString amount = QStringLiteral(
            "Invalid Entry: The QB amount must be a number: digits, with a point before any decimals (as in 12.5).");
        const QString days = QStringLiteral("Invalid Entry: Drying Days must be a number of days, 0 or more.");
        QTest::newRow("no name") << QStringLiteral("txtCompany") << QString() << required;
        QTest::newRow("no state") << QStringLiteral("cmbState") << QString() << required;
        QTest::newRow("delay empty") << QStringLiteral("txtKeyPressDelay") << QString() << delay;
        QTest::newRow("delay below one") << QStringLiteral("txtKeyPressDelay") << QStringLiteral("0.5") << delay;
        QTest::newRow("delay with words")
            << QStringLiteral("txtKeyPressDelay") << QStringLiteral("2 sec")
            << QStringLiteral("Invalid Entry: The keypress delay must be a number: digits, with a point before any "
                              "decimals (as in 12.5).");
        QTest::newRow("amount empty") << QStringLiteral("txtQBAmount") << QString()
                                      << QStringLiteral("Invalid Entry: Enter the QB amount.");
        QTest::newRow("amount not a number") << QStringLiteral("txtQBAmount") << QStringLiteral("12 dollars") << amount;
        QTest::newRow("amount misgrouped") << QStringLiteral("txtQBAmount") << QStringLiteral("1,25") << amount;
        QTest::newRow("days not a number")
            << QStringLiteral("txtDryingDays") << QStringLiteral("five")
            << QStringLiteral("Invalid Entry: The drying days must be a number: digits, with a point before any "
                              "decimals (as in 12.5).");
        QTest::newRow("days negative") << QStringLiteral("txtDryingDays") << QStringLiteral("-3") << days;
        const QString keep = QStringLiteral("Invalid Entry: Backups to keep must be a whole number from 1 to 999.");
        QTest::newRow("backups zero") << QStringLiteral("txtBackupsToKeep") << QStringLiteral("0") << keep;
        QTest::newRow("backups fraction") << QStringLiteral("txtBackupsToKeep") << QStringLiteral("2.5") << keep;
    }
    void refusedSaveWritesNothingAndKeepsInput()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, value);
        QFETCH(QString, message);
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        fill({ { "txtCompany", "Acme" }, { "cmbState", "NY" }, { "txtKeyPressDelay", "1" }, { "txtQBAmount", "10" },
            { "txtDryingDays", "3" }, { "txtCity", "Albany" } });
        if (boxName == u"cmbState")
            states()->setCurrentIndex(-1);
        else
            edit(qPrintable(boxName))->setText(value);

        save();
        QCOMPARE(shownMessages(), QStringList { message });
        QCOMPARE(companyRows(), 0);
        QVERIFY(m_screen && m_screen->isVisible());
        QCOMPARE(edit("txtCity")->text(), QStringLiteral("Albany"));
        QTRY_VERIFY(m_screen->findChild<QWidget *>(boxName)->hasFocus());
        QCOMPARE(inForce(), kNothingInForce);
    }

    // Leaving the key-press delay box for another box of the screen needs a
    // leading number of at least 1; otherwise the message and back into it.
    void leavingKeyPressDelay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("0") << "0" << true;
        QTest::newRow("0.5") << "0.5" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("letters") << "abc" << true;
        QTest::newRow("negative") << "-4" << true;
        QTest::newRow("1") << "1" << false;
        QTest::newRow("2.5") << "2.5" << false;
        QTest::newRow("blank before") << "  2" << false;
        QTest::newRow("number then words") << "3 seconds" << false;
        QTest::newRow("exponent") << "1e1" << false;
    }
    void leavingKeyPressDelay()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        QLineEdit *delay = edit("txtKeyPressDelay");
        QVERIFY(focus(delay));
        delay->setText(text);
        QTest::keyClick(delay, Qt::Key_Tab);
        QTRY_VERIFY(!delay->hasFocus() || !Messages::shown().isEmpty());
        QCoreApplication::processEvents();
        if (!refused) {
            QCOMPARE(shownMessages(), QStringList());
            QVERIFY(box<QPushButton>("btnSave")->hasFocus());
            return;
        }
        QCOMPARE(shownMessages(), QStringList { QStringLiteral("Invalid Entry: Quantity must be greater than 0.") });
        QTRY_VERIFY(delay->hasFocus());
        QCOMPARE(delay->text(), text);
        QCOMPARE(companyRows(), 0);
    }

    // Pressing "Save And Close" with the mouse from a refused delay: no
    // message may come between press and release (the button would stay
    // half-pressed); the click itself refuses, once, and saves nothing.
    void mouseOnSaveFromARefusedDelay()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        retype(edit("txtCompany"), QStringLiteral("Varnholt"));
        box<QComboBox>("cmbState")->setCurrentIndex(0);
        QLineEdit *delay = edit("txtKeyPressDelay");
        QVERIFY(focus(delay));
        delay->setText(QStringLiteral("0"));
        auto *save = box<QPushButton>("btnSave");
        QTest::mousePress(save, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(shownMessages(), QStringList());
        QTest::mouseRelease(save, Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!save->isDown());
        QCOMPARE(shownMessages(), QStringList { QStringLiteral("Invalid Entry: Quantity must be greater than 0.") });
        QCOMPARE(companyRows(), 0);
    }

    // Exit (clicked, or Enter on it) leaves without checking or saving, even
    // with a refused delay typed: no message comes between pressing Exit and
    // letting go. Enter anywhere else saves.
    void exitLeavesWithoutCheckingEnterSaves()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(openScreen());
        fill({ { "txtDryingDays", "30" } });
        QVERIFY(focus(edit("txtKeyPressDelay")));
        edit("txtKeyPressDelay")->setText(QStringLiteral("0"));
        QTest::mousePress(box<QPushButton>("btnExit"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(shownMessages(), QStringList());
        QTest::mouseRelease(box<QPushButton>("btnExit"), Qt::LeftButton);
        QVERIFY(screenClosed());
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(storedDryingDays(), 7);

        QVERIFY(reopenScreen());
        fill({ { "txtDryingDays", "8" } });
        QVERIFY(focus(box<QPushButton>("btnExit")));
        QTest::keyClick(box<QPushButton>("btnExit"), Qt::Key_Return);
        QVERIFY(screenClosed());
        QCOMPARE(storedDryingDays(), 7);

        QVERIFY(reopenScreen());
        fill({ { "txtDryingDays", "9" } });
        QTest::keyClick(edit("txtDryingDays"), Qt::Key_Return);
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(storedDryingDays(), 9);
        QCOMPARE(testdb::context().company().dryingDays, 9);
    }

    // The drying log's two settings: a row from before them reads as degrees F
    // and no alert; what is picked is stored, in force and shown again.
    void dryingLogSettings()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(openScreen());
        QCOMPARE(box<QComboBox>("cmbTemperatureUnit")->currentText(), QStringLiteral("°F"));
        QVERIFY(!box<QCheckBox>("chkDryingLogAlert")->isChecked());
        box<QComboBox>("cmbTemperatureUnit")->setCurrentIndex(1);
        box<QCheckBox>("chkDryingLogAlert")->setChecked(true);
        save();
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT TemperatureUnit FROM Company")).toString(), QStringLiteral("C"));
        QCOMPARE(testdb::context().company().temperatureUnit, QStringLiteral("C"));
        QVERIFY(testdb::context().company().dryingLogAlert);

        QVERIFY(reopenScreen());
        QCOMPARE(box<QComboBox>("cmbTemperatureUnit")->currentText(), QStringLiteral("°C"));
        QVERIFY(box<QCheckBox>("chkDryingLogAlert")->isChecked());
    }

    // "The program makes the backups": never set, it shows the database's
    // default (on for the embedded database, off for a server) and a save
    // keeps it unset; turned the other way, it is stored and in force.
    void programBackupsSetting_data()
    {
        QTest::addColumn<bool>("turned");
        QTest::newRow("left as shown") << false;
        QTest::newRow("turned the other way") << true;
    }
    void programBackupsSetting()
    {
        QFETCH(bool, turned);
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        const bool embedded = testdb::connection().dialect().kind() == data::DbKind::SQLite;
        QVERIFY(openScreen());
        QCOMPARE(box<QCheckBox>("chkProgramBackups")->isChecked(), embedded);
        if (turned)
            box<QCheckBox>("chkProgramBackups")->setChecked(!embedded);
        save();
        QCOMPARE(shownMessages(), QStringList());
        const QVariant stored = testdb::scalar(QStringLiteral("SELECT ProgramBackups FROM Company"));
        QCOMPARE(stored.isNull(), !turned);
        QCOMPARE(testdb::context().company().programBackups, turned ? std::optional(!embedded) : std::nullopt);
        QVERIFY(reopenScreen());
        QCOMPARE(box<QCheckBox>("chkProgramBackups")->isChecked(), embedded != turned);
    }

    void stateJumpsByTypedLettersAndEnterSaves()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(testdb::context().LoadCompanySettings());
        double now = 100;
        SetKeySearchClock([&now] { return now; });
        ResetKeySearch();
        QVERIFY(openScreen());
        QComboBox *state = states();
        QVERIFY(focus(state));

        QTest::keyClick(state, 'n');
        QCOMPARE(state->currentText(), QStringLiteral("NC"));
        now += 0.2;
        QTest::keyClick(state, 'e');
        QCOMPARE(state->currentText(), QStringLiteral("NE"));
        // After the delay a key starts a new search.
        now += 1.5;
        QTest::keyClick(state, 't');
        QCOMPARE(state->currentText(), QStringLiteral("TN"));
        now += 0.2;
        QTest::keyClick(state, 'q');
        QCOMPARE(state->currentText(), QStringLiteral("TN"));

        // Enter on the closed list is the default button's.
        QTest::keyClick(state, Qt::Key_Return);
        SetKeySearchClock({});
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(Company::load(testdb::connection())->state, QStringLiteral("TN"));
        QCOMPARE(testdb::context().company().state, QStringLiteral("TN"));
        QVERIFY(screenClosed());
    }

    void tabOrder()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        const QStringList expected = { "txtCompany", "txtAddress1", "txtAddress2", "txtCity", "cmbState", "txtZip",
            "txtPhone", "txtFax", "txtWebsite", "txtEmail", "txtKeyPressDelay", "btnSave", "btnExit", "txtQBItem",
            "txtQBDesc", "txtQBAmount", "txtDryingDays" };
        edit("txtKeyPressDelay")->setText(QStringLiteral("1"));
        QVERIFY(focus(edit("txtCompany")));
        QStringList visited = { QApplication::focusWidget()->objectName() };
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCoreApplication::processEvents();
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
        QCOMPARE(shownMessages(), QStringList());
    }

    void databaseErrorKeepsScreenAndInput_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<QString>("failing");
        QTest::newRow("reading, new row") << false << "Company";
        QTest::newRow("inserting") << false << "INSERT INTO Company";
        QTest::newRow("reading, existing row") << true << "Company";
        QTest::newRow("updating") << true << "UPDATE Company";
    }
    void databaseErrorKeepsScreenAndInput()
    {
        QFETCH(bool, hasRow);
        QFETCH(QString, failing);
        JT_FRESH_DB(db);
        if (hasRow) {
            TestDb::addCompany(7, 1);
            QVERIFY(testdb::context().LoadCompanySettings());
        }
        QVERIFY(openScreen());
        fill({ { "txtCompany", "New Name" }, { "cmbState", "TX" }, { "txtKeyPressDelay", "2" },
            { "txtQBAmount", "99.5" }, { "txtDryingDays", "12" }, { "txtPhone", "5125550123" } });

        data::failNextStatementContaining(failing);
        save();
        QCOMPARE(shownMessages(), QStringList { kDbError });
        QVERIFY(!QApplication::overrideCursor());

        // Still open with every typed value; the database and the program
        // values as they were.
        flushDeletes();
        QVERIFY(m_screen && m_screen->isVisible());
        QCOMPARE(shownIn({ "txtCompany", "cmbState", "txtQBAmount", "txtDryingDays", "txtPhone" }),
            (QStringList { "New Name", "TX", "99.5", "12", "(512) 555-0123" }));
        QCOMPARE(companyRows(), hasRow ? 1 : 0);
        if (hasRow)
            QCOMPARE(Company::load(testdb::connection())->name, QStringLiteral("Varnholt of Brackwell"));
        QCOMPARE(inForce(), hasRow ? kCompanyInForce : kNothingInForce);

        // Trying again works: nothing of the failed attempt is left open.
        Messages::clearShown();
        save();
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(companyRows(), 1);
        QCOMPARE(Company::load(testdb::connection())->name, QStringLiteral("New Name"));
        QCOMPARE(testdb::context().company().dryingDays, 12);
        QCOMPARE(testdb::context().company().phone, QStringLiteral("(512) 555-0123"));
    }

    void unreadableDatabaseOpensNoScreen()
    {
        JT_FRESH_DB(db);
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        testdb::logIn(1, QStringLiteral("admin"), QStringLiteral("Admin"));
        data::failNextStatementContaining(QStringLiteral("FROM State"));
        m_mdi->openScreen(QStringLiteral("frmCompanyInfo"));
        QCOMPARE(shownMessages(), QStringList { kDbError });
        QCOMPARE(m_mdi->findScreen(QStringLiteral("frmCompanyInfo")), nullptr);
        QVERIFY(!QApplication::overrideCursor());
    }

    // ---- start-up and the menu

    // Without a company row start-up opens the settings screen and the values
    // stay empty; with one they are loaded, and File > Setup opens the screen
    // once, filled.
    void startUp_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::newRow("empty Company") << false;
        QTest::newRow("company row") << true;
    }
    void startUp()
    {
        QFETCH(bool, hasRow);
        JT_FRESH_DB(db);
        if (hasRow)
            TestDb::addCompany(9, 2.5);
        testdb::connection().close();
        MDI *mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QCOMPARE(shownMessages(), QStringList());
        if (!hasRow) {
            auto *screen = qobject_cast<frmCompanyInfo *>(mdi->findScreen(QStringLiteral("frmCompanyInfo")));
            QVERIFY(screen);
            QVERIFY(qobject_cast<QMdiSubWindow *>(screen->parentWidget()));
            QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("txtCompany"))->text(), QString());
            QCOMPARE(inForce(), kNothingInForce);
        } else {
            QCOMPARE(mdi->findScreen(QStringLiteral("frmCompanyInfo")), nullptr);
            QCOMPARE(inForce(),
                (QVariantList {
                    "Varnholt of Brackwell", "OH", "Brackwell", "(216) 555-0100", 2.5, "Restoration", 0.0, 9 }));

            testdb::logIn(0, QStringLiteral("admin"), QStringLiteral("Admin"));
            mdi->unlockAfterLogin(QStringLiteral("admin"));
            QAction *setup = mdi->findChild<QAction *>(QStringLiteral("CompanyInfo"));
            QVERIFY(setup && setup->isEnabled());
            setup->trigger();
            setup->trigger();
            QWidget *screen = mdi->findScreen(QStringLiteral("frmCompanyInfo"));
            QVERIFY(screen);
            QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("txtDryingDays"))->text(), QStringLiteral("9"));
            QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("txtPhone"))->displayText(),
                QStringLiteral("(216) 555-0100"));
            int open = 0;
            for (QMdiSubWindow *sub : mdi->area()->subWindowList())
                open += sub->widget() && sub->widget()->objectName() == u"frmCompanyInfo";
            QCOMPARE(open, 1);
        }
    }
};

QTEST_MAIN(TestCompanyInfo)
#include "tst_companyinfo.moc"
