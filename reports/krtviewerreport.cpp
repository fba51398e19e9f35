#include "reports/krtviewerreport.h"

#include "common/dialogs.h"
#include "controls/tkrtlabeledit.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reportprinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

TKRTLabelEdit *TextField(QWidget *parent, const char *name, const QString &caption)
{
    auto *e = new TKRTLabelEdit(QLatin1String(name), caption, parent);
    e->SetCaptionWidth(210);
    e->SetEditWidth(260);
    return e;
}

TKRTLabelEdit *PageField(QWidget *parent, const char *name, const QString &caption)
{
    auto *e = new TKRTLabelEdit(QLatin1String(name), caption, parent);
    e->SetTemplate(tpKRTNumeric);
    e->SetDecimals(0);
    e->SetNumericFormatted(false);
    e->SetCaptionAutoSize(true);
    e->SetEditWidth(50);
    return e;
}

int Number(TKRTLabelEdit *e)
{
    bool ok = false;
    const int n = e->Text().trimmed().toInt(&ok);
    return ok ? n : 0;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TKRTViewerReportForm::TKRTViewerReportForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("KRTViewerReportForm"));
    setWindowTitle(QStringLiteral("Anteprima di stampa"));
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);

    auto *bar = new QHBoxLayout();
    bar->setContentsMargins(6, 4, 6, 4);
    auto *first = Button(this, "PB_GoFirst", QString());
    first->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
    auto *prev = Button(this, "PB_GoPrev", QString());
    prev->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    SF_NuPages = new QLabel(this);
    SF_NuPages->setObjectName(QStringLiteral("SF_NuPages"));
    SF_NuPages->setMinimumWidth(70);
    SF_NuPages->setAlignment(Qt::AlignCenter);
    auto *next = Button(this, "PB_GoNext", QString());
    next->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    auto *last = Button(this, "PB_GoLast", QString());
    last->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
    CB_Zoom = new QComboBox(this);
    CB_Zoom->setObjectName(QStringLiteral("CB_Zoom"));
    CB_Zoom->addItems({QStringLiteral("Larghezza pagina"),
                       QStringLiteral("Pagina intera"),
                       QStringLiteral("50%"),
                       QStringLiteral("75%"),
                       QStringLiteral("100%"),
                       QStringLiteral("150%"),
                       QStringLiteral("200%")});
    CB_Zoom->setCurrentIndex(1);
    PB_Stampa = Button(this, "PB_Stampa", QStringLiteral("&Stampa"));
    PB_Email = Button(this, "PB_Email", QStringLiteral("E-Mail"));
    PB_Chiudi = Button(this, "PB_Chiudi", QStringLiteral("Chiudi"));
    for (QWidget *w : std::initializer_list<QWidget *>{first, prev, SF_NuPages, next, last})
        bar->addWidget(w);
    bar->addSpacing(12);
    bar->addWidget(CB_Zoom);
    bar->addStretch(1);
    bar->addWidget(PB_Stampa);
    bar->addWidget(PB_Email);
    bar->addWidget(PB_Chiudi);
    main->addLayout(bar);

    auto *body = new QHBoxLayout();
    VR_Preview = new TKRTViewReport(this);
    VR_Preview->setObjectName(QStringLiteral("VR_Preview"));
    body->addWidget(VR_Preview, 1);

    // Printing panel.
    PAN_Print = new QFrame(this);
    PAN_Print->setObjectName(QStringLiteral("PAN_Print"));
    PAN_Print->setFrameShape(QFrame::StyledPanel);
    auto *pl = new QVBoxLayout(PAN_Print);
    CB_Printers = new QComboBox(PAN_Print);
    CB_Printers->setObjectName(QStringLiteral("CB_Printers"));
    pl->addWidget(new QLabel(QStringLiteral("Stampante"), PAN_Print));
    pl->addWidget(CB_Printers);
    EF_Copies = PageField(PAN_Print, "EF_Copies", QStringLiteral("Numero Di Copie "));
    pl->addWidget(EF_Copies);
    auto *printPages = new QGroupBox(QStringLiteral(" Pagine Da Stampare "), PAN_Print);
    auto *ppl = new QVBoxLayout(printPages);
    RB_PrintAll = new QRadioButton(QStringLiteral("&Tutte"), printPages);
    RB_PrintAll->setObjectName(QStringLiteral("RB_PrintAll"));
    RB_PrintInterval = new QRadioButton(QStringLiteral("&Pagine"), printPages);
    RB_PrintInterval->setObjectName(QStringLiteral("RB_PrintInterval"));
    EF_PrintFrom = PageField(printPages, "EF_PrintFrom", QStringLiteral("Da"));
    EF_PrintTo = PageField(printPages, "EF_PrintTo", QStringLiteral("A"));
    ppl->addWidget(RB_PrintAll);
    ppl->addWidget(RB_PrintInterval);
    ppl->addWidget(EF_PrintFrom);
    ppl->addWidget(EF_PrintTo);
    pl->addWidget(printPages);
    auto *startPrint = Button(PAN_Print, "PB_StartPrint", QStringLiteral("&Stampa"));
    auto *cancelPrint = Button(PAN_Print, "PB_CancelPrint", QStringLiteral("Annulla"));
    pl->addWidget(startPrint);
    pl->addWidget(cancelPrint);
    pl->addStretch(1);
    body->addWidget(PAN_Print);
    PAN_Print->hide();

    // E-mail panel.
    PAN_Email = new QFrame(this);
    PAN_Email->setObjectName(QStringLiteral("PAN_Email"));
    PAN_Email->setFrameShape(QFrame::StyledPanel);
    auto *el = new QVBoxLayout(PAN_Email);
    auto *title = new QLabel(QStringLiteral(" Invia Email"), PAN_Email);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    el->addWidget(title);
    CK_AccountObblig = new QCheckBox(QStringLiteral("Autenticazione richiesta"), PAN_Email);
    CK_AccountObblig->setObjectName(QStringLiteral("CK_AccountObblig"));
    el->addWidget(CK_AccountObblig);
    EF_AccountUserID = TextField(PAN_Email, "EF_AccountUserID", QStringLiteral("Nome Account"));
    EF_AccountPassword = TextField(PAN_Email,
                                   "EF_AccountPassword",
                                   QStringLiteral("Password Account"));
    EF_AccountPassword->SetPasswordChar(u'*');
    EF_AccountMailServer = TextField(PAN_Email,
                                     "EF_AccountMailServer",
                                     QStringLiteral("Server Posta In Uscita (SMTP)"));
    EF_FromEmail = TextField(PAN_Email, "EF_FromEmail", QStringLiteral("Indirizzo Email Da:"));
    EF_ToEmail = TextField(PAN_Email, "EF_ToEmail", QStringLiteral("Indirizzo Email A:"));
    EF_CCEmail = TextField(PAN_Email, "EF_CCEmail", QStringLiteral("Copia A:"));
    EF_CCNEmail = TextField(PAN_Email, "EF_CCNEmail", QStringLiteral("Copia Nascosta A:"));
    EF_SubjectEmail = TextField(PAN_Email, "EF_SubjectEmail", QStringLiteral("Oggetto"));
    for (TKRTLabelEdit *e : {EF_AccountUserID,
                             EF_AccountPassword,
                             EF_AccountMailServer,
                             EF_FromEmail,
                             EF_ToEmail,
                             EF_CCEmail,
                             EF_CCNEmail,
                             EF_SubjectEmail})
        el->addWidget(e);
    el->addWidget(new QLabel(QStringLiteral("Messaggio"), PAN_Email));
    MM_MessageEmail = new QPlainTextEdit(PAN_Email);
    MM_MessageEmail->setObjectName(QStringLiteral("MM_MessageEmail"));
    MM_MessageEmail->setFixedHeight(90);
    el->addWidget(MM_MessageEmail);
    EF_AttachmentEmail = TextField(PAN_Email, "EF_AttachmentEmail", QStringLiteral("Nome Allegato"));
    el->addWidget(EF_AttachmentEmail);
    auto *emailPages = new QGroupBox(QStringLiteral(" Pagine Da Spedire "), PAN_Email);
    auto *epl = new QHBoxLayout(emailPages);
    RB_EmailAll = new QRadioButton(QStringLiteral("Tutte"), emailPages);
    RB_EmailAll->setObjectName(QStringLiteral("RB_EmailAll"));
    RB_EmailInterval = new QRadioButton(QStringLiteral("Pagine"), emailPages);
    RB_EmailInterval->setObjectName(QStringLiteral("RB_EmailInterval"));
    EF_EmailFrom = PageField(emailPages, "EF_EmailFrom", QStringLiteral("Da"));
    EF_EmailTo = PageField(emailPages, "EF_EmailTo", QStringLiteral("A"));
    epl->addWidget(RB_EmailAll);
    epl->addWidget(RB_EmailInterval);
    epl->addWidget(EF_EmailFrom);
    epl->addWidget(EF_EmailTo);
    el->addWidget(emailPages);
    auto *send = Button(PAN_Email, "PB_SendEmail", QStringLiteral("Invia"));
    auto *cancelEmail = Button(PAN_Email, "PB_CancelEmail", QStringLiteral("Annulla"));
    auto *eb = new QHBoxLayout();
    eb->addStretch(1);
    eb->addWidget(send);
    eb->addWidget(cancelEmail);
    el->addLayout(eb);
    el->addStretch(1);
    body->addWidget(PAN_Email);
    PAN_Email->hide();
    main->addLayout(body, 1);

    connect(first, &QPushButton::clicked, VR_Preview, &TKRTViewReport::ShowFirstPage);
    connect(prev, &QPushButton::clicked, VR_Preview, &TKRTViewReport::ShowPreviousPage);
    connect(next, &QPushButton::clicked, VR_Preview, &TKRTViewReport::ShowNextPage);
    connect(last, &QPushButton::clicked, VR_Preview, &TKRTViewReport::ShowLastPage);
    connect(VR_Preview, &TKRTViewReport::CurrentPageChanged, this, [this](int) { UpdateCounter(); });
    connect(CB_Zoom, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index <= 1) {
            VR_Preview->Zoom(index + 1);
            return;
        }
        QString t = CB_Zoom->itemText(index);
        t.remove(u'%');
        VR_Preview->Zoom(t.toInt());
    });
    connect(PB_Stampa, &QPushButton::clicked, this, &TKRTViewerReportForm::OpenPrint);
    connect(startPrint, &QPushButton::clicked, this, &TKRTViewerReportForm::StartPrint);
    connect(cancelPrint, &QPushButton::clicked, this, &TKRTViewerReportForm::ClosePanels);
    connect(PB_Email, &QPushButton::clicked, this, &TKRTViewerReportForm::OpenEmail);
    connect(send, &QPushButton::clicked, this, &TKRTViewerReportForm::SendEmail);
    connect(cancelEmail, &QPushButton::clicked, this, &TKRTViewerReportForm::ClosePanels);
    connect(PB_Chiudi, &QPushButton::clicked, this, &QDialog::accept);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(work.width() * 7 / 10, work.height() * 9 / 10);
}

void TKRTViewerReportForm::Prepare()
{
    const RPTEmailOptions &mail = VR_Preview->Engine->EmailOptions;
    PB_Email->setVisible(!mail.FromEmail.trimmed().isEmpty() && VR_Preview->Engine->CanSendEmail);
    UpdateCounter();
}

void TKRTViewerReportForm::UpdateCounter()
{
    SF_NuPages->setText(QStringLiteral("%1 / %2")
                            .arg(VR_Preview->GetCurrentPageNumber())
                            .arg(VR_Preview->PageCount()));
}

void TKRTViewerReportForm::ClosePanels()
{
    PAN_Print->hide();
    PAN_Email->hide();
}

void TKRTViewerReportForm::OpenPrint()
{
    PAN_Email->hide();
    CB_Printers->clear();
    TReportPrinterProvider &printers = ReportPrinterProvider();
    CB_Printers->addItems(printers.PrinterNames());
    const int def = CB_Printers->findText(printers.DefaultPrinterName());
    CB_Printers->setCurrentIndex(def >= 0 ? def : 0);
    EF_Copies->SetAsInteger(1);
    RB_PrintAll->setChecked(true);
    EF_PrintFrom->SetAsInteger(1);
    EF_PrintTo->SetAsInteger(qMax(1, VR_Preview->PageCount()));
    PAN_Print->show();
}

void TKRTViewerReportForm::StartPrint()
{
    const int from = Number(EF_PrintFrom);
    const int to = Number(EF_PrintTo);
    if (RB_PrintInterval->isChecked() && (to < from || from < 1 || to > VR_Preview->PageCount())) {
        ShowErrorBox(QStringLiteral("Intervallo Errato"));
        EF_PrintFrom->SetFocus();
        return;
    }
    RPTPrintOptions &o = VR_Preview->Engine->PrintOptions;
    o.PrinterName = CB_Printers->currentText();
    o.Copies = qMax(1, Number(EF_Copies));
    o.PageFrom = RB_PrintInterval->isChecked() ? from : 0;
    o.PageTo = RB_PrintInterval->isChecked() ? to : 0;
    try {
        VR_Preview->Engine->PrintReport();
        bPrinted = true;
        PAN_Print->hide();
    } catch (const EReportError &e) {
        ShowErrorBox(e.text());
    }
}

void TKRTViewerReportForm::OpenEmail()
{
    PAN_Print->hide();
    const RPTEmailOptions &m = VR_Preview->Engine->EmailOptions;
    CK_AccountObblig->setChecked(m.AccountObblig);
    EF_AccountUserID->SetText(m.AccountUserID);
    EF_AccountPassword->SetText(m.AccountPassword);
    EF_AccountMailServer->SetText(m.AccountMailServer);
    EF_FromEmail->SetText(m.FromEmail);
    EF_ToEmail->SetText(m.ToEmail);
    EF_CCEmail->SetText(m.CCEmail);
    EF_CCNEmail->SetText(m.CCNEmail);
    EF_SubjectEmail->SetText(m.SubjectEmail);
    MM_MessageEmail->setPlainText(m.MessageEmail);
    EF_AttachmentEmail->SetText(m.AttachmentEmail);
    const bool interval = m.PageFrom > 0 || m.PageTo > 0;
    RB_EmailAll->setChecked(!interval);
    RB_EmailInterval->setChecked(interval);
    EF_EmailFrom->SetAsInteger(qMax(1, m.PageFrom));
    EF_EmailTo->SetAsInteger(m.PageTo > 0 ? m.PageTo : qMax(1, VR_Preview->PageCount()));
    PAN_Email->show();
}

void TKRTViewerReportForm::SendEmail()
{
    RPTEmailOptions &m = VR_Preview->Engine->EmailOptions;
    m.AccountObblig = CK_AccountObblig->isChecked();
    m.AccountUserID = EF_AccountUserID->Text().trimmed();
    m.AccountPassword = EF_AccountPassword->Text();
    m.AccountMailServer = EF_AccountMailServer->Text().trimmed();
    m.FromEmail = EF_FromEmail->Text().trimmed();
    m.ToEmail = EF_ToEmail->Text().trimmed();
    m.CCEmail = EF_CCEmail->Text().trimmed();
    m.CCNEmail = EF_CCNEmail->Text().trimmed();
    m.SubjectEmail = EF_SubjectEmail->Text();
    m.MessageEmail = MM_MessageEmail->toPlainText();
    m.AttachmentEmail = EF_AttachmentEmail->Text().trimmed();
    m.PageFrom = RB_EmailInterval->isChecked() ? Number(EF_EmailFrom) : 0;
    m.PageTo = RB_EmailInterval->isChecked() ? Number(EF_EmailTo) : 0;
    if (RB_EmailInterval->isChecked()
        && (m.PageTo < m.PageFrom || m.PageFrom < 1 || m.PageTo > VR_Preview->PageCount())) {
        ShowErrorBox(QStringLiteral("Intervallo Errato"));
        return;
    }
    const QStringList missing = m.MissingItems();
    if (!missing.isEmpty()) {
        ShowErrorBox(QStringLiteral("I Seguenti Dati Sono Obbligatori:\r\n\r\n")
                     + missing.join(QStringLiteral("\r\n")));
        return;
    }
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QString error;
    try {
        VR_Preview->Engine->EmailReport();
        error = m.ErrorEmail;
    } catch (const EReportError &e) {
        error = e.text();
    }
    QGuiApplication::restoreOverrideCursor();
    if (!error.isEmpty()) {
        ShowErrorBox(error);
        return;
    }
    bEmailed = true;
    PAN_Email->hide();
    ShowInfoBox(QStringLiteral("Email inviata."));
}

TKRTViewerReport::TKRTViewerReport(QObject *parent)
    : QObject(parent)
    , Engine(new TKRTCrystalReport(this))
{}

bool TKRTViewerReport::Show()
{
    bPrinted = false;
    bEmailed = false;
    if (Engine->ReportFileName().isEmpty()) {
        ShowErrorBox(QStringLiteral("Percorso Report Errato: \r") + Engine->ReportName);
        return false;
    }
    if (!(Engine->Mode & mvKRTViewer)) {
        try {
            return Engine->Start(true);
        } catch (const EReportError &e) {
            ShowErrorBox(e.text());
            return false;
        }
    }
    TKRTViewerReportForm form;
    m_form = &form;
    TKRTCrystalReport *engine = form.VR_Preview->Engine;
    engine->CopySettingsFrom(*Engine);
    try {
        if (!form.VR_Preview->Show(false)) {
            m_form = nullptr;
            return false;
        }
    } catch (const EReportError &e) {
        m_form = nullptr;
        ShowErrorBox(e.text());
        return false;
    }
    form.Prepare();
    form.exec();
    m_form = nullptr;
    bPrinted = form.bPrinted;
    bEmailed = form.bEmailed;
    // What the operator chose is kept for the next time.
    Engine->EmailOptions = engine->EmailOptions;
    Engine->PrintOptions.PageFrom = engine->PrintOptions.PageFrom;
    Engine->PrintOptions.PageTo = engine->PrintOptions.PageTo;
    return true;
}
