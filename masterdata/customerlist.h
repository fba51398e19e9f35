#pragma once

// What the customer list and the customer search share: the filter panel (registry filters,
// "Ordina più recenti", "Includi non attivi", the months flag, "Estrai elenco" and "Azzera
// filtri"), the EstraiClienti command, the columns and the developer queries.

#include "masterdata/listdata.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QPushButton;
class TCustomerFilters;
class TFilterSettings;
class TMonthsFilter;

class TCustomerListFilters : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomerListFilters(QWidget *parent = nullptr);

    // "EXEC EstraiClienti  1, " + the company quoted + the filters.
    QString CommandText(const QString &idSocieta) const;
    // "dtMaxOperation DESC" with "Ordina più recenti", else "txDenominazione".
    QString SortText() const;
    // The reset filters; the months flag ticked or not (slider 3 either way).
    void Reset(bool monthsTicked);
    // CodCliente ... MesiN, in the order of the settings file.
    void Bind(TFilterSettings &settings);
    // After the settings were read back: the nationality's field and the months caption.
    void Refresh();

    TCustomerFilters *Registry = nullptr;           // Owned (child).
    QCheckBox *CK_Find_OrdinaRecenti = nullptr;     // Owned (child).
    QCheckBox *CK_Find_IncludiCancellati = nullptr; // Owned (child).
    TMonthsFilter *Months = nullptr;                // Owned (child).
    QPushButton *PB_EstraiElenco = nullptr;         // Owned (child).
    QPushButton *PB_AzzeraFiltri = nullptr;         // Owned (child).
};

// The customer list: columns, labels, widths, the list and info columns.
TListDefinition CustomerListDefinition(const QString &className, const QString &extractError);
// The developer queries of a customer.
QList<QStringList> CustomerQueries(const QString &idCliente);
