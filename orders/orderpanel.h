#pragma once

// The edit panel of an order: subject, notes, destination references with the choice of
// showing the quote's references, and the payment condition.

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TDataSet;
class TKRTLabelEdit;

class TOrderPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TOrderPanel(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    // The payment conditions (txCodPagamento, txDescrizPagamento), listed by description.
    void SetPaymentConditions(TDataSet &conditions);
    // The record's values into the controls, and back.
    void Fill(TDataSet &record);
    void Write(TDataSet &record) const;
    QString PaymentCode() const; // empty when none is chosen
    void SetPaymentCode(const QString &code);

    QLabel *PAN_Desc_TipoOperazione = nullptr;            // Owned (child).
    TKRTLabelEdit *EF_DescOggetto = nullptr;              // Owned (child).
    TKRTLabelEdit *EF_NoteOrdine = nullptr;               // Owned (child).
    QPlainTextEdit *EF_RiferimentiDestinazione = nullptr; // Owned (child).
    QCheckBox *CK_ShowRiferimentiPrev = nullptr;          // Owned (child).
    QComboBox *DCB_Pagamento = nullptr;                   // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;                   // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;              // Owned (child).
};
