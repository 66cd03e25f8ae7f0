// backends: sqlite postgres odbc
#include "data/Database.h"
#include "shell/AutoCompleteComboBoxModule.h"
#include "shell/Clock.h"
#include "shell/Colors.h"
#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/modMain.h"
#include "support/TestDb.h"
#include "wip/frmWIPEntry.h"

#include "shell/GridWidget.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>

#include <QTableView>
#include <QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

qint64 addWip(const QString &customer, data::Fields more = {})
{
    data::Fields fields { { QStringLiteral("Customer"), customer },
        { QStringLiteral("JobType"), QStringLiteral("Water") }, { QStringLiteral("Status"), QStringLiteral("Open") },
        { QStringLiteral("StartDate"), QDateTime(kNow.date(), QTime(0, 0)) }, { QStringLiteral("AmountBilled"), 0.0 },
        { QStringLiteral("InvoiceID"), QStringLiteral("") }, { QStringLiteral("QBID"), QStringLiteral("") } };
    for (const auto &field : more) {
        auto it = std::find_if(fields.begin(), fields.end(), [&](const auto &f) { return f.first == field.first; });
        if (it != fields.end())
            it->second = field.second;
        else
            fields << field;
    }
    return data::insertRow(QStringLiteral("WIP"), fields);
}

void bookHours(qint64 wipId, double hours)
{
    data::insertRow(QStringLiteral("EmployeeTime"),
        { { QStringLiteral("EmployeeID"), 1 }, { QStringLiteral("WIPID"), wipId }, { QStringLiteral("TranDate"), kNow },
            { QStringLiteral("Hours"), hours } });
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QStringList lines(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

QStringList contractorRows(qint64 wipId)
{
    QSqlQuery q
        = data::exec(QStringLiteral("SELECT Contractor FROM WIPContractors WHERE WIPID=? ORDER BY ID"), { wipId });
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

int count(const QString &table)
{
    return data::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}

} // namespace

class TestWipEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmWIPEntry> m_screen;

    frmWIPEntry *open()
    {
        m_screen = std::make_unique<frmWIPEntry>();
        m_screen->show();
        return m_screen.get();
    }
    template <typename T> T *child(const char *name)
    {
        T *widget = m_screen->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    QLineEdit *text(const char *name) { return child<QLineEdit>(name); }
    QLabel *label(const char *name) { return child<QLabel>(name); }
    QCheckBox *check(const char *name) { return child<QCheckBox>(name); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void pick(const char *comboName, const QString &text)
    {
        QComboBox *box = combo(comboName);
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(index >= 0, qPrintable(text));
        box->setCurrentIndex(index);
    }
    // Picks an entry as the user does: open the list and click the line.
    void userPick(const char *comboName, const QString &text)
    {
        QComboBox *box = combo(comboName);
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(index >= 0, qPrintable(text));
        box->showPopup();
        QAbstractItemView *view = box->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex item = box->model()->index(index, 0);
        view->scrollTo(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(box->currentIndex(), index);
    }
    // Fills the three required fields of a new WIP.
    void fillRequired(const QString &customer)
    {
        combo("cmbCustomer")->setEditText(customer);
        pick("cmbType", QStringLiteral("Fire"));
        pick("cmbStatus", QStringLiteral("Open"));
    }

    // After the fresh database, which resets the program's state.
    static void setUp()
    {
        Clock::setNow(kNow);
        gUsername = QStringLiteral("alice");
        gDryingDays = 7;
    }

private slots:
    void cleanup()
    {
        m_screen.reset();
        SetKeySearchClock({});
        ResetKeySearch();
    }

    void opensWithListsFilledAndNothingLoaded()
    {
        JT_FRESH_DB(db);
        setUp();
        const qint64 id = addWip(QStringLiteral("Baker"), { { QStringLiteral("Rep"), QStringLiteral("") } });
        addWip(QStringLiteral("Adams"), { { QStringLiteral("Rep"), QStringLiteral("Zed") } });
        addWip(QStringLiteral("Cole"),
            { { QStringLiteral("Rep"), QVariant() }, { QStringLiteral("Insurance"), QStringLiteral("Acme") } });
        open();
        QCOMPARE(m_screen->windowTitle(), QStringLiteral("WIPs Entry/Edit"));
        QCOMPARE(items(combo("cmbWIP")).size(), 3);
        QCOMPARE(combo("cmbWIP")->itemText(1), QStringLiteral("Baker - %1").arg(id));
        QCOMPARE(combo("cmbWIPID")->itemText(1), QString::number(id));
        QVERIFY(combo("cmbWIPID")->isHidden());
        QCOMPARE(items(combo("cmbCustomer")), (QStringList { "Adams", "Baker", "Cole" }));
        // '' and NULL are one empty item, listed first.
        QCOMPARE(items(combo("cmbRep")), (QStringList { "", "Zed" }));
        QCOMPARE(items(combo("cmbInsurance")), (QStringList { "", "Acme" }));
        QCOMPARE(items(combo("cmbType")).first(), QStringLiteral("Fire"));
        QCOMPARE(combo("cmbState")->count(), 51);
        QCOMPARE(combo("cmbStatus")->currentIndex(), -1);
        QVERIFY(label("lblID")->text().isEmpty());
        for (const char *picker : { "dtStart", "dtItel", "dtAdjusterUpdated" })
            QCOMPARE(child<QDateEdit>(picker)->date(), kNow.date());
        QVERIFY(!combo("cmbState")->isEditable());
        QVERIFY(combo("cmbRep")->isEditable());
        QCOMPARE(child<QPushButton>("btnImport")->text(), QStringLiteral("Import"));
    }

    void pickingAnEntryLoadsThatWip()
    {
        JT_FRESH_DB(db);
        setUp();
        qint64 other = 0, wanted = 0;
        for (int i = 0; i < 12; ++i) {
            const qint64 id = addWip(i % 2 ? QStringLiteral("Smith") : QStringLiteral("Jones"),
                { { QStringLiteral("Address"), QStringLiteral("%1 Elm St").arg(i) } });
            if (i == 5)
                other = id;
            wanted = id;
        }
        data::exec(QStringLiteral("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?),(?,?)"),
            { wanted, QStringLiteral("Zimmer Roofing"), wanted, QStringLiteral("Ace Electric") });
        open();
        userPick("cmbWIP", QStringLiteral("Smith - %1").arg(wanted));
        QCOMPARE(label("lblID")->text(), QString::number(wanted));
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("Smith"));
        QCOMPARE(text("txtAddress")->text(), QStringLiteral("11 Elm St"));
        QCOMPARE(lines(child<QListWidget>("lstSubcontractor")), (QStringList { "Ace Electric", "Zimmer Roofing" }));
        QCOMPARE(label("lblTotalHours")->text(), QStringLiteral("0.00"));

        userPick("cmbWIP", QStringLiteral("Smith - %1").arg(other));
        QCOMPARE(label("lblID")->text(), QString::number(other));
        QCOMPARE(text("txtAddress")->text(), QStringLiteral("5 Elm St"));
        QVERIFY(lines(child<QListWidget>("lstSubcontractor")).isEmpty());
        // Picking the shown WIP again drops unsaved edits.
        text("txtAddress")->setText(QStringLiteral("typed"));
        userPick("cmbWIP", QStringLiteral("Smith - %1").arg(other));
        QCOMPARE(text("txtAddress")->text(), QStringLiteral("5 Elm St"));
        QCOMPARE(combo("cmbWIPID")->currentText(), QString::number(other));
    }

    void loadShowsStoredValues()
    {
        JT_FRESH_DB(db);
        setUp();
        const QDateTime entered(QDate(2026, 1, 5), QTime(9, 30));
        const qint64 id = addWip(QStringLiteral("O'Brien"),
            { { QStringLiteral("State"), QStringLiteral("OH") }, { QStringLiteral("Software"), QStringLiteral("") },
                { QStringLiteral("TypeOfPayment"), QStringLiteral("Check") },
                { QStringLiteral("TypeOfService"), QStringLiteral("Not listed") }, { QStringLiteral("Rugs"), 3.0 },
                { QStringLiteral("CarpetCleanRooms"), 2.5 }, { QStringLiteral("COS"), true },
                { QStringLiteral("Photos"), QVariant() },
                { QStringLiteral("ItelDate"), QDateTime(QDate(2026, 2, 1), QTime(0, 0)) },
                { QStringLiteral("InvoiceID"), QStringLiteral("1042") },
                { QStringLiteral("EnteredBy"), QStringLiteral("carol") }, { QStringLiteral("EnteredDate"), entered },
                { QStringLiteral("Notes"), QStringLiteral("Dog in yard") } });
        addWip(QStringLiteral("Nulls"),
            { { QStringLiteral("State"), QVariant() }, { QStringLiteral("StartDate"), QVariant() } });
        open();
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("O'Brien"));
        QCOMPARE(combo("cmbState")->currentText(), QStringLiteral("OH"));
        QCOMPARE(combo("cmbSoftware")->currentIndex(), -1);
        QCOMPARE(combo("cmbPayment")->currentText(), QStringLiteral("Check"));
        QCOMPARE(combo("cmbTypeOfService")->currentIndex(), -1);
        QCOMPARE(text("txtRugs")->text(), QStringLiteral("3"));
        QCOMPARE(text("txtCarpetRooms")->text(), QStringLiteral("2.5"));
        QVERIFY(check("chkCOS")->isChecked());
        QVERIFY(!check("chkPhotos")->isChecked());
        QCOMPARE(child<QDateEdit>("dtItel")->date(), QDate(2026, 2, 1));
        QCOMPARE(label("lblInvoice")->text(), QStringLiteral("1042"));
        QVERIFY(label("lblEntered")->text().startsWith(QStringLiteral("carol - ")));
        QVERIFY(label("lblEntered")->text().size() > 10);
        QCOMPARE(label("lblEdited")->text(), QStringLiteral(" - "));
        QCOMPARE(child<QPlainTextEdit>("txtNotes")->toPlainText(), QStringLiteral("Dog in yard"));

        // A NULL state and an unknown ID: no selection, then nothing changes.
        m_screen->LoadWIP(QString::number(id + 1));
        QCOMPARE(combo("cmbState")->currentIndex(), -1);
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("Nulls"));
        m_screen->LoadWIP(QStringLiteral("9999"));
        m_screen->LoadWIP(QStringLiteral("0"));
        QCOMPARE(label("lblID")->text(), QString::number(id + 1));
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("Nulls"));
        QVERIFY(Messages::shown().isEmpty());
    }

    void statusColour_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("colorCode"); // empty: no WIPStatus row
        QTest::addColumn<QColor>("expected");
        const QColor window = QGuiApplication::palette().color(QPalette::Base);
        QTest::newRow("decimal") << "Drying"
                                 << "" << QColor(255, 255, 128);
        QTest::newRow("hex") << "Amber"
                             << "&H0000C0FF" << QColor(255, 192, 0);
        QTest::newRow("no status row") << "Archived"
                                       << "" << window;
        QTest::newRow("null colour") << "Blank"
                                     << "NULL" << window;
    }
    void statusColour()
    {
        QFETCH(QString, status);
        QFETCH(QString, colorCode);
        QFETCH(QColor, expected);
        JT_FRESH_DB(db);
        setUp();
        if (!colorCode.isEmpty())
            data::insertRow(QStringLiteral("WIPStatus"),
                { { QStringLiteral("Name"), status },
                    { QStringLiteral("ColorCode"), colorCode == u"NULL" ? QVariant() : QVariant(colorCode) } });
        const qint64 id = addWip(QStringLiteral("Hue"), { { QStringLiteral("Status"), status } });
        open();
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(combo("cmbStatus")->palette().color(QPalette::Button), expected);
        QCOMPARE(combo("cmbStatus")->palette().color(QPalette::Base), expected);
        QCOMPARE(combo("cmbStatus")->currentText(), status == u"Archived" ? QString() : status);
        // New puts the normal colour back.
        click("btnNew");
        QCOMPARE(
            combo("cmbStatus")->palette().color(QPalette::Button), combo("cmbType")->palette().color(QPalette::Button));
    }

    void dryingAlert_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("watched");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("red");
        QTest::newRow("overdue") << "Drying" << 10 << 7 << true << "10" << true;
        QTest::newRow("not watched") << "Drying" << 10 << 7 << false << "10" << false;
        QTest::newRow("trailing blank") << "Drying " << 10 << 7 << true << "10" << false;
        QTest::newRow("lower case") << "drying" << 10 << 7 << true << "10" << false;
        QTest::newRow("at the limit") << "Drying" << 10 << 10 << true << "10" << false;
        QTest::newRow("other status") << "Open" << 10 << 7 << true << "10" << false;
        QTest::newRow("future start") << "Drying" << -3 << 7 << true << "-3" << false;
    }
    void dryingAlert()
    {
        QFETCH(QString, status);
        QFETCH(int, daysAgo);
        QFETCH(int, limit);
        QFETCH(bool, watched);
        QFETCH(QString, shown);
        QFETCH(bool, red);
        JT_FRESH_DB(db);
        setUp();
        gDryingDays = limit;
        const qint64 id = addWip(QStringLiteral("Wet"),
            { { QStringLiteral("Status"), status }, { QStringLiteral("CheckDryingDays"), watched },
                { QStringLiteral("StartDate"), QDateTime(kNow.date().addDays(-daysAgo), QTime(16, 0)) } });
        open();
        m_screen->LoadWIP(QString::number(id));
        QLabel *days = label("lblDryingDays");
        QCOMPARE(days->text(), shown);
        QVERIFY(days->autoFillBackground());
        const QColor background = days->palette().color(QPalette::Window);
        if (red)
            QCOMPARE(background, QColor(255, 0, 0));
        else
            QCOMPARE(background, label("lblID")->palette().color(QPalette::Window));
    }

    void pickingAStartDateCountsDaysEitherWay()
    {
        JT_FRESH_DB(db);
        setUp();
        const qint64 id = addWip(QStringLiteral("Soon"),
            { { QStringLiteral("StartDate"), QDateTime(kNow.date().addDays(3), QTime(0, 0)) } });
        open();
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(label("lblDryingDays")->text(), QStringLiteral("-3"));
        auto *start = child<QDateEdit>("dtStart");
        start->setDate(kNow.date().addDays(-2));
        start->setDate(kNow.date().addDays(3));
        QCOMPARE(label("lblDryingDays")->text(), QStringLiteral("3"));
        // Loading again shows the stored count, not the picked one.
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(label("lblDryingDays")->text(), QStringLiteral("-3"));
    }

    void billedAndRatePerHour_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QList<double>>("hours");
        QTest::addColumn<QString>("billed");
        QTest::addColumn<QString>("rate");
        QTest::newRow("1000 over 8") << 1000.0 << QList<double> { 5, 3 } << "$1,000.00"
                                     << "$125.00";
        QTest::newRow("100 over 3") << 100.0 << QList<double> { 1, 1, 1 } << "$100.00"
                                    << "$33.33";
        QTest::newRow("no hours") << 750.0 << QList<double> {} << "$750.00"
                                  << "$0.00";
        QTest::newRow("nothing billed") << 0.0 << QList<double> { 2.5 } << "$0.00"
                                        << "$0.00";
    }
    void billedAndRatePerHour()
    {
        QFETCH(double, amount);
        QFETCH(QList<double>, hours);
        QFETCH(QString, billed);
        QFETCH(QString, rate);
        JT_FRESH_DB(db);
        setUp();
        const qint64 id = addWip(QStringLiteral("Pay"), { { QStringLiteral("AmountBilled"), amount } });
        const qint64 neighbour = addWip(QStringLiteral("Other"));
        for (double h : hours)
            bookHours(id, h);
        bookHours(neighbour, 40);
        open();
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(label("lblBilled")->text(), billed);
        QCOMPARE(label("lblRatePerHour")->text(), rate);
    }

    void saveNeedsCustomerTypeAndStatus_data()
    {
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("saved");
        QTest::newRow("no customer") << ""
                                     << "Fire"
                                     << "Open" << false;
        QTest::newRow("no type") << "Ann"
                                 << ""
                                 << "Open" << false;
        QTest::newRow("no status") << "Ann"
                                   << "Fire"
                                   << "" << false;
        QTest::newRow("blank customer counts") << "   "
                                               << "Fire"
                                               << "Open" << true;
    }
    void saveNeedsCustomerTypeAndStatus()
    {
        QFETCH(QString, customer);
        QFETCH(QString, type);
        QFETCH(QString, status);
        QFETCH(bool, saved);
        JT_FRESH_DB(db);
        setUp();
        open();
        combo("cmbCustomer")->setEditText(customer);
        if (!type.isEmpty())
            pick("cmbType", type);
        if (!status.isEmpty())
            pick("cmbStatus", status);
        text("txtAddress")->setText(QStringLiteral("1 Oak Lane"));
        click("btnSave");
        QCOMPARE(count(QStringLiteral("WIP")), saved ? 1 : 0);
        if (saved) {
            QVERIFY(Messages::shown().isEmpty());
            return;
        }
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text,
            QStringLiteral("You must select a Customer, Job Type, and Status before saving."));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Required Fields"));
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(text("txtAddress")->text(), QStringLiteral("1 Oak Lane"));
        QVERIFY(label("lblID")->text().isEmpty());
    }

    void newSaveStampsBothAndResaveOnlyEdited()
    {
        JT_FRESH_DB(db);
        setUp();
        open();
        fillRequired(QStringLiteral("O'Brien"));
        pick("cmbState", QStringLiteral("OH"));
        pick("cmbSoftware", QStringLiteral("Xactimate"));
        check("chkDryingDays")->setChecked(true);
        check("chkHVAC")->setChecked(true);
        text("txtRugs")->setText(QStringLiteral("three"));
        text("txtCarpetRooms")->setText(QStringLiteral("4"));
        combo("cmbRep")->setEditText(QStringLiteral("Dana"));
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        QCOMPARE(count(QStringLiteral("WIP")), 1);
        const qint64 id = label("lblID")->text().toLongLong();
        QVERIFY(id > 0);

        QSqlQuery row = data::exec(QStringLiteral("SELECT * FROM WIP WHERE ID=?"), { id });
        QVERIFY(row.next());
        QCOMPARE(row.value("Customer").toString(), QStringLiteral("O'Brien"));
        QCOMPARE(row.value("State").toString(), QStringLiteral("OH"));
        QCOMPARE(row.value("Software").toString(), QStringLiteral("Xactimate"));
        QCOMPARE(row.value("Rugs").toDouble(), 0.0);
        QCOMPARE(row.value("CarpetCleanRooms").toDouble(), 4.0);
        QCOMPARE(row.value("DryingDays").toDouble(), 0.0); // never picked
        QVERIFY(row.value("CheckDryingDays").toBool());
        QVERIFY(row.value("CleanHVAC").toBool());
        QVERIFY(!row.value("Photos").toBool());
        QCOMPARE(row.value("StartDate").toDateTime().date(), kNow.date());
        // Empty fields are empty text, never NULL; a new WIP starts uninvoiced.
        for (const char *column : { "Address", "Zip", "TypeOfPayment", "Notes", "InvoiceID", "QBID", "HowHear" }) {
            QVERIFY2(!row.value(column).isNull(), column);
            QCOMPARE(row.value(column).toString(), QString());
        }
        QCOMPARE(row.value("AmountBilled").toDouble(), 0.0);
        QCOMPARE(row.value("EnteredBy").toString(), QStringLiteral("alice"));
        QCOMPARE(row.value("EditedBy").toString(), QStringLiteral("alice"));
        QCOMPARE(row.value("EnteredDate").toDateTime(), kNow);
        QCOMPARE(row.value("EditedDate").toDateTime(), kNow);

        // Reloaded as stored, picked in the refilled lists.
        QCOMPARE(text("txtRugs")->text(), QStringLiteral("0"));
        QCOMPARE(label("lblDryingDays")->text(), QStringLiteral("0"));
        QCOMPARE(combo("cmbWIP")->currentText(), QStringLiteral("O'Brien - %1").arg(id));
        QCOMPARE(combo("cmbWIPID")->currentText(), QString::number(id));
        QVERIFY(items(combo("cmbCustomer")).contains(QStringLiteral("O'Brien")));
        QVERIFY(items(combo("cmbRep")).contains(QStringLiteral("Dana")));
        QVERIFY(label("lblEntered")->text().startsWith(QStringLiteral("alice - ")));

        // The sync invoices it; a later edit by someone else keeps the invoice.
        data::exec(QStringLiteral("UPDATE WIP SET InvoiceID=?, AmountBilled=?, QBID=? WHERE ID=?"),
            { QStringLiteral("5001"), 900.0, QStringLiteral("QB-77"), id });
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(label("lblInvoice")->text(), QStringLiteral("5001"));
        const QDateTime later = kNow.addDays(1).addSecs(3600);
        Clock::setNow(later);
        gUsername = QStringLiteral("bob");
        text("txtCity")->setText(QStringLiteral("Brackwell"));
        click("btnSave");
        QCOMPARE(count(QStringLiteral("WIP")), 1);
        row = data::exec(QStringLiteral("SELECT * FROM WIP WHERE ID=?"), { id });
        QVERIFY(row.next());
        QCOMPARE(row.value("City").toString(), QStringLiteral("Brackwell"));
        QCOMPARE(row.value("EnteredBy").toString(), QStringLiteral("alice"));
        QCOMPARE(row.value("EnteredDate").toDateTime(), kNow);
        QCOMPARE(row.value("EditedBy").toString(), QStringLiteral("bob"));
        QCOMPARE(row.value("EditedDate").toDateTime(), later);
        QCOMPARE(row.value("InvoiceID").toString(), QStringLiteral("5001"));
        QCOMPARE(row.value("AmountBilled").toDouble(), 900.0);
        QCOMPARE(row.value("QBID").toString(), QStringLiteral("QB-77"));
        QCOMPARE(label("lblBilled")->text(), QStringLiteral("$900.00"));
        // The start date was saved a day earlier, so the count moved on.
        QCOMPARE(label("lblDryingDays")->text(), QStringLiteral("1"));
    }

    void subcontractorsKeepDuplicatesAndDeleteTheFirst()
    {
        JT_FRESH_DB(db);
        setUp();
        open();
        fillRequired(QStringLiteral("Hale"));
        QComboBox *name = combo("cmbSubcontractor");
        auto *list = child<QListWidget>("lstSubcontractor");
        for (const char *contractor : { "O'Brien Plumbing", "Ace Electric", "O'Brien Plumbing" }) {
            name->setEditText(QString::fromUtf8(contractor));
            click("btnAddSubcontractor");
            QCOMPARE(name->currentText(), QString());
        }
        click("btnAddSubcontractor"); // empty: nothing added
        QCOMPARE(lines(list), (QStringList { "O'Brien Plumbing", "Ace Electric", "O'Brien Plumbing" }));

        click("btnSave");
        const qint64 id = label("lblID")->text().toLongLong();
        QCOMPARE(contractorRows(id), (QStringList { "O'Brien Plumbing", "Ace Electric", "O'Brien Plumbing" }));
        QCOMPARE(lines(list), (QStringList { "Ace Electric", "O'Brien Plumbing", "O'Brien Plumbing" }));
        QCOMPARE(items(name), (QStringList { "Ace Electric", "O'Brien Plumbing" }));

        // A name not on the list removes nothing but clears the box.
        name->setEditText(QStringLiteral("Nobody"));
        click("btnDeleteSubcontractor");
        QCOMPARE(lines(list).size(), 3);
        QCOMPARE(name->currentText(), QString());
        // Clicking a line copies it; Delete then removes only the first match.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        QCOMPARE(name->currentText(), QStringLiteral("O'Brien Plumbing"));
        click("btnDeleteSubcontractor");
        QCOMPARE(lines(list), (QStringList { "Ace Electric", "O'Brien Plumbing" }));
        // Matching is exact.
        name->setEditText(QStringLiteral("ace electric"));
        click("btnDeleteSubcontractor");
        QCOMPARE(lines(list).size(), 2);

        click("btnSave");
        QCOMPARE(contractorRows(id), (QStringList { "Ace Electric", "O'Brien Plumbing" }));
        QCOMPARE(count(QStringLiteral("WIPContractors")), 2);
    }

    void newEmptiesEverythingAndFocusesJobType()
    {
        JT_FRESH_DB(db);
        setUp();
        const qint64 id = addWip(QStringLiteral("Full"),
            { { QStringLiteral("Status"), QStringLiteral("Drying") }, { QStringLiteral("CheckDryingDays"), true },
                { QStringLiteral("StartDate"), QDateTime(kNow.date().addDays(-30), QTime(0, 0)) },
                { QStringLiteral("State"), QStringLiteral("OH") }, { QStringLiteral("Rep"), QStringLiteral("Dana") },
                { QStringLiteral("Billed"), true }, { QStringLiteral("AmountBilled"), 10.0 },
                { QStringLiteral("Notes"), QStringLiteral("note") } });
        data::exec(QStringLiteral("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?)"),
            { id, QStringLiteral("Ace") });
        open();
        QApplication::setActiveWindow(m_screen.get());
        userPick("cmbWIP", QStringLiteral("Full - %1").arg(id));
        QCOMPARE(label("lblDryingDays")->palette().color(QPalette::Window), QColor(255, 0, 0));
        const int customers = combo("cmbCustomer")->count();

        click("btnNew");
        for (const char *name : { "lblID", "lblDryingDays", "lblEntered", "lblEdited", "lblTotalHours", "lblInvoice",
                 "lblBilled", "lblRatePerHour" })
            QVERIFY2(label(name)->text().isEmpty(), name);
        for (const char *name : { "cmbCustomer", "cmbRep", "cmbInsurance", "cmbAgent", "cmbAdjuster",
                 "cmbAdjusterUpdated", "cmbSubcontractor" })
            QVERIFY2(combo(name)->currentText().isEmpty(), name);
        for (const char *name : { "cmbState", "cmbType", "cmbStatus", "cmbSoftware", "cmbPayment", "cmbTypeOfService",
                 "cmbWIP", "cmbWIPID" })
            QCOMPARE(combo(name)->currentIndex(), -1);
        for (const char *name : { "txtAddress", "txtCity", "txtZip", "txtPhone", "txtPaperwork", "txtInitialScope",
                 "txtRugs", "txtCarpetRooms", "txtHowHear", "txtTime" })
            QVERIFY2(text(name)->text().isEmpty(), name);
        for (QCheckBox *box : m_screen->findChildren<QCheckBox *>())
            QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
        QVERIFY(child<QPlainTextEdit>("txtNotes")->toPlainText().isEmpty());
        QCOMPARE(child<QListWidget>("lstSubcontractor")->count(), 0);
        GridWidget *grid = child<GridWidget>("vsfgTime");
        QCOMPARE(grid->rows(), 0);
        QCOMPARE(label("lblDryingDays")->palette().color(QPalette::Window),
            label("lblID")->palette().color(QPalette::Window));
        for (const char *picker : { "dtStart", "dtItel", "dtAdjusterUpdated" })
            QCOMPARE(child<QDateEdit>(picker)->date(), kNow.date());
        QCOMPARE(combo("cmbCustomer")->count(), customers);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(combo("cmbType")));

        click("btnPrint");
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("You must save the WIP before printing."));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Cannot Print"));
    }

    void failedSaveWritesNothingAndKeepsInput_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QString>("failing");
        QTest::newRow("new, delete fails") << false << "DELETE FROM WIPContractors";
        QTest::newRow("new, insert fails") << false << "INSERT INTO WIPContractors";
        QTest::newRow("existing, delete fails") << true << "DELETE FROM WIPContractors";
        QTest::newRow("existing, insert fails") << true << "INSERT INTO WIPContractors";
    }
    void failedSaveWritesNothingAndKeepsInput()
    {
        QFETCH(bool, existing);
        QFETCH(QString, failing);
        JT_FRESH_DB(db);
        setUp();
        qint64 id = 0;
        if (existing) {
            id = addWip(QStringLiteral("Before"));
            data::exec(QStringLiteral("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?)"),
                { id, QStringLiteral("Old Contractor") });
        }
        open();
        if (existing)
            m_screen->LoadWIP(QString::number(id));
        else
            fillRequired(QStringLiteral("Before"));
        combo("cmbCustomer")->setEditText(QStringLiteral("After"));
        combo("cmbSubcontractor")->setEditText(QStringLiteral("New Contractor"));
        click("btnAddSubcontractor");
        const QStringList onScreen = lines(child<QListWidget>("lstSubcontractor"));

        data::failNextStatementContaining(failing);
        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Error 50000: Injected failure"));
        // The database is as it was ...
        QCOMPARE(count(QStringLiteral("WIP")), existing ? 1 : 0);
        if (existing) {
            QCOMPARE(data::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID=?"), { id }).toString(),
                QStringLiteral("Before"));
            QCOMPARE(contractorRows(id), QStringList { QStringLiteral("Old Contractor") });
        } else {
            QCOMPARE(count(QStringLiteral("WIPContractors")), 0);
        }
        // ... and so is the screen, ready to save again.
        QCOMPARE(label("lblID")->text(), existing ? QString::number(id) : QString());
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("After"));
        QCOMPARE(lines(child<QListWidget>("lstSubcontractor")), onScreen);
        QVERIFY(!QApplication::overrideCursor());
        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        const qint64 saved = label("lblID")->text().toLongLong();
        QCOMPARE(data::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID=?"), { saved }).toString(),
            QStringLiteral("After"));
        QCOMPARE(contractorRows(saved).size(), onScreen.size());
    }

    void savingAWipDeletedElsewhereSaysSo()
    {
        JT_FRESH_DB(db);
        setUp();
        const qint64 id = addWip(QStringLiteral("Gone"));
        open();
        m_screen->LoadWIP(QString::number(id));
        data::exec(QStringLiteral("DELETE FROM WIP WHERE ID=?"), { id });
        text("txtCity")->setText(QStringLiteral("Typed"));
        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("no longer exists")));
        QCOMPARE(count(QStringLiteral("WIP")), 0);
        QCOMPARE(text("txtCity")->text(), QStringLiteral("Typed"));
    }

    void textCannotOutgrowItsColumn_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("limit");
        QTest::newRow("address") << "txtAddress" << 250;
        QTest::newRow("how heard") << "txtHowHear" << 255;
        QTest::newRow("customer") << "cmbCustomer" << 250;
        QTest::newRow("subcontractor") << "cmbSubcontractor" << 250;
        QTest::newRow("notes") << "txtNotes" << 255;
    }
    void textCannotOutgrowItsColumn()
    {
        QFETCH(QString, control);
        QFETCH(int, limit);
        JT_FRESH_DB(db);
        setUp();
        open();
        QWidget *target = m_screen->findChild<QWidget *>(control);
        QVERIFY(target);
        if (auto *box = qobject_cast<QComboBox *>(target))
            target = box->lineEdit();
        const QString typed(limit + 20, u'x');
        QTest::keyClicks(target, typed);
        if (auto *edit = qobject_cast<QLineEdit *>(target))
            QCOMPARE(edit->text().size(), limit);
        else if (auto *notes = qobject_cast<QPlainTextEdit *>(target))
            QCOMPARE(notes->toPlainText().size(), limit);
        else
            QFAIL("unexpected control");
    }

    // Free-text combos complete inline from their list.
    void editableCombosCompleteInline()
    {
        JT_FRESH_DB(db);
        setUp();
        addWip(QStringLiteral("Adams"));
        const qint64 allen = addWip(QStringLiteral("Allen"));
        open();
        QApplication::setActiveWindow(m_screen.get());
        QComboBox *box = combo("cmbCustomer");
        QLineEdit *edit = box->lineEdit();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ShiftModifier);
        QCOMPARE(box->currentText(), QStringLiteral("Adams"));
        QCOMPARE(edit->selectedText(), QStringLiteral("dams"));
        QTRY_VERIFY(box->view()->isVisible());
        QTest::keyClick(box, Qt::Key_L);
        QCOMPARE(box->currentText(), QStringLiteral("Allen"));
        QCOMPARE(edit->selectedText(), QStringLiteral("len"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->currentText(), QStringLiteral("Al"));
        QVERIFY(!edit->hasSelectedText());
        QCOMPARE(edit->cursorPosition(), 2);
        // No item matches: exactly what was typed, nothing selected.
        QTest::keyClick(box, Qt::Key_X);
        QCOMPARE(box->currentText(), QStringLiteral("Alx"));
        QVERIFY(!edit->hasSelectedText());
        QCOMPARE(edit->cursorPosition(), 3);

        // Case is ignored; the item keeps its own capitals.
        box->setEditText(QString());
        QTest::keyClick(box, Qt::Key_A);
        QCOMPARE(box->currentText(), QStringLiteral("Adams"));
        QCOMPARE(edit->selectedText(), QStringLiteral("dams"));
        QTest::keyClick(box, Qt::Key_L);
        // Enter goes on as usual with the caret at the end.
        QSignalSpy entered(edit, &QLineEdit::returnPressed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(box->currentText(), QStringLiteral("Allen"));
        QCOMPARE(edit->cursorPosition(), 5);
        QTRY_VERIFY(!box->view()->isVisible());
        // Enter added nothing to the list.
        QCOMPARE(items(box), (QStringList { "Adams", "Allen" }));

        // The completed name is what is saved.
        pick("cmbType", QStringLiteral("Fire"));
        pick("cmbStatus", QStringLiteral("Open"));
        click("btnSave");
        const qint64 id = label("lblID")->text().toLongLong();
        QVERIFY(id > allen);
        QCOMPARE(data::scalar(QStringLiteral("SELECT Customer FROM WIP WHERE ID=?"), { id }).toString(),
            QStringLiteral("Allen"));
    }

    void listCombosSearchATimedPrefix_data()
    {
        QTest::addColumn<double>("delay");
        QTest::addColumn<double>("gap");
        QTest::addColumn<QString>("expected");
        QTest::newRow("within the delay") << 1.0 << 0.5 << "MI";
        QTest::newRow("after the delay") << 1.0 << 1.5 << "IA";
        QTest::newRow("no delay") << 0.0 << 0.0 << "IA";
    }
    void listCombosSearchATimedPrefix()
    {
        QFETCH(double, delay);
        QFETCH(double, gap);
        QFETCH(QString, expected);
        JT_FRESH_DB(db);
        setUp();
        gKeyPressDelay = delay;
        double now = 1000;
        SetKeySearchClock([&now] { return now; });
        ResetKeySearch();
        open();
        QComboBox *state = combo("cmbState");
        QTest::keyClick(state, Qt::Key_M);
        QCOMPARE(state->currentText(), QStringLiteral("MA"));
        now += gap;
        QTest::keyClick(state, Qt::Key_I);
        QCOMPARE(state->currentText(), expected);
    }

    void anotherComboStartsANewPrefix()
    {
        JT_FRESH_DB(db);
        setUp();
        gKeyPressDelay = 1;
        double now = 1000;
        SetKeySearchClock([&now] { return now; });
        ResetKeySearch();
        open();
        QTest::keyClick(combo("cmbState"), Qt::Key_M);
        now += 0.1;
        QTest::keyClick(combo("cmbStatus"), Qt::Key_I);
        QCOMPARE(combo("cmbStatus")->currentText(), QStringLiteral("In Progress"));
        now += 0.1;
        QTest::keyClick(combo("cmbState"), Qt::Key_I);
        QCOMPARE(combo("cmbState")->currentText(), QStringLiteral("IA"));

        // A key that matches nothing keeps the selection.
        now += 5;
        QTest::keyClick(combo("cmbType"), Qt::Key_W);
        QCOMPARE(combo("cmbType")->currentText(), QStringLiteral("Water"));
        now += 5;
        QTest::keyClick(combo("cmbType"), Qt::Key_Q);
        QCOMPARE(combo("cmbType")->currentText(), QStringLiteral("Water"));
        // Software has no type-ahead of its own; Payment has.
        now += 5;
        QTest::keyClick(combo("cmbPayment"), Qt::Key_C);
        QCOMPARE(combo("cmbPayment")->currentText(), QStringLiteral("Cash"));
    }

    void typingInThePickerLoadsTheWip()
    {
        JT_FRESH_DB(db);
        setUp();
        gKeyPressDelay = 1;
        double now = 1000;
        SetKeySearchClock([&now] { return now; });
        ResetKeySearch();
        addWip(QStringLiteral("Adams"));
        const qint64 allen = addWip(QStringLiteral("Allen"));
        open();
        QTest::keyClicks(combo("cmbWIP"), QStringLiteral("al"));
        QCOMPARE(combo("cmbWIP")->currentText(), QStringLiteral("Allen - %1").arg(allen));
        QCOMPARE(label("lblID")->text(), QString::number(allen));
        QCOMPARE(combo("cmbCustomer")->currentText(), QStringLiteral("Allen"));
    }

    void menuEntryOpensOneScreenWithPermission()
    {
        JT_FRESH_DB(db);
        setUp();
        const int userId = TestDb::addEmployee(QStringLiteral("uma"), QStringLiteral("pw"));
        gUserID = qint16(userId);
        gUsername = QStringLiteral("uma");
        gUserType = QStringLiteral("User");
        MDI mdi;
        auto *entry = mdi.findChild<QAction *>(QStringLiteral("mnuWIPEntry"));
        QVERIFY(entry);
        entry->trigger();
        QVERIFY(!mdi.findScreen(QStringLiteral("frmWIPEntry")));
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Invalid Permission"));

        TestDb::grant(userId, QStringLiteral("WIPs Entry/Edit"));
        entry->trigger();
        QWidget *screen = mdi.findScreen(QStringLiteral("frmWIPEntry"));
        QVERIFY(screen);
        entry->trigger();
        QCOMPARE(mdi.findScreen(QStringLiteral("frmWIPEntry")), screen);

        // The navigator's way in: the same instance, then LoadWIP.
        const qint64 id = addWip(QStringLiteral("Nav"));
        frmWIPEntry *shown = frmWIPEntry::showIn(&mdi);
        QCOMPARE(static_cast<QWidget *>(shown), screen);
        shown->LoadWIP(QString::number(id));
        QCOMPARE(screen->findChild<QComboBox *>(QStringLiteral("cmbCustomer"))->currentText(), QStringLiteral("Nav"));
        QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("btnExit")), Qt::LeftButton);
        QTRY_VERIFY(!mdi.findScreen(QStringLiteral("frmWIPEntry")));
    }
};

QTEST_MAIN(TestWipEntry)
#include "tst_wipentry.moc"
