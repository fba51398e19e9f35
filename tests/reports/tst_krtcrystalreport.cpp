// The engine wrapper as the windows use it: file names, collections, binding by name,
// parameters, formulas, sort fields, modes, exports, printing, SaveReportAsPdf.

#include "reporttesthelpers.h"

#include "reports/krtcrystalreport.h"
#include "reports/krtviewreport.h"
#include "reports/richtext.h"
#include "tests/support/dialogrecorder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestKRTCrystalReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingReportFile_data();
    void missingReportFile();
    void reportNameInAnyCaseAndWithExtension_data();
    void reportNameInAnyCaseAndWithExtension();
    void collectionsKeepTheirContract();
    void subreportsBindByNameInAnyCaseWithLinkFields_data();
    void subreportsBindByNameInAnyCaseWithLinkFields();
    void parametersAreConvertedToTheirType_data();
    void parametersAreConvertedToTheirType();
    void parametersAndFormulasAsTheReportGetsThem();
    void badFormulaTextOfANumberFormula();
    void sortFieldsAndGroupConditions();
    void viewerAndExportInOneRun();
    void exportFormats_data();
    void exportFormats();
    void printerModeUsesTheNamedPrinterCopiesAndRange();
    void printerThatIsNotThere();
    void saveReportAsPdfWritesThePreviewAndNothingElse();
    void saveReportAsPdfFailureLeavesNothing();
    void reportFileWithDataReopened();
    void preloadedReportIsReused();
    void clearEmptiesEverything();

private:
    QString ReportPath(const QString &name = QStringLiteral("Prodotti")) const
    {
        return m_dir.filePath(name);
    }
    void Fill(TKRTCrystalReport &engine);
    QTemporaryDir m_dir;
    std::unique_ptr<TDataSet> m_products;
    std::unique_ptr<TDataSet> m_items;
};

namespace {

const char *const kProducts = R"RPT(report "Prodotti"
  margins: 15
parameter flShowCover
  type: text
  default: "NO"
parameter nuSconto
  type: number
parameter flAttivo
  type: boolean
parameter dtListino
  type: date
formula Titolo
  type: text
  value: "Titolo predefinito"
formula Netto
  type: number
  value: {nuPrezzo}
group Famiglia
  field: txFamiglia
  sort: original
band report-header
  height: 20
  field Titolo
    rect: 0 0 180 8
    value: {@Titolo}
  field Parametri
    rect: 0 10 180 8
    value: "Sconto " & Format({?nuSconto} * 2, "0.0") & " attivo " & IIf({?flAttivo}, "sì", "no") & " dal " & Format({?dtListino}, "dd/mm/yyyy") & " copertina " & {?flShowCover}
band group-header Famiglia
  height: 8
  field Famiglia
    rect: 0 0 100 6
    value: "Famiglia " & {txFamiglia} & " (" & Count() & ")"
band detail
  height: 9
  field Nome
    rect: 0 0 60 6
    value: {txNome}
  field Netto
    rect: 100 0 40 6
    value: {@Netto}
    format: "0.00"
  subreport Scheda
    rect: 10 8 150 1
    report: DettProd_Scheda.rpt
    link: idProdotto = idProdotto
subreport DettProd_Scheda
  band detail
    height: 6
    field Voce
      rect: 0 0 100 5
      value: "- " & {txVoce}
)RPT";

} // namespace

void TestKRTCrystalReport::init()
{
    QVERIFY(m_dir.isValid());
    WriteText(m_dir.filePath(QStringLiteral("Prodotti.RPT")), QString::fromUtf8(kProducts));
    m_products = MakeData({QStringLiteral("idProdotto:int"),
                           QStringLiteral("txNome:text"),
                           QStringLiteral("nuPrezzo:real"),
                           QStringLiteral("txFamiglia:text"),
                           QStringLiteral("dtListino:date")},
                          {{1,
                            QStringLiteral("Valvola"),
                            10.0,
                            QStringLiteral("A"),
                            QDateTime(QDate(2024, 1, 10), QTime(0, 0))},
                           {2,
                            QStringLiteral("Pompa"),
                            20.0,
                            QStringLiteral("A"),
                            QDateTime(QDate(2024, 1, 20), QTime(0, 0))},
                           {3,
                            QStringLiteral("Filtro"),
                            5.0,
                            QStringLiteral("B"),
                            QDateTime(QDate(2024, 2, 3), QTime(0, 0))}});
    m_items = MakeData({QStringLiteral("idProdotto:int"), QStringLiteral("txVoce:text")},
                       {{2, QStringLiteral("Portata")},
                        {1, QStringLiteral("Diametro")},
                        {2, QStringLiteral("Potenza")},
                        {1, QStringLiteral("Pressione")}});
}

void TestKRTCrystalReport::Fill(TKRTCrystalReport &engine)
{
    engine.Clear();
    engine.ReportName = ReportPath();
    engine.ReportWithData = false;
    engine.Recordset = m_products.get();
    engine.SubReports.Add(QStringLiteral("DettProd_Scheda"), m_items.get());
    engine.Parameters.Add(QStringLiteral("nuSconto"), QStringLiteral("2,5"));
    engine.Parameters.Add(QStringLiteral("flAttivo"), QStringLiteral("SI"));
    engine.Parameters.Add(QStringLiteral("dtListino"), QStringLiteral("05/03/2024"));
}

void TestKRTCrystalReport::missingReportFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QStringLiteral("@/Reports/pdprw99")
                           << QStringLiteral("@/Reports/pdprw99");
    QTest::newRow("with extension")
        << QStringLiteral("@/Reports/pdprw99.RPT") << QStringLiteral("@/Reports/pdprw99");
    QTest::newRow("empty") << QString() << QString();
}

void TestKRTCrystalReport::missingReportFile()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    name.replace(u'@', m_dir.path());
    shown.replace(u'@', m_dir.path());
    TDialogRecorder dialogs;
    TKRTCrystalReport engine;
    engine.ReportName = name;
    engine.Mode = mvKRTViewer | mvKRTExport;
    engine.ExportOptions.FileName = m_dir.filePath(QStringLiteral("mai.pdf"));
    QVERIFY(!engine.Start(true));
    QCOMPARE(dialogs.Count(TDialogKind::Error), 1);
    QCOMPARE(dialogs.LastText(TDialogKind::Error),
             QStringLiteral("Percorso Report Errato:\r") + shown);
    QVERIFY(!QFile::exists(engine.ExportOptions.FileName));
    QVERIFY(!engine.PreLoadReport());
    QCOMPARE(dialogs.Count(TDialogKind::Error), 2);
}

void TestKRTCrystalReport::reportNameInAnyCaseAndWithExtension_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::newRow("lower-case extension") << "listino.rpt"
                                          << "listino";
    QTest::newRow("name given with extension") << "listino.RPT"
                                               << "listino.rpt";
    QTest::newRow("name in another case") << "Listino.Rpt"
                                          << "LISTINO";
    QTest::newRow("windows separators") << "listino.RPT"
                                        << "@WIN@listino";
}

void TestKRTCrystalReport::reportNameInAnyCaseAndWithExtension()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QTemporaryDir dir;
    WriteText(dir.filePath(file),
              QStringLiteral("report \"x\"\nband report-header\n  height: 5\n"
                             "  text T\n    rect: 0 0 50 5\n    text: OK\n"));
    TKRTCrystalReport engine;
    engine.Mode = 0;
    if (name.startsWith(QLatin1String("@WIN@")))
        engine.ReportName = QDir::toNativeSeparators(dir.path()).replace(u'/', u'\\') + u'\\'
                            + name.mid(5);
    else
        engine.ReportName = dir.filePath(name);
    TDialogRecorder dialogs;
    QVERIFY(engine.Start(true));
    QCOMPARE(dialogs.Count(TDialogKind::Error), 0);
    QCOMPARE(engine.Document()->PageTexts(0), QStringList{QStringLiteral("OK")});
}

void TestKRTCrystalReport::collectionsKeepTheirContract()
{
    TKRTCrystalReport engine;
    engine.Parameters.Add(QStringLiteral("flShowCover"), QStringLiteral("SI"));
    engine.Parameters.Add(QStringLiteral("flShowIcons"), QStringLiteral("NO"));
    QVERIFY(engine.Parameters.Exists(QStringLiteral("flShowCover")));
    QVERIFY(!engine.Parameters.Exists(QStringLiteral("FLSHOWCOVER")));
    QCOMPARE(engine.Parameters.Remove(0), 1);
    QCOMPARE(engine.Parameters.GetItem(0).Name, QStringLiteral("flShowIcons"));
    engine.Parameters.SetItem(0, {QStringLiteral("flDebug"), QStringLiteral("1")});
    QCOMPARE(engine.Parameters.Items().front().Value.toString(), QStringLiteral("1"));

    engine.SubReports.Add(QStringLiteral("DettProd_Scheda"), m_items.get());
    engine.SubReports.Add(QStringLiteral("DettProd_Cover"), m_products.get());
    QVERIFY(engine.SubReports.Exists(QStringLiteral("dettprod_scheda")));
    QCOMPARE(engine.SubReports.GetItem(QStringLiteral("DETTPROD_COVER"))->Recordset,
             m_products.get());
    QCOMPARE(engine.SubReports.GetItem(QStringLiteral("0"))->Name,
             QStringLiteral("DettProd_Scheda"));
    QCOMPARE(engine.SubReports.GetItem(QStringLiteral("Manca")), nullptr);
    QCOMPARE(engine.SubReports.GetItem(QStringLiteral("7")), nullptr);

    engine.Formulas.Add(QStringLiteral("Titolo"), QStringLiteral("x"));
    QVERIFY(engine.Formulas.Exists(QStringLiteral("Titolo")));
    QVERIFY(!engine.Formulas.Exists(QStringLiteral("titolo")));
    engine.OrderByFields.Add(QStringLiteral("txNome"));
    QCOMPARE(engine.OrderByFields.GetItem(0).Order, sdKRTAscending);
    QCOMPARE(engine.OrderByFields.GetItem(0).GroupCondition, gcKRTNoChange);
    QVERIFY(!engine.OrderByFields.Exists(QStringLiteral("TXNOME")));

    QCOMPARE(KRTExportFormatCode(exfKRTPDF), 31);
    QCOMPARE(KRTExportFormatCode(exfKRTCrystal), 1);
    QCOMPARE(KRTExportFormatCode(exfKRTRichText), 4);
    QCOMPARE(KRTExportFormatCode(exfKRTVRHTML32), 24);

    RPTEmailOptions mail;
    QCOMPARE(mail.MissingItems(),
             QStringList({QStringLiteral("- Server Posta In Uscita (SMTP)"),
                          QStringLiteral("- Indirizzo Email A:")}));
    mail.AccountObblig = true;
    mail.AccountMailServer = QStringLiteral("smtp.example.com");
    mail.ToEmail = QStringLiteral("a@example.com");
    QCOMPARE(mail.MissingItems(),
             QStringList({QStringLiteral("- Nome Account"), QStringLiteral("- Password Account")}));
    mail.AccountUserID = QStringLiteral("u");
    mail.AccountPassword = QStringLiteral("p");
    QVERIFY(!mail.IsIncomplete());
}

void TestKRTCrystalReport::subreportsBindByNameInAnyCaseWithLinkFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("bound");
    QTest::newRow("same case") << "DettProd_Scheda" << true;
    QTest::newRow("upper case") << "DETTPROD_SCHEDA" << true;
    QTest::newRow("with extension") << "dettprod_scheda.RPT" << true;
    QTest::newRow("another name") << "DettProd_Componente" << false;
}

void TestKRTCrystalReport::subreportsBindByNameInAnyCaseWithLinkFields()
{
    QFETCH(QString, name);
    QFETCH(bool, bound);
    TKRTCrystalReport engine;
    Fill(engine);
    engine.SubReports.Clear();
    engine.SubReports.Add(name, m_items.get());
    engine.Mode = 0;
    m_products->SetRecNo(2);
    m_items->SetRecNo(3);
    QVERIFY(engine.Start(true));
    QStringList body = engine.Document()->PageTexts(0).mid(2);
    QStringList expected{QStringLiteral("Famiglia A (2)"),
                         QStringLiteral("Valvola"),
                         QStringLiteral("10,00"),
                         QStringLiteral("- Diametro"),
                         QStringLiteral("- Pressione"),
                         QStringLiteral("Pompa"),
                         QStringLiteral("20,00"),
                         QStringLiteral("- Portata"),
                         QStringLiteral("- Potenza"),
                         QStringLiteral("Famiglia B (1)"),
                         QStringLiteral("Filtro"),
                         QStringLiteral("5,00")};
    if (!bound)
        expected.removeIf([](const QString &s) { return s.startsWith(u'-'); });
    QCOMPARE(body, expected);
    // Binding never moves the caller's rows.
    QCOMPARE(m_products->RecNo(), 2);
    QCOMPARE(m_items->RecNo(), 3);
}

void TestKRTCrystalReport::parametersAreConvertedToTheirType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("given");
    QTest::addColumn<QVariant>("expected");
    const int number = int(TParamType::Number);
    const int flag = int(TParamType::Boolean);
    const int text = int(TParamType::Text);
    const int date = int(TParamType::Date);
    QTest::newRow("number from program text") << number << QVariant("1.234,5") << QVariant(1234.5);
    QTest::newRow("number from command text") << number << QVariant("12.5") << QVariant(12.5);
    QTest::newRow("number from integer") << number << QVariant(7) << QVariant(7.0);
    QTest::newRow("flag SI") << flag << QVariant("SI") << QVariant(true);
    QTest::newRow("flag NO") << flag << QVariant("no") << QVariant(false);
    QTest::newRow("flag 1") << flag << QVariant("1") << QVariant(true);
    QTest::newRow("flag from number") << flag << QVariant(0) << QVariant(false);
    QTest::newRow("text from number") << text << QVariant(12) << QVariant("12");
    QTest::newRow("text kept") << text << QVariant("SI") << QVariant("SI");
    QTest::newRow("date from text")
        << date << QVariant("05/03/2024") << QVariant(QDate(2024, 3, 5));
    QTest::newRow("date from date-time")
        << date << QVariant(QDateTime(QDate(2024, 3, 5), QTime(8, 0)))
        << QVariant(QDate(2024, 3, 5));
    QTest::newRow("null stays null") << number << QVariant() << QVariant();
}

void TestKRTCrystalReport::parametersAreConvertedToTheirType()
{
    QFETCH(int, type);
    QFETCH(QVariant, given);
    QFETCH(QVariant, expected);
    TParameterDef def;
    def.name = QStringLiteral("p");
    def.type = TParamType(type);
    const QVariant v = ConvertParameter(def, given, QStringLiteral("x.RPT"));
    QCOMPARE(v, expected);
    if (expected.isValid())
        QCOMPARE(v.typeId(), expected.typeId());
}

void TestKRTCrystalReport::parametersAndFormulasAsTheReportGetsThem()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = 0;
    engine.Parameters.Add(QStringLiteral("FLSHOWCOVER"), QStringLiteral("SI")); // any case
    engine.Parameters.Add(QStringLiteral("flNonEsiste"), QStringLiteral("x"));  // ignored
    engine.Formulas.Add(QStringLiteral("titolo"), QStringLiteral("Listino 2024 (prova)"));
    engine.Formulas.Add(QStringLiteral("Netto"), QStringLiteral("{nuPrezzo} * 0.9"));
    engine.Formulas.Add(QStringLiteral("NonEsiste"), QStringLiteral("1"));
    QVERIFY(engine.Start(true));
    const QStringList texts = engine.Document()->PageTexts(0);
    QCOMPARE(texts.at(0), QStringLiteral("Listino 2024 (prova)"));
    QCOMPARE(texts.at(1), QStringLiteral("Sconto 5,0 attivo sì dal 05/03/2024 copertina SI"));
    QVERIFY(texts.contains(QStringLiteral("9,00")));
    QVERIFY(texts.contains(QStringLiteral("4,50")));
}

void TestKRTCrystalReport::badFormulaTextOfANumberFormula()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = 0;
    engine.Formulas.Add(QStringLiteral("Netto"), QStringLiteral("{nuPrezzo} *"));
    try {
        engine.Start(true);
        QFAIL("started");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("formula \"Netto\"")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QLatin1String("Prodotti.RPT")), qPrintable(e.text()));
    }
}

void TestKRTCrystalReport::sortFieldsAndGroupConditions()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = 0;
    engine.OrderByFields.Add(QStringLiteral("txNome"), sdKRTAscending);
    engine.OrderByFields.Add(QStringLiteral("nuManca"), sdKRTAscending);
    QVERIFY(engine.Start(true));
    QStringList names;
    for (const QString &t : engine.Document()->PageTexts(0)) {
        if (t == u"Valvola" || t == u"Pompa" || t == u"Filtro")
            names << t;
    }
    // The families keep the order of the data (A before B); inside each the rows go by name.
    QCOMPARE(names,
             QStringList(
                 {QStringLiteral("Pompa"), QStringLiteral("Valvola"), QStringLiteral("Filtro")}));
    QCOMPARE(engine.OrderByFields.Count(), 1); // the handled entry leaves the collection
    QCOMPARE(engine.OrderByFields.GetItem(0).Name, QStringLiteral("nuManca"));

    // A group on a date field with a monthly condition: one group a month.
    const QString monthly = m_dir.filePath(QStringLiteral("Mesi.RPT"));
    WriteText(monthly,
              QStringLiteral(
                  "report \"m\"\ngroup Mese\n  field: dtListino\nband group-header Mese\n"
                  "  height: 6\n  field M\n    rect: 0 0 80 5\n"
                  "    value: Format({dtListino}, \"mmmm yyyy\") & \" \" & Count()\n"));
    engine.Clear();
    engine.ReportName = m_dir.filePath(QStringLiteral("Mesi"));
    engine.Recordset = m_products.get();
    engine.Mode = 0;
    engine.OrderByFields.Add(QStringLiteral("dtListino"), sdKRTAscending, gcKRTMonthly);
    QVERIFY(engine.Start(true));
    QCOMPARE(engine.Document()->PageTexts(0),
             QStringList({QStringLiteral("gennaio 2024 2"), QStringLiteral("febbraio 2024 1")}));
}

void TestKRTCrystalReport::viewerAndExportInOneRun()
{
    TKRTViewReport viewer;
    TKRTCrystalReport &engine = *viewer.Engine;
    Fill(engine);
    engine.Mode = mvKRTViewer | mvKRTExport;
    QCOMPARE(engine.Mode, 5);
    engine.ExportOptions.FormatType = exfKRTRichText;
    engine.ExportOptions.FileName = m_dir.filePath(QStringLiteral("FindSezione_1.rtf"));
    QVERIFY(viewer.Show(false));
    QCOMPARE(viewer.PageCount(), 1);
    QCOMPARE(viewer.GetCurrentPageNumber(), 1);
    const QString text = RtfFileToPlainText(engine.ExportOptions.FileName);
    QCOMPARE(text.split(u'\n'), viewer.Document()->PageTexts(0));
}

void TestKRTCrystalReport::exportFormats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("starts");
    QTest::newRow("pdf") << int(exfKRTPDF) << "x.pdf"
                         << "%PDF";
    QTest::newRow("rich text") << int(exfKRTRichText) << "x.rtf"
                               << "{\\rtf1";
    QTest::newRow("rtf") << int(exfKRTRTF) << "y.rtf"
                         << "{\\rtf1";
    QTest::newRow("report with data") << int(exfKRTCrystal) << "x.rpt"
                                      << "VTRPTDAT";
    QTest::newRow("text") << int(exfKRTText) << "x.txt"
                          << "Titolo predefinito";
    QTest::newRow("excel") << int(exfKRTExcel80) << "x.xls" << QString();
    QTest::newRow("html") << int(exfKRTHTML40) << "x.html" << QString();
}

void TestKRTCrystalReport::exportFormats()
{
    QFETCH(int, format);
    QFETCH(QString, file);
    QFETCH(QString, starts);
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = mvKRTExport;
    engine.ExportOptions.FormatType = TKRTVRExpFmtTypeConstants(format);
    engine.ExportOptions.FileName = m_dir.filePath(file);
    if (starts.isEmpty()) {
        try {
            engine.Start(true);
            QFAIL("exported");
        } catch (const EReportError &e) {
            QVERIFY2(e.text().contains(QLatin1String("non supportato")), qPrintable(e.text()));
        }
        QVERIFY(!QFile::exists(engine.ExportOptions.FileName));
        return;
    }
    QVERIFY(engine.Start(true));
    QFile f(engine.ExportOptions.FileName);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith(starts.toUtf8()));
    // The stand-alone export writes the same again.
    QVERIFY(f.remove());
    engine.ExportReport();
    QVERIFY(QFile::exists(engine.ExportOptions.FileName));
}

void TestKRTCrystalReport::printerModeUsesTheNamedPrinterCopiesAndRange()
{
    const QString pdf = m_dir.filePath(QStringLiteral("stampa.pdf"));
    PdfPrinters printers(pdf);
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = mvKRTPrinter;
    engine.PrintOptions.PrinterName = QStringLiteral("Ufficio");
    engine.PrintOptions.Copies = 3;
    QVERIFY(engine.Start(true));
    QCOMPARE(printers.asked, QStringList{QStringLiteral("Ufficio")});
    QCOMPARE(PdfPageCount(pdf), 3);
    QVERIFY(PdfPages(pdf).at(2).contains(QLatin1String("Valvola")));

    // Stand-alone print: a range after the last page, or reversed, means every page.
    engine.PrintOptions = RPTPrintOptions();
    engine.PrintOptions.PageFrom = 3;
    engine.PrintOptions.PageTo = 1;
    engine.PrintReport();
    QCOMPARE(printers.asked.last(), QString());
    QCOMPARE(PdfPageCount(pdf), 1);
}

void TestKRTCrystalReport::printerThatIsNotThere()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = mvKRTPrinter;
    engine.PrintOptions.PrinterName = QStringLiteral("Stampante Inesistente");
    try {
        engine.Start(true);
        QFAIL("printed");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("\"Stampante Inesistente\"")),
                 qPrintable(e.text()));
    }
}

void TestKRTCrystalReport::saveReportAsPdfWritesThePreviewAndNothingElse()
{
    QTemporaryDir out;
    TKRTViewReport viewer;
    Fill(*viewer.Engine);
    QVERIFY(viewer.Show(false));
    // The data change after the preview was made: the PDF shows what the preview shows.
    m_products->First();
    m_products->Edit();
    m_products->FieldByName(QStringLiteral("txNome")).SetValue(QStringLiteral("Cambiato"));
    m_products->Post();
    const QString pdf = out.filePath(QStringLiteral("Preventivo 0012_2024.pdf"));
    SaveReportAsPdf(&viewer, pdf);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Preventivo 0012_2024.pdf")});
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), viewer.PageCount());
    QCOMPARE(pages.at(0), viewer.Document()->PageTexts(0).join(u' ').simplified());
    QVERIFY(!pages.at(0).contains(QLatin1String("Cambiato")));
}

void TestKRTCrystalReport::saveReportAsPdfFailureLeavesNothing()
{
    TKRTViewReport viewer;
    try {
        SaveReportAsPdf(&viewer, m_dir.filePath(QStringLiteral("vuoto.pdf")));
        QFAIL("saved an empty preview");
    } catch (const EReportError &e) {
        QVERIFY(e.text().contains(QLatin1String("anteprima")));
    }
    Fill(*viewer.Engine);
    QVERIFY(viewer.Show(false));
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
    try {
        SaveReportAsPdf(&viewer, m_dir.filePath(QStringLiteral("manca/x.pdf")));
        QFAIL("saved");
    } catch (const EReportError &e) {
        QVERIFY2(e.text().contains(QLatin1String("manca")), qPrintable(e.text()));
    }
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
}

void TestKRTCrystalReport::reportFileWithDataReopened()
{
    TKRTCrystalReport first;
    Fill(first);
    first.Mode = mvKRTExport;
    first.ExportOptions.FormatType = exfKRTCrystal;
    first.ExportOptions.FileName = m_dir.filePath(QStringLiteral("Copia.rpt"));
    QVERIFY(first.Start(true));
    const QStringList pages = PageTexts(*first.Document());
    m_products.reset();
    m_items.reset();

    TKRTCrystalReport second;
    second.Clear();
    second.ReportName = m_dir.filePath(QStringLiteral("Copia.rpt"));
    second.Mode = mvKRTExport;
    second.ReportWithData = true;
    second.ExportOptions.FileName = m_dir.filePath(QStringLiteral("Copia.pdf"));
    second.ExportOptions.FormatType = exfKRTPDF;
    QVERIFY(second.Start(true));
    QCOMPARE(PageTexts(*second.Document()), pages);
    QCOMPARE(PdfPages(second.ExportOptions.FileName).at(0), pages.at(0).split(u'|').join(u' '));
}

void TestKRTCrystalReport::preloadedReportIsReused()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = 0;
    QVERIFY(engine.PreLoadReport());
    QVERIFY(engine.bPreLoad);
    // Changing the file after it was opened in advance does not change this run.
    WriteText(m_dir.filePath(QStringLiteral("Prodotti.RPT")),
              QStringLiteral("report \"x\"\nband report-header\n  height: 5\n"));
    QVERIFY(engine.Start(true));
    QVERIFY(engine.Document()->PageTexts(0).contains(QStringLiteral("Valvola")));
}

void TestKRTCrystalReport::clearEmptiesEverything()
{
    TKRTCrystalReport engine;
    Fill(engine);
    engine.Mode = 7;
    engine.Formulas.Add(QStringLiteral("a"), QStringLiteral("b"));
    engine.OrderByFields.Add(QStringLiteral("a"));
    engine.PrintOptions.Copies = 4;
    engine.PrintOptions.PrinterName = QStringLiteral("p");
    engine.ExportOptions.FormatType = exfKRTRichText;
    engine.ExportOptions.FileName = QStringLiteral("f");
    engine.EmailOptions.ToEmail = QStringLiteral("x");
    engine.ReportWithData = true;
    engine.CanExport = engine.CanSendEmail = false;
    engine.Clear();
    QCOMPARE(engine.Mode, int(mvKRTViewer));
    QVERIFY(engine.ReportName.isEmpty());
    QCOMPARE(engine.Recordset, nullptr);
    QVERIFY(engine.Parameters.IsEmpty() && engine.SubReports.IsEmpty());
    QVERIFY(engine.Formulas.IsEmpty() && engine.OrderByFields.IsEmpty());
    QCOMPARE(engine.PrintOptions.Copies, 1);
    QVERIFY(engine.PrintOptions.PrinterName.isEmpty());
    QCOMPARE(engine.ExportOptions.FormatType, exfKRTPDF);
    QVERIFY(engine.ExportOptions.FileName.isEmpty());
    QVERIFY(engine.EmailOptions.ToEmail.isEmpty());
    QVERIFY(!engine.ReportWithData);
    QVERIFY(engine.CanExport && engine.CanSendEmail);
}

QTEST_MAIN(TestKRTCrystalReport)
#include "tst_krtcrystalreport.moc"
