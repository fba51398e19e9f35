#pragma once

#include "quotes/quoteopeners.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// "Gestione cartelle preventivi": the folder of a quote (or of an order, opened by the order
// list with the order's id) on a local or network disk under the quotes root. It opens the
// folder with the PDF selected, stores the web link to the PDF taken from the clipboard, and
// copies that link to the clipboard as a clickable link for an e-mail. Modal; frees itself
// when closed.
class TFOLDER_PREVENTIVO : public QDialog, public TQuoteFolderStarter
{
    Q_OBJECT

public:
    explicit TFOLDER_PREVENTIVO(QWidget *parent = nullptr);
    ~TFOLDER_PREVENTIVO() override;

    // Stores the values, arranges the panels, sets the caption and shows the window modally.
    void Start(bool bFromGestione,
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
               const QString &sTxNuPreventivoLista) override;

    // Window state.
    QString sNomeFolder;
    QString sNomeFilePDF;
    QString sURLFilePDF;
    int iNuRevisione = 1;
    QString sIdPreventivo;
    QString sNuPreventivo;
    QString sTxNuPreventivo;
    QString sNuAnnoPrev;
    QString sDescCliente;
    QString sDescOggetto;
    bool bPrevBloccato = false;
    bool bFromGestionePrev = false;
    bool bChanges = false;

    // Controls.
    QLabel *SF_PathPrev = nullptr;             // Owned (child).
    QLabel *SF_NomeFolder = nullptr;           // Owned (child).
    QFrame *PAN_OperazioniFolder = nullptr;    // Owned (child).
    QPushButton *PB_OpenFolderPrev = nullptr;  // Owned (child).
    QPushButton *PB_SalvaUrlFilePDF = nullptr; // Owned (child).
    QFrame *PAN_PrepareLinkForMail = nullptr;  // Owned (child).
    QLabel *SF_UrlFilePDF = nullptr;           // Owned (child).
    QPushButton *PB_PrepareLink = nullptr;     // Owned (child).
    QPushButton *PB_Chiudi = nullptr;          // Owned (child).

    // The full path of the PDF in its folder under the quotes root ("" without a root).
    QString PdfPath() const;

protected:
    void done(int result) override;

private:
    void ArrangePanels();
    void PB_OpenFolderPrevClick();
    void PB_SalvaUrlFilePDFClick();
    void PB_PrepareLinkClick();
};
