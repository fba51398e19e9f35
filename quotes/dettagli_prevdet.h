#pragma once

// "Dettagli del prodotto" of one quote line: the line's own copy of its product's tree, shown
// with the structure editor's tree (captions of its own for data-sheet items, paragraphs and
// images), where nodes are switched on and off, a data sheet's values and a sub-paragraph's
// description and quantity are changed, and the line is previewed as it prints. The quote
// lines editor opens a new window for the selected line each time.

#include "domain/vrldettprod.h"

#include <QHash>
#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSplitter;
class TDataSet;
class TDettProdPreviewPane;
class TDettProdTree;
class TKRTLabelEdit;
class TKRTPopupMenu;
class TSheetValueGrid;

class TDETTAGLI_PREVDET : public QWidget
{
    Q_OBJECT

public:
    explicit TDETTAGLI_PREVDET(QWidget *parent = nullptr);
    ~TDETTAGLI_PREVDET() override;

    void Start(const QString &sIdDetLista,
               const QString &sidProdListinoLista,
               bool bAttivo,
               const QString &sDescProdottoLista,
               const QString &sCodProdottoLista);

    // Loading the tree rows and report rows of a node function; false after a failure.
    bool PrepareRecordsets(const QString &commandText);
    void BuildTree(const QString &sIdToSelect);
    // The preview now (when "Anteprima prodotto" is on).
    void PreviewReport();

    // The context menu for a node; false (nothing shown) for a node without record.
    bool PrepareTreeMenu(TVRLDettProd *node);
    QAction *MenuAction(const QString &name) const;

    // Node operations on oCurrentDettProd.
    void EnableDisableNode();
    void OpenSheetEditor();
    void ConfirmSheet();
    void CancelSheet();
    void OpenPartEditor();
    void ConfirmPart();
    void CancelPart();
    void CopyId();

    QString sIdPreventivoDet;
    QString sidProdListino;
    QString sCodProdotto;
    QString sDescProdotto;
    bool bProdottoAttivo = true;
    TVRLDettProd *oCurrentDettProd = nullptr; // Not owned: a node of the tree.
    QString sLastId;
    QString sIdCurrentScheda;
    bool bChanges = false;
    std::unique_ptr<TDataSet> DST_TREE_Dettagli;
    std::unique_ptr<TDataSet> DST_RPT_Dettagli;
    std::unique_ptr<TDataSet> DST_Scheda_Valori;

    TDettProdTree *TV_Dettagli = nullptr;
    TDettProdPreviewPane *PAN_Preview = nullptr;
    QFrame *PAN_Status = nullptr;
    QCheckBox *CK_PreviewProd = nullptr;
    QCheckBox *CK_PreviewShowIcons = nullptr;
    QPushButton *PB_Tree_MostraTutto = nullptr;
    TKRTPopupMenu *PMNU_Funzioni_Tree = nullptr;
    QFrame *PAN_DatiScheda = nullptr;
    QLabel *PAN_DescScheda = nullptr;
    TSheetValueGrid *SG_Scheda = nullptr;
    QPushButton *PB_PulisciRiga = nullptr;
    QPushButton *PB_Ok_Input_Schede = nullptr;
    QPushButton *PB_Annulla_Input_Schede = nullptr;
    QFrame *PAN_Input_Parte = nullptr;
    TKRTLabelEdit *EF_DescParteNodo = nullptr;
    TKRTLabelEdit *EF_NuQtaParteNodo = nullptr;
    QPushButton *PB_InputQta_Ok = nullptr;
    QPushButton *PB_InputQta_Annulla = nullptr;
    // Builds of the preview so far (tests follow when it is rebuilt).
    int iPreviewBuilds = 0;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QAction *AddMenuAction(const char *name, const QString &caption);
    void TreeContextMenu(const QPoint &pos);
    void SetBrowsing(bool on);
    void LoadPreviewSettings();
    void SavePreviewSettings();
    void PreviewOptionChanged();
    void TreeSelectionChanged(TVRLDettProd *node);
    QString LoadCommand() const;

    QHash<QString, QAction *> m_actions; // Not owned: children of the window.
    bool m_loadingSettings = false;
    bool m_firstShown = false;
    QSplitter *SPT_Preview = nullptr; // preview | tree
};
