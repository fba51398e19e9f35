// The printed quote's data and pages on the demo database: the document sets filled from the
// three layout procedures, the company data and logo, the pictures fitted to the layout's
// boxes by shape, and both demo layouts written to PDF and read back page by page.

#include "common/imageroutines.h"
#include "common/sessioninfo.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "domain/layoutimages.h"
#include "quotes/layoutdocument.h"
#include "reports/krtcrystalreport.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
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

QByteArray Picture(int w, int h, QColor colour = QColor(40, 120, 200))
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A one-row set with the picture columns of the layout rows and the given boxes.
std::unique_ptr<TDataSet> BoxRow(const QByteArray &picture)
{
    auto rows = std::make_unique<TDataSet>();
    rows->AddFieldDef(QStringLiteral("nuTipologia"), TFieldType::Integer);
    rows->AddFieldDef(QStringLiteral("flCopertinaVisible"), TFieldType::Integer);
    rows->AddFieldDef(QStringLiteral("txDescNodo"), TFieldType::Text);
    for (const char *f : {"imgNodo", "imgNodo1", "imgNodo2"})
        rows->AddFieldDef(QLatin1String(f), TFieldType::Blob);
    for (const char *f : {"IMGWidthS",
                          "IMGHeightS",
                          "IMGWidthH",
                          "IMGHeightH",
                          "IMGWidthHP",
                          "IMGHeightHP",
                          "IMGWidthV",
                          "IMGHeightV",
                          "IMGWidthVP",
                          "IMGHeightVP"})
        rows->AddFieldDef(QLatin1String(f), TFieldType::Real);
    for (const QString &suffix : {QString(), QStringLiteral("1"), QStringLiteral("2")}) {
        for (const char *f : {"flPanorama", "flSquare", "flHorizontal", "flVertical"})
            rows->AddFieldDef(QLatin1String(f) + suffix, TFieldType::Integer);
    }
    rows->CreateDataSet();
    rows->Append();
    rows->FieldByName(QStringLiteral("nuTipologia")).SetValue(5);
    rows->FieldByName(QStringLiteral("flCopertinaVisible")).SetValue(1);
    rows->FieldByName(QStringLiteral("imgNodo")).SetValue(picture);
    const std::pair<const char *, double> boxes[] = {{"IMGWidthS", 50},
                                                     {"IMGHeightS", 50},
                                                     {"IMGWidthH", 60},
                                                     {"IMGHeightH", 40},
                                                     {"IMGWidthHP", 80},
                                                     {"IMGHeightHP", 30},
                                                     {"IMGWidthV", 40},
                                                     {"IMGHeightV", 60},
                                                     {"IMGWidthVP", 30},
                                                     {"IMGHeightVP", 80}};
    for (const auto &[name, mm] : boxes)
        rows->FieldByName(QLatin1String(name)).SetValue(mm);
    rows->Post();
    return rows;
}

int Flag(TDataSet &rows, const QString &name)
{
    return int(rows.FieldByName(name).AsInteger());
}

} // namespace

class TestLayoutDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void picturesFitTheBoxOfTheirShape_data();
    void picturesFitTheBoxOfTheirShape();
    void everyPictureOfAContentRowIsFittedWithItsOwnFlags();
    void manyPicturesEachGoToTheirOwnRow();
    void aPictureShownByTwoRowsIsFittedOnce();
    void documentSetsAreFilledByKind();
    void aLongQuoteHasEveryPictureFittedInEverySet();
    void quoteWithoutCompanyLogoHasNoLogo();
    void bothLayoutsPrintTheWholeQuote_data();
    void bothLayoutsPrintTheWholeQuote();
    void customisingDesignsDifferOnlyInTheirSubreportNames_data();
    void customisingDesignsDifferOnlyInTheirSubreportNames();

private:
    QString QuoteWithMostLines() const;
    TLayoutChoice Layout(const QString &code, const QString &sIdSocieta);
    QString CompanyOf(const QString &sIdPreventivo) const;

    QTemporaryDir m_home;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
};

void TestLayoutDocument::initTestCase()
{
    QVERIFY(m_home.isValid());
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("Reports"))));
    const QStringList reports = QDir(source + QStringLiteral("/Reports"))
                                    .entryList({QStringLiteral("Layout*.RPT")});
    QCOMPARE(reports.size(), 4);
    for (const QString &name : reports)
        QVERIFY(QFile::copy(source + QStringLiteral("/Reports/") + name,
                            m_home.filePath(QStringLiteral("Reports/") + name)));
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void TestLayoutDocument::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = QStringLiteral("MROSSI");
}

void TestLayoutDocument::cleanup()
{
    m_dialogs.reset();
    m_db.reset();
}

QString TestLayoutDocument::QuoteWithMostLines() const
{
    return m_db->SuperQuery(QStringLiteral(
        "SELECT q.idpreventivo FROM preventivi q JOIN preventivo_dettaglio d ON d.idpreventivo = "
        "q.idpreventivo WHERE q.dtcanc IS NULL AND q.idcliente IS NOT NULL AND "
        "d.flprodottoattivo = 1 GROUP BY q.idpreventivo ORDER BY count(*) DESC, q.idpreventivo "
        "LIMIT 1"));
}

QString TestLayoutDocument::CompanyOf(const QString &sIdPreventivo) const
{
    return m_db->SuperQuery(
        QStringLiteral("SELECT idsocieta FROM preventivi WHERE idpreventivo = '%1'")
            .arg(sIdPreventivo));
}

TLayoutChoice TestLayoutDocument::Layout(const QString &code, const QString &sIdSocieta)
{
    auto layouts = m_db->Module().Query(
        ExecText(QStringLiteral("EstraiLayouts"), {SqlText(sIdSocieta)}));
    for (layouts->First(); !layouts->Eof(); layouts->Next()) {
        if (layouts->FieldByName(QStringLiteral("txCodLayout")).AsString() == code)
            return LayoutChoiceFromRow(*layouts);
    }
    return TLayoutChoice();
}

void TestLayoutDocument::picturesFitTheBoxOfTheirShape_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("panorama");
    QTest::addColumn<double>("boxWidthMm");
    QTest::addColumn<double>("boxHeightMm");
    // Aspect 40 %: a panorama, into the horizontal "P" box; 60 %: the horizontal box; 80 %:
    // square.
    QTest::newRow("panorama 40 %") << 1000 << 400 << "flHorizontal" << true << 80.0 << 30.0;
    QTest::newRow("horizontal 60 %") << 1000 << 600 << "flHorizontal" << false << 60.0 << 40.0;
    QTest::newRow("square 80 %") << 1000 << 800 << "flSquare" << false << 50.0 << 50.0;
    QTest::newRow("vertical 60 %") << 600 << 1000 << "flVertical" << false << 40.0 << 60.0;
    QTest::newRow("vertical panorama") << 300 << 1000 << "flVertical" << true << 30.0 << 80.0;
}

void TestLayoutDocument::picturesFitTheBoxOfTheirShape()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, flag);
    QFETCH(bool, panorama);
    QFETCH(double, boxWidthMm);
    QFETCH(double, boxHeightMm);
    auto rows = BoxRow(Picture(width, height));
    QVERIFY(FitLayoutImages(rows.get(), nullptr, nullptr).isEmpty());
    rows->First();
    const QImage fitted = ImageLoadFromBytes(rows->FieldByName(QStringLiteral("imgNodo")).AsBytes());
    QCOMPARE(fitted.size(), QSize(MmToPixels(boxWidthMm), MmToPixels(boxHeightMm)));
    // Never distorted: the picture (blue) fills the box on its long side, white elsewhere.
    const QColor centre = fitted.pixelColor(fitted.width() / 2, fitted.height() / 2);
    QVERIFY(centre.blue() > 150 && centre.red() < 100);
    QCOMPARE(Flag(*rows, flag), 1);
    QCOMPARE(Flag(*rows, QStringLiteral("flPanorama")), panorama ? 1 : 0);
    for (const QString &other : {QStringLiteral("flSquare"),
                                 QStringLiteral("flHorizontal"),
                                 QStringLiteral("flVertical")}) {
        if (other != flag)
            QCOMPARE(Flag(*rows, other), 0);
    }
}

void TestLayoutDocument::everyPictureOfAContentRowIsFittedWithItsOwnFlags()
{
    auto rows = BoxRow(Picture(1000, 600));
    rows->First();
    rows->Edit();
    rows->FieldByName(QStringLiteral("imgNodo1")).SetValue(Picture(1000, 400));
    rows->FieldByName(QStringLiteral("imgNodo2")).SetValue(QByteArray("not a picture"));
    rows->Post();
    const QStringList problems = FitLayoutImages(nullptr, nullptr, rows.get());
    QCOMPARE(problems.size(), 1);
    rows->First();
    QCOMPARE(Flag(*rows, QStringLiteral("flHorizontal")), 1);
    QCOMPARE(Flag(*rows, QStringLiteral("flPanorama")), 0);
    QCOMPARE(Flag(*rows, QStringLiteral("flHorizontal1")), 1);
    QCOMPARE(Flag(*rows, QStringLiteral("flPanorama1")), 1);
    QCOMPARE(ImageLoadFromBytes(rows->FieldByName(QStringLiteral("imgNodo1")).AsBytes()).size(),
             QSize(MmToPixels(80), MmToPixels(30)));
    // The unreadable picture is left out, not printed as garbage.
    QVERIFY(rows->FieldByName(QStringLiteral("imgNodo2")).IsNull());
    QCOMPARE(Flag(*rows, QStringLiteral("flHorizontal2")), 0);
}

void TestLayoutDocument::manyPicturesEachGoToTheirOwnRow()
{
    // Pictures of every shape in one set, fitted together: each row gets the fit of its own
    // picture, in its own box, with its own flags.
    struct Shape
    {
        int w, h;
        const char *flag;
        bool panorama;
        QSize box;
    };
    const Shape shapes[] = {{1000, 600, "flHorizontal", false, {60, 40}},
                            {1000, 400, "flHorizontal", true, {80, 30}},
                            {600, 1000, "flVertical", false, {40, 60}},
                            {400, 1000, "flVertical", true, {30, 80}},
                            {900, 800, "flSquare", false, {50, 50}}};
    auto rows = BoxRow(Picture(10, 10));
    rows->First();
    const int count = 15;
    for (int i = 1; i < count; ++i) {
        rows->First();
        QList<QVariant> boxes;
        for (int f = rows->FieldIndex(QStringLiteral("IMGWidthS"));
             f <= rows->FieldIndex(QStringLiteral("IMGHeightVP"));
             ++f)
            boxes << rows->Fields(f).AsFloat();
        rows->Append();
        int f = rows->FieldIndex(QStringLiteral("IMGWidthS"));
        for (const QVariant &mm : boxes)
            rows->Fields(f++).SetValue(mm.toDouble());
        rows->Post();
    }
    int i = 0;
    for (rows->First(); !rows->Eof(); rows->Next(), ++i) {
        const Shape &s = shapes[i % 5];
        rows->Edit();
        rows->FieldByName(QStringLiteral("txDescNodo")).SetValue(QString::number(i));
        rows->FieldByName(QStringLiteral("imgNodo"))
            .SetValue(Picture(s.w, s.h, QColor::fromHsv(i * 23, 200, 200)));
        rows->Post();
    }
    TLayoutImageFitter fitter;
    QVERIFY(fitter.Fit(nullptr, nullptr, rows.get()).isEmpty());
    i = 0;
    for (rows->First(); !rows->Eof(); rows->Next(), ++i) {
        const Shape &s = shapes[i % 5];
        QCOMPARE(rows->FieldByName(QStringLiteral("txDescNodo")).AsString(), QString::number(i));
        QCOMPARE(Flag(*rows, QLatin1String(s.flag)), 1);
        QCOMPARE(Flag(*rows, QStringLiteral("flPanorama")), s.panorama ? 1 : 0);
        const QImage fitted = ImageLoadFromBytes(
            rows->FieldByName(QStringLiteral("imgNodo")).AsBytes());
        QCOMPARE(fitted.size(), QSize(MmToPixels(s.box.width()), MmToPixels(s.box.height())));
        // The picture's own colour at the centre of its box (hues go round at 360).
        const int hue = fitted.pixelColor(fitted.width() / 2, fitted.height() / 2).hsvHue();
        const int off = qAbs(hue - QColor::fromHsv(i * 23, 200, 200).hsvHue());
        QVERIFY2(qMin(off, 360 - off) <= 4, qPrintable(QString::number(i)));
    }
}

void TestLayoutDocument::aPictureShownByTwoRowsIsFittedOnce()
{
    // The same picture (equal bytes, read separately) in the rows of two calls, and in a
    // third row whose box differs.
    const QByteArray picture = Picture(1000, 600);
    auto first = BoxRow(picture);
    auto second = BoxRow(QByteArray(picture.constData(), picture.size()));
    auto other = BoxRow(picture);
    other->First();
    other->Edit();
    other->FieldByName(QStringLiteral("IMGWidthH")).SetValue(90.0);
    other->FieldByName(QStringLiteral("imgNodo1")).SetValue(Picture(1000, 600, Qt::red));
    other->Post();
    TLayoutImageFitter fitter;
    QVERIFY(fitter.Fit(first.get(), nullptr, nullptr).isEmpty());
    QVERIFY(fitter.Fit(nullptr, nullptr, second.get()).isEmpty());
    QVERIFY(fitter.Fit(nullptr, nullptr, other.get()).isEmpty());
    first->First();
    second->First();
    other->First();
    const QByteArray a = first->FieldByName(QStringLiteral("imgNodo")).AsBytes();
    const QByteArray b = second->FieldByName(QStringLiteral("imgNodo")).AsBytes();
    QVERIFY(!a.isEmpty());
    QVERIFY2(a.constData() == b.constData(), "the second row got a fit of its own");
    QCOMPARE(Flag(*second, QStringLiteral("flHorizontal")), 1);
    const QByteArray wider = other->FieldByName(QStringLiteral("imgNodo")).AsBytes();
    QCOMPARE(ImageLoadFromBytes(wider).size(), QSize(MmToPixels(90), MmToPixels(40)));
    const QImage red = ImageLoadFromBytes(other->FieldByName(QStringLiteral("imgNodo1")).AsBytes());
    QVERIFY(red.pixelColor(red.width() / 2, red.height() / 2).red() > 200);
}

void TestLayoutDocument::documentSetsAreFilledByKind()
{
    const QString quote = QuoteWithMostLines();
    const QString company = CompanyOf(quote);
    const TLayoutChoice layout = Layout(QStringLiteral("STD"), company);
    QCOMPARE(layout.txNomeReport, QStringLiteral("LayoutStandard"));
    QStringList steps;
    TLayoutDocument doc;
    ReadLayoutDocument(doc, m_db->Module(), quote, company, layout, [&](TLayoutStep s) {
        steps << LayoutStepText(s);
    });
    QCOMPARE(steps.size(), 5);
    QCOMPARE(steps.first(),
             QStringLiteral("Estrazione elenco dei prodotti del preventivo in corso..."));

    auto main = m_db->Module().Query(
        LayoutProcedureCommand(layout.txNomeStoreMain, quote, layout.txCodLayout));
    auto count = [&](const QString &filter) { return main->CountMatching(filter); };
    struct Expect
    {
        TDataSet *set;
        QString filter;
    };
    const Expect expected[] = {
        {doc.DST_RPT_Main.get(),
         "nuTipologia = 5 OR nuTipologia = 10 OR nuTipologia = 30 OR nuTipologia = 40 OR "
         "nuTipologia = 61 OR nuTipologia = 9990"},
        {doc.DST_RPT_Images.get(), "nuTipologia = 61"},
        {doc.DST_RPT_Schede.get(), "nuTipologia = 10 OR nuTipologia = 20"},
        {doc.DST_RPT_Sottoparagrafi.get(),
         "nuTipologia = 40 OR nuTipologia = 50 OR nuTipologia = 60 OR nuTipologia = 70 OR "
         "nuTipologia = 80 OR nuTipologia = 90"},
    };
    for (const Expect &e : expected) {
        QVERIFY2(e.set->RecordCount() > 0, qPrintable(e.filter));
        QCOMPARE(e.set->RecordCount(), count(e.filter));
    }
    QCOMPARE(doc.DST_TREE_Dettagli->RecordCount(),
             count(QStringLiteral("nuTipologia <> 9990 AND nuTipologia <> 20 AND nuTipologia < "
                                  "50 OR nuTipologia = 61")));
    QCOMPARE(doc.DST_RPT_Cover->RecordCount(), 1);
    QCOMPARE(doc.DST_RPT_Cover_Multi->RecordCount(), 1);
    QVERIFY(doc.DST_RPT_Riepilogo->RecordCount() > 0);

    // Company name, footer and the fitted logo on every main row.
    const QString name = m_db->SuperQuery(
        QStringLiteral("SELECT txdenominazione FROM societa WHERE idsocieta = '%1'").arg(company));
    TDataSet &rows = *doc.DST_RPT_Main;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        QCOMPARE(rows.FieldByName(QStringLiteral("txDescSocieta")).AsString(), name);
        QVERIFY(!rows.FieldByName(QStringLiteral("txPiedeReport")).AsString().isEmpty());
        QVERIFY(!rows.FieldByName(QStringLiteral("imgLogo")).IsNull());
        QCOMPARE(Flag(rows, QStringLiteral("flLogoSquare"))
                     + Flag(rows, QStringLiteral("flLogoHorizontal"))
                     + Flag(rows, QStringLiteral("flLogoVertical")),
                 1);
    }
    // The totals' last row gets the company and logo, the cover rows the company's town.
    doc.DST_RPT_Riepilogo->Last();
    QCOMPARE(doc.DST_RPT_Riepilogo->FieldByName(QStringLiteral("txDescSocieta")).AsString(), name);
    QVERIFY(!doc.DST_RPT_Riepilogo->FieldByName(QStringLiteral("imgLogo")).IsNull());
    QVERIFY(!doc.DST_RPT_Cover->FieldByName(QStringLiteral("txSocLocalita")).AsString().isEmpty());
    // Node pictures are fitted: every sub-paragraph picture has its shape.
    TDataSet &images = *doc.DST_RPT_Images;
    for (images.First(); !images.Eof(); images.Next()) {
        if (images.FieldByName(QStringLiteral("imgNodo")).IsNull())
            continue;
        QCOMPARE(Flag(images, QStringLiteral("flSquare"))
                     + Flag(images, QStringLiteral("flHorizontal"))
                     + Flag(images, QStringLiteral("flVertical")),
                 1);
    }
    QVERIFY(doc.unreadableImages.isEmpty());
}

void TestLayoutDocument::aLongQuoteHasEveryPictureFittedInEverySet()
{
    // A line with a data sheet of 400 items, then three sub-paragraphs with a picture each: the
    // rows of the main procedure come in several pieces, the pictures in the last one.
    const QString quote = QuoteWithMostLines();
    const QString company = CompanyOf(quote);
    const QString line = m_db->SuperQuery(
        QStringLiteral("SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '%1' "
                       "AND flprodottoattivo = 1 ORDER BY nuordinamento LIMIT 1")
            .arg(quote));
    const auto id = [](int kind, int n) {
        return QStringLiteral("{%1-0000-4000-8000-%2}")
            .arg(kind, 8, 10, QLatin1Char('0'))
            .arg(n, 12, 10, QLatin1Char('0'));
    };
    m_db->SuperQuery(
        QStringLiteral(
            "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, idsezione, "
            "nuordera, txdescnodo) VALUES ('%1', '%2', 10, '%1', '%2', 90, 'Scheda lunga'), "
            "('%1', '%3', 30, '%1', '%3', 91, 'Figure'); "
            "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, idsezione, "
            "nuordera, nuorderb, txdescnodo, txdescnodob) SELECT '%1', '{00000004-0000-4000-8000-' "
            "|| lpad(g::text, 12, '0') || '}', 20, '%2', '%2', 90, g, 'Voce ' || g, 'Valore' FROM "
            "generate_series(1, 400) g")
            .arg(line, id(1, 1), id(3, 1)));
    const QSize shapes[] = {{300, 300}, {600, 300}, {200, 500}};
    for (int n = 1; n <= 3; ++n) {
        m_db->SuperQuery(
            QStringLiteral(
                "INSERT INTO images_dettagli VALUES ('%1', '\\x%2'::bytea); "
                "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, "
                "idsezione, nuordera, nuorderb, txdescnodo) VALUES ('%3', '%4', 40, '%5', '%5', "
                "91, %6, 'Figura lunga %6'); "
                "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, "
                "idsezione, nuordera, nuorderb, nuorderc, txdescnodo, idimage) VALUES ('%3', '%7', "
                "60, '%4', '%5', 91, %6, 1, 'Immagine lunga %6', '%1')")
                .arg(id(7, n),
                     QString::fromLatin1(
                         Picture(shapes[n - 1].width(), shapes[n - 1].height()).toHex()),
                     line,
                     id(5, n),
                     id(3, 1))
                .arg(n)
                .arg(id(6, n)));
    }
    TLayoutDocument doc;
    ReadLayoutDocument(doc, m_db->Module(), quote, company, Layout(QStringLiteral("STD"), company));
    QVERIFY(doc.unreadableImages.isEmpty());
    QVERIFY(doc.DST_RPT_Schede->RecordCount() > 400);

    // Every picture of every set has its shape and the size of the box of that shape: none is
    // kept as it is stored (a product's cover only when it is shown).
    int longPictures = 0;
    for (TDataSet *set : {doc.DST_RPT_Main.get(),
                          doc.DST_TREE_Dettagli.get(),
                          doc.DST_RPT_Images.get(),
                          doc.DST_RPT_Sottoparagrafi.get()}) {
        for (set->First(); !set->Eof(); set->Next()) {
            if (Flag(*set, QStringLiteral("nuTipologia")) == 5
                && Flag(*set, QStringLiteral("flCopertinaVisible")) != 1)
                continue;
            for (const QString &suffix : {QString(), QStringLiteral("1"), QStringLiteral("2")}) {
                TField image = set->FieldByName(QStringLiteral("imgNodo") + suffix);
                if (image.IsNull())
                    continue;
                const QString where = set->FieldByName(QStringLiteral("txDescNodo")).AsString();
                const int square = Flag(*set, QStringLiteral("flSquare") + suffix);
                const int horizontal = Flag(*set, QStringLiteral("flHorizontal") + suffix);
                const int vertical = Flag(*set, QStringLiteral("flVertical") + suffix);
                QVERIFY2(square + horizontal + vertical == 1, qPrintable(where));
                const QString letter = square
                                           ? QStringLiteral("S")
                                           : (horizontal ? QStringLiteral("H") : QStringLiteral("V"))
                                                 + (Flag(*set, QStringLiteral("flPanorama") + suffix)
                                                        ? QStringLiteral("P")
                                                        : QString());
                const QSize
                    box(MmToPixels(set->FieldByName(QStringLiteral("IMGWidth") + letter).AsFloat()),
                        MmToPixels(
                            set->FieldByName(QStringLiteral("IMGHeight") + letter).AsFloat()));
                QCOMPARE(ImageStoredSize(image.AsBytes()), box);
                if (where.contains(QLatin1String(" lunga ")))
                    ++longPictures;
            }
        }
    }
    // Each new picture: in the sub-paragraph's rows of the main data, the tree and the images,
    // and in its own row of the sub-paragraphs.
    QCOMPARE(longPictures, 3 * 4);
}

void TestLayoutDocument::quoteWithoutCompanyLogoHasNoLogo()
{
    const QString quote = QuoteWithMostLines();
    const QString company = CompanyOf(quote);
    m_db->SuperQuery(
        QStringLiteral("UPDATE societa SET imglogo = NULL WHERE idsocieta = '%1'").arg(company));
    TLayoutDocument doc;
    ReadLayoutDocument(doc, m_db->Module(), quote, company, Layout(QStringLiteral("CMP"), company));
    TDataSet &rows = *doc.DST_RPT_Main;
    QVERIFY(rows.RecordCount() > 1);
    for (rows.First(); !rows.Eof(); rows.Next()) {
        QVERIFY(rows.FieldByName(QStringLiteral("imgLogo")).IsNull());
        for (const QString &f : {QStringLiteral("flLogoPanorama"),
                                 QStringLiteral("flLogoSquare"),
                                 QStringLiteral("flLogoHorizontal"),
                                 QStringLiteral("flLogoVertical")})
            QCOMPARE(Flag(rows, f), 0);
        QVERIFY(!rows.FieldByName(QStringLiteral("txDescSocieta")).AsString().isEmpty());
    }
    // The document still prints.
    TKRTCrystalReport engine;
    BindLayoutReport(engine, doc, QStringLiteral("LayoutCompatto"), QStringLiteral("CMP"), false);
    engine.Mode = mvKRTExport;
    engine.ExportOptions.FileName = m_home.filePath(QStringLiteral("senza_logo.pdf"));
    QVERIFY(engine.Start(true));
    QVERIFY(PdfPages(engine.ExportOptions.FileName).size() > 1);
}

void TestLayoutDocument::bothLayoutsPrintTheWholeQuote_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("Standard") << "STD";
    QTest::newRow("Compatto") << "CMP";
}

void TestLayoutDocument::bothLayoutsPrintTheWholeQuote()
{
    QFETCH(QString, code);
    const QString quote = QuoteWithMostLines();
    const QString company = CompanyOf(quote);
    const TLayoutChoice layout = Layout(code, company);
    TLayoutDocument doc;
    ReadLayoutDocument(doc, m_db->Module(), quote, company, layout);

    for (const bool customising : {false, true}) {
        const QString report = customising ? layout.txNomeReportEdit : layout.txNomeReport;
        TKRTCrystalReport engine;
        BindLayoutReport(engine, doc, report, layout.txCodLayout, customising);
        engine.Mode = mvKRTExport;
        engine.ExportOptions.FileName = m_home.filePath(report + QStringLiteral(".pdf"));
        QVERIFY(engine.Start(true));
        const QStringList pages = PdfPages(engine.ExportOptions.FileName);
        QVERIFY(pages.size() >= 3);
        // Every page: the company footer and "Pagina N di M".
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages[p].contains(
                         QStringLiteral("Pagina %1 di %2").arg(p + 1).arg(pages.size())),
                     qPrintable(pages[p]));
            QVERIFY2(pages[p].contains(QLatin1String("P.IVA")), qPrintable(pages[p]));
        }
        // The cover: subject, number, customer.
        TDataSet &cover = *doc.DST_RPT_Cover;
        cover.First();
        QVERIFY(pages[0].contains(QLatin1String("OFFERTA COMMERCIALE")));
        QVERIFY(pages[0].contains(cover.FieldByName(QStringLiteral("txNuPreventivo")).AsString()));
        QVERIFY(pages[0].contains(
            cover.FieldByName(QStringLiteral("txDenominazione")).AsString().simplified()));
        // The summary on the last pages, with its grand total in Italian format.
        const QString last = pages.mid(pages.size() - 2).join(u' ');
        double total = 0;
        TDataSet &totals = *doc.DST_RPT_Riepilogo;
        for (totals.First(); !totals.Eof(); totals.Next())
            total += totals.FieldByName(QStringLiteral("vlTotaleRiga")).AsFloat();
        QVERIFY2(last.contains(QStringLiteral("Totale offerta (IVA esclusa)")), qPrintable(last));
        QVERIFY2(last.contains(QLocale(QLocale::Italian).toString(total, 'f', 2)), qPrintable(last));
        // Page marks never show on the page.
        QVERIFY(!pages.join(u' ').contains(QRegularExpression(QStringLiteral("\\d{3}\\|\\{"))));

        const QString keep = qEnvironmentVariable("VENTOREL_LAYOUT_KEEP");
        if (!keep.isEmpty()) {
            QDir().mkpath(keep);
            QFile::remove(keep + u'/' + report + QStringLiteral(".pdf"));
            QFile::copy(engine.ExportOptions.FileName,
                        keep + u'/' + report + QStringLiteral(".pdf"));
        }
    }
}

void TestLayoutDocument::customisingDesignsDifferOnlyInTheirSubreportNames_data()
{
    QTest::addColumn<QString>("report");
    QTest::newRow("Standard") << "LayoutStandard";
    QTest::newRow("Compatto") << "LayoutCompatto";
}

// The customising preview must show the very pages of the final print, with the page marks.
void TestLayoutDocument::customisingDesignsDifferOnlyInTheirSubreportNames()
{
    QFETCH(QString, report);
    auto read = [](const QString &name) {
        QFile f(qEnvironmentVariable("VENTOREL_SOURCE_DIR") + QStringLiteral("/Reports/") + name
                + QStringLiteral(".RPT"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    const QString final = read(report);
    const QString edit = read(report + QStringLiteral("Edit"));
    QVERIFY(!final.isEmpty());
    QVERIFY(final.contains(QLatin1String("printed: no")));
    QString expected = final;
    expected.replace(report + u'_', report + QStringLiteral("Edit_"));
    QCOMPARE(edit, expected);
}

QTEST_MAIN(TestLayoutDocument)
#include "tst_layoutdocument.moc"
