// The quote list's and the order list's "Estrai elenco" on the scale data set (50,000 quotes
// and 20,000 orders over two companies), from the click to the grid filled and painted,
// against the same EstraiPreventivi / EstraiOrdini call run with libpq alone (the function's
// own time plus the transfer). Target: at most twice the libpq time.
//
// The scale data set and its cluster: bench/scaledata.h and bench/listbench.h (a cluster of
// its own in /tmp/vt-bench-quotes when none is named).

#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "masterdata/companyselector.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/quotefilters.h"

#include "bench/listbench.h"

#include <QCheckBox>

namespace {

const QString kCompany = QStringLiteral("{00000000-5CA1-0000-0000-000000000001}");

struct TCase
{
    const char *label;
    bool allYears;    // "Tutto" beside the year, else the current year
    const char *text; // subject or description text ("contiene")
};

const TCase kCases[] = {{"no filter: every year, most recent first", true, ""},
                        {"this year", false, ""},
                        {"text 'Rossi', every year", true, "Rossi"}};

// What differs between the two lists.
struct TQuoteList
{
    using Window = TGESTIONE_PREVENTIVI;
    static TKRTLabelEdit *Text(Window &w) { return w.Filters->EF_Find_DescPreventivo; }
    static TKRTGrid *Grid(Window &w) { return w.DG_Preventivi; }
    static const TDataSet *Rows(Window &w) { return w.DST_GRID_Preventivi(); }
};

struct TOrderList
{
    using Window = TGESTIONE_ORDINI;
    static TKRTLabelEdit *Text(Window &w) { return w.Filters->EF_Find_DescOrdine; }
    static TKRTGrid *Grid(Window &w) { return w.DG_Ordini; }
    static const TDataSet *Rows(Window &w) { return w.DST_GRID_Ordini(); }
};

template<class L>
std::unique_ptr<typename L::Window> openWindow(const TCase &c)
{
    auto w = std::make_unique<typename L::Window>();
    w->resize(1500, 800);
    w->show();
    QApplication::processEvents();
    if (w->HasCompanySelector())
        w->CompanySelector()->Select(kCompany);
    w->Filters->Reset();
    w->Filters->CK_Find_AllAnni->setChecked(c.allYears);
    L::Text(*w)->SetText(QString::fromLatin1(c.text));
    return w;
}

// From the click on "Estrai elenco" to the grid filled and painted.
template<class L>
void BM_WindowEstraiElenco(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    auto w = openWindow<L>(c);
    listbench::EstraiElencoLoop(state, w->Filters->PB_EstraiElenco, L::Grid(*w), [&] {
        return L::Rows(*w);
    });
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
template<class L>
void BM_LibpqEstrai(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    const QString command = openWindow<L>(c)->Filters->CommandText(kCompany);
    listbench::LibpqLoop(state, listbench::SelectOf(command));
    state.SetLabel(c.label);
}

void Cases(benchmark::internal::Benchmark *b)
{
    b->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
}

BENCHMARK(BM_LibpqEstrai<TQuoteList>)->Name("BM_LibpqEstraiPreventivi")->Apply(Cases);
BENCHMARK(BM_WindowEstraiElenco<TQuoteList>)->Name("BM_WindowPreventivi")->Apply(Cases);
BENCHMARK(BM_LibpqEstrai<TOrderList>)->Name("BM_LibpqEstraiOrdini")->Apply(Cases);
BENCHMARK(BM_WindowEstraiElenco<TOrderList>)->Name("BM_WindowOrdini")->Apply(Cases);

} // namespace

int main(int argc, char **argv)
{
    return listbench::RunOnScaleData(argc, argv, "/tmp/vt-bench-quotes", kCompany);
}
