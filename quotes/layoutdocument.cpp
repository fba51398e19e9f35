#include "quotes/layoutdocument.h"

#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "domain/layoutimages.h"
#include "reports/krtcrystalreport.h"

#include <QElapsedTimer>

namespace {

QString Text(TDataSet &rows, const char *field)
{
    TField f = rows.FindField(QLatin1String(field));
    return f.Index() >= 0 ? f.AsString() : QString();
}

// A new in-memory set with the rows of source that pass filter (all when empty).
std::unique_ptr<TDataSet> CopyOf(TDataSet &source, const QString &filter)
{
    std::unique_ptr<TDataSet> copy;
    CreateMemoryCopy(copy, source, true);
    source.SetFilter(filter);
    source.SetFiltered(!filter.isEmpty());
    CopyAllRecords(source, *copy);
    source.SetFiltered(false);
    source.SetFilter(QString());
    copy->First();
    return copy;
}

// Rows of the main procedure read at once: a few products' worth, or about this much server
// text (pictures travel as hexadecimal text, twice their size).
constexpr int kPieceRows = 256;
constexpr qint64 kPieceBytes = 16 * 1024 * 1024;

// The pictures of a piece of the main procedure's rows, fitted as the sets they are copied to
// print them: the product covers (kind 5 with its cover shown) and the pictures of the
// sub-paragraphs and of their contents.
QStringList FitMainPictures(TLayoutImageFitter &fitter, TDataSet &rows)
{
    QStringList problems = fitter.Fit(&rows, nullptr, nullptr);
    rows.SetFilter(QStringLiteral("nuTipologia = 40 OR nuTipologia = 50 OR nuTipologia = 60 OR "
                                  "nuTipologia = 61 OR nuTipologia = 70 OR nuTipologia = 80 OR "
                                  "nuTipologia = 90"));
    rows.SetFiltered(true);
    problems << fitter.Fit(nullptr, nullptr, &rows);
    rows.SetFiltered(false);
    rows.SetFilter(QString());
    return problems;
}

void SetText(TDataSet &rows, const char *field, const QString &value)
{
    TField f = rows.FindField(QLatin1String(field));
    if (f.Index() >= 0)
        f.SetValue(value);
}

} // namespace

TLayoutChoice LayoutChoiceFromRow(TDataSet &layouts)
{
    TLayoutChoice c;
    if (layouts.IsEmpty())
        return c;
    c.idLayout = Text(layouts, "idLayout");
    c.txCodLayout = Text(layouts, "txCodLayout");
    c.txDescLayout = Text(layouts, "txDescLayout");
    c.txNomeReport = Text(layouts, "txNomeReport");
    c.txNomeReportEdit = Text(layouts, "txNomeReportEdit");
    c.txNomeStoreMain = Text(layouts, "txNomeStoreMain");
    c.txNomeStoreCover = Text(layouts, "txNomeStoreCover");
    c.txNomeStoreTotali = Text(layouts, "txNomeStoreTotali");
    return c;
}

TLayoutDocument::TLayoutDocument() = default;
TLayoutDocument::~TLayoutDocument() = default;

void TLayoutDocument::Free()
{
    DST_RPT_Main.reset();
    DST_TREE_Dettagli.reset();
    DST_RPT_Images.reset();
    DST_RPT_Schede.reset();
    DST_RPT_Sottoparagrafi.reset();
    DST_RPT_Cover.reset();
    DST_RPT_Cover_Multi.reset();
    DST_RPT_Riepilogo.reset();
    DST_Societa.reset();
    unreadableImages.clear();
    imageFittingSeconds = 0;
}

QString LayoutProcedureCommand(const QString &procedure,
                               const QString &sIdPreventivo,
                               const QString &txCodLayout)
{
    return ExecText(procedure, {SqlText(sIdPreventivo), SqlText(txCodLayout)});
}

QString LayoutStepText(TLayoutStep step)
{
    switch (step) {
    case TLayoutStep::Prodotti:
        return QStringLiteral("Estrazione elenco dei prodotti del preventivo in corso...");
    case TLayoutStep::Paragrafi:
        return QStringLiteral("Composizione di tutti i paragrafi dei prodotti...");
    case TLayoutStep::Cover:
        return QStringLiteral("Preparazione della cover con i dati principali...");
    case TLayoutStep::Riepilogo:
        return QStringLiteral("Calcolo della pagina dei riepiloghi di tutti gli importi...");
    case TLayoutStep::Immagini:
        return QStringLiteral(
            "Elaborazione delle immagini del preventivo al layout selezionato...");
    }
    return QString();
}

void ReadLayoutDocument(TLayoutDocument &doc,
                        TSTD_DBMODULE &db,
                        const QString &sIdPreventivo,
                        const QString &sIdSocieta,
                        const TLayoutChoice &layout,
                        const std::function<void(TLayoutStep)> &step)
{
    auto tell = [&step](TLayoutStep s) {
        if (step)
            step(s);
    };
    doc.Free();
    const bool withCompany = !sIdSocieta.isEmpty();
    tell(TLayoutStep::Prodotti);
    if (withCompany) {
        doc.DST_Societa = db.Query(QStringLiteral("SELECT * FROM Societa WHERE idSocieta = ")
                                   + SqlText(sIdSocieta));
        doc.DST_Societa->First();
    }
    const bool hasCompany = withCompany && !doc.DST_Societa->IsEmpty();
    const QString denominazione = hasCompany ? Text(*doc.DST_Societa, "txDenominazione")
                                             : QString();
    std::unique_ptr<TCompanyLogoFitter> logo;
    if (hasCompany) {
        TField f = doc.DST_Societa->FindField(QStringLiteral("imgLogo"));
        logo = std::make_unique<TCompanyLogoFitter>(f.Index() >= 0 && !f.IsNull() ? f.AsBytes()
                                                                                  : QByteArray());
    }

    // The pictures come in their stored size, many times the size they are printed at: each
    // piece of rows has them fitted before the next is read, so that only the fitted ones are
    // ever held together.
    TLayoutImageFitter fitter;
    QElapsedTimer fitting;
    std::unique_ptr<TDataSet> main;
    db.QueryInBatches(LayoutProcedureCommand(layout.txNomeStoreMain,
                                             sIdPreventivo,
                                             layout.txCodLayout),
                      kPieceRows,
                      kPieceBytes,
                      [&](TDataSet &piece) {
                          std::unique_ptr<TDataSet> rows = CopyOf(piece, QString());
                          fitting.start();
                          doc.unreadableImages << FitMainPictures(fitter, *rows);
                          doc.imageFittingSeconds += double(fitting.nsecsElapsed()) / 1e9;
                          if (!main)
                              CreateMemoryCopy(main, *rows, true);
                          main->AppendAllFrom(*rows);
                      });
    main->First();
    tell(TLayoutStep::Paragrafi);
    doc.DST_RPT_Main = CopyOf(*main,
                              QStringLiteral("nuTipologia = 5 OR nuTipologia = 10 OR nuTipologia "
                                             "= 30 OR nuTipologia = 40 OR nuTipologia = 61 OR "
                                             "nuTipologia = 9990"));
    doc.DST_TREE_Dettagli = CopyOf(*main,
                                   QStringLiteral("(nuTipologia = 5 OR nuTipologia = 10 OR "
                                                  "nuTipologia = 30 OR nuTipologia = 40 OR "
                                                  "nuTipologia = 61) AND flProdottoVisible = 1"));
    doc.DST_RPT_Images = CopyOf(*main, QStringLiteral("nuTipologia = 61"));
    doc.DST_RPT_Schede = CopyOf(*main, QStringLiteral("nuTipologia = 10 OR nuTipologia = 20"));
    doc.DST_RPT_Sottoparagrafi = CopyOf(*main,
                                        QStringLiteral("nuTipologia = 40 OR nuTipologia = 50 OR "
                                                       "nuTipologia = 60 OR nuTipologia = 70 OR "
                                                       "nuTipologia = 80 OR nuTipologia = 90"));
    main.reset();
    if (hasCompany) {
        const QString piede = Text(*doc.DST_Societa, "txPiedeReport");
        TDataSet &rows = *doc.DST_RPT_Main;
        bool logoUnreadable = false;
        for (rows.First(); !rows.Eof(); rows.Next()) {
            rows.Edit();
            SetText(rows, "txDescSocieta", denominazione);
            SetText(rows, "txPiedeReport", piede);
            if (!logo->FitInto(rows))
                logoUnreadable = true;
            rows.Post();
        }
        rows.First();
        if (logoUnreadable)
            doc.unreadableImages << QStringLiteral("Logo della società: immagine non leggibile");
    }

    tell(TLayoutStep::Cover);
    std::unique_ptr<TDataSet> cover = db.Query(
        LayoutProcedureCommand(layout.txNomeStoreCover, sIdPreventivo, layout.txCodLayout));
    doc.DST_RPT_Cover = CopyOf(*cover, QString());
    doc.DST_RPT_Cover_Multi = CopyOf(*cover, QString());
    cover.reset();
    if (hasCompany) {
        const QString localita = Text(*doc.DST_Societa, "txLocalita");
        for (TDataSet *rows : {doc.DST_RPT_Cover.get(), doc.DST_RPT_Cover_Multi.get()}) {
            for (rows->First(); !rows->Eof(); rows->Next()) {
                rows->Edit();
                SetText(*rows, "txSocLocalita", localita);
                SetText(*rows, "txDescSocieta", denominazione);
                rows->Post();
            }
            rows->First();
        }
    }

    tell(TLayoutStep::Riepilogo);
    std::unique_ptr<TDataSet> totals = db.Query(
        LayoutProcedureCommand(layout.txNomeStoreTotali, sIdPreventivo, layout.txCodLayout));
    doc.DST_RPT_Riepilogo = CopyOf(*totals, QString());
    totals.reset();
    if (hasCompany && !doc.DST_RPT_Riepilogo->IsEmpty()) {
        TDataSet &rows = *doc.DST_RPT_Riepilogo;
        rows.Last();
        rows.Edit();
        SetText(rows, "txDescSocieta", denominazione);
        logo->FitInto(rows);
        rows.Post();
        rows.First();
    }

    tell(TLayoutStep::Immagini);
    fitting.start();
    doc.unreadableImages << fitter.Fit(nullptr, doc.DST_RPT_Cover.get(), nullptr);
    doc.imageFittingSeconds += double(fitting.nsecsElapsed()) / 1e9;
    // The second cover copy shows the same fitted picture.
    if (!doc.DST_RPT_Cover->IsEmpty() && !doc.DST_RPT_Cover_Multi->IsEmpty()) {
        doc.DST_RPT_Cover_Multi->EmptyDataSet();
        doc.DST_RPT_Cover_Multi->AppendAllFrom(*doc.DST_RPT_Cover);
        doc.DST_RPT_Cover_Multi->First();
    }
    doc.DST_TREE_Dettagli->SetSort(QStringLiteral("nuOrderLayout"));
    doc.DST_TREE_Dettagli->First();
}

QStringList LayoutSubreportNames(const QString &reportName, const QString &txCodLayout)
{
    QStringList names;
    for (const char *part :
         {"_Scheda_", "_Immagini_", "_Sottoparagrafo_", "_Cover_", "_Cover_Multi_", "_Riepilogo_"})
        names << reportName + QLatin1String(part) + txCodLayout;
    return names;
}

void BindLayoutReport(TKRTCrystalReport &engine,
                      TLayoutDocument &doc,
                      const QString &reportName,
                      const QString &txCodLayout,
                      bool bCustomising)
{
    engine.Clear();
    engine.ReportName = QStringLiteral("Reports\\") + reportName;
    engine.ReportWithData = false;
    engine.Recordset = doc.DST_RPT_Main.get();
    const QStringList names = LayoutSubreportNames(reportName, txCodLayout);
    engine.SubReports.Add(names.at(0), doc.DST_RPT_Schede.get());
    engine.SubReports.Add(names.at(1), doc.DST_RPT_Images.get());
    engine.SubReports.Add(names.at(2), doc.DST_RPT_Sottoparagrafi.get());
    engine.SubReports.Add(names.at(3), doc.DST_RPT_Cover.get());
    engine.SubReports.Add(names.at(4), doc.DST_RPT_Cover_Multi.get());
    engine.SubReports.Add(names.at(5), doc.DST_RPT_Riepilogo.get());
    engine.Parameters.Add(QStringLiteral("flDebug"),
                          bCustomising ? QStringLiteral("1") : QStringLiteral("0"));
}
