#pragma once

// Single instance, command line, debugger test.

#include <QString>
#include <QStringList>

// True when another process already holds the instance lock called name. Otherwise this
// process takes it and holds it until it ends (a lock file in the temporary folder, one per
// name and user; the lock of a process that died is taken over). When the lock is held
// elsewhere and silent is false, the error "Programma già attivo !!!".
bool IsAlreadyRunning(const QString &name, bool silent);
// The lock file used for name.
QString InstanceLockPath(const QString &name);

// Clears SessionInfo().sUserName and sPassword, stamps dtStartTime with the local time, and
// reads "-u <user>" and "-pwd <password>" (switches compared exactly) from the arguments, the
// first of which is the program path.
void ReadCommandLine(const QStringList &args);

// True when a debugger is attached to the process (TracerPid in /proc/self/status).
bool IsDebuggerAttached();
