#include "reports/reportlayout.h"

#include "reports/richtext.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

// Lengths a document reader gives in pixels at 96 dpi, in layout dots.
constexpr double kDotsPerPixel = kLayoutDpi / 96.0;
// Indent of one list level and distance of default tab stops, in millimetres.
constexpr double kListIndentMm = 6.0;
constexpr double kTabStopMm = 12.5;

QString LayoutText(const QString &text)
{
    QString t = text;
    t.remove(u'\r');
    t.replace(u'\n', QChar::LineSeparator);
    return t;
}

} // namespace

QPaintDevice *LayoutDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return &device;
}

double TTextLines::Height() const
{
    return bottoms.empty() ? 0 : bottoms.back();
}

void DisableLigatures(QFont &font)
{
    // Latin text is then drawn glyph by glyph from the font's character map: no "fi" or "fl"
    // ligature glyph reaches the PDF text layer (QFont::setFeature needs Qt 6.6).
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
}

TTextLines LayOutText(const QString &text, const TTextStyle &style, double width)
{
    TTextLines out;
    out.layout = std::make_unique<QTextLayout>(LayoutText(text), style.font, LayoutDevice());
    QTextOption option;
    option.setWrapMode(style.wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setAlignment(style.align & Qt::AlignHorizontal_Mask);
    option.setTabStopDistance(MmToDots(kTabStopMm));
    out.layout->setTextOption(option);
    out.layout->setCacheEnabled(true);
    out.layout->beginLayout();
    const QString &laid = out.layout->text();
    const double spacing = style.lineSpacing > 0 ? style.lineSpacing : 1.0;
    double y = 0;
    while (true) {
        QTextLine line = out.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(qMax(1.0, width));
        line.setPosition(QPointF(0, y));
        y += line.height() * spacing;
        const int end = line.textStart() + line.textLength();
        // A line that ends with a line break ends a paragraph; the last line gets no spacing.
        if (style.paragraphSpacing > 0 && end < laid.size() && end > 0
            && laid.at(end - 1) == QChar::LineSeparator)
            y += style.paragraphSpacing;
        out.bottoms.push_back(y);
    }
    out.layout->endLayout();
    if (!out.bottoms.empty() && out.layout->lineCount() > 0) {
        // The last line keeps only its own height times the spacing.
        const QTextLine last = out.layout->lineAt(out.layout->lineCount() - 1);
        out.bottoms.back() = last.y() + last.height() * spacing;
    }
    return out;
}

namespace {

// First and last line (exclusive) a text primitive prints, and the vertical offset of the first.
struct LineRange
{
    int first = 0;
    int end = 0;
    double offset = 0;
};

LineRange RangeOf(const TPrimitive &p, const TTextLines &lines)
{
    LineRange r;
    const int count = lines.LineCount();
    if (p.lineCount >= 0) {
        r.first = qBound(0, p.firstLine, count);
        r.end = qBound(r.first, p.firstLine + p.lineCount, count);
        return r;
    }
    r.first = 0;
    r.end = 0;
    for (int i = 0; i < count; ++i) {
        const QTextLine l = lines.layout->lineAt(i);
        if (i > 0 && l.y() + l.height() > p.rect.height() + 0.5)
            break;
        r.end = i + 1;
    }
    if (r.end > 0) {
        const QTextLine last = lines.layout->lineAt(r.end - 1);
        const double used = last.y() + last.height();
        const Qt::Alignment v = p.style->align & Qt::AlignVertical_Mask;
        if (v & Qt::AlignVCenter)
            r.offset = (p.rect.height() - used) / 2;
        else if (v & Qt::AlignBottom)
            r.offset = p.rect.height() - used;
    }
    return r;
}

} // namespace

void DrawTextPrimitive(QPainter &painter, const TPrimitive &p)
{
    if (p.text.isEmpty() || !p.style)
        return;
    const TTextLines lines = LayOutText(p.text, *p.style, p.rect.width());
    const LineRange r = RangeOf(p, lines);
    if (r.end <= r.first)
        return;
    const double top = lines.layout->lineAt(r.first).y();
    painter.setPen(p.style->color);
    const QPointF origin(p.rect.left(), p.rect.top() + r.offset - top);
    // A text kept on one line is cut at the edges of its box.
    const bool clip = !p.style->wrap
                      && lines.layout->lineAt(r.first).naturalTextWidth() > p.rect.width() + 0.5;
    if (clip) {
        painter.save();
        painter.setClipRect(p.rect.adjusted(0, -p.rect.height(), 0, p.rect.height()),
                            Qt::IntersectClip);
    }
    for (int i = r.first; i < r.end; ++i)
        lines.layout->lineAt(i).draw(&painter, origin);
    if (clip)
        painter.restore();
}

QStringList PrintedLines(const TPrimitive &p)
{
    QStringList out;
    if (p.text.isEmpty() || !p.style)
        return out;
    const TTextLines lines = LayOutText(p.text, *p.style, p.rect.width());
    const LineRange r = RangeOf(p, lines);
    const QString text = lines.layout->text();
    for (int i = r.first; i < r.end; ++i) {
        const QTextLine l = lines.layout->lineAt(i);
        QString s = text.mid(l.textStart(), l.textLength());
        s.replace(QChar::LineSeparator, QString());
        out << s.trimmed();
    }
    return out;
}

std::shared_ptr<QTextDocument> LayOutRichText(const QString &rtfOrText,
                                              const QFont &defaultFont,
                                              double width,
                                              double lineSpacing,
                                              double paragraphSpacing,
                                              bool overrideFont)
{
    auto doc = std::make_shared<QTextDocument>();
    doc->setDefaultFont(defaultFont);
    RtfToDocument(rtfOrText, doc.get());
    doc->setDefaultFont(defaultFont);
    doc->setDocumentMargin(0);
    doc->documentLayout()->setPaintDevice(LayoutDevice());
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(MmToDots(kTabStopMm));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);

    // Margins come in pixels at 96 dpi; lists are indented by margins of their own, so that the
    // indent does not depend on the screen the program runs on. The document layout scales
    // the space above and below paragraphs to the device by itself (not the side margins).
    QTextCursor cursor(doc.get());
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        f.setLeftMargin(f.leftMargin() * kDotsPerPixel);
        f.setRightMargin(f.rightMargin() * kDotsPerPixel);
        f.setTextIndent(f.textIndent() * kDotsPerPixel);
        if (QTextList *list = b.textList()) {
            const int level = qMax(1, list->format().indent());
            f.setLeftMargin(f.leftMargin() + level * MmToDots(kListIndentMm));
        }
        if (lineSpacing > 0 && qAbs(lineSpacing - 1.0) > 0.001)
            f.setLineHeight(lineSpacing * 100.0, QTextBlockFormat::ProportionalHeight);
        if (paragraphSpacing > 0 && b.next().isValid())
            f.setBottomMargin(qMax(f.bottomMargin(), paragraphSpacing / kDotsPerPixel));
        cursor.setPosition(b.position());
        cursor.setBlockFormat(f);
    }
    // Every run of text, whatever font the RTF gives it, without ligatures.
    {
        QTextCharFormat plain;
        plain.setFontStyleStrategy(QFont::PreferNoShaping);
        if (overrideFont) {
            plain.setFontFamilies(QStringList{defaultFont.family()});
            plain.setFontPointSize(defaultFont.pointSizeF());
        }
        QTextCursor all(doc.get());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(plain);
    }
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (QTextList *list = b.textList()) {
            QTextListFormat lf = list->format();
            if (lf.indent() != 0) {
                lf.setIndent(0);
                list->setFormat(lf);
            }
        }
    }
    doc->setTextWidth(qMax(1.0, width));
    doc->size(); // lays it out now
    return doc;
}

std::vector<double> DocumentLineBottoms(const QTextDocument &doc)
{
    std::vector<double> out;
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF br = layout->blockBoundingRect(b);
        const QTextLayout *tl = b.layout();
        if (!tl)
            continue;
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine l = tl->lineAt(i);
            out.push_back(br.top() + l.y() + l.height());
        }
    }
    return out;
}

QString DocumentTextInRange(const QTextDocument &doc, double top, double height)
{
    QStringList paragraphs;
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF br = layout->blockBoundingRect(b);
        const QTextLayout *tl = b.layout();
        if (!tl)
            continue;
        QString para;
        bool any = false;
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine l = tl->lineAt(i);
            const double mid = br.top() + l.y() + l.height() / 2;
            if (mid < top || mid >= top + height)
                continue;
            QString s = b.text().mid(l.textStart(), l.textLength());
            s.replace(QChar::LineSeparator, u' ');
            para += s;
            any = true;
        }
        if (any)
            paragraphs << para.trimmed();
    }
    return paragraphs.join(u'\n');
}
