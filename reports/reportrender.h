#pragma once

// Renderers of the page model: one painter routine for every target, and the outputs built on
// it (PDF, printer, images, rich text, plain text). Faults raise EReportError naming the file
// or printer.

#include "reports/reportpage.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <list>
#include <vector>

class QPainter;
class QPrinter;

// Decoded images of one rendering, by content; large images are reduced to the resolution
// they are printed at (300 dpi), so a PDF carries each distinct image once and no bigger than
// needed. A run told its pages beforehand (Plan) keeps an image only until the last of them
// that shows it is painted, so a document of many pictures holds the pictures of about one
// page at a time; at most maxEntries are kept in any case (the least recently used go first).
class TImageCache
{
public:
    explicit TImageCache(int maxEntries = 64)
        : m_max(maxEntries)
    {}
    // The pages the run paints, in painting order (a page may come again, as with copies).
    void Plan(const std::vector<const TReportPage *> &pages);
    QImage Get(const TPrimitive &image);
    // After each page of the plan is painted: the images no later page shows are dropped.
    void PageDone();
    int Count() const { return int(m_images.size()); } // decoded images held

private:
    static QString KeyOf(const TPrimitive &image);
    void Drop(const QString &key);

    int m_max;
    std::list<QString> m_order;
    QHash<QString, QImage> m_images;
    QHash<QString, int> m_lastPage; // by key: the last page of the plan that shows it
    int m_page = 0;                 // the page of the plan being painted
};

// Paints a page; the painter's coordinates are layout dots (the caller scales the painter by
// device resolution / 1200). A cache with a plan is told when the page is done.
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
