#include "widgets/Screen.h"

#include "widgets/Messages.h"
#include "widgets/ScreenHost.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

bool isEnterKey(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

ScreenHost *ScreenHost::of(const QWidget *widget)
{
    return widget ? dynamic_cast<ScreenHost *>(widget->window()) : nullptr;
}

Screen::Screen(AppContext &context, const QString &objectName, const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
{
    setObjectName(objectName);
    setWindowTitle(title);
}

bool Screen::open()
{
    return guarded([this] { load(); });
}

bool Screen::guarded(const std::function<void()> &work)
{
    return Messages::guarded(this, work);
}

void Screen::setDefaultButton(QPushButton *button)
{
    m_defaultButton = button;
    button->setDefault(true);
}

void Screen::routeEnterToDefault(QComboBox *listOnlyCombo)
{
    // Installed after the key search, so this filter sees Enter first.
    listOnlyCombo->installEventFilter(this);
    m_enterCombos << listOnlyCombo;
}

void Screen::checkOnLeaving(QWidget *box, QWidget *exempt, std::function<void()> check)
{
    box->installEventFilter(this);
    m_leaveChecks.insert(box, { exempt, std::move(check) });
}

void Screen::closeScreen()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

bool Screen::closeConfirmed()
{
    m_closeConfirmed = true;
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    // A closed window is deleted later, never here.
    const bool closed = sub ? sub->close() : close();
    m_closeConfirmed = false;
    return closed;
}

void Screen::closeEvent(QCloseEvent *event)
{
    if (!m_closeConfirmed && !confirmClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QWidget *Screen::showScreenNamed(const QString &screenName, ScreenHost::OpenMode mode)
{
    ScreenHost *host = ScreenHost::of(this);
    return host ? host->showScreen(screenName, {}, mode) : nullptr;
}

void Screen::setReadOnly(const QString &reason)
{
    if (isReadOnly())
        return;
    m_readOnlyReason = reason;
    auto *line = new QLabel(reason, this);
    line->setObjectName(QStringLiteral("lblReadOnly"));
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
    line->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; padding: 4px; }"));
    if (auto *box = qobject_cast<QBoxLayout *>(layout()))
        box->insertWidget(0, line);
    else
        line->show();
    applyReadOnly();
}

bool Screen::maySave()
{
    if (isReadOnly()) {
        Messages::show(this, m_readOnlyReason, QStringLiteral("Invalid Permission"), Messages::Icon::Exclamation);
        return false;
    }
    // A screen outside the main window (none in the program) has nobody to ask.
    ScreenHost *host = ScreenHost::of(this);
    return !host || host->mayChange(objectName());
}

void Screen::keyPressEvent(QKeyEvent *event)
{
    // Enter on a focused button presses that button (Qt does that before
    // here); Enter that no box has used presses the default button.
    if (m_defaultButton && isEnterKey(event)) {
        if (m_defaultButton->isEnabled())
            m_defaultButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Screen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto leave = m_leaveChecks.constFind(watched);
        if (leave != m_leaveChecks.cend()) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            QWidget *next = QApplication::focusWidget();
            const bool mouseOnButton = reason == Qt::MouseFocusReason && qobject_cast<QAbstractButton *>(next);
            const bool withinScreen = next && next != leave->exempt && isAncestorOf(next) && !mouseOnButton;
            if (withinScreen && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                QPointer<Screen> self(this);
                QPointer<QWidget> box(static_cast<QWidget *>(watched));
                QTimer::singleShot(0, this, [self, box, check = leave->check] {
                    if (self && box && self->isVisible() && !box->hasFocus())
                        check();
                });
            }
        }
    }
    if (event->type() == QEvent::KeyPress && m_defaultButton) {
        auto *combo = qobject_cast<QComboBox *>(watched);
        if (combo && m_enterCombos.contains(combo) && isEnterKey(static_cast<QKeyEvent *>(event))
            && !combo->view()->isVisible()) {
            // The key search takes every character, Enter too; on the closed
            // list Enter is still the default button's.
            if (m_defaultButton->isEnabled())
                m_defaultButton->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
