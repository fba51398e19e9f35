#pragma once

// Finding, raising, placing and focusing windows and controls.

#include <QRect>
#include <QString>

#include <functional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTreeView;
class QWidget;

// A window of the application with that component name (objectName, ignoring case): top-level
// windows and the widgets of MDI sub-windows. Hidden windows count (the wait window is one).
QWidget *FindOpenForm(const QString &name);
bool IsFormOpen(const QString &name);
// Wait window, restore the window to its normal state, bring it to the front and activate it
// (an MDI child through its sub-window), hide the wait window.
void BringWindowToFront(QWidget *window);

// The MDI area the window lives in (through its sub-window), or nullptr.
QMdiArea *MdiAreaOf(QWidget *window);
// A single child window: the open window with that component name is brought to the front
// (BringWindowToFront) and returned; otherwise create(parent) makes one, which becomes a
// sub-window of area (freed when closed; a top-level window without an area), start(window)
// prepares it, and it is shown and activated. create may return nullptr (nothing opens) or
// raise (nothing is added). *created tells whether a new window was made.
QWidget *OpenChildWindow(const QString &name,
                         QMdiArea *area,
                         const std::function<QWidget *(QWidget *parent)> &create,
                         const std::function<void(QWidget *window)> &start = {},
                         bool *created = nullptr);

// Makes window a sub-window of area, freed when closed. A window that closes itself (its own
// "Ok" or "Chiudi") takes its frame with it instead of leaving an empty frame behind.
QMdiSubWindow *AddMdiChild(QMdiArea *area, QWidget *window);

// Centres panel in form's client area below topOffset (panel is a descendant of form).
void CenterPanelInForm(QWidget *panel, QWidget *form, int topOffset = 0);
// Centres panel in container's client area.
void CenterPanelInPanel(QWidget *panel, QWidget *container);
// Centres a child window in the main window's central area less the launcher panel width (on
// the right) and the debug pane height (at the bottom). An MDI child is moved inside its MDI
// area; another window is placed over the same area on the screen.
void CenterInMainArea(QWidget *window, QWidget *mainWindow, int launcherWidth, int debugHeight);
// The work area (available geometry) of the window's screen, else of the primary screen.
QRect WorkAreaOf(const QWidget *window);
// Centres a window on the work area of its screen.
void CenterOnWorkArea(QWidget *window);
// position 0: the window's right edge at the middle of the work area; 1: its left edge at the
// middle; other: centred. Vertically centred in every case.
void PlaceOnWorkArea(QWidget *window, int position);
// Sizes a message window to its content, enlarged by each factor above 1, and places it with
// PlaceOnWorkArea; a taller window aligns its text top-left.
void PlaceMessageWindow(
    QWidget *window, QLabel *text, int position, double heightFactor, double widthFactor);

// Gives the control the focus (never failing visibly); unless keepCaret, the caret goes after
// the last character of the control when it is an editor, or of its inner editor.
void FocusField(QWidget *control, bool keepCaret = false);
// How many lines the label's text takes when wrapped at the label's width (0 when empty).
int LabelLineCount(const QLabel *label);
// Scrolls the tree so that the selected node is in the vertical middle.
void CenterTreeSelection(QTreeView *tree);
