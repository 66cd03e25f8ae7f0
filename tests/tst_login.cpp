// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Passwords.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "shell/Login.h"
#include "shell/ui/MDI.h"
#include "shell/ui/frmLogin.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString kRefused = QStringLiteral("Invalid Username/Password: Your username and/or password is invalid. (!)");

QString storedPassword(int id)
{
    return testdb::scalar(QStringLiteral("SELECT Password FROM Employee WHERE ID = ?"), { id }).toString();
}

// Puts the password back as typed, the way rows from before hashing hold it.
void makeLegacy(int id, const QString &password)
{
    testdb::exec(QStringLiteral("UPDATE Employee SET Password = ? WHERE ID = ?"), { password, id });
}

// KWhitfield, O'Neil, kay with a legacy plain-text password, and the
// employees that must never log in: inactive, Inactive NULL, and a field hand
// without a login (empty user name and password).
int addStaff()
{
    const int kw = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
    TestDb::addEmployee(QStringLiteral("O'Neil"), QStringLiteral("pw"));
    makeLegacy(TestDb::addEmployee(QStringLiteral("kay"), QStringLiteral("unused")), QStringLiteral("letmein"));
    TestDb::addEmployee(QStringLiteral("gone"), QStringLiteral("pw"), QStringLiteral("User"), true);
    const int unset = TestDb::addEmployee(QStringLiteral("unset"), QStringLiteral("pw"));
    testdb::exec(QStringLiteral("UPDATE Employee SET Inactive = NULL WHERE ID = ?"), { unset });
    testdb::exec(QStringLiteral("INSERT INTO Employee (FirstName, LastName, Username, Password, Inactive)"
                                " VALUES ('Field', 'Hand', '', '', ?)"),
        { false });
    return kw;
}

void loginRow(const char *name, const QString &username, const QString &password, const QString &result = {})
{
    QTest::newRow(name) << username << password << result;
}

// The main window locked for login, with the login screen open in it.
struct LoginWindow
{
    std::unique_ptr<MDI> mdi;
    frmLogin *form = nullptr;
    QLineEdit *username = nullptr;
    QLineEdit *password = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    QTimer *delay = nullptr;

    bool open()
    {
        mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        mdi->show();
        mdi->lockForLogin();
        mdi->openLogin();
        form = qobject_cast<frmLogin *>(mdi->findScreen(QStringLiteral("frmLogin")));
        if (!form)
            return false;
        username = form->findChild<QLineEdit *>(QStringLiteral("txtUsername"));
        password = form->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        ok = form->findChild<QPushButton *>(QStringLiteral("btnLogin"));
        cancel = form->findChild<QPushButton *>(QStringLiteral("btnCancel"));
        delay = form->findChild<QTimer *>(QStringLiteral("tmrDelay"));
        return username && password && ok && cancel && delay && QTest::qWaitForWindowActive(mdi.get());
    }

    void type(const QString &user, const QString &pass)
    {
        username->clear();
        password->clear();
        QTest::keyClicks(username, user);
        QTest::keyClicks(password, pass);
    }

    void attempt(const QString &user, const QString &pass)
    {
        type(user, pass);
        QTest::mouseClick(ok, Qt::LeftButton);
    }

    bool loginOpen() const { return mdi->findScreen(QStringLiteral("frmLogin")) != nullptr; }
    bool unlocked() const { return mdi->findChild<QAction *>(QStringLiteral("mnuWIPEntry"))->isEnabled(); }
    bool waiting() const
    {
        return delay->isActive() && !username->isEnabled() && !password->isEnabled() && !ok->isEnabled()
            && cancel->isEnabled();
    }
};

#define OPEN_LOGIN(w)                                                                                                  \
    LoginWindow w;                                                                                                     \
    QVERIFY(w.open())

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetTestState(); }

    // ---- the lookup

    void login_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("loggedInAs"); // empty: refused
        loginRow("as stored", "KWhitfield", "Secret 1", "KWhitfield");
        loginRow("user name in another case", "kWHITFIELD", "Secret 1", "KWhitfield");
        loginRow("blanks around both", "  KWhitfield ", " Secret 1  ", "KWhitfield");
        loginRow("user name with a quote", "O'Neil", "pw", "O'Neil");
        loginRow("legacy plain-text password", "kay", " letmein ", "kay");
        loginRow("legacy, wrong password", "kay", "letmeout");
        loginRow("password in another case", "KWhitfield", "secret 1");
        loginRow("wrong password", "KWhitfield", "Secret");
        loginRow("unknown user", "nobody", "Secret 1");
        loginRow("inactive", "gone", "pw");
        loginRow("inactive is NULL", "unset", "pw");
        loginRow("quote in user name", "o'neil", "pw' OR '1'='1");
        loginRow("quote trick on a real user", "KWhitfield' --", "anything");
        loginRow("quote trick in both", "KWhitfield' OR '1'='1", "x' OR '1'='1");
        loginRow("blanks only", "   ", "   ");
        loginRow("employee without a login", " ", "x");
    }

    // One attempt through the screen, sent with Enter from the password box.
    // Refused: the message, both boxes cleared, focus on the user name and the
    // attempt logged for nobody. Accepted: logged in as stored (a legacy
    // password is a hash from now on), the stored user name in panel 1 and
    // every entry enabled.
    void login()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, loggedInAs);
        JT_FRESH_DB(db);
        const int kw = addStaff();
        OPEN_LOGIN(w);
        QSignalSpy spy(w.form, &frmLogin::loggedIn);
        w.type(username, password);
        QTest::keyClick(w.password, Qt::Key_Return);
        if (loggedInAs.isEmpty()) {
            QCOMPARE(shownMessages(), QStringList { kRefused });
            QCOMPARE(w.username->text(), QString());
            QCOMPARE(w.password->text(), QString());
            QVERIFY(w.username->hasFocus());
            QCOMPARE(employeeLog(), (QList<LogRow> { { 0, QStringLiteral("Login") } }));
            QCOMPARE(testdb::context().UserID(), qint16(0));
            QVERIFY(testdb::context().Username().isEmpty());
            QVERIFY(w.loginOpen());
            QVERIFY(!w.unlocked());
            QCOMPARE(spy.size(), 0);
            return;
        }
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::context().Username(), loggedInAs);
        QCOMPARE(testdb::context().UserType(), QStringLiteral("User"));
        if (loggedInAs == u"KWhitfield")
            QCOMPARE(testdb::context().UserID(), qint16(kw));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(employeeLog(), (QList<LogRow> { { testdb::context().UserID(), QStringLiteral("Login") } }));
        QVERIFY(Passwords::isHash(storedPassword(testdb::context().UserID())));
        QTRY_VERIFY(!w.loginOpen());
        QCOMPARE(w.mdi->findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), loggedInAs);
        QVERIFY(w.unlocked());
    }

    // Two logins that differ only in case: each password finds its own row. A
    // type that no longer exists logs in without one (so without the bypass).
    void sameNameInTwoCasesAndMissingType()
    {
        JT_FRESH_DB(db);
        const int lower = TestDb::addEmployee(QStringLiteral("sam"), QStringLiteral("first"));
        const int upper = TestDb::addEmployee(QStringLiteral("Sam"), QStringLiteral("second"), QStringLiteral("Admin"));
        auto user = Login::authenticate(testdb::connection(), QStringLiteral("SAM"), QStringLiteral("second"));
        QVERIFY(user);
        QCOMPARE(user->id, upper);
        QCOMPARE(user->userType, QStringLiteral("Admin"));
        user = Login::authenticate(testdb::connection(), QStringLiteral("SAM"), QStringLiteral("first"));
        QVERIFY(user);
        QCOMPARE(user->id, lower);

        testdb::exec(QStringLiteral("UPDATE Employee SET UserTypeID = 999 WHERE ID = ?"), { upper });
        user = Login::authenticate(testdb::connection(), QStringLiteral("Sam"), QStringLiteral("second"));
        QVERIFY(user);
        QCOMPARE(user->userType, QString());
    }

    // A row from an older installation holds its password as typed: it logs
    // in once, is a hash afterwards, and nothing else of the row changes. A
    // rewrite that fails (a narrow column, no UPDATE right) still lets the
    // user in, even inside a transaction of the caller, and leaves the row
    // for the next login.
    void plainTextPasswordBecomesHash()
    {
        JT_FRESH_DB(db);
        const QDateTime edited(QDate(2011, 3, 30), QTime(9, 15));
        const int id = TestDb::addEmployee(QStringLiteral("kay"), QStringLiteral("unused"));
        makeLegacy(id, QStringLiteral("letmein"));
        testdb::exec(QStringLiteral("UPDATE Employee SET EditedBy = ?, EditedDate = ? WHERE ID = ?"),
            { QStringLiteral("admin"), edited, id });

        {
            data::Transaction outer(testdb::connection());
            data::failNextStatementContaining(QStringLiteral("UPDATE Employee"));
            QVERIFY(Login::authenticate(testdb::connection(), QStringLiteral("kay"), QStringLiteral("letmein")));
            // The outer transaction is still usable after the failed rewrite.
            testdb::exec(QStringLiteral("UPDATE Employee SET City = ? WHERE ID = ?"), { QStringLiteral("Akron"), id });
            outer.commit();
        }
        QCOMPARE(storedPassword(id), QStringLiteral("letmein"));
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT City FROM Employee WHERE ID = ?"), { id }).toString(),
            QStringLiteral("Akron"));
        QVERIFY(!Login::authenticate(testdb::connection(), QStringLiteral("kay"), QStringLiteral("letmeout")));
        QCOMPARE(storedPassword(id), QStringLiteral("letmein"));

        QVERIFY(Login::authenticate(testdb::connection(), QStringLiteral("kay"), QStringLiteral(" letmein ")));
        const QString stored = storedPassword(id);
        QVERIFY2(Passwords::isHash(stored), qPrintable(stored));
        QVERIFY(Passwords::verify(stored, QStringLiteral("letmein")));
        data::Rows row
            = testdb::exec(QStringLiteral("SELECT Username, EditedBy, EditedDate FROM Employee WHERE ID = ?"), { id });
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), QStringLiteral("kay"));
        QCOMPARE(row.value(1).toString(), QStringLiteral("admin"));
        QCOMPARE(row.value(2).toDateTime(), edited);

        // From now on the hash is what is checked; the hash itself is no password.
        QVERIFY(Login::authenticate(testdb::connection(), QStringLiteral("kay"), QStringLiteral("letmein")));
        QCOMPARE(storedPassword(id), stored);
        QVERIFY(!Login::authenticate(testdb::connection(), QStringLiteral("kay"), stored));
    }

    // ---- repeated failures

    void delayAfterFailures_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("four") << 4 << 0;
        QTest::newRow("five") << 5 << 1000;
        QTest::newRow("six") << 6 << 2000;
        QTest::newRow("nine") << 9 << 16000;
        QTest::newRow("ten: capped") << 10 << 30000;
        QTest::newRow("many") << 1000 << 30000;
    }

    void delayAfterFailures()
    {
        QFETCH(int, failures);
        QFETCH(int, delayMs);
        QCOMPARE(Login::delayAfterFailures(failures), delayMs);
    }

    // ---- the login screen

    // Hidden password, focus on the user name, tab order, centred in the
    // client area; entering a box selects its text, so typing replaces it.
    void screenLayoutAndFocus()
    {
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        QCOMPARE(w.password->echoMode(), QLineEdit::Password);
        QVERIFY(w.username->hasFocus());
        for (QWidget *next :
            { static_cast<QWidget *>(w.password), static_cast<QWidget *>(w.ok), static_cast<QWidget *>(w.cancel) }) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        const QWidget *sub = w.form->parentWidget();
        const QSize client = w.mdi->area()->viewport()->size();
        QVERIFY(qAbs(sub->geometry().center().x() - client.width() / 2) <= 1);
        QVERIFY(qAbs(sub->geometry().center().y() - client.height() / 2) <= 1);

        w.username->setFocus();
        w.type(QStringLiteral("kwhitfield"), QStringLiteral("secret"));
        QTest::keyClick(w.username, Qt::Key_Tab);
        QVERIFY(w.password->hasFocus());
        QTRY_COMPARE(w.password->selectionLength(), 6);
        QCOMPARE(w.password->selectionStart(), 0);
        QTest::keyClick(w.password, Qt::Key_Backtab);
        QVERIFY(w.username->hasFocus());
        QTRY_COMPARE(w.username->selectedText(), QStringLiteral("kwhitfield"));
        QTest::keyClicks(w.username, QStringLiteral("other"));
        QCOMPARE(w.username->text(), QStringLiteral("other"));
    }

    void emptyBox_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString noName = QStringLiteral("Invalid Username: You must enter a username (!)");
        QTest::newRow("no user name") << "" << QStringLiteral("Secret 1") << noName << "txtUsername";
        QTest::newRow("nothing") << ""
                                 << "" << noName << "txtUsername";
        QTest::newRow("no password") << QStringLiteral("KWhitfield") << ""
                                     << QStringLiteral("Invalid Password: You must enter a password (!)")
                                     << "txtPassword";
    }

    void emptyBox()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        w.attempt(username, password);
        QCOMPARE(shownMessages(), QStringList { message });
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        // Nothing reached the database and nothing was cleared.
        QCOMPARE(employeeLog(), QList<LogRow>());
        QCOMPARE(w.username->text(), username);
        QCOMPARE(w.password->text(), password);
        QVERIFY(w.loginOpen());
    }

    // After five failures the next attempt waits before it is checked, longer
    // with each failure; while it waits nothing is checked or recorded and only
    // Cancel can be used. Other user names are not held up.
    void repeatedFailuresAreDelayed()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        for (int i = 0; i < 5; ++i)
            w.attempt(i % 2 ? QStringLiteral("kwhitfield") : QStringLiteral("KWhitfield "), QStringLiteral("bad"));
        QVERIFY(!w.delay->isActive());
        w.attempt(QStringLiteral("someone"), QStringLiteral("else"));
        QVERIFY(!w.delay->isActive());
        QCOMPARE(employeeLog().size(), 6);
        Messages::clearShown();

        w.attempt(QStringLiteral("KWHITFIELD"), QStringLiteral("bad"));
        QVERIFY(w.waiting());
        QCOMPARE(w.delay->interval(), 1000);
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(employeeLog().size(), 6);
        w.delay->start(0); // skip the wait
        QTRY_COMPARE(shownMessages(), QStringList { kRefused });
        QVERIFY(w.username->isEnabled());
        QCOMPARE(w.username->text(), QString());
        QCOMPARE(testdb::context().loginThrottle().failures(QStringLiteral("KWhitfield")), 6);
        // The count is the database's: the next run of the program waits as well.
        QCOMPARE(Login::Throttle(testdb::connection()).failures(QStringLiteral(" kWhitField")), 6);

        // The right password waits like any other attempt, then logs in.
        Messages::clearShown();
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        QVERIFY(w.waiting());
        QCOMPARE(w.delay->interval(), 2000);
        QVERIFY(testdb::context().Username().isEmpty());
        w.delay->start(0);
        QTRY_COMPARE(testdb::context().Username(), QStringLiteral("KWhitfield"));
        QCOMPARE(employeeLog().last(), LogRow(id, QStringLiteral("Login")));
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::context().loginThrottle().failures(QStringLiteral("kwhitfield")), 0);
    }

    void databaseErrorKeepsTheScreen()
    {
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        const QString dbError = QStringLiteral("Database Error: Error 50000: Injected failure");
        data::failNextStatementContaining(QStringLiteral("EmployeeType"));
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        QCOMPARE(shownMessages(), QStringList { dbError });
        QCOMPARE(w.username->text(), QStringLiteral("KWhitfield"));
        QCOMPARE(w.password->text(), QStringLiteral("Secret 1"));
        QCOMPARE(employeeLog(), QList<LogRow>());
        QCOMPARE(testdb::context().loginThrottle().failures(QStringLiteral("KWhitfield")), 0);
        QVERIFY(w.loginOpen());

        // The login procedure fails: not logged in, so nothing to log off later.
        data::failNextStatementContaining(QStringLiteral("EmployeeLog"));
        QTest::mouseClick(w.ok, Qt::LeftButton);
        QCOMPARE(shownMessages(), QStringList({ dbError, dbError }));
        QVERIFY(testdb::context().Username().isEmpty());
        QCOMPARE(testdb::context().UserID(), qint16(0));
        QVERIFY(w.loginOpen());
        QVERIFY(!w.unlocked());

        QTest::mouseClick(w.ok, Qt::LeftButton);
        QVERIFY(!testdb::context().Username().isEmpty());
    }

    // Cancel and Escape end the program without a logoff; closing the box by
    // its close button logs nobody in, ends nothing and keeps the window locked.
    void leavingTheBox_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Escape key") << 1;
        QTest::newRow("close box") << 2;
    }

    void leavingTheBox()
    {
        QFETCH(int, how);
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        int shutDowns = 0;
        testdb::context().setShutDownHook([&] { ++shutDowns; });
        w.username->setText(QStringLiteral("typed"));
        if (how == 0)
            QTest::mouseClick(w.cancel, Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(w.username, Qt::Key_Escape);
        else
            w.form->parentWidget()->close();
        testdb::context().setShutDownHook({});
        if (how == 2) {
            QTRY_VERIFY(!w.loginOpen());
            QCOMPARE(shutDowns, 0);
            QVERIFY(!w.unlocked());
            QVERIFY(w.mdi->findChild<QAction *>(QStringLiteral("Exit"))->isEnabled());
        } else {
            QCOMPARE(shutDowns, 1);
            QVERIFY(!testdb::connection().isOpen());
            db.reopen();
        }
        QCOMPARE(employeeLog(), QList<LogRow>());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
