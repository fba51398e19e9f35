#include "db/datastore.h"

#include <QAnyStringView>
#include <QUtf8StringView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numeric>

// --- TColumn ----------------------------------------------------------------------------------

void TColumn::Resize(int n)
{
    const size_t sz = size_t(n);
    nulls.resize(sz, 1);
    switch (type) {
    case TFieldType::Text:
        texts.resize(sz);
        break;
    case TFieldType::Integer:
    case TFieldType::DateTime:
        ints.resize(sz, 0);
        break;
    case TFieldType::Real:
        reals.resize(sz, 0);
        break;
    case TFieldType::Flag:
        flags.resize(sz, 0);
        break;
    case TFieldType::Blob:
        blobs.resize(sz);
        break;
    }
}

QVariant TColumn::Value(int row) const
{
    const size_t r = size_t(row);
    if (nulls[r])
        return QVariant();
    switch (type) {
    case TFieldType::Text:
        return QVariant(texts[r]);
    case TFieldType::Integer:
        return QVariant(ints[r]);
    case TFieldType::Real:
        return QVariant(reals[r]);
    case TFieldType::Flag:
        return QVariant(bool(flags[r]));
    case TFieldType::DateTime:
        return QVariant(DateTimeFromStamp(ints[r]));
    case TFieldType::Blob:
        return QVariant(blobs[r]);
    }
    return QVariant();
}

void TColumn::Set(int row, const QVariant &typed)
{
    const size_t r = size_t(row);
    if (!typed.isValid()) {
        nulls[r] = 1;
        switch (type) {
        case TFieldType::Text:
            texts[r] = QString();
            break;
        case TFieldType::Blob:
            blobs[r] = QByteArray();
            break;
        default:
            break;
        }
        return;
    }
    nulls[r] = 0;
    switch (type) {
    case TFieldType::Text:
        texts[r] = typed.toString();
        break;
    case TFieldType::Integer:
        ints[r] = typed.toLongLong();
        break;
    case TFieldType::Real:
        reals[r] = typed.toDouble();
        break;
    case TFieldType::Flag:
        flags[r] = typed.toBool() ? 1 : 0;
        break;
    case TFieldType::DateTime:
        ints[r] = StampFromDateTime(typed.toDateTime());
        break;
    case TFieldType::Blob:
        blobs[r] = typed.toByteArray();
        break;
    }
}

void TColumn::CopyCell(int dst, const TColumn &other, int src)
{
    const size_t d = size_t(dst);
    const size_t s = size_t(src);
    nulls[d] = other.nulls[s];
    switch (type) {
    case TFieldType::Text:
        texts[d] = other.texts[s];
        break;
    case TFieldType::Integer:
    case TFieldType::DateTime:
        ints[d] = other.ints[s];
        break;
    case TFieldType::Real:
        reals[d] = other.reals[s];
        break;
    case TFieldType::Flag:
        flags[d] = other.flags[s];
        break;
    case TFieldType::Blob:
        blobs[d] = other.blobs[s];
        break;
    }
}

// --- Decoding of the server's text forms --------------------------------------------------------

namespace {

bool DecodeInteger(const char *p, int len, qint64 *out)
{
    const char *e = p + len;
    auto r = std::from_chars(p, e, *out);
    if (r.ec == std::errc() && r.ptr == e)
        return true;
    double d = 0;
    auto rd = std::from_chars(p, e, d);
    if (rd.ec == std::errc() && rd.ptr == e && std::isfinite(d) && std::fabs(d) < 9.2e18) {
        *out = std::llround(d);
        return true;
    }
    return false;
}

bool DecodeReal(const char *p, int len, double *out)
{
    const char *e = p + len;
    auto r = std::from_chars(p, e, *out);
    return r.ec == std::errc() && r.ptr == e;
}

bool DecodeFlag(const char *p, int len, quint8 *out)
{
    if (len == 1) {
        switch (p[0]) {
        case 't':
        case 'T':
        case '1':
        case 'y':
        case 'Y':
            *out = 1;
            return true;
        case 'f':
        case 'F':
        case '0':
        case 'n':
        case 'N':
            *out = 0;
            return true;
        default:
            break;
        }
    }
    bool b = false;
    if (ParseFlagText(QString::fromLatin1(p, len), &b)) {
        *out = b ? 1 : 0;
        return true;
    }
    return false;
}

// The value of every hexadecimal digit, -1 for any other character.
constexpr std::array<qint8, 256> kHexValues = [] {
    std::array<qint8, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = c >= '0' && c <= '9'   ? qint8(c - '0')
                       : c >= 'a' && c <= 'f' ? qint8(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? qint8(c - 'A' + 10)
                                              : qint8(-1);
    return t;
}();

// bytea in hex form ("\x89504e...") or in the older escape form ("ab\000\\").
QByteArray DecodeBytea(const char *p, int len)
{
    if (len >= 2 && p[0] == '\\' && p[1] == 'x') {
        QByteArray out;
        out.resize((len - 2) / 2);
        char *o = out.data();
        int n = 0;
        // Pictures come this way: a table, and one test for both digits of a byte.
        const auto *u = reinterpret_cast<const unsigned char *>(p);
        for (int i = 2; i + 1 < len; i += 2) {
            const int hi = kHexValues[u[i]];
            const int lo = kHexValues[u[i + 1]];
            if ((hi | lo) < 0)
                break;
            o[n++] = char((hi << 4) | lo);
        }
        out.truncate(n);
        return out;
    }
    QByteArray out;
    out.reserve(len);
    for (int i = 0; i < len; ++i) {
        if (p[i] == '\\' && i + 1 < len && p[i + 1] == '\\') {
            out.append('\\');
            ++i;
        } else if (p[i] == '\\' && i + 3 < len && p[i + 1] >= '0' && p[i + 1] <= '3') {
            out.append(char((p[i + 1] - '0') * 64 + (p[i + 2] - '0') * 8 + (p[i + 3] - '0')));
            i += 3;
        } else {
            out.append(p[i]);
        }
    }
    return out;
}

} // namespace

// --- TDataStore ---------------------------------------------------------------------------------

TDataStore::TDataStore(std::vector<TFieldDef> defs)
    : m_defs(std::move(defs))
{
    m_cols.resize(m_defs.size());
    for (size_t c = 0; c < m_defs.size(); ++c)
        m_cols[c].type = m_defs[c].type;
}

TDataStore::TDataStore(std::vector<TFieldDef> defs,
                       std::shared_ptr<const TDataSet::ColumnSource> src)
    : TDataStore(std::move(defs))
{
    if (!src)
        return;
    m_count = src->RowCount();
    for (size_t c = 0; c < m_cols.size(); ++c) {
        m_cols[c].decoded = false;
        m_cols[c].sourceColumn = int(c);
    }
    if (m_count > 0 && !m_cols.empty())
        m_source = std::move(src);
    else
        DecodeAll();
}

void TDataStore::Decode(int c) const
{
    TColumn &col = m_cols[size_t(c)];
    if (col.decoded)
        return;
    const int n = m_count;
    const int sc = col.sourceColumn;
    const TDataSet::ColumnSource *src = m_source.get();
    col.nulls.assign(size_t(n), 1);
    col.decoded = true;
    col.sourceColumn = -1;
    switch (col.type) {
    case TFieldType::Text:
        col.texts.assign(size_t(n), QString());
        break;
    case TFieldType::Integer:
    case TFieldType::DateTime:
        col.ints.assign(size_t(n), 0);
        break;
    case TFieldType::Real:
        col.reals.assign(size_t(n), 0);
        break;
    case TFieldType::Flag:
        col.flags.assign(size_t(n), 0);
        break;
    case TFieldType::Blob:
        col.blobs.assign(size_t(n), QByteArray());
        break;
    }
    if (!src) {
        ReleaseSourceWhenDone();
        return;
    }
    quint8 *nulls = col.nulls.data();
    for (int r = 0; r < n; ++r) {
        if (src->IsNull(r, sc))
            continue;
        const char *p = src->Text(r, sc);
        const int len = src->Length(r, sc);
        bool ok = true;
        switch (col.type) {
        case TFieldType::Text:
            col.texts[size_t(r)] = QString::fromUtf8(p, len);
            break;
        case TFieldType::Integer:
            ok = DecodeInteger(p, len, &col.ints[size_t(r)]);
            break;
        case TFieldType::Real:
            ok = DecodeReal(p, len, &col.reals[size_t(r)]);
            break;
        case TFieldType::Flag:
            ok = DecodeFlag(p, len, &col.flags[size_t(r)]);
            break;
        case TFieldType::DateTime:
            ok = ParseStampText(p, len, &col.ints[size_t(r)]);
            break;
        case TFieldType::Blob:
            col.blobs[size_t(r)] = DecodeBytea(p, len);
            break;
        }
        // A value the column type cannot hold (an infinite timestamp) reads as null.
        nulls[r] = ok ? 0 : 1;
    }
    ReleaseSourceWhenDone();
}

bool TDataStore::TextEquals(int c, int phys, QStringView text) const
{
    const TColumn &col = m_cols[size_t(c)];
    if (!col.decoded && col.type == TFieldType::Text && m_source) {
        // The source row of a column not yet decoded is the physical row: every change
        // decodes the whole store first.
        if (m_source->IsNull(phys, col.sourceColumn))
            return text.isEmpty();
        return QAnyStringView::equal(QUtf8StringView(m_source->Text(phys, col.sourceColumn),
                                                     m_source->Length(phys, col.sourceColumn)),
                                     text);
    }
    const TColumn &decoded = Column(c);
    if (decoded.nulls[size_t(phys)])
        return text.isEmpty();
    if (decoded.type == TFieldType::Text)
        return decoded.texts[size_t(phys)] == text;
    return decoded.Value(phys).toString() == text;
}

void TDataStore::DecodeAll() const
{
    for (int c = 0; c < int(m_cols.size()); ++c)
        Decode(c);
    m_source.reset();
}

void TDataStore::ReleaseSourceWhenDone() const
{
    for (const TColumn &col : m_cols) {
        if (!col.decoded)
            return;
    }
    m_source.reset();
}

int TDataStore::PhysOf(qint64 rowId) const
{
    const qint64 phys = rowId - m_rowBase;
    if (phys < 0 || phys >= m_count)
        return -1;
    return IsLive(int(phys)) ? int(phys) : -1;
}

std::vector<int> TDataStore::LiveRows() const
{
    std::vector<int> rows;
    rows.reserve(size_t(m_count - m_deletedCount));
    if (m_identityOrder) {
        for (int p = 0; p < m_count; ++p) {
            if (IsLive(p))
                rows.push_back(p);
        }
    } else {
        for (int p : m_order) {
            if (IsLive(p))
                rows.push_back(p);
        }
    }
    return rows;
}

void TDataStore::GrowBookkeeping(int newCount)
{
    if (!m_deleted.empty())
        m_deleted.resize(size_t(newCount), 0);
    if (!m_identityOrder) {
        for (int p = m_count; p < newCount; ++p)
            m_order.push_back(p);
    }
    m_count = newCount;
}

int TDataStore::AddRow(const std::vector<QVariant> &values,
                       int beforePhys,
                       TDataStoreListener *origin)
{
    DecodeAll();
    const int phys = m_count;
    for (size_t c = 0; c < m_cols.size(); ++c) {
        m_cols[c].Resize(phys + 1);
        m_cols[c].Set(phys, c < values.size() ? values[c] : QVariant());
    }
    GrowBookkeeping(phys + 1);
    if (beforePhys >= 0 && beforePhys < phys) {
        if (m_identityOrder) {
            m_order.resize(size_t(phys + 1));
            std::iota(m_order.begin(), m_order.end(), 0);
            m_identityOrder = false;
        }
        // The new row is last in m_order: move it before beforePhys.
        m_order.pop_back();
        auto it = std::find(m_order.begin(), m_order.end(), beforePhys);
        m_order.insert(it, phys);
    }
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, phys, origin);
    return phys;
}

void TDataStore::SetValues(int phys,
                           const std::vector<QVariant> &values,
                           const std::vector<quint8> &mask,
                           TDataStoreListener *origin)
{
    DecodeAll();
    for (size_t c = 0; c < m_cols.size() && c < values.size(); ++c) {
        if (c < mask.size() && mask[c])
            m_cols[c].Set(phys, values[c]);
    }
    const quint64 prev = m_version++;
    Notify(TStoreChange::Values, prev, phys, origin);
}

void TDataStore::DeleteRows(const std::vector<int> &phys, TDataStoreListener *origin)
{
    if (phys.empty())
        return;
    if (m_deleted.empty())
        m_deleted.assign(size_t(m_count), 0);
    for (int p : phys) {
        if (p >= 0 && p < m_count && !m_deleted[size_t(p)]) {
            m_deleted[size_t(p)] = 1;
            ++m_deletedCount;
        }
    }
    // Free what the deleted rows hold; the slots stay as tombstones.
    for (TColumn &col : m_cols) {
        if (!col.decoded)
            continue;
        for (int p : phys) {
            if (col.type == TFieldType::Text)
                col.texts[size_t(p)] = QString();
            else if (col.type == TFieldType::Blob)
                col.blobs[size_t(p)] = QByteArray();
        }
    }
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, -1, origin);
}

void TDataStore::Clear(TDataStoreListener *origin)
{
    m_rowBase += m_count;
    m_count = 0;
    m_deleted.clear();
    m_deletedCount = 0;
    m_identityOrder = true;
    m_order.clear();
    m_source.reset();
    for (TColumn &col : m_cols) {
        TFieldType t = col.type;
        col = TColumn();
        col.type = t;
    }
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, -1, origin);
}

int TDataStore::AppendRowsFrom(const TDataStore &src,
                               const std::vector<int> &srcRows,
                               TDataStoreListener *origin)
{
    const int first = m_count;
    const int n = int(srcRows.size());
    if (n == 0)
        return first;
    DecodeAll();
    // When src is this store, its columns are these: resize first, then copy by index.
    for (size_t c = 0; c < m_cols.size(); ++c) {
        TColumn &dst = m_cols[c];
        dst.Resize(first + n);
        const TColumn &from = src.Column(int(c));
        for (int i = 0; i < n; ++i)
            dst.CopyCell(first + i, from, srcRows[size_t(i)]);
    }
    GrowBookkeeping(first + n);
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, -1, origin);
    return first;
}

void TDataStore::AdoptAllRowsFrom(const TDataStore &src, TDataStoreListener *origin)
{
    m_rowBase += m_count;
    m_count = src.m_count;
    m_deleted.clear();
    m_deletedCount = 0;
    m_identityOrder = true;
    m_order.clear();
    m_source = src.m_source;
    for (size_t c = 0; c < m_cols.size(); ++c) {
        const TColumn &from = src.m_cols[c];
        TColumn &dst = m_cols[c];
        if (from.decoded) {
            dst = from; // vectors copied in bulk; texts and blobs shared
        } else {
            dst = TColumn();
            dst.type = from.type;
            dst.decoded = false;
            dst.sourceColumn = from.sourceColumn;
        }
    }
    ReleaseSourceWhenDone();
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, -1, origin);
}

int TDataStore::AppendColumns(std::vector<TColumn> &&columns, int n, TDataStoreListener *origin)
{
    const int first = m_count;
    if (n == 0)
        return first;
    DecodeAll();
    for (size_t c = 0; c < m_cols.size(); ++c) {
        TColumn &dst = m_cols[c];
        TColumn &from = columns[c];
        if (first == 0) {
            from.type = dst.type;
            dst = std::move(from);
            dst.Resize(n);
            continue;
        }
        dst.Resize(first + n);
        for (int i = 0; i < n; ++i)
            dst.CopyCell(first + i, from, i);
    }
    GrowBookkeeping(first + n);
    const quint64 prev = m_version++;
    Notify(TStoreChange::Rows, prev, -1, origin);
    return first;
}

void TDataStore::Attach(TDataStoreListener *view)
{
    m_views.push_back(view);
}

void TDataStore::Detach(TDataStoreListener *view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void TDataStore::Notify(TStoreChange change,
                        quint64 prevVersion,
                        int phys,
                        TDataStoreListener *origin)
{
    if (m_views.empty() || (m_views.size() == 1 && m_views.front() == origin))
        return;
    // A listener may detach others (or itself) while being told: check membership each time.
    const std::vector<TDataStoreListener *> views = m_views;
    for (TDataStoreListener *v : views) {
        if (v == origin)
            continue;
        if (std::find(m_views.begin(), m_views.end(), v) == m_views.end())
            continue;
        v->StoreChanged(change, prevVersion, phys);
    }
}
