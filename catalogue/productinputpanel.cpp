#include "catalogue/productinputpanel.h"

#include "catalogue/cataloguecombo.h"
#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/imageroutines.h"
#include "common/picturebuttons.h"
#include "common/texts.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kPathKey = QStringLiteral("FrmGesProd_PathImmagine");

QLabel *MakeImageBox(QWidget *parent, const char *name)
{
    auto *box = new QLabel(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMinimumSize(260, 260);
    box->setAlignment(Qt::AlignCenter);
    box->setFrameShape(QFrame::StyledPanel);
    box->setStyleSheet(QStringLiteral("QLabel#%1 { background: white; }").arg(QLatin1String(name)));
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return box;
}

} // namespace

TProductInputPanel::TProductInputPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Input"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    PAN_Desc_TipoOperazione = MakePanelTitle(this);
    outer->addWidget(PAN_Desc_TipoOperazione);

    auto *body = new QHBoxLayout;
    body->setSpacing(16);
    outer->addLayout(body, 1);

    // Data of the product.
    auto *fields = new QVBoxLayout;
    fields->setSpacing(8);
    EF_CodProdotto = MakeLabelEdit(this,
                                   QStringLiteral("EF_CodProdotto"),
                                   QStringLiteral("Codice"),
                                   100,
                                   ecKRTUpperCase,
                                   260,
                                   true);
    fields->addWidget(EF_CodProdotto);
    auto *catalogue = new QLabel(QStringLiteral("Catalogo"), this);
    catalogue->setObjectName(QStringLiteral("SF_Fornitore"));
    DCB_Fornitore = new TCatalogueCombo(this);
    DCB_Fornitore->setObjectName(QStringLiteral("DCB_Fornitore"));
    catalogue->setBuddy(DCB_Fornitore);
    fields->addWidget(catalogue);
    fields->addWidget(DCB_Fornitore);
    EF_DescProdotto = MakeLabelEdit(this,
                                    QStringLiteral("EF_DescProdotto"),
                                    QStringLiteral("Descrizione"),
                                    200,
                                    ecKRTUpperCase,
                                    460,
                                    true);
    fields->addWidget(EF_DescProdotto);
    CK_ProdottoAttivo = new QCheckBox(QStringLiteral("Prodotto attivo"), this);
    CK_ProdottoAttivo->setObjectName(QStringLiteral("CK_ProdottoAttivo"));
    CK_Accessorio = new QCheckBox(QStringLiteral("Accessorio"), this);
    CK_Accessorio->setObjectName(QStringLiteral("CK_Accessorio"));
    CK_Documentazione = new QCheckBox(QStringLiteral("Documentazione"), this);
    CK_Documentazione->setObjectName(QStringLiteral("CK_Documentazione"));
    fields->addSpacing(6);
    fields->addWidget(CK_ProdottoAttivo);
    fields->addWidget(CK_Accessorio);
    fields->addWidget(CK_Documentazione);
    fields->addStretch(1);
    body->addLayout(fields, 1);

    // The cover with its buttons, or the documentation picture.
    auto *cover = new QVBoxLayout;
    cover->setSpacing(4);
    auto *coverTitle = new QLabel(QStringLiteral("Immagine di copertina"), this);
    coverTitle->setObjectName(QStringLiteral("SF_Copertina"));
    cover->addWidget(coverTitle);
    IMG_Copertina = MakeImageBox(this, "IMG_Copertina");
    IMG_Documentazione = MakeImageBox(this, "IMG_Documentazione");
    IMG_Documentazione->hide();
    cover->addWidget(IMG_Copertina, 1);
    cover->addWidget(IMG_Documentazione, 1);
    auto *imageButtons = new QHBoxLayout;
    auto button = [this,
                   imageButtons](const char *name, const QString &caption, const QString &hint) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        imageButtons->addWidget(b);
        return b;
    };
    PB_CaricaImmagine = button("PB_CaricaImmagine",
                               QStringLiteral("Cerca"),
                               QStringLiteral(" Cerca immagine di copertina "));
    PB_EliminaImmagine = button("PB_EliminaImmagine",
                                QStringLiteral("Rimuovi"),
                                QStringLiteral(" Rimuovi immagine di copertina "));
    PB_IncollaImmagine = button("PB_IncollaImmagine",
                                QStringLiteral("Incolla"),
                                QStringLiteral(" Incolla immagine dagli appunti "));
    PB_CopiaImmagine = button("PB_CopiaImmagine",
                              QStringLiteral("Copia"),
                              QStringLiteral(" Copia immagine negli appunti "));
    imageButtons->addStretch(1);
    cover->addLayout(imageButtons);
    body->addLayout(cover, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input_Segue = new QPushButton(QStringLiteral(">> Dettaglio"), this);
    PB_Ok_Input_Segue->setObjectName(QStringLiteral("PB_Ok_Input_Segue"));
    PB_Ok_Input_Segue->setToolTip(QStringLiteral(" Ok e prosegui al dettaglio prodotto "));
    PB_Ok_Input_Segue->setMinimumWidth(110);
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), this);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setMinimumWidth(100);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), this);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    PB_Annulla_Input->setMinimumWidth(100);
    buttons->addWidget(PB_Ok_Input_Segue);
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    outer->addLayout(buttons);

    IMG_Documentazione->setToolTip(QStringLiteral(" Prodotto di documentazione "));
    connect(CK_Documentazione, &QCheckBox::clicked, this, [this] {
        ApplyDocumentationRule();
        EF_DescProdotto->SetFocus();
    });
    for (QCheckBox *box : {CK_ProdottoAttivo, CK_Accessorio})
        connect(box, &QCheckBox::clicked, this, [this] { EF_DescProdotto->SetFocus(); });
    connect(PB_CaricaImmagine, &QPushButton::clicked, this, &TProductInputPanel::LoadCoverFromFile);
    connect(PB_EliminaImmagine, &QPushButton::clicked, this, &TProductInputPanel::RemoveCover);
    connect(PB_IncollaImmagine, &QPushButton::clicked, this, &TProductInputPanel::PasteCover);
    connect(PB_CopiaImmagine, &QPushButton::clicked, this, &TProductInputPanel::CopyCover);
}

void TProductInputPanel::SetTitle(const QString &title)
{
    PAN_Desc_TipoOperazione->setText(title);
}

void TProductInputPanel::SetCatalogues(const TDataSet &catalogues)
{
    DCB_Fornitore->SetCatalogues(catalogues);
}

void TProductInputPanel::SetEditable(bool editable, bool isNew)
{
    m_editable = editable;
    PB_Ok_Input->setEnabled(editable);
    PB_Ok_Input_Segue->setEnabled(editable);
    EF_CodProdotto->SetAllEnabled(editable);
    EF_DescProdotto->SetAllEnabled(editable);
    DCB_Fornitore->setEnabled(editable);
    CK_ProdottoAttivo->setEnabled(editable);
    CK_Accessorio->setEnabled(editable);
    // A product's kind "documentation" is chosen once, when it is created.
    CK_Documentazione->setEnabled(editable && isNew);
    SetImageButtonsEnabled(editable);
}

void TProductInputPanel::LimitLengths(const TDataSet &product)
{
    LimitInputLength(EF_CodProdotto, product, QStringLiteral("txCodProdotto"), 100);
    LimitInputLength(EF_DescProdotto, product, QStringLiteral("txDescProdotto"), 200);
}

void TProductInputPanel::Clear()
{
    EF_CodProdotto->ClearField();
    EF_DescProdotto->ClearField();
    // The catalogues of the filter's choice again (a product shown before may have needed all
    // of them), the first one chosen.
    DCB_Fornitore->ShowPrevious(DCB_Fornitore->Previous());
    CK_ProdottoAttivo->setChecked(true);
    CK_Accessorio->setChecked(false);
    CK_Documentazione->setChecked(false);
    m_storedCover.clear();
    m_cover = QImage();
    m_coverChanged = false;
    ApplyDocumentationRule();
    ShowCover();
}

void TProductInputPanel::Fill(TDataSet &product)
{
    FillInput(EF_CodProdotto, product, QStringLiteral("txCodProdotto"));
    FillInput(EF_DescProdotto, product, QStringLiteral("txDescProdotto"));
    const TField fornitore = product.FieldByName(QStringLiteral("idFornitore"));
    if (fornitore.IsNull()) {
        if (DCB_Fornitore->count() > 0)
            DCB_Fornitore->setCurrentIndex(0);
    } else {
        const QString id = fornitore.AsString();
        const int year = int(product.FieldByName(QStringLiteral("nuAnno")).AsInteger());
        // A catalogue the filter hides is shown rather than another one chosen in its place.
        if (!DCB_Fornitore->Select(id, year)) {
            DCB_Fornitore->ShowAll();
            DCB_Fornitore->Select(id, year);
        }
    }
    CK_ProdottoAttivo->setChecked(
        product.FieldByName(QStringLiteral("flProdottoAttivo")).AsBoolean());
    CK_Accessorio->setChecked(product.FieldByName(QStringLiteral("flAccessorio")).AsBoolean());
    CK_Documentazione->setChecked(
        product.FieldByName(QStringLiteral("flDocumentazione")).AsBoolean());
}

void TProductInputPanel::Write(TDataSet &product) const
{
    WriteInput(product, QStringLiteral("txCodProdotto"), EF_CodProdotto->Text());
    product.FieldByName(QStringLiteral("idFornitore")).SetValue(DCB_Fornitore->IdFornitore());
    const QVariant year = DCB_Fornitore->NuAnnoKey();
    TField anno = product.FieldByName(QStringLiteral("nuAnno"));
    if (year.isValid() && !year.isNull())
        anno.SetValue(year);
    else
        anno.SetNull();
    product.FieldByName(QStringLiteral("txDescProdotto")).SetValue(EF_DescProdotto->Text().trimmed());
    product.FieldByName(QStringLiteral("flProdottoAttivo"))
        .SetValue(CK_ProdottoAttivo->isChecked() ? 1 : 0);
    product.FieldByName(QStringLiteral("flAccessorio")).SetValue(CK_Accessorio->isChecked() ? 1 : 0);
    product.FieldByName(QStringLiteral("flDocumentazione"))
        .SetValue(CK_Documentazione->isChecked() ? 1 : 0);
}

bool TProductInputPanel::DescriptionEmpty() const
{
    return EF_DescProdotto->Text().trimmed().isEmpty();
}

bool TProductInputPanel::AccessoryAndDocumentation() const
{
    return CK_Accessorio->isChecked() && CK_Documentazione->isChecked();
}

bool TProductInputPanel::Documentation() const
{
    return CK_Documentazione->isChecked();
}

QString TProductInputPanel::Code() const
{
    return EF_CodProdotto->Text().trimmed();
}

// --- Cover ----------------------------------------------------------------------------------

void TProductInputPanel::SetStoredCover(const QByteArray &bytes)
{
    m_storedCover = bytes;
    m_coverChanged = false;
    m_cover = QImage();
    if (!bytes.isEmpty()) {
        QString error;
        // A stored cover that cannot be read shows an empty box; its bytes stay as they are
        // unless the operator chooses another cover.
        m_cover = ImageReadChecked(bytes, kImageMaxStoredSide, &error);
    }
    ShowCover();
}

void TProductInputPanel::SetCover(const QImage &image)
{
    m_cover = image;
    m_coverChanged = true;
    ShowCover();
}

QByteArray TProductInputPanel::CoverToStore() const
{
    if (Documentation())
        return ImageSaveJpegBytes(DocumentationPicture());
    if (!m_coverChanged)
        return m_storedCover;
    return m_cover.isNull() ? QByteArray() : ImageSaveJpegBytes(m_cover);
}

void TProductInputPanel::LoadCoverFromFile()
{
    // A refused file leaves the cover in the box as it was.
    const QImage image = AskPictureFile(
        QStringLiteral("Seleziona immagine di copertina del prodotto"),
        TFilterSettings::Read(kPathKey, ProgramFolder()),
        QStringLiteral("L'immagine con il nome impostato non esiste nel percorso selezionato...."),
        [](const QString &folder) { TFilterSettings::Write(kPathKey, folder); });
    if (!image.isNull())
        SetCover(image);
}

void TProductInputPanel::RemoveCover()
{
    SetCover(QImage());
}

void TProductInputPanel::PasteCover()
{
    const QImage image = PastePictureChecked();
    if (!image.isNull())
        SetCover(image);
}

void TProductInputPanel::CopyCover()
{
    if (!m_cover.isNull())
        CopyImageToClipboard(m_cover);
}

void TProductInputPanel::ShowCover()
{
    ShowPictureInBox(IMG_Copertina, m_cover);
}

void TProductInputPanel::SetImageButtonsEnabled(bool on)
{
    const bool enabled = on && m_editable && !Documentation();
    for (QPushButton *b :
         {PB_CaricaImmagine, PB_EliminaImmagine, PB_IncollaImmagine, PB_CopiaImmagine})
        b->setEnabled(enabled);
}

void TProductInputPanel::ApplyDocumentationRule()
{
    const bool documentation = Documentation();
    IMG_Copertina->setVisible(!documentation);
    IMG_Documentazione->setVisible(documentation);
    if (documentation) {
        ShowPictureInBox(IMG_Documentazione, DocumentationPicture());
        CK_Accessorio->setChecked(false);
        CK_Accessorio->setEnabled(false);
    } else {
        CK_Accessorio->setEnabled(m_editable);
        ShowCover();
    }
    SetImageButtonsEnabled(true);
}

QImage TProductInputPanel::DocumentationPicture()
{
    // A sheet with a folded corner, lines of text and the word "DOCUMENTAZIONE".
    static const QImage picture = [] {
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath sheet;
        sheet.moveTo(150, 60);
        sheet.lineTo(390, 60);
        sheet.lineTo(460, 130);
        sheet.lineTo(460, 470);
        sheet.lineTo(150, 470);
        sheet.closeSubpath();
        p.setPen(QPen(QColor(0x37, 0x6E, 0xA1), 6));
        p.setBrush(QColor(0xF3, 0xF7, 0xFB));
        p.drawPath(sheet);
        QPainterPath fold;
        fold.moveTo(390, 60);
        fold.lineTo(390, 130);
        fold.lineTo(460, 130);
        p.setBrush(QColor(0xC9, 0xDA, 0xEA));
        p.drawPath(fold);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x80, 0x00, 0x80));
        p.drawRect(190, 150, 170, 18);
        p.setBrush(QColor(0x9A, 0xA5, 0xB1));
        for (int y = 200; y <= 420; y += 34)
            p.drawRect(190, y, y == 420 ? 150 : 230, 12);
        QFont font = p.font();
        font.setFamily(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(42);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0x80, 0x00, 0x80));
        p.drawText(QRect(0, 490, 600, 70), Qt::AlignCenter, QStringLiteral("DOCUMENTAZIONE"));
        return image;
    }();
    return picture;
}

void TProductInputPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (IMG_Documentazione->isVisible())
        ShowPictureInBox(IMG_Documentazione, DocumentationPicture());
    else
        ShowCover();
}
