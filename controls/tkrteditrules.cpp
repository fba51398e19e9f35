#include "controls/tkrteditrules.h"

#include "common/formats.h"

#include <QLocale>
#include <QStringList>

QString KRTRemoveThousands(const QString &text)
{
    QString s = text;
    s.remove(QLatin1Char('.'));
    return s;
}

bool KRTParseNumber(const QString &text, double *value)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (!(c.isDigit() || c == QLatin1Char(',') || c == QLatin1Char('-')
              || c == QLatin1Char('+')))
            return false;
    }
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(s, &ok);
    if (ok && value)
        *value = v;
    return ok;
}

QString KRTFormatNumber(double value, int decimals, bool thousands)
{
    QString s = FormatNumber(qMax(0, decimals), value);
    if (!thousands)
        s.remove(QLatin1Char('.'));
    return s;
}

QString KRTShortestNumberText(double value)
{
    QString s = SqlFloat(value);
    if (s.contains(QLatin1Char('e'))) {
        // Very large or small values: plain digits rather than an exponent.
        s = QString::number(value, 'f', 6);
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

static QString Pad2(const QString &part)
{
    return part.length() < 2 ? part.rightJustified(2, QLatin1Char('0')) : part;
}

static QString Century(const QString &yy)
{
    bool ok = false;
    const int y = yy.toInt(&ok);
    return (ok && y >= 30) ? QStringLiteral("19") : QStringLiteral("20");
}

QString KRTNormaliseDate(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('.'), QLatin1Char('/'));
    const int slashes = s.count(QLatin1Char('/'));
    if (slashes == 2) {
        QStringList parts = s.split(QLatin1Char('/'));
        parts[0] = Pad2(parts[0]);
        parts[1] = Pad2(parts[1]);
        s = parts.join(QLatin1Char('/'));
    }
    if (s.length() == 6 && slashes == 0) {
        s = s.left(2) + QLatin1Char('/') + s.mid(2, 2) + QLatin1Char('/') + Century(s.mid(4, 2))
            + s.mid(4, 2);
    } else if (s.length() == 8 && slashes == 0) {
        s = s.left(2) + QLatin1Char('/') + s.mid(2, 2) + QLatin1Char('/') + s.mid(4, 4);
    } else if (s.length() == 8 && slashes == 2) {
        s = s.left(6) + Century(s.mid(6, 2)) + s.mid(6, 2);
    }
    return s;
}

QString KRTNormaliseTime(const QString &text, bool shortTime)
{
    QString s = text;
    s.replace(QLatin1Char('.'), QLatin1Char(':'));
    const int colons = s.count(QLatin1Char(':'));
    const QString tail = shortTime ? QString() : QStringLiteral(":00");
    if (colons == 2) {
        QStringList parts = s.split(QLatin1Char(':'));
        for (QString &p : parts)
            p = Pad2(p);
        return parts.join(QLatin1Char(':'));
    }
    if (colons == 1) {
        QStringList parts = s.split(QLatin1Char(':'));
        return Pad2(parts[0]) + QLatin1Char(':') + Pad2(parts[1]) + tail;
    }
    if (s.length() == 1 || s.length() == 2)
        return Pad2(s) + QStringLiteral(":00") + tail;
    if (s.length() == 4)
        return s.left(2) + QLatin1Char(':') + s.mid(2, 2) + tail;
    if (s.length() == 6 && !shortTime)
        return s.left(2) + QLatin1Char(':') + s.mid(2, 2) + QLatin1Char(':') + s.mid(4, 2);
    return s;
}

static bool ReadDigits(const QString &s, int from, int count, int *value)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        if (i >= s.length() || !s.at(i).isDigit() || s.at(i).unicode() > 127)
            return false;
        v = v * 10 + (s.at(i).unicode() - '0');
    }
    *value = v;
    return true;
}

bool KRTCheckDate(const QString &text, QString *normalised, QDate *date)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const int slashes = t.count(QLatin1Char('/'));
    if (slashes != 0 && slashes != 2)
        return false;
    const QString n = KRTNormaliseDate(t);
    int d = 0, m = 0, y = 0;
    if (n.length() != 10 || n.at(2) != QLatin1Char('/') || n.at(5) != QLatin1Char('/')
        || !ReadDigits(n, 0, 2, &d) || !ReadDigits(n, 3, 2, &m) || !ReadDigits(n, 6, 4, &y))
        return false;
    if (m < 1 || m > 12 || y < 1)
        return false;
    const QDate value(y, m, d);
    if (!value.isValid())
        return false;
    if (normalised)
        *normalised = n;
    if (date)
        *date = value;
    return true;
}

bool KRTCheckTime(const QString &text, bool shortTime, QString *normalised, QTime *time)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Colons are counted before dots become colons. One colon is also taken for full times
    // ("9:30" means 09:30:00), as the normalisation provides for it.
    const int colons = t.count(QLatin1Char(':'));
    const bool shapeOk = shortTime
                             ? ((colons == 0 && t.length() <= 4) || colons == 1)
                             : ((colons == 0 && t.length() <= 6) || colons == 1 || colons == 2);
    if (!shapeOk)
        return false;
    const QString n = KRTNormaliseTime(t, shortTime);
    int h = 0, mi = 0, s = 0;
    if (shortTime) {
        if (n.length() != 5 || n.at(2) != QLatin1Char(':') || !ReadDigits(n, 0, 2, &h)
            || !ReadDigits(n, 3, 2, &mi))
            return false;
    } else {
        if (n.length() != 8 || n.at(2) != QLatin1Char(':') || n.at(5) != QLatin1Char(':')
            || !ReadDigits(n, 0, 2, &h) || !ReadDigits(n, 3, 2, &mi) || !ReadDigits(n, 6, 2, &s))
            return false;
    }
    if (h > 23 || mi > 59 || s > 59)
        return false;
    if (normalised)
        *normalised = n;
    if (time)
        *time = QTime(h, mi, s);
    return true;
}
