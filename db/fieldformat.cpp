#include "db/fieldformat.h"

#include "db/fieldvalue.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
#include <string>

namespace {

struct NumberSection
{
    QString prefix;
    QString suffix;
    int intZeros = 0;  // digits always shown before the decimals
    int fracZeros = 0; // decimals always shown
    int fracMax = 0;   // decimals shown at most
    bool thousands = false;
    bool hasDigits = false;
};

QStringList SplitSections(const QString &pattern)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            cur += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            cur += c;
        } else if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

NumberSection ParseSection(const QString &s)
{
    NumberSection sec;
    bool inFraction = false;
    bool seenDigit = false;
    int lastFracZero = 0;
    int fracCount = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            qsizetype end = s.indexOf(c, i + 1);
            if (end < 0)
                end = s.size();
            const QString lit = s.mid(i + 1, end - i - 1);
            (seenDigit ? sec.suffix : sec.prefix) += lit;
            i = end;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            seenDigit = true;
            if (inFraction) {
                ++fracCount;
                if (c == QLatin1Char('0'))
                    lastFracZero = fracCount;
            } else if (c == QLatin1Char('0')) {
                ++sec.intZeros;
            }
        } else if (c == QLatin1Char(',') && !inFraction) {
            sec.thousands = true;
        } else if (c == QLatin1Char('.') && !inFraction) {
            inFraction = true;
        } else {
            (seenDigit ? sec.suffix : sec.prefix) += c;
        }
    }
    sec.fracMax = fracCount;
    sec.fracZeros = lastFracZero;
    sec.hasDigits = seenDigit;
    return sec;
}

// Decimal digits of |v| rounded half away from zero to `decimals` places, from the shortest
// representation that reads back as v (so 2.675 rounds to 2.68, as written).
void RoundedDigits(double v, int decimals, std::string &ip, std::string &fp)
{
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed);
    std::string s(buf, r.ptr);
    const size_t dot = s.find('.');
    ip = dot == std::string::npos ? s : s.substr(0, dot);
    fp = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    if (int(fp.size()) <= decimals)
        return;
    const bool up = fp[size_t(decimals)] >= '5';
    fp.resize(size_t(decimals));
    if (!up)
        return;
    std::string all = ip + fp;
    int k = int(all.size()) - 1;
    while (k >= 0) {
        if (all[size_t(k)] == '9') {
            all[size_t(k)] = '0';
            --k;
        } else {
            ++all[size_t(k)];
            break;
        }
    }
    if (k < 0)
        all.insert(all.begin(), '1');
    ip = all.substr(0, all.size() - fp.size());
    fp = all.substr(all.size() - fp.size());
}

QString FormatSection(const NumberSection &sec, double v, bool withSign)
{
    std::string ip, fp;
    RoundedDigits(v, sec.fracMax, ip, fp);
    size_t lead = 0;
    while (lead < ip.size() && ip[lead] == '0')
        ++lead;
    ip.erase(0, lead);
    while (int(ip.size()) < sec.intZeros)
        ip.insert(ip.begin(), '0');
    while (int(fp.size()) > sec.fracZeros && !fp.empty() && fp.back() == '0')
        fp.pop_back();
    while (int(fp.size()) < sec.fracZeros)
        fp.push_back('0');
    const bool zero = ip.find_first_not_of('0') == std::string::npos
                      && fp.find_first_not_of('0') == std::string::npos;
    QString digits;
    if (sec.thousands) {
        const int n = int(ip.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                digits += QLatin1Char('.');
            digits += QLatin1Char(ip[size_t(i)]);
        }
    } else {
        digits = QString::fromLatin1(ip.data(), qsizetype(ip.size()));
    }
    if (!fp.empty())
        digits += QLatin1Char(',') + QString::fromLatin1(fp.data(), qsizetype(fp.size()));
    QString out = sec.prefix + digits + sec.suffix;
    if (withSign && v < 0 && !zero)
        out.prepend(QLatin1Char('-'));
    return out;
}

const char *const kMonthLong[] = {"gennaio",
                                  "febbraio",
                                  "marzo",
                                  "aprile",
                                  "maggio",
                                  "giugno",
                                  "luglio",
                                  "agosto",
                                  "settembre",
                                  "ottobre",
                                  "novembre",
                                  "dicembre"};
const char *const kDayLong[]
    = {"lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato", "domenica"};

QString Pad(int v, int width)
{
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

} // namespace

QString FormatFloatPattern(const QString &pattern, double v)
{
    if (std::isnan(v) || std::isinf(v))
        return RealToText(v);
    const QStringList sections = SplitSections(pattern);
    const NumberSection pos = ParseSection(sections[0]);
    if (sections.size() >= 3 && !sections[2].isEmpty()) {
        // Zero section: used when the value shows as zero in the positive section.
        const QString shown = FormatSection(pos, std::fabs(v), false);
        bool allZero = true;
        for (QChar c : shown) {
            if (c.isDigit() && c != QLatin1Char('0'))
                allZero = false;
        }
        if (allZero)
            return FormatSection(ParseSection(sections[2]), 0, false);
    }
    if (v < 0 && sections.size() >= 2 && !sections[1].isEmpty())
        return FormatSection(ParseSection(sections[1]), -v, false);
    return FormatSection(pos, v, true);
}

QString FormatDateTimePattern(const QString &pattern, const QDateTime &dt)
{
    return FormatDateTimePattern(pattern, dt.date(), dt.time());
}

QString FormatDateTimePattern(const QString &pattern, const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return QString();
    const QDateTime dt(date, time);
    const bool twelveHours = pattern.contains(QLatin1String("am/pm"), Qt::CaseInsensitive)
                             || pattern.contains(QLatin1String("a/p"), Qt::CaseInsensitive);
    QString out;
    bool afterHour = false;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    auto run = [&](QChar c) {
        qsizetype j = i;
        while (j < n && pattern[j].toLower() == c)
            ++j;
        const int len = int(j - i);
        i = j;
        return len;
    };
    while (i < n) {
        const QChar c = pattern[i].toLower();
        if (pattern[i] == QLatin1Char('"') || pattern[i] == QLatin1Char('\'')) {
            qsizetype end = pattern.indexOf(pattern[i], i + 1);
            if (end < 0)
                end = n;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('d')) {
            const int len = run(c);
            afterHour = false;
            if (len == 1)
                out += QString::number(date.day());
            else if (len == 2)
                out += Pad(date.day(), 2);
            else if (len == 3)
                out += QString::fromUtf8(kDayLong[date.dayOfWeek() - 1]).left(3);
            else if (len == 4)
                out += QString::fromUtf8(kDayLong[date.dayOfWeek() - 1]);
            else if (len == 5)
                out += date.toString(QStringLiteral("dd/MM/yyyy"));
            else
                out += QStringLiteral("%1 %2 %3 %4")
                           .arg(QString::fromUtf8(kDayLong[date.dayOfWeek() - 1]))
                           .arg(date.day())
                           .arg(QString::fromUtf8(kMonthLong[date.month() - 1]))
                           .arg(date.year());
        } else if (c == QLatin1Char('m')) {
            const int len = run(c);
            if (afterHour && len <= 2) {
                out += len == 1 ? QString::number(time.minute()) : Pad(time.minute(), 2);
            } else if (len == 1) {
                out += QString::number(date.month());
            } else if (len == 2) {
                out += Pad(date.month(), 2);
            } else if (len == 3) {
                out += QString::fromUtf8(kMonthLong[date.month() - 1]).left(3);
            } else {
                out += QString::fromUtf8(kMonthLong[date.month() - 1]);
            }
            afterHour = false;
        } else if (c == QLatin1Char('y')) {
            const int len = run(c);
            afterHour = false;
            out += len <= 2 ? Pad(date.year() % 100, 2) : Pad(date.year(), 4);
        } else if (c == QLatin1Char('h')) {
            const int len = run(c);
            int h = time.hour();
            if (twelveHours) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += len == 1 ? QString::number(h) : Pad(h, 2);
            afterHour = true;
        } else if (c == QLatin1Char('n')) {
            const int len = run(c);
            afterHour = false;
            out += len == 1 ? QString::number(time.minute()) : Pad(time.minute(), 2);
        } else if (c == QLatin1Char('s')) {
            const int len = run(c);
            afterHour = false;
            out += len == 1 ? QString::number(time.second()) : Pad(time.second(), 2);
        } else if (c == QLatin1Char('z')) {
            const int len = run(c);
            afterHour = false;
            out += len >= 3 ? Pad(time.msec(), 3) : QString::number(time.msec());
        } else if (c == QLatin1Char('t')) {
            const int len = run(c);
            afterHour = false;
            out += time.toString(len == 1 ? QStringLiteral("hh:mm") : QStringLiteral("hh:mm:ss"));
        } else if (c == QLatin1Char('c')) {
            ++i;
            afterHour = false;
            out += DateTimeToText(dt.isValid() ? dt : QDateTime(date, QTime(0, 0)));
        } else if (pattern.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
        } else if (pattern.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? QStringLiteral("a") : QStringLiteral("p");
            i += 3;
        } else {
            out += pattern[i];
            ++i;
        }
    }
    return out;
}

QString StampDisplayText(const TFieldDef &def, TStampMs stamp)
{
    if (def.displayFormat.isEmpty())
        return StampToText(stamp);
    qint64 day = stamp / kMsPerDay;
    qint64 ms = stamp % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    return FormatDateTimePattern(def.displayFormat,
                                 QDate::fromJulianDay(day),
                                 QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString FieldDisplayText(const TFieldDef &def, const QVariant &typed)
{
    if (!typed.isValid())
        return QString();
    switch (def.type) {
    case TFieldType::Text:
        return typed.toString();
    case TFieldType::Integer:
        if (!def.displayFormat.isEmpty())
            return FormatFloatPattern(def.displayFormat, double(typed.toLongLong()));
        return QString::number(typed.toLongLong());
    case TFieldType::Real: {
        const double v = typed.toDouble();
        if (!def.displayFormat.isEmpty())
            return FormatFloatPattern(def.displayFormat, v);
        if (def.precision > 0)
            return FormatFloatPattern(QStringLiteral("0.")
                                          + QString(def.precision, QLatin1Char('0')),
                                      v);
        QString s = RealToText(v);
        s.replace(QLatin1Char('.'), QLatin1Char(','));
        return s;
    }
    case TFieldType::Flag: {
        const bool b = typed.toBool();
        if (!def.displayValues.isEmpty()) {
            const QStringList parts = def.displayValues.split(QLatin1Char(';'));
            return b ? parts.value(0) : parts.value(1);
        }
        return b ? QStringLiteral("1") : QStringLiteral("0");
    }
    case TFieldType::DateTime:
        if (!def.displayFormat.isEmpty())
            return FormatDateTimePattern(def.displayFormat, typed.toDateTime());
        return DateTimeToText(typed.toDateTime());
    case TFieldType::Blob:
        return QStringLiteral("(BLOB)");
    }
    return QString();
}
