#pragma once

// "Cerca cliente": the modal search of one customer of a given company. The caller sets
// sIdSocieta, shows the dialog modally and, when it ends with "ok", reads the chosen
// customer (idCliente, txDescCliente, or the current row of DST_GRID_Clienti).

#include "masterdata/listsearchdialog.h"

#include <QString>

class QPushButton;
class TCustomerListFilters;
class TDataSet;
class TKRTGrid;

class TRICERCA_CLIENTE : public TListSearchDialog
{
    Q_OBJECT

public:
    explicit TRICERCA_CLIENTE(QWidget *parent = nullptr);
    ~TRICERCA_CLIENTE() override;

    QString sIdSocieta; // set by the caller before showing
    // The chosen customer, set when the dialog ends with "ok".
    QString idCliente;
    QString txDescCliente;

    TDataSet *DST_GRID_Clienti() const;

    // What the quote list does: the dialog never lists deactivated customers ("Includi non
    // attivi" unticked and disabled).
    void ExcludeInactive();

    // The whole caller protocol: a dialog for the company, not-active customers excluded,
    // shown modally; true with the chosen customer's id and description.
    static bool Choose(QWidget *parent,
                       const QString &idSocieta,
                       QString *idCliente,
                       QString *txDescCliente);

    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void PB_SelectClick() { Select(); }

    TCustomerListFilters *Filters = nullptr; // Owned (child).
    TKRTGrid *DG_Clienti = nullptr;          // Owned (child).
    QPushButton *PB_Select = nullptr;        // Owned (child).

protected:
    void Selected() override;
    void BuildMenu(TListData &list) override;
};
