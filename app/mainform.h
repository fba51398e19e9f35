#pragma once

#include <QMainWindow>
#include <QStringList>

#include <memory>

class QAction;
class QFrame;
class QMdiArea;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;
class TPGM_SPLASH;
class TSTD_DBMODULE;
class TSTD_PROGRESS;
struct TSessionInfo;

// The main window: the parent of every management window, with the status caption, the
// launcher panel, the developer menu, the debug pane and the connection indicator. It is
// created disabled; Start runs the splash and the logon, and only then is it enabled.
class TMAINFORM : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMAINFORM(QWidget *parent = nullptr);
    ~TMAINFORM() override;

    // Start-up: splash, database module, printers, the window shown disabled, the wait for the
    // splash, the command line, the logon. False when the logon was cancelled: the program
    // ends. The overload takes a splash made by the caller (Not owned).
    bool Start(const QStringList &arguments);
    bool Start(TPGM_SPLASH *splash, const QStringList &arguments);

    // The logon procedure, also run by the re-logon. False when the logon was cancelled.
    bool RunLogon();

    // The re-logon after the question: the logon procedure, and when another operator logged
    // on, every child window closed first (a cancelled logon ends the program). False when a
    // window refused to close: the previous operator then stays logged on.
    bool ReLogon();
    // True when both sessions are the same operator on the same catalog: his windows stay.
    static bool SameOperator(const TSessionInfo &a, const TSessionInfo &b);

    // Opens the function's window, or raises it when open; the button's tag guards re-entry.
    void OpenFunction(QPushButton *button, const QString &componentName);

    // Appends one line to the debug pane.
    void AddDebugLine(const QString &line);

    // The text of MNU_Info for the logged-on operator.
    static QString StatusCaption(const TSessionInfo &s);

    QMdiArea *MdiArea() const { return m_mdiArea; }
    int LauncherFullWidth() const { return m_launcherFullWidth; }

    static constexpr int kLauncherWidth = 130;
    static constexpr int kLauncherShrunkWidth = 5;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildMenu();
    void BuildLauncher(QWidget *parent);
    void BuildDebugPane(QWidget *parent);
    QPushButton *AddLauncherButton(QWidget *parent,
                                   const QString &name,
                                   const QString &caption,
                                   const QString &componentName);
    void ReadGlobalSettings();
    void PlaceOnScreen();
    // Steps of the logon procedure: the logon window (false when cancelled), then the session
    // shown in the main window.
    bool RunLogonWindow();
    void ShowSession();
    // Closes the child windows one by one; false as soon as one refuses.
    bool CloseChildWindows();
    void ApplyOperatorAccess();

    void MNU_InfoClick();
    void MNU_DebugPgmClick(bool checked);
    void MNU_SleepTimeClick(bool checked);
    void PB_Riduce_FunzioniClick();
    void TM_DBConnectedTimer();
    void UpdateDebugPaneHeight();
    void EndProgram();

    // Menu.
    QAction *MNU_Info = nullptr;             // Owned by Qt parent.
    QMenu *MNU_Admin = nullptr;              // Owned by Qt parent.
    QAction *MNU_DebugPgm = nullptr;         // Owned by Qt parent.
    QAction *MNU_SleepTime = nullptr;        // Owned by Qt parent.
    QAction *MNU_AdminDBConnected = nullptr; // Owned by Qt parent.

    // Client area.
    QMdiArea *m_mdiArea = nullptr;             // Owned by Qt parent.
    QSplitter *SPT_Debug = nullptr;            // Owned by Qt parent.
    QFrame *PAN_Debug = nullptr;               // Owned by Qt parent.
    QPlainTextEdit *Memo_Debug = nullptr;      // Owned by Qt parent.
    QToolButton *PB_Debug_ClearMemo = nullptr; // Owned by Qt parent.
    QToolButton *PB_Debug_CopyClip = nullptr;  // Owned by Qt parent.

    // Launcher.
    QFrame *PAN_Separatore = nullptr;          // Owned by Qt parent.
    QFrame *PAN_Funzioni = nullptr;            // Owned by Qt parent.
    QFrame *PAN_Pulsanti = nullptr;            // Owned by Qt parent.
    QPushButton *PB_Riduce_Funzioni = nullptr; // Owned by Qt parent.
    QFrame *PAN_GestioneOrdini = nullptr;      // Owned by Qt parent.
    QFrame *PAN_GestioneSocieta = nullptr;     // Owned by Qt parent.

    QTimer *TM_DBConnected = nullptr;    // Owned by Qt parent.
    TSTD_PROGRESS *m_progress = nullptr; // Owned by Qt parent.

    std::unique_ptr<TSTD_DBMODULE> m_db;
    TSTD_DBMODULE *m_previousDb = nullptr; // Not owned.

    int m_launcherFullWidth = kLauncherWidth;
    int m_debugPreferredHeight = 160;
    bool m_fullScreen = false;
};
