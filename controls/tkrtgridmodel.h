#pragma once

// The table model of the data grid: reads the grid's dataset by visible row and column without
// copying any row, and follows the dataset's changes as its observer.

#include "controls/tkrtgridcolumn.h"
#include "db/dataset.h"

#include <QAbstractTableModel>

#include <vector>

class TKRTGridModel : public QAbstractTableModel, public TDataSetObserver
{
    Q_OBJECT

public:
    explicit TKRTGridModel(QObject *parent = nullptr);
    ~TKRTGridModel() override;

    // Not owned; detach (nullptr) before the dataset is freed.
    void SetDataSet(TDataSet *ds);
    TDataSet *DataSet() const { return m_ds; }
    bool DataActive() const;

    const std::vector<TKRTGridColumn> &Columns() const { return m_columns; }
    std::vector<TKRTGridColumn> &MutableColumns() { return m_columns; }
    void SetColumns(std::vector<TKRTGridColumn> columns);
    // Resolves every column's field index by name against the dataset.
    void ResolveFields();
    // Tells the views that the column titles or alignments changed.
    void ColumnsChanged();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section,
                        Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // TDataSetObserver
    void DataSetReset() override;
    void RowChanged(int recNo0) override;
    void CurrentChanged() override;

Q_SIGNALS:
    void CurrentRowChanged();
    void DataReset();

private:
    TDataSet *m_ds = nullptr; // Not owned.
    std::vector<TKRTGridColumn> m_columns;
};
