#pragma once

// The list half of every list window: the extraction of a list procedure into the window's
// in-memory copy, the grid that shows it (columns, labels, widths, colours, icon columns), the
// status line with its legends, re-positioning on the last record worked on, the record zoom of
// "Info supplementari" and the grid's user menu, whose entries carry their own actions.
// Management windows, search dialogs and every later list window use it through TListPane.

#include "controls/krtcolor.h"

#include <QHash>
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
    QString format;            // display format of numbers ("#,##0.00"); empty: the field's own
    bool rightAligned = false; // values and title on the right (amounts)
};

// A flag column shown as a picture ("(B)" padlock, "(S)", "(C)"): its text is painted in the
// background colour and the picture is drawn 2 pixels from the cell's left and 1 from its top
// on the rows whose flag is set.
struct TListIconColumn
{
    QString field;
    QPixmap icon;
    // The picture of a row whose flag is set, when it depends on other fields (the price lists'
    // "(S)": sheets with or without values of the list); unset: icon.
    std::function<QPixmap(const TDataSet &, int row)> choose;
};

// A coloured text beside the count in the status line (" (Funzionari)  ").
struct TListLegend
{
    QString text;
    quint32 color = clKRTBlack; // a Windows colour value
    bool bold = false;
};

// What tells one list from another.
struct TListDefinition
{
    QString sClassName;               // names the window in the debug pane's timing lines
    QString sKeyField;                // "idCliente"
    QString sExtractError;            // "Errore estrazione elenco clienti (ERR.C05)."
    QString sStatusPrefix;            // " N° Clienti: ", followed by the count and a blank
    QString sEmptyText;               // " Nessun preventivo. ": the status line of an empty
                                      // list; without it an empty list hides the status line
    std::vector<TListColumn> columns; // in the grid's column order (SortedColumns)
    QStringList listFields;           // the columns visible in the list
    QStringList infoFields;           // the columns of "Info supplementari"
    QString sInfoTitle;               // its title
    int iInfoWidth = 400;             // its width
    // Fields sorted by a click on their title; empty: every column.
    QStringList sortFields;
    std::vector<TListIconColumn> iconColumns;
    std::vector<TListLegend> legends; // SF_Legenda, SF_Legenda2, ... after SF_Status
    quint32 menuSideBarColor = 0;     // both ends of the popup's side bar
    // The status text of a list with rows, when more than prefix and count (the product list
    // counts products, accessories and documentations).
    std::function<QString(TDataSet &)> statusText;
    // Colours of one cell after the list's own (font black; rows with dtCanc red and bold;
    // backgrounds alternating white and 0xF0F0F0).
    std::function<void(const TDataSet &, int row, TKRTDrawCellArgs &)> rowColours;
    // The statements that "Copia Id in clipboard" copies for a record id.
    std::function<QList<QStringList>(const QString &id)> developerQueries;
};

enum class TExtractResult {
    Failed,     // reported; the list stays hidden and empty
    Done,       // no record to re-position on
    Positioned, // the record asked for is the current one
    NotVisible  // the record asked for is not in the list: the first is current
};

// How a menu entry looks: black and plain unless said.
struct TListMenuStyle
{
    quint32 fontColor = clKRTBlack;
    bool bold = false;
    QPixmap image;
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

    // A filter of the list in memory ("dtCanc = NULL AND txCodListino LIKE '*x*'"), for lists
    // filtered on the client: applied to the list shown at once (first row current, status
    // line counted again) and to the copy of every later extraction before re-positioning.
    void SetLocalFilter(const QString &expr);
    QString LocalFilter() const { return m_localFilter; }

    bool HasRows() const;
    int Count() const;
    QString CurrentId() const;
    QString CurrentText(const QString &field) const;
    bool CurrentIsActive() const; // dtCanc is null

    // List mode shows the grid and the status line (with rows, or with an empty-list text);
    // edit mode hides both.
    void SetListMode(bool on);
    bool ListMode() const { return m_listMode; }

    // "Info supplementari": the record zoom of the info columns, then the list columns again.
    void ShowInfo();
    // "Copia Id in clipboard": the definition's queries for the current record.
    void CopyCurrentId();

    // --- User menu --------------------------------------------------------------------------
    // Called before every popup to add the entries for the current row; the colours of the
    // list-window protocol are set before and the popup is built after.
    std::function<void(TListData &list)> OnBuildMenu;
    // An entry and what choosing it does.
    TKRTGridMenu *AddMenuItem(const QString &caption,
                              std::function<void()> action,
                              const TListMenuStyle &style = {});
    void AddMenuSeparator();
    // "Info supplementari" (the information image) showing the record zoom.
    TKRTGridMenu *AddInfoItem();
    // "Copia Id in clipboard" in red, copying the definition's queries.
    TKRTGridMenu *AddCopyIdItem();
    // While off, a chosen entry does nothing (a window whose creation failed).
    void SetMenuActionsEnabled(bool on) { m_actionsEnabled = on; }

private:
    void BuildMenu();
    void RunChosenEntry();
    void ApplyDisplay();
    void UpdateStatus();
    void DrawCell(TKRTDrawCellArgs &args);
    void DrawIcon(TKRTDrawCellArgs &args);
    const TListIconColumn *IconColumn(int gridColumn) const;

    TListDefinition m_definition;
    // Not owned: widgets of the window, which may free them before this object.
    QPointer<TKRTGrid> m_grid;
    QPointer<QLabel> m_status;
    QPointer<QWidget> m_statusPanel;
    std::unique_ptr<TDataSet> m_data;
    int m_dtCancColumn = -1;
    bool m_listMode = true;
    bool m_actionsEnabled = true;
    QList<QPixmap> m_images; // the window's image list: 0 "Info supplementari"
    // The actions of the entries of the current popup (entries are owned by the grid's menu).
    QHash<const TKRTGridMenu *, std::function<void()>> m_actions;
    QString m_localFilter;
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
