#pragma once

// Binding and pagination: a definition and its data become pages of primitives.
//
// The main data and every subreport's data are read through views of their own (clones of the
// datasets handed over), so the caller's current row, sort and filter never move. Groups sort
// the rows by their fields first, then the definition's sort, then the sort fields asked at run
// time; a group in original order keeps the order of the data.

#include "reports/reportdefinition.h"
#include "reports/reportpage.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>

class TDataSet;

// A sort field asked at run time (see TKRTCrystalReport's order-by fields).
struct TSortRequest
{
    QString field;
    TReportSortOrder order = TReportSortOrder::Ascending;
    bool changeCondition = false; // the group on this field uses `condition`
    TGroupCondition condition = TGroupCondition::AnyValue;
};

// Everything a run needs besides the definition.
struct TReportInput
{
    TDataSet *main = nullptr;                               // Not owned.
    std::vector<std::pair<QString, TDataSet *>> subreports; // Not owned; names in any case
    std::vector<std::pair<QString, QVariant>> parameters;   // names in any case
    std::vector<std::pair<QString, QString>> formulas;      // replaced formula texts
    std::vector<TSortRequest> orderBy;
    QDateTime printTime; // invalid: now
    // Images of the definition's image files by path, when they come with the data (read from
    // disk otherwise).
    QHash<QString, QByteArray> fileImages;
};

// Applies the run-time parameters, formulas and sort fields to a copy of the definition's
// settings, binds the data and paginates. Throws EReportError for a fault of the definition
// or of the data (unknown field, a value that is not an image, a parameter that does not
// convert), naming the file, line, object and field.
std::unique_ptr<TReportDocument> RenderReport(const TReportDefinition &definition,
                                              const TReportInput &input);

// A parameter value converted to the declared type: numbers accept "1234.5", "1.234,5" and
// numbers; booleans "SI"/"NO", "S"/"N", "1"/"0", "true"/"false"; dates "dd/mm/yyyy" and dates.
// Throws EReportError naming the parameter when the value does not convert.
QVariant ConvertParameter(const TParameterDef &def, const QVariant &value, const QString &file);

// The text of a late value (page number, page count) for a primitive, set after pagination.
struct TLateText;
