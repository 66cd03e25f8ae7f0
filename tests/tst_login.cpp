// backends: sqlite postgres odbc
#include "data/Database.h"
#include "shell/GuiMessages.h"
#include "shell/Login.h"
#include "shell/MDI.h"
#include "shell/Passwords.h"
#include "shell/frmLogin.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

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

using LogRow = QPair<int, QString>;

QList<LogRow> employeeLog()
{
    QList<LogRow> rows;
    QSqlQuery q = data::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
    while (q.next())
        rows.append({ q.value(0).toInt(), q.value(1).toString() });
    return rows;
}

QString storedPassword(int id)
{
    return data::scalar(QStringLiteral("SELECT Password FROM Employee WHERE ID = ?"), { id }).toString();
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

    bool open()
    {
        mdi = std::make_unique<MDI>();
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
        return username && password && ok && cancel && QTest::qWaitForWindowActive(mdi.get());
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

    void authenticate_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("loggedInAs"); // empty: refused

        QTest::newRow("as stored") << "KWhitfield"
                                   << "Secret 1"
                                   << "KWhitfield";
        QTest::newRow("user name in another case") << "kWHITFIELD"
                                                   << "Secret 1"
                                                   << "KWhitfield";
        QTest::newRow("blanks around both") << "  KWhitfield "
                                            << " Secret 1  "
                                            << "KWhitfield";
        QTest::newRow("password in another case") << "KWhitfield"
                                                  << "secret 1"
                                                  << "";
        QTest::newRow("wrong password") << "KWhitfield"
                                        << "Secret"
                                        << "";
        QTest::newRow("unknown user") << "nobody"
                                      << "Secret 1"
                                      << "";
        QTest::newRow("inactive") << "gone"
                                  << "pw"
                                  << "";
        QTest::newRow("inactive is NULL") << "unset"
                                          << "pw"
                                          << "";
        QTest::newRow("quote in user name") << "o'neil"
                                            << "pw' OR '1'='1"
                                            << "";
        QTest::newRow("quote trick on a real user") << "KWhitfield' --"
                                                    << "anything"
                                                    << "";
        QTest::newRow("user name with a quote") << "O'Neil"
                                                << "pw"
                                                << "O'Neil";
        QTest::newRow("blanks only") << "   "
                                     << "   "
                                     << "";
        QTest::newRow("employee without a login") << " "
                                                  << "x"
                                                  << "";
    }

    void authenticate()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, loggedInAs);
        JT_FRESH_DB(db);
        const int kw = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        TestDb::addEmployee(QStringLiteral("O'Neil"), QStringLiteral("pw"));
        TestDb::addEmployee(QStringLiteral("gone"), QStringLiteral("pw"), QStringLiteral("User"), true);
        const int unset = TestDb::addEmployee(QStringLiteral("unset"), QStringLiteral("pw"));
        data::exec(QStringLiteral("UPDATE Employee SET Inactive = NULL WHERE ID = ?"), { unset });
        // A field hand without a login: empty user name and password.
        data::exec(QStringLiteral("INSERT INTO Employee (FirstName, LastName, Username, Password, Inactive)"
                                  " VALUES ('Field', 'Hand', '', '', ?)"),
            { false });

        const auto user = Login::authenticate(username, password);
        QCOMPARE(user.has_value(), !loggedInAs.isEmpty());
        if (user) {
            QCOMPARE(user->username, loggedInAs);
            QCOMPARE(user->userType, QStringLiteral("User"));
            if (loggedInAs == u"KWhitfield")
                QCOMPARE(user->id, kw);
        }
    }

    // Two logins that differ only in case: each password finds its own row.
    void sameNameInTwoCases()
    {
        JT_FRESH_DB(db);
        const int lower = TestDb::addEmployee(QStringLiteral("sam"), QStringLiteral("first"));
        const int upper = TestDb::addEmployee(QStringLiteral("Sam"), QStringLiteral("second"), QStringLiteral("Admin"));
        auto user = Login::authenticate(QStringLiteral("SAM"), QStringLiteral("second"));
        QVERIFY(user);
        QCOMPARE(user->id, upper);
        QCOMPARE(user->userType, QStringLiteral("Admin"));
        user = Login::authenticate(QStringLiteral("SAM"), QStringLiteral("first"));
        QVERIFY(user);
        QCOMPARE(user->id, lower);
    }

    // A type that no longer exists: the login works, without the Admin bypass.
    void missingTypeGivesNoType()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("drifter"), QStringLiteral("pw"));
        data::exec(QStringLiteral("UPDATE Employee SET UserTypeID = 999 WHERE ID = ?"), { id });
        const auto user = Login::authenticate(QStringLiteral("drifter"), QStringLiteral("pw"));
        QVERIFY(user);
        QCOMPARE(user->userType, QString());
    }

    // A row from an older installation holds its password as typed: it logs
    // in once, is a hash afterwards, and nothing else of the row changes.
    void plainTextPasswordBecomesHash()
    {
        JT_FRESH_DB(db);
        const QDateTime edited(QDate(2011, 3, 30), QTime(9, 15));
        const int id = static_cast<int>(data::insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("FirstName"), QStringLiteral("Kay") },
                { QStringLiteral("LastName"), QStringLiteral("Whitfield") }, { QStringLiteral("Inactive"), false },
                { QStringLiteral("Username"), QStringLiteral("kay") },
                { QStringLiteral("Password"), QStringLiteral("letmein") },
                { QStringLiteral("EditedBy"), QStringLiteral("admin") }, { QStringLiteral("EditedDate"), edited } }));

        // A wrong password leaves the old row alone.
        QVERIFY(!Login::authenticate(QStringLiteral("kay"), QStringLiteral("letmeout")));
        QCOMPARE(storedPassword(id), QStringLiteral("letmein"));

        QVERIFY(Login::authenticate(QStringLiteral("kay"), QStringLiteral(" letmein ")));
        const QString stored = storedPassword(id);
        QVERIFY2(Passwords::isHash(stored), qPrintable(stored));
        QVERIFY(Passwords::verify(stored, QStringLiteral("letmein")));
        QCOMPARE(data::scalar(
                     QStringLiteral("SELECT COUNT(*) FROM Employee WHERE Password = ?"), { QStringLiteral("letmein") })
                     .toInt(),
            0);
        QSqlQuery row = data::exec(
            QStringLiteral("SELECT FirstName, LastName, Username, EditedBy, EditedDate FROM Employee WHERE ID = ?"),
            { id });
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), QStringLiteral("Kay"));
        QCOMPARE(row.value(2).toString(), QStringLiteral("kay"));
        QCOMPARE(row.value(3).toString(), QStringLiteral("admin"));
        QCOMPARE(row.value(4).toDateTime(), edited);

        // From now on the hash is what is checked; the hash itself is no password.
        QVERIFY(Login::authenticate(QStringLiteral("kay"), QStringLiteral("letmein")));
        QCOMPARE(storedPassword(id), stored);
        QVERIFY(!Login::authenticate(QStringLiteral("kay"), stored));
    }

    // If the rewrite fails the login fails with it and the row is as it was.
    void failedRewriteKeepsTheRow()
    {
        JT_FRESH_DB(db);
        const int id = static_cast<int>(data::insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("Inactive"), false }, { QStringLiteral("Username"), QStringLiteral("kay") },
                { QStringLiteral("Password"), QStringLiteral("letmein") } }));
        data::failNextStatementContaining(QStringLiteral("UPDATE Employee"));
        QVERIFY_THROWS_EXCEPTION(data::DbError, Login::authenticate(QStringLiteral("kay"), QStringLiteral("letmein")));
        QCOMPARE(storedPassword(id), QStringLiteral("letmein"));
        QVERIFY(Login::authenticate(QStringLiteral("kay"), QStringLiteral("letmein")));
        QVERIFY(Passwords::isHash(storedPassword(id)));
    }

    // ---- repeated failures

    void delayAfterFailures_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("none") << 0 << 0;
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

    void throttleCountsPerUserName()
    {
        Login::Throttle throttle;
        for (int i = 0; i < 5; ++i)
            throttle.failed(i % 2 ? QStringLiteral(" Bob ") : QStringLiteral("bob"));
        QCOMPARE(throttle.delayBeforeCheck(QStringLiteral("BOB")), 1000);
        QCOMPARE(throttle.delayBeforeCheck(QStringLiteral("alice")), 0);
        throttle.failed(QStringLiteral("BOB"));
        QCOMPARE(throttle.delayBeforeCheck(QStringLiteral("bob")), 2000);
        throttle.succeeded(QStringLiteral("Bob"));
        QCOMPARE(throttle.failures(QStringLiteral("bob")), 0);
        QCOMPARE(throttle.delayBeforeCheck(QStringLiteral("bob")), 0);
    }

    // ---- the login screen

    void screenLayout()
    {
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Login"));
        QCOMPARE(w.form->findChild<QLabel *>(QStringLiteral("lblLabels_0"))->text(), QStringLiteral("&User Name:"));
        QCOMPARE(w.form->findChild<QLabel *>(QStringLiteral("lblLabels_1"))->text(), QStringLiteral("&Password:"));
        QCOMPARE(w.ok->text(), QStringLiteral("OK"));
        QCOMPARE(w.cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(w.password->echoMode(), QLineEdit::Password);
        QVERIFY(w.username->hasFocus());
        // Tab order: user name, password, OK, Cancel.
        for (QWidget *next :
            { static_cast<QWidget *>(w.password), static_cast<QWidget *>(w.ok), static_cast<QWidget *>(w.cancel) }) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Centred in the main window's client area.
        const QWidget *sub = w.form->parentWidget();
        const QSize client = w.mdi->area()->viewport()->size();
        QVERIFY(qAbs(sub->geometry().center().x() - client.width() / 2) <= 1);
        QVERIFY(qAbs(sub->geometry().center().y() - client.height() / 2) <= 1);
    }

    void focusSelectsWholeText()
    {
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        w.type(QStringLiteral("kwhitfield"), QStringLiteral("secret"));
        QVERIFY(w.username->hasFocus());
        QTest::keyClick(w.username, Qt::Key_Tab);
        QVERIFY(w.password->hasFocus());
        QTRY_COMPARE(w.password->selectionLength(), 6);
        QCOMPARE(w.password->selectionStart(), 0);
        QTest::keyClick(w.password, Qt::Key_Backtab);
        QVERIFY(w.username->hasFocus());
        QTRY_COMPARE(w.username->selectedText(), QStringLiteral("kwhitfield"));
        // Typing replaces the whole value.
        QTest::keyClicks(w.username, QStringLiteral("other"));
        QCOMPARE(w.username->text(), QStringLiteral("other"));
    }

    void emptyBox_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no user name") << ""
                                      << "Secret 1"
                                      << "You must enter a username"
                                      << "Invalid Username"
                                      << "txtUsername";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "You must enter a username"
                                 << "Invalid Username"
                                 << "txtUsername";
        QTest::newRow("no password") << "KWhitfield"
                                     << ""
                                     << "You must enter a password"
                                     << "Invalid Password"
                                     << "txtPassword";
    }

    void emptyBox()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(QString, focus);
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        w.type(username, password);
        QTest::mouseClick(w.ok, Qt::LeftButton);

        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, text);
        QCOMPARE(Messages::shown().first().title, title);
        QCOMPARE(Messages::shown().first().icon, Messages::Icon::Exclamation);
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        // Nothing reached the database and nothing was cleared.
        QCOMPARE(employeeLog(), QList<LogRow>());
        QCOMPARE(w.username->text(), username);
        QCOMPARE(w.password->text(), password);
        QVERIFY(w.loginOpen());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << "KWhitfield"
                                        << "wrong";
        QTest::newRow("unknown user") << "nobody"
                                      << "Secret 1";
        QTest::newRow("inactive") << "gone"
                                  << "pw";
        QTest::newRow("inactive is NULL") << "unset"
                                          << "pw";
        QTest::newRow("quote in user name") << "KWhitfield' OR '1'='1"
                                            << "x' OR '1'='1";
        QTest::newRow("blanks only") << "   "
                                     << "Secret 1";
    }

    void refused()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        TestDb::addEmployee(QStringLiteral("gone"), QStringLiteral("pw"), QStringLiteral("User"), true);
        const int unset = TestDb::addEmployee(QStringLiteral("unset"), QStringLiteral("pw"));
        data::exec(QStringLiteral("UPDATE Employee SET Inactive = NULL WHERE ID = ?"), { unset });
        OPEN_LOGIN(w);
        w.attempt(username, password);

        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Your username and/or password is invalid."));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Invalid Username/Password"));
        QCOMPARE(Messages::shown().first().icon, Messages::Icon::Exclamation);
        QCOMPARE(w.username->text(), QString());
        QCOMPARE(w.password->text(), QString());
        QVERIFY(w.username->hasFocus());
        // The attempt is recorded, for nobody.
        QCOMPARE(employeeLog(), (QList<LogRow> { { 0, QStringLiteral("Login") } }));
        QCOMPARE(gUserID, qint16(0));
        QVERIFY(gUsername.isEmpty());
        QVERIFY(w.loginOpen());
        QVERIFY(!w.unlocked());
    }

    void success()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        QSignalSpy spy(w.form, &frmLogin::loggedIn);
        // Typed in other case, with blanks, and sent with Enter from the password box.
        w.type(QStringLiteral("  kwhitfield "), QStringLiteral("Secret 1 "));
        QTest::keyClick(w.password, Qt::Key_Return);

        QCOMPARE(Messages::shown().size(), 0);
        QCOMPARE(gUserID, qint16(id));
        QCOMPARE(gUsername, QStringLiteral("KWhitfield"));
        QCOMPARE(gUserType, QStringLiteral("User"));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(employeeLog(), (QList<LogRow> { { id, QStringLiteral("Login") } }));
        QTRY_VERIFY(!w.loginOpen());
        QCOMPARE(w.mdi->findChild<QLabel *>(QStringLiteral("StatusBar1Panel1"))->text(), QStringLiteral("KWhitfield"));
        QVERIFY(w.unlocked());
    }

    // A refusal, then the right password: the log holds both attempts.
    void retryAfterRefusal()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("nope"));
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        QCOMPARE(employeeLog(), (QList<LogRow> { { 0, QStringLiteral("Login") }, { id, QStringLiteral("Login") } }));
        QCOMPARE(gUserID, qint16(id));
    }

    void legacyPasswordThroughTheScreen()
    {
        JT_FRESH_DB(db);
        const int id = static_cast<int>(data::insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("Inactive"), false }, { QStringLiteral("Username"), QStringLiteral("kay") },
                { QStringLiteral("Password"), QStringLiteral("letmein") } }));
        OPEN_LOGIN(w);
        w.attempt(QStringLiteral("kay"), QStringLiteral("letmein"));
        QCOMPARE(gUsername, QStringLiteral("kay"));
        QVERIFY(Passwords::isHash(storedPassword(id)));
    }

    // After five failures the next attempt waits before it is checked; while
    // it waits nothing is checked or recorded and only Cancel can be used.
    void repeatedFailuresAreDelayed()
    {
        JT_FRESH_DB(db);
        const int id = TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        for (int i = 0; i < 5; ++i)
            w.attempt(i % 2 ? QStringLiteral("kwhitfield") : QStringLiteral("KWhitfield "), QStringLiteral("bad"));
        QCOMPARE(employeeLog().size(), 5);
        auto *delay = w.form->findChild<QTimer *>(QStringLiteral("tmrDelay"));
        QVERIFY(delay);
        QVERIFY(!delay->isActive());
        Messages::clearShown();

        // The right password, but it waits like any other attempt.
        w.attempt(QStringLiteral("KWHITFIELD"), QStringLiteral("Secret 1"));
        QVERIFY(delay->isActive());
        QCOMPARE(delay->interval(), 1000);
        QVERIFY(!w.username->isEnabled());
        QVERIFY(!w.password->isEnabled());
        QVERIFY(!w.ok->isEnabled());
        QVERIFY(w.cancel->isEnabled());
        QCOMPARE(Messages::shown().size(), 0);
        QCOMPARE(employeeLog().size(), 5);
        QVERIFY(gUsername.isEmpty());

        delay->start(0); // skip the wait
        QTRY_COMPARE(gUsername, QStringLiteral("KWhitfield"));
        QCOMPARE(employeeLog().last(), LogRow(id, QStringLiteral("Login")));
        QCOMPARE(Messages::shown().size(), 0);
        QCOMPARE(Login::throttle().failures(QStringLiteral("kwhitfield")), 0);
    }

    void delayGrowsAndKeepsTheMessage()
    {
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        for (int i = 0; i < 6; ++i)
            Login::throttle().failed(QStringLiteral("kwhitfield"));
        auto *delay = w.form->findChild<QTimer *>(QStringLiteral("tmrDelay"));
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("bad"));
        QCOMPARE(delay->interval(), 2000);
        delay->start(0);
        QTRY_COMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("Your username and/or password is invalid."));
        QVERIFY(w.username->isEnabled());
        QCOMPARE(w.username->text(), QString());
        QCOMPARE(Login::throttle().failures(QStringLiteral("KWhitfield")), 7);
        // Another user name is not held up.
        w.attempt(QStringLiteral("someone"), QStringLiteral("else"));
        QVERIFY(!delay->isActive());
        QCOMPARE(Messages::shown().size(), 2);
    }

    void databaseErrorKeepsTheScreen()
    {
        JT_FRESH_DB(db);
        TestDb::addEmployee(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        OPEN_LOGIN(w);
        data::failNextStatementContaining(QStringLiteral("EmployeeType"));
        w.attempt(QStringLiteral("KWhitfield"), QStringLiteral("Secret 1"));
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.startsWith(QStringLiteral("Error 50000: ")),
            qPrintable(Messages::shown().first().text));
        QCOMPARE(w.username->text(), QStringLiteral("KWhitfield"));
        QCOMPARE(w.password->text(), QStringLiteral("Secret 1"));
        QCOMPARE(employeeLog(), QList<LogRow>());
        QCOMPARE(Login::throttle().failures(QStringLiteral("KWhitfield")), 0);
        QVERIFY(w.loginOpen());

        // The login procedure fails: not logged in, so nothing to log off later.
        data::failNextStatementContaining(QStringLiteral("EmployeeLog"));
        QTest::mouseClick(w.ok, Qt::LeftButton);
        QCOMPARE(Messages::shown().size(), 2);
        QVERIFY(gUsername.isEmpty());
        QCOMPARE(gUserID, qint16(0));
        QVERIFY(w.loginOpen());
        QVERIFY(!w.unlocked());

        QTest::mouseClick(w.ok, Qt::LeftButton);
        QVERIFY(!gUsername.isEmpty());
    }

    // Closing the login box by its close button logs nobody in and ends nothing.
    void closingTheBoxKeepsTheWindowLocked()
    {
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        int shutDowns = 0;
        SetShutDownHook([&] { ++shutDowns; });
        w.form->parentWidget()->close();
        SetShutDownHook({});
        QTRY_VERIFY(!w.loginOpen());
        QCOMPARE(shutDowns, 0);
        QVERIFY(!w.unlocked());
        QVERIFY(w.mdi->findChild<QAction *>(QStringLiteral("Exit"))->isEnabled());
        QCOMPARE(employeeLog(), QList<LogRow>());
    }

    void cancelEndsWithoutLogoff_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("button") << false;
        QTest::newRow("Escape key") << true;
    }

    void cancelEndsWithoutLogoff()
    {
        QFETCH(bool, escape);
        JT_FRESH_DB(db);
        OPEN_LOGIN(w);
        int shutDowns = 0;
        SetShutDownHook([&] { ++shutDowns; });
        w.username->setText(QStringLiteral("typed"));
        if (escape)
            QTest::keyClick(w.username, Qt::Key_Escape);
        else
            QTest::mouseClick(w.cancel, Qt::LeftButton);
        SetShutDownHook({});
        QCOMPARE(shutDowns, 1);
        QVERIFY(!data::IsOpen());
        db.reopen();
        QCOMPARE(employeeLog(), QList<LogRow>());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
