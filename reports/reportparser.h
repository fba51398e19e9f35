#pragma once

// Reads report definitions written in the text format of docs/report-format.md.

#include "reports/reportdefinition.h"

#include <QString>

#include <memory>

// Parses a definition; fileName names the file in messages and anchors relative image paths.
// Throws EReportError naming the file and line of the fault.
std::unique_ptr<TReportDefinition> ParseReportDefinition(const QString &source,
                                                         const QString &fileName);
// Reads and parses a file (UTF-8). Throws EReportError when it cannot be read or is malformed.
std::unique_ptr<TReportDefinition> LoadReportDefinition(const QString &fileName);
