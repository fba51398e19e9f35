#pragma once

// The web link editor (modal): the description, the address and the active flag of a web link
// node, with an embedded browser that shows the address; the address field follows the page
// the browser finally shows. A loading banner with "Interrompi caricamento" covers the page
// while it loads; stopping, "Annulla" and a page that never answers never hang the window.
//
// The structure editor creates it, fills it, calls Start and reads the fields after "Ok". A
// check run by "Ok" (SetOkCheck) may keep the window open, for example when the save failed.

#include "common/tstd_asynctimerinfo.h"

#include <QDialog>
#include <QUrl>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QWebEngineView;
class TKRTLabelEdit;

class TDETTPROD_URL : public QDialog
{
    Q_OBJECT

public:
    explicit TDETTPROD_URL(QWidget *parent = nullptr);
    ~TDETTPROD_URL() override;

    static constexpr const char *kFormName = "DETTPROD_URL";
    // Settings key (global settings file) of the home page of "Google"; default kDefaultHome.
    static constexpr const char *kKeyHome = "FrmDettProdUrl_HomePage";
    static constexpr const char *kDefaultHome = "https://www.google.com/";

    // Navigates to the address after 1 s (the home page when empty) and shows the window
    // modally: 1 for "Ok", 2 for "Annulla".
    int Start(const QString &sUrlWeb);
    // The same without waiting: the window is shown, the navigation starts after 1 s.
    void StartShown(const QString &sUrlWeb);
    // Run by "Ok" after the checks of the fields; false keeps the window open.
    void SetOkCheck(std::function<bool()> check) { m_okCheck = std::move(check); }

    // The buttons.
    void Naviga();
    void Google();
    void StopLoading();
    void OkClick();
    // The home page address (settings, or the default).
    static QString HomePage();
    // The banner text of "Visualizza" for an address.
    static QString NavigateCaption(const QString &address);

    QLabel *PAN_Desc_TipoOperazione = nullptr; // Owned (child).
    TKRTLabelEdit *EF_DescUrlNodo = nullptr;   // Owned (child).
    QCheckBox *CK_LinkWebNodoAttivo = nullptr; // Owned (child).
    TKRTLabelEdit *EF_UrlNodo = nullptr;       // Owned (child).
    QPushButton *PB_ParteUrl_Naviga = nullptr; // Owned (child).
    QPushButton *PB_ParteUrl_Google = nullptr; // Owned (child).
    QWebEngineView *WEB_ParteUrl = nullptr;    // Owned (child).
    QFrame *PAN_Wait = nullptr;                // Owned (child).
    QLabel *SF_Caption = nullptr;              // Owned (child).
    QPushButton *PB_StopLoading = nullptr;     // Owned (child).
    QPushButton *PB_Ok_Input = nullptr;        // Owned (child).
    QPushButton *PB_Annulla_Input = nullptr;   // Owned (child).

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void RunLater(const QString &command, const QString &info, int delayMs);
    void TimerFired(QTimer *timer, const TSTDAsyncTimerInfo &info);
    void NavigateTo(const QString &address);
    void LoadStarted();
    void LoadFinished(bool ok);
    void UrlChanged(const QUrl &url);
    void ShowWaitPanel(bool on);
    void CentreWaitPanel();

    std::function<bool()> m_okCheck;
    QUrl m_loading; // the address being loaded
    bool m_firstShown = false;
};
