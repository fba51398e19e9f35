#include "controls/tkrtcalcengine.h"

#include "controls/tkrteditrules.h"

#include <cmath>

void TKRTCalcEngine::Start(double value)
{
    m_value = value;
    m_parked = 0;
    m_entry.clear();
    xCurrentOperation = opNone;
    bOperationPending = false;
    bCommaPressed = false;
    bFirstPressed = true;
}

QString TKRTCalcEngine::EntryText() const
{
    return m_entry.isEmpty() ? KRTShortestNumberText(m_value) : m_entry;
}

void TKRTCalcEngine::SetEntry(const QString &text)
{
    QString t = text;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative)
        t.remove(0, 1);
    while (t.length() > 1 && t.startsWith(QLatin1Char('0')) && t.at(1) != QLatin1Char(','))
        t.remove(0, 1);
    if (t.isEmpty())
        t = QStringLiteral("0");
    m_entry = negative ? QLatin1Char('-') + t : t;
    double v = 0;
    QString parse = m_entry;
    if (parse.endsWith(QLatin1Char(',')))
        parse.chop(1);
    m_value = KRTParseNumber(parse, &v) ? v : 0.0;
}

void TKRTCalcEngine::Digit(int digit)
{
    if (bFirstPressed) {
        m_value = 0;
        m_entry.clear();
    }
    QString text = EntryText();
    if (bCommaPressed && !text.contains(QLatin1Char(',')))
        text += QLatin1Char(',');
    SetEntry(text + QChar(QLatin1Char('0' + digit)));
    bFirstPressed = false;
    bCommaPressed = false;
}

void TKRTCalcEngine::Comma()
{
    if (!NumericText().contains(QLatin1Char(',')))
        bCommaPressed = true;
}

void TKRTCalcEngine::Negate()
{
    QString text = EntryText();
    if (text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    else if (m_value != 0)
        text.prepend(QLatin1Char('-'));
    SetEntry(text);
}

void TKRTCalcEngine::Clear()
{
    bCommaPressed = false;
    m_value = 0;
    m_entry.clear();
}

void TKRTCalcEngine::Back()
{
    QString text = EntryText();
    if (text.length() <= 1) {
        Clear();
        return;
    }
    text.chop(1);
    if (text == QLatin1String("-"))
        text = QStringLiteral("0");
    SetEntry(text);
    bFirstPressed = false;
}

void TKRTCalcEngine::CarryOut()
{
    double r = 0;
    switch (xCurrentOperation) {
    case opNone:
        r = m_value;
        break;
    case opAdd:
        r = m_parked + m_value;
        break;
    case opSubtract:
        r = m_parked - m_value;
        break;
    case opMultiply:
        r = m_parked * m_value;
        break;
    case opDivide:
        r = m_value == 0 ? 0.0 : m_parked / m_value;
        break;
    }
    if (!std::isfinite(r))
        r = 0;
    m_value = r;
    m_entry.clear();
    xCurrentOperation = opNone;
    bOperationPending = false;
}

void TKRTCalcEngine::Operator(TOperation op)
{
    if (bOperationPending)
        CarryOut();
    m_parked = m_value;
    xCurrentOperation = op;
    bOperationPending = true;
    m_value = 0;
    m_entry.clear();
    bCommaPressed = false;
}

void TKRTCalcEngine::Percent()
{
    if (!bOperationPending)
        return;
    m_value = m_parked / 100.0 * m_value;
    m_entry.clear();
}

double TKRTCalcEngine::Equals()
{
    if (bOperationPending)
        CarryOut();
    return m_value;
}

QString TKRTCalcEngine::NumericText() const
{
    const QString text = EntryText();
    const int comma = int(text.indexOf(QLatin1Char(',')));
    const int decimals = comma < 0 ? 0 : int(text.length()) - comma - 1;
    QString shown = KRTFormatNumber(m_value, decimals, true);
    if (comma >= 0 && decimals == 0)
        shown += QLatin1Char(',');
    else if (bCommaPressed && comma < 0)
        shown += QLatin1Char(',');
    return shown + QLatin1Char(' ');
}

QString TKRTCalcEngine::OperationText() const
{
    if (!bOperationPending)
        return QString();
    switch (xCurrentOperation) {
    case opAdd:
        return QStringLiteral("+");
    case opSubtract:
        return QStringLiteral("-");
    case opMultiply:
        return QStringLiteral("*");
    case opDivide:
        return QStringLiteral("/");
    case opNone:
        break;
    }
    return QString();
}
