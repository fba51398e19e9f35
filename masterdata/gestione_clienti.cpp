#include "masterdata/gestione_clienti.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/companyselector.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"
#include "masterdata/registrypanel.h"

#include <QDateTime>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QStringLiteral("GESTIONE_CLIENTI"), [](QWidget *parent) {
    return new TGESTIONE_CLIENTI(parent);
});

} // namespace

TGESTIONE_CLIENTI::TGESTIONE_CLIENTI(QWidget *parent)
    : TListWindow(QStringLiteral("GESTIONE_CLIENTI"),
                  QStringLiteral("Gestione anagrafiche clienti"),
                  parent)
{
    const bool companies = AddCompanySelector(
        QStringLiteral("Errore lettura dati società (ERR.C06)."));

    QFrame *filters = AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TCustomerListFilters(filters);
    filtersLayout->addWidget(Filters);
    SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->Registry->EF_Find_Denominazione);

    DG_Clienti
        = AddGrid(QStringLiteral("DG_Clienti"),
                  CustomerListDefinition(QStringLiteral("TGESTIONE_CLIENTI"),
                                         QStringLiteral(
                                             "Errore estrazione elenco clienti (ERR.C05).")));

    PAN_Input = new TRegistryPanel(this);
    AddEditPanel(PAN_Input, PAN_Input->PB_Annulla_Input);

    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TGESTIONE_CLIENTI::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TGESTIONE_CLIENTI::PB_AzzeraFiltriClick);
    connect(PAN_Input->PB_Ok_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_CLIENTI::PB_Ok_InputClick);
    connect(PAN_Input->PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_CLIENTI::PB_Annulla_InputClick);

    if (!companies) {
        // Without the companies nothing can be listed: the rest of the creation is skipped.
        filters->setEnabled(false);
        return;
    }

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->Registry->SetProvinces(provinces.get());
    PAN_Input->SetProvinces(provinces.get());

    ExtractEmpty(QStringLiteral("EstraiClienti"));

    TFilterSettings &settings = CreateSettings(QStringLiteral("FrmGesCli_"));
    if (HasCompanySelector()) {
        settings.AddValue(
            QStringLiteral("KeySocieta"),
            QString(),
            [this] { return CompanySelector()->SelectedId(); },
            [](const QString &) {});
    }
    Filters->Bind(settings);
    RestoreFilters(QStringLiteral("CodCliente"), QStringLiteral("KeySocieta"));
}

TGESTIONE_CLIENTI::~TGESTIONE_CLIENTI() = default;

TDataSet *TGESTIONE_CLIENTI::DST_GRID_Clienti() const
{
    return List()->DataSet();
}

QString TGESTIONE_CLIENTI::ExtractionCommand()
{
    return Filters->CommandText(CompanyArgument());
}

QString TGESTIONE_CLIENTI::ExtractionSort() const
{
    return Filters->SortText();
}

void TGESTIONE_CLIENTI::ResetFilters()
{
    Filters->Reset(false);
}

void TGESTIONE_CLIENTI::AfterFiltersRestored()
{
    Filters->Refresh();
}

// --- Filters --------------------------------------------------------------------------------

void TGESTIONE_CLIENTI::PB_EstraiElencoClick()
{
    if (m_creationFailed)
        return;
    ExtractWithFilters();
    FocusField(DG_Clienti);
}

void TGESTIONE_CLIENTI::PB_AzzeraFiltriClick()
{
    Filters->Reset(false);
    Filters->Registry->EF_Find_Denominazione->SetFocus();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_CLIENTI::BuildMenu(TListData &list)
{
    list.AddMenuItem(QStringLiteral("Nuovo cliente"), [this] { NuovoCliente(); });
    if (list.HasRows()) {
        list.AddMenuItem(QStringLiteral("Modifica"), [this] { ModificaCliente(); });
        if (list.CurrentIsActive())
            list.AddMenuItem(QStringLiteral("Disattiva"), [this] { CambiaStatoCliente(false); });
        else
            list.AddMenuItem(QStringLiteral("Riattiva"), [this] { CambiaStatoCliente(true); });
        list.AddMenuSeparator();
        list.AddInfoItem();
        if (SessionInfo().bDeveloperMode) {
            list.AddMenuSeparator();
            list.AddCopyIdItem();
        }
    }
}

// --- Records --------------------------------------------------------------------------------

bool TGESTIONE_CLIENTI::OpenCustomer(const QString &id, const QString &errorMessage)
{
    if (!TryOpenRecord(QStringLiteral("Clienti"),
                       QStringLiteral("idCliente"),
                       QStringLiteral("EXEC DatiCliente ") + SqlText(id),
                       errorMessage))
        return false;
    PAN_Input->LimitLengths(Record()->Data());
    return true;
}

void TGESTIONE_CLIENTI::NuovoCliente()
{
    if (EditMode())
        return;
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenCustomer(sLastId, QStringLiteral("Errore creazione nuovo cliente (ERR.C02).")))
        return;
    PAN_Input->SetTitle(QStringLiteral("Nuovo Cliente"));
    PAN_Input->Clear();
    EnterEditMode(PAN_Input, PAN_Input->FirstInput());
}

void TGESTIONE_CLIENTI::ModificaCliente()
{
    if (EditMode() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenCustomer(sLastId, QStringLiteral("Errore modifica cliente (ERR.C04).")))
        return;
    PAN_Input->SetTitle(QStringLiteral("Modifica Cliente: ")
                        + List()->CurrentText(QStringLiteral("txCodCliente")));
    PAN_Input->Clear();
    PAN_Input->Fill(Record()->Data());
    EnterEditMode(PAN_Input, PAN_Input->FirstInput());
}

void TGESTIONE_CLIENTI::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    if (PAN_Input->NameEmpty()) {
        ShowWarningBox(QStringLiteral("La ragione sociale del cliente è obbligatoria."));
        PAN_Input->EF_Denominazione->SetFocus();
        return;
    }
    if (!PAN_Input->CapValid()) {
        ShowWarningBox(QStringLiteral("Il CAP di un cliente italiano è composto da 5 cifre."));
        PAN_Input->EF_Cap->SetFocus();
        return;
    }
    const bool insert = xTipoOp == coGENInsert;
    const QString idSocieta = insert ? CompanyArgument() : QString();
    if (insert && idSocieta.isEmpty()) {
        ShowWarningBox(QStringLiteral("Nessuna società selezionata: impossibile inserire il "
                                      "cliente."));
        return;
    }
    PAN_Input->PB_Ok_Input->setEnabled(false);
    const QString id = sLastId;
    std::vector<TPostStep> after;
    if (insert) {
        after.push_back({QStringLiteral("Errore recupero nuovo codice cliente (ERR.C03)."), [id] {
                             RunProcedure(QStringLiteral("EXEC SetNewCodCliente ") + SqlText(id)
                                          + QStringLiteral(", ") + UserArgument());
                         }});
    }
    const bool saved = PostRecord(
        insert ? QStringLiteral("Errore creazione nuovo cliente (ERR.C02).")
               : QStringLiteral("Errore modifica cliente (ERR.C04)."),
        true,
        [this, insert, idSocieta](TDataSet &record) {
            if (insert)
                record.FieldByName(QStringLiteral("idSocieta")).SetValue(idSocieta);
            PAN_Input->Write(record);
        },
        after);
    PAN_Input->PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    ExtractAfterSave(
        insert ? QStringLiteral("Il cliente inserito non è visibile con i filtri applicati.")
               : QStringLiteral("Il cliente modificato non è visibile con i filtri applicati."));
}

void TGESTIONE_CLIENTI::RecordReadAgain()
{
    if (xTipoOp != coGENModify || !Record())
        return;
    PAN_Input->Clear();
    PAN_Input->Fill(Record()->Data());
}

void TGESTIONE_CLIENTI::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

void TGESTIONE_CLIENTI::CambiaStatoCliente(bool reactivate)
{
    if (EditMode() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    bool changed = true;
    try {
        RunProcedure(QStringLiteral("EXEC ChangeStatoCliente ") + SqlText(sLastId)
                     + QStringLiteral(", ") + SqlFlag(reactivate) + QStringLiteral(", ")
                     + UserArgument());
    } catch (const std::exception &e) {
        changed = false;
        ShowDbError(QStringLiteral("Errore cambio stato cliente (ERR.C01)."), e);
    }
    // The list is read again whether the change succeeded or not.
    if (!changed) {
        ExtractWithFilters();
        return;
    }
    ExtractAndWarn(
        reactivate
            ? QStringLiteral("Il cliente riattivato non è visibile con i filtri applicati.")
            : QStringLiteral("Il cliente disattivato non è visibile con i filtri applicati."));
}

void TGESTIONE_CLIENTI::InfoSupplementari()
{
    List()->ShowInfo();
}

void TGESTIONE_CLIENTI::CopiaIdInClipboard()
{
    List()->CopyCurrentId();
}
