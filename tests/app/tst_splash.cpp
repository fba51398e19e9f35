// The start-up window.

#include "app/pgm_splash.h"
#include "common/texts.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class tst_Splash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookAndPlace();
    void closesOnOperatorAction_data();
    void closesOnOperatorAction();
    void closesByItself();
    void staysAboveLaterWindows();
};

void tst_Splash::lookAndPlace()
{
    TPGM_SPLASH splash;
    splash.ShowCentered();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));

    auto *version = splash.findChild<QLabel *>(QStringLiteral("SF_VersionNumber"));
    QVERIFY(version);
    QCOMPARE(version->text(), QStringLiteral("V") + ProgramVersionText());
    QVERIFY(version->isVisible());
    QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(splash.frameGeometry().center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(splash.frameGeometry().center().y() - area.center().y()) <= 1);

    auto *timer = splash.findChild<QTimer *>(QStringLiteral("TM_Close"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 5000);

    // The program image is drawn: not a single flat colour.
    const QImage image = splash.grab().toImage();
    QVERIFY(image.pixelColor(10, 10) != image.pixelColor(image.width() - 10, image.height() - 10));
    const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR");
    if (!dir.isEmpty())
        image.save(QDir(dir).filePath(QStringLiteral("splash.png")));
}

void tst_Splash::closesOnOperatorAction_data()
{
    QTest::addColumn<bool>("click");
    QTest::newRow("click") << true;
    QTest::newRow("key press") << false;
}

void tst_Splash::closesOnOperatorAction()
{
    QFETCH(bool, click);
    TPGM_SPLASH splash;
    QSignalSpy closed(&splash, &TPGM_SPLASH::Closed);
    splash.ShowCentered();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    if (click)
        QTest::mouseClick(splash.findChild<QLabel *>(QStringLiteral("SF_VersionNumber")),
                          Qt::LeftButton);
    else
        QTest::keyClick(&splash, Qt::Key_Space);
    QVERIFY(!splash.isVisible());
    QCOMPARE(closed.count(), 1);
    QVERIFY(splash.IsClosed());
    QVERIFY(!splash.findChild<QTimer *>(QStringLiteral("TM_Close"))->isActive());
    splash.WaitClosed(); // returns at once once closed
}

void tst_Splash::closesByItself()
{
    TPGM_SPLASH splash;
    splash.ShowCentered();
    // The closing timer, shortened: when it fires the window closes and the wait ends.
    auto *timer = splash.findChild<QTimer *>(QStringLiteral("TM_Close"));
    timer->start(20);
    splash.WaitClosed();
    QVERIFY(splash.IsClosed());
    QVERIFY(!splash.isVisible());
}

// Runs on a real X server without a window manager (the CTest entry starts Xvfb): nothing but
// the program keeps the splash above the main window that is shown, raised and activated after
// it. What the screen shows at the splash's place is compared with the splash itself.
void tst_Splash::staysAboveLaterWindows()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server: run by the Xvfb entry of this test");
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    const QColor mainColour(200, 30, 30);

    TPGM_SPLASH splash;
    splash.ShowCentered();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QWidget main;
    main.setAutoFillBackground(true);
    QPalette palette = main.palette();
    palette.setColor(QPalette::Window, mainColour);
    main.setPalette(palette);
    main.setGeometry(area);
    splash.StayAbove(&main);

    const auto splashOnScreen = [&] {
        QTest::qWait(200); // the X server has handled the map and stacking requests
        const QRect r = splash.frameGeometry();
        const QImage shown = screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
        const QImage own = splash.grab().toImage();
        // A few points spread over the window: the splash's own pixels, not the main window's.
        for (const QPointF f : {QPointF(0.1, 0.1), QPointF(0.5, 0.5), QPointF(0.9, 0.9)}) {
            const QPoint p(int(r.width() * f.x()), int(r.height() * f.y()));
            if (shown.pixelColor(p) == mainColour || shown.pixelColor(p) != own.pixelColor(p))
                return false;
        }
        return true;
    };

    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY2(splashOnScreen(), "the main window shown later covers the splash");
    main.raise();
    main.activateWindow();
    QVERIFY2(splashOnScreen(), "the main window raised covers the splash");

    // Once closed, the splash no longer comes back above.
    splash.close();
    main.raise();
    QTest::qWait(200);
    QVERIFY(!splash.isVisible());
}

QTEST_MAIN(tst_Splash)
#include "tst_splash.moc"
