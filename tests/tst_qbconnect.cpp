// backends: sqlite
#include "app/Screens.h"
#include "quickbooks/QbSettings.h"
#include "quickbooks/ui/frmQBSync.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/QbSim.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

namespace {

const QString kRealm = QStringLiteral("9130350000000001");

// A browser that follows the consent page's redirects (or not) and keeps
// every page it was given as "<status> <path>: <body>".
struct Browser
{
    QNetworkAccessManager network;
    QStringList pages;

    QNetworkReply *get(const QUrl &url, bool follow = true)
    {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
            follow ? QNetworkRequest::NoLessSafeRedirectPolicy : QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = network.get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
            pages << QStringLiteral("%1 %2: %3")
                         .arg(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt())
                         .arg(reply->url().path(), QString::fromUtf8(reply->readAll()));
        });
        return reply;
    }
};

} // namespace

class TestQbConnect : public QObject
{
    Q_OBJECT

    QbSim m_sim;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QPointer<frmQBSync> m_screen;
    QUrl m_consent;

    QString iniPath() const { return qb::settingsPath(m_db->folder()); }
    void setIni(const QString &key, const QVariant &value)
    {
        QSettings(iniPath(), QSettings::IniFormat).setValue(key, value);
    }
    QString storedRefreshToken() const { return qb::fileSecretStore(iniPath())->read(qb::kRefreshToken); }

    // Opens the screen; the browser receives the consent page's address.
    void openScreen(const std::function<void(const QUrl &)> &browser)
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        m_screen = qobject_cast<frmQBSync *>(m_mdi->openScreen("frmQBSync"));
        QVERIFY(m_screen);
        m_screen->setBrowser([this, browser](const QUrl &url) {
            m_consent = url;
            browser(url);
        });
    }

    // Presses Connect; once the wait dialog shows, act runs on it (and
    // Cancel is pressed if it is still up ten seconds later).
    void connectWhile(const std::function<void(QDialog *)> &act)
    {
        QTimer poll;
        int ticks = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = m_screen->findChild<QDialog *>("dlgQBConnect");
            if (!dialog || !dialog->isVisible())
                return;
            if (ticks++ == 0 && act)
                act(dialog);
            else if (ticks > 500)
                QTest::mouseClick(findControl<QPushButton>(dialog, "btnCancelConnect"), Qt::LeftButton);
        });
        poll.start(20);
        QTest::mouseClick(findControl<QPushButton>(m_screen, "btnConnectQB"), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        QString error;
        QVERIFY2(m_sim.start(&error), qPrintable(error));
    }

    void init()
    {
        JT_FRESH_DB_IN(m_db);
        resetTestState();
        testdb::logIn(1, "admin", "Admin");
        testdb::context().config.folder = m_db->folder();
        m_sim.reset();
        m_sim.writeSettings(m_db->folder(), false);
        // The company comes from the sign-in, and from its real answer only.
        setIni("Connection/RealmId", QString());
        m_consent.clear();
    }

    void cleanup()
    {
        if (m_screen)
            m_screen->close();
        m_mdi.reset();
        m_db.reset();
    }

    // Sandbox keys: the browser comes back to the registered localhost
    // address. Requests that are not the answer (a favicon, the path with a
    // guessed state planting a company) get their own pages and change
    // nothing; the answer's company and tokens are kept, or a refusal is
    // said as such in both windows.
    void takesOnlyTheRealAnswer_data()
    {
        columns<QString, QString, QString>({ "consent", "message", "page" });
        row("consent given", QString("allow"), QString("Quickbooks Sync: Connected to QuickBooks."),
            QString("Job Tracker is connected to QuickBooks."));
        row("access refused", QString("deny"), QString("Quickbooks Sync: Access to QuickBooks was refused. (!)"),
            QString("You refused Job Tracker access to QuickBooks."));
    }
    void takesOnlyTheRealAnswer()
    {
        QFETCH(QString, consent);
        QFETCH(QString, message);
        QFETCH(QString, page);
        m_sim.control("consent", { { "answer", consent } });
        const QUrl redirect(QSettings(iniPath(), QSettings::IniFormat).value("Connection/RedirectUri").toString());
        Browser browser;
        openScreen([&](const QUrl &url) {
            // What a browser and a hostile page send while the code is exchanged.
            QNetworkReply *answer = browser.get(url);
            connect(answer, &QNetworkReply::redirected, this, [&, redirect] {
                QUrl favicon(redirect);
                favicon.setPath("/favicon.ico");
                browser.get(favicon);
                QUrl planted(redirect);
                planted.setQuery("code=stolen&realmId=666&state=" + QString(32, u'0'));
                browser.get(planted);
                planted.setQuery("realmId=666");
                browser.get(planted);
            });
        });
        connectWhile({});

        QCOMPARE(shownMessages(), QStringList { message });
        const QString state = QUrlQuery(m_consent).queryItemValue("state");
        QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(state).hasMatch(), qPrintable(state));
        QCOMPARE(QUrlQuery(m_consent).queryItemValue("redirect_uri", QUrl::FullyDecoded), redirect.toString());
        QTRY_COMPARE(browser.pages.size(), 4);
        QCOMPARE(browser.pages.filter("404 /favicon.ico: ").size(), 1);
        QCOMPARE(browser.pages.filter("400 /callback: ").filter("was not started by Job Tracker").size(), 2);
        QCOMPARE(browser.pages.filter("200 /callback: ").filter(page).size(), 1);
        const QSettings ini(iniPath(), QSettings::IniFormat);
        const bool connected = consent == "allow";
        QCOMPARE(ini.value("Connection/RealmId").toString(), connected ? kRealm : QString());
        QCOMPARE(m_sim.state().value("refreshTokens").toArray().contains(storedRefreshToken()), connected);
        QCOMPARE(storedRefreshToken().isEmpty(), !connected);
    }

    // Production keys: the consent page goes to an https address this
    // computer does not serve; the address the browser ended on is pasted.
    // A pasted address of another page or another sign-in is refused in the
    // dialog, which waits on; Cancel ends the wait with nothing changed and
    // the listener closed.
    void pastedAddressOrCancel_data()
    {
        columns<QString, QString, QString>({ "redirectUri", "paste", "dialogMessage" });
        const QString https("https://jobtracker.example.com/qbo/back.html");
        row("pasted answer", https, QString("answer"), QString());
        row("another sign-in's answer", https, QString("other state"),
            QString("Connect to QuickBooks: That address belongs to a sign-in that was not started here, or to an "
                    "earlier one. Nothing was changed. (!)"));
        row("another page", https, QString("other page"),
            QString("Connect to QuickBooks: That is not the address the sign-in returns to (%1). (!)").arg(https));
        row("cancelled", QString(), QString(), QString());
    }
    void pastedAddressOrCancel()
    {
        QFETCH(QString, redirectUri);
        QFETCH(QString, paste);
        QFETCH(QString, dialogMessage);
        if (!redirectUri.isEmpty()) {
            m_sim.control("redirect-uris", { { "uris", QJsonArray { redirectUri } } });
            setIni("Connection/RedirectUri", redirectUri);
        }
        const QUrl listener(QSettings(iniPath(), QSettings::IniFormat).value("Connection/RedirectUri").toString());
        QString location;
        Browser browser;
        openScreen([&](const QUrl &url) {
            QNetworkReply *consent = browser.get(url, false);
            connect(consent, &QNetworkReply::finished, this,
                [&, consent] { location = QString::fromUtf8(consent->rawHeader("Location")); });
        });
        QString timeShown;
        connectWhile([&](QDialog *dialog) {
            timeShown = findControl<QLabel>(dialog, "lblConnectWait")->text();
            if (!paste.isEmpty()) {
                QTRY_VERIFY(!location.isEmpty());
                QUrl ended(location);
                if (paste == "other state")
                    ended.setQuery(QString(ended.query()).replace(QRegularExpression("state=\\w+"), "state=abc"));
                if (paste == "other page")
                    ended.setPath("/qbo/other.html");
                QTest::keyClicks(findControl<QLineEdit>(dialog, "txtRedirectedUrl"), ended.toString());
                QTest::mouseClick(findControl<QPushButton>(dialog, "btnFinishConnect"), Qt::LeftButton);
            }
            if (dialog->isVisible())
                QTest::mouseClick(findControl<QPushButton>(dialog, "btnCancelConnect"), Qt::LeftButton);
        });

        QVERIFY2(timeShown.endsWith("3:00 left.") || timeShown.endsWith("2:59 left."), qPrintable(timeShown));
        const bool connected = paste == "answer";
        QStringList expected;
        if (!dialogMessage.isEmpty())
            expected << dialogMessage;
        if (connected)
            expected << "Quickbooks Sync: Connected to QuickBooks.";
        QCOMPARE(shownMessages(), expected);
        QCOMPARE(storedRefreshToken().isEmpty(), !connected);
        QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("Connection/RealmId").toString(),
            connected ? kRealm : QString());
        QVERIFY(!m_screen->isBusy());
        if (listener.scheme() == "http") {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, quint16(listener.port()));
            QVERIFY(!probe.waitForConnected(2000));
        }
    }

    // Without RedirectUri the dialog names the loopback address used (which
    // the service refuses) and what to register; a RedirectUri neither https
    // nor localhost is refused before the browser opens, and so is a
    // localhost port another program holds on either loopback address (a
    // browser may take localhost as ::1 or 127.0.0.1), with nothing left
    // listening.
    void redirectAddressIsCheckedAndNamed_data()
    {
        columns<QString, QString, QString>({ "redirectUri", "occupied", "refusal" });
        row("none set", QString(), QString(), QString());
        const QString shape("Quickbooks Sync: The QuickBooks setting RedirectUri (%1) must be the redirect address "
                            "registered for the app: https://..., or http://localhost:PORT/PATH (!)");
        row("plain http elsewhere", QString("http://jobtracker.example.com/cb"), QString(),
            shape.arg("http://jobtracker.example.com/cb"));
        const QString taken("Quickbooks Sync: The sign-in was not started: port %1 of this computer is taken on %2 by "
                            "another program, which would receive the sign-in's answer. Close that program, or "
                            "register another port, and connect again. (!)");
        row("localhost port taken on ::1", QString("http://localhost:%1/callback"), QString("::1"),
            taken.arg("%1", "[::1]"));
        row("localhost port taken on 127.0.0.1", QString("http://localhost:%1/callback"), QString("127.0.0.1"),
            taken.arg("%1", "127.0.0.1"));
    }
    void redirectAddressIsCheckedAndNamed()
    {
        QFETCH(QString, redirectUri);
        QFETCH(QString, occupied);
        QFETCH(QString, refusal);
        const quint16 port = QbSim::freePort();
        // Another local user's listener, there first.
        QTcpServer squatter;
        if (!occupied.isEmpty()) {
            if (!squatter.listen(QHostAddress(occupied), port)) {
                if (occupied == "::1")
                    QSKIP("This computer has no IPv6 loopback address: nobody can take a port on ::1.");
                QFAIL(qPrintable(squatter.errorString()));
            }
            redirectUri = redirectUri.arg(port);
            refusal = refusal.arg(port);
        }
        setIni("Connection/RedirectUri", redirectUri);
        setIni("Connection/RedirectPort", port);
        Browser browser;
        openScreen([&](const QUrl &url) { browser.get(url); });
        QString named;
        connectWhile([&](QDialog *dialog) {
            QTRY_COMPARE(browser.pages.size(), 1);
            named = findControl<QLabel>(dialog, "lblRedirect")->text();
            QTest::mouseClick(findControl<QPushButton>(dialog, "btnCancelConnect"), Qt::LeftButton);
        });
        if (!refusal.isEmpty()) {
            QCOMPARE(shownMessages(), QStringList { refusal });
            QVERIFY(m_consent.isEmpty());
            // Nothing listens on the other addresses either.
            for (const QHostAddress &address :
                { QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6) }) {
                QTcpServer free;
                if (address != QHostAddress(occupied) && !free.listen(address, port))
                    QVERIFY2(free.serverError() == QAbstractSocket::SocketAddressNotAvailableError
                            || free.serverError() == QAbstractSocket::UnsupportedSocketOperationError,
                        qPrintable(address.toString() + ": " + free.errorString()));
            }
            return;
        }
        const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(port);
        QCOMPARE(QUrlQuery(m_consent).queryItemValue("redirect_uri", QUrl::FullyDecoded), address);
        QVERIFY2(named.startsWith("No RedirectUri is set in quickbooks.ini: the answer comes to " + address),
            qPrintable(named));
        QCOMPARE(browser.pages.filter("The redirect_uri is not registered for this app").size(), 1);
        QCOMPARE(shownMessages(), QStringList());
    }
};

QTEST_MAIN(TestQbConnect)
#include "tst_qbconnect.moc"
