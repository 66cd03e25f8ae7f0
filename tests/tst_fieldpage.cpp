// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "field/ServerRegistry.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <qrencode.h>

// A FieldServer row as its server leaves it: address, fingerprint and how
// many seconds ago it last said it was running.
struct Announced
{
    QString address;
    QString fingerprint;
    int secondsAgo;
};
using Announcements = QList<Announced>;
Q_DECLARE_METATYPE(Announcements)

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 0));

void announce(const Announcements &servers)
{
    for (const Announced &server : servers) {
        Clock::setNow(kNow.addSecs(-server.secondsAgo));
        field::announce(testdb::connection(), server.address, server.fingerprint);
    }
    Clock::setNow(kNow);
}

// Whether `picture` is the QR code of `text` as libqrencode makes it: whole
// pixels per module, the quiet zone white, each module as encoded.
QString qrMismatch(const QImage &picture, const QString &text)
{
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    const int modules = code->width + 8;
    if (picture.width() != picture.height() || picture.width() % modules != 0)
        return QStringLiteral("%1x%2 pixels for %3 modules").arg(picture.width()).arg(picture.height()).arg(modules);
    const int scale = picture.width() / modules;
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            const bool inCode = x >= 4 && y >= 4 && x < modules - 4 && y < modules - 4;
            const bool black = inCode && (code->data[(y - 4) * code->width + (x - 4)] & 1);
            for (const QPoint &corner : { QPoint(0, 0), QPoint(scale - 1, scale - 1) }) {
                if (picture.pixelColor(x * scale + corner.x(), y * scale + corner.y())
                    != (black ? QColor(Qt::black) : QColor(Qt::white)))
                    return QStringLiteral("module %1,%2").arg(x).arg(y);
            }
        }
    }
    return {};
}

} // namespace

class TestFieldPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;

    // File > Field Page… as a user holding no permission at all.
    QWidget *openPage()
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        testdb::logIn(0, QStringLiteral("kw"));
        m_mdi->unlockAfterLogin(QStringLiteral("kw"));
        m_mdi->findChild<QAction *>(QStringLiteral("mnuFieldPage"))->trigger();
        return m_mdi->findScreen(QStringLiteral("frmFieldPage"));
    }

private slots:
    void init()
    {
        resetTestState();
        JT_FRESH_DB_IN(m_db);
    }

    void cleanup()
    {
        m_mdi.reset();
        m_db.reset();
    }

    // The server seen last, unless that was more than three minutes ago: its
    // address with its QR code, and its fingerprint when it has a
    // certificate; else how to start one.
    void showsTheRunningServer_data()
    {
        columns<Announcements, QString, QString>({ "servers", "address", "fingerprint" });
        const QString office = QStringLiteral("https://office-pc:8443/");
        const QString print = QStringLiteral("7E:6B:A5:97:88:42:15:03:F1:C7:D6:97:67:EB:2C:C7:86:C1:BC:B3:A8:D8:75:"
                                             "C9:6B:65:F9:BF:68:B0:FF:BD");
        row("running, with a certificate", Announcements { { office, print, 20 } }, office, print);
        row("running behind a proxy", Announcements { { QStringLiteral("http://127.0.0.1:8080/"), QString(), 20 } },
            QStringLiteral("http://127.0.0.1:8080/"), QString());
        row("seen just within three minutes", Announcements { { office, print, 179 } }, office, print);
        row("not running", Announcements {}, QString(), QString());
        row("left behind by a server killed", Announcements { { office, print, 181 } }, QString(), QString());
        row("the newest of two",
            Announcements { { office, print, 20 }, { QStringLiteral("https://10.0.0.5:8443/"), "AA:BB", 5 } },
            QStringLiteral("https://10.0.0.5:8443/"), QStringLiteral("AA:BB"));
        row("the fresh one beside a stale one",
            Announcements { { QStringLiteral("https://old-pc:8443/"), "AA:BB", 900 }, { office, print, 60 } }, office,
            print);
    }
    void showsTheRunningServer()
    {
        QFETCH(Announcements, servers);
        QFETCH(QString, address);
        QFETCH(QString, fingerprint);
        announce(servers);
        QWidget *page = openPage();
        QVERIFY(page);
        QCOMPARE(shownMessages(), QStringList());
        auto *addressBox = findControl<QLineEdit>(page, "txtFieldAddress");
        auto *printBox = findControl<QLineEdit>(page, "txtFieldFingerprint");
        auto *qr = findControl<QLabel>(page, "lblFieldQr");
        auto *howTo = findControl<QLabel>(page, "lblFieldHowTo");
        QVERIFY(addressBox->isReadOnly() && printBox->isReadOnly());
        QCOMPARE(addressBox->text(), address);
        QCOMPARE(addressBox->isHidden(), address.isEmpty());
        QCOMPARE(printBox->text(), fingerprint);
        QCOMPARE(printBox->isHidden(), fingerprint.isEmpty());
        QCOMPARE(howTo->isHidden(), !address.isEmpty());
        if (address.isEmpty()) {
            QVERIFY(qr->isHidden());
            QVERIFY2(howTo->text().startsWith("The field server is not running. Start it on the office PC:"),
                qPrintable(howTo->text()));
            QVERIFY(howTo->text().contains("sudo systemctl start jobtracker-field"));
            QVERIFY(howTo->text().contains(" --config "));
            return;
        }
        QVERIFY(!qr->isHidden());
        const QPixmap code = qr->pixmap();
        QVERIFY(!code.isNull());
        const QString mismatch = qrMismatch(code.toImage(), address);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QVERIFY(code.width() >= 200); // big enough for a phone's camera
    }

    // The registry as a server keeps it, followed by Refresh: a server that
    // says it is still running stays shown, one that stopped goes; Close
    // closes.
    void refreshFollowsTheServer()
    {
        const QString office = QStringLiteral("https://office-pc:8443/");
        Clock::setNow(kNow);
        const qint64 id = field::announce(testdb::connection(), office, QString());
        QWidget *page = openPage();
        QVERIFY(page);
        auto *addressBox = findControl<QLineEdit>(page, "txtFieldAddress");
        auto *refresh = findControl<QPushButton>(page, "btnRefresh");
        QCOMPARE(addressBox->text(), office);

        Clock::setNow(kNow.addSecs(170));
        field::stillRunning(testdb::connection(), id);
        Clock::setNow(kNow.addSecs(340)); // 170 s after it was last seen
        QTest::mouseClick(refresh, Qt::LeftButton);
        QCOMPARE(addressBox->text(), office);
        Clock::setNow(kNow.addSecs(351));
        QTest::mouseClick(refresh, Qt::LeftButton);
        QVERIFY(addressBox->isHidden());

        Clock::setNow(kNow.addSecs(360));
        field::stillRunning(testdb::connection(), id);
        QTest::mouseClick(refresh, Qt::LeftButton);
        QCOMPARE(addressBox->text(), office);
        field::withdraw(testdb::connection(), id);
        field::stillRunning(testdb::connection(), id); // a late refresh brings back nothing
        QTest::mouseClick(refresh, Qt::LeftButton);
        QVERIFY(addressBox->isHidden());
        QVERIFY(!findControl<QLabel>(page, "lblFieldHowTo")->isHidden());
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM FieldServer")).toInt(), 0);
        QCOMPARE(shownMessages(), QStringList());

        QTest::mouseClick(findControl<QPushButton>(page, "btnClose"), Qt::LeftButton);
        QTRY_COMPARE(m_mdi->area()->subWindowList().size(), 0);
    }
};

QTEST_MAIN(TestFieldPage)
#include "tst_fieldpage.moc"
