// The main window: start-up, status caption, launcher, developer menu, debug pane, closing,
// re-logon and a connection lost in the middle of the session.

#include "tests/app/apptestenv.h"

#include "app/mainform.h"
#include "app/pgm_splash.h"
#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/processroutines.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/gestione_clienti.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>

namespace {

// A window of the launcher as later folders provide them: a plain widget with a caption.
// Counts the windows made and, when asked, presses its own launcher button again while it is
// being created (a click dispatched while the first one is handled).
struct TFakeFunction
{
    int created = 0;
    QPushButton *pressAgain = nullptr; // Not owned.
};

void RegisterFunction(const QString &name, TFakeFunction &f)
{
    RegisterWindow(name, [&f, name](QWidget *parent) {
        ++f.created;
        if (f.pressAgain)
            f.pressAgain->click();
        auto *w = new QWidget(parent);
        w->setWindowTitle(name);
        w->resize(400, 300);
        return w;
    });
}

class TStartedMainForm
{
public:
    TStartedMainForm(const QString &user, const QString &password)
    {
        AnswerStartup(user, password);
        started = form.Start(QStringList{QStringLiteral("ventorel")});
    }
    template<class T>
    T *Find(const char *name)
    {
        return form.findChild<T *>(QLatin1String(name));
    }
    QAction *Action(const char *name) { return Find<QAction>(name); }
    QPushButton *Button(const char *name) { return Find<QPushButton>(name); }
    QWidget *Widget(const char *name) { return Find<QWidget>(name); }

    TMAINFORM form;
    bool started = false;
};

QString timeText(const QDateTime &t)
{
    return t.toString(QStringLiteral("hh:mm:ss"));
}

} // namespace

class tst_MainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void ordersLauncherFollowsTheGlobalSetting_data();
    void ordersLauncherFollowsTheGlobalSetting();
    void startupReachesLogonAfterSplashOnly_data();
    void startupReachesLogonAfterSplashOnly();
    void administratorSession();
    void statusCaptionByOperator_data();
    void statusCaptionByOperator();
    void statusCaptionForms_data();
    void statusCaptionForms();
    void serverSettings_data();
    void serverSettings();
    void launcherOpensOneWindowPerFunction();
    void launcherPanelShrinks();
    void storedDeveloperChoices_data();
    void storedDeveloperChoices();
    void debugPaneAndPauses();
    void debugTimingLine();
    void closeConfirmation();
    void reLogon();
    void reLogonAsOperatorOfAnotherCompany();
    void lostConnectionEndsProgram();
    void secondInstanceEndsSilently();
};

void tst_MainForm::initTestCase()
{
    QVERIFY2(TTestDatabase::Available(), "the test cluster does not answer");
}

void tst_MainForm::cleanup()
{
    CancelPendingActions();
    for (const QString &name : RegisteredWindows())
        UnregisterWindow(name);
}

void tst_MainForm::ordersLauncherFollowsTheGlobalSetting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("shown");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("NO") << "NO" << false;
    QTest::newRow("si lower case") << "si" << false;
    QTest::newRow("SI") << "SI" << true;
}

// Without a debugger the "Ordini" button is there only when the office asks for it.
void tst_MainForm::ordersLauncherFollowsTheGlobalSetting()
{
    QFETCH(QString, value);
    QFETCH(bool, shown);
    TAppTestEnvironment env;
    if (!value.isNull())
        env.SetGlobal(QStringLiteral("FrmMain_MostraOrdini"), value);
    TMAINFORM form;
    auto *panel = form.findChild<QWidget *>(QStringLiteral("PAN_GestioneOrdini"));
    QVERIFY(panel);
    QCOMPARE(!panel->isHidden(), shown);
    QVERIFY(!SessionInfo().bDeveloperMode);
}

void tst_MainForm::startupReachesLogonAfterSplashOnly_data()
{
    QTest::addColumn<QString>("fullScreen");
    QTest::newRow("FullScreen absent") << QString();
    QTest::newRow("FullScreen NO") << "NO";
    QTest::newRow("FullScreen SI") << "SI";
}

void tst_MainForm::startupReachesLogonAfterSplashOnly()
{
    QFETCH(QString, fullScreen);
    TAppTestEnvironment env;
    if (!fullScreen.isNull())
        env.SetGlobal(QStringLiteral("FullScreen"), fullScreen);

    TMAINFORM form;
    TPGM_SPLASH splash;
    QStringList events;
    bool splashClosedFirst = false;
    bool mainDisabled = false;
    bool mainVisible = false;
    bool maximised = false;
    QString connectionAtLogon = QStringLiteral("not reached");
    WhenShown(QStringLiteral("PGM_SPLASH"), [&](QWidget *w) {
        events << QStringLiteral("splash");
        QTest::mouseClick(w, Qt::LeftButton);
    });
    WhenShown(QStringLiteral("DO_LOGON"), [&](QWidget *logon) {
        events << QStringLiteral("logon");
        splashClosedFirst = splash.IsClosed();
        mainDisabled = !form.isEnabled();
        mainVisible = form.isVisible();
        maximised = form.isMaximized();
        // Nothing was asked of the database before the logon.
        connectionAtLogon = TSTD_DBMODULE::Instance()->ConnectionString();
        ClickButton(logon, "PB_Annulla");
    });

    QVERIFY(
        !form.Start(&splash,
                    {QStringLiteral("ventorel"), QStringLiteral("-u"), QStringLiteral("ADMIN")}));
    QCOMPARE(events, QStringList({"splash", "logon"}));
    QVERIFY(splashClosedFirst);
    QVERIFY(mainVisible);
    QVERIFY(mainDisabled);
    QCOMPARE(connectionAtLogon, QString());
    QCOMPARE(maximised, fullScreen == QLatin1String("SI"));
    if (!maximised) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(form.size(),
                 QSize(RoundToInt(area.width() * 0.9), RoundToInt(area.height() * 0.9))
                     .expandedTo(form.minimumSize()));
    }

    const TSessionInfo &s = SessionInfo();
    QVERIFY(s.dtStartTime.isValid());
    QCOMPARE(s.bPrintersAvailable, !QPrinterInfo::availablePrinterNames().isEmpty());
    QCOMPARE(s.sSettingsFile, env.GlobalIni());
    QCOMPARE(s.sServerName, QStringLiteral("localhost\\SQLEXPRESS,1433"));
    QVERIFY(!s.bDeveloperMode);
    // The command-line user does not log on by itself: the logon procedure clears it.
    QVERIFY(s.sUserName.isEmpty());
    QCOMPARE(env.Recorder().Requests().size(), 0);
}

void tst_MainForm::administratorSession()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("admin"), kAdminPassword);
    QVERIFY(m.started);
    TMAINFORM &form = m.form;
    const TSessionInfo &s = SessionInfo();

    QVERIFY(form.isEnabled());
    QCOMPARE(form.windowTitle(), QStringLiteral("Ventorel V") + ProgramVersionText());
    QCOMPARE(form.minimumSize(), QSize(1000, 700));
    QCOMPARE(form.maximumHeight(), QGuiApplication::primaryScreen()->availableGeometry().height());
    QCOMPARE(form.menuBar()->objectName(), QStringLiteral("MAINMENU"));

    QAction *info = m.Action("MNU_Info");
    QVERIFY(info->isVisible());
    QCOMPARE(info->text(),
             QStringLiteral(" [ServerDB: localhost -- ") + env.Db().Name()
                 + QStringLiteral("] --  [Azienda: Tecnoquadri Lombarda S.r.l.]")
                 + QStringLiteral(" [Utente: Amministratore di sistema (ADMIN) connesso alle: ")
                 + timeText(s.dtServerTime) + QStringLiteral("] "));

    auto *admin = m.Find<QMenu>("MNU_Admin");
    QVERIFY(admin->menuAction()->isVisible());
    QCOMPARE(admin->title(), QStringLiteral(" (Funzioni Developer) "));
    QCOMPARE(m.Action("MNU_DebugPgm")->text(), QStringLiteral("Finestra Debug"));
    QCOMPARE(m.Action("MNU_SleepTime")->text(), QStringLiteral("Pause attive"));
    QAction *connected = m.Action("MNU_AdminDBConnected");
    QVERIFY(connected->isVisible());
    QCOMPARE(connected->text(), QStringLiteral("(Disconnesso dal DB)"));
    auto *timer = m.Find<QTimer>("TM_DBConnected");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);

    QVERIFY(m.Widget("PAN_Funzioni")->isVisible());
    QCOMPARE(m.Widget("PAN_Funzioni")->width(), TMAINFORM::kLauncherWidth);
    QVERIFY(m.Widget("PAN_Separatore")->isVisible());
    const QList<QPair<const char *, QString>> buttons = {
        {"PB_GestioneClienti", QStringLiteral("Clienti")},
        {"PB_GestioneProdotti", QStringLiteral("Prodotti")},
        {"PB_GestionePreventivi", QStringLiteral("Preventivi")},
        {"PB_GestioneOrdini", QStringLiteral("Ordini")},
        {"PB_GestioneSocieta", QStringLiteral("Società")},
    };
    for (const auto &b : buttons)
        QCOMPARE(m.Button(b.first)->text(), b.second);
    QVERIFY(m.Button("PB_GestioneSocieta")->isVisible());
    QVERIFY(!m.Button("PB_GestioneOrdini")->isVisible()); // no debugger attached
    // The first logon of an administrator opens the debug pane (FrmMain_DebugPgm absent = SI).
    QVERIFY(m.Widget("PAN_Debug")->isVisible());
    QVERIFY(s.iDebugPaneHeight >= 100);
    QCOMPARE(s.iPauseFactor, 0);
    QCOMPARE(env.User(QStringLiteral("ADMIN"), QStringLiteral("FrmMain_DebugPgm")),
             QStringLiteral("SI"));

    // The session's command time-out is lifted after the logon: a long command is not cut.
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    QVERIFY(db != &env.Db().Module());
    std::unique_ptr<TDataSet> timeout
        = db->QueryParams(QStringLiteral("SELECT current_setting('statement_timeout')"), {});
    QCOMPARE(timeout->Fields(0).AsString(), QStringLiteral("0"));
    // The indicator follows the connection, opened by that command.
    QTRY_COMPARE_WITH_TIMEOUT(connected->text(), QStringLiteral("(Connesso al DB)"), 3000);

    // The picture at the size of a common office screen.
    form.setMaximumHeight(QWIDGETSIZE_MAX);
    form.resize(1700, 950);
    GrabIfAsked(&form, QStringLiteral("mainform"));
}

void tst_MainForm::statusCaptionByOperator_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    QTest::newRow("operator of a company")
        << "MROSSI"
        << "rossi"
        << " [Azienda: Tecnoquadri Lombarda S.r.l.] [Utente: Mario Rossi (MROSSI) connesso alle: ";
    QTest::newRow("operator without company")
        << "GBIANCHI"
        << "bianchi"
        << " [Utente: Giorgio Bianchi (GBIANCHI) connesso alle: ";
}

void tst_MainForm::statusCaptionByOperator()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);

    TAppTestEnvironment env;
    TStartedMainForm m(user.toLower(), password);
    QVERIFY(m.started);
    QCOMPARE(m.Action("MNU_Info")->text(),
             expected + timeText(SessionInfo().dtServerTime) + QStringLiteral("] "));
    // Nothing of the developer tools for an operator.
    QVERIFY(!m.Find<QMenu>("MNU_Admin")->menuAction()->isVisible());
    QVERIFY(!m.Action("MNU_AdminDBConnected")->isVisible());
    QVERIFY(!m.Find<QTimer>("TM_DBConnected")->isActive());
    QVERIFY(!m.Button("PB_GestioneSocieta")->isVisible());
    QVERIFY(!m.Widget("PAN_Debug")->isVisible());
    QCOMPARE(SessionInfo().iDebugPaneHeight, 0);
    QVERIFY(m.Button("PB_GestioneClienti")->isVisible());
    QCOMPARE(env.User(user, QStringLiteral("FrmMain_DebugPgm")), QLatin1String(kIniAbsent));
}

void tst_MainForm::statusCaptionForms_data()
{
    QTest::addColumn<bool>("developer");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("expected");

    const QString server = QStringLiteral(" [ServerDB: srv01 -- VentorelDB] -- ");
    const QString user = QStringLiteral(" [Utente: Mario Rossi (MROSSI) connesso alle: 09:05:07] ");
    QTest::newRow("developer operator") << true << false << QString() << server + user;
    QTest::newRow("administrator with company")
        << false << true << "Rossi & Figli" << server + " [Azienda: Rossi & Figli]" + user;
    QTest::newRow("operator with company") << false << false << "Rossi & Figli"
                                           << " [Azienda: Rossi & Figli]" + user;
    QTest::newRow("operator") << false << false << QString() << user;
}

void tst_MainForm::statusCaptionForms()
{
    QFETCH(bool, developer);
    QFETCH(bool, administrator);
    QFETCH(QString, company);
    QFETCH(QString, expected);

    TSessionInfo s;
    s.bDeveloperMode = developer;
    s.bAdministrator = administrator;
    s.sCompanyName = company;
    s.sServerName = QStringLiteral("srv01\\SQLEXPRESS,1433");
    s.sDatabaseName = QStringLiteral("VentorelDB");
    s.sOperatorDescription = QStringLiteral("Mario Rossi");
    s.sUserName = QStringLiteral("mrossi");
    s.dtServerTime = QDateTime(QDate(2024, 5, 6), QTime(9, 5, 7));
    QCOMPARE(TMAINFORM::StatusCaption(s), expected);
}

void tst_MainForm::serverSettings_data()
{
    QTest::addColumn<QString>("srvLoc");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("expectedPort");

    QTest::newRow("local instance") << QString() << QString() << "localhost\\SQLEXPRESS,1433"
                                    << "/tmp/sock" << 5432;
    QTest::newRow("named server") << "db.ufficio.lan"
                                  << "6543"
                                  << "db.ufficio.lan\\SQLEXPRESS,1433"
                                  << "db.ufficio.lan" << 6543;
    QTest::newRow("port not a number") << "10.0.0.5"
                                       << "porta"
                                       << "10.0.0.5\\SQLEXPRESS,1433"
                                       << "10.0.0.5" << 5432;
}

void tst_MainForm::serverSettings()
{
    QFETCH(QString, srvLoc);
    QFETCH(QString, port);
    QFETCH(QString, serverName);
    QFETCH(QString, host);
    QFETCH(int, expectedPort);

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VentorelWin.INI"));
    const QString section = QStringLiteral("SETTINGS");
    IniWriteText(section, QStringLiteral("DbLocalSocket"), QStringLiteral("/tmp/sock"), ini);
    IniWriteText(section, QStringLiteral("DbLogin"), QStringLiteral("ventorel"), ini);
    IniWriteText(section, QStringLiteral("DbPassword"), QStringLiteral("k9'x y"), ini);
    if (!srvLoc.isNull())
        IniWriteText(section, QStringLiteral("SrvLoc"), srvLoc, ini);
    if (!port.isNull())
        IniWriteText(section, QStringLiteral("DbPort"), port, ini);

    QCOMPARE(ServerNameFromSettings(ini), serverName);
    const TConnectionParams p = ConnectionParamsFromSettings(ini, QStringLiteral("VentorelDB"));
    QCOMPARE(p.host, host);
    QCOMPARE(p.port, expectedPort);
    QCOMPARE(p.database, QStringLiteral("VentorelDB"));
    QCOMPARE(p.login, QStringLiteral("ventorel"));
    QCOMPARE(p.password, QStringLiteral("k9'x y"));
}

void tst_MainForm::launcherOpensOneWindowPerFunction()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    QMdiArea *area = m.form.MdiArea();
    QPushButton *customers = m.Button("PB_GestioneClienti");
    QPushButton *products = m.Button("PB_GestioneProdotti");

    TFakeFunction clienti, prodotti;
    RegisterFunction(QStringLiteral("GESTIONE_CLIENTI"), clienti);
    RegisterFunction(QStringLiteral("gestione_prodotti"), prodotti);

    // A second press arriving while the first is being handled is ignored.
    clienti.pressAgain = customers;
    customers->click();
    clienti.pressAgain = nullptr;
    QCOMPARE(clienti.created, 1);
    QCOMPARE(area->subWindowList().size(), 1);
    QWidget *clientiWindow = area->subWindowList().at(0)->widget();
    QCOMPARE(clientiWindow->objectName(), QStringLiteral("GESTIONE_CLIENTI"));
    QCOMPARE(customers->property("tag").toInt(), 0);

    products->click();
    QCOMPARE(prodotti.created, 1);
    QCOMPARE(area->activeSubWindow()->widget()->objectName(), QStringLiteral("GESTIONE_PRODOTTI"));

    // Pressed again: the open window comes to the front, restored, and no other is made.
    area->subWindowList().at(0)->showMinimized();
    customers->click();
    QCOMPARE(clienti.created, 1);
    QCOMPARE(area->subWindowList().size(), 2);
    QCOMPARE(area->activeSubWindow()->widget(), clientiWindow);
    QVERIFY(!area->activeSubWindow()->isMinimized());
    QCOMPARE(env.Recorder().Requests().size(), 0);

    // Closed, it can be opened anew.
    area->activeSubWindow()->close();
    QTRY_COMPARE(area->subWindowList().size(), 1);
    customers->click();
    QCOMPARE(clienti.created, 2);

    // A function whose window is not there yet only says so.
    m.Button("PB_GestionePreventivi")->click();
    QCOMPARE(env.Recorder().Requests().size(), 1);
    QCOMPARE(env.Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Funzione non ancora disponibile."));
    QCOMPARE(area->subWindowList().size(), 2);
    QCOMPARE(m.Button("PB_GestionePreventivi")->property("tag").toInt(), 0);
}

void tst_MainForm::launcherPanelShrinks()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    QVERIFY(m.started);
    QWidget *panel = m.Widget("PAN_Funzioni");
    QPushButton *shrink = m.Button("PB_Riduce_Funzioni");
    QCOMPARE(shrink->toolTip(), QStringLiteral(" Riduce pannello funzioni "));
    shrink->click();
    QCOMPARE(panel->width(), TMAINFORM::kLauncherShrunkWidth);
    QVERIFY(!m.Button("PB_GestioneClienti")->isVisible());
    shrink->click();
    QCOMPARE(panel->width(), TMAINFORM::kLauncherWidth);
    QVERIFY(m.Button("PB_GestioneClienti")->isVisible());
}

void tst_MainForm::storedDeveloperChoices_data()
{
    QTest::addColumn<QString>("debugPgm");
    QTest::addColumn<QString>("sleepTime");
    QTest::addColumn<bool>("paneShown");
    QTest::addColumn<bool>("pausesChecked");

    QTest::newRow("nothing stored") << QString() << QString() << true << true;
    QTest::newRow("both SI") << "SI"
                             << "SI" << true << true;
    QTest::newRow("both NO") << "NO"
                             << "NO" << false << false;
}

void tst_MainForm::storedDeveloperChoices()
{
    QFETCH(QString, debugPgm);
    QFETCH(QString, sleepTime);
    QFETCH(bool, paneShown);
    QFETCH(bool, pausesChecked);

    TAppTestEnvironment env;
    const QString userIni = env.UserIni(QStringLiteral("ADMIN"));
    if (!debugPgm.isNull())
        IniWriteText(QStringLiteral("SETTINGS"),
                     QStringLiteral("FrmMain_DebugPgm"),
                     debugPgm,
                     userIni);
    if (!sleepTime.isNull())
        IniWriteText(QStringLiteral("SETTINGS"),
                     QStringLiteral("FrmMain_SleepTime"),
                     sleepTime,
                     userIni);
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    QCOMPARE(m.Widget("PAN_Debug")->isVisible(), paneShown);
    QCOMPARE(m.Action("MNU_DebugPgm")->isChecked(), paneShown);
    QCOMPARE(SessionInfo().iDebugPaneHeight > 0, paneShown);
    QCOMPARE(m.Action("MNU_SleepTime")->isChecked(), pausesChecked);
    // Pauses are on only once the item is chosen; a stored "NO" chose it.
    QCOMPARE(SessionInfo().iPauseFactor, 0);
}

void tst_MainForm::debugPaneAndPauses()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    TSessionInfo &s = SessionInfo();
    QAction *debug = m.Action("MNU_DebugPgm");
    QAction *pauses = m.Action("MNU_SleepTime");
    QWidget *pane = m.Widget("PAN_Debug");
    auto *splitter = m.Find<QSplitter>("SPT_Debug");
    auto *memo = m.Find<QPlainTextEdit>("Memo_Debug");
    QVERIFY(debug->isChecked());

    debug->trigger();
    QVERIFY(!pane->isVisible());
    QCOMPARE(s.iDebugPaneHeight, 0);
    QCOMPARE(env.User(QStringLiteral("ADMIN"), QStringLiteral("FrmMain_DebugPgm")),
             QStringLiteral("NO"));
    // Timing lines go to the pane only while it is open.
    const QDateTime start(QDate(2024, 5, 6), QTime(10, 0, 0, 0));
    AppendDebugTiming(QStringLiteral("TGESTIONE_CLIENTI"),
                      QStringLiteral("Estrai"),
                      start,
                      start.addMSecs(1500));
    QVERIFY(memo->toPlainText().isEmpty());

    debug->trigger();
    QVERIFY(pane->isVisible());
    QCOMPARE(s.iDebugPaneHeight, pane->height() + splitter->handleWidth());
    QVERIFY(pane->height() >= 100);
    QCOMPARE(env.User(QStringLiteral("ADMIN"), QStringLiteral("FrmMain_DebugPgm")),
             QStringLiteral("SI"));
    AppendDebugTiming(QStringLiteral("TGESTIONE_CLIENTI"),
                      QStringLiteral("Estrai"),
                      start,
                      start.addMSecs(1500));
    m.form.AddDebugLine(QStringLiteral("EXEC EstraiClienti 1, null"));
    QCOMPARE(memo->toPlainText(),
             QStringLiteral("TGESTIONE_CLIENTI.Estrai: INIZIO: 10:00:00.000, FINE: 10:00:01.500, "
                            "DURATA: 00:01.500\nEXEC EstraiClienti 1, null"));

    // Moving the splitter is followed by the height other windows size themselves by.
    const QList<int> sizes = splitter->sizes();
    splitter->setSizes({sizes.at(0) - 40, sizes.at(1) + 40});
    Q_EMIT splitter->splitterMoved(sizes.at(0) - 40, 1);
    QCOMPARE(s.iDebugPaneHeight, splitter->sizes().at(1) + splitter->handleWidth());

    m.Find<QToolButton>("PB_Debug_CopyClip")->click();
    QCOMPARE(ClipboardText(), memo->toPlainText());
    m.Find<QToolButton>("PB_Debug_ClearMemo")->click();
    QVERIFY(memo->toPlainText().isEmpty());

    QVERIFY(pauses->isChecked());
    QCOMPARE(s.iPauseFactor, 0);
    pauses->trigger();
    QCOMPARE(s.iPauseFactor, 0);
    QCOMPARE(env.User(QStringLiteral("ADMIN"), QStringLiteral("FrmMain_SleepTime")),
             QStringLiteral("NO"));
    pauses->trigger();
    QCOMPARE(s.iPauseFactor, 1);
    QCOMPARE(env.User(QStringLiteral("ADMIN"), QStringLiteral("FrmMain_SleepTime")),
             QStringLiteral("SI"));
}

void tst_MainForm::debugTimingLine()
{
    const QDateTime start(QDate(2024, 1, 2), QTime(23, 59, 58, 7));
    QCOMPARE(DebugTimingLine(QStringLiteral("TLAYOUT_PREVENTIVO"),
                             QStringLiteral("Anteprima"),
                             start,
                             start.addMSecs(83456)),
             QStringLiteral("TLAYOUT_PREVENTIVO.Anteprima: INIZIO: 23:59:58.007, FINE: "
                            "00:01:21.463, DURATA: 01:23.456"));
}

void tst_MainForm::closeConfirmation()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    TDialogRecorder &rec = env.Recorder();
    TFakeFunction clienti;
    RegisterFunction(QStringLiteral("GESTIONE_CLIENTI"), clienti);
    m.Button("PB_GestioneClienti")->click();
    QMdiArea *area = m.form.MdiArea();
    QCOMPARE(area->subWindowList().size(), 1);

    rec.QueueNo();
    QVERIFY(!m.form.close());
    QCOMPARE(rec.LastText(TDialogKind::Question),
             QStringLiteral("Una o più funzioni sono in utilizzo.") + LineBreaks(2)
                 + QStringLiteral("Confermi la chiusura del programma ?"));
    QVERIFY(m.form.isVisible());
    QCOMPARE(area->subWindowList().size(), 1);
    QVERIFY(area->subWindowList().at(0)->isVisible());

    rec.QueueYes();
    QVERIFY(m.form.close());
    QCOMPARE(rec.Count(TDialogKind::Question), 2);
    QVERIFY(!m.form.isVisible());
    QVERIFY(!TSTD_DBMODULE::Instance()->Connected());
}

void tst_MainForm::reLogon()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    TDialogRecorder &rec = env.Recorder();
    TFakeFunction clienti;
    RegisterFunction(QStringLiteral("GESTIONE_CLIENTI"), clienti);
    m.Button("PB_GestioneClienti")->click();
    QMdiArea *area = m.form.MdiArea();
    QAction *info = m.Action("MNU_Info");
    const QString adminCaption = info->text();

    // "No": nothing happens.
    rec.QueueNo();
    info->trigger();
    QCOMPARE(rec.LastText(TDialogKind::Question),
             QStringLiteral("Vuoi ricollegarti con altro utente ?"));
    QCOMPARE(info->text(), adminCaption);

    // "Si" and the same operator again: his windows stay open.
    rec.QueueYes();
    AnswerLogon(QStringLiteral("admin"), kAdminPassword);
    info->trigger();
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("ADMIN"));
    QCOMPARE(area->subWindowList().size(), 1);
    QVERIFY(area->subWindowList().at(0)->isVisible());

    // Another operator: the previous one's windows are closed first, without a question when
    // none has an operation in progress.
    rec.QueueYes();
    AnswerLogon(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    info->trigger();
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("MROSSI"));
    QVERIFY(info->text().contains(QLatin1String("(MROSSI)")));
    QVERIFY(!info->text().startsWith(QLatin1String(" [ServerDB:")));
    QVERIFY(!m.Find<QMenu>("MNU_Admin")->menuAction()->isVisible());
    QVERIFY(!m.Widget("PAN_Debug")->isVisible());
    QCOMPARE(SessionInfo().iDebugPaneHeight, 0);
    QTRY_COMPARE(area->subWindowList().size(), 0);
    QCOMPARE(rec.Count(TDialogKind::Question), 3);
    QCOMPARE(rec.Count(TDialogKind::Info), 0);
    QVERIFY(!rec.Terminated());

    // A cancelled re-logon ends the program.
    rec.QueueYes();
    AnswerLogon(QString(), QString());
    info->trigger();
    QVERIFY(rec.Terminated());
    QCOMPARE(rec.LastText(TDialogKind::Terminate), QStringLiteral("0"));
}

// The fault met by a new user: the administrator had the customers of the first company open,
// an operator of the second company logged on and could see and change them. Now the window
// closes first; one with an edit in progress asks, and "No" keeps the previous operator.
void tst_MainForm::reLogonAsOperatorOfAnotherCompany()
{
    TAppTestEnvironment env;
    const QString firstCompany = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
    const QString secondCompany = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}");
    const QString lverdiPassword = QStringLiteral("verdi24");
    env.Db().SuperQuery(QStringLiteral("UPDATE Operatori SET txPassword = %1 WHERE txOperatore = "
                                       "'LVERDI'")
                            .arg(SqlText(PasswordToBase64(lverdiPassword))));
    RegisterWindow(QStringLiteral("GESTIONE_CLIENTI"),
                   [](QWidget *parent) { return new TGESTIONE_CLIENTI(parent); });
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    TDialogRecorder &rec = env.Recorder();
    QMdiArea *area = m.form.MdiArea();
    QAction *info = m.Action("MNU_Info");
    const QString adminCaption = info->text();

    const auto openCustomers = [&] {
        m.Button("PB_GestioneClienti")->click();
        auto *w = qobject_cast<TGESTIONE_CLIENTI *>(area->activeSubWindow()->widget());
        if (w)
            w->PB_EstraiElencoClick();
        return w;
    };
    const auto companiesListed = [](TGESTIONE_CLIENTI *w) {
        QSet<QString> companies;
        TDataSet *rows = w->DST_GRID_Clienti();
        for (rows->First(); !rows->Eof(); rows->Next())
            companies.insert(rows->FieldByName(QStringLiteral("idSocieta")).AsString());
        return companies;
    };
    TGESTIONE_CLIENTI *customers = openCustomers();
    QVERIFY(customers);
    QCOMPARE(companiesListed(customers), QSet<QString>{firstCompany});
    customers->NuovoCliente();
    QVERIFY(customers->EditMode());
    rec.Clear();

    // The window asks before its edit is dropped; "No" cancels the re-logon.
    rec.QueueYes();
    rec.QueueNo();
    AnswerLogon(QStringLiteral("LVERDI"), lverdiPassword);
    info->trigger();
    QCOMPARE(rec.Count(TDialogKind::Question), 2);
    QCOMPARE(rec.LastText(TDialogKind::Question),
             QStringLiteral("Confermi l'annullamento dell'operazione in corso ?"));
    QCOMPARE(rec.LastText(TDialogKind::Info),
             QStringLiteral("Ricollegamento annullato: una funzione ha un'operazione in corso.")
                 + LineBreaks(2) + QStringLiteral("L'utente collegato resta ADMIN."));
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("ADMIN"));
    QCOMPARE(SessionInfo().sOperatorCompanyId, firstCompany);
    QVERIFY(SessionInfo().bAdministrator);
    QCOMPARE(info->text(), adminCaption);
    QVERIFY(info->isVisible());
    QVERIFY(m.Widget("PAN_Funzioni")->isVisible());
    QVERIFY(m.Button("PB_GestioneSocieta")->isVisible());
    QCOMPARE(area->subWindowList().size(), 1);
    QVERIFY(customers->EditMode());
    QVERIFY(!rec.Terminated());
    // The server agrees: the session of the connection is still the administrator's.
    const QString adminOnly = QStringLiteral("EXEC EstraiSocieta  0");
    try {
        TSTD_DBMODULE::Instance()->Query(adminOnly);
    } catch (const EDatabaseError &e) {
        QFAIL(qPrintable(e.ProviderText()));
    }

    // "Si": the edit is dropped, the window closes and the new operator works in his company.
    rec.Clear();
    rec.QueueYes();
    rec.QueueYes();
    AnswerLogon(QStringLiteral("LVERDI"), lverdiPassword);
    info->trigger();
    QCOMPARE(rec.Count(TDialogKind::Question), 2);
    QCOMPARE(rec.Count(TDialogKind::Info), 0);
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("LVERDI"));
    QCOMPARE(SessionInfo().sOperatorCompanyId, secondCompany);
    QVERIFY(info->text().contains(QLatin1String("(LVERDI)")));
    QTRY_COMPARE(area->subWindowList().size(), 0);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, TSTD_DBMODULE::Instance()->Query(adminOnly));
    customers = openCustomers();
    QVERIFY(customers);
    QCOMPARE(companiesListed(customers), QSet<QString>{secondCompany});
}

void tst_MainForm::lostConnectionEndsProgram()
{
    TAppTestEnvironment env;
    TStartedMainForm m(QStringLiteral("ADMIN"), kAdminPassword);
    QVERIFY(m.started);
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    const QString command = ExecText(QStringLiteral("EstraiDatiOperatore"),
                                     {SqlText(QStringLiteral("ADMIN")),
                                      SqlText(PasswordToBase64(kAdminPassword))});
    QCOMPARE(db->Query(command)->RecordCount(), 1);
    QVERIFY(db->Connected());

    env.Db().SuperQuery(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE datname = current_database() "
                                       "AND pid <> pg_backend_pid()"));
    // A window runs its next command and reports the failure the standard way.
    try {
        db->Query(command);
        QFAIL("the command ran on a terminated session");
    } catch (const EDatabaseError &e) {
        ShowErrorBox(QStringLiteral("Errore estrazione elenco clienti (ERR.C05).") + LineBreaks(2)
                     + u'(' + e.ProviderText().trimmed() + u')');
    }
    const TDialogRecorder &rec = env.Recorder();
    QVERIFY(rec.Terminated());
    QCOMPARE(rec.LastText(TDialogKind::Error),
             QStringLiteral("La connessione con il database si è interrotta.") + LineBreaks(2)
                 + QStringLiteral("Ventorel si chiuderà, rilanciarlo") + LineBreaks(1)
                 + QStringLiteral("per continuare l'attività in corso."));
    QTRY_COMPARE_WITH_TIMEOUT(m.Action("MNU_AdminDBConnected")->text(),
                              QStringLiteral("(Disconnesso dal DB)"),
                              3000);
}

void tst_MainForm::secondInstanceEndsSilently()
{
#ifndef VENTOREL_EXE
    QSKIP("the program is not built");
#else
    // This process holds the instance lock, as a running program would.
    IsAlreadyRunning(QStringLiteral("VentorelWin.exe"), true);
    QTemporaryDir home;
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VENTOREL_HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(VENTOREL_EXE), {});
    QVERIFY(second.waitForStarted());
    // A program that went on would show its splash and wait at the logon: it would not end.
    const bool ended = second.waitForFinished(20000);
    if (!ended)
        second.kill();
    QVERIFY(ended);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().isEmpty());
    // Nothing was written in its program folder either.
    QVERIFY(QDir(home.path()).entryList(QDir::Files).isEmpty());
#endif
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
