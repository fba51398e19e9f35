#include "quotes/quotefolderwindow.h"

#include "common/tstd_progress.h"

#include <QFrame>
#include <QPushButton>

TQuoteFolderWindow::TQuoteFolderWindow(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void TQuoteFolderWindow::Start(bool bFromGestione,
                               const QString &sIdPreventivoLista,
                               bool bPrevBloccatoLista,
                               int iNuRevisioneLista,
                               const QString &sURLPDF,
                               const QString &sNomePDF,
                               const QString &sNomeFolderPrev,
                               const QString &sDescOggettoLista,
                               const QString &sDescClienteLista,
                               const QString &sNuAnnoPrevLista,
                               const QString &sNuPreventivoLista,
                               const QString &sTxNuPreventivoLista)
{
    bFromGestionePrev = bFromGestione;
    sIdPreventivo = sIdPreventivoLista;
    bPrevBloccato = bPrevBloccatoLista;
    iNuRevisione = iNuRevisioneLista;
    sURLFilePDF = sURLPDF.trimmed();
    sNomeFilePDF = sNomePDF;
    sNomeFolder = sNomeFolderPrev;
    sDescOggetto = sDescOggettoLista;
    sDescCliente = sDescClienteLista;
    // Year and number build folder and PDF names: blanks around them are no part of either.
    sNuAnnoPrev = sNuAnnoPrevLista.trimmed();
    sNuPreventivo = sNuPreventivoLista.trimmed();
    sTxNuPreventivo = sTxNuPreventivoLista;
    setWindowTitle(StartCaption());
    ArrangePanels();
    exec();
}

void TQuoteFolderWindow::ShowWait(const QString &message)
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(message, this);
}

void TQuoteFolderWindow::HideWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

QFrame *TQuoteFolderWindow::NewPanel(const QString &name, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

QPushButton *TQuoteFolderWindow::NewButton(const QString &name,
                                           const QString &caption,
                                           QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}
