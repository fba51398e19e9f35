#include "catalogue/pricelisticons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// A rounded tile in a colour with a short white text: readable at 16 pixels.
QPixmap Tile(const QColor &colour, const QString &text, bool outline = false)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    if (outline) {
        p.setPen(QPen(colour, 1.5));
        p.setBrush(Qt::white);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
    }
    p.drawPath(path);
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(outline ? colour : Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return pixmap;
}

// A small sheet of paper with lines: a data sheet, a paragraph or a sub-paragraph.
QPixmap Sheet(const QColor &colour, int lines)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(130), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 0.5, 11, 15));
    p.setPen(QPen(colour, 1.5));
    for (int i = 0; i < lines; ++i)
        p.drawLine(QPointF(5, 4 + 3 * i), QPointF(11, 4 + 3 * i));
    return pixmap;
}

QPixmap Box()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor brown(0xB0, 0x7A, 0x3C);
    p.setPen(QPen(brown.darker(140), 1));
    p.setBrush(brown.lighter(130));
    p.drawRect(QRectF(1.5, 5.5, 13, 9));
    p.setBrush(brown);
    p.drawRect(QRectF(0.5, 2.5, 15, 3));
    return pixmap;
}

} // namespace

QPixmap PriceListPixmap(TPriceListIcon icon)
{
    switch (icon) {
    case TPriceListIcon::UsedInQuotes:
        return Tile(QColor(0x2E, 0x7D, 0x32), QStringLiteral("P"));
    case TPriceListIcon::SheetsWithValues:
        return Tile(QColor(0x1E, 0x6F, 0xC8), QStringLiteral("S"));
    case TPriceListIcon::SheetsWithout:
        return Tile(QColor(0x1E, 0x6F, 0xC8), QStringLiteral("S"), true);
    case TPriceListIcon::Info:
        return Tile(QColor(0x1E, 0x6F, 0xC8), QStringLiteral("i"));
    case TPriceListIcon::Product:
        return Box();
    case TPriceListIcon::Component:
        return Sheet(QColor(0x1E, 0x4F, 0xC8), 4);
    case TPriceListIcon::Part:
        return Sheet(QColor(0x37, 0x6E, 0xA1), 2);
    case TPriceListIcon::QuantitiesVaried:
        return Tile(QColor(0xD8, 0x6B, 0x00), QStringLiteral("Q"));
    case TPriceListIcon::QuantitiesProduct:
        return Tile(QColor(0xD8, 0x6B, 0x00), QStringLiteral("Q"), true);
    }
    return QPixmap();
}
