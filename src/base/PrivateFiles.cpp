#include "base/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace PrivateFiles {

namespace {

    constexpr QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    constexpr QFileDevice::Permissions kOwnerFolder = kOwnerFile | QFileDevice::ExeOwner;
    constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

    bool ownedByUs(const QFileInfo &info)
    {
#ifdef Q_OS_UNIX
        return info.ownerId() == ::getuid();
#else
        Q_UNUSED(info);
        return true;
#endif
    }

} // namespace

bool createFile(const QString &path, QString *error)
{
    QFile file(path);
    // NewOnly is O_CREAT | O_EXCL: the mode is the file's from its first
    // moment, and nothing planted at the name (a link) is followed.
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerFile))
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool makeFolder(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        const QString parent = info.absolutePath();
        if (!QDir().mkpath(parent))
            return false;
        // A folder made meanwhile by another program is taken as found.
        if (!QDir().mkdir(info.absoluteFilePath(), kOwnerFolder) && !QFileInfo(path).isDir())
            return false;
    }
    const QFileInfo found(path);
    if (!found.isDir())
        return false;
    if (ownedByUs(found) && (found.permissions() & kOthers))
        QFile::setPermissions(path, kOwnerFolder);
    return true;
}

} // namespace PrivateFiles
