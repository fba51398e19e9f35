// The web link editor with a real embedded browser and pages served on 127.0.0.1: following a
// link rewrites the address, the loading banner and its stop button, a page that never
// answers and an address that is not one, the checks of "Ok", the home page, and the web link
// node saved by the structure editor on the demo database.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprod_url.h"
#include "catalogue/dettprodpanels.h"
#include "catalogue/dettprodtree.h"
#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/programfolder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

namespace {

const QString kUser = QStringLiteral("MROSSI");

// Two pages that link to each other, and one that never answers.
class TPageServer : public QObject
{
public:
    TPageServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

private:
    void Answer(QTcpSocket *socket)
    {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        QByteArray body;
        if (path == "/prima")
            body = "<html><head><title>Prima</title></head><body><h1>Prima pagina</h1>"
                   "<a id='avanti' href='/seconda'>Seconda pagina</a></body></html>";
        else if (path == "/seconda")
            body = "<html><head><title>Seconda</title></head><body><h1>Seconda pagina</h1>"
                   "</body></html>";
        else if (path == "/lenta")
            return; // never answers
        else {
            socket->write(
                "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                      "Connection: close\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

} // namespace

class TestDettProdUrl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void followingALinkRewritesTheAddress();
    void bannerCaption_data();
    void bannerCaption();
    void okChecks_data();
    void okChecks();
    void pageThatNeverAnswersCanBeStopped();
    void addressThatIsNotOne();
    void emptyAddressOpensTheHomePage();
    void editorSavesTheWebLink();

private:
    TPageServer m_pages;
    QTemporaryDir m_home;
    std::unique_ptr<TDialogRecorder> m_dialogs;
};

void TestDettProdUrl::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
    QVERIFY(CopyProgramReports(m_home.path(), {QStringLiteral("pdprwdet00.RPT")}));
}

void TestDettProdUrl::init()
{
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = kUser;
    SessionInfo().sSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin.INI"));
    SessionInfo().sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_MROSSI.ini"));
    QFile::remove(SessionInfo().sSettingsFile);
}

void TestDettProdUrl::cleanup()
{
    m_dialogs.reset();
}

void TestDettProdUrl::followingALinkRewritesTheAddress()
{
    TDETTPROD_URL d;
    d.EF_DescUrlNodo->SetText(QStringLiteral("Documentazione"));
    d.EF_UrlNodo->SetText(m_pages.Url(QStringLiteral("/prima")));
    d.StartShown(m_pages.Url(QStringLiteral("/prima")));
    QTRY_VERIFY_WITH_TIMEOUT(d.PAN_Wait->isVisible(), 5000);
    QCOMPARE(d.SF_Caption->text(),
             QStringLiteral("Caricamento \r\n\r\n\"Documentazione\"\r\n\r\nin corso..."));
    QTRY_COMPARE_WITH_TIMEOUT(d.WEB_ParteUrl->title(), QStringLiteral("Prima"), 30000);
    // The banner goes 4 seconds after the page is complete.
    QVERIFY(d.PAN_Wait->isVisible());
    if (const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR"); !dir.isEmpty()) {
        QTest::qWait(500);
        d.grab().save(dir + QStringLiteral("/link_web.png"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!d.PAN_Wait->isVisible(), 8000);
    // The operator follows the link inside the page.
    d.WEB_ParteUrl->page()->runJavaScript(
        QStringLiteral("document.getElementById('avanti').click();"));
    QTRY_COMPARE_WITH_TIMEOUT(d.WEB_ParteUrl->title(), QStringLiteral("Seconda"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(d.EF_UrlNodo->Text(), m_pages.Url(QStringLiteral("/seconda")), 5000);
    QTest::mouseClick(d.PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(m_dialogs->Requests().size(), 0);
}

void TestDettProdUrl::bannerCaption_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "https://www.ceinorme.it"
                           << "\"https://www.ceinorme.it\"";
    QTest::newRow("40 characters")
        << QString(40, QLatin1Char('a')) << "\"" + QString(40, 'a') + "\"";
    QTest::newRow("45 characters") << "https://www.esempio.it/cataloghi/quadri/2024/"
                                   << "\"https://www.esempio.it/cataloghi/quadri/...\"";
}

void TestDettProdUrl::bannerCaption()
{
    QFETCH(QString, address);
    QFETCH(QString, shown);
    QCOMPARE(TDETTPROD_URL::NavigateCaption(address),
             QStringLiteral("Caricamento\r\n\r\n") + shown + QStringLiteral("\r\n\r\nin corso..."));
}

void TestDettProdUrl::okChecks_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    QTest::newRow("no description") << "  "
                                    << "https://www.ceinorme.it"
                                    << "La descrizione del link web è obbligatoria.";
    QTest::newRow("no address") << "CEI"
                                << ""
                                << "Il link web è obbligatorio.";
    QTest::newRow("both") << "CEI"
                          << "https://www.ceinorme.it"
                          << "";
}

void TestDettProdUrl::okChecks()
{
    QFETCH(QString, description);
    QFETCH(QString, address);
    QFETCH(QString, message);
    TDETTPROD_URL d;
    d.show();
    d.EF_DescUrlNodo->SetText(description);
    d.EF_UrlNodo->SetText(address);
    QTest::mouseClick(d.PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Warning), message);
    QCOMPARE(d.isVisible(), !message.isEmpty());
}

void TestDettProdUrl::pageThatNeverAnswersCanBeStopped()
{
    TDETTPROD_URL d;
    d.EF_DescUrlNodo->SetText(QStringLiteral("Lenta"));
    d.show();
    d.EF_UrlNodo->SetText(m_pages.Url(QStringLiteral("/lenta")));
    QTest::mouseClick(d.PB_ParteUrl_Naviga, Qt::LeftButton);
    QVERIFY(d.PAN_Wait->isVisible());
    QTest::qWait(1500);
    QVERIFY(d.PAN_Wait->isVisible()); // still loading
    QTest::mouseClick(d.PB_StopLoading, Qt::LeftButton);
    QVERIFY(!d.PAN_Wait->isVisible());
    // Loading again and leaving with "Annulla" while it waits.
    QTest::mouseClick(d.PB_ParteUrl_Naviga, Qt::LeftButton);
    QVERIFY(d.PAN_Wait->isVisible());
    QTest::mouseClick(d.PB_Annulla_Input, Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.EF_UrlNodo->Text(), m_pages.Url(QStringLiteral("/lenta")));
}

void TestDettProdUrl::addressThatIsNotOne()
{
    TDETTPROD_URL d;
    d.show();
    d.EF_UrlNodo->SetText(QStringLiteral("non è un indirizzo web"));
    QTest::mouseClick(d.PB_ParteUrl_Naviga, Qt::LeftButton);
    QVERIFY(!d.PAN_Wait->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->LastText(TDialogKind::Error),
                              QStringLiteral("Errore visualizzazione link web:\r\n\r\nnon è un "
                                             "indirizzo web"),
                              5000);
    QVERIFY(d.isVisible());
    QCOMPARE(d.EF_UrlNodo->Text(), QStringLiteral("non è un indirizzo web"));
    // A page that fails: its address, cut to 30 characters, in the message.
    m_dialogs->Clear();
    d.EF_UrlNodo->SetText(QStringLiteral("http://127.0.0.1:1/pagina-che-non-esiste-affatto"));
    QTest::mouseClick(d.PB_ParteUrl_Naviga, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_dialogs->Count(TDialogKind::Error) == 1, 30000);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral(
                 "Errore visualizzazione link web:\r\n\r\nhttp://127.0.0.1:1/pagina-che-..."));
    QVERIFY(!d.PAN_Wait->isVisible());
}

void TestDettProdUrl::emptyAddressOpensTheHomePage()
{
    QCOMPARE(TDETTPROD_URL::HomePage(), QStringLiteral("https://www.google.com/"));
    IniWriteText(QStringLiteral("SETTINGS"),
                 QLatin1String(TDETTPROD_URL::kKeyHome),
                 m_pages.Url(QStringLiteral("/seconda")),
                 SessionInfo().sSettingsFile);
    TDETTPROD_URL d;
    d.StartShown(QString());
    QTRY_COMPARE_WITH_TIMEOUT(d.SF_Caption->text(),
                              QStringLiteral("Caricamento \"Google\" in corso..."),
                              5000);
    QTRY_COMPARE_WITH_TIMEOUT(d.WEB_ParteUrl->title(), QStringLiteral("Seconda"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(d.EF_UrlNodo->Text(), m_pages.Url(QStringLiteral("/seconda")), 5000);
}

void TestDettProdUrl::editorSavesTheWebLink()
{
    TTestDatabase db;
    db.LogOn(kUser);
    const QString product = db.SuperQuery(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'"));
    const QString parte = db.SuperQuery(
        QStringLiteral("SELECT idnodo FROM prodotti_nodi WHERE idprodotto = '%1' AND "
                       "txdescnodo = 'Condizioni'")
            .arg(product));
    QPointer<TDETTAGLI_PRODOTTO> w = qobject_cast<TDETTAGLI_PRODOTTO *>(
        CreateRegisteredWindow(QStringLiteral("DETTAGLI_PRODOTTO"), nullptr));
    QVERIFY(w);
    w->Start(false, product, QStringLiteral("QDG-100"), QStringLiteral("Quadro"), true);
    w->show();
    // The modal dialog is answered from inside: fields typed, then "Ok".
    const QString address = m_pages.Url(QStringLiteral("/prima"));
    QString title;
    bool wasChecked = false;
    QTimer::singleShot(300, w, [&] {
        auto *d = w->findChild<TDETTPROD_URL *>();
        QVERIFY(d);
        title = d->PAN_Desc_TipoOperazione->text();
        wasChecked = d->CK_LinkWebNodoAttivo->isChecked();
        d->EF_DescUrlNodo->SetText(QStringLiteral("Pagina dell'assistenza"));
        d->EF_UrlNodo->SetText(address);
        QTest::mouseClick(d->PB_Ok_Input, Qt::LeftButton);
    });
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovoUrlParte"))->trigger();
    QCOMPARE(title, QStringLiteral("Nuovo link web"));
    QVERIFY(wasChecked);
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    const QString id = w->sLastId;
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT concat_ws('|', idpartecomp, txdescurlparte, "
                                          "txurlparte, flurlparteattiva, nuordineparte, "
                                          "txutentein) FROM prod_comp_parte_url WHERE idurlparte "
                                          "= '%1'")
                               .arg(id)),
             QStringLiteral("%1|Pagina dell'assistenza|%2|1|3|MROSSI").arg(parte, address));
    QCOMPARE(w->TV_Dettagli->CurrentNode()->sIdNodo, id);
    // "Modifica" shows the stored link; "Annulla" changes nothing.
    QString shownAddress;
    QTimer::singleShot(300, w, [&] {
        auto *d = w->findChild<TDETTPROD_URL *>();
        QVERIFY(d);
        title = d->PAN_Desc_TipoOperazione->text();
        shownAddress = d->EF_UrlNodo->Text();
        d->EF_UrlNodo->SetText(QStringLiteral("https://altro.example"));
        QTest::mouseClick(d->PB_Annulla_Input, Qt::LeftButton);
    });
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(id)->Node()));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    QCOMPARE(title, QStringLiteral("Modifica link web"));
    QCOMPARE(shownAddress, address);
    QCOMPARE(db.SuperQuery(QStringLiteral(
                               "SELECT txurlparte FROM prod_comp_parte_url WHERE idurlparte = '%1'")
                               .arg(id)),
             address);
    QVERIFY(!w->findChild<TDETTPROD_URL *>());
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int main(int argc, char *argv[])
{
    // The embedded browser: contexts shared before the application exists, and no sandbox for
    // a test run as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    TestDettProdUrl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dettprod_url.moc"
