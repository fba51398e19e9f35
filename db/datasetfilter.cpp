#include "db/datasetfilter.h"

#include "db/datastore.h"
#include "db/fieldvalue.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

namespace {

enum class TokKind { End, Ident, String, Number, Date, LParen, RParen, Comma, Op };

struct Token
{
    TokKind kind = TokKind::End;
    QString text; // identifier, string contents, number text, date text, operator
    int pos = 0;
};

enum class CmpOp { Eq, Ne, Lt, Gt, Le, Ge };

enum class LikeKind { All, Exact, Prefix, Suffix, Contains, General };

bool IsWildMany(QChar c)
{
    return c == QLatin1Char('%') || c == QLatin1Char('*');
}

bool IsWildOne(QChar c)
{
    return c == QLatin1Char('_') || c == QLatin1Char('?');
}

// Glob match of a case-folded value against a case-folded pattern.
bool GlobMatch(QStringView s, QStringView p)
{
    qsizetype si = 0, pi = 0, star = -1, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (IsWildOne(p[pi]) || p[pi] == s[si])) {
            ++si;
            ++pi;
        } else if (pi < p.size() && IsWildMany(p[pi])) {
            star = pi++;
            mark = si;
        } else if (star >= 0) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && IsWildMany(p[pi]))
        ++pi;
    return pi == p.size();
}

int WordCount(int n)
{
    return (n + 63) / 64;
}

// 64 bytes of 0/1 to 64 bits: each group of 8 bytes is packed by one multiplication (the
// products of distinct bytes land on distinct bits, so nothing carries).
quint64 PackBytes(const quint8 *bytes)
{
    quint64 word = 0;
    for (int k = 0; k < 8; ++k) {
        quint64 x;
        std::memcpy(&x, bytes + 8 * k, 8);
        word |= ((x * 0x0102040810204080ULL) >> 56) << (8 * k);
    }
    return word;
}

// How a leaf treats nulls: a comparison holds only for non-null values; the null tests look at
// the null flags alone.
enum class NullRule { NonNullAnd, IsNull, NotNull };

// Whether candidate row p satisfies a leaf.
template<class Pred>
bool TestRow(int p, Pred pred, const quint8 *nulls, NullRule rule)
{
    switch (rule) {
    case NullRule::IsNull:
        return nulls[p] != 0;
    case NullRule::NotNull:
        return nulls[p] == 0;
    default:
        return nulls[p] == 0 && pred(p);
    }
}

// Sets bit i of out for each candidate i whose physical row satisfies the leaf. Over whole
// words of rows 0..n-1 the value test goes to a byte buffer (no dependency from one row to the
// next) and the null flags are packed straight from the column.
template<class Pred>
void FillBits(const int *cand, int n, quint64 *out, Pred pred, const quint8 *nulls, NullRule rule)
{
    const int words = WordCount(n);
    alignas(64) quint8 bytes[64];
    for (int w = 0; w < words; ++w) {
        const int base = w * 64;
        const int lim = std::min(64, n - base);
        if (lim == 64 && !cand) {
            const quint64 nullBits = PackBytes(nulls + base);
            if (rule == NullRule::IsNull) {
                out[w] = nullBits;
            } else if (rule == NullRule::NotNull) {
                out[w] = ~nullBits;
            } else {
                for (int j = 0; j < 64; ++j)
                    bytes[j] = pred(base + j) ? 1 : 0;
                out[w] = PackBytes(bytes) & ~nullBits;
            }
            continue;
        }
        std::memset(bytes, 0, sizeof bytes);
        for (int j = 0; j < lim; ++j)
            bytes[j] = TestRow(cand ? cand[base + j] : base + j, pred, nulls, rule) ? 1 : 0;
        out[w] = PackBytes(bytes);
    }
}

// Clears the bits of out whose candidate row does not satisfy the leaf, testing set bits only.
template<class Pred>
void RefineBits(const int *cand, int n, quint64 *out, Pred pred, const quint8 *nulls, NullRule rule)
{
    const int words = WordCount(n);
    for (int w = 0; w < words; ++w) {
        quint64 word = out[w];
        quint64 scan = word;
        while (scan) {
            const int j = std::countr_zero(scan);
            const int i = w * 64 + j;
            if (!TestRow(cand ? cand[i] : i, pred, nulls, rule))
                word &= ~(quint64(1) << j);
            scan &= scan - 1;
        }
        out[w] = word;
    }
}

int CountBits(const quint64 *bits, int words)
{
    int count = 0;
    for (int w = 0; w < words; ++w)
        count += std::popcount(bits[w]);
    return count;
}

template<class F>
void WithOp(CmpOp op, F f)
{
    switch (op) {
    case CmpOp::Eq:
        f(std::equal_to<>());
        break;
    case CmpOp::Ne:
        f(std::not_equal_to<>());
        break;
    case CmpOp::Lt:
        f(std::less<>());
        break;
    case CmpOp::Gt:
        f(std::greater<>());
        break;
    case CmpOp::Le:
        f(std::less_equal<>());
        break;
    case CmpOp::Ge:
        f(std::greater_equal<>());
        break;
    }
}

} // namespace

struct TDataSetFilter::Node
{
    enum class Kind { And, Or, Not, Compare, IsNull, NotNull, Like } kind = Kind::Compare;
    std::unique_ptr<Node> a, b;
    int column = -1;
    TFieldType type = TFieldType::Text;
    CmpOp op = CmpOp::Eq;
    // Literal, converted to the column's type.
    QString text;
    qint64 i = 0;
    double r = 0;
    bool useReal = false; // Integer column compared with a non-integral number
    LikeKind like = LikeKind::Exact;

    // Bit i of out: candidate i satisfies the node.
    void Eval(const TDataStore &store, const int *cand, int n, quint64 *out) const;
    // Clears the bits of out whose candidate does not satisfy the node (AND with it).
    void Refine(const TDataStore &store, const int *cand, int n, quint64 *out) const;
    bool LikeMatches(const QString &value) const;
    // Calls f(pred, nulls, rule) for a comparison or null test: pred tests the value of a
    // physical row, rule says how the row's null flag counts.
    template<class F>
    void WithPredicate(const TDataStore &store, F f) const;
};

namespace {

class Parser
{
public:
    Parser(const QString &expr, const std::vector<TFieldDef> &defs)
        : m_expr(expr)
        , m_defs(defs)
    {
        Tokenize();
    }

    std::unique_ptr<TDataSetFilter::Node> Parse()
    {
        auto n = ParseOr();
        if (Peek().kind != TokKind::End)
            Fail(QStringLiteral("testo inatteso \"%1\"").arg(Peek().text));
        return n;
    }

private:
    using Node = TDataSetFilter::Node;

    [[noreturn]] void Fail(const QString &why) const
    {
        throw EDataSetError(QStringLiteral("Filtro non valido \"%1\": %2.").arg(m_expr, why));
    }

    const Token &Peek() const { return m_tokens[size_t(m_pos)]; }
    Token Take() { return m_tokens[size_t(m_pos++)]; }
    bool IsWord(const Token &t, const char *w) const
    {
        return t.kind == TokKind::Ident
               && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    bool AcceptWord(const char *w)
    {
        if (IsWord(Peek(), w)) {
            ++m_pos;
            return true;
        }
        return false;
    }

    void Tokenize()
    {
        const QString &s = m_expr;
        qsizetype i = 0;
        auto operandExpected = [this]() {
            if (m_tokens.empty())
                return true;
            const Token &t = m_tokens.back();
            return t.kind == TokKind::Op || t.kind == TokKind::LParen || t.kind == TokKind::Comma
                   || (t.kind == TokKind::Ident
                       && (IsWord(t, "AND") || IsWord(t, "OR") || IsWord(t, "NOT")
                           || IsWord(t, "LIKE")));
        };
        while (i < s.size()) {
            const QChar c = s[i];
            if (c.isSpace()) {
                ++i;
                continue;
            }
            Token t;
            t.pos = int(i);
            if (c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',')) {
                t.kind = c == QLatin1Char('(')
                             ? TokKind::LParen
                             : (c == QLatin1Char(')') ? TokKind::RParen : TokKind::Comma);
                t.text = c;
                ++i;
            } else if (c == QLatin1Char('\'')) {
                t.kind = TokKind::String;
                ++i;
                bool closed = false;
                while (i < s.size()) {
                    if (s[i] == QLatin1Char('\'')) {
                        if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\'')) {
                            t.text += QLatin1Char('\'');
                            i += 2;
                            continue;
                        }
                        closed = true;
                        ++i;
                        break;
                    }
                    t.text += s[i++];
                }
                if (!closed)
                    Fail(QStringLiteral("apice di chiusura mancante"));
            } else if (c == QLatin1Char('#')) {
                t.kind = TokKind::Date;
                qsizetype end = s.indexOf(QLatin1Char('#'), i + 1);
                if (end < 0)
                    Fail(QStringLiteral("data senza # di chiusura"));
                t.text = s.mid(i + 1, end - i - 1);
                i = end + 1;
            } else if (c.isDigit() || c == QLatin1Char('.')
                       || ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i + 1 < s.size()
                           && (s[i + 1].isDigit() || s[i + 1] == QLatin1Char('.'))
                           && operandExpected())) {
                t.kind = TokKind::Number;
                qsizetype j = i + 1;
                while (j < s.size()) {
                    const QChar d = s[j];
                    if (d.isDigit() || d == QLatin1Char('.'))
                        ++j;
                    else if ((d == QLatin1Char('e') || d == QLatin1Char('E')) && j + 1 < s.size())
                        j += (s[j + 1] == QLatin1Char('-') || s[j + 1] == QLatin1Char('+')) ? 2 : 1;
                    else
                        break;
                }
                t.text = s.mid(i, j - i);
                i = j;
            } else if (c == QLatin1Char('[')) {
                t.kind = TokKind::Ident;
                qsizetype end = s.indexOf(QLatin1Char(']'), i + 1);
                if (end < 0)
                    Fail(QStringLiteral("nome di campo senza ] di chiusura"));
                t.text = s.mid(i + 1, end - i - 1);
                t.pos = -1; // bracketed: never a keyword
                i = end + 1;
            } else if (c.isLetter() || c == QLatin1Char('_')) {
                t.kind = TokKind::Ident;
                qsizetype j = i + 1;
                while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_')))
                    ++j;
                t.text = s.mid(i, j - i);
                i = j;
            } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('=')
                       || c == QLatin1Char('!')) {
                t.kind = TokKind::Op;
                if (i + 1 < s.size()
                    && ((c == QLatin1Char('<')
                         && (s[i + 1] == QLatin1Char('>') || s[i + 1] == QLatin1Char('=')))
                        || (c == QLatin1Char('>') && s[i + 1] == QLatin1Char('='))
                        || (c == QLatin1Char('!') && s[i + 1] == QLatin1Char('=')))) {
                    t.text = s.mid(i, 2);
                    i += 2;
                } else if (c == QLatin1Char('!')) {
                    Fail(QStringLiteral("operatore \"!\" non valido"));
                } else {
                    t.text = c;
                    ++i;
                }
            } else {
                Fail(QStringLiteral("carattere \"%1\" non valido").arg(c));
            }
            m_tokens.push_back(t);
        }
        Token end;
        end.pos = int(s.size());
        m_tokens.push_back(end);
    }

    std::unique_ptr<Node> Join(Node::Kind kind, std::unique_ptr<Node> a, std::unique_ptr<Node> b)
    {
        auto n = std::make_unique<Node>();
        n->kind = kind;
        n->a = std::move(a);
        n->b = std::move(b);
        return n;
    }

    std::unique_ptr<Node> ParseOr()
    {
        auto left = ParseAnd();
        while (AcceptWord("OR"))
            left = Join(Node::Kind::Or, std::move(left), ParseAnd());
        return left;
    }

    std::unique_ptr<Node> ParseAnd()
    {
        auto left = ParseNot();
        while (AcceptWord("AND"))
            left = Join(Node::Kind::And, std::move(left), ParseNot());
        return left;
    }

    std::unique_ptr<Node> ParseNot()
    {
        if (AcceptWord("NOT"))
            return Join(Node::Kind::Not, ParseNot(), nullptr);
        return ParsePrimary();
    }

    std::unique_ptr<Node> ParsePrimary()
    {
        if (Peek().kind == TokKind::LParen) {
            ++m_pos;
            auto n = ParseOr();
            if (Peek().kind != TokKind::RParen)
                Fail(QStringLiteral("parentesi chiusa mancante"));
            ++m_pos;
            return n;
        }
        return ParseComparison();
    }

    bool IsFieldToken(const Token &t) const
    {
        if (t.kind != TokKind::Ident)
            return false;
        if (t.pos < 0)
            return true;
        static const char *const reserved[]
            = {"AND", "OR", "NOT", "LIKE", "IS", "NULL", "TRUE", "FALSE", "IN"};
        for (const char *w : reserved) {
            if (IsWord(t, w))
                return false;
        }
        return true;
    }

    bool IsLiteralToken(const Token &t) const
    {
        return t.kind == TokKind::String || t.kind == TokKind::Number || t.kind == TokKind::Date
               || IsWord(t, "NULL") || IsWord(t, "TRUE") || IsWord(t, "FALSE");
    }

    int ResolveField(const Token &t) const
    {
        for (size_t i = 0; i < m_defs.size(); ++i) {
            if (m_defs[i].name.compare(t.text, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        Fail(QStringLiteral("campo \"%1\" inesistente").arg(t.text));
    }

    CmpOp TakeOp()
    {
        const Token t = Take();
        if (t.kind != TokKind::Op)
            Fail(t.kind == TokKind::End
                     ? QStringLiteral("operatore mancante alla fine")
                     : QStringLiteral("operatore atteso invece di \"%1\"").arg(t.text));
        if (t.text == QLatin1String("="))
            return CmpOp::Eq;
        if (t.text == QLatin1String("<>") || t.text == QLatin1String("!="))
            return CmpOp::Ne;
        if (t.text == QLatin1String("<"))
            return CmpOp::Lt;
        if (t.text == QLatin1String(">"))
            return CmpOp::Gt;
        if (t.text == QLatin1String("<="))
            return CmpOp::Le;
        return CmpOp::Ge;
    }

    static CmpOp Mirror(CmpOp op)
    {
        switch (op) {
        case CmpOp::Lt:
            return CmpOp::Gt;
        case CmpOp::Gt:
            return CmpOp::Lt;
        case CmpOp::Le:
            return CmpOp::Ge;
        case CmpOp::Ge:
            return CmpOp::Le;
        default:
            return op;
        }
    }

    Token TakeLiteral()
    {
        const Token t = Take();
        if (!IsLiteralToken(t)) {
            Fail(t.kind == TokKind::End
                     ? QStringLiteral("valore mancante alla fine")
                     : QStringLiteral("valore atteso invece di \"%1\"").arg(t.text));
        }
        return t;
    }

    std::unique_ptr<Node> ParseComparison()
    {
        const Token first = Take();
        if (IsFieldToken(first)) {
            const int column = ResolveField(first);
            if (AcceptWord("IS")) {
                const bool negated = AcceptWord("NOT");
                if (!AcceptWord("NULL"))
                    Fail(QStringLiteral("NULL atteso dopo IS"));
                return NullTest(column, negated);
            }
            if (AcceptWord("NOT")) {
                if (!AcceptWord("LIKE"))
                    Fail(QStringLiteral("LIKE atteso dopo NOT"));
                return Join(Node::Kind::Not, Like(column, TakeLiteral()), nullptr);
            }
            if (AcceptWord("LIKE"))
                return Like(column, TakeLiteral());
            if (AcceptWord("IN"))
                return InList(column);
            const CmpOp op = TakeOp();
            return Compare(column, op, TakeLiteral());
        }
        if (IsLiteralToken(first)) {
            const CmpOp op = TakeOp();
            const Token field = Take();
            if (!IsFieldToken(field))
                Fail(QStringLiteral("un confronto deve riguardare un campo"));
            return Compare(ResolveField(field), Mirror(op), first);
        }
        if (first.kind == TokKind::End)
            Fail(QStringLiteral("espressione incompleta"));
        Fail(QStringLiteral("campo atteso invece di \"%1\"").arg(first.text));
    }

    std::unique_ptr<Node> NullTest(int column, bool negated)
    {
        auto n = std::make_unique<Node>();
        n->kind = negated ? Node::Kind::NotNull : Node::Kind::IsNull;
        n->column = column;
        n->type = m_defs[size_t(column)].type;
        return n;
    }

    std::unique_ptr<Node> InList(int column)
    {
        if (Peek().kind != TokKind::LParen)
            Fail(QStringLiteral("( atteso dopo IN"));
        ++m_pos;
        std::unique_ptr<Node> n;
        do {
            auto eq = Compare(column, CmpOp::Eq, TakeLiteral());
            n = n ? Join(Node::Kind::Or, std::move(n), std::move(eq)) : std::move(eq);
        } while (Peek().kind == TokKind::Comma && (++m_pos, true));
        if (Peek().kind != TokKind::RParen)
            Fail(QStringLiteral("parentesi chiusa mancante dopo IN"));
        ++m_pos;
        return n;
    }

    std::unique_ptr<Node> Like(int column, const Token &lit)
    {
        if (lit.kind != TokKind::String && lit.kind != TokKind::Number)
            Fail(QStringLiteral("LIKE richiede un testo"));
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Like;
        n->column = column;
        n->type = m_defs[size_t(column)].type;
        if (n->type == TFieldType::Blob)
            Fail(QStringLiteral("LIKE non applicabile al campo \"%1\"")
                     .arg(m_defs[size_t(column)].name));
        const QString p = lit.text;
        // Classify the pattern so that the common forms avoid the general matcher.
        qsizetype firstWild = -1;
        int wildCount = 0;
        bool singleWild = false;
        for (qsizetype k = 0; k < p.size(); ++k) {
            if (IsWildMany(p[k])) {
                ++wildCount;
                if (firstWild < 0)
                    firstWild = k;
            } else if (IsWildOne(p[k])) {
                singleWild = true;
            }
        }
        const bool lead = !p.isEmpty() && IsWildMany(p.front());
        const bool trail = p.size() > 1 && IsWildMany(p.back());
        if (singleWild) {
            n->like = LikeKind::General;
            n->text = p.toCaseFolded();
        } else if (wildCount == 0) {
            n->like = LikeKind::Exact;
            n->text = p;
        } else if (wildCount == p.size()) {
            n->like = LikeKind::All;
        } else if (wildCount == 1 && lead) {
            n->like = LikeKind::Suffix;
            n->text = p.mid(1);
        } else if (wildCount == 1 && firstWild == p.size() - 1) {
            n->like = LikeKind::Prefix;
            n->text = p.left(p.size() - 1);
        } else if (wildCount == 2 && lead && trail) {
            n->like = LikeKind::Contains;
            n->text = p.mid(1, p.size() - 2);
        } else {
            n->like = LikeKind::General;
            n->text = p.toCaseFolded();
        }
        return n;
    }

    std::unique_ptr<Node> Compare(int column, CmpOp op, const Token &lit)
    {
        const TFieldDef &def = m_defs[size_t(column)];
        if (IsWord(lit, "NULL")) {
            if (op == CmpOp::Eq)
                return NullTest(column, false);
            if (op == CmpOp::Ne)
                return NullTest(column, true);
            Fail(QStringLiteral("NULL si confronta solo con = o <>"));
        }
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Compare;
        n->column = column;
        n->type = def.type;
        n->op = op;
        const bool isBool = IsWord(lit, "TRUE") || IsWord(lit, "FALSE");
        const bool boolValue = IsWord(lit, "TRUE");
        auto badValue = [&]() {
            Fail(QStringLiteral("valore \"%1\" non confrontabile con il campo \"%2\"")
                     .arg(lit.text, def.name));
        };
        auto number = [&](double *out) {
            if (isBool) {
                *out = boolValue ? 1 : 0;
                return true;
            }
            if (lit.kind == TokKind::Number || lit.kind == TokKind::String)
                return ParseRealText(lit.text, out);
            return false;
        };
        switch (def.type) {
        case TFieldType::Text:
            n->text = isBool ? (boolValue ? QStringLiteral("1") : QStringLiteral("0")) : lit.text;
            break;
        case TFieldType::Integer: {
            qint64 iv = 0;
            double rv = 0;
            if (!isBool && lit.kind != TokKind::Date && ParseIntegerText(lit.text, &iv)) {
                n->i = iv;
            } else if (number(&rv)) {
                n->r = rv;
                n->useReal = true;
            } else {
                badValue();
            }
            break;
        }
        case TFieldType::Real:
            if (!number(&n->r))
                badValue();
            break;
        case TFieldType::Flag: {
            bool b = false;
            if (isBool)
                b = boolValue;
            else if (lit.kind == TokKind::Date || !ParseFlagText(lit.text, &b))
                badValue();
            n->i = b ? 1 : 0;
            break;
        }
        case TFieldType::DateTime: {
            TStampMs stamp = 0;
            if (lit.kind == TokKind::Number || isBool || !ParseStampText(lit.text, &stamp))
                badValue();
            n->i = stamp;
            break;
        }
        case TFieldType::Blob:
            Fail(QStringLiteral("il campo \"%1\" si confronta solo con NULL").arg(def.name));
        }
        return n;
    }

    QString m_expr;
    const std::vector<TFieldDef> &m_defs;
    std::vector<Token> m_tokens;
    int m_pos = 0;
};

} // namespace

bool TDataSetFilter::Node::LikeMatches(const QString &v) const
{
    switch (like) {
    case LikeKind::All:
        return true;
    case LikeKind::Exact:
        return QString::compare(v, text, Qt::CaseInsensitive) == 0;
    case LikeKind::Prefix:
        return v.startsWith(text, Qt::CaseInsensitive);
    case LikeKind::Suffix:
        return v.endsWith(text, Qt::CaseInsensitive);
    case LikeKind::Contains:
        return v.contains(text, Qt::CaseInsensitive);
    case LikeKind::General:
        return GlobMatch(v.toCaseFolded(), text);
    }
    return false;
}

template<class F>
void TDataSetFilter::Node::WithPredicate(const TDataStore &store, F f) const
{
    const TColumn &col = store.Column(column);
    const quint8 *nulls = col.nulls.data();
    const auto none = [](int) { return false; };
    if (kind == Kind::IsNull) {
        f(none, nulls, NullRule::IsNull);
        return;
    }
    if (kind == Kind::NotNull) {
        f(none, nulls, NullRule::NotNull);
        return;
    }
    const NullRule rule = NullRule::NonNullAnd;
    if (kind == Kind::Like) {
        if (col.type == TFieldType::Text) {
            const QString *t = col.texts.data();
            f([this, t](int p) { return LikeMatches(t[p]); }, nulls, rule);
        } else {
            f([this, &col](int p) { return LikeMatches(ValueAsString(col.Value(p))); }, nulls, rule);
        }
        return;
    }

    // Comparison of a column with a literal of its type (values of null rows are not looked at).
    switch (col.type) {
    case TFieldType::Text: {
        const QString *t = col.texts.data();
        const QString &lit = text;
        WithOp(op, [&](auto cmp) {
            f([t, &lit, cmp](
                  int p) { return cmp(QString::compare(t[p], lit, Qt::CaseInsensitive), 0); },
              nulls,
              rule);
        });
        return;
    }
    case TFieldType::Integer:
    case TFieldType::DateTime: {
        const qint64 *v = col.ints.data();
        if (useReal) {
            const double lit = r;
            WithOp(op, [&](auto cmp) {
                f([v, lit, cmp](int p) { return cmp(double(v[p]), lit); }, nulls, rule);
            });
        } else {
            const qint64 lit = i;
            WithOp(op, [&](auto cmp) {
                f([v, lit, cmp](int p) { return cmp(v[p], lit); }, nulls, rule);
            });
        }
        return;
    }
    case TFieldType::Real: {
        const double *v = col.reals.data();
        const double lit = r;
        WithOp(op,
               [&](auto cmp) { f([v, lit, cmp](int p) { return cmp(v[p], lit); }, nulls, rule); });
        return;
    }
    case TFieldType::Flag: {
        const quint8 *v = col.flags.data();
        const quint8 lit = quint8(i);
        WithOp(op,
               [&](auto cmp) { f([v, lit, cmp](int p) { return cmp(v[p], lit); }, nulls, rule); });
        return;
    }
    case TFieldType::Blob:
        f(none, nulls, rule);
        return;
    }
}

void TDataSetFilter::Node::Eval(const TDataStore &store, const int *cand, int n, quint64 *out) const
{
    const int words = WordCount(n);
    switch (kind) {
    case Kind::And:
        a->Eval(store, cand, n, out);
        b->Refine(store, cand, n, out);
        return;
    case Kind::Or: {
        a->Eval(store, cand, n, out);
        std::vector<quint64> tmp(static_cast<size_t>(words));
        b->Eval(store, cand, n, tmp.data());
        for (int w = 0; w < words; ++w)
            out[w] |= tmp[size_t(w)];
        return;
    }
    case Kind::Not:
        a->Eval(store, cand, n, out);
        for (int w = 0; w < words; ++w)
            out[w] = ~out[w];
        if (n % 64)
            out[words - 1] &= (quint64(1) << (n % 64)) - 1;
        return;
    default:
        WithPredicate(store, [&](auto pred, const quint8 *nulls, NullRule rule) {
            FillBits(cand, n, out, pred, nulls, rule);
        });
        return;
    }
}

void TDataSetFilter::Node::Refine(const TDataStore &store, const int *cand, int n, quint64 *out) const
{
    const int words = WordCount(n);
    if (kind == Kind::And) {
        a->Refine(store, cand, n, out);
        b->Refine(store, cand, n, out);
        return;
    }
    // Few rows left: test just those; otherwise a full pass is cheaper.
    const bool leaf = kind != Kind::Or && kind != Kind::Not;
    if (leaf && CountBits(out, words) * 4 < n) {
        WithPredicate(store, [&](auto pred, const quint8 *nulls, NullRule rule) {
            RefineBits(cand, n, out, pred, nulls, rule);
        });
        return;
    }
    std::vector<quint64> tmp(static_cast<size_t>(words));
    Eval(store, cand, n, tmp.data());
    for (int w = 0; w < words; ++w)
        out[w] &= tmp[size_t(w)];
}

TDataSetFilter::TDataSetFilter(const QString &expr, const std::vector<TFieldDef> &defs)
{
    if (expr.trimmed().isEmpty())
        throw EDataSetError(QStringLiteral("Filtro vuoto."));
    m_root = Parser(expr, defs).Parse();
}

TDataSetFilter::~TDataSetFilter() = default;

void TDataSetFilter::Evaluate(const TDataStore &store,
                              const int *cand,
                              int n,
                              std::vector<quint64> &bits) const
{
    bits.assign(size_t(WordCount(n)), 0);
    if (n > 0)
        m_root->Eval(store, cand, n, bits.data());
}

void TDataSetFilter::Apply(const TDataStore &store, std::vector<int> &rows) const
{
    std::vector<quint64> bits;
    const int n = int(rows.size());
    Evaluate(store, rows.data(), n, bits);
    int k = 0;
    for (int w = 0; w < int(bits.size()); ++w) {
        quint64 word = bits[size_t(w)];
        while (word) {
            const int j = std::countr_zero(word);
            rows[size_t(k++)] = rows[size_t(w * 64 + j)];
            word &= word - 1;
        }
    }
    rows.resize(size_t(k));
}

std::vector<int> TDataSetFilter::MatchingIdentity(const TDataStore &store, int n) const
{
    std::vector<quint64> bits;
    Evaluate(store, nullptr, n, bits);
    int count = 0;
    for (quint64 w : bits)
        count += std::popcount(w);
    std::vector<int> rows;
    rows.reserve(size_t(count));
    for (int w = 0; w < int(bits.size()); ++w) {
        quint64 word = bits[size_t(w)];
        while (word) {
            rows.push_back(w * 64 + std::countr_zero(word));
            word &= word - 1;
        }
    }
    return rows;
}

int TDataSetFilter::CountMatching(const TDataStore &store, const std::vector<int> &rows) const
{
    std::vector<quint64> bits;
    Evaluate(store, rows.data(), int(rows.size()), bits);
    int count = 0;
    for (quint64 w : bits)
        count += std::popcount(w);
    return count;
}
