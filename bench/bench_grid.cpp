// The data grid over big lists: opening (model, view, first paint), scrolling and sorting by a
// title click, against building the dataset's sort index alone; and ShrinkColumnsWidth over
// 100,000 and 200,000 rows, whose cost must grow no faster than the row count.

#include "controls/tkrtgrid.h"
#include "db/dataset.h"

#include <QApplication>
#include <QScrollBar>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

std::unique_ptr<TDataSet> MakeRows(int rows)
{
    auto ds = std::make_unique<TDataSet>();
    ds->AddFieldDef(QStringLiteral("idCliente"), TFieldType::Text, 38);
    ds->AddFieldDef(QStringLiteral("txCodCliente"), TFieldType::Text, 10);
    ds->AddFieldDef(QStringLiteral("txDenominazione"), TFieldType::Text, 200);
    ds->AddFieldDef(QStringLiteral("txLocalita"), TFieldType::Text, 50);
    ds->AddFieldDef(QStringLiteral("nuPreventivi"), TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("vlFatturato"), TFieldType::Real);
    ds->AddFieldDef(QStringLiteral("dtMod"), TFieldType::DateTime);
    ds->CreateDataSet();
    const QStringList words{"Rossi",
                            "Bianchi",
                            "Verdi",
                            "Esposito",
                            "Romano",
                            "Colombo",
                            "Ricci",
                            "Marino",
                            "Greco",
                            "Bruno"};
    const QDateTime base(QDate(2020, 1, 1), QTime(8, 0));
    quint32 seed = 12345;
    for (int i = 0; i < rows; ++i) {
        seed = seed * 1103515245u + 12345u;
        ds->Append();
        ds->Fields(0).SetValue(QStringLiteral("{%1}").arg(i, 8, 16, QLatin1Char('0')));
        ds->Fields(1).SetValue(QStringLiteral("C%1").arg(i, 7, 10, QLatin1Char('0')));
        ds->Fields(2).SetValue(words.at((seed >> 8) % 10) + QLatin1Char(' ')
                               + words.at((seed >> 16) % 10) + QStringLiteral(" srl ")
                               + QString::number(seed % 100000));
        ds->Fields(3).SetValue(QStringLiteral("Località %1").arg((seed >> 4) % 500));
        ds->Fields(4).SetValue(int(seed % 40));
        ds->Fields(5).SetValue((seed % 1000000) / 100.0);
        ds->Fields(6).SetValue(base.addSecs(qint64(seed % 100000000)));
        ds->Post();
    }
    ds->First();
    return ds;
}

TDataSet *Rows(int n)
{
    static std::map<int, std::unique_ptr<TDataSet>> cache;
    auto &slot = cache[n];
    if (!slot)
        slot = MakeRows(n);
    return slot.get();
}

// A list window with its grid over the dataset.
struct TWindow
{
    explicit TWindow(TDataSet *ds)
    {
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("TBENCH"));
        auto *layout = new QVBoxLayout(window.get());
        grid = new TKRTGrid(window.get());
        grid->setObjectName(QStringLiteral("DG_Bench"));
        layout->addWidget(grid);
        window->resize(1200, 700);
        grid->SetDataSet(ds);
        window->show();
    }
    ~TWindow() { grid->SetDataSet(nullptr); }
    std::unique_ptr<QWidget> window;
    TKRTGrid *grid = nullptr;
};

// Building the sort index of 100,000 rows by the name column.
void BM_DataSetSortIndex(benchmark::State &state)
{
    TDataSet *ds = Rows(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        ds->SetSort(QString());
        state.ResumeTiming();
        ds->SetSort(QStringLiteral("txDenominazione"));
    }
    ds->SetSort(QString());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DataSetSortIndex)->Arg(100000)->Unit(benchmark::kMillisecond);

// Opening the grid: model, view and the first paint of a window-sized page.
void BM_OpenGrid(benchmark::State &state)
{
    TDataSet *ds = Rows(int(state.range(0)));
    for (auto _ : state) {
        TWindow w(ds);
        QImage page = w.window->grab().toImage();
        benchmark::DoNotOptimize(page.constBits());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenGrid)->Arg(100000)->Unit(benchmark::kMillisecond);

// Scrolling a page down and painting it.
void BM_ScrollGridPage(benchmark::State &state)
{
    TDataSet *ds = Rows(int(state.range(0)));
    TWindow w(ds);
    QScrollBar *bar = w.grid->verticalScrollBar();
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->pageStep()) % bar->maximum();
        bar->setValue(value);
        QImage page = w.grid->viewport()->grab().toImage();
        benchmark::DoNotOptimize(page.constBits());
    }
}
BENCHMARK(BM_ScrollGridPage)->Arg(100000)->Unit(benchmark::kMillisecond);

// A title click: the sort of the dataset, the reset of the view and the repaint.
void BM_TitleClickSort(benchmark::State &state)
{
    TDataSet *ds = Rows(int(state.range(0)));
    TWindow w(ds);
    const int col = w.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    for (auto _ : state) {
        state.PauseTiming();
        ds->SetSort(QString());
        state.ResumeTiming();
        w.grid->TitleClick(col);
        QImage page = w.grid->viewport()->grab().toImage();
        benchmark::DoNotOptimize(page.constBits());
    }
    ds->SetSort(QString());
}
BENCHMARK(BM_TitleClickSort)->Arg(100000)->Unit(benchmark::kMillisecond);

// Narrowing the columns to their contents; reported per row.
void BM_ShrinkColumnsWidth(benchmark::State &state)
{
    TDataSet *ds = Rows(int(state.range(0)));
    TWindow w(ds);
    for (auto _ : state) {
        state.PauseTiming();
        for (int c = 0; c < w.grid->ColumnCount(); ++c)
            w.grid->SetColumnWidth(c, 1000);
        state.ResumeTiming();
        w.grid->ShrinkColumnsWidth();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ShrinkColumnsWidth)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns at every window shown; the figures are what matters here.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "default.warning=false");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
