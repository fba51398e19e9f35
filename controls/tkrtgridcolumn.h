#pragma once

#include <QString>
#include <Qt>

// One column of a grid, bound to a field of the grid's dataset by name.
struct TKRTGridColumn
{
    QString FieldName;
    int FieldIndex = -1; // index of the field in the dataset; -1 when the dataset lacks it
    QString Title;
    Qt::Alignment TitleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int Width = 64; // pixels
    bool Visible = true;

    bool HasField() const { return FieldIndex >= 0; }
};
