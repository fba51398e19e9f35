#include "masterdata/ricerca_cliente.h"

#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/filtersettings.h"
#include "masterdata/listdata.h"
#include "masterdata/provinces.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QVBoxLayout>

TRICERCA_CLIENTE::TRICERCA_CLIENTE(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("RICERCA_CLIENTE"));
    setWindowTitle(QStringLiteral("Cerca cliente"));
    setModal(true);
    ApplyFormatSettings();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    auto *filters = new QFrame(this);
    filters->setObjectName(QStringLiteral("PAN_Filters"));
    filters->setFrameShape(QFrame::StyledPanel);
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TCustomerListFilters(filters);
    filtersLayout->addWidget(Filters);
    layout->addWidget(filters);

    DG_Clienti = new TKRTGrid(this);
    DG_Clienti->setObjectName(QStringLiteral("DG_Clienti"));
    DG_Clienti->SetRowSelect(true);
    DG_Clienti->SideBarCaption = QStringLiteral("Funzioni Disponibili");
    DG_Clienti->Sortable = true;
    layout->addWidget(DG_Clienti, 1);

    auto *statusPanel = new QFrame(this);
    statusPanel->setObjectName(QStringLiteral("PAN_Status"));
    statusPanel->setFrameShape(QFrame::StyledPanel);
    auto *status = new QHBoxLayout(statusPanel);
    status->setContentsMargins(6, 2, 6, 2);
    PB_Select = new QPushButton(QStringLiteral("Seleziona il cliente"), statusPanel);
    PB_Select->setObjectName(QStringLiteral("PB_Select"));
    PB_Select->setAutoDefault(false);
    auto *count = new QLabel(statusPanel);
    count->setObjectName(QStringLiteral("SF_Status"));
    status->addWidget(PB_Select);
    status->addWidget(count);
    status->addStretch(1);
    layout->addWidget(statusPanel);
    statusPanel->hide();

    m_list
        = new TListData(CustomerListDefinition(QStringLiteral("TRICERCA_CLIENTE"),
                                               QStringLiteral(
                                                   "Errore estrazione elenco clienti (ERR.N01).")),
                        DG_Clienti,
                        count,
                        statusPanel,
                        this);
    DG_Clienti->OnBeforePopUpMenu = [this](TKRTGrid *) { BuildMenu(); };
    DG_Clienti->OnUserMenuSelect = [this](TKRTGrid *) { MenuChosen(); };
    DG_Clienti->viewport()->installEventFilter(this);
    DG_Clienti->installEventFilter(this);
    connect(PB_Select, &QPushButton::clicked, this, &TRICERCA_CLIENTE::PB_SelectClick);
    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TRICERCA_CLIENTE::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TRICERCA_CLIENTE::PB_AzzeraFiltriClick);

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->Registry->SetProvinces(provinces.get());
    m_list->Extract(QStringLiteral("EXEC EstraiClienti  0"), Filters->SortText());

    m_settings = std::make_unique<TFilterSettings>(QStringLiteral("FrmFindCli_"));
    Filters->Bind(*m_settings);
    if (!m_settings->Restore(QStringLiteral("CodCliente")))
        Filters->Reset(true);
    Filters->Refresh();
}

TRICERCA_CLIENTE::~TRICERCA_CLIENTE()
{
    DG_Clienti->SetDataSet(nullptr);
}

TDataSet *TRICERCA_CLIENTE::DST_GRID_Clienti() const
{
    return m_list->DataSet();
}

void TRICERCA_CLIENTE::ExcludeInactive()
{
    Filters->CK_Find_IncludiCancellati->setChecked(false);
    Filters->CK_Find_IncludiCancellati->setEnabled(false);
}

bool TRICERCA_CLIENTE::Choose(QWidget *parent,
                              const QString &idSocieta,
                              QString *idCliente,
                              QString *txDescCliente)
{
    TRICERCA_CLIENTE dialog(parent);
    dialog.sIdSocieta = idSocieta;
    dialog.ExcludeInactive();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (idCliente)
        *idCliente = dialog.idCliente;
    if (txDescCliente)
        *txDescCliente = dialog.txDescCliente;
    return true;
}

void TRICERCA_CLIENTE::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(RoundToInt(area.width() * 0.7), RoundToInt(area.height() * 0.8));
    setMinimumSize(size());
    setMaximumSize(area.size());
    CenterOnWorkArea(this);
    FocusField(Filters->Registry->EF_Find_Denominazione);
}

void TRICERCA_CLIENTE::PB_EstraiElencoClick()
{
    if (m_busy)
        return;
    m_busy = true;
    const auto release = qScopeGuard([this] { m_busy = false; });
    m_list->Extract(Filters->CommandText(sIdSocieta), Filters->SortText());
    m_settings->Save();
    FocusField(DG_Clienti);
}

void TRICERCA_CLIENTE::PB_AzzeraFiltriClick()
{
    const bool inactiveAllowed = Filters->CK_Find_IncludiCancellati->isEnabled();
    Filters->Reset(true);
    Filters->CK_Find_IncludiCancellati->setEnabled(inactiveAllowed);
    Filters->Registry->EF_Find_Denominazione->SetFocus();
}

void TRICERCA_CLIENTE::PB_SelectClick()
{
    if (!m_list->HasRows())
        return;
    bSelected = true;
    idCliente = m_list->CurrentId();
    txDescCliente = m_list->CurrentText(QStringLiteral("txDescCliente"));
    accept();
}

bool TRICERCA_CLIENTE::eventFilter(QObject *watched, QEvent *event)
{
    // A double click on the grid chooses its current row; so does Enter in the grid (rather
    // than extracting again through the default button).
    if (watched == DG_Clienti->viewport() && event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        PB_SelectClick();
        return true;
    }
    if (watched == DG_Clienti && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            PB_SelectClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TRICERCA_CLIENTE::done(int result)
{
    // Any way of closing but a selection is a cancel.
    QDialog::done(bSelected ? result : int(QDialog::Rejected));
}

void TRICERCA_CLIENTE::BuildMenu()
{
    m_list->BeginMenu();
    if (m_list->HasRows()) {
        m_list->AddMenuItem(QStringLiteral("Seleziona cliente"));
        m_list->AddMenuSeparator();
        m_list->AddMenuItem(QStringLiteral("Info supplementari"), false, true);
        if (SessionInfo().bDeveloperMode) {
            m_list->AddMenuSeparator();
            m_list->AddMenuItem(QStringLiteral("Copia Id in clipboard"), true);
        }
    }
    m_list->EndMenu();
}

void TRICERCA_CLIENTE::MenuChosen()
{
    const TKRTGridMenu *chosen = DG_Clienti->GridMenuSelected();
    if (!chosen)
        return;
    if (chosen->Caption == QLatin1String("Seleziona cliente"))
        PB_SelectClick();
    else if (chosen->Caption == QLatin1String("Info supplementari"))
        m_list->ShowInfo();
    else if (chosen->Caption == QLatin1String("Copia Id in clipboard") && m_list->HasRows())
        CopyDeveloperQueries(CustomerQueries(m_list->CurrentId()));
}
