#include "app/mainform.h"

#include "app/connectionsettings.h"
#include "app/do_logon.h"
#include "app/pgm_splash.h"
#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/processroutines.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "db/dbmodule.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kTagProperty = "tag";

// The free client area: a horizontal gradient from white to silver.
class TGradientMdiArea : public QMdiArea
{
public:
    using QMdiArea::QMdiArea;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(viewport());
        QLinearGradient gradient(0, 0, viewport()->width(), 0);
        gradient.setColorAt(0.0, Qt::white);
        gradient.setColorAt(1.0, QColor(0xC0, 0xC0, 0xC0));
        painter.fillRect(event->rect(), gradient);
    }
};

QString settingsSection()
{
    return QLatin1String(kSettingsSection);
}

QString readUserFlag(const char *key)
{
    return IniReadText(settingsSection(),
                       QLatin1String(key),
                       QLatin1String(kIniYes),
                       SessionInfo().sUserSettingsFile);
}

void writeUserFlag(const char *key, bool value)
{
    IniWriteText(settingsSection(),
                 QLatin1String(key),
                 QLatin1String(value ? kIniYes : kIniNo),
                 SessionInfo().sUserSettingsFile);
}

QRect workArea(const QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

} // namespace

TMAINFORM::TMAINFORM(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MAINFORM"));
    TSessionInfo &s = SessionInfo();

    ApplyFormatSettings();
    s.iDebugPaneHeight = 0;
    s.iPauseFactor = 0;
    setAttribute(Qt::WA_DeleteOnClose, false);

    setWindowTitle(QStringLiteral("Ventorel V") + ProgramVersionText());
    setMinimumSize(1000, 700);

    BuildMenu();
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("PAN_Client"));
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    SPT_Debug = new QSplitter(Qt::Vertical, central);
    SPT_Debug->setObjectName(QStringLiteral("SPT_Debug"));
    SPT_Debug->setChildrenCollapsible(false);
    m_mdiArea = new TGradientMdiArea(SPT_Debug);
    m_mdiArea->setObjectName(QStringLiteral("MDI_Area"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SPT_Debug->addWidget(m_mdiArea);
    BuildDebugPane(SPT_Debug);
    SPT_Debug->setStretchFactor(0, 1);
    row->addWidget(SPT_Debug, 1);
    PAN_Separatore = new QFrame(central);
    PAN_Separatore->setObjectName(QStringLiteral("PAN_Separatore"));
    PAN_Separatore->setFixedWidth(1);
    PAN_Separatore->setAutoFillBackground(true);
    PAN_Separatore->setStyleSheet(QStringLiteral("background-color: #a0a0a0;"));
    row->addWidget(PAN_Separatore);
    BuildLauncher(central);
    row->addWidget(PAN_Funzioni);
    setCentralWidget(central);
    m_launcherFullWidth = PAN_Funzioni->width();

    TM_DBConnected = new QTimer(this);
    TM_DBConnected->setObjectName(QStringLiteral("TM_DBConnected"));
    TM_DBConnected->setInterval(1000);
    connect(TM_DBConnected, &QTimer::timeout, this, &TMAINFORM::TM_DBConnectedTimer);

    // Nothing of the session is shown before the first logon.
    MNU_Info->setVisible(false);
    MNU_Admin->menuAction()->setVisible(false);
    MNU_AdminDBConnected->setVisible(false);
    Memo_Debug->clear();
    QFont menuFont(QStringLiteral("Trebuchet MS"), 12);
    menuFont.setWeight(QFont::Normal);
    menuBar()->setFont(menuFont);
    PAN_Funzioni->hide();
    PAN_Separatore->hide();

    s.bDeveloperMode = IsDebuggerAttached();

    s.sSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin.INI"));
    setWindowIcon(ProgramIcon());
    ReadGlobalSettings();

    SetDebugLineSink([this](const QString &line) { AddDebugLine(line); });
}

TMAINFORM::~TMAINFORM()
{
    SetDebugLineSink(nullptr);
    if (m_db && TSTD_DBMODULE::Instance() == m_db.get())
        TSTD_DBMODULE::SetInstance(m_previousDb);
}

void TMAINFORM::BuildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MAINMENU"));
    MNU_Info = new QAction(QStringLiteral("Operatore"), this);
    MNU_Info->setObjectName(QStringLiteral("MNU_Info"));
    bar->addAction(MNU_Info);
    connect(MNU_Info, &QAction::triggered, this, &TMAINFORM::MNU_InfoClick);

    MNU_Admin = new QMenu(QStringLiteral(" (Funzioni Developer) "), this);
    MNU_Admin->setObjectName(QStringLiteral("MNU_Admin"));
    MNU_DebugPgm = new QAction(QStringLiteral("Finestra Debug"), this);
    MNU_DebugPgm->setObjectName(QStringLiteral("MNU_DebugPgm"));
    MNU_DebugPgm->setCheckable(true);
    MNU_DebugPgm->setChecked(false);
    MNU_SleepTime = new QAction(QStringLiteral("Pause attive"), this);
    MNU_SleepTime->setObjectName(QStringLiteral("MNU_SleepTime"));
    MNU_SleepTime->setCheckable(true);
    MNU_SleepTime->setChecked(true);
    MNU_Admin->addAction(MNU_DebugPgm);
    MNU_Admin->addAction(MNU_SleepTime);
    bar->addMenu(MNU_Admin);
    connect(MNU_DebugPgm, &QAction::triggered, this, &TMAINFORM::MNU_DebugPgmClick);
    connect(MNU_SleepTime, &QAction::triggered, this, &TMAINFORM::MNU_SleepTimeClick);

    MNU_AdminDBConnected = new QAction(QStringLiteral("(Connesso al DB)"), this);
    MNU_AdminDBConnected->setObjectName(QStringLiteral("MNU_AdminDBConnected"));
    bar->addAction(MNU_AdminDBConnected);
}

void TMAINFORM::BuildDebugPane(QWidget *parent)
{
    PAN_Debug = new QFrame(parent);
    PAN_Debug->setObjectName(QStringLiteral("PAN_Debug"));
    PAN_Debug->setMinimumHeight(100);
    PAN_Debug->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(PAN_Debug);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    Memo_Debug = new QPlainTextEdit(PAN_Debug);
    Memo_Debug->setObjectName(QStringLiteral("Memo_Debug"));
    Memo_Debug->setReadOnly(true);
    Memo_Debug->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    Memo_Debug->setFont(mono);
    layout->addWidget(Memo_Debug, 1);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    PB_Debug_ClearMemo = new QToolButton(PAN_Debug);
    PB_Debug_ClearMemo->setObjectName(QStringLiteral("PB_Debug_ClearMemo"));
    PB_Debug_ClearMemo->setToolTip(QStringLiteral(" Pulisce Debug "));
    PB_Debug_ClearMemo->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    PB_Debug_CopyClip = new QToolButton(PAN_Debug);
    PB_Debug_CopyClip->setObjectName(QStringLiteral("PB_Debug_CopyClip"));
    PB_Debug_CopyClip->setToolTip(QStringLiteral(" Copia negli appunti  "));
    PB_Debug_CopyClip->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    buttons->addWidget(PB_Debug_ClearMemo);
    buttons->addWidget(PB_Debug_CopyClip);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(PB_Debug_ClearMemo, &QToolButton::clicked, Memo_Debug, &QPlainTextEdit::clear);
    connect(PB_Debug_CopyClip, &QToolButton::clicked, this, [this] {
        PutClipboardText(Memo_Debug->toPlainText());
    });
    connect(SPT_Debug, &QSplitter::splitterMoved, this, &TMAINFORM::UpdateDebugPaneHeight);

    SPT_Debug->addWidget(PAN_Debug);
    PAN_Debug->hide();
}

QPushButton *TMAINFORM::AddLauncherButton(QWidget *parent,
                                          const QString &name,
                                          const QString &caption,
                                          const QString &componentName)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setProperty(kTagProperty, 0);
    button->setMinimumHeight(64);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont f = button->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    button->setFont(f);
    connect(button, &QPushButton::clicked, this, [this, button, componentName] {
        OpenFunction(button, componentName);
    });
    return button;
}

void TMAINFORM::BuildLauncher(QWidget *parent)
{
    PAN_Funzioni = new QFrame(parent);
    PAN_Funzioni->setObjectName(QStringLiteral("PAN_Funzioni"));
    PAN_Funzioni->setFixedWidth(kLauncherWidth);
    PAN_Funzioni->resize(kLauncherWidth, PAN_Funzioni->height());
    PAN_Funzioni->setAutoFillBackground(true);
    PAN_Funzioni->setStyleSheet(QStringLiteral("#PAN_Funzioni { background-color: #e8ecf1; }"));
    auto *row = new QHBoxLayout(PAN_Funzioni);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    PB_Riduce_Funzioni = new QPushButton(PAN_Funzioni);
    PB_Riduce_Funzioni->setObjectName(QStringLiteral("PB_Riduce_Funzioni"));
    PB_Riduce_Funzioni->setToolTip(QStringLiteral(" Riduce pannello funzioni "));
    PB_Riduce_Funzioni->setFixedWidth(kLauncherShrunkWidth);
    PB_Riduce_Funzioni->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    PB_Riduce_Funzioni->setFocusPolicy(Qt::NoFocus);
    PB_Riduce_Funzioni->setStyleSheet(
        QStringLiteral("QPushButton { background-color: #9fb3c8; border: none; }"
                       "QPushButton:hover { background-color: #6f8fb0; }"));
    row->addWidget(PB_Riduce_Funzioni);
    connect(PB_Riduce_Funzioni, &QPushButton::clicked, this, &TMAINFORM::PB_Riduce_FunzioniClick);

    PAN_Pulsanti = new QFrame(PAN_Funzioni);
    PAN_Pulsanti->setObjectName(QStringLiteral("PAN_PulsantiFunzioni"));
    auto *column = new QVBoxLayout(PAN_Pulsanti);
    column->setContentsMargins(6, 8, 6, 8);
    column->setSpacing(8);
    column->addWidget(AddLauncherButton(PAN_Pulsanti,
                                        QStringLiteral("PB_GestioneClienti"),
                                        QStringLiteral("Clienti"),
                                        QStringLiteral("GESTIONE_CLIENTI")));
    column->addWidget(AddLauncherButton(PAN_Pulsanti,
                                        QStringLiteral("PB_GestioneProdotti"),
                                        QStringLiteral("Prodotti"),
                                        QStringLiteral("GESTIONE_PRODOTTI")));
    column->addWidget(AddLauncherButton(PAN_Pulsanti,
                                        QStringLiteral("PB_GestionePreventivi"),
                                        QStringLiteral("Preventivi"),
                                        QStringLiteral("GESTIONE_PREVENTIVI")));

    PAN_GestioneOrdini = new QFrame(PAN_Pulsanti);
    PAN_GestioneOrdini->setObjectName(QStringLiteral("PAN_GestioneOrdini"));
    auto *orders = new QVBoxLayout(PAN_GestioneOrdini);
    orders->setContentsMargins(0, 0, 0, 0);
    orders->addWidget(AddLauncherButton(PAN_GestioneOrdini,
                                        QStringLiteral("PB_GestioneOrdini"),
                                        QStringLiteral("Ordini"),
                                        QStringLiteral("GESTIONE_ORDINI")));
    column->addWidget(PAN_GestioneOrdini);
    column->addStretch(1);

    PAN_GestioneSocieta = new QFrame(PAN_Pulsanti);
    PAN_GestioneSocieta->setObjectName(QStringLiteral("PAN_GestioneSocieta"));
    auto *companies = new QVBoxLayout(PAN_GestioneSocieta);
    companies->setContentsMargins(0, 0, 0, 0);
    companies->addWidget(AddLauncherButton(PAN_GestioneSocieta,
                                           QStringLiteral("PB_GestioneSocieta"),
                                           QStringLiteral("Società"),
                                           QStringLiteral("GESTIONE_SOCIETA")));
    column->addWidget(PAN_GestioneSocieta);
    PAN_GestioneSocieta->hide();
    row->addWidget(PAN_Pulsanti, 1);
}

void TMAINFORM::ReadGlobalSettings()
{
    TSessionInfo &s = SessionInfo();
    m_fullScreen = IniReadText(settingsSection(),
                               QStringLiteral("FullScreen"),
                               QLatin1String(kIniNo),
                               s.sSettingsFile)
                   == QLatin1String(kIniYes);
    s.sServerName = ServerNameFromSettings(s.sSettingsFile);
    s.sDeveloperUser = IniReadText(settingsSection(),
                                   QStringLiteral("AdminUserKRT"),
                                   QString(),
                                   s.sSettingsFile);
    if (!s.sDeveloperUser.isEmpty())
        s.bDeveloperMode = true;
    // The Orders launcher: developers with a debugger attached, or an office that works with
    // orders and says so in the global settings.
    PAN_GestioneOrdini->setVisible(IsDebuggerAttached()
                                   || IniReadText(settingsSection(),
                                                  QStringLiteral("FrmMain_MostraOrdini"),
                                                  QLatin1String(kIniNo),
                                                  s.sSettingsFile)
                                          == QLatin1String(kIniYes));
}

bool TMAINFORM::Start(const QStringList &arguments)
{
    TPGM_SPLASH splash;
    return Start(&splash, arguments);
}

bool TMAINFORM::Start(TPGM_SPLASH *splash, const QStringList &arguments)
{
    TSessionInfo &s = SessionInfo();
    if (splash)
        splash->ShowCentered();

    // The module only keeps the connection string: nothing reaches the server before the logon.
    if (!m_db) {
        m_db = std::make_unique<TSTD_DBMODULE>();
        m_previousDb = TSTD_DBMODULE::Instance();
        TSTD_DBMODULE::SetInstance(m_db.get());
    }
    s.bPrintersAvailable = !QPrinterInfo::availablePrinterNames().isEmpty();

    if (splash)
        splash->StayAbove(this);
    PlaceOnScreen();
    setEnabled(false);
    if (!m_progress)
        m_progress = new TSTD_PROGRESS(this);

    if (splash)
        splash->WaitClosed();
    ReadCommandLine(arguments);
    if (!RunLogon())
        return false;
    setMaximumHeight(workArea(this).height());
    return true;
}

void TMAINFORM::PlaceOnScreen()
{
    if (m_fullScreen) {
        showMaximized();
        return;
    }
    const QRect area = workArea(this);
    const QSize size(RoundToInt(area.width() * 0.9), RoundToInt(area.height() * 0.9));
    resize(size);
    move(area.center() - QPoint(width() / 2, height() / 2));
    show();
}

bool TMAINFORM::RunLogon()
{
    if (!RunLogonWindow())
        return false;
    ShowSession();
    return true;
}

bool TMAINFORM::RunLogonWindow()
{
    TSessionInfo &s = SessionInfo();
    MNU_Info->setVisible(false);
    PAN_Funzioni->hide();
    PAN_Separatore->hide();
    s.sUserName.clear();
    s.sPassword.clear();

    TLogonResult result = TLogonResult::Cancel;
    {
        TDO_LOGON logon;
        result = logon.Start();
    }
    return result == TLogonResult::Ok;
}

bool TMAINFORM::SameOperator(const TSessionInfo &a, const TSessionInfo &b)
{
    return a.sUserName.compare(b.sUserName, Qt::CaseInsensitive) == 0
           && a.sDatabaseName == b.sDatabaseName && a.sServerName == b.sServerName;
}

namespace {

// Makes the operator session `secret` of `connection` the module's own: bound at once when
// the connection is open, else when it opens.
void BindOperatorSession(TSTD_DBMODULE *db, const QString &connection, const QString &secret)
{
    if (db->ConnectionString() != connection) {
        db->Close();
        db->SetConnectionString(connection);
    }
    db->ResumeOperatorSession(secret);
}

// Ends on the server a session that the module had handed over.
void EndDetachedSession(TSTD_DBMODULE *db, const QString &connection, const QString &secret)
{
    if (secret.isEmpty())
        return;
    try {
        BindOperatorSession(db, connection, secret);
        if (!db->Connected())
            db->Open();
    } catch (const EDatabaseError &) {
        // Unreachable or already ended: the server lets it expire by itself.
    }
    db->EndSession();
}

} // namespace

bool TMAINFORM::ReLogon()
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    const TSessionInfo previous = SessionInfo();
    const QString previousConnection = db ? db->ConnectionString() : QString();
    // The previous operator's server session stays aside (not ended) until his windows have
    // closed: a window that refuses keeps him logged on, on the server too.
    const QString previousSecret = db ? db->DetachOperatorSession() : QString();
    if (!RunLogonWindow()) {
        if (db)
            EndDetachedSession(db, previousConnection, previousSecret);
        EndProgram();
        return false;
    }
    const TSessionInfo next = SessionInfo();
    const QString nextConnection = db ? db->ConnectionString() : QString();
    const QString nextSecret = db ? db->DetachOperatorSession() : QString();
    if (SameOperator(previous, next)) {
        if (db) {
            EndDetachedSession(db, previousConnection, previousSecret);
            BindOperatorSession(db, nextConnection, nextSecret);
        }
        ShowSession();
        return true;
    }

    // Another operator (another company, other rights) must not see nor change what the
    // previous one had open. The windows close under the session they were opened in, so
    // that whatever they do on closing is done as their operator; a window with an operation
    // in progress may refuse, and then the previous operator stays.
    SessionInfo() = previous;
    if (db)
        BindOperatorSession(db, previousConnection, previousSecret);
    const bool closed = CloseChildWindows();
    if (db) {
        if (closed) {
            EndDetachedSession(db, previousConnection, previousSecret);
            BindOperatorSession(db, nextConnection, nextSecret);
        } else {
            EndDetachedSession(db, nextConnection, nextSecret);
            BindOperatorSession(db, previousConnection, previousSecret);
        }
    }
    if (closed)
        SessionInfo() = next;
    ShowSession();
    if (!closed)
        ShowInfoBox(QStringLiteral("Ricollegamento annullato: una funzione ha un'operazione in "
                                   "corso.")
                    + LineBreaks(2) + QStringLiteral("L'utente collegato resta ")
                    + previous.sUserName.toUpper() + u'.');
    return closed;
}

bool TMAINFORM::CloseChildWindows()
{
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList(QMdiArea::StackingOrder)) {
        if (sub->isHidden())
            continue;
        if (!sub->close())
            return false;
    }
    return true;
}

void TMAINFORM::ShowSession()
{
    TSessionInfo &s = SessionInfo();
    if (m_progress)
        m_progress->ShowWait();
    if (TSTD_DBMODULE *db = TSTD_DBMODULE::Instance())
        db->SetCommandTimeout(0);
    setEnabled(true);
    PAN_Funzioni->show();
    PAN_Separatore->show();

    s.sQuotesPath = IniReadText(settingsSection(),
                                QStringLiteral("General_PrevsPath"),
                                QString(),
                                s.sUserSettingsFile);
    // A "&" in a name is shown as such, not taken as a menu accelerator.
    MNU_Info->setText(StatusCaption(s).replace(u'&', QStringLiteral("&&")));
    MNU_Info->setVisible(true);
    ApplyOperatorAccess();
    if (m_progress)
        m_progress->Hide();
}

QString TMAINFORM::StatusCaption(const TSessionInfo &s)
{
    QString caption;
    if (s.bDeveloperMode || s.bAdministrator)
        caption += QStringLiteral(" [ServerDB: ") + TextBefore(s.sServerName, QStringLiteral("\\"))
                   + QStringLiteral(" -- ") + s.sDatabaseName + QStringLiteral("] -- ");
    if (!s.sCompanyName.isEmpty())
        caption += QStringLiteral(" [Azienda: ") + s.sCompanyName + u']';
    caption += QStringLiteral(" [Utente: ") + s.sOperatorDescription + QStringLiteral(" (")
               + s.sUserName.toUpper() + QStringLiteral(") connesso alle: ")
               + s.dtServerTime.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("] ");
    return caption;
}

void TMAINFORM::ApplyOperatorAccess()
{
    TSessionInfo &s = SessionInfo();
    const bool admin = s.bAdministrator;
    MNU_Admin->menuAction()->setVisible(admin);
    MNU_AdminDBConnected->setVisible(admin);
    PAN_GestioneSocieta->setVisible(admin);
    if (admin) {
        TM_DBConnectedTimer();
        TM_DBConnected->start();
        // The stored choices are applied as if the operator chose the items; an item already in
        // the stored state (a re-logon) is left as it is.
        if (readUserFlag("FrmMain_DebugPgm") == QLatin1String(kIniYes) && !MNU_DebugPgm->isChecked())
            MNU_DebugPgm->trigger();
        if (readUserFlag("FrmMain_SleepTime") == QLatin1String(kIniNo) && MNU_SleepTime->isChecked())
            MNU_SleepTime->trigger();
    } else {
        // An operator who is not an administrator has no developer tools: a pane or pauses left
        // by an administrator's session are switched off without touching his settings.
        TM_DBConnected->stop();
        MNU_DebugPgm->setChecked(false);
        PAN_Debug->hide();
        s.iDebugPaneHeight = 0;
        MNU_SleepTime->setChecked(true);
        s.iPauseFactor = 0;
    }
}

void TMAINFORM::MNU_InfoClick()
{
    if (AskYesNo(QStringLiteral("Vuoi ricollegarti con altro utente ?")))
        ReLogon();
}

void TMAINFORM::EndProgram()
{
    if (TSTD_DBMODULE *db = TSTD_DBMODULE::Instance()) {
        db->EndSession();
        db->Close();
    }
    TerminateProgram(0);
}

void TMAINFORM::MNU_DebugPgmClick(bool checked)
{
    if (checked) {
        PAN_Debug->show();
        const int total = SPT_Debug->height();
        const int pane = qMax(PAN_Debug->minimumHeight(), m_debugPreferredHeight);
        SPT_Debug->setSizes({qMax(0, total - pane - SPT_Debug->handleWidth()), pane});
    } else {
        if (PAN_Debug->isVisible())
            m_debugPreferredHeight = PAN_Debug->height();
        PAN_Debug->hide();
    }
    UpdateDebugPaneHeight();
    writeUserFlag("FrmMain_DebugPgm", checked);
}

void TMAINFORM::UpdateDebugPaneHeight()
{
    TSessionInfo &s = SessionInfo();
    if (PAN_Debug->isHidden()) {
        s.iDebugPaneHeight = 0;
        return;
    }
    const QList<int> sizes = SPT_Debug->sizes();
    const int pane = sizes.size() > 1 && sizes.at(1) > 0 ? sizes.at(1) : m_debugPreferredHeight;
    s.iDebugPaneHeight = pane + SPT_Debug->handleWidth();
}

void TMAINFORM::MNU_SleepTimeClick(bool checked)
{
    SessionInfo().iPauseFactor = checked ? 1 : 0;
    writeUserFlag("FrmMain_SleepTime", checked);
}

void TMAINFORM::PB_Riduce_FunzioniClick()
{
    const bool full = PAN_Funzioni->width() == m_launcherFullWidth;
    const int width = full ? kLauncherShrunkWidth : m_launcherFullWidth;
    PAN_Pulsanti->setVisible(!full);
    PAN_Funzioni->setFixedWidth(width);
    PAN_Funzioni->resize(width, PAN_Funzioni->height());
}

void TMAINFORM::TM_DBConnectedTimer()
{
    const TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    MNU_AdminDBConnected->setText(db && db->Connected() ? QStringLiteral("(Connesso al DB)")
                                                        : QStringLiteral("(Disconnesso dal DB)"));
}

void TMAINFORM::AddDebugLine(const QString &line)
{
    Memo_Debug->appendPlainText(line);
}

void TMAINFORM::OpenFunction(QPushButton *button, const QString &componentName)
{
    if (button) {
        if (button->property(kTagProperty).toInt() == 1)
            return;
        button->setProperty(kTagProperty, 1);
    }
    const auto release = qScopeGuard([button] {
        if (button)
            button->setProperty(kTagProperty, 0);
    });

    if (!FindOpenForm(componentName) && !IsWindowRegistered(componentName)) {
        ShowInfoBox(QStringLiteral("Funzione non ancora disponibile."));
        return;
    }
    try {
        OpenChildWindow(componentName, m_mdiArea, [&componentName](QWidget *parent) {
            return CreateRegisteredWindow(componentName, parent);
        });
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    }
}

void TMAINFORM::closeEvent(QCloseEvent *event)
{
    const auto openWindows = [this] {
        int n = 0;
        for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
            n += sub->isVisible() ? 1 : 0;
        return n;
    };
    if (openWindows() > 0) {
        if (!AskYesNo(QStringLiteral("Una o più funzioni sono in utilizzo.") + LineBreaks(2)
                      + QStringLiteral("Confermi la chiusura del programma ?"))) {
            event->ignore();
            return;
        }
        // A window may still refuse (its own unsaved changes): then the program stays open.
        m_mdiArea->closeAllSubWindows();
        if (openWindows() > 0) {
            event->ignore();
            return;
        }
    }
    TM_DBConnected->stop();
    if (TSTD_DBMODULE *db = TSTD_DBMODULE::Instance(); db && db->Connected()) {
        db->EndSession();
        db->Close();
    }
    event->accept();
}
