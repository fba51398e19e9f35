#include "quotes/layout_preventivo.h"

#include "catalogue/dettprodpreview.h"
#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/imageroutines.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/tstd_progress.h"
#include "common/windowregistry.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtinputbox.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "domain/vrlprevpartelayout.h"
#include "masterdata/listdata.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reporterror.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(kQuoteLayoutWindow, [](QWidget *parent) {
    return new TLAYOUT_PREVENTIVO(parent);
});

const QString kSettings = QStringLiteral("SETTINGS");
const QString kKeyLayout = QStringLiteral("FrmLayOut_idLay");
const QString kKeyPathPdf = QStringLiteral("FrmLayOutRep_PathSavePdf");
constexpr int kNodeRole = Qt::UserRole + 1;

QString Text(TDataSet &rows, const char *field)
{
    TField f = rows.FindField(QLatin1String(field));
    return f.Index() >= 0 ? f.AsString() : QString();
}

qint64 Integer(TDataSet &rows, const char *field)
{
    TField f = rows.FindField(QLatin1String(field));
    return f.Index() >= 0 ? f.AsInteger() : 0;
}

QString UserSettings()
{
    return SessionInfo().sUserSettingsFile;
}

void Pause(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The icons of the tree: root 0, quote line 1, data sheet 2, paragraph 3, sub-paragraphs 4.
QIcon TreeIcon(int index)
{
    static const QColor colours[] = {QColor(0x37, 0x6E, 0xA1),
                                     QColor(0x5C, 0xBF, 0xD9),
                                     QColor(0x2E, 0x6D, 0xA4),
                                     QColor(0x1F, 0x3A, 0x5F),
                                     QColor(0x37, 0x6E, 0xA1)};
    static const char *letters[] = {"Q", "P", "S", "C", "p"};
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colours[index]);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 18, 18), 4, 4);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, QLatin1String(letters[index]));
    return QIcon(pixmap);
}

// Selected quote lines on #376EA1, other selected nodes white on black.
class TLayoutTreeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        if (o.state & QStyle::State_Selected) {
            const bool line = index.data(Qt::UserRole + 2).toInt() == kLayoutKindLine;
            painter->fillRect(o.rect, line ? QColor(0x37, 0x6E, 0xA1) : QColor(Qt::black));
            o.palette.setColor(QPalette::HighlightedText, Qt::white);
            o.palette.setColor(QPalette::Highlight, Qt::transparent);
            o.backgroundBrush = Qt::NoBrush;
        }
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(30);
        return s;
    }
};

QString ObjectOf(int nuTipologia)
{
    switch (nuTipologia) {
    case kLayoutKindLine:
        return QStringLiteral("del prodotto selezionato");
    case 10:
        return QStringLiteral("della scheda selezionata");
    case 30:
        return QStringLiteral("del paragrafo selezionato");
    default:
        return QStringLiteral("del sottoparagrafo selezionato");
    }
}

} // namespace

TLAYOUT_PREVENTIVO::TLAYOUT_PREVENTIVO(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(kQuoteLayoutWindow);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Layout del preventivo"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);

    PAN_Layouts = new QFrame(this);
    PAN_Layouts->setObjectName(QStringLiteral("PAN_Layouts"));
    auto *left = new QVBoxLayout(PAN_Layouts);
    left->setContentsMargins(0, 0, 0, 0);
    DG_Layouts = new TKRTGrid(PAN_Layouts);
    DG_Layouts->setObjectName(QStringLiteral("DG_Layouts"));
    DG_Layouts->SetRowSelect(true);
    left->addWidget(DG_Layouts, 1);
    IMG_Layout = new QLabel(PAN_Layouts);
    IMG_Layout->setObjectName(QStringLiteral("IMG_Layout"));
    IMG_Layout->setAlignment(Qt::AlignCenter);
    IMG_Layout->setMinimumHeight(220);
    IMG_Layout->setFrameShape(QFrame::StyledPanel);
    left->addWidget(IMG_Layout);
    auto button = [this, left](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, PAN_Layouts);
        b->setObjectName(QLatin1String(name));
        left->addWidget(b);
        return b;
    };
    PB_Select_Layout = button("PB_Select_Layout", QStringLiteral("Seleziona Layout"));
    PB_Modify_Layout = button("PB_Modify_Layout", QStringLiteral("Modifica Layout "));
    PB_CreaPDF = button("PB_CreaPDF", QStringLiteral("Esporta in PDF"));
    PB_CreaPDF->setToolTip(QStringLiteral(" Esporta in PDF "));
    PB_Gestione_FolderPrev = button("PB_Gestione_FolderPrev", QStringLiteral("Preventivo in Cloud"));
    PB_SaveJPG = button("PB_SaveJPG", QStringLiteral("jpg clipb"));
    PB_Gestione_FolderPrev->hide();
    PB_CreaPDF->hide();
    PB_SaveJPG->setVisible(SessionInfo().bAdministrator);
    PB_Select_Layout->setEnabled(false);
    PB_Modify_Layout->setEnabled(false);
    TS_TipoPreview = new QCheckBox(PAN_Layouts);
    TS_TipoPreview->setObjectName(QStringLiteral("TS_TipoPreview"));
    TS_TipoPreview->setChecked(true);
    TS_TipoPreview->hide();
    row->addWidget(PAN_Layouts, 0);

    PAN_Tree = new QFrame(this);
    PAN_Tree->setObjectName(QStringLiteral("PAN_Tree"));
    auto *middle = new QVBoxLayout(PAN_Tree);
    middle->setContentsMargins(0, 0, 0, 0);
    TV_Dettagli = new QTreeWidget(PAN_Tree);
    TV_Dettagli->setObjectName(QStringLiteral("TV_Dettagli"));
    TV_Dettagli->setHeaderHidden(true);
    TV_Dettagli->setItemsExpandable(false);
    TV_Dettagli->setRootIsDecorated(false);
    TV_Dettagli->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV_Dettagli->setContextMenuPolicy(Qt::CustomContextMenu);
    TV_Dettagli->setItemDelegate(new TLayoutTreeDelegate(TV_Dettagli));
    TV_Dettagli->setIconSize(QSize(20, 20));
    // Always fully expanded: no branch arrows that suggest otherwise.
    TV_Dettagli->setStyleSheet(
        QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
    middle->addWidget(TV_Dettagli, 1);
    SF_LegendaMU
        = new QLabel(QStringLiteral(
                         "[M.U.]  Se possibile, stampa tutti i contenuti nella stessa pagina.  "
                         "(Schede e sottoparagrafi)"),
                     PAN_Tree);
    SF_LegendaMU->setObjectName(QStringLiteral("SF_LegendaMU"));
    SF_LegendaMU->setWordWrap(true);
    SF_LegendaSP = new QLabel(QStringLiteral("[S.P.]  Effettua un salto pagina prima di stampare. "
                                             "(Prodotti, schede, paragrafi e sottoparagrafi)"),
                              PAN_Tree);
    SF_LegendaSP->setObjectName(QStringLiteral("SF_LegendaSP"));
    SF_LegendaSP->setWordWrap(true);
    middle->addWidget(SF_LegendaMU);
    middle->addWidget(SF_LegendaSP);
    row->addWidget(PAN_Tree, 1);
    PAN_Tree->hide();

    PAN_Preview = new TDettProdPreviewPane(this);
    row->addWidget(PAN_Preview, 3);

    PAN_Wait = new QLabel(this);
    PAN_Wait->setObjectName(QStringLiteral("PAN_Wait"));
    PAN_Wait->setAlignment(Qt::AlignCenter);
    PAN_Wait->setWordWrap(true);
    PAN_Wait->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 225); "
                                           "color: #1F3A5F; font-size: 15px; font-weight: bold; "
                                           "}"));
    PAN_Wait->hide();

    PMNU_Funzioni_Tree = new QMenu(this);
    PMNU_Funzioni_Tree->setObjectName(QStringLiteral("PMNU_Funzioni_Tree"));
    MNU_MantieniUnitoSottop = PMNU_Funzioni_Tree->addAction(QString());
    MNU_MantieniUnitoSottop->setObjectName(QStringLiteral("MNU_MantieniUnitoSottop"));
    MNU_NewPageBefore = PMNU_Funzioni_Tree->addAction(QString());
    MNU_NewPageBefore->setObjectName(QStringLiteral("MNU_NewPageBefore"));
    PMNU_Funzioni_Tree->addSeparator();
    MNU_AggiornaLayout = PMNU_Funzioni_Tree->addAction(QStringLiteral("Aggiorna layout"));
    MNU_AggiornaLayout->setObjectName(QStringLiteral("MNU_AggiornaLayout"));

    connect(PB_Select_Layout, &QPushButton::clicked, this, &TLAYOUT_PREVENTIVO::SelezionaLayout);
    connect(PB_Modify_Layout, &QPushButton::clicked, this, &TLAYOUT_PREVENTIVO::ModificaLayout);
    connect(PB_CreaPDF, &QPushButton::clicked, this, &TLAYOUT_PREVENTIVO::CreaPdf);
    connect(PB_Gestione_FolderPrev,
            &QPushButton::clicked,
            this,
            &TLAYOUT_PREVENTIVO::GestioneFolderPrev);
    connect(PB_SaveJPG, &QPushButton::clicked, this, &TLAYOUT_PREVENTIVO::SaveLayoutImage);
    connect(MNU_MantieniUnitoSottop,
            &QAction::triggered,
            this,
            &TLAYOUT_PREVENTIVO::ChangeParteUnita);
    connect(MNU_NewPageBefore,
            &QAction::triggered,
            this,
            &TLAYOUT_PREVENTIVO::ChangeSaltoPaginaNodo);
    connect(MNU_AggiornaLayout, &QAction::triggered, this, &TLAYOUT_PREVENTIVO::AggiornaLayout);
    connect(TV_Dettagli,
            &QTreeWidget::customContextMenuRequested,
            this,
            &TLAYOUT_PREVENTIVO::ContextMenuRequested);
    connect(TV_Dettagli,
            &QTreeWidget::itemSelectionChanged,
            this,
            &TLAYOUT_PREVENTIVO::TreeSelectionChanged);
    connect(TV_Dettagli, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem *item) {
        item->setExpanded(true);
    });

    if (QWidget *area = parentWidget()) {
        const QSize free = area->size();
        resize(qMax(900, free.width() * 9 / 10), qMax(600, free.height() * 95 / 100));
    } else {
        resize(1400, 900);
    }
}

TLAYOUT_PREVENTIVO::~TLAYOUT_PREVENTIVO()
{
    // The grid observes the layouts, which go before the children.
    DG_Layouts->SetDataSet(nullptr);
}

void TLAYOUT_PREVENTIVO::Start(const QString &sIdPreventivoLista,
                               const QString &sIdSocietaLista,
                               const QString &sDescOggettoLista,
                               const QString &sNuPreventivoLista)
{
    sIdPreventivo = sIdPreventivoLista;
    sIdSocieta = sIdSocietaLista;
    sDescPreventivo = sDescOggettoLista;
    sNuPreventivo = sNuPreventivoLista;
    setWindowTitle(QStringLiteral("Layout del preventivo n° ") + sNuPreventivoLista
                   + QStringLiteral(" : \"") + sDescOggettoLista + u'"');
    // Another quote: what was built belongs to the previous one.
    PAN_Preview->DestroyViewer();
    TV_Dettagli->clear();
    m_nodes.clear();
    m_nodeOfItem.clear();
    xDoc.Free();
    bLayoutBuilt = false;
    bAggiornaLayoutVisible = false;
    PB_Gestione_FolderPrev->hide();
    PB_CreaPDF->hide();
    ShowTree(false);
    LoadLayouts();
}

TKRTViewReport *TLAYOUT_PREVENTIVO::ExportPreview()
{
    return PAN_Preview->VR_Preview;
}

void TLAYOUT_PREVENTIVO::ReloadExportedQuote()
{
    bAggiornaPreventivo = true;
}

bool TLAYOUT_PREVENTIVO::IsFinalMode() const
{
    return TS_TipoPreview->isChecked();
}

void TLAYOUT_PREVENTIVO::LoadLayouts()
{
    DG_Layouts->SetDataSet(nullptr);
    DST_GRID_Layouts.reset();
    PB_Select_Layout->setEnabled(false);
    PB_Modify_Layout->setEnabled(false);
    try {
        std::unique_ptr<TDataSet> rows = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("EstraiLayouts"), {SqlText(sIdSocieta)}));
        CreateMemoryCopy(DST_GRID_Layouts, *rows, true);
        CopyAllRecords(*rows, *DST_GRID_Layouts);
    } catch (const std::exception &e) {
        DST_GRID_Layouts.reset();
        ShowDbError(QStringLiteral("Errore estrazione elenco layout (ERR.V01)."), e);
        return;
    }
    ShowOnlyFields(*DST_GRID_Layouts, {QStringLiteral("txDescLayout")});
    TField desc = DST_GRID_Layouts->FieldByName(QStringLiteral("txDescLayout"));
    desc.SetDisplayLabel(QStringLiteral("Descrizione"));
    desc.Def().displayWidth = 40;
    DG_Layouts->SetDataSet(DST_GRID_Layouts.get());
    if (QItemSelectionModel *selection = DG_Layouts->selectionModel()) {
        connect(selection,
                &QItemSelectionModel::currentRowChanged,
                this,
                &TLAYOUT_PREVENTIVO::CurrentLayoutChanged,
                Qt::UniqueConnection);
    }
    const QString remembered = UserSettings().isEmpty()
                                   ? QString()
                                   : IniReadText(kSettings, kKeyLayout, QString(), UserSettings());
    int row = 0;
    for (int r = 0; r < DST_GRID_Layouts->RecordCount(); ++r) {
        if (DST_GRID_Layouts->ValueAt(r, DST_GRID_Layouts->FieldIndex(QStringLiteral("idLayout")))
                .toString()
            == remembered) {
            row = r;
            break;
        }
    }
    if (!DST_GRID_Layouts->IsEmpty()) {
        DG_Layouts->setCurrentIndex(DG_Layouts->model()->index(row, 0));
        DST_GRID_Layouts->SetRecNo(row + 1);
    }
    CurrentLayoutChanged();
    const bool any = !DST_GRID_Layouts->IsEmpty();
    PB_Select_Layout->setEnabled(any);
    PB_Modify_Layout->setEnabled(any);
}

void TLAYOUT_PREVENTIVO::CurrentLayoutChanged()
{
    if (!DST_GRID_Layouts || DST_GRID_Layouts->IsEmpty()) {
        IMG_Layout->clear();
        return;
    }
    const QModelIndex current = DG_Layouts->currentIndex();
    if (current.isValid())
        DST_GRID_Layouts->SetRecNo(current.row() + 1);
    TField image = DST_GRID_Layouts->FieldByName(QStringLiteral("imgLayout"));
    const QImage picture = image.IsNull() ? QImage() : ImageLoadFromBytes(image.AsBytes());
    if (picture.isNull()) {
        IMG_Layout->clear();
        return;
    }
    IMG_Layout->setPixmap(
        QPixmap::fromImage(picture.scaled(IMG_Layout->size().boundedTo(QSize(400, 400)),
                                          Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation)));
}

void TLAYOUT_PREVENTIVO::ShowWaitText(const QString &text)
{
    PAN_Wait->setText(text);
    PAN_Wait->setGeometry(rect());
    PAN_Wait->show();
    PAN_Wait->raise();
    PAN_Layouts->setEnabled(false);
    PAN_Tree->setEnabled(false);
    PAN_Preview->setEnabled(false);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TLAYOUT_PREVENTIVO::HideWait()
{
    PAN_Wait->hide();
    PAN_Layouts->setEnabled(true);
    PAN_Tree->setEnabled(true);
    PAN_Preview->setEnabled(true);
}

void TLAYOUT_PREVENTIVO::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PAN_Wait->setGeometry(rect());
    // The first legend line only while it takes at most two lines.
    if (PAN_Tree->isVisible()) {
        const QFontMetrics fm(SF_LegendaMU->font());
        const int lines = fm.horizontalAdvance(SF_LegendaMU->text()) / qMax(1, PAN_Tree->width())
                          + 1;
        SF_LegendaMU->setVisible(lines <= 2);
    }
}

void TLAYOUT_PREVENTIVO::ShowTree(bool visible)
{
    auto *row = static_cast<QHBoxLayout *>(layout());
    PAN_Tree->setVisible(visible);
    if (visible) {
        PAN_Layouts->setMaximumWidth(260);
        row->setStretchFactor(PAN_Layouts, 0);
        row->setStretchFactor(PAN_Tree, 2);
        row->setStretchFactor(PAN_Preview, 3);
    } else {
        PAN_Layouts->setMaximumWidth(QWIDGETSIZE_MAX);
        row->setStretchFactor(PAN_Layouts, 2);
        row->setStretchFactor(PAN_Preview, 3);
    }
}

void TLAYOUT_PREVENTIVO::SelezionaLayout()
{
    BuildLayout(true);
}

void TLAYOUT_PREVENTIVO::ModificaLayout()
{
    BuildLayout(false);
}

void TLAYOUT_PREVENTIVO::BuildLayout(bool bFinal)
{
    if (m_building || !DST_GRID_Layouts || DST_GRID_Layouts->IsEmpty())
        return;
    m_building = true;
    CurrentLayoutChanged();
    const TLayoutChoice chosen = LayoutChoiceFromRow(*DST_GRID_Layouts);
    if (!UserSettings().isEmpty())
        IniWriteText(kSettings, kKeyLayout, chosen.idLayout, UserSettings());
    PAN_Preview->DestroyViewer();
    bAggiornaLayoutVisible = false;
    {
        const QSignalBlocker block(TS_TipoPreview);
        TS_TipoPreview->setChecked(bFinal);
    }
    ShowTree(!bFinal);
    xLayout = chosen;
    bLayoutBuilt = false;
    if (EstraiLayOut(chosen.txCodLayout)) {
        BuildLayoutTree();
        PreviewReportLayout(bFinal);
        bLayoutBuilt = PAN_Preview->HasPreview();
    }
    PB_Gestione_FolderPrev->setVisible(bLayoutBuilt);
    PB_CreaPDF->setVisible(bLayoutBuilt);
    m_building = false;
}

bool TLAYOUT_PREVENTIVO::EstraiLayOut(const QString &txCodLayout)
{
    const QDateTime start = QDateTime::currentDateTime();
    TLayoutChoice layout = xLayout;
    layout.txCodLayout = txCodLayout;
    bool ok = true;
    try {
        ReadLayoutDocument(xDoc,
                           *TSTD_DBMODULE::Instance(),
                           sIdPreventivo,
                           sIdSocieta,
                           layout,
                           [this](TLayoutStep step) { ShowWaitText(LayoutStepText(step)); });
    } catch (const std::exception &e) {
        HideWait();
        xDoc.Free();
        ShowDbError(QStringLiteral("Errore estrazione dati del layout del preventivo (ERR.V04)."),
                    e);
        ok = false;
    }
    AppendDebugTiming(QStringLiteral("TLAYOUT_PREVENTIVO"),
                      QStringLiteral("EstraiLayOut"),
                      start,
                      QDateTime::currentDateTime());
    if (ok && !xDoc.unreadableImages.isEmpty()) {
        HideWait();
        ShowWarningBox(QStringLiteral("Alcune immagini non si possono leggere e non sono state "
                                      "stampate:")
                       + LineBreaks(2) + xDoc.unreadableImages.join(QStringLiteral("\r\n")));
    }
    return ok;
}

QString TLAYOUT_PREVENTIVO::NodeCaption(TDataSet &row)
{
    const int code = int(Integer(row, "nuTipologia"));
    const bool salto = Integer(row, "flNewPageBefore") != 0;
    const bool unita = Integer(row, "flParteCompUnita") != 0;
    const QString sp = salto ? QStringLiteral("[S.P.] ") : QString();
    const QString mu = unita ? QStringLiteral("[M.U.] ") : QString();
    const QString order = QStringLiteral("P") + QString::number(Integer(row, "nuOrderLayout"))
                          + QStringLiteral(". ");
    const QString desc = Text(row, "txDescNodo").trimmed();
    const qint64 quantity = Integer(row, "nuQuantitaParte");
    switch (code) {
    case kLayoutKindLine:
        return sp + desc;
    case 10:
        return order + sp + mu + (desc.isEmpty() ? QStringLiteral("(Scheda senza titolo)") : desc);
    case 30:
        return sp + (desc.isEmpty() ? QStringLiteral("(paragrafo senza descrizione)") : desc);
    case 40:
        return order + sp + mu
               + (quantity > 0 ? QStringLiteral("N° ") + FormatNumber(0, double(quantity)) + u' '
                               : QString())
               + (desc.isEmpty() ? QStringLiteral("(senza descrizione)") : desc);
    case kLayoutKindPartWithImages: {
        const QString descC = Text(row, "txDescNodoC").trimmed();
        return order + sp + mu
               + (quantity > 0 ? QStringLiteral(" N° ") + FormatNumber(0, double(quantity)) + u' '
                               : QString())
               + (descC.isEmpty() ? QStringLiteral("(senza descrizione) (testo ed immagine)")
                                  : descC);
    }
    default:
        return desc;
    }
}

void TLAYOUT_PREVENTIVO::BuildLayoutTree()
{
    const QSignalBlocker block(TV_Dettagli);
    TV_Dettagli->clear();
    m_nodes.clear();
    m_nodeOfItem.clear();
    auto addNode = [this](QTreeWidgetItem *parentItem,
                          std::unique_ptr<TVRLPrevParteLayout> node,
                          const QString &caption) {
        auto *item = parentItem ? new QTreeWidgetItem(parentItem)
                                : new QTreeWidgetItem(TV_Dettagli);
        item->setText(0, caption);
        item->setData(0, Qt::UserRole + 2, node->iNuTipologia);
        int icon = 4;
        QFont font = TV_Dettagli->font();
        QColor colour(0x37, 0x6E, 0xA1);
        switch (node->iNuTipologia) {
        case 0:
            icon = 0;
            font.setBold(true);
            colour = QColor(0x1F, 0x3A, 0x5F);
            break;
        case kLayoutKindLine:
            icon = 1;
            font.setBold(true);
            font.setItalic(true);
            font.setPointSize(14);
            colour = QColor(0x5C, 0xBF, 0xD9);
            break;
        case 10:
        case 30:
            icon = node->iNuTipologia == 10 ? 2 : 3;
            font.setBold(true);
            font.setPointSize(12);
            colour = Qt::blue;
            break;
        default:
            font.setBold(true);
            font.setPointSize(10);
            break;
        }
        item->setIcon(0, TreeIcon(icon));
        item->setFont(0, font);
        item->setForeground(0, colour);
        m_nodeOfItem.insert(item, node.get());
        m_nodes.push_back(std::move(node));
        return item;
    };

    auto root = TVRLPrevParteLayout::CreateObject();
    root->sIdPreventivoDet = sIdPreventivo;
    root->sIdNodo = sIdPreventivo;
    root->sIdParent = sIdPreventivo;
    root->sIdSezione = sIdPreventivo;
    root->xTipoNode = cnPreventivo;
    root->bParteUnita = false;
    QTreeWidgetItem *rootItem = addNode(nullptr, std::move(root), sDescPreventivo.trimmed());

    if (xDoc.DST_TREE_Dettagli) {
        TDataSet &rows = *xDoc.DST_TREE_Dettagli;
        rows.SetSort(QStringLiteral("nuOrderLayout"));
        for (rows.First(); !rows.Eof(); rows.Next()) {
            const int code = int(Integer(rows, "nuTipologia"));
            const QString line = Text(rows, "idPreventivoDet");
            const QString parent = Text(rows, "idParent");
            QTreeWidgetItem *parentItem = code == kLayoutKindLine ? FindItem(sIdPreventivo, parent)
                                                                  : FindItem(line, parent);
            if (!parentItem)
                continue; // its parent is not printed
            auto node = TVRLPrevParteLayout::CreateObject();
            node->sIdPreventivoDet = line;
            node->sIdNodo = Text(rows, "idNodo");
            node->sIdParent = parent;
            node->sIdSezione = Text(rows, "idSezione");
            node->iNuTipologia = code;
            node->xTipoNode = LayoutNodeTipologia(code);
            node->bParteUnita = Integer(rows, "flParteCompUnita") != 0;
            node->bNewPageBefore = Integer(rows, "flNewPageBefore") != 0;
            addNode(parentItem, std::move(node), NodeCaption(rows));
        }
        rows.First();
    }
    TV_Dettagli->expandAll();
    TV_Dettagli->setCurrentItem(rootItem);
}

QTreeWidgetItem *TLAYOUT_PREVENTIVO::FindItem(const QString &sIdPreventivoDet,
                                              const QString &sIdNodo) const
{
    for (auto it = m_nodeOfItem.constBegin(); it != m_nodeOfItem.constEnd(); ++it) {
        if (it.value()->sIdPreventivoDet == sIdPreventivoDet && it.value()->sIdNodo == sIdNodo)
            return it.key();
    }
    return nullptr;
}

TVRLPrevParteLayout *TLAYOUT_PREVENTIVO::NodeOf(QTreeWidgetItem *item) const
{
    return item ? m_nodeOfItem.value(item, nullptr) : nullptr;
}

bool TLAYOUT_PREVENTIVO::PreviewReportLayout(bool bFinal)
{
    const QDateTime start = QDateTime::currentDateTime();
    ShowWaitText(QStringLiteral("Preparazione del modulo di stampa in anteprima..."));
    PAN_Preview->DestroyViewer();
    if (!bFinal)
        TV_Dettagli->setEnabled(false);
    const QString report = bFinal ? xLayout.txNomeReport : xLayout.txNomeReportEdit;
    QString guid = NewGuidText();
    guid.remove(QLatin1Char('{'))
        .remove(QLatin1Char('}'))
        .replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString exportFile = ProgramFolder() + QStringLiteral("/Reports/FindSezione_") + guid
                               + QStringLiteral(".rtf");
    bool built = false;
    try {
        ShowWaitText(QStringLiteral("Preparazione terminata, inizia la creazione della stampa "
                                    "finale..."));
        built = PAN_Preview->Build(
            [&](TKRTCrystalReport &engine) {
                BindLayoutReport(engine, xDoc, report, xLayout.txCodLayout, !bFinal);
            },
            exportFile,
            QString());
    } catch (const EReportError &e) {
        HideWait();
        ShowErrorBox(e.text());
    } catch (const std::exception &e) {
        HideWait();
        ShowErrorBox(QString::fromStdString(e.what()));
    }
    if (built) {
        if (!bFinal)
            AssignLayoutPages();
        PAN_Preview->SetZoomIndex(1);
        ShowWaitText(QStringLiteral("Layout del preventivo terminato !"));
        Pause(SessionInfo().iPauseFactor * 500);
    }
    HideWait();
    if (!bFinal) {
        TV_Dettagli->setEnabled(true);
        TV_Dettagli->setFocus();
    }
    AppendDebugTiming(QStringLiteral("TDETTAGLI_PRODOTTO"),
                      QStringLiteral("PreviewReportLayout"),
                      start,
                      QDateTime::currentDateTime());
    return built;
}

int TLAYOUT_PREVENTIVO::PageOfNode(const QString &text,
                                   const QString &sIdPreventivoDet,
                                   const QString &sIdNodo)
{
    if (sIdPreventivoDet.isEmpty() || sIdNodo.isEmpty())
        return 0;
    const qsizetype at = text.indexOf(sIdPreventivoDet + sIdNodo);
    if (at < 4)
        return 0;
    bool ok = false;
    const int page = text.mid(at - 4, 3).toInt(&ok);
    return ok && page > 0 ? page : 0;
}

void TLAYOUT_PREVENTIVO::AssignLayoutPages()
{
    const QString &text = PAN_Preview->sTextReportForPageNumbers;
    // Every mark once: "ppp|" + line id + node id (two ids of 38 characters).
    QHash<QString, int> pages;
    constexpr int kIds = 76;
    for (qsizetype at = text.indexOf(QLatin1String("|{")); at >= 0;
         at = text.indexOf(QLatin1String("|{"), at + 1)) {
        if (at < 3 || at + 1 + kIds > text.size())
            continue;
        const QString key = text.mid(at + 1, kIds);
        if (pages.contains(key))
            continue;
        bool ok = false;
        const int page = text.mid(at - 3, 3).toInt(&ok);
        if (ok && page > 0)
            pages.insert(key, page);
    }
    for (TVRLPrevParteLayout *node : std::as_const(m_nodeOfItem)) {
        const QString key = node->sIdPreventivoDet + node->sIdNodo;
        int page = key.size() == kIds ? pages.value(key, 0) : 0;
        if (page == 0)
            page = PageOfNode(text, node->sIdPreventivoDet, node->sIdNodo);
        if (page > 0)
            node->iPagePreview = page;
    }
}

void TLAYOUT_PREVENTIVO::TreeSelectionChanged()
{
    TVRLPrevParteLayout *node = NodeOf(TV_Dettagli->currentItem());
    if (!node || !PAN_Preview->HasPreview())
        return;
    if (node->iPagePreview > 0 && node->iPagePreview != PAN_Preview->CurrentPage())
        PAN_Preview->TurnToPage(node->iPagePreview);
}

void TLAYOUT_PREVENTIVO::SelectNode(const QString &sIdPreventivoDet, const QString &sIdNodo)
{
    if (QTreeWidgetItem *item = FindItem(sIdPreventivoDet, sIdNodo)) {
        TV_Dettagli->setCurrentItem(item);
        TV_Dettagli->scrollToItem(item);
    }
}

void TLAYOUT_PREVENTIVO::ContextMenuRequested(const QPoint &pos)
{
    QTreeWidgetItem *item = TV_Dettagli->itemAt(pos);
    if (!item)
        return;
    if (QMenu *menu = OpenTreeMenu(item, TV_Dettagli->viewport()->mapToGlobal(pos)))
        menu->popup(TV_Dettagli->viewport()->mapToGlobal(pos));
}

QMenu *TLAYOUT_PREVENTIVO::OpenTreeMenu(QTreeWidgetItem *item, const QPoint &)
{
    if (!item)
        item = TV_Dettagli->currentItem();
    if (!item || IsFinalMode())
        return nullptr;
    TV_Dettagli->setCurrentItem(item);
    TVRLPrevParteLayout *node = NodeOf(item);
    if (!node) {
        ShowErrorBox(QStringLiteral("Errore selezione nodo."));
        return nullptr;
    }
    if (!oCurrentDettProd)
        oCurrentDettProd = TVRLPrevParteLayout::CreateObject();
    oCurrentDettProd->copyFromOther(*node);
    const int code = node->iNuTipologia;
    const bool keepable = code == 10 || code == 40 || code == kLayoutKindPartWithImages;
    MNU_MantieniUnitoSottop->setVisible(keepable);
    MNU_MantieniUnitoSottop->setText(
        node->bParteUnita ? QStringLiteral("Stampa senza considerazioni particolari")
                          : QStringLiteral("Stampa se possibile nella stessa pagina"));
    MNU_NewPageBefore->setText(node->bNewPageBefore
                                   ? QStringLiteral("Non effettuare un salto pagina prima di "
                                                    "stampare")
                                   : QStringLiteral("Effettua un salto pagina prima di stampare"));
    MNU_AggiornaLayout->setVisible(bAggiornaLayoutVisible);
    return PMNU_Funzioni_Tree;
}

void TLAYOUT_PREVENTIVO::ChangeParteUnita()
{
    ToggleOption(false);
}

void TLAYOUT_PREVENTIVO::ChangeSaltoPaginaNodo()
{
    ToggleOption(true);
}

void TLAYOUT_PREVENTIVO::ToggleOption(bool bSalto)
{
    if (!oCurrentDettProd)
        return;
    const TVRLPrevParteLayout node = *oCurrentDettProd;
    // The quote itself has no row in the document: nothing to set.
    if (node.xTipoNode == cnPreventivo)
        return;
    const QString object = ObjectOf(node.iNuTipologia);
    TSTD_PROGRESS *progress = TSTD_PROGRESS::Instance();
    if (progress)
        progress->Show((bSalto ? QStringLiteral("Impostazione salto pagina ")
                               : QStringLiteral("Impostazione stampa "))
                           + object + QStringLiteral(" in corso..."),
                       this);
    try {
        TSTD_DBMODULE::Instance()->Query(ExecText(bSalto ? QStringLiteral("ChangeSaltoPaginaNodo")
                                                         : QStringLiteral("ChangeParteUnita"),
                                                  {SqlText(node.sIdPreventivoDet),
                                                   SqlText(node.sIdNodo),
                                                   SqlInteger(node.iNuTipologia),
                                                   SqlText(SessionInfo().sUserName)}));
    } catch (const std::exception &e) {
        if (progress)
            progress->Hide();
        ShowDbError(bSalto ? QStringLiteral("Errore impostazione salto pagina nodo ") + object
                                 + QStringLiteral(" (ERR.V03).")
                           : QStringLiteral("Errore impostazione stampa ") + object
                                 + QStringLiteral(" (ERR.V02)."),
                    e);
        return;
    }
    const QString field = bSalto ? QStringLiteral("flNewPageBefore")
                                 : QStringLiteral("flParteCompUnita");
    const QString filter = QStringLiteral("idPreventivoDet = ") + SqlText(node.sIdPreventivoDet)
                           + QStringLiteral(" AND idNodo = ") + SqlText(node.sIdNodo);
    for (TDataSet *rows : {xDoc.DST_RPT_Main.get(), xDoc.DST_TREE_Dettagli.get()}) {
        if (!rows)
            continue;
        rows->SetFilter(filter);
        rows->SetFiltered(true);
        for (rows->First(); !rows->Eof(); rows->Next()) {
            rows->Edit();
            TField f = rows->FieldByName(field);
            f.SetValue(f.AsInteger() != 0 ? 0 : 1);
            rows->Post();
        }
        rows->SetFiltered(false);
        rows->SetFilter(QString());
        rows->First();
    }
    // The tree is rebuilt from the rows; the pages stay those of the preview shown.
    QHash<QString, int> pages;
    for (TVRLPrevParteLayout *n : std::as_const(m_nodeOfItem))
        pages.insert(n->sIdPreventivoDet + n->sIdNodo, n->iPagePreview);
    BuildLayoutTree();
    for (TVRLPrevParteLayout *n : std::as_const(m_nodeOfItem))
        n->iPagePreview = pages.value(n->sIdPreventivoDet + n->sIdNodo, 0);
    AssignLayoutPages();
    SelectNode(node.sIdPreventivoDet, node.sIdNodo);
    bAggiornaLayoutVisible = true;
    if (progress)
        progress->Hide();
}

void TLAYOUT_PREVENTIVO::AggiornaLayout()
{
    TVRLPrevParteLayout *node = NodeOf(TV_Dettagli->currentItem());
    const QString line = node ? node->sIdPreventivoDet : QString();
    const QString id = node ? node->sIdNodo : QString();
    sLASTIdParent = node ? node->sIdParent : QString();
    sLASTIdNodo = id;
    if (IsFinalMode()) {
        PreviewReportLayout(true);
        bAggiornaLayoutVisible = false;
    } else {
        BuildLayout(false);
    }
    SelectNode(line, id);
}

void TLAYOUT_PREVENTIVO::CreaPdf()
{
    if (!IsFinalMode() || !PAN_Preview->HasPreview()) {
        ShowErrorBox(QStringLiteral("Impostare il layout del preventivo in definitivo")
                     + LineBreaks(2) + QStringLiteral("prima di continuare."));
        return;
    }
    const QString settings = UserSettings();
    const QString folder = settings.isEmpty()
                               ? ProgramFolder()
                               : IniReadText(kSettings, kKeyPathPdf, ProgramFolder(), settings);
    QString file = AskSaveFileName(QStringLiteral("Esporta in PDF"),
                                   folder,
                                   QStringLiteral("Documento PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    const QFileInfo fi(file);
    if (fi.fileName().isEmpty() || fi.completeBaseName().trimmed().isEmpty()) {
        ShowErrorBox(QStringLiteral("Impostare un nome del pdf da creare."));
        return;
    }
    sPathPdfFile = fi.absolutePath();
    if (!settings.isEmpty())
        IniWriteText(kSettings, kKeyPathPdf, sPathPdfFile, settings);
    if (fi.suffix().isEmpty())
        file += QStringLiteral(".pdf");
    ShowWaitText(QStringLiteral("Esportazione \"") + FileBaseName(file)
                 + QStringLiteral("\" in corso..."));
    PAN_Preview->PAN_Status_Report->setEnabled(false);
    QString error;
    try {
        SaveReportAsPdf(PAN_Preview->VR_Preview, file);
    } catch (const EReportError &e) {
        error = e.text();
    }
    PAN_Preview->PAN_Status_Report->setEnabled(true);
    HideWait();
    if (!error.isEmpty()) {
        ShowErrorBox(error);
        return;
    }
    ShowInFileBrowser(file);
    OpenWithSystem(file);
}

void TLAYOUT_PREVENTIVO::GestioneFolderPrev()
{
    if (bAggiornaLayoutVisible) {
        ShowErrorBox(QStringLiteral("Aggiornare layout dopo modifiche") + LineBreaks(2)
                     + QStringLiteral("prima di continuare."));
        return;
    }
    if (!IsFinalMode() || !PAN_Preview->HasPreview()) {
        ShowErrorBox(QStringLiteral("Impostare il layout del preventivo in definitivo")
                     + LineBreaks(2) + QStringLiteral("prima di continuare."));
        return;
    }
    TDataSet *cover = xDoc.DST_RPT_Cover.get();
    TDataSet *main = xDoc.DST_RPT_Main.get();
    QString missing;
    if (!cover || cover->IsEmpty() || cover->FieldByName(QStringLiteral("idCliente")).IsNull())
        missing += QStringLiteral("-- Mancano i dati del cliente.") + LineBreaks(1);
    if (!main || main->IsEmpty() || Integer(*main, "OkImportiProdotti") == 0)
        missing += QStringLiteral("-- Mancano uno o più importi dei prodotti/accessori.")
                   + LineBreaks(1);
    if (!missing.isEmpty()) {
        ShowErrorBox(QStringLiteral("Il preventivo è incompleto:") + LineBreaks(2) + missing
                         + LineBreaks(1) + QStringLiteral("Non è possibile procedere."),
                     0,
                     1.01,
                     1.2);
        return;
    }
    cover->First();
    TQuoteFolderStart start;
    start.bFromGestione = false;
    start.sIdPreventivoLista = Text(*cover, "idPreventivo");
    start.bPrevBloccatoLista = Integer(*cover, "flBloccato") != 0;
    start.iNuRevisioneLista = int(Integer(*cover, "nuRevisione"));
    start.sURLPDF = Text(*cover, "txURLFilePDF");
    start.sNomePDF = Text(*cover, "txNomeFilePDF");
    start.sNomeFolderPrev = Text(*cover, "txNomeFolder");
    start.sDescOggettoLista = Text(*cover, "txDescOggetto");
    start.sDescClienteLista = Text(*cover, "txDenominazione");
    start.sNuAnnoPrevLista = Text(*cover, "nuAnnoPreventivo");
    start.sNuPreventivoLista = Text(*cover, "nuPreventivo");
    start.sTxNuPreventivoLista = Text(*cover, "txNuPreventivo");
    // The opener hands this window to the folder window, which takes the preview from it.
    OpenQuoteFolder(this, kQuoteCloudFolderWindow, start);
}

void TLAYOUT_PREVENTIVO::SaveLayoutImage()
{
    if (!DST_GRID_Layouts || DST_GRID_Layouts->IsEmpty())
        return;
    CurrentLayoutChanged();
    TKRTInputBox input;
    input.Description = QStringLiteral("Descrizione immagine");
    input.MaxLength = 100;
    input.SetText(Text(*DST_GRID_Layouts, "txDescLayout"));
    if (!input.Show(this))
        return;
    const QString description = input.Text().trimmed();
    const QImage picture = PasteImageFromClipboard();
    if (picture.isNull()) {
        ShowWarningBox(QStringLiteral("Negli appunti non c'è un'immagine."));
        return;
    }
    const QByteArray jpeg = ImageSaveJpegBytes(picture, 90);
    const QString idLayout = Text(*DST_GRID_Layouts, "idLayout");
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    QString idImage;
    try {
        TEditableRecord record(db, QStringLiteral("Images_Layout"), QStringLiteral("idImage"));
        record.Open(QStringLiteral("SELECT *\tFROM Images_Layout WHERE txDescImage = ")
                    + SqlText(description));
        if (record.IsNew()) {
            record.Append(NewGuidText());
            record.Data().FieldByName(QStringLiteral("txDescImage")).SetValue(description);
        } else {
            record.Edit();
        }
        TDataSet &row = record.Data();
        row.FieldByName(QStringLiteral("imgImage")).SetValue(jpeg);
        idImage = row.FieldByName(QStringLiteral("idImage")).AsString();
        record.Post(SessionInfo().sUserName);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore save image x layout."), e);
        return;
    }
    try {
        TEditableRecord record(db, QStringLiteral("Layout"), QStringLiteral("idLayout"));
        record.Open(QStringLiteral("SELECT *\tFROM Layout\tWHERE idLayout = ") + SqlText(idLayout));
        record.Edit();
        record.Data().FieldByName(QStringLiteral("idImage")).SetValue(idImage);
        record.Post(SessionInfo().sUserName);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore save idImage x layout."), e);
        return;
    }
    DST_GRID_Layouts->Edit();
    DST_GRID_Layouts->FieldByName(QStringLiteral("imgLayout")).SetValue(jpeg);
    DST_GRID_Layouts->Post();
    CurrentLayoutChanged();
}

void TLAYOUT_PREVENTIVO::closeEvent(QCloseEvent *event)
{
    if (m_building) {
        event->ignore();
        return;
    }
    PAN_Preview->DestroyViewer();
    TV_Dettagli->clear();
    m_nodeOfItem.clear();
    m_nodes.clear();
    xDoc.Free();
    if (bAggiornaPreventivo)
        RefreshQuoteList();
    QWidget::closeEvent(event);
}
