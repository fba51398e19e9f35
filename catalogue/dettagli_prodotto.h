#pragma once

// "Dettagli del prodotto": the structure editor of one catalogue product. Three panes side by
// side: the live preview of the product as it prints (left), the tree of its data sheets and
// paragraphs (middle) and the node data pane (right, shown while a node is created or
// modified). The tree's context menu enables and disables, deletes, moves (select, then put
// before, after or under a target; Alt+Up and Alt+Down), merges sub-paragraphs and marks a
// data sheet or paragraph for copying into another product. Every operation is one database
// function that answers the whole tree again; the tree then updates the nodes it shows and
// the preview is rebuilt once the tree is on screen.
//
// Opened by the product list with Start (one window at a time: OpenDettagliProdotto). When
// it closes it tells the product list what to do through Closed.

#include "catalogue/dettprodnodepane.h"
#include "common/tstd_asynctimerinfo.h"
#include "domain/vrldettprod.h"

#include <QMetaType>
#include <QSet>
#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QPushButton;
class QSplitter;
class QTimer;
class TDataSet;
class TDettProdPreviewPane;
class TDettProdTree;
class TKRTPopupMenu;

// What the product list does when the editor closes.
struct TDettProdClosing
{
    QString sIdProdotto;
    bool bChanges = false;        // something was saved
    bool bFromPreventivi = false; // the product list was opened by a quote
    bool bSegueListini = false;   // ">> Listini": open the product's price lists
};
Q_DECLARE_METATYPE(TDettProdClosing)

class TDETTAGLI_PRODOTTO : public QWidget
{
    Q_OBJECT

public:
    explicit TDETTAGLI_PRODOTTO(QWidget *parent = nullptr);
    ~TDETTAGLI_PRODOTTO() override;

    static constexpr const char *kFormName = "DETTAGLI_PRODOTTO";
    static constexpr int kSegueListiniTag = 12345;

    // Called by the product list right after creating the window: remembers the product, sets
    // the caption, restores the preview options, loads the rows, builds the tree with the root
    // selected and has the preview built.
    void Start(bool bFromPreventiviLista,
               const QString &sIdProdottoLista,
               const QString &sCodProdottoLista,
               const QString &sDescProdottoLista,
               bool bAttivo);

    // Node data pane: one panel per node kind (the pane owns them).
    void AddNodePanel(TCurrentNodeTipologia kind, TDettProdNodePanel *panel);
    // Opens the panel of the kind for the operation on the current node. False when the kind
    // has no panel (the operator is told) or the panel refused to open.
    bool OpenNodePanel(TGENCurrentOp op, TCurrentNodeTipologia kind);
    // "Aggiungi un sottoparagrafo senza testo": a sub-paragraph with the defaults, saved at
    // once without showing its panel.
    bool AddEmptySubParagraph();
    // "Patch01": the administrators' repair of every text's rich text.
    void Patch01();
    // What the open panel was opened for.
    const TDettProdNodeContext &NodeContext() const { return m_nodeContext; }
    // "Aggiungi un link web" and "Modifica" on a web link: the modal web link editor, then the
    // node saved.
    bool EditWebLink(TGENCurrentOp op);
    // Where a new node of the kind goes from the current node: its parent and, for an
    // insert-between, the reference parent, position and sub-position.
    void PlaceNewNode(TDettProdNodeContext &context) const;
    // Images of the sub-paragraph in the tree rows.
    int CountImages(const QString &sIdParte) const;

    // Node operations on oCurrentDettProd (the context menu's entries).
    void EnableDisableNode();
    void DeleteNode();
    void MergeNode();
    void StartMove();
    void EndMoveAppend();
    void EndMoveInsert(bool after);
    void CancelMove();
    void MarkForDuplicate();

    // Builds the context menu for a node (the entries it offers in the current state); the
    // right click shows it. Returns false (and shows nothing) when the node has no record.
    bool PrepareTreeMenu(TVRLDettProd *node);
    // The menu's entries by name (MNU_...), whether offered now or not.
    QAction *MenuAction(const QString &name) const;

    // Loading the rows: the tree rows and the preview rows of a node function. False after a
    // failure (reported, rows gone).
    bool PrepareRecordsets(const QString &commandText);
    bool LoadProductDetails();
    void BuildTree(const QString &sIdToSelect);

    // The preview: built now, or deferred to the event loop (after the tree is painted), or
    // after the options' delay. A newer request replaces a pending one.
    void PreviewReportProdottoEx();
    void RequestPreview(int delayMs = 0, const QString &command = QStringLiteral("RUNPREVIEW"));
    bool PreviewPending() const;
    // Runs a pending preview command at once.
    void RunPendingPreview();

    // State (the names the database and the product list know).
    std::unique_ptr<TDataSet> DST_TREE_Dettagli;
    std::unique_ptr<TDataSet> DST_RPT_Dettagli;
    TGENCurrentOp xTipoOp = coGENNone;
    TCurrentNodeTipologia xTipoNodeProcessing = cnProdotto;
    int iTipologiaNodo = 0;
    QString sIdProdotto;
    QString sCodProdotto;
    QString sDescProdotto;
    bool bProdottoAttivo = true;
    bool bFromPreventivi = false;
    QString sLastId;
    TVRLDettProd *oCurrentDettProd = nullptr;      // Not owned: a node of the tree.
    std::unique_ptr<TVRLDettProd> oMovingDettProd; // snapshot of the moving node
    bool bChanges = false;
    bool bTreeKeys = false;

    // Controls.
    TDettProdPreviewPane *PAN_Preview = nullptr;     // Owned (child).
    QFrame *PAN_Dettagli = nullptr;                  // Owned (child).
    TDettProdTree *TV_Dettagli = nullptr;            // Owned (child).
    TDettProdNodePane *PAN_DatiNodo = nullptr;       // Owned (child).
    QSplitter *SPT_Panes = nullptr;                  // Owned (child).
    QFrame *PAN_Status = nullptr;                    // Owned (child).
    QPushButton *PB_Tree_MostraTutto = nullptr;      // Owned (child).
    QPushButton *PB_Tree_ChiudiSchede = nullptr;     // Owned (child).
    QPushButton *PB_Tree_ChiudiComponenti = nullptr; // Owned (child).
    QPushButton *PB_Tree_ChiudiParti = nullptr;      // Owned (child).
    QCheckBox *CK_PreviewProd = nullptr;             // Owned (child).
    QCheckBox *CK_PreviewShowIcons = nullptr;        // Owned (child).
    QCheckBox *CK_PreviewShowImages = nullptr;       // Owned (child).
    QPushButton *PB_Segue_Listini = nullptr;         // Owned (child).
    QPushButton *PB_Patch = nullptr;                 // Owned (child): administrators only.
    TKRTPopupMenu *PMNU_Funzioni_Tree = nullptr;     // Owned (child).

    // The images flag of the node functions ("Mostra immagini ").
    bool ImagesFlag() const;

signals:
    // The window is closing (after the closing rules allowed it).
    void Closed(const TDettProdClosing &outcome);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildPanes();
    void BuildStatusBar();
    void BuildMenu();
    QAction *AddMenuAction(const char *name, const QString &caption, bool bold, int iconIndex = -1);
    void TreeContextMenu(const QPoint &pos);
    void TreeKey(QKeyEvent *event);
    void KeyboardMove(bool down);
    void PlaceFirstTime();

    // An operation on the node ended in a failure of the node function: the product is
    // reloaded, any move ends, and the operator is told.
    void RecoverAfterFailure();
    void FinishOperation(const QString &sIdToSelect);
    void ShowWait();
    void HideWait();
    bool PreviewShown() const;

    void LoadPreviewSettings();
    void SavePreviewSettings();
    void CK_PreviewProdClick();
    void CK_PreviewShowIconsClick();
    void CK_PreviewShowImagesClick();
    void PreviewTimerFired();
    void TreeSelectionChanged(TVRLDettProd *node);
    void SetPreviewPaneVisible(bool visible);
    void CloseNodePanel();
    void RestorePaneStates();
    void NodePanelOk();
    bool PrepareNodeContext(TGENCurrentOp op, TCurrentNodeTipologia kind);
    void AfterNodeSaved(bool changes);
    void PanelSaved(const QString &sIdToSelect);
    void SegueListini();

    TDettProdNodeContext m_nodeContext;
    QSet<QString> m_parkedCollapsed;
    bool m_parked = false;
    bool m_loadingSettings = false;
    bool m_firstShown = false;
    bool m_previewBusy = false;
    QTimer *TM_Preview = nullptr; // Owned (child): the deferred preview command.
    TSTDAsyncTimerInfo m_previewCommand;
    QHash<QString, QAction *> m_actions; // Not owned: children of the window.
};

// Opens the structure editor for a product from the product list (opener): the one open
// editor is brought to the front instead, without Start; otherwise a new editor becomes an
// MDI child next to the opener (a window of its own without an MDI area) and is started.
// Returns the editor.
TDETTAGLI_PRODOTTO *OpenDettagliProdotto(QWidget *opener,
                                         bool bFromPreventivi,
                                         const QString &sIdProdotto,
                                         const QString &sCodProdotto,
                                         const QString &sDescProdotto,
                                         bool bAttivo);
