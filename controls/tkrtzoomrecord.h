#pragma once

// The record zoom of the grid's standard menu ("Zoom"): one line per grid column with its
// title and the current row's value.

#include <QDialog>

class QTableWidget;
class TKRTGrid;

class TKRTZOOMRECORD : public QDialog
{
    Q_OBJECT

public:
    // Frees itself when closed.
    explicit TKRTZOOMRECORD(TKRTGrid *grid);

    QTableWidget *List() const { return m_list; }
    // Copies the selected value to the clipboard.
    void CopySelectedValue();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SelectionMoved(int row);

    QTableWidget *m_list = nullptr; // Owned (child).
};
