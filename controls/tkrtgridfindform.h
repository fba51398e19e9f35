#pragma once

// The grid's find dialog ("Trova"): a text, the column to search and a comparison; "Trova
// successivo" walks the matching rows of a filtered copy of the grid's dataset, wrapping to the
// first after the last.

#include <QDialog>

#include <memory>

class QComboBox;
class QListWidget;
class QPushButton;
class TDataSet;
class TKRTGrid;
class TKRTLabelEdit;

class TKRTGRIDFINDFORM : public QDialog
{
    Q_OBJECT

public:
    // Opens on the column under the mouse when it is listed. Frees itself when closed.
    TKRTGRIDFINDFORM(TKRTGrid *grid, int mouseColumn);
    ~TKRTGRIDFINDFORM() override;

    // The filter text for a search (the field's type decides its form).
    static QString BuildFilter(const QString &fieldName,
                               int fieldType,
                               const QString &comparison,
                               const QString &text);

    void FindNext();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void PlaceHistory();
    void FieldChosen(int index);
    QString CurrentFieldName() const;

    TKRTGrid *m_grid;                      // Not owned (the parent).
    QComboBox *m_texts = nullptr;          // CBTexts: the find history.
    QComboBox *m_fields = nullptr;         // CBFields
    QListWidget *m_fieldIndexes = nullptr; // LBFields (hidden): grid column of each line
    QComboBox *m_findType = nullptr;       // CBFindType
    TKRTLabelEdit *m_text = nullptr;       // EFText
    QPushButton *m_find = nullptr;         // PBFind
    QPushButton *m_cancel = nullptr;       // PBCancel
    std::unique_ptr<TDataSet> m_copy;      // the filtered copy of the last search
    QString m_lastText;
    int m_lastField = -1;
    QString m_lastComparison;
};
