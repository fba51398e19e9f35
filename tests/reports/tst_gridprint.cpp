// The grid's print command shows its report fed with the grid's rows and parameters.

#include "reporttesthelpers.h"

#include "controls/tkrtgrid.h"
#include "reports/gridprint.h"
#include "reports/krtviewreport.h"
#include "reports/reportpage.h"
#include "reports/view_report.h"
#include "tests/support/dialogrecorder.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestGridPrint : public QObject
{
    Q_OBJECT

private slots:
    void printShowsTheGridRowsAndParameters();
    void missingReportIsReportedAndNoWindowStays();

private:
    static TVIEW_REPORT *OpenPreview()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *v = qobject_cast<TVIEW_REPORT *>(w))
                return v;
        }
        return nullptr;
    }
};

void TestGridPrint::printShowsTheGridRowsAndParameters()
{
    QTemporaryDir dir;
    WriteText(dir.filePath(QStringLiteral("Elenco.RPT")),
              QStringLiteral("report \"Elenco\"\n"
                             "parameter titolo\n  type: text\n  default: \"\"\n"
                             "band page-header\n  height: 10\n"
                             "  field T\n    rect: 0 0 80 8\n    value: {?titolo}\n"
                             "band detail\n  height: 8\n"
                             "  field N\n    rect: 0 0 80 8\n    value: {nome}\n"));
    auto rows = MakeData({QStringLiteral("nome:text")},
                         {{QStringLiteral("Rossi")}, {QStringLiteral("D'Angelo")}});
    TKRTGrid grid;
    grid.SetDataSet(rows.get());
    grid.ReportName = dir.filePath(QStringLiteral("Elenco"));
    grid.Parameters.push_back({QStringLiteral("titolo"), QStringLiteral("Clienti attivi")});

    InstallGridPrint();
    QVERIFY(TKRTGrid::HasPrintHandler());
    grid.Print();

    TVIEW_REPORT *preview = OpenPreview();
    QVERIFY(preview);
    QVERIFY(preview->VR_Preview->Document());
    const QString page = preview->VR_Preview->Document()->PageTexts(0).join(u'|');
    QVERIFY2(page.contains(QStringLiteral("Clienti attivi")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("Rossi")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("D'Angelo")), qPrintable(page));
    // The grid's own row stays where it was.
    QCOMPARE(rows->RecNo(), 1);
    preview->close();
    QTRY_VERIFY(!OpenPreview());
}

void TestGridPrint::missingReportIsReportedAndNoWindowStays()
{
    TDialogRecorder recorder;
    auto rows = MakeData({QStringLiteral("nome:text")}, {{QStringLiteral("Rossi")}});
    TKRTGrid grid;
    grid.SetDataSet(rows.get());
    grid.ReportName = QStringLiteral("/nessuna/cartella/Elenco");
    InstallGridPrint();
    grid.Print();
    QVERIFY(
        recorder.LastText(TDialogKind::Error).startsWith(QStringLiteral("Percorso Report Errato:")));
    QTRY_VERIFY(!OpenPreview());
}

QTEST_MAIN(TestGridPrint)
#include "tst_gridprint.moc"
