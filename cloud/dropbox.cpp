#include "cloud/dropbox.h"

#include "cloud/clouderror.h"
#include "common/dialogs.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtinputbox.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

QByteArray Enc(const QString &value)
{
    return QUrl::toPercentEncoding(value);
}

QByteArray CompactJson(const QJsonValue &value)
{
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    if (value.isNull() || value.isUndefined())
        return QByteArrayLiteral("null");
    // A scalar: wrap it in an array and take it out again, so the escaping is Qt's.
    const QByteArray a = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

QString Excerpt(const QByteArray &body, int length = 300)
{
    QString text = QString::fromUtf8(body).simplified();
    if (text.size() > length)
        text = text.left(length) + QStringLiteral("...");
    return text;
}

// "a/b/c" gives "c"; used for the order of listings.
QString LastComponent(const TDFileInfo &f)
{
    const QString p = f.Path.isEmpty() ? f.Name : f.Path;
    return p.mid(p.lastIndexOf(u'/') + 1);
}

QString ParentPath(const QString &path)
{
    const QString p = DbxNormalizePath(path);
    const int slash = p.lastIndexOf(u'/');
    return slash <= 0 ? QString() : p.left(slash);
}

// The metadata of an answer that wraps it ({"metadata": {...}}) or is it.
QJsonObject MetadataOf(const QJsonObject &o)
{
    const QJsonValue m = o.value(QLatin1String("metadata"));
    if (m.isObject()) {
        // Search matches nest it once more: {"metadata": {".tag": "metadata", "metadata": ...}}.
        const QJsonObject inner = m.toObject();
        if (inner.value(QLatin1String(".tag")).toString() == QLatin1String("metadata")
            && inner.value(QLatin1String("metadata")).isObject())
            return inner.value(QLatin1String("metadata")).toObject();
        return inner;
    }
    return o;
}

void CheckRequestSize(qint64 size)
{
    if (size > kDbxMaxUploadSize)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Dropbox API does not allow to upload content larger "
                                         "than 150MB in single request"));
}

// Restores the session progress counters whatever happens.
struct ProgressScope
{
    qint64 &base;
    qint64 &total;
    ProgressScope(qint64 &b, qint64 &t, qint64 size)
        : base(b)
        , total(t)
    {
        base = 0;
        total = size;
    }
    ~ProgressScope()
    {
        base = 0;
        total = 0;
    }
};

} // namespace

QByteArray DbxHeaderJson(const QJsonValue &value)
{
    const QString text = QString::fromUtf8(CompactJson(value));
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7e)
            out += QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0')).toLatin1();
        else
            out += char(c.unicode());
    }
    return out;
}

QString DbxNormalizePath(const QString &path)
{
    QString p = path;
    if (p.startsWith(QLatin1String("id:")) || p.startsWith(QLatin1String("ns:")))
        return p;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    if (p.isEmpty() || p == QLatin1String("/"))
        return QString();
    if (!p.startsWith(u'/'))
        p.prepend(u'/');
    return p;
}

QString DbxBase64Url(const QByteArray &bytes)
{
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

TDropbox::TDropbox() = default;
TDropbox::~TDropbox() = default;

// --- Transport ---------------------------------------------------------------------------

QString TDropbox::BaseUrl(const QString &host) const
{
    QString h = host.trimmed();
    while (h.endsWith(u'/'))
        h.chop(1);
    if (h.contains(QLatin1String("://")))
        return h;
    return QStringLiteral("https://") + h;
}

QStringList TDropbox::Secrets() const
{
    return {ClientSecret, AccessToken, RefreshToken, m_codeVerifier, m_lastCode, ProxyPassword};
}

void TDropbox::WriteLog(const QString &block)
{
    if (LogFileName.isEmpty() || block.isEmpty())
        return;
    QFile f(LogFileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // a trace that cannot be written must not stop the transfer
    QByteArray bytes = block.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    f.write(bytes);
}

void TDropbox::DebugLine(const QString &line)
{
    const TSessionInfo &s = SessionInfo();
    if (s.bAdministrator && s.iDebugPaneHeight > 0)
        AppendDebugLine(MaskSecrets(line, Secrets()));
}

void TDropbox::ApplyTransport()
{
    m_http.iConnectTimeoutMs = ConnectTimeout;
    m_http.iReadTimeoutMs = ReadTimeout;
    m_http.sCAFile = CAFile;
    m_http.proxy = {ProxyType, ProxyServer, ProxyPort, ProxyUsername, ProxyPassword};
    m_http.onUploadProgress = [this](qint64 total, qint64 done) {
        if (!OnUploadProgress)
            return true;
        bool cancel = false;
        const qint64 t = m_progressTotal > 0 ? m_progressTotal : total;
        OnUploadProgress(*this, t, m_progressBase + done, cancel);
        return !cancel;
    };
    m_http.onDownloadProgress = [this](qint64 total, qint64 done) {
        if (!OnDownloadProgress)
            return true;
        bool cancel = false;
        OnDownloadProgress(*this, total, done, cancel);
        return !cancel;
    };
    m_http.onWait = OnWait;
    if (LogFileName.isEmpty())
        m_http.onTrace = nullptr;
    else
        m_http.onTrace = [this](const QString &block) { WriteLog(block); };
    m_http.secrets = [this] { return Secrets(); };
}

TCloudResponse TDropbox::SendOnce(const QString &url,
                                  const QList<QByteArray> &headers,
                                  QIODevice *body,
                                  qint64 bodySize,
                                  const QByteArray &bodyBytes,
                                  QIODevice *out)
{
    ApplyTransport();
    TCloudRequest r;
    r.sUrl = url;
    r.headers = headers;
    r.body = bodyBytes;
    r.bodyDevice = body;
    r.iBodySize = bodySize;
    r.responseDevice = out;
    QElapsedTimer clock;
    clock.start();
    try {
        const TCloudResponse response = m_http.Post(r);
        DebugLine(QStringLiteral("TDropbox: POST %1 -> HTTP %2 (%3 ms)")
                      .arg(url)
                      .arg(response.iStatus)
                      .arg(clock.elapsed()));
        return response;
    } catch (const ECloudError &e) {
        DebugLine(QStringLiteral("TDropbox: POST %1 -> %2").arg(url, e.Text()));
        throw;
    }
}

TCloudResponse TDropbox::Call(Host host,
                              const QString &command,
                              const QJsonValue &arg,
                              QIODevice *body,
                              qint64 bodySize,
                              const QByteArray &bodyBytes,
                              QIODevice *out,
                              bool content)
{
    const QString url = BaseUrl(host == Host::Api ? ApiHost : ContentHost) + QStringLiteral("/2")
                        + command;
    const qint64 start = body ? body->pos() : 0;
    for (int attempt = 0;; ++attempt) {
        if (AccessToken.isEmpty())
            Authorize();
        QList<QByteArray> headers;
        headers << "Authorization: Bearer " + AccessToken.toUtf8();
        QByteArray bytes = bodyBytes;
        if (content) {
            headers << "Dropbox-API-Arg: " + DbxHeaderJson(arg);
            if (out)
                headers << "Content-Type:"; // a download carries no body and no type
            else
                headers << "Content-Type: application/octet-stream";
        } else {
            headers << "Content-Type: application/json; charset=utf-8";
            bytes = CompactJson(arg);
        }
        DebugLine(
            QStringLiteral("TDropbox: %1 %2").arg(command, QString::fromUtf8(CompactJson(arg))));
        if (body && attempt > 0 && !body->seek(start))
            throw ECloudError(TCloudErrorKind::File,
                              QStringLiteral("Impossibile rileggere il file da caricare dopo il "
                                             "rinnovo dell'autorizzazione."));
        const TCloudResponse response = SendOnce(url, headers, body, bodySize, bytes, out);
        if (response.iStatus == 401 && attempt == 0) {
            // The token expired or was revoked: authorise again and repeat the call once.
            AccessToken.clear();
            continue;
        }
        if (response.iStatus == 200 || response.iStatus == 201)
            return response;
        RaiseHttpError(command, response);
    }
}

void TDropbox::RaiseHttpError(const QString &command, const TCloudResponse &response)
{
    QString summary;
    QJsonObject details;
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(response.body, &perr);
    if (perr.error == QJsonParseError::NoError && doc.isObject()) {
        const QJsonObject o = doc.object();
        summary = o.value(QLatin1String("error_summary")).toString().trimmed();
        details = o.value(QLatin1String("error")).toObject();
    }
    const int status = response.iStatus;
    if (status == 409) {
        const QString text = summary.isEmpty() ? QString::fromUtf8(response.body).trimmed()
                                               : summary;
        throw ECloudError(TCloudErrorKind::Conflict, text, status, summary, details);
    }
    const QString reason = summary.isEmpty() ? Excerpt(response.body) : summary;
    if (status == 401) {
        throw ECloudError(TCloudErrorKind::Authorization,
                          QStringLiteral("Il servizio cloud ha rifiutato l'autorizzazione anche "
                                         "dopo il rinnovo (HTTP 401)%1")
                              .arg(reason.isEmpty() ? QStringLiteral(".")
                                                    : QStringLiteral(": ") + reason),
                          status,
                          summary,
                          details);
    }
    throw ECloudError(TCloudErrorKind::Http,
                      QStringLiteral("Il servizio cloud ha risposto con l'errore HTTP %1 alla "
                                     "richiesta %2%3")
                          .arg(status)
                          .arg(command,
                               reason.isEmpty() ? QStringLiteral(".")
                                                : QStringLiteral(": ") + reason),
                      status,
                      summary,
                      details);
}

QJsonObject TDropbox::ParseObject(const QString &command, const QByteArray &body)
{
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    if (perr.error != QJsonParseError::NoError || !doc.isObject()) {
        const QString start = Excerpt(body, 60);
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud alla richiesta "
                                         "%1: non è un documento JSON%2")
                              .arg(command,
                                   start.isEmpty()
                                       ? QStringLiteral(" (risposta vuota).")
                                       : QStringLiteral(" (inizia con \"%1\").").arg(start)));
    }
    return doc.object();
}

QJsonValue TDropbox::RpcCall(const QString &command, const QJsonValue &arg)
{
    const TCloudResponse r = Call(Host::Api, command, arg, nullptr, 0, QByteArray(), nullptr, false);
    const QByteArray body = r.body.trimmed();
    // Calls without a result answer "null"; an empty answer is no answer.
    if (body == "null")
        return QJsonValue(QJsonValue::Null);
    if (body.startsWith('[')) {
        const QJsonDocument doc = QJsonDocument::fromJson(body);
        if (doc.isArray())
            return doc.array();
    }
    return ParseObject(command, body);
}

// --- Authorisation -------------------------------------------------------------------------

void TDropbox::MakePkcePair()
{
    // 32 bytes from the operating system's secure source: the verifier is a secret that
    // proves the code was asked for by this client.
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray random(reinterpret_cast<const char *>(words), sizeof(words));
    m_codeVerifier = DbxBase64Url(random);
    m_codeChallenge = DbxBase64Url(
        QCryptographicHash::hash(m_codeVerifier.toLatin1(), QCryptographicHash::Sha256));
}

QString TDropbox::AuthorizationUrl()
{
    QString url = BaseUrl(AuthHost) + QStringLiteral("/oauth2/authorize?client_id=")
                  + QString::fromLatin1(Enc(ClientID)) + QStringLiteral("&response_type=code");
    if (!RedirectURI.isEmpty()) {
        MakePkcePair();
        url += QStringLiteral("&redirect_uri=") + QString::fromLatin1(Enc(RedirectURI))
               + QStringLiteral("&code_challenge=") + m_codeChallenge
               + QStringLiteral("&code_challenge_method=S256");
    } else {
        m_codeVerifier.clear();
        m_codeChallenge.clear();
    }
    url += QStringLiteral("&token_access_type=offline");
    if (!Scopes.isEmpty())
        url += QStringLiteral("&scope=") + QString::fromLatin1(Enc(Scopes));
    return url;
}

QString TDropbox::AskAuthorizationCode(const QString &url)
{
    QString code;
    if (OnAuthorizationCodeRequest) {
        OnAuthorizationCodeRequest(*this, url, code);
    } else {
        OpenWithSystem(url);
        TKRTInputBox box;
        box.Description = QStringLiteral("Enter code here:");
        if (box.Show())
            code = box.Text();
    }
    code = code.trimmed();
    if (code.isEmpty())
        throw ECloudError(TCloudErrorKind::Cancelled, QStringLiteral("Authorization cancelled"));
    return code;
}

QJsonObject TDropbox::TokenRequest(const QByteArray &form)
{
    const QString url = BaseUrl(ApiHost) + QStringLiteral("/oauth2/token");
    DebugLine(QStringLiteral("TDropbox: /oauth2/token ") + QString::fromUtf8(form));
    const TCloudResponse r = SendOnce(url,
                                      {"Content-Type: application/x-www-form-urlencoded"},
                                      nullptr,
                                      0,
                                      form,
                                      nullptr);
    if (r.iStatus != 200) {
        QString reason;
        const QJsonDocument doc = QJsonDocument::fromJson(r.body);
        if (doc.isObject()) {
            const QJsonObject o = doc.object();
            reason = o.value(QLatin1String("error")).toString();
            const QString description = o.value(QLatin1String("error_description")).toString();
            if (!description.isEmpty())
                reason += QStringLiteral(" (") + description + u')';
            if (reason.isEmpty())
                reason = o.value(QLatin1String("error_summary")).toString();
        }
        if (reason.isEmpty())
            reason = Excerpt(r.body);
        throw ECloudError(TCloudErrorKind::Authorization,
                          QStringLiteral("Autorizzazione al servizio cloud non riuscita (HTTP "
                                         "%1)%2")
                              .arg(r.iStatus)
                              .arg(reason.isEmpty() ? QStringLiteral(".")
                                                    : QStringLiteral(": ") + reason),
                          r.iStatus);
    }
    const QJsonObject o = ParseObject(QStringLiteral("/oauth2/token"), r.body);
    if (o.value(QLatin1String("access_token")).toString().isEmpty())
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud: "
                                         "l'autorizzazione non ha restituito un token."));
    return o;
}

void TDropbox::AuthorizeWithCode(const QString &code)
{
    m_lastCode = code;
    QByteArray form = "client_id=" + Enc(ClientID) + "&client_secret=" + Enc(ClientSecret)
                      + "&code=" + Enc(code) + "&grant_type=authorization_code";
    if (!RedirectURI.isEmpty() && !m_codeVerifier.isEmpty())
        form += "&code_verifier=" + Enc(m_codeVerifier) + "&redirect_uri=" + Enc(RedirectURI);
    const QJsonObject o = TokenRequest(form);
    AccessToken = o.value(QLatin1String("access_token")).toString();
    const QString refresh = o.value(QLatin1String("refresh_token")).toString();
    if (!refresh.isEmpty())
        RefreshToken = refresh;
}

void TDropbox::Authorize()
{
    if (!RefreshToken.isEmpty()) {
        const QByteArray form = "client_id=" + Enc(ClientID) + "&client_secret=" + Enc(ClientSecret)
                                + "&refresh_token=" + Enc(RefreshToken)
                                + "&grant_type=refresh_token";
        AccessToken = TokenRequest(form).value(QLatin1String("access_token")).toString();
        return;
    }
    if (ClientID.isEmpty())
        throw ECloudError(TCloudErrorKind::Authorization,
                          QStringLiteral("Autorizzazione al servizio cloud impossibile: manca la "
                                         "chiave dell'applicazione."));
    const QString url = AuthorizationUrl();
    AuthorizeWithCode(AskAuthorizationCode(url));
}

// --- Listings ------------------------------------------------------------------------------

TDFileInfo *TDropbox::Keep(const QJsonObject &metadata)
{
    auto entry = std::make_unique<TDFileInfo>();
    entry->ParseJson(metadata);
    m_entries.push_back(std::move(entry));
    return m_entries.back().get();
}

std::unique_ptr<TDFileList> TDropbox::MakeList(const QList<QJsonObject> &entries,
                                               bool sortFoldersFirst)
{
    auto list = std::make_unique<TDFileList>();
    list->Items.reserve(size_t(entries.size()));
    for (const QJsonObject &o : entries) {
        TDFileInfo f;
        f.ParseJson(MetadataOf(o));
        list->Items.push_back(std::move(f));
    }
    if (sortFoldersFirst) {
        std::stable_sort(list->Items.begin(),
                         list->Items.end(),
                         [](const TDFileInfo &a, const TDFileInfo &b) {
                             if (a.IsDir != b.IsDir)
                                 return a.IsDir;
                             return QString::compare(LastComponent(a),
                                                     LastComponent(b),
                                                     Qt::CaseInsensitive)
                                    < 0;
                         });
    }
    for (size_t i = 0; i < list->Items.size(); ++i) {
        list->Items[i].List = list.get();
        list->Items[i].Index = int(i);
    }
    return list;
}

TDropbox::Pages TDropbox::ListAllPages(const QString &command,
                                       const QJsonObject &arg,
                                       const QString &continueCommand,
                                       const QString &entriesKey)
{
    Pages pages;
    QJsonValue answer = RpcCall(command, arg);
    QString previousCursor;
    QString currentCommand = command;
    for (;;) {
        if (!answer.isObject() || !answer.toObject().value(entriesKey).isArray())
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Risposta non valida dal servizio cloud alla "
                                             "richiesta %1: manca l'elenco \"%2\".")
                                  .arg(currentCommand, entriesKey));
        const QJsonObject page = answer.toObject();
        const QJsonArray entries = page.value(entriesKey).toArray();
        for (const QJsonValue &e : entries)
            pages.entries.append(e.toObject());
        const QString cursor = page.value(QLatin1String("cursor")).toString();
        if (!cursor.isEmpty())
            pages.cursor = cursor;
        if (!page.value(QLatin1String("has_more")).toBool())
            break;
        if (cursor.isEmpty() || (cursor == previousCursor && entries.isEmpty()))
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Risposta non valida dal servizio cloud alla "
                                             "richiesta %1: l'elenco non prosegue.")
                                  .arg(currentCommand));
        previousCursor = cursor;
        currentCommand = continueCommand;
        answer = RpcCall(continueCommand, QJsonObject{{QStringLiteral("cursor"), cursor}});
    }
    return pages;
}

int TDropbox::FindFirst(TDFileInfo *&fileInfo, const QString &path)
{
    fileInfo = nullptr;
    const Pages pages = ListAllPages(QStringLiteral("/files/list_folder"),
                                     QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)}},
                                     QStringLiteral("/files/list_folder/continue"),
                                     QStringLiteral("entries"));
    if (pages.entries.isEmpty())
        return -1;
    m_findCache.push_back(MakeList(pages.entries, true));
    fileInfo = &m_findCache.back()->Items.front();
    return 0;
}

bool TDropbox::OwnsList(const TDFileList *list) const
{
    if (!list)
        return false;
    if (m_changeList && m_changeList.get() == list)
        return true;
    return std::any_of(m_findCache.begin(), m_findCache.end(), [list](const auto &l) {
        return l.get() == list;
    });
}

int TDropbox::FindNext(TDFileInfo *&fileInfo)
{
    if (!fileInfo || !OwnsList(fileInfo->List))
        throw ECloudError(TCloudErrorKind::Usage, QStringLiteral("Such FileInfo does not exist"));
    TDFileList *list = fileInfo->List;
    const size_t next = size_t(fileInfo->Index + 1);
    if (next >= list->Items.size()) {
        fileInfo = nullptr;
        return -1;
    }
    fileInfo = &list->Items[next];
    return 0;
}

void TDropbox::FindClose(TDFileInfo *fileInfo)
{
    if (!fileInfo || !fileInfo->List)
        return;
    const TDFileList *list = fileInfo->List;
    m_findCache.erase(std::remove_if(m_findCache.begin(),
                                     m_findCache.end(),
                                     [list](const auto &l) { return l.get() == list; }),
                      m_findCache.end());
}

void TDropbox::ClearFindCache()
{
    m_findCache.clear();
}

const TDFileList &TDropbox::FindByText(const QString &text, const QString &path)
{
    QJsonObject options;
    const QString p = DbxNormalizePath(path);
    if (!p.isEmpty())
        options.insert(QStringLiteral("path"), p);
    QJsonObject arg{{QStringLiteral("query"), text}};
    if (!options.isEmpty())
        arg.insert(QStringLiteral("options"), options);
    const Pages pages = ListAllPages(QStringLiteral("/files/search_v2"),
                                     arg,
                                     QStringLiteral("/files/search/continue_v2"),
                                     QStringLiteral("matches"));
    m_findCache.push_back(MakeList(pages.entries, false));
    return *m_findCache.back();
}

const TDFileList &TDropbox::GetDelta(QString &cursor)
{
    Pages pages;
    if (cursor.isEmpty()) {
        pages = ListAllPages(QStringLiteral("/files/list_folder"),
                             QJsonObject{{QStringLiteral("path"), QString()},
                                         {QStringLiteral("recursive"), true},
                                         {QStringLiteral("include_deleted"), true}},
                             QStringLiteral("/files/list_folder/continue"),
                             QStringLiteral("entries"));
    } else {
        pages = ListAllPages(QStringLiteral("/files/list_folder/continue"),
                             QJsonObject{{QStringLiteral("cursor"), cursor}},
                             QStringLiteral("/files/list_folder/continue"),
                             QStringLiteral("entries"));
    }
    if (!pages.cursor.isEmpty())
        cursor = pages.cursor;
    m_changeList = MakeList(pages.entries, false);
    return *m_changeList;
}

QString TDropbox::GetLatestCursor(const QString &path)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/list_folder/get_latest_cursor"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)},
                                             {QStringLiteral("recursive"), true},
                                             {QStringLiteral("include_deleted"), true}});
    const QString cursor = v.toObject().value(QLatin1String("cursor")).toString();
    if (cursor.isEmpty())
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud: manca il "
                                         "cursore delle modifiche."));
    return cursor;
}

// --- Single entries ------------------------------------------------------------------------

TDFileInfo *TDropbox::GetByPathName(const QString &path)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/get_metadata"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)},
                                             {QStringLiteral("include_media_info"), false}});
    return Keep(v.toObject());
}

TDFileInfo *TDropbox::CreateFolder(const QString &path)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/create_folder"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)}});
    TDFileInfo *f = Keep(MetadataOf(v.toObject()));
    f->IsDir = true;
    return f;
}

TDFileInfo *TDropbox::MoveByPathName(const QString &fromPath, const QString &toPath)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/move_v2"),
                                 QJsonObject{{QStringLiteral("from_path"),
                                              DbxNormalizePath(fromPath)},
                                             {QStringLiteral("to_path"), DbxNormalizePath(toPath)}});
    return Keep(MetadataOf(v.toObject()));
}

TDFileInfo *TDropbox::Move(const TDFileInfo &file, const QString &toPath)
{
    return MoveByPathName(file.PathDisplay.isEmpty() ? file.Path : file.PathDisplay, toPath);
}

TDFileInfo *TDropbox::RenameByPathName(const QString &path, const QString &newName)
{
    return MoveByPathName(path, ParentPath(path) + u'/' + newName);
}

TDFileInfo *TDropbox::Rename(const TDFileInfo &file, const QString &newName)
{
    return RenameByPathName(file.PathDisplay.isEmpty() ? file.Path : file.PathDisplay, newName);
}

TDFileInfo *TDropbox::CopyByPathName(const QString &fromPath, const QString &toPath)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/copy_v2"),
                                 QJsonObject{{QStringLiteral("from_path"),
                                              DbxNormalizePath(fromPath)},
                                             {QStringLiteral("to_path"), DbxNormalizePath(toPath)}});
    return Keep(MetadataOf(v.toObject()));
}

TDFileInfo *TDropbox::Copy(const TDFileInfo &file, const QString &toPath)
{
    return CopyByPathName(file.PathDisplay.isEmpty() ? file.Path : file.PathDisplay, toPath);
}

TDFileInfo *TDropbox::DeleteByPathName(const QString &path)
{
    const QJsonValue v = RpcCall(QStringLiteral("/files/delete_v2"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)}});
    return Keep(MetadataOf(v.toObject()));
}

TDFileInfo *TDropbox::Delete(const TDFileInfo &file)
{
    return DeleteByPathName(file.Path.isEmpty() ? file.PathDisplay : file.Path);
}

QString TDropbox::ShareByPathName(const QString &path, bool shortUrl)
{
    const QJsonValue v = RpcCall(QStringLiteral("/sharing/create_shared_link"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)},
                                             {QStringLiteral("short_url"), shortUrl}});
    const QString url = v.toObject().value(QLatin1String("url")).toString();
    if (url.isEmpty())
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud: manca il link "
                                         "condiviso."));
    return url;
}

QString TDropbox::Share(const TDFileInfo &file, bool shortUrl)
{
    return ShareByPathName(file.Path.isEmpty() ? file.PathDisplay : file.Path, shortUrl);
}

// --- Batches -------------------------------------------------------------------------------

QJsonObject TDropbox::WaitForJob(const QString &checkCommand, const QJsonObject &launched)
{
    QJsonObject state = launched;
    QElapsedTimer clock;
    clock.start();
    const QString jobId = launched.value(QLatin1String("async_job_id")).toString();
    for (;;) {
        const QString tag = state.value(QLatin1String(".tag")).toString();
        if (tag == QLatin1String("complete"))
            return state;
        if (tag == QLatin1String("failed")) {
            QString reason = state.value(QLatin1String("error_summary")).toString();
            if (reason.isEmpty())
                reason = QString::fromUtf8(CompactJson(state.value(QLatin1String("failed"))));
            throw ECloudError(TCloudErrorKind::Conflict,
                              QStringLiteral("Operazione del servizio cloud non riuscita: %1")
                                  .arg(reason),
                              409,
                              reason);
        }
        if (tag != QLatin1String("async_job_id") && tag != QLatin1String("in_progress"))
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Risposta non valida dal servizio cloud alla "
                                             "richiesta %1: stato \"%2\" sconosciuto.")
                                  .arg(checkCommand, tag));
        if (jobId.isEmpty())
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Risposta non valida dal servizio cloud: manca "
                                             "l'identificativo dell'operazione."));
        if (clock.elapsed() > JobTimeout)
            throw ECloudError(TCloudErrorKind::Timeout,
                              QStringLiteral("Il servizio cloud non ha completato l'operazione "
                                             "entro %1 secondi.")
                                  .arg(JobTimeout / 1000));
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < JobCheckInterval) {
            QThread::msleep(
                ulong(qBound(qint64(1), qint64(JobCheckInterval) - pause.elapsed(), qint64(50))));
            if (OnWait)
                OnWait();
        }
        state = RpcCall(checkCommand, QJsonObject{{QStringLiteral("async_job_id"), jobId}})
                    .toObject();
    }
}

QList<TDFileInfo *> TDropbox::BatchResults(const QString &command, const QJsonObject &complete)
{
    QList<TDFileInfo *> out;
    QStringList failures;
    const QJsonValue entries = complete.value(QLatin1String("entries"));
    if (!entries.isArray())
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud alla richiesta "
                                         "%1: manca l'elenco \"entries\".")
                              .arg(command));
    for (const QJsonValue &v : entries.toArray()) {
        const QJsonObject e = v.toObject();
        if (e.value(QLatin1String(".tag")).toString() == QLatin1String("failure")) {
            const QJsonValue f = e.value(QLatin1String("failure"));
            failures << (f.isObject() ? f.toObject().value(QLatin1String(".tag")).toString()
                                      : f.toString());
            continue;
        }
        out << Keep(MetadataOf(e));
    }
    if (!failures.isEmpty())
        throw ECloudError(TCloudErrorKind::Conflict,
                          QStringLiteral("%1 elementi non elaborati dal servizio cloud: %2")
                              .arg(failures.size())
                              .arg(failures.join(QStringLiteral(", "))),
                          409,
                          failures.join(QStringLiteral(", ")));
    return out;
}

QList<TDFileInfo *> TDropbox::RelocationBatch(const QString &command,
                                              const QList<TDRelocation> &entries,
                                              bool allowSharedFolder,
                                              bool autorename,
                                              bool allowOwnershipTransfer)
{
    QJsonArray list;
    for (const TDRelocation &r : entries)
        list.append(QJsonObject{{QStringLiteral("from_path"), DbxNormalizePath(r.FromPath)},
                                {QStringLiteral("to_path"), DbxNormalizePath(r.ToPath)}});
    const QJsonObject arg{{QStringLiteral("entries"), list},
                          {QStringLiteral("allow_shared_folder"), allowSharedFolder},
                          {QStringLiteral("autorename"), autorename},
                          {QStringLiteral("allow_ownership_transfer"), allowOwnershipTransfer}};
    const QJsonObject launched = RpcCall(command, arg).toObject();
    return BatchResults(command, WaitForJob(command + QStringLiteral("/check"), launched));
}

QList<TDFileInfo *> TDropbox::MoveBatch(const QList<TDRelocation> &entries,
                                        bool allowSharedFolder,
                                        bool autorename,
                                        bool allowOwnershipTransfer)
{
    return RelocationBatch(QStringLiteral("/files/move_batch"),
                           entries,
                           allowSharedFolder,
                           autorename,
                           allowOwnershipTransfer);
}

QList<TDFileInfo *> TDropbox::CopyBatch(const QList<TDRelocation> &entries,
                                        bool allowSharedFolder,
                                        bool autorename,
                                        bool allowOwnershipTransfer)
{
    return RelocationBatch(QStringLiteral("/files/copy_batch"),
                           entries,
                           allowSharedFolder,
                           autorename,
                           allowOwnershipTransfer);
}

QList<TDFileInfo *> TDropbox::DeleteBatch(const QStringList &paths)
{
    QJsonArray list;
    for (const QString &p : paths)
        list.append(QJsonObject{{QStringLiteral("path"), DbxNormalizePath(p)}});
    const QString command = QStringLiteral("/files/delete_batch");
    const QJsonObject launched = RpcCall(command, QJsonObject{{QStringLiteral("entries"), list}})
                                     .toObject();
    return BatchResults(command, WaitForJob(command + QStringLiteral("/check"), launched));
}

// --- Transfers -----------------------------------------------------------------------------

TDFileInfo *TDropbox::Upload(QIODevice &stream, const QString &pathName)
{
    QBuffer memory;
    QIODevice *source = &stream;
    if (stream.isSequential()) {
        // A stream that cannot seek is read first, so a repeated call can send it again.
        memory.setData(stream.readAll());
        memory.open(QIODevice::ReadOnly);
        source = &memory;
    }
    const qint64 size = source->size() - source->pos();
    if (size >= kDbxMaxUploadSize)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Dropbox API does not allow to upload files larger "
                                         "than 150MB"));
    const QJsonObject arg{{QStringLiteral("path"), DbxNormalizePath(pathName)},
                          {QStringLiteral("mode"), QStringLiteral("overwrite")},
                          {QStringLiteral("autorename"), false},
                          {QStringLiteral("mute"), false}};
    const QString command = QStringLiteral("/files/upload");
    const TCloudResponse r
        = Call(Host::Content, command, arg, source, size, QByteArray(), nullptr, true);
    return Keep(ParseObject(command, r.body));
}

TDFileInfo *TDropbox::SessionRequest(const QString &command,
                                     const QJsonObject &arg,
                                     const QByteArray &data,
                                     QString *sessionId)
{
    CheckRequestSize(data.size());
    const TCloudResponse r = Call(Host::Content, command, arg, nullptr, 0, data, nullptr, true);
    const QByteArray body = r.body.trimmed();
    if (sessionId) {
        *sessionId = ParseObject(command, body).value(QLatin1String("session_id")).toString();
        if (sessionId->isEmpty())
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Risposta non valida dal servizio cloud: manca "
                                             "l'identificativo della sessione di caricamento."));
        return nullptr;
    }
    if (body.isEmpty() || body == "null")
        return nullptr;
    return Keep(ParseObject(command, body));
}

QString TDropbox::UploadSessionStart(const QByteArray &data, bool close)
{
    QString id;
    SessionRequest(QStringLiteral("/files/upload_session/start"),
                   QJsonObject{{QStringLiteral("close"), close}},
                   data,
                   &id);
    return id;
}

void TDropbox::UploadSessionAppend(const QString &sessionId,
                                   qint64 offset,
                                   const QByteArray &data,
                                   bool close)
{
    const QJsonObject cursor{{QStringLiteral("session_id"), sessionId},
                             {QStringLiteral("offset"), offset}};
    SessionRequest(QStringLiteral("/files/upload_session/append_v2"),
                   QJsonObject{{QStringLiteral("cursor"), cursor}, {QStringLiteral("close"), close}},
                   data,
                   nullptr);
}

TDFileInfo *TDropbox::UploadSessionFinish(const QString &sessionId,
                                          qint64 offset,
                                          const QByteArray &data,
                                          const QString &path,
                                          const QString &mode)
{
    const QJsonObject cursor{{QStringLiteral("session_id"), sessionId},
                             {QStringLiteral("offset"), offset}};
    const QJsonObject commit{{QStringLiteral("path"), DbxNormalizePath(path)},
                             {QStringLiteral("mode"), mode},
                             {QStringLiteral("autorename"), false},
                             {QStringLiteral("mute"), false}};
    const QString command = QStringLiteral("/files/upload_session/finish");
    TDFileInfo *f = SessionRequest(command,
                                   QJsonObject{{QStringLiteral("cursor"), cursor},
                                               {QStringLiteral("commit"), commit}},
                                   data,
                                   nullptr);
    if (!f)
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud alla richiesta "
                                         "%1: manca la descrizione del file.")
                              .arg(command));
    return f;
}

QList<TDFileInfo *> TDropbox::UploadSessionFinishBatch(const QList<TDSessionCommit> &entries)
{
    QJsonArray list;
    for (const TDSessionCommit &c : entries) {
        list.append(QJsonObject{{QStringLiteral("cursor"),
                                 QJsonObject{{QStringLiteral("session_id"), c.SessionId},
                                             {QStringLiteral("offset"), c.Offset}}},
                                {QStringLiteral("commit"),
                                 QJsonObject{{QStringLiteral("path"), DbxNormalizePath(c.Path)},
                                             {QStringLiteral("mode"), QStringLiteral("overwrite")},
                                             {QStringLiteral("autorename"), false},
                                             {QStringLiteral("mute"), false}}}});
    }
    const QString command = QStringLiteral("/files/upload_session/finish_batch");
    const QJsonObject launched = RpcCall(command, QJsonObject{{QStringLiteral("entries"), list}})
                                     .toObject();
    return BatchResults(command, WaitForJob(command + QStringLiteral("/check"), launched));
}

QHash<QString, QString> TDropbox::OpenUploadSessions() const
{
    QHash<QString, QString> out;
    for (auto it = m_sessions.cbegin(); it != m_sessions.cend(); ++it)
        out.insert(it.key(), it.value().sessionId);
    return out;
}

TDFileInfo *TDropbox::UploadInSession(QIODevice *stream, const QString &pathName, qint64 chunkSize)
{
    if (!stream)
        throw ECloudError(TCloudErrorKind::Usage, QStringLiteral("Stream can not be nil"));
    if (chunkSize > kDbxMaxUploadSize - 1)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Dropbox API does not allow chunks larger than 150MB"));
    if (chunkSize <= 0)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("La dimensione dei blocchi di caricamento deve essere "
                                         "maggiore di zero."));
    if (stream->isSequential())
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Il caricamento a blocchi richiede un file, non un "
                                         "flusso sequenziale."));
    const qint64 start = stream->pos();
    const qint64 total = stream->size() - start;
    if (total <= 0)
        return Upload(*stream, pathName);

    const QString key = DbxNormalizePath(pathName).toLower();
    ProgressScope progress(m_progressBase, m_progressTotal, total);
    // A session left by an interrupted upload of the same path is resumed; the service tells
    // where it stands when our offset is not its own.
    UploadSession session = m_sessions.value(key);
    qint64 offset = session.sessionId.isEmpty() ? 0 : session.offset;
    qint64 lastCorrection = -1;
    for (;;) {
        if (offset < 0 || offset > total)
            throw ECloudError(TCloudErrorKind::InvalidAnswer,
                              QStringLiteral("Il servizio cloud indica una posizione di "
                                             "caricamento (%1) fuori dal file (%2 byte).")
                                  .arg(offset)
                                  .arg(total));
        if (!stream->seek(start + offset))
            throw ECloudError(TCloudErrorKind::File,
                              QStringLiteral("Impossibile posizionarsi nel file da caricare: %1")
                                  .arg(stream->errorString()));
        const qint64 n = qMin(chunkSize, total - offset);
        const QByteArray data = n > 0 ? stream->read(n) : QByteArray();
        if (data.size() != n)
            throw ECloudError(TCloudErrorKind::File,
                              QStringLiteral("Impossibile leggere il file da caricare: %1")
                                  .arg(stream->errorString()));
        const bool last = offset + n >= total;
        m_progressBase = offset;
        try {
            if (session.sessionId.isEmpty()) {
                session.sessionId = UploadSessionStart(data);
                session.offset = n;
                m_sessions.insert(key, session);
                offset = n;
                if (last) {
                    m_progressBase = offset;
                    TDFileInfo *f = UploadSessionFinish(session.sessionId,
                                                        offset,
                                                        QByteArray(),
                                                        pathName);
                    m_sessions.remove(key);
                    return f;
                }
            } else if (!last) {
                UploadSessionAppend(session.sessionId, offset, data);
                offset += n;
                session.offset = offset;
                m_sessions.insert(key, session);
            } else {
                TDFileInfo *f = UploadSessionFinish(session.sessionId, offset, data, pathName);
                m_sessions.remove(key);
                return f;
            }
        } catch (const ECloudError &e) {
            if (e.Kind() != TCloudErrorKind::Conflict)
                throw; // the session stays, for a later call to resume
            QJsonObject reason = e.Details();
            if (reason.value(QLatin1String(".tag")).toString() == QLatin1String("lookup_failed"))
                reason = reason.value(QLatin1String("lookup_failed")).toObject();
            const QString tag = reason.value(QLatin1String(".tag")).toString();
            if (tag == QLatin1String("incorrect_offset")) {
                const qint64 correct = reason.value(QLatin1String("correct_offset")).toInteger(-1);
                if (correct == lastCorrection || correct < 0)
                    throw;
                lastCorrection = correct;
                offset = correct;
                session.offset = correct;
                m_sessions.insert(key, session);
                continue;
            }
            if (tag == QLatin1String("not_found") || tag == QLatin1String("closed"))
                m_sessions.remove(key);
            throw;
        }
    }
}

TDFileInfo *TDropbox::UploadFile(const QString &localFile, const QString &pathName)
{
    QFile f(localFile);
    if (!f.exists())
        throw ECloudError(TCloudErrorKind::File,
                          QStringLiteral("Il file da caricare non esiste: %1").arg(localFile));
    if (!f.open(QIODevice::ReadOnly))
        throw ECloudError(TCloudErrorKind::File,
                          QStringLiteral("Impossibile aprire il file da caricare %1: %2")
                              .arg(localFile, f.errorString()));
    if (f.size() < kDbxMaxUploadSize)
        return Upload(f, pathName);
    return UploadInSession(&f, pathName, UploadChunkSize);
}

TDFileInfo *TDropbox::DownloadByPathName(const QString &path, QIODevice &out)
{
    const QString command = QStringLiteral("/files/download");
    const TCloudResponse r = Call(Host::Content,
                                  command,
                                  QJsonObject{{QStringLiteral("path"), DbxNormalizePath(path)}},
                                  nullptr,
                                  0,
                                  QByteArray(),
                                  &out,
                                  true);
    const QByteArray result = r.Header("Dropbox-API-Result");
    if (result.isEmpty())
        throw ECloudError(TCloudErrorKind::InvalidAnswer,
                          QStringLiteral("Risposta non valida dal servizio cloud alla richiesta "
                                         "%1: manca la descrizione del file.")
                              .arg(command));
    return Keep(ParseObject(command, result));
}

TDFileInfo *TDropbox::Download(const TDFileInfo &file, QIODevice &out)
{
    return DownloadByPathName(file.Path.isEmpty() ? file.PathDisplay : file.Path, out);
}

// --- Account -------------------------------------------------------------------------------

const TDAccountInfo &TDropbox::Account()
{
    if (m_account)
        return *m_account;
    const QJsonObject o = RpcCall(QStringLiteral("/users/get_current_account"),
                                  QJsonValue(QJsonValue::Null))
                              .toObject();
    auto a = std::make_unique<TDAccountInfo>();
    const QJsonObject name = o.value(QLatin1String("name")).toObject();
    const QJsonObject team = o.value(QLatin1String("team")).toObject();
    a->ReferralLink = o.value(QLatin1String("referral_link")).toString();
    a->DisplayName = name.value(QLatin1String("display_name")).toString();
    a->GivenName = name.value(QLatin1String("given_name")).toString();
    a->Surname = name.value(QLatin1String("surname")).toString();
    a->FamiliarName = name.value(QLatin1String("familiar_name")).toString();
    a->AccountId = o.value(QLatin1String("account_id")).toString();
    a->Country = o.value(QLatin1String("country")).toString();
    a->Locale = o.value(QLatin1String("locale")).toString();
    const QJsonValue type = o.value(QLatin1String("account_type"));
    a->AccountType = type.isObject() ? type.toObject().value(QLatin1String(".tag")).toString()
                                     : type.toString();
    a->Email = o.value(QLatin1String("email")).toString();
    a->IsPaired = o.value(QLatin1String("is_paired")).toBool();
    a->TeamId = team.value(QLatin1String("id")).toString();
    a->TeamName = team.value(QLatin1String("name")).toString();
    m_account = std::move(a);
    return *m_account;
}

const TDSpaceUsage &TDropbox::SpaceUsage()
{
    if (m_space)
        return *m_space;
    const QJsonObject o
        = RpcCall(QStringLiteral("/users/get_space_usage"), QJsonValue(QJsonValue::Null)).toObject();
    auto s = std::make_unique<TDSpaceUsage>();
    const QJsonObject allocation = o.value(QLatin1String("allocation")).toObject();
    s->Used = o.value(QLatin1String("used")).toInteger();
    s->Allocated = allocation.value(QLatin1String("allocated")).toInteger();
    s->UsedByTeam = allocation.value(QLatin1String("used")).toInteger();
    m_space = std::move(s);
    return *m_space;
}
