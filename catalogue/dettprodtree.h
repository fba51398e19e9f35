#pragma once

// The detail tree of a product or of a quote line's copy of it, as the structure editor and the
// quote line details show it: nodes built from the tree rows with their captions and icons,
// drawn by kind (fonts, colours, disabled nodes struck through, collapsed parents underlined,
// the colours of a move), and expanded or collapsed through a three-state gate that lets the
// operator toggle only data sheets, paragraphs, sub-paragraphs and tables, recording the choice
// in the rows.
//
// A rebuild over rows whose nodes are the same as the ones shown (same ids, same parents, same
// order: an enable or disable, a caption change) updates the nodes in place instead of
// recreating the widget's items, so that the view keeps its items, selection and scroll
// position, and only captions that changed are made again.

#include "domain/vrldettprod.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

class TDataSet;

// The texts of a tree row that make a node's caption, trimmed.
struct TDettProdCaptionRow
{
    QString sDesc;  // txDescNodo
    QString sDescB; // txDescNodoB (empty when null)
    QString sDescC; // txDescNodoC (empty when null)
    double dQuantita = 0;
    bool bTestoInElenco = false;
    bool bExistsImg = false;
};

// The caption of a node of a product tree (not of the root):
//   data sheet      nuOrderA. description, or "(Scheda senza titolo)"
//   data-sheet item nuOrderB. description
//   paragraph       nuOrderA. description, or "(Paragrafo senza descrizione)"
//   sub-paragraph   nuOrderB. [ N° quantity ]description, or "(senza descrizione)"
//   text            nuOrderC. [-- ]description, or "(testo mancante)"
//   image           nuOrderC. [(immagine non presente) - ]caption, or "(senza didascalia)"
//   web link        nuOrderC. description, or "(link web mancante)"
//   table           nuOrderC. description  ---  Intestazioni:  voce title  -->  value title
//   table item      nuOrderD. Voce: "text"  -->  Valore: "value"
QString ProductNodeCaption(const TVRLDettProd &node, const TDettProdCaptionRow &row);
// The root's caption: the description, followed by " (" + code + ")" when the code is not blank.
QString ProductRootCaption(const QString &sDescProdotto, const QString &sCodProdotto);
// "la scheda", "il paragrafo" ...: the object named by a node's enable and disable entry.
QString NodeKindObject(TCurrentNodeTipologia kind);

// A window with captions of its own (the quote line details) passes its rule to the tree.
// A rule reads of the node only its kind, order numbers and quantity (the tree makes a
// caption again only when these or the row values changed); a node's state shows in its
// drawing, never in its caption.
using TDettProdCaptionRule
    = std::function<QString(const TVRLDettProd &node, const TDettProdCaptionRow &row)>;

// The root of a tree, built without a row.
struct TDettProdRoot
{
    QString sIdOwner; // the product or the quote line
    bool bAttivo = true;
    QString sCaption;
};

// One node of the tree: the item owns its node record.
class TDettProdTreeItem : public QTreeWidgetItem
{
public:
    explicit TDettProdTreeItem(std::unique_ptr<TVRLDettProd> node);
    TVRLDettProd *Node() const { return m_node.get(); }

    // The row values the caption was made from, as read (texts not trimmed); none until a
    // caption is made.
    const TDettProdCaptionRow *CaptionRow() const
    {
        return m_hasCaptionRow ? &m_captionRow : nullptr;
    }
    void SetCaptionRow(TDettProdCaptionRow row)
    {
        m_captionRow = std::move(row);
        m_hasCaptionRow = true;
    }
    void ForgetCaptionRow() { m_hasCaptionRow = false; }

private:
    std::unique_ptr<TVRLDettProd> m_node; // Owned.
    TDettProdCaptionRow m_captionRow;
    bool m_hasCaptionRow = false;
};

class TDettProdTree : public QTreeWidget
{
    Q_OBJECT

public:
    // The gate of expanding and collapsing (the view's tag).
    enum TExpandGate { egRefuse = 0, egDoubleClick = 1, egProgrammatic = 2 };
    enum class TBuildResult { Rebuilt, Updated };

    explicit TDettProdTree(QWidget *parent = nullptr);
    ~TDettProdTree() override;

    void SetCaptionRule(TDettProdCaptionRule rule);

    // Shows the rows (sorted by nuOrderA..nuOrderD): the root first, then every visible row
    // whose parent is shown, with its caption and icon; everything expanded. During a move
    // (moving given) the moving node is selected; otherwise nodes whose record has
    // bNodoEspanso false are collapsed and the node with selectId (the root when empty or not
    // shown) is selected. The selection is scrolled to the middle of the view.
    // rows is Not owned: the tree records the operator's expand choices in it until the next
    // BuildTree or DetachRows.
    TBuildResult BuildTree(TDataSet *rows,
                           const TDettProdRoot &root,
                           const QString &selectId,
                           const TVRLDettProd *moving = nullptr);
    // Forgets the rows (before they are freed); the nodes shown stay.
    void DetachRows();
    // The rows of the nodes shown, read again without a rebuild (same nodes): expand choices
    // are recorded in them from now on. Not owned.
    void AttachRows(TDataSet *rows) { m_rows = rows; }
    // Removes every node (their records with them).
    void ClearTree();

    TVRLDettProd *RootNode() const;
    TVRLDettProd *CurrentNode() const;
    static TVRLDettProd *NodeOf(const QTreeWidgetItem *item);
    TVRLDettProd *NodeAt(const QModelIndex &index) const;
    // The node with that id (the first in tree order), or nullptr.
    TDettProdTreeItem *FindTreeNode(const QString &sIdNodo) const;
    // Selects the node with that id; false when it is not shown.
    bool SelectNode(const QString &sIdNodo);
    // The nodes in tree order, root first.
    const std::vector<TDettProdTreeItem *> &Items() const { return m_items; }
    int NodeCount() const { return int(m_items.size()); }

    // The gate: 0 refuses every expand and collapse, 1 lets one double-click request through
    // (data sheets, paragraphs, sub-paragraphs and tables only) and records it in the row,
    // 2 allows everything and records nothing.
    int ExpandGate() const { return m_gate; }
    void SetExpandGate(int gate) { m_gate = gate; }
    // An expand or collapse request, decided by the gate; true when carried out.
    bool RequestExpand(QTreeWidgetItem *item, bool expand);
    // The operator's double click: toggles the item through the gate at 1.
    void ToggleByDoubleClick(QTreeWidgetItem *item);
    // "Mostra tutto": everything expanded, the selection kept, visible and centred.
    void ShowAll();
    // The "Chiudi" buttons: every node of that kind collapsed.
    void CollapseKind(TCurrentNodeTipologia kind);
    // Scrolls the selected node to the vertical middle.
    void CenterSelection();

    // The node being moved is drawn white on light blue; empty outside a move.
    QString MovingId() const { return m_movingId; }

    // IMGList_Tree: 20 icons, enabled and disabled of root, data sheet, data-sheet item,
    // paragraph, sub-paragraph, text, image, web link, table, table item.
    static const QList<QIcon> &ImageList();
    // SetNodeIcon: 2 x kind position + (0 enabled, 1 disabled).
    static int NodeIconIndex(const TVRLDettProd &node);

    static constexpr int kItemHeight = 30;
    static constexpr int kIndentation = 30;

signals:
    // The selected node changed (nullptr when none).
    void CurrentNodeChanged(TVRLDettProd *node);

protected:
    // No expand buttons and no lines: only the indentation shows the nesting.
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;

private:
    struct TRowColumns;
    // Refreshes the records and captions of the nodes shown from rows that give the same
    // nodes in the same places; false (nothing changed) when they do not.
    bool UpdateInPlace(const TDataSet &rows, const TDettProdRoot &root);
    // Makes the node's caption, unless the node's fields a caption reads (unchanged:
    // sameNode) and the row values are those of the caption shown.
    void FillItem(TDettProdTreeItem *item,
                  const TDataSet &rows,
                  const TRowColumns &cols,
                  int recNo0,
                  bool sameNode);
    void RecordExpandState(const QString &sIdNodo, bool expanded);
    void ApplyExpandState();
    void SetExpanded(QTreeWidgetItem *item, bool expand);
    void SelectAfterBuild(const QString &selectId);

    TDettProdCaptionRule m_caption;
    TDataSet *m_rows = nullptr;               // Not owned: the rows of the last build.
    std::vector<TDettProdTreeItem *> m_items; // Not owned: the widget owns the items.
    QHash<QString, TDettProdTreeItem *> m_byId;
    QString m_movingId;
    int m_gate = egRefuse;
};
