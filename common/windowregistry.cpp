#include "common/windowregistry.h"

#include "common/sessioninfo.h"

#include <QDateTime>
#include <QWidget>

#include <map>

namespace {

// Built on first use, so registrations made while static objects are constructed are safe.
std::map<QString, TWindowFactory> &registry()
{
    static std::map<QString, TWindowFactory> factories;
    return factories;
}

std::function<void(const QString &)> &debugSink()
{
    static std::function<void(const QString &)> sink;
    return sink;
}

QString keyOf(const QString &componentName)
{
    return componentName.trimmed().toUpper();
}

} // namespace

void RegisterWindow(const QString &componentName, TWindowFactory factory)
{
    if (!factory) {
        UnregisterWindow(componentName);
        return;
    }
    registry()[keyOf(componentName)] = std::move(factory);
}

void UnregisterWindow(const QString &componentName)
{
    registry().erase(keyOf(componentName));
}

bool IsWindowRegistered(const QString &componentName)
{
    return registry().count(keyOf(componentName)) > 0;
}

TWindowFactory RegisteredWindowFactory(const QString &componentName)
{
    const auto found = registry().find(keyOf(componentName));
    return found == registry().end() ? TWindowFactory() : found->second;
}

QStringList RegisteredWindows()
{
    QStringList names;
    for (const auto &entry : registry())
        names << entry.first;
    return names;
}

QWidget *CreateRegisteredWindow(const QString &componentName, QWidget *parent)
{
    const auto it = registry().find(keyOf(componentName));
    if (it == registry().end())
        return nullptr;
    QWidget *window = it->second(parent);
    if (window && window->objectName().isEmpty())
        window->setObjectName(keyOf(componentName));
    return window;
}

void SetDebugLineSink(std::function<void(const QString &)> sink)
{
    debugSink() = std::move(sink);
}

void AppendDebugLine(const QString &line)
{
    if (debugSink())
        debugSink()(line);
}

QString DebugTimingLine(const QString &className,
                        const QString &operation,
                        const QDateTime &start,
                        const QDateTime &end)
{
    const qint64 ms = qMax<qint64>(0, start.msecsTo(end));
    const QString duration = QStringLiteral("%1:%2.%3")
                                 .arg(ms / 60000, 2, 10, QLatin1Char('0'))
                                 .arg((ms / 1000) % 60, 2, 10, QLatin1Char('0'))
                                 .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    const QString format = QStringLiteral("hh:mm:ss.zzz");
    return className + u'.' + operation + QStringLiteral(": INIZIO: ") + start.toString(format)
           + QStringLiteral(", FINE: ") + end.toString(format) + QStringLiteral(", DURATA: ")
           + duration;
}

void AppendDebugTiming(const QString &className,
                       const QString &operation,
                       const QDateTime &start,
                       const QDateTime &end)
{
    const TSessionInfo &s = SessionInfo();
    if (s.bAdministrator && s.iDebugPaneHeight > 0)
        AppendDebugLine(DebugTimingLine(className, operation, start, end));
}
