#pragma once

// "Cerca cliente": the modal search of one customer of a given company. The caller sets
// sIdSocieta, shows the dialog modally and, when it ends with "ok", reads the chosen
// customer (idCliente, txDescCliente, or the current row of DST_GRID_Clienti).

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QPushButton;
class TCustomerListFilters;
class TDataSet;
class TFilterSettings;
class TKRTGrid;
class TListData;

class TRICERCA_CLIENTE : public QDialog
{
    Q_OBJECT

public:
    explicit TRICERCA_CLIENTE(QWidget *parent = nullptr);
    ~TRICERCA_CLIENTE() override;

    QString sIdSocieta;     // set by the caller before showing
    bool bSelected = false; // a customer was chosen
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
    void PB_SelectClick();

    TCustomerListFilters *Filters = nullptr; // Owned (child).
    TKRTGrid *DG_Clienti = nullptr;          // Owned (child).
    QPushButton *PB_Select = nullptr;        // Owned (child).

public Q_SLOTS:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildMenu();
    void MenuChosen();

    TListData *m_list = nullptr; // Owned (child object).
    std::unique_ptr<TFilterSettings> m_settings;
    bool m_firstShown = false;
    bool m_busy = false;
};
