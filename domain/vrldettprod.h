#pragma once

// The detail node of a product (or of a quote line's copy of it): the node kinds with their
// database codes, the record hung on every node of a tree view and on every row of an item
// grid, the row handle of the data-sheet value grids, and the loader that turns the flat tree
// rows of the tree procedures into nodes.

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

class TDataSet;

// Node kinds, in this order (ordinal values 0 to 11). cnPreventivo and cnParteImgTxt are
// declared for the quote layout; no tree row maps to them.
enum TCurrentNodeTipologia : quint8 {
    cnPreventivo,
    cnProdotto, // the tree root: the product or the quote line itself
    cnScheda,
    cnVoceScheda,
    cnComponente,
    cnParte,
    cnParteImgTxt,
    cnParteTesto,
    cnParteImmagine,
    cnParteLinkWeb,
    cnParteTabella,
    cnParteVoceTabella
};

// The kind of a database code (nuTipologia 10 data sheet, 20 data-sheet item, 30 paragraph,
// 40 sub-paragraph, 50 text, 60 image, 70 web link, 80 table, 90 table item); any other code
// gives cnProdotto.
TCurrentNodeTipologia NodeTipologiaFromCode(int nuTipologia);
// The database code of a kind; 0 for the kinds no row carries.
int NodeTipologiaCode(TCurrentNodeTipologia kind);

// One node of a detail tree. A plain record: copies are snapshots that outlive the tree.
class TVRLDettProd
{
public:
    QString sIdNodo;   // the node's id; the root: the owner's id
    QString sIdParent; // top-level nodes: the owner's id; the root: its own id
    QString sIdSezione;
    qint32 iNuTipologia = 0; // database kind code; 0 for the root
    TCurrentNodeTipologia xTipoNode = cnProdotto;
    bool bAttivo = true;
    bool bCanInsertBeforeAfter = false; // during a move: accepts a sibling before or after
    bool bCanAdd = false;               // during a move: accepts a last child
    bool bNodoEspanso = true;
    qint32 iNuQuantita = 0; // quantity of a sub-paragraph (filled by the quote-side loader)
    qint32 iNuOrderA = 0;
    qint32 iNuOrderB = 0;
    qint32 iNuOrderC = 0;
    qint32 iNuOrderD = 0;
    qint32 iPagePreview = 0; // page of the product preview that shows the node; 0 unknown

    // A new record, already cleared.
    static std::unique_ptr<TVRLDettProd> CreateObject();
    void clear();
    void copyFromOther(const TVRLDettProd &xOther);
};

// Row handle of the two-column grids of data-sheet items and their values.
class TVRLVoceScheda
{
public:
    QString sIdVoceScheda;

    static std::unique_ptr<TVRLVoceScheda> CreateObject();
    void clear();
    void copyFromOther(const TVRLVoceScheda &xOther);
};

// Fills a node from a visible row (0-based) of the tree rows (idNodo, idParent, idSezione,
// nuTipologia, flAttivo, flCanInsertBeforeAfter, flCanAdd, flNodoEspanso, flVisible,
// nuOrderA..nuOrderD). A row whose flVisible is 0 gives no node: the record is left cleared
// and false is returned. Columns the rows lack keep their cleared values.
bool FillNodeFromTreeRow(TVRLDettProd &node, const TDataSet &rows, int recNo0);

// The tree rows read row after row: the columns are looked up once.
class TDettProdTreeRows
{
public:
    explicit TDettProdTreeRows(const TDataSet &rows); // Not owned: must outlive the reader.
    // As FillNodeFromTreeRow.
    bool Fill(TVRLDettProd &node, int recNo0) const;
    // flVisible (true when the rows lack it), idNodo and idParent of a row.
    bool Visible(int recNo0) const;
    QString IdNodo(int recNo0) const;
    QString IdParent(int recNo0) const;
    // Whether the row is the node with that id under the parent with that id; the ids are
    // compared as the rows store them, without reading them as texts.
    bool IsNode(int recNo0, const QString &sIdNodo, const QString &sIdParent) const;
    // Reads the row into the record of the node it is (IsNode) as Fill would, the ids it
    // already has kept as they are; the values no row gives are left alone.
    void Refresh(TVRLDettProd &node, int recNo0) const;

private:
    void FillValues(TVRLDettProd &node, int recNo0) const; // all but the ids

    const TDataSet &m_rows;
    int m_visible, m_idNodo, m_idParent, m_idSezione, m_tipologia, m_attivo, m_canInsert, m_canAdd,
        m_espanso, m_orderA, m_orderB, m_orderC, m_orderD;
};

// The root of a tree, built without a row: the three ids are the owner's, kind cnProdotto,
// active as the owner, bCanAdd set so a moving data sheet or paragraph can always be appended.
std::unique_ptr<TVRLDettProd> MakeRootNode(const QString &sIdOwner, bool bOwnerAttivo);

// Fills a node from a visible row (0-based) of an item grid of a table (idTabVoce, idTabParte,
// flVoceTabAttiva) or of a data sheet (idVoceScheda, idSchedaProdotto, flVoceSchedaAttiva);
// the other fields keep their cleared values.
void FillNodeFromItemRow(TVRLDettProd &node, const TDataSet &rows, int recNo0);

// A whole tree: the root first, then one entry per visible row whose parent is in the tree, in
// the order of the rows (sorted by nuOrderA..nuOrderD, every row after its parent). A row that
// is not visible yields no node, and neither do its descendants.
struct TDettProdTreeEntry
{
    std::unique_ptr<TVRLDettProd> node;
    int parent = -1; // index of the parent entry; -1 for the root
    int recNo0 = -1; // the row it was filled from (0-based, visible rows); -1 for the root
};
std::vector<TDettProdTreeEntry> LoadDettProdTree(const TDataSet &rows,
                                                 const QString &sIdOwner,
                                                 bool bOwnerAttivo);

// The data sheet or paragraph marked in the structure editor for copying into another
// product, for the whole process: set by the editor, completed or cancelled by the product
// list, discarded when a new product list window opens. Holds a snapshot, so it survives the
// rebuild of the tree it was taken from.
TVRLDettProd *PendingCopyNode(); // nullptr when no copy is pending
void SetPendingCopyNode(const TVRLDettProd &node);
void ClearPendingCopyNode();
