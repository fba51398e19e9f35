// "Anteprima stampa prodotto" of the largest demo product and of a generated 300-node product:
// the time to the first page shown (data read, pictures fitted, report made, preview window
// open with page 1 painted) and pages per second when paging through the preview, against
// painting the same pages into a PDF. The preview must not be slower than the PDF plus 50 %;
// the ratios are printed at the end.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/vt-bench-preview and stops it at the end.

#include "catalogue/productpreview.h"
#include "common/sessioninfo.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reportrender.h"
#include "reports/view_report.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include "bench/generatedproduct.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct TProduct
{
    const char *label;
    QString id;
};
std::vector<TProduct> g_products; // 0: largest demo product, 1: generated 300 nodes
QString g_pdf;                    // scratch PDF

void ProcessDeletions()
{
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// The operator's "Anteprima stampa prodotto" up to the first page painted on screen.
void BM_FirstPageShown(benchmark::State &state)
{
    const TProduct &product = g_products[size_t(state.range(0))];
    state.SetLabel(product.label);
    TDialogRecorder dialogs;
    int pages = 0;
    for (auto _ : state) {
        QPointer<TVIEW_REPORT> window = PrintProductPreview(product.id);
        if (!window) {
            state.SkipWithError("anteprima non aperta");
            break;
        }
        benchmark::DoNotOptimize(window->VR_Preview->CurrentPageImage().isNull());
        pages = window->iRptPageTo;
        state.PauseTiming();
        window->close();
        ProcessDeletions();
        state.ResumeTiming();
    }
    state.counters["pagine"] = pages;
}

// The pages of one preview, and its window, made once per benchmark.
struct TShownPreview
{
    QPointer<TVIEW_REPORT> window;
    std::shared_ptr<const TReportDocument> doc;
    explicit TShownPreview(const QString &id)
        : window(PrintProductPreview(id))
    {
        if (window) {
            window->resize(900, 1200);
            window->VR_Preview->Zoom(100); // the page at its real size on a 96 dpi screen
            doc = window->VR_Preview->Document();
        }
    }
    ~TShownPreview()
    {
        if (window)
            window->close();
        ProcessDeletions();
    }
};

// Paging through the preview: every page painted as the viewer shows it.
void BM_PreviewPages(benchmark::State &state)
{
    const TProduct &product = g_products[size_t(state.range(0))];
    state.SetLabel(product.label);
    TDialogRecorder dialogs;
    TShownPreview shown(product.id);
    if (!shown.doc) {
        state.SkipWithError("anteprima non aperta");
        return;
    }
    TKRTViewReport *viewer = shown.window->VR_Preview;
    const int pages = shown.doc->PageCount();
    for (auto _ : state) {
        for (int p = 1; p <= pages; ++p) {
            viewer->ShowNthPage(p);
            benchmark::DoNotOptimize(viewer->CurrentPageImage().isNull());
        }
    }
    state.counters["pagine_al_s"] = benchmark::Counter(double(pages) * state.iterations(),
                                                       benchmark::Counter::kIsRate);
}

// The same pages painted into a PDF.
void BM_PdfPages(benchmark::State &state)
{
    const TProduct &product = g_products[size_t(state.range(0))];
    state.SetLabel(product.label);
    TDialogRecorder dialogs;
    TShownPreview shown(product.id);
    if (!shown.doc) {
        state.SkipWithError("anteprima non aperta");
        return;
    }
    for (auto _ : state)
        WritePdf(*shown.doc, g_pdf);
    state.counters["pagine_al_s"] = benchmark::Counter(double(shown.doc->PageCount())
                                                           * state.iterations(),
                                                       benchmark::Counter::kIsRate);
}

// Median time (ms) of a few runs of a step.
template<typename F>
double MedianMs(F step, int runs = 7)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        step();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void PrintRatios()
{
    TDialogRecorder dialogs;
    std::fprintf(stdout, "\nAnteprima (tutte le pagine) / PDF (stesse pagine), limite 1,50:\n");
    for (const TProduct &product : g_products) {
        TShownPreview shown(product.id);
        if (!shown.doc)
            continue;
        TKRTViewReport *viewer = shown.window->VR_Preview;
        const int pages = shown.doc->PageCount();
        const double preview = MedianMs([&] {
            for (int p = 1; p <= pages; ++p) {
                viewer->ShowNthPage(p);
                viewer->CurrentPageImage();
            }
        });
        const double pdf = MedianMs([&] { WritePdf(*shown.doc, g_pdf); });
        std::fprintf(stdout,
                     "  %-28s %3d pagine: anteprima %7.1f ms, PDF %7.1f ms, rapporto %.2f %s\n",
                     product.label,
                     pages,
                     preview,
                     pdf,
                     preview / pdf,
                     preview <= 1.5 * pdf ? "ok" : "OLTRE IL LIMITE");
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::QuietOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The program folder holds the report designs.
    qputenv("VENTOREL_HOME", benchsupport::sourceDir().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MROSSI");

    const benchsupport::TBenchCluster cluster(QStringLiteral("/tmp/vt-bench-preview"));
    if (!cluster.Ok())
        return 1;
    int rc = 0;
    {
        QTemporaryDir scratch;
        g_pdf = scratch.filePath(QStringLiteral("anteprima.pdf"));
        TTestDatabase db(TTestDatabase::Demo);
        db.LogOn(QStringLiteral("MROSSI"));
        const QString largest = db.SuperQuery(
            QStringLiteral("SELECT idprodotto FROM prodotti_nodi GROUP BY idprodotto ORDER BY "
                           "count(*) DESC, idprodotto LIMIT 1"));
        const QString nodes = db.SuperQuery(
            benchsupport::GeneratedProductSql(QStringLiteral(
                                                  "{B3C00000-0000-4000-8000-000000000300}"),
                                              QStringLiteral("GEN-300"),
                                              QStringLiteral(
                                                  "QUADRO GENERATO DI PROVA CON TRECENTO NODI"),
                                              8,
                                              17));
        std::fprintf(stderr, "Prodotto generato: %s nodi\n", qPrintable(nodes));
        g_products = {{"prodotto demo piu' grande", largest},
                      {"prodotto di 300 nodi",
                       QStringLiteral("{B3C00000-0000-4000-8000-000000000300}")}};
        for (auto *b : {benchmark::RegisterBenchmark("BM_FirstPageShown", BM_FirstPageShown),
                        benchmark::RegisterBenchmark("BM_PreviewPages", BM_PreviewPages),
                        benchmark::RegisterBenchmark("BM_PdfPages", BM_PdfPages)})
            b->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
        benchmark::RunSpecifiedBenchmarks();
        PrintRatios();
        benchmark::Shutdown();
    }
    return rc;
}
