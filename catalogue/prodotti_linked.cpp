#include "catalogue/prodotti_linked.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/cataloguegridicons.h"
#include "catalogue/catalogueopeners.h"
#include "catalogue/gestione_prodotti.h"
#include "catalogue/linkedgrid.h"
#include "catalogue/productpreview.h"
#include "common/childplacement.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/listdata.h"
#include "masterdata/listpane.h"
#include "masterdata/registrypanel.h"
#include "reports/view_report.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QString::fromLatin1(kProdottiLinkedWindow),
                                       [](QWidget *parent) { return new TPRODOTTI_LINKED(parent); });
// The product list starts the window through this (catalogue/catalogueopeners.h).
const TProdottiLinkedRegistration startRegistration([](QWidget *window,
                                                       const QString &sIdProdottoLista,
                                                       const QString &sDescProdotto,
                                                       bool bDocumentazioneLista,
                                                       bool bCataloghiAttuali) {
    auto *linked = static_cast<TPRODOTTI_LINKED *>(window);
    linked->ShowCatalogues(bCataloghiAttuali);
    linked->Start(sIdProdottoLista, sDescProdotto, bDocumentazioneLista);
});

// Windows colour values (0xBBGGRR).
constexpr quint32 kSideBar = 10579511;
constexpr quint32 kRed = 255;

QCheckBox *MakeCheck(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumSize(120, 28);
    b->setAutoDefault(false);
    return b;
}

TListDefinition CandidateDefinition()
{
    TListDefinition d;
    d.sClassName = QStringLiteral("TPRODOTTI_LINKED");
    d.sKeyField = QStringLiteral("idProdotto");
    d.sExtractError = QStringLiteral("Errore estrazione elenco prodotti (ERR.K05).");
    d.sStatusPrefix = QStringLiteral(" N° prodotti: ");
    d.sEmptyText = QStringLiteral(" Nessun prodotto, accessorio, documentazione. ");
    d.columns = {{QStringLiteral("txProdotto"), QStringLiteral("Prodotto"), 60},
                 {QStringLiteral("dtMod"), QStringLiteral("Modificato il"), 20, true, true},
                 {QStringLiteral("dtIn"), QStringLiteral("Inserito il"), 20, true, true}};
    d.listFields = {QStringLiteral("txProdotto"), QStringLiteral("dtMod"), QStringLiteral("dtIn")};
    d.infoFields = d.listFields;
    d.sInfoTitle = QStringLiteral("Info supplementari prodotto");
    d.menuSideBarColor = kSideBar;
    d.statusText = ProductCounts;
    d.rowColours = [](const TDataSet &ds, int row, TKRTDrawCellArgs &args) {
        ColourProductKind(ds, row, args); // then an inactive product wins
        if (ProductFlagAt(ds, row, QStringLiteral("flProdottoAttivo")) == 0) {
            args.FontColor = KRTColor(kRed);
            args.Font.setBold(true);
        }
    };
    d.developerQueries = ProductDeveloperQueries;
    return d;
}

// The operator, quoted: the last argument of every changing procedure.
QString User()
{
    return SqlText(SessionInfo().sUserName);
}

} // namespace

TPRODOTTI_LINKED::TPRODOTTI_LINKED(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QString::fromLatin1(kProdottiLinkedWindow));
    setWindowTitle(QStringLiteral("Prodotti collegati"));
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyFormatSettings();

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto *split = new QSplitter(Qt::Horizontal, this);
    SPT_Linked = split;
    split->setObjectName(QStringLiteral("SPT_Linked"));
    split->setChildrenCollapsible(false);
    outer->addWidget(split);
    auto *left = new QWidget(split);
    auto *right = new QFrame(split);
    right->setObjectName(QStringLiteral("PAN_Linked"));
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    BuildSearch(left);
    BuildLinked(right);

    // The catalogues; without them the window cannot search.
    try {
        m_catalogues = LoadCatalogues();
        std::unique_ptr<TDataSet> rows = CatalogueFilterRows(*m_catalogues);
        DCB_Find_Fornitore->SetCatalogues(*rows);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati fornitori (ERR.F11)."), e);
        m_creationFailed = true;
        m_pane->List()->SetMenuActionsEnabled(false);
        return;
    }
    DCB_Find_Fornitore->setCurrentIndex(0);
    m_pane->ExtractEmpty(QStringLiteral("EstraiProdottiNotLinked"));
    BindSettings();
}

TPRODOTTI_LINKED::~TPRODOTTI_LINKED() = default;

// --- Building ---------------------------------------------------------------------------------

void TPRODOTTI_LINKED::BuildSearch(QWidget *parent)
{
    auto *column = new QVBoxLayout(parent);
    column->setContentsMargins(0, 0, 0, 0);
    m_pane = new TListPane(parent);
    column->addWidget(m_pane);
    QFrame *filters = m_pane->AddFilterPanel();
    auto *grid = new QGridLayout(filters);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);

    auto *catalogue = new QLabel(QStringLiteral("Cataloghi"), filters);
    catalogue->setObjectName(QStringLiteral("SF_Find_Fornitore"));
    DCB_Find_Fornitore = new TCatalogueCombo(filters);
    DCB_Find_Fornitore->setObjectName(QStringLiteral("DCB_Find_Fornitore"));
    catalogue->setBuddy(DCB_Find_Fornitore);
    EF_Find_DescProdotto = MakeLabelEdit(filters,
                                         QStringLiteral("EF_Find_DescProdotto"),
                                         QStringLiteral("Prodotti e listini"),
                                         200,
                                         ecKRTNormal,
                                         280,
                                         false);
    EF_Find_DescProdotto->setToolTip(
        QStringLiteral("Ricerca (anche parziale) in descrizioni e codici di prodotti e listini"));
    auto *catalogueRow = new QHBoxLayout;
    catalogueRow->addWidget(catalogue);
    catalogueRow->addWidget(DCB_Find_Fornitore, 1);
    grid->addLayout(catalogueRow, 0, 0);
    grid->addWidget(EF_Find_DescProdotto, 1, 0);

    auto *usage = new QVBoxLayout;
    usage->setSpacing(2);
    CK_Find_OrdinaRecenti = MakeCheck(filters,
                                      "CK_Find_OrdinaRecenti",
                                      QStringLiteral("Ordina più recenti"));
    CK_Find_NotUsedInPrev = MakeCheck(filters,
                                      "CK_Find_NotUsedInPrev",
                                      QStringLiteral("Non utilizzati in preventivi"));
    usage->addWidget(CK_Find_OrdinaRecenti);
    usage->addWidget(CK_Find_NotUsedInPrev);
    usage->addStretch(1);
    grid->addLayout(usage, 0, 1, 2, 1);

    auto *kinds = new QVBoxLayout;
    kinds->setSpacing(2);
    CK_Find_Prodotti = MakeCheck(filters, "CK_Find_Prodotti", QStringLiteral("Prodotti"));
    CK_Find_Accessori = MakeCheck(filters, "CK_Find_Accessori", QStringLiteral("Accessori"));
    CK_Find_Documentazioni = MakeCheck(filters,
                                       "CK_Find_Documentazioni",
                                       QStringLiteral("Documentazioni"));
    kinds->addWidget(CK_Find_Prodotti);
    kinds->addWidget(CK_Find_Accessori);
    kinds->addWidget(CK_Find_Documentazioni);
    grid->addLayout(kinds, 0, 2, 2, 1);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    PB_EstraiElenco = MakeButton(filters, "PB_EstraiElenco", QStringLiteral("Estrai elenco"));
    PB_AzzeraFiltri = MakeButton(filters, "PB_AzzeraFiltri", QStringLiteral("Azzera filtri"));
    buttons->addWidget(PB_EstraiElenco);
    buttons->addWidget(PB_AzzeraFiltri);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 3, 2, 1);
    grid->setColumnStretch(0, 1);
    m_pane->SetExtractButton(PB_EstraiElenco);

    DG_Prodotti = m_pane->AddGrid(QStringLiteral("DG_Prodotti"), CandidateDefinition());
    PB_Aggiungi = MakeButton(parent, "PB_Aggiungi", QStringLiteral("Aggiungi ai collegati"));
    m_pane->AddStatusButton(PB_Aggiungi);
    m_pane->CommandText = [this] { return CandidateCommand(); };
    m_pane->SortText = [this] { return CandidateSort(); };
    m_pane->List()->OnBuildMenu = [this](TListData &list) { BuildCandidateMenu(list); };

    connect(PB_EstraiElenco, &QPushButton::clicked, this, &TPRODOTTI_LINKED::PB_EstraiElencoClick);
    connect(PB_AzzeraFiltri, &QPushButton::clicked, this, &TPRODOTTI_LINKED::PB_AzzeraFiltriClick);
    connect(PB_Aggiungi, &QPushButton::clicked, this, &TPRODOTTI_LINKED::PB_AggiungiClick);
    // A click on a filter box only sends the focus to "Estrai elenco".
    for (QCheckBox *box : {CK_Find_OrdinaRecenti,
                           CK_Find_NotUsedInPrev,
                           CK_Find_Prodotti,
                           CK_Find_Accessori,
                           CK_Find_Documentazioni})
        connect(box, &QCheckBox::clicked, this, [this] {
            PB_EstraiElenco->setFocus(Qt::OtherFocusReason);
        });
}

void TPRODOTTI_LINKED::BuildLinked(QWidget *parent)
{
    auto *column = new QVBoxLayout(parent);
    column->setContentsMargins(6, 0, 0, 0);
    PAN_NuLinked = MakePanelTitle(parent);
    PAN_NuLinked->setObjectName(QStringLiteral("PAN_NuLinked"));
    column->addWidget(PAN_NuLinked);
    SG_Linked = new TLinkedGrid(parent);
    SG_Linked->setMinimumWidth(300);
    column->addWidget(SG_Linked, 1);

    auto *flagRow = new QHBoxLayout;
    CK_Accessorio = MakeCheck(parent,
                              "CK_Accessorio",
                              QStringLiteral("Il prodotto è un accessorio"));
    SF_Accessorio = new QLabel(QStringLiteral("(Accessorio)"), parent);
    SF_Accessorio->setObjectName(QStringLiteral("SF_Accessorio"));
    SF_Accessorio->setStyleSheet(QStringLiteral("color: #0000FF; font-weight: bold;"));
    flagRow->addWidget(CK_Accessorio);
    flagRow->addStretch(1);
    flagRow->addWidget(SF_Accessorio);
    column->addLayout(flagRow);

    auto *buttons = new QHBoxLayout;
    PB_Rimuovi = MakeButton(parent, "PB_Rimuovi", QStringLiteral("Rimuovi dai collegati"));
    PB_Stampa = MakeButton(parent, "PB_Stampa", QStringLiteral("Prodotto selezionato"));
    PB_Stampa->setToolTip(QStringLiteral(" Stampa "));
    buttons->addWidget(PB_Rimuovi);
    buttons->addStretch(1);
    buttons->addWidget(PB_Stampa);
    column->addLayout(buttons);

    SG_Linked->OnRowMoved = [this](int from, int to) { MoveLink(from, to); };
    connect(SG_Linked, &QTableWidget::currentCellChanged, this, [this] { ShowCurrentFlag(); });
    connect(SG_Linked, &QTableWidget::cellDoubleClicked, this, [this] { PB_StampaClick(); });
    connect(CK_Accessorio, &QCheckBox::clicked, this, &TPRODOTTI_LINKED::CK_AccessorioClick);
    connect(PB_Rimuovi, &QPushButton::clicked, this, &TPRODOTTI_LINKED::PB_RimuoviClick);
    connect(PB_Stampa, &QPushButton::clicked, this, &TPRODOTTI_LINKED::PB_StampaClick);
}

void TPRODOTTI_LINKED::BindSettings()
{
    TFilterSettings &settings = m_pane->CreateSettings(QStringLiteral("FrmProdLinked_"));
    AddCatalogueChoice(settings, DCB_Find_Fornitore);
    settings.AddText(EF_Find_DescProdotto, QStringLiteral("DescProdotto"));
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    settings.AddFlag(CK_Find_NotUsedInPrev, QStringLiteral("NotUsedInPrev"), true);
    settings.AddFlag(CK_Find_Prodotti, QStringLiteral("EstraiProdotti"), true);
    settings.AddFlag(CK_Find_Accessori, QStringLiteral("EstraiAccessori"), true);
    settings.AddFlag(CK_Find_Documentazioni, QStringLiteral("EstraiDocumentazioni"), true);
}

// --- Start ------------------------------------------------------------------------------------

void TPRODOTTI_LINKED::ShowCatalogues(bool bCataloghiAttuali)
{
    if (m_creationFailed)
        return;
    DCB_Find_Fornitore->ShowPrevious(!bCataloghiAttuali);
}

void TPRODOTTI_LINKED::Start(const QString &sIdProdottoLista,
                             const QString &sDescProdotto,
                             bool bDocumentazioneLista)
{
    setWindowTitle(QStringLiteral("Prodotti collegati a: \"") + sDescProdotto
                   + QStringLiteral("\""));
    if (m_creationFailed)
        return;
    // Without a saved catalogue every filter starts as "Azzera filtri" leaves it.
    if (!m_pane->RestoreFilters(QStringLiteral("KeyFornitore")))
        ResetFilters();
    sIdProdotto = sIdProdottoLista;
    bDocumentazione = bDocumentazioneLista;
    ApplyDocumentationRule();
    try {
        LoadLinked(ExecText(QStringLiteral("EstraiProdottiLinked"), {SqlText(sIdProdotto)}),
                   QString());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura prodotti collegati (ERR.K07)."), e);
    }
}

void TPRODOTTI_LINKED::ApplyDocumentationRule()
{
    // Documentation is linked to documentation only.
    if (bDocumentazione) {
        CK_Find_Prodotti->setChecked(false);
        CK_Find_Accessori->setChecked(false);
        CK_Find_Documentazioni->setChecked(true);
    }
    for (QCheckBox *box : {CK_Find_Prodotti, CK_Find_Accessori, CK_Find_Documentazioni})
        box->setEnabled(!bDocumentazione);
}

TDataSet *TPRODOTTI_LINKED::DST_GRID_Prodotti() const
{
    return m_pane->List()->DataSet();
}

TListData *TPRODOTTI_LINKED::Candidates() const
{
    return m_pane->List();
}

// --- Candidates -------------------------------------------------------------------------------

QString TPRODOTTI_LINKED::CandidateCommand() const
{
    const QString text = EF_Find_DescProdotto->Text();
    const QStringList args{SqlText(sIdProdotto),
                           SqlText(DCB_Find_Fornitore->IdFornitore()),
                           SqlInteger(DCB_Find_Fornitore->NuAnno()),
                           text.trimmed().isEmpty() ? QStringLiteral("null") : SqlText(text),
                           SqlFlag(CK_Find_NotUsedInPrev->isChecked()),
                           SqlFlag(CK_Find_Prodotti->isChecked()),
                           SqlFlag(CK_Find_Accessori->isChecked()),
                           SqlFlag(CK_Find_Documentazioni->isChecked())};
    return QStringLiteral("EXEC EstraiProdottiNotLinked  1, ") + args.join(QStringLiteral(", "));
}

QString TPRODOTTI_LINKED::CandidateSort() const
{
    return CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtMod DESC, dtIn DESC")
                                              : QStringLiteral("txDescProdotto");
}

void TPRODOTTI_LINKED::PB_EstraiElencoClick()
{
    if (m_creationFailed || m_pane->Busy() || sIdProdotto.isEmpty())
        return;
    const QString text = EF_Find_DescProdotto->Text();
    const QString collapsed = CollapseSpaces(text);
    if (collapsed != text)
        EF_Find_DescProdotto->SetText(collapsed);
    m_pane->ExtractWithFilters();
    FocusField(DG_Prodotti);
}

void TPRODOTTI_LINKED::PB_AzzeraFiltriClick()
{
    ResetFilters();
    EF_Find_DescProdotto->SetFocus();
}

void TPRODOTTI_LINKED::ResetFilters()
{
    DCB_Find_Fornitore->setCurrentIndex(0);
    EF_Find_DescProdotto->ClearField();
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_NotUsedInPrev->setChecked(false);
    // All three kinds, a documentation product too (its boxes stay disabled).
    CK_Find_Prodotti->setChecked(true);
    CK_Find_Accessori->setChecked(true);
    CK_Find_Documentazioni->setChecked(true);
}

void TPRODOTTI_LINKED::BuildCandidateMenu(TListData &list)
{
    if (!list.HasRows())
        return;
    TListMenuStyle link;
    link.bold = true;
    link.image = CatalogueGridIcon(giCollegati);
    list.AddMenuItem(
        QStringLiteral("Collega prodotto selezionato"), [this] { PB_AggiungiClick(); }, link);
    list.AddMenuSeparator();
    TListMenuStyle preview;
    preview.bold = true;
    preview.image = CatalogueGridIcon(giDettagli);
    list.AddMenuItem(
        QStringLiteral("Anteprima stampa prodotto"),
        [this] { PreviewProduct(m_pane->List()->CurrentId()); },
        preview);
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}

// --- Links ------------------------------------------------------------------------------------

void TPRODOTTI_LINKED::LoadLinked(const QString &commandText, const QString &selectId)
{
    ShowListWait();
    m_reloading = true;
    const auto done = qScopeGuard([this] {
        m_reloading = false;
        HideListWait();
    });
    std::unique_ptr<TDataSet> rows = TSTD_DBMODULE::Instance()->Query(commandText);
    std::vector<TLinkedGrid::TLink> links;
    int firstRead = 0;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        TLinkedGrid::TLink link;
        link.iPosition = rows->FieldByName(QStringLiteral("nuOrdineCollegamento")).AsInteger();
        link.sIdProdotto = rows->FieldByName(QStringLiteral("idProdotto")).AsString();
        link.bAccessorio = rows->FieldByName(QStringLiteral("flAccessorio")).AsInteger() != 0;
        link.sTxProdotto = rows->FieldByName(QStringLiteral("txProdotto")).AsString();
        if (firstRead == 0)
            firstRead = link.iPosition;
        links.push_back(link);
    }
    PAN_NuLinked->setText(QStringLiteral("N° prodotti collegati: ")
                          + FormatNumber(0, double(links.size())));
    SG_Linked->SetLinks(links);
    if (!links.empty()) {
        int position = firstRead;
        if (!selectId.isEmpty())
            position = qMax(1, SG_Linked->PositionOf(selectId));
        SG_Linked->SetCurrentPosition(position);
    }
    CK_Accessorio->setVisible(!links.empty());
    ShowCurrentFlag();
    SG_Linked->viewport()->update();
    if (isVisible())
        SG_Linked->setFocus(Qt::OtherFocusReason);
}

void TPRODOTTI_LINKED::ShowCurrentFlag()
{
    const bool previous = m_reloading;
    m_reloading = true;
    const TVRLLinkedProd *link = SG_Linked->CurrentLink();
    CK_Accessorio->setChecked(link && link->bAccessorio);
    m_reloading = previous;
}

void TPRODOTTI_LINKED::ReadLinksAgain(const QString &selectId)
{
    // After a refused change (another operator changed the links meanwhile, for one) the
    // window shows the links as they are stored.
    try {
        LoadLinked(ExecText(QStringLiteral("EstraiProdottiLinked"), {SqlText(sIdProdotto)}),
                   selectId);
    } catch (const std::exception &) {
        // The refusal was reported; the rows shown stay.
    }
}

void TPRODOTTI_LINKED::PB_AggiungiClick()
{
    if (m_creationFailed || !m_pane->List()->HasRows() || sIdProdotto.isEmpty())
        return;
    const QString candidate = m_pane->List()->CurrentId();
    try {
        LoadLinked(ExecText(QStringLiteral("AddProdottoLinked"),
                            {SqlText(sIdProdotto), SqlText(candidate), User()}),
                   candidate);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore aggiunta prodotto collegato (ERR.K04)."), e);
        ReadLinksAgain(QString());
        return;
    }
    bChanges = true;
    PB_EstraiElencoClick();
}

void TPRODOTTI_LINKED::PB_RimuoviClick()
{
    TVRLLinkedProd *link = SG_Linked->CurrentLink();
    if (!link)
        return;
    const int position = SG_Linked->CurrentPosition();
    const QString id = link->sIdProdotto;
    try {
        LoadLinked(ExecText(QStringLiteral("DelProdottoLinked"),
                            {SqlText(sIdProdotto), SqlText(id), SqlInteger(position), User()}),
                   QString());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore rimozione prodotto collegato (ERR.K02)."), e);
        ReadLinksAgain(id);
        return;
    }
    // The same row stays current while it exists; after the last one the first link.
    if (position <= SG_Linked->LinkCount())
        SG_Linked->SetCurrentPosition(position);
    ShowCurrentFlag();
    bChanges = true;
    PB_EstraiElencoClick();
}

void TPRODOTTI_LINKED::MoveLink(int from, int to)
{
    const TVRLLinkedProd *link = SG_Linked->Link(from);
    if (!link || from == to || to < 1 || to > SG_Linked->LinkCount())
        return;
    const QString id = link->sIdProdotto;
    try {
        LoadLinked(ExecText(QStringLiteral("MoveProdottoLinked"),
                            {SqlText(sIdProdotto),
                             SqlText(id),
                             SqlInteger(from),
                             SqlInteger(to),
                             User()}),
                   id);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore spostamento prodotto collegato (ERR.K03)."), e);
        ReadLinksAgain(id);
    }
}

void TPRODOTTI_LINKED::CK_AccessorioClick()
{
    if (m_reloading)
        return;
    TVRLLinkedProd *link = SG_Linked->CurrentLink();
    if (!link) {
        CK_Accessorio->setChecked(false);
        SG_Linked->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool accessory = CK_Accessorio->isChecked();
    const bool before = link->bAccessorio;
    const QString id = link->sIdProdotto;
    link->bAccessorio = accessory;
    try {
        LoadLinked(ExecText(QStringLiteral("UpdateProdottoLinked"),
                            {SqlText(sIdProdotto), SqlText(id), SqlFlag(accessory), User()}),
                   id);
    } catch (const std::exception &e) {
        link->bAccessorio = before;
        ShowCurrentFlag();
        ShowDbError(QStringLiteral("Errore ")
                        + (accessory ? QStringLiteral("impostazione come accessorio del")
                                     : QStringLiteral("impostazione come non accessorio del"))
                        + QStringLiteral(" prodotto collegato (ERR.K01)."),
                    e);
        ReadLinksAgain(id);
    }
    SG_Linked->setFocus(Qt::OtherFocusReason);
}

void TPRODOTTI_LINKED::PB_StampaClick()
{
    if (const TVRLLinkedProd *link = SG_Linked->CurrentLink())
        PreviewProduct(link->sIdProdotto);
}

TVIEW_REPORT *TPRODOTTI_LINKED::PreviewProduct(const QString &sIdProdottoPreview)
{
    if (sIdProdottoPreview.isEmpty())
        return nullptr;
    return PrintProductPreview(sIdProdottoPreview,
                               QStringLiteral("Errore lettura dati per anteprima prodotto "
                                              "(ERR.K06)."));
}

// --- Window -----------------------------------------------------------------------------------

void TPRODOTTI_LINKED::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    PlaceFirstTime();
    // The search takes three fifths of the width, the links the rest.
    const int total = SPT_Linked->width();
    SPT_Linked->setSizes({RoundToInt(total * 0.6), total - RoundToInt(total * 0.6)});
    EF_Find_DescProdotto->SetFocus();
}

void TPRODOTTI_LINKED::PlaceFirstTime()
{
    QWidget *frame = this;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame = sub;
    const TChildArea area = ChildFreeArea(this);
    if (!area.main)
        return; // a window of its own keeps the size it was given
    const QSize free = area.free;
    // The design size is the smallest the window gets.
    frame->setMinimumSize(frame->sizeHint().boundedTo(free));
    frame->resize(RoundToInt(free.width() * 0.9), RoundToInt(free.height() * 0.95));
    CenterInMainArea(this, area.main, area.launcher, area.debug);
}

void TPRODOTTI_LINKED::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (bChanges) {
        Q_EMIT LinksChanged(sIdProdotto);
        // The product list shows whether a product has links: it re-extracts and reselects.
        ProductListReselect(this, sIdProdotto);
    }
}
