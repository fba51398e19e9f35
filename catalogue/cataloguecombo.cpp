#include "catalogue/cataloguecombo.h"

#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "masterdata/filtersettings.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

#include <algorithm>
#include <memory>

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kFornitoreRole = Qt::UserRole + 1;
constexpr int kAnnoRole = Qt::UserRole + 2;

const QStringList kShownFields{QStringLiteral("txFornitore"),
                               QStringLiteral("txAnno"),
                               QStringLiteral("txFornitoreAnno")};

int YearOf(const QVariant &nuAnnoKey)
{
    return nuAnnoKey.isValid() && !nuAnnoKey.isNull() ? nuAnnoKey.toInt() : 0;
}

} // namespace

std::unique_ptr<TDataSet> LoadCatalogues()
{
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    if (!db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    std::unique_ptr<TDataSet> result = db->Query(QStringLiteral("EXEC EstraiFornitori"));
    std::unique_ptr<TDataSet> copy;
    CreateMemoryCopy(copy, *result, true);
    CopyAllRecords(*result, *copy);
    copy->First();
    return copy;
}

std::unique_ptr<TDataSet> CatalogueFilterRows(const TDataSet &catalogues)
{
    std::unique_ptr<TDataSet> rows;
    CreateMemoryCopy(rows, catalogues, true);
    rows->AppendAllFrom(catalogues);
    DeleteFilteredRecords(*rows, QStringLiteral("nuAnnoKey = NULL"));
    const QString all = QString::fromLatin1(kAllCataloguesId);
    rows->Append();
    rows->FieldByName(QStringLiteral("idKeyFornitore")).SetValue(all);
    rows->FieldByName(QStringLiteral("idFornitore")).SetValue(all);
    rows->FieldByName(QStringLiteral("nuAnnoKey")).SetValue(0);
    rows->FieldByName(QStringLiteral("txFornitore")).SetValue(QStringLiteral(" Tutti i cataloghi "));
    rows->FieldByName(QStringLiteral("txAnno")).SetNull();
    rows->FieldByName(QStringLiteral("txFornitoreAnno"))
        .SetValue(QStringLiteral(" Tutti i cataloghi "));
    rows->FieldByName(QStringLiteral("txDescFornitore"))
        .SetValue(QStringLiteral("Tutti i cataloghi"));
    rows->FieldByName(QStringLiteral("txOrder")).SetValue(QStringLiteral("A"));
    rows->FieldByName(QStringLiteral("flDefault")).SetValue(0);
    rows->Post();
    rows->SetSort(QStringLiteral("txOrder, txDescFornitore"));
    rows->First();
    return rows;
}

bool OnlyCurrentCatalogues(const TDataSet &catalogues)
{
    return catalogues.CountMatching(QStringLiteral("txOrder = 'C'")) == 0;
}

TCatalogueCombo::TCatalogueCombo(QWidget *parent)
    : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumWidth(220);
    auto *view = new QTableView(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setShowGrid(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setMinimumWidth(420);
    setModel(new QStandardItemModel(0, 3, this));
    setView(view);
    setModelColumn(2);
}

TCatalogueCombo::~TCatalogueCombo() = default;

void TCatalogueCombo::SetCatalogues(const TDataSet &rows)
{
    CreateMemoryCopy(m_rows, rows, true);
    m_rows->AppendAllFrom(rows);
    m_rows->SetSort(rows.Sort());
    m_previous = false;
    Fill(QString());
}

void TCatalogueCombo::ShowPrevious(bool previous)
{
    m_previous = previous;
    Fill(previous ? QStringLiteral("txOrder = 'C'")
                  : QStringLiteral("txOrder = 'A' OR txOrder = 'B'"));
}

void TCatalogueCombo::ShowAll()
{
    const QString key = KeyFornitore();
    Fill(QString());
    // The chosen row stays chosen.
    for (int i = 0; i < count(); ++i) {
        if (!key.isEmpty() && itemData(i, kKeyRole).toString() == key) {
            setCurrentIndex(i);
            break;
        }
    }
}

void TCatalogueCombo::Fill(const QString &filter)
{
    auto *items = static_cast<QStandardItemModel *>(model());
    const QSignalBlocker block(this);
    items->removeRows(0, items->rowCount());
    if (m_rows) {
        TDataSet &ds = *m_rows;
        ds.SetFilter(filter);
        ds.SetFiltered(!filter.isEmpty());
        QList<int> shown;
        for (const QString &f : kShownFields)
            shown << ds.FieldIndex(f);
        const int key = ds.FieldIndex(QStringLiteral("idKeyFornitore"));
        const int fornitore = ds.FieldIndex(QStringLiteral("idFornitore"));
        const int anno = ds.FieldIndex(QStringLiteral("nuAnnoKey"));
        for (int r = 0; r < ds.RecordCount(); ++r) {
            QList<QStandardItem *> row;
            for (int column : shown) {
                auto *item = new QStandardItem(column < 0 ? QString() : ds.DisplayTextAt(r, column));
                item->setEditable(false);
                row << item;
            }
            QStandardItem *first = row.at(2);
            first->setData(key < 0 ? QString() : ds.ValueAt(r, key).toString(), kKeyRole);
            first->setData(fornitore < 0 ? QString() : ds.ValueAt(r, fornitore).toString(),
                           kFornitoreRole);
            first->setData(anno < 0 || ds.IsNullAt(r, anno) ? QVariant() : ds.ValueAt(r, anno),
                           kAnnoRole);
            items->appendRow(row);
        }
    }
    if (auto *table = qobject_cast<QTableView *>(view()))
        table->resizeColumnsToContents();
    setCurrentIndex(count() > 0 ? 0 : -1);
}

QString TCatalogueCombo::KeyFornitore() const
{
    return currentIndex() < 0 ? QString() : itemData(currentIndex(), kKeyRole).toString();
}

QString TCatalogueCombo::IdFornitore() const
{
    return currentIndex() < 0 ? QString() : itemData(currentIndex(), kFornitoreRole).toString();
}

QVariant TCatalogueCombo::NuAnnoKey() const
{
    return currentIndex() < 0 ? QVariant() : itemData(currentIndex(), kAnnoRole);
}

int TCatalogueCombo::NuAnno() const
{
    return YearOf(NuAnnoKey());
}

bool TCatalogueCombo::Select(const QString &idFornitore, int nuAnno)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, kFornitoreRole).toString().compare(idFornitore, Qt::CaseInsensitive) == 0
            && YearOf(itemData(i, kAnnoRole)) == nuAnno) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool TCatalogueCombo::Contains(const QString &idFornitore, int nuAnno) const
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, kFornitoreRole).toString().compare(idFornitore, Qt::CaseInsensitive) == 0
            && YearOf(itemData(i, kAnnoRole)) == nuAnno)
            return true;
    }
    return false;
}

void AddCatalogueChoice(TFilterSettings &settings, TCatalogueCombo *combo)
{
    auto supplier = std::make_shared<QString>();
    settings.AddValue(
        QStringLiteral("KeyFornitore"),
        QString(),
        [combo] { return combo->IdFornitore(); },
        [supplier](const QString &v) { *supplier = v.trimmed(); });
    settings.AddValue(
        QStringLiteral("NuAnnoFornitore"),
        QStringLiteral("0"),
        [combo] { return QString::number(combo->NuAnno()); },
        [combo, supplier](const QString &v) {
            const QString t = v.trimmed();
            const bool digits = !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) {
                return c.isDigit();
            });
            combo->Select(*supplier, digits ? t.toInt() : 0);
        });
}
