#include "quotes/linepreview.h"

#include "catalogue/productpreview.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "domain/nodeimages.h"
#include "masterdata/listdata.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reporterror.h"
#include "reports/view_report.h"

#include <QPointer>

#include <memory>

namespace {

// The rows live as long as the preview window: printing from it runs the report again.
class TLineRows : public QObject
{
public:
    explicit TLineRows(QObject *parent)
        : QObject(parent)
    {}
    std::unique_ptr<TDataSet> tree;
    std::unique_ptr<TDataSet> report;
};

void Close(QPointer<TVIEW_REPORT> &window)
{
    if (window)
        window->close();
}

} // namespace

QString LinePreviewCommand(const QString &sIdPreventivoDet)
{
    return ExecText(QStringLiteral("EstraiAllDettagliProdotto"),
                    {SqlText(sIdPreventivoDet),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("0"),
                     QStringLiteral("0"),
                     QStringLiteral("1")});
}

TVIEW_REPORT *PrintLinePreview(const QString &sIdPreventivoDet)
{
    QPointer<TVIEW_REPORT> window = new TVIEW_REPORT();
    window->ShowWaitPreview(true);
    window->SetWaitMessage(QStringLiteral("Caricamento dati prodotto") + LineBreaks(2)
                           + QStringLiteral("in corso..."));
    auto *rows = new TLineRows(window);
    try {
        auto sets = TSTD_DBMODULE::Instance()->QueryMulti(LinePreviewCommand(sIdPreventivoDet));
        if (sets.size() < 2)
            throw EDatabaseError(
                QStringLiteral("La funzione ha dato %1 insiemi di righe invece di 2.")
                    .arg(sets.size()));
        CreateMemoryCopy(rows->tree, *sets[0], true);
        CopyAllRecords(*sets[0], *rows->tree);
        CreateMemoryCopy(rows->report, *sets[1], true);
        CopyAllRecords(*sets[1], *rows->report);
        rows->tree->SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    } catch (const std::exception &e) {
        Close(window);
        ShowDbError(QStringLiteral("Errore lettura dati per anteprima prodotto (ERR.P14)."), e);
        return nullptr;
    }
    FitNodeImagesForReport(nullptr, *rows->tree, false);
    if (!window)
        return nullptr;
    BindProductDetailPreview(*window->VR_Preview->Engine, *rows->report, *rows->tree, false);
    try {
        if (!window->VR_Preview->Show(false)) {
            Close(window);
            return nullptr;
        }
    } catch (const EReportError &e) {
        Close(window);
        ShowErrorBox(e.text());
        return nullptr;
    }
    if (!window)
        return nullptr;
    window->FinishPreview();
    return window;
}
