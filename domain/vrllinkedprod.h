#pragma once

// One row of a product's linked products as the linked-products window shows them: which
// product is linked and whether the link counts it as an accessory of the product. A plain
// record; copies are snapshots that outlive the grid row they came from.

#include <QString>

#include <memory>

class TVRLLinkedProd
{
public:
    QString sIdProdotto;      // the linked product
    bool bAccessorio = false; // the link marks it as an accessory

    // A new record already cleared.
    static std::unique_ptr<TVRLLinkedProd> CreateObject();
    void clear();
    void copyFromOther(const TVRLLinkedProd &xOther);
};
