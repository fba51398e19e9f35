#pragma once

// The list half of every list window: the extraction of a list procedure into the window's
// in-memory copy, the grid that shows it (columns, labels, widths, colours), the status line,
// re-positioning on the last record worked on, the record zoom of "Info supplementari" and the
// grid's user menu. Management windows, search dialogs and every later list window use it.

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QWidget;
class TDataSet;
class TKRTGrid;
class TKRTGridMenu;
struct TKRTDrawCellArgs;

// How one column of the list is shown.
struct TListColumn
{
    QString field;
    QString label;
    int width = 20; // characters
    bool centred = false;
    bool titleCentred = false;
};

// What tells one list from another.
struct TListDefinition
{
    QString sClassName;               // names the window in the debug pane's timing lines
    QString sKeyField;                // "idCliente"
    QString sExtractError;            // "Errore estrazione elenco clienti (ERR.C05)."
    QString sStatusPrefix;            // " N° Clienti: "
    std::vector<TListColumn> columns; // in the grid's column order (SortedColumns)
    QStringList listFields;           // the columns visible in the list
    QStringList infoFields;           // the columns of "Info supplementari"
    QString sInfoTitle;               // its title
};

enum class TExtractResult {
    Failed,     // reported; the list stays hidden and empty
    Done,       // no record to re-position on
    Positioned, // the record asked for is the current one
    NotVisible  // the record asked for is not in the list: the first is current
};

class TListData : public QObject
{
    Q_OBJECT

public:
    // grid, status and statusPanel are Not owned (widgets of the window).
    TListData(TListDefinition definition,
              TKRTGrid *grid,
              QLabel *status,
              QWidget *statusPanel,
              QObject *parent = nullptr);
    ~TListData() override;

    const TListDefinition &Definition() const { return m_definition; }
    TKRTGrid *Grid() const;
    // The in-memory copy (DST_GRID_...); nullptr before the first extraction and after a
    // failed one.
    TDataSet *DataSet() const { return m_data.get(); }

    // Runs the list procedure and copies its rows into a new in-memory copy sorted by
    // sortText, then shows it; with lastId set, re-positions on that record (ignoring case).
    // A failure is reported with the list's message and the provider text.
    TExtractResult Extract(const QString &commandText,
                           const QString &sortText,
                           const QString &lastId = QString());

    bool HasRows() const;
    int Count() const;
    QString CurrentId() const;
    QString CurrentText(const QString &field) const;
    bool CurrentIsActive() const; // dtCanc is null

    // List mode shows the grid and, with rows, the status line; edit mode hides both.
    void SetListMode(bool on);
    bool ListMode() const { return m_listMode; }

    // "Info supplementari": the record zoom of the info columns, then the list columns again.
    void ShowInfo();

    // The grid's user menu, rebuilt before every popup: BeginMenu, entries, EndMenu.
    void BeginMenu();
    TKRTGridMenu *AddMenuItem(const QString &caption, bool red = false, bool infoImage = false);
    void AddMenuSeparator();
    void EndMenu();

    // Colours of one cell after the list's own (font black; rows with dtCanc red and bold;
    // backgrounds alternating white and 0xF0F0F0).
    std::function<void(int row, TKRTDrawCellArgs &args)> OnRowColours;

private:
    void ApplyDisplay();
    void DrawCell(TKRTDrawCellArgs &args);

    TListDefinition m_definition;
    // Not owned: widgets of the window, which may free them before this object.
    QPointer<TKRTGrid> m_grid;
    QPointer<QLabel> m_status;
    QPointer<QWidget> m_statusPanel;
    std::unique_ptr<TDataSet> m_data;
    int m_dtCancColumn = -1;
    bool m_listMode = true;
    QList<QPixmap> m_images; // the window's image list: 0 "Info supplementari"
};

// "message" + two line breaks + "(" + the provider's text trimmed + ")", shown as an error.
void ShowDbError(const QString &message, const std::exception &error);
QString DbErrorText(const QString &message, const std::exception &error);

// Developer queries for the clipboard: each line ended by a carriage return and line feed, an
// empty line between the queries; then "Ok ! Query Copiata.".
QString DeveloperQueriesText(const QList<QStringList> &queries);
void CopyDeveloperQueries(const QList<QStringList> &queries);

// The wait window, when the main window made one.
void ShowListWait();
void HideListWait();
