#include "catalogue/catalogueopeners.h"

#include "catalogue/gestione_prodotti.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>

namespace {

TDettagliProdottoStart &dettagli()
{
    static TDettagliProdottoStart start;
    return start;
}

TProdottoListinoStart &listino()
{
    static TProdottoListinoStart start;
    return start;
}

TProdottiLinkedStart &linked()
{
    static TProdottiLinkedStart start;
    return start;
}

// A child object of the opened window that remembers the product list which opened it.
class TProductListLink : public QObject
{
public:
    TProductListLink(QWidget *productList, QObject *parent)
        : QObject(parent)
        , m_list(productList)
    {
        setObjectName(QStringLiteral("ventorel_product_list"));
    }
    QWidget *List() const { return m_list; }
    void SetList(QWidget *list) { m_list = list; }

private:
    QPointer<QWidget> m_list;
};

TProductListLink *LinkOf(QWidget *window)
{
    return window ? window->findChild<TProductListLink *>(QStringLiteral("ventorel_product_list"),
                                                          Qt::FindDirectChildrenOnly)
                  : nullptr;
}

// The window itself when it is the one registered, its widget when it is an MDI frame.
QWidget *Inner(QWidget *window)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window))
        return sub->widget();
    return window;
}

TGESTIONE_PRODOTTI *ProductListWindow(QWidget *openedWindow)
{
    return qobject_cast<TGESTIONE_PRODOTTI *>(ProductListOf(openedWindow));
}

} // namespace

void SetDettagliProdottoStart(TDettagliProdottoStart start)
{
    dettagli() = std::move(start);
}

void SetProdottoListinoStart(TProdottoListinoStart start)
{
    listino() = std::move(start);
}

void SetProdottiLinkedStart(TProdottiLinkedStart start)
{
    linked() = std::move(start);
}

const TDettagliProdottoStart &DettagliProdottoStart()
{
    return dettagli();
}

const TProdottoListinoStart &ProdottoListinoStart()
{
    return listino();
}

const TProdottiLinkedStart &ProdottiLinkedStart()
{
    return linked();
}

bool ProductWindowAvailable(const QString &componentName)
{
    if (!IsWindowRegistered(componentName))
        return false;
    const QString name = componentName.toUpper();
    if (name == QLatin1String(kDettagliProdottoWindow))
        return bool(dettagli());
    if (name == QLatin1String(kProdottoListinoWindow))
        return bool(listino());
    if (name == QLatin1String(kProdottiLinkedWindow))
        return bool(linked());
    return false;
}

void SetProductListOf(QWidget *openedWindow, QWidget *productList)
{
    QWidget *window = Inner(openedWindow);
    if (!window)
        return;
    if (TProductListLink *link = LinkOf(window))
        link->SetList(productList);
    else
        new TProductListLink(productList, window);
}

QWidget *ProductListOf(QWidget *openedWindow)
{
    if (TProductListLink *link = LinkOf(Inner(openedWindow)); link && link->List())
        return link->List();
    return FindOpenForm(QStringLiteral("GESTIONE_PRODOTTI"));
}

void ProductListAfterDetails(QWidget *detailsWindow,
                             const QString &sIdProdotto,
                             bool bChanges,
                             bool bSegueToListini)
{
    TGESTIONE_PRODOTTI *list = ProductListWindow(detailsWindow);
    // A list busy with its input panel is left as it is.
    if (!list || list->EditMode() || (!bChanges && !bSegueToListini))
        return;
    if (bChanges && list->bFromPreventivi) {
        // The quote that opened the list reloads its lines when the list closes.
        list->close();
        return;
    }
    list->sLastId = sIdProdotto;
    list->iSegueToListini = bSegueToListini ? 12345 : 0;
    list->PB_EstraiElencoClick();
}

void ProductListReselect(QWidget *openedWindow, const QString &sIdProdotto)
{
    TGESTIONE_PRODOTTI *list = ProductListWindow(openedWindow);
    if (!list || list->EditMode())
        return;
    list->sLastId = sIdProdotto;
    list->PB_EstraiElencoClick();
}
