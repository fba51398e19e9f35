#include "controls/tkrtgriddelegate.h"

#include "controls/tkrtgrid.h"
#include "db/dataset.h"

#include <QPainter>
#include <QPainterPath>

#include <utility>

TKRTGridDelegate::TKRTGridDelegate(TKRTGrid *grid)
    : QStyledItemDelegate(grid)
    , m_grid(grid)
{}

void TKRTGridDelegate::paint(QPainter *painter,
                             const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const int col = index.column();
    if (col < 0 || col >= m_grid->ColumnCount())
        return;
    const TKRTGridColumn &column = m_grid->Column(col);
    TKRTDrawCellArgs a;
    a.Canvas = painter;
    a.Rect = option.rect;
    a.Row = index.row();
    a.DataCol = col;
    a.Column = &column;
    a.Selected = option.state & QStyle::State_Selected;
    a.Focused = option.state & QStyle::State_HasFocus;
    a.Font = m_grid->font();

    painter->save();
    painter->setClipRect(option.rect);
    if (m_grid->OnDrawColumnCell)
        m_grid->OnDrawColumnCell(m_grid, a);
    if (a.Selected)
        std::swap(a.Background, a.FontColor);

    TDataSet *ds = m_grid->DataSet();
    const bool glyphCell = m_grid->IsBoolEditColumn(col) && ds && ds->RecordCount() > 0;
    if (a.DefaultDraw) {
        painter->fillRect(option.rect, a.Background);
        if (!glyphCell) {
            painter->setFont(a.Font);
            painter->setPen(a.FontColor);
            const QRect textRect = option.rect.adjusted(2, 0, -2, 0);
            QString text = index.data(Qt::DisplayRole).toString();
            Qt::Alignment alignment = column.Alignment;
            const QFontMetrics fm(a.Font);
            if (fm.horizontalAdvance(text) > textRect.width()) {
                // A value wider than its column shows its beginning and an ellipsis, never a
                // middle cut on both sides.
                text = fm.elidedText(text, Qt::ElideRight, textRect.width());
                alignment = (alignment & Qt::AlignVertical_Mask) | Qt::AlignLeft;
            }
            painter->drawText(textRect, int(alignment) | Qt::TextSingleLine, text);
        }
    }
    if (m_grid->OnDrawImageCell)
        m_grid->OnDrawImageCell(m_grid, a);

    if (glyphCell && column.HasField()) {
        painter->fillRect(option.rect, a.Background);
        const bool value = ds->ValueAt(index.row(), column.FieldIndex).toBool();
        const QPixmap &glyph = value ? m_grid->GlyphCheckedTrue : m_grid->GlyphCheckedFalse;
        if (!glyph.isNull())
            painter->drawPixmap(option.rect.topLeft() + QPoint(4, 2), glyph);
    }

    const int marker = m_grid->SortMarker(col);
    if (marker != 0) {
        const QRect r = option.rect;
        const int cx = r.right() - 7;
        const int cy = r.center().y();
        QPainterPath tri;
        if (marker > 0) {
            tri.moveTo(cx - 4, cy + 2);
            tri.lineTo(cx + 4, cy + 2);
            tri.lineTo(cx, cy - 2);
        } else {
            tri.moveTo(cx - 4, cy - 2);
            tri.lineTo(cx + 4, cy - 2);
            tri.lineTo(cx, cy + 2);
        }
        tri.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->fillPath(tri, m_grid->palette().color(QPalette::ButtonText));
    }
    painter->restore();
}
