#pragma once

#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QWidget>

// Places a popup at the anchor's left edge directly under it, or above it (2 pixels higher
// than its own height) when it would pass the bottom of the screen.
inline void KRTPlaceUnder(QWidget *popup, const QWidget *anchor)
{
    const QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
    QPoint pos = below;
    const QScreen *screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const int h = popup->sizeHint().height();
    if (area.isValid() && below.y() + h > area.bottom())
        pos.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - h - 2);
    popup->move(pos);
}
