#include "domain/vrldettprod.h"

#include "db/dataset.h"

#include <QHash>

#include <limits>

namespace {

struct TKindCode
{
    int code;
    TCurrentNodeTipologia kind;
};

constexpr TKindCode kKindCodes[] = {{10, cnScheda},
                                    {20, cnVoceScheda},
                                    {30, cnComponente},
                                    {40, cnParte},
                                    {50, cnParteTesto},
                                    {60, cnParteImmagine},
                                    {70, cnParteLinkWeb},
                                    {80, cnParteTabella},
                                    {90, cnParteVoceTabella}};

// Reads one row's values by column name; a column the rows lack reads as null.
class TRowReader
{
public:
    TRowReader(const TDataSet &rows, int recNo0)
        : m_rows(rows)
        , m_row(recNo0)
    {}

    bool Has(const char *name) const { return m_rows.FieldIndex(QLatin1String(name)) >= 0; }
    QString Text(const char *name) const { return TextAt(m_rows, m_row, Col(name)); }
    bool Flag(const char *name, bool fallback) const
    {
        return FlagAt(m_rows, m_row, Col(name), fallback);
    }

    static QVariant ValueAt(const TDataSet &rows, int row, int col)
    {
        return col < 0 ? QVariant() : rows.ValueAt(row, col);
    }
    static QString TextAt(const TDataSet &rows, int row, int col)
    {
        const QVariant v = ValueAt(rows, row, col);
        if (v.typeId() == QMetaType::QString)
            return v.value<QString>();
        return v.isValid() && !v.isNull() ? v.toString() : QString();
    }
    static qint32 IntAt(const TDataSet &rows, int row, int col, qint32 fallback = 0)
    {
        const QVariant v = ValueAt(rows, row, col);
        if (v.typeId() == QMetaType::LongLong) {
            const qint64 i = v.value<qint64>();
            if (i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max())
                return qint32(i);
        }
        bool ok = false;
        const qint32 i = v.isValid() && !v.isNull() ? v.toInt(&ok) : 0;
        return ok ? i : fallback;
    }
    static bool FlagAt(const TDataSet &rows, int row, int col, bool fallback)
    {
        const QVariant v = ValueAt(rows, row, col);
        if (!v.isValid() || v.isNull())
            return fallback;
        if (v.typeId() == QMetaType::Bool)
            return v.value<bool>();
        if (v.typeId() == QMetaType::LongLong)
            return v.value<qint64>() == 1;
        const QString s = v.toString().trimmed().toUpper();
        return s == u"1" || s == u"TRUE" || s == u"SI" || s == u"S" || s == u"T";
    }

private:
    int Col(const char *name) const { return m_rows.FieldIndex(QLatin1String(name)); }

    const TDataSet &m_rows;
    int m_row;
};

std::unique_ptr<TVRLDettProd> &PendingSlot()
{
    static std::unique_ptr<TVRLDettProd> pending;
    return pending;
}

} // namespace

TCurrentNodeTipologia NodeTipologiaFromCode(int nuTipologia)
{
    for (const TKindCode &k : kKindCodes) {
        if (k.code == nuTipologia)
            return k.kind;
    }
    return cnProdotto;
}

int NodeTipologiaCode(TCurrentNodeTipologia kind)
{
    for (const TKindCode &k : kKindCodes) {
        if (k.kind == kind)
            return k.code;
    }
    return 0;
}

std::unique_ptr<TVRLDettProd> TVRLDettProd::CreateObject()
{
    auto node = std::make_unique<TVRLDettProd>();
    node->clear();
    return node;
}

void TVRLDettProd::clear()
{
    sIdNodo.clear();
    sIdParent.clear();
    sIdSezione.clear();
    iNuTipologia = 0;
    xTipoNode = cnProdotto;
    bAttivo = true;
    bCanInsertBeforeAfter = false;
    bCanAdd = false;
    bNodoEspanso = true;
    iNuQuantita = 0;
    iNuOrderA = 0;
    iNuOrderB = 0;
    iNuOrderC = 0;
    iNuOrderD = 0;
    iPagePreview = 0;
}

void TVRLDettProd::copyFromOther(const TVRLDettProd &xOther)
{
    if (&xOther != this)
        *this = xOther;
}

std::unique_ptr<TVRLVoceScheda> TVRLVoceScheda::CreateObject()
{
    auto item = std::make_unique<TVRLVoceScheda>();
    item->clear();
    return item;
}

void TVRLVoceScheda::clear()
{
    sIdVoceScheda.clear();
}

void TVRLVoceScheda::copyFromOther(const TVRLVoceScheda &xOther)
{
    if (&xOther != this)
        sIdVoceScheda = xOther.sIdVoceScheda;
}

TDettProdTreeRows::TDettProdTreeRows(const TDataSet &rows)
    : m_rows(rows)
{
    auto col = [&](const char *name) { return rows.FieldIndex(QLatin1String(name)); };
    m_visible = col("flVisible");
    m_idNodo = col("idNodo");
    m_idParent = col("idParent");
    m_idSezione = col("idSezione");
    m_tipologia = col("nuTipologia");
    m_attivo = col("flAttivo");
    m_canInsert = col("flCanInsertBeforeAfter");
    m_canAdd = col("flCanAdd");
    m_espanso = col("flNodoEspanso");
    m_orderA = col("nuOrderA");
    m_orderB = col("nuOrderB");
    m_orderC = col("nuOrderC");
    m_orderD = col("nuOrderD");
}

bool TDettProdTreeRows::Visible(int recNo0) const
{
    return m_visible < 0 || TRowReader::FlagAt(m_rows, recNo0, m_visible, true);
}

QString TDettProdTreeRows::IdNodo(int recNo0) const
{
    return TRowReader::TextAt(m_rows, recNo0, m_idNodo);
}

QString TDettProdTreeRows::IdParent(int recNo0) const
{
    return TRowReader::TextAt(m_rows, recNo0, m_idParent);
}

bool TDettProdTreeRows::IsNode(int recNo0, const QString &sIdNodo, const QString &sIdParent) const
{
    auto same = [&](int col, const QString &text) {
        return col < 0 ? text.isEmpty() : m_rows.TextEqualsAt(recNo0, col, text);
    };
    return same(m_idNodo, sIdNodo) && same(m_idParent, sIdParent);
}

void TDettProdTreeRows::Refresh(TVRLDettProd &node, int r) const
{
    const bool sameSezione = m_idSezione < 0 ? node.sIdSezione.isEmpty()
                                             : m_rows.TextEqualsAt(r, m_idSezione, node.sIdSezione);
    if (!sameSezione)
        node.sIdSezione = TRowReader::TextAt(m_rows, r, m_idSezione);
    FillValues(node, r);
}

bool TDettProdTreeRows::Fill(TVRLDettProd &node, int r) const
{
    node.clear();
    if (!Visible(r))
        return false;
    node.sIdNodo = IdNodo(r);
    node.sIdParent = IdParent(r);
    node.sIdSezione = TRowReader::TextAt(m_rows, r, m_idSezione);
    FillValues(node, r);
    return true;
}

void TDettProdTreeRows::FillValues(TVRLDettProd &node, int r) const
{
    node.iNuTipologia = TRowReader::IntAt(m_rows, r, m_tipologia);
    node.bAttivo = TRowReader::FlagAt(m_rows, r, m_attivo, true);
    node.bCanInsertBeforeAfter = TRowReader::FlagAt(m_rows, r, m_canInsert, false);
    node.bCanAdd = TRowReader::FlagAt(m_rows, r, m_canAdd, false);
    node.bNodoEspanso = TRowReader::FlagAt(m_rows, r, m_espanso, true);
    node.iNuOrderA = TRowReader::IntAt(m_rows, r, m_orderA);
    node.iNuOrderB = TRowReader::IntAt(m_rows, r, m_orderB);
    node.iNuOrderC = TRowReader::IntAt(m_rows, r, m_orderC);
    node.iNuOrderD = TRowReader::IntAt(m_rows, r, m_orderD);
    node.xTipoNode = NodeTipologiaFromCode(node.iNuTipologia);
}

bool FillNodeFromTreeRow(TVRLDettProd &node, const TDataSet &rows, int recNo0)
{
    return TDettProdTreeRows(rows).Fill(node, recNo0);
}

std::unique_ptr<TVRLDettProd> MakeRootNode(const QString &sIdOwner, bool bOwnerAttivo)
{
    auto root = TVRLDettProd::CreateObject();
    root->sIdNodo = sIdOwner;
    root->sIdParent = sIdOwner;
    root->sIdSezione = sIdOwner;
    root->xTipoNode = cnProdotto;
    root->bAttivo = bOwnerAttivo;
    root->bCanAdd = true;
    root->bCanInsertBeforeAfter = false;
    return root;
}

void FillNodeFromItemRow(TVRLDettProd &node, const TDataSet &rows, int recNo0)
{
    node.clear();
    const TRowReader row(rows, recNo0);
    if (row.Has("idTabVoce")) {
        node.sIdNodo = row.Text("idTabVoce");
        node.sIdParent = row.Text("idTabParte");
        node.bAttivo = row.Flag("flVoceTabAttiva", true);
    } else {
        node.sIdNodo = row.Text("idVoceScheda");
        node.sIdParent = row.Text("idSchedaProdotto");
        node.bAttivo = row.Flag("flVoceSchedaAttiva", true);
    }
}

std::vector<TDettProdTreeEntry> LoadDettProdTree(const TDataSet &rows,
                                                 const QString &sIdOwner,
                                                 bool bOwnerAttivo)
{
    std::vector<TDettProdTreeEntry> tree;
    tree.push_back({MakeRootNode(sIdOwner, bOwnerAttivo), -1, -1});
    QHash<QString, int> index; // node id -> entry
    index.insert(sIdOwner, 0);
    const int count = rows.Active() ? rows.RecordCount() : 0;
    tree.reserve(size_t(count) + 1);
    index.reserve(count + 1);
    const TDettProdTreeRows reader(rows);
    for (int r = 0; r < count; ++r) {
        auto node = TVRLDettProd::CreateObject();
        if (!reader.Fill(*node, r))
            continue;
        // A row whose parent produced no node (hidden, or not delivered) is left out with it.
        const int parent = index.value(node->sIdParent, -1);
        if (parent < 0 || node->sIdNodo.isEmpty() || index.contains(node->sIdNodo))
            continue;
        // The parent's position is read before the insertion, which may grow the table.
        index.insert(node->sIdNodo, int(tree.size()));
        tree.push_back({std::move(node), parent, r});
    }
    return tree;
}

TVRLDettProd *PendingCopyNode()
{
    return PendingSlot().get();
}

void SetPendingCopyNode(const TVRLDettProd &node)
{
    auto copy = TVRLDettProd::CreateObject();
    copy->copyFromOther(node);
    PendingSlot() = std::move(copy);
}

void ClearPendingCopyNode()
{
    PendingSlot().reset();
}
