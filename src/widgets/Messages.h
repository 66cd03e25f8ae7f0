#pragma once

#include "data/DbError.h"

#include <QColor>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// Every message box of the program goes through here. Tests switch on the
// recording mode: nothing is shown, each message is recorded, and the answer
// comes from the queue of next answers (or the default button).
namespace Messages {

enum class Icon { None, Exclamation, Critical, Information, Question };

struct Shown
{
    QString text;
    QString title;
    Icon icon = Icon::None;
    QMessageBox::StandardButtons buttons;
};

QMessageBox::StandardButton show(QWidget *parent, const QString &text, const QString &title, Icon icon = Icon::None,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A database error during work: its number and description. The caller has
// rolled back and keeps what the user typed.
void databaseError(QWidget *parent, const data::DbError &error);

// Runs work; a DbError it throws is shown with databaseError(), any other
// std::exception with its text, and false is returned. The one place screens
// turn errors into messages.
bool guarded(QWidget *parent, const std::function<void()> &work);

// The colour dialog, opened at `initial`: the colour chosen, or nothing when
// the user cancels.
std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial, const QString &title = QString());

// ---- test seam
// Recording also covers the colour dialog: each opening records its initial
// colour, and the answer comes from the queue of next colours (nothing in
// the queue, or a queued nullopt, is Cancel).
void setRecording(bool on);
bool isRecording();
void setNextAnswer(QMessageBox::StandardButton answer);
const QList<Shown> &shown();
void clearShown();
// Called (in recording mode) with each message as it is "shown".
void setOnShown(std::function<void(const Shown &)> callback);
void setNextColor(std::optional<QColor> answer);
// The initial colour of every colour dialog opened so far.
const QList<QColor> &colorDialogs();

} // namespace Messages

// The hourglass for the length of a scope.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};
