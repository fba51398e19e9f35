#pragma once

// The program folder of a test: the reports it reads are copied there from the source tree.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Copies the named reports of the source tree's Reports folder into home's Reports folder
// (made when absent). False when one is missing or cannot be copied (one already there
// included).
inline bool CopyProgramReports(const QString &home, const QStringList &names)
{
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR")
                           + QStringLiteral("/Reports/");
    const QString target = home + QStringLiteral("/Reports/");
    if (!QDir().mkpath(target))
        return false;
    for (const QString &name : names) {
        if (!QFile::copy(source + name, target + name))
            return false;
    }
    return true;
}
