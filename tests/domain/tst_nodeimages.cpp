// The preview copy of stored pictures and the fitting of pictures into the product reports'
// boxes, with the sizes of their edge cases and pictures that are bad or huge.

#include "common/imageroutines.h"
#include "db/dataset.h"
#include "domain/nodeimages.h"
#include "tests/support/testimages.h"

#include <QTest>

using namespace testimages;

namespace {

std::unique_ptr<TDataSet> Rows(const QStringList &blobs,
                               const QStringList &others,
                               const QList<QVariantList> &values)
{
    auto ds = std::make_unique<TDataSet>();
    for (const QString &b : blobs)
        ds->AddFieldDef(b, TFieldType::Blob);
    for (const QString &o : others)
        ds->AddFieldDef(o, TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("txDescNodo"), TFieldType::Text);
    ds->CreateDataSet();
    for (const QVariantList &row : values) {
        ds->Append();
        for (int i = 0; i < row.size(); ++i)
            ds->Fields(i).SetValue(row.at(i));
        ds->Post();
    }
    ds->First();
    return ds;
}

QImage Decoded(const QVariant &v)
{
    return QImage::fromData(v.toByteArray());
}

} // namespace

class TestNodeImages : public QObject
{
    Q_OBJECT

private slots:
    void previewCopy_data();
    void previewCopy();
    void previewOfBadPicturesIsRefused_data();
    void previewOfBadPicturesIsRefused();
    void nodeImagesFitTheirBoxes_data();
    void nodeImagesFitTheirBoxes();
    void coversFitTheirBoxes_data();
    void coversFitTheirBoxes();
    void unreadablePicturesAreLeftOutAndListed();
};

void TestNodeImages::previewCopy_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<double>("boxMm");
    QTest::addColumn<QSize>("size"); // invalid: the stored bytes themselves
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("node 1200 x 800") << Encoded(1200, 800, Qt::red, "JPEG") << kNodePreviewBoxMm
                                     << QSize(302, 201) << QByteArray("jpeg");
    QTest::newRow("node portrait PNG")
        << Encoded(800, 1200, Qt::red) << kNodePreviewBoxMm << QSize(201, 302) << QByteArray("png");
    QTest::newRow("node 300 x 200 kept")
        << Encoded(300, 200, Qt::red, "JPEG") << kNodePreviewBoxMm << QSize() << QByteArray("jpeg");
    QTest::newRow("cover 2000 x 2000")
        << Encoded(2000, 2000, Qt::blue, "JPEG") << kCoverPreviewBoxMm << QSize(605, 605)
        << QByteArray("jpeg");
    QTest::newRow("cover 10,000 x 10,000")
        << GreyJpeg(10000, 10000) << kCoverPreviewBoxMm << QSize(605, 605) << QByteArray("jpeg");
    QTest::newRow("no picture") << QByteArray() << kNodePreviewBoxMm << QSize() << QByteArray();
}

void TestNodeImages::previewCopy()
{
    QFETCH(QByteArray, stored);
    QFETCH(double, boxMm);
    QFETCH(QSize, size);
    QFETCH(QByteArray, format);
    auto image = Rows({QStringLiteral("imgImage")}, {}, {{stored.isEmpty() ? QVariant() : stored}});
    auto preview = Rows({QStringLiteral("imgPreview")}, {}, {{QByteArray("vecchia")}});
    MakeImagePreview(*image, *preview, QStringLiteral("imgImage"), boxMm, boxMm);
    const QVariant out = preview->FieldByName(QStringLiteral("imgPreview")).Value();
    if (stored.isEmpty()) {
        QVERIFY(!out.isValid() || out.isNull());
        return;
    }
    if (!size.isValid()) {
        QCOMPARE(out.toByteArray(), stored);
        return;
    }
    QCOMPARE(Decoded(out).size(), size);
    QByteArray written;
    QCOMPARE(ImageStoredSize(out.toByteArray(), &written), size);
    QCOMPARE(written, format);
}

void TestNodeImages::previewOfBadPicturesIsRefused_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("not an image") << QByteArray("%PDF-1.4 documento") << "non è un'immagine";
    QTest::newRow("truncated JPEG")
        << Truncated(Encoded(1200, 800, Qt::red, "JPEG")) << "danneggiata o incompleta";
    QTest::newRow("small truncated JPEG")
        << Truncated(Encoded(200, 100, Qt::red, "JPEG")) << "danneggiata o incompleta";
    QTest::newRow("huge PNG") << MonoPng(10000, 10000) << "troppo grande";
}

void TestNodeImages::previewOfBadPicturesIsRefused()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, message);
    auto image = Rows({QStringLiteral("imgImage")}, {}, {{stored}});
    auto preview = Rows({QStringLiteral("imgPreview")}, {}, {{QByteArray("vecchia")}});
    try {
        MakeImagePreview(*image, *preview, QStringLiteral("imgImage"), 80, 80);
        QFAIL("accepted");
    } catch (const EImageError &e) {
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
    // The preview row is left as it was.
    QCOMPARE(preview->State(), TDataSetState::Browse);
    QCOMPARE(preview->FieldByName(QStringLiteral("imgPreview")).AsBytes(), QByteArray("vecchia"));
}

void TestNodeImages::nodeImagesFitTheirBoxes_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QString>("flags"); // panorama, square, horizontal, vertical
    QTest::addColumn<QPoint>("band");   // a pixel of the white band; (-1, -1): none
    QTest::newRow("2000 x 1000 panorama")
        << Encoded(2000, 1000, Qt::red) << QSize(302, 151) << "1010" << QPoint(-1, -1);
    QTest::newRow("1000 x 900 square")
        << Encoded(1000, 900, Qt::red) << QSize(189, 189) << "0100" << QPoint(94, 2);
    QTest::newRow("1200 x 800 landscape")
        << Encoded(1200, 800, Qt::red, "JPEG") << QSize(227, 151) << "0010" << QPoint(-1, -1);
    QTest::newRow("600 x 1000 portrait")
        << Encoded(600, 1000, Qt::red) << QSize(151, 227) << "0001" << QPoint(-1, -1);
    QTest::newRow("500 x 1000 portrait panorama")
        << Encoded(500, 1000, Qt::red) << QSize(151, 302) << "1001" << QPoint(-1, -1);
    QTest::newRow("10,000 x 10,000 JPEG")
        << GreyJpeg(10000, 10000) << QSize(189, 189) << "0100" << QPoint(-1, -1);
}

void TestNodeImages::nodeImagesFitTheirBoxes()
{
    QFETCH(QByteArray, picture);
    QFETCH(QSize, box);
    QFETCH(QString, flags);
    QFETCH(QPoint, band);
    auto tree = Rows({QStringLiteral("imgNodo")},
                     {QStringLiteral("nuTipologia"),
                      QStringLiteral("flPanorama"),
                      QStringLiteral("flImgSquare"),
                      QStringLiteral("flImgHoriz"),
                      QStringLiteral("flImgVert")},
                     {{QVariant(), 40, 0, 0, 0, 0},
                      {picture, 60, 0, 0, 0, 0},
                      {picture, 50, 0, 0, 0, 0}}); // not an image node: left alone
    tree->SetFilter(QStringLiteral("nuTipologia = 40"));
    tree->SetFiltered(true);
    const QStringList problems = FitNodeImagesForReport(nullptr, *tree, false);
    QVERIFY(problems.isEmpty());
    QVERIFY(!tree->Filtered());
    QCOMPARE(tree->RecNo(), 1);
    const QImage fitted = Decoded(tree->ValueAt(1, 0));
    QCOMPARE(fitted.size(), box);
    QString set;
    for (int c = 2; c <= 5; ++c)
        set += tree->ValueAt(1, c).toInt() == 1 ? u'1' : u'0';
    QCOMPARE(set, flags);
    if (band.x() >= 0) {
        const QColor white = fitted.pixelColor(band);
        QVERIFY(white.red() > 240 && white.green() > 240 && white.blue() > 240);
        const QColor red = fitted.pixelColor(box.width() / 2, box.height() / 2);
        QVERIFY(red.red() > 200 && red.green() < 60);
    }
    QCOMPARE(tree->ValueAt(2, 0).toByteArray(), picture);
}

void TestNodeImages::coversFitTheirBoxes_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QString>("flags"); // panorama, square, horiz, vert, SMALL square, horiz, vert
    QTest::newRow("1600 x 800 panorama") << QSize(1600, 800) << QSize(605, 302) << "1010000";
    QTest::newRow("1200 x 800 landscape") << QSize(1200, 800) << QSize(454, 302) << "0010000";
    QTest::newRow("800 x 1200 portrait") << QSize(800, 1200) << QSize(302, 454) << "0001000";
    QTest::newRow("1000 x 1000 square") << QSize(1000, 1000) << QSize(378, 378) << "0100000";
    QTest::newRow("200 x 150 small square") << QSize(200, 150) << QSize(189, 189) << "0000100";
    QTest::newRow("300 x 120 small panorama") << QSize(300, 120) << QSize(302, 151) << "1000010";
    QTest::newRow("100 x 200 small portrait") << QSize(100, 200) << QSize(151, 302) << "1000001";
}

void TestNodeImages::coversFitTheirBoxes()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QString, flags);
    const QStringList flagNames = {QStringLiteral("flPanorama"),
                                   QStringLiteral("flImgSquare"),
                                   QStringLiteral("flImgHoriz"),
                                   QStringLiteral("flImgVert"),
                                   QStringLiteral("flImgSMALLSquare"),
                                   QStringLiteral("flImgSMALLHoriz"),
                                   QStringLiteral("flImgSMALLVert")};
    const QByteArray bytes = Encoded(picture.width(), picture.height(), Qt::blue, "JPEG");
    auto covers = Rows({QStringLiteral("imgCopertina")}, flagNames, {{bytes, 0, 0, 0, 0, 0, 0, 0}});
    TDataSet tree; // no tree rows
    QVERIFY(FitNodeImagesForReport(covers.get(), tree, true).isEmpty());
    QCOMPARE(Decoded(covers->ValueAt(0, 0)).size(), box);
    QString set;
    for (int c = 1; c <= 7; ++c)
        set += covers->ValueAt(0, c).toInt() == 1 ? u'1' : u'0';
    QCOMPARE(set, flags);

    // Without resizing, covers are left out of the report.
    auto again = Rows({QStringLiteral("imgCopertina")}, flagNames, {{bytes, 0, 0, 0, 0, 0, 0, 0}});
    FitNodeImagesForReport(again.get(), tree, false);
    QVERIFY(again->IsNullAt(0, 0));
}

void TestNodeImages::unreadablePicturesAreLeftOutAndListed()
{
    const QByteArray good = Encoded(400, 300, Qt::red);
    auto tree = Rows({QStringLiteral("imgNodo")},
                     {QStringLiteral("nuTipologia"), QStringLiteral("flPanorama")},
                     {{QByteArray("<html>pagina</html>"), 60, 0, QStringLiteral("Vista frontale")},
                      {Truncated(Encoded(800, 600, Qt::red, "JPEG")), 60, 0, QString()},
                      {MonoPng(10000, 10000), 60, 0, QStringLiteral("Planimetria")},
                      {good, 60, 0, QStringLiteral("Dettaglio")}});
    auto covers = Rows({QStringLiteral("imgCopertina")},
                       {},
                       {{QByteArray("niente"), QStringLiteral("Quadro")}});
    const QStringList problems = FitNodeImagesForReport(covers.get(), *tree, true);
    QCOMPARE(problems.size(), 4);
    QVERIFY(problems[0].startsWith(QLatin1String("Copertina")));
    QVERIFY(problems[1].contains(QLatin1String("\"Vista frontale\"")));
    QVERIFY(problems[1].contains(QStringLiteral("non è un'immagine")));
    QVERIFY(problems[2].contains(QLatin1String("\"senza didascalia\"")));
    QVERIFY(problems[2].contains(QLatin1String("danneggiata o incompleta")));
    QVERIFY(problems[3].contains(QLatin1String("troppo grande")));
    for (int r = 0; r < 3; ++r)
        QVERIFY(tree->IsNullAt(r, 0));
    QVERIFY(covers->IsNullAt(0, 0));
    QCOMPARE(Decoded(tree->ValueAt(3, 0)).size(), QSize(189, 189));
}

QTEST_MAIN(TestNodeImages)
#include "tst_nodeimages.moc"
