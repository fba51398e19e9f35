#include "orders/gestione_ordini.h"

#include "common/dialogs.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/companyselector.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"
#include "orders/orderfilters.h"
#include "orders/orderpanel.h"
#include "orders/ordine_sommario.h"
#include "quotes/quoteopeners.h"
#include "quotes/ricerca_preventivo.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QStringLiteral("GESTIONE_ORDINI"), [](QWidget *parent) {
    return new TGESTIONE_ORDINI(parent);
});

constexpr quint32 kMenuColour = 0xA16E37; // a Windows colour value: red 55, green 110, blue 161

// The folder of an order is the quote folder on disk, started in order mode.
const QString kOrderFolderWindow = QStringLiteral("FOLDER_PREVENTIVO");

QPixmap PadlockPixmap()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 1, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(3.5, 5), QPointF(3.5, 7));
    p.drawLine(QPointF(10.5, 5), QPointF(10.5, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD4, 0xA0, 0x17));
    p.drawRoundedRect(QRectF(1.5, 6.5, 11, 7), 1.5, 1.5);
    return pixmap;
}

QPixmap OpenPadlockPixmap()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6));
    p.drawArc(QRectF(6.5, 0, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(13.5, 4), QPointF(13.5, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7C, 0xB3, 0x42));
    p.drawRoundedRect(QRectF(0.5, 6.5, 10, 7), 1.5, 1.5);
    return pixmap;
}

QPixmap SignedPixmap()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1B, 0x8A, 0x3C), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(2, 7.5);
    tick.lineTo(5.5, 11);
    tick.lineTo(12, 3);
    p.drawPath(tick);
    return pixmap;
}

QPixmap StylePixmap(QStyle::StandardPixmap which)
{
    return QApplication::style()->standardIcon(which).pixmap(16, 16);
}

// The wait window with its text while a procedure runs.
class TWaitText
{
public:
    explicit TWaitText(const QString &text)
    {
        if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
            wait->Show(text);
    }
    ~TWaitText()
    {
        if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
            wait->Hide();
    }
    TWaitText(const TWaitText &) = delete;
    TWaitText &operator=(const TWaitText &) = delete;
};

} // namespace

TListDefinition OrderListDefinition()
{
    TListDefinition d;
    d.sClassName = QStringLiteral("TGESTIONE_ORDINI");
    d.sKeyField = QStringLiteral("idOrdine");
    d.sExtractError = QStringLiteral("Errore estrazione elenco ordini (ERR.W07).");
    d.sStatusPrefix = QStringLiteral(" N° ordini: ");
    d.sEmptyText = QStringLiteral(" Nessun ordine. ");
    const QString da = QStringLiteral("Da");
    d.columns = {
        {QStringLiteral("flFirmato"), QStringLiteral("(F)"), 3, true, true},
        {QStringLiteral("flBloccato"), QStringLiteral("(B)"), 3, true, true},
        {QStringLiteral("txNuPreventivo"), QStringLiteral("N° ordine"), 20, true, true},
        {QStringLiteral("dtOrdine"), QStringLiteral("Invio al cliente"), 14, true, true},
        {QStringLiteral("txDescOrdine"), QStringLiteral("Descrizione Ordine"), 75, false, false},
        {QStringLiteral("txDenominazione"),
         QStringLiteral("Ragione sociale cliente"),
         50,
         false,
         false},
        {QStringLiteral("txCodCliente"), QStringLiteral("Codice"), 11, true, true},
        {QStringLiteral("txDescMaxOperation"), QStringLiteral("Ultima operazione"), 30, false, false},
        {QStringLiteral("dtMod"), QStringLiteral("Modificato il"), 20, true, false},
        {QStringLiteral("txUtenteMod"), da, 20, true, false},
        {QStringLiteral("dtIn"), QStringLiteral("Inserito il"), 20, true, true},
        {QStringLiteral("txUtenteIn"), da, 20, true, false},
        {QStringLiteral("dtCanc"), QStringLiteral("Eliminato il"), 20, true, false},
        {QStringLiteral("txUtenteCanc"), da, 20, true, false},
        {QStringLiteral("dtBlocco"), QStringLiteral("Bloccato il"), 20, true, false},
        {QStringLiteral("txUtenteBlocco"), da, 20, true, false},
        {QStringLiteral("dtSblocco"), QStringLiteral("Sbloccato il"), 20, true, false},
        {QStringLiteral("txUtenteSblocco"), da, 20, true, false},
    };
    d.listFields = {QStringLiteral("flFirmato"),
                    QStringLiteral("flBloccato"),
                    QStringLiteral("txNuPreventivo"),
                    QStringLiteral("dtOrdine"),
                    QStringLiteral("txDescOrdine"),
                    QStringLiteral("txCodCliente"),
                    QStringLiteral("txDenominazione"),
                    QStringLiteral("txDescMaxOperation"),
                    QStringLiteral("dtIn")};
    d.infoFields = {QStringLiteral("txDescOrdine"),
                    QStringLiteral("txUtenteMod"),
                    QStringLiteral("dtMod"),
                    QStringLiteral("txUtenteIn"),
                    QStringLiteral("dtIn"),
                    QStringLiteral("txUtenteCanc"),
                    QStringLiteral("dtCanc"),
                    QStringLiteral("txUtenteBlocco"),
                    QStringLiteral("dtBlocco"),
                    QStringLiteral("txUtenteSblocco"),
                    QStringLiteral("dtSblocco")};
    d.sInfoTitle = QStringLiteral("Informazioni aggiuntive ordine selezionato");
    d.iInfoWidth = 500;
    d.iconColumns = {{QStringLiteral("flFirmato"), SignedPixmap()},
                     {QStringLiteral("flBloccato"), PadlockPixmap()}};
    d.legends = {{QStringLiteral(" (B) Ordini bloccati "), clKRTBlack, false},
                 {QStringLiteral(" (F) Ordini firmati dal cliente "), clKRTBlack, false}};
    d.menuSideBarColor = kMenuColour;
    d.developerQueries = [](const QString &id) {
        const QString quoted = SqlText(id);
        return QList<QStringList>{{QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Ordini a"),
                                   QStringLiteral(" WHERE a.idOrdine = ") + quoted},
                                  {QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Ordine_Dettaglio a"),
                                   QStringLiteral(" WHERE a.idOrdine = ") + quoted},
                                  {QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Ordini a"),
                                   QStringLiteral(
                                       " INNER JOIN Ordini b ON (b.idOrdine = a.idOrdine)"),
                                   QStringLiteral(" WHERE b.idOrdine = ") + quoted}};
    };
    return d;
}

TGESTIONE_ORDINI::TGESTIONE_ORDINI(QWidget *parent)
    : TListWindow(QStringLiteral("GESTIONE_ORDINI"), QStringLiteral("Gestione ordini"), parent)
{
    const bool companies = AddCompanySelector(
        QStringLiteral("Errore lettura dati società (ERR.W09)."));

    QFrame *filters = AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(filters);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TOrderFilters(filters);
    filtersLayout->addWidget(Filters);
    SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->EF_Find_DescOrdine);

    DG_Ordini = AddGrid(QStringLiteral("DG_Ordini"), OrderListDefinition());

    PAN_Input = new TOrderPanel(this);
    AddEditPanel(PAN_Input, PAN_Input->PB_Annulla_Input);

    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TGESTIONE_ORDINI::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TGESTIONE_ORDINI::PB_AzzeraFiltriClick);
    connect(PAN_Input->PB_Ok_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_ORDINI::PB_Ok_InputClick);
    connect(PAN_Input->PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_ORDINI::PB_Annulla_InputClick);

    bool payments = companies;
    if (companies) {
        try {
            QString command = QStringLiteral("EXEC EstraiElencoCondPagam");
            if (SessionInfo().bFunzionario)
                command += QStringLiteral(" ") + SqlText(SessionInfo().sOperatorCompanyId);
            DST_CodPagamento = TSTD_DBMODULE::Instance()->Query(command);
            PAN_Input->SetPaymentConditions(*DST_CodPagamento);
        } catch (const std::exception &e) {
            payments = false;
            ShowDbError(QStringLiteral("Errore lettura dati società (ERR.W10)."), e);
        }
    }
    if (!payments) {
        // Without companies or payment conditions nothing can be done here.
        m_creationFailed = true;
        filters->setEnabled(false);
        if (List())
            List()->SetMenuActionsEnabled(false);
        return;
    }

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->SetProvinces(provinces.get());

    ExtractEmpty(QStringLiteral("EstraiOrdini"));

    TFilterSettings &settings = CreateSettings(QStringLiteral("FrmGesOrdini_"));
    Filters->Bind(settings);
    if (HasCompanySelector()) {
        settings.AddValue(
            QStringLiteral("KeySocieta"),
            QString(),
            [this] { return CompanySelector()->SelectedId(); },
            [](const QString &) {});
    }
    RestoreFilters(QStringLiteral("AllAnni"), QStringLiteral("KeySocieta"));
}

TGESTIONE_ORDINI::~TGESTIONE_ORDINI() = default;

TDataSet *TGESTIONE_ORDINI::DST_GRID_Ordini() const
{
    return List()->DataSet();
}

QString TGESTIONE_ORDINI::ExtractionCommand()
{
    return Filters->CommandText(CompanyArgument());
}

QString TGESTIONE_ORDINI::ExtractionSort() const
{
    return Filters->SortText();
}

void TGESTIONE_ORDINI::ResetFilters()
{
    Filters->Reset();
}

void TGESTIONE_ORDINI::AfterFiltersRestored()
{
    Filters->Refresh();
}

// --- Filters --------------------------------------------------------------------------------

void TGESTIONE_ORDINI::PB_EstraiElencoClick()
{
    if (m_creationFailed)
        return;
    QWidget *field = nullptr;
    const QString problem = Filters->Problem(&field);
    if (!problem.isEmpty()) {
        ShowErrorBox(problem);
        FocusField(field);
        return;
    }
    ExtractWithFilters();
    FocusField(DG_Ordini);
}

void TGESTIONE_ORDINI::PB_AzzeraFiltriClick()
{
    Filters->Reset();
    Filters->EF_Find_DescOrdine->SetFocus();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_ORDINI::BuildMenu(TListData &list)
{
    TListMenuStyle strong;
    strong.fontColor = kMenuColour;
    strong.bold = true;
    const bool rows = list.HasRows();
    if (rows) {
        // The windows of the quote subsystem are offered once they are part of the program.
        bool any = false;
        if (IsQuoteWindowAvailable(kQuoteLinesWindow)) {
            TListMenuStyle style = strong;
            style.image = StylePixmap(QStyle::SP_FileDialogDetailedView);
            list.AddMenuItem(
                QStringLiteral("Dettaglio prodotti dell'ordine"),
                [this] { DettaglioProdotti(); },
                style);
            any = true;
        }
        if (IsQuoteWindowAvailable(kOrderFolderWindow)
            && !List()->CurrentText(QStringLiteral("txNomeFolder")).isEmpty()) {
            TListMenuStyle style = strong;
            style.image = StylePixmap(QStyle::SP_DirIcon);
            list.AddMenuItem(
                QStringLiteral("Gestione cartella dell'ordine"),
                [this] { GestioneCartella(); },
                style);
            any = true;
        }
        if (any)
            list.AddMenuSeparator();
    }
    list.AddMenuItem(QStringLiteral("Nuovo ordine"), [this] { NuovoOrdine(); });
    if (!rows)
        return;
    list.AddMenuItem(QStringLiteral("Gestione sommario dell'ordine"),
                     [this] { GestioneSommario(); });
    list.AddMenuItem(QStringLiteral("Gestione scadenze dell'ordine"),
                     [this] { GestioneSommario(); });
    list.AddMenuSeparator();
    list.AddMenuItem(QStringLiteral("Modifica"), [this] { ModificaOrdine(); });
    list.AddMenuSeparator();
    list.AddMenuItem(QStringLiteral("Elimina ordine"), [this] { EliminaOrdine(); });
    list.AddMenuSeparator();
    if (list.CurrentIsActive())
        list.AddMenuItem(QStringLiteral("Disattiva ordine"), [this] { CambiaStatoOrdine(false); });
    else
        list.AddMenuItem(QStringLiteral("Riattiva ordine"), [this] { CambiaStatoOrdine(true); });
    list.AddMenuSeparator();
    if (CurrentBlocked()) {
        TListMenuStyle style = strong;
        style.image = OpenPadlockPixmap();
        list.AddMenuItem(
            QStringLiteral("Sblocca ordine"), [this] { CambiaBloccoOrdine(false); }, style);
    } else {
        TListMenuStyle style = strong;
        style.image = PadlockPixmap();
        list.AddMenuItem(
            QStringLiteral("Blocca ordine"), [this] { CambiaBloccoOrdine(true); }, style);
    }
    list.AddMenuSeparator();
    list.AddInfoItem();
    list.AddMenuSeparator();
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}

bool TGESTIONE_ORDINI::CurrentBlocked() const
{
    return List()->HasRows()
           && List()->CurrentText(QStringLiteral("flBloccato")) == QLatin1String("1");
}

QString TGESTIONE_ORDINI::NeighbourId() const
{
    TDataSet *ds = List()->DataSet();
    if (!ds || ds->RecordCount() < 2)
        return QString();
    const int key = ds->FieldIndex(QStringLiteral("idOrdine"));
    const int row = ds->RecNo() - 1; // the grid shows the copy in its current sort
    const int other = row + 1 < ds->RecordCount() ? row + 1 : row - 1;
    return ds->ValueAt(other, key).toString();
}

// --- Records --------------------------------------------------------------------------------

bool TGESTIONE_ORDINI::OpenOrder(const QString &id, const QString &errorMessage)
{
    if (!TryOpenRecord(QStringLiteral("Ordini"),
                       QStringLiteral("idOrdine"),
                       QStringLiteral("EXEC DatiOrdine ") + SqlText(id),
                       errorMessage))
        return false;
    if (Record()->IsNew()) {
        // The order went meanwhile (deleted by another operator).
        CloseRecord();
        xTipoOp = coGENNone;
        ShowErrorBox(errorMessage + QStringLiteral("\r\n\r\n(Ordine non trovato.)"));
        ExtractWithFilters();
        return false;
    }
    PAN_Input->EF_DescOggetto->SetMaxLength(200);
    PAN_Input->EF_NoteOrdine->SetMaxLength(200);
    return true;
}

void TGESTIONE_ORDINI::NuovoOrdine()
{
    if (EditMode() || m_creationFailed)
        return;
    QString idPreventivo;
    if (!TRICERCA_PREVENTIVO::Choose(this, CompanyArgument(), &idPreventivo)
        || idPreventivo.isEmpty())
        return;
    CreaOrdineDaPreventivo(idPreventivo);
}

bool TGESTIONE_ORDINI::CreaOrdineDaPreventivo(const QString &idPreventivo)
{
    if (EditMode())
        return false;
    QString idOrdine;
    try {
        TWaitText wait(QStringLiteral("Creazione ordine da preventivo in corso..."));
        std::unique_ptr<TDataSet> result = TSTD_DBMODULE::Instance()->Query(
            QStringLiteral("EXEC CreaOrdineDaPreventivo ") + SqlText(idPreventivo)
            + QStringLiteral(", ") + UserArgument());
        if (result && result->RecordCount() > 0)
            idOrdine = result->FieldByName(QStringLiteral("idOrdine")).AsString();
        if (idOrdine.isEmpty())
            throw EDatabaseError(QStringLiteral("Nessun ordine restituito."));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore creazione ordine da preventivo (ERR.W02)."), e);
        return false;
    }
    sLastId = idOrdine;
    ShowInfoBox(QStringLiteral("Ordine creato da preventivo correttamente.\r\n\r\n"
                               "Puoi procedere con l'integrazione dei dati mancanti."));
    // The order is in the list from now on, whatever the edit panel's end.
    ExtractWithFilters();
    sLastId = idOrdine;
    xTipoOp = coGENInsert;
    if (!OpenOrder(idOrdine, QStringLiteral("Errore creazione nuovo ordine (ERR.W05).")))
        return false;
    PAN_Input->SetTitle(QStringLiteral("Nuovo Ordine"));
    PAN_Input->Fill(Record()->Data());
    EnterEditMode(PAN_Input, PAN_Input->EF_DescOggetto);
    return true;
}

void TGESTIONE_ORDINI::ModificaOrdine()
{
    if (EditMode() || !List()->HasRows())
        return;
    if (CurrentBlocked()) {
        ShowErrorBox(QStringLiteral("L'ordine è bloccato, non è possibile modificarlo."));
        return;
    }
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenOrder(sLastId, QStringLiteral("Errore modifica ordine (ERR.W06).")))
        return;
    PAN_Input->SetTitle(QStringLiteral("Modifica Ordine "));
    PAN_Input->Fill(Record()->Data());
    EnterEditMode(PAN_Input, PAN_Input->EF_DescOggetto);
}

void TGESTIONE_ORDINI::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    if (PAN_Input->EF_DescOggetto->Text().trimmed().isEmpty()) {
        ShowErrorBox(QStringLiteral("L'oggetto è obbligatorio."));
        PAN_Input->EF_DescOggetto->SetFocus();
        return;
    }
    if (PAN_Input->PaymentCode().isEmpty()) {
        ShowErrorBox(QStringLiteral("La condizione di pagamento è obbligatoria."));
        PAN_Input->DCB_Pagamento->setFocus();
        return;
    }
    const bool insert = xTipoOp == coGENInsert;
    PAN_Input->PB_Ok_Input->setEnabled(false);
    // The order exists in both cases (the database made it from the quote): its row is
    // edited; only a change is stamped as one.
    xTipoOp = coGENModify;
    const bool saved = PostRecord(insert
                                      ? QStringLiteral("Errore creazione nuovo ordine (ERR.W05).")
                                      : QStringLiteral("Errore modifica ordine (ERR.W06)."),
                                  !insert,
                                  [this](TDataSet &record) { PAN_Input->Write(record); });
    xTipoOp = insert ? coGENInsert : coGENModify;
    PAN_Input->PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    ExtractAfterSave(
        insert ? QStringLiteral("L'ordine inserito non è visibile con i filtri applicati.")
               : QStringLiteral("L'ordine modificato non è visibile con i filtri applicati."));
}

void TGESTIONE_ORDINI::RecordReadAgain()
{
    if (!Record())
        return;
    PAN_Input->Fill(Record()->Data());
}

void TGESTIONE_ORDINI::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

// --- State changes --------------------------------------------------------------------------

void TGESTIONE_ORDINI::EliminaOrdine()
{
    if (EditMode() || !List()->HasRows())
        return;
    if (CurrentBlocked()) {
        ShowErrorBox(QStringLiteral("Impossibile eliminare un ordine bloccato."));
        return;
    }
    if (!AskYesNo(QStringLiteral("Confermi eliminazione definitiva dell'ordine selezionato ?")))
        return;
    const QString id = List()->CurrentId();
    const QString next = NeighbourId();
    bool deleted = false;
    try {
        TWaitText wait(QStringLiteral("Rimozione ordine in corso..."));
        std::unique_ptr<TDataSet> result = TSTD_DBMODULE::Instance()->Query(
            QStringLiteral("EXEC DeleteOrdine ") + SqlText(id) + QStringLiteral(", ")
            + SqlFlag(SessionInfo().bAdministrator) + QStringLiteral(", ") + UserArgument());
        if (!result || result->RecordCount() == 0)
            throw EDatabaseError(QStringLiteral("Nessuna risposta."));
        if (!result->FieldByName(QStringLiteral("flOk")).AsBoolean()) {
            ShowErrorBox(result->FieldByName(QStringLiteral("ErrMess")).AsString());
            return;
        }
        deleted = true;
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore rimozione ordine (ERR.W08)."), e);
    }
    if (!deleted)
        return;
    sLastId = next;
    ExtractWithFilters();
}

void TGESTIONE_ORDINI::CambiaStatoOrdine(bool reactivate)
{
    if (EditMode() || !List()->HasRows())
        return;
    if (!reactivate && CurrentBlocked()) {
        ShowErrorBox(QStringLiteral("L'ordine è bloccato, non è possibile disattivarlo."));
        return;
    }
    sLastId = List()->CurrentId();
    try {
        TWaitText wait(QStringLiteral("Cambio stato ordine in corso..."));
        RunProcedure(QStringLiteral("EXEC ChangeStatoOrdine ") + SqlText(sLastId)
                     + QStringLiteral(", ") + SqlFlag(reactivate) + QStringLiteral(", ")
                     + UserArgument());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore cambio stato ordine (ERR.W01)."), e);
        ExtractWithFilters();
        return;
    }
    ExtractAndWarn(
        reactivate ? QStringLiteral("L'ordine riattivato non è visibile con i filtri applicati.")
                   : QStringLiteral("L'ordine disattivato non è visibile con i filtri applicati."));
}

void TGESTIONE_ORDINI::CambiaBloccoOrdine(bool block)
{
    if (EditMode() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    const bool fixedDeadline = List()->CurrentText(QStringLiteral("flScadenzaFissa"))
                               == QLatin1String("1");
    const QString days = List()->CurrentText(QStringLiteral("nuGGScadDalBlocco"));
    QString deadline;
    try {
        TWaitText wait(block ? QStringLiteral("Blocco ordine in corso...")
                             : QStringLiteral("Sblocco ordine in corso..."));
        std::unique_ptr<TDataSet> result = TSTD_DBMODULE::Instance()->Query(
            QStringLiteral("EXEC ChangeBloccoOrdine ") + SqlText(sLastId) + QStringLiteral(", ")
            + SqlFlag(block) + QStringLiteral(", ") + UserArgument());
        if (block && result && result->RecordCount() > 0)
            deadline = result->FieldByName(QStringLiteral("dtScadenza"))
                           .AsDateTime()
                           .toString(QStringLiteral("dd/MM/yyyy"));
    } catch (const std::exception &e) {
        ShowDbError(block ? QStringLiteral("Errore blocco ordine (ERR.W03).")
                          : QStringLiteral("Errore sblocco ordine (ERR.W04)."),
                    e);
        ExtractWithFilters();
        return;
    }
    if (!fixedDeadline) {
        if (block)
            ShowInfoBox(QStringLiteral("Blocco ordine completato.\r\n\r\n"
                                       "La data di scadenza dell'ordine è stata impostata a ")
                        + days
                        + QStringLiteral(" giorni a partire da oggi.\r\n\r\nNuova data scadenza ")
                        + deadline + QStringLiteral("."));
        else
            ShowInfoBox(QStringLiteral("Sblocco ordine completato.\r\n\r\n"
                                       "La data di scadenza è stata rimossa, sarà impostata a ")
                        + days + QStringLiteral(" giorni a partire dal prossimo blocco."));
    }
    ExtractAndWarn(
        block ? QStringLiteral("L'ordine bloccato non è visibile con i filtri applicati.")
              : QStringLiteral("L'ordine sbloccato non è visibile con i filtri applicati."));
}

void TGESTIONE_ORDINI::GestioneSommario()
{
    if (EditMode() || !List()->HasRows())
        return;
    const QString id = List()->CurrentId();
    const QString description = List()->CurrentText(QStringLiteral("txDescOrdine"));
    OpenChildWindow(
        QStringLiteral("ORDINE_SOMMARIO"),
        MdiAreaOf(this),
        [](QWidget *parent) { return new TORDINE_SOMMARIO(parent); },
        [id, description](QWidget *window) {
            static_cast<TORDINE_SOMMARIO *>(window)->Start(id, description);
        });
}

void TGESTIONE_ORDINI::DettaglioProdotti()
{
    if (EditMode() || !List()->HasRows())
        return;
    if (CurrentBlocked()) {
        ShowErrorBox(
            QStringLiteral("L'ordine è bloccato, non è possibile modificarne la struttura."));
        return;
    }
    // The lines editor works on the order's own lines: the order id stands for the quote id.
    OpenQuoteLines(this,
                   List()->CurrentId(),
                   List()->CurrentText(QStringLiteral("txNuPreventivo")),
                   List()->CurrentText(QStringLiteral("txDescOrdine")));
}

void TGESTIONE_ORDINI::GestioneCartella()
{
    if (EditMode() || !List()->HasRows())
        return;
    TListData *list = List();
    TQuoteFolderStart start;
    start.bFromGestione = true; // order mode
    start.sIdPreventivoLista = list->CurrentId();
    start.bPrevBloccatoLista = CurrentBlocked();
    start.iNuRevisioneLista = list->CurrentText(QStringLiteral("nuRevisione")).toInt();
    start.sURLPDF = list->CurrentText(QStringLiteral("txURLFilePDF"));
    start.sNomePDF = list->CurrentText(QStringLiteral("txNomeFilePDF"));
    start.sNomeFolderPrev = list->CurrentText(QStringLiteral("txNomeFolder"));
    start.sDescOggettoLista = list->CurrentText(QStringLiteral("txDescOrdine"));
    start.sDescClienteLista = list->CurrentText(QStringLiteral("txDenominazione"));
    start.sNuAnnoPrevLista = list->CurrentText(QStringLiteral("nuAnnoPreventivo"));
    start.sNuPreventivoLista = list->CurrentText(QStringLiteral("nuPreventivo"));
    start.sTxNuPreventivoLista = list->CurrentText(QStringLiteral("txNuPreventivo"));
    OpenQuoteFolder(this, kOrderFolderWindow, start);
}
