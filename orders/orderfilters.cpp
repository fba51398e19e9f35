#include "orders/orderfilters.h"

#include "common/inifile.h"
#include "common/texts.h"
#include "controls/tkrtcalendar.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrttoggleswitch.h"
#include "controls/tkrtupdown.h"
#include "db/commandtext.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/radiogroup.h"

#include <QCheckBox>
#include <QDate>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QCheckBox *MakeBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QToolButton *MakeCalendarButton(QWidget *parent, const QString &name, TKRTLabelEdit *field)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(QStringLiteral("..."));
    button->setToolTip(QStringLiteral("Calendario"));
    QObject::connect(button, &QToolButton::clicked, field, [field] { field->ShowCalendarForm(); });
    return button;
}

QString DateArgument(TKRTLabelEdit *edit)
{
    const QDate d = edit->AsDate();
    if (edit->IsEmpty() || !d.isValid())
        return QStringLiteral("null");
    return QLatin1Char('\'') + d.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('\'');
}

} // namespace

int OrderFilterYear(const QString &text)
{
    const int current = QDate::currentDate().year();
    if (!IsIntegerText(text.trimmed()))
        return current;
    const int year = text.trimmed().toInt();
    if (year < TOrderFilters::kFirstYear || year > TOrderFilters::kLastYear)
        return current;
    return year;
}

// --- TOrderFilters ----------------------------------------------------------------------------

TOrderFilters::TOrderFilters(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Filters_Ordini"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 4);
    outer->setSpacing(4);

    auto *top = new QGridLayout;
    top->setHorizontalSpacing(8);
    top->setVerticalSpacing(2);
    outer->addLayout(top);

    // Year: read-only, changed with the arrows.
    EF_Find_NumAnno = MakeLabelEdit(this,
                                    QStringLiteral("EF_Find_NumAnno"),
                                    QStringLiteral("Anno"),
                                    4,
                                    0,
                                    50,
                                    true);
    EF_Find_NumAnno->SetTemplate(tpKRTNumeric);
    EF_Find_NumAnno->SetNumericFormatted(false);
    EF_Find_NumAnno->SetDecimals(0);
    EF_Find_NumAnno->SetReadOnly(true);
    UD_Find_NumAnno = new TKRTUpDown(QStringLiteral("UD_Find_NumAnno"), this);
    UD_Find_NumAnno->SetRange(kFirstYear, kLastYear);
    UD_Find_NumAnno->SetPosition(QDate::currentDate().year());
    CK_Find_AllAnni = MakeBox(this, QStringLiteral("CK_Find_AllAnni"), QStringLiteral("Tutto"));
    auto *year = new QHBoxLayout;
    year->setSpacing(2);
    year->addWidget(EF_Find_NumAnno);
    year->addWidget(UD_Find_NumAnno, 0, Qt::AlignBottom);
    top->addLayout(year, 0, 0);
    top->addWidget(CK_Find_AllAnni, 1, 0);

    // Order number: digits only.
    EF_Find_NumOrdine = MakeLabelEdit(this,
                                      QStringLiteral("EF_Find_NumOrdine"),
                                      QStringLiteral("Ordine"),
                                      9,
                                      0,
                                      70,
                                      true);
    EF_Find_NumOrdine->SetTemplate(tpKRTNumeric);
    EF_Find_NumOrdine->SetNumericFormatted(false);
    EF_Find_NumOrdine->SetDecimals(0);
    EF_Find_NumOrdine->SetCharactersTable(QStringLiteral("0123456789"));
    CK_Find_AllNumeri = MakeBox(this, QStringLiteral("CK_Find_AllNumeri"), QStringLiteral("Tutto"));
    top->addWidget(EF_Find_NumOrdine, 0, 1);
    top->addWidget(CK_Find_AllNumeri, 1, 1);

    EF_Find_DescOrdine = MakeLabelEdit(this,
                                       QStringLiteral("EF_Find_DescOrdine"),
                                       QStringLiteral("Descrizione"),
                                       200,
                                       0,
                                       260,
                                       true);
    RG_Find_DescOrdine = new TRadioGroup(QStringLiteral("RG_Find_DescOrdine"),
                                         QString(),
                                         {QStringLiteral("contiene"), QStringLiteral("inizia con")},
                                         Qt::Horizontal,
                                         this);
    top->addWidget(EF_Find_DescOrdine, 0, 2);
    top->addWidget(RG_Find_DescOrdine, 1, 2);

    // Dates of sending to the customer.
    auto *dates = new QFrame(this);
    dates->setObjectName(QStringLiteral("PAN_Find_Date"));
    auto *datesLayout = new QGridLayout(dates);
    datesLayout->setContentsMargins(0, 0, 0, 0);
    datesLayout->setHorizontalSpacing(2);
    EF_Find_DataOrdDal = MakeLabelEdit(dates,
                                       QStringLiteral("EF_Find_DataOrdDal"),
                                       QStringLiteral(" "),
                                       10,
                                       0,
                                       85,
                                       true);
    EF_Find_DataOrdDal->SetTemplate(tpKRTDate);
    EF_Find_DataOrdAl = MakeLabelEdit(dates,
                                      QStringLiteral("EF_Find_DataOrdAl"),
                                      QStringLiteral(" "),
                                      10,
                                      0,
                                      85,
                                      true);
    EF_Find_DataOrdAl->SetTemplate(tpKRTDate);
    PB_Find_DataPrevDal = MakeCalendarButton(dates,
                                             QStringLiteral("PB_Find_DataPrevDal"),
                                             EF_Find_DataOrdDal);
    PB_Find_DataPrevAl = MakeCalendarButton(dates,
                                            QStringLiteral("PB_Find_DataPrevAl"),
                                            EF_Find_DataOrdAl);
    // The caption stands over both dates: above the first field alone it would wrap.
    auto *datesCaption = new QLabel(QStringLiteral("Data invio al cliente"), dates);
    datesCaption->setObjectName(QStringLiteral("LB_Find_DataOrd"));
    datesCaption->setFixedHeight(EF_Find_DataOrdDal->CaptionHeight());
    for (TKRTLabelEdit *edit : {EF_Find_DataOrdDal, EF_Find_DataOrdAl})
        edit->SetCaptionHeight(0);
    datesLayout->setVerticalSpacing(0);
    datesLayout->addWidget(datesCaption, 0, 0, 1, 4);
    datesLayout->addWidget(EF_Find_DataOrdDal, 1, 0);
    datesLayout->addWidget(PB_Find_DataPrevDal, 1, 1, Qt::AlignBottom);
    datesLayout->addWidget(EF_Find_DataOrdAl, 1, 2);
    datesLayout->addWidget(PB_Find_DataPrevAl, 1, 3, Qt::AlignBottom);
    CK_Find_AllDate = MakeBox(this, QStringLiteral("CK_Find_AllDate"), QStringLiteral("Tutto"));
    top->addWidget(dates, 0, 3);
    top->addWidget(CK_Find_AllDate, 1, 3);

    CK_Find_OrdinaRecenti = MakeBox(this,
                                    QStringLiteral("CK_Find_OrdinaRecenti"),
                                    QStringLiteral("Ordina più recenti"));
    CK_Find_IncludiNonAttivi = MakeBox(this,
                                       QStringLiteral("CK_Find_IncludiNonAttivi"),
                                       QStringLiteral("Includi non attivi"));
    CK_Find_IncludiBloccati = MakeBox(this,
                                      QStringLiteral("CK_Find_IncludiBloccati"),
                                      QStringLiteral("Includi bloccati"));
    CK_Find_SoloFirmati = MakeBox(this,
                                  QStringLiteral("CK_Find_SoloFirmati"),
                                  QStringLiteral("Solo firmati"));
    auto *flags = new QGridLayout;
    flags->setVerticalSpacing(0);
    flags->addWidget(CK_Find_OrdinaRecenti, 0, 0);
    flags->addWidget(CK_Find_IncludiNonAttivi, 1, 0);
    flags->addWidget(CK_Find_IncludiBloccati, 0, 1);
    flags->addWidget(CK_Find_SoloFirmati, 1, 1);
    top->addLayout(flags, 0, 4, 2, 1);

    TS_Find_RicercaPerCliente = new TKRTToggleSwitch(QStringLiteral("TS_Find_RicercaPerCliente"),
                                                     QStringLiteral("Attiva ricerca per cliente"),
                                                     QStringLiteral(
                                                         "Disattiva ricerca per cliente"),
                                                     this);
    QVBoxLayout *buttons = MakeListButtons(this, PB_EstraiElenco, PB_AzzeraFiltri, 2);
    top->addLayout(buttons, 0, 6, 2, 1);
    top->addWidget(TS_Find_RicercaPerCliente, 0, 5, 2, 1, Qt::AlignVCenter);
    top->setColumnStretch(7, 1);

    PAN_Filters_Cliente = new QFrame(this);
    PAN_Filters_Cliente->setObjectName(QStringLiteral("PAN_Filters_Cliente"));
    auto *customerLayout = new QVBoxLayout(PAN_Filters_Cliente);
    customerLayout->setContentsMargins(0, 2, 0, 0);
    Customer = new TCustomerFilters(true, PAN_Filters_Cliente);
    customerLayout->addWidget(Customer);
    PAN_Filters_Cliente->hide();
    outer->addWidget(PAN_Filters_Cliente);

    connect(CK_Find_AllAnni, &QCheckBox::clicked, this, &TOrderFilters::AllAnniChanged);
    connect(CK_Find_AllNumeri, &QCheckBox::clicked, this, &TOrderFilters::AllNumeriChanged);
    connect(CK_Find_AllDate, &QCheckBox::clicked, this, &TOrderFilters::AllDateChanged);
    UD_Find_NumAnno->OnClick = [this](TKRTUpDown *ud) {
        EF_Find_NumAnno->SetText(QString::number(ud->Position()));
        EF_Find_NumAnno->SetFocus();
    };
    connect(TS_Find_RicercaPerCliente, &QAbstractButton::clicked, this, [this](bool on) {
        SetCustomerSearch(on);
        if (on && Customer->EF_Find_CodCliente)
            Customer->EF_Find_CodCliente->SetFocus();
        else
            PB_EstraiElenco->setFocus();
    });
    for (QCheckBox *box : {CK_Find_OrdinaRecenti,
                           CK_Find_IncludiNonAttivi,
                           CK_Find_IncludiBloccati,
                           CK_Find_SoloFirmati})
        connect(box, &QCheckBox::clicked, this, [this] { PB_EstraiElenco->setFocus(); });
}

void TOrderFilters::ApplyAllAnni()
{
    const bool all = CK_Find_AllAnni->isChecked();
    UD_Find_NumAnno->setEnabled(!all);
    EF_Find_NumAnno->SetReadOnly(true);
}

void TOrderFilters::ApplyAllNumeri()
{
    EF_Find_NumOrdine->SetReadOnly(CK_Find_AllNumeri->isChecked());
}

void TOrderFilters::ApplyAllDate()
{
    const bool all = CK_Find_AllDate->isChecked();
    EF_Find_DataOrdDal->SetReadOnly(all);
    EF_Find_DataOrdAl->SetReadOnly(all);
    PB_Find_DataPrevDal->setEnabled(!all);
    PB_Find_DataPrevAl->setEnabled(!all);
}

void TOrderFilters::AllAnniChanged()
{
    if (CK_Find_AllAnni->isChecked()) {
        EF_Find_NumAnno->ClearField();
    } else {
        const int year = qBound(kFirstYear, QDate::currentDate().year(), kLastYear);
        UD_Find_NumAnno->SetPosition(year);
        EF_Find_NumAnno->SetText(QString::number(year));
    }
    ApplyAllAnni();
    PB_EstraiElenco->setFocus();
}

void TOrderFilters::AllNumeriChanged()
{
    EF_Find_NumOrdine->ClearField();
    ApplyAllNumeri();
    PB_EstraiElenco->setFocus();
}

void TOrderFilters::AllDateChanged()
{
    EF_Find_DataOrdDal->ClearField();
    EF_Find_DataOrdAl->ClearField();
    ApplyAllDate();
    PB_EstraiElenco->setFocus();
}

void TOrderFilters::SetCustomerSearch(bool on)
{
    m_customerSearch = on;
    TS_Find_RicercaPerCliente->setChecked(on);
    PAN_Filters_Cliente->setVisible(on);
    if (on)
        Customer->ShowNationalityField();
}

void TOrderFilters::Refresh()
{
    if (CK_Find_AllAnni->isChecked()) {
        EF_Find_NumAnno->ClearField();
    } else {
        const int year = OrderFilterYear(EF_Find_NumAnno->Text());
        UD_Find_NumAnno->SetPosition(year);
        EF_Find_NumAnno->SetText(QString::number(year));
    }
    if (CK_Find_AllNumeri->isChecked() || !IsDigitsText(EF_Find_NumOrdine->Text()))
        EF_Find_NumOrdine->ClearField();
    if (CK_Find_AllDate->isChecked()) {
        EF_Find_DataOrdDal->ClearField();
        EF_Find_DataOrdAl->ClearField();
    }
    ApplyAllAnni();
    ApplyAllNumeri();
    ApplyAllDate();
    SetCustomerSearch(m_customerSearch);
}

void TOrderFilters::Reset()
{
    CK_Find_AllAnni->setChecked(false);
    EF_Find_NumAnno->SetText(QString::number(QDate::currentDate().year()));
    CK_Find_AllNumeri->setChecked(true);
    EF_Find_NumOrdine->ClearField();
    EF_Find_DescOrdine->ClearField();
    RG_Find_DescOrdine->SetItemIndex(0);
    CK_Find_AllDate->setChecked(true);
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_IncludiNonAttivi->setChecked(false);
    CK_Find_IncludiBloccati->setChecked(true);
    CK_Find_SoloFirmati->setChecked(false);
    Customer->Reset();
    m_customerSearch = false;
    Refresh();
}

void TOrderFilters::Bind(TFilterSettings &settings)
{
    settings.AddFlag(CK_Find_AllAnni, QStringLiteral("AllAnni"), false);
    settings.AddValue(
        QStringLiteral("NumAnno"),
        QString::number(QDate::currentDate().year()),
        [this] { return EF_Find_NumAnno->Text(); },
        [this](const QString &v) { EF_Find_NumAnno->SetText(QString::number(OrderFilterYear(v))); });
    settings.AddFlag(CK_Find_AllNumeri, QStringLiteral("AllNumeri"), true);
    settings.AddValue(
        QStringLiteral("NumOrdine"),
        QString(),
        [this] { return EF_Find_NumOrdine->Text(); },
        [this](const QString &v) { EF_Find_NumOrdine->SetText(IsDigitsText(v) ? v : QString()); });
    settings.AddText(EF_Find_DescOrdine, QStringLiteral("DescOrdine"));
    settings.AddRadio(RG_Find_DescOrdine, QStringLiteral("FindDescOrdine"));
    settings.AddFlag(CK_Find_AllDate, QStringLiteral("AllDate"), true);
    settings.AddText(EF_Find_DataOrdDal, QStringLiteral("DataPrevDal"));
    settings.AddText(EF_Find_DataOrdAl, QStringLiteral("DataPrevAl"));
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    settings.AddFlag(CK_Find_IncludiNonAttivi, QStringLiteral("IncludiNonAttivi"), true);
    settings.AddFlag(CK_Find_IncludiBloccati, QStringLiteral("IncludiBloccati"), true);
    settings.AddValue(
        QStringLiteral("RicercaPerCliente"),
        QLatin1String(kIniYes),
        [this] { return QLatin1String(m_customerSearch ? kIniYes : kIniNo); },
        [this](const QString &v) { m_customerSearch = v == QLatin1String(kIniYes); });
    Customer->Bind(settings);
}

void TOrderFilters::SetProvinces(const TDataSet *provinces)
{
    Customer->SetProvinces(provinces);
}

QString TOrderFilters::Problem(QWidget **field) const
{
    auto fail = [field](QWidget *w, const QString &text) {
        if (field)
            *field = w;
        return text;
    };
    if (!CK_Find_AllNumeri->isChecked() && !EF_Find_NumOrdine->IsEmpty()
        && !IsDigitsText(EF_Find_NumOrdine->Text().trimmed()))
        return fail(EF_Find_NumOrdine,
                    QStringLiteral("Il numero d'ordine deve contenere solo cifre."));
    if (CK_Find_AllDate->isChecked())
        return QString();
    const QDate from = EF_Find_DataOrdDal->AsDate();
    const QDate to = EF_Find_DataOrdAl->AsDate();
    if (!EF_Find_DataOrdDal->IsEmpty() && !from.isValid())
        return fail(EF_Find_DataOrdDal, QStringLiteral("La data iniziale non è valida."));
    if (!EF_Find_DataOrdAl->IsEmpty() && !to.isValid())
        return fail(EF_Find_DataOrdAl, QStringLiteral("La data finale non è valida."));
    if (from.isValid() && to.isValid() && from > to)
        return fail(EF_Find_DataOrdDal,
                    QStringLiteral("La data iniziale è successiva alla data finale."));
    return QString();
}

QString TOrderFilters::CommandText(const QString &companyId) const
{
    QStringList args;
    args << SqlText(companyId);
    const QString year = EF_Find_NumAnno->Text().trimmed();
    args << (!CK_Find_AllAnni->isChecked() && IsDigitsText(year) && !year.isEmpty()
                 ? year
                 : QStringLiteral("null"));
    const QString number = EF_Find_NumOrdine->Text().trimmed();
    args << (!CK_Find_AllNumeri->isChecked() && IsDigitsText(number) && !number.isEmpty()
                 ? QString::number(number.toLongLong())
                 : QStringLiteral("null"));
    const QString desc = EF_Find_DescOrdine->Text();
    args << (RG_Find_DescOrdine->ItemIndex() == 1 ? SqlStartsWith(desc) : SqlContains(desc));
    if (CK_Find_AllDate->isChecked()) {
        args << QStringLiteral("null") << QStringLiteral("null");
    } else {
        args << DateArgument(EF_Find_DataOrdDal) << DateArgument(EF_Find_DataOrdAl);
    }
    args << SqlFlag(CK_Find_SoloFirmati->isChecked())
         << SqlFlag(CK_Find_IncludiNonAttivi->isChecked())
         << SqlFlag(CK_Find_IncludiBloccati->isChecked());
    if (m_customerSearch)
        args << Customer->Arguments();
    return QStringLiteral("EXEC EstraiOrdini  1, ") + args.join(QStringLiteral(", "));
}

QString TOrderFilters::SortText() const
{
    return CK_Find_OrdinaRecenti->isChecked()
               ? QStringLiteral("dtMaxOperation DESC, nuAnnoPreventivo DESC, nuPreventivo DESC")
               : QStringLiteral("nuAnnoPreventivo DESC, nuPreventivo DESC");
}
