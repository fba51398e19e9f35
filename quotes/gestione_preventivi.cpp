#include "quotes/gestione_preventivi.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/companyselector.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"
#include "masterdata/ricerca_cliente.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteheaderpanel.h"
#include "quotes/quotelist.h"
#include "quotes/quoteopeners.h"

#include <QDateTime>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(kQuoteListWindow, [](QWidget *parent) {
    return new TGESTIONE_PREVENTIVI(parent);
});

const QString kKeyFixedDate = QStringLiteral("FrmGesPrev_ScadenzaFissaPreventivo");
const QString kKeyDays = QStringLiteral("FrmGesPrev_NumGiorniScadenza");

// The wait window with the operation's own text while a procedure runs.
class TWaitText
{
public:
    explicit TWaitText(const QString &text)
    {
        if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
            wait->Show(text);
    }
    ~TWaitText() { HideListWait(); }
    TWaitText(const TWaitText &) = delete;
    TWaitText &operator=(const TWaitText &) = delete;
};

std::unique_ptr<TDataSet> Run(const QString &commandText)
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    if (!db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    return db->Query(commandText);
}

QString Quoted(const QString &text)
{
    return SqlText(text);
}

} // namespace

TGESTIONE_PREVENTIVI::TGESTIONE_PREVENTIVI(QWidget *parent)
    : TListWindow(kQuoteListWindow, QStringLiteral("Gestione preventivi"), parent)
{
    const bool companies = AddCompanySelector(
        QStringLiteral("Errore lettura dati società (ERR.M12)."));

    QFrame *filters = AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TQuoteFilters(TQuoteFilters::QuoteList, filters);
    filtersLayout->addWidget(Filters);
    SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->EF_Find_DescPreventivo);

    DG_Preventivi = AddGrid(QStringLiteral("DG_Preventivi"),
                            QuoteListDefinition(QStringLiteral("TGESTIONE_PREVENTIVI"),
                                                QStringLiteral("Errore estrazione elenco "
                                                               "preventivi (ERR.M11).")));

    PAN_Input = new TQuoteHeaderPanel(this);
    AddEditPanel(PAN_Input, PAN_Input->PB_Annulla_Input);

    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PREVENTIVI::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PREVENTIVI::PB_AzzeraFiltriClick);
    connect(PAN_Input->PB_RicercaCliente,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PREVENTIVI::PB_RicercaClienteClick);
    connect(PAN_Input->PB_Ok_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PREVENTIVI::PB_Ok_InputClick);
    connect(PAN_Input->PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PREVENTIVI::PB_Annulla_InputClick);

    if (!companies) {
        // Without the companies nothing can be listed: the rest of the creation is skipped.
        filters->setEnabled(false);
        return;
    }

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->SetProvinces(provinces.get());

    ExtractEmpty(QStringLiteral("EstraiPreventivi"));

    TFilterSettings &settings = CreateSettings(QStringLiteral("FrmGesPrev_"));
    if (HasCompanySelector()) {
        settings.AddValue(
            QStringLiteral("KeySocieta"),
            QString(),
            [this] { return CompanySelector()->SelectedId(); },
            [](const QString &) {});
    }
    Filters->Bind(settings);
    RestoreFilters(QStringLiteral("AllAnni"), QStringLiteral("KeySocieta"));

    xNuovoPrevDefaultScadFissa = TFilterSettings::Read(kKeyFixedDate, QLatin1String(kIniNo))
                                 == QLatin1String(kIniYes);
    bool ok = false;
    const int days = TFilterSettings::Read(kKeyDays, QStringLiteral("0")).trimmed().toInt(&ok);
    iNuovoPrevDefaultNuGGScad = ok && days > 0 && days <= TQuoteHeaderPanel::kMaxDays ? days : 0;
}

TGESTIONE_PREVENTIVI::~TGESTIONE_PREVENTIVI() = default;

TDataSet *TGESTIONE_PREVENTIVI::DST_GRID_Preventivi() const
{
    return List()->DataSet();
}

QString TGESTIONE_PREVENTIVI::ExtractionCommand()
{
    return Filters->CommandText(CompanyArgument());
}

QString TGESTIONE_PREVENTIVI::ExtractionSort() const
{
    return Filters->SortText();
}

void TGESTIONE_PREVENTIVI::ResetFilters()
{
    Filters->Reset();
}

void TGESTIONE_PREVENTIVI::AfterFiltersRestored()
{
    Filters->Refresh();
}

QString TGESTIONE_PREVENTIVI::QuoteCompany() const
{
    return HasCompanySelector() ? CompanySelector()->SelectedId()
                                : SessionInfo().sOperatorCompanyId;
}

// --- The current row ----------------------------------------------------------------------------

QString TGESTIONE_PREVENTIVI::Row(const QString &field) const
{
    return List()->CurrentText(field);
}

bool TGESTIONE_PREVENTIVI::RowBlocked() const
{
    return Row(QStringLiteral("flBloccato")) == QLatin1String("1");
}

int TGESTIONE_PREVENTIVI::RowRevision() const
{
    return Row(QStringLiteral("nuRevisione")).toInt();
}

bool TGESTIONE_PREVENTIVI::RowIsLatestRevision() const
{
    // Revisions are made and undone only on the latest one of a quote.
    return Row(QStringLiteral("flUltimaRevisione")) != QLatin1String("0");
}

bool TGESTIONE_PREVENTIVI::CanAct() const
{
    return !m_creationFailed && !EditMode() && List()->HasRows();
}

void TGESTIONE_PREVENTIVI::WarnIfNotVisible(TExtractResult result, const QString &sentence)
{
    if (result == TExtractResult::NotVisible)
        ShowWarningBox(sentence + LineBreaks(2) + QStringLiteral("Cambiare le impostazioni."));
}

// --- Filters --------------------------------------------------------------------------------

void TGESTIONE_PREVENTIVI::PB_EstraiElencoClick()
{
    if (m_creationFailed || EditMode())
        return;
    ExtractWithFilters();
    FocusField(DG_Preventivi);
}

void TGESTIONE_PREVENTIVI::PB_AzzeraFiltriClick()
{
    Filters->Reset();
    Filters->EF_Find_DescPreventivo->SetFocus();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_PREVENTIVI::BuildMenu(TListData &list)
{
    if (list.HasRows()) {
        // The windows on one quote, each offered once its window is there.
        int windows = 0;
        if (IsQuoteWindowAvailable(kQuoteLinesWindow)) {
            list.AddMenuItem(QStringLiteral("Dettaglio prodotti del preventivo"),
                             [this] { DettaglioProdotti(); });
            ++windows;
        }
        if (IsQuoteWindowAvailable(kQuoteLayoutWindow)) {
            list.AddMenuItem(QStringLiteral("Imposta Layout al preventivo"),
                             [this] { ImpostaLayout(); });
            ++windows;
        }
        if (IsQuoteWindowAvailable(kQuoteCloudFolderWindow)
            && !List()->DataSet()->FieldByName(QStringLiteral("txNomeFolder")).IsNull()) {
            list.AddMenuItem(QStringLiteral("Preventivo nel Cloud"),
                             [this] { PreventivoNelCloud(); });
            ++windows;
        }
        if (windows > 0)
            list.AddMenuSeparator();
    }
    list.AddMenuItem(QStringLiteral("Nuovo preventivo"), [this] { NewQuoteInput(); });
    if (!list.HasRows())
        return;
    list.AddMenuItem(QStringLiteral("Modifica"), [this] { OpenQuoteInput(); });
    list.AddMenuItem(QStringLiteral("Duplica preventivo"), [this] { DuplicaPreventivo(); });
    list.AddMenuSeparator();
    list.AddMenuItem(QStringLiteral("Elimina preventivo"), [this] { EliminaPreventivo(); });
    list.AddMenuSeparator();
    if (list.CurrentIsActive())
        list.AddMenuItem(QStringLiteral("Disattiva preventivo"),
                         [this] { CambiaStatoPreventivo(false); });
    else
        list.AddMenuItem(QStringLiteral("Riattiva preventivo"),
                         [this] { CambiaStatoPreventivo(true); });
    list.AddMenuSeparator();
    if (RowBlocked())
        list.AddMenuItem(QStringLiteral("Sblocca preventivo"),
                         [this] { CambiaBloccoPreventivo(false); });
    else
        list.AddMenuItem(QStringLiteral("Blocca preventivo"),
                         [this] { CambiaBloccoPreventivo(true); });
    if (RowIsLatestRevision()) {
        list.AddMenuItem(QStringLiteral("Crea nuova revisione"), [this] { CreaNuovaRevisione(); });
        if (RowRevision() > 1)
            list.AddMenuItem(QStringLiteral("Annulla revisione"), [this] { AnnullaRevisione(); });
    }
    list.AddMenuSeparator();
    list.AddInfoItem();
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}

// --- Header input ---------------------------------------------------------------------------

bool TGESTIONE_PREVENTIVI::OpenQuote(const QString &id, const QString &errorMessage)
{
    return TryOpenRecord(QStringLiteral("Preventivi"),
                         QStringLiteral("idPreventivo"),
                         QStringLiteral("EXEC DatiPreventivo ") + Quoted(id),
                         errorMessage);
}

void TGESTIONE_PREVENTIVI::NewQuoteInput()
{
    if (m_creationFailed || EditMode())
        return;
    if (QuoteCompany().isEmpty()) {
        ShowWarningBox(QStringLiteral("Nessuna società selezionata: impossibile inserire il "
                                      "preventivo."));
        return;
    }
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenQuote(sLastId, QStringLiteral("Errore creazione nuovo preventivo (ERR.M03).")))
        return;
    m_customerDescription.clear();
    PAN_Input->SetTitle(QStringLiteral("Nuovo Preventivo"));
    PAN_Input->Clear(xNuovoPrevDefaultScadFissa, iNuovoPrevDefaultNuGGScad);
    EnterEditMode(PAN_Input, PAN_Input->EF_DescOggetto);
}

void TGESTIONE_PREVENTIVI::OpenQuoteInput()
{
    if (!CanAct())
        return;
    if (RowBlocked()) {
        ShowErrorBox(QStringLiteral("Il preventivo è bloccato, non è possibile modificarlo."));
        return;
    }
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenQuote(sLastId, QStringLiteral("Errore modifica preventivo (ERR.M04).")))
        return;
    TDataSet &record = Record()->Data();
    const bool gone = Record()->IsNew();
    if (gone || record.FieldByName(QStringLiteral("flBloccato")).AsInteger() == 1) {
        // Deleted or blocked by another operator since the list was read: the list shows how
        // things stand now.
        CloseRecord();
        xTipoOp = coGENNone;
        ShowErrorBox(gone ? QStringLiteral("Il preventivo non esiste più: è stato eliminato da "
                                           "un altro operatore.")
                          : QStringLiteral("Il preventivo è bloccato, non è possibile "
                                           "modificarlo."));
        ExtractWithFilters();
        return;
    }
    m_customerDescription = Row(QStringLiteral("txDescCliente"));
    PAN_Input->SetTitle(QStringLiteral("Modifica Preventivo ")
                        + Row(QStringLiteral("txNuPreventivo")));
    PAN_Input->Fill(record, m_customerDescription);
    EnterEditMode(PAN_Input, PAN_Input->EF_DescOggetto);
}

void TGESTIONE_PREVENTIVI::PB_RicercaClienteClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    // A quote's customer belongs to the quote's company.
    QString company = QuoteCompany();
    if (xTipoOp == coGENModify && Record() && Record()->Data().RecordCount() > 0)
        company = Record()->Data().FieldByName(QStringLiteral("idSocieta")).AsString();
    QString id;
    QString description;
    if (TRICERCA_CLIENTE::Choose(this, company, &id, &description))
        PAN_Input->SetCustomer(id, description);
}

void TGESTIONE_PREVENTIVI::AssignQuoteNumber(const QString &id)
{
    RunProcedure(QStringLiteral("EXEC SetNewPreventivo ") + Quoted(id) + QStringLiteral(", ")
                 + UserArgument());
}

void TGESTIONE_PREVENTIVI::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    const QString problem = PAN_Input->Problem();
    if (!problem.isEmpty()) {
        ShowWarningBox(problem);
        return;
    }
    const bool insert = xTipoOp == coGENInsert;
    const QString company = insert ? QuoteCompany() : QString();
    if (insert && company.isEmpty()) {
        ShowWarningBox(QStringLiteral("Nessuna società selezionata: impossibile inserire il "
                                      "preventivo."));
        return;
    }
    PAN_Input->PB_Ok_Input->setEnabled(false);
    const QString id = sLastId;
    std::vector<TPostStep> after;
    if (insert) {
        after.push_back({QStringLiteral("Errore attribuzione numero e data preventivo (ERR.M05)."),
                         [id] { AssignQuoteNumber(id); }});
    }
    const bool saved = PostRecord(
        insert ? QStringLiteral("Errore creazione nuovo preventivo (ERR.M03).")
               : QStringLiteral("Errore modifica preventivo (ERR.M04)."),
        true,
        [this, insert, company](TDataSet &record) {
            if (insert) {
                record.FieldByName(QStringLiteral("idSocieta")).SetValue(company);
                // Year, number, revision and date are the database's (SetNewPreventivo).
                for (const char *f :
                     {"nuAnnoPreventivo", "nuPreventivo", "nuRevisione", "dtPreventivo"})
                    record.FieldByName(QString::fromLatin1(f)).SetNull();
            }
            PAN_Input->Write(record);
        },
        after);
    PAN_Input->PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    if (insert) {
        // The rule just used is proposed for the next new quote.
        xNuovoPrevDefaultScadFissa = PAN_Input->FixedDate();
        TFilterSettings::Write(kKeyFixedDate,
                               QLatin1String(xNuovoPrevDefaultScadFissa ? kIniYes : kIniNo));
        if (!xNuovoPrevDefaultScadFissa && PAN_Input->Days() > 0) {
            iNuovoPrevDefaultNuGGScad = PAN_Input->Days();
            TFilterSettings::Write(kKeyDays, QString::number(iNuovoPrevDefaultNuGGScad));
        }
    }
    ExtractAfterSave(
        insert ? QStringLiteral("Il preventivo inserito non è visibile con i filtri applicati.")
               : QStringLiteral("Il preventivo modificato non è visibile con i filtri applicati."));
}

QString TGESTIONE_PREVENTIVI::CustomerDescription(const QString &idCliente) const
{
    if (idCliente.isEmpty())
        return QString();
    try {
        std::unique_ptr<TDataSet> c = Run(QStringLiteral("EXEC DatiCliente ") + Quoted(idCliente));
        if (c->RecordCount() == 0)
            return QString();
        c->First();
        const auto text = [&c](const char *field) {
            return c->FieldByName(QString::fromLatin1(field)).AsString().trimmed();
        };
        // As the quote list describes a customer.
        QString d = text("txDenominazione");
        if (!text("txLocalita").isEmpty())
            d += QStringLiteral(" - ") + text("txLocalita");
        if (!text("txProvincia").isEmpty())
            d += QStringLiteral(" (") + text("txProvincia") + QLatin1Char(')');
        if (!text("txCodCliente").isEmpty())
            d += QStringLiteral(" [") + text("txCodCliente") + QLatin1Char(']');
        return d;
    } catch (const std::exception &) {
        return QString();
    }
}

void TGESTIONE_PREVENTIVI::RecordReadAgain()
{
    if (xTipoOp != coGENModify || !Record() || Record()->Data().RecordCount() == 0)
        return;
    TDataSet &record = Record()->Data();
    const TField customer = record.FieldByName(QStringLiteral("idCliente"));
    const QString id = customer.IsNull() ? QString() : customer.AsString();
    if (id.compare(PAN_Input->CustomerId(), Qt::CaseInsensitive) != 0)
        m_customerDescription = CustomerDescription(id);
    PAN_Input->Fill(record, m_customerDescription);
}

void TGESTIONE_PREVENTIVI::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

// --- Actions --------------------------------------------------------------------------------

bool TGESTIONE_PREVENTIVI::ChangeQuoteState(const QString &id, bool active)
{
    TWaitText wait(QStringLiteral("Cambio stato preventivo in corso..."));
    try {
        Run(QStringLiteral("EXEC ChangeStatoPreventivo ") + Quoted(id) + QStringLiteral(", ")
            + SqlFlag(active) + QStringLiteral(", ") + UserArgument());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore cambio stato preventivo (ERR.M01)."), e);
        return false;
    }
    return true;
}

void TGESTIONE_PREVENTIVI::CambiaStatoPreventivo(bool reactivate)
{
    if (!CanAct())
        return;
    if (!reactivate && RowBlocked()) {
        ShowErrorBox(QStringLiteral("Il preventivo è bloccato, non è possibile disattivarlo."));
        return;
    }
    sLastId = List()->CurrentId();
    const bool changed = ChangeQuoteState(sLastId, reactivate);
    // Read again and re-selected whether or not the change succeeded.
    const TExtractResult result = ExtractWithFilters();
    if (changed)
        WarnIfNotVisible(result,
                         reactivate ? QStringLiteral("Il preventivo riattivato non è visibile con "
                                                     "i filtri applicati.")
                                    : QStringLiteral("Il preventivo disattivato non è visibile "
                                                     "con i filtri applicati."));
}

bool TGESTIONE_PREVENTIVI::ChangeQuoteBlock(const QString &id, bool block)
{
    // The deadline rule as the list shows it; the procedure answers the stored one.
    bool daysMode = Row(QStringLiteral("flScadenzaFissa")) != QLatin1String("1");
    QString days = Row(QStringLiteral("nuGGScadDalBlocco"));
    QDate deadline;
    {
        TWaitText wait(block ? QStringLiteral("Blocco preventivo in corso...")
                             : QStringLiteral("Sblocco preventivo in corso..."));
        try {
            std::unique_ptr<TDataSet> r = Run(QStringLiteral("EXEC ChangeBloccoPreventivo ")
                                              + Quoted(id) + QStringLiteral(", ") + SqlFlag(block)
                                              + QStringLiteral(", ") + UserArgument());
            if (r->RecordCount() > 0) {
                r->First();
                deadline = r->FieldByName(QStringLiteral("dtScadenza")).AsDateTime().date();
                const TField fixed = r->FindField(QStringLiteral("flScadenzaFissa"));
                if (fixed.Index() >= 0 && !fixed.IsNull())
                    daysMode = fixed.AsInteger() == 0;
                const TField n = r->FindField(QStringLiteral("nuGGScadDalBlocco"));
                if (n.Index() >= 0 && !n.IsNull())
                    days = QString::number(n.AsInteger());
            }
        } catch (const std::exception &e) {
            ShowDbError(block ? QStringLiteral("Errore blocco preventivo (ERR.M02).")
                              : QStringLiteral("Errore sblocco preventivo (ERR.M10)."),
                        e);
            return false;
        }
    }
    if (!daysMode)
        return true;
    if (block) {
        ShowInfoBox(QStringLiteral("Blocco preventivo completato.") + LineBreaks(2)
                    + QStringLiteral("La data di scadenza del preventivo è stata impostata a ")
                    + days + QStringLiteral(" giorni a partire da oggi.") + LineBreaks(2)
                    + QStringLiteral("Nuova data scadenza ") + DateToText(deadline)
                    + QLatin1Char('.'));
    } else {
        ShowInfoBox(QStringLiteral("Sblocco preventivo completato.") + LineBreaks(2)
                    + QStringLiteral("La data di scadenza è stata rimossa, sarà impostata a ")
                    + days + QStringLiteral(" giorni a partire dal prossimo blocco."));
    }
    return true;
}

void TGESTIONE_PREVENTIVI::CambiaBloccoPreventivo(bool block)
{
    if (!CanAct())
        return;
    if (!block
        && !AskYesNo(QStringLiteral("Confermi lo sblocco ?") + LineBreaks(2)
                     + QStringLiteral("Se il preventivo è stato già esportato ed inviato al "
                                      "cliente, conviene effettuare una nuova revisione per "
                                      "mantenere la cronologia corretta delle modifiche "
                                      "effettuate.")))
        return;
    sLastId = List()->CurrentId();
    const bool changed = ChangeQuoteBlock(sLastId, block);
    const TExtractResult result = ExtractWithFilters();
    if (changed)
        WarnIfNotVisible(result,
                         block ? QStringLiteral("Il preventivo bloccato non è visibile con i "
                                                "filtri applicati.")
                               : QStringLiteral("Il preventivo sbloccato non è visibile con i "
                                                "filtri applicati."));
}

bool TGESTIONE_PREVENTIVI::CloneQuote(const QString &id, const QString &newId)
{
    TWaitText wait(QStringLiteral("Duplicazione preventivo in corso..."));
    try {
        Run(QStringLiteral("EXEC ClonePreventivo ") + Quoted(id) + QStringLiteral(", ")
            + Quoted(newId) + QStringLiteral(", ") + UserArgument());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore duplicazione preventivo (ERR.M06)."), e);
        return false;
    }
    return true;
}

void TGESTIONE_PREVENTIVI::DuplicaPreventivo()
{
    if (!CanAct())
        return;
    if (!AskYesNo(QStringLiteral("Confermi duplicazione del Preventivo selezionato ?")))
        return;
    const QString source = List()->CurrentId();
    sLastId = NewGuidText();
    if (!CloneQuote(source, sLastId)) {
        sLastId = source;
        ExtractWithFilters();
        return;
    }
    WarnIfNotVisible(ExtractWithFilters(),
                     QStringLiteral("Il Preventivo duplicato non è visibile con i filtri "
                                    "applicati."));
}

bool TGESTIONE_PREVENTIVI::ReviseQuote(const QString &id, const QString &newId)
{
    TWaitText wait(QStringLiteral("Creazione revisione in corso..."));
    try {
        Run(QStringLiteral("EXEC RevisionePreventivo ") + Quoted(id) + QStringLiteral(", ")
            + Quoted(newId) + QStringLiteral(", ") + UserArgument());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore revisione preventivo (ERR.M07)."), e);
        return false;
    }
    return true;
}

void TGESTIONE_PREVENTIVI::CreaNuovaRevisione()
{
    if (!CanAct())
        return;
    if (!RowBlocked()) {
        ShowErrorBox(QStringLiteral("Per creare una revisione, il preventivo deve essere "
                                    "bloccato."));
        return;
    }
    if (!AskYesNo(QStringLiteral("Confermi creazione nuova revisione del preventivo "
                                 "selezionato ?")))
        return;
    const QString source = List()->CurrentId();
    sLastId = NewGuidText();
    if (!ReviseQuote(source, sLastId)) {
        // Refused (another operator revised or unblocked it meanwhile): the list shows how
        // things stand now.
        sLastId = source;
        ExtractWithFilters();
        return;
    }
    const TExtractResult result = ExtractWithFilters();
    ShowInfoBox(QStringLiteral("Revisione effettuata."));
    WarnIfNotVisible(result,
                     QStringLiteral("La revisione del preventivo non è visibile con i filtri "
                                    "applicati."));
}

bool TGESTIONE_PREVENTIVI::UndoQuoteRevision(const QString &id)
{
    TWaitText wait(QStringLiteral("Annullamento revisione in corso..."));
    try {
        std::unique_ptr<TDataSet> r = Run(QStringLiteral("EXEC UndoRevisionePreventivo ")
                                          + Quoted(id) + QStringLiteral(", ") + UserArgument());
        sLastId.clear();
        if (r->RecordCount() > 0) {
            r->First();
            sLastId = r->FieldByName(QStringLiteral("LastId")).AsString();
        }
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore annullamento revisione preventivo (ERR.M08)."), e);
        return false;
    }
    return true;
}

void TGESTIONE_PREVENTIVI::AnnullaRevisione()
{
    if (!CanAct() || RowRevision() <= 1)
        return;
    if (!AskYesNo(QStringLiteral("Confermi l'annullamento ? Non sarà più possibile recuperare "
                                 "l'attuale revisione.")))
        return;
    const QString id = List()->CurrentId();
    if (!UndoQuoteRevision(id)) {
        sLastId = id;
        ExtractWithFilters();
        return;
    }
    const TExtractResult result = ExtractWithFilters();
    ShowInfoBox(QStringLiteral("Annullamento revisione effettuato."));
    WarnIfNotVisible(result,
                     QStringLiteral("La precedente revisione del preventivo non è visibile con i "
                                    "filtri applicati."));
}

bool TGESTIONE_PREVENTIVI::DeleteQuote(const QString &id)
{
    QString refusal;
    {
        TWaitText wait(QStringLiteral("Rimozione preventivo in corso..."));
        try {
            std::unique_ptr<TDataSet> r = Run(
                QStringLiteral("EXEC DeletePreventivo ") + Quoted(id) + QStringLiteral(", ")
                + SqlFlag(SessionInfo().bAdministrator) + QStringLiteral(", ") + UserArgument());
            r->First();
            if (r->RecordCount() == 0 || r->FieldByName(QStringLiteral("flOk")).AsInteger() != 1)
                refusal = r->RecordCount() == 0
                              ? QStringLiteral("Il preventivo non è stato eliminato.")
                              : r->FieldByName(QStringLiteral("ErrMess")).AsString();
        } catch (const std::exception &e) {
            ShowDbError(QStringLiteral("Errore rimozione preventivo (ERR.M09)."), e);
            return false;
        }
    }
    if (!refusal.isEmpty()) {
        ShowErrorBox(refusal);
        return false;
    }
    return true;
}

void TGESTIONE_PREVENTIVI::EliminaPreventivo()
{
    if (!CanAct())
        return;
    if (RowBlocked()) {
        ShowErrorBox(QStringLiteral("Impossibile eliminare un preventivo bloccato."));
        return;
    }
    if (RowRevision() > 1) {
        ShowErrorBox(QStringLiteral("Impossibile eliminare una revisione, effettuare un "
                                    "annullamento."));
        return;
    }
    if (!AskYesNo(QStringLiteral("Confermi eliminazione definitiva del preventivo "
                                 "selezionato ?")))
        return;
    // The row shown afterwards, in the list's current order: the next one, or the previous
    // one for the last row; none when it is the only one.
    TDataSet *ds = DST_GRID_Preventivi();
    const QString id = List()->CurrentId();
    const int row = ds->RecNo() - 1;
    const int key = ds->FieldIndex(QStringLiteral("idPreventivo"));
    QString neighbour;
    if (row + 1 < ds->RecordCount())
        neighbour = ds->ValueAt(row + 1, key).toString();
    else if (row > 0)
        neighbour = ds->ValueAt(row - 1, key).toString();
    if (!DeleteQuote(id))
        return;
    sLastId = neighbour;
    ExtractWithFilters();
}

// --- The windows on one quote ---------------------------------------------------------------

void TGESTIONE_PREVENTIVI::DettaglioProdotti()
{
    if (!CanAct())
        return;
    if (RowBlocked()) {
        ShowErrorBox(QStringLiteral("Il preventivo è bloccato, non è possibile modificarne la "
                                    "struttura."));
        return;
    }
    OpenQuoteLines(this,
                   List()->CurrentId(),
                   Row(QStringLiteral("txNuPreventivo")),
                   Row(QStringLiteral("txDescOggetto")));
}

void TGESTIONE_PREVENTIVI::ImpostaLayout()
{
    if (!CanAct())
        return;
    const QString fix = LineBreaks(2)
                        + QStringLiteral("Modificare il dettaglio per poter "
                                         "continuare.");
    if (Row(QStringLiteral("flOkProdottiPrincipali")) != QLatin1String("1")) {
        ShowErrorBox(QStringLiteral("Nessun prodotto del preventivo è impostato come principale")
                     + fix);
        return;
    }
    if (Row(QStringLiteral("flOkPrimoProdottoPrincipale")) != QLatin1String("1")) {
        ShowErrorBox(QStringLiteral("Il primo prodotto deve essere un \"prodotto principale\", "
                                    "non può essere un accessorio / servizio / documentazione.")
                     + fix);
        return;
    }
    OpenQuoteLayout(this,
                    List()->CurrentId(),
                    Row(QStringLiteral("idSocieta")),
                    Row(QStringLiteral("txDescOggetto")),
                    Row(QStringLiteral("txNuPreventivo")));
}

void TGESTIONE_PREVENTIVI::PreventivoNelCloud()
{
    if (!CanAct() || Row(QStringLiteral("txNomeFolder")).isEmpty())
        return;
    TQuoteFolderStart start;
    start.bFromGestione = true;
    start.sIdPreventivoLista = List()->CurrentId();
    start.bPrevBloccatoLista = RowBlocked();
    start.iNuRevisioneLista = RowRevision();
    start.sURLPDF = Row(QStringLiteral("txURLFilePDF"));
    start.sNomePDF = Row(QStringLiteral("txNomeFilePDF"));
    start.sNomeFolderPrev = Row(QStringLiteral("txNomeFolder"));
    start.sDescOggettoLista = Row(QStringLiteral("txDescOggetto"));
    start.sDescClienteLista = Row(QStringLiteral("txDenominazione"));
    start.sNuAnnoPrevLista = Row(QStringLiteral("nuAnnoPreventivo"));
    start.sNuPreventivoLista = Row(QStringLiteral("nuPreventivo"));
    start.sTxNuPreventivoLista = Row(QStringLiteral("txNuPreventivo"));
    OpenQuoteFolder(this, kQuoteCloudFolderWindow, start);
}
