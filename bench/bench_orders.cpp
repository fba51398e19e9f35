// The order list's "Estrai elenco" on the scale data set (20,000 orders over two companies),
// from the click to the grid filled and painted, against the same EstraiOrdini call run with
// libpq alone (the function's own time plus the transfer). Target: at most twice the libpq
// time.
//
// The scale data set and its cluster: bench/scaledata.h (a cluster of its own in
// /tmp/vt-bench-orders when none is named).

#include "common/files.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/companyselector.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"
#include "tests/support/testdatabase.h"

#include "bench/scaledata.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>

namespace {

QString g_conninfo;
const QString kCompany = QStringLiteral("{00000000-5CA1-0000-0000-000000000001}");

struct TCase
{
    const char *label;
    bool allYears;    // "Tutto" beside the year, else the current year
    const char *text; // description text ("contiene")
};

const TCase kCases[] = {{"no filter: every year, most recent first", true, ""},
                        {"this year", false, ""},
                        {"subject 'Rossi', every year", true, "Rossi"}};

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
    int rows = 0;
    for (auto _ : state) {
        w->Filters->PB_EstraiElenco->click();
        w->DG_Ordini->viewport()->repaint();
        rows = w->DST_GRID_Ordini() ? w->DST_GRID_Ordini()->RecordCount() : -1;
    }
    state.counters["rows"] = rows;
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiOrdini(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    std::unique_ptr<TGESTIONE_ORDINI> w = openWindow(c);
    QString command = w->Filters->CommandText(kCompany);
    w.reset();
    command.replace(QStringLiteral("EXEC EstraiOrdini  "),
                    QStringLiteral("SELECT * FROM EstraiOrdini("));
    command += QLatin1Char(')');
    PGconn *conn = scaledata::ConnectAsOperator(g_conninfo, QStringLiteral("SCALA"));
    const QByteArray sql = command.toUtf8();
    int rows = 0;
    for (auto _ : state) {
        PGresult *r = PQexec(conn, sql.constData());
        rows = PQntuples(r);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            state.SkipWithError(PQresultErrorMessage(r));
            PQclear(r);
            break;
        }
        PQclear(r);
    }
    PQfinish(conn);
    state.counters["rows"] = rows;
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString ownCluster = scaledata::StartClusterIfNeeded(
        QStringLiteral("/tmp/vt-bench-orders"));
    if (ownCluster.isNull()) {
        std::fprintf(stderr, "cannot start the test cluster\n");
        return 1;
    }
    int rc = 0;
    if (!scaledata::EnsureScaleDatabase()) {
        std::fprintf(stderr, "cannot build the scale data set\n");
        rc = 1;
    } else {
        QTemporaryDir home;
        qputenv("VENTOREL_HOME", home.path().toUtf8());
        g_conninfo = scaledata::ScaleConnectionString();
        TSTD_DBMODULE module;
        module.SetConnectionString(g_conninfo);
        TTestDatabase::LogOn(QString::fromLatin1(scaledata::kScaleDb),
                             QStringLiteral("SCALA"),
                             module);
        TSTD_DBMODULE::SetInstance(&module);

        TSessionInfo &s = SessionInfo();
        s.sUserName = QStringLiteral("SCALA");
        s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_SCALA.ini"));
        s.sOperatorCompanyId = kCompany;
        {
            // The wait window the main window owns, shown around every extraction.
            TSTD_PROGRESS wait;
            benchmark::RunSpecifiedBenchmarks();
        }
        TSTD_DBMODULE::SetInstance(nullptr);
    }
    benchmark::Shutdown();
    scaledata::StopCluster(ownCluster);
    return rc;
}
