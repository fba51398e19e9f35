#pragma once

// "Gestione anagrafiche clienti": customers listed, filtered, created, changed, deactivated and
// reactivated, for the selected company or the operator's own.

#include "masterdata/listwindow.h"

#include <memory>

class TCustomerListFilters;
class TDataSet;
class TRegistryPanel;

class TGESTIONE_CLIENTI : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_CLIENTI(QWidget *parent = nullptr);
    ~TGESTIONE_CLIENTI() override;

    TDataSet *DST_GRID_Clienti() const;

    // Commands of the buttons and of the user menu.
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void NuovoCliente();
    void ModificaCliente();
    void CambiaStatoCliente(bool reactivate);
    void InfoSupplementari();
    void CopiaIdInClipboard();
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();

    TCustomerListFilters *Filters = nullptr; // Owned (child).
    TKRTGrid *DG_Clienti = nullptr;          // Owned (child).
    TRegistryPanel *PAN_Input = nullptr;     // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void ResetFilters() override;
    void AfterFiltersRestored() override;
    void RecordReadAgain() override;
    void BuildMenu(TListData &list) override;

private:
    bool OpenCustomer(const QString &id, const QString &errorMessage);
};
