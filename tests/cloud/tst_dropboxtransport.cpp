// The transport: time-outs, dropped connections, answers that are not JSON, certificate
// trust, redirects, proxies and cancelling from the progress handler. Every failure must end
// the call with a clear message, never hang.

#include "cloud/clouderror.h"
#include "cloud/dropbox.h"
#include "tests/cloud/cloudtestenv.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

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

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}

} // namespace

Q_DECLARE_METATYPE(TCloudErrorKind)

class TestDropboxTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void failuresEndWithClearError_data();
    void failuresEndWithClearError();
    void answersThatAreNotJson_data();
    void answersThatAreNotJson();
    void certificateTrust_data();
    void certificateTrust();
    void redirects_data();
    void redirects();
    void proxy_data();
    void proxy();
    void progressCanCancel();
    void localDeviceFailureIsNotACancel();

private:
    TCloudTestEnv m_env;
};

void TestDropboxTransport::initTestCase()
{
    QVERIFY(m_env.MakeCertificates());
}

void TestDropboxTransport::init()
{
    QVERIFY(m_env.StartService());
}

void TestDropboxTransport::failuresEndWithClearError_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<TCloudErrorKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("read time-out")
        << "stall" << TCloudErrorKind::Timeout << "non ha risposto entro 0,4 secondi";
    QTest::newRow("connect time-out")
        << "silent" << TCloudErrorKind::Timeout << "non riuscita entro 0,4 secondi";
    QTest::newRow("dropped before the answer")
        << "drop before" << TCloudErrorKind::Dropped << "si è interrotta";
    QTest::newRow("dropped in the middle of the answer")
        << "drop mid" << TCloudErrorKind::Dropped << "si è interrotta";
    QTest::newRow("nobody listening")
        << "closed" << TCloudErrorKind::Connection << "Impossibile collegarsi al servizio cloud";
}

void TestDropboxTransport::failuresEndWithClearError()
{
    QFETCH(QString, fault);
    QFETCH(TCloudErrorKind, kind);
    QFETCH(QString, text);
    auto client = m_env.NewClient();
    client->ConnectTimeout = 400;
    client->ReadTimeout = 400;
    const QString command = QStringLiteral("/files/list_folder");
    if (fault == QLatin1String("stall"))
        m_env.fake->Stall(command, 20000);
    else if (fault == QLatin1String("silent"))
        client->ApiHost = m_env.fake->SilentHost();
    else if (fault == QLatin1String("drop before"))
        m_env.fake->DropBeforeAnswer(command);
    else if (fault == QLatin1String("drop mid"))
        m_env.fake->DropMidAnswer(command);
    else
        client->ApiHost = QStringLiteral("127.0.0.1:%1").arg(ClosedPort());

    QElapsedTimer clock;
    clock.start();
    TDFileInfo *f = nullptr;
    const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
    QVERIFY2(clock.elapsed() < 10000, "the call hung instead of failing");
    QVERIFY2(e.Text().contains(text), qPrintable(e.Text()));
    QCOMPARE(e.Kind(), kind);

    // The client is still usable for the next call.
    client->ApiHost = m_env.fake->Host();
    QCOMPARE(client->FindFirst(f, QStringLiteral("/")), -1);
}

void TestDropboxTransport::answersThatAreNotJson_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<TCloudErrorKind>("kind");
    QTest::addColumn<QString>("text");
    const QString list = QStringLiteral("/files/list_folder");
    QTest::newRow("html with 200")
        << list << 200 << QByteArray("<html><body>Manutenzione</body></html>")
        << TCloudErrorKind::InvalidAnswer
        << "Risposta non valida dal servizio cloud alla richiesta /files/list_folder: non è un "
           "documento JSON (inizia con \"<html><body>Manutenzione</body></html>\").";
    QTest::newRow("empty 200") << list << 200 << QByteArray() << TCloudErrorKind::InvalidAnswer
                               << "non è un documento JSON (risposta vuota)";
    QTest::newRow("JSON without entries")
        << list << 200 << QByteArray("{\"ok\": true}") << TCloudErrorKind::InvalidAnswer
        << "manca l'elenco \"entries\"";
    QTest::newRow("truncated JSON") << list << 200 << QByteArray("{\"entries\": [")
                                    << TCloudErrorKind::InvalidAnswer << "non è un documento JSON";
    QTest::newRow("html with 500")
        << list << 500 << QByteArray("<html>Internal error</html>") << TCloudErrorKind::Http
        << "Il servizio cloud ha risposto con l'errore HTTP 500 alla richiesta "
           "/files/list_folder: <html>Internal error</html>";
    QTest::newRow("plain 400") << list << 400
                               << QByteArray("Error in call to API function \"files/list_folder\"")
                               << TCloudErrorKind::Http << "errore HTTP 400";
    QTest::newRow("token endpoint html")
        << "/oauth2/token" << 200 << QByteArray("<html>login</html>")
        << TCloudErrorKind::InvalidAnswer << "/oauth2/token: non è un documento JSON";
    QTest::newRow("token endpoint 503")
        << "/oauth2/token" << 503 << QByteArray("Service Unavailable")
        << TCloudErrorKind::Authorization
        << "Autorizzazione al servizio cloud non riuscita (HTTP 503): Service Unavailable";
}

void TestDropboxTransport::answersThatAreNotJson()
{
    QFETCH(QString, command);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(TCloudErrorKind, kind);
    QFETCH(QString, text);
    auto client = m_env.NewClient(command != QLatin1String("/oauth2/token"));
    client->RefreshToken = m_env.fake->IssueRefreshToken();
    m_env.fake->AnswerText(command, status, body);
    TDFileInfo *f = nullptr;
    const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
    QCOMPARE(e.Kind(), kind);
    QVERIFY2(e.Text().contains(text), qPrintable(e.Text()));
}

void TestDropboxTransport::certificateTrust_data()
{
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("text");
    QTest::newRow("the test authority") << "ca"
                                        << ""
                                        << "";
    QTest::newRow("name in the certificate") << "ca"
                                             << "localhost"
                                             << "";
    QTest::newRow("another authority") << "other"
                                       << ""
                                       << "non è attendibile";
    QTest::newRow("system authorities") << ""
                                        << ""
                                        << "non è attendibile";
    QTest::newRow("missing authority file") << "missing"
                                            << ""
                                            << "missing.pem";
    QTest::newRow("plain http refused") << "ca"
                                        << "http"
                                        << "è accettato solo HTTPS";
}

void TestDropboxTransport::certificateTrust()
{
    QFETCH(QString, caFile);
    QFETCH(QString, host);
    QFETCH(QString, text);
    auto client = m_env.NewClient();
    if (caFile == QLatin1String("other"))
        client->CAFile = m_env.certificates.otherCaFile;
    else if (caFile == QLatin1String("missing"))
        client->CAFile = m_env.TempPath(QStringLiteral("missing.pem"));
    else if (caFile.isEmpty())
        client->CAFile.clear();
    if (host == QLatin1String("localhost"))
        client->ApiHost = QStringLiteral("https://localhost:%1").arg(m_env.fake->Port());
    else if (host == QLatin1String("http"))
        client->ApiHost = QStringLiteral("http://%1").arg(m_env.fake->Host());
    TDFileInfo *f = nullptr;
    if (text.isEmpty()) {
        QCOMPARE(client->FindFirst(f, QStringLiteral("/")), -1);
        return;
    }
    const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
    QCOMPARE(e.Kind(), TCloudErrorKind::Connection);
    QVERIFY2(e.Text().contains(text), qPrintable(e.Text()));
    QCOMPARE(m_env.fake->Requests().size(), 0);
}

void TestDropboxTransport::redirects_data()
{
    QTest::addColumn<int>("times");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("two are followed") << 2 << true;
    QTest::newRow("a third is refused") << 3 << false;
}

void TestDropboxTransport::redirects()
{
    QFETCH(int, times);
    QFETCH(bool, succeeds);
    m_env.fake->AddFolder(QStringLiteral("/Qui"));
    m_env.fake->Redirect(QStringLiteral("/files/create_folder"), times);
    auto client = m_env.NewClient();
    if (succeeds) {
        // The argument and the token survive the redirects.
        client->CreateFolder(QStringLiteral("/Qui/Nuova"));
        QVERIFY(m_env.fake->Exists(QStringLiteral("/Qui/Nuova")));
        QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/create_folder")), times + 1);
        // So does a body read from a stream, sent again from its start.
        m_env.fake->Redirect(QStringLiteral("/files/upload"), times);
        QByteArray data(200000, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i % 251);
        QBuffer buffer;
        buffer.setData(data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QVERIFY(buffer.seek(100));
        client->Upload(buffer, QStringLiteral("/Qui/dati.bin"));
        QCOMPARE(m_env.fake->Content(QStringLiteral("/Qui/dati.bin")), data.mid(100));
    } else {
        const ECloudError e = ErrorOf([&] { client->CreateFolder(QStringLiteral("/Qui/Nuova")); });
        QVERIFY2(e.Text().contains(QStringLiteral("troppe volte")), qPrintable(e.Text()));
        QVERIFY(!m_env.fake->Exists(QStringLiteral("/Qui/Nuova")));
    }
}

void TestDropboxTransport::proxy_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("right credentials") << "pr0xy-pass" << true;
    QTest::newRow("wrong credentials") << "sbagliata" << false;
}

void TestDropboxTransport::proxy()
{
    QFETCH(QString, password);
    QFETCH(bool, succeeds);
    TFakeTunnelProxy proxy(QStringLiteral("ufficio"), QStringLiteral("pr0xy-pass"));
    auto client = m_env.NewClient();
    client->ProxyType = TDProxyType::Http;
    client->ProxyServer = QStringLiteral("127.0.0.1");
    client->ProxyPort = proxy.Port();
    client->ProxyUsername = QStringLiteral("ufficio");
    client->ProxyPassword = password;
    TDFileInfo *f = nullptr;
    if (succeeds) {
        QCOMPARE(client->FindFirst(f, QStringLiteral("/")), -1);
        QCOMPARE(proxy.Tunnels(), 1);
        QCOMPARE(m_env.fake->Requests().size(), 1);
    } else {
        const ECloudError e = ErrorOf([&] { client->FindFirst(f, QStringLiteral("/")); });
        QVERIFY2(e.Text().contains(QStringLiteral("tramite il proxy 127.0.0.1")),
                 qPrintable(e.Text()));
        QVERIFY(proxy.Refusals() >= 1);
        QCOMPARE(m_env.fake->Requests().size(), 0);
    }

    // A proxy without a port is not used.
    client->ProxyPassword = QStringLiteral("pr0xy-pass");
    client->ProxyPort = 0;
    const int tunnels = proxy.Tunnels();
    QCOMPARE(client->FindFirst(f, QStringLiteral("/")), -1);
    QCOMPARE(proxy.Tunnels(), tunnels);
}

void TestDropboxTransport::progressCanCancel()
{
    auto client = m_env.NewClient();
    qint64 seen = 0;
    client->OnUploadProgress = [&seen](TDropbox &, qint64, qint64 done, bool &cancel) {
        seen = done;
        cancel = done > 0;
    };
    QBuffer data;
    data.setData(QByteArray(4 * 1024 * 1024, 'x'));
    QVERIFY(data.open(QIODevice::ReadOnly));
    ECloudError e = ErrorOf([&] { client->Upload(data, QStringLiteral("/annullato.bin")); });
    QCOMPARE(e.Text(), QStringLiteral("Cancelled"));
    QCOMPARE(e.Kind(), TCloudErrorKind::Cancelled);
    QVERIFY(seen > 0);
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/annullato.bin")));

    client->OnUploadProgress = nullptr;
    QVERIFY(data.seek(0));
    client->Upload(data, QStringLiteral("/scaricami.bin"));
    client->OnDownloadProgress = [](TDropbox &, qint64 total, qint64 done, bool &cancel) {
        cancel = total > 0 && done > 0;
    };
    QBuffer out;
    QVERIFY(out.open(QIODevice::WriteOnly));
    e = ErrorOf([&] { client->DownloadByPathName(QStringLiteral("/scaricami.bin"), out); });
    QCOMPARE(e.Text(), QStringLiteral("Cancelled"));
}

void TestDropboxTransport::localDeviceFailureIsNotACancel()
{
    m_env.fake->AddFile(QStringLiteral("/dati.bin"), QByteArray(100000, 'd'));
    auto client = m_env.NewClient();
    QBuffer readOnly;
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ReadOnly device")));
    const ECloudError e = ErrorOf(
        [&] { client->DownloadByPathName(QStringLiteral("/dati.bin"), readOnly); });
    QCOMPARE(e.Kind(), TCloudErrorKind::File);
    QVERIFY2(e.Text().startsWith(QStringLiteral("Errore del file locale")), qPrintable(e.Text()));
}

QTEST_GUILESS_MAIN(TestDropboxTransport)
#include "tst_dropboxtransport.moc"
