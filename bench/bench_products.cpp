// The product list's "Estrai elenco" on the scale data set (10,000 products), from the click
// to the grid filled and painted, against the same EstraiProdotti call run with libpq alone
// (the function's own time plus the transfer). Target: at most twice the libpq time.
//
// The scale data set and its cluster: bench/scaledata.h (a cluster of its own in
// /tmp/vt-bench-prod when none is named).

#include "catalogue/cataloguecombo.h"
#include "catalogue/gestione_prodotti.h"
#include "catalogue/productfilters.h"
#include "common/files.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include "bench/scaledata.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <memory>

namespace {

QString g_conninfo;

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
    int rows = 0;
    for (auto _ : state) {
        w->Filters->PB_EstraiElenco->click();
        w->DG_Prodotti->viewport()->repaint();
        rows = w->DST_GRID_Prodotti() ? w->DST_GRID_Prodotti()->RecordCount() : -1;
    }
    state.counters["rows"] = rows;
    state.SetLabel(c.label);
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiProdotti(benchmark::State &state)
{
    const TCase &c = kCases[state.range(0)];
    // The window's own command, as the adapter sends it.
    std::unique_ptr<TGESTIONE_PRODOTTI> w = openWindow(c);
    QString command = w->Filters->CommandText();
    w.reset();
    command.replace(QStringLiteral("EXEC EstraiProdotti  "),
                    QStringLiteral("SELECT * FROM EstraiProdotti("));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString ownCluster = scaledata::StartClusterIfNeeded(
        QStringLiteral("/tmp/vt-bench-prod"));
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
