#pragma once

// "Caricamento prodotti": the lines of one quote (or order). On the left the line grid and the
// properties of the selected line (kind, print flags, quantity); on the right either the
// catalogue search that adds products ("Prodotti") or the price panel of the selected line
// ("Listini"). Every change of a line is written at once: the kind, flags and quantity through
// the line's editable record, moves and removals through the line functions (which answer the
// lines again), the price through the record and UpdateChangeOfListino in one transaction.
//
// Opened by the quote list and by the order list through OpenQuoteLines (quotes/
// quoteopeners.h); an order's id stands for the quote's id in every call.

#include "db/dataset.h"
#include "quotes/quoteopeners.h"

#include <QImage>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class TCatalogueCombo;
class TDataSet;
class TKRTGrid;
class TKRTLabelEdit;
struct TPriceTexts;
class TKRTToggleSwitch;
class TVRLDettPrev;
struct TKRTDrawCellArgs;

// The line grid: one header (the grid's column titles) and one row per line, drawn by kind.
class TLineGrid : public QTableWidget
{
    Q_OBJECT

public:
    explicit TLineGrid(QWidget *parent = nullptr);
    // The lines shown, row by row (Not owned: the window's).
    std::vector<TVRLDettPrev *> Lines;
    QImage Placeholder; // IMG_NoFoto
    // The lines were replaced: words measured again, columns and rows fitted.
    void LinesChanged();
    // Column 2 takes what the other columns leave; in a narrow grid the cover and price
    // columns give up width first, so that the widest word of a description is never cut.
    // The rows follow when column 2 changes width.
    void FitColumns();
    // Row heights: 100 at least, or the wrapped description plus 2.
    void FitRows();
    // The widest single word of the descriptions, with the cell's insets.
    int WidestWord() const { return m_widestWord; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_widestWord = 0;
    int m_fittedWidth = -1; // column 2's width the rows were fitted to
};

class TDETTAGLI_PREVENTIVO : public QWidget, public TQuoteLinesStarter
{
    Q_OBJECT

public:
    explicit TDETTAGLI_PREVENTIVO(QWidget *parent = nullptr);
    ~TDETTAGLI_PREVENTIVO() override;

    static constexpr const char *kFormName = "DETTAGLI_PREVENTIVO";

    void Start(const QString &sIdPreventivoLista,
               const QString &sNuPreventivoLista,
               const QString &sDescOggettoLista) override;

    // Runs one of the three line functions and shows its rows, selecting the line with that
    // id (empty: the first). False after a failure (reported by the caller's message).
    bool EstraiDettagliPreventivo(const QString &sSql, const QString &sIdToPos);

    // --- Lines ----------------------------------------------------------------------------
    int LineCount() const { return int(m_lines.size()); }
    TVRLDettPrev *Line(int row) const; // 0-based grid row
    int CurrentRow() const;            // -1 when none
    TVRLDettPrev *CurrentLine() const;
    // The stored position (nuOrdinamento) of the line on that row.
    int Position(int row) const;
    void SelectRow(int row);

    // Operations on the selected line (the buttons and the grid).
    void MoveLine(int oldRow, int newRow); // rows 0-based; positions are sent
    void RemoveLine();
    void ShowQuantityInput();
    void ConfirmQuantity();
    void CancelQuantity();
    void OpenLineDetails();
    void OpenProductList();

    // --- Modes ----------------------------------------------------------------------------
    bool ListiniMode() const { return m_listini; }
    void ShowListini();
    void ShowProdotti();

    // --- Price panel ----------------------------------------------------------------------
    void FillPricePanel();
    void AmountTyped();
    void PercentTyped();
    void ValueTyped();
    void ChooseOtherList();
    void ConfirmOtherList();
    void CancelOtherList();
    void NoList();
    // "Conferma": false when refused or failed.
    bool ConfirmPrice();

    // --- Catalogue ------------------------------------------------------------------------
    // The catalogues read, the search filters restored and the first extraction made (once;
    // Start defers it until the lines are on screen).
    void StartCatalogue();
    void ExtractCatalogueProducts(bool withFilters);
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void SyncCatalogueProduct();
    void AddCatalogueProduct(bool accessory);
    void AddLinkedProducts();
    void ToggleLinked();
    void SelectAllLinked(bool selected);
    void ShowLinkedQuantityInput();
    // The linked grid's menu for the row under the cursor, and the entry chosen in it.
    void BuildLinkedMenu();
    void LinkedMenuChosen();
    // "Copia Id in clipboard" of the linked grid (developer mode).
    void CopyLinkedId();
    void ConfirmLinkedQuantity();
    void CancelLinkedQuantity();
    void ReadProductSearchFilters();
    void SaveProductSearchFilters();

    // The text of the question asked on closing, empty when none is due.
    QString ClosingQuestion() const;

    QString sIdPreventivo;
    QString sNuPreventivo;
    QString sDescOggetto;
    QString sLastIdProdotto;
    bool bBusy = false; // the program is filling the controls

    std::unique_ptr<TDataSet> DST_GRID_ProdottoListini;
    std::unique_ptr<TDataSet> DST_Find_Fornitori;
    std::unique_ptr<TDataSet> DST_GRID_Prodotti;
    std::unique_ptr<TDataSet> DST_GRID_ProdLinked;
    std::unique_ptr<TDataSet> DST_GRID_ProdList;

    // Left half.
    QFrame *PAN_Main_Preventivo = nullptr;
    TLineGrid *SG_Dettagli = nullptr;
    QLabel *SF_NuProdottiListini = nullptr;
    QFrame *PAN_Prodotto_Selezionato = nullptr;
    QRadioButton *RB_ProdottoPrincipale = nullptr;
    QRadioButton *RB_Accessorio = nullptr;
    QRadioButton *RB_Servizio = nullptr;
    QCheckBox *CK_DocInFondo = nullptr;
    QCheckBox *CK_ProdottoAttivo = nullptr;
    QFrame *PAN_Quantita = nullptr;
    TKRTLabelEdit *EF_Qta_Prod = nullptr;
    QPushButton *PB_Mod_Qta_Prod = nullptr;
    QPushButton *PB_Change_Aspetto_Prodotto = nullptr;
    QPushButton *PB_Remove_Prodotto = nullptr;
    QPushButton *PB_Print_Prodotto = nullptr;
    QPushButton *PB_Modify_Prodotto = nullptr;
    QFrame *PAN_Input_Quantita = nullptr;
    TKRTLabelEdit *EF_NuQuantita = nullptr;
    QPushButton *PB_InputQta_Ok = nullptr;
    QPushButton *PB_InputQta_Annulla = nullptr;
    QPushButton *PB_ShowProdotti = nullptr;
    QPushButton *PB_ShowListini = nullptr;
    QStackedWidget *PAN_Right = nullptr;

    // Price panel.
    QFrame *PAN_Main_Listini_Prodotto = nullptr;
    TKRTLabelEdit *EF_Listino_DescListino = nullptr;
    TKRTLabelEdit *EF_Listino_Listino = nullptr;
    TKRTLabelEdit *EF_Listino_MaxSC = nullptr;
    TKRTLabelEdit *EF_Listino_Importo = nullptr;
    QFrame *PAN_Sconto = nullptr;
    TKRTLabelEdit *EF_Listino_ScontoPerc = nullptr;
    TKRTLabelEdit *EF_Listino_ScontoVal = nullptr;
    TKRTGrid *DG_ProdottoListini = nullptr;
    TKRTLabelEdit *EF_Filter_Listini = nullptr;
    QPushButton *PB_Azzera_Filter_Listini = nullptr;
    QPushButton *PB_Listino_Sel_Elenco = nullptr;
    QPushButton *PB_Nessun_Listino = nullptr;
    QFrame *PAN_SelListino = nullptr;
    QPushButton *PB_Ok_SelListino = nullptr;
    QPushButton *PB_Annulla_SelListino = nullptr;
    QPushButton *PB_Listino_Ok_Input = nullptr;
    QString sListinoTag; // EF_Listino_Importo's tag: the chosen list (empty: none)

    // Catalogue search.
    QFrame *PAN_Main_Find_Prodotti = nullptr;
    TCatalogueCombo *DCB_Find_Fornitore = nullptr;
    TKRTToggleSwitch *TS_Cataloghi = nullptr;
    TKRTLabelEdit *EF_Find_DescProdotto = nullptr;
    QCheckBox *CK_Find_Prodotti = nullptr;
    QCheckBox *CK_Find_Accessori = nullptr;
    QCheckBox *CK_Find_Documentazioni = nullptr;
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;
    QPushButton *PB_EstraiElenco = nullptr;
    QPushButton *PB_AzzeraFiltri = nullptr;
    TKRTGrid *DG_Prodotti = nullptr;
    QPushButton *PB_Print_ProdSelezionato = nullptr;
    QPushButton *PB_Add_Prodotto = nullptr;
    QPushButton *PB_Add_Accessorio = nullptr;
    QFrame *PAN_Linked = nullptr;
    TKRTGrid *DG_ProdLinked = nullptr;
    QLabel *PAN_NuLinked = nullptr;
    QPushButton *PB_Add_ProdLinked = nullptr;
    QPushButton *PB_Select_All_Linked = nullptr;
    QPushButton *PB_Unselect_All_Linked = nullptr;
    QPushButton *PB_Mod_Quantity = nullptr;
    QPushButton *PB_Print_ProdLinked = nullptr;
    QFrame *PAN_Listini_Prodotti = nullptr;
    TKRTGrid *DG_ProdList = nullptr;
    TKRTLabelEdit *EF_Filter_Listino = nullptr;
    QPushButton *PB_Azzera_Filter_Listino = nullptr;
    QCheckBox *CK_Aggiungi_Anche_Listino = nullptr;
    QFrame *PAN_Input_QtaLinked = nullptr;
    TKRTLabelEdit *EF_NuQtaLinked = nullptr;
    QPushButton *PB_InputQtaLinked_Ok = nullptr;
    QPushButton *PB_InputQtaLinked_Annulla = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ApplyPriceRule(void (*rule)(double, TPriceTexts &), TKRTLabelEdit *typed);
    // The current product of the catalogue search changed.
    class TObserver : public TDataSetObserver
    {
    public:
        explicit TObserver(TDETTAGLI_PREVENTIVO *w)
            : m_w(w)
        {}
        void CurrentChanged() override { m_w->SyncCatalogueProduct(); }
        void DataSetReset() override { m_w->SyncCatalogueProduct(); }

    private:
        TDETTAGLI_PREVENTIVO *m_w; // Not owned: the owner.
    };
    void BuildLeft();
    void BuildPricePanel();
    void BuildCatalogue();
    void FillGrid(TDataSet &rows, const QString &sIdToPos);
    void UpdateCounts();
    void CurrentCellChanged(int row, int column, int prevRow, int prevColumn);
    void ShowProperties();
    void KindClicked(QRadioButton *which);
    void DocInFondoClicked();
    void ProdottoAttivoClicked();
    // Writes the line's kind, flags and quantity; what names the change in the failure text.
    bool SaveLine(TVRLDettPrev &line, const QString &what);
    bool WriteLineFlag(TVRLDettPrev &line, const QString &field, bool value, const QString &failure);
    void HeaderMoved(int logical, int oldVisual, int newVisual);
    void SetRightEnabled(bool on);
    // Price panel helpers.
    bool LoadProductLists(const TVRLDettPrev &line);
    void ShowCeiling(double maxSconto, double maxPerc);
    bool LocateChosenList();
    void ApplyListFilter();
    void ApplyCatalogueListFilter();
    // Catalogue helpers.
    void DrawCatalogueCell(TDataSet *ds, bool linked, TKRTDrawCellArgs &args);
    void UpdateLinkedCount();
    void ClearLinkedSelections(bool onlyShown);
    bool AddLine(const QString &idProdotto,
                 const QString &idListino,
                 double quantity,
                 bool accessory,
                 QString *newId);
    bool QuoteHasProduct(const QString &idProdotto) const;

    std::vector<std::unique_ptr<TVRLDettPrev>> m_lines;
    std::vector<int> m_positions;
    std::unique_ptr<TObserver> m_productObserver;
    bool m_listini = false;
    bool m_catalogueStarted = false;
    bool m_firstShown = false;
    QSplitter *SPT_Main = nullptr; // quote panel | right half
    bool m_productHasLists = false;
    int m_productListCount = 0;
};
