#pragma once

// A node of the quote layout tree: a quote line, data sheet, paragraph or sub-paragraph of the
// printed quote, with the print options the operator sets on it and the page it landed on.

#include "domain/vrldettprod.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// Layout kind codes of the rows of the layout procedures that the tree and the program use
// besides the node kinds of the catalogue.
inline constexpr int kLayoutKindLine = 5;            // a quote line (the product)
inline constexpr int kLayoutKindPartWithImages = 61; // a sub-paragraph printed with its images
inline constexpr int kLayoutKindClosing = 9990;      // closing row of the main section

// The tree kind of a layout kind code: 5 a quote line, 10 data sheet, 30 paragraph,
// 40 sub-paragraph, 61 sub-paragraph with images; other codes (report only) give cnProdotto.
TCurrentNodeTipologia LayoutNodeTipologia(int nuTipologia);

class TVRLPrevParteLayout
{
public:
    QString sIdPreventivoDet; // the quote line of the node; the root: the quote id
    QString sIdNodo;          // the root: the quote id
    QString sIdParent;
    QString sIdSezione;
    qint32 iNuTipologia = 0;
    TCurrentNodeTipologia xTipoNode = cnProdotto;
    bool bAttivo = true;
    bool bParteUnita = true;     // "mantieni unito"
    bool bNewPageBefore = false; // "salto pagina"
    qint32 iPagePreview = 0;     // page of the preview showing the node; 0 while unknown

    static std::unique_ptr<TVRLPrevParteLayout> CreateObject();
    void clear();
    void copyFromOther(const TVRLPrevParteLayout &xOther);
};
