#include "domain/vrllinkedprod.h"

std::unique_ptr<TVRLLinkedProd> TVRLLinkedProd::CreateObject()
{
    auto link = std::make_unique<TVRLLinkedProd>();
    link->clear();
    return link;
}

void TVRLLinkedProd::clear()
{
    sIdProdotto.clear();
    bAccessorio = false;
}

void TVRLLinkedProd::copyFromOther(const TVRLLinkedProd &xOther)
{
    sIdProdotto = xOther.sIdProdotto;
    bAccessorio = xOther.bAccessorio;
}
