// "Dettagli del prodotto" on a generated product of 500 nodes: opening the editor to the tree
// painted; one enable/disable of a paragraph to the tree rebuilt and painted, against the
// node function's own time on the server (the function and the reading of its cursors,
// measured inside the server); the live preview rebuilt (pages per second); the whole tree
// expanded and scrolled screen by screen. The enable/disable target is at most 2x the server
// time; the ratio is printed at the end.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/vt-bench-dettagli and stops it at the end.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtree.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include "bench/generatedproduct.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kProduct = QStringLiteral("{B3C00000-0000-4000-8000-000000000500}");

// The server's own time (ms) of a node function: the call and the reading of every cursor it
// answers, timed inside the server, without sending the rows anywhere.
const char *const kServerTime = R"SQL(
CREATE OR REPLACE FUNCTION bench_tempo_server(p_sql text) RETURNS double precision
LANGUAGE plpgsql AS $$
DECLARE
    t0 timestamptz := clock_timestamp();
    c refcursor;
BEGIN
    FOR c IN EXECUTE p_sql LOOP
        MOVE FORWARD ALL FROM c;
    END LOOP;
    RETURN extract(epoch FROM clock_timestamp() - t0) * 1000;
END $$;
SELECT 1;
)SQL";

void ProcessDeletions()
{
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// The editor opened on the generated product (preview on or off), as the product list does.
QPointer<TDETTAGLI_PRODOTTO> OpenEditor()
{
    auto *w = qobject_cast<TDETTAGLI_PRODOTTO *>(
        CreateRegisteredWindow(QStringLiteral("DETTAGLI_PRODOTTO"), nullptr));
    if (!w)
        return nullptr;
    w->resize(1400, 900);
    w->Start(false,
             kProduct,
             QStringLiteral("GEN-500"),
             QStringLiteral("QUADRO GENERATO DI PROVA CON CINQUECENTO NODI"),
             true);
    w->show();
    return w;
}

void CloseEditor(QPointer<TDETTAGLI_PRODOTTO> &w)
{
    if (w)
        w->close();
    ProcessDeletions();
}

// Opening: window made, rows read, tree built and painted. The preview is only requested
// (it runs after the tree is on screen) and is measured on its own below.
void BM_OpenToTreeShown(benchmark::State &state)
{
    TDialogRecorder dialogs;
    int nodes = 0;
    for (auto _ : state) {
        QPointer<TDETTAGLI_PRODOTTO> w = OpenEditor();
        if (!w || !w->DST_TREE_Dettagli) {
            state.SkipWithError("editor non aperto");
            break;
        }
        benchmark::DoNotOptimize(w->TV_Dettagli->viewport()->grab().isNull());
        nodes = w->TV_Dettagli->NodeCount();
        state.PauseTiming();
        CloseEditor(w);
        state.ResumeTiming();
    }
    state.counters["nodi"] = nodes;
}

// The middle paragraph of the tree.
TVRLDettProd *MiddleParagraph(TDettProdTree *tree)
{
    std::vector<TVRLDettProd *> paragraphs;
    for (TDettProdTreeItem *item : tree->Items())
        if (item->Node()->xTipoNode == cnComponente)
            paragraphs.push_back(item->Node());
    return paragraphs.empty() ? nullptr : paragraphs[paragraphs.size() / 2];
}

// The editor without the live preview, on the middle paragraph.
struct TEditorOnParagraph
{
    QPointer<TDETTAGLI_PRODOTTO> w;
    QString sIdNodo;
    int iTipologia = 0;
    TEditorOnParagraph()
        : w(OpenEditor())
    {
        if (!w)
            return;
        w->CK_PreviewProd->setChecked(false);
        w->RunPendingPreview();
        TVRLDettProd *node = MiddleParagraph(w->TV_Dettagli);
        if (!node)
            return;
        sIdNodo = node->sIdNodo;
        iTipologia = node->iNuTipologia;
    }
    ~TEditorOnParagraph() { CloseEditor(w); }
    bool Ready() const { return w && !sIdNodo.isEmpty(); }
    // One enable or disable, from the menu entry to the tree painted again.
    void Toggle()
    {
        TDettProdTreeItem *item = w->TV_Dettagli->FindTreeNode(sIdNodo);
        if (!item || !w->PrepareTreeMenu(item->Node()))
            return;
        w->EnableDisableNode();
        w->TV_Dettagli->viewport()->grab();
    }
    QString ServerCall() const
    {
        return QStringLiteral("SELECT * FROM changestatenodo('%1', 0, '%2', %3, 0, 'MROSSI')")
            .arg(kProduct, sIdNodo)
            .arg(iTipologia);
    }
};

void BM_EnableDisableRoundTrip(benchmark::State &state)
{
    TDialogRecorder dialogs;
    TEditorOnParagraph editor;
    if (!editor.Ready()) {
        state.SkipWithError("editor non aperto");
        return;
    }
    const bool wasActive = editor.w->TV_Dettagli->FindTreeNode(editor.sIdNodo)->Node()->bAttivo;
    for (auto _ : state)
        editor.Toggle();
    // Every round trip reached the database and came back without a message: after an even
    // number of them the paragraph is as it was, and it is still selected.
    const TVRLDettProd *node = editor.w->TV_Dettagli->CurrentNode();
    const bool expected = state.iterations() % 2 == 0 ? wasActive : !wasActive;
    if (!node || node->sIdNodo != editor.sIdNodo || node->bAttivo != expected
        || !dialogs.Requests().isEmpty())
        state.SkipWithError("attiva/disattiva non eseguito");
}

// A connection of its own that stays open, so that the server has its plans warm as it has
// for the editor's connection (a new connection pays for compiling the functions again).
class TServerClock
{
public:
    TServerClock(const QString &database)
        : m_conn(PQconnectdb(QStringLiteral("host=%1 dbname=%2 user=postgres")
                                 .arg(TTestDatabase::SocketDir(), database)
                                 .toUtf8()
                                 .constData()))
    {}
    ~TServerClock() { PQfinish(m_conn); }
    TServerClock(const TServerClock &) = delete;
    TServerClock &operator=(const TServerClock &) = delete;

    // The server's own time (ms) of the call; negative when it failed.
    double Ms(const QString &call)
    {
        const QByteArray text = call.toUtf8();
        const char *values[] = {text.constData()};
        PGresult *r = PQexecParams(m_conn,
                                   "SELECT bench_tempo_server($1)",
                                   1,
                                   nullptr,
                                   values,
                                   nullptr,
                                   nullptr,
                                   0);
        double ms = -1;
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1)
            ms = QString::fromUtf8(PQgetvalue(r, 0, 0)).toDouble();
        else
            std::fprintf(stderr, "%s", PQerrorMessage(m_conn));
        PQclear(r);
        return ms;
    }

private:
    PGconn *m_conn;
};
TServerClock *g_clock = nullptr;

double ServerMs(const QString &call)
{
    return g_clock->Ms(call);
}

// The same node function as the editor sends it, its rows fetched and decoded, without the
// window: what the database layer costs on top of the server.
void BM_EnableDisableCall(benchmark::State &state)
{
    TDialogRecorder dialogs;
    TEditorOnParagraph editor;
    if (!editor.Ready()) {
        state.SkipWithError("editor non aperto");
        return;
    }
    editor.Toggle();
    const QString command = TSTD_DBMODULE::Instance()->LastCommandText();
    for (auto _ : state)
        benchmark::DoNotOptimize(TSTD_DBMODULE::Instance()->QueryMulti(command).size());
}

void BM_EnableDisableServerTime(benchmark::State &state)
{
    TEditorOnParagraph editor; // for the node's id
    if (!editor.Ready()) {
        state.SkipWithError("editor non aperto");
        return;
    }
    // The first calls on the connection compile the functions.
    ServerMs(editor.ServerCall());
    ServerMs(editor.ServerCall());
    for (auto _ : state) {
        const double ms = ServerMs(editor.ServerCall());
        if (ms < 0) {
            state.SkipWithError("funzione non eseguita");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
    }
}

// The live preview of the whole product built again (as after every operation), with the
// pages looked up for every node of the tree.
void BM_PreviewRebuild(benchmark::State &state)
{
    TDialogRecorder dialogs;
    QPointer<TDETTAGLI_PRODOTTO> w = OpenEditor();
    if (!w) {
        state.SkipWithError("editor non aperto");
        return;
    }
    w->RunPendingPreview();
    int pages = 0;
    for (auto _ : state) {
        w->PreviewReportProdottoEx();
        pages = w->PAN_Preview->iRptPageTo;
    }
    if (!w->PAN_Preview->HasPreview())
        state.SkipWithError("anteprima non costruita");
    state.counters["pagine"] = pages;
    state.counters["pagine_al_s"] = benchmark::Counter(double(pages) * state.iterations(),
                                                       benchmark::Counter::kIsRate);
    CloseEditor(w);
}

// The whole tree expanded and scrolled from top to bottom, one screen at a time, each screen
// painted.
void BM_TreeScroll(benchmark::State &state)
{
    TDialogRecorder dialogs;
    TEditorOnParagraph editor;
    if (!editor.Ready()) {
        state.SkipWithError("editor non aperto");
        return;
    }
    TDettProdTree *tree = editor.w->TV_Dettagli;
    tree->ShowAll();
    QScrollBar *bar = tree->verticalScrollBar();
    int screens = 0;
    for (auto _ : state) {
        screens = 0;
        for (int v = bar->minimum(); v <= bar->maximum(); v += qMax(1, bar->pageStep())) {
            bar->setValue(v);
            benchmark::DoNotOptimize(tree->viewport()->grab().isNull());
            ++screens;
        }
    }
    state.counters["schermate"] = screens;
    state.counters["schermate_al_s"] = benchmark::Counter(double(screens) * state.iterations(),
                                                          benchmark::Counter::kIsRate);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The three measures taken in turn, many times, so that the load of the machine weighs on
// each alike; the medians are compared.
void PrintRatio()
{
    TDialogRecorder dialogs;
    TEditorOnParagraph editor;
    if (!editor.Ready())
        return;
    editor.Toggle();
    const QString command = TSTD_DBMODULE::Instance()->LastCommandText();
    std::vector<double> server, call, round;
    for (int i = 0; i < 41; ++i) {
        server.push_back(ServerMs(editor.ServerCall()));
        QElapsedTimer t;
        t.start();
        TSTD_DBMODULE::Instance()->QueryMulti(command);
        call.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        editor.Toggle();
        round.push_back(t.nsecsElapsed() / 1e6);
    }
    const double s = Median(server), c = Median(call), r = Median(round);
    std::fprintf(stdout,
                 "\nAttiva/disattiva paragrafo (%d nodi), mediane di %d giri: funzione sul server "
                 "%.1f ms, chiamata dal programma (righe lette) %.1f ms, giro completo fino "
                 "all'albero ridisegnato %.1f ms, rapporto %.2f (limite 2,00) %s\n",
                 editor.w->TV_Dettagli->NodeCount(),
                 int(round.size()),
                 s,
                 c,
                 r,
                 r / s,
                 r <= 2 * s ? "ok" : "OLTRE IL LIMITE");
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::QuietOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // A program folder of its own with the live preview's report (the preview writes its
    // scratch export there).
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("Reports"));
    QFile::copy(benchsupport::sourceDir() + QStringLiteral("/Reports/pdprwdet00.RPT"),
                home.filePath(QStringLiteral("Reports/pdprwdet00.RPT")));
    qputenv("VENTOREL_HOME", home.path().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MROSSI");
    SessionInfo().sUserSettingsFile = home.filePath(QStringLiteral("VentorelWin_MROSSI.ini"));

    const benchsupport::TBenchCluster cluster(QStringLiteral("/tmp/vt-bench-dettagli"));
    if (!cluster.Ok())
        return 1;
    {
        TTestDatabase db(TTestDatabase::Demo);
        TServerClock clock(db.Name());
        g_clock = &clock;
        db.LogOn(QStringLiteral("MROSSI"));
        const QString nodes = db.SuperQuery(
            benchsupport::GeneratedProductSql(kProduct,
                                              QStringLiteral("GEN-500"),
                                              QStringLiteral(
                                                  "QUADRO GENERATO DI PROVA CON CINQUECENTO NODI"),
                                              12,
                                              41));
        db.SuperQuery(QString::fromUtf8(kServerTime));
        std::fprintf(stderr, "Prodotto generato: %s nodi\n", qPrintable(nodes));
        benchmark::RegisterBenchmark("BM_OpenToTreeShown", BM_OpenToTreeShown)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_EnableDisableRoundTrip", BM_EnableDisableRoundTrip)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_EnableDisableCall", BM_EnableDisableCall)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_EnableDisableServerTime", BM_EnableDisableServerTime)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
        benchmark::RegisterBenchmark("BM_PreviewRebuild", BM_PreviewRebuild)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_TreeScroll", BM_TreeScroll)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RunSpecifiedBenchmarks();
        PrintRatio();
        benchmark::Shutdown();
        g_clock = nullptr;
    }
    return 0;
}
