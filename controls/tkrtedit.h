#pragma once

// The validating single-line edit of the labelled edit field: it knows the kind of value it
// holds (its template), filters keys as they are typed, and when it is left checks and
// normalises the value, marking an invalid one with the error colour.

#include "controls/tkrteditrules.h"

#include <QColor>
#include <QDate>
#include <QLineEdit>
#include <QTime>

#include <functional>
#include <stdexcept>

enum TKRTInputBehaviour {
    ibAllowAll = 0x01,
    ibAllowAlpha = 0x02,
    ibAllowSpace = 0x04,
    ibAllowNumeric = 0x08,
    ibAllowCharsTab = 0x10,
    ibExcludeCharsTab = 0x20
};
using TKRTInputBehaviours = int; // set of TKRTInputBehaviour

enum TKRTCharCase { ecKRTNormal, ecKRTUpperCase, ecKRTLowerCase };

// A value read as a number or date that is not one ("AsFloat" of an empty field, "AsInteger" of
// a number with decimals). The text is Italian and meant for the operator.
class EKRTConvertError : public std::runtime_error
{
public:
    explicit EKRTConvertError(const QString &text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

class TKRTEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TKRTEdit(QWidget *parent = nullptr);

    TKRTTemplate Template() const { return m_template; }
    void SetTemplate(TKRTTemplate t);

    // The stored value (numbers without thousands separators); distinct from what is shown.
    QString Text() const { return m_text; }
    void SetText(const QString &text);

    bool AllowNothing() const { return m_allowNothing; }
    void SetAllowNothing(bool on) { m_allowNothing = on; }
    QString CharactersTable() const { return m_charsTable; }
    void SetCharactersTable(const QString &table) { m_charsTable = table.trimmed(); }
    TKRTInputBehaviours InputBehaviours() const { return m_behaviours; }
    void SetInputBehaviours(TKRTInputBehaviours b) { m_behaviours = b; }
    TKRTCharCase CharCase() const { return m_charCase; }
    void SetCharCase(TKRTCharCase c);

    QColor Color() const { return m_color; }
    void SetColor(const QColor &c);
    QColor ErrorColor() const { return m_errorColor; }
    void SetErrorColor(const QColor &c);
    bool ErrorFlag() const { return m_errorFlag; }
    void SetErrorFlag(bool on);
    QString ErrorMess() const { return m_errorMess; }
    void SetErrorMess(const QString &m) { m_errorMess = m; }
    bool IfErrFocused() const { return m_ifErrFocused; }
    void SetIfErrFocused(bool on) { m_ifErrFocused = on; }

    int Decimals() const { return m_decimals; }
    void SetDecimals(int d);
    bool NumericFormatted() const { return m_numericFormatted; }
    void SetNumericFormatted(bool on);
    QString MinValue() const { return m_minValue; }
    void SetMinValue(const QString &v);
    QString MaxValue() const { return m_maxValue; }
    void SetMaxValue(const QString &v);
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int n);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on) { m_wordWrap = on; }
    QString TagString() const { return m_tagString; }
    void SetTagString(const QString &s) { m_tagString = s; }

    // Typed access. Reading validates first; AsFloat and AsInteger raise EKRTConvertError for
    // an empty field or (AsInteger) a value with decimals. AsDate of an empty or invalid
    // field is an invalid date.
    double AsFloat();
    qint64 AsInteger();
    QDate AsDate();
    QTime AsTime() const;
    void SetAsFloat(double v);
    void SetAsInteger(qint64 v);
    void SetAsDate(const QDate &d);
    void SetAsTime(const QTime &t);

    bool IsEmpty() const;
    bool IsNumeric();
    static double ConvertEditTextAsFloat(const QString &text);
    void ClearField();
    QString AsSqlString() const;
    QString AsSqlStringEx() const;
    // Filter patterns of the text: '%text%' ("contiene") and 'text%' ("inizia con"), inner
    // apostrophes doubled; null when the field is empty.
    QString AsSqlContains() const;
    QString AsSqlStartsWith() const;
    int LengthText() const { return int(m_text.length()); }
    bool Modified() const { return m_modified; }
    void SetModified(bool on) { m_modified = on; }

    // Validates the shown text as when the field is left.
    void ValidateDisplayed();
    // The background colour now in use.
    QColor CurrentColor() const;

    // Raised for each typed character before the key filter; clearing the key swallows it.
    std::function<void(QChar &key)> OnKeyPressHook;
    // Raised after every change of the value by typing or by a write of the value.
    std::function<void()> OnChangeHook;

    // Pastes the clipboard under the template's rules.
    void PasteChecked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void Validate(const QString &input);
    void ValidateText(const QString &input);
    void ValidateNumber(const QString &input);
    void ValidateDate(const QString &input);
    void ValidateTime(const QString &input, bool shortTime);
    void Display(const QString &shown);
    void ApplyColor();
    bool AcceptKey(QChar &ch) const;
    bool InRange(const QString &normalised) const;
    QString NormaliseBound(const QString &v, bool *ok) const;
    QString StartValue() const;
    void OnTextEdited(const QString &shown);
    void RaiseChange();

    TKRTTemplate m_template = tpKRTString;
    QString m_text;
    bool m_allowNothing = false;
    QString m_charsTable;
    TKRTInputBehaviours m_behaviours = ibAllowAll;
    TKRTCharCase m_charCase = ecKRTNormal;
    QColor m_color;
    QColor m_errorColor;
    bool m_errorFlag = false;
    QString m_errorMess;
    bool m_ifErrFocused = false;
    int m_decimals = 2;
    bool m_numericFormatted = true;
    QString m_minValue;
    QString m_maxValue;
    int m_maxLength = 0;
    bool m_wordWrap = false;
    QString m_tagString;
    bool m_modified = false;
    bool m_updating = false;
};
