#include "masterdata/customerfilters.h"

#include "controls/tkrtlabeledit.h"
#include "controls/tspecombobox.h"
#include "db/commandtext.h"
#include "masterdata/filtersettings.h"
#include "masterdata/provinces.h"
#include "masterdata/radiogroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

TKRTLabelEdit *MakeLabelEdit(QWidget *parent,
                             const QString &name,
                             const QString &caption,
                             int maxLength,
                             int charCase,
                             int editWidth,
                             bool captionAbove)
{
    auto *edit = new TKRTLabelEdit(name, caption, parent);
    edit->SetCaptionPosition(captionAbove ? cpKRTAbove : cpKRTLeft);
    if (!captionAbove)
        edit->SetCaptionAutoSize(true);
    edit->SetTemplate(tpKRTString);
    edit->SetAllowNothing(true);
    edit->SetMaxLength(maxLength);
    edit->SetCharCase(TKRTCharCase(charCase));
    edit->SetEditWidth(editWidth);
    return edit;
}

QVBoxLayout *MakeListButtons(QWidget *parent,
                             QPushButton *&estraiElenco,
                             QPushButton *&azzeraFiltri,
                             int spacing)
{
    estraiElenco = new QPushButton(QStringLiteral("Estrai elenco"), parent);
    estraiElenco->setObjectName(QStringLiteral("PB_EstraiElenco"));
    estraiElenco->setDefault(true);
    estraiElenco->setMinimumSize(120, 30);
    azzeraFiltri = new QPushButton(QStringLiteral("Azzera filtri"), parent);
    azzeraFiltri->setObjectName(QStringLiteral("PB_AzzeraFiltri"));
    azzeraFiltri->setAutoDefault(false);
    azzeraFiltri->setMinimumSize(120, 26);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(spacing);
    buttons->addWidget(estraiElenco);
    buttons->addWidget(azzeraFiltri);
    return buttons;
}

TCustomerFilters::TCustomerFilters(bool withCode, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Find_Anagrafica"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);

    int column = 0;
    if (withCode) {
        EF_Find_CodCliente = MakeLabelEdit(this,
                                           QStringLiteral("EF_Find_CodCliente"),
                                           QStringLiteral("Codice "),
                                           50,
                                           ecKRTUpperCase,
                                           90,
                                           false);
        grid->addWidget(EF_Find_CodCliente, 0, column++);
    }
    EF_Find_Denominazione = MakeLabelEdit(this,
                                          QStringLiteral("EF_Find_Denominazione"),
                                          QStringLiteral("Ragione Sociale "),
                                          200,
                                          ecKRTNormal,
                                          220,
                                          false);
    grid->addWidget(EF_Find_Denominazione, 0, column);
    RG_Find_Denominazione = new TRadioGroup(QStringLiteral("RG_Find_Denominazione"),
                                            QString(),
                                            {QStringLiteral("contiene"),
                                             QStringLiteral("inizia con")},
                                            Qt::Horizontal,
                                            this);
    grid->addWidget(RG_Find_Denominazione, 0, column + 1);

    EF_Find_PartitaIVA = MakeLabelEdit(this,
                                       QStringLiteral("EF_Find_PartitaIVA"),
                                       QStringLiteral("Partita IVA "),
                                       50,
                                       ecKRTUpperCase,
                                       120,
                                       false);
    EF_Find_CodFiscale = MakeLabelEdit(this,
                                       QStringLiteral("EF_Find_CodFiscale"),
                                       QStringLiteral("Codice Fiscale "),
                                       50,
                                       ecKRTUpperCase,
                                       150,
                                       false);
    auto *numbers = new QHBoxLayout;
    numbers->setSpacing(10);
    numbers->addWidget(EF_Find_PartitaIVA);
    numbers->addWidget(EF_Find_CodFiscale);
    numbers->addStretch(1);
    grid->addLayout(numbers, 1, 0, 1, column + 2);

    RG_Find_Nazionalita = new TRadioGroup(QStringLiteral("RG_Find_Nazionalita"),
                                          QString(),
                                          {QStringLiteral("Italia"),
                                           QStringLiteral("Estero"),
                                           QStringLiteral("Tutte")},
                                          Qt::Horizontal,
                                          this);
    SCB_Find_Provincia = new TSPEComboBox(this);
    SCB_Find_Provincia->setObjectName(QStringLiteral("SCB_Find_Provincia"));
    SCB_Find_Provincia->SetCaptionString(QStringLiteral("Provincia"));
    SCB_Find_Provincia->SetCaptionWidth(
        SCB_Find_Provincia->fontMetrics().horizontalAdvance(QStringLiteral("Provincia")) + 8);
    SCB_Find_Provincia->SetEditWidth(40);
    SCB_Find_Provincia->SetDescWidth(170);
    SCB_Find_Provincia->SetAllowNothing(true);
    EF_Find_Nazione = MakeLabelEdit(this,
                                    QStringLiteral("EF_Find_Nazione"),
                                    QStringLiteral("Nazionalità "),
                                    50,
                                    ecKRTNormal,
                                    170,
                                    false);
    auto *nation = new QHBoxLayout;
    nation->setSpacing(10);
    nation->addWidget(RG_Find_Nazionalita);
    nation->addWidget(SCB_Find_Provincia);
    nation->addWidget(EF_Find_Nazione);
    nation->addStretch(1);
    grid->addLayout(nation, 2, 0, 1, column + 2);
    grid->setColumnStretch(column + 2, 1);

    RG_Find_Denominazione->OnClick = [this](TRadioGroup *) { EF_Find_Denominazione->SetFocus(); };
    RG_Find_Nazionalita->OnClick = [this](TRadioGroup *group) {
        ShowNationalityField();
        if (group->ItemIndex() == 0)
            SCB_Find_Provincia->edt()->SetFocus();
        else if (group->ItemIndex() == 1)
            EF_Find_Nazione->SetFocus();
    };
    Reset();
}

QStringList TCustomerFilters::Arguments() const
{
    QStringList args;
    if (EF_Find_CodCliente)
        args << SqlTextOrNull(EF_Find_CodCliente->Text());
    const QString name = EF_Find_Denominazione->Text();
    args << (RG_Find_Denominazione->ItemIndex() == 1 ? SqlStartsWith(name) : SqlContains(name));
    args << SqlTextOrNull(EF_Find_PartitaIVA->Text());
    args << SqlTextOrNull(EF_Find_CodFiscale->Text());
    switch (RG_Find_Nazionalita->ItemIndex()) {
    case 1:
        args << QStringLiteral("1") << SqlTextOrNull(EF_Find_Nazione->Text());
        break;
    case 2:
        args << QStringLiteral("2") << QStringLiteral("null");
        break;
    default:
        args << QStringLiteral("0") << SqlTextOrNull(SCB_Find_Provincia->Text());
        break;
    }
    return args;
}

void TCustomerFilters::Reset()
{
    if (EF_Find_CodCliente)
        EF_Find_CodCliente->ClearField();
    EF_Find_Denominazione->ClearField();
    RG_Find_Denominazione->SetItemIndex(0);
    EF_Find_PartitaIVA->ClearField();
    EF_Find_CodFiscale->ClearField();
    RG_Find_Nazionalita->SetItemIndex(0);
    EF_Find_Nazione->ClearField();
    SCB_Find_Provincia->ClearField();
    ShowNationalityField();
}

void TCustomerFilters::Bind(TFilterSettings &settings)
{
    if (EF_Find_CodCliente)
        settings.AddText(EF_Find_CodCliente, QStringLiteral("CodCliente"));
    settings.AddText(EF_Find_Denominazione, QStringLiteral("Denominazione"));
    settings.AddRadio(RG_Find_Denominazione, QStringLiteral("FindDenominazione"));
    settings.AddText(EF_Find_PartitaIVA, QStringLiteral("PartitaIVA"));
    settings.AddText(EF_Find_CodFiscale, QStringLiteral("CodFiscale"));
    settings.AddRadio(RG_Find_Nazionalita, QStringLiteral("Nazionalita"));
    settings.AddText(EF_Find_Nazione, QStringLiteral("Nazione"));
    settings.AddLookup(SCB_Find_Provincia, QStringLiteral("Provincia"));
}

void TCustomerFilters::SetProvinces(const TDataSet *provinces)
{
    const QString code = SCB_Find_Provincia->Text();
    FillProvinceLookup(SCB_Find_Provincia, provinces);
    if (!code.isEmpty())
        SCB_Find_Provincia->SetText(code);
}

void TCustomerFilters::ShowNationalityField()
{
    const int index = RG_Find_Nazionalita->ItemIndex();
    SCB_Find_Provincia->setVisible(index == 0 || index < 0);
    EF_Find_Nazione->setVisible(index == 1);
}

// --- Months flag ------------------------------------------------------------------------------

TMonthsFilter::TMonthsFilter(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Find_PreventiviMesiN"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    CK_Find_PreventiviMesiN = new QCheckBox(this);
    CK_Find_PreventiviMesiN->setObjectName(QStringLiteral("CK_Find_PreventiviMesiN"));
    TKB_Find_PreventiviMesiN = new QSlider(Qt::Horizontal, this);
    TKB_Find_PreventiviMesiN->setObjectName(QStringLiteral("TKB_Find_PreventiviMesiN"));
    TKB_Find_PreventiviMesiN->setRange(1, 6);
    TKB_Find_PreventiviMesiN->setPageStep(1);
    TKB_Find_PreventiviMesiN->setTickPosition(QSlider::TicksBelow);
    TKB_Find_PreventiviMesiN->setTickInterval(1);
    TKB_Find_PreventiviMesiN->setFixedWidth(110);
    layout->addWidget(CK_Find_PreventiviMesiN);
    layout->addWidget(TKB_Find_PreventiviMesiN);
    layout->addStretch(1);
    // The caption's width is that of the longest one, so the slider does not move.
    CK_Find_PreventiviMesiN->setText(CaptionFor(6));
    CK_Find_PreventiviMesiN->setMinimumWidth(CK_Find_PreventiviMesiN->sizeHint().width());
    connect(TKB_Find_PreventiviMesiN, &QSlider::valueChanged, this, [this](int) {
        UpdateCaption();
    });
    UpdateCaption();
}

QString TMonthsFilter::CaptionFor(int months)
{
    if (months <= 1)
        return QStringLiteral("Con preventivi nell'ultimo mese");
    return QStringLiteral("Con preventivi negli ultimi %1 mesi").arg(months);
}

void TMonthsFilter::UpdateCaption()
{
    CK_Find_PreventiviMesiN->setText(CaptionFor(TKB_Find_PreventiviMesiN->value()));
}
