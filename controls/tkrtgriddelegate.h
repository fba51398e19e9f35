#pragma once

// Draws the cells of the data grid: preset colours, the owner's drawing hook, selected-cell
// inversion, the image hook, the sort marker and the check glyphs.

#include <QStyledItemDelegate>

class TKRTGrid;

class TKRTGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TKRTGridDelegate(TKRTGrid *grid);

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    TKRTGrid *m_grid; // Not owned (the parent).
};
