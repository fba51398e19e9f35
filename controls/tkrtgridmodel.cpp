#include "controls/tkrtgridmodel.h"

TKRTGridModel::TKRTGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

TKRTGridModel::~TKRTGridModel()
{
    if (m_ds)
        m_ds->RemoveObserver(this);
}

void TKRTGridModel::SetDataSet(TDataSet *ds)
{
    if (ds == m_ds)
        return;
    beginResetModel();
    if (m_ds)
        m_ds->RemoveObserver(this);
    m_ds = ds;
    if (m_ds)
        m_ds->AddObserver(this);
    ResolveFields();
    endResetModel();
    Q_EMIT DataReset();
}

bool TKRTGridModel::DataActive() const
{
    return m_ds && m_ds->Active();
}

void TKRTGridModel::SetColumns(std::vector<TKRTGridColumn> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    ResolveFields();
    endResetModel();
}

void TKRTGridModel::ResolveFields()
{
    for (TKRTGridColumn &c : m_columns)
        c.FieldIndex = m_ds ? m_ds->FieldIndex(c.FieldName) : -1;
}

void TKRTGridModel::ColumnsChanged()
{
    if (!m_columns.empty())
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(m_columns.size()) - 1);
}

int TKRTGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !DataActive())
        return 0;
    return m_ds->RecordCount();
}

int TKRTGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TKRTGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !DataActive() || index.column() >= int(m_columns.size()))
        return QVariant();
    const TKRTGridColumn &c = m_columns[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        if (!c.HasField() || index.row() >= m_ds->RecordCount())
            return QVariant();
        return m_ds->DisplayTextAt(index.row(), c.FieldIndex);
    case Qt::TextAlignmentRole:
        return int(c.Alignment);
    default:
        return QVariant();
    }
}

QVariant TKRTGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    const TKRTGridColumn &c = m_columns[size_t(section)];
    if (role == Qt::DisplayRole)
        return c.Title;
    if (role == Qt::TextAlignmentRole)
        return int(c.TitleAlignment);
    return QVariant();
}

void TKRTGridModel::DataSetReset()
{
    beginResetModel();
    ResolveFields();
    endResetModel();
    Q_EMIT DataReset();
}

void TKRTGridModel::RowChanged(int recNo0)
{
    if (recNo0 < 0 || m_columns.empty())
        return;
    Q_EMIT dataChanged(index(recNo0, 0), index(recNo0, int(m_columns.size()) - 1));
}

void TKRTGridModel::CurrentChanged()
{
    Q_EMIT CurrentRowChanged();
}
