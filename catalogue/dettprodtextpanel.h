#pragma once

// The text panel of the node data pane: a rich-text editor with its style buttons, the text's
// active and bulleted flags, and the splitting of the text into a bulleted list or into several
// texts, one per line. Formatted text never enters from elsewhere: pasting is plain text only
// ("Incolla"; Ctrl+V does nothing). A text is stored as rich text and as plain text.

#include "catalogue/dettprodpanels.h"

#include <QTextEdit>

class QPushButton;

// The editor of a text: pasting with the keys does nothing, a drop brings plain text only.
class TDettProdRichEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit TDettProdRichEdit(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};

class TDettProdTextPanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdTextPanel(QWidget *parent = nullptr);
    QWidget *MainField() const override;
    bool Open(const TDettProdNodeContext &context) override;

    // Style buttons on the selection (each adds its style; "Nessuna formattazione" removes
    // them all) and the plain-text clipboard buttons.
    void Bold();
    void Italic();
    void Underline();
    void StrikeOut();
    void NoFormatting();
    void PastePlain();
    void CopyPlain();
    void CutPlain();
    // "Trasforma in elenco puntato" (bulleted) and "Trasforma in più testi" (not).
    void Split(bool bulleted);

    TDettProdRichEdit *RE_ParteTxt = nullptr;                  // Owned (child).
    QPushButton *PB_ParteTxt_Bold = nullptr;                   // Owned (child).
    QPushButton *PB_ParteTxt_Italic = nullptr;                 // Owned (child).
    QPushButton *PB_ParteTxt_Underline = nullptr;              // Owned (child).
    QPushButton *PB_ParteTxt_StrikeOut = nullptr;              // Owned (child).
    QPushButton *PB_ParteTxt_Normale = nullptr;                // Owned (child).
    QPushButton *PB_ParteTxt_Paste = nullptr;                  // Owned (child).
    QPushButton *PB_ParteTxt_Copy = nullptr;                   // Owned (child).
    QPushButton *PB_ParteTxt_Cut = nullptr;                    // Owned (child).
    QCheckBox *CK_TestoNodoAttivo = nullptr;                   // Owned (child).
    QCheckBox *CK_TestoNodoInElenco = nullptr;                 // Owned (child).
    QPushButton *PB_ParteTxt_Trasf_Elenco = nullptr;           // Owned (child).
    QPushButton *PB_ParteTxt_Trasf_Elenco_NoPuntato = nullptr; // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;

private:
    void MergeFormat(const QTextCharFormat &format);
    bool RunSplit(bool bulleted, QString *firstId);

    TDettProdNodeContext m_context;
    int m_storedPosition = 0; // nuOrdineParte of the text being modified
};

// The lines of a text that become texts of their own: every paragraph as typed, trimmed, with
// the empty ones left out.
QStringList SplitTextLines(const QString &plainText);
