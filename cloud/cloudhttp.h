#pragma once

// HTTPS POST over libcurl for the cloud-storage client: one fresh connection per request,
// certificate verification always on (system store or a CA file), connect and read time-outs,
// at most two redirects (HTTPS only), HTTP and SOCKS proxies with credentials, progress that
// can cancel, and a trace of the traffic with secrets masked.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

enum class TDProxyType { None, Http, Socks4, Socks5 };

struct TCloudProxy
{
    TDProxyType xType = TDProxyType::None;
    QString sServer;
    int iPort = 0;
    QString sUsername; // empty: no authentication
    QString sPassword;
};

struct TCloudRequest
{
    QString sUrl;
    QList<QByteArray> headers; // "Name: value"; "Name:" removes a header libcurl would add
    QByteArray body;
    // When set, the body is read from here instead: iBodySize bytes from the current position.
    QIODevice *bodyDevice = nullptr; // Not owned.
    qint64 iBodySize = 0;
    // When set, the body of a successful (2xx) answer is written here instead of kept.
    QIODevice *responseDevice = nullptr; // Not owned.
};

struct TCloudResponse
{
    int iStatus = 0;
    QList<QPair<QByteArray, QByteArray>> headers; // of the final answer, in order
    QByteArray body;                              // empty when written to responseDevice
    qint64 iBodyBytes = 0;                        // bytes of body received

    // The value of the first header with this name (ignoring case); empty when absent.
    QByteArray Header(const QByteArray &name) const;
    bool IsJson() const;
};

class TCloudHttp
{
public:
    TCloudHttp();
    ~TCloudHttp();
    TCloudHttp(const TCloudHttp &) = delete;
    TCloudHttp &operator=(const TCloudHttp &) = delete;

    int iConnectTimeoutMs = 15000; // connection and TLS handshake
    int iReadTimeoutMs = 30000;    // longest silence once connected
    int iBufferSize = 32768;       // receive and send buffers
    QString sCAFile;               // empty: the system's trusted authorities
    TCloudProxy proxy;

    // Called during transfers with the bytes of this request; returning false cancels (the
    // connection is closed and Post raises a Cancelled error).
    std::function<bool(qint64 total, qint64 done)> onUploadProgress;
    std::function<bool(qint64 total, qint64 done)> onDownloadProgress;
    // Called about every 100 ms while waiting, to keep the interface painted.
    std::function<void()> onWait;
    // Receives the traffic, one block at a time; blocks pass through MaskSecrets with the
    // texts returned by secrets().
    std::function<void(const QString &block)> onTrace;
    std::function<QStringList()> secrets;

    // Sends the request. Any HTTP status is returned; transport failures raise ECloudError.
    TCloudResponse Post(const TCloudRequest &request);

private:
    struct Shared;
    std::unique_ptr<Shared> m_shared; // the cookie store shared by the requests of one client
};

// The text with every known secret and every token-shaped value (bearer tokens, token fields
// of forms and JSON answers, proxy credentials) replaced by "***".
QString MaskSecrets(const QString &text, const QStringList &secrets);
