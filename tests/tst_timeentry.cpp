// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "shell/ui/MDI.h"
#include "staff/TimeEntry.h"
#include "staff/ui/frmTimeEntry.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));
const QString kRequired = "Required Information: You must enter an employee, hours, and WIP before saving.";

qint64 addEmployee(const QString &first, const QString &last, bool inactive = false)
{
    return testdb::insertRow("Employee",
        { { "FirstName", first }, { "LastName", last }, { "Inactive", inactive }, { "Username", first.toLower() } });
}

qint64 addWip(const QString &customer, const QString &status = "Open")
{
    return testdb::insertRow("WIP", { { "Customer", customer }, { "JobType", "Water" }, { "Status", status } });
}

qint64 addBooking(qint64 employee, qint64 wip, double hours)
{
    return testdb::insertRow("EmployeeTime",
        { { "EmployeeID", employee }, { "WIPID", wip }, { "TranDate", kNow.addDays(-2) }, { "Hours", hours } });
}

int bookings()
{
    return testdb::scalar("SELECT COUNT(*) FROM EmployeeTime").toInt();
}

} // namespace

class TestTimeEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QPointer<frmTimeEntry> m_screen;
    qint64 m_ann = 0, m_job = 0;

    frmTimeEntry *open()
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        QApplication::setActiveWindow(m_mdi.get());
        m_screen = qobject_cast<frmTimeEntry *>(m_mdi->showScreen("frmTimeEntry"));
        if (!m_screen)
            qFatal("the time entry screen did not open");
        return m_screen;
    }
    template <typename T = QWidget> T *child(const char *name) { return findControl<T>(m_screen, name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    QString label(const char *name) { return child<QLabel>(name)->text(); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void pick(const char *name, const QString &text)
    {
        const int index = combo(name)->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        combo(name)->setCurrentIndex(index);
    }
    // Types the hours and leaves the box, as the user does.
    void typeHours(const QString &text)
    {
        QLineEdit *hours = child<QLineEdit>("txtHours");
        hours->setFocus();
        hours->setText(text);
        emit hours->editingFinished();
    }
    // Fills the form; `skip` names a choice left empty.
    void fill(const QString &hours, const QString &skip = {})
    {
        if (skip != u"cmbEmployee")
            pick("cmbEmployee", "Smith, Ann");
        else
            combo("cmbEmployee")->setCurrentIndex(-1); // the logged-in clerk is preselected
        if (skip != u"cmbWIP")
            pick("cmbWIP", QStringLiteral("Hale - %1").arg(m_job));
        typeHours(hours);
    }
    QVariant stored(const char *column, qint64 id)
    {
        return testdb::scalar(QStringLiteral("SELECT %1 FROM EmployeeTime WHERE ID = ?").arg(column), { id });
    }

private slots:
    void init()
    {
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        m_ann = addEmployee("Ann", "Smith");
        m_job = addWip("Hale");
        testdb::logIn(0, "clerk", "Admin");
    }
    void cleanup()
    {
        m_mdi.reset();
        m_db.reset();
    }

    // Active employees and open jobs are listed; the logged-in user is
    // preselected by ID, also when a namesake comes first in the list.
    void listsAndTheUserPreselected()
    {
        const qint64 first = addEmployee("Bob", "Jones");
        const qint64 second = addEmployee("Bob", "Jones");
        addEmployee("Old", "Timer", true);
        addWip("Archer", "Closed");
        const qint64 abbot = addWip("Abbot");
        testdb::logIn(second, "bob", "Admin");
        open();
        // The clerk of init() is an employee too.
        const QString clerk = testdb::scalar("SELECT ID FROM Employee WHERE Username = ?", { "clerk" }).toString();
        QCOMPARE(itemTexts(combo("cmbEmployee")),
            (QStringList { "Jones, Bob", "Jones, Bob", "Session, clerk", "Smith, Ann" }));
        QCOMPARE(itemTexts(combo("cmbEmployeeID")),
            (QStringList { QString::number(first), QString::number(second), clerk, QString::number(m_ann) }));
        QCOMPARE(itemTexts(combo("cmbWIP")),
            (QStringList { QStringLiteral("Abbot - %1").arg(abbot), QStringLiteral("Hale - %1").arg(m_job) }));
        QCOMPARE(combo("cmbEmployeeID")->currentText(), QString::number(second));
        QCOMPARE(combo("cmbWIP")->currentIndex(), -1);
        QCOMPARE(child<QDateTimeEdit>("dtStartDate")->dateTime(), kNow);

        // New empties the choice; the user is not preselected again.
        click("btnNew");
        QCOMPARE(combo("cmbEmployee")->currentIndex(), -1);
    }

    // Whoever may open the screen books hours for every active employee
    // (the office enters the crew's hours), without "Employee Time Manager".
    void everyActiveEmployeeIsOffered()
    {
        const qint64 clerk = addEmployee("Cy", "Clerk");
        TestDb::grant(int(clerk), "Employee Time Entry/Edit");
        addEmployee("Old", "Timer", true);
        testdb::logIn(clerk, "cy", "User");
        open();
        QCOMPARE(itemTexts(combo("cmbEmployee")), (QStringList { "Clerk, Cy", "Session, clerk", "Smith, Ann" }));
        QCOMPARE(combo("cmbEmployeeID")->currentText(), QString::number(clerk));
        // And saves a booking for another.
        fill("3");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::scalar("SELECT EmployeeID FROM EmployeeTime").toLongLong(), m_ann);
    }

    // Hours in the user's form, "#,##0.00" once the box is left; what is
    // missing or no number of hours from 0 to 24 is refused, and the hours
    // box gets the focus.
    void savingChecksTheEntry_data()
    {
        columns<QString, QString, QString, QString, QVariant>({ "typed", "skip", "shown", "message", "stored" });
        const QString range = "Invalid Hours: Hours must be between 0 and 24 for one entry.";
        const QString numeric = "Required Information: Hours must be numeric.";
        row("7.5", "7.5", "", "7.50", "", QVariant(7.5));
        row("whole day", "24", "", "24.00", "", QVariant(24.0));
        row("zero", "0", "", "0.00", "", QVariant(0.0));
        row("letters", "abc", "", "abc", numeric, QVariant());
        row("infinity", "inf", "", "inf", numeric, QVariant());
        row("empty", "", "", "", kRequired, QVariant());
        row("negative", "-8", "", "-8.00", range, QVariant());
        row("too many", "80", "", "80.00", range, QVariant());
        row("no employee", "2", "cmbEmployee", "2.00", kRequired, QVariant());
        row("no job", "2", "cmbWIP", "2.00", kRequired, QVariant());
    }
    void savingChecksTheEntry()
    {
        QFETCH(QString, typed);
        QFETCH(QString, skip);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QFETCH(QVariant, stored);
        open();
        fill(typed, skip);
        QCOMPARE(child<QLineEdit>("txtHours")->text(), shown);
        click("btnSave");
        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        QCOMPARE(bookings(), stored.isValid() ? 1 : 0);
        if (stored.isValid())
            QCOMPARE(this->stored("Hours", label("lblID").toLongLong()).toDouble(), stored.toDouble());
        else
            QTRY_VERIFY(child(skip.isEmpty() ? "txtHours" : qPrintable(skip))->hasFocus());
    }

    // A booking stored with hours outside 0 to 24 (a correction of -2 h
    // carried over from the old program) saves while the hours stay as
    // loaded, to mend its note, say; hours typed anew are checked.
    void storedHoursOutOfRange_data()
    {
        columns<double, QString, QString, double>({ "loaded", "typed", "message", "saved" });
        const QString range = "Invalid Hours: Hours must be between 0 and 24 for one entry.";
        row("-2 left as it is", -2.0, QString(), QString(), -2.0);
        row("-2 typed again", -2.0, QStringLiteral("-2"), QString(), -2.0);
        row("another wrong value", -2.0, QStringLiteral("-3"), range, -2.0);
        row("mended", -2.0, QStringLiteral("2"), QString(), 2.0);
    }
    void storedHoursOutOfRange()
    {
        QFETCH(double, loaded);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(double, saved);
        const qint64 id = addBooking(m_ann, m_job, loaded);
        open()->LoadTime(QString::number(id));
        QCOMPARE(child<QLineEdit>("txtHours")->text(), staff::formatHours(loaded));
        if (!typed.isEmpty())
            typeHours(typed);
        child<QPlainTextEdit>("txtNotes")->setPlainText("Mended");
        click("btnSave");
        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        QCOMPARE(stored("Hours", id).toDouble(), saved);
        QCOMPARE(stored("Notes", id).toString(), message.isEmpty() ? "Mended" : "");
    }

    // A booking whose job is closed, or whose employee left, shows them
    // appended and locked; another booking of the same closed job finds it
    // listed; New unlocks the choices and keeps what was appended.
    void closedJobAndFormerEmployeeAreAppended()
    {
        const qint64 closed = addWip("Byrne", "Closed");
        const qint64 former = addEmployee("Old", "Timer", true);
        const qint64 first = addBooking(former, closed, 4);
        const qint64 second = addBooking(m_ann, closed, 2);
        open()->LoadTime(QString::number(first));
        QCOMPARE(label("lblID"), QString::number(first));
        QCOMPARE(combo("cmbWIP")->currentText(), QStringLiteral("Byrne - %1").arg(closed));
        QCOMPARE(combo("cmbWIPID")->currentText(), QString::number(closed));
        QCOMPARE(combo("cmbEmployee")->currentText(), "Timer, Old");
        QCOMPARE(child<QLineEdit>("txtHours")->text(), "4.00");
        QVERIFY(!combo("cmbWIP")->isEnabled());
        QVERIFY(!combo("cmbEmployee")->isEnabled());

        m_screen->LoadTime(QString::number(second));
        QVERIFY(combo("cmbWIP")->isEnabled());
        QCOMPARE(combo("cmbWIP")->count(), 2);
        QCOMPARE(combo("cmbEmployee")->currentText(), "Smith, Ann");

        m_screen->LoadTime(QString::number(first));
        click("btnNew");
        QVERIFY(combo("cmbWIP")->isEnabled() && combo("cmbEmployee")->isEnabled());
        QCOMPARE(combo("cmbEmployee")->count(), 3); // with init()'s clerk
        QCOMPARE(label("lblID"), QString());
        // An ID with no row empties the form.
        m_screen->LoadTime(QString::number(first));
        m_screen->LoadTime("99999");
        QCOMPARE(label("lblID"), QString());
        QVERIFY(shownMessages().isEmpty());
    }

    void deleteAsksPermissionAndConfirmation_data()
    {
        columns<bool, QMessageBox::StandardButton, QStringList, int>({ "granted", "answer", "messages", "left" });
        const QString refused = "Invalid Permission: You do not have permission to delete this record. (!)";
        const QString confirm
            = "Delete Confirmation: Are you sure you want to permanently delete this Entry? (buttons)";
        row("no permission", false, QMessageBox::Yes, QStringList { refused }, 1);
        row("answer no", true, QMessageBox::No, QStringList { confirm }, 1);
        row("answer yes", true, QMessageBox::Yes, QStringList { confirm }, 0);
    }
    void deleteAsksPermissionAndConfirmation()
    {
        QFETCH(bool, granted);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, left);
        const qint64 user = TestDb::addEmployee("clerk", "pw");
        TestDb::grant(int(user), "Employee Time Manager");
        if (granted)
            TestDb::grant(int(user), "Delete Employee Time");
        testdb::logIn(user, "clerk", "User");
        const qint64 id = addBooking(m_ann, m_job, 1);
        open()->LoadTime(QString::number(id));
        Messages::setNextAnswer(answer);
        click("btnDelete");
        QCOMPARE(shownMessages(), messages);
        QCOMPARE(bookings(), left);
        QCOMPARE(label("lblID"), left ? QString::number(id) : QString());
    }

    // Leaving unsaved changes, by Exit or by opening another booking, asks:
    // Yes saves, No drops them, Cancel stays on them.
    void unsavedChangesAreOffered_data()
    {
        columns<bool, QMessageBox::StandardButton, double, bool>({ "byExit", "answer", "stored", "stays" });
        row("exit, yes", true, QMessageBox::Yes, 6.0, false);
        row("exit, no", true, QMessageBox::No, 1.0, false);
        row("exit, cancel", true, QMessageBox::Cancel, 1.0, true);
        row("load, yes", false, QMessageBox::Yes, 6.0, false);
        row("load, cancel", false, QMessageBox::Cancel, 1.0, true);
    }
    void unsavedChangesAreOffered()
    {
        QFETCH(bool, byExit);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(double, stored);
        QFETCH(bool, stays);
        const qint64 id = addBooking(m_ann, m_job, 1);
        const qint64 other = addBooking(m_ann, m_job, 2);
        open()->LoadTime(QString::number(id));
        typeHours("1"); // the same value: nothing to ask about
        m_screen->LoadTime(QString::number(id));
        QVERIFY(shownMessages().isEmpty());
        typeHours("6");
        Messages::setNextAnswer(answer);
        if (byExit)
            click("btnExit");
        else
            m_screen->LoadTime(QString::number(other));
        QCOMPARE(shownMessages(),
            QStringList { "Employee Time Entry: Do you want to save the changes to this time entry? (buttons)" });
        QCOMPARE(this->stored("Hours", id).toDouble(), stored);
        QTRY_COMPARE(m_screen.isNull(), byExit && !stays);
        if (stays)
            QCOMPARE(child<QLineEdit>("txtHours")->text(), "6.00");
        else if (!byExit)
            QCOMPARE(label("lblID"), QString::number(other));
    }

    // A database error is reported, nothing is written and the input stays.
    // A save stamps the day without its time, TranDate keeps the time of day
    // the form was opened at, and a second save updates the same row.
    void savingTwiceUpdatesOneRow()
    {
        open();
        fill("7.5");
        child<QPlainTextEdit>("txtNotes")->setPlainText("Tear-out");
        data::failNextStatementContaining("INSERT INTO EmployeeTime");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList { "Database Error: Error 50000: Injected failure" });
        QCOMPARE(bookings(), 0);
        QCOMPARE(child<QLineEdit>("txtHours")->text(), "7.50");
        QCOMPARE(label("lblID"), QString());

        click("btnSave");
        const qint64 id = label("lblID").toLongLong();
        QCOMPARE(stored("TranDate", id).toDateTime(), kNow);
        QCOMPARE(stored("EnteredDate", id).toDateTime(), QDateTime(kNow.date(), QTime(0, 0)));
        QCOMPARE(stored("Notes", id).toString(), "Tear-out");
        testdb::logIn(0, "boss", "Admin");
        typeHours("3.25");
        click("btnSave");
        QCOMPARE(bookings(), 1);
        QCOMPARE(stored("Hours", id).toDouble(), 3.25);
        QCOMPARE(stored("EditedBy", id).toString(), "boss");
        QCOMPARE(stored("EnteredBy", id).toString(), "clerk");
    }

    // Two users open the same booking and save it on one day, which the
    // stored EditedDate cannot tell apart: the second save is refused naming
    // the first user, the input stays, and a reload shows the first save,
    // which may then be saved over.
    void saveAfterSomeoneElseSavedIsRefused()
    {
        const qint64 id = addBooking(m_ann, m_job, 2);
        open();
        m_screen->LoadTime(QString::number(id));
        typeHours("5");

        data::Connection other;
        other.open(m_db->connectionString(), m_db->folder());
        std::optional<staff::TimeRecord> theirs = staff::loadTime(other, id);
        QVERIFY(theirs);
        theirs->hours = 3;
        staff::saveTime(other, *theirs, { "dave", kNow.addSecs(-60) });

        click("btnSave");
        QCOMPARE(shownMessages().size(), 1);
        QVERIFY2(shownMessages().first().startsWith(
                     QStringLiteral("Changed by Someone Else: Time entry %1 was changed by dave on %2")
                         .arg(id)
                         .arg(staff::generalDate(QDateTime(kNow.date(), QTime(0, 0))))),
            qPrintable(shownMessages().first()));
        QCOMPARE(stored("Hours", id).toDouble(), 3.0);
        QCOMPARE(stored("EditedBy", id).toString(), "dave");
        QCOMPARE(child<QLineEdit>("txtHours")->text(), "5.00");

        // Leaving the refused input asks first; No drops it.
        Messages::clearShown();
        Messages::setNextAnswer(QMessageBox::No);
        m_screen->LoadTime(QString::number(id));
        QCOMPARE(shownMessages().size(), 1);
        QCOMPARE(child<QLineEdit>("txtHours")->text(), "3.00");
        Messages::clearShown();
        typeHours("5");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(stored("Hours", id).toDouble(), 5.0);
        QCOMPARE(stored("EditedBy", id).toString(), "clerk");
        QCOMPARE(stored("RowVersion", id).toInt(), 2);
    }
};

QTEST_MAIN(TestTimeEntry)
#include "tst_timeentry.moc"
