#pragma once

// Size and place of a child window the first time it is shown.

#include <QSize>

class QWidget;

// The window's frame (its MDI sub-window when it has one) takes the given shares of the main
// window's free area (central area less the launcher panel and the debug pane; the screen's
// work area for a window outside the main window), never less than minShare of each, and is
// centred there. Answers the window's new size.
QSize PlaceChildFirstTime(QWidget *window, double widthShare, double heightShare, double minShare);
