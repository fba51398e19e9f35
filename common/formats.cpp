#include "common/formats.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QStyle>
#include <QTime>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

TFormatSettingsListener g_listener = nullptr;
int g_scrollBarHeight = 0;
int g_scrollBarWidth = 0;

// The value written with 15 significant digits and read back: drops the binary noise of a
// product such as 1.005 * 100 = 100.49999999999999.
double ShortestDecimal(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return std::strtod(buf, nullptr);
}

} // namespace

void ApplyFormatSettings()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        const int extent = app->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        g_scrollBarHeight = extent;
        g_scrollBarWidth = extent;
    }
    if (g_listener)
        g_listener();
}

void SetFormatSettingsListener(TFormatSettingsListener listener)
{
    g_listener = listener;
}

int ScrollBarHeight()
{
    return g_scrollBarHeight;
}

int ScrollBarWidth()
{
    return g_scrollBarWidth;
}

double RoundDecimals(int decimals, double x)
{
    if (!std::isfinite(x))
        return x;
    const double factor = std::pow(10.0, decimals);
    const double scaled = ShortestDecimal(x * factor);
    if (!std::isfinite(scaled))
        return x;
    const double whole = std::trunc(scaled);
    double result = whole;
    if (std::fabs(scaled - whole) >= 0.5)
        result += scaled < 0 ? -1.0 : 1.0;
    result /= factor;
    return result == 0 ? 0.0 : result; // no negative zero
}

int RoundToInt(double x)
{
    const double r = RoundDecimals(0, x);
    if (!std::isfinite(r) || r > std::numeric_limits<int>::max()
        || r < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(r);
}

QString FormatNumber(int decimals, double x)
{
    if (decimals < 0)
        decimals = 0;
    double r = std::isfinite(x) ? RoundDecimals(decimals, x) : 0.0;
    const bool negative = r < 0;
    const QString plain = QString::number(std::fabs(r), 'f', decimals);
    const qsizetype dot = plain.indexOf(u'.');
    const QString intPart = dot < 0 ? plain : plain.left(dot);
    QString grouped;
    grouped.reserve(intPart.size() + intPart.size() / 3 + 1);
    for (qsizetype i = 0; i < intPart.size(); ++i) {
        if (i > 0 && (intPart.size() - i) % 3 == 0)
            grouped += u'.';
        grouped += intPart.at(i);
    }
    if (dot >= 0)
        grouped += u',' + plain.mid(dot + 1);
    return negative ? u'-' + grouped : grouped;
}

QString SqlFloat(double x)
{
    if (!std::isfinite(x) || x == 0)
        return QStringLiteral("0");
    return QString::number(x, 'g', 15);
}

QString SqlQuote(const QString &text, bool wrap)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return wrap ? u'\'' + out + u'\'' : out;
}

QString BoolToSql(bool flag)
{
    return flag ? QStringLiteral("1") : QStringLiteral("0");
}

bool ParseNumberText(const QString &text, double *value)
{
    static const QRegularExpression re(
        QStringLiteral("^([+-]?)(\\d{1,3}(?:\\.\\d{3})+|\\d+)(?:,(\\d+))?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    QString plain = m.captured(1) + m.captured(2).remove(u'.');
    if (m.hasCaptured(3))
        plain += u'.' + m.captured(3);
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

QString DateToText(const QDate &date)
{
    return date.isValid() ? date.toString(QLatin1String(kDateFormat)) : QString();
}

QString DateToText(const QDateTime &dateTime)
{
    return dateTime.isValid() ? DateToText(dateTime.date()) : QString();
}

QString TimeToText(const QTime &time)
{
    return time.isValid() ? time.toString(QLatin1String(kTimeFormat)) : QString();
}

QString TimeToText(const QDateTime &dateTime)
{
    return dateTime.isValid() ? TimeToText(dateTime.time()) : QString();
}

QDate ParseDateText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return QDate();
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    return d.isValid() ? d : QDate();
}

QString LineBreaks(int n)
{
    return n > 0 ? QStringLiteral("\r\n").repeated(n) : QString();
}
