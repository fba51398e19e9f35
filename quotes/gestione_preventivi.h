#pragma once

// "Gestione preventivi": the quotes of the selected company (or the operator's own) listed and
// filtered; headers created (numbered by the database in the same transaction) and changed;
// quotes duplicated, revised, blocked and unblocked with their deadline, deactivated,
// reactivated and deleted; and the windows that work on one quote opened from the list.

#include "masterdata/listwindow.h"

class TDataSet;
class TQuoteFilters;
class TQuoteHeaderPanel;

class TGESTIONE_PREVENTIVI : public TListWindow
{
    Q_OBJECT

public:
    explicit TGESTIONE_PREVENTIVI(QWidget *parent = nullptr);
    ~TGESTIONE_PREVENTIVI() override;

    TDataSet *DST_GRID_Preventivi() const;

    // The proposal of the deadline rule for a new quote.
    bool xNuovoPrevDefaultScadFissa = false;
    int iNuovoPrevDefaultNuGGScad = 0;

    // Buttons.
    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void PB_RicercaClienteClick();
    void PB_Ok_InputClick();
    void PB_Annulla_InputClick();

    // Entries of the user menu, on the current row.
    void NewQuoteInput();
    void OpenQuoteInput();
    void DuplicaPreventivo();
    void EliminaPreventivo();
    void CambiaStatoPreventivo(bool reactivate);
    void CambiaBloccoPreventivo(bool block);
    void CreaNuovaRevisione();
    void AnnullaRevisione();
    void DettaglioProdotti();
    void ImpostaLayout();
    void PreventivoNelCloud();

    // SetNewPreventivo: year, number, revision 1 and date of a new quote, inside the save's
    // transaction; a failure is raised (the save reports it and rolls everything back).
    static void AssignQuoteNumber(const QString &id);
    // The procedures, each reporting its own failure; true when it succeeded.
    bool ChangeQuoteState(const QString &id, bool active);
    bool ChangeQuoteBlock(const QString &id, bool block);
    bool CloneQuote(const QString &id, const QString &newId);
    bool ReviseQuote(const QString &id, const QString &newId);
    bool UndoQuoteRevision(const QString &id);
    bool DeleteQuote(const QString &id);

    TQuoteFilters *Filters = nullptr;       // Owned (child).
    TKRTGrid *DG_Preventivi = nullptr;      // Owned (child).
    TQuoteHeaderPanel *PAN_Input = nullptr; // Owned (child).

protected:
    QString ExtractionCommand() override;
    QString ExtractionSort() const override;
    void ResetFilters() override;
    void AfterFiltersRestored() override;
    void RecordReadAgain() override;
    void BuildMenu(TListData &list) override;

private:
    // The company of a new quote: the selected one, or the operator's own.
    QString QuoteCompany() const;
    QString Row(const QString &field) const;
    bool RowBlocked() const;
    int RowRevision() const;
    bool RowIsLatestRevision() const;
    bool CanAct() const;
    bool OpenQuote(const QString &id, const QString &errorMessage);
    void WarnIfNotVisible(TExtractResult result, const QString &sentence);
    QString CustomerDescription(const QString &idCliente) const;

    QString m_customerDescription; // of the quote being changed, as the list shows it
};
