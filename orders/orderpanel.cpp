#include "orders/orderpanel.h"

#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"
#include "masterdata/customerfilters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

TOrderPanel::TOrderPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Input"));
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(6);

    PAN_Desc_TipoOperazione = new QLabel(this);
    PAN_Desc_TipoOperazione->setObjectName(QStringLiteral("PAN_Desc_TipoOperazione"));
    PAN_Desc_TipoOperazione->setAlignment(Qt::AlignCenter);
    PAN_Desc_TipoOperazione->setStyleSheet(QStringLiteral(
        "background-color: #376EA1; color: white; font-weight: bold; padding: 4px;"));
    layout->addWidget(PAN_Desc_TipoOperazione);

    EF_DescOggetto = MakeLabelEdit(this,
                                   QStringLiteral("EF_DescOggetto"),
                                   QStringLiteral("Oggetto"),
                                   200,
                                   0,
                                   560,
                                   true);
    layout->addWidget(EF_DescOggetto);

    auto *payment = new QLabel(QStringLiteral("Condizione di pagamento"), this);
    DCB_Pagamento = new QComboBox(this);
    DCB_Pagamento->setObjectName(QStringLiteral("DCB_Pagamento"));
    DCB_Pagamento->setMinimumWidth(300);
    layout->addWidget(payment);
    layout->addWidget(DCB_Pagamento, 0, Qt::AlignLeft);

    auto *references = new QLabel(QStringLiteral("Riferimenti destinazione"), this);
    EF_RiferimentiDestinazione = new QPlainTextEdit(this);
    EF_RiferimentiDestinazione->setObjectName(QStringLiteral("EF_RiferimentiDestinazione"));
    EF_RiferimentiDestinazione->setTabChangesFocus(true);
    EF_RiferimentiDestinazione->setMinimumHeight(90);
    layout->addWidget(references);
    layout->addWidget(EF_RiferimentiDestinazione, 1);

    CK_ShowRiferimentiPrev
        = new QCheckBox(QStringLiteral(
                            "Mostra riferimenti a preventivo per garanzie e documentazioni"),
                        this);
    CK_ShowRiferimentiPrev->setObjectName(QStringLiteral("CK_ShowRiferimentiPrev"));
    layout->addWidget(CK_ShowRiferimentiPrev);

    EF_NoteOrdine = MakeLabelEdit(this,
                                  QStringLiteral("EF_NoteOrdine"),
                                  QStringLiteral("Note"),
                                  200,
                                  0,
                                  560,
                                  true);
    layout->addWidget(EF_NoteOrdine);

    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), this);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setAutoDefault(false);
    PB_Ok_Input->setMinimumSize(100, 28);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), this);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    PB_Annulla_Input->setAutoDefault(false);
    PB_Annulla_Input->setMinimumSize(100, 28);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    layout->addLayout(buttons);

    resize(620, 420);
}

void TOrderPanel::SetTitle(const QString &title)
{
    PAN_Desc_TipoOperazione->setText(title);
}

void TOrderPanel::SetPaymentConditions(TDataSet &conditions)
{
    std::vector<std::pair<QString, QString>> rows; // description, code
    conditions.First();
    while (!conditions.Eof()) {
        rows.emplace_back(conditions.FieldByName(QStringLiteral("txDescrizPagamento")).AsString(),
                          conditions.FieldByName(QStringLiteral("txCodPagamento")).AsString());
        conditions.Next();
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
        return a.first.localeAwareCompare(b.first) < 0;
    });
    DCB_Pagamento->clear();
    for (const auto &[description, code] : rows)
        DCB_Pagamento->addItem(description, code);
    DCB_Pagamento->setCurrentIndex(-1);
}

QString TOrderPanel::PaymentCode() const
{
    return DCB_Pagamento->currentIndex() < 0 ? QString() : DCB_Pagamento->currentData().toString();
}

void TOrderPanel::SetPaymentCode(const QString &code)
{
    DCB_Pagamento->setCurrentIndex(code.isEmpty() ? -1 : DCB_Pagamento->findData(code));
}

void TOrderPanel::Fill(TDataSet &record)
{
    EF_DescOggetto->SetText(record.FieldByName(QStringLiteral("txDescOrdine")).AsString());
    EF_RiferimentiDestinazione->setPlainText(
        record.FieldByName(QStringLiteral("txRiferimentiDestinazione")).AsString());
    SetPaymentCode(record.FieldByName(QStringLiteral("txCodPagamento")).AsString());
    CK_ShowRiferimentiPrev->setChecked(
        record.FieldByName(QStringLiteral("flShowRiferimentiPrev")).AsBoolean());
    EF_NoteOrdine->SetText(record.FieldByName(QStringLiteral("txNoteOrdine")).AsString());
}

void TOrderPanel::Write(TDataSet &record) const
{
    record.FieldByName(QStringLiteral("txDescOrdine")).SetValue(EF_DescOggetto->Text());
    const QString references = EF_RiferimentiDestinazione->toPlainText();
    if (references.trimmed().isEmpty())
        record.FieldByName(QStringLiteral("txRiferimentiDestinazione")).SetNull();
    else
        record.FieldByName(QStringLiteral("txRiferimentiDestinazione")).SetValue(references);
    record.FieldByName(QStringLiteral("txCodPagamento")).SetValue(PaymentCode());
    record.FieldByName(QStringLiteral("flShowRiferimentiPrev"))
        .SetValue(CK_ShowRiferimentiPrev->isChecked() ? 1 : 0);
    record.FieldByName(QStringLiteral("txNoteOrdine")).SetValue(EF_NoteOrdine->Text());
}
