#pragma once

// The report viewer control: shows one page of a report at a time, pages through it and
// zooms (page width, whole page, percentages). It owns the engine that feeds it.

#include "reports/reportpage.h"

#include <QScrollArea>

#include <memory>

class TKRTCrystalReport;
class TReportPageWidget;

class TKRTViewReport : public QScrollArea
{
    Q_OBJECT

public:
    explicit TKRTViewReport(QWidget *parent = nullptr);
    ~TKRTViewReport() override;

    TKRTCrystalReport *const Engine; // Owned (child); its Viewer is this control.

    // Runs the engine (Engine->Start); false when the report file is missing.
    bool Show(bool bSilentMode = false);

    // Viewer operations.
    void ViewReport(std::shared_ptr<const TReportDocument> document); // shows page 1
    std::shared_ptr<const TReportDocument> Document() const { return m_document; }
    void ShowFirstPage();
    void ShowPreviousPage();
    void ShowNextPage();
    void ShowLastPage();
    void ShowNthPage(int page); // 1-based, clamped
    // 1: page width, 2: whole page, any other value: percentage of the real size.
    void Zoom(int level);
    int ZoomLevel() const { return m_zoom; }
    double Scale() const { return m_scale; } // screen pixels per layout dot
    int GetCurrentPageNumber() const;        // 1-based; 0 without pages
    void GetLastPageNumber(int &lastPage, bool &lastPageKnown) const;
    int PageCount() const;
    bool IsBusy() const { return false; } // pages are ready when ViewReport returns
    // The current page as it is painted on screen.
    QImage CurrentPageImage() const;

    // Options of the viewer. The control has no tool bar, group tree or menus of its own (the
    // windows that hold it provide them); the values are kept for the callers that set them.
    bool DisplayGroupTree = false;
    bool DisplayToolbar = false;
    bool EnableGroupTree = false;
    bool EnableNavigationControls = true;
    bool EnableStopButton = false;
    bool EnablePrintButton = true;
    bool EnableZoomControl = true;
    bool EnableCloseButton = false;
    bool EnableProgressControl = false;
    bool EnableSearchControl = false;
    bool EnableRefreshButton = false;
    bool EnableDrillDown = false;
    bool EnableAnimationCtrl = false;
    bool EnableSelectExpertButton = false;
    bool EnableToolbar = false;
    bool DisplayBorder = true;
    bool DisplayTabs = false;
    bool DisplayBackgroundEdge = true;
    bool EnablePopupMenu = false;
    bool EnableExportButton = true;
    bool EnableSearchExpertButton = false;
    bool EnableHelpButton = false;
    // Applies DisplayBorder and DisplayBackgroundEdge.
    void ApplyOptions();

signals:
    void CurrentPageChanged(int page);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void UpdateScale();

    TReportPageWidget *m_page = nullptr; // Owned (scroll area widget).
    std::shared_ptr<const TReportDocument> m_document;
    int m_current = 0; // 0-based
    int m_zoom = 2;
    double m_scale = 0.05;
};
