#include "catalogue/productfilters.h"

#include "catalogue/cataloguecombo.h"
#include "common/inifile.h"
#include "common/texts.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kMaxMonths = 7;

QCheckBox *MakeCheck(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QString Flag(const QCheckBox *box)
{
    return SqlFlag(box->isChecked());
}

} // namespace

TProductFilters::TProductFilters(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Find_Prodotti"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(18);

    // Catalogue and search text.
    auto *left = new QGridLayout;
    left->setHorizontalSpacing(8);
    left->setVerticalSpacing(6);
    TS_Cataloghi = MakeCheck(this, "TS_Cataloghi", QStringLiteral("Cataloghi attuali"));
    TS_Cataloghi->setStyleSheet(
        QStringLiteral("QCheckBox#TS_Cataloghi { font-weight: bold; color: #376EA1; }"));
    auto *catalogue = new QLabel(QStringLiteral("Catalogo"), this);
    catalogue->setObjectName(QStringLiteral("SF_Find_Fornitore"));
    DCB_Find_Fornitore = new TCatalogueCombo(this);
    DCB_Find_Fornitore->setObjectName(QStringLiteral("DCB_Find_Fornitore"));
    catalogue->setBuddy(DCB_Find_Fornitore);
    EF_Find_DescProdotto = MakeLabelEdit(this,
                                         QStringLiteral("EF_Find_DescProdotto"),
                                         QStringLiteral("Prodotti e listini"),
                                         200,
                                         ecKRTNormal,
                                         300,
                                         false);
    EF_Find_DescProdotto->setToolTip(
        QStringLiteral("Ricerca (anche parziale) in descrizioni e codici di prodotti e listini"));
    left->addWidget(catalogue, 0, 0);
    left->addWidget(DCB_Find_Fornitore, 0, 1);
    left->addWidget(TS_Cataloghi, 0, 2);
    left->addWidget(EF_Find_DescProdotto, 1, 0, 1, 3);
    left->setColumnStretch(1, 1);
    // The fields keep their height; the room left stays below them.
    left->setRowStretch(2, 1);
    row->addLayout(left, 1);

    // Order, inactive products and usage in quotes.
    auto *usage = new QVBoxLayout;
    usage->setSpacing(2);
    CK_Find_OrdinaRecenti = MakeCheck(this,
                                      "CK_Find_OrdinaRecenti",
                                      QStringLiteral("Ordina più recenti"));
    CK_Find_IncludiNonAttivi = MakeCheck(this,
                                         "CK_Find_IncludiNonAttivi",
                                         QStringLiteral("Includi non attivi"));
    CK_Find_PreventiviChiusi = MakeCheck(this,
                                         "CK_Find_PreventiviChiusi",
                                         QStringLiteral("Utilizzati in preventivi chiusi"));
    CK_Find_PreventiviApertiMesiN = MakeCheck(this, "CK_Find_PreventiviApertiMesiN", QString());
    TKB_Find_PreventiviApertiMesiN = new QSlider(Qt::Horizontal, this);
    TKB_Find_PreventiviApertiMesiN->setObjectName(QStringLiteral("TKB_Find_PreventiviApertiMesiN"));
    TKB_Find_PreventiviApertiMesiN->setRange(1, kMaxMonths);
    TKB_Find_PreventiviApertiMesiN->setPageStep(1);
    TKB_Find_PreventiviApertiMesiN->setTickPosition(QSlider::TicksBelow);
    TKB_Find_PreventiviApertiMesiN->setTickInterval(1);
    TKB_Find_PreventiviApertiMesiN->setFixedWidth(130);
    // The caption keeps the width of the longest one, so nothing moves with the track bar.
    CK_Find_PreventiviApertiMesiN->setText(MonthsCaption(kMaxMonths));
    CK_Find_PreventiviApertiMesiN->setMinimumWidth(
        CK_Find_PreventiviApertiMesiN->sizeHint().width());
    usage->addWidget(CK_Find_OrdinaRecenti);
    usage->addWidget(CK_Find_IncludiNonAttivi);
    usage->addWidget(CK_Find_PreventiviChiusi);
    auto *months = new QHBoxLayout;
    months->setSpacing(6);
    months->addWidget(CK_Find_PreventiviApertiMesiN);
    months->addWidget(TKB_Find_PreventiviApertiMesiN);
    months->addStretch(1);
    usage->addLayout(months);
    row->addLayout(usage);

    // Kinds of product.
    auto *kinds = new QVBoxLayout;
    kinds->setSpacing(2);
    CK_Find_Prodotti = MakeCheck(this, "CK_Find_Prodotti", QStringLiteral("Prodotti"));
    CK_Find_Accessori = MakeCheck(this, "CK_Find_Accessori", QStringLiteral("Accessori"));
    CK_Find_Documentazioni = MakeCheck(this,
                                       "CK_Find_Documentazioni",
                                       QStringLiteral("Documentazioni"));
    kinds->addWidget(CK_Find_Prodotti);
    kinds->addWidget(CK_Find_Accessori);
    kinds->addWidget(CK_Find_Documentazioni);
    kinds->addStretch(1);
    row->addLayout(kinds);

    // Buttons, and the administrators' repairs under them.
    QVBoxLayout *buttons = MakeListButtons(this, PB_EstraiElenco, PB_AzzeraFiltri);
    PAN_Patch = new QWidget(this);
    PAN_Patch->setObjectName(QStringLiteral("PAN_Patch"));
    auto *patches = new QHBoxLayout(PAN_Patch);
    patches->setContentsMargins(0, 0, 0, 0);
    patches->setSpacing(2);
    auto patch = [this, patches](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, PAN_Patch);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setMaximumWidth(60);
        patches->addWidget(b);
        return b;
    };
    PB_Patch = patch("PB_Patch", QStringLiteral("Patch01"));
    PB_Patch1B = patch("PB_Patch1B", QStringLiteral("01 B"));
    PB_Patch2 = patch("PB_Patch2", QStringLiteral("Patch02"));
    buttons->addWidget(PAN_Patch);
    buttons->addStretch(1);
    row->addLayout(buttons);

    // The check boxes and the track bar only send the focus to "Estrai elenco".
    auto toExtract = [this] { PB_EstraiElenco->setFocus(Qt::OtherFocusReason); };
    for (QCheckBox *box : {CK_Find_OrdinaRecenti,
                           CK_Find_IncludiNonAttivi,
                           CK_Find_PreventiviChiusi,
                           CK_Find_PreventiviApertiMesiN,
                           CK_Find_Prodotti,
                           CK_Find_Accessori,
                           CK_Find_Documentazioni})
        connect(box, &QCheckBox::clicked, this, toExtract);
    connect(TKB_Find_PreventiviApertiMesiN, &QSlider::valueChanged, this, [this](int) {
        UpdateMonthsCaption();
    });
    connect(TKB_Find_PreventiviApertiMesiN, &QSlider::actionTriggered, this, toExtract);
    connect(TS_Cataloghi, &QCheckBox::clicked, this, [this] { ApplyCatalogueToggle(); });
    UpdateMonthsCaption();
}

QString TProductFilters::MonthsCaption(int position)
{
    if (position <= 1)
        return QStringLiteral("Utilizzati in preventivi aperti nell'ultimo mese");
    if (position >= kMaxMonths)
        return QStringLiteral("Utilizzati in tutti i preventivi aperti fino ad oggi");
    return QStringLiteral("Utilizzati in preventivi aperti negli ultimi %1 mesi").arg(position);
}

void TProductFilters::UpdateMonthsCaption()
{
    CK_Find_PreventiviApertiMesiN->setText(MonthsCaption(TKB_Find_PreventiviApertiMesiN->value()));
}

// --- Catalogues -----------------------------------------------------------------------------

void TProductFilters::SetCatalogues(const TDataSet &filterRows, bool onlyCurrent)
{
    m_onlyCurrent = onlyCurrent;
    DCB_Find_Fornitore->SetCatalogues(filterRows);
    if (m_onlyCurrent)
        TS_Cataloghi->setChecked(false);
    TS_Cataloghi->setVisible(!m_onlyCurrent);
    ApplyCatalogueToggle();
}

void TProductFilters::ApplyCatalogueToggle()
{
    const bool previous = PreviousCatalogues();
    TS_Cataloghi->setText(previous ? QStringLiteral("Cataloghi precedenti")
                                   : QStringLiteral("Cataloghi attuali"));
    DCB_Find_Fornitore->ShowPrevious(previous);
    if (OnCatalogueToggle)
        OnCatalogueToggle(previous);
}

bool TProductFilters::PreviousCatalogues() const
{
    return !m_onlyCurrent && TS_Cataloghi->isChecked();
}

// --- Extraction -----------------------------------------------------------------------------

QString TProductFilters::CommandText() const
{
    const QString text = EF_Find_DescProdotto->Text();
    const int position = TKB_Find_PreventiviApertiMesiN->value();
    const QStringList args{QStringLiteral("null"),
                           SqlText(DCB_Find_Fornitore->IdFornitore()),
                           SqlInteger(DCB_Find_Fornitore->NuAnno()),
                           text.trimmed().isEmpty() ? QStringLiteral("null") : SqlText(text),
                           Flag(CK_Find_IncludiNonAttivi),
                           Flag(CK_Find_PreventiviChiusi),
                           Flag(CK_Find_PreventiviApertiMesiN),
                           SqlInteger(position >= kMaxMonths ? 0 : position),
                           Flag(CK_Find_Prodotti),
                           Flag(CK_Find_Accessori),
                           Flag(CK_Find_Documentazioni)};
    return QStringLiteral("EXEC EstraiProdotti  1, ") + args.join(QStringLiteral(", "));
}

QString TProductFilters::SortText() const
{
    return CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtMaxOperation DESC")
                                              : QStringLiteral("txDescProdotto");
}

void TProductFilters::CollapseSearchText()
{
    const QString text = EF_Find_DescProdotto->Text();
    const QString collapsed = CollapseSpaces(text);
    if (collapsed != text)
        EF_Find_DescProdotto->SetText(collapsed);
}

void TProductFilters::Reset()
{
    TS_Cataloghi->setVisible(!m_onlyCurrent);
    TS_Cataloghi->setChecked(false);
    ApplyCatalogueToggle();
    EF_Find_DescProdotto->ClearField();
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_IncludiNonAttivi->setChecked(false);
    CK_Find_PreventiviChiusi->setChecked(false);
    CK_Find_PreventiviApertiMesiN->setChecked(false);
    TKB_Find_PreventiviApertiMesiN->setValue(3);
    CK_Find_Prodotti->setChecked(true);
    CK_Find_Accessori->setChecked(true);
    CK_Find_Documentazioni->setChecked(true);
}

void TProductFilters::Bind(TFilterSettings &settings)
{
    const QString yes = QLatin1String(kIniYes);
    const QString no = QLatin1String(kIniNo);
    settings.AddValue(
        QStringLiteral("TipoCataloghi"),
        no,
        [this, yes, no] { return PreviousCatalogues() ? yes : no; },
        [this, yes](const QString &v) {
            TS_Cataloghi->setVisible(!m_onlyCurrent);
            TS_Cataloghi->setChecked(!m_onlyCurrent && v == yes);
            ApplyCatalogueToggle();
        });
    AddCatalogueChoice(settings, DCB_Find_Fornitore);
    settings.AddText(EF_Find_DescProdotto, QStringLiteral("DescProdotto"));
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    settings.AddFlag(CK_Find_IncludiNonAttivi, QStringLiteral("IncludiNonAttivi"), true);
    settings.AddFlag(CK_Find_PreventiviChiusi, QStringLiteral("PreventiviChiusi"), true);
    settings.AddFlag(CK_Find_PreventiviApertiMesiN, QStringLiteral("PrevApertiMesiN"), true);
    settings.AddFlag(CK_Find_Prodotti, QStringLiteral("EstraiProdotti"), true);
    settings.AddFlag(CK_Find_Accessori, QStringLiteral("EstraiAccessori"), true);
    settings.AddFlag(CK_Find_Documentazioni, QStringLiteral("EstraiDocumentazioni"), true);
    settings.AddSlider(TKB_Find_PreventiviApertiMesiN, QStringLiteral("MesiN"), 1);
}
