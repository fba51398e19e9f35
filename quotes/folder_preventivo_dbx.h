#pragma once

#include "quotes/quotefolderwindow.h"

class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class TKRTLabelEdit;
class TKRTUpDown;

// "Gestione esportazione preventivo": a quote's folder in the operator's cloud storage.
//
// Export mode (opened by the quote layout, which hands over its preview): the quote's PDF is
// written from the preview, uploaded into root / company / "Preventivi " + year / quote folder
// (folders found without regard to case, created when absent), shared with a short link; the
// PDF name and the link are stored in the quote, which is then blocked. The local PDF is
// removed whatever happened. A quote without a folder first gets its folder name in the
// folder-name panel. Management mode (opened by the quote list): the link for an e-mail and
// the quote folder in the storage's local copy. Modal; frees itself when closed.
class TFOLDER_PREVENTIVO_DBX : public TQuoteFolderWindow
{
    Q_OBJECT

public:
    explicit TFOLDER_PREVENTIVO_DBX(QWidget *parent = nullptr);
    ~TFOLDER_PREVENTIVO_DBX() override;

    void SetExportSource(TQuoteExportSource *source) override;
    // The cloud path of the quote folder: "/" + root (when set) + "/" + company + "/Preventivi "
    // + year + "/" + folder name; and its local copy under General_PrevsPath ("" without it).
    QString CloudFolderPath() const;
    QString LocalFolderPath() const;
    // The PDF's name (without extension) for the current folder name and revision.
    QString PdfName() const;

    // Controls.
    QStackedWidget *PAN_Pages = nullptr;         // Owned (child): main content or folder name.
    QFrame *PAN_PathDBX = nullptr;               // Owned (child).
    QLabel *SF_Path_DBX = nullptr;               // Owned (child).
    QPushButton *PB_SetDropboxFolder = nullptr;  // Owned (child).
    QLabel *SF_NomeFolderPrev = nullptr;         // Owned (child).
    QFrame *PAN_Export = nullptr;                // Owned (child).
    QPushButton *PB_ExportPrev = nullptr;        // Owned (child).
    QFrame *PAN_FolderPrev = nullptr;            // Owned (child).
    QPushButton *PB_OpenFolderPrev = nullptr;    // Owned (child).
    QFrame *PAN_PrepareLinkForMail = nullptr;    // Owned (child).
    QLabel *SF_UrlFilePDF = nullptr;             // Owned (child).
    QPushButton *PB_PrepareLink = nullptr;       // Owned (child).
    QPushButton *PB_Chiudi = nullptr;            // Owned (child).
    QFrame *PAN_NomeFolder = nullptr;            // Owned (child).
    TKRTLabelEdit *EF_NumPreventivo = nullptr;   // Owned (child).
    QLabel *SF_CifreNuPrev = nullptr;            // Owned (child).
    TKRTUpDown *UD_CifreNuPrev = nullptr;        // Owned (child).
    TKRTLabelEdit *EF_DescCliente = nullptr;     // Owned (child).
    TKRTLabelEdit *EF_DescOggetto = nullptr;     // Owned (child).
    QLabel *SF_NomeFolder = nullptr;             // Owned (child).
    QPushButton *PB_OkNomeFolder = nullptr;      // Owned (child).
    QPushButton *PB_AnnullaNomeFolder = nullptr; // Owned (child).

protected:
    QString StartCaption() const override;
    void ArrangePanels() override;
    void done(int result) override;

private:
    void ShowFolderNamePanel(bool show);
    void RebuildFolderName();
    // Finds or creates every level of the quote folder; raises ECloudError.
    void PrepareCloudFolders(const QString &folderName) const;
    // Uploads the local PDF (overwriting) and answers its short shared link; raises
    // ECloudError.
    QString UploadPdf(const QString &localFile, const QString &pdfName) const;
    void ExportPdf();
    void PB_ExportPrevClick();
    void PB_OkNomeFolderClick();
    void PB_OpenFolderPrevClick();
    void PB_SetDropboxFolderClick();
    void PB_PrepareLinkClick();
    void SetBusy(bool busy);

    TQuoteExportSource *m_source = nullptr; // Not owned.
    bool m_busy = false;
};
