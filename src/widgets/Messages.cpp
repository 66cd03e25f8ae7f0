#include "widgets/Messages.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QQueue>
#include <QUrl>

namespace Messages {

namespace {
    bool g_recording = false;
    QQueue<QMessageBox::StandardButton> g_answers;
    QList<Shown> g_shown;
    QQueue<std::optional<QColor>> g_colors;
    QList<QColor> g_colorDialogs;
    QQueue<QString> g_fileNames;
    QQueue<std::function<bool(QPrinter &)>> g_printAnswers;
    QStringList g_dialogs;

    QMessageBox::Icon toQt(Icon icon)
    {
        switch (icon) {
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
    // Whatever long work was running, the pointer is normal again.
    void restoreCursor()
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
} // namespace

QMessageBox::StandardButton show(QWidget *parent, const QString &text, const QString &title, Icon icon,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(toQt(icon), title, text, buttons, parent);
    // Messages carry names and values users typed: never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (g_recording) {
        g_shown << Shown { text, title, icon, buttons, box.textFormat() };
        if (!g_answers.isEmpty())
            return g_answers.dequeue();
        if (defaultButton != QMessageBox::NoButton)
            return defaultButton;
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
    }
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    QApplication::restoreOverrideCursor();
    return answer;
}

void databaseError(QWidget *parent, const data::DbError &error)
{
    if (dynamic_cast<const data::ChangedByOtherError *>(&error)) {
        show(parent, error.description(), QStringLiteral("Changed by Someone Else"), Icon::Exclamation);
        return;
    }
    if (dynamic_cast<const data::ConnectionLostError *>(&error)) {
        // The driver's report went to the log; the user needs what it means.
        show(parent, error.description(), QStringLiteral("Database Connection Lost"), Icon::Critical);
        return;
    }
    show(parent, error.message(), QStringLiteral("Database Error"), Icon::Critical);
}

std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial, const QString &title)
{
    if (g_recording) {
        g_colorDialogs << initial;
        return g_colors.isEmpty() ? std::nullopt : g_colors.dequeue();
    }
    QColorDialog dialog(initial, parent);
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    if (!accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

void showProblem(QWidget *parent, const FieldProblem &problem, QWidget *control, Icon icon)
{
    show(parent, problem.text, problem.title, icon);
    if (!control)
        return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->selectAll();
}

bool guarded(QWidget *parent, const std::function<void()> &work)
{
    try {
        const WaitCursor wait;
        work();
        return true;
    } catch (const data::DbError &error) {
        restoreCursor();
        databaseError(parent, error);
        return false;
    } catch (const std::exception &error) {
        // Nothing may escape into Qt's event loop, which would end the
        // program: a failed conversion or library call is reported as one.
        restoreCursor();
        show(parent, QStringLiteral("The operation failed: %1").arg(QString::fromLocal8Bit(error.what())),
            QStringLiteral("Error"), Icon::Critical);
        return false;
    }
}

QString saveFileName(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    if (g_recording) {
        g_dialogs << title + QStringLiteral(": ") + suggested;
        return g_fileNames.isEmpty() ? QString() : g_fileNames.dequeue();
    }
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QString path = QFileDialog::getSaveFileName(parent, title, suggested, filter);
    QApplication::restoreOverrideCursor();
    return path;
}

QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    if (g_recording) {
        g_dialogs << title + QStringLiteral(": ") + folder;
        const QString answer = g_fileNames.isEmpty() ? QString() : g_fileNames.dequeue();
        return answer.split(u'\n', Qt::SkipEmptyParts);
    }
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QStringList paths = QFileDialog::getOpenFileNames(parent, title, folder, filter);
    QApplication::restoreOverrideCursor();
    return paths;
}

bool openWithDesktop(const QString &path)
{
    if (g_recording) {
        g_dialogs << QStringLiteral("Open: ") + path;
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool printDialog(QWidget *parent, QPrinter &printer, int pageCount)
{
    if (g_recording) {
        g_dialogs << QStringLiteral("Print: %1").arg(pageCount);
        return !g_printAnswers.isEmpty() && g_printAnswers.dequeue()(printer);
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, std::max(1, pageCount));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageCount > 1);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    return accepted;
}

void setRecording(bool on)
{
    g_recording = on;
    g_answers.clear();
    g_shown.clear();
    g_colors.clear();
    g_colorDialogs.clear();
    g_fileNames.clear();
    g_printAnswers.clear();
    g_dialogs.clear();
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    g_answers.enqueue(answer);
}

const QList<Shown> &shown()
{
    return g_shown;
}

void clearShown()
{
    g_shown.clear();
}

void setNextColor(std::optional<QColor> answer)
{
    g_colors.enqueue(std::move(answer));
}

const QList<QColor> &colorDialogs()
{
    return g_colorDialogs;
}

void setNextFileName(const QString &path)
{
    g_fileNames.enqueue(path);
}

void setNextPrintAnswer(std::function<bool(QPrinter &)> answer)
{
    g_printAnswers.enqueue(std::move(answer));
}

const QStringList &dialogs()
{
    return g_dialogs;
}

} // namespace Messages

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}
