#pragma once

// The registry filters shared by the lists of customers, companies, quotes and orders: code,
// name with "contiene" / "inizia con", partita IVA, codice fiscale, and the nationality with
// its province or nation. They give their arguments of the list procedures in order and bind
// themselves to the window's settings keys.

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QPushButton;
class QVBoxLayout;
class QSlider;
class TDataSet;
class TFilterSettings;
class TKRTLabelEdit;
class TRadioGroup;
class TSPEComboBox;

class TCustomerFilters : public QWidget
{
    Q_OBJECT

public:
    TCustomerFilters(bool withCode, QWidget *parent = nullptr);

    // Arguments in the procedures' order: [code,] name pattern, partita IVA, codice fiscale,
    // nationality (0 Italia, 1 Estero, 2 Tutte), then the province code, the nation text or null.
    QStringList Arguments() const;
    // Empty texts, "contiene", "Italia" with its province selector and no province.
    void Reset();
    // Keys CodCliente (with the code), Denominazione, FindDenominazione, PartitaIVA, CodFiscale,
    // Nazionalita, Nazione, Provincia.
    void Bind(TFilterSettings &settings);
    void SetProvinces(const TDataSet *provinces);
    // Shows the province selector for "Italia", the nation for "Estero", neither for "Tutte".
    void ShowNationalityField();

    TKRTLabelEdit *EF_Find_CodCliente = nullptr;    // Owned (child); nullptr without the code.
    TKRTLabelEdit *EF_Find_Denominazione = nullptr; // Owned (child).
    TRadioGroup *RG_Find_Denominazione = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_Find_PartitaIVA = nullptr;    // Owned (child).
    TKRTLabelEdit *EF_Find_CodFiscale = nullptr;    // Owned (child).
    TRadioGroup *RG_Find_Nazionalita = nullptr;     // Owned (child).
    TSPEComboBox *SCB_Find_Provincia = nullptr;     // Owned (child).
    TKRTLabelEdit *EF_Find_Nazione = nullptr;       // Owned (child).
};

// The months flag of the customer lists: "Con preventivi negli ultimi N mesi" with its slider
// (1 to 6 months); the caption follows the slider.
class TMonthsFilter : public QWidget
{
    Q_OBJECT

public:
    explicit TMonthsFilter(QWidget *parent = nullptr);

    static QString CaptionFor(int months);
    void UpdateCaption();

    QCheckBox *CK_Find_PreventiviMesiN = nullptr; // Owned (child).
    QSlider *TKB_Find_PreventiviMesiN = nullptr;  // Owned (child).
};

// A labelled edit of the filter and edit panels: caption, maximum length, letter case.
TKRTLabelEdit *MakeLabelEdit(QWidget *parent,
                             const QString &name,
                             const QString &caption,
                             int maxLength,
                             int charCase, // TKRTCharCase
                             int editWidth,
                             bool captionAbove);

// The two buttons of a list's filters stacked in a column: "Estrai elenco" (PB_EstraiElenco,
// the default button: Enter in a filter extracts) over "Azzera filtri" (PB_AzzeraFiltri).
// Both are children of parent; the column is for the caller's layout.
QVBoxLayout *MakeListButtons(QWidget *parent,
                             QPushButton *&estraiElenco,
                             QPushButton *&azzeraFiltri,
                             int spacing = 4);
