#include "db/datasetsort.h"

#include "db/datastore.h"

#include <algorithm>
#include <cmath>

namespace {

int FindField(const std::vector<TFieldDef> &defs, QStringView name)
{
    for (size_t i = 0; i < defs.size(); ++i) {
        if (defs[i].name.size() == name.size()
            && QStringView(defs[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

// Three-way comparison of two non-null values of a column.
int CompareValues(const TColumn &col, int a, int b)
{
    switch (col.type) {
    case TFieldType::Text:
        return QString::compare(col.texts[size_t(a)], col.texts[size_t(b)], Qt::CaseInsensitive);
    case TFieldType::Integer:
    case TFieldType::DateTime: {
        const qint64 x = col.ints[size_t(a)];
        const qint64 y = col.ints[size_t(b)];
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Real: {
        const double x = col.reals[size_t(a)];
        const double y = col.reals[size_t(b)];
        const bool nx = std::isnan(x);
        const bool ny = std::isnan(y);
        if (nx || ny)
            return nx == ny ? 0 : (nx ? 1 : -1);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TFieldType::Flag:
        return int(col.flags[size_t(a)]) - int(col.flags[size_t(b)]);
    case TFieldType::Blob: {
        const QByteArray &x = col.blobs[size_t(a)];
        const QByteArray &y = col.blobs[size_t(b)];
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    }
    return 0;
}

int CompareCells(const TColumn &col, int a, int b)
{
    const bool na = col.nulls[size_t(a)];
    const bool nb = col.nulls[size_t(b)];
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    return CompareValues(col, a, b);
}

// One key: a comparator specialised by type, so that the inner loop has no type switch.
template<class Less>
void SortOneKey(std::vector<int> &rows, const quint8 *nulls, bool desc, Less less)
{
    if (desc) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            const bool na = nulls[a];
            const bool nb = nulls[b];
            if (na || nb)
                return nb && !na;
            return less(b, a);
        });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            const bool na = nulls[a];
            const bool nb = nulls[b];
            if (na || nb)
                return na && !nb;
            return less(a, b);
        });
    }
}

// One text key: the texts are sorted as compact (view, row) pairs, which keeps the compared
// strings' headers together instead of reaching them through the row indices.
void SortTexts(std::vector<int> &rows, const TColumn &col, bool desc)
{
    struct Key
    {
        QStringView text;
        int row;
    };
    std::vector<Key> keys;
    keys.reserve(rows.size());
    std::vector<int> nullRows;
    for (int r : rows) {
        if (col.nulls[size_t(r)])
            nullRows.push_back(r);
        else
            keys.push_back(Key{QStringView(col.texts[size_t(r)]), r});
    }
    if (desc) {
        std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            return b.text.compare(a.text, Qt::CaseInsensitive) < 0;
        });
    } else {
        std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
        });
    }
    // Nulls count as the smallest value.
    auto out = rows.begin();
    if (!desc)
        out = std::copy(nullRows.begin(), nullRows.end(), out);
    for (const Key &k : keys)
        *out++ = k.row;
    if (desc)
        std::copy(nullRows.begin(), nullRows.end(), out);
}

} // namespace

TDataSetSort::TDataSetSort(const QString &expr, const std::vector<TFieldDef> &defs)
{
    const QStringList parts = expr.split(QLatin1Char(','));
    for (const QString &rawPart : parts) {
        const QString part = rawPart.trimmed();
        if (part.isEmpty()) {
            if (parts.size() == 1)
                break;
            throw EDataSetError(
                QStringLiteral("Espressione di ordinamento non valida: \"%1\".").arg(expr));
        }
        QStringList words = part.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        TSortKey key;
        if (words.size() > 1) {
            const QString dir = words.last();
            if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0) {
                key.descending = true;
                words.removeLast();
            } else if (dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0) {
                words.removeLast();
            }
        }
        QString name = words.join(QLatin1Char(' '));
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        key.column = FindField(defs, name);
        if (key.column < 0) {
            throw EDataSetError(
                QStringLiteral("Campo \"%1\" inesistente nell'ordinamento \"%2\".").arg(name, expr));
        }
        m_keys.push_back(key);
    }
}

void TDataSetSort::Sort(std::vector<int> &rows, const TDataStore &store) const
{
    if (m_keys.empty() || rows.size() < 2)
        return;
    if (m_keys.size() == 1) {
        const TColumn &col = store.Column(m_keys[0].column);
        const bool desc = m_keys[0].descending;
        const quint8 *nulls = col.nulls.data();
        switch (col.type) {
        case TFieldType::Text:
            SortTexts(rows, col, desc);
            return;
        case TFieldType::Integer:
        case TFieldType::DateTime: {
            const qint64 *v = col.ints.data();
            SortOneKey(rows, nulls, desc, [v](int a, int b) { return v[a] < v[b]; });
            return;
        }
        case TFieldType::Flag: {
            const quint8 *v = col.flags.data();
            SortOneKey(rows, nulls, desc, [v](int a, int b) { return v[a] < v[b]; });
            return;
        }
        default:
            break;
        }
    }
    std::vector<const TColumn *> cols;
    for (const TSortKey &k : m_keys)
        cols.push_back(&store.Column(k.column));
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (size_t k = 0; k < cols.size(); ++k) {
            const int c = CompareCells(*cols[k], a, b);
            if (c != 0)
                return m_keys[k].descending ? c > 0 : c < 0;
        }
        return false;
    });
}
