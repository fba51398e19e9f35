#pragma once

// The item grids of the node data pane: all the items of one data sheet (one text each) or of
// one table (a text and a value each) edited at once. Rows are edited in place, dragged to a
// new place by their number, added, cleared and removed (never the last one left); "Ok" writes
// the whole grid back in one transaction: changed items updated, removed ones deleted, new ones
// inserted, every item at the position of its row (1..n).
//
// Stored positions are expected to be 1..n; items with gaps, repeats or positions outside that
// range are shown in their stored order after one another (none is lost, no row is left
// empty) and the next "Ok" renumbers them.

#include "catalogue/dettprodnodepane.h"

#include <map>
#include <memory>

class QCheckBox;
class QPushButton;
class QTableWidget;
class TDataSet;
class TEditableRecordSet;

class TDettProdItemGridPanel : public TDettProdNodePanel
{
    Q_OBJECT

public:
    // table: the items of a table (three columns), else of a data sheet (two).
    explicit TDettProdItemGridPanel(bool table, QWidget *parent = nullptr);
    ~TDettProdItemGridPanel() override;

    bool Open(const TDettProdNodeContext &context) override;
    QString Title(const TDettProdNodeContext &context) const override;
    QWidget *MainField() const override;
    bool Save(const TDettProdNodeContext &context) override;
    void Release() override;
    void Shown() override;

    // The buttons and the drag of a row (0-based grid rows).
    void AddRow();
    void DeleteRow();
    void ClearRow();
    void MoveRow(int from, int to);
    // The record of a grid row (0-based), or nullptr.
    TVRLDettProd *RowRecord(int row) const;
    int RowCount() const;
    QString CellText(int row, int column) const;
    // The text of an open cell editor into its cell (before saving or reading the cells).
    void CommitOpenEditor();

    QTableWidget *SG_Grid = nullptr;        // Owned (child): SG_Scheda or SG_Tabella.
    QPushButton *PB_NuovaRiga = nullptr;    // Owned (child).
    QPushButton *PB_EliminaRiga = nullptr;  // Owned (child).
    QPushButton *PB_PulisciRiga = nullptr;  // Owned (child).
    QCheckBox *CK_VoceNodoAttiva = nullptr; // Owned (child).

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct TColumns
    {
        QString id, owner, position, text, value, active;
    };
    int AppendGridRow(std::unique_ptr<TVRLDettProd> record,
                      const QString &text,
                      const QString &value);
    void Renumber();
    // Appends an empty item and selects it; its row.
    int AppendNewRow();
    void SetColumnWidths();
    void FitRowHeights();
    void EditCell(int row, int column);
    void CellChanged(int row);
    void ActiveClicked(bool on);
    // Enter after an edit: next row or column, or a new row after the last.
    void EnterAfterEdit(int row, int column);
    void ClearGrid();

    const bool m_table;
    TColumns m_col;
    std::unique_ptr<TEditableRecordSet> m_items;
    std::map<QString, std::unique_ptr<TVRLDettProd>> m_records; // Owned: one per grid row.
    QString m_owner;
    int m_dragFrom = -1;
    int m_editRow = -1; // the cell edited once the grid is on screen
};
