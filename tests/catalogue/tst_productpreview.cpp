// "Anteprima stampa prodotto" on the demo database: the product sheet in the preview window,
// written to PDF and read back as a reader sees it; its failures; and the live preview's page
// marks. The layout of every demo product is checked on the page model.

#include "catalogue/productpreview.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "domain/nodeimages.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reportrender.h"
#include "reports/richtext.h"
#include "reports/view_report.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/programfolder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page of a PDF as pdftotext reads it, whitespace collapsed.
QStringList PdfPages(const QString &pdf)
{
    QStringList pages = Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
                            .split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString &p : pages)
        p = p.simplified();
    return pages;
}

QString NoSpace(QString s)
{
    s.remove(QRegularExpression(QStringLiteral("\\s")));
    return s;
}

TVIEW_REPORT *OpenPreview()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *v = qobject_cast<TVIEW_REPORT *>(w); v && v->isVisible())
            return v;
    }
    return nullptr;
}

} // namespace

class TestProductPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void productSheetPrintsEveryTextOfTheProduct();
    void disabledNodesHideTheirBranch();
    void debugPaneGetsTheTimingLines();
    void failuresCloseThePreviewWithAMessage_data();
    void failuresCloseThePreviewWithAMessage();
    void unreadablePictureIsLeftOutWithAWarning();
    void livePreviewExportsAPageMarkForEveryNode();
    void everyDemoProductLaysOutCleanly();

private:
    QString ProductId(const QString &code) const;
    QString SavePdf(TVIEW_REPORT *window, const QString &name);

    QTemporaryDir m_home;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
};

void TestProductPreview::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The program folder of the tests holds the product reports.
    QVERIFY(CopyProgramReports(m_home.path(),
                               {QStringLiteral("pdprw00.RPT"), QStringLiteral("pdprwdet00.RPT")}));
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void TestProductPreview::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = QStringLiteral("MROSSI");
}

void TestProductPreview::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<TVIEW_REPORT *>(w))
            w->close();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dialogs.reset();
    m_db.reset();
    SetDebugLineSink(nullptr);
}

QString TestProductPreview::ProductId(const QString &code) const
{
    return m_db->SuperQuery(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '%1'").arg(code));
}

QString TestProductPreview::SavePdf(TVIEW_REPORT *window, const QString &name)
{
    const QString pdf = m_home.filePath(name);
    SaveReportAsPdf(window->VR_Preview, pdf);
    return pdf;
}

void TestProductPreview::productSheetPrintsEveryTextOfTheProduct()
{
    const QString id = ProductId(QStringLiteral("QDG-100"));
    TVIEW_REPORT *window = PrintProductPreview(id);
    QVERIFY(window);
    QCOMPARE(OpenPreview(), window);
    QCOMPARE(m_dialogs->Requests().size(), 0);
    QCOMPARE(window->VR_Preview->Engine->ReportName, QStringLiteral("Reports\\pdprw00"));
    QCOMPARE(window->iRptPageTo, window->VR_Preview->PageCount());
    QCOMPARE(window->CurrentPage(), 1);

    const QString pdf = SavePdf(window, QStringLiteral("QDG-100.pdf"));
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), window->iRptPageTo);
    QVERIFY(pages.size() >= 3);
    // The cover: title, code, catalogue and the sections of the sheet.
    QVERIFY(pages[0].contains(QLatin1String("QUADRO DI DISTRIBUZIONE GENERALE 1600 A")));
    QVERIFY(pages[0].contains(QLatin1String("Codice QDG-100")));
    QVERIFY(pages[0].contains(QLatin1String("Contenuto della scheda")));
    for (int p = 0; p < pages.size(); ++p)
        QVERIFY2(pages[p].contains(QStringLiteral("Pagina %1 di %2").arg(p + 1).arg(pages.size())),
                 qPrintable(pages[p]));

    // Every text of every enabled node is printed after the cover (read without the page
    // headers and footers, which a text split across two pages runs into).
    QString joined;
    for (QString page : pages.mid(1)) {
        page.remove(
            QRegularExpression(QStringLiteral("QDG-100 QUADRO DI DISTRIBUZIONE GENERALE "
                                              "1600 A|EMB · catalogo \\d{4}|Scheda tecnica "
                                              "QDG-100|\\d\\d/\\d\\d/\\d{4}|Pagina \\d+ di \\d+")));
        joined += page + u' ';
    }
    const QString body = NoSpace(joined);
    auto sets = m_db->Module().QueryMulti(ProductPrintCommand(id));
    TDataSet &tree = *sets[0];
    int checked = 0;
    for (int r = 0; r < tree.RecordCount(); ++r) {
        const QString text = tree.DisplayTextAt(r, tree.FieldIndex(QStringLiteral("txDescNodo")));
        QVERIFY(tree.ValueAt(r, tree.FieldIndex(QStringLiteral("flAttivo"))).toInt() == 1);
        QVERIFY2(body.contains(NoSpace(text)), qPrintable(text));
        ++checked;
    }
    QVERIFY(checked > 30);
    // Tables: the table items' second column, the price lists in euro, the linked products.
    QVERIFY(body.contains(NoSpace(QStringLiteral("2 x 60 x 10 mm"))));
    QVERIFY(body.contains(QLatin1String("Listinidivendita")));
    QVERIFY(body.contains(QStringLiteral("€5.700,00")));
    QVERIFY(body.contains(QLatin1String("Prodotticollegati")));
    QVERIFY(body.contains(QLatin1String("ZOCCOLODISOLLEVAMENTOH100MM")));
    // The cover and the node pictures are in the PDF.
    const QString images = Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY(images.count(QLatin1String(" image ")) >= 4);
}

void TestProductPreview::disabledNodesHideTheirBranch()
{
    const QString id = ProductId(QStringLiteral("QDG-100"));
    // A sub-paragraph and a data sheet switched off: their own texts stay enabled.
    m_db->SuperQuery(QStringLiteral("UPDATE prod_comp_parti SET flpartecompattiva = 0 WHERE "
                                    "txdescpartecomp = 'Cablaggio' AND idcompprodotto IN (SELECT "
                                    "idcompprodotto FROM prod_componenti WHERE idprodotto = '%1')")
                         .arg(id));
    m_db->SuperQuery(QStringLiteral("UPDATE prod_schede SET flschedaprodottoattiva = 0 WHERE "
                                    "txdescschedaprodotto = 'Dati di targa' AND idprodotto = '%1'")
                         .arg(id));
    TVIEW_REPORT *window = PrintProductPreview(id);
    QVERIFY(window);
    const QString text = PdfPages(SavePdf(window, QStringLiteral("spento.pdf"))).join(u' ');
    QVERIFY(!text.contains(QLatin1String("Cablaggio")));
    QVERIFY(!text.contains(QLatin1String("Morsettiera di uscita")));
    QVERIFY(!text.contains(QLatin1String("Schema unifilare")));
    QVERIFY(!text.contains(QLatin1String("Dati di targa")));
    QVERIFY(!text.contains(QLatin1String("Anno di costruzione")));
    QVERIFY(text.contains(QLatin1String("Struttura e sbarre")));
    QVERIFY(text.contains(QLatin1String("Dati tecnici")));
}

void TestProductPreview::debugPaneGetsTheTimingLines()
{
    QStringList lines;
    SetDebugLineSink([&](const QString &line) { lines << line; });
    SessionInfo().bAdministrator = true;
    SessionInfo().iDebugPaneHeight = 120;
    const QString id = ProductId(QStringLiteral("ACC-ILL"));
    QVERIFY(PrintProductPreview(id));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0],
             QStringLiteral("Anteprima Stampa: sSql: EXEC EstraiAllDettagliProdotto '%1', 0, 1, 1, "
                            "1, 1, 1")
                 .arg(id));
    const QRegularExpression timing(QStringLiteral(
        "^%1: INIZIO: \\d\\d:\\d\\d:\\d\\d\\.\\d{3}, FINE: \\d\\d:\\d\\d:\\d\\d\\.\\d{3}, "
        "DURATA: \\d\\d:\\d\\d\\.\\d{3}$"));
    QVERIFY(QRegularExpression(timing.pattern().arg(QStringLiteral("Anteprima Stampa")))
                .match(lines[1])
                .hasMatch());
    QVERIFY(QRegularExpression(timing.pattern().arg(QStringLiteral("Resize Images")))
                .match(lines[2])
                .hasMatch());
    QVERIFY(QRegularExpression(timing.pattern().arg(QStringLiteral("Visualizza report")))
                .match(lines[3])
                .hasMatch());
    // Without the pane, nothing.
    lines.clear();
    SessionInfo().iDebugPaneHeight = 0;
    QVERIFY(PrintProductPreview(id));
    QVERIFY(lines.isEmpty());
}

void TestProductPreview::failuresCloseThePreviewWithAMessage_data()
{
    QTest::addColumn<QString>("setup"); // "bare", "unknown", "noreport", "badreport"
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("product without details")
        << "bare" << int(TDialogKind::Warning)
        << "Il prodotto deve avere almeno un dettaglio (scheda o paragrafo).\r\n\r\nAnteprima "
           "non disponibile.";
    QTest::newRow("product that is not there")
        << "unknown" << int(TDialogKind::Error)
        << "Errore lettura dati per anteprima prodotto (ERR.F10).\r\n\r\n(Prodotto non trovato";
    QTest::newRow("report file missing")
        << "noreport" << int(TDialogKind::Error) << "Percorso Report Errato:";
    QTest::newRow("report file damaged")
        << "badreport" << int(TDialogKind::Error) << "File di report \"pdprw00.RPT\", riga 1";
}

void TestProductPreview::failuresCloseThePreviewWithAMessage()
{
    QFETCH(QString, setup);
    QFETCH(int, kind);
    QFETCH(QString, message);
    QString id = ProductId(QStringLiteral("QDG-100"));
    const QString report = m_home.filePath(QStringLiteral("Reports/pdprw00.RPT"));
    const QString kept = m_home.filePath(QStringLiteral("pdprw00.kept"));
    if (setup == u"bare") {
        id = QStringLiteral("{5B0C4C7E-0000-4000-8000-00000000B0A1}");
        m_db->SuperQuery(QStringLiteral("INSERT INTO prodotti (idprodotto, txdescprodotto) "
                                        "VALUES ('%1', 'SENZA DETTAGLI')")
                             .arg(id));
    } else if (setup == u"unknown") {
        id = QStringLiteral("{5B0C4C7E-0000-4000-8000-00000000DEAD}");
    } else {
        QVERIFY(QFile::rename(report, kept));
        if (setup == u"badreport") {
            QFile f(report);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("rapporto senza senso\n");
        }
    }
    TVIEW_REPORT *window = PrintProductPreview(id);
    if (QFile::exists(kept)) {
        QFile::remove(report);
        QVERIFY(QFile::rename(kept, report));
    }
    QVERIFY(!window);
    QVERIFY(!OpenPreview());
    QCOMPARE(m_dialogs->Count(TDialogKind(kind)), 1);
    const QString shown = m_dialogs->LastText(TDialogKind(kind));
    QVERIFY2(shown.startsWith(message), qPrintable(shown));
}

void TestProductPreview::unreadablePictureIsLeftOutWithAWarning()
{
    const QString id = ProductId(QStringLiteral("QDG-100"));
    // The picture of "Vista interna", stored damaged (and its preview copy with it).
    const QString image = m_db->SuperQuery(
        QStringLiteral("SELECT i.idimage FROM prod_comp_parte_img i JOIN prod_comp_parti p ON "
                       "p.idpartecomp = i.idpartecomp JOIN prod_componenti c ON c.idcompprodotto "
                       "= p.idcompprodotto WHERE c.idprodotto = '%1' AND i.txdescimgparte = "
                       "'Vista interna'")
            .arg(id));
    QVERIFY(!image.isEmpty());
    for (const QString table :
         {QStringLiteral("images_dettagli"), QStringLiteral("images_dettagli_preview")}) {
        const QString column = table.endsWith(QLatin1String("preview"))
                                   ? QStringLiteral("imgpreview")
                                   : QStringLiteral("imgimage");
        m_db->SuperQuery(QStringLiteral("UPDATE %1 SET %2 = substring(%2 FROM 1 FOR 400) WHERE "
                                        "idimage = '%3'")
                             .arg(table, column, image));
    }
    TVIEW_REPORT *window = PrintProductPreview(id);
    QVERIFY(window);
    QCOMPARE(m_dialogs->Count(TDialogKind::Warning), 1);
    const QString warning = m_dialogs->LastText(TDialogKind::Warning);
    QVERIFY2(warning.contains(QLatin1String("Immagine \"Vista interna\"")), qPrintable(warning));
    const QString text = PdfPages(SavePdf(window, QStringLiteral("danneggiata.pdf"))).join(u' ');
    QVERIFY(text.contains(QLatin1String("Vista frontale")));
    QVERIFY(text.contains(QLatin1String("Vista interna"))); // its caption, over an empty place
}

void TestProductPreview::livePreviewExportsAPageMarkForEveryNode()
{
    const QString id = ProductId(QStringLiteral("QDG-110"));
    TProductPrintData data = ReadProductPrintData(m_db->Module(), id);
    TKRTCrystalReport engine;
    BindProductDetailPreview(engine, *data.DST_RPT_Dettagli, *data.DST_RPT_AllDettagli, true);
    QCOMPARE(engine.ReportName, QStringLiteral("Reports\\pdprwdet00"));
    const QString rtf = m_home.filePath(QStringLiteral("FindSezione_prova.rtf"));
    engine.Mode = mvKRTViewer | mvKRTExport;
    engine.ExportOptions.FormatType = exfKRTRichText;
    engine.ExportOptions.FileName = rtf;
    QVERIFY(engine.Start(true));
    const QString text = RtfFileToPlainText(rtf);
    const auto doc = engine.Document();
    QVERIFY(doc->PageCount() >= 2);
    // Every node: its page as three digits, one character, its id; the page is where the
    // node's own text is printed.
    TDataSet &tree = *data.DST_RPT_AllDettagli;
    const int idCol = tree.FieldIndex(QStringLiteral("idNodo"));
    const int descCol = tree.FieldIndex(QStringLiteral("txDescNodo"));
    const int kindCol = tree.FieldIndex(QStringLiteral("nuTipologia"));
    for (int r = 0; r < tree.RecordCount(); ++r) {
        const QString nodeId = tree.ValueAt(r, idCol).toString();
        const int at = int(text.indexOf(nodeId));
        QVERIFY2(at >= 4, qPrintable(nodeId));
        const int page = text.mid(at - 4, 3).toInt();
        QVERIFY(page >= 1 && page <= doc->PageCount());
        const int kind = tree.ValueAt(r, kindCol).toInt();
        if (kind == 20 || kind == 40 || kind == 90) {
            const QString desc = tree.ValueAt(r, descCol).toString();
            QVERIFY2(NoSpace(doc->PageTexts(page - 1).join(u' ')).contains(NoSpace(desc)),
                     qPrintable(desc));
        }
    }
    // Never on the page: not in the PDF's text, not painted.
    const QString pdf = m_home.filePath(QStringLiteral("anteprima.pdf"));
    WritePdf(*doc, pdf);
    const QString pdfText = PdfPages(pdf).join(u' ');
    QVERIFY(!pdfText.contains(QLatin1String("|{")));
    QVERIFY(pdfText.contains(QLatin1String("Dati tecnici")));
}

void TestProductPreview::everyDemoProductLaysOutCleanly()
{
    const QStringList ids = m_db->SuperQuery(
                                    QStringLiteral("SELECT string_agg(idprodotto, ',' ORDER BY "
                                                   "txcodprodotto) FROM prodotti"))
                                .split(u',');
    QCOMPARE(ids.size(), 30);
    const double footerTop = MmToDots(297 - 12 - 10);
    for (const QString &id : ids) {
        TProductPrintData data = ReadProductPrintData(m_db->Module(), id);
        FitNodeImagesForReport(data.DST_RPT_Prodotto.get(), *data.DST_RPT_AllDettagli, true);
        TKRTCrystalReport engine;
        BindProductPrint(engine, data);
        engine.Mode = mvKRTExport;
        engine.ExportOptions.FormatType = exfKRTRichText;
        engine.ExportOptions.FileName = m_home.filePath(QStringLiteral("giro.rtf"));
        QVERIFY(engine.Start(true));
        const auto doc = engine.Document();
        const QString where = data.DST_RPT_Dettagli->DisplayTextAt(0, 2);
        for (int p = 0; p < doc->PageCount(); ++p) {
            std::vector<const TPrimitive *> texts;
            for (const TPrimitive &item : doc->pages[size_t(p)].items) {
                if (item.kind == TPrimitiveKind::Text && !item.exportOnly
                    && !PrintedText(item).isEmpty())
                    texts.push_back(&item);
            }
            // No empty page: something besides the header and the footer.
            int body = 0;
            for (const TPrimitive *t : texts)
                body += t->rect.top() > MmToDots(26) && t->rect.top() < footerTop ? 1 : 0;
            QVERIFY2(body > 0,
                     qPrintable(QStringLiteral("%1: pagina %2 vuota").arg(where).arg(p + 1)));
            // No text over another, none into the footer.
            for (size_t a = 0; a < texts.size(); ++a) {
                const QRectF ra = texts[a]->rect.adjusted(1, 1, -1, -1);
                QVERIFY2(texts[a]->rect.top() >= footerTop - 1 || ra.bottom() < footerTop,
                         qPrintable(QStringLiteral("%1: \"%2\" nel piè di pagina")
                                        .arg(where, texts[a]->text)));
                for (size_t b = a + 1; b < texts.size(); ++b)
                    QVERIFY2(!ra.intersects(texts[b]->rect.adjusted(1, 1, -1, -1)),
                             qPrintable(QStringLiteral("%1, pagina %2: \"%3\" sopra \"%4\"")
                                            .arg(where)
                                            .arg(p + 1)
                                            .arg(texts[a]->text, texts[b]->text)));
            }
            // No heading at the foot of a page: something of its section follows it.
            for (const TPrimitive *t : texts) {
                if (t->objectName != u"Titolo" || t->rect.top() < MmToDots(26))
                    continue;
                bool followed = false;
                for (const TPrimitive *u : texts)
                    followed = followed
                               || (u->rect.top() > t->rect.bottom() - 1
                                   && u->rect.top() < footerTop);
                QVERIFY2(followed,
                         qPrintable(QStringLiteral("%1, pagina %2: titolo \"%3\" in fondo")
                                        .arg(where)
                                        .arg(p + 1)
                                        .arg(t->text)));
            }
        }
    }
}

QTEST_MAIN(TestProductPreview)
#include "tst_productpreview.moc"
