#include "app/connectionsettings.h"

#include "common/inifile.h"

namespace {

QString readKey(const QString &file, const char *key, const QString &defaultValue = QString())
{
    return IniReadText(QLatin1String(kSettingsSection), QLatin1String(key), defaultValue, file);
}

} // namespace

QString ServerNameFromSettings(const QString &settingsFile)
{
    QString host = readKey(settingsFile, "SrvLoc");
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return host + QStringLiteral("\\SQLEXPRESS,1433");
}

TConnectionParams ConnectionParamsFromSettings(const QString &settingsFile, const QString &catalog)
{
    TConnectionParams p;
    p.host = readKey(settingsFile, "SrvLoc");
    if (p.host.isEmpty())
        p.host = readKey(settingsFile, "DbLocalSocket");
    bool ok = false;
    const int port = readKey(settingsFile, "DbPort", QStringLiteral("5432")).toInt(&ok);
    p.port = ok && port > 0 && port < 65536 ? port : 5432;
    p.database = catalog;
    p.login = readKey(settingsFile, "DbLogin");
    p.password = readKey(settingsFile, "DbPassword");
    return p;
}
