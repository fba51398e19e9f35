#include "common/windowroutines.h"

#include "common/tstd_progress.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QTreeView>

namespace {

bool SameName(const QObject *o, const QString &name)
{
    return o && !name.isEmpty() && o->objectName().compare(name, Qt::CaseInsensitive) == 0;
}

QMdiSubWindow *SubWindowOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(p))
            return sub;
        if (p->isWindow())
            break;
    }
    return nullptr;
}

QLineEdit *InnerEditor(QWidget *control)
{
    if (auto *e = qobject_cast<QLineEdit *>(control))
        return e;
    if (auto *e = qobject_cast<QLineEdit *>(control->focusProxy()))
        return e;
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->lineEdit();
    return control->findChild<QLineEdit *>();
}

// Centre of a rectangle of size inner inside outer, never left or above outer's origin.
QPoint CenteredIn(const QRect &outer, const QSize &inner)
{
    return {outer.left() + qMax(0, (outer.width() - inner.width()) / 2),
            outer.top() + qMax(0, (outer.height() - inner.height()) / 2)};
}

} // namespace

QRect WorkAreaOf(const QWidget *w)
{
    QScreen *screen = w ? w->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QWidget *FindOpenForm(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (SameName(w, name))
            return w;
    }
    for (QWidget *w : windows) {
        const QList<QMdiArea *> areas = w->findChildren<QMdiArea *>();
        for (QMdiArea *area : areas) {
            const QList<QMdiSubWindow *> subs = area->subWindowList();
            for (QMdiSubWindow *sub : subs) {
                if (SameName(sub->widget(), name))
                    return sub->widget();
                if (SameName(sub, name))
                    return sub->widget() ? sub->widget() : sub;
            }
        }
    }
    return nullptr;
}

bool IsFormOpen(const QString &name)
{
    return FindOpenForm(name) != nullptr;
}

void BringWindowToFront(QWidget *window)
{
    if (!window)
        return;
    TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance();
    if (wait)
        wait->ShowWait();
    if (QMdiSubWindow *sub = SubWindowOf(window)) {
        sub->showNormal();
        window->show();
        sub->raise();
        if (QMdiArea *area = sub->mdiArea())
            area->setActiveSubWindow(sub);
        QWidget *top = sub->window();
        top->raise();
        top->activateWindow();
    } else {
        QWidget *top = window->window();
        top->showNormal();
        top->raise();
        top->activateWindow();
    }
    if (wait)
        wait->Hide();
}

QMdiArea *MdiAreaOf(QWidget *window)
{
    QMdiSubWindow *sub = SubWindowOf(window);
    return sub ? sub->mdiArea() : nullptr;
}

QWidget *OpenChildWindow(const QString &name,
                         QMdiArea *area,
                         const std::function<QWidget *(QWidget *parent)> &create,
                         const std::function<void(QWidget *window)> &start,
                         bool *created)
{
    if (created)
        *created = false;
    if (QWidget *open = FindOpenForm(name)) {
        BringWindowToFront(open);
        return open;
    }
    QWidget *window = create ? create(area) : nullptr;
    if (!window)
        return nullptr;
    if (window->objectName().isEmpty())
        window->setObjectName(name);
    if (created)
        *created = true;
    if (!area) {
        if (start)
            start(window);
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }
    // The sub-window takes the size hint of its widget, not the size the window chose for
    // itself: keep that size (within the area) and open it in the area's middle. Windows
    // that size their frame when first shown still do so.
    const QSize asked = window->testAttribute(Qt::WA_Resized) ? window->size() : QSize();
    QMdiSubWindow *sub = AddMdiChild(area, window);
    sub->setWindowIcon(window->windowIcon());
    if (asked.isValid() && area->viewport()) {
        const QSize frame = sub->sizeHint() - window->sizeHint();
        const QRect free = area->viewport()->rect();
        sub->resize((asked + frame).boundedTo(free.size()).expandedTo(sub->minimumSizeHint()));
        sub->move(CenteredIn(free, sub->size()));
    }
    if (start)
        start(window);
    sub->show();
    area->setActiveSubWindow(sub);
    return window;
}

namespace {

// Watches the window inside a sub-window: once a close of the window itself went through, the
// frame goes too. A close that came through the frame finds the frame already gone; a refused
// close leaves the window visible and nothing happens.
class TFrameFollower : public QObject
{
public:
    TFrameFollower(QMdiSubWindow *sub, QWidget *window)
        : QObject(sub)
        , m_sub(sub)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Close)
            QTimer::singleShot(0, m_sub, [sub = m_sub, window = m_window] {
                if (window && window->isVisible())
                    return;
                if (sub->isVisible()) {
                    sub->hide();
                    sub->deleteLater();
                }
            });
        return false;
    }

private:
    QMdiSubWindow *m_sub;
    QPointer<QWidget> m_window;
};

} // namespace

QMdiSubWindow *AddMdiChild(QMdiArea *area, QWidget *window)
{
    QMdiSubWindow *sub = area->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    new TFrameFollower(sub, window);
    return sub;
}

void CenterPanelInForm(QWidget *panel, QWidget *form, int topOffset)
{
    if (!panel || !form)
        return;
    QRect area = form->contentsRect();
    area.setTop(area.top() + topOffset);
    QPoint pos = CenteredIn(area, panel->size());
    if (panel->parentWidget() && panel->parentWidget() != form)
        pos = panel->parentWidget()->mapFrom(form, pos);
    panel->move(pos);
}

void CenterPanelInPanel(QWidget *panel, QWidget *container)
{
    CenterPanelInForm(panel, container, 0);
}

void CenterInMainArea(QWidget *window, QWidget *mainWindow, int launcherWidth, int debugHeight)
{
    if (!window || !mainWindow)
        return;
    QWidget *client = mainWindow;
    if (auto *mw = qobject_cast<QMainWindow *>(mainWindow); mw && mw->centralWidget())
        client = mw->centralWidget();
    const QSize free(qMax(0, client->width() - launcherWidth),
                     qMax(0, client->height() - debugHeight));

    if (QMdiSubWindow *sub = SubWindowOf(window)) {
        QMdiArea *area = sub->mdiArea();
        // Inside the MDI area, whose origin is the central area's origin.
        QPoint origin(0, 0);
        if (area && client->isAncestorOf(area->viewport()))
            origin = area->viewport()->mapFrom(client, QPoint(0, 0));
        sub->move(CenteredIn(QRect(origin, free), sub->size()));
        return;
    }
    const QPoint globalOrigin = client->mapToGlobal(QPoint(0, 0));
    QWidget *top = window->window();
    const QSize size = top->frameGeometry().size();
    top->move(CenteredIn(QRect(globalOrigin, free), size));
}

void CenterOnWorkArea(QWidget *window)
{
    PlaceOnWorkArea(window, 2);
}

void PlaceOnWorkArea(QWidget *window, int position)
{
    if (!window)
        return;
    const QRect area = WorkAreaOf(window);
    const QSize size = window->frameGeometry().size();
    const int middle = area.left() + area.width() / 2;
    const int y = area.top() + (area.height() - size.height()) / 2;
    int x = area.left() + (area.width() - size.width()) / 2;
    if (position == 0)
        x = middle - size.width();
    else if (position == 1)
        x = middle;
    window->move(x, y);
}

void FocusField(QWidget *control, bool keepCaret)
{
    if (!control)
        return;
    if (auto *plain = qobject_cast<QPlainTextEdit *>(control)) {
        plain->setFocus(Qt::OtherFocusReason);
        if (!keepCaret)
            plain->moveCursor(QTextCursor::End);
        return;
    }
    if (auto *rich = qobject_cast<QTextEdit *>(control)) {
        rich->setFocus(Qt::OtherFocusReason);
        if (!keepCaret)
            rich->moveCursor(QTextCursor::End);
        return;
    }
    QLineEdit *editor = InnerEditor(control);
    if (editor && control->focusPolicy() == Qt::NoFocus && !control->focusProxy())
        editor->setFocus(Qt::OtherFocusReason);
    else
        control->setFocus(Qt::OtherFocusReason);
    if (editor && !keepCaret)
        editor->end(false);
}

int LabelLineCount(const QLabel *label)
{
    if (!label)
        return 0;
    QString text = label->text();
    if (text.isEmpty())
        return 0;
    text.remove(u'\r');
    const int width = qMax(1,
                           label->contentsRect().width() - 2 * qMax(0, label->margin())
                               - qMax(0, label->indent()));
    int lines = 0;
    const QStringList paragraphs = text.split(u'\n');
    for (const QString &paragraph : paragraphs) {
        QTextLayout layout(paragraph, label->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int n = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++n;
        }
        layout.endLayout();
        lines += qMax(1, n);
    }
    return lines;
}

void CenterTreeSelection(QTreeView *tree)
{
    if (!tree || !tree->model())
        return;
    QModelIndex index = tree->currentIndex();
    if (QItemSelectionModel *sel = tree->selectionModel(); sel && sel->hasSelection()) {
        const QModelIndexList rows = sel->selectedRows();
        if (!rows.isEmpty() && !rows.contains(index.siblingAtColumn(0)))
            index = rows.first();
    }
    if (index.isValid())
        tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void PlaceMessageWindow(
    QWidget *window, QLabel *text, int position, double heightFactor, double widthFactor)
{
    window->adjustSize();
    QSize size = window->sizeHint().expandedTo(window->minimumSizeHint());
    if (heightFactor > 1) {
        size.setHeight(qRound(size.height() * heightFactor));
        text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    }
    if (widthFactor > 1)
        size.setWidth(qRound(size.width() * widthFactor));
    window->resize(size);
    PlaceOnWorkArea(window, position);
}
