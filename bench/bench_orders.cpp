// The order list's "Estrai elenco" on the scale data set (20,000 orders over two companies),
// from the click to the grid filled and painted, against the same EstraiOrdini call run with
// libpq alone (the function's own time plus the transfer). Target: at most twice the libpq
// time.
//
// The scale data set and its cluster: bench/scaledata.h and bench/listbench.h (a cluster of its own in
// /tmp/vt-bench-orders when none is named).

#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "masterdata/companyselector.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"

#include "bench/listbench.h"

#include <QCheckBox>

namespace {

const QString kCompany = QStringLiteral("{00000000-5CA1-0000-0000-000000000001}");

struct TCase
{
    const char *label;
    bool allYears;    // "Tutto" beside the year, else the current year
    const char *text; // description text ("contiene")
};

const TCase kCases[] = {{"no filter: every year, most recent first", true, ""},
                        {"this year", false, ""},
                        {"description 'Rossi', every year", true, "Rossi"}};

std::unique_ptr<TGESTIONE_ORDINI> openWindow(const TCase &c)
{
    auto w = std::make_unique<TGESTIONE_ORDINI>();
    w->resize(1500, 800);
    w->show();
    QApplication::processEvents();
    if (w->HasCompanySelector())
        w->CompanySelector()->Select(kCompany);
    TOrderFilters *f = w->Filters;
    f->Reset();
    f->CK_Find_AllAnni->setChecked(c.allYears);
    f->EF_Find_DescOrdine->SetText(QString::fromLatin1(c.text));
    return w;
}

// From the click on "Estrai elenco" to the grid filled and painted.
void BM_WindowEstraiElenco(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    std::unique_ptr<TGESTIONE_ORDINI> w = openWindow(c);
    listbench::EstraiElencoLoop(state, w->Filters->PB_EstraiElenco, w->DG_Ordini, [&] {
        return w->DST_GRID_Ordini();
    });
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiOrdini(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    std::unique_ptr<TGESTIONE_ORDINI> w = openWindow(c);
    const QString command = w->Filters->CommandText(kCompany);
    w.reset();
    listbench::LibpqLoop(state, listbench::SelectOf(command));
    state.SetLabel(c.label);
}

BENCHMARK(BM_LibpqEstraiOrdini)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_WindowEstraiElenco)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return listbench::RunOnScaleData(argc, argv, "/tmp/vt-bench-orders", kCompany);
}
