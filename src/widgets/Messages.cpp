#include "widgets/Messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QQueue>

namespace Messages {

namespace {
    bool g_recording = false;
    QQueue<QMessageBox::StandardButton> g_answers;
    QQueue<QString> g_fileNames;
    QList<Shown> g_shown;
    std::function<void(const Shown &)> g_onShown;

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
    if (g_recording) {
        const Shown entry { text, title, icon, buttons };
        g_shown << entry;
        if (g_onShown)
            g_onShown(entry);
        if (!g_answers.isEmpty())
            return g_answers.dequeue();
        if (defaultButton != QMessageBox::NoButton)
            return defaultButton;
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
    }
    QMessageBox box(toQt(icon), title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    QApplication::restoreOverrideCursor();
    return answer;
}

void databaseError(QWidget *parent, const data::DbError &error)
{
    show(parent, error.message(), QStringLiteral("Database Error"), Icon::Critical);
}

bool guarded(QWidget *parent, const std::function<void()> &work)
{
    try {
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

QString saveFileName(QWidget *parent, const QString &title, const QString &suggestedPath, const QString &filter)
{
    if (g_recording)
        return g_fileNames.isEmpty() ? QString() : g_fileNames.dequeue();
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QString path = QFileDialog::getSaveFileName(parent, title, suggestedPath, filter);
    QApplication::restoreOverrideCursor();
    return path;
}

void setRecording(bool on)
{
    g_recording = on;
    g_answers.clear();
    g_fileNames.clear();
    g_shown.clear();
    g_onShown = nullptr;
}

bool isRecording()
{
    return g_recording;
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    g_answers.enqueue(answer);
}

void setNextFileName(const QString &path)
{
    g_fileNames.enqueue(path);
}

const QList<Shown> &shown()
{
    return g_shown;
}

void clearShown()
{
    g_shown.clear();
}

void setOnShown(std::function<void(const Shown &)> callback)
{
    g_onShown = std::move(callback);
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
