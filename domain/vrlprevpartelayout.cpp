#include "domain/vrlprevpartelayout.h"

TCurrentNodeTipologia LayoutNodeTipologia(int nuTipologia)
{
    switch (nuTipologia) {
    case kLayoutKindLine:
        return cnProdotto;
    case kLayoutKindPartWithImages:
        return cnParteImgTxt;
    case 10:
    case 30:
    case 40:
        return NodeTipologiaFromCode(nuTipologia);
    default:
        return cnProdotto;
    }
}

std::unique_ptr<TVRLPrevParteLayout> TVRLPrevParteLayout::CreateObject()
{
    auto node = std::make_unique<TVRLPrevParteLayout>();
    node->clear();
    return node;
}

void TVRLPrevParteLayout::clear()
{
    sIdPreventivoDet.clear();
    sIdNodo.clear();
    sIdParent.clear();
    sIdSezione.clear();
    iNuTipologia = 0;
    xTipoNode = cnProdotto;
    bAttivo = true;
    bParteUnita = true;
    bNewPageBefore = false;
    iPagePreview = 0;
}

void TVRLPrevParteLayout::copyFromOther(const TVRLPrevParteLayout &xOther)
{
    *this = xOther;
}
