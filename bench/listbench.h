#pragma once

// What the list window benchmarks share: the program's start on the scale data set, the
// window's "Estrai elenco" loop and the same procedure call with libpq alone.

#include "common/files.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include "bench/scaledata.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <functional>

namespace listbench {

// The connection string of the scale database, set by RunOnScaleData.
inline QString &ConnInfo()
{
    static QString conninfo;
    return conninfo;
}

// From the click on "Estrai elenco" to the grid filled and painted; the rows extracted go to
// the counters.
inline void EstraiElencoLoop(benchmark::State &state,
                             QPushButton *estrai,
                             QAbstractItemView *grid,
                             const std::function<const TDataSet *()> &dataSet)
{
    int rows = 0;
    for (auto _ : state) {
        estrai->click();
        grid->viewport()->repaint();
        const TDataSet *ds = dataSet();
        rows = ds ? ds->RecordCount() : -1;
    }
    state.counters["rows"] = rows;
}

// A list window's command text ("EXEC EstraiX  a, b") as the SELECT libpq runs.
inline QString SelectOf(QString execText)
{
    static const QRegularExpression exec(QStringLiteral("^EXEC (\\w+)\\s+"));
    execText.replace(exec, QStringLiteral("SELECT * FROM \\1("));
    return execText + QLatin1Char(')');
}

// The statement executed with libpq alone and its result received, as the operator SCALA.
inline void LibpqLoop(benchmark::State &state, const QString &sql)
{
    PGconn *conn = scaledata::ConnectAsOperator(ConnInfo(), QStringLiteral("SCALA"));
    const QByteArray text = sql.toUtf8();
    int rows = 0;
    for (auto _ : state) {
        PGresult *r = PQexec(conn, text.constData());
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
}

// The whole program of a list benchmark: the scale data set on a cluster of its own in
// clusterFolder (unless one is named), the operator SCALA logged on (bound to companyId when
// not empty), the wait window the main window owns, then the registered benchmarks.
inline int RunOnScaleData(int argc, char **argv, const char *clusterFolder, const QString &companyId)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString ownCluster = scaledata::StartClusterIfNeeded(QString::fromLatin1(clusterFolder));
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
        ConnInfo() = scaledata::ScaleConnectionString();
        TSTD_DBMODULE module;
        module.SetConnectionString(ConnInfo());
        TTestDatabase::LogOn(QString::fromLatin1(scaledata::kScaleDb),
                             QStringLiteral("SCALA"),
                             module);
        TSTD_DBMODULE::SetInstance(&module);

        TSessionInfo &s = SessionInfo();
        s.sUserName = QStringLiteral("SCALA");
        s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_SCALA.ini"));
        s.sOperatorCompanyId = companyId;
        {
            TSTD_PROGRESS wait;
            benchmark::RunSpecifiedBenchmarks();
        }
        TSTD_DBMODULE::SetInstance(nullptr);
    }
    benchmark::Shutdown();
    scaledata::StopCluster(ownCluster);
    return rc;
}

} // namespace listbench
