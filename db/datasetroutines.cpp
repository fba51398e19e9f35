#include "db/datasetroutines.h"

#include "common/formats.h"
#include "db/dataset.h"

#include <QCoreApplication>
#include <QElapsedTimer>

TCopySkipTest CopySkipTest;
TCopyAfterAction CopyAfterAction;

void ClearCopyHooks()
{
    CopySkipTest = nullptr;
    CopyAfterAction = nullptr;
}

namespace {
// The program formats are applied when each window opens; that also forgets copy hooks a closed
// window may have left behind.
const bool g_hooksClearedWithFormats = (SetFormatSettingsListener(&ClearCopyHooks), true);
} // namespace

namespace {

bool IsEditing(const TDataSet &ds)
{
    return ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert;
}

// Suspends a dataset's observers for a scope.
class TControlsOff
{
public:
    TControlsOff(TDataSet &ds, bool on)
        : m_ds(on ? &ds : nullptr)
    {
        if (m_ds)
            m_ds->DisableControls();
    }
    ~TControlsOff()
    {
        if (m_ds)
            m_ds->EnableControls();
    }
    TControlsOff(const TControlsOff &) = delete;
    TControlsOff &operator=(const TControlsOff &) = delete;

private:
    TDataSet *m_ds; // Not owned.
};

// Handles pending events at most every 50 ms: enough to keep the interface painted without
// slowing a long copy down (handling them after every record would).
class TEventPump
{
public:
    TEventPump() { m_timer.start(); }
    void Tick()
    {
        if (m_timer.elapsed() < 50)
            return;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        m_timer.restart();
    }

private:
    QElapsedTimer m_timer;
};

// A view over all the dataset's rows: same store, no filter.
std::unique_ptr<TDataSet> UnfilteredClone(TDataSet &dataset)
{
    if (IsEditing(dataset))
        dataset.Post();
    std::unique_ptr<TDataSet> clone = dataset.Clone();
    clone->SetSort(QString());
    clone->SetFiltered(false);
    return clone;
}

} // namespace

void CreateMemoryCopy(std::unique_ptr<TDataSet> &dest, const TDataSet &source, bool create)
{
    dest.reset();
    auto ds = std::make_unique<TDataSet>();
    ds->CopyStructureFrom(source);
    if (create)
        ds->CreateDataSet();
    dest = std::move(ds);
}

void CopyAllRecords(TDataSet &source, TDataSet &dest, bool move, bool quiet)
{
    TControlsOff sourceOff(source, quiet);
    TControlsOff destOff(dest, quiet);
    if (!move && !CopySkipTest && !CopyAfterAction) {
        dest.AppendAllFrom(source);
    } else {
        TEventPump pump;
        source.First();
        while (!source.Eof()) {
            if (CopySkipTest && CopySkipTest(source, dest)) {
                source.Next();
            } else if (move) {
                dest.AppendCurrentFrom(source);
                source.Delete();
                source.First();
            } else {
                dest.AppendCurrentFrom(source);
                if (CopyAfterAction)
                    CopyAfterAction(dest);
                source.Next();
            }
            pump.Tick();
        }
    }
    source.First();
    dest.First();
}

void CopyRecordFields(TDataSet &source, TDataSet &dest, bool editCurrent)
{
    if (source.IsEmpty())
        return;
    const bool began = !IsEditing(dest);
    if (began) {
        if (editCurrent)
            dest.Edit();
        else
            dest.Append();
    }
    try {
        const bool isNew = dest.State() == TDataSetState::Insert;
        for (int i = 0; i < dest.FieldCount(); ++i) {
            TField df = dest.Fields(i);
            const int si = source.FieldIndex(df.FieldName());
            if (si < 0)
                continue;
            TField sf = source.Fields(si);
            const bool bothNull = sf.IsNull() && df.IsNull();
            if (!df.Def().readOnly && !bothNull && (isNew || sf.AsString() != df.AsString()))
                df.SetValue(sf.Value());
            TFieldDef &dd = df.Def();
            const TFieldDef &sd = sf.Def();
            dd.visible = sd.visible;
            dd.displayLabel = sd.displayLabel;
            dd.displayWidth = sd.displayWidth;
            switch (dd.type) {
            case TFieldType::Integer:
            case TFieldType::Real:
            case TFieldType::DateTime:
                dd.displayFormat = sd.displayFormat;
                break;
            case TFieldType::Flag:
                dd.displayValues = sd.displayValues;
                break;
            default:
                break;
            }
        }
        if (began)
            dest.Post();
    } catch (...) {
        if (began)
            dest.Cancel();
        throw;
    }
}

void ShowOnlyFields(TDataSet &dataset, const QStringList &names)
{
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        TFieldDef &def = dataset.DefAt(i);
        def.visible = names.contains(def.name, Qt::CaseInsensitive);
    }
}

int CountFilteredRecords(TDataSet &dataset, const QString &filter, bool onClone, bool onCopy)
{
    Q_UNUSED(onClone); // the dataset's own view is never touched: a clone serves both cases
    if (!dataset.Active())
        return 0;
    std::unique_ptr<TDataSet> all = UnfilteredClone(dataset);
    if (!onCopy)
        return all->CountMatching(filter);
    std::unique_ptr<TDataSet> copy;
    CreateMemoryCopy(copy, dataset, true);
    copy->AppendAllFrom(*all);
    return copy->CountMatching(filter);
}

int DeleteFilteredRecords(TDataSet &dataset, const QString &filter)
{
    if (!dataset.Active())
        return 0;
    std::unique_ptr<TDataSet> all = UnfilteredClone(dataset);
    return all->DeleteMatching(filter);
}
