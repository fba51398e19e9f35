#include "controls/tkrtzoomrecord.h"

#include "controls/tkrtgrid.h"
#include "db/dataset.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

TKRTZOOMRECORD::TKRTZOOMRECORD(TKRTGrid *grid)
    : QDialog(grid)
{
    setObjectName(QStringLiteral("TKRTZOOMRECORD"));
    setWindowTitle(QStringLiteral("Zoom"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_list = new QTableWidget(this);
    m_list->setObjectName(QStringLiteral("LV_Zoom"));
    m_list->setColumnCount(2);
    m_list->setHorizontalHeaderLabels({QStringLiteral("Colonna"), QStringLiteral("Valore")});
    m_list->setColumnWidth(0, 140);
    m_list->setColumnWidth(1, 190);
    m_list->verticalHeader()->hide();
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_list);

    auto *end = new QPushButton(QStringLiteral("&Chiudi"), this);
    end->setObjectName(QStringLiteral("PB_End"));
    end->setDefault(true);
    layout->addWidget(end, 0, Qt::AlignRight);
    connect(end, &QPushButton::clicked, this, &QDialog::reject);

    TDataSet *ds = grid->DataSet();
    const int row = ds ? ds->RecNo() - 1 : -1;
    const QColor info = palette().color(QPalette::ToolTipBase);
    m_list->setRowCount(grid->ColumnCount());
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        const TKRTGridColumn &c = grid->Column(i);
        auto *title = new QTableWidgetItem(c.Title);
        title->setBackground(Qt::white);
        QString value;
        if (row >= 0 && c.HasField() && !ds->IsNullAt(row, c.FieldIndex))
            value = ds->DisplayTextAt(row, c.FieldIndex);
        auto *val = new QTableWidgetItem(value);
        val->setBackground(info);
        m_list->setItem(i, 0, title);
        m_list->setItem(i, 1, val);
    }
    connect(m_list, &QTableWidget::currentCellChanged, this, [this](int r) { SelectionMoved(r); });
    if (m_list->rowCount() > 0)
        m_list->setCurrentCell(0, 1);

    // Ctrl+C and Ctrl+"-" copy the value of the selected line (not the cell under the caret).
    m_list->installEventFilter(this);

    // Height for every line plus three, within the work area; fixed width.
    const int rowHeight = m_list->verticalHeader()->defaultSectionSize();
    int h = rowHeight * (m_list->rowCount() + 3);
    QRect area;
    if (const QScreen *s = grid->screen())
        area = s->availableGeometry();
    if (area.isValid() && area.height() < h)
        h = area.height();
    const int w = 140 + 190 + m_list->frameWidth() * 2 + 8 + 20;
    resize(w, h);
    setFixedWidth(w);
    setMinimumHeight(h / 2);
    setMaximumHeight(h);
    if (area.isValid())
        move(area.topLeft());
}

void TKRTZOOMRECORD::SelectionMoved(int row)
{
    const QColor info = palette().color(QPalette::ToolTipBase);
    for (int i = 0; i < m_list->rowCount(); ++i) {
        QTableWidgetItem *title = m_list->item(i, 0);
        QFont f = title->font();
        f.setBold(i == row);
        title->setFont(f);
        title->setBackground(i == row ? info : QColor(Qt::white));
    }
    if (row >= 0 && row < m_list->rowCount())
        m_list->setToolTip(QLatin1Char(' ') + m_list->item(row, 1)->text().trimmed()
                           + QLatin1Char(' '));
}

bool TKRTZOOMRECORD::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const auto *ke = static_cast<QKeyEvent *>(event);
        const bool copy = (ke->modifiers() & Qt::ControlModifier)
                          && (ke->key() == Qt::Key_C || ke->key() == Qt::Key_Minus);
        if (copy) {
            if (event->type() == QEvent::KeyPress)
                CopySelectedValue();
            event->accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TKRTZOOMRECORD::CopySelectedValue()
{
    const int row = m_list->currentRow();
    if (row >= 0 && row < m_list->rowCount())
        QGuiApplication::clipboard()->setText(m_list->item(row, 1)->text());
}
