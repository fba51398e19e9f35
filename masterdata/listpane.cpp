#include "masterdata/listpane.h"

#include "controls/tkrtgrid.h"
#include "masterdata/filtersettings.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

bool IsEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

TListPane::TListPane(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PAN_Lista"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(4);
}

TListPane::~TListPane()
{
    // The grid must let go of the copy before the list part frees it.
    if (m_grid)
        m_grid->SetDataSet(nullptr);
}

QFrame *TListPane::AddFilterPanel()
{
    m_filters = new QFrame(this);
    m_filters->setObjectName(QStringLiteral("PAN_Filters"));
    m_filters->setFrameShape(QFrame::StyledPanel);
    m_layout->addWidget(m_filters);
    return m_filters;
}

TKRTGrid *TListPane::AddGrid(const QString &name, TListDefinition definition)
{
    m_separator = new QFrame(this);
    m_separator->setObjectName(QStringLiteral("PAN_Separatore"));
    m_separator->setFrameShape(QFrame::HLine);
    m_separator->setFrameShadow(QFrame::Sunken);
    m_layout->addWidget(m_separator);

    m_grid = new TKRTGrid(this);
    m_grid->setObjectName(name);
    m_grid->Sortable = true;
    m_grid->AllowSortOnTitleColumn = true;
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    m_layout->addWidget(m_grid, 1);

    m_statusPanel = new QFrame(this);
    m_statusPanel->setObjectName(QStringLiteral("PAN_Status"));
    m_statusPanel->setFrameShape(QFrame::StyledPanel);
    m_statusLayout = new QHBoxLayout(m_statusPanel);
    m_statusLayout->setContentsMargins(6, 2, 6, 2);
    m_status = new QLabel(m_statusPanel);
    m_status->setObjectName(QStringLiteral("SF_Status"));
    m_statusLayout->addWidget(m_status);
    int n = 0;
    for (const TListLegend &legend : definition.legends) {
        auto *label = new QLabel(legend.text, m_statusPanel);
        label->setObjectName(n == 0 ? QStringLiteral("SF_Legenda")
                                    : QStringLiteral("SF_Legenda%1").arg(n + 1));
        QFont font = label->font();
        font.setBold(legend.bold);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, KRTColor(legend.color));
        label->setPalette(palette);
        m_statusLayout->addWidget(label);
        ++n;
    }
    m_statusLayout->addStretch(1);
    m_layout->addWidget(m_statusPanel);
    m_statusPanel->hide();

    m_list = new TListData(std::move(definition), m_grid, m_status, m_statusPanel, this);
    return m_grid;
}

void TListPane::AddStatusButton(QPushButton *button)
{
    button->setParent(m_statusPanel);
    button->setAutoDefault(false);
    m_statusLayout->insertWidget(m_statusButtons++, button);
}

TFilterSettings &TListPane::CreateSettings(const QString &prefix)
{
    m_settings = std::make_unique<TFilterSettings>(prefix);
    return *m_settings;
}

bool TListPane::RestoreFilters(const QString &firstKey)
{
    if (!m_settings)
        m_settings = std::make_unique<TFilterSettings>(QString());
    return m_settings->Restore(firstKey);
}

void TListPane::ExtractEmpty(const QString &procedure)
{
    m_list->Extract(QStringLiteral("EXEC ") + procedure + QStringLiteral("  0"),
                    SortText ? SortText() : QString(),
                    QString());
}

TExtractResult TListPane::ExtractWithFilters(const QString &lastId)
{
    if (m_busy || !CommandText)
        return TExtractResult::Failed;
    m_busy = true;
    const auto release = qScopeGuard([this] { m_busy = false; });
    const QString command = CommandText();
    const TExtractResult result = m_list->Extract(command,
                                                  SortText ? SortText() : QString(),
                                                  lastId);
    if (m_settings)
        m_settings->Save();
    return result;
}

void TListPane::SetListMode(bool on)
{
    if (m_filters)
        m_filters->setVisible(on);
    if (m_separator)
        m_separator->setVisible(on);
    if (m_list)
        m_list->SetListMode(on);
}

void TListPane::keyPressEvent(QKeyEvent *event)
{
    // Enter in a filter is the default button "Estrai elenco".
    QWidget *focus = focusWidget();
    const bool inFilters = focus && m_filters && m_filters->isAncestorOf(focus);
    if (IsEnter(event) && inFilters && m_extractButton && m_extractButton->isEnabled()
        && m_extractButton->isVisible()) {
        m_extractButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TListPane::eventFilter(QObject *watched, QEvent *event)
{
    if (m_grid && watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick
        && OnGridDoubleClick && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        OnGridDoubleClick();
        return true;
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress && OnGridEnter
        && IsEnter(static_cast<QKeyEvent *>(event))) {
        OnGridEnter();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
