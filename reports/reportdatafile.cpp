#include "reports/reportdatafile.h"

#include "db/dataset.h"
#include "reports/reportparser.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace {

constexpr char kMagic[] = "VTRPTDAT";
constexpr quint32 kVersion = 1;
constexpr quint32 kMaxFields = 10000;
constexpr quint32 kMaxRows = 50000000;
constexpr quint32 kMaxItems = 100000;

void WriteDataSet(QDataStream &ds, const TDataSet &source)
{
    const std::unique_ptr<TDataSet> view = source.Clone();
    const auto &defs = view->FieldDefs();
    ds << quint32(defs.size());
    for (const TFieldDef &d : defs) {
        ds << d.name << qint32(d.type) << qint32(d.size) << qint32(d.precision) << d.visible
           << d.displayLabel << qint32(d.displayWidth) << qint32(d.alignment) << d.displayFormat
           << d.displayValues;
    }
    const int rows = view->Active() ? view->RecordCount() : 0;
    ds << quint32(rows);
    const int cols = int(defs.size());
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            ds << view->ValueAt(r, c);
    }
}

std::unique_ptr<TDataSet> ReadDataSet(QDataStream &ds, const std::function<void()> &fail)
{
    auto data = std::make_unique<TDataSet>();
    quint32 fieldCount = 0;
    ds >> fieldCount;
    if (ds.status() != QDataStream::Ok || fieldCount > kMaxFields)
        fail();
    for (quint32 i = 0; i < fieldCount; ++i) {
        TFieldDef d;
        qint32 type = 0, size = 0, precision = 0, width = 0, alignment = 0;
        ds >> d.name >> type >> size >> precision >> d.visible >> d.displayLabel >> width
            >> alignment >> d.displayFormat >> d.displayValues;
        if (ds.status() != QDataStream::Ok || type < 0 || type > int(TFieldType::Blob))
            fail();
        d.type = TFieldType(type);
        d.size = size;
        d.precision = precision;
        d.displayWidth = width;
        d.alignment = TFieldAlignment(qBound(0, int(alignment), 2));
        data->AddFieldDef(d);
    }
    data->CreateDataSet();
    quint32 rows = 0;
    ds >> rows;
    if (ds.status() != QDataStream::Ok || rows > kMaxRows)
        fail();
    for (quint32 r = 0; r < rows; ++r) {
        data->Append();
        for (quint32 c = 0; c < fieldCount; ++c) {
            QVariant v;
            ds >> v;
            if (ds.status() != QDataStream::Ok)
                fail();
            data->Fields(int(c)).SetValue(v);
        }
        data->Post();
    }
    data->First();
    return data;
}

} // namespace

bool IsReportDataFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(8) == QByteArray(kMagic);
}

void WriteReportDataFile(const QString &fileName,
                         const TReportDefinition &definition,
                         const TReportInput &input)
{
    QSaveFile file(fileName);
    const QFileInfo fi(fileName);
    if (fi.fileName().isEmpty())
        throw EReportError(QStringLiteral("Nome del file di esportazione mancante."));
    if (!file.open(QIODevice::WriteOnly))
        throw EReportError(QStringLiteral("Impossibile scrivere il file \"%1\": %2")
                               .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    file.write(kMagic, 8);
    QDataStream ds(&file);
    ds.setVersion(QDataStream::Qt_6_4);
    ds << kVersion;
    ds << definition.fileName << definition.source;
    ds << (input.printTime.isValid() ? input.printTime : QDateTime::currentDateTime());

    // Each dataset once, however many subreports read it.
    std::vector<const TDataSet *> sets;
    auto indexOf = [&sets](const TDataSet *d) -> qint32 {
        if (!d)
            return -1;
        for (size_t i = 0; i < sets.size(); ++i) {
            if (sets[i] == d)
                return qint32(i);
        }
        sets.push_back(d);
        return qint32(sets.size() - 1);
    };
    const qint32 mainIndex = indexOf(input.main);
    std::vector<std::pair<QString, qint32>> subs;
    for (const auto &[name, ds2] : input.subreports)
        subs.emplace_back(name, indexOf(ds2));

    ds << quint32(sets.size());
    for (const TDataSet *d : sets)
        WriteDataSet(ds, *d);
    ds << mainIndex;
    ds << quint32(subs.size());
    for (const auto &[name, index] : subs)
        ds << name << index;
    ds << quint32(input.parameters.size());
    for (const auto &[name, value] : input.parameters)
        ds << name << value;
    ds << quint32(input.formulas.size());
    for (const auto &[name, text] : input.formulas)
        ds << name << text;
    ds << quint32(input.orderBy.size());
    for (const TSortRequest &s : input.orderBy)
        ds << s.field << qint32(s.order) << s.changeCondition << qint32(s.condition);

    QHash<QString, QByteArray> images = input.fileImages;
    auto collect = [&images](const TReportSection &section) {
        for (const auto &b : section.bands) {
            for (const auto &o : b->objects) {
                if (o->kind != TObjectKind::Image || o->imageFile.isEmpty()
                    || images.contains(o->imageFile))
                    continue;
                QFile img(o->imageFile);
                if (img.open(QIODevice::ReadOnly))
                    images.insert(o->imageFile, img.readAll());
            }
        }
    };
    collect(definition.main);
    for (const auto &s : definition.subreports)
        collect(*s);
    ds << images;

    if (ds.status() != QDataStream::Ok || !file.commit())
        throw EReportError(QStringLiteral("Impossibile scrivere il file \"%1\": %2")
                               .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}

std::unique_ptr<TReportDataFile> ReadReportDataFile(const QString &fileName)
{
    auto fail = [&fileName]() {
        throw EReportError(QStringLiteral("Il file \"%1\" non è un report con dati valido.")
                               .arg(QDir::toNativeSeparators(fileName)));
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("Impossibile leggere il file \"%1\": %2")
                               .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    if (file.read(8) != QByteArray(kMagic))
        fail();
    QDataStream ds(&file);
    ds.setVersion(QDataStream::Qt_6_4);
    quint32 version = 0;
    ds >> version;
    if (version != kVersion)
        fail();
    auto out = std::make_unique<TReportDataFile>();
    ds >> out->definitionName >> out->definitionSource >> out->input.printTime;
    quint32 count = 0;
    ds >> count;
    if (ds.status() != QDataStream::Ok || count > kMaxItems)
        fail();
    for (quint32 i = 0; i < count; ++i)
        out->datasets.push_back(ReadDataSet(ds, fail));
    auto setAt = [&](qint32 index) -> TDataSet * {
        if (index < 0)
            return nullptr;
        if (index >= qint32(out->datasets.size()))
            fail();
        return out->datasets[size_t(index)].get();
    };
    qint32 mainIndex = -1;
    ds >> mainIndex;
    out->input.main = setAt(mainIndex);
    ds >> count;
    if (ds.status() != QDataStream::Ok || count > kMaxItems)
        fail();
    for (quint32 i = 0; i < count; ++i) {
        QString name;
        qint32 index = -1;
        ds >> name >> index;
        out->input.subreports.emplace_back(name, setAt(index));
    }
    ds >> count;
    if (ds.status() != QDataStream::Ok || count > kMaxItems)
        fail();
    for (quint32 i = 0; i < count; ++i) {
        QString name;
        QVariant value;
        ds >> name >> value;
        out->input.parameters.emplace_back(name, value);
    }
    ds >> count;
    if (ds.status() != QDataStream::Ok || count > kMaxItems)
        fail();
    for (quint32 i = 0; i < count; ++i) {
        QString name, text;
        ds >> name >> text;
        out->input.formulas.emplace_back(name, text);
    }
    ds >> count;
    if (ds.status() != QDataStream::Ok || count > kMaxItems)
        fail();
    for (quint32 i = 0; i < count; ++i) {
        TSortRequest s;
        qint32 order = 0, cond = 0;
        ds >> s.field >> order >> s.changeCondition >> cond;
        s.order = TReportSortOrder(qBound(0, int(order), 2));
        s.condition = TGroupCondition(qBound(0, int(cond), int(TGroupCondition::NextIsNo)));
        out->input.orderBy.push_back(s);
    }
    ds >> out->input.fileImages;
    if (ds.status() != QDataStream::Ok)
        fail();
    return out;
}

std::unique_ptr<TReportDefinition> ParseDataFileDefinition(const TReportDataFile &file)
{
    return ParseReportDefinition(file.definitionSource, file.definitionName);
}
