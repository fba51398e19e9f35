#include "catalogue/cataloguegridicons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kBlue(0x37, 0x6E, 0xA1);
const QColor kDark(0x30, 0x30, 0x30);

void DrawDettagli(QPainter &p)
{
    // A small tree: a root and three indented branches.
    p.setPen(QPen(kBlue, 1.2));
    p.drawLine(QPointF(3.5, 4), QPointF(3.5, 13));
    for (int y : {7, 10, 13})
        p.drawLine(QPointF(3.5, y), QPointF(6.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(1.5, 1.5, 5, 3));
    for (int y : {6, 9, 12})
        p.drawRect(QRectF(7.5, y - 0.5, 7, 2.5));
}

void DrawCollegati(QPainter &p)
{
    // Two chain links.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 2));
    p.drawRoundedRect(QRectF(1.5, 5, 8, 5.5), 2.7, 2.7);
    p.setPen(QPen(QColor(0x1B, 0x5E, 0x20), 2));
    p.drawRoundedRect(QRectF(6.5, 5.5, 8, 5.5), 2.7, 2.7);
}

void DrawListini(QPainter &p)
{
    // A price tag with a hole.
    QPainterPath tag;
    tag.moveTo(1.5, 8);
    tag.lineTo(6.5, 2.5);
    tag.lineTo(14.5, 2.5);
    tag.lineTo(14.5, 13.5);
    tag.lineTo(6.5, 13.5);
    tag.closeSubpath();
    p.setPen(QPen(QColor(0x8D, 0x5B, 0x00), 1));
    p.setBrush(QColor(0xF9, 0xC7, 0x4F));
    p.drawPath(tag);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6, 8), 1.4, 1.4);
    p.setPen(QPen(QColor(0x8D, 0x5B, 0x00), 1.2));
    p.drawLine(QPointF(9, 6), QPointF(12.5, 6));
    p.drawLine(QPointF(9, 10), QPointF(12.5, 10));
}

void DrawInfo(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1E, 0x6F, 0xC8));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.8), 1.2, 1.2);
    p.drawRect(QRectF(7, 7, 2, 5.5));
}

void DrawMancaCopertina(QPainter &p)
{
    // A picture frame crossed out in red.
    p.setPen(QPen(kDark, 1));
    p.setBrush(QColor(0xE3, 0xF2, 0xFD));
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x66, 0xA3, 0x5E));
    QPainterPath hill;
    hill.moveTo(2, 13);
    hill.lineTo(6, 8);
    hill.lineTo(9, 11);
    hill.lineTo(11, 9);
    hill.lineTo(14, 13);
    hill.closeSubpath();
    p.drawPath(hill);
    p.setPen(QPen(QColor(0xD3, 0x2F, 0x2F), 2));
    p.drawLine(QPointF(2.5, 3.5), QPointF(13.5, 12.5));
    p.drawLine(QPointF(13.5, 3.5), QPointF(2.5, 12.5));
}

void DrawParagrafo(QPainter &p)
{
    // Lines of text under a heading.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(1.5, 2, 13, 2.5));
    p.setBrush(kDark);
    for (int y : {6, 9, 12})
        p.drawRect(QRectF(1.5, y, y == 12 ? 8 : 13, 1.5));
}

void DrawScheda(QPainter &p)
{
    // A two-column table with a header row.
    p.setPen(QPen(kDark, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(2, 2, 12, 3));
    p.setPen(QPen(kDark, 1));
    p.drawLine(QPointF(6.5, 5), QPointF(6.5, 14.5));
    p.drawLine(QPointF(1.5, 8.5), QPointF(14.5, 8.5));
    p.drawLine(QPointF(1.5, 11.5), QPointF(14.5, 11.5));
}

} // namespace

QPixmap CatalogueGridIcon(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case giDettagli:
        DrawDettagli(p);
        break;
    case giCollegati:
        DrawCollegati(p);
        break;
    case giListini:
        DrawListini(p);
        break;
    case giInfo:
        DrawInfo(p);
        break;
    case giMancaCopertina:
        DrawMancaCopertina(p);
        break;
    case giParagrafo:
        DrawParagrafo(p);
        break;
    case giScheda:
        DrawScheda(p);
        break;
    default:
        break;
    }
    return pixmap;
}
