#pragma once

// "Sommario dell'ordine": the numbered entries of one order's summary, each with a short
// description and a free text, loaded at opening and written back as a whole on "Ok".

#include <QString>
#include <QWidget>

class QPushButton;
class QTableWidget;

class TORDINE_SOMMARIO : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRowHeight = 30;
    static constexpr int kDescriptionLength = 200; // the column's size in the table

    explicit TORDINE_SOMMARIO(QWidget *parent = nullptr);
    ~TORDINE_SOMMARIO() override;

    // The order and its description: the caption, then the entries.
    void Start(const QString &idOrdine, const QString &descOrdine);

    QString sIdOrdine;
    QString sDescOrdine;

    // Commands of the buttons.
    void PB_NuovaRigaClick();
    void PB_EliminaRigaClick();
    void PB_PulisciRigaClick();
    void PB_Ok_Input_SommarioClick();
    void PB_Annulla_Input_SommarioClick();
    // A row dragged to another place: the rows renumbered, the moved one selected there.
    void MoveRow(int from, int to);
    // Enter while typing in a cell: on to the text, to the next row, or a new row.
    void EnterFromCell(int row, int column);
    // Writes the whole summary in one transaction; false when nothing changed.
    bool Save();

    QTableWidget *SG_Sommario = nullptr;              // Owned (child).
    QPushButton *PB_Ok_Input_Sommario = nullptr;      // Owned (child).
    QPushButton *PB_Annulla_Input_Sommario = nullptr; // Owned (child).
    QPushButton *PB_NuovaRiga = nullptr;              // Owned (child).
    QPushButton *PB_EliminaRiga = nullptr;            // Owned (child).
    QPushButton *PB_PulisciRiga = nullptr;            // Owned (child).

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Load();
    int AddRow(const QString &description, const QString &text);
    void Renumber();
    void EditCell(int row, int column);
    void FitRowHeights();
    void FitColumns();

    bool m_firstShown = false;
};

// A cell's text as stored: no leading or trailing blanks or control characters.
QString SummaryText(const QString &text);
