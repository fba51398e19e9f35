// Windows opened by name, as the launcher opens them: this file names no window class, so the
// windows are there only because the test links the business libraries whole. Each opens as a
// single child window of the MDI area; asked again, the open one comes to the front.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "common/windowregistry.h"
#include "common/windowroutines.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

class tst_registeredwindows : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;

    static QWidget *Open(QMdiArea *area, const QString &name, bool *created = nullptr)
    {
        return OpenChildWindow(
            name,
            area,
            [&name](QWidget *parent) { return CreateRegisteredWindow(name, parent); },
            {},
            created);
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup()
    {
        env->Recorder().QueueYes();
        env.reset();
    }

    void openedByName_data();
    void openedByName();
};

void tst_registeredwindows::openedByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("firstEntry");
    QTest::newRow("customers") << "gestione_clienti"
                               << "Gestione anagrafiche clienti"
                               << "DG_Clienti"
                               << "Nuovo cliente";
    QTest::newRow("companies") << "GESTIONE_SOCIETA"
                               << "Gestione dati società"
                               << "DG_Societa"
                               << "Nuova società";
}

void tst_registeredwindows::openedByName()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, grid);
    QFETCH(QString, firstEntry);
    QVERIFY2(IsWindowRegistered(name), qPrintable(RegisteredWindows().join(u',')));

    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1600, 1000);
    main.show();

    bool created = false;
    QPointer<QWidget> w = Open(area, name, &created);
    QVERIFY(w);
    QVERIFY(created);
    QCOMPARE(w->objectName(), name.toUpper());
    QCOMPARE(w->windowTitle(), caption);
    QCOMPARE(area->subWindowList().size(), 1);
    QCOMPARE(area->activeSubWindow()->widget(), w.data());
    QVERIFY(w->isVisible());
    // A working list window: its grid offers its menu.
    auto *g = w->findChild<TKRTGrid *>(grid);
    QVERIFY(g);
    QCOMPARE(MenuCaptions(g).value(0), firstEntry);

    // Asked again, minimized meanwhile: the same window, restored and active.
    area->subWindowList().at(0)->showMinimized();
    QCOMPARE(Open(area, name, &created), w.data());
    QVERIFY(!created);
    QCOMPARE(area->subWindowList().size(), 1);
    QVERIFY(!area->activeSubWindow()->isMinimized());

    // Closed, a new one opens.
    area->activeSubWindow()->close();
    QTRY_VERIFY(!w);
    QVERIFY(Open(area, name, &created));
    QVERIFY(created);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    area->closeAllSubWindows();
}

QTEST_MAIN(tst_registeredwindows)
#include "tst_registeredwindows.moc"
