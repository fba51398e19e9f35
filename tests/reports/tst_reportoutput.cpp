// What the renderers write: PDF as a reader sees it, printing on a PDF printer, rich text,
// the report file that carries its data, and the faults of data and files.

#include "reporttesthelpers.h"

#include "reports/reportdatafile.h"
#include "reports/reportrender.h"
#include "reports/richtext.h"

#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestReportOutput : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pdfShowsTheTextsOfEachPageAndTheImages();
    void pdfPageRange();
    void decodedPicturesAreHeldOnlyUntilTheirLastPage();
    void pdfShowsEveryDistinctPictureOnItsPage();
    void printingOnAPdfPrinterKeepsPaperCopiesAndRange();
    void richTextListsThePrintedTextsInPageOrder();
    void reportWithDataPrintsTheSamePagesWithoutTheDatasets();
    void damagedDataFile();
    void unwritableExportPaths_data();
    void unwritableExportPaths();
    void bytesThatAreNotAnImage();
    void fieldsTheDataLacks_data();
    void fieldsTheDataLacks();
    void parameterThatDoesNotConvert();
    void pageImageLooksLikeAPrintedPage();
    void richTextSplitAcrossPagesPrintsEachLineOnce();
    void pdfTextLayerHoldsPlainLettersNotLigatures();
    void pageMarksGoToTheExportsButNeverOnThePage();

private:
    std::unique_ptr<TReportDocument> MakeProducts(int rows);
    // Rows whose photos all differ: the hue of row i (from 0) is PhotoHue(i).
    std::unique_ptr<TReportDocument> MakeDistinctPhotos(int rows);
    // The product listing over rows of code, price, rich text and picture.
    std::unique_ptr<TReportDocument> RenderProducts(const QList<QVariantList> &rows);
    static int PhotoHue(int row) { return row * 360 / 12 % 360; }
    QTemporaryDir m_dir;
    std::unique_ptr<TReportDefinition> m_def;
    std::unique_ptr<TDataSet> m_data;
};

namespace {

const char *const kProducts = R"RPT(report "Catalogo"
  page: A4 landscape
  margins: 12
band page-header
  height: 12
  image Logo
    rect: 0 0 30 10
    file: "logo.png"
  text Titolo
    rect: 40 0 200 10
    text: Catalogo prodotti
    font: bold 14
band detail
  height: 40
  keep-together: yes
  field Codice
    rect: 0 0 40 6
    value: {txCodice}
    font: bold
  field Prezzo
    rect: 200 0 60 6
    value: {nuPrezzo}
    format: "€ #,##0.00"
    align: right
  richtext Testo
    rect: 0 8 150 20
    value: {txRtf}
  image Foto
    rect: 160 8 40 30
    value: {imgFoto}
band page-footer
  height: 8
  special Pag
    rect: 0 0 273 6
    kind: page-n-of-m
    align: center
)RPT";

} // namespace

void TestReportOutput::init()
{
    QVERIFY(m_dir.isValid());
    QImage logo(200, 80, QImage::Format_RGB32);
    logo.fill(QColor(20, 60, 160));
    QVERIFY(logo.save(m_dir.filePath(QStringLiteral("logo.png"))));
}

std::unique_ptr<TReportDocument> TestReportOutput::MakeProducts(int rows)
{
    const QByteArray red = ImageBytes(300, 200, Qt::red, "PNG");
    const QByteArray green = ImageBytes(120, 240, Qt::green, "JPEG");
    QList<QVariantList> list;
    for (int i = 1; i <= rows; ++i) {
        list << QVariantList{QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')),
                             i * 10.5,
                             QStringLiteral("{\\rtf1 Descrizione \\b del prodotto\\b0  %1\\par "
                                            "Seconda riga}")
                                 .arg(i),
                             i % 2 ? red : green};
    }
    return RenderProducts(list);
}

std::unique_ptr<TReportDocument> TestReportOutput::MakeDistinctPhotos(int rows)
{
    QList<QVariantList> list;
    for (int i = 0; i < rows; ++i) {
        list << QVariantList{QStringLiteral("P%1").arg(i + 1, 3, 10, QLatin1Char('0')),
                             10.0,
                             QString(),
                             ImageBytes(400, 300, QColor::fromHsv(PhotoHue(i), 255, 230), "JPEG")};
    }
    return RenderProducts(list);
}

std::unique_ptr<TReportDocument> TestReportOutput::RenderProducts(const QList<QVariantList> &rows)
{
    m_data = MakeData({QStringLiteral("txCodice:text"),
                       QStringLiteral("nuPrezzo:real"),
                       QStringLiteral("txRtf:text"),
                       QStringLiteral("imgFoto:blob")},
                      rows);
    m_def = Parse(QString::fromUtf8(kProducts), m_dir.filePath(QStringLiteral("catalogo.RPT")));
    TReportInput in;
    in.main = m_data.get();
    in.printTime = QDateTime(QDate(2024, 3, 15), QTime(9, 0));
    return RenderReport(*m_def, in);
}

void TestReportOutput::decodedPicturesAreHeldOnlyUntilTheirLastPage()
{
    // 3 pages of 4 distinct photos under the logo of the page header.
    const auto doc = MakeDistinctPhotos(12);
    QCOMPARE(doc->PageCount(), 3);
    std::vector<const TReportPage *> plan;
    for (const TReportPage &page : doc->pages)
        plan.push_back(&page);
    // Pages 1, 2, 3, then page 1 again (a second copy): its photos come back.
    plan.push_back(&doc->pages[0]);
    TImageCache images;
    images.Plan(plan);
    QImage canvas(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    painter.scale(0.01, 0.01);
    QList<int> held;
    for (const TReportPage *page : plan) {
        PaintPage(painter, *page, images);
        held << images.Count();
    }
    // After each page only what a later page shows is kept: the logo and the photos of page 1
    // (its second copy is to come); the photos of pages 2 and 3 go once painted.
    QCOMPARE(held, (QList<int>{5, 5, 5, 0}));
    // Without a plan the cache keeps what it decoded, up to its bound.
    TImageCache bounded(6);
    for (const TReportPage &page : doc->pages)
        PaintPage(painter, page, bounded);
    QCOMPARE(bounded.Count(), 6);
}

void TestReportOutput::pdfShowsEveryDistinctPictureOnItsPage()
{
    const auto doc = MakeDistinctPhotos(12);
    const QString pdf = m_dir.filePath(QStringLiteral("foto.pdf"));
    WritePdf(*doc, pdf);
    // Per page: the logo (one object for the whole file) and four photos of their own.
    const QStringList lines = Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                  .split(u'\n');
    QHash<int, int> perPage;
    QSet<QString> logoObjects;
    QSet<QString> photoObjects;
    for (const QString &line : lines.mid(2)) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 12 || f.at(2) != u"image")
            continue;
        perPage[f.at(0).toInt()] += 1;
        (f.at(3) == u"200" ? logoObjects : photoObjects).insert(f.at(10));
    }
    QCOMPARE(perPage, (QHash<int, int>{{1, 5}, {2, 5}, {3, 5}}));
    QCOMPARE(logoObjects.size(), 1);
    QCOMPARE(photoObjects.size(), 12);
    // Each photo is there with its own colour, on the page of its row.
    QVERIFY(RunOk(QStringLiteral("pdfimages"),
                  {QStringLiteral("-png"), QStringLiteral("-p"), pdf, m_dir.filePath("img")}));
    QMap<int, QList<int>> huesPerPage;
    const QStringList files
        = QDir(m_dir.path()).entryList({QStringLiteral("img-*.png")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        const QImage image(m_dir.filePath(name));
        if (image.width() == 200)
            continue; // the logo
        const int page = name.section(u'-', 1, 1).toInt();
        huesPerPage[page] << image.pixelColor(image.rect().center()).hsvHue();
    }
    for (int page = 1; page <= 3; ++page) {
        const QList<int> hues = huesPerPage.value(page);
        QCOMPARE(hues.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const int expected = PhotoHue((page - 1) * 4 + i);
            const bool found = std::any_of(hues.begin(), hues.end(), [&](int h) {
                const int d = qAbs(h - expected) % 360;
                return qMin(d, 360 - d) <= 6;
            });
            QVERIFY2(found,
                     qPrintable(QStringLiteral("pagina %1, tinta %2").arg(page).arg(expected)));
        }
    }
}

void TestReportOutput::pdfShowsTheTextsOfEachPageAndTheImages()
{
    // Landscape A4: 186 mm of body less 20 of header and footer; 4 rows of 40 mm a page.
    const auto doc = MakeProducts(10);
    QCOMPARE(doc->PageCount(), 3);
    const QString pdf = m_dir.filePath(QStringLiteral("catalogo.pdf"));
    WritePdf(*doc, pdf);
    QCOMPARE(PdfPageCount(pdf), 3);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[0].contains(QLatin1String("Catalogo prodotti")));
    QVERIFY(pages[0].contains(QLatin1String("P001")));
    QVERIFY2(pages[0].contains(QStringLiteral("€ 10,50")), qPrintable(pages[0]));
    QVERIFY(pages[0].contains(QLatin1String("Descrizione del prodotto 1")));
    QVERIFY(pages[0].contains(QLatin1String("Seconda riga")));
    QVERIFY(pages[0].contains(QLatin1String("P004")));
    QVERIFY(!pages[0].contains(QLatin1String("P005")));
    QVERIFY(pages[1].contains(QLatin1String("P005")));
    QVERIFY(pages[2].contains(QLatin1String("P010")));
    QVERIFY(pages[2].contains(QStringLiteral("€ 105,00")));
    for (int i = 0; i < 3; ++i)
        QVERIFY(pages[i].contains(QStringLiteral("Pagina %1 di 3").arg(i + 1)));
    // Every page shows the logo and one photo a row; equal images are stored once.
    const QList<PdfImage> images = PdfImages(pdf);
    QList<int> perPage(4, 0);
    for (const PdfImage &img : images)
        perPage[img.page] += 1;
    QCOMPARE(perPage[1], 5);
    QCOMPARE(perPage[3], 3);
    const auto sizeBefore = QFileInfo(pdf).size();
    QVERIFY2(sizeBefore < 400000, "equal images must not be stored again and again");
}

void TestReportOutput::pdfPageRange()
{
    const auto doc = MakeProducts(10);
    const QString pdf = m_dir.filePath(QStringLiteral("range.pdf"));
    WritePdf(*doc, pdf, 2, 3);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages[0].contains(QLatin1String("P005")));
    QVERIFY(pages[1].contains(QLatin1String("P010")));
}

void TestReportOutput::printingOnAPdfPrinterKeepsPaperCopiesAndRange()
{
    const auto doc = MakeProducts(10);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_dir.filePath(QStringLiteral("stampa.pdf"));
    printer.setOutputFileName(pdf);
    // The printer starts in portrait Letter: the report's landscape A4 is kept.
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Portrait);
    PrintDocument(*doc, printer, 2, 3, 2);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 4);
    QVERIFY(pages[0].contains(QLatin1String("Pagina 2 di 3")));
    QVERIFY(pages[1].contains(QLatin1String("Pagina 3 di 3")));
    QVERIFY(pages[2].contains(QLatin1String("Pagina 2 di 3")));
    QVERIFY(pages[3].contains(QLatin1String("Pagina 3 di 3")));
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QLatin1String("842 x 595 pts (A4)")), qPrintable(info));
}

void TestReportOutput::richTextListsThePrintedTextsInPageOrder()
{
    const auto doc = MakeProducts(6);
    const QString rtfFile = m_dir.filePath(QStringLiteral("testo.rtf"));
    WriteRtf(*doc, rtfFile);
    const QString plain = RtfFileToPlainText(rtfFile);
    QStringList expected;
    for (int i = 0; i < doc->PageCount(); ++i)
        expected << doc->PageTexts(i);
    QCOMPARE(plain.split(u'\n'), expected.join(u'\n').split(u'\n'));
    QVERIFY(plain.indexOf(QLatin1String("P004")) < plain.indexOf(QLatin1String("Pagina 1 di 2")));
    QVERIFY(plain.indexOf(QLatin1String("Pagina 1 di 2")) < plain.indexOf(QLatin1String("P005")));
    QFile f(rtfFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count("\\page"), 1);
}

void TestReportOutput::reportWithDataPrintsTheSamePagesWithoutTheDatasets()
{
    const auto doc = MakeProducts(7);
    const QStringList before = PageTexts(*doc);
    const QString file = m_dir.filePath(QStringLiteral("condati.rpt"));
    TReportInput in;
    in.main = m_data.get();
    in.printTime = QDateTime(QDate(2024, 3, 15), QTime(9, 0));
    m_data->SetRecNo(3);
    WriteReportDataFile(file, *m_def, in);
    QCOMPARE(m_data->RecNo(), 3);
    m_data.reset();
    QFile::remove(m_dir.filePath(QStringLiteral("logo.png")));
    QVERIFY(IsReportDataFile(file));

    auto data = ReadReportDataFile(file);
    auto def = ParseDataFileDefinition(*data);
    const auto again = RenderReport(*def, data->input);
    QCOMPARE(PageTexts(*again), before);
    int images = 0;
    for (const TPrimitive &p : again->pages[0].items)
        images += p.kind == TPrimitiveKind::Image ? 1 : 0;
    QCOMPARE(images, 5);
}

void TestReportOutput::damagedDataFile()
{
    const QString file = m_dir.filePath(QStringLiteral("rotto.rpt"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("VTRPTDAT\x00\x00\x00\x01garbage", 20);
    f.close();
    try {
        ReadReportDataFile(file);
        QFAIL("read");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("rotto.rpt")), qPrintable(e.text()));
    }
}

void TestReportOutput::unwritableExportPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder")
        << QStringLiteral("/nessuna/cartella/x.pdf") << QStringLiteral("non esiste");
    QTest::newRow("a folder") << QStringLiteral("@DIR@") << QStringLiteral("cartella");
    QTest::newRow("no name") << QString() << QStringLiteral("mancante");
}

void TestReportOutput::unwritableExportPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    path.replace(QLatin1String("@DIR@"), m_dir.path());
    const auto doc = MakeProducts(2);
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
    const std::function<void()> writers[] = {[&] { WritePdf(*doc, path); },
                                             [&] { WriteRtf(*doc, path); },
                                             [&] { WritePlainText(*doc, path); }};
    for (const auto &write : writers) {
        try {
            write();
            QFAIL("written");
        } catch (const EReportError &e) {
            QVERIFY2(e.text().contains(reason), qPrintable(e.text()));
            if (!path.isEmpty())
                QVERIFY2(e.text().contains(QDir::toNativeSeparators(path)), qPrintable(e.text()));
        }
    }
    // No half-written file is left behind.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
}

void TestReportOutput::bytesThatAreNotAnImage()
{
    auto data = MakeData({QStringLiteral("img:blob")},
                         {{ImageBytes(10, 10, Qt::blue)}, {QByteArray("not an image at all")}});
    TReportInput in;
    in.main = data.get();
    try {
        Render(QStringLiteral("report \"x\"\nband detail\n  height: 20\n  image Foto\n"
                              "    rect: 0 0 20 20\n    value: {img}\n"),
               in);
        QFAIL("rendered");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("\"test.RPT\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("riga 4")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("oggetto \"Foto\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("campo \"img\", riga di dati 2")),
                 qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("non sono un'immagine")), qPrintable(e.text()));
    }
}

void TestReportOutput::fieldsTheDataLacks_data()
{
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("field");
    QTest::newRow("field object") << "  field A\n    rect: 0 0 10 5\n    value: {txManca}\n"
                                  << "oggetto \"A\""
                                  << "txManca";
    QTest::newRow("condition") << "  suppress: {flManca}\n"
                               << "riga 2"
                               << "flManca";
    QTest::newRow("through a formula") << "  field B\n    rect: 0 0 10 5\n    value: {@F}\n"
                                       << "formula \"F\""
                                       << "nuManca";
    QTest::newRow("link field")
        << "  subreport S\n    rect: 0 5 10 5\n    report: Sub\n    link: idManca = id\n"
        << "oggetto \"S\""
        << "idManca";
}

void TestReportOutput::fieldsTheDataLacks()
{
    QFETCH(QString, band);
    QFETCH(QString, where);
    QFETCH(QString, field);
    auto data = MakeData({QStringLiteral("id:int"), QStringLiteral("txNome:text")},
                         {{1, QStringLiteral("a")}});
    TReportInput in;
    in.main = data.get();
    try {
        Render(QStringLiteral("report \"x\"\nband detail\n  height: 10\n") + band
                   + QStringLiteral("formula F\n  value: {nuManca} * 2\nsubreport Sub\n"
                                    "  band detail\n    height: 5\n"),
               in);
        QFAIL("rendered");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().startsWith(QLatin1String("Report \"test.RPT\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(where), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("il campo")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("\"%1\"").arg(field)), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("report principale")), qPrintable(e.text()));
    }
}

void TestReportOutput::parameterThatDoesNotConvert()
{
    TReportInput in;
    in.parameters = {{QStringLiteral("NUSCONTO"), QStringLiteral("dieci")}};
    try {
        Render(QStringLiteral("report \"x\"\nparameter nuSconto\n  type: number\n"), in);
        QFAIL("rendered");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("\"dieci\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("\"nuSconto\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("numero")), qPrintable(e.text()));
    }
}

void TestReportOutput::pageImageLooksLikeAPrintedPage()
{
    const auto doc = MakeProducts(4);
    const QImage page = RenderPageImage(*doc, 0, 50);
    QCOMPARE(page.size(), QSize(qRound(297 / 25.4 * 50), qRound(210 / 25.4 * 50)));
    // White margins, ink inside.
    QCOMPARE(page.pixelColor(2, 2), QColor(Qt::white));
    int ink = 0;
    for (int y = 0; y < page.height(); y += 2) {
        for (int x = 0; x < page.width(); x += 2)
            ink += page.pixelColor(x, y).lightness() < 200 ? 1 : 0;
    }
    QVERIFY(ink > 500);
}

void TestReportOutput::richTextSplitAcrossPagesPrintsEachLineOnce()
{
    QString rtf = QStringLiteral("{\\rtf1\\ansi ");
    for (int i = 1; i <= 120; ++i)
        rtf += QStringLiteral("Paragrafo %1 \\b grassetto\\b0  e testo normale.\\par ").arg(i);
    rtf += u'}';
    auto data = MakeData({QStringLiteral("txRtf:text")}, {{rtf}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(QStringLiteral(
                                "report \"x\"\n  margins: 15\nband detail\n  height: 10\n"
                                "  richtext Testo\n    rect: 0 0 120 10\n"
                                "    value: {txRtf}\n    grow: yes\n"),
                            in);
    QVERIFY(doc->PageCount() >= 2);
    const QString pdf = m_dir.filePath(QStringLiteral("lungo.pdf"));
    WritePdf(*doc, pdf);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), doc->PageCount());
    const QString all = pages.join(u' ');
    for (int i = 1; i <= 120; ++i) {
        const QString line = QStringLiteral("Paragrafo %1 grassetto e testo normale.").arg(i);
        QCOMPARE(all.count(line), 1);
    }
    QCOMPARE(PageTexts(*doc).join(u'\n').count(QLatin1String("Paragrafo")), 120);
}

void TestReportOutput::pdfTextLayerHoldsPlainLettersNotLigatures()
{
    // DejaVu draws "fi", "fl" and "ffi" as single ligature glyphs when text is shaped.
    const QString words = QStringLiteral("official fluffy fifty flow efficient");
    auto data = MakeData({QStringLiteral("t:text"), QStringLiteral("r:text")},
                         {{words,
                           QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Serif;}}\\f0 "
                                          "officina fluida affiliata\\par}")}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(QStringLiteral("report \"x\"\n  font: \"DejaVu Sans\" 11\n"
                                           "band detail\n  height: 30\n"
                                           "  field Testo\n    rect: 0 0 150 8\n    value: {t}\n"
                                           "  table Cella\n    rect: 0 10 150 8\n"
                                           "    column A\n      text: fiore filo\n"
                                           "  richtext Ricco\n    rect: 0 20 150 8\n"
                                           "    value: {r}\n"),
                            in);
    const QString pdf = m_dir.filePath(QStringLiteral("legature.pdf"));
    WritePdf(*doc, pdf);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    for (const QString &w :
         {words, QStringLiteral("fiore filo"), QStringLiteral("officina fluida affiliata")})
        QVERIFY2(pages[0].contains(w), qPrintable(pages[0]));
    for (const QChar ligature : {QChar(0xFB00), QChar(0xFB01), QChar(0xFB02), QChar(0xFB03)})
        QVERIFY(!pages[0].contains(ligature));
}

void TestReportOutput::pageMarksGoToTheExportsButNeverOnThePage()
{
    auto data = MakeData({QStringLiteral("id:text")}, {{QStringLiteral("{NODO-1}")}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(QStringLiteral("report \"x\"\n  margins: 10\n"
                                           "band detail\n  height: 40\n"
                                           "  text Visibile\n    rect: 0 20 100 8\n"
                                           "    text: Testo stampato\n"
                                           "  field Marca\n    rect: 0 0 190 15\n"
                                           "    value: Format(PageNumber, \"000\") & \"|\" & {id}\n"
                                           "    font: 30\n    background: black\n"
                                           "    printed: no\n"),
                            in);
    // In the texts of the page and in the rich text: what windows look for.
    QVERIFY(doc->PageTexts(0).contains(QStringLiteral("001|{NODO-1}")));
    QVERIFY(RtfToPlainText(DocumentRtf(*doc)).contains(QLatin1String("001|{NODO-1}")));
    // Not on the page: no ink where it stands (even its background is not painted), and not
    // in the PDF's text.
    const QImage page = RenderPageImage(*doc, 0, 50);
    const int top = qRound(10 / 25.4 * 50);
    const int bottom = qRound(25 / 25.4 * 50);
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < page.width(); ++x)
            QCOMPARE(page.pixelColor(x, y), QColor(Qt::white));
    }
    const QString pdf = m_dir.filePath(QStringLiteral("marche.pdf"));
    WritePdf(*doc, pdf);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].contains(QLatin1String("Testo stampato")));
    QVERIFY(!pages[0].contains(QLatin1String("NODO")));
}

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"
