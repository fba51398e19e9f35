#include "catalogue/dettprodimagepanel.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/imageroutines.h"
#include "common/inifile.h"
#include "common/picturebuttons.h"
#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "domain/nodeimages.h"
#include "masterdata/customerfilters.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kKeyPath = "FrmDettProd_PathImmagine";
const char *const kKeySavePath = "FrmDettProd_PathSaveImmagine";

QString ReadFolder(const char *key)
{
    const QString folder = IniReadText(QStringLiteral("SETTINGS"),
                                       QLatin1String(key),
                                       QLatin1String(kIniAbsent),
                                       SessionInfo().sUserSettingsFile);
    return folder == QLatin1String(kIniAbsent) || folder.isEmpty() ? ProgramFolder() : folder;
}

void WriteFolder(const char *key, const QString &folder)
{
    IniWriteText(QStringLiteral("SETTINGS"),
                 QLatin1String(key),
                 folder,
                 SessionInfo().sUserSettingsFile);
}

QPushButton *PictureButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TDettProdImagePanel::TDettProdImagePanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Comp_Parte_Img"),
                            QStringLiteral("idImgParte"),
                            QStringLiteral("Errore creazione nuova immagine (ERR.G17)."),
                            QStringLiteral("Errore modifica immagine (ERR.G18).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Parte_Img"));
    auto *l = static_cast<QVBoxLayout *>(layout());
    IMG_ImageNodo = new QLabel(this);
    IMG_ImageNodo->setObjectName(QStringLiteral("IMG_ImageNodo"));
    IMG_ImageNodo->setAlignment(Qt::AlignCenter);
    IMG_ImageNodo->setFrameShape(QFrame::StyledPanel);
    IMG_ImageNodo->setMinimumSize(240, 240);
    IMG_ImageNodo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    IMG_ImageNodo->setStyleSheet(QStringLiteral("QLabel#IMG_ImageNodo { background: white; }"));
    l->addWidget(IMG_ImageNodo, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    PB_CaricaImmagine = PictureButton(this, "PB_CaricaImmagine", QStringLiteral("Cerca"));
    PB_EliminaImmagine = PictureButton(this, "PB_EliminaImmagine", QStringLiteral("Rimuovi"));
    PB_IncollaImmagine = PictureButton(this, "PB_IncollaImmagine", QStringLiteral("Incolla"));
    PB_CopiaImmagine = PictureButton(this, "PB_CopiaImmagine", QStringLiteral("Copia"));
    PB_SalvaImmagine = PictureButton(this, "PB_SalvaImmagine", QStringLiteral("(A) Salva"));
    for (QPushButton *b : {PB_CaricaImmagine,
                           PB_EliminaImmagine,
                           PB_IncollaImmagine,
                           PB_CopiaImmagine,
                           PB_SalvaImmagine})
        buttons->addWidget(b);
    buttons->addStretch(1);
    l->addLayout(buttons);

    EF_DescImageNodo = MakeLabelEdit(this,
                                     QStringLiteral("EF_DescImageNodo"),
                                     QStringLiteral("Didascalia"),
                                     200,
                                     ecKRTNormal,
                                     420,
                                     true);
    CK_ImageNodoAttiva = AddCheck("CK_ImageNodoAttiva", QStringLiteral("Immagine attiva"));
    l->addWidget(EF_DescImageNodo);
    l->addWidget(CK_ImageNodoAttiva->parentWidget());

    connect(PB_CaricaImmagine, &QPushButton::clicked, this, &TDettProdImagePanel::LoadFromFile);
    connect(PB_EliminaImmagine, &QPushButton::clicked, this, &TDettProdImagePanel::RemovePicture);
    connect(PB_IncollaImmagine, &QPushButton::clicked, this, &TDettProdImagePanel::PastePicture);
    connect(PB_CopiaImmagine, &QPushButton::clicked, this, &TDettProdImagePanel::CopyPicture);
    connect(PB_SalvaImmagine, &QPushButton::clicked, this, &TDettProdImagePanel::SavePictureToFile);
}

TDettProdImagePanel::~TDettProdImagePanel() = default;

QWidget *TDettProdImagePanel::MainField() const
{
    return EF_DescImageNodo->Edit();
}

void TDettProdImagePanel::OpenExtra(const QString &id)
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    auto image = std::make_unique<TEditableRecord>(db,
                                                   QStringLiteral("Images_Dettagli"),
                                                   QStringLiteral("idImage"));
    image->Open(QStringLiteral("EXEC DatiImagesDettaglio ") + SqlText(id));
    auto preview = std::make_unique<TEditableRecord>(db,
                                                     QStringLiteral("Images_Dettagli_Preview"),
                                                     QStringLiteral("idImage"));
    preview->Open(QStringLiteral("EXEC DatiImagesDettaglioPreview ") + SqlText(id));
    m_image = std::move(image);
    m_preview = std::move(preview);
}

void TDettProdImagePanel::ReleaseExtra()
{
    m_image.reset();
    m_preview.reset();
}

void TDettProdImagePanel::LimitLengths(const TDataSet &row)
{
    LimitInputLength(EF_DescImageNodo, row, QStringLiteral("txDescImgParte"), 200);
}

void TDettProdImagePanel::Clear()
{
    EF_DescImageNodo->ClearField();
    CK_ImageNodoAttiva->setChecked(true);
    m_stored.clear();
    m_picture = QImage();
    m_changed = false;
    PB_SalvaImmagine->setVisible(SessionInfo().bAdministrator);
    ShowPicture();
}

void TDettProdImagePanel::Fill(TDataSet &row)
{
    FillInput(EF_DescImageNodo, row, QStringLiteral("txDescImgParte"));
    CK_ImageNodoAttiva->setChecked(Flag(row, QStringLiteral("flImgParteAttiva")));
    m_stored.clear();
    m_picture = QImage();
    m_changed = false;
    if (m_image && !m_image->IsNew()) {
        TDataSet &data = m_image->Data();
        data.First();
        m_stored = data.FieldByName(QStringLiteral("imgImage")).AsBytes();
        if (!m_stored.isEmpty()) {
            QString error;
            m_picture = ImageReadChecked(m_stored, kImageMaxStoredSide, &error);
            if (m_picture.isNull())
                ShowWarningBox(QStringLiteral("L'immagine memorizzata non può essere "
                                              "visualizzata.")
                               + LineBreaks(2) + error);
        }
    }
    PB_SalvaImmagine->setVisible(SessionInfo().bAdministrator);
    ShowPicture();
}

bool TDettProdImagePanel::Validate()
{
    if (!m_changed || m_picture.isNull())
        return true;
    if (BytesToStore().isEmpty()) {
        ShowErrorBox(QStringLiteral("Impossibile convertire l'immagine in formato JPEG."));
        return false;
    }
    return true;
}

void TDettProdImagePanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idImage")).SetValue(c.sIdNodo);
        row.FieldByName(QStringLiteral("idParteComp")).SetValue(c.sIdParent);
        row.FieldByName(QStringLiteral("nuOrdineParte")).SetValue(0);
    }
    const QString caption = EF_DescImageNodo->Text().trimmed();
    if (caption.isEmpty())
        row.FieldByName(QStringLiteral("txDescImgParte")).SetNull();
    else
        row.FieldByName(QStringLiteral("txDescImgParte")).SetValue(caption);
    SetFlag(row, QStringLiteral("flImgParteAttiva"), CK_ImageNodoAttiva->isChecked());
}

QByteArray TDettProdImagePanel::BytesToStore() const
{
    if (!m_changed)
        return m_stored;
    return m_picture.isNull() ? QByteArray() : ImageSaveJpegBytes(m_picture);
}

void TDettProdImagePanel::PostExtra(const QString &id, bool)
{
    if (!m_image || !m_preview)
        OpenExtra(id);
    const QString user = SessionInfo().sUserName;
    const QByteArray bytes = BytesToStore();
    if (m_image->IsNew())
        m_image->Append(id);
    else
        m_image->Edit();
    TField image = m_image->Data().FieldByName(QStringLiteral("imgImage"));
    if (bytes.isEmpty())
        image.SetNull();
    else
        image.SetValue(bytes);
    if (m_preview->IsNew())
        m_preview->Append(id);
    else
        m_preview->Edit();
    if (bytes.isEmpty())
        m_preview->Data().FieldByName(QStringLiteral("imgPreview")).SetNull();
    else
        MakeImagePreview(m_image->Data(),
                         m_preview->Data(),
                         QStringLiteral("imgImage"),
                         kNodePreviewBoxMm,
                         kNodePreviewBoxMm);
    m_image->Post(user, false);
    m_preview->Post(user, false);
}

// --- Picture buttons ------------------------------------------------------------------------

void TDettProdImagePanel::SetPicture(const QImage &image)
{
    m_picture = image;
    m_changed = true;
    ShowPicture();
}

void TDettProdImagePanel::ShowPicture()
{
    ShowPictureInBox(IMG_ImageNodo, m_picture);
}

void TDettProdImagePanel::resizeEvent(QResizeEvent *event)
{
    TDettProdRecordPanel::resizeEvent(event);
    ShowPicture();
}

void TDettProdImagePanel::LoadFromFile()
{
    // A refused file leaves the picture in the box as it was.
    const QImage image = AskPictureFile(QStringLiteral("Seleziona immagine"),
                                        ReadFolder(kKeyPath),
                                        QStringLiteral("L'immagine con il nome impostato non "
                                                       "esiste nel percorso selezionato."),
                                        [](const QString &folder) {
                                            WriteFolder(kKeyPath, folder);
                                        });
    if (!image.isNull())
        SetPicture(image);
}

void TDettProdImagePanel::RemovePicture()
{
    SetPicture(QImage());
}

void TDettProdImagePanel::PastePicture()
{
    const QImage image = PastePictureChecked();
    if (!image.isNull())
        SetPicture(image);
}

void TDettProdImagePanel::CopyPicture()
{
    if (!m_picture.isNull())
        CopyImageToClipboard(m_picture);
}

void TDettProdImagePanel::SavePictureToFile()
{
    if (m_picture.isNull())
        return;
    const QString path = AskSaveFileName(QStringLiteral("Salva immagine"),
                                         ReadFolder(kKeySavePath),
                                         PictureFileFilter());
    if (path.isEmpty())
        return;
    const QFileInfo file(path);
    WriteFolder(kKeySavePath, file.absolutePath());
    if (!ImageSaveToFile(m_picture, path)) {
        ShowErrorBox(QStringLiteral("Impossibile salvare l'immagine nel file:") + LineBreaks(2)
                     + path);
        return;
    }
    ShowInFileBrowser(path);
}
