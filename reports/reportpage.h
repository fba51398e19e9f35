#pragma once

// The page model: what pagination produces and every renderer paints. Coordinates are layout
// dots (1200 per inch) from the top-left corner of the page; texts are laid out at that
// resolution, so a page paints the same on screen, in a PDF and on a printer.

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTextDocument;
struct TLateText;

inline constexpr double kLayoutDpi = 1200.0;
inline constexpr double kDotsPerMm = kLayoutDpi / 25.4;
inline double MmToDots(double mm)
{
    return mm * kDotsPerMm;
}
inline double DotsToMm(double dots)
{
    return dots / kDotsPerMm;
}

enum class TPrimitiveKind { Text, RichText, Image, Line, Rect };

struct TTextStyle
{
    QFont font; // point sizes; laid out on the layout device
    QColor color = Qt::black;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    bool wrap = true;
    double lineSpacing = 1.0;    // times the font's line height
    double paragraphSpacing = 0; // dots after each paragraph (not after the last)
};

struct TPrimitive
{
    TPrimitiveKind kind = TPrimitiveKind::Text;
    QRectF rect; // dots; lines go from the top-left to the bottom-right corner
    QString objectName;

    // Text: the text and its style; a piece of a text split across pages shows the lines
    // [firstLine, firstLine + lineCount) (lineCount -1: every line that fits the box).
    QString text;
    std::shared_ptr<const TTextStyle> style;
    int firstLine = 0;
    int lineCount = -1;
    // Bottom of each line relative to the top of the whole text (measured texts only).
    std::shared_ptr<const std::vector<double>> lineBottoms;

    // Rich text: the laid-out document; this piece shows it from docTop, rect.height() tall.
    std::shared_ptr<QTextDocument> document;
    double docTop = 0;

    // Image: encoded bytes drawn into rect (already fitted to the object's box).
    QByteArray imageData;
    QString imageKey; // identifies equal images (the same bytes) for caching

    // Lines and boxes.
    QPen pen = QPen(Qt::NoPen);
    QBrush brush;
    double radius = 0; // dots

    // Text that depends on the page number or the page count: set once pagination is done.
    std::shared_ptr<TLateText> late;

    // A text that goes to the text exports (rich text, plain text) but is never painted: page
    // marks that windows look for in an export.
    bool exportOnly = false;
};

struct TReportPage
{
    std::vector<TPrimitive> items; // in painting order
};

struct TReportDocument
{
    QString title;
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF sizeDots; // oriented page size in dots
    std::vector<TReportPage> pages;

    int PageCount() const { return int(pages.size()); }
    QPageLayout PageLayout() const; // no margins: pages carry their own
    // The texts printed on a page (0-based), in reading order (top to bottom, left to right);
    // a rich text gives its plain text.
    QStringList PageTexts(int page) const;
};

// The lines of a text primitive that are actually printed, joined with "\n".
QString PrintedText(const TPrimitive &text);
