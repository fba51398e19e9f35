#pragma once

// "Listino": the price lists of one product. A price list is a priced variant of the product
// with its own code, description, amount, ceiling of the commercial discount (a value or a
// percentage), its own quantity for each sub-paragraph and its own values for the items of the
// product's data sheets. Lists are created, changed, duplicated, deactivated and reactivated
// and deleted here; every saved change is passed on by the database to the open quotes that
// use the list.
//
// Three views take the place of one another in the window: the list (filtered in memory), the
// sub-paragraph quantities of the current list (a tree of paragraphs and sub-paragraphs) and
// the data-sheet values of the current list (the sheets and a grid of their items' values).
//
// Opened by the product list, one at a time, with Start(product id, description, documentation
// flag); a documentation product's lists have no amount and no discount ceiling.

#include "masterdata/listwindow.h"

#include <QPointer>

#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDataSet;
class TEditableRecordSet;
class TKRTGrid;
class TKRTLabelEdit;
class TRadioGroup;
class TSheetValueGrid;
class TVRLDettProd;

class TPRODOTTO_LISTINO : public TListWindow
{
    Q_OBJECT

public:
    explicit TPRODOTTO_LISTINO(QWidget *parent = nullptr);
    ~TPRODOTTO_LISTINO() override;

    // The product whose lists are managed: its id, its description (shown in the title) and
    // whether it is a documentation. Reads the lists and shows them.
    Q_INVOKABLE void Start(const QString &sIdProdottoLista,
                           const QString &sDescProdottoLista,
                           bool bProdDocumentazione);

    TDataSet *DST_GRID_Listini() const;
    QString IdProdotto() const { return m_sIdProdotto; }
    // A part quantity or data-sheet value was saved since the list was last read.
    bool bChanges = false;

    // --- Commands of the menu and of the buttons -------------------------------------------
    void NuovoListino();
    void ModificaListino();
    void DuplicaListino(bool andModify);
    void CambiaStatoListino(bool reactivate);
    void EliminaListino();
    void InfoSupplementari();
    void CopiaIdInClipboard();
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();
    void FilterChanged(); // a filter control changed: the list is filtered again

    // Sub-paragraph quantities of the current list.
    void GestioneQuantitaParti();
    // A right click on a node of the tree at pos (viewport coordinates): a sub-paragraph is
    // selected and its menu opens; nothing for the product and the paragraphs.
    void TV_DettagliContextMenu(const QPoint &pos);
    void ModificaSottoparagrafo(); // the selected sub-paragraph in the input panel
    void PB_InputQta_OkClick();
    void PB_InputQta_AnnullaClick();
    void PB_ChiudiPartiClick();

    // Data-sheet values of the current list.
    void GestioneValoriSchede();
    void PB_ModificaSchedaClick();
    void PB_EliminaSchedaClick();
    void PB_PulisciValoreClick();
    void PB_Ok_Input_SchedeClick();
    void PB_Annulla_Input_SchedeClick();
    void PB_ChiudiSchedeClick();

    // --- Controls --------------------------------------------------------------------------
    QCheckBox *CK_Find_UsedInPrev = nullptr;        // Owned (child).
    QCheckBox *CK_Find_IncludiCancellati = nullptr; // Owned (child).
    TKRTLabelEdit *EF_Find_CodListino = nullptr;    // Owned (child).
    TKRTLabelEdit *EF_Find_DescListino = nullptr;   // Owned (child).
    TRadioGroup *RG_Find_DescListino = nullptr;     // Owned (child).
    TKRTGrid *DG_Listini = nullptr;                 // Owned (child); made by Start.

    QFrame *PAN_Input = nullptr;               // Owned (child).
    QLabel *PAN_Desc_TipoOperazione = nullptr; // Owned (child).
    TKRTLabelEdit *EF_CodListino = nullptr;    // Owned (child).
    TKRTLabelEdit *EF_DescListino = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_Listino = nullptr;       // Owned (child).
    QFrame *PAN_Sconto = nullptr;              // Owned (child).
    TKRTLabelEdit *EF_MaxScontoVal = nullptr;  // Owned (child).
    TKRTLabelEdit *EF_MaxScontoPerc = nullptr; // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;        // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;   // Owned (child).

    QFrame *PAN_DatiParti = nullptr;            // Owned (child).
    QLabel *PAN_DescListinoParti = nullptr;     // Owned (child).
    QTreeWidget *TV_Dettagli = nullptr;         // Owned (child).
    QPushButton *PB_ChiudiParti = nullptr;      // Owned (child).
    QMenu *MNU_Parte = nullptr;                 // Owned (child).
    QFrame *PAN_Input_Parte = nullptr;          // Owned (child).
    QLabel *PAN_Desc_Parte = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_DescParteNodo = nullptr;  // Owned (child).
    TKRTLabelEdit *EF_NuQtaParteNodo = nullptr; // Owned (child).
    QPushButton *PB_InputQta_Ok = nullptr;      // Owned (child).
    QPushButton *PB_InputQta_Annulla = nullptr; // Owned (child).

    QFrame *PAN_DatiSchede = nullptr;               // Owned (child).
    QLabel *PAN_DescListinoSchede = nullptr;        // Owned (child).
    TKRTGrid *DG_Schede = nullptr;                  // Owned (child).
    TSheetValueGrid *SG_Scheda = nullptr;           // Owned (child).
    QPushButton *PB_ModificaScheda = nullptr;       // Owned (child).
    QPushButton *PB_EliminaScheda = nullptr;        // Owned (child).
    QPushButton *PB_ChiudiSchede = nullptr;         // Owned (child).
    QFrame *PAN_Operazione_Schede = nullptr;        // Owned (child).
    QPushButton *PB_Ok_Input_Schede = nullptr;      // Owned (child).
    QPushButton *PB_Annulla_Input_Schede = nullptr; // Owned (child).
    QPushButton *PB_PulisciValore = nullptr;        // Owned (child).

    // The node under the tree's last right click.
    TVRLDettProd *CurrentDettProd() const { return oCurrentDettProd.get(); }
    TDataSet *DST_Schede() const { return m_sheets.get(); }
    bool EditingValues() const { return m_editingValues; }

Q_SIGNALS:
    // The window closes after lists of the product changed: the product list re-reads its
    // rows selecting the product.
    void PriceListsChanged(const QString &sIdProdotto);

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void BuildMenu(TListData &list) override;
    void RecordReadAgain() override;
    QSizeF FirstPlacementShare() const override { return QSizeF(0.6, 0.8); }
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildFilters();
    void BuildInputPanel();
    void BuildPartsPanel();
    void BuildSheetsPanel();
    TListDefinition ListDefinition() const;
    QString FilterText() const;
    void SaveFilterSettings();
    // Reads the lists again positioned on sLastId; warns with the sentence when it is not
    // visible (empty: no warning). Returns whether it is visible.
    bool Reload(const QString &notVisibleSentence = QString());
    bool OpenList(const QString &id, const QString &errorMessage);
    void FillInput();
    void RunAction(const QString &progress, const QString &commandText);

    // Parts.
    bool PrepareRecordsets();
    void BuildPartsTree(const QString &selectId);
    QTreeWidgetItem *SelectedPartItem() const;
    void ShowParts();

    // Sheets.
    bool LoadSheets(const QString &keepSheet);
    void ShowSheetItems();
    void SetValuesEditing(bool on);
    QString CurrentSheetId() const;

    QString m_sIdProdotto;
    QString m_sDescProdotto;
    bool m_bDocumentazione = false;
    bool m_started = false;
    bool m_anyChange = false; // something of the product's lists was saved while open
    QString m_sIdListino;     // the list whose parts or values are shown
    QString m_sDescListino;
    QString m_sortText;   // the list's sort, kept over reloads
    int m_descWidth = -1; // the description column's width, kept over reloads
    bool m_settingsRead = false;

    std::unique_ptr<TVRLDettProd> oCurrentDettProd;
    std::vector<std::unique_ptr<TVRLDettProd>> m_nodes; // one per node of TV_Dettagli
    std::unique_ptr<TDataSet> m_parts;                  // EstraiCompPartiListinoQta
    QString m_sTxStato;                                 // DatiListinoParteComp's state

    std::unique_ptr<TDataSet> m_sheets; // EstraiSchedeListinoValori, set 1
    std::unique_ptr<TDataSet> m_items;  // set 2
    class TSheetObserver;
    std::unique_ptr<TSheetObserver> m_sheetObserver;
    bool m_editingValues = false;
    QString m_shownSheet;
};
