#pragma once

// The company selector of the list windows (PAN_Societa with DCB_Find_Societa): shown to a
// "funzionario" and to an operator without a company of his own, filled by
// EstraiElencoSocieta, sorted "txOrder, txDescSocieta", the first company selected.

#include <QFrame>
#include <QString>

#include <functional>
#include <memory>

class QComboBox;
class TDataSet;

class TCompanySelector : public QFrame
{
    Q_OBJECT

public:
    explicit TCompanySelector(QWidget *parent = nullptr);
    ~TCompanySelector() override;

    // The rule of every list window with a company argument.
    static bool IsNeeded();
    // "EXEC EstraiElencoSocieta", with the operator's company for a "funzionario".
    static QString CommandText();

    // Extracts the companies into memory and selects the first; a failure is reported with
    // errorMessage and the provider text, and gives false.
    bool Load(const QString &errorMessage);

    QString SelectedId() const; // empty when there is no company
    QString SelectedName() const;
    // Selects the company with that id (ignoring case); false, and nothing changed, when absent.
    bool Select(const QString &idSocieta);
    int Count() const;

    QComboBox *Combo() const { return DCB_Find_Societa; }
    TDataSet *Companies() const { return DST_Find_Societa.get(); } // DST_Find_Societa

    // Raised when the operator chooses another company.
    std::function<void(TCompanySelector *)> OnChange;

private:
    QComboBox *DCB_Find_Societa = nullptr; // Owned (child).
    std::unique_ptr<TDataSet> DST_Find_Societa;
    bool m_filling = false;
};
