#include "quotes/folder_preventivo.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "masterdata/listdata.h"
#include "quotes/quotefolderroutines.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QStringLiteral("FOLDER_PREVENTIVO"), [](QWidget *parent) {
    return new TFOLDER_PREVENTIVO(parent);
});

} // namespace

TFOLDER_PREVENTIVO::TFOLDER_PREVENTIVO(QWidget *parent)
    : TQuoteFolderWindow(parent)
{
    setObjectName(QStringLiteral("FOLDER_PREVENTIVO"));
    setWindowTitle(QStringLiteral("Gestione cartelle preventivi"));
    setMinimumWidth(560);

    auto *layout = new QVBoxLayout(this);
    SF_PathPrev = new QLabel(this);
    SF_PathPrev->setObjectName(QStringLiteral("SF_PathPrev"));
    SF_PathPrev->setWordWrap(true);
    SF_NomeFolder = new QLabel(this);
    SF_NomeFolder->setObjectName(QStringLiteral("SF_NomeFolder"));
    SF_NomeFolder->setWordWrap(true);
    SF_NomeFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = SF_NomeFolder->font();
    bold.setBold(true);
    SF_NomeFolder->setFont(bold);
    layout->addWidget(SF_PathPrev);
    layout->addWidget(SF_NomeFolder);

    PAN_OperazioniFolder = NewPanel(QStringLiteral("PAN_OperazioniFolder"), this);
    auto *operations = new QVBoxLayout(PAN_OperazioniFolder);
    PB_OpenFolderPrev = NewButton(QStringLiteral("PB_OpenFolderPrev"),
                                  QStringLiteral("Apri cartella del preventivo "),
                                  PAN_OperazioniFolder);
    PB_SalvaUrlFilePDF = NewButton(QStringLiteral("PB_SalvaUrlFilePDF"),
                                   QStringLiteral("Memorizza il link al file del preventivo"),
                                   PAN_OperazioniFolder);
    operations->addWidget(PB_OpenFolderPrev);
    operations->addWidget(PB_SalvaUrlFilePDF);
    layout->addWidget(PAN_OperazioniFolder);

    PAN_PrepareLinkForMail = NewPanel(QStringLiteral("PAN_PrepareLinkForMail"), this);
    auto *link = new QVBoxLayout(PAN_PrepareLinkForMail);
    SF_UrlFilePDF = new QLabel(PAN_PrepareLinkForMail);
    SF_UrlFilePDF->setObjectName(QStringLiteral("SF_UrlFilePDF"));
    SF_UrlFilePDF->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PB_PrepareLink = NewButton(QStringLiteral("PB_PrepareLink"),
                               QStringLiteral("Copia negli appunti il link per la mail al cliente"),
                               PAN_PrepareLinkForMail);
    link->addWidget(SF_UrlFilePDF);
    link->addWidget(PB_PrepareLink);
    layout->addWidget(PAN_PrepareLinkForMail);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    PB_Chiudi = NewButton(QStringLiteral("PB_Chiudi"), QStringLiteral("Chiudi"), this);
    bottom->addWidget(PB_Chiudi);
    layout->addLayout(bottom);

    connect(PB_OpenFolderPrev, &QPushButton::clicked, this, [this] { PB_OpenFolderPrevClick(); });
    connect(PB_SalvaUrlFilePDF, &QPushButton::clicked, this, [this] { PB_SalvaUrlFilePDFClick(); });
    connect(PB_PrepareLink, &QPushButton::clicked, this, [this] { PB_PrepareLinkClick(); });
    connect(PB_Chiudi, &QPushButton::clicked, this, &QDialog::close);
}

TFOLDER_PREVENTIVO::~TFOLDER_PREVENTIVO() = default;

QString TFOLDER_PREVENTIVO::StartCaption() const
{
    return QStringLiteral("Gestione cartella del preventivo n° ") + sTxNuPreventivo
           + QStringLiteral(" : \"") + sDescOggetto + u'"';
}

void TFOLDER_PREVENTIVO::ArrangePanels()
{
    // The quotes root is read again at every opening: another window may have set it.
    const QString root = SessionInfo().sQuotesPath;
    SF_PathPrev->setText(root.isEmpty() ? QStringLiteral("Impostare un percorso.") : root);
    SF_NomeFolder->setText(sNomeFolder);
    // This window manages an existing folder only: the panels of the export are not its own.
    PAN_OperazioniFolder->setVisible(true);
    PB_OpenFolderPrev->setEnabled(!sNomeFolder.isEmpty());
    PAN_PrepareLinkForMail->setVisible(!sURLFilePDF.isEmpty());
    SF_UrlFilePDF->setText(sURLFilePDF);
}

QString TFOLDER_PREVENTIVO::PdfPath() const
{
    QString root = SessionInfo().sQuotesPath;
    if (root.isEmpty())
        return QString();
    if (!root.endsWith(u'/') && !root.endsWith(u'\\'))
        root += u'/';
    const QString folder = root + sNomeFolder + u'/';
    return QDir::cleanPath(sNomeFilePDF.isEmpty() ? folder
                                                  : folder + sNomeFilePDF + QStringLiteral(".pdf"));
}

void TFOLDER_PREVENTIVO::PB_OpenFolderPrevClick()
{
    if (SessionInfo().sQuotesPath.isEmpty()) {
        ShowErrorBox(QStringLiteral("Impostare un percorso."));
        return;
    }
    if (sNomeFolder.isEmpty())
        return;
    // The file browser with the PDF selected where the desktop can select it, else the folder.
    if (!ShowInFileBrowser(PdfPath()))
        ShowErrorBox(QStringLiteral("Impossibile aprire la cartella del preventivo:")
                     + LineBreaks(2) + PdfPath());
}

void TFOLDER_PREVENTIVO::PB_SalvaUrlFilePDFClick()
{
    const QString link = ClipboardText().trimmed();
    if (!IsQuoteWebLink(link)) {
        ShowErrorBox(QStringLiteral("Non è presente un link web valido negli appunti.")
                     + LineBreaks(2) + QStringLiteral("Ripetere l'operazione."));
        return;
    }
    ShowWait(QStringLiteral("Memorizzazione link web al PDF in corso..."));
    try {
        StoreQuoteFolderFields(sIdPreventivo, {{QStringLiteral("txUrlFilePDF"), link}});
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore memorizzazione link web al PDF (ERR.Y03)."), e);
        return;
    }
    HideWait();
    sURLFilePDF = link;
    bChanges = true;
    ArrangePanels();
    ShowInfoBox(QStringLiteral("Memorizzazione effettuata."));
}

void TFOLDER_PREVENTIVO::PB_PrepareLinkClick()
{
    if (sURLFilePDF.isEmpty())
        return;
    const QString name = sNomeFilePDF.isEmpty() ? sNomeFolder : sNomeFilePDF;
    if (CopyQuoteLinkForMail(sURLFilePDF, name))
        ShowInfoBox(QStringLiteral("Puoi incollare il link al preventivo nella mail al cliente."));
}

void TFOLDER_PREVENTIVO::done(int result)
{
    const bool refresh = bFromGestionePrev && bChanges;
    bChanges = false;
    QDialog::done(result);
    if (refresh)
        RefreshListsAfterFolderChange();
}
