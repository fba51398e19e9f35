#pragma once

// A modal search on the list pane: the operator finds one record and hands it back to the
// calling window ("Cerca cliente", "Cerca preventivo"). The dialog holds the pane (filters,
// grid, status line with the select button), opens at 70 % by 80 % of the screen work area,
// and ends with "ok" only through a selection: any other way of closing is a cancel.
//
// A search derives from it, builds its filters in pane's filter panel and its list with
// AddGrid, and gives the extraction (Pane()->CommandText and SortText); Select chooses the
// current row when the list has one.

#include "masterdata/listpane.h"

#include <QDialog>
#include <QString>

class QPushButton;

class TListSearchDialog : public QDialog
{
    Q_OBJECT

public:
    bool bSelected = false; // a record was chosen

    TListPane *Pane() const { return m_pane; }
    TListData *List() const { return m_pane->List(); }

    // With rows: the current row is the chosen one, bSelected is set and the dialog ends with
    // "ok". With an empty list nothing happens.
    void Select();

public Q_SLOTS:
    void done(int result) override;

protected:
    TListSearchDialog(const QString &name, const QString &caption, QWidget *parent);

    // The grid and the list, then the select button (PB_Select) at the left of the count.
    TKRTGrid *AddGrid(const QString &name, TListDefinition definition, const QString &selectCaption);
    // The field focused when the dialog is first shown.
    void SetFirstFocus(QWidget *widget) { m_firstFocus = widget; }
    // Called by Select before the dialog closes: copy what the caller reads.
    virtual void Selected() {}
    // The entries of the user menu for the current row (List()->AddMenuItem).
    virtual void BuildMenu(TListData &list) = 0;

    void showEvent(QShowEvent *event) override;

    QPushButton *m_select = nullptr; // Owned (child).

private:
    TListPane *m_pane = nullptr;     // Owned (child).
    QWidget *m_firstFocus = nullptr; // Not owned.
    bool m_firstShown = false;
};
