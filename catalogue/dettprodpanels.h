#pragma once

// The panels of the node data pane that edit one node row (DatiNodo of the node's kind): data
// sheets, paragraphs, sub-paragraphs and table headers here; texts and images have files of
// their own. A panel opens the row (none for a new node), shows it, and saves it in one
// transaction: the row, anything the kind adds (the image rows), the new node's place
// (SetOrdineNewNodo) and the product's change mark (UpdateChangesProdotto). A failure rolls
// everything back, tells the operator and keeps the panel open with the input.

#include "catalogue/dettprodnodepane.h"

#include <memory>

class QCheckBox;
class TDataSet;
class TEditableRecord;
class TKRTLabelEdit;

// The command texts of a save.
QString DatiNodoText(const QString &sIdNodo, int nuTipologia);
// Plain insert: new id, parent, kind, user; insert-between (data sheets, paragraphs,
// sub-paragraphs): also the reference node's parent, the position and the sub-position.
QString SetOrdineNewNodoText(const TDettProdNodeContext &context);
QString UpdateChangesProdottoText(const QString &sIdProdotto);

// The operation title of a node panel ("Nuova scheda", "Inserisci sottoparagrafo", ...).
QString NodePanelTitle(TGENCurrentOp op, TCurrentNodeTipologia kind);

// What tells the kinds' rows apart in the shared open and save: the table and its key, and
// the messages of a failed insert and of a failed change.
struct TDettProdRowKind
{
    QString table;
    QString key;
    QString insertError;
    QString modifyError;
};

class TDettProdRecordPanel : public TDettProdNodePanel
{
    Q_OBJECT

public:
    TDettProdRecordPanel(TDettProdRowKind kind, QWidget *parent);
    ~TDettProdRecordPanel() override;

    bool Open(const TDettProdNodeContext &context) override;
    QString Title(const TDettProdNodeContext &context) const override;
    bool Save(const TDettProdNodeContext &context) override;
    void Release() override;

protected:
    // Defaults of a new node; the stored values of a node being modified.
    virtual void Clear() = 0;
    virtual void Fill(TDataSet &row) = 0;
    // Checks the input (the panel tells the operator and focuses the field).
    virtual bool Validate() { return true; }
    // The row's links (insert only) and fields from the input.
    virtual void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) = 0;
    // Rows of their own a kind keeps next to the node row (the image and its preview).
    virtual void OpenExtra(const QString &) {}
    virtual void PostExtra(const QString &, bool) {}
    virtual void ReleaseExtra() {}
    // The kind's input limits from the row's columns.
    virtual void LimitLengths(const TDataSet &) {}

    // Shared helpers for the kinds.
    static void SetFlag(TDataSet &row, const QString &column, bool on);
    static bool Flag(TDataSet &row, const QString &column);
    // A check box that, ticked or not, gives the focus back to the panel's main field.
    QCheckBox *AddCheck(const char *name, const QString &caption);
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<TEditableRecord> m_record;

private:
    bool OpenRecord(const TDettProdNodeContext &context);
    const TDettProdRowKind m_kind;
    TDettProdNodeContext m_opened;
};

// "Scheda": description (required), active, kept together.
class TDettProdSchedaPanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdSchedaPanel(QWidget *parent = nullptr);
    QWidget *MainField() const override;

    TKRTLabelEdit *EF_DescSchedaNodo = nullptr; // Owned (child).
    QCheckBox *CK_SchedaNodoAttiva = nullptr;   // Owned (child).
    QCheckBox *CK_SchedaNodoUnita = nullptr;    // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    bool Validate() override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;
    void LimitLengths(const TDataSet &row) override;
};

// "Paragrafo": description (required when used in the product summary), active, summary,
// page break before.
class TDettProdComponentePanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdComponentePanel(QWidget *parent = nullptr);
    QWidget *MainField() const override;

    TKRTLabelEdit *EF_DescComponenteNodo = nullptr;      // Owned (child).
    QCheckBox *CK_ComponenteNodoAttivo = nullptr;        // Owned (child).
    QCheckBox *CK_ComponenteNodoRiepilogo = nullptr;     // Owned (child).
    QCheckBox *CK_ComponenteNodoNewPageBefore = nullptr; // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    bool Validate() override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;
    void LimitLengths(const TDataSet &row) override;
};

// "Sottoparagrafo": description, quantity (whole number, 0 = none), active, highlighted, kept
// together.
class TDettProdPartePanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdPartePanel(QWidget *parent = nullptr);
    QWidget *MainField() const override;

    TKRTLabelEdit *EF_DescParteNodo = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_NuQtaParteNodo = nullptr;  // Owned (child).
    QCheckBox *CK_ParteNodoAttiva = nullptr;     // Owned (child).
    QCheckBox *CK_ParteNodoImportante = nullptr; // Owned (child).
    QCheckBox *CK_ParteNodoUnita = nullptr;      // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    bool Validate() override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;
    void LimitLengths(const TDataSet &row) override;
};

// "Intestazione tabella": description and the two column titles, active.
class TDettProdTabellaPanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdTabellaPanel(QWidget *parent = nullptr);
    QWidget *MainField() const override;

    TKRTLabelEdit *EF_DescTabellaNodo = nullptr;      // Owned (child).
    TKRTLabelEdit *EF_DescTitoloVoceNodo = nullptr;   // Owned (child).
    TKRTLabelEdit *EF_DescTitoloValoreNodo = nullptr; // Owned (child).
    QCheckBox *CK_TabellaNodoAttiva = nullptr;        // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;
    void LimitLengths(const TDataSet &row) override;
};
