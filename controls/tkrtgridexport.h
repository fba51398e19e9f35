#pragma once

// Export of a grid's visible data columns to a delimited text file.

#include "controls/tkrtgridcolumn.h"

#include <QString>

#include <vector>

class TDataSet;

class TKRTGridExport
{
public:
    // Creates or overwrites the file: a header line with the trimmed titles, then one line per
    // visible row (texts between double quotes, numbers, flags and dates as text, nulls and
    // binary values empty), lines ending with CR LF, in the system's 8-bit encoding. An empty
    // or closed dataset gives an empty file. False when the file cannot be written.
    static bool Write(const QString &path,
                      const TDataSet *ds,
                      const std::vector<TKRTGridColumn> &columns,
                      const QString &delimiter);
};
