#pragma once

#include <QDateTime>
#include <QString>

// The logged-on operator, the connection and the main window's developer state: one record
// for the whole process, filled by the logon and read by every window.
struct TSessionInfo
{
    // Operator (filled by the logon check).
    QString sUserName; // as typed, upper case; the audit user of every change
    QString sPassword; // as typed, lower case
    QString sIdOperatore;
    QString sOperatorDescription;
    QString sCompanyName;
    QString sOperatorCompanyId; // empty when the operator is not bound to a company
    bool bAdministrator = false;
    bool bFunzionario = false;
    QString sDBXClientKey;
    QString sDBXClientSecret;
    QString sDBXAccessToken;
    bool bDBXFolderOnline = false;
    bool bDBXFolderLocal = false;
    QString sRootFolder;
    QString sSocietaFolder;

    // Connection.
    QString sServerName;   // SrvLoc (or the local instance) + "\SQLEXPRESS,1433"
    QString sDatabaseName; // the catalog chosen at logon

    // Settings files.
    QString sSettingsFile;     // program folder + "VentorelWin.INI"
    QString sUserSettingsFile; // program folder + "VentorelWin_" + user + ".ini"
    QString sQuotesPath;       // General_PrevsPath

    QDateTime dtServerTime;
    QDateTime dtStartTime;

    // Developer state of the main window.
    bool bDeveloperMode = false;
    QString sDeveloperUser;
    int iPauseFactor = 0;
    int iDebugPaneHeight = 0;
    bool bPrintersAvailable = false;
};

// The process-wide record.
TSessionInfo &SessionInfo();
