// The sample report that uses every feature, rendered the way the program does it.

#include "sampledata.h"

#include "common/sessioninfo.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reportrender.h"
#include "reports/richtext.h"
#include "reports/view_report.h"
#include "tests/support/dialogrecorder.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestSampleReport : public QObject
{
    Q_OBJECT

private slots:
    void rendersToACleanPdf();
    void withoutCoverAndAnotherCustomer();
    void inThePreviewWindow();
};

namespace {

void FillSample(TKRTCrystalReport &engine, SampleData &data)
{
    engine.Clear();
    engine.ReportName = SampleReportName();
    engine.Recordset = data.lines.get();
    engine.SubReports.Add(QStringLiteral("LISTINI"), data.priceLists.get());
    engine.Parameters.Add(QStringLiteral("flShowCover"), QStringLiteral("SI"));
    engine.Parameters.Add(QStringLiteral("txCliente"), QStringLiteral("Idraulica Rossi S.r.l."));
    engine.Parameters.Add(QStringLiteral("nuIva"), QStringLiteral("22"));
    engine.Parameters.Add(QStringLiteral("dtOfferta"), QDate(2024, 3, 15));
}

} // namespace

void TestSampleReport::rendersToACleanPdf()
{
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("VENTOREL_KEEP_SAMPLE");
    const QString outDir = keep.isEmpty() ? dir.path() : keep;
    SampleData data = MakeSampleData();
    TKRTCrystalReport engine;
    FillSample(engine, data);
    engine.Mode = mvKRTExport;
    engine.ExportOptions.FileName = outDir + QStringLiteral("/sample.pdf");
    QVERIFY(engine.Start(true));
    const auto doc = engine.Document();
    const int n = doc->PageCount();
    QVERIFY2(n >= 4, qPrintable(QString::number(n)));

    const QString pdf = engine.ExportOptions.FileName;
    QCOMPARE(PdfPageCount(pdf), n);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), n);
    // The cover on a page of its own, without the page header.
    QVERIFY(pages[0].contains(QLatin1String("OFFERTA COMMERCIALE")));
    QVERIFY(pages[0].contains(QLatin1String("Offerta per Idraulica Rossi S.r.l.")));
    QVERIFY(pages[0].contains(QLatin1String("Data offerta: 15 marzo 2024")));
    QVERIFY(!pages[0].contains(QLatin1String("Categoria")));
    // Every page after it: the page header, the footer with page N of M.
    for (int i = 0; i < n; ++i) {
        QVERIFY(pages[i].contains(QStringLiteral("Pagina %1 di %2").arg(i + 1).arg(n)));
        if (i > 0)
            QVERIFY(pages[i].startsWith(QLatin1String("Offerta per Idraulica Rossi S.r.l. "
                                                      "Offerta commerciale")));
    }
    // Groups in order, with their totals; rich text, formats, the subreport's price lists.
    const QString all = pages.join(u' ');
    QVERIFY(all.indexOf(QLatin1String("Categoria: Filtri"))
            < all.indexOf(QLatin1String("Categoria: Pompe")));
    QVERIFY(all.indexOf(QLatin1String("Categoria: Pompe"))
            < all.indexOf(QLatin1String("Categoria: Valvole")));
    const QStringList second = doc->PageTexts(1);
    QCOMPARE(second.indexOf(QStringLiteral("Categoria: Filtri")) + 1,
             second.indexOf(QStringLiteral("5 prodotti")));
    QVERIFY(all.contains(QLatin1String("acciaio inox AISI 316")));
    QVERIFY(all.contains(QLatin1String("Attacchi filettati")));
    QVERIFY(all.contains(QLatin1String("Listini disponibili:")));
    QVERIFY(all.contains(QStringLiteral("NOVITÀ")));
    QVERIFY(all.contains(QStringLiteral("Totale Filtri: €")));
    QVERIFY(all.contains(QLatin1String("15 prodotti offerti")));
    QVERIFY(all.contains(QStringLiteral("Totale offerta: €")));
    // The page marks tell where each product landed.
    for (int i = 1; i < n; ++i) {
        for (const QString &t : doc->PageTexts(i)) {
            if (t.contains(QLatin1String("|{NODO-")))
                QCOMPARE(t.left(3).toInt(), i + 1);
        }
    }
    // Logo on the cover and on every page header, one photo per product.
    const QList<PdfImage> images = PdfImages(pdf);
    int photos = 0;
    QList<int> logos(n + 1, 0);
    for (const PdfImage &img : images) {
        if (img.width == 360 && img.height == 120)
            logos[img.page] += 1;
        else
            ++photos;
    }
    QCOMPARE(photos, 15);
    for (int p = 1; p <= n; ++p)
        QCOMPARE(logos[p], 1);

    // A page as an image: white paper, ink in the body, nothing in the margins.
    const QString png = outDir + QStringLiteral("/sample-page");
    QVERIFY(RunOk(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"),
                   QStringLiteral("60"),
                   QStringLiteral("-f"),
                   QStringLiteral("2"),
                   QStringLiteral("-l"),
                   QStringLiteral("2"),
                   QStringLiteral("-png"),
                   QStringLiteral("-singlefile"),
                   pdf,
                   png}));
    const QImage page(png + QStringLiteral(".png"));
    QCOMPARE(page.size(), QSize(496, 702));
    int ink = 0;
    int marginInk = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const bool dark = page.pixelColor(x, y).lightness() < 160;
            if (x < 30 || x >= page.width() - 30)
                marginInk += dark ? 1 : 0;
            else
                ink += dark ? 1 : 0;
        }
    }
    QVERIFY(ink > 5000);
    QCOMPARE(marginInk, 0);

    // Rich text and the report that carries its data.
    engine.ExportOptions.FormatType = exfKRTRichText;
    engine.ExportOptions.FileName = outDir + QStringLiteral("/sample.rtf");
    engine.ExportReport();
    const QString rtfText = RtfFileToPlainText(engine.ExportOptions.FileName);
    QVERIFY(rtfText.indexOf(QLatin1String("OFFERTA COMMERCIALE"))
            < rtfText.indexOf(QLatin1String("Categoria: Filtri")));
    engine.ExportOptions.FormatType = exfKRTCrystal;
    engine.ExportOptions.FileName = outDir + QStringLiteral("/sample_con_dati.rpt");
    engine.ExportReport();
    TKRTCrystalReport again;
    again.ReportName = engine.ExportOptions.FileName;
    again.ReportWithData = true;
    again.Mode = 0;
    QVERIFY(again.Start(true));
    QCOMPARE(PageTexts(*again.Document()), PageTexts(*doc));
}

void TestSampleReport::withoutCoverAndAnotherCustomer()
{
    SampleData data = MakeSampleData(2);
    TKRTCrystalReport engine;
    FillSample(engine, data);
    engine.Parameters.Add(QStringLiteral("flShowCover"), QStringLiteral("NO"));
    engine.Mode = 0;
    QVERIFY(engine.Start(true));
    const QStringList first = engine.Document()->PageTexts(0);
    QCOMPARE(first.first(), QStringLiteral("Offerta per Idraulica Rossi S.r.l."));
    QVERIFY(!first.contains(QStringLiteral("OFFERTA COMMERCIALE")));
    QCOMPARE(first.at(2), QStringLiteral("Categoria: Filtri"));
}

void TestSampleReport::inThePreviewWindow()
{
    QTemporaryDir dir;
    SessionInfo().sUserSettingsFile = dir.filePath(QStringLiteral("VentorelWin_PROVA.ini"));
    SessionInfo().iPauseFactor = 0;
    TDialogRecorder dialogs;
    const QString printed = dir.filePath(QStringLiteral("stampante.pdf"));
    PdfPrinters printers(printed);
    SampleData data = MakeSampleData();
    QPointer<TVIEW_REPORT> window = new TVIEW_REPORT();
    window->ShowWaitPreview(true);
    window->SetWaitMessage(QStringLiteral("Caricamento dati"));
    FillSample(*window->VR_Preview->Engine, data);
    QVERIFY(window->VR_Preview->Show(false));
    window->FinishPreview();
    const auto doc = window->VR_Preview->Document();
    const int n = doc->PageCount();
    auto click = [&](const char *name) {
        QTest::mouseClick(window->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    };
    QLabel *counter = window->findChild<QLabel *>(QStringLiteral("SF_NuPages"));
    QCOMPARE(counter->text(), QStringLiteral("1 / %1").arg(n));
    click("PB_GoLast");
    QCOMPARE(counter->text(), QStringLiteral("%1 / %1").arg(n));
    click("PB_GoPrev");
    QCOMPARE(window->VR_Preview->GetCurrentPageNumber(), n - 1);
    QComboBox *zoom = window->findChild<QComboBox *>(QStringLiteral("CB_Zoom"));
    for (int i = 0; i < zoom->count(); ++i) {
        zoom->setCurrentIndex(i);
        QVERIFY(!window->VR_Preview->CurrentPageImage().isNull());
    }

    click("PB_Print");
    click("PB_StartPrint");
    QCOMPARE(PdfPageCount(printed), n);

    dialogs.QueueAnswer(true, dir.filePath(QStringLiteral("offerta")));
    click("PB_CreaPDF");
    QCOMPARE(dialogs.Count(TDialogKind::Error), 0);
    const QStringList saved = PdfPages(dir.filePath(QStringLiteral("offerta.pdf")));
    QCOMPARE(saved, PdfPages(printed));
    QCOMPARE(saved.size(), n);
    for (int i = 0; i < n; ++i) {
        for (const QString &t : doc->PageTexts(i)) {
            if (!t.contains(u'\n'))
                QVERIFY2(saved[i].contains(t.simplified()), qPrintable(t));
        }
    }
    delete window;
}

QTEST_MAIN(TestSampleReport)
#include "tst_samplereport.moc"
