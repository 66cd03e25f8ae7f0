#pragma once

#include "base/FieldProblem.h"
#include "data/DbError.h"

#include <QColor>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPrinter;
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
    // As the box was set up: always plain, the text is shown as it is
    // (a file name or caption holding markup draws nothing).
    Qt::TextFormat textFormat = Qt::AutoText;
};

QMessageBox::StandardButton show(QWidget *parent, const QString &text, const QString &title, Icon icon = Icon::None,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A database error during work: its number and description. The caller has
// rolled back and keeps what the user typed.
void databaseError(QWidget *parent, const data::DbError &error);

// A value refused: shows the problem's message over `parent`, then puts the
// focus on `control` when there is one (a line edit's text selected, so that
// typing replaces it). The one way a screen answers a refused value.
void showProblem(QWidget *parent, const FieldProblem &problem, QWidget *control, Icon icon = Icon::None);

// Runs work with the hourglass; a DbError it throws is shown with
// databaseError(), any other std::exception with its text, the pointer is
// restored and false is returned. The one place screens and their panels turn
// errors into messages: nothing escapes a handler, and the controls keep what
// the user typed.
bool guarded(QWidget *parent, const std::function<void()> &work);

// The colour dialog, opened at `initial`: the colour chosen, or nothing when
// the user cancels.
std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial, const QString &title = QString());

// The save-file dialog, opened on `suggested` (a path): the path chosen, or
// an empty text when the user cancels.
QString saveFileName(QWidget *parent, const QString &title, const QString &suggested, const QString &filter);

// The open-file dialog for several files, opened in `folder`: the paths
// chosen, none when the user cancels.
QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder, const QString &filter);

// Opens the file in the desktop's own program for its type; false when
// there is none.
bool openWithDesktop(const QString &path);

// The system print dialog for printer, offering pages 1 to pageCount: true
// when the user chose to print (the printer then holds the choices).
bool printDialog(QWidget *parent, QPrinter &printer, int pageCount);

// ---- test seam
// Recording also covers the colour dialog: each opening records its initial
// colour, and the answer comes from the queue of next colours (nothing in
// the queue, or a queued nullopt, is Cancel). So are the file and print
// dialogs: each opening is recorded in dialogs() ("<title>: <suggested
// path>", "Print: <pages>"), and the answer comes from the queue of next file
// names ("" or nothing queued is Cancel; the dialog for several files takes
// one queued text of paths separated by "\n") or of print answers (nothing
// queued is Cancel). A file opened with the desktop's program is recorded
// as "Open: <path>" and not opened.
void setRecording(bool on);
void setNextAnswer(QMessageBox::StandardButton answer);
const QList<Shown> &shown();
void clearShown();
void setNextColor(std::optional<QColor> answer);
// The initial colour of every colour dialog opened so far.
const QList<QColor> &colorDialogs();
void setNextFileName(const QString &path);
// A print answer may set the printer up (an output file) before it says yes.
void setNextPrintAnswer(std::function<bool(QPrinter &)> answer);
const QStringList &dialogs();

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
