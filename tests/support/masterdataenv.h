#pragma once

// The environment of a window test on the demo data: a program folder of its own
// (VENTOREL_HOME), a fresh demo database, the dialog recorder, and the session of a logged-on
// demo operator.

#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QTemporaryDir>

#include <memory>

// The demo companies.
inline const QString kSoc1 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
inline const QString kSoc2 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}");

// The demo operators the tests log on as.
enum class TDemoOperator {
    Admin,      // ADMIN: administrator of the first company
    Operator,   // MROSSI: plain operator of the first company
    Funzionario // GBIANCHI: "funzionario" without a company
};

class TMasterDataEnvironment
{
public:
    explicit TMasterDataEnvironment(TDemoOperator who = TDemoOperator::Admin)
    {
        qputenv("VENTOREL_HOME", m_home.path().toUtf8());
        LogOn(who);
    }
    ~TMasterDataEnvironment()
    {
        SessionInfo() = TSessionInfo();
        qunsetenv("VENTOREL_HOME");
    }
    TMasterDataEnvironment(const TMasterDataEnvironment &) = delete;
    TMasterDataEnvironment &operator=(const TMasterDataEnvironment &) = delete;

    // The session as the logon leaves it for that operator.
    void LogOn(TDemoOperator who)
    {
        TSessionInfo &s = SessionInfo();
        s = TSessionInfo();
        switch (who) {
        case TDemoOperator::Admin:
            s.sUserName = QStringLiteral("ADMIN");
            s.sOperatorCompanyId = kSoc1;
            s.bAdministrator = true;
            break;
        case TDemoOperator::Operator:
            s.sUserName = QStringLiteral("MROSSI");
            s.sOperatorCompanyId = kSoc1;
            break;
        case TDemoOperator::Funzionario:
            s.sUserName = QStringLiteral("GBIANCHI");
            s.bFunzionario = true;
            break;
        }
        s.sSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin.INI"));
        s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_") + s.sUserName
                                            + QStringLiteral(".ini"));
        // And his operator session on the server, as the logon leaves it.
        m_db.LogOn(s.sUserName);
    }

    TTestDatabase &Db() { return m_db; }
    TDialogRecorder &Recorder() { return m_recorder; }
    QString Home() const { return m_home.path(); }
    QString Setting(const QString &key) const
    {
        return IniReadText(QStringLiteral("SETTINGS"),
                           key,
                           QLatin1String(kIniAbsent),
                           SessionInfo().sUserSettingsFile);
    }
    void SetSetting(const QString &key, const QString &value)
    {
        IniWriteText(QStringLiteral("SETTINGS"), key, value, SessionInfo().sUserSettingsFile);
    }
    QString Super(const QString &sql) const { return m_db.SuperQuery(sql); }
    QString LastCommand() { return m_db.Module().LastCommandText(); }

private:
    QTemporaryDir m_home;
    TTestDatabase m_db;
    TDialogRecorder m_recorder;
};
