#pragma once

// Pictures for the image tests: small encoded images, damaged ones, and very large ones made
// without ever holding their pixels (a 10,000 x 10,000 JPEG is 400 KB of bytes here).

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <sys/resource.h>

namespace testimages {

// An image of one colour encoded in a format ("PNG", "JPEG", "BMP").
inline QByteArray Encoded(int w, int h, const QColor &c, const char *format = "PNG")
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format, 90);
    return bytes;
}

// The first fraction of the bytes, as a transfer cut short leaves them.
inline QByteArray Truncated(const QByteArray &bytes, double fraction = 0.6)
{
    return bytes.left(qsizetype(bytes.size() * fraction));
}

// A grey baseline JPEG of w x h pixels (multiples of 8): one Huffman code of one bit for "no
// change" of each block's value and one for "end of block", so every 8 x 8 block takes two
// bits of zero.
inline QByteArray GreyJpeg(int w, int h)
{
    QByteArray j;
    auto u16 = [&](int v) {
        j.append(char((v >> 8) & 0xFF));
        j.append(char(v & 0xFF));
    };
    j.append("\xFF\xD8", 2);
    j.append("\xFF\xDB", 2); // quantisation table 0: all ones
    u16(67);
    j.append('\0');
    j.append(QByteArray(64, '\x01'));
    j.append("\xFF\xC0", 2); // baseline frame, one grey component
    u16(11);
    j.append('\x08');
    u16(h);
    u16(w);
    j.append("\x01\x01\x11\x00", 4);
    for (const char table : {'\x00', '\x10'}) { // DC 0 and AC 0: one symbol 0x00, one bit
        j.append("\xFF\xC4", 2);
        u16(20);
        j.append(table);
        j.append('\x01');
        j.append(QByteArray(15, '\0'));
        j.append('\0');
    }
    j.append("\xFF\xDA", 2); // scan
    u16(8);
    j.append("\x01\x01\x00\x00\x3F\x00", 6);
    const qint64 blocks = qint64(w / 8) * (h / 8);
    const qint64 bits = blocks * 2;
    j.append(QByteArray(qsizetype(bits / 8), '\0'));
    if (bits % 8)
        j.append(char(0xFF >> (bits % 8))); // padded with ones
    j.append("\xFF\xD9", 2);
    return j;
}

// A black-and-white PNG of w x h pixels (one bit a pixel while it is made).
inline QByteArray MonoPng(int w, int h)
{
    QImage img(w, h, QImage::Format_Mono);
    img.fill(0);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// The largest resident size the process has had, in megabytes.
inline double PeakMemoryMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

} // namespace testimages
