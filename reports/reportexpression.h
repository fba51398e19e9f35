#pragma once

// The expressions of report definitions: values of fields, formulas, conditions.
//
//   {txDescrizione}   field of the current row      {?flShowCover}  parameter
//   {@Totale}         formula                         "text", 'text', 12.5, true, false, null
//   PageNumber, TotalPages, PrintDate, PrintTime, RecordNumber
//   + - * /  & (joins texts)  = <> < > <= >=  and or not  ( )
//   if <cond> then <a> else <b>
//   functions: IIf, IsNull, Coalesce, Format, ToText, ToNumber, Left, Right, Mid, Len, Upper,
//   Lower, Trim, Replace, InStr, Round, Abs, Year, Month, Day, Sum, Count, Avg, Min, Max
//
// Values are QVariant: invalid for null, QString, double or qlonglong, bool, QDateTime or QDate.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

// A syntax fault; position is the 0-based offset in the expression text.
class EExprError : public std::runtime_error
{
public:
    EExprError(const QString &text, int position)
        : std::runtime_error(text.toStdString())
        , m_text(text)
        , m_position(position)
    {}
    QString text() const { return m_text; }
    int position() const { return m_position; }

private:
    QString m_text;
    int m_position;
};

enum class TSpecialValue { PageNumber, TotalPages, PrintDate, PrintTime, RecordNumber };

enum class TExprKind { Literal, Field, Parameter, Formula, Special, Unary, Binary, If, Call };

class TExprNode
{
public:
    TExprKind kind = TExprKind::Literal;
    QVariant literal;
    QString name; // field, parameter, formula, function (functions in lower case)
    TSpecialValue special = TSpecialValue::PageNumber;
    QString op; // unary and binary operators, in lower case
    std::vector<std::shared_ptr<const TExprNode>> args;

    // Evaluation cache of a field reference: the column found in the last data it was read from.
    mutable const void *cacheData = nullptr;
    mutable int cacheColumn = -1;
};
using TExprPtr = std::shared_ptr<const TExprNode>;

// What an expression reads while it is evaluated.
class TExprContext
{
public:
    virtual ~TExprContext() = default;
    virtual QVariant FieldValue(const TExprNode &field) = 0;
    virtual QVariant ParameterValue(const QString &name) = 0;
    virtual QVariant FormulaValue(const QString &name) = 0;
    virtual QVariant SpecialValue(TSpecialValue which) = 0;
    // Sum, Count, Avg, Min, Max over the rows of the current group or report.
    virtual QVariant AggregateValue(const TExprNode &call) = 0;
};

// Parses an expression; throws EExprError.
TExprPtr ParseExpression(const QString &text);
// A literal expression.
TExprPtr LiteralExpression(const QVariant &value);

// Evaluates; throws EExprError for a fault found while running (a function given wrong
// arguments).
QVariant EvaluateExpression(const TExprNode &node, TExprContext &context);

// Static facts about an expression (formulas are not followed).
void CollectFields(const TExprNode &node, QStringList &fields);
void CollectFormulas(const TExprNode &node, QStringList &formulas);
void CollectParameters(const TExprNode &node, QStringList &parameters);
bool UsesSpecial(const TExprNode &node, TSpecialValue which);
bool UsesAggregates(const TExprNode &node);

// Value helpers shared by the engine.
bool ValueIsTrue(const QVariant &v); // true, non-zero, "SI", "S", "YES", "TRUE", "1"
bool ValueIsNumber(const QVariant &v);
double ValueToNumber(const QVariant &v, bool *ok = nullptr); // "1.234,5" and "1234.5" both read
// Text of a value in the program formats: dates "dd/mm/yyyy" (with "hh:nn:ss" when the time is
// not midnight), whole numbers without separators, other numbers "#,##0.00", flags "SI"/"NO".
QString ValueToText(const QVariant &v);
// Text of a value with a pattern: numbers "#,##0.00", "000", "0.###", with literal text around
// ("€ #,##0.00"); dates and times "dd/mm/yyyy hh:nn:ss" (nn minutes, mmmm month name);
// flags "yes text;no text". An empty pattern gives ValueToText.
QString FormatValue(const QVariant &v, const QString &pattern);
// Compares two values (nulls first; texts ignoring case); -1, 0, 1.
int CompareValues(const QVariant &a, const QVariant &b);
