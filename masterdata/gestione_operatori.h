#pragma once

// The operators of one selling company: created, changed, their password reset, deactivated
// and reactivated. Opened from the company window with Start; the list always holds every
// operator of the company, without filters.

#include "masterdata/listwindow.h"

#include <QColor>

class QCheckBox;
class QLabel;
class QPushButton;
class TKRTLabelEdit;

class TGESTIONE_OPERATORI : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_OPERATORI(QWidget *parent = nullptr);
    ~TGESTIONE_OPERATORI() override;

    QString sidSocieta;
    QString sDescSocieta;

    // Remembers the company, sets the caption and extracts the operators.
    void Start(const QString &idSocieta, const QString &descSocieta);
    TDataSet *DST_GRID_Operatori() const;

    // Commands of the user menu and of the buttons.
    void NuovoOperatore();
    void ModificaOperatore();
    void ResetPassword();
    void CambiaStatoOperatore(bool reactivate);
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();

    TKRTGrid *DG_Operatori = nullptr;          // Owned (child).
    QFrame *PAN_Input = nullptr;               // Owned (child).
    QLabel *PAN_Desc_TipoOperazione = nullptr; // Owned (child).
    TKRTLabelEdit *EF_Operatore = nullptr;     // Owned (child).
    TKRTLabelEdit *EF_Descrizione = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_Smartphone = nullptr;    // Owned (child).
    TKRTLabelEdit *EF_Email = nullptr;         // Owned (child).
    TKRTLabelEdit *EF_Note = nullptr;          // Owned (child).
    QCheckBox *CK_Funzionario = nullptr;       // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;        // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;   // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void RecordReadAgain() override;
    void BuildMenu(TListData &list) override;

private:
    void FillInputPanel();
    void BuildPanel();
    bool OpenOperator(const QString &id, const QString &errorMessage);
    void Extract();

    QColor m_codeColour; // the code's background while it can be typed
};
