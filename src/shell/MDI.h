#pragma once

#include <QHash>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <functional>

class QMdiArea;
class QLabel;
class QTimer;

// The frame every screen opens in: the menu, the status bar and the logo.
class MDI : public QMainWindow
{
    Q_OBJECT
public:
    explicit MDI(QWidget *parent = nullptr);
    ~MDI() override;

    QMdiArea *area() const { return m_area; }

    // Before login: every menu entry and the status bar disabled, but File
    // and File > Exit.
    void lockForLogin();
    // After login: everything enabled, the user's name in the first panel.
    void unlockAfterLogin(const QString &username);

    // The open screen with this object name, or nullptr.
    QWidget *findScreen(const QString &objectName) const;
    // Opens a screen as a child window unless one with the same object name
    // is open already (which is then left as it is). Returns the screen.
    QWidget *openScreen(const QString &objectName, const std::function<QWidget *()> &create);
    // As openScreen, and also brings it to the front in its normal state.
    QWidget *showScreen(const QString &objectName, const std::function<QWidget *()> &create);

    // Opens the company settings screen (start-up with an empty Company table,
    // File > Setup).
    void openCompanyInfo();
    // Opens the login screen, centred; a successful login unlocks the window.
    void openLogin();

    // The screen a menu entry opens once its permission is granted: the
    // screen's object name and how to make one. An entry without a screen
    // only asks the permission.
    void setEntryScreen(const QString &entry, const QString &screenName, std::function<QWidget *()> create);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct EntryScreen
    {
        QString name;
        std::function<QWidget *()> create;
    };

    void buildMenu();
    void wireScreens();
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    // An entry that opens its screen (setEntryScreen) after the permission
    // check; the Employee Time entries pass two names, either suffices.
    QAction *addScreenEntry(QMenu *menu, const char *name, const QString &caption, const QStringList &permissions);
    void openEntryScreen(const QString &entry);
    // Runs a menu entry after a permission check; message A when refused.
    void guardedOpen(const QStringList &permissions, const std::function<void()> &open);
    void centreLogo();
    void updateClock();

    QHash<QString, EntryScreen> m_entryScreens;

    QMdiArea *m_area = nullptr;
    QWidget *m_logo = nullptr;
    QLabel *m_userPanel = nullptr;
    QLabel *m_timePanel = nullptr;
    QLabel *m_datePanel = nullptr;
    QTimer *m_clock = nullptr;
    bool m_closing = false;
};

// Closes a screen together with its child window (a screen's OK, Exit or
// Close button).
void CloseScreen(QWidget *screen);
