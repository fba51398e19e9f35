#include "reports/krtviewreport.h"

#include "reports/krtcrystalreport.h"
#include "reports/reportrender.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kPageMargin = 12; // pixels of background around the page
}

// The page on screen: a white sheet with a shadow, rendered once per page and scale.
class TReportPageWidget : public QWidget
{
public:
    explicit TReportPageWidget(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void SetPage(std::shared_ptr<const TReportDocument> doc, int page, double scale)
    {
        if (doc != m_doc || page != m_pageIndex || !qFuzzyCompare(scale, m_scale))
            m_cache = QImage();
        m_doc = std::move(doc);
        m_pageIndex = page;
        m_scale = scale;
        const QSize s = PageSize();
        resize(s.width() + 2 * kPageMargin, s.height() + 2 * kPageMargin);
        update();
    }

    QSize PageSize() const
    {
        if (!m_doc)
            return QSize(0, 0);
        return QSize(qMax(1, qRound(m_doc->sizeDots.width() * m_scale)),
                     qMax(1, qRound(m_doc->sizeDots.height() * m_scale)));
    }

    QImage PageImage()
    {
        if (!m_doc || m_pageIndex < 0 || m_pageIndex >= m_doc->PageCount())
            return QImage();
        const double dpr = devicePixelRatioF();
        if (m_cache.isNull()) {
            const QSize s = PageSize() * dpr;
            m_cache = QImage(s, QImage::Format_ARGB32_Premultiplied);
            m_cache.fill(Qt::white);
            QPainter p(&m_cache);
            p.scale(m_scale * dpr, m_scale * dpr);
            TImageCache images;
            PaintPage(p, m_doc->pages[size_t(m_pageIndex)], images);
            p.end();
            m_cache.setDevicePixelRatio(dpr);
        }
        return m_cache;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        if (!m_doc || m_doc->PageCount() == 0)
            return;
        const QSize s = PageSize();
        const QRect page(kPageMargin, kPageMargin, s.width(), s.height());
        p.fillRect(page.translated(3, 3), QColor(0, 0, 0, 70));
        p.drawImage(page.topLeft(), PageImage());
        p.setPen(QColor(120, 120, 120));
        p.drawRect(page.adjusted(0, 0, -1, -1));
    }

private:
    std::shared_ptr<const TReportDocument> m_doc;
    int m_pageIndex = 0;
    double m_scale = 0.05;
    QImage m_cache;
};

TKRTViewReport::TKRTViewReport(QWidget *parent)
    : QScrollArea(parent)
    , Engine(new TKRTCrystalReport(this))
{
    Engine->Viewer = this;
    m_page = new TReportPageWidget(this);
    setWidget(m_page);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    EnableExportButton = true;
    ApplyOptions();
}

TKRTViewReport::~TKRTViewReport()
{
    Engine->Viewer = nullptr;
}

bool TKRTViewReport::Show(bool bSilentMode)
{
    Engine->Viewer = this;
    return Engine->Start(bSilentMode);
}

void TKRTViewReport::ApplyOptions()
{
    setFrameShape(DisplayBorder ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TKRTViewReport::ViewReport(std::shared_ptr<const TReportDocument> document)
{
    m_document = std::move(document);
    m_current = 0;
    UpdateScale();
    emit CurrentPageChanged(GetCurrentPageNumber());
}

int TKRTViewReport::PageCount() const
{
    return m_document ? m_document->PageCount() : 0;
}

int TKRTViewReport::GetCurrentPageNumber() const
{
    return PageCount() > 0 ? m_current + 1 : 0;
}

void TKRTViewReport::GetLastPageNumber(int &lastPage, bool &lastPageKnown) const
{
    lastPage = PageCount();
    lastPageKnown = true;
}

void TKRTViewReport::ShowNthPage(int page)
{
    if (PageCount() == 0)
        return;
    const int index = qBound(0, page - 1, PageCount() - 1);
    if (index == m_current)
        return;
    m_current = index;
    m_page->SetPage(m_document, m_current, m_scale);
    verticalScrollBar()->setValue(0);
    emit CurrentPageChanged(GetCurrentPageNumber());
}

void TKRTViewReport::ShowFirstPage()
{
    ShowNthPage(1);
}

void TKRTViewReport::ShowPreviousPage()
{
    ShowNthPage(m_current);
}

void TKRTViewReport::ShowNextPage()
{
    ShowNthPage(m_current + 2);
}

void TKRTViewReport::ShowLastPage()
{
    ShowNthPage(PageCount());
}

void TKRTViewReport::Zoom(int level)
{
    m_zoom = level > 0 ? level : 2;
    UpdateScale();
}

void TKRTViewReport::UpdateScale()
{
    double scale = m_scale;
    if (m_document && m_document->sizeDots.width() > 0) {
        const QSizeF page = m_document->sizeDots;
        const QSize area = maximumViewportSize() - QSize(2 * kPageMargin, 2 * kPageMargin);
        const double byWidth
            = qMax(1, area.width() - (m_zoom == 1 ? verticalScrollBar()->sizeHint().width() : 0))
              / page.width();
        const double byHeight = qMax(1, area.height()) / page.height();
        if (m_zoom == 1)
            scale = byWidth;
        else if (m_zoom == 2)
            scale = qMin(byWidth, byHeight);
        else
            scale = m_zoom / 100.0 * logicalDpiX() / kLayoutDpi;
    }
    m_scale = qMax(0.005, scale);
    m_page->SetPage(m_document, m_current, m_scale);
}

QImage TKRTViewReport::CurrentPageImage() const
{
    return m_page->PageImage();
}

void TKRTViewReport::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (m_zoom == 1 || m_zoom == 2)
        UpdateScale();
}

void TKRTViewReport::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        ShowNextPage();
        return;
    case Qt::Key_PageUp:
        ShowPreviousPage();
        return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            ShowFirstPage();
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            ShowLastPage();
            return;
        }
        break;
    default:
        break;
    }
    QScrollArea::keyPressEvent(event);
}
