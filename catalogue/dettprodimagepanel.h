#pragma once

// The image panel of the node data pane: the picture of a sub-paragraph with its caption and
// active flag, the picture buttons ("Cerca" in the last folder used, "Rimuovi", "Incolla",
// "Copia", and for administrators "(A) Salva"), and the save of the node row with the image
// row (JPEG) and its preview copy (80 x 80 mm) in the same transaction. A file or clipboard
// content that is not a usable picture is refused with a message and leaves the box as it was.

#include "catalogue/dettprodpanels.h"

#include <QByteArray>
#include <QImage>

class QLabel;
class QPushButton;

class TDettProdImagePanel : public TDettProdRecordPanel
{
    Q_OBJECT

public:
    explicit TDettProdImagePanel(QWidget *parent = nullptr);
    ~TDettProdImagePanel() override;
    QWidget *MainField() const override;

    void LoadFromFile();
    void RemovePicture();
    void PastePicture();
    void CopyPicture();
    void SavePictureToFile();

    // The picture in the box (null: none) and whether the operator changed it.
    const QImage &Picture() const { return m_picture; }
    bool PictureChanged() const { return m_changed; }

    QLabel *IMG_ImageNodo = nullptr;           // Owned (child).
    TKRTLabelEdit *EF_DescImageNodo = nullptr; // Owned (child).
    QCheckBox *CK_ImageNodoAttiva = nullptr;   // Owned (child).
    QPushButton *PB_CaricaImmagine = nullptr;  // Owned (child).
    QPushButton *PB_EliminaImmagine = nullptr; // Owned (child).
    QPushButton *PB_IncollaImmagine = nullptr; // Owned (child).
    QPushButton *PB_CopiaImmagine = nullptr;   // Owned (child).
    QPushButton *PB_SalvaImmagine = nullptr;   // Owned (child).

protected:
    void Clear() override;
    void Fill(TDataSet &row) override;
    bool Validate() override;
    void Write(TDataSet &row, const TDettProdNodeContext &context, bool insert) override;
    void OpenExtra(const QString &id) override;
    void PostExtra(const QString &id, bool insert) override;
    void ReleaseExtra() override;
    void LimitLengths(const TDataSet &row) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void SetPicture(const QImage &image);
    void ShowPicture();
    // The bytes stored as imgImage: the stored ones when the picture was not changed, else
    // the box's picture as JPEG; empty for none.
    QByteArray BytesToStore() const;

    std::unique_ptr<TEditableRecord> m_image;   // Images_Dettagli
    std::unique_ptr<TEditableRecord> m_preview; // Images_Dettagli_Preview
    QImage m_picture;
    QByteArray m_stored;
    bool m_changed = false;
};
