#include "common/dialogs.h"

#include "common/formats.h"
#include "common/tstd_ok.h"
#include "common/tstd_progress.h"
#include "common/tstd_yesno.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#ifdef VENTOREL_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#endif

#include <cstdio>
#include <cstdlib>

namespace {

TDialogResponder *g_responder = nullptr;
std::function<void(int)> g_terminateHandler;

void HideWaitWindow()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

TDialogAnswer Ask(TDialogKind kind,
                  const QString &text,
                  const QString &directory = QString(),
                  const QString &filter = QString(),
                  const QString &value = QString())
{
    TDialogRequest request;
    request.kind = kind;
    request.text = text;
    request.directory = directory;
    request.filter = filter;
    request.value = value;
    return g_responder->Respond(request);
}

Qt::Alignment AlignmentOf(TInfoAlign align)
{
    switch (align) {
    case TInfoAlign::Left:
        return Qt::AlignLeft;
    case TInfoAlign::Right:
        return Qt::AlignRight;
    case TInfoAlign::Center:
        break;
    }
    return Qt::AlignHCenter;
}

void ShowOkWindow(
    TSTD_OK::TIcon icon, const QString &text, int position, double heightFactor, double widthFactor)
{
    TSTD_OK window;
    window.Setup(icon, text);
    window.Place(position, heightFactor, widthFactor);
    window.exec();
}

// The program cannot go on: windows disappear at once and the process ends with the code.
void DefaultTerminate(int code)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        w->hide();
    QCoreApplication::exit(code);
    std::fflush(nullptr);
    std::exit(code);
}

QUrl UrlOf(const QString &pathOrUrl)
{
    const QUrl url(pathOrUrl, QUrl::StrictMode);
    // A scheme of one letter would be a drive ("C:/..."), not an address.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
}

} // namespace

void SetDialogResponder(TDialogResponder *responder)
{
    g_responder = responder;
}

TDialogResponder *DialogResponder()
{
    return g_responder;
}

void ShowErrorBox(const QString &text, int position, double heightFactor, double widthFactor)
{
    HideWaitWindow();
    if (g_responder)
        Ask(TDialogKind::Error, text);
    else
        ShowOkWindow(TSTD_OK::TIcon::Error, text, position, heightFactor, widthFactor);
    CheckLostConnection(text);
}

void ShowWarningBox(const QString &text)
{
    HideWaitWindow();
    if (g_responder) {
        Ask(TDialogKind::Warning, text);
        return;
    }
    ShowOkWindow(TSTD_OK::TIcon::Warning, text, 2, 1, 1);
}

void ShowInfoBox(const QString &text, TInfoAlign align, bool inMemo, bool modal)
{
    HideWaitWindow();
    if (g_responder) {
        Ask(TDialogKind::Info, text);
        return;
    }
    if (modal) {
        TSTD_OK window;
        window.Setup(TSTD_OK::TIcon::Info, text, AlignmentOf(align), inMemo);
        window.Place();
        window.exec();
        return;
    }
    // Shown without waiting; it frees itself at "Ok".
    auto *window = new TSTD_OK(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
    window->Setup(TSTD_OK::TIcon::Info, text, AlignmentOf(align), inMemo);
    window->Place();
    window->show();
    window->raise();
}

bool AskYesNo(const QString &text, int position, double heightFactor, double widthFactor)
{
    HideWaitWindow();
    if (g_responder)
        return Ask(TDialogKind::Question, text).accepted;
    TSTD_YESNO window;
    window.Setup(text);
    window.Place(position, heightFactor, widthFactor);
    window.show();
    window.raise();
    window.activateWindow();
    return window.exec() == QDialog::Accepted;
}

void CheckLostConnection(const QString &text)
{
    const bool providerMarks = text.contains(QLatin1String("[DBNETLIB]"))
                               && text.contains(QLatin1String("ConnectionWrite"))
                               && text.contains(QLatin1String("Errore di rete generico"));
    if (!providerMarks && !text.contains(QLatin1String(kLostConnectionMark)))
        return;
    ShowErrorBox(QStringLiteral("La connessione con il database si è interrotta.") + LineBreaks(2)
                 + QStringLiteral("Ventorel si chiuderà, rilanciarlo") + LineBreaks(1)
                 + QStringLiteral("per continuare l'attività in corso."));
    TerminateProgram(1);
}

void SetTerminateHandler(std::function<void(int)> handler)
{
    g_terminateHandler = std::move(handler);
}

void TerminateProgram(int code)
{
    if (g_responder)
        Ask(TDialogKind::Terminate, QString::number(code));
    if (g_terminateHandler)
        g_terminateHandler(code);
    else if (!g_responder)
        DefaultTerminate(code);
}

QString AskOpenFileName(const QString &caption, const QString &directory, const QString &filter)
{
    HideWaitWindow();
    if (g_responder) {
        const TDialogAnswer a = Ask(TDialogKind::OpenFile, caption, directory, filter);
        return a.accepted ? a.value : QString();
    }
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, directory, filter);
}

QString AskSaveFileName(const QString &caption,
                        const QString &directory,
                        const QString &filter,
                        const QString &proposedName)
{
    HideWaitWindow();
    if (g_responder) {
        const TDialogAnswer a = Ask(TDialogKind::SaveFile, caption, directory, filter, proposedName);
        return a.accepted ? a.value : QString();
    }
    QString start = directory;
    if (!proposedName.isEmpty())
        start = directory.isEmpty() ? proposedName : QDir(directory).filePath(proposedName);
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, start, filter);
}

QString AskFolder(const QString &caption, const QString &directory)
{
    HideWaitWindow();
    if (g_responder) {
        const TDialogAnswer a = Ask(TDialogKind::ChooseFolder, caption, directory);
        return a.accepted ? a.value : QString();
    }
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, directory);
}

bool OpenWithSystem(const QString &pathOrUrl)
{
    if (g_responder)
        return Ask(TDialogKind::OpenWithSystem, pathOrUrl).accepted;
    if (pathOrUrl.isEmpty())
        return false;
    return QDesktopServices::openUrl(UrlOf(pathOrUrl));
}

bool ShowInFileBrowser(const QString &path)
{
    if (g_responder)
        return Ask(TDialogKind::ShowInFileBrowser, path).accepted;
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
#ifdef VENTOREL_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(service).value()) {
        QDBusMessage call = QDBusMessage::createMethodCall(service,
                                                           QStringLiteral(
                                                               "/org/freedesktop/FileManager1"),
                                                           service,
                                                           QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
#endif
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
