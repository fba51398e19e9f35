#include "controls/tkrtgrid.h"

#include "common/dialogs.h"
#include "common/files.h"
#include "common/sessioninfo.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgriddelegate.h"
#include "controls/tkrtgridexport.h"
#include "controls/tkrtgridfindform.h"
#include "controls/tkrtgridlayoutfile.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtgridmodel.h"
#include "controls/tkrtgridsortform.h"
#include "controls/tkrtzoomgridexform.h"
#include "controls/tkrtzoomrecord.h"
#include "db/dataset.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>

namespace {

std::function<void(TKRTGrid *)> &PrintHandler()
{
    static std::function<void(TKRTGrid *)> handler;
    return handler;
}

// Hourglass while an operation over the whole dataset runs.
class TBusyCursor
{
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

// First term of a sort text: its field name and whether it is descending.
void FirstSortTerm(const QString &sort, QString *field, bool *descending)
{
    const QString first = sort.section(QLatin1Char(','), 0, 0).trimmed();
    const QStringList parts = first.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    *field = parts.isEmpty() ? QString() : parts.first();
    *descending = parts.size() > 1
                  && parts.at(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
}

bool ListContains(const QStringList &list, const QString &name)
{
    for (const QString &s : list) {
        if (s.trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

TKRTGrid::TKRTGrid(QWidget *parent)
    : QTableView(parent)
    , SideBarColor(KRTColor(clKRTNavy))
    , SideBarColorTo(KRTColor(clKRTBlue))
    , SideBarFont(QStringLiteral("Tahoma"), 10, QFont::Bold)
    , BackGroundColor(KRTColor(clKRTSilver))
    , BackGroundColorTo(KRTColor(clKRTWhite))
    , SelBackColor(KRTColor(clKRTWhite))
    , SelBackColorTo(KRTColor(clKRTSilver))
    , SelForeColor(KRTColor(clKRTNavy))
{
    m_model = new TKRTGridModel(this);
    setModel(m_model);
    m_delegate = new TKRTGridDelegate(this);
    setItemDelegate(m_delegate);
    m_gridMenu = new TKRTGridMenu(this);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSortingEnabled(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(8);
    horizontalHeader()->setMouseTracking(true);
    horizontalHeader()->installEventFilter(this);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::PointingHandCursor);

    // A title click sorts; it neither selects the column nor moves the current row.
    disconnect(horizontalHeader(), &QHeaderView::sectionPressed, this, nullptr);
    disconnect(horizontalHeader(), &QHeaderView::sectionEntered, this, nullptr);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TKRTGrid::TitleClick);
    connect(horizontalHeader(),
            &QHeaderView::sectionResized,
            this,
            [this](int logical, int, int newSize) {
                if (m_applyingColumns || logical < 0 || logical >= ColumnCount())
                    return;
                m_model->MutableColumns()[size_t(logical)].Width = newSize;
            });
    connect(m_model, &TKRTGridModel::CurrentRowChanged, this, &TKRTGrid::SyncCurrentFromDataSet);
    connect(m_model, &TKRTGridModel::DataReset, this, &TKRTGrid::DataReset);

    m_hint = new QLabel(this, Qt::ToolTip);
    m_hint->setObjectName(QStringLiteral("HintCellFind"));
    m_hint->setFont(QFont(QStringLiteral("Verdana"), 10, QFont::Bold));
    m_hint->setMaximumWidth(100);
    m_hint->setWordWrap(true);
    m_hint->setMargin(2);
    m_hint->hide();
    m_hintTimer = new QTimer(this);
    m_hintTimer->setSingleShot(true);
    connect(m_hintTimer, &QTimer::timeout, this, &TKRTGrid::FormActive_Disable);

    SetPopUpMenu();
}

TKRTGrid::~TKRTGrid()
{
    if (m_findForm)
        m_findForm->close();
    m_model->SetDataSet(nullptr);
}

// --- Data -----------------------------------------------------------------------------------

void TKRTGrid::SetDataSet(TDataSet *ds)
{
    m_model->SetDataSet(ds);
    if (!ds) {
        m_userFileName.clear();
        return;
    }
    MakeDefaultColumns();
    ApplyColumnsToView();
    SyncCurrentFromDataSet();
    if (m_enableUserLayOut && ds->Active())
        ApplyUserLayoutStep();
}

void TKRTGrid::MakeDefaultColumns()
{
    if (!m_model->Columns().empty() || !DataActive())
        return;
    std::vector<TKRTGridColumn> cols;
    for (const TFieldDef &d : DataSet()->FieldDefs()) {
        if (d.visible)
            cols.push_back(MakeColumn(d.name));
    }
    SetColumns(std::move(cols));
}

TDataSet *TKRTGrid::DataSet() const
{
    return m_model->DataSet();
}

bool TKRTGrid::DataActive() const
{
    return m_model->DataActive();
}

void TKRTGrid::DataReset()
{
    MakeDefaultColumns();
    ApplyColumnsToView();
    SyncCurrentFromDataSet();
}

void TKRTGrid::SyncCurrentFromDataSet()
{
    if (m_syncing || !DataActive())
        return;
    TDataSet *ds = DataSet();
    const int row = ds->RecNo() - 1;
    if (row < 0 || row >= m_model->rowCount())
        return;
    int col = currentIndex().isValid() ? currentIndex().column() : -1;
    if (col < 0 || isColumnHidden(col)) {
        col = -1;
        for (int i = 0; i < ColumnCount(); ++i) {
            if (!isColumnHidden(i)) {
                col = i;
                break;
            }
        }
    }
    if (col < 0)
        return;
    if (currentIndex().row() == row && currentIndex().column() == col)
        return;
    m_syncing = true;
    const QModelIndex idx = m_model->index(row, col);
    selectionModel()->setCurrentIndex(idx, SelectFlags());
    scrollTo(idx);
    m_syncing = false;
}

void TKRTGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid() || !DataActive())
        return;
    TDataSet *ds = DataSet();
    if (current.row() == ds->RecNo() - 1)
        return;
    m_syncing = true;
    try {
        ds->SetRecNo(current.row() + 1);
    } catch (const EDataSetError &e) {
        ShowErrorBox(e.text());
    }
    m_syncing = false;
}

// --- Columns --------------------------------------------------------------------------------

int TKRTGrid::ColumnCount() const
{
    return int(m_model->Columns().size());
}

const TKRTGridColumn &TKRTGrid::Column(int index) const
{
    return m_model->Columns().at(size_t(index));
}

const std::vector<TKRTGridColumn> &TKRTGrid::Columns() const
{
    return m_model->Columns();
}

int TKRTGrid::ColumnIndexByFieldName(const QString &fieldName) const
{
    const QString wanted = fieldName.trimmed().toUpper();
    const auto &cols = m_model->Columns();
    for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].FieldName.trimmed().toUpper() == wanted)
            return int(i);
    }
    return -1;
}

const TKRTGridColumn *TKRTGrid::ColumnByFieldName(const QString &fieldName) const
{
    const int i = ColumnIndexByFieldName(fieldName);
    return i < 0 ? nullptr : &m_model->Columns()[size_t(i)];
}

void TKRTGrid::SetColumns(std::vector<TKRTGridColumn> columns)
{
    m_model->SetColumns(std::move(columns));
    ApplyColumnsToView();
    SyncCurrentFromDataSet();
}

void TKRTGrid::SetColumnTitle(int index, const QString &title)
{
    if (index < 0 || index >= ColumnCount())
        return;
    m_model->MutableColumns()[size_t(index)].Title = title;
    m_model->ColumnsChanged();
}

void TKRTGrid::SetColumnTitleAlignment(int index, Qt::Alignment a)
{
    if (index < 0 || index >= ColumnCount())
        return;
    m_model->MutableColumns()[size_t(index)].TitleAlignment = a;
    m_model->ColumnsChanged();
}

void TKRTGrid::SetColumnAlignment(int index, Qt::Alignment a)
{
    if (index < 0 || index >= ColumnCount())
        return;
    m_model->MutableColumns()[size_t(index)].Alignment = a;
    viewport()->update();
}

void TKRTGrid::SetColumnWidth(int index, int width)
{
    if (index < 0 || index >= ColumnCount())
        return;
    m_model->MutableColumns()[size_t(index)].Width = width;
    ApplyColumnsToView();
}

void TKRTGrid::SetColumnVisible(int index, bool visible)
{
    if (index < 0 || index >= ColumnCount())
        return;
    m_model->MutableColumns()[size_t(index)].Visible = visible;
    ApplyColumnsToView();
}

void TKRTGrid::ApplyColumnsToView()
{
    m_applyingColumns = true;
    const auto &cols = m_model->Columns();
    for (size_t i = 0; i < cols.size(); ++i) {
        setColumnHidden(int(i), !cols[i].Visible);
        if (cols[i].Visible)
            horizontalHeader()->resizeSection(int(i), cols[i].Width);
    }
    m_applyingColumns = false;
}

TKRTGridColumn TKRTGrid::MakeColumn(const QString &fieldName) const
{
    TKRTGridColumn c;
    c.FieldName = fieldName;
    TDataSet *ds = DataSet();
    const int fi = ds ? ds->FieldIndex(fieldName) : -1;
    const QFontMetrics fm(font());
    if (fi < 0) {
        c.Title = fieldName;
        c.Width = fm.horizontalAdvance(c.Title) + 8;
        return c;
    }
    const TFieldDef &d = ds->FieldDefs()[size_t(fi)];
    c.FieldName = d.name;
    c.FieldIndex = fi;
    c.Title = d.displayLabel.isEmpty() ? d.name : d.displayLabel;
    switch (d.alignment) {
    case TFieldAlignment::Left:
        c.Alignment = Qt::AlignLeft | Qt::AlignVCenter;
        break;
    case TFieldAlignment::Right:
        c.Alignment = Qt::AlignRight | Qt::AlignVCenter;
        break;
    case TFieldAlignment::Center:
        c.Alignment = Qt::AlignCenter;
        break;
    }
    int chars = d.displayWidth;
    if (chars <= 0) {
        switch (d.type) {
        case TFieldType::Text:
            chars = d.size > 0 ? qMin(d.size, 30) : 20;
            break;
        case TFieldType::Integer:
            chars = 10;
            break;
        case TFieldType::Real:
            chars = 12;
            break;
        case TFieldType::Flag:
            chars = 5;
            break;
        case TFieldType::DateTime:
            chars = 18;
            break;
        case TFieldType::Blob:
            chars = 10;
            break;
        }
    }
    c.Width = qMax(chars * fm.horizontalAdvance(QLatin1Char('0')) + 4,
                   fm.horizontalAdvance(c.Title) + 8);
    c.Visible = true;
    return c;
}

void TKRTGrid::PaintSortedColumns()
{
    if (SortedColumns.isEmpty() || !DataActive())
        return;
    TDataSet *ds = DataSet();
    std::vector<TKRTGridColumn> cols;
    QSet<int> used;
    const bool stop = SortedColumns.last().trimmed() == QLatin1String("*STOP*");
    for (const QString &name : SortedColumns) {
        if (name.trimmed() == QLatin1String("*STOP*"))
            continue;
        const int fi = ds->FieldIndex(name.trimmed());
        if (fi < 0)
            continue;
        cols.push_back(MakeColumn(name.trimmed()));
        used.insert(fi);
    }
    if (!stop) {
        const auto &defs = ds->FieldDefs();
        for (size_t i = 0; i < defs.size(); ++i) {
            if (!used.contains(int(i)) && defs[i].visible)
                cols.push_back(MakeColumn(defs[i].name));
        }
    }
    SetColumns(std::move(cols));
    if (m_enableUserLayOut)
        ApplyUserLayoutStep();
}

void TKRTGrid::PaintSortedColumnsEx()
{
    if (SortedColumns.isEmpty() || !DataActive())
        return;
    const bool layouts = m_enableUserLayOut;
    m_enableUserLayOut = false;
    PaintSortedColumns();
    m_enableUserLayOut = layouts;
    TDataSet *ds = DataSet();
    auto &cols = m_model->MutableColumns();
    for (TKRTGridColumn &c : cols) {
        if (c.HasField())
            c.Visible = ds->FieldDefs()[size_t(c.FieldIndex)].visible;
    }
    ApplyColumnsToView();
    SyncCurrentFromDataSet();
    if (m_enableUserLayOut)
        ApplyUserLayoutStep();
}

void TKRTGrid::ShrinkColumnsWidth(bool widenToContent)
{
    if (!DataActive())
        return;
    TBusyCursor busy;
    TDataSet *ds = DataSet();
    QFont valueFont = font();
    if (widenToContent)
        valueFont.setBold(true);
    const QFontMetrics fm(font());
    const QFontMetrics vm(valueFont);
    const int maxWidth = kMaxFitChars * fm.horizontalAdvance(QLatin1Char('0')) + 4;
    // Measuring a text is costly; adding up cached character advances is not. The sum differs
    // from the measured width only by kerning, so every row is estimated and only the texts
    // with the largest estimates are measured. A column that cannot be narrowed any more is
    // not read further (unless it may be widened).
    constexpr size_t kMeasured = 64;
    int ascii[128];
    for (int i = 0; i < 128; ++i)
        ascii[i] = vm.horizontalAdvance(QChar(i));
    QHash<char16_t, int> others;
    auto estimate = [&](const QString &t) {
        int w = 0;
        for (const QChar ch : t) {
            const char16_t u = ch.unicode();
            if (u < 128) {
                w += ascii[u];
            } else {
                auto it = others.find(u);
                if (it == others.end())
                    it = others.insert(u, vm.horizontalAdvance(ch));
                w += it.value();
            }
        }
        return w;
    };
    const int rows = ds->RecordCount();
    std::vector<std::pair<int, int>> candidates; // estimate, row
    candidates.reserve(size_t(rows));
    auto &cols = m_model->MutableColumns();
    for (TKRTGridColumn &c : cols) {
        if (!c.Visible || !c.HasField())
            continue;
        int measure = fm.horizontalAdvance(c.Title.trimmed()) + 25;
        if (measure >= c.Width && !widenToContent)
            continue;
        candidates.clear();
        bool wide = false;
        for (int r = 0; r < rows; ++r) {
            if (ds->IsNullAt(r, c.FieldIndex))
                continue;
            const int e = estimate(ds->DisplayTextAt(r, c.FieldIndex).trimmed());
            if (!widenToContent && e + 25 > c.Width + qMax(3, e / 30)) {
                wide = true; // wider than the column whatever the kerning: not narrowed
                break;
            }
            candidates.emplace_back(e, r);
        }
        if (wide)
            continue;
        if (candidates.size() > kMeasured) {
            std::nth_element(candidates.begin(),
                             candidates.begin() + kMeasured,
                             candidates.end(),
                             [](const auto &a, const auto &b) { return a.first > b.first; });
            candidates.resize(kMeasured);
        }
        for (const auto &[e, r] : candidates) {
            const QString text = ds->DisplayTextAt(r, c.FieldIndex).trimmed();
            measure = qMax(measure, vm.horizontalAdvance(text) + 25);
        }
        if (c.Width > measure)
            c.Width = measure;
        else if (widenToContent && c.Width < measure)
            c.Width = qMax(c.Width, qMin(measure, maxWidth));
    }
    ApplyColumnsToView();
}

// --- Properties with effects ----------------------------------------------------------------

QItemSelectionModel::SelectionFlags TKRTGrid::SelectFlags() const
{
    return m_rowSelect ? (QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows)
                       : QItemSelectionModel::ClearAndSelect;
}

void TKRTGrid::SetRowSelect(bool on)
{
    m_rowSelect = on;
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    if (currentIndex().isValid())
        selectionModel()->setCurrentIndex(currentIndex(), SelectFlags());
}

void TKRTGrid::SetEnableUserLayOut(bool on)
{
    m_enableUserLayOut = on;
    if (!on) {
        m_userFileName.clear();
        return;
    }
    if (DataActive())
        ApplyUserLayoutStep();
}

// --- Sorting --------------------------------------------------------------------------------

void TKRTGrid::SortOneColumn(const QString &fieldName, bool descending)
{
    if (!DataActive() || fieldName.isEmpty())
        return;
    TBusyCursor busy;
    TDataSet *ds = DataSet();
    ds->DisableControls();
    try {
        ds->SetSort(fieldName + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
        ds->First();
    } catch (const EDataSetError &e) {
        ds->EnableControls();
        ShowErrorBox(e.text());
        return;
    }
    ds->EnableControls();
}

void TKRTGrid::TitleClick(int column)
{
    if (!AllowSortOnTitleColumn || !DataActive() || column < 0 || column >= ColumnCount())
        return;
    const TKRTGridColumn &c = Column(column);
    if (!c.HasField() || ListContains(NoArrowColums, c.FieldName))
        return;
    // Descending when the list is already sorted ascending by this field (first sort term).
    QString field;
    bool descending = false;
    FirstSortTerm(DataSet()->Sort(), &field, &descending);
    const bool sortDescending = field.compare(c.FieldName, Qt::CaseInsensitive) == 0 && !descending;
    const QString name = c.FieldName;
    SortOneColumn(name, sortDescending);
    m_activeFieldSort = name;
    viewport()->update();
}

void TKRTGrid::ApplySortKeepingRow(const QString &sortText)
{
    if (!DataActive() || sortText.isEmpty())
        return;
    TBusyCursor busy;
    TDataSet *ds = DataSet();
    const TBookmark bm = ds->GetBookmark();
    ds->DisableControls();
    try {
        ds->SetSort(sortText);
        if (bm.IsValid())
            ds->GotoBookmark(bm);
    } catch (const EDataSetError &e) {
        ds->EnableControls();
        ShowErrorBox(e.text());
        return;
    }
    ds->EnableControls();
}

int TKRTGrid::SortMarker(int column) const
{
    if (!AllowSortOnTitleColumn || SideBarCaption == QLatin1String("NO_TRIANGOLO")
        || m_activeFieldSort.isEmpty() || !DataActive() || column < 0 || column >= ColumnCount())
        return 0;
    const TKRTGridColumn &c = Column(column);
    if (c.FieldName.compare(m_activeFieldSort, Qt::CaseInsensitive) != 0)
        return 0;
    QString field;
    bool descending = false;
    FirstSortTerm(DataSet()->Sort(), &field, &descending);
    if (field.compare(m_activeFieldSort, Qt::CaseInsensitive) != 0)
        return 0;
    return descending ? -1 : 1;
}

bool TKRTGrid::IsBoolEditColumn(int column) const
{
    if (BoolEditColumns.isEmpty() || column < 0 || column >= ColumnCount())
        return false;
    return ListContains(BoolEditColumns, Column(column).FieldName);
}

void TKRTGrid::ToggleBoolCell(const QModelIndex &index)
{
    const TKRTGridColumn &c = Column(index.column());
    TDataSet *ds = DataSet();
    if (!c.HasField() || ds->FieldDefs()[size_t(c.FieldIndex)].type != TFieldType::Flag)
        return;
    // Errors of the write are ignored: the row stays as it was.
    try {
        ds->SetRecNo(index.row() + 1);
        ds->Edit();
        TField f = ds->Fields(c.FieldIndex);
        f.SetValue(!f.AsBoolean());
        ds->Post();
    } catch (...) {
        try {
            ds->Cancel();
        } catch (...) {
        }
    }
}

// --- Mouse, keys ----------------------------------------------------------------------------

void TKRTGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // The row under the mouse becomes current, so the menu always concerns that row.
        const QModelIndex idx = indexAt(pos);
        if (idx.isValid())
            selectionModel()->setCurrentIndex(idx, SelectFlags());
        OpenPopupAt(columnAt(pos.x()), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && OnBeforeStartDrag)
        OnBeforeStartDrag(this, event->button(), event->modifiers(), pos.x(), pos.y());
    QTableView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        const QModelIndex idx = indexAt(pos);
        if (idx.isValid() && IsBoolEditColumn(idx.column()))
            ToggleBoolCell(idx);
    }
}

void TKRTGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
}

void TKRTGrid::mouseMoveEvent(QMouseEvent *event)
{
    m_mouseColumn = columnAt(event->position().toPoint().x());
    QTableView::mouseMoveEvent(event);
}

void TKRTGrid::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        event->accept();
        return;
    }
    const QModelIndex idx = currentIndex();
    const QPoint where = idx.isValid() ? visualRect(idx).center() : QPoint(0, 0);
    OpenPopupAt(idx.isValid() ? idx.column() : -1, viewport()->mapToGlobal(where));
}

bool TKRTGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()) {
        if (event->type() == QEvent::MouseMove) {
            const auto *me = static_cast<QMouseEvent *>(event);
            m_mouseColumn = horizontalHeader()->logicalIndexAt(me->position().toPoint());
        } else if (event->type() == QEvent::MouseButtonPress) {
            const auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::RightButton) {
                OpenPopupAt(horizontalHeader()->logicalIndexAt(me->position().toPoint()),
                            me->globalPosition().toPoint());
                return true;
            }
        } else if (event->type() == QEvent::ContextMenu) {
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void TKRTGrid::OpenPopupAt(int column, const QPoint &globalPos)
{
    m_mouseColumn = column;
    m_popupColumn = column;
    if (OnBeforePopUpMenu)
        OnBeforePopUpMenu(this);
    if (!m_popup)
        return;
    // Items and side bar are settled before the menu takes its size.
    UpdatePopupVisibility();
    m_popup->popup(globalPos);
}

void TKRTGrid::keyboardSearch(const QString &search)
{
    if (!EnableCellFind || !DataActive() || search.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (!m_searchStart.isValid() || m_searchStart.msecsTo(now) / 1000 >= 3) {
        m_search = search;
        m_searchStart = now;
    } else {
        m_search += search;
    }
    const QModelIndex idx = currentIndex();
    const int col = idx.isValid() ? idx.column() : -1;
    if (col >= 0 && Column(col).HasField()) {
        try {
            DataSet()->Locate(Column(col).FieldName, m_search, loCaseInsensitive | loPartialKey);
        } catch (const EDataSetError &) {
            // A value that cannot be compared with the field: nothing found.
        }
    }
    setToolTip(m_search);
    ShowSearchHint();
}

void TKRTGrid::ShowSearchHint()
{
    QString hintText;
    if (ShowBallonCellFind) {
        if (!m_tray && !m_trayFailed) {
            if (QSystemTrayIcon::isSystemTrayAvailable()) {
                m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
                m_tray->setToolTip(QStringLiteral("Ricerca Veloce"));
                m_tray->show();
            } else {
                // No notification area: said once, in the hint window.
                m_trayFailed = true;
                hintText = QStringLiteral("creazione fallita");
            }
        }
        if (m_tray)
            m_tray->showMessage(QStringLiteral("Ricerca Veloce"),
                                m_search,
                                QSystemTrayIcon::Information,
                                2000);
    }
    if (ShowHintCellFind)
        hintText = m_search;
    if (hintText.isEmpty())
        return;
    m_hint->setText(hintText);
    m_hint->adjustSize();
    QPoint pos = QCursor::pos() + QPoint(0, 20);
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry().adjusted(5, 5, -5, -5);
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - m_hint->width())));
        pos.setY(qBound(area.top(), pos.y(), qMax(area.top(), area.bottom() - m_hint->height())));
    }
    m_hint->move(pos);
    m_hint->show();
    const qint64 left = 2000 - m_searchStart.msecsTo(QDateTime::currentDateTime());
    m_hintTimer->start(int(qMax<qint64>(0, left)));
}

void TKRTGrid::FormActive_Disable()
{
    m_hintTimer->stop();
    m_hint->hide();
}

// --- Dialogs and commands -------------------------------------------------------------------

QWidget *TKRTGrid::ZoomGridEx(const QString &sTitleForm, int iWidth, int iMaxWidth, int iHeight)
{
    if (!DataActive())
        return nullptr;
    auto *form = new TKRTZOOMGRIDEXFORM(this, sTitleForm, iWidth, iMaxWidth, iHeight);
    form->show();
    return form;
}

QWidget *TKRTGrid::ZoomGrid()
{
    if (!DataActive())
        return nullptr;
    auto *form = new TKRTZOOMRECORD(this);
    form->show();
    return form;
}

bool TKRTGrid::ExportGrid()
{
    TBusyCursor busy;
    return TKRTGridExport::Write(ExportFileName, DataSet(), Columns(), ExportDelimiter);
}

void TKRTGrid::ExportWithDialog()
{
    if (!DataActive())
        return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::rootPath();
    const QString title = QStringLiteral("Esporta con nome");
    QString name = AskSaveFileName(title, folder, QStringLiteral("Text files (*.txt)"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".txt");
    ExportFileName = name;
    if (ExportGrid())
        ShowInfoBox(QStringLiteral("Esportazione Completata."));
    else
        ShowErrorBox(QStringLiteral("Esportazione Fallita !!! (Probabile File In Uso)"));
}

QWidget *TKRTGrid::ShowFindDialog()
{
    if (!DataActive())
        return nullptr;
    if (m_findForm) {
        m_findForm->raise();
        m_findForm->activateWindow();
        return m_findForm;
    }
    auto *form = new TKRTGRIDFINDFORM(this, m_popupColumn);
    m_findForm = form;
    form->show();
    return form;
}

QWidget *TKRTGrid::ShowSortDialog()
{
    if (!DataActive())
        return nullptr;
    auto *form = new TKRTGRIDSORTFORM(this);
    form->show();
    return form;
}

void TKRTGrid::Print()
{
    if (!DataActive() || ReportName.isEmpty() || !PrintHandler())
        return;
    PrintHandler()(this);
}

void TKRTGrid::SetPrintHandler(std::function<void(TKRTGrid *)> handler)
{
    PrintHandler() = std::move(handler);
}

bool TKRTGrid::HasPrintHandler()
{
    return bool(PrintHandler());
}

void TKRTGrid::HideColumn(int column)
{
    if (column < 0 || column >= ColumnCount())
        return;
    SetColumnVisible(column, false);
}

void TKRTGrid::ShowAllColumns()
{
    auto &cols = m_model->MutableColumns();
    for (TKRTGridColumn &c : cols)
        c.Visible = true;
    ApplyColumnsToView();
}

// --- Layout files ---------------------------------------------------------------------------

QString TKRTGrid::LayoutKey() const
{
    QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    program.remove(QLatin1Char(' '));
    const QWidget *form = window();
    const QString formName = form ? form->objectName() : QString();
    return (program + QLatin1Char('_') + formName + QLatin1Char('_') + objectName()).toUpper();
}

void TKRTGrid::ApplyUserLayoutStep()
{
    const QString folder = ProgramFolder() + QStringLiteral("Settings");
    if (!QDir().mkpath(folder)) {
        m_userFileName.clear();
        m_defaultFileName.clear();
        return;
    }
    const QString key = LayoutKey();
    m_defaultFileName = folder + QLatin1Char('/') + key + QStringLiteral(".Grid");
    QString user = SessionInfo().sUserName.trimmed();
    if (user.isEmpty())
        user = UserId.trimmed();
    if (user.isEmpty()) {
        m_userFileName.clear();
        return;
    }
    TKRTGridLayoutFile::Write(m_defaultFileName, Columns());
    m_userFileName = folder + QLatin1Char('/') + user + QLatin1Char('_') + key
                     + QStringLiteral(".Grid");
    if (QFileInfo::exists(m_userFileName))
        LoadLayoutFile(m_userFileName, true);
}

bool TKRTGrid::LoadLayoutFile(const QString &path, bool userFile)
{
    std::vector<TKRTGridColumn> cols;
    const TKRTGridLayoutFile::TReadResult result = TKRTGridLayoutFile::Read(path, &cols);
    if (result == TKRTGridLayoutFile::Missing)
        return false;
    bool usable = result == TKRTGridLayoutFile::Loaded;
    TDataSet *ds = DataSet();
    if (usable && ds) {
        for (const TKRTGridColumn &c : cols) {
            const int fi = ds->FieldIndex(c.FieldName);
            if (fi < 0 || !ds->FieldDefs()[size_t(fi)].visible) {
                usable = false;
                break;
            }
        }
    }
    if (usable) {
        SetColumns(std::move(cols));
        return true;
    }
    if (userFile) {
        QFile::remove(path);
        ShowWarningBox(QStringLiteral("Il file dell'aspetto colonne \"%1\" è danneggiato o non "
                                      "corrisponde più alle colonne della griglia: è stato "
                                      "eliminato e viene usato l'aspetto predefinito.")
                           .arg(QDir::toNativeSeparators(path)));
        LoadLayoutFile(m_defaultFileName, false);
    } else {
        ShowWarningBox(QStringLiteral("Il file dell'aspetto colonne predefinito \"%1\" è "
                                      "danneggiato o non corrisponde più alle colonne della "
                                      "griglia: le colonne restano come sono.")
                           .arg(QDir::toNativeSeparators(path)));
    }
    return false;
}

bool TKRTGrid::SaveUserLayout()
{
    if (m_userFileName.isEmpty())
        return false;
    if (!TKRTGridLayoutFile::Write(m_userFileName, Columns())) {
        ShowErrorBox(QStringLiteral("Impossibile salvare l'aspetto delle colonne nel file \"%1\".")
                         .arg(QDir::toNativeSeparators(m_userFileName)));
        return false;
    }
    return true;
}

bool TKRTGrid::LoadUserLayout()
{
    if (m_userFileName.isEmpty() || !QFileInfo::exists(m_userFileName))
        return false;
    return LoadLayoutFile(m_userFileName, true);
}

bool TKRTGrid::LoadDefaultLayout()
{
    if (m_defaultFileName.isEmpty() || !QFileInfo::exists(m_defaultFileName))
        return false;
    return LoadLayoutFile(m_defaultFileName, false);
}

void TKRTGrid::DeleteUserLayout()
{
    if (m_userFileName.isEmpty())
        return;
    QFile::remove(m_userFileName);
}

void TKRTGrid::DeleteDefaultLayout()
{
    const QString folder = ProgramFolder() + QStringLiteral("Settings");
    m_defaultFileName = folder + QLatin1Char('/') + LayoutKey() + QStringLiteral(".Grid");
    QFile::remove(m_defaultFileName);
}
