#include "db/fieldvalue.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
#include <limits>

TStampMs StampFromDateTime(const QDateTime &dt)
{
    return dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime DateTimeFromStamp(TStampMs stamp)
{
    qint64 day = stamp / kMsPerDay;
    qint64 ms = stamp % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    const QDate date = QDate::fromJulianDay(day);
    QDateTime dt(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
    if (!dt.isValid() && date.isValid())
        dt = QDateTime(date, QTime(0, 0)).addMSecs(ms);
    return dt;
}

namespace {

QString DateTimeFieldsToText(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return QString();
    QString s = QStringLiteral("%1/%2/%3")
                    .arg(date.day(), 2, 10, QLatin1Char('0'))
                    .arg(date.month(), 2, 10, QLatin1Char('0'))
                    .arg(date.year(), 4, 10, QLatin1Char('0'));
    if (time.isValid() && time.msecsSinceStartOfDay() != 0) {
        s += QStringLiteral(" %1:%2:%3")
                 .arg(time.hour(), 2, 10, QLatin1Char('0'))
                 .arg(time.minute(), 2, 10, QLatin1Char('0'))
                 .arg(time.second(), 2, 10, QLatin1Char('0'));
    }
    return s;
}

} // namespace

QString StampToText(TStampMs stamp)
{
    qint64 day = stamp / kMsPerDay;
    qint64 ms = stamp % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    return DateTimeFieldsToText(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads up to maxDigits digits at p[i]; returns how many were read.
int ReadNumber(const char *p, int len, int &i, int maxDigits, int *value)
{
    int n = 0;
    int v = 0;
    while (i < len && n < maxDigits && IsDigit(p[i])) {
        v = v * 10 + (p[i] - '0');
        ++i;
        ++n;
    }
    *value = v;
    return n;
}

// "hh:mm[:ss[.fff...]]" followed by an optional zone that is ignored.
bool ReadTime(const char *p, int len, int &i, int *msOfDay)
{
    int h = 0, m = 0, s = 0, ms = 0;
    if (ReadNumber(p, len, i, 2, &h) == 0 || i >= len || p[i] != ':')
        return false;
    ++i;
    if (ReadNumber(p, len, i, 2, &m) != 2)
        return false;
    if (i < len && p[i] == ':') {
        ++i;
        if (ReadNumber(p, len, i, 2, &s) != 2)
            return false;
        if (i < len && (p[i] == '.' || p[i] == ',')) {
            ++i;
            int scale = 100;
            int digits = 0;
            while (i < len && IsDigit(p[i])) {
                ms += (p[i] - '0') * scale;
                scale /= 10;
                ++i;
                ++digits;
            }
            if (digits == 0)
                return false;
        }
    }
    if (i < len && (p[i] == '+' || p[i] == '-' || p[i] == 'Z')) {
        // Time zone of a timestamptz: the value is kept as written.
        ++i;
        while (i < len && (IsDigit(p[i]) || p[i] == ':'))
            ++i;
    }
    if (h > 23 || m > 59 || s > 59)
        return false;
    *msOfDay = ((h * 60 + m) * 60 + s) * 1000 + ms;
    return true;
}

// A two-digit year within fifty years of the current one.
int FullYear(int yy)
{
    const int now = QDate::currentDate().year();
    int y = now - now % 100 + yy;
    if (y > now + 50)
        y -= 100;
    else if (y <= now - 50)
        y += 100;
    return y;
}

} // namespace

bool ParseStampText(const char *p, int len, TStampMs *out)
{
    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == '\t'))
        --len;
    int i = 0;
    while (i < len && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    if (i >= len)
        return false;

    int y = 0, mo = 0, d = 0;
    int start = i;
    int first = 0;
    int n1 = ReadNumber(p, len, i, 8, &first);
    bool timeOnly = false;
    if (n1 == 8 && i == len) {
        // yyyymmdd (the form of command texts), else ddmmyyyy as typed.
        y = first / 10000;
        mo = first / 100 % 100;
        d = first % 100;
        if (y < 1000 || !QDate(y, mo, d).isValid()) {
            d = first / 1000000;
            mo = first / 10000 % 100;
            y = first % 10000;
        }
    } else if (n1 == 6 && i == len) {
        // ddmmyy as typed in a date field.
        d = first / 10000;
        mo = first / 100 % 100;
        y = FullYear(first % 100);
    } else if (n1 == 4 && i < len && p[i] == '-') {
        y = first;
        ++i;
        if (ReadNumber(p, len, i, 2, &mo) == 0 || i >= len || p[i] != '-')
            return false;
        ++i;
        if (ReadNumber(p, len, i, 2, &d) == 0)
            return false;
    } else if (n1 >= 1 && n1 <= 2 && i < len && p[i] == '/') {
        d = first;
        ++i;
        if (ReadNumber(p, len, i, 2, &mo) == 0 || i >= len || p[i] != '/')
            return false;
        ++i;
        int yd = ReadNumber(p, len, i, 4, &y);
        if (yd == 2)
            y = FullYear(y);
        else if (yd != 4)
            return false;
    } else if (n1 >= 1 && n1 <= 2 && i < len && p[i] == ':') {
        // A time alone: the day the program's date-times count from.
        timeOnly = true;
        i = start;
        y = 1899;
        mo = 12;
        d = 30;
    } else {
        return false;
    }
    QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    int msOfDay = 0;
    if (timeOnly) {
        if (!ReadTime(p, len, i, &msOfDay))
            return false;
    } else if (i < len) {
        if (p[i] != ' ' && p[i] != 'T')
            return false;
        while (i < len && (p[i] == ' ' || p[i] == 'T'))
            ++i;
        if (!ReadTime(p, len, i, &msOfDay))
            return false;
    }
    if (i != len)
        return false;
    *out = date.toJulianDay() * kMsPerDay + msOfDay;
    return true;
}

namespace {

// Latin-1 copy of a short text, or empty when it holds other characters.
QByteArray Latin1Trimmed(QStringView s)
{
    s = s.trimmed();
    QByteArray out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c.unicode() > 0x7f)
            return QByteArray();
        out.append(char(c.unicode()));
    }
    return out;
}

bool ParseIntegerChars(const char *b, const char *e, qint64 *out)
{
    if (b < e && *b == '+')
        ++b;
    if (b == e)
        return false;
    qint64 v = 0;
    auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e)
        return false;
    *out = v;
    return true;
}

bool ParseRealChars(const char *b, const char *e, double *out)
{
    if (b < e && *b == '+')
        ++b;
    if (b == e)
        return false;
    double v = 0;
    auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e)
        return false;
    *out = v;
    return true;
}

bool RoundToInteger(double v, qint64 *out)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18)
        return false;
    *out = std::llround(v); // halves away from zero
    return true;
}

bool IsIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool IsFloating(const QVariant &v)
{
    int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

bool IsTextual(const QVariant &v)
{
    int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

} // namespace

bool ParseIntegerText(QStringView s, qint64 *out)
{
    QByteArray b = Latin1Trimmed(s);
    return ParseIntegerChars(b.constData(), b.constData() + b.size(), out);
}

bool ParseRealText(QStringView s, double *out)
{
    QByteArray b = Latin1Trimmed(s);
    if (b.contains(',')) {
        // Program format: "." groups thousands, "," separates decimals.
        b.replace('.', QByteArray());
        b.replace(',', '.');
    }
    return ParseRealChars(b.constData(), b.constData() + b.size(), out);
}

bool ParseFlagText(QStringView s, bool *out)
{
    QStringView t = s.trimmed();
    static const char *const yes[] = {"1", "t", "true", "si", "s", "yes", "y", "vero"};
    static const char *const no[] = {"0", "f", "false", "no", "n", "falso"};
    for (const char *w : yes) {
        if (t.compare(QLatin1StringView(w), Qt::CaseInsensitive) == 0) {
            *out = true;
            return true;
        }
    }
    for (const char *w : no) {
        if (t.compare(QLatin1StringView(w), Qt::CaseInsensitive) == 0) {
            *out = false;
            return true;
        }
    }
    double v = 0;
    if (ParseRealText(t, &v)) {
        *out = v != 0;
        return true;
    }
    return false;
}

bool ParseStampText(QStringView s, TStampMs *out)
{
    const QByteArray b = Latin1Trimmed(s);
    return !b.isEmpty() && ParseStampText(b.constData(), int(b.size()), out);
}

bool ParseDateTimeText(QStringView s, QDateTime *out)
{
    TStampMs stamp = 0;
    if (!ParseStampText(s, &stamp))
        return false;
    *out = DateTimeFromStamp(stamp);
    return true;
}

QString RealToText(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (v == 0)
        return QStringLiteral("0");
    return QString::number(v, 'g', 15);
}

QString DateTimeToText(const QDateTime &dt)
{
    return DateTimeFieldsToText(dt.date(), dt.time());
}

QVariant ConvertToFieldType(const QVariant &v, TFieldType type, bool *ok)
{
    *ok = true;
    if (!v.isValid() || v.metaType().id() == QMetaType::Nullptr)
        return QVariant();
    const int id = v.metaType().id();
    switch (type) {
    case TFieldType::Text:
        if (id == QMetaType::QString)
            return v;
        return QVariant(ValueAsString(v));
    case TFieldType::Integer: {
        if (IsIntegral(v)) {
            if (id == QMetaType::ULongLong || id == QMetaType::ULong) {
                qulonglong u = v.toULongLong();
                if (u > qulonglong(std::numeric_limits<qint64>::max())) {
                    *ok = false;
                    return QVariant();
                }
            }
            return QVariant(v.toLongLong());
        }
        if (id == QMetaType::Bool)
            return QVariant(qint64(v.toBool() ? 1 : 0));
        qint64 i = 0;
        if (IsFloating(v)) {
            if (RoundToInteger(v.toDouble(), &i))
                return QVariant(i);
            *ok = false;
            return QVariant();
        }
        if (IsTextual(v)) {
            QString s = v.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            double r = 0;
            if (ParseIntegerText(s, &i) || (ParseRealText(s, &r) && RoundToInteger(r, &i)))
                return QVariant(i);
        }
        *ok = false;
        return QVariant();
    }
    case TFieldType::Real: {
        if (IsIntegral(v) || IsFloating(v))
            return QVariant(v.toDouble());
        if (id == QMetaType::Bool)
            return QVariant(v.toBool() ? 1.0 : 0.0);
        if (IsTextual(v)) {
            QString s = v.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            double r = 0;
            if (ParseRealText(s, &r))
                return QVariant(r);
        }
        *ok = false;
        return QVariant();
    }
    case TFieldType::Flag: {
        if (id == QMetaType::Bool)
            return v;
        if (IsIntegral(v) || IsFloating(v))
            return QVariant(v.toDouble() != 0);
        if (IsTextual(v)) {
            QString s = v.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            bool b = false;
            if (ParseFlagText(s, &b))
                return QVariant(b);
        }
        *ok = false;
        return QVariant();
    }
    case TFieldType::DateTime: {
        if (id == QMetaType::QDateTime) {
            QDateTime dt = v.toDateTime();
            return dt.isValid() ? QVariant(dt) : QVariant();
        }
        if (id == QMetaType::QDate) {
            QDate d = v.toDate();
            return d.isValid() ? QVariant(QDateTime(d, QTime(0, 0))) : QVariant();
        }
        if (IsTextual(v)) {
            QString s = v.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            QDateTime dt;
            if (ParseDateTimeText(s, &dt))
                return QVariant(dt);
        }
        *ok = false;
        return QVariant();
    }
    case TFieldType::Blob:
        if (id == QMetaType::QByteArray)
            return v;
        if (id == QMetaType::QString)
            return QVariant(v.toString().toUtf8());
        *ok = false;
        return QVariant();
    }
    *ok = false;
    return QVariant();
}

QString ValueAsString(const QVariant &v)
{
    if (!v.isValid())
        return QString();
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return RealToText(v.toDouble());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDateTime:
        return DateTimeToText(v.toDateTime());
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

qint64 ValueAsInteger(const QVariant &v)
{
    if (!v.isValid())
        return 0;
    if (IsIntegral(v))
        return v.toLongLong();
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    qint64 i = 0;
    if (IsFloating(v))
        return RoundToInteger(v.toDouble(), &i) ? i : 0;
    if (IsTextual(v)) {
        QString s = v.toString();
        double r = 0;
        if (ParseIntegerText(s, &i))
            return i;
        if (ParseRealText(s, &r) && RoundToInteger(r, &i))
            return i;
    }
    return 0;
}

double ValueAsFloat(const QVariant &v)
{
    if (!v.isValid())
        return 0;
    if (IsIntegral(v) || IsFloating(v))
        return v.toDouble();
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    double r = 0;
    if (IsTextual(v) && ParseRealText(v.toString(), &r))
        return r;
    return 0;
}

bool ValueAsBoolean(const QVariant &v)
{
    if (!v.isValid())
        return false;
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool();
    if (IsIntegral(v) || IsFloating(v))
        return v.toDouble() != 0;
    bool b = false;
    if (IsTextual(v) && ParseFlagText(v.toString(), &b))
        return b;
    return false;
}

QDateTime ValueAsDateTime(const QVariant &v)
{
    if (!v.isValid())
        return QDateTime();
    switch (v.metaType().id()) {
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    default:
        break;
    }
    QDateTime dt;
    if (IsTextual(v) && ParseDateTimeText(v.toString(), &dt))
        return dt;
    return QDateTime();
}

QByteArray ValueAsBytes(const QVariant &v)
{
    if (!v.isValid())
        return QByteArray();
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray();
    return ValueAsString(v).toUtf8();
}
