#include "reports/reportparser.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>
#include <functional>

namespace {

// One line of the file after comments are removed: "kind args" opens a block,
// "key: value" is a property; children are the following lines indented further.
struct Node
{
    int line = 0;
    int indent = 0;
    bool isProperty = false;
    QString key;   // property key or block kind, lower case
    QString value; // property value or block arguments
    std::vector<Node> children;
};

class DefinitionParser
{
public:
    DefinitionParser(const QString &source, const QString &fileName)
        : m_source(source)
        , m_fileName(fileName)
    {}

    std::unique_ptr<TReportDefinition> Run();

private:
    [[noreturn]] void Fail(int line, const QString &text) const
    {
        throw EReportError(QStringLiteral("File di report \"%1\", riga %2: %3")
                               .arg(QFileInfo(m_fileName).fileName())
                               .arg(line)
                               .arg(text));
    }

    std::vector<Node> ReadNodes();
    static QString StripComment(const QString &line);

    // Values.
    QString Unquote(const Node &p) const;
    double Number(const Node &p, const QString &text) const;
    std::vector<double> Numbers(const Node &p, int minCount, int maxCount) const;
    bool Flag(const Node &p) const;
    QColor Color(const Node &p) const;
    TExprPtr Expression(const Node &p) const;
    TExprPtr Condition(const Node &p) const;
    TFontSpec Font(const Node &p) const;
    QStringList Words(const Node &p) const;
    TReportSortOrder SortOrder(const Node &p, const QString &word) const;
    void UnknownProperty(const Node &p, const QString &where) const;

    void ReadReport(const Node &n);
    void ReadParameter(const Node &n);
    TFormulaDef ReadFormula(const Node &n);
    void ReadGroup(const Node &n, TReportSection &section);
    void ReadBand(const Node &n, TReportSection &section);
    void ReadSubreport(const Node &n);
    std::unique_ptr<TReportObject> ReadObject(const Node &n, const TReportSection &section);
    TTableColumn ReadColumn(const Node &n, const QString &table);
    Qt::Alignment Align(const Node &p) const;
    Qt::Alignment VAlign(const Node &p) const;
    double LineSpacing(const Node &p) const;
    double ParagraphSpacing(const Node &p) const;
    std::vector<TSortField> ReadSort(const Node &p) const;
    void ReadSectionChild(const Node &c, TReportSection &section);

    void Link(TReportSection &section);
    void CheckReferences(TReportSection &section, const std::vector<TFormulaDef> &local);
    void CheckFormulaCycles();

    const QString &m_source;
    const QString m_fileName;
    std::unique_ptr<TReportDefinition> m_def;
    bool m_sawReport = false;
};

QString DefinitionParser::StripComment(const QString &line)
{
    bool inQuote = false;
    QChar quote;
    int braces = 0;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (inQuote) {
            if (c == quote)
                inQuote = false;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            inQuote = true;
            quote = c;
        } else if (c == u'{') {
            ++braces;
        } else if (c == u'}') {
            braces = qMax(0, braces - 1);
        } else if (c == u'#' && braces == 0) {
            const bool atStart = line.left(i).trimmed().isEmpty();
            const bool afterBlank = i > 0 && line.at(i - 1).isSpace();
            const bool beforeBlank = i + 1 >= line.size() || line.at(i + 1).isSpace();
            if (atStart || (afterBlank && beforeBlank))
                return line.left(i);
        }
    }
    return line;
}

std::vector<Node> DefinitionParser::ReadNodes()
{
    struct Flat
    {
        int line;
        int indent;
        QString text;
    };
    std::vector<Flat> flat;
    const QStringList lines = m_source.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString raw = lines.at(i);
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        if (i == 0 && raw.startsWith(QChar(0xFEFF)))
            raw = raw.mid(1);
        const QString text = StripComment(raw);
        if (text.trimmed().isEmpty())
            continue;
        int indent = 0;
        while (indent < text.size() && (text.at(indent) == u' ' || text.at(indent) == u'\t')) {
            if (text.at(indent) == u'\t')
                Fail(i + 1, QStringLiteral("tabulazione nel rientro: rientrare con spazi"));
            ++indent;
        }
        flat.push_back({i + 1, indent, text.trimmed()});
    }

    // Property lines followed by deeper lines continue on them (long expressions).
    std::vector<Node> roots;
    std::vector<Node *> stack; // open blocks
    size_t i = 0;
    while (i < flat.size()) {
        const Flat &f = flat[i];
        Node node;
        node.line = f.line;
        node.indent = f.indent;
        const int colon = f.text.indexOf(u':');
        const int space = f.text.indexOf(u' ');
        const QString firstWord = space < 0 ? f.text : f.text.left(space);
        if (colon > 0 && (space < 0 || colon < space || f.text.left(colon).trimmed() == firstWord)
            && !f.text.left(colon).contains(u'"')) {
            node.isProperty = true;
            node.key = f.text.left(colon).trimmed().toLower();
            node.value = f.text.mid(colon + 1).trimmed();
            if (node.key.contains(u' '))
                Fail(f.line, QStringLiteral("riga non riconosciuta \"%1\"").arg(f.text));
            // Continuation lines.
            size_t j = i + 1;
            while (j < flat.size() && flat[j].indent > f.indent) {
                node.value += u' ' + flat[j].text;
                ++j;
            }
            i = j;
        } else {
            node.key = firstWord.toLower();
            node.value = space < 0 ? QString() : f.text.mid(space + 1).trimmed();
            ++i;
        }
        while (!stack.empty() && stack.back()->indent >= node.indent)
            stack.pop_back();
        std::vector<Node> &siblings = stack.empty() ? roots : stack.back()->children;
        if (!siblings.empty() && siblings.back().indent != node.indent)
            Fail(node.line, QStringLiteral("rientro non allineato con le righe precedenti"));
        siblings.push_back(node);
        if (!node.isProperty)
            stack.push_back(&siblings.back());
    }
    return roots;
}

QString DefinitionParser::Unquote(const Node &p) const
{
    const QString v = p.value;
    if (v.size() >= 2 && (v.startsWith(u'"') || v.startsWith(u'\''))) {
        const QChar q = v.at(0);
        if (!v.endsWith(q))
            Fail(p.line, QStringLiteral("virgolette non chiuse in \"%1\"").arg(v));
        QString inner = v.mid(1, v.size() - 2);
        inner.replace(QString(2, q), QString(q));
        return inner;
    }
    return v;
}

double DefinitionParser::Number(const Node &p, const QString &text) const
{
    bool ok = false;
    const double x = text.toDouble(&ok);
    if (!ok)
        Fail(p.line, QStringLiteral("\"%1\": numero non valido \"%2\"").arg(p.key, text));
    return x;
}

std::vector<double> DefinitionParser::Numbers(const Node &p, int minCount, int maxCount) const
{
    const QStringList parts = p.value.split(QRegularExpression(QStringLiteral("[\\s,;]+")),
                                            Qt::SkipEmptyParts);
    if (parts.size() < minCount || parts.size() > maxCount) {
        if (minCount == maxCount)
            Fail(p.line, QStringLiteral("\"%1\" vuole %2 numeri").arg(p.key).arg(minCount));
        Fail(p.line,
             QStringLiteral("\"%1\" vuole da %2 a %3 numeri").arg(p.key).arg(minCount).arg(maxCount));
    }
    std::vector<double> out;
    for (const QString &s : parts)
        out.push_back(Number(p, s));
    return out;
}

bool DefinitionParser::Flag(const Node &p) const
{
    const QString v = p.value.toLower();
    if (v == u"yes" || v == u"si" || v == u"sì" || v == u"true" || v == u"1")
        return true;
    if (v == u"no" || v == u"false" || v == u"0")
        return false;
    Fail(p.line, QStringLiteral("\"%1\" vuole yes o no, non \"%2\"").arg(p.key, p.value));
}

QColor DefinitionParser::Color(const Node &p) const
{
    const QString v = Unquote(p);
    if (v.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return QColor(Qt::transparent);
    QColor c = QColor::fromString(v);
    if (!c.isValid())
        Fail(p.line, QStringLiteral("colore non valido \"%1\"").arg(v));
    return c;
}

TExprPtr DefinitionParser::Expression(const Node &p) const
{
    if (p.value.isEmpty())
        Fail(p.line, QStringLiteral("\"%1\" senza valore").arg(p.key));
    try {
        return ParseExpression(p.value);
    } catch (const EExprError &e) {
        Fail(p.line,
             QStringLiteral("espressione non valida \"%1\": %2 (carattere %3)")
                 .arg(p.value, e.text())
                 .arg(e.position() + 1));
    }
}

TExprPtr DefinitionParser::Condition(const Node &p) const
{
    const QString v = p.value.toLower();
    if (v == u"yes" || v == u"si" || v == u"sì")
        return LiteralExpression(QVariant(true));
    if (v == u"no")
        return LiteralExpression(QVariant(false));
    return Expression(p);
}

QStringList DefinitionParser::Words(const Node &p) const
{
    QStringList out;
    const QString &v = p.value;
    int i = 0;
    while (i < v.size()) {
        while (i < v.size() && v.at(i).isSpace())
            ++i;
        if (i >= v.size())
            break;
        if (v.at(i) == u'"' || v.at(i) == u'\'') {
            const QChar q = v.at(i);
            const int end = v.indexOf(q, i + 1);
            if (end < 0)
                Fail(p.line, QStringLiteral("virgolette non chiuse in \"%1\"").arg(v));
            out << u'\x01' + v.mid(i + 1, end - i - 1); // \x01 marks a quoted word
            i = end + 1;
        } else {
            const int start = i;
            while (i < v.size() && !v.at(i).isSpace())
                ++i;
            out << v.mid(start, i - start);
        }
    }
    return out;
}

TFontSpec DefinitionParser::Font(const Node &p) const
{
    TFontSpec f;
    for (const QString &w : Words(p)) {
        if (w.startsWith(u'\x01')) {
            f.family = w.mid(1);
            continue;
        }
        const QString l = w.toLower();
        bool ok = false;
        const double size = w.toDouble(&ok);
        if (ok) {
            if (size <= 0 || size > 400)
                Fail(p.line, QStringLiteral("dimensione del carattere non valida \"%1\"").arg(w));
            f.pointSize = size;
        } else if (l == u"bold") {
            f.bold = 1;
        } else if (l == u"regular" || l == u"normal") {
            f.bold = 0;
            f.italic = 0;
            f.underline = 0;
            f.strike = 0;
        } else if (l == u"italic") {
            f.italic = 1;
        } else if (l == u"underline") {
            f.underline = 1;
        } else if (l == u"strike") {
            f.strike = 1;
        } else {
            Fail(p.line,
                 QStringLiteral("carattere: parola sconosciuta \"%1\" (usare il nome del "
                                "carattere tra virgolette, la dimensione, bold, italic, "
                                "underline, strike, regular)")
                     .arg(w));
        }
    }
    return f;
}

TReportSortOrder DefinitionParser::SortOrder(const Node &p, const QString &word) const
{
    const QString w = word.toLower();
    if (w == u"asc" || w == u"ascending")
        return TReportSortOrder::Ascending;
    if (w == u"desc" || w == u"descending")
        return TReportSortOrder::Descending;
    if (w == u"original" || w == u"none")
        return TReportSortOrder::Original;
    Fail(p.line,
         QStringLiteral("ordinamento sconosciuto \"%1\" (ascending, descending, original)")
             .arg(word));
}

std::vector<TSortField> DefinitionParser::ReadSort(const Node &p) const
{
    std::vector<TSortField> out;
    for (const QString &part : p.value.split(u',', Qt::SkipEmptyParts)) {
        const QStringList w = part.simplified().split(u' ');
        if (w.isEmpty() || w.size() > 2 || w.first().isEmpty())
            Fail(p.line, QStringLiteral("ordinamento non valido \"%1\"").arg(part.trimmed()));
        TSortField s;
        s.field = w.first();
        if (s.field.startsWith(u'{') && s.field.endsWith(u'}'))
            s.field = s.field.mid(1, s.field.size() - 2);
        if (w.size() == 2)
            s.order = SortOrder(p, w.at(1));
        out.push_back(s);
    }
    return out;
}

void DefinitionParser::UnknownProperty(const Node &p, const QString &where) const
{
    if (p.isProperty)
        Fail(p.line, QStringLiteral("proprietà sconosciuta \"%1\" in %2").arg(p.key, where));
    Fail(p.line, QStringLiteral("blocco \"%1\" non ammesso in %2").arg(p.key, where));
}

void DefinitionParser::ReadReport(const Node &n)
{
    if (m_sawReport)
        Fail(n.line, QStringLiteral("blocco \"report\" ripetuto"));
    m_sawReport = true;
    Node titleNode = n;
    titleNode.key = QStringLiteral("report");
    m_def->title = Unquote(titleNode);
    for (const Node &p : n.children) {
        if (!p.isProperty)
            UnknownProperty(p, QStringLiteral("\"report\""));
        if (p.key == u"title") {
            m_def->title = Unquote(p);
        } else if (p.key == u"page") {
            for (const QString &w : Words(p)) {
                const QString l = w.toLower();
                static const QHash<QString, QPageSize::PageSizeId> sizes
                    = {{QStringLiteral("a3"), QPageSize::A3},
                       {QStringLiteral("a4"), QPageSize::A4},
                       {QStringLiteral("a5"), QPageSize::A5},
                       {QStringLiteral("letter"), QPageSize::Letter},
                       {QStringLiteral("legal"), QPageSize::Legal}};
                if (sizes.contains(l)) {
                    m_def->page.size = QPageSize(sizes.value(l));
                } else if (l == u"portrait") {
                    m_def->page.orientation = QPageLayout::Portrait;
                } else if (l == u"landscape") {
                    m_def->page.orientation = QPageLayout::Landscape;
                } else if (l.contains(u'x')) {
                    const QStringList wh = l.split(u'x');
                    const double w0 = Number(p, wh.value(0));
                    const double h0 = Number(p, wh.value(1));
                    if (w0 < 20 || h0 < 20 || w0 > 2000 || h0 > 2000)
                        Fail(p.line, QStringLiteral("formato pagina fuori misura \"%1\"").arg(w));
                    m_def->page.size = QPageSize(QSizeF(w0, h0), QPageSize::Millimeter);
                } else {
                    Fail(p.line,
                         QStringLiteral("formato pagina sconosciuto \"%1\" (A3, A4, A5, "
                                        "Letter, Legal, LARGHEZZAxALTEZZA in mm, "
                                        "portrait, landscape)")
                             .arg(w));
                }
            }
        } else if (p.key == u"orientation") {
            const QString l = p.value.toLower();
            if (l == u"portrait")
                m_def->page.orientation = QPageLayout::Portrait;
            else if (l == u"landscape")
                m_def->page.orientation = QPageLayout::Landscape;
            else
                Fail(p.line, QStringLiteral("orientamento sconosciuto \"%1\"").arg(p.value));
        } else if (p.key == u"margins") {
            const std::vector<double> m = Numbers(p, 1, 4);
            TPageSetup &pg = m_def->page;
            if (m.size() == 1) {
                pg.marginLeft = pg.marginTop = pg.marginRight = pg.marginBottom = m[0];
            } else if (m.size() == 2) {
                pg.marginLeft = pg.marginRight = m[0];
                pg.marginTop = pg.marginBottom = m[1];
            } else if (m.size() == 4) {
                pg.marginLeft = m[0];
                pg.marginTop = m[1];
                pg.marginRight = m[2];
                pg.marginBottom = m[3];
            } else {
                Fail(p.line, QStringLiteral("\"margins\" vuole 1, 2 o 4 numeri"));
            }
        } else if (p.key == u"font") {
            const TFontSpec f = Font(p);
            if (!f.family.isEmpty())
                m_def->font.family = f.family;
            if (f.pointSize > 0)
                m_def->font.pointSize = f.pointSize;
        } else if (p.key == u"sort") {
            m_def->main.sort = ReadSort(p);
        } else if (p.key == u"line-spacing") {
            m_def->lineSpacing = LineSpacing(p);
        } else if (p.key == u"paragraph-spacing") {
            m_def->paragraphSpacing = ParagraphSpacing(p);
        } else {
            UnknownProperty(p, QStringLiteral("\"report\""));
        }
    }
    const QSizeF size = m_def->page.SizeMm();
    const TPageSetup &pg = m_def->page;
    if (pg.marginLeft < 0 || pg.marginTop < 0 || pg.marginRight < 0 || pg.marginBottom < 0
        || pg.marginLeft + pg.marginRight >= size.width() - 10
        || pg.marginTop + pg.marginBottom >= size.height() - 10)
        Fail(n.line, QStringLiteral("margini troppo grandi per la pagina"));
}

void DefinitionParser::ReadParameter(const Node &n)
{
    TParameterDef def;
    def.name = n.value.trimmed();
    def.line = n.line;
    if (def.name.isEmpty() || def.name.contains(u' '))
        Fail(n.line, QStringLiteral("nome del parametro mancante o non valido"));
    if (m_def->FindParameter(def.name))
        Fail(n.line, QStringLiteral("parametro \"%1\" ripetuto").arg(def.name));
    QString defaultText;
    bool hasDefault = false;
    for (const Node &p : n.children) {
        if (p.key == u"type" && p.isProperty) {
            const QString t = p.value.toLower();
            if (t == u"text" || t == u"string")
                def.type = TParamType::Text;
            else if (t == u"number")
                def.type = TParamType::Number;
            else if (t == u"boolean" || t == u"flag")
                def.type = TParamType::Boolean;
            else if (t == u"date")
                def.type = TParamType::Date;
            else
                Fail(p.line,
                     QStringLiteral("tipo di parametro sconosciuto \"%1\" (text, number, "
                                    "boolean, date)")
                         .arg(p.value));
        } else if (p.key == u"default" && p.isProperty) {
            defaultText = Unquote(p);
            hasDefault = true;
        } else {
            UnknownProperty(p, QStringLiteral("parametro \"%1\"").arg(def.name));
        }
    }
    if (hasDefault)
        def.defaultValue = QVariant(defaultText);
    m_def->parameters.push_back(def);
}

TFormulaDef DefinitionParser::ReadFormula(const Node &n)
{
    TFormulaDef f;
    f.name = n.value.trimmed();
    f.line = n.line;
    if (f.name.isEmpty() || f.name.contains(u' '))
        Fail(n.line, QStringLiteral("nome della formula mancante o non valido"));
    bool hasValue = false;
    for (const Node &p : n.children) {
        if (p.key == u"type" && p.isProperty) {
            const QString t = p.value.toLower();
            if (t != u"text" && t != u"number" && t != u"boolean" && t != u"date")
                Fail(p.line, QStringLiteral("tipo di formula sconosciuto \"%1\"").arg(p.value));
            f.isText = t == u"text";
        } else if (p.key == u"value" && p.isProperty) {
            f.text = p.value;
            f.expr = Expression(p);
            f.line = p.line;
            hasValue = true;
        } else {
            UnknownProperty(p, QStringLiteral("formula \"%1\"").arg(f.name));
        }
    }
    if (!hasValue)
        Fail(n.line, QStringLiteral("formula \"%1\" senza \"value\"").arg(f.name));
    return f;
}

void DefinitionParser::ReadGroup(const Node &n, TReportSection &section)
{
    TReportGroup g;
    g.name = n.value.trimmed();
    g.line = n.line;
    if (g.name.isEmpty() || g.name.contains(u' '))
        Fail(n.line, QStringLiteral("nome del gruppo mancante o non valido"));
    for (const auto &other : section.groups) {
        if (other.name.compare(g.name, Qt::CaseInsensitive) == 0)
            Fail(n.line, QStringLiteral("gruppo \"%1\" ripetuto").arg(g.name));
    }
    static const QHash<QString, TGroupCondition> conditions
        = {{QStringLiteral("any-value"), TGroupCondition::AnyValue},
           {QStringLiteral("daily"), TGroupCondition::Daily},
           {QStringLiteral("weekly"), TGroupCondition::Weekly},
           {QStringLiteral("biweekly"), TGroupCondition::Biweekly},
           {QStringLiteral("semimonthly"), TGroupCondition::Semimonthly},
           {QStringLiteral("monthly"), TGroupCondition::Monthly},
           {QStringLiteral("quarterly"), TGroupCondition::Quarterly},
           {QStringLiteral("semiannually"), TGroupCondition::SemiAnnually},
           {QStringLiteral("annually"), TGroupCondition::Annually},
           {QStringLiteral("by-second"), TGroupCondition::BySecond},
           {QStringLiteral("by-minute"), TGroupCondition::ByMinute},
           {QStringLiteral("by-hour"), TGroupCondition::ByHour},
           {QStringLiteral("by-am-pm"), TGroupCondition::ByAMPM},
           {QStringLiteral("to-yes"), TGroupCondition::ToYes},
           {QStringLiteral("to-no"), TGroupCondition::ToNo},
           {QStringLiteral("every-yes"), TGroupCondition::EveryYes},
           {QStringLiteral("every-no"), TGroupCondition::EveryNo},
           {QStringLiteral("next-is-yes"), TGroupCondition::NextIsYes},
           {QStringLiteral("next-is-no"), TGroupCondition::NextIsNo}};
    for (const Node &p : n.children) {
        if (!p.isProperty)
            UnknownProperty(p, QStringLiteral("gruppo \"%1\"").arg(g.name));
        if (p.key == u"field") {
            g.field = p.value.trimmed();
            if (g.field.startsWith(u'{') && g.field.endsWith(u'}'))
                g.field = g.field.mid(1, g.field.size() - 2).trimmed();
        } else if (p.key == u"sort") {
            g.order = SortOrder(p, p.value.trimmed());
        } else if (p.key == u"condition") {
            const QString c = p.value.trimmed().toLower();
            if (!conditions.contains(c))
                Fail(p.line, QStringLiteral("condizione di gruppo sconosciuta \"%1\"").arg(p.value));
            g.condition = conditions.value(c);
        } else if (p.key == u"keep-together") {
            g.keepTogether = Flag(p);
        } else if (p.key == u"repeat-header") {
            g.repeatHeader = Flag(p);
        } else if (p.key == u"new-page-before") {
            g.newPageBefore = Flag(p);
        } else {
            UnknownProperty(p, QStringLiteral("gruppo \"%1\"").arg(g.name));
        }
    }
    if (g.field.isEmpty())
        Fail(n.line, QStringLiteral("gruppo \"%1\" senza \"field\"").arg(g.name));
    section.groups.push_back(g);
}

std::unique_ptr<TReportObject> DefinitionParser::ReadObject(const Node &n,
                                                            const TReportSection &section)
{
    static const QHash<QString, TObjectKind> kinds
        = {{QStringLiteral("text"), TObjectKind::Text},
           {QStringLiteral("field"), TObjectKind::Field},
           {QStringLiteral("richtext"), TObjectKind::RichText},
           {QStringLiteral("image"), TObjectKind::Image},
           {QStringLiteral("line"), TObjectKind::Line},
           {QStringLiteral("box"), TObjectKind::Box},
           {QStringLiteral("special"), TObjectKind::Special},
           {QStringLiteral("subreport"), TObjectKind::Subreport},
           {QStringLiteral("table"), TObjectKind::Table}};
    if (!kinds.contains(n.key))
        Fail(n.line,
             QStringLiteral("oggetto sconosciuto \"%1\" (text, field, richtext, image, "
                            "line, box, special, subreport, table)")
                 .arg(n.key));
    auto o = std::make_unique<TReportObject>();
    o->kind = kinds.value(n.key);
    o->line = n.line;
    o->name = n.value.trimmed();
    if (o->name.isEmpty())
        o->name = QStringLiteral("%1@%2").arg(n.key).arg(n.line);
    if (o->kind == TObjectKind::Line)
        o->borderWidth = 0;
    const QString where = QStringLiteral("oggetto \"%1\"").arg(o->name);
    bool hasRect = false;
    bool hasFrom = false;
    bool hasTo = false;
    QPointF from, to;
    for (const Node &p : n.children) {
        if (!p.isProperty && p.key == u"column" && o->kind == TObjectKind::Table) {
            o->columns.push_back(ReadColumn(p, o->name));
            continue;
        }
        if (!p.isProperty)
            UnknownProperty(p, where);
        const QString &k = p.key;
        if (k == u"rect") {
            const std::vector<double> r = Numbers(p, 4, 4);
            if (r[2] < 0 || r[3] < 0)
                Fail(p.line, QStringLiteral("larghezza e altezza non possono essere negative"));
            o->rect = QRectF(r[0], r[1], r[2], r[3]);
            hasRect = true;
        } else if (k == u"from" && o->kind == TObjectKind::Line) {
            const std::vector<double> r = Numbers(p, 2, 2);
            from = QPointF(r[0], r[1]);
            hasFrom = true;
        } else if (k == u"to" && o->kind == TObjectKind::Line) {
            const std::vector<double> r = Numbers(p, 2, 2);
            to = QPointF(r[0], r[1]);
            hasTo = true;
        } else if (k == u"text" && o->kind == TObjectKind::Text) {
            o->text = Unquote(p);
        } else if (k == u"value"
                   && (o->kind == TObjectKind::Field || o->kind == TObjectKind::RichText
                       || o->kind == TObjectKind::Image)) {
            o->value = Expression(p);
        } else if (k == u"format"
                   && (o->kind == TObjectKind::Field || o->kind == TObjectKind::Special)) {
            o->format = Unquote(p);
        } else if (k == u"font") {
            o->font = Font(p);
        } else if (k == u"color") {
            o->color = Color(p);
        } else if (k == u"background") {
            o->background = Color(p);
        } else if (k == u"align") {
            o->align = Align(p);
        } else if (k == u"valign") {
            o->valign = VAlign(p);
        } else if (k == u"wrap") {
            o->wrap = Flag(p);
        } else if (k == u"line-spacing" && o->kind != TObjectKind::Image
                   && o->kind != TObjectKind::Line && o->kind != TObjectKind::Box
                   && o->kind != TObjectKind::Subreport) {
            o->lineSpacing = LineSpacing(p);
        } else if (k == u"paragraph-spacing" && o->kind != TObjectKind::Image
                   && o->kind != TObjectKind::Line && o->kind != TObjectKind::Box
                   && o->kind != TObjectKind::Subreport) {
            o->paragraphSpacing = ParagraphSpacing(p);
        } else if (k == u"printed"
                   && (o->kind == TObjectKind::Text || o->kind == TObjectKind::Field
                       || o->kind == TObjectKind::Special || o->kind == TObjectKind::RichText)) {
            o->printed = Flag(p);
        } else if (k == u"override-font" && o->kind == TObjectKind::RichText) {
            o->overrideFont = Flag(p);
        } else if (k == u"padding" && o->kind == TObjectKind::Table) {
            const std::vector<double> pad = Numbers(p, 1, 2);
            if (pad.front() < 0 || pad.back() < 0)
                Fail(p.line, QStringLiteral("margine interno negativo"));
            o->paddingX = pad.front();
            o->paddingY = pad.back();
        } else if (k == u"lines" && o->kind == TObjectKind::Table) {
            const QString l = p.value.toLower();
            if (l == u"all")
                o->tableLines = TTableLines::All;
            else if (l == u"rows")
                o->tableLines = TTableLines::Rows;
            else if (l == u"none")
                o->tableLines = TTableLines::None;
            else
                Fail(p.line,
                     QStringLiteral("righe di tabella sconosciute \"%1\" (all, rows, none)")
                         .arg(p.value));
        } else if (k == u"line-width" && o->kind == TObjectKind::Table) {
            o->lineWidth = Numbers(p, 1, 1)[0];
        } else if (k == u"line-color" && o->kind == TObjectKind::Table) {
            o->borderColor = Color(p);
        } else if (k == u"alternate" && o->kind == TObjectKind::Table) {
            o->alternate = Color(p);
        } else if (k == u"grow") {
            o->grow = Flag(p);
        } else if (k == u"keep-together") {
            o->keepTogether = Flag(p);
        } else if (k == u"border") {
            o->borderWidth = Numbers(p, 1, 1)[0];
        } else if (k == u"border-color") {
            o->borderColor = Color(p);
        } else if (k == u"width" && (o->kind == TObjectKind::Line || o->kind == TObjectKind::Box)) {
            o->lineWidth = Numbers(p, 1, 1)[0];
        } else if (k == u"style" && (o->kind == TObjectKind::Line || o->kind == TObjectKind::Box)) {
            const QString s = p.value.toLower();
            if (s == u"solid")
                o->lineStyle = Qt::SolidLine;
            else if (s == u"dash")
                o->lineStyle = Qt::DashLine;
            else if (s == u"dot")
                o->lineStyle = Qt::DotLine;
            else if (s == u"none")
                o->lineStyle = Qt::NoPen;
            else
                Fail(p.line,
                     QStringLiteral("stile di linea sconosciuto \"%1\" (solid, dash, dot, "
                                    "none)")
                         .arg(p.value));
        } else if (k == u"radius" && o->kind == TObjectKind::Box) {
            o->radius = Numbers(p, 1, 1)[0];
        } else if (k == u"fit" && o->kind == TObjectKind::Image) {
            const QString f = p.value.toLower();
            if (f == u"proportional")
                o->fit = TImageFit::Proportional;
            else if (f == u"stretch")
                o->fit = TImageFit::Stretch;
            else if (f == u"none")
                o->fit = TImageFit::None;
            else
                Fail(p.line,
                     QStringLiteral("adattamento sconosciuto \"%1\" (proportional, "
                                    "stretch, none)")
                         .arg(p.value));
        } else if (k == u"anchor" && o->kind == TObjectKind::Image) {
            static const QStringList anchors = {QStringLiteral("top-left"),
                                                QStringLiteral("top"),
                                                QStringLiteral("top-right"),
                                                QStringLiteral("left"),
                                                QStringLiteral("center"),
                                                QStringLiteral("right"),
                                                QStringLiteral("bottom-left"),
                                                QStringLiteral("bottom"),
                                                QStringLiteral("bottom-right")};
            const int a = int(anchors.indexOf(p.value.toLower()));
            if (a < 0)
                Fail(p.line,
                     QStringLiteral("ancoraggio sconosciuto \"%1\" (%2)")
                         .arg(p.value, anchors.join(QStringLiteral(", "))));
            o->anchor = a;
        } else if (k == u"file" && o->kind == TObjectKind::Image) {
            o->imageFile = Unquote(p);
        } else if (k == u"kind" && o->kind == TObjectKind::Special) {
            static const QHash<QString, TSpecialKind> specials
                = {{QStringLiteral("page-number"), TSpecialKind::PageNumber},
                   {QStringLiteral("total-pages"), TSpecialKind::TotalPages},
                   {QStringLiteral("page-n-of-m"), TSpecialKind::PageNofM},
                   {QStringLiteral("print-date"), TSpecialKind::PrintDate},
                   {QStringLiteral("print-time"), TSpecialKind::PrintTime},
                   {QStringLiteral("record-number"), TSpecialKind::RecordNumber}};
            const QString s = p.value.toLower();
            if (!specials.contains(s))
                Fail(p.line,
                     QStringLiteral("campo speciale sconosciuto \"%1\" (page-number, "
                                    "total-pages, page-n-of-m, print-date, print-time, "
                                    "record-number)")
                         .arg(p.value));
            o->special = specials.value(s);
        } else if (k == u"report" && o->kind == TObjectKind::Subreport) {
            o->subreportName = Unquote(p);
        } else if (k == u"link" && o->kind == TObjectKind::Subreport) {
            for (const QString &part : p.value.split(u',', Qt::SkipEmptyParts)) {
                const QStringList sides = part.split(u'=');
                if (sides.size() != 2)
                    Fail(p.line,
                         QStringLiteral("collegamento non valido \"%1\" (campo_principale "
                                        "= campo_sottoreport)")
                             .arg(part.trimmed()));
                auto clean = [](QString s) {
                    s = s.trimmed();
                    if (s.startsWith(u'{') && s.endsWith(u'}'))
                        s = s.mid(1, s.size() - 2).trimmed();
                    return s;
                };
                TSubreportLink link{clean(sides.at(0)), clean(sides.at(1))};
                if (link.mainField.isEmpty() || link.subField.isEmpty())
                    Fail(p.line, QStringLiteral("collegamento non valido \"%1\"").arg(part));
                o->links.push_back(link);
            }
        } else if (k == u"suppress-blank" && o->kind == TObjectKind::Subreport) {
            o->suppressBlank = Flag(p);
        } else if (k == u"suppress") {
            o->suppress = Condition(p);
        } else {
            UnknownProperty(p, where);
        }
    }
    if (o->kind == TObjectKind::Line && hasFrom && hasTo) {
        o->rect = QRectF(from, to); // may have negative extent: a line from/to
        hasRect = true;
    }
    if (!hasRect)
        Fail(n.line,
             QStringLiteral("oggetto \"%1\" senza posizione (\"rect\"%2)")
                 .arg(o->name,
                      o->kind == TObjectKind::Line ? QStringLiteral(" o \"from\"/\"to\"")
                                                   : QString()));
    if ((o->kind == TObjectKind::Field || o->kind == TObjectKind::RichText) && !o->value)
        Fail(n.line, QStringLiteral("oggetto \"%1\" senza \"value\"").arg(o->name));
    if (o->kind == TObjectKind::Table) {
        if (o->columns.empty())
            Fail(n.line, QStringLiteral("tabella \"%1\" senza colonne (\"column\")").arg(o->name));
        double fixed = 0;
        int flexible = 0;
        for (const TTableColumn &c : o->columns) {
            fixed += c.width;
            flexible += c.width <= 0 ? 1 : 0;
        }
        if (fixed > o->rect.width() + 0.01 || (flexible > 0 && fixed >= o->rect.width() - 0.01))
            Fail(n.line,
                 QStringLiteral("le colonne della tabella \"%1\" sono più larghe della tabella "
                                "(%2 mm)")
                     .arg(o->name)
                     .arg(o->rect.width()));
    }
    if (o->kind == TObjectKind::Image && !o->value && o->imageFile.isEmpty())
        Fail(n.line, QStringLiteral("immagine \"%1\" senza \"value\" né \"file\"").arg(o->name));
    if (o->kind == TObjectKind::Subreport && o->subreportName.isEmpty())
        Fail(n.line, QStringLiteral("sottoreport \"%1\" senza \"report\"").arg(o->name));
    if (o->kind == TObjectKind::Subreport && section.isSubreport
        && SubreportBaseName(o->subreportName).compare(section.name, Qt::CaseInsensitive) == 0)
        Fail(n.line,
             QStringLiteral("il sottoreport \"%1\" non può contenere se stesso").arg(section.name));
    if (o->kind == TObjectKind::Image && !o->imageFile.isEmpty()) {
        QFileInfo fi(o->imageFile);
        if (fi.isRelative())
            o->imageFile = QFileInfo(m_fileName).absolutePath() + u'/' + o->imageFile;
    }
    return o;
}

Qt::Alignment DefinitionParser::Align(const Node &p) const
{
    const QString a = p.value.toLower();
    if (a == u"left")
        return Qt::AlignLeft;
    if (a == u"center" || a == u"centre")
        return Qt::AlignHCenter;
    if (a == u"right")
        return Qt::AlignRight;
    if (a == u"justify")
        return Qt::AlignJustify;
    Fail(p.line,
         QStringLiteral("allineamento sconosciuto \"%1\" (left, center, right, justify)")
             .arg(p.value));
}

Qt::Alignment DefinitionParser::VAlign(const Node &p) const
{
    const QString a = p.value.toLower();
    if (a == u"top")
        return Qt::AlignTop;
    if (a == u"middle" || a == u"center")
        return Qt::AlignVCenter;
    if (a == u"bottom")
        return Qt::AlignBottom;
    Fail(p.line,
         QStringLiteral("allineamento verticale sconosciuto \"%1\" (top, middle, bottom)")
             .arg(p.value));
}

double DefinitionParser::LineSpacing(const Node &p) const
{
    const double v = Numbers(p, 1, 1)[0];
    if (v < 0.8 || v > 3)
        Fail(p.line, QStringLiteral("interlinea fuori misura \"%1\" (da 0.8 a 3)").arg(p.value));
    return v;
}

double DefinitionParser::ParagraphSpacing(const Node &p) const
{
    const double v = Numbers(p, 1, 1)[0];
    if (v < 0 || v > 50)
        Fail(p.line,
             QStringLiteral("spazio tra i paragrafi fuori misura \"%1\" (da 0 a 50 mm)")
                 .arg(p.value));
    return v;
}

TTableColumn DefinitionParser::ReadColumn(const Node &n, const QString &table)
{
    TTableColumn c;
    c.line = n.line;
    c.name = n.value.trimmed();
    if (c.name.isEmpty())
        c.name = QStringLiteral("column@%1").arg(n.line);
    const QString where = QStringLiteral("colonna \"%1\" della tabella \"%2\"").arg(c.name, table);
    for (const Node &p : n.children) {
        if (!p.isProperty)
            UnknownProperty(p, where);
        const QString &k = p.key;
        if (k == u"width") {
            c.width = Numbers(p, 1, 1)[0];
            if (c.width <= 0)
                Fail(p.line, QStringLiteral("larghezza di colonna non positiva"));
        } else if (k == u"text") {
            c.text = Unquote(p);
        } else if (k == u"value") {
            c.value = Expression(p);
            if (UsesSpecial(*c.value, TSpecialValue::PageNumber)
                || UsesSpecial(*c.value, TSpecialValue::TotalPages))
                Fail(p.line,
                     QStringLiteral("una cella di tabella non può mostrare il numero di pagina"));
        } else if (k == u"format") {
            c.format = Unquote(p);
        } else if (k == u"font") {
            c.font = Font(p);
        } else if (k == u"color") {
            c.color = Color(p);
        } else if (k == u"background") {
            c.background = Color(p);
        } else if (k == u"align") {
            c.align = Align(p);
        } else if (k == u"valign") {
            c.valign = VAlign(p);
        } else if (k == u"wrap") {
            c.wrap = Flag(p);
        } else if (k == u"line-spacing") {
            c.lineSpacing = LineSpacing(p);
        } else if (k == u"paragraph-spacing") {
            c.paragraphSpacing = ParagraphSpacing(p);
        } else {
            UnknownProperty(p, where);
        }
    }
    return c;
}

void DefinitionParser::ReadBand(const Node &n, TReportSection &section)
{
    auto band = std::make_unique<TReportBand>();
    band->line = n.line;
    const QStringList args = n.value.split(u' ', Qt::SkipEmptyParts);
    static const QHash<QString, TBandKind> kinds
        = {{QStringLiteral("report-header"), TBandKind::ReportHeader},
           {QStringLiteral("page-header"), TBandKind::PageHeader},
           {QStringLiteral("group-header"), TBandKind::GroupHeader},
           {QStringLiteral("detail"), TBandKind::Detail},
           {QStringLiteral("group-footer"), TBandKind::GroupFooter},
           {QStringLiteral("page-footer"), TBandKind::PageFooter},
           {QStringLiteral("report-footer"), TBandKind::ReportFooter}};
    const QString kind = args.value(0).toLower();
    if (!kinds.contains(kind))
        Fail(n.line,
             QStringLiteral("banda sconosciuta \"%1\" (report-header, page-header, "
                            "group-header GRUPPO, detail, group-footer GRUPPO, "
                            "page-footer, report-footer)")
                 .arg(args.value(0)));
    band->kind = kinds.value(kind);
    if (band->kind == TBandKind::GroupHeader || band->kind == TBandKind::GroupFooter) {
        if (args.size() != 2)
            Fail(n.line, QStringLiteral("\"%1\" vuole il nome del gruppo").arg(kind));
        band->groupName = args.at(1);
    } else if (args.size() != 1) {
        Fail(n.line, QStringLiteral("testo inatteso dopo \"%1\"").arg(kind));
    }
    if (section.isSubreport
        && (band->kind == TBandKind::PageHeader || band->kind == TBandKind::PageFooter))
        Fail(n.line, QStringLiteral("un sottoreport non ha intestazione né piè di pagina"));
    band->name = QStringLiteral("%1@%2").arg(kind).arg(n.line);
    bool hasHeight = false;
    for (const Node &c : n.children) {
        if (!c.isProperty) {
            band->objects.push_back(ReadObject(c, section));
            continue;
        }
        if (c.key == u"height") {
            band->height = Numbers(c, 1, 1)[0];
            if (band->height < 0)
                Fail(c.line, QStringLiteral("altezza negativa"));
            hasHeight = true;
        } else if (c.key == u"name") {
            band->name = c.value.trimmed();
        } else if (c.key == u"suppress") {
            band->suppress = Condition(c);
        } else if (c.key == u"new-page-before") {
            band->newPageBefore = Condition(c);
        } else if (c.key == u"new-page-after") {
            band->newPageAfter = Condition(c);
        } else if (c.key == u"keep-together") {
            band->keepTogether = Flag(c);
        } else if (c.key == u"keep-with-next") {
            band->keepWithNext = Flag(c);
        } else if (c.key == u"columns" && band->kind == TBandKind::Detail) {
            const double cols = Numbers(c, 1, 1)[0];
            if (cols < 1 || cols > 12 || cols != std::floor(cols))
                Fail(c.line, QStringLiteral("\"columns\" vuole un numero intero da 1 a 12"));
            band->columns = int(cols);
        } else if (c.key == u"background") {
            band->background = Color(c);
        } else {
            UnknownProperty(c, QStringLiteral("banda \"%1\"").arg(kind));
        }
    }
    if (!hasHeight)
        Fail(n.line, QStringLiteral("banda \"%1\" senza \"height\"").arg(kind));
    section.bands.push_back(std::move(band));
}

void DefinitionParser::ReadSectionChild(const Node &c, TReportSection &section)
{
    if (c.isProperty) {
        if (c.key == u"sort" && section.isSubreport) {
            section.sort = ReadSort(c);
            return;
        }
        if (c.key == u"data" && section.isSubreport) {
            section.dataName = SubreportBaseName(Unquote(c));
            if (section.dataName.isEmpty())
                Fail(c.line, QStringLiteral("nome dei dati mancante"));
            return;
        }
        UnknownProperty(c,
                        section.isSubreport ? QStringLiteral("sottoreport \"%1\"").arg(section.name)
                                            : QStringLiteral("primo livello del file"));
    }
    if (c.key == u"group")
        ReadGroup(c, section);
    else if (c.key == u"band")
        ReadBand(c, section);
    else if (c.key == u"formula" && section.isSubreport)
        section.formulas.push_back(ReadFormula(c));
    else
        UnknownProperty(c, QStringLiteral("sottoreport \"%1\"").arg(section.name));
}

void DefinitionParser::ReadSubreport(const Node &n)
{
    auto s = std::make_unique<TReportSection>();
    s->isSubreport = true;
    s->name = SubreportBaseName(n.value);
    s->line = n.line;
    if (s->name.isEmpty() || s->name.contains(u' '))
        Fail(n.line, QStringLiteral("nome del sottoreport mancante o non valido"));
    if (m_def->FindSubreport(s->name))
        Fail(n.line, QStringLiteral("sottoreport \"%1\" ripetuto").arg(s->name));
    for (const Node &c : n.children)
        ReadSectionChild(c, *s);
    m_def->subreports.push_back(std::move(s));
}

void DefinitionParser::Link(TReportSection &section)
{
    const QString where = section.isSubreport
                              ? QStringLiteral(" del sottoreport \"%1\"").arg(section.name)
                              : QString();
    for (const auto &b : section.bands) {
        if (b->kind != TBandKind::GroupHeader && b->kind != TBandKind::GroupFooter)
            continue;
        TReportGroup *group = nullptr;
        for (auto &g : section.groups) {
            if (g.name.compare(b->groupName, Qt::CaseInsensitive) == 0)
                group = &g;
        }
        if (!group)
            Fail(b->line, QStringLiteral("gruppo \"%1\" non definito%2").arg(b->groupName, where));
        if (b->kind == TBandKind::GroupHeader)
            group->headers.push_back(b.get());
        else
            group->footers.push_back(b.get());
    }
    for (const auto &b : section.bands) {
        for (const auto &o : b->objects) {
            if (o->kind == TObjectKind::Subreport && !m_def->FindSubreport(o->subreportName))
                Fail(o->line,
                     QStringLiteral("sottoreport \"%1\" non definito nel file")
                         .arg(o->subreportName));
        }
    }
}

void DefinitionParser::CheckReferences(TReportSection &section,
                                       const std::vector<TFormulaDef> &local)
{
    auto check = [&](const TExprPtr &e, int line) {
        if (!e)
            return;
        QStringList formulas;
        CollectFormulas(*e, formulas);
        for (const QString &f : formulas) {
            bool found = m_def->FindFormula(f) != nullptr;
            for (const auto &l : local)
                found = found || l.name.compare(f, Qt::CaseInsensitive) == 0;
            if (!found)
                Fail(line, QStringLiteral("formula \"%1\" non definita").arg(f));
        }
        QStringList params;
        CollectParameters(*e, params);
        for (const QString &p : params) {
            if (!m_def->FindParameter(p))
                Fail(line,
                     QStringLiteral("parametro \"%1\" non dichiarato (aggiungere un blocco "
                                    "\"parameter %1\")")
                         .arg(p));
        }
    };
    for (const auto &f : local)
        check(f.expr, f.line);
    for (const auto &b : section.bands) {
        check(b->suppress, b->line);
        check(b->newPageBefore, b->line);
        check(b->newPageAfter, b->line);
        for (const auto &o : b->objects) {
            check(o->value, o->line);
            check(o->suppress, o->line);
            for (const TTableColumn &c : o->columns)
                check(c.value, c.line);
        }
    }
}

void DefinitionParser::CheckFormulaCycles()
{
    // Depth-first walk over global formulas (local formulas may call globals, not the reverse).
    QHash<QString, int> state; // 1 visiting, 2 done
    std::function<void(const TFormulaDef &)> visit = [&](const TFormulaDef &f) {
        const QString key = f.name.toLower();
        if (state.value(key) == 2)
            return;
        if (state.value(key) == 1)
            Fail(f.line, QStringLiteral("la formula \"%1\" richiama se stessa").arg(f.name));
        state[key] = 1;
        QStringList refs;
        CollectFormulas(*f.expr, refs);
        for (const QString &r : refs) {
            if (TFormulaDef *g = m_def->FindFormula(r))
                visit(*g);
        }
        state[key] = 2;
    };
    for (const auto &f : m_def->formulas)
        visit(f);
    for (const auto &s : m_def->subreports) {
        for (const auto &f : s->formulas) {
            QStringList refs;
            CollectFormulas(*f.expr, refs);
            if (refs.contains(f.name, Qt::CaseInsensitive))
                Fail(f.line, QStringLiteral("la formula \"%1\" richiama se stessa").arg(f.name));
        }
    }
}

std::unique_ptr<TReportDefinition> DefinitionParser::Run()
{
    m_def = std::make_unique<TReportDefinition>();
    m_def->fileName = m_fileName;
    m_def->source = m_source;
    m_def->font.family = QStringLiteral("Liberation Sans");
    m_def->font.pointSize = 10;
    m_def->main.name = QFileInfo(m_fileName).completeBaseName();
    const std::vector<Node> roots = ReadNodes();
    if (roots.empty())
        Fail(1, QStringLiteral("il file è vuoto"));
    // Parameters and formulas first, so that bands may refer to those declared later.
    for (const Node &n : roots) {
        if (n.isProperty)
            Fail(n.line, QStringLiteral("proprietà \"%1\" fuori da un blocco").arg(n.key));
        if (n.key == u"report") {
            ReadReport(n);
        } else if (n.key == u"parameter") {
            ReadParameter(n);
        } else if (n.key == u"formula") {
            TFormulaDef f = ReadFormula(n);
            if (m_def->FindFormula(f.name))
                Fail(n.line, QStringLiteral("formula \"%1\" ripetuta").arg(f.name));
            m_def->formulas.push_back(f);
        }
    }
    if (!m_sawReport)
        Fail(roots.front().line, QStringLiteral("manca il blocco \"report\""));
    for (const Node &n : roots) {
        if (n.key == u"report" || n.key == u"parameter" || n.key == u"formula")
            continue;
        if (n.key == u"subreport")
            ReadSubreport(n);
        else if (n.key == u"group" || n.key == u"band")
            ReadSectionChild(n, m_def->main);
        else
            Fail(n.line,
                 QStringLiteral("blocco sconosciuto \"%1\" (report, parameter, formula, "
                                "group, band, subreport)")
                     .arg(n.key));
    }
    Link(m_def->main);
    CheckReferences(m_def->main, {});
    for (const auto &s : m_def->subreports) {
        Link(*s);
        CheckReferences(*s, s->formulas);
    }
    for (const auto &f : m_def->formulas) {
        QStringList params;
        CollectParameters(*f.expr, params);
        for (const QString &p : params) {
            if (!m_def->FindParameter(p))
                Fail(f.line, QStringLiteral("parametro \"%1\" non dichiarato").arg(p));
        }
    }
    CheckFormulaCycles();
    return std::move(m_def);
}

} // namespace

std::unique_ptr<TReportDefinition> ParseReportDefinition(const QString &source,
                                                         const QString &fileName)
{
    DefinitionParser p(source, fileName);
    return p.Run();
}

std::unique_ptr<TReportDefinition> LoadReportDefinition(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("Impossibile leggere il file di report \"%1\": %2")
                               .arg(fileName, f.errorString()));
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        throw EReportError(
            QStringLiteral("File di report \"%1\": il testo non è in UTF-8").arg(fileName));
    return ParseReportDefinition(text, fileName);
}
