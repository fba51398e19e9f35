#include "common/imageroutines.h"

#include "common/formats.h"

#include <QBuffer>
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
