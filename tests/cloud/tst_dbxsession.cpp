// The session routines of the quote export and the settings they read, against the fake
// service; and the quote folder names as the service takes them.

#include "cloud/clouderror.h"
#include "cloud/cloudsettings.h"
#include "cloud/dbxsession.h"
#include "cloud/dropbox.h"
#include "cloud/quotefoldernames.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "tests/cloud/cloudtestenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace cloud_test;

class TestDbxSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void settingsDefaultToPublicHosts();
    void settingsRead();
    void routinesWithoutClient();
    void routinesAgainstService();
    void folderTreeLikeTheExport();
    void quoteNamesAcceptedByService_data();
    void quoteNamesAcceptedByService();
    void uncleanedNamesRefusedClearly_data();
    void uncleanedNamesRefusedClearly();

private:
    void WriteSettings();
    TCloudTestEnv m_env;
    QString m_ini;
};

void TestDbxSession::initTestCase()
{
    QVERIFY(m_env.MakeCertificates());
    // The program folder, apart from the certificates.
    QVERIFY(QDir().mkpath(m_env.TempPath(QStringLiteral("programma"))));
    m_ini = m_env.TempPath(QStringLiteral("programma/VentorelWin.INI"));
}

void TestDbxSession::init()
{
    QVERIFY(m_env.StartService());
    QFile::remove(m_ini);
    SessionInfo().sSettingsFile = m_ini;
}

void TestDbxSession::cleanup()
{
    DbxClose();
}

void TestDbxSession::WriteSettings()
{
    const QString s = QStringLiteral("SETTINGS");
    QVERIFY(IniWriteText(s, QStringLiteral("Cloud_ApiHost"), m_env.fake->Host(), m_ini));
    QVERIFY(IniWriteText(s, QStringLiteral("Cloud_ContentHost"), m_env.fake->Host(), m_ini));
    QVERIFY(IniWriteText(s, QStringLiteral("Cloud_AuthHost"), m_env.fake->Host(), m_ini));
    // Relative to the settings file's folder.
    QVERIFY(IniWriteText(s, QStringLiteral("Cloud_CAFile"), QStringLiteral("ca.pem"), m_ini));
    QVERIFY(IniWriteText(s, QStringLiteral("Cloud_ReadTimeout"), QStringLiteral("3000"), m_ini));
}

void TestDbxSession::settingsDefaultToPublicHosts()
{
    const TCloudSettings s = ReadCloudSettings(m_ini);
    QCOMPARE(s.sApiHost, QStringLiteral("api.dropboxapi.com"));
    QCOMPARE(s.sContentHost, QStringLiteral("content.dropboxapi.com"));
    QCOMPARE(s.sAuthHost, QStringLiteral("www.dropbox.com"));
    QVERIFY(s.sCAFile.isEmpty());
    QVERIFY(s.sTraceFile.isEmpty());
    QCOMPARE(s.iConnectTimeoutMs, 15000);
    QCOMPARE(s.iReadTimeoutMs, 30000);
    QCOMPARE(s.proxy.xType, TDProxyType::None);

    DbxOpen();
    TDropbox *c = DbxClient();
    QVERIFY(c);
    QCOMPARE(c->ApiHost, QStringLiteral("api.dropboxapi.com"));
    QCOMPARE(c->ContentHost, QStringLiteral("content.dropboxapi.com"));
    QCOMPARE(c->AuthHost, QStringLiteral("www.dropbox.com"));
    QCOMPARE(c->ConnectTimeout, 15000);
    QCOMPARE(c->ReadTimeout, 30000);
}

void TestDbxSession::settingsRead()
{
    const QString s = QStringLiteral("SETTINGS");
    IniWriteText(s, QStringLiteral("Cloud_ApiHost"), QStringLiteral("api.interno:8443"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_CAFile"), QStringLiteral("/etc/ventorel/ca.pem"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_TraceFile"), QStringLiteral("cloud.log"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ConnectTimeout"), QStringLiteral("2500"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ReadTimeout"), QStringLiteral("zero"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ProxyType"), QStringLiteral("socks5"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ProxyServer"), QStringLiteral("proxy.ufficio"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ProxyPort"), QStringLiteral("1080"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ProxyUser"), QStringLiteral("mario"), m_ini);
    IniWriteText(s, QStringLiteral("Cloud_ProxyPassword"), QStringLiteral(" segreta "), m_ini);
    const TCloudSettings c = ReadCloudSettings(m_ini);
    QCOMPARE(c.sApiHost, QStringLiteral("api.interno:8443"));
    QCOMPARE(c.sContentHost, QStringLiteral("content.dropboxapi.com"));
    QCOMPARE(c.sCAFile, QStringLiteral("/etc/ventorel/ca.pem"));
    QCOMPARE(c.sTraceFile, QFileInfo(m_ini).absoluteDir().filePath(QStringLiteral("cloud.log")));
    QCOMPARE(c.iConnectTimeoutMs, 2500);
    QCOMPARE(c.iReadTimeoutMs, 30000);
    QCOMPARE(c.proxy.xType, TDProxyType::Socks5);
    QCOMPARE(c.proxy.sServer, QStringLiteral("proxy.ufficio"));
    QCOMPARE(c.proxy.iPort, 1080);
    QCOMPARE(c.proxy.sUsername, QStringLiteral("mario"));
    QCOMPARE(c.proxy.sPassword, QStringLiteral("segreta"));
}

void TestDbxSession::routinesWithoutClient()
{
    QVERIFY(!DbxClient());
    QVERIFY(!DbxSetCredentials(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")));
    QVERIFY(!DbxFindNext());
    QVERIFY(!DbxCurrent());
    QVERIFY_THROWS_EXCEPTION(ECloudError, DbxFindFirst(QStringLiteral("/")));
    QVERIFY_THROWS_EXCEPTION(ECloudError, DbxCreateFolder(QStringLiteral("/x")));
    QVERIFY_THROWS_EXCEPTION(ECloudError, DbxShareCurrent());
}

void TestDbxSession::routinesAgainstService()
{
    WriteSettings();
    QFile::remove(QFileInfo(m_ini).absoluteDir().filePath(QStringLiteral("ca.pem")));
    QVERIFY(QFile::copy(m_env.certificates.caFile,
                        QFileInfo(m_ini).absoluteDir().filePath(QStringLiteral("ca.pem"))));
    m_env.fake->AddFolder(QStringLiteral("/VENTOREL"));
    m_env.fake->AddFile(QStringLiteral("/leggimi.txt"), "x");

    {
        TDbxSession session;
        QVERIFY(DbxSetCredentials(m_env.fake->ClientId(),
                                  m_env.fake->ClientSecret(),
                                  m_env.fake->IssueAccessToken()));
        QCOMPARE(DbxClient()->ReadTimeout, 3000);

        // Folders first; paths in lower case, so comparisons ignore case.
        QVERIFY(DbxFindFirst(QStringLiteral("/")));
        QCOMPARE(DbxCurrent()->Path, QStringLiteral("/ventorel"));
        QVERIFY(DbxCurrent()->IsDir);
        QVERIFY(DbxFindNext());
        QCOMPARE(DbxCurrent()->Name, QStringLiteral("leggimi.txt"));
        QVERIFY(!DbxFindNext());
        QCOMPARE(DbxCurrent()->Name, QStringLiteral("leggimi.txt"));

        QVERIFY(!DbxFindFirst(QStringLiteral("/Ventorel")));
        QVERIFY(!DbxCurrent());
        QVERIFY(!DbxFindNext());

        QVERIFY(DbxCreateFolder(QStringLiteral("/Ventorel/Società/Preventivi 2024")));
        QVERIFY(DbxCurrent()->IsDir);
        QCOMPARE(DbxCurrent()->Path, QStringLiteral("/ventorel/società/preventivi 2024"));

        const QString local = m_env.TempPath(QStringLiteral("0057_2024 (Rossi) (Impianto).pdf"));
        {
            QFile pdf(local);
            QVERIFY(pdf.open(QIODevice::WriteOnly));
            pdf.write("%PDF-1.4 finto");
        }
        QVERIFY(DbxUploadFile(local,
                              QStringLiteral("/ventorel/società/preventivi 2024/"
                                             "0057_2024 (Rossi) (Impianto).pdf")));
        QCOMPARE(DbxCurrent()->Name, QStringLiteral("0057_2024 (Rossi) (Impianto).pdf"));
        const QString link = DbxShareCurrent();
        QVERIFY2(link.startsWith(QStringLiteral("https://db.tt/")), qPrintable(link));
        QCOMPARE(m_env.fake->Requests().last().arg.value(QStringLiteral("short_url")).toBool(),
                 true);

        // A missing local file is reported, not uploaded.
        const ECloudError e = [&] {
            try {
                DbxUploadFile(m_env.TempPath(QStringLiteral("manca.pdf")), QStringLiteral("/m.pdf"));
            } catch (const ECloudError &e) {
                return e;
            }
            return ECloudError(TCloudErrorKind::Usage, QString());
        }();
        QCOMPARE(e.Kind(), TCloudErrorKind::File);
        QVERIFY(e.Text().contains(QStringLiteral("manca.pdf")));
    }
    // The guard closed the session.
    QVERIFY(!DbxClient());
    QVERIFY(!DbxCurrent());
    QVERIFY(!DbxSetCredentials(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")));
}

void TestDbxSession::folderTreeLikeTheExport()
{
    // Root / company / "Preventivi " + year / quote folder, found without regard to case or
    // created, with the routines alone.
    WriteSettings();
    IniWriteText(QStringLiteral("SETTINGS"),
                 QStringLiteral("Cloud_CAFile"),
                 m_env.certificates.caFile,
                 m_ini);
    m_env.fake->AddFolder(QStringLiteral("/VENTOREL/alfa spa"));
    auto findFolder = [](const QString &parent, const QString &name) {
        const QString wanted = (parent + u'/' + name).toLower();
        if (!DbxFindFirst(parent))
            return false;
        do {
            if (DbxCurrent()->IsDir && DbxCurrent()->Path == wanted)
                return true;
        } while (DbxFindNext());
        return false;
    };
    DbxOpen();
    DbxSetCredentials(m_env.fake->ClientId(),
                      m_env.fake->ClientSecret(),
                      m_env.fake->IssueAccessToken());
    QVERIFY(findFolder(QString(), QStringLiteral("Ventorel")));
    QVERIFY(findFolder(QStringLiteral("/Ventorel"), QStringLiteral("Alfa SpA")));
    QVERIFY(!findFolder(QStringLiteral("/Ventorel/Alfa SpA"), QStringLiteral("Preventivi 2024")));
    QVERIFY(DbxCreateFolder(QStringLiteral("/Ventorel/Alfa SpA/Preventivi 2024")));
    QVERIFY(findFolder(QStringLiteral("/Ventorel/Alfa SpA"), QStringLiteral("preventivi 2024")));
    QCOMPARE(m_env.fake->DisplayPath(QStringLiteral("/ventorel/alfa spa/preventivi 2024")),
             QStringLiteral("/VENTOREL/alfa spa/Preventivi 2024"));
    DbxClose();
}

void TestDbxSession::quoteNamesAcceptedByService_data()
{
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("subject");
    QTest::newRow("slashes") << "Rossi S.r.l./Milano"
                             << "Valvola 3/4\" \\ DN20";
    QTest::newRow("colons and quotes") << "Bianchi: \"sede\""
                                       << "Ore 10:30 | <urgente>?";
    QTest::newRow("emoji and accents")
        << QString::fromUtf8("Caffè ☕ Società") << QString::fromUtf8("Impianto 🔥 perché");
    QTest::newRow("300 characters") << QString(300, u'C') << QString(300, QChar(0xE8));
    QTest::newRow("line breaks") << "Riga\r\nsotto"
                                 << "\tTab";
}

void TestDbxSession::quoteNamesAcceptedByService()
{
    QFETCH(QString, customer);
    QFETCH(QString, subject);
    WriteSettings();
    IniWriteText(QStringLiteral("SETTINGS"),
                 QStringLiteral("Cloud_CAFile"),
                 m_env.certificates.caFile,
                 m_ini);
    const QString folder = QuoteFolderName(QuoteNumberPart(QStringLiteral("57"),
                                                           QStringLiteral("2024"),
                                                           4),
                                           customer,
                                           subject);
    const QString pdf = QuotePdfName(folder, QStringLiteral("57"), QStringLiteral("2024"), 2);
    const QString local = m_env.TempPath(QStringLiteral("preventivo.pdf"));
    {
        QFile f(local);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF");
    }
    const QString year = QStringLiteral("/Ventorel/Alfa/Preventivi 2024");
    TDbxSession session;
    DbxSetCredentials(m_env.fake->ClientId(),
                      m_env.fake->ClientSecret(),
                      m_env.fake->IssueAccessToken());
    QVERIFY(DbxCreateFolder(year + u'/' + folder));
    QVERIFY(DbxUploadFile(local,
                          (year + u'/' + folder).toLower() + u'/' + pdf + QStringLiteral(".pdf")));
    QVERIFY(!DbxShareCurrent().isEmpty());
    // One folder with one file: no slash made a sub-folder.
    QCOMPARE(m_env.fake->Children(year), QStringList{folder});
    QCOMPARE(m_env.fake->Children(year + u'/' + folder), QStringList{pdf + QStringLiteral(".pdf")});
}

void TestDbxSession::uncleanedNamesRefusedClearly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("backslash") << "0057_2024 (A\\B) (S)";
    QTest::newRow("line break") << "0057_2024 (A\nB) (S)";
    QTest::newRow("300 characters") << "0057_2024 (" + QString(300, u'C') + ") (S)";
}

void TestDbxSession::uncleanedNamesRefusedClearly()
{
    // Names built without cleaning are what the service refuses; the message says why.
    QFETCH(QString, name);
    WriteSettings();
    IniWriteText(QStringLiteral("SETTINGS"),
                 QStringLiteral("Cloud_CAFile"),
                 m_env.certificates.caFile,
                 m_ini);
    TDbxSession session;
    DbxSetCredentials(m_env.fake->ClientId(),
                      m_env.fake->ClientSecret(),
                      m_env.fake->IssueAccessToken());
    try {
        DbxCreateFolder(QStringLiteral("/Ventorel/") + name);
        QFAIL("the service took the name");
    } catch (const ECloudError &e) {
        QCOMPARE(e.Kind(), TCloudErrorKind::Conflict);
        QCOMPARE(e.Text(), QStringLiteral("path/malformed_path/.."));
    }
    QVERIFY(!DbxCurrent());
    QCOMPARE(m_env.fake->Children(QStringLiteral("/Ventorel")), QStringList());
}

QTEST_GUILESS_MAIN(TestDbxSession)
#include "tst_dbxsession.moc"
