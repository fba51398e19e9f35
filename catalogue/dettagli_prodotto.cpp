#include "catalogue/dettagli_prodotto.h"

#include "catalogue/catalogueopeners.h"

#include "catalogue/dettprod_url.h"
#include "catalogue/dettprodimagepanel.h"
#include "catalogue/dettproditemgrid.h"
#include "catalogue/dettprodmove.h"
#include "catalogue/dettprodpanels.h"
#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtextpanel.h"
#include "catalogue/dettprodtree.h"
#include "catalogue/productpreview.h"
#include "catalogue/richtextrepair.h"
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
#include "domain/nodeimages.h"
#include "masterdata/listdata.h"
#include "reports/krtcrystalreport.h"
#include "reports/reporterror.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const kClassName = "TDETTAGLI_PRODOTTO";
const char *const kTag = "tag";
const char *const kKeyPreviewProd = "FrmDettProd_PreviewProd";
const char *const kKeyPreviewShowIcons = "FrmDettProd_PreviewShowIcons";
const char *const kKeyPreviewShowImages = "FrmDettProd_PreviewShowImages";
const char *const kRunPreview = "RUNPREVIEW";
const char *const kReloadAndRunPreview = "RELOADANDRUNPREVIEW";
constexpr int kOptionDelayMs = 1000;
constexpr int kDataPaneWidth = 480; // the node data pane's design width
const QColor kMenuBlue(0x37, 0x6E, 0xA1);

// Columns of the context menu's table: root, data sheet, data-sheet item, paragraph,
// sub-paragraph, text / image / web link, table, table item.
enum TMenuColumn { mcRoot, mcScheda, mcVoce, mcComp, mcParte, mcContenuto, mcTab, mcVoceTab };

TMenuColumn MenuColumn(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnScheda:
        return mcScheda;
    case cnVoceScheda:
        return mcVoce;
    case cnComponente:
        return mcComp;
    case cnParte:
        return mcParte;
    case cnParteTesto:
    case cnParteImmagine:
    case cnParteLinkWeb:
        return mcContenuto;
    case cnParteTabella:
        return mcTab;
    case cnParteVoceTabella:
        return mcVoceTab;
    default:
        return mcRoot;
    }
}

// The object of the delete question.
QString DeleteObject(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnScheda:
        return QStringLiteral("della scheda selezionata e di tutte le sue voci");
    case cnVoceScheda:
        return QStringLiteral("della voce scheda selezionata");
    case cnComponente:
        return QStringLiteral("del paragrafo selezionato e di tutti i suoi sottoparagrafi "
                              "comprese testi, immagini ecc.");
    case cnParte:
        return QStringLiteral("del sottoparagrafo selezionato e di tutti i suoi testi, "
                              "immagini ecc.");
    case cnParteTesto:
        return QStringLiteral("del testo selezionata");
    case cnParteImmagine:
        return QStringLiteral("dell'immagine selezionata");
    case cnParteLinkWeb:
        return QStringLiteral("del link web selezionato");
    case cnParteTabella:
        return QStringLiteral("della tabella selezionata");
    case cnParteVoceTabella:
        return QStringLiteral("della voce tabella selezionata");
    default:
        return QString();
    }
}

struct TEndMoveCaptions
{
    const char *before;
    const char *after;
    const char *append; // nullptr: not offered
};

TEndMoveCaptions EndMoveCaptions(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnScheda:
        return {"Inserisci prima della scheda", "Inserisci dopo la scheda", "Aggiungi alla scheda"};
    case cnVoceScheda:
        return {"Inserisci prima della voce della scheda",
                "Inserisci dopo la voce della scheda",
                nullptr};
    case cnComponente:
        return {"Inserisci prima del paragrafo",
                "Inserisci dopo il paragrafo",
                "Aggiungi al paragrafo"};
    case cnParte:
        return {"Inserisci prima del sottoparagrafo",
                "Inserisci dopo il sottoparagrafo",
                "Aggiungi al sottoparagrafo"};
    case cnParteTesto:
        return {"Inserisci prima del testo", "Inserisci dopo il testo", nullptr};
    case cnParteImmagine:
        return {"Inserisci prima dell'immagine", "Inserisci dopo l'immagine", nullptr};
    case cnParteLinkWeb:
        return {"Inserisci prima del link web", "Inserisci dopo il link web", nullptr};
    case cnParteTabella:
        return {"Inserisci prima della tabella",
                "Inserisci dopo la tabella",
                "Aggiungi alla tabella"};
    case cnParteVoceTabella:
        return {"Inserisci prima della voce della tabella",
                "Inserisci dopo la voce della tabella",
                nullptr};
    default:
        return {nullptr, nullptr, "Aggiungi a"};
    }
}

bool IsTopLevelKind(int nuTipologia)
{
    return nuTipologia == 10 || nuTipologia == 30;
}

bool DebugPaneShown()
{
    const TSessionInfo &s = SessionInfo();
    return s.bAdministrator && s.iDebugPaneHeight > 0;
}

QString UserArg()
{
    return SqlText(SessionInfo().sUserName);
}

QString ErrorText(const std::exception &error)
{
    if (const auto *db = dynamic_cast<const EDatabaseError *>(&error))
        return db->ProviderText();
    if (const auto *report = dynamic_cast<const EReportError *>(&error))
        return report->text();
    if (const auto *ds = dynamic_cast<const EDataSetError *>(&error))
        return ds->text();
    if (const auto *image = dynamic_cast<const EImageError *>(&error))
        return image->text();
    return QString::fromUtf8(error.what());
}

QPushButton *StatusButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The command texts of the node functions.
QString LoadCommand(const QString &product, bool images)
{
    return ExecText(QStringLiteral("EstraiAllDettagliProdotto"),
                    {SqlText(product),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     SqlFlag(images)});
}

} // namespace

static const TWindowRegistration registration(QString::fromLatin1(TDETTAGLI_PRODOTTO::kFormName),
                                              [](QWidget *parent) {
                                                  return new TDETTAGLI_PRODOTTO(parent);
                                              });
// The product list starts the editor through this (catalogue/catalogueopeners.h).
static const TDettagliProdottoRegistration startRegistration([](QWidget *window,
                                                                bool bFromPreventiviLista,
                                                                const QString &sIdProdottoLista,
                                                                const QString &sCodProdottoLista,
                                                                const QString &sDescProdottoLista,
                                                                bool bAttivo) {
    static_cast<TDETTAGLI_PRODOTTO *>(window)->Start(bFromPreventiviLista,
                                                     sIdProdottoLista,
                                                     sCodProdottoLista,
                                                     sDescProdottoLista,
                                                     bAttivo);
});

TDETTAGLI_PRODOTTO::TDETTAGLI_PRODOTTO(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QLatin1String(kFormName));
    setWindowTitle(QStringLiteral("Dettagli del prodotto"));
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyFormatSettings();
    BuildPanes();
    BuildStatusBar();
    BuildMenu();
    TM_Preview = new QTimer(this);
    TM_Preview->setObjectName(QStringLiteral("TM_Preview"));
    TM_Preview->setSingleShot(true);
    connect(TM_Preview, &QTimer::timeout, this, &TDETTAGLI_PRODOTTO::PreviewTimerFired);
}

TDETTAGLI_PRODOTTO::~TDETTAGLI_PRODOTTO()
{
    // The tree lets go of the rows before they are freed.
    if (TV_Dettagli)
        TV_Dettagli->DetachRows();
}

void TDETTAGLI_PRODOTTO::BuildPanes()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);

    SPT_Panes = new QSplitter(Qt::Horizontal, this);
    SPT_Panes->setObjectName(QStringLiteral("SPT_Panes"));
    SPT_Panes->setChildrenCollapsible(false);
    PAN_Preview = new TDettProdPreviewPane(SPT_Panes);
    PAN_Preview->hide(); // shown by the preview option
    PAN_Dettagli = new QFrame(SPT_Panes);
    PAN_Dettagli->setObjectName(QStringLiteral("PAN_Dettagli"));
    auto *tree = new QVBoxLayout(PAN_Dettagli);
    tree->setContentsMargins(0, 0, 0, 0);
    TV_Dettagli = new TDettProdTree(PAN_Dettagli);
    TV_Dettagli->setContextMenuPolicy(Qt::CustomContextMenu);
    TV_Dettagli->installEventFilter(this);
    tree->addWidget(TV_Dettagli);
    PAN_DatiNodo = new TDettProdNodePane(SPT_Panes);
    PAN_DatiNodo->setMinimumWidth(kDataPaneWidth);
    PAN_DatiNodo->hide();
    SPT_Panes->addWidget(PAN_Preview);
    SPT_Panes->addWidget(PAN_Dettagli);
    SPT_Panes->addWidget(PAN_DatiNodo);
    SPT_Panes->setStretchFactor(0, 4);
    SPT_Panes->setStretchFactor(1, 6);
    SPT_Panes->setStretchFactor(2, 0);
    column->addWidget(SPT_Panes, 1);

    connect(TV_Dettagli,
            &QWidget::customContextMenuRequested,
            this,
            &TDETTAGLI_PRODOTTO::TreeContextMenu);
    connect(TV_Dettagli,
            &TDettProdTree::CurrentNodeChanged,
            this,
            &TDETTAGLI_PRODOTTO::TreeSelectionChanged);
    connect(PAN_DatiNodo, &TDettProdNodePane::OkRequested, this, &TDETTAGLI_PRODOTTO::NodePanelOk);
    connect(PAN_DatiNodo,
            &TDettProdNodePane::CancelRequested,
            this,
            &TDETTAGLI_PRODOTTO::CloseNodePanel);
    connect(PAN_DatiNodo, &TDettProdNodePane::PanelSaved, this, &TDETTAGLI_PRODOTTO::PanelSaved);
    PAN_DatiNodo->AddPanel(cnScheda, new TDettProdSchedaPanel);
    PAN_DatiNodo->AddPanel(cnComponente, new TDettProdComponentePanel);
    PAN_DatiNodo->AddPanel(cnParte, new TDettProdPartePanel);
    PAN_DatiNodo->AddPanel(cnParteTesto, new TDettProdTextPanel);
    PAN_DatiNodo->AddPanel(cnParteImmagine, new TDettProdImagePanel);
    PAN_DatiNodo->AddPanel(cnParteTabella, new TDettProdTabellaPanel);
    PAN_DatiNodo->AddPanel(cnVoceScheda, new TDettProdItemGridPanel(false));
    PAN_DatiNodo->AddPanel(cnParteVoceTabella, new TDettProdItemGridPanel(true));
}

void TDETTAGLI_PRODOTTO::BuildStatusBar()
{
    PAN_Status = new QFrame(this);
    PAN_Status->setObjectName(QStringLiteral("PAN_Status"));
    PAN_Status->setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(PAN_Status);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(6);
    PB_Tree_MostraTutto = StatusButton(PAN_Status,
                                       "PB_Tree_MostraTutto",
                                       QStringLiteral("Mostra tutto"));
    PB_Tree_ChiudiSchede = StatusButton(PAN_Status,
                                        "PB_Tree_ChiudiSchede",
                                        QStringLiteral("Chiudi schede"));
    PB_Tree_ChiudiComponenti = StatusButton(PAN_Status,
                                            "PB_Tree_ChiudiComponenti",
                                            QStringLiteral("Chiudi paragrafi"));
    PB_Tree_ChiudiParti = StatusButton(PAN_Status,
                                       "PB_Tree_ChiudiParti",
                                       QStringLiteral("Chiudi sottoparagrafi"));
    CK_PreviewProd = new QCheckBox(QStringLiteral("Anteprima prodotto"), PAN_Status);
    CK_PreviewProd->setObjectName(QStringLiteral("CK_PreviewProd"));
    CK_PreviewShowIcons = new QCheckBox(QStringLiteral("Mostra icone "), PAN_Status);
    CK_PreviewShowIcons->setObjectName(QStringLiteral("CK_PreviewShowIcons"));
    CK_PreviewShowImages = new QCheckBox(QStringLiteral("Mostra immagini "), PAN_Status);
    CK_PreviewShowImages->setObjectName(QStringLiteral("CK_PreviewShowImages"));
    for (QCheckBox *box : {CK_PreviewProd, CK_PreviewShowIcons, CK_PreviewShowImages})
        box->setFocusPolicy(Qt::NoFocus);
    PB_Segue_Listini = StatusButton(PAN_Status, "PB_Segue_Listini", QStringLiteral(">> Listini"));
    PB_Segue_Listini->setToolTip(QStringLiteral("Ok e prosegui ai listini del prodotto"));
    PB_Segue_Listini->setProperty(kTag, 0);
    row->addWidget(PB_Tree_MostraTutto);
    row->addWidget(PB_Tree_ChiudiSchede);
    row->addWidget(PB_Tree_ChiudiComponenti);
    row->addWidget(PB_Tree_ChiudiParti);
    row->addSpacing(16);
    row->addWidget(CK_PreviewProd);
    row->addWidget(CK_PreviewShowIcons);
    row->addWidget(CK_PreviewShowImages);
    row->addStretch(1);
    PB_Patch = StatusButton(PAN_Status, "PB_Patch", QStringLiteral("Patch01"));
    PB_Patch->setVisible(false);
    row->addWidget(PB_Patch);
    row->addWidget(PB_Segue_Listini);
    layout()->addWidget(PAN_Status);

    connect(PB_Tree_MostraTutto, &QPushButton::clicked, TV_Dettagli, &TDettProdTree::ShowAll);
    connect(PB_Tree_ChiudiSchede, &QPushButton::clicked, TV_Dettagli, [this] {
        TV_Dettagli->CollapseKind(cnScheda);
    });
    connect(PB_Tree_ChiudiComponenti, &QPushButton::clicked, TV_Dettagli, [this] {
        TV_Dettagli->CollapseKind(cnComponente);
    });
    connect(PB_Tree_ChiudiParti, &QPushButton::clicked, TV_Dettagli, [this] {
        TV_Dettagli->CollapseKind(cnParte);
    });
    connect(CK_PreviewProd, &QCheckBox::clicked, this, &TDETTAGLI_PRODOTTO::CK_PreviewProdClick);
    connect(CK_PreviewShowIcons,
            &QCheckBox::clicked,
            this,
            &TDETTAGLI_PRODOTTO::CK_PreviewShowIconsClick);
    connect(CK_PreviewShowImages,
            &QCheckBox::clicked,
            this,
            &TDETTAGLI_PRODOTTO::CK_PreviewShowImagesClick);
    connect(PB_Segue_Listini, &QPushButton::clicked, this, &TDETTAGLI_PRODOTTO::SegueListini);
    connect(PB_Patch, &QPushButton::clicked, this, &TDETTAGLI_PRODOTTO::Patch01);
}

QAction *TDETTAGLI_PRODOTTO::AddMenuAction(const char *name,
                                           const QString &caption,
                                           bool bold,
                                           int iconIndex)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    QFont font(QStringLiteral("Trebuchet MS"));
    font.setPointSize(12);
    font.setBold(bold);
    action->setFont(font);
    action->setProperty(TKRTPopupMenu::kUserItem, true);
    action->setProperty(TKRTPopupMenu::kFontColor, QColor(Qt::black));
    if (iconIndex >= 0)
        action->setIcon(TDettProdTree::ImageList().at(iconIndex));
    m_actions.insert(action->objectName(), action);
    return action;
}

void TDETTAGLI_PRODOTTO::BuildMenu()
{
    TKRTPopupLook look;
    look.enhanced = true;
    look.sideBarColor = kMenuBlue;
    look.sideBarColorTo = kMenuBlue;
    look.sideBarFontColor = Qt::white;
    look.backColor = Qt::white;
    look.backColorTo = QColor(0xF5, 0xF5, 0xF5);
    look.selBackColor = QColor(0xDC, 0xE6, 0xF2);
    look.selBackColorTo = QColor(0xC5, 0xD5, 0xEA);
    look.selForeColor = Qt::black;
    PMNU_Funzioni_Tree = new TKRTPopupMenu(look, true, this);
    PMNU_Funzioni_Tree->setObjectName(QStringLiteral("PMNU_Funzioni_Tree"));

    // Icons of the image list: 2 x kind position.
    const int sheet = 2, item = 4, comp = 6, part = 8, text = 10, image = 12, link = 14, table = 16,
              tableItem = 18;
    struct TCreation
    {
        const char *name;
        const char *caption;
        int icon;
        TGENCurrentOp op;
        TCurrentNodeTipologia kind; // cnProdotto: the node's own kind
    };
    const TCreation creations[] = {
        {"MNU_NewSchedaVoce", "Aggiungi una voce alla scheda", item, coGENInsert, cnVoceScheda},
        {"MNU_NuovaVoceTabParte",
         "Aggiungi una voce alla tabella",
         tableItem,
         coGENInsert,
         cnParteVoceTabella},
        {"MNU_NuovoTestoParte", "Aggiungi un testo", text, coGENInsert, cnParteTesto},
        {"MNU_NuovaImmagineParte", "Aggiungi un'immagine", image, coGENInsert, cnParteImmagine},
        {"MNU_NuovoUrlParte", "Aggiungi un link web", link, coGENInsert, cnParteLinkWeb},
        {"MNU_NuovaTabParte", "Aggiungi una tabella", table, coGENInsert, cnParteTabella},
        {"MNU_NuovaParte", "Aggiungi un sottoparagrafo", part, coGENInsert, cnParte},
        {"MNU_NuovaParteEmpty", "Aggiungi un sottoparagrafo senza testo", part, coGENInsert, cnParte},
        {"MNU_InserisciParte", "Inserisci un sottoparagrafo qui", part, coGENInsertBetween, cnParte},
        {"MNU_NewScheda", "Aggiungi una scheda", sheet, coGENInsert, cnScheda},
        {"MNU_NuovoComponente", "Aggiungi un paragrafo", comp, coGENInsert, cnComponente},
        {"MNU_InsertScheda", "Inserisci una scheda qui", sheet, coGENInsertBetween, cnScheda},
        {"MNU_InsertComponente",
         "Inserisci un paragrafo qui",
         comp,
         coGENInsertBetween,
         cnComponente},
    };
    for (const TCreation &c : creations) {
        QAction *action = AddMenuAction(c.name, QString::fromUtf8(c.caption), true, c.icon);
        const TGENCurrentOp op = c.op;
        const TCurrentNodeTipologia kind = c.kind;
        if (qstrcmp(c.name, "MNU_NuovaParteEmpty") == 0)
            connect(action, &QAction::triggered, this, [this] { AddEmptySubParagraph(); });
        else
            connect(action, &QAction::triggered, this, [this, op, kind] {
                OpenNodePanel(op, kind);
            });
    }
    connect(AddMenuAction("MNU_ModificaNodo", QStringLiteral("Modifica"), false),
            &QAction::triggered,
            this,
            [this] {
                if (oCurrentDettProd)
                    OpenNodePanel(coGENModify, oCurrentDettProd->xTipoNode);
            });
    connect(AddMenuAction("MNU_MergeParte",
                          QStringLiteral("Unisci il sottoparagrafo al precedente"),
                          false),
            &QAction::triggered,
            this,
            &TDETTAGLI_PRODOTTO::MergeNode);
    connect(AddMenuAction("MNU_EliminaNodo", QStringLiteral("Elimina"), false),
            &QAction::triggered,
            this,
            &TDETTAGLI_PRODOTTO::DeleteNode);
    connect(AddMenuAction("MNU_AbilitaDisabilitaNodo", QString(), false),
            &QAction::triggered,
            this,
            &TDETTAGLI_PRODOTTO::EnableDisableNode);
    QAction *startMove = AddMenuAction("MNU_StartMove",
                                       QStringLiteral("Seleziona per spostamento"),
                                       true);
    connect(startMove, &QAction::triggered, this, &TDETTAGLI_PRODOTTO::StartMove);
    QAction *duplicate = AddMenuAction("MNU_MarkForDuplicate",
                                       QStringLiteral("Copia in altro prodotto"),
                                       true);
    connect(duplicate, &QAction::triggered, this, &TDETTAGLI_PRODOTTO::MarkForDuplicate);
    connect(AddMenuAction("MNU_EndMoveInsertBefore", QString(), false),
            &QAction::triggered,
            this,
            [this] { EndMoveInsert(false); });
    connect(AddMenuAction("MNU_EndMoveInsertAfter", QString(), false),
            &QAction::triggered,
            this,
            [this] { EndMoveInsert(true); });
    connect(AddMenuAction("MNU_EndMoveAppend", QString(), false),
            &QAction::triggered,
            this,
            &TDETTAGLI_PRODOTTO::EndMoveAppend);
    QAction *cancel = AddMenuAction("MNU_CancelMove", QStringLiteral("Annulla spostamento"), true);
    connect(cancel, &QAction::triggered, this, &TDETTAGLI_PRODOTTO::CancelMove);
    for (QAction *a : {startMove, duplicate, cancel})
        a->setProperty(TKRTPopupMenu::kFontColor, kMenuBlue);
}

QAction *TDETTAGLI_PRODOTTO::MenuAction(const QString &name) const
{
    return m_actions.value(name, nullptr);
}

bool TDETTAGLI_PRODOTTO::PrepareTreeMenu(TVRLDettProd *node)
{
    PMNU_Funzioni_Tree->clear();
    if (!node) {
        ShowErrorBox(QStringLiteral("Errore selezione nodo."));
        return false;
    }
    oCurrentDettProd = node;
    if (TDettProdTreeItem *item = TV_Dettagli->FindTreeNode(node->sIdNodo))
        TV_Dettagli->setCurrentItem(item);

    std::vector<std::vector<QAction *>> groups;
    auto offer = [this](std::vector<QAction *> &group, const char *name, bool shown) {
        if (shown)
            group.push_back(MenuAction(QLatin1String(name)));
    };
    if (oMovingDettProd) {
        const TEndMoveCaptions captions = EndMoveCaptions(node->xTipoNode);
        std::vector<QAction *> ends;
        if (node->bCanInsertBeforeAfter && captions.before) {
            MenuAction(QStringLiteral("MNU_EndMoveInsertBefore"))
                ->setText(QString::fromUtf8(captions.before));
            MenuAction(QStringLiteral("MNU_EndMoveInsertAfter"))
                ->setText(QString::fromUtf8(captions.after));
            offer(ends, "MNU_EndMoveInsertBefore", true);
            offer(ends, "MNU_EndMoveInsertAfter", true);
        }
        if (node->bCanAdd && captions.append) {
            MenuAction(QStringLiteral("MNU_EndMoveAppend"))
                ->setText(QString::fromUtf8(captions.append));
            offer(ends, "MNU_EndMoveAppend", true);
        }
        groups.push_back(ends);
        groups.push_back({MenuAction(QStringLiteral("MNU_CancelMove"))});
    } else {
        const TMenuColumn c = MenuColumn(node->xTipoNode);
        const bool notRoot = c != mcRoot;
        const bool contents = c == mcParte || c == mcContenuto || c == mcTab;
        std::vector<QAction *> items, content, parts, top, node_ops;
        offer(items, "MNU_NewSchedaVoce", c == mcScheda || c == mcVoce);
        offer(items, "MNU_NuovaVoceTabParte", c == mcTab || c == mcVoceTab);
        for (const char *name : {"MNU_NuovoTestoParte",
                                 "MNU_NuovaImmagineParte",
                                 "MNU_NuovoUrlParte",
                                 "MNU_NuovaTabParte"})
            offer(content, name, contents);
        offer(parts, "MNU_NuovaParte", contents || c == mcComp);
        offer(parts, "MNU_NuovaParteEmpty", contents || c == mcComp);
        offer(parts, "MNU_InserisciParte", contents);
        offer(parts, "MNU_MergeParte", c == mcParte && node->iNuOrderB > 1);
        offer(top, "MNU_NewScheda", true);
        offer(top, "MNU_NuovoComponente", true);
        offer(top, "MNU_InsertScheda", c == mcScheda || c == mcComp);
        offer(top, "MNU_InsertComponente", c == mcScheda || c == mcComp);
        MenuAction(QStringLiteral("MNU_AbilitaDisabilitaNodo"))
            ->setText((node->bAttivo ? QStringLiteral("Disabilita ") : QStringLiteral("Abilita "))
                      + NodeKindObject(node->xTipoNode));
        for (const char *name :
             {"MNU_ModificaNodo", "MNU_EliminaNodo", "MNU_AbilitaDisabilitaNodo", "MNU_StartMove"})
            offer(node_ops, name, notRoot);
        offer(node_ops, "MNU_MarkForDuplicate", c == mcScheda || c == mcComp);
        groups = {items, content, parts, top, node_ops};
    }
    bool first = true;
    for (const std::vector<QAction *> &group : groups) {
        if (group.empty())
            continue;
        if (!first)
            PMNU_Funzioni_Tree->addSeparator();
        first = false;
        for (QAction *a : group)
            PMNU_Funzioni_Tree->addAction(a);
    }
    return true;
}

void TDETTAGLI_PRODOTTO::TreeContextMenu(const QPoint &pos)
{
    if (bTreeKeys)
        return;
    QTreeWidgetItem *item = TV_Dettagli->itemAt(pos);
    if (!item)
        return;
    if (!PrepareTreeMenu(TDettProdTree::NodeOf(item)))
        return;
    if (PMNU_Funzioni_Tree->actions().isEmpty())
        return;
    PMNU_Funzioni_Tree->MeasureSideBar();
    PMNU_Funzioni_Tree->popup(TV_Dettagli->viewport()->mapToGlobal(pos));
}

// --- Start and loading ----------------------------------------------------------------------

void TDETTAGLI_PRODOTTO::Start(bool bFromPreventiviLista,
                               const QString &sIdProdottoLista,
                               const QString &sCodProdottoLista,
                               const QString &sDescProdottoLista,
                               bool bAttivo)
{
    bFromPreventivi = bFromPreventiviLista;
    sIdProdotto = sIdProdottoLista;
    sCodProdotto = sCodProdottoLista;
    sDescProdotto = sDescProdottoLista;
    bProdottoAttivo = bAttivo;
    setWindowTitle(QStringLiteral("Dettagli del prodotto: \"") + sDescProdotto + QLatin1Char('"'));
    PB_Patch->setVisible(SessionInfo().bAdministrator);
    LoadPreviewSettings();
    oMovingDettProd.reset();
    ShowWait();
    LoadProductDetails();
    BuildTree(QString());
    RequestPreview();
}

bool TDETTAGLI_PRODOTTO::ImagesFlag() const
{
    return CK_PreviewShowImages->isChecked();
}

bool TDETTAGLI_PRODOTTO::PrepareRecordsets(const QString &commandText)
{
    TV_Dettagli->DetachRows();
    DST_RPT_Dettagli.reset();
    DST_TREE_Dettagli.reset();
    // The local time is read only for the debug pane: it takes a time-zone lookup.
    const bool timed = DebugPaneShown();
    if (timed)
        AppendDebugLine(QLatin1String(kClassName) + QStringLiteral(".PrepareRecordsets: sSql: ")
                        + commandText);
    const QDateTime start = timed ? QDateTime::currentDateTime() : QDateTime();
    try {
        std::vector<std::unique_ptr<TDataSet>> sets = TSTD_DBMODULE::Instance()->QueryMulti(
            commandText);
        if (sets.size() < 2)
            throw EDatabaseError(QStringLiteral("La funzione ha dato %1 insiemi di righe invece "
                                                "di 2.")
                                     .arg(sets.size()));
        CreateMemoryCopy(DST_RPT_Dettagli, *sets[1], true);
        CopyAllRecords(*sets[1], *DST_RPT_Dettagli);
        CreateMemoryCopy(DST_TREE_Dettagli, *sets[0], true);
        CopyAllRecords(*sets[0], *DST_TREE_Dettagli);
    } catch (const std::exception &e) {
        DST_RPT_Dettagli.reset();
        DST_TREE_Dettagli.reset();
        m_parked = false;
        m_parkedCollapsed.clear();
        HideWait();
        ShowDbError(QStringLiteral("Errore lettura dati per anteprima prodotto (ERR.G27)."), e);
        return false;
    }
    if (timed)
        AppendDebugTiming(QLatin1String(kClassName),
                          QStringLiteral("PrepareRecordsets"),
                          start,
                          QDateTime::currentDateTime());
    if (m_parked) {
        ApplyCollapsedRowIds(*DST_TREE_Dettagli, m_parkedCollapsed);
        m_parked = false;
        m_parkedCollapsed.clear();
    }
    DST_TREE_Dettagli->SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    DST_TREE_Dettagli->First();
    return true;
}

bool TDETTAGLI_PRODOTTO::LoadProductDetails()
{
    return PrepareRecordsets(LoadCommand(sIdProdotto, ImagesFlag()));
}

void TDETTAGLI_PRODOTTO::BuildTree(const QString &sIdToSelect)
{
    oCurrentDettProd = nullptr;
    const TDettProdRoot root{sIdProdotto,
                             bProdottoAttivo,
                             ProductRootCaption(sDescProdotto, sCodProdotto)};
    TV_Dettagli->BuildTree(DST_TREE_Dettagli.get(), root, sIdToSelect, oMovingDettProd.get());
    // The product takes only data sheets and paragraphs: during the move of any other node it
    // is no target.
    if (oMovingDettProd && !IsTopLevelKind(oMovingDettProd->iNuTipologia))
        if (TVRLDettProd *rootNode = TV_Dettagli->RootNode())
            rootNode->bCanAdd = false;
    HideWait();
}

void TDETTAGLI_PRODOTTO::ShowWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->ShowWait();
}

void TDETTAGLI_PRODOTTO::HideWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

void TDETTAGLI_PRODOTTO::FinishOperation(const QString &sIdToSelect)
{
    bChanges = true;
    sLastId = sIdToSelect;
    BuildTree(sIdToSelect);
    RequestPreview();
}

void TDETTAGLI_PRODOTTO::RecoverAfterFailure()
{
    // The node function refused or failed: what is on screen may no longer be the product.
    // The product is read again as it is now; a move in progress ends.
    const QString keep = sLastId;
    oMovingDettProd.reset();
    if (LoadProductDetails()) {
        BuildTree(keep);
        RequestPreview();
        ShowInfoBox(QStringLiteral("La struttura del prodotto è stata ricaricata: è mostrata come "
                                   "è adesso nel database."));
    } else {
        BuildTree(QString());
        PAN_Preview->DestroyViewer();
    }
}

// --- Node operations ------------------------------------------------------------------------

void TDETTAGLI_PRODOTTO::EnableDisableNode()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode == cnProdotto)
        return;
    const TVRLDettProd node = *oCurrentDettProd;
    ShowWait();
    sLastId = node.sIdNodo;
    try {
        const QString command = ExecText(QStringLiteral("ChangeStateNodo"),
                                         {SqlText(sIdProdotto),
                                          QStringLiteral("0"),
                                          SqlText(node.sIdNodo),
                                          SqlInteger(node.iNuTipologia),
                                          SqlFlag(ImagesFlag()),
                                          UserArg()});
        if (!PrepareRecordsets(command)) {
            RecoverAfterFailure();
            return;
        }
        FinishOperation(node.sIdNodo);
    } catch (const std::exception &e) {
        HideWait();
        ShowErrorBox(
            QStringLiteral("Errore ")
            + (node.bAttivo ? QStringLiteral("disattivazione") : QStringLiteral("attivazione"))
            + QStringLiteral(" (ERR.G01).") + LineBreaks(2) + QLatin1Char('(')
            + ErrorText(e).trimmed() + QLatin1Char(')'));
    }
}

void TDETTAGLI_PRODOTTO::DeleteNode()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode == cnProdotto)
        return;
    const TVRLDettProd node = *oCurrentDettProd;
    if (!AskYesNo(QStringLiteral("Confermi la cancellazione ") + DeleteObject(node.xTipoNode)
                  + QStringLiteral(" ?") + LineBreaks(2)
                  + QStringLiteral("(attenzione, è irreversibile, eventualmente utilizzare in "
                                   "alternativa la modifica dello stato da attivo a disattivo)")))
        return;
    ShowWait();
    sLastId = node.sIdParent;
    try {
        const QString command = ExecText(QStringLiteral("DeleteNodo"),
                                         {SqlText(sIdProdotto),
                                          SqlText(node.sIdNodo),
                                          SqlText(node.sIdParent),
                                          SqlInteger(node.iNuTipologia),
                                          SqlFlag(ImagesFlag()),
                                          UserArg()});
        if (!PrepareRecordsets(command)) {
            RecoverAfterFailure();
            return;
        }
        FinishOperation(node.sIdParent);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore operazione di cancellazione (ERR.G03)."), e);
        RequestPreview();
    }
}

void TDETTAGLI_PRODOTTO::MergeNode()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode != cnParte)
        return;
    const TVRLDettProd node = *oCurrentDettProd;
    if (!AskYesNo(QStringLiteral("Confermi l'unione del sottoparagrafo al precedente ?")))
        return;
    ShowWait();
    sLastId = node.sIdParent;
    try {
        const QString command = ExecText(QStringLiteral("MergeParte"),
                                         {SqlText(sIdProdotto),
                                          SqlText(node.sIdParent),
                                          SqlText(node.sIdNodo),
                                          SqlInteger(node.iNuOrderB),
                                          SqlFlag(ImagesFlag()),
                                          UserArg()});
        if (!PrepareRecordsets(command)) {
            RecoverAfterFailure();
            return;
        }
        FinishOperation(node.sIdParent);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore operazione di unione dei sottoparagrafi (ERR.G28)."), e);
        RequestPreview();
    }
}

void TDETTAGLI_PRODOTTO::StartMove()
{
    if (!oCurrentDettProd || oCurrentDettProd->xTipoNode == cnProdotto || !DST_TREE_Dettagli)
        return;
    ShowWait();
    oMovingDettProd = TVRLDettProd::CreateObject();
    oMovingDettProd->copyFromOther(*oCurrentDettProd);
    MarkMoveTargets(*DST_TREE_Dettagli, *oMovingDettProd);
    BuildTree(QString());
}

void TDETTAGLI_PRODOTTO::EndMoveAppend()
{
    if (!oMovingDettProd || !oCurrentDettProd)
        return;
    const TVRLDettProd moving = *oMovingDettProd;
    const TVRLDettProd target = *oCurrentDettProd;
    ShowWait();
    sLastId = moving.sIdNodo;
    try {
        if (DST_TREE_Dettagli) {
            m_parkedCollapsed = CollapsedRowIds(*DST_TREE_Dettagli);
            m_parked = true;
        }
        const QString command = ExecText(QStringLiteral("AppendNodoProdotto"),
                                         {SqlText(sIdProdotto),
                                          SqlText(moving.sIdNodo),
                                          SqlText(moving.sIdParent),
                                          SqlInteger(moving.iNuTipologia),
                                          SqlText(target.sIdNodo),
                                          SqlFlag(ImagesFlag()),
                                          UserArg()});
        if (!PrepareRecordsets(command)) {
            RecoverAfterFailure();
            return;
        }
        oMovingDettProd.reset();
        FinishOperation(moving.sIdNodo);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore operazione di spostamento (ERR.G02)."), e);
    }
}

void TDETTAGLI_PRODOTTO::EndMoveInsert(bool after)
{
    if (!oMovingDettProd || !oCurrentDettProd)
        return;
    const TVRLDettProd moving = *oMovingDettProd;
    const TVRLDettProd target = *oCurrentDettProd;
    ShowWait();
    sLastId = moving.sIdNodo;
    try {
        if (DST_TREE_Dettagli) {
            m_parkedCollapsed = CollapsedRowIds(*DST_TREE_Dettagli);
            m_parked = true;
        }
        const QString command = ExecText(QStringLiteral("InsertAfterBeforeNodoProdotto"),
                                         {SqlFlag(after),
                                          SqlText(sIdProdotto),
                                          SqlText(moving.sIdNodo),
                                          SqlText(moving.sIdParent),
                                          SqlInteger(moving.iNuTipologia),
                                          SqlText(target.sIdNodo),
                                          SqlText(target.sIdParent),
                                          SqlInteger(target.iNuTipologia),
                                          SqlFlag(ImagesFlag()),
                                          UserArg()});
        if (!PrepareRecordsets(command)) {
            RecoverAfterFailure();
            return;
        }
        oMovingDettProd.reset();
        FinishOperation(moving.sIdNodo);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore operazione di spostamento (ERR.G04)."), e);
    }
}

void TDETTAGLI_PRODOTTO::CancelMove()
{
    if (!oMovingDettProd)
        return;
    ShowWait();
    sLastId = oMovingDettProd->sIdNodo;
    oMovingDettProd.reset();
    if (DST_TREE_Dettagli)
        ResetMoveTargets(*DST_TREE_Dettagli);
    BuildTree(sLastId);
}

void TDETTAGLI_PRODOTTO::MarkForDuplicate()
{
    if (!oCurrentDettProd
        || (oCurrentDettProd->xTipoNode != cnScheda && oCurrentDettProd->xTipoNode != cnComponente))
        return;
    const bool sheet = oCurrentDettProd->xTipoNode == cnScheda;
    SetPendingCopyNode(*oCurrentDettProd);
    oCurrentDettProd = nullptr;
    close();
    ShowInfoBox(QStringLiteral("Seleziona il prodotto dove duplicare ")
                    + (sheet ? QStringLiteral("la scheda selezionata.")
                             : QStringLiteral("il paragrafo selezionato.")),
                TInfoAlign::Center,
                false,
                false);
}

// --- Keyboard -------------------------------------------------------------------------------

bool TDETTAGLI_PRODOTTO::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TV_Dettagli && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool alt = key->modifiers() & Qt::AltModifier;
        const bool handled = (alt && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down))
                             || key->key() == Qt::Key_Delete;
        if (bTreeKeys)
            return true; // swallowed while a keyboard operation runs
        if (handled) {
            TreeKey(key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TDETTAGLI_PRODOTTO::TreeKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        TVRLDettProd *node = TV_Dettagli->CurrentNode();
        if (oMovingDettProd || !node || node->xTipoNode == cnProdotto)
            return;
        bTreeKeys = true;
        oCurrentDettProd = node;
        DeleteNode();
        bTreeKeys = false;
        return;
    }
    KeyboardMove(event->key() == Qt::Key_Down);
}

void TDETTAGLI_PRODOTTO::KeyboardMove(bool down)
{
    QTreeWidgetItem *item = TV_Dettagli->currentItem();
    TVRLDettProd *node = TDettProdTree::NodeOf(item);
    if (oMovingDettProd || !node || !item->parent())
        return;
    QTreeWidgetItem *parent = item->parent();
    const int at = parent->indexOfChild(item);
    QTreeWidgetItem *sibling = parent->child(down ? at + 1 : at - 1);
    if (!sibling)
        return;
    bTreeKeys = true;
    if (CK_PreviewProd->isChecked()) {
        CK_PreviewProd->setChecked(false);
        CK_PreviewProdClick();
    }
    oMovingDettProd = TVRLDettProd::CreateObject();
    oMovingDettProd->copyFromOther(*node);
    oCurrentDettProd = TDettProdTree::NodeOf(sibling);
    EndMoveInsert(down);
    // A move that did not reach its end leaves no snapshot behind.
    oMovingDettProd.reset();
    bTreeKeys = false;
}

// --- Node data pane -------------------------------------------------------------------------

void TDETTAGLI_PRODOTTO::AddNodePanel(TCurrentNodeTipologia kind, TDettProdNodePanel *panel)
{
    PAN_DatiNodo->AddPanel(kind, panel);
}

void TDETTAGLI_PRODOTTO::PlaceNewNode(TDettProdNodeContext &c) const
{
    const TVRLDettProd &cur = c.oCurrent;
    const auto parentOf = [this](const QString &id) -> const TVRLDettProd * {
        const TDettProdTreeItem *item = TV_Dettagli->FindTreeNode(id);
        return item ? item->Node() : nullptr;
    };
    switch (c.xTipoNode) {
    case cnScheda:
    case cnComponente:
        c.sIdParent = sIdProdotto;
        if (c.xTipoOp == coGENInsertBetween) {
            c.sIdRefParent = cur.sIdParent;
            c.iPosition = cur.iNuOrderA;
            c.iSubPosition = 0;
        }
        break;
    case cnParte:
        if (cur.xTipoNode == cnComponente) {
            c.sIdParent = cur.sIdNodo;
        } else if (cur.xTipoNode == cnParte) {
            c.sIdParent = cur.sIdParent;
        } else {
            const TVRLDettProd *parte = parentOf(cur.sIdParent);
            c.sIdParent = parte ? parte->sIdParent : QString();
        }
        if (c.xTipoOp == coGENInsertBetween) {
            c.sIdRefParent = cur.sIdParent;
            c.iSubPosition = cur.iNuOrderC;
            if (cur.xTipoNode == cnParte) {
                c.iPosition = cur.iNuOrderB;
            } else {
                const TVRLDettProd *parte = parentOf(cur.sIdParent);
                c.iPosition = (parte ? parte->iNuOrderB : cur.iNuOrderB) + 1;
            }
        }
        break;
    case cnVoceScheda:
    case cnParteVoceTabella:
        c.sIdOwner = (cur.xTipoNode == cnScheda || cur.xTipoNode == cnParteTabella) ? cur.sIdNodo
                                                                                    : cur.sIdParent;
        c.sIdParent = c.sIdOwner;
        if (cur.xTipoNode == c.xTipoNode)
            c.sIdItem = cur.sIdNodo;
        break;
    default:
        // Texts, images, web links and tables go into the sub-paragraph.
        c.sIdParent = cur.xTipoNode == cnParte ? cur.sIdNodo : cur.sIdParent;
        break;
    }
}

int TDETTAGLI_PRODOTTO::CountImages(const QString &sIdParte) const
{
    if (!DST_TREE_Dettagli)
        return 0;
    const int kind = DST_TREE_Dettagli->FieldIndex(QStringLiteral("nuTipologia"));
    const int parent = DST_TREE_Dettagli->FieldIndex(QStringLiteral("idParent"));
    if (kind < 0 || parent < 0)
        return 0;
    int count = 0;
    for (int r = 0; r < DST_TREE_Dettagli->RecordCount(); ++r)
        if (DST_TREE_Dettagli->ValueAt(r, kind).toInt() == 60
            && DST_TREE_Dettagli->ValueAt(r, parent).toString() == sIdParte)
            ++count;
    return count;
}

bool TDETTAGLI_PRODOTTO::PrepareNodeContext(TGENCurrentOp op, TCurrentNodeTipologia kind)
{
    m_nodeContext = TDettProdNodeContext();
    m_nodeContext.xTipoOp = op;
    m_nodeContext.xTipoNode = kind;
    m_nodeContext.iNuTipologia = NodeTipologiaCode(kind);
    m_nodeContext.sIdProdotto = sIdProdotto;
    m_nodeContext.bImages = ImagesFlag();
    m_nodeContext.oCurrent.copyFromOther(*oCurrentDettProd);
    if (op != coGENModify || kind == cnVoceScheda || kind == cnParteVoceTabella)
        PlaceNewNode(m_nodeContext);
    const bool grid = kind == cnVoceScheda || kind == cnParteVoceTabella;
    if (grid)
        sLastId = m_nodeContext.sIdOwner;
    else
        sLastId = op == coGENModify ? oCurrentDettProd->sIdNodo : NewGuidText();
    m_nodeContext.sIdNodo = grid ? m_nodeContext.sIdOwner : sLastId;
    // A sub-paragraph holds at most three images: a fourth is refused before anything opens.
    if (kind == cnParteImmagine && op != coGENModify && CountImages(m_nodeContext.sIdParent) >= 3) {
        ShowErrorBox(QStringLiteral("Impossibile continuare, hai raggiunto il") + LineBreaks(1)
                     + QStringLiteral("massimo numero di immagini per sottoparagrafo.")
                     + LineBreaks(2) + QStringLiteral("Inserire prima un nuovo sottoparagrafo."));
        return false;
    }
    xTipoOp = op;
    xTipoNodeProcessing = kind;
    iTipologiaNodo = m_nodeContext.iNuTipologia;
    return true;
}

bool TDETTAGLI_PRODOTTO::OpenNodePanel(TGENCurrentOp op, TCurrentNodeTipologia kind)
{
    if (!oCurrentDettProd || PAN_DatiNodo->isVisible())
        return false;
    if (kind == cnParteLinkWeb)
        return EditWebLink(op);
    TDettProdNodePanel *panel = PAN_DatiNodo->PanelFor(kind);
    if (!panel) {
        ShowInfoBox(QStringLiteral("Funzione non ancora disponibile."));
        return false;
    }
    if (!PrepareNodeContext(op, kind))
        return false;
    const bool grid = kind == cnVoceScheda || kind == cnParteVoceTabella;
    if (grid)
        ShowWait();
    const bool opened = panel->Open(m_nodeContext);
    if (grid)
        HideWait();
    if (!opened) {
        xTipoOp = coGENNone;
        return false;
    }
    // The preview steps aside without being destroyed; the tree waits.
    if (CK_PreviewProd->isChecked())
        SetPreviewPaneVisible(false);
    PAN_DatiNodo->ShowPanel(panel, panel->Title(m_nodeContext));
    PAN_DatiNodo->show();
    PAN_Dettagli->setEnabled(false);
    if (op == coGENModify || grid)
        PAN_Status->setEnabled(false);
    FocusField(panel->MainField());
    panel->Shown();
    return true;
}

bool TDETTAGLI_PRODOTTO::AddEmptySubParagraph()
{
    if (!oCurrentDettProd || PAN_DatiNodo->isVisible())
        return false;
    TDettProdNodePanel *panel = PAN_DatiNodo->PanelFor(cnParte);
    if (!panel || !PrepareNodeContext(coGENInsert, cnParte))
        return false;
    bool saved = false;
    if (panel->Open(m_nodeContext)) {
        saved = panel->Save(m_nodeContext);
        panel->Release();
    }
    xTipoOp = coGENNone;
    if (saved)
        AfterNodeSaved(true);
    return saved;
}

void TDETTAGLI_PRODOTTO::Patch01()
{
    if (!SessionInfo().bAdministrator || PAN_DatiNodo->isVisible())
        return;
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance();
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        RepairNodeTexts(*db, SessionInfo().sUserName, [wait](int done, int total) {
            if (wait)
                wait->Show(QStringLiteral("Aggiornamento campo rtf %1 / %2").arg(done).arg(total));
        });
    } catch (const std::exception &e) {
        HideWait();
        ShowDbError(QStringLiteral("Errore aggiornamento campo rtf."), e);
        return;
    }
    HideWait();
    ShowInfoBox(QStringLiteral("Patch terminata."));
    // The texts on screen and in the preview are the repaired ones.
    const QString keep = TV_Dettagli->CurrentNode() ? TV_Dettagli->CurrentNode()->sIdNodo
                                                    : QString();
    if (LoadProductDetails())
        BuildTree(keep);
    RequestPreview();
}

bool TDETTAGLI_PRODOTTO::EditWebLink(TGENCurrentOp op)
{
    if (!PrepareNodeContext(op, cnParteLinkWeb))
        return false;
    const TDettProdNodeContext context = m_nodeContext;
    const bool insert = op != coGENModify;
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    std::unique_ptr<TEditableRecord> record;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        record = std::make_unique<TEditableRecord>(db,
                                                   QStringLiteral("Prod_Comp_Parte_Url"),
                                                   QStringLiteral("idUrlParte"));
        record->Open(DatiNodoText(context.sIdNodo, 70));
    } catch (const std::exception &e) {
        xTipoOp = coGENNone;
        ShowDbError(QStringLiteral("Errore lettura dati del nodo."), e);
        return false;
    }
    auto dialog = std::make_unique<TDETTPROD_URL>(this);
    dialog->PAN_Desc_TipoOperazione->setText(NodePanelTitle(op, cnParteLinkWeb));
    QString url;
    if (insert || record->IsNew()) {
        dialog->CK_LinkWebNodoAttivo->setChecked(true);
    } else {
        TDataSet &row = record->Data();
        row.First();
        dialog->EF_DescUrlNodo->SetText(
            row.FieldByName(QStringLiteral("txDescUrlParte")).AsString());
        url = row.FieldByName(QStringLiteral("txUrlParte")).AsString();
        dialog->EF_UrlNodo->SetText(url);
        dialog->CK_LinkWebNodoAttivo->setChecked(
            row.FieldByName(QStringLiteral("flUrlParteAttiva")).AsBoolean());
    }
    TDETTPROD_URL *d = dialog.get();
    // "Ok" saves; a failed save keeps the dialog open with what the operator typed.
    d->SetOkCheck([&, d]() {
        QString failing = insert ? QStringLiteral("Errore creazione nuovo link web (ERR.G05).")
                                 : QStringLiteral("Errore modifica link web (ERR.G06).");
        try {
            db->BeginTrans();
            if (insert) {
                record->Append(context.sIdNodo);
                record->Data().FieldByName(QStringLiteral("idParteComp")).SetValue(context.sIdParent);
                record->Data().FieldByName(QStringLiteral("nuOrdineParte")).SetValue(0);
            } else {
                record->Edit();
            }
            TDataSet &row = record->Data();
            row.FieldByName(QStringLiteral("txDescUrlParte"))
                .SetValue(d->EF_DescUrlNodo->Text().trimmed());
            row.FieldByName(QStringLiteral("txUrlParte")).SetValue(d->EF_UrlNodo->Text().trimmed());
            row.FieldByName(QStringLiteral("flUrlParteAttiva"))
                .SetValue(d->CK_LinkWebNodoAttivo->isChecked() ? 1 : 0);
            record->Post(SessionInfo().sUserName, true);
            if (insert) {
                failing = QStringLiteral("Errore impostazione ordine nuovo inserimento (ERR.G23).");
                db->Query(SetOrdineNewNodoText(context));
            }
            db->CommitTrans();
            return true;
        } catch (const std::exception &e) {
            try {
                record->Cancel();
            } catch (const std::exception &) {
                // Read again below.
            }
            if (db->InTransaction())
                db->RollbackTrans();
            try {
                record->Open(DatiNodoText(context.sIdNodo, 70));
            } catch (const std::exception &) {
                // The next "Ok" reports it.
            }
            ShowDbError(failing, e);
            return false;
        }
    });
    const int result = dialog->Start(url);
    dialog.reset();
    record.reset();
    xTipoOp = coGENNone;
    if (result != 1) {
        TV_Dettagli->setFocus();
        return false;
    }
    sLastId = context.sIdNodo;
    ShowWait();
    const bool loaded = LoadProductDetails();
    BuildTree(loaded ? sLastId : QString());
    RequestPreview();
    return true;
}

void TDETTAGLI_PRODOTTO::AfterNodeSaved(bool changes)
{
    if (changes)
        bChanges = true;
    ShowWait();
    const bool loaded = LoadProductDetails();
    if (PAN_DatiNodo->isVisible())
        CloseNodePanel();
    BuildTree(loaded ? sLastId : QString());
    RequestPreview();
}

void TDETTAGLI_PRODOTTO::NodePanelOk()
{
    TDettProdNodePanel *panel = PAN_DatiNodo->CurrentPanel();
    if (!panel)
        return;
    PAN_DatiNodo->PB_Ok_Input->setEnabled(false);
    const bool saved = panel->Save(m_nodeContext);
    PAN_DatiNodo->PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    const TGENCurrentOp op = m_nodeContext.xTipoOp;
    const TCurrentNodeTipologia kind = m_nodeContext.xTipoNode;
    AfterNodeSaved(true);
    // A new data sheet or table goes on with its items.
    if (op != coGENModify && (kind == cnScheda || kind == cnParteTabella)) {
        if (TDettProdTreeItem *item = TV_Dettagli->FindTreeNode(sLastId)) {
            oCurrentDettProd = item->Node();
            OpenNodePanel(coGENModify, kind == cnScheda ? cnVoceScheda : cnParteVoceTabella);
        }
    }
}

void TDETTAGLI_PRODOTTO::PanelSaved(const QString &sIdToSelect)
{
    sLastId = sIdToSelect;
    AfterNodeSaved(true);
}

void TDETTAGLI_PRODOTTO::RestorePaneStates()
{
    // A preview built while a node is open in the data pane leaves the tree (and, for an
    // existing node or an item grid, the status bar) waiting for the panel.
    const bool open = PAN_DatiNodo->isVisible();
    const bool grid = xTipoNodeProcessing == cnVoceScheda
                      || xTipoNodeProcessing == cnParteVoceTabella;
    PAN_Dettagli->setEnabled(!open);
    PAN_Status->setEnabled(!(open && (xTipoOp == coGENModify || grid)));
}

void TDETTAGLI_PRODOTTO::CloseNodePanel()
{
    PAN_DatiNodo->PB_Ok_Input->setEnabled(true);
    if (TDettProdNodePanel *panel = PAN_DatiNodo->CurrentPanel())
        panel->Release();
    if (CK_PreviewProd->isChecked())
        SetPreviewPaneVisible(true);
    PAN_DatiNodo->ShowPanel(nullptr, QString());
    PAN_DatiNodo->hide();
    PAN_Dettagli->setEnabled(true);
    PAN_Status->setEnabled(true);
    xTipoOp = coGENNone;
    TV_Dettagli->setFocus();
}

// --- Live preview ---------------------------------------------------------------------------

bool TDETTAGLI_PRODOTTO::PreviewShown() const
{
    return !PAN_Preview->isHidden();
}

void TDETTAGLI_PRODOTTO::SetPreviewPaneVisible(bool visible)
{
    if (visible == PreviewShown())
        return;
    if (!visible) {
        PAN_Preview->hide();
        return;
    }
    // Back at the far left with its share of the width.
    const int total = qMax(1, SPT_Panes->width());
    PAN_Preview->show();
    QList<int> sizes = SPT_Panes->sizes();
    const int preview = RoundToInt(total * 0.4);
    if (sizes.size() == 3) {
        sizes[0] = preview;
        sizes[1] = qMax(100, total - preview - (PAN_DatiNodo->isVisible() ? sizes[2] : 0));
        SPT_Panes->setSizes(sizes);
    }
}

void TDETTAGLI_PRODOTTO::LoadPreviewSettings()
{
    const QString file = SessionInfo().sUserSettingsFile;
    const QString section = QStringLiteral("SETTINGS");
    auto read = [&](const char *key, bool fallback) {
        const QString v = IniReadText(section, QLatin1String(key), QLatin1String(kIniAbsent), file);
        if (v == QLatin1String(kIniAbsent))
            return fallback;
        return v == QLatin1String(kIniYes);
    };
    m_loadingSettings = true;
    {
        const QSignalBlocker icons(CK_PreviewShowIcons);
        const QSignalBlocker images(CK_PreviewShowImages);
        const QSignalBlocker prod(CK_PreviewProd);
        CK_PreviewShowIcons->setChecked(read(kKeyPreviewShowIcons, true));
        CK_PreviewShowImages->setChecked(read(kKeyPreviewShowImages, false));
        CK_PreviewProd->setChecked(read(kKeyPreviewProd, true));
    }
    m_loadingSettings = false;
    CK_PreviewProdClick();
}

void TDETTAGLI_PRODOTTO::SavePreviewSettings()
{
    const QString file = SessionInfo().sUserSettingsFile;
    if (file.isEmpty())
        return;
    const QString section = QStringLiteral("SETTINGS");
    IniWriteFlag(section, QLatin1String(kKeyPreviewProd), CK_PreviewProd->isChecked(), file);
    IniWriteFlag(section,
                 QLatin1String(kKeyPreviewShowIcons),
                 CK_PreviewShowIcons->isChecked(),
                 file);
    IniWriteFlag(section,
                 QLatin1String(kKeyPreviewShowImages),
                 CK_PreviewShowImages->isChecked(),
                 file);
}

void TDETTAGLI_PRODOTTO::CK_PreviewProdClick()
{
    const bool on = CK_PreviewProd->isChecked();
    CK_PreviewShowIcons->setVisible(on);
    CK_PreviewShowImages->setVisible(on);
    if (on) {
        if (!PreviewShown()) {
            SetPreviewPaneVisible(true);
            RequestPreview(kOptionDelayMs, QLatin1String(kRunPreview));
        }
    } else {
        TM_Preview->stop();
        m_previewCommand.clear();
        if (PreviewShown())
            SetPreviewPaneVisible(false);
        PAN_Preview->DestroyViewer();
    }
    SavePreviewSettings();
    TV_Dettagli->setFocus();
}

void TDETTAGLI_PRODOTTO::CK_PreviewShowIconsClick()
{
    if (m_loadingSettings)
        return;
    SavePreviewSettings();
    TV_Dettagli->setFocus();
    if (PreviewShown())
        RequestPreview(kOptionDelayMs, QLatin1String(kRunPreview));
}

void TDETTAGLI_PRODOTTO::CK_PreviewShowImagesClick()
{
    if (m_loadingSettings)
        return;
    SavePreviewSettings();
    TV_Dettagli->setFocus();
    if (PreviewShown())
        RequestPreview(kOptionDelayMs, QLatin1String(kReloadAndRunPreview));
}

void TDETTAGLI_PRODOTTO::RequestPreview(int delayMs, const QString &command)
{
    if (!CK_PreviewProd->isChecked())
        return;
    // A pending reload is never given up for a plain build.
    if (m_previewCommand.sCommand != QLatin1String(kReloadAndRunPreview))
        m_previewCommand.sCommand = command;
    const int remaining = TM_Preview->isActive() ? TM_Preview->remainingTime() : delayMs;
    TM_Preview->start(qMin(remaining, delayMs));
}

bool TDETTAGLI_PRODOTTO::PreviewPending() const
{
    return TM_Preview->isActive();
}

void TDETTAGLI_PRODOTTO::RunPendingPreview()
{
    if (TM_Preview->isActive()) {
        TM_Preview->stop();
        PreviewTimerFired();
    }
}

void TDETTAGLI_PRODOTTO::PreviewTimerFired()
{
    const QString command = m_previewCommand.sCommand;
    m_previewCommand.clear();
    if (command == QLatin1String(kReloadAndRunPreview)) {
        // The rows again (the images flag changed), for the tree on screen: its collapsed
        // nodes stay recorded.
        const QSet<QString> collapsed = DST_TREE_Dettagli ? CollapsedRowIds(*DST_TREE_Dettagli)
                                                          : QSet<QString>();
        if (!LoadProductDetails())
            return;
        ApplyCollapsedRowIds(*DST_TREE_Dettagli, collapsed);
        TV_Dettagli->AttachRows(DST_TREE_Dettagli.get());
    }
    PreviewReportProdottoEx();
}

void TDETTAGLI_PRODOTTO::PreviewReportProdottoEx()
{
    TM_Preview->stop();
    m_previewCommand.clear();
    if (!CK_PreviewProd->isChecked() || m_previewBusy)
        return;
    if (!DST_TREE_Dettagli || !DST_RPT_Dettagli) {
        PAN_Preview->DestroyViewer();
        return;
    }
    m_previewBusy = true;
    const QDateTime start = QDateTime::currentDateTime();
    const bool debug = DebugPaneShown();
    PAN_Preview->DestroyViewer();
    PAN_Status->setEnabled(false);
    PAN_Dettagli->setEnabled(false);
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(QStringLiteral("Preparazione anteprima in corso..."));
    QString failure;
    bool built = false;
    try {
        if (CK_PreviewShowImages->isChecked())
            FitNodeImagesForReport(nullptr, *DST_TREE_Dettagli, false);
        TDataSet &preview = *DST_RPT_Dettagli;
        TDataSet &tree = *DST_TREE_Dettagli;
        const bool icons = CK_PreviewShowIcons->isChecked();
        const QString file = ExeFolderPath(
            QStringLiteral("Reports/FindSezione_")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmsszzz"))
            + QStringLiteral(".rtf"));
        built = PAN_Preview->Build(
            [&](TKRTCrystalReport &engine) {
                BindProductDetailPreview(engine, preview, tree, icons);
                if (debug)
                    AppendDebugLine(DebugTimingLine(QLatin1String(kClassName),
                                                    QStringLiteral("PreviewReportProdottoEx"),
                                                    start,
                                                    QDateTime::currentDateTime())
                                        .replace(QStringLiteral(", FINE: "),
                                                 QStringLiteral(", BEFORE SHOW : ")));
            },
            file,
            sLastId);
    } catch (const std::exception &e) {
        failure = ErrorText(e).trimmed();
    }
    if (!built) {
        // The preview cannot be made: it is switched off (the engine has already told the
        // operator about a missing report file).
        HideWait();
        if (!failure.isEmpty())
            ShowErrorBox(QStringLiteral("Errore (") + failure + QLatin1Char(')'));
        RestorePaneStates();
        m_previewBusy = false;
        CK_PreviewProd->setChecked(false);
        CK_PreviewProdClick();
        return;
    }
    PAN_Preview->SetZoomIndex(1);
    PAN_Preview->AssignPreviewPages(TV_Dettagli);
    RestorePaneStates();
    if (!PAN_DatiNodo->isVisible())
        TV_Dettagli->setFocus();
    HideWait();
    if (debug)
        AppendDebugLine(DebugTimingLine(QLatin1String(kClassName),
                                        QStringLiteral("PreviewReportProdottoEx"),
                                        start,
                                        QDateTime::currentDateTime())
                            .replace(QStringLiteral(", FINE: "), QStringLiteral(", FINE SHOW: ")));
    m_previewBusy = false;
}

void TDETTAGLI_PRODOTTO::TreeSelectionChanged(TVRLDettProd *node)
{
    if (CK_PreviewProd->isChecked())
        PAN_Preview->FollowNode(node);
}

// --- Closing and placing --------------------------------------------------------------------

void TDETTAGLI_PRODOTTO::SegueListini()
{
    PB_Segue_Listini->setProperty(kTag, kSegueListiniTag);
    if (!close())
        PB_Segue_Listini->setProperty(kTag, 0);
}

void TDETTAGLI_PRODOTTO::closeEvent(QCloseEvent *event)
{
    if (!PAN_Dettagli->isEnabled()) {
        // A node is open in the data pane (or the preview is being made).
        PB_Segue_Listini->setProperty(kTag, 0);
        event->ignore();
        return;
    }
    TM_Preview->stop();
    TDettProdClosing outcome;
    outcome.sIdProdotto = sIdProdotto;
    outcome.bChanges = bChanges;
    outcome.bFromPreventivi = bFromPreventivi;
    outcome.bSegueListini = PB_Segue_Listini->property(kTag).toInt() == kSegueListiniTag;
    oMovingDettProd.reset();
    event->accept();
    emit Closed(outcome);
    // The product list that opened the editor re-extracts, selects the product or goes on to
    // its price lists.
    ProductListAfterDetails(this, outcome.sIdProdotto, outcome.bChanges, outcome.bSegueListini);
}

void TDETTAGLI_PRODOTTO::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    PlaceFirstTime();
}

void TDETTAGLI_PRODOTTO::PlaceFirstTime()
{
    QWidget *frame = this;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame = sub;
    PlaceChildFirstTime(this, 0.9, 0.95, 0.7);
    const int total = SPT_Panes->width() > 0 ? SPT_Panes->width() : frame->width();
    const int preview = RoundToInt(total * 0.4);
    SPT_Panes->setSizes({preview, total - preview, kDataPaneWidth});
    TV_Dettagli->CenterSelection();
}

TDETTAGLI_PRODOTTO *OpenDettagliProdotto(QWidget *opener,
                                         bool bFromPreventivi,
                                         const QString &sIdProdotto,
                                         const QString &sCodProdotto,
                                         const QString &sDescProdotto,
                                         bool bAttivo)
{
    QWidget *window = OpenChildWindow(
        QLatin1String(TDETTAGLI_PRODOTTO::kFormName),
        MdiAreaOf(opener),
        [](QWidget *parent) { return new TDETTAGLI_PRODOTTO(parent); },
        [&](QWidget *created) {
            static_cast<TDETTAGLI_PRODOTTO *>(created)->Start(bFromPreventivi,
                                                              sIdProdotto,
                                                              sCodProdotto,
                                                              sDescProdotto,
                                                              bAttivo);
        });
    return qobject_cast<TDETTAGLI_PRODOTTO *>(window);
}
