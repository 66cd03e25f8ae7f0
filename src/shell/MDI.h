#pragma once

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
    // Opens the login screen.
    void openLogin();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenu();
    QAction *addEntry(QMenu *menu, const char *name, const QString &caption);
    // Runs a menu entry after a permission check; message A when refused.
    void guardedOpen(const QStringList &permissions, const std::function<void()> &open);
    void centreLogo();
    void updateClock();

    QMdiArea *m_area = nullptr;
    QWidget *m_logo = nullptr;
    QLabel *m_userPanel = nullptr;
    QLabel *m_timePanel = nullptr;
    QLabel *m_datePanel = nullptr;
    QTimer *m_clock = nullptr;
    bool m_closing = false;
};
