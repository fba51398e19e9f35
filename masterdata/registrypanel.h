#pragma once

// The registry edit panel (PAN_Input) of customers and companies: name, tax numbers,
// nationality with province or nation, address, electronic invoicing references, contacts
// and notes, with "Ok" and "Annulla". It reads and writes the record's columns of the same
// names.

#include <QFrame>

#include <vector>

class QLabel;
class QPushButton;
class TDataSet;
class TKRTLabelEdit;
class TRadioGroup;
class TSPEComboBox;

class TRegistryPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TRegistryPanel(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    // Every input empty, "Italia" chosen with no province.
    void Clear();
    // Input lengths: the panel's own, or the column's when it is shorter (the record's
    // definitions); a stored value longer than that keeps its length.
    void LimitLengths(const TDataSet &record);
    // Inputs from the record's current row: flEstero chooses the entry and fills the nation
    // or selects the province.
    void Fill(TDataSet &record);
    // Every column from the inputs (trimmed; empty as null). Foreign: txNazione the nation
    // or null, txProvincia null; Italian: txNazione "Italia", txProvincia the code or null.
    void Write(TDataSet &record) const;
    // Shows the province selector for "Italia" and the nation for "Estero".
    void ShowNationalityField();

    bool NameEmpty() const;
    bool Foreign() const;
    // An Italian CAP, when given, is made of five digits.
    bool CapValid() const;
    void SetProvinces(const TDataSet *provinces);
    TKRTLabelEdit *FirstInput() const { return EF_PartitaIVA; }

    QLabel *PAN_Desc_TipoOperazione = nullptr;      // Owned (child).
    TKRTLabelEdit *EF_PartitaIVA = nullptr;         // Owned (child).
    TKRTLabelEdit *EF_CodFiscale = nullptr;         // Owned (child).
    TKRTLabelEdit *EF_Denominazione = nullptr;      // Owned (child).
    TRadioGroup *RG_Nazionalita = nullptr;          // Owned (child).
    TSPEComboBox *SCB_Provincia = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_Nazione = nullptr;            // Owned (child).
    TKRTLabelEdit *EF_Cap = nullptr;                // Owned (child).
    TKRTLabelEdit *EF_Localita = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_Indirizzo = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_CodDestinatarioSDI = nullptr; // Owned (child).
    TKRTLabelEdit *EF_RifAmmSDI = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_Referente = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_Telefono = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_Smartphone = nullptr;         // Owned (child).
    TKRTLabelEdit *EF_Fax = nullptr;                // Owned (child).
    TKRTLabelEdit *EF_EmailCommerciale = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_EmailPEC = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_Note = nullptr;               // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;             // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;        // Owned (child).

private:
    struct TInput
    {
        TKRTLabelEdit *edit; // Not owned.
        QString column;
        int maxLength;
    };
    std::vector<TInput> m_inputs; // the plain text inputs and their columns
};

// The title bar of an edit panel (PAN_Desc_TipoOperazione).
QLabel *MakePanelTitle(QWidget *parent);
// The input's length: its own, or the record column's when that is shorter.
void LimitInputLength(TKRTLabelEdit *edit, const TDataSet &record, const QString &column, int own);
// The input from the record's column; a stored value longer than the input's limit keeps its
// length.
void FillInput(TKRTLabelEdit *edit, TDataSet &record, const QString &column);
// The record's column from the input: trimmed, null when empty.
void WriteInput(TDataSet &record, const QString &column, const QString &text);
