#include "orders/ordine_sommario.h"

#include "common/childplacement.h"
#include "common/dialogs.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/listdata.h"
#include "masterdata/listwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace {

const TWindowRegistration registration(QStringLiteral("ORDINE_SOMMARIO"), [](QWidget *parent) {
    return new TORDINE_SOMMARIO(parent);
});

const QColor kHeader(0x37, 0x6E, 0xA1); // Windows colour value 0xA16E37
const QColor kNumber(0x5C, 0xBF, 0xD9); // Windows colour value 0xD9BF5C
const QColor kEvenRow(0xF2, 0xF2, 0xF2);

QFont SummaryFont(int size, bool bold = false, bool italic = false)
{
    QFont f(QStringLiteral("Trebuchet MS"));
    f.setPointSize(size);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Draws the cells (number column coloured, rows alternating, texts wrapped inside 4 pixels)
// and gives the editors: Enter while typing goes on as the window says.
class TSummaryDelegate : public QStyledItemDelegate
{
public:
    explicit TSummaryDelegate(TORDINE_SOMMARIO *window)
        : QStyledItemDelegate(window)
        , m_window(window)
    {}

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QString text = index.data().toString();
        p->save();
        if (index.column() == 0) {
            p->fillRect(option.rect, kNumber);
            p->setPen(Qt::white);
            p->setFont(SummaryFont(10, true));
            p->drawText(option.rect, Qt::AlignCenter, text);
        } else {
            const bool even = (index.row() + 1) % 2 == 0;
            p->fillRect(option.rect, selected ? QColor(Qt::black) : (even ? kEvenRow : Qt::white));
            p->setPen(selected ? Qt::white : Qt::black);
            p->setFont(SummaryFont(11));
            const QRect inner = option.rect.adjusted(4, 0, -4, 0);
            if (option.rect.height() <= TORDINE_SOMMARIO::kRowHeight)
                p->drawText(inner,
                            Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                            p->fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
            else
                p->drawText(inner, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text);
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() == 0)
            return QSize(50, TORDINE_SOMMARIO::kRowHeight);
        const int width = qMax(20, m_window->SG_Sommario->columnWidth(index.column()) - 8);
        const QFontMetrics fm(SummaryFont(11));
        const QRect r = fm.boundingRect(QRect(0, 0, width, 100000),
                                        Qt::AlignLeft | Qt::TextWordWrap,
                                        index.data().toString());
        Q_UNUSED(option);
        return QSize(width, r.height() + 2);
    }

    QWidget *createEditor(QWidget *parent,
                          const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        if (index.column() == 0)
            return nullptr;
        auto *editor = new QLineEdit(parent);
        editor->setFont(SummaryFont(11));
        if (index.column() == 1)
            editor->setMaxLength(TORDINE_SOMMARIO::kDescriptionLength);
        editor->installEventFilter(const_cast<TSummaryDelegate *>(this));
        return editor;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                auto *editor = qobject_cast<QWidget *>(watched);
                const QModelIndex current = m_window->SG_Sommario->currentIndex();
                Q_EMIT const_cast<TSummaryDelegate *>(this)->commitData(editor);
                Q_EMIT const_cast<TSummaryDelegate *>(this)->closeEditor(editor, NoHint);
                m_window->EnterFromCell(current.row(), current.column());
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    TORDINE_SOMMARIO *m_window; // Not owned: the owner.
};

} // namespace

QString SummaryText(const QString &text)
{
    int begin = 0;
    int end = text.size();
    auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

TORDINE_SOMMARIO::TORDINE_SOMMARIO(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ORDINE_SOMMARIO"));
    setWindowTitle(QStringLiteral("Sommario dell'ordine"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);

    SG_Sommario = new QTableWidget(0, 3, this);
    SG_Sommario->setObjectName(QStringLiteral("SG_Sommario"));
    SG_Sommario->setHorizontalHeaderLabels(
        {QStringLiteral("Ordine"), QStringLiteral("Descrizione"), QStringLiteral("Testo")});
    SG_Sommario->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: #376EA1; color: white; "
                       "font-family: 'Trebuchet MS'; font-size: 10pt; font-weight: bold; "
                       "font-style: italic; border: 1px solid #2A5580; padding: 3px; }"));
    SG_Sommario->horizontalHeader()->setHighlightSections(false);
    SG_Sommario->verticalHeader()->setSectionsMovable(true); // rows are dragged by their header
    SG_Sommario->verticalHeader()->setDefaultSectionSize(kRowHeight);
    SG_Sommario->verticalHeader()->setFixedWidth(14);
    SG_Sommario->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    SG_Sommario->setSelectionMode(QAbstractItemView::SingleSelection);
    SG_Sommario->setSelectionBehavior(QAbstractItemView::SelectItems);
    SG_Sommario->setEditTriggers(QAbstractItemView::DoubleClicked
                                 | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::AnyKeyPressed);
    SG_Sommario->setItemDelegate(new TSummaryDelegate(this));
    SG_Sommario->setWordWrap(true);
    layout->addWidget(SG_Sommario, 1);

    auto makeButton = [this](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setMinimumSize(100, 28);
        return b;
    };
    PB_NuovaRiga = makeButton(QStringLiteral("PB_NuovaRiga"), QStringLiteral("Aggiungi"));
    PB_EliminaRiga = makeButton(QStringLiteral("PB_EliminaRiga"), QStringLiteral("Elimina"));
    PB_PulisciRiga = makeButton(QStringLiteral("PB_PulisciRiga"), QStringLiteral("Pulisci"));
    PB_Ok_Input_Sommario = makeButton(QStringLiteral("PB_Ok_Input_Sommario"), QStringLiteral("Ok"));
    PB_Annulla_Input_Sommario = makeButton(QStringLiteral("PB_Annulla_Input_Sommario"),
                                           QStringLiteral("Annulla"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(PB_NuovaRiga);
    buttons->addWidget(PB_EliminaRiga);
    buttons->addWidget(PB_PulisciRiga);
    buttons->addStretch(1);
    buttons->addWidget(PB_Ok_Input_Sommario);
    buttons->addWidget(PB_Annulla_Input_Sommario);
    layout->addLayout(buttons);

    connect(PB_NuovaRiga, &QPushButton::clicked, this, &TORDINE_SOMMARIO::PB_NuovaRigaClick);
    connect(PB_EliminaRiga, &QPushButton::clicked, this, &TORDINE_SOMMARIO::PB_EliminaRigaClick);
    connect(PB_PulisciRiga, &QPushButton::clicked, this, &TORDINE_SOMMARIO::PB_PulisciRigaClick);
    connect(PB_Ok_Input_Sommario,
            &QPushButton::clicked,
            this,
            &TORDINE_SOMMARIO::PB_Ok_Input_SommarioClick);
    connect(PB_Annulla_Input_Sommario,
            &QPushButton::clicked,
            this,
            &TORDINE_SOMMARIO::PB_Annulla_Input_SommarioClick);
    connect(SG_Sommario->verticalHeader(),
            &QHeaderView::sectionMoved,
            this,
            [this](int, int from, int to) { MoveRow(from, to); });
    connect(SG_Sommario, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() > 0)
            SG_Sommario->resizeRowToContents(item->row());
    });

    resize(760, 460);
}

TORDINE_SOMMARIO::~TORDINE_SOMMARIO() = default;

void TORDINE_SOMMARIO::Start(const QString &idOrdine, const QString &descOrdine)
{
    sIdOrdine = idOrdine;
    sDescOrdine = descOrdine;
    setWindowTitle(QStringLiteral("Sommario dell'ordine: \"") + descOrdine + QLatin1Char('"'));
    Load();
}

void TORDINE_SOMMARIO::Load()
{
    SG_Sommario->setRowCount(0);
    std::unique_ptr<TDataSet> entries;
    try {
        ShowListWait();
        entries = TSTD_DBMODULE::Instance()->Query(
            QStringLiteral("EXEC EstraiSommarioOrdineValori ") + SqlText(sIdOrdine));
        HideListWait();
    } catch (const std::exception &e) {
        HideListWait();
        ShowDbError(QStringLiteral("Errore estrazione schede (ERR.H14)."), e);
        return;
    }
    entries->SetSort(QStringLiteral("nuOrdineTesto"));
    const QSignalBlocker block(SG_Sommario);
    for (entries->First(); !entries->Eof(); entries->Next())
        AddRow(entries->FieldByName(QStringLiteral("txDescTesto")).AsString(),
               entries->FieldByName(QStringLiteral("txTesto")).AsString());
    FitColumns();
    FitRowHeights();
    if (SG_Sommario->rowCount() == 0) {
        // An empty summary opens with its first row ready for typing.
        AddRow(QString(), QString());
        EditCell(0, 1);
        return;
    }
    SG_Sommario->setCurrentCell(0, 1);
    SG_Sommario->setFocus();
}

int TORDINE_SOMMARIO::AddRow(const QString &description, const QString &text)
{
    const QSignalBlocker block(SG_Sommario);
    const int row = SG_Sommario->rowCount();
    SG_Sommario->insertRow(row);
    auto *number = new QTableWidgetItem(QString::number(row + 1));
    number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    number->setTextAlignment(Qt::AlignCenter);
    SG_Sommario->setItem(row, 0, number);
    SG_Sommario->setItem(row, 1, new QTableWidgetItem(description));
    SG_Sommario->setItem(row, 2, new QTableWidgetItem(text));
    SG_Sommario->setRowHeight(row, kRowHeight);
    return row;
}

void TORDINE_SOMMARIO::Renumber()
{
    const QSignalBlocker block(SG_Sommario);
    for (int r = 0; r < SG_Sommario->rowCount(); ++r)
        SG_Sommario->item(r, 0)->setText(QString::number(r + 1));
}

void TORDINE_SOMMARIO::EditCell(int row, int column)
{
    SG_Sommario->setCurrentCell(row, column);
    SG_Sommario->setFocus();
    SG_Sommario->editItem(SG_Sommario->item(row, column));
}

void TORDINE_SOMMARIO::FitRowHeights()
{
    for (int r = 0; r < SG_Sommario->rowCount(); ++r) {
        SG_Sommario->resizeRowToContents(r);
        if (SG_Sommario->rowHeight(r) < kRowHeight)
            SG_Sommario->setRowHeight(r, kRowHeight);
    }
}

void TORDINE_SOMMARIO::FitColumns()
{
    // 50 pixels hold "Ordine" in the designed font; where another font stands in, the number
    // column grows to its heading and the text column gives the difference back.
    const int number = qMax(50, SG_Sommario->horizontalHeader()->sectionSizeHint(0));
    SG_Sommario->setColumnWidth(0, number);
    SG_Sommario->setColumnWidth(1, 300);
    SG_Sommario->setColumnWidth(2,
                                qMax(100,
                                     SG_Sommario->viewport()->width() - number - 300 - 30 + 14));
}

void TORDINE_SOMMARIO::PB_NuovaRigaClick()
{
    const int row = AddRow(QString(), QString());
    EditCell(row, 1);
}

void TORDINE_SOMMARIO::PB_EliminaRigaClick()
{
    const int count = SG_Sommario->rowCount();
    const int row = SG_Sommario->currentRow();
    if (count < 2 || row < 0)
        return; // the only row stays
    SG_Sommario->removeRow(row);
    Renumber();
    SG_Sommario->setCurrentCell(qMin(row, SG_Sommario->rowCount() - 1), 1);
}

void TORDINE_SOMMARIO::PB_PulisciRigaClick()
{
    const int row = SG_Sommario->currentRow();
    if (row < 0)
        return;
    SG_Sommario->item(row, 1)->setText(QString());
    SG_Sommario->item(row, 2)->setText(QString());
    EditCell(row, 1);
}

void TORDINE_SOMMARIO::MoveRow(int from, int to)
{
    QHeaderView *header = SG_Sommario->verticalHeader();
    // The header only shows the move: the rows are put in their new order and the header's
    // order reset, so that row positions and numbers agree.
    std::vector<std::pair<QString, QString>> rows;
    for (int visual = 0; visual < SG_Sommario->rowCount(); ++visual) {
        const int logical = header->logicalIndex(visual);
        rows.emplace_back(SG_Sommario->item(logical, 1)->text(),
                          SG_Sommario->item(logical, 2)->text());
    }
    if (header->sectionsMoved()) {
        const QSignalBlocker blockHeader(header);
        header->reset();
        for (int i = 0; i < SG_Sommario->rowCount(); ++i)
            header->moveSection(header->visualIndex(i), i);
    } else if (from != to && from >= 0 && to >= 0 && from < int(rows.size())
               && to < int(rows.size())) {
        // Called directly (not from the header): move the row itself.
        auto moved = rows[from];
        rows.erase(rows.begin() + from);
        rows.insert(rows.begin() + to, moved);
    }
    {
        const QSignalBlocker block(SG_Sommario);
        for (int r = 0; r < int(rows.size()); ++r) {
            SG_Sommario->item(r, 1)->setText(rows[r].first);
            SG_Sommario->item(r, 2)->setText(rows[r].second);
        }
    }
    Renumber();
    FitRowHeights();
    SG_Sommario->setCurrentCell(qBound(0, to, SG_Sommario->rowCount() - 1), 1);
}

void TORDINE_SOMMARIO::EnterFromCell(int row, int column)
{
    if (row < 0)
        return;
    if (column == 1) {
        SG_Sommario->setCurrentCell(row, 2);
        return;
    }
    if (row + 1 < SG_Sommario->rowCount()) {
        SG_Sommario->setCurrentCell(row + 1, 1);
        return;
    }
    PB_NuovaRigaClick();
}

bool TORDINE_SOMMARIO::Save()
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    if (!db)
        return false;
    // A cell still being typed in counts.
    if (QWidget *editor = SG_Sommario->focusWidget(); editor && editor != SG_Sommario)
        SG_Sommario->setFocus();
    QString error = QStringLiteral("Errore creazione voce scheda (ERR.H06).");
    try {
        db->BeginTrans();
        db->Execute(QStringLiteral("DELETE Ordine_Sommario WHERE idOrdine = ") + SqlText(sIdOrdine));
        // Every row is inserted through a new record of the row set, all read before the
        // first insertion, so that each starts as a new row.
        const int count = SG_Sommario->rowCount();
        std::vector<std::unique_ptr<TEditableRecord>> records;
        for (int r = 0; r < count; ++r) {
            auto record = std::make_unique<TEditableRecord>(db,
                                                            QStringLiteral("Ordine_Sommario"),
                                                            QStringLiteral("idOrdine"));
            record->Open(QStringLiteral("EXEC DatiOrdineSommario ") + SqlText(sIdOrdine));
            records.push_back(std::move(record));
        }
        for (int r = 0; r < count; ++r) {
            TEditableRecord &record = *records[r];
            record.Append(sIdOrdine);
            TDataSet &data = record.Data();
            data.FieldByName(QStringLiteral("nuOrdineTesto")).SetValue(r + 1);
            data.FieldByName(QStringLiteral("txDescTesto"))
                .SetValue(SummaryText(SG_Sommario->item(r, 1)->text()));
            data.FieldByName(QStringLiteral("txTesto"))
                .SetValue(SummaryText(SG_Sommario->item(r, 2)->text()));
            record.Post(SessionInfo().sUserName, false);
        }
        db->CommitTrans();
        return true;
    } catch (const std::exception &e) {
        if (db->InTransaction())
            db->RollbackTrans();
        ShowDbError(error, e);
        return false;
    }
}

void TORDINE_SOMMARIO::PB_Ok_Input_SommarioClick()
{
    Save();
    close(); // also after a failure: the summary stays as it was
}

void TORDINE_SOMMARIO::PB_Annulla_Input_SommarioClick()
{
    close();
}

void TORDINE_SOMMARIO::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    // The frame, not only the widget inside it, takes the share of the main window's area.
    PlaceChildFirstTime(this, 0.6, 0.8, 0.4);
    FitColumns();
    FitRowHeights();
    SG_Sommario->setFocus();
}
