#include "cloud/cloudhttp.h"

#include "cloud/clouderror.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QRegularExpression>
#include <QTime>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the callbacks of one request share.
struct Transfer
{
    TCloudHttp *http = nullptr;
    const TCloudRequest *request = nullptr;
    TCloudResponse *response = nullptr;
    CURL *curl = nullptr;
    QElapsedTimer clock;
    qint64 lastActivity = 0;
    qint64 sent = 0;
    qint64 bodyStart = 0; // position of the streamed body in its device
    bool cancelled = false;
    QString deviceError;
    QByteArray sentSample; // the first bytes of a streamed body, for the trace
    QByteArray recvSample; // the first bytes of a body written to a device
    QByteArray headerIn;   // answer headers collected for the trace
};

void Touch(Transfer *t)
{
    t->lastActivity = t->clock.elapsed();
}

size_t ReadBody(char *buffer, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    Touch(t);
    const qint64 left = t->request->iBodySize - t->sent;
    const qint64 room = qint64(size * count);
    const qint64 want = qMin(room, left);
    if (want <= 0)
        return 0;
    const qint64 got = t->request->bodyDevice->read(buffer, want);
    if (got <= 0) {
        // The stream ended early or failed: stop rather than send a short body.
        t->deviceError = got < 0 ? t->request->bodyDevice->errorString()
                                 : QStringLiteral("il file è più corto del previsto");
        return CURL_READFUNC_ABORT;
    }
    if (t->sentSample.size() <= t->http->iBufferSize)
        t->sentSample.append(buffer, int(qMin<qint64>(got, t->http->iBufferSize + 1)));
    t->sent += got;
    return size_t(got);
}

// libcurl rewinds a streamed body when it must send it again (a redirect, an authentication
// round).
int SeekBody(void *user, curl_off_t offset, int origin)
{
    auto *t = static_cast<Transfer *>(user);
    if (origin != SEEK_SET || offset < 0 || offset > t->request->iBodySize
        || !t->request->bodyDevice->seek(t->bodyStart + qint64(offset)))
        return CURL_SEEKFUNC_CANTSEEK;
    t->sent = qint64(offset);
    return CURL_SEEKFUNC_OK;
}

size_t WriteBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    Touch(t);
    const size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
    QIODevice *device = t->request->responseDevice;
    if (device && status >= 200 && status < 300) {
        if (device->write(data, qint64(n)) != qint64(n)) {
            t->deviceError = device->errorString();
            return 0;
        }
        if (t->recvSample.size() <= t->http->iBufferSize)
            t->recvSample.append(data, int(qMin<size_t>(n, size_t(t->http->iBufferSize) + 1)));
    } else {
        t->response->body.append(data, qsizetype(n));
    }
    t->response->iBodyBytes += qint64(n);
    return n;
}

size_t ReadHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    Touch(t);
    const size_t n = size * count;
    const QByteArray line = QByteArray(data, qsizetype(n)).trimmed();
    if (line.startsWith("HTTP/")) {
        // A new answer (after a redirect or an interim answer): forget the previous headers.
        t->response->headers.clear();
        t->response->body.clear();
        t->response->iBodyBytes = 0;
        t->headerIn.clear();
    } else if (!line.isEmpty()) {
        const int colon = line.indexOf(':');
        if (colon > 0)
            t->response->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    t->headerIn.append(data, qsizetype(n));
    return n;
}

int Progress(void *user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    auto *t = static_cast<Transfer *>(user);
    Q_UNUSED(ultotal);
    if (t->request->bodyDevice || !t->request->body.isEmpty()) {
        if (t->http->onUploadProgress && ulnow > 0) {
            const qint64 total = t->request->bodyDevice ? t->request->iBodySize
                                                        : t->request->body.size();
            if (!t->http->onUploadProgress(total, qint64(ulnow))) {
                t->cancelled = true;
                return 1;
            }
        }
    }
    if (t->http->onDownloadProgress && dlnow > 0) {
        if (!t->http->onDownloadProgress(qint64(dltotal), qint64(dlnow))) {
            t->cancelled = true;
            return 1;
        }
    }
    return 0;
}

QString Stamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

void Trace(TCloudHttp *http, const QString &block)
{
    if (!http->onTrace)
        return;
    const QStringList secrets = http->secrets ? http->secrets() : QStringList();
    http->onTrace(MaskSecrets(block, secrets));
}

int DebugCallback(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    if (!t->http->onTrace)
        return 0;
    const QString text = QString::fromUtf8(data, qsizetype(size));
    if (type == CURLINFO_HEADER_OUT)
        Trace(t->http, Stamp() + QStringLiteral(" Sent header:\n") + text);
    else if (type == CURLINFO_TEXT)
        Trace(t->http, Stamp() + QStringLiteral(" Info: ") + text);
    return 0;
}

bool IsOctetStream(const QByteArray &contentType)
{
    return contentType.trimmed().toLower().startsWith("application/octet-stream");
}

QByteArray RequestContentType(const TCloudRequest &r)
{
    for (const QByteArray &h : r.headers) {
        if (h.toLower().startsWith("content-type:"))
            return h.mid(13).trimmed();
    }
    return QByteArray();
}

// Body of a request or an answer as the trace shows it: binary data of a buffer or more is
// reduced to its size.
QString TraceBody(const char *direction,
                  const QByteArray &contentType,
                  const QByteArray &sample,
                  qint64 size,
                  int bufferSize)
{
    if (size <= 0)
        return QString();
    if (IsOctetStream(contentType) && size >= bufferSize) {
        return QStringLiteral("%1 %2 data: (%3 bytes of binary data)\n")
            .arg(Stamp(), QLatin1String(direction))
            .arg(size);
    }
    return QStringLiteral("%1 %2 data:\n%3\n")
        .arg(Stamp(), QLatin1String(direction), QString::fromUtf8(sample.left(bufferSize)));
}

QString HostOf(const QString &url)
{
    const QUrl u(url);
    if (u.port() > 0)
        return u.host() + u':' + QString::number(u.port());
    return u.host();
}

QString Seconds(int ms)
{
    if (ms % 1000 == 0)
        return QString::number(ms / 1000);
    return QString::number(ms / 1000.0, 'f', 1).replace(u'.', u',');
}

[[noreturn]] void RaiseTransportError(CURLcode code,
                                      const QString &reason,
                                      const QString &url,
                                      const TCloudHttp &http)
{
    const QString host = HostOf(url);
    QString via;
    if (http.proxy.xType != TDProxyType::None && !http.proxy.sServer.isEmpty())
        via = QStringLiteral(" tramite il proxy %1:%2").arg(http.proxy.sServer).arg(http.proxy.iPort);
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        throw ECloudError(TCloudErrorKind::Timeout,
                          QStringLiteral("Connessione al servizio cloud (%1)%2 non riuscita entro "
                                         "%3 secondi.")
                              .arg(host, via, Seconds(http.iConnectTimeoutMs)));
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Il certificato del servizio cloud (%1) non è "
                                         "attendibile: %2")
                              .arg(host, reason));
    case CURLE_SSL_CACERT_BADFILE:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Il file delle autorità di certificazione \"%1\" non è "
                                         "leggibile: %2")
                              .arg(http.sCAFile, reason));
    case CURLE_SSL_CONNECT_ERROR:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Connessione sicura con il servizio cloud (%1)%2 non "
                                         "riuscita: %3")
                              .arg(host, via, reason));
    case CURLE_UNSUPPORTED_PROTOCOL:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Indirizzo del servizio cloud non ammesso (è accettato "
                                         "solo HTTPS): %1")
                              .arg(url));
    case CURLE_TOO_MANY_REDIRECTS:
        throw ECloudError(TCloudErrorKind::Http,
                          QStringLiteral("Il servizio cloud (%1) ha rinviato la richiesta troppe "
                                         "volte.")
                              .arg(host));
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SSL_SHUTDOWN_FAILED:
        throw ECloudError(TCloudErrorKind::Dropped,
                          QStringLiteral("La connessione con il servizio cloud (%1)%2 si è "
                                         "interrotta: %3")
                              .arg(host, via, reason));
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Impossibile collegarsi al servizio cloud (%1)%2: %3")
                              .arg(host, via, reason));
    default:
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Errore di comunicazione con il servizio cloud (%1)%2: "
                                         "%3")
                              .arg(host, via, reason));
    }
}

struct CurlHandles
{
    CURL *easy = nullptr;
    CURLM *multi = nullptr;
    curl_slist *headers = nullptr;
    ~CurlHandles()
    {
        if (multi && easy)
            curl_multi_remove_handle(multi, easy);
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }
};

} // namespace

struct TCloudHttp::Shared
{
    CURLSH *share = nullptr;
    Shared()
    {
        share = curl_share_init();
        if (share)
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    ~Shared()
    {
        if (share)
            curl_share_cleanup(share);
    }
};

QByteArray TCloudResponse::Header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

bool TCloudResponse::IsJson() const
{
    return Header("Content-Type").toLower().contains("json");
}

TCloudHttp::TCloudHttp()
{
    GlobalInit();
    m_shared = std::make_unique<Shared>();
}

TCloudHttp::~TCloudHttp() = default;

TCloudResponse TCloudHttp::Post(const TCloudRequest &request)
{
    TCloudResponse response;
    Transfer t;
    t.http = this;
    t.request = &request;
    t.response = &response;

    CurlHandles h;
    h.easy = curl_easy_init();
    h.multi = curl_multi_init();
    if (!h.easy || !h.multi)
        throw ECloudError(TCloudErrorKind::Connection,
                          QStringLiteral("Impossibile preparare la connessione al servizio "
                                         "cloud."));
    CURL *c = h.easy;
    t.curl = c;
    char errbuf[CURL_ERROR_SIZE] = {0};
    const QByteArray url = request.sUrl.toUtf8();
    const QByteArray caFile = sCAFile.toLocal8Bit();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 2L);
    curl_easy_setopt(c, CURLOPT_POSTREDIR, long(CURL_REDIR_POST_ALL));
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(iConnectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, long(iBufferSize));
    curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, long(iBufferSize));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!sCAFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
    if (m_shared->share)
        curl_easy_setopt(c, CURLOPT_SHARE, m_shared->share);

    // Proxy: only when both server and port are set.
    QByteArray proxyUrl, proxyUser, proxyPassword;
    if (proxy.xType != TDProxyType::None && !proxy.sServer.isEmpty() && proxy.iPort > 0) {
        const char *scheme = proxy.xType == TDProxyType::Http     ? "http://"
                             : proxy.xType == TDProxyType::Socks4 ? "socks4a://"
                                                                  : "socks5h://";
        proxyUrl = scheme + proxy.sServer.toUtf8() + ':' + QByteArray::number(proxy.iPort);
        curl_easy_setopt(c, CURLOPT_PROXY, proxyUrl.constData());
        if (proxy.xType == TDProxyType::Http)
            curl_easy_setopt(c, CURLOPT_HTTPPROXYTUNNEL, 1L);
        if (!proxy.sUsername.isEmpty()) {
            proxyUser = proxy.sUsername.toUtf8();
            proxyPassword = proxy.sPassword.toUtf8();
            curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxyUser.constData());
            curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxyPassword.constData());
            if (proxy.xType == TDProxyType::Http)
                curl_easy_setopt(c, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        }
    } else {
        // No proxy from the environment either: the settings decide.
        curl_easy_setopt(c, CURLOPT_PROXY, "");
    }

    for (const QByteArray &line : request.headers)
        h.headers = curl_slist_append(h.headers, line.constData());
    h.headers = curl_slist_append(h.headers, "Expect:");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, h.headers);

    curl_easy_setopt(c, CURLOPT_POST, 1L);
    if (request.bodyDevice) {
        curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadBody);
        curl_easy_setopt(c, CURLOPT_READDATA, &t);
        t.bodyStart = request.bodyDevice->pos();
        if (!request.bodyDevice->isSequential()) {
            curl_easy_setopt(c, CURLOPT_SEEKFUNCTION, SeekBody);
            curl_easy_setopt(c, CURLOPT_SEEKDATA, &t);
        }
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.iBodySize));
    } else {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.constData());
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    if (onTrace) {
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, DebugCallback);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &t);
    }

    if (onTrace) {
        const QByteArray sample = request.bodyDevice ? QByteArray() : request.body;
        const qint64 size = request.bodyDevice ? request.iBodySize : request.body.size();
        if (!request.bodyDevice || size >= iBufferSize)
            Trace(this, TraceBody("Sent", RequestContentType(request), sample, size, iBufferSize));
    }

    // The multi interface lets us watch the silence ourselves, to the millisecond: libcurl's
    // own low-speed limit counts whole seconds.
    curl_multi_add_handle(h.multi, c);
    t.clock.start();
    bool connected = false;
    bool readTimedOut = false;
    qint64 lastWait = 0;
    int running = 1;
    while (running) {
        const CURLMcode mc = curl_multi_perform(h.multi, &running);
        if (mc != CURLM_OK)
            throw ECloudError(TCloudErrorKind::Connection,
                              QStringLiteral("Errore di comunicazione con il servizio cloud: %1")
                                  .arg(QString::fromUtf8(curl_multi_strerror(mc))));
        if (!running)
            break;
        if (!connected) {
            curl_off_t appConnect = 0;
            curl_easy_getinfo(c, CURLINFO_APPCONNECT_TIME_T, &appConnect);
            if (appConnect > 0) {
                connected = true;
                Touch(&t);
            }
        } else if (t.clock.elapsed() - t.lastActivity > iReadTimeoutMs) {
            readTimedOut = true;
            break;
        }
        curl_multi_poll(h.multi, nullptr, 0, 20, nullptr);
        if (onWait && t.clock.elapsed() - lastWait >= 100) {
            lastWait = t.clock.elapsed();
            onWait();
        }
    }

    if (readTimedOut) {
        throw ECloudError(TCloudErrorKind::Timeout,
                          QStringLiteral("Il servizio cloud (%1) non ha risposto entro %2 "
                                         "secondi.")
                              .arg(HostOf(request.sUrl), Seconds(iReadTimeoutMs)));
    }
    CURLcode code = CURLE_OK;
    int pending = 0;
    while (CURLMsg *msg = curl_multi_info_read(h.multi, &pending)) {
        if (msg->msg == CURLMSG_DONE)
            code = msg->data.result;
    }
    // A failing local file also aborts through a callback: it is told apart first.
    if (!t.deviceError.isEmpty())
        throw ECloudError(TCloudErrorKind::File,
                          QStringLiteral("Errore del file locale durante il trasferimento: %1")
                              .arg(t.deviceError));
    if (t.cancelled || code == CURLE_ABORTED_BY_CALLBACK)
        throw ECloudError(TCloudErrorKind::Cancelled, QStringLiteral("Cancelled"));
    if (code != CURLE_OK) {
        const QString reason = errbuf[0] ? QString::fromUtf8(errbuf).trimmed()
                                         : QString::fromUtf8(curl_easy_strerror(code));
        RaiseTransportError(code, reason, request.sUrl, *this);
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    response.iStatus = int(status);
    if (onTrace) {
        Trace(this, Stamp() + QStringLiteral(" Recv header:\n") + QString::fromUtf8(t.headerIn));
        const bool toDevice = request.responseDevice && status >= 200 && status < 300;
        Trace(this,
              TraceBody("Recv",
                        response.Header("Content-Type"),
                        toDevice ? t.recvSample : response.body,
                        response.iBodyBytes,
                        iBufferSize));
        if (request.bodyDevice && request.iBodySize < iBufferSize)
            Trace(this,
                  TraceBody("Sent", RequestContentType(request), t.sentSample, t.sent, iBufferSize));
    }
    return response;
}

QString MaskSecrets(const QString &text, const QStringList &secrets)
{
    QString out = text;
    for (const QString &s : secrets) {
        // Very short values would mask ordinary text; the patterns below still catch them
        // where they travel.
        if (s.size() < 4)
            continue;
        out.replace(s, QStringLiteral("***"));
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(s));
        if (encoded != s)
            out.replace(encoded, QStringLiteral("***"));
    }
    static const QRegularExpression
        bearer(QStringLiteral("((?:Proxy-)?Authorization:\\s*(?:Bearer|Basic)\\s+)[^\\s]+"),
               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression form(
        QStringLiteral("((?:^|[?&\\s])(?:client_secret|refresh_token|access_token|code|"
                       "code_verifier|password)=)[^&\\s]*"));
    static const QRegularExpression json(
        QStringLiteral("(\"(?:access_token|refresh_token|id_token|client_secret|code_verifier)"
                       "\"\\s*:\\s*\")[^\"]*\""));
    out.replace(bearer, QStringLiteral("\\1***"));
    out.replace(form, QStringLiteral("\\1***"));
    out.replace(json, QStringLiteral("\\1***\""));
    return out;
}
