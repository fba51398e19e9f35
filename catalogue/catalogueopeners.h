#pragma once

// How the product list opens the windows of one product, and how those windows report back
// to the product list that opened them.
//
// Each of the three windows is a single MDI child, made by the window registry under its
// component name (common/windowregistry.h) and then started with its own arguments. A window
// registers both at namespace scope of its .cpp:
//
//     const TWindowRegistration window(kDettagliProdottoWindow, [](QWidget *parent) {
//         return new TDETTAGLI_PRODOTTO(parent);
//     });
//     const TDettagliProdottoRegistration start([](QWidget *w, bool fromQuote, const QString &id,
//                                                  const QString &code, const QString &desc,
//                                                  bool active) {
//         static_cast<TDETTAGLI_PRODOTTO *>(w)->Start(fromQuote, id, code, desc, active);
//     });
//
// The product list offers a window's menu entry only while both are registered. It opens the
// window with OpenChildWindow (an open one is only brought to the front and not started
// again) and records itself as the window's opener, so that the window can report back with
// the routines at the end of this file.

#include <QString>

#include <functional>

class QWidget;

// Component names (form names) of the three windows.
inline constexpr char kDettagliProdottoWindow[] = "DETTAGLI_PRODOTTO";
inline constexpr char kProdottoListinoWindow[] = "PRODOTTO_LISTINO";
inline constexpr char kProdottiLinkedWindow[] = "PRODOTTI_LINKED";

// The structure editor: Start(bFromPreventiviLista, sIdProdottoLista, sCodProdottoLista,
// sDescProdottoLista, bAttivo). bFromPreventiviLista: the product list was opened by a quote.
using TDettagliProdottoStart = std::function<void(QWidget *window,
                                                  bool bFromPreventiviLista,
                                                  const QString &sIdProdottoLista,
                                                  const QString &sCodProdottoLista,
                                                  const QString &sDescProdottoLista,
                                                  bool bAttivo)>;

// The price lists: Start(sIdProdottoLista, sDescProdottoLista, bProdDocumentazione).
using TProdottoListinoStart = std::function<void(QWidget *window,
                                                 const QString &sIdProdottoLista,
                                                 const QString &sDescProdottoLista,
                                                 bool bProdDocumentazione)>;

// The linked products: Start(sIdProdottoLista, sDescProdotto, bDocumentazioneLista), after
// setting the window's catalogue filter to the current catalogues (bCataloghiAttuali) or the
// previous ones, as the product list shows them, and to its first catalogue.
using TProdottiLinkedStart = std::function<void(QWidget *window,
                                                const QString &sIdProdottoLista,
                                                const QString &sDescProdotto,
                                                bool bDocumentazioneLista,
                                                bool bCataloghiAttuali)>;

// A later registration replaces an earlier one; an empty function removes it.
void SetDettagliProdottoStart(TDettagliProdottoStart start);
void SetProdottoListinoStart(TProdottoListinoStart start);
void SetProdottiLinkedStart(TProdottiLinkedStart start);
const TDettagliProdottoStart &DettagliProdottoStart();
const TProdottoListinoStart &ProdottoListinoStart();
const TProdottiLinkedStart &ProdottiLinkedStart();

struct TDettagliProdottoRegistration
{
    explicit TDettagliProdottoRegistration(TDettagliProdottoStart start)
    {
        SetDettagliProdottoStart(std::move(start));
    }
};
struct TProdottoListinoRegistration
{
    explicit TProdottoListinoRegistration(TProdottoListinoStart start)
    {
        SetProdottoListinoStart(std::move(start));
    }
};
struct TProdottiLinkedRegistration
{
    explicit TProdottiLinkedRegistration(TProdottiLinkedStart start)
    {
        SetProdottiLinkedStart(std::move(start));
    }
};

// The window is registered by name and its start function is set.
bool ProductWindowAvailable(const QString &componentName);

// --- Reporting back to the product list --------------------------------------------------
// Recorded by the product list when it opens a window (the window or its MDI frame).
void SetProductListOf(QWidget *openedWindow, QWidget *productList);
// The product list that opened the window (the window or its MDI frame), when it is still
// open; otherwise the product list of the launcher, when one is open; else nullptr.
QWidget *ProductListOf(QWidget *openedWindow);

// The structure editor at its close. With changes: when the product list was opened by a
// quote, it is closed too (the quote then reloads its lines); otherwise it re-extracts its
// list and selects the product. bSegueToListini (">> Listini") makes it re-extract and then
// open the product's price lists, changes or not. Nothing happens without changes and without
// ">> Listini". A list whose input panel is open is left as it is.
void ProductListAfterDetails(QWidget *detailsWindow,
                             const QString &sIdProdotto,
                             bool bChanges,
                             bool bSegueToListini);

// The linked products or the price lists at their close after a change: the product list
// re-extracts its list and selects the product (unless its input panel is open).
void ProductListReselect(QWidget *openedWindow, const QString &sIdProdotto);
