#include "common/imageroutines.h"
#include "tests/support/testimages.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage Filled(int w, int h, const QColor &c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// 'R' when the pixel is the image's red, 'B' when it is the blue background.
char Kind(const QImage &img, int x, int y)
{
    const QColor c = img.pixelColor(x, y);
    if (c.red() > 200 && c.blue() < 50)
        return 'R';
    if (c.blue() > 200 && c.red() < 50)
        return 'B';
    return '?';
}

} // namespace

class TestImages : public QObject
{
    Q_OBJECT
private slots:
    void orientation_data();
    void orientation();
    void mmToPixels_data();
    void mmToPixels();
    void fitInBoxAnchors_data();
    void fitInBoxAnchors();
    void fitInBoxKeepsWholeImage();
    void fitInBoxEdgeCases();
    void scaleByLongSide();
    void loadAndSave();
    void checkedReadingRefusesBadPictures_data();
    void checkedReadingRefusesBadPictures();
    void checkedReadingReducesLargePictures_data();
    void checkedReadingReducesLargePictures();
    void hugePicturesNeverFillTheMemory();
};

void TestImages::orientation_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<double>("aspect");
    QTest::newRow("400x300 square") << QSize(400, 300) << 0 << 75.0;
    QTest::newRow("300x400 square") << QSize(300, 400) << 0 << 75.0;
    QTest::newRow("400x200 horizontal") << QSize(400, 200) << 1 << 50.0;
    QTest::newRow("200x400 vertical") << QSize(200, 400) << 2 << 50.0;
    QTest::newRow("401x300 just below 75") << QSize(401, 300) << 1 << 30000.0 / 401;
    QTest::newRow("100x100") << QSize(100, 100) << 0 << 100.0;
    QTest::newRow("no image") << QSize() << 3 << 0.0;
}

void TestImages::orientation()
{
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    QFETCH(double, aspect);
    const QImage img = size.isValid() ? Filled(size.width(), size.height(), Qt::red) : QImage();
    QCOMPARE(ImageOrientation(img), orientation);
    QCOMPARE(ImageAspectPercent(img), aspect);
}

void TestImages::mmToPixels_data()
{
    QTest::addColumn<double>("mm");
    QTest::addColumn<int>("pixels");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("10 mm") << 10.0 << 38;
    QTest::newRow("A4 width") << 210.0 << 794;
    QTest::newRow("A4 height") << 297.0 << 1123;
    QTest::newRow("negative") << -10.0 << -38;
}

void TestImages::mmToPixels()
{
    QFETCH(double, mm);
    QFETCH(int, pixels);
    QCOMPARE(MmToPixels(mm), pixels);
}

void TestImages::fitInBoxAnchors_data()
{
    // The corners top-left, top-right, bottom-left, bottom-right and the middle point of the
    // box: 'R' image, 'B' background.
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("box"); // width x height
    QTest::addColumn<int>("anchor");
    QTest::addColumn<QByteArray>("expected");
    // A landscape image fills the width of a square box: rows show the anchor.
    const QSize land(200, 100), square(100, 100);
    QTest::newRow("landscape top-left") << land << square << 0 << QByteArray("RRBBB");
    QTest::newRow("landscape top-centre") << land << square << 1 << QByteArray("RRBBB");
    QTest::newRow("landscape top-right") << land << square << 2 << QByteArray("RRBBB");
    QTest::newRow("landscape middle-left") << land << square << 3 << QByteArray("BBBBR");
    QTest::newRow("landscape centre") << land << square << 4 << QByteArray("BBBBR");
    QTest::newRow("landscape middle-right") << land << square << 5 << QByteArray("BBBBR");
    QTest::newRow("landscape bottom-left") << land << square << 6 << QByteArray("BBRRR");
    QTest::newRow("landscape bottom-centre") << land << square << 7 << QByteArray("BBRRR");
    QTest::newRow("landscape bottom-right") << land << square << 8 << QByteArray("BBRRR");
    // A square image fills the height of a wide box: columns show the anchor.
    const QSize wide(200, 100);
    QTest::newRow("square top-left") << square << wide << 0 << QByteArray("RBRBB");
    QTest::newRow("square top-centre") << square << wide << 1 << QByteArray("BBBBR");
    QTest::newRow("square top-right") << square << wide << 2 << QByteArray("BRBRR");
    QTest::newRow("square middle-left") << square << wide << 3 << QByteArray("RBRBB");
    QTest::newRow("square centre") << square << wide << 4 << QByteArray("BBBBR");
    QTest::newRow("square middle-right") << square << wide << 5 << QByteArray("BRBRR");
    QTest::newRow("square bottom-left") << square << wide << 6 << QByteArray("RBRBB");
    QTest::newRow("square bottom-centre") << square << wide << 7 << QByteArray("BBBBR");
    QTest::newRow("square bottom-right") << square << wide << 8 << QByteArray("BRBRR");
    QTest::newRow("small image enlarged") << QSize(20, 10) << square << 0 << QByteArray("RRBBB");
}

void TestImages::fitInBoxAnchors()
{
    QFETCH(QSize, image);
    QFETCH(QSize, box);
    QFETCH(int, anchor);
    QFETCH(QByteArray, expected);
    const QImage out = ImageFitInBox(Filled(image.width(), image.height(), Qt::red),
                                     anchor,
                                     Qt::blue,
                                     box.height(),
                                     box.width());
    QCOMPARE(out.size(), box);
    const int r = box.width() - 1, b = box.height() - 1;
    QByteArray got;
    got += Kind(out, 0, 0);
    got += Kind(out, r, 0);
    got += Kind(out, 0, b);
    got += Kind(out, r, b);
    got += Kind(out, box.width() / 2, box.height() / 2);
    QCOMPARE(got, expected);
}

void TestImages::fitInBoxKeepsWholeImage()
{
    // A 400x300 landscape image in a box 200 wide and 50 high: scaled to the box width it
    // would be 150 high; it must shrink to the height instead, stripes included.
    QImage img = Filled(400, 300, Qt::red);
    QPainter p(&img);
    p.fillRect(0, 0, 400, 30, Qt::green);
    p.fillRect(0, 270, 400, 30, Qt::yellow);
    p.end();
    const QImage out = ImageFitInBox(img, 4, Qt::blue, 50, 200);
    QCOMPARE(out.size(), QSize(200, 50));
    QCOMPARE(out.pixelColor(100, 0).green() > 200 && out.pixelColor(100, 0).red() < 60, true);
    const QColor bottom = out.pixelColor(100, 49);
    QVERIFY(bottom.red() > 200 && bottom.green() > 200 && bottom.blue() < 60); // yellow
    QCOMPARE(Kind(out, 0, 25), 'B');
    QCOMPARE(Kind(out, 199, 25), 'B');
    QCOMPARE(Kind(out, 100, 25), 'R');
}

void TestImages::fitInBoxEdgeCases()
{
    const QImage empty = ImageFitInBox(QImage(), 4, Qt::blue, 40, 60);
    QCOMPARE(empty.size(), QSize(60, 40));
    QCOMPARE(Kind(empty, 30, 20), 'B');
    QVERIFY(ImageFitInBox(Filled(10, 10, Qt::red), 4, Qt::blue, 0, 60).isNull());
}

void TestImages::scaleByLongSide()
{
    QCOMPARE(ImageScaleLongSide(Filled(400, 200, Qt::red), 100).size(), QSize(100, 50));
    QCOMPARE(ImageScaleLongSide(Filled(200, 400, Qt::red), 100).size(), QSize(50, 100));
    QCOMPARE(ImageScaleToWidth(Filled(400, 300, Qt::red), 200).size(), QSize(200, 150));
    QCOMPARE(ImageScaleToHeight(Filled(400, 300, Qt::red), 150).size(), QSize(200, 150));
    QVERIFY(ImageScaleToWidth(QImage(), 10).isNull());
}

void TestImages::loadAndSave()
{
    const QImage red = Filled(40, 30, Qt::red);
    QByteArray format;

    const QByteArray png = ImageSaveToBytes(red, "png");
    QVERIFY(png.startsWith("\x89PNG"));
    QCOMPARE(ImageLoadFromBytes(png, &format).size(), QSize(40, 30));
    QCOMPARE(format, QByteArray("png"));

    const QByteArray jpeg = ImageSaveJpegBytes(red);
    QVERIFY(jpeg.startsWith("\xFF\xD8"));
    QCOMPARE(ImageLoadFromBytes(jpeg, &format).size(), QSize(40, 30));
    QCOMPARE(format, QByteArray("jpeg"));

    // The content decides, not the name.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logo.jpg"));
    QVERIFY(ImageSaveToFile(red, path, "bmp"));
    QCOMPARE(ImageLoadFromFile(path, &format).size(), QSize(40, 30));
    QCOMPARE(format, QByteArray("bmp"));

    QVERIFY(ImageLoadFromBytes(QByteArray("not an image"), &format).isNull());
    QVERIFY(format.isEmpty());
    QVERIFY(ImageLoadFromFile(dir.filePath(QStringLiteral("missing.png"))).isNull());

    // Transparent areas become white in JPEG.
    QImage clear(20, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const QColor c = ImageLoadFromBytes(ImageSaveJpegBytes(clear)).pixelColor(10, 10);
    QVERIFY(c.red() > 240 && c.green() > 240 && c.blue() > 240);
}

void TestImages::checkedReadingRefusesBadPictures_data()
{
    using namespace testimages;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << QByteArray("questo non è un'immagine") << "non è un'immagine";
    QTest::newRow("empty") << QByteArray() << "non è un'immagine";
    QTest::newRow("truncated JPEG")
        << Truncated(Encoded(400, 300, Qt::red, "JPEG")) << "danneggiata o incompleta";
    QTest::newRow("truncated PNG")
        << Truncated(Encoded(400, 300, Qt::red, "PNG")) << "danneggiata o incompleta";
    QTest::newRow("JPEG without its scan")
        << Encoded(400, 300, Qt::red, "JPEG").left(300) << "danneggiata o incompleta";
    QTest::newRow("10,000 x 10,000 PNG")
        << MonoPng(10000, 10000) << "troppo grande (10.000 x 10.000 pixel)";
}

void TestImages::checkedReadingRefusesBadPictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QString error;
    const QImage image = ImageReadChecked(bytes, 0, &error);
    QVERIFY(image.isNull());
    QVERIFY2(error.contains(message), qPrintable(error));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("immagine.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QVERIFY(ImageReadFileChecked(path, 605, &error).isNull());
    QVERIFY2(error.contains(message), qPrintable(error));
}

void TestImages::checkedReadingReducesLargePictures_data()
{
    using namespace testimages;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxLongSide");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("original");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("JPEG decoded reduced") << GreyJpeg(10000, 10000) << 605 << QSize(605, 605)
                                          << QSize(10000, 10000) << QByteArray("jpeg");
    QTest::newRow("landscape PNG") << Encoded(1200, 800, Qt::red) << 302 << QSize(302, 201)
                                   << QSize(1200, 800) << QByteArray("png");
    QTest::newRow("portrait BMP") << Encoded(300, 600, Qt::red, "BMP") << 100 << QSize(50, 100)
                                  << QSize(300, 600) << QByteArray("bmp");
    QTest::newRow("small stays") << Encoded(40, 30, Qt::red, "JPEG") << 605 << QSize(40, 30)
                                 << QSize(40, 30) << QByteArray("jpeg");
    QTest::newRow("no limit") << Encoded(1200, 800, Qt::red) << 0 << QSize(1200, 800)
                              << QSize(1200, 800) << QByteArray("png");
}

void TestImages::checkedReadingReducesLargePictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxLongSide);
    QFETCH(QSize, size);
    QFETCH(QSize, original);
    QFETCH(QByteArray, format);
    QString error = QStringLiteral("stale");
    TImageReadInfo info;
    const QImage image = ImageReadChecked(bytes, maxLongSide, &error, &info);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(image.size(), size);
    QCOMPARE(info.originalSize, original);
    QCOMPARE(info.format, format);
    QCOMPARE(ImageStoredSize(bytes), original);
}

void TestImages::hugePicturesNeverFillTheMemory()
{
    // 10,000 x 10,000 pixels would take 100 MB in grey and 400 MB in colour, decoded whole.
    const QByteArray jpeg = testimages::GreyJpeg(10000, 10000);
    const QByteArray png = testimages::MonoPng(10000, 10000);
    const double before = testimages::PeakMemoryMb();
    QString error;
    QCOMPARE(ImageReadChecked(jpeg, 302, &error).size(), QSize(302, 302));
    QVERIFY(ImageReadChecked(png, 302, &error).isNull());
    QVERIFY(ImageReadChecked(jpeg, 0, &error).isNull()); // whole, it is beyond the limit
    QVERIFY(error.contains(QLatin1String("troppo grande")));
    QVERIFY2(testimages::PeakMemoryMb() - before < 60,
             qPrintable(
                 QStringLiteral("%1 MB -> %2 MB").arg(before).arg(testimages::PeakMemoryMb())));
}

QTEST_GUILESS_MAIN(TestImages)
#include "tst_images.moc"
