#pragma once

// The printed quote's data: the rows the chosen layout's three procedures give, sorted into the
// sets the layout report reads (main section, layout tree, images, data sheets,
// sub-paragraphs, cover twice, totals), with the company's name, page footer and logo added and
// every picture fitted to the layout's boxes; and the binding of a layout report to them.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TDataSet;
class TKRTCrystalReport;
class TSTD_DBMODULE;

// One row of "EXEC EstraiLayouts": a layout of the company.
struct TLayoutChoice
{
    QString idLayout;
    QString txCodLayout;
    QString txDescLayout;
    QString txNomeReport;     // report of the final print
    QString txNomeReportEdit; // report of the customising preview
    QString txNomeStoreMain;
    QString txNomeStoreCover;
    QString txNomeStoreTotali;
};
// The current row of the layouts set.
TLayoutChoice LayoutChoiceFromRow(TDataSet &layouts);

struct TLayoutDocument
{
    std::unique_ptr<TDataSet> DST_RPT_Main;           // kinds 5, 10, 30, 40, 61, 9990
    std::unique_ptr<TDataSet> DST_TREE_Dettagli;      // kinds 5, 10, 30, 40, 61 visible in print
    std::unique_ptr<TDataSet> DST_RPT_Images;         // kind 61
    std::unique_ptr<TDataSet> DST_RPT_Schede;         // kinds 10, 20
    std::unique_ptr<TDataSet> DST_RPT_Sottoparagrafi; // kinds 40, 50, 60, 70, 80, 90
    std::unique_ptr<TDataSet> DST_RPT_Cover;
    std::unique_ptr<TDataSet> DST_RPT_Cover_Multi;
    std::unique_ptr<TDataSet> DST_RPT_Riepilogo;
    std::unique_ptr<TDataSet> DST_Societa;
    QStringList unreadableImages;   // one line per picture left out
    double imageFittingSeconds = 0; // of the reading, spent fitting the pictures

    TLayoutDocument();
    ~TLayoutDocument();
    void Free();
};

// "EXEC " + name + " " + quoted quote id + ", " + quoted layout code.
QString LayoutProcedureCommand(const QString &procedure,
                               const QString &sIdPreventivo,
                               const QString &txCodLayout);

// The steps of the reading, as the wait panel shows them.
enum class TLayoutStep { Prodotti, Paragrafi, Cover, Riepilogo, Immagini };
QString LayoutStepText(TLayoutStep step);

// Reads the document of a quote in a layout (sIdSocieta empty: a quote without company, no
// company data). Raises EDatabaseError; the document is freed first and left partly filled on
// failure. step, when given, is told each step before it runs.
void ReadLayoutDocument(TLayoutDocument &doc,
                        TSTD_DBMODULE &db,
                        const QString &sIdPreventivo,
                        const QString &sIdSocieta,
                        const TLayoutChoice &layout,
                        const std::function<void(TLayoutStep)> &step = {});

// The subreport names of a layout report: report + "_Scheda_" + code, "_Immagini_",
// "_Sottoparagrafo_", "_Cover_", "_Cover_Multi_", "_Riepilogo_".
QStringList LayoutSubreportNames(const QString &reportName, const QString &txCodLayout);

// Fills an engine for "Reports\" + reportName: main data, the six subreports and the parameter
// "flDebug" ("1" for the customising preview, else "0"). The document must outlive every Start.
void BindLayoutReport(TKRTCrystalReport &engine,
                      TLayoutDocument &doc,
                      const QString &reportName,
                      const QString &txCodLayout,
                      bool bCustomising);
