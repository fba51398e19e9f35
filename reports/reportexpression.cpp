#include "reports/reportexpression.h"

#include "common/formats.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

enum class Tok { End, Number, String, Field, Parameter, Formula, Ident, Symbol };

struct Token
{
    Tok type = Tok::End;
    QString text; // identifiers in lower case in `lower`
    QString lower;
    double number = 0;
    bool integer = false;
    int pos = 0;
};

struct FunctionInfo
{
    int minArgs;
    int maxArgs;
};

const QHash<QString, FunctionInfo> &Functions()
{
    static const QHash<QString, FunctionInfo> f = {
        {QStringLiteral("iif"), {3, 3}},       {QStringLiteral("isnull"), {1, 1}},
        {QStringLiteral("coalesce"), {1, 16}}, {QStringLiteral("format"), {2, 2}},
        {QStringLiteral("totext"), {1, 2}},    {QStringLiteral("tonumber"), {1, 1}},
        {QStringLiteral("val"), {1, 1}},       {QStringLiteral("left"), {2, 2}},
        {QStringLiteral("right"), {2, 2}},     {QStringLiteral("mid"), {2, 3}},
        {QStringLiteral("len"), {1, 1}},       {QStringLiteral("upper"), {1, 1}},
        {QStringLiteral("ucase"), {1, 1}},     {QStringLiteral("lower"), {1, 1}},
        {QStringLiteral("lcase"), {1, 1}},     {QStringLiteral("trim"), {1, 1}},
        {QStringLiteral("replace"), {3, 3}},   {QStringLiteral("instr"), {2, 2}},
        {QStringLiteral("round"), {1, 2}},     {QStringLiteral("abs"), {1, 1}},
        {QStringLiteral("year"), {1, 1}},      {QStringLiteral("month"), {1, 1}},
        {QStringLiteral("day"), {1, 1}},       {QStringLiteral("sum"), {1, 1}},
        {QStringLiteral("count"), {0, 1}},     {QStringLiteral("avg"), {1, 1}},
        {QStringLiteral("min"), {1, 1}},       {QStringLiteral("max"), {1, 1}},
    };
    return f;
}

bool IsAggregateName(const QString &name)
{
    return name == u"sum" || name == u"count" || name == u"avg" || name == u"min" || name == u"max";
}

class Lexer
{
public:
    explicit Lexer(const QString &text)
        : m_text(text)
    {
        Advance();
    }
    const Token &Peek() const { return m_tok; }
    Token Take()
    {
        Token t = m_tok;
        Advance();
        return t;
    }

private:
    void Advance();
    const QString &m_text;
    int m_pos = 0;
    Token m_tok;
};

void Lexer::Advance()
{
    const int n = m_text.size();
    while (m_pos < n && m_text.at(m_pos).isSpace())
        ++m_pos;
    Token t;
    t.pos = m_pos;
    if (m_pos >= n) {
        t.type = Tok::End;
        m_tok = t;
        return;
    }
    const QChar c = m_text.at(m_pos);
    if (c.isDigit() || (c == u'.' && m_pos + 1 < n && m_text.at(m_pos + 1).isDigit())) {
        int start = m_pos;
        bool dot = false;
        while (m_pos < n && (m_text.at(m_pos).isDigit() || (m_text.at(m_pos) == u'.' && !dot))) {
            if (m_text.at(m_pos) == u'.')
                dot = true;
            ++m_pos;
        }
        t.type = Tok::Number;
        t.text = m_text.mid(start, m_pos - start);
        t.number = t.text.toDouble();
        t.integer = !dot;
        m_tok = t;
        return;
    }
    if (c == u'"' || c == u'\'') {
        const QChar quote = c;
        ++m_pos;
        QString s;
        while (true) {
            if (m_pos >= n)
                throw EExprError(QStringLiteral("testo tra virgolette non chiuso"), t.pos);
            const QChar d = m_text.at(m_pos++);
            if (d == quote) {
                if (m_pos < n && m_text.at(m_pos) == quote) {
                    s += quote;
                    ++m_pos;
                    continue;
                }
                break;
            }
            s += d;
        }
        t.type = Tok::String;
        t.text = s;
        m_tok = t;
        return;
    }
    if (c == u'{') {
        const int close = m_text.indexOf(u'}', m_pos);
        if (close < 0)
            throw EExprError(QStringLiteral("parentesi graffa non chiusa"), t.pos);
        QString inner = m_text.mid(m_pos + 1, close - m_pos - 1).trimmed();
        m_pos = close + 1;
        if (inner.startsWith(u'?')) {
            t.type = Tok::Parameter;
            inner = inner.mid(1).trimmed();
        } else if (inner.startsWith(u'@')) {
            t.type = Tok::Formula;
            inner = inner.mid(1).trimmed();
        } else {
            t.type = Tok::Field;
            const int dot = inner.lastIndexOf(u'.');
            if (dot >= 0)
                inner = inner.mid(dot + 1).trimmed();
        }
        if (inner.isEmpty())
            throw EExprError(QStringLiteral("nome mancante tra parentesi graffe"), t.pos);
        t.text = inner;
        m_tok = t;
        return;
    }
    if (c.isLetter() || c == u'_') {
        int start = m_pos;
        while (m_pos < n && (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == u'_'))
            ++m_pos;
        t.type = Tok::Ident;
        t.text = m_text.mid(start, m_pos - start);
        t.lower = t.text.toLower();
        m_tok = t;
        return;
    }
    static const QStringList two = {QStringLiteral("<>"),
                                    QStringLiteral("<="),
                                    QStringLiteral(">="),
                                    QStringLiteral("!=")};
    const QString pair = m_text.mid(m_pos, 2);
    if (two.contains(pair)) {
        t.type = Tok::Symbol;
        t.text = pair == u"!=" ? QStringLiteral("<>") : pair;
        m_pos += 2;
        m_tok = t;
        return;
    }
    if (QStringLiteral("+-*/&=<>(),").contains(c)) {
        t.type = Tok::Symbol;
        t.text = QString(c);
        ++m_pos;
        m_tok = t;
        return;
    }
    throw EExprError(QStringLiteral("carattere non ammesso \"%1\"").arg(c), t.pos);
}

class Parser
{
public:
    explicit Parser(const QString &text)
        : m_lex(text)
    {}

    TExprPtr ParseAll()
    {
        TExprPtr e = ParseExpr();
        if (m_lex.Peek().type != Tok::End)
            throw EExprError(QStringLiteral("testo inatteso \"%1\"").arg(TokText(m_lex.Peek())),
                             m_lex.Peek().pos);
        return e;
    }

private:
    static QString TokText(const Token &t)
    {
        switch (t.type) {
        case Tok::End:
            return QStringLiteral("fine");
        case Tok::String:
            return u'"' + t.text + u'"';
        case Tok::Field:
            return u'{' + t.text + u'}';
        default:
            return t.text;
        }
    }
    bool IsSymbol(const QString &s) const
    {
        return m_lex.Peek().type == Tok::Symbol && m_lex.Peek().text == s;
    }
    bool IsWord(const QString &w) const
    {
        return m_lex.Peek().type == Tok::Ident && m_lex.Peek().lower == w;
    }
    void Expect(const QString &s)
    {
        if (!IsSymbol(s))
            throw EExprError(QStringLiteral("atteso \"%1\" invece di \"%2\"")
                                 .arg(s, TokText(m_lex.Peek())),
                             m_lex.Peek().pos);
        m_lex.Take();
    }
    static TExprPtr Binary(const QString &op, TExprPtr a, TExprPtr b)
    {
        auto n = std::make_shared<TExprNode>();
        n->kind = TExprKind::Binary;
        n->op = op;
        n->args = {std::move(a), std::move(b)};
        return n;
    }

    TExprPtr ParseExpr()
    {
        if (IsWord(QStringLiteral("if"))) {
            m_lex.Take();
            TExprPtr cond = ParseExpr();
            if (!IsWord(QStringLiteral("then")))
                throw EExprError(QStringLiteral("atteso \"then\""), m_lex.Peek().pos);
            m_lex.Take();
            TExprPtr a = ParseExpr();
            TExprPtr b = LiteralExpression(QVariant());
            if (IsWord(QStringLiteral("else"))) {
                m_lex.Take();
                b = ParseExpr();
            }
            auto n = std::make_shared<TExprNode>();
            n->kind = TExprKind::If;
            n->args = {cond, a, b};
            return n;
        }
        return ParseOr();
    }
    TExprPtr ParseOr()
    {
        TExprPtr left = ParseAnd();
        while (IsWord(QStringLiteral("or"))) {
            m_lex.Take();
            left = Binary(QStringLiteral("or"), left, ParseAnd());
        }
        return left;
    }
    TExprPtr ParseAnd()
    {
        TExprPtr left = ParseNot();
        while (IsWord(QStringLiteral("and"))) {
            m_lex.Take();
            left = Binary(QStringLiteral("and"), left, ParseNot());
        }
        return left;
    }
    TExprPtr ParseNot()
    {
        if (IsWord(QStringLiteral("not"))) {
            m_lex.Take();
            auto n = std::make_shared<TExprNode>();
            n->kind = TExprKind::Unary;
            n->op = QStringLiteral("not");
            n->args = {ParseNot()};
            return n;
        }
        return ParseCompare();
    }
    TExprPtr ParseCompare()
    {
        TExprPtr left = ParseConcat();
        static const QStringList ops = {QStringLiteral("="),
                                        QStringLiteral("<>"),
                                        QStringLiteral("<"),
                                        QStringLiteral(">"),
                                        QStringLiteral("<="),
                                        QStringLiteral(">=")};
        if (m_lex.Peek().type == Tok::Symbol && ops.contains(m_lex.Peek().text)) {
            const QString op = m_lex.Take().text;
            left = Binary(op, left, ParseConcat());
        }
        return left;
    }
    TExprPtr ParseConcat()
    {
        TExprPtr left = ParseAdd();
        while (IsSymbol(QStringLiteral("&"))) {
            m_lex.Take();
            left = Binary(QStringLiteral("&"), left, ParseAdd());
        }
        return left;
    }
    TExprPtr ParseAdd()
    {
        TExprPtr left = ParseMul();
        while (IsSymbol(QStringLiteral("+")) || IsSymbol(QStringLiteral("-"))) {
            const QString op = m_lex.Take().text;
            left = Binary(op, left, ParseMul());
        }
        return left;
    }
    TExprPtr ParseMul()
    {
        TExprPtr left = ParseUnary();
        while (IsSymbol(QStringLiteral("*")) || IsSymbol(QStringLiteral("/"))) {
            const QString op = m_lex.Take().text;
            left = Binary(op, left, ParseUnary());
        }
        return left;
    }
    TExprPtr ParseUnary()
    {
        if (IsSymbol(QStringLiteral("-"))) {
            m_lex.Take();
            auto n = std::make_shared<TExprNode>();
            n->kind = TExprKind::Unary;
            n->op = QStringLiteral("-");
            n->args = {ParseUnary()};
            return n;
        }
        if (IsSymbol(QStringLiteral("+"))) {
            m_lex.Take();
            return ParseUnary();
        }
        return ParsePrimary();
    }
    TExprPtr ParsePrimary()
    {
        const Token t = m_lex.Take();
        auto n = std::make_shared<TExprNode>();
        switch (t.type) {
        case Tok::Number:
            n->kind = TExprKind::Literal;
            if (t.integer && t.number < 9e15)
                n->literal = QVariant(qlonglong(t.number));
            else
                n->literal = QVariant(t.number);
            return n;
        case Tok::String:
            n->kind = TExprKind::Literal;
            n->literal = QVariant(t.text);
            return n;
        case Tok::Field:
            n->kind = TExprKind::Field;
            n->name = t.text;
            return n;
        case Tok::Parameter:
            n->kind = TExprKind::Parameter;
            n->name = t.text;
            return n;
        case Tok::Formula:
            n->kind = TExprKind::Formula;
            n->name = t.text;
            return n;
        case Tok::Symbol:
            if (t.text == u"(") {
                TExprPtr inner = ParseExpr();
                Expect(QStringLiteral(")"));
                return inner;
            }
            break;
        case Tok::Ident: {
            if (t.lower == u"true" || t.lower == u"false") {
                n->kind = TExprKind::Literal;
                n->literal = QVariant(t.lower == u"true");
                return n;
            }
            if (t.lower == u"null") {
                n->kind = TExprKind::Literal;
                return n;
            }
            static const QHash<QString, TSpecialValue> specials
                = {{QStringLiteral("pagenumber"), TSpecialValue::PageNumber},
                   {QStringLiteral("totalpages"), TSpecialValue::TotalPages},
                   {QStringLiteral("totalpagecount"), TSpecialValue::TotalPages},
                   {QStringLiteral("printdate"), TSpecialValue::PrintDate},
                   {QStringLiteral("printtime"), TSpecialValue::PrintTime},
                   {QStringLiteral("recordnumber"), TSpecialValue::RecordNumber}};
            if (IsSymbol(QStringLiteral("("))) {
                const auto fit = Functions().constFind(t.lower);
                if (fit == Functions().constEnd())
                    throw EExprError(QStringLiteral("funzione sconosciuta \"%1\"").arg(t.text),
                                     t.pos);
                m_lex.Take();
                n->kind = TExprKind::Call;
                n->name = t.lower;
                if (!IsSymbol(QStringLiteral(")"))) {
                    n->args.push_back(ParseExpr());
                    while (IsSymbol(QStringLiteral(","))) {
                        m_lex.Take();
                        n->args.push_back(ParseExpr());
                    }
                }
                Expect(QStringLiteral(")"));
                const int count = int(n->args.size());
                if (count < fit->minArgs || count > fit->maxArgs)
                    throw EExprError(QStringLiteral("numero di argomenti errato per \"%1\"")
                                         .arg(t.text),
                                     t.pos);
                return n;
            }
            const auto sit = specials.constFind(t.lower);
            if (sit != specials.constEnd()) {
                n->kind = TExprKind::Special;
                n->special = *sit;
                return n;
            }
            throw EExprError(QStringLiteral("nome sconosciuto \"%1\" (i campi si scrivono tra "
                                            "parentesi graffe: {%1})")
                                 .arg(t.text),
                             t.pos);
        }
        case Tok::End:
            throw EExprError(QStringLiteral("espressione incompleta"), t.pos);
        default:
            break;
        }
        throw EExprError(QStringLiteral("testo inatteso \"%1\"").arg(TokText(t)), t.pos);
    }

    Lexer m_lex;
};

bool IsIntegerVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool IsDateVariant(const QVariant &v)
{
    return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate;
}

QDateTime ToDateTime(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        const QDate d = ParseDateText(s.left(10));
        if (d.isValid()) {
            QTime t(0, 0);
            if (s.size() > 10)
                t = QTime::fromString(s.mid(10).trimmed(), QStringLiteral("hh:mm:ss"));
            return QDateTime(d, t.isValid() ? t : QTime(0, 0));
        }
        return QDateTime::fromString(s, Qt::ISODate);
    }
    return QDateTime();
}

// Delphi-style date pattern to a Qt one: nn minutes, m months (minutes right after h).
QString QtDatePattern(const QString &p)
{
    QString out;
    QString literal;
    auto flushLiteral = [&]() {
        if (!literal.isEmpty()) {
            out += u'\'' + QString(literal).replace(u'\'', QStringLiteral("''")) + u'\'';
            literal.clear();
        }
    };
    bool lastWasHour = false;
    int i = 0;
    const int n = p.size();
    while (i < n) {
        const QChar c = p.at(i).toLower();
        int run = 1;
        while (i + run < n && p.at(i + run).toLower() == c)
            ++run;
        if (p.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            flushLiteral();
            out += QLatin1String("AP");
            i += 5;
            continue;
        }
        if (c == u'y') {
            flushLiteral();
            out += run >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
            lastWasHour = false;
        } else if (c == u'm') {
            flushLiteral();
            if (lastWasHour && run <= 2)
                out += QString(run, u'm');
            else
                out += QString(qMin(run, 4), u'M');
            lastWasHour = false;
        } else if (c == u'd') {
            flushLiteral();
            out += QString(qMin(run, 4), u'd');
            lastWasHour = false;
        } else if (c == u'h') {
            flushLiteral();
            out += QString(qMin(run, 2), u'h');
            lastWasHour = true;
        } else if (c == u'n') {
            flushLiteral();
            out += QString(qMin(run, 2), u'm');
            lastWasHour = false;
        } else if (c == u's') {
            flushLiteral();
            out += QString(qMin(run, 2), u's');
            lastWasHour = false;
        } else if (c == u'z') {
            flushLiteral();
            out += QStringLiteral("zzz");
            lastWasHour = false;
        } else {
            literal += p.mid(i, run);
            if (c != u':' && c != u' ')
                lastWasHour = false;
        }
        i += run;
    }
    flushLiteral();
    return out;
}

QString FormatNumberPattern(double x, const QString &pattern)
{
    // The numeric part: the first run of # 0 , . characters.
    int start = -1;
    int end = -1;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const bool numeric = c == u'#' || c == u'0' || c == u',' || c == u'.';
        if (numeric && start < 0)
            start = i;
        if (!numeric && start >= 0) {
            end = i;
            break;
        }
    }
    if (start < 0)
        return pattern;
    if (end < 0)
        end = pattern.size();
    const QString prefix = pattern.left(start);
    const QString suffix = pattern.mid(end);
    const QString num = pattern.mid(start, end - start);
    const int dot = num.indexOf(u'.');
    const QString intPart = dot >= 0 ? num.left(dot) : num;
    const QString decPart = dot >= 0 ? num.mid(dot + 1) : QString();
    const bool thousands = intPart.contains(u',');
    const int minInt = int(intPart.count(u'0'));
    const int minDec = int(decPart.count(u'0'));
    const int maxDec = int(decPart.count(u'0') + decPart.count(u'#'));

    const double rounded = RoundDecimals(maxDec, x);
    const bool negative = rounded < 0;
    QString digits = QString::number(std::fabs(rounded), 'f', maxDec);
    QString ip = digits;
    QString dp;
    const int d = digits.indexOf(u'.');
    if (d >= 0) {
        ip = digits.left(d);
        dp = digits.mid(d + 1);
    }
    while (dp.size() > minDec && dp.endsWith(u'0'))
        dp.chop(1);
    if (ip == u"0" && minInt == 0)
        ip.clear();
    while (ip.size() < minInt)
        ip.prepend(u'0');
    if (thousands && ip.size() > 3) {
        QString grouped;
        int count = 0;
        for (int i = int(ip.size()) - 1; i >= 0; --i) {
            grouped.prepend(ip.at(i));
            if (++count % 3 == 0 && i > 0)
                grouped.prepend(u'.');
        }
        ip = grouped;
    }
    QString out = ip;
    if (!dp.isEmpty())
        out += u',' + dp;
    if (out.isEmpty())
        out = QStringLiteral("0");
    const bool allZero = std::none_of(out.begin(), out.end(), [](QChar c) {
        return c >= u'1' && c <= u'9';
    });
    if (negative && !allZero)
        out.prepend(u'-');
    return prefix + out + suffix;
}

QVariant Arith(const QString &op, const QVariant &a, const QVariant &b)
{
    if (op == u"+" && (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString))
        return QVariant(ValueToText(a) + ValueToText(b));
    if (!a.isValid() || !b.isValid())
        return QVariant();
    if (IsDateVariant(a) && ValueIsNumber(b) && (op == u"+" || op == u"-")) {
        const double days = ValueToNumber(b) * (op == u"+" ? 1 : -1);
        const QDateTime dt = ToDateTime(a).addMSecs(qint64(days * 86400000.0));
        return a.typeId() == QMetaType::QDate ? QVariant(dt.date()) : QVariant(dt);
    }
    if (IsDateVariant(a) && IsDateVariant(b) && op == u"-")
        return QVariant(ToDateTime(b).msecsTo(ToDateTime(a)) / 86400000.0);
    bool okA = false;
    bool okB = false;
    const double x = ValueToNumber(a, &okA);
    const double y = ValueToNumber(b, &okB);
    if (!okA || !okB)
        return QVariant();
    const bool integers = IsIntegerVariant(a) && IsIntegerVariant(b);
    if (op == u"+")
        return integers ? QVariant(a.toLongLong() + b.toLongLong()) : QVariant(x + y);
    if (op == u"-")
        return integers ? QVariant(a.toLongLong() - b.toLongLong()) : QVariant(x - y);
    if (op == u"*")
        return integers ? QVariant(a.toLongLong() * b.toLongLong()) : QVariant(x * y);
    if (op == u"/")
        return y == 0 ? QVariant() : QVariant(x / y);
    return QVariant();
}

QString Arg(const TExprNode &n, int i, TExprContext &ctx)
{
    return ValueToText(EvaluateExpression(*n.args[size_t(i)], ctx));
}

QVariant CallFunction(const TExprNode &n, TExprContext &ctx)
{
    const QString &f = n.name;
    if (IsAggregateName(f))
        return ctx.AggregateValue(n);
    auto value = [&](int i) { return EvaluateExpression(*n.args[size_t(i)], ctx); };
    auto integer = [&](int i) { return int(ValueToNumber(value(i))); };
    if (f == u"iif")
        return ValueIsTrue(value(0)) ? value(1) : value(2);
    if (f == u"isnull")
        return QVariant(!value(0).isValid());
    if (f == u"coalesce") {
        for (int i = 0; i < int(n.args.size()); ++i) {
            const QVariant v = value(i);
            if (v.isValid())
                return v;
        }
        return QVariant();
    }
    if (f == u"format")
        return QVariant(FormatValue(value(0), Arg(n, 1, ctx)));
    if (f == u"totext") {
        const QVariant v = value(0);
        if (n.args.size() == 2 && ValueIsNumber(v)) {
            const int decimals = qMax(0, integer(1));
            QString pattern = QStringLiteral("#,##0");
            if (decimals > 0)
                pattern += u'.' + QString(decimals, u'0');
            return QVariant(FormatValue(v, pattern));
        }
        return QVariant(ValueToText(v));
    }
    if (f == u"tonumber" || f == u"val")
        return QVariant(ValueToNumber(value(0)));
    if (f == u"left")
        return QVariant(Arg(n, 0, ctx).left(qMax(0, integer(1))));
    if (f == u"right")
        return QVariant(Arg(n, 0, ctx).right(qMax(0, integer(1))));
    if (f == u"mid") {
        const QString s = Arg(n, 0, ctx);
        const int start = qMax(1, integer(1)) - 1;
        return QVariant(n.args.size() == 3 ? s.mid(start, qMax(0, integer(2))) : s.mid(start));
    }
    if (f == u"len")
        return QVariant(qlonglong(Arg(n, 0, ctx).size()));
    if (f == u"upper" || f == u"ucase")
        return QVariant(Arg(n, 0, ctx).toUpper());
    if (f == u"lower" || f == u"lcase")
        return QVariant(Arg(n, 0, ctx).toLower());
    if (f == u"trim")
        return QVariant(Arg(n, 0, ctx).trimmed());
    if (f == u"replace") {
        QString s = Arg(n, 0, ctx);
        const QString what = Arg(n, 1, ctx);
        if (what.isEmpty())
            return QVariant(s);
        return QVariant(s.replace(what, Arg(n, 2, ctx)));
    }
    if (f == u"instr")
        return QVariant(qlonglong(Arg(n, 0, ctx).indexOf(Arg(n, 1, ctx)) + 1));
    if (f == u"round") {
        const QVariant v = value(0);
        if (!v.isValid())
            return v;
        return QVariant(RoundDecimals(n.args.size() == 2 ? integer(1) : 0, ValueToNumber(v)));
    }
    if (f == u"abs") {
        const QVariant v = value(0);
        if (!v.isValid())
            return v;
        if (IsIntegerVariant(v))
            return QVariant(qAbs(v.toLongLong()));
        return QVariant(std::fabs(ValueToNumber(v)));
    }
    if (f == u"year" || f == u"month" || f == u"day") {
        const QDateTime dt = ToDateTime(value(0));
        if (!dt.isValid())
            return QVariant();
        const QDate d = dt.date();
        return QVariant(qlonglong(f == u"year" ? d.year() : f == u"month" ? d.month() : d.day()));
    }
    throw EExprError(QStringLiteral("funzione sconosciuta \"%1\"").arg(f), 0);
}

} // namespace

TExprPtr ParseExpression(const QString &text)
{
    Parser p(text);
    return p.ParseAll();
}

TExprPtr LiteralExpression(const QVariant &value)
{
    auto n = std::make_shared<TExprNode>();
    n->kind = TExprKind::Literal;
    n->literal = value;
    return n;
}

QVariant EvaluateExpression(const TExprNode &node, TExprContext &ctx)
{
    switch (node.kind) {
    case TExprKind::Literal:
        return node.literal;
    case TExprKind::Field:
        return ctx.FieldValue(node);
    case TExprKind::Parameter:
        return ctx.ParameterValue(node.name);
    case TExprKind::Formula:
        return ctx.FormulaValue(node.name);
    case TExprKind::Special:
        return ctx.SpecialValue(node.special);
    case TExprKind::Unary: {
        const QVariant v = EvaluateExpression(*node.args[0], ctx);
        if (node.op == u"not")
            return QVariant(!ValueIsTrue(v));
        if (!v.isValid())
            return v;
        if (IsIntegerVariant(v))
            return QVariant(-v.toLongLong());
        return QVariant(-ValueToNumber(v));
    }
    case TExprKind::Binary: {
        const QString &op = node.op;
        if (op == u"and") {
            if (!ValueIsTrue(EvaluateExpression(*node.args[0], ctx)))
                return QVariant(false);
            return QVariant(ValueIsTrue(EvaluateExpression(*node.args[1], ctx)));
        }
        if (op == u"or") {
            if (ValueIsTrue(EvaluateExpression(*node.args[0], ctx)))
                return QVariant(true);
            return QVariant(ValueIsTrue(EvaluateExpression(*node.args[1], ctx)));
        }
        const QVariant a = EvaluateExpression(*node.args[0], ctx);
        const QVariant b = EvaluateExpression(*node.args[1], ctx);
        if (op == u"&")
            return QVariant(ValueToText(a) + ValueToText(b));
        if (op == u"=" || op == u"<>" || op == u"<" || op == u">" || op == u"<=" || op == u">=") {
            if (!a.isValid() || !b.isValid()) {
                // Null equals only null.
                const bool same = !a.isValid() && !b.isValid();
                if (op == u"=")
                    return QVariant(same);
                if (op == u"<>")
                    return QVariant(!same);
                return QVariant(false);
            }
            int c = 0;
            if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
                c = int(ValueIsTrue(a)) - int(ValueIsTrue(b));
            else
                c = CompareValues(a, b);
            if (op == u"=")
                return QVariant(c == 0);
            if (op == u"<>")
                return QVariant(c != 0);
            if (op == u"<")
                return QVariant(c < 0);
            if (op == u">")
                return QVariant(c > 0);
            if (op == u"<=")
                return QVariant(c <= 0);
            return QVariant(c >= 0);
        }
        return Arith(op, a, b);
    }
    case TExprKind::If:
        if (ValueIsTrue(EvaluateExpression(*node.args[0], ctx)))
            return EvaluateExpression(*node.args[1], ctx);
        return EvaluateExpression(*node.args[2], ctx);
    case TExprKind::Call:
        return CallFunction(node, ctx);
    }
    return QVariant();
}

void CollectFields(const TExprNode &node, QStringList &fields)
{
    if (node.kind == TExprKind::Field && !fields.contains(node.name, Qt::CaseInsensitive))
        fields << node.name;
    for (const auto &a : node.args)
        CollectFields(*a, fields);
}

void CollectFormulas(const TExprNode &node, QStringList &formulas)
{
    if (node.kind == TExprKind::Formula && !formulas.contains(node.name, Qt::CaseInsensitive))
        formulas << node.name;
    for (const auto &a : node.args)
        CollectFormulas(*a, formulas);
}

void CollectParameters(const TExprNode &node, QStringList &parameters)
{
    if (node.kind == TExprKind::Parameter && !parameters.contains(node.name, Qt::CaseInsensitive))
        parameters << node.name;
    for (const auto &a : node.args)
        CollectParameters(*a, parameters);
}

bool UsesSpecial(const TExprNode &node, TSpecialValue which)
{
    if (node.kind == TExprKind::Special && node.special == which)
        return true;
    for (const auto &a : node.args) {
        if (UsesSpecial(*a, which))
            return true;
    }
    return false;
}

bool UsesAggregates(const TExprNode &node)
{
    if (node.kind == TExprKind::Call && IsAggregateName(node.name))
        return true;
    for (const auto &a : node.args) {
        if (UsesAggregates(*a))
            return true;
    }
    return false;
}

bool ValueIsTrue(const QVariant &v)
{
    if (!v.isValid())
        return false;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed().toUpper();
        return s == u"SI" || s == u"S" || s == u"YES" || s == u"Y" || s == u"TRUE" || s == u"1"
               || s == u"T";
    }
    default:
        if (ValueIsNumber(v))
            return ValueToNumber(v) != 0;
        return false;
    }
}

bool ValueIsNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

double ValueToNumber(const QVariant &v, bool *ok)
{
    if (ok)
        *ok = true;
    if (ValueIsNumber(v))
        return v.toDouble();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (v.typeId() == QMetaType::QString) {
        QString s = v.toString().trimmed();
        bool good = false;
        double x = s.toDouble(&good);
        if (!good && !s.isEmpty()) {
            // Program format: "." thousands, "," decimals.
            QString t = s;
            t.remove(u'.');
            t.replace(u',', u'.');
            x = t.toDouble(&good);
        }
        if (good)
            return x;
    }
    if (ok)
        *ok = false;
    return 0;
}

QString ValueToText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("SI") : QStringLiteral("NO");
    case QMetaType::QDate:
        return DateToText(v.toDate());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return DateToText(dt.date());
        return DateToText(dt.date()) + u' ' + TimeToText(dt.time());
    }
    case QMetaType::QTime:
        return TimeToText(v.toTime());
    case QMetaType::QByteArray:
        return QString();
    default:
        break;
    }
    if (IsIntegerVariant(v))
        return QString::number(v.toLongLong());
    if (ValueIsNumber(v)) {
        const double x = v.toDouble();
        if (!std::isfinite(x))
            return QString();
        return FormatNumber(2, x);
    }
    return v.toString();
}

QString FormatValue(const QVariant &v, const QString &pattern)
{
    if (pattern.isEmpty())
        return ValueToText(v);
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Bool) {
        const QStringList parts = pattern.split(u';');
        if (parts.size() >= 2)
            return v.toBool() ? parts.at(0) : parts.at(1);
        return ValueToText(v);
    }
    if (IsDateVariant(v) || v.typeId() == QMetaType::QTime) {
        const QLocale it(QLocale::Italian, QLocale::Italy);
        if (v.typeId() == QMetaType::QTime)
            return it.toString(v.toTime(), QtDatePattern(pattern));
        return it.toString(ToDateTime(v), QtDatePattern(pattern));
    }
    const bool numericPattern = pattern.contains(u'0') || pattern.contains(u'#');
    if (ValueIsNumber(v) && numericPattern)
        return FormatNumberPattern(v.toDouble(), pattern);
    if (v.typeId() == QMetaType::QString && numericPattern) {
        bool ok = false;
        const double x = ValueToNumber(v, &ok);
        if (ok)
            return FormatNumberPattern(x, pattern);
        const QDateTime dt = ToDateTime(v);
        if (dt.isValid())
            return QLocale(QLocale::Italian).toString(dt, QtDatePattern(pattern));
    }
    if (v.typeId() == QMetaType::QString) {
        const QDateTime dt = ToDateTime(v);
        if (dt.isValid() && !numericPattern)
            return QLocale(QLocale::Italian).toString(dt, QtDatePattern(pattern));
    }
    return ValueToText(v);
}

int CompareValues(const QVariant &a, const QVariant &b)
{
    const bool na = !a.isValid() || a.isNull();
    const bool nb = !b.isValid() || b.isNull();
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    if (ValueIsNumber(a) && ValueIsNumber(b)) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (IsDateVariant(a) || IsDateVariant(b)) {
        const QDateTime x = ToDateTime(a);
        const QDateTime y = ToDateTime(b);
        if (x.isValid() && y.isValid())
            return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ValueIsNumber(a) || ValueIsNumber(b)) {
        bool okA = false;
        bool okB = false;
        const double x = ValueToNumber(a, &okA);
        const double y = ValueToNumber(b, &okB);
        if (okA && okB)
            return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return int(ValueIsTrue(a)) - int(ValueIsTrue(b));
    const int c = QString::compare(ValueToText(a), ValueToText(b), Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
