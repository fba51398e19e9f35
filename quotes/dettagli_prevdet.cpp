#include "quotes/dettagli_prevdet.h"

#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtree.h"
#include "catalogue/productpreview.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/childplacement.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "db/editablerecordset.h"
#include "domain/nodeimages.h"
#include "masterdata/listdata.h"
#include "reports/krtcrystalreport.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QUuid>
#include <QVBoxLayout>

namespace {

const char *const kClassName = "TDETTAGLI_PREVDET";
const char *const kKeyPreviewProd = "FrmDettPrevDet_PreviewProd";
const char *const kKeyPreviewShowIcons = "FrmDettPrevDet_PreviewShowIcons";

// The line's captions that differ from the product's.
QString LineNodeCaption(const TVRLDettProd &node, const TDettProdCaptionRow &row)
{
    switch (node.xTipoNode) {
    case cnVoceScheda:
        return QString::number(node.iNuOrderD) + QStringLiteral(". Voce: \"") + row.sDesc
               + QStringLiteral("\"  -->  Valore: \"") + row.sDescB + QLatin1Char('"');
    case cnComponente:
        return QString::number(node.iNuOrderA) + QStringLiteral(". ")
               + (row.sDesc.isEmpty() ? QStringLiteral("(paragrafo senza descrizione)") : row.sDesc);
    case cnParteImmagine:
        return QString::number(node.iNuOrderC) + QStringLiteral(". ")
               + (row.sDesc.isEmpty() ? QStringLiteral("(senza didascalia)") : row.sDesc);
    default:
        return ProductNodeCaption(node, row);
    }
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QFrame *Panel(QWidget *parent, const char *name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::StyledPanel);
    f->setAutoFillBackground(true);
    return f;
}

QString UserArg()
{
    return SqlText(SessionInfo().sUserName);
}

} // namespace

TDETTAGLI_PREVDET::TDETTAGLI_PREVDET(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("DETTAGLI_PREVDET"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Dettagli del prodotto"));
    auto *outer = new QVBoxLayout(this);
    auto *split = new QSplitter(Qt::Horizontal, this);
    SPT_Preview = split;
    PAN_Preview = new TDettProdPreviewPane(split);
    PAN_Preview->setObjectName(QStringLiteral("PAN_Preview"));
    PAN_Preview->SetZoomItems({QStringLiteral("Larghezza pagina"), QStringLiteral("Pagina intera")});
    TV_Dettagli = new TDettProdTree(split);
    TV_Dettagli->setObjectName(QStringLiteral("TV_Dettagli"));
    TV_Dettagli->SetCaptionRule(&LineNodeCaption);
    TV_Dettagli->setContextMenuPolicy(Qt::CustomContextMenu);
    split->addWidget(PAN_Preview);
    split->addWidget(TV_Dettagli);
    outer->addWidget(split, 1);
    connect(TV_Dettagli,
            &QWidget::customContextMenuRequested,
            this,
            &TDETTAGLI_PREVDET::TreeContextMenu);
    connect(TV_Dettagli,
            &TDettProdTree::CurrentNodeChanged,
            this,
            &TDETTAGLI_PREVDET::TreeSelectionChanged);
    connect(TV_Dettagli, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        TV_Dettagli->ToggleByDoubleClick(item);
    });

    PAN_Status = new QFrame(this);
    PAN_Status->setObjectName(QStringLiteral("PAN_Status"));
    auto *sl = new QHBoxLayout(PAN_Status);
    CK_PreviewProd = new QCheckBox(QStringLiteral("Anteprima prodotto"), PAN_Status);
    CK_PreviewProd->setObjectName(QStringLiteral("CK_PreviewProd"));
    CK_PreviewShowIcons = new QCheckBox(QStringLiteral("Mostra icone "), PAN_Status);
    CK_PreviewShowIcons->setObjectName(QStringLiteral("CK_PreviewShowIcons"));
    PB_Tree_MostraTutto = Button(PAN_Status, "PB_Tree_MostraTutto", QStringLiteral("Mostra tutto"));
    auto *closeSheets = Button(PAN_Status, "PB_Tree_ChiudiSchede", QStringLiteral("Chiudi schede"));
    auto *closeComps = Button(PAN_Status,
                              "PB_Tree_ChiudiComponenti",
                              QStringLiteral("Chiudi paragrafi"));
    auto *closeParts = Button(PAN_Status,
                              "PB_Tree_ChiudiParti",
                              QStringLiteral("Chiudi sottoparagrafi"));
    sl->addWidget(CK_PreviewProd);
    sl->addWidget(CK_PreviewShowIcons);
    sl->addStretch();
    for (QPushButton *b : {PB_Tree_MostraTutto, closeSheets, closeComps, closeParts})
        sl->addWidget(b);
    outer->addWidget(PAN_Status);
    connect(PB_Tree_MostraTutto, &QPushButton::clicked, this, [this] { TV_Dettagli->ShowAll(); });
    connect(closeSheets, &QPushButton::clicked, this, [this] {
        TV_Dettagli->CollapseKind(cnScheda);
    });
    connect(closeComps, &QPushButton::clicked, this, [this] {
        TV_Dettagli->CollapseKind(cnComponente);
    });
    connect(closeParts, &QPushButton::clicked, this, [this] { TV_Dettagli->CollapseKind(cnParte); });
    connect(CK_PreviewProd, &QCheckBox::toggled, this, [this] { PreviewOptionChanged(); });
    connect(CK_PreviewShowIcons, &QCheckBox::toggled, this, [this] { PreviewOptionChanged(); });

    TKRTPopupLook look;
    look.sideBarColor = QColor(0x37, 0x6E, 0xA1);
    look.sideBarColorTo = look.sideBarColor;
    look.sideBarFontColor = Qt::white;
    look.sideBarCaption = QStringLiteral("Funzioni");
    PMNU_Funzioni_Tree = new TKRTPopupMenu(look, true, this);
    PMNU_Funzioni_Tree->setObjectName(QStringLiteral("PMNU_Funzioni_Tree"));
    connect(AddMenuAction("MNU_AbilitaDisabilitaNodo", QStringLiteral("Disabilita")),
            &QAction::triggered,
            this,
            [this] { EnableDisableNode(); });
    connect(AddMenuAction("MNU_ModificaScheda", QStringLiteral("Modifica i valori della scheda")),
            &QAction::triggered,
            this,
            [this] { OpenSheetEditor(); });
    connect(AddMenuAction("MNU_ModificaQta", QStringLiteral("Modifica la quantità")),
            &QAction::triggered,
            this,
            [this] { OpenPartEditor(); });
    QAction *copy = AddMenuAction("MNU_CopiaId", QStringLiteral("Copia Id in Clipboard"));
    copy->setProperty(TKRTPopupMenu::kFontColor, QColor(Qt::red));
    connect(copy, &QAction::triggered, this, [this] { CopyId(); });

    // The data-sheet value panel.
    PAN_DatiScheda = Panel(this, "PAN_DatiScheda");
    auto *dl = new QVBoxLayout(PAN_DatiScheda);
    PAN_DescScheda = new QLabel(PAN_DatiScheda);
    PAN_DescScheda->setObjectName(QStringLiteral("PAN_DescScheda"));
    dl->addWidget(PAN_DescScheda);
    SG_Scheda = new TSheetValueGrid(PAN_DatiScheda);
    SG_Scheda->setObjectName(QStringLiteral("SG_Scheda"));
    dl->addWidget(SG_Scheda, 1);
    auto *db = new QHBoxLayout;
    PB_PulisciRiga = Button(PAN_DatiScheda, "PB_PulisciRiga", QStringLiteral("Pulisci Valore"));
    PB_Ok_Input_Schede = Button(PAN_DatiScheda, "PB_Ok_Input_Schede", QStringLiteral("Ok"));
    PB_Annulla_Input_Schede = Button(PAN_DatiScheda,
                                     "PB_Annulla_Input_Schede",
                                     QStringLiteral("Annulla"));
    db->addWidget(PB_PulisciRiga);
    db->addStretch();
    db->addWidget(PB_Ok_Input_Schede);
    db->addWidget(PB_Annulla_Input_Schede);
    dl->addLayout(db);
    PAN_DatiScheda->resize(700, 450);
    PAN_DatiScheda->hide();
    connect(PB_PulisciRiga, &QPushButton::clicked, this, [this] { SG_Scheda->ClearCurrentValue(); });
    connect(PB_Ok_Input_Schede, &QPushButton::clicked, this, [this] { ConfirmSheet(); });
    connect(PB_Annulla_Input_Schede, &QPushButton::clicked, this, [this] { CancelSheet(); });

    // The sub-paragraph panel.
    PAN_Input_Parte = Panel(this, "PAN_Input_Parte");
    auto *pl = new QVBoxLayout(PAN_Input_Parte);
    EF_DescParteNodo = new TKRTLabelEdit(QStringLiteral("EF_DescParteNodo"),
                                         QStringLiteral("Descrizione sottoparagrafo"),
                                         PAN_Input_Parte);
    EF_DescParteNodo->SetCaptionPosition(cpKRTAbove);
    EF_DescParteNodo->SetMaxLength(200);
    EF_NuQtaParteNodo = new TKRTLabelEdit(QStringLiteral("EF_NuQtaParteNodo"),
                                          QStringLiteral("Quantità"),
                                          PAN_Input_Parte);
    EF_NuQtaParteNodo->SetCaptionPosition(cpKRTAbove);
    EF_NuQtaParteNodo->SetMaxLength(9);
    pl->addWidget(EF_DescParteNodo);
    pl->addWidget(EF_NuQtaParteNodo);
    auto *pb = new QHBoxLayout;
    PB_InputQta_Ok = Button(PAN_Input_Parte, "PB_InputQta_Ok", QStringLiteral("Ok"));
    PB_InputQta_Annulla = Button(PAN_Input_Parte, "PB_InputQta_Annulla", QStringLiteral("Annulla"));
    pb->addStretch();
    pb->addWidget(PB_InputQta_Ok);
    pb->addWidget(PB_InputQta_Annulla);
    pl->addLayout(pb);
    PAN_Input_Parte->resize(600, 160);
    PAN_Input_Parte->hide();
    connect(PB_InputQta_Ok, &QPushButton::clicked, this, [this] { ConfirmPart(); });
    connect(PB_InputQta_Annulla, &QPushButton::clicked, this, [this] { CancelPart(); });
    resize(1300, 850);
}

TDETTAGLI_PREVDET::~TDETTAGLI_PREVDET()
{
    TV_Dettagli->DetachRows();
}

void TDETTAGLI_PREVDET::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    // Inside the main window the window takes most of its free area; a window of its own keeps
    // the size it was given. The preview takes half of the width either way.
    if (MdiAreaOf(this))
        PlaceChildFirstTime(this, 0.9, 0.95, 0.7);
    const int total = SPT_Preview->width() > 0 ? SPT_Preview->width() : width();
    SPT_Preview->setSizes({total / 2, total - total / 2});
}

QAction *TDETTAGLI_PREVDET::AddMenuAction(const char *name, const QString &caption)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setProperty(TKRTPopupMenu::kUserItem, true);
    action->setProperty(TKRTPopupMenu::kFontColor, QColor(Qt::black));
    PMNU_Funzioni_Tree->addAction(action);
    m_actions.insert(action->objectName(), action);
    return action;
}

QAction *TDETTAGLI_PREVDET::MenuAction(const QString &name) const
{
    return m_actions.value(name);
}

// --- Start and loading ------------------------------------------------------------------------

void TDETTAGLI_PREVDET::Start(const QString &sIdDetLista,
                              const QString &sidProdListinoLista,
                              bool bAttivo,
                              const QString &sDescProdottoLista,
                              const QString &sCodProdottoLista)
{
    sIdPreventivoDet = sIdDetLista;
    sidProdListino = sidProdListinoLista;
    bProdottoAttivo = bAttivo;
    sDescProdotto = sDescProdottoLista;
    sCodProdotto = sCodProdottoLista;
    setWindowTitle(QStringLiteral("Dettagli del prodotto: \"") + sDescProdotto + QLatin1Char('"'));
    LoadPreviewSettings();
    PrepareRecordsets(LoadCommand());
    BuildTree(QString());
    PreviewReport();
}

QString TDETTAGLI_PREVDET::LoadCommand() const
{
    return ExecText(QStringLiteral("EstraiAllDettagliProdotto"),
                    {SqlText(sIdPreventivoDet),
                     QStringLiteral("1"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("1")});
}

bool TDETTAGLI_PREVDET::PrepareRecordsets(const QString &commandText)
{
    if (SessionInfo().bAdministrator && SessionInfo().iDebugPaneHeight > 0)
        AppendDebugLine(QLatin1String(kClassName) + QStringLiteral(".PrepareRecordsets: sSql: ")
                        + commandText);
    const QDateTime start = QDateTime::currentDateTime();
    std::unique_ptr<TDataSet> tree, report;
    try {
        auto sets = TSTD_DBMODULE::Instance()->QueryMulti(commandText);
        if (sets.size() < 2)
            throw EDatabaseError(
                QStringLiteral("La funzione ha dato %1 insiemi di righe invece di 2.")
                    .arg(sets.size()));
        CreateMemoryCopy(report, *sets[1], true);
        CopyAllRecords(*sets[1], *report);
        CreateMemoryCopy(tree, *sets[0], true);
        CopyAllRecords(*sets[0], *tree);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati per anteprima prodotto (ERR.B04)."), e);
        return false;
    }
    // A failed reload leaves the tree as it was built last; a good one replaces the rows.
    TV_Dettagli->DetachRows();
    DST_RPT_Dettagli = std::move(report);
    DST_TREE_Dettagli = std::move(tree);
    DST_TREE_Dettagli->SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    DST_TREE_Dettagli->First();
    AppendDebugTiming(QLatin1String(kClassName),
                      QStringLiteral("PrepareRecordsets"),
                      start,
                      QDateTime::currentDateTime());
    return true;
}

void TDETTAGLI_PREVDET::BuildTree(const QString &sIdToSelect)
{
    oCurrentDettProd = nullptr;
    if (!DST_TREE_Dettagli)
        return;
    const TDettProdRoot root{sIdPreventivoDet,
                             bProdottoAttivo,
                             ProductRootCaption(sDescProdotto, sCodProdotto)};
    TV_Dettagli->BuildTree(DST_TREE_Dettagli.get(), root, sIdToSelect);
    // Sub-paragraphs carry the line's quantity.
    TDataSet &rows = *DST_TREE_Dettagli;
    const int idCol = rows.FieldIndex(QStringLiteral("idNodo"));
    const int qCol = rows.FieldIndex(QStringLiteral("nuQuantita"));
    if (idCol < 0 || qCol < 0)
        return;
    QHash<QString, int> quantity;
    for (int r = 0; r < rows.RecordCount(); ++r)
        if (!rows.IsNullAt(r, qCol) && rows.ValueAt(r, qCol).toInt() > 0)
            quantity.insert(rows.ValueAt(r, idCol).toString(), rows.ValueAt(r, qCol).toInt());
    for (TDettProdTreeItem *item : TV_Dettagli->Items())
        if (item->Node()->xTipoNode == cnParte)
            item->Node()->iNuQuantita = quantity.value(item->Node()->sIdNodo, 0);
}

// --- Preview ----------------------------------------------------------------------------------

void TDETTAGLI_PREVDET::LoadPreviewSettings()
{
    m_loadingSettings = true;
    auto on = [](const char *key) {
        const QString v = IniReadText(QStringLiteral("SETTINGS"),
                                      QLatin1String(key),
                                      QLatin1String(kIniAbsent),
                                      SessionInfo().sUserSettingsFile);
        return v == QLatin1String(kIniAbsent) || v == QLatin1String("SI");
    };
    CK_PreviewProd->setChecked(on(kKeyPreviewProd));
    CK_PreviewShowIcons->setChecked(on(kKeyPreviewShowIcons));
    PAN_Preview->setVisible(CK_PreviewProd->isChecked());
    m_loadingSettings = false;
}

void TDETTAGLI_PREVDET::SavePreviewSettings()
{
    auto yes = [](bool on) { return on ? QStringLiteral("SI") : QStringLiteral("NO"); };
    IniWriteText(QStringLiteral("SETTINGS"),
                 QLatin1String(kKeyPreviewProd),
                 yes(CK_PreviewProd->isChecked()),
                 SessionInfo().sUserSettingsFile);
    IniWriteText(QStringLiteral("SETTINGS"),
                 QLatin1String(kKeyPreviewShowIcons),
                 yes(CK_PreviewShowIcons->isChecked()),
                 SessionInfo().sUserSettingsFile);
}

void TDETTAGLI_PREVDET::PreviewOptionChanged()
{
    if (m_loadingSettings)
        return;
    SavePreviewSettings();
    PAN_Preview->setVisible(CK_PreviewProd->isChecked());
    PreviewReport();
}

void TDETTAGLI_PREVDET::PreviewReport()
{
    if (!CK_PreviewProd->isChecked() || !DST_TREE_Dettagli || !DST_RPT_Dettagli) {
        PAN_Preview->DestroyViewer();
        return;
    }
    const QDateTime start = QDateTime::currentDateTime();
    PAN_Status->setEnabled(false);
    TV_Dettagli->setEnabled(false);
    bool built = false;
    QString failure;
    try {
        // Node images are fitted to the report's boxes; covers are not part of a line preview.
        FitNodeImagesForReport(nullptr, *DST_TREE_Dettagli, false);
        const QString file = ExeFolderPath(QStringLiteral("Reports/FindSezione_")
                                           + QUuid::createUuid()
                                                 .toString(QUuid::WithoutBraces)
                                                 .replace(QLatin1Char('-'), QLatin1Char('_'))
                                           + QStringLiteral(".rtf"));
        TDataSet &preview = *DST_RPT_Dettagli;
        TDataSet &tree = *DST_TREE_Dettagli;
        const bool icons = CK_PreviewShowIcons->isChecked();
        built = PAN_Preview->Build(
            [&](TKRTCrystalReport &engine) {
                BindProductDetailPreview(engine, preview, tree, icons);
            },
            file,
            sLastId);
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
    }
    PAN_Status->setEnabled(true);
    TV_Dettagli->setEnabled(true);
    if (!built) {
        ShowWarningBox(QStringLiteral("Preparazione anteprima non riuscita, sarà disabilitata. "
                                      "Riabilitare per riprovare..."));
        CK_PreviewProd->setChecked(false);
        return;
    }
    ++iPreviewBuilds;
    PAN_Preview->SetZoomIndex(1);
    PAN_Preview->AssignPreviewPages(TV_Dettagli);
    if (SessionInfo().bAdministrator && SessionInfo().iDebugPaneHeight > 0)
        AppendDebugLine(DebugTimingLine(QStringLiteral("TDETTAGLI_PRODOTTO"),
                                        QStringLiteral("PreviewReportProdottoEx"),
                                        start,
                                        QDateTime::currentDateTime()));
}

void TDETTAGLI_PREVDET::TreeSelectionChanged(TVRLDettProd *node)
{
    if (CK_PreviewProd->isChecked())
        PAN_Preview->FollowNode(node);
}

// --- Menu and node operations -------------------------------------------------------------

bool TDETTAGLI_PREVDET::PrepareTreeMenu(TVRLDettProd *node)
{
    if (!node) {
        ShowErrorBox(QStringLiteral("Errore selezione nodo."));
        return false;
    }
    oCurrentDettProd = node;
    TV_Dettagli->SelectNode(node->sIdNodo);
    oCurrentDettProd = TV_Dettagli->CurrentNode() ? TV_Dettagli->CurrentNode() : node;
    const TCurrentNodeTipologia k = oCurrentDettProd->xTipoNode;
    const bool root = k == cnProdotto;
    QAction *enable = MenuAction(QStringLiteral("MNU_AbilitaDisabilitaNodo"));
    enable->setVisible(!root);
    enable->setText(
        (oCurrentDettProd->bAttivo ? QStringLiteral("Disabilita ") : QStringLiteral("Abilita "))
        + NodeKindObject(k));
    MenuAction(QStringLiteral("MNU_ModificaScheda"))->setVisible(k == cnScheda || k == cnVoceScheda);
    MenuAction(QStringLiteral("MNU_ModificaQta"))->setVisible(k == cnParte);
    MenuAction(QStringLiteral("MNU_CopiaId"))
        ->setVisible(SessionInfo().bAdministrator
                     && (k == cnComponente || k == cnParte || k == cnParteImmagine));
    return true;
}

void TDETTAGLI_PREVDET::TreeContextMenu(const QPoint &pos)
{
    QTreeWidgetItem *item = TV_Dettagli->itemAt(pos);
    if (!item || !PrepareTreeMenu(TDettProdTree::NodeOf(item)))
        return;
    bool any = false;
    for (QAction *a : PMNU_Funzioni_Tree->actions())
        any = any || a->isVisible();
    if (!any)
        return;
    PMNU_Funzioni_Tree->MeasureSideBar();
    PMNU_Funzioni_Tree->popup(TV_Dettagli->viewport()->mapToGlobal(pos));
}

void TDETTAGLI_PREVDET::EnableDisableNode()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode == cnProdotto)
        return;
    const TVRLDettProd node = *oCurrentDettProd;
    sLastId = node.sIdNodo;
    const QString command = ExecText(QStringLiteral("ChangeStateNodo"),
                                     {SqlText(sIdPreventivoDet),
                                      QStringLiteral("1"),
                                      SqlText(node.sIdNodo),
                                      SqlInteger(node.iNuTipologia),
                                      QStringLiteral("1"),
                                      UserArg()});
    std::vector<std::unique_ptr<TDataSet>> sets;
    try {
        sets = TSTD_DBMODULE::Instance()->QueryMulti(command);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore ")
                        + (node.bAttivo ? QStringLiteral("disattivazione")
                                        : QStringLiteral("attivazione"))
                        + QStringLiteral(" (ERR.B01)."),
                    e);
        return;
    }
    // The function answered the rows after the change: they replace the ones shown.
    std::unique_ptr<TDataSet> tree, report;
    if (sets.size() >= 2) {
        CreateMemoryCopy(report, *sets[1], true);
        CopyAllRecords(*sets[1], *report);
        CreateMemoryCopy(tree, *sets[0], true);
        CopyAllRecords(*sets[0], *tree);
        TV_Dettagli->DetachRows();
        DST_RPT_Dettagli = std::move(report);
        DST_TREE_Dettagli = std::move(tree);
        DST_TREE_Dettagli->SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    }
    bChanges = true;
    BuildTree(node.sIdNodo);
    PreviewReport();
}

void TDETTAGLI_PREVDET::SetBrowsing(bool on)
{
    TV_Dettagli->setEnabled(on);
    PAN_Preview->setEnabled(on);
    PAN_Status->setEnabled(on);
}

void TDETTAGLI_PREVDET::OpenSheetEditor()
{
    if (!oCurrentDettProd)
        return;
    const bool item = oCurrentDettProd->xTipoNode == cnVoceScheda;
    if (!item && oCurrentDettProd->xTipoNode != cnScheda)
        return;
    sIdCurrentScheda = item ? oCurrentDettProd->sIdParent : oCurrentDettProd->sIdNodo;
    sLastId = sIdCurrentScheda;
    std::unique_ptr<TDataSet> rows;
    try {
        auto result = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("EstraiPrevDetSchedaValori"),
                     {SqlText(sIdPreventivoDet), SqlText(sIdCurrentScheda)}));
        CreateMemoryCopy(rows, *result, true);
        CopyAllRecords(*result, *rows);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura valori della scheda (ERR.B05)."), e);
        return;
    }
    rows->SetSort(QStringLiteral("nuOrdineVoceScheda"));
    std::vector<TSheetValueGrid::TItem> items;
    for (rows->First(); !rows->Eof(); rows->Next())
        items.push_back({rows->FieldByName(QStringLiteral("idVoceScheda")).AsString(),
                         rows->FieldByName(QStringLiteral("txDescVoceScheda")).AsString(),
                         rows->FieldByName(QStringLiteral("txValoreVoceScheda")).AsString()});
    DST_Scheda_Valori = std::move(rows);
    TDettProdTreeItem *sheet = TV_Dettagli->FindTreeNode(sIdCurrentScheda);
    PAN_DescScheda->setText(sheet ? sheet->text(0) : QString());
    SG_Scheda->SetItems(items);
    SG_Scheda->SetEditing(true);
    bChanges = false;
    SetBrowsing(false);
    PAN_DatiScheda->show();
    PAN_DatiScheda->raise();
    CenterPanelInForm(PAN_DatiScheda, this);
    if (!items.empty())
        SG_Scheda->StartAt(0);
}

void TDETTAGLI_PREVDET::ConfirmSheet()
{
    SG_Scheda->CommitEditor();
    TEditableRecordSet values(TSTD_DBMODULE::Instance(),
                              QStringLiteral("PrevDet_Scheda_Valori"),
                              QStringLiteral("idRigaValore"));
    bool changed = false;
    try {
        values.Open(ExecText(QStringLiteral("DatiPrevDetSchedaValori"),
                             {SqlText(sIdPreventivoDet), SqlText(sIdCurrentScheda)}));
        TDataSet &d = values.Data();
        for (int r = 0; r < SG_Scheda->ItemCount(); ++r) {
            const TVRLVoceScheda *handle = SG_Scheda->VoceScheda(r);
            if (!handle
                || !d.Locate(QStringLiteral("idVoceScheda"),
                             handle->sIdVoceScheda,
                             loCaseInsensitive))
                continue;
            const QString value = SG_Scheda->Value(r).trimmed();
            if (d.FieldByName(QStringLiteral("txValoreVoceScheda")).AsString() == value)
                continue;
            changed = true;
            d.Edit();
            d.FieldByName(QStringLiteral("txValoreVoceScheda"))
                .SetValue(value.isEmpty() ? QVariant() : QVariant(value));
            d.Post();
        }
        // Written in one transaction, only when something changed.
        if (changed)
            values.Post(SessionInfo().sUserName);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore aggiornamento voce scheda (ERR.B02)."), e);
        return;
    }
    bChanges = bChanges || changed;
    CancelSheet();
    if (changed && PrepareRecordsets(LoadCommand()))
        BuildTree(sIdCurrentScheda);
}

void TDETTAGLI_PREVDET::CancelSheet()
{
    SG_Scheda->SetEditing(false);
    SG_Scheda->SetItems({});
    DST_Scheda_Valori.reset();
    PAN_DatiScheda->hide();
    SetBrowsing(true);
    TV_Dettagli->setFocus();
}

void TDETTAGLI_PREVDET::OpenPartEditor()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode != cnParte)
        return;
    sLastId = sIdPreventivoDet;
    try {
        auto row = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("DatiPrevDetParteComp"),
                     {SqlText(sIdPreventivoDet), SqlText(oCurrentDettProd->sIdNodo)}));
        EF_DescParteNodo->SetText(row->FieldByName(QStringLiteral("txDescParteComp")).AsString());
        EF_NuQtaParteNodo->SetText(
            QString::number(row->FieldByName(QStringLiteral("nuQuantitaParte")).AsInteger()));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati sottoparagrafo."), e);
        return;
    }
    EF_DescParteNodo->setProperty("idParte", oCurrentDettProd->sIdNodo);
    SetBrowsing(false);
    PAN_Input_Parte->show();
    PAN_Input_Parte->raise();
    CenterPanelInForm(PAN_Input_Parte, this);
    FocusField(EF_NuQtaParteNodo->Edit());
}

void TDETTAGLI_PREVDET::ConfirmPart()
{
    // The quantity is a whole number in the program's format; anything else stays in the
    // panel with a message instead of reaching the command.
    double q = 0;
    if (!ParseNumberText(EF_NuQtaParteNodo->Text(), &q) || q < 0 || q != double(qint64(q))
        || q > 2147483647.0) {
        ShowErrorBox(QStringLiteral("Errore salvataggio dati sottoparagrafo (ERR.B03).")
                     + LineBreaks(2)
                     + QStringLiteral("(La quantità deve essere un numero intero non negativo.)"));
        FocusField(EF_NuQtaParteNodo->Edit());
        return;
    }
    const QString part = EF_DescParteNodo->property("idParte").toString();
    try {
        TSTD_DBMODULE::Instance()->Query(ExecText(QStringLiteral("UpdatePrevDetParte"),
                                                  {SqlText(sIdPreventivoDet),
                                                   SqlText(part),
                                                   SqlText(EF_DescParteNodo->Text()),
                                                   SqlInteger(qint64(q)),
                                                   QStringLiteral("''"),
                                                   UserArg()}));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore salvataggio dati sottoparagrafo (ERR.B03)."), e);
        return;
    }
    bChanges = true;
    CancelPart();
    if (PrepareRecordsets(LoadCommand()))
        BuildTree(QString());
}

void TDETTAGLI_PREVDET::CancelPart()
{
    PAN_Input_Parte->hide();
    SetBrowsing(true);
}

void TDETTAGLI_PREVDET::CopyId()
{
    if (!oCurrentDettProd || !SessionInfo().bAdministrator)
        return;
    QString table, key;
    switch (oCurrentDettProd->xTipoNode) {
    case cnComponente:
        table = QStringLiteral(" FROM PrevDet_Componenti a");
        key = QStringLiteral(" AND a.idCompProdotto = ");
        break;
    case cnParte:
        table = QStringLiteral(" FROM PrevDet_Comp_Parti a");
        key = QStringLiteral(" AND a.idParteComp = ");
        break;
    case cnParteImmagine:
        table = QStringLiteral(" FROM PrevDet_Comp_Parte_Img a");
        key = QStringLiteral(" AND a.idImgParte = ");
        break;
    default:
        return;
    }
    // The empty last clause gives the second line break at the end.
    CopyDeveloperQueries({{QStringLiteral("SELECT a.*"),
                           table,
                           QStringLiteral(" WHERE a.idPreventivoDet = ") + SqlText(sIdPreventivoDet),
                           key + SqlText(oCurrentDettProd->sIdNodo),
                           QString()}});
}
