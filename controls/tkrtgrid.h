#pragma once

// The data grid of every list window (DG_ controls): a view over an in-memory dataset with a
// popup made of the owning window's user entries and a standard part (row commands, find,
// zoom, print, export, sort, column configuration), sorting by title click, type-ahead search,
// check glyph columns, drawing hooks and column layouts saved per user.

#include "controls/tkrtgridcolumn.h"
#include "controls/tkrtpopupmenu.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <QVariant>

#include <functional>
#include <vector>

class QLabel;
class QSystemTrayIcon;
class QTimer;
class TDataSet;
class TKRTGridDelegate;
class TKRTGridMenu;
class TKRTGridModel;

enum TKRTUserMenuPosition { umpKRTTop, umpKRTBottom };

// What the drawing hooks receive for one cell. OnDrawColumnCell may change the colours and the
// font, or draw the cell itself and clear DefaultDraw.
struct TKRTDrawCellArgs
{
    QPainter *Canvas = nullptr; // Not owned.
    QRect Rect;
    int Row = -1;     // visible row, 0-based (the dataset's record number - 1)
    int DataCol = -1; // grid column
    const TKRTGridColumn *Column = nullptr; // Not owned.
    bool Selected = false;
    bool Focused = false;
    QColor Background = Qt::white;
    QColor FontColor = Qt::black;
    QFont Font;
    bool DefaultDraw = true;
};

// A report parameter handed to the print command.
struct TKRTGridParameter
{
    QString Name;
    QVariant Value;
};

class TKRTGrid : public QTableView
{
    Q_OBJECT

public:
    explicit TKRTGrid(QWidget *parent = nullptr);
    ~TKRTGrid() override;

    // --- Data ------------------------------------------------------------------------------
    // Not owned; detach (nullptr) before the dataset is freed. A grid without columns gets one
    // per visible field.
    void SetDataSet(TDataSet *ds);
    TDataSet *DataSet() const;
    bool DataActive() const;
    TKRTGridModel *GridModel() const { return m_model; }

    // --- Columns ---------------------------------------------------------------------------
    int ColumnCount() const;
    const TKRTGridColumn &Column(int index) const;
    // nullptr when no column has that field (names compared trimmed, ignoring case).
    const TKRTGridColumn *ColumnByFieldName(const QString &fieldName) const;
    int ColumnIndexByFieldName(const QString &fieldName) const;
    void SetColumns(std::vector<TKRTGridColumn> columns);
    const std::vector<TKRTGridColumn> &Columns() const;
    void SetColumnTitle(int index, const QString &title);
    void SetColumnTitleAlignment(int index, Qt::Alignment a);
    void SetColumnAlignment(int index, Qt::Alignment a);
    void SetColumnWidth(int index, int width);
    void SetColumnVisible(int index, bool visible);
    // A column for a field with the field's title, width, alignment and visibility.
    TKRTGridColumn MakeColumn(const QString &fieldName) const;

    void PaintSortedColumns();
    void PaintSortedColumnsEx();
    // Narrows every column wider than its title and its values need. With widenToContent a
    // column narrower than a value is also widened to it (up to kMaxFitChars characters), and
    // values are measured in bold, as list windows draw some rows.
    void ShrinkColumnsWidth(bool widenToContent = false);
    static constexpr int kMaxFitChars = 100;

    // --- Published properties --------------------------------------------------------------
    QStringList SortedColumns; // may end with "*STOP*"
    QStringList UserMenu;
    QString ExportDelimiter = QStringLiteral(";");
    QString ExportFileName;
    bool Sortable = false;
    bool ShowStandardMenu = true;
    bool ShowUserMenu = false;
    TKRTUserMenuPosition UserMenuPosition = umpKRTTop;
    QString PrintTitle = QStringLiteral("Dati Griglia");
    bool AllowConfigColumns = true;
    bool AllowZoom = true;
    bool AllowExport = true;
    int NumPrintCols = 0;
    QString UserId;
    QString ReportName;
    QString SideBarCaption = QStringLiteral("Funzioni Disponibili");
    QColor SideBarColor;
    QColor SideBarColorTo;
    QFont SideBarFont;
    QColor SideBarFontColor = Qt::white;
    QColor BackGroundColor;
    QColor BackGroundColorTo;
    QColor SelBackColor;
    QColor SelBackColorTo;
    QColor SelForeColor;
    bool EnhancedMenu = true;
    QStringList BoolEditColumns;
    QPixmap GlyphCheckedTrue;
    QPixmap GlyphCheckedFalse;
    bool AllowSortOnTitleColumn = true;
    QStringList NoArrowColums;
    bool EnableCellFind = false;
    bool ShowBallonCellFind = false;
    bool ShowHintCellFind = false;
    std::vector<TKRTGridParameter> Parameters;

    bool RowSelect() const { return m_rowSelect; }
    void SetRowSelect(bool on);
    bool EnableUserLayOut() const { return m_enableUserLayOut; }
    void SetEnableUserLayOut(bool on);
    // The user layout file; empty while layouts are off.
    QString UserFileName() const { return m_userFileName; }
    QString DefaultFileName() const { return m_defaultFileName; }

    // --- Popup and user menu ---------------------------------------------------------------
    TKRTGridMenu *GridMenu() const { return m_gridMenu; }
    // Rebuilds the popup; false when building stopped on a duplicate caption (reported).
    bool SetPopUpMenu();
    // The popup ("POPMOpzioni"), nullptr when the grid has none.
    TKRTPopupMenu *PopupMenu() const { return m_popup; }
    TKRTGridMenu *GridMenuSelected() const;
    TKRTGridMenu *FindMenu(const QString &caption) const;
    TKRTGridMenu *FindMenuByTagString(const QString &tagString) const;
    void RemoveIfHasNoChildren(const QString &caption);
    // Column under the mouse (-1 when none).
    int MouseColumn() const { return m_mouseColumn; }
    // Records the column and raises OnBeforePopUpMenu, as a right click does; then opens the
    // popup at the given global position when there is one.
    void OpenPopupAt(int column, const QPoint &globalPos);

    // --- Commands --------------------------------------------------------------------------
    QString ActiveFieldSort() const { return m_activeFieldSort; }
    // Sorts by one field ascending or descending and goes to the first row.
    void SortOneColumn(const QString &fieldName, bool descending);
    // Title click on a grid column.
    void TitleClick(int column);
    // Sort text applied as it is, keeping the current row.
    void ApplySortKeepingRow(const QString &sortText);
    QWidget *ZoomGridEx(const QString &sTitleForm, int iWidth, int iMaxWidth, int iHeight);
    QWidget *ZoomGrid();
    bool ExportGrid();
    void ExportWithDialog();
    QWidget *ShowFindDialog();
    QWidget *ShowSortDialog();
    void Print();
    void HideColumn(int column);
    void ShowAllColumns();
    bool SaveUserLayout();
    bool LoadUserLayout();
    bool LoadDefaultLayout();
    void DeleteUserLayout();
    void DeleteDefaultLayout();
    void FormActive_Disable();
    QString SearchText() const { return m_search; }
    QStringList FindHistory() const { return m_findHistory; }
    void SetFindHistory(const QStringList &h) { m_findHistory = h; }

    // The print command needs the report engine, which lives in a later layer; it installs
    // this handler. Without it the print entry is offered only for an OnPrintClick handler.
    static void SetPrintHandler(std::function<void(TKRTGrid *)> handler);
    static bool HasPrintHandler();

    // --- Events ----------------------------------------------------------------------------
    std::function<void(TKRTGrid *)> OnRowAddClick;
    std::function<void(TKRTGrid *)> OnRowModClick;
    std::function<void(TKRTGrid *)> OnRowDelClick;
    std::function<void(TKRTGrid *)> OnPrintClick;
    std::function<void(TKRTGrid *)> OnZoomClick;
    std::function<void(TKRTGrid *)> OnUserMenuSelect;
    std::function<void(TKRTGrid *)> OnBeforePopUpMenu;
    std::function<void(TKRTGrid *, TKRTDrawCellArgs &)> OnDrawColumnCell;
    std::function<void(TKRTGrid *, TKRTDrawCellArgs &)> OnDrawImageCell;
    std::function<void(TKRTGrid *, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)>
        OnBeforeStartDrag;

    // Used by the cell delegate.
    bool IsBoolEditColumn(int column) const;
    // +1 ascending, -1 descending, 0 when the column carries no sort marker.
    int SortMarker(int column) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyboardSearch(const QString &search) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    // Popup construction (tkrtgridpopup.cpp).
    bool CheckDuplicate(const QString &caption);
    bool AddUserEntries();
    bool AddUserChildren(TKRTPopupMenu *target, TKRTGridMenu *node);
    bool AddStandardEntries();
    void UpdatePopupVisibility();
    void StandardCommand(int tag);
    void UserEntryChosen(int tag);
    QAction *StandardAction(int tag) const;
    TKRTPopupLook PopupLook() const;

    QItemSelectionModel::SelectionFlags SelectFlags() const;
    void MakeDefaultColumns();
    void ApplyColumnsToView();
    void SyncCurrentFromDataSet();
    void DataReset();
    void ToggleBoolCell(const QModelIndex &index);
    void ShowSearchHint();
    void ApplyUserLayoutStep();
    bool LoadLayoutFile(const QString &path, bool userFile);
    QString LayoutKey() const;

    TKRTGridModel *m_model = nullptr;       // Owned (child).
    TKRTGridDelegate *m_delegate = nullptr; // Owned (child).
    TKRTGridMenu *m_gridMenu = nullptr;     // Owned (child).
    QPointer<TKRTPopupMenu> m_popup;        // Owned (child); replaced at every SetPopUpMenu.
    QPointer<QWidget> m_findForm;           // Owned (child) while open.
    QLabel *m_hint = nullptr;               // Owned (child).
    QTimer *m_hintTimer = nullptr;          // Owned (child).
    QSystemTrayIcon *m_tray = nullptr;      // Owned (child), created at the first balloon.
    bool m_trayFailed = false;
    bool m_rowSelect = false;
    bool m_enableUserLayOut = false;
    QString m_userFileName;
    QString m_defaultFileName;
    int m_mouseColumn = -1;
    int m_popupColumn = -1;
    int m_chosenIndex = -1;
    int m_iProgressivoMenu = 0;
    QString m_activeFieldSort;
    QStringList m_findHistory;
    QString m_search; // FSearch
    QDateTime m_searchStart;
    bool m_syncing = false;
    bool m_applyingColumns = false;
};
