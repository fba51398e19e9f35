#include "catalogue/productpreview.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "domain/nodeimages.h"
#include "masterdata/listdata.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/reporterror.h"
#include "reports/view_report.h"

#include <QDateTime>
#include <QPointer>

namespace {

// The data live as long as the preview window: printing from it runs the report again.
class TProductPrintHolder : public QObject
{
public:
    TProductPrintHolder(TProductPrintData data, QObject *parent)
        : QObject(parent)
        , m_data(std::move(data))
    {}
    TProductPrintData &Data() { return m_data; }

private:
    TProductPrintData m_data;
};

QString YesNo(bool flag)
{
    return flag ? QStringLiteral("SI") : QStringLiteral("NO");
}

bool DebugPaneShown()
{
    const TSessionInfo &s = SessionInfo();
    return s.bAdministrator && s.iDebugPaneHeight > 0;
}

// "Anteprima Stampa: INIZIO: ..., FINE: ..., DURATA: ..." (the product list's lines name the
// step, not the class).
void DebugTiming(const QString &step, const QDateTime &start)
{
    if (DebugPaneShown())
        AppendDebugLine(
            DebugTimingLine(QStringLiteral("_"), step, start, QDateTime::currentDateTime()).mid(2));
}

void Close(QPointer<TVIEW_REPORT> &window)
{
    if (window)
        window->close();
}

} // namespace

TProductPrintData::TProductPrintData() = default;
TProductPrintData::~TProductPrintData() = default;
TProductPrintData::TProductPrintData(TProductPrintData &&) noexcept = default;
TProductPrintData &TProductPrintData::operator=(TProductPrintData &&) noexcept = default;

QString ProductPrintCommand(const QString &sIdProdotto)
{
    return ExecText(QStringLiteral("EstraiAllDettagliProdotto"),
                    {SqlText(sIdProdotto),
                     QStringLiteral("0"),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("1"),
                     QStringLiteral("1")});
}

TProductPrintData ReadProductPrintData(TSTD_DBMODULE &db, const QString &sIdProdotto)
{
    std::vector<std::unique_ptr<TDataSet>> sets = db.QueryMulti(ProductPrintCommand(sIdProdotto));
    if (sets.size() < 5)
        throw EDatabaseError(QStringLiteral("La lettura dei dati del prodotto ha dato %1 insiemi "
                                            "di righe invece di 5.")
                                 .arg(sets.size()));
    TProductPrintData data;
    data.DST_RPT_AllDettagli = std::move(sets[0]);
    data.DST_RPT_Dettagli = std::move(sets[1]);
    data.DST_RPT_Prodotto = std::move(sets[2]);
    data.DST_RPT_ProdLinked = std::move(sets[3]);
    data.DST_RPT_ProdListini = std::move(sets[4]);
    data.DST_RPT_AllDettagli->SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    data.DST_RPT_AllDettagli->First();
    return data;
}

void BindProductPrint(TKRTCrystalReport &engine,
                      TProductPrintData &data,
                      bool bShowCover,
                      bool bShowIcons)
{
    engine.Clear();
    engine.ReportName = QString::fromLatin1(kProductPrintReport);
    engine.ReportWithData = false;
    engine.Recordset = data.DST_RPT_Dettagli.get();
    engine.SubReports.Add(QStringLiteral("DettProd_Scheda"), data.DST_RPT_AllDettagli.get());
    engine.SubReports.Add(QStringLiteral("DettProd_Componente"), data.DST_RPT_AllDettagli.get());
    engine.SubReports.Add(QStringLiteral("DettProd_Cover"), data.DST_RPT_Prodotto.get());
    engine.SubReports.Add(QStringLiteral("DettProd_Linked"), data.DST_RPT_ProdLinked.get());
    engine.SubReports.Add(QStringLiteral("DettProd_Listini"), data.DST_RPT_ProdListini.get());
    engine.Parameters.Add(QStringLiteral("flShowCover"), YesNo(bShowCover));
    engine.Parameters.Add(QStringLiteral("flShowIcons"), YesNo(bShowIcons));
}

void BindProductDetailPreview(TKRTCrystalReport &engine,
                              TDataSet &previewRows,
                              TDataSet &treeRows,
                              bool bShowIcons)
{
    engine.Clear();
    engine.ReportName = QString::fromLatin1(kProductDetailPreviewReport);
    engine.ReportWithData = false;
    engine.Recordset = &previewRows;
    engine.SubReports.Add(QStringLiteral("DettProd_Scheda"), &treeRows);
    engine.SubReports.Add(QStringLiteral("DettProd_Componente"), &treeRows);
    engine.Parameters.Add(QStringLiteral("flShowIcons"), YesNo(bShowIcons));
}

TVIEW_REPORT *PrintProductPreview(const QString &sIdProdotto, const QString &readError)
{
    const QDateTime start = QDateTime::currentDateTime();
    // The preview window frees itself when closed.
    QPointer<TVIEW_REPORT> window = new TVIEW_REPORT();
    window->ShowWaitPreview(true);
    window->SetWaitMessage(QStringLiteral("Caricamento dati prodotto") + LineBreaks(2)
                           + QStringLiteral("in corso..."));

    TProductPrintData data;
    try {
        const QString sql = ProductPrintCommand(sIdProdotto);
        if (DebugPaneShown())
            AppendDebugLine(QStringLiteral("Anteprima Stampa: sSql: ") + sql);
        data = ReadProductPrintData(*TSTD_DBMODULE::Instance(), sIdProdotto);
    } catch (const std::exception &e) {
        Close(window);
        ShowDbError(readError, e);
        return nullptr;
    }
    DebugTiming(QStringLiteral("Anteprima Stampa"), start);
    if (data.DST_RPT_Dettagli->IsEmpty()) {
        Close(window);
        ShowWarningBox(QStringLiteral("Il prodotto deve avere almeno un dettaglio (scheda o "
                                      "paragrafo).")
                       + LineBreaks(2) + QStringLiteral("Anteprima non disponibile."));
        return nullptr;
    }

    const QDateTime resizeStart = QDateTime::currentDateTime();
    const QStringList unreadable = FitNodeImagesForReport(data.DST_RPT_Prodotto.get(),
                                                          *data.DST_RPT_AllDettagli,
                                                          true);
    DebugTiming(QStringLiteral("Resize Images"), resizeStart);
    if (!window)
        return nullptr;

    const QDateTime showStart = QDateTime::currentDateTime();
    auto *holder = new TProductPrintHolder(std::move(data), window);
    BindProductPrint(*window->VR_Preview->Engine, holder->Data(), true, false);
    try {
        if (!window->VR_Preview->Show(false)) {
            Close(window); // the missing report file was reported by the engine
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
    DebugTiming(QStringLiteral("Visualizza report"), showStart);
    if (!unreadable.isEmpty())
        ShowWarningBox(QStringLiteral("Alcune immagini non si possono leggere e non sono state "
                                      "stampate:")
                       + LineBreaks(2) + unreadable.join(QStringLiteral("\r\n")));
    return window;
}
