#pragma once

// The list-window pattern of every management window: an optional company selector, a filter
// panel, the list extracted into memory and shown in a data grid with a user menu, a status
// line, and edit panels that take the list's place while one record is created or changed.
//
// A window derives from TListWindow, builds its filters and edit panels in its constructor
// and gives the command text and the sort of its extraction (docs/list-windows.md). The list
// part is a TListPane. The base keeps the operation under way (xTipoOp), the record to
// re-position on (sLastId), the company of the last extraction (sIdSocieta), the editable
// record and its transaction, the first placement of the window, the keys of the edit panels
// (Escape is the panel's "Annulla") and the question when it is closed during an edit.

#include "common/tstd_asynctimerinfo.h"
#include "masterdata/listdata.h"
#include "masterdata/listpane.h"

#include <QSizeF>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TCompanySelector;
class TDataSet;
class TEditableRecord;
class TFilterSettings;
class TKRTGrid;

// A procedure run after the record was posted, in the same transaction (SetNewCodCliente).
struct TPostStep
{
    QString sError; // the message shown when it fails
    std::function<void()> run;
};

class TListWindow : public QWidget
{
    Q_OBJECT

public:
    ~TListWindow() override;

    TGENCurrentOp xTipoOp = coGENNone;
    QString sLastId;    // the record to re-position on after the next extraction
    QString sIdSocieta; // the company of the last extraction

    TListPane *Pane() const { return m_pane; }
    TListData *List() const { return m_pane ? m_pane->List() : nullptr; }
    TKRTGrid *Grid() const { return m_pane ? m_pane->Grid() : nullptr; }
    TCompanySelector *CompanySelector() const { return m_company; }
    // The selector is there and shown to this operator.
    bool HasCompanySelector() const;
    bool EditMode() const { return m_activePanel != nullptr; }
    QWidget *ActivePanel() const { return m_activePanel; }
    TEditableRecord *Record() const { return m_record.get(); }
    // The window's frame: its MDI sub-window when it has one.
    QWidget *Frame();

    // Extraction with the filters: the command, the sort, the saved filters; the record in
    // sLastId is re-positioned on and sLastId cleared.
    TExtractResult ExtractWithFilters();
    // Extracts with the filters and, when the record worked on is not in the list, warns
    // with the sentence + two line breaks + "Cambiare le impostazioni.".
    TExtractResult ExtractAndWarn(const QString &notVisibleSentence);
    // After a saved edit: extracts with the filters, leaves edit mode, then warns as
    // ExtractAndWarn when the saved record is not in the list.
    void ExtractAfterSave(const QString &notVisibleSentence);
    // The company argument: the selected company when the selector is shown, otherwise the
    // operator's; remembered in sIdSocieta.
    QString CompanyArgument();

protected:
    TListWindow(const QString &name, const QString &caption, QWidget *parent);

    // --- Building (from the derived constructor, in this order) --------------------------
    // The company selector, shown when the operator is a "funzionario" or has no company.
    // Its first extraction's failure is reported with errorMessage: then false, and the rest
    // of the creation is skipped.
    bool AddCompanySelector(const QString &errorMessage);
    // The filter panel PAN_Filters, filled by the window.
    QFrame *AddFilterPanel();
    // The grid, then the status line; the list part with its definition. The entries of the
    // user menu come from BuildMenu.
    TKRTGrid *AddGrid(const QString &name, TListDefinition definition);
    // An edit panel: placed over the client area while in edit mode. Its design size is its
    // minimum, its maximum 20 % more. Escape in the panel presses cancel ("Annulla").
    void AddEditPanel(QWidget *panel, QAbstractButton *cancel);
    // The filter settings with their prefix ("FrmGesCli_"); bind the controls to them.
    TFilterSettings &CreateSettings(const QString &prefix);
    TFilterSettings &Settings();
    void SetExtractButton(QPushButton *button);
    void SetFirstFocus(QWidget *widget) { m_firstFocus = widget; }

    // --- What the window gives ------------------------------------------------------------
    virtual QString ExtractionCommand() = 0; // with the filters
    virtual QString ExtractionSort() const = 0;
    // The entries of the user menu for the current row, each with its action
    // (List()->AddMenuItem); called before every popup.
    virtual void BuildMenu(TListData &list) = 0;
    // Restores the filters at creation: the company key first, then the filters, or
    // ResetFilters when none was saved.
    void RestoreFilters(const QString &firstKey, const QString &companyKey = QString());
    virtual void ResetFilters() {}
    virtual void AfterFiltersRestored() {}

    // The single argument 0 at creation: the grid gets its columns.
    void ExtractEmpty(const QString &procedure);

    // --- Edit mode --------------------------------------------------------------------------
    // Hides the company panel, the filters, the separator, the grid and the status line, and
    // shows the panel sized to the client area; focus on focusWidget.
    void EnterEditMode(QWidget *panel, QWidget *focusWidget);
    // The list parts back, the record closed and freed, no operation, focus on the grid.
    void LeaveEditMode();

    // --- Editable record --------------------------------------------------------------------
    // Opens the record procedure; errors are raised (EDatabaseError).
    void OpenRecord(const QString &table, const QString &key, const QString &commandText);
    // The same, reporting a failure with the window's message and ending the operation; false
    // when the record could not be opened.
    bool TryOpenRecord(const QString &table,
                       const QString &key,
                       const QString &commandText,
                       const QString &errorMessage);
    void CloseRecord();
    // Writes the record in one transaction: Append with sLastId (coGENInsert) or Edit, fill,
    // post (with the audit stamps when stampAudit), the steps in order, commit. On a failure
    // everything is rolled back, the record is read again as stored, the failing step's
    // message is shown with the provider text, and false comes back; the panel stays.
    bool PostRecord(const QString &postError,
                    bool stampAudit,
                    const std::function<void(TDataSet &)> &fill,
                    const std::vector<TPostStep> &after = {});

    // After a save refused because another operator changed the record meanwhile, the record
    // holds the stored values again: the window shows them in its edit panel. Nothing here.
    virtual void RecordReadAgain() {}

    // A row query of a changing procedure; errors are raised.
    static void RunProcedure(const QString &commandText);
    static QString UserArgument(); // the operator, quoted

    // --- Events -----------------------------------------------------------------------------
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // First showing: 70 % of the main window's free area, wider when the grid's columns need
    // it (up to the free area), that size the minimum, centred.
    virtual void PlaceFirstTime();
    // The share of the main window's free area (width, height) taken at the first showing.
    virtual QSizeF FirstPlacementShare() const { return QSizeF(0.7, 0.7); }

    bool m_creationFailed = false;
    bool m_extractedWithFilters = false;

private:
    struct TEditPanel
    {
        QWidget *panel = nullptr;          // Owned (child).
        QAbstractButton *cancel = nullptr; // Not owned: a control of the panel.
    };

    TListPane *EnsurePane();
    void PlaceEditPanel();
    void SetListPartsVisible(bool on);
    // The keys of the edit panel: Escape cancels; Enter in a one-line field is taken here, so
    // that it never reaches a default button. True when the key was used.
    bool EditPanelKey(QKeyEvent *event);

    QVBoxLayout *m_layout = nullptr;       // Owned by Qt parent.
    TCompanySelector *m_company = nullptr; // Owned (child); nullptr without a selector.
    TListPane *m_pane = nullptr;           // Owned (child).
    std::vector<TEditPanel> m_panels;
    QWidget *m_activePanel = nullptr; // Not owned: one of m_panels.
    QWidget *m_firstFocus = nullptr;  // Not owned.
    std::unique_ptr<TEditableRecord> m_record;
    QString m_recordTable;
    QString m_recordKey;
    QString m_recordCommand;
    bool m_companyShown = false;
    bool m_firstShown = false;
};
