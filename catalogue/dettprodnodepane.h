#pragma once

// The node data pane of the structure editor (PAN_DatiNodo): an operation title, "Ok" and
// "Annulla", and one panel per node kind in a page control whose tabs are never shown. A
// panel creates or modifies one node; the editor opens it, hides its preview and disables its
// tree meanwhile, and reloads and rebuilds the tree after a save. Panels are added per kind by
// the editor (AddPanel); a kind without a panel cannot be created or modified yet.

#include "common/tstd_asynctimerinfo.h"
#include "domain/vrldettprod.h"

#include <QFrame>
#include <QHash>
#include <QString>

class QLabel;
class QPushButton;
class QStackedWidget;

// What a panel is opened for.
struct TDettProdNodeContext
{
    TGENCurrentOp xTipoOp = coGENNone;            // coGENInsert, coGENInsertBetween or coGENModify
    TCurrentNodeTipologia xTipoNode = cnProdotto; // kind of the node created or modified
    int iNuTipologia = 0;
    QString sIdProdotto;
    bool bImages = false;  // the images flag of the node functions ("Mostra immagini ")
    QString sIdNodo;       // the node modified, or the new node's id
    TVRLDettProd oCurrent; // snapshot of the node the menu acted on
    // Where a new node goes: its parent (the product for data sheets and paragraphs) and, for
    // an insert-between, the reference node's parent, the position and the sub-position that
    // place it (SetOrdineNewNodo).
    QString sIdParent;
    QString sIdRefParent;
    int iPosition = 0;
    int iSubPosition = 0;
    // Item grids: the data sheet or table whose items are edited, and the item to select.
    QString sIdOwner;
    QString sIdItem;
};

// One sheet of the pane.
class TDettProdNodePanel : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Fills the fields: defaults for a new node, the stored data for a modification. False
    // when nothing can be opened (the panel has told the operator why).
    virtual bool Open(const TDettProdNodeContext &context) = 0;
    // The operation title ("Nuova scheda", "Modifica scheda").
    virtual QString Title(const TDettProdNodeContext &context) const = 0;
    // The field that gets the focus.
    virtual QWidget *MainField() const = 0;
    // Writes the node; false keeps the pane open with the operator's input (the panel has
    // reported the failure).
    virtual bool Save(const TDettProdNodeContext &context) = 0;
    // The pane closes: release what Open held.
    virtual void Release() {}
    // The panel is on screen with the focus on its main field (a grid starts editing a cell).
    virtual void Shown() {}

signals:
    // The panel wrote to the database by itself (a text split into several): the editor reads
    // the product again, closes the pane and selects the node.
    void SavedByPanel(const QString &sIdToSelect);
};

class TDettProdNodePane : public QFrame
{
    Q_OBJECT

public:
    explicit TDettProdNodePane(QWidget *parent = nullptr);
    ~TDettProdNodePane() override;

    QFrame *PAN_Operazione_Nodo = nullptr;      // Owned (child).
    QLabel *PAN_Desc_TipoOperazione = nullptr;  // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;         // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;    // Owned (child).
    QStackedWidget *TAB_GestioneNodo = nullptr; // Owned (child).

    // The pane takes the panel as one of its sheets (the panel becomes its child). A later
    // panel for the same kind replaces the earlier one.
    void AddPanel(TCurrentNodeTipologia kind, TDettProdNodePanel *panel);
    TDettProdNodePanel *PanelFor(TCurrentNodeTipologia kind) const;

    // Shows the panel's sheet with the title; nullptr hides every sheet.
    void ShowPanel(TDettProdNodePanel *panel, const QString &title);
    TDettProdNodePanel *CurrentPanel() const { return m_current; }

signals:
    void OkRequested();
    void CancelRequested();
    void PanelSaved(const QString &sIdToSelect);

private:
    QHash<int, TDettProdNodePanel *> m_panels; // Not owned: children of TAB_GestioneNodo.
    TDettProdNodePanel *m_current = nullptr;   // Not owned.
    QWidget *m_empty = nullptr;                // Owned (child): the sheet shown when none is.
};
