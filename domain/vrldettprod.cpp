#include "domain/vrldettprod.h"

#include "db/dataset.h"

#include <QHash>

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
    QVariant Value(const char *name) const
    {
        const int col = m_rows.FieldIndex(QLatin1String(name));
        return col < 0 ? QVariant() : m_rows.ValueAt(m_row, col);
    }
    QString Text(const char *name) const
    {
        const QVariant v = Value(name);
        return v.isValid() && !v.isNull() ? v.toString() : QString();
    }
    qint32 Int(const char *name, qint32 fallback = 0) const
    {
        const QVariant v = Value(name);
        bool ok = false;
        const qint32 i = v.isValid() && !v.isNull() ? v.toInt(&ok) : 0;
        return ok ? i : fallback;
    }
    bool Flag(const char *name, bool fallback) const
    {
        const QVariant v = Value(name);
        if (!v.isValid() || v.isNull())
            return fallback;
        if (v.typeId() == QMetaType::Bool)
            return v.toBool();
        const QString s = v.toString().trimmed().toUpper();
        return s == u"1" || s == u"TRUE" || s == u"SI" || s == u"S" || s == u"T";
    }

private:
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

bool FillNodeFromTreeRow(TVRLDettProd &node, const TDataSet &rows, int recNo0)
{
    node.clear();
    const TRowReader row(rows, recNo0);
    if (row.Has("flVisible") && !row.Flag("flVisible", true))
        return false;
    node.sIdNodo = row.Text("idNodo");
    node.sIdParent = row.Text("idParent");
    node.sIdSezione = row.Text("idSezione");
    node.iNuTipologia = row.Int("nuTipologia");
    node.bAttivo = row.Flag("flAttivo", true);
    node.bCanInsertBeforeAfter = row.Flag("flCanInsertBeforeAfter", false);
    node.bCanAdd = row.Flag("flCanAdd", false);
    node.bNodoEspanso = row.Flag("flNodoEspanso", true);
    node.iNuOrderA = row.Int("nuOrderA");
    node.iNuOrderB = row.Int("nuOrderB");
    node.iNuOrderC = row.Int("nuOrderC");
    node.iNuOrderD = row.Int("nuOrderD");
    node.xTipoNode = NodeTipologiaFromCode(node.iNuTipologia);
    return true;
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
    for (int r = 0; r < count; ++r) {
        auto node = TVRLDettProd::CreateObject();
        if (!FillNodeFromTreeRow(*node, rows, r))
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
