#include "domain/vrldettprev.h"

#include "common/formats.h"
#include "db/dataset.h"

#include <QBuffer>
#include <QImageReader>

std::unique_ptr<TVRLDettPrev> TVRLDettPrev::CreateObject()
{
    auto line = std::make_unique<TVRLDettPrev>();
    line->clear();
    return line;
}

void TVRLDettPrev::clear()
{
    sIdPreventivoDet.clear();
    sIdProdotto.clear();
    sCodProdotto.clear();
    sDescProdotto.clear();
    sIdProdListino.clear();
    sCodListino.clear();
    sDescListino.clear();
    rImporto = rImpPercSconto = rImpSconto = rListino = rMaxPercSconto = rMaxSconto = 0;
    rQuantita = 1.0;
    bProdottoPrincipale = bAccessorio = bServizio = bDocumentazione = bDocInFondo = false;
    bAttivo = true;
    oDibGraphicClass.clear();
    oImage = QImage();
    rAspect = 0;
    bImageHorizontal = bImageSquare = bImageVertical = false;
    bNoImage = true;
    bHasImporto = false;
    baCover.clear();
}

void TVRLDettPrev::copyFromOther(const TVRLDettPrev &xOther)
{
    *this = xOther;
    // A copy of its own, made from the same image class, not a shared one.
    oImage = xOther.oImage.copy();
}

void TVRLDettPrev::calcAspectRatio()
{
    bImageHorizontal = bImageSquare = bImageVertical = false;
    if (oImage.isNull() || oImage.width() <= 0 || oImage.height() <= 0) {
        rAspect = 0;
        return;
    }
    const int w = oImage.width();
    const int h = oImage.height();
    rAspect = double(qMin(w, h)) * 100.0 / double(qMax(w, h));
    if (rAspect >= 75)
        bImageSquare = true;
    else if (w > h)
        bImageHorizontal = true;
    else
        bImageVertical = true;
}

void TVRLDettPrev::EnsureImage(const QImage &placeholder)
{
    if (!oImage.isNull())
        return;
    if (!baCover.isEmpty()) {
        QBuffer buffer(&baCover);
        QImageReader reader(&buffer);
        oDibGraphicClass = QString::fromLatin1(reader.format());
        oImage = reader.read();
    }
    bNoImage = oImage.isNull();
    if (bNoImage) {
        oImage = placeholder;
        oDibGraphicClass.clear();
    }
    baCover.clear();
    calcAspectRatio();
}

void FillLineFromRow(TVRLDettPrev &line, const TDataSet &rows, int recNo0)
{
    line.clear();
    auto col = [&rows](const char *name) { return rows.FieldIndex(QLatin1String(name)); };
    auto text = [&](const char *name) {
        const int c = col(name);
        return c < 0 ? QString() : rows.ValueAt(recNo0, c).toString();
    };
    auto isNull = [&](const char *name) {
        const int c = col(name);
        return c < 0 || rows.IsNullAt(recNo0, c);
    };
    auto real = [&](const char *name) {
        const int c = col(name);
        return c < 0 ? 0.0 : rows.ValueAt(recNo0, c).toDouble();
    };
    auto flag = [&](const char *name) {
        const int c = col(name);
        return c >= 0 && rows.ValueAt(recNo0, c).toInt() != 0;
    };
    line.sIdPreventivoDet = text("idPreventivoDet");
    line.sIdProdotto = text("idProdotto");
    line.sCodProdotto = text("txCodProdotto");
    line.sDescProdotto = text("txDescProdotto");
    line.sDescListino = text("txDescListino");
    line.bHasImporto = !isNull("vlImporto");
    if (isNull("idProdListino")) {
        // No list: only the amount, no discount.
        line.rImporto = real("vlImporto");
    } else {
        line.sIdProdListino = text("idProdListino");
        line.sCodListino = text("txCodListino");
        line.rImporto = real("vlImporto");
        line.rListino = real("vlListino");
        line.rImpSconto = RoundDecimals(2, line.rListino - line.rImporto);
        line.rImpPercSconto = line.rListino == 0
                                  ? 0
                                  : RoundDecimals(2, line.rImpSconto * 100.0 / line.rListino);
        line.rMaxPercSconto = real("nuMaxPercSconto");
        line.rMaxSconto = real("vlMaxSconto");
    }
    const int cover = col("imgCopertina");
    if (cover >= 0 && !rows.IsNullAt(recNo0, cover))
        line.baCover = rows.ValueAt(recNo0, cover).toByteArray();
    line.rQuantita = isNull("nuQuantita") ? 1.0 : real("nuQuantita");
    line.bDocumentazione = flag("flDocumentazione");
    line.bServizio = flag("flServizio");
    line.bAccessorio = (flag("flAccessorio") || line.bDocumentazione) && !line.bServizio;
    line.bProdottoPrincipale = !line.bAccessorio && !line.bServizio;
    line.bDocInFondo = flag("flDocInFondo");
    line.bAttivo = flag("flProdottoAttivo");
}
