#pragma once

#include "widgets/ScreenHost.h"

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <functional>
#include <memory>

class AppContext;
class ScreenRegistry;
struct ScreenEntry;
class QMdiArea;
class QLabel;
class QTimer;
namespace Backups {
class SessionMark;
}

// The frame every screen opens in: the menu, the status bar and the logo.
// It knows no feature: the registry tells what each menu entry asks and opens.
class MDI : public QMainWindow, public ScreenHost
{
    Q_OBJECT
public:
    MDI(AppContext &context, const ScreenRegistry &screens, QWidget *parent = nullptr);
    ~MDI() override;

    QMdiArea *area() const { return m_area; }

    // Before login: every menu entry and the status bar disabled, but File
    // and File > Exit.
    void lockForLogin();
    // After login: everything enabled, the user's name in the first panel.
    void unlockAfterLogin(const QString &username);
    // Says when the last backup was made in the status bar's tooltip.
    void updateBackupTip();
    // After a login: the reminder when the database has had no backup for
    // a week.
    void remindOfBackup();

    // The open screen with this object name, or nullptr.
    QWidget *findScreen(const QString &objectName) const;
    // Opens the registered screen with this object name as a child window
    // unless it is open already (which is then left as it is). Every way a
    // screen opens comes here: the logged-in user must hold one of the
    // registry entry's permissions, and `contentPermission` too when given,
    // or "Invalid Permission" is shown and nothing opens. Returns the
    // screen, or nullptr when refused, not registered or it could not load.
    // With OpenMode::ReadOnlyIfDenied a user who lacks the screen's own
    // permission gets it read-only instead of the refusal.
    QWidget *openScreen(
        const QString &screenName, const QString &contentPermission = {}, OpenMode mode = OpenMode::Checked);
    // As openScreen, and also brings it to the front in its normal state.
    QWidget *showScreen(
        const QString &screenName, const QString &contentPermission = {}, OpenMode mode = OpenMode::Checked) override;
    // The screen's permission asked again, for a save; "Invalid Permission"
    // when refused. Before login only the first setup may save.
    bool mayChange(const QString &screenName) override;
    // The company setup that the start-up opens when the database has no
    // company row yet, before anyone can log in; no permission is asked.
    // The login closes it unless the user holds its permission.
    QWidget *openFirstSetup();

    // When a check finds the user's login no longer valid (inactive, or the
    // row gone): tells them, closes every screen without saving, logs them
    // off and opens the login.
    void returnToLogin();

    // Opens the login screen, centred; a successful login unlocks the window.
    void openLogin();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    // A menu entry that runs its registry entry when triggered.
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    // Opens the entry's screen (openScreen asks its permissions).
    void runEntry(const QString &entry);
    // Whether the logged-in user may open the entry's screen showing what
    // needs `contentPermission`; tells them when not. Throws data::DbError.
    bool permitted(const ScreenEntry &entry, const QString &contentPermission);
    // The same without telling. Throws data::DbError.
    bool holds(const ScreenEntry &entry, const QString &contentPermission = {});
    QWidget *createScreen(const ScreenEntry &entry);
    // Closes every screen once each has agreed (asked about its unsaved
    // changes); false when one stays open.
    bool closeScreens();
    void centreLogo();
    void updateClock();

    AppContext &m_context;
    const ScreenRegistry &m_screens;

    QMdiArea *m_area = nullptr;
    QWidget *m_logo = nullptr;
    QLabel *m_userPanel = nullptr;
    QLabel *m_timePanel = nullptr;
    QLabel *m_datePanel = nullptr;
    QTimer *m_clock = nullptr;
    // This program's mark beside the embedded database (none on a server).
    std::unique_ptr<Backups::SessionMark> m_session;
    // The company setup opened before login, while it is open.
    QPointer<QWidget> m_firstSetup;
    bool m_closing = false;
    bool m_returningToLogin = false;
    bool m_asking = false;
};
