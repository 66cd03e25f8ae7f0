#include "app/Screens.h"
#include "shell/AppContext.h"
#include "shell/SysInfo.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "widgets/Messages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A stand-in program that leaves a file behind when it runs.
QString makeProgram(const QString &folder, const QString &name, const QString &marker = {}, bool executable = true)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n");
    if (!marker.isEmpty())
        file.write(": > '" + QFile::encodeName(marker) + "'\n"); // no PATH needed
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    file.setPermissions(permissions);
    return path;
}

// The main window after a login, with the About box opened from Help.
QWidget *openAbout(MDI &mdi, AppContext &ctx)
{
    mdi.show();
    mdi.lockForLogin();
    auto *about = mdi.findChild<QAction *>(QStringLiteral("About"));
    if (!about || about->isEnabled())
        return nullptr;
    // A user without a single permission, and no database at all: About
    // asks nothing.
    ctx.setUser({ 5, QStringLiteral("kw"), QStringLiteral("User") });
    mdi.unlockAfterLogin(QStringLiteral("kw"));
    about->trigger();
    return mdi.findScreen(QStringLiteral("frmAbout"));
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private:
    QByteArray m_path;

private slots:
    void initTestCase()
    {
        m_path = qgetenv("PATH");
        QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    }

    void init() { resetTestState(); }

    void cleanup() { qputenv("PATH", m_path); }

    // Opens at the top left without a question asked; OK closes it.
    void opensAndCloses()
    {
        data::Connection db;
        AppContext ctx(db);
        MDI mdi(ctx, screenRegistry());
        QWidget *about = openAbout(mdi, ctx);
        QVERIFY(about);
        QCOMPARE(Messages::shown().size(), 0);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Screen"));
        QCOMPARE(about->parentWidget()->pos(), QPoint(0, 0));
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QTRY_COMPARE(mdi.area()->subWindowList().size(), 0);
        QVERIFY(!mdi.findScreen(QStringLiteral("frmAbout")));
    }

    // System Info starts the first program found on the PATH; without one (a
    // file of the right name that cannot be run does not count) it says so.
    void systemInfo_data()
    {
        QTest::addColumn<bool>("executable");
        QTest::newRow("program on the PATH") << true;
        QTest::newRow("no program") << false;
    }

    void systemInfo()
    {
        QFETCH(bool, executable);
        QTemporaryDir folder;
        const QString marker = folder.filePath(QStringLiteral("ran"));
        makeProgram(folder.path(), QStringLiteral("kinfocenter"), marker, executable);
        qputenv("PATH", QFile::encodeName(folder.path()));
        data::Connection db;
        AppContext ctx(db);
        MDI mdi(ctx, screenRegistry());
        QWidget *about = openAbout(mdi, ctx);
        QVERIFY(about);
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
        if (executable) {
            QTRY_VERIFY(QFile::exists(marker));
            QCOMPARE(Messages::shown().size(), 0);
            return;
        }
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Job Tracker"));
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(mdi.findScreen(QStringLiteral("frmAbout")));
        QVERIFY(!QFile::exists(marker));
    }

    void lookupOrder_data()
    {
        QTest::addColumn<QStringList>("inFirst");
        QTest::addColumn<QStringList>("inSecond");
        QTest::addColumn<QString>("found"); // "<folder index>/<name>", or empty
        QTest::newRow("nothing") << QStringList {} << QStringList {} << "";
        QTest::newRow("one program") << QStringList {} << QStringList { "hardinfo" } << "1/hardinfo";
        QTest::newRow("earlier name wins over folder order")
            << QStringList { "hardinfo" } << QStringList { "kinfocenter" } << "1/kinfocenter";
        QTest::newRow("same name: first folder")
            << QStringList { "xfce4-about" } << QStringList { "xfce4-about" } << "0/xfce4-about";
        QTest::newRow("unrelated programs") << QStringList { "top", "htop" } << QStringList {} << "";
    }

    void lookupOrder()
    {
        QFETCH(QStringList, inFirst);
        QFETCH(QStringList, inSecond);
        QFETCH(QString, found);
        QTemporaryDir first;
        QTemporaryDir second;
        for (const QString &name : inFirst)
            makeProgram(first.path(), name);
        for (const QString &name : inSecond)
            makeProgram(second.path(), name);
        const QStringList folders { first.path(), second.path() };
        QString expected;
        if (!found.isEmpty())
            expected = QDir(folders.at(found.section(u'/', 0, 0).toInt())).filePath(found.section(u'/', 1));
        QCOMPARE(SysInfo::findProgram(folders), expected);
    }

    void startRefusesWhatCannotRun()
    {
        QTemporaryDir folder;
        QVERIFY(!SysInfo::start(QString()));
        QVERIFY(!SysInfo::start(folder.filePath(QStringLiteral("missing"))));
        QVERIFY(!SysInfo::start(makeProgram(folder.path(), QStringLiteral("plain"), {}, false)));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
