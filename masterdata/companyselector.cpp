#include "masterdata/companyselector.h"

#include "common/sessioninfo.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "masterdata/listdata.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>

namespace {

const QStringList kShownFields{QStringLiteral("txDescSocieta"),
                               QStringLiteral("txDescProvincia"),
                               QStringLiteral("txDescLocalita")};

} // namespace

TCompanySelector::TCompanySelector(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_Societa"));
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    auto *caption = new QLabel(QStringLiteral("Società"), this);
    caption->setObjectName(QStringLiteral("SF_Societa"));
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    layout->addWidget(caption);

    DCB_Find_Societa = new QComboBox(this);
    DCB_Find_Societa->setObjectName(QStringLiteral("DCB_Find_Societa"));
    DCB_Find_Societa->setMinimumWidth(320);
    DCB_Find_Societa->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // The drop-down lists the three fields in columns; the box shows the name.
    auto *view = new QTableView(DCB_Find_Societa);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setShowGrid(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setMinimumWidth(520);
    DCB_Find_Societa->setModel(new QStandardItemModel(0, 3, DCB_Find_Societa));
    DCB_Find_Societa->setView(view);
    DCB_Find_Societa->setModelColumn(0);
    layout->addWidget(DCB_Find_Societa);
    layout->addStretch(1);

    connect(DCB_Find_Societa, &QComboBox::currentIndexChanged, this, [this](int) {
        if (!m_filling && OnChange)
            OnChange(this);
    });
}

TCompanySelector::~TCompanySelector() = default;

bool TCompanySelector::IsNeeded()
{
    return SessionInfo().bFunzionario || SessionInfo().sOperatorCompanyId.isEmpty();
}

QString TCompanySelector::CommandText()
{
    if (SessionInfo().bFunzionario)
        return ExecText(QStringLiteral("EstraiElencoSocieta"),
                        {SqlText(SessionInfo().sOperatorCompanyId)});
    return ExecText(QStringLiteral("EstraiElencoSocieta"));
}

bool TCompanySelector::Load(const QString &errorMessage)
{
    std::unique_ptr<TDataSet> copy;
    try {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        std::unique_ptr<TDataSet> result = db->Query(CommandText());
        CreateMemoryCopy(copy, *result, true);
        CopyAllRecords(*result, *copy);
        copy->SetSort(QStringLiteral("txOrder, txDescSocieta"));
        copy->First();
    } catch (const std::exception &e) {
        ShowDbError(errorMessage, e);
        return false;
    }
    DST_Find_Societa = std::move(copy);

    auto *model = static_cast<QStandardItemModel *>(DCB_Find_Societa->model());
    m_filling = true;
    model->removeRows(0, model->rowCount());
    TDataSet &ds = *DST_Find_Societa;
    const int key = ds.FieldIndex(QStringLiteral("idSocieta"));
    QList<int> shown;
    for (const QString &f : kShownFields)
        shown << ds.FieldIndex(f);
    for (int r = 0; r < ds.RecordCount(); ++r) {
        QList<QStandardItem *> row;
        for (int column : shown) {
            auto *item = new QStandardItem(column < 0 ? QString()
                                                      : ds.DisplayTextAt(r, column).trimmed());
            item->setEditable(false);
            row << item;
        }
        row.first()->setData(key < 0 ? QString() : ds.ValueAt(r, key).toString(), Qt::UserRole);
        model->appendRow(row);
    }
    if (auto *view = qobject_cast<QTableView *>(DCB_Find_Societa->view()))
        view->resizeColumnsToContents();
    DCB_Find_Societa->setCurrentIndex(model->rowCount() > 0 ? 0 : -1);
    m_filling = false;
    return true;
}

QString TCompanySelector::SelectedId() const
{
    return DCB_Find_Societa->currentIndex() < 0 ? QString()
                                                : DCB_Find_Societa->currentData().toString();
}

QString TCompanySelector::SelectedName() const
{
    return DCB_Find_Societa->currentText();
}

bool TCompanySelector::Select(const QString &idSocieta)
{
    if (idSocieta.isEmpty())
        return false;
    for (int i = 0; i < DCB_Find_Societa->count(); ++i) {
        if (DCB_Find_Societa->itemData(i).toString().compare(idSocieta, Qt::CaseInsensitive) == 0) {
            m_filling = true;
            DCB_Find_Societa->setCurrentIndex(i);
            m_filling = false;
            return true;
        }
    }
    return false;
}

int TCompanySelector::Count() const
{
    return DCB_Find_Societa->count();
}
