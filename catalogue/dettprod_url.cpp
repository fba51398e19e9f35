#include "catalogue/dettprod_url.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "masterdata/customerfilters.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

const char *const kStartNavigate = "STARTNAVIGATE";
const char *const kEndNavigateOk = "ENDNAVIGATE_OK";
const char *const kEndNavigateErr = "ENDNAVIGATE_ERR";

bool IsBlank(const QUrl &url)
{
    return url.isEmpty() || url.toString() == QLatin1String("about:blank");
}

// The address typed, as the browser takes it ("www.x.it" is a web address); invalid when it
// cannot be one.
QUrl AddressUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char(' ')))
        return QUrl();
    const QUrl url = QUrl::fromUserInput(trimmed);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return QUrl();
    return url;
}

} // namespace

TDETTPROD_URL::TDETTPROD_URL(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QLatin1String(kFormName));
    setWindowTitle(QStringLiteral("Link web"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);

    auto *top = new QHBoxLayout;
    PAN_Desc_TipoOperazione = new QLabel(this);
    PAN_Desc_TipoOperazione->setObjectName(QStringLiteral("PAN_Desc_TipoOperazione"));
    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPointSize(13);
    title.setBold(true);
    PAN_Desc_TipoOperazione->setFont(title);
    PAN_Desc_TipoOperazione->setStyleSheet(QStringLiteral("color: #376EA1;"));
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), this);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setDefault(true);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), this);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    top->addWidget(PAN_Desc_TipoOperazione, 1);
    top->addWidget(PB_Ok_Input);
    top->addWidget(PB_Annulla_Input);
    column->addLayout(top);

    auto *fields = new QHBoxLayout;
    EF_DescUrlNodo = MakeLabelEdit(this,
                                   QStringLiteral("EF_DescUrlNodo"),
                                   QStringLiteral("Descrizione"),
                                   200,
                                   ecKRTNormal,
                                   360,
                                   true);
    CK_LinkWebNodoAttivo = new QCheckBox(QStringLiteral("Link web attivo"), this);
    CK_LinkWebNodoAttivo->setObjectName(QStringLiteral("CK_LinkWebNodoAttivo"));
    fields->addWidget(EF_DescUrlNodo, 1);
    fields->addWidget(CK_LinkWebNodoAttivo, 0, Qt::AlignBottom);
    column->addLayout(fields);

    auto *address = new QHBoxLayout;
    EF_UrlNodo = MakeLabelEdit(this,
                               QStringLiteral("EF_UrlNodo"),
                               QStringLiteral("Link web"),
                               200,
                               ecKRTNormal,
                               480,
                               true);
    PB_ParteUrl_Naviga = new QPushButton(QStringLiteral("Visualizza"), this);
    PB_ParteUrl_Naviga->setObjectName(QStringLiteral("PB_ParteUrl_Naviga"));
    PB_ParteUrl_Google = new QPushButton(QStringLiteral("Google"), this);
    PB_ParteUrl_Google->setObjectName(QStringLiteral("PB_ParteUrl_Google"));
    address->addWidget(EF_UrlNodo, 1);
    address->addWidget(PB_ParteUrl_Naviga, 0, Qt::AlignBottom);
    address->addWidget(PB_ParteUrl_Google, 0, Qt::AlignBottom);
    column->addLayout(address);

    WEB_ParteUrl = new QWebEngineView(this);
    WEB_ParteUrl->setObjectName(QStringLiteral("WEB_ParteUrl"));
    WEB_ParteUrl->setMinimumSize(400, 300);
    column->addWidget(WEB_ParteUrl, 1);

    // The loading banner floats over the page, centred.
    PAN_Wait = new QFrame(this);
    PAN_Wait->setObjectName(QStringLiteral("PAN_Wait"));
    PAN_Wait->setFrameShape(QFrame::Box);
    PAN_Wait->setStyleSheet(QStringLiteral("QFrame#PAN_Wait { background: #376EA1; } "
                                           "QLabel { color: white; }"));
    auto *wait = new QVBoxLayout(PAN_Wait);
    SF_Caption = new QLabel(QStringLiteral("Caricamento in corso..."), PAN_Wait);
    SF_Caption->setObjectName(QStringLiteral("SF_Caption"));
    SF_Caption->setAlignment(Qt::AlignCenter);
    SF_Caption->setWordWrap(true);
    QFont caption(QStringLiteral("Trebuchet MS"));
    caption.setPointSize(12);
    caption.setBold(true);
    SF_Caption->setFont(caption);
    PB_StopLoading = new QPushButton(QStringLiteral("Interrompi caricamento"), PAN_Wait);
    PB_StopLoading->setObjectName(QStringLiteral("PB_StopLoading"));
    wait->addWidget(SF_Caption, 1);
    wait->addWidget(PB_StopLoading, 0, Qt::AlignHCenter);
    PAN_Wait->resize(420, 160);
    PAN_Wait->hide();

    connect(PB_ParteUrl_Naviga, &QPushButton::clicked, this, &TDETTPROD_URL::Naviga);
    connect(PB_ParteUrl_Google, &QPushButton::clicked, this, &TDETTPROD_URL::Google);
    connect(PB_StopLoading, &QPushButton::clicked, this, &TDETTPROD_URL::StopLoading);
    connect(PB_Ok_Input, &QPushButton::clicked, this, &TDETTPROD_URL::OkClick);
    connect(PB_Annulla_Input, &QPushButton::clicked, this, &TDETTPROD_URL::reject);
    connect(CK_LinkWebNodoAttivo, &QCheckBox::clicked, this, [this] { EF_DescUrlNodo->SetFocus(); });
    connect(WEB_ParteUrl, &QWebEngineView::loadStarted, this, &TDETTPROD_URL::LoadStarted);
    connect(WEB_ParteUrl, &QWebEngineView::loadFinished, this, &TDETTPROD_URL::LoadFinished);
    connect(WEB_ParteUrl, &QWebEngineView::urlChanged, this, &TDETTPROD_URL::UrlChanged);
}

TDETTPROD_URL::~TDETTPROD_URL() = default;

QString TDETTPROD_URL::HomePage()
{
    const QString home = IniReadText(QStringLiteral("SETTINGS"),
                                     QLatin1String(kKeyHome),
                                     QLatin1String(kIniAbsent),
                                     SessionInfo().sSettingsFile);
    return home == QLatin1String(kIniAbsent) || home.trimmed().isEmpty()
               ? QLatin1String(kDefaultHome)
               : home.trimmed();
}

QString TDETTPROD_URL::NavigateCaption(const QString &address)
{
    const QString shown = address.size() <= 40
                              ? QLatin1Char('"') + address + QLatin1Char('"')
                              : QLatin1Char('"') + address.left(40) + QStringLiteral("...\"");
    return QStringLiteral("Caricamento") + LineBreaks(2) + shown + LineBreaks(2)
           + QStringLiteral("in corso...");
}

void TDETTPROD_URL::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        setMaximumHeight(area.height());
        setMinimumSize(minimumSizeHint());
        resize(qMax(minimumWidth(), int(area.width() * 0.8)),
               qMin(area.height(), qMax(minimumHeight(), int(area.height() * 0.95))));
        move(area.center() - rect().center());
    }
    EF_DescUrlNodo->SetFocus();
}

void TDETTPROD_URL::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    CentreWaitPanel();
}

void TDETTPROD_URL::CentreWaitPanel()
{
    PAN_Wait->move((width() - PAN_Wait->width()) / 2, (height() - PAN_Wait->height()) / 2);
}

void TDETTPROD_URL::ShowWaitPanel(bool on)
{
    if (on) {
        CentreWaitPanel();
        PAN_Wait->show();
        PAN_Wait->raise();
    } else {
        PAN_Wait->hide();
    }
}

void TDETTPROD_URL::StartShown(const QString &sUrlWeb)
{
    RunLater(QLatin1String(kStartNavigate), sUrlWeb, 1000);
    show();
}

int TDETTPROD_URL::Start(const QString &sUrlWeb)
{
    RunLater(QLatin1String(kStartNavigate), sUrlWeb, 1000);
    return exec() == QDialog::Accepted ? 1 : 2;
}

void TDETTPROD_URL::RunLater(const QString &command, const QString &info, int delayMs)
{
    // A one-shot timer carrying the command; it goes away once fired.
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    TSTDAsyncTimerInfo carried;
    carried.sCommand = command;
    carried.sInfo = info;
    connect(timer, &QTimer::timeout, this, [this, timer, carried] { TimerFired(timer, carried); });
    timer->start(delayMs);
}

void TDETTPROD_URL::TimerFired(QTimer *timer, const TSTDAsyncTimerInfo &info)
{
    timer->deleteLater();
    if (info.sCommand == QLatin1String(kStartNavigate)) {
        if (info.sInfo.trimmed().isEmpty()) {
            Google();
            return;
        }
        SF_Caption->setText(QStringLiteral("Caricamento ") + LineBreaks(2) + QLatin1Char('"')
                            + EF_DescUrlNodo->Text() + QLatin1Char('"') + LineBreaks(2)
                            + QStringLiteral("in corso..."));
        NavigateTo(info.sInfo);
    } else if (info.sCommand == QLatin1String(kEndNavigateOk)) {
        // A newer load keeps its banner.
        if (!m_loading.isValid())
            ShowWaitPanel(false);
    } else if (info.sCommand == QLatin1String(kEndNavigateErr)) {
        const QString address = info.sInfo.size() <= 30
                                    ? info.sInfo
                                    : info.sInfo.left(30) + QStringLiteral("...");
        ShowErrorBox(QStringLiteral("Errore visualizzazione link web:") + LineBreaks(2) + address);
    }
}

void TDETTPROD_URL::NavigateTo(const QString &address)
{
    const QUrl url = AddressUrl(address);
    if (!url.isValid()) {
        // Not an address the browser can load: told as a failed page, nothing waits.
        ShowWaitPanel(false);
        RunLater(QLatin1String(kEndNavigateErr), address.trimmed(), 1000);
        return;
    }
    m_loading = url;
    ShowWaitPanel(true);
    WEB_ParteUrl->load(url);
}

void TDETTPROD_URL::Naviga()
{
    SF_Caption->setText(NavigateCaption(EF_UrlNodo->Text().trimmed()));
    NavigateTo(EF_UrlNodo->Text());
}

void TDETTPROD_URL::Google()
{
    SF_Caption->setText(QStringLiteral("Caricamento \"Google\" in corso..."));
    NavigateTo(HomePage());
}

void TDETTPROD_URL::StopLoading()
{
    m_loading = QUrl();
    WEB_ParteUrl->stop();
    WEB_ParteUrl->setUrl(QUrl(QStringLiteral("about:blank")));
    ShowWaitPanel(false);
}

void TDETTPROD_URL::LoadStarted()
{
    if (IsBlank(WEB_ParteUrl->url()) && IsBlank(m_loading))
        return;
    ShowWaitPanel(true);
}

void TDETTPROD_URL::LoadFinished(bool ok)
{
    const QUrl current = WEB_ParteUrl->url();
    if (IsBlank(current) && IsBlank(m_loading))
        return;
    if (!m_loading.isValid() && IsBlank(current))
        return; // the blank page after a stop
    if (ok) {
        m_loading = QUrl();
        RunLater(QLatin1String(kEndNavigateOk), QString(), 4000);
        if (!IsBlank(current) && current.toString() != EF_UrlNodo->Text())
            EF_UrlNodo->SetText(current.toString());
        return;
    }
    const QString failed = (m_loading.isValid() ? m_loading : current).toString();
    m_loading = QUrl();
    ShowWaitPanel(false);
    WEB_ParteUrl->stop();
    RunLater(QLatin1String(kEndNavigateErr), failed, 1000);
}

void TDETTPROD_URL::UrlChanged(const QUrl &url)
{
    // The address follows the page the browser ends up on (links followed, redirections).
    if (IsBlank(url) || !m_firstShown)
        return;
    if (url.toString() != EF_UrlNodo->Text() && !m_loading.isValid())
        EF_UrlNodo->SetText(url.toString());
}

void TDETTPROD_URL::OkClick()
{
    if (EF_DescUrlNodo->Text().trimmed().isEmpty()) {
        ShowWarningBox(QStringLiteral("La descrizione del link web è obbligatoria."));
        EF_DescUrlNodo->SetFocus();
        return;
    }
    if (EF_UrlNodo->Text().trimmed().isEmpty()) {
        ShowWarningBox(QStringLiteral("Il link web è obbligatorio."));
        EF_UrlNodo->SetFocus();
        return;
    }
    if (m_okCheck && !m_okCheck())
        return;
    StopLoading();
    accept();
}

void TDETTPROD_URL::reject()
{
    StopLoading();
    QDialog::reject();
}
