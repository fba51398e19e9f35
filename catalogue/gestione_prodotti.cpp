#include "catalogue/gestione_prodotti.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/cataloguegridicons.h"
#include "catalogue/catalogueopeners.h"
#include "catalogue/productfilters.h"
#include "catalogue/productinputpanel.h"
#include "catalogue/productpreview.h"
#include "common/dialogs.h"
#include "common/formats.h"
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
#include "domain/nodeimages.h"
#include "domain/vrldettprod.h"
#include "masterdata/filtersettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QStringLiteral("GESTIONE_PRODOTTI"), [](QWidget *parent) {
    return new TGESTIONE_PRODOTTI(parent);
});

constexpr int kSegueToListini = 12345;
// Windows colour values (0xBBGGRR).
constexpr quint32 kMenuBlue = 0xA16E37; // #376EA1
constexpr quint32 kPurple = 0x800080;   // #800080
constexpr quint32 kBlue = 0xFF0000;     // #0000FF
constexpr quint32 kInactiveGrey = 0x7C7C7C;

TListDefinition ProductListDefinition()
{
    TListDefinition d;
    d.sClassName = QStringLiteral("TGESTIONE_PRODOTTI");
    d.sKeyField = QStringLiteral("idProdotto");
    d.sExtractError = QStringLiteral("Errore estrazione elenco prodotti (ERR.F08).");
    d.sStatusPrefix = QStringLiteral(" N° prodotti: ");
    d.sEmptyText = QStringLiteral(" Nessun prodotto, accessorio, documentazione. ");
    auto column = [&d](const char *field, const char *label, int width, bool centred) {
        d.columns.push_back(
            {QString::fromUtf8(field), QString::fromUtf8(label), width, centred, centred});
    };
    column("flMancaCopertina", "(S)", 3, true);
    column("flProdottiLinked", "(C)", 3, true);
    column("txCodProdotto", "Codice", 20, true);
    column("txDescProdotto", "Descrizione prodotto", 75, false);
    column("dtUltPreventivoAperto", "Ultimo prev.", 14, true);
    column("nuPreventiviAperti", "N° prev. in corso", 14, false);
    column("nuPreventiviChiusi", "N° prev. bloccati", 14, false);
    column("dtMod", "Modificato il", 20, false);
    column("txUtenteMod", "Da", 20, false);
    column("dtIn", "Inserito il", 20, false);
    column("txUtenteIn", "Da", 20, false);
    column("dtMaxOperazListini", "Ult. Operaz. Listini", 20, false);
    d.listFields = QStringList{QStringLiteral("flMancaCopertina"),
                               QStringLiteral("flProdottiLinked"),
                               QStringLiteral("txCodProdotto"),
                               QStringLiteral("txDescProdotto"),
                               QStringLiteral("dtUltPreventivoAperto"),
                               QStringLiteral("dtMod"),
                               QStringLiteral("dtIn"),
                               QStringLiteral("dtMaxOperazListini")};
    d.infoFields = QStringList{QStringLiteral("txCodProdotto"),
                               QStringLiteral("txDescProdotto"),
                               QStringLiteral("dtUltPreventivoAperto"),
                               QStringLiteral("nuPreventiviAperti"),
                               QStringLiteral("nuPreventiviChiusi"),
                               QStringLiteral("txUtenteMod"),
                               QStringLiteral("dtMod"),
                               QStringLiteral("txUtenteIn"),
                               QStringLiteral("dtIn")};
    d.sInfoTitle = QStringLiteral("Info supplementari prodotto");
    d.iInfoWidth = 400;
    d.iconColumns = {{QStringLiteral("flMancaCopertina"), CatalogueGridIcon(giMancaCopertina)},
                     {QStringLiteral("flProdottiLinked"), CatalogueGridIcon(giCollegati)}};
    d.legends = {{QStringLiteral(" (S) Manca immagine di copertina "), clKRTBlack, false},
                 {QStringLiteral(" (C) Esistono prodotti collegati "), clKRTBlack, false},
                 {QStringLiteral(" (Accessori)  "), kBlue, true},
                 {QStringLiteral("  (Documentazioni)  "), kPurple, true},
                 {QStringLiteral("  (Prodotti) "), clKRTBlack, false}};
    d.menuSideBarColor = kMenuBlue;
    d.statusText = ProductCounts;
    d.rowColours = [](const TDataSet &ds, int row, TKRTDrawCellArgs &args) {
        ColourProductKind(ds, row, args); // then an inactive product wins
        if (ProductFlagAt(ds, row, QStringLiteral("flProdottoAttivo")) == 0) {
            args.FontColor = KRTColor(kInactiveGrey);
            args.Font.setItalic(true);
        }
    };
    d.developerQueries = ProductDeveloperQueries;
    return d;
}

TListMenuStyle Highlighted(int icon)
{
    TListMenuStyle style;
    style.fontColor = kMenuBlue;
    style.bold = true;
    style.image = CatalogueGridIcon(icon);
    return style;
}

TListMenuStyle WithIcon(int icon)
{
    TListMenuStyle style;
    style.image = CatalogueGridIcon(icon);
    return style;
}

void ShowProgress(const QString &message)
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(message);
}

} // namespace

int ProductFlagAt(const TDataSet &ds, int row, const QString &field)
{
    const int column = ds.FieldIndex(field);
    return column < 0 || ds.IsNullAt(row, column) ? 0 : ds.ValueAt(row, column).toInt();
}

void ColourProductKind(const TDataSet &ds, int row, TKRTDrawCellArgs &args)
{
    if (ProductFlagAt(ds, row, QStringLiteral("flDocumentazione")) == 1) {
        args.FontColor = KRTColor(kPurple);
        args.Font.setBold(true);
    }
    if (ProductFlagAt(ds, row, QStringLiteral("flAccessorio")) == 1) {
        args.FontColor = KRTColor(kBlue);
        args.Font.setBold(true);
    }
}

QList<QStringList> ProductDeveloperQueries(const QString &idProdotto)
{
    // The schema keeps quote lines in Preventivo_Dettaglio: that is where a product is used.
    const QString id = SqlText(idProdotto);
    return {{QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Prodotti a"),
             QStringLiteral(" WHERE a.idProdotto = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Preventivo_Dettaglio a"),
             QStringLiteral(" WHERE a.idProdotto = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Ordini a"),
             QStringLiteral(
                 " INNER JOIN Preventivo_Dettaglio b ON (b.idPreventivo = a.idPreventivo)"),
             QStringLiteral(" WHERE b.idProdotto = ") + id}};
}

QString ProductCounts(TDataSet &ds)
{
    const struct
    {
        const char *label;
        const char *filter;
    } parts[] = {{" prodotti: ", "flAccessorio = 0 AND flDocumentazione = 0"},
                 {" accessori: ", "flAccessorio = 1"},
                 {" documentazioni: ", "flDocumentazione = 1"}};
    QStringList shown;
    for (const auto &part : parts) {
        const int n = ds.CountMatching(QString::fromLatin1(part.filter));
        if (n > 0)
            shown << QString::fromUtf8(part.label) + FormatNumber(0, n);
    }
    return QStringLiteral(" N°") + shown.join(QLatin1Char(',')) + QLatin1Char(' ');
}

TGESTIONE_PRODOTTI::TGESTIONE_PRODOTTI(QWidget *parent)
    : TListWindow(QStringLiteral("GESTIONE_PRODOTTI"), QStringLiteral("Gestione prodotti"), parent)
{
    // A copy marked before this window existed is not offered here.
    ClearPendingCopyNode();

    QFrame *panel = AddFilterPanel();
    auto *filtersLayout = new QVBoxLayout(panel);
    filtersLayout->setContentsMargins(0, 0, 0, 0);
    Filters = new TProductFilters(panel);
    filtersLayout->addWidget(Filters);
    SetExtractButton(Filters->PB_EstraiElenco);
    SetFirstFocus(Filters->EF_Find_DescProdotto);
    Filters->PAN_Patch->setVisible(SessionInfo().bAdministrator);

    PAN_Input = new TProductInputPanel(this);

    try {
        m_catalogues = LoadCatalogues();
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati fornitori (ERR.F11)."), e);
        m_creationFailed = true;
    }

    DG_Prodotti = AddGrid(QStringLiteral("DG_Prodotti"), ProductListDefinition());
    AddEditPanel(PAN_Input, PAN_Input->PB_Annulla_Input);
    Pane()->OnGridDoubleClick = [this] {
        if (List()->HasRows())
            OpenProductInput(true);
    };

    connect(Filters->PB_EstraiElenco,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PRODOTTI::PB_EstraiElencoClick);
    connect(Filters->PB_AzzeraFiltri,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PRODOTTI::PB_AzzeraFiltriClick);
    connect(Filters->PB_Patch, &QPushButton::clicked, this, [this] {
        RepairImages(TImageRepair::CatalogueAll);
    });
    connect(Filters->PB_Patch1B, &QPushButton::clicked, this, [this] {
        RepairImages(TImageRepair::CatalogueCovers);
    });
    connect(Filters->PB_Patch2, &QPushButton::clicked, this, [this] {
        RepairImages(TImageRepair::LayoutsAndLogos);
    });
    connect(PAN_Input->PB_Ok_Input, &QPushButton::clicked, this, [this] { SaveProduct(false); });
    connect(PAN_Input->PB_Ok_Input_Segue, &QPushButton::clicked, this, [this] {
        SaveProduct(true);
    });
    connect(PAN_Input->PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_PRODOTTI::PB_Annulla_InputClick);

    if (m_creationFailed) {
        // Without the catalogues nothing can be listed: the window stays without lists.
        panel->setEnabled(false);
        return;
    }

    m_filterCatalogues = CatalogueFilterRows(*m_catalogues);
    bEsistonoSoloCataloghiAttuali = OnlyCurrentCatalogues(*m_catalogues);
    PAN_Input->SetCatalogues(*m_catalogues);
    Filters->OnCatalogueToggle = [this](bool previous) {
        PAN_Input->DCB_Fornitore->ShowPrevious(previous);
    };
    Filters->SetCatalogues(*m_filterCatalogues, bEsistonoSoloCataloghiAttuali);

    ExtractEmpty(QStringLiteral("EstraiProdotti"));

    TFilterSettings &settings = CreateSettings(QStringLiteral("FrmGesProd_"));
    Filters->Bind(settings);
    RestoreFilters(QStringLiteral("TipoCataloghi"));
    bCataloghiAttuali = !Filters->PreviousCatalogues();
}

TGESTIONE_PRODOTTI::~TGESTIONE_PRODOTTI() = default;

TDataSet *TGESTIONE_PRODOTTI::DST_GRID_Prodotti() const
{
    return List()->DataSet();
}

void TGESTIONE_PRODOTTI::Start(const QString &sIdProdotto)
{
    bFromPreventivi = true;
    m_startId = sIdProdotto;
    // Not the launcher's window: the launcher keeps finding (or opening) the whole list.
    setObjectName(QStringLiteral("GESTIONE_PRODOTTI_PREVENTIVO"));
    Pane()->FilterPanel()->hide();
    if (m_creationFailed)
        return;
    ExtractWithFilters();
    FocusField(DG_Prodotti);
}

// --- Extraction -----------------------------------------------------------------------------

QString TGESTIONE_PRODOTTI::ExtractionCommand()
{
    if (bFromPreventivi)
        return QStringLiteral("EXEC EstraiProdotti  1, ") + SqlText(m_startId);
    return Filters->CommandText();
}

QString TGESTIONE_PRODOTTI::ExtractionSort() const
{
    return Filters->SortText();
}

void TGESTIONE_PRODOTTI::ResetFilters()
{
    Filters->Reset();
}

void TGESTIONE_PRODOTTI::PB_EstraiElencoClick()
{
    if (m_creationFailed || EditMode())
        return;
    if (!bFromPreventivi)
        Filters->CollapseSearchText();
    ExtractWithFilters();
    bCataloghiAttuali = !Filters->PreviousCatalogues();
    FocusField(DG_Prodotti);
    if (iSegueToListini == kSegueToListini) {
        // The request is used once.
        iSegueToListini = 0;
        ListiniProdotto();
    }
}

void TGESTIONE_PRODOTTI::PB_AzzeraFiltriClick()
{
    Filters->Reset();
    Filters->EF_Find_DescProdotto->SetFocus();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_PRODOTTI::BuildMenu(TListData &list)
{
    const bool rows = list.HasRows();
    if (const TVRLDettProd *copy = PendingCopyNode(); copy && rows) {
        const bool scheda = copy->iNuTipologia == NodeTipologiaCode(cnScheda);
        list.AddMenuItem(
            scheda ? QStringLiteral("Aggiungi la scheda selezionata")
                   : QStringLiteral("Aggiungi il paragrafo selezionato"),
            [this] { CompletaCopiaInAltroProdotto(); },
            Highlighted(scheda ? giScheda : giParagrafo));
        list.AddMenuSeparator();
        list.AddMenuItem(scheda ? QStringLiteral("Annulla copia in corso della scheda")
                                : QStringLiteral("Annulla copia in corso del paragrafo"),
                         [this] { AnnullaCopiaInCorso(); });
        return;
    }
    if (rows) {
        bool any = false;
        if (ProductWindowAvailable(QString::fromLatin1(kDettagliProdottoWindow))) {
            list.AddMenuItem(
                QStringLiteral("Dettagli del prodotto"),
                [this] { DettagliProdotto(); },
                Highlighted(giDettagli));
            any = true;
        }
        if (!bFromPreventivi) {
            if (ProductWindowAvailable(QString::fromLatin1(kProdottiLinkedWindow))) {
                list.AddMenuItem(
                    QStringLiteral("Prodotti collegati"),
                    [this] { ProdottiCollegati(); },
                    Highlighted(giCollegati));
                any = true;
            }
            if (list.CurrentText(QStringLiteral("flDocumentazione")).toInt() != 1
                && ProductWindowAvailable(QString::fromLatin1(kProdottoListinoWindow))) {
                list.AddMenuItem(
                    QStringLiteral("Listini del prodotto"),
                    [this] { ListiniProdotto(); },
                    Highlighted(giListini));
                any = true;
            }
        }
        if (any)
            list.AddMenuSeparator();
    }
    if (!bFromPreventivi)
        list.AddMenuItem(QStringLiteral("Nuovo prodotto"), [this] { NewProductInput(); });
    if (rows) {
        list.AddMenuItem(QStringLiteral("Modifica"), [this] { OpenProductInput(false); });
        if (!bFromPreventivi) {
            list.AddMenuItem(QStringLiteral("Duplica prodotto"), [this] { DuplicaProdotto(); });
            list.AddMenuSeparator();
            if (list.CurrentText(QStringLiteral("flProdottoAttivo")).toInt() == 1)
                list.AddMenuItem(QStringLiteral("Disattiva prodotto"),
                                 [this] { CambiaStatoProdotto(false); });
            else
                list.AddMenuItem(QStringLiteral("Riattiva prodotto"),
                                 [this] { CambiaStatoProdotto(true); });
            list.AddMenuSeparator();
            list.AddMenuItem(QStringLiteral("Elimina prodotto"), [this] { EliminaProdotto(); });
        }
        list.AddMenuSeparator();
        list.AddMenuItem(
            QStringLiteral("Info supplementari"), [this] { InfoSupplementari(); }, WithIcon(giInfo));
        if (!bFromPreventivi) {
            list.AddMenuSeparator();
            list.AddMenuItem(
                QStringLiteral("Anteprima stampa prodotto"),
                [this] { AnteprimaStampaProdotto(); },
                WithIcon(giDettagli));
        }
        if (SessionInfo().bDeveloperMode) {
            list.AddMenuSeparator();
            list.AddCopyIdItem();
        }
    }
}

// --- Windows of the product -----------------------------------------------------------------

QWidget *TGESTIONE_PRODOTTI::OpenProductWindow(const QString &name,
                                               const std::function<void(QWidget *)> &start)
{
    if (!List()->HasRows() || !ProductWindowAvailable(name))
        return nullptr;
    try {
        return OpenChildWindow(
            name,
            MdiAreaOf(this),
            [name](QWidget *parent) { return CreateRegisteredWindow(name, parent); },
            [this, start](QWidget *window) {
                SetProductListOf(window, this);
                start(window);
            });
    } catch (const std::exception &e) {
        HideListWait();
        ShowErrorBox(QString::fromUtf8(e.what()));
        return nullptr;
    }
}

void TGESTIONE_PRODOTTI::DettagliProdotto()
{
    iSegueToListini = 0;
    const bool fromQuote = bFromPreventivi;
    const QString id = List()->CurrentId();
    const QString code = List()->CurrentText(QStringLiteral("txCodProdotto"));
    const QString desc = List()->CurrentText(QStringLiteral("txDescProdotto"));
    const bool active = List()->CurrentText(QStringLiteral("flProdottoAttivo")).toInt() == 1;
    OpenProductWindow(QString::fromLatin1(kDettagliProdottoWindow), [=](QWidget *window) {
        DettagliProdottoStart()(window, fromQuote, id, code, desc, active);
    });
}

void TGESTIONE_PRODOTTI::ProdottiCollegati()
{
    const QString id = List()->CurrentId();
    const QString desc = List()->CurrentText(QStringLiteral("txDescProdotto"));
    const bool documentation = List()->CurrentText(QStringLiteral("flDocumentazione")).toInt() == 1;
    const bool current = bCataloghiAttuali;
    OpenProductWindow(QString::fromLatin1(kProdottiLinkedWindow), [=](QWidget *window) {
        ProdottiLinkedStart()(window, id, desc, documentation, current);
    });
}

void TGESTIONE_PRODOTTI::ListiniProdotto()
{
    const QString id = List()->CurrentId();
    const QString desc = List()->CurrentText(QStringLiteral("txDescProdotto"));
    const bool documentation = List()->CurrentText(QStringLiteral("flDocumentazione")).toInt() == 1;
    OpenProductWindow(QString::fromLatin1(kProdottoListinoWindow), [=](QWidget *window) {
        ProdottoListinoStart()(window, id, desc, documentation);
    });
}

// --- Pending copy ---------------------------------------------------------------------------

void TGESTIONE_PRODOTTI::CompletaCopiaInAltroProdotto()
{
    const TVRLDettProd *copy = PendingCopyNode();
    if (!copy || !List()->HasRows() || EditMode())
        return;
    const bool scheda = copy->iNuTipologia == NodeTipologiaCode(cnScheda);
    const QString target = List()->CurrentId();
    ShowProgress(scheda ? QStringLiteral("Copia scheda in corso...")
                        : QStringLiteral("Copia paragrafo in corso..."));
    try {
        RunProcedure(QStringLiteral("EXEC CopiaNodoInAltroProdotto ") + SqlText(copy->sIdNodo)
                     + QStringLiteral(", ") + SqlInteger(copy->iNuTipologia) + QStringLiteral(", ")
                     + SqlText(target) + QStringLiteral(", ") + UserArgument());
    } catch (const std::exception &e) {
        // The copy stays pending: another product may be chosen.
        ShowDbError(QStringLiteral("Errore copia in altro prodotto (ERR.F12)."), e);
        return;
    }
    HideListWait();
    ClearPendingCopyNode();
    ShowInfoBox(QStringLiteral("Copia effettuata correttamente"));
    // The product changed: its row is read again.
    sLastId = target;
    ExtractWithFilters();
}

void TGESTIONE_PRODOTTI::AnnullaCopiaInCorso()
{
    if (!PendingCopyNode())
        return;
    if (AskYesNo(QStringLiteral("Confermi annullamento operazione ?")))
        ClearPendingCopyNode();
}

// --- Actions on the selected product ----------------------------------------------------------

void TGESTIONE_PRODOTTI::DuplicaProdotto()
{
    if (EditMode() || !List()->HasRows())
        return;
    if (!AskYesNo(QStringLiteral("Confermi duplicazione del prodotto selezionato ?")))
        return;
    const QString source = List()->CurrentId();
    sLastId = NewGuidText();
    const bool listini = AskYesNo(
        QStringLiteral("Vuoi duplicare anche gli eventuali listini presenti ?"));
    ShowProgress(QStringLiteral("Duplicazione prodotto in corso..."));
    try {
        RunProcedure(QStringLiteral("EXEC CloneProdotto ") + SqlText(source) + QStringLiteral(", ")
                     + SqlText(sLastId) + QStringLiteral(", ") + SqlFlag(listini)
                     + QStringLiteral(", ") + UserArgument());
    } catch (const std::exception &e) {
        sLastId.clear();
        ShowDbError(QStringLiteral("Errore duplicazione prodotto (ERR.F05)."), e);
        return;
    }
    HideListWait();
    ExtractAndWarn(QStringLiteral("Il prodotto duplicato non è visibile con i filtri applicati."));
}

void TGESTIONE_PRODOTTI::CambiaStatoProdotto(bool reactivate)
{
    if (EditMode() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    ShowProgress(QStringLiteral("Cambio stato prodotto in corso..."));
    try {
        RunProcedure(QStringLiteral("EXEC ChangeStatoProdotto ") + SqlText(sLastId)
                     + QStringLiteral(", ") + SqlFlag(reactivate) + QStringLiteral(", ")
                     + UserArgument());
    } catch (const std::exception &e) {
        sLastId.clear();
        ShowDbError(QStringLiteral("Errore cambio stato prodotto (ERR.F02)."), e);
        return;
    }
    HideListWait();
    ExtractAndWarn(
        reactivate
            ? QStringLiteral("Il prodotto riattivato non è visibile con i filtri applicati.")
            : QStringLiteral("Il prodotto disattivato non è visibile con i filtri applicati."));
}

void TGESTIONE_PRODOTTI::EliminaProdotto()
{
    if (EditMode() || !List()->HasRows())
        return;
    if (!AskYesNo(QStringLiteral("Confermi eliminazione definitiva del prodotto selezionato ?")))
        return;
    TDataSet &ds = *List()->DataSet();
    const QString id = List()->CurrentId();
    // The row after it in the list's order, or the one before the last row; none when alone.
    const int row = ds.RecNo() - 1;
    const int key = ds.FieldIndex(QStringLiteral("idProdotto"));
    if (row + 1 < ds.RecordCount())
        sLastId = ds.ValueAt(row + 1, key).toString();
    else if (row > 0)
        sLastId = ds.ValueAt(row - 1, key).toString();
    else
        sLastId.clear();
    ShowProgress(QStringLiteral("Rimozione prodotto in corso..."));
    try {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        std::unique_ptr<TDataSet> result = db->Query(
            QStringLiteral("EXEC DeleteProdotto ") + SqlText(id) + QStringLiteral(", ")
            + SqlFlag(SessionInfo().bAdministrator) + QStringLiteral(", ") + UserArgument());
        if (result->RecordCount() > 0 && !result->FieldByName(QStringLiteral("flOk")).AsBoolean()) {
            // Refused by the database (a product used by quotes): its reason, nothing removed.
            sLastId.clear();
            HideListWait();
            ShowErrorBox(result->FieldByName(QStringLiteral("ErrMess")).AsString());
            return;
        }
    } catch (const std::exception &e) {
        sLastId.clear();
        ShowDbError(QStringLiteral("Errore rimozione prodotto (ERR.F07)."), e);
        return;
    }
    HideListWait();
    ExtractWithFilters();
}

void TGESTIONE_PRODOTTI::InfoSupplementari()
{
    List()->ShowInfo();
}

void TGESTIONE_PRODOTTI::AnteprimaStampaProdotto()
{
    if (List()->HasRows())
        PrintProductPreview(List()->CurrentId());
}

void TGESTIONE_PRODOTTI::CopiaIdInClipboard()
{
    List()->CopyCurrentId();
}

// --- Input panel ----------------------------------------------------------------------------

void TGESTIONE_PRODOTTI::OpenImageRecords(const QString &id)
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    auto image = std::make_unique<TEditableRecord>(db,
                                                   QStringLiteral("Images_Prodotti"),
                                                   QStringLiteral("idImage"));
    image->Open(QStringLiteral("EXEC DatiImagesProdotto ") + SqlText(id));
    auto preview = std::make_unique<TEditableRecord>(db,
                                                     QStringLiteral("Images_Prodotti_Preview"),
                                                     QStringLiteral("idImage"));
    preview->Open(QStringLiteral("EXEC DatiImagesProdottoPreview ") + SqlText(id));
    m_image = std::move(image);
    m_preview = std::move(preview);
}

bool TGESTIONE_PRODOTTI::OpenProductRecords(const QString &id, const QString &errorMessage)
{
    if (!TryOpenRecord(QStringLiteral("Prodotti"),
                       QStringLiteral("idProdotto"),
                       QStringLiteral("EXEC DatiProdotto ") + SqlText(id),
                       errorMessage))
        return false;
    try {
        OpenImageRecords(id);
    } catch (const std::exception &e) {
        CloseProductRecords();
        ShowDbError(errorMessage, e);
        return false;
    }
    return true;
}

void TGESTIONE_PRODOTTI::CloseProductRecords()
{
    CloseRecord();
    m_image.reset();
    m_preview.reset();
    xTipoOp = coGENNone;
}

void TGESTIONE_PRODOTTI::NewProductInput()
{
    if (EditMode() || bFromPreventivi || m_creationFailed)
        return;
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenProductRecords(sLastId, QStringLiteral("Errore creazione nuovo prodotto (ERR.F03)."))) {
        sLastId.clear();
        return;
    }
    PAN_Input->LimitLengths(Record()->Data());
    PAN_Input->SetTitle(QStringLiteral("Nuovo prodotto"));
    PAN_Input->SetEditable(true, true);
    PAN_Input->Clear();
    PAN_Input->PB_Ok_Input_Segue->setVisible(
        ProductWindowAvailable(QString::fromLatin1(kDettagliProdottoWindow)));
    EnterEditMode(PAN_Input, PAN_Input->EF_CodProdotto);
}

void TGESTIONE_PRODOTTI::OpenProductInput(bool bReadOnly)
{
    if (EditMode() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    ShowProgress(QStringLiteral("Caricamento dati in corso..."));
    if (!OpenProductRecords(sLastId, QStringLiteral("Errore modifica prodotto (ERR.F04)."))) {
        sLastId.clear();
        return;
    }
    HideListWait();
    TDataSet &product = Record()->Data();
    if (product.RecordCount() == 0) {
        // Removed by another operator meanwhile.
        CloseProductRecords();
        sLastId.clear();
        ShowWarningBox(QStringLiteral("Il prodotto selezionato non esiste più."));
        ExtractWithFilters();
        return;
    }
    PAN_Input->LimitLengths(product);
    PAN_Input->SetTitle(bReadOnly ? QStringLiteral("Visualizza prodotto ")
                                  : QStringLiteral("Modifica prodotto "));
    PAN_Input->Clear();
    PAN_Input->Fill(product);
    PAN_Input->SetStoredCover(
        m_image->IsNew() ? QByteArray()
                         : m_image->Data().FieldByName(QStringLiteral("imgImage")).AsBytes());
    PAN_Input->SetEditable(!bReadOnly, false);
    PAN_Input->ApplyDocumentationRule();
    // ">> Dettaglio" belongs to a new product.
    PAN_Input->PB_Ok_Input_Segue->hide();
    EnterEditMode(PAN_Input, PAN_Input->EF_DescProdotto);
}

void TGESTIONE_PRODOTTI::RecordReadAgain()
{
    if (xTipoOp != coGENModify || !Record() || Record()->Data().RecordCount() == 0)
        return;
    PAN_Input->Fill(Record()->Data());
    PAN_Input->ApplyDocumentationRule();
}

bool TGESTIONE_PRODOTTI::CheckProductCode()
{
    const QString code = PAN_Input->Code();
    if (code.isEmpty())
        return true;
    QString other;
    bool ok = true;
    try {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        std::unique_ptr<TDataSet> result = db->Query(
            QStringLiteral("EXEC CheckCodProdotto ") + SqlText(code) + QStringLiteral(", ")
            + SqlText(sLastId) + QStringLiteral(", ") + UserArgument());
        ok = result->RecordCount() == 0
             || result->FieldByName(QStringLiteral("OkCodice")).AsBoolean();
        if (!ok)
            other = result->FieldByName(QStringLiteral("txDescProdotto")).AsString();
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore verifica codice prodotto (ERR.F01)."), e);
        return false;
    }
    if (ok)
        return true;
    return AskYesNo(QStringLiteral("Codice già utilizzato con il prodotto:") + LineBreaks(2)
                    + QLatin1Char('"') + other + QLatin1Char('"') + LineBreaks(2)
                    + QStringLiteral("Vuoi continuare ?"));
}

void TGESTIONE_PRODOTTI::PostCover(const QByteArray &cover)
{
    if (!m_image || !m_preview)
        throw EDatabaseError(QStringLiteral("Immagine di copertina non disponibile."));
    const QString user = SessionInfo().sUserName;
    if (m_image->IsNew())
        m_image->Append(sLastId);
    else
        m_image->Edit();
    TField image = m_image->Data().FieldByName(QStringLiteral("imgImage"));
    if (cover.isEmpty())
        image.SetNull();
    else
        image.SetValue(cover);
    if (m_preview->IsNew())
        m_preview->Append(sLastId);
    else
        m_preview->Edit();
    if (cover.isEmpty())
        m_preview->Data().FieldByName(QStringLiteral("imgPreview")).SetNull();
    else
        MakeImagePreview(m_image->Data(),
                         m_preview->Data(),
                         QStringLiteral("imgImage"),
                         kCoverPreviewBoxMm,
                         kCoverPreviewBoxMm);
    m_image->Post(user, false);
    m_preview->Post(user, false);
}

void TGESTIONE_PRODOTTI::SaveProduct(bool segueDettaglio)
{
    if ((xTipoOp != coGENInsert && xTipoOp != coGENModify) || !PAN_Input->PB_Ok_Input->isEnabled())
        return;
    if (PAN_Input->DescriptionEmpty()) {
        ShowWarningBox(QStringLiteral("La descrizione del prodotto è obbligatoria."));
        PAN_Input->EF_DescProdotto->SetFocus();
        return;
    }
    if (PAN_Input->AccessoryAndDocumentation()) {
        ShowWarningBox(QStringLiteral("Il prodotto può essere:") + LineBreaks(2)
                       + QStringLiteral("\"normale\" (nessuna selezione),") + LineBreaks(1)
                       + QStringLiteral("\"accessorio\" (relativa selezione),") + LineBreaks(1)
                       + QStringLiteral("\"documentazione\" (relativa selezione).") + LineBreaks(2)
                       + QStringLiteral("Non è possibile effettuare più di una selezione."));
        return;
    }
    if (!CheckProductCode())
        return;

    const bool insert = xTipoOp == coGENInsert;
    const QByteArray cover = PAN_Input->CoverToStore();
    const bool coverWanted = PAN_Input->Documentation()
                             || (PAN_Input->CoverChanged() && !PAN_Input->Cover().isNull());
    if (coverWanted && cover.isEmpty()) {
        ShowErrorBox(QStringLiteral("Impossibile convertire l'immagine di copertina in formato "
                                    "JPEG."));
        return;
    }
    // Cover rows are written when something changed there (always for a new product).
    const bool writeCover = insert || cover != PAN_Input->StoredCover() || !m_image
                            || m_image->IsNew();
    const QString postError = insert ? QStringLiteral("Errore creazione nuovo prodotto (ERR.F03).")
                                     : QStringLiteral("Errore modifica prodotto (ERR.F04).");
    std::vector<TPostStep> after;
    if (writeCover) {
        after.push_back({postError, [this, cover] {
                             if (!m_image || !m_preview)
                                 OpenImageRecords(sLastId);
                             PostCover(cover);
                         }});
    }
    if (!insert) {
        const QString id = sLastId;
        after.push_back({QStringLiteral("Errore aggiornamento prodotto nei preventivi aperti "
                                        "(ERR.F06)."),
                         [id] {
                             RunProcedure(QStringLiteral("EXEC RefreshProdottoInDettagliPrev ")
                                          + SqlText(id) + QStringLiteral(", ") + UserArgument());
                         }});
    }

    PAN_Input->PB_Ok_Input->setEnabled(false);
    PAN_Input->PB_Ok_Input_Segue->setEnabled(false);
    const bool saved = PostRecord(
        postError,
        true,
        [this, insert](TDataSet &record) {
            if (insert)
                record.FieldByName(QStringLiteral("idImage")).SetValue(sLastId);
            PAN_Input->Write(record);
        },
        after);
    PAN_Input->PB_Ok_Input->setEnabled(true);
    PAN_Input->PB_Ok_Input_Segue->setEnabled(true);
    if (!saved) {
        // The cover rows are read again as stored, like the product row.
        try {
            OpenImageRecords(sLastId);
        } catch (const std::exception &) {
            m_image.reset();
            m_preview.reset();
        }
        return;
    }

    const QString id = sLastId;
    if (bFromPreventivi) {
        CloseProductRecords();
        BackToList();
        close();
        return;
    }
    m_image.reset();
    m_preview.reset();
    const TExtractResult result = ExtractWithFilters();
    BackToList();
    if (result == TExtractResult::NotVisible) {
        ShowWarningBox(
            (insert
                 ? QStringLiteral("Il prodotto inserito non è visibile con i filtri applicati.")
                 : QStringLiteral("Il prodotto modificato non è visibile con i filtri applicati."))
            + LineBreaks(2) + QStringLiteral("Cambiare le impostazioni."));
        return;
    }
    if (segueDettaglio && List()->CurrentId().compare(id, Qt::CaseInsensitive) == 0)
        DettagliProdotto();
}

void TGESTIONE_PRODOTTI::PB_Annulla_InputClick()
{
    m_image.reset();
    m_preview.reset();
    BackToList();
}

void TGESTIONE_PRODOTTI::BackToList()
{
    LeaveEditMode();
    if (bFromPreventivi)
        Pane()->FilterPanel()->hide();
}

// --- Repairs --------------------------------------------------------------------------------

void TGESTIONE_PRODOTTI::RepairImages(TImageRepair repair)
{
    if (!SessionInfo().bAdministrator || EditMode() || m_creationFailed)
        return;
    const QString question
        = repair == TImageRepair::LayoutsAndLogos
              ? QStringLiteral("Confermi la trasformazione in JPEG delle immagini dei layout e "
                               "dei loghi delle società ?")
          : repair == TImageRepair::CatalogueCovers
              ? QStringLiteral("Confermi la trasformazione in JPEG delle immagini di copertina "
                               "del catalogo selezionato ?")
              : QStringLiteral("Confermi la trasformazione in JPEG delle immagini dei dettagli e "
                               "di copertina del catalogo selezionato ?");
    if (!AskYesNo(question))
        return;
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    TImageRepairResult result;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        ShowProgress(QStringLiteral("Trasformazione immagini in corso..."));
        result = RepairImagesAsJpeg(*db,
                                    repair,
                                    Filters->DCB_Find_Fornitore->IdFornitore(),
                                    Filters->DCB_Find_Fornitore->NuAnno(),
                                    SessionInfo().sUserName,
                                    [](int done, int total) {
                                        ShowProgress(QStringLiteral("Trasformazione immagini in "
                                                                    "corso... %1 / %2")
                                                         .arg(done)
                                                         .arg(total));
                                    });
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore trasformazione immagini (ERR.F09)."), e);
        return;
    }
    HideListWait();
    QString text = QStringLiteral("Trasformazione completata");
    if (result.unreadable > 0)
        text += LineBreaks(2)
                + QStringLiteral("Immagini non leggibili lasciate come erano: %1.")
                      .arg(FormatNumber(0, result.unreadable));
    ShowInfoBox(text);
    if (repair != TImageRepair::LayoutsAndLogos)
        ExtractWithFilters();
}

// --- Closing --------------------------------------------------------------------------------

void TGESTIONE_PRODOTTI::closeEvent(QCloseEvent *event)
{
    TListWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_image.reset();
    m_preview.reset();
    if (bFromPreventivi && OnClosedFromQuote) {
        // Once: the hook may close other windows.
        const std::function<void()> hook = std::move(OnClosedFromQuote);
        OnClosedFromQuote = nullptr;
        hook();
    }
}
