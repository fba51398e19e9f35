#pragma once

// The quote filters, shared by the quote list and the quote search: year with its arrows,
// number and revision, subject with "contiene" / "inizia con", the period of the quote date,
// each with its "Tutto" box; "Ordina più recenti" (and, in the list, "Includi non attivi" and
// "Includi bloccati"); the customer search switch with the customer filters; "Estrai elenco"
// and "Azzera filtri". They make the EstraiPreventivi command and the sort of its copy, and
// bind themselves to the window's settings keys (FrmGesPrev_..., FrmFindPrev_...).

#include <QWidget>

class QCheckBox;
class QFrame;
class QPushButton;
class TCustomerFilters;
class TDataSet;
class TFilterSettings;
class TKRTLabelEdit;
class TKRTToggleSwitch;
class TKRTUpDown;
class TRadioGroup;

class TQuoteFilters : public QWidget
{
    Q_OBJECT

public:
    enum TKind {
        QuoteList,  // every box; the tenth argument 0
        QuoteSearch // deactivated quotes never, blocked always; the tenth argument 1
    };

    explicit TQuoteFilters(TKind kind, QWidget *parent = nullptr);

    TKind Kind() const { return m_kind; }

    // "EXEC EstraiPreventivi  1, " + the company quoted + the filters.
    QString CommandText(const QString &idSocieta) const;
    // Newest operation first with "Ordina più recenti", then year, number and revision, newest
    // first.
    QString SortText() const;
    // "Azzera filtri": the current year, every number and date, a cleared subject ("contiene"),
    // "Ordina più recenti" ticked, not-active quotes left out, blocked ones included, the
    // customer search off with its fields cleared.
    void Reset();
    // Keys AllAnni (the first), NumAnno, AllNumeri, NumPreventivo, NumRevisione,
    // DescPreventivo, FindDescPreventivo, AllDate, DataPrevDal, DataPrevAl, OrdinaRecenti,
    // [IncludiNonAttivi, IncludiBloccati,] RicercaPerCliente and the customer keys.
    void Bind(TFilterSettings &settings);
    // After the settings were read back: what the boxes and the switch lock, clear or show.
    void Refresh();
    void SetProvinces(const TDataSet *provinces);

    static int CurrentYear();

    TKRTLabelEdit *EF_Find_NumAnno = nullptr;              // Owned (child).
    TKRTUpDown *UD_Find_NumAnno = nullptr;                 // Owned (child).
    QCheckBox *CK_Find_AllAnni = nullptr;                  // Owned (child).
    TKRTLabelEdit *EF_Find_NumPreventivo = nullptr;        // Owned (child).
    TKRTLabelEdit *EF_Find_NumRevisione = nullptr;         // Owned (child).
    QCheckBox *CK_Find_AllNumeri = nullptr;                // Owned (child).
    TKRTLabelEdit *EF_Find_DescPreventivo = nullptr;       // Owned (child).
    TRadioGroup *RG_Find_DescPreventivo = nullptr;         // Owned (child).
    TKRTLabelEdit *EF_Find_DataPrevDal = nullptr;          // Owned (child).
    TKRTLabelEdit *EF_Find_DataPrevAl = nullptr;           // Owned (child).
    QCheckBox *CK_Find_AllDate = nullptr;                  // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;            // Owned (child).
    QCheckBox *CK_Find_IncludiNonAttivi = nullptr;         // Owned (child); nullptr in the search.
    QCheckBox *CK_Find_IncludiBloccati = nullptr;          // Owned (child); nullptr in the search.
    TKRTToggleSwitch *TS_Find_RicercaPerCliente = nullptr; // Owned (child).
    QFrame *PAN_Filters_Cliente = nullptr;                 // Owned (child).
    TCustomerFilters *Customer = nullptr;                  // Owned (child of the panel).
    QPushButton *PB_EstraiElenco = nullptr;                // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;                // Owned (child).

private:
    void SetYear(int year);
    void ApplyAllYears(bool all);
    void ApplyAllNumbers(bool all);
    void ApplyAllDates(bool all);
    void ApplyCustomerSearch(bool on);
    void FocusExtract();

    TKind m_kind;
};
