// backends: sqlite postgres odbc
#include "data/Database.h"
#include "settings/Company.h"
#include "settings/CompanyEntry.h"
#include "settings/frmCompanyInfo.h"
#include "shell/AutoCompleteComboBoxModule.h"
#include "shell/GuiMain.h"
#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/SingleInstance.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using CompanyEntry::Field;

namespace {

int companyRows()
{
    return data::scalar(QStringLiteral("SELECT COUNT(*) FROM Company")).toInt();
}

void flushDeletes()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CompanyTexts goodTexts()
{
    CompanyTexts t;
    t.name = QStringLiteral("Acme Restoration");
    t.state = QStringLiteral("OH");
    t.keyPressDelay = QStringLiteral("1");
    t.qbItemAmount = QStringLiteral("0");
    t.dryingDays = QStringLiteral("5");
    return t;
}

} // namespace

class TestCompanyInfo : public QObject
{
    Q_OBJECT

    std::unique_ptr<MDI> m_mdi;
    QPointer<frmCompanyInfo> m_screen;

    template <typename T> T *box(const char *name) const
    {
        T *w = m_screen ? m_screen->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit *edit(const char *name) const { return box<QLineEdit>(name); }
    QComboBox *states() const { return box<QComboBox>("cmbState"); }

    // Opens the screen in a main window of its own, active so focus moves.
    bool openScreen()
    {
        m_mdi = std::make_unique<MDI>();
        m_mdi->show();
        m_mdi->activateWindow();
        if (!QTest::qWaitForWindowActive(m_mdi.get()))
            return false;
        m_mdi->openCompanyInfo();
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

    void pickState(const QString &state) { states()->setCurrentIndex(states()->findText(state)); }

    void save() { QTest::mouseClick(box<QPushButton>("btnSave"), Qt::LeftButton); }

    static void endRun()
    {
        if (MainWindow())
            ShutDown();
        SingleInstance::release();
        flushDeletes();
    }

private slots:
    void cleanup()
    {
        m_mdi.reset();
        flushDeletes();
    }

    // ---- conversions

    void keyPressDelayLeavingRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("half a second") << "0.5" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("negative") << "-4" << false;
        QTest::newRow("one") << "1" << true;
        QTest::newRow("fraction") << "2.5" << true;
        QTest::newRow("blank before") << "  2" << true;
        QTest::newRow("number then words") << "3 seconds" << true;
        QTest::newRow("exponent") << "1e1" << true;
    }
    void keyPressDelayLeavingRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(CompanyEntry::keyPressDelayAccepted(text), accepted);
    }

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
        const std::optional<int> parsed = CompanyEntry::parseDryingDays(text);
        QCOMPARE(parsed.value_or(-1), days);
    }

    void numbers()
    {
        QCOMPARE(CompanyEntry::parseNumber(QStringLiteral("1,250.50")).value_or(-1), 1250.5);
        QCOMPARE(CompanyEntry::parseNumber(QStringLiteral(" -3 ")).value_or(0), -3.0);
        QVERIFY(!CompanyEntry::parseNumber(QStringLiteral("inf")));
        QVERIFY(!CompanyEntry::parseNumber(QStringLiteral("nan")));
        QVERIFY(!CompanyEntry::parseNumber(QStringLiteral("1e400")));
        QVERIFY(!CompanyEntry::parseNumber(QStringLiteral("$12")));
        // Shown as plain decimals, never with an exponent or a rounding tail.
        QCOMPARE(CompanyEntry::numberText(1250.5), QStringLiteral("1250.5"));
        QCOMPARE(CompanyEntry::numberText(1e20), QStringLiteral("100000000000000000000"));
        QCOMPARE(CompanyEntry::numberText(0.1), QStringLiteral("0.1"));
        QCOMPARE(CompanyEntry::numberText(0), QStringLiteral("0"));
    }

    void phoneTexts()
    {
        QVERIFY(CompanyEntry::fitsPhoneMask(QString()));
        QVERIFY(CompanyEntry::fitsPhoneMask(QStringLiteral("(216) 555-0100")));
        QVERIFY(CompanyEntry::fitsPhoneMask(QStringLiteral("(216) 55_-____")));
        QVERIFY(!CompanyEntry::fitsPhoneMask(QStringLiteral("2165550100")));
        QVERIFY(!CompanyEntry::fitsPhoneMask(QStringLiteral("+44 20 7946 0958")));
        QCOMPARE(CompanyEntry::phoneToStore(QStringLiteral("(___) ___-____")), QString());
        QCOMPARE(CompanyEntry::phoneToStore(QStringLiteral("(216) 55_-____")), QStringLiteral("(216) 55_-____"));
    }

    void refusedEntries_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        const QString required = QStringLiteral("Name and State Required.");
        const QString requiredTitle = QStringLiteral("Required Fields");
        const QString invalid = QStringLiteral("Invalid Entry");
        QTest::newRow("no name") << "name"
                                 << "" << int(Field::Name) << required << requiredTitle;
        QTest::newRow("no state") << "state"
                                  << "" << int(Field::State) << required << requiredTitle;
        QTest::newRow("delay empty") << "delay"
                                     << "" << int(Field::KeyPressDelay) << "Quantity must be greater than 0."
                                     << invalid;
        QTest::newRow("delay 0.5") << "delay"
                                   << "0.5" << int(Field::KeyPressDelay) << "Quantity must be greater than 0."
                                   << invalid;
        QTest::newRow("delay with words")
            << "delay"
            << "2 sec" << int(Field::KeyPressDelay) << "Keypress Delay must be a number of seconds." << invalid;
        QTest::newRow("amount empty") << "amount"
                                      << "" << int(Field::QBItemAmount) << "QB Amount must be a number." << invalid;
        QTest::newRow("amount letters") << "amount"
                                        << "ten" << int(Field::QBItemAmount) << "QB Amount must be a number."
                                        << invalid;
        QTest::newRow("days letters") << "days"
                                      << "x" << int(Field::DryingDays)
                                      << "Drying Days must be a number of days, 0 or more." << invalid;
        QTest::newRow("days negative") << "days"
                                       << "-3" << int(Field::DryingDays)
                                       << "Drying Days must be a number of days, 0 or more." << invalid;
    }
    void refusedEntries()
    {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(int, field);
        QFETCH(QString, message);
        QFETCH(QString, title);
        CompanyTexts t = goodTexts();
        QString *target = column == u"name" ? &t.name
            : column == u"state"            ? &t.state
            : column == u"delay"            ? &t.keyPressDelay
            : column == u"amount"           ? &t.qbItemAmount
                                            : &t.dryingDays;
        *target = value;
        const auto result = CompanyEntry::toRow(t);
        const auto *problem = std::get_if<CompanyEntry::Problem>(&result);
        QVERIFY(problem);
        QCOMPARE(int(problem->field), field);
        QCOMPARE(problem->text, message);
        QCOMPARE(problem->title, title);
    }

    void acceptedEntryKeepsTextsAsTyped()
    {
        CompanyTexts t = goodTexts();
        t.name = QStringLiteral("  Acme  ");
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

    void opensEmptyWithoutCompanyRow()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        QCOMPARE(m_screen->windowTitle(), QStringLiteral("Company Settings"));
        for (const char *name : { "txtCompany", "txtAddress1", "txtAddress2", "txtCity", "txtZip", "txtWebsite",
                 "txtEmail", "txtKeyPressDelay", "txtQBItem", "txtQBDesc", "txtQBAmount", "txtDryingDays" })
            QVERIFY2(edit(name)->text().isEmpty(), name);
        QCOMPARE(edit("txtPhone")->displayText(), QStringLiteral("(___) ___-____"));
        QCOMPARE(edit("txtFax")->displayText(), QStringLiteral("(___) ___-____"));
        QCOMPARE(states()->currentIndex(), -1);
        QCOMPARE(states()->count(), 51);
        QCOMPARE(states()->itemText(0), QStringLiteral("AK"));
        QVERIFY(!states()->isEditable());
        QVERIFY(box<QPushButton>("btnSave")->isDefault());
        QCOMPARE(box<QPushButton>("btnSave")->text(), QStringLiteral("Save And Close"));
        QCOMPARE(box<QPushButton>("btnExit")->text(), QStringLiteral("Exit"));
        QVERIFY(Messages::shown().isEmpty());
    }

    void firstSaveInsertsRowAndPutsValuesInForce()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        retype(edit("txtCompany"), QStringLiteral("Acme Restoration"));
        retype(edit("txtCity"), QStringLiteral("Lakewood"));
        pickState(QStringLiteral("OH"));
        retype(edit("txtZip"), QStringLiteral("44107"));
        retype(edit("txtPhone"), QStringLiteral("2165550199"));
        retype(edit("txtEmail"), QStringLiteral("office@acme.test"));
        retype(edit("txtKeyPressDelay"), QStringLiteral("1.5"));
        retype(edit("txtQBItem"), QStringLiteral("Restoration"));
        retype(edit("txtQBDesc"), QStringLiteral("Restoration services"));
        retype(edit("txtQBAmount"), QStringLiteral("125.25"));
        retype(edit("txtDryingDays"), QStringLiteral("4"));
        save();
        QVERIFY(Messages::shown().isEmpty());

        QCOMPARE(companyRows(), 1);
        const std::optional<CompanyRow> row = Company::load();
        QVERIFY(row);
        QCOMPARE(row->name, QStringLiteral("Acme Restoration"));
        QCOMPARE(row->state, QStringLiteral("OH"));
        QCOMPARE(row->phone, QStringLiteral("(216) 555-0199"));
        // The untouched fax box stores an empty text, not its placeholders.
        QCOMPARE(row->fax, QString());
        QCOMPARE(row->address1, QString());
        // Empty boxes are written as empty texts, not NULLs.
        QCOMPARE(
            data::scalar(QStringLiteral("SELECT COUNT(*) FROM Company WHERE Address1 IS NULL OR Fax IS NULL")).toInt(),
            0);
        QCOMPARE(row->keyPressDelay, 1.5);
        QCOMPARE(row->qbItemAmount, 125.25);
        QCOMPARE(row->dryingDays, 4);

        // In force at once, and the screen is gone.
        QCOMPARE(gCompanyName, QStringLiteral("Acme Restoration"));
        QCOMPARE(gCompanyState, QStringLiteral("OH"));
        QCOMPARE(gCompanyPhone, QStringLiteral("(216) 555-0199"));
        QCOMPARE(gKeyPressDelay, 1.5);
        QCOMPARE(gQBItemName, QStringLiteral("Restoration"));
        QCOMPARE(gQBItemAmount, 125.25);
        QCOMPARE(gDryingDays, 4);
        flushDeletes();
        QVERIFY(!m_screen);
        QCOMPARE(m_mdi->findScreen(QStringLiteral("frmCompanyInfo")), nullptr);
    }

    void laterSaveOverwritesTheSameRow()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        const qint64 id = data::scalar(QStringLiteral("SELECT ID FROM Company")).toLongLong();
        QVERIFY(LoadCompanySettings());
        QVERIFY(openScreen());
        QCOMPARE(edit("txtCompany")->text(), QStringLiteral("Varnholt of Brackwell"));
        QCOMPARE(edit("txtAddress1")->text(), QStringLiteral("12 Mill Road"));
        QCOMPARE(edit("txtCity")->text(), QStringLiteral("Brackwell"));
        QCOMPARE(states()->currentText(), QStringLiteral("OH"));
        QCOMPARE(edit("txtPhone")->displayText(), QStringLiteral("(216) 555-0100"));
        QCOMPARE(edit("txtFax")->displayText(), QStringLiteral("(216) 555-0101"));
        QCOMPARE(edit("txtKeyPressDelay")->text(), QStringLiteral("1"));
        QCOMPARE(edit("txtQBAmount")->text(), QStringLiteral("0"));
        QCOMPARE(edit("txtDryingDays")->text(), QStringLiteral("7"));

        retype(edit("txtDryingDays"), QStringLiteral("10.5"));
        pickState(QStringLiteral("PA"));
        save();
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(companyRows(), 1);
        QCOMPARE(data::scalar(QStringLiteral("SELECT ID FROM Company")).toLongLong(), id);
        QCOMPARE(data::scalar(QStringLiteral("SELECT DryingDays FROM Company")).toInt(), 10);
        // Unchanged boxes are written back as they were loaded.
        QCOMPARE(Company::load()->fax, QStringLiteral("(216) 555-0101"));
        QCOMPARE(gDryingDays, 10);
        QCOMPARE(gCompanyState, QStringLiteral("PA"));
    }

    void nullsAndEmptiesShowAsEmptyBoxes_data()
    {
        QTest::addColumn<QVariant>("missing");
        QTest::newRow("NULL") << QVariant();
        QTest::newRow("empty") << QVariant(QStringLiteral(""));
    }
    void nullsAndEmptiesShowAsEmptyBoxes()
    {
        QFETCH(QVariant, missing);
        JT_FRESH_DB(db);
        const QVariant text = missing.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(QStringLiteral(""));
        data::insertRow(QStringLiteral("Company"),
            { { QStringLiteral("Name"), text }, { QStringLiteral("State"), text }, { QStringLiteral("Website"), text },
                { QStringLiteral("Phone"), text }, { QStringLiteral("Fax"), text },
                { QStringLiteral("QBItemName"), text } });
        QVERIFY(openScreen());
        for (const char *name : { "txtCompany", "txtAddress1", "txtCity", "txtZip", "txtWebsite", "txtEmail",
                 "txtKeyPressDelay", "txtQBItem", "txtQBAmount", "txtDryingDays" })
            QVERIFY2(edit(name)->text().isEmpty(), name);
        QCOMPARE(edit("txtPhone")->displayText(), QStringLiteral("(___) ___-____"));
        QCOMPARE(states()->currentIndex(), -1);
        QVERIFY(Messages::shown().isEmpty());
    }

    void storedValuesOutsideTheListOrMaskSurviveASave()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany();
        data::exec(QStringLiteral("UPDATE Company SET State = ?, Phone = ?, Fax = ?"),
            { QStringLiteral("ON"), QStringLiteral("+1 416 555 0100"), QStringLiteral("(216) 555-01__") });
        QVERIFY(openScreen());
        QCOMPARE(states()->currentText(), QStringLiteral("ON"));
        QCOMPARE(edit("txtPhone")->text(), QStringLiteral("+1 416 555 0100"));
        QCOMPARE(edit("txtFax")->displayText(), QStringLiteral("(216) 555-01__"));
        save();
        QVERIFY(Messages::shown().isEmpty());
        const std::optional<CompanyRow> row = Company::load();
        QCOMPARE(row->state, QStringLiteral("ON"));
        QCOMPARE(row->phone, QStringLiteral("+1 416 555 0100"));
        QCOMPARE(row->fax, QStringLiteral("(216) 555-01__"));
    }

    void refusedSaveWritesNothingAndKeepsInput_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::newRow("no name") << "txtCompany"
                                 << ""
                                 << "Name and State Required."
                                 << "Required Fields";
        QTest::newRow("no state") << "cmbState"
                                  << ""
                                  << "Name and State Required."
                                  << "Required Fields";
        QTest::newRow("delay below one") << "txtKeyPressDelay"
                                         << "0.5"
                                         << "Quantity must be greater than 0."
                                         << "Invalid Entry";
        QTest::newRow("amount not a number") << "txtQBAmount"
                                             << "12 dollars"
                                             << "QB Amount must be a number."
                                             << "Invalid Entry";
        QTest::newRow("days not a number") << "txtDryingDays"
                                           << "five"
                                           << "Drying Days must be a number of days, 0 or more."
                                           << "Invalid Entry";
    }
    void refusedSaveWritesNothingAndKeepsInput()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, title);
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        retype(edit("txtCompany"), QStringLiteral("Acme"));
        pickState(QStringLiteral("NY"));
        retype(edit("txtKeyPressDelay"), QStringLiteral("1"));
        retype(edit("txtQBAmount"), QStringLiteral("10"));
        retype(edit("txtDryingDays"), QStringLiteral("3"));
        retype(edit("txtCity"), QStringLiteral("Albany"));
        if (boxName == u"cmbState")
            states()->setCurrentIndex(-1);
        else
            edit(qPrintable(boxName))->setText(value);

        save();
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, message);
        QCOMPARE(Messages::shown().first().title, title);
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(companyRows(), 0);
        QVERIFY(m_screen && m_screen->isVisible());
        QCOMPARE(edit("txtCity")->text(), QStringLiteral("Albany"));
        QTRY_VERIFY(m_screen->findChild<QWidget *>(boxName)->hasFocus());
        QCOMPARE(gCompanyName, QString());
    }

    void leavingKeyPressDelay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("0") << "0" << true;
        QTest::newRow("0.5") << "0.5" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("letters") << "abc" << true;
        QTest::newRow("1") << "1" << false;
        QTest::newRow("2.5") << "2.5" << false;
    }
    void leavingKeyPressDelay()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        QLineEdit *delay = edit("txtKeyPressDelay");
        delay->setFocus();
        QTRY_VERIFY(delay->hasFocus());
        delay->setText(text);
        QTest::keyClick(delay, Qt::Key_Tab);
        QTRY_VERIFY(!delay->hasFocus() || !Messages::shown().isEmpty());
        QCoreApplication::processEvents();
        if (!refused) {
            QVERIFY(Messages::shown().isEmpty());
            QVERIFY(box<QPushButton>("btnSave")->hasFocus());
            return;
        }
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Quantity must be greater than 0."));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Invalid Entry"));
        QTRY_VERIFY(delay->hasFocus());
        QCOMPARE(delay->text(), text);
        QCOMPARE(companyRows(), 0);
    }

    void exitLeavesWithoutCheckingOrSaving()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(openScreen());
        retype(edit("txtDryingDays"), QStringLiteral("30"));
        QLineEdit *delay = edit("txtKeyPressDelay");
        delay->setFocus();
        QTRY_VERIFY(delay->hasFocus());
        delay->setText(QStringLiteral("0"));
        QTest::mouseClick(box<QPushButton>("btnExit"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(!m_screen);
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(data::scalar(QStringLiteral("SELECT DryingDays FROM Company")).toInt(), 7);
    }

    void enterSavesUnlessOnExit()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(openScreen());
        retype(edit("txtDryingDays"), QStringLiteral("8"));
        QPushButton *exit = box<QPushButton>("btnExit");
        exit->setFocus();
        QTRY_VERIFY(exit->hasFocus());
        QTest::keyClick(exit, Qt::Key_Return);
        flushDeletes();
        QVERIFY(!m_screen);
        QCOMPARE(data::scalar(QStringLiteral("SELECT DryingDays FROM Company")).toInt(), 7);

        m_mdi->openCompanyInfo();
        m_screen = qobject_cast<frmCompanyInfo *>(m_mdi->findScreen(QStringLiteral("frmCompanyInfo")));
        QVERIFY(m_screen);
        retype(edit("txtDryingDays"), QStringLiteral("9"));
        QTest::keyClick(edit("txtDryingDays"), Qt::Key_Return);
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(data::scalar(QStringLiteral("SELECT DryingDays FROM Company")).toInt(), 9);
        QCOMPARE(gDryingDays, 9);
    }

    void stateJumpsByTypedLettersAndEnterSaves()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(7, 1);
        QVERIFY(LoadCompanySettings());
        double now = 100;
        SetKeySearchClock([&now] { return now; });
        ResetKeySearch();
        QVERIFY(openScreen());
        QComboBox *state = states();
        state->setFocus();
        QTRY_VERIFY(state->hasFocus());

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
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(Company::load()->state, QStringLiteral("TN"));
        QCOMPARE(gCompanyState, QStringLiteral("TN"));
        flushDeletes();
        QVERIFY(!m_screen);
    }

    void tabOrder()
    {
        JT_FRESH_DB(db);
        QVERIFY(openScreen());
        const QStringList expected = { "txtCompany", "txtAddress1", "txtAddress2", "txtCity", "cmbState", "txtZip",
            "txtPhone", "txtFax", "txtWebsite", "txtEmail", "txtKeyPressDelay", "btnSave", "btnExit", "txtQBItem",
            "txtQBDesc", "txtQBAmount", "txtDryingDays" };
        edit("txtKeyPressDelay")->setText(QStringLiteral("1"));
        edit("txtCompany")->setFocus();
        QTRY_VERIFY(edit("txtCompany")->hasFocus());
        QStringList visited = { QApplication::focusWidget()->objectName() };
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCoreApplication::processEvents();
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
        QVERIFY(Messages::shown().isEmpty());
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
            QVERIFY(LoadCompanySettings());
        }
        QVERIFY(openScreen());
        retype(edit("txtCompany"), QStringLiteral("New Name"));
        pickState(QStringLiteral("TX"));
        retype(edit("txtKeyPressDelay"), QStringLiteral("2"));
        retype(edit("txtQBAmount"), QStringLiteral("99.5"));
        retype(edit("txtDryingDays"), QStringLiteral("12"));
        retype(edit("txtPhone"), QStringLiteral("5125550123"));

        data::failNextStatementContaining(failing);
        save();
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Error 50000: Injected failure"));
        QVERIFY(!QApplication::overrideCursor());

        // Still open with every typed value; the database and the program
        // values as they were.
        flushDeletes();
        QVERIFY(m_screen && m_screen->isVisible());
        QCOMPARE(edit("txtCompany")->text(), QStringLiteral("New Name"));
        QCOMPARE(states()->currentText(), QStringLiteral("TX"));
        QCOMPARE(edit("txtQBAmount")->text(), QStringLiteral("99.5"));
        QCOMPARE(edit("txtDryingDays")->text(), QStringLiteral("12"));
        QCOMPARE(edit("txtPhone")->displayText(), QStringLiteral("(512) 555-0123"));
        QCOMPARE(companyRows(), hasRow ? 1 : 0);
        if (hasRow) {
            QCOMPARE(Company::load()->name, QStringLiteral("Varnholt of Brackwell"));
            QCOMPARE(gDryingDays, 7);
        } else {
            QCOMPARE(gDryingDays, 0);
        }

        // Trying again works: nothing of the failed attempt is left open.
        Messages::clearShown();
        save();
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(companyRows(), 1);
        QCOMPARE(Company::load()->name, QStringLiteral("New Name"));
        QCOMPARE(gDryingDays, 12);
        QCOMPARE(gCompanyPhone, QStringLiteral("(512) 555-0123"));
    }

    void unreadableDatabaseOpensNoScreen()
    {
        JT_FRESH_DB(db);
        m_mdi = std::make_unique<MDI>();
        data::failNextStatementContaining(QStringLiteral("FROM State"));
        m_mdi->openCompanyInfo();
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Error 50000: Injected failure"));
        QCOMPARE(m_mdi->findScreen(QStringLiteral("frmCompanyInfo")), nullptr);
        QVERIFY(!QApplication::overrideCursor());
    }

    // ---- start-up and the menu

    void startUpWithoutCompanyOpensSettings()
    {
        JT_FRESH_DB(db);
        data::CloseConnection();
        MDI *mdi = StartUp(db.folder());
        QVERIFY(mdi);
        auto *screen = qobject_cast<frmCompanyInfo *>(mdi->findScreen(QStringLiteral("frmCompanyInfo")));
        QVERIFY(screen);
        QVERIFY(qobject_cast<QMdiSubWindow *>(screen->parentWidget()));
        QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("txtCompany"))->text(), QString());
        QCOMPARE(gCompanyName, QString());
        QCOMPARE(gCompanyState, QString());
        QCOMPARE(gQBItemName, QString());
        QCOMPARE(gKeyPressDelay, 0.0);
        QCOMPARE(gQBItemAmount, 0.0);
        QCOMPARE(gDryingDays, 0);
        QVERIFY(Messages::shown().isEmpty());
        endRun();
    }

    void startUpWithCompanyLoadsValues()
    {
        JT_FRESH_DB(db);
        TestDb::addCompany(9, 2.5);
        data::CloseConnection();
        MDI *mdi = StartUp(db.folder());
        QVERIFY(mdi);
        QCOMPARE(mdi->findScreen(QStringLiteral("frmCompanyInfo")), nullptr);
        QCOMPARE(gCompanyName, QStringLiteral("Varnholt of Brackwell"));
        QCOMPARE(gCompanyCity, QStringLiteral("Brackwell"));
        QCOMPARE(gDryingDays, 9);
        QCOMPARE(gKeyPressDelay, 2.5);
        QCOMPARE(gQBItemName, QStringLiteral("Restoration"));

        // File > Setup opens it, once, for a user who may.
        gUserType = QStringLiteral("Admin");
        mdi->unlockAfterLogin(QStringLiteral("admin"));
        QAction *setup = mdi->findChild<QAction *>(QStringLiteral("CompanyInfo"));
        QVERIFY(setup && setup->isEnabled());
        setup->trigger();
        setup->trigger();
        QWidget *screen = mdi->findScreen(QStringLiteral("frmCompanyInfo"));
        QVERIFY(screen);
        QCOMPARE(screen->findChild<QLineEdit *>(QStringLiteral("txtDryingDays"))->text(), QStringLiteral("9"));
        int open = 0;
        for (QMdiSubWindow *sub : mdi->area()->subWindowList())
            open += sub->widget() && sub->widget()->objectName() == u"frmCompanyInfo";
        QCOMPARE(open, 1);
        endRun();
    }
};

QTEST_MAIN(TestCompanyInfo)
#include "tst_companyinfo.moc"
