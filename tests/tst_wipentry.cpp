// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/WipLists.h"
#include "wip/ui/frmWIPEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

QDateTime daysFromNow(int days)
{
    return QDateTime(kNow.date().addDays(days), QTime(0, 0));
}

// A WIP row with the required fields; `fields` adds or overrides columns.
qint64 addWip(const QString &customer, data::Fields fields = {})
{
    const data::Fields defaults { { "Customer", customer }, { "JobType", "Water" }, { "Status", "Open" },
        { "StartDate", daysFromNow(0) }, { "AmountBilled", 0.0 }, { "InvoiceID", "" }, { "QBID", "" } };
    for (const auto &field : defaults) {
        if (std::none_of(fields.begin(), fields.end(), [&](const auto &f) { return f.first == field.first; }))
            fields << field;
    }
    return testdb::insertRow("WIP", fields);
}

void addContractor(qint64 wipId, const QString &name)
{
    testdb::exec("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?)", { wipId, name });
}

// Checks stored columns of a WIP, each non-NULL and read as the expected
// value's type (the drivers differ in what they hand back).
void expectColumns(qint64 id, std::initializer_list<std::pair<const char *, QVariant>> expected)
{
    data::Rows q = testdb::exec("SELECT * FROM WIP WHERE ID=?", { id });
    QVERIFY(q.next());
    const QSqlRecord record = q.record();
    for (const auto &[column, value] : expected) {
        QVariant actual = record.value(column);
        const QString stored = actual.toString();
        QVERIFY2(!actual.isNull() && actual.convert(value.metaType()) && actual == value,
            qPrintable(QStringLiteral("%1 is '%2', expected '%3'").arg(column, stored, value.toString())));
    }
}

QStringList contractorRows(qint64 wipId)
{
    data::Rows q = testdb::exec("SELECT Contractor FROM WIPContractors WHERE WIPID=? ORDER BY ID", { wipId });
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

int count(const QString &table)
{
    return testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}

// What a control shows: its text, a list combo's pick ("" for none), "[x]" or
// "[ ]" for a check box, an ISO date for a date picker.
QString shown(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *box = qobject_cast<const QComboBox *>(widget))
        return box->isEditable() || box->currentIndex() >= 0 ? box->currentText() : QString();
    if (auto *check = qobject_cast<const QCheckBox *>(widget))
        return QString::fromLatin1(check->isChecked() ? "[x]" : "[ ]");
    if (auto *date = qobject_cast<const QDateEdit *>(widget))
        return date->date().toString(Qt::ISODate);
    if (auto *notes = qobject_cast<const QPlainTextEdit *>(widget))
        return notes->toPlainText();
    qFatal("cannot read %s", qPrintable(widget->objectName()));
}

} // namespace

class TestWipEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<frmWIPEntry> m_screen;
    double m_keyClock = 1000;

    frmWIPEntry *open(qint64 load = 0)
    {
        m_screen = std::make_unique<frmWIPEntry>(testdb::context());
        m_screen->open();
        m_screen->show();
        if (load)
            m_screen->LoadWIP(QString::number(load));
        return m_screen.get();
    }
    template <typename T = QWidget> T *child(const char *name) { return findControl<T>(m_screen.get(), name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    QLineEdit *text(const char *name) { return child<QLineEdit>(name); }
    QLabel *label(const char *name) { return child<QLabel>(name); }
    QString shown(const char *name) { return ::shown(child(name)); }
    void expectShown(std::initializer_list<std::pair<const char *, QString>> expected)
    {
        for (const auto &[name, text] : expected)
            QVERIFY2(shown(name) == text,
                qPrintable(QStringLiteral("%1 shows '%2', expected '%3'").arg(name, shown(name), text)));
    }
    QStringList subcontractors() { return itemTexts(child<QListWidget>("lstSubcontractor")); }
    qint64 shownId() { return label("lblID")->text().toLongLong(); }
    QColor windowColour(const char *name) { return label(name)->palette().color(QPalette::Window); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    // Selects an item; as the user, by opening the list and clicking the line.
    void pick(const char *comboName, const QString &text, bool asUser = false)
    {
        QComboBox *box = combo(comboName);
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(index >= 0, qPrintable(text));
        if (!asUser)
            return box->setCurrentIndex(index);
        box->showPopup();
        QAbstractItemView *view = box->view();
        QTRY_VERIFY(view->isVisible());
        view->scrollTo(box->model()->index(index, 0));
        QTest::mouseClick(
            view->viewport(), Qt::LeftButton, {}, view->visualRect(box->model()->index(index, 0)).center());
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(box->currentIndex(), index);
    }
    void fillRequired(const QString &customer)
    {
        combo("cmbCustomer")->setEditText(customer);
        pick("cmbType", "Fire");
        pick("cmbStatus", "Open");
    }
    // The type-ahead clock, moved on by hand.
    void useKeyClock(double delay)
    {
        testdb::setKeyPressDelay(delay);
        SetKeySearchClock([this] { return m_keyClock; });
        ResetKeySearch();
    }
    // The named controls that do not show their empty value: no text, no
    // pick, no tick, today's date. The job's own: the photos tab's caption
    // box shows the chosen photo's.
    QList<QWidget *> valueControls()
    {
        QList<QWidget *> controls = m_screen->findChildren<QWidget *>(QRegularExpression("^(lbl|txt|cmb|chk|dt)"));
        const QWidget *photos = findControl(m_screen.get(), "tabPhotos");
        controls.removeIf([photos](const QWidget *control) { return photos->isAncestorOf(control); });
        return controls;
    }
    QStringList namedControls()
    {
        QStringList names;
        for (QWidget *widget : valueControls())
            names << widget->objectName();
        return names;
    }
    QStringList unemptied()
    {
        QStringList names;
        for (QWidget *widget : valueControls()) {
            const QString empty = qobject_cast<QCheckBox *>(widget) ? QStringLiteral("[ ]")
                : qobject_cast<QDateEdit *>(widget)                 ? kNow.date().toString(Qt::ISODate)
                                                                    : QString();
            if (::shown(widget) != empty)
                names << widget->objectName();
        }
        return names;
    }
    void expectOneMessage(const QString &text, const QString &title = {})
    {
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, text);
        if (!title.isEmpty())
            QCOMPARE(Messages::shown().first().title, title);
    }

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        testdb::logIn(0, "alice");
        testdb::setDryingDays(7);
        m_keyClock = 1000;
    }
    void cleanup()
    {
        m_screen.reset();
        m_db.reset();
        SetKeySearchClock({});
        ResetKeySearch();
    }

    // The lists come filled and nothing is loaded. A pick by mouse or by
    // type-ahead loads that WIP, also the one shown, dropping unsaved edits.
    void pickingAnEntryLoadsThatWip()
    {
        QStringList jones, smith;
        qint64 other = 0, wanted = 0;
        for (int i = 0; i < 12; ++i) {
            // Rep '' and NULL make one empty item, listed first.
            const QVariant rep = i == 0 ? QVariant("") : i == 2 ? QVariant("Zed") : QVariant();
            const QString customer = i % 2 ? "Smith" : "Jones";
            wanted = addWip(customer, { { "Address", QStringLiteral("%1 Elm St").arg(i) }, { "Rep", rep } });
            (i % 2 ? smith : jones) << customer + " - " + QString::number(wanted);
            if (i == 5)
                other = wanted;
        }
        addContractor(wanted, "Zimmer Roofing");
        addContractor(wanted, "Ace Electric");
        const qint64 allen = addWip("Allen");
        open();
        const QStringList labels = QStringList { "Allen - " + QString::number(allen) } + jones + smith;
        QCOMPARE(itemTexts(combo("cmbWIP")), labels);
        QStringList ids;
        for (const QString &label : labels)
            ids << label.section(" - ", -1);
        QCOMPARE(itemTexts(combo("cmbWIPID")), ids);
        QCOMPARE(itemTexts(combo("cmbCustomer")), (QStringList { "Allen", "Jones", "Smith" }));
        QCOMPARE(itemTexts(combo("cmbRep")), (QStringList { "", "Zed" }));
        expectShown({ { "cmbStatus", "" }, { "lblID", "" }, { "dtStart", "2026-03-30" }, { "dtItel", "2026-03-30" },
            { "dtAdjusterUpdated", "2026-03-30" } });

        pick("cmbWIP", QStringLiteral("Smith - %1").arg(wanted), true);
        expectShown(
            { { "lblID", QString::number(wanted) }, { "cmbCustomer", "Smith" }, { "txtAddress", "11 Elm St" } });
        QCOMPARE(subcontractors(), (QStringList { "Ace Electric", "Zimmer Roofing" }));

        pick("cmbWIP", QStringLiteral("Smith - %1").arg(other), true);
        expectShown({ { "lblID", QString::number(other) }, { "txtAddress", "5 Elm St" } });
        QVERIFY(subcontractors().isEmpty());
        text("txtAddress")->setText("typed");
        pick("cmbWIP", QStringLiteral("Smith - %1").arg(other), true);
        expectShown({ { "txtAddress", "5 Elm St" }, { "cmbWIPID", QString::number(other) } });

        useKeyClock(1);
        QTest::keyClicks(combo("cmbWIP"), "al");
        expectShown({ { "cmbWIP", QStringLiteral("Allen - %1").arg(allen) }, { "lblID", QString::number(allen) },
            { "cmbCustomer", "Allen" }, { "txtAddress", "" } });
    }

    // The lists of values in use: each value once in order, and NULL and ''
    // as one empty item first, whichever of the two the rows hold.
    void listsOfValuesInUse_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("no job") << QVariantList {} << QStringList {};
        QTest::newRow("none empty") << QVariantList { "Zed", "Ace", "Zed" } << QStringList { "Ace", "Zed" };
        QTest::newRow("NULL only") << QVariantList { "Zed", QVariant() } << QStringList { "", "Zed" };
        QTest::newRow("'' only") << QVariantList { "Zed", "" } << QStringList { "", "Zed" };
        QTest::newRow("only empties") << QVariantList { QVariant(), "", QVariant() } << QStringList { "" };
    }
    void listsOfValuesInUse()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, listed);
        for (const QVariant &value : stored) {
            const qint64 id = addWip("Smith", { { "Rep", value } });
            addContractor(id, value.toString());
        }
        open();
        QCOMPARE(itemTexts(combo("cmbRep")), listed);
        // The subcontractors are never NULL here: '' stands for both.
        QCOMPARE(itemTexts(combo("cmbSubcontractor")), listed);
    }

    // After a save every list holds what a fresh read gives, in the
    // server's order: the picker's entry added or moved and relabelled, a
    // typed value added, one that no job holds any more gone, an empty item
    // coming or staying while some job has the field empty.
    void saveLeavesListsAsReadAfresh_data()
    {
        // job: the customer of the job opened, or none for a new one; edits:
        // "control=text"; subcontractors: "+name" added, "-name" deleted.
        columns<QString, QStringList, QStringList>({ "job", "edits", "subcontractors" });
        row("new job, new customer", "", QStringList { "cmbCustomer=Kim" }, QStringList {});
        row("new job, customer held", "", QStringList { "cmbCustomer=Jones", "cmbRep=Abe" }, QStringList { "+Bolt" });
        row("renamed, old name gone", "Baker", QStringList { "cmbCustomer=Young" }, QStringList {});
        row("renamed to a name held", "Jones", QStringList { "cmbCustomer=Smith" }, QStringList {});
        row("one of two empties filled", "Baker", QStringList { "cmbRep=Abe" }, QStringList {});
        row("emptied", "Jones", QStringList { "cmbAgent=", "cmbInsurance=" }, QStringList {});
        row("last holder leaves", "Baker", QStringList { "cmbAgent=Kay", "cmbAdjuster=Nu" }, QStringList {});
        row("subcontractors", "Jones", QStringList {}, QStringList { "-Ace", "-Zimmer", "+Bolt" });
    }
    void saveLeavesListsAsReadAfresh()
    {
        QFETCH(QString, job);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, subcontractors);
        const QMap<QString, qint64> ids {
            { "Baker", addWip("Baker", { { "Rep", "" }, { "Agent", "Lee" }, { "Insurance", "Acme" } }) },
            { "Jones",
                addWip(
                    "Jones", { { "Rep", "Zed" }, { "Agent", "Kay" }, { "Insurance", "Acme" }, { "Adjuster", "Mo" } }) },
            { "Smith", addWip("Smith", { { "Rep", QVariant() }, { "Agent", "Kay" } }) },
        };
        addWip("Smith", { { "Rep", "Zed" } });
        addContractor(ids["Jones"], "Ace");
        addContractor(ids["Jones"], "Zimmer");
        addContractor(ids["Smith"], "Ace");
        open(ids.value(job));
        if (job.isEmpty()) {
            pick("cmbType", "Fire");
            pick("cmbStatus", "Open");
        }
        for (const QString &edit : edits)
            combo(qPrintable(edit.section('=', 0, 0)))->setEditText(edit.section('=', 1));
        for (const QString &change : subcontractors) {
            combo("cmbSubcontractor")->setEditText(change.mid(1));
            click(change.startsWith('+') ? "btnAddSubcontractor" : "btnDeleteSubcontractor");
        }
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        for (const QString &edit : edits)
            QCOMPARE(shown(qPrintable(edit.section('=', 0, 0))), edit.section('=', 1));

        const wip::WipLists fresh = wip::loadWipLists(testdb::context().db());
        const std::pair<const char *, const QStringList *> lists[]
            = { { "cmbWIP", &fresh.wipLabels }, { "cmbWIPID", &fresh.wipIds }, { "cmbStatus", &fresh.statuses },
                  { "cmbState", &fresh.states }, { "cmbType", &fresh.jobTypes }, { "cmbSoftware", &fresh.software },
                  { "cmbPayment", &fresh.payments }, { "cmbTypeOfService", &fresh.typesOfService },
                  { "cmbCustomer", &fresh.customers }, { "cmbRep", &fresh.reps }, { "cmbInsurance", &fresh.insurances },
                  { "cmbAgent", &fresh.agents }, { "cmbAdjuster", &fresh.adjusters },
                  { "cmbAdjusterUpdated", &fresh.adjustersUpdated }, { "cmbSubcontractor", &fresh.subcontractors } };
        for (const auto &[name, items] : lists)
            QVERIFY2(itemTexts(combo(name)) == *items,
                qPrintable(QStringLiteral("%1 lists '%2', a fresh read '%3'")
                               .arg(QLatin1String(name), itemTexts(combo(name)).join('|'), items->join('|'))));
        // The saved job is the one picked.
        QCOMPARE(combo("cmbWIPID")->currentText(), QString::number(shownId()));
        QCOMPARE(combo("cmbWIP")->currentText(), shown("cmbCustomer") + " - " + QString::number(shownId()));
    }

    void loadShowsStoredValues()
    {
        const qint64 id = addWip("O'Brien",
            { { "State", "OH" }, { "Software", "" }, { "TypeOfService", "Not listed" }, { "Rugs", 3.0 },
                { "CarpetCleanRooms", 2.5 }, { "COS", true }, { "Photos", QVariant() },
                { "ItelDate", QDateTime(QDate(2026, 2, 1), QTime(0, 0)) }, { "InvoiceID", "1042" },
                { "EnteredBy", "carol" }, { "EnteredDate", QDateTime(QDate(2026, 1, 5), QTime(9, 30)) },
                { "Notes", "Dog in yard" } });
        addWip("Nulls", { { "State", QVariant() }, { "StartDate", QVariant() } });
        open(id);
        // Software '' and a type of service not on the list select nothing;
        // NULL flags are unticked, a NULL stamp shows its bare separator.
        expectShown({ { "cmbCustomer", "O'Brien" }, { "cmbState", "OH" }, { "cmbSoftware", "" },
            { "cmbTypeOfService", "" }, { "txtRugs", "3" }, { "txtCarpetRooms", "2.5" }, { "chkCOS", "[x]" },
            { "chkPhotos", "[ ]" }, { "dtItel", "2026-02-01" }, { "lblInvoice", "1042" }, { "lblEdited", " - " },
            { "txtNotes", "Dog in yard" } });
        QVERIFY(shown("lblEntered").startsWith(QStringLiteral("carol - ")));

        // A NULL state and start date: no selection, today. An unknown ID
        // changes nothing.
        m_screen->LoadWIP(QString::number(id + 1));
        expectShown({ { "cmbState", "" }, { "dtStart", "2026-03-30" } });
        for (const char *unknown : { "9999", "0" })
            m_screen->LoadWIP(QString::fromLatin1(unknown));
        expectShown({ { "lblID", QString::number(id + 1) }, { "cmbCustomer", "Nulls" } });
        QVERIFY(Messages::shown().isEmpty());
    }

    void statusColour_data()
    {
        const QColor window = QGuiApplication::palette().color(QPalette::Base);
        columns<QString, QVariant, QColor>({ "status", "colorCode", "expected" }); // invalid code: no WIPStatus row
        row("decimal", "Drying", QVariant(), QColor(255, 255, 128));
        row("hex", "Amber", QVariant("&H0000C0FF"), QColor(255, 192, 0));
        row("no status row", "Archived", QVariant(), window);
        row("null colour", "Blank", QVariant(QMetaType(QMetaType::QString)), window);
    }
    void statusColour()
    {
        QFETCH(QString, status);
        QFETCH(QVariant, colorCode);
        QFETCH(QColor, expected);
        if (colorCode.isValid())
            testdb::insertRow("WIPStatus", { { "Name", status }, { "ColorCode", colorCode } });
        open(addWip("Hue", { { "Status", status } }));
        QComboBox *box = combo("cmbStatus");
        QCOMPARE(box->palette().color(QPalette::Button), expected);
        QCOMPARE(shown("cmbStatus"), status == u"Archived" ? QString() : status);
        // New puts the normal colour back.
        click("btnNew");
        QCOMPARE(box->palette().color(QPalette::Button), combo("cmbType")->palette().color(QPalette::Button));
    }

    // Each input of the drying rule reaches it from the screen; the rule's
    // own edge cases are tested with it (tst_conversions).
    void dryingAlert_data()
    {
        columns<QString, int, int, bool, bool>({ "status", "daysAgo", "limit", "watched", "red" });
        row("overdue", "Drying", 10, 7, true, true);
        row("not watched", "Drying", 10, 7, false, false);
        row("at the limit", "Drying", 10, 10, true, false);
        row("other status", "Open", 10, 7, true, false);
        row("future start", "Drying", -3, 7, true, false);
    }
    void dryingAlert()
    {
        QFETCH(QString, status);
        QFETCH(int, daysAgo);
        QFETCH(int, limit);
        QFETCH(bool, watched);
        QFETCH(bool, red);
        testdb::setDryingDays(limit);
        open(addWip("Wet",
            { { "Status", status }, { "CheckDryingDays", watched },
                { "StartDate", daysFromNow(-daysAgo).addSecs(16 * 3600) } }));
        QCOMPARE(shown("lblDryingDays"), QString::number(daysAgo));
        QVERIFY(label("lblDryingDays")->autoFillBackground()); // else the colour never shows
        QCOMPARE(windowColour("lblDryingDays"), red ? QColor(255, 0, 0) : windowColour("lblID"));
    }

    void pickingAStartDateCountsDaysEitherWay()
    {
        const qint64 id = addWip("Soon", { { "StartDate", daysFromNow(3) } });
        open(id);
        QCOMPARE(shown("lblDryingDays"), "-3");
        auto *start = child<QDateEdit>("dtStart");
        start->setDate(kNow.date().addDays(-2));
        start->setDate(kNow.date().addDays(3));
        QCOMPARE(shown("lblDryingDays"), "3");
        // Loading again shows the stored count, not the picked one.
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(shown("lblDryingDays"), "-3");
    }

    void billedAndRatePerHour_data()
    {
        columns<double, QList<double>, QString, QString>({ "amount", "hours", "billed", "rate" });
        row("1000 over 8", 1000.0, QList<double> { 5, 3 }, "$1,000.00", "$125.00");
        row("100 over 3", 100.0, QList<double> { 1, 1, 1 }, "$100.00", "$33.33");
        row("200 over 3 rounds up", 200.0, QList<double> { 3 }, "$200.00", "$66.67");
        row("no hours", 750.0, QList<double> {}, "$750.00", "$0.00");
        row("nothing billed", 0.0, QList<double> { 2.5 }, "$0.00", "$0.00");
    }
    void billedAndRatePerHour()
    {
        QFETCH(double, amount);
        QFETCH(QList<double>, hours);
        const qint64 id = addWip("Pay", { { "AmountBilled", amount } });
        auto book = [](qint64 wip, double h) {
            testdb::insertRow(
                "EmployeeTime", { { "EmployeeID", 1 }, { "WIPID", wip }, { "TranDate", kNow }, { "Hours", h } });
        };
        for (double h : hours)
            book(id, h);
        book(addWip("Other"), 40); // another WIP's hours do not count
        open(id);
        QTEST(shown("lblBilled"), "billed");
        QTEST(shown("lblRatePerHour"), "rate");
    }

    void saveNeedsCustomerTypeAndStatus_data()
    {
        columns<QString, QString, QString, bool>({ "customer", "type", "status", "saved" });
        row("no customer", "", "Fire", "Open", false);
        row("no type", "Ann", "", "Open", false);
        row("no status", "Ann", "Fire", "", false);
        row("blank customer counts", "   ", "Fire", "Open", true);
    }
    void saveNeedsCustomerTypeAndStatus()
    {
        QFETCH(QString, customer);
        QFETCH(QString, type);
        QFETCH(QString, status);
        QFETCH(bool, saved);
        open();
        combo("cmbCustomer")->setEditText(customer);
        if (!type.isEmpty())
            pick("cmbType", type);
        if (!status.isEmpty())
            pick("cmbStatus", status);
        text("txtAddress")->setText("1 Oak Lane");
        click("btnSave");
        QCOMPARE(count("WIP"), saved ? 1 : 0);
        if (saved) {
            QVERIFY(Messages::shown().isEmpty());
            return;
        }
        expectOneMessage("You must select a Customer, Job Type, and Status before saving.", "Required Fields");
        expectShown({ { "txtAddress", "1 Oak Lane" }, { "lblID", "" } });
    }

    void newSaveStampsBothAndResaveOnlyEdited()
    {
        open();
        fillRequired("O'Brien");
        pick("cmbState", "OH");
        child<QCheckBox>("chkDryingDays")->setChecked(true);
        text("txtRugs")->setText("three");
        text("txtCarpetRooms")->setText("4");
        combo("cmbRep")->setEditText("Dana");
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        QCOMPARE(count("WIP"), 1);
        const qint64 id = shownId();
        // Empty fields are empty text, never NULL; a new WIP starts uninvoiced.
        expectColumns(id,
            { { "Customer", "O'Brien" }, { "State", "OH" }, { "Rugs", 0.0 }, { "CarpetCleanRooms", 4.0 },
                { "CheckDryingDays", true }, { "Photos", false }, { "StartDate", daysFromNow(0) }, { "Address", "" },
                { "Zip", "" }, { "TypeOfPayment", "" }, { "Notes", "" }, { "HowHear", "" }, { "InvoiceID", "" },
                { "QBID", "" }, { "AmountBilled", 0.0 }, { "EnteredBy", "alice" }, { "EditedBy", "alice" },
                { "EnteredDate", kNow }, { "EditedDate", kNow } });

        // Reloaded as stored, picked in the refilled lists.
        expectShown({ { "txtRugs", "0" }, { "cmbWIP", QStringLiteral("O'Brien - %1").arg(id) },
            { "cmbWIPID", QString::number(id) } });
        QVERIFY(itemTexts(combo("cmbCustomer")).contains(QStringLiteral("O'Brien")));
        QVERIFY(itemTexts(combo("cmbRep")).contains(QStringLiteral("Dana")));

        // The sync invoices it; a later edit by someone else keeps the invoice.
        testdb::exec("UPDATE WIP SET InvoiceID=?, AmountBilled=?, QBID=? WHERE ID=?", { "5001", 900.0, "QB-77", id });
        m_screen->LoadWIP(QString::number(id));
        const QDateTime later = kNow.addDays(1).addSecs(3600);
        Clock::setNow(later);
        testdb::logIn(0, "bob");
        text("txtCity")->setText("Brackwell");
        click("btnSave");
        QCOMPARE(count("WIP"), 1);
        expectColumns(id,
            { { "City", "Brackwell" }, { "EnteredBy", "alice" }, { "EnteredDate", kNow }, { "EditedBy", "bob" },
                { "EditedDate", later }, { "InvoiceID", "5001" }, { "AmountBilled", 900.0 }, { "QBID", "QB-77" } });
        // The start date was saved a day earlier, so the count moved on.
        expectShown({ { "lblBilled", "$900.00" }, { "lblInvoice", "5001" }, { "lblDryingDays", "1" } });
    }

    // Values the controls cannot show (a state, software or payment that has
    // left its list; no Itel or adjuster-updated date) survive a save that
    // did not touch them; what the user did change is saved.
    void saveKeepsWhatTheUserDidNotTouch()
    {
        const qint64 id = addWip("Legacy Job",
            { { "State", "ZZ" }, { "Software", "Legacy Soft" }, { "TypeOfPayment", "Barter" }, { "Rugs", 2.0 },
                { "ItelDate", QVariant(QMetaType::fromType<QDateTime>()) },
                { "AdjusterUpdatedDate", QVariant(QMetaType::fromType<QDateTime>()) } });
        open(id);
        QCOMPARE(combo("cmbState")->currentIndex(), -1);
        child<QPlainTextEdit>("txtNotes")->setPlainText("called the adjuster");
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        expectColumns(id,
            { { "State", "ZZ" }, { "Software", "Legacy Soft" }, { "TypeOfPayment", "Barter" }, { "Rugs", 2.0 },
                { "Notes", "called the adjuster" } });
        QVERIFY(testdb::scalar("SELECT ItelDate FROM WIP WHERE ID=?", { id }).isNull());
        QVERIFY(testdb::scalar("SELECT AdjusterUpdatedDate FROM WIP WHERE ID=?", { id }).isNull());

        // Changed controls do write: a listed state, a picked date, an
        // emptied number.
        pick("cmbState", "OH");
        child<QDateEdit>("dtItel")->setDate(kNow.date().addDays(-3));
        text("txtRugs")->clear();
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        expectColumns(id, { { "State", "OH" }, { "ItelDate", daysFromNow(-3) }, { "Rugs", 0.0 } });
        QVERIFY(testdb::scalar("SELECT AdjusterUpdatedDate FROM WIP WHERE ID=?", { id }).isNull());
    }

    // The rugs and carpet rooms take any text: one that is no number counts
    // 0, is saved so and shows "0" once reloaded; nothing is refused.
    void rugsAndCarpetRoomsTakeAnyText_data()
    {
        columns<QString, QString, QString, double, QString>({ "box", "column", "typed", "stored", "shown" });
        const QString rugs("txtRugs"), rooms("txtCarpetRooms");
        row("a word", rugs, QString("Rugs"), QString("three"), 0.0, QString("0"));
        row("a typo", rugs, QString("Rugs"), QString("5o"), 0.0, QString("0"));
        row("empty", rugs, QString("Rugs"), QString(), 0.0, QString("0"));
        row("nan", rugs, QString("Rugs"), QString("nan"), 0.0, QString("0"));
        row("a number", rugs, QString("Rugs"), QString(" 4 "), 4.0, QString("4"));
        row("rooms, a word", rooms, QString("CarpetCleanRooms"), QString("three"), 0.0, QString("0"));
        row("rooms, a number", rooms, QString("CarpetCleanRooms"), QString("2.5"), 2.5, QString("2.5"));
    }
    void rugsAndCarpetRoomsTakeAnyText()
    {
        QFETCH(QString, box);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QFETCH(QString, shown);
        const qint64 id = addWip("Rug Job", { { "Rugs", 2.0 }, { "CarpetCleanRooms", 3.0 } });
        open(id);
        text(qPrintable(box))->setText(typed);
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        expectColumns(id, { { qPrintable(column), stored } });
        QCOMPARE(text(qPrintable(box))->text(), shown);
    }

    // Two users on one WIP: the second save after the first is refused with
    // who and when, writes nothing, keeps the input; loaded again, it saves.
    void saveAfterSomeoneElseSavedIsRefused()
    {
        const qint64 id = addWip("Shared Job", { { "EditedBy", "carol" }, { "EditedDate", daysFromNow(-2) } });
        open(id);
        text("txtCity")->setText("Mine");

        // Another user's save of the same WIP, on a connection of its own.
        data::Connection other;
        other.open(m_db->connectionString(), m_db->folder());
        std::optional<wip::WipRecord> theirs = wip::loadWip(other, id);
        QVERIFY(theirs);
        theirs->city = "Theirs";
        wip::saveWip(other, *theirs, {}, { "dave", kNow.addSecs(-60) });

        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Changed by Someone Else"));
        QVERIFY2(Messages::shown().first().text.contains("dave"), qPrintable(Messages::shown().first().text));
        expectColumns(id, { { "City", "Theirs" }, { "EditedBy", "dave" } });
        QCOMPARE(text("txtCity")->text(), QStringLiteral("Mine"));

        Messages::clearShown();
        m_screen->LoadWIP(QString::number(id));
        QCOMPARE(text("txtCity")->text(), QStringLiteral("Theirs"));
        text("txtCity")->setText("Mine");
        click("btnSave");
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().value(0).text));
        expectColumns(id, { { "City", "Mine" }, { "EditedBy", "alice" } });
    }

    void subcontractorsKeepDuplicatesAndDeleteTheFirst()
    {
        open();
        fillRequired("Hale");
        QComboBox *name = combo("cmbSubcontractor");
        auto *list = child<QListWidget>("lstSubcontractor");
        const QStringList added { "O'Brien Plumbing", "Ace Electric", "O'Brien Plumbing" };
        for (const QString &contractor : added) {
            name->setEditText(contractor);
            click("btnAddSubcontractor");
            QCOMPARE(name->currentText(), QString());
        }
        click("btnAddSubcontractor"); // empty: nothing added
        QCOMPARE(subcontractors(), added);

        click("btnSave");
        const qint64 id = shownId();
        QCOMPARE(contractorRows(id), added);
        QCOMPARE(subcontractors(), (QStringList { "Ace Electric", "O'Brien Plumbing", "O'Brien Plumbing" }));
        QCOMPARE(itemTexts(name), (QStringList { "Ace Electric", "O'Brien Plumbing" }));

        // Unknown and differently cased names remove nothing but clear the box.
        for (const char *other : { "Nobody", "ace electric" }) {
            name->setEditText(QString::fromLatin1(other));
            click("btnDeleteSubcontractor");
            QCOMPARE(subcontractors().size(), 3);
            QCOMPARE(name->currentText(), QString());
        }
        // Clicking a line copies it; Delete then removes only the first match.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        QCOMPARE(name->currentText(), QStringLiteral("O'Brien Plumbing"));
        click("btnDeleteSubcontractor");
        QCOMPARE(subcontractors(), (QStringList { "Ace Electric", "O'Brien Plumbing" }));

        // The rows that stay are kept as they were: the duplicate alone goes.
        click("btnSave");
        QCOMPARE(contractorRows(id), (QStringList { "O'Brien Plumbing", "Ace Electric" }));
        QCOMPARE(count("WIPContractors"), 2);
    }

    void newEmptiesEverythingAndFocusesJobType()
    {
        // Every field filled, so that New has something to empty in each.
        data::Fields full { { "Status", "Drying" }, { "State", "OH" }, { "Software", "Simsol" },
            { "TypeOfPayment", "Cash" }, { "TypeOfService", "Cleaning" }, { "StartDate", daysFromNow(-30) },
            { "ItelDate", daysFromNow(-9) }, { "AdjusterUpdatedDate", daysFromNow(-8) }, { "Rugs", 2.0 },
            { "CarpetCleanRooms", 3.0 }, { "AmountBilled", 10.0 }, { "InvoiceID", "77" } };
        for (const char *column : { "Address", "City", "Zip", "Phone", "Rep", "Insurance", "Agent", "Adjuster",
                 "AdjusterUpdatedBy", "Paperwork", "InitialScope", "HowHear", "TimeOfService", "Notes" })
            full << qMakePair(QString::fromLatin1(column), QVariant("x"));
        for (const char *flag : { "CheckDryingDays", "RugsCleaned", "Itel", "EstimateComplete", "Billed", "COS",
                 "MoveOut", "CleanHVAC", "ContentsCleaned", "Photos" })
            full << qMakePair(QString::fromLatin1(flag), QVariant(true));
        const qint64 id = addWip("Full", full);
        addContractor(id, "Ace");
        open();
        QApplication::setActiveWindow(m_screen.get());
        pick("cmbWIP", QStringLiteral("Full - %1").arg(id), true);
        combo("cmbSubcontractor")->setEditText("typed");
        QCOMPARE(windowColour("lblDryingDays"), QColor(255, 0, 0));
        const int customers = combo("cmbCustomer")->count();
        QCOMPARE(unemptied(), namedControls());

        click("btnNew");
        QCOMPARE(unemptied(), QStringList());
        for (const char *name : { "cmbCustomer", "cmbWIP", "cmbWIPID" })
            QCOMPARE(combo(name)->currentIndex(), -1);
        QVERIFY(subcontractors().isEmpty());
        QCOMPARE(child<GridWidget>("vsfgTime")->rows(), 0);
        QCOMPARE(windowColour("lblDryingDays"), windowColour("lblID"));
        QCOMPARE(combo("cmbCustomer")->count(), customers);
        QTRY_COMPARE(QApplication::focusWidget(), combo("cmbType"));

        click("btnPrint");
        expectOneMessage("You must save the WIP before printing.", "Cannot Print");
    }

    void failedSaveWritesNothingAndKeepsInput_data()
    {
        columns<bool, QString>({ "existing", "failing" });
        row("new, the job's row fails", false, "INSERT INTO WIP (");
        row("new, insert fails", false, "INSERT INTO WIPContractors");
        row("existing, delete fails", true, "DELETE FROM WIPContractors");
        row("existing, insert fails", true, "INSERT INTO WIPContractors");
    }
    void failedSaveWritesNothingAndKeepsInput()
    {
        QFETCH(bool, existing);
        QFETCH(QString, failing);
        const qint64 id = existing ? addWip("Before") : 0;
        if (existing)
            addContractor(id, "Old Contractor");
        open(id);
        if (!existing)
            fillRequired("Before");
        combo("cmbCustomer")->setEditText("After");
        combo("cmbSubcontractor")->setEditText("New Contractor");
        click("btnAddSubcontractor");
        // One subcontractor goes and one comes: the save deletes and inserts.
        if (existing) {
            combo("cmbSubcontractor")->setEditText("Old Contractor");
            click("btnDeleteSubcontractor");
        }
        const QStringList onScreen = subcontractors();

        data::failNextStatementContaining(failing);
        click("btnSave");
        expectOneMessage("Error 50000: Injected failure");
        // The database is as it was ...
        QCOMPARE(count("WIP"), existing ? 1 : 0);
        QCOMPARE(count("WIPContractors"), existing ? 1 : 0);
        if (existing) {
            expectColumns(id, { { "Customer", "Before" } });
            QCOMPARE(contractorRows(id), QStringList { "Old Contractor" });
        }
        // ... and so is the screen, ready to save again.
        expectShown({ { "lblID", existing ? QString::number(id) : QString() }, { "cmbCustomer", "After" } });
        QCOMPARE(subcontractors(), onScreen);
        QVERIFY(!QApplication::overrideCursor());
        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        expectColumns(shownId(), { { "Customer", "After" } });
        QCOMPARE(contractorRows(shownId()), onScreen);
    }

    void savingAWipDeletedElsewhereSaysSo()
    {
        const qint64 id = addWip("Gone");
        open(id);
        testdb::exec("DELETE FROM WIP WHERE ID=?", { id });
        text("txtCity")->setText("Typed");
        click("btnSave");
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().text.contains(QStringLiteral("no longer exists")));
        QCOMPARE(count("WIP"), 0);
        QCOMPARE(shown("txtCity"), "Typed");
    }

    // Typed text cannot outgrow its column (the notes box trims itself).
    void textCannotOutgrowItsColumn_data()
    {
        columns<QString, int>({ "control", "limit" });
        row("address", "txtAddress", 250);
        row("customer", "cmbCustomer", 250);
        row("notes", "txtNotes", 255);
    }
    void textCannotOutgrowItsColumn()
    {
        QFETCH(QString, control);
        QFETCH(int, limit);
        open();
        QWidget *target = child(qPrintable(control));
        QTest::keyClicks(
            qobject_cast<QComboBox *>(target) ? combo("cmbCustomer")->lineEdit() : target, QString(limit + 20, u'x'));
        QCOMPARE(::shown(target).size(), limit);
    }

    // Free-text combos complete inline from their list; what shows is saved.
    void editableCombosCompleteInline()
    {
        addWip("Adams");
        const qint64 allen = addWip("Allen");
        open();
        QApplication::setActiveWindow(m_screen.get());
        QComboBox *box = combo("cmbCustomer");
        QLineEdit *edit = box->lineEdit();
        box->setFocus();
        // The first match, ignoring case, with the completed tail selected.
        QTest::keyClick(box, Qt::Key_A);
        QCOMPARE(box->currentText(), "Adams");
        QCOMPARE(edit->selectedText(), "dams");
        QTest::keyClick(box, Qt::Key_L);
        QCOMPARE(box->currentText(), "Allen");
        QCOMPARE(edit->selectedText(), "len");
        // Enter goes on as usual, adding nothing to the list.
        QSignalSpy entered(edit, &QLineEdit::returnPressed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(itemTexts(box), (QStringList { "Adams", "Allen" }));

        pick("cmbType", "Fire");
        pick("cmbStatus", "Open");
        click("btnSave");
        QVERIFY(shownId() > allen);
        expectColumns(shownId(), { { "Customer", "Allen" } });
    }

    // List combos search a prefix typed within the key-press delay, in one
    // combo; another combo starts a new prefix.
    void listCombosSearchATimedPrefix()
    {
        useKeyClock(1);
        open();
        auto typeIn = [this](const char *name, Qt::Key key, double after) {
            m_keyClock += after;
            QTest::keyClick(combo(name), key);
            return shown(name);
        };
        QCOMPARE(typeIn("cmbState", Qt::Key_M, 0), "MA");
        QCOMPARE(typeIn("cmbState", Qt::Key_I, 0.5), "MI");
        QCOMPARE(typeIn("cmbState", Qt::Key_I, 1.5), "IA");
        QCOMPARE(typeIn("cmbState", Qt::Key_M, 5), "MA");
        QCOMPARE(typeIn("cmbStatus", Qt::Key_I, 0.1), "In Progress");
        QCOMPARE(typeIn("cmbState", Qt::Key_I, 0.1), "IA");
        QCOMPARE(typeIn("cmbType", Qt::Key_W, 5), "Water");
        QCOMPARE(typeIn("cmbType", Qt::Key_Q, 0.1), "Water"); // no match keeps the pick
        QCOMPARE(typeIn("cmbPayment", Qt::Key_C, 5), "Cash");
        // Delay 0: every key starts afresh.
        testdb::setKeyPressDelay(0);
        QCOMPARE(typeIn("cmbState", Qt::Key_M, 5), "MA");
        QCOMPARE(typeIn("cmbState", Qt::Key_I, 0), "IA");
    }

    // The labour tab lists the job's bookings by date, then last and first
    // name, with their total; activating a line opens that booking in the
    // time entry screen, in front.
    void laborTabListsBookingsAndOpensThem()
    {
        const qint64 id = addWip("Labor");
        const qint64 other = addWip("Idle");
        auto person = [](const char *first, const char *last) {
            return testdb::insertRow(
                "Employee", { { "FirstName", first }, { "LastName", last }, { "Inactive", false } });
        };
        auto book = [&](qint64 wip, qint64 employee, int days, double hours) {
            return testdb::insertRow("EmployeeTime",
                { { "EmployeeID", employee }, { "WIPID", wip }, { "TranDate", daysFromNow(days) },
                    { "Hours", hours } });
        };
        book(id, person("Zed", "Young"), -1, 1.5);
        book(id, person("Amy", "Young"), -1, 2);
        const qint64 first = book(id, person("Bo", "Adams"), -3, 0.25);
        book(other + 1, 1, -2, 8);
        testdb::logIn(1, "admin", "Admin");
        MDI mdi(testdb::context(), screenRegistry());
        mdi.show();
        auto *screen = qobject_cast<frmWIPEntry *>(mdi.showScreen("frmWIPEntry"));
        QVERIFY(screen);
        auto *grid = screen->findChild<GridWidget *>("vsfgTime");
        auto *total = screen->findChild<QLabel *>("lblTotalHours");
        screen->LoadWIP(QString::number(other));
        QCOMPARE(grid->rows(), 1);
        QCOMPARE(total->text(), "0.00");

        screen->LoadWIP(QString::number(id));
        QStringList lines;
        for (int r = 1; r < grid->rows(); ++r)
            lines << grid->textMatrix(r, 2) + " " + grid->gridModel()->displayText(r, 3);
        QCOMPARE(lines, (QStringList { "Adams, Bo 0.25", "Young, Amy 2.00", "Young, Zed 1.50" }));
        QCOMPARE(grid->textMatrix(0, 2), "Employee");
        QCOMPARE(total->text(), "3.75");

        QVERIFY(grid->setRow(1));
        QTest::keyClick(grid, Qt::Key_Return);
        QWidget *entry = mdi.findScreen("frmTimeEntry");
        QVERIFY(entry);
        QCOMPARE(entry->findChild<QLabel *>("lblID")->text(), QString::number(first));
        QCOMPARE(mdi.area()->activeSubWindow()->widget(), entry);
    }

    // The menu entry (its permission and single instance are the main
    // window's) opens this screen; the navigator's way in finds the same one.
    void menuEntryAndNavigatorShareOneScreen()
    {
        testdb::logIn(1, "admin", "Admin");
        MDI mdi(testdb::context(), screenRegistry());
        auto *entry = mdi.findChild<QAction *>("mnuWIPEntry");
        QVERIFY(entry);
        entry->trigger();
        QWidget *screen = mdi.findScreen("frmWIPEntry");
        QVERIFY(qobject_cast<frmWIPEntry *>(screen));
        auto *shownScreen = qobject_cast<frmWIPEntry *>(mdi.showScreen("frmWIPEntry"));
        QCOMPARE(static_cast<QWidget *>(shownScreen), screen);
        shownScreen->LoadWIP(QString::number(addWip("Nav")));
        QCOMPARE(screen->findChild<QComboBox *>("cmbCustomer")->currentText(), "Nav");
        QTest::mouseClick(screen->findChild<QPushButton *>("btnExit"), Qt::LeftButton);
        QTRY_VERIFY(!mdi.findScreen("frmWIPEntry"));
    }
};

QTEST_MAIN(TestWipEntry)
#include "tst_wipentry.moc"
