#pragma once

// The input panel of the product list (PAN_Input): code, catalogue, description, the kind of
// product, the active flag and the cover image with its four buttons, "Ok", ">> Dettaglio" and
// "Annulla". It reads and writes the product row of DatiProdotto; the window saves it.
//
// The documentation rule: a documentation product shows the fixed documentation picture
// instead of its cover, its image buttons are disabled and it cannot be an accessory.

#include <QByteArray>
#include <QFrame>
#include <QImage>

class QCheckBox;
class QLabel;
class QPushButton;
class TCatalogueCombo;
class TDataSet;
class TKRTLabelEdit;

class TProductInputPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TProductInputPanel(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    // Read-only (viewing): "Ok", ">> Dettaglio", the fields, the check boxes and the image
    // buttons disabled; "Documentazione" can be changed only for a new product.
    void SetEditable(bool editable, bool isNew);
    // The catalogue lookup's rows (the catalogues as EstraiFornitori gives them).
    void SetCatalogues(const TDataSet &catalogues);

    // Empty inputs for a new product: the first catalogue, active, neither accessory nor
    // documentation, no cover.
    void Clear();
    // The inputs from the product row; the catalogue of the product is chosen even when the
    // lookup's filter hides it, so that saving never moves the product to another catalogue.
    void Fill(TDataSet &product);
    // The row's columns from the inputs: txCodProdotto (null when empty), idFornitore, nuAnno
    // (null without a year), txDescProdotto, flProdottoAttivo, flAccessorio, flDocumentazione.
    void Write(TDataSet &product) const;
    // Field lengths: the panel's own (100 and 200) or the columns' when shorter.
    void LimitLengths(const TDataSet &product);

    bool DescriptionEmpty() const;
    bool AccessoryAndDocumentation() const;
    bool Documentation() const;
    QString Code() const;

    // --- Cover ------------------------------------------------------------------------------
    // The stored cover (its bytes, possibly empty) shown in the box; not changed.
    void SetStoredCover(const QByteArray &bytes);
    // A cover chosen by the operator (null: the box emptied).
    void SetCover(const QImage &image);
    const QImage &Cover() const { return m_cover; }
    bool CoverChanged() const { return m_coverChanged; }
    const QByteArray &StoredCover() const { return m_storedCover; }
    // The bytes to store as imgImage: the documentation picture for a documentation product;
    // the stored bytes when the cover was not changed; otherwise the box's picture as JPEG;
    // empty for no cover.
    QByteArray CoverToStore() const;

    // "Cerca", "Rimuovi", "Incolla", "Copia". A file or clipboard picture that cannot be used
    // gives a clear message and keeps the cover in the box.
    void LoadCoverFromFile();
    void RemoveCover();
    void PasteCover();
    void CopyCover();

    void ApplyDocumentationRule();
    // The program's documentation picture (IMG_Documentazione).
    static QImage DocumentationPicture();

    QLabel *PAN_Desc_TipoOperazione = nullptr; // Owned (child).
    TKRTLabelEdit *EF_CodProdotto = nullptr;   // Owned (child).
    TCatalogueCombo *DCB_Fornitore = nullptr;  // Owned (child).
    TKRTLabelEdit *EF_DescProdotto = nullptr;  // Owned (child).
    QCheckBox *CK_ProdottoAttivo = nullptr;    // Owned (child).
    QCheckBox *CK_Accessorio = nullptr;        // Owned (child).
    QCheckBox *CK_Documentazione = nullptr;    // Owned (child).
    QLabel *IMG_Copertina = nullptr;           // Owned (child).
    QLabel *IMG_Documentazione = nullptr;      // Owned (child).
    QPushButton *PB_CaricaImmagine = nullptr;  // Owned (child).
    QPushButton *PB_EliminaImmagine = nullptr; // Owned (child).
    QPushButton *PB_IncollaImmagine = nullptr; // Owned (child).
    QPushButton *PB_CopiaImmagine = nullptr;   // Owned (child).
    QPushButton *PB_Ok_Input_Segue = nullptr;  // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;        // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;   // Owned (child).

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ShowCover();
    void SetImageButtonsEnabled(bool on);

    QImage m_cover;
    QByteArray m_storedCover;
    bool m_coverChanged = false;
    bool m_editable = true;
};
