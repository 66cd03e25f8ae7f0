#include "shell/ui/MDI.h"

#include "base/Clock.h"
#include "shell/AppContext.h"
#include "shell/Backups.h"
#include "shell/ui/BackupUi.h"
#include "shell/ui/frmLogin.h"
#include "shell/ui/frmMDIBackgroundImage.h"
#include "widgets/Messages.h"
#include "widgets/Screen.h"
#include "widgets/ScreenRegistry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

MDI::MDI(AppContext &context, const ScreenRegistry &screens, QWidget *parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_screens(screens)
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

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    m_userPanel = new QLabel(this);
    m_userPanel->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_userPanel->setMinimumWidth(160);
    m_userPanel->setTextFormat(Qt::PlainText); // a user name, as typed
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

    // The embedded database is backed up when the last program using it
    // exits: each running program keeps a mark beside it.
    const QString embedded = Backups::embeddedFile(m_context.db());
    if (!embedded.isEmpty()) {
        m_session = std::make_unique<Backups::SessionMark>(embedded);
        auto *touch = new QTimer(this);
        connect(touch, &QTimer::timeout, this, [this] { m_session->touch(); });
        touch->start(Backups::kTouchMinutes * 60 * 1000);
    }
    resize(1024, 768);
    // The hook may outlive this window (a context kept for the next one), and
    // this window the context: it asks for the window, never the reverse.
    m_context.setSessionLostHook([window = QPointer<MDI>(this)] {
        if (window)
            window->returnToLogin();
    });
}

MDI::~MDI() = default;

QAction *MDI::addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    const QString entry = QString::fromLatin1(name);
    action->setObjectName(entry);
    connect(action, &QAction::triggered, this, [this, entry] { runEntry(entry); });
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
    addEntry(file, "CompanyInfo", QStringLiteral("Setup"));
    addEntry(file, "mnuBackUpNow", QStringLiteral("Back Up Now…"));
    addEntry(file, "mnuFieldPage", QStringLiteral("Field Page…"));
    QAction *exit = file->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("Exit"));
    // Exit leaves the way the close box does: the screens are asked first.
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *wips = topMenu("mnuWIPS", QStringLiteral("&WIPs"));
    addEntry(wips, "mnuWIPsBoard", QStringLiteral("WIPs Navigator"));
    addEntry(wips, "mnuWIPEntry", QStringLiteral("WIP Entry/Edit"));

    QMenu *qb = topMenu("mnuQB", QStringLiteral("&QuickBooks"));
    addEntry(qb, "mnuQBSync", QStringLiteral("QuickBooks Sync"));

    QMenu *time = topMenu("mnuEmployeeTime", QStringLiteral("&Employee Time"));
    addEntry(time, "mnuTimeNavigator", QStringLiteral("Time Navigator"));
    addEntry(time, "mnuTimeEntry", QStringLiteral("Time Entry"));

    QMenu *admin = topMenu("mnuAdmin", QStringLiteral("&Administrative"));
    addEntry(admin, "mnuWIPStatusEntry", QStringLiteral("WIP Status Entry/Edit"));
    addEntry(admin, "mnuEmployeeEntry", QStringLiteral("Employee Entry/Edit"));
    addEntry(admin, "mnuEquipment", QStringLiteral("Equipment"));

    // Reports is an entry of its own, without sub-entries or action.
    QAction *reports = bar->addAction(QStringLiteral("&Reports"));
    reports->setObjectName(QStringLiteral("mnuReports"));

    QMenu *help = topMenu("Help", QStringLiteral("&Help"));
    addEntry(help, "About", QStringLiteral("About"));
}

void MDI::runEntry(const QString &name)
{
    const ScreenEntry *entry = m_screens.forMenu(name);
    if (entry && entry->run) {
        bool granted = false;
        Messages::guarded(this, [&] { granted = permitted(*entry, {}); });
        if (granted)
            entry->run(this, m_context);
        // A command may have made a backup.
        updateBackupTip();
    } else if (entry && !entry->screenName.isEmpty()) {
        openScreen(entry->screenName);
    }
}

bool MDI::holds(const ScreenEntry &entry, const QString &contentPermission)
{
    // The login and the About box ask nothing, also of a lost login.
    if (entry.permissions.isEmpty() && contentPermission.isEmpty())
        return true;
    bool granted = entry.permissions.isEmpty();
    // Every name is asked, in order, even after one has granted.
    for (const QString &permission : entry.permissions)
        granted = m_context.HasPermission(permission) || granted;
    if (granted && !contentPermission.isEmpty())
        granted = m_context.HasPermission(contentPermission);
    return granted && !m_context.sessionLost();
}

bool MDI::permitted(const ScreenEntry &entry, const QString &contentPermission)
{
    const bool granted = holds(entry, contentPermission);
    // A lost login has been told already.
    if (!granted && !m_context.sessionLost()) {
        Messages::show(this,
            entry.refusal.isEmpty() ? QStringLiteral("You do not have permission to view this record.") : entry.refusal,
            QStringLiteral("Invalid Permission"), Messages::Icon::Exclamation);
    }
    return granted;
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
    // The company setup opened before login stays only for a user who may
    // change the company's settings.
    if (auto *setup = qobject_cast<Screen *>(m_firstSetup.data())) {
        const ScreenEntry *entry = m_screens.forScreen(setup->objectName());
        bool stays = false;
        Messages::guarded(this, [&] { stays = entry && holds(*entry); });
        if (!stays)
            setup->closeConfirmed();
        m_firstSetup.clear();
    }
    updateBackupTip();
}

void MDI::returnToLogin()
{
    if (m_returningToLogin || m_closing)
        return;
    m_returningToLogin = true;
    Messages::show(this,
        QStringLiteral("Your login is no longer valid: your account has been made inactive or removed. Every "
                       "screen closes without saving; log in again to go on."),
        QStringLiteral("Logged Off"), Messages::Icon::Exclamation);
    // Nothing is asked: what the screens hold may no longer be saved.
    const QList<QMdiSubWindow *> subs = m_area->subWindowList();
    for (const QPointer<QMdiSubWindow> &sub : QList<QPointer<QMdiSubWindow>>(subs.cbegin(), subs.cend())) {
        if (!sub)
            continue;
        if (auto *screen = qobject_cast<Screen *>(sub->widget()))
            screen->closeConfirmed();
        else
            sub->close();
    }
    try {
        m_context.CallEmployeeLogoff();
    } catch (const std::exception &e) {
        qWarning("Logoff was not recorded: %s", e.what());
    }
    m_context.clearUser();
    m_userPanel->clear();
    lockForLogin();
    m_returningToLogin = false;
    openLogin();
}

bool MDI::mayChange(const QString &screenName)
{
    // Before login only the first setup is open, and saves as the start-up
    // meant it to.
    if (!m_context.isLoggedIn() && !m_context.sessionLost())
        return m_firstSetup && m_firstSetup->objectName() == screenName;
    const ScreenEntry *entry = m_screens.forScreen(screenName);
    bool granted = false;
    Messages::guarded(this, [&] { granted = entry && holds(*entry); });
    if (!granted && !m_context.sessionLost()) {
        Messages::show(this, QStringLiteral("You do not have permission to change this record."),
            QStringLiteral("Invalid Permission"), Messages::Icon::Exclamation);
    }
    return granted;
}

void MDI::updateBackupTip()
{
    statusBar()->setToolTip(BackupUi::lastBackupText(m_context));
}

void MDI::remindOfBackup()
{
    BackupUi::remindAtLogin(this, m_context);
}

QWidget *MDI::findScreen(const QString &objectName) const
{
    for (QMdiSubWindow *sub : m_area->subWindowList()) {
        if (sub->widget() && sub->widget()->objectName() == objectName)
            return sub->widget();
    }
    return nullptr;
}

QWidget *MDI::openScreen(const QString &screenName, const QString &contentPermission, OpenMode mode)
{
    const ScreenEntry *entry = m_screens.forScreen(screenName);
    if (!entry)
        return nullptr;
    QWidget *screen = nullptr;
    Messages::guarded(this, [&] {
        // Asked again for an open screen too: it is about to show something.
        if (mode == OpenMode::Checked) {
            if (permitted(*entry, contentPermission))
                screen = createScreen(*entry);
            return;
        }
        const bool granted = holds(*entry, contentPermission);
        if (m_context.sessionLost())
            return;
        screen = createScreen(*entry);
        if (auto *opened = qobject_cast<Screen *>(screen); opened && !granted) {
            opened->setReadOnly(QStringLiteral("Read only: you do not have permission to change this record."));
        }
    });
    return screen;
}

QWidget *MDI::openFirstSetup()
{
    const ScreenEntry *entry = m_screens.forScreen(QStringLiteral("frmCompanyInfo"));
    m_firstSetup = entry ? createScreen(*entry) : nullptr;
    return m_firstSetup;
}

QWidget *MDI::createScreen(const ScreenEntry &entry)
{
    if (QWidget *open = findScreen(entry.screenName))
        return open;
    Screen *screen = entry.create(m_context);
    if (!screen)
        return nullptr;
    if (!screen->open()) {
        delete screen;
        return nullptr;
    }
    screen->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_area->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->move(0, 0);
    screen->show();
    sub->show();
    return screen;
}

QWidget *MDI::showScreen(const QString &screenName, const QString &contentPermission, OpenMode mode)
{
    QWidget *screen = openScreen(screenName, contentPermission, mode);
    if (screen) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(screen->parentWidget())) {
            sub->showNormal();
            m_area->setActiveSubWindow(sub);
            sub->raise();
        }
    }
    return screen;
}

void MDI::openLogin()
{
    auto *login = qobject_cast<frmLogin *>(showScreen(QStringLiteral("frmLogin")));
    if (!login)
        return;
    connect(login, &frmLogin::loggedIn, this, &MDI::unlockAfterLogin, Qt::UniqueConnection);
    connect(login, &frmLogin::loggedIn, this, &MDI::remindOfBackup, Qt::UniqueConnection);
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

bool MDI::closeScreens()
{
    const QList<QMdiSubWindow *> subs = m_area->subWindowList();
    // Every screen is asked before any closes: Cancel on one (its unsaved
    // changes) keeps the window with all its screens as they are.
    for (QMdiSubWindow *sub : subs) {
        auto *screen = qobject_cast<Screen *>(sub->widget());
        if (screen && !screen->confirmClose())
            return false;
    }
    for (const QPointer<QMdiSubWindow> &sub : QList<QPointer<QMdiSubWindow>>(subs.cbegin(), subs.cend())) {
        if (!sub)
            continue;
        auto *screen = qobject_cast<Screen *>(sub->widget());
        // A screen may still refuse: one waiting for a call finishes first.
        if (!(screen ? screen->closeConfirmed() : sub->close()))
            return false;
    }
    return true;
}

void MDI::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    // A second close while the screens' questions are up waits for them.
    if (m_asking) {
        event->ignore();
        return;
    }
    m_asking = true;
    const bool closed = closeScreens();
    m_asking = false;
    if (!closed) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
    // Never stops the exit: a failure is shown and the program ends.
    BackupUi::backUpOnExit(this, m_context, m_session.get());
    m_session.reset();
    m_context.ShutDown();
}
