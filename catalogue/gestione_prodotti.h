#pragma once

// "Gestione prodotti": the products of the catalogue listed, filtered by catalogue, text,
// usage in quotes and kind; created, viewed, changed (with the cover image), duplicated,
// deactivated, reactivated and deleted; the entry to a product's structure, price lists,
// linked products and print preview; and the end of a copy of a data sheet or paragraph into
// another product started in the structure editor.
//
// The launcher opens one such window ("GESTIONE_PRODOTTI"). The quote lines editor opens a
// new one for the product of a quote line with Start(sIdProdotto): the filters are hidden,
// the menu is reduced, a saved change closes the window, and OnClosedFromQuote runs when it
// closes (the quote reloads its lines).

#include "catalogue/productimagerepair.h"
#include "masterdata/listwindow.h"

#include <functional>
#include <memory>

class TDataSet;
class TEditableRecord;
class TKRTGrid;
struct TKRTDrawCellArgs;
class TProductFilters;
class TProductInputPanel;

class TGESTIONE_PRODOTTI : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_PRODOTTI(QWidget *parent = nullptr);
    ~TGESTIONE_PRODOTTI() override;

    // For the quote lines editor: this product alone, in a window of its own.
    void Start(const QString &sIdProdotto);
    // Runs when a window opened with Start closes.
    std::function<void()> OnClosedFromQuote;

    TDataSet *DST_GRID_Prodotti() const;
    TDataSet *DST_Fornitori() const { return m_catalogues.get(); }
    TDataSet *DST_Find_Fornitori() const { return m_filterCatalogues.get(); }

    // --- Commands of the buttons and of the user menu --------------------------------------
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void NewProductInput();
    void OpenProductInput(bool bReadOnly);
    // "Ok" (segueDettaglio false) and ">> Dettaglio".
    void SaveProduct(bool segueDettaglio);
    void PB_Annulla_InputClick();
    void DettagliProdotto();
    void ProdottiCollegati();
    void ListiniProdotto();
    void DuplicaProdotto();
    void CambiaStatoProdotto(bool reactivate);
    void EliminaProdotto();
    void InfoSupplementari();
    void AnteprimaStampaProdotto();
    void CopiaIdInClipboard();
    // The pending copy of a data sheet or paragraph into the selected product.
    void CompletaCopiaInAltroProdotto();
    void AnnullaCopiaInCorso();
    // The administrators' repairs ("Patch01", "01 B", "Patch02").
    void RepairImages(TImageRepair repair);

    int iSegueToListini = 0; // 12345: open the price lists after the next extraction
    bool bFromPreventivi = false;
    bool bCataloghiAttuali = true;
    bool bEsistonoSoloCataloghiAttuali = false;

    TProductFilters *Filters = nullptr;      // Owned (child).
    TKRTGrid *DG_Prodotti = nullptr;         // Owned (child).
    TProductInputPanel *PAN_Input = nullptr; // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void ResetFilters() override;
    void BuildMenu(TListData &list) override;
    void RecordReadAgain() override;
    void closeEvent(QCloseEvent *event) override;

private:
    // DatiProdotto, DatiImagesProdotto and DatiImagesProdottoPreview of the product; a failure
    // is reported with errorMessage and ends the operation.
    bool OpenProductRecords(const QString &id, const QString &errorMessage);
    void OpenImageRecords(const QString &id);
    void CloseProductRecords();
    // "EXEC CheckCodProdotto ...": true when the save may go on.
    bool CheckProductCode();
    // Posts the cover (imgImage) and its preview; inside the save's transaction.
    void PostCover(const QByteArray &cover);
    // Leaves the input panel for the list; the filters stay hidden for a quote.
    void BackToList();
    // Opens (or brings to the front) one of the windows of a product.
    QWidget *OpenProductWindow(const QString &name, const std::function<void(QWidget *)> &start);

    std::unique_ptr<TDataSet> m_catalogues;       // DST_Fornitori
    std::unique_ptr<TDataSet> m_filterCatalogues; // DST_Find_Fornitori
    std::unique_ptr<TEditableRecord> m_image;     // DST_Prodotto_Image
    std::unique_ptr<TEditableRecord> m_preview;   // DST_Prodotto_Preview
    QString m_startId;                            // the quote's product
};

// A flag of a product grid's row (0 when the column or its value is missing).
int ProductFlagAt(const TDataSet &ds, int row, const QString &field);
// The status text of a product grid: " N° prodotti: 20, accessori: 6, documentazioni: 4 ",
// each part only when above 0.
QString ProductCounts(TDataSet &ds);
// The colours of a product grid's row by kind: documentation purple, accessory blue, both bold
// (an accessory wins). The grids mark an inactive product each in their own way afterwards.
void ColourProductKind(const TDataSet &ds, int row, TKRTDrawCellArgs &args);
// "Copia Id in clipboard" of the product grids: the product, the quote lines that use it, the
// orders made from those quotes.
QList<QStringList> ProductDeveloperQueries(const QString &idProdotto);
