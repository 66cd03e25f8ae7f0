#include "shell/SysInfo.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace SysInfo {

namespace {

#ifdef Q_OS_WIN
    // Where the Windows installer records msinfo32: its full path, else its folder.
    QString fromRegistry()
    {
        const QSettings msinfo(
            QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QSettings::NativeFormat);
        const QString path = msinfo.value(QStringLiteral("PATH")).toString();
        if (!path.isEmpty())
            return path;
        const QSettings location(
            QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location"), QSettings::NativeFormat);
        const QString folder = location.value(QStringLiteral("MSINFO")).toString();
        if (!folder.isEmpty()) {
            const QString program = folder + QStringLiteral("\\MSINFO32.EXE");
            if (QFileInfo::exists(program))
                return program;
        }
        return {};
    }
#endif

} // namespace

QStringList candidates()
{
    return { QStringLiteral("msinfo32"), QStringLiteral("kinfocenter"), QStringLiteral("hardinfo2"),
        QStringLiteral("hardinfo"), QStringLiteral("xfce4-about") };
}

QString findProgram(const QStringList &folders)
{
#ifdef Q_OS_WIN
    if (folders.isEmpty()) {
        const QString registered = fromRegistry();
        if (!registered.isEmpty())
            return registered;
    }
#endif
    for (const QString &name : candidates()) {
        const QString found = QStandardPaths::findExecutable(name, folders);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

bool start(const QString &program)
{
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return false;
    return QProcess::startDetached(program, {});
}

} // namespace SysInfo
