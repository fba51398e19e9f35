#pragma once

// Pattern 3 with several rows: the rows a record procedure gives (the values of a price list's
// data sheet, the items of a data sheet or of a table, the values of a quote line's data
// sheet), edited in memory and written back in one transaction as explicit DELETE, UPDATE and
// INSERT statements of the base table, one row per statement.
//
// The rows are a plain in-memory dataset: the window moves, edits, appends and deletes rows in
// Data() as it likes, then posts. The key field identifies each row: a stored row whose key is
// no longer among the rows is deleted, a row whose key is not among the stored ones (or is
// null: a key the table makes itself, such as a generated column) is inserted, the others are
// updated when a value differs from the stored one (only the columns that differ, plus the
// audit stamps). Rows hidden by a filter of Data() are rows like the others.
//
// Lost updates: every stored row keeps the row version (xmin) it was read with, and an UPDATE
// or DELETE writes only over that version; an INSERT never takes the place of a row another
// session added meanwhile. When another operator changed, added or removed one of the rows
// since they were read, the whole save is undone (nothing of it stays, also inside the caller's
// transaction), the rows are read again and Post raises ERecordChanged ("Il record è stato
// modificato da un altro operatore: i dati sono stati riletti."). A row the other operator
// deleted and this save deletes too is no conflict.
//
// The base table (or view) must let the login read its key and xmin (database/grants.sql),
// insert and update the columns the window writes and delete rows when the window deletes
// them; a view shows its base row's version as a column named xmin. The key is a text column.

#include "db/dataset.h"

#include <QString>

#include <memory>

class TSTD_DBMODULE;

class TEditableRecordSet
{
public:
    TEditableRecordSet(TSTD_DBMODULE *db, QString baseTable, QString keyField); // db Not owned.
    ~TEditableRecordSet();
    TEditableRecordSet(const TEditableRecordSet &) = delete;
    TEditableRecordSet &operator=(const TEditableRecordSet &) = delete;

    // Runs the record procedure and keeps its rows, each with the version it belongs to (read
    // again until rows and versions agree). No rows is a valid set: its columns are known.
    void Open(const QString &commandText);
    bool Active() const;
    // The rows, in the procedure's order; the window's to change.
    TDataSet &Data();
    // Stored rows, as last read or posted.
    int StoredCount() const;
    // Something to write: a row added, removed, or with a value that differs from the stored one.
    bool Modified();

    // Writes every difference (deletions, then changes, then new rows), stamping
    // txUtenteMod/dtMod on changed rows and txUtenteIn/dtIn on new ones when the rows have
    // them and stampAudit is set. Runs inside the caller's transaction when one is open (a
    // rollback of it brings the set back to what was stored before), else in its own. Nothing
    // is sent when nothing changed. A text the database cannot store, or two rows with one key,
    // are refused before anything is written.
    void Post(const QString &userName, bool stampAudit = true);
    // What the last Post stopped at, to name its failure: a deletion, a change or a new row
    // (the statement that failed or found another operator's change); None after a Post that
    // failed before writing, or did not fail.
    enum class TWriteKind { None, Delete, Update, Insert };
    TWriteKind FailedWrite() const;
    // The rows back as stored.
    void Cancel();
    // Reads the rows again (the same procedure), dropping what was not posted.
    void Refresh();
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
