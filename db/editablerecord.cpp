#include "db/dbmodule.h"
#include "db/pgadapter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QVariant>

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

// The row version column: read by the record, never written.
bool isVersionColumn(const QString &name)
{
    return name.compare(QLatin1String("xmin"), Qt::CaseInsensitive) == 0;
}

const char *kChangedMeanwhile
    = "Il record è stato modificato da un altro operatore: i dati sono stati riletti.";

bool sameValue(const QVariant &a, const QVariant &b)
{
    const bool nullA = !a.isValid() || a.isNull();
    const bool nullB = !b.isValid() || b.isNull();
    if (nullA || nullB)
        return nullA == nullB;
    return a == b;
}

} // namespace

struct TEditableRecord::Impl
{
    TSTD_DBMODULE *db = nullptr; // Not owned.
    QString table;
    QString key;
    QString commandText; // the record procedure, run again to re-read the row
    QString keyColumn;   // the key's name as the result gives it
    std::unique_ptr<TDataSet> data;
    bool storedRow = false; // the row exists in the table (false: new record)
    bool inserting = false; // Append was called and the row is not stored yet
    QVariantList original;  // the stored values of the row, to find what the program changed
    QString version;        // the row version (xmin) the stored values belong to

    // A post inside the caller's transaction is stored only if that transaction commits: until
    // then the state before the post is kept, to be restored if it is rolled back.
    quint64 pendingSerial = 0;
    bool savedStoredRow = false;
    bool savedInserting = false;
    QVariantList savedOriginal;
    QString savedVersion;

    void settle()
    {
        if (!pendingSerial)
            return;
        if (db->TransactionRolledBack(pendingSerial)) {
            storedRow = savedStoredRow;
            inserting = savedInserting;
            original = savedOriginal;
            version = savedVersion;
            pendingSerial = 0;
        } else if (db->TransactionSerial() != pendingSerial) {
            pendingSerial = 0; // committed
        }
    }

    TDataSet &ds()
    {
        if (!data)
            throw EDatabaseError(QStringLiteral("Record non aperto."));
        return *data;
    }

    QVariantList currentValues()
    {
        QVariantList values;
        for (int c = 0; c < data->FieldCount(); ++c)
            values << data->Fields(c).Value();
        return values;
    }

    bool unchanged()
    {
        const QVariantList values = currentValues();
        for (int c = 0; c < values.size(); ++c) {
            if (!sameValue(values.at(c), original.value(c)))
                return false;
        }
        return true;
    }

    // The current version of the row with that key; empty when the row is gone.
    QString readVersion(const QVariant &keyValue)
    {
        std::unique_ptr<TDataSet> r = db->QueryParams(QStringLiteral(
                                                          "SELECT xmin::text FROM %1 WHERE %2 = $1")
                                                          .arg(table, quoteIdentifier(keyColumn)),
                                                      {keyValue});
        if (r->RecordCount() == 0)
            return QString();
        r->First();
        return r->Fields(0).AsString();
    }

    // Runs the record procedure and keeps its row with the version it belongs to. The row is
    // read between two reads of its version: when they agree, no change was committed in
    // between, so the values and the version match.
    void read()
    {
        std::unique_ptr<TDataSet> result = db->Query(commandText);
        if (result->FieldIndex(key) < 0)
            throw EDatabaseError(
                QStringLiteral("La chiave %1 manca nel risultato di %2.").arg(key, commandText));
        keyColumn = result->FieldDefs().at(result->FieldIndex(key)).name;
        QString rowVersion;
        if (result->RecordCount() > 0) {
            result->First();
            const QVariant keyValue = result->FieldByName(key).Value();
            for (int attempt = 0;; ++attempt) {
                const QString before = readVersion(keyValue);
                result = db->Query(commandText);
                // Given by the record procedure but out of the login's reach (a row of another
                // company): it could never be saved.
                if (before.isEmpty() && result->RecordCount() > 0)
                    throw EDatabaseError(QStringLiteral(
                        "Il record non può essere modificato dall'operatore collegato."));
                if (result->RecordCount() == 0)
                    break; // deleted meanwhile: a new record now
                const QString after = readVersion(keyValue);
                if (!before.isEmpty() && before == after) {
                    rowVersion = after;
                    break;
                }
                if (attempt == 4)
                    throw EDatabaseError(QStringLiteral(
                        "Il record viene modificato da un altro operatore in questo momento: "
                        "riprovare."));
            }
        }
        // An in-memory copy of the row: editable, independent of the server result.
        auto copy = std::make_unique<TDataSet>();
        copy->CopyStructureFrom(*result);
        copy->CreateDataSet();
        if (result->RecordCount() > 0) {
            result->First();
            copy->AppendCurrentFrom(*result);
            copy->First();
        }
        data = std::move(copy);
        storedRow = data->RecordCount() > 0;
        inserting = false;
        original = storedRow ? currentValues() : QVariantList();
        version = storedRow ? rowVersion : QString();
    }

    void restore(const QVariantList &values)
    {
        data->Edit();
        for (int c = 0; c < data->FieldCount() && c < values.size(); ++c)
            data->Fields(c).SetValue(values.at(c));
        data->Post();
    }
};

TEditableRecord::TEditableRecord(TSTD_DBMODULE *db, QString baseTable, QString keyField)
    : d(std::make_unique<Impl>())
{
    d->db = db;
    d->table = std::move(baseTable);
    d->key = std::move(keyField);
}

TEditableRecord::~TEditableRecord() = default;

void TEditableRecord::Open(const QString &commandText)
{
    Close();
    if (!d->db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    if (!isPlainIdentifier(d->table))
        throw EDatabaseError(QStringLiteral("Tabella non valida: ") + d->table);
    d->commandText = commandText;
    d->read();
}

bool TEditableRecord::IsNew() const
{
    d->settle();
    return !d->storedRow;
}

TDataSet &TEditableRecord::Data()
{
    return d->ds();
}

void TEditableRecord::Edit()
{
    d->settle();
    TDataSet &ds = d->ds();
    if (!d->storedRow && !d->inserting)
        throw EDatabaseError(QStringLiteral("Il record non esiste: usare l'inserimento."));
    if (ds.State() == TDataSetState::Browse)
        ds.Edit();
}

void TEditableRecord::Append(const QString &newKey)
{
    d->settle();
    TDataSet &ds = d->ds();
    if (ds.State() != TDataSetState::Browse)
        ds.Cancel();
    if (d->inserting && !d->storedRow) {
        // A previous attempt that was not stored: start again from an empty row.
        ds.EmptyDataSet();
    }
    ds.Append();
    ds.FieldByName(d->key).SetValue(newKey);
    d->inserting = true;
}

void TEditableRecord::Post(const QString &userName, bool stampAudit)
{
    d->settle();
    TDataSet &ds = d->ds();
    if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert)
        ds.Post();
    if (ds.RecordCount() == 0)
        throw EDatabaseError(QStringLiteral("Nessun dato da registrare."));

    const bool insert = !d->storedRow;
    const QVariantList values = d->currentValues();
    const QDateTime now = QDateTime::currentDateTime();
    QStringList columns;
    QVariantList params;
    QList<int> stamped;
    QVariantList stampValues;
    auto stamp = [&](const QString &field, const QVariant &value) {
        const int c = ds.FieldIndex(field);
        if (c < 0)
            return;
        stamped << c;
        stampValues << value;
    };
    if (stampAudit) {
        stamp(insert ? QStringLiteral("txUtenteIn") : QStringLiteral("txUtenteMod"), userName);
        stamp(insert ? QStringLiteral("dtIn") : QStringLiteral("dtMod"), now);
    }
    const std::vector<TFieldDef> &defs = ds.FieldDefs();
    for (int c = 0; c < int(defs.size()); ++c) {
        if (isVersionColumn(defs.at(c).name))
            continue;
        QVariant v = values.at(c);
        const int s = int(stamped.indexOf(c));
        if (s >= 0)
            v = stampValues.at(s);
        else if (insert ? (!v.isValid() || v.isNull()) : sameValue(v, d->original.value(c)))
            continue; // not set by the program: the table keeps its default or stored value
        // Refused here, before anything is written: libpq would cut a text at a NUL.
        if (v.typeId() == QMetaType::QString)
            CheckStorableText(v.toString(), QStringLiteral("campo ") + defs.at(c).name);
        columns << quoteIdentifier(defs.at(c).name);
        params << v;
    }

    QString sql;
    if (insert) {
        QStringList marks;
        for (int i = 1; i <= columns.size(); ++i)
            marks << QStringLiteral("$%1").arg(i);
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING xmin::text")
                  .arg(d->table,
                       columns.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    } else {
        if (columns.size() == stamped.size())
            return; // nothing changed: no statement, no stamps
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i)
            sets << QStringLiteral("%1 = $%2").arg(columns.at(i)).arg(i + 1);
        // Only over the version that was read: a row another session changed meanwhile is
        // not found, and the save is refused instead of overwriting that change.
        const int keyColumn = ds.FieldIndex(d->key);
        params << d->original.value(keyColumn) << d->version;
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4 AND xmin = $%5::xid "
                             "RETURNING xmin::text")
                  .arg(d->table,
                       sets.join(QStringLiteral(", ")),
                       quoteIdentifier(defs.at(keyColumn).name))
                  .arg(params.size() - 1)
                  .arg(params.size());
    }

    const bool ownTrans = !d->db->InTransaction();
    if (!ownTrans && d->pendingSerial != d->db->TransactionSerial()) {
        d->pendingSerial = d->db->TransactionSerial();
        d->savedStoredRow = d->storedRow;
        d->savedInserting = d->inserting;
        d->savedOriginal = d->original;
        d->savedVersion = d->version;
    }
    if (ownTrans)
        d->db->BeginTrans();
    QString newVersion;
    bool changedMeanwhile = false;
    try {
        std::unique_ptr<TDataSet> written = d->db->QueryParams(sql, params);
        if (written->RecordCount() == 0) {
            if (d->readVersion(d->original.value(ds.FieldIndex(d->key))).isEmpty())
                throw EDatabaseError(QStringLiteral(
                    "Il record non esiste più: è stato cancellato da un altro utente."));
            changedMeanwhile = true;
        } else {
            written->First();
            newVersion = written->Fields(0).AsString();
        }
        if (ownTrans) {
            if (changedMeanwhile)
                d->db->RollbackTrans();
            else
                d->db->CommitTrans();
        }
    } catch (...) {
        if (ownTrans)
            d->db->RollbackTrans();
        throw;
    }
    if (changedMeanwhile) {
        // The other operator's row is read again (inside the caller's transaction when there is
        // one: nothing was written by this save).
        d->pendingSerial = 0;
        d->read();
        throw ERecordChanged(QString::fromUtf8(kChangedMeanwhile));
    }

    // Stored: the row now holds the stamps and becomes the reference for the next change.
    if (!stamped.isEmpty()) {
        ds.Edit();
        for (int i = 0; i < stamped.size(); ++i)
            ds.Fields(stamped.at(i)).SetValue(stampValues.at(i));
        ds.Post();
    }
    d->storedRow = true;
    d->inserting = false;
    d->original = d->currentValues();
    d->version = newVersion;
}

void TEditableRecord::Cancel()
{
    d->settle();
    if (!d->data)
        return;
    TDataSet &ds = *d->data;
    if (ds.State() != TDataSetState::Browse)
        ds.Cancel();
    if (!d->storedRow) {
        ds.EmptyDataSet();
        d->inserting = false;
    } else if (ds.RecordCount() > 0 && !d->unchanged()) {
        d->restore(d->original);
    }
}

void TEditableRecord::Close()
{
    d->pendingSerial = 0;
    d->data.reset();
    d->original.clear();
    d->version.clear();
    d->storedRow = false;
    d->inserting = false;
}
