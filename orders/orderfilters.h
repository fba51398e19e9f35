#pragma once

// The filters of the order list: year with its arrows, order number, description, dates of
// sending to the customer, the flags and the customer filters behind their switch. They give
// the arguments of EstraiOrdini in order, the sort of the list, the reset state, and bind
// themselves to the window's settings keys.

#include <QWidget>

class QCheckBox;
class QFrame;
class QPushButton;
class QToolButton;
class TCustomerFilters;
class TDataSet;
class TFilterSettings;
class TKRTLabelEdit;
class TKRTToggleSwitch;
class TKRTUpDown;
class TRadioGroup;

class TOrderFilters : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kFirstYear = 2010;
    static constexpr int kLastYear = 2030;

    explicit TOrderFilters(QWidget *parent = nullptr);

    // "EXEC EstraiOrdini  1, " + company + the filters; the customer arguments only with the
    // customer switch on.
    QString CommandText(const QString &companyId) const;
    QString SortText() const;
    // A reason the filters cannot be used as typed (dates in the wrong order, a date or number
    // that is not one), with the field to focus; empty when they can.
    QString Problem(QWidget **field) const;
    // "Azzera filtri".
    void Reset();
    // The keys in their order, AllAnni first.
    void Bind(TFilterSettings &settings);
    void SetProvinces(const TDataSet *provinces);
    // The controls' states after the values were set (read-only fields, the customer panel).
    void Refresh();

    // The "Tutto" boxes, the arrows and the switch as the operator uses them.
    void AllAnniChanged();
    void AllNumeriChanged();
    void AllDateChanged();
    void SetCustomerSearch(bool on);
    bool CustomerSearch() const { return m_customerSearch; }

    TKRTLabelEdit *EF_Find_NumAnno = nullptr;              // Owned (child).
    TKRTUpDown *UD_Find_NumAnno = nullptr;                 // Owned (child).
    QCheckBox *CK_Find_AllAnni = nullptr;                  // Owned (child).
    TKRTLabelEdit *EF_Find_NumOrdine = nullptr;            // Owned (child).
    QCheckBox *CK_Find_AllNumeri = nullptr;                // Owned (child).
    TKRTLabelEdit *EF_Find_DescOrdine = nullptr;           // Owned (child).
    TRadioGroup *RG_Find_DescOrdine = nullptr;             // Owned (child).
    TKRTLabelEdit *EF_Find_DataOrdDal = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_Find_DataOrdAl = nullptr;            // Owned (child).
    QToolButton *PB_Find_DataPrevDal = nullptr;            // Owned (child).
    QToolButton *PB_Find_DataPrevAl = nullptr;             // Owned (child).
    QCheckBox *CK_Find_AllDate = nullptr;                  // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;            // Owned (child).
    QCheckBox *CK_Find_IncludiNonAttivi = nullptr;         // Owned (child).
    QCheckBox *CK_Find_IncludiBloccati = nullptr;          // Owned (child).
    QCheckBox *CK_Find_SoloFirmati = nullptr;              // Owned (child).
    TKRTToggleSwitch *TS_Find_RicercaPerCliente = nullptr; // Owned (child).
    QFrame *PAN_Filters_Cliente = nullptr;                 // Owned (child).
    TCustomerFilters *Customer = nullptr;                  // Owned (child).
    QPushButton *PB_EstraiElenco = nullptr;                // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;                // Owned (child).

private:
    void ApplyAllAnni();
    void ApplyAllNumeri();
    void ApplyAllDate();

    bool m_customerSearch = false;
};

// A year typed in the settings or elsewhere, kept only when it is a whole number within the
// years the arrows offer; otherwise the current year.
int OrderFilterYear(const QString &text);
