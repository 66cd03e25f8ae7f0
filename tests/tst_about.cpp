#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/SysInfo.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

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

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private:
    QByteArray m_path;

    // The main window after a login, with the About box opened from Help.
    QWidget *openAbout(MDI &mdi)
    {
        mdi.show();
        mdi.lockForLogin();
        auto *about = mdi.findChild<QAction *>(QStringLiteral("About"));
        if (!about || about->isEnabled())
            return nullptr;
        // A user without a single permission, and no database at all: About
        // asks nothing.
        gUserType = QStringLiteral("User");
        mdi.unlockAfterLogin(QStringLiteral("kw"));
        about->trigger();
        return mdi.findScreen(QStringLiteral("frmAbout"));
    }

private slots:
    void initTestCase()
    {
        m_path = qgetenv("PATH");
        QCoreApplication::setApplicationName(QStringLiteral("Job Tracker"));
    }

    void init() { resetTestState(); }

    void cleanup() { qputenv("PATH", m_path); }

    void contents()
    {
        MDI mdi;
        QWidget *about = openAbout(mdi);
        QVERIFY(about);
        QCOMPARE(Messages::shown().size(), 0);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Screen"));
        QCOMPARE(
            about->findChild<QLabel *>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Varnholt of Brackwell"));
        QCOMPARE(
            about->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 1.1 3/30/2011"));
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblDescription"))->text(),
            QStringLiteral("Designed and Written By:"));
        for (int i = 0; i < 6; ++i) {
            auto *credit = about->findChild<QLabel *>(QStringLiteral("lblCredits_%1").arg(i));
            QVERIFY(credit);
            QVERIFY(!credit->text().isEmpty());
        }
        QVERIFY(about->findChild<QWidget *>(QStringLiteral("Image1")));
        QCOMPARE(about->findChild<QPushButton *>(QStringLiteral("cmdOK"))->text(), QStringLiteral("OK"));
        QCOMPARE(
            about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->text(), QStringLiteral("&System Info..."));
        QCOMPARE(about->parentWidget()->pos(), QPoint(0, 0));
    }

    void okCloses()
    {
        MDI mdi;
        QWidget *about = openAbout(mdi);
        QVERIFY(about);
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QTRY_COMPARE(mdi.area()->subWindowList().size(), 0);
        QVERIFY(!mdi.findScreen(QStringLiteral("frmAbout")));
    }

    void noProgramGivesTheMessage()
    {
        QTemporaryDir empty;
        // A file of the right name that cannot be run does not count.
        makeProgram(empty.path(), QStringLiteral("kinfocenter"), {}, false);
        qputenv("PATH", QFile::encodeName(empty.path()));
        MDI mdi;
        QWidget *about = openAbout(mdi);
        QVERIFY(about);
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Job Tracker"));
        QCOMPARE(Messages::shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(mdi.findScreen(QStringLiteral("frmAbout")));
    }

    void programOnThePathIsStarted()
    {
        QTemporaryDir folder;
        const QString marker = folder.filePath(QStringLiteral("ran"));
        makeProgram(folder.path(), QStringLiteral("hardinfo"), marker);
        qputenv("PATH", QFile::encodeName(folder.path()));
        MDI mdi;
        QWidget *about = openAbout(mdi);
        QVERIFY(about);
        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(marker));
        QCOMPARE(Messages::shown().size(), 0);
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
