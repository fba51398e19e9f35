#pragma once

// Filter expressions of TDataSet: "nuTipologia = 5 AND flCopertinaVisible = 1",
// "dtCanc = NULL", "txCodListino LIKE '*x*'".
//
// An expression is parsed and its fields resolved once; evaluation runs each comparison over a
// whole column into a bitmap and joins the bitmaps with AND, OR and NOT.

#include "db/dataset.h"

#include <memory>
#include <vector>

class TDataStore;

class TDataSetFilter
{
public:
    // Throws EDataSetError naming the expression and the unknown field or malformed part.
    TDataSetFilter(const QString &expr, const std::vector<TFieldDef> &defs);
    ~TDataSetFilter();
    TDataSetFilter(const TDataSetFilter &) = delete;
    TDataSetFilter &operator=(const TDataSetFilter &) = delete;

    // Bit i of bits is set when candidate row i matches. cand lists physical rows; nullptr
    // stands for the rows 0..n-1.
    void Evaluate(const TDataStore &store, const int *cand, int n, std::vector<quint64> &bits) const;
    // Keeps the rows that match, in their order.
    void Apply(const TDataStore &store, std::vector<int> &rows) const;
    // Physical rows 0..n-1 that match.
    std::vector<int> MatchingIdentity(const TDataStore &store, int n) const;
    int CountMatching(const TDataStore &store, const std::vector<int> &rows) const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
};
