#pragma once

// The component library's general preview: the data grid's print command fills its Engine
// settings and calls Show. In viewer mode it opens TKRTViewerReportForm ("Anteprima di
// stampa", modal) with paging, zoom, printing and sending the report by e-mail; otherwise it
// runs the engine directly.

#include <QDialog>
#include <QObject>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TKRTCrystalReport;
class TKRTLabelEdit;
class TKRTViewReport;

class TKRTViewerReportForm : public QDialog
{
    Q_OBJECT

public:
    explicit TKRTViewerReportForm(QWidget *parent = nullptr);

    TKRTViewReport *VR_Preview = nullptr; // Owned (child).
    bool bPrinted = false;
    bool bEmailed = false;

    // Sets the commands after the report is shown: counter, e-mail button.
    void Prepare();

private:
    void UpdateCounter();
    void OpenPrint();
    void StartPrint();
    void OpenEmail();
    void SendEmail();
    void ClosePanels();

    QLabel *SF_NuPages = nullptr;
    QComboBox *CB_Zoom = nullptr;
    QPushButton *PB_Stampa = nullptr;
    QPushButton *PB_Email = nullptr;
    QPushButton *PB_Chiudi = nullptr;
    // Printing.
    QFrame *PAN_Print = nullptr;
    QComboBox *CB_Printers = nullptr;
    TKRTLabelEdit *EF_Copies = nullptr;
    QRadioButton *RB_PrintAll = nullptr;
    QRadioButton *RB_PrintInterval = nullptr;
    TKRTLabelEdit *EF_PrintFrom = nullptr;
    TKRTLabelEdit *EF_PrintTo = nullptr;
    // E-mail.
    QFrame *PAN_Email = nullptr;
    QCheckBox *CK_AccountObblig = nullptr;
    TKRTLabelEdit *EF_AccountUserID = nullptr;
    TKRTLabelEdit *EF_AccountPassword = nullptr;
    TKRTLabelEdit *EF_AccountMailServer = nullptr;
    TKRTLabelEdit *EF_FromEmail = nullptr;
    TKRTLabelEdit *EF_ToEmail = nullptr;
    TKRTLabelEdit *EF_CCEmail = nullptr;
    TKRTLabelEdit *EF_CCNEmail = nullptr;
    TKRTLabelEdit *EF_SubjectEmail = nullptr;
    QPlainTextEdit *MM_MessageEmail = nullptr;
    TKRTLabelEdit *EF_AttachmentEmail = nullptr;
    QRadioButton *RB_EmailAll = nullptr;
    QRadioButton *RB_EmailInterval = nullptr;
    TKRTLabelEdit *EF_EmailFrom = nullptr;
    TKRTLabelEdit *EF_EmailTo = nullptr;
};

class TKRTViewerReport : public QObject
{
    Q_OBJECT

public:
    explicit TKRTViewerReport(QObject *parent = nullptr);

    TKRTCrystalReport *const Engine; // Owned (child): the settings handed to the form

    // Runs the report; false after the missing-file message. Faults of the report are shown
    // to the operator.
    bool Show();

    // Taken back from the form when it closes.
    bool bPrinted = false;
    bool bEmailed = false;

    // The form while it is open (tests drive it), else nullptr.
    TKRTViewerReportForm *Form() const { return m_form; }

private:
    TKRTViewerReportForm *m_form = nullptr; // Not owned: lives while Show runs.
};
