#include "quotes/lineprices.h"

#include "common/formats.h"

QString PriceText(double value)
{
    return FormatNumber(2, value);
}

bool PriceValue(const QString &text, double *value)
{
    return !text.trimmed().isEmpty() && ParseNumberText(text, value);
}

void PriceAfterAmount(double listino, TPriceTexts &t)
{
    if (t.sImporto.trimmed().isEmpty()) {
        t.sPerc.clear();
        t.sValore.clear();
        return;
    }
    double a = 0;
    if (!PriceValue(t.sImporto, &a))
        return;
    t.sValore = PriceText(listino - a);
    double v = 0;
    PriceValue(t.sValore, &v);
    t.sPerc = listino == 0 ? QString() : PriceText(RoundDecimals(2, v * 100.0 / listino));
}

void PriceAfterPercent(double listino, TPriceTexts &t)
{
    double p = 0;
    if (!PriceValue(t.sPerc, &p))
        return;
    t.sValore = PriceText(RoundDecimals(2, listino / 100.0 * p));
    double v = 0;
    PriceValue(t.sValore, &v);
    t.sImporto = PriceText(listino - v);
}

void PriceAfterValue(double listino, TPriceTexts &t)
{
    double v = 0;
    if (!PriceValue(t.sValore, &v))
        return;
    t.sImporto = PriceText(listino - v);
    t.sPerc = listino == 0 ? QString() : PriceText(RoundDecimals(2, v * 100.0 / listino));
}

QString DiscountCeilingRefusal(const QVariant &maxPercSconto,
                               const QVariant &maxSconto,
                               const TPriceTexts &t)
{
    double p = 0;
    if (maxPercSconto.isValid() && !maxPercSconto.isNull() && PriceValue(t.sPerc, &p)
        && maxPercSconto.toDouble() < p) {
        QString ceiling = QString::number(maxPercSconto.toDouble(), 'g', 15);
        ceiling.replace(QLatin1Char('.'), QLatin1Char(','));
        return QStringLiteral("Impossibile impostare importo, la % di sconto non deve essere "
                              "superiore a ")
               + ceiling + QStringLiteral("%.");
    }
    double v = 0;
    if (maxSconto.isValid() && !maxSconto.isNull() && PriceValue(t.sValore, &v)
        && maxSconto.toDouble() < v)
        return QStringLiteral("Impossibile impostare importo, il valore applicato di sconto non "
                              "deve essere superiore a ")
               + FormatNumber(2, maxSconto.toDouble()) + QLatin1Char('.');
    return QString();
}
