#pragma once

// A fake of the cloud storage's HTTP API for the tests, served over real TLS on 127.0.0.1 in a
// thread of its own (the client blocks the test's thread while it talks).
//
// It keeps an in-memory file tree and answers the RPC, content and token endpoints the client
// uses with the service's shapes: paged listings with cursors, change lists, upload sessions
// with offsets, batch jobs that report "in_progress" before "complete", shared links, account
// data. It checks what the real service checks: bearer tokens, content types, an ASCII
// "Dropbox-API-Arg" header, path syntax (no backslash or control characters, names of at most
// 255 characters), PKCE verifiers. Faults are queued per command and used by the next request
// to it: 401, 409 with a summary, stalls, dropped connections, text instead of JSON,
// redirects.

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

namespace cloud_test {

struct TTestCertificates
{
    QString caFile;      // the authority the client is told to trust
    QString certFile;    // the server's certificate for 127.0.0.1 and localhost, signed by it
    QString keyFile;     // the server's private key
    QString otherCaFile; // an authority that signed nothing here
    QString error;       // empty when everything was made
};

// Makes a throwaway authority and a server certificate in dir with the openssl command.
TTestCertificates MakeTestCertificates(const QString &dir);

struct TFakeRequest
{
    QString path;                         // "/2/files/list_folder", "/oauth2/token"
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;                      // at most the first 64 KiB
    qint64 bodySize = 0;
    QJsonObject arg; // the JSON argument (body or "Dropbox-API-Arg"), when there is one
};

class TFakeDropbox : public QThread
{
public:
    explicit TFakeDropbox(const TTestCertificates &certificates);
    ~TFakeDropbox() override;

    bool IsListening() const { return m_port.load() > 0; }
    quint16 Port() const { return quint16(m_port.load()); }
    QString Host() const; // "127.0.0.1:port"
    // A port that accepts connections and never answers (not even the TLS handshake).
    QString SilentHost() const;

    // --- Application and tokens -----------------------------------------------------------
    QString ClientId() const;
    QString ClientSecret() const;
    QString IssueAccessToken();
    QString IssueRefreshToken();
    // The token is refused from now on as expired.
    void ExpireAccessToken(const QString &token);
    // Plays the authorisation page: reads client id, redirect address and PKCE challenge
    // from the address the client built and hands out a one-time code for them. Empty when
    // the address is not acceptable.
    QString GrantCode(const QString &authorizeUrl);

    // --- File tree (paths with any case; stored with the case given) ---------------------
    void AddFolder(const QString &path);
    void AddFile(const QString &path, const QByteArray &content);
    bool Exists(const QString &path) const;
    bool IsFolder(const QString &path) const;
    QString DisplayPath(const QString &path) const;
    QByteArray Content(const QString &path) const; // empty for files over 16 MiB
    qint64 Size(const QString &path) const;
    QByteArray Sha256(const QString &path) const;
    QStringList Children(const QString &path) const; // display names, sorted
    int OpenSessions() const;
    void SetPageSize(int entries);
    void SetAccount(const QJsonObject &account);
    void SetSpaceUsage(const QJsonObject &usage);
    // Checks of a batch job answered "in_progress" before its result.
    void SetJobChecksInProgress(int checks);

    // --- Faults (an empty command matches every request) ----------------------------------
    void Fail401(int times, const QString &command = QString());
    void Fail409(const QString &command, const QString &summary, const QJsonObject &error = {});
    void Stall(const QString &command, int ms);
    void DropBeforeAnswer(const QString &command);
    void DropMidAnswer(const QString &command);
    // Does the work of the request, then drops the connection without answering.
    void HandleThenDrop(const QString &command);
    void AnswerText(const QString &command,
                    int status,
                    const QByteArray &text,
                    const QByteArray &contentType = "text/html");
    void Redirect(const QString &command, int times);

    // --- What arrived ---------------------------------------------------------------------
    QList<TFakeRequest> Requests() const;
    int Count(const QString &path) const;
    void ClearRequests();

protected:
    void run() override;

private:
    struct State;
    friend struct State;
    TTestCertificates m_certificates;
    std::unique_ptr<State> m_state; // guarded by m_mutex
    mutable QMutex m_mutex;
    std::atomic<int> m_port{0};
    std::atomic<int> m_silentPort{0};
    std::atomic<bool> m_failed{false};
};

// An HTTP proxy for CONNECT tunnels on 127.0.0.1 that asks for Basic credentials.
class TFakeTunnelProxy : public QThread
{
public:
    TFakeTunnelProxy(const QString &user, const QString &password);
    ~TFakeTunnelProxy() override;
    quint16 Port() const { return quint16(m_port.load()); }
    int Tunnels() const { return m_tunnels.load(); }
    int Refusals() const { return m_refusals.load(); }

protected:
    void run() override;

private:
    QByteArray m_expected; // "Basic " + base64(user:password)
    std::atomic<int> m_port{0};
    std::atomic<int> m_tunnels{0};
    std::atomic<int> m_refusals{0};
};

} // namespace cloud_test
