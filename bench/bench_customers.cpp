// The customer window's "Estrai elenco" with a name filter on the scale data set (100,000
// customers), from the click to the grid filled and painted, against the same EstraiClienti
// call run with libpq alone (the function's own time plus the transfer). Target: at most
// twice the libpq time.
//
// The scale data set and its cluster: bench/scaledata.h (a cluster of its own in
// /tmp/vt-bench-cust when none is named).

#include "common/files.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/gestione_clienti.h"
#include "masterdata/radiogroup.h"
#include "tests/support/testdatabase.h"

#include "bench/scaledata.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <memory>

namespace {

const char *kCompany = "{00000000-5CA1-0000-0000-000000000001}"; // 60,000 customers

TSTD_DBMODULE *g_module = nullptr; // Owned by main.
QString g_conninfo;

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
    int rows = 0;
    for (auto _ : state) {
        w->Filters->PB_EstraiElenco->click();
        w->DG_Clienti->viewport()->repaint();
        rows = w->DST_GRID_Clienti() ? w->DST_GRID_Clienti()->RecordCount() : -1;
    }
    state.counters["rows"] = rows;
    state.SetLabel(name.isEmpty() ? "all customers"
                                  : ("name contains '" + name + "'").toStdString());
}

// The same procedure call with libpq alone: executed and its result received.
void BM_LibpqEstraiClienti(benchmark::State &state)
{
    const QString name = kNames.at(int(state.range(0)));
    PGconn *c = scaledata::ConnectAsOperator(g_conninfo, QStringLiteral("SCALA"));
    const QByteArray sql = commandOf(name, false).toUtf8();
    int rows = 0;
    for (auto _ : state) {
        PGresult *r = PQexec(c, sql.constData());
        rows = PQntuples(r);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            state.SkipWithError(PQresultErrorMessage(r));
            PQclear(r);
            break;
        }
        PQclear(r);
    }
    PQfinish(c);
    state.counters["rows"] = rows;
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString ownCluster = scaledata::StartClusterIfNeeded(
        QStringLiteral("/tmp/vt-bench-cust"));
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
        g_module = &module;

        TSessionInfo &s = SessionInfo();
        s.sUserName = QStringLiteral("SCALA");
        s.sOperatorCompanyId = QString::fromLatin1(kCompany);
        s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_SCALA.ini"));
        {
            // The wait window the main window owns, shown around every extraction.
            TSTD_PROGRESS wait;
            benchmark::RunSpecifiedBenchmarks();
        }
        TSTD_DBMODULE::SetInstance(nullptr);
        g_module = nullptr;
    }
    benchmark::Shutdown();
    scaledata::StopCluster(ownCluster);
    return rc;
}
