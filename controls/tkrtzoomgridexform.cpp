#include "controls/tkrtzoomgridexform.h"

#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"

#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

TKRTZOOMGRIDEXFORM::TKRTZOOMGRIDEXFORM(
    TKRTGrid *grid, const QString &title, int width, int maxWidth, int height)
    : QDialog(grid)
{
    setObjectName(QStringLiteral("TKRTZOOMGRIDEXFORM"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setFont(grid->font());
    setPalette(grid->palette());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("SCB_Zoom"));
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setWidgetResizable(false);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_area);
    m_content = new QWidget;
    m_area->setWidget(m_content);

    m_captionHeight = QFontMetrics(font()).height();
    TDataSet *ds = grid->DataSet();
    const int row = ds ? ds->RecNo() - 1 : -1;
    for (int i = 0; i < grid->SortedColumns.size(); ++i) {
        const int fi = ds ? ds->FieldIndex(grid->SortedColumns.at(i).trimmed()) : -1;
        if (fi < 0 || !ds->FieldDefs()[size_t(fi)].visible)
            continue;
        const TFieldDef &d = ds->FieldDefs()[size_t(fi)];
        auto *field = new TKRTLabelEdit(QStringLiteral("FLD%1").arg(i),
                                        d.displayLabel.isEmpty() ? d.name : d.displayLabel,
                                        m_content);
        field->SetCaptionPosition(cpKRTAbove);
        field->SetCaptionAlignment(Qt::AlignHCenter);
        field->SetCaptionLayOut(Qt::AlignBottom);
        field->SetCaptionFont(grid->font());
        field->SetEditFont(grid->font());
        field->SetCaptionHeight(m_captionHeight);
        field->SetEditHeight(m_captionHeight + 10);
        field->SetReadOnly(true);
        field->SetEditAlignment(Qt::AlignCenter);
        field->SetText(row >= 0 && !ds->IsNullAt(row, fi) ? ds->DisplayTextAt(row, fi) : QString());
        m_fields.push_back(field);
    }

    setMinimumWidth(width);
    setMaximumWidth(qMax(width, maxWidth));
    resize(width, height);
    PlaceFields();
    if (m_stackEnd < height) {
        const int h = m_stackEnd + 50;
        resize(width, h);
        setMinimumHeight(h);
        setMaximumHeight(h);
    } else {
        setMaximumHeight(height);
    }
    if (const QScreen *s = grid->screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(this->width() / 2, this->height() / 2));
    }
}

void TKRTZOOMGRIDEXFORM::PlaceFields()
{
    const int areaWidth = m_area->viewport()->width() > 0 ? width() : width();
    int top = 5;
    for (TKRTLabelEdit *f : m_fields) {
        const int h = m_captionHeight + m_captionHeight + 10;
        f->setGeometry(10, top, qMax(20, areaWidth - 30), h);
        top += h + 5;
    }
    m_stackEnd = top;
    m_content->resize(areaWidth, top);
}

void TKRTZOOMGRIDEXFORM::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PlaceFields();
}
