#include "shell/MDI.h"

#include "settings/frmCompanyInfo.h"
#include "shell/Clock.h"
#include "shell/GuiMessages.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMDIBackgroundImage.h"
#include "shell/modMain.h"
#include "wip/frmWIPEntry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

MDI::MDI(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MDI"));
    setWindowTitle(QStringLiteral("Varnholt of Brackwell"));
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_area);
    // The logo sits on the area's background, below every screen.
    m_logo = new frmMDIBackgroundImage(m_area->viewport());
    m_logo->lower();
    m_logo->show();
    m_area->viewport()->installEventFilter(this);
    buildMenu();
    wireScreens();

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
        [this] { guardedOpen({ QStringLiteral("Company Info") }, [this] { openCompanyInfo(); }); });
    connect(addEntry(file, "Exit", QStringLiteral("Exit")), &QAction::triggered, this, [] { ShutDown(); });

    QMenu *wips = topMenu("mnuWIPS", QStringLiteral("&WIPs"));
    addScreenEntry(wips, "mnuWIPsBoard", QStringLiteral("WIPs Navigator"), { QStringLiteral("WIPs Navigator") });
    addScreenEntry(wips, "mnuWIPEntry", QStringLiteral("WIP Entry/Edit"), { QStringLiteral("WIPs Entry/Edit") });

    QMenu *qb = topMenu("mnuQB", QStringLiteral("&QuickBooks"));
    addScreenEntry(qb, "mnuQBSync", QStringLiteral("QuickBooks Sync"), { QStringLiteral("Quickbooks Sync") });

    const QStringList timePermissions { QStringLiteral("Employee Time Manager"),
        QStringLiteral("Employee Time Entry/Edit") };
    QMenu *time = topMenu("mnuEmployeeTime", QStringLiteral("&Employee Time"));
    addScreenEntry(time, "mnuTimeNavigator", QStringLiteral("Time Navigator"), timePermissions);
    addScreenEntry(time, "mnuTimeEntry", QStringLiteral("Time Entry"), timePermissions);

    QMenu *admin = topMenu("mnuAdmin", QStringLiteral("&Administrative"));
    addScreenEntry(
        admin, "mnuWIPStatusEntry", QStringLiteral("WIP Status Entry/Edit"), { QStringLiteral("Company Info") });
    addScreenEntry(
        admin, "mnuEmployeeEntry", QStringLiteral("Employee Entry/Edit"), { QStringLiteral("Employee Entry/Edit") });

    // Reports is an entry of its own, without sub-entries or action.
    QAction *reports = bar->addAction(QStringLiteral("&Reports"));
    reports->setObjectName(QStringLiteral("mnuReports"));

    QMenu *help = topMenu("Help", QStringLiteral("&Help"));
    // No permission is asked for the About box.
    connect(addEntry(help, "About", QStringLiteral("About")), &QAction::triggered, this,
        [this] { openEntryScreen(QStringLiteral("About")); });
}

// One line per screen that a menu entry opens.
void MDI::wireScreens()
{
    setEntryScreen(QStringLiteral("About"), QStringLiteral("frmAbout"), [] { return new frmAbout; });
    setEntryScreen(QStringLiteral("mnuWIPEntry"), QStringLiteral("frmWIPEntry"), [] { return new frmWIPEntry; });
}

QAction *MDI::addScreenEntry(QMenu *menu, const char *name, const QString &caption, const QStringList &permissions)
{
    QAction *action = addEntry(menu, name, caption);
    const QString entry = QString::fromLatin1(name);
    connect(action, &QAction::triggered, this,
        [this, entry, permissions] { guardedOpen(permissions, [this, entry] { openEntryScreen(entry); }); });
    return action;
}

void MDI::setEntryScreen(const QString &entry, const QString &screenName, std::function<QWidget *()> create)
{
    m_entryScreens.insert(entry, { screenName, std::move(create) });
}

void MDI::openEntryScreen(const QString &entry)
{
    const auto screen = m_entryScreens.constFind(entry);
    if (screen == m_entryScreens.cend() || !screen->create)
        return;
    openScreen(screen->name, screen->create);
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
    auto *login = qobject_cast<frmLogin *>(showScreen(QStringLiteral("frmLogin"), [] { return new frmLogin; }));
    if (!login)
        return;
    connect(login, &frmLogin::loggedIn, this, &MDI::unlockAfterLogin, Qt::UniqueConnection);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(login->parentWidget())) {
        // A small fixed box: no maximise or minimise.
        sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        sub->adjustSize();
        sub->setFixedSize(sub->size());
        const QSize client = m_area->viewport()->size();
        sub->move(
            std::max(0, client.width() / 2 - sub->width() / 2), std::max(0, client.height() / 2 - sub->height() / 2));
        sub->show();
    }
    login->setFocus();
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

bool MDI::eventFilter(QObject *watched, QEvent *event)
{
    // The area's viewport changes size after the window's own resize (menu,
    // status bar, scroll bars); the logo follows it.
    if (watched == m_area->viewport() && event->type() == QEvent::Resize)
        centreLogo();
    return QMainWindow::eventFilter(watched, event);
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

void CloseScreen(QWidget *screen)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(screen->parentWidget()))
        sub->close();
    else
        screen->close();
}
