#pragma once

// TDropbox: the client of the cloud storage's HTTP API, version 2.
//
// Every call is an HTTPS POST: RPC calls carry a JSON argument as body and answer JSON;
// content calls carry the argument in the "Dropbox-API-Arg" header and the file data as body.
// A call that starts without an access token authorises first (refresh token, else code with
// the operator's help); a 401 clears the token and repeats the call once. Failures raise
// ECloudError with a text ready for the operator (a 409 gives the service's error_summary).
//
// Entries returned as pointers (TDFileInfo *) are owned by the client and live until it is
// freed, or until FindClose / ClearFindCache releases their listing.

#include "cloud/cloudhttp.h"
#include "cloud/dfileinfo.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// The service's public hosts, used when the settings name none.
inline constexpr const char *kDbxDefaultApiHost = "api.dropboxapi.com";
inline constexpr const char *kDbxDefaultContentHost = "content.dropboxapi.com";
inline constexpr const char *kDbxDefaultAuthHost = "www.dropbox.com";
// The largest body of one upload request.
inline constexpr qint64 kDbxMaxUploadSize = 157286400; // 150 MiB

struct TDAccountInfo
{
    QString ReferralLink;
    QString DisplayName;
    QString GivenName;
    QString Surname;
    QString FamiliarName;
    QString AccountId;
    QString Country;
    QString Locale;
    QString AccountType;
    QString Email;
    bool IsPaired = false;
    QString TeamId;
    QString TeamName;
};

struct TDSpaceUsage
{
    qint64 Used = 0;
    qint64 UsedByTeam = 0; // team allocations only
    qint64 Allocated = 0;
};

// One pair of a batch move or copy.
struct TDRelocation
{
    QString FromPath;
    QString ToPath;
};

// One upload session to commit in a batch finish.
struct TDSessionCommit
{
    QString SessionId;
    qint64 Offset = 0; // bytes already sent in the session
    QString Path;
};

class TDropbox
{
public:
    TDropbox();
    ~TDropbox();
    TDropbox(const TDropbox &) = delete;
    TDropbox &operator=(const TDropbox &) = delete;

    // Hosts: "name", "name:port" or a full "https://..." base address.
    QString ApiHost = QString::fromLatin1(kDbxDefaultApiHost);
    QString ContentHost = QString::fromLatin1(kDbxDefaultContentHost);
    QString AuthHost = QString::fromLatin1(kDbxDefaultAuthHost);
    QString CAFile;                            // trusted authorities in PEM; empty: the system's
    int ConnectTimeout = 15000;                // ms
    int ReadTimeout = 30000;                   // ms
    qint64 UploadChunkSize = 16 * 1024 * 1024; // used by UploadFile for large files
    int JobCheckInterval = 1000;               // ms between checks of a batch job
    int JobTimeout = 300000;                   // ms before a batch job is given up

    QString LogFileName; // when set, the traffic is appended here (secrets masked)
    QString ClientID;
    QString ClientSecret;
    QString AccessToken;
    QString RefreshToken;
    QString Scopes = QStringLiteral("account_info.read files.metadata.write files.metadata.read "
                                    "files.content.write files.content.read sharing.write "
                                    "sharing.read");
    QString RedirectURI; // when set, authorisation by code uses PKCE

    TDProxyType ProxyType = TDProxyType::None;
    QString ProxyServer;
    int ProxyPort = 0;
    QString ProxyUsername;
    QString ProxyPassword;

    // Asked for the authorisation code with the address of the page that grants it; an empty
    // code cancels. When not set, the address is opened in the system browser and the operator
    // types the code in the input box "Code request".
    std::function<void(TDropbox &sender, const QString &url, QString &code)>
        OnAuthorizationCodeRequest;
    // Progress of transfers: total and transferred bytes (session-wide during session
    // uploads); setting cancel stops the transfer, which then raises "Cancelled".
    std::function<void(TDropbox &sender, qint64 total, qint64 done, bool &cancel)> OnUploadProgress;
    std::function<void(TDropbox &sender, qint64 total, qint64 done, bool &cancel)> OnDownloadProgress;
    // Called about every 100 ms during a request, to keep the interface painted.
    std::function<void()> OnWait;

    // PKCE pair of the last authorisation by code (empty before).
    QString CodeVerifier() const { return m_codeVerifier; }
    QString CodeChallenge() const { return m_codeChallenge; }

    // --- Authorisation -------------------------------------------------------------------
    // Obtains an access token: by refresh token when there is one, else by code.
    void Authorize();
    // The address of the page that grants a code (makes a new PKCE pair when RedirectURI is
    // set).
    QString AuthorizationUrl();
    // Exchanges a code for tokens (with the PKCE verifier when RedirectURI is set).
    void AuthorizeWithCode(const QString &code);

    // --- Listing -------------------------------------------------------------------------
    // Lists a folder ("/" or "" is the root); every page is gathered, folders first, then by
    // name ignoring case. Result 0 and the first entry, or -1 and nullptr for an empty folder.
    int FindFirst(TDFileInfo *&fileInfo, const QString &path);
    // The next entry of the same listing: 0, or -1 and nullptr at the end. Raises "Such
    // FileInfo does not exist" for an entry that belongs to no listing of this client.
    int FindNext(TDFileInfo *&fileInfo);
    // Releases the listing the entry belongs to.
    void FindClose(TDFileInfo *fileInfo);
    void ClearFindCache();
    // Every match of the text (names), under path ("" everywhere); all pages.
    const TDFileList &FindByText(const QString &text, const QString &path = QString());
    // The change list: with an empty cursor every entry of the storage (recursive, deleted
    // entries included), else the changes after the cursor; all pages. The cursor becomes the
    // one to pass next time.
    const TDFileList &GetDelta(QString &cursor);
    QString GetLatestCursor(const QString &path = QString());

    // --- Single entries --------------------------------------------------------------------
    TDFileInfo *GetByPathName(const QString &path);
    TDFileInfo *CreateFolder(const QString &path);
    TDFileInfo *Move(const TDFileInfo &file, const QString &toPath);
    TDFileInfo *MoveByPathName(const QString &fromPath, const QString &toPath);
    TDFileInfo *Rename(const TDFileInfo &file, const QString &newName);
    TDFileInfo *RenameByPathName(const QString &path, const QString &newName);
    TDFileInfo *Copy(const TDFileInfo &file, const QString &toPath);
    TDFileInfo *CopyByPathName(const QString &fromPath, const QString &toPath);
    TDFileInfo *Delete(const TDFileInfo &file);
    TDFileInfo *DeleteByPathName(const QString &path);
    // A shared link to the entry; the short form when shortUrl.
    QString Share(const TDFileInfo &file, bool shortUrl = true);
    QString ShareByPathName(const QString &path, bool shortUrl = true);

    // --- Batches (waited for until the job completes) ---------------------------------------
    QList<TDFileInfo *> MoveBatch(const QList<TDRelocation> &entries,
                                  bool allowSharedFolder = false,
                                  bool autorename = false,
                                  bool allowOwnershipTransfer = false);
    QList<TDFileInfo *> CopyBatch(const QList<TDRelocation> &entries,
                                  bool allowSharedFolder = false,
                                  bool autorename = false,
                                  bool allowOwnershipTransfer = false);
    QList<TDFileInfo *> DeleteBatch(const QStringList &paths);

    // --- Transfers -----------------------------------------------------------------------
    // One request, overwriting: the stream from its position to its end (less than 150 MiB).
    TDFileInfo *Upload(QIODevice &stream, const QString &pathName);
    // A resumable session in chunks of chunkSize bytes; an interrupted upload of the same
    // path resumes its session on the next call.
    TDFileInfo *UploadInSession(QIODevice *stream, const QString &pathName, qint64 chunkSize);
    // A local file: one request below 150 MiB, a session above.
    TDFileInfo *UploadFile(const QString &localFile, const QString &pathName);
    // The file's content into out (which may hold part of it when the transfer fails).
    TDFileInfo *Download(const TDFileInfo &file, QIODevice &out);
    TDFileInfo *DownloadByPathName(const QString &path, QIODevice &out);

    // Session steps, for callers that drive a session themselves.
    QString UploadSessionStart(const QByteArray &data, bool close = false);
    void UploadSessionAppend(const QString &sessionId,
                             qint64 offset,
                             const QByteArray &data,
                             bool close = false);
    TDFileInfo *UploadSessionFinish(const QString &sessionId,
                                    qint64 offset,
                                    const QByteArray &data,
                                    const QString &path,
                                    const QString &mode = QStringLiteral("overwrite"));
    QList<TDFileInfo *> UploadSessionFinishBatch(const QList<TDSessionCommit> &entries);
    // Sessions left open by interrupted uploads: path (lower case) to session id.
    QHash<QString, QString> OpenUploadSessions() const;

    // --- Account -------------------------------------------------------------------------
    // Read from the service on first use.
    const TDAccountInfo &Account();
    QString ReferralLink() { return Account().ReferralLink; }
    QString DisplayName() { return Account().DisplayName; }
    QString GivenName() { return Account().GivenName; }
    QString Surname() { return Account().Surname; }
    QString FamiliarName() { return Account().FamiliarName; }
    QString AccountId() { return Account().AccountId; }
    QString Country() { return Account().Country; }
    QString Locale() { return Account().Locale; }
    QString AccountType() { return Account().AccountType; }
    QString Email() { return Account().Email; }
    bool IsPaired() { return Account().IsPaired; }
    QString TeamId() { return Account().TeamId; }
    QString TeamName() { return Account().TeamName; }
    const TDSpaceUsage &SpaceUsage();

    // --- Raw calls -----------------------------------------------------------------------
    // An RPC call ("/files/get_metadata"); arg may be null for calls without argument. The
    // answer's JSON (null for an empty answer).
    QJsonValue RpcCall(const QString &command, const QJsonValue &arg);

private:
    struct UploadSession
    {
        QString sessionId;
        qint64 offset = 0;
    };
    enum class Host { Api, Content };

    TCloudResponse Call(Host host,
                        const QString &command,
                        const QJsonValue &arg,
                        QIODevice *body,
                        qint64 bodySize,
                        const QByteArray &bodyBytes,
                        QIODevice *out,
                        bool content);
    TCloudResponse SendOnce(const QString &url,
                            const QList<QByteArray> &headers,
                            QIODevice *body,
                            qint64 bodySize,
                            const QByteArray &bodyBytes,
                            QIODevice *out);
    QJsonObject TokenRequest(const QByteArray &form);
    QString AskAuthorizationCode(const QString &url);
    void MakePkcePair();
    [[noreturn]] void RaiseHttpError(const QString &command, const TCloudResponse &response);
    QJsonObject ParseObject(const QString &command, const QByteArray &body);
    QString BaseUrl(const QString &host) const;
    void ApplyTransport();
    void WriteLog(const QString &block);
    void DebugLine(const QString &line);
    QStringList Secrets() const;

    struct Pages
    {
        QList<QJsonObject> entries;
        QString cursor; // the last one the service gave
    };
    TDFileInfo *Keep(const QJsonObject &metadata);
    std::unique_ptr<TDFileList> MakeList(const QList<QJsonObject> &entries, bool sortFoldersFirst);
    Pages ListAllPages(const QString &command,
                       const QJsonObject &arg,
                       const QString &continueCommand,
                       const QString &entriesKey);
    bool OwnsList(const TDFileList *list) const;
    QList<TDFileInfo *> RelocationBatch(const QString &command,
                                        const QList<TDRelocation> &entries,
                                        bool allowSharedFolder,
                                        bool autorename,
                                        bool allowOwnershipTransfer);
    QJsonObject WaitForJob(const QString &checkCommand, const QJsonObject &launched);
    QList<TDFileInfo *> BatchResults(const QString &command, const QJsonObject &complete);
    TDFileInfo *SessionRequest(const QString &command,
                               const QJsonObject &arg,
                               const QByteArray &data,
                               QString *sessionId);

    TCloudHttp m_http;
    std::vector<std::unique_ptr<TDFileList>> m_findCache;
    std::vector<std::unique_ptr<TDFileInfo>> m_entries; // single results
    std::unique_ptr<TDFileList> m_changeList;
    QHash<QString, UploadSession> m_sessions; // target path (lower case) to session
    std::unique_ptr<TDAccountInfo> m_account;
    std::unique_ptr<TDSpaceUsage> m_space;
    QString m_codeVerifier;
    QString m_codeChallenge;
    QString m_lastCode;
    qint64 m_progressBase = 0;  // bytes of the session sent before the current request
    qint64 m_progressTotal = 0; // session size; 0 outside sessions
};

// The JSON text of a value for the "Dropbox-API-Arg" header: compact, every character beyond
// ASCII written as a \u escape (surrogate pairs as two).
QByteArray DbxHeaderJson(const QJsonValue &value);
// The path as the service wants it: "" for the root, a leading "/", no trailing "/".
QString DbxNormalizePath(const QString &path);
// PKCE: a URL-safe Base64 text without padding.
QString DbxBase64Url(const QByteArray &bytes);
