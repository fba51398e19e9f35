#include "quotes/ricerca_preventivo.h"

#include "common/sessioninfo.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"
#include "quotes/quotefilters.h"
#include "quotes/quotelist.h"

#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

TRICERCA_PREVENTIVO::TRICERCA_PREVENTIVO(QWidget *parent)
    : TListSearchDialog(QStringLiteral("RICERCA_PREVENTIVO"),
                        QStringLiteral("Cerca preventivo"),
                        parent)
{
    TListPane *pane = Pane();
    QFrame *filters = pane->AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TQuoteFilters(TQuoteFilters::QuoteSearch, filters);
    filtersLayout->addWidget(Filters);
    pane->SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->Customer->EF_Find_Denominazione);

    // The quote list's columns and colours; a status line of its own, without legend or
    // empty-list text (an empty list hides it with the select button).
    TListDefinition definition
        = QuoteListDefinition(QStringLiteral("TRICERCA_PREVENTIVO"),
                              QStringLiteral("Errore estrazione elenco preventivi (ERR.X11)."));
    definition.sStatusPrefix = QStringLiteral(" N° Preventivi: ");
    definition.sEmptyText.clear();
    definition.legends.clear();
    DG_Preventivi = AddGrid(QStringLiteral("DG_Preventivi"),
                            std::move(definition),
                            QStringLiteral("Seleziona il preventivo"));
    PB_Select = m_select;
    // A double click chooses nothing here.
    pane->OnGridDoubleClick = [] {};
    pane->CommandText = [this] { return Filters->CommandText(sIdSocieta); };
    pane->SortText = [this] { return Filters->SortText(); };
    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TRICERCA_PREVENTIVO::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TRICERCA_PREVENTIVO::PB_AzzeraFiltriClick);

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->SetProvinces(provinces.get());
    // No list is read here: the call without filters answers the latest quotes of the
    // operator's company, whatever their state, and the caller names the company only after
    // the creation. The first list is read when the dialog shows.

    Filters->Bind(pane->CreateSettings(QStringLiteral("FrmFindPrev_")));
    if (!pane->RestoreFilters(QStringLiteral("AllAnni")))
        Filters->Reset();
    Filters->Refresh();
}

TRICERCA_PREVENTIVO::~TRICERCA_PREVENTIVO() = default;

TDataSet *TRICERCA_PREVENTIVO::DST_GRID_Preventivi() const
{
    return List()->DataSet();
}

bool TRICERCA_PREVENTIVO::Choose(QWidget *parent, const QString &idSocieta, QString *idPreventivo)
{
    TRICERCA_PREVENTIVO dialog(parent);
    dialog.sIdSocieta = idSocieta;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (idPreventivo)
        *idPreventivo = dialog.idPreventivo;
    return true;
}

void TRICERCA_PREVENTIVO::showEvent(QShowEvent *event)
{
    TListSearchDialog::showEvent(event);
    if (m_extracted)
        return;
    m_extracted = true;
    // The quotes of the caller's company it may offer, with the saved filters.
    if (!sIdSocieta.isEmpty())
        Pane()->ExtractWithFilters();
}

void TRICERCA_PREVENTIVO::PB_EstraiElencoClick()
{
    if (Pane()->Busy())
        return;
    Pane()->ExtractWithFilters();
    FocusField(DG_Preventivi);
}

void TRICERCA_PREVENTIVO::PB_AzzeraFiltriClick()
{
    Filters->Reset();
    Filters->EF_Find_DescPreventivo->SetFocus();
}

void TRICERCA_PREVENTIVO::Selected()
{
    idPreventivo = List()->CurrentId();
}

void TRICERCA_PREVENTIVO::BuildMenu(TListData &list)
{
    if (!list.HasRows())
        return;
    list.AddMenuItem(QStringLiteral("Seleziona preventivo"), [this] { Select(); });
    list.AddMenuSeparator();
    list.AddInfoItem();
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}
