#include "quotes/folder_preventivo_dbx.h"

#include "cloud/clouderror.h"
#include "cloud/dbxsession.h"
#include "cloud/dfileinfo.h"
#include "cloud/quotefoldernames.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtupdown.h"
#include "masterdata/listdata.h"
#include "quotes/quotefolderroutines.h"
#include "reports/krtcrystalreport.h"
#include "reports/reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(kQuoteCloudFolderWindow, [](QWidget *parent) {
    return new TFOLDER_PREVENTIVO_DBX(parent);
});

const QString kSettings = QStringLiteral("SETTINGS");

QLabel *NewLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

TKRTLabelEdit *NewEdit(const QString &name, const QString &caption, int maxLength, QWidget *parent)
{
    auto *edit = new TKRTLabelEdit(parent);
    edit->setObjectName(name);
    edit->SetCaptionString(caption);
    edit->SetCaptionPosition(cpKRTAbove);
    if (maxLength > 0)
        edit->SetMaxLength(maxLength);
    return edit;
}

QString WithSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    return folder;
}

// Removes the local PDF when the export ends, however it ends.
class TLocalPdfGuard
{
public:
    explicit TLocalPdfGuard(QString path)
        : m_path(std::move(path))
    {}
    ~TLocalPdfGuard() { DeleteFileChecked(m_path, true); }
    TLocalPdfGuard(const TLocalPdfGuard &) = delete;
    TLocalPdfGuard &operator=(const TLocalPdfGuard &) = delete;

private:
    QString m_path;
};

} // namespace

TFOLDER_PREVENTIVO_DBX::TFOLDER_PREVENTIVO_DBX(QWidget *parent)
    : TQuoteFolderWindow(parent)
{
    setObjectName(kQuoteCloudFolderWindow);
    setWindowTitle(QStringLiteral("Gestione esportazione preventivo"));
    setMinimumWidth(620);

    auto *outer = new QVBoxLayout(this);
    PAN_Pages = new QStackedWidget(this);
    PAN_Pages->setObjectName(QStringLiteral("PAN_Pages"));
    outer->addWidget(PAN_Pages);

    // --- Main content ---------------------------------------------------------------------
    auto *main = new QWidget(PAN_Pages);
    auto *layout = new QVBoxLayout(main);
    layout->setContentsMargins(0, 0, 0, 0);

    PAN_PathDBX = NewPanel(QStringLiteral("PAN_PathDBX"), main);
    auto *path = new QHBoxLayout(PAN_PathDBX);
    SF_Path_DBX = NewLabel(QStringLiteral("SF_Path_DBX"), PAN_PathDBX);
    PB_SetDropboxFolder = NewButton(QStringLiteral("PB_SetDropboxFolder"),
                                    QStringLiteral("Imposta posizione Dropbox "),
                                    PAN_PathDBX);
    path->addWidget(SF_Path_DBX, 1);
    path->addWidget(PB_SetDropboxFolder);
    layout->addWidget(PAN_PathDBX);

    SF_NomeFolderPrev = NewLabel(QStringLiteral("SF_NomeFolderPrev"), main);
    QFont bold = SF_NomeFolderPrev->font();
    bold.setBold(true);
    SF_NomeFolderPrev->setFont(bold);
    layout->addWidget(SF_NomeFolderPrev);

    PAN_Export = NewPanel(QStringLiteral("PAN_Export"), main);
    auto *exportLayout = new QVBoxLayout(PAN_Export);
    PB_ExportPrev = NewButton(QStringLiteral("PB_ExportPrev"),
                              QStringLiteral(
                                  "Esporta PDF del preventivo in Cloud e crea link universale"),
                              PAN_Export);
    exportLayout->addWidget(PB_ExportPrev);
    layout->addWidget(PAN_Export);

    PAN_FolderPrev = NewPanel(QStringLiteral("PAN_FolderPrev"), main);
    auto *folderLayout = new QVBoxLayout(PAN_FolderPrev);
    PB_OpenFolderPrev = NewButton(QStringLiteral("PB_OpenFolderPrev"),
                                  QStringLiteral("Apri cartella del preventivo "),
                                  PAN_FolderPrev);
    folderLayout->addWidget(PB_OpenFolderPrev);
    layout->addWidget(PAN_FolderPrev);

    PAN_PrepareLinkForMail = NewPanel(QStringLiteral("PAN_PrepareLinkForMail"), main);
    auto *linkLayout = new QVBoxLayout(PAN_PrepareLinkForMail);
    SF_UrlFilePDF = NewLabel(QStringLiteral("SF_UrlFilePDF"), PAN_PrepareLinkForMail);
    PB_PrepareLink = NewButton(QStringLiteral("PB_PrepareLink"),
                               QStringLiteral(
                                   "Copia negli appunti il link del preventivo per la mail al "
                                   "cliente"),
                               PAN_PrepareLinkForMail);
    linkLayout->addWidget(SF_UrlFilePDF);
    linkLayout->addWidget(PB_PrepareLink);
    layout->addWidget(PAN_PrepareLinkForMail);
    layout->addStretch();

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    PB_Chiudi = NewButton(QStringLiteral("PB_Chiudi"), QStringLiteral("Chiudi"), main);
    bottom->addWidget(PB_Chiudi);
    layout->addLayout(bottom);
    PAN_Pages->addWidget(main);

    // --- Folder name ----------------------------------------------------------------------
    PAN_NomeFolder = NewPanel(QStringLiteral("PAN_NomeFolder"), PAN_Pages);
    auto *names = new QVBoxLayout(PAN_NomeFolder);
    auto *numberRow = new QHBoxLayout;
    EF_NumPreventivo = NewEdit(QStringLiteral("EF_NumPreventivo"),
                               QStringLiteral("N° preventivo"),
                               0,
                               PAN_NomeFolder);
    EF_NumPreventivo->SetReadOnly(true);
    SF_CifreNuPrev = NewLabel(QStringLiteral("SF_CifreNuPrev"), PAN_NomeFolder);
    UD_CifreNuPrev = new TKRTUpDown(QStringLiteral("UD_CifreNuPrev"), PAN_NomeFolder);
    UD_CifreNuPrev->SetRange(kQuoteFolderMinDigits, kQuoteFolderMaxDigits);
    numberRow->addWidget(EF_NumPreventivo, 1);
    numberRow->addWidget(SF_CifreNuPrev);
    numberRow->addWidget(UD_CifreNuPrev);
    names->addLayout(numberRow);
    EF_DescCliente = NewEdit(QStringLiteral("EF_DescCliente"),
                             QStringLiteral("Cliente"),
                             100,
                             PAN_NomeFolder);
    EF_DescOggetto = NewEdit(QStringLiteral("EF_DescOggetto"),
                             QStringLiteral("Oggetto"),
                             200,
                             PAN_NomeFolder);
    names->addWidget(EF_DescCliente);
    names->addWidget(EF_DescOggetto);
    SF_NomeFolder = NewLabel(QStringLiteral("SF_NomeFolder"), PAN_NomeFolder);
    SF_NomeFolder->setFont(bold);
    names->addWidget(SF_NomeFolder);
    names->addStretch();
    auto *nameButtons = new QHBoxLayout;
    nameButtons->addStretch();
    PB_OkNomeFolder = NewButton(QStringLiteral("PB_OkNomeFolder"),
                                QStringLiteral("Ok"),
                                PAN_NomeFolder);
    PB_AnnullaNomeFolder = NewButton(QStringLiteral("PB_AnnullaNomeFolder"),
                                     QStringLiteral("Annulla"),
                                     PAN_NomeFolder);
    nameButtons->addWidget(PB_OkNomeFolder);
    nameButtons->addWidget(PB_AnnullaNomeFolder);
    names->addLayout(nameButtons);
    PAN_Pages->addWidget(PAN_NomeFolder);

    EF_DescCliente->OnChange = [this](TKRTLabelEdit *) { RebuildFolderName(); };
    EF_DescOggetto->OnChange = [this](TKRTLabelEdit *) { RebuildFolderName(); };
    UD_CifreNuPrev->OnClick = [this](TKRTUpDown *) { RebuildFolderName(); };
    connect(PB_ExportPrev, &QPushButton::clicked, this, [this] { PB_ExportPrevClick(); });
    connect(PB_OkNomeFolder, &QPushButton::clicked, this, [this] { PB_OkNomeFolderClick(); });
    connect(PB_AnnullaNomeFolder, &QPushButton::clicked, this, [this] {
        ShowFolderNamePanel(false);
    });
    connect(PB_OpenFolderPrev, &QPushButton::clicked, this, [this] { PB_OpenFolderPrevClick(); });
    connect(PB_SetDropboxFolder, &QPushButton::clicked, this, [this] {
        PB_SetDropboxFolderClick();
    });
    connect(PB_PrepareLink, &QPushButton::clicked, this, [this] { PB_PrepareLinkClick(); });
    connect(PB_Chiudi, &QPushButton::clicked, this, &QDialog::close);
}

TFOLDER_PREVENTIVO_DBX::~TFOLDER_PREVENTIVO_DBX() = default;

void TFOLDER_PREVENTIVO_DBX::SetExportSource(TQuoteExportSource *source)
{
    m_source = source;
}

QString TFOLDER_PREVENTIVO_DBX::StartCaption() const
{
    return QStringLiteral("Cloud: Preventivo n° ") + sTxNuPreventivo + QStringLiteral(" : \"")
           + sDescOggetto + u'"';
}

QString TFOLDER_PREVENTIVO_DBX::CloudFolderPath() const
{
    const TSessionInfo &s = SessionInfo();
    QString path;
    for (const QString &level : {s.sRootFolder.trimmed(),
                                 s.sSocietaFolder.trimmed(),
                                 QStringLiteral("Preventivi ") + sNuAnnoPrev,
                                 sNomeFolder}) {
        if (!level.isEmpty())
            path += u'/' + level;
    }
    return path;
}

QString TFOLDER_PREVENTIVO_DBX::LocalFolderPath() const
{
    const TSessionInfo &s = SessionInfo();
    if (s.sQuotesPath.isEmpty())
        return QString();
    QString path = WithSlash(s.sQuotesPath);
    for (const QString &level : {s.sRootFolder.trimmed(),
                                 s.sSocietaFolder.trimmed(),
                                 QStringLiteral("Preventivi ") + sNuAnnoPrev,
                                 sNomeFolder}) {
        if (!level.isEmpty())
            path += level + u'/';
    }
    return path;
}

QString TFOLDER_PREVENTIVO_DBX::PdfName() const
{
    return QuotePdfName(sNomeFolder, sNuPreventivo, sNuAnnoPrev, iNuRevisione);
}

void TFOLDER_PREVENTIVO_DBX::ArrangePanels()
{
    const TSessionInfo &s = SessionInfo();
    PAN_Export->setVisible(!bFromGestionePrev);
    PAN_PathDBX->setVisible(s.bDBXFolderLocal);
    SF_Path_DBX->setText(s.sQuotesPath.isEmpty()
                             ? QStringLiteral("Impostare la posizione di Dropbox nel tuo computer.")
                             : s.sQuotesPath);
    PAN_FolderPrev->setVisible(s.bDBXFolderLocal && !s.sQuotesPath.isEmpty()
                               && !sNomeFolder.isEmpty());
    SF_NomeFolderPrev->setText(sNomeFolder.isEmpty()
                                   ? QStringLiteral("Il preventivo non ha ancora una cartella.")
                                   : sNomeFolder);
    PAN_PrepareLinkForMail->setVisible(!sURLFilePDF.isEmpty());
    SF_UrlFilePDF->setText(sURLFilePDF);
}

void TFOLDER_PREVENTIVO_DBX::SetBusy(bool busy)
{
    m_busy = busy;
    PAN_Pages->setEnabled(!busy);
}

void TFOLDER_PREVENTIVO_DBX::ShowFolderNamePanel(bool show)
{
    if (show) {
        const int digits = ReadQuoteFolderDigits(SessionInfo().sUserSettingsFile, sNuPreventivo);
        // Never fewer digits than the number has.
        const int least = std::max<int>(kQuoteFolderMinDigits, int(sNuPreventivo.size()));
        UD_CifreNuPrev->SetRange(least, std::max(kQuoteFolderMaxDigits, least));
        UD_CifreNuPrev->SetPosition(digits);
        EF_DescCliente->SetText(sDescCliente.left(100));
        EF_DescOggetto->SetText(sDescOggetto.left(200));
        RebuildFolderName();
        PAN_Pages->setCurrentWidget(PAN_NomeFolder);
    } else {
        PAN_Pages->setCurrentIndex(0);
    }
}

void TFOLDER_PREVENTIVO_DBX::RebuildFolderName()
{
    const QString numberPart = QuoteNumberPart(sNuPreventivo,
                                               sNuAnnoPrev,
                                               UD_CifreNuPrev->Position());
    EF_NumPreventivo->SetText(numberPart);
    SF_CifreNuPrev->setText(QStringLiteral("Cifre: %1").arg(UD_CifreNuPrev->Position()));
    SF_NomeFolder->setText(
        QuoteFolderName(numberPart, EF_DescCliente->Text(), EF_DescOggetto->Text()));
}

void TFOLDER_PREVENTIVO_DBX::PrepareCloudFolders(const QString &folderName) const
{
    const TSessionInfo &s = SessionInfo();
    TDbxSession session;
    if (!DbxSetCredentials(s.sDBXClientKey, s.sDBXClientSecret, s.sDBXAccessToken))
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Impossibile aprire il collegamento al Cloud."));
    QString parent;
    bool parentCreated = false;
    for (const QString &level : {s.sRootFolder.trimmed(),
                                 s.sSocietaFolder.trimmed(),
                                 QStringLiteral("Preventivi ") + sNuAnnoPrev,
                                 folderName}) {
        if (level.isEmpty())
            continue;
        const QString path = parent + u'/' + level;
        // Paths compare without regard to case; under a folder made just now nothing exists.
        bool found = false;
        if (!parentCreated && DbxFindFirst(parent.isEmpty() ? QStringLiteral("/") : parent)) {
            const QString wanted = path.toLower();
            do {
                const TDFileInfo *entry = DbxCurrent();
                if (entry && entry->IsDir && entry->Path.toLower() == wanted) {
                    found = true;
                    parent = entry->PathDisplay.isEmpty() ? path : entry->PathDisplay;
                    break;
                }
            } while (DbxFindNext());
        }
        if (!found) {
            DbxCreateFolder(path);
            parent = path;
        }
        parentCreated = !found;
    }
}

QString TFOLDER_PREVENTIVO_DBX::UploadPdf(const QString &localFile, const QString &pdfName) const
{
    const TSessionInfo &s = SessionInfo();
    TDbxSession session;
    if (!DbxSetCredentials(s.sDBXClientKey, s.sDBXClientSecret, s.sDBXAccessToken))
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Impossibile aprire il collegamento al Cloud."));
    const QString remote = CloudFolderPath().toLower() + u'/' + pdfName + QStringLiteral(".pdf");
    if (!DbxUploadFile(localFile, remote))
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Il file non è stato caricato: ") + remote);
    const QString link = DbxShareCurrent().trimmed();
    if (link.isEmpty())
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Il servizio non ha restituito il link al file."));
    return link;
}

void TFOLDER_PREVENTIVO_DBX::PB_ExportPrevClick()
{
    if (m_busy)
        return;
    if (bPrevBloccato) {
        ShowErrorBox(QStringLiteral("Il preventivo è bloccato, non è possibile esportarlo."));
        return;
    }
    if (!AskYesNo(QStringLiteral("Confermi esportazione del preventivo ?")))
        return;
    if (sNomeFolder.isEmpty()) {
        ShowFolderNamePanel(true);
        return;
    }
    SetBusy(true);
    // The stored folder is looked for again (and made again when it was removed meanwhile), so
    // the PDF lands in it with the case it has.
    ShowWait(QStringLiteral("Preparazione esportazione per preventivo in corso..."));
    bool ready = false;
    try {
        PrepareCloudFolders(sNomeFolder);
        ready = true;
    } catch (const ECloudError &e) {
        HideWait();
        ShowErrorBox(
            QuoteFolderErrorText(QStringLiteral("Errore preparazione della cartella del preventivo "
                                                "in Cloud."),
                                 e.Text()));
    }
    if (ready)
        ExportPdf();
    SetBusy(false);
}

void TFOLDER_PREVENTIVO_DBX::PB_OkNomeFolderClick()
{
    if (m_busy)
        return;
    const QString folder = SF_NomeFolder->text();
    SetBusy(true);
    ShowWait(QStringLiteral("Preparazione esportazione per preventivo in corso..."));
    IniWriteText(kSettings,
                 QString::fromLatin1(kQuoteFolderDigitsKey),
                 QString::number(UD_CifreNuPrev->Position()),
                 SessionInfo().sUserSettingsFile);
    try {
        PrepareCloudFolders(folder);
    } catch (const ECloudError &e) {
        HideWait();
        // A name the service refuses is the operator's to change; anything else (network,
        // authorisation, an answer that makes no sense) is not about the descriptions.
        const QString message
            = e.Kind() == TCloudErrorKind::Conflict
                  ? QStringLiteral("Rimuovi eventuali caratteri speciali dalle descrizioni del "
                                   "cliente e dell'oggetto.")
                  : QStringLiteral("Errore preparazione della cartella del preventivo in Cloud.");
        ShowErrorBox(QuoteFolderErrorText(message, e.Text()));
        SetBusy(false);
        return;
    }
    ShowWait(QStringLiteral("Memorizzazione nome cartella preventivo in corso..."));
    try {
        StoreQuoteFolderFields(sIdPreventivo, {{QStringLiteral("txNomeFolder"), folder}});
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore memorizzazione nome cartella preventivo (ERR.Y01)."), e);
        SetBusy(false);
        return;
    }
    HideWait();
    sNomeFolder = folder;
    bChanges = true;
    ShowFolderNamePanel(false);
    ArrangePanels();
    ExportPdf();
    SetBusy(false);
}

void TFOLDER_PREVENTIVO_DBX::ExportPdf()
{
    const QString pdfName = PdfName();
    const QString local = ExeFolderPath(pdfName + QStringLiteral(".pdf"));
    TLocalPdfGuard removeLocal(local);
    bChanges = true;

    ShowWait(QStringLiteral("Esportazione in corso..."));
    QString reason;
    try {
        TKRTViewReport *preview = m_source ? m_source->ExportPreview() : nullptr;
        if (!preview)
            throw EReportError(QStringLiteral("Nessuna anteprima del preventivo da esportare."));
        DeleteFileChecked(local, true);
        SaveReportAsPdf(preview, local);
    } catch (const EReportError &e) {
        reason = e.text();
    } catch (const std::exception &e) {
        reason = QString::fromUtf8(e.what());
    }
    if (!QFileInfo::exists(local)) {
        HideWait();
        ShowErrorBox(
            reason.isEmpty()
                ? QStringLiteral("Errore esportazione preventivo")
                : QuoteFolderErrorText(QStringLiteral("Errore esportazione preventivo"), reason));
        return;
    }

    // Nothing is stored and the quote is not blocked unless the file is in the cloud with its
    // link: a half-done upload leaves the quote as it was.
    QString link;
    try {
        link = UploadPdf(local, pdfName);
    } catch (const ECloudError &e) {
        HideWait();
        ShowErrorBox(
            QuoteFolderErrorText(QStringLiteral("Caricamento del preventivo in Cloud non riuscito: "
                                                "il link non è stato memorizzato e il preventivo "
                                                "non è stato bloccato."),
                                 e.Text()));
        return;
    }

    ShowWait(QStringLiteral("Memorizzazione nome file PDF e link web in corso..."));
    try {
        StoreQuoteFolderFields(sIdPreventivo,
                               {{QStringLiteral("txNomeFilePDF"), pdfName},
                                {QStringLiteral("txUrlFilePDF"), link}});
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore memorizzazione nome file PDF e link web (ERR.Y02)."), e);
        return;
    }
    HideWait();
    sNomeFilePDF = pdfName;
    sURLFilePDF = link;
    ArrangePanels();
    if (BlockExportedQuote(sIdPreventivo)) {
        bPrevBloccato = true;
        if (m_source)
            m_source->ReloadExportedQuote();
    }
    HideWait();
}

void TFOLDER_PREVENTIVO_DBX::PB_OpenFolderPrevClick()
{
    if (SessionInfo().sQuotesPath.isEmpty()) {
        ShowErrorBox(QStringLiteral(
            "Impostare la posizione della cartella Dropbox presente nel tuo computer"));
        return;
    }
    const QString target = QDir::cleanPath(
        LocalFolderPath()
        + (sNomeFilePDF.isEmpty() ? QString() : sNomeFilePDF + QStringLiteral(".pdf")));
    // The file browser with the PDF selected where the desktop can select it, else the folder.
    if (!ShowInFileBrowser(target))
        ShowErrorBox(QStringLiteral("Impossibile aprire la cartella del preventivo:")
                     + LineBreaks(2) + target);
}

void TFOLDER_PREVENTIVO_DBX::PB_SetDropboxFolderClick()
{
    QString folder = AskFolder(QStringLiteral("Seleziona posizione di Dropbox sul tuo PC"),
                               SessionInfo().sQuotesPath);
    if (folder.isEmpty())
        return;
    folder = WithSlash(folder);
    IniWriteText(kSettings,
                 QString::fromLatin1(kQuotesPathKey),
                 folder,
                 SessionInfo().sUserSettingsFile);
    SessionInfo().sQuotesPath = folder;
    ArrangePanels();
}

void TFOLDER_PREVENTIVO_DBX::PB_PrepareLinkClick()
{
    if (sURLFilePDF.isEmpty())
        return;
    const QString name = sNomeFilePDF.isEmpty() ? PdfName() : sNomeFilePDF;
    if (CopyQuoteLinkForMail(sURLFilePDF, name))
        ShowInfoBox(QStringLiteral("Puoi incollare il link al preventivo nella mail al cliente."));
}

void TFOLDER_PREVENTIVO_DBX::done(int result)
{
    if (m_busy)
        return; // an export is under way: the window stays until it ends
    const bool refresh = bChanges;
    bChanges = false;
    QDialog::done(result);
    if (refresh)
        RefreshListsAfterFolderChange();
}
