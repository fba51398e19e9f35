#include "db/editablerecordset.h"

#include "db/dbmodule.h"
#include "db/pgadapter.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QVariant>

#include <algorithm>
#include <vector>

namespace {

bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

QString quoteIdentifier(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The row version column: read with the rows, never written.
bool isVersionColumn(const QString &name)
{
    return name.compare(QLatin1String("xmin"), Qt::CaseInsensitive) == 0;
}

bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (isNull(a) || isNull(b))
        return isNull(a) == isNull(b);
    return a == b;
}

// A PostgreSQL array literal of texts: every element quoted, quotes and backslashes escaped.
QString textArrayLiteral(const QStringList &values)
{
    QStringList quoted;
    quoted.reserve(values.size());
    for (QString v : values) {
        v.replace(u'\\', QStringLiteral("\\\\"));
        v.replace(u'"', QStringLiteral("\\\""));
        quoted << u'"' + v + u'"';
    }
    return u'{' + quoted.join(u',') + u'}';
}

const char *kChangedMeanwhile
    = "Il record è stato modificato da un altro operatore: i dati sono stati riletti.";
const char *kSavepoint = "SAVEPOINT vt_recordset";
const char *kRollbackToSavepoint = "ROLLBACK TO SAVEPOINT vt_recordset";
const char *kReleaseSavepoint = "RELEASE SAVEPOINT vt_recordset";

// A stored row: its values as read or posted, and the version they belong to.
struct TStoredRow
{
    QVariantList values;
    QString version;
};

// One statement of a save.
struct TWrite
{
    enum Kind { Delete, Update, Insert } kind = Update;
    QString key;   // the stored key (deletions, updates)
    TBookmark row; // the row in memory (updates, insertions)
    QString sql;
    QVariantList params;
    QList<int> stamped; // columns stamped, with their values
    QVariantList stampValues;
    bool keyFromTable = false; // an insertion whose key the table makes
};

} // namespace

struct TEditableRecordSet::Impl
{
    TSTD_DBMODULE *db = nullptr; // Not owned.
    QString table;
    QString key;
    QString commandText; // the record procedure, run again to re-read the rows
    QString keyColumn;   // the key's name as the result gives it
    std::unique_ptr<TDataSet> data;
    TEditableRecordSet::TWriteKind failed = TEditableRecordSet::TWriteKind::None;
    QHash<QString, TStoredRow> stored;
    QStringList storedOrder; // the stored rows in the order they were read

    // A post inside the caller's transaction is stored only if that transaction commits: until
    // then the state before the post is kept, to be restored if it is rolled back.
    quint64 pendingSerial = 0;
    QHash<QString, TStoredRow> savedStored;
    QStringList savedOrder;
    QList<TBookmark> keysFromTable; // rows whose key the table gave in the pending posts

    TDataSet &ds()
    {
        if (!data)
            throw EDatabaseError(QStringLiteral("Record non aperto."));
        return *data;
    }

    void settle()
    {
        if (!pendingSerial)
            return;
        if (db->TransactionRolledBack(pendingSerial)) {
            stored = savedStored;
            storedOrder = savedOrder;
            // Those rows were never stored: the table makes their keys again.
            if (data) {
                std::unique_ptr<TDataSet> all = unfiltered();
                const int keyField = all->FieldIndex(key);
                for (const TBookmark &bm : std::as_const(keysFromTable)) {
                    if (!all->GotoBookmark(bm))
                        continue;
                    all->Edit();
                    all->Fields(keyField).SetNull();
                    all->Post();
                }
            }
        }
        if (db->TransactionRolledBack(pendingSerial) || db->TransactionSerial() != pendingSerial) {
            pendingSerial = 0;
            savedStored.clear();
            savedOrder.clear();
            keysFromTable.clear();
        }
    }

    // Every row, whatever filter the window set on its view.
    std::unique_ptr<TDataSet> unfiltered()
    {
        std::unique_ptr<TDataSet> all = data->Clone();
        all->SetFiltered(false);
        return all;
    }

    static QString keyText(const QVariant &v) { return isNull(v) ? QString() : v.toString(); }

    QStringList keysOf(TDataSet &rows)
    {
        const int c = rows.FieldIndex(key);
        QStringList keys;
        for (int r = 0; r < rows.RecordCount(); ++r) {
            const QString k = keyText(rows.ValueAt(r, c));
            if (k.isEmpty())
                throw EDatabaseError(
                    QStringLiteral("La chiave %1 è vuota in una riga di %2.").arg(key, commandText));
            keys << k;
        }
        return keys;
    }

    // The current versions of the rows with those keys; a row gone (or out of the login's
    // reach) has none.
    QHash<QString, QString> readVersions(const QStringList &keys)
    {
        QHash<QString, QString> versions;
        if (keys.isEmpty())
            return versions;
        std::unique_ptr<TDataSet> r
            = db->QueryParams(QStringLiteral(
                                  "SELECT %2::text, xmin::text FROM %1 WHERE %2 = ANY ($1::text[])")
                                  .arg(table, quoteIdentifier(keyColumn)),
                              {textArrayLiteral(keys)});
        for (int i = 0; i < r->RecordCount(); ++i)
            versions.insert(r->ValueAt(i, 0).toString(), r->ValueAt(i, 1).toString());
        return versions;
    }

    QString readVersion(const QString &k) { return readVersions({k}).value(k); }

    // Runs the record procedure and keeps its rows with the versions they belong to. The rows
    // are read between two reads of their versions: when rows and versions agree, no change
    // was committed in between.
    void read()
    {
        std::unique_ptr<TDataSet> result = db->Query(commandText);
        if (result->FieldIndex(key) < 0)
            throw EDatabaseError(
                QStringLiteral("La chiave %1 manca nel risultato di %2.").arg(key, commandText));
        keyColumn = result->FieldDefs().at(result->FieldIndex(key)).name;
        QHash<QString, QString> versions;
        for (int attempt = 0; result->RecordCount() > 0; ++attempt) {
            QStringList before = keysOf(*result);
            const QHash<QString, QString> first = readVersions(before);
            result = db->Query(commandText);
            QStringList after = keysOf(*result);
            const QHash<QString, QString> second = readVersions(after);
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            if (before == after && first == second) {
                // Given by the record procedure but out of the login's reach (rows of another
                // company): they could never be saved.
                if (second.size() < after.size())
                    throw EDatabaseError(QStringLiteral(
                        "Il record non può essere modificato dall'operatore collegato."));
                versions = second;
                break;
            }
            if (attempt == 4)
                throw EDatabaseError(QStringLiteral(
                    "Il record viene modificato da un altro operatore in questo momento: "
                    "riprovare."));
        }
        // An in-memory copy of the rows: editable, independent of the server result.
        auto copy = std::make_unique<TDataSet>();
        copy->CopyStructureFrom(*result);
        copy->CreateDataSet();
        copy->AppendAllFrom(*result);
        copy->First();
        data = std::move(copy);
        stored.clear();
        storedOrder.clear();
        const int keyField = data->FieldIndex(key);
        for (int r = 0; r < data->RecordCount(); ++r) {
            const QString k = keyText(data->ValueAt(r, keyField));
            stored.insert(k, {rowValues(*data, r), versions.value(k)});
            storedOrder << k;
        }
    }

    static QVariantList rowValues(const TDataSet &rows, int r)
    {
        QVariantList values;
        for (int c = 0; c < rows.FieldCount(); ++c)
            values << rows.ValueAt(r, c);
        return values;
    }

    // The statements that bring the table to the rows in memory.
    std::vector<TWrite> plan(TDataSet &all, const QString &userName, bool stampAudit)
    {
        const std::vector<TFieldDef> &defs = all.FieldDefs();
        const int keyField = all.FieldIndex(key);
        const QDateTime now = QDateTime::currentDateTime();
        std::vector<TWrite> deletes, updates, inserts;
        QSet<QString> seen;
        for (int r = 0; r < all.RecordCount(); ++r) {
            const QString k = keyText(all.ValueAt(r, keyField));
            if (!k.isEmpty()) {
                if (seen.contains(k))
                    throw EDatabaseError(
                        QStringLiteral("Due righe hanno la stessa chiave (%1): nulla è stato "
                                       "registrato.")
                            .arg(k));
                seen.insert(k);
            }
            const auto storedRow = k.isEmpty() ? stored.constEnd() : stored.constFind(k);
            const bool insert = storedRow == stored.constEnd();
            const QVariantList values = rowValues(all, r);
            TWrite w;
            w.kind = insert ? TWrite::Insert : TWrite::Update;
            w.key = k;
            w.row = all.BookmarkAt(r);
            w.keyFromTable = insert && k.isEmpty();
            if (stampAudit) {
                const QString user = insert ? QStringLiteral("txUtenteIn")
                                            : QStringLiteral("txUtenteMod");
                const QString date = insert ? QStringLiteral("dtIn") : QStringLiteral("dtMod");
                for (const auto &[field, value] :
                     {std::pair<QString, QVariant>{user, userName}, {date, now}}) {
                    const int c = all.FieldIndex(field);
                    if (c >= 0) {
                        w.stamped << c;
                        w.stampValues << value;
                    }
                }
            }
            QStringList columns;
            bool changed = false;
            for (int c = 0; c < int(defs.size()); ++c) {
                if (isVersionColumn(defs.at(c).name) || (!insert && c == keyField))
                    continue;
                QVariant v = values.at(c);
                const int s = int(w.stamped.indexOf(c));
                if (s >= 0) {
                    v = w.stampValues.at(s);
                } else if (insert ? isNull(v) : sameValue(v, storedRow->values.value(c))) {
                    continue; // not set by the program: the table's default or stored value
                } else {
                    changed = true;
                }
                // Refused here, before anything is written: libpq would cut a text at a NUL.
                if (v.typeId() == QMetaType::QString)
                    CheckStorableText(v.toString(), QStringLiteral("campo ") + defs.at(c).name);
                columns << quoteIdentifier(defs.at(c).name);
                w.params << v;
            }
            if (!insert && !changed)
                continue; // nothing to write: no statement, no stamps
            if (insert) {
                QStringList marks;
                for (int i = 1; i <= columns.size(); ++i)
                    marks << QStringLiteral("$%1").arg(i);
                // A row another session added meanwhile under the same key is not overwritten:
                // nothing is inserted, and the save is refused.
                w.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT DO NOTHING "
                                       "RETURNING %4::text, xmin::text")
                            .arg(table,
                                 columns.join(QStringLiteral(", ")),
                                 marks.join(QStringLiteral(", ")),
                                 quoteIdentifier(keyColumn));
                inserts.push_back(std::move(w));
            } else {
                QStringList sets;
                for (int i = 0; i < columns.size(); ++i)
                    sets << QStringLiteral("%1 = $%2").arg(columns.at(i)).arg(i + 1);
                w.params << k << storedRow->version;
                w.sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4 AND xmin = $%5::xid "
                                       "RETURNING xmin::text")
                            .arg(table, sets.join(QStringLiteral(", ")), quoteIdentifier(keyColumn))
                            .arg(w.params.size() - 1)
                            .arg(w.params.size());
                updates.push_back(std::move(w));
            }
        }
        for (const QString &k : std::as_const(storedOrder)) {
            if (seen.contains(k))
                continue;
            TWrite w;
            w.kind = TWrite::Delete;
            w.key = k;
            w.params << k << stored.value(k).version;
            w.sql = QStringLiteral("DELETE FROM %1 WHERE %2 = $1 AND xmin = $2::xid RETURNING 1")
                        .arg(table, quoteIdentifier(keyColumn));
            deletes.push_back(std::move(w));
        }
        // Deletions first: an item removed and added again under the same key is written as
        // the new row it now is.
        std::vector<TWrite> ordered;
        for (auto *group : {&deletes, &updates, &inserts})
            for (TWrite &w : *group)
                ordered.push_back(std::move(w));
        return ordered;
    }

    void restoreRows()
    {
        TDataSet &rows = *data;
        if (rows.State() != TDataSetState::Browse)
            rows.Cancel();
        rows.DisableControls();
        rows.EmptyDataSet();
        for (const QString &k : std::as_const(storedOrder)) {
            const QVariantList &values = stored.value(k).values;
            rows.Append();
            for (int c = 0; c < rows.FieldCount() && c < values.size(); ++c)
                rows.Fields(c).SetValue(values.at(c));
            rows.Post();
        }
        rows.First();
        rows.EnableControls();
    }
};

TEditableRecordSet::TEditableRecordSet(TSTD_DBMODULE *db, QString baseTable, QString keyField)
    : d(std::make_unique<Impl>())
{
    d->db = db;
    d->table = std::move(baseTable);
    d->key = std::move(keyField);
}

TEditableRecordSet::~TEditableRecordSet() = default;

void TEditableRecordSet::Open(const QString &commandText)
{
    Close();
    if (!d->db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    if (!isPlainIdentifier(d->table))
        throw EDatabaseError(QStringLiteral("Tabella non valida: ") + d->table);
    d->commandText = commandText;
    d->read();
}

bool TEditableRecordSet::Active() const
{
    return d->data != nullptr;
}

TDataSet &TEditableRecordSet::Data()
{
    return d->ds();
}

int TEditableRecordSet::StoredCount() const
{
    d->settle();
    return int(d->stored.size());
}

bool TEditableRecordSet::Modified()
{
    d->settle();
    TDataSet &rows = d->ds();
    if (rows.State() != TDataSetState::Browse)
        rows.Post();
    std::unique_ptr<TDataSet> all = d->unfiltered();
    return !d->plan(*all, QString(), false).empty();
}

void TEditableRecordSet::Post(const QString &userName, bool stampAudit)
{
    d->failed = TWriteKind::None;
    d->settle();
    TDataSet &rows = d->ds();
    if (rows.State() != TDataSetState::Browse)
        rows.Post();
    std::unique_ptr<TDataSet> all = d->unfiltered();
    std::vector<TWrite> writes = d->plan(*all, userName, stampAudit);
    if (writes.empty())
        return;

    TSTD_DBMODULE *db = d->db;
    const bool ownTrans = !db->InTransaction();
    if (!ownTrans && d->pendingSerial != db->TransactionSerial()) {
        d->pendingSerial = db->TransactionSerial();
        d->savedStored = d->stored;
        d->savedOrder = d->storedOrder;
        d->keysFromTable.clear();
    }
    // Inside the caller's transaction a savepoint lets the save be undone alone.
    if (ownTrans)
        db->BeginTrans();
    else
        db->ExecuteParams(QString::fromLatin1(kSavepoint), {});
    bool changedMeanwhile = false;
    QStringList newKeys, newVersions; // per write; empty for deletions
    try {
        for (const TWrite &w : writes) {
            d->failed = w.kind == TWrite::Delete   ? TWriteKind::Delete
                        : w.kind == TWrite::Update ? TWriteKind::Update
                                                   : TWriteKind::Insert;
            std::unique_ptr<TDataSet> r = db->QueryParams(w.sql, w.params);
            if (r->RecordCount() == 0) {
                // A row this save deletes and another operator deleted meanwhile: no conflict.
                if (w.kind == TWrite::Delete && d->readVersion(w.key).isEmpty()) {
                    newKeys << QString();
                    newVersions << QString();
                    continue;
                }
                changedMeanwhile = true;
                break;
            }
            r->First();
            newKeys << (w.kind == TWrite::Insert ? r->ValueAt(0, 0).toString() : w.key);
            newVersions << (w.kind == TWrite::Insert
                                ? r->ValueAt(0, 1).toString()
                                : (w.kind == TWrite::Update ? r->ValueAt(0, 0).toString()
                                                            : QString()));
        }
        if (!changedMeanwhile)
            d->failed = TWriteKind::None;
        if (changedMeanwhile) {
            if (ownTrans) {
                db->RollbackTrans();
            } else {
                db->ExecuteParams(QString::fromLatin1(kRollbackToSavepoint), {});
                db->ExecuteParams(QString::fromLatin1(kReleaseSavepoint), {});
            }
        } else if (ownTrans) {
            db->CommitTrans();
        } else {
            db->ExecuteParams(QString::fromLatin1(kReleaseSavepoint), {});
        }
    } catch (...) {
        if (ownTrans) {
            db->RollbackTrans();
        } else {
            try {
                db->ExecuteParams(QString::fromLatin1(kRollbackToSavepoint), {});
                db->ExecuteParams(QString::fromLatin1(kReleaseSavepoint), {});
            } catch (const EDatabaseError &) {
                // The caller rolls its transaction back anyway.
            }
        }
        throw;
    }
    if (changedMeanwhile) {
        // The other operator's rows are read again (nothing of this save stays).
        d->pendingSerial = 0;
        d->savedStored.clear();
        d->savedOrder.clear();
        d->keysFromTable.clear();
        d->read();
        throw ERecordChanged(QString::fromUtf8(kChangedMeanwhile));
    }

    // Stored: the rows show their stamps and the keys the table gave, and become the
    // reference for the next change.
    const int keyField = all->FieldIndex(d->key);
    for (int i = 0; i < int(writes.size()); ++i) {
        const TWrite &w = writes.at(i);
        if (w.kind == TWrite::Delete) {
            d->stored.remove(w.key);
            continue;
        }
        if (!all->GotoBookmark(w.row))
            continue;
        all->Edit();
        for (int s = 0; s < w.stamped.size(); ++s)
            all->Fields(w.stamped.at(s)).SetValue(w.stampValues.at(s));
        if (w.keyFromTable)
            all->Fields(keyField).SetValue(newKeys.at(i));
        all->Post();
        if (w.keyFromTable && !ownTrans)
            d->keysFromTable << w.row;
        d->stored.insert(newKeys.at(i),
                         {Impl::rowValues(*all, all->RecNo() - 1), newVersions.at(i)});
    }
    d->storedOrder.clear();
    for (int r = 0; r < all->RecordCount(); ++r) {
        const QString k = Impl::keyText(all->ValueAt(r, keyField));
        if (d->stored.contains(k))
            d->storedOrder << k;
    }
}

TEditableRecordSet::TWriteKind TEditableRecordSet::FailedWrite() const
{
    return d->failed;
}

void TEditableRecordSet::Cancel()
{
    d->settle();
    if (d->data)
        d->restoreRows();
}

void TEditableRecordSet::Refresh()
{
    if (d->commandText.isEmpty())
        throw EDatabaseError(QStringLiteral("Record non aperto."));
    d->pendingSerial = 0;
    d->savedStored.clear();
    d->savedOrder.clear();
    d->keysFromTable.clear();
    d->read();
}

void TEditableRecordSet::Close()
{
    d->pendingSerial = 0;
    d->savedStored.clear();
    d->savedOrder.clear();
    d->keysFromTable.clear();
    d->data.reset();
    d->stored.clear();
    d->storedOrder.clear();
}
