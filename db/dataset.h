#pragma once

// The in-memory dataset shared by every list, tree, report and grid.
//
// Rows live in a column store shared by a dataset and its clones; each dataset has its own
// view (sort order, filter, current row) over that store. A store can be backed by a server
// result that is decoded column by column only when first read, so that copying a result into
// a dataset costs little more than reading it.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class TDataStore;
class TDataSet;

enum class TFieldType { Text, Integer, Real, Flag, DateTime, Blob };

enum class TDataSetState { Inactive, Browse, Edit, Insert };

enum class TFieldAlignment { Left, Right, Center };

// Raised for misuse of a dataset (unknown field, edit outside edit mode, bad filter or sort
// expression). The text is meant for the developer and names the field or expression.
class EDataSetError : public std::runtime_error
{
public:
    explicit EDataSetError(const QString &text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

// Definition and display attributes of one column.
struct TFieldDef
{
    QString name;
    TFieldType type = TFieldType::Text;
    bool required = false;
    int size = 0;      // text: declared length (0 = unlimited)
    int precision = 0; // real: decimals shown by default
    bool readOnly = false;
    // Display attributes (each dataset view keeps its own copy).
    bool visible = true;
    QString displayLabel; // empty: the field name
    int displayWidth = 0; // characters; 0 = automatic
    TFieldAlignment alignment = TFieldAlignment::Left;
    QString displayFormat; // e.g. "#,##0.00", "dd/mm/yyyy"
    QString displayValues; // flags: "SI;NO" style true/false texts
};

// A handle on one field of a dataset's current row (or edit buffer). Cheap to copy; valid while
// the dataset lives and its field list is unchanged.
class TField
{
public:
    TField(TDataSet *ds, int index)
        : m_ds(ds)
        , m_index(index)
    {}

    int Index() const { return m_index; }
    const QString &FieldName() const;
    TFieldType DataType() const;
    TFieldDef &Def(); // this view's definition and display attributes
    const TFieldDef &Def() const;

    bool IsNull() const;
    QVariant Value() const; // invalid QVariant for null
    // null -> ""; dates "dd/mm/yyyy hh:nn:ss" (time omitted at 00:00:00); reals with "."
    // and no thousands; flags "1"/"0".
    QString AsString() const;
    qint64 AsInteger() const; // null or not a number -> 0
    double AsFloat() const;
    bool AsBoolean() const;       // nonzero / "1" / "true" / "SI"
    QDateTime AsDateTime() const; // null -> invalid
    QByteArray AsBytes() const;
    QString DisplayText() const; // value formatted with displayFormat / displayValues

    // Writing requires the dataset in Edit or Insert state and a field not read-only. The value
    // is converted to the field type at Post, which raises EDataSetError naming the field
    // when that is impossible ("abc" into an Integer field).
    void SetValue(const QVariant &v); // invalid QVariant sets null
    void SetNull();
    void SetString(const QString &s) { SetValue(s); }

    // Display attributes shortcut (Visible, DisplayLabel, DisplayWidth ...).
    bool Visible() const { return Def().visible; }
    void SetVisible(bool v) { Def().visible = v; }
    QString DisplayLabel() const;
    void SetDisplayLabel(const QString &s) { Def().displayLabel = s; }

private:
    TDataSet *m_ds;
    int m_index;
};

// Options of Locate.
enum TLocateOption { loNone = 0, loCaseInsensitive = 1, loPartialKey = 2 };

// Identity of a row that survives sorting and filtering (not deletion).
struct TBookmark
{
    qint64 rowId = -1;
    bool IsValid() const { return rowId >= 0; }
    bool operator==(const TBookmark &o) const { return rowId == o.rowId; }
};

// Notifications for views (the grid model). Called on the thread that changed the data.
class TDataSetObserver
{
public:
    virtual ~TDataSetObserver() = default;
    virtual void DataSetReset() {}             // rows, order or filter changed: re-read everything
    virtual void RowChanged(int /*recNo0*/) {} // values of one visible row changed (0-based)
    virtual void CurrentChanged() {}           // the current row moved
    virtual void StateChanged() {}             // Browse / Edit / Insert
};

class TDataSet
{
public:
    TDataSet();
    ~TDataSet();
    TDataSet(const TDataSet &) = delete;
    TDataSet &operator=(const TDataSet &) = delete;

    // --- Structure -------------------------------------------------------------------------
    // Define the columns of an empty, inactive dataset, then Open() it.
    void AddFieldDef(const TFieldDef &def);
    void AddFieldDef(const QString &name, TFieldType type, int size = 0);
    void CreateDataSet(); // open an empty store with the defined fields
    void Open() { CreateDataSet(); }
    void Close(); // drop rows and view; keeps the field definitions
    bool Active() const;

    int FieldCount() const;
    const std::vector<TFieldDef> &FieldDefs() const;
    int FieldIndex(const QString &name) const; // case-insensitive; -1 when absent
    TField FieldByName(const QString &name);   // throws EDataSetError when absent
    TField FindField(const QString &name);     // Index() == -1 when absent
    TField Fields(int index);
    QStringList FieldNames() const;

    // --- Navigation (over the visible rows in view order) -----------------------------------
    int RecordCount() const; // visible rows
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecNo() const; // 1-based; 0 when empty
    void SetRecNo(int recNo);
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;

    // --- Editing ---------------------------------------------------------------------------
    TDataSetState State() const;
    void Append(); // start a new row (Insert state); Post appends it
    void Insert(); // start a new row that Post places before the current row in view order
    void Edit();   // on an empty dataset: Append
    // Writes the edit buffer (after Append/Insert the new row becomes the current one).
    // Raises EDataSetError for a required field left null or a value of the wrong type; the
    // dataset then stays in Edit/Insert with its buffer.
    void Post();
    void Cancel();
    void Delete();       // the current row (in Insert state: Cancel)
    void EmptyDataSet(); // delete every row
    // Moving, sorting, filtering and appending first post a pending edit (or cancel it when
    // nothing was written).

    // Row-level value access by visible row (0-based) and column, without moving the cursor;
    // this is what the grid model uses. The current row in Edit state shows the edit buffer; a
    // row being inserted is not among the visible rows until Post.
    QVariant ValueAt(int recNo0, int column) const;
    bool IsNullAt(int recNo0, int column) const;
    // Whether the value, read as text (null as empty), equals text. Text read from the server
    // and not yet read otherwise is compared without being converted, so that a walk that only
    // checks values against known ones costs little.
    bool TextEqualsAt(int recNo0, int column, QStringView text) const;
    QString DisplayTextAt(int recNo0, int column) const;
    TBookmark BookmarkAt(int recNo0) const;

    // --- Sort, filter, locate --------------------------------------------------------------
    // Sort expression: comma-separated field names, each optionally followed by ASC or DESC
    // ("dtMaxOperation DESC, txDenominazione"). Empty restores the natural order. Texts compare
    // without regard to case; nulls sort first (last with DESC). A bad expression raises
    // EDataSetError and leaves the order as it was.
    void SetSort(const QString &expr);
    QString Sort() const;

    // Filter expression: comparisons (=, <>, <, >, <=, >=, LIKE with % or * wildcards) of a
    // field with a literal ('text', number, NULL, #dd/mm/yyyy#), joined by AND, OR, NOT and
    // parentheses. "dtCanc = NULL" and "dtCanc IS NULL" both test for null. Text comparisons
    // ignore case; a null value matches no comparison (NOT inverts the result, so
    // "NOT (x = 5)" keeps the rows where x is null). LIKE also takes _ and ? for one character;
    // IN (a, b) is also understood. Applied while Filtered() is set. A malformed expression or an unknown field
    // raises EDataSetError and leaves the filter as it was.
    void SetFilter(const QString &expr);
    QString Filter() const;
    void SetFiltered(bool on);
    bool Filtered() const;
    // Visible rows matching an expression, without changing this view's filter.
    int CountMatching(const QString &expr) const;
    // Deletes the visible rows matching an expression; returns how many.
    int DeleteMatching(const QString &expr);

    // Finds the first visible row whose fields equal the values; moves there when found.
    // Several fields are separated by ";" ("idFornitore;nuAnnoKey"), their values then given as
    // a QVariantList. An invalid QVariant matches null.
    bool Locate(const QString &fieldNames, const QVariant &value, int options = loNone);
    bool Locate(const QStringList &fieldNames, const QVariantList &values, int options = loNone);

    TBookmark GetBookmark() const;
    bool GotoBookmark(const TBookmark &bm); // false when the row is gone or filtered out
    bool BookmarkValid(const TBookmark &bm) const;

    // A new dataset over the same rows (edits, appends and deletions show in both) with a view
    // of its own: sort, filter and current row start as this one's.
    std::unique_ptr<TDataSet> Clone() const;

    // --- Copying ---------------------------------------------------------------------------
    // Copy of the field definitions into an empty, inactive dataset.
    void CopyStructureFrom(const TDataSet &source);
    // Append every visible row of the source (fields matched by name; a value that does not
    // fit the field raises EDataSetError); far cheaper than copying row by row when the
    // structures are equal. The current row stays where it was (the first when it was empty).
    void AppendAllFrom(const TDataSet &source);
    // Append the source's current row (fields matched by name); the new row becomes current.
    void AppendCurrentFrom(const TDataSet &source);

    // Server results: a dataset whose store reads the rows of a result decoded lazily.
    // The provider is the db layer's; see db/resultsource.h.
    struct ColumnSource
    {
        virtual ~ColumnSource() = default;
        virtual int RowCount() const = 0;
        virtual bool IsNull(int row, int col) const = 0;
        virtual const char *Text(int row, int col) const = 0; // server text form
        virtual int Length(int row, int col) const = 0;
    };
    void OpenFromSource(std::vector<TFieldDef> defs, std::shared_ptr<const ColumnSource> src);

    // --- Observers -------------------------------------------------------------------------
    void AddObserver(TDataSetObserver *o); // Not owned.
    void RemoveObserver(TDataSetObserver *o);
    // While disabled, observers are not told about changes; EnableControls sends one reset.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // Internal to TField.
    QVariant CurrentValue(int column) const;
    void SetCurrentValue(int column, const QVariant &v);
    TFieldDef &DefAt(int column);

private:
    friend class TDataStore;
    friend class TField;
    struct Impl;
    std::unique_ptr<Impl> d;
};
