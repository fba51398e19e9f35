// Pagination: blocks are placed on pages, split at line boundaries when they do not fit, with
// page headers, footers and repeated group headers around them.

#include "reports/reportengine_p.h"

#include <algorithm>
#include <functional>

namespace ReportEngineDetail {

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

// The fewer of the lines a text piece keeps above and below a cut after line `cutLine`.
int TRenderer::LinesOnBothSides(const TPrimitive &p, int cutLine)
{
    const auto &lines = *p.lineBottoms;
    int first = 0;
    int end = int(lines.size());
    if (p.kind == TPrimitiveKind::Text) {
        first = p.firstLine;
        if (p.lineCount >= 0)
            end = qMin(end, first + p.lineCount);
    } else {
        // A rich-text piece shows the lines whose bottoms lie inside [docTop, docTop + height].
        while (first < end && lines[size_t(first)] <= p.docTop + kEpsilon)
            ++first;
        int last = first;
        while (last < end && lines[size_t(last)] <= p.docTop + p.rect.height() + kEpsilon)
            ++last;
        end = last;
    }
    return qMin(cutLine - first + 1, end - cutLine - 1);
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
                if (it != lines.end() && *it <= target + kEpsilon) {
                    // No single line of a text left alone at the foot of a page or at the top
                    // of the next (unless the page must be cut wherever it ends).
                    if (forced || LinesOnBothSides(p, int(it - lines.begin())) >= 2)
                        continue;
                }
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

} // namespace ReportEngineDetail
