#pragma once

// Shared routines over datasets used by every list window: the in-memory copy of a server
// result, record copying with its two process-wide hooks, field visibility and counting.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TDataSet;

// Record-copy hooks used by CopyAllRecords. Empty by default; ClearCopyHooks empties both
// (the format-settings routine calls it).
// Answers true to skip the source's current record.
using TCopySkipTest = std::function<bool(TDataSet &source, TDataSet &dest)>;
// Runs after each record copied into the destination (the new record is current).
using TCopyAfterAction = std::function<void(TDataSet &dest)>;
extern TCopySkipTest CopySkipTest;
extern TCopyAfterAction CopyAfterAction;
void ClearCopyHooks();

// Replaces dest with a new empty in-memory dataset carrying copies of the source's field
// definitions (display attributes included); opens it when create is set.
void CreateMemoryCopy(std::unique_ptr<TDataSet> &dest, const TDataSet &source, bool create);

// Copies the visible records of source into dest (fields matched by name), from the first:
// a record is skipped when CopySkipTest answers true; with move each copied record is deleted
// from the source and the walk starts again from the first; otherwise CopyAfterAction runs
// after each copy. quiet suspends the observers of both for the duration. The interface is
// kept painted during long copies (pending events handled at most every 50 ms). Both datasets
// end on their first record. Without hooks and move the rows are copied in bulk.
void CopyAllRecords(TDataSet &source, TDataSet &dest, bool move = false, bool quiet = true);

// Copies the source's current record into dest: appends a record (or, with editCurrent, edits
// the current one) unless dest is already in Edit/Insert; for each dest field also in the
// source, writes the value when the field is not read-only, not both values are null, and the
// record is new or the values differ as text; copies visibility, display label, display width
// and the display format (numbers, dates) or display values (flags); posts when it started the
// edit. Nothing happens when the source has no records.
void CopyRecordFields(TDataSet &source, TDataSet &dest, bool editCurrent = false);

// Each field visible exactly when its name is in names (ignoring case).
void ShowOnlyFields(TDataSet &dataset, const QStringList &names);

// Records of the dataset matching the filter expression, counted over all its rows (its own
// filter is not applied) on the dataset itself, on a clone or on an in-memory copy. The
// dataset's own filter, order and current record are left as they were.
int CountFilteredRecords(TDataSet &dataset,
                         const QString &filter,
                         bool onClone = false,
                         bool onCopy = false);

// Deletes every record of the dataset matching the filter expression (its own filter is not
// applied); returns how many.
int DeleteFilteredRecords(TDataSet &dataset, const QString &filter);
