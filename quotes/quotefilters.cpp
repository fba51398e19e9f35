#include "quotes/quotefilters.h"

#include "common/formats.h"
#include "common/inifile.h"
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
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kFirstYear = 2010;
constexpr int kLastYear = 2030;

bool AllDigits(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

// A number field of the filters: digits only, as many as the column can hold.
TKRTLabelEdit *MakeNumberFilter(
    QWidget *parent, const QString &name, const QString &caption, int digits, int width)
{
    TKRTLabelEdit *edit = MakeLabelEdit(parent, name, caption, digits, ecKRTNormal, width, false);
    edit->SetInputBehaviours(ibAllowNumeric);
    edit->SetEditAlignment(Qt::AlignCenter);
    return edit;
}

TKRTLabelEdit *MakeDateFilter(QWidget *parent,
                              const QString &name,
                              const QString &caption,
                              const QString &buttonName)
{
    auto *edit = new TKRTLabelEdit(name, caption, parent);
    edit->SetCaptionPosition(cpKRTLeft);
    edit->SetCaptionAutoSize(true);
    edit->SetTemplate(tpKRTDate);
    edit->SetAllowNothing(true);
    edit->SetEditWidth(90);
    edit->SetButtonVisible(true);
    edit->Button()->setObjectName(buttonName);
    edit->ClearField();
    return edit;
}

// 'yyyymmdd' of a date field, or null. A date typed and not yet checked is checked now: one
// that does not exist is cleared (and shown in error) rather than sent.
QString DateArgument(TKRTLabelEdit *edit)
{
    edit->Edit()->ValidateDisplayed();
    const QDate date = ParseDateText(edit->Text());
    return date.isValid() ? SqlText(date.toString(QStringLiteral("yyyyMMdd")))
                          : QStringLiteral("null");
}

QString DigitsArgument(const QString &text)
{
    return AllDigits(text) ? SqlInteger(text.toLongLong()) : QStringLiteral("null");
}

} // namespace

TQuoteFilters::TQuoteFilters(TKind kind, QWidget *parent)
    : QWidget(parent)
    , m_kind(kind)
{
    setObjectName(QStringLiteral("PAN_Find_Preventivi"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 4);
    outer->setSpacing(4);
    auto *row = new QHBoxLayout;
    row->setSpacing(16);
    outer->addLayout(row);

    // Year, numbers, subject and period.
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(4);
    row->addLayout(fields, 1);

    auto *year = new QHBoxLayout;
    year->setSpacing(2);
    EF_Find_NumAnno = MakeLabelEdit(this,
                                    QStringLiteral("EF_Find_NumAnno"),
                                    QStringLiteral("Anno "),
                                    4,
                                    ecKRTNormal,
                                    48,
                                    false);
    EF_Find_NumAnno->SetReadOnly(true);
    EF_Find_NumAnno->SetEditAlignment(Qt::AlignCenter);
    UD_Find_NumAnno = new TKRTUpDown(QStringLiteral("UD_Find_NumAnno"), this);
    UD_Find_NumAnno->SetRange(kFirstYear, qMax(kLastYear, CurrentYear()));
    CK_Find_AllAnni = new QCheckBox(QStringLiteral("Tutto"), this);
    CK_Find_AllAnni->setObjectName(QStringLiteral("CK_Find_AllAnni"));
    year->addWidget(EF_Find_NumAnno);
    year->addWidget(UD_Find_NumAnno);
    year->addSpacing(6);
    year->addWidget(CK_Find_AllAnni);
    year->addStretch(1);
    fields->addLayout(year, 0, 0);

    auto *numbers = new QHBoxLayout;
    numbers->setSpacing(6);
    EF_Find_NumPreventivo = MakeNumberFilter(this,
                                             QStringLiteral("EF_Find_NumPreventivo"),
                                             QStringLiteral("N° preventivo "),
                                             9,
                                             70);
    EF_Find_NumRevisione = MakeNumberFilter(this,
                                            QStringLiteral("EF_Find_NumRevisione"),
                                            QStringLiteral("Rev. "),
                                            4,
                                            36);
    CK_Find_AllNumeri = new QCheckBox(QStringLiteral("Tutto"), this);
    CK_Find_AllNumeri->setObjectName(QStringLiteral("CK_Find_AllNumeri"));
    numbers->addWidget(EF_Find_NumPreventivo);
    numbers->addWidget(EF_Find_NumRevisione);
    numbers->addWidget(CK_Find_AllNumeri);
    numbers->addStretch(1);
    fields->addLayout(numbers, 0, 1);

    auto *subject = new QHBoxLayout;
    subject->setSpacing(6);
    EF_Find_DescPreventivo = MakeLabelEdit(this,
                                           QStringLiteral("EF_Find_DescPreventivo"),
                                           QStringLiteral("Descrizione "),
                                           200,
                                           ecKRTNormal,
                                           260,
                                           false);
    RG_Find_DescPreventivo = new TRadioGroup(QStringLiteral("RG_Find_DescPreventivo"),
                                             QString(),
                                             {QStringLiteral("contiene"),
                                              QStringLiteral("inizia con")},
                                             Qt::Horizontal,
                                             this);
    subject->addWidget(EF_Find_DescPreventivo);
    subject->addWidget(RG_Find_DescPreventivo);
    subject->addStretch(1);
    fields->addLayout(subject, 1, 0, 1, 2);

    auto *dates = new QHBoxLayout;
    dates->setSpacing(6);
    EF_Find_DataPrevDal = MakeDateFilter(this,
                                         QStringLiteral("EF_Find_DataPrevDal"),
                                         QStringLiteral("Dalla data "),
                                         QStringLiteral("PB_Find_DataPrevDal"));
    EF_Find_DataPrevAl = MakeDateFilter(this,
                                        QStringLiteral("EF_Find_DataPrevAl"),
                                        QStringLiteral("Alla data "),
                                        QStringLiteral("PB_Find_DataPrevAl"));
    CK_Find_AllDate = new QCheckBox(QStringLiteral("Tutto"), this);
    CK_Find_AllDate->setObjectName(QStringLiteral("CK_Find_AllDate"));
    dates->addWidget(EF_Find_DataPrevDal);
    dates->addWidget(EF_Find_DataPrevAl);
    dates->addWidget(CK_Find_AllDate);
    dates->addStretch(1);
    fields->addLayout(dates, 2, 0, 1, 2);
    fields->setColumnStretch(2, 1);

    // Flags.
    auto *flags = new QVBoxLayout;
    flags->setSpacing(2);
    CK_Find_OrdinaRecenti = new QCheckBox(QStringLiteral("Ordina più recenti"), this);
    CK_Find_OrdinaRecenti->setObjectName(QStringLiteral("CK_Find_OrdinaRecenti"));
    flags->addWidget(CK_Find_OrdinaRecenti);
    if (m_kind == QuoteList) {
        CK_Find_IncludiNonAttivi = new QCheckBox(QStringLiteral("Includi non attivi"), this);
        CK_Find_IncludiNonAttivi->setObjectName(QStringLiteral("CK_Find_IncludiNonAttivi"));
        CK_Find_IncludiBloccati = new QCheckBox(QStringLiteral("Includi bloccati"), this);
        CK_Find_IncludiBloccati->setObjectName(QStringLiteral("CK_Find_IncludiBloccati"));
        flags->addWidget(CK_Find_IncludiNonAttivi);
        flags->addWidget(CK_Find_IncludiBloccati);
    }
    flags->addStretch(1);
    row->addLayout(flags);

    QVBoxLayout *buttons = MakeListButtons(this, PB_EstraiElenco, PB_AzzeraFiltri);
    buttons->addStretch(1);
    row->addLayout(buttons);

    // The customer search: the switch and, while it is on, the customer filters.
    TS_Find_RicercaPerCliente = new TKRTToggleSwitch(QStringLiteral("TS_Find_RicercaPerCliente"),
                                                     QStringLiteral("Attiva ricerca per cliente"),
                                                     QStringLiteral(
                                                         "Disattiva ricerca per cliente"),
                                                     this);
    outer->addWidget(TS_Find_RicercaPerCliente);
    PAN_Filters_Cliente = new QFrame(this);
    PAN_Filters_Cliente->setObjectName(QStringLiteral("PAN_Filters_Cliente"));
    PAN_Filters_Cliente->setFrameShape(QFrame::StyledPanel);
    auto *customerLayout = new QVBoxLayout(PAN_Filters_Cliente);
    customerLayout->setContentsMargins(6, 4, 6, 4);
    Customer = new TCustomerFilters(true, PAN_Filters_Cliente);
    customerLayout->addWidget(Customer);
    outer->addWidget(PAN_Filters_Cliente);

    // A box, an arrow or the switch only clears, locks or shows fields and moves the focus:
    // nothing is extracted before "Estrai elenco".
    UD_Find_NumAnno->OnClick = [this](TKRTUpDown *ud) {
        SetYear(ud->Position());
        FocusExtract();
    };
    connect(CK_Find_AllAnni, &QCheckBox::clicked, this, [this](bool all) {
        ApplyAllYears(all);
        if (!all)
            SetYear(CurrentYear());
        FocusExtract();
    });
    connect(CK_Find_AllNumeri, &QCheckBox::clicked, this, [this](bool all) {
        ApplyAllNumbers(all);
        if (all)
            FocusExtract();
        else
            EF_Find_NumPreventivo->SetFocus();
    });
    connect(CK_Find_AllDate, &QCheckBox::clicked, this, [this](bool all) {
        ApplyAllDates(all);
        if (all)
            FocusExtract();
        else
            EF_Find_DataPrevDal->SetFocus();
    });
    RG_Find_DescPreventivo->OnClick = [this](TRadioGroup *) { EF_Find_DescPreventivo->SetFocus(); };
    for (QCheckBox *box :
         {CK_Find_OrdinaRecenti, CK_Find_IncludiNonAttivi, CK_Find_IncludiBloccati}) {
        if (box)
            connect(box, &QCheckBox::clicked, this, [this] { FocusExtract(); });
    }
    connect(TS_Find_RicercaPerCliente, &QAbstractButton::clicked, this, [this](bool on) {
        ApplyCustomerSearch(on);
        if (on)
            Customer->EF_Find_CodCliente->SetFocus();
        else
            FocusExtract();
    });
    Reset();
}

int TQuoteFilters::CurrentYear()
{
    return QDate::currentDate().year();
}

void TQuoteFilters::FocusExtract()
{
    PB_EstraiElenco->setFocus(Qt::OtherFocusReason);
}

void TQuoteFilters::SetYear(int year)
{
    UD_Find_NumAnno->SetPosition(year);
    EF_Find_NumAnno->SetText(QString::number(year));
}

void TQuoteFilters::ApplyAllYears(bool all)
{
    if (all)
        EF_Find_NumAnno->ClearField();
    UD_Find_NumAnno->setEnabled(!all);
}

void TQuoteFilters::ApplyAllNumbers(bool all)
{
    if (all) {
        EF_Find_NumPreventivo->ClearField();
        EF_Find_NumRevisione->ClearField();
    }
    EF_Find_NumPreventivo->SetReadOnly(all);
    EF_Find_NumRevisione->SetReadOnly(all);
}

void TQuoteFilters::ApplyAllDates(bool all)
{
    for (TKRTLabelEdit *edit : {EF_Find_DataPrevDal, EF_Find_DataPrevAl}) {
        if (all)
            edit->ClearField();
        edit->SetAllEnabled(!all);
    }
}

void TQuoteFilters::ApplyCustomerSearch(bool on)
{
    PAN_Filters_Cliente->setVisible(on);
}

QString TQuoteFilters::CommandText(const QString &idSocieta) const
{
    QStringList args{SqlText(idSocieta)};
    args << (CK_Find_AllAnni->isChecked() ? QStringLiteral("null")
                                          : DigitsArgument(EF_Find_NumAnno->Text()));
    if (CK_Find_AllNumeri->isChecked()) {
        args << QStringLiteral("null") << QStringLiteral("null");
    } else {
        args << DigitsArgument(EF_Find_NumPreventivo->Text());
        args << DigitsArgument(EF_Find_NumRevisione->Text());
    }
    const QString subject = EF_Find_DescPreventivo->Text();
    args << (RG_Find_DescPreventivo->ItemIndex() == 1 ? SqlStartsWith(subject)
                                                      : SqlContains(subject));
    if (CK_Find_AllDate->isChecked()) {
        args << QStringLiteral("null") << QStringLiteral("null");
    } else {
        args << DateArgument(EF_Find_DataPrevDal) << DateArgument(EF_Find_DataPrevAl);
    }
    if (m_kind == QuoteList) {
        args << SqlFlag(CK_Find_IncludiNonAttivi->isChecked());
        args << SqlFlag(CK_Find_IncludiBloccati->isChecked());
        args << QStringLiteral("0");
    } else {
        // The search offers quotes to make an order of: never deactivated ones, blocked ones
        // always, and the database keeps those an order can be made from.
        args << QStringLiteral("0") << QStringLiteral("1") << QStringLiteral("1");
    }
    if (TS_Find_RicercaPerCliente->isChecked())
        args << Customer->Arguments();
    return QStringLiteral("EXEC EstraiPreventivi  1, ") + args.join(QStringLiteral(", "));
}

QString TQuoteFilters::SortText() const
{
    const QString numbers = QStringLiteral("nuAnnoPreventivo DESC, nuPreventivo DESC, nuRevisione "
                                           "DESC");
    return CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtMaxOperation DESC, ") + numbers
                                              : numbers;
}

void TQuoteFilters::Reset()
{
    CK_Find_AllAnni->setChecked(false);
    ApplyAllYears(false);
    SetYear(CurrentYear());
    CK_Find_AllNumeri->setChecked(true);
    ApplyAllNumbers(true);
    EF_Find_DescPreventivo->ClearField();
    RG_Find_DescPreventivo->SetItemIndex(0);
    CK_Find_AllDate->setChecked(true);
    ApplyAllDates(true);
    CK_Find_OrdinaRecenti->setChecked(true);
    if (CK_Find_IncludiNonAttivi)
        CK_Find_IncludiNonAttivi->setChecked(false);
    if (CK_Find_IncludiBloccati)
        CK_Find_IncludiBloccati->setChecked(true);
    TS_Find_RicercaPerCliente->setChecked(false);
    ApplyCustomerSearch(false);
    Customer->Reset();
}

void TQuoteFilters::Bind(TFilterSettings &settings)
{
    settings.AddFlag(CK_Find_AllAnni, QStringLiteral("AllAnni"), false);
    // A year that is not a number becomes the current one.
    settings.AddValue(
        QStringLiteral("NumAnno"),
        QString(),
        [this] { return EF_Find_NumAnno->Text(); },
        [this](const QString &v) {
            bool ok = false;
            const int year = v.trimmed().toInt(&ok);
            SetYear(ok ? year : CurrentYear());
        });
    settings.AddFlag(CK_Find_AllNumeri, QStringLiteral("AllNumeri"), true);
    // A number or revision that is not all digits becomes empty.
    for (TKRTLabelEdit *edit : {EF_Find_NumPreventivo, EF_Find_NumRevisione}) {
        settings.AddValue(
            edit == EF_Find_NumPreventivo ? QStringLiteral("NumPreventivo")
                                          : QStringLiteral("NumRevisione"),
            QString(),
            [edit] { return edit->Text(); },
            [edit](const QString &v) {
                if (AllDigits(v.trimmed()))
                    edit->SetText(v.trimmed());
                else
                    edit->ClearField();
            });
    }
    settings.AddText(EF_Find_DescPreventivo, QStringLiteral("DescPreventivo"));
    settings.AddRadio(RG_Find_DescPreventivo, QStringLiteral("FindDescPreventivo"));
    settings.AddFlag(CK_Find_AllDate, QStringLiteral("AllDate"), true);
    settings.AddText(EF_Find_DataPrevDal, QStringLiteral("DataPrevDal"));
    settings.AddText(EF_Find_DataPrevAl, QStringLiteral("DataPrevAl"));
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    if (CK_Find_IncludiNonAttivi)
        settings.AddFlag(CK_Find_IncludiNonAttivi, QStringLiteral("IncludiNonAttivi"), true);
    if (CK_Find_IncludiBloccati)
        settings.AddFlag(CK_Find_IncludiBloccati, QStringLiteral("IncludiBloccati"), true);
    settings.AddValue(
        QStringLiteral("RicercaPerCliente"),
        QStringLiteral("SI"),
        [this] { return QLatin1String(TS_Find_RicercaPerCliente->isChecked() ? kIniYes : kIniNo); },
        [this](const QString &v) {
            TS_Find_RicercaPerCliente->setChecked(v == QLatin1String(kIniYes));
        });
    Customer->Bind(settings);
}

void TQuoteFilters::Refresh()
{
    ApplyAllYears(CK_Find_AllAnni->isChecked());
    if (!CK_Find_AllAnni->isChecked()) {
        bool ok = false;
        const int year = EF_Find_NumAnno->Text().toInt(&ok);
        SetYear(ok ? year : CurrentYear());
    }
    ApplyAllNumbers(CK_Find_AllNumeri->isChecked());
    ApplyAllDates(CK_Find_AllDate->isChecked());
    ApplyCustomerSearch(TS_Find_RicercaPerCliente->isChecked());
    Customer->ShowNationalityField();
}

void TQuoteFilters::SetProvinces(const TDataSet *provinces)
{
    Customer->SetProvinces(provinces);
}
