#pragma once

// "Gestione dati società": the selling companies, their registry data and, in a second panel,
// what their quotes print (logo, page footer) and the names of their cloud folders; from a
// company its operators are managed.

#include "masterdata/listwindow.h"

#include <QByteArray>
#include <QImage>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TCustomerFilters;
class TDataSet;
class TKRTLabelEdit;
class TRegistryPanel;

class TGESTIONE_SOCIETA : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_SOCIETA(QWidget *parent = nullptr);
    ~TGESTIONE_SOCIETA() override;

    TDataSet *DST_GRID_Societa() const;
    // The logo in the print panel (null when there is none).
    QImage Logo() const { return m_logo; }

    // The picture dialog's filter.
    static QString PictureFilter();

    // Commands of the buttons and of the user menu.
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void NuovaSocieta();
    void ModificaSocieta();
    void DatiPerStampa();
    void GestioneOperatori();
    void CambiaStatoSocieta(bool reactivate);
    void CopiaIdInClipboard();
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();
    void PB_CaricaImmagineClick();
    void PB_EliminaImmagineClick();
    void PB_IncollaImmagineClick();
    void PB_CopiaImmagineClick();
    void PB_Ok_Input_BisClick();
    void PB_Annulla_Input_BisClick();

    TCustomerFilters *Filters = nullptr;            // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;     // Owned (child).
    QCheckBox *CK_Find_IncludiCancellati = nullptr; // Owned (child).
    QPushButton *PB_EstraiElenco = nullptr;         // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;         // Owned (child).
    TKRTGrid *DG_Societa = nullptr;                 // Owned (child).
    TRegistryPanel *PAN_Input = nullptr;            // Owned (child).
    QFrame *PAN_Input_Bis = nullptr;                // Owned (child).
    QLabel *IMG_Logo = nullptr;                     // Owned (child).
    QPushButton *PB_CaricaImmagine = nullptr;       // Owned (child).
    QPushButton *PB_EliminaImmagine = nullptr;      // Owned (child).
    QPushButton *PB_IncollaImmagine = nullptr;      // Owned (child).
    QPushButton *PB_CopiaImmagine = nullptr;        // Owned (child).
    QPlainTextEdit *EF_Piede_Pagina = nullptr;      // Owned (child).
    TKRTLabelEdit *EF_RootDropbox = nullptr;        // Owned (child).
    TKRTLabelEdit *EF_FolderDropbox = nullptr;      // Owned (child).
    QPushButton *PB_Ok_Input_Bis = nullptr;         // Owned (child).
    QPushButton *PB_Annulla_Input_Bis = nullptr;    // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void ResetFilters() override;
    void AfterFiltersRestored() override;
    void BuildMenu(TListData &list) override;
    void resizeEvent(QResizeEvent *event) override;
    void RecordReadAgain() override;

private:
    void FillPrintPanel();
    void BuildFilters();
    void BuildPrintPanel();
    bool OpenCompany(const QString &id, const QString &errorMessage);
    void SetLogo(const QImage &image, bool changed);
    void ShowLogo();

    QImage m_logo;
    QByteArray m_storedLogo; // the bytes read from the record
    bool m_logoChanged = false;
};
