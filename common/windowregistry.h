#pragma once

// Windows opened by the main window's launcher, keyed by component name ("GESTIONE_CLIENTI").
//
// A window registers its factory once, with a TWindowRegistration object at namespace scope in
// its own .cpp:
//
//     static const TWindowRegistration registration("GESTIONE_CLIENTI", [](QWidget *parent) {
//         return new TGESTIONE_CLIENTI(parent);
//     });
//
// The launcher then creates it by name without knowing its class. The program and the tests
// link the business folders whole (app/CMakeLists.txt), so these objects are never dropped by
// the linker. Names are compared without regard to case.

#include <QString>
#include <QStringList>

#include <functional>

class QDateTime;
class QWidget;

// Makes a new window for an MDI child of the main window; parent is the window's owner.
using TWindowFactory = std::function<QWidget *(QWidget *parent)>;

// A later registration under the same name replaces the earlier one.
void RegisterWindow(const QString &componentName, TWindowFactory factory);
void UnregisterWindow(const QString &componentName);
bool IsWindowRegistered(const QString &componentName);
// The factory registered under the name; empty when none (RegisterWindow with it restores the
// state, which lets a test put a window of its own in place for a while).
TWindowFactory RegisteredWindowFactory(const QString &componentName);
QStringList RegisteredWindows(); // upper case, sorted

// A new window made by the registered factory; its objectName is set to the component name when
// the factory left it empty, so FindOpenForm finds it. nullptr when nothing is registered.
QWidget *CreateRegisteredWindow(const QString &componentName, QWidget *parent);

struct TWindowRegistration
{
    TWindowRegistration(const QString &componentName, TWindowFactory factory)
    {
        RegisterWindow(componentName, std::move(factory));
    }
};

// The main window's debug pane, reachable from every window without knowing the main window.
// The main window installs the sink while it lives; without one, lines are dropped.
void SetDebugLineSink(std::function<void(const QString &line)> sink);
void AppendDebugLine(const QString &line);
// "<class>.<operation>: INIZIO: hh:mm:ss.zzz, FINE: hh:mm:ss.zzz, DURATA: mm:ss.zzz"
QString DebugTimingLine(const QString &className,
                        const QString &operation,
                        const QDateTime &start,
                        const QDateTime &end);
// Appends the timing line of a heavy operation, only for an administrator whose debug pane is
// open (SessionInfo().bAdministrator and iDebugPaneHeight > 0).
void AppendDebugTiming(const QString &className,
                       const QString &operation,
                       const QDateTime &start,
                       const QDateTime &end);
