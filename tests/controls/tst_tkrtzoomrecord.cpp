// The record zoom of the standard menu.

#include "controls/tkrtgrid.h"
#include "controls/tkrtzoomrecord.h"
#include "tests/controls/gridtestdata.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>

class tst_TKRTZoomRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsEveryColumnOfTheCurrentRow();
    void zoomHandlerReplacesTheWindow();

private:
    void TriggerZoom();

    TDialogRecorder m_noModal;
    std::unique_ptr<TDataSet> m_data;
    std::unique_ptr<QWidget> m_window;
    TKRTGrid *m_grid = nullptr;
};

void tst_TKRTZoomRecord::init()
{
    m_data = MakeGridTestData(20);
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_grid = new TKRTGrid(m_window.get());
    layout->addWidget(m_grid);
    m_grid->SetDataSet(m_data.get());
    m_window->resize(900, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_TKRTZoomRecord::cleanup()
{
    m_grid->SetDataSet(nullptr);
    m_window.reset();
    m_data.reset();
}

void tst_TKRTZoomRecord::TriggerZoom()
{
    const QPoint p = m_grid->visualRect(m_grid->model()->index(10, 1)).center();
    QTest::mouseClick(m_grid->viewport(), Qt::RightButton, {}, p);
    m_grid->PopupMenu()->findChild<QAction *>(QStringLiteral("MNUZoom"))->trigger();
    m_grid->PopupMenu()->close();
}

void tst_TKRTZoomRecord::showsEveryColumnOfTheCurrentRow()
{
    m_grid->HideColumn(2);
    TriggerZoom();
    auto *zoom = m_grid->findChild<TKRTZOOMRECORD *>(QStringLiteral("TKRTZOOMRECORD"));
    QVERIFY(zoom);
    QVERIFY(zoom->isModal());
    zoom->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(zoom));
    QCOMPARE(zoom->windowTitle(), QStringLiteral("Zoom"));
    QTableWidget *list = zoom->List();
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Colonna"));
    QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Valore"));
    QCOMPARE(list->columnWidth(0), 140);
    QCOMPARE(list->columnWidth(1), 190);
    QCOMPARE(list->rowCount(), m_grid->ColumnCount());
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("Ragione Sociale"));
    QCOMPARE(list->item(1, 1)->text(), GridTestName(10));
    QCOMPARE(list->item(2, 1)->text(), QString()); // no locality on row 10
    QCOMPARE(list->item(4, 1)->text(), QStringLiteral("105,00"));
    // At the top-left of the work area, fixed width, height between half and all of it.
    QCOMPARE(zoom->frameGeometry().topLeft(), zoom->screen()->availableGeometry().topLeft());
    QCOMPARE(zoom->minimumWidth(), zoom->maximumWidth());
    QCOMPARE(zoom->minimumHeight(), zoom->maximumHeight() / 2);

    // The selected line's title is bold; its value is the hint and goes to the clipboard.
    list->setCurrentCell(1, 0);
    QVERIFY(list->item(1, 0)->font().bold());
    QVERIFY(!list->item(0, 0)->font().bold());
    QCOMPARE(list->toolTip(), QStringLiteral(" ") + GridTestName(10) + QStringLiteral(" "));
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), GridTestName(10));
    list->setCurrentCell(3, 0);
    QTest::keyClick(list, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("10"));

    QTest::mouseClick(zoom->findChild<QPushButton *>(QStringLiteral("PB_End")), Qt::LeftButton);
    QTRY_VERIFY(!m_grid->findChild<TKRTZOOMRECORD *>());
}

void tst_TKRTZoomRecord::zoomHandlerReplacesTheWindow()
{
    int calls = 0;
    m_grid->OnZoomClick = [&calls](TKRTGrid *) { ++calls; };
    TriggerZoom();
    QCOMPARE(calls, 1);
    QVERIFY(!m_grid->findChild<TKRTZOOMRECORD *>());
    // Without data the commands do nothing.
    m_grid->SetDataSet(nullptr);
    QCOMPARE(m_grid->ZoomGrid(), nullptr);
    QCOMPARE(m_grid->ShowFindDialog(), nullptr);
    QCOMPARE(m_grid->ShowSortDialog(), nullptr);
}

QTEST_MAIN(tst_TKRTZoomRecord)
#include "tst_tkrtzoomrecord.moc"
