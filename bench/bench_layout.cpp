// "Seleziona Layout" on a generated quote of 50 products (see ProductCount), each with its
// cover, a data sheet of 20 items and three sub-paragraphs with a text and a photo of 1200 x 900
// of its own: from the three layout procedures to the PDF written, split by phase (procedures,
// picture fitting, pagination, painting into the PDF), with pages per second and the peak
// memory of the run: the resident memory at its start, its peak up to the end of the reading
// (procedures and pictures), of the pagination, and of the whole run.
//
// Uses the test cluster named by VENTOREL_TEST_PGSOCKET, or starts one of its own with
// scripts/testdb.sh in /tmp/vt-bench-layout and stops it at the end.

#include "common/imageroutines.h"
#include "common/sessioninfo.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "quotes/layoutdocument.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include "bench/generatedproduct.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

TTestDatabase *g_db = nullptr;
QString g_quote;
QString g_company;
QString g_pdf;

// A photo of its own: gradients and shapes that change with n, so that no two compress alike.
QByteArray Photo(int n)
{
    QImage image(1200, 900, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1200, 900);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 120, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 140) % 360, 160, 90));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv((n * 13 + i * 29) % 360, 200, 200));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF((n * 53 + i * 97) % 1200, (n * 31 + i * 61) % 900), 30 + i, 20 + i);
    }
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(120);
    p.setFont(f);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Foto %1").arg(n));
    p.end();
    return ImageSaveJpegBytes(image, 85);
}

QString Hex(const QByteArray &bytes)
{
    return QStringLiteral("'\\x") + QString::fromLatin1(bytes.toHex()) + QStringLiteral("'::bytea");
}

QString Guid(int kind, int line, int n)
{
    return QStringLiteral("{%1-0000-4000-8000-%2}")
        .arg(kind, 8, 10, QLatin1Char('0'))
        .arg(line * 1000 + n, 12, 10, QLatin1Char('0'));
}

// The demo quote with most lines, emptied and filled with generated products: 50, or the number
// in VENTOREL_BENCH_LAYOUT_PRODUCTS (to see how peak memory follows the number of pictures).
int ProductCount()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("VENTOREL_BENCH_LAYOUT_PRODUCTS", &ok);
    return ok && n > 0 ? n : 50;
}

void MakeQuote(TTestDatabase &db)
{
    g_quote = db.SuperQuery(QStringLiteral(
        "SELECT q.idpreventivo FROM preventivi q JOIN preventivo_dettaglio d ON d.idpreventivo = "
        "q.idpreventivo WHERE q.dtcanc IS NULL AND q.idcliente IS NOT NULL GROUP BY "
        "q.idpreventivo ORDER BY count(*) DESC, q.idpreventivo LIMIT 1"));
    g_company = db.SuperQuery(
        QStringLiteral("SELECT idsocieta FROM preventivi WHERE idpreventivo = '%1'").arg(g_quote));
    db.SuperQuery(
        QStringLiteral("DELETE FROM preventivo_dettaglio WHERE idpreventivo = '%1'").arg(g_quote));
    int photo = 0;
    const int products = ProductCount();
    for (int line = 1; line <= products; ++line) {
        const QString product = Guid(1, line, 0);
        const QString det = Guid(2, line, 0);
        db.SuperQuery(
            QStringLiteral(
                "INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, "
                "txdescprodotto) SELECT '%1', '%1', 'GEN-%2', idfornitore, nuanno, 'QUADRO "
                "GENERATO NUMERO %2' FROM prodotti WHERE flaccessorio = 0 LIMIT 1; "
                "INSERT INTO images_prodotti VALUES ('%1', %3); "
                "INSERT INTO preventivo_dettaglio (idpreventivodet, idpreventivo, idprodotto, "
                "nuordinamento, txdesclistino, vlimporto, vllistino, nuquantita) VALUES ('%4', "
                "'%5', '%1', %2, 'Esecuzione standard', 1200, 1350, 2)")
                .arg(product)
                .arg(line)
                .arg(Hex(Photo(++photo)), det, g_quote));
        const QString sheet = Guid(3, line, 0);
        QString sql = QStringLiteral(
                          "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, "
                          "idparent, idsezione, nuordera, txdescnodo) VALUES ('%1', '%2', 10, "
                          "'%1', '%2', 1, 'Dati tecnici');")
                          .arg(det, sheet);
        for (int item = 1; item <= 20; ++item)
            sql += QStringLiteral("INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, "
                                  "idparent, idsezione, nuordera, nuorderb, txdescnodo, "
                                  "txdescnodob) VALUES ('%1', '%2', 20, '%3', '%3', 1, %4, "
                                  "'Caratteristica %4', 'Valore %4');")
                       .arg(det, Guid(4, line, item), sheet)
                       .arg(item);
        const QString paragraph = Guid(5, line, 0);
        sql += QStringLiteral("INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, "
                              "idparent, idsezione, nuordera, txdescnodo) VALUES ('%1', '%2', 30, "
                              "'%1', '%2', 2, 'Descrizione');")
                   .arg(det, paragraph);
        db.SuperQuery(sql);
        for (int part = 1; part <= 3; ++part) {
            const QString node = Guid(6, line, part);
            const QString image = Guid(7, line, part);
            db.SuperQuery(
                QStringLiteral(
                    "INSERT INTO images_dettagli VALUES ('%1', %2); "
                    "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, "
                    "idsezione, nuordera, nuorderb, txdescnodo) VALUES ('%3', '%4', 40, '%5', "
                    "'%5', 2, %6, 'Sottoparagrafo %6'); "
                    "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, "
                    "idsezione, nuordera, nuorderb, nuorderc, txdescnodo) VALUES ('%3', '%7', "
                    "50, '%4', '%5', 2, %6, 1, 'Il quadro è realizzato con lamiere di acciaio "
                    "zincato, verniciato a polveri epossidiche, con porta trasparente e serratura "
                    "a chiave; le apparecchiature sono montate su piastra di fondo regolabile.'); "
                    "INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, "
                    "idsezione, nuordera, nuorderb, nuorderc, txdescnodo, idimage) VALUES ('%3', "
                    "'%8', 60, '%4', '%5', 2, %6, 2, 'Figura %6', '%1');")
                    .arg(image, Hex(Photo(++photo)), det, node, paragraph)
                    .arg(part)
                    .arg(Guid(8, line, part), Guid(9, line, part)));
        }
    }
}

qint64 PeakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// The peak of a run from the memory it holds at its start: what earlier runs (and the making of
// the quote) freed is given back to the system first, else it would count as part of the peak.
void ResetPeak()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void BM_SelezionaLayoutToPdf(benchmark::State &state)
{
    const QString code = state.range(0) == 0 ? QStringLiteral("STD") : QStringLiteral("CMP");
    TLayoutChoice layout;
    auto layouts = g_db->Module().Query(
        ExecText(QStringLiteral("EstraiLayouts"), {SqlText(g_company)}));
    for (layouts->First(); !layouts->Eof(); layouts->Next()) {
        if (layouts->FieldByName(QStringLiteral("txCodLayout")).AsString() == code)
            layout = LayoutChoiceFromRow(*layouts);
    }
    state.SetLabel(layout.txNomeReport.toStdString());
    double procedures = 0, fitting = 0, pagination = 0, painting = 0;
    int pages = 0;
    qint64 peak = 0, peakRead = 0, peakShown = 0, start = 0;
    for (auto _ : state) {
        ResetPeak();
        start = std::max(start, PeakKiB());
        QElapsedTimer t;
        t.start();
        TLayoutDocument doc;
        ReadLayoutDocument(doc, g_db->Module(), g_quote, g_company, layout);
        const qint64 read = t.nsecsElapsed();
        peakRead = std::max(peakRead, PeakKiB());
        // The pictures are fitted while the rows are read, piece by piece.
        procedures += double(read) / 1e9 - doc.imageFittingSeconds;
        fitting += doc.imageFittingSeconds;
        TKRTViewReport viewer;
        BindLayoutReport(*viewer.Engine, doc, layout.txNomeReport, layout.txCodLayout, false);
        viewer.Engine->Mode = mvKRTViewer;
        if (!viewer.Show(true)) {
            state.SkipWithError("report non trovato");
            break;
        }
        const qint64 shown = t.nsecsElapsed();
        peakShown = std::max(peakShown, PeakKiB());
        pagination += double(shown - read) / 1e9;
        SaveReportAsPdf(&viewer, g_pdf);
        painting += double(t.nsecsElapsed() - shown) / 1e9;
        pages = viewer.PageCount();
        peak = std::max(peak, PeakKiB());
    }
    const double n = double(state.iterations());
    state.counters["pagine"] = pages;
    state.counters["procedure_s"] = procedures / n;
    state.counters["immagini_s"] = fitting / n;
    state.counters["impaginazione_s"] = pagination / n;
    state.counters["pittura_pdf_s"] = painting / n;
    state.counters["pagine_al_s"] = benchmark::Counter(pages * n, benchmark::Counter::kIsRate);
    state.counters["inizio_MiB"] = double(start) / 1024.0;
    state.counters["picco_lettura_MiB"] = double(peakRead) / 1024.0;
    state.counters["picco_impaginazione_MiB"] = double(peakShown) / 1024.0;
    state.counters["picco_MiB"] = double(peak) / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::QuietOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    qputenv("VENTOREL_HOME", benchsupport::sourceDir().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MROSSI");

    const benchsupport::TBenchCluster cluster(QStringLiteral("/tmp/vt-bench-layout"));
    if (!cluster.Ok())
        return 1;
    {
        QTemporaryDir scratch;
        g_pdf = scratch.filePath(QStringLiteral("preventivo.pdf"));
        TTestDatabase db(TTestDatabase::Demo);
        db.LogOn(QStringLiteral("MROSSI"));
        g_db = &db;
        TDialogRecorder dialogs;
        MakeQuote(db);
        benchmark::RegisterBenchmark("BM_SelezionaLayoutToPdf", BM_SelezionaLayoutToPdf)
            ->Arg(0)
            ->Arg(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_db = nullptr;
    }
    return 0;
}
