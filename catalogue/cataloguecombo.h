#pragma once

// The catalogues of the suppliers ("EXEC EstraiFornitori": one row per supplier's catalogue of
// a year, 'B' current and 'C' previous in txOrder, plus one row per supplier without a year)
// and the lookup list that chooses one (DCB_Fornitore, DCB_Find_Fornitore): its drop-down shows
// txFornitore, txAnno and txFornitoreAnno in columns, the closed box txFornitoreAnno, and
// idKeyFornitore is the key. Product lists and product searches use it.

#include <QComboBox>
#include <QString>
#include <QVariant>

#include <memory>

class TDataSet;
class TFilterSettings;

// "EXEC EstraiFornitori" into memory; raises EDatabaseError.
std::unique_ptr<TDataSet> LoadCatalogues();

// The rows of a catalogue filter: the catalogues with a year, and first the row standing for
// every catalogue (txOrder 'A', nuAnnoKey 0, the zero id, " Tutti i cataloghi "), sorted by
// "txOrder, txDescFornitore".
std::unique_ptr<TDataSet> CatalogueFilterRows(const TDataSet &catalogues);

// The id of the row standing for every catalogue.
inline constexpr char kAllCataloguesId[] = "{00000000-0000-0000-0000-000000000000}";

// No previous catalogue ('C') among the rows.
bool OnlyCurrentCatalogues(const TDataSet &catalogues);

class TCatalogueCombo : public QComboBox
{
    Q_OBJECT

public:
    explicit TCatalogueCombo(QWidget *parent = nullptr);
    ~TCatalogueCombo() override;

    // The rows offered (a copy is kept), all of them shown, the first one chosen.
    void SetCatalogues(const TDataSet &rows);
    // The current catalogues ('A' and 'B' rows) or the previous ones ('C'); the first one
    // chosen.
    void ShowPrevious(bool previous);
    // Every row, whatever the filter (a product of a catalogue the filter hides).
    void ShowAll();
    bool Previous() const { return m_previous; }

    // The chosen catalogue: its key, supplier and year (an invalid value when it has none).
    QString KeyFornitore() const;
    QString IdFornitore() const;
    QVariant NuAnnoKey() const;
    // Its year as a number: 0 when it has none.
    int NuAnno() const;

    // Chooses the row of that supplier and year (0 also stands for no year); false, and the
    // choice unchanged, when no row shown matches.
    bool Select(const QString &idFornitore, int nuAnno);
    // A row of that supplier and year is among the rows shown.
    bool Contains(const QString &idFornitore, int nuAnno) const;

private:
    void Fill(const QString &filter);

    std::unique_ptr<TDataSet> m_rows;
    bool m_previous = false;
};

// Binds the chosen catalogue of a filter to the keys KeyFornitore and NuAnnoFornitore, in that
// order: the supplier read back is kept until its year is read, then both are chosen together.
// A year that is not all digits reads as 0; a catalogue not shown leaves the current choice.
void AddCatalogueChoice(TFilterSettings &settings, TCatalogueCombo *combo);
