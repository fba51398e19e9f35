#include "common/imageroutines.h"

#include "common/formats.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

int MmToPixels(double mm)
{
    return RoundToInt(mm * 3.7795275591);
}

double ImageAspectPercent(const QImage &image)
{
    if (image.isNull())
        return 0;
    const int shortSide = std::min(image.width(), image.height());
    const int longSide = std::max(image.width(), image.height());
    return 100.0 * shortSide / longSide;
}

int ImageOrientation(const QImage &image)
{
    if (image.isNull())
        return 3;
    if (ImageAspectPercent(image) >= 75)
        return 0;
    return image.width() > image.height() ? 1 : 2;
}

QImage ImageFitInBox(
    const QImage &image, int anchor, const QColor &background, int boxHeight, int boxWidth)
{
    if (boxHeight <= 0 || boxWidth <= 0)
        return QImage();
    QImage box(boxWidth, boxHeight, QImage::Format_ARGB32_Premultiplied);
    box.fill(background);
    if (image.isNull())
        return box;

    const bool landscape = image.width() > image.height();
    double scale = landscape ? double(boxWidth) / image.width()
                             : double(boxHeight) / image.height();
    if (image.width() * scale > boxWidth + 0.5 || image.height() * scale > boxHeight + 0.5)
        scale = std::min(double(boxWidth) / image.width(), double(boxHeight) / image.height());
    const int w = std::clamp(RoundToInt(image.width() * scale), 1, boxWidth);
    const int h = std::clamp(RoundToInt(image.height() * scale), 1, boxHeight);
    const QImage scaled = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    if (anchor < 0 || anchor > 8)
        anchor = 4;
    const int column = anchor % 3; // 0 left, 1 centre, 2 right
    const int row = anchor / 3;    // 0 top, 1 middle, 2 bottom
    const int x = column == 0 ? 0 : column == 1 ? (boxWidth - w) / 2 : boxWidth - w;
    const int y = row == 0 ? 0 : row == 1 ? (boxHeight - h) / 2 : boxHeight - h;

    QPainter painter(&box);
    painter.drawImage(x, y, scaled);
    painter.end();
    return box;
}

QImage ImageScaleToWidth(const QImage &image, int width)
{
    if (image.isNull() || width <= 0)
        return QImage();
    return image.scaledToWidth(width, Qt::SmoothTransformation);
}

QImage ImageScaleToHeight(const QImage &image, int height)
{
    if (image.isNull() || height <= 0)
        return QImage();
    return image.scaledToHeight(height, Qt::SmoothTransformation);
}

QImage ImageScaleLongSide(const QImage &image, int length)
{
    if (image.isNull())
        return QImage();
    return image.width() > image.height() ? ImageScaleToWidth(image, length)
                                          : ImageScaleToHeight(image, length);
}

QImage ImageLoadFromFile(const QString &path, QByteArray *format)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray found = reader.format(); // known only before reading
    const QImage image = reader.read();
    if (format)
        *format = image.isNull() ? QByteArray() : found;
    return image;
}

QImage ImageLoadFromBytes(const QByteArray &bytes, QByteArray *format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray found = reader.format(); // known only before reading
    const QImage image = reader.read();
    if (format)
        *format = image.isNull() ? QByteArray() : found;
    return image;
}

QByteArray ImageSaveJpegBytes(const QImage &image, int quality)
{
    if (image.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // JPEG has no transparency: flatten over white rather than black.
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(flat) ? bytes : QByteArray();
}

QByteArray ImageSaveToBytes(const QImage &image, const QByteArray &format)
{
    if (image.isNull())
        return QByteArray();
    if (format.compare("jpeg", Qt::CaseInsensitive) == 0
        || format.compare("jpg", Qt::CaseInsensitive) == 0)
        return ImageSaveJpegBytes(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    return writer.write(image) ? bytes : QByteArray();
}

bool ImageSaveToFile(const QImage &image, const QString &path, const QByteArray &format)
{
    if (image.isNull())
        return false;
    QImageWriter writer(path, format);
    return writer.write(image);
}

namespace {

// A JPEG whose last scan is not closed by an end-of-image marker was cut short: the decoder
// would fill the missing part with grey and call it a picture. Inside a scan, 0xFF is always
// followed by 0x00 or a restart marker, so the last 0xFFDA starts the last scan.
bool JpegComplete(const QByteArray &bytes)
{
    const qsizetype scan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    if (scan < 0)
        return false;
    return bytes.indexOf(QByteArrayView("\xFF\xD9", 2), scan + 2) > 0;
}

QString NotAnImage()
{
    return QStringLiteral("Il file scelto non è un'immagine in un formato riconosciuto "
                          "(JPEG, PNG, BMP, TIFF, GIF).");
}

QString Damaged()
{
    return QStringLiteral("L'immagine è danneggiata o incompleta e non può essere letta.");
}

QString TooLarge(const QSize &size)
{
    return QStringLiteral("L'immagine è troppo grande (%1 x %2 pixel): il massimo è %3 milioni "
                          "di pixel.")
        .arg(FormatNumber(0, size.width()), FormatNumber(0, size.height()))
        .arg(kImageMaxDecodePixels / 1'000'000);
}

QSize Reduced(const QSize &size, int maxLongSide)
{
    if (maxLongSide <= 0 || std::max(size.width(), size.height()) <= maxLongSide)
        return size;
    return size.scaled(maxLongSide, maxLongSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage ReadChecked(QIODevice &device,
                   const QByteArray *bytes,
                   int maxLongSide,
                   QString *error,
                   TImageReadInfo *info)
{
    QString dummy;
    QString &err = error ? *error : dummy;
    err.clear();
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // The reader's own bound: nothing beyond the limit is ever allocated, whatever a header says.
    reader.setAllocationLimit(int(kImageMaxDecodePixels * 4 / (1024 * 1024)) + 1);
    if (!reader.canRead()) {
        err = NotAnImage();
        return QImage();
    }
    const QByteArray format = reader.format();
    const QSize size = reader.size();
    if (info) {
        info->format = format;
        info->originalSize = size;
    }
    if (format == "jpeg" && bytes && !JpegComplete(*bytes)) {
        err = Damaged();
        return QImage();
    }
    const bool known = size.isValid() && !size.isEmpty();
    const QSize wanted = known ? Reduced(size, maxLongSide) : QSize();
    const qint64 pixels = known ? qint64(size.width()) * size.height() : 0;
    if (known && format == "jpeg" && wanted != size) {
        // Decoded at a fraction of its size by the JPEG decoder itself.
        reader.setScaledSize(wanted);
    } else if (known && pixels > kImageMaxDecodePixels) {
        err = TooLarge(size);
        return QImage();
    }
    QImage image = reader.read();
    if (image.isNull()) {
        err = known && pixels > kImageMaxDecodePixels ? TooLarge(size) : Damaged();
        return QImage();
    }
    if (info && !known)
        info->originalSize = image.size();
    if (!known && qint64(image.width()) * image.height() > kImageMaxDecodePixels) {
        err = TooLarge(image.size());
        return QImage();
    }
    const QSize target = Reduced(image.size(), maxLongSide);
    if (target != image.size())
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

QImage ImageReadChecked(const QByteArray &bytes,
                        int maxLongSide,
                        QString *error,
                        TImageReadInfo *info)
{
    QByteArray copy = bytes; // shared, not copied
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ReadChecked(buffer, &bytes, maxLongSide, error, info);
}

QImage ImageReadFileChecked(const QString &path,
                            int maxLongSide,
                            QString *error,
                            TImageReadInfo *info)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Impossibile leggere il file \"%1\": %2")
                         .arg(path, file.errorString());
        return QImage();
    }
    // The whole file is needed to tell a truncated JPEG; pictures are at most a few tens of MB.
    constexpr qint64 kMaxFileBytes = 256 * 1024 * 1024;
    if (file.size() > kMaxFileBytes) {
        if (error)
            *error = QStringLiteral("Il file \"%1\" è troppo grande per essere un'immagine "
                                    "(%2 MB).")
                         .arg(path, FormatNumber(0, double(file.size()) / (1024 * 1024)));
        return QImage();
    }
    const QByteArray bytes = file.readAll();
    return ImageReadChecked(bytes, maxLongSide, error, info);
}

QSize ImageStoredSize(const QByteArray &bytes, QByteArray *format)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return QSize();
    if (format)
        *format = reader.format();
    return reader.size();
}
