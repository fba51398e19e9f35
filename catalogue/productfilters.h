#pragma once

// The filters of the product list (PAN_Filters of "Gestione prodotti"): current or previous
// catalogues, the catalogue, the search text in products and price lists, the usage in quotes
// with its period, the kinds of product, the order, and the buttons. They give the extraction's
// command text and sort, and are kept in the per-operator settings file (FrmGesProd_...).

#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class QSlider;
class TCatalogueCombo;
class TDataSet;
class TFilterSettings;
class TKRTLabelEdit;

class TProductFilters : public QWidget
{
    Q_OBJECT

public:
    explicit TProductFilters(QWidget *parent = nullptr);

    // The catalogue filter's rows (CatalogueFilterRows); onlyCurrent: no previous catalogue
    // exists, so the toggle is hidden and stays off.
    void SetCatalogues(const TDataSet &filterRows, bool onlyCurrent);
    // The catalogues of the toggle's choice, the first one chosen; the toggle's caption.
    void ApplyCatalogueToggle();
    bool PreviousCatalogues() const;

    // "EXEC EstraiProdotti  1, null, " + catalogue, year, search text (null when empty), the
    // flags "Includi non attivi", "Utilizzati in preventivi chiusi", the open quotes flag, the
    // months (0 at the track bar's maximum 7), "Prodotti", "Accessori", "Documentazioni".
    QString CommandText() const;
    // "dtMaxOperation DESC" or "txDescProdotto".
    QString SortText() const;
    // Runs of blanks in the search text become one blank, in the field too.
    void CollapseSearchText();
    // "Azzera filtri".
    void Reset();
    // The keys FrmGesProd_TipoCataloghi (first), KeyFornitore, NuAnnoFornitore, DescProdotto,
    // OrdinaRecenti, IncludiNonAttivi, PreventiviChiusi, PrevApertiMesiN, EstraiProdotti,
    // EstraiAccessori, EstraiDocumentazioni, MesiN.
    void Bind(TFilterSettings &settings);

    static QString MonthsCaption(int position);

    // Runs after the toggle chose the current or the previous catalogues (the input panel's
    // catalogues follow it).
    std::function<void(bool previous)> OnCatalogueToggle;

    QCheckBox *TS_Cataloghi = nullptr;                  // Owned (child).
    TCatalogueCombo *DCB_Find_Fornitore = nullptr;      // Owned (child).
    TKRTLabelEdit *EF_Find_DescProdotto = nullptr;      // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;         // Owned (child).
    QCheckBox *CK_Find_IncludiNonAttivi = nullptr;      // Owned (child).
    QCheckBox *CK_Find_PreventiviChiusi = nullptr;      // Owned (child).
    QCheckBox *CK_Find_PreventiviApertiMesiN = nullptr; // Owned (child).
    QSlider *TKB_Find_PreventiviApertiMesiN = nullptr;  // Owned (child).
    QCheckBox *CK_Find_Prodotti = nullptr;              // Owned (child).
    QCheckBox *CK_Find_Accessori = nullptr;             // Owned (child).
    QCheckBox *CK_Find_Documentazioni = nullptr;        // Owned (child).
    QPushButton *PB_EstraiElenco = nullptr;             // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;             // Owned (child).
    QWidget *PAN_Patch = nullptr;                       // Owned (child).
    QPushButton *PB_Patch = nullptr;                    // Owned (child).
    QPushButton *PB_Patch1B = nullptr;                  // Owned (child).
    QPushButton *PB_Patch2 = nullptr;                   // Owned (child).

private:
    void UpdateMonthsCaption();

    bool m_onlyCurrent = false;
};
