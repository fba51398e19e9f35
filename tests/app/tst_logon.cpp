// The operator logon window against a real database with the demo operators.

#include "tests/app/apptestenv.h"

#include "app/do_logon.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "db/commandtext.h"

#include <QComboBox>
#include <QFrame>
#include <QScopeGuard>
#include <QStyle>

namespace {

struct TLogonWindow
{
    TDO_LOGON dialog;

    TLogonWindow()
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
    template<class T>
    T *Find(const char *name)
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }
    QLineEdit *Edit(const char *name) { return Find<QLineEdit>(name); }
    QPushButton *Button(const char *name) { return Find<QPushButton>(name); }
    void LogOn(const QString &user, const QString &password)
    {
        TypeLogon(&dialog, user, password);
        Button("PB_Ok")->click();
    }
    void TypeNewPassword(const QString &newPassword, const QString &repeated)
    {
        Edit("EF_NewPWD")->clear();
        Edit("EF_RipetiPWD")->clear();
        QTest::keyClicks(Edit("EF_NewPWD"), newPassword);
        QTest::keyClicks(Edit("EF_RipetiPWD"), repeated);
        Button("PB_OkCambio")->click();
    }
};

} // namespace

class tst_Logon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void logonOutcome_data();
    void logonOutcome();
    void sessionRecord_data();
    void sessionRecord();
    void firstLogonLeadsThroughPasswordChange();
    void passwordChangeOnRequest();
    void connectionFailureKeepsWindow_data();
    void connectionFailureKeepsWindow();
    void operatorCheckError();
    void lockOutAfterFiveWrongPasswords();
    void startWithRememberedCredentials();
    void cancelGivesCancelResult();
    void showPasswordSwitch();
    void developerCatalogList_data();
    void developerCatalogList();
    void developerCatalogLogonStoresIndex();
    void developerQuickLogon_data();
    void developerQuickLogon();
    void grabWindow();
};

void tst_Logon::initTestCase()
{
    QVERIFY2(TTestDatabase::Available(), "the test cluster does not answer");
}

void tst_Logon::cleanup()
{
    CancelPendingActions();
}

void tst_Logon::logonOutcome_data()
{
    QTest::addColumn<QString>("typedUser");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<QString>("shownUser");
    QTest::addColumn<QString>("shownPassword");
    QTest::addColumn<QString>("error");

    QTest::newRow("administrator")
        << "ADMIN" << kAdminPassword << "ADMIN" << kAdminPassword << QString();
    // Typed in the wrong case: the user goes out in upper case, the password in lower case.
    QTest::newRow("cases turned") << "mRossi"
                                  << "ROSSI"
                                  << "MROSSI"
                                  << "rossi" << QString();
    QTest::newRow("funzionario") << "gbianchi"
                                 << "bianchi"
                                 << "GBIANCHI"
                                 << "bianchi" << QString();
    QTest::newRow("wrong password") << "ADMIN"
                                    << "sbagliata"
                                    << "ADMIN"
                                    << "sbagliata"
                                    << "Utente o password errati.";
    QTest::newRow("unknown user") << "NESSUNO"
                                  << "nessuno1"
                                  << "NESSUNO"
                                  << "nessuno1"
                                  << "Utente o password errati.";
    QTest::newRow("apostrophes and backslash") << "O'NEIL\\"
                                               << "x'); delete from operatori; --"
                                               << "O'NEIL\\"
                                               << "x'); delete from operatori; --"
                                               << "Utente o password errati.";
    QTest::newRow("deactivated") << "pneri"
                                 << "neri"
                                 << "PNERI"
                                 << "neri"
                                 << "\"PNERI\" non è più attivo.";
}

void tst_Logon::logonOutcome()
{
    QFETCH(QString, typedUser);
    QFETCH(QString, typedPassword);
    QFETCH(QString, shownUser);
    QFETCH(QString, shownPassword);
    QFETCH(QString, error);

    TAppTestEnvironment env;
    TLogonWindow w;
    w.LogOn(typedUser, typedPassword);

    QCOMPARE(w.Edit("EF_UserId")->text(), shownUser);
    QCOMPARE(w.Edit("EF_Password")->text(), shownPassword);
    QVERIFY(!env.Db().Module().Connected()); // closed after every attempt
    const TSessionInfo &s = SessionInfo();
    if (error.isEmpty()) {
        QCOMPARE(env.Recorder().Requests().size(), 0);
        QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
        QVERIFY(!w.dialog.isVisible());
        QCOMPARE(s.sUserName, shownUser);
        QCOMPARE(s.sPassword, shownPassword);
        QCOMPARE(s.sDatabaseName, env.Db().Name());
        QCOMPARE(s.sUserSettingsFile, env.UserIni(shownUser));
        QVERIFY(s.dtServerTime.isValid());
    } else {
        QCOMPARE(env.Recorder().Requests().size(), 1);
        QCOMPARE(env.Recorder().LastText(TDialogKind::Error), error);
        QVERIFY(w.dialog.isVisible());
        QCOMPARE(w.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_UserId"));
        QVERIFY(s.sUserName.isEmpty());
        QVERIFY(!w.dialog.ChangePanelOpen());
    }
    // No command of any attempt changed the operators.
    QCOMPARE(env.Db().SuperQuery(QStringLiteral("SELECT count(*) FROM Operatori")),
             QStringLiteral("7"));
}

void tst_Logon::sessionRecord_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("idOperatore");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("companyId");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("funzionario");
    QTest::addColumn<QString>("rootFolder");

    QTest::newRow("administrator")
        << "ADMIN" << kAdminPassword << "{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2001}"
        << "Amministratore di sistema"
        << "Tecnoquadri Lombarda S.r.l."
        << "{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}" << true << false << "VENTOREL";
    QTest::newRow("funzionario without company")
        << "GBIANCHI"
        << "bianchi"
        << "{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2003}"
        << "Giorgio Bianchi" << QString() << QString() << false << true << QString();
}

void tst_Logon::sessionRecord()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, idOperatore);
    QFETCH(QString, description);
    QFETCH(QString, company);
    QFETCH(QString, companyId);
    QFETCH(bool, administrator);
    QFETCH(bool, funzionario);
    QFETCH(QString, rootFolder);

    TAppTestEnvironment env;
    // Left over from an earlier operator: the check must replace every field.
    SessionInfo().sOperatorCompanyId = QStringLiteral("{STALE}");
    SessionInfo().sCompanyName = QStringLiteral("Vecchia società");
    TLogonWindow w;
    w.LogOn(user, password);
    QCOMPARE(w.dialog.result(), int(QDialog::Accepted));

    const TSessionInfo &s = SessionInfo();
    QCOMPARE(s.sIdOperatore, idOperatore);
    QCOMPARE(s.sOperatorDescription, description);
    QCOMPARE(s.sCompanyName, company);
    QCOMPARE(s.sOperatorCompanyId, companyId);
    QCOMPARE(s.bAdministrator, administrator);
    QCOMPARE(s.bFunzionario, funzionario);
    QCOMPARE(s.sRootFolder, rootFolder);
}

void tst_Logon::firstLogonLeadsThroughPasswordChange()
{
    TAppTestEnvironment env;
    TDialogRecorder &rec = env.Recorder();
    {
        TLogonWindow w;
        w.LogOn(QStringLiteral("LVERDI"), QStringLiteral("lverdi"));
        QCOMPARE(rec.LastText(TDialogKind::Warning),
                 QStringLiteral("Primo collegamento, impostare una password valida."));
        QCOMPARE(w.dialog.result(), int(QDialog::Rejected));
        QVERIFY(w.dialog.ChangePanelOpen());
        QVERIFY(w.dialog.MustChangePassword());
        QVERIFY(SessionInfo().sUserName.isEmpty());
        QVERIFY(!w.Find<QFrame>("PAN_Pulsanti")->isEnabled());
        QVERIFY(!w.Edit("EF_UserId")->isEnabled());
        QVERIFY(!w.Edit("EF_Password")->isEnabled());
        QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_NewPWD"));

        struct Refusal
        {
            const char *newPassword;
            const char *repeated;
            const char *message;
        };
        const Refusal refusals[] = {
            {"abc", "abc", "Attenzione !!! La password deve essere almeno lunga 4 caratteri."},
            {"abcd", "abce", "Attenzione !!! Le password digitate non sono uguali."},
            // Typed in upper case, kept in lower case: still the user name.
            {"LVERDI", "lverdi", "Attenzione !!! La password non deve essere uguale all'utente."},
        };
        for (const Refusal &r : refusals) {
            rec.Clear();
            w.TypeNewPassword(QLatin1String(r.newPassword), QLatin1String(r.repeated));
            QCOMPARE(rec.Requests().size(), 1);
            QCOMPARE(rec.LastText(TDialogKind::Error), QString::fromUtf8(r.message));
            QVERIFY(w.dialog.ChangePanelOpen());
            QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_NewPWD"));
        }

        rec.Clear();
        w.TypeNewPassword(QStringLiteral("Verdi2024"), QStringLiteral("verdi2024"));
        QCOMPARE(rec.Requests().size(), 0);
        QVERIFY(!w.dialog.ChangePanelOpen());
        QCOMPARE(w.Edit("EF_Password")->text(), QStringLiteral("verdi2024"));
        QVERIFY(w.Find<QFrame>("PAN_Pulsanti")->isEnabled());
        QVERIFY(w.Edit("EF_UserId")->isEnabled());
        QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_Password"));
        QVERIFY(!env.Db().Module().Connected());

        // The server keeps a hash, not the form the client sent.
        const QString stored = env.Db().SuperQuery(
            QStringLiteral("SELECT txPassword FROM Operatori WHERE txOperatore = 'LVERDI'"));
        QVERIFY(!stored.isEmpty());
        QVERIFY(stored != PasswordToBase64(QStringLiteral("verdi2024")));

        w.Button("PB_Ok")->click();
        QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(SessionInfo().sUserName, QStringLiteral("LVERDI"));
        QCOMPARE(SessionInfo().sCompanyName, QStringLiteral("Elettrosistemi Adriatica S.p.A."));
    }
    // The first password no longer opens the door.
    rec.Clear();
    SessionInfo().sUserName.clear();
    TLogonWindow again;
    again.LogOn(QStringLiteral("LVERDI"), QStringLiteral("lverdi"));
    QCOMPARE(rec.LastText(TDialogKind::Error), QStringLiteral("Utente o password errati."));
    QVERIFY(!again.dialog.ChangePanelOpen());
}

void tst_Logon::passwordChangeOnRequest()
{
    TAppTestEnvironment env;
    TDialogRecorder &rec = env.Recorder();
    TLogonWindow w;

    // The current password is checked before the panel opens.
    TypeLogon(&w.dialog, QStringLiteral("MROSSI"), QStringLiteral("sbagliata"));
    w.Button("PB_CambiaPWD")->click();
    QCOMPARE(rec.LastText(TDialogKind::Error), QStringLiteral("Utente o password errati."));
    QVERIFY(!w.dialog.ChangePanelOpen());

    rec.Clear();
    TypeLogon(&w.dialog, QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    w.Button("PB_CambiaPWD")->click();
    QCOMPARE(rec.Requests().size(), 0);
    QVERIFY(w.dialog.ChangePanelOpen());
    QVERIFY(w.dialog.isVisible()); // a good check opens the panel, it does not log on
    QCOMPARE(w.dialog.result(), int(QDialog::Rejected));

    // "Annulla" gives the window back as it was.
    w.Button("PB_AnnullaCambio")->click();
    QVERIFY(!w.dialog.ChangePanelOpen());
    QVERIFY(w.Find<QFrame>("PAN_Pulsanti")->isEnabled());
    QVERIFY(w.Edit("EF_Password")->isEnabled());
    QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_Password"));
    QCOMPARE(w.Edit("EF_Password")->text(), QStringLiteral("rossi"));

    w.Button("PB_CambiaPWD")->click();
    QVERIFY(w.dialog.ChangePanelOpen());
    w.TypeNewPassword(QStringLiteral("mario'77"), QStringLiteral("mario'77"));
    QCOMPARE(rec.Requests().size(), 0);
    QVERIFY(!w.dialog.ChangePanelOpen());
    w.Button("PB_Ok")->click();
    QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(SessionInfo().sPassword, QStringLiteral("mario'77"));
}

void tst_Logon::connectionFailureKeepsWindow_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("key2");
    QTest::addColumn<QString>("value2");

    QTest::newRow("socket folder absent") << "DbLocalSocket"
                                          << "/nonexistent/ventorel/run" << QString() << QString();
    QTest::newRow("server refuses") << "SrvLoc"
                                    << "127.0.0.1"
                                    << "DbPort"
                                    << "1";
    QTest::newRow("catalog absent") << "DBxDebugKRT"
                                    << "VentorelDB_NonEsiste" << QString() << QString();
    QTest::newRow("program login refused") << "DbPassword"
                                           << "sbagliata" << QString() << QString();
}

void tst_Logon::connectionFailureKeepsWindow()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, key2);
    QFETCH(QString, value2);

    TAppTestEnvironment env;
    env.SetGlobal(key, value);
    if (!key2.isEmpty())
        env.SetGlobal(key2, value2);
    TLogonWindow w;
    w.LogOn(QStringLiteral("ADMIN"), kAdminPassword);

    const QString prefix = QStringLiteral("Errore connessione al database (ERR.A01): ")
                           + LineBreaks(1);
    QCOMPARE(env.Recorder().Requests().size(), 1);
    const QString text = env.Recorder().LastText(TDialogKind::Error);
    QVERIFY2(text.startsWith(prefix) && text.size() > prefix.size() + 5, qPrintable(text));
    QVERIFY(!env.Recorder().Terminated());
    QVERIFY(w.dialog.isVisible());
    QCOMPARE(w.dialog.result(), int(QDialog::Rejected));
    QCOMPARE(w.Edit("EF_UserId")->text(), QStringLiteral("ADMIN"));
    QCOMPARE(w.Edit("EF_Password")->text(), kAdminPassword);
    QCOMPARE(w.dialog.focusWidget(), w.Edit("EF_UserId"));
    QVERIFY(SessionInfo().sUserName.isEmpty());
}

void tst_Logon::operatorCheckError()
{
    TAppTestEnvironment env;
    env.Db().SuperQuery(QStringLiteral("DROP FUNCTION EstraiDatiOperatore(text, text)"));
    TLogonWindow w;
    w.LogOn(QStringLiteral("ADMIN"), kAdminPassword);

    const QList<TDialogRequest> errors = env.Recorder().RequestsOf(TDialogKind::Error);
    QCOMPARE(errors.size(), 2);
    const QString head = QStringLiteral("Errore logon.") + LineBreaks(2) + u'(';
    QVERIFY2(errors.at(0).text.startsWith(head) && errors.at(0).text.endsWith(u')'),
             qPrintable(errors.at(0).text));
    QVERIFY(errors.at(0).text.contains(QLatin1String("estraidatioperatore")));
    QCOMPARE(errors.at(1).text, QStringLiteral("Utente o password errati."));
    QVERIFY(w.dialog.isVisible());
    QVERIFY(!env.Db().Module().Connected());
}

// Five wrong passwords in a row: the operator is refused for 15 minutes, right password or
// not, and the window says why before the usual refusal.
void tst_Logon::lockOutAfterFiveWrongPasswords()
{
    TAppTestEnvironment env;
    TLogonWindow w;
    for (int i = 0; i < 5; ++i) {
        w.LogOn(QStringLiteral("MROSSI"), QStringLiteral("sbagliata"));
        QCOMPARE(env.Recorder().LastText(TDialogKind::Error),
                 QStringLiteral("Utente o password errati."));
    }
    const int before = env.Recorder().Requests().size();
    w.LogOn(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    QCOMPARE(env.Recorder().Requests().size(), before + 2);
    QCOMPARE(env.Recorder().Requests().at(before).text,
             QStringLiteral("Errore logon.") + LineBreaks(2)
                 + QStringLiteral("(Troppi tentativi con password errata: l'utente MROSSI è "
                                  "bloccato per 15 minuti.)"));
    QCOMPARE(env.Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Utente o password errati."));
    QVERIFY(w.dialog.isVisible());
    QVERIFY(SessionInfo().sUserName.isEmpty());
    // Another operator is not held up.
    w.LogOn(QStringLiteral("GBIANCHI"), QStringLiteral("bianchi"));
    QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
}

void tst_Logon::startWithRememberedCredentials()
{
    TAppTestEnvironment env;
    bool shown = false;
    WhenShown(QStringLiteral("DO_LOGON"), [&shown](QWidget *logon) {
        shown = true;
        ClickButton(logon, "PB_Annulla");
    });

    // Right credentials: logged on without showing the window.
    SessionInfo().sUserName = QStringLiteral("ADMIN");
    SessionInfo().sPassword = kAdminPassword;
    {
        TDO_LOGON logon;
        QCOMPARE(logon.Start(), TLogonResult::Ok);
    }
    QCoreApplication::processEvents();
    QVERIFY(!shown);
    QCOMPARE(SessionInfo().sOperatorDescription, QStringLiteral("Amministratore di sistema"));

    // Wrong ones: the message, then the window for the operator.
    SessionInfo().sPassword = QStringLiteral("sbagliata");
    TDO_LOGON logon;
    QCOMPARE(logon.Start(), TLogonResult::Cancel);
    QVERIFY(shown);
    QCOMPARE(env.Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Utente o password errati."));
}

void tst_Logon::cancelGivesCancelResult()
{
    TAppTestEnvironment env;
    WhenShown(QStringLiteral("DO_LOGON"), [](QWidget *logon) {
        TypeLogon(logon, QStringLiteral("ADMIN"), kAdminPassword);
        ClickButton(logon, "PB_Annulla");
    });
    TDO_LOGON logon;
    QCOMPARE(logon.windowTitle(), QStringLiteral("Inserisci le credenziali"));
    QCOMPARE(logon.Start(), TLogonResult::Cancel);
    QVERIFY(SessionInfo().sUserName.isEmpty());
    QCOMPARE(env.Recorder().Requests().size(), 0);
}

void tst_Logon::showPasswordSwitch()
{
    TAppTestEnvironment env;
    TLogonWindow w;
    QLineEdit *password = w.Edit("EF_Password");
    auto *reveal = w.Find<QCheckBox>("TS_Password");
    QTest::keyClicks(password, QStringLiteral("Segreta"));
    QCOMPARE(password->text(), QStringLiteral("segreta"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
             int(u'*'));
    QCOMPARE(reveal->text(), QStringLiteral("Mostra password (2 secondi)"));

    reveal->click();
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QVERIFY(password->isReadOnly());
    QCOMPARE(reveal->text(), QStringLiteral("Nascondi password"));
    QCOMPARE(w.dialog.focusWidget(), password);

    // Off by itself after two seconds.
    QTRY_VERIFY_WITH_TIMEOUT(!reveal->isChecked(), 5000);
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(!password->isReadOnly());
    QCOMPARE(reveal->text(), QStringLiteral("Mostra password (2 secondi)"));
    QCOMPARE(w.dialog.focusWidget(), password);

    // Off by hand: masked and editable at once.
    reveal->click();
    reveal->click();
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(!password->isReadOnly());
}

void tst_Logon::developerCatalogList_data()
{
    QTest::addColumn<bool>("developer");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");

    QTest::newRow("not a developer") << false << "3" << 0;
    QTest::newRow("nothing stored") << true << QString() << 0;
    QTest::newRow("stored 3") << true << "3" << 3;
    QTest::newRow("last entry") << true << "4" << 4;
    QTest::newRow("past the end") << true << "5" << 0;
    QTest::newRow("negative") << true << "-1" << 0;
    QTest::newRow("not a number") << true << "tre" << 0;
}

void tst_Logon::developerCatalogList()
{
    QFETCH(bool, developer);
    QFETCH(QString, stored);
    QFETCH(int, index);

    TAppTestEnvironment env;
    SessionInfo().bDeveloperMode = developer;
    if (!stored.isNull())
        env.SetGlobal(QStringLiteral("FrmLogon_IndexDB"), stored);
    TLogonWindow w;
    auto *list = w.Find<QComboBox>("CB_SceltaDB");
    QCOMPARE(list->isVisible(), developer);
    QCOMPARE(w.Button("PB_AutoLogon")->isVisible(), developer);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    QCOMPARE(items,
             QStringList({"VentorelDB_DEV",
                          "VentorelDB",
                          "VentorelDB_ORMEA",
                          "VentorelDB_RUNA",
                          "VentorelDB_TALVO"}));
    QCOMPARE(list->currentIndex(), index);
}

void tst_Logon::developerCatalogLogonStoresIndex()
{
    TAppTestEnvironment env;
    // A catalog with a name of the list, made for this test from the demo template.
    const QString catalog = QStringLiteral("VentorelDB_TALVO");
    const QString drop = QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(catalog);
    env.Db().SuperQuery(drop);
    env.Db().SuperQuery(
        QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE ventorel_tpl_demo").arg(catalog));
    const auto cleanup = qScopeGuard([&env, drop] {
        try {
            env.Db().SuperQuery(drop);
        } catch (...) {
        }
    });

    SessionInfo().bDeveloperMode = true;
    env.SetGlobal(QStringLiteral("FrmLogon_IndexDB"), QStringLiteral("1"));
    TLogonWindow w;
    auto *list = w.Find<QComboBox>("CB_SceltaDB");
    QCOMPARE(list->currentIndex(), 1);
    list->setCurrentIndex(4);
    w.LogOn(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    QCOMPARE(env.Recorder().Requests().size(), 0);
    QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(SessionInfo().sDatabaseName, catalog);
    QCOMPARE(env.Global(QStringLiteral("FrmLogon_IndexDB")), QStringLiteral("4"));
}

void tst_Logon::developerQuickLogon_data()
{
    QTest::addColumn<int>("catalog");
    QTest::addColumn<QString>("developerUser");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("asksAdmin");

    QTest::newRow("development catalog") << 0 << QString() << "MIRTOS"
                                         << "pelv83" << false;
    QTest::newRow("main catalog, developer user") << 1 << "GIANNI"
                                                  << "GIANNI"
                                                  << "pelv83" << false;
    QTest::newRow("customer catalog")
        << 3 << "GIANNI" << TDO_LOGON::kSharedUser << TDO_LOGON::kSharedPassword << true;
}

void tst_Logon::developerQuickLogon()
{
    QFETCH(int, catalog);
    QFETCH(QString, developerUser);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, asksAdmin);

    TAppTestEnvironment env;
    SessionInfo().bDeveloperMode = true;
    SessionInfo().sDeveloperUser = developerUser;
    env.Recorder().QueueYes();
    TLogonWindow w;
    w.Find<QComboBox>("CB_SceltaDB")->setCurrentIndex(catalog);
    w.Button("PB_AutoLogon")->click();

    QCOMPARE(w.Edit("EF_UserId")->text(), user);
    QCOMPARE(w.Edit("EF_Password")->text(), password);
    QCOMPARE(env.Recorder().Count(TDialogKind::Question), asksAdmin ? 1 : 0);
    if (asksAdmin) {
        QCOMPARE(env.Recorder().LastText(TDialogKind::Question), QStringLiteral("Sei Admin ?"));
        QVERIFY(SessionInfo().bAdministrator);
    }
    // "Ok" was pressed on the chosen catalog, which the test cluster does not hold.
    QCOMPARE(SessionInfo().sDatabaseName, TDO_LOGON::Catalogs().at(catalog));
    QVERIFY(env.Recorder().LastText(TDialogKind::Error).startsWith(QLatin1String("Errore")));
    QVERIFY(w.dialog.isVisible());
    // Only a successful logon remembers the catalog.
    QCOMPARE(env.Global(QStringLiteral("FrmLogon_IndexDB")), QLatin1String(kIniAbsent));
}

void tst_Logon::grabWindow()
{
    TAppTestEnvironment env;
    {
        SessionInfo().bDeveloperMode = true;
        TLogonWindow w;
        QTest::keyClicks(w.Edit("EF_UserId"), QStringLiteral("admin"));
        QTest::keyClicks(w.Edit("EF_Password"), QStringLiteral("admin"));
        GrabIfAsked(&w.dialog, QStringLiteral("logon"));
        // Every named control is there.
        for (const char *name : {"EF_UserId",
                                 "EF_Password",
                                 "TS_Password",
                                 "PB_Ok",
                                 "PB_Annulla",
                                 "PB_CambiaPWD",
                                 "CB_SceltaDB",
                                 "PB_AutoLogon",
                                 "PAN_CambioPWD",
                                 "EF_NewPWD",
                                 "EF_RipetiPWD",
                                 "PB_OkCambio",
                                 "PB_AnnullaCambio"})
            QVERIFY2(w.dialog.findChild<QWidget *>(QLatin1String(name)), name);
    }
    SessionInfo().bDeveloperMode = false;
    TLogonWindow w;
    w.LogOn(QStringLiteral("LVERDI"), QStringLiteral("lverdi"));
    QVERIFY(w.dialog.ChangePanelOpen());
    QTest::keyClicks(w.Edit("EF_NewPWD"), QStringLiteral("nuova"));
    GrabIfAsked(&w.dialog, QStringLiteral("logon_cambio"));
}

QTEST_MAIN(tst_Logon)
#include "tst_logon.moc"
