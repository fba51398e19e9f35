#include "catalogue/prodotto_listino.h"

#include "catalogue/catalogueopeners.h"
#include "catalogue/pricelisticons.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "db/editablerecordset.h"
#include "domain/vrldettprod.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/radiogroup.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const TWindowRegistration registration(QStringLiteral("PRODOTTO_LISTINO"), [](QWidget *parent) {
    return new TPRODOTTO_LISTINO(parent);
});
// The product list starts the window through this (catalogue/catalogueopeners.h).
const TProdottoListinoRegistration startRegistration([](QWidget *window,
                                                        const QString &sIdProdottoLista,
                                                        const QString &sDescProdottoLista,
                                                        bool bProdDocumentazione) {
    static_cast<TPRODOTTO_LISTINO *>(window)->Start(sIdProdottoLista,
                                                    sDescProdottoLista,
                                                    bProdDocumentazione);
});

constexpr quint32 kSideBar = 10579511;
constexpr quint32 kGreyInactive = 8158332;
constexpr quint32 kProductColour = 14270300;
constexpr int kMaxQuantity = 999999;
constexpr double kMaxAmount = 9999999999999.99; // what an amount column holds

// The end of the warnings about a list the filters hide (an accented text: never Latin-1).
QString NotVisible()
{
    return QStringLiteral(" non è visibile con i filtri applicati.");
}

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void ShowProgress(const QString &text)
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(text);
}

void HideProgress()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

QPushButton *Button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumWidth(100);
    return b;
}

QLabel *PanelCaption(QWidget *parent, const QString &name)
{
    QLabel *caption = MakePanelTitle(parent);
    caption->setObjectName(name);
    return caption;
}

TKRTLabelEdit *NumberInput(QWidget *parent, const QString &name, const QString &caption)
{
    auto *edit = new TKRTLabelEdit(name, caption, parent);
    edit->SetCaptionPosition(cpKRTAbove);
    edit->SetTemplate(tpKRTNumeric);
    edit->SetDecimals(2);
    edit->SetNumericFormatted(true);
    edit->SetAllowNothing(true);
    edit->SetEditWidth(140);
    edit->SetEditAlignment(Qt::AlignRight);
    return edit;
}

// The text of a number field read as a number, or an Italian message why not.
bool ReadAmount(TKRTLabelEdit *edit, double *value)
{
    try {
        *value = edit->AsFloat();
        return std::isfinite(*value);
    } catch (const std::exception &) {
        return false;
    }
}

// A selected node of the parts tree: the product on the list colour, an inactive node white on
// dark red, any other white on black.
class TPartsTreeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if (!(opt.state & QStyle::State_Selected)) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QColor back = Qt::black;
        if (!index.parent().isValid())
            back = KRTColor(kSideBar);
        else if (opt.font.strikeOut())
            back = QColor(128, 0, 0);
        p->save();
        p->fillRect(opt.rect, back);
        QRect text = opt.rect.adjusted(2, 0, -2, 0);
        if (!opt.icon.isNull()) {
            const QSize size = opt.decorationSize;
            const QRect icon(QPoint(text.left(), text.top() + (text.height() - size.height()) / 2),
                             size);
            opt.icon.paint(p, icon);
            text.setLeft(icon.right() + 6);
        }
        p->setFont(opt.font);
        p->setPen(Qt::white);
        p->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, opt.text);
        p->restore();
    }
};

} // namespace

// The current sheet of DG_Schede moved: its items are shown.
class TPRODOTTO_LISTINO::TSheetObserver : public TDataSetObserver
{
public:
    explicit TSheetObserver(TPRODOTTO_LISTINO *window)
        : m_window(window)
    {}
    void CurrentChanged() override { m_window->ShowSheetItems(); }
    void DataSetReset() override { m_window->ShowSheetItems(); }

private:
    TPRODOTTO_LISTINO *m_window; // Not owned: the owner.
};

TPRODOTTO_LISTINO::TPRODOTTO_LISTINO(QWidget *parent)
    : TListWindow(QStringLiteral("PRODOTTO_LISTINO"), QStringLiteral("Listino"), parent)
{
    BuildFilters();
    BuildInputPanel();
    BuildPartsPanel();
    BuildSheetsPanel();
}

TPRODOTTO_LISTINO::~TPRODOTTO_LISTINO()
{
    if (m_sheets && m_sheetObserver)
        m_sheets->RemoveObserver(m_sheetObserver.get());
    if (DG_Schede)
        DG_Schede->SetDataSet(nullptr);
}

// --- Building -------------------------------------------------------------------------------

void TPRODOTTO_LISTINO::BuildFilters()
{
    QFrame *filters = AddFilterPanel();
    auto *row = new QHBoxLayout(filters);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(12);
    CK_Find_UsedInPrev = new QCheckBox(QStringLiteral("Utilizzati in preventivi"), filters);
    CK_Find_UsedInPrev->setObjectName(QStringLiteral("CK_Find_UsedInPrev"));
    CK_Find_IncludiCancellati = new QCheckBox(QStringLiteral("Includi non attivi"), filters);
    CK_Find_IncludiCancellati->setObjectName(QStringLiteral("CK_Find_IncludiCancellati"));
    EF_Find_CodListino = MakeLabelEdit(filters,
                                       QStringLiteral("EF_Find_CodListino"),
                                       QStringLiteral("Cerca codice "),
                                       50,
                                       ecKRTNormal,
                                       120,
                                       false);
    EF_Find_DescListino = MakeLabelEdit(filters,
                                        QStringLiteral("EF_Find_DescListino"),
                                        QStringLiteral("Cerca descrizione "),
                                        200,
                                        ecKRTNormal,
                                        220,
                                        false);
    RG_Find_DescListino = new TRadioGroup(QStringLiteral("RG_Find_DescListino"),
                                          QString(),
                                          {QStringLiteral("contiene"), QStringLiteral("inizia con")},
                                          Qt::Horizontal,
                                          filters);
    RG_Find_DescListino->SetItemIndex(0);
    row->addWidget(CK_Find_UsedInPrev);
    row->addWidget(CK_Find_IncludiCancellati);
    row->addWidget(EF_Find_CodListino);
    row->addWidget(EF_Find_DescListino);
    row->addWidget(RG_Find_DescListino);
    row->addStretch(1);

    // The boxes start as the operator left them; each click writes both.
    CK_Find_UsedInPrev->setChecked(
        TFilterSettings::Read(QStringLiteral("FrmProdListino_UsedInPrev"), QStringLiteral("NO"))
        == QLatin1String("SI"));
    CK_Find_IncludiCancellati->setChecked(
        TFilterSettings::Read(QStringLiteral("FrmProdListino_IncludiCancellati"),
                              QStringLiteral("SI"))
        == QLatin1String("SI"));
    for (QCheckBox *box : {CK_Find_UsedInPrev, CK_Find_IncludiCancellati}) {
        connect(box, &QCheckBox::clicked, this, [this] {
            SaveFilterSettings();
            FilterChanged();
            EF_Find_DescListino->SetFocus();
        });
    }
    EF_Find_CodListino->OnChange = [this](TKRTLabelEdit *) { FilterChanged(); };
    EF_Find_DescListino->OnChange = [this](TKRTLabelEdit *) { FilterChanged(); };
    RG_Find_DescListino->OnClick = [this](TRadioGroup *) {
        FilterChanged();
        EF_Find_DescListino->SetFocus();
    };
    SetFirstFocus(EF_Find_DescListino);
}

void TPRODOTTO_LISTINO::BuildInputPanel()
{
    PAN_Input = new QFrame(this);
    PAN_Input->setObjectName(QStringLiteral("PAN_Input"));
    PAN_Input->setFrameShape(QFrame::StyledPanel);
    PAN_Input->setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(PAN_Input);
    PAN_Desc_TipoOperazione = MakePanelTitle(PAN_Input);
    outer->addWidget(PAN_Desc_TipoOperazione);

    EF_CodListino = MakeLabelEdit(PAN_Input,
                                  QStringLiteral("EF_CodListino"),
                                  QStringLiteral("Codice"),
                                  50,
                                  ecKRTNormal,
                                  200,
                                  true);
    EF_DescListino = MakeLabelEdit(PAN_Input,
                                   QStringLiteral("EF_DescListino"),
                                   QStringLiteral("Descrizione"),
                                   200,
                                   ecKRTNormal,
                                   520,
                                   true);
    EF_Listino = NumberInput(PAN_Input, QStringLiteral("EF_Listino"), QStringLiteral("Listino"));
    // The code and the amount keep their own width; the description takes the panel's.
    outer->addWidget(EF_CodListino, 0, Qt::AlignLeft);
    outer->addWidget(EF_DescListino);
    outer->addWidget(EF_Listino, 0, Qt::AlignLeft);

    PAN_Sconto = new QFrame(PAN_Input);
    PAN_Sconto->setObjectName(QStringLiteral("PAN_Sconto"));
    PAN_Sconto->setFrameShape(QFrame::StyledPanel);
    auto *discount = new QVBoxLayout(PAN_Sconto);
    auto *discountTitle = new QLabel(QStringLiteral(" Sconto commerciale massimo (s.c.) "),
                                     PAN_Sconto);
    QFont bold = discountTitle->font();
    bold.setBold(true);
    discountTitle->setFont(bold);
    discount->addWidget(discountTitle);
    auto *discountRow = new QHBoxLayout;
    EF_MaxScontoVal = NumberInput(PAN_Sconto,
                                  QStringLiteral("EF_MaxScontoVal"),
                                  QStringLiteral("Max valore"));
    EF_MaxScontoPerc = NumberInput(PAN_Sconto,
                                   QStringLiteral("EF_MaxScontoPerc"),
                                   QStringLiteral("Max %"));
    EF_MaxScontoPerc->SetEditWidth(80);
    discountRow->addWidget(EF_MaxScontoVal);
    discountRow->addWidget(EF_MaxScontoPerc);
    discountRow->addStretch(1);
    discount->addLayout(discountRow);
    auto *hint = new QLabel(QStringLiteral("Indicare un solo tetto: il valore oppure la "
                                           "percentuale (da 0 a 100)."),
                            PAN_Sconto);
    hint->setStyleSheet(QStringLiteral("color: #555555;"));
    discount->addWidget(hint);
    outer->addWidget(PAN_Sconto);
    outer->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input = Button(PAN_Input, QStringLiteral("PB_Ok_Input"), QStringLiteral("Ok"));
    PB_Annulla_Input = Button(PAN_Input,
                              QStringLiteral("PB_Annulla_Input"),
                              QStringLiteral("Annulla"));
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    outer->addLayout(buttons);
    AddEditPanel(PAN_Input, PB_Annulla_Input);
    connect(PB_Ok_Input, &QPushButton::clicked, this, &TPRODOTTO_LISTINO::PB_Ok_InputClick);
    connect(PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_Annulla_InputClick);
}

void TPRODOTTO_LISTINO::BuildPartsPanel()
{
    PAN_DatiParti = new QFrame(this);
    PAN_DatiParti->setObjectName(QStringLiteral("PAN_DatiParti"));
    PAN_DatiParti->setFrameShape(QFrame::StyledPanel);
    PAN_DatiParti->setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(PAN_DatiParti);
    PAN_DescListinoParti = PanelCaption(PAN_DatiParti, QStringLiteral("PAN_DescListinoParti"));
    outer->addWidget(PAN_DescListinoParti);
    TV_Dettagli = new QTreeWidget(PAN_DatiParti);
    TV_Dettagli->setObjectName(QStringLiteral("TV_Dettagli"));
    TV_Dettagli->setHeaderHidden(true);
    TV_Dettagli->setItemsExpandable(false);
    TV_Dettagli->setRootIsDecorated(false);
    TV_Dettagli->setIndentation(28);
    TV_Dettagli->setIconSize(QSize(16, 16));
    TV_Dettagli->setContextMenuPolicy(Qt::CustomContextMenu);
    TV_Dettagli->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV_Dettagli->setStyleSheet(QStringLiteral("QTreeView::item { height: 30px; }"));
    TV_Dettagli->setItemDelegate(new TPartsTreeDelegate(TV_Dettagli));
    TV_Dettagli->setMinimumSize(520, 300);
    outer->addWidget(TV_Dettagli, 1);
    auto *legend = new QLabel(QStringLiteral("Tasto destro su un sottoparagrafo per modificarne "
                                             "descrizione e quantità per questo listino."),
                              PAN_DatiParti);
    outer->addWidget(legend);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_ChiudiParti = Button(PAN_DatiParti,
                            QStringLiteral("PB_ChiudiParti"),
                            QStringLiteral("Chiudi"));
    buttons->addWidget(PB_ChiudiParti);
    outer->addLayout(buttons);
    AddEditPanel(PAN_DatiParti, PB_ChiudiParti);

    MNU_Parte = new QMenu(this);
    MNU_Parte->setObjectName(QStringLiteral("MNU_Parte"));
    QFont menuFont(QStringLiteral("Trebuchet MS"), 12);
    menuFont.setBold(true);
    MNU_Parte->setFont(menuFont);
    MNU_Parte->setStyleSheet(QStringLiteral("QMenu { color: %1; }").arg(KRTColor(kSideBar).name()));
    QAction *modify = MNU_Parte->addAction(QStringLiteral("Modifica del sottoparagrafo"));
    modify->setIcon(QIcon(PriceListPixmap(TPriceListIcon::Part)));
    connect(modify, &QAction::triggered, this, &TPRODOTTO_LISTINO::ModificaSottoparagrafo);
    connect(TV_Dettagli,
            &QTreeWidget::customContextMenuRequested,
            this,
            &TPRODOTTO_LISTINO::TV_DettagliContextMenu);
    // The tree stays open: nodes cannot be collapsed.
    connect(TV_Dettagli, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem *item) {
        item->setExpanded(true);
    });
    connect(PB_ChiudiParti, &QPushButton::clicked, this, &TPRODOTTO_LISTINO::PB_ChiudiPartiClick);

    PAN_Input_Parte = new QFrame(this);
    PAN_Input_Parte->setObjectName(QStringLiteral("PAN_Input_Parte"));
    PAN_Input_Parte->setFrameShape(QFrame::StyledPanel);
    PAN_Input_Parte->setAutoFillBackground(true);
    auto *input = new QVBoxLayout(PAN_Input_Parte);
    PAN_Desc_Parte = PanelCaption(PAN_Input_Parte, QStringLiteral("PAN_Desc_Parte"));
    PAN_Desc_Parte->setText(QStringLiteral("Modifica del sottoparagrafo"));
    input->addWidget(PAN_Desc_Parte);
    EF_DescParteNodo = MakeLabelEdit(PAN_Input_Parte,
                                     QStringLiteral("EF_DescParteNodo"),
                                     QStringLiteral("Descrizione sottoparagrafo"),
                                     200,
                                     ecKRTNormal,
                                     520,
                                     true);
    EF_NuQtaParteNodo = MakeLabelEdit(PAN_Input_Parte,
                                      QStringLiteral("EF_NuQtaParteNodo"),
                                      QStringLiteral("Quantità"),
                                      12,
                                      ecKRTNormal,
                                      100,
                                      true);
    // Whole numbers in the program format; what is typed is checked at "Ok".
    EF_NuQtaParteNodo->SetInputBehaviours(ibAllowNumeric | ibAllowCharsTab);
    EF_NuQtaParteNodo->SetCharactersTable(QStringLiteral(".,-"));
    EF_NuQtaParteNodo->SetEditAlignment(Qt::AlignRight);
    input->addWidget(EF_DescParteNodo);
    input->addWidget(EF_NuQtaParteNodo);
    auto *qtyHint = new QLabel(QStringLiteral("0 = quantità del prodotto"), PAN_Input_Parte);
    qtyHint->setStyleSheet(QStringLiteral("color: #555555;"));
    input->addWidget(qtyHint);
    input->addStretch(1);
    auto *inputButtons = new QHBoxLayout;
    inputButtons->addStretch(1);
    PB_InputQta_Ok = Button(PAN_Input_Parte, QStringLiteral("PB_InputQta_Ok"), QStringLiteral("Ok"));
    PB_InputQta_Annulla = Button(PAN_Input_Parte,
                                 QStringLiteral("PB_InputQta_Annulla"),
                                 QStringLiteral("Annulla"));
    inputButtons->addWidget(PB_InputQta_Ok);
    inputButtons->addWidget(PB_InputQta_Annulla);
    input->addLayout(inputButtons);
    AddEditPanel(PAN_Input_Parte, PB_InputQta_Annulla);
    connect(PB_InputQta_Ok, &QPushButton::clicked, this, &TPRODOTTO_LISTINO::PB_InputQta_OkClick);
    connect(PB_InputQta_Annulla,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_InputQta_AnnullaClick);
}

void TPRODOTTO_LISTINO::BuildSheetsPanel()
{
    PAN_DatiSchede = new QFrame(this);
    PAN_DatiSchede->setObjectName(QStringLiteral("PAN_DatiSchede"));
    PAN_DatiSchede->setFrameShape(QFrame::StyledPanel);
    PAN_DatiSchede->setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(PAN_DatiSchede);
    PAN_DescListinoSchede = PanelCaption(PAN_DatiSchede, QStringLiteral("PAN_DescListinoSchede"));
    outer->addWidget(PAN_DescListinoSchede);
    auto *body = new QHBoxLayout;
    DG_Schede = new TKRTGrid(PAN_DatiSchede);
    DG_Schede->setObjectName(QStringLiteral("DG_Schede"));
    DG_Schede->SetRowSelect(true);
    DG_Schede->setMinimumWidth(260);
    body->addWidget(DG_Schede, 2);
    SG_Scheda = new TSheetValueGrid(PAN_DatiSchede);
    SG_Scheda->setMinimumSize(560, 300);
    body->addWidget(SG_Scheda, 5);
    outer->addLayout(body, 1);

    auto *buttons = new QHBoxLayout;
    PB_ModificaScheda = Button(PAN_DatiSchede,
                               QStringLiteral("PB_ModificaScheda"),
                               QStringLiteral("Modifica valori della scheda selezionata"));
    PB_EliminaScheda = Button(PAN_DatiSchede,
                              QStringLiteral("PB_EliminaScheda"),
                              QStringLiteral("Elimina tutti i valori della scheda selezionata"));
    buttons->addWidget(PB_ModificaScheda);
    buttons->addWidget(PB_EliminaScheda);
    buttons->addStretch(1);
    PAN_Operazione_Schede = new QFrame(PAN_DatiSchede);
    PAN_Operazione_Schede->setObjectName(QStringLiteral("PAN_Operazione_Schede"));
    auto *operation = new QHBoxLayout(PAN_Operazione_Schede);
    operation->setContentsMargins(0, 0, 0, 0);
    PB_PulisciValore = Button(PAN_Operazione_Schede,
                              QStringLiteral("PB_PulisciValore"),
                              QStringLiteral("Pulisci Valore"));
    PB_Ok_Input_Schede = Button(PAN_Operazione_Schede,
                                QStringLiteral("PB_Ok_Input_Schede"),
                                QStringLiteral("Ok"));
    PB_Annulla_Input_Schede = Button(PAN_Operazione_Schede,
                                     QStringLiteral("PB_Annulla_Input_Schede"),
                                     QStringLiteral("Annulla"));
    operation->addWidget(PB_PulisciValore);
    operation->addWidget(PB_Ok_Input_Schede);
    operation->addWidget(PB_Annulla_Input_Schede);
    PAN_Operazione_Schede->hide();
    buttons->addWidget(PAN_Operazione_Schede);
    PB_ChiudiSchede = Button(PAN_DatiSchede,
                             QStringLiteral("PB_ChiudiSchede"),
                             QStringLiteral("Chiudi"));
    buttons->addWidget(PB_ChiudiSchede);
    outer->addLayout(buttons);

    // Escape: "Annulla" while values are edited, else "Chiudi".
    auto *escape = new QPushButton(PAN_DatiSchede);
    escape->setObjectName(QStringLiteral("PB_EscSchede"));
    escape->hide();
    connect(escape, &QPushButton::clicked, this, [this] {
        if (m_editingValues)
            PB_Annulla_Input_SchedeClick();
        else
            PB_ChiudiSchedeClick();
    });
    AddEditPanel(PAN_DatiSchede, escape);

    // The sheets' menu.
    DG_Schede->OnBeforePopUpMenu = [this](TKRTGrid *grid) {
        grid->ShowStandardMenu = false;
        grid->ShowUserMenu = true;
        grid->UserMenu.clear();
        grid->GridMenu()->Clear();
        if (!m_editingValues && m_sheets && m_sheets->RecordCount() > 0) {
            AddGridMenuItem(grid->GridMenu(),
                            QStringLiteral("Modifica i valori della scheda"),
                            clKRTBlack);
            AddGridMenuItem(grid->GridMenu(),
                            QStringLiteral("Elimina i valori della scheda"),
                            clKRTBlack);
        }
        grid->SetPopUpMenu();
    };
    DG_Schede->OnUserMenuSelect = [this](TKRTGrid *grid) {
        const TKRTGridMenu *chosen = grid->GridMenuSelected();
        if (!chosen)
            return;
        if (chosen->Caption == QLatin1String("Modifica i valori della scheda"))
            PB_ModificaSchedaClick();
        else if (chosen->Caption == QLatin1String("Elimina i valori della scheda"))
            PB_EliminaSchedaClick();
    };

    connect(PB_ModificaScheda,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_ModificaSchedaClick);
    connect(PB_EliminaScheda,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_EliminaSchedaClick);
    connect(PB_PulisciValore,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_PulisciValoreClick);
    connect(PB_Ok_Input_Schede,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_Ok_Input_SchedeClick);
    connect(PB_Annulla_Input_Schede,
            &QPushButton::clicked,
            this,
            &TPRODOTTO_LISTINO::PB_Annulla_Input_SchedeClick);
    connect(PB_ChiudiSchede, &QPushButton::clicked, this, &TPRODOTTO_LISTINO::PB_ChiudiSchedeClick);
}

TListDefinition TPRODOTTO_LISTINO::ListDefinition() const
{
    TListDefinition d;
    d.sClassName = QStringLiteral("TPRODOTTO_LISTINO");
    d.sKeyField = QStringLiteral("idProdListino");
    d.sExtractError = QStringLiteral("Errore estrazione elenco listini (ERR.H12).");
    d.sStatusPrefix = QStringLiteral(" listini: ");
    d.sEmptyText = QStringLiteral(" Nessun listino. ");
    d.columns = {{QStringLiteral("flUsedInPrev"), QStringLiteral("(P)"), 3, true, true},
                 {QStringLiteral("flSchedeProdotto"), QStringLiteral("(S)"), 3, true, true},
                 {QStringLiteral("flQtaPartiProdotto"), QStringLiteral("(Q)"), 3, true, true},
                 {QStringLiteral("txCodListino"), QStringLiteral("Codice"), 20, true, true},
                 {QStringLiteral("txDescListino"), QStringLiteral("Descrizione"), 50}};
    if (!m_bDocumentazione) {
        TListColumn amount{QStringLiteral("vlListino"), QStringLiteral("Listino"), 15};
        amount.format = QStringLiteral("#,##0.00");
        amount.rightAligned = true;
        d.columns.push_back(amount);
    }
    const QList<std::pair<QString, QString>> audit
        = {{QStringLiteral("dtMod"), QStringLiteral("Modificato il")},
           {QStringLiteral("txUtenteMod"), QStringLiteral("Da")},
           {QStringLiteral("dtIn"), QStringLiteral("Inserito il")},
           {QStringLiteral("txUtenteIn"), QStringLiteral("Da")},
           {QStringLiteral("dtCanc"), QStringLiteral("Eliminato il")},
           {QStringLiteral("txUtenteCanc"), QStringLiteral("Da")}};
    for (const auto &[field, label] : audit)
        d.columns.push_back({field, label, 20, true, true});
    d.listFields = {QStringLiteral("flUsedInPrev"),
                    QStringLiteral("flSchedeProdotto"),
                    QStringLiteral("flQtaPartiProdotto"),
                    QStringLiteral("txCodListino"),
                    QStringLiteral("txDescListino")};
    if (!m_bDocumentazione)
        d.listFields << QStringLiteral("vlListino");
    d.infoFields = {QStringLiteral("txDescListino"),
                    QStringLiteral("txUtenteMod"),
                    QStringLiteral("dtMod"),
                    QStringLiteral("txUtenteIn"),
                    QStringLiteral("dtIn"),
                    QStringLiteral("txUtenteCanc"),
                    QStringLiteral("dtCanc")};
    d.sInfoTitle = QStringLiteral("Informazioni aggiuntive listino selezionato");
    d.iInfoWidth = 400;
    d.iconColumns.push_back(
        {QStringLiteral("flUsedInPrev"), PriceListPixmap(TPriceListIcon::UsedInQuotes)});
    d.iconColumns.push_back(
        {QStringLiteral("flSchedeProdotto"), QPixmap(), [](const TDataSet &ds, int row) {
             const int f = ds.FieldIndex(QStringLiteral("flSchedeListinoProdotto"));
             const bool own = f >= 0 && ds.ValueAt(row, f).toInt() != 0;
             return PriceListPixmap(own ? TPriceListIcon::SheetsWithValues
                                        : TPriceListIcon::SheetsWithout);
         }});
    d.iconColumns.push_back(
        {QStringLiteral("flQtaPartiProdotto"), QPixmap(), [](const TDataSet &ds, int row) {
             const int f = ds.FieldIndex(QStringLiteral("flQtaPartiListinoProdotto"));
             const bool own = f >= 0 && ds.ValueAt(row, f).toInt() != 0;
             return PriceListPixmap(own ? TPriceListIcon::QuantitiesVaried
                                        : TPriceListIcon::QuantitiesProduct);
         }});
    d.legends = {{QStringLiteral(" (P) Listino utilizzato in preventivi ")},
                 {QStringLiteral(" (S) Listino con nessuna scheda prodotto valorizzata ")},
                 {QStringLiteral(" (S) Listino con schede prodotto valorizzate ")},
                 {QStringLiteral(" (Q) Listino con quantità sottoparagrafi variate ")},
                 {QStringLiteral(" (Q) Listino con quantità paragrafi invariate ")}};
    d.menuSideBarColor = kSideBar;
    // A deactivated list: grey italic, not the red of other lists.
    d.rowColours = [](const TDataSet &ds, int row, TKRTDrawCellArgs &a) {
        const int canc = ds.FieldIndex(QStringLiteral("dtCanc"));
        if (canc >= 0 && !ds.IsNullAt(row, canc)) {
            a.FontColor = KRTColor(kGreyInactive);
            a.Font.setBold(false);
            a.Font.setItalic(true);
        }
    };
    d.developerQueries = [](const QString &id) {
        const QString join = QStringLiteral(
            " INNER JOIN Prod_Listini b ON (b.idProdListino = a.idProdListino)");
        const QString where = QStringLiteral(" WHERE b.idProdListino = ") + SqlText(id);
        return QList<QStringList>{{QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Prod_Listini a"),
                                   QStringLiteral(" WHERE a.idProdListino = ") + SqlText(id)},
                                  {QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Prod_List_Scheda_Valori a"),
                                   join,
                                   where},
                                  {QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Prod_List_Parte_Quantita a"),
                                   join,
                                   where}};
    };
    return d;
}

// --- Start and the list ---------------------------------------------------------------------

void TPRODOTTO_LISTINO::Start(const QString &sIdProdottoLista,
                              const QString &sDescProdottoLista,
                              bool bProdDocumentazione)
{
    if (m_started)
        return;
    m_started = true;
    m_sIdProdotto = sIdProdottoLista;
    m_sDescProdotto = sDescProdottoLista;
    m_bDocumentazione = bProdDocumentazione;
    setWindowTitle(QStringLiteral("Listino del prodotto: ") + Quoted(m_sDescProdotto));
    // A documentation product's lists carry no amount and no discount ceiling.
    EF_Listino->setVisible(!m_bDocumentazione);
    PAN_Sconto->setVisible(!m_bDocumentazione);
    DG_Listini = AddGrid(QStringLiteral("DG_Listini"), ListDefinition());
    List()->SetLocalFilter(FilterText());
    Reload();
}

TDataSet *TPRODOTTO_LISTINO::DST_GRID_Listini() const
{
    return List() ? List()->DataSet() : nullptr;
}

QString TPRODOTTO_LISTINO::ExtractionCommand()
{
    return ExecText(QStringLiteral("EstraiListinoProdotto"), {SqlText(m_sIdProdotto)});
}

QString TPRODOTTO_LISTINO::ExtractionSort() const
{
    return m_sortText;
}

QString TPRODOTTO_LISTINO::FilterText() const
{
    QStringList parts;
    if (CK_Find_UsedInPrev->isChecked())
        parts << QStringLiteral("flUsedInPrev = 1");
    if (!CK_Find_IncludiCancellati->isChecked())
        parts << QStringLiteral("dtCanc = NULL");
    const QString code = EF_Find_CodListino->Text().trimmed();
    if (!code.isEmpty())
        parts << QStringLiteral("txCodListino LIKE ") + SqlQuote(u'*' + code + u'*');
    const QString desc = EF_Find_DescListino->Text().trimmed();
    if (!desc.isEmpty()) {
        const bool contains = RG_Find_DescListino->ItemIndex() != 1;
        parts << QStringLiteral("txDescListino LIKE ")
                     + SqlQuote((contains ? QStringLiteral("*") : QString()) + desc + u'*');
    }
    return parts.join(QStringLiteral(" AND "));
}

void TPRODOTTO_LISTINO::FilterChanged()
{
    if (!List())
        return;
    List()->SetLocalFilter(FilterText());
}

void TPRODOTTO_LISTINO::SaveFilterSettings()
{
    TFilterSettings::Write(QStringLiteral("FrmProdListino_UsedInPrev"),
                           CK_Find_UsedInPrev->isChecked() ? QStringLiteral("SI")
                                                           : QStringLiteral("NO"));
    TFilterSettings::Write(QStringLiteral("FrmProdListino_IncludiCancellati"),
                           CK_Find_IncludiCancellati->isChecked() ? QStringLiteral("SI")
                                                                  : QStringLiteral("NO"));
}

bool TPRODOTTO_LISTINO::Reload(const QString &notVisibleSentence)
{
    // The operator's sort and description width survive the reload.
    if (TDataSet *ds = DST_GRID_Listini()) {
        m_sortText = ds->Sort();
        const int column = DG_Listini->ColumnIndexByFieldName(QStringLiteral("txDescListino"));
        if (column >= 0)
            m_descWidth = DG_Listini->Column(column).Width;
    }
    const bool asked = !sLastId.isEmpty();
    const TExtractResult result = ExtractWithFilters();
    if (m_descWidth > 0) {
        const int column = DG_Listini->ColumnIndexByFieldName(QStringLiteral("txDescListino"));
        if (column >= 0)
            DG_Listini->SetColumnWidth(column, m_descWidth);
    }
    if (result == TExtractResult::NotVisible && !notVisibleSentence.isEmpty())
        ShowWarningBox(notVisibleSentence + LineBreaks(2)
                       + QStringLiteral("Cambiare le impostazioni."));
    return !asked || result == TExtractResult::Positioned;
}

void TPRODOTTO_LISTINO::BuildMenu(TListData &list)
{
    list.AddMenuItem(QStringLiteral("Nuovo listino"), [this] { NuovoListino(); });
    if (!list.HasRows())
        return;
    list.AddMenuItem(QStringLiteral("Modifica"), [this] { ModificaListino(); });
    list.AddMenuSeparator();
    list.AddMenuItem(QStringLiteral("Duplica listino"), [this] { DuplicaListino(false); });
    list.AddMenuItem(QStringLiteral("Duplica e modifica listino"), [this] { DuplicaListino(true); });
    list.AddMenuSeparator();
    if (list.CurrentText(QStringLiteral("flSchedeProdotto")) == QLatin1String("1")) {
        TListMenuStyle style;
        style.bold = true;
        style.image = PriceListPixmap(TPriceListIcon::SheetsWithValues);
        list.AddMenuItem(
            QStringLiteral("Gestione valori delle schede del prodotto"),
            [this] { GestioneValoriSchede(); },
            style);
        list.AddMenuSeparator();
    }
    if (list.CurrentText(QStringLiteral("flQtaPartiProdotto")) == QLatin1String("1")) {
        TListMenuStyle style;
        style.bold = true;
        style.image = PriceListPixmap(TPriceListIcon::QuantitiesVaried);
        list.AddMenuItem(
            QStringLiteral("Gestione quantità presenti nei sottoparagrafi del prodotto"),
            [this] { GestioneQuantitaParti(); },
            style);
        list.AddMenuSeparator();
    }
    if (list.CurrentIsActive())
        list.AddMenuItem(QStringLiteral("Disattiva listino"), [this] { CambiaStatoListino(false); });
    else
        list.AddMenuItem(QStringLiteral("Riattiva listino"), [this] { CambiaStatoListino(true); });
    list.AddMenuSeparator();
    list.AddMenuItem(QStringLiteral("Elimina listino"), [this] { EliminaListino(); });
    list.AddMenuSeparator();
    list.AddInfoItem();
    if (SessionInfo().bDeveloperMode) {
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    }
}

// --- A list: new, change, duplicate, state, delete ------------------------------------------

bool TPRODOTTO_LISTINO::OpenList(const QString &id, const QString &errorMessage)
{
    return TryOpenRecord(QStringLiteral("Prod_Listini"),
                         QStringLiteral("idProdListino"),
                         ExecText(QStringLiteral("DatiListino"), {SqlText(id)}),
                         errorMessage);
}

void TPRODOTTO_LISTINO::NuovoListino()
{
    if (EditMode() || !m_started)
        return;
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenList(sLastId, QStringLiteral("Errore creazione nuovo listino (ERR.H02).")))
        return;
    PAN_Desc_TipoOperazione->setText(QStringLiteral("Nuovo Listino"));
    EF_CodListino->ClearField();
    EF_DescListino->ClearField();
    EF_Listino->SetAsFloat(0);
    EF_MaxScontoVal->ClearField();
    EF_MaxScontoPerc->ClearField();
    EnterEditMode(PAN_Input, EF_CodListino);
}

void TPRODOTTO_LISTINO::ModificaListino()
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenList(sLastId, QStringLiteral("Errore modifica listino (ERR.H03).")))
        return;
    PAN_Desc_TipoOperazione->setText(QStringLiteral("Modifica Listino"));
    FillInput();
    EnterEditMode(PAN_Input, EF_CodListino);
}

void TPRODOTTO_LISTINO::FillInput()
{
    TDataSet &row = Record()->Data();
    LimitInputLength(EF_CodListino, row, QStringLiteral("txCodListino"), 50);
    LimitInputLength(EF_DescListino, row, QStringLiteral("txDescListino"), 200);
    ::FillInput(EF_CodListino, row, QStringLiteral("txCodListino"));
    ::FillInput(EF_DescListino, row, QStringLiteral("txDescListino"));
    EF_Listino->SetAsFloat(row.FieldByName(QStringLiteral("vlListino")).AsFloat());
    // A ceiling not set leaves its field empty.
    for (const auto &[edit, field] :
         {std::pair<TKRTLabelEdit *, QString>{EF_MaxScontoVal, QStringLiteral("vlMaxSconto")},
          {EF_MaxScontoPerc, QStringLiteral("nuMaxPercSconto")}}) {
        const TField f = row.FieldByName(field);
        if (f.IsNull())
            edit->ClearField();
        else
            edit->SetAsFloat(f.AsFloat());
    }
}

void TPRODOTTO_LISTINO::RecordReadAgain()
{
    if (xTipoOp == coGENModify && Record())
        FillInput();
}

void TPRODOTTO_LISTINO::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    const bool insert = xTipoOp == coGENInsert;
    double amount = 0;
    double maxValue = 0;
    double maxPerc = 0;
    const bool hasValue = !EF_MaxScontoVal->IsEmpty();
    const bool hasPerc = !EF_MaxScontoPerc->IsEmpty();
    if (!m_bDocumentazione) {
        if (EF_Listino->IsEmpty()) {
            ShowErrorBox(QStringLiteral("Importo del listino obbligatorio."));
            EF_Listino->SetFocus();
            return;
        }
        if (hasValue && hasPerc) {
            ShowErrorBox(
                QStringLiteral("Impostare solo una tipologia di sconto commerciale (% o valore)."));
            EF_MaxScontoPerc->SetFocus();
            return;
        }
        if (!ReadAmount(EF_Listino, &amount) || amount < 0 || amount > kMaxAmount) {
            ShowErrorBox(QStringLiteral("L'importo del listino deve essere un numero non "
                                        "negativo (al massimo 9.999.999.999.999,99)."));
            EF_Listino->SetFocus();
            return;
        }
        if (hasValue && (!ReadAmount(EF_MaxScontoVal, &maxValue) || maxValue < 0)) {
            ShowErrorBox(QStringLiteral("Il valore massimo di sconto non può essere negativo."));
            EF_MaxScontoVal->SetFocus();
            return;
        }
        if (hasValue && maxValue > amount) {
            ShowErrorBox(QStringLiteral("Il valore massimo di sconto non può superare l'importo "
                                        "del listino."));
            EF_MaxScontoVal->SetFocus();
            return;
        }
        if (hasPerc && (!ReadAmount(EF_MaxScontoPerc, &maxPerc) || maxPerc < 0 || maxPerc > 100)) {
            ShowErrorBox(QStringLiteral("La percentuale massima di sconto deve essere compresa "
                                        "tra 0 e 100."));
            EF_MaxScontoPerc->SetFocus();
            return;
        }
    }
    const QString id = sLastId;
    const QString user = UserArgument();
    std::vector<TPostStep> after;
    after.push_back(
        {QStringLiteral("Errore aggiornamento listino prodotto nei preventivi aperti "
                        "(ERR.H08)."),
         [id, user] {
             ShowProgress(QStringLiteral("Aggiornamento listino prodotto nei "
                                         "preventivi aperti in corso..."));
             RunProcedure(ExecText(QStringLiteral("RefreshProdListino"), {SqlText(id), user}));
             HideProgress();
         }});
    PB_Ok_Input->setEnabled(false);
    const bool saved = PostRecord(
        insert ? QStringLiteral("Errore creazione nuovo listino (ERR.H02).")
               : QStringLiteral("Errore modifica listino (ERR.H03)."),
        true,
        [&](TDataSet &row) {
            if (insert)
                row.FieldByName(QStringLiteral("idProdotto")).SetValue(m_sIdProdotto);
            WriteInput(row, QStringLiteral("txCodListino"), EF_CodListino->Text());
            WriteInput(row, QStringLiteral("txDescListino"), EF_DescListino->Text());
            if (m_bDocumentazione) {
                // Never asked: a new documentation list costs nothing.
                if (insert)
                    row.FieldByName(QStringLiteral("vlListino")).SetValue(0.0);
                return;
            }
            row.FieldByName(QStringLiteral("vlListino")).SetValue(RoundDecimals(2, amount));
            TField value = row.FieldByName(QStringLiteral("vlMaxSconto"));
            TField perc = row.FieldByName(QStringLiteral("nuMaxPercSconto"));
            if (hasValue)
                value.SetValue(RoundDecimals(2, maxValue));
            else
                value.SetNull();
            if (hasPerc)
                perc.SetValue(RoundDecimals(2, maxPerc));
            else
                perc.SetNull();
        },
        after);
    HideProgress();
    PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    m_anyChange = true;
    ExtractAfterSave(insert ? QStringLiteral("Il listino inserito") + NotVisible()
                            : QStringLiteral("Il listino modificato") + NotVisible());
}

void TPRODOTTO_LISTINO::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

void TPRODOTTO_LISTINO::RunAction(const QString &progress, const QString &commandText)
{
    ShowProgress(progress);
    RunProcedure(commandText);
    HideProgress();
}

void TPRODOTTO_LISTINO::DuplicaListino(bool andModify)
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    if (!AskYesNo(QStringLiteral("Confermi duplicazione del listino selezionato ?")))
        return;
    const QString source = List()->CurrentId();
    const QString copy = NewGuidText();
    try {
        RunAction(QStringLiteral("Duplicazione listino in corso..."),
                  ExecText(QStringLiteral("CloneListino"),
                           {SqlText(source), SqlText(copy), UserArgument()}));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore duplicazione listino (ERR.H05)."), e);
        return;
    }
    m_anyChange = true;
    sLastId = copy;
    if (!Reload(QStringLiteral("Il listino duplicato") + NotVisible()))
        return;
    if (andModify)
        ModificaListino();
}

void TPRODOTTO_LISTINO::CambiaStatoListino(bool reactivate)
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    try {
        RunAction(QStringLiteral("Cambio stato listino in corso..."),
                  ExecText(QStringLiteral("ChangeStatoListino"),
                           {SqlText(sLastId), SqlFlag(reactivate), UserArgument()}));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore cambio stato listino (ERR.H01)."), e);
        Reload();
        return;
    }
    m_anyChange = true;
    Reload((reactivate ? QStringLiteral("Il listino riattivato")
                       : QStringLiteral("Il listino disattivato"))
           + NotVisible());
}

void TPRODOTTO_LISTINO::EliminaListino()
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    if (!AskYesNo(QStringLiteral("Confermi eliminazione definitiva del listino selezionato ?")))
        return;
    const QString id = List()->CurrentId();
    // The row to show afterwards: the next one in the list as shown, or the previous one
    // after the last; none when the list had only this one.
    QString next;
    {
        std::unique_ptr<TDataSet> copy = DST_GRID_Listini()->Clone();
        if (copy->Locate(QStringLiteral("idProdListino"), id)) {
            copy->Next();
            if (copy->Eof()) {
                copy->Locate(QStringLiteral("idProdListino"), id);
                copy->Prior();
            }
            const QString other = copy->FieldByName(QStringLiteral("idProdListino")).AsString();
            if (other != id)
                next = other;
        }
    }
    std::unique_ptr<TDataSet> answer;
    try {
        ShowProgress(QStringLiteral("Rimozione listino in corso..."));
        answer = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("DeleteListino"),
                     {SqlText(id), SqlFlag(SessionInfo().bAdministrator), UserArgument()}));
        HideProgress();
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore rimozione listino (ERR.H10)."), e);
        return;
    }
    answer->First();
    if (answer->RecordCount() > 0 && !answer->FieldByName(QStringLiteral("flOk")).AsBoolean()) {
        ShowErrorBox(answer->FieldByName(QStringLiteral("ErrMess")).AsString());
        return;
    }
    m_anyChange = true;
    sLastId = next;
    Reload();
}

void TPRODOTTO_LISTINO::InfoSupplementari()
{
    if (List())
        List()->ShowInfo();
}

void TPRODOTTO_LISTINO::CopiaIdInClipboard()
{
    if (List())
        List()->CopyCurrentId();
}

// --- Sub-paragraph quantities -----------------------------------------------------------------

void TPRODOTTO_LISTINO::GestioneQuantitaParti()
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    m_sIdListino = List()->CurrentId();
    m_sDescListino = List()->CurrentText(QStringLiteral("txDescListino"));
    sLastId = m_sIdListino;
    if (!PrepareRecordsets())
        return;
    BuildPartsTree(QString());
    PAN_DescListinoParti->setText(QStringLiteral("Listino: ") + Quoted(m_sDescListino));
    ShowParts();
}

bool TPRODOTTO_LISTINO::PrepareRecordsets()
{
    const QString command = ExecText(QStringLiteral("EstraiCompPartiListinoQta"),
                                     {SqlText(m_sIdProdotto), SqlText(m_sIdListino)});
    const QDateTime start = QDateTime::currentDateTime();
    const TSessionInfo &session = SessionInfo();
    const bool debug = session.bAdministrator && session.iDebugPaneHeight > 0;
    if (debug)
        AppendDebugLine(QStringLiteral("TPRODOTTO_LISTINO.PrepareRecordsets: sSql: ") + command);
    try {
        ShowListWait();
        std::unique_ptr<TDataSet> result = TSTD_DBMODULE::Instance()->Query(command);
        std::unique_ptr<TDataSet> copy;
        CreateMemoryCopy(copy, *result, true);
        CopyAllRecords(*result, *copy);
        copy->SetSort(QStringLiteral("nuOrderA, nuOrderB"));
        m_parts = std::move(copy);
        HideListWait();
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore estrazione dettaglio prodotto (ERR.H13)."), e);
        return false;
    }
    if (debug)
        AppendDebugTiming(QStringLiteral("TPRODOTTO_LISTINO"),
                          QStringLiteral("PrepareRecordsets"),
                          start,
                          QDateTime::currentDateTime());
    return true;
}

void TPRODOTTO_LISTINO::BuildPartsTree(const QString &selectId)
{
    TV_Dettagli->clear();
    m_nodes.clear();
    QHash<QString, QTreeWidgetItem *> items;

    auto font = [this](int size, bool italic) {
        QFont f = TV_Dettagli->font();
        f.setPointSize(size);
        f.setBold(true);
        f.setItalic(italic);
        return f;
    };
    auto *root = new QTreeWidgetItem(TV_Dettagli, {m_sDescProdotto});
    root->setIcon(0, QIcon(PriceListPixmap(TPriceListIcon::Product)));
    root->setFont(0, font(14, true));
    root->setForeground(0, KRTColor(kProductColour));
    m_nodes.push_back(MakeRootNode(m_sIdProdotto, true));
    root->setData(0, Qt::UserRole, 0);
    items.insert(m_sIdProdotto, root);
    QTreeWidgetItem *selected = root;

    TDataSet &rows = *m_parts;
    for (int r = 0; r < rows.RecordCount(); ++r) {
        std::unique_ptr<TVRLDettProd> node = TVRLDettProd::CreateObject();
        if (!FillNodeFromTreeRow(*node, rows, r))
            continue;
        QTreeWidgetItem *parent = items.value(node->sIdParent);
        if (!parent)
            continue; // its parent is not in the tree
        auto text = [&rows, r](const QString &field) {
            return rows.ValueAt(r, rows.FieldIndex(field)).toString();
        };
        const QString desc = text(QStringLiteral("txDescNodo")).trimmed();
        QString label;
        QFont f;
        QColor colour;
        TPriceListIcon icon = TPriceListIcon::Part;
        if (node->xTipoNode == cnComponente) {
            label = QString::number(node->iNuOrderA) + QStringLiteral(". ")
                    + (desc.isEmpty() ? QStringLiteral("(paragrafo senza descrizione)") : desc);
            f = font(14, false);
            colour = Qt::blue;
            icon = TPriceListIcon::Component;
        } else {
            const int inList = text(QStringLiteral("nuQuantitaListino")).toInt();
            const int inProduct = text(QStringLiteral("nuQuantita")).toInt();
            label = QString::number(node->iNuOrderB) + QStringLiteral(". ");
            if (inList > 0)
                label += QStringLiteral(" N° ") + FormatNumber(0, inList)
                         + QStringLiteral(" (NEL PRODOTTO: ") + FormatNumber(0, inProduct)
                         + QStringLiteral(") ");
            else
                label += QStringLiteral(" N° ") + FormatNumber(0, inProduct)
                         + QStringLiteral(" (NEL PRODOTTO) ");
            label += desc.isEmpty() ? QStringLiteral("(senza descrizione)") : desc;
            f = font(12, false);
            colour = KRTColor(kSideBar);
        }
        if (!node->bAttivo) {
            f.setStrikeOut(true);
            colour = Qt::red;
        }
        auto *item = new QTreeWidgetItem(parent, {label});
        item->setIcon(0, QIcon(PriceListPixmap(icon)));
        item->setFont(0, f);
        item->setForeground(0, colour);
        item->setData(0, Qt::UserRole, int(m_nodes.size()));
        items.insert(node->sIdNodo, item);
        if (!selectId.isEmpty() && node->sIdNodo == selectId)
            selected = item;
        m_nodes.push_back(std::move(node));
    }
    TV_Dettagli->expandAll();
    TV_Dettagli->setCurrentItem(selected);
}

QTreeWidgetItem *TPRODOTTO_LISTINO::SelectedPartItem() const
{
    QTreeWidgetItem *item = TV_Dettagli->currentItem();
    if (!item)
        return nullptr;
    const int index = item->data(0, Qt::UserRole).toInt();
    if (index <= 0 || index >= int(m_nodes.size()) || m_nodes.at(index)->xTipoNode != cnParte)
        return nullptr;
    return item;
}

void TPRODOTTO_LISTINO::ShowParts()
{
    xTipoOp = coGENNone;
    EnterEditMode(PAN_DatiParti, TV_Dettagli);
}

void TPRODOTTO_LISTINO::TV_DettagliContextMenu(const QPoint &pos)
{
    QTreeWidgetItem *item = TV_Dettagli->itemAt(pos);
    if (!item)
        return;
    TV_Dettagli->setCurrentItem(item);
    const QVariant data = item->data(0, Qt::UserRole);
    const int index = data.isValid() ? data.toInt() : -1;
    if (index < 0 || index >= int(m_nodes.size())) {
        ShowErrorBox(QStringLiteral("Errore selezione nodo."));
        return;
    }
    if (m_nodes.at(index)->xTipoNode != cnParte)
        return; // the product and the paragraphs have no menu
    oCurrentDettProd = TVRLDettProd::CreateObject();
    oCurrentDettProd->copyFromOther(*m_nodes.at(index));
    MNU_Parte->popup(TV_Dettagli->viewport()->mapToGlobal(pos));
}

void TPRODOTTO_LISTINO::ModificaSottoparagrafo()
{
    MNU_Parte->hide();
    if (!SelectedPartItem()) {
        ShowErrorBox(QStringLiteral("Errore selezione nodo."));
        return;
    }
    const int index = SelectedPartItem()->data(0, Qt::UserRole).toInt();
    oCurrentDettProd = TVRLDettProd::CreateObject();
    oCurrentDettProd->copyFromOther(*m_nodes.at(index));
    std::unique_ptr<TDataSet> row;
    try {
        row = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("DatiListinoParteComp"),
                     {SqlText(m_sIdListino), SqlText(oCurrentDettProd->sIdNodo)}));
        if (row->RecordCount() == 0)
            throw EDatabaseError(QStringLiteral("Sottoparagrafo non trovato."));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati sottoparagrafo (ERR.H15)."), e);
        return;
    }
    row->First();
    EF_DescParteNodo->SetText(row->FieldByName(QStringLiteral("txDescParteComp")).AsString());
    const TField qty = row->FieldByName(QStringLiteral("nuQuantitaParte"));
    EF_NuQtaParteNodo->SetText(qty.IsNull() ? QStringLiteral("0")
                                            : QString::number(qty.AsInteger()));
    m_sTxStato = row->FieldByName(QStringLiteral("txStato")).AsString();
    xTipoOp = coGENModify;
    EnterEditMode(PAN_Input_Parte, EF_NuQtaParteNodo);
}

void TPRODOTTO_LISTINO::PB_InputQta_OkClick()
{
    if (!oCurrentDettProd || xTipoOp != coGENModify)
        return;
    // Only a whole number in the program format is sent, written as a number: nothing typed
    // can become part of the command.
    double typed = 0;
    const QString text = EF_NuQtaParteNodo->Text().trimmed();
    if (!ParseNumberText(text, &typed) || typed != std::floor(typed) || typed < 0
        || typed > kMaxQuantity) {
        ShowErrorBox(QStringLiteral("Quantità non valida: \"") + text + QStringLiteral("\".")
                     + LineBreaks(2) + QStringLiteral("Indicare un numero intero da 0 a ")
                     + FormatNumber(0, kMaxQuantity)
                     + QStringLiteral(" (0 = quantità del prodotto)."));
        EF_NuQtaParteNodo->SetFocus();
        return;
    }
    const QString node = oCurrentDettProd->sIdNodo;
    try {
        RunProcedure(ExecText(QStringLiteral("UpdateListinoParte"),
                              {SqlText(m_sIdListino),
                               SqlText(node),
                               SqlText(EF_DescParteNodo->Text().trimmed()),
                               SqlInteger(qint64(typed)),
                               SqlText(m_sTxStato),
                               UserArgument()}));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore salvataggio dati sottoparagrafo per listino selezionato "
                                   "(ERR.H11)."),
                    e);
        return;
    }
    bChanges = true;
    m_anyChange = true;
    if (PrepareRecordsets())
        BuildPartsTree(node);
    ShowParts();
}

void TPRODOTTO_LISTINO::PB_InputQta_AnnullaClick()
{
    ShowParts();
}

void TPRODOTTO_LISTINO::PB_ChiudiPartiClick()
{
    TV_Dettagli->clear();
    m_nodes.clear();
    m_parts.reset();
    oCurrentDettProd.reset();
    LeaveEditMode();
    if (bChanges) {
        bChanges = false;
        sLastId = m_sIdListino;
        Reload();
    }
}

// --- Data-sheet values ------------------------------------------------------------------------

void TPRODOTTO_LISTINO::GestioneValoriSchede()
{
    if (EditMode() || !List() || !List()->HasRows())
        return;
    m_sIdListino = List()->CurrentId();
    m_sDescListino = List()->CurrentText(QStringLiteral("txDescListino"));
    sLastId = m_sIdListino;
    if (!LoadSheets(QString()))
        return;
    PAN_DescListinoSchede->setText(QStringLiteral("Listino: ") + Quoted(m_sDescListino));
    SetValuesEditing(false);
    xTipoOp = coGENNone;
    EnterEditMode(PAN_DatiSchede, DG_Schede);
}

bool TPRODOTTO_LISTINO::LoadSheets(const QString &keepSheet)
{
    std::vector<std::unique_ptr<TDataSet>> sets;
    try {
        ShowListWait();
        sets = TSTD_DBMODULE::Instance()->QueryMulti(
            ExecText(QStringLiteral("EstraiSchedeListinoValori"),
                     {SqlText(m_sIdProdotto), SqlText(m_sIdListino)}));
        if (sets.size() < 2)
            throw EDatabaseError(QStringLiteral("Risultato incompleto."));
        HideListWait();
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore estrazione schede (ERR.H14)."), e);
        return false;
    }
    if (m_sheets && m_sheetObserver)
        m_sheets->RemoveObserver(m_sheetObserver.get());
    DG_Schede->SetDataSet(nullptr);
    std::unique_ptr<TDataSet> sheets, items;
    CreateMemoryCopy(sheets, *sets[0], true);
    CopyAllRecords(*sets[0], *sheets);
    CreateMemoryCopy(items, *sets[1], true);
    CopyAllRecords(*sets[1], *items);
    m_items = std::move(items);
    m_sheets = std::move(sheets);
    m_shownSheet.clear();

    TField desc = m_sheets->FieldByName(QStringLiteral("txDescSchedaProdotto"));
    desc.SetDisplayLabel(QStringLiteral("Descrizione Scheda"));
    desc.Def().displayWidth = 70;
    ShowOnlyFields(*m_sheets, {QStringLiteral("txDescSchedaProdotto")});
    m_sheets->First();
    if (!keepSheet.isEmpty())
        m_sheets->Locate(QStringLiteral("idSchedaProdotto"), keepSheet);
    DG_Schede->SetColumns({});
    DG_Schede->SetDataSet(m_sheets.get());
    if (!m_sheetObserver)
        m_sheetObserver = std::make_unique<TSheetObserver>(this);
    m_sheets->AddObserver(m_sheetObserver.get());
    ShowSheetItems();
    return true;
}

QString TPRODOTTO_LISTINO::CurrentSheetId() const
{
    if (!m_sheets || m_sheets->RecordCount() == 0)
        return QString();
    return m_sheets->FieldByName(QStringLiteral("idSchedaProdotto")).AsString();
}

void TPRODOTTO_LISTINO::ShowSheetItems()
{
    if (!m_items || m_editingValues)
        return;
    const QString sheet = CurrentSheetId();
    if (sheet == m_shownSheet && SG_Scheda->ItemCount() > 0)
        return;
    m_shownSheet = sheet;
    std::vector<TSheetValueGrid::TItem> items;
    if (!sheet.isEmpty()) {
        m_items->SetFilter(QStringLiteral("idSchedaProdotto = ") + SqlText(sheet));
        m_items->SetFiltered(true);
        m_items->SetSort(QStringLiteral("nuOrdineVoceScheda"));
        for (m_items->First(); !m_items->Eof(); m_items->Next()) {
            items.push_back({m_items->FieldByName(QStringLiteral("idVoceScheda")).AsString(),
                             m_items->FieldByName(QStringLiteral("txDescVoceScheda")).AsString(),
                             m_items->FieldByName(QStringLiteral("txValoreVoceScheda")).AsString()});
        }
    }
    SG_Scheda->SetItems(items);
    PB_ModificaScheda->setEnabled(!items.empty());
    PB_EliminaScheda->setEnabled(!items.empty());
    // The grid takes the focus a moment later, once the sheet list has finished moving.
    QTimer::singleShot(1000, SG_Scheda, [grid = SG_Scheda] {
        if (grid->isVisible())
            grid->setFocus();
    });
}

void TPRODOTTO_LISTINO::SetValuesEditing(bool on)
{
    m_editingValues = on;
    SG_Scheda->SetEditing(on);
    PB_ChiudiSchede->setVisible(!on);
    PAN_Operazione_Schede->setVisible(on);
    PB_ModificaScheda->setVisible(!on);
    PB_EliminaScheda->setVisible(!on);
    DG_Schede->setEnabled(!on);
    xTipoOp = on ? coGENModify : coGENNone;
}

void TPRODOTTO_LISTINO::PB_ModificaSchedaClick()
{
    if (m_editingValues || SG_Scheda->ItemCount() == 0)
        return;
    SetValuesEditing(true);
    SG_Scheda->setFocus();
    SG_Scheda->StartAt(0);
}

void TPRODOTTO_LISTINO::PB_EliminaSchedaClick()
{
    if (m_editingValues || SG_Scheda->ItemCount() == 0)
        return;
    SetValuesEditing(true);
    SG_Scheda->ClearValues();
    SG_Scheda->setFocus();
    SG_Scheda->StartAt(0);
}

void TPRODOTTO_LISTINO::PB_PulisciValoreClick()
{
    SG_Scheda->ClearCurrentValue();
    SG_Scheda->setFocus();
}

void TPRODOTTO_LISTINO::PB_Ok_Input_SchedeClick()
{
    if (!m_editingValues)
        return;
    SG_Scheda->CommitEditor();
    const QString sheet = CurrentSheetId();
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    TEditableRecordSet values(db,
                              QStringLiteral("Prod_List_Scheda_Valori"),
                              QStringLiteral("idListinoValore"));
    QString failing = QStringLiteral("Errore creazione voce scheda (ERR.H07).");
    bool readAgain = false;
    PB_Ok_Input_Schede->setEnabled(false);
    try {
        values.Open(ExecText(QStringLiteral("DatiListinoSchedeValori"),
                             {SqlText(m_sIdListino), SqlText(sheet)}));
        TDataSet &rows = values.Data();
        for (int r = 0; r < SG_Scheda->ItemCount(); ++r) {
            const QString item = SG_Scheda->VoceScheda(r)->sIdVoceScheda;
            const QString value = SG_Scheda->Value(r).trimmed();
            const bool stored = rows.Locate(QStringLiteral("idVoceScheda"), item);
            if (value.isEmpty()) {
                // An emptied value removes the list's value (every stored row of the item).
                while (rows.Locate(QStringLiteral("idVoceScheda"), item))
                    rows.Delete();
            } else if (stored) {
                if (rows.FieldByName(QStringLiteral("txValoreVoceScheda")).AsString() != value) {
                    rows.Edit();
                    rows.FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(value);
                    rows.Post();
                }
            } else {
                rows.Append();
                rows.FieldByName(QStringLiteral("idProdListino")).SetValue(m_sIdListino);
                rows.FieldByName(QStringLiteral("idSchedaProdotto")).SetValue(sheet);
                rows.FieldByName(QStringLiteral("idVoceScheda")).SetValue(item);
                rows.FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(value);
                rows.Post();
            }
        }
        db->BeginTrans();
        values.Post(SessionInfo().sUserName);
        failing = QStringLiteral("Errore aggiornamento voci scheda listino prodotto nei "
                                 "preventivi aperti (ERR.H09).");
        ShowProgress(QStringLiteral("Aggiornamento voci scheda listino prodotto nei preventivi "
                                    "aperti in corso..."));
        RunProcedure(ExecText(QStringLiteral("RefreshProdListSchedaVoci"),
                              {SqlText(m_sIdListino), SqlText(sheet), UserArgument()}));
        HideProgress();
        db->CommitTrans();
    } catch (const std::exception &e) {
        HideProgress();
        if (db && db->InTransaction())
            db->RollbackTrans();
        switch (values.FailedWrite()) {
        case TEditableRecordSet::TWriteKind::Insert:
            failing = QStringLiteral("Errore creazione voce scheda (ERR.H06).");
            break;
        case TEditableRecordSet::TWriteKind::Update:
            failing = QStringLiteral("Errore creazione voce scheda (ERR.H07).");
            break;
        case TEditableRecordSet::TWriteKind::Delete:
            failing = QStringLiteral("Errore cancellazione voce scheda (ERR.H04).");
            break;
        case TEditableRecordSet::TWriteKind::None:
            break;
        }
        readAgain = dynamic_cast<const ERecordChanged *>(&e) != nullptr;
        ShowDbError(failing, e);
        PB_Ok_Input_Schede->setEnabled(true);
        if (!readAgain)
            return; // the typed values stay for another try
    }
    PB_Ok_Input_Schede->setEnabled(true);
    // Saved, or changed meanwhile by another operator: the sheet shows what is stored.
    SetValuesEditing(false);
    if (!readAgain) {
        bChanges = true;
        m_anyChange = true;
    }
    LoadSheets(sheet);
}

void TPRODOTTO_LISTINO::PB_Annulla_Input_SchedeClick()
{
    if (!m_editingValues)
        return;
    SetValuesEditing(false);
    m_shownSheet.clear();
    ShowSheetItems();
}

void TPRODOTTO_LISTINO::PB_ChiudiSchedeClick()
{
    if (m_editingValues)
        return;
    if (m_sheets && m_sheetObserver)
        m_sheets->RemoveObserver(m_sheetObserver.get());
    DG_Schede->SetDataSet(nullptr);
    m_sheets.reset();
    m_items.reset();
    SG_Scheda->SetItems({});
    LeaveEditMode();
    if (bChanges) {
        bChanges = false;
        sLastId = m_sIdListino;
        Reload();
    }
}

void TPRODOTTO_LISTINO::closeEvent(QCloseEvent *event)
{
    TListWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    if (m_editingValues)
        SetValuesEditing(false);
    if (m_anyChange) {
        Q_EMIT PriceListsChanged(m_sIdProdotto);
        // The product list shows whether a product has lists: it re-extracts and reselects.
        ProductListReselect(this, m_sIdProdotto);
    }
}
