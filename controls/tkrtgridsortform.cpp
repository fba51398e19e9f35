#include "controls/tkrtgridsortform.h"

#include "controls/tkrtgrid.h"
#include "db/dataset.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TKRTGRIDSORTFORM::TKRTGRIDSORTFORM(TKRTGrid *grid)
    : QDialog(grid)
    , m_grid(grid)
{
    setObjectName(QStringLiteral("TKRTGRIDSORTFORM"));
    setWindowTitle(QStringLiteral("Ordina Per ..."));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    m_fieldNames = new QListWidget(this);
    m_fieldNames->setObjectName(QStringLiteral("LB_Fields"));
    m_fieldNames->hide();
    QStringList titles{QString()};
    TDataSet *ds = grid->DataSet();
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        const TKRTGridColumn &c = grid->Column(i);
        if (!c.Visible || !c.HasField() || !ds)
            continue;
        const TFieldType t = ds->FieldDefs()[size_t(c.FieldIndex)].type;
        if (t == TFieldType::Flag || t == TFieldType::Blob)
            continue;
        titles << c.Title;
        m_fieldNames->addItem(c.FieldName);
    }

    auto *layout = new QGridLayout(this);
    for (int i = 0; i < kLevels; ++i) {
        auto *label = new QLabel(QStringLiteral("%1)").arg(i + 1), this);
        m_fields[i] = new QComboBox(this);
        m_fields[i]->setObjectName(QStringLiteral("CB_Fields_%1").arg(i + 1));
        m_fields[i]->addItems(titles);
        m_fields[i]->setMinimumWidth(180);
        m_sort[i] = new QComboBox(this);
        m_sort[i]->setObjectName(QStringLiteral("CB_Sort_%1").arg(i + 1));
        m_sort[i]->addItems({QStringLiteral("[ A .. Z ]"), QStringLiteral("[ Z .. A ]")});
        layout->addWidget(label, i, 0);
        layout->addWidget(m_fields[i], i, 1);
        layout->addWidget(m_sort[i], i, 2);
    }
    auto *buttons = new QHBoxLayout;
    auto *reset = new QPushButton(QStringLiteral("Azzera"), this);
    reset->setObjectName(QStringLiteral("PB_Reset"));
    auto *sort = new QPushButton(QStringLiteral("Ordina"), this);
    sort->setObjectName(QStringLiteral("PB_Sort"));
    sort->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Annulla"), this);
    cancel->setObjectName(QStringLiteral("PB_Cancel"));
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(sort);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, kLevels, 0, 1, 3);

    connect(reset, &QPushButton::clicked, this, &TKRTGRIDSORTFORM::ResetLevels);
    connect(sort, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, &TKRTGRIDSORTFORM::Accepted);
    ResetLevels();
}

void TKRTGRIDSORTFORM::ResetLevels()
{
    for (int i = 0; i < kLevels; ++i) {
        m_fields[i]->setCurrentIndex(0);
        m_sort[i]->setCurrentIndex(0);
    }
}

QString TKRTGRIDSORTFORM::SortText() const
{
    QStringList terms;
    for (int i = 0; i < kLevels; ++i) {
        const int line = m_fields[i]->currentIndex();
        if (line <= 0 || line - 1 >= m_fieldNames->count())
            continue;
        terms << m_fieldNames->item(line - 1)->text()
                     + (m_sort[i]->currentIndex() == 1 ? QStringLiteral(" DESC")
                                                       : QStringLiteral(" ASC"));
    }
    return terms.join(QStringLiteral(", "));
}

void TKRTGRIDSORTFORM::Accepted()
{
    const QString text = SortText();
    if (!text.isEmpty())
        m_grid->ApplySortKeepingRow(text);
}
