// The preview window driven through its controls: waiting, paging, zoom, printing, PDF.

#include "reporttesthelpers.h"

#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/view_report.h"
#include "tests/support/dialogrecorder.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestViewReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void callingProtocolAndPaging();
    void zoomLevels();
    void printsTheCurrentPageThenShowsTheFirst();
    void printsEveryPageWithCopies();
    void badIntervalIsRefused_data();
    void badIntervalIsRefused();
    void printerFaultIsShownAndTheWindowStaysUsable();
    void savesPdfAndRemembersTheFolder();
    void emptyPdfNameIsRefused();
    void closingFreesTheWindow();

private:
    TVIEW_REPORT *OpenPreview();
    template<typename T>
    T *Child(const char *name)
    {
        T *w = m_window->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("missing %s", name);
        return w;
    }
    QString Counter() { return Child<QLabel>("SF_NuPages")->text(); }
    void Click(const char *name) { QTest::mouseClick(Child<QPushButton>(name), Qt::LeftButton); }

    QTemporaryDir m_dir;
    std::unique_ptr<TDataSet> m_rows;
    QPointer<TVIEW_REPORT> m_window;
};

void TestViewReport::init()
{
    QVERIFY(m_dir.isValid());
    // Two rows of 100 mm a page: 6 rows, 3 pages.
    WriteText(m_dir.filePath(QStringLiteral("Righe.RPT")),
              QStringLiteral("report \"Righe\"\nband detail\n  height: 100\n  keep-together: yes\n"
                             "  field N\n    rect: 0 0 80 8\n    value: \"Riga \" & {n}\n"));
    m_rows = MakeData({QStringLiteral("n:int")}, {{1}, {2}, {3}, {4}, {5}, {6}});
    SessionInfo().sUserSettingsFile = m_dir.filePath(QStringLiteral("VentorelWin_PROVA.ini"));
    SessionInfo().iPauseFactor = 0;
}

void TestViewReport::cleanup()
{
    delete m_window;
}

TVIEW_REPORT *TestViewReport::OpenPreview()
{
    m_window = new TVIEW_REPORT();
    m_window->ShowWaitPreview(true);
    m_window->SetWaitMessage(QStringLiteral("Caricamento dati prodotto\r\n\r\nin corso..."));
    TKRTCrystalReport &engine = *m_window->VR_Preview->Engine;
    engine.Clear();
    engine.ReportName = m_dir.filePath(QStringLiteral("Righe"));
    engine.ReportWithData = false;
    engine.Recordset = m_rows.get();
    m_window->VR_Preview->Show(false);
    m_window->FinishPreview();
    return m_window;
}

void TestViewReport::callingProtocolAndPaging()
{
    m_window = new TVIEW_REPORT();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Anteprima di stampa"));
    QVERIFY(m_window->windowFlags() & Qt::WindowStaysOnTopHint);
    m_window->ShowWaitPreview(true);
    QVERIFY(Child<QFrame>("PAN_Wait")->isVisible());
    QVERIFY(!Child<QFrame>("PAN_Status_Report")->isVisible());
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    m_window->SetWaitMessage(QStringLiteral("Caricamento dati prodotto\r\n\r\nin corso..."));
    QCOMPARE(Child<QLabel>("SF_Caption")->text(),
             QStringLiteral("Caricamento dati prodotto\n\nin corso..."));
    delete m_window;

    OpenPreview();
    QVERIFY(!Child<QFrame>("PAN_Wait")->isVisible());
    QVERIFY(Child<QFrame>("PAN_Status_Report")->isVisible());
    QVERIFY(!(m_window->windowFlags() & Qt::FramelessWindowHint));
    const QRect work = m_window->screen()->availableGeometry();
    QCOMPARE(m_window->minimumSize(), QSize(work.width() / 2, work.height() * 95 / 100));
    QCOMPARE(m_window->iRptPageTo, 3);
    QCOMPARE(Counter(), QStringLiteral("1 / 3"));
    Click("PB_GoNext");
    QCOMPARE(Counter(), QStringLiteral("2 / 3"));
    QCOMPARE(m_window->VR_Preview->GetCurrentPageNumber(), 2);
    Click("PB_GoLast");
    QCOMPARE(Counter(), QStringLiteral("3 / 3"));
    Click("PB_GoNext");
    QCOMPARE(Counter(), QStringLiteral("3 / 3"));
    QCOMPARE(m_window->VR_Preview->GetCurrentPageNumber(), 3);
    Click("PB_GoPrev");
    QCOMPARE(Counter(), QStringLiteral("2 / 3"));
    Click("PB_GoFirst");
    QCOMPARE(Counter(), QStringLiteral("1 / 3"));
    Click("PB_GoPrev");
    QCOMPARE(Counter(), QStringLiteral("1 / 3"));
    QCOMPARE(m_window->VR_Preview->GetCurrentPageNumber(), 1);
}

void TestViewReport::zoomLevels()
{
    OpenPreview();
    TKRTViewReport *v = m_window->VR_Preview;
    QComboBox *zoom = Child<QComboBox>("CB_Zoom");
    QCOMPARE(zoom->count(), 10);
    QCOMPARE(zoom->currentText(), QStringLiteral("Larghezza pagina"));
    const double width = v->Scale();
    QVERIFY(qAbs(v->Document()->sizeDots.width() * width - (v->viewport()->width() - 24)) < 40);
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("Pagina intera")));
    const double whole = v->Scale();
    QVERIFY(v->Document()->sizeDots.height() * whole <= v->maximumViewportSize().height());
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("100%")));
    QCOMPARE(v->Scale(), v->logicalDpiX() / 1200.0);
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("200%")));
    QCOMPARE(v->Scale(), 2 * v->logicalDpiX() / 1200.0);
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("25%")));
    QCOMPARE(v->Scale(), 0.25 * v->logicalDpiX() / 1200.0);
    // The page on screen: white paper with the row's text drawn on it.
    const QImage page = v->CurrentPageImage();
    QVERIFY(!page.isNull());
    QCOMPARE(page.pixelColor(2, 2), QColor(Qt::white));
}

void TestViewReport::printsTheCurrentPageThenShowsTheFirst()
{
    const QString pdf = m_dir.filePath(QStringLiteral("stampa.pdf"));
    PdfPrinters printers(pdf);
    OpenPreview();
    Click("PB_GoNext");
    Click("PB_Print");
    QVERIFY(Child<QFrame>("PAN_PrinterSettings")->isVisible());
    QVERIFY(!Child<QFrame>("PAN_Status_Report")->isEnabled());
    QComboBox *list = Child<QComboBox>("CB_Printers");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->currentText(), QStringLiteral("PDF di prova"));
    QCOMPARE(Child<TKRTLabelEdit>("EF_PrintPageFrom")->Text(), QStringLiteral("2"));
    QCOMPARE(Child<TKRTLabelEdit>("EF_PrintPageTo")->Text(), QStringLiteral("3"));
    QCOMPARE(Child<TKRTLabelEdit>("EF_Copies")->Text(), QStringLiteral("1"));
    QVERIFY(Child<QRadioButton>("RB_PrintPageAll")->isChecked());
    list->setCurrentIndex(0);
    Child<QRadioButton>("RB_PrintPageCurrent")->setChecked(true);
    Click("PB_StartPrint");
    QCOMPARE(printers.asked, QStringList{QStringLiteral("Ufficio")});
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages, QStringList({QStringLiteral("Riga 3 Riga 4")}));
    QVERIFY(!Child<QFrame>("PAN_PrinterSettings")->isVisible());
    QVERIFY(m_window->isEnabled());
    QVERIFY(Child<QFrame>("PAN_Status_Report")->isEnabled());
    QCOMPARE(Counter(), QStringLiteral("1 / 3"));
    QCOMPARE(m_window->VR_Preview->GetCurrentPageNumber(), 1);
}

void TestViewReport::printsEveryPageWithCopies()
{
    const QString pdf = m_dir.filePath(QStringLiteral("copie.pdf"));
    PdfPrinters printers(pdf);
    OpenPreview();
    Click("PB_Print");
    Child<TKRTLabelEdit>("EF_Copies")->SetText(QStringLiteral("2"));
    Click("PB_StartPrint");
    QCOMPARE(PdfPageCount(pdf), 6);

    Click("PB_Print");
    Child<QRadioButton>("RB_PrintPageInterval")->setChecked(true);
    Child<TKRTLabelEdit>("EF_PrintPageFrom")->SetText(QStringLiteral("2"));
    Child<TKRTLabelEdit>("EF_PrintPageTo")->SetText(QStringLiteral("3"));
    Click("PB_StartPrint");
    QCOMPARE(PdfPages(pdf),
             QStringList({QStringLiteral("Riga 3 Riga 4"), QStringLiteral("Riga 5 Riga 6")}));
}

void TestViewReport::badIntervalIsRefused_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("reversed") << "3"
                              << "2";
    QTest::newRow("after the last page") << "2"
                                         << "9";
    QTest::newRow("empty") << ""
                           << "2";
}

void TestViewReport::badIntervalIsRefused()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    const QString pdf = m_dir.filePath(QStringLiteral("mai.pdf"));
    PdfPrinters printers(pdf);
    TDialogRecorder dialogs;
    OpenPreview();
    Click("PB_Print");
    Child<QRadioButton>("RB_PrintPageInterval")->setChecked(true);
    Child<TKRTLabelEdit>("EF_PrintPageFrom")->SetText(from);
    Child<TKRTLabelEdit>("EF_PrintPageTo")->SetText(to);
    Click("PB_StartPrint");
    QCOMPARE(dialogs.LastText(TDialogKind::Error), QStringLiteral("Intervallo errato."));
    QVERIFY(printers.asked.isEmpty());
    QVERIFY(Child<QFrame>("PAN_PrinterSettings")->isVisible());
    Click("PB_CancelPrint");
    QVERIFY(!Child<QFrame>("PAN_PrinterSettings")->isVisible());
    QVERIFY(Child<QFrame>("PAN_Status_Report")->isEnabled());
}

void TestViewReport::printerFaultIsShownAndTheWindowStaysUsable()
{
    TDialogRecorder dialogs;
    OpenPreview();
    Click("PB_Print");
    QComboBox *list = Child<QComboBox>("CB_Printers");
    list->setEditable(true);
    list->setEditText(QStringLiteral("Stampante Spenta"));
    Click("PB_StartPrint");
    QVERIFY2(dialogs.LastText(TDialogKind::Error).contains(QLatin1String("Stampante Spenta")),
             qPrintable(dialogs.LastText(TDialogKind::Error)));
    QVERIFY(m_window->isEnabled());
    Click("PB_GoNext");
    QCOMPARE(Counter(), QStringLiteral("2 / 3"));
}

void TestViewReport::savesPdfAndRemembersTheFolder()
{
    TDialogRecorder dialogs;
    QTemporaryDir out;
    OpenPreview();
    dialogs.QueueAnswer(true, out.filePath(QStringLiteral("Offerta Rossi")));
    Click("PB_CreaPDF");
    const QList<TDialogRequest> save = dialogs.RequestsOf(TDialogKind::SaveFile);
    QCOMPARE(save.size(), 1);
    QCOMPARE(save[0].filter, QStringLiteral("Documento PDF (*.pdf)"));
    const QString pdf = out.filePath(QStringLiteral("Offerta Rossi.pdf"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("Offerta Rossi.pdf")});
    QCOMPARE(PdfPages(pdf),
             QStringList({QStringLiteral("Riga 1 Riga 2"),
                          QStringLiteral("Riga 3 Riga 4"),
                          QStringLiteral("Riga 5 Riga 6")}));
    QCOMPARE(dialogs.LastText(TDialogKind::ShowInFileBrowser), pdf);
    QCOMPARE(dialogs.LastText(TDialogKind::OpenWithSystem), pdf);
    QCOMPARE(dialogs.Count(TDialogKind::Error), 0);
    QVERIFY(m_window->isEnabled());
    QVERIFY(!Child<QFrame>("PAN_Wait")->isVisible());

    // The folder is proposed the next time.
    dialogs.QueueAnswer(false);
    Click("PB_CreaPDF");
    const QList<TDialogRequest> again = dialogs.RequestsOf(TDialogKind::SaveFile);
    QCOMPARE(again.size(), 2);
    QCOMPARE(QDir(again[1].directory), QDir(out.path()));
    QFile ini(SessionInfo().sUserSettingsFile);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(ini.readAll()).contains(QLatin1String("FrmViewReport_PathSavePdf=")));
}

void TestViewReport::emptyPdfNameIsRefused()
{
    TDialogRecorder dialogs;
    OpenPreview();
    dialogs.QueueAnswer(true, m_dir.path() + QStringLiteral("/"));
    Click("PB_CreaPDF");
    QCOMPARE(dialogs.LastText(TDialogKind::Error),
             QStringLiteral("Impostare un nome del pdf da creare."));
    QCOMPARE(dialogs.Count(TDialogKind::OpenWithSystem), 0);
    // An unwritable place: the message names it, nothing is left, the window goes on.
    dialogs.QueueAnswer(true, m_dir.filePath(QStringLiteral("manca/x.pdf")));
    Click("PB_CreaPDF");
    QVERIFY(dialogs.LastText(TDialogKind::Error).contains(QLatin1String("manca")));
    QVERIFY(m_window->isEnabled());
    QVERIFY(!Child<QFrame>("PAN_Wait")->isVisible());
}

void TestViewReport::closingFreesTheWindow()
{
    OpenPreview();
    QPointer<TVIEW_REPORT> w = m_window;
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.isNull());
}

QTEST_MAIN(TestViewReport)
#include "tst_view_report.moc"
