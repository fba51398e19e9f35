// The quote export into the cloud storage, end to end against the fake service over TLS: the
// folder name, the folder tree found or made, the PDF written from a real preview, uploaded and
// shared, the quote's folder data stored and the quote blocked; the failures that must leave
// the quote as it was; the management mode.

#include "catalogue/productpreview.h"
#include "cloud/quotefoldernames.h"
#include "common/dialogs.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtupdown.h"
#include "quotes/folder_preventivo_dbx.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/layout_preventivo.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteopeners.h"
#include "reports/krtviewreport.h"
#include "reports/view_report.h"
#include "tests/cloud/cloudtestenv.h"
#include "tests/support/masterdataenv.h"
#include "tests/support/programfolder.h"
#include "tests/support/quotefolderstart.h"
#include "tests/support/windowtest.h"

#include "common/windowregistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace cloud_test;

namespace {

// Stands where the quote layout stands: it opens the window for an export and hands over the
// preview it shows (here a demo product's printed sheet, a real report of the engine).
class TLayoutStandIn : public QWidget, public TQuoteExportSource
{
public:
    TKRTViewReport *ExportPreview() override { return preview ? preview->VR_Preview : nullptr; }
    void ReloadExportedQuote() override { ++reloads; }
    QPointer<TVIEW_REPORT> preview;
    int reloads = 0;
};

} // namespace

class tst_folder_preventivo_dbx : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exportEndToEnd_data();
    void exportEndToEnd();
    void secondExportAndNewRevision();
    void failedUploadLeavesTheQuoteAsItWas_data();
    void failedUploadLeavesTheQuoteAsItWas();
    void refusals();
    void difficultDescriptions_data();
    void difficultDescriptions();
    void refusedFolderNameKeepsThePanel();
    void serviceAnswersBadly_data();
    void serviceAnswersBadly();
    void digitsOfTheFolderName();
    void managementMode();
    void quoteListShowsTheExport();
    void layoutExportsItsFinalPrint();

private:
    // An open demo quote of the first company, without folder data.
    QString OpenQuote();
    TQuoteFolderStart StartOf(const QString &id, bool fromList = false) const;
    QString Stored(const QString &id, const QString &column) const;
    // Opens the window through the opener, runs act while it is shown modally, then closes it.
    void Run(const TQuoteFolderStart &start,
             const std::function<void(TFOLDER_PREVENTIVO_DBX *)> &act);
    // Asks for the export and confirms it; with a new folder the panel's "Ok" goes on.
    void Export(TFOLDER_PREVENTIVO_DBX *w);
    QString YearFolder() const;
    QStringList LocalPdfs() const;

    TCloudTestEnv m_cloud;
    std::unique_ptr<TMasterDataEnvironment> env;
    std::unique_ptr<TLayoutStandIn> layout;
    std::unique_ptr<TSTD_PROGRESS> m_wait; // the wait window every step shows and hides
    QString m_year;
};

void tst_folder_preventivo_dbx::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
    QVERIFY(m_cloud.MakeCertificates());
    m_wait = std::make_unique<TSTD_PROGRESS>();
}

void tst_folder_preventivo_dbx::init()
{
    QVERIFY(m_cloud.StartService());
    env = std::make_unique<TMasterDataEnvironment>(TDemoOperator::Operator);
    // The program folder holds the product reports the stand-in previews and the layouts.
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QStringList reports = QDir(source + QStringLiteral("/Reports"))
                              .entryList({QStringLiteral("Layout*.RPT")});
    reports << QStringLiteral("pdprw00.RPT") << QStringLiteral("pdprwdet00.RPT");
    QVERIFY(CopyProgramReports(env->Home(), reports));
    // The cloud hosts of the global settings point at the fake, trusted through its authority.
    TSessionInfo &s = SessionInfo();
    const QString section = QStringLiteral("SETTINGS");
    for (const char *key : {"Cloud_ApiHost", "Cloud_ContentHost", "Cloud_AuthHost"})
        IniWriteText(section, QString::fromLatin1(key), m_cloud.fake->Host(), s.sSettingsFile);
    IniWriteText(section,
                 QStringLiteral("Cloud_CAFile"),
                 m_cloud.certificates.caFile,
                 s.sSettingsFile);
    IniWriteText(section,
                 QStringLiteral("Cloud_ReadTimeout"),
                 QStringLiteral("5000"),
                 s.sSettingsFile);
    s.sDBXClientKey = m_cloud.fake->ClientId();
    s.sDBXClientSecret = m_cloud.fake->ClientSecret();
    s.sDBXAccessToken = m_cloud.fake->IssueAccessToken();
    s.sRootFolder = QStringLiteral("Ventorel");
    s.sSocietaFolder = QStringLiteral("Alfa SpA");

    layout = std::make_unique<TLayoutStandIn>();
    const QString product = env->Super(
        QStringLiteral("SELECT min(idprodotto) FROM prodotti WHERE txcodprodotto LIKE 'QDG%'"));
    layout->preview = PrintProductPreview(product);
    QVERIFY(layout->preview);
    QVERIFY(layout->preview->VR_Preview->PageCount() > 0);
    env->Recorder().Clear();
    QApplication::clipboard()->clear();
}

void tst_folder_preventivo_dbx::cleanup()
{
    if (layout && layout->preview)
        delete layout->preview.data();
    layout.reset();
    env.reset();
}

QString tst_folder_preventivo_dbx::OpenQuote()
{
    const QString id = env->Super(
        QStringLiteral("SELECT idpreventivo FROM preventivi WHERE idsocieta = '%1' AND "
                       "flbloccato = 0 AND dtcanc IS NULL AND idcliente IS NOT NULL AND "
                       "nurevisione = 1 AND NOT EXISTS (SELECT 1 FROM preventivi r WHERE "
                       "r.idsocieta = preventivi.idsocieta AND r.nuannopreventivo = "
                       "preventivi.nuannopreventivo AND r.nupreventivo = preventivi.nupreventivo "
                       "AND r.nurevisione > 1) ORDER BY nupreventivo LIMIT 1")
            .arg(kSoc1));
    env->Super(QStringLiteral("UPDATE preventivi SET txnomefolder = NULL, txnomefilepdf = NULL, "
                              "txurlfilepdf = NULL WHERE idpreventivo = '%1'")
                   .arg(id));
    m_year = env->Super(
        QStringLiteral("SELECT nuannopreventivo FROM preventivi WHERE idpreventivo = '%1'").arg(id));
    return id;
}

TQuoteFolderStart tst_folder_preventivo_dbx::StartOf(const QString &id, bool fromList) const
{
    return QuoteFolderStartOfRow(
        env->Super(QStringLiteral("SELECT concat_ws('|', q.flbloccato, q.nurevisione, "
                                  "coalesce(q.txurlfilepdf, ''), coalesce(q.txnomefilepdf, ''), "
                                  "coalesce(q.txnomefolder, ''), q.txdescoggetto, "
                                  "c.txdenominazione, q.nuannopreventivo, q.nupreventivo) FROM "
                                  "preventivi q JOIN clienti c USING (idcliente) WHERE "
                                  "q.idpreventivo = '%1'")
                       .arg(id)),
        id,
        fromList);
}

QString tst_folder_preventivo_dbx::Stored(const QString &id, const QString &column) const
{
    return env->Super(
        QStringLiteral(
            "SELECT coalesce(%1::text, '<null>') FROM preventivi WHERE idpreventivo = '%2'")
            .arg(column, id));
}

void tst_folder_preventivo_dbx::Run(const TQuoteFolderStart &start,
                                    const std::function<void(TFOLDER_PREVENTIVO_DBX *)> &act)
{
    QVERIFY(RunWhileModal<TFOLDER_PREVENTIVO_DBX>(
        [&] { OpenQuoteFolder(layout.get(), kQuoteCloudFolderWindow, start); },
        [&](TFOLDER_PREVENTIVO_DBX *w) {
            act(w);
            // Whatever happened, the wait is over and the window answers again.
            QVERIFY(!m_wait->isVisible());
            QVERIFY(w->isEnabled());
            QVERIFY(w->PAN_Pages->isEnabled());
            w->close();
        }));
}

void tst_folder_preventivo_dbx::Export(TFOLDER_PREVENTIVO_DBX *w)
{
    env->Recorder().QueueYes();
    QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
    if (w->PAN_Pages->currentWidget() == w->PAN_NomeFolder)
        QTest::mouseClick(w->PB_OkNomeFolder, Qt::LeftButton);
}

QString tst_folder_preventivo_dbx::YearFolder() const
{
    const TSessionInfo &s = SessionInfo();
    QString path;
    for (const QString &level :
         {s.sRootFolder, s.sSocietaFolder, QStringLiteral("Preventivi ") + m_year})
        if (!level.isEmpty())
            path += u'/' + level;
    return path;
}

// With VENTOREL_GRAB_DIR set, the window is saved there as a picture to look at.
static void Grab(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR");
    if (dir.isEmpty())
        return;
    w->adjustSize();
    w->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}

QStringList tst_folder_preventivo_dbx::LocalPdfs() const
{
    return QDir(env->Home()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
}

void tst_folder_preventivo_dbx::exportEndToEnd_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QStringList>("existing"); // folders already in the storage
    QTest::addColumn<QString>("yearFolder");   // where the quote folder must end up
    QTest::addColumn<int>("foldersCreated");
    QTest::newRow("empty storage")
        << "Ventorel" << QStringList() << "/Ventorel/Alfa SpA/Preventivi @" << 4;
    QTest::newRow("no root folder") << "" << QStringList() << "/Alfa SpA/Preventivi @" << 3;
    QTest::newRow("folders with another case")
        << "Ventorel" << QStringList{"/VENTOREL/alfa spa/preventivi @"}
        << "/VENTOREL/alfa spa/preventivi @" << 1;
    QTest::newRow("root there, company missing") << "Ventorel" << QStringList{"/ventorel/Beta Srl"}
                                                 << "/ventorel/Alfa SpA/Preventivi @" << 3;
}

void tst_folder_preventivo_dbx::exportEndToEnd()
{
    QFETCH(QString, root);
    QFETCH(QStringList, existing);
    QFETCH(QString, yearFolder);
    QFETCH(int, foldersCreated);
    const QString id = OpenQuote();
    yearFolder.replace(u'@', m_year);
    SessionInfo().sRootFolder = root;
    for (QString folder : existing)
        m_cloud.fake->AddFolder(folder.replace(u'@', m_year));
    const TQuoteFolderStart start = StartOf(id);
    const QString folder = QuoteFolderName(QuoteNumberPart(start.sNuPreventivoLista, m_year, 4),
                                           start.sDescClienteLista,
                                           start.sDescOggettoLista);

    QString link;
    Run(start, [&](TFOLDER_PREVENTIVO_DBX *w) {
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("Cloud: Preventivo n° ") + start.sTxNuPreventivoLista
                     + QStringLiteral(" : \"") + start.sDescOggettoLista + u'"');
        QVERIFY(w->PAN_Export->isVisibleTo(w));
        QVERIFY(!w->PAN_PrepareLinkForMail->isVisibleTo(w));
        env->Recorder().QueueYes();
        QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
                 QStringLiteral("Confermi esportazione del preventivo ?"));
        // No folder yet: the folder-name panel, with the quote's customer and subject.
        QCOMPARE(w->PAN_Pages->currentWidget(), w->PAN_NomeFolder);
        QCOMPARE(w->EF_NumPreventivo->Text(), QuoteNumberPart(start.sNuPreventivoLista, m_year, 4));
        QCOMPARE(w->EF_DescCliente->Text(), start.sDescClienteLista);
        QCOMPARE(w->SF_NomeFolder->text(), folder);
        Grab(w, QStringLiteral("dbx_nome_cartella"));
        QTest::mouseClick(w->PB_OkNomeFolder, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error), QString());
        QCOMPARE(w->PAN_Pages->currentIndex(), 0);
        QVERIFY(w->PAN_PrepareLinkForMail->isVisibleTo(w));
        link = w->sURLFilePDF;
        Grab(w, QStringLiteral("dbx_esportato"));
        // The link for an e-mail.
        QTest::mouseClick(w->PB_PrepareLink, Qt::LeftButton);
    });

    // The folder tree, one quote folder holding the PDF written from the preview.
    QCOMPARE(m_cloud.fake->Count(QStringLiteral("/2/files/create_folder")), foldersCreated);
    QCOMPARE(m_cloud.fake->Children(yearFolder), QStringList{folder});
    const QString pdf = yearFolder + u'/' + folder + u'/' + folder + QStringLiteral(".pdf");
    QVERIFY2(m_cloud.fake->Exists(pdf),
             qPrintable(m_cloud.fake->Children(yearFolder + u'/' + folder).join(u',')));
    QVERIFY(m_cloud.fake->Content(pdf).startsWith("%PDF"));
    QVERIFY(m_cloud.fake->Size(pdf) > 1000);
    // Stored and blocked.
    QVERIFY(!link.isEmpty());
    QCOMPARE(Stored(id, QStringLiteral("txnomefolder")), folder);
    QCOMPARE(Stored(id, QStringLiteral("txnomefilepdf")), folder);
    QCOMPARE(Stored(id, QStringLiteral("txurlfilepdf")), link);
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));
    QVERIFY2(env->Recorder().LastText(TDialogKind::Info).startsWith(QStringLiteral("Puoi incollare")),
             qPrintable(env->Recorder().LastText(TDialogKind::Info)));
    const QList<TDialogRequest> infos = env->Recorder().RequestsOf(TDialogKind::Info);
    QVERIFY(std::any_of(infos.begin(), infos.end(), [](const TDialogRequest &r) {
        return r.text.startsWith(
            QStringLiteral("Il preventivo esportato è stato bloccato.\r\n\r\n"));
    }));
    QCOMPARE(layout->reloads, 1);
    // The local PDF is gone; the digits setting saved.
    QCOMPARE(LocalPdfs(), QStringList());
    QCOMPARE(env->Setting(QStringLiteral("FrmFolderPrev_NuDigits")), QStringLiteral("4"));
    // The clipboard holds the clickable link.
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime && mime->hasHtml());
    QVERIFY(mime->html().contains(QStringLiteral("<a href=\"") + link.toHtmlEscaped() + u'"'));
    QCOMPARE(mime->text(), link);
}

void tst_folder_preventivo_dbx::secondExportAndNewRevision()
{
    const QString id = OpenQuote();
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) { Export(w); });
    const QString folder = Stored(id, QStringLiteral("txnomefolder"));
    const QString quoteFolder = YearFolder() + u'/' + folder;
    const QString pdf = quoteFolder + u'/' + folder + QStringLiteral(".pdf");
    QVERIFY(m_cloud.fake->Exists(pdf));

    // Unblocked and exported again: the stored folder is reused, the PDF overwritten.
    env->Super(
        QStringLiteral("UPDATE preventivi SET flbloccato = 0 WHERE idpreventivo = '%1'").arg(id));
    m_cloud.fake->AddFile(pdf, "vecchio contenuto");
    m_cloud.fake->ClearRequests();
    env->Recorder().Clear();
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        env->Recorder().QueueYes();
        QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(w->PAN_Pages->currentIndex(), 0); // no folder-name panel
    });
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(m_cloud.fake->Count(QStringLiteral("/2/files/create_folder")), 0);
    QVERIFY(m_cloud.fake->Count(QStringLiteral("/2/files/list_folder")) > 0);
    QCOMPARE(m_cloud.fake->Children(quoteFolder), QStringList{folder + QStringLiteral(".pdf")});
    QVERIFY(m_cloud.fake->Content(pdf).startsWith("%PDF"));
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));

    // A new revision keeps the folder; its PDF lands next to the first one.
    const QString revision = NewGuidText();
    env->Db().Module().Query(QStringLiteral("EXEC RevisionePreventivo %1, %2, 'MROSSI'")
                                 .arg(SqlText(id), SqlText(revision)));
    QCOMPARE(Stored(revision, QStringLiteral("txnomefolder")), folder);
    Run(StartOf(revision), [&](TFOLDER_PREVENTIVO_DBX *w) { Export(w); });
    const QString pdf2 = QuotePdfName(folder, StartOf(revision).sNuPreventivoLista, m_year, 2);
    QVERIFY(pdf2.contains(QStringLiteral(" Rev. 2 (")));
    QCOMPARE(m_cloud.fake->Children(quoteFolder),
             QStringList({folder + QStringLiteral(".pdf"), pdf2 + QStringLiteral(".pdf")}));
    QCOMPARE(Stored(revision, QStringLiteral("txnomefilepdf")), pdf2);
    QCOMPARE(Stored(revision, QStringLiteral("flbloccato")), QStringLiteral("1"));
    QCOMPARE(LocalPdfs(), QStringList());
}

void tst_folder_preventivo_dbx::failedUploadLeavesTheQuoteAsItWas_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("upload refused") << "409 upload";
    QTest::newRow("connection dropped during the upload") << "drop upload";
    QTest::newRow("stored by the service, answer lost") << "handled then dropped";
    QTest::newRow("link refused") << "409 share";
    QTest::newRow("token refused twice") << "401";
}

void tst_folder_preventivo_dbx::failedUploadLeavesTheQuoteAsItWas()
{
    QFETCH(QString, fault);
    const QString id = OpenQuote();
    const QString folder = QStringLiteral("0001_%1 (Cliente) (Oggetto)").arg(m_year);
    env->Super(QStringLiteral("UPDATE preventivi SET txnomefolder = '%1' WHERE idpreventivo = '%2'")
                   .arg(folder, id));
    if (fault == QLatin1String("409 upload"))
        m_cloud.fake->Fail409(QStringLiteral("/files/upload"),
                              QStringLiteral("path/insufficient_space/.."));
    else if (fault == QLatin1String("drop upload"))
        m_cloud.fake->DropMidAnswer(QStringLiteral("/files/upload"));
    else if (fault == QLatin1String("handled then dropped"))
        m_cloud.fake->HandleThenDrop(QStringLiteral("/files/upload"));
    else if (fault == QLatin1String("409 share"))
        m_cloud.fake->Fail409(QStringLiteral("/sharing/create_shared_link"),
                              QStringLiteral("path/not_found/.."));
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        if (fault == QLatin1String("401")) {
            // After the folders are ready the token expires and no new one can be had.
            env->Recorder().QueueYes();
            m_cloud.fake->ExpireAccessToken(SessionInfo().sDBXAccessToken);
            SessionInfo().sDBXClientSecret = QStringLiteral("sbagliato");
            QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        } else {
            Export(w);
        }
        QVERIFY(!w->PAN_PrepareLinkForMail->isVisibleTo(w));
        QVERIFY(!w->bPrevBloccato);
    });
    const QString error = env->Recorder().LastText(TDialogKind::Error);
    QVERIFY2(!error.isEmpty(), "no message");
    if (fault != QLatin1String("401"))
        QVERIFY2(error.startsWith(
                     QStringLiteral("Caricamento del preventivo in Cloud non riuscito: "
                                    "il link non è stato memorizzato e il preventivo "
                                    "non è stato bloccato.\r\n\r\n(")),
                 qPrintable(error));
    QCOMPARE(Stored(id, QStringLiteral("txnomefilepdf")), QStringLiteral("<null>"));
    QCOMPARE(Stored(id, QStringLiteral("txurlfilepdf")), QStringLiteral("<null>"));
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("0"));
    QCOMPARE(layout->reloads, 0);
    QCOMPARE(LocalPdfs(), QStringList());
}

void tst_folder_preventivo_dbx::refusals()
{
    // A blocked quote is not exported; nothing reaches the service.
    const QString id = OpenQuote();
    env->Super(
        QStringLiteral("UPDATE preventivi SET flbloccato = 1 WHERE idpreventivo = '%1'").arg(id));
    Run(StartOf(id),
        [&](TFOLDER_PREVENTIVO_DBX *w) { QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton); });
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Il preventivo è bloccato, non è possibile esportarlo."));
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);
    QVERIFY(m_cloud.fake->Requests().isEmpty());

    // "No" to the question: nothing happens.
    env->Super(
        QStringLiteral("UPDATE preventivi SET flbloccato = 0 WHERE idpreventivo = '%1'").arg(id));
    env->Recorder().Clear();
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        env->Recorder().QueueNo();
        QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(w->PAN_Pages->currentIndex(), 0);
    });
    QVERIFY(m_cloud.fake->Requests().isEmpty());

    // Without a preview no PDF is made: the message, nothing uploaded or stored.
    const QString folder = QStringLiteral("0001_%1 (Cliente) (Oggetto)").arg(m_year);
    env->Super(QStringLiteral("UPDATE preventivi SET txnomefolder = '%1' WHERE idpreventivo = '%2'")
                   .arg(folder, id));
    delete layout->preview.data();
    env->Recorder().Clear();
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) { Export(w); });
    QVERIFY2(env->Recorder()
                 .LastText(TDialogKind::Error)
                 .startsWith(QStringLiteral("Errore esportazione preventivo")),
             qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QCOMPARE(m_cloud.fake->Count(QStringLiteral("/2/files/upload")), 0);
    QCOMPARE(Stored(id, QStringLiteral("txurlfilepdf")), QStringLiteral("<null>"));
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("0"));
    QCOMPARE(LocalPdfs(), QStringList());
}

void tst_folder_preventivo_dbx::difficultDescriptions_data()
{
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("subject");
    QTest::newRow("slashes") << "Rossi S.r.l./Milano"
                             << "Valvola 3/4\" \\ DN20";
    QTest::newRow("colons and quotes") << "Bianchi: \"sede\""
                                       << "Ore 10:30 | <urgente>?";
    QTest::newRow("emoji") << QString::fromUtf8("Caffè ☕ Società")
                           << QString::fromUtf8("Impianto 🔥 perché");
    QTest::newRow("300 characters") << QString(300, u'C') << QString(300, QChar(0xE8));
}

void tst_folder_preventivo_dbx::difficultDescriptions()
{
    // What the operator types in the panel becomes one valid folder: no slash makes a
    // sub-folder, the service takes the name, the quote gets it.
    QFETCH(QString, customer);
    QFETCH(QString, subject);
    const QString id = OpenQuote();
    QString shown;
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        env->Recorder().QueueYes();
        QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(w->PAN_Pages->currentWidget(), w->PAN_NomeFolder);
        w->EF_DescCliente->SetText(customer);
        w->EF_DescOggetto->SetText(subject);
        shown = w->SF_NomeFolder->text();
        QTest::mouseClick(w->PB_OkNomeFolder, Qt::LeftButton);
    });
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error), QString());
    QVERIFY(!shown.contains(u'/'));
    QVERIFY(shown.size() <= kQuoteFolderNameMaxLength);
    QCOMPARE(m_cloud.fake->Children(YearFolder()), QStringList{shown});
    QCOMPARE(Stored(id, QStringLiteral("txnomefolder")), shown);
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));
    QCOMPARE(LocalPdfs(), QStringList());
}

void tst_folder_preventivo_dbx::refusedFolderNameKeepsThePanel()
{
    // The service refuses the folder: the operator is told what to do and why, the panel stays
    // for another try, the quote is unchanged.
    const QString id = OpenQuote();
    m_cloud.fake->AddFolder(YearFolder());
    m_cloud.fake->Fail409(QStringLiteral("/files/create_folder"),
                          QStringLiteral("path/malformed_path/.."));
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        Export(w);
        QCOMPARE(w->PAN_Pages->currentWidget(), w->PAN_NomeFolder);
        QVERIFY(w->sNomeFolder.isEmpty());
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
                 QStringLiteral("Rimuovi eventuali caratteri speciali dalle descrizioni del "
                                "cliente e dell'oggetto.\r\n\r\n(path/malformed_path/..)"));
        // A second try goes through.
        env->Recorder().Clear();
        QTest::mouseClick(w->PB_OkNomeFolder, Qt::LeftButton);
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
        QCOMPARE(w->PAN_Pages->currentIndex(), 0);
    });
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));
}

void tst_folder_preventivo_dbx::serviceAnswersBadly_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("exported");
    QTest::newRow("listing that is not JSON") << "text" << false;
    QTest::newRow("year folder with 10,000 entries") << "huge" << true;
}

void tst_folder_preventivo_dbx::serviceAnswersBadly()
{
    QFETCH(QString, fault);
    QFETCH(bool, exported);
    const QString id = OpenQuote();
    if (fault == QLatin1String("text")) {
        m_cloud.fake->AnswerText(QStringLiteral("/files/list_folder"),
                                 200,
                                 "<html>Manutenzione in corso</html>");
    } else {
        // Many quote folders in the year, listed in pages; the quote's is not among them.
        m_cloud.fake->SetPageSize(2000);
        for (int i = 0; i < 10000; ++i)
            m_cloud.fake->AddFolder(
                YearFolder() + QStringLiteral("/%1_%2 (Altro) (Altro)").arg(i + 20000).arg(m_year));
    }
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) { Export(w); });
    const QString error = env->Recorder().LastText(TDialogKind::Error);
    if (exported) {
        QCOMPARE(error, QString());
        QCOMPARE(m_cloud.fake->Children(YearFolder()).size(), 10001);
        QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));
    } else {
        // Not a matter of the descriptions: the message says what went wrong.
        QVERIFY2(error.startsWith(QStringLiteral("Errore preparazione della cartella del "
                                                 "preventivo in Cloud.\r\n\r\n(")),
                 qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("JSON")), qPrintable(error));
        QCOMPARE(Stored(id, QStringLiteral("txnomefolder")), QStringLiteral("<null>"));
        QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("0"));
    }
    QCOMPARE(LocalPdfs(), QStringList());
}

void tst_folder_preventivo_dbx::digitsOfTheFolderName()
{
    // Number 12345 with the setting at 4: five digits, saved; the spin never goes below them.
    const QString id = OpenQuote();
    env->Super(
        QStringLiteral("UPDATE preventivi SET nupreventivo = 12345 WHERE idpreventivo = '%1'")
            .arg(id));
    env->SetSetting(QStringLiteral("FrmFolderPrev_NuDigits"), QStringLiteral("4"));
    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) {
        env->Recorder().QueueYes();
        QTest::mouseClick(w->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(env->Setting(QStringLiteral("FrmFolderPrev_NuDigits")), QStringLiteral("5"));
        QCOMPARE(w->EF_NumPreventivo->Text(), QStringLiteral("12345_") + m_year);
        QTest::mouseClick(w->UD_CifreNuPrev->DownButton(), Qt::LeftButton);
        QCOMPARE(w->UD_CifreNuPrev->Position(), 5);
        QTest::mouseClick(w->UD_CifreNuPrev->UpButton(), Qt::LeftButton);
        QCOMPARE(w->EF_NumPreventivo->Text(), QStringLiteral("012345_") + m_year);
        QVERIFY(w->SF_NomeFolder->text().startsWith(QStringLiteral("012345_") + m_year
                                                    + QStringLiteral(" (")));
        QTest::mouseClick(w->PB_AnnullaNomeFolder, Qt::LeftButton);
        QCOMPARE(w->PAN_Pages->currentIndex(), 0);
    });
    QVERIFY(m_cloud.fake->Requests().isEmpty());
    QCOMPARE(Stored(id, QStringLiteral("txnomefolder")), QStringLiteral("<null>"));
}

void tst_folder_preventivo_dbx::managementMode()
{
    const QString id = OpenQuote();
    const QString folder = QStringLiteral("0001_%1 (Cliente) (Oggetto)").arg(m_year);
    env->Super(QStringLiteral("UPDATE preventivi SET txnomefolder = '%1', txnomefilepdf = '%1', "
                              "txurlfilepdf = 'https://db.tt/abc' WHERE idpreventivo = '%2'")
                   .arg(folder, id));
    SessionInfo().bDBXFolderLocal = true;
    SessionInfo().sQuotesPath.clear();
    const QString local = env->Home() + QStringLiteral("/Dropbox");
    Run(StartOf(id, true), [&](TFOLDER_PREVENTIVO_DBX *w) {
        QVERIFY(!w->PAN_Export->isVisibleTo(w));
        QVERIFY(w->PAN_PrepareLinkForMail->isVisibleTo(w));
        QCOMPARE(w->SF_Path_DBX->text(),
                 QStringLiteral("Impostare la posizione di Dropbox nel tuo computer."));
        QVERIFY(!w->PAN_FolderPrev->isVisibleTo(w));
        env->Recorder().QueueAnswer(true, local);
        QTest::mouseClick(w->PB_SetDropboxFolder, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::ChooseFolder),
                 QStringLiteral("Seleziona posizione di Dropbox sul tuo PC"));
        QCOMPARE(w->SF_Path_DBX->text(), local + u'/');
        QVERIFY(w->PAN_FolderPrev->isVisibleTo(w));
        Grab(w, QStringLiteral("dbx_gestione"));
        env->Recorder().QueueAnswer(true);
        QTest::mouseClick(w->PB_OpenFolderPrev, Qt::LeftButton);
    });
    QCOMPARE(env->Setting(QStringLiteral("General_PrevsPath")), local + u'/');
    QCOMPARE(env->Recorder().LastText(TDialogKind::ShowInFileBrowser),
             local + QStringLiteral("/Ventorel/Alfa SpA/Preventivi ") + m_year + u'/' + folder
                 + u'/' + folder + QStringLiteral(".pdf"));
    QVERIFY(m_cloud.fake->Requests().isEmpty());
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("0"));
}

void tst_folder_preventivo_dbx::quoteListShowsTheExport()
{
    // The quote list is open while the quote is exported: when the export window closes the
    // list shows the quote blocked with its link, and its cloud entry copies the link.
    const QString id = OpenQuote();
    QPointer<TGESTIONE_PREVENTIVI> list = new TGESTIONE_PREVENTIVI;
    list->resize(1500, 900);
    list->show();
    TQuoteFilters *f = list->Filters;
    f->CK_Find_AllAnni->setChecked(true);
    f->Refresh();
    f->CK_Find_OrdinaRecenti->setChecked(false);
    f->CK_Find_IncludiBloccati->setChecked(true);
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    QVERIFY(
        list->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"), id, loCaseInsensitive));
    QVERIFY(!MenuCaptions(list->DG_Preventivi).contains(QStringLiteral("Preventivo nel Cloud")));

    Run(StartOf(id), [&](TFOLDER_PREVENTIVO_DBX *w) { Export(w); });
    const QString link = Stored(id, QStringLiteral("txurlfilepdf"));
    QVERIFY(link.startsWith(QStringLiteral("https://")));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("idPreventivo")), id);
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("flBloccato")), QStringLiteral("1"));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txURLFilePDF")), link);

    env->Recorder().Clear();
    bool chosen = false;
    QVERIFY(RunWhileModal<TFOLDER_PREVENTIVO_DBX>(
        [&] { chosen = ChooseMenu(list->DG_Preventivi, QStringLiteral("Preventivo nel Cloud")); },
        [](TFOLDER_PREVENTIVO_DBX *w) {
            QVERIFY(!w->PAN_Export->isVisibleTo(w));
            QTest::mouseClick(w->PB_PrepareLink, Qt::LeftButton);
            QTest::mouseClick(w->PB_Chiudi, Qt::LeftButton);
        }));
    QVERIFY(chosen);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Puoi incollare il link al preventivo nella mail al cliente."));
    QCOMPARE(QApplication::clipboard()->mimeData()->text(), link);
    delete list.data();
}

void tst_folder_preventivo_dbx::layoutExportsItsFinalPrint()
{
    // The real layout window: its final print becomes the PDF in the cloud, and the quote is
    // blocked with its link.
    const QString id = OpenQuote();
    const TQuoteFolderStart start = StartOf(id);
    QPointer<TLAYOUT_PREVENTIVO> w = qobject_cast<TLAYOUT_PREVENTIVO *>(
        CreateRegisteredWindow(kQuoteLayoutWindow, nullptr));
    QVERIFY(w);
    const auto closeLayout = qScopeGuard([&w] { delete w.data(); });
    w->resize(1400, 900);
    w->show();
    w->Start(id,
             kSoc1,
             start.sDescOggettoLista,
             env->Super(QStringLiteral("SELECT vt_nu_preventivo(nuannopreventivo, nupreventivo, "
                                       "nurevisione) FROM preventivi WHERE idpreventivo = '%1'")
                            .arg(id)));
    QVERIFY(w->DST_GRID_Layouts && !w->DST_GRID_Layouts->IsEmpty());
    w->DG_Layouts->setCurrentIndex(w->DG_Layouts->model()->index(0, 0));
    QTest::mouseClick(w->PB_Select_Layout, Qt::LeftButton);
    QVERIFY2(w->ExportPreview(), qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QVERIFY(w->IsFinalMode());

    env->Recorder().Clear();
    const bool ran = RunWhileModal<TFOLDER_PREVENTIVO_DBX>(
        [&] { QTest::mouseClick(w->PB_Gestione_FolderPrev, Qt::LeftButton); },
        [&](TFOLDER_PREVENTIVO_DBX *d) {
            Export(d);
            d->close();
        });
    QVERIFY2(ran, qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    const QString folder = Stored(id, QStringLiteral("txnomefolder"));
    const QString pdf = YearFolder() + u'/' + folder + u'/' + folder + QStringLiteral(".pdf");
    QVERIFY2(m_cloud.fake->Exists(pdf), qPrintable(pdf));
    QVERIFY(m_cloud.fake->Content(pdf).startsWith("%PDF"));
    QVERIFY(Stored(id, QStringLiteral("txurlfilepdf")).startsWith(QStringLiteral("https://")));
    QCOMPARE(Stored(id, QStringLiteral("flbloccato")), QStringLiteral("1"));
    QCOMPARE(LocalPdfs(), QStringList());
}

QTEST_MAIN(tst_folder_preventivo_dbx)
#include "tst_folder_preventivo_dbx.moc"
