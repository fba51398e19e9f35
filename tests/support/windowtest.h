#pragma once

// Helpers that act on windows as an operator does: the grid's popup menu, typing into a
// labelled field, the focus, the grid's current values.

#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "db/dataset.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

// The actions of a popup and its submenus, depth first.
inline QList<QAction *> PopupActions(QMenu *menu)
{
    QList<QAction *> all;
    for (QAction *a : menu->actions()) {
        all << a;
        if (a->menu())
            all << PopupActions(a->menu());
    }
    return all;
}

// The captions the grid's popup offers for its current row (separators as "-").
inline QStringList MenuCaptions(TKRTGrid *grid)
{
    grid->OpenPopupAt(0, QPoint(10, 10));
    QStringList captions;
    if (TKRTPopupMenu *popup = grid->PopupMenu()) {
        for (QAction *a : PopupActions(popup))
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        popup->close();
    }
    return captions;
}

// Chooses the entry of the grid's popup with that caption, as the operator does.
inline bool ChooseMenu(TKRTGrid *grid, const QString &caption)
{
    grid->OpenPopupAt(0, QPoint(10, 10));
    TKRTPopupMenu *popup = grid->PopupMenu();
    if (!popup)
        return false;
    for (QAction *a : PopupActions(popup)) {
        if (!a->isSeparator() && a->text() == caption && a->isVisible() && a->isEnabled()) {
            popup->close();
            a->trigger();
            return true;
        }
    }
    popup->close();
    return false;
}

// Types into a labelled edit as the operator does (the field's own case and length rules
// apply), after emptying it. Every character is a key press carrying its text, accented ones
// included.
inline void TypeInto(TKRTLabelEdit *edit, const QString &text)
{
    QVERIFY(edit);
    edit->ClearField();
    QWidget *target = edit->Edit();
    target->setFocus();
    for (const QChar c : text) {
        const int key = c.unicode() < 128 && c.isLetterOrNumber() ? c.toUpper().unicode()
                                                                  : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
    edit->Edit()->ValidateDisplayed();
}

// The control that has the focus inside its window (the offscreen windows are not active).
inline bool HasFocus(QWidget *control)
{
    return control && control->window()->focusWidget() == control;
}

// The current row's value of a field of the grid's dataset.
inline QString CurrentValue(TKRTGrid *grid, const QString &field)
{
    TDataSet *ds = grid->DataSet();
    if (!ds || ds->RecordCount() == 0)
        return QString();
    return ds->FieldByName(field).AsString();
}

// Rows of the grid's dataset whose field equals the value (ignoring case).
inline int CountRows(TKRTGrid *grid, const QString &field, const QString &value)
{
    TDataSet *ds = grid->DataSet();
    if (!ds)
        return 0;
    const int column = ds->FieldIndex(field);
    int n = 0;
    for (int r = 0; r < ds->RecordCount(); ++r) {
        if (ds->ValueAt(r, column).toString().compare(value, Qt::CaseInsensitive) == 0)
            ++n;
    }
    return n;
}

// Calls open, which shows a modal window, and runs act on that window (of class W) from the
// modal window's own event loop; act ends with the window closed. True when the window came
// and act ran. Nothing is left pending when open showed no such window.
template<class W>
bool RunWhileModal(const std::function<void()> &open, const std::function<void(W *)> &act)
{
    bool ran = false;
    QObject pending;
    QTimer::singleShot(0, &pending, [&ran, &act] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if (!w)
            return;
        ran = true;
        act(w);
    });
    open();
    return ran;
}
