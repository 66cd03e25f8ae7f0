#pragma once

#include "widgets/ScreenHost.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>

class AppContext;
class QComboBox;
class QPushButton;

// The base of every screen (see docs/screens.md). A screen is made by its
// factory in the screen registry, opened once by open(), and lives in a child
// window of the main window until closeScreen().
class Screen : public QWidget
{
    Q_OBJECT
public:
    Screen(AppContext &context, const QString &objectName, const QString &title, QWidget *parent = nullptr);

    AppContext &context() const { return m_context; }

    // Reads what the screen shows when it opens (load()). False, after the
    // error has been shown, when that failed: the screen is then not opened.
    bool open();

    // Asks what must be asked before the screen closes (unsaved changes:
    // Yes saves them, No drops them); false when the user chose to stay.
    // Closing asks it; the main window asks every screen before it closes
    // any, so that Cancel on one keeps them all open.
    virtual bool confirmClose() { return true; }
    // Closes the screen with its child window once confirmClose() agreed,
    // without asking again. False when it stayed open all the same.
    bool closeConfirmed();

    // Shows the screen read-only: what it would save, add or delete is
    // disabled (applyReadOnly()) and a line at its top says `reason`; a save
    // that still comes through is refused (maySave()). Stays so until the
    // screen closes.
    void setReadOnly(const QString &reason);
    bool isReadOnly() const { return !m_readOnlyReason.isEmpty(); }

protected:
    // Disables the screen's Save, New and Delete (and whatever else writes).
    virtual void applyReadOnly() { }
    // Asked first by every handler that writes: false, after telling the
    // user, when the screen is read-only or the user no longer holds its
    // permission (read afresh from the database).
    bool maySave();

    // Fills the lists and the record the screen opens with. Throws.
    virtual void load() { }

    // Messages::guarded over this screen.
    bool guarded(const std::function<void()> &work);

    // Enter that no control has used presses this button, as in a dialog. A
    // list-only combo with a key search swallows Enter; route it here too.
    void setDefaultButton(QPushButton *button);
    void routeEnterToDefault(QComboBox *listOnlyCombo);

    // Runs `check` when the user leaves `box` for another control of this
    // screen, once the focus has moved. Not when switching windows or opening
    // a menu, nor for a move to `exempt` (Exit); nor for a button pressed
    // with the mouse, which must never meet a message between press and
    // release (it would stay half-pressed): the button's own handler checks.
    void checkOnLeaving(QWidget *box, QWidget *exempt, std::function<void()> check);

    // Closes the screen together with its child window.
    void closeScreen();

    // Shows (opening if need be) another screen in the main window and
    // returns it as T, or nullptr (also when the user may not open it: the
    // main window has said so).
    template <class T>
    T *showScreen(const QString &screenName, ScreenHost::OpenMode mode = ScreenHost::OpenMode::Checked)
    {
        return qobject_cast<T *>(showScreenNamed(screenName, mode));
    }
    QWidget *showScreenNamed(const QString &screenName, ScreenHost::OpenMode mode = ScreenHost::OpenMode::Checked);

    // Asks confirmClose() first, unless closeConfirmed() closes.
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AppContext &m_context;
    QPointer<QPushButton> m_defaultButton;
    QList<QComboBox *> m_enterCombos;
    struct LeaveCheck
    {
        QWidget *exempt = nullptr;
        std::function<void()> check;
    };
    QHash<QObject *, LeaveCheck> m_leaveChecks;
    bool m_closeConfirmed = false;
    QString m_readOnlyReason;
};

// Enter or Return without modifiers (the keypad's Enter included).
bool isEnterKey(const QKeyEvent *event);
