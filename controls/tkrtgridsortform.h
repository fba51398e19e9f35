#pragma once

// The grid's multi-column sort dialog ("Ordina Per ..."): up to five levels, each a column and
// a direction.

#include <QDialog>

class QComboBox;
class QListWidget;
class TKRTGrid;

class TKRTGRIDSORTFORM : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kLevels = 5;

    // Frees itself when closed; on "Ordina" the sort is applied to the grid's dataset.
    explicit TKRTGRIDSORTFORM(TKRTGrid *grid);

    // The sort text of the chosen levels ("txA ASC, nuB DESC"); empty when none is chosen.
    QString SortText() const;
    void ResetLevels();

private:
    void Accepted();

    TKRTGrid *m_grid; // Not owned (the parent).
    QComboBox *m_fields[kLevels] = {};
    QComboBox *m_sort[kLevels] = {};
    QListWidget *m_fieldNames = nullptr; // LB_Fields (hidden), in the order of the titles
};
