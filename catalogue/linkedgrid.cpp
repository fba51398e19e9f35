#include "catalogue/linkedgrid.h"

#include "controls/krtcolor.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

constexpr quint32 kHeaderColour = 10579511;
constexpr quint32 kEvenRowColour = 15921906;
constexpr int kInset = 4;
constexpr int kPositionWidth = 30;
constexpr int kProductWidth = 400;
constexpr int kMinProductWidth = 150;

QFont GridFont()
{
    return QFont(QStringLiteral("Trebuchet MS"), 11);
}

// Paints the rows as the linked list looks and measures the wrapped product texts.
class TLinkedDelegate : public QStyledItemDelegate
{
public:
    explicit TLinkedDelegate(TLinkedGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {}

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int position = index.row() + 1;
        const TVRLLinkedProd *link = m_grid->Link(position);
        const bool accessory = link && link->bAccessorio;
        const bool selected = index.row() == m_grid->currentRow();
        QColor back = KRTColor(position % 2 == 1 ? clKRTWhite : kEvenRowColour);
        QColor fore = accessory ? QColor(Qt::blue) : QColor(Qt::black);
        if (selected) {
            back = accessory ? QColor(Qt::blue) : QColor(Qt::black);
            fore = Qt::white;
        }
        p->save();
        p->fillRect(option.rect, back);
        p->setPen(fore);
        p->setFont(GridFont());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (index.column() == 0)
            p->drawText(option.rect, Qt::AlignCenter, text);
        else
            p->drawText(option.rect.adjusted(kInset, kInset, -kInset, -kInset),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                        text);
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const QFontMetrics fm(GridFont());
        const int standard = fm.height() + 2 * kInset + 2;
        if (index.column() == 0)
            return QSize(kPositionWidth, standard);
        // Measured a little narrower than painted: a text at the edge of the cell gets the
        // height of two lines rather than being cut.
        const int width = qMax(20, m_grid->columnWidth(index.column()) - 2 * kInset - 4);
        const QRect r = fm.boundingRect(QRect(0, 0, width, 100000),
                                        Qt::AlignLeft | Qt::TextWordWrap,
                                        index.data(Qt::DisplayRole).toString());
        return QSize(width, qMax(standard, r.height() + 2 * kInset + 2));
    }

private:
    TLinkedGrid *m_grid; // Not owned: the parent.
};

} // namespace

TLinkedGrid::TLinkedGrid(QWidget *parent)
    : QTableWidget(parent)
{
    setObjectName(QStringLiteral("SG_Linked"));
    setColumnCount(2);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setFont(GridFont());
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: white; "
                       "font-weight: bold; font-style: italic; padding: 4px; border: 0px; "
                       "border-right: 1px solid white; }")
            .arg(KRTColor(kHeaderColour).name()));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(true);
    setFont(GridFont());
    setItemDelegate(new TLinkedDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalHeader()->hide();
    FitColumns();
}

TLinkedGrid::~TLinkedGrid() = default;

void TLinkedGrid::SetLinks(const std::vector<TLink> &links)
{
    clearContents();
    m_links.clear();
    m_dragging = false;
    m_pressedRow = -1;
    const int count = int(links.size());
    setRowCount(count);
    m_links.resize(count);
    for (const TLink &link : links) {
        const int row = link.iPosition - 1;
        if (row < 0 || row >= count)
            continue;
        auto *position = new QTableWidgetItem(QString::number(link.iPosition));
        position->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, 0, position);
        auto *text = new QTableWidgetItem(link.sTxProdotto);
        text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, 1, text);
        std::unique_ptr<TVRLLinkedProd> record = TVRLLinkedProd::CreateObject();
        record->sIdProdotto = link.sIdProdotto;
        record->bAccessorio = link.bAccessorio;
        m_links[row] = std::move(record);
    }
    // The header row is there only with links.
    if (count > 0) {
        setHorizontalHeaderLabels({QString(), QStringLiteral("Prodotto")});
        horizontalHeader()->show();
    } else {
        setHorizontalHeaderLabels({QString(), QString()});
        horizontalHeader()->hide();
    }
    FitColumns();
    resizeRowsToContents();
    viewport()->update();
}

TVRLLinkedProd *TLinkedGrid::Link(int position) const
{
    const int row = position - 1;
    return row >= 0 && row < int(m_links.size()) ? m_links.at(row).get() : nullptr;
}

QString TLinkedGrid::ProductText(int position) const
{
    const QTableWidgetItem *cell = item(position - 1, 1);
    return cell ? cell->text() : QString();
}

int TLinkedGrid::CurrentPosition() const
{
    return rowCount() > 0 && currentRow() >= 0 ? currentRow() + 1 : 0;
}

void TLinkedGrid::SetCurrentPosition(int position)
{
    if (position < 1 || position > rowCount())
        return;
    setCurrentCell(position - 1, 1);
    scrollToItem(item(position - 1, 1));
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

int TLinkedGrid::PositionOf(const QString &sIdProdotto) const
{
    for (int r = 0; r < int(m_links.size()); ++r) {
        if (m_links.at(r)
            && m_links.at(r)->sIdProdotto.compare(sIdProdotto, Qt::CaseInsensitive) == 0)
            return r + 1;
    }
    return 0;
}

int TLinkedGrid::RowAt(const QPoint &pos) const
{
    const int row = rowAt(pos.y());
    if (row >= 0)
        return row;
    return pos.y() < 0 ? 0 : rowCount() - 1;
}

void TLinkedGrid::mousePressEvent(QMouseEvent *event)
{
    QTableWidget::mousePressEvent(event);
    m_dragging = false;
    m_pressedRow = -1;
    if (event->button() == Qt::LeftButton) {
        const int row = rowAt(event->position().toPoint().y());
        if (row >= 0) {
            m_pressedRow = row;
            m_pressPos = event->position().toPoint();
        }
    }
}

void TLinkedGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressedRow < 0 || !(event->buttons() & Qt::LeftButton)) {
        QTableWidget::mouseMoveEvent(event);
        return;
    }
    // The pressed row stays current while it is dragged.
    if ((event->position().toPoint() - m_pressPos).manhattanLength()
        >= QApplication::startDragDistance()) {
        m_dragging = true;
        viewport()->setCursor(Qt::SizeVerCursor);
    }
}

void TLinkedGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const bool dragged = m_dragging && event->button() == Qt::LeftButton && m_pressedRow >= 0;
    const int from = m_pressedRow;
    m_dragging = false;
    m_pressedRow = -1;
    viewport()->unsetCursor();
    QTableWidget::mouseReleaseEvent(event);
    if (!dragged || rowCount() == 0)
        return;
    const int to = RowAt(event->position().toPoint());
    if (to >= 0 && to != from && OnRowMoved)
        OnRowMoved(from + 1, to + 1);
}

void TLinkedGrid::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    Refit();
}

void TLinkedGrid::updateGeometries()
{
    QTableWidget::updateGeometries();
    Refit();
}

void TLinkedGrid::Refit()
{
    // The text column follows the viewport's width and the rows take the height of their
    // wrapped texts again; nothing is ever scrolled sideways.
    if (m_fitting)
        return;
    m_fitting = true;
    const int before = columnWidth(1);
    FitColumns();
    if (columnWidth(1) != before)
        resizeRowsToContents();
    horizontalScrollBar()->setValue(0);
    m_fitting = false;
}

void TLinkedGrid::FitColumns()
{
    setColumnWidth(0, kPositionWidth);
    // The product text takes the rest of the width (400 at the window's design size) and
    // wraps inside it.
    const int room = viewport()->width() - kPositionWidth;
    setColumnWidth(1, room > kMinProductWidth ? room : kProductWidth);
}
