#include "db/resultsource.h"

#include <libpq-fe.h>

namespace {

// Type OIDs of the built-in types (pg_type.dat).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

} // namespace

TPgResultPtr AdoptPgResult(PGresult *result)
{
    return TPgResultPtr(result, [](PGresult *r) {
        if (r)
            PQclear(r);
    });
}

TPgResultSource::TPgResultSource(TPgResultPtr result)
    : m_result(std::move(result))
{}

int TPgResultSource::RowCount() const
{
    return m_result ? PQntuples(m_result.get()) : 0;
}

bool TPgResultSource::IsNull(int row, int col) const
{
    return PQgetisnull(m_result.get(), row, col) != 0;
}

const char *TPgResultSource::Text(int row, int col) const
{
    return PQgetvalue(m_result.get(), row, col);
}

int TPgResultSource::Length(int row, int col) const
{
    return PQgetlength(m_result.get(), row, col);
}

TPgRowsSource::TPgRowsSource(std::vector<TPgResultPtr> rows)
    : m_rows(std::move(rows))
{}

int TPgRowsSource::RowCount() const
{
    return int(m_rows.size());
}

bool TPgRowsSource::IsNull(int row, int col) const
{
    return PQgetisnull(m_rows[size_t(row)].get(), 0, col) != 0;
}

const char *TPgRowsSource::Text(int row, int col) const
{
    return PQgetvalue(m_rows[size_t(row)].get(), 0, col);
}

int TPgRowsSource::Length(int row, int col) const
{
    return PQgetlength(m_rows[size_t(row)].get(), 0, col);
}

TFieldType FieldTypeOfPgType(unsigned int typeOid)
{
    switch (typeOid) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return TFieldType::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return TFieldType::Real;
    case kBool:
        return TFieldType::Flag;
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return TFieldType::DateTime;
    case kBytea:
        return TFieldType::Blob;
    default:
        return TFieldType::Text;
    }
}

std::vector<TFieldDef> FieldDefsOfResult(const PGresult *result)
{
    std::vector<TFieldDef> defs;
    if (!result)
        return defs;
    const int n = PQnfields(result);
    defs.reserve(n);
    for (int c = 0; c < n; ++c) {
        TFieldDef def;
        def.name = QString::fromUtf8(PQfname(result, c));
        const Oid type = PQftype(result, c);
        def.type = FieldTypeOfPgType(type);
        const int mod = PQfmod(result, c);
        if ((type == kVarchar || type == kBpchar) && mod > 4)
            def.size = mod - 4;
        else if (type == kNumeric && mod > 4)
            def.precision = (mod - 4) & 0xffff;
        else if (type == kFloat4 || type == kFloat8 || type == kNumeric)
            def.precision = 2;
        defs.push_back(std::move(def));
    }
    return defs;
}

std::unique_ptr<TDataSet> DataSetFromResult(TPgResultPtr result)
{
    auto ds = std::make_unique<TDataSet>();
    std::vector<TFieldDef> defs = FieldDefsOfResult(result.get());
    ds->OpenFromSource(std::move(defs), std::make_shared<TPgResultSource>(std::move(result)));
    return ds;
}

std::unique_ptr<TDataSet> DataSetFromRows(std::vector<TPgResultPtr> rows, const PGresult *shape)
{
    auto ds = std::make_unique<TDataSet>();
    std::vector<TFieldDef> defs = FieldDefsOfResult(shape);
    ds->OpenFromSource(std::move(defs), std::make_shared<TPgRowsSource>(std::move(rows)));
    return ds;
}
