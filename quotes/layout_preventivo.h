#pragma once

// "Layout del preventivo": the quote as the customer receives it. The operator chooses one of
// the company's layouts (with its sample picture), sees the whole document in the preview and
// either keeps it as the final print ("Seleziona Layout"), from which the PDF is saved and the
// cloud export starts, or customises it ("Modifica Layout "): the layout tree lists the
// products, data sheets, paragraphs and sub-paragraphs with their print options (page break
// before, keep together), each set at once in the database; the preview is rebuilt on
// "Aggiorna layout". Selecting a node turns the preview to its page.
//
// One window at a time, opened by the quote list (OpenQuoteLayout) and started again for
// another quote.

#include "quotes/layoutdocument.h"
#include "quotes/quoteopeners.h"

#include <QHash>
#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDataSet;
class TDettProdPreviewPane;
class TKRTGrid;
class TKRTViewReport;
class TVRLPrevParteLayout;

class TLAYOUT_PREVENTIVO : public QWidget, public TQuoteLayoutStarter, public TQuoteExportSource
{
    Q_OBJECT

public:
    explicit TLAYOUT_PREVENTIVO(QWidget *parent = nullptr);
    ~TLAYOUT_PREVENTIVO() override;

    void Start(const QString &sIdPreventivoLista,
               const QString &sIdSocietaLista,
               const QString &sDescOggettoLista,
               const QString &sNuPreventivoLista) override;

    // For the cloud folder window: the preview whose pages become the exported PDF (nullptr
    // without one), and the export's news that the quote is now blocked, so that the quote
    // list extracts again when this window closes.
    TKRTViewReport *ExportPreview() override;
    void ReloadExportedQuote() override;

    // Window operations.
    void LoadLayouts();
    void SelezionaLayout(); // "Seleziona Layout": the final print
    void ModificaLayout();  // "Modifica Layout ": customising, with the tree
    bool EstraiLayOut(const QString &txCodLayout);
    void BuildLayoutTree();
    bool PreviewReportLayout(bool bFinal);
    void AssignLayoutPages();
    void AggiornaLayout();
    void CreaPdf();
    void GestioneFolderPrev();
    void SaveLayoutImage(); // "jpg clipb"
    // Print options of the node under the last right click.
    void ChangeParteUnita();
    void ChangeSaltoPaginaNodo();
    // Opens the tree's menu for a node as a right click does (nullptr: the current item).
    QMenu *OpenTreeMenu(QTreeWidgetItem *item, const QPoint &globalPos);

    // The caption of a tree row (a row of DST_TREE_Dettagli).
    static QString NodeCaption(TDataSet &row);
    // The page of a node in the customising export's text: the three characters four places
    // before its line id immediately followed by its node id; 0 when absent.
    static int PageOfNode(const QString &text,
                          const QString &sIdPreventivoDet,
                          const QString &sIdNodo);

    // State.
    QString sIdPreventivo;
    QString sIdSocieta;
    QString sDescPreventivo;
    QString sNuPreventivo;
    bool bAggiornaLayoutVisible = false;
    bool bAggiornaPreventivo = false;
    bool bLayoutBuilt = false;
    std::unique_ptr<TVRLPrevParteLayout> oCurrentDettProd; // copy of the node right-clicked
    QString sLASTIdParent;
    QString sLASTIdNodo;
    QString sPathPdfFile;
    TLayoutChoice xLayout; // the layout of the last build
    TLayoutDocument xDoc;
    std::unique_ptr<TDataSet> DST_GRID_Layouts;

    // Controls (owned, children).
    TKRTGrid *DG_Layouts = nullptr;
    QLabel *IMG_Layout = nullptr;
    QPushButton *PB_Select_Layout = nullptr;
    QPushButton *PB_Modify_Layout = nullptr;
    QPushButton *PB_Gestione_FolderPrev = nullptr;
    QPushButton *PB_SaveJPG = nullptr;
    QPushButton *PB_CreaPDF = nullptr;
    QCheckBox *TS_TipoPreview = nullptr; // on: final print; hidden
    QFrame *PAN_Layouts = nullptr;
    QFrame *PAN_Tree = nullptr;
    QTreeWidget *TV_Dettagli = nullptr;
    QLabel *SF_LegendaMU = nullptr;
    QLabel *SF_LegendaSP = nullptr;
    TDettProdPreviewPane *PAN_Preview = nullptr;
    QLabel *PAN_Wait = nullptr;
    QMenu *PMNU_Funzioni_Tree = nullptr;
    QAction *MNU_MantieniUnitoSottop = nullptr;
    QAction *MNU_NewPageBefore = nullptr;
    QAction *MNU_AggiornaLayout = nullptr;

    bool IsFinalMode() const;
    TVRLPrevParteLayout *NodeOf(QTreeWidgetItem *item) const;
    QTreeWidgetItem *FindItem(const QString &sIdPreventivoDet, const QString &sIdNodo) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void CurrentLayoutChanged();
    void ShowWaitText(const QString &text);
    void HideWait();
    void ShowTree(bool visible);
    void BuildLayout(bool bFinal);
    void ToggleOption(bool bSalto);
    void TreeSelectionChanged();
    void SelectNode(const QString &sIdPreventivoDet, const QString &sIdNodo);
    void ContextMenuRequested(const QPoint &pos);

    std::vector<std::unique_ptr<TVRLPrevParteLayout>> m_nodes; // one per tree item
    QHash<QTreeWidgetItem *, TVRLPrevParteLayout *> m_nodeOfItem;
    bool m_building = false;
};
