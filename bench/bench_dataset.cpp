// Speed of the in-memory dataset against hand-written code over the same values.
//
//   Sort/*      sorting 100,000 rows by a text column vs std::sort of the same QStrings with the
//               same comparator (target: at most 3x)
//   Filter/*    "nuTipologia = 5 AND flCopertinaVisible = 1" vs a loop over two std::vector<int>
//               collecting the matching indices (target: at most 3x)
//   Source/*    OpenFromSource + reading every value once vs decoding every value straight from
//               the source's texts; also the list extraction of every list window (server
//               result copied into a window's own dataset, result dropped, rows read)

#include "db/dataset.h"
#include "db/datasetroutines.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;

// Deterministic sample values.
struct TSample
{
    std::vector<QString> names;
    std::vector<int> tipologia;
    std::vector<int> copertina;

    TSample()
    {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int> len(6, 24);
        std::uniform_int_distribution<int> letter(0, 25);
        std::uniform_int_distribution<int> upper(0, 3);
        std::uniform_int_distribution<int> tip(0, 9);
        std::uniform_int_distribution<int> flag(0, 1);
        static const char *const prefixes[] = {"", "Rossi ", "Bianchi ", "Studio ", "ditta "};
        std::uniform_int_distribution<int> prefix(0, 4);
        for (int i = 0; i < kRows; ++i) {
            QString s = QString::fromLatin1(prefixes[prefix(rng)]);
            const int n = len(rng);
            for (int k = 0; k < n; ++k) {
                const char base = upper(rng) == 0 ? 'A' : 'a';
                s += QLatin1Char(char(base + letter(rng)));
            }
            names.push_back(s);
            const int t = tip(rng);
            tipologia.push_back(t == 0 ? 5 : t * 10);
            copertina.push_back(flag(rng));
        }
    }
};

const TSample &Sample()
{
    static const TSample s;
    return s;
}

// The sample as a dataset: txName, nuTipologia, flCopertinaVisible (smallint flags arrive as
// integers from the server).
TDataSet &SampleDataSet()
{
    static std::unique_ptr<TDataSet> ds = [] {
        auto d = std::make_unique<TDataSet>();
        d->AddFieldDef(QStringLiteral("txName"), TFieldType::Text);
        d->AddFieldDef(QStringLiteral("nuTipologia"), TFieldType::Integer);
        d->AddFieldDef(QStringLiteral("flCopertinaVisible"), TFieldType::Integer);
        d->CreateDataSet();
        const TSample &s = Sample();
        TField name = d->Fields(0);
        TField tip = d->Fields(1);
        TField cop = d->Fields(2);
        for (int i = 0; i < kRows; ++i) {
            d->Append();
            name.SetValue(s.names[size_t(i)]);
            tip.SetValue(s.tipologia[size_t(i)]);
            cop.SetValue(s.copertina[size_t(i)]);
            d->Post();
        }
        d->First();
        return d;
    }();
    return *ds;
}

bool LessCaseless(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

void Sort_StdSortQStrings(benchmark::State &state)
{
    const std::vector<QString> &names = Sample().names;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<QString> copy = names;
        state.ResumeTiming();
        std::sort(copy.begin(), copy.end(), LessCaseless);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(Sort_StdSortQStrings)->Unit(benchmark::kMillisecond);

void Sort_DataSetTextColumn(benchmark::State &state)
{
    TDataSet &ds = SampleDataSet();
    ds.SetFiltered(false);
    for (auto _ : state) {
        state.PauseTiming();
        ds.SetSort(QString());
        state.ResumeTiming();
        ds.SetSort(QStringLiteral("txName"));
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    ds.SetSort(QString());
}
BENCHMARK(Sort_DataSetTextColumn)->Unit(benchmark::kMillisecond);

void Filter_HandWrittenLoop(benchmark::State &state)
{
    const std::vector<int> &tip = Sample().tipologia;
    const std::vector<int> &cop = Sample().copertina;
    for (auto _ : state) {
        std::vector<int> rows;
        for (int i = 0; i < kRows; ++i) {
            if (tip[size_t(i)] == 5 && cop[size_t(i)] == 1)
                rows.push_back(i);
        }
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(Filter_HandWrittenLoop)->Unit(benchmark::kMicrosecond);

void Filter_DataSetExpression(benchmark::State &state)
{
    TDataSet &ds = SampleDataSet();
    ds.SetSort(QString());
    ds.SetFiltered(true);
    for (auto _ : state) {
        ds.SetFilter(QStringLiteral("nuTipologia = 5 AND flCopertinaVisible = 1"));
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    ds.SetFiltered(false);
    ds.SetFilter(QString());
}
BENCHMARK(Filter_DataSetExpression)->Unit(benchmark::kMicrosecond);

// A server result in text form, column by column.
class TTextSource : public TDataSet::ColumnSource
{
public:
    using Cell = std::optional<std::string>;
    int RowCount() const override { return rows; }
    bool IsNull(int row, int col) const override { return !cells[size_t(col)][size_t(row)]; }
    const char *Text(int row, int col) const override
    {
        return cells[size_t(col)][size_t(row)]->c_str();
    }
    int Length(int row, int col) const override
    {
        return int(cells[size_t(col)][size_t(row)]->size());
    }
    int rows = 0;
    std::vector<std::vector<Cell>> cells;
};

std::shared_ptr<TTextSource> MakeSource()
{
    auto src = std::make_shared<TTextSource>();
    src->rows = kRows;
    src->cells.resize(6);
    std::mt19937 rng(777);
    std::uniform_int_distribution<int> qty(-1000, 100000);
    std::uniform_int_distribution<int> cents(0, 10000000);
    std::uniform_int_distribution<int> day(0, 3000);
    std::uniform_int_distribution<int> sec(0, 86399);
    std::uniform_int_distribution<int> nullOne(0, 9);
    const TSample &s = Sample();
    for (int i = 0; i < kRows; ++i) {
        src->cells[0].push_back(s.names[size_t(i)].toStdString());
        src->cells[1].push_back(std::to_string(qty(rng)));
        src->cells[2].push_back(std::to_string(cents(rng) / 100.0));
        if (nullOne(rng) == 0) {
            src->cells[3].push_back(std::nullopt);
        } else {
            const QDate d = QDate(2015, 1, 1).addDays(day(rng));
            const QTime t = QTime::fromMSecsSinceStartOfDay(sec(rng) * 1000);
            src->cells[3].push_back(
                (d.toString(QStringLiteral("yyyy-MM-dd ")) + t.toString(QStringLiteral("hh:mm:ss")))
                    .toStdString());
        }
        src->cells[4].push_back(std::string(nullOne(rng) < 5 ? "1" : "0"));
        src->cells[5].push_back(
            QStringLiteral("{%1-CODE}").arg(i, 8, 16, QLatin1Char('0')).toStdString());
    }
    return src;
}

const TTextSource &Source()
{
    static const std::shared_ptr<TTextSource> src = MakeSource();
    return *src;
}

std::vector<TFieldDef> SourceDefs()
{
    auto def = [](const char *name, TFieldType type) {
        TFieldDef d;
        d.name = QString::fromLatin1(name);
        d.type = type;
        return d;
    };
    return {def("txName", TFieldType::Text),
            def("nuQty", TFieldType::Integer),
            def("vlPrice", TFieldType::Real),
            def("dtWhen", TFieldType::DateTime),
            def("flActive", TFieldType::Flag),
            def("idCode", TFieldType::Text)};
}

// Straight decoding of "yyyy-mm-dd hh:mm:ss".
QDateTime ParseTimestamp(const char *p, int len)
{
    auto num = [p](int from, int n) {
        int v = 0;
        std::from_chars(p + from, p + from + n, v);
        return v;
    };
    if (len < 19)
        return QDateTime();
    return QDateTime(QDate(num(0, 4), num(5, 2), num(8, 2)),
                     QTime(num(11, 2), num(14, 2), num(17, 2)));
}

// Reads every value of the current dataset row by row.
qint64 ReadAll(TDataSet &ds)
{
    TField name = ds.Fields(0);
    TField qty = ds.Fields(1);
    TField price = ds.Fields(2);
    TField when = ds.Fields(3);
    TField active = ds.Fields(4);
    TField code = ds.Fields(5);
    qint64 sum = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        sum += name.AsString().size() + qty.AsInteger() + qint64(price.AsFloat())
               + when.AsDateTime().date().day() + active.AsBoolean() + code.AsString().size();
    }
    return sum;
}

void Source_ReadDirectly(benchmark::State &state)
{
    const TTextSource &src = Source();
    for (auto _ : state) {
        qint64 sum = 0;
        for (int r = 0; r < kRows; ++r) {
            QString name = QString::fromUtf8(src.Text(r, 0), src.Length(r, 0));
            qint64 qty = 0;
            std::from_chars(src.Text(r, 1), src.Text(r, 1) + src.Length(r, 1), qty);
            double price = 0;
            std::from_chars(src.Text(r, 2), src.Text(r, 2) + src.Length(r, 2), price);
            QDateTime when;
            if (!src.IsNull(r, 3))
                when = ParseTimestamp(src.Text(r, 3), src.Length(r, 3));
            const bool active = src.Text(r, 4)[0] == '1';
            QString code = QString::fromUtf8(src.Text(r, 5), src.Length(r, 5));
            sum += name.size() + qty + qint64(price) + when.date().day() + active + code.size();
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Source_ReadDirectly)->Unit(benchmark::kMillisecond);

void Source_OpenAndReadDataSet(benchmark::State &state)
{
    // The dataset shares the source; the benchmark keeps it alive.
    std::shared_ptr<const TDataSet::ColumnSource> src(&Source(), [](const auto *) {});
    const std::vector<TFieldDef> defs = SourceDefs();
    for (auto _ : state) {
        TDataSet ds;
        ds.OpenFromSource(defs, src);
        benchmark::DoNotOptimize(ReadAll(ds));
    }
}
BENCHMARK(Source_OpenAndReadDataSet)->Unit(benchmark::kMillisecond);

void Source_ListExtractionAndRead(benchmark::State &state)
{
    std::shared_ptr<const TDataSet::ColumnSource> src(&Source(), [](const auto *) {});
    const std::vector<TFieldDef> defs = SourceDefs();
    for (auto _ : state) {
        auto result = std::make_unique<TDataSet>();
        result->OpenFromSource(defs, src);
        std::unique_ptr<TDataSet> list;
        CreateMemoryCopy(list, *result, true);
        CopyAllRecords(*result, *list, false, true);
        result.reset();
        benchmark::DoNotOptimize(ReadAll(*list));
    }
}
BENCHMARK(Source_ListExtractionAndRead)->Unit(benchmark::kMillisecond);

void Source_OpenOnly(benchmark::State &state)
{
    std::shared_ptr<const TDataSet::ColumnSource> src(&Source(), [](const auto *) {});
    const std::vector<TFieldDef> defs = SourceDefs();
    for (auto _ : state) {
        TDataSet ds;
        ds.OpenFromSource(defs, src);
        benchmark::DoNotOptimize(ds.RecordCount());
    }
}
BENCHMARK(Source_OpenOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
