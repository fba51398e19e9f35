#pragma once

// "Anteprima di stampa": the window every print preview of the program opens. The caller
// creates it waiting, fills VR_Preview->Engine, shows the report and forgets the window; the
// operator pages, zooms, prints on a chosen printer and saves a PDF. It stays on top and frees
// itself when closed.

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TKRTLabelEdit;
class TKRTViewReport;

class TVIEW_REPORT : public QWidget
{
    Q_OBJECT

public:
    explicit TVIEW_REPORT(QWidget *parent = nullptr);
    ~TVIEW_REPORT() override;

    TKRTViewReport *VR_Preview = nullptr; // Owned (child).

    int iRptPageTo = 0;   // last page
    int iRptPageFrom = 1; // first page
    static constexpr const char *kPathSavePdfKey = "FrmViewReport_PathSavePdf";

    // Waiting: only the wait panel, borderless. Not waiting: tool bar and viewer, sizeable,
    // 50 % x 95 % of the work area. The window is shown again, centred.
    void ShowWaitPreview(bool bShow);
    void SetWaitMessage(const QString &sMessage);
    // Reads the page count, goes to page 1 and sets the counter "1 / N".
    void SetRangePages();
    // Switches off the viewer's own commands: paging, zoom, printing and PDF are the window's.
    void PrepareViewerComands();
    // Steps 4 and 5 of the calling protocol after VR_Preview->Show: the completion text, last
    // page then first, zoom "Larghezza pagina", the counter, then the tool bar and viewer.
    void FinishPreview();

    int CurrentPage() const { return m_currentPage; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void GoFirst();
    void GoPrev();
    void GoNext();
    void GoLast();
    void UpdateCounter();
    void ZoomChanged(int index);
    void OpenPrinterPanel();
    void StartPrint();
    void ClosePrinterPanel();
    void CreatePdf();
    void PlaceOverlays();
    void Pause(int ms);

    QFrame *PAN_Status_Report = nullptr;
    QPushButton *PB_GoFirst = nullptr;
    QPushButton *PB_GoPrev = nullptr;
    QPushButton *PB_GoNext = nullptr;
    QPushButton *PB_GoLast = nullptr;
    QLabel *SF_NuPages = nullptr;
    QComboBox *CB_Zoom = nullptr;
    QPushButton *PB_CreaPDF = nullptr;
    QPushButton *PB_Print = nullptr;
    QFrame *PAN_Client = nullptr;
    QFrame *PAN_Wait = nullptr;
    QLabel *SF_Caption = nullptr;
    QFrame *PAN_PrinterSettings = nullptr;
    QComboBox *CB_Printers = nullptr;
    TKRTLabelEdit *EF_Copies = nullptr;
    QGroupBox *GB_Pages = nullptr;
    QRadioButton *RB_PrintPageAll = nullptr;
    QRadioButton *RB_PrintPageCurrent = nullptr;
    QRadioButton *RB_PrintPageInterval = nullptr;
    TKRTLabelEdit *EF_PrintPageFrom = nullptr;
    TKRTLabelEdit *EF_PrintPageTo = nullptr;
    QPushButton *PB_StartPrint = nullptr;
    QPushButton *PB_CancelPrint = nullptr;

    int m_currentPage = 0;
    bool m_waiting = false;
};
