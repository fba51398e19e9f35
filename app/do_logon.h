#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TSTD_DBMODULE;
struct TSTDAsyncTimerInfo;

enum class TLogonResult { Ok, Cancel };

// The operator logon: opens the database session, checks the operator with EstraiDatiOperatore,
// forces a new password at the first logon, lets the operator change it at any time and fills
// SessionInfo(). In developer mode it also offers the catalog choice and the quick log-on.
class TDO_LOGON : public QDialog
{
    Q_OBJECT
public:
    explicit TDO_LOGON(QWidget *parent = nullptr);
    ~TDO_LOGON() override;

    // With a remembered user name in SessionInfo the fields are filled and "Ok" is pressed at
    // once: the window closes without being shown when that succeeds. Otherwise the window is
    // shown modally. Returns how it was closed.
    TLogonResult Start();

    // The catalogs of the developer list, in order.
    static QStringList Catalogs();
    // The shared account of the quick log-on on the customer catalogs.
    static constexpr const char *kSharedUser = "ASSISTENZA";
    static constexpr const char *kSharedPassword = "ventorel";

    bool MustChangePassword() const { return m_mustChangePassword; }
    bool ChangePanelOpen() const;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void BuildWindow();
    QLineEdit *AddField(
        QWidget *parent, const QString &name, const QString &caption, bool upperCase, bool masked);
    void SelectStoredCatalog();

    void PB_OkClick();
    void PB_CambiaPWDClick();
    void PB_AutoLogonClick();
    void PB_OkCambioClick();
    void PB_AnnullaCambioClick();
    void TS_PasswordToggled(bool on);
    void AsyncTimerFired();

    // Steps of "Ok" up to the success that closes the window: catalog, connection, operator
    // check, connection closed, change panel when forced.
    bool RunLogonCheck();
    // Runs EstraiDatiOperatore and fills the session on success. Throws EDatabaseError for a
    // failure after the procedure answered (reading its row).
    bool CheckOperator(TSTD_DBMODULE &db);
    void OpenChangePanel();
    void CloseChangePanel();
    void FocusFirstEmpty();

    QLineEdit *EF_UserId = nullptr;          // Owned by Qt parent.
    QLineEdit *EF_Password = nullptr;        // Owned by Qt parent.
    QCheckBox *TS_Password = nullptr;        // Owned by Qt parent.
    QLabel *SF_SceltaDB = nullptr;           // Owned by Qt parent.
    QComboBox *CB_SceltaDB = nullptr;        // Owned by Qt parent.
    QFrame *PAN_Campi = nullptr;             // Owned by Qt parent.
    QFrame *PAN_Pulsanti = nullptr;          // Owned by Qt parent.
    QPushButton *PB_Ok = nullptr;            // Owned by Qt parent.
    QPushButton *PB_Annulla = nullptr;       // Owned by Qt parent.
    QPushButton *PB_CambiaPWD = nullptr;     // Owned by Qt parent.
    QPushButton *PB_AutoLogon = nullptr;     // Owned by Qt parent.
    QFrame *PAN_CambioPWD = nullptr;         // Owned by Qt parent.
    QLineEdit *EF_NewPWD = nullptr;          // Owned by Qt parent.
    QLineEdit *EF_RipetiPWD = nullptr;       // Owned by Qt parent.
    QPushButton *PB_OkCambio = nullptr;      // Owned by Qt parent.
    QPushButton *PB_AnnullaCambio = nullptr; // Owned by Qt parent.

    // The deferred "RESETPASSWCHAR" of the show-password switch.
    QTimer *m_asyncTimer = nullptr; // Owned by Qt parent while pending.
    std::unique_ptr<TSTDAsyncTimerInfo> m_asyncInfo;

    bool m_catalogShown = false;
    bool m_mustChangePassword = false;
    bool m_checking = false;
};
