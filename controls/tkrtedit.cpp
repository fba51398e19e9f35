#include "controls/tkrtedit.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "controls/krtcolor.h"
#include "db/commandtext.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

bool IsAsciiLetter(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool IsAsciiDigit(QChar c)
{
    const ushort u = c.unicode();
    return u >= '0' && u <= '9';
}

} // namespace

TKRTEdit::TKRTEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_color(palette().color(QPalette::Base))
    , m_errorColor(KRTColor(clKRTRed))
{
    setMaxLength(32767);
    connect(this, &QLineEdit::textEdited, this, &TKRTEdit::OnTextEdited);
}

void TKRTEdit::SetTemplate(TKRTTemplate t)
{
    if (t != m_template) {
        m_minValue.clear();
        m_maxValue.clear();
    }
    m_template = t;
    switch (t) {
    case tpKRTString:
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_behaviours = ibAllowAll;
        m_charsTable.clear();
        setMaxLength(m_maxLength > 0 ? m_maxLength : 32767);
        break;
    case tpKRTNumeric:
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_behaviours = ibAllowNumeric | ibAllowCharsTab;
        m_charsTable = QStringLiteral(",-");
        setMaxLength(32767);
        Validate(QStringLiteral("0"));
        break;
    case tpKRTDate:
        setAlignment(Qt::AlignCenter);
        m_behaviours = ibAllowNumeric | ibAllowCharsTab;
        m_charsTable = QStringLiteral("/");
        setMaxLength(10);
        Validate(DateToText(QDate::currentDate()));
        break;
    case tpKRTTime:
    case tpKRTShortTime:
        setAlignment(Qt::AlignCenter);
        m_behaviours = ibAllowNumeric | ibAllowCharsTab;
        m_charsTable = QStringLiteral(":");
        setMaxLength(t == tpKRTTime ? 8 : 5);
        Validate(StartValue());
        break;
    }
}

QString TKRTEdit::StartValue() const
{
    switch (m_template) {
    case tpKRTString:
        return QString();
    case tpKRTNumeric:
        return QStringLiteral("0");
    case tpKRTDate:
        return DateToText(QDate::currentDate());
    case tpKRTTime:
        return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    case tpKRTShortTime:
        return QTime::currentTime().toString(QStringLiteral("hh:mm"));
    }
    return QString();
}

void TKRTEdit::SetText(const QString &text)
{
    const QString old = m_text;
    Validate(text);
    if (m_text != old)
        RaiseChange();
}

void TKRTEdit::SetCharCase(TKRTCharCase c)
{
    m_charCase = c;
    if (c != ecKRTNormal)
        SetText(m_text);
}

void TKRTEdit::SetColor(const QColor &c)
{
    m_color = c;
    ApplyColor();
}

void TKRTEdit::SetErrorColor(const QColor &c)
{
    m_errorColor = c;
    ApplyColor();
}

void TKRTEdit::SetErrorFlag(bool on)
{
    m_errorFlag = on;
    ApplyColor();
}

void TKRTEdit::SetDecimals(int d)
{
    m_decimals = qMax(0, d);
    if (m_template == tpKRTNumeric)
        Validate(m_text);
}

void TKRTEdit::SetNumericFormatted(bool on)
{
    m_numericFormatted = on;
    if (m_template == tpKRTNumeric)
        Validate(m_text);
}

QString TKRTEdit::NormaliseBound(const QString &v, bool *ok) const
{
    *ok = true;
    if (v.trimmed().isEmpty())
        return QString();
    QString n;
    switch (m_template) {
    case tpKRTString:
        return v;
    case tpKRTNumeric: {
        n = KRTRemoveThousands(v).trimmed();
        *ok = KRTParseNumber(n, nullptr);
        return n;
    }
    case tpKRTDate:
        *ok = KRTCheckDate(v, &n);
        return n;
    case tpKRTTime:
    case tpKRTShortTime:
        *ok = KRTCheckTime(v, m_template == tpKRTShortTime, &n);
        return n;
    }
    return n;
}

void TKRTEdit::SetMinValue(const QString &v)
{
    bool ok = false;
    const QString n = NormaliseBound(v, &ok);
    if (ok)
        m_minValue = n;
}

void TKRTEdit::SetMaxValue(const QString &v)
{
    bool ok = false;
    const QString n = NormaliseBound(v, &ok);
    if (ok)
        m_maxValue = n;
}

void TKRTEdit::SetMaxLength(int n)
{
    m_maxLength = qMax(0, n);
    if (m_template == tpKRTString || m_template == tpKRTNumeric)
        setMaxLength(m_maxLength > 0 ? m_maxLength : 32767);
}

// --- Validation -------------------------------------------------------------------------

void TKRTEdit::ValidateDisplayed()
{
    Validate(QLineEdit::text());
}

void TKRTEdit::Validate(const QString &input)
{
    m_errorFlag = false;
    switch (m_template) {
    case tpKRTString:
        ValidateText(input);
        break;
    case tpKRTNumeric:
        ValidateNumber(input);
        break;
    case tpKRTDate:
        ValidateDate(input);
        break;
    case tpKRTTime:
        ValidateTime(input, false);
        break;
    case tpKRTShortTime:
        ValidateTime(input, true);
        break;
    }
    ApplyColor();
}

void TKRTEdit::ValidateText(const QString &input)
{
    QString s = ((m_behaviours & ibAllowAll) && (m_behaviours & ibAllowSpace)) ? input
                                                                               : input.trimmed();
    if (m_charCase == ecKRTUpperCase)
        s = s.toUpper();
    else if (m_charCase == ecKRTLowerCase)
        s = s.toLower();
    m_errorFlag = s.isEmpty() && !m_allowNothing;
    m_text = s;
    Display(s);
}

bool TKRTEdit::InRange(const QString &normalised) const
{
    switch (m_template) {
    case tpKRTString:
        return true;
    case tpKRTNumeric: {
        double v = 0, b = 0;
        KRTParseNumber(normalised, &v);
        if (!m_minValue.isEmpty() && KRTParseNumber(m_minValue, &b) && v < b)
            return false;
        if (!m_maxValue.isEmpty() && KRTParseNumber(m_maxValue, &b) && v > b)
            return false;
        return true;
    }
    case tpKRTDate: {
        QDate v, b;
        KRTCheckDate(normalised, nullptr, &v);
        if (!m_minValue.isEmpty() && KRTCheckDate(m_minValue, nullptr, &b) && v < b)
            return false;
        if (!m_maxValue.isEmpty() && KRTCheckDate(m_maxValue, nullptr, &b) && v > b)
            return false;
        return true;
    }
    case tpKRTTime:
    case tpKRTShortTime: {
        const bool shortTime = m_template == tpKRTShortTime;
        QTime v, b;
        KRTCheckTime(normalised, shortTime, nullptr, &v);
        if (!m_minValue.isEmpty() && KRTCheckTime(m_minValue, shortTime, nullptr, &b) && v < b)
            return false;
        if (!m_maxValue.isEmpty() && KRTCheckTime(m_maxValue, shortTime, nullptr, &b) && v > b)
            return false;
        return true;
    }
    }
    return true;
}

void TKRTEdit::ValidateNumber(const QString &input)
{
    const QString s = KRTRemoveThousands(input).trimmed();
    double v = 0;
    const bool isNumber = KRTParseNumber(s, &v);
    m_errorFlag = !isNumber;
    if (!isNumber || !InRange(s)) {
        if (m_allowNothing && s.isEmpty()) {
            m_errorFlag = false;
            m_text.clear();
            Display(QString());
            return;
        }
        v = 0;
        if (!m_minValue.isEmpty())
            KRTParseNumber(m_minValue, &v);
    }
    const QString shown = KRTFormatNumber(v, m_decimals, m_numericFormatted);
    m_text = KRTRemoveThousands(shown);
    Display(hasFocus() ? m_text : shown);
}

void TKRTEdit::ValidateDate(const QString &input)
{
    QString n;
    if (KRTCheckDate(input, &n)) {
        m_text = InRange(n) ? n : QString();
    } else {
        m_text.clear();
        m_errorFlag = !(m_allowNothing && input.trimmed().isEmpty());
    }
    Display(m_text);
}

void TKRTEdit::ValidateTime(const QString &input, bool shortTime)
{
    QString n;
    if (KRTCheckTime(input, shortTime, &n)) {
        m_text = InRange(n) ? n : QString();
    } else {
        m_text.clear();
        m_errorFlag = !(m_allowNothing && input.trimmed().isEmpty());
    }
    Display(m_text);
}

void TKRTEdit::Display(const QString &shown)
{
    if (QLineEdit::text() == shown)
        return;
    m_updating = true;
    QLineEdit::setText(shown);
    m_updating = false;
}

QColor TKRTEdit::CurrentColor() const
{
    return palette().color(QPalette::Base);
}

void TKRTEdit::ApplyColor()
{
    const QColor wanted = m_errorFlag ? m_errorColor : m_color;
    if (CurrentColor() == wanted)
        return;
    QPalette p = palette();
    p.setColor(QPalette::Base, wanted);
    setPalette(p);
}

// --- Typed access -----------------------------------------------------------------------

double TKRTEdit::ConvertEditTextAsFloat(const QString &text)
{
    double v = 0;
    return KRTParseNumber(KRTRemoveThousands(text), &v) ? v : 0.0;
}

double TKRTEdit::AsFloat()
{
    if (m_template == tpKRTNumeric)
        Validate(m_text);
    double v = 0;
    if (!KRTParseNumber(KRTRemoveThousands(m_text), &v))
        throw EKRTConvertError(QStringLiteral("\"%1\" non è un numero valido.").arg(m_text));
    return v;
}

qint64 TKRTEdit::AsInteger()
{
    const double v = AsFloat();
    if (v != std::floor(v) || std::fabs(v) > 9.0e18)
        throw EKRTConvertError(QStringLiteral("\"%1\" non è un numero intero valido.").arg(m_text));
    return qint64(v);
}

QDate TKRTEdit::AsDate()
{
    if (m_template == tpKRTDate)
        Validate(m_text);
    QDate d;
    KRTCheckDate(m_text, nullptr, &d);
    return d;
}

QTime TKRTEdit::AsTime() const
{
    QTime t;
    if (!KRTCheckTime(m_text, false, nullptr, &t))
        KRTCheckTime(m_text, true, nullptr, &t);
    return t;
}

void TKRTEdit::SetAsFloat(double v)
{
    SetText(KRTShortestNumberText(v));
}

void TKRTEdit::SetAsInteger(qint64 v)
{
    SetText(QString::number(v));
}

void TKRTEdit::SetAsDate(const QDate &d)
{
    SetText(DateToText(d));
}

void TKRTEdit::SetAsTime(const QTime &t)
{
    SetText(t.toString(m_template == tpKRTShortTime ? QStringLiteral("hh:mm")
                                                    : QStringLiteral("hh:mm:ss")));
}

bool TKRTEdit::IsEmpty() const
{
    if (m_template == tpKRTNumeric) {
        double v = 0;
        return !KRTParseNumber(KRTRemoveThousands(m_text), &v) || v == 0;
    }
    return m_text.trimmed().isEmpty();
}

bool TKRTEdit::IsNumeric()
{
    const bool ok = KRTParseNumber(KRTRemoveThousands(m_text), nullptr);
    SetErrorFlag(!ok);
    return ok;
}

void TKRTEdit::ClearField()
{
    SetText(m_allowNothing ? QString() : StartValue());
}

QString TKRTEdit::AsSqlString() const
{
    return SqlQuote(m_text);
}

QString TKRTEdit::AsSqlContains() const
{
    return SqlContains(m_text);
}

QString TKRTEdit::AsSqlStartsWith() const
{
    return SqlStartsWith(m_text);
}

QString TKRTEdit::AsSqlStringEx() const
{
    switch (m_template) {
    case tpKRTString:
    case tpKRTTime:
    case tpKRTShortTime:
        return AsSqlString();
    case tpKRTNumeric: {
        // A command-text number: "." as decimal separator, so that "1234,5" can never be
        // read as two arguments; an empty field is null.
        double v = 0;
        return KRTParseNumber(KRTRemoveThousands(m_text), &v) ? SqlFloat(v)
                                                              : QStringLiteral("null");
    }
    case tpKRTDate: {
        QDate d;
        if (!KRTCheckDate(m_text, nullptr, &d))
            return QStringLiteral("null");
        return QLatin1Char('\'') + d.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('\'');
    }
    }
    return AsSqlString();
}

// --- Keys, focus, paste -----------------------------------------------------------------

bool TKRTEdit::AcceptKey(QChar &ch) const
{
    if (m_charCase == ecKRTUpperCase)
        ch = ch.toUpper();
    else if (m_charCase == ecKRTLowerCase)
        ch = ch.toLower();
    if (m_template == tpKRTNumeric && (ch == QLatin1Char(',') || ch == QLatin1Char('.')))
        ch = QLatin1Char(',');
    const bool hasTable = !m_charsTable.isEmpty();
    if ((m_behaviours & ibExcludeCharsTab) && hasTable && m_charsTable.contains(ch))
        return false;
    const bool letter = IsAsciiLetter(ch);
    const bool digit = IsAsciiDigit(ch);
    const bool space = ch == QLatin1Char(' ');
    const bool inTable = hasTable && (m_behaviours & ibAllowCharsTab) && m_charsTable.contains(ch);
    if (!((letter || digit) && inTable)) {
        if (!(m_behaviours & ibAllowAll)) {
            if (letter && !(m_behaviours & ibAllowAlpha))
                return false;
            if (digit && !(m_behaviours & ibAllowNumeric))
                return false;
            if (space && !(m_behaviours & ibAllowSpace))
                return false;
            if (!letter && !digit && !space && !(m_behaviours & ibAllowCharsTab))
                return false;
        }
        const bool freeChar = !(m_behaviours & ibAllowCharsTab) || !hasTable || letter || digit
                              || space || m_template != tpKRTString
                              || (m_wordWrap && ch == QLatin1Char('\r'));
        if (!freeChar && !m_charsTable.contains(ch))
            return false;
    }
    // Separators may appear only as often as the template allows.
    QString rest = QLineEdit::text();
    if (hasSelectedText())
        rest.remove(selectionStart(), selectedText().length());
    switch (m_template) {
    case tpKRTNumeric:
        if ((ch == QLatin1Char(',') || ch == QLatin1Char('-')) && rest.contains(ch))
            return false;
        break;
    case tpKRTDate:
        if (ch == QLatin1Char('/') && rest.count(QLatin1Char('/')) >= 2)
            return false;
        break;
    case tpKRTTime:
        if (ch == QLatin1Char(':') && rest.count(QLatin1Char(':')) >= 2)
            return false;
        break;
    case tpKRTShortTime:
        if (ch == QLatin1Char(':') && rest.count(QLatin1Char(':')) >= 1)
            return false;
        break;
    case tpKRTString:
        break;
    }
    return true;
}

void TKRTEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        PasteChecked();
        return;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || event->key() == Qt::Key_Backspace
        || (typed.at(0).unicode() < 32 && typed.at(0) != QLatin1Char('\r'))
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar ch = typed.at(0);
    if (OnKeyPressHook) {
        OnKeyPressHook(ch);
        if (ch.isNull())
            return;
    }
    if (!AcceptKey(ch))
        return;
    if (ch != typed.at(0)) {
        QKeyEvent changed(event->type(), event->key(), event->modifiers(), QString(ch));
        QLineEdit::keyPressEvent(&changed);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TKRTEdit::OnTextEdited(const QString &shown)
{
    if (m_updating || m_text == shown)
        return;
    m_text = shown;
    m_modified = true;
    RaiseChange();
}

void TKRTEdit::RaiseChange()
{
    if (OnChangeHook)
        OnChangeHook();
}

void TKRTEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    Display(m_text);
    // Only a field entered by keyboard offers its whole text for replacing. A click, or the
    // focus given back to the field after a click on a label or an empty spot of its window,
    // selects nothing: the next key must not replace text the operator did not point at.
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason
        && reason != Qt::ShortcutFocusReason)
        return;
    QTimer::singleShot(0, this, [this] {
        if (hasFocus())
            selectAll();
    });
}

void TKRTEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    if (isReadOnly())
        return;
    const bool wasInError = CurrentColor() == m_errorColor;
    ValidateDisplayed();
    if (m_errorFlag && !m_errorMess.isEmpty() && !wasInError)
        ShowErrorBox(m_errorMess);
    if (m_errorFlag && m_ifErrFocused)
        QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

void TKRTEdit::PasteChecked()
{
    if (isReadOnly())
        return;
    QString clip = QGuiApplication::clipboard()->text();
    switch (m_template) {
    case tpKRTString:
        if ((m_behaviours & ibExcludeCharsTab) && !m_charsTable.isEmpty()) {
            for (const QChar c : m_charsTable)
                clip.remove(c);
        }
        if (m_charCase == ecKRTUpperCase)
            clip = clip.toUpper();
        else if (m_charCase == ecKRTLowerCase)
            clip = clip.toLower();
        if (!m_wordWrap)
            clip.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
        break;
    case tpKRTNumeric:
        clip = clip.trimmed();
        if (!KRTParseNumber(KRTRemoveThousands(clip), nullptr))
            return;
        break;
    case tpKRTDate:
        clip = clip.trimmed();
        if (!KRTCheckDate(clip))
            return;
        break;
    case tpKRTTime:
    case tpKRTShortTime:
        clip = clip.trimmed();
        if (!KRTCheckTime(clip, m_template == tpKRTShortTime))
            return;
        break;
    }
    insert(clip);
    OnTextEdited(QLineEdit::text());
}

void TKRTEdit::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction *a : menu->actions()) {
        if (a->objectName() == QLatin1String("edit-paste")) {
            disconnect(a, &QAction::triggered, nullptr, nullptr);
            connect(a, &QAction::triggered, this, &TKRTEdit::PasteChecked);
        }
    }
    menu->exec(event->globalPos());
}
