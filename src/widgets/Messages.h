#pragma once

#include "data/DbError.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <functional>

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

// The save-file dialog: the file the user chose, or empty after Cancel. In
// recording mode nothing is shown and the next queued file name is the answer
// (none queued: Cancel).
QString saveFileName(QWidget *parent, const QString &title, const QString &suggestedPath, const QString &filter);

// ---- test seam
void setRecording(bool on);
bool isRecording();
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextFileName(const QString &path);
const QList<Shown> &shown();
void clearShown();
// Called (in recording mode) with each message as it is "shown".
void setOnShown(std::function<void(const Shown &)> callback);

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
