#include "shell/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace SingleInstance {

namespace {
    std::unique_ptr<QLockFile> g_lock;

    // A folder of the user's alone: the runtime folder, else (Qt finds none
    // that is the user's) the cache folder in the home folder. Never the
    // shared temporary folder, where another user could take the lock's name
    // first and so keep the program from starting.
    QString lockFolder()
    {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (!cache.isEmpty() && QDir().mkpath(cache))
            return cache;
        return QDir::homePath();
    }
} // namespace

bool acquire(const QString &name)
{
    if (g_lock)
        return false; // held already: a second start in this same process is a second copy
    auto lock = std::make_unique<QLockFile>(QDir(lockFolder()).filePath(name + QStringLiteral(".lock")));
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
