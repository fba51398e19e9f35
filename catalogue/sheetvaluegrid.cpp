#include "catalogue/sheetvaluegrid.h"

#include "controls/krtcolor.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextOption>

namespace {

constexpr quint32 kHeaderColour = 10579511;
constexpr quint32 kItemColour = 14270300;
constexpr quint32 kEvenRowColour = 15921906;
constexpr int kInset = 4;
constexpr int kMinRowHeight = 30;
constexpr int kItemColumnWidth = 300;

QFont CellFont(const QFont &base, int column)
{
    QFont f = base;
    f.setPointSize(column == 0 ? 10 : 11);
    f.setBold(column == 0);
    return f;
}

// Paints the cells as the sheet grids look and measures wrapped texts; values are edited in a
// one-line editor of up to 1000 characters (the longest value the tables keep).
class TSheetValueDelegate : public QStyledItemDelegate
{
public:
    explicit TSheetValueDelegate(TSheetValueGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {}

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool current = index == m_grid->currentIndex() && m_grid->hasFocus();
        const bool selected = current || (option.state & QStyle::State_Selected);
        QColor back;
        QColor fore = Qt::black;
        if (index.column() == 0) {
            back = KRTColor(kItemColour);
            fore = Qt::white;
        } else {
            back = KRTColor((index.row() + 1) % 2 == 1 ? clKRTWhite : kEvenRowColour);
        }
        if (selected && index.column() == 1) {
            back = Qt::black;
            fore = Qt::white;
        }
        p->save();
        p->fillRect(option.rect, back);
        p->setPen(fore);
        p->setFont(CellFont(option.font, index.column()));
        p->drawText(option.rect.adjusted(kInset, kInset, -kInset, -kInset),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                    index.data(Qt::DisplayRole).toString());
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int width = qMax(20, m_grid->columnWidth(index.column()) - 2 * kInset);
        const QFontMetrics fm(CellFont(option.font, index.column()));
        const QRect r = fm.boundingRect(QRect(0, 0, width, 100000),
                                        Qt::AlignLeft | Qt::TextWordWrap,
                                        index.data(Qt::DisplayRole).toString());
        return QSize(width, qMax(kMinRowHeight, r.height() + 2 * kInset + 2));
    }

    QWidget *createEditor(QWidget *parent,
                          const QStyleOptionViewItem &,
                          const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setMaxLength(1000);
        editor->setFrame(false);
        m_grid->SetEditor(editor);
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        static_cast<QLineEdit *>(editor)->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor,
                      QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QLineEdit *>(editor)->text(), Qt::EditRole);
    }

private:
    TSheetValueGrid *m_grid; // Not owned: the parent.
};

} // namespace

TSheetValueGrid::TSheetValueGrid(QWidget *parent)
    : QTableWidget(parent)
{
    setObjectName(QStringLiteral("SG_Scheda"));
    setColumnCount(2);
    setHorizontalHeaderLabels({QStringLiteral("Voce"), QStringLiteral("Valore")});
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kMinRowHeight);
    verticalHeader()->setDefaultSectionSize(kMinRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: white; "
                       "font-weight: bold; font-style: italic; font-size: 10pt; padding: 4px; "
                       "border: 0px; border-right: 1px solid white; }")
            .arg(KRTColor(kHeaderColour).name()));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(true);
    setItemDelegate(new TSheetValueDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FitColumns();
}

TSheetValueGrid::~TSheetValueGrid() = default;

void TSheetValueGrid::SetItems(const std::vector<TItem> &items)
{
    if (state() == QAbstractItemView::EditingState && m_editor)
        QTableWidget::closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
    clearContents();
    m_handles.clear();
    setRowCount(int(items.size()));
    for (int r = 0; r < int(items.size()); ++r) {
        auto *name = new QTableWidgetItem(items.at(r).sDescVoceScheda);
        name->setFlags(Qt::ItemIsEnabled);
        setItem(r, 0, name);
        auto *value = new QTableWidgetItem(items.at(r).sValoreVoceScheda);
        value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(r, 1, value);
        std::unique_ptr<TVRLVoceScheda> handle = TVRLVoceScheda::CreateObject();
        handle->sIdVoceScheda = items.at(r).sIdVoceScheda;
        m_handles.push_back(std::move(handle));
    }
    SetEditing(m_editing);
    FitColumns();
    resizeRowsToContents();
    if (rowCount() > 0)
        setCurrentCell(0, 1);
}

const TVRLVoceScheda *TSheetValueGrid::VoceScheda(int row) const
{
    return row >= 0 && row < int(m_handles.size()) ? m_handles.at(row).get() : nullptr;
}

QString TSheetValueGrid::Value(int row) const
{
    if (m_editor && state() == QAbstractItemView::EditingState && currentRow() == row)
        return m_editor->text();
    const QTableWidgetItem *cell = item(row, 1);
    return cell ? cell->text() : QString();
}

QStringList TSheetValueGrid::Values() const
{
    QStringList values;
    for (int r = 0; r < rowCount(); ++r)
        values << Value(r);
    return values;
}

void TSheetValueGrid::SetValue(int row, const QString &value)
{
    if (QTableWidgetItem *cell = item(row, 1))
        cell->setText(value);
    resizeRowToContents(row);
}

void TSheetValueGrid::ClearValues()
{
    CommitEditor();
    for (int r = 0; r < rowCount(); ++r)
        SetValue(r, QString());
}

void TSheetValueGrid::SetEditing(bool on)
{
    if (!on)
        CommitEditor();
    m_editing = on;
    for (int r = 0; r < rowCount(); ++r) {
        if (QTableWidgetItem *cell = item(r, 1)) {
            cell->setFlags(on ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                              : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed
                       : QAbstractItemView::NoEditTriggers);
}

void TSheetValueGrid::StartAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    MoveToValue(row, !Value(row).isEmpty());
}

void TSheetValueGrid::MoveToValue(int row, bool openEditor)
{
    setCurrentCell(row, 1);
    scrollToItem(item(row, 1));
    if (openEditor && m_editing)
        editItem(item(row, 1));
}

void TSheetValueGrid::ClearCurrentValue()
{
    if (!m_editing || rowCount() == 0)
        return;
    const int row = qMax(0, currentRow());
    CommitEditor();
    SetValue(row, QString());
    MoveToValue(qMin(row + 1, rowCount() - 1), false);
}

void TSheetValueGrid::CommitEditor()
{
    if (!m_editor || state() != QAbstractItemView::EditingState)
        return;
    QLineEdit *editor = m_editor;
    commitData(editor);
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (currentRow() >= 0)
        resizeRowToContents(currentRow());
}

void TSheetValueGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const int row = currentRow();
    QTableWidget::closeEditor(editor, hint);
    if (row >= 0)
        resizeRowToContents(row);
    // Enter in a value: on to the next row's value, ready for typing.
    if (hint == QAbstractItemDelegate::SubmitModelCache && m_editing && row + 1 < rowCount())
        MoveToValue(row + 1, true);
}

void TSheetValueGrid::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_editing && state() != QAbstractItemView::EditingState) {
        const int row = currentRow();
        if (currentColumn() == 1 && row >= 0 && row + 1 < rowCount())
            MoveToValue(row + 1, true);
        else if (row >= 0)
            MoveToValue(row, true);
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TSheetValueGrid::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    FitColumns();
    resizeRowsToContents();
}

void TSheetValueGrid::FitColumns()
{
    setColumnWidth(0, kItemColumnWidth);
    setColumnWidth(1, qMax(80, width() - kItemColumnWidth - 30));
}
