#pragma once

// The report file that carries its data: the definition text, the rows of the main and
// subreport data, the parameters, formulas and sort fields of the run, the print time and the
// images the definition reads from files. Re-opened, it prints the same pages without the
// datasets it was made from.

#include "reports/reportdefinition.h"
#include "reports/reportengine.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class TDataSet;

struct TReportDataFile
{
    QString definitionName;                          // the definition file the report was made from
    QString definitionSource;                        // its text
    std::vector<std::unique_ptr<TDataSet>> datasets; // Owned: the data, read back
    TReportInput input;                              // pointing into `datasets`
};

// True when the file starts as a report file with data.
bool IsReportDataFile(const QString &fileName);

// Writes definition and data; the datasets are read through clones (their current rows do not
// move). Image files named by the definition are stored too. Throws EReportError.
void WriteReportDataFile(const QString &fileName,
                         const TReportDefinition &definition,
                         const TReportInput &input);

// Reads a file written by WriteReportDataFile. Throws EReportError naming the file when it is
// not one or is damaged.
std::unique_ptr<TReportDataFile> ReadReportDataFile(const QString &fileName);
// Its definition, parsed (image paths as they were when the file was written).
std::unique_ptr<TReportDefinition> ParseDataFileDefinition(const TReportDataFile &file);
