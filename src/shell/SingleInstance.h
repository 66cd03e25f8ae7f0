#pragma once

#include <QString>

// One running copy per user: a lock file in the user's runtime folder, held
// for the life of the process.
namespace SingleInstance {

// True when this process now holds the lock (or already held it through an
// earlier call that it has not released); false when another holder has it.
bool acquire(const QString &name = QStringLiteral("jobtracker"));
void release();

} // namespace SingleInstance
