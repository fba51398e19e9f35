#pragma once

// A line of a quote (or of an order): one catalogue product placed in the document with its
// kind, quantity, print flags and price. The lines editor keeps one record per grid row.
//
// The cover comes from the line rows as encoded bytes and is decoded only when the line is
// drawn (EnsureImage): opening a quote of a thousand lines decodes only the covers on screen.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

class TDataSet;

class TVRLDettPrev
{
public:
    QString sIdPreventivoDet;
    QString sIdProdotto;
    QString sCodProdotto;
    QString sDescProdotto;
    QString sIdProdListino; // empty: the line has no price list
    QString sCodListino;
    QString sDescListino;
    double rImporto = 0;
    double rImpPercSconto = 0;
    double rImpSconto = 0;
    double rListino = 0;
    double rMaxPercSconto = 0; // 0: no ceiling shown
    double rMaxSconto = 0;     // 0: no ceiling shown
    double rQuantita = 1.0;
    bool bProdottoPrincipale = false;
    bool bAccessorio = false; // accessory or documentation line
    bool bServizio = false;
    bool bDocumentazione = false;
    bool bDocInFondo = false; // "Stampa alla fine"
    bool bAttivo = true;      // "Visibile in stampa"
    QString oDibGraphicClass; // format of the decoded cover ("jpeg", "png" ...)
    QImage oImage;            // the cover (or the placeholder picture)
    double rAspect = 0;       // short side x 100 / long side
    bool bImageHorizontal = false;
    bool bImageSquare = false;
    bool bImageVertical = false;
    bool bNoImage = true; // the cover is the placeholder picture
    // The line has a stored amount (vlImporto not null).
    bool bHasImporto = false;
    // The encoded cover as the line rows gave it, until it is decoded.
    QByteArray baCover;

    static std::unique_ptr<TVRLDettPrev> CreateObject();
    void clear();
    void copyFromOther(const TVRLDettPrev &xOther);
    // Shape of the cover: no image gives 0 and no shape; square from 75 up, else horizontal
    // when wider than high, else vertical.
    void calcAspectRatio();
    // Decodes the cover on first use; without one (or one that cannot be read) the placeholder
    // is taken and bNoImage set. Then calcAspectRatio.
    void EnsureImage(const QImage &placeholder);
    // The line has a price list or an amount (column "Listino").
    bool HasPrice() const { return !sIdProdListino.isEmpty() || bHasImporto; }
};

// Fills a line from a visible row (0-based) of the line rows (EstraiProdottiInPreventivo,
// MovePreventivoDettaglio, DelPreventivoDettaglio): texts, price (with a list: discount value
// = list - amount, percent rounded to 2 decimals, 0 when the list price is 0), quantity, kind
// and print flags; the cover bytes are kept undecoded.
void FillLineFromRow(TVRLDettPrev &line, const TDataSet &rows, int recNo0);
