#include "cloud/cloudsettings.h"

#include "cloud/dropbox.h"
#include "common/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSection = QStringLiteral("SETTINGS");

QString Text(const QString &key, const QString &def, const QString &file)
{
    const QString v = IniReadText(kSection, key, QString(), file).trimmed();
    return v.isEmpty() ? def : v;
}

int Millis(const QString &key, int def, const QString &file)
{
    bool ok = false;
    const int v = IniReadText(kSection, key, QString(), file).trimmed().toInt(&ok);
    return ok && v > 0 ? v : def;
}

QString FilePath(const QString &key, const QString &file)
{
    const QString v = IniReadText(kSection, key, QString(), file).trimmed();
    if (v.isEmpty() || QDir::isAbsolutePath(v))
        return v;
    return QFileInfo(file).absoluteDir().filePath(v);
}

} // namespace

TCloudSettings ReadCloudSettings(const QString &settingsFile)
{
    TCloudSettings s;
    s.sApiHost = Text(QStringLiteral("Cloud_ApiHost"),
                      QString::fromLatin1(kDbxDefaultApiHost),
                      settingsFile);
    s.sContentHost = Text(QStringLiteral("Cloud_ContentHost"),
                          QString::fromLatin1(kDbxDefaultContentHost),
                          settingsFile);
    s.sAuthHost = Text(QStringLiteral("Cloud_AuthHost"),
                       QString::fromLatin1(kDbxDefaultAuthHost),
                       settingsFile);
    s.sCAFile = FilePath(QStringLiteral("Cloud_CAFile"), settingsFile);
    s.sTraceFile = FilePath(QStringLiteral("Cloud_TraceFile"), settingsFile);
    s.iConnectTimeoutMs = Millis(QStringLiteral("Cloud_ConnectTimeout"), 15000, settingsFile);
    s.iReadTimeoutMs = Millis(QStringLiteral("Cloud_ReadTimeout"), 30000, settingsFile);
    const QString type
        = Text(QStringLiteral("Cloud_ProxyType"), QStringLiteral("NONE"), settingsFile).toUpper();
    s.proxy.xType = type == QLatin1String("HTTP")     ? TDProxyType::Http
                    : type == QLatin1String("SOCKS4") ? TDProxyType::Socks4
                    : type == QLatin1String("SOCKS5") ? TDProxyType::Socks5
                                                      : TDProxyType::None;
    s.proxy.sServer = Text(QStringLiteral("Cloud_ProxyServer"), QString(), settingsFile);
    s.proxy.iPort = Millis(QStringLiteral("Cloud_ProxyPort"), 0, settingsFile);
    s.proxy.sUsername = Text(QStringLiteral("Cloud_ProxyUser"), QString(), settingsFile);
    s.proxy.sPassword = IniReadText(kSection,
                                    QStringLiteral("Cloud_ProxyPassword"),
                                    QString(),
                                    settingsFile);
    return s;
}

void ApplyCloudSettings(TDropbox &client, const TCloudSettings &s)
{
    client.ApiHost = s.sApiHost;
    client.ContentHost = s.sContentHost;
    client.AuthHost = s.sAuthHost;
    client.CAFile = s.sCAFile;
    client.LogFileName = s.sTraceFile;
    client.ConnectTimeout = s.iConnectTimeoutMs;
    client.ReadTimeout = s.iReadTimeoutMs;
    client.ProxyType = s.proxy.xType;
    client.ProxyServer = s.proxy.sServer;
    client.ProxyPort = s.proxy.iPort;
    client.ProxyUsername = s.proxy.sUsername;
    client.ProxyPassword = s.proxy.sPassword;
}
