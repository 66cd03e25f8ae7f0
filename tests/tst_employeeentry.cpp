// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Colors.h"
#include "base/Formats.h"
#include "base/Passwords.h"
#include "shell/Login.h"
#include "shell/ui/MDI.h"
#include "staff/EmployeeEntry.h"
#include "staff/ui/frmEmployeeEntry.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <memory>

namespace {

const QString kTaken
    = QStringLiteral("Username Exists: This username already exists.  Please choose a different username.");
const QString kRequired = QStringLiteral("Required Fields: First Name, Last Name, and Type are Required.");

qint64 typeId(const char *name)
{
    return testdb::scalar("SELECT ID FROM EmployeeType WHERE Name = ?", { QString::fromLatin1(name) }).toLongLong();
}

// An employee row; `more` adds or overrides columns.
qint64 addEmployee(const QString &first, const QString &last, const QString &username, data::Fields more = {})
{
    data::Fields fields { { "FirstName", first }, { "LastName", last }, { "Username", username },
        { "UserTypeID", typeId("User") }, { "Inactive", false } };
    for (const auto &field : more) {
        fields.removeIf([&](const auto &f) { return f.first == field.first; });
        fields << field;
    }
    return testdb::insertRow("Employee", fields);
}

// Permission names of an employee's rows, in the order they were inserted.
QStringList permissionRows(qint64 id)
{
    data::Rows q
        = testdb::exec("SELECT Permission.Name FROM UserPermission JOIN Permission"
                       " ON Permission.ID = UserPermission.PermissionID WHERE UserID = ? ORDER BY UserPermission.ID",
            { id });
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

} // namespace

class TestEmployeeEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<MDI> m_mdi;
    QPointer<frmEmployeeEntry> m_screen;

    template <typename T = QWidget> T *child(const char *name) { return findControl<T>(m_screen, name); }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(name); }
    QListWidget *list(const char *name) { return child<QListWidget>(name); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void choose(const char *name, int index)
    {
        combo(name)->setCurrentIndex(index);
        emit combo(name)->activated(index);
    }
    void pick(const char *name, const QString &text) { choose(name, combo(name)->findText(text)); }
    void pickEmployee(qint64 id) { choose("cmbName", combo("cmbEmployeeID")->findText(QString::number(id))); }
    // The screen, opened through the registry in an active main window.
    bool open()
    {
        testdb::logIn(1, "admin", "Admin");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        m_mdi->activateWindow();
        m_screen = qobject_cast<frmEmployeeEntry *>(m_mdi->openScreen("frmEmployeeEntry"));
        return m_screen && QTest::qWaitForWindowActive(m_mdi.get());
    }
    QVariant column(qint64 id, const char *name)
    {
        return testdb::scalar(QStringLiteral("SELECT %1 FROM Employee WHERE ID = ?").arg(QLatin1String(name)), { id });
    }

private slots:
    void cleanup() { m_mdi.reset(); }

    // First, last and type alone: every optional text stored empty (the
    // untouched phone masks too), Inactive false, stamped; then shown
    // selected. A phone typed in full keeps the mask's literals.
    void minimalEmployeeSavedAndShown()
    {
        JT_FRESH_DB(db);
        QVERIFY(open());
        edit("txtFirstName")->setText("Jane");
        edit("txtLastName")->setText("Doe");
        pick("cmbType", "Admin");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        const qint64 id = testdb::scalar("SELECT MAX(ID) FROM Employee").toLongLong();
        for (const char *name : { "MiddleName", "Address1", "Address2", "City", "State", "Zip", "Phone1", "Phone2",
                 "Fax", "Email", "Username", "Password" }) {
            const QVariant value = column(id, name);
            QVERIFY2(!value.isNull() && value.toString().isEmpty(), name);
        }
        QCOMPARE(column(id, "Inactive").toBool(), false);
        QCOMPARE(column(id, "EnteredBy").toString(), QStringLiteral("admin"));
        QCOMPARE(combo("cmbName")->currentText(), QStringLiteral("Doe, Jane"));
        QCOMPARE(m_screen->record().id, id);

        // Focus selects the whole mask, so typing fills it from the start.
        edit("txtPhone")->setFocus();
        QTRY_VERIFY(edit("txtPhone")->hasSelectedText());
        QTest::keyClicks(edit("txtPhone"), "2165550100");
        click("btnSave");
        QCOMPARE(column(id, "Phone1").toString(), QStringLiteral("(216) 555-0100"));
        QCOMPARE(column(id, "Phone2").toString(), QString());
    }

    // Two "Smith, Ann" look the same in the chooser; the hidden IDs tell
    // which one is loaded.
    void namesakesKeptApart()
    {
        JT_FRESH_DB(db);
        const qint64 first = addEmployee("Ann", "Smith", "asmith1");
        const qint64 second = addEmployee("Ann", "Smith", "asmith2");
        QVERIFY(open());
        // With the logged-in administrator, an employee too.
        QCOMPARE(itemTexts(combo("cmbName")), (QStringList { "Session, admin", "Smith, Ann", "Smith, Ann" }));
        for (qint64 id : { second, first }) {
            pickEmployee(id);
            QCOMPARE(edit("txtUsername")->text(), id == first ? QStringLiteral("asmith1") : QStringLiteral("asmith2"));
            QCOMPARE(m_screen->record().id, id);
        }
    }

    // "User" opens the lists (white); any other type closes them (button
    // face) and keeps their entries. Saved as "Admin", the permission rows go.
    void typeGovernsPermissions()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer");
        TestDb::grant(id, "Company Info");
        TestDb::grant(id, "WIPs Navigator");
        QVERIFY(open());
        pickEmployee(id);
        const QStringList granted = itemTexts(list("lstUserPermissions"));
        QCOMPARE(granted, (QStringList { "Company Info", "WIPs Navigator" }));
        const QColor white = Colors::toQColor(Colors::kWhite), face = Colors::toQColor(0x8000000Fu);
        for (const char *type : { "User", "Admin" }) {
            pick("cmbType", type);
            const bool user = qstrcmp(type, "User") == 0;
            for (const char *name : { "lstAllPermissions", "lstUserPermissions", "btnAdd", "btnRemoveAll" })
                QCOMPARE(child(name)->isEnabled(), user);
            QCOMPARE(list("lstUserPermissions")->palette().color(QPalette::Base), user ? white : face);
            QCOMPARE(itemTexts(list("lstUserPermissions")), granted);
        }
        click("btnSave");
        QCOMPARE(permissionRows(id), QStringList());
        pick("cmbType", "User");
        QCOMPARE(list("lstAllPermissions")->count(), testdb::scalar("SELECT COUNT(*) FROM Permission").toInt());
        QCOMPARE(list("lstUserPermissions")->count(), 0);
    }

    // Selected A and C (not B) arrive as C, A, their IDs beside them; the
    // save inserts the list from its end: A, then C.
    void movesReverseBlocksAndSaveInsertsFromTheEnd()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer");
        QVERIFY(open());
        pickEmployee(id);
        QListWidget *all = list("lstAllPermissions");
        const QStringList names = itemTexts(all);
        all->item(0)->setSelected(true);
        all->item(2)->setSelected(true);
        click("btnAdd");
        QCOMPARE(itemTexts(list("lstUserPermissions")), (QStringList { names[2], names[0] }));
        QCOMPARE(itemTexts(all).first(), names[1]);
        for (const char *pair : { "lstAllPermissions", "lstUserPermissions" }) {
            const QListWidget *shown = list(pair), *ids = list(qPrintable(QString::fromLatin1(pair) + "ID"));
            QCOMPARE(ids->count(), shown->count());
            for (int i = 0; i < ids->count(); ++i)
                QCOMPARE(
                    testdb::scalar("SELECT Name FROM Permission WHERE ID = ?", { ids->item(i)->text() }).toString(),
                    shown->item(i)->text());
        }
        click("btnSave");
        QCOMPARE(permissionRows(id), (QStringList { names[0], names[2] }));
        click("btnAddAll");
        QCOMPARE(itemTexts(list("lstUserPermissions")).mid(2, 2),
            (QStringList { names.last(), names.at(names.size() - 2) }));
    }

    // Leaving the user name: another employee's name, in any case, is
    // refused and emptied; the employee's own name and an empty one are not.
    void usernameCheck_data()
    {
        columns<QString, bool>({ "typed", "taken" });
        row("other's name, other case", QStringLiteral("KWHITFIELD"), true);
        row("own name", QStringLiteral("bmercer"), false);
        row("empty, as another without a login", QString(), false);
    }
    void usernameCheck()
    {
        QFETCH(QString, typed);
        QFETCH(bool, taken);
        JT_FRESH_DB(db);
        addEmployee("Kay", "Whitfield", "kwhitfield");
        addEmployee("No", "Login", "");
        const qint64 id = addEmployee("Bo", "Mercer", "");
        QVERIFY(open());
        pickEmployee(id);
        QLineEdit *box = edit("txtUsername");
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->setText(typed);
        QTest::keyClick(box, Qt::Key_Tab);
        QTRY_COMPARE(shownMessages(), taken ? QStringList { kTaken } : QStringList());
        QCOMPARE(box->text(), taken ? QString() : typed);
        QTRY_COMPARE(box->hasFocus(), taken);
        // Save asks again (the mouse on Save does not wait for the check).
        box->setText(QStringLiteral("kWhitField"));
        click("btnSave");
        QCOMPARE(column(id, "Username").toString(), QString());
    }

    // The password is stored as a hash the login accepts; a loaded
    // employee's box is empty, and leaving it so keeps the stored one.
    void passwordsHashedAndKept()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer");
        QVERIFY(open());
        pickEmployee(id);
        edit("txtPassword")->setText("first secret");
        click("btnSave");
        const QString stored = column(id, "Password").toString();
        QVERIFY(Passwords::isHash(stored));
        QVERIFY(Login::authenticate(testdb::connection(), "BMercer", "first secret"));
        QCOMPARE(edit("txtPassword")->text(), QString());
        edit("txtCity")->setText("Brackwell");
        click("btnSave");
        QCOMPARE(column(id, "Password").toString(), stored);
        edit("txtPassword")->setText("second");
        click("btnSave");
        QVERIFY(Login::authenticate(testdb::connection(), "bmercer", "second"));
        QVERIFY(!edit("txtPassword")->toolTip().isEmpty());
    }

    // A login that replaces a plain-text password by its hash while the
    // employee is open (it stamps nothing): a save without a new password
    // keeps the hash rather than writing the plain text back.
    void passwordRehashedMeanwhileIsKept()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer", { { "Password", "plain" } });
        QVERIFY(open());
        pickEmployee(id);
        QVERIFY(Login::authenticate(testdb::connection(), "bmercer", "plain"));
        const QString hashed = column(id, "Password").toString();
        QVERIFY(Passwords::isHash(hashed));
        edit("txtCity")->setText("Brackwell");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(column(id, "City").toString(), QStringLiteral("Brackwell"));
        QCOMPARE(column(id, "Password").toString(), hashed);
    }

    // Rights are raised only by an Admin: an editor of another type cannot
    // make an Admin, touch an Admin's login or type, touch the login of a
    // user holding a permission they lack (they could log in as that user),
    // or grant or take away a permission they do not hold; nobody demotes,
    // retires or blanks the login of the last Admin.
    void noEscalation_data()
    {
        QTest::addColumn<QString>("editorType");
        QTest::addColumn<QString>("target"); // "user", "peer" or "admin", the employee saved
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("secondAdmin");
        QTest::addColumn<QString>("refusal"); // part of the message; empty: saved
        const QString make = "can make an employee an administrator", touch = "change an administrator's";
        const QString notHeld = "you do not hold it", last = "last active administrator";
        const QString takeover = "of an employee who holds the permission \"Delete Employee Time\"";
        const auto row = [](const char *name, const char *editor, const char *target, const char *change,
                             bool secondAdmin, const QString &refusal) {
            QTest::newRow(name) << QString(editor) << QString(target) << QString(change) << secondAdmin << refusal;
        };
        row("user makes an admin", "User", "user", "type Admin", true, make);
        row("user sets an admin's password", "User", "admin", "password", true, touch);
        row("user renames an admin's login", "User", "admin", "username", true, touch);
        row("user retires an admin", "User", "admin", "inactive", true, touch);
        row("user edits an admin's address", "User", "admin", "city", true, {});
        row("user sets a stronger user's password", "User", "user", "password", true, takeover);
        row("user renames a stronger user's login", "User", "user", "username", true, takeover);
        row("user retires a stronger user", "User", "user", "inactive", true, takeover);
        row("user edits a stronger user's address", "User", "user", "city", true, {});
        row("user sets a peer's password", "User", "peer", "password", true, {});
        row("user grants what they hold", "User", "user", "grant WIPs Navigator", true, {});
        row("user grants what they lack", "User", "user", "grant Company Info", true, notHeld);
        row("user takes away what they lack", "User", "user", "revoke Delete Employee Time", true, notHeld);
        row("admin makes an admin", "Admin", "user", "type Admin", false, {});
        row("admin demotes the last admin", "Admin", "admin", "type User", false, last);
        row("admin retires the last admin", "Admin", "admin", "inactive", false, last);
        row("admin demotes one of two", "Admin", "admin", "type User", true, {});
        row("admin blanks the last admin's login", "Admin", "admin", "blank username", false, last);
        row("admin blanks one of two logins", "Admin", "admin", "blank username", true, {});
    }
    void noEscalation()
    {
        QFETCH(QString, editorType);
        QFETCH(QString, target);
        QFETCH(QString, change);
        QFETCH(bool, secondAdmin);
        QFETCH(QString, refusal);
        JT_FRESH_DB(db);
        const qint64 admin = addEmployee("Ada", "Root", "root", { { "UserTypeID", typeId("Admin") } });
        if (secondAdmin)
            addEmployee("Abe", "Root", "root2", { { "UserTypeID", typeId("Admin") } });
        const qint64 user = addEmployee("Bo", "Mercer", "bmercer");
        TestDb::grant(user, "Delete Employee Time");
        const qint64 peer = addEmployee("Cy", "Mercer", "cmercer");
        TestDb::grant(peer, "WIPs Navigator");
        // An Admin edits as the first Admin (on the last-Admin rows, their own record).
        qint64 editorId = admin;
        if (editorType == u"User") {
            editorId = addEmployee("Kay", "Whit", "kwhit");
            for (const char *held : { "Employee Entry/Edit", "WIPs Navigator" })
                TestDb::grant(editorId, held);
        }
        data::Connection &c = testdb::connection();

        const qint64 id = target == u"admin" ? admin : target == u"peer" ? peer : user;
        EmployeeEntry::Employee e = *EmployeeEntry::loadEmployee(c, id);
        QList<qint64> permissions;
        for (const EmployeeEntry::Choice &p : EmployeeEntry::loadPermissions(c, id).granted)
            permissions << p.id;
        const QString argument = change.section(' ', 1);
        const qint64 named = testdb::scalar("SELECT ID FROM Permission WHERE Name = ?", { argument }).toLongLong();
        QString password;
        if (change.startsWith("type")) {
            e.userTypeId = typeId(argument.toLatin1().constData());
            e.userType = argument;
        } else if (change == u"password") {
            password = "new secret";
        } else if (change == u"username") {
            e.username = "someone";
        } else if (change == u"blank username") {
            e.username = " ";
        } else if (change == u"inactive") {
            e.inactive = true;
        } else if (change == u"city") {
            e.city = "Brackwell";
        } else if (change.startsWith("grant")) {
            permissions << named;
        } else {
            permissions.removeAll(named);
        }
        const QString before = column(id, "RowVersion").toString() + column(id, "Password").toString();
        const std::variant<qint64, FieldProblem> saved = EmployeeEntry::save(c, e, password, permissions,
            EmployeeEntry::loadEditor(c, editorId), { "kwhit", QDateTime::currentDateTime() });
        const auto *problem = std::get_if<FieldProblem>(&saved);
        const QString said = problem ? problem->text : QString();
        if (refusal.isEmpty()) {
            QVERIFY2(!problem, qPrintable(said));
            return;
        }
        QVERIFY2(said.contains(refusal), qPrintable(said));
        // Nothing written: the row and the permissions are as they were.
        QCOMPARE(column(id, "RowVersion").toString() + column(id, "Password").toString(), before);
        QCOMPARE(permissionRows(user), QStringList { "Delete Employee Time" });
    }

    // Two Admins demote each other at the same moment, each on their own
    // connection: the second save waits for the first and then finds its
    // target the last Admin.
    void lastAdminHoldsUnderConcurrentDemotions()
    {
        JT_FRESH_DB(db);
        const qint64 ada = addEmployee("Ada", "Root", "root", { { "UserTypeID", typeId("Admin") } });
        const qint64 abe = addEmployee("Abe", "Root", "root2", { { "UserTypeID", typeId("Admin") } });
        const qint64 user = typeId("User");
        const data::Stamp stamp { "root", QDateTime::currentDateTime() };
        const auto demote = [&](data::Connection &on, qint64 id, qint64 editor) {
            EmployeeEntry::Employee e = *EmployeeEntry::loadEmployee(on, id);
            e.userTypeId = user;
            e.userType = "User";
            const auto saved = EmployeeEntry::save(on, e, {}, {}, EmployeeEntry::loadEditor(on, editor), stamp);
            const auto *problem = std::get_if<FieldProblem>(&saved);
            return problem ? problem->text : QStringLiteral("saved");
        };
        data::Connection &c = testdb::connection();
        QString second;
        {
            data::Transaction first(c);
            QCOMPARE(demote(c, abe, ada), QStringLiteral("saved"));
            std::unique_ptr<QThread> other(QThread::create([&] {
                try {
                    data::Connection on;
                    on.open(db.connectionString(), db.folder());
                    second = demote(on, ada, abe);
                } catch (const std::exception &e) {
                    second = QString::fromUtf8(e.what());
                }
            }));
            other->start();
            // Time for the other save to reach the Admins' rows and wait there.
            other->wait(QDeadlineTimer(1000));
            first.commit();
            QVERIFY(other->wait(QDeadlineTimer(30000)));
        }
        QVERIFY2(second.contains("last active administrator"), qPrintable(second));
        QCOMPARE(column(ada, "UserTypeID").toLongLong(), typeId("Admin"));
    }

    // A type and a state the lists lack: shown with empty choosers and no
    // word; saving then asks for a type, and the state is kept.
    void unlistedTypeAndState()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer", { { "UserTypeID", 99 }, { "State", "ZZ" } });
        QVERIFY(open());
        pickEmployee(id);
        QCOMPARE(combo("cmbType")->currentIndex(), -1);
        QCOMPARE(combo("cmbState")->currentIndex(), -1);
        QCOMPARE(edit("txtFirstName")->text(), QStringLiteral("Bo"));
        QCOMPARE(shownMessages(), QStringList());
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList { kRequired });
        QCOMPARE(column(id, "UserTypeID").toInt(), 99);
        pick("cmbType", "User");
        click("btnSave");
        QCOMPARE(column(id, "UserTypeID").toLongLong(), typeId("User"));
        QCOMPARE(column(id, "State").toString(), QStringLiteral("ZZ"));
    }

    // A failure part-way leaves the employee and its permissions as they
    // were; a new employee numbered past 32,767 is refused.
    void saveIsAllOrNothing()
    {
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer");
        TestDb::grant(id, "Company Info");
        QVERIFY(open());
        pickEmployee(id);
        edit("txtCity")->setText("Elsewhere");
        click("btnRemoveAll");
        data::failNextStatementContaining("DELETE FROM UserPermission");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList { "Database Error: Error 50000: Injected failure" });
        QCOMPARE(column(id, "City").toString(), QString());
        QCOMPARE(permissionRows(id), QStringList { "Company Info" });

        data::Connection &c = testdb::connection();
        const QString on = c.dialect().identityInsert("Employee", true), reset = c.dialect().resetIdentity("Employee");
        if (!on.isEmpty())
            c.exec(on);
        testdb::exec("INSERT INTO Employee (ID, FirstName, LastName) VALUES (32767, 'Last', 'Number')");
        if (!on.isEmpty())
            c.exec(c.dialect().identityInsert("Employee", false));
        if (!reset.isEmpty())
            c.exec(reset);
        Messages::clearShown();
        click("btnNew");
        edit("txtFirstName")->setText("One");
        edit("txtLastName")->setText("Toomany");
        pick("cmbType", "User");
        click("btnSave");
        QCOMPARE(shownMessages().size(), 1);
        QVERIFY(shownMessages().first().contains("32,767"));
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM Employee WHERE LastName = 'Toomany'").toInt(), 0);
    }

    // Two users open the same employee (never saved by the program, or
    // saved before); the first saves. The second's save is refused naming
    // who and when, writes nothing and leaves the input on the screen; a
    // reload shows the first save, which may then be saved over.
    void saveAfterSomeoneElseSavedIsRefused_data()
    {
        QTest::addColumn<data::Fields>("stamp");
        QTest::newRow("never stamped") << data::Fields {};
        QTest::newRow("stamped before") << data::Fields { { "EditedBy", "carol" },
            { "EditedDate", QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15, 250)) } };
    }
    void saveAfterSomeoneElseSavedIsRefused()
    {
        QFETCH(data::Fields, stamp);
        JT_FRESH_DB(db);
        const qint64 id = addEmployee("Bo", "Mercer", "bmercer", stamp);
        TestDb::grant(id, "Company Info");
        QVERIFY(open());
        pickEmployee(id);
        edit("txtCity")->setText("Mine");
        click("btnAddAll");

        data::Connection other;
        other.open(db.connectionString(), db.folder());
        std::optional<EmployeeEntry::Employee> theirs = EmployeeEntry::loadEmployee(other, id);
        QVERIFY(theirs);
        theirs->city = "Theirs";
        const QDateTime when = QDateTime::currentDateTime().addSecs(-60);
        const qint64 permission
            = testdb::scalar("SELECT ID FROM Permission WHERE Name = 'WIPs Navigator'").toLongLong();
        QVERIFY(std::holds_alternative<qint64>(
            EmployeeEntry::save(other, *theirs, {}, { permission }, { true, {} }, { "dave", when })));

        click("btnSave");
        QCOMPARE(shownMessages().size(), 1);
        QVERIFY2(shownMessages().first().startsWith(
                     QStringLiteral("Changed by Someone Else: Employee %1 was changed by dave on %2")
                         .arg(id)
                         .arg(Formats::dateTime(when))),
            qPrintable(shownMessages().first()));
        QCOMPARE(column(id, "City").toString(), QStringLiteral("Theirs"));
        QCOMPARE(permissionRows(id), QStringList { "WIPs Navigator" });
        QCOMPARE(edit("txtCity")->text(), QStringLiteral("Mine"));
        QCOMPARE(list("lstAllPermissions")->count(), 0);

        Messages::clearShown();
        pickEmployee(id);
        QCOMPARE(edit("txtCity")->text(), QStringLiteral("Theirs"));
        QCOMPARE(list("lstUserPermissions")->count(), 1);
        edit("txtCity")->setText("Mine");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(column(id, "City").toString(), QStringLiteral("Mine"));
        QCOMPARE(column(id, "EditedBy").toString(), QStringLiteral("admin"));
    }
};

QTEST_MAIN(TestEmployeeEntry)
#include "tst_employeeentry.moc"
