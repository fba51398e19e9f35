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
#include "common/windowregistry.h"
#include "controls/tkrttoggleswitch.h"
#include "domain/vrldettprev.h"
#include "quotes/dettagli_prevdet.h"
#include "quotes/dettagli_preventivo.h"
#include "quotes/lineprices.h"
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
    void lineDetailsSwitchNodesOffAndOn();
    void lineDetailsSheetValuesAndQuantity();
    void linePreviewShowsTheLine();
    void lookAtTheWindow();

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

QTEST_MAIN(tst_dettagli_preventivo)
#include "tst_dettagli_preventivo.moc"
