#pragma once

// The quote header panel (PAN_Input of the quote list): customer chosen in the customer search,
// subject, deadline rule (a fixed date with its calendar, or a number of days counted from
// blocking), notes, "Ok" and "Annulla". It reads and writes the DatiPreventivo record and
// checks what was typed before anything is sent.

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;
class TDataSet;
class TKRTLabelEdit;
class TKRTToggleSwitch;

class TQuoteHeaderPanel : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kSubjectLength = 200;
    static constexpr int kNotesLength = 200;
    static constexpr int kMaxDays = 9999;

    explicit TQuoteHeaderPanel(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    // No customer, subject, date or notes; the deadline rule as given.
    void Clear(bool fixedDate, int days);
    // The inputs from the record's row; the customer's description comes from the list row.
    void Fill(TDataSet &record, const QString &customerDescription);
    // The customer chosen (its id is kept as the field's tag; empty id: none).
    void SetCustomer(const QString &idCliente, const QString &description);
    QString CustomerId() const;
    bool FixedDate() const;
    // Shows the date with its calendar (fixed date) or the number of days.
    void ShowDeadlineMode();

    // What is wrong with the typed values, as the operator reads it; empty when they can be
    // stored. The field to correct gets the focus.
    QString Problem();
    // Customer, subject, deadline rule and notes into the record (empty texts as null).
    void Write(TDataSet &record);

    // The deadline rule typed: the proposal for the next new quote.
    int Days() const;

    QLabel *PAN_Desc_TipoOperazione = nullptr;              // Owned (child).
    TKRTLabelEdit *EF_DescCliente = nullptr;                // Owned (child).
    QPushButton *PB_RicercaCliente = nullptr;               // Owned (child).
    TKRTLabelEdit *EF_DescOggetto = nullptr;                // Owned (child).
    TKRTToggleSwitch *TS_ScadenzaFissaPreventivo = nullptr; // Owned (child).
    TKRTLabelEdit *EF_DataScadenza = nullptr;               // Owned (child).
    QToolButton *PB_DataScadenza = nullptr;                 // Not owned: EF_DataScadenza's.
    TKRTLabelEdit *EF_NumGiorniScadenza = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_NotePreventivo = nullptr;             // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;                     // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;                // Owned (child).
};
