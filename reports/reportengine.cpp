#include "reports/reportengine.h"

#include "common/formats.h"
#include "db/dataset.h"
#include "reports/reportlayout.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QTextDocument>

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace {

constexpr double kEpsilon = 0.01; // dots
constexpr int kMaxFormulaDepth = 64;
constexpr int kMaxSubreportDepth = 4;

// The rows a section prints and where its groups break.
struct TSectionRun
{
    const TReportSection *section = nullptr;
    TDataSet *data = nullptr;    // Not owned (a view owned by the renderer); null without data
    std::vector<int> rows;       // rows of `data` in print order
    std::vector<int> breakLevel; // per position: the outermost group that starts there
    std::vector<int> groupColumns;
    std::vector<TGroupCondition> conditions;
    QString dataLabel; // "report principale", "sottoreport \"X\""

    int Count() const { return int(rows.size()); }
};
using TRunPtr = std::shared_ptr<const TSectionRun>;

// Where an expression is evaluated: a row of a section and the rows its aggregates cover.
struct TSnapshot
{
    TRunPtr run;
    int pos = -1;
    int aggBegin = 0;
    int aggEnd = 0;
};

struct TOpenGroup
{
    int level = 0;
    int begin = 0;
    int end = 0;
};
using TOpenGroups = std::vector<TOpenGroup>;

struct TBlock
{
    double height = 0;             // dots
    std::vector<TPrimitive> items; // y from the block's top, x on the page
    bool keepTogether = false;
    bool newPageBefore = false;
    bool newPageAfter = false;
    bool reportHeader = false;
    TSnapshot mainCtx; // the main report's row, for page headers and footers
    std::shared_ptr<const TOpenGroups> openGroups;
};

struct TFlowItem
{
    std::unique_ptr<TBlock> block;
    std::vector<TFlowItem> children;
    bool keepTogether = false;

    double Height() const
    {
        if (block)
            return block->height;
        double h = 0;
        for (const auto &c : children)
            h += c.Height();
        return h;
    }
    TBlock *FirstLeaf()
    {
        if (block)
            return block.get();
        for (auto &c : children) {
            if (TBlock *b = c.FirstLeaf())
                return b;
        }
        return nullptr;
    }
};

struct TCollector
{
    std::vector<TFlowItem> items;
    std::vector<TFlowItem> chain; // blocks kept with the next one (group headers)
    bool keepTogether = false;
};

} // namespace

struct TLateText
{
    const TReportObject *object = nullptr;
    TSnapshot ctx;
};

namespace {

class TRenderer;

class TEval : public TExprContext
{
public:
    TEval(TRenderer *r, TSnapshot s, int page)
        : m_r(r)
        , s(std::move(s))
        , page(page)
    {}

    QVariant FieldValue(const TExprNode &field) override;
    QVariant ParameterValue(const QString &name) override;
    QVariant FormulaValue(const QString &name) override;
    QVariant SpecialValue(TSpecialValue which) override;
    QVariant AggregateValue(const TExprNode &call) override;

    QVariant Eval(const TExprPtr &e) { return e ? EvaluateExpression(*e, *this) : QVariant(); }
    bool IsTrue(const TExprPtr &e) { return e && ValueIsTrue(Eval(e)); }

    TRenderer *m_r;
    TSnapshot s;
    int page = 1;
    int totalPages = 0; // 0 while unknown
    int depth = 0;
};

struct TAggKey
{
    const void *node;
    const void *run;
    int begin;
    int end;
    bool operator==(const TAggKey &o) const
    {
        return node == o.node && run == o.run && begin == o.begin && end == o.end;
    }
};
struct TAggKeyHash
{
    size_t operator()(const TAggKey &k) const
    {
        return std::hash<const void *>()(k.node) ^ (std::hash<const void *>()(k.run) << 1)
               ^ (size_t(k.begin) * 31) ^ (size_t(k.end) * 131);
    }
};

class TRenderer
{
public:
    TRenderer(const TReportDefinition &def, const TReportInput &input)
        : m_def(def)
        , m_input(input)
    {}

    std::unique_ptr<TReportDocument> Run();

    // Used by TEval.
    QVariant Parameter(const QString &name) const { return m_params.value(name.toLower()); }
    const TExprPtr *Formula(const TSectionRun *run, const QString &name) const;
    QVariant Aggregate(TEval &ev, const TExprNode &call);
    QDateTime PrintTime() const { return m_printTime; }
    [[noreturn]] void Fail(int line, const QString &where, const QString &text) const;
    QString FileLabel() const { return QFileInfo(m_def.fileName).fileName(); }

private:
    // Binding.
    void BindParameters();
    void BindFormulas();
    std::unique_ptr<TDataSet> MakeView(TDataSet *source,
                                       const TReportSection &section,
                                       const std::vector<TSortRequest> &extra,
                                       const QString &label);
    std::vector<int> OrderRows(TDataSet *view, const TReportSection &section);
    void CheckFields(const TReportSection &section, TDataSet *data, const QString &label);
    void CheckLinks();
    std::shared_ptr<TSectionRun> MakeRun(const TReportSection &section,
                                         TDataSet *data,
                                         std::vector<int> rows,
                                         const QString &label);
    const std::vector<int> &LinkedRows(const TReportSection &sub,
                                       TDataSet *data,
                                       const TReportObject &obj,
                                       TEval &parent);

    // Emission.
    void RunSection(const TRunPtr &run, double x, double width, const TSnapshot &mainCtx, int depth);
    void EmitBand(const TReportBand &band,
                  TEval &ev,
                  double x,
                  double width,
                  const TSnapshot &mainCtx,
                  bool reportHeader,
                  bool keepWithNext,
                  int depth);
    std::unique_ptr<TBlock> BuildBlock(const TReportBand &band,
                                       const std::vector<const TReportObject *> &objects,
                                       double segTopMm,
                                       double segHeightMm,
                                       TEval &ev,
                                       double x,
                                       double width,
                                       bool allowGrow);
    QString ObjectText(const TReportObject &o, TEval &ev);
    std::shared_ptr<const TTextStyle> StyleOf(const TReportObject &o);
    QFont FontOf(const TFontSpec &font) const;
    QByteArray ImageBytes(const TReportObject &o, TEval &ev, QSize *size);
    void Emit(TFlowItem item, bool keepWithNext);
    void Deliver(TFlowItem item);
    void PushCollector(bool keepTogether);
    void PopCollector(bool keepWithNext);
    void FlushChain(TCollector &c);
    std::shared_ptr<const TOpenGroups> OpenGroupsSnapshot();

    // Placement.
    void Place(TFlowItem &item);
    void PlaceLeaf(std::unique_ptr<TBlock> block);
    void Put(TBlock &block, bool body);
    void NewPage(const TBlock *next);
    void FinishPage();
    void EnsurePageHeader(const TBlock &next);
    void PlacePageBands(TBandKind kind, const TSnapshot &ctx, double y);
    void PlaceRepeatedHeaders(const TBlock &next);
    double Remaining() const;
    double FullBody() const;
    double FindSplit(const TBlock &block, double limit, bool forced) const;
    std::unique_ptr<TBlock> SplitAt(TBlock &block, double cut) const;
    void ResolveLateTexts();

    const TReportDefinition &m_def;
    const TReportInput &m_input;
    QDateTime m_printTime;
    QHash<QString, QVariant> m_params;   // lower-case name -> converted value
    QHash<QString, TExprPtr> m_formulas; // global formulas, lower-case name
    std::vector<std::unique_ptr<TDataSet>> m_views;
    TDataSet *m_mainView = nullptr;
    QHash<const TReportSection *, TDataSet *> m_subViews;
    QHash<const TReportSection *, std::vector<int>> m_subOrder; // rows of each view in order
    std::vector<int> m_mainOrder;
    // Caller's order of the rows of each view (row id -> position), kept for groups that keep
    // the data's order.
    QHash<const TDataSet *, QHash<qint64, int>> m_callerPos;
    std::vector<TGroupCondition> m_mainConditions;
    const std::vector<int> m_noRows;
    std::unordered_map<std::string, QHash<QString, std::vector<int>>> m_linkIndex;
    std::unordered_map<const TReportObject *, std::shared_ptr<const TTextStyle>> m_styles;
    std::unordered_map<TAggKey, QVariant, TAggKeyHash> m_aggCache;
    QHash<QString, QByteArray> m_fileImages;

    // Emission state.
    std::vector<TCollector> m_collectors;
    TOpenGroups m_openGroups;
    std::shared_ptr<const TOpenGroups> m_openGroupsShared;
    bool m_breakBeforeNext = false;
    TRunPtr m_mainRun;

    // Placement state.
    std::unique_ptr<TReportDocument> m_doc;
    double m_pageW = 0, m_pageH = 0, m_left = 0, m_top = 0, m_bodyWidth = 0;
    double m_footerReserve = 0;
    double m_headerEstimate = 0;
    double m_y = 0;
    double m_bodyTop = 0; // below the page header of the current page
    bool m_pageHasBody = false;
    bool m_pageHeaderPending = false;
    bool m_breakPending = false;
    TSnapshot m_lastCtx;
    bool m_lastCtxSet = false;
};

// ---------------------------------------------------------------------------------------------
// Evaluation

QVariant TEval::FieldValue(const TExprNode &field)
{
    const TSectionRun *run = s.run.get();
    if (!run || !run->data || s.pos < 0 || s.pos >= run->Count())
        return QVariant();
    if (field.cacheData != run->data) {
        field.cacheColumn = run->data->FieldIndex(field.name);
        field.cacheData = run->data;
    }
    if (field.cacheColumn < 0)
        m_r->Fail(0,
                  QString(),
                  QStringLiteral("il campo \"%1\" non esiste nei dati del %2")
                      .arg(field.name, run->dataLabel));
    return run->data->ValueAt(run->rows[size_t(s.pos)], field.cacheColumn);
}

QVariant TEval::ParameterValue(const QString &name)
{
    return m_r->Parameter(name);
}

QVariant TEval::FormulaValue(const QString &name)
{
    const TExprPtr *f = m_r->Formula(s.run.get(), name);
    if (!f || !*f)
        return QVariant();
    if (++depth > kMaxFormulaDepth)
        m_r->Fail(0, QString(), QStringLiteral("la formula \"%1\" richiama se stessa").arg(name));
    const QVariant v = EvaluateExpression(**f, *this);
    --depth;
    return v;
}

QVariant TEval::SpecialValue(TSpecialValue which)
{
    switch (which) {
    case TSpecialValue::PageNumber:
        return QVariant(qlonglong(page));
    case TSpecialValue::TotalPages:
        return QVariant(qlonglong(totalPages > 0 ? totalPages : page));
    case TSpecialValue::PrintDate:
        return QVariant(m_r->PrintTime().date());
    case TSpecialValue::PrintTime:
        return QVariant(m_r->PrintTime().time());
    case TSpecialValue::RecordNumber:
        return QVariant(qlonglong(s.pos + 1));
    }
    return QVariant();
}

QVariant TEval::AggregateValue(const TExprNode &call)
{
    return m_r->Aggregate(*this, call);
}

QVariant TRenderer::Aggregate(TEval &ev, const TExprNode &call)
{
    const TSectionRun *run = ev.s.run.get();
    if (!run)
        return QVariant();
    const TAggKey key{&call, run, ev.s.aggBegin, ev.s.aggEnd};
    const auto cached = m_aggCache.find(key);
    if (cached != m_aggCache.end())
        return cached->second;
    QVariant result;
    if (call.name == u"count" && call.args.empty()) {
        result = QVariant(qlonglong(qMax(0, ev.s.aggEnd - ev.s.aggBegin)));
    } else {
        TEval row = ev;
        double sum = 0;
        qlonglong count = 0;
        QVariant best;
        bool integers = true;
        for (int pos = ev.s.aggBegin; pos < ev.s.aggEnd; ++pos) {
            row.s.pos = pos;
            const QVariant v = EvaluateExpression(*call.args[0], row);
            if (!v.isValid() || v.isNull())
                continue;
            ++count;
            if (call.name == u"sum" || call.name == u"avg") {
                bool ok = false;
                sum += ValueToNumber(v, &ok);
                integers = integers
                           && (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int);
            } else if (call.name == u"min") {
                if (!best.isValid() || CompareValues(v, best) < 0)
                    best = v;
            } else if (call.name == u"max") {
                if (!best.isValid() || CompareValues(v, best) > 0)
                    best = v;
            }
        }
        if (call.name == u"sum")
            result = integers ? QVariant(qlonglong(sum)) : QVariant(sum);
        else if (call.name == u"avg")
            result = count ? QVariant(sum / double(count)) : QVariant();
        else if (call.name == u"count")
            result = QVariant(count);
        else
            result = best;
    }
    m_aggCache.emplace(key, result);
    return result;
}

const TExprPtr *TRenderer::Formula(const TSectionRun *run, const QString &name) const
{
    if (run && run->section) {
        for (const auto &f : run->section->formulas) {
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                return &f.expr;
        }
    }
    const auto it = m_formulas.constFind(name.toLower());
    return it == m_formulas.constEnd() ? nullptr : &it.value();
}

void TRenderer::Fail(int line, const QString &where, const QString &text) const
{
    QString msg = QStringLiteral("Report \"%1\"").arg(FileLabel());
    if (line > 0)
        msg += QStringLiteral(", riga %1").arg(line);
    if (!where.isEmpty())
        msg += QStringLiteral(", ") + where;
    throw EReportError(msg + QStringLiteral(": ") + text);
}

// ---------------------------------------------------------------------------------------------
// Binding

void TRenderer::BindParameters()
{
    for (const auto &p : m_def.parameters) {
        QVariant v;
        if (p.defaultValue.isValid())
            v = ConvertParameter(p, p.defaultValue, FileLabel());
        m_params.insert(p.name.toLower(), v);
    }
    for (const auto &[name, value] : m_input.parameters) {
        const TParameterDef *p = m_def.FindParameter(name);
        if (!p)
            continue; // a parameter the report does not have is ignored
        m_params.insert(p->name.toLower(), ConvertParameter(*p, value, FileLabel()));
    }
}

void TRenderer::BindFormulas()
{
    for (const auto &f : m_def.formulas)
        m_formulas.insert(f.name.toLower(), f.expr);
    for (const auto &[name, text] : m_input.formulas) {
        const TFormulaDef *f = nullptr;
        for (const auto &g : m_def.formulas) {
            if (g.name.compare(name, Qt::CaseInsensitive) == 0)
                f = &g;
        }
        if (!f)
            continue;
        TExprPtr e;
        try {
            e = ParseExpression(text);
        } catch (const EExprError &err) {
            if (!f->isText)
                Fail(f->line,
                     QStringLiteral("formula \"%1\"").arg(f->name),
                     QStringLiteral("testo non valido \"%1\": %2").arg(text, err.text()));
            // A text formula given as bare text: taken as a literal.
            e = LiteralExpression(QVariant(text));
        }
        QStringList params;
        CollectParameters(*e, params);
        for (const QString &p : params) {
            if (!m_def.FindParameter(p))
                Fail(f->line,
                     QStringLiteral("formula \"%1\"").arg(f->name),
                     QStringLiteral("parametro \"%1\" non dichiarato").arg(p));
        }
        m_formulas.insert(f->name.toLower(), e);
    }
}

std::unique_ptr<TDataSet> TRenderer::MakeView(TDataSet *source,
                                              const TReportSection &section,
                                              const std::vector<TSortRequest> &extra,
                                              const QString &label)
{
    if (!source->Active())
        Fail(0, QString(), QStringLiteral("i dati del %1 non sono aperti").arg(label));
    std::unique_ptr<TDataSet> view = source->Clone();
    bool keepsOrder = false;
    for (const auto &g : section.groups)
        keepsOrder = keepsOrder || g.order == TReportSortOrder::Original;
    if (keepsOrder) {
        QHash<qint64, int> &pos = m_callerPos[view.get()];
        const int n = view->RecordCount();
        for (int i = 0; i < n; ++i)
            pos.insert(view->BookmarkAt(i).rowId, i);
    }
    QStringList keys;
    auto add = [&](const QString &field, TReportSortOrder order, int line, const QString &where) {
        if (order == TReportSortOrder::Original)
            return;
        const int col = view->FieldIndex(field);
        if (col < 0)
            Fail(line,
                 where,
                 QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(field, label));
        const QString name = view->FieldDefs()[size_t(col)].name;
        for (const QString &k : keys) {
            if (k.section(u' ', 0, 0).compare(name, Qt::CaseInsensitive) == 0)
                return;
        }
        keys << name
                    + (order == TReportSortOrder::Descending ? QStringLiteral(" DESC")
                                                             : QStringLiteral(" ASC"));
    };
    for (const auto &g : section.groups)
        add(g.field, g.order, g.line, QStringLiteral("gruppo \"%1\"").arg(g.name));
    for (const auto &s : section.sort)
        add(s.field, s.order, section.line, QStringLiteral("ordinamento"));
    for (const auto &s : extra)
        add(s.field, s.order, 0, QStringLiteral("ordinamento richiesto"));
    if (!keys.isEmpty()) {
        // The order the caller gave the rows decides among equal keys.
        const QString callerSort = view->Sort().trimmed();
        QString expr = keys.join(QStringLiteral(", "));
        if (!callerSort.isEmpty())
            expr += QStringLiteral(", ") + callerSort;
        try {
            view->SetSort(expr);
        } catch (const EDataSetError &e) {
            Fail(0, QString(), QStringLiteral("ordinamento non valido: %1").arg(e.text()));
        }
    }
    return view;
}

std::vector<int> TRenderer::OrderRows(TDataSet *view, const TReportSection &section)
{
    std::vector<int> rows(size_t(view ? view->RecordCount() : 0));
    for (int i = 0; i < int(rows.size()); ++i)
        rows[size_t(i)] = i;
    const auto posIt = m_callerPos.constFind(view);
    if (!view || posIt == m_callerPos.constEnd())
        return rows;
    // Groups in original order come in the order their values first appear in the caller's
    // rows; the other groups and the sort fields order the rows inside them (the view is
    // sorted by those already, so a stable sort keeps that order).
    const QHash<qint64, int> &callerPos = posIt.value();
    struct Level
    {
        int column;
        bool original;
        bool descending;
        QHash<QString, int> firstSeen;
    };
    std::vector<Level> levels;
    for (const auto &g : section.groups)
        levels.push_back({view->FieldIndex(g.field),
                          g.order == TReportSortOrder::Original,
                          g.order == TReportSortOrder::Descending,
                          {}});
    std::vector<int> byCaller(rows.size());
    for (int r = 0; r < int(rows.size()); ++r)
        byCaller[size_t(callerPos.value(view->BookmarkAt(r).rowId))] = r;
    for (int r : byCaller) {
        QString prefix;
        for (Level &l : levels) {
            prefix += ValueToText(view->ValueAt(r, l.column)).toUpper() + QChar(0x1F);
            if (l.original && !l.firstSeen.contains(prefix))
                l.firstSeen.insert(prefix, int(l.firstSeen.size()));
        }
    }
    std::vector<std::vector<QVariant>> keys(rows.size());
    for (int r = 0; r < int(rows.size()); ++r) {
        QString prefix;
        for (const Level &l : levels) {
            const QVariant v = view->ValueAt(r, l.column);
            prefix += ValueToText(v).toUpper() + QChar(0x1F);
            keys[size_t(r)].push_back(l.original ? QVariant(l.firstSeen.value(prefix)) : v);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (size_t i = 0; i < levels.size(); ++i) {
            const int c = CompareValues(keys[size_t(a)][i], keys[size_t(b)][i]);
            if (c != 0)
                return levels[i].descending ? c > 0 : c < 0;
        }
        return false;
    });
    return rows;
}

void TRenderer::CheckFields(const TReportSection &section, TDataSet *data, const QString &label)
{
    if (!data)
        return;
    // Formulas are followed; each is checked once per section.
    QStringList seenFormulas;
    std::function<void(const TExprPtr &, int, const QString &)> check = [&](const TExprPtr &e,
                                                                            int line,
                                                                            const QString &where) {
        if (!e)
            return;
        QStringList fields;
        CollectFields(*e, fields);
        for (const QString &f : fields) {
            if (data->FieldIndex(f) < 0)
                Fail(line,
                     where,
                     QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(f, label));
        }
        QStringList formulas;
        CollectFormulas(*e, formulas);
        for (const QString &name : formulas) {
            if (seenFormulas.contains(name, Qt::CaseInsensitive))
                continue;
            seenFormulas << name;
            int fline = 0;
            for (const auto &lf : section.formulas) {
                if (lf.name.compare(name, Qt::CaseInsensitive) == 0)
                    fline = lf.line;
            }
            for (const auto &gf : m_def.formulas) {
                if (fline == 0 && gf.name.compare(name, Qt::CaseInsensitive) == 0)
                    fline = gf.line;
            }
            TSectionRun probe;
            probe.section = &section;
            if (const TExprPtr *fe = Formula(&probe, name))
                check(*fe, fline, QStringLiteral("formula \"%1\"").arg(name));
        }
    };
    for (const auto &b : section.bands) {
        check(b->suppress, b->line, QString());
        check(b->newPageBefore, b->line, QString());
        check(b->newPageAfter, b->line, QString());
        for (const auto &o : b->objects) {
            const QString where = QStringLiteral("oggetto \"%1\"").arg(o->name);
            check(o->value, o->line, where);
            check(o->suppress, o->line, where);
            for (const auto &l : o->links) {
                if (data->FieldIndex(l.mainField) < 0)
                    Fail(o->line,
                         where,
                         QStringLiteral(
                             "il campo di collegamento \"%1\" non esiste nei dati del %2")
                             .arg(l.mainField, label));
            }
        }
    }
    for (const auto &g : section.groups) {
        if (data->FieldIndex(g.field) < 0)
            Fail(g.line,
                 QStringLiteral("gruppo \"%1\"").arg(g.name),
                 QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(g.field, label));
    }
}

void TRenderer::CheckLinks()
{
    // Link fields of subreport objects must exist in the subreport's data.
    auto walk = [&](const TReportSection &section) {
        for (const auto &b : section.bands) {
            for (const auto &o : b->objects) {
                if (o->kind != TObjectKind::Subreport)
                    continue;
                const TReportSection *sub = m_def.FindSubreport(o->subreportName);
                TDataSet *data = sub ? m_subViews.value(sub) : nullptr;
                if (!data)
                    continue;
                for (const auto &l : o->links) {
                    if (data->FieldIndex(l.subField) < 0)
                        Fail(o->line,
                             QStringLiteral("oggetto \"%1\"").arg(o->name),
                             QStringLiteral("il campo di collegamento \"%1\" non esiste nei dati "
                                            "del sottoreport \"%2\"")
                                 .arg(l.subField, sub->name));
                }
            }
        }
    };
    walk(m_def.main);
    for (const auto &s : m_def.subreports)
        walk(*s);
}

std::shared_ptr<TSectionRun> TRenderer::MakeRun(const TReportSection &section,
                                                TDataSet *data,
                                                std::vector<int> rows,
                                                const QString &label)
{
    auto run = std::make_shared<TSectionRun>();
    run->section = &section;
    run->data = data;
    run->rows = std::move(rows);
    run->dataLabel = label;
    const int groups = int(section.groups.size());
    for (int i = 0; i < groups; ++i) {
        const TReportGroup &g = section.groups[size_t(i)];
        run->groupColumns.push_back(data ? data->FieldIndex(g.field) : -1);
        TGroupCondition cond = g.condition;
        if (!section.isSubreport && size_t(i) < m_mainConditions.size())
            cond = m_mainConditions[size_t(i)];
        run->conditions.push_back(cond);
    }
    const int n = run->Count();
    run->breakLevel.assign(size_t(n), groups);
    if (n > 0)
        run->breakLevel[0] = 0;
    if (!data || groups == 0)
        return run;

    auto periodKey = [](const QVariant &v, TGroupCondition c) -> qint64 {
        if (!v.isValid() || v.isNull())
            return std::numeric_limits<qint64>::min();
        QDateTime dt = v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0))
                                                      : v.toDateTime();
        if (!dt.isValid())
            return std::numeric_limits<qint64>::min();
        const QDate d = dt.date();
        const qint64 jd = d.toJulianDay();
        switch (c) {
        case TGroupCondition::Daily:
            return jd;
        case TGroupCondition::Weekly:
            return (jd + 1) / 7;
        case TGroupCondition::Biweekly:
            return (jd + 1) / 14;
        case TGroupCondition::Semimonthly:
            return qint64(d.year()) * 24 + (d.month() - 1) * 2 + (d.day() > 15 ? 1 : 0);
        case TGroupCondition::Monthly:
            return qint64(d.year()) * 12 + d.month();
        case TGroupCondition::Quarterly:
            return qint64(d.year()) * 4 + (d.month() - 1) / 3;
        case TGroupCondition::SemiAnnually:
            return qint64(d.year()) * 2 + (d.month() - 1) / 6;
        case TGroupCondition::Annually:
            return d.year();
        case TGroupCondition::BySecond:
            return dt.toMSecsSinceEpoch() / 1000;
        case TGroupCondition::ByMinute:
            return dt.toMSecsSinceEpoch() / 60000;
        case TGroupCondition::ByHour:
            return dt.toMSecsSinceEpoch() / 3600000;
        case TGroupCondition::ByAMPM:
            return jd * 2 + (dt.time().hour() >= 12 ? 1 : 0);
        default:
            return 0;
        }
    };
    auto breaks = [&](const QVariant &prev, const QVariant &cur, TGroupCondition c) {
        switch (c) {
        case TGroupCondition::AnyValue:
            return CompareValues(prev, cur) != 0;
        case TGroupCondition::ToYes:
            return !ValueIsTrue(prev) && ValueIsTrue(cur);
        case TGroupCondition::ToNo:
            return ValueIsTrue(prev) && !ValueIsTrue(cur);
        case TGroupCondition::EveryYes:
            return ValueIsTrue(prev);
        case TGroupCondition::EveryNo:
            return !ValueIsTrue(prev);
        case TGroupCondition::NextIsYes:
            return ValueIsTrue(cur);
        case TGroupCondition::NextIsNo:
            return !ValueIsTrue(cur);
        default:
            return periodKey(prev, c) != periodKey(cur, c);
        }
    };
    std::vector<QVariant> prev(static_cast<size_t>(groups));
    for (int pos = 0; pos < n; ++pos) {
        const int row = run->rows[size_t(pos)];
        int level = groups;
        for (int g = 0; g < groups; ++g) {
            const QVariant v = data->ValueAt(row, run->groupColumns[size_t(g)]);
            if (pos > 0 && level == groups && breaks(prev[size_t(g)], v, run->conditions[size_t(g)]))
                level = g;
            prev[size_t(g)] = v;
        }
        if (pos > 0)
            run->breakLevel[size_t(pos)] = level;
    }
    return run;
}

const std::vector<int> &TRenderer::LinkedRows(const TReportSection &sub,
                                              TDataSet *data,
                                              const TReportObject &obj,
                                              TEval &parent)
{
    auto keyOf = [](const QVariant &v) {
        if (!v.isValid() || v.isNull())
            return QString();
        if (ValueIsNumber(v))
            return QString::number(v.toDouble(), 'g', 15);
        return ValueToText(v).trimmed().toUpper();
    };
    std::string indexKey = QString::number(quintptr(&sub)).toStdString();
    QStringList subFields;
    for (const auto &l : obj.links)
        subFields << l.subField.toLower();
    indexKey += '|' + subFields.join(u',').toStdString();
    auto it = m_linkIndex.find(indexKey);
    if (it == m_linkIndex.end()) {
        QHash<QString, std::vector<int>> index;
        std::vector<int> cols;
        for (const auto &l : obj.links)
            cols.push_back(data->FieldIndex(l.subField));
        for (int row : m_subOrder.value(&sub)) {
            QStringList parts;
            for (int c : cols)
                parts << keyOf(data->ValueAt(row, c));
            index[parts.join(QChar(0x1F))].push_back(row);
        }
        it = m_linkIndex.emplace(indexKey, std::move(index)).first;
    }
    QStringList parts;
    for (const auto &l : obj.links) {
        TExprNode field;
        field.kind = TExprKind::Field;
        field.name = l.mainField;
        parts << keyOf(parent.FieldValue(field));
    }
    const auto found = it->second.constFind(parts.join(QChar(0x1F)));
    if (found == it->second.constEnd())
        return m_noRows;
    return found.value();
}

// ---------------------------------------------------------------------------------------------
// Emission

QFont TRenderer::FontOf(const TFontSpec &font) const
{
    QFont f(font.family.isEmpty() ? m_def.font.family : font.family);
    f.setPointSizeF(font.pointSize > 0 ? font.pointSize : m_def.font.pointSize);
    f.setBold(font.bold == 1);
    f.setItalic(font.italic == 1);
    f.setUnderline(font.underline == 1);
    f.setStrikeOut(font.strike == 1);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

std::shared_ptr<const TTextStyle> TRenderer::StyleOf(const TReportObject &o)
{
    auto it = m_styles.find(&o);
    if (it != m_styles.end())
        return it->second;
    auto style = std::make_shared<TTextStyle>();
    style->font = FontOf(o.font);
    style->color = o.color.isValid() ? o.color : QColor(Qt::black);
    style->align = o.align | o.valign;
    style->wrap = o.wrap;
    m_styles.emplace(&o, style);
    return style;
}

QString TRenderer::ObjectText(const TReportObject &o, TEval &ev)
{
    switch (o.kind) {
    case TObjectKind::Text:
        return o.text;
    case TObjectKind::Field: {
        const QVariant v = ev.Eval(o.value);
        if (!o.format.isEmpty())
            return FormatValue(v, o.format);
        // A plain field keeps the display format its dataset gives it.
        if (o.value->kind == TExprKind::Field && ev.s.run && ev.s.run->data && ev.s.pos >= 0
            && o.value->cacheColumn >= 0 && o.value->cacheData == ev.s.run->data) {
            const TFieldDef &def = ev.s.run->data->FieldDefs()[size_t(o.value->cacheColumn)];
            if (!def.displayFormat.isEmpty() || !def.displayValues.isEmpty())
                return ev.s.run->data->DisplayTextAt(ev.s.run->rows[size_t(ev.s.pos)],
                                                     o.value->cacheColumn);
        }
        return ValueToText(v);
    }
    case TObjectKind::Special: {
        const int total = ev.totalPages > 0 ? ev.totalPages : ev.page;
        switch (o.special) {
        case TSpecialKind::PageNumber:
            return FormatValue(QVariant(qlonglong(ev.page)), o.format);
        case TSpecialKind::TotalPages:
            return FormatValue(QVariant(qlonglong(total)), o.format);
        case TSpecialKind::PageNofM:
            return QStringLiteral("Pagina %1 di %2").arg(ev.page).arg(total);
        case TSpecialKind::PrintDate:
            return o.format.isEmpty() ? DateToText(m_printTime.date())
                                      : FormatValue(QVariant(m_printTime), o.format);
        case TSpecialKind::PrintTime:
            return o.format.isEmpty() ? TimeToText(m_printTime.time())
                                      : FormatValue(QVariant(m_printTime.time()), o.format);
        case TSpecialKind::RecordNumber:
            return FormatValue(QVariant(qlonglong(ev.s.pos + 1)), o.format);
        }
        return QString();
    }
    default:
        return QString();
    }
}

QByteArray TRenderer::ImageBytes(const TReportObject &o, TEval &ev, QSize *size)
{
    QByteArray bytes;
    QString source;
    if (!o.imageFile.isEmpty()) {
        source = QStringLiteral("file \"%1\"").arg(o.imageFile);
        auto it = m_fileImages.constFind(o.imageFile);
        if (it == m_fileImages.constEnd()) {
            QFile f(o.imageFile);
            if (!f.open(QIODevice::ReadOnly))
                Fail(o.line,
                     QStringLiteral("oggetto \"%1\"").arg(o.name),
                     QStringLiteral("impossibile leggere l'immagine \"%1\"").arg(o.imageFile));
            it = m_fileImages.insert(o.imageFile, f.readAll());
        }
        bytes = it.value();
    } else {
        const QVariant v = ev.Eval(o.value);
        if (!v.isValid() || v.isNull())
            return QByteArray();
        if (v.typeId() == QMetaType::QByteArray) {
            bytes = v.toByteArray();
        } else {
            const QString path = ValueToText(v).trimmed();
            if (path.isEmpty())
                return QByteArray();
            QFileInfo fi(path);
            const QString full = fi.isRelative()
                                     ? QFileInfo(m_def.fileName).absolutePath() + u'/' + path
                                     : path;
            QFile f(full);
            if (!f.open(QIODevice::ReadOnly))
                Fail(o.line,
                     QStringLiteral("oggetto \"%1\"").arg(o.name),
                     QStringLiteral("impossibile leggere l'immagine \"%1\"").arg(full));
            bytes = f.readAll();
        }
        QStringList fields;
        CollectFields(*o.value, fields);
        source = fields.isEmpty() ? QStringLiteral("valore")
                                  : QStringLiteral("campo \"%1\"").arg(fields.first());
        if (ev.s.pos >= 0)
            source += QStringLiteral(", riga di dati %1").arg(ev.s.pos + 1);
    }
    if (bytes.isEmpty())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize s = reader.canRead() ? reader.size() : QSize();
    if (reader.canRead() && !s.isValid()) {
        const QImage img = reader.read();
        s = img.size();
    }
    if (!s.isValid() || s.isEmpty())
        Fail(o.line,
             QStringLiteral("oggetto \"%1\"").arg(o.name),
             QStringLiteral("i dati (%1) non sono un'immagine riconosciuta").arg(source));
    *size = s;
    return bytes;
}

std::unique_ptr<TBlock> TRenderer::BuildBlock(const TReportBand &band,
                                              const std::vector<const TReportObject *> &objects,
                                              double segTopMm,
                                              double segHeightMm,
                                              TEval &ev,
                                              double x,
                                              double width,
                                              bool allowGrow)
{
    auto block = std::make_unique<TBlock>();
    struct Growth
    {
        double originalBottomMm;
        double totalShift; // dots: shift of the object plus its own growth
    };
    std::vector<Growth> growths;
    double maxShift = 0;
    std::vector<TPrimitive> &items = block->items;

    for (const TReportObject *op : objects) {
        const TReportObject &o = *op;
        if (o.kind == TObjectKind::Subreport)
            continue;
        if (o.suppress && ev.IsTrue(o.suppress))
            continue;
        double shift = 0;
        for (const auto &g : growths) {
            if (g.originalBottomMm <= o.rect.top() + 1e-6)
                shift = qMax(shift, g.totalShift);
        }
        const double ox = x + MmToDots(o.rect.left());
        const double oy = MmToDots(o.rect.top() - segTopMm) + shift;
        const double ow = MmToDots(o.rect.width());
        double oh = MmToDots(o.rect.height());
        double growth = 0;
        const size_t firstItem = items.size();

        switch (o.kind) {
        case TObjectKind::Text:
        case TObjectKind::Field:
        case TObjectKind::Special: {
            const bool late = o.UsesPageValues();
            TPrimitive p;
            p.kind = TPrimitiveKind::Text;
            p.objectName = o.name;
            p.style = StyleOf(o);
            p.text = ObjectText(o, ev);
            if (late) {
                auto l = std::make_shared<TLateText>();
                l->object = &o;
                l->ctx = ev.s;
                p.late = l;
            }
            if (o.grow && allowGrow && !late && !p.text.isEmpty()) {
                const TTextLines lines = LayOutText(p.text, *p.style, ow);
                const double th = lines.Height();
                if (th > oh + kEpsilon) {
                    growth = th - oh;
                    oh = th;
                    p.lineBottoms = std::make_shared<std::vector<double>>(lines.LineBottoms());
                    p.lineCount = lines.LineCount();
                    p.firstLine = 0;
                }
            }
            p.rect = QRectF(ox, oy, ow, oh);
            if (o.background.isValid() || o.borderWidth > 0) {
                TPrimitive bg;
                bg.kind = TPrimitiveKind::Rect;
                bg.objectName = o.name;
                bg.rect = p.rect;
                if (o.background.isValid())
                    bg.brush = QBrush(o.background);
                if (o.borderWidth > 0)
                    bg.pen = QPen(o.borderColor.isValid() ? o.borderColor : QColor(Qt::black),
                                  MmToDots(o.borderWidth));
                items.push_back(bg);
            }
            if (!p.text.isEmpty() || p.late)
                items.push_back(std::move(p));
            break;
        }
        case TObjectKind::RichText: {
            const QString text = ValueToText(ev.Eval(o.value));
            TPrimitive p;
            p.kind = TPrimitiveKind::RichText;
            p.objectName = o.name;
            if (!text.trimmed().isEmpty()) {
                QFont font = FontOf(o.font);
                p.document = LayOutRichText(text, font, ow);
                const double dh = p.document->size().height();
                if (o.grow && allowGrow && dh > oh + kEpsilon) {
                    growth = dh - oh;
                    oh = dh;
                }
                p.lineBottoms = std::make_shared<std::vector<double>>(
                    DocumentLineBottoms(*p.document));
            }
            p.rect = QRectF(ox, oy, ow, oh);
            if (o.background.isValid() || o.borderWidth > 0) {
                TPrimitive bg;
                bg.kind = TPrimitiveKind::Rect;
                bg.objectName = o.name;
                bg.rect = p.rect;
                if (o.background.isValid())
                    bg.brush = QBrush(o.background);
                if (o.borderWidth > 0)
                    bg.pen = QPen(o.borderColor.isValid() ? o.borderColor : QColor(Qt::black),
                                  MmToDots(o.borderWidth));
                items.push_back(bg);
            }
            if (p.document)
                items.push_back(std::move(p));
            break;
        }
        case TObjectKind::Image: {
            QSize size;
            const QByteArray bytes = ImageBytes(o, ev, &size);
            const QRectF box(ox, oy, ow, oh);
            if (!bytes.isEmpty()) {
                QSizeF target = box.size();
                if (o.fit != TImageFit::Stretch) {
                    const double natural = kLayoutDpi / 96.0;
                    double scale = qMin(box.width() / size.width(), box.height() / size.height());
                    if (o.fit == TImageFit::None)
                        scale = qMin(scale, natural);
                    target = QSizeF(size.width() * scale, size.height() * scale);
                }
                const int col = o.anchor % 3;
                const int row = o.anchor / 3;
                const double ix = box.left() + (box.width() - target.width()) * col / 2.0;
                const double iy = box.top() + (box.height() - target.height()) * row / 2.0;
                TPrimitive p;
                p.kind = TPrimitiveKind::Image;
                p.objectName = o.name;
                p.rect = QRectF(QPointF(ix, iy), target);
                p.imageData = bytes;
                p.imageKey = QString::number(qHash(bytes, 0), 16) + u'-'
                             + QString::number(bytes.size());
                items.push_back(std::move(p));
            }
            if (o.borderWidth > 0) {
                TPrimitive frame;
                frame.kind = TPrimitiveKind::Rect;
                frame.objectName = o.name;
                frame.rect = box;
                frame.pen = QPen(o.borderColor.isValid() ? o.borderColor : QColor(Qt::black),
                                 MmToDots(o.borderWidth));
                items.push_back(frame);
            }
            break;
        }
        case TObjectKind::Line: {
            TPrimitive p;
            p.kind = TPrimitiveKind::Line;
            p.objectName = o.name;
            const double x2 = x + MmToDots(o.rect.right());
            const double y2 = MmToDots(o.rect.bottom() - segTopMm) + shift;
            p.rect = QRectF(QPointF(ox, oy), QPointF(x2, y2));
            QPen pen(o.color.isValid() ? o.color : QColor(Qt::black), MmToDots(o.lineWidth));
            pen.setStyle(o.lineStyle);
            pen.setCapStyle(Qt::FlatCap);
            p.pen = pen;
            items.push_back(std::move(p));
            break;
        }
        case TObjectKind::Box: {
            TPrimitive p;
            p.kind = TPrimitiveKind::Rect;
            p.objectName = o.name;
            p.rect = QRectF(ox, oy, ow, oh);
            const QColor c = o.borderColor.isValid() ? o.borderColor
                             : o.color.isValid()     ? o.color
                                                     : QColor(Qt::black);
            QPen pen(c, MmToDots(o.lineWidth));
            pen.setStyle(o.lineStyle);
            pen.setJoinStyle(Qt::MiterJoin);
            p.pen = pen;
            if (o.background.isValid())
                p.brush = QBrush(o.background);
            p.radius = MmToDots(o.radius);
            items.push_back(std::move(p));
            break;
        }
        case TObjectKind::Subreport:
            break;
        }
        if (o.keepTogether) {
            for (size_t i = firstItem; i < items.size(); ++i)
                items[i].lineBottoms.reset(); // not splittable
        }
        if (growth > 0 || shift > 0) {
            growths.push_back({o.rect.bottom(), shift + growth});
            maxShift = qMax(maxShift, shift + growth);
        }
    }
    block->height = MmToDots(segHeightMm) + maxShift;
    if (band.background.isValid()) {
        TPrimitive bg;
        bg.kind = TPrimitiveKind::Rect;
        bg.objectName = band.name;
        bg.rect = QRectF(x, 0, width, block->height);
        bg.brush = QBrush(band.background);
        items.insert(items.begin(), bg);
    }
    return block;
}

void TRenderer::EmitBand(const TReportBand &band,
                         TEval &ev,
                         double x,
                         double width,
                         const TSnapshot &mainCtx,
                         bool reportHeader,
                         bool keepWithNext,
                         int depth)
{
    if (band.suppress && ev.IsTrue(band.suppress))
        return;
    bool newPageBefore = band.newPageBefore && ev.IsTrue(band.newPageBefore);
    if (m_breakBeforeNext) {
        newPageBefore = true;
        m_breakBeforeNext = false;
    }
    const bool newPageAfter = band.newPageAfter && ev.IsTrue(band.newPageAfter);

    std::vector<const TReportObject *> subs;
    std::vector<const TReportObject *> others;
    for (const auto &o : band.objects) {
        if (o->kind == TObjectKind::Subreport) {
            if (!(o->suppress && ev.IsTrue(o->suppress)))
                subs.push_back(o.get());
        } else {
            others.push_back(o.get());
        }
    }
    std::stable_sort(others.begin(), others.end(), [](const auto *a, const auto *b) {
        return a->rect.top() < b->rect.top();
    });
    auto finish = [&](TBlock &b) {
        b.keepTogether = band.keepTogether;
        b.reportHeader = reportHeader;
        b.mainCtx = mainCtx;
        b.openGroups = OpenGroupsSnapshot();
    };
    if (subs.empty()) {
        auto block = BuildBlock(band, others, 0, band.height, ev, x, width, true);
        finish(*block);
        block->newPageBefore = newPageBefore;
        block->newPageAfter = newPageAfter;
        TFlowItem item;
        item.block = std::move(block);
        Emit(std::move(item), keepWithNext);
        return;
    }

    // A band with subreports: its parts above, between and below them, with each subreport's
    // bands in between; objects beside a subreport go with the part above it.
    std::stable_sort(subs.begin(), subs.end(), [](const auto *a, const auto *b) {
        return a->rect.top() < b->rect.top();
    });
    PushCollector(band.keepTogether);
    double segTop = 0;
    bool first = true;
    auto segment = [&](double top, double bottom, double nextTop) {
        std::vector<const TReportObject *> objs;
        for (const auto *o : others) {
            if (o->rect.top() >= top - 1e-6 && o->rect.top() < nextTop - 1e-6)
                objs.push_back(o);
        }
        auto block = BuildBlock(band, objs, top, qMax(0.0, bottom - top), ev, x, width, true);
        finish(*block);
        block->keepTogether = false;
        if (first)
            block->newPageBefore = newPageBefore;
        first = false;
        TFlowItem item;
        item.block = std::move(block);
        Emit(std::move(item), false);
    };
    for (size_t i = 0; i < subs.size(); ++i) {
        const TReportObject &s = *subs[i];
        const double nextTop = s.rect.bottom(); // beside-objects stay above
        segment(segTop, qMax(segTop, s.rect.top()), nextTop);
        segTop = qMax(segTop, s.rect.bottom());

        if (depth >= kMaxSubreportDepth)
            Fail(s.line,
                 QStringLiteral("oggetto \"%1\"").arg(s.name),
                 QStringLiteral("troppi sottoreport annidati"));
        const TReportSection *section = m_def.FindSubreport(s.subreportName);
        TDataSet *data = section ? m_subViews.value(section) : nullptr;
        std::vector<int> rows;
        if (data) {
            if (s.links.empty()) {
                rows = m_subOrder.value(section);
            } else {
                rows = LinkedRows(*section, data, s, ev);
            }
        }
        if (rows.empty() && s.suppressBlank)
            continue;
        auto run = MakeRun(*section,
                           data,
                           std::move(rows),
                           QStringLiteral("sottoreport \"%1\"").arg(section->name));
        RunSection(run, x + MmToDots(s.rect.left()), MmToDots(s.rect.width()), mainCtx, depth + 1);
    }
    // Below the last subreport.
    {
        std::vector<const TReportObject *> objs;
        for (const auto *o : others) {
            if (o->rect.top() >= segTop - 1e-6)
                objs.push_back(o);
        }
        auto block
            = BuildBlock(band, objs, segTop, qMax(0.0, band.height - segTop), ev, x, width, true);
        finish(*block);
        block->keepTogether = false;
        block->newPageAfter = newPageAfter;
        TFlowItem item;
        item.block = std::move(block);
        Emit(std::move(item), false);
    }
    PopCollector(keepWithNext);
}

void TRenderer::RunSection(
    const TRunPtr &run, double x, double width, const TSnapshot &outerMain, int depth)
{
    const TReportSection &section = *run->section;
    const bool isMain = !section.isSubreport;
    const int n = run->Count();
    const int groups = int(section.groups.size());
    const std::vector<TReportBand *> rh = section.BandsOf(TBandKind::ReportHeader);
    const std::vector<TReportBand *> details = section.BandsOf(TBandKind::Detail);
    const std::vector<TReportBand *> rf = section.BandsOf(TBandKind::ReportFooter);

    auto snapshot = [&](int pos, int begin, int end) {
        TSnapshot s;
        s.run = run;
        s.pos = pos;
        s.aggBegin = begin;
        s.aggEnd = end;
        return s;
    };
    auto mainOf = [&](const TSnapshot &s) { return isMain ? s : outerMain; };

    {
        TEval ev(this, snapshot(n > 0 ? 0 : -1, 0, n), m_doc->PageCount());
        const TSnapshot main = mainOf(ev.s);
        for (const TReportBand *b : rh)
            EmitBand(*b, ev, x, width, main, isMain, false, depth);
    }
    std::vector<int> groupBegin(size_t(groups), 0);
    auto groupEnd = [&](int level, int begin) {
        int end = begin + 1;
        while (end < n && run->breakLevel[size_t(end)] > level)
            ++end;
        return end;
    };
    auto footer = [&](int level, int lastPos) {
        const TReportGroup &g = section.groups[size_t(level)];
        TEval ev(this,
                 snapshot(lastPos, groupBegin[size_t(level)], lastPos + 1),
                 m_doc->PageCount());
        const TSnapshot main = mainOf(ev.s);
        for (const TReportBand *b : g.footers)
            EmitBand(*b, ev, x, width, main, false, false, depth);
        if (isMain && !m_openGroups.empty()) {
            m_openGroups.pop_back();
            m_openGroupsShared.reset();
        }
        if (g.keepTogether)
            PopCollector(false);
    };
    for (int pos = 0; pos < n; ++pos) {
        const int level = run->breakLevel[size_t(pos)];
        if (pos > 0) {
            for (int l = groups - 1; l >= level; --l)
                footer(l, pos - 1);
        }
        for (int l = level; l < groups; ++l) {
            const TReportGroup &g = section.groups[size_t(l)];
            const int end = groupEnd(l, pos);
            groupBegin[size_t(l)] = pos;
            if (g.keepTogether)
                PushCollector(true);
            if (g.newPageBefore)
                m_breakBeforeNext = true;
            TEval ev(this, snapshot(pos, pos, end), m_doc->PageCount());
            const TSnapshot main = mainOf(ev.s);
            for (const TReportBand *b : g.headers)
                EmitBand(*b, ev, x, width, main, false, true, depth);
            if (isMain) {
                m_openGroups.push_back({l, pos, end});
                m_openGroupsShared.reset();
            }
        }
        int begin = 0;
        int end = n;
        if (groups > 0) {
            begin = groupBegin[size_t(groups - 1)];
            end = groupEnd(groups - 1, begin);
        }
        TEval ev(this, snapshot(pos, begin, end), m_doc->PageCount());
        const TSnapshot main = mainOf(ev.s);
        for (const TReportBand *b : details)
            EmitBand(*b, ev, x, width, main, false, false, depth);
    }
    if (n > 0) {
        for (int l = groups - 1; l >= 0; --l)
            footer(l, n - 1);
    }
    {
        TEval ev(this, snapshot(n > 0 ? n - 1 : -1, 0, n), m_doc->PageCount());
        const TSnapshot main = mainOf(ev.s);
        for (const TReportBand *b : rf)
            EmitBand(*b, ev, x, width, main, false, false, depth);
    }
}

std::shared_ptr<const TOpenGroups> TRenderer::OpenGroupsSnapshot()
{
    if (!m_openGroupsShared)
        m_openGroupsShared = std::make_shared<const TOpenGroups>(m_openGroups);
    return m_openGroupsShared;
}

void TRenderer::Emit(TFlowItem item, bool keepWithNext)
{
    TCollector &c = m_collectors.back();
    if (keepWithNext) {
        c.chain.push_back(std::move(item));
        return;
    }
    if (!c.chain.empty()) {
        TFlowItem pair;
        pair.keepTogether = true;
        pair.children = std::move(c.chain);
        c.chain.clear();
        pair.children.push_back(std::move(item));
        item = std::move(pair);
    }
    Deliver(std::move(item));
}

void TRenderer::Deliver(TFlowItem item)
{
    if (m_collectors.size() == 1)
        Place(item);
    else
        m_collectors.back().items.push_back(std::move(item));
}

void TRenderer::FlushChain(TCollector &c)
{
    std::vector<TFlowItem> chain = std::move(c.chain);
    c.chain.clear();
    for (auto &i : chain)
        Deliver(std::move(i));
}

void TRenderer::PushCollector(bool keepTogether)
{
    TCollector c;
    c.keepTogether = keepTogether;
    m_collectors.push_back(std::move(c));
}

void TRenderer::PopCollector(bool keepWithNext)
{
    FlushChain(m_collectors.back());
    TCollector c = std::move(m_collectors.back());
    m_collectors.pop_back();
    if (c.items.empty())
        return;
    TFlowItem compound;
    compound.keepTogether = c.keepTogether;
    compound.children = std::move(c.items);
    Emit(std::move(compound), keepWithNext);
}

// ---------------------------------------------------------------------------------------------
// Placement

double TRenderer::Remaining() const
{
    double r = m_pageH - m_footerReserve - m_y;
    if (m_pageHeaderPending)
        r -= m_headerEstimate;
    return r;
}

double TRenderer::FullBody() const
{
    return m_pageH - m_footerReserve - m_top - m_headerEstimate;
}

void TRenderer::Place(TFlowItem &item)
{
    if (item.block) {
        PlaceLeaf(std::move(item.block));
        return;
    }
    if (item.keepTogether) {
        TBlock *first = item.FirstLeaf();
        if (!first)
            return;
        if (m_breakPending && m_pageHasBody) {
            m_breakPending = false;
            NewPage(first);
        }
        if (first->newPageBefore && m_pageHasBody) {
            NewPage(first);
            first->newPageBefore = false;
        }
        if (!first->reportHeader)
            EnsurePageHeader(*first);
        const double h = item.Height();
        if (h > Remaining() + kEpsilon && h <= FullBody() + kEpsilon && m_pageHasBody)
            NewPage(first);
    }
    for (auto &c : item.children)
        Place(c);
}

void TRenderer::EnsurePageHeader(const TBlock &next)
{
    if (!m_pageHeaderPending)
        return;
    m_pageHeaderPending = false;
    PlacePageBands(TBandKind::PageHeader, next.mainCtx, m_y);
    m_bodyTop = m_y;
    PlaceRepeatedHeaders(next);
}

void TRenderer::PlaceLeaf(std::unique_ptr<TBlock> block)
{
    if (m_breakPending) {
        m_breakPending = false;
        if (m_pageHasBody)
            NewPage(block.get());
    }
    if (block->newPageBefore && m_pageHasBody)
        NewPage(block.get());
    if (!block->reportHeader)
        EnsurePageHeader(*block);
    const bool newPageAfter = block->newPageAfter;
    int guard = 0;
    while (true) {
        if (++guard > 100000)
            Fail(0, QString(), QStringLiteral("impaginazione interrotta: blocco non collocabile"));
        const double remaining = Remaining();
        if (block->height <= remaining + kEpsilon) {
            Put(*block, true);
            break;
        }
        if (block->keepTogether && block->height <= FullBody() + kEpsilon && m_pageHasBody) {
            NewPage(block.get());
            continue;
        }
        const double cut = FindSplit(*block, remaining, false);
        if (cut > kEpsilon) {
            auto rest = SplitAt(*block, cut);
            Put(*block, true);
            if (rest->items.empty())
                break; // only the band's empty space was left: it is not carried over
            block = std::move(rest);
            NewPage(block.get());
            continue;
        }
        if (m_pageHasBody) {
            NewPage(block.get());
            continue;
        }
        // An empty page and nothing fits whole: cut where the page ends.
        if (remaining <= kEpsilon) {
            Put(*block, true);
            break;
        }
        const double forced = FindSplit(*block, remaining, true);
        auto rest = SplitAt(*block, forced);
        Put(*block, true);
        block = std::move(rest);
        NewPage(block.get());
    }
    if (newPageAfter)
        m_breakPending = true;
}

void TRenderer::Put(TBlock &block, bool body)
{
    TReportPage &page = m_doc->pages.back();
    for (TPrimitive &p : block.items) {
        p.rect.translate(0, m_y);
        page.items.push_back(std::move(p));
    }
    block.items.clear();
    m_y += block.height;
    if (body) {
        m_pageHasBody = true;
        m_lastCtx = block.mainCtx;
        m_lastCtxSet = true;
    }
}

double TRenderer::FindSplit(const TBlock &block, double limit, bool forced) const
{
    // Candidate cuts: the limit, every line boundary of splittable texts and every item edge.
    std::vector<double> candidates{limit};
    for (const TPrimitive &p : block.items) {
        const double top = qMin(p.rect.top(), p.rect.bottom());
        const double bottom = qMax(p.rect.top(), p.rect.bottom());
        candidates.push_back(top);
        candidates.push_back(bottom);
        if (p.lineBottoms) {
            const double origin = p.rect.top()
                                  - (p.kind == TPrimitiveKind::RichText ? p.docTop : 0);
            const auto &lines = *p.lineBottoms;
            const int first = p.kind == TPrimitiveKind::Text ? p.firstLine : 0;
            const double base = p.kind == TPrimitiveKind::Text && first > 0
                                    ? lines[size_t(first - 1)]
                                    : 0;
            for (size_t i = size_t(first); i < lines.size(); ++i)
                candidates.push_back(origin + lines[i] - base);
        }
    }
    std::sort(candidates.begin(), candidates.end(), std::greater<double>());
    for (double c : candidates) {
        if (c > limit + kEpsilon || c <= kEpsilon)
            continue;
        bool allowed = true;
        for (const TPrimitive &p : block.items) {
            const double top = qMin(p.rect.top(), p.rect.bottom());
            const double bottom = qMax(p.rect.top(), p.rect.bottom());
            if (!(top < c - kEpsilon && bottom > c + kEpsilon))
                continue;
            if (p.kind == TPrimitiveKind::Rect || p.kind == TPrimitiveKind::Line)
                continue; // frames and rules are cut in two
            if (p.lineBottoms) {
                const double origin = p.rect.top()
                                      - (p.kind == TPrimitiveKind::RichText ? p.docTop : 0);
                const int first = p.kind == TPrimitiveKind::Text ? p.firstLine : 0;
                const double base = p.kind == TPrimitiveKind::Text && first > 0
                                        ? (*p.lineBottoms)[size_t(first - 1)]
                                        : 0;
                const auto &lines = *p.lineBottoms;
                const double target = c - origin + base;
                const auto it = std::lower_bound(lines.begin() + first,
                                                 lines.end(),
                                                 target - kEpsilon);
                if (it != lines.end() && *it <= target + kEpsilon)
                    continue;
            }
            allowed = false;
            break;
        }
        if (allowed)
            return c;
    }
    return forced ? limit : 0;
}

std::unique_ptr<TBlock> TRenderer::SplitAt(TBlock &block, double cut) const
{
    auto rest = std::make_unique<TBlock>();
    rest->height = qMax(0.0, block.height - cut);
    rest->keepTogether = false;
    rest->reportHeader = block.reportHeader;
    rest->mainCtx = block.mainCtx;
    rest->openGroups = block.openGroups;
    rest->newPageAfter = block.newPageAfter;
    block.newPageAfter = false;
    std::vector<TPrimitive> keep;
    for (TPrimitive &p : block.items) {
        const double top = qMin(p.rect.top(), p.rect.bottom());
        const double bottom = qMax(p.rect.top(), p.rect.bottom());
        if (bottom <= cut + kEpsilon) {
            keep.push_back(std::move(p));
            continue;
        }
        if (top >= cut - kEpsilon) {
            p.rect.translate(0, -cut);
            rest->items.push_back(std::move(p));
            continue;
        }
        // Crossing the cut.
        if (p.kind == TPrimitiveKind::Rect) {
            TPrimitive lower = p;
            p.rect.setBottom(cut);
            lower.rect.setTop(0);
            lower.rect.setBottom(bottom - cut);
            keep.push_back(std::move(p));
            rest->items.push_back(std::move(lower));
        } else if (p.kind == TPrimitiveKind::Line) {
            // Only vertical or slanted lines cross; cut them where the page ends.
            const QPointF a = p.rect.topLeft();
            const QPointF b = p.rect.bottomRight();
            const double t = (cut - a.y()) / (b.y() - a.y());
            const QPointF m(a.x() + (b.x() - a.x()) * t, cut);
            TPrimitive lower = p;
            p.rect = QRectF(a, m);
            lower.rect = QRectF(QPointF(m.x(), 0), QPointF(b.x(), b.y() - cut));
            keep.push_back(std::move(p));
            rest->items.push_back(std::move(lower));
        } else if (p.kind == TPrimitiveKind::Text && p.lineBottoms) {
            const auto &lines = *p.lineBottoms;
            const int first = p.firstLine;
            const int end = p.lineCount >= 0 ? first + p.lineCount : int(lines.size());
            const double base = first > 0 ? lines[size_t(first - 1)] : 0;
            int split = first;
            while (split < end && p.rect.top() + lines[size_t(split)] - base <= cut + kEpsilon)
                ++split;
            TPrimitive lower = p;
            p.lineCount = split - first;
            p.rect.setBottom(p.rect.top() + (split > first ? lines[size_t(split - 1)] - base : 0));
            lower.firstLine = split;
            lower.lineCount = end - split;
            const double lowerBase = split > 0 ? lines[size_t(split - 1)] : 0;
            lower.rect.setTop(0);
            lower.rect.setHeight(split < end ? lines[size_t(end - 1)] - lowerBase : 0);
            lower.late.reset();
            if (p.lineCount > 0)
                keep.push_back(std::move(p));
            if (lower.lineCount > 0)
                rest->items.push_back(std::move(lower));
        } else if (p.kind == TPrimitiveKind::RichText) {
            TPrimitive lower = p;
            const double partHeight = cut - p.rect.top();
            lower.docTop = p.docTop + partHeight;
            lower.rect.setTop(0);
            lower.rect.setHeight(p.rect.height() - partHeight);
            p.rect.setHeight(partHeight);
            keep.push_back(std::move(p));
            rest->items.push_back(std::move(lower));
        } else {
            keep.push_back(std::move(p)); // forced cut: it overflows this page
        }
    }
    block.items = std::move(keep);
    block.height = cut;
    return rest;
}

void TRenderer::PlacePageBands(TBandKind kind, const TSnapshot &ctx, double y)
{
    m_y = y;
    TSnapshot s = ctx;
    s.aggBegin = 0;
    s.aggEnd = m_mainRun ? m_mainRun->Count() : 0;
    if (!s.run)
        s.run = m_mainRun;
    TEval ev(this, s, m_doc->PageCount());
    for (const TReportBand *b : m_def.main.BandsOf(kind)) {
        if (b->suppress && ev.IsTrue(b->suppress)) {
            // A suppressed page footer keeps its place; a page header gives it to the body.
            if (kind == TBandKind::PageFooter)
                m_y += MmToDots(b->height);
            continue;
        }
        std::vector<const TReportObject *> objs;
        for (const auto &o : b->objects)
            objs.push_back(o.get());
        auto block = BuildBlock(*b, objs, 0, b->height, ev, m_left, m_bodyWidth, false);
        Put(*block, false);
    }
}

void TRenderer::PlaceRepeatedHeaders(const TBlock &next)
{
    if (!next.openGroups || next.openGroups->empty() || m_doc->PageCount() <= 1)
        return;
    for (const TOpenGroup &og : *next.openGroups) {
        const TReportGroup &g = m_def.main.groups[size_t(og.level)];
        if (!g.repeatHeader)
            continue;
        TSnapshot s = next.mainCtx;
        if (!s.run)
            continue;
        s.aggBegin = og.begin;
        s.aggEnd = og.end;
        TEval ev(this, s, m_doc->PageCount());
        for (const TReportBand *b : g.headers) {
            if (b->suppress && ev.IsTrue(b->suppress))
                continue;
            std::vector<const TReportObject *> objs;
            for (const auto &o : b->objects) {
                if (o->kind != TObjectKind::Subreport)
                    objs.push_back(o.get());
            }
            auto block = BuildBlock(*b, objs, 0, b->height, ev, m_left, m_bodyWidth, true);
            Put(*block, false);
        }
    }
}

void TRenderer::NewPage(const TBlock *next)
{
    FinishPage();
    m_doc->pages.emplace_back();
    m_y = m_top;
    m_bodyTop = m_top;
    m_pageHasBody = false;
    m_pageHeaderPending = true;
    if (next)
        EnsurePageHeader(*next);
}

void TRenderer::FinishPage()
{
    if (m_doc->pages.empty())
        return;
    TSnapshot ctx = m_lastCtxSet ? m_lastCtx : TSnapshot();
    if (!ctx.run)
        ctx.run = m_mainRun;
    if (m_pageHeaderPending) {
        m_pageHeaderPending = false;
        const double keep = m_y;
        PlacePageBands(TBandKind::PageHeader, ctx, m_y);
        m_y = qMax(keep, m_y);
    }
    PlacePageBands(TBandKind::PageFooter, ctx, m_pageH - m_footerReserve);
}

void TRenderer::ResolveLateTexts()
{
    const int total = m_doc->PageCount();
    for (int i = 0; i < total; ++i) {
        for (TPrimitive &p : m_doc->pages[size_t(i)].items) {
            if (!p.late)
                continue;
            TEval ev(this, p.late->ctx, i + 1);
            ev.totalPages = total;
            p.text = ObjectText(*p.late->object, ev);
            p.late.reset();
        }
    }
}

std::unique_ptr<TReportDocument> TRenderer::Run()
{
    m_printTime = m_input.printTime.isValid() ? m_input.printTime : QDateTime::currentDateTime();
    m_fileImages = m_input.fileImages;
    BindParameters();
    BindFormulas();

    // Group conditions asked at run time.
    for (const auto &g : m_def.main.groups)
        m_mainConditions.push_back(g.condition);
    std::vector<TSortRequest> extra;
    for (const auto &r : m_input.orderBy) {
        extra.push_back(r);
        if (r.changeCondition) {
            for (size_t i = 0; i < m_def.main.groups.size(); ++i) {
                if (m_def.main.groups[i].field.compare(r.field, Qt::CaseInsensitive) == 0)
                    m_mainConditions[i] = r.condition;
            }
        }
    }

    const QString mainLabel = QStringLiteral("report principale");
    if (m_input.main) {
        m_views.push_back(MakeView(m_input.main, m_def.main, extra, mainLabel));
        m_mainView = m_views.back().get();
    }
    for (const auto &s : m_def.subreports) {
        TDataSet *source = nullptr;
        for (const auto &[name, ds] : m_input.subreports) {
            if (ds && SubreportBaseName(name).compare(s->name, Qt::CaseInsensitive) == 0)
                source = ds;
        }
        if (!source)
            continue;
        const QString label = QStringLiteral("sottoreport \"%1\"").arg(s->name);
        m_views.push_back(MakeView(source, *s, {}, label));
        m_subViews.insert(s.get(), m_views.back().get());
        m_subOrder.insert(s.get(), OrderRows(m_views.back().get(), *s));
    }
    CheckFields(m_def.main, m_mainView, mainLabel);
    for (const auto &s : m_def.subreports) {
        CheckFields(*s,
                    m_subViews.value(s.get()),
                    QStringLiteral("sottoreport \"%1\"").arg(s->name));
    }
    CheckLinks();

    // Page geometry.
    m_doc = std::make_unique<TReportDocument>();
    m_doc->title = m_def.title.isEmpty() ? QFileInfo(m_def.fileName).completeBaseName()
                                         : m_def.title;
    m_doc->pageSize = m_def.page.size;
    m_doc->orientation = m_def.page.orientation;
    const QSizeF size = m_def.page.SizeMm();
    m_pageW = MmToDots(size.width());
    m_pageH = MmToDots(size.height());
    m_doc->sizeDots = QSizeF(m_pageW, m_pageH);
    m_left = MmToDots(m_def.page.marginLeft);
    m_top = MmToDots(m_def.page.marginTop);
    m_bodyWidth = m_pageW - m_left - MmToDots(m_def.page.marginRight);
    m_footerReserve = MmToDots(m_def.page.marginBottom);
    for (const TReportBand *b : m_def.main.BandsOf(TBandKind::PageFooter))
        m_footerReserve += MmToDots(b->height);
    for (const TReportBand *b : m_def.main.BandsOf(TBandKind::PageHeader)) {
        const bool always = b->suppress && b->suppress->kind == TExprKind::Literal
                            && ValueIsTrue(b->suppress->literal);
        if (!always)
            m_headerEstimate += MmToDots(b->height);
    }
    if (m_footerReserve + m_top + m_headerEstimate > m_pageH - MmToDots(10))
        Fail(0,
             QString(),
             QStringLiteral("intestazione e piè di pagina non lasciano spazio al corpo della "
                            "pagina"));

    std::vector<int> rows = OrderRows(m_mainView, m_def.main);
    auto mainRun = MakeRun(m_def.main, m_mainView, std::move(rows), mainLabel);
    m_mainRun = mainRun;

    m_doc->pages.emplace_back();
    m_y = m_top;
    m_bodyTop = m_top;
    m_pageHeaderPending = true;
    m_collectors.emplace_back();

    TSnapshot none;
    none.run = m_mainRun;
    RunSection(m_mainRun, m_left, m_bodyWidth, none, 0);
    while (m_collectors.size() > 1)
        PopCollector(false);
    FlushChain(m_collectors.back());
    FinishPage();
    ResolveLateTexts();
    return std::move(m_doc);
}

} // namespace

std::unique_ptr<TReportDocument> RenderReport(const TReportDefinition &definition,
                                              const TReportInput &input)
{
    TRenderer r(definition, input);
    return r.Run();
}

QVariant ConvertParameter(const TParameterDef &def, const QVariant &value, const QString &file)
{
    auto fail = [&](const QString &what) -> QVariant {
        throw EReportError(QStringLiteral("Report \"%1\": il valore \"%2\" del parametro \"%3\" "
                                          "non è %4")
                               .arg(file, ValueToText(value), def.name, what));
    };
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (def.type) {
    case TParamType::Text:
        return QVariant(ValueToText(value));
    case TParamType::Number: {
        if (ValueIsNumber(value))
            return QVariant(value.toDouble());
        if (value.typeId() == QMetaType::Bool)
            return QVariant(value.toBool() ? 1.0 : 0.0);
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return QVariant();
        bool ok = false;
        const double x = ValueToNumber(QVariant(s), &ok);
        if (!ok)
            return fail(QStringLiteral("un numero"));
        return QVariant(x);
    }
    case TParamType::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (ValueIsNumber(value))
            return QVariant(value.toDouble() != 0);
        const QString s = value.toString().trimmed().toUpper();
        if (s == u"SI" || s == u"SÌ" || s == u"S" || s == u"1" || s == u"TRUE" || s == u"YES"
            || s == u"T" || s == u"Y")
            return QVariant(true);
        if (s == u"NO" || s == u"N" || s == u"0" || s == u"FALSE" || s == u"F" || s.isEmpty())
            return QVariant(false);
        return fail(QStringLiteral("un valore sì/no"));
    }
    case TParamType::Date: {
        if (value.typeId() == QMetaType::QDate)
            return value;
        if (value.typeId() == QMetaType::QDateTime)
            return QVariant(value.toDateTime().date());
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return QVariant();
        QDate d = ParseDateText(s);
        if (!d.isValid())
            d = QDate::fromString(s, Qt::ISODate);
        if (!d.isValid())
            return fail(QStringLiteral("una data (gg/mm/aaaa)"));
        return QVariant(d);
    }
    }
    return value;
}
