#include "reports/gridprint.h"

#include "controls/tkrtgrid.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/view_report.h"

#include <QPointer>

void PrintGrid(TKRTGrid *grid)
{
    if (!grid || !grid->DataSet() || grid->ReportName.isEmpty())
        return;
    // The preview window frees itself when closed.
    QPointer<TVIEW_REPORT> window = new TVIEW_REPORT();
    TKRTCrystalReport &engine = *window->VR_Preview->Engine;
    engine.Clear();
    engine.ReportName = grid->ReportName;
    engine.ReportWithData = false;
    engine.Recordset = grid->DataSet();
    for (const TKRTGridParameter &p : grid->Parameters)
        engine.Parameters.Add(p.Name, p.Value);
    engine.Mode = mvKRTViewer;
    if (!window->VR_Preview->Show(false)) {
        if (window)
            window->close();
        return;
    }
    window->FinishPreview();
}

void InstallGridPrint()
{
    TKRTGrid::SetPrintHandler(&PrintGrid);
}
