#pragma once

// Sort expressions of TDataSet: "dtMaxOperation DESC, txDenominazione".

#include "db/dataset.h"

#include <vector>

class TDataStore;

struct TSortKey
{
    int column = -1;
    bool descending = false;
};

class TDataSetSort
{
public:
    // Parses and resolves the expression against the fields; throws EDataSetError naming the
    // unknown field or the malformed part.
    TDataSetSort(const QString &expr, const std::vector<TFieldDef> &defs);

    const std::vector<TSortKey> &Keys() const { return m_keys; }

    // Stable sort of physical rows. Texts compare without regard to case; nulls count as the
    // smallest value (first in ascending order, last in descending order).
    void Sort(std::vector<int> &rows, const TDataStore &store) const;

private:
    std::vector<TSortKey> m_keys;
};
