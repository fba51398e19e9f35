#include "db/dbmodule.h"

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
    std::unique_ptr<TDataSet> data;
    bool storedRow = false; // the row exists in the table (false: new record)
    bool inserting = false; // Append was called and the row is not stored yet
    QVariantList original;  // the stored values of the row, to find what the program changed

    // A post inside the caller's transaction is stored only if that transaction commits: until
    // then the state before the post is kept, to be restored if it is rolled back.
    quint64 pendingSerial = 0;
    bool savedStoredRow = false;
    bool savedInserting = false;
    QVariantList savedOriginal;

    void settle()
    {
        if (!pendingSerial)
            return;
        if (db->TransactionRolledBack(pendingSerial)) {
            storedRow = savedStoredRow;
            inserting = savedInserting;
            original = savedOriginal;
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
    std::unique_ptr<TDataSet> result = d->db->Query(commandText);
    if (result->FieldIndex(d->key) < 0)
        throw EDatabaseError(
            QStringLiteral("La chiave %1 manca nel risultato di %2.").arg(d->key, commandText));
    // An in-memory copy of the row: editable, independent of the server result.
    auto data = std::make_unique<TDataSet>();
    data->CopyStructureFrom(*result);
    data->CreateDataSet();
    if (result->RecordCount() > 0) {
        result->First();
        data->AppendCurrentFrom(*result);
        data->First();
    }
    d->data = std::move(data);
    d->storedRow = d->data->RecordCount() > 0;
    d->inserting = false;
    if (d->storedRow)
        d->original = d->currentValues();
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
        QVariant v = values.at(c);
        const int s = int(stamped.indexOf(c));
        if (s >= 0)
            v = stampValues.at(s);
        else if (insert ? (!v.isValid() || v.isNull()) : sameValue(v, d->original.value(c)))
            continue; // not set by the program: the table keeps its default or stored value
        columns << quoteIdentifier(defs.at(c).name);
        params << v;
    }

    QString sql;
    if (insert) {
        QStringList marks;
        for (int i = 1; i <= columns.size(); ++i)
            marks << QStringLiteral("$%1").arg(i);
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(d->table,
                       columns.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    } else {
        if (columns.size() == stamped.size())
            return; // nothing changed: no statement, no stamps
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i)
            sets << QStringLiteral("%1 = $%2").arg(columns.at(i)).arg(i + 1);
        const int keyColumn = ds.FieldIndex(d->key);
        params << d->original.value(keyColumn);
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4")
                  .arg(d->table,
                       sets.join(QStringLiteral(", ")),
                       quoteIdentifier(defs.at(keyColumn).name))
                  .arg(params.size());
    }

    const bool ownTrans = !d->db->InTransaction();
    if (!ownTrans && d->pendingSerial != d->db->TransactionSerial()) {
        d->pendingSerial = d->db->TransactionSerial();
        d->savedStoredRow = d->storedRow;
        d->savedInserting = d->inserting;
        d->savedOriginal = d->original;
    }
    if (ownTrans)
        d->db->BeginTrans();
    try {
        const int rows = d->db->ExecuteParams(sql, params);
        if (!insert && rows == 0)
            throw EDatabaseError(
                QStringLiteral("Il record non esiste più: è stato cancellato da un altro utente."));
        if (ownTrans)
            d->db->CommitTrans();
    } catch (...) {
        if (ownTrans)
            d->db->RollbackTrans();
        throw;
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
    d->storedRow = false;
    d->inserting = false;
}
