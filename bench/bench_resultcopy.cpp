// Copying a server result into the window's in-memory dataset, against reading every value of
// the same libpq result: the copy should cost at most about twice the reading.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/ventorel-bench and stops it at the end.

#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "db/resultsource.h"
#include "tests/support/testdatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRows = 100000;

TTestDatabase *g_db = nullptr; // Owned by main.
TPgResultPtr g_result;

// 16 columns of the kinds list procedures return.
const char *kFunction
    = "CREATE FUNCTION estraiprovinceitaliane() RETURNS TABLE (idRiga varchar(38), txCodice "
      "varchar(20), "
      "txDenominazione varchar(200), txLocalita varchar(100), txProvincia varchar(2), "
      "txTelefono varchar(50), txEmail varchar(200), txNote text, nuAnno integer, nuNumero "
      "integer, nuRevisione smallint, flAttivo smallint, vlImporto numeric(12,2), vlSconto "
      "double precision, dtIn timestamp, dtMaxOperation timestamp) LANGUAGE sql AS $$ "
      "SELECT '{' || upper(md5(g::text)::uuid::text) || '}', 'C' || lpad(g::text, 6, '0'), "
      "'Cliente numero ' || g || ' S.r.l.', 'Località ' || (g % 500), 'MI', '02 ' || g, "
      "'cliente' || g || '@example.it', CASE WHEN g % 3 = 0 THEN NULL ELSE 'nota ' || g END, "
      "2020 + g % 5, g, (g % 4)::smallint, (g % 2)::smallint, (g * 1.25)::numeric(12,2), "
      "g / 7.0, timestamp '2024-01-01' + g * interval '1 minute', timestamp '2024-06-01' + g * "
      "interval '37 seconds' FROM generate_series(1, 100000) g $$";

QString sourceDir()
{
    const QString env = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QFileInfo(QStringLiteral(__FILE__)).dir().absoluteFilePath(QStringLiteral(".."));
}

bool runTestDb(const QString &action, const QString &base)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("bash"),
            {sourceDir() + QStringLiteral("/scripts/testdb.sh"), action, base});
    return p.waitForFinished(300000) && p.exitCode() == 0;
}

TPgResultPtr fetchDirect()
{
    const QString conninfo = TSTD_DBMODULE::ComposeConnectionString(g_db->Params());
    PGconn *c = PQconnectdb(conninfo.toUtf8().constData());
    TPgResultPtr r = AdoptPgResult(PQexec(c, "SELECT * FROM estraiprovinceitaliane()"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
        std::fprintf(stderr, "estraiprovinceitaliane: %s\n", PQresultErrorMessage(r.get()));
    PQfinish(c);
    return r;
}

long long readEveryValue(const PGresult *r)
{
    long long sum = 0;
    const int rows = PQntuples(r);
    const int cols = PQnfields(r);
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            if (!PQgetisnull(r, row, col))
                sum += PQgetlength(r, row, col) + PQgetvalue(r, row, col)[0];
        }
    }
    return sum;
}

// Reading every value of the result with libpq: the reference.
void BM_ReadResultWithLibpq(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(readEveryValue(g_result.get()));
    state.SetItemsProcessed(state.iterations() * kRows);
}

// Every value of the result turned into the typed value a dataset field holds (text, integer,
// real, date-time), straight from libpq with Qt's own conversions: the fair reference for
// reading the copy back.
void BM_ReadAndConvertWithLibpq(benchmark::State &state)
{
    const PGresult *r = g_result.get();
    const std::vector<TFieldDef> defs = FieldDefsOfResult(r);
    for (auto _ : state) {
        long long n = 0;
        for (int row = 0; row < PQntuples(r); ++row) {
            for (int col = 0; col < int(defs.size()); ++col) {
                if (PQgetisnull(r, row, col))
                    continue;
                const char *p = PQgetvalue(r, row, col);
                QVariant v;
                switch (defs[col].type) {
                case TFieldType::Integer:
                    v = QVariant(qint64(std::strtoll(p, nullptr, 10)));
                    break;
                case TFieldType::Real:
                    v = QVariant(std::strtod(p, nullptr));
                    break;
                case TFieldType::DateTime:
                    v = QVariant(QDateTime::fromString(QString::fromLatin1(p), Qt::ISODateWithMs));
                    break;
                default:
                    v = QVariant(QString::fromUtf8(p, PQgetlength(r, row, col)));
                    break;
                }
                n += v.isValid() ? 1 : 0;
            }
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// What a list window does with the rows of its procedure: a dataset over the result, then the
// window's own copy (CreateMemoryCopy + CopyAllRecords).
void BM_CopyResultIntoDataSet(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<TDataSet> server = DataSetFromResult(g_result);
        std::unique_ptr<TDataSet> copy;
        CreateMemoryCopy(copy, *server, true);
        CopyAllRecords(*server, *copy);
        benchmark::DoNotOptimize(copy->RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// The copy, then every value read back from it as the grid would (typed values).
void BM_CopyAndReadEveryValue(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<TDataSet> server = DataSetFromResult(g_result);
        std::unique_ptr<TDataSet> copy;
        CreateMemoryCopy(copy, *server, true);
        CopyAllRecords(*server, *copy);
        long long n = 0;
        const int cols = copy->FieldCount();
        const int rows = copy->RecordCount();
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; ++col)
                n += copy->ValueAt(row, col).isValid() ? 1 : 0;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// End to end through the server: the module's row query and the copy, against PQexec and
// reading every value.
void BM_QueryAndCopy(benchmark::State &state)
{
    TSTD_DBMODULE &m = g_db->Module();
    for (auto _ : state) {
        std::unique_ptr<TDataSet> server = m.Query(QStringLiteral("EXEC EstraiProvinceItaliane"));
        std::unique_ptr<TDataSet> copy;
        CreateMemoryCopy(copy, *server, true);
        CopyAllRecords(*server, *copy);
        benchmark::DoNotOptimize(copy->RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ExecAndReadWithLibpq(benchmark::State &state)
{
    const QString conninfo = TSTD_DBMODULE::ComposeConnectionString(g_db->Params());
    PGconn *c = PQconnectdb(conninfo.toUtf8().constData());
    for (auto _ : state) {
        TPgResultPtr r = AdoptPgResult(PQexec(c, "SELECT * FROM estraiprovinceitaliane()"));
        benchmark::DoNotOptimize(readEveryValue(r.get()));
    }
    PQfinish(c);
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_ReadResultWithLibpq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndConvertWithLibpq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyResultIntoDataSet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyAndReadEveryValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryAndCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecAndReadWithLibpq)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QString ownCluster;
    if (qEnvironmentVariable("VENTOREL_TEST_PGSOCKET").isEmpty()) {
        ownCluster = QStringLiteral("/tmp/ventorel-bench");
        if (!runTestDb(QStringLiteral("start"), ownCluster)) {
            std::fprintf(stderr, "cannot start the test cluster\n");
            return 1;
        }
        qputenv("VENTOREL_TEST_PGSOCKET", (ownCluster + QStringLiteral("/run")).toUtf8());
    }
    int rc = 0;
    {
        TTestDatabase db(TTestDatabase::Empty);
        g_db = &db;
        // The command layer calls only the program's procedures: one of them gives the rows.
        db.SuperQuery(QStringLiteral("SELECT vt_drop_funzioni(ARRAY['estraiprovinceitaliane'])"));
        db.SuperQuery(QString::fromLatin1(kFunction));
        g_result = fetchDirect();
        if (PQntuples(g_result.get()) != kRows) {
            rc = 1;
        } else {
            benchmark::RunSpecifiedBenchmarks();
        }
        g_result.reset();
        g_db = nullptr;
    }
    benchmark::Shutdown();
    if (!ownCluster.isEmpty())
        runTestDb(QStringLiteral("stop"), ownCluster);
    return rc;
}
