// Emission: the sections' bands, row by row, become blocks of primitives; blocks that must stay
// together are collected before they reach pagination.

#include "reports/reportengine_p.h"

#include "common/formats.h"
#include "reports/reportlayout.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTextDocument>

#include <algorithm>

namespace ReportEngineDetail {

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
    DisableLigatures(f);
    return f;
}

double TRenderer::LineSpacingOf(double own) const
{
    return own > 0 ? own : m_def.lineSpacing;
}

double TRenderer::ParagraphSpacingOf(double ownMm) const
{
    return MmToDots(ownMm >= 0 ? ownMm : m_def.paragraphSpacing);
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
    style->lineSpacing = LineSpacingOf(o.lineSpacing);
    style->paragraphSpacing = ParagraphSpacingOf(o.paragraphSpacing);
    m_styles.emplace(&o, style);
    return style;
}

std::shared_ptr<const TTextStyle> TRenderer::StyleOf(const TReportObject &table,
                                                     const TTableColumn &c)
{
    auto it = m_styles.find(&c);
    if (it != m_styles.end())
        return it->second;
    // The column's font is written over the table's.
    TFontSpec font = table.font;
    if (!c.font.family.isEmpty())
        font.family = c.font.family;
    if (c.font.pointSize > 0)
        font.pointSize = c.font.pointSize;
    if (c.font.bold >= 0)
        font.bold = c.font.bold;
    if (c.font.italic >= 0)
        font.italic = c.font.italic;
    if (c.font.underline >= 0)
        font.underline = c.font.underline;
    if (c.font.strike >= 0)
        font.strike = c.font.strike;
    auto style = std::make_shared<TTextStyle>();
    style->font = FontOf(font);
    style->color = c.color.isValid()       ? c.color
                   : table.color.isValid() ? table.color
                                           : QColor(Qt::black);
    style->align = c.align | c.valign;
    style->wrap = c.wrap;
    style->lineSpacing = LineSpacingOf(c.lineSpacing > 0 ? c.lineSpacing : table.lineSpacing);
    style->paragraphSpacing = ParagraphSpacingOf(c.paragraphSpacing >= 0 ? c.paragraphSpacing
                                                                         : table.paragraphSpacing);
    m_styles.emplace(&c, style);
    return style;
}

QString TRenderer::CellText(const TTableColumn &c, TEval &ev)
{
    if (!c.value)
        return c.text;
    const QVariant v = ev.Eval(c.value);
    if (!c.format.isEmpty())
        return FormatValue(v, c.format);
    // A plain field keeps the display format its dataset gives it.
    if (c.value->kind == TExprKind::Field && ev.s.run && ev.s.run->data && ev.s.pos >= 0
        && c.value->cacheColumn >= 0 && c.value->cacheData == ev.s.run->data) {
        const TFieldDef &def = ev.s.run->data->FieldDefs()[size_t(c.value->cacheColumn)];
        if (!def.displayFormat.isEmpty() || !def.displayValues.isEmpty())
            return ev.s.run->data->DisplayTextAt(ev.s.run->rows[size_t(ev.s.pos)],
                                                 c.value->cacheColumn);
    }
    return ValueToText(v);
}

double TRenderer::EmitTableRow(const TReportObject &o,
                               TEval &ev,
                               double ox,
                               double oy,
                               double ow,
                               double minHeight,
                               std::vector<TPrimitive> &items)
{
    // Column widths: the given ones, the rest of the table shared by the columns without one.
    std::vector<double> widths;
    double fixed = 0;
    int flexible = 0;
    for (const TTableColumn &c : o.columns) {
        fixed += MmToDots(c.width);
        flexible += c.width > 0 ? 0 : 1;
    }
    const double share = flexible > 0 ? qMax(0.0, ow - fixed) / flexible : 0;
    for (const TTableColumn &c : o.columns)
        widths.push_back(c.width > 0 ? MmToDots(c.width) : share);

    const double padX = MmToDots(o.paddingX);
    const double padY = MmToDots(o.paddingY);
    struct Cell
    {
        TPrimitive text;
        double height = 0;
    };
    std::vector<Cell> cells(o.columns.size());
    double rowHeight = minHeight;
    for (size_t i = 0; i < o.columns.size(); ++i) {
        Cell &cell = cells[i];
        cell.text.kind = TPrimitiveKind::Text;
        cell.text.objectName = o.name + u'.' + o.columns[i].name;
        cell.text.style = StyleOf(o, o.columns[i]);
        cell.text.text = CellText(o.columns[i], ev);
        if (!cell.text.text.isEmpty()) {
            const TTextLines lines = LayOutText(cell.text.text,
                                                *cell.text.style,
                                                qMax(1.0, widths[i] - 2 * padX));
            cell.height = lines.Height();
        }
        rowHeight = qMax(rowHeight, cell.height + 2 * padY);
    }

    // Backgrounds, then texts, then rules, so a rule is never hidden by a neighbour's fill.
    const bool striped = o.alternate.isValid() && ev.s.pos >= 0 && ev.s.pos % 2 == 1;
    const QColor rowFill = striped ? o.alternate : o.background;
    QPen rule(o.borderColor.isValid() ? o.borderColor : QColor(Qt::black), MmToDots(o.lineWidth));
    rule.setCapStyle(Qt::FlatCap);
    if (rowFill.isValid()) {
        TPrimitive bg;
        bg.kind = TPrimitiveKind::Rect;
        bg.objectName = o.name;
        bg.rect = QRectF(ox, oy, ow, rowHeight);
        bg.brush = QBrush(rowFill);
        items.push_back(std::move(bg));
    }
    double cx = ox;
    for (size_t i = 0; i < o.columns.size(); ++i) {
        const QRectF cellRect(cx, oy, widths[i], rowHeight);
        if (o.columns[i].background.isValid() && !striped) {
            TPrimitive bg;
            bg.kind = TPrimitiveKind::Rect;
            bg.objectName = cells[i].text.objectName;
            bg.rect = cellRect;
            bg.brush = QBrush(o.columns[i].background);
            items.push_back(std::move(bg));
        }
        cx += widths[i];
    }
    cx = ox;
    for (size_t i = 0; i < o.columns.size(); ++i) {
        Cell &cell = cells[i];
        const QRectF inner(cx + padX,
                           oy + padY,
                           qMax(1.0, widths[i] - 2 * padX),
                           qMax(0.0, rowHeight - 2 * padY));
        cx += widths[i];
        if (cell.text.text.isEmpty())
            continue;
        cell.text.rect = inner;
        if (!o.printed)
            cell.text.exportOnly = true;
        items.push_back(std::move(cell.text));
    }
    if (o.tableLines == TTableLines::All) {
        cx = ox;
        for (size_t i = 0; i < o.columns.size(); ++i) {
            TPrimitive frame;
            frame.kind = TPrimitiveKind::Rect;
            frame.objectName = o.name;
            frame.rect = QRectF(cx, oy, widths[i], rowHeight);
            frame.pen = rule;
            items.push_back(std::move(frame));
            cx += widths[i];
        }
    } else if (o.tableLines == TTableLines::Rows) {
        TPrimitive line;
        line.kind = TPrimitiveKind::Line;
        line.objectName = o.name;
        line.rect = QRectF(QPointF(ox, oy + rowHeight), QPointF(ox + ow, oy + rowHeight));
        line.pen = rule;
        items.push_back(std::move(line));
    }
    return rowHeight;
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
            if (!o.printed) {
                // Only in the exports: no background, no frame, no room taken from others.
                items.resize(firstItem);
                p.exportOnly = true;
                growth = 0;
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
                p.document = LayOutRichText(text,
                                            font,
                                            ow,
                                            LineSpacingOf(o.lineSpacing),
                                            ParagraphSpacingOf(o.paragraphSpacing),
                                            o.overrideFont);
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
            if (!o.printed) {
                items.resize(firstItem);
                p.exportOnly = true;
                growth = 0;
            }
            if (p.document)
                items.push_back(std::move(p));
            break;
        }
        case TObjectKind::Table: {
            const double rowHeight = EmitTableRow(o, ev, ox, oy, ow, oh, items);
            if (allowGrow && rowHeight > oh + kEpsilon) {
                growth = rowHeight - oh;
                oh = rowHeight;
            }
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
    if (subs.empty() && band.columns > 1) {
        EmitAcross(band, others, ev, x, width, newPageBefore, newPageAfter, finish);
        return;
    }
    FlushAcross();
    if (subs.empty()) {
        auto block = BuildBlock(band, others, 0, band.height, ev, x, width, true);
        finish(*block);
        block->newPageBefore = newPageBefore;
        block->newPageAfter = newPageAfter;
        TFlowItem item;
        item.block = std::move(block);
        Emit(std::move(item), keepWithNext || band.keepWithNext);
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
        const bool heading = first && band.keepWithNext;
        if (first)
            block->newPageBefore = newPageBefore;
        first = false;
        TFlowItem item;
        item.block = std::move(block);
        Emit(std::move(item), heading);
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
    FlushAcross();
}

std::shared_ptr<const TOpenGroups> TRenderer::OpenGroupsSnapshot()
{
    if (!m_openGroupsShared)
        m_openGroupsShared = std::make_shared<const TOpenGroups>(m_openGroups);
    return m_openGroupsShared;
}

void TRenderer::EmitAcross(const TReportBand &band,
                           const std::vector<const TReportObject *> &objects,
                           TEval &ev,
                           double x,
                           double width,
                           bool newPageBefore,
                           bool newPageAfter,
                           const std::function<void(TBlock &)> &finish)
{
    if (m_across
        && (m_across->columns != band.columns || qAbs(m_across->x - x) > kEpsilon
            || qAbs(m_across->width - width) > kEpsilon || m_across->filled >= band.columns
            || newPageBefore))
        FlushAcross();
    const double columnWidth = width / band.columns;
    const int slot = m_across ? m_across->filled : 0;
    auto block
        = BuildBlock(band, objects, 0, band.height, ev, x + slot * columnWidth, columnWidth, true);
    finish(*block);
    // The band's background goes under the whole row, also where a row has fewer pieces than
    // columns; it is laid when the row is complete.
    if (band.background.isValid() && !block->items.empty())
        block->items.erase(block->items.begin());
    if (!m_across) {
        m_across = std::make_unique<TAcrossRow>();
        m_across->columns = band.columns;
        m_across->x = x;
        m_across->width = width;
        m_across->background = band.background;
        m_across->name = band.name;
        block->newPageBefore = newPageBefore;
        m_across->block = std::move(block);
    } else {
        TBlock &row = *m_across->block;
        for (TPrimitive &p : block->items)
            row.items.push_back(std::move(p));
        row.height = qMax(row.height, block->height);
        row.keepTogether = row.keepTogether || block->keepTogether;
    }
    ++m_across->filled;
    if (newPageAfter)
        m_across->block->newPageAfter = true;
    if (m_across->filled >= m_across->columns || newPageAfter)
        FlushAcross();
}

void TRenderer::FlushAcross()
{
    if (!m_across)
        return;
    std::unique_ptr<TAcrossRow> row = std::move(m_across);
    if (row->background.isValid()) {
        TPrimitive bg;
        bg.kind = TPrimitiveKind::Rect;
        bg.objectName = row->name;
        bg.rect = QRectF(row->x, 0, row->width, row->block->height);
        bg.brush = QBrush(row->background);
        row->block->items.insert(row->block->items.begin(), std::move(bg));
    }
    TFlowItem item;
    item.block = std::move(row->block);
    Emit(std::move(item), false);
}

void TRenderer::Emit(TFlowItem item, bool keepWithNext)
{
    TCollector &c = m_collectors.back();
    if (keepWithNext) {
        c.chain.push_back(std::move(item));
        return;
    }
    if (!c.chain.empty()) {
        std::vector<TFlowItem> chain = std::move(c.chain);
        c.chain.clear();
        AttachChain(std::move(chain), item);
    }
    Deliver(std::move(item));
}

void TRenderer::AttachChain(std::vector<TFlowItem> chain, TFlowItem &item)
{
    // What is kept with the next item goes with its first block only, not with everything a
    // compound holds (a heading stays with the first lines of its section).
    if (!item.block && !item.keepTogether && !item.children.empty()) {
        AttachChain(std::move(chain), item.children.front());
        return;
    }
    TFlowItem pair;
    pair.keepTogether = true;
    pair.children = std::move(chain);
    pair.children.push_back(std::move(item));
    item = std::move(pair);
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
    FlushAcross();
    TCollector c;
    c.keepTogether = keepTogether;
    m_collectors.push_back(std::move(c));
}

void TRenderer::PopCollector(bool keepWithNext)
{
    FlushAcross();
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

} // namespace ReportEngineDetail
