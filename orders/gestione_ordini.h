#pragma once

// "Gestione ordini": orders created from blocked quotes, listed, filtered, completed (subject,
// payment condition, destination references, notes), deactivated and reactivated, blocked and
// unblocked, deleted, and given a summary.

#include "masterdata/listwindow.h"

#include <memory>

class TDataSet;
class TOrderFilters;
class TOrderPanel;

class TGESTIONE_ORDINI : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_ORDINI(QWidget *parent = nullptr);
    ~TGESTIONE_ORDINI() override;

    TDataSet *DST_GRID_Ordini() const;

    // Commands of the buttons and of the user menu.
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void NuovoOrdine();
    // The order made from the quote, then the edit panel on it; false when it was not made.
    bool CreaOrdineDaPreventivo(const QString &idPreventivo);
    void ModificaOrdine();
    void EliminaOrdine();
    void CambiaStatoOrdine(bool reactivate);
    void CambiaBloccoOrdine(bool block);
    void GestioneSommario();
    void DettaglioProdotti();
    void GestioneCartella();
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();

    TOrderFilters *Filters = nullptr; // Owned (child).
    TKRTGrid *DG_Ordini = nullptr;    // Owned (child).
    TOrderPanel *PAN_Input = nullptr; // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void ResetFilters() override;
    void AfterFiltersRestored() override;
    void RecordReadAgain() override;
    void BuildMenu(TListData &list) override;

private:
    bool OpenOrder(const QString &id, const QString &errorMessage);
    bool CurrentBlocked() const;
    // The id of the row to show after the current one is gone: the next, else the previous,
    // else none.
    QString NeighbourId() const;

    std::unique_ptr<TDataSet> DST_CodPagamento;
};

// What the order list shows: columns, status line, legends, pictures and menu look.
TListDefinition OrderListDefinition();
