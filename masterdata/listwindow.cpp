#include "masterdata/listwindow.h"

#include "common/childplacement.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/companyselector.h"
#include "masterdata/filtersettings.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QMdiSubWindow *SubWindowOf(QWidget *w)
{
    return w ? qobject_cast<QMdiSubWindow *>(w->parentWidget()) : nullptr;
}

// The width that shows every visible column of the grid without scrolling: the columns, the
// frame and the vertical scroll bar.
int GridWidthNeeded(const TKRTGrid *grid)
{
    int columns = 0;
    for (const TKRTGridColumn &c : grid->Columns())
        columns += c.Visible ? c.Width : 0;
    const int scrollBar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    return columns + 2 * grid->frameWidth() + scrollBar;
}

} // namespace

TListWindow::TListWindow(const QString &name, const QString &caption, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyFormatSettings();
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(4);
}

TListWindow::~TListWindow() = default;

QWidget *TListWindow::Frame()
{
    if (QMdiSubWindow *sub = SubWindowOf(this))
        return sub;
    return this;
}

// --- Building -------------------------------------------------------------------------------

bool TListWindow::AddCompanySelector(const QString &errorMessage)
{
    m_company = new TCompanySelector(this);
    m_layout->addWidget(m_company);
    // Decided once: a later logon as another operator does not change an open window.
    m_companyShown = TCompanySelector::IsNeeded();
    if (!m_companyShown) {
        m_company->hide();
        return true;
    }
    if (!m_company->Load(errorMessage)) {
        m_creationFailed = true;
        return false;
    }
    m_company->OnChange = [this](TCompanySelector *) {
        if (m_extractedWithFilters && !EditMode())
            ExtractWithFilters();
    };
    return true;
}

TListPane *TListWindow::EnsurePane()
{
    if (!m_pane) {
        m_pane = new TListPane(this);
        m_pane->CommandText = [this] { return ExtractionCommand(); };
        m_pane->SortText = [this] { return ExtractionSort(); };
        m_layout->addWidget(m_pane, 1);
    }
    return m_pane;
}

QFrame *TListWindow::AddFilterPanel()
{
    return EnsurePane()->AddFilterPanel();
}

void TListWindow::SetExtractButton(QPushButton *button)
{
    EnsurePane()->SetExtractButton(button);
}

TKRTGrid *TListWindow::AddGrid(const QString &name, TListDefinition definition)
{
    TKRTGrid *grid = EnsurePane()->AddGrid(name, std::move(definition));
    grid->SideBarCaption = QStringLiteral("NO_TRIANGOLO");
    TListData *list = m_pane->List();
    list->OnBuildMenu = [this](TListData &l) { BuildMenu(l); };
    // Without the companies nothing was extracted: the menu's entries do nothing.
    list->SetMenuActionsEnabled(!m_creationFailed);
    return grid;
}

void TListWindow::AddEditPanel(QWidget *panel, QAbstractButton *cancel)
{
    panel->setParent(this);
    panel->adjustSize();
    const QSize design = panel->sizeHint().expandedTo(panel->minimumSizeHint());
    panel->setMinimumSize(design);
    panel->setMaximumSize(RoundToInt(design.width() * 1.2), RoundToInt(design.height() * 1.2));
    panel->hide();
    m_panels.push_back({panel, cancel});
}

TFilterSettings &TListWindow::CreateSettings(const QString &prefix)
{
    return EnsurePane()->CreateSettings(prefix);
}

TFilterSettings &TListWindow::Settings()
{
    if (!EnsurePane()->Settings())
        return m_pane->CreateSettings(QString());
    return *m_pane->Settings();
}

bool TListWindow::HasCompanySelector() const
{
    return m_company && m_companyShown;
}

// --- Extraction -----------------------------------------------------------------------------

QString TListWindow::CompanyArgument()
{
    sIdSocieta = HasCompanySelector() ? m_company->SelectedId() : SessionInfo().sOperatorCompanyId;
    return sIdSocieta;
}

void TListWindow::ExtractEmpty(const QString &procedure)
{
    m_pane->ExtractEmpty(procedure);
}

TExtractResult TListWindow::ExtractWithFilters()
{
    // A second extraction while one runs (a click dispatched meanwhile) does nothing.
    if (m_pane->Busy())
        return TExtractResult::Failed;
    const TExtractResult result = m_pane->ExtractWithFilters(sLastId);
    sLastId.clear();
    m_extractedWithFilters = true;
    return result;
}

namespace {

void WarnNotVisible(TExtractResult result, const QString &sentence)
{
    if (result == TExtractResult::NotVisible)
        ShowWarningBox(sentence + LineBreaks(2) + QStringLiteral("Cambiare le impostazioni."));
}

} // namespace

TExtractResult TListWindow::ExtractAndWarn(const QString &notVisibleSentence)
{
    const TExtractResult result = ExtractWithFilters();
    WarnNotVisible(result, notVisibleSentence);
    return result;
}

void TListWindow::ExtractAfterSave(const QString &notVisibleSentence)
{
    const TExtractResult result = ExtractWithFilters();
    LeaveEditMode();
    WarnNotVisible(result, notVisibleSentence);
}

void TListWindow::RestoreFilters(const QString &firstKey, const QString &companyKey)
{
    if (HasCompanySelector() && !companyKey.isEmpty()) {
        // An absent company leaves the first one selected.
        m_company->Select(TFilterSettings::Read(Settings().Key(companyKey), QString()));
    }
    Settings();
    if (!m_pane->RestoreFilters(firstKey))
        ResetFilters();
    AfterFiltersRestored();
}

// --- Edit mode ------------------------------------------------------------------------------

void TListWindow::SetListPartsVisible(bool on)
{
    if (m_company)
        m_company->setVisible(on && HasCompanySelector());
    if (m_pane)
        m_pane->SetListMode(on);
}

void TListWindow::EnterEditMode(QWidget *panel, QWidget *focusWidget)
{
    for (const TEditPanel &p : m_panels) {
        if (p.panel != panel)
            p.panel->hide();
    }
    SetListPartsVisible(false);
    m_activePanel = panel;
    PlaceEditPanel();
    panel->show();
    panel->raise();
    if (focusWidget)
        FocusField(focusWidget);
}

void TListWindow::LeaveEditMode()
{
    if (m_activePanel)
        m_activePanel->hide();
    m_activePanel = nullptr;
    SetListPartsVisible(true);
    CloseRecord();
    xTipoOp = coGENNone;
    if (Grid())
        FocusField(Grid());
}

void TListWindow::PlaceEditPanel()
{
    if (!m_activePanel)
        return;
    const QSize client = size();
    const QSize min = m_activePanel->minimumSize();
    // The client area less 15 % each way; at most the height less 10 % and the width plus
    // 10 %, never below the panel's design size.
    const int maxWidth = qMax(min.width(), RoundToInt(client.width() * 1.1));
    const int maxHeight = qMax(min.height(), RoundToInt(client.height() * 0.9));
    m_activePanel->setMaximumSize(maxWidth, maxHeight);
    const int w = qBound(min.width(), RoundToInt(client.width() * 0.85), maxWidth);
    const int h = qBound(min.height(), RoundToInt(client.height() * 0.85), maxHeight);
    m_activePanel->setGeometry(qMax(0, (client.width() - w) / 2),
                               qMax(0, (client.height() - h) / 2),
                               w,
                               h);
}

// --- Editable record ------------------------------------------------------------------------

bool TListWindow::TryOpenRecord(const QString &table,
                                const QString &key,
                                const QString &commandText,
                                const QString &errorMessage)
{
    try {
        OpenRecord(table, key, commandText);
    } catch (const std::exception &e) {
        xTipoOp = coGENNone;
        ShowDbError(errorMessage, e);
        return false;
    }
    return true;
}

void TListWindow::OpenRecord(const QString &table, const QString &key, const QString &commandText)
{
    CloseRecord();
    auto record = std::make_unique<TEditableRecord>(TSTD_DBMODULE::Instance(), table, key);
    record->Open(commandText);
    m_record = std::move(record);
    m_recordTable = table;
    m_recordKey = key;
    m_recordCommand = commandText;
}

void TListWindow::CloseRecord()
{
    if (m_record)
        m_record->Close();
    m_record.reset();
}

bool TListWindow::PostRecord(const QString &postError,
                             bool stampAudit,
                             const std::function<void(TDataSet &)> &fill,
                             const std::vector<TPostStep> &after)
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    QString failing = postError;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        // A record lost with a failed attempt is read again first.
        if (!m_record)
            OpenRecord(m_recordTable, m_recordKey, m_recordCommand);
        db->BeginTrans();
        if (xTipoOp == coGENInsert)
            m_record->Append(sLastId);
        else
            m_record->Edit();
        fill(m_record->Data());
        m_record->Post(SessionInfo().sUserName, stampAudit);
        for (const TPostStep &step : after) {
            failing = step.sError;
            step.run();
        }
        failing = postError;
        db->CommitTrans();
        return true;
    } catch (const std::exception &e) {
        if (m_record) {
            try {
                m_record->Cancel();
            } catch (const std::exception &) {
                // The record is read again below.
            }
        }
        if (db)
            db->RollbackTrans();
        // The record believes what it posted is stored: read it again as the table has it
        // (a new record comes back new). When that fails too it is read before the next try.
        bool readAgain = false;
        try {
            OpenRecord(m_recordTable, m_recordKey, m_recordCommand);
            readAgain = dynamic_cast<const ERecordChanged *>(&e) != nullptr;
        } catch (const std::exception &) {
            m_record.reset();
        }
        ShowDbError(failing, e);
        // Another operator's change is shown, not silently overwritten by the next "Ok".
        if (readAgain)
            RecordReadAgain();
        return false;
    }
}

void TListWindow::RunProcedure(const QString &commandText)
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    if (!db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    db->Query(commandText);
}

QString TListWindow::UserArgument()
{
    return SqlText(SessionInfo().sUserName);
}

// --- Events ---------------------------------------------------------------------------------

void TListWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    PlaceFirstTime();
    if (m_firstFocus)
        FocusField(m_firstFocus);
}

void TListWindow::PlaceFirstTime()
{
    QWidget *frame = Frame();
    const TChildArea area = ChildFreeArea(this);
    const QSize free = area.free;
    const QSizeF share = FirstPlacementShare();
    QSize wanted(RoundToInt(free.width() * share.width()),
                 RoundToInt(free.height() * share.height()));
    const QSize decoration = frame == this ? QSize(0, 0) : frame->size() - size();
    // Wide enough for the grid's columns as far as the free area allows; beyond it the grid
    // scrolls.
    if (TKRTGrid *grid = Grid()) {
        const QMargins margins = m_layout->contentsMargins();
        const int needed = GridWidthNeeded(grid) + margins.left() + margins.right()
                           + decoration.width();
        wanted.setWidth(qMax(wanted.width(), qMin(needed, free.width())));
    }
    // Room for the edit panels' design size, so that no panel is ever cut.
    for (const TEditPanel &p : m_panels)
        wanted = wanted.expandedTo(p.panel->minimumSize() + QSize(24, 24) + decoration);
    // Nor are the filters squeezed below what their fields need.
    wanted = wanted.expandedTo(minimumSizeHint() + decoration);
    // The size is the window's outer size (its MDI frame included).
    frame->resize(wanted);
    frame->setMinimumSize(frame->size());
    if (area.main)
        CenterInMainArea(this, area.main, area.launcher, area.debug);
    else
        CenterOnWorkArea(this);
}

void TListWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceEditPanel();
}

void TListWindow::closeEvent(QCloseEvent *event)
{
    if (xTipoOp != coGENNone) {
        if (!AskYesNo(QStringLiteral("Confermi l'annullamento dell'operazione in corso ?"))) {
            event->ignore();
            return;
        }
        CloseRecord();
        xTipoOp = coGENNone;
    }
    event->accept();
}

void TListWindow::keyPressEvent(QKeyEvent *event)
{
    if (EditMode() && EditPanelKey(event))
        return;
    QWidget::keyPressEvent(event);
}

bool TListWindow::EditPanelKey(QKeyEvent *event)
{
    QWidget *focus = focusWidget();
    if (!m_activePanel || (focus && !m_activePanel->isAncestorOf(focus) && focus != m_activePanel))
        return false;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape does what the panel's "Annulla" does.
        for (const TEditPanel &p : m_panels) {
            if (p.panel == m_activePanel && p.cancel && p.cancel->isEnabled()) {
                p.cancel->click();
                return true;
            }
        }
        return false;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focus
        && (qobject_cast<QLineEdit *>(focus) || qobject_cast<QComboBox *>(focus)
            || qobject_cast<QAbstractSpinBox *>(focus))) {
        // Enter in a one-line field ends nothing: it never reaches a default button that
        // would save or close the panel by accident.
        return true;
    }
    return false;
}
