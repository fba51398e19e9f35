#pragma once

// Where the cloud-storage client connects and how, from the global settings file (section
// SETTINGS). Every key is optional:
//   Cloud_ApiHost, Cloud_ContentHost, Cloud_AuthHost  host, host:port or https:// address
//                                                     (default: the service's public hosts)
//   Cloud_CAFile         trusted authorities (PEM) instead of the system's
//   Cloud_ConnectTimeout, Cloud_ReadTimeout           milliseconds (15000, 30000)
//   Cloud_TraceFile      trace of the traffic, secrets masked
//   Cloud_ProxyType      NONE, HTTP, SOCKS4 or SOCKS5; Cloud_ProxyServer, Cloud_ProxyPort,
//                        Cloud_ProxyUser, Cloud_ProxyPassword
// Relative file names are taken from the settings file's folder.

#include "cloud/cloudhttp.h"

#include <QString>

class TDropbox;

struct TCloudSettings
{
    QString sApiHost;
    QString sContentHost;
    QString sAuthHost;
    QString sCAFile;
    QString sTraceFile;
    int iConnectTimeoutMs = 15000;
    int iReadTimeoutMs = 30000;
    TCloudProxy proxy;
};

TCloudSettings ReadCloudSettings(const QString &settingsFile);
void ApplyCloudSettings(TDropbox &client, const TCloudSettings &settings);
