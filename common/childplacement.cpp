#include "common/childplacement.h"

#include "common/sessioninfo.h"
#include "common/windowroutines.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

TChildArea ChildFreeArea(QWidget *window)
{
    TChildArea area;
    for (QWidget *w = window ? window->parentWidget() : nullptr; w && !area.main;
         w = w->parentWidget()) {
        if (qobject_cast<QMdiArea *>(w))
            area.main = w->window();
    }
    area.debug = SessionInfo().iDebugPaneHeight;
    if (area.main) {
        QWidget *client = area.main;
        if (auto *mw = qobject_cast<QMainWindow *>(area.main); mw && mw->centralWidget())
            client = mw->centralWidget();
        if (QWidget *pan = area.main->findChild<QWidget *>(QStringLiteral("PAN_Funzioni"));
            pan && pan->isVisible())
            area.launcher = pan->width();
        area.free = QSize(qMax(0, client->width() - area.launcher),
                          qMax(0, client->height() - area.debug));
    } else {
        area.free = WorkAreaOf(window).size();
    }
    return area;
}

QSize PlaceChildFirstTime(QWidget *window, double widthShare, double heightShare, double minShare)
{
    if (!window)
        return {};
    QWidget *frame = window;
    for (QWidget *w = window->parentWidget(); w && !qobject_cast<QMdiArea *>(w);
         w = w->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w)) {
            frame = sub;
            break;
        }
    }
    const TChildArea area = ChildFreeArea(window);
    auto share = [](int whole, double part) { return int(whole * part + 0.5); };
    frame->setMinimumSize(share(area.free.width(), minShare), share(area.free.height(), minShare));
    frame->resize(share(area.free.width(), widthShare), share(area.free.height(), heightShare));
    if (area.main)
        CenterInMainArea(window, area.main, area.launcher, area.debug);
    else
        CenterOnWorkArea(window);
    return window->size();
}
