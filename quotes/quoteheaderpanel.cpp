#include "quotes/quoteheaderpanel.h"

#include "common/formats.h"
#include "controls/tkrteditrules.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrttoggleswitch.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/registrypanel.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The number typed in a field, whether or not the field has checked it yet.
bool TypedNumber(TKRTLabelEdit *edit, double *value)
{
    const QString shown = edit->Edit()->text().trimmed();
    if (shown.isEmpty()) {
        *value = 0;
        return true;
    }
    return KRTParseNumber(KRTRemoveThousands(shown), value);
}

} // namespace

TQuoteHeaderPanel::TQuoteHeaderPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Input"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(10);
    PAN_Desc_TipoOperazione = MakePanelTitle(this);
    outer->addWidget(PAN_Desc_TipoOperazione);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    outer->addLayout(grid);

    // Customer: chosen in the customer search, never typed.
    EF_DescCliente = MakeLabelEdit(this,
                                   QStringLiteral("EF_DescCliente"),
                                   QStringLiteral("Cliente"),
                                   0,
                                   ecKRTNormal,
                                   480,
                                   true);
    EF_DescCliente->SetReadOnly(true);
    PB_RicercaCliente = new QPushButton(QStringLiteral("Cerca cliente..."), this);
    PB_RicercaCliente->setObjectName(QStringLiteral("PB_RicercaCliente"));
    PB_RicercaCliente->setAutoDefault(false);
    auto *customer = new QHBoxLayout;
    customer->setSpacing(6);
    customer->addWidget(EF_DescCliente);
    customer->addWidget(PB_RicercaCliente, 0, Qt::AlignBottom);
    customer->addStretch(1);
    grid->addLayout(customer, 0, 0, 1, 2);

    // Subject: its length is checked at "Ok", so that a longer text is reported, not cut.
    EF_DescOggetto = MakeLabelEdit(this,
                                   QStringLiteral("EF_DescOggetto"),
                                   QStringLiteral("Oggetto"),
                                   0,
                                   ecKRTNormal,
                                   600,
                                   true);
    grid->addWidget(EF_DescOggetto, 1, 0, 1, 2);

    // Deadline rule.
    TS_ScadenzaFissaPreventivo = new TKRTToggleSwitch(QStringLiteral("TS_ScadenzaFissaPreventivo"),
                                                      QStringLiteral(
                                                          "N° di giorni dal blocco del preventivo"),
                                                      QStringLiteral("Data fissa a calendario"),
                                                      this);
    EF_DataScadenza = new TKRTLabelEdit(QStringLiteral("EF_DataScadenza"),
                                        QStringLiteral("Scadenza"),
                                        this);
    EF_DataScadenza->SetCaptionPosition(cpKRTAbove);
    EF_DataScadenza->SetTemplate(tpKRTDate);
    EF_DataScadenza->SetAllowNothing(true);
    EF_DataScadenza->SetEditWidth(100);
    EF_DataScadenza->SetButtonVisible(true);
    EF_DataScadenza->ClearField();
    PB_DataScadenza = EF_DataScadenza->Button();
    PB_DataScadenza->setObjectName(QStringLiteral("PB_DataScadenza"));
    EF_NumGiorniScadenza = new TKRTLabelEdit(QStringLiteral("EF_NumGiorniScadenza"),
                                             QStringLiteral("N° Giorni"),
                                             this);
    EF_NumGiorniScadenza->SetCaptionPosition(cpKRTAbove);
    EF_NumGiorniScadenza->SetTemplate(tpKRTNumeric);
    EF_NumGiorniScadenza->SetDecimals(0);
    EF_NumGiorniScadenza->SetNumericFormatted(false);
    EF_NumGiorniScadenza->SetAllowNothing(true);
    EF_NumGiorniScadenza->SetEditWidth(70);
    auto *deadline = new QHBoxLayout;
    deadline->setSpacing(12);
    deadline->addWidget(TS_ScadenzaFissaPreventivo, 0, Qt::AlignBottom);
    deadline->addWidget(EF_DataScadenza);
    deadline->addWidget(EF_NumGiorniScadenza);
    deadline->addStretch(1);
    grid->addLayout(deadline, 2, 0, 1, 2);

    EF_NotePreventivo = MakeLabelEdit(this,
                                      QStringLiteral("EF_NotePreventivo"),
                                      QStringLiteral("Note (Sezione riepilogo preventivo)"),
                                      0,
                                      ecKRTNormal,
                                      600,
                                      true);
    grid->addWidget(EF_NotePreventivo, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    outer->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), this);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setMinimumSize(100, 28);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), this);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    PB_Annulla_Input->setMinimumSize(100, 28);
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    outer->addLayout(buttons);

    connect(TS_ScadenzaFissaPreventivo, &QAbstractButton::toggled, this, [this] {
        ShowDeadlineMode();
    });
    connect(TS_ScadenzaFissaPreventivo, &QAbstractButton::clicked, this, [this](bool fixed) {
        (fixed ? EF_DataScadenza : EF_NumGiorniScadenza)->SetFocus();
    });
    ShowDeadlineMode();
}

void TQuoteHeaderPanel::SetTitle(const QString &title)
{
    PAN_Desc_TipoOperazione->setText(title);
}

void TQuoteHeaderPanel::ShowDeadlineMode()
{
    const bool fixed = FixedDate();
    EF_DataScadenza->setVisible(fixed);
    EF_NumGiorniScadenza->setVisible(!fixed);
}

bool TQuoteHeaderPanel::FixedDate() const
{
    return TS_ScadenzaFissaPreventivo->isChecked();
}

void TQuoteHeaderPanel::Clear(bool fixedDate, int days)
{
    SetCustomer(QString(), QString());
    EF_DescOggetto->ClearField();
    EF_DataScadenza->ClearField();
    EF_DataScadenza->SetErrorFlag(false);
    EF_NumGiorniScadenza->SetText(QString::number(qMax(0, days)));
    EF_NumGiorniScadenza->SetErrorFlag(false);
    EF_NotePreventivo->ClearField();
    TS_ScadenzaFissaPreventivo->setChecked(fixedDate);
    ShowDeadlineMode();
}

void TQuoteHeaderPanel::Fill(TDataSet &record, const QString &customerDescription)
{
    const TField customer = record.FieldByName(QStringLiteral("idCliente"));
    SetCustomer(customer.IsNull() ? QString() : customer.AsString(),
                customer.IsNull() ? QString() : customerDescription);
    EF_DescOggetto->SetText(record.FieldByName(QStringLiteral("txDescOggetto")).AsString());
    const TField date = record.FieldByName(QStringLiteral("dtScadenza"));
    if (date.IsNull())
        EF_DataScadenza->ClearField();
    else
        EF_DataScadenza->SetAsDate(date.AsDateTime().date());
    EF_DataScadenza->SetErrorFlag(false);
    EF_NumGiorniScadenza->SetText(
        QString::number(record.FieldByName(QStringLiteral("nuGGScadDalBlocco")).AsInteger()));
    EF_NumGiorniScadenza->SetErrorFlag(false);
    EF_NotePreventivo->SetText(record.FieldByName(QStringLiteral("txNotePreventivo")).AsString());
    TS_ScadenzaFissaPreventivo->setChecked(
        record.FieldByName(QStringLiteral("flScadenzaFissa")).AsInteger() == 1);
    ShowDeadlineMode();
}

void TQuoteHeaderPanel::SetCustomer(const QString &idCliente, const QString &description)
{
    EF_DescCliente->SetText(idCliente.isEmpty() ? QString() : description);
    EF_DescCliente->SetTagString(idCliente);
}

QString TQuoteHeaderPanel::CustomerId() const
{
    return EF_DescCliente->TagString();
}

int TQuoteHeaderPanel::Days() const
{
    double days = 0;
    if (!TypedNumber(EF_NumGiorniScadenza, &days))
        return 0;
    return RoundToInt(days);
}

QString TQuoteHeaderPanel::Problem()
{
    const QString subject = EF_DescOggetto->Text().trimmed();
    if (subject.isEmpty()) {
        EF_DescOggetto->SetFocus();
        return QStringLiteral("L'oggetto del preventivo è obbligatorio.");
    }
    if (subject.length() > kSubjectLength) {
        EF_DescOggetto->SetFocus();
        return QStringLiteral("L'oggetto del preventivo può contenere al massimo %1 caratteri: "
                              "quello indicato ne contiene %2.")
            .arg(kSubjectLength)
            .arg(subject.length());
    }
    if (FixedDate()) {
        // A date that does not exist is refused as typed; the field may also have refused it
        // already when it was left (then it is empty and marked in error).
        const QString shown = EF_DataScadenza->Edit()->text().trimmed();
        if ((!shown.isEmpty() && !KRTCheckDate(shown)) || EF_DataScadenza->ErrorFlag()) {
            EF_DataScadenza->SetFocus();
            return QStringLiteral("La data di scadenza indicata non è valida: scrivere una data "
                                  "esistente nella forma gg/mm/aaaa oppure sceglierla dal "
                                  "calendario.");
        }
    } else {
        double days = 0;
        if (!TypedNumber(EF_NumGiorniScadenza, &days) || EF_NumGiorniScadenza->ErrorFlag()
            || days < 0 || days > kMaxDays || days != qRound(days)) {
            EF_NumGiorniScadenza->SetFocus();
            return QStringLiteral("Il numero di giorni di scadenza deve essere un numero intero "
                                  "da 0 a %1.")
                .arg(kMaxDays);
        }
    }
    const QString notes = EF_NotePreventivo->Text().trimmed();
    if (notes.length() > kNotesLength) {
        EF_NotePreventivo->SetFocus();
        return QStringLiteral("Le note del preventivo possono contenere al massimo %1 caratteri: "
                              "quelle indicate ne contengono %2.")
            .arg(kNotesLength)
            .arg(notes.length());
    }
    return QString();
}

void TQuoteHeaderPanel::Write(TDataSet &record)
{
    const QString customer = CustomerId();
    if (customer.isEmpty())
        record.FieldByName(QStringLiteral("idCliente")).SetNull();
    else
        record.FieldByName(QStringLiteral("idCliente")).SetValue(customer);
    record.FieldByName(QStringLiteral("txDescOggetto")).SetValue(EF_DescOggetto->Text().trimmed());
    if (FixedDate()) {
        record.FieldByName(QStringLiteral("flScadenzaFissa")).SetValue(1);
        QDate date;
        if (KRTCheckDate(EF_DataScadenza->Edit()->text().trimmed(), nullptr, &date))
            record.FieldByName(QStringLiteral("dtScadenza")).SetValue(QDateTime(date, QTime(0, 0)));
        else
            record.FieldByName(QStringLiteral("dtScadenza")).SetNull();
        record.FieldByName(QStringLiteral("nuGGScadDalBlocco")).SetValue(0);
    } else {
        record.FieldByName(QStringLiteral("flScadenzaFissa")).SetValue(0);
        record.FieldByName(QStringLiteral("dtScadenza")).SetNull();
        record.FieldByName(QStringLiteral("nuGGScadDalBlocco")).SetValue(Days());
    }
    WriteInput(record, QStringLiteral("txNotePreventivo"), EF_NotePreventivo->Text());
}
