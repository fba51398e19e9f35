#pragma once

// A report definition: page setup, sections (the main report and its subreports), groups,
// bands and the objects placed in them. Lengths are millimetres. Built by the definition
// parser (reportparser.h) from a Reports/<name>.RPT file; documented in docs/report-format.md.

#include "reports/reporterror.h"
#include "reports/reportexpression.h"

#include <QColor>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Sort direction of a group or a sort field.
enum class TReportSortOrder { Ascending, Descending, Original };

// When a new group starts (the codes of the order-by fields' group conditions).
enum class TGroupCondition {
    AnyValue, // every change of value
    Daily,
    Weekly,      // weeks beginning on Sunday
    Biweekly,    // two-week periods beginning on Sunday
    Semimonthly, // days 1-15 and 16-end of each month
    Monthly,
    Quarterly,
    SemiAnnually,
    Annually,
    BySecond,
    ByMinute,
    ByHour,
    ByAMPM,
    ToYes,     // flags: a group starts where the value turns from no to yes
    ToNo,      // ... from yes to no
    EveryYes,  // a group ends after every yes
    EveryNo,   // a group ends after every no
    NextIsYes, // a group ends before every yes
    NextIsNo   // a group ends before every no
};

struct TFontSpec
{
    QString family;
    double pointSize = 0; // 0: inherited
    int bold = -1;        // -1 inherited, 0 off, 1 on
    int italic = -1;
    int underline = -1;
    int strike = -1;
};

enum class TObjectKind { Text, Field, RichText, Image, Line, Box, Special, Subreport, Table };

enum class TSpecialKind { PageNumber, TotalPages, PageNofM, PrintDate, PrintTime, RecordNumber };

enum class TImageFit { Proportional, Stretch, None };

// Which rules a table draws: every cell framed, a rule under each row, or none.
enum class TTableLines { All, Rows, None };

// One column of a table object: a cell of every row the table prints.
struct TTableColumn
{
    QString name;
    int line = 0;
    double width = 0; // mm; 0: what the other columns leave of the table's width
    QString text;     // a static cell text, or
    TExprPtr value;   // the cell's value
    QString format;
    TFontSpec font; // over the table's font
    QColor color;
    QColor background;
    Qt::Alignment align = Qt::AlignLeft;
    Qt::Alignment valign = Qt::AlignTop;
    bool wrap = true;
    double lineSpacing = 0;       // 0: the table's
    double paragraphSpacing = -1; // mm; negative: the table's
};

struct TSubreportLink
{
    QString mainField; // field of the section that holds the subreport object
    QString subField;  // field of the subreport's data
};

struct TReportObject
{
    TObjectKind kind = TObjectKind::Text;
    QString name;
    int line = 0;   // line of the definition file
    QRectF rect;    // mm, relative to the band (lines: from top-left to bottom-right)
    QString text;   // static text
    TExprPtr value; // field, rich text, image: the value
    QString format; // number or date pattern
    TFontSpec font;
    QColor color;      // text or line colour (invalid: inherited / black)
    QColor background; // fill behind a text, or of a box
    Qt::Alignment align = Qt::AlignLeft;
    Qt::Alignment valign = Qt::AlignTop;
    bool wrap = true;
    double lineSpacing = 0;       // times the font's line height; 0: the report's
    double paragraphSpacing = -1; // mm after each paragraph; negative: the report's
    bool printed = true;          // false: only in the text exports, never painted
    bool overrideFont = false;    // rich text: the object's font replaces the text's own
    bool grow = false;            // the object grows downwards to show all its text
    bool keepTogether = false;    // a grown text is never split across pages
    double borderWidth = 0;       // mm; 0 none
    QColor borderColor;
    double lineWidth = 0.25; // lines and boxes, mm
    Qt::PenStyle lineStyle = Qt::SolidLine;
    double radius = 0; // boxes, mm
    TImageFit fit = TImageFit::Proportional;
    int anchor = 4;    // 0..8 as the program's image fitting routine
    QString imageFile; // image read from a file (relative to the definition's folder)
    TSpecialKind special = TSpecialKind::PageNumber;
    TExprPtr suppress;
    // Subreport objects.
    QString subreportName; // as written (an extension is ignored)
    std::vector<TSubreportLink> links;
    bool suppressBlank = false;
    // Table objects: the columns, the room inside each cell (mm), the rules and the background
    // of every other row.
    std::vector<TTableColumn> columns;
    double paddingX = 1.0;
    double paddingY = 0.6;
    TTableLines tableLines = TTableLines::Rows;
    QColor alternate;

    bool UsesPageValues() const; // refers to PageNumber or TotalPages
};

enum class TBandKind {
    ReportHeader,
    PageHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    PageFooter,
    ReportFooter
};

struct TReportBand
{
    TBandKind kind = TBandKind::Detail;
    QString name;
    QString groupName; // group headers and footers
    int line = 0;
    double height = 0; // mm
    TExprPtr suppress;
    TExprPtr newPageBefore;
    TExprPtr newPageAfter;
    bool keepTogether = false;
    // Kept on the page of what prints after it (for a band with subreports: its part above the
    // first subreport), so a heading never stays alone at the foot of a page.
    bool keepWithNext = false;
    // Detail bands: consecutive rows printed side by side in this many columns.
    int columns = 1;
    QColor background;
    std::vector<std::unique_ptr<TReportObject>> objects;
};

struct TReportGroup
{
    QString name;
    int line = 0;
    QString field;
    TReportSortOrder order = TReportSortOrder::Ascending;
    TGroupCondition condition = TGroupCondition::AnyValue;
    bool keepTogether = false;
    bool repeatHeader = false;
    bool newPageBefore = false;
    std::vector<TReportBand *> headers; // Not owned (the section's bands).
    std::vector<TReportBand *> footers; // Not owned.
};

struct TSortField
{
    QString field;
    TReportSortOrder order = TReportSortOrder::Ascending;
};

struct TFormulaDef
{
    QString name;
    int line = 0;
    QString text;
    bool isText = false; // declared "type: text"
    TExprPtr expr;
};

// The main report or a subreport: its data, groups and bands.
struct TReportSection
{
    QString name; // subreports: the name the callers bind data to
    // Subreports: read the data bound to another subreport's name (the same rows walked by
    // another layout, e.g. the children of a node of a tree); empty: its own name.
    QString dataName;
    int line = 0;
    bool isSubreport = false;
    std::vector<TSortField> sort;
    std::vector<TReportGroup> groups;
    std::vector<std::unique_ptr<TReportBand>> bands; // in file order
    std::vector<TFormulaDef> formulas;               // local formulas (subreports)

    std::vector<TReportBand *> BandsOf(TBandKind kind) const;
};

enum class TParamType { Text, Number, Boolean, Date };

struct TParameterDef
{
    QString name;
    int line = 0;
    TParamType type = TParamType::Text;
    QVariant defaultValue;
};

struct TPageSetup
{
    QPageSize size = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double marginLeft = 15, marginTop = 15, marginRight = 15, marginBottom = 15; // mm

    QSizeF SizeMm() const; // oriented
};

struct TReportDefinition
{
    QString fileName; // the file the definition was read from
    QString title;
    QString source; // the text it was read from (kept for reports that carry their data)
    TPageSetup page;
    TFontSpec font;              // the report's font (family and size always set)
    double lineSpacing = 1.0;    // default of every text: times the font's line height
    double paragraphSpacing = 0; // default of every text: mm after each paragraph
    std::vector<TParameterDef> parameters;
    std::vector<TFormulaDef> formulas;
    TReportSection main;
    std::vector<std::unique_ptr<TReportSection>> subreports;

    const TParameterDef *FindParameter(const QString &name) const;  // ignoring case
    TFormulaDef *FindFormula(const QString &name);                  // ignoring case
    const TReportSection *FindSubreport(const QString &name) const; // ignoring case and extension
};

// A subreport name without folder and extension ("DettProd_Scheda.rpt" -> "DettProd_Scheda").
QString SubreportBaseName(const QString &name);
