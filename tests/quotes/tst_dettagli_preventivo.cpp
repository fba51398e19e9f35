// The quote lines editor on a fresh demo database, driven offscreen as an operator does: the
// line grid, the price rules and the price panel, quantity and print flags with their
// refusals, moving and removing lines, the closing question, the catalogue search adding
// products with their linked products, and the line detail window.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtree.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/clipboard.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrttoggleswitch.h"
#include "domain/vrldettprev.h"
#include "quotes/dettagli_prevdet.h"
#include "quotes/dettagli_preventivo.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/lineprices.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteopeners.h"
#include "reports/krtviewreport.h"
#include "reports/view_report.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QUuid>

namespace {

const QString kUser = QStringLiteral("'ADMIN'");

} // namespace

class tst_dettagli_preventivo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void priceRules_data();
    void priceRules();
    void discountCeilings_data();
    void discountCeilings();
    void linesAreLoadedIntoTheGrid();
    void storedPositionsWithGapsKeepEveryLine();
    void descriptionsWrapAtWords_data();
    void descriptionsWrapAtWords();
    void openedByTheQuoteListEntry();
    void pricePanelKeepsAmountAndDiscountTogether();
    void badNumbersAreRefusedBeforeWriting();
    void quantityShownAndRefused();
    void printFlagRefusals_data();
    void printFlagRefusals();
    void dragMovesTheLine();
    void removingTheLastLineSelectsTheNewLast();
    void closingAsksAboutTheFirstProduct();
    void addingAProductWithTwoLinkedProducts();
    void addingIsAllOrNothing();
    void catalogueSearchAndLinkedProductsAlone();
    void documentationNeverSendsAPriceList();
    void searchFiltersRestored_data();
    void searchFiltersRestored();
    void previousCataloguesSwitchAndAzzera();
    void listFiltersAndTheirAzzera_data();
    void listFiltersAndTheirAzzera();
    void otherPriceList_data();
    void otherPriceList();
    void linkedGridMenu_data();
    void linkedGridMenu();
    void linkedSelectionFailureIsReported();
    void lineDetailsSwitchNodesOffAndOn();
    void lineDetailsSheetValuesAndQuantity();
    void sheetValueKeys_data();
    void sheetValueKeys();
    void sheetSaveFailureWritesNothing();
    void lineDetailsCopyId_data();
    void lineDetailsCopyId();
    void linePreviewShowsTheLine();
    void lookAtTheWindow();
    void walkThroughAsANewUser();

private:
    // A numbered quote of company 1 with lines of the given product codes (with their first
    // active list when withList); answers its id.
    QString MakeQuote(const QStringList &codes, bool withList = true);
    QString ProductId(const QString &code)
    {
        return env->Super("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '" + code + "'");
    }
    QString LineId(const QString &quote, int position)
    {
        return env->Super(QStringLiteral("SELECT idpreventivodet FROM preventivo_dettaglio WHERE "
                                         "idpreventivo = '%1' AND nuordinamento = %2")
                              .arg(quote)
                              .arg(position));
    }
    TDETTAGLI_PREVENTIVO *Open(const QString &quote);
    void Search(const QString &text);
    // The line details of a line, a window of its own.
    TDETTAGLI_PREVDET *OpenDetails(const QString &line);
    // The first node of that kind in the details' tree (nullptr when none).
    static TDettProdTreeItem *FirstOfKind(TDETTAGLI_PREVDET *d, TCurrentNodeTipologia kind);
    // The sheet editor of the line's first data sheet.
    static bool OpenFirstSheet(TDETTAGLI_PREVDET *d);

    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TDETTAGLI_PREVENTIVO> w;
};

void tst_dettagli_preventivo::init()
{
    env = std::make_unique<TMasterDataEnvironment>();
    // The line details open without their live preview unless a case asks for it.
    env->SetSetting(QStringLiteral("FrmDettPrevDet_PreviewProd"), QStringLiteral("NO"));
}

void tst_dettagli_preventivo::cleanup()
{
    if (w) {
        env->Recorder().QueueYes();
        w->close();
        delete w;
    }
    QList<QPointer<QWidget>> details;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<TDETTAGLI_PREVDET *>(top))
            details << top;
    for (const QPointer<QWidget> &d : details)
        delete d.data();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetDebugLineSink(nullptr);
    env.reset();
}

QString tst_dettagli_preventivo::MakeQuote(const QStringList &codes, bool withList)
{
    TSTD_DBMODULE &db = env->Db().Module();
    const QString id = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    env->Super("INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, "
               "nuggscaddalblocco) VALUES ('"
               + id + "', '" + kSoc1 + "', (SELECT min(idcliente) FROM clienti WHERE idsocieta = '"
               + kSoc1 + "'), 'Righe di prova', 10)");
    db.Query(ExecText("SetNewPreventivo", {SqlText(id), kUser}));
    for (const QString &code : codes) {
        const QString p = ProductId(code);
        const QString list = withList ? env->Super("SELECT min(idprodlistino) FROM prod_listini "
                                                   "WHERE dtcanc IS NULL AND idprodotto = '"
                                                   + p + "'")
                                      : QString();
        db.Execute(ExecText("AddProdottoToPreventivo",
                            {SqlText(id),
                             SqlText(QUuid::createUuid().toString(QUuid::WithBraces).toUpper()),
                             SqlText(p),
                             list.isEmpty() || code.startsWith("DOC") ? "NULL" : SqlText(list),
                             "1",
                             code.startsWith("ACC") ? "1" : "0",
                             kUser}));
    }
    return id;
}

TDETTAGLI_PREVENTIVO *tst_dettagli_preventivo::Open(const QString &quote)
{
    w = new TDETTAGLI_PREVENTIVO;
    w->resize(1500, 900);
    w->show();
    w->Start(quote, QStringLiteral("0001/2026"), QStringLiteral("Righe di prova"));
    // The catalogue side follows the lines through the event loop.
    QApplication::processEvents();
    return w;
}

void tst_dettagli_preventivo::Search(const QString &text)
{
    w->EF_Find_DescProdotto->SetText(text);
    w->CK_Find_Prodotti->setChecked(true);
    w->CK_Find_Accessori->setChecked(true);
    w->CK_Find_Documentazioni->setChecked(true);
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
}

TDETTAGLI_PREVDET *tst_dettagli_preventivo::OpenDetails(const QString &line)
{
    auto *d = new TDETTAGLI_PREVDET;
    d->resize(1300, 850);
    d->show();
    d->Start(line, QString(), true, QStringLiteral("Quadro"), QStringLiteral("QDG-100"));
    return d;
}

TDettProdTreeItem *tst_dettagli_preventivo::FirstOfKind(TDETTAGLI_PREVDET *d,
                                                        TCurrentNodeTipologia kind)
{
    for (TDettProdTreeItem *item : d->TV_Dettagli->Items())
        if (item->Node()->xTipoNode == kind)
            return item;
    return nullptr;
}

bool tst_dettagli_preventivo::OpenFirstSheet(TDETTAGLI_PREVDET *d)
{
    TDettProdTreeItem *sheet = FirstOfKind(d, cnScheda);
    if (!sheet || !d->PrepareTreeMenu(sheet->Node()))
        return false;
    d->MenuAction("MNU_ModificaScheda")->trigger();
    return d->PAN_DatiScheda->isVisible();
}

// --- The price rules ------------------------------------------------------------------------

void tst_dettagli_preventivo::priceRules_data()
{
    QTest::addColumn<double>("listino");
    QTest::addColumn<QString>("typed"); // the field typed: A amount, P percent, V value
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("importo");
    QTest::addColumn<QString>("perc");
    QTest::addColumn<QString>("valore");
    QTest::newRow("amount 900 on 1000") << 1000.0 << "A"
                                        << "900"
                                        << "900"
                                        << "10,00"
                                        << "100,00";
    QTest::newRow("percent 12,5 on 1000") << 1000.0 << "P"
                                          << "12,5"
                                          << "875,00"
                                          << "12,5"
                                          << "125,00";
    QTest::newRow("value 100 on 1000") << 1000.0 << "V"
                                       << "100"
                                       << "900,00"
                                       << "10,00"
                                       << "100";
    QTest::newRow("amount with thousands") << 2500.0 << "A"
                                           << "1.250,00"
                                           << "1.250,00"
                                           << "50,00"
                                           << "1.250,00";
    QTest::newRow("percent rounded") << 333.33 << "P"
                                     << "33,333"
                                     << "222,22"
                                     << "33,333"
                                     << "111,11";
    QTest::newRow("emptied amount empties the discount") << 1000.0 << "A"
                                                         << ""
                                                         << ""
                                                         << ""
                                                         << "";
    QTest::newRow("emptied percent changes nothing") << 1000.0 << "P"
                                                     << ""
                                                     << "800,00"
                                                     << ""
                                                     << "200,00";
    QTest::newRow("amount not a number changes nothing") << 1000.0 << "A"
                                                         << "9x0"
                                                         << "9x0"
                                                         << "20,00"
                                                         << "200,00";
    QTest::newRow("list 0: amount, no percent") << 0.0 << "A"
                                                << "50"
                                                << "50"
                                                << ""
                                                << "-50,00";
    QTest::newRow("list 0: percent gives no discount") << 0.0 << "P"
                                                       << "10"
                                                       << "0,00"
                                                       << "10"
                                                       << "0,00";
    QTest::newRow("list 0: value, no percent") << 0.0 << "V"
                                               << "5"
                                               << "-5,00"
                                               << ""
                                               << "5";
}

void tst_dettagli_preventivo::priceRules()
{
    QFETCH(double, listino);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, importo);
    QFETCH(QString, perc);
    QFETCH(QString, valore);
    // Before typing the fields hold a discount of 20 % (of 1000).
    TPriceTexts t{QStringLiteral("800,00"), QStringLiteral("20,00"), QStringLiteral("200,00")};
    if (typed == "A") {
        t.sImporto = text;
        PriceAfterAmount(listino, t);
    } else if (typed == "P") {
        t.sPerc = text;
        PriceAfterPercent(listino, t);
    } else {
        t.sValore = text;
        PriceAfterValue(listino, t);
    }
    QCOMPARE(t.sImporto, importo);
    QCOMPARE(t.sPerc, perc);
    QCOMPARE(t.sValore, valore);
}

void tst_dettagli_preventivo::discountCeilings_data()
{
    QTest::addColumn<QVariant>("maxPerc");
    QTest::addColumn<QVariant>("maxVal");
    QTest::addColumn<QString>("perc");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("refusal");
    const QVariant none;
    QTest::newRow("10 % refuses 10,01 %")
        << QVariant(10.0) << none << "10,01"
        << "100,10"
        << "Impossibile impostare importo, la % di sconto non deve essere superiore a 10%.";
    QTest::newRow("10 % accepts 10 %") << QVariant(10.0) << none << "10,00"
                                       << "100,00"
                                       << "";
    QTest::newRow("12,5 % shown with its comma")
        << QVariant(12.5) << none << "13"
        << "130,00"
        << "Impossibile impostare importo, la % di sconto non deve essere superiore a 12,5%.";
    QTest::newRow("no ceiling accepts any discount") << none << none << "99"
                                                     << "990,00"
                                                     << "";
    QTest::newRow("value ceiling refuses more")
        << none << QVariant(100.0) << "10,01"
        << "100,01"
        << "Impossibile impostare importo, il valore applicato di sconto non deve essere "
           "superiore a 100,00.";
    QTest::newRow("empty discount") << QVariant(10.0) << QVariant(10.0) << ""
                                    << ""
                                    << "";
}

void tst_dettagli_preventivo::discountCeilings()
{
    QFETCH(QVariant, maxPerc);
    QFETCH(QVariant, maxVal);
    QFETCH(QString, perc);
    QFETCH(QString, valore);
    QFETCH(QString, refusal);
    QCOMPARE(DiscountCeilingRefusal(maxPerc, maxVal, TPriceTexts{QString(), perc, valore}), refusal);
}

// --- Lines ------------------------------------------------------------------------------------

void tst_dettagli_preventivo::linesAreLoadedIntoTheGrid()
{
    const QString q = MakeQuote({"QDG-100", "ACC-ILL", "DOC-MAN"});
    Open(q);
    QCOMPARE(w->windowTitle(),
             QStringLiteral(
                 "Caricamento prodotti del preventivo n° 0001/2026 : \"Righe di prova\""));
    QCOMPARE(w->SG_Dettagli->rowCount(), 3);
    QStringList positions, texts, prices;
    for (int r = 0; r < 3; ++r) {
        positions << w->SG_Dettagli->item(r, 0)->text();
        texts << w->SG_Dettagli->item(r, 2)->text();
        prices << w->SG_Dettagli->item(r, 3)->text();
    }
    QCOMPARE(positions, QStringList({"1", "2", "3"}));
    QCOMPARE(texts.at(1),
             env->Super("SELECT txdescprodotto FROM prodotti WHERE txcodprodotto = 'ACC-ILL'"));
    QCOMPARE(prices,
             QStringList(
                 {"Listino prodotto presente", "Listino prodotto presente", "(Documentazione)"}));
    QCOMPARE(w->SF_NuProdottiListini->text(), QStringLiteral("N° prodotti: 3\nN° Listini: 2"));
    QCOMPARE(w->SG_Dettagli->horizontalHeaderItem(2)->text(), QStringLiteral("Descrizione"));
    QVERIFY(w->SG_Dettagli->rowHeight(0) >= 100);
    // The kinds as the rows say them; the first line selected, its properties shown.
    QVERIFY(w->Line(0)->bProdottoPrincipale);
    QVERIFY(w->Line(1)->bAccessorio && !w->Line(1)->bDocumentazione);
    QVERIFY(w->Line(2)->bAccessorio && w->Line(2)->bDocumentazione);
    QCOMPARE(w->CurrentRow(), 0);
    QVERIFY(w->DST_GRID_Prodotti); // the catalogue search followed the lines
    QVERIFY(w->RB_ProdottoPrincipale->isChecked());
    QVERIFY(w->PAN_Prodotto_Selezionato->isVisible());
    // Covers are decoded when drawn: the grid painted, the first line shows its own cover.
    w->SG_Dettagli->grab();
    QVERIFY(!w->Line(0)->bNoImage);
    QVERIFY(w->Line(0)->rAspect > 0);

    // A quote without lines: an empty grid without header; "Listini" stays on "Prodotti".
    w->close();
    delete w;
    Open(MakeQuote({}));
    QCOMPARE(w->SG_Dettagli->rowCount(), 0);
    QVERIFY(!w->SG_Dettagli->horizontalHeader()->isVisible());
    QVERIFY(!w->PAN_Prodotto_Selezionato->isVisible());
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QVERIFY(!w->ListiniMode());
}

void tst_dettagli_preventivo::descriptionsWrapAtWords_data()
{
    QTest::addColumn<int>("width"); // of the window
    QTest::addColumn<bool>("statedWidths");
    QTest::newRow("wide window: 30, 100, the rest, 200") << 1500 << true;
    QTest::newRow("narrow window: cover and price give way") << 760 << false;
}

void tst_dettagli_preventivo::descriptionsWrapAtWords()
{
    QFETCH(int, width);
    QFETCH(bool, statedWidths);
    Open(MakeQuote({"QDG-100", "ACC-VEN", "DOC-MAN"}));
    w->resize(width, 850);
    QApplication::processEvents();
    TLineGrid *g = w->SG_Dettagli;
    QFont bold(QStringLiteral("Trebuchet MS"), 11);
    bold.setBold(true);
    const QFontMetrics fm(bold);
    // "DISTRIBUZIONE" and the other words of every description fit whole in the column.
    int widest = 0;
    for (int r = 0; r < w->LineCount(); ++r)
        for (const QString &word : w->Line(r)->sDescProdotto.split(' ', Qt::SkipEmptyParts))
            widest = qMax(widest, fm.horizontalAdvance(word));
    QVERIFY2(g->columnWidth(2) - 8 >= widest,
             qPrintable(QStringLiteral("%1 < %2").arg(g->columnWidth(2) - 8).arg(widest)));
    QCOMPARE(g->columnWidth(0), 30);
    if (statedWidths) {
        QCOMPARE(g->columnWidth(1), 100);
        QCOMPARE(g->columnWidth(3), 200);
        QCOMPARE(g->columnWidth(2), g->viewport()->width() - 30 - 100 - 200 - 4);
    } else {
        QVERIFY(g->columnWidth(3) < 200 && g->columnWidth(3) >= 160);
        QVERIFY(g->columnWidth(1) <= 100 && g->columnWidth(1) >= 60);
    }
    // Every row is tall enough for its description wrapped at the column's width.
    for (int r = 0; r < w->LineCount(); ++r) {
        const int text = fm.boundingRect(QRect(0, 0, g->columnWidth(2) - 8, 10000),
                                         Qt::TextWordWrap,
                                         w->Line(r)->sDescProdotto)
                             .height();
        QVERIFY(g->rowHeight(r) >= qMax(100, text + 4));
    }
}

void tst_dettagli_preventivo::storedPositionsWithGapsKeepEveryLine()
{
    QStringList debug;
    SetDebugLineSink([&debug](const QString &line) { debug << line; });
    const QString q = MakeQuote({"QDG-100", "ACC-ILL", "ACC-VEN"});
    // Positions stored by other means: a repeat and a gap.
    env->Super("ALTER TABLE preventivo_dettaglio DISABLE TRIGGER USER; UPDATE preventivo_dettaglio "
               "SET nuordinamento = CASE nuordinamento WHEN 1 THEN 2 WHEN 2 THEN 2 ELSE 7 END "
               "WHERE idpreventivo = '"
               + q + "'; ALTER TABLE preventivo_dettaglio ENABLE TRIGGER USER; SELECT 1");
    Open(q);
    QCOMPARE(w->SG_Dettagli->rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        QVERIFY(w->Line(r) && !w->Line(r)->sIdPreventivoDet.isEmpty());
    QCOMPARE(w->SG_Dettagli->item(2, 0)->text(), QStringLiteral("7"));
    QVERIFY2(debug.join('\n').contains("posizioni non consecutive"), qPrintable(debug.join('\n')));
}

void tst_dettagli_preventivo::openedByTheQuoteListEntry()
{
    QVERIFY(IsQuoteWindowAvailable(kQuoteLinesWindow));
    const QString q = MakeQuote({"QDG-100"});
    QWidget *opened = OpenQuoteLines(nullptr,
                                     q,
                                     QStringLiteral("0002/2026"),
                                     QStringLiteral("Da elenco"));
    w = qobject_cast<TDETTAGLI_PREVENTIVO *>(opened);
    QVERIFY(w);
    QCOMPARE(w->sIdPreventivo, q);
    QCOMPARE(w->LineCount(), 1);
}

void tst_dettagli_preventivo::pricePanelKeepsAmountAndDiscountTogether()
{
    const QString p = ProductId("QDG-100");
    env->Super("UPDATE prod_listini SET vllistino = 1000, numaxpercsconto = 15, vlmaxsconto = NULL "
               "WHERE idprodotto = '"
               + p + "'; SELECT 1");
    const QString q = MakeQuote({"QDG-100"});
    const QString line = LineId(q, 1);
    Open(q);
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QVERIFY(w->ListiniMode());
    QVERIFY(!w->PAN_Prodotto_Selezionato->isVisible());
    QCOMPARE(w->EF_Listino_Listino->Text(), QStringLiteral("1.000,00"));
    QCOMPARE(w->EF_Listino_Importo->Text(), QStringLiteral("1.000,00"));
    QCOMPARE(w->EF_Listino_MaxSC->CaptionString(), QStringLiteral("Max s.c. (%)"));
    TypeInto(w->EF_Listino_Importo, QStringLiteral("900"));
    QCOMPARE(w->EF_Listino_ScontoVal->Text(), QStringLiteral("100,00"));
    QCOMPARE(w->EF_Listino_ScontoPerc->Text(), QStringLiteral("10,00"));
    TypeInto(w->EF_Listino_ScontoPerc, QStringLiteral("12,5"));
    QCOMPARE(w->EF_Listino_ScontoVal->Text(), QStringLiteral("125,00"));
    QCOMPARE(w->EF_Listino_Importo->Text(), QStringLiteral("875,00"));
    QTest::mouseClick(w->PB_Listino_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Super("SELECT vlimporto FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             QStringLiteral("875.00"));
    QCOMPARE(env->LastCommand(),
             ExecText("UpdateChangeOfListino",
                      {SqlText(line),
                       SqlText(env->Super("SELECT idprodlistino FROM preventivo_dettaglio WHERE "
                                          "idpreventivodet = '"
                                          + line + "'")),
                       kUser}));
    QCOMPARE(w->Line(0)->rImporto, 875.0);
    // The ceiling of the list: 15,01 % is refused and nothing is written.
    TypeInto(w->EF_Listino_ScontoPerc, QStringLiteral("15,01"));
    QTest::mouseClick(w->PB_Listino_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Impossibile impostare importo, la % di sconto non deve essere "
                            "superiore a 15%."));
    QCOMPARE(env->Super("SELECT vlimporto FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             QStringLiteral("875.00"));
    // "Nessun listino": a free amount without list.
    QTest::mouseClick(w->PB_Nessun_Listino, Qt::LeftButton);
    TypeInto(w->EF_Listino_Importo, QStringLiteral("700"));
    QTest::mouseClick(w->PB_Listino_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Super("SELECT coalesce(idprodlistino, '-') || '|' || vlimporto FROM "
                        "preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             QStringLiteral("-|700.00"));
    QCOMPARE(w->SG_Dettagli->item(0, 3)->text(), QStringLiteral("Listino prodotto presente"));
}

void tst_dettagli_preventivo::badNumbersAreRefusedBeforeWriting()
{
    const QString q = MakeQuote({"QDG-100"});
    const QString line = LineId(q, 1);
    const QString before = env->Super(
        "SELECT vlimporto FROM preventivo_dettaglio WHERE idpreventivodet = '" + line + "'");
    Open(q);
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    w->EF_Listino_Importo->SetText(QStringLiteral("1; DROP TABLE x"));
    QVERIFY(!w->ConfirmPrice());
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("L'importo indicato non è un numero valido."));
    w->EF_Listino_Importo->SetText(QStringLiteral("100"));
    w->EF_Listino_ScontoPerc->SetText(QStringLiteral("1,2,3"));
    QVERIFY(!w->ConfirmPrice());
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Lo sconto indicato non è un numero valido."));
    QCOMPARE(env->Super("SELECT vlimporto FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             before);
}

void tst_dettagli_preventivo::quantityShownAndRefused()
{
    const QString q = MakeQuote({"QDG-100"});
    const QString line = LineId(q, 1);
    Open(q);
    QCOMPARE(w->EF_Qta_Prod->Text(), QStringLiteral("1"));
    QTest::mouseClick(w->PB_Mod_Qta_Prod, Qt::LeftButton);
    QVERIFY(w->PAN_Input_Quantita->isVisible());
    QVERIFY(!w->PAN_Main_Preventivo->isEnabled());
    TypeInto(w->EF_NuQuantita, QStringLiteral("2,5"));
    QTest::mouseClick(w->PB_InputQta_Ok, Qt::LeftButton);
    QVERIFY(!w->PAN_Input_Quantita->isVisible());
    QCOMPARE(w->EF_Qta_Prod->Text(), QStringLiteral("2,50"));
    QCOMPARE(env->Super("SELECT nuquantita FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             QStringLiteral("2.500"));
    QTest::mouseClick(w->PB_Mod_Qta_Prod, Qt::LeftButton);
    TypeInto(w->EF_NuQuantita, QStringLiteral("0"));
    QTest::mouseClick(w->PB_InputQta_Ok, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Quantità non può essere 0."));
    QCOMPARE(w->EF_NuQuantita->Text(), QStringLiteral("1,00"));
    QVERIFY(w->PAN_Input_Quantita->isVisible());
    TypeInto(w->EF_NuQuantita, QStringLiteral("2"));
    QTest::mouseClick(w->PB_InputQta_Ok, Qt::LeftButton);
    QCOMPARE(w->EF_Qta_Prod->Text(), QStringLiteral("2"));
    QCOMPARE(env->Super("SELECT nuquantita FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + line + "'"),
             QStringLiteral("2.000"));
}

void tst_dettagli_preventivo::printFlagRefusals_data()
{
    QTest::addColumn<int>("row"); // 0 main product, 1 accessory, 2 documentation
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("refusal"); // empty: allowed
    QTest::addColumn<QString>("column");
    QTest::newRow("print at the end on a main product")
        << 0 << "CK_DocInFondo"
        << "Il prodotto deve essere del tipo documentazione."
        << "fldocinfondo";
    QTest::newRow("print at the end on documentation") << 2 << "CK_DocInFondo"
                                                       << ""
                                                       << "fldocinfondo";
    QTest::newRow("hiding a main product") << 0 << "CK_ProdottoAttivo"
                                           << "Il prodotto deve essere del tipo accessorio."
                                           << "flprodottoattivo";
    QTest::newRow("hiding documentation") << 2 << "CK_ProdottoAttivo"
                                          << "Il prodotto deve essere del tipo accessorio."
                                          << "flprodottoattivo";
    QTest::newRow("hiding an accessory") << 1 << "CK_ProdottoAttivo"
                                         << ""
                                         << "flprodottoattivo";
    QTest::newRow("documentation as main product")
        << 2 << "RB_ProdottoPrincipale"
        << "Una documentazione non può diventare un prodotto principale."
        << "flaccessorio";
    QTest::newRow("documentation as service") << 2 << "RB_Servizio"
                                              << "Una documentazione non può diventare un servizio."
                                              << "flservizio";
    QTest::newRow("accessory as service") << 1 << "RB_Servizio"
                                          << ""
                                          << "flservizio";
}

void tst_dettagli_preventivo::printFlagRefusals()
{
    QFETCH(int, row);
    QFETCH(QString, control);
    QFETCH(QString, refusal);
    QFETCH(QString, column);
    const QString q = MakeQuote({"QDG-100", "ACC-ILL", "DOC-MAN"});
    const QString line = LineId(q, row + 1);
    const QString before = env->Super(
        "SELECT " + column + " FROM preventivo_dettaglio WHERE idpreventivodet = '" + line + "'");
    Open(q);
    w->SelectRow(row);
    auto *button = w->findChild<QAbstractButton *>(control);
    QVERIFY(button);
    const bool wasChecked = button->isChecked();
    button->click();
    const QString after = env->Super(
        "SELECT " + column + " FROM preventivo_dettaglio WHERE idpreventivodet = '" + line + "'");
    if (refusal.isEmpty()) {
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
        QVERIFY(after != before);
    } else {
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error), refusal);
        QCOMPARE(after, before);
        QCOMPARE(button->isChecked(), wasChecked);
    }
}

void tst_dettagli_preventivo::dragMovesTheLine()
{
    const QString q = MakeQuote({"QDG-100", "ACC-ILL", "ACC-VEN"});
    const QString third = LineId(q, 3);
    Open(q);
    // The operator drags the third row onto the first.
    w->SG_Dettagli->verticalHeader()->moveSection(2, 0);
    QCOMPARE(env->LastCommand(),
             ExecText("MovePreventivoDettaglio", {SqlText(q), SqlText(third), "3", "1", kUser}));
    QCOMPARE(w->CurrentLine()->sIdPreventivoDet, third);
    QCOMPARE(w->CurrentRow(), 0);
    QCOMPARE(LineId(q, 1), third);
    QCOMPARE(w->SG_Dettagli->verticalHeader()->visualIndex(0), 0);
    // In mode "Listini" the rows do not move.
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QVERIFY(!w->SG_Dettagli->verticalHeader()->sectionsMovable());
}

void tst_dettagli_preventivo::removingTheLastLineSelectsTheNewLast()
{
    const QString q = MakeQuote({"QDG-100", "ACC-ILL", "ACC-VEN"});
    const QString third = LineId(q, 3);
    Open(q);
    w->SelectRow(2);
    QTest::mouseClick(w->PB_Remove_Prodotto, Qt::LeftButton);
    QCOMPARE(env->LastCommand(),
             ExecText("DelPreventivoDettaglio", {SqlText(q), SqlText(third), "3", kUser}));
    QCOMPARE(w->LineCount(), 2);
    QCOMPARE(w->CurrentRow(), 1);
    QCOMPARE(env->Super("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + q
                        + "'"),
             QStringLiteral("2"));
    // From the middle: the same position is selected.
    w->SelectRow(0);
    QTest::mouseClick(w->PB_Remove_Prodotto, Qt::LeftButton);
    QCOMPARE(w->LineCount(), 1);
    QCOMPARE(w->CurrentRow(), 0);
}

void tst_dettagli_preventivo::closingAsksAboutTheFirstProduct()
{
    Open(MakeQuote({"ACC-ILL", "QDG-100"}));
    env->Recorder().QueueNo();
    QVERIFY(!w->close());
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Question)
                .startsWith("Il primo prodotto deve essere un \"prodotto principale\""));
    QVERIFY(w->isVisible());
    delete w;
    Open(MakeQuote({"ACC-ILL"}));
    env->Recorder().QueueYes();
    QVERIFY(w->close());
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Question)
                .startsWith("Non hai impostato nessun \"prodotto principale\"."));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w);
    // With a main product first nothing is asked.
    env->Recorder().Clear();
    Open(MakeQuote({"QDG-100", "ACC-ILL"}));
    QVERIFY(w->close());
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);
}

// --- The catalogue ----------------------------------------------------------------------------

void tst_dettagli_preventivo::addingAProductWithTwoLinkedProducts()
{
    const QString q = MakeQuote({});
    Open(q);
    Search(QStringLiteral("QDG-100"));
    TDataSet *prod = w->DST_GRID_Prodotti.get();
    QVERIFY(prod->Locate("idProdotto", ProductId("QDG-100")));
    QCOMPARE(w->PB_Add_Prodotto->text(), QStringLiteral("Prodotto principale"));
    TDataSet *linked = w->DST_GRID_ProdLinked.get();
    QVERIFY(linked->RecordCount() >= 2);
    QVERIFY(w->PAN_Linked->isVisible());
    // The first two linked products, the second with a quantity of 1,5.
    linked->First();
    const QString first = linked->FieldByName("idProdCollegato").AsString();
    w->ToggleLinked();
    linked->Next();
    const QString second = linked->FieldByName("idProdCollegato").AsString();
    w->ToggleLinked();
    QTest::mouseClick(w->PB_Mod_Quantity, Qt::LeftButton);
    TypeInto(w->EF_NuQtaLinked, QStringLiteral("1,5"));
    QTest::mouseClick(w->PB_InputQtaLinked_Ok, Qt::LeftButton);
    QCOMPARE(w->PAN_NuLinked->text().left(2), QStringLiteral("2/"));
    QTest::mouseClick(w->PB_Add_Prodotto, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(w->LineCount(), 3);
    auto rows = env->Db().Module().Query(ExecText("EstraiProdottiInPreventivo", {SqlText(q)}));
    QStringList products, accessories, quantities, lists;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        products << rows->FieldByName("idProdotto").AsString();
        accessories << rows->FieldByName("flAccessorio").AsString();
        quantities << QString::number(rows->FieldByName("nuQuantita").AsFloat());
        lists << (rows->FieldByName("idProdListino").IsNull() ? "-" : "L");
    }
    QCOMPARE(products, QStringList({ProductId("QDG-100"), first, second}));
    QCOMPARE(accessories, QStringList({"0", "1", "1"}));
    QCOMPARE(quantities, QStringList({"1", "1", "1.5"}));
    QCOMPARE(lists.first(), QStringLiteral("L"));
    // The main product's line is selected; the selections are cleared.
    QCOMPARE(w->CurrentLine()->sIdProdotto, ProductId("QDG-100"));
    QCOMPARE(linked->CountMatching("flImportaInPrev = 1"), 0);

    // Again: the duplicate question; "No" adds nothing.
    env->Recorder().QueueYes(); // continue without linked products
    env->Recorder().QueueNo();  // not the same product twice
    QTest::mouseClick(w->PB_Add_Prodotto, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral(
                 "Hai già aggiunto questo prodotto al preventivo, vuoi continuare lo stesso ?"));
    QCOMPARE(env->Super("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + q
                        + "'"),
             QStringLiteral("3"));
}

void tst_dettagli_preventivo::addingIsAllOrNothing()
{
    const QString q = MakeQuote({});
    Open(q);
    Search(QStringLiteral("QDG-100"));
    QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100")));
    TDataSet *linked = w->DST_GRID_ProdLinked.get();
    linked->First();
    while (!linked->Eof() && linked->FieldByName("idProdListino").IsNull())
        linked->Next();
    QVERIFY(!linked->Eof());
    w->ToggleLinked();
    // The linked product's list is deactivated after the search: its line is refused, and the
    // main product's line is not left alone in the quote.
    env->Super("UPDATE prod_listini SET dtcanc = now() WHERE idprodlistino = '"
               + linked->FieldByName("idProdListino").AsString() + "'; SELECT 1");
    QTest::mouseClick(w->PB_Add_Prodotto, Qt::LeftButton);
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Error)
                .startsWith("Errore aggiunta prodotto a preventivo (ERR.P02)."));
    QCOMPARE(env->Super("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + q
                        + "'"),
             QStringLiteral("0"));
    QCOMPARE(w->LineCount(), 0);
}

void tst_dettagli_preventivo::catalogueSearchAndLinkedProductsAlone()
{
    QStringList debug;
    SetDebugLineSink([&debug](const QString &line) { debug << line; });
    SessionInfo().iDebugPaneHeight = 120;
    const QString q = MakeQuote({"QDG-100"});
    Open(q);
    // The catalogues: every one first; previous catalogues exist, so the switch is offered.
    QCOMPARE(w->DCB_Find_Fornitore->itemText(0), QStringLiteral(" Tutti i cataloghi "));
    QVERIFY(!w->TS_Cataloghi->isHidden());
    // Runs of blanks are sent as one blank (the labelled field drops those at the ends).
    debug.clear();
    Search(QStringLiteral("  quadro   comando "));
    QCOMPARE(w->EF_Find_DescProdotto->Text(), QStringLiteral("quadro comando"));
    QCOMPARE(debug.filter("EstraiElencoProdotti: sSql:").value(0),
             QStringLiteral("TDETTAGLI_PREVENTIVO.EstraiElencoProdotti: sSql: EXEC "
                            "EstraiProdottiForPreventivo 1, "
                            "'{00000000-0000-0000-0000-000000000000}', 0, 'quadro comando', 1, "
                            "1, 1"));
    QCOMPARE(env->Setting(QStringLiteral("FrmDettPrev_DescProdotto")),
             QStringLiteral("quadro comando"));
    QCOMPARE(env->Setting(QStringLiteral("FrmDettPrev_EstraiDocumentazioni")), QStringLiteral("SI"));
    SessionInfo().iDebugPaneHeight = 0;
    // "Aggiungi al prev." with three linked rows selected adds exactly three accessory lines.
    Search(QStringLiteral("QDG-100"));
    QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100")));
    TDataSet *linked = w->DST_GRID_ProdLinked.get();
    QVERIFY(linked->RecordCount() >= 3);
    QTest::mouseClick(w->PB_Select_All_Linked, Qt::LeftButton);
    linked->Last();
    for (int i = linked->RecordCount(); i > 3; --i) {
        w->ToggleLinked();
        linked->Prior();
    }
    QCOMPARE(linked->CountMatching("flImportaInPrev = 1"), 3);
    QTest::mouseClick(w->PB_Add_ProdLinked, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(w->LineCount(), 4);
    QCOMPARE(env->Super("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + q
                        + "' AND flaccessorio = 1"),
             QStringLiteral("3"));
    QCOMPARE(w->CurrentRow(), 3);
    QCOMPARE(linked->CountMatching("flImportaInPrev = 1"), 0);
}

void tst_dettagli_preventivo::documentationNeverSendsAPriceList()
{
    const QString q = MakeQuote({"QDG-100"});
    Open(q);
    Search(QStringLiteral("DOC-MAN"));
    QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("DOC-MAN")));
    QCOMPARE(w->PB_Add_Prodotto->text(), QStringLiteral("Documentazione    "));
    QVERIFY(w->PB_Add_Accessorio->isHidden());
    QVERIFY(w->PAN_Listini_Prodotti->isHidden());
    // The command goes to the debug pane of an administrator who has it open.
    QStringList debug;
    SetDebugLineSink([&debug](const QString &line) { debug << line; });
    SessionInfo().iDebugPaneHeight = 120;
    QTest::mouseClick(w->PB_Add_Prodotto, Qt::LeftButton);
    SessionInfo().iDebugPaneHeight = 0;
    const QStringList adds = debug.filter("TDETTAGLI_PREVENTIVO.PB_Add_ProdottoClick: sSql: ");
    QCOMPARE(adds.size(), 1);
    QVERIFY2(adds.first().startsWith("TDETTAGLI_PREVENTIVO.PB_Add_ProdottoClick: sSql: EXEC "
                                     "AddProdottoToPreventivo "),
             qPrintable(adds.first()));
    QVERIFY2(adds.first().endsWith(SqlText(ProductId("DOC-MAN")) + ", NULL, 1, 0, 'ADMIN'"),
             qPrintable(adds.first()));
    QCOMPARE(w->LineCount(), 2);
    QCOMPARE(w->CurrentRow(), 1);
    QCOMPARE(w->SG_Dettagli->item(1, 3)->text(), QStringLiteral("(Documentazione)"));
}

void tst_dettagli_preventivo::searchFiltersRestored_data()
{
    QTest::addColumn<QString>("stored"); // what the settings file holds
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("switchShown");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("boxes");        // recenti, prodotti, accessori, documentazioni
    QTest::addColumn<bool>("storedCatalogue"); // else the first row, every catalogue
    QTest::newRow("nothing stored: the filters are reset") << "none" << false << true << ""
                                                           << "1110" << false;
    QTest::newRow("a previous catalogue") << "previous" << true << true << "quadro"
                                          << "0011" << true;
    QTest::newRow("a current catalogue, missing boxes count as checked")
        << "no boxes" << false << true << ""
        << "1111" << true;
    QTest::newRow("a year that is not a number: the first catalogue")
        << "bad year" << false << true << ""
        << "1111" << false;
    QTest::newRow("only current catalogues: the switch off and hidden")
        << "only current" << false << false << "quadro"
        << "0011" << true;
}

void tst_dettagli_preventivo::searchFiltersRestored()
{
    QFETCH(QString, stored);
    QFETCH(bool, previous);
    QFETCH(bool, switchShown);
    QFETCH(QString, text);
    QFETCH(QString, boxes);
    QFETCH(bool, storedCatalogue);
    // The catalogue the operator chose last time: of a past year, or a current one.
    const QString past = env->Super(
        QStringLiteral("SELECT idfornitore || '|' || nuanno FROM fornitori_cataloghi WHERE "
                       "flattuale = %1 ORDER BY nuanno DESC, idfornitore LIMIT 1")
            .arg(stored == "no boxes" ? 1 : 0));
    QVERIFY(past.contains('|'));
    const QString supplier = past.section('|', 0, 0);
    const QString year = past.section('|', 1, 1);
    if (stored == "previous" || stored == "only current") {
        env->SetSetting("FrmDettPrev_TipoCataloghi", "SI");
        env->SetSetting("FrmDettPrev_KeyFornitore", supplier);
        env->SetSetting("FrmDettPrev_NuAnnoFornitore", year);
        env->SetSetting("FrmDettPrev_DescProdotto", "quadro");
        env->SetSetting("FrmDettPrev_OrdinaRecenti", "NO");
        env->SetSetting("FrmDettPrev_EstraiProdotti", "NO");
        env->SetSetting("FrmDettPrev_EstraiAccessori", "SI");
        env->SetSetting("FrmDettPrev_EstraiDocumentazioni", "SI");
    } else if (stored == "no boxes" || stored == "bad year") {
        env->SetSetting("FrmDettPrev_TipoCataloghi", "NO");
        env->SetSetting("FrmDettPrev_KeyFornitore", supplier);
        env->SetSetting("FrmDettPrev_NuAnnoFornitore", stored == "bad year" ? "20x6" : year);
    }
    if (stored == "only current")
        env->Super("UPDATE fornitori_cataloghi SET flattuale = 1; SELECT 1");
    QStringList debug;
    SetDebugLineSink([&debug](const QString &line) { debug << line; });
    SessionInfo().iDebugPaneHeight = 120;
    Open(MakeQuote({}));
    SessionInfo().iDebugPaneHeight = 0;

    QCOMPARE(w->TS_Cataloghi->isChecked(), previous);
    QCOMPARE(!w->TS_Cataloghi->isHidden(), switchShown);
    QCOMPARE(w->EF_Find_DescProdotto->Text(), text);
    const QString shown = QString::number(w->CK_Find_OrdinaRecenti->isChecked())
                          + QString::number(w->CK_Find_Prodotti->isChecked())
                          + QString::number(w->CK_Find_Accessori->isChecked())
                          + QString::number(w->CK_Find_Documentazioni->isChecked());
    QCOMPARE(shown, boxes);
    // The catalogue: the stored one when it is offered, else the first row kept.
    if (storedCatalogue) {
        QCOMPARE(w->DCB_Find_Fornitore->IdFornitore(), supplier);
        QCOMPARE(QString::number(w->DCB_Find_Fornitore->NuAnno()), year);
    } else {
        QCOMPARE(w->DCB_Find_Fornitore->currentIndex(), 0);
        QCOMPARE(w->DCB_Find_Fornitore->currentText(), QStringLiteral(" Tutti i cataloghi "));
    }
    // The first extraction with filters uses what is shown.
    const QStringList extractions = debug.filter("EstraiElencoProdotti: sSql:");
    QVERIFY(!extractions.isEmpty());
    const QString sent = extractions.last();
    QVERIFY2(sent.endsWith(
                 QStringLiteral("EstraiProdottiForPreventivo 1, %1, %2, %3, %4, %5, %6")
                     .arg(SqlText(w->DCB_Find_Fornitore->IdFornitore().isEmpty()
                                      ? QStringLiteral("{00000000-0000-0000-0000-000000000000}")
                                      : w->DCB_Find_Fornitore->IdFornitore()))
                     .arg(w->DCB_Find_Fornitore->NuAnno())
                     .arg(text.isEmpty() ? QStringLiteral("null") : SqlText(text))
                     .arg(boxes.mid(1, 1), boxes.mid(2, 1), boxes.mid(3, 1))),
             qPrintable(sent));
    // With nothing stored the reset filters are written at once.
    if (stored == "none") {
        QCOMPARE(env->Setting("FrmDettPrev_TipoCataloghi"), QStringLiteral("NO"));
        QCOMPARE(env->Setting("FrmDettPrev_EstraiDocumentazioni"), QStringLiteral("NO"));
    }
}

void tst_dettagli_preventivo::previousCataloguesSwitchAndAzzera()
{
    Open(MakeQuote({}));
    QVERIFY(w->TS_Cataloghi->isVisible());
    QCOMPARE(w->TS_Cataloghi->Caption(), QStringLiteral("Cataloghi attuali"));
    const QString current = w->DCB_Find_Fornitore->currentText();
    // On: only previous catalogues are offered, the first of them chosen.
    QTest::mouseClick(w->TS_Cataloghi, Qt::LeftButton);
    QVERIFY(w->TS_Cataloghi->isChecked());
    QCOMPARE(w->TS_Cataloghi->Caption(), QStringLiteral("Cataloghi precedenti"));
    QVERIFY(w->DCB_Find_Fornitore->count() > 0);
    QCOMPARE(w->DCB_Find_Fornitore->currentIndex(), 0);
    const QString previousCount = env->Super(
        "SELECT count(*) FROM fornitori_cataloghi c JOIN fornitori f USING (idfornitore) "
        "WHERE c.flattuale = 0 AND f.dtcanc IS NULL");
    QCOMPARE(QString::number(w->DCB_Find_Fornitore->count()), previousCount);
    for (int i = 0; i < w->DCB_Find_Fornitore->count(); ++i)
        QVERIFY(w->DCB_Find_Fornitore->itemText(i) != QStringLiteral(" Tutti i cataloghi "));
    const QString chosenYear = QString::number(w->DCB_Find_Fornitore->NuAnno());
    w->EF_Find_DescProdotto->SetText(QStringLiteral("quadro"));
    w->CK_Find_Documentazioni->setChecked(true);
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(env->Setting("FrmDettPrev_TipoCataloghi"), QStringLiteral("SI"));
    QCOMPARE(env->Setting("FrmDettPrev_NuAnnoFornitore"), chosenYear);
    // Off again: the current catalogues, every catalogue first.
    QTest::mouseClick(w->TS_Cataloghi, Qt::LeftButton);
    QCOMPARE(w->DCB_Find_Fornitore->currentText(), current);
    QCOMPARE(w->DCB_Find_Fornitore->itemText(0), QStringLiteral(" Tutti i cataloghi "));
    // "Azzera": every filter back to its start, and written at once.
    QTest::mouseClick(w->TS_Cataloghi, Qt::LeftButton);
    QTest::mouseClick(w->PB_AzzeraFiltri, Qt::LeftButton);
    QVERIFY(!w->TS_Cataloghi->isChecked());
    QCOMPARE(w->DCB_Find_Fornitore->currentText(), QStringLiteral(" Tutti i cataloghi "));
    QVERIFY(w->EF_Find_DescProdotto->Text().isEmpty());
    QVERIFY(w->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(w->CK_Find_Prodotti->isChecked());
    QVERIFY(w->CK_Find_Accessori->isChecked());
    QVERIFY(!w->CK_Find_Documentazioni->isChecked());
    QCOMPARE(env->Setting("FrmDettPrev_TipoCataloghi"), QStringLiteral("NO"));
    QCOMPARE(env->Setting("FrmDettPrev_DescProdotto"), QString());
    QCOMPARE(env->Setting("FrmDettPrev_EstraiDocumentazioni"), QStringLiteral("NO"));
}

void tst_dettagli_preventivo::listFiltersAndTheirAzzera_data()
{
    QTest::addColumn<bool>("pricePanel");
    QTest::newRow("the catalogue product's lists") << false;
    QTest::newRow("the line's lists in the price panel") << true;
}

void tst_dettagli_preventivo::listFiltersAndTheirAzzera()
{
    QFETCH(bool, pricePanel);
    Open(MakeQuote({"QDG-100"}));
    TDataSet *lists = nullptr;
    TKRTLabelEdit *filter = nullptr;
    QPushButton *azzera = nullptr;
    if (pricePanel) {
        QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
        QTest::mouseClick(w->PB_Listino_Sel_Elenco, Qt::LeftButton);
        lists = w->DST_GRID_ProdottoListini.get();
        filter = w->EF_Filter_Listini;
        azzera = w->PB_Azzera_Filter_Listini;
    } else {
        Search(QStringLiteral("QDG-100"));
        QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100")));
        lists = w->DST_GRID_ProdList.get();
        filter = w->EF_Filter_Listino;
        azzera = w->PB_Azzera_Filter_Listino;
    }
    QVERIFY(lists);
    QVERIFY(azzera->isVisible());
    QCOMPARE(lists->RecordCount(), 3);
    TypeInto(filter, QStringLiteral("rinforz"));
    QCOMPARE(lists->RecordCount(), 1);
    QCOMPARE(lists->FieldByName("txDescListino").AsString(),
             QStringLiteral("Esecuzione rinforzata"));
    TypeInto(filter, QStringLiteral("nessuna"));
    QCOMPARE(lists->RecordCount(), 0);
    QTest::mouseClick(azzera, Qt::LeftButton);
    QVERIFY(filter->Text().isEmpty());
    QCOMPARE(lists->RecordCount(), 3);
    // The catalogue filter never shows another product's lists.
    if (!pricePanel)
        QCOMPARE(lists->CountMatching("idProdotto = " + SqlText(ProductId("QDG-100"))), 3);
}

void tst_dettagli_preventivo::otherPriceList_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("code");    // the line's list after the choice
    QTest::addColumn<QString>("desc");    // "Descrizione listino"
    QTest::addColumn<QString>("listino"); // "Listino prodotto"
    QTest::addColumn<QString>("importo"); // "Importo prodotto"
    QTest::addColumn<QString>("ceiling"); // caption and value of the ceiling
    QTest::addColumn<QString>("stored");  // list code and amount after "Conferma"
    QTest::newRow("Ok takes the list under the cursor") << true << "L3-QDG"
                                                        << "Esecuzione con accessori"
                                                        << "7.752,00"
                                                        << "7.752,00"
                                                        << "Max s.c. (valore) 620,16"
                                                        << "L3-QDG|7752.00";
    QTest::newRow("Annulla keeps the chosen list") << false << "L2-QDG"
                                                   << "Esecuzione rinforzata"
                                                   << "6.726,00"
                                                   << "6500"
                                                   << "Max s.c. (valore) 538,08"
                                                   << "L2-QDG|6500.00";
}

void tst_dettagli_preventivo::otherPriceList()
{
    QFETCH(bool, ok);
    QFETCH(QString, code);
    QFETCH(QString, desc);
    QFETCH(QString, listino);
    QFETCH(QString, importo);
    QFETCH(QString, ceiling);
    QFETCH(QString, stored);
    const QString q = MakeQuote({"QDG-100"}); // the line carries L2-QDG
    const QString line = LineId(q, 1);
    Open(q);
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QCOMPARE(w->EF_Listino_DescListino->Text(), QStringLiteral("Esecuzione rinforzata"));
    TypeInto(w->EF_Listino_Importo, QStringLiteral("6500"));
    QVERIFY(!w->PAN_SelListino->isVisible());
    QVERIFY(!w->DG_ProdottoListini->isEnabled());
    QTest::mouseClick(w->PB_Listino_Sel_Elenco, Qt::LeftButton);
    // Choosing: the selection bar over the enabled grid, the rest locked.
    QVERIFY(w->PAN_SelListino->isVisible());
    QVERIFY(w->DG_ProdottoListini->isEnabled());
    QVERIFY(!w->PAN_Main_Preventivo->isEnabled());
    QVERIFY(!w->EF_Listino_Importo->isEnabled());
    QVERIFY(!w->PAN_Sconto->isEnabled());
    TDataSet *lists = w->DST_GRID_ProdottoListini.get();
    QCOMPARE(lists->FieldByName("txCodListino").AsString(), QStringLiteral("L2-QDG"));
    QVERIFY(lists->Locate("txCodListino", QStringLiteral("L3-QDG")));
    QTest::mouseClick(ok ? w->PB_Ok_SelListino : w->PB_Annulla_SelListino, Qt::LeftButton);
    QVERIFY(!w->PAN_SelListino->isVisible());
    QVERIFY(w->PAN_Main_Preventivo->isEnabled());
    QVERIFY(w->EF_Listino_Importo->isEnabled());
    QVERIFY(!w->DG_ProdottoListini->isEnabled());
    QCOMPARE(lists->FieldByName("txCodListino").AsString(), code);
    QCOMPARE(w->EF_Listino_DescListino->Text(), desc);
    QCOMPARE(w->EF_Listino_Listino->Text(), listino);
    QCOMPARE(w->EF_Listino_Importo->Text(), importo);
    QCOMPARE(w->EF_Listino_MaxSC->CaptionString() + " " + w->EF_Listino_MaxSC->Text(), ceiling);
    QVERIFY(w->PAN_Sconto->isVisible());
    // "Conferma" writes the list now chosen with its amount.
    QTest::mouseClick(w->PB_Listino_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Super("SELECT l.txcodlistino || '|' || d.vlimporto FROM preventivo_dettaglio d "
                        "JOIN prod_listini l USING (idprodlistino) WHERE d.idpreventivodet = '"
                        + line + "'"),
             stored);
}

void tst_dettagli_preventivo::linkedGridMenu_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("developer");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("a row not chosen")
        << false << false << QStringList{"Seleziona prodotto", "Modifica quantità"};
    QTest::newRow("a chosen row") << true << false << QStringList{"Deseleziona prodotto"};
    QTest::newRow("a row not chosen, developer mode")
        << false << true
        << QStringList{"Seleziona prodotto", "Modifica quantità", "-", "Copia Id in clipboard"};
    QTest::newRow("a chosen row, developer mode")
        << true << true << QStringList{"Deseleziona prodotto", "-", "Copia Id in clipboard"};
}

void tst_dettagli_preventivo::linkedGridMenu()
{
    QFETCH(bool, selected);
    QFETCH(bool, developer);
    QFETCH(QStringList, captions);
    SessionInfo().bDeveloperMode = developer;
    Open(MakeQuote({}));
    Search(QStringLiteral("QDG-100"));
    QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100")));
    TDataSet *linked = w->DST_GRID_ProdLinked.get();
    const int total = linked->RecordCount();
    QVERIFY(total >= 2);
    linked->First();
    if (selected) {
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Seleziona prodotto")));
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Modifica quantità")) == false);
        QTest::mouseClick(w->PB_Mod_Quantity, Qt::LeftButton);
        TypeInto(w->EF_NuQtaLinked, QStringLiteral("3"));
        QTest::mouseClick(w->PB_InputQtaLinked_Ok, Qt::LeftButton);
        QCOMPARE(linked->FieldByName("nuQuantita").AsFloat(), 3.0);
    }
    QCOMPARE(MenuCaptions(w->DG_ProdLinked), captions);
    if (selected) {
        // Deselecting brings the quantity back to 1.
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Deseleziona prodotto")));
        QCOMPARE(linked->FieldByName("flImportaInPrev").AsInteger(), 0);
        QCOMPARE(linked->FieldByName("nuQuantita").AsFloat(), 1.0);
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("0/%1 prodotti collegati.").arg(total));
    } else {
        // "Modifica quantità" asks for the row's quantity; "Seleziona prodotto" chooses it.
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Modifica quantità")));
        QVERIFY(w->PAN_Input_QtaLinked->isVisible());
        QCOMPARE(w->EF_NuQtaLinked->Text(), QStringLiteral("1,00"));
        QVERIFY(!w->PAN_Main_Preventivo->isEnabled());
        QTest::mouseClick(w->PB_InputQtaLinked_Annulla, Qt::LeftButton);
        QVERIFY(!w->PAN_Input_QtaLinked->isVisible());
        QVERIFY(w->PAN_Main_Preventivo->isEnabled());
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Seleziona prodotto")));
        QCOMPARE(linked->FieldByName("flImportaInPrev").AsInteger(), 1);
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("1/%1 prodotti collegati.").arg(total));
    }
    if (developer) {
        QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Copia Id in clipboard")));
        QCOMPARE(ClipboardText(),
                 QStringLiteral("SELECT a.*\r\n FROM Prodotti a\r\n WHERE a.idProdotto = '%1'"
                                "\r\n\r\n")
                     .arg(ProductId("QDG-100")));
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));
    }
}

void tst_dettagli_preventivo::linkedSelectionFailureIsReported()
{
    Open(MakeQuote({}));
    Search(QStringLiteral("QDG-100"));
    QVERIFY(w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100")));
    TDataSet *linked = w->DST_GRID_ProdLinked.get();
    linked->First();
    // The selection column cannot be written: the change is refused and the row unchanged.
    linked->FieldByName("flImportaInPrev").Def().readOnly = true;
    QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Seleziona prodotto")));
    QVERIFY2(env->Recorder()
                 .LastText(TDialogKind::Error)
                 .startsWith("Errore cambio stato selezione prodotto (ERR.P05).\r\n\r\n("),
             qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QCOMPARE(linked->FieldByName("flImportaInPrev").AsInteger(), 0);
    QVERIFY(w->PAN_NuLinked->text().startsWith("0/"));
    linked->FieldByName("flImportaInPrev").Def().readOnly = false;
    QVERIFY(ChooseMenu(w->DG_ProdLinked, QStringLiteral("Seleziona prodotto")));
    QVERIFY(w->PAN_NuLinked->text().startsWith("1/"));
}

// --- Line details ---------------------------------------------------------------------------

void tst_dettagli_preventivo::lineDetailsSwitchNodesOffAndOn()
{
    const QString q = MakeQuote({"QDG-100"});
    const QString line = LineId(q, 1);
    Open(q);
    QTest::mouseClick(w->PB_Change_Aspetto_Prodotto, Qt::LeftButton);
    TDETTAGLI_PREVDET *d = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<TDETTAGLI_PREVDET *>(top))
            d = found;
    QVERIFY(d);
    QCOMPARE(d->windowTitle(),
             QStringLiteral("Dettagli del prodotto: \"") + w->Line(0)->sDescProdotto + "\"");
    QCOMPARE(d->TV_Dettagli->CurrentNode(), d->TV_Dettagli->RootNode());
    // A paragraph with sub-paragraphs: switched off, its whole subtree shows off.
    TDettProdTreeItem *para = nullptr;
    for (TDettProdTreeItem *item : d->TV_Dettagli->Items())
        if (!para && item->Node()->xTipoNode == cnComponente && item->childCount() > 0)
            para = item;
    QVERIFY(para);
    const QString paraId = para->Node()->sIdNodo;
    const QString childId = TDettProdTree::NodeOf(para->child(0))->sIdNodo;
    QVERIFY(d->PrepareTreeMenu(para->Node()));
    QCOMPARE(d->MenuAction("MNU_AbilitaDisabilitaNodo")->text(),
             QStringLiteral("Disabilita il paragrafo"));
    QVERIFY(!d->MenuAction("MNU_ModificaScheda")->isVisible());
    QVERIFY(d->MenuAction("MNU_CopiaId")->isVisible()); // ADMIN is an administrator
    d->MenuAction("MNU_AbilitaDisabilitaNodo")->trigger();
    QCOMPARE(env->LastCommand(),
             ExecText("ChangeStateNodo", {SqlText(line), "1", SqlText(paraId), "30", "1", kUser}));
    QVERIFY(!d->TV_Dettagli->FindTreeNode(paraId)->Node()->bAttivo);
    QVERIFY(!d->TV_Dettagli->FindTreeNode(childId)->Node()->bAttivo);
    QCOMPARE(d->TV_Dettagli->CurrentNode()->sIdNodo, paraId);
    QVERIFY(d->bChanges);
    QVERIFY(d->PrepareTreeMenu(d->TV_Dettagli->FindTreeNode(paraId)->Node()));
    QCOMPARE(d->MenuAction("MNU_AbilitaDisabilitaNodo")->text(),
             QStringLiteral("Abilita il paragrafo"));
    d->MenuAction("MNU_AbilitaDisabilitaNodo")->trigger();
    QVERIFY(d->TV_Dettagli->FindTreeNode(paraId)->Node()->bAttivo);
    QVERIFY(d->TV_Dettagli->FindTreeNode(childId)->Node()->bAttivo);
    // The root has no entry; a node without record is an error.
    QVERIFY(d->PrepareTreeMenu(d->TV_Dettagli->RootNode()));
    QVERIFY(!d->MenuAction("MNU_AbilitaDisabilitaNodo")->isVisible());
    QVERIFY(!d->PrepareTreeMenu(nullptr));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error), QStringLiteral("Errore selezione nodo."));
}

void tst_dettagli_preventivo::lineDetailsSheetValuesAndQuantity()
{
    // The preview on: it is built at the start and not again after a sheet or quantity change.
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QDir().mkpath(env->Home() + "/Reports");
    QVERIFY(
        QFile::copy(source + "/Reports/pdprwdet00.RPT", env->Home() + "/Reports/pdprwdet00.RPT"));
    env->SetSetting(QStringLiteral("FrmDettPrevDet_PreviewProd"), QStringLiteral("SI"));
    const QString q = MakeQuote({"QDG-100"});
    const QString line = LineId(q, 1);
    auto *d = new TDETTAGLI_PREVDET;
    d->resize(1300, 850);
    d->show();
    d->Start(line, QString(), true, QStringLiteral("Quadro"), QStringLiteral("QDG-100"));
    QCOMPARE(d->iPreviewBuilds, 1);
    QVERIFY(d->PAN_Preview->HasPreview());
    // The sheet editor from one of its items edits the whole sheet.
    TDettProdTreeItem *item = nullptr;
    for (TDettProdTreeItem *i : d->TV_Dettagli->Items())
        if (!item && i->Node()->xTipoNode == cnVoceScheda)
            item = i;
    QVERIFY(item);
    QVERIFY(item->text(0).contains(". Voce: \""));
    const QString sheet = item->Node()->sIdParent;
    QVERIFY(d->PrepareTreeMenu(item->Node()));
    QVERIFY(d->MenuAction("MNU_ModificaScheda")->isVisible());
    d->MenuAction("MNU_ModificaScheda")->trigger();
    QVERIFY(d->PAN_DatiScheda->isVisible());
    QVERIFY(!d->TV_Dettagli->isEnabled());
    const int items = d->SG_Scheda->ItemCount();
    QVERIFY(items >= 2);
    // Ok without changes writes nothing.
    env->Super("UPDATE prevdet_nodi SET txutentemod = NULL WHERE idpreventivodet = '" + line
               + "'; SELECT 1");
    const QString stamps = "SELECT count(*) FROM prevdet_nodi WHERE idpreventivodet = '" + line
                           + "' AND txutentemod = 'ADMIN'";
    QTest::mouseClick(d->PB_Ok_Input_Schede, Qt::LeftButton);
    QVERIFY(!d->PAN_DatiScheda->isVisible());
    QCOMPARE(env->Super(stamps), QStringLiteral("0"));
    // A value typed with blanks around is stored trimmed; a value equal after trimming is not
    // written.
    d->PrepareTreeMenu(item->Node());
    d->MenuAction("MNU_ModificaScheda")->trigger();
    const QString keep = d->SG_Scheda->Value(1);
    d->SG_Scheda->SetValue(0, QStringLiteral("  Valore della riga  "));
    d->SG_Scheda->SetValue(1, QStringLiteral(" ") + keep + QStringLiteral(" "));
    QTest::mouseClick(d->PB_Ok_Input_Schede, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Super(stamps), QStringLiteral("1"));
    const QString firstItem = env->Super("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '"
                                         + line + "' AND idparent = '" + sheet
                                         + "' ORDER BY nuorderd LIMIT 1");
    QCOMPARE(env->Super("SELECT txdescnodob FROM prevdet_nodi WHERE idpreventivodet = '" + line
                        + "' AND idnodo = '" + firstItem + "'"),
             QStringLiteral("Valore della riga"));
    QCOMPARE(d->TV_Dettagli->CurrentNode()->sIdNodo, sheet);
    QCOMPARE(d->iPreviewBuilds, 1);

    // A sub-paragraph's quantity: the tree is rebuilt with the root selected.
    TDettProdTreeItem *part = nullptr;
    for (TDettProdTreeItem *i : d->TV_Dettagli->Items())
        if (!part && i->Node()->xTipoNode == cnParte)
            part = i;
    QVERIFY(part);
    const QString partId = part->Node()->sIdNodo;
    QVERIFY(d->PrepareTreeMenu(part->Node()));
    d->MenuAction("MNU_ModificaQta")->trigger();
    QVERIFY(d->PAN_Input_Parte->isVisible());
    TypeInto(d->EF_NuQtaParteNodo, QStringLiteral("abc"));
    QTest::mouseClick(d->PB_InputQta_Ok, Qt::LeftButton);
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Error)
                .startsWith("Errore salvataggio dati sottoparagrafo (ERR.B03)."));
    QVERIFY(d->PAN_Input_Parte->isVisible());
    TypeInto(d->EF_NuQtaParteNodo, QStringLiteral("7"));
    QTest::mouseClick(d->PB_InputQta_Ok, Qt::LeftButton);
    QVERIFY(!d->PAN_Input_Parte->isVisible());
    QCOMPARE(env->Super("SELECT nuquantita FROM prevdet_nodi WHERE idpreventivodet = '" + line
                        + "' AND idnodo = '" + partId + "'"),
             QStringLiteral("7"));
    QCOMPARE(d->TV_Dettagli->CurrentNode(), d->TV_Dettagli->RootNode());
    QVERIFY(d->TV_Dettagli->FindTreeNode(partId)->text(0).contains(QStringLiteral("N° 7")));
    QCOMPARE(d->TV_Dettagli->FindTreeNode(partId)->Node()->iNuQuantita, 7);
    QCOMPARE(d->iPreviewBuilds, 1);
    // Switching a node rebuilds the preview.
    QVERIFY(d->PrepareTreeMenu(d->TV_Dettagli->FindTreeNode(partId)->Node()));
    d->MenuAction("MNU_AbilitaDisabilitaNodo")->trigger();
    QCOMPARE(d->iPreviewBuilds, 2);
    d->close();
}

void tst_dettagli_preventivo::sheetValueKeys_data()
{
    QTest::addColumn<QString>("at");     // first or last value
    QTest::addColumn<QString>("action"); // Enter, Esc, Pulisci
    QTest::addColumn<int>("moveBy");     // rows the cursor moves
    QTest::addColumn<bool>("cleared");   // the value the cursor was on is emptied
    QTest::newRow("Enter moves one row down") << "first"
                                              << "Enter" << 1 << false;
    QTest::newRow("Enter on the last value stays there") << "last"
                                                         << "Enter" << 0 << false;
    QTest::newRow("Esc leaves the editor in place") << "first"
                                                    << "Esc" << 0 << false;
    QTest::newRow("Pulisci Valore empties and moves down") << "first"
                                                           << "Pulisci" << 1 << true;
    QTest::newRow("Pulisci Valore on the last value stays") << "last"
                                                            << "Pulisci" << 0 << true;
}

void tst_dettagli_preventivo::sheetValueKeys()
{
    QFETCH(QString, at);
    QFETCH(QString, action);
    QFETCH(int, moveBy);
    QFETCH(bool, cleared);
    const QString line = LineId(MakeQuote({"QDG-100"}), 1);
    TDETTAGLI_PREVDET *d = OpenDetails(line);
    QVERIFY(OpenFirstSheet(d));
    TSheetValueGrid *g = d->SG_Scheda;
    QVERIFY(g->ItemCount() >= 2);
    // The cursor starts on the first value.
    QCOMPARE(g->currentRow(), 0);
    QCOMPARE(g->currentColumn(), 1);
    for (int r = 0; r < g->ItemCount(); ++r)
        g->SetValue(r, QStringLiteral("valore %1").arg(r));
    const int row = at == "first" ? 0 : g->ItemCount() - 1;
    // The open editor (a closed one lingers hidden until it is freed).
    const auto openEditor = [g]() -> QLineEdit * {
        for (QLineEdit *e : g->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    };
    g->StartAt(row);
    QLineEdit *editor = openEditor();
    QVERIFY(editor);
    if (action == "Enter") {
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the editor closes through the event loop
    } else if (action == "Esc") {
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!openEditor());
    } else {
        QTest::mouseClick(d->PB_PulisciRiga, Qt::LeftButton);
    }
    QCOMPARE(g->currentRow(), row + moveBy);
    QCOMPARE(g->currentColumn(), 1);
    QCOMPARE(g->Value(row).isEmpty(), cleared);
    // A value typed after Enter goes to the row the cursor moved to.
    if (action == "Enter" && moveBy == 1) {
        QLineEdit *next = openEditor();
        QVERIFY(next && next != editor);
        next->selectAll();
        QTest::keyClicks(next, QStringLiteral("nuovo"));
        g->CommitEditor();
        QCOMPARE(g->Value(row + 1), QStringLiteral("nuovo"));
        QCOMPARE(g->Value(row), QStringLiteral("valore 0"));
    }
    d->close();
}

void tst_dettagli_preventivo::sheetSaveFailureWritesNothing()
{
    const QString line = LineId(MakeQuote({"QDG-100"}), 1);
    TDETTAGLI_PREVDET *d = OpenDetails(line);
    QVERIFY(OpenFirstSheet(d));
    TSheetValueGrid *g = d->SG_Scheda;
    QVERIFY(g->ItemCount() >= 2);
    const QString values = "SELECT string_agg(coalesce(txdescnodob, '-'), '|' ORDER BY nuorderd) "
                           "FROM prevdet_nodi WHERE idpreventivodet = '"
                           + line + "' AND idparent = '" + d->sIdCurrentScheda + "'";
    const QString before = env->Super(values);
    // The server refuses the second value: the first, written in the same save, goes too.
    env->Super("ALTER TABLE prevdet_nodi ADD CONSTRAINT tst_rifiuta CHECK (txdescnodob IS NULL "
               "OR txdescnodob <> 'RIFIUTATO'); SELECT 1");
    g->SetValue(0, QStringLiteral("Accettato"));
    g->SetValue(1, QStringLiteral("RIFIUTATO"));
    QTest::mouseClick(d->PB_Ok_Input_Schede, Qt::LeftButton);
    QVERIFY2(env->Recorder()
                 .LastText(TDialogKind::Error)
                 .startsWith("Errore aggiornamento voce scheda (ERR.B02).\r\n\r\n("),
             qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QCOMPARE(env->Super(values), before);
    // The panel stays open with what was typed, to be corrected.
    QVERIFY(d->PAN_DatiScheda->isVisible());
    QCOMPARE(g->Value(0), QStringLiteral("Accettato"));
    g->SetValue(1, QStringLiteral("Corretto"));
    QTest::mouseClick(d->PB_Ok_Input_Schede, Qt::LeftButton);
    QVERIFY(!d->PAN_DatiScheda->isVisible());
    QVERIFY(env->Super(values).startsWith("Accettato|Corretto"));
    d->close();
}

void tst_dettagli_preventivo::lineDetailsCopyId_data()
{
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("clauses"); // table and key clauses, empty: no entry
    QTest::newRow("paragraph") << true << int(cnComponente)
                               << " FROM PrevDet_Componenti a|| AND a.idCompProdotto = ";
    QTest::newRow("sub-paragraph")
        << true << int(cnParte) << " FROM PrevDet_Comp_Parti a|| AND a.idParteComp = ";
    QTest::newRow("image") << true << int(cnParteImmagine)
                           << " FROM PrevDet_Comp_Parte_Img a|| AND a.idImgParte = ";
    QTest::newRow("data sheet: no entry") << true << int(cnScheda) << "";
    QTest::newRow("paragraph, operator: no entry") << false << int(cnComponente) << "";
    QTest::newRow("image, operator: no entry") << false << int(cnParteImmagine) << "";
}

void tst_dettagli_preventivo::lineDetailsCopyId()
{
    QFETCH(bool, administrator);
    QFETCH(int, kind);
    QFETCH(QString, clauses);
    const QString line = LineId(MakeQuote({"QDG-100"}), 1);
    if (!administrator)
        env->LogOn(TDemoOperator::Operator);
    TDETTAGLI_PREVDET *d = OpenDetails(line);
    TDettProdTreeItem *item = FirstOfKind(d, TCurrentNodeTipologia(kind));
    QVERIFY2(item, "the demo product has a node of that kind");
    QVERIFY(d->PrepareTreeMenu(item->Node()));
    QAction *copy = d->MenuAction("MNU_CopiaId");
    PutClipboardText(QStringLiteral("prima"));
    QCOMPARE(copy->isVisible(), !clauses.isEmpty());
    d->CopyId(); // what the entry runs: nothing at all where it is not offered
    if (clauses.isEmpty()) {
        QCOMPARE(ClipboardText(), QStringLiteral("prima"));
        QCOMPARE(env->Recorder().Count(TDialogKind::Info), 0);
        d->close();
        return;
    }
    QCOMPARE(copy->text(), QStringLiteral("Copia Id in Clipboard"));
    QCOMPARE(ClipboardText(),
             QStringLiteral("SELECT a.*\r\n") + clauses.section("||", 0, 0)
                 + QStringLiteral("\r\n WHERE a.idPreventivoDet = ") + SqlText(line)
                 + QStringLiteral("\r\n") + clauses.section("||", 1, 1)
                 + SqlText(item->Node()->sIdNodo) + QStringLiteral("\r\n\r\n"));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));
    d->close();
}

void tst_dettagli_preventivo::linePreviewShowsTheLine()
{
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QDir().mkpath(env->Home() + "/Reports");
    QVERIFY(
        QFile::copy(source + "/Reports/pdprwdet00.RPT", env->Home() + "/Reports/pdprwdet00.RPT"));
    const QString q = MakeQuote({"QDG-100"});
    Open(q);
    QTest::mouseClick(w->PB_Print_Prodotto, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    TVIEW_REPORT *preview = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *v = qobject_cast<TVIEW_REPORT *>(top); v && v->isVisible())
            preview = v;
    QVERIFY(preview);
    QVERIFY(preview->VR_Preview->PageCount() > 0);
    preview->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Without the report file the engine says so and no preview stays open.
    QFile::remove(env->Home() + "/Reports/pdprwdet00.RPT");
    QTest::mouseClick(w->PB_Print_Prodotto, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int open = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *v = qobject_cast<TVIEW_REPORT *>(top); v && v->isVisible())
            ++open;
    QCOMPARE(open, 0);
}

void tst_dettagli_preventivo::lookAtTheWindow()
{
    Open(MakeQuote({"QDG-100", "ACC-ILL", "ACC-VEN", "DOC-MAN"}));
    Search(QStringLiteral("QDG"));
    w->SelectRow(1);
    QApplication::processEvents();
    const QImage lines = w->grab().toImage();
    QVERIFY(!lines.isNull());
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QApplication::processEvents();
    const QImage prices = w->grab().toImage();
    QVERIFY(!prices.isNull());
    // The line details of the first line, a paragraph switched off.
    auto *d = new TDETTAGLI_PREVDET;
    d->resize(1300, 850);
    d->show();
    d->Start(w->Line(0)->sIdPreventivoDet, QString(), true, w->Line(0)->sDescProdotto, "QDG-100");
    for (TDettProdTreeItem *item : d->TV_Dettagli->Items())
        if (item->Node()->xTipoNode == cnComponente && item->childCount() > 0) {
            d->PrepareTreeMenu(item->Node());
            d->EnableDisableNode();
            break;
        }
    QApplication::processEvents();
    const QImage details = d->grab().toImage();
    QVERIFY(!details.isNull());
    if (const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR"); !dir.isEmpty()) {
        lines.save(dir + QStringLiteral("/dettagli_preventivo.png"));
        prices.save(dir + QStringLiteral("/dettagli_preventivo_listini.png"));
        details.save(dir + QStringLiteral("/dettagli_prevdet.png"));
    }
    d->close();
}

namespace {

// Saves a picture of the window when VENTOREL_GRAB_DIR names a folder.
void Grab(QWidget *window, const QString &name)
{
    QApplication::processEvents();
    const QImage picture = window->grab().toImage();
    QVERIFY(!picture.isNull());
    if (const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR"); !dir.isEmpty())
        picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// The middle of a grid cell, in its viewport's coordinates.
QPoint CellCentre(QAbstractItemView *view, int row, int column)
{
    return view->visualRect(view->model()->index(row, column)).center();
}

int RowWithText(QAbstractItemView *view, int column, const QString &text)
{
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, column).data().toString() == text)
            return r;
    return -1;
}

} // namespace

// A new operator's road through the lines editor, with the mouse and keyboard where a test can
// use them, and a picture of each step (VENTOREL_GRAB_DIR).
void tst_dettagli_preventivo::walkThroughAsANewUser()
{
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QDir().mkpath(env->Home() + "/Reports");
    QVERIFY(
        QFile::copy(source + "/Reports/pdprwdet00.RPT", env->Home() + "/Reports/pdprwdet00.RPT"));
    env->SetSetting(QStringLiteral("FrmDettPrevDet_PreviewProd"), QStringLiteral("SI"));
    const QString q = MakeQuote({});
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1600, 1000);
    main.show();
    // The quote list: the quote, then its "Dettaglio prodotti del preventivo".
    auto *list = qobject_cast<TGESTIONE_PREVENTIVI *>(
        OpenChildWindow(QStringLiteral("GESTIONE_PREVENTIVI"), area, [](QWidget *parent) {
            return CreateRegisteredWindow(QStringLiteral("GESTIONE_PREVENTIVI"), parent);
        }));
    QVERIFY(list);
    QTest::mouseClick(list->Filters->PB_EstraiElenco, Qt::LeftButton);
    QVERIFY(
        list->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"), q, loCaseInsensitive));
    QVERIFY(ChooseMenu(list->DG_Preventivi, QStringLiteral("Dettaglio prodotti del preventivo")));
    QApplication::processEvents();
    w = qobject_cast<TDETTAGLI_PREVENTIVO *>(
        FindOpenForm(QString::fromLatin1(TDETTAGLI_PREVENTIVO::kFormName)));
    QVERIFY(w);
    // At first show: 90 % x 95 % of the free area, the quote panel 40 % of the window.
    QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
    QVERIFY(sub);
    QVERIFY(qAbs(sub->width() - qRound(area->width() * 0.9)) <= 2);
    QVERIFY(qAbs(sub->height() - qRound(area->height() * 0.95)) <= 2);
    QVERIFY(qAbs(w->PAN_Main_Preventivo->width() - w->width() * 0.4) <= w->width() * 0.03);
    Grab(&main, "walk_01_aperto");

    // Search the catalogue and choose the product, a price list and two accessories.
    TypeInto(w->EF_Find_DescProdotto, QStringLiteral("quadro"));
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    const int productRow
        = RowWithText(w->DG_Prodotti,
                      0,
                      w->DST_GRID_Prodotti->Locate("idProdotto", ProductId("QDG-100"))
                          ? w->DST_GRID_Prodotti->FieldByName("txProdotto").AsString()
                          : QString());
    QVERIFY(productRow >= 0);
    QTest::mouseClick(w->DG_Prodotti->viewport(),
                      Qt::LeftButton,
                      {},
                      CellCentre(w->DG_Prodotti, productRow, 0));
    QCOMPARE(w->DST_GRID_Prodotti->FieldByName("idProdotto").AsString(), ProductId("QDG-100"));
    QVERIFY(w->PAN_Linked->isVisible());
    QVERIFY(w->CK_Aggiungi_Anche_Listino->isVisible());
    const int listRow = RowWithText(w->DG_ProdList, 0, QStringLiteral("L1-QDG"));
    QVERIFY(listRow >= 0);
    QTest::mouseClick(w->DG_ProdList->viewport(),
                      Qt::LeftButton,
                      {},
                      CellCentre(w->DG_ProdList, listRow, 1));
    QCOMPARE(w->DST_GRID_ProdList->FieldByName("txCodListino").AsString(), QStringLiteral("L1-QDG"));
    for (int r : {0, 1})
        QTest::mouseDClick(w->DG_ProdLinked->viewport(),
                           Qt::LeftButton,
                           {},
                           CellCentre(w->DG_ProdLinked, r, 1));
    QVERIFY2(w->PAN_NuLinked->text().startsWith("2/"), qPrintable(w->PAN_NuLinked->text()));
    Grab(&main, "walk_02_ricerca");

    QTest::mouseClick(w->PB_Add_Prodotto, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(w->LineCount(), 3);
    QCOMPARE(w->CurrentRow(), 0);
    QCOMPARE(w->Line(0)->sDescListino, QStringLiteral("Esecuzione base"));
    QVERIFY(w->Line(1)->bAccessorio && w->Line(2)->bAccessorio);
    Grab(&main, "walk_03_aggiunti");

    // A discount of 12,5 % on the main product.
    QTest::mouseClick(w->PB_ShowListini, Qt::LeftButton);
    QVERIFY(w->ListiniMode());
    TypeInto(w->EF_Listino_ScontoPerc, QStringLiteral("12,5"));
    QCOMPARE(w->EF_Listino_ScontoVal->Text(), QStringLiteral("712,50"));
    QCOMPARE(w->EF_Listino_Importo->Text(), QStringLiteral("4.987,50"));
    Grab(&main, "walk_04_sconto");
    QTest::mouseClick(w->PB_Listino_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Super("SELECT vlimporto FROM preventivo_dettaglio WHERE idpreventivodet = '"
                        + w->Line(0)->sIdPreventivoDet + "'"),
             QStringLiteral("4987.50"));

    // Back to the products; the third line dragged by its handle onto the second.
    QTest::mouseClick(w->PB_ShowProdotti, Qt::LeftButton);
    QHeaderView *handles = w->SG_Dettagli->verticalHeader();
    QVERIFY(handles->sectionsMovable());
    const QString third = w->Line(2)->sIdPreventivoDet;
    const int x = handles->width() / 2;
    const QPoint from(x, handles->sectionViewportPosition(2) + handles->sectionSize(2) / 2);
    const QPoint to(x, handles->sectionViewportPosition(1) + 10);
    QTest::mousePress(handles->viewport(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 10; ++step)
        QTest::mouseMove(handles->viewport(), from + (to - from) * step / 10);
    QTest::mouseRelease(handles->viewport(), Qt::LeftButton, {}, to);
    QCOMPARE(env->LastCommand().left(31), QStringLiteral("EXEC MovePreventivoDettaglio '{"));
    QCOMPARE(w->Line(1)->sIdPreventivoDet, third);
    QCOMPARE(w->CurrentLine()->sIdPreventivoDet, third);
    Grab(&main, "walk_05_spostata");

    // The main product's details: a paragraph switched off, a data-sheet value changed.
    QTest::mouseClick(w->SG_Dettagli->viewport(),
                      Qt::LeftButton,
                      {},
                      CellCentre(w->SG_Dettagli, 0, 2));
    QCOMPARE(w->CurrentRow(), 0);
    QTest::mouseClick(w->PB_Change_Aspetto_Prodotto, Qt::LeftButton);
    QApplication::processEvents();
    TDETTAGLI_PREVDET *d = nullptr;
    for (QMdiSubWindow *s : area->subWindowList())
        if (auto *found = qobject_cast<TDETTAGLI_PREVDET *>(s->widget()))
            d = found;
    QVERIFY(d);
    QVERIFY(d->PAN_Preview->HasPreview());
    QVERIFY(qAbs(d->PAN_Preview->width() - d->width() / 2) <= d->width() * 0.05);
    const int builds = d->iPreviewBuilds;
    Grab(&main, "walk_06_dettagli");
    TDettProdTreeItem *para = nullptr;
    for (TDettProdTreeItem *item : d->TV_Dettagli->Items())
        if (!para && item->Node()->xTipoNode == cnComponente && item->childCount() > 0)
            para = item;
    QVERIFY(para);
    QVERIFY(d->PrepareTreeMenu(para->Node()));
    d->MenuAction("MNU_AbilitaDisabilitaNodo")->trigger();
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(d->iPreviewBuilds, builds + 1);
    Grab(&main, "walk_07_paragrafo_spento");
    QVERIFY(OpenFirstSheet(d));
    Grab(&main, "walk_08_scheda");
    // The cursor is on the first value: the operator types over it (an empty value opens its
    // editor with the first key).
    const QString typed = QStringLiteral("IP 55 (verificato)");
    const auto openEditor = [d]() -> QLineEdit * {
        for (QLineEdit *e : d->SG_Scheda->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    };
    QCOMPARE(d->SG_Scheda->currentRow(), 0);
    QLineEdit *editor = openEditor();
    if (editor) {
        editor->selectAll();
        QTest::keyClicks(editor, typed);
    } else {
        QTest::keyClicks(d->SG_Scheda, typed.left(1));
        editor = openEditor();
        QVERIFY(editor);
        QTest::keyClicks(editor, typed.mid(1));
    }
    QTest::mouseClick(d->PB_Ok_Input_Schede, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(!d->PAN_DatiScheda->isVisible());
    QCOMPARE(env->Super("SELECT txdescnodob FROM prevdet_nodi WHERE idpreventivodet = '"
                        + d->sIdPreventivoDet + "' AND idparent = '" + d->sIdCurrentScheda
                        + "' ORDER BY nuorderd LIMIT 1"),
             typed);
    // The preview follows when it is built again (its options).
    QTest::mouseClick(d->CK_PreviewShowIcons, Qt::LeftButton);
    QCOMPARE(d->iPreviewBuilds, builds + 2);
    Grab(&main, "walk_09_valore_e_anteprima");
    d->close();
    env->Recorder().QueueYes();
    area->closeAllSubWindows();
}

QTEST_MAIN(tst_dettagli_preventivo)
#include "tst_dettagli_preventivo.moc"
