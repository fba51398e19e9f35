#include "common/processroutines.h"

#include "common/dialogs.h"
#include "common/sessioninfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <map>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Locks taken by this process, kept until it ends.
std::map<QString, std::unique_ptr<QLockFile>> &HeldLocks()
{
    static std::map<QString, std::unique_ptr<QLockFile>> locks;
    return locks;
}

} // namespace

QString InstanceLockPath(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
                           || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        safe += plain ? c : u'_';
    }
    // One lock per user: another operator's session on the same machine is not this instance.
#ifdef Q_OS_UNIX
    const QString user = QString::number(static_cast<qulonglong>(getuid()));
#else
    const QString user = qEnvironmentVariable("USERNAME");
#endif
    return QDir(QDir::tempPath()).filePath(QStringLiteral("%1-%2.lock").arg(safe, user));
}

bool IsAlreadyRunning(const QString &name, bool silent)
{
    const QString path = InstanceLockPath(name);
    auto &held = HeldLocks();
    if (held.count(path))
        return false; // this process is the instance

    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // held for the whole life of the process
    if (lock->tryLock(0)) {
        held.emplace(path, std::move(lock));
        return false;
    }
    // Only a lock held by another live process means a second instance; a lock file that
    // cannot be created (temporary folder not writable) must not keep the program from starting.
    if (lock->error() != QLockFile::LockFailedError)
        return false;
    if (!silent)
        ShowErrorBox(QStringLiteral("Programma già attivo !!!"));
    return true;
}

void ReadCommandLine(const QStringList &args)
{
    TSessionInfo &session = SessionInfo();
    session.sUserName.clear();
    session.sPassword.clear();
    session.dtStartTime = QDateTime::currentDateTime();
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            break;
        if (args.at(i) == QLatin1String("-u")) {
            session.sUserName = args.at(i + 1);
            ++i;
        } else if (args.at(i) == QLatin1String("-pwd")) {
            session.sPassword = args.at(i + 1);
            ++i;
        }
    }
}

bool IsDebuggerAttached()
{
#ifdef Q_OS_WIN
    return IsDebuggerPresent();
#endif
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!status.atEnd()) {
        const QByteArray line = status.readLine();
        if (line.startsWith("TracerPid:"))
            return line.mid(10).trimmed().toLongLong() != 0;
    }
    return false;
}
