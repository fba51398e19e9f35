// Authorisation: the retry after a 401, refresh tokens, the code flow with and without PKCE,
// the operator's prompt, and secrets kept out of the trace and the debug pane.

#include "cloud/clouderror.h"
#include "cloud/cloudhttp.h"
#include "cloud/dropbox.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "tests/cloud/cloudtestenv.h"
#include "tests/support/dialogrecorder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrlQuery>

using namespace cloud_test;

namespace {

template<typename F>
ECloudError ErrorOf(F &&call)
{
    try {
        call();
    } catch (const ECloudError &e) {
        return e;
    }
    return ECloudError(TCloudErrorKind::Usage, QStringLiteral("<no error raised>"));
}

int Listings(const TFakeDropbox &fake)
{
    return fake.Count(QStringLiteral("/2/files/list_folder"));
}

} // namespace

class TestDropboxAuth : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void expiredTokenAuthorisesOnce_data();
    void expiredTokenAuthorisesOnce();
    void refusedRefreshToken();
    void codeFlowWithPkce();
    void codeForAnotherVerifierRefused();
    void operatorPromptedForCode_data();
    void operatorPromptedForCode();
    void pkceVerifierIsSecureAndWellFormed();
    void secretsMaskedInTraceAndDebugPane();
    void maskSecrets_data();
    void maskSecrets();

private:
    TCloudTestEnv m_env;
};

void TestDropboxAuth::initTestCase()
{
    QVERIFY(m_env.MakeCertificates());
}

void TestDropboxAuth::init()
{
    QVERIFY(m_env.StartService());
}

void TestDropboxAuth::expiredTokenAuthorisesOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("tokenRequests");
    QTest::addColumn<int>("listings");
    QTest::addColumn<int>("codeRequests");
    QTest::newRow("stored token expired, refresh token") << "expired" << true << 1 << 2 << 0;
    QTest::newRow("401 once, refresh token") << "401 once" << true << 1 << 2 << 0;
    QTest::newRow("no token at all, refresh token") << "no token" << true << 1 << 1 << 0;
    QTest::newRow("401 twice: fails") << "401 twice" << false << 1 << 2 << 0;
    QTest::newRow("expired, no refresh token: asks for a code") << "code" << true << 1 << 2 << 1;
}

void TestDropboxAuth::expiredTokenAuthorisesOnce()
{
    QFETCH(QString, how);
    QFETCH(bool, succeeds);
    QFETCH(int, tokenRequests);
    QFETCH(int, listings);
    QFETCH(int, codeRequests);
    m_env.fake->AddFolder(QStringLiteral("/Ventorel"));
    auto client = m_env.NewClient(how != QLatin1String("no token"));
    if (how != QLatin1String("code"))
        client->RefreshToken = m_env.fake->IssueRefreshToken();
    if (how == QLatin1String("expired") || how == QLatin1String("code"))
        m_env.fake->ExpireAccessToken(client->AccessToken);
    if (how == QLatin1String("401 once"))
        m_env.fake->Fail401(1);
    if (how == QLatin1String("401 twice"))
        m_env.fake->Fail401(2);
    int asked = 0;
    client->OnAuthorizationCodeRequest = [&](TDropbox &, const QString &url, QString &code) {
        ++asked;
        code = m_env.fake->GrantCode(url);
    };
    const QString oldToken = client->AccessToken;

    TDFileInfo *f = nullptr;
    if (succeeds) {
        QCOMPARE(client->FindFirst(f, QStringLiteral("/")), 0);
        QCOMPARE(f->Name, QStringLiteral("Ventorel"));
        QVERIFY(!client->AccessToken.isEmpty());
        QVERIFY(client->AccessToken != oldToken);
    } else {
        const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
        QCOMPARE(e.Kind(), TCloudErrorKind::Authorization);
        QCOMPARE(e.HttpStatus(), 401);
        QVERIFY2(e.Text().contains(QStringLiteral("expired_access_token")), qPrintable(e.Text()));
    }
    QCOMPARE(m_env.fake->Count(QStringLiteral("/oauth2/token")), tokenRequests);
    QCOMPARE(Listings(*m_env.fake), listings);
    QCOMPARE(asked, codeRequests);
    // The repeated call carries the new token.
    const QList<TFakeRequest> requests = m_env.fake->Requests();
    QCOMPARE(requests.last().headers.value("authorization"),
             ("Bearer " + client->AccessToken).toUtf8());
}

void TestDropboxAuth::refusedRefreshToken()
{
    auto client = m_env.NewClient(false);
    client->RefreshToken = QStringLiteral("revocato-123456");
    TDFileInfo *f = nullptr;
    const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
    QCOMPARE(e.Kind(), TCloudErrorKind::Authorization);
    QVERIFY2(e.Text().contains(QStringLiteral("invalid_grant")), qPrintable(e.Text()));
    QCOMPARE(Listings(*m_env.fake), 0);

    // A wrong application secret is refused as such.
    client->RefreshToken = m_env.fake->IssueRefreshToken();
    client->ClientSecret = QStringLiteral("sbagliato");
    const ECloudError e2 = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
    QVERIFY2(e2.Text().contains(QStringLiteral("invalid_client")), qPrintable(e2.Text()));
}

void TestDropboxAuth::codeFlowWithPkce()
{
    auto client = m_env.NewClient(false);
    client->RedirectURI = QStringLiteral("http://localhost:8765/ventorel");
    QString seenUrl;
    client->OnAuthorizationCodeRequest = [&](TDropbox &, const QString &url, QString &code) {
        seenUrl = url;
        code = m_env.fake->GrantCode(url);
    };
    client->CreateFolder(QStringLiteral("/Dopo il codice"));
    QVERIFY(m_env.fake->Exists(QStringLiteral("/Dopo il codice")));

    const QUrl url(seenUrl);
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QCOMPARE(QStringLiteral("%1:%2").arg(url.host()).arg(url.port()), m_env.fake->Host());
    QCOMPARE(url.path(), QStringLiteral("/oauth2/authorize"));
    const QUrlQuery q(url);
    QCOMPARE(q.queryItemValue(QStringLiteral("client_id")), m_env.fake->ClientId());
    QCOMPARE(q.queryItemValue(QStringLiteral("response_type")), QStringLiteral("code"));
    QCOMPARE(q.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
    QCOMPARE(q.queryItemValue(QStringLiteral("code_challenge")), client->CodeChallenge());
    QCOMPARE(q.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
             client->RedirectURI);
    QCOMPARE(q.queryItemValue(QStringLiteral("token_access_type")), QStringLiteral("offline"));
    QCOMPARE(q.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded), client->Scopes);

    // The code brought both tokens; the verifier travelled with the code.
    QVERIFY(!client->AccessToken.isEmpty());
    QVERIFY(!client->RefreshToken.isEmpty());
    const TFakeRequest token = m_env.fake->Requests().first();
    QCOMPARE(token.path, QStringLiteral("/oauth2/token"));
    const QUrlQuery form(QString::fromUtf8(token.body));
    QCOMPARE(form.queryItemValue(QStringLiteral("grant_type")),
             QStringLiteral("authorization_code"));
    QCOMPARE(form.queryItemValue(QStringLiteral("code_verifier")), client->CodeVerifier());
}

void TestDropboxAuth::codeForAnotherVerifierRefused()
{
    auto client = m_env.NewClient(false);
    client->RedirectURI = QStringLiteral("http://localhost:8765/ventorel");
    client->OnAuthorizationCodeRequest = [&](TDropbox &, const QString &url, QString &code) {
        // A code granted to somebody else's challenge: the verifier cannot match it.
        QString other = url;
        other.replace(QRegularExpression(QStringLiteral("code_challenge=[^&]+")),
                      QStringLiteral("code_challenge=QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUE"));
        code = m_env.fake->GrantCode(other);
    };
    const ECloudError e = ErrorOf([&] { client->CreateFolder(QStringLiteral("/x")); });
    QCOMPARE(e.Kind(), TCloudErrorKind::Authorization);
    QVERIFY2(e.Text().contains(QStringLiteral("invalid code verifier")), qPrintable(e.Text()));
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/x")));
}

void TestDropboxAuth::operatorPromptedForCode_data()
{
    QTest::addColumn<bool>("typed");
    QTest::newRow("code typed") << true;
    QTest::newRow("prompt cancelled") << false;
}

void TestDropboxAuth::operatorPromptedForCode()
{
    QFETCH(bool, typed);
    auto client = m_env.NewClient(false);
    // Without PKCE the address is fixed, so the code can be granted before the prompt.
    const QString code = m_env.fake->GrantCode(client->AuthorizationUrl());
    TDialogRecorder dialogs;
    dialogs.QueueAnswer(true);        // the browser opened
    dialogs.QueueAnswer(typed, code); // the input box
    if (typed) {
        client->CreateFolder(QStringLiteral("/Con codice"));
        QVERIFY(m_env.fake->Exists(QStringLiteral("/Con codice")));
    } else {
        const ECloudError e = ErrorOf([&] { client->CreateFolder(QStringLiteral("/Con codice")); });
        QCOMPARE(e.Text(), QStringLiteral("Authorization cancelled"));
        QCOMPARE(e.Kind(), TCloudErrorKind::Cancelled);
        QCOMPARE(m_env.fake->Requests().size(), 0);
    }
    QCOMPARE(dialogs.Count(TDialogKind::OpenWithSystem), 1);
    QVERIFY(
        dialogs.LastText(TDialogKind::OpenWithSystem)
            .startsWith(
                QStringLiteral("https://%1/oauth2/authorize?client_id=").arg(m_env.fake->Host())));
    QCOMPARE(dialogs.Count(TDialogKind::InputText), 1);
    QCOMPARE(dialogs.LastText(TDialogKind::InputText), QStringLiteral("Enter code here:"));
}

void TestDropboxAuth::pkceVerifierIsSecureAndWellFormed()
{
    TDropbox client;
    client.ClientID = QStringLiteral("app");
    client.RedirectURI = QStringLiteral("http://localhost/cb");
    QSet<QString> seen;
    const QRegularExpression urlSafe(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    for (int i = 0; i < 200; ++i) {
        client.AuthorizationUrl();
        const QString v = client.CodeVerifier();
        QVERIFY2(urlSafe.match(v).hasMatch(), qPrintable(v));
        QVERIFY(!seen.contains(v));
        seen.insert(v);
        QCOMPARE(client.CodeChallenge(),
                 DbxBase64Url(QCryptographicHash::hash(v.toLatin1(), QCryptographicHash::Sha256)));
    }
    // 32 random bytes: over 200 verifiers every one of the 64 characters turns up.
    QSet<QChar> characters;
    for (const QString &v : seen) {
        for (const QChar c : v.left(42)) // the last character carries only 2 random bits
            characters.insert(c);
    }
    QCOMPARE(characters.size(), 64);

    // Without a redirect address there is no PKCE pair.
    client.RedirectURI.clear();
    QVERIFY(!client.AuthorizationUrl().contains(QStringLiteral("code_challenge")));
    QVERIFY(client.CodeVerifier().isEmpty());
}

void TestDropboxAuth::secretsMaskedInTraceAndDebugPane()
{
    const QString log = m_env.TempPath(QStringLiteral("traccia.log"));
    QFile::remove(log);
    QStringList paneLines;
    SetDebugLineSink([&paneLines](const QString &line) { paneLines << line; });
    TSessionInfo &session = SessionInfo();
    session.bAdministrator = true;
    session.iDebugPaneHeight = 120;

    auto client = m_env.NewClient(false);
    client->LogFileName = log;
    client->RedirectURI = QStringLiteral("http://localhost:8765/ventorel");
    QString code;
    client->OnAuthorizationCodeRequest = [&](TDropbox &, const QString &url, QString &c) {
        c = code = m_env.fake->GrantCode(url);
    };
    client->CreateFolder(QStringLiteral("/Traccia")); // code flow
    m_env.fake->Fail401(1);                           // then a refresh
    TDFileInfo *f = nullptr;
    client->FindFirst(f, QStringLiteral("/"));
    QBuffer big;
    big.setData(QByteArray(102400, '\x7f'));
    QVERIFY(big.open(QIODevice::ReadOnly));
    client->Upload(big, QStringLiteral("/Traccia/dati.bin"));
    QBuffer small;
    small.setData(QByteArray("piccolo"));
    QVERIFY(small.open(QIODevice::ReadOnly));
    client->Upload(small, QStringLiteral("/Traccia/piccolo.bin"));

    SetDebugLineSink(nullptr);
    session.bAdministrator = false;
    session.iDebugPaneHeight = 0;

    // Every secret that travelled: tokens the service saw and issued, the code, the
    // verifier, the application secret.
    QStringList secrets{client->ClientSecret,
                        client->RefreshToken,
                        client->AccessToken,
                        code,
                        client->CodeVerifier()};
    for (const TFakeRequest &r : m_env.fake->Requests()) {
        const QByteArray auth = r.headers.value("authorization");
        if (auth.startsWith("Bearer "))
            secrets << QString::fromUtf8(auth.mid(7));
    }
    secrets.removeDuplicates();
    for (const QString &s : secrets)
        QVERIFY(s.size() >= 8);

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString trace = QString::fromUtf8(file.readAll());
    QVERIFY(trace.contains(QStringLiteral("Sent header:")));
    QVERIFY(trace.contains(QStringLiteral("Recv header:")));
    QVERIFY(trace.contains(QStringLiteral("POST /2/files/list_folder")));
    QVERIFY(trace.contains(QStringLiteral("Authorization: Bearer ***")));
    QVERIFY(trace.contains(QStringLiteral("Sent data: (102400 bytes of binary data)")));
    QVERIFY(trace.contains(QStringLiteral("piccolo")));
    QVERIFY(trace.contains(QStringLiteral("client_secret=***")));
    QVERIFY(trace.contains(QStringLiteral("\"access_token\":\"***\"")));
    QVERIFY(trace.contains(QStringLiteral("grant_type=refresh_token")));
    QVERIFY(!paneLines.isEmpty());
    QVERIFY(paneLines.join(u'\n').contains(QStringLiteral("/files/list_folder")));
    for (const QString &s : secrets) {
        QVERIFY2(!trace.contains(s), qPrintable(QStringLiteral("trace shows ") + s));
        for (const QString &line : paneLines)
            QVERIFY2(!line.contains(s), qPrintable(QStringLiteral("debug pane shows ") + line));
    }
}

void TestDropboxAuth::maskSecrets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("secrets");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bearer header") << "Authorization: Bearer sl.ABC-123_x\r\nHost: h"
                                   << QStringList() << "Authorization: Bearer ***\r\nHost: h";
    QTest::newRow("proxy header") << "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n"
                                  << QStringList() << "Proxy-Authorization: Basic ***\r\n";
    QTest::newRow("token form")
        << "client_id=app&client_secret=s3cr3t&refresh_token=r/t+1&grant_type=refresh_token"
        << QStringList()
        << "client_id=app&client_secret=***&refresh_token=***&grant_type=refresh_token";
    QTest::newRow("code form, response_type kept")
        << "response_type=code&code=ABCD&code_verifier=xyz" << QStringList()
        << "response_type=code&code=***&code_verifier=***";
    QTest::newRow("token answer")
        << R"({"access_token": "sl.aaa", "token_type":"bearer","refresh_token":"rrr"})"
        << QStringList()
        << R"({"access_token": "***", "token_type":"bearer","refresh_token":"***"})";
    QTest::newRow("known value anywhere, also percent-encoded")
        << "errore per abc/def+ghi e abc%2Fdef%2Bghi" << QStringList{QStringLiteral("abc/def+ghi")}
        << "errore per *** e ***";
    QTest::newRow("short values left to the patterns")
        << "a b c" << QStringList{QStringLiteral("b")} << "a b c";
}

void TestDropboxAuth::maskSecrets()
{
    QFETCH(QString, text);
    QFETCH(QStringList, secrets);
    QFETCH(QString, expected);
    QCOMPARE(MaskSecrets(text, secrets), expected);
}

QTEST_MAIN(TestDropboxAuth)
#include "tst_dropboxauth.moc"
