#pragma once

// Program folder, folders and files.

#include <QString>

// The program folder with a trailing "/": the folder named by $VENTOREL_HOME when set, else the
// executable's folder. It holds the two settings files, Reports/ and Settings/.
QString ProgramFolder();
// Program folder + name.
QString ExeFolderPath(const QString &name);

// True when the folder exists or could be created (one level); otherwise the error
// "Attenzione !  Impossibile creare la cartella [<path>]." and false.
bool EnsureFolder(const QString &path);
// True when the file is absent or has been deleted; otherwise false, after the error
// "Attenzione !  Impossibile cancellare il file: <path>." unless silent.
bool DeleteFileChecked(const QString &path, bool silent = false);
// Something matches: a path, or a pattern with "*" / "?" in its last part.
bool PathExists(const QString &pathOrPattern);
// File name without folder and last extension; empty for an empty path or a folder path.
QString FileBaseName(const QString &path);
