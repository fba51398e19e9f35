#pragma once

// Sample rows shared by the dataset tests.
//
// id | txName    | nuQty | vlPrice | flActive | dtWhen
//  1 | beta      |     5 |     2.5 | true     | 2024-03-05 14:02:03
//  2 | Alpha     |  null |     1.0 | false    | null
//  3 | alpha     |     3 |    null | true     | 2024-03-05 00:00:00
//  4 | null      |     5 |    -1.5 | null     | 2023-12-31 23:59:59
//  5 | O'Brien   |    10 |     1.5 | false    | 2024-01-10 00:00:00
//  6 | Gamma_1   |     0 |  100.25 | true     | 2025-06-01 00:00:00

#include "db/dataset.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

inline void DefineSampleFields(TDataSet &ds)
{
    ds.AddFieldDef(QStringLiteral("id"), TFieldType::Integer);
    ds.AddFieldDef(QStringLiteral("txName"), TFieldType::Text, 50);
    ds.AddFieldDef(QStringLiteral("nuQty"), TFieldType::Integer);
    ds.AddFieldDef(QStringLiteral("vlPrice"), TFieldType::Real);
    ds.AddFieldDef(QStringLiteral("flActive"), TFieldType::Flag);
    ds.AddFieldDef(QStringLiteral("dtWhen"), TFieldType::DateTime);
    ds.AddFieldDef(QStringLiteral("imgData"), TFieldType::Blob);
}

inline void AppendSampleRow(TDataSet &ds, const QVariantList &values)
{
    ds.Append();
    for (int i = 0; i < values.size(); ++i)
        ds.Fields(i).SetValue(values[i]);
    ds.Post();
}

inline QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

inline std::unique_ptr<TDataSet> MakeSampleDataSet()
{
    auto ds = std::make_unique<TDataSet>();
    DefineSampleFields(*ds);
    ds->CreateDataSet();
    const QVariant null;
    AppendSampleRow(*ds, {1, "beta", 5, 2.5, true, At(2024, 3, 5, 14, 2, 3)});
    AppendSampleRow(*ds, {2, "Alpha", null, 1.0, false, null});
    AppendSampleRow(*ds, {3, "alpha", 3, null, true, At(2024, 3, 5)});
    AppendSampleRow(*ds, {4, null, 5, -1.5, null, At(2023, 12, 31, 23, 59, 59)});
    AppendSampleRow(*ds, {5, "O'Brien", 10, 1.5, false, At(2024, 1, 10)});
    AppendSampleRow(*ds, {6, "Gamma_1", 0, 100.25, true, At(2025, 6, 1)});
    ds->First();
    return ds;
}

// The ids of the visible rows in view order, "4,2,3" (the cursor does not move).
inline QString VisibleIds(const TDataSet &ds)
{
    const int idCol = ds.FieldIndex(QStringLiteral("id"));
    QStringList ids;
    for (int i = 0; i < ds.RecordCount(); ++i)
        ids << QString::number(ds.ValueAt(i, idCol).toLongLong());
    return ids.join(QLatin1Char(','));
}

inline qint64 CurrentId(TDataSet &ds)
{
    return ds.FieldByName(QStringLiteral("id")).AsInteger();
}
