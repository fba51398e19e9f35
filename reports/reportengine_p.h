#pragma once

// Private to the report engine: the renderer that binds a definition to its data (reportengine.cpp),
// emits each band as blocks of primitives (reportemission.cpp) and places the blocks on pages
// (reportpagination.cpp). Nothing outside reports/ includes this header.

#include "db/dataset.h"
#include "reports/reportengine.h"
#include "reports/reportexpression.h"

#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QSize>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ReportEngineDetail {

inline constexpr double kEpsilon = 0.01; // dots
inline constexpr int kMaxFormulaDepth = 64;
inline constexpr int kMaxSubreportDepth = 4;

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

// A row of a band printed in columns, while it fills.
struct TAcrossRow
{
    std::unique_ptr<TBlock> block;
    int columns = 1;
    int filled = 0;
    double x = 0;
    double width = 0;
    QColor background; // of the band, under the whole row
    QString name;
};

struct TCollector
{
    std::vector<TFlowItem> items;
    std::vector<TFlowItem> chain; // blocks kept with the next one (group headers)
    bool keepTogether = false;
};

} // namespace ReportEngineDetail

struct TLateText
{
    const TReportObject *object = nullptr;
    ReportEngineDetail::TSnapshot ctx;
};

namespace ReportEngineDetail {

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
    std::shared_ptr<const TTextStyle> StyleOf(const TReportObject &table, const TTableColumn &c);
    double LineSpacingOf(double own) const;
    double ParagraphSpacingOf(double ownMm) const; // dots
    QString CellText(const TTableColumn &c, TEval &ev);
    // One row of a table object at (ox, oy), ow wide, at least minHeight tall (dots); gives
    // the row's height.
    double EmitTableRow(const TReportObject &o,
                        TEval &ev,
                        double ox,
                        double oy,
                        double ow,
                        double minHeight,
                        std::vector<TPrimitive> &items);
    QFont FontOf(const TFontSpec &font) const;
    QByteArray ImageBytes(const TReportObject &o, TEval &ev, QSize *size);
    // Detail bands printed in columns: the row of blocks being filled, emitted when full or
    // when anything else prints.
    void EmitAcross(const TReportBand &band,
                    const std::vector<const TReportObject *> &objects,
                    TEval &ev,
                    double x,
                    double width,
                    bool newPageBefore,
                    bool newPageAfter,
                    const std::function<void(TBlock &)> &finish);
    void FlushAcross();
    void Emit(TFlowItem item, bool keepWithNext);
    void AttachChain(std::vector<TFlowItem> chain, TFlowItem &item);
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
    static int LinesOnBothSides(const TPrimitive &p, int cutLine);
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
    // Text styles of objects and of table columns, by their definition.
    std::unordered_map<const void *, std::shared_ptr<const TTextStyle>> m_styles;
    std::unordered_map<TAggKey, QVariant, TAggKeyHash> m_aggCache;
    QHash<QString, QByteArray> m_fileImages;

    // Emission state.
    std::vector<TCollector> m_collectors;
    TOpenGroups m_openGroups;
    std::shared_ptr<const TOpenGroups> m_openGroupsShared;
    bool m_breakBeforeNext = false;
    std::unique_ptr<TAcrossRow> m_across;
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

} // namespace ReportEngineDetail
