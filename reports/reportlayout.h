#pragma once

// Text layout at the layout resolution (reportpage.h): the device fonts are measured on, the
// line breaking shared by pagination and painting, and rich-text documents prepared for a box.

#include "reports/reportpage.h"

#include <QString>
#include <QTextLayout>

#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;
class QTextDocument;

// The device texts are laid out on (1200 dpi).
QPaintDevice *LayoutDevice();

// A text broken into lines for a box width (dots).
struct TTextLines
{
    std::unique_ptr<QTextLayout> layout; // lines positioned from y = 0
    // Bottom of each line's room: its height times the line spacing, and the paragraph spacing
    // after a line that ends a paragraph (but the last).
    std::vector<double> bottoms;
    int LineCount() const { return layout ? layout->lineCount() : 0; }
    double Height() const; // all lines
    std::vector<double> LineBottoms() const { return bottoms; }
};
TTextLines LayOutText(const QString &text, const TTextStyle &style, double width);

// Draws a text primitive: its lines (the whole text, or its piece), clipped to the lines that
// fit the box unless it is a measured piece, aligned in the box.
void DrawTextPrimitive(QPainter &painter, const TPrimitive &text);
// The lines a text primitive prints (see DrawTextPrimitive).
QStringList PrintedLines(const TPrimitive &text);

// A rich-text document (RTF or plain text) laid out for a width in dots with the given default
// font; margins, indents and tab stops scaled to the layout resolution. A line spacing other
// than 1 sets the proportional line height of every paragraph; a paragraph spacing (dots) is
// the least room below every paragraph but the last. With overrideFont the default font's
// family and size replace those the text carries (its styles and colours stay).
std::shared_ptr<QTextDocument> LayOutRichText(const QString &rtfOrText,
                                              const QFont &defaultFont,
                                              double width,
                                              double lineSpacing = 1.0,
                                              double paragraphSpacing = 0,
                                              bool overrideFont = false);
// Fonts of the report engine are shaped without ligatures, so that a reader of a PDF finds
// and copies "fi" and "fl" as the letters they are.
void DisableLigatures(QFont &font);
// Bottom of each line of a laid-out document, from its top.
std::vector<double> DocumentLineBottoms(const QTextDocument &doc);
// The plain text of the lines of a document inside [top, top + height).
QString DocumentTextInRange(const QTextDocument &doc, double top, double height);
