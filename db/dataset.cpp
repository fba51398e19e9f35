#include "db/dataset.h"

#include "db/datasetfilter.h"
#include "db/datasetsort.h"
#include "db/datastore.h"
#include "db/fieldformat.h"
#include "db/fieldvalue.h"

#include <algorithm>
#include <numeric>

namespace {

QString TypeName(TFieldType t)
{
    switch (t) {
    case TFieldType::Text:
        return QStringLiteral("testo");
    case TFieldType::Integer:
        return QStringLiteral("numero intero");
    case TFieldType::Real:
        return QStringLiteral("numero");
    case TFieldType::Flag:
        return QStringLiteral("sì/no");
    case TFieldType::DateTime:
        return QStringLiteral("data");
    case TFieldType::Blob:
        return QStringLiteral("dati binari");
    }
    return QString();
}

int FindFieldIn(const std::vector<TFieldDef> &defs, QStringView name)
{
    for (size_t i = 0; i < defs.size(); ++i) {
        if (defs[i].name.size() == name.size()
            && QStringView(defs[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool SameStructure(const std::vector<TFieldDef> &a, const std::vector<TFieldDef> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].name.compare(b[i].name, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// The text shown for a committed cell; date-times come from their stored date and time.
QString CellDisplayText(const TFieldDef &def, const TColumn &col, int phys)
{
    if (col.type == TFieldType::DateTime && !col.nulls[size_t(phys)])
        return StampDisplayText(def, col.ints[size_t(phys)]);
    return FieldDisplayText(def, col.Value(phys));
}

EDataSetError ConversionError(const TFieldDef &def, const QVariant &v)
{
    return EDataSetError(QStringLiteral("Valore \"%1\" non valido per il campo %2 (%3).")
                             .arg(ValueAsString(v), def.name, TypeName(def.type)));
}

} // namespace

// --- View ---------------------------------------------------------------------------------------

struct TDataSet::Impl : public TDataStoreListener
{
    explicit Impl(TDataSet *owner)
        : q(owner)
    {}
    ~Impl() override { DetachStore(); }

    TDataSet *q; // Not owned: the dataset this view belongs to.
    std::vector<TFieldDef> defs;
    std::shared_ptr<TDataStore> store;
    TDataSetState state = TDataSetState::Inactive;

    // The visible rows (physical indices) in view order, valid for store version builtVersion.
    std::vector<int> rows;
    quint64 builtVersion = 0;
    int cur = -1;
    qint64 curRowId = -1;
    bool eof = true;
    bool bof = true;

    // Edit buffer: values written since Edit/Append/Insert, converted at Post.
    std::vector<QVariant> buf;
    std::vector<quint8> bufSet;
    qint64 editRowId = -1;      // Edit: the row being changed
    qint64 insertBeforeId = -1; // Insert: the row the new one goes before; -1 appends

    QString sortText;
    std::shared_ptr<const TDataSetSort> sort;
    QString filterText;
    std::shared_ptr<const TDataSetFilter> filter;
    bool filtered = false;

    std::vector<TDataSetObserver *> observers; // Not owned.
    int disabled = 0;

    bool Active() const { return state != TDataSetState::Inactive; }
    bool Editing() const { return state == TDataSetState::Edit || state == TDataSetState::Insert; }
    bool FilterOn() const { return filtered && filter; }
    bool RowsAscending() const { return !sort && store && store->NaturalOrder() == nullptr; }

    void CheckActive() const
    {
        if (!Active())
            throw EDataSetError(QStringLiteral("Il dataset non è aperto."));
    }

    void CheckColumn(int c) const
    {
        if (c < 0 || c >= int(defs.size()))
            throw EDataSetError(QStringLiteral("Campo numero %1 inesistente.").arg(c));
    }

    // --- store and view ---

    void AttachStore(std::shared_ptr<TDataStore> s)
    {
        DetachStore();
        store = std::move(s);
        store->Attach(this);
        builtVersion = 0;
        cur = -1;
        curRowId = -1;
    }

    void DetachStore()
    {
        if (store)
            store->Detach(this);
        store.reset();
        rows.clear();
        builtVersion = 0;
    }

    void Sync()
    {
        if (store && builtVersion != store->Version())
            Rebuild();
    }

    int FindPos(int phys) const
    {
        if (RowsAscending()) {
            auto it = std::lower_bound(rows.begin(), rows.end(), phys);
            return it != rows.end() && *it == phys ? int(it - rows.begin()) : -1;
        }
        auto it = std::find(rows.begin(), rows.end(), phys);
        return it != rows.end() ? int(it - rows.begin()) : -1;
    }

    void Rebuild()
    {
        const TDataStore &s = *store;
        if (FilterOn()) {
            if (s.LiveRowsAreIdentity()) {
                rows = filter->MatchingIdentity(s, s.PhysicalCount());
            } else {
                rows = s.LiveRows();
                filter->Apply(s, rows);
            }
        } else if (s.LiveRowsAreIdentity()) {
            rows.resize(size_t(s.PhysicalCount()));
            std::iota(rows.begin(), rows.end(), 0);
        } else {
            rows = s.LiveRows();
        }
        if (sort)
            sort->Sort(rows, s);
        builtVersion = s.Version();
        RestoreCurrent();
    }

    // After the rows changed: the current row stays the same row when it is still visible,
    // otherwise the cursor keeps its position.
    void RestoreCurrent()
    {
        const int phys = curRowId >= 0 ? store->PhysOf(curRowId) : -1;
        const int pos = phys >= 0 ? FindPos(phys) : -1;
        if (pos >= 0) {
            cur = pos;
        } else {
            cur = rows.empty() ? -1 : std::clamp(cur, 0, int(rows.size()) - 1);
            eof = bof = rows.empty();
        }
        curRowId = cur >= 0 ? store->RowId(rows[size_t(cur)]) : -1;
        if (rows.empty())
            eof = bof = true;
    }

    void SetCur(int pos)
    {
        cur = pos;
        curRowId = pos >= 0 ? store->RowId(rows[size_t(pos)]) : -1;
    }

    // A rebuild that keeps the current row, then tells the observers.
    void Refresh()
    {
        if (!Active())
            return;
        builtVersion = 0;
        Sync();
        NotifyReset();
    }

    void ResolveExpressions()
    {
        std::shared_ptr<const TDataSetSort> s;
        std::shared_ptr<const TDataSetFilter> f;
        if (!sortText.isEmpty())
            s = std::make_shared<const TDataSetSort>(sortText, defs);
        if (!filterText.isEmpty())
            f = std::make_shared<const TDataSetFilter>(filterText, defs);
        sort = std::move(s);
        filter = std::move(f);
    }

    void OpenStore(std::shared_ptr<TDataStore> s)
    {
        ResolveExpressions(); // may throw: the dataset then stays closed
        AttachStore(std::move(s));
        state = TDataSetState::Browse;
        Sync();
        SetCur(rows.empty() ? -1 : 0);
        bof = true;
        eof = rows.empty();
        NotifyState();
        NotifyReset();
    }

    // --- current values ---

    // The committed cell behind field c of the current record, or nullptr when the value
    // comes from the edit buffer or there is no record.
    const TColumn *CommittedCell(int c, int *phys)
    {
        Sync();
        int p = -1;
        if (Editing()) {
            if (state == TDataSetState::Insert || bufSet[size_t(c)])
                return nullptr;
            p = store->PhysOf(editRowId);
        } else if (cur >= 0) {
            p = rows[size_t(cur)];
        }
        if (p < 0)
            return nullptr;
        *phys = p;
        return &store->Column(c);
    }

    // Typed value of field c of the current record; a buffered value that does not convert is
    // returned as written, with *converted false.
    QVariant CurrentTyped(int c, bool *converted = nullptr)
    {
        if (converted)
            *converted = true;
        if (!Active())
            return QVariant();
        if (Editing() && bufSet[size_t(c)]) {
            bool ok = false;
            QVariant t = ConvertToFieldType(buf[size_t(c)], defs[size_t(c)].type, &ok);
            if (ok)
                return t;
            if (converted)
                *converted = false;
            return buf[size_t(c)];
        }
        int p = -1;
        const TColumn *col = CommittedCell(c, &p);
        return col ? col->Value(p) : QVariant();
    }

    // --- editing ---

    void ClearBuffer()
    {
        buf.assign(defs.size(), QVariant());
        bufSet.assign(defs.size(), 0);
        editRowId = -1;
        insertBeforeId = -1;
    }

    void CheckBrowseMode()
    {
        if (!Editing())
            return;
        if (std::find(bufSet.begin(), bufSet.end(), quint8(1)) != bufSet.end())
            q->Post();
        else
            q->Cancel();
    }

    // --- observers ---

    template<class F>
    void ForObservers(F f)
    {
        if (disabled > 0 || observers.empty())
            return;
        const std::vector<TDataSetObserver *> copy = observers;
        for (TDataSetObserver *o : copy) {
            if (std::find(observers.begin(), observers.end(), o) != observers.end())
                f(o);
        }
    }
    void NotifyReset()
    {
        ForObservers([](TDataSetObserver *o) { o->DataSetReset(); });
    }
    void NotifyRow(int pos)
    {
        if (pos >= 0)
            ForObservers([pos](TDataSetObserver *o) { o->RowChanged(pos); });
    }
    void NotifyCurrent()
    {
        ForObservers([](TDataSetObserver *o) { o->CurrentChanged(); });
    }
    void NotifyState()
    {
        ForObservers([](TDataSetObserver *o) { o->StateChanged(); });
    }

    // Another view of the same store changed it.
    void StoreChanged(TStoreChange change, quint64 prevVersion, int phys) override
    {
        if (change == TStoreChange::Values && builtVersion == prevVersion && !sort && !FilterOn()) {
            // Same rows in the same order: only the values of one row changed.
            builtVersion = store->Version();
            NotifyRow(FindPos(phys));
            return;
        }
        NotifyReset(); // rebuilt on next access
    }

    // After rows were added to the store by this view: the view follows without a full
    // rebuild when it has no order or filter of its own.
    void RowsAppended(int first, int n, bool wasInSync)
    {
        if (wasInSync && !sort && !FilterOn()) {
            for (int i = 0; i < n; ++i)
                rows.push_back(first + i);
            builtVersion = store->Version();
        } else {
            Sync();
        }
    }
};

// --- TField ----------------------------------------------------------------------------------

namespace {

[[noreturn]] void ThrowNoField()
{
    throw EDataSetError(QStringLiteral("Campo inesistente."));
}

} // namespace

const QString &TField::FieldName() const
{
    return Def().name;
}

TFieldType TField::DataType() const
{
    return Def().type;
}

TFieldDef &TField::Def()
{
    if (!m_ds)
        ThrowNoField();
    return m_ds->DefAt(m_index);
}

const TFieldDef &TField::Def() const
{
    if (!m_ds)
        ThrowNoField();
    return m_ds->DefAt(m_index);
}

bool TField::IsNull() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p))
        return col->nulls[size_t(p)] != 0;
    return !m_ds->d->CurrentTyped(m_index).isValid();
}

QVariant TField::Value() const
{
    m_ds->d->CheckColumn(m_index);
    return m_ds->d->CurrentTyped(m_index);
}

QString TField::AsString() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p)) {
        if (col->nulls[size_t(p)])
            return QString();
        if (col->type == TFieldType::Text)
            return col->texts[size_t(p)];
        if (col->type == TFieldType::DateTime)
            return StampToText(col->ints[size_t(p)]);
        return ValueAsString(col->Value(p));
    }
    return ValueAsString(m_ds->d->CurrentTyped(m_index));
}

qint64 TField::AsInteger() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p)) {
        if (col->nulls[size_t(p)])
            return 0;
        if (col->type == TFieldType::Integer)
            return col->ints[size_t(p)];
        return ValueAsInteger(col->Value(p));
    }
    return ValueAsInteger(m_ds->d->CurrentTyped(m_index));
}

double TField::AsFloat() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p)) {
        if (col->nulls[size_t(p)])
            return 0;
        if (col->type == TFieldType::Real)
            return col->reals[size_t(p)];
        if (col->type == TFieldType::Integer)
            return double(col->ints[size_t(p)]);
        return ValueAsFloat(col->Value(p));
    }
    return ValueAsFloat(m_ds->d->CurrentTyped(m_index));
}

bool TField::AsBoolean() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p)) {
        if (col->nulls[size_t(p)])
            return false;
        if (col->type == TFieldType::Flag)
            return col->flags[size_t(p)] != 0;
        if (col->type == TFieldType::Integer)
            return col->ints[size_t(p)] != 0;
        return ValueAsBoolean(col->Value(p));
    }
    return ValueAsBoolean(m_ds->d->CurrentTyped(m_index));
}

QDateTime TField::AsDateTime() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p)) {
        if (col->nulls[size_t(p)])
            return QDateTime();
        if (col->type == TFieldType::DateTime)
            return DateTimeFromStamp(col->ints[size_t(p)]);
        return ValueAsDateTime(col->Value(p));
    }
    return ValueAsDateTime(m_ds->d->CurrentTyped(m_index));
}

QByteArray TField::AsBytes() const
{
    m_ds->d->CheckColumn(m_index);
    return ValueAsBytes(m_ds->d->CurrentTyped(m_index));
}

QString TField::DisplayText() const
{
    m_ds->d->CheckColumn(m_index);
    int p = -1;
    if (const TColumn *col = m_ds->d->CommittedCell(m_index, &p))
        return CellDisplayText(Def(), *col, p);
    bool converted = true;
    const QVariant v = m_ds->d->CurrentTyped(m_index, &converted);
    if (!converted)
        return ValueAsString(v);
    return FieldDisplayText(Def(), v);
}

void TField::SetValue(const QVariant &v)
{
    m_ds->SetCurrentValue(m_index, v);
}

void TField::SetNull()
{
    m_ds->SetCurrentValue(m_index, QVariant());
}

QString TField::DisplayLabel() const
{
    const TFieldDef &def = Def();
    return def.displayLabel.isEmpty() ? def.name : def.displayLabel;
}

// --- TDataSet: structure -------------------------------------------------------------------------

TDataSet::TDataSet()
    : d(std::make_unique<Impl>(this))
{}

TDataSet::~TDataSet() = default;

void TDataSet::AddFieldDef(const TFieldDef &def)
{
    if (d->Active())
        throw EDataSetError(
            QStringLiteral("Impossibile aggiungere il campo %1: il dataset è aperto.").arg(def.name));
    if (def.name.trimmed().isEmpty())
        throw EDataSetError(QStringLiteral("Nome di campo vuoto."));
    if (FindFieldIn(d->defs, def.name) >= 0)
        throw EDataSetError(QStringLiteral("Campo %1 già definito.").arg(def.name));
    d->defs.push_back(def);
}

void TDataSet::AddFieldDef(const QString &name, TFieldType type, int size)
{
    TFieldDef def;
    def.name = name;
    def.type = type;
    def.size = size;
    AddFieldDef(def);
}

void TDataSet::CreateDataSet()
{
    if (d->Active())
        Close();
    d->OpenStore(std::make_shared<TDataStore>(d->defs));
}

void TDataSet::OpenFromSource(std::vector<TFieldDef> defs, std::shared_ptr<const ColumnSource> src)
{
    if (d->Active())
        Close();
    d->defs = std::move(defs);
    d->OpenStore(std::make_shared<TDataStore>(d->defs, std::move(src)));
}

void TDataSet::Close()
{
    if (!d->Active())
        return;
    d->ClearBuffer();
    d->DetachStore();
    d->state = TDataSetState::Inactive;
    d->cur = -1;
    d->curRowId = -1;
    d->eof = d->bof = true;
    d->NotifyState();
    d->NotifyReset();
}

bool TDataSet::Active() const
{
    return d->Active();
}

int TDataSet::FieldCount() const
{
    return int(d->defs.size());
}

const std::vector<TFieldDef> &TDataSet::FieldDefs() const
{
    return d->defs;
}

int TDataSet::FieldIndex(const QString &name) const
{
    return FindFieldIn(d->defs, name);
}

TField TDataSet::FieldByName(const QString &name)
{
    const int i = FieldIndex(name);
    if (i < 0)
        throw EDataSetError(QStringLiteral("Campo %1 inesistente.").arg(name));
    return TField(this, i);
}

TField TDataSet::FindField(const QString &name)
{
    return TField(this, FieldIndex(name));
}

TField TDataSet::Fields(int index)
{
    d->CheckColumn(index);
    return TField(this, index);
}

QStringList TDataSet::FieldNames() const
{
    QStringList names;
    for (const TFieldDef &def : d->defs)
        names << def.name;
    return names;
}

TFieldDef &TDataSet::DefAt(int column)
{
    d->CheckColumn(column);
    return d->defs[size_t(column)];
}

// --- Navigation ----------------------------------------------------------------------------------

int TDataSet::RecordCount() const
{
    if (!d->Active())
        return 0;
    d->Sync();
    return int(d->rows.size());
}

int TDataSet::RecNo() const
{
    if (!d->Active())
        return 0;
    d->Sync();
    return d->cur + 1;
}

void TDataSet::SetRecNo(int recNo)
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    if (d->rows.empty())
        return;
    const int pos = std::clamp(recNo - 1, 0, int(d->rows.size()) - 1);
    const bool moved = pos != d->cur;
    d->SetCur(pos);
    d->eof = d->bof = false;
    if (moved)
        d->NotifyCurrent();
}

void TDataSet::First()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    const int before = d->cur;
    d->SetCur(d->rows.empty() ? -1 : 0);
    d->bof = true;
    d->eof = d->rows.empty();
    if (before != d->cur)
        d->NotifyCurrent();
}

void TDataSet::Last()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    const int before = d->cur;
    d->SetCur(int(d->rows.size()) - 1);
    d->eof = true;
    d->bof = d->rows.empty();
    if (before != d->cur)
        d->NotifyCurrent();
}

void TDataSet::Next()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    if (d->cur + 1 < int(d->rows.size())) {
        d->SetCur(d->cur + 1);
        d->eof = d->bof = false;
        d->NotifyCurrent();
    } else {
        d->eof = true;
    }
}

void TDataSet::Prior()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    if (d->cur > 0) {
        d->SetCur(d->cur - 1);
        d->eof = d->bof = false;
        d->NotifyCurrent();
    } else {
        d->bof = true;
    }
}

bool TDataSet::Eof() const
{
    if (!d->Active())
        return true;
    d->Sync();
    return d->eof || d->rows.empty();
}

bool TDataSet::Bof() const
{
    if (!d->Active())
        return true;
    d->Sync();
    return d->bof || d->rows.empty();
}

// --- Editing -------------------------------------------------------------------------------------

TDataSetState TDataSet::State() const
{
    return d->state;
}

void TDataSet::Append()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    d->ClearBuffer();
    d->state = TDataSetState::Insert;
    d->NotifyState();
}

void TDataSet::Insert()
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    d->ClearBuffer();
    d->insertBeforeId = d->curRowId;
    d->state = TDataSetState::Insert;
    d->NotifyState();
}

void TDataSet::Edit()
{
    d->CheckActive();
    if (d->Editing())
        return;
    d->Sync();
    if (d->rows.empty()) {
        Append();
        return;
    }
    d->ClearBuffer();
    d->editRowId = d->curRowId;
    d->state = TDataSetState::Edit;
    d->NotifyState();
}

void TDataSet::Post()
{
    if (!d->Editing())
        throw EDataSetError(QStringLiteral("Il dataset non è in modifica."));
    d->Sync();
    const bool inserting = d->state == TDataSetState::Insert;
    const int n = int(d->defs.size());
    const int editPhys = inserting ? -1 : d->store->PhysOf(d->editRowId);
    if (!inserting && editPhys < 0)
        throw EDataSetError(QStringLiteral("Il record in modifica non esiste più."));

    std::vector<QVariant> values(static_cast<size_t>(n));
    std::vector<quint8> mask(size_t(n), inserting ? 1 : 0);
    for (int c = 0; c < n; ++c) {
        const TFieldDef &def = d->defs[size_t(c)];
        if (d->bufSet[size_t(c)]) {
            bool ok = false;
            values[size_t(c)] = ConvertToFieldType(d->buf[size_t(c)], def.type, &ok);
            if (!ok)
                throw ConversionError(def, d->buf[size_t(c)]);
            mask[size_t(c)] = 1;
        } else if (!inserting) {
            values[size_t(c)] = d->store->Column(c).Value(editPhys);
        }
    }
    for (int c = 0; c < n; ++c) {
        const TFieldDef &def = d->defs[size_t(c)];
        if (def.required && !values[size_t(c)].isValid())
            throw EDataSetError(QStringLiteral("Il campo %1 è obbligatorio.").arg(def.name));
    }

    const bool inSync = d->builtVersion == d->store->Version();
    if (!inserting) {
        d->store->SetValues(editPhys, values, mask, d.get());
        d->ClearBuffer();
        d->state = TDataSetState::Browse;
        d->NotifyState();
        if (inSync && !d->sort && !d->FilterOn()) {
            d->builtVersion = d->store->Version();
            d->NotifyRow(d->cur);
        } else {
            d->Sync(); // the row may move or leave the view
            d->NotifyReset();
        }
        return;
    }

    const int beforePhys = d->insertBeforeId >= 0 ? d->store->PhysOf(d->insertBeforeId) : -1;
    const int beforePos = beforePhys >= 0 ? d->FindPos(beforePhys) : -1;
    const int phys = d->store->AddRow(values, beforePhys, d.get());
    d->ClearBuffer();
    d->state = TDataSetState::Browse;
    if (inSync && !d->sort && !d->FilterOn()) {
        int pos = int(d->rows.size());
        if (beforePos >= 0)
            pos = beforePos;
        d->rows.insert(d->rows.begin() + pos, phys);
        d->builtVersion = d->store->Version();
        d->SetCur(pos);
    } else {
        d->curRowId = d->store->RowId(phys);
        d->Sync();
    }
    d->eof = d->bof = false;
    d->NotifyState();
    d->NotifyReset();
}

void TDataSet::Cancel()
{
    if (!d->Editing())
        return;
    const bool wasEdit = d->state == TDataSetState::Edit;
    d->ClearBuffer();
    d->state = TDataSetState::Browse;
    d->NotifyState();
    if (wasEdit)
        d->NotifyRow(d->cur);
}

void TDataSet::Delete()
{
    d->CheckActive();
    if (d->state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    const bool wasEdit = d->state == TDataSetState::Edit;
    if (wasEdit) {
        d->ClearBuffer();
        d->state = TDataSetState::Browse;
    }
    d->Sync();
    if (d->rows.empty() || d->cur < 0)
        throw EDataSetError(QStringLiteral("Nessun record da cancellare."));
    const int pos = d->cur;
    d->store->DeleteRows({d->rows[size_t(pos)]}, d.get());
    d->rows.erase(d->rows.begin() + pos);
    d->builtVersion = d->store->Version();
    d->SetCur(d->rows.empty() ? -1 : std::min(pos, int(d->rows.size()) - 1));
    d->eof = d->bof = d->rows.empty();
    if (wasEdit)
        d->NotifyState();
    d->NotifyReset();
}

int TDataSet::DeleteMatching(const QString &expr)
{
    d->CheckActive();
    const TDataSetFilter f(expr, d->defs);
    d->CheckBrowseMode();
    d->Sync();
    std::vector<quint64> bits;
    f.Evaluate(*d->store, d->rows.data(), int(d->rows.size()), bits);
    std::vector<int> gone;
    std::vector<int> kept;
    kept.reserve(d->rows.size());
    for (size_t i = 0; i < d->rows.size(); ++i) {
        if (bits[i / 64] >> (i % 64) & 1)
            gone.push_back(d->rows[i]);
        else
            kept.push_back(d->rows[i]);
    }
    if (gone.empty())
        return 0;
    const auto isGone = [&bits](int i) { return (bits[size_t(i) / 64] >> (i % 64) & 1) != 0; };
    int removedBefore = 0;
    for (int i = 0; i < d->cur; ++i)
        removedBefore += isGone(i) ? 1 : 0;
    const bool currentGone = d->cur >= 0 && isGone(d->cur);
    d->store->DeleteRows(gone, d.get());
    d->rows = std::move(kept);
    d->builtVersion = d->store->Version();
    // The current row stays current; when it went, the cursor stays at its place.
    if (d->rows.empty())
        d->SetCur(-1);
    else if (d->cur >= 0)
        d->SetCur(std::clamp(d->cur - removedBefore, 0, int(d->rows.size()) - 1));
    if (currentGone || d->rows.empty())
        d->eof = d->bof = d->rows.empty();
    d->NotifyReset();
    return int(gone.size());
}

void TDataSet::EmptyDataSet()
{
    d->CheckActive();
    Cancel();
    d->store->Clear(d.get());
    d->rows.clear();
    d->builtVersion = d->store->Version();
    d->SetCur(-1);
    d->eof = d->bof = true;
    d->NotifyReset();
}

QVariant TDataSet::ValueAt(int recNo0, int column) const
{
    d->CheckColumn(column);
    if (!d->Active())
        return QVariant();
    d->Sync();
    if (recNo0 < 0 || recNo0 >= int(d->rows.size()))
        return QVariant();
    if (d->state == TDataSetState::Edit && recNo0 == d->cur)
        return d->CurrentTyped(column);
    return d->store->Column(column).Value(d->rows[size_t(recNo0)]);
}

bool TDataSet::TextEqualsAt(int recNo0, int column, QStringView text) const
{
    d->CheckColumn(column);
    if (!d->Active())
        return text.isEmpty();
    d->Sync();
    if (recNo0 < 0 || recNo0 >= int(d->rows.size()))
        return text.isEmpty();
    if (d->state == TDataSetState::Edit && recNo0 == d->cur) {
        const QVariant v = d->CurrentTyped(column);
        return (v.isValid() ? v.toString() : QString()) == text;
    }
    return d->store->TextEquals(column, d->rows[size_t(recNo0)], text);
}

bool TDataSet::IsNullAt(int recNo0, int column) const
{
    d->CheckColumn(column);
    if (!d->Active())
        return true;
    d->Sync();
    if (recNo0 < 0 || recNo0 >= int(d->rows.size()))
        return true;
    if (d->state == TDataSetState::Edit && recNo0 == d->cur)
        return !d->CurrentTyped(column).isValid();
    return d->store->Column(column).nulls[size_t(d->rows[size_t(recNo0)])] != 0;
}

QString TDataSet::DisplayTextAt(int recNo0, int column) const
{
    d->CheckColumn(column);
    if (!d->Active())
        return QString();
    d->Sync();
    if (recNo0 < 0 || recNo0 >= int(d->rows.size()))
        return QString();
    if (d->state == TDataSetState::Edit && recNo0 == d->cur) {
        bool converted = true;
        const QVariant v = d->CurrentTyped(column, &converted);
        return converted ? FieldDisplayText(d->defs[size_t(column)], v) : ValueAsString(v);
    }
    return CellDisplayText(d->defs[size_t(column)],
                           d->store->Column(column),
                           d->rows[size_t(recNo0)]);
}

TBookmark TDataSet::BookmarkAt(int recNo0) const
{
    if (!d->Active())
        return TBookmark();
    d->Sync();
    if (recNo0 < 0 || recNo0 >= int(d->rows.size()))
        return TBookmark();
    return TBookmark{d->store->RowId(d->rows[size_t(recNo0)])};
}

QVariant TDataSet::CurrentValue(int column) const
{
    d->CheckColumn(column);
    return d->CurrentTyped(column);
}

void TDataSet::SetCurrentValue(int column, const QVariant &v)
{
    d->CheckColumn(column);
    const TFieldDef &def = d->defs[size_t(column)];
    if (!d->Editing())
        throw EDataSetError(
            QStringLiteral("Impossibile scrivere il campo %1: il dataset non è in modifica.")
                .arg(def.name));
    if (def.readOnly)
        throw EDataSetError(QStringLiteral("Il campo %1 è di sola lettura.").arg(def.name));
    d->buf[size_t(column)] = v;
    d->bufSet[size_t(column)] = 1;
    if (d->state == TDataSetState::Edit)
        d->NotifyRow(d->cur);
}

// --- Sort, filter, locate --------------------------------------------------------------------------

void TDataSet::SetSort(const QString &expr)
{
    const QString text = expr.trimmed();
    std::shared_ptr<const TDataSetSort> parsed;
    if (!text.isEmpty() && !d->defs.empty())
        parsed = std::make_shared<const TDataSetSort>(text, d->defs);
    if (d->Active())
        d->CheckBrowseMode();
    d->sortText = text;
    d->sort = parsed && !parsed->Keys().empty() ? parsed : nullptr;
    d->Refresh();
}

QString TDataSet::Sort() const
{
    return d->sortText;
}

void TDataSet::SetFilter(const QString &expr)
{
    const QString text = expr.trimmed();
    std::shared_ptr<const TDataSetFilter> parsed;
    if (!text.isEmpty() && !d->defs.empty())
        parsed = std::make_shared<const TDataSetFilter>(text, d->defs);
    if (d->Active())
        d->CheckBrowseMode();
    d->filterText = text;
    d->filter = parsed;
    if (d->filtered)
        d->Refresh();
}

QString TDataSet::Filter() const
{
    return d->filterText;
}

void TDataSet::SetFiltered(bool on)
{
    if (d->Active())
        d->CheckBrowseMode();
    d->filtered = on;
    d->Refresh();
}

bool TDataSet::Filtered() const
{
    return d->filtered;
}

int TDataSet::CountMatching(const QString &expr) const
{
    if (!d->Active())
        return 0;
    const TDataSetFilter f(expr, d->defs);
    d->Sync();
    return f.CountMatching(*d->store, d->rows);
}

bool TDataSet::Locate(const QString &fieldNames, const QVariant &value, int options)
{
    const QStringList names = fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() > 1)
        return Locate(names, value.toList(), options);
    return Locate(names, QVariantList{value}, options);
}

bool TDataSet::Locate(const QStringList &fieldNames, const QVariantList &values, int options)
{
    d->CheckActive();
    if (fieldNames.isEmpty() || fieldNames.size() != values.size())
        throw EDataSetError(QStringLiteral("Ricerca su %1 campi con %2 valori.")
                                .arg(fieldNames.size())
                                .arg(values.size()));
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;

    struct Key
    {
        const TColumn *col = nullptr;
        bool isNull = false;
        QString text;
        qint64 i = 0;
        double r = 0;
        bool real = false;
    };
    std::vector<int> columns;
    for (const QString &name : fieldNames) {
        const int c = FieldIndex(name.trimmed());
        if (c < 0)
            throw EDataSetError(QStringLiteral("Campo %1 inesistente.").arg(name.trimmed()));
        columns.push_back(c);
    }
    d->CheckBrowseMode();
    d->Sync();
    std::vector<Key> keys;
    for (size_t k = 0; k < columns.size(); ++k) {
        Key key;
        key.col = &d->store->Column(columns[k]);
        const QVariant &v = values[qsizetype(k)];
        if (!v.isValid() || v.metaType().id() == QMetaType::Nullptr) {
            key.isNull = true;
        } else if (key.col->type == TFieldType::Text) {
            key.text = ValueAsString(v);
        } else if (key.col->type == TFieldType::DateTime
                   && v.metaType().id() == QMetaType::QString) {
            // Texts straight to the stored form (a time skipped by daylight saving included).
            if (!ParseStampText(v.toString(), &key.i))
                return false;
        } else if (key.col->type == TFieldType::Integer
                   && (v.metaType().id() == QMetaType::Double
                       || v.metaType().id() == QMetaType::Float)) {
            key.r = v.toDouble();
            key.real = true;
        } else {
            bool ok = false;
            const QVariant typed = ConvertToFieldType(v, key.col->type, &ok);
            if (!ok)
                return false; // no row of this type can hold the value
            if (!typed.isValid()) {
                key.isNull = true;
            } else if (key.col->type == TFieldType::Real) {
                key.r = typed.toDouble();
            } else if (key.col->type == TFieldType::Blob) {
                key.text = QString::fromLatin1(typed.toByteArray());
            } else if (key.col->type == TFieldType::DateTime) {
                key.i = StampFromDateTime(typed.toDateTime());
            } else if (key.col->type == TFieldType::Flag) {
                key.i = typed.toBool() ? 1 : 0;
            } else {
                key.i = typed.toLongLong();
            }
        }
        keys.push_back(key);
    }
    const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;
    auto matches = [&](const Key &key, int p) {
        const TColumn &col = *key.col;
        const bool isNull = col.nulls[size_t(p)] != 0;
        if (key.isNull || isNull)
            return key.isNull == isNull;
        switch (col.type) {
        case TFieldType::Text: {
            const QString &t = col.texts[size_t(p)];
            return partial ? t.startsWith(key.text, cs) : t.compare(key.text, cs) == 0;
        }
        case TFieldType::Integer:
            return key.real ? double(col.ints[size_t(p)]) == key.r : col.ints[size_t(p)] == key.i;
        case TFieldType::DateTime:
            return col.ints[size_t(p)] == key.i;
        case TFieldType::Real:
            return col.reals[size_t(p)] == key.r;
        case TFieldType::Flag:
            return col.flags[size_t(p)] == key.i;
        case TFieldType::Blob:
            return QString::fromLatin1(col.blobs[size_t(p)]) == key.text;
        }
        return false;
    };
    for (int pos = 0; pos < int(d->rows.size()); ++pos) {
        const int p = d->rows[size_t(pos)];
        bool all = true;
        for (const Key &key : keys) {
            if (!matches(key, p)) {
                all = false;
                break;
            }
        }
        if (all) {
            const bool moved = pos != d->cur;
            d->SetCur(pos);
            d->eof = d->bof = false;
            if (moved)
                d->NotifyCurrent();
            return true;
        }
    }
    return false;
}

TBookmark TDataSet::GetBookmark() const
{
    if (!d->Active() || d->state == TDataSetState::Insert)
        return TBookmark();
    d->Sync();
    return d->cur >= 0 ? TBookmark{d->curRowId} : TBookmark();
}

bool TDataSet::GotoBookmark(const TBookmark &bm)
{
    d->CheckActive();
    d->CheckBrowseMode();
    d->Sync();
    const int phys = bm.IsValid() ? d->store->PhysOf(bm.rowId) : -1;
    const int pos = phys >= 0 ? d->FindPos(phys) : -1;
    if (pos < 0)
        return false;
    const bool moved = pos != d->cur;
    d->SetCur(pos);
    d->eof = d->bof = false;
    if (moved)
        d->NotifyCurrent();
    return true;
}

bool TDataSet::BookmarkValid(const TBookmark &bm) const
{
    if (!d->Active() || !bm.IsValid())
        return false;
    d->Sync();
    const int phys = d->store->PhysOf(bm.rowId);
    return phys >= 0 && d->FindPos(phys) >= 0;
}

std::unique_ptr<TDataSet> TDataSet::Clone() const
{
    auto c = std::make_unique<TDataSet>();
    Impl &o = *c->d;
    o.defs = d->defs;
    o.sortText = d->sortText;
    o.sort = d->sort;
    o.filterText = d->filterText;
    o.filter = d->filter;
    o.filtered = d->filtered;
    if (!d->Active())
        return c;
    d->Sync();
    o.AttachStore(d->store);
    o.state = TDataSetState::Browse;
    o.ClearBuffer();
    o.rows = d->rows;
    o.builtVersion = d->builtVersion;
    o.cur = d->cur;
    o.curRowId = d->curRowId;
    o.eof = d->eof;
    o.bof = d->bof;
    return c;
}

// --- Copying -----------------------------------------------------------------------------------

void TDataSet::CopyStructureFrom(const TDataSet &source)
{
    if (d->Active())
        throw EDataSetError(
            QStringLiteral("Impossibile copiare la struttura: il dataset è aperto."));
    d->defs = source.d->defs;
}

void TDataSet::AppendAllFrom(const TDataSet &source)
{
    d->CheckActive();
    if (!source.d->Active())
        throw EDataSetError(QStringLiteral("Il dataset di origine non è aperto."));
    d->CheckBrowseMode();
    source.d->Sync();
    const std::vector<int> srcRows = source.d->rows;
    const int n = int(srcRows.size());
    if (n == 0)
        return;
    d->Sync();
    const TDataStore &ss = *source.d->store;
    TDataStore &ds = *d->store;
    int first = 0;
    if (SameStructure(ss.Defs(), ds.Defs())) {
        bool whole = &ss != &ds && ds.PhysicalCount() == 0 && ss.LiveRowsAreIdentity()
                     && n == ss.PhysicalCount();
        for (int i = 0; whole && i < n; ++i)
            whole = srcRows[size_t(i)] == i;
        if (whole) {
            // Every row of the source in its natural order: take the columns as they are.
            ds.AdoptAllRowsFrom(ss, d.get());
            first = 0;
        } else {
            first = ds.AppendRowsFrom(ss, srcRows, d.get());
        }
    } else {
        std::vector<TColumn> cols(size_t(ds.ColumnCount()));
        for (int c = 0; c < ds.ColumnCount(); ++c) {
            TColumn &col = cols[size_t(c)];
            col.type = ds.Type(c);
            col.Resize(n);
            const TFieldDef &def = ds.Defs()[size_t(c)];
            const int sc = FindFieldIn(ss.Defs(), def.name);
            if (sc < 0)
                continue;
            const TColumn &from = ss.Column(sc);
            if (from.type == col.type) {
                for (int i = 0; i < n; ++i)
                    col.CopyCell(i, from, srcRows[size_t(i)]);
                continue;
            }
            for (int i = 0; i < n; ++i) {
                const QVariant v = from.Value(srcRows[size_t(i)]);
                bool ok = false;
                const QVariant typed = ConvertToFieldType(v, col.type, &ok);
                if (!ok)
                    throw ConversionError(def, v);
                col.Set(i, typed);
            }
        }
        first = ds.AppendColumns(std::move(cols), n, d.get());
    }
    d->RowsAppended(first, n, true);
    if (d->cur < 0 && !d->rows.empty()) {
        d->SetCur(0);
        d->bof = true;
        d->eof = false;
    }
    d->NotifyReset();
}

void TDataSet::AppendCurrentFrom(const TDataSet &source)
{
    d->CheckActive();
    d->CheckBrowseMode();
    if (!source.d->Active())
        throw EDataSetError(QStringLiteral("Il dataset di origine non è aperto."));
    source.d->Sync();
    if (source.d->cur < 0 && !source.d->Editing())
        return;
    const int n = int(d->defs.size());
    std::vector<QVariant> values(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        const TFieldDef &def = d->defs[size_t(c)];
        const int sc = source.FieldIndex(def.name);
        if (sc < 0)
            continue;
        const QVariant v = source.d->CurrentTyped(sc);
        bool ok = false;
        values[size_t(c)] = ConvertToFieldType(v, def.type, &ok);
        if (!ok)
            throw ConversionError(def, v);
    }
    d->Sync();
    const int phys = d->store->AddRow(values, -1, d.get());
    d->RowsAppended(phys, 1, true);
    if (!d->sort && !d->FilterOn()) {
        d->SetCur(int(d->rows.size()) - 1);
    } else {
        d->curRowId = d->store->RowId(phys);
        d->RestoreCurrent();
    }
    d->eof = d->bof = false;
    d->NotifyReset();
}

// --- Observers ---------------------------------------------------------------------------------

void TDataSet::AddObserver(TDataSetObserver *o)
{
    if (o && std::find(d->observers.begin(), d->observers.end(), o) == d->observers.end())
        d->observers.push_back(o);
}

void TDataSet::RemoveObserver(TDataSetObserver *o)
{
    d->observers.erase(std::remove(d->observers.begin(), d->observers.end(), o), d->observers.end());
}

void TDataSet::DisableControls()
{
    ++d->disabled;
}

void TDataSet::EnableControls()
{
    if (d->disabled == 0)
        return;
    if (--d->disabled == 0)
        d->NotifyReset();
}

bool TDataSet::ControlsDisabled() const
{
    return d->disabled > 0;
}
