// "Listino del prodotto" on the demo database, driven offscreen: a demo product's price lists
// with their flags, a list created, changed, duplicated, deactivated, reactivated and deleted
// through the grid's menu, the sub-paragraph quantities and the data-sheet values of a list,
// and what of a change reaches the lines of open quotes that use the list (read back through
// the quote functions).

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "catalogue/catalogueopeners.h"
#include "catalogue/prodotto_listino.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/formats.h"
#include "common/windowregistry.h"
#include "controls/tkrtgrid.h"
#include "db/dataset.h"
#include "db/dbmodule.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include <memory>

namespace {

// QDG-100: four lists, "L0-OLD" deactivated; L1-QDG is used by a line of an open quote and by
// a line of a blocked one, and has quantities and data-sheet values of its own.
const QString kProduct = QStringLiteral("{04366E01-4DE8-5BB2-A11B-216DE99B3D1E}");
// DOC-CE: a documentation product with one list used nowhere.
const QString kDocProduct = QStringLiteral("{AF6A29F5-2D2D-52A4-A688-1B0D2650350C}");

const QString kNotVisibleTail = LineBreaks(2) + QStringLiteral("Cambiare le impostazioni.");

} // namespace

class tst_prodotto_listino : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMasterDataEnvironment> env;

    QString Sql(const QString &q) { return env->Super(q); }
    QString ListId(const QString &code)
    {
        // Codes repeat between products: the lists of the two products of these tests.
        return Sql(QStringLiteral("SELECT idprodlistino FROM prod_listini WHERE idprodotto IN ('")
                   + kProduct + QStringLiteral("', '") + kDocProduct
                   + QStringLiteral("') AND txcodlistino = '") + code + QStringLiteral("'"));
    }
    QString PartId(const QString &desc)
    {
        return Sql(QStringLiteral("SELECT pa.idpartecomp FROM prod_comp_parti pa JOIN "
                                  "prod_componenti c USING (idcompprodotto) WHERE c.idprodotto = '")
                   + kProduct + QStringLiteral("' AND pa.txdescpartecomp = '") + desc
                   + QStringLiteral("'"));
    }
    // The lines of L1-QDG: in the open quote and in the blocked one.
    QString LineOf(const QString &listCode, bool blocked)
    {
        return Sql(QStringLiteral("SELECT d.idpreventivodet FROM preventivo_dettaglio d JOIN "
                                  "preventivi p USING (idpreventivo) WHERE d.idprodlistino = '")
                   + ListId(listCode) + QStringLiteral("' AND p.flbloccato = ")
                   + (blocked ? QStringLiteral("1") : QStringLiteral("0")));
    }
    QString QuoteOf(const QString &line)
    {
        return Sql(QStringLiteral(
                       "SELECT idpreventivo FROM preventivo_dettaglio WHERE idpreventivodet = '")
                   + line + QStringLiteral("'"));
    }
    // Runs a quote function as the logged-on operator.
    std::unique_ptr<TDataSet> Quote(const QString &command)
    {
        return env->Db().Module().Query(command);
    }

    std::unique_ptr<TPRODOTTO_LISTINO> Open(const QString &product = kProduct, bool doc = false)
    {
        auto w = std::make_unique<TPRODOTTO_LISTINO>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->resize(1100, 700);
        w->Start(product, QStringLiteral("Prodotto demo"), doc);
        w->show();
        QCoreApplication::processEvents();
        return w;
    }
    static bool Select(TPRODOTTO_LISTINO *w, const QString &code)
    {
        return w->DST_GRID_Listini()->Locate(QStringLiteral("txCodListino"), code);
    }
    static QString Current(TPRODOTTO_LISTINO *w,
                           const QString &field = QStringLiteral("txCodListino"))
    {
        return CurrentValue(w->DG_Listini, field);
    }
    static void Grab(QWidget *w, const QString &name)
    {
        QVERIFY(w->grab().save(QDir::temp().filePath(name)));
    }

    // The parts tree's item whose label ends with the text.
    static QTreeWidgetItem *PartItem(TPRODOTTO_LISTINO *w, const QString &tail)
    {
        QTreeWidgetItemIterator it(w->TV_Dettagli);
        for (; *it; ++it) {
            if ((*it)->text(0).endsWith(tail))
                return *it;
        }
        return nullptr;
    }
    // The right click on a sub-paragraph and "Modifica del sottoparagrafo", as the operator
    // does; false when no menu opened.
    static bool EditPart(TPRODOTTO_LISTINO *w, QTreeWidgetItem *item)
    {
        w->TV_DettagliContextMenu(w->TV_Dettagli->visualItemRect(item).center());
        if (!w->MNU_Parte->isVisible())
            return false;
        w->MNU_Parte->actions().first()->trigger();
        return w->ActivePanel() == w->PAN_Input_Parte;
    }
    QString StoredQuantity(const QString &listCode, const QString &part)
    {
        return Sql(QStringLiteral("SELECT coalesce(max(nuquantitaparte)::text, '<none>') FROM "
                                  "prod_list_parte_quantita WHERE idprodlistino = '")
                   + ListId(listCode) + QStringLiteral("' AND idpartecomp = '") + PartId(part)
                   + QStringLiteral("'"));
    }

private Q_SLOTS:
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup() { env.reset(); }

    // The lists of the product under the product's description in the title; deactivated lists
    // are shown until "Includi non attivi" is cleared.
    void opensTheProductsLists()
    {
        auto w = Open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Listino del prodotto: \"Prodotto demo\""));
        QVERIFY(w->DST_GRID_Listini());
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 4);
        Grab(w.get(), QStringLiteral("prodotto_listino.png"));
        w->CK_Find_IncludiCancellati->click();
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 3);
        QCOMPARE(CountRows(w->DG_Listini, QStringLiteral("txCodListino"), QStringLiteral("L0-OLD")),
                 0);
        // Both boxes are written at each click.
        QCOMPARE(env->Setting(QStringLiteral("FrmProdListino_IncludiCancellati")),
                 QStringLiteral("NO"));
        QCOMPARE(env->Setting(QStringLiteral("FrmProdListino_UsedInPrev")), QStringLiteral("NO"));
        w->CK_Find_UsedInPrev->click();
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 1);
        QCOMPARE(Current(w.get()), QStringLiteral("L1-QDG"));
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // The product list's opener reaches the window's own start.
    void startsThroughTheOpener()
    {
        QVERIFY(ProductWindowAvailable(QString::fromLatin1(kProdottoListinoWindow)));
        std::unique_ptr<QWidget> w(
            RegisteredWindowFactory(QString::fromLatin1(kProdottoListinoWindow))(nullptr));
        auto *window = qobject_cast<TPRODOTTO_LISTINO *>(w.get());
        QVERIFY(window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ProdottoListinoStart()(window, kProduct, QStringLiteral("Prodotto demo"), false);
        QVERIFY(window->DST_GRID_Listini());
        // The filter is the operator's saved choice: a fresh home shows deactivated lists too.
        QCOMPARE(window->DST_GRID_Listini()->RecordCount(), 4);
        // Closing without a change closes cleanly and asks nothing.
        QVERIFY(window->close());
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // Each row's flags (the icons of "(P)", "(S)", "(Q)") and the menu offered for it.
    void rowFlags_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("usedInQuotes");
        QTest::addColumn<int>("ownValues");
        QTest::addColumn<int>("ownQuantities");
        QTest::addColumn<QString>("stateEntry");
        QTest::newRow("used, with values and quantities")
            << "L1-QDG" << 1 << 1 << 1 << "Disattiva listino";
        QTest::newRow("unused") << "L2-QDG" << 0 << 1 << 1 << "Disattiva listino";
        QTest::newRow("deactivated, nothing of its own")
            << "L0-OLD" << 0 << 0 << 0 << "Riattiva listino";
    }
    void rowFlags()
    {
        QFETCH(QString, code);
        QFETCH(int, usedInQuotes);
        QFETCH(int, ownValues);
        QFETCH(int, ownQuantities);
        QFETCH(QString, stateEntry);
        auto w = Open();
        QVERIFY(Select(w.get(), code));
        QCOMPARE(Current(w.get(), QStringLiteral("flUsedInPrev")).toInt(), usedInQuotes);
        QCOMPARE(Current(w.get(), QStringLiteral("flSchedeListinoProdotto")).toInt(), ownValues);
        QCOMPARE(Current(w.get(), QStringLiteral("flQtaPartiListinoProdotto")).toInt(),
                 ownQuantities);
        // The product has data sheets and sub-paragraphs: every list may vary them.
        QCOMPARE(Current(w.get(), QStringLiteral("flSchedeProdotto")), QStringLiteral("1"));
        QCOMPARE(Current(w.get(), QStringLiteral("flQtaPartiProdotto")), QStringLiteral("1"));
        const QStringList menu = MenuCaptions(w->DG_Listini);
        QVERIFY(menu.contains(QStringLiteral("Gestione valori delle schede del prodotto")));
        QVERIFY(menu.contains(
            QStringLiteral("Gestione quantità presenti nei sottoparagrafi del prodotto")));
        QVERIFY(menu.contains(stateEntry));
        QCOMPARE(menu.first(), QStringLiteral("Nuovo listino"));
        QCOMPARE(menu.last(), QStringLiteral("Info supplementari"));
    }

    // "Nuovo listino" and "Ok": what is typed is stored, or refused with a clear message that
    // leaves the panel open and stores nothing.
    void savesANewList_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("maxValue");
        QTest::addColumn<QString>("maxPerc");
        QTest::addColumn<QString>("error");  // empty: saved
        QTest::addColumn<QString>("stored"); // vllistino|vlmaxsconto|numaxpercsconto
        const QString both = QStringLiteral(
            "Impostare solo una tipologia di sconto commerciale (% o valore).");
        const QString perc = QStringLiteral(
            "La percentuale massima di sconto deve essere compresa tra 0 e 100.");
        const QString amount = QStringLiteral("L'importo del listino deve essere un numero non "
                                              "negativo (al massimo 9.999.999.999.999,99).");
        QTest::newRow("no ceiling") << "LX"
                                    << "Nuovo"
                                    << "1234,5"
                                    << ""
                                    << ""
                                    << ""
                                    << "1234.50|<null>|<null>";
        QTest::newRow("value ceiling") << "LX"
                                       << "Nuovo"
                                       << "100"
                                       << "10"
                                       << ""
                                       << ""
                                       << "100.00|10.00|<null>";
        QTest::newRow("percentage ceiling") << "LX"
                                            << "Nuovo"
                                            << "100"
                                            << ""
                                            << "12,5"
                                            << ""
                                            << "100.00|<null>|12.50";
        QTest::newRow("both ceilings") << "LX"
                                       << "Nuovo"
                                       << "100"
                                       << "10"
                                       << "5" << both << "";
        QTest::newRow("percentage above 100") << "LX"
                                              << "Nuovo"
                                              << "100"
                                              << ""
                                              << "100,01" << perc << "";
        QTest::newRow("negative percentage") << "LX"
                                             << "Nuovo"
                                             << "100"
                                             << ""
                                             << "-1" << perc << "";
        QTest::newRow("negative amount") << "LX"
                                         << "Nuovo"
                                         << "-5"
                                         << ""
                                         << "" << amount << "";
        QTest::newRow("enormous amount") << "LX"
                                         << "Nuovo"
                                         << "99999999999999999"
                                         << ""
                                         << "" << amount << "";
        QTest::newRow("no amount") << "LX"
                                   << "Nuovo"
                                   << ""
                                   << ""
                                   << ""
                                   << "Importo del listino obbligatorio."
                                   << "";
        QTest::newRow("negative value ceiling")
            << "LX"
            << "Nuovo"
            << "100"
            << "-3"
            << ""
            << "Il valore massimo di sconto non può essere negativo."
            << "";
        // Apostrophes and texts longer than the columns: kept as typed up to the field's length.
        QTest::newRow("apostrophes, 300 characters")
            << QStringLiteral("L'A").leftJustified(300, u'\'')
            << QStringLiteral("Quadro d'angolo ").repeated(19).left(300) << "10"
            << ""
            << ""
            << ""
            << "10.00|<null>|<null>";
    }
    void savesANewList()
    {
        QFETCH(QString, code);
        QFETCH(QString, desc);
        QFETCH(QString, amount);
        QFETCH(QString, maxValue);
        QFETCH(QString, maxPerc);
        QFETCH(QString, error);
        QFETCH(QString, stored);
        auto w = Open();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Nuovo listino")));
        QCOMPARE(w->ActivePanel(), w->PAN_Input);
        QCOMPARE(w->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Listino"));
        QCOMPARE(w->EF_Listino->AsFloat(), 0.0);
        TypeInto(w->EF_CodListino, code);
        TypeInto(w->EF_DescListino, desc);
        TypeInto(w->EF_Listino, amount);
        TypeInto(w->EF_MaxScontoVal, maxValue);
        TypeInto(w->EF_MaxScontoPerc, maxPerc);
        Grab(w.get(), QStringLiteral("prodotto_listino_input.png"));
        w->PB_Ok_Input->click();
        const QString count = QStringLiteral(
                                  "SELECT count(*) FROM prod_listini WHERE idprodotto = '")
                              + kProduct + QStringLiteral("'");
        if (!error.isEmpty()) {
            QCOMPARE(env->Recorder().LastText(TDialogKind::Error), error);
            QCOMPARE(w->ActivePanel(), w->PAN_Input);
            QCOMPARE(Sql(count), QStringLiteral("4"));
            return;
        }
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QVERIFY(!w->EditMode());
        QCOMPARE(Sql(count), QStringLiteral("5"));
        // The new list is the current row, stored as typed.
        const QString id = Current(w.get(), QStringLiteral("idProdListino"));
        auto column = [&](const char *c) {
            return Sql(QStringLiteral("SELECT coalesce(%1::text, '<null>') FROM prod_listini "
                                      "WHERE idprodlistino = '%2'")
                           .arg(QLatin1String(c), id));
        };
        QCOMPARE(column("txcodlistino"), code.left(50));
        QCOMPARE(column("txdesclistino"), desc.left(200));
        QCOMPARE(column("vllistino") + u'|' + column("vlmaxsconto") + u'|'
                     + column("numaxpercsconto"),
                 stored);
        QCOMPARE(column("txutentein"), QStringLiteral("ADMIN"));
        QCOMPARE(column("idprodotto"), kProduct);
    }

    // A documentation product's lists have no amount: neither the column nor the fields are
    // shown, the amount is never asked and a new list is stored with 0.
    void documentationListCostsNothing()
    {
        auto w = Open(kDocProduct, true);
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 1);
        QVERIFY(w->DG_Listini->ColumnIndexByFieldName(QStringLiteral("vlListino")) < 0);
        QVERIFY(w->DG_Listini->ColumnIndexByFieldName(QStringLiteral("txDescListino")) >= 0);
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Nuovo listino")));
        QVERIFY(!w->EF_Listino->isVisible());
        QVERIFY(!w->PAN_Sconto->isVisible());
        QVERIFY(w->EF_CodListino->isVisible());
        TypeInto(w->EF_CodListino, QStringLiteral("L2-DOC"));
        TypeInto(w->EF_DescListino, QStringLiteral("Seconda copia"));
        w->PB_Ok_Input->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(Current(w.get()), QStringLiteral("L2-DOC"));
        QCOMPARE(Sql(QStringLiteral("SELECT vllistino::text || '|' || (vlmaxsconto IS NULL) || '|' "
                                    "|| (numaxpercsconto IS NULL) FROM prod_listini WHERE "
                                    "txcodlistino = 'L2-DOC'")),
                 QStringLiteral("0.00|true|true"));
        // Changing its description leaves the amount alone.
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Modifica")));
        TypeInto(w->EF_DescListino, QStringLiteral("Copia cartacea"));
        w->PB_Ok_Input->click();
        QVERIFY(env->Recorder().Requests().isEmpty());
        QCOMPARE(Sql(QStringLiteral("SELECT txdesclistino || '|' || vllistino FROM prod_listini "
                                    "WHERE txcodlistino = 'L2-DOC'")),
                 QStringLiteral("Copia cartacea|0.00"));
    }

    // "Modifica" of a list used by quotes: the fields show the list, and the saved change
    // reaches the line of the open quote (read back through the quote's own list of lines),
    // not the line of the blocked quote.
    void changeReachesOpenQuoteLines()
    {
        auto w = Open();
        QVERIFY(Select(w.get(), QStringLiteral("L1-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Modifica")));
        QCOMPARE(w->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Listino"));
        QCOMPARE(w->EF_DescListino->Text(), QStringLiteral("Esecuzione base"));
        QCOMPARE(w->EF_Listino->AsFloat(), 5700.0);
        QCOMPARE(w->EF_MaxScontoPerc->AsFloat(), 15.0);
        QVERIFY(w->EF_MaxScontoVal->IsEmpty());
        TypeInto(w->EF_DescListino, QStringLiteral("Esecuzione base 2027"));
        TypeInto(w->EF_Listino, QStringLiteral("6100"));
        w->PB_Ok_Input->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(Current(w.get()), QStringLiteral("L1-QDG"));

        auto lineOf = [this](const QString &line) {
            std::unique_ptr<TDataSet> lines = Quote(
                QStringLiteral("EXEC EstraiProdottiInPreventivo ") + SqlText(QuoteOf(line)));
            if (!lines->Locate(QStringLiteral("idPreventivoDet"), line))
                return QStringLiteral("<missing>");
            return lines->FieldByName(QStringLiteral("txDescListino")).AsString() + u'|'
                   + FormatNumber(2, lines->FieldByName(QStringLiteral("vlListino")).AsFloat());
        };
        QCOMPARE(lineOf(LineOf(QStringLiteral("L1-QDG"), false)),
                 QStringLiteral("Esecuzione base 2027|6.100,00"));
        QCOMPARE(lineOf(LineOf(QStringLiteral("L1-QDG"), true)),
                 QStringLiteral("Esecuzione base|5.700,00"));
    }

    // "Duplica listino" makes the copy the current row; "Duplica e modifica listino" opens it
    // for a change; "No" duplicates nothing.
    void duplicates()
    {
        auto w = Open();
        const QString source = ListId(QStringLiteral("L1-QDG"));
        QVERIFY(Select(w.get(), QStringLiteral("L1-QDG")));
        env->Recorder().QueueNo();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Duplica listino")));
        QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
                 QStringLiteral("Confermi duplicazione del listino selezionato ?"));
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 4);

        env->Recorder().QueueYes();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Duplica listino")));
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 5);
        const QString copy = Current(w.get(), QStringLiteral("idProdListino"));
        QVERIFY(copy != source);
        QVERIFY(!w->EditMode());
        // The copy has the source's values and quantities.
        QCOMPARE(Sql(QStringLiteral("SELECT count(*) FROM prod_list_scheda_valori WHERE "
                                    "idprodlistino = '")
                     + copy + QStringLiteral("'")),
                 QStringLiteral("3"));

        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        env->Recorder().QueueYes();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Duplica e modifica listino")));
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 6);
        QCOMPARE(w->ActivePanel(), w->PAN_Input);
        QCOMPARE(w->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Listino"));
        QCOMPARE(w->EF_MaxScontoVal->AsFloat(), 538.08);
        TypeInto(w->EF_CodListino, QStringLiteral("L2-BIS"));
        w->PB_Ok_Input->click();
        QVERIFY(!w->EditMode());
        QCOMPARE(Current(w.get()), QStringLiteral("L2-BIS"));
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    }

    // "Disattiva listino" hides the list while "Includi non attivi" is off and says so;
    // "Riattiva listino" brings it back as the current row.
    void deactivatesAndReactivates()
    {
        auto w = Open();
        w->CK_Find_IncludiCancellati->click(); // off
        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Disattiva listino")));
        QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
                 QStringLiteral("Il listino disattivato non è visibile con i filtri applicati.")
                     + kNotVisibleTail);
        QCOMPARE(Sql(QStringLiteral("SELECT txutentecanc FROM prod_listini WHERE idprodlistino = '")
                     + ListId(QStringLiteral("L2-QDG"))
                     + QStringLiteral("' AND dtcanc IS NOT NULL")),
                 QStringLiteral("ADMIN"));
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 2);

        env->Recorder().Clear();
        w->CK_Find_IncludiCancellati->click(); // on
        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Riattiva listino")));
        QVERIFY(env->Recorder().Requests().isEmpty());
        QCOMPARE(Current(w.get()), QStringLiteral("L2-QDG"));
        QVERIFY(w->DST_GRID_Listini()->FieldByName(QStringLiteral("dtCanc")).IsNull());
        QVERIFY(MenuCaptions(w->DG_Listini).contains(QStringLiteral("Disattiva listino")));
    }

    // "Elimina listino": the row shown afterwards is the next one, the previous one after the
    // last, none after the only one.
    void deleteReselects_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("afterwards"); // empty: no row
        QTest::newRow("first selects the next") << kProduct << "L0-OLD"
                                                << "L1-QDG";
        QTest::newRow("middle selects the next") << kProduct << "L2-QDG"
                                                 << "L3-QDG";
        QTest::newRow("last selects the previous") << kProduct << "L3-QDG"
                                                   << "L2-QDG";
        QTest::newRow("the only list leaves no row") << kDocProduct << "L1-DOC-CE"
                                                     << "";
    }
    void deleteReselects()
    {
        QFETCH(QString, product);
        QFETCH(QString, code);
        QFETCH(QString, afterwards);
        auto w = Open(product, product == kDocProduct);
        const int before = w->DST_GRID_Listini()->RecordCount();
        QVERIFY(Select(w.get(), code));
        env->Recorder().QueueYes();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Elimina listino")));
        QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
                 QStringLiteral("Confermi eliminazione definitiva del listino selezionato ?"));
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
        QCOMPARE(ListId(code), QString());
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), before - 1);
        QCOMPARE(Current(w.get()), afterwards);
        if (afterwards.isEmpty()) {
            QVERIFY(!w->List()->HasRows());
            QCOMPARE(MenuCaptions(w->DG_Listini), QStringList{QStringLiteral("Nuovo listino")});
        }
    }

    // A list used by quote lines is not deleted: the database's reason is shown as an error.
    void deleteOfAUsedListIsRefused()
    {
        auto w = Open();
        QVERIFY(Select(w.get(), QStringLiteral("L1-QDG")));
        env->Recorder().QueueYes();
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Elimina listino")));
        QVERIFY(env->Recorder().LastText(TDialogKind::Error).contains(QStringLiteral("utilizzato")));
        QVERIFY(!ListId(QStringLiteral("L1-QDG")).isEmpty());
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 4);
        QCOMPARE(Current(w.get()), QStringLiteral("L1-QDG"));
    }

    // The sub-paragraph tree: the list's quantity beside the product's, or the product's with
    // " (NEL PRODOTTO) " when the list sets none; a quantity changed in the panel is stored
    // and shown.
    void partQuantities()
    {
        auto w = Open();
        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini,
                           QStringLiteral("Gestione quantità presenti nei sottoparagrafi del "
                                          "prodotto")));
        QCOMPARE(w->ActivePanel(), w->PAN_DatiParti);
        QCOMPARE(w->PAN_DescListinoParti->text(),
                 QStringLiteral("Listino: \"Esecuzione rinforzata\""));
        QTreeWidgetItem *root = w->TV_Dettagli->topLevelItem(0);
        QVERIFY(root);
        QCOMPARE(root->text(0), QStringLiteral("Prodotto demo"));
        QVERIFY(PartItem(w.get(), QStringLiteral("1.  N° 3 (NEL PRODOTTO: 1) Struttura e sbarre")));
        QTreeWidgetItem *part = PartItem(w.get(),
                                         QStringLiteral("1.  N° 0 (NEL PRODOTTO) Generalità"));
        QVERIFY(part);
        QVERIFY(part->parent() && part->parent()->parent() == root);
        Grab(w.get(), QStringLiteral("prodotto_listino_parti.png"));

        // The paragraphs and the product have no menu.
        w->TV_DettagliContextMenu(w->TV_Dettagli->visualItemRect(part->parent()).center());
        QVERIFY(!w->MNU_Parte->isVisible());

        QVERIFY(EditPart(w.get(), part));
        QCOMPARE(w->EF_DescParteNodo->Text(), QStringLiteral("Generalità"));
        QCOMPARE(w->EF_NuQtaParteNodo->Text(), QStringLiteral("0"));
        TypeInto(w->EF_NuQtaParteNodo, QStringLiteral("5"));
        TypeInto(w->EF_DescParteNodo, QStringLiteral("Generalità dell'esecuzione"));
        w->PB_InputQta_Ok->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(w->ActivePanel(), w->PAN_DatiParti);
        QTreeWidgetItem *changed
            = PartItem(w.get(),
                       QStringLiteral("1.  N° 5 (NEL PRODOTTO: 0) Generalità dell'esecuzione"));
        QVERIFY(changed);
        QCOMPARE(w->TV_Dettagli->currentItem(), changed);
        QCOMPARE(StoredQuantity(QStringLiteral("L2-QDG"), QStringLiteral("Generalità")),
                 QStringLiteral("5"));

        // "Chiudi" shows the lists again on the same list.
        w->PB_ChiudiParti->click();
        QVERIFY(!w->EditMode());
        QCOMPARE(Current(w.get()), QStringLiteral("L2-QDG"));
    }

    // Whatever text reaches the quantity field (typed or pasted), only a whole number from 0
    // is sent; anything else is refused with a message, the panel stays and nothing is stored.
    void badQuantityIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("two dots") << "1.5.3";
        QTest::newRow("letters") << "abc";
        QTest::newRow("command") << "1; DROP";
        QTest::newRow("negative") << "-2";
        QTest::newRow("enormous") << "99999999999";
        QTest::newRow("decimals") << "2,5";
        QTest::newRow("empty") << "";
    }
    void badQuantityIsRefused()
    {
        QFETCH(QString, text);
        auto w = Open();
        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini,
                           QStringLiteral("Gestione quantità presenti nei sottoparagrafi del "
                                          "prodotto")));
        QTreeWidgetItem *part = PartItem(w.get(), QStringLiteral("Struttura e sbarre"));
        QVERIFY(part);
        QVERIFY(EditPart(w.get(), part));
        QCOMPARE(w->EF_NuQtaParteNodo->Text(), QStringLiteral("3"));
        w->EF_NuQtaParteNodo->SetText(text);
        w->PB_InputQta_Ok->click();
        QVERIFY(env->Recorder()
                    .LastText(TDialogKind::Error)
                    .startsWith(QStringLiteral("Quantità non valida")));
        QCOMPARE(w->ActivePanel(), w->PAN_Input_Parte);
        QCOMPARE(StoredQuantity(QStringLiteral("L2-QDG"), QStringLiteral("Struttura e sbarre")),
                 QStringLiteral("3"));
        QCOMPARE(Sql(QStringLiteral("SELECT count(*) FROM prod_listini")).toInt() > 0, true);
        // A valid number in the program's format is then accepted.
        env->Recorder().Clear();
        TypeInto(w->EF_NuQtaParteNodo, QStringLiteral("1.200"));
        w->PB_InputQta_Ok->click();
        QVERIFY(env->Recorder().Requests().isEmpty());
        QCOMPARE(StoredQuantity(QStringLiteral("L2-QDG"), QStringLiteral("Struttura e sbarre")),
                 QStringLiteral("1200"));
    }

    // A list's quantity changed in the window reaches the line of the open quote that uses the
    // list (read back through the line detail's function), not the blocked quote's line.
    void quantityReachesOpenQuoteLines()
    {
        auto w = Open();
        QVERIFY(Select(w.get(), QStringLiteral("L1-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini,
                           QStringLiteral("Gestione quantità presenti nei sottoparagrafi del "
                                          "prodotto")));
        QTreeWidgetItem *part = PartItem(w.get(), QStringLiteral("Struttura e sbarre"));
        QVERIFY(part);
        QVERIFY(EditPart(w.get(), part));
        TypeInto(w->EF_NuQtaParteNodo, QStringLiteral("7"));
        w->PB_InputQta_Ok->click();
        QVERIFY(env->Recorder().Requests().isEmpty());
        const QString partId = PartId(QStringLiteral("Struttura e sbarre"));
        auto quantity = [&](bool blocked) {
            std::unique_ptr<TDataSet> row = Quote(
                QStringLiteral("EXEC DatiPrevDetParteComp ")
                + SqlText(LineOf(QStringLiteral("L1-QDG"), blocked)) + QStringLiteral(", ")
                + SqlText(partId));
            return row->FieldByName(QStringLiteral("nuQuantitaParte")).AsInteger();
        };
        QCOMPARE(quantity(false), 7);
        QCOMPARE(quantity(true), 2);
    }

    // The data-sheet values of a list: changed values are stored and reach the open quote's
    // line; emptying every value of a sheet removes the sheet's values of the list.
    void sheetValues()
    {
        auto w = Open();
        const QString list = ListId(QStringLiteral("L1-QDG"));
        const QString sheet = Sql(
            QStringLiteral("SELECT idschedaprodotto FROM prod_schede WHERE idprodotto = '")
            + kProduct + QStringLiteral("' AND txdescschedaprodotto = 'Dati tecnici'"));
        QVERIFY(Select(w.get(), QStringLiteral("L1-QDG")));
        QVERIFY(
            ChooseMenu(w->DG_Listini, QStringLiteral("Gestione valori delle schede del prodotto")));
        QCOMPARE(w->ActivePanel(), w->PAN_DatiSchede);
        QCOMPARE(w->PAN_DescListinoSchede->text(), QStringLiteral("Listino: \"Esecuzione base\""));
        QVERIFY(w->DST_Schede()->Locate(QStringLiteral("idSchedaProdotto"), sheet));
        QCOMPARE(w->SG_Scheda->ItemCount(), 8);
        QCOMPARE(w->SG_Scheda->Value(4), QStringLiteral("IP55"));
        QCOMPARE(w->SG_Scheda->Value(0), QString());

        w->PB_ModificaScheda->click();
        QVERIFY(w->EditingValues());
        QVERIFY(!w->DG_Schede->isEnabled());
        w->SG_Scheda->SetValue(4, QStringLiteral("IP54"));
        w->SG_Scheda->SetValue(0, QStringLiteral("400 V d'esercizio"));
        Grab(w.get(), QStringLiteral("prodotto_listino_schede.png"));
        w->PB_Ok_Input_Schede->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QVERIFY(!w->EditingValues());
        const QString stored = QStringLiteral(
                                   "SELECT coalesce(string_agg(txvalorevocescheda, ',' ORDER BY "
                                   "txvalorevocescheda), '') FROM prod_list_scheda_valori WHERE "
                                   "idprodlistino = '%1' AND idschedaprodotto = '%2'")
                                   .arg(list, sheet);
        QCOMPARE(Sql(stored), QStringLiteral("400 V d'esercizio,Forma 2,IP54"));
        // The sheet stays current and shows what is stored.
        QCOMPARE(w->SG_Scheda->Value(4), QStringLiteral("IP54"));

        // The open quote's line follows the list.
        std::unique_ptr<TDataSet> line = Quote(QStringLiteral("EXEC EstraiPrevDetSchedaValori ")
                                               + SqlText(LineOf(QStringLiteral("L1-QDG"), false))
                                               + QStringLiteral(", ") + SqlText(sheet));
        QVERIFY(line->Locate(QStringLiteral("txValoreVoceScheda"), QStringLiteral("IP54")));
        QVERIFY(line->Locate(QStringLiteral("txValoreVoceScheda"),
                             QStringLiteral("400 V d'esercizio")));

        // "Elimina tutti i valori della scheda selezionata" and "Ok".
        w->PB_EliminaScheda->click();
        QVERIFY(w->EditingValues());
        QCOMPARE(w->SG_Scheda->Value(4), QString());
        w->PB_Ok_Input_Schede->click();
        QVERIFY(env->Recorder().Requests().isEmpty());
        QCOMPARE(Sql(stored), QString());
        // The other sheet keeps its value.
        QCOMPARE(Sql(QStringLiteral("SELECT count(*) FROM prod_list_scheda_valori WHERE "
                                    "idprodlistino = '")
                     + list + QStringLiteral("'")),
                 QStringLiteral("1"));

        // "Annulla" of an edit stores nothing.
        w->PB_ModificaScheda->click();
        w->SG_Scheda->SetValue(2, QStringLiteral("50 Hz"));
        w->PB_Annulla_Input_Schede->click();
        QCOMPARE(w->SG_Scheda->Value(2), QString());
        QCOMPARE(Sql(stored), QString());

        w->PB_ChiudiSchede->click();
        QVERIFY(!w->EditMode());
        QCOMPARE(Current(w.get()), QStringLiteral("L1-QDG"));
    }

    // Closing after a change makes the product list re-read its rows on the product; closing
    // after nothing leaves it alone.
    void closingAfterAChangeTellsTheProductList()
    {
        {
            auto w = Open();
            QSignalSpy spy(w.get(), &TPRODOTTO_LISTINO::PriceListsChanged);
            QVERIFY(w->close());
            QCOMPARE(spy.count(), 0);
        }
        auto w = Open();
        QSignalSpy spy(w.get(), &TPRODOTTO_LISTINO::PriceListsChanged);
        QVERIFY(Select(w.get(), QStringLiteral("L2-QDG")));
        QVERIFY(ChooseMenu(w->DG_Listini, QStringLiteral("Disattiva listino")));
        QVERIFY(w->close());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), kProduct);
    }
};

QTEST_MAIN(tst_prodotto_listino)
#include "tst_prodotto_listino.moc"
