#pragma once

// Renderers of the page model: one painter routine for every target, and the outputs built on
// it (PDF, printer, images, rich text, plain text). Faults raise EReportError naming the file
// or printer.

#include "reports/reportpage.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <list>

class QPainter;
class QPrinter;

// Decoded images of one rendering, by content; large images are reduced to the resolution
// they are printed at (300 dpi), so a PDF carries each distinct image once and no bigger than
// needed.
class TImageCache
{
public:
    explicit TImageCache(int maxEntries = 64)
        : m_max(maxEntries)
    {}
    QImage Get(const TPrimitive &image);

private:
    int m_max;
    std::list<QString> m_order;
    QHash<QString, QImage> m_images;
};

// Paints a page; the painter's coordinates are layout dots (the caller scales the painter by
// device resolution / 1200).
void PaintPage(QPainter &painter, const TReportPage &page, TImageCache &images);

// Writes pages [from, to] (1-based; 0 = first / last) as a PDF file, replacing it. The file is
// written under another name and renamed when complete, so a failure leaves no partial file.
void WritePdf(const TReportDocument &doc, const QString &fileName, int from = 0, int to = 0);

// Prints pages [from, to] (1-based; 0 = first / last) with the given copies on a printer that
// is ready to start (name, output). The report's paper size and orientation are kept.
void PrintDocument(const TReportDocument &doc, QPrinter &printer, int from, int to, int copies);

// A page as an image at the given resolution (dots per inch), white background.
QImage RenderPageImage(const TReportDocument &doc, int page, double dpi);

// The report as rich text: the printed texts of each page in reading order, with their fonts;
// a page break before each page after the first.
QString DocumentRtf(const TReportDocument &doc);
void WriteRtf(const TReportDocument &doc, const QString &fileName);
// The report as plain text (UTF-8): the texts of each page, pages separated by form feeds.
void WritePlainText(const TReportDocument &doc, const QString &fileName);

// Normalises a page range: negative limits or a last page before the first mean every page;
// 0 means the first or the last page. Gives 0-based indexes [first, last].
void NormalisePageRange(int pageCount, int from, int to, int *first, int *last);
