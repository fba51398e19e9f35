#pragma once

// The list pane: what list windows, search dialogs and the searches embedded in other windows
// share. From top to bottom: the filter panel PAN_Filters (optional), the separator
// PAN_Separatore, the grid, and the status line PAN_Status (buttons such as "Seleziona il
// cliente", the count SF_Status, the legends SF_Legenda, SF_Legenda2, ...). It owns the list
// (TListData), the filters kept in the per-operator settings file, the extraction with the
// filters, and the keys: Enter in a filter presses "Estrai elenco", Enter or a double click in
// the grid run the owner's action.
//
// Building, in this order: AddFilterPanel (fill it), SetExtractButton, AddGrid with the list
// definition, AddStatusButton; then CommandText and SortText, CreateSettings with the bindings,
// RestoreFilters.

#include "masterdata/listdata.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TFilterSettings;
class TKRTGrid;

class TListPane : public QWidget
{
    Q_OBJECT

public:
    explicit TListPane(QWidget *parent = nullptr);
    ~TListPane() override;

    // --- Building ---------------------------------------------------------------------------
    // The filter panel, empty, for the owner to fill.
    QFrame *AddFilterPanel();
    // The separator, the grid named name, the status line with the definition's legends, and
    // the list.
    TKRTGrid *AddGrid(const QString &name, TListDefinition definition);
    // A button at the left of the count (it is shown and hidden with the status line).
    void AddStatusButton(QPushButton *button);
    // The default button of the filters: Enter in a filter presses it. Not owned.
    void SetExtractButton(QPushButton *button) { m_extractButton = button; }

    QFrame *FilterPanel() const { return m_filters; }
    TKRTGrid *Grid() const { return m_grid; }
    TListData *List() const { return m_list; }
    QFrame *StatusPanel() const { return m_statusPanel; }
    QLabel *Status() const { return m_status; }

    // --- Extraction -------------------------------------------------------------------------
    std::function<QString()> CommandText; // the command with the filters
    std::function<QString()> SortText;    // the sort of the copy

    // The filter settings with their prefix ("FrmGesCli_"); bind the controls to them.
    TFilterSettings &CreateSettings(const QString &prefix);
    // Nullptr until CreateSettings.
    TFilterSettings *Settings() const { return m_settings.get(); }
    // Sets the filters from the settings; false when none were saved (the owner resets them).
    bool RestoreFilters(const QString &firstKey);

    // The single argument 0 ("EXEC procedure  0"): the grid gets its columns.
    void ExtractEmpty(const QString &procedure);
    // The command with the filters, the copy sorted, lastId re-positioned on, the filters
    // saved. A second call while one runs (a click dispatched meanwhile) does nothing.
    TExtractResult ExtractWithFilters(const QString &lastId = QString());
    bool Busy() const { return m_busy; }

    // --- Grid actions -----------------------------------------------------------------------
    std::function<void()> OnGridEnter;       // Enter in the grid; unset: nothing happens
    std::function<void()> OnGridDoubleClick; // unset: the grid's own double click

    // List mode shows filters, separator, grid and status; off hides them (edit mode).
    void SetListMode(bool on);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVBoxLayout *m_layout = nullptr;        // Owned by Qt parent.
    QFrame *m_filters = nullptr;            // Owned (child); nullptr without filters.
    QFrame *m_separator = nullptr;          // Owned (child).
    TKRTGrid *m_grid = nullptr;             // Owned (child).
    QFrame *m_statusPanel = nullptr;        // Owned (child).
    QHBoxLayout *m_statusLayout = nullptr;  // Owned by Qt parent.
    QLabel *m_status = nullptr;             // Owned (child).
    TListData *m_list = nullptr;            // Owned (child object).
    QPushButton *m_extractButton = nullptr; // Not owned.
    std::unique_ptr<TFilterSettings> m_settings;
    int m_statusButtons = 0;
    bool m_busy = false;
};
