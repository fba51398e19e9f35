#include "catalogue/dettprodpreview.h"

#include "catalogue/dettprodtree.h"
#include "common/files.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/richtext.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *PageButton(QWidget *parent, const char *name, const QString &glyph, const char *hint)
{
    auto *b = new QPushButton(glyph, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(QString::fromUtf8(hint));
    b->setFixedSize(34, 26);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

int PreviewPageOfNode(const QString &pageText, const QString &sIdNodo)
{
    if (sIdNodo.isEmpty())
        return 0;
    const qsizetype at = pageText.indexOf(sIdNodo);
    if (at < 4)
        return 0;
    bool ok = false;
    const int page = pageText.mid(at - 4, 3).toInt(&ok);
    return ok && page > 0 ? page : 0;
}

QStringList DettProdZoomItems()
{
    return {QStringLiteral("Larghezza pagina"),
            QStringLiteral("Pagina intera"),
            QStringLiteral("25%"),
            QStringLiteral("50%"),
            QStringLiteral("75%"),
            QStringLiteral("100%"),
            QStringLiteral("125%"),
            QStringLiteral("150%"),
            QStringLiteral("175%"),
            QStringLiteral("200%")};
}

TDettProdPreviewPane::TDettProdPreviewPane(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Preview"));
    setFrameShape(QFrame::NoFrame);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    m_viewerHost = new QWidget(this);
    m_viewerHost->setObjectName(QStringLiteral("PAN_PreviewViewer"));
    auto *host = new QVBoxLayout(m_viewerHost);
    host->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_viewerHost, 1);

    PAN_Status_Report = new QFrame(this);
    PAN_Status_Report->setObjectName(QStringLiteral("PAN_Status_Report"));
    auto *bar = new QHBoxLayout(PAN_Status_Report);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(4);
    PB_GoFirst = PageButton(PAN_Status_Report,
                            "PB_GoFirst",
                            QStringLiteral("|<"),
                            " Vai alla prima pagina ");
    PB_GoPrev = PageButton(PAN_Status_Report,
                           "PB_GoPrev",
                           QStringLiteral("<"),
                           " Vai alla pagina precedente ");
    SF_NuPages = new QLabel(QStringLiteral("1"), PAN_Status_Report);
    SF_NuPages->setObjectName(QStringLiteral("SF_NuPages"));
    SF_NuPages->setAlignment(Qt::AlignCenter);
    SF_NuPages->setMinimumWidth(70);
    PB_GoNext = PageButton(PAN_Status_Report,
                           "PB_GoNext",
                           QStringLiteral(">"),
                           " Vai alla pagina successiva ");
    PB_GoLast = PageButton(PAN_Status_Report,
                           "PB_GoLast",
                           QStringLiteral(">|"),
                           " Vai all'ultima pagina ");
    CB_Zoom = new QComboBox(PAN_Status_Report);
    CB_Zoom->setObjectName(QStringLiteral("CB_Zoom"));
    CB_Zoom->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(PB_GoFirst);
    bar->addWidget(PB_GoPrev);
    bar->addWidget(SF_NuPages);
    bar->addWidget(PB_GoNext);
    bar->addWidget(PB_GoLast);
    bar->addStretch(1);
    bar->addWidget(CB_Zoom);
    column->addWidget(PAN_Status_Report);
    PAN_Status_Report->hide();
    SetZoomItems(DettProdZoomItems());

    connect(PB_GoFirst, &QPushButton::clicked, this, &TDettProdPreviewPane::GoFirst);
    connect(PB_GoPrev, &QPushButton::clicked, this, &TDettProdPreviewPane::GoPrev);
    connect(PB_GoNext, &QPushButton::clicked, this, &TDettProdPreviewPane::GoNext);
    connect(PB_GoLast, &QPushButton::clicked, this, &TDettProdPreviewPane::GoLast);
    connect(CB_Zoom, &QComboBox::activated, this, &TDettProdPreviewPane::ZoomChanged);
}

TDettProdPreviewPane::~TDettProdPreviewPane() = default;

void TDettProdPreviewPane::SetZoomItems(const QStringList &items)
{
    const QSignalBlocker block(CB_Zoom);
    CB_Zoom->clear();
    CB_Zoom->addItems(items);
    CB_Zoom->setCurrentIndex(items.size() > 1 ? 1 : 0);
}

void TDettProdPreviewPane::DestroyViewer()
{
    PAN_Status_Report->hide();
    if (VR_Preview) {
        TKRTViewReport *viewer = VR_Preview;
        VR_Preview = nullptr;
        viewer->hide();
        viewer->deleteLater();
    }
    m_currentPage = 0;
    iRptPageTo = 0;
    sTextReportForPageNumbers.clear();
    m_pageOfId.clear();
}

void TDettProdPreviewPane::IndexPageMarks()
{
    m_pageOfId.clear();
    const QString &text = sTextReportForPageNumbers;
    constexpr int kIdLength = 38; // "{8D2F4C1A-0B5E-4E0F-9A3C-5B2D7E1F6A90}"
    for (qsizetype at = text.indexOf(QLatin1Char('{')); at >= 0;
         at = text.indexOf(QLatin1Char('{'), at + 1)) {
        if (at + kIdLength > text.size() || text.at(at + kIdLength - 1) != QLatin1Char('}'))
            continue;
        const QString id = text.mid(at, kIdLength);
        if (m_pageOfId.contains(id))
            continue;
        // Scanning in order, this is the id's first occurrence.
        bool ok = false;
        const int page = at >= 4 ? text.mid(at - 4, 3).toInt(&ok) : 0;
        m_pageOfId.insert(id, ok && page > 0 ? page : 0);
    }
}

bool TDettProdPreviewPane::Build(const std::function<void(TKRTCrystalReport &)> &bind,
                                 const QString &exportFile,
                                 const QString &selectId)
{
    DestroyViewer();
    auto *viewer = new TKRTViewReport(m_viewerHost);
    viewer->setObjectName(QStringLiteral("VR_Preview"));
    m_viewerHost->layout()->addWidget(viewer);
    // The pane shows only the pages: paging and zoom are its own.
    viewer->DisplayToolbar = false;
    viewer->DisplayGroupTree = false;
    viewer->EnableToolbar = false;
    viewer->EnablePopupMenu = false;
    viewer->DisplayBorder = false;
    viewer->ApplyOptions();
    viewer->setToolTip(QString());
    TKRTCrystalReport &engine = *viewer->Engine;
    engine.Clear();
    bind(engine);
    engine.Mode = mvKRTViewer | mvKRTExport;
    engine.ExportOptions.FormatType = exfKRTRichText;
    engine.ExportOptions.FileName = exportFile;
    EnsureFolder(QFileInfo(exportFile).absolutePath());

    struct TRemoveFile
    {
        QString path;
        ~TRemoveFile()
        {
            if (!path.isEmpty() && QFile::exists(path))
                QFile::remove(path);
        }
    } cleanup{exportFile};
    try {
        if (!viewer->Show(true)) {
            delete viewer;
            return false;
        }
    } catch (...) {
        delete viewer;
        throw;
    }
    VR_Preview = viewer;
    connect(viewer, &TKRTViewReport::CurrentPageChanged, this, [this](int page) {
        m_currentPage = page;
        UpdateLabel();
    });
    viewer->show();

    // The number of pages: the last page, then back to the first.
    viewer->ShowLastPage();
    iRptPageTo = viewer->GetCurrentPageNumber();
    viewer->ShowFirstPage();

    sTextReportForPageNumbers = RtfFileToPlainText(exportFile);
    IndexPageMarks();

    PAN_Status_Report->show();
    m_currentPage = iRptPageTo > 0 ? 1 : 0;
    const int page = PageOfNode(selectId);
    if (page > 1)
        TurnToPage(page);
    UpdateLabel();
    return true;
}

int TDettProdPreviewPane::PageOfNode(const QString &sIdNodo) const
{
    if (sIdNodo.size() == 38 && sIdNodo.startsWith(QLatin1Char('{')))
        return m_pageOfId.value(sIdNodo, 0);
    return PreviewPageOfNode(sTextReportForPageNumbers, sIdNodo);
}

void TDettProdPreviewPane::UpdateLabel()
{
    SF_NuPages->setProperty("tag", m_currentPage);
    SF_NuPages->setText(QString::number(m_currentPage) + QStringLiteral(" / ")
                        + QString::number(iRptPageTo));
}

void TDettProdPreviewPane::TurnToPage(int page)
{
    if (!VR_Preview)
        return;
    VR_Preview->ShowNthPage(page);
    m_currentPage = VR_Preview->GetCurrentPageNumber();
    UpdateLabel();
}

void TDettProdPreviewPane::GoFirst()
{
    TurnToPage(1);
}

void TDettProdPreviewPane::GoPrev()
{
    if (!VR_Preview)
        return;
    VR_Preview->ShowPreviousPage();
    m_currentPage = VR_Preview->GetCurrentPageNumber();
    UpdateLabel();
}

void TDettProdPreviewPane::GoNext()
{
    if (!VR_Preview)
        return;
    VR_Preview->ShowNextPage();
    m_currentPage = VR_Preview->GetCurrentPageNumber();
    UpdateLabel();
}

void TDettProdPreviewPane::GoLast()
{
    TurnToPage(iRptPageTo);
}

void TDettProdPreviewPane::SetZoomIndex(int index)
{
    const QSignalBlocker block(CB_Zoom);
    CB_Zoom->setCurrentIndex(index);
    ZoomChanged(index);
}

void TDettProdPreviewPane::ZoomChanged(int index)
{
    if (!VR_Preview || index < 0)
        return;
    if (index == 0) {
        VR_Preview->Zoom(1);
    } else if (index == 1) {
        VR_Preview->Zoom(2);
    } else {
        QString text = CB_Zoom->itemText(index);
        text.remove(QLatin1Char('%'));
        bool ok = false;
        const int percent = text.trimmed().toInt(&ok);
        if (ok && percent > 0)
            VR_Preview->Zoom(percent);
    }
}

void TDettProdPreviewPane::AssignPreviewPages(TDettProdTree *tree) const
{
    if (!tree)
        return;
    const int gate = tree->ExpandGate();
    tree->SetExpandGate(TDettProdTree::egProgrammatic);
    for (TDettProdTreeItem *item : tree->Items()) {
        const int page = PageOfNode(item->Node()->sIdNodo);
        if (page > 0)
            item->Node()->iPagePreview = page;
    }
    tree->SetExpandGate(gate);
}

void TDettProdPreviewPane::FollowNode(const TVRLDettProd *node)
{
    if (!node || !VR_Preview || node->iPagePreview <= 0 || node->iPagePreview == m_currentPage)
        return;
    TurnToPage(node->iPagePreview);
}
