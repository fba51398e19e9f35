#pragma once

// "Anteprima stampa prodotto": the printed sheet of a catalogue product in the preview window,
// and the binding of the product reports for the windows that show them in a pane of their own
// (the structure editor's live preview).
//
// Data of the reports ("EXEC EstraiAllDettagliProdotto id, 0, 1, 1, 1, 1, 1"): 1 tree rows, the
// data of the subreports "DettProd_Scheda" and "DettProd_Componente"; 2 preview rows (one per
// data sheet or paragraph), the main data; 3 the product with its cover, "DettProd_Cover";
// 4 linked products, "DettProd_Linked"; 5 price lists, "DettProd_Listini".

#include <QString>
#include <QStringList>

#include <memory>

class QWidget;
class TDataSet;
class TKRTCrystalReport;
class TSTD_DBMODULE;
class TVIEW_REPORT;

// Report names, under the program folder.
inline constexpr const char *kProductPrintReport = "Reports\\pdprw00";
inline constexpr const char *kProductDetailPreviewReport = "Reports\\pdprwdet00";

// The five data sets of a product's print, as the database gives them (editable in memory:
// images are fitted into them before the report runs).
struct TProductPrintData
{
    std::unique_ptr<TDataSet> DST_RPT_AllDettagli; // tree rows, by nuOrderA..nuOrderD
    std::unique_ptr<TDataSet> DST_RPT_Dettagli;    // preview rows
    std::unique_ptr<TDataSet> DST_RPT_Prodotto;    // the product and its cover
    std::unique_ptr<TDataSet> DST_RPT_ProdLinked;  // linked products
    std::unique_ptr<TDataSet> DST_RPT_ProdListini; // active price lists

    TProductPrintData();
    ~TProductPrintData();
    TProductPrintData(TProductPrintData &&) noexcept;
    TProductPrintData &operator=(TProductPrintData &&) noexcept;
};

// "EXEC EstraiAllDettagliProdotto " + quoted id + ", 0, 1, 1, 1, 1, 1".
QString ProductPrintCommand(const QString &sIdProdotto);

// Reads the five sets and sorts the tree rows. Raises EDatabaseError (the window reports it as
// "Errore lettura dati per anteprima prodotto (ERR.F10).").
TProductPrintData ReadProductPrintData(TSTD_DBMODULE &db, const QString &sIdProdotto);

// Fills an engine for "Reports\pdprw00": report name, main data = preview rows, the five
// subreports, parameters "flShowCover" and "flShowIcons" ("SI"/"NO"). The data must outlive
// every Start of the engine.
void BindProductPrint(TKRTCrystalReport &engine,
                      TProductPrintData &data,
                      bool bShowCover = true,
                      bool bShowIcons = false);

// Fills an engine for the live preview "Reports\pdprwdet00": main data = preview rows,
// "DettProd_Scheda" and "DettProd_Componente" = tree rows, parameter "flShowIcons". Its
// rich-text export carries, for every node printed, the node's page as three digits, "|" and
// the node id (never visible on the page).
void BindProductDetailPreview(TKRTCrystalReport &engine,
                              TDataSet &previewRows,
                              TDataSet &treeRows,
                              bool bShowIcons);

// The whole "Anteprima stampa prodotto" of the product list: the preview window opens waiting
// ("Caricamento dati prodotto" / "in corso..."), the data are read, covers and node images are
// fitted, and the report is shown with its commands. Every failure is reported here (read
// error ERR.F10, a product without data sheets and paragraphs, a missing or faulty report
// file) and closes the preview; pictures that cannot be read are left out and listed in a
// warning. Returns the preview window, or nullptr when it was closed. The window owns the data
// and frees itself when closed.
// readError: the message of a failed read (the calling window's code).
TVIEW_REPORT *PrintProductPreview(
    const QString &sIdProdotto,
    const QString &readError = QStringLiteral("Errore lettura dati per anteprima prodotto "
                                              "(ERR.F10)."));
