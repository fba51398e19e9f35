#include "masterdata/registrypanel.h"

#include "controls/tkrtlabeledit.h"
#include "controls/tspecombobox.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"
#include "masterdata/provinces.h"
#include "masterdata/radiogroup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

QLabel *MakePanelTitle(QWidget *parent)
{
    auto *title = new QLabel(parent);
    title->setObjectName(QStringLiteral("PAN_Desc_TipoOperazione"));
    title->setAlignment(Qt::AlignCenter);
    title->setMinimumHeight(26);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() + 1);
    title->setFont(f);
    title->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                       "stop:0 #3b5b83, stop:1 #8aa6c8); border-radius: 2px; }"));
    return title;
}

void LimitInputLength(TKRTLabelEdit *edit, const TDataSet &record, const QString &column, int own)
{
    const int index = record.FieldIndex(column);
    const int size = index < 0 ? 0 : record.FieldDefs()[size_t(index)].size;
    edit->SetMaxLength(size > 0 ? qMin(own, size) : own);
}

void FillInput(TKRTLabelEdit *edit, TDataSet &record, const QString &column)
{
    const TField f = record.FindField(column);
    const QString value = f.Index() < 0 ? QString() : f.AsString();
    // A stored value is never cut by a shorter input limit.
    if (edit->MaxLength() > 0 && value.length() > edit->MaxLength())
        edit->SetMaxLength(int(value.length()));
    edit->SetText(value);
}

void WriteInput(TDataSet &record, const QString &column, const QString &text)
{
    TField f = record.FindField(column);
    if (f.Index() < 0)
        return;
    const QString value = text.trimmed();
    if (value.isEmpty())
        f.SetNull();
    else
        f.SetValue(value);
}

TRegistryPanel::TRegistryPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Input"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    PAN_Desc_TipoOperazione = MakePanelTitle(this);
    outer->addWidget(PAN_Desc_TipoOperazione);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    outer->addLayout(grid);

    auto input = [this](const QString &name,
                        const QString &caption,
                        int maxLength,
                        int charCase,
                        int width,
                        const QString &column) {
        TKRTLabelEdit *e = MakeLabelEdit(this, name, caption, maxLength, charCase, width, true);
        m_inputs.push_back({e, column, maxLength});
        return e;
    };
    EF_PartitaIVA = input(QStringLiteral("EF_PartitaIVA"),
                          QStringLiteral("Partita IVA"),
                          50,
                          ecKRTUpperCase,
                          150,
                          QStringLiteral("txPartitaIVA"));
    EF_CodFiscale = input(QStringLiteral("EF_CodFiscale"),
                          QStringLiteral("Codice Fiscale"),
                          50,
                          ecKRTUpperCase,
                          170,
                          QStringLiteral("txCodFiscale"));
    EF_Denominazione = input(QStringLiteral("EF_Denominazione"),
                             QStringLiteral("Ragione Sociale "),
                             200,
                             ecKRTNormal,
                             420,
                             QStringLiteral("txDenominazione"));
    RG_Nazionalita = new TRadioGroup(QStringLiteral("RG_Nazionalita"),
                                     QString(),
                                     {QStringLiteral("Italia"), QStringLiteral("Estero")},
                                     Qt::Horizontal,
                                     this);
    SCB_Provincia = new TSPEComboBox(this);
    SCB_Provincia->setObjectName(QStringLiteral("SCB_Provincia"));
    SCB_Provincia->SetCaptionString(QStringLiteral("Provincia"));
    SCB_Provincia->SetCaptionWidth(
        SCB_Provincia->fontMetrics().horizontalAdvance(QStringLiteral("Provincia")) + 8);
    SCB_Provincia->SetEditWidth(40);
    SCB_Provincia->SetDescWidth(170);
    SCB_Provincia->SetAllowNothing(true);
    EF_Nazione = MakeLabelEdit(this,
                               QStringLiteral("EF_Nazione"),
                               QStringLiteral("Nazionalità"),
                               50,
                               ecKRTNormal,
                               200,
                               true);
    EF_Cap = input(QStringLiteral("EF_Cap"),
                   QStringLiteral("CAP"),
                   50,
                   ecKRTUpperCase,
                   80,
                   QStringLiteral("txCap"));
    EF_Localita = input(QStringLiteral("EF_Localita"),
                        QStringLiteral("Località"),
                        50,
                        ecKRTNormal,
                        220,
                        QStringLiteral("txLocalita"));
    EF_Indirizzo = input(QStringLiteral("EF_Indirizzo"),
                         QStringLiteral("Indirizzo"),
                         50,
                         ecKRTNormal,
                         320,
                         QStringLiteral("txIndirizzo"));
    EF_CodDestinatarioSDI = input(QStringLiteral("EF_CodDestinatarioSDI"),
                                  QStringLiteral("Cod.Identif. SDI"),
                                  50,
                                  ecKRTUpperCase,
                                  120,
                                  QStringLiteral("txCodDestinatarioSDI"));
    EF_RifAmmSDI = input(QStringLiteral("EF_RifAmmSDI"),
                         QStringLiteral("Riferimento amm. SDI"),
                         50,
                         ecKRTNormal,
                         220,
                         QStringLiteral("txRifAmmSDI"));
    EF_Referente = input(QStringLiteral("EF_Referente"),
                         QStringLiteral("Referente"),
                         50,
                         ecKRTNormal,
                         220,
                         QStringLiteral("txReferente"));
    EF_Telefono = input(QStringLiteral("EF_Telefono"),
                        QStringLiteral("Telefono"),
                        50,
                        ecKRTUpperCase,
                        140,
                        QStringLiteral("txTelefono"));
    EF_Smartphone = input(QStringLiteral("EF_Smartphone"),
                          QStringLiteral("Smartphone"),
                          50,
                          ecKRTUpperCase,
                          140,
                          QStringLiteral("txSmartphone"));
    EF_Fax = input(QStringLiteral("EF_Fax"),
                   QStringLiteral("Fax"),
                   50,
                   ecKRTUpperCase,
                   140,
                   QStringLiteral("txFax"));
    EF_EmailCommerciale = input(QStringLiteral("EF_EmailCommerciale"),
                                QStringLiteral("Email commerciale"),
                                50,
                                ecKRTLowerCase,
                                260,
                                QStringLiteral("txEmailCommerciale"));
    EF_EmailPEC = input(QStringLiteral("EF_EmailPEC"),
                        QStringLiteral("Email PEC"),
                        50,
                        ecKRTLowerCase,
                        260,
                        QStringLiteral("txEmailPEC"));
    EF_Note = input(QStringLiteral("EF_Note"),
                    QStringLiteral("Note"),
                    50,
                    ecKRTNormal,
                    420,
                    QStringLiteral("txNote"));

    grid->addWidget(EF_PartitaIVA, 0, 0);
    grid->addWidget(EF_CodFiscale, 0, 1);
    grid->addWidget(EF_Denominazione, 1, 0, 1, 3);
    auto *nation = new QHBoxLayout;
    nation->setSpacing(12);
    nation->addWidget(RG_Nazionalita);
    nation->addWidget(SCB_Provincia, 0, Qt::AlignBottom);
    nation->addWidget(EF_Nazione);
    nation->addStretch(1);
    grid->addLayout(nation, 2, 0, 1, 3);
    grid->addWidget(EF_Cap, 3, 0);
    grid->addWidget(EF_Localita, 3, 1, 1, 2);
    grid->addWidget(EF_Indirizzo, 4, 0, 1, 3);
    grid->addWidget(EF_CodDestinatarioSDI, 5, 0);
    grid->addWidget(EF_RifAmmSDI, 5, 1);
    grid->addWidget(EF_Referente, 5, 2);
    grid->addWidget(EF_Telefono, 6, 0);
    grid->addWidget(EF_Smartphone, 6, 1);
    grid->addWidget(EF_Fax, 6, 2);
    grid->addWidget(EF_EmailCommerciale, 7, 0, 1, 2);
    grid->addWidget(EF_EmailPEC, 7, 2);
    grid->addWidget(EF_Note, 8, 0, 1, 3);
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);
    outer->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), this);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setMinimumWidth(100);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), this);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    PB_Annulla_Input->setMinimumWidth(100);
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    outer->addLayout(buttons);

    // The tab order follows the inputs as listed.
    QWidget *previous = EF_PartitaIVA->Edit();
    QList<QWidget *> order;
    order << EF_CodFiscale->Edit();
    order << EF_Denominazione->Edit();
    order << RG_Nazionalita->Button(0);
    order << RG_Nazionalita->Button(1);
    order << SCB_Provincia->edt()->Edit();
    order << EF_Nazione->Edit();
    order << EF_Cap->Edit();
    order << EF_Localita->Edit();
    order << EF_Indirizzo->Edit();
    order << EF_CodDestinatarioSDI->Edit();
    order << EF_RifAmmSDI->Edit();
    order << EF_Referente->Edit();
    order << EF_Telefono->Edit();
    order << EF_Smartphone->Edit();
    order << EF_Fax->Edit();
    order << EF_EmailCommerciale->Edit();
    order << EF_EmailPEC->Edit();
    order << EF_Note->Edit();
    order << PB_Ok_Input;
    order << PB_Annulla_Input;

    for (QWidget *w : order) {
        QWidget::setTabOrder(previous, w);
        previous = w;
    }

    RG_Nazionalita->OnClick = [this](TRadioGroup *group) {
        ShowNationalityField();
        if (group->ItemIndex() == 1)
            EF_Nazione->SetFocus();
        else
            SCB_Provincia->edt()->SetFocus();
    };
    Clear();
}

void TRegistryPanel::SetTitle(const QString &title)
{
    PAN_Desc_TipoOperazione->setText(title);
}

void TRegistryPanel::Clear()
{
    for (const TInput &i : m_inputs)
        i.edit->ClearField();
    EF_Nazione->ClearField();
    SCB_Provincia->ClearField();
    RG_Nazionalita->SetItemIndex(0);
    ShowNationalityField();
}

void TRegistryPanel::LimitLengths(const TDataSet &record)
{
    for (const TInput &i : m_inputs)
        LimitInputLength(i.edit, record, i.column, i.maxLength);
    LimitInputLength(EF_Nazione, record, QStringLiteral("txNazione"), 50);
}

void TRegistryPanel::Fill(TDataSet &record)
{
    for (const TInput &i : m_inputs)
        FillInput(i.edit, record, i.column);
    const TField estero = record.FindField(QStringLiteral("flEstero"));
    const bool foreign = estero.Index() >= 0 && estero.AsBoolean();
    RG_Nazionalita->SetItemIndex(foreign ? 1 : 0);
    if (foreign) {
        FillInput(EF_Nazione, record, QStringLiteral("txNazione"));
        SCB_Provincia->ClearField();
    } else {
        EF_Nazione->ClearField();
        const TField province = record.FindField(QStringLiteral("txProvincia"));
        const QString code = province.Index() < 0 ? QString() : province.AsString().trimmed();
        if (code.isEmpty())
            SCB_Provincia->ClearField();
        else
            SCB_Provincia->SetText(code);
    }
    ShowNationalityField();
}

void TRegistryPanel::Write(TDataSet &record) const
{
    for (const TInput &i : m_inputs)
        WriteInput(record, i.column, i.edit->Text());
    const bool foreign = Foreign();
    record.FieldByName(QStringLiteral("flEstero")).SetValue(foreign ? 1 : 0);
    if (foreign) {
        WriteInput(record, QStringLiteral("txNazione"), EF_Nazione->Text());
        WriteInput(record, QStringLiteral("txProvincia"), QString());
    } else {
        WriteInput(record, QStringLiteral("txNazione"), QStringLiteral("Italia"));
        WriteInput(record, QStringLiteral("txProvincia"), SCB_Provincia->Text());
    }
}

void TRegistryPanel::ShowNationalityField()
{
    const bool foreign = Foreign();
    SCB_Provincia->setVisible(!foreign);
    EF_Nazione->setVisible(foreign);
}

bool TRegistryPanel::NameEmpty() const
{
    return EF_Denominazione->Text().trimmed().isEmpty();
}

bool TRegistryPanel::Foreign() const
{
    return RG_Nazionalita->ItemIndex() == 1;
}

bool TRegistryPanel::CapValid() const
{
    const QString cap = EF_Cap->Text().trimmed();
    if (Foreign() || cap.isEmpty())
        return true;
    static const QRegularExpression italian(QStringLiteral("^[0-9]{5}$"));
    return italian.match(cap).hasMatch();
}

void TRegistryPanel::SetProvinces(const TDataSet *provinces)
{
    FillProvinceLookup(SCB_Provincia, provinces);
}
