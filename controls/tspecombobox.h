#pragma once

// The code-and-description lookup box (SCB_ controls): a short code field and a drop-down of
// descriptions, both bound to one private dataset of coded entries (columns Codice and
// Descrizione). Typing in either half completes from the entries and the other half follows.

#include "controls/tkrtlabeledit.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class TDataSet;
class TSTD_DBMODULE;

class TSPEComboBox : public QWidget
{
    Q_OBJECT

public:
    explicit TSPEComboBox(QWidget *parent = nullptr);
    ~TSPEComboBox() override;

    TKRTLabelEdit *edt() const { return m_edt; }  // the code field
    QComboBox *cbx() const { return m_cbx; }      // the description drop-down
    TDataSet *qry() const { return m_qry.get(); } // nullptr before Reset

    // --- Life cycle ------------------------------------------------------------------------
    // Frees the dataset, clears the filter and creates a new empty dataset that the owner
    // fills (structure and rows) before Active(true).
    void Reset();
    // true: loads the cache file or runs the SQL text when the dataset has no data, applies
    // the filter, builds the items and looks the current code up; false: frees the dataset.
    void Active(bool on);
    bool IsActive() const { return m_active; }

    // --- Value -----------------------------------------------------------------------------
    QString Text() const; // the code
    void SetText(const QString &code);
    QString Description() const;
    void ClearField();
    void ReLoad();
    bool IsSelect() const;
    int GetRecordCount() const;
    void SyncDataSet();
    void DoSelect();
    void AutoResizeComboWidth();

    // --- Properties ------------------------------------------------------------------------
    bool AllowNothing() const { return m_allowNothing; }
    void SetAllowNothing(bool on);
    bool AllowNewValue = false;
    bool ShowListEditing = false;
    bool CodiceBlank() const { return m_codiceBlank; }
    void SetCodiceBlank(bool on);
    bool CodiceVisible() const { return m_editWidth > 0; }
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    int ComboWidth() const { return m_comboWidth; }
    void SetComboWidth(int w);
    int EditWidth() const { return m_editWidth; }
    void SetEditWidth(int w);
    int DescWidth() const { return m_descWidth; }
    void SetDescWidth(int w);
    void SetCaptionString(const QString &c);
    QString CaptionString() const { return m_edt->CaptionString(); }
    void SetCaptionWidth(int w);
    void SetCaptionAlignment(Qt::Alignment a) { m_edt->SetCaptionAlignment(a); }
    void SetCaptionPosition(TKRTCaptionPosition p);
    void SetCaptionFont(const QFont &f);
    void SetCaptionStyle(TKRTCaptionStyle s) { m_edt->SetCaptionStyle(s); }
    // Not owned; nullptr means the process-wide database module.
    TSTD_DBMODULE *Connection = nullptr;
    QStringList SQL() const { return m_sql; }
    void SetSQL(const QStringList &lines) { m_sql = lines; }
    QString Filter() const { return m_filter; }
    void SetFilter(const QString &filter);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool on);
    QString FileName; // optional cache of the entries

    std::function<void(TSPEComboBox *)> OnSelect;
    std::function<void(TSPEComboBox *)> OnCaptionClick;

    // Beeps given for codes or prefixes that match nothing.
    int BeepCount() const { return m_beeps; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString CodeKey(const QString &code) const;
    void LookUp(const QString &code);
    void ClearHalves();
    void SetCode(const QString &code);
    void BuildItems();
    void ApplyColorRule();
    void Beep();
    bool CodeKeyPress(QKeyEvent *event);
    bool ComboKeyPress(QKeyEvent *event);
    void CodeChanged();
    void Picked(int index);
    void CodeEntered();
    void CodeLeft();
    void ComboEntered();
    void ComboLeft();
    void ControlLeft();
    QString RecordCode(int recNo0) const;
    QString RecordDescription(int recNo0) const;
    bool LoadCache();
    void SaveCache() const;
    void Relayout();

    TKRTLabelEdit *m_edt = nullptr; // Owned (child).
    QComboBox *m_cbx = nullptr;     // Owned (child).
    QWidget *m_panel = nullptr;     // Owned (child): background in transparent mode.
    std::unique_ptr<TDataSet> m_qry;
    QColor m_normalColor;
    bool m_active = false;
    bool m_allowNothing = false;
    bool m_codiceBlank = false;
    bool m_transparent = false;
    int m_comboWidth = 0;
    int m_editWidth = 50;
    int m_descWidth = 200;
    QStringList m_sql;
    QString m_filter;
    bool m_filtered = false;
    bool bFromEdt = false;
    bool FSelectFromCB = false;
    QString sCbxText;
    bool m_busy = false;
    int m_beeps = 0;
};
