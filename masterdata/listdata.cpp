#include "masterdata/listdata.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"

#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVariant>

namespace {

constexpr quint32 kEvenRowBackground = 0xF0F0F0;

// The image of "Info supplementari": the style's information icon at menu size.
QPixmap InfoPixmap()
{
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    QPixmap pixmap = icon.pixmap(16, 16);
    if (pixmap.isNull()) {
        pixmap = QPixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1E, 0x6F, 0xC8));
        p.setPen(Qt::NoPen);
        p.drawEllipse(1, 1, 14, 14);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("i"));
    }
    return pixmap;
}

} // namespace

TListData::TListData(TListDefinition definition,
                     TKRTGrid *grid,
                     QLabel *status,
                     QWidget *statusPanel,
                     QObject *parent)
    : QObject(parent)
    , m_definition(std::move(definition))
    , m_grid(grid)
    , m_status(status)
    , m_statusPanel(statusPanel)
{
    m_images << InfoPixmap();
    m_grid->OnDrawColumnCell = [this](TKRTGrid *, TKRTDrawCellArgs &args) { DrawCell(args); };
    if (!m_definition.iconColumns.empty())
        m_grid->OnDrawImageCell = [this](TKRTGrid *, TKRTDrawCellArgs &args) { DrawIcon(args); };
    m_grid->OnBeforePopUpMenu = [this](TKRTGrid *) { BuildMenu(); };
    m_grid->OnUserMenuSelect = [this](TKRTGrid *) { RunChosenEntry(); };
}

TListData::~TListData()
{
    // The grid, when it is still there, lets go of the copy before it is freed.
    if (m_grid) {
        m_grid->SetDataSet(nullptr);
        m_grid->OnDrawColumnCell = nullptr;
        m_grid->OnDrawImageCell = nullptr;
        m_grid->OnBeforePopUpMenu = nullptr;
        m_grid->OnUserMenuSelect = nullptr;
    }
}

TKRTGrid *TListData::Grid() const
{
    return m_grid;
}

TExtractResult TListData::Extract(const QString &commandText,
                                  const QString &sortText,
                                  const QString &lastId)
{
    const QDateTime start = QDateTime::currentDateTime();
    ShowListWait();
    m_statusPanel->hide();
    m_grid->hide();
    m_grid->SetDataSet(nullptr);
    m_grid->SetColumns({});
    m_data.reset();
    m_dtCancColumn = -1;

    const TSessionInfo &session = SessionInfo();
    if (session.bAdministrator && session.iDebugPaneHeight > 0)
        AppendDebugLine(commandText);
    try {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        std::unique_ptr<TDataSet> result = db->Query(commandText);
        std::unique_ptr<TDataSet> copy;
        CreateMemoryCopy(copy, *result, true);
        CopyAllRecords(*result, *copy);
        result.reset();
        copy->SetSort(sortText);
        if (!m_localFilter.isEmpty()) {
            copy->SetFilter(m_localFilter);
            copy->SetFiltered(true);
        }
        copy->First();
        m_data = std::move(copy);
    } catch (const std::exception &e) {
        m_data.reset();
        HideListWait();
        ShowDbError(m_definition.sExtractError, e);
        return TExtractResult::Failed;
    }

    m_dtCancColumn = m_data->FieldIndex(QStringLiteral("dtCanc"));
    ApplyDisplay();
    m_grid->setVisible(m_listMode);
    HideListWait();

    UpdateStatus();

    TExtractResult outcome = TExtractResult::Done;
    if (!lastId.isEmpty()) {
        if (m_data->Locate(m_definition.sKeyField, lastId, loCaseInsensitive)) {
            outcome = TExtractResult::Positioned;
        } else {
            m_data->First();
            outcome = TExtractResult::NotVisible;
        }
    }
    // Columns fit their content both ways: a value is never cut by a column too narrow.
    m_grid->ShrinkColumnsWidth(true);
    AppendDebugTiming(m_definition.sClassName,
                      QStringLiteral("Estrazione elenco"),
                      start,
                      QDateTime::currentDateTime());
    return outcome;
}

void TListData::ApplyDisplay()
{
    TDataSet &ds = *m_data;
    QStringList order;
    for (const TListColumn &c : m_definition.columns) {
        const int i = ds.FieldIndex(c.field);
        if (i < 0)
            continue;
        TFieldDef &def = ds.Fields(i).Def();
        def.displayLabel = c.label;
        def.displayWidth = c.width;
        def.alignment = c.rightAligned ? TFieldAlignment::Right
                        : c.centred    ? TFieldAlignment::Center
                                       : TFieldAlignment::Left;
        if (!c.format.isEmpty())
            def.displayFormat = c.format;
        order << c.field;
    }
    ShowOnlyFields(ds, m_definition.listFields);
    // Title clicks sort the chosen fields only.
    m_grid->NoArrowColums.clear();
    if (!m_definition.sortFields.isEmpty()) {
        for (const QString &field : std::as_const(order)) {
            if (!m_definition.sortFields.contains(field, Qt::CaseInsensitive))
                m_grid->NoArrowColums << field;
        }
    }
    m_grid->SortedColumns = order;
    m_grid->SortedColumns << QStringLiteral("*STOP*");
    m_grid->SetDataSet(&ds);
    m_grid->PaintSortedColumnsEx();
    for (const TListColumn &c : m_definition.columns) {
        if (!c.titleCentred && !c.rightAligned)
            continue;
        const int column = m_grid->ColumnIndexByFieldName(c.field);
        if (column >= 0)
            m_grid->SetColumnTitleAlignment(column,
                                            c.rightAligned ? Qt::AlignRight | Qt::AlignVCenter
                                                           : Qt::AlignCenter);
    }
}

void TListData::UpdateStatus()
{
    const int count = m_data ? m_data->RecordCount() : 0;
    if (count == 0 && !m_definition.sEmptyText.isEmpty())
        m_status->setText(m_definition.sEmptyText);
    else if (count > 0 && m_definition.statusText)
        m_status->setText(m_definition.statusText(*m_data));
    else
        m_status->setText(m_definition.sStatusPrefix + FormatNumber(0, count) + QLatin1Char(' '));
    m_statusPanel->setVisible(m_listMode && m_data
                              && (count > 0 || !m_definition.sEmptyText.isEmpty()));
}

const TListIconColumn *TListData::IconColumn(int gridColumn) const
{
    if (m_definition.iconColumns.empty() || gridColumn < 0 || gridColumn >= m_grid->ColumnCount())
        return nullptr;
    const QString &field = m_grid->Column(gridColumn).FieldName;
    for (const TListIconColumn &c : m_definition.iconColumns) {
        if (c.field.compare(field, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

void TListData::DrawCell(TKRTDrawCellArgs &args)
{
    args.FontColor = KRTColor(clKRTBlack);
    if (m_data && m_dtCancColumn >= 0 && args.Row >= 0 && args.Row < m_data->RecordCount()
        && !m_data->IsNullAt(args.Row, m_dtCancColumn)) {
        args.FontColor = KRTColor(clKRTRed);
        args.Font.setBold(true);
    }
    // Record numbers count from 1: odd ones white, even ones grey.
    args.Background = KRTColor((args.Row + 1) % 2 == 1 ? clKRTWhite : kEvenRowBackground);
    if (m_definition.rowColours && m_data && args.Row >= 0 && args.Row < m_data->RecordCount())
        m_definition.rowColours(*m_data, args.Row, args);
    // The flag of an icon column is not read as text: the picture stands for it.
    if (IconColumn(args.DataCol))
        args.FontColor = args.Background;
}

void TListData::DrawIcon(TKRTDrawCellArgs &args)
{
    const TListIconColumn *icon = IconColumn(args.DataCol);
    if (!icon || (icon->icon.isNull() && !icon->choose) || !args.Canvas || !m_data || args.Row < 0
        || args.Row >= m_data->RecordCount())
        return;
    const int field = m_data->FieldIndex(icon->field);
    if (field < 0 || m_data->IsNullAt(args.Row, field))
        return;
    const QVariant value = m_data->ValueAt(args.Row, field);
    if (value.toInt() == 0 && !value.toBool())
        return;
    const QPixmap picture = icon->choose ? icon->choose(*m_data, args.Row) : icon->icon;
    if (!picture.isNull())
        args.Canvas->drawPixmap(args.Rect.topLeft() + QPoint(2, 1), picture);
}

void TListData::SetLocalFilter(const QString &expr)
{
    if (m_data) {
        // A bad expression raises before anything changed.
        m_data->SetFilter(expr);
        m_data->SetFiltered(!expr.isEmpty());
        m_data->First();
    }
    m_localFilter = expr;
    if (m_data)
        UpdateStatus();
}

bool TListData::HasRows() const
{
    return m_data && m_data->RecordCount() > 0;
}

int TListData::Count() const
{
    return m_data ? m_data->RecordCount() : 0;
}

QString TListData::CurrentId() const
{
    return CurrentText(m_definition.sKeyField);
}

QString TListData::CurrentText(const QString &field) const
{
    if (!HasRows())
        return QString();
    const TField f = m_data->FindField(field);
    return f.Index() < 0 ? QString() : f.AsString();
}

bool TListData::CurrentIsActive() const
{
    if (!HasRows() || m_dtCancColumn < 0)
        return true;
    return m_data->Fields(m_dtCancColumn).IsNull();
}

void TListData::SetListMode(bool on)
{
    m_listMode = on;
    m_grid->setVisible(on);
    m_statusPanel->setVisible(on && m_data && (HasRows() || !m_definition.sEmptyText.isEmpty()));
}

void TListData::ShowInfo()
{
    if (!HasRows())
        return;
    ShowOnlyFields(*m_data, m_definition.infoFields);
    QRect area(0, 0, 1024, 768);
    if (const QScreen *s = m_grid->screen() ? m_grid->screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    m_grid->ZoomGridEx(m_definition.sInfoTitle,
                       m_definition.iInfoWidth,
                       RoundToInt(area.width() * 0.7),
                       RoundToInt(area.height() * 0.7));
    ShowOnlyFields(*m_data, m_definition.listFields);
}

void TListData::CopyCurrentId()
{
    if (!HasRows() || !m_definition.developerQueries)
        return;
    CopyDeveloperQueries(m_definition.developerQueries(CurrentId()));
}

void TListData::BuildMenu()
{
    m_grid->ShowStandardMenu = false;
    m_grid->ShowUserMenu = true;
    m_grid->UserMenuPosition = umpKRTTop;
    m_grid->BackGroundColor = KRTColor(0xC0C0C0);
    m_grid->BackGroundColorTo = KRTColor(0xF5F5F5);
    m_grid->SideBarColor = KRTColor(m_definition.menuSideBarColor);
    m_grid->SideBarColorTo = KRTColor(m_definition.menuSideBarColor);
    m_grid->SelForeColor = KRTColor(0);
    m_grid->SelBackColor = KRTColor(clKRTWhite);
    m_grid->SelBackColorTo = KRTColor(clKRTWhite);
    m_grid->UserMenu.clear();
    m_actions.clear();
    m_grid->GridMenu()->Clear();
    if (OnBuildMenu)
        OnBuildMenu(*this);
    // The popup takes the side-bar caption " "; the grid keeps its own, which also decides
    // whether sort arrows are drawn.
    const QString caption = m_grid->SideBarCaption;
    m_grid->SideBarCaption = QStringLiteral(" ");
    m_grid->SetPopUpMenu();
    m_grid->SideBarCaption = caption;
}

TKRTGridMenu *TListData::AddMenuItem(const QString &caption,
                                     std::function<void()> action,
                                     const TListMenuStyle &style)
{
    QList<QPixmap> image;
    if (!style.image.isNull())
        image << style.image;
    TKRTGridMenu *item = AddGridMenuItem(m_grid->GridMenu(),
                                         caption,
                                         style.fontColor,
                                         image.isEmpty() ? -1 : 0,
                                         image.isEmpty() ? nullptr : &image,
                                         style.bold);
    m_actions.insert(item, std::move(action));
    return item;
}

void TListData::AddMenuSeparator()
{
    m_grid->GridMenu()->AppendSeparator();
}

TKRTGridMenu *TListData::AddInfoItem()
{
    TListMenuStyle style;
    style.image = m_images.value(0);
    return AddMenuItem(
        QStringLiteral("Info supplementari"), [this] { ShowInfo(); }, style);
}

TKRTGridMenu *TListData::AddCopyIdItem()
{
    TListMenuStyle style;
    style.fontColor = clKRTRed;
    return AddMenuItem(
        QStringLiteral("Copia Id in clipboard"), [this] { CopyCurrentId(); }, style);
}

void TListData::RunChosenEntry()
{
    const TKRTGridMenu *chosen = m_grid->GridMenuSelected();
    if (!chosen || !m_actionsEnabled)
        return;
    // A copy: the action may rebuild the menu, which frees the entries and their actions.
    const std::function<void()> action = m_actions.value(chosen);
    if (action)
        action();
}

QString DbErrorText(const QString &message, const std::exception &error)
{
    QString provider;
    if (const auto *db = dynamic_cast<const EDatabaseError *>(&error))
        provider = db->ProviderText();
    else if (const auto *ds = dynamic_cast<const EDataSetError *>(&error))
        provider = ds->text();
    else
        provider = QString::fromUtf8(error.what());
    return message + LineBreaks(2) + QLatin1Char('(') + provider.trimmed() + QLatin1Char(')');
}

void ShowDbError(const QString &message, const std::exception &error)
{
    HideListWait();
    ShowErrorBox(DbErrorText(message, error));
}

QString DeveloperQueriesText(const QList<QStringList> &queries)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text;
    for (int q = 0; q < queries.size(); ++q) {
        if (q > 0)
            text += crlf;
        for (const QString &line : queries.at(q))
            text += line + crlf;
    }
    return text;
}

void CopyDeveloperQueries(const QList<QStringList> &queries)
{
    PutClipboardText(DeveloperQueriesText(queries));
    ShowInfoBox(QStringLiteral("Ok ! Query Copiata."), TInfoAlign::Center, false, true);
}

void ShowListWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->ShowWait();
}

void HideListWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}
