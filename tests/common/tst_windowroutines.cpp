#include "common/tstd_progress.h"
#include "common/windowroutines.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

#include <stdexcept>

class TestWindowRoutines : public QObject
{
    Q_OBJECT
private slots:
    void findOpenForm();
    void bringWindowToFront();
    void bringMdiChildToFront();
    void openChildWindow_data();
    void openChildWindow();
    void frameFollowsItsWindow_data();
    void frameFollowsItsWindow();
    void centerPanels();
    void centerInMainArea();
    void centerOnWorkArea();
    void focusField();
    void labelLineCount();
    void centerTreeSelection();
};

void TestWindowRoutines::findOpenForm()
{
    QMainWindow main;
    main.setObjectName(QStringLiteral("MAINFORM"));
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    auto *child = new QWidget;
    child->setObjectName(QStringLiteral("GESTIONE_CLIENTI"));
    area->addSubWindow(child);
    auto *wait = new TSTD_PROGRESS(&main); // hidden, still found
    main.show();
    child->show();

    QCOMPARE(FindOpenForm(QStringLiteral("gestione_clienti")), child);
    QCOMPARE(FindOpenForm(QStringLiteral("MainForm")), &main);
    QCOMPARE(FindOpenForm(QStringLiteral("STD_PROGRESS")), wait);
    QVERIFY(IsFormOpen(QStringLiteral("GESTIONE_CLIENTI")));
    QVERIFY(!IsFormOpen(QStringLiteral("GESTIONE_PRODOTTI")));
    QVERIFY(!IsFormOpen(QString()));

    QPointer<QMdiSubWindow> sub = area->subWindowList().first();
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!IsFormOpen(QStringLiteral("GESTIONE_CLIENTI")));
}

void TestWindowRoutines::bringWindowToFront()
{
    QWidget main;
    auto *wait = new TSTD_PROGRESS(&main);
    QWidget w;
    w.setObjectName(QStringLiteral("TVIEW_REPORT"));
    w.showMinimized();
    QVERIFY(w.isMinimized());
    BringWindowToFront(&w);
    QVERIFY(!w.isMinimized());
    QVERIFY(w.isVisible());
    QVERIFY(!wait->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestWindowRoutines::bringMdiChildToFront()
{
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(900, 700);
    auto *first = new QWidget;
    auto *second = new QWidget;
    QMdiSubWindow *firstSub = area->addSubWindow(first);
    QMdiSubWindow *secondSub = area->addSubWindow(second);
    main.show();
    firstSub->show();
    secondSub->show();
    firstSub->showMinimized();
    area->setActiveSubWindow(secondSub);
    QCOMPARE(area->activeSubWindow(), secondSub);

    BringWindowToFront(first);
    QCOMPARE(area->activeSubWindow(), firstSub);
    QVERIFY(!firstSub->isMinimized());
    QVERIFY(!firstSub->isMaximized());
}

void TestWindowRoutines::openChildWindow_data()
{
    QTest::addColumn<bool>("mdi");
    QTest::newRow("MDI child") << true;
    QTest::newRow("top-level window") << false;
}

void TestWindowRoutines::openChildWindow()
{
    QFETCH(bool, mdi);
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(900, 700);
    main.show();
    QMdiArea *target = mdi ? area : nullptr;

    int made = 0;
    QStringList started;
    auto create = [&made](QWidget *parent) {
        ++made;
        auto *w = new QWidget(parent);
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    };
    // Prepared before it shows.
    auto start = [&started](QWidget *w) {
        started << (w->isVisible() ? QStringLiteral("visible") : QStringLiteral("hidden"));
    };
    bool created = false;
    QPointer<QWidget> w = OpenChildWindow(QStringLiteral("GESTIONE_OPERATORI"),
                                          target,
                                          create,
                                          start,
                                          &created);
    QVERIFY(w);
    QVERIFY(created);
    QCOMPARE(w->objectName(), QStringLiteral("GESTIONE_OPERATORI"));
    QCOMPARE(started, QStringList{QStringLiteral("hidden")});
    QVERIFY(w->isVisible());
    QCOMPARE(area->subWindowList().size(), mdi ? 1 : 0);
    if (mdi)
        QCOMPARE(area->activeSubWindow()->widget(), w.data());
    else
        QVERIFY(w->isWindow());

    // Open: only brought to the front, not started again.
    (mdi ? static_cast<QWidget *>(area->subWindowList().at(0)) : w.data())->showMinimized();
    QCOMPARE(OpenChildWindow(QStringLiteral("gestione_operatori"), target, create, start, &created),
             w.data());
    QVERIFY(!created);
    QCOMPARE(made, 1);
    QCOMPARE(started.size(), 1);
    QVERIFY(!(mdi ? area->subWindowList().at(0)->isMinimized() : w->isMinimized()));

    // A factory that makes nothing opens nothing; one that fails adds nothing.
    (mdi ? static_cast<QWidget *>(area->subWindowList().at(0)) : w.data())->close();
    QTRY_VERIFY(!w);
    QVERIFY(!OpenChildWindow(QStringLiteral("GESTIONE_OPERATORI"), target, [](QWidget *) {
        return static_cast<QWidget *>(nullptr);
    }));
    bool thrown = false;
    try {
        OpenChildWindow(QStringLiteral("GESTIONE_OPERATORI"), target, [](QWidget *) -> QWidget * {
            throw std::runtime_error("no");
        });
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(area->subWindowList().size(), 0);
    QVERIFY(!FindOpenForm(QStringLiteral("GESTIONE_OPERATORI")));
}

// A child window that refuses or accepts being closed, from its own button or from the frame.
class TClosingChild : public QWidget
{
public:
    bool refuse = false;
    int asked = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++asked;
        if (refuse)
            event->ignore();
        else
            event->accept();
    }
};

void TestWindowRoutines::frameFollowsItsWindow_data()
{
    QTest::addColumn<bool>("fromFrame");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<bool>("deleteOnClose");
    QTest::newRow("own button") << false << false << true;
    QTest::newRow("own button, window kept") << false << false << false;
    QTest::newRow("own button, refused") << false << true << true;
    QTest::newRow("frame") << true << false << true;
    QTest::newRow("frame, refused") << true << true << true;
}

void TestWindowRoutines::frameFollowsItsWindow()
{
    QFETCH(bool, fromFrame);
    QFETCH(bool, refuse);
    QFETCH(bool, deleteOnClose);
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.show();
    auto *child = new TClosingChild;
    child->refuse = refuse;
    child->setAttribute(Qt::WA_DeleteOnClose, deleteOnClose);
    QPointer<QMdiSubWindow> sub = AddMdiChild(area, child);
    sub->show();
    QVERIFY(sub->testAttribute(Qt::WA_DeleteOnClose));

    if (fromFrame)
        sub->close();
    else
        child->close();
    QTest::qWait(20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (refuse) {
        QVERIFY(sub && sub->isVisible());
        QCOMPARE(child->asked, 1);
        QCOMPARE(sub->widget(), child);
    } else {
        // No empty frame stays behind, and the window is asked only once.
        QVERIFY(!sub);
        QCOMPARE(area->subWindowList().size(), 0);
    }
}

void TestWindowRoutines::centerPanels()
{
    QWidget form;
    form.resize(400, 300);
    auto *panel = new QWidget(&form);
    panel->resize(100, 50);
    CenterPanelInForm(panel, &form, 0);
    QCOMPARE(panel->pos(), QPoint(150, 125));
    CenterPanelInForm(panel, &form, 100);
    QCOMPARE(panel->pos(), QPoint(150, 175)); // centred in the 200 pixels below the offset

    auto *container = new QWidget(&form);
    container->setGeometry(10, 10, 200, 100);
    auto *inner = new QWidget(container);
    inner->resize(50, 20);
    CenterPanelInPanel(inner, container);
    QCOMPARE(inner->pos(), QPoint(75, 40));

    // A panel larger than the form stays at the top-left corner.
    panel->resize(500, 400);
    CenterPanelInForm(panel, &form, 0);
    QCOMPARE(panel->pos(), QPoint(0, 0));
}

void TestWindowRoutines::centerInMainArea()
{
    // The main window's central widget: the MDI area on the left, the launcher (130) on the
    // right, the debug pane (100) at the bottom.
    QMainWindow main;
    auto *central = new QWidget;
    auto *row = new QHBoxLayout;
    auto *area = new QMdiArea;
    auto *launcher = new QWidget;
    launcher->setFixedWidth(130);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(area, 1);
    row->addWidget(launcher);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    auto *debug = new QWidget;
    debug->setFixedHeight(100);
    column->addWidget(debug);
    main.setCentralWidget(central);
    main.resize(1000, 700);
    auto *child = new QWidget;
    QMdiSubWindow *sub = area->addSubWindow(child);
    sub->resize(400, 300);
    main.show();
    sub->show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    CenterInMainArea(child, &main, 130, 100);
    const QSize free(central->width() - 130, central->height() - 100);
    QCOMPARE(area->size(), free);
    QCOMPARE(sub->pos(), QPoint((free.width() - 400) / 2, (free.height() - 300) / 2));
}

void TestWindowRoutines::centerOnWorkArea()
{
    QWidget w;
    w.resize(300, 200);
    CenterOnWorkArea(&w);
    const QRect area = w.screen()->availableGeometry();
    QVERIFY(qAbs(w.frameGeometry().center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(w.frameGeometry().center().y() - area.center().y()) <= 1);
}

void TestWindowRoutines::focusField()
{
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *edit = new QLineEdit(QStringLiteral("Rossi Mario"));
    // A labelled field: a container with a caption and its inner editor.
    auto *labelled = new QWidget;
    auto *inner = new QLineEdit(QStringLiteral("Via Roma 1"), labelled);
    new QLabel(QStringLiteral("Indirizzo"), labelled);
    auto *memo = new QPlainTextEdit(QStringLiteral("riga 1\nriga 2"));
    layout->addWidget(edit);
    layout->addWidget(labelled);
    layout->addWidget(memo);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    edit->setCursorPosition(0);
    FocusField(edit);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->cursorPosition(), edit->text().size());

    edit->setCursorPosition(2);
    FocusField(edit, true);
    QCOMPARE(edit->cursorPosition(), 2);

    inner->setCursorPosition(0);
    FocusField(labelled);
    QVERIFY(inner->hasFocus());
    QCOMPARE(inner->cursorPosition(), inner->text().size());

    FocusField(memo);
    QVERIFY(memo->textCursor().atEnd());
    FocusField(nullptr); // never fails
}

void TestWindowRoutines::labelLineCount()
{
    QLabel label;
    label.setWordWrap(true);
    const QFontMetrics fm(label.font());
    label.setFixedWidth(fm.horizontalAdvance(QStringLiteral("parola parola")) + 4);
    label.setText(QString());
    QCOMPARE(LabelLineCount(&label), 0);
    label.setText(QStringLiteral("parola"));
    QCOMPARE(LabelLineCount(&label), 1);
    label.setText(QStringLiteral("parola parola parola parola parola parola"));
    QCOMPARE(LabelLineCount(&label), 3);
    label.setText(QStringLiteral("parola\r\n\r\nparola"));
    QCOMPARE(LabelLineCount(&label), 3);
}

void TestWindowRoutines::centerTreeSelection()
{
    QTreeWidget tree;
    tree.resize(300, 200);
    QTreeWidgetItem *target = nullptr;
    for (int i = 0; i < 200; ++i) {
        auto *item = new QTreeWidgetItem(&tree, {QStringLiteral("Nodo %1").arg(i)});
        if (i == 120)
            target = item;
    }
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    tree.setCurrentItem(target);
    tree.scrollToTop();
    CenterTreeSelection(&tree);
    const QRect r = tree.visualItemRect(target);
    const int middle = tree.viewport()->height() / 2;
    QVERIFY2(qAbs(r.center().y() - middle) <= r.height(),
             qPrintable(QStringLiteral("%1 vs %2").arg(r.center().y()).arg(middle)));
}

QTEST_MAIN(TestWindowRoutines)
#include "tst_windowroutines.moc"
