#pragma once

// Size and place of a child window the first time it is shown.

#include <QSize>

class QWidget;

// Where a child window of the main window is placed: the main window holding its MDI area
// (none for a window of its own), the launcher panel's width and the debug pane's height, and
// the free area left by them (the screen's work area for a window of its own).
struct TChildArea
{
    QWidget *main = nullptr;
    int launcher = 0;
    int debug = 0;
    QSize free;
};
TChildArea ChildFreeArea(QWidget *window);

// The window's frame (its MDI sub-window when it has one) takes the given shares of the main
// window's free area (central area less the launcher panel and the debug pane; the screen's
// work area for a window outside the main window), never less than minShare of each, and is
// centred there. Answers the window's new size.
QSize PlaceChildFirstTime(QWidget *window, double widthShare, double heightShare, double minShare);
