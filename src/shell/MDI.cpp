#include "shell/MDI.h"

#include "settings/frmCompanyInfo.h"
#include "shell/GuiMessages.h"
#include "shell/modMain.h"
#include "shell/Clock.h"
#include "wip/frmWIPEntry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

MDI::MDI(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MDI"));
    setWindowTitle(QStringLiteral("Varnholt of Brackwell"));
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_area);
    buildMenu();

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    m_userPanel = new QLabel(this);
    m_userPanel->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_userPanel->setMinimumWidth(160);
    m_timePanel = new QLabel(this);
    m_timePanel->setObjectName(QStringLiteral("StatusBar1Time"));
    m_datePanel = new QLabel(this);
    m_datePanel->setObjectName(QStringLiteral("StatusBar1Date"));
    statusBar()->addWidget(m_userPanel, 1);
    statusBar()->addPermanentWidget(m_timePanel);
    statusBar()->addPermanentWidget(m_datePanel);
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &MDI::updateClock);
    m_clock->start(1000);
    updateClock();
    resize(1024, 768);
}

MDI::~MDI() = default;

QAction *MDI::addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MDI::buildMenu()
{
    QMenuBar *bar = menuBar();
    auto topMenu = [&](const char *name, const QString &caption) {
        QMenu *menu = bar->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu *file = topMenu("File", QStringLiteral("&File"));
    connect(addEntry(file, "CompanyInfo", QStringLiteral("Setup")), &QAction::triggered, this,
            [this] { guardedOpen({QStringLiteral("Company Info")}, [this] { openCompanyInfo(); }); });
    connect(addEntry(file, "Exit", QStringLiteral("Exit")), &QAction::triggered, this, [] { ShutDown(); });

    QMenu *wips = topMenu("mnuWIPS", QStringLiteral("&WIPs"));
    addEntry(wips, "mnuWIPsBoard", QStringLiteral("WIPs Navigator"));
    connect(addEntry(wips, "mnuWIPEntry", QStringLiteral("WIP Entry/Edit")), &QAction::triggered, this, [this] {
        guardedOpen({QStringLiteral("WIPs Entry/Edit")}, [this] {
            openScreen(QStringLiteral("frmWIPEntry"), [] { return new frmWIPEntry; });
        });
    });

    QMenu *qb = topMenu("mnuQB", QStringLiteral("&QuickBooks"));
    addEntry(qb, "mnuQBSync", QStringLiteral("QuickBooks Sync"));

    QMenu *time = topMenu("mnuEmployeeTime", QStringLiteral("&Employee Time"));
    addEntry(time, "mnuTimeNavigator", QStringLiteral("Time Navigator"));
    addEntry(time, "mnuTimeEntry", QStringLiteral("Time Entry"));

    QMenu *admin = topMenu("mnuAdmin", QStringLiteral("&Administrative"));
    addEntry(admin, "mnuWIPStatusEntry", QStringLiteral("WIP Status Entry/Edit"));
    addEntry(admin, "mnuEmployeeEntry", QStringLiteral("Employee Entry/Edit"));

    // Reports is an entry of its own, without sub-entries or action.
    QAction *reports = bar->addAction(QStringLiteral("&Reports"));
    reports->setObjectName(QStringLiteral("mnuReports"));

    QMenu *help = topMenu("Help", QStringLiteral("&Help"));
    addEntry(help, "About", QStringLiteral("About"));
}

void MDI::guardedOpen(const QStringList &permissions, const std::function<void()> &open)
{
    Messages::guarded(this, [&] {
        bool granted = false;
        // Every name is asked, in order, even after one has granted.
        for (const QString &permission : permissions)
            granted = HasPermission(permission) || granted;
        if (!granted) {
            Messages::show(this, QStringLiteral("You do not have permission to view this record."),
                           QStringLiteral("Invalid Permission"), Messages::Icon::Exclamation);
            return;
        }
        open();
    });
}

void MDI::lockForLogin()
{
    for (QAction *action : menuBar()->actions())
        action->setEnabled(false);
    for (QMenu *menu : menuBar()->findChildren<QMenu *>()) {
        for (QAction *action : menu->actions())
            action->setEnabled(false);
    }
    statusBar()->setEnabled(false);
    findChild<QAction *>(QStringLiteral("File"))->setEnabled(true);
    findChild<QAction *>(QStringLiteral("Exit"))->setEnabled(true);
}

void MDI::unlockAfterLogin(const QString &username)
{
    for (QAction *action : menuBar()->actions())
        action->setEnabled(true);
    for (QMenu *menu : menuBar()->findChildren<QMenu *>()) {
        for (QAction *action : menu->actions())
            action->setEnabled(true);
    }
    statusBar()->setEnabled(true);
    m_userPanel->setText(username);
}

QWidget *MDI::findScreen(const QString &objectName) const
{
    for (QMdiSubWindow *sub : m_area->subWindowList()) {
        if (sub->widget() && sub->widget()->objectName() == objectName)
            return sub->widget();
    }
    return nullptr;
}

QWidget *MDI::openScreen(const QString &objectName, const std::function<QWidget *()> &create)
{
    if (QWidget *open = findScreen(objectName))
        return open;
    QWidget *screen = create();
    if (!screen)
        return nullptr;
    screen->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_area->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->move(0, 0);
    screen->show();
    sub->show();
    return screen;
}

QWidget *MDI::showScreen(const QString &objectName, const std::function<QWidget *()> &create)
{
    QWidget *screen = openScreen(objectName, create);
    if (screen) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(screen->parentWidget())) {
            sub->showNormal();
            m_area->setActiveSubWindow(sub);
            sub->raise();
        }
    }
    return screen;
}

void MDI::openCompanyInfo()
{
    openScreen(QStringLiteral("frmCompanyInfo"), &frmCompanyInfo::create);
}

void MDI::openLogin()
{
    // Wired when the login screen exists.
}

void MDI::centreLogo()
{
    if (!m_logo)
        return;
    const QSize client = m_area->viewport()->size();
    m_logo->move(client.width() / 2 - m_logo->width() / 2, client.height() / 2 - m_logo->height() / 2);
}

void MDI::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    centreLogo();
}

void MDI::updateClock()
{
    const QDateTime now = Clock::now();
    m_timePanel->setText(QLocale().toString(now.time(), QLocale::ShortFormat));
    m_datePanel->setText(QLocale().toString(now.date(), QLocale::ShortFormat));
}

void MDI::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    m_area->closeAllSubWindows();
    event->accept();
    ShutDown();
}
