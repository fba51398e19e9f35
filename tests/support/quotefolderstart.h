#pragma once

// The values a list row hands over to a quote folder window, read back from the database.

#include "quotes/quoteopeners.h"

#include <QString>
#include <QStringList>

// The columns of the row to select, in this order and joined with '|' (concat_ws): blocked
// flag, revision, PDF link, PDF name, folder name, subject, customer, year, number. The
// number shown is the number in four digits, a slash and the year.
inline TQuoteFolderStart QuoteFolderStartOfRow(const QString &row, const QString &id, bool fromList)
{
    const QStringList v = row.split(u'|');
    TQuoteFolderStart s;
    s.bFromGestione = fromList;
    s.sIdPreventivoLista = id;
    s.bPrevBloccatoLista = v.value(0) == QLatin1String("1");
    s.iNuRevisioneLista = v.value(1).toInt();
    s.sURLPDF = v.value(2);
    s.sNomePDF = v.value(3);
    s.sNomeFolderPrev = v.value(4);
    s.sDescOggettoLista = v.value(5);
    s.sDescClienteLista = v.value(6);
    s.sNuAnnoPrevLista = v.value(7);
    s.sNuPreventivoLista = v.value(8);
    s.sTxNuPreventivoLista
        = QStringLiteral("%1/%2").arg(v.value(8).toInt(), 4, 10, QChar('0')).arg(v.value(7));
    return s;
}
