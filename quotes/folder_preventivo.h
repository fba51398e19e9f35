#pragma once

#include "quotes/quotefolderwindow.h"

class QFrame;
class QLabel;
class QPushButton;

// "Gestione cartelle preventivi": the folder of a quote (or of an order, opened by the order
// list with the order's id) on a local or network disk under the quotes root. It opens the
// folder with the PDF selected, stores the web link to the PDF taken from the clipboard, and
// copies that link to the clipboard as a clickable link for an e-mail. Modal; frees itself
// when closed.
class TFOLDER_PREVENTIVO : public TQuoteFolderWindow
{
    Q_OBJECT

public:
    explicit TFOLDER_PREVENTIVO(QWidget *parent = nullptr);
    ~TFOLDER_PREVENTIVO() override;

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
    QString StartCaption() const override;
    void ArrangePanels() override;
    void done(int result) override;

private:
    void PB_OpenFolderPrevClick();
    void PB_SalvaUrlFilePDFClick();
    void PB_PrepareLinkClick();
};
