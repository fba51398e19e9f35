#include "quotes/dettagli_preventivo.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/gestione_prodotti.h"
#include "catalogue/productpreview.h"
#include "common/childplacement.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/imageroutines.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrttoggleswitch.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "domain/vrldettprev.h"
#include "masterdata/listdata.h"
#include "quotes/dettagli_prevdet.h"
#include "quotes/linepreview.h"
#include "quotes/lineprices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const kClassName = "TDETTAGLI_PREVENTIVO";
const QColor kHeaderBlue(0x37, 0x6E, 0xA1);
const QColor kPurple(0x80, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kGrey(0x80, 0x80, 0x80);
constexpr int kMinRowHeight = 100;

const TWindowRegistration registration(QString::fromLatin1(TDETTAGLI_PREVENTIVO::kFormName),
                                       [](QWidget *parent) {
                                           return new TDETTAGLI_PREVENTIVO(parent);
                                       });

QString UserArg()
{
    return SqlText(SessionInfo().sUserName);
}

// The quantity as the panel shows it: no decimals when whole, else two.
QString QuantityText(double q)
{
    return FormatNumber(q == double(qint64(q)) ? 0 : 2, q);
}

TKRTLabelEdit *Field(QWidget *parent, const char *name, const QString &caption, int maxLength = 0)
{
    auto *edit = new TKRTLabelEdit(QString::fromLatin1(name), caption, parent);
    edit->SetCaptionPosition(cpKRTAbove);
    if (maxLength > 0)
        edit->SetMaxLength(maxLength);
    return edit;
}

QPushButton *Button(QWidget *parent,
                    const char *name,
                    const QString &caption,
                    const QString &hint = {})
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

QFrame *Panel(QWidget *parent, const char *name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::StyledPanel);
    return f;
}

QString CellText(const TVRLDettPrev &line)
{
    if (line.HasPrice())
        return QStringLiteral("Listino prodotto presente");
    if (line.bDocumentazione)
        return QStringLiteral("(Documentazione)");
    return QStringLiteral("...");
}

// Draws the line grid as the lines editor shows it.
class TLineGridDelegate : public QStyledItemDelegate
{
public:
    explicit TLineGridDelegate(TLineGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {}

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int row = index.row();
        const int col = index.column();
        TVRLDettPrev *line = row < int(m_grid->Lines.size()) ? m_grid->Lines.at(row) : nullptr;
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        QColor back = row % 2 == 0 ? Qt::white : QColor(0xF2, 0xF2, 0xF2);
        QColor fore = Qt::black;
        if (selected && col != 1) {
            back = Qt::black;
            fore = Qt::white;
        }
        QFont font(QStringLiteral("Trebuchet MS"), 11);
        p->save();
        p->fillRect(r, back);
        const QRect text = r.adjusted(4, 2, -4, -2);
        if (!line) {
            p->restore();
            return;
        }
        if (col == 1) {
            line->EnsureImage(m_grid->Placeholder);
            const QImage fitted = ImageFitInBox(line->oImage, 4, back, r.height() - 4, r.width() - 4);
            p->drawImage(r.x() + 2, r.y() + 2, fitted);
        } else if (col == 2) {
            if (!selected) {
                if (line->bDocumentazione)
                    fore = kPurple;
                else if (line->bAccessorio || line->bServizio)
                    fore = kBlue;
                if (!line->bAttivo)
                    fore = kGrey;
            }
            font.setBold(line->bProdottoPrincipale);
            font.setStrikeOut(!line->bAttivo);
            p->setFont(font);
            p->setPen(fore);
            p->drawText(text,
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                        line->sDescProdotto);
        } else if (col == 3) {
            if (line->HasPrice() && !line->bDocumentazione) {
                const QString listino = line->sIdProdListino.isEmpty()
                                            ? QStringLiteral("(Listino mancante)")
                                            : QStringLiteral("(Listino: ")
                                                  + FormatNumber(2, line->rListino)
                                                  + QLatin1Char(')');
                p->setPen(fore);
                p->setFont(font);
                const int h = text.height() / 3;
                p->drawText(QRect(text.x(), text.y(), text.width(), h),
                            Qt::AlignCenter,
                            line->sDescListino);
                p->drawText(QRect(text.x(), text.y() + h, text.width(), h),
                            Qt::AlignCenter,
                            listino);
                font.setBold(true);
                p->setFont(font);
                p->drawText(QRect(text.x(), text.y() + 2 * h, text.width(), h),
                            Qt::AlignCenter,
                            FormatNumber(2, line->rImporto));
            } else if (line->bDocumentazione || index.data().toString().isEmpty()) {
                p->fillRect(r, selected ? QColor(Qt::black) : kHeaderBlue);
                p->setPen(Qt::white);
                p->setFont(font);
                p->drawText(text, Qt::AlignCenter, index.data().toString());
            } else {
                p->setPen(fore);
                p->setFont(font);
                p->drawText(text, Qt::AlignCenter, index.data().toString());
            }
        } else {
            p->setPen(fore);
            p->setFont(font);
            p->drawText(text, Qt::AlignCenter, index.data().toString());
        }
        p->restore();
    }

private:
    TLineGrid *m_grid; // Not owned: the parent.
};

} // namespace

// --- The line grid --------------------------------------------------------------------------

TLineGrid::TLineGrid(QWidget *parent)
    : QTableWidget(parent)
{
    setObjectName(QStringLiteral("SG_Dettagli"));
    setColumnCount(4);
    setHorizontalHeaderLabels({QString(),
                               QStringLiteral("Prodotto"),
                               QStringLiteral("Descrizione"),
                               QStringLiteral("Listino")});
    horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #376EA1; color: white; font-weight: bold; "
        "font-style: italic; }"));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The row header is the handle by which a line is dragged to another position.
    verticalHeader()->setFixedWidth(14);
    verticalHeader()->setToolTip(QStringLiteral("Trascinare per spostare il prodotto"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new TLineGridDelegate(this));
    setWordWrap(true);
}

// The description's font: bold for a main product, the wider of the two.
static QFont DescriptionFont()
{
    QFont font(QStringLiteral("Trebuchet MS"), 11);
    font.setBold(true);
    return font;
}

void TLineGrid::LinesChanged()
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QFontMetrics fm(DescriptionFont());
    int widest = 0;
    // A quote repeats its products: each description is measured once.
    QSet<QString> seen;
    for (const TVRLDettPrev *line : Lines) {
        if (seen.contains(line->sDescProdotto))
            continue;
        seen.insert(line->sDescProdotto);
        for (const QString &word : line->sDescProdotto.split(blanks, Qt::SkipEmptyParts))
            widest = qMax(widest, fm.horizontalAdvance(word));
    }
    m_widestWord = widest + 8 + 2;
    m_fittedWidth = -1;
    FitColumns();
}

void TLineGrid::FitColumns()
{
    constexpr int kPosition = 30, kImage = 100, kPrice = 200;
    constexpr int kImageFloor = 60, kPriceFloor = 160;
    const int avail = viewport()->width() - 4;
    int image = kImage, price = kPrice;
    int desc = avail - kPosition - image - price;
    if (desc < m_widestWord) {
        const int fromPrice = qMin(m_widestWord - desc, price - kPriceFloor);
        price -= fromPrice;
        desc += fromPrice;
    }
    if (desc < m_widestWord) {
        const int fromImage = qMin(m_widestWord - desc, image - kImageFloor);
        image -= fromImage;
        desc += fromImage;
    }
    // Still too narrow: the grid scrolls sideways rather than cut a word.
    desc = qMax(desc, qMax(100, m_widestWord));
    setColumnWidth(0, kPosition);
    setColumnWidth(1, image);
    setColumnWidth(3, price);
    setColumnWidth(2, desc);
    if (desc != m_fittedWidth)
        FitRows();
}

void TLineGrid::FitRows()
{
    const QFontMetrics fm(DescriptionFont());
    const int w = qMax(20, columnWidth(2) - 8);
    m_fittedWidth = columnWidth(2);
    QHash<QString, int> heights; // by description: a quote repeats its products
    for (int r = 0; r < rowCount() && r < int(Lines.size()); ++r) {
        const QString &text = Lines.at(r)->sDescProdotto;
        auto known = heights.constFind(text);
        if (known == heights.constEnd())
            known = heights.insert(
                text,
                qMax(kMinRowHeight,
                     fm.boundingRect(QRect(0, 0, w, 10000), Qt::TextWordWrap, text).height() + 4
                         + 2));
        if (rowHeight(r) != *known)
            setRowHeight(r, *known);
    }
}

void TLineGrid::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    FitColumns();
}

// --- Building ---------------------------------------------------------------------------------

TDETTAGLI_PREVENTIVO::TDETTAGLI_PREVENTIVO(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QString::fromLatin1(kFormName));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Caricamento prodotti"));
    auto *outer = new QHBoxLayout(this);
    auto *split = new QSplitter(Qt::Horizontal, this);
    SPT_Main = split;
    outer->addWidget(split);
    BuildLeft();
    split->addWidget(PAN_Main_Preventivo);
    auto *right = new QWidget(this);
    auto *rl = new QVBoxLayout(right);
    auto *modes = new QHBoxLayout;
    PB_ShowProdotti = Button(right, "PB_ShowProdotti", QStringLiteral("Prodotti"));
    PB_ShowListini = Button(right, "PB_ShowListini", QStringLiteral("Listini"));
    modes->addWidget(PB_ShowProdotti);
    modes->addWidget(PB_ShowListini);
    modes->addStretch();
    rl->addLayout(modes);
    PAN_Right = new QStackedWidget(right);
    rl->addWidget(PAN_Right);
    BuildCatalogue();
    BuildPricePanel();
    PAN_Right->addWidget(PAN_Main_Find_Prodotti);
    PAN_Right->addWidget(PAN_Main_Listini_Prodotto);
    split->addWidget(right);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 6);
    connect(PB_ShowProdotti, &QPushButton::clicked, this, [this] { ShowProdotti(); });
    connect(PB_ShowListini, &QPushButton::clicked, this, [this] { ShowListini(); });
    resize(1400, 850);
}

bool TDETTAGLI_PREVENTIVO::eventFilter(QObject *watched, QEvent *event)
{
    if (DG_ProdLinked && watched == DG_ProdLinked->viewport()
        && event->type() == QEvent::MouseButtonDblClick) {
        const auto *me = static_cast<QMouseEvent *>(event);
        const QModelIndex index = DG_ProdLinked->indexAt(me->position().toPoint());
        if (me->button() == Qt::LeftButton && index.isValid()) {
            // The row double-clicked, even when its first click has not made it current yet.
            DG_ProdLinked->selectionModel()->setCurrentIndex(index,
                                                             QItemSelectionModel::ClearAndSelect
                                                                 | QItemSelectionModel::Rows);
            ToggleLinked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TDETTAGLI_PREVENTIVO::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    // Inside the main window the window takes most of its free area; a window of its own keeps
    // the size it was given. The quote panel takes 40 % of the width either way.
    if (MdiAreaOf(this))
        PlaceChildFirstTime(this, 0.9, 0.95, 0.7);
    const int total = SPT_Main->width() > 0 ? SPT_Main->width() : width();
    const int quote = RoundToInt(total * 0.4);
    SPT_Main->setSizes({quote, total - quote});
}

TDETTAGLI_PREVENTIVO::~TDETTAGLI_PREVENTIVO()
{
    if (DG_Prodotti)
        DG_Prodotti->SetDataSet(nullptr);
    if (DG_ProdLinked)
        DG_ProdLinked->SetDataSet(nullptr);
    if (DG_ProdList)
        DG_ProdList->SetDataSet(nullptr);
    if (DG_ProdottoListini)
        DG_ProdottoListini->SetDataSet(nullptr);
    if (DST_GRID_Prodotti && m_productObserver)
        DST_GRID_Prodotti->RemoveObserver(m_productObserver.get());
}

void TDETTAGLI_PREVENTIVO::BuildLeft()
{
    PAN_Main_Preventivo = Panel(this, "PAN_Main_Preventivo");
    auto *l = new QVBoxLayout(PAN_Main_Preventivo);
    SF_NuProdottiListini = new QLabel(PAN_Main_Preventivo);
    SF_NuProdottiListini->setObjectName(QStringLiteral("SF_NuProdottiListini"));
    l->addWidget(SF_NuProdottiListini);
    SG_Dettagli = new TLineGrid(PAN_Main_Preventivo);
    SG_Dettagli->Placeholder = QImage(100, 100, QImage::Format_RGB32);
    SG_Dettagli->Placeholder.fill(QColor(0xE0, 0xE0, 0xE0));
    l->addWidget(SG_Dettagli, 1);
    connect(SG_Dettagli,
            &QTableWidget::currentCellChanged,
            this,
            &TDETTAGLI_PREVENTIVO::CurrentCellChanged);
    connect(SG_Dettagli->verticalHeader(),
            &QHeaderView::sectionMoved,
            this,
            &TDETTAGLI_PREVENTIVO::HeaderMoved);

    PAN_Prodotto_Selezionato = Panel(PAN_Main_Preventivo, "PAN_Prodotto_Selezionato");
    auto *pl = new QVBoxLayout(PAN_Prodotto_Selezionato);
    pl->addWidget(new QLabel(QStringLiteral(" Prodotto selezionato "), PAN_Prodotto_Selezionato));
    auto *kinds = new QHBoxLayout;
    RB_ProdottoPrincipale = new QRadioButton(QStringLiteral("Prodotto principale"));
    RB_ProdottoPrincipale->setObjectName(QStringLiteral("RB_ProdottoPrincipale"));
    RB_Accessorio = new QRadioButton(QStringLiteral("Accessorio / Docum."));
    RB_Accessorio->setObjectName(QStringLiteral("RB_Accessorio"));
    RB_Servizio = new QRadioButton(QStringLiteral("Servizio"));
    RB_Servizio->setObjectName(QStringLiteral("RB_Servizio"));
    auto *group = new QButtonGroup(PAN_Prodotto_Selezionato);
    for (QRadioButton *rb : {RB_ProdottoPrincipale, RB_Accessorio, RB_Servizio}) {
        group->addButton(rb);
        kinds->addWidget(rb);
        connect(rb, &QRadioButton::clicked, this, [this, rb] { KindClicked(rb); });
    }
    pl->addLayout(kinds);
    auto *flags = new QHBoxLayout;
    CK_DocInFondo = new QCheckBox(QStringLiteral("Stampa alla fine"));
    CK_DocInFondo->setObjectName(QStringLiteral("CK_DocInFondo"));
    CK_ProdottoAttivo = new QCheckBox(QStringLiteral("Visibile in stampa"));
    CK_ProdottoAttivo->setObjectName(QStringLiteral("CK_ProdottoAttivo"));
    flags->addWidget(CK_DocInFondo);
    flags->addWidget(CK_ProdottoAttivo);
    pl->addLayout(flags);
    connect(CK_DocInFondo, &QCheckBox::clicked, this, [this] { DocInFondoClicked(); });
    connect(CK_ProdottoAttivo, &QCheckBox::clicked, this, [this] { ProdottoAttivoClicked(); });
    PAN_Quantita = new QFrame(PAN_Prodotto_Selezionato);
    PAN_Quantita->setObjectName(QStringLiteral("PAN_Quantita"));
    auto *ql = new QHBoxLayout(PAN_Quantita);
    EF_Qta_Prod = Field(PAN_Quantita, "EF_Qta_Prod", QStringLiteral("Quantità"));
    EF_Qta_Prod->SetReadOnly(true);
    PB_Mod_Qta_Prod = Button(PAN_Quantita, "PB_Mod_Qta_Prod", QStringLiteral("..."));
    ql->addWidget(EF_Qta_Prod);
    ql->addWidget(PB_Mod_Qta_Prod, 0, Qt::AlignBottom);
    ql->addStretch(1);
    pl->addWidget(PAN_Quantita);
    auto *buttons = new QHBoxLayout;
    PB_Change_Aspetto_Prodotto
        = Button(PAN_Prodotto_Selezionato,
                 "PB_Change_Aspetto_Prodotto",
                 QStringLiteral("Dettagli"),
                 QStringLiteral(" Nascondi / rendi visibili parti del prodotto selezionato  "));
    PB_Remove_Prodotto = Button(PAN_Prodotto_Selezionato,
                                "PB_Remove_Prodotto",
                                QStringLiteral("Rimuovi"),
                                QStringLiteral(" Rimuovi prodotto selezionato "));
    PB_Print_Prodotto = Button(PAN_Prodotto_Selezionato,
                               "PB_Print_Prodotto",
                               QStringLiteral("Anteprima"),
                               QStringLiteral(" Anteprima del prodotto selezionato  "));
    PB_Modify_Prodotto = Button(PAN_Prodotto_Selezionato,
                                "PB_Modify_Prodotto",
                                QStringLiteral("Modifica"),
                                QStringLiteral(" Modifica prodotto selezionato  "));
    for (QPushButton *b :
         {PB_Change_Aspetto_Prodotto, PB_Remove_Prodotto, PB_Print_Prodotto, PB_Modify_Prodotto})
        buttons->addWidget(b);
    pl->addLayout(buttons);
    l->addWidget(PAN_Prodotto_Selezionato);
    connect(PB_Mod_Qta_Prod, &QPushButton::clicked, this, [this] { ShowQuantityInput(); });
    connect(PB_Change_Aspetto_Prodotto, &QPushButton::clicked, this, [this] { OpenLineDetails(); });
    connect(PB_Remove_Prodotto, &QPushButton::clicked, this, [this] { RemoveLine(); });
    connect(PB_Modify_Prodotto, &QPushButton::clicked, this, [this] { OpenProductList(); });
    connect(PB_Print_Prodotto, &QPushButton::clicked, this, [this] {
        if (TVRLDettPrev *line = CurrentLine())
            PrintLinePreview(line->sIdPreventivoDet);
    });

    PAN_Input_Quantita = Panel(this, "PAN_Input_Quantita");
    auto *il = new QHBoxLayout(PAN_Input_Quantita);
    EF_NuQuantita = Field(PAN_Input_Quantita, "EF_NuQuantita", QStringLiteral("Quantità"), 15);
    PB_InputQta_Ok = Button(PAN_Input_Quantita, "PB_InputQta_Ok", QStringLiteral("Ok"));
    PB_InputQta_Annulla = Button(PAN_Input_Quantita,
                                 "PB_InputQta_Annulla",
                                 QStringLiteral("Annulla"));
    il->addWidget(EF_NuQuantita);
    il->addWidget(PB_InputQta_Ok);
    il->addWidget(PB_InputQta_Annulla);
    PAN_Input_Quantita->hide();
    connect(PB_InputQta_Ok, &QPushButton::clicked, this, [this] { ConfirmQuantity(); });
    connect(PB_InputQta_Annulla, &QPushButton::clicked, this, [this] { CancelQuantity(); });
}

void TDETTAGLI_PREVENTIVO::BuildPricePanel()
{
    PAN_Main_Listini_Prodotto = Panel(this, "PAN_Main_Listini_Prodotto");
    auto *l = new QVBoxLayout(PAN_Main_Listini_Prodotto);
    EF_Listino_DescListino = Field(PAN_Main_Listini_Prodotto,
                                   "EF_Listino_DescListino",
                                   QStringLiteral("Descrizione listino"),
                                   200);
    EF_Listino_Listino = Field(PAN_Main_Listini_Prodotto,
                               "EF_Listino_Listino",
                               QStringLiteral("Listino prodotto"));
    EF_Listino_Listino->SetReadOnly(true);
    EF_Listino_MaxSC = Field(PAN_Main_Listini_Prodotto,
                             "EF_Listino_MaxSC",
                             QStringLiteral("Max s.c. (%)"));
    EF_Listino_MaxSC->SetReadOnly(true);
    EF_Listino_Importo = Field(PAN_Main_Listini_Prodotto,
                               "EF_Listino_Importo",
                               QStringLiteral("Importo prodotto"),
                               20);
    PAN_Sconto = Panel(PAN_Main_Listini_Prodotto, "PAN_Sconto");
    auto *sl = new QHBoxLayout(PAN_Sconto);
    sl->addWidget(new QLabel(QStringLiteral(" Sconto commerciale "), PAN_Sconto));
    EF_Listino_ScontoPerc = Field(PAN_Sconto,
                                  "EF_Listino_ScontoPerc",
                                  QStringLiteral("Perc. %"),
                                  20);
    EF_Listino_ScontoVal = Field(PAN_Sconto, "EF_Listino_ScontoVal", QStringLiteral("Valore"), 20);
    sl->addWidget(EF_Listino_ScontoPerc);
    sl->addWidget(EF_Listino_ScontoVal);
    auto *top = new QHBoxLayout;
    top->addWidget(EF_Listino_Listino);
    top->addWidget(EF_Listino_MaxSC);
    l->addWidget(EF_Listino_DescListino);
    l->addLayout(top);
    l->addWidget(EF_Listino_Importo);
    l->addWidget(PAN_Sconto);
    PB_Listino_Ok_Input = Button(PAN_Main_Listini_Prodotto,
                                 "PB_Listino_Ok_Input",
                                 QStringLiteral("Conferma"));
    l->addWidget(PB_Listino_Ok_Input);
    auto *lists = new QHBoxLayout;
    PB_Listino_Sel_Elenco = Button(PAN_Main_Listini_Prodotto,
                                   "PB_Listino_Sel_Elenco",
                                   QStringLiteral("Altro listino"));
    PB_Nessun_Listino = Button(PAN_Main_Listini_Prodotto,
                               "PB_Nessun_Listino",
                               QStringLiteral("Nessun listino"));
    EF_Filter_Listini = Field(PAN_Main_Listini_Prodotto,
                              "EF_Filter_Listini",
                              QStringLiteral("Cerca listino..."),
                              100);
    PB_Azzera_Filter_Listini = Button(PAN_Main_Listini_Prodotto,
                                      "PB_Azzera_Filter_Listini",
                                      QStringLiteral("Azzera"));
    lists->addWidget(PB_Listino_Sel_Elenco);
    lists->addWidget(PB_Nessun_Listino);
    lists->addWidget(EF_Filter_Listini, 1);
    lists->addWidget(PB_Azzera_Filter_Listini, 0, Qt::AlignBottom);
    l->addLayout(lists);
    PAN_SelListino = Panel(PAN_Main_Listini_Prodotto, "PAN_SelListino");
    auto *sel = new QHBoxLayout(PAN_SelListino);
    PB_Ok_SelListino = Button(PAN_SelListino, "PB_Ok_SelListino", QStringLiteral("Ok"));
    PB_Annulla_SelListino = Button(PAN_SelListino,
                                   "PB_Annulla_SelListino",
                                   QStringLiteral("Annulla"));
    sel->addWidget(PB_Ok_SelListino);
    sel->addWidget(PB_Annulla_SelListino);
    PAN_SelListino->hide();
    l->addWidget(PAN_SelListino);
    DG_ProdottoListini = new TKRTGrid(PAN_Main_Listini_Prodotto);
    DG_ProdottoListini->setObjectName(QStringLiteral("DG_ProdottoListini"));
    DG_ProdottoListini->ShowStandardMenu = false;
    DG_ProdottoListini->SetRowSelect(true);
    // The grid is locked except while another list is chosen, but stays as readable as the
    // other grids: its disabled colours are its normal ones.
    QPalette readable = DG_ProdottoListini->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText,
                                     QPalette::Text,
                                     QPalette::ButtonText,
                                     QPalette::Base,
                                     QPalette::AlternateBase,
                                     QPalette::Window,
                                     QPalette::Button,
                                     QPalette::Highlight,
                                     QPalette::HighlightedText})
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    DG_ProdottoListini->setPalette(readable);
    l->addWidget(DG_ProdottoListini, 1);

    connect(EF_Listino_Importo->Edit(), &QLineEdit::textEdited, this, [this] { AmountTyped(); });
    connect(EF_Listino_ScontoPerc->Edit(), &QLineEdit::textEdited, this, [this] { PercentTyped(); });
    connect(EF_Listino_ScontoVal->Edit(), &QLineEdit::textEdited, this, [this] { ValueTyped(); });
    connect(PB_Listino_Ok_Input, &QPushButton::clicked, this, [this] { ConfirmPrice(); });
    connect(PB_Listino_Sel_Elenco, &QPushButton::clicked, this, [this] { ChooseOtherList(); });
    connect(PB_Ok_SelListino, &QPushButton::clicked, this, [this] { ConfirmOtherList(); });
    connect(PB_Annulla_SelListino, &QPushButton::clicked, this, [this] { CancelOtherList(); });
    connect(PB_Nessun_Listino, &QPushButton::clicked, this, [this] { NoList(); });
    connect(EF_Filter_Listini->Edit(), &QLineEdit::textChanged, this, [this] { ApplyListFilter(); });
    connect(PB_Azzera_Filter_Listini, &QPushButton::clicked, this, [this] {
        EF_Filter_Listini->SetText(QString());
        FocusField(EF_Filter_Listini->Edit());
    });
}

void TDETTAGLI_PREVENTIVO::BuildCatalogue()
{
    PAN_Main_Find_Prodotti = Panel(this, "PAN_Main_Find_Prodotti");
    auto *l = new QVBoxLayout(PAN_Main_Find_Prodotti);
    auto *filters = Panel(PAN_Main_Find_Prodotti, "PAN_Filters_Prodotti");
    auto *fl = new QGridLayout(filters);
    DCB_Find_Fornitore = new TCatalogueCombo(filters);
    DCB_Find_Fornitore->setObjectName(QStringLiteral("DCB_Find_Fornitore"));
    TS_Cataloghi = new TKRTToggleSwitch(QStringLiteral("TS_Cataloghi"),
                                        QStringLiteral("Cataloghi attuali"),
                                        QStringLiteral("Cataloghi precedenti"),
                                        filters);
    EF_Find_DescProdotto = Field(filters,
                                 "EF_Find_DescProdotto",
                                 QStringLiteral("Prodotti e listini"),
                                 200);
    EF_Find_DescProdotto->setToolTip(
        QStringLiteral("Ricerca (anche parziale) in descrizioni e codici di prodotti e listini"));
    CK_Find_Prodotti = new QCheckBox(QStringLiteral("Prodotti"), filters);
    CK_Find_Prodotti->setObjectName(QStringLiteral("CK_Find_Prodotti"));
    CK_Find_Accessori = new QCheckBox(QStringLiteral("Accessori"), filters);
    CK_Find_Accessori->setObjectName(QStringLiteral("CK_Find_Accessori"));
    CK_Find_Documentazioni = new QCheckBox(QStringLiteral("Documentazioni"), filters);
    CK_Find_Documentazioni->setObjectName(QStringLiteral("CK_Find_Documentazioni"));
    CK_Find_OrdinaRecenti = new QCheckBox(QStringLiteral("Ordina più recenti"), filters);
    CK_Find_OrdinaRecenti->setObjectName(QStringLiteral("CK_Find_OrdinaRecenti"));
    PB_EstraiElenco = Button(filters, "PB_EstraiElenco", QStringLiteral("Estrai"));
    PB_AzzeraFiltri = Button(filters, "PB_AzzeraFiltri", QStringLiteral("Azzera"));
    fl->addWidget(DCB_Find_Fornitore, 0, 0, 1, 2);
    fl->addWidget(TS_Cataloghi, 0, 2, 1, 2);
    fl->addWidget(EF_Find_DescProdotto, 1, 0, 1, 4);
    fl->addWidget(CK_Find_Prodotti, 2, 0);
    fl->addWidget(CK_Find_Accessori, 2, 1);
    fl->addWidget(CK_Find_Documentazioni, 2, 2);
    fl->addWidget(CK_Find_OrdinaRecenti, 2, 3);
    fl->addWidget(PB_EstraiElenco, 3, 2);
    fl->addWidget(PB_AzzeraFiltri, 3, 3);
    l->addWidget(filters);
    for (QCheckBox *ck :
         {CK_Find_Prodotti, CK_Find_Accessori, CK_Find_Documentazioni, CK_Find_OrdinaRecenti})
        connect(ck, &QCheckBox::clicked, this, [this] { FocusField(EF_Find_DescProdotto->Edit()); });
    connect(PB_EstraiElenco, &QPushButton::clicked, this, [this] { PB_EstraiElencoClick(); });
    connect(PB_AzzeraFiltri, &QPushButton::clicked, this, [this] { PB_AzzeraFiltriClick(); });
    connect(TS_Cataloghi, &QAbstractButton::clicked, this, [this] {
        DCB_Find_Fornitore->ShowPrevious(TS_Cataloghi->isChecked());
    });

    auto *mid = new QSplitter(Qt::Horizontal, PAN_Main_Find_Prodotti);
    auto *prodBox = new QWidget(mid);
    auto *pl = new QVBoxLayout(prodBox);
    DG_Prodotti = new TKRTGrid(prodBox);
    DG_Prodotti->setObjectName(QStringLiteral("DG_Prodotti"));
    DG_Prodotti->ShowStandardMenu = false;
    DG_Prodotti->SetRowSelect(true);
    DG_Prodotti->OnDrawColumnCell = [this](TKRTGrid *, TKRTDrawCellArgs &a) {
        DrawCatalogueCell(DST_GRID_Prodotti.get(), false, a);
    };
    pl->addWidget(DG_Prodotti, 1);
    auto *addRow = new QHBoxLayout;
    PB_Add_Prodotto = Button(prodBox,
                             "PB_Add_Prodotto",
                             QStringLiteral("Prodotto principale"),
                             QStringLiteral(" Aggiungi al preventivo come prodotto principale "));
    PB_Add_Accessorio = Button(prodBox,
                               "PB_Add_Accessorio",
                               QStringLiteral("Accessorio"),
                               QStringLiteral(" Aggiungi al preventivo come accessorio "));
    PB_Print_ProdSelezionato = Button(prodBox,
                                      "PB_Print_ProdSelezionato",
                                      QStringLiteral("Prodotto"));
    addRow->addWidget(PB_Add_Prodotto);
    addRow->addWidget(PB_Add_Accessorio);
    addRow->addWidget(PB_Print_ProdSelezionato);
    pl->addLayout(addRow);
    connect(PB_Add_Prodotto, &QPushButton::clicked, this, [this] { AddCatalogueProduct(false); });
    connect(PB_Print_ProdSelezionato, &QPushButton::clicked, this, [this] {
        if (DST_GRID_Prodotti && DST_GRID_Prodotti->RecordCount() > 0)
            PrintProductPreview(
                DST_GRID_Prodotti->FieldByName(QStringLiteral("idProdotto")).AsString());
    });
    connect(PB_Add_Accessorio, &QPushButton::clicked, this, [this] { AddCatalogueProduct(true); });
    PB_Print_ProdSelezionato->hide();

    PAN_Linked = Panel(mid, "PAN_Linked");
    auto *ll = new QVBoxLayout(PAN_Linked);
    PAN_NuLinked = new QLabel(PAN_Linked);
    PAN_NuLinked->setObjectName(QStringLiteral("PAN_NuLinked"));
    ll->addWidget(PAN_NuLinked);
    DG_ProdLinked = new TKRTGrid(PAN_Linked);
    DG_ProdLinked->setObjectName(QStringLiteral("DG_ProdLinked"));
    DG_ProdLinked->ShowStandardMenu = false;
    DG_ProdLinked->SetRowSelect(true);
    DG_ProdLinked->OnDrawColumnCell = [this](TKRTGrid *, TKRTDrawCellArgs &a) {
        DrawCatalogueCell(DST_GRID_ProdLinked.get(), true, a);
    };
    // A double click on a row chooses it or lets it go. Watched on the viewport: the grid's
    // own signal is lost when the click before it moves the current row, and the row toggled
    // must be the one under the mouse.
    DG_ProdLinked->viewport()->installEventFilter(this);
    DG_ProdLinked->OnBeforePopUpMenu = [this](TKRTGrid *) { BuildLinkedMenu(); };
    DG_ProdLinked->OnUserMenuSelect = [this](TKRTGrid *) { LinkedMenuChosen(); };
    ll->addWidget(DG_ProdLinked, 1);
    auto *lb = new QHBoxLayout;
    PB_Add_ProdLinked = Button(PAN_Linked, "PB_Add_ProdLinked", QStringLiteral("Aggiungi al prev."));
    PB_Select_All_Linked = Button(PAN_Linked, "PB_Select_All_Linked", QStringLiteral("Tutti"));
    PB_Unselect_All_Linked = Button(PAN_Linked, "PB_Unselect_All_Linked", QStringLiteral("Nessuno"));
    PB_Mod_Quantity = Button(PAN_Linked, "PB_Mod_Quantity", QStringLiteral("Quantità"));
    PB_Print_ProdLinked = Button(PAN_Linked, "PB_Print_ProdLinked", QStringLiteral("Prodotto"));
    connect(PB_Print_ProdLinked, &QPushButton::clicked, this, [this] {
        if (DST_GRID_ProdLinked && DST_GRID_ProdLinked->RecordCount() > 0)
            PrintProductPreview(
                DST_GRID_ProdLinked->FieldByName(QStringLiteral("idProdCollegato")).AsString());
    });
    for (QPushButton *b : {PB_Add_ProdLinked,
                           PB_Select_All_Linked,
                           PB_Unselect_All_Linked,
                           PB_Mod_Quantity,
                           PB_Print_ProdLinked})
        lb->addWidget(b);
    ll->addLayout(lb);
    connect(PB_Add_ProdLinked, &QPushButton::clicked, this, [this] { AddLinkedProducts(); });
    connect(PB_Select_All_Linked, &QPushButton::clicked, this, [this] { SelectAllLinked(true); });
    connect(PB_Unselect_All_Linked, &QPushButton::clicked, this, [this] { SelectAllLinked(false); });
    connect(PB_Mod_Quantity, &QPushButton::clicked, this, [this] { ShowLinkedQuantityInput(); });
    mid->addWidget(prodBox);
    mid->addWidget(PAN_Linked);
    PAN_Linked->hide();
    l->addWidget(mid, 2);

    PAN_Listini_Prodotti = Panel(PAN_Main_Find_Prodotti, "PAN_Listini_Prodotti");
    auto *lp = new QVBoxLayout(PAN_Listini_Prodotti);
    auto *lpTop = new QHBoxLayout;
    CK_Aggiungi_Anche_Listino = new QCheckBox(QStringLiteral("Anche il listino selezionato"),
                                              PAN_Listini_Prodotti);
    CK_Aggiungi_Anche_Listino->setObjectName(QStringLiteral("CK_Aggiungi_Anche_Listino"));
    EF_Filter_Listino = Field(PAN_Listini_Prodotti,
                              "EF_Filter_Listino",
                              QStringLiteral("Cerca listino..."),
                              100);
    PB_Azzera_Filter_Listino = Button(PAN_Listini_Prodotti,
                                      "PB_Azzera_Filter_Listino",
                                      QStringLiteral("Azzera"));
    lpTop->addWidget(CK_Aggiungi_Anche_Listino);
    lpTop->addWidget(EF_Filter_Listino, 1);
    lpTop->addWidget(PB_Azzera_Filter_Listino, 0, Qt::AlignBottom);
    lp->addLayout(lpTop);
    DG_ProdList = new TKRTGrid(PAN_Listini_Prodotti);
    DG_ProdList->setObjectName(QStringLiteral("DG_ProdList"));
    DG_ProdList->ShowStandardMenu = false;
    DG_ProdList->SetRowSelect(true);
    lp->addWidget(DG_ProdList, 1);
    l->addWidget(PAN_Listini_Prodotti, 1);
    connect(EF_Filter_Listino->Edit(), &QLineEdit::textChanged, this, [this] {
        ApplyCatalogueListFilter();
    });
    connect(PB_Azzera_Filter_Listino, &QPushButton::clicked, this, [this] {
        EF_Filter_Listino->SetText(QString());
        FocusField(EF_Filter_Listino->Edit());
    });

    PAN_Input_QtaLinked = Panel(this, "PAN_Input_QtaLinked");
    auto *ql = new QHBoxLayout(PAN_Input_QtaLinked);
    EF_NuQtaLinked = Field(PAN_Input_QtaLinked, "EF_NuQtaLinked", QStringLiteral("Quantità"), 15);
    PB_InputQtaLinked_Ok = Button(PAN_Input_QtaLinked, "PB_InputQtaLinked_Ok", QStringLiteral("Ok"));
    PB_InputQtaLinked_Annulla = Button(PAN_Input_QtaLinked,
                                       "PB_InputQtaLinked_Annulla",
                                       QStringLiteral("Annulla"));
    ql->addWidget(EF_NuQtaLinked);
    ql->addWidget(PB_InputQtaLinked_Ok);
    ql->addWidget(PB_InputQtaLinked_Annulla);
    PAN_Input_QtaLinked->hide();
    connect(PB_InputQtaLinked_Ok, &QPushButton::clicked, this, [this] { ConfirmLinkedQuantity(); });
    connect(PB_InputQtaLinked_Annulla, &QPushButton::clicked, this, [this] {
        CancelLinkedQuantity();
    });
}

// --- Start and the lines --------------------------------------------------------------------

void TDETTAGLI_PREVENTIVO::Start(const QString &sIdPreventivoLista,
                                 const QString &sNuPreventivoLista,
                                 const QString &sDescOggettoLista)
{
    sIdPreventivo = sIdPreventivoLista;
    sNuPreventivo = sNuPreventivoLista;
    sDescOggetto = sDescOggettoLista;
    setWindowTitle(QStringLiteral("Caricamento prodotti del preventivo n° ") + sNuPreventivo
                   + QStringLiteral(" : \"") + sDescOggetto + QLatin1Char('"'));
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(QStringLiteral("Caricamento dettaglio preventivo in corso..."));
    try {
        EstraiDettagliPreventivo(ExecText(QStringLiteral("EstraiProdottiInPreventivo"),
                                          {SqlText(sIdPreventivo)}),
                                 QString());
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura prodotti del preventivo."), e);
    }
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
    // The lines are shown first; the catalogue search follows once they are on screen.
    QTimer::singleShot(0, this, [this] { StartCatalogue(); });
}

void TDETTAGLI_PREVENTIVO::StartCatalogue()
{
    if (m_catalogueStarted)
        return;
    m_catalogueStarted = true;
    try {
        DST_Find_Fornitori = CatalogueFilterRows(*LoadCatalogues());
        DCB_Find_Fornitore->SetCatalogues(*DST_Find_Fornitori);
        const bool onlyCurrent = OnlyCurrentCatalogues(*DST_Find_Fornitori);
        TS_Cataloghi->setVisible(!onlyCurrent);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore lettura dati fornitori (ERR.F11)."), e);
    }
    ReadProductSearchFilters();
    if (!m_listini)
        ShowProdotti();
}

bool TDETTAGLI_PREVENTIVO::EstraiDettagliPreventivo(const QString &sSql, const QString &sIdToPos)
{
    const QDateTime start = QDateTime::currentDateTime();
    if (SessionInfo().bAdministrator && SessionInfo().iDebugPaneHeight > 0)
        AppendDebugLine(QLatin1String(kClassName)
                        + QStringLiteral(".EstraiDettagliPreventivo: sSql: ") + sSql);
    std::unique_ptr<TDataSet> rows = TSTD_DBMODULE::Instance()->Query(sSql);
    FillGrid(*rows, sIdToPos);
    AppendDebugTiming(QLatin1String(kClassName),
                      QStringLiteral("EstraiDettagliPreventivo"),
                      start,
                      QDateTime::currentDateTime());
    return true;
}

void TDETTAGLI_PREVENTIVO::FillGrid(TDataSet &rows, const QString &sIdToPos)
{
    bBusy = true;
    SG_Dettagli->Lines.clear();
    m_lines.clear();
    m_positions.clear();
    const int n = rows.RecordCount();
    const int posCol = rows.FieldIndex(QStringLiteral("nuOrdinamento"));
    // The lines go to the grid in the order the function gives them (by position): a gap or a
    // repeat in the stored positions is shown as it is and reported to the debug pane, never
    // written outside the grid.
    QStringList odd;
    m_lines.reserve(n);
    for (int r = 0; r < n; ++r) {
        auto line = TVRLDettPrev::CreateObject();
        FillLineFromRow(*line, rows, r);
        const int pos = posCol < 0 ? r + 1 : rows.ValueAt(r, posCol).toInt();
        if (pos != r + 1)
            odd << QStringLiteral("%1->%2").arg(pos).arg(r + 1);
        m_positions.push_back(pos);
        SG_Dettagli->Lines.push_back(line.get());
        m_lines.push_back(std::move(line));
    }
    if (!odd.isEmpty())
        AppendDebugLine(QLatin1String(kClassName)
                        + QStringLiteral(".EstraiDettagliPreventivo: posizioni non consecutive, "
                                         "righe mostrate in ordine: ")
                        + odd.join(QStringLiteral(", ")));
    SG_Dettagli->clearContents();
    SG_Dettagli->setRowCount(n);
    SG_Dettagli->horizontalHeader()->setVisible(n > 0);
    for (int r = 0; r < n; ++r) {
        const TVRLDettPrev &line = *m_lines.at(r);
        SG_Dettagli->setItem(r, 0, new QTableWidgetItem(QString::number(m_positions.at(r))));
        SG_Dettagli->setItem(r, 1, new QTableWidgetItem(QStringLiteral("IMMAGINE")));
        SG_Dettagli->setItem(r, 2, new QTableWidgetItem(line.sDescProdotto));
        SG_Dettagli->setItem(r, 3, new QTableWidgetItem(CellText(line)));
        SG_Dettagli->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
    }
    SG_Dettagli->LinesChanged();
    UpdateCounts();
    int select = 0;
    for (int r = 0; r < n; ++r)
        if (m_lines.at(r)->sIdPreventivoDet.compare(sIdToPos, Qt::CaseInsensitive) == 0)
            select = r;
    bBusy = false;
    if (n > 0)
        SelectRow(select);
    else
        ShowProperties();
}

void TDETTAGLI_PREVENTIVO::UpdateCounts()
{
    int priced = 0;
    for (const auto &line : m_lines)
        if (line->HasPrice())
            ++priced;
    SF_NuProdottiListini->setText(QStringLiteral("N° prodotti: ")
                                  + FormatNumber(0, double(m_lines.size()))
                                  + QStringLiteral("\nN° Listini: ") + FormatNumber(0, priced));
}

TVRLDettPrev *TDETTAGLI_PREVENTIVO::Line(int row) const
{
    return row >= 0 && row < int(m_lines.size()) ? m_lines.at(row).get() : nullptr;
}

int TDETTAGLI_PREVENTIVO::CurrentRow() const
{
    const int r = SG_Dettagli->currentRow();
    return r >= 0 && r < int(m_lines.size()) ? r : -1;
}

TVRLDettPrev *TDETTAGLI_PREVENTIVO::CurrentLine() const
{
    return Line(CurrentRow());
}

int TDETTAGLI_PREVENTIVO::Position(int row) const
{
    return row >= 0 && row < int(m_positions.size()) ? m_positions.at(row) : row + 1;
}

void TDETTAGLI_PREVENTIVO::SelectRow(int row)
{
    if (row < 0 || row >= LineCount())
        return;
    SG_Dettagli->setCurrentCell(row, m_listini ? 3 : 2);
    SG_Dettagli->scrollToItem(SG_Dettagli->item(row, 0));
    if (m_listini)
        FillPricePanel();
    else
        ShowProperties();
}

void TDETTAGLI_PREVENTIVO::CurrentCellChanged(int row, int column, int prevRow, int)
{
    if (bBusy || row < 0)
        return;
    // Only the description (mode "Prodotti") or the price (mode "Listini") can be selected;
    // in mode "Listini" a documentation line not at all.
    const int wanted = m_listini ? 3 : 2;
    if (m_listini && Line(row) && Line(row)->bDocumentazione) {
        bBusy = true;
        SG_Dettagli->setCurrentCell(prevRow >= 0 ? prevRow : row, wanted);
        bBusy = false;
        return;
    }
    if (column != wanted) {
        bBusy = true;
        SG_Dettagli->setCurrentCell(row, wanted);
        bBusy = false;
    }
    if (row != prevRow || column != wanted) {
        if (m_listini)
            FillPricePanel();
        else
            ShowProperties();
    }
}

void TDETTAGLI_PREVENTIVO::ShowProperties()
{
    TVRLDettPrev *line = CurrentLine();
    PAN_Prodotto_Selezionato->setVisible(line && !m_listini);
    if (!line)
        return;
    const bool busy = bBusy;
    bBusy = true;
    RB_ProdottoPrincipale->setChecked(line->bProdottoPrincipale);
    RB_Accessorio->setChecked(line->bAccessorio);
    RB_Servizio->setChecked(line->bServizio);
    CK_DocInFondo->setChecked(line->bDocInFondo);
    CK_ProdottoAttivo->setChecked(line->bAttivo);
    EF_Qta_Prod->SetText(QuantityText(line->rQuantita));
    PAN_Quantita->setVisible((line->bProdottoPrincipale || line->bAccessorio)
                             && !line->bDocumentazione);
    bBusy = busy;
}

// --- Changing a line ------------------------------------------------------------------------

bool TDETTAGLI_PREVENTIVO::SaveLine(TVRLDettPrev &line, const QString &what)
{
    TSTD_DBMODULE &db = *TSTD_DBMODULE::Instance();
    TEditableRecord rec(&db,
                        QStringLiteral("Preventivo_Dettaglio"),
                        QStringLiteral("idPreventivoDet"));
    try {
        rec.Open(ExecText(QStringLiteral("DatiPreventivoDet"), {SqlText(line.sIdPreventivoDet)}));
        db.BeginTrans();
        rec.Edit();
        TDataSet &d = rec.Data();
        d.FieldByName(QStringLiteral("flAccessorio")).SetValue(line.bAccessorio ? 1 : 0);
        d.FieldByName(QStringLiteral("flServizio")).SetValue(line.bServizio ? 1 : 0);
        d.FieldByName(QStringLiteral("flDocInFondo")).SetValue(line.bDocInFondo ? 1 : 0);
        d.FieldByName(QStringLiteral("nuQuantita")).SetValue(line.rQuantita);
        rec.Post(SessionInfo().sUserName);
        db.CommitTrans();
    } catch (const std::exception &e) {
        if (db.InTransaction())
            db.RollbackTrans();
        rec.Cancel();
        ShowDbError(QStringLiteral("Errore impostazione ") + what
                        + QStringLiteral(" prodotto nel preventivo (ERR.P10)."),
                    e);
        return false;
    }
    return true;
}

bool TDETTAGLI_PREVENTIVO::WriteLineFlag(TVRLDettPrev &line,
                                         const QString &field,
                                         bool value,
                                         const QString &failure)
{
    TSTD_DBMODULE &db = *TSTD_DBMODULE::Instance();
    TEditableRecord rec(&db,
                        QStringLiteral("Preventivo_Dettaglio"),
                        QStringLiteral("idPreventivoDet"));
    try {
        rec.Open(ExecText(QStringLiteral("DatiPreventivoDet"), {SqlText(line.sIdPreventivoDet)}));
        db.BeginTrans();
        rec.Edit();
        rec.Data().FieldByName(field).SetValue(value ? 1 : 0);
        rec.Post(SessionInfo().sUserName);
        db.CommitTrans();
    } catch (const std::exception &e) {
        if (db.InTransaction())
            db.RollbackTrans();
        rec.Cancel();
        ShowDbError(failure, e);
        return false;
    }
    return true;
}

void TDETTAGLI_PREVENTIVO::KindClicked(QRadioButton *which)
{
    TVRLDettPrev *line = CurrentLine();
    if (bBusy || !line)
        return;
    TVRLDettPrev before;
    before.copyFromOther(*line);
    QString what;
    if (which == RB_ProdottoPrincipale) {
        if (line->bDocumentazione) {
            ShowErrorBox(
                QStringLiteral("Una documentazione non può diventare un prodotto principale."));
            ShowProperties();
            return;
        }
        line->bProdottoPrincipale = true;
        line->bAccessorio = line->bServizio = line->bDocInFondo = false;
        what = QStringLiteral("come principale il");
    } else if (which == RB_Accessorio) {
        line->bAccessorio = true;
        line->bProdottoPrincipale = line->bServizio = false;
        if (!line->bDocumentazione)
            line->bDocInFondo = false;
        what = line->bDocumentazione ? QStringLiteral("come documentazione il")
                                     : QStringLiteral("come accessorio il");
    } else {
        if (line->bDocumentazione) {
            ShowErrorBox(QStringLiteral("Una documentazione non può diventare un servizio."));
            ShowProperties();
            return;
        }
        line->bServizio = true;
        line->bProdottoPrincipale = line->bAccessorio = line->bDocInFondo = false;
        what = QStringLiteral("come servizio il");
    }
    if (!SaveLine(*line, what)) {
        line->bProdottoPrincipale = before.bProdottoPrincipale;
        line->bAccessorio = before.bAccessorio;
        line->bServizio = before.bServizio;
        line->bDocInFondo = before.bDocInFondo;
    }
    ShowProperties();
    SG_Dettagli->viewport()->update();
    SG_Dettagli->setFocus();
}

void TDETTAGLI_PREVENTIVO::DocInFondoClicked()
{
    TVRLDettPrev *line = CurrentLine();
    if (bBusy || !line)
        return;
    if (!line->bDocumentazione) {
        ShowProperties();
        ShowErrorBox(QStringLiteral("Il prodotto deve essere del tipo documentazione."));
        return;
    }
    const bool on = CK_DocInFondo->isChecked();
    if (WriteLineFlag(*line,
                      QStringLiteral("flDocInFondo"),
                      on,
                      QStringLiteral("Errore modifica impostazione di stampa alla fine della "
                                     "documentazione (ERR.P11).")))
        line->bDocInFondo = on;
    ShowProperties();
    SG_Dettagli->setFocus();
}

void TDETTAGLI_PREVENTIVO::ProdottoAttivoClicked()
{
    TVRLDettPrev *line = CurrentLine();
    if (bBusy || !line)
        return;
    const bool on = CK_ProdottoAttivo->isChecked();
    if (!on && (!line->bAccessorio || line->bDocumentazione)) {
        ShowProperties();
        ShowErrorBox(QStringLiteral("Il prodotto deve essere del tipo accessorio."));
        return;
    }
    if (WriteLineFlag(*line,
                      QStringLiteral("flProdottoAttivo"),
                      on,
                      QStringLiteral("Errore modifica stato prodotto (ERR.P04).")))
        line->bAttivo = on;
    ShowProperties();
    SG_Dettagli->viewport()->update();
    SG_Dettagli->setFocus();
}

void TDETTAGLI_PREVENTIVO::SetRightEnabled(bool on)
{
    PAN_Main_Preventivo->setEnabled(on);
    PAN_Right->setEnabled(on);
    PB_ShowProdotti->setEnabled(on);
    PB_ShowListini->setEnabled(on);
}

void TDETTAGLI_PREVENTIVO::ShowQuantityInput()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return;
    EF_NuQuantita->SetText(FormatNumber(2, line->rQuantita));
    SetRightEnabled(false);
    PAN_Input_Quantita->show();
    PAN_Input_Quantita->raise();
    CenterPanelInForm(PAN_Input_Quantita, this);
    FocusField(EF_NuQuantita->Edit());
}

void TDETTAGLI_PREVENTIVO::ConfirmQuantity()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return;
    double q = 0;
    if (!ParseNumberText(EF_NuQuantita->Text(), &q)) {
        ShowErrorBox(QStringLiteral("La quantità indicata non è un numero valido."));
        FocusField(EF_NuQuantita->Edit());
        return;
    }
    if (q <= 0) {
        ShowErrorBox(QStringLiteral("Quantità non può essere 0."));
        EF_NuQuantita->SetText(FormatNumber(2, 1));
        return;
    }
    const double before = line->rQuantita;
    line->rQuantita = q;
    if (!SaveLine(*line, QStringLiteral("quantità"))) {
        line->rQuantita = before;
        return;
    }
    CancelQuantity();
    ShowProperties();
}

void TDETTAGLI_PREVENTIVO::CancelQuantity()
{
    PAN_Input_Quantita->hide();
    SetRightEnabled(true);
}

void TDETTAGLI_PREVENTIVO::HeaderMoved(int, int oldVisual, int newVisual)
{
    if (bBusy)
        return;
    // The header only tells the move; the function renumbers and answers the lines, which
    // are then shown in their stored order.
    bBusy = true;
    SG_Dettagli->verticalHeader()->moveSection(newVisual, oldVisual);
    bBusy = false;
    MoveLine(oldVisual, newVisual);
}

void TDETTAGLI_PREVENTIVO::MoveLine(int oldRow, int newRow)
{
    TVRLDettPrev *line = Line(oldRow);
    if (!line || m_listini || oldRow == newRow || newRow < 0 || newRow >= LineCount())
        return;
    const QString id = line->sIdPreventivoDet;
    try {
        EstraiDettagliPreventivo(ExecText(QStringLiteral("MovePreventivoDettaglio"),
                                          {SqlText(sIdPreventivo),
                                           SqlText(id),
                                           SqlInteger(Position(oldRow)),
                                           SqlInteger(Position(newRow)),
                                           UserArg()}),
                                 id);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore spostamento prodotto nel preventivo (ERR.P01)."), e);
    }
    SG_Dettagli->viewport()->update();
}

void TDETTAGLI_PREVENTIVO::RemoveLine()
{
    const int row = CurrentRow();
    TVRLDettPrev *line = Line(row);
    if (!line)
        return;
    PB_Remove_Prodotto->setEnabled(false);
    try {
        EstraiDettagliPreventivo(ExecText(QStringLiteral("DelPreventivoDettaglio"),
                                          {SqlText(sIdPreventivo),
                                           SqlText(line->sIdPreventivoDet),
                                           SqlInteger(Position(row)),
                                           UserArg()}),
                                 QString());
        SelectRow(qMin(row, LineCount() - 1));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore rimozione prodotto nel preventivo (ERR.P07)."), e);
    }
    PB_Remove_Prodotto->setEnabled(true);
}

void TDETTAGLI_PREVENTIVO::OpenLineDetails()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return;
    auto *details = new TDETTAGLI_PREVDET(nullptr);
    // Sized and placed when first shown.
    if (QMdiArea *area = MdiAreaOf(this))
        AddMdiChild(area, details);
    details->show();
    details->Start(line->sIdPreventivoDet,
                   line->sIdProdListino,
                   line->bAttivo,
                   line->sDescProdotto,
                   line->sCodProdotto);
}

void TDETTAGLI_PREVENTIVO::OpenProductList()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return;
    auto *list = new TGESTIONE_PRODOTTI(nullptr);
    if (QMdiArea *area = MdiAreaOf(this))
        AddMdiChild(area, list);
    const QString keep = line->sIdPreventivoDet;
    QPointer<TDETTAGLI_PREVENTIVO> self(this);
    list->OnClosedFromQuote = [self, keep] {
        if (!self)
            return;
        try {
            self->EstraiDettagliPreventivo(ExecText(QStringLiteral("EstraiProdottiInPreventivo"),
                                                    {SqlText(self->sIdPreventivo)}),
                                           keep);
        } catch (const std::exception &e) {
            ShowDbError(QStringLiteral("Errore lettura prodotti del preventivo."), e);
        }
    };
    list->show();
    list->Start(line->sIdProdotto);
}

// --- Modes ------------------------------------------------------------------------------------

void TDETTAGLI_PREVENTIVO::ShowListini()
{
    const int n = LineCount();
    if (n == 0) {
        ShowProdotti();
        return;
    }
    int from = qMax(0, CurrentRow());
    int found = -1;
    for (int r = from; r < n && found < 0; ++r)
        if (!Line(r)->bDocumentazione)
            found = r;
    for (int r = from - 1; r >= 0 && found < 0; --r)
        if (!Line(r)->bDocumentazione)
            found = r;
    if (found < 0) {
        ShowProdotti();
        return;
    }
    m_listini = true;
    SG_Dettagli->verticalHeader()->setSectionsMovable(false);
    PAN_Prodotto_Selezionato->hide();
    PAN_Right->setCurrentWidget(PAN_Main_Listini_Prodotto);
    bBusy = true;
    SG_Dettagli->setCurrentCell(found, 3);
    bBusy = false;
    FillPricePanel();
}

void TDETTAGLI_PREVENTIVO::ShowProdotti()
{
    if (!m_catalogueStarted) {
        StartCatalogue(); // shows this mode when done
        return;
    }
    m_listini = false;
    PAN_Right->setCurrentWidget(PAN_Main_Find_Prodotti);
    SG_Dettagli->verticalHeader()->setSectionsMovable(true);
    if (!DST_GRID_Prodotti)
        ExtractCatalogueProducts(false);
    PB_EstraiElencoClick();
    const int row = CurrentRow();
    if (row >= 0) {
        bBusy = true;
        SG_Dettagli->setCurrentCell(row, 2);
        bBusy = false;
    }
    ShowProperties();
}

// --- Price panel ------------------------------------------------------------------------------

bool TDETTAGLI_PREVENTIVO::LoadProductLists(const TVRLDettPrev &line)
{
    DG_ProdottoListini->SetDataSet(nullptr);
    DST_GRID_ProdottoListini.reset();
    try {
        auto rows = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("EstraiListinoProdotto"), {SqlText(line.sIdProdotto)}));
        CreateMemoryCopy(DST_GRID_ProdottoListini, *rows, true);
        CopyAllRecords(*rows, *DST_GRID_ProdottoListini);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore estrazione elenco listini del prodotto (ERR.P13)."), e);
        return false;
    }
    TDataSet &ds = *DST_GRID_ProdottoListini;
    // Deactivated lists are not offered, except the one the line carries.
    if (ds.FieldIndex(QStringLiteral("dtCanc")) >= 0) {
        QString f = QStringLiteral("dtCanc = NULL");
        if (!line.sIdProdListino.isEmpty())
            f += QStringLiteral(" OR idProdListino = ") + SqlText(line.sIdProdListino);
        ds.DeleteMatching(QStringLiteral("NOT (") + f + QLatin1Char(')'));
    }
    m_productListCount = ds.RecordCount();
    m_productHasLists = m_productListCount > 0;
    ShowOnlyFields(ds,
                   {QStringLiteral("txCodListino"),
                    QStringLiteral("txDescListino"),
                    QStringLiteral("vlListino")});
    auto label = [&ds](const char *name, const QString &title, int width) {
        TField f = ds.FieldByName(QLatin1String(name));
        f.SetDisplayLabel(title);
        f.Def().displayWidth = width;
    };
    label("txCodListino", QStringLiteral("Codice"), 20);
    label("txDescListino", QStringLiteral("Descrizione"), 50);
    label("vlListino", QStringLiteral("Listino"), 15);
    ds.FieldByName(QStringLiteral("vlListino")).Def().displayFormat = QStringLiteral("#,##0.00");
    ds.FieldByName(QStringLiteral("vlListino")).Def().alignment = TFieldAlignment::Right;
    ds.FieldByName(QStringLiteral("txCodListino")).Def().alignment = TFieldAlignment::Center;
    ds.First();
    if (!line.sIdProdListino.isEmpty())
        ds.Locate(QStringLiteral("idProdListino"), line.sIdProdListino, loCaseInsensitive);
    DG_ProdottoListini->SetColumns({});
    DG_ProdottoListini->SetDataSet(&ds);
    return true;
}

void TDETTAGLI_PREVENTIVO::ShowCeiling(double maxSconto, double maxPerc)
{
    if (maxSconto > 0) {
        EF_Listino_MaxSC->SetCaptionString(QStringLiteral("Max s.c. (valore)"));
        EF_Listino_MaxSC->SetText(FormatNumber(2, maxSconto));
        EF_Listino_MaxSC->show();
    } else if (maxPerc > 0) {
        EF_Listino_MaxSC->SetCaptionString(QStringLiteral("Max s.c. (%)"));
        EF_Listino_MaxSC->SetText(FormatNumber(2, maxPerc));
        EF_Listino_MaxSC->show();
    } else {
        EF_Listino_MaxSC->hide();
    }
}

void TDETTAGLI_PREVENTIVO::FillPricePanel()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return;
    bBusy = true;
    auto shown = [](double v) { return v == 0 ? QString() : PriceText(v); };
    if (!line->sIdProdListino.isEmpty()) {
        ShowCeiling(line->rMaxSconto, line->rMaxPercSconto);
        EF_Listino_Listino->SetText(PriceText(line->rListino));
        PAN_Sconto->show();
    } else {
        EF_Listino_Listino->SetText(QString());
        EF_Listino_MaxSC->SetText(QString());
        EF_Listino_MaxSC->hide();
        PAN_Sconto->hide();
    }
    EF_Listino_DescListino->SetText(line->sDescListino);
    EF_Listino_Importo->SetText(line->bHasImporto ? PriceText(line->rImporto) : QString());
    sListinoTag = line->sIdProdListino;
    EF_Listino_ScontoPerc->SetText(shown(line->rImpPercSconto));
    EF_Listino_ScontoVal->SetText(shown(line->rImpSconto));
    LoadProductLists(*line);
    PB_Listino_Sel_Elenco->setVisible(m_productHasLists);
    PB_Nessun_Listino->setVisible(m_productHasLists);
    DG_ProdottoListini->setVisible(!sListinoTag.isEmpty());
    DG_ProdottoListini->setEnabled(false);
    PAN_SelListino->hide();
    bBusy = false;
}

// The list price L: of the chosen list under the cursor of the lists.
static double ListPrice(TDataSet *ds)
{
    if (!ds || ds->RecordCount() == 0)
        return 0;
    return ds->FieldByName(QStringLiteral("vlListino")).AsFloat();
}

void TDETTAGLI_PREVENTIVO::AmountTyped()
{
    if (bBusy || !PAN_Sconto->isVisible())
        return;
    ApplyPriceRule(PriceAfterAmount, EF_Listino_Importo);
}

void TDETTAGLI_PREVENTIVO::PercentTyped()
{
    if (!bBusy)
        ApplyPriceRule(PriceAfterPercent, EF_Listino_ScontoPerc);
}

void TDETTAGLI_PREVENTIVO::ValueTyped()
{
    if (!bBusy)
        ApplyPriceRule(PriceAfterValue, EF_Listino_ScontoVal);
}

// The other two fields follow the one typed; the typed one keeps its text and cursor.
void TDETTAGLI_PREVENTIVO::ApplyPriceRule(void (*rule)(double, TPriceTexts &), TKRTLabelEdit *typed)
{
    TPriceTexts t{EF_Listino_Importo->Text(),
                  EF_Listino_ScontoPerc->Text(),
                  EF_Listino_ScontoVal->Text()};
    rule(ListPrice(DST_GRID_ProdottoListini.get()), t);
    if (typed != EF_Listino_Importo)
        EF_Listino_Importo->SetText(t.sImporto);
    if (typed != EF_Listino_ScontoPerc)
        EF_Listino_ScontoPerc->SetText(t.sPerc);
    if (typed != EF_Listino_ScontoVal)
        EF_Listino_ScontoVal->SetText(t.sValore);
}

bool TDETTAGLI_PREVENTIVO::LocateChosenList()
{
    return DST_GRID_ProdottoListini && !sListinoTag.isEmpty()
           && DST_GRID_ProdottoListini->Locate(QStringLiteral("idProdListino"),
                                               sListinoTag,
                                               loCaseInsensitive);
}

void TDETTAGLI_PREVENTIVO::ApplyListFilter()
{
    if (!DST_GRID_ProdottoListini)
        return;
    const QString text = EF_Filter_Listini->Text().trimmed();
    if (text.isEmpty()) {
        DST_GRID_ProdottoListini->SetFiltered(false);
        return;
    }
    DST_GRID_ProdottoListini->SetFilter(QStringLiteral("txDescListino LIKE ")
                                        + SqlText(QLatin1Char('*') + text + QLatin1Char('*')));
    DST_GRID_ProdottoListini->SetFiltered(true);
}

void TDETTAGLI_PREVENTIVO::ChooseOtherList()
{
    PAN_Main_Preventivo->setEnabled(false);
    EF_Listino_Importo->setEnabled(false);
    PAN_Sconto->setEnabled(false);
    EF_Filter_Listini->SetText(QString());
    DG_ProdottoListini->show();
    DG_ProdottoListini->setEnabled(true);
    PAN_SelListino->show();
}

void TDETTAGLI_PREVENTIVO::ConfirmOtherList()
{
    TDataSet *ds = DST_GRID_ProdottoListini.get();
    if (ds && ds->RecordCount() > 0) {
        bBusy = true;
        EF_Listino_DescListino->SetText(ds->FieldByName(QStringLiteral("txDescListino")).AsString());
        const double l = ds->FieldByName(QStringLiteral("vlListino")).AsFloat();
        EF_Listino_Listino->SetText(PriceText(l));
        EF_Listino_Importo->SetText(PriceText(l));
        EF_Listino_ScontoPerc->SetText(QString());
        EF_Listino_ScontoVal->SetText(QString());
        sListinoTag = ds->FieldByName(QStringLiteral("idProdListino")).AsString();
        ShowCeiling(ds->FieldByName(QStringLiteral("vlMaxSconto")).AsFloat(),
                    ds->FieldByName(QStringLiteral("nuMaxPercSconto")).AsFloat());
        PAN_Sconto->show();
        bBusy = false;
    }
    CancelOtherList();
}

void TDETTAGLI_PREVENTIVO::CancelOtherList()
{
    if (DST_GRID_ProdottoListini)
        DST_GRID_ProdottoListini->SetFiltered(false);
    LocateChosenList();
    PAN_SelListino->hide();
    DG_ProdottoListini->setEnabled(false);
    PAN_Main_Preventivo->setEnabled(true);
    EF_Listino_Importo->setEnabled(true);
    PAN_Sconto->setEnabled(true);
    FocusField(EF_Listino_Importo->Edit());
}

void TDETTAGLI_PREVENTIVO::NoList()
{
    sListinoTag.clear();
    bBusy = true;
    EF_Listino_Importo->SetText(QString());
    EF_Listino_Listino->SetText(QString());
    EF_Listino_ScontoPerc->SetText(QString());
    EF_Listino_ScontoVal->SetText(QString());
    EF_Listino_MaxSC->hide();
    bBusy = false;
    DG_ProdottoListini->hide();
    PAN_Sconto->hide();
}

bool TDETTAGLI_PREVENTIVO::ConfirmPrice()
{
    TVRLDettPrev *line = CurrentLine();
    if (!line)
        return false;
    // Typed numbers are checked before anything is written.
    const TPriceTexts t{EF_Listino_Importo->Text(),
                        EF_Listino_ScontoPerc->Text(),
                        EF_Listino_ScontoVal->Text()};
    double amount = 0, perc = 0, value = 0;
    const bool hasAmount = !t.sImporto.trimmed().isEmpty();
    if (hasAmount && !PriceValue(t.sImporto, &amount)) {
        ShowErrorBox(QStringLiteral("L'importo indicato non è un numero valido."));
        FocusField(EF_Listino_Importo->Edit());
        return false;
    }
    const bool discount = !sListinoTag.isEmpty();
    if (discount
        && ((!t.sPerc.trimmed().isEmpty() && !PriceValue(t.sPerc, &perc))
            || (!t.sValore.trimmed().isEmpty() && !PriceValue(t.sValore, &value)))) {
        ShowErrorBox(QStringLiteral("Lo sconto indicato non è un numero valido."));
        FocusField(EF_Listino_Importo->Edit());
        return false;
    }
    TDataSet *lists = DST_GRID_ProdottoListini.get();
    if (m_productHasLists && discount && LocateChosenList()) {
        auto ceiling = [lists](const char *name) {
            TField f = lists->FieldByName(QLatin1String(name));
            return f.IsNull() ? QVariant() : QVariant(f.AsFloat());
        };
        const QString refusal = DiscountCeilingRefusal(ceiling("nuMaxPercSconto"),
                                                       ceiling("vlMaxSconto"),
                                                       t);
        if (!refusal.isEmpty()) {
            ShowErrorBox(refusal);
            FocusField(EF_Listino_Importo->Edit());
            return false;
        }
    }
    TVRLDettPrev after;
    after.copyFromOther(*line);
    if (discount && lists && LocateChosenList()) {
        after.sIdProdListino = sListinoTag;
        after.sCodListino = m_productListCount < 2
                                ? QString()
                                : lists->FieldByName(QStringLiteral("txCodListino")).AsString();
        after.rListino = lists->FieldByName(QStringLiteral("vlListino")).AsFloat();
        after.rMaxPercSconto = lists->FieldByName(QStringLiteral("nuMaxPercSconto")).AsFloat();
        after.rMaxSconto = lists->FieldByName(QStringLiteral("vlMaxSconto")).AsFloat();
    } else {
        after.sIdProdListino.clear();
        after.sCodListino.clear();
        after.rListino = after.rMaxPercSconto = after.rMaxSconto = 0;
    }
    after.sDescListino = EF_Listino_DescListino->Text();
    after.rImporto = amount;
    after.bHasImporto = hasAmount;
    after.rImpPercSconto = t.sPerc.trimmed().isEmpty() ? 0 : perc;
    after.rImpSconto = t.sValore.trimmed().isEmpty() ? 0 : value;

    TSTD_DBMODULE &db = *TSTD_DBMODULE::Instance();
    TEditableRecord rec(&db,
                        QStringLiteral("Preventivo_Dettaglio"),
                        QStringLiteral("idPreventivoDet"));
    bool recordDone = false;
    try {
        rec.Open(ExecText(QStringLiteral("DatiPreventivoDet"), {SqlText(line->sIdPreventivoDet)}));
        db.BeginTrans();
        rec.Edit();
        TDataSet &d = rec.Data();
        auto set = [&d](const char *name, const QVariant &v) {
            d.FieldByName(QLatin1String(name)).SetValue(v);
        };
        if (!after.sIdProdListino.isEmpty()) {
            set("idProdListino", after.sIdProdListino);
            set("txCodListino",
                after.sDescListino.isEmpty() || after.sCodListino.isEmpty()
                    ? QVariant()
                    : QVariant(after.sCodListino));
            set("vlListino", after.rListino);
            set("nuMaxPercSconto", lists->FieldByName(QStringLiteral("nuMaxPercSconto")).Value());
            set("vlMaxSconto", lists->FieldByName(QStringLiteral("vlMaxSconto")).Value());
        } else {
            for (const char *name :
                 {"idProdListino", "txCodListino", "vlListino", "nuMaxPercSconto", "vlMaxSconto"})
                set(name, QVariant());
        }
        set("txDescListino",
            after.sDescListino.isEmpty() ? QVariant() : QVariant(after.sDescListino));
        set("vlImporto", hasAmount ? QVariant(amount) : QVariant());
        rec.Post(SessionInfo().sUserName);
        recordDone = true;
        if (m_productHasLists)
            db.Execute(ExecText(QStringLiteral("UpdateChangeOfListino"),
                                {SqlText(line->sIdPreventivoDet),
                                 SqlText(after.sIdProdListino),
                                 UserArg()}));
        db.CommitTrans();
    } catch (const std::exception &e) {
        if (db.InTransaction())
            db.RollbackTrans();
        rec.Cancel();
        ShowDbError(recordDone
                        ? QStringLiteral("Errore cambio listino al prodotto (ERR.P09).")
                        : QStringLiteral("Errore impostazione dati listino selezionato (ERR.P08)."),
                    e);
        return false;
    }
    line->copyFromOther(after);
    if (line->sIdProdListino.isEmpty() == false || line->bHasImporto)
        SG_Dettagli->item(CurrentRow(), 3)->setText(CellText(*line));
    UpdateCounts();
    SG_Dettagli->viewport()->update();
    return true;
}

// --- Closing ----------------------------------------------------------------------------------

QString TDETTAGLI_PREVENTIVO::ClosingQuestion() const
{
    if (m_lines.empty())
        return QString();
    bool anyMain = false;
    for (const auto &line : m_lines)
        anyMain = anyMain || line->bProdottoPrincipale;
    if (!anyMain)
        return QStringLiteral("Non hai impostato nessun \"prodotto principale\".") + LineBreaks(2)
               + QStringLiteral("Vuoi comunque chiudere la funzione ?");
    if (!m_lines.front()->bProdottoPrincipale)
        return QStringLiteral("Il primo prodotto deve essere un \"prodotto principale\", non può "
                              "essere un accessorio / servizio / documentazione.")
               + LineBreaks(2) + QStringLiteral("Vuoi comunque chiudere la funzione ?");
    return QString();
}

void TDETTAGLI_PREVENTIVO::closeEvent(QCloseEvent *event)
{
    const QString question = ClosingQuestion();
    if (!question.isEmpty() && !AskYesNo(question)) {
        event->ignore();
        return;
    }
    event->accept();
    RefreshQuoteList();
}
