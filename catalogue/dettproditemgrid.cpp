#include "catalogue/dettproditemgrid.h"

#include "catalogue/dettprodpanels.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "db/editablerecordset.h"
#include "masterdata/listdata.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kRowHeight = 30;
const QColor kHeaderBlue(0x37, 0x6E, 0xA1);
const QColor kEvenRow(0xF2, 0xF2, 0xF2);

QFont GridFont()
{
    QFont font(QStringLiteral("Trebuchet MS"));
    font.setPointSize(11);
    return font;
}

// Draws the rows (alternate backgrounds, the selected cell, disabled items red and struck
// through, wrapped texts) and turns Enter in a cell editor into the grid's own move.
class TItemGridDelegate : public QStyledItemDelegate
{
public:
    TItemGridDelegate(QTableWidget *grid,
                      std::function<TVRLDettProd *(int)> record,
                      std::function<void(int, int)> enter)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
        , m_record(std::move(record))
        , m_enter(std::move(enter))
    {}

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painter->save();
        const bool selected = m_grid->currentIndex() == index;
        const TVRLDettProd *rec = m_record(index.row());
        const bool disabled = rec && !rec->bAttivo;
        QColor back = (index.row() % 2 == 0) ? QColor(Qt::white) : kEvenRow;
        QColor fore = Qt::black;
        QFont font = GridFont();
        if (disabled) {
            back = QColor(Qt::red);
            fore = Qt::white;
            font.setStrikeOut(true);
        }
        if (selected) {
            back = Qt::black;
            fore = Qt::white;
            font.setBold(true);
        }
        painter->fillRect(option.rect, back);
        painter->setPen(fore);
        painter->setFont(font);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (index.column() == 0)
            painter->drawText(option.rect, Qt::AlignCenter, text);
        else
            painter->drawText(option.rect.adjusted(4, 1, -4, -1),
                              Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
                              text);
        painter->setPen(QColor(0xD0, 0xD0, 0xD0));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() == 0)
            return QSize(30, kRowHeight);
        const int width = qMax(20, m_grid->columnWidth(index.column()) - 8);
        const QFontMetrics metrics(GridFont());
        const QRect bounds = metrics.boundingRect(QRect(0, 0, width, 100000),
                                                  Qt::TextWordWrap,
                                                  index.data(Qt::DisplayRole).toString());
        Q_UNUSED(option);
        return QSize(width, qMax(kRowHeight, bounds.height() + 2));
    }

    QWidget *createEditor(QWidget *parent,
                          const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        editor->setFont(GridFont());
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setMaxLength(200);
        return editor;
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto *editor = qobject_cast<QWidget *>(object);
                QModelIndex index = m_grid->indexAt(editor->geometry().center());
                if (!index.isValid())
                    index = m_grid->currentIndex();
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                const int row = index.row();
                const int column = index.column();
                auto enter = m_enter;
                QTimer::singleShot(0, m_grid, [enter, row, column] { enter(row, column); });
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    QTableWidget *m_grid;
    std::function<TVRLDettProd *(int)> m_record;
    std::function<void(int, int)> m_enter;
};

QPushButton *GridButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

TDettProdItemGridPanel::TDettProdItemGridPanel(bool table, QWidget *parent)
    : TDettProdNodePanel(parent)
    , m_table(table)
{
    setObjectName(table ? QStringLiteral("TSH_Parte_TabVoci") : QStringLiteral("TSH_SchedaVoci"));
    if (table)
        m_col = {QStringLiteral("idTabVoce"),
                 QStringLiteral("idTabParte"),
                 QStringLiteral("nuOrdineVoceTab"),
                 QStringLiteral("txDescColVoce"),
                 QStringLiteral("txDescColValore"),
                 QStringLiteral("flVoceTabAttiva")};
    else
        m_col = {QStringLiteral("idVoceScheda"),
                 QStringLiteral("idSchedaProdotto"),
                 QStringLiteral("nuOrdineVoceScheda"),
                 QStringLiteral("txDescVoceScheda"),
                 QString(),
                 QStringLiteral("flVoceSchedaAttiva")};

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(6);
    auto *buttons = new QHBoxLayout;
    const QString prefix = table ? QStringLiteral("PB_ParteTab_") : QStringLiteral("PB_Scheda_");
    PB_NuovaRiga = GridButton(this,
                              prefix + QStringLiteral("NuovaRiga"),
                              QStringLiteral("Aggiungi"));
    PB_EliminaRiga = GridButton(this,
                                prefix + QStringLiteral("EliminaRiga"),
                                QStringLiteral("Elimina"));
    PB_PulisciRiga = GridButton(this,
                                prefix + QStringLiteral("PulisciRiga"),
                                QStringLiteral("Pulisci"));
    buttons->addWidget(PB_NuovaRiga);
    buttons->addWidget(PB_EliminaRiga);
    buttons->addWidget(PB_PulisciRiga);
    buttons->addStretch(1);
    column->addLayout(buttons);

    SG_Grid = new QTableWidget(this);
    SG_Grid->setObjectName(table ? QStringLiteral("SG_Tabella") : QStringLiteral("SG_Scheda"));
    SG_Grid->setColumnCount(table ? 3 : 2);
    QStringList headers{QString(), QStringLiteral("VOCE")};
    if (table)
        headers << QStringLiteral("VALORE");
    SG_Grid->setHorizontalHeaderLabels(headers);
    SG_Grid->verticalHeader()->hide();
    SG_Grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    SG_Grid->setFont(GridFont());
    SG_Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    SG_Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    SG_Grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    SG_Grid->setWordWrap(true);
    SG_Grid->horizontalHeader()->setStretchLastSection(false);
    SG_Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    QFont headerFont = GridFont();
    headerFont.setBold(true);
    headerFont.setItalic(true);
    SG_Grid->horizontalHeader()->setFont(headerFont);
    SG_Grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: #376EA1; color: white; "
                       "border: 1px solid #2A5680; padding: 3px; }"));
    SG_Grid->setItemDelegate(new TItemGridDelegate(
        SG_Grid,
        [this](int row) { return RowRecord(row); },
        [this](int row, int col) { EnterAfterEdit(row, col); }));
    SG_Grid->viewport()->installEventFilter(this);
    column->addWidget(SG_Grid, 1);

    CK_VoceNodoAttiva = new QCheckBox(table ? QStringLiteral("Voce tabella attiva")
                                            : QStringLiteral("Voce scheda attiva"),
                                      this);
    CK_VoceNodoAttiva->setObjectName(table ? QStringLiteral("CK_VoceTabellaNodoAttiva")
                                           : QStringLiteral("CK_VoceSchedaNodoAttiva"));
    column->addWidget(CK_VoceNodoAttiva);

    connect(PB_NuovaRiga, &QPushButton::clicked, this, &TDettProdItemGridPanel::AddRow);
    connect(PB_EliminaRiga, &QPushButton::clicked, this, &TDettProdItemGridPanel::DeleteRow);
    connect(PB_PulisciRiga, &QPushButton::clicked, this, &TDettProdItemGridPanel::ClearRow);
    connect(CK_VoceNodoAttiva, &QCheckBox::clicked, this, &TDettProdItemGridPanel::ActiveClicked);
    connect(SG_Grid, &QTableWidget::currentCellChanged, this, [this](int row) { CellChanged(row); });
    connect(SG_Grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *) {
        FitRowHeights();
    });
}

TDettProdItemGridPanel::~TDettProdItemGridPanel() = default;

QString TDettProdItemGridPanel::Title(const TDettProdNodeContext &context) const
{
    return NodePanelTitle(context.xTipoOp, context.xTipoNode);
}

QWidget *TDettProdItemGridPanel::MainField() const
{
    return SG_Grid;
}

TVRLDettProd *TDettProdItemGridPanel::RowRecord(int row) const
{
    const QTableWidgetItem *number = SG_Grid->item(row, 0);
    if (!number)
        return nullptr;
    const auto it = m_records.find(number->data(kIdRole).toString());
    return it == m_records.end() ? nullptr : it->second.get();
}

int TDettProdItemGridPanel::RowCount() const
{
    return SG_Grid->rowCount();
}

QString TDettProdItemGridPanel::CellText(int row, int column) const
{
    const QTableWidgetItem *item = SG_Grid->item(row, column);
    return item ? item->text() : QString();
}

void TDettProdItemGridPanel::ClearGrid()
{
    SG_Grid->setRowCount(0);
    m_records.clear();
}

int TDettProdItemGridPanel::AppendGridRow(std::unique_ptr<TVRLDettProd> record,
                                          const QString &text,
                                          const QString &value)
{
    const int row = SG_Grid->rowCount();
    SG_Grid->insertRow(row);
    auto *number = new QTableWidgetItem(QString::number(row + 1));
    number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    number->setData(kIdRole, record->sIdNodo);
    SG_Grid->setItem(row, 0, number);
    SG_Grid->setItem(row, 1, new QTableWidgetItem(text));
    if (m_table)
        SG_Grid->setItem(row, 2, new QTableWidgetItem(value));
    m_records[record->sIdNodo] = std::move(record);
    return row;
}

bool TDettProdItemGridPanel::Open(const TDettProdNodeContext &context)
{
    ClearGrid();
    m_owner = context.sIdOwner;
    auto items = std::make_unique<TEditableRecordSet>(TSTD_DBMODULE::Instance(),
                                                      m_table ? QStringLiteral(
                                                          "Prod_Comp_Parte_Tab_Voci")
                                                              : QStringLiteral("Prod_Scheda_Voci"),
                                                      m_col.id);
    try {
        items->Open(DatiNodoText(m_owner, m_table ? 90 : 20));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura voci."), e);
        return false;
    }
    m_items = std::move(items);
    TDataSet &data = m_items->Data();
    // Items by stored position, then as the database gave them: gaps, repeats and positions
    // outside 1..n take the next free row, none is lost.
    struct TItem
    {
        int position;
        int order;
        QString id, owner, text, value;
        bool active;
    };
    std::vector<TItem> list;
    int order = 0;
    for (data.First(); !data.Eof(); data.Next()) {
        TItem item;
        item.position = int(data.FieldByName(m_col.position).AsInteger());
        item.order = order++;
        item.id = data.FieldByName(m_col.id).AsString();
        item.owner = data.FieldByName(m_col.owner).AsString();
        item.text = data.FieldByName(m_col.text).AsString();
        if (m_table)
            item.value = data.FieldByName(m_col.value).AsString();
        item.active = data.FieldByName(m_col.active).AsBoolean();
        list.push_back(item);
    }
    std::stable_sort(list.begin(), list.end(), [](const TItem &a, const TItem &b) {
        const bool aIn = a.position >= 1;
        const bool bIn = b.position >= 1;
        if (aIn != bIn)
            return aIn;
        return a.position < b.position;
    });
    int selectRow = 0;
    for (const TItem &item : list) {
        auto record = TVRLDettProd::CreateObject();
        record->sIdNodo = item.id;
        record->sIdParent = item.owner;
        record->bAttivo = item.active;
        const int row = AppendGridRow(std::move(record), item.text, item.value);
        if (item.id == context.sIdItem)
            selectRow = row;
    }
    SetColumnWidths();
    FitRowHeights();
    m_editRow = -1;
    if (list.empty() || context.xTipoOp == coGENInsert) {
        // A new item ready for typing (a data sheet or table without items starts with one).
        AppendNewRow();
        m_editRow = SG_Grid->rowCount() - 1;
    } else {
        SG_Grid->setCurrentCell(selectRow, 1);
        CellChanged(selectRow);
        if (list.size() == 1)
            m_editRow = selectRow;
    }
    return true;
}

void TDettProdItemGridPanel::Shown()
{
    SetColumnWidths();
    FitRowHeights();
    if (m_editRow >= 0)
        EditCell(m_editRow, 1);
    m_editRow = -1;
}

void TDettProdItemGridPanel::CommitOpenEditor()
{
    // An open cell editor hands its text over to the cell.
    for (QLineEdit *editor : SG_Grid->viewport()->findChildren<QLineEdit *>())
        if (editor->isVisible() && SG_Grid->currentIndex().isValid())
            SG_Grid->itemDelegate()->setModelData(editor, SG_Grid->model(), SG_Grid->currentIndex());
}

void TDettProdItemGridPanel::Release()
{
    ClearGrid();
    m_items.reset();
}

void TDettProdItemGridPanel::EditCell(int row, int column)
{
    SG_Grid->setCurrentCell(row, column);
    if (QTableWidgetItem *item = SG_Grid->item(row, column))
        SG_Grid->editItem(item);
}

void TDettProdItemGridPanel::Renumber()
{
    for (int r = 0; r < SG_Grid->rowCount(); ++r)
        if (QTableWidgetItem *number = SG_Grid->item(r, 0))
            number->setText(QString::number(r + 1));
}

int TDettProdItemGridPanel::AppendNewRow()
{
    // A blank record with only its id, its owner and the active flag.
    auto record = std::make_unique<TVRLDettProd>();
    record->sIdNodo = NewGuidText();
    record->sIdParent = m_owner;
    record->bAttivo = true;
    const int row = AppendGridRow(std::move(record), QString(), QString());
    FitRowHeights();
    SG_Grid->setCurrentCell(row, 1);
    CellChanged(row);
    return row;
}

void TDettProdItemGridPanel::AddRow()
{
    EditCell(AppendNewRow(), 1);
}

void TDettProdItemGridPanel::DeleteRow()
{
    if (SG_Grid->rowCount() <= 1) {
        ShowInfoBox(QStringLiteral("Almeno una voce deve essere presente.") + LineBreaks(2)
                    + QStringLiteral("Cancellazione non effettuata."));
        return;
    }
    const int row = qMax(0, SG_Grid->currentRow());
    if (QTableWidgetItem *number = SG_Grid->item(row, 0))
        m_records.erase(number->data(kIdRole).toString());
    SG_Grid->removeRow(row);
    Renumber();
    const int select = qMin(row, SG_Grid->rowCount() - 1);
    SG_Grid->setCurrentCell(select, 1);
    CellChanged(select);
}

void TDettProdItemGridPanel::ClearRow()
{
    const int row = SG_Grid->currentRow();
    if (row < 0)
        return;
    for (int c = 1; c < SG_Grid->columnCount(); ++c)
        if (QTableWidgetItem *item = SG_Grid->item(row, c))
            item->setText(QString());
    EditCell(row, 1);
}

void TDettProdItemGridPanel::MoveRow(int from, int to)
{
    const int count = SG_Grid->rowCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    QList<QTableWidgetItem *> taken;
    for (int c = 0; c < SG_Grid->columnCount(); ++c)
        taken << SG_Grid->takeItem(from, c);
    SG_Grid->removeRow(from);
    SG_Grid->insertRow(to);
    for (int c = 0; c < taken.size(); ++c)
        SG_Grid->setItem(to, c, taken.at(c));
    Renumber();
    FitRowHeights();
    SG_Grid->setCurrentCell(to, 1);
    CellChanged(to);
}

void TDettProdItemGridPanel::CellChanged(int row)
{
    const TVRLDettProd *record = RowRecord(row);
    const QSignalBlocker block(CK_VoceNodoAttiva);
    CK_VoceNodoAttiva->setChecked(record ? record->bAttivo : false);
    SG_Grid->viewport()->update();
}

void TDettProdItemGridPanel::ActiveClicked(bool on)
{
    if (TVRLDettProd *record = RowRecord(SG_Grid->currentRow()))
        record->bAttivo = on;
    SG_Grid->viewport()->update();
    SG_Grid->setFocus();
}

void TDettProdItemGridPanel::EnterAfterEdit(int row, int column)
{
    if (m_table && column == 1) {
        EditCell(row, 2);
        return;
    }
    if (row < SG_Grid->rowCount() - 1)
        SG_Grid->setCurrentCell(row + 1, 1);
    else
        AddRow();
}

void TDettProdItemGridPanel::SetColumnWidths()
{
    const int remaining = qMax(100, SG_Grid->viewport()->width() - 30);
    SG_Grid->setColumnWidth(0, 30);
    if (m_table) {
        SG_Grid->setColumnWidth(1, int(remaining * 0.6));
        SG_Grid->setColumnWidth(2, int(remaining * 0.3));
    } else {
        SG_Grid->setColumnWidth(1, int(remaining * 0.9));
    }
}

void TDettProdItemGridPanel::FitRowHeights()
{
    SG_Grid->resizeRowsToContents();
}

void TDettProdItemGridPanel::resizeEvent(QResizeEvent *event)
{
    TDettProdNodePanel::resizeEvent(event);
    SetColumnWidths();
    FitRowHeights();
}

bool TDettProdItemGridPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A row is dragged by its number (column 0) and dropped on another row.
    if (watched == SG_Grid->viewport()) {
        if (event->type() == QEvent::Resize) {
            SetColumnWidths();
            FitRowHeights();
        } else if (event->type() == QEvent::MouseButtonPress) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const QModelIndex index = SG_Grid->indexAt(mouse->position().toPoint());
            m_dragFrom = index.isValid() && index.column() == 0 ? index.row() : -1;
            if (m_dragFrom >= 0)
                SG_Grid->viewport()->setCursor(Qt::SizeVerCursor);
        } else if (event->type() == QEvent::MouseButtonRelease && m_dragFrom >= 0) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const QModelIndex index = SG_Grid->indexAt(mouse->position().toPoint());
            const int from = m_dragFrom;
            m_dragFrom = -1;
            SG_Grid->viewport()->unsetCursor();
            if (index.isValid() && index.row() != from) {
                MoveRow(from, index.row());
                return true;
            }
        }
    }
    return TDettProdNodePanel::eventFilter(watched, event);
}

bool TDettProdItemGridPanel::Save(const TDettProdNodeContext &context)
{
    CommitOpenEditor();
    const QString updateError = m_table ? QStringLiteral("Errore modifica voce tabella (ERR.G21).")
                                        : QStringLiteral("Errore modifica voce scheda (ERR.G09).");
    const QString insertError = m_table ? QStringLiteral(
                                    "Errore creazione nuova voce tabella (ERR.G22).")
                                        : QStringLiteral(
                                            "Errore creazione nuova voce scheda (ERR.G10).");
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    QString failing = updateError;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        if (!m_items)
            throw EDatabaseError(QStringLiteral("Voci non lette."));
        TDataSet &data = m_items->Data();
        // Grid rows by item id.
        QHash<QString, int> rowOf;
        for (int r = 0; r < SG_Grid->rowCount(); ++r)
            if (const TVRLDettProd *rec = RowRecord(r))
                rowOf.insert(rec->sIdNodo, r);
        // Stored items: updated from their row, or deleted.
        QSet<QString> stored;
        for (int recNo = data.RecordCount(); recNo >= 1; --recNo) {
            data.SetRecNo(recNo);
            const QString id = data.FieldByName(m_col.id).AsString();
            const int row = rowOf.value(id, -1);
            if (row < 0) {
                data.Delete();
                continue;
            }
            stored.insert(id);
            data.Edit();
            data.FieldByName(m_col.position).SetValue(row + 1);
            data.FieldByName(m_col.text).SetValue(CellText(row, 1));
            if (m_table)
                data.FieldByName(m_col.value).SetValue(CellText(row, 2));
            data.FieldByName(m_col.active).SetValue(RowRecord(row)->bAttivo ? 1 : 0);
            data.Post();
        }
        // New items; an empty last row is no item.
        const int last = SG_Grid->rowCount() - 1;
        for (int r = 0; r <= last; ++r) {
            const TVRLDettProd *rec = RowRecord(r);
            if (!rec || stored.contains(rec->sIdNodo))
                continue;
            if (r == last && CellText(r, 1).trimmed().isEmpty())
                continue;
            data.Append();
            data.FieldByName(m_col.id).SetValue(rec->sIdNodo);
            data.FieldByName(m_col.owner).SetValue(rec->sIdParent);
            data.FieldByName(m_col.position).SetValue(r + 1);
            data.FieldByName(m_col.text).SetValue(CellText(r, 1));
            if (m_table)
                data.FieldByName(m_col.value).SetValue(CellText(r, 2));
            data.FieldByName(m_col.active).SetValue(rec->bAttivo ? 1 : 0);
            data.Post();
        }
        db->BeginTrans();
        m_items->Post(SessionInfo().sUserName, true);
        failing = QStringLiteral("Errore aggiornamento modifica prodotto (ERR.G26).");
        db->Query(UpdateChangesProdottoText(context.sIdProdotto));
        db->CommitTrans();
        return true;
    } catch (const std::exception &e) {
        if (m_items) {
            if (failing != QStringLiteral("Errore aggiornamento modifica prodotto (ERR.G26)."))
                failing = m_items->FailedWrite() == TEditableRecordSet::TWriteKind::Insert
                              ? insertError
                              : updateError;
            try {
                m_items->Cancel();
            } catch (const std::exception &) {
                // The rows are rebuilt from the grid at the next "Ok".
            }
        }
        if (db && db->InTransaction())
            db->RollbackTrans();
        // The grid stays as edited.
        ShowDbError(failing, e);
        return false;
    }
}
