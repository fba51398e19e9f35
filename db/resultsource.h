#pragma once

// Server results as datasets: a column source over a libpq result, shared by every dataset
// that reads it. The result is freed when its last holder goes.

#include "db/dataset.h"

#include <memory>
#include <vector>

struct pg_result;
typedef struct pg_result PGresult;

using TPgResultPtr = std::shared_ptr<PGresult>;

// Takes ownership of a libpq result (PQclear when the last holder goes); nullptr stays empty.
TPgResultPtr AdoptPgResult(PGresult *result);

class TPgResultSource : public TDataSet::ColumnSource
{
public:
    explicit TPgResultSource(TPgResultPtr result);
    int RowCount() const override;
    bool IsNull(int row, int col) const override;
    const char *Text(int row, int col) const override;
    int Length(int row, int col) const override;
    const PGresult *Result() const { return m_result.get(); }

private:
    TPgResultPtr m_result;
};

// Rows that came one result each (libpq's single-row mode), read as one set of rows.
class TPgRowsSource : public TDataSet::ColumnSource
{
public:
    explicit TPgRowsSource(std::vector<TPgResultPtr> rows);
    int RowCount() const override;
    bool IsNull(int row, int col) const override;
    const char *Text(int row, int col) const override;
    int Length(int row, int col) const override;

private:
    std::vector<TPgResultPtr> m_rows;
};

// The dataset type of a column from its PostgreSQL type.
TFieldType FieldTypeOfPgType(unsigned int typeOid);
// Field definitions of a result: lower-case names as the server gives them, types from the
// column types, text sizes and real decimals from the type modifiers.
std::vector<TFieldDef> FieldDefsOfResult(const PGresult *result);
// A read-only dataset over the rows of a result (decoded when read).
std::unique_ptr<TDataSet> DataSetFromResult(TPgResultPtr result);
// A read-only dataset over rows that came one result each, with the columns of shape (any
// result of the same statement: one of the rows, or its closing result without rows).
std::unique_ptr<TDataSet> DataSetFromRows(std::vector<TPgResultPtr> rows, const PGresult *shape);
