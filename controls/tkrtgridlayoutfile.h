#pragma once

// The column layout files of the data grid: the column collection (order, field, title,
// widths, alignments, visibility) written as a small JSON document.

#include "controls/tkrtgridcolumn.h"

#include <QString>

#include <vector>

class TKRTGridLayoutFile
{
public:
    enum TReadResult { Loaded, Missing, Damaged };

    // False when the file cannot be written.
    static bool Write(const QString &path, const std::vector<TKRTGridColumn> &columns);
    // Damaged: unreadable, not a layout document, or a column without a field name.
    static TReadResult Read(const QString &path, std::vector<TKRTGridColumn> *columns);
};
