#include "shell/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace SingleInstance {

namespace {
    std::unique_ptr<QLockFile> g_lock;
}

bool acquire(const QString &name)
{
    if (g_lock)
        return false; // held already: a second start in this same process is a second copy
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(name + QStringLiteral(".lock")));
    // A lock left by a crashed copy is taken over at once.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    g_lock = std::move(lock);
    return true;
}

void release()
{
    g_lock.reset();
}

} // namespace SingleInstance
