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

// A product of exactly 300 nodes: 2 data sheets of 11 items, 8 paragraphs of 5 sub-paragraphs
// with 3 texts and a picture each, and 17 tables of 3 items.
const char *const kGenerated = R"SQL(
DO $$
DECLARE
    prod varchar := '{B3C00000-0000-4000-8000-000000000300}';
    src prodotti;
    sheet varchar; comp varchar; part varchar; tab varchar; img varchar;
    tables int := 0;
    picture bytea;
    preview bytea;
    words text := 'Il quadro è realizzato con lamiere di acciaio zincato, verniciato a polveri '
                  'epossidiche, con porta trasparente e serratura a chiave; le apparecchiature '
                  'sono montate su piastra di fondo regolabile e cablate con conduttori '
                  'non propaganti l''incendio, capicorda preisolati e siglatura alle due estremità.';
BEGIN
    SELECT * INTO src FROM prodotti WHERE flaccessorio = 0 AND fldocumentazione = 0 LIMIT 1;
    SELECT imgimage INTO picture FROM images_dettagli WHERE imgimage IS NOT NULL LIMIT 1;
    SELECT imgpreview INTO preview FROM images_dettagli_preview WHERE imgpreview IS NOT NULL LIMIT 1;
    INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, txdescprodotto)
    VALUES (prod, prod, 'GEN-300', src.idfornitore, src.nuanno,
            'QUADRO GENERATO DI PROVA CON TRECENTO NODI');
    INSERT INTO images_prodotti SELECT prod, imgimage FROM images_prodotti WHERE idimage = src.idprodotto;
    FOR s IN 1..2 LOOP
        sheet := '{' || upper(gen_random_uuid()::text) || '}';
        INSERT INTO prod_schede (idschedaprodotto, idprodotto, nuordinenelprodotto, txdescschedaprodotto)
        VALUES (sheet, prod, s, 'Scheda tecnica ' || s);
        FOR v IN 1..11 LOOP
            INSERT INTO prod_scheda_voci (idvocescheda, idschedaprodotto, nuordinevocescheda, txdescvocescheda)
            VALUES ('{' || upper(gen_random_uuid()::text) || '}', sheet, v, 'Caratteristica ' || s || '.' || v);
        END LOOP;
    END LOOP;
    FOR c IN 1..8 LOOP
        comp := '{' || upper(gen_random_uuid()::text) || '}';
        INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto)
        VALUES (comp, prod, 2 + c, 'Paragrafo ' || c);
        FOR p IN 1..5 LOOP
            part := '{' || upper(gen_random_uuid()::text) || '}';
            INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp,
                                         flpartecompimportante)
            VALUES (part, comp, p, 'Sottoparagrafo ' || c || '.' || p, CASE WHEN p = 1 THEN 1 ELSE 0 END);
            FOR t IN 1..3 LOOP
                INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf,
                                                 txdesctxtparte, fltestoinelenco)
                VALUES ('{' || upper(gen_random_uuid()::text) || '}', part, t,
                        '{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}\viewkind4\uc1\pard\ql\f0\fs26 '
                        || c || '.' || p || '.' || t || ' ' || words || '\par}',
                        c || '.' || p || '.' || t || ' ' || words, CASE WHEN t = 3 THEN 1 ELSE 0 END);
            END LOOP;
            img := '{' || upper(gen_random_uuid()::text) || '}';
            INSERT INTO images_dettagli VALUES (img, picture);
            INSERT INTO images_dettagli_preview VALUES (img, preview);
            INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, nuordineparte, txdescimgparte)
            VALUES (img, img, part, 4, 'Figura ' || c || '.' || p);
            IF tables < 17 THEN
                tables := tables + 1;
                tab := '{' || upper(gen_random_uuid()::text) || '}';
                INSERT INTO prod_comp_parte_tab (idtabparte, idpartecomp, nuordineparte, txdesctabparte,
                                                 txdesccolvoce, txdesccolvalore)
                VALUES (tab, part, 5, 'Tabella ' || tables, 'Grandezza', 'Valore');
                FOR i IN 1..3 LOOP
                    INSERT INTO prod_comp_parte_tab_voci (idtabvoce, idtabparte, nuordinevocetab,
                                                          txdesccolvoce, txdesccolvalore)
                    VALUES ('{' || upper(gen_random_uuid()::text) || '}', tab, i, 'Grandezza ' || i,
                            (i * 400) || ' A');
                END LOOP;
            END IF;
        END LOOP;
    END LOOP;
END $$;
SELECT count(*) FROM prodotti_nodi WHERE idprodotto = '{B3C00000-0000-4000-8000-000000000300}';
)SQL";

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
    // The offscreen platform's remarks on window sizes would bury the results.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The program folder holds the report designs.
    qputenv("VENTOREL_HOME", sourceDir().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MROSSI");

    QString base;
    if (qEnvironmentVariableIsEmpty("VENTOREL_TEST_PGSOCKET")) {
        base = QStringLiteral("/tmp/vt-bench-preview");
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
        QTemporaryDir scratch;
        g_pdf = scratch.filePath(QStringLiteral("anteprima.pdf"));
        TTestDatabase db(TTestDatabase::Demo);
        db.LogOn(QStringLiteral("MROSSI"));
        const QString largest = db.SuperQuery(
            QStringLiteral("SELECT idprodotto FROM prodotti_nodi GROUP BY idprodotto ORDER BY "
                           "count(*) DESC, idprodotto LIMIT 1"));
        const QString nodes = db.SuperQuery(QString::fromUtf8(kGenerated));
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
    if (!base.isEmpty())
        runProcess(QStringLiteral("bash"),
                   {sourceDir() + "/scripts/testdb.sh", "stop", base},
                   120000);
    return rc;
}
