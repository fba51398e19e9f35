// The stored functions on the scale data set (database/scale/genera_scala.sql: 100,000
// customers, 10,000 products with trees, 50,000 quotes) against plain SELECTs of the same rows:
// every list function with its usual filters should take at most twice its plain SELECT;
// loading a 500-node product tree and copying that product into a quote line at most three
// times a plain SELECT of those 500 rows. Each pair is reported as <name>/funzione and
// <name>/select; the ratios are printed at the end.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/vt-bench-db and stops it at the end. The scale database is built
// once per run (a few minutes).

#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const char *kSoc1 = "'{00000000-5CA1-0000-0000-000000000001}'";
const char *kAll = "'{00000000-0000-0000-0000-000000000000}'";

TTestDatabase *g_db = nullptr; // Owned by main.
PGconn *g_conn = nullptr;      // Superuser session on the scale database. Owned by main.

QString sourceDir()
{
    const QString env = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QFileInfo(QStringLiteral(__FILE__)).dir().absoluteFilePath(QStringLiteral(".."));
}

bool runProcess(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit
           && p.exitCode() == 0;
}

std::string scalar(const std::string &sql)
{
    PGresult *r = PQexec(g_conn, sql.c_str());
    std::string out;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0)
        out = PQgetvalue(r, 0, 0);
    else if (PQresultStatus(r) != PGRES_COMMAND_OK)
        std::fprintf(stderr, "%s\n%s\n", sql.c_str(), PQresultErrorMessage(r));
    PQclear(r);
    return out;
}

// Runs a text and reads every value of every result, as a client copying the rows does. A
// text starting with "CURSORI " is a call that answers cursors: as the command layer does, the
// call runs in a transaction and every cursor it names is fetched before the commit.
long long runAndRead(const std::string &sql);

long long runCursorCall(const std::string &call)
{
    PGresult *r = PQexec(g_conn, ("BEGIN; " + call).c_str());
    long long sum = 0;
    std::string fetch;
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(r); ++i)
            fetch += std::string("FETCH ALL FROM \"") + PQgetvalue(r, i, 0) + "\"; ";
    } else {
        std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
    }
    PQclear(r);
    if (!fetch.empty())
        sum = runAndRead(fetch);
    PQclear(PQexec(g_conn, "COMMIT"));
    return sum;
}

long long runAndRead(const std::string &sql)
{
    if (sql.rfind("CURSORI ", 0) == 0)
        return runCursorCall(sql.substr(8));
    long long sum = 0;
    if (!PQsendQuery(g_conn, sql.c_str()))
        return -1;
    while (PGresult *r = PQgetResult(g_conn)) {
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_TUPLES_OK) {
            const int rows = PQntuples(r), cols = PQnfields(r);
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < cols; ++j)
                    sum += PQgetlength(r, i, j);
        } else if (st != PGRES_COMMAND_OK) {
            std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
        }
        PQclear(r);
    }
    if (PQtransactionStatus(g_conn) == PQTRANS_INERROR)
        PQclear(PQexec(g_conn, "ROLLBACK"));
    return sum;
}

struct TPair
{
    std::string name;
    std::string function; // the call as the command layer sends it
    std::string plain;    // a plain SELECT of the same rows
    double limit;         // allowed ratio
};

std::vector<TPair> g_pairs;
std::map<std::string, double> g_times; // benchmark name -> time per iteration (ms)

class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            g_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

void buildPairs()
{
    const std::string year = scalar("SELECT extract(year FROM current_date)::integer");
    const std::string prod = scalar(
        "SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'P000123'");
    const std::string tree = scalar(
        "SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'ALBERO-500'");
    const std::string list = scalar("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '"
                                    + tree + "'");
    const std::string quote = scalar(
        "SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 ORDER BY idpreventivo LIMIT 1");
    const std::string clientiSelect
        = "SELECT c.idcliente, c.idsocieta, c.txcodcliente, c.txdenominazione, c.txpartitaiva, "
          "c.txcodfiscale, "
          "c.txlocalita, c.txprovincia, c.txnazione, c.flestero, c.txtelefono, c.txsmartphone, "
          "u.dtult, c.dtin, "
          "c.txutentein, c.dtmod, c.txutentemod, c.dtcanc, c.txutentecanc, greatest(c.dtin, "
          "c.dtmod, c.dtcanc, u.dtult), "
          "c.txdenominazione || coalesce(' - ' || c.txlocalita, '') || coalesce(' (' || "
          "c.txprovincia || ')', '') "
          "|| coalesce(' [' || c.txcodcliente || ']', '') FROM clienti c LEFT JOIN (SELECT "
          "p.idcliente, "
          "max(p.dtpreventivo) AS dtult FROM preventivi p WHERE p.idsocieta = "
          + std::string(kSoc1)
          + " AND p.idcliente IS NOT NULL AND p.dtcanc IS NULL GROUP BY p.idcliente) u ON "
            "u.idcliente = c.idcliente "
            "WHERE c.idsocieta = "
          + std::string(kSoc1) + " AND c.dtcanc IS NULL";
    g_pairs.push_back({"EstraiClienti contiene",
                       std::string("SELECT * FROM EstraiClienti( 1, ") + kSoc1
                           + ", null, '%rossi%', null, null, 2, null, 0, 0, 1)",
                       clientiSelect + " AND c.txdenominazione ILIKE '%rossi%'",
                       2.0});
    g_pairs.push_back({"EstraiClienti tutti",
                       std::string("SELECT * FROM EstraiClienti( 1, ") + kSoc1
                           + ", null, null, null, null, 2, null, 0, 0, 1)",
                       clientiSelect,
                       2.0});
    g_pairs.push_back(
        {"EstraiClienti provincia e mesi",
         std::string("SELECT * FROM EstraiClienti( 1, ") + kSoc1
             + ", null, null, null, null, 0, 'MI', 0, 1, 6)",
         clientiSelect
             + " AND c.flestero = 0 AND c.txprovincia = 'MI' AND u.dtult >= current_date - "
               "interval '6 months'",
         2.0});
    const std::string prevSelect
        = "SELECT q.idpreventivo, q.idsocieta, q.idcliente, q.nuannopreventivo, q.nupreventivo, "
          "q.nurevisione, "
          "lpad(q.nupreventivo::text, 4, '0') || '/' || q.nuannopreventivo, q.dtpreventivo, "
          "q.txdescoggetto, "
          "q.flscadenzafissa, q.nuggscaddalblocco, q.dtscadenza, q.txnotepreventivo, "
          "c.txcodcliente, c.txdenominazione, "
          "q.flbloccato, q.dtcanc, q.txutentecanc, q.dtin, q.txutentein, q.dtmod, q.txutentemod, "
          "q.dtblocco, "
          "q.txutenteblocco, q.dtsblocco, q.txutentesblocco, greatest(q.dtin, q.dtmod, q.dtblocco, "
          "q.dtsblocco, "
          "q.dtcanc, r.dtrighe), r.principali, r.primo, q.txnomefolder, q.txnomefilepdf, "
          "q.txurlfilepdf, "
          "EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = q.idpreventivo) "
          "FROM preventivi q LEFT JOIN clienti c ON c.idcliente = q.idcliente LEFT JOIN LATERAL "
          "(SELECT "
          "max(CASE WHEN d.flservizio = 0 AND d.flaccessorio = 0 AND p.fldocumentazione = 0 THEN 1 "
          "ELSE 0 END) "
          "AS principali, max(CASE WHEN d.nuordinamento = 1 AND d.flservizio = 0 AND "
          "d.flaccessorio = 0 AND "
          "p.fldocumentazione = 0 THEN 1 ELSE 0 END) AS primo, max(d.dtmod) AS dtrighe FROM "
          "preventivo_dettaglio d "
          "JOIN prodotti p ON p.idprodotto = d.idprodotto WHERE coalesce(d.idpreventivo, "
          "d.idordine) = "
          "q.idpreventivo) r ON true WHERE q.idsocieta = "
          + std::string(kSoc1) + " AND q.dtcanc IS NULL";
    g_pairs.push_back({"EstraiPreventivi anno",
                       std::string("SELECT * FROM EstraiPreventivi( 1, ") + kSoc1 + ", " + year
                           + ", null, null, null, null, null, 0, 1, 0)",
                       prevSelect + " AND q.nuannopreventivo = " + year,
                       2.0});
    g_pairs.push_back(
        {"EstraiPreventivi oggetto e cliente",
         std::string("SELECT * FROM EstraiPreventivi( 1, ") + kSoc1
             + ", null, null, null, '%ferrari%', null, null, 0, 1, 0, null, '%rossi%', null, null, "
               "2, null)",
         prevSelect + " AND q.txdescoggetto ILIKE '%ferrari%' AND c.txdenominazione ILIKE '%rossi%'",
         2.0});
    const std::string prodSelect = "SELECT p.idprodotto, ip.imgimage IS NULL, EXISTS (SELECT 1 "
                                   "FROM prod_collegati pc WHERE pc.idprodotto = "
                                   "p.idprodotto), p.txcodprodotto, p.txdescprodotto, "
                                   "p.idfornitore, p.nuanno, u.dtultaperto, u.nuaperti, "
                                   "u.nuchiusi, p.dtmod, p.txutentemod, p.dtin, p.txutentein, "
                                   "l.dtmaxlist, p.flaccessorio, p.fldocumentazione, "
                                   "p.flprodottoattivo, greatest(p.dtin, p.dtmod, l.dtmaxlist) "
                                   "FROM prodotti p LEFT JOIN images_prodotti ip ON "
                                   "ip.idimage = p.idprodotto LEFT JOIN (SELECT d.idprodotto, "
                                   "max(q.dtpreventivo) FILTER (WHERE q.flbloccato = "
                                   "0 AND q.dtcanc IS NULL) AS dtultaperto, count(DISTINCT "
                                   "q.idpreventivo) FILTER (WHERE q.flbloccato = 0 AND "
                                   "q.dtcanc IS NULL) AS nuaperti, count(DISTINCT q.idpreventivo) "
                                   "FILTER (WHERE q.flbloccato = 1) AS nuchiusi "
                                   "FROM preventivo_dettaglio d JOIN preventivi q ON "
                                   "q.idpreventivo = d.idpreventivo GROUP BY d.idprodotto) u ON "
                                   "u.idprodotto = p.idprodotto LEFT JOIN (SELECT pl.idprodotto, "
                                   "max(greatest(pl.dtin, pl.dtmod, pl.dtcanc)) AS "
                                   "dtmaxlist FROM prod_listini pl GROUP BY pl.idprodotto) l ON "
                                   "l.idprodotto = p.idprodotto WHERE "
                                   "p.flprodottoattivo = 1";
    g_pairs.push_back({"EstraiProdotti tutti",
                       std::string("SELECT * FROM EstraiProdotti( 1, null, ") + kAll
                           + ", 0, null, 0, 0, 0, 0, 1, 1, 1)",
                       prodSelect,
                       2.0});
    g_pairs.push_back(
        {"EstraiProdotti testo",
         std::string("SELECT * FROM EstraiProdotti( 1, null, ") + kAll
             + ", 0, 'fontana modello', 0, 0, 0, 0, 1, 1, 1)",
         prodSelect
             + " AND (p.txdescprodotto ILIKE '%fontana%' OR p.txcodprodotto ILIKE '%fontana%' OR "
               "EXISTS (SELECT 1 FROM prod_listini fl WHERE fl.idprodotto = p.idprodotto AND "
               "(fl.txdesclistino ILIKE '%fontana%' OR fl.txcodlistino ILIKE '%fontana%'))) AND "
               "(p.txdescprodotto ILIKE '%modello%' OR p.txcodprodotto ILIKE '%modello%' OR EXISTS "
               "(SELECT 1 FROM prod_listini fl WHERE fl.idprodotto = p.idprodotto AND "
               "(fl.txdesclistino ILIKE '%modello%' OR fl.txcodlistino ILIKE '%modello%')))",
         2.0});
    g_pairs.push_back(
        {"EstraiOrdini",
         std::string("SELECT * FROM EstraiOrdini( 1, ") + kSoc1
             + ", null, null, null, null, null, 0, 0, 1)",
         "SELECT o.*, c.txcodcliente, c.txdenominazione FROM ordini o LEFT JOIN preventivi q ON "
         "q.idpreventivo = o.idpreventivo LEFT JOIN clienti c ON c.idcliente = o.idcliente WHERE "
         "o.idsocieta = "
             + std::string(kSoc1) + " AND o.dtcanc IS NULL",
         2.0});
    g_pairs.push_back({"EstraiProdottiNotLinked",
                       "SELECT * FROM EstraiProdottiNotLinked( 1, '" + prod + "', " + kAll
                           + ", 0, 'rossi', 0, 1, 1, 1)",
                       "SELECT p.idprodotto, p.txdescprodotto || ' [' || p.txcodprodotto || ']', "
                       "p.dtmod, p.dtin, "
                       "p.flaccessorio, p.fldocumentazione, p.flprodottoattivo, p.txdescprodotto, "
                       "p.txcodprodotto FROM "
                       "prodotti p WHERE p.flprodottoattivo = 1 AND p.idprodotto <> '"
                           + prod
                           + "' AND NOT EXISTS "
                             "(SELECT 1 FROM prod_collegati c WHERE c.idprodotto = '"
                           + prod
                           + "' AND c.idprodcollegato = "
                             "p.idprodotto) AND (p.txdescprodotto ILIKE '%rossi%' OR "
                             "p.txcodprodotto ILIKE '%rossi%' OR "
                             "EXISTS (SELECT 1 FROM prod_listini fl WHERE fl.idprodotto = "
                             "p.idprodotto AND (fl.txdesclistino "
                             "ILIKE '%rossi%' OR fl.txcodlistino ILIKE '%rossi%')))",
                       2.0});
    g_pairs.push_back(
        {"EstraiListinoProdotto",
         "SELECT * FROM EstraiListinoProdotto('" + prod + "')",
         "SELECT l.*, EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idprodlistino = "
         "l.idprodlistino), EXISTS (SELECT 1 FROM prod_list_scheda_valori v WHERE v.idprodlistino "
         "= "
         "l.idprodlistino), EXISTS (SELECT 1 FROM prod_list_parte_quantita q WHERE q.idprodlistino "
         "= "
         "l.idprodlistino) FROM prod_listini l WHERE l.idprodotto = '"
             + prod + "' ORDER BY l.txcodlistino",
         2.0});
    g_pairs.push_back(
        {"EstraiProdottiInPreventivo",
         "SELECT * FROM EstraiProdottiInPreventivo('" + quote + "')",
         "SELECT d.*, p.txcodprodotto, p.txdescprodotto, p.fldocumentazione, ipv.imgpreview FROM "
         "preventivo_dettaglio d JOIN prodotti p ON p.idprodotto = d.idprodotto LEFT JOIN "
         "images_prodotti_preview ipv ON ipv.idimage = d.idprodotto WHERE coalesce(d.idpreventivo, "
         "d.idordine) = '"
             + quote + "' ORDER BY d.nuordinamento",
         2.0});
    g_pairs.push_back(
        {"EstraiFornitori",
         "SELECT * FROM EstraiFornitori()",
         "SELECT c.idcatalogo, f.idfornitore, c.nuanno, f.txfornitore, c.nuanno::text, "
         "f.txfornitore || ' ' || c.nuanno, f.txfornitore || ' ' || c.nuanno, CASE WHEN "
         "c.flattuale = 1 THEN 'B' ELSE 'C' END, CASE WHEN f.fldefault = 1 AND c.nuanno = "
         "(SELECT max(c2.nuanno) FROM fornitori_cataloghi c2 WHERE c2.idfornitore = "
         "f.idfornitore) THEN 1 ELSE 0 END FROM fornitori f JOIN fornitori_cataloghi c ON "
         "c.idfornitore = f.idfornitore WHERE f.dtcanc IS NULL UNION ALL SELECT "
         "f.idfornitore, f.idfornitore, NULL, f.txfornitore, NULL, f.txfornitore, "
         "f.txfornitore, 'B', 0 FROM fornitori f WHERE f.dtcanc IS NULL ORDER BY 8, 7",
         2.0});
    const std::string found
        = "SELECT p.idprodotto FROM prodotti p WHERE p.flprodottoattivo = 1 AND "
          "(p.txdescprodotto ILIKE '%fontana%' OR p.txcodprodotto ILIKE '%fontana%' "
          "OR EXISTS (SELECT 1 FROM prod_listini fl WHERE fl.idprodotto = "
          "p.idprodotto AND (fl.txdesclistino ILIKE '%fontana%' OR fl.txcodlistino "
          "ILIKE '%fontana%')))";
    g_pairs.push_back(
        {"EstraiProdottiForPreventivo",
         "CURSORI SELECT * FROM EstraiProdottiForPreventivo(1, " + std::string(kAll)
             + ", 0, 'fontana', 1, 1, 1)",
         "SELECT p.idprodotto, p.txdescprodotto || ' [' || p.txcodprodotto || ']', "
         "p.txdescprodotto, "
         "p.txcodprodotto, greatest(p.dtin, p.dtmod, (SELECT max(greatest(l.dtin, l.dtmod)) FROM "
         "prod_listini l WHERE l.idprodotto = p.idprodotto)), p.flaccessorio, p.fldocumentazione "
         "FROM "
         "prodotti p WHERE p.idprodotto IN ("
             + found
             + "); SELECT c.idprodotto, c.idprodcollegato, c.idprodlistino, c.nuquantita, "
               "p.txdescprodotto || ' [' || p.txcodprodotto || ']', 0, c.flaccessorio, "
               "p.fldocumentazione, c.nuordinecollegamento FROM prod_collegati c JOIN prodotti p "
               "ON "
               "p.idprodotto = c.idprodcollegato WHERE p.flprodottoattivo = 1 AND c.idprodotto IN ("
             + found
             + ") ORDER BY c.idprodotto, c.nuordinecollegamento; SELECT l.idprodotto, "
               "l.idprodlistino, l.txcodlistino, l.txdesclistino, l.vllistino, l.numaxpercsconto, "
               "l.vlmaxsconto FROM prod_listini l WHERE l.dtcanc IS NULL AND l.idprodotto IN ("
             + found + ") ORDER BY l.idprodotto, l.vllistino DESC",
         2.0});
    // The tree of 500 nodes: the editor's load, and copying the product into a quote line.
    const std::string plainTree = "SELECT * FROM prodotti_nodi WHERE idprodotto = '" + tree
                                  + "' ORDER BY nuordera, nuorderb, nuorderc, nuorderd";
    g_pairs.push_back(
        {"Albero di 500 nodi",
         "CURSORI SELECT * FROM EstraiAllDettagliProdotto('" + tree + "', 0, 0, 0, 0, 0, 0)",
         plainTree,
         3.0});
    g_pairs.push_back({"Copia in una riga di preventivo",
                       "BEGIN; SELECT * FROM AddProdottoToPreventivo('" + quote + "', '"
                           + QUuid::createUuid().toString().toUpper().toStdString() + "', '" + tree
                           + "', '" + list + "', 1, 0, 'BENCH'); ROLLBACK;",
                       plainTree,
                       3.0});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QString base;
    if (qEnvironmentVariableIsEmpty("VENTOREL_TEST_PGSOCKET")) {
        base = QStringLiteral("/tmp/vt-bench-db");
        if (!runProcess(QStringLiteral("bash"),
                        {sourceDir() + "/scripts/testdb.sh", "start", base},
                        600000)) {
            std::fprintf(stderr, "cannot start the benchmark database cluster\n");
            return 1;
        }
        qputenv("VENTOREL_TEST_PGSOCKET", (base + QStringLiteral("/run")).toUtf8());
    }
    int rc = 0;
    {
        TTestDatabase db(TTestDatabase::Empty);
        g_db = &db;
        std::fprintf(stderr, "Costruzione del data set di scala (alcuni minuti)...\n");
        QElapsedTimer t;
        t.start();
        if (!runProcess(QStringLiteral("psql"),
                        {"-X",
                         "-q",
                         "-v",
                         "ON_ERROR_STOP=1",
                         "-h",
                         TTestDatabase::SocketDir(),
                         "-U",
                         "postgres",
                         "-d",
                         db.Name(),
                         "-f",
                         sourceDir() + "/database/scale/genera_scala.sql"},
                        1800000)) {
            std::fprintf(stderr, "cannot build the scale data set\n");
            rc = 1;
        } else {
            std::fprintf(stderr, "Data set pronto in %.0f s\n", t.elapsed() / 1000.0);
            TConnectionParams p = db.Params();
            p.login = QStringLiteral("postgres");
            p.password.clear();
            g_conn = PQconnectdb(TSTD_DBMODULE::ComposeConnectionString(p).toUtf8().constData());
            scalar("SET jit = off");
            buildPairs();
            for (const TPair &pair : g_pairs) {
                benchmark::RegisterBenchmark((pair.name + "/funzione").c_str(),
                                             [sql = pair.function](benchmark::State &s) {
                                                 long long sink = 0;
                                                 for (auto _ : s)
                                                     sink += runAndRead(sql);
                                                 benchmark::DoNotOptimize(sink);
                                             })
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark((pair.name + "/select").c_str(),
                                             [sql = pair.plain](benchmark::State &s) {
                                                 long long sink = 0;
                                                 for (auto _ : s)
                                                     sink += runAndRead(sql);
                                                 benchmark::DoNotOptimize(sink);
                                             })
                    ->Unit(benchmark::kMillisecond);
            }
            TRatioReporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            std::printf("\n%-40s %12s %12s %8s %8s\n",
                        "confronto",
                        "funzione ms",
                        "select ms",
                        "rapporto",
                        "limite");
            for (const TPair &pair : g_pairs) {
                const double f = g_times[pair.name + "/funzione"];
                const double s = g_times[pair.name + "/select"];
                if (f <= 0 || s <= 0)
                    continue;
                std::printf("%-40s %12.2f %12.2f %8.2f %8.1f%s\n",
                            pair.name.c_str(),
                            f,
                            s,
                            f / s,
                            pair.limit,
                            f / s > pair.limit ? "  OLTRE IL LIMITE" : "");
            }
            PQfinish(g_conn);
        }
        g_db = nullptr;
    }
    benchmark::Shutdown();
    if (!base.isEmpty())
        runProcess(QStringLiteral("bash"),
                   {sourceDir() + "/scripts/testdb.sh", "stop", base},
                   120000);
    return rc;
}
