#pragma once

// The price rules of a quote line: the amount offered, the discount as a value and as a
// percent of the list price kept consistent as the operator types one of them, and the
// ceilings of the discount a price list sets. The three fields hold texts in the program's
// number format with two decimals; a value read back from a field is the value as the field
// holds it. With a list price of 0 no percent is computed (the field is left empty).

#include <QString>
#include <QVariant>

struct TPriceTexts
{
    QString sImporto;
    QString sPerc;
    QString sValore;
};

// A number shown with two decimals in the program's format ("1.234,50").
QString PriceText(double value);
// The number a price field holds; false for a text that is not a number in the program's
// format (an empty text is no number either).
bool PriceValue(const QString &text, double *value);

// The amount was typed (only while the discount group is shown): value = L - amount, percent
// from the value read back; an emptied amount empties both discount fields. A text that is
// not a number changes nothing.
void PriceAfterAmount(double listino, TPriceTexts &t);
// The percent was typed: value = L / 100 x percent (2 decimals), amount = L - value read back.
// An emptied percent changes nothing.
void PriceAfterPercent(double listino, TPriceTexts &t);
// The value was typed: amount = L - value, percent = value x 100 / L (2 decimals). An emptied
// value changes nothing.
void PriceAfterValue(double listino, TPriceTexts &t);

// The refusal of "Conferma" for the discount typed, against the ceilings of the list (an
// invalid QVariant: no ceiling); empty when the discount is allowed.
QString DiscountCeilingRefusal(const QVariant &maxPercSconto,
                               const QVariant &maxSconto,
                               const TPriceTexts &t);
