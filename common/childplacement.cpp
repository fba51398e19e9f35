#include "common/childplacement.h"

#include "common/sessioninfo.h"
#include "common/windowroutines.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

QSize PlaceChildFirstTime(QWidget *window, double widthShare, double heightShare, double minShare)
{
    if (!window)
        return {};
    QWidget *frame = window;
    QWidget *main = nullptr;
    for (QWidget *w = window->parentWidget(); w && !main; w = w->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w); sub && frame == window)
            frame = sub;
        if (qobject_cast<QMdiArea *>(w))
            main = w->window();
    }
    const int debug = SessionInfo().iDebugPaneHeight;
    int launcher = 0;
    QSize free;
    if (main) {
        QWidget *client = main;
        if (auto *mw = qobject_cast<QMainWindow *>(main); mw && mw->centralWidget())
            client = mw->centralWidget();
        if (QWidget *pan = main->findChild<QWidget *>(QStringLiteral("PAN_Funzioni"));
            pan && pan->isVisible())
            launcher = pan->width();
        free = QSize(qMax(0, client->width() - launcher), qMax(0, client->height() - debug));
    } else {
        QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        free = screen ? screen->availableGeometry().size() : QSize(1280, 900);
    }
    auto share = [](int whole, double part) { return int(whole * part + 0.5); };
    frame->setMinimumSize(share(free.width(), minShare), share(free.height(), minShare));
    frame->resize(share(free.width(), widthShare), share(free.height(), heightShare));
    if (main)
        CenterInMainArea(window, main, launcher, debug);
    else
        CenterOnWorkArea(window);
    return window->size();
}
