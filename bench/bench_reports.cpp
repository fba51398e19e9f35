// Report engine: a 200-page report (texts, a table, a rich text, an image and a subreport on
// every page) made into pages (binding and pagination) and painted into a PDF, measured apart.
// Counters: pages per second and the peak resident memory of the process.

#include "db/dataset.h"
#include "reports/reportengine.h"
#include "reports/reportparser.h"
#include "reports/reportrender.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

namespace {

constexpr int kGroups = 200;
constexpr int kRowsPerGroup = 20;
constexpr int kSpecsPerGroup = 6;
constexpr int kDistinctImages = 25;

const char *const kDefinition = R"RPT(report "Benchmark"
  page: A4 portrait
  margins: 15 12 15 12
  font: "Liberation Sans" 9
group Sezione
  field: nuSezione
  new-page-before: yes
band page-header
  height: 12
  text Titolo
    rect: 0 0 120 6
    text: Catalogo tecnico
    font: bold 12
  line Riga
    from: 0 9
    to: 180 9
    width: 0.3
band page-footer
  height: 8
  special Pagine
    rect: 100 2 80 5
    kind: page-n-of-m
    align: right
band group-header Sezione
  height: 86
  field Nome
    rect: 0 0 120 7
    value: "Sezione " & {nuSezione} & " - " & {txSezione}
    font: bold 13
  richtext Testo
    rect: 0 9 120 40
    value: {txRtf}
    grow: yes
  image Foto
    rect: 125 0 55 45
    value: {imgFoto}
    border: 0.2
  subreport Specifiche
    rect: 0 52 180 30
    report: Specifiche
    link: nuSezione = nuSezione
  text Codice
    rect: 0 82 30 4
    text: Codice
    font: bold
  text Descrizione
    rect: 32 82 80 4
    text: Descrizione
    font: bold
  text Quantita
    rect: 115 82 20 4
    text: Q.tà
    font: bold
    align: right
  text Importo
    rect: 150 82 30 4
    text: Importo
    font: bold
    align: right
band detail
  height: 5
  field Codice
    rect: 0 0 30 4.5
    value: {txCodice}
  field Descrizione
    rect: 32 0 80 4.5
    value: {txDescrizione}
  field Quantita
    rect: 115 0 20 4.5
    value: {nuQuantita}
    align: right
  field Prezzo
    rect: 137 0 15 4.5
    value: {nuPrezzo}
    format: "#,##0.00"
    align: right
  field Importo
    rect: 152 0 28 4.5
    value: {nuQuantita} * {nuPrezzo}
    format: "€ #,##0.00"
    align: right
  line Sotto
    from: 0 4.8
    to: 180 4.8
    width: 0.1
    color: #C0C0C0
band group-footer Sezione
  height: 8
  field Totale
    rect: 80 1 100 5
    value: "Totale sezione: € " & Format(Sum({nuQuantita} * {nuPrezzo}), "#,##0.00")
    font: bold
    align: right
subreport Specifiche
  band detail
    height: 5
    field Voce
      rect: 0 0 60 4.5
      value: {txVoce}
    field Valore
      rect: 62 0 50 4.5
      value: {txValore}
)RPT";

QByteArray Photo(int seed)
{
    QImage img(640, 480, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 640, 480);
    g.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 60, 240));
    g.setColorAt(1, QColor::fromHsv((seed * 37 + 120) % 360, 160, 160));
    p.fillRect(img.rect(), g);
    p.setBrush(QColor::fromHsv((seed * 71) % 360, 200, 200));
    p.drawEllipse(QPointF(320, 240), 150, 110);
    p.end();
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "JPEG", 85);
    return bytes;
}

struct Fixture
{
    std::unique_ptr<TReportDefinition> def;
    std::unique_ptr<TDataSet> rows;
    std::unique_ptr<TDataSet> specs;
    TReportInput input;

    Fixture()
    {
        def = ParseReportDefinition(QString::fromUtf8(kDefinition), QStringLiteral("bench.RPT"));
        std::vector<QByteArray> photos;
        for (int i = 0; i < kDistinctImages; ++i)
            photos.push_back(Photo(i));
        rows = std::make_unique<TDataSet>();
        rows->AddFieldDef(QStringLiteral("nuSezione"), TFieldType::Integer);
        rows->AddFieldDef(QStringLiteral("txSezione"), TFieldType::Text);
        rows->AddFieldDef(QStringLiteral("txRtf"), TFieldType::Text);
        rows->AddFieldDef(QStringLiteral("imgFoto"), TFieldType::Blob);
        rows->AddFieldDef(QStringLiteral("txCodice"), TFieldType::Text);
        rows->AddFieldDef(QStringLiteral("txDescrizione"), TFieldType::Text);
        rows->AddFieldDef(QStringLiteral("nuQuantita"), TFieldType::Integer);
        rows->AddFieldDef(QStringLiteral("nuPrezzo"), TFieldType::Real);
        rows->CreateDataSet();
        for (int g = 1; g <= kGroups; ++g) {
            const QString rtf
                = QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\pard\\f0\\fs18 "
                                 "La sezione %1 raccoglie i componenti della linea "
                                 "\\b standard\\b0 : corpi in \\i acciaio inox\\i0 , "
                                 "guarnizioni certificate, attacchi filettati e flangiati. "
                                 "Ogni articolo \\'e8 fornito con scheda tecnica e "
                                 "dichiarazione di conformit\\'e0.\\par"
                                 "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi-360"
                                 "\\li360 Pressione nominale PN16\\par"
                                 "{\\pntext\\'b7\\tab}Temperatura massima 120 \\'b0C\\par}")
                      .arg(g);
            for (int r = 1; r <= kRowsPerGroup; ++r) {
                rows->Append();
                rows->Fields(0).SetValue(g);
                rows->Fields(1).SetValue(QStringLiteral("Componenti serie %1").arg(g));
                rows->Fields(2).SetValue(rtf);
                rows->Fields(3).SetValue(photos[size_t(g % kDistinctImages)]);
                rows->Fields(4).SetValue(QStringLiteral("A%1-%2")
                                             .arg(g, 3, 10, QLatin1Char('0'))
                                             .arg(r, 2, 10, QLatin1Char('0')));
                rows->Fields(5).SetValue(QStringLiteral("Articolo %1 della serie %2, misura DN%3")
                                             .arg(r)
                                             .arg(g)
                                             .arg(10 + r * 5));
                rows->Fields(6).SetValue(r % 7 + 1);
                rows->Fields(7).SetValue(12.5 * r + g);
                rows->Post();
            }
        }
        specs = std::make_unique<TDataSet>();
        specs->AddFieldDef(QStringLiteral("nuSezione"), TFieldType::Integer);
        specs->AddFieldDef(QStringLiteral("txVoce"), TFieldType::Text);
        specs->AddFieldDef(QStringLiteral("txValore"), TFieldType::Text);
        specs->CreateDataSet();
        for (int g = 1; g <= kGroups; ++g) {
            for (int s = 1; s <= kSpecsPerGroup; ++s) {
                specs->Append();
                specs->Fields(0).SetValue(g);
                specs->Fields(1).SetValue(QStringLiteral("Caratteristica %1").arg(s));
                specs->Fields(2).SetValue(QStringLiteral("Valore %1.%2").arg(g).arg(s));
                specs->Post();
            }
        }
        input.main = rows.get();
        input.subreports = {{QStringLiteral("Specifiche"), specs.get()}};
        input.printTime = QDateTime(QDate(2024, 3, 15), QTime(9, 0));
    }
};

Fixture &Data()
{
    static Fixture f;
    return f;
}

void AddCounters(benchmark::State &state, int pages)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] = benchmark::Counter(double(pages) * double(state.iterations()),
                                                       benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// Binding the data and making the pages of primitives.
void BM_BindAndPaginate(benchmark::State &state)
{
    Fixture &f = Data();
    int pages = 0;
    for (auto _ : state) {
        auto doc = RenderReport(*f.def, f.input);
        pages = doc->PageCount();
        benchmark::DoNotOptimize(doc);
    }
    AddCounters(state, pages);
}
BENCHMARK(BM_BindAndPaginate)->Unit(benchmark::kMillisecond)->MinTime(3);

// Painting the same pages into a PDF file.
void BM_PaintPdf(benchmark::State &state)
{
    Fixture &f = Data();
    const auto doc = RenderReport(*f.def, f.input);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.pdf"));
    for (auto _ : state)
        WritePdf(*doc, file);
    AddCounters(state, doc->PageCount());
}
BENCHMARK(BM_PaintPdf)->Unit(benchmark::kMillisecond)->MinTime(3);

// Both, as an export does.
void BM_ExportPdf(benchmark::State &state)
{
    Fixture &f = Data();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.pdf"));
    int pages = 0;
    for (auto _ : state) {
        auto doc = RenderReport(*f.def, f.input);
        pages = doc->PageCount();
        WritePdf(*doc, file);
    }
    AddCounters(state, pages);
}
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
