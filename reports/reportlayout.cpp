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
    if (!layout || layout->lineCount() == 0)
        return 0;
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    return last.y() + last.height();
}

std::vector<double> TTextLines::LineBottoms() const
{
    std::vector<double> out;
    if (!layout)
        return out;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine l = layout->lineAt(i);
        out.push_back(l.y() + l.height());
    }
    return out;
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
    double y = 0;
    while (true) {
        QTextLine line = out.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(qMax(1.0, width));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    out.layout->endLayout();
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
                                              double width)
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
    // indent does not depend on the screen the program runs on.
    QTextCursor cursor(doc.get());
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        f.setLeftMargin(f.leftMargin() * kDotsPerPixel);
        f.setRightMargin(f.rightMargin() * kDotsPerPixel);
        f.setTopMargin(f.topMargin() * kDotsPerPixel);
        f.setBottomMargin(f.bottomMargin() * kDotsPerPixel);
        f.setTextIndent(f.textIndent() * kDotsPerPixel);
        if (QTextList *list = b.textList()) {
            const int level = qMax(1, list->format().indent());
            f.setLeftMargin(f.leftMargin() + level * MmToDots(kListIndentMm));
        }
        cursor.setPosition(b.position());
        cursor.setBlockFormat(f);
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
