#pragma once

// Image sizes, orientation, fitting into boxes, loading and saving.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Millimetres to pixels at 96 dpi (x * 3.7795275591, rounded half away from zero).
int MmToPixels(double mm);
// Short side / long side * 100; 0 without an image.
double ImageAspectPercent(const QImage &image);
// 3 without an image; 0 when the aspect percent is 75 or more (square); 1 when wider than high;
// else 2.
int ImageOrientation(const QImage &image);

// A box-sized image painted with the background and the image scaled into it, proportions
// kept, at the anchor: 0 top-left, 1 top-centre, 2 top-right, 3 middle-left, 4 centre,
// 5 middle-right, 6 bottom-left, 7 bottom-centre, 8 bottom-right (other values: centre). The
// long side is scaled to the matching box side (width for a landscape image, height
// otherwise), and further down when the other side would overflow the box, so the whole image
// is always visible. A null image gives the empty box; an empty box gives a null image.
QImage ImageFitInBox(
    const QImage &image, int anchor, const QColor &background, int boxHeight, int boxWidth);
// Scaled with proportions kept to the given width, or to the given height (smooth).
QImage ImageScaleToWidth(const QImage &image, int width);
QImage ImageScaleToHeight(const QImage &image, int height);
// Scaled with proportions kept so that the long side measures length.
QImage ImageScaleLongSide(const QImage &image, int length);

// Loading with the format recognised from the content (JPEG, PNG, BMP, TIFF, ...); a null
// image when it cannot be read. format, when given, receives the format name ("jpeg", "png").
QImage ImageLoadFromFile(const QString &path, QByteArray *format = nullptr);
QImage ImageLoadFromBytes(const QByteArray &bytes, QByteArray *format = nullptr);
// Saving: JPEG bytes (quality 0-100), bytes or a file in a named format ("png", "jpeg");
// empty bytes / false on failure.
QByteArray ImageSaveJpegBytes(const QImage &image, int quality = 90);
QByteArray ImageSaveToBytes(const QImage &image, const QByteArray &format);
bool ImageSaveToFile(const QImage &image, const QString &path, const QByteArray &format = {});

// Checked reading, for pictures that come from files and from the database. Instead of an
// image it gives a clear Italian message in *error for data that is not an image, for a damaged
// or truncated picture and for a picture too large to decode; it never holds more than
// kImageMaxDecodePixels pixels. With maxLongSide > 0 a larger picture comes reduced so that its
// long side measures maxLongSide (a JPEG is decoded reduced, without the whole picture ever in
// memory; other formats are decoded whole only when within the limit).
inline constexpr qint64 kImageMaxDecodePixels = 40'000'000;
// The long side pictures are kept at when loaded into the program (covers, node images).
inline constexpr int kImageMaxStoredSide = 4000;
struct TImageReadInfo
{
    QByteArray format;  // "jpeg", "png", ...
    QSize originalSize; // as stored, before any reduction
};
QImage ImageReadChecked(const QByteArray &bytes,
                        int maxLongSide,
                        QString *error,
                        TImageReadInfo *info = nullptr);
QImage ImageReadFileChecked(const QString &path,
                            int maxLongSide,
                            QString *error,
                            TImageReadInfo *info = nullptr);
// The size a picture has in its header, without decoding it; invalid when it is not an image.
QSize ImageStoredSize(const QByteArray &bytes, QByteArray *format = nullptr);
