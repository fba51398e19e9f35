#pragma once

// Column store behind TDataSet: the rows shared by a dataset and its clones.
//
// Rows are never moved: a row keeps its physical index until the store is emptied, deletion
// leaves a tombstone. A row's identity (bookmark) is the physical index plus a base that grows
// whenever the store is emptied, so old bookmarks never match new rows. Columns read from a
// server result stay in the result's text form until first read, then the whole column is
// decoded at once.

#include "db/dataset.h"
#include "db/fieldvalue.h"

#include <memory>
#include <vector>

struct TColumn
{
    TFieldType type = TFieldType::Text;
    bool decoded = true;   // false: the values are still in the store's source
    int sourceColumn = -1; // column of the source while not decoded
    std::vector<quint8> nulls;
    std::vector<QString> texts;    // Text
    std::vector<qint64> ints;      // Integer; DateTime as TStampMs
    std::vector<double> reals;     // Real
    std::vector<quint8> flags;     // Flag
    std::vector<QByteArray> blobs; // Blob

    void Resize(int n);
    // Typed value (QString, qint64, double, bool, QDateTime, QByteArray); invalid when null.
    QVariant Value(int row) const;
    // Stores a value already converted to the column type (invalid: null).
    void Set(int row, const QVariant &typed);
    // this[dst] = other[src] for columns of the same type.
    void CopyCell(int dst, const TColumn &other, int src);
};

// What changed in a store, for the views attached to it.
enum class TStoreChange { Values, Rows };

class TDataStoreListener
{
public:
    virtual ~TDataStoreListener() = default;
    // prevVersion: the store version before the change; phys: the row edited (Values) or -1.
    virtual void StoreChanged(TStoreChange change, quint64 prevVersion, int phys) = 0;
};

class TDataStore
{
public:
    explicit TDataStore(std::vector<TFieldDef> defs);
    TDataStore(std::vector<TFieldDef> defs, std::shared_ptr<const TDataSet::ColumnSource> src);
    TDataStore(const TDataStore &) = delete;
    TDataStore &operator=(const TDataStore &) = delete;

    const std::vector<TFieldDef> &Defs() const { return m_defs; }
    int ColumnCount() const { return int(m_cols.size()); }
    TFieldType Type(int c) const { return m_cols[size_t(c)].type; }
    // The column, decoded from the source on first use.
    const TColumn &Column(int c) const
    {
        const TColumn &col = m_cols[size_t(c)];
        if (!col.decoded)
            Decode(c);
        return col;
    }

    // Whether the value of column c in a physical row, read as text (null as empty), equals
    // text; a text column not yet decoded is compared in the source's form, left undecoded.
    bool TextEquals(int c, int phys, QStringView text) const;

    int PhysicalCount() const { return m_count; }
    int DeletedCount() const { return m_deletedCount; }
    bool IsLive(int phys) const { return m_deletedCount == 0 || !m_deleted[size_t(phys)]; }
    qint64 RowId(int phys) const { return m_rowBase + phys; }
    int PhysOf(qint64 rowId) const; // -1 when unknown or deleted
    quint64 Version() const { return m_version; }

    // Natural order of the physical rows (tombstones included); nullptr: 0, 1, 2, ...
    const std::vector<int> *NaturalOrder() const { return m_identityOrder ? nullptr : &m_order; }
    // Live rows in natural order; true when they are exactly 0..PhysicalCount()-1.
    bool LiveRowsAreIdentity() const { return m_identityOrder && m_deletedCount == 0; }
    std::vector<int> LiveRows() const;

    // Changes. Each bumps the version and tells every attached view except origin.
    // values: typed per column (see TColumn::Set); beforePhys -1 appends at the natural end.
    int AddRow(const std::vector<QVariant> &values, int beforePhys, TDataStoreListener *origin);
    void SetValues(int phys,
                   const std::vector<QVariant> &values,
                   const std::vector<quint8> &mask,
                   TDataStoreListener *origin);
    void DeleteRows(const std::vector<int> &phys, TDataStoreListener *origin);
    void Clear(TDataStoreListener *origin);
    // Appends the given rows of a store with the same column types (possibly this one).
    // Returns the first new physical row.
    int AppendRowsFrom(const TDataStore &src,
                       const std::vector<int> &srcRows,
                       TDataStoreListener *origin);
    // An empty store takes every row of a store with the same structure whose live rows are
    // 0..n-1 in natural order; columns not yet decoded stay lazy on the same source.
    void AdoptAllRowsFrom(const TDataStore &src, TDataStoreListener *origin);
    // Appends n rows given column by column, one column per column of this store with its
    // type. Returns the first new physical row.
    int AppendColumns(std::vector<TColumn> &&columns, int n, TDataStoreListener *origin);

    void Attach(TDataStoreListener *view);
    void Detach(TDataStoreListener *view);

private:
    void Decode(int c) const;
    void DecodeAll() const;
    void ReleaseSourceWhenDone() const;
    void Notify(TStoreChange change, quint64 prevVersion, int phys, TDataStoreListener *origin);
    void GrowBookkeeping(int newCount);

    std::vector<TFieldDef> m_defs;
    mutable std::vector<TColumn> m_cols;
    mutable std::shared_ptr<const TDataSet::ColumnSource> m_source;
    int m_count = 0;
    qint64 m_rowBase = 0;
    std::vector<quint8> m_deleted; // sized only once something was deleted
    int m_deletedCount = 0;
    bool m_identityOrder = true;
    std::vector<int> m_order; // used once a row was inserted in the middle
    quint64 m_version = 1;
    std::vector<TDataStoreListener *> m_views; // Not owned.
};
