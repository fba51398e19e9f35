// The quote list's "Estrai elenco" on the scale data set (50,000 quotes over two companies),
// from the click to the grid filled and painted, against the same EstraiPreventivi call run
// with libpq alone (the function's own time plus the transfer). Target: at most twice the
// libpq time.
//
// The scale data set and its cluster: bench/scaledata.h and bench/listbench.h (a cluster of its own in
// /tmp/vt-bench-quotes when none is named).

#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "masterdata/companyselector.h"
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
    const char *text; // subject text ("contiene")
};

const TCase kCases[] = {{"no filter: every year, most recent first", true, ""},
                        {"this year", false, ""},
                        {"subject 'Rossi', every year", true, "Rossi"}};

std::unique_ptr<TGESTIONE_PREVENTIVI> openWindow(const TCase &c)
{
    auto w = std::make_unique<TGESTIONE_PREVENTIVI>();
    w->resize(1500, 800);
    w->show();
    QApplication::processEvents();
    if (w->HasCompanySelector())
        w->CompanySelector()->Select(kCompany);
    TQuoteFilters *f = w->Filters;
    f->Reset();
    f->CK_Find_AllAnni->setChecked(c.allYears);
    f->EF_Find_DescPreventivo->SetText(QString::fromLatin1(c.text));
    return w;
}

// From the click on "Estrai elenco" to the grid filled and painted.
void BM_WindowEstraiElenco(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    std::unique_ptr<TGESTIONE_PREVENTIVI> w = openWindow(c);
    listbench::EstraiElencoLoop(state, w->Filters->PB_EstraiElenco, w->DG_Preventivi, [&] {
        return w->DST_GRID_Preventivi();
    });
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiPreventivi(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    std::unique_ptr<TGESTIONE_PREVENTIVI> w = openWindow(c);
    const QString command = w->Filters->CommandText(kCompany);
    w.reset();
    listbench::LibpqLoop(state, listbench::SelectOf(command));
    state.SetLabel(c.label);
}

BENCHMARK(BM_LibpqEstraiPreventivi)
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
    return listbench::RunOnScaleData(argc, argv, "/tmp/vt-bench-quotes", kCompany);
}
