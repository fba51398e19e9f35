#include "app/do_logon.h"

#include "app/connectionsettings.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/tstd_asynctimerinfo.h"
#include "common/tstd_progress.h"
#include "common/windowroutines.h"
#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/operatorpassword.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRevealMs = 2000;
const char *const kResetPasswordChar = "RESETPASSWCHAR";
const char *const kShowPasswordText = "Mostra password (2 secondi)";
const char *const kHidePasswordText = "Nascondi password";

// Masked fields show "*" for every character, whatever the platform's habit.
class TAsteriskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint,
                  const QStyleOption *option,
                  const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return int(u'*');
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void hideWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

} // namespace

QStringList TDO_LOGON::Catalogs()
{
    return {QStringLiteral("VentorelDB_DEV"),
            QStringLiteral("VentorelDB"),
            QStringLiteral("VentorelDB_ORMEA"),
            QStringLiteral("VentorelDB_RUNA"),
            QStringLiteral("VentorelDB_TALVO")};
}

TDO_LOGON::TDO_LOGON(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DO_LOGON"));
    setWindowTitle(QStringLiteral("Inserisci le credenziali"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ApplyFormatSettings();
    BuildWindow();

    const bool developer = SessionInfo().bDeveloperMode;
    m_catalogShown = developer;
    PB_AutoLogon->setVisible(developer);
    CB_SceltaDB->setVisible(developer);
    SF_SceltaDB->setVisible(developer);
    if (developer)
        SelectStoredCatalog();
    adjustSize();
    // Room for the change panel over the fields, with a margin all round.
    const QSize panel = PAN_CambioPWD->size() + QSize(60, 40);
    setFixedSize(sizeHint().expandedTo(QSize(460, 0)).expandedTo(panel));
    CenterPanelInForm(PAN_CambioPWD, this);
}

TDO_LOGON::~TDO_LOGON() = default;

QLineEdit *TDO_LOGON::AddField(
    QWidget *parent, const QString &name, const QString &caption, bool upperCase, bool masked)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name + QStringLiteral("_Caption"));
    label->setBuddy(edit);
    if (masked) {
        auto *style = new TAsteriskStyle;
        style->setParent(edit);
        edit->setStyle(style);
        edit->setEchoMode(QLineEdit::Password);
    }
    // The field keeps its case whatever is typed or pasted.
    connect(edit, &QLineEdit::textChanged, edit, [edit, upperCase](const QString &text) {
        const QString cased = upperCase ? text.toUpper() : text.toLower();
        if (cased != text) {
            const int pos = edit->cursorPosition();
            edit->setText(cased);
            edit->setCursorPosition(pos);
        }
    });
    if (auto *grid = qobject_cast<QGridLayout *>(parent->layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
    }
    return edit;
}

void TDO_LOGON::BuildWindow()
{
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    PAN_Campi = new QFrame(this);
    PAN_Campi->setObjectName(QStringLiteral("PAN_Campi"));
    auto *grid = new QGridLayout(PAN_Campi);
    grid->setContentsMargins(24, 20, 24, 14);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    EF_UserId = AddField(PAN_Campi,
                         QStringLiteral("EF_UserId"),
                         QStringLiteral("Utente "),
                         true,
                         false);
    EF_UserId->setMaxLength(50);
    EF_Password = AddField(PAN_Campi,
                           QStringLiteral("EF_Password"),
                           QStringLiteral("Password "),
                           false,
                           true);
    EF_Password->setMaxLength(50);

    TS_Password = new QCheckBox(QLatin1String(kShowPasswordText), PAN_Campi);
    TS_Password->setObjectName(QStringLiteral("TS_Password"));
    TS_Password->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(TS_Password, grid->rowCount(), 1);

    SF_SceltaDB = new QLabel(QStringLiteral("Catalogo "), PAN_Campi);
    SF_SceltaDB->setObjectName(QStringLiteral("SF_SceltaDB"));
    CB_SceltaDB = new QComboBox(PAN_Campi);
    CB_SceltaDB->setObjectName(QStringLiteral("CB_SceltaDB"));
    CB_SceltaDB->addItems(Catalogs());
    const int dbRow = grid->rowCount();
    grid->addWidget(SF_SceltaDB, dbRow, 0);
    grid->addWidget(CB_SceltaDB, dbRow, 1);
    main->addWidget(PAN_Campi, 1);

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    main->addWidget(rule);

    PAN_Pulsanti = new QFrame(this);
    PAN_Pulsanti->setObjectName(QStringLiteral("PAN_Pulsanti"));
    auto *buttons = new QHBoxLayout(PAN_Pulsanti);
    buttons->setContentsMargins(12, 10, 12, 10);
    PB_AutoLogon = new QPushButton(QStringLiteral("Login"), PAN_Pulsanti);
    PB_AutoLogon->setObjectName(QStringLiteral("PB_AutoLogon"));
    PB_AutoLogon->setAutoDefault(false);
    PB_CambiaPWD = new QPushButton(QStringLiteral("Cambio Password"), PAN_Pulsanti);
    PB_CambiaPWD->setObjectName(QStringLiteral("PB_CambiaPWD"));
    PB_CambiaPWD->setAutoDefault(false);
    PB_Ok = new QPushButton(QStringLiteral("Ok"), PAN_Pulsanti);
    PB_Ok->setObjectName(QStringLiteral("PB_Ok"));
    PB_Ok->setDefault(true);
    PB_Annulla = new QPushButton(QStringLiteral("Annulla"), PAN_Pulsanti);
    PB_Annulla->setObjectName(QStringLiteral("PB_Annulla"));
    PB_Annulla->setAutoDefault(false);
    buttons->addWidget(PB_AutoLogon);
    buttons->addWidget(PB_CambiaPWD);
    buttons->addStretch(1);
    buttons->addWidget(PB_Ok);
    buttons->addWidget(PB_Annulla);
    main->addWidget(PAN_Pulsanti);

    // The change panel lies over the window, centred, outside the layout.
    PAN_CambioPWD = new QFrame(this);
    PAN_CambioPWD->setObjectName(QStringLiteral("PAN_CambioPWD"));
    PAN_CambioPWD->setFrameShape(QFrame::StyledPanel);
    PAN_CambioPWD->setFrameShadow(QFrame::Raised);
    PAN_CambioPWD->setAutoFillBackground(true);
    auto *panel = new QVBoxLayout(PAN_CambioPWD);
    panel->setContentsMargins(0, 0, 0, 10);
    auto *caption = new QLabel(QStringLiteral(" Cambio Password"), PAN_CambioPWD);
    caption->setObjectName(QStringLiteral("SF_CambioPWD"));
    caption->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2f5d8a, stop:1 #7fa7cc);"
        "color: white; font-weight: bold; padding: 4px;"));
    panel->addWidget(caption);
    auto *fields = new QWidget(PAN_CambioPWD);
    auto *fieldGrid = new QGridLayout(fields);
    fieldGrid->setContentsMargins(14, 6, 14, 4);
    fieldGrid->setColumnStretch(1, 1);
    EF_NewPWD = AddField(fields, QStringLiteral("EF_NewPWD"), QStringLiteral("Nuova "), false, true);
    EF_NewPWD->setMaxLength(50);
    EF_RipetiPWD = AddField(fields,
                            QStringLiteral("EF_RipetiPWD"),
                            QStringLiteral("Ripeti "),
                            false,
                            true);
    EF_RipetiPWD->setMaxLength(50);
    panel->addWidget(fields);
    auto *panelButtons = new QHBoxLayout;
    panelButtons->setContentsMargins(14, 0, 14, 0);
    panelButtons->addStretch(1);
    PB_OkCambio = new QPushButton(QStringLiteral("Ok"), PAN_CambioPWD);
    PB_OkCambio->setObjectName(QStringLiteral("PB_OkCambio"));
    PB_OkCambio->setAutoDefault(false);
    PB_AnnullaCambio = new QPushButton(QStringLiteral("Annulla"), PAN_CambioPWD);
    PB_AnnullaCambio->setObjectName(QStringLiteral("PB_AnnullaCambio"));
    PB_AnnullaCambio->setAutoDefault(false);
    panelButtons->addWidget(PB_OkCambio);
    panelButtons->addWidget(PB_AnnullaCambio);
    panel->addLayout(panelButtons);
    PAN_CambioPWD->setFixedSize(330, PAN_CambioPWD->sizeHint().height());
    PAN_CambioPWD->hide();

    connect(PB_Ok, &QPushButton::clicked, this, &TDO_LOGON::PB_OkClick);
    connect(PB_Annulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(PB_CambiaPWD, &QPushButton::clicked, this, &TDO_LOGON::PB_CambiaPWDClick);
    connect(PB_AutoLogon, &QPushButton::clicked, this, &TDO_LOGON::PB_AutoLogonClick);
    connect(PB_OkCambio, &QPushButton::clicked, this, &TDO_LOGON::PB_OkCambioClick);
    connect(PB_AnnullaCambio, &QPushButton::clicked, this, &TDO_LOGON::PB_AnnullaCambioClick);
    connect(TS_Password, &QCheckBox::toggled, this, &TDO_LOGON::TS_PasswordToggled);
    // Return in the change panel confirms the change, not the logon.
    connect(EF_NewPWD, &QLineEdit::returnPressed, this, &TDO_LOGON::PB_OkCambioClick);
    connect(EF_RipetiPWD, &QLineEdit::returnPressed, this, &TDO_LOGON::PB_OkCambioClick);
}

void TDO_LOGON::SelectStoredCatalog()
{
    const QString stored = IniReadText(QLatin1String(kSettingsSection),
                                       QStringLiteral("FrmLogon_IndexDB"),
                                       QLatin1String(kIniAbsent),
                                       SessionInfo().sSettingsFile);
    bool ok = false;
    const int index = stored.toInt(&ok);
    CB_SceltaDB->setCurrentIndex(ok && index >= 0 && index < CB_SceltaDB->count() ? index : 0);
}

bool TDO_LOGON::ChangePanelOpen() const
{
    return !PAN_CambioPWD->isHidden();
}

TLogonResult TDO_LOGON::Start()
{
    const TSessionInfo &s = SessionInfo();
    if (!s.sUserName.isEmpty()) {
        EF_UserId->setText(s.sUserName);
        EF_Password->setText(s.sPassword);
        PB_OkClick();
        if (result() == QDialog::Accepted)
            return TLogonResult::Ok;
    }
    return exec() == QDialog::Accepted ? TLogonResult::Ok : TLogonResult::Cancel;
}

void TDO_LOGON::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ChangePanelOpen())
        FocusField(EF_NewPWD);
    else
        FocusFirstEmpty();
}

void TDO_LOGON::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    CenterPanelInForm(PAN_CambioPWD, this);
}

void TDO_LOGON::FocusFirstEmpty()
{
    if (EF_UserId->text().isEmpty())
        FocusField(EF_UserId);
    else if (EF_Password->text().isEmpty())
        FocusField(EF_Password);
    else
        FocusField(PB_Ok);
}

void TDO_LOGON::PB_OkClick()
{
    if (ChangePanelOpen())
        return;
    if (!RunLogonCheck())
        return;
    if (m_catalogShown)
        IniWriteText(QLatin1String(kSettingsSection),
                     QStringLiteral("FrmLogon_IndexDB"),
                     QString::number(CB_SceltaDB->currentIndex()),
                     SessionInfo().sSettingsFile);
    accept();
}

bool TDO_LOGON::RunLogonCheck()
{
    // The wait window dispatches pending events: a second press must not start a second check.
    if (m_checking)
        return false;
    const QScopedValueRollback<bool> checking(m_checking, true);
    TSessionInfo &s = SessionInfo();
    const QString settingsFile = s.sSettingsFile;
    const QString defaultCatalog = IniReadText(QLatin1String(kSettingsSection),
                                               QStringLiteral("DBxDebugKRT"),
                                               QStringLiteral("VentorelDB"),
                                               settingsFile);
    if (s.bDeveloperMode || s.bAdministrator) {
        if (m_catalogShown)
            s.sDatabaseName = CB_SceltaDB->currentText();
    } else {
        s.sDatabaseName = defaultCatalog;
    }
    if (s.sDatabaseName.isEmpty())
        s.sDatabaseName = defaultCatalog;

    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    if (!db) {
        ShowErrorBox(QStringLiteral("Errore connessione al database (ERR.A01): ") + LineBreaks(1)
                     + QStringLiteral("Modulo database non creato."));
        return false;
    }

    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->ShowWait();
    // A new logon replaces the operator session of the previous one.
    db->EndSession();
    db->Close();
    db->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(
        ConnectionParamsFromSettings(settingsFile, s.sDatabaseName)));
    try {
        db->Open();
    } catch (const EDatabaseError &e) {
        db->Close();
        ShowErrorBox(QStringLiteral("Errore connessione al database (ERR.A01): ") + LineBreaks(1)
                     + e.ProviderText());
        FocusField(EF_UserId);
        return false;
    }

    bool ok = false;
    try {
        ok = CheckOperator(*db);
    } catch (const EDatabaseError &e) {
        db->Close();
        ShowErrorBox(QStringLiteral("Utente Errato (ERR.A02): ") + LineBreaks(1) + e.ProviderText());
        FocusField(EF_UserId);
        return false;
    } catch (const std::exception &) {
        ok = false;
    }
    db->Close();
    hideWait();

    if (m_mustChangePassword) {
        OpenChangePanel();
        return false;
    }
    return ok;
}

bool TDO_LOGON::CheckOperator(TSTD_DBMODULE &db)
{
    TSessionInfo &s = SessionInfo();
    m_mustChangePassword = false;
    s.sOperatorCompanyId.clear();

    const QString user = EF_UserId->text();
    const QString password = EF_Password->text();
    std::unique_ptr<TDataSet> row;
    try {
        row = db.Query(ExecText(QStringLiteral("EstraiDatiOperatore"),
                                {SqlText(user), SqlText(PasswordToBase64(password))}));
    } catch (const EDatabaseError &e) {
        ShowErrorBox(QStringLiteral("Errore logon.") + LineBreaks(2) + u'('
                     + e.ProviderText().trimmed() + u')');
        row.reset();
    }
    if (!row || row->IsEmpty()) {
        db.Close();
        ShowErrorBox(QStringLiteral("Utente o password errati."));
        FocusField(EF_UserId);
        return false;
    }

    row->First();
    // A deactivated operator is refused before anything else, first logon included.
    if (!row->FieldByName(QStringLiteral("dtCanc")).IsNull()) {
        db.Close();
        ShowErrorBox(u'"' + user + QStringLiteral("\" non è più attivo."));
        FocusField(EF_UserId);
        return false;
    }
    // First logon: the initial password is the user name.
    if (user.compare(password, Qt::CaseInsensitive) == 0) {
        m_mustChangePassword = true;
        ShowWarningBox(QStringLiteral("Primo collegamento, impostare una password valida."));
        return true;
    }

    const bool keepAdministrator = m_catalogShown && s.bAdministrator;
    const auto text = [&row](const char *field) {
        return row->FieldByName(QLatin1String(field)).AsString();
    };
    const auto flag = [&row](const char *field) {
        return row->FieldByName(QLatin1String(field)).AsBoolean();
    };
    const bool administrator = flag("flAdministrator");
    const QString idOperatore = text("idOperatore");
    const QString description = text("txDescrizione");
    const QString companyName = text("txDenominazione");
    const bool funzionario = flag("flFunzionario");
    const QString clientKey = text("txDBXClientKey");
    const QString clientSecret = text("txDBXClientSecret");
    const QString accessToken = text("txDBXAccessToken");
    const bool folderOnline = flag("flDBXAccessFolderOnline");
    const bool folderLocal = flag("flDBXAccessFolderLocal");
    const QString rootFolder = text("txRootFolder");
    const QString companyFolder = text("txSocietaFolder");
    const TField company = row->FieldByName(QStringLiteral("idSocieta"));
    const QString companyId = company.IsNull() ? QString() : company.AsString();

    s.bAdministrator = keepAdministrator || administrator;
    s.sIdOperatore = idOperatore;
    s.sOperatorDescription = description;
    s.sCompanyName = companyName;
    s.bFunzionario = funzionario;
    s.sDBXClientKey = clientKey;
    s.sDBXClientSecret = clientSecret;
    s.sDBXAccessToken = accessToken;
    s.bDBXFolderOnline = folderOnline;
    s.bDBXFolderLocal = folderLocal;
    s.sRootFolder = rootFolder;
    s.sSocietaFolder = companyFolder;
    s.sOperatorCompanyId = companyId;
    s.sUserName = user;
    s.sPassword = password;
    s.dtServerTime = db.ReadServerTime();
    s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_") + user
                                        + QStringLiteral(".ini"));
    return true;
}

void TDO_LOGON::PB_CambiaPWDClick()
{
    if (ChangePanelOpen())
        return;
    if (m_mustChangePassword || RunLogonCheck())
        OpenChangePanel();
}

void TDO_LOGON::OpenChangePanel()
{
    EF_NewPWD->clear();
    EF_RipetiPWD->clear();
    PAN_Pulsanti->setEnabled(false);
    EF_UserId->setEnabled(false);
    EF_Password->setEnabled(false);
    TS_Password->setEnabled(false);
    CB_SceltaDB->setEnabled(false);
    CenterPanelInForm(PAN_CambioPWD, this);
    PAN_CambioPWD->show();
    PAN_CambioPWD->raise();
    FocusField(EF_NewPWD);
}

void TDO_LOGON::CloseChangePanel()
{
    PAN_CambioPWD->hide();
    PAN_Pulsanti->setEnabled(true);
    EF_UserId->setEnabled(true);
    EF_Password->setEnabled(true);
    TS_Password->setEnabled(true);
    CB_SceltaDB->setEnabled(true);
    FocusField(EF_Password);
}

void TDO_LOGON::PB_AnnullaCambioClick()
{
    CloseChangePanel();
}

void TDO_LOGON::PB_OkCambioClick()
{
    if (!ChangePanelOpen())
        return;
    const QString user = EF_UserId->text();
    const QString current = EF_Password->text();
    const QString newPassword = EF_NewPWD->text();
    QString refusal;
    if (newPassword.length() < 4)
        refusal = QStringLiteral(
            "Attenzione !!! La password deve essere almeno lunga 4 caratteri.");
    else if (newPassword != EF_RipetiPWD->text())
        refusal = QStringLiteral("Attenzione !!! Le password digitate non sono uguali.");
    else if (newPassword.compare(user, Qt::CaseInsensitive) == 0)
        refusal = QStringLiteral("Attenzione !!! La password non deve essere uguale all'utente.");
    if (!refusal.isEmpty()) {
        ShowErrorBox(refusal);
        FocusField(EF_NewPWD);
        return;
    }

    if (newPassword.compare(current, Qt::CaseInsensitive) != 0) {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        try {
            if (!db)
                throw EDatabaseError(QStringLiteral("Modulo database non creato."));
            db->Open();
            ChangeOperatorPassword(*db,
                                   user,
                                   PasswordToBase64(current),
                                   PasswordToBase64(newPassword));
        } catch (const EDatabaseError &e) {
            if (db)
                db->Close();
            ShowErrorBox(QStringLiteral("Errore cambio password (ERR.A03).") + LineBreaks(2) + u'('
                         + e.ProviderText().trimmed() + u')');
            FocusField(EF_NewPWD);
            return;
        }
        db->Close();
    }
    EF_Password->setText(newPassword);
    CloseChangePanel();
}

void TDO_LOGON::TS_PasswordToggled(bool on)
{
    if (on) {
        TS_Password->setText(QLatin1String(kHidePasswordText));
        EF_Password->setEchoMode(QLineEdit::Normal);
        EF_Password->setReadOnly(true);
        // One pending reset at a time: a new reveal starts a full two seconds.
        if (m_asyncTimer) {
            m_asyncTimer->stop();
            m_asyncTimer->deleteLater();
        }
        m_asyncInfo = TSTDAsyncTimerInfo::CreateObject();
        m_asyncInfo->sCommand = QLatin1String(kResetPasswordChar);
        m_asyncTimer = new QTimer(this);
        m_asyncTimer->setObjectName(QStringLiteral("TM_Async"));
        m_asyncTimer->setSingleShot(true);
        m_asyncTimer->setInterval(kRevealMs);
        connect(m_asyncTimer, &QTimer::timeout, this, &TDO_LOGON::AsyncTimerFired);
        m_asyncTimer->start();
    } else {
        TS_Password->setText(QLatin1String(kShowPasswordText));
        EF_Password->setReadOnly(false);
        EF_Password->setEchoMode(QLineEdit::Password);
    }
    FocusField(EF_Password);
}

void TDO_LOGON::AsyncTimerFired()
{
    if (!m_asyncTimer)
        return;
    m_asyncTimer->stop();
    const QString command = m_asyncInfo ? m_asyncInfo->sCommand : QString();
    m_asyncTimer->deleteLater();
    m_asyncTimer = nullptr;
    m_asyncInfo.reset();
    if (command == QLatin1String(kResetPasswordChar) && TS_Password->isChecked())
        TS_Password->setChecked(false);
}

void TDO_LOGON::PB_AutoLogonClick()
{
    const QString catalog = CB_SceltaDB->currentText();
    TSessionInfo &s = SessionInfo();
    if (catalog == QLatin1String("VentorelDB_DEV") || catalog == QLatin1String("VentorelDB")) {
        EF_UserId->setText(s.sDeveloperUser.isEmpty() ? QStringLiteral("MIRTOS") : s.sDeveloperUser);
        EF_Password->setText(QStringLiteral("pelv83"));
    } else {
        EF_UserId->setText(QLatin1String(kSharedUser));
        EF_Password->setText(QLatin1String(kSharedPassword));
        s.bAdministrator = AskYesNo(QStringLiteral("Sei Admin ?"));
    }
    PB_OkClick();
}
