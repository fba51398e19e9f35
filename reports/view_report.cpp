#include "reports/view_report.h"

#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "controls/tkrtlabeledit.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reportprinter.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton *ToolButton(QWidget *parent,
                        const char *name,
                        const QString &hint,
                        QStyle::StandardPixmap icon,
                        const QString &text = QString())
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    if (text.isEmpty())
        b->setIcon(parent->style()->standardIcon(icon));
    else
        b->setText(text);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

TKRTLabelEdit *NumberField(QWidget *parent, const char *name, const QString &caption, int width)
{
    auto *e = new TKRTLabelEdit(QLatin1String(name), caption, parent);
    e->SetTemplate(tpKRTNumeric);
    e->SetDecimals(0);
    e->SetNumericFormatted(false);
    e->SetCaptionAutoSize(true);
    e->SetEditWidth(width);
    return e;
}

int FieldNumber(TKRTLabelEdit *e)
{
    bool ok = false;
    const int n = e->Text().trimmed().toInt(&ok);
    return ok ? n : 0;
}

QString ScreenText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(u'\r', u'\n');
    return t;
}

} // namespace

TVIEW_REPORT::TVIEW_REPORT(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("VIEW_REPORT"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Anteprima di stampa"));

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    PAN_Status_Report = new QFrame(this);
    PAN_Status_Report->setObjectName(QStringLiteral("PAN_Status_Report"));
    PAN_Status_Report->setFrameShape(QFrame::StyledPanel);
    auto *bar = new QHBoxLayout(PAN_Status_Report);
    bar->setContentsMargins(6, 4, 6, 4);
    PB_GoFirst = ToolButton(PAN_Status_Report,
                            "PB_GoFirst",
                            QStringLiteral(" Vai alla prima pagina "),
                            QStyle::SP_MediaSkipBackward);
    PB_GoPrev = ToolButton(PAN_Status_Report,
                           "PB_GoPrev",
                           QStringLiteral(" Vai alla pagina precedente "),
                           QStyle::SP_MediaSeekBackward);
    SF_NuPages = new QLabel(QStringLiteral("0 / 0"), PAN_Status_Report);
    SF_NuPages->setObjectName(QStringLiteral("SF_NuPages"));
    SF_NuPages->setMinimumWidth(70);
    SF_NuPages->setAlignment(Qt::AlignCenter);
    PB_GoNext = ToolButton(PAN_Status_Report,
                           "PB_GoNext",
                           QStringLiteral(" Vai alla pagina successiva "),
                           QStyle::SP_MediaSeekForward);
    PB_GoLast = ToolButton(PAN_Status_Report,
                           "PB_GoLast",
                           QStringLiteral(" Vai all'ultima pagina "),
                           QStyle::SP_MediaSkipForward);
    CB_Zoom = new QComboBox(PAN_Status_Report);
    CB_Zoom->setObjectName(QStringLiteral("CB_Zoom"));
    CB_Zoom->addItems({QStringLiteral("Larghezza pagina"),
                       QStringLiteral("Pagina intera"),
                       QStringLiteral("25%"),
                       QStringLiteral("50%"),
                       QStringLiteral("75%"),
                       QStringLiteral("100%"),
                       QStringLiteral("125%"),
                       QStringLiteral("150%"),
                       QStringLiteral("175%"),
                       QStringLiteral("200%")});
    CB_Zoom->setCurrentIndex(1);
    PB_CreaPDF = ToolButton(PAN_Status_Report,
                            "PB_CreaPDF",
                            QStringLiteral(" Esporta in PDF "),
                            QStyle::SP_DialogSaveButton,
                            QStringLiteral("Esporta in PDF"));
    PB_Print = ToolButton(PAN_Status_Report,
                          "PB_Print",
                          QStringLiteral(" Stampa "),
                          QStyle::SP_FileIcon,
                          QStringLiteral("Stampa"));
    bar->addWidget(PB_GoFirst);
    bar->addWidget(PB_GoPrev);
    bar->addWidget(SF_NuPages);
    bar->addWidget(PB_GoNext);
    bar->addWidget(PB_GoLast);
    bar->addSpacing(12);
    bar->addWidget(CB_Zoom);
    bar->addStretch(1);
    bar->addWidget(PB_CreaPDF);
    bar->addWidget(PB_Print);
    main->addWidget(PAN_Status_Report);

    PAN_Client = new QFrame(this);
    PAN_Client->setObjectName(QStringLiteral("PAN_Client"));
    auto *client = new QVBoxLayout(PAN_Client);
    client->setContentsMargins(0, 0, 0, 0);
    VR_Preview = new TKRTViewReport(PAN_Client);
    VR_Preview->setObjectName(QStringLiteral("VR_Preview"));
    client->addWidget(VR_Preview);
    main->addWidget(PAN_Client, 1);

    // Wait panel: covers the window while a report is prepared or written.
    PAN_Wait = new QFrame(this);
    PAN_Wait->setObjectName(QStringLiteral("PAN_Wait"));
    PAN_Wait->setFrameShape(QFrame::Box);
    PAN_Wait->setAutoFillBackground(true);
    auto *wait = new QVBoxLayout(PAN_Wait);
    SF_Caption = new QLabel(PAN_Wait);
    SF_Caption->setObjectName(QStringLiteral("SF_Caption"));
    SF_Caption->setAlignment(Qt::AlignCenter);
    SF_Caption->setWordWrap(true);
    QFont big = SF_Caption->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    big.setBold(true);
    SF_Caption->setFont(big);
    wait->addWidget(SF_Caption);
    PAN_Wait->hide();

    // Printer panel.
    PAN_PrinterSettings = new QFrame(this);
    PAN_PrinterSettings->setObjectName(QStringLiteral("PAN_PrinterSettings"));
    PAN_PrinterSettings->setFrameShape(QFrame::Panel);
    PAN_PrinterSettings->setFrameShadow(QFrame::Raised);
    PAN_PrinterSettings->setAutoFillBackground(true);
    auto *ps = new QVBoxLayout(PAN_PrinterSettings);
    auto *printerBox = new QGroupBox(QStringLiteral("Stampante"), PAN_PrinterSettings);
    auto *pl = new QVBoxLayout(printerBox);
    CB_Printers = new QComboBox(printerBox);
    CB_Printers->setObjectName(QStringLiteral("CB_Printers"));
    pl->addWidget(CB_Printers);
    ps->addWidget(printerBox);
    auto *printBox = new QGroupBox(QStringLiteral("Stampa"), PAN_PrinterSettings);
    auto *cl = new QVBoxLayout(printBox);
    EF_Copies = NumberField(printBox, "EF_Copies", QStringLiteral("Numero Di Copie "), 60);
    EF_Copies->SetMinValue(QStringLiteral("1"));
    cl->addWidget(EF_Copies);
    ps->addWidget(printBox);
    GB_Pages = new QGroupBox(QStringLiteral(" Pagine da stampare "), PAN_PrinterSettings);
    auto *gl = new QVBoxLayout(GB_Pages);
    RB_PrintPageAll = new QRadioButton(QStringLiteral("&Tutte"), GB_Pages);
    RB_PrintPageAll->setObjectName(QStringLiteral("RB_PrintPageAll"));
    RB_PrintPageCurrent = new QRadioButton(QStringLiteral("Pagina &Corrente"), GB_Pages);
    RB_PrintPageCurrent->setObjectName(QStringLiteral("RB_PrintPageCurrent"));
    RB_PrintPageInterval = new QRadioButton(QStringLiteral("&Pagine"), GB_Pages);
    RB_PrintPageInterval->setObjectName(QStringLiteral("RB_PrintPageInterval"));
    auto *range = new QHBoxLayout();
    EF_PrintPageFrom = NumberField(GB_Pages, "EF_PrintPageFrom", QStringLiteral(":  Da"), 50);
    EF_PrintPageTo = NumberField(GB_Pages, "EF_PrintPageTo", QStringLiteral("A "), 50);
    range->addWidget(RB_PrintPageInterval);
    range->addWidget(EF_PrintPageFrom);
    range->addWidget(EF_PrintPageTo);
    range->addStretch(1);
    gl->addWidget(RB_PrintPageAll);
    gl->addWidget(RB_PrintPageCurrent);
    gl->addLayout(range);
    ps->addWidget(GB_Pages);
    auto *buttons = new QHBoxLayout();
    PB_StartPrint = new QPushButton(QStringLiteral("Stampa"), PAN_PrinterSettings);
    PB_StartPrint->setObjectName(QStringLiteral("PB_StartPrint"));
    PB_StartPrint->setDefault(true);
    PB_CancelPrint = new QPushButton(QStringLiteral("Annulla"), PAN_PrinterSettings);
    PB_CancelPrint->setObjectName(QStringLiteral("PB_CancelPrint"));
    buttons->addStretch(1);
    buttons->addWidget(PB_StartPrint);
    buttons->addWidget(PB_CancelPrint);
    ps->addLayout(buttons);
    PAN_PrinterSettings->adjustSize();
    PAN_PrinterSettings->hide();

    connect(PB_GoFirst, &QPushButton::clicked, this, &TVIEW_REPORT::GoFirst);
    connect(PB_GoPrev, &QPushButton::clicked, this, &TVIEW_REPORT::GoPrev);
    connect(PB_GoNext, &QPushButton::clicked, this, &TVIEW_REPORT::GoNext);
    connect(PB_GoLast, &QPushButton::clicked, this, &TVIEW_REPORT::GoLast);
    connect(CB_Zoom, &QComboBox::currentIndexChanged, this, &TVIEW_REPORT::ZoomChanged);
    connect(PB_Print, &QPushButton::clicked, this, &TVIEW_REPORT::OpenPrinterPanel);
    connect(PB_StartPrint, &QPushButton::clicked, this, &TVIEW_REPORT::StartPrint);
    connect(PB_CancelPrint, &QPushButton::clicked, this, &TVIEW_REPORT::ClosePrinterPanel);
    connect(PB_CreaPDF, &QPushButton::clicked, this, &TVIEW_REPORT::CreatePdf);
    connect(VR_Preview, &TKRTViewReport::CurrentPageChanged, this, [this](int page) {
        m_currentPage = page;
        UpdateCounter();
    });
}

TVIEW_REPORT::~TVIEW_REPORT() = default;

void TVIEW_REPORT::ShowWaitPreview(bool bShow)
{
    hide();
    m_waiting = bShow;
    PAN_Status_Report->setVisible(!bShow);
    PAN_Client->setVisible(!bShow);
    PAN_Wait->setVisible(bShow);
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    if (bShow) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(460, 200);
    } else {
        setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
        const QSize size(work.width() / 2, work.height() * 95 / 100);
        setMinimumSize(size);
        setMaximumSize(work.size());
        resize(size);
    }
    move(work.center() - QPoint(width() / 2, height() / 2));
    show();
    PlaceOverlays();
    PAN_Wait->raise();
}

void TVIEW_REPORT::SetWaitMessage(const QString &sMessage)
{
    SF_Caption->setText(ScreenText(sMessage));
    PAN_Wait->repaint();
    QCoreApplication::processEvents();
}

void TVIEW_REPORT::SetRangePages()
{
    int last = 0;
    bool known = false;
    VR_Preview->GetLastPageNumber(last, known);
    iRptPageTo = last;
    iRptPageFrom = 1;
    VR_Preview->ShowFirstPage();
    m_currentPage = last > 0 ? 1 : 0;
    UpdateCounter();
}

void TVIEW_REPORT::PrepareViewerComands()
{
    TKRTViewReport *v = VR_Preview;
    v->EnableGroupTree = false;
    v->DisplayGroupTree = false;
    v->DisplayTabs = false;
    v->DisplayToolbar = false;
    v->EnableToolbar = false;
    v->DisplayBorder = false;
    v->DisplayBackgroundEdge = false;
    v->EnableProgressControl = false;
    v->EnableAnimationCtrl = false;
    v->EnableDrillDown = false;
    v->EnableHelpButton = false;
    v->EnablePopupMenu = false;
    v->EnableSearchControl = false;
    v->EnableSearchExpertButton = false;
    v->EnableSelectExpertButton = false;
    v->EnableCloseButton = false;
    v->EnableRefreshButton = false;
    v->EnableStopButton = false;
    v->EnablePrintButton = false;
    v->EnableExportButton = false;
    v->EnableZoomControl = false;
    v->EnableNavigationControls = false;
    v->setToolTip(QString());
    v->ApplyOptions();
}

void TVIEW_REPORT::FinishPreview()
{
    SetWaitMessage(QStringLiteral("Caricamento completato.") + LineBreaks(2)
                   + QStringLiteral("Visualizzazione anteprima") + LineBreaks(2)
                   + QStringLiteral("in corso..."));
    VR_Preview->ShowLastPage();
    VR_Preview->ShowFirstPage();
    {
        const QSignalBlocker block(CB_Zoom);
        CB_Zoom->setCurrentIndex(0);
    }
    VR_Preview->Zoom(1);
    SetRangePages();
    ShowWaitPreview(false);
    PrepareViewerComands();
}

void TVIEW_REPORT::UpdateCounter()
{
    SF_NuPages->setText(QStringLiteral("%1 / %2").arg(m_currentPage).arg(iRptPageTo));
}

void TVIEW_REPORT::GoFirst()
{
    VR_Preview->ShowFirstPage();
    m_currentPage = iRptPageTo > 0 ? 1 : 0;
    UpdateCounter();
}

void TVIEW_REPORT::GoLast()
{
    VR_Preview->ShowLastPage();
    m_currentPage = iRptPageTo;
    UpdateCounter();
}

void TVIEW_REPORT::GoNext()
{
    VR_Preview->ShowNextPage();
    m_currentPage = VR_Preview->GetCurrentPageNumber();
    UpdateCounter();
}

void TVIEW_REPORT::GoPrev()
{
    VR_Preview->ShowPreviousPage();
    m_currentPage = VR_Preview->GetCurrentPageNumber();
    UpdateCounter();
}

void TVIEW_REPORT::ZoomChanged(int index)
{
    if (index == 0) {
        VR_Preview->Zoom(1);
    } else if (index == 1) {
        VR_Preview->Zoom(2);
    } else {
        QString t = CB_Zoom->itemText(index);
        t.remove(u'%');
        VR_Preview->Zoom(t.toInt());
    }
}

void TVIEW_REPORT::OpenPrinterPanel()
{
    CB_Printers->clear();
    TReportPrinterProvider &printers = ReportPrinterProvider();
    CB_Printers->addItems(printers.PrinterNames());
    const int def = CB_Printers->findText(printers.DefaultPrinterName());
    CB_Printers->setCurrentIndex(def >= 0 ? def : 0);
    int last = 0;
    bool known = false;
    VR_Preview->GetLastPageNumber(last, known);
    for (TKRTLabelEdit *e : {EF_PrintPageFrom, EF_PrintPageTo}) {
        e->SetMinValue(QStringLiteral("1"));
        e->SetMaxValue(QString::number(qMax(1, last)));
    }
    EF_PrintPageFrom->SetAsInteger(qMax(1, VR_Preview->GetCurrentPageNumber()));
    EF_PrintPageTo->SetAsInteger(qMax(1, last));
    RB_PrintPageAll->setChecked(true);
    EF_Copies->SetAsInteger(1);
    PAN_PrinterSettings->adjustSize();
    PlaceOverlays();
    PAN_PrinterSettings->show();
    PAN_PrinterSettings->raise();
    PAN_Status_Report->setEnabled(false);
    PAN_Client->setEnabled(false);
    CB_Printers->setFocus();
}

void TVIEW_REPORT::ClosePrinterPanel()
{
    PAN_PrinterSettings->hide();
    PAN_Status_Report->setEnabled(true);
    PAN_Client->setEnabled(true);
}

void TVIEW_REPORT::StartPrint()
{
    const int from = FieldNumber(EF_PrintPageFrom);
    const int to = FieldNumber(EF_PrintPageTo);
    if (RB_PrintPageInterval->isChecked() && (to < from || from < 1 || to > iRptPageTo)) {
        ShowErrorBox(QStringLiteral("Intervallo errato."));
        EF_PrintPageFrom->SetFocus();
        return;
    }
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    setEnabled(false);
    ClosePrinterPanel();
    RPTPrintOptions &options = VR_Preview->Engine->PrintOptions;
    options.PrinterName = CB_Printers->currentText();
    options.Copies = qMax(1, FieldNumber(EF_Copies));
    if (RB_PrintPageCurrent->isChecked()) {
        options.PageFrom = options.PageTo = VR_Preview->GetCurrentPageNumber();
    } else if (RB_PrintPageInterval->isChecked()) {
        options.PageFrom = from;
        options.PageTo = to;
    } else {
        options.PageFrom = options.PageTo = 0;
    }
    QString error;
    try {
        VR_Preview->Engine->PrintReport();
    } catch (const EReportError &e) {
        error = e.text();
    }
    // The pages shown are kept: the report is shown again from its first page.
    GoFirst();
    setEnabled(true);
    QGuiApplication::restoreOverrideCursor();
    if (!error.isEmpty())
        ShowErrorBox(error);
}

void TVIEW_REPORT::CreatePdf()
{
    const QString settings = SessionInfo().sUserSettingsFile;
    const QString folder = settings.isEmpty() ? ProgramFolder()
                                              : IniReadText(QStringLiteral("SETTINGS"),
                                                            QLatin1String(kPathSavePdfKey),
                                                            ProgramFolder(),
                                                            settings);
    QString file = AskSaveFileName(QStringLiteral("Esporta in PDF"),
                                   folder,
                                   QStringLiteral("Documento PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    const QFileInfo fi(file);
    if (!settings.isEmpty())
        IniWriteText(QStringLiteral("SETTINGS"),
                     QLatin1String(kPathSavePdfKey),
                     fi.absolutePath(),
                     settings);
    if (fi.fileName().isEmpty() || fi.completeBaseName().trimmed().isEmpty()) {
        ShowErrorBox(QStringLiteral("Impostare un nome del pdf da creare."));
        return;
    }
    if (fi.suffix().isEmpty())
        file += QStringLiteral(".pdf");

    SF_Caption->setText(QStringLiteral("Esportazione \"") + FileBaseName(file)
                        + QStringLiteral("\" in corso..."));
    PlaceOverlays();
    PAN_Wait->show();
    PAN_Wait->raise();
    setEnabled(false);
    QCoreApplication::processEvents();
    QString error;
    try {
        SaveReportAsPdf(VR_Preview, file);
    } catch (const EReportError &e) {
        error = e.text();
    }
    PAN_Wait->setVisible(m_waiting);
    setEnabled(true);
    if (!error.isEmpty()) {
        ShowErrorBox(error);
        return;
    }
    TSTD_PROGRESS *progress = TSTD_PROGRESS::Instance();
    if (progress)
        progress->Show(QStringLiteral("Apertura cartella destinazione in corso..."));
    ShowInFileBrowser(file);
    Pause(SessionInfo().iPauseFactor * 1000);
    if (progress)
        progress->Show(QStringLiteral("Visualizzazione PDF in corso..."));
    OpenWithSystem(file);
    Pause(SessionInfo().iPauseFactor * 1000);
    if (progress)
        progress->Hide();
}

void TVIEW_REPORT::Pause(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TVIEW_REPORT::PlaceOverlays()
{
    PAN_Wait->setGeometry(rect());
    const QSize s = PAN_PrinterSettings->sizeHint().expandedTo(QSize(380, 0));
    PAN_PrinterSettings->setGeometry(
        QRect(QPoint((width() - s.width()) / 2, qMax(0, (height() - s.height()) / 3)), s));
}

void TVIEW_REPORT::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceOverlays();
}

void TVIEW_REPORT::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && PAN_PrinterSettings->isVisible()) {
        ClosePrinterPanel();
        return;
    }
    QWidget::keyPressEvent(event);
}
