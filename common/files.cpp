#include "common/files.h"

#include "common/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramFolder()
{
    QString folder = qEnvironmentVariable("VENTOREL_HOME");
    if (folder.isEmpty()) {
        if (QCoreApplication::instance())
            folder = QCoreApplication::applicationDirPath();
        else
            folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    }
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString ExeFolderPath(const QString &name)
{
    QString n = name;
    while (n.startsWith(u'/'))
        n.remove(0, 1);
    return ProgramFolder() + n;
}

bool EnsureFolder(const QString &path)
{
    if (!path.isEmpty() && (QFileInfo(path).isDir() || QDir().mkdir(path)))
        return true;
    ShowErrorBox(QStringLiteral("Attenzione !  Impossibile creare la cartella [%1].").arg(path));
    return false;
}

bool DeleteFileChecked(const QString &path, bool silent)
{
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink())
        return true;
    if (!fi.isDir() && QFile::remove(path))
        return true;
    if (!silent)
        ShowErrorBox(QStringLiteral("Attenzione !  Impossibile cancellare il file: %1.").arg(path));
    return false;
}

bool PathExists(const QString &pathOrPattern)
{
    if (pathOrPattern.isEmpty())
        return false;
    const QFileInfo fi(pathOrPattern);
    const QString name = fi.fileName();
    if (!name.contains(u'*') && !name.contains(u'?'))
        return fi.exists();
    const QDir dir = fi.dir();
    return !dir.entryList({name},
                          QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty();
}

QString FileBaseName(const QString &path)
{
    if (path.isEmpty() || path.endsWith(u'/'))
        return QString();
    return QFileInfo(path).completeBaseName();
}
