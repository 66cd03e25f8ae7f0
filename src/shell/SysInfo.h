#pragma once

#include <QString>
#include <QStringList>

// Finding and starting the desktop's system-information program.
namespace SysInfo {

// The programs looked for, in the order they are tried.
QStringList candidates();

// The first candidate found in the given folders, or on PATH when none are
// given; empty when there is none. On Windows the registry's MSINFO entries
// come first.
QString findProgram(const QStringList &folders = {});

// Starts the program detached, in a normal window; false when it cannot run.
bool start(const QString &program);

} // namespace SysInfo
