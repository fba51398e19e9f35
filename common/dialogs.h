#pragma once

// Standard messages, questions and file choices of the program.
//
// Every modal interaction goes through these routines. A test installs a TDialogResponder that
// records each message and answers each question, so no test ever blocks on a modal window.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

enum class TDialogKind {
    Error,
    Warning,
    Info,
    Question,
    OpenFile,
    SaveFile,
    ChooseFolder,
    InputText,
    OpenWithSystem,
    ShowInFileBrowser,
    Terminate
};

struct TDialogRequest
{
    TDialogKind kind = TDialogKind::Info;
    QString text;      // message, question, caption of a file dialog, path or address to open
    QString directory; // file dialogs: start folder
    QString filter;    // file dialogs: name filter ("Immagini (*.jpg *.png)")
    QString value;     // input: the proposed value; file dialogs: proposed name
};

struct TDialogAnswer
{
    bool accepted = false; // "Si" / "Ok"; false for "No", "Annulla"
    QString value;         // chosen path or typed text
};

// The test seam: when a responder is installed every request goes to it instead of a window.
class TDialogResponder
{
public:
    virtual ~TDialogResponder() = default;
    virtual TDialogAnswer Respond(const TDialogRequest &request) = 0;
};
void SetDialogResponder(TDialogResponder *responder); // Not owned; nullptr restores windows.
TDialogResponder *DialogResponder();

// position: 0 right edge at the middle of the work area, 1 left edge at the middle, other:
// centred. The factors enlarge height and width when above 1.
void ShowErrorBox(const QString &text,
                  int position = 2,
                  double heightFactor = 1,
                  double widthFactor = 1);
void ShowWarningBox(const QString &text);
enum class TInfoAlign { Left, Center, Right };
void ShowInfoBox(const QString &text,
                 TInfoAlign align = TInfoAlign::Center,
                 bool inMemo = false,
                 bool modal = true);
bool AskYesNo(const QString &text,
              int position = 2,
              double heightFactor = 1,
              double widthFactor = 1);

// When the text carries the marks of a broken connection, tell the operator and end the
// program. The three provider marks and our own lost-connection mark are recognised.
void CheckLostConnection(const QString &text);
// Mark put by the database layer in front of the text of an error that lost the connection.
inline constexpr const char *kLostConnectionMark = "[CONNESSIONE PERSA]";
// How the program ends after a lost connection (tests replace it). With a responder installed
// the end is only requested (TDialogKind::Terminate, text = the exit code) and, unless a
// handler is set, the program goes on. Default: every window is hidden, the event loop is told
// to quit and the process exits with the code at once, so no operation goes on over a
// connection that is gone.
void SetTerminateHandler(std::function<void(int)> handler);
void TerminateProgram(int code);

// File choices; empty result when cancelled.
QString AskOpenFileName(const QString &caption, const QString &directory, const QString &filter);
QString AskSaveFileName(const QString &caption,
                        const QString &directory,
                        const QString &filter,
                        const QString &proposedName = QString());
QString AskFolder(const QString &caption, const QString &directory);

// Opening files, folders and addresses with the desktop.
bool OpenWithSystem(const QString &pathOrUrl);
// Opens the file browser with the file selected where the desktop supports it, else its folder.
bool ShowInFileBrowser(const QString &path);
