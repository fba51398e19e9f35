#include "reports/reportrender.h"

#include "reports/reporterror.h"
#include "reports/reportlayout.h"
#include "reports/richtext.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>

namespace {

constexpr double kPrintImageDpi = 300.0;
constexpr double kDotsPerPixel = kLayoutDpi / 96.0;

QString FileError(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Impossibile scrivere il file \"%1\": %2")
        .arg(QDir::toNativeSeparators(fileName), reason);
}

// A save file on fileName, opened or failing with a clear message.
void OpenSaveFile(QSaveFile &file)
{
    const QFileInfo fi(file.fileName());
    if (fi.fileName().isEmpty())
        throw EReportError(QStringLiteral("Nome del file di esportazione mancante."));
    if (!fi.absoluteDir().exists())
        throw EReportError(FileError(file.fileName(),
                                     QStringLiteral("la cartella \"%1\" non esiste")
                                         .arg(QDir::toNativeSeparators(fi.absolutePath()))));
    if (fi.isDir())
        throw EReportError(FileError(file.fileName(), QStringLiteral("è una cartella")));
    if (!file.open(QIODevice::WriteOnly))
        throw EReportError(FileError(file.fileName(), file.errorString()));
}

void Commit(QSaveFile &file)
{
    if (!file.commit())
        throw EReportError(FileError(file.fileName(), file.errorString()));
}

void PaintRichText(QPainter &painter, const TPrimitive &p)
{
    if (!p.document)
        return;
    painter.save();
    painter.setClipRect(p.rect, Qt::IntersectClip);
    painter.translate(p.rect.left(), p.rect.top() - p.docTop);
    QAbstractTextDocumentLayout::PaintContext ctx;
    // Lines just touching the piece belong to the neighbouring piece.
    ctx.clip = QRectF(0, p.docTop + 1, p.rect.width(), qMax(0.0, p.rect.height() - 2));
    ctx.palette.setColor(QPalette::Text, Qt::black);
    p.document->documentLayout()->draw(&painter, ctx);
    painter.restore();
}

} // namespace

QString TImageCache::KeyOf(const TPrimitive &p)
{
    return p.imageKey + u'@' + QString::number(qRound(p.rect.width())) + u'x'
           + QString::number(qRound(p.rect.height()));
}

void TImageCache::Plan(const std::vector<const TReportPage *> &pages)
{
    m_lastPage.clear();
    m_page = 0;
    for (int i = 0; i < int(pages.size()); ++i) {
        for (const TPrimitive &p : pages[size_t(i)]->items) {
            if (p.kind == TPrimitiveKind::Image && !p.exportOnly)
                m_lastPage.insert(KeyOf(p), i);
        }
    }
}

void TImageCache::Drop(const QString &key)
{
    m_images.remove(key);
    m_order.remove(key);
}

void TImageCache::PageDone()
{
    if (m_lastPage.isEmpty()) {
        ++m_page;
        return;
    }
    for (auto it = m_images.begin(); it != m_images.end();) {
        const auto last = m_lastPage.constFind(it.key());
        if (last != m_lastPage.constEnd() && last.value() <= m_page) {
            m_order.remove(it.key());
            it = m_images.erase(it);
        } else {
            ++it;
        }
    }
    ++m_page;
}

QImage TImageCache::Get(const TPrimitive &p)
{
    const QString key = KeyOf(p);
    auto it = m_images.constFind(key);
    if (it != m_images.constEnd())
        return it.value();
    QImage img = QImage::fromData(p.imageData);
    if (!img.isNull()) {
        const QSize wanted(qMax(1, qRound(p.rect.width() / kLayoutDpi * kPrintImageDpi)),
                           qMax(1, qRound(p.rect.height() / kLayoutDpi * kPrintImageDpi)));
        if (img.width() > wanted.width() * 3 / 2 && img.height() > wanted.height() * 3 / 2)
            img = img.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    m_images.insert(key, img);
    m_order.push_back(key);
    while (int(m_order.size()) > m_max) {
        const QString oldest = m_order.front();
        Drop(oldest);
    }
    return img;
}

void PaintPage(QPainter &painter, const TReportPage &page, TImageCache &images)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const TPrimitive &p : page.items) {
        if (p.exportOnly)
            continue;
        switch (p.kind) {
        case TPrimitiveKind::Rect:
            painter.setPen(p.pen);
            painter.setBrush(p.brush);
            if (p.radius > 0)
                painter.drawRoundedRect(p.rect, p.radius, p.radius);
            else
                painter.drawRect(p.rect);
            break;
        case TPrimitiveKind::Line:
            painter.setPen(p.pen);
            painter.drawLine(p.rect.topLeft(), p.rect.bottomRight());
            break;
        case TPrimitiveKind::Text:
            DrawTextPrimitive(painter, p);
            break;
        case TPrimitiveKind::RichText:
            PaintRichText(painter, p);
            break;
        case TPrimitiveKind::Image: {
            const QImage img = images.Get(p);
            if (!img.isNull())
                painter.drawImage(p.rect, img);
            break;
        }
        }
    }
    painter.setBrush(Qt::NoBrush);
    images.PageDone();
}

void NormalisePageRange(int pageCount, int from, int to, int *first, int *last)
{
    if (from < 0 || to < 0 || (to > 0 && from > 0 && to < from)) {
        from = 0;
        to = 0;
    }
    *first = from > 0 ? qMin(from, pageCount) - 1 : 0;
    *last = to > 0 ? qMin(to, pageCount) - 1 : pageCount - 1;
    if (*last < *first)
        *last = *first;
}

void WritePdf(const TReportDocument &doc, const QString &fileName, int from, int to)
{
    QSaveFile file(fileName);
    OpenSaveFile(file);
    {
        QPdfWriter writer(&file);
        writer.setResolution(int(kLayoutDpi));
        writer.setPageLayout(doc.PageLayout());
        writer.setTitle(doc.title);
        writer.setCreator(QStringLiteral("Ventorel"));
        QPainter painter;
        if (!painter.begin(&writer))
            throw EReportError(FileError(fileName, QStringLiteral("scrittura PDF non riuscita")));
        int first = 0;
        int last = 0;
        NormalisePageRange(doc.PageCount(), from, to, &first, &last);
        std::vector<const TReportPage *> plan;
        for (int i = first; i <= last && i < doc.PageCount(); ++i)
            plan.push_back(&doc.pages[size_t(i)]);
        TImageCache images;
        images.Plan(plan);
        for (int i = first; i <= last && i < doc.PageCount(); ++i) {
            if (i > first)
                writer.newPage();
            PaintPage(painter, doc.pages[size_t(i)], images);
        }
        painter.end();
    }
    Commit(file);
}

void PrintDocument(const TReportDocument &doc, QPrinter &printer, int from, int to, int copies)
{
    printer.setFullPage(true);
    QPageLayout layout = doc.PageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    if (!printer.setPageLayout(layout)) {
        printer.setPageSize(doc.pageSize);
        printer.setPageOrientation(doc.orientation);
    }
    printer.setDocName(doc.title);
    copies = qMax(1, copies);
    int repeat = 1;
    if (printer.supportsMultipleCopies())
        printer.setCopyCount(copies);
    else
        repeat = copies;
    QPainter painter;
    if (!painter.begin(&printer))
        throw EReportError(QStringLiteral("Impossibile avviare la stampa sulla stampante \"%1\".")
                               .arg(printer.printerName()));
    const double scale = printer.resolution() / kLayoutDpi;
    painter.scale(scale, scale);
    int first = 0;
    int last = 0;
    NormalisePageRange(doc.PageCount(), from, to, &first, &last);
    std::vector<const TReportPage *> plan;
    for (int c = 0; c < repeat; ++c) {
        for (int i = first; i <= last && i < doc.PageCount(); ++i)
            plan.push_back(&doc.pages[size_t(i)]);
    }
    TImageCache images;
    images.Plan(plan);
    bool firstPage = true;
    for (int c = 0; c < repeat; ++c) {
        for (int i = first; i <= last && i < doc.PageCount(); ++i) {
            if (!firstPage)
                printer.newPage();
            firstPage = false;
            PaintPage(painter, doc.pages[size_t(i)], images);
        }
    }
    if (!painter.end())
        throw EReportError(QStringLiteral("Stampa non riuscita sulla stampante \"%1\".")
                               .arg(printer.printerName()));
}

QImage RenderPageImage(const TReportDocument &doc, int page, double dpi)
{
    const double scale = dpi / kLayoutDpi;
    QImage img(qMax(1, qRound(doc.sizeDots.width() * scale)),
               qMax(1, qRound(doc.sizeDots.height() * scale)),
               QImage::Format_ARGB32_Premultiplied);
    const int dpm = qRound(dpi / 0.0254);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    if (page < 0 || page >= doc.PageCount())
        return img;
    QPainter painter(&img);
    painter.scale(scale, scale);
    TImageCache images;
    PaintPage(painter, doc.pages[size_t(page)], images);
    return img;
}

QString DocumentRtf(const TReportDocument &doc)
{
    QTextDocument out;
    QFont base(QStringLiteral("Liberation Sans"));
    base.setPointSizeF(10);
    out.setDefaultFont(base);
    QTextCursor cursor(&out);
    bool firstBlock = true;
    for (int page = 0; page < doc.PageCount(); ++page) {
        std::vector<const TPrimitive *> texts;
        for (const TPrimitive &p : doc.pages[size_t(page)].items) {
            if (p.kind == TPrimitiveKind::Text || p.kind == TPrimitiveKind::RichText)
                texts.push_back(&p);
        }
        std::stable_sort(texts.begin(), texts.end(), [](const auto *a, const auto *b) {
            if (qAbs(a->rect.top() - b->rect.top()) > 0.5)
                return a->rect.top() < b->rect.top();
            return a->rect.left() < b->rect.left();
        });
        bool pageStart = page > 0;
        for (const TPrimitive *p : texts) {
            const QString text = PrintedText(*p);
            if (text.isEmpty())
                continue;
            if (!firstBlock)
                cursor.insertBlock();
            QTextBlockFormat bf;
            if (pageStart)
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            pageStart = false;
            const bool wholeDocument = p->kind == TPrimitiveKind::RichText && p->document
                                       && p->docTop <= 0
                                       && p->rect.height() + 0.5 >= p->document->size().height();
            cursor.setBlockFormat(bf);
            if (wholeDocument) {
                const int startBlock = cursor.blockNumber();
                cursor.insertFragment(QTextDocumentFragment(p->document.get()));
                // Side margins of a laid-out document are in dots; rich text wants screen
                // pixels (the space above and below paragraphs is kept in pixels).
                QTextCursor fix(&out);
                for (QTextBlock b = out.findBlockByNumber(startBlock); b.isValid(); b = b.next()) {
                    QTextBlockFormat f = b.blockFormat();
                    f.setLeftMargin(f.leftMargin() / kDotsPerPixel);
                    f.setRightMargin(f.rightMargin() / kDotsPerPixel);
                    f.setTextIndent(f.textIndent() / kDotsPerPixel);
                    if (b.blockNumber() == startBlock)
                        f.setPageBreakPolicy(bf.pageBreakPolicy());
                    fix.setPosition(b.position());
                    fix.setBlockFormat(f);
                    if (b == cursor.block())
                        break;
                }
            } else {
                QTextCharFormat cf;
                if (p->style) {
                    cf.setFont(p->style->font);
                    cf.setForeground(p->style->color);
                }
                cursor.insertText(text, cf);
            }
            firstBlock = false;
        }
    }
    return DocumentToRtf(&out);
}

void WriteRtf(const TReportDocument &doc, const QString &fileName)
{
    const QByteArray bytes = DocumentRtf(doc).toLatin1();
    QSaveFile file(fileName);
    OpenSaveFile(file);
    if (file.write(bytes) != bytes.size())
        throw EReportError(FileError(fileName, file.errorString()));
    Commit(file);
}

void WritePlainText(const TReportDocument &doc, const QString &fileName)
{
    QStringList pages;
    for (int i = 0; i < doc.PageCount(); ++i)
        pages << doc.PageTexts(i).join(u'\n');
    const QByteArray bytes = pages.join(QStringLiteral("\n\f")).toUtf8() + '\n';
    QSaveFile file(fileName);
    OpenSaveFile(file);
    if (file.write(bytes) != bytes.size())
        throw EReportError(FileError(fileName, file.errorString()));
    Commit(file);
}
