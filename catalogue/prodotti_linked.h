#pragma once

// "Prodotti collegati": the ordered links of one product to other catalogue products
// (accessories, services, documentation that belong with it).
//
// On the left a search for candidates: the catalogue, a text searched in the descriptions and
// codes of products and price lists, "Ordina più recenti", "Non utilizzati in preventivi" and
// the kinds of product, kept in the per-operator settings file (FrmProdLinked_...); "Aggiungi
// ai collegati" links the current candidate. On the right the linked list: a row is dragged to
// a new position, "Rimuovi dai collegati" removes the current link, "Il prodotto è un
// accessorio" marks it, "Prodotto selezionato" previews it. The database keeps the positions
// 1..n and returns the whole list after every change, which the window shows as it is.
//
// Opened by the product list, one at a time, with Start(product id, description,
// documentation flag); a documentation product is linked to documentation only.

#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSplitter;
class TCatalogueCombo;
class TDataSet;
class TKRTGrid;
class TKRTLabelEdit;
class TLinkedGrid;
class TListData;
class TListPane;
class TVIEW_REPORT;

class TPRODOTTI_LINKED : public QWidget
{
    Q_OBJECT

public:
    explicit TPRODOTTI_LINKED(QWidget *parent = nullptr);
    ~TPRODOTTI_LINKED() override;

    // The catalogues offered: the current ones (and every catalogue) or the previous ones, as
    // the product list shows them; the first one chosen. Called before Start.
    void ShowCatalogues(bool bCataloghiAttuali);
    // The product whose links are shown: the filters are read back, the documentation rule
    // applied and the links read.
    void Start(const QString &sIdProdottoLista,
               const QString &sDescProdotto,
               bool bDocumentazioneLista);

    QString IdProdotto() const { return sIdProdotto; }
    bool CreationFailed() const { return m_creationFailed; }
    TDataSet *DST_GRID_Prodotti() const;
    TListData *Candidates() const;

    // --- Commands ------------------------------------------------------------------------------
    void PB_EstraiElencoClick();     // the candidate search
    void PB_AzzeraFiltriClick();     // "Azzera filtri"
    void PB_AggiungiClick();         // "Aggiungi ai collegati"
    void PB_RimuoviClick();          // "Rimuovi dai collegati"
    void PB_StampaClick();           // "Prodotto selezionato": preview of the current link
    void MoveLink(int from, int to); // a link dragged from one position to another
    void CK_AccessorioClick();       // the operator toggled "Il prodotto è un accessorio"
    // The preview of a product's print; nullptr when it could not be shown (reported).
    TVIEW_REPORT *PreviewProduct(const QString &sIdProdottoPreview);

    // --- Controls ------------------------------------------------------------------------------
    TCatalogueCombo *DCB_Find_Fornitore = nullptr; // Owned (child).
    TKRTLabelEdit *EF_Find_DescProdotto = nullptr; // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;    // Owned (child).
    QCheckBox *CK_Find_NotUsedInPrev = nullptr;    // Owned (child).
    QCheckBox *CK_Find_Prodotti = nullptr;         // Owned (child).
    QCheckBox *CK_Find_Accessori = nullptr;        // Owned (child).
    QCheckBox *CK_Find_Documentazioni = nullptr;   // Owned (child).
    QPushButton *PB_EstraiElenco = nullptr;        // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;        // Owned (child).
    TKRTGrid *DG_Prodotti = nullptr;               // Owned (child).
    QPushButton *PB_Aggiungi = nullptr;            // Owned (child).
    QLabel *PAN_NuLinked = nullptr;                // Owned (child).
    TLinkedGrid *SG_Linked = nullptr;              // Owned (child).
    QCheckBox *CK_Accessorio = nullptr;            // Owned (child).
    QLabel *SF_Accessorio = nullptr;               // Owned (child).
    QPushButton *PB_Rimuovi = nullptr;             // Owned (child).
    QPushButton *PB_Stampa = nullptr;              // Owned (child).

Q_SIGNALS:
    // The window closes after links were added or removed: the product list re-reads its rows
    // selecting the product.
    void LinksChanged(const QString &sIdProdotto);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildSearch(QWidget *parent);
    void BuildLinked(QWidget *parent);
    void BindSettings();
    QString CandidateCommand() const;
    QString CandidateSort() const;
    // Runs a command that returns the linked rows and shows them; the link of selectId (or the
    // first one) becomes current. Raises the command's failure for the caller to report.
    void LoadLinked(const QString &commandText, const QString &selectId);
    void ShowCurrentFlag();
    void ReadLinksAgain(const QString &selectId);
    void BuildCandidateMenu(TListData &list);
    void PlaceFirstTime();
    void ApplyDocumentationRule();
    // The filters as "Azzera filtri" leaves them: the first catalogue, no text, the most recent
    // first, used products too, every kind.
    void ResetFilters();

    QString sIdProdotto;
    bool bDocumentazione = false;
    bool bChanges = false;    // links were added or removed since the window opened
    bool m_reloading = false; // programmatic changes of the accessory box are not the user's
    bool m_creationFailed = false;
    bool m_firstShown = false;
    TListPane *m_pane = nullptr;     // Owned (child).
    QSplitter *SPT_Linked = nullptr; // Owned (child).
    std::unique_ptr<TDataSet> m_catalogues;
};
