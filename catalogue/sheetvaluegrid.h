#pragma once

// The two-column grid of a data sheet's items and their values ("Voce" / "Valore"): the price
// list window edits a list's values in it (and the quote line detail window can edit a line's
// the same way). Each item row carries a TVRLVoceScheda telling which item it edits; the grid
// owns them and frees them with its rows.
//
// Look: header white bold italic on 10579511, item names white bold on 14270300, values
// on white and 15921906 rows by turns, the current cell white on black; long texts wrap inside
// a 4-pixel inset and the row grows to them (30 pixels at least). In edit mode only values are
// edited; Enter in a value moves to the next row's value with its editor open, Escape leaves
// the editor.

#include "domain/vrldettprod.h"

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QTableWidget>

#include <memory>
#include <vector>

class QLineEdit;

class TSheetValueGrid : public QTableWidget
{
    Q_OBJECT

public:
    struct TItem
    {
        QString sIdVoceScheda;
        QString sDescVoceScheda;
        QString sValoreVoceScheda;
    };

    explicit TSheetValueGrid(QWidget *parent = nullptr);
    ~TSheetValueGrid() override;

    // One row per item, in the given order; none empties the grid.
    void SetItems(const std::vector<TItem> &items);
    int ItemCount() const { return rowCount(); }
    const TVRLVoceScheda *VoceScheda(int row) const;
    QString Value(int row) const; // as shown, the open editor's text included
    QStringList Values() const;
    void SetValue(int row, const QString &value);
    // Every value emptied ("Elimina tutti i valori della scheda selezionata").
    void ClearValues();

    // Edit mode: the values can be changed; off closes an open editor keeping its text.
    void SetEditing(bool on);
    bool Editing() const { return m_editing; }
    // The value cell of the row becomes current; its editor opens when the value is not empty.
    void StartAt(int row);
    // "Pulisci Valore": the current value emptied, the next row's value current.
    void ClearCurrentValue();
    // Writes an open editor's text into its cell and closes it.
    void CommitEditor();

    void SetEditor(QLineEdit *editor) { m_editor = editor; } // by the delegate

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void FitColumns();
    void MoveToValue(int row, bool openEditor);

    std::vector<std::unique_ptr<TVRLVoceScheda>> m_handles; // one per row
    QPointer<QLineEdit> m_editor;                           // the open editor, if any
    bool m_editing = false;
};
