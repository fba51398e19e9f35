// The product list's "Estrai elenco" on the scale data set (10,000 products), from the click
// to the grid filled and painted, against the same EstraiProdotti call run with libpq alone
// (the function's own time plus the transfer). Target: at most twice the libpq time.
//
// The scale data set and its cluster: bench/scaledata.h and bench/listbench.h (a cluster of its own in
// /tmp/vt-bench-prod when none is named).

#include "catalogue/cataloguecombo.h"
#include "catalogue/gestione_prodotti.h"
#include "catalogue/productfilters.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"

#include "bench/listbench.h"

#include <QCheckBox>

#include <memory>

namespace {

struct TCase
{
    const char *label;
    const char *text;  // search text
    bool oneCatalogue; // the first supplier's current catalogue, else every catalogue
    bool recentFirst;  // "Ordina più recenti"
};

const TCase kCases[] = {{"every product, most recent first", "", false, true},
                        {"every product, by description", "", false, false},
                        {"text 'modello 77'", "modello 77", false, true},
                        {"one catalogue", "", true, true}};

std::unique_ptr<TGESTIONE_PRODOTTI> openWindow(const TCase &c)
{
    auto w = std::make_unique<TGESTIONE_PRODOTTI>();
    w->resize(1400, 800);
    w->show();
    QApplication::processEvents();
    TProductFilters *f = w->Filters;
    f->Reset();
    f->CK_Find_IncludiNonAttivi->setChecked(true);
    f->CK_Find_OrdinaRecenti->setChecked(c.recentFirst);
    f->EF_Find_DescProdotto->SetText(QString::fromLatin1(c.text));
    if (c.oneCatalogue)
        f->DCB_Find_Fornitore->setCurrentIndex(2); // FORN02, this year: 500 products
    return w;
}

// From the click on "Estrai elenco" to the grid filled and painted.
void BM_WindowEstraiElenco(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    std::unique_ptr<TGESTIONE_PRODOTTI> w = openWindow(c);
    listbench::EstraiElencoLoop(state, w->Filters->PB_EstraiElenco, w->DG_Prodotti, [&] {
        return w->DST_GRID_Prodotti();
    });
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiProdotti(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    std::unique_ptr<TGESTIONE_PRODOTTI> w = openWindow(c);
    const QString command = w->Filters->CommandText();
    w.reset();
    listbench::LibpqLoop(state, listbench::SelectOf(command));
    state.SetLabel(c.label);
}

BENCHMARK(BM_LibpqEstraiProdotti)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_WindowEstraiElenco)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return listbench::RunOnScaleData(argc, argv, "/tmp/vt-bench-prod", QString());
}
