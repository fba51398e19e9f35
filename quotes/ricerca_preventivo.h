#pragma once

// "Cerca preventivo": the modal search of one quote of a given company, from which an order can
// be made (never a deactivated quote; blocked ones always). The caller sets sIdSocieta, shows
// the dialog modally and, when it ends with "ok", reads the chosen quote (idPreventivo, or the
// current row of DST_GRID_Preventivi).

#include "masterdata/listsearchdialog.h"

#include <QString>

class QPushButton;
class TDataSet;
class TKRTGrid;
class TQuoteFilters;

class TRICERCA_PREVENTIVO : public TListSearchDialog
{
    Q_OBJECT

public:
    explicit TRICERCA_PREVENTIVO(QWidget *parent = nullptr);
    ~TRICERCA_PREVENTIVO() override;

    QString sIdSocieta;   // set by the caller before showing
    QString idPreventivo; // the chosen quote, set when the dialog ends with "ok"

    TDataSet *DST_GRID_Preventivi() const;

    // The whole caller protocol: a dialog for the company, shown modally; true with the
    // chosen quote's id.
    static bool Choose(QWidget *parent, const QString &idSocieta, QString *idPreventivo);

    void PB_EstraiElencoClick();
    void PB_AzzeraFiltriClick();
    void PB_SelectClick() { Select(); }

    TQuoteFilters *Filters = nullptr;  // Owned (child).
    TKRTGrid *DG_Preventivi = nullptr; // Owned (child).
    QPushButton *PB_Select = nullptr;  // Owned (child).

protected:
    void Selected() override;
    void BuildMenu(TListData &list) override;
    void showEvent(QShowEvent *event) override;

private:
    bool m_extracted = false;
};
