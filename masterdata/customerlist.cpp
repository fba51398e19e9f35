#include "masterdata/customerlist.h"

#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

TCustomerListFilters::TCustomerListFilters(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Find_Clienti"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(16);
    Registry = new TCustomerFilters(true, this);
    row->addWidget(Registry, 1);

    auto *flags = new QVBoxLayout;
    flags->setSpacing(2);
    CK_Find_OrdinaRecenti = new QCheckBox(QStringLiteral("Ordina più recenti"), this);
    CK_Find_OrdinaRecenti->setObjectName(QStringLiteral("CK_Find_OrdinaRecenti"));
    CK_Find_IncludiCancellati = new QCheckBox(QStringLiteral("Includi non attivi"), this);
    CK_Find_IncludiCancellati->setObjectName(QStringLiteral("CK_Find_IncludiCancellati"));
    Months = new TMonthsFilter(this);
    flags->addWidget(CK_Find_OrdinaRecenti);
    flags->addWidget(CK_Find_IncludiCancellati);
    flags->addWidget(Months);
    flags->addStretch(1);
    row->addLayout(flags);

    QVBoxLayout *buttons = MakeListButtons(this, PB_EstraiElenco, PB_AzzeraFiltri);
    buttons->addStretch(1);
    row->addLayout(buttons);

    // Ticking a flag or moving the slider only moves the focus to "Estrai elenco".
    auto toExtract = [this] { PB_EstraiElenco->setFocus(Qt::OtherFocusReason); };
    connect(CK_Find_OrdinaRecenti, &QCheckBox::clicked, this, toExtract);
    connect(CK_Find_IncludiCancellati, &QCheckBox::clicked, this, toExtract);
    connect(Months->CK_Find_PreventiviMesiN, &QCheckBox::clicked, this, toExtract);
    connect(Months->TKB_Find_PreventiviMesiN, &QSlider::actionTriggered, this, toExtract);
}

QString TCustomerListFilters::CommandText(const QString &idSocieta) const
{
    QStringList args{SqlText(idSocieta)};
    args << Registry->Arguments();
    args << SqlFlag(CK_Find_IncludiCancellati->isChecked());
    args << SqlFlag(Months->CK_Find_PreventiviMesiN->isChecked());
    args << SqlInteger(Months->TKB_Find_PreventiviMesiN->value());
    return QStringLiteral("EXEC EstraiClienti  1, ") + args.join(QStringLiteral(", "));
}

QString TCustomerListFilters::SortText() const
{
    return CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtMaxOperation DESC")
                                              : QStringLiteral("txDenominazione");
}

void TCustomerListFilters::Reset(bool monthsTicked)
{
    Registry->Reset();
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_IncludiCancellati->setChecked(false);
    Months->CK_Find_PreventiviMesiN->setChecked(monthsTicked);
    Months->TKB_Find_PreventiviMesiN->setValue(3);
    Months->UpdateCaption();
}

void TCustomerListFilters::Bind(TFilterSettings &settings)
{
    Registry->Bind(settings);
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    settings.AddFlag(CK_Find_IncludiCancellati, QStringLiteral("IncludiCancellati"), false);
    settings.AddFlag(Months->CK_Find_PreventiviMesiN, QStringLiteral("PrevMesiN"), true);
    settings.AddSlider(Months->TKB_Find_PreventiviMesiN, QStringLiteral("MesiN"), 1);
}

void TCustomerListFilters::Refresh()
{
    Registry->ShowNationalityField();
    Months->UpdateCaption();
}

TListDefinition CustomerListDefinition(const QString &className, const QString &extractError)
{
    TListDefinition definition;
    definition.sClassName = className;
    definition.sKeyField = QStringLiteral("idCliente");
    definition.sExtractError = extractError;
    definition.sStatusPrefix = QStringLiteral(" N° Clienti: ");
    auto column = [&definition](const char *field, const char *label, int width, bool centred) {
        definition.columns.push_back(
            {QString::fromUtf8(field), QString::fromUtf8(label), width, centred, false});
    };
    column("txCodCliente", "Codice", 11, true);
    column("txDenominazione", "Ragione Sociale", 50, false);
    column("txPartitaIVA", "Partita IVA", 13, true);
    column("txCodFiscale", "Codice Fiscale", 20, true);
    column("txLocalita", "Località", 50, false);
    column("txProvincia", "Provincia", 10, true);
    column("txTelefono", "Tel. Fisso", 20, true);
    column("txSmartPhone", "Smartphone", 20, true);
    column("dtUltPreventivo", "Ultimo preventivo", 20, true);
    column("dtMod", "Modificato il", 20, true);
    column("txUtenteMod", "Da", 20, true);
    column("dtIn", "Inserito il", 20, true);
    column("txUtenteIn", "Da", 20, true);
    column("dtCanc", "Eliminato il", 20, true);
    column("txUtenteCanc", "Da", 20, true);
    column("dtMaxOperation", "Ultima attività", 20, true);
    const QStringList centredTitles{QStringLiteral("txCodCliente"),
                                    QStringLiteral("txPartitaIVA"),
                                    QStringLiteral("txCodFiscale"),
                                    QStringLiteral("txProvincia"),
                                    QStringLiteral("txTelefono"),
                                    QStringLiteral("txSmartPhone"),
                                    QStringLiteral("dtMaxOperation")};
    for (TListColumn &c : definition.columns)
        c.titleCentred = centredTitles.contains(c.field);
    definition.listFields = QStringList{QStringLiteral("txCodCliente"),
                                        QStringLiteral("txDenominazione"),
                                        QStringLiteral("txPartitaIVA"),
                                        QStringLiteral("txCodFiscale"),
                                        QStringLiteral("txLocalita"),
                                        QStringLiteral("txProvincia"),
                                        QStringLiteral("txTelefono"),
                                        QStringLiteral("txSmartPhone"),
                                        QStringLiteral("dtMaxOperation")};
    definition.infoFields = QStringList{QStringLiteral("txCodCliente"),
                                        QStringLiteral("txDenominazione"),
                                        QStringLiteral("dtUltPreventivo"),
                                        QStringLiteral("txUtenteMod"),
                                        QStringLiteral("dtMod"),
                                        QStringLiteral("txUtenteIn"),
                                        QStringLiteral("dtIn"),
                                        QStringLiteral("txUtenteCanc"),
                                        QStringLiteral("dtCanc")};
    definition.sInfoTitle = QStringLiteral("Informazioni aggiuntive cliente selezionato");
    definition.developerQueries = CustomerQueries;
    return definition;
}

QList<QStringList> CustomerQueries(const QString &idCliente)
{
    const QString id = SqlText(idCliente);
    return {{QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Clienti a"),
             QStringLiteral(" WHERE a.idCliente = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Preventivi a"),
             QStringLiteral(" WHERE a.idCliente = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Ordini a"),
             QStringLiteral(" INNER JOIN Preventivi b ON (b.idPreventivo = a.idPreventivo)"),
             QStringLiteral(" WHERE b.idCliente = ") + id}};
}
