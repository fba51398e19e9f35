#pragma once

// What the quote list and the quote search show of a quote: the columns of the EstraiPreventivi
// rows with their titles, widths and alignments, the visible and the "Info supplementari"
// columns, the padlock of blocked quotes, the statements of "Copia Id in clipboard".

#include "masterdata/listdata.h"

#include <QPixmap>
#include <QStringList>

// The quote list's definition: status " N° preventivi: " or " Nessun preventivo. ", legend
// " (B) Preventivi bloccati ".
TListDefinition QuoteListDefinition(const QString &className, const QString &extractError);
// The developer queries of a quote: the quote, its lines, its orders.
QList<QStringList> QuoteQueries(const QString &idPreventivo);
// The padlock of the "(B)" column (16 x 14).
QPixmap PadlockPixmap();
