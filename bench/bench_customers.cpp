// The customer window's "Estrai elenco" with a name filter on the scale data set (100,000
// customers), from the click to the grid filled and painted, against the same EstraiClienti
// call run with libpq alone (the function's own time plus the transfer). Target: at most
// twice the libpq time.
//
// The scale data set and its cluster: bench/scaledata.h and bench/listbench.h (a cluster of its own in
// /tmp/vt-bench-cust when none is named).

#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/gestione_clienti.h"
#include "masterdata/radiogroup.h"

#include "bench/listbench.h"

#include <QCheckBox>
#include <QRadioButton>

#include <memory>

namespace {

const char *kCompany = "{00000000-5CA1-0000-0000-000000000001}"; // 60,000 customers

// The customer window with the name filter typed ("contiene", every nationality).
std::unique_ptr<TGESTIONE_CLIENTI> openWindow(const QString &name, bool inactive)
{
    auto w = std::make_unique<TGESTIONE_CLIENTI>();
    w->resize(1400, 800);
    w->show();
    QApplication::processEvents();
    TCustomerFilters *f = w->Filters->Registry;
    f->EF_Find_Denominazione->SetText(name);
    f->RG_Find_Denominazione->SetItemIndex(0);
    f->RG_Find_Nazionalita->SetItemIndex(2);
    f->ShowNationalityField();
    w->Filters->CK_Find_IncludiCancellati->setChecked(inactive);
    w->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
    w->Filters->CK_Find_OrdinaRecenti->setChecked(true);
    return w;
}

QString commandOf(const QString &name, bool inactive)
{
    return QStringLiteral("SELECT * FROM EstraiClienti(1, '%1', null, %2, null, null, 2, null, "
                          "%3, 0, 3)")
        .arg(QString::fromLatin1(kCompany),
             name.isEmpty() ? QStringLiteral("null") : QStringLiteral("'%") + name + "%'",
             inactive ? QStringLiteral("1") : QStringLiteral("0"));
}

const QStringList kNames{QStringLiteral("Rossi"), QStringLiteral("Officine Meccanica"), QString()};

// From the click on "Estrai elenco" to the grid filled and painted.
void BM_WindowEstraiElenco(benchmark::State &state)
{
    const QString name = kNames.at(int(state.range(0)));
    std::unique_ptr<TGESTIONE_CLIENTI> w = openWindow(name, false);
    listbench::EstraiElencoLoop(state, w->Filters->PB_EstraiElenco, w->DG_Clienti, [&] {
        return w->DST_GRID_Clienti();
    });
    state.SetLabel(name.isEmpty() ? "all customers"
                                  : ("name contains '" + name + "'").toStdString());
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiClienti(benchmark::State &state)
{
    const QString name = kNames.at(int(state.range(0)));
    listbench::LibpqLoop(state, commandOf(name, false));
    state.SetLabel(name.isEmpty() ? "all customers"
                                  : ("name contains '" + name + "'").toStdString());
}

BENCHMARK(BM_LibpqEstraiClienti)
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
    return listbench::RunOnScaleData(argc,
                                     argv,
                                     "/tmp/vt-bench-cust",
                                     QString::fromLatin1(kCompany));
}
