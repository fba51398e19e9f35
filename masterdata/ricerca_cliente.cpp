#include "masterdata/ricerca_cliente.h"

#include "common/sessioninfo.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"

#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

TRICERCA_CLIENTE::TRICERCA_CLIENTE(QWidget *parent)
    : TListSearchDialog(QStringLiteral("RICERCA_CLIENTE"), QStringLiteral("Cerca cliente"), parent)
{
    TListPane *pane = Pane();
    QFrame *filters = pane->AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TCustomerListFilters(filters);
    filtersLayout->addWidget(Filters);
    pane->SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->Registry->EF_Find_Denominazione);

    DG_Clienti = AddGrid(QStringLiteral("DG_Clienti"),
                         CustomerListDefinition(QStringLiteral("TRICERCA_CLIENTE"),
                                                QStringLiteral(
                                                    "Errore estrazione elenco clienti (ERR.N01).")),
                         QStringLiteral("Seleziona il cliente"));
    PB_Select = m_select;
    // A double click or Enter in the grid chooses its current row (rather than extracting again
    // through the default button).
    pane->OnGridDoubleClick = [this] { Select(); };
    pane->OnGridEnter = [this] { Select(); };
    pane->CommandText = [this] { return Filters->CommandText(sIdSocieta); };
    pane->SortText = [this] { return Filters->SortText(); };
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
    pane->ExtractEmpty(QStringLiteral("EstraiClienti"));

    Filters->Bind(pane->CreateSettings(QStringLiteral("FrmFindCli_")));
    if (!pane->RestoreFilters(QStringLiteral("CodCliente")))
        Filters->Reset(true);
    Filters->Refresh();
}

TRICERCA_CLIENTE::~TRICERCA_CLIENTE() = default;

TDataSet *TRICERCA_CLIENTE::DST_GRID_Clienti() const
{
    return List()->DataSet();
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

void TRICERCA_CLIENTE::PB_EstraiElencoClick()
{
    if (Pane()->Busy())
        return;
    Pane()->ExtractWithFilters();
    FocusField(DG_Clienti);
}

void TRICERCA_CLIENTE::PB_AzzeraFiltriClick()
{
    const bool inactiveAllowed = Filters->CK_Find_IncludiCancellati->isEnabled();
    Filters->Reset(true);
    Filters->CK_Find_IncludiCancellati->setEnabled(inactiveAllowed);
    Filters->Registry->EF_Find_Denominazione->SetFocus();
}

void TRICERCA_CLIENTE::Selected()
{
    idCliente = List()->CurrentId();
    txDescCliente = List()->CurrentText(QStringLiteral("txDescCliente"));
}

void TRICERCA_CLIENTE::BuildMenu(TListData &list)
{
    if (!list.HasRows())
        return;
    list.AddMenuItem(QStringLiteral("Seleziona cliente"), [this] { Select(); });
    list.AddMenuSeparator();
    list.AddInfoItem();
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}
