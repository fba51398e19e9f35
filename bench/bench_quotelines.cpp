// The quote lines editor on a generated quote of 1,000 lines (each a product with a cover and a
// tree of 50 nodes): opening the editor to the grid painted, against the line function alone
// with libpq; "Conferma" of a line's amount to the grid updated, against UpdateChangeOfListino
// alone; adding a product with two linked products to the grid updated, against the three
// calls in one transaction and the reload of the lines alone. The peak
// memory of the process with the quote open is printed at the end.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/vt-bench-righe and stops it at the end.

#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "domain/vrldettprev.h"
#include "quotes/dettagli_preventivo.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include "bench/generatedproduct.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>

namespace {

const QString kProduct = QStringLiteral("{0B1E0000-0000-4000-8000-000000000050}");
const QString kQuote = QStringLiteral("{0B1E0000-0000-4000-8000-00000000A001}");
QString g_database;

// 1,000 lines of the generated product (with its first list) in a new quote of company 1.
const char *const kQuoteSql = R"SQL(
DO $$
DECLARE
    lis varchar;
BEGIN
    SELECT idprodlistino INTO lis FROM prod_listini
     WHERE idprodotto = (SELECT idprodotto FROM prodotti WHERE flaccessorio = 0
                          AND fldocumentazione = 0 AND idprodotto <> '%1' LIMIT 1) LIMIT 1;
    INSERT INTO prod_listini (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino)
    VALUES ('{0B1E0000-0000-4000-8000-0000000000B1}', '%1', 'L1-GEN', 'Esecuzione base', 10000);
    INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, nuggscaddalblocco)
    VALUES ('%2', '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}',
            (SELECT min(idcliente) FROM clienti WHERE idsocieta = '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}'),
            'Mille righe', 10);
    FOR i IN 1..1000 LOOP
        PERFORM addprodottotopreventivo('%2', '{' || upper(gen_random_uuid()::text) || '}', '%1',
                                        '{0B1E0000-0000-4000-8000-0000000000B1}', 1, 0, 'MROSSI');
    END LOOP;
END $$;
SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '%2';
)SQL";

PGconn *Connect()
{
    return PQconnectdb(QStringLiteral("host=%1 dbname=%2 user=postgres")
                           .arg(TTestDatabase::SocketDir(), g_database)
                           .toUtf8()
                           .constData());
}

double PeakMemoryMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double g_peakMb = 0;

void BM_OpenToGridShown(benchmark::State &state)
{
    TDialogRecorder dialogs;
    int lines = 0;
    for (auto _ : state) {
        auto w = std::make_unique<TDETTAGLI_PREVENTIVO>();
        w->resize(1500, 900);
        w->show();
        w->Start(kQuote, QStringLiteral("0001/2026"), QStringLiteral("Mille righe"));
        w->SG_Dettagli->viewport()->repaint();
        lines = w->LineCount();
        g_peakMb = qMax(g_peakMb, PeakMemoryMb());
        dialogs.QueueYes();
        w->close();
    }
    state.counters["lines"] = lines;
}

void BM_LibpqLines(benchmark::State &state)
{
    PGconn *c = Connect();
    const QByteArray sql = ("SELECT * FROM EstraiProdottiInPreventivo('" + kQuote + "')").toUtf8();
    for (auto _ : state) {
        PGresult *r = PQexec(c, sql.constData());
        benchmark::DoNotOptimize(PQntuples(r));
        PQclear(r);
    }
    PQfinish(c);
}

void BM_ConfirmAmount(benchmark::State &state)
{
    TDialogRecorder dialogs;
    auto w = std::make_unique<TDETTAGLI_PREVENTIVO>();
    w->resize(1500, 900);
    w->show();
    w->Start(kQuote, QStringLiteral("0001/2026"), QStringLiteral("Mille righe"));
    w->SelectRow(500);
    w->ShowListini();
    int n = 0;
    for (auto _ : state) {
        w->EF_Listino_Importo->SetText(n++ % 2 ? QStringLiteral("9.000,00")
                                               : QStringLiteral("9.500,00"));
        if (!w->ConfirmPrice())
            state.SkipWithError("Conferma non riuscita");
        w->SG_Dettagli->viewport()->repaint();
    }
    dialogs.QueueYes();
    w->close();
}

void BM_LibpqUpdateChangeOfListino(benchmark::State &state)
{
    PGconn *c = Connect();
    PGresult *id = PQexec(c,
                          ("SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '"
                           + kQuote + "' AND nuordinamento = 501")
                              .toUtf8()
                              .constData());
    const QString line = QString::fromUtf8(PQgetvalue(id, 0, 0));
    PQclear(id);
    const QByteArray sql = ("SELECT * FROM UpdateChangeOfListino('" + line
                            + "', '{0B1E0000-0000-4000-8000-0000000000B1}', 'MROSSI')")
                               .toUtf8();
    for (auto _ : state) {
        PGresult *r = PQexec(c, sql.constData());
        PQclear(r);
    }
    PQfinish(c);
}

// The lines a benchmark added after the 1,000 generated ones go again, out of the timing.
void RemoveAddedLines(PGconn *c)
{
    PGresult *r = PQexec(c,
                         ("DELETE FROM preventivo_dettaglio WHERE idpreventivo = '" + kQuote
                          + "' AND nuordinamento > 1000")
                             .toUtf8()
                             .constData());
    PQclear(r);
}

QString SuperValue(PGconn *c, const QString &sql)
{
    PGresult *r = PQexec(c, sql.toUtf8().constData());
    const QString v = PQntuples(r) > 0 ? QString::fromUtf8(PQgetvalue(r, 0, 0)) : QString();
    PQclear(r);
    return v;
}

// The demo product with linked products that the operator adds.
const QString kMainCode = QStringLiteral("QDG-100");

void BM_AddWithTwoLinked(benchmark::State &state)
{
    TDialogRecorder dialogs;
    PGconn *c = Connect();
    const QString main = SuperValue(c,
                                    "SELECT idprodotto FROM prodotti WHERE txcodprodotto = '"
                                        + kMainCode + "'");
    auto w = std::make_unique<TDETTAGLI_PREVENTIVO>();
    w->resize(1500, 900);
    w->show();
    w->Start(kQuote, QStringLiteral("0001/2026"), QStringLiteral("Mille righe"));
    w->StartCatalogue();
    w->EF_Find_DescProdotto->SetText(kMainCode);
    w->PB_EstraiElencoClick();
    if (!w->DST_GRID_Prodotti
        || !w->DST_GRID_Prodotti->Locate(QStringLiteral("idProdotto"), main, loCaseInsensitive)
        || w->DST_GRID_ProdLinked->RecordCount() < 2) {
        state.SkipWithError("prodotto con collegati non trovato");
        PQfinish(c);
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        TDataSet &linked = *w->DST_GRID_ProdLinked;
        linked.First();
        w->ToggleLinked();
        linked.Next();
        w->ToggleLinked();
        dialogs.QueueYes(); // the product may be a line already (the window's last reload)
        state.ResumeTiming();
        w->AddCatalogueProduct(false);
        w->SG_Dettagli->viewport()->repaint();
        state.PauseTiming();
        if (w->LineCount() != 1003)
            state.SkipWithError("le tre righe non sono state aggiunte");
        RemoveAddedLines(c);
        state.ResumeTiming();
    }
    dialogs.QueueYes();
    w->close();
    PQfinish(c);
}

// The same three calls in one transaction and the reload of the lines, alone with libpq.
void BM_LibpqAddWithTwoLinked(benchmark::State &state)
{
    PGconn *c = Connect();
    const QString main = SuperValue(c,
                                    "SELECT idprodotto FROM prodotti WHERE txcodprodotto = '"
                                        + kMainCode + "'");
    const QString mainList = SuperValue(c,
                                        "SELECT min(idprodlistino) FROM prod_listini WHERE "
                                        "dtcanc IS NULL AND idprodotto = '"
                                            + main + "'");
    QStringList linked, lists;
    PGresult *r = PQexec(c,
                         ("SELECT c.idprodcollegato, coalesce(l.idprodlistino, '') FROM "
                          "prod_collegati c LEFT JOIN prod_listini l ON l.idprodlistino = "
                          "c.idprodlistino AND l.dtcanc IS NULL WHERE c.idprodotto = '"
                          + main + "' ORDER BY c.nuordinecollegamento LIMIT 2")
                             .toUtf8()
                             .constData());
    for (int i = 0; i < PQntuples(r); ++i) {
        linked << QString::fromUtf8(PQgetvalue(r, i, 0));
        lists << QString::fromUtf8(PQgetvalue(r, i, 1));
    }
    PQclear(r);
    if (linked.size() < 2) {
        state.SkipWithError("prodotto con collegati non trovato");
        PQfinish(c);
        return;
    }
    auto add = [&](const QString &product, const QString &list, int accessory) {
        const QString sql = QStringLiteral("SELECT * FROM AddProdottoToPreventivo('%1', '%2', "
                                           "'%3', %4, 1, %5, 'MROSSI')")
                                .arg(kQuote,
                                     QUuid::createUuid().toString(QUuid::WithBraces).toUpper(),
                                     product,
                                     list.isEmpty() ? QStringLiteral("NULL")
                                                    : QLatin1Char('\'') + list + QLatin1Char('\''))
                                .arg(accessory);
        PQclear(PQexec(c, sql.toUtf8().constData()));
    };
    const QByteArray reload = ("SELECT * FROM EstraiProdottiInPreventivo('" + kQuote + "')").toUtf8();
    for (auto _ : state) {
        PQclear(PQexec(c, "BEGIN"));
        add(main, mainList, 0);
        add(linked.at(0), lists.at(0), 1);
        add(linked.at(1), lists.at(1), 1);
        PQclear(PQexec(c, "COMMIT"));
        PGresult *rows = PQexec(c, reload.constData());
        if (PQntuples(rows) != 1003)
            state.SkipWithError("le tre righe non sono state aggiunte");
        PQclear(rows);
        state.PauseTiming();
        RemoveAddedLines(c);
        state.ResumeTiming();
    }
    PQfinish(c);
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::QuietOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir home;
    qputenv("VENTOREL_HOME", home.path().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MROSSI");
    SessionInfo().sOperatorCompanyId = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
    SessionInfo().sUserSettingsFile = home.filePath(QStringLiteral("VentorelWin_MROSSI.ini"));

    const benchsupport::TBenchCluster cluster(QStringLiteral("/tmp/vt-bench-righe"));
    if (!cluster.Ok())
        return 1;
    {
        TTestDatabase db(TTestDatabase::Demo);
        g_database = db.Name();
        db.LogOn(QStringLiteral("MROSSI"));
        const QString nodes = db.SuperQuery(
            benchsupport::GeneratedProductSql(kProduct,
                                              QStringLiteral("GEN-50"),
                                              QStringLiteral("QUADRO GENERATO CON CINQUANTA NODI"),
                                              1,
                                              0));
        const QString lines = db.SuperQuery(QString::fromUtf8(kQuoteSql).arg(kProduct, kQuote));
        std::fprintf(stderr,
                     "Prodotto generato: %s nodi; righe nel preventivo: %s\n",
                     qPrintable(nodes),
                     qPrintable(lines));
        benchmark::RegisterBenchmark("BM_LibpqLines", BM_LibpqLines)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_OpenToGridShown", BM_OpenToGridShown)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_LibpqUpdateChangeOfListino", BM_LibpqUpdateChangeOfListino)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_ConfirmAmount", BM_ConfirmAmount)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_LibpqAddWithTwoLinked", BM_LibpqAddWithTwoLinked)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(20);
        benchmark::RegisterBenchmark("BM_AddWithTwoLinked", BM_AddWithTwoLinked)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(20);
        benchmark::RunSpecifiedBenchmarks();
        std::fprintf(stderr, "Memoria di picco con il preventivo aperto: %.1f MB\n", g_peakMb);
        benchmark::Shutdown();
    }
    return 0;
}
