// The node data pane of "Dettagli del prodotto" on the demo database, driven offscreen as an
// operator does: each node kind created and modified with what reaches its table, where new
// nodes go (plain insert and insert-between), the image limit, the rules of the panels, texts
// with their styles, plain-text clipboard and splitting, pictures with their preview copies,
// and failed saves that must leave nothing half-written.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprodimagepanel.h"
#include "catalogue/dettprodpanels.h"
#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtextpanel.h"
#include "catalogue/dettprodtree.h"
#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "db/dataset.h"
#include "tests/support/dettprodfixture.h"
#include "tests/support/testimages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Apostrophes, backslashes and characters outside Latin-1 in every field.
const QString kOdd = QStringLiteral("L'ingresso \\ uscita «€» ÀÈ 漢字 \"x\"");

enum TKind { kScheda, kComponente, kParte, kTabella };

} // namespace

class TestDettProdNodes : public QObject, protected TDettProdFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nodeCreatedAndModified_data();
    void nodeCreatedAndModified();
    void insertBetweenPlacesTheNode_data();
    void insertBetweenPlacesTheNode();
    void fourthImageRefusedBeforeAnyPanel();
    void paragraphDescriptionRule_data();
    void paragraphDescriptionRule();
    void subParagraphQuantity_data();
    void subParagraphQuantity();
    void subParagraphWithoutTextSavedAtOnce();
    void failedSaveKeepsTheInputAndWritesNothing();
    void richTextRoundTrip();
    void clipboardIsPlainTextOnly();
    void longTextIsStored();
    void splitTextIntoSeveral_data();
    void splitTextIntoSeveral();
    void splitRefusedLeavesEverything();
    void imagePreviewSizes_data();
    void imagePreviewSizes();
    void badPicturesLeaveTheBox_data();
    void badPicturesLeaveTheBox();
    void pictureClipboardAndAdministratorSave();
    void administratorRepairsTheTexts();
    void newUserWalkthroughShowsEachChangeInThePreview();
    void lookAtThePanels();

private:
    void MenuOnRoot(const char *action);
    template<class T>
    T *Panel(TCurrentNodeTipologia kind) const
    {
        return dynamic_cast<T *>(m_window->PAN_DatiNodo->PanelFor(kind));
    }
    QString Selected() const
    {
        TVRLDettProd *node = m_window->TV_Dettagli->CurrentNode();
        return node ? node->sIdNodo : QString();
    }
};

void TestDettProdNodes::initTestCase()
{
    PrepareHome();
}

void TestDettProdNodes::init()
{
    LogOn();
}

void TestDettProdNodes::cleanup()
{
    CloseAll();
}

void TestDettProdNodes::MenuOnRoot(const char *action)
{
    QVERIFY(m_window->PrepareTreeMenu(m_window->TV_Dettagli->RootNode()));
    m_window->MenuAction(QLatin1String(action))->trigger();
}

// --- Panels of one row ----------------------------------------------------------------------

void TestDettProdNodes::nodeCreatedAndModified_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("menuNode"); // where "Aggiungi ..." is asked ("" = the root)
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("parentColumn");
    QTest::addColumn<QString>("parent"); // description of the expected parent ("" = product)
    QTest::addColumn<QString>("stored"); // columns read back after the insert
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("modifiedStored");

    QTest::newRow("data sheet")
        << int(kScheda) << ""
        << "MNU_NewScheda"
        << "Nuova scheda"
        << "prod_schede"
        << "idschedaprodotto"
        << "idprodotto"
        << ""
        << "concat_ws('|', txdescschedaprodotto, flschedaprodottoattiva, flschedaprodottounita, "
           "txutentein)"
        << kOdd + "|0|1|MROSSI"
        << "Dati modificati|1|0";
    QTest::newRow("paragraph")
        << int(kComponente) << "Colore"
        << "MNU_NuovoComponente"
        << "Nuovo paragrafo"
        << "prod_componenti"
        << "idcompprodotto"
        << "idprodotto"
        << ""
        << "concat_ws('|', txdesccompprodotto, flcompprodottoriepilogo, flnewpagebefore, "
           "flcompprodottoattivo, txutentein)"
        << kOdd + "|1|1|0|MROSSI"
        << "Dati modificati|0|1|1";
    QTest::newRow("sub-paragraph")
        << int(kParte) << "Cablaggio"
        << "MNU_NuovaParte"
        << "Aggiungi sottoparagrafo"
        << "prod_comp_parti"
        << "idpartecomp"
        << "idcompprodotto"
        << "Caratteristiche costruttive"
        << "concat_ws('|', txdescpartecomp, coalesce(nuquantitaparte::text, 'null'), "
           "flpartecompimportante, flpartecompattiva, flpartecompunita, txutentein)"
        << kOdd + "|12|1|0|1|MROSSI"
        << "Dati modificati|null|0|1|0";
    QTest::newRow("table header")
        << int(kTabella) << "Sezioni delle sbarre"
        << "MNU_NuovaTabParte"
        << "Nuova intestazione tabella"
        << "prod_comp_parte_tab"
        << "idtabparte"
        << "idpartecomp"
        << "Struttura e sbarre"
        << "concat_ws('|', txdesctabparte, txdesccolvoce, txdesccolvalore, fltabparteattiva, "
           "txutentein)"
        << kOdd + "|" + kOdd + "|" + kOdd + "|0|MROSSI"
        << "Dati modificati|1";
}

void TestDettProdNodes::nodeCreatedAndModified()
{
    QFETCH(int, kind);
    QFETCH(QString, menuNode);
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, parentColumn);
    QFETCH(QString, parent);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QFETCH(QString, modifiedStored);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    if (menuNode.isEmpty())
        MenuOnRoot(action.toLatin1().constData());
    else
        Menu(menuNode, action.toLatin1().constData());
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(), title);
    const QString id = w->NodeContext().sIdNodo;
    QCOMPARE(id.size(), 38);

    // Defaults of a new node, then the operator's input.
    switch (TKind(kind)) {
    case kScheda: {
        auto *p = Panel<TDettProdSchedaPanel>(cnScheda);
        QVERIFY(p->CK_SchedaNodoAttiva->isChecked());
        QVERIFY(p->CK_SchedaNodoUnita->isChecked());
        p->EF_DescSchedaNodo->SetText(kOdd);
        p->CK_SchedaNodoAttiva->click();
        break;
    }
    case kComponente: {
        auto *p = Panel<TDettProdComponentePanel>(cnComponente);
        QVERIFY(p->CK_ComponenteNodoAttivo->isChecked());
        QVERIFY(!p->CK_ComponenteNodoRiepilogo->isChecked());
        QVERIFY(!p->CK_ComponenteNodoNewPageBefore->isChecked());
        p->EF_DescComponenteNodo->SetText(kOdd);
        p->CK_ComponenteNodoAttivo->click();
        // The summary brings the page break with it.
        p->CK_ComponenteNodoRiepilogo->click();
        QVERIFY(p->CK_ComponenteNodoNewPageBefore->isChecked());
        break;
    }
    case kParte: {
        auto *p = Panel<TDettProdPartePanel>(cnParte);
        QVERIFY(p->CK_ParteNodoAttiva->isChecked());
        QVERIFY(p->CK_ParteNodoUnita->isChecked());
        QVERIFY(!p->CK_ParteNodoImportante->isChecked());
        QVERIFY(p->EF_NuQtaParteNodo->Text().isEmpty());
        p->EF_DescParteNodo->SetText(kOdd);
        p->EF_NuQtaParteNodo->SetText(QStringLiteral("12"));
        p->CK_ParteNodoImportante->click();
        p->CK_ParteNodoAttiva->click();
        break;
    }
    case kTabella: {
        auto *p = Panel<TDettProdTabellaPanel>(cnParteTabella);
        QVERIFY(p->CK_TabellaNodoAttiva->isChecked());
        p->EF_DescTabellaNodo->SetText(kOdd);
        p->EF_DescTitoloVoceNodo->SetText(kOdd);
        p->EF_DescTitoloValoreNodo->SetText(kOdd);
        p->CK_TabellaNodoAttiva->click();
        break;
    }
    }
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(Super(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = '%4'").arg(stored, table, key, id)),
             expected);
    const QString expectedParent = parent.isEmpty() ? ProductId() : NodeId(parent);
    QCOMPARE(Super(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = '%4'")
                       .arg(parentColumn, table, key, id)),
             expectedParent);
    // Placed last among its siblings (positions renumbered from 1), the product marked as
    // changed, the tree selecting the new node.
    QVERIFY(Super(QStringLiteral("SELECT dtmod IS NOT NULL FROM prodotti WHERE idprodotto = '%1'")
                      .arg(ProductId()))
            == QStringLiteral("t"));
    QVERIFY(w->bChanges);
    QVERIFY(w->TV_Dettagli->FindTreeNode(id));
    if (kind == kScheda || kind == kTabella) {
        // A new data sheet or table goes on with its item grid.
        QVERIFY(w->PAN_DatiNodo->isVisible());
        QCOMPARE(w->xTipoNodeProcessing, kind == kScheda ? cnVoceScheda : cnParteVoceTabella);
        Annulla();
    }
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QCOMPARE(Selected(), id);

    // "Modifica": the stored values come back into the panel, the changes reach the row.
    w->oCurrentDettProd = w->TV_Dettagli->FindTreeNode(id)->Node();
    QVERIFY(w->PrepareTreeMenu(w->oCurrentDettProd));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QVERIFY(
        w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text().startsWith(QStringLiteral("Modifica")));
    QString modifiedColumns;
    switch (TKind(kind)) {
    case kScheda: {
        auto *p = Panel<TDettProdSchedaPanel>(cnScheda);
        QCOMPARE(p->EF_DescSchedaNodo->Text(), kOdd);
        QVERIFY(!p->CK_SchedaNodoAttiva->isChecked());
        p->EF_DescSchedaNodo->SetText(QStringLiteral("Dati modificati"));
        p->CK_SchedaNodoAttiva->click();
        p->CK_SchedaNodoUnita->click();
        modifiedColumns = QStringLiteral(
            "concat_ws('|', txdescschedaprodotto, flschedaprodottoattiva, flschedaprodottounita)");
        break;
    }
    case kComponente: {
        auto *p = Panel<TDettProdComponentePanel>(cnComponente);
        QCOMPARE(p->EF_DescComponenteNodo->Text(), kOdd);
        QVERIFY(p->CK_ComponenteNodoRiepilogo->isChecked());
        p->EF_DescComponenteNodo->SetText(QStringLiteral("Dati modificati"));
        p->CK_ComponenteNodoRiepilogo->click();
        p->CK_ComponenteNodoAttivo->click();
        modifiedColumns = QStringLiteral("concat_ws('|', txdesccompprodotto, "
                                         "flcompprodottoriepilogo, flnewpagebefore, "
                                         "flcompprodottoattivo)");
        break;
    }
    case kParte: {
        auto *p = Panel<TDettProdPartePanel>(cnParte);
        QCOMPARE(p->EF_DescParteNodo->Text(), kOdd);
        QCOMPARE(p->EF_NuQtaParteNodo->Text(), QStringLiteral("12"));
        p->EF_DescParteNodo->SetText(QStringLiteral("Dati modificati"));
        p->EF_NuQtaParteNodo->SetText(QStringLiteral("0")); // 0: no quantity
        p->CK_ParteNodoImportante->click();
        p->CK_ParteNodoAttiva->click();
        p->CK_ParteNodoUnita->click();
        modifiedColumns = QStringLiteral(
            "concat_ws('|', txdescpartecomp, coalesce(nuquantitaparte::text, 'null'), "
            "flpartecompimportante, flpartecompattiva, flpartecompunita)");
        break;
    }
    case kTabella: {
        auto *p = Panel<TDettProdTabellaPanel>(cnParteTabella);
        QCOMPARE(p->EF_DescTitoloValoreNodo->Text(), kOdd);
        p->EF_DescTabellaNodo->SetText(QStringLiteral("Dati modificati"));
        p->EF_DescTitoloVoceNodo->SetText(QString());
        p->EF_DescTitoloValoreNodo->SetText(QStringLiteral("  "));
        p->CK_TabellaNodoAttiva->click();
        // Empty titles are stored as null.
        modifiedColumns = QStringLiteral("concat_ws('|', txdesctabparte, txdesccolvoce, "
                                         "txdesccolvalore, fltabparteattiva)");
        break;
    }
    }
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QCOMPARE(Super(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = '%4'")
                       .arg(modifiedColumns, table, key, id)),
             modifiedStored);
    QCOMPARE(Super(QStringLiteral("SELECT txutentemod FROM %1 WHERE %2 = '%3'").arg(table, key, id)),
             kUser);
    QCOMPARE(Selected(), id);
}

void TestDettProdNodes::insertBetweenPlacesTheNode_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("command");   // SetOrdineNewNodo with %1 = new id, %2 = parent,
                                            // %3 = reference parent
    QTest::addColumn<QString>("parent");    // description ("" = the product)
    QTest::addColumn<QString>("refParent"); // description ("" = the product)
    QTest::addColumn<QString>("check");     // a query on the result (%1 = new id)
    QTest::addColumn<QString>("expected");

    // The third text of a sub-paragraph: the new sub-paragraph comes right after its own and
    // takes that text and the following contents with it.
    QTest::newRow("sub-paragraph at a text")
        << "CEI EN 62208 (involucri vuoti)"
        << "MNU_InserisciParte"
        << "EXEC SetOrdineNewNodo '%1', '%2', 40, 'MROSSI', '%3', 2, 3"
        << "Normative di riferimento"
        << "Norme applicate"
        << "SELECT concat_ws('|', p.nuordinepartecomp, (SELECT count(*) FROM prod_comp_parte_txt t "
           "WHERE t.idpartecomp = p.idpartecomp), (SELECT string_agg(t.txdesctxtparte, '/' ORDER "
           "BY "
           "t.nuordineparte) FROM prod_comp_parte_txt t WHERE t.idpartecomp = p.idpartecomp)) "
           "FROM prod_comp_parti p WHERE p.idpartecomp = '%1'"
        << "2|3|CEI EN 62208 (involucri vuoti)/Direttiva Bassa Tensione 2014/35/UE/Direttiva "
           "Compatibilità Elettromagnetica 2014/30/UE";
    QTest::newRow("sub-paragraph at a sub-paragraph")
        << "Cablaggio"
        << "MNU_InserisciParte"
        << "EXEC SetOrdineNewNodo '%1', '%2', 40, 'MROSSI', '%3', 2, 0"
        << "Caratteristiche costruttive"
        << "Caratteristiche costruttive"
        << "SELECT string_agg(coalesce(txdescpartecomp, '-'), '/' ORDER BY nuordinepartecomp) "
           "FROM prod_comp_parti WHERE idcompprodotto = (SELECT idcompprodotto FROM "
           "prod_comp_parti "
           "WHERE idpartecomp = '%1')"
        << "Struttura e sbarre/Nuovo/Cablaggio";
    QTest::newRow("data sheet at a paragraph")
        << "Caratteristiche costruttive"
        << "MNU_InsertScheda"
        << "EXEC SetOrdineNewNodo '%1', '%2', 10, 'MROSSI', '%3', 4, 0"
        << ""
        << ""
        << "SELECT nuordinenelprodotto FROM prod_schede WHERE idschedaprodotto = '%1'"
        << "4";
    QTest::newRow("paragraph at a data sheet")
        << "Dati di targa"
        << "MNU_InsertComponente"
        << "EXEC SetOrdineNewNodo '%1', '%2', 30, 'MROSSI', '%3', 2, 0"
        << ""
        << ""
        << "SELECT nuordinenelprodotto FROM prod_componenti WHERE idcompprodotto = '%1'"
        << "2";
}

void TestDettProdNodes::insertBetweenPlacesTheNode()
{
    QFETCH(QString, reference);
    QFETCH(QString, action);
    QFETCH(QString, command);
    QFETCH(QString, parent);
    QFETCH(QString, refParent);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    // The bullet texts of "Norme applicate" carry the norm as description.
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString refId = Super(
        QStringLiteral("SELECT idnodo FROM prodotti_nodi WHERE idprodotto = "
                       "'%1' AND txdescnodo LIKE '%2%%' LIMIT 1")
            .arg(ProductId(), reference));
    TDettProdTreeItem *item = w->TV_Dettagli->FindTreeNode(refId);
    QVERIFY2(item, qPrintable(reference));
    QVERIFY(w->PrepareTreeMenu(item->Node()));
    w->MenuAction(action)->trigger();
    QVERIFY(w->PAN_DatiNodo->isVisible());
    const TDettProdNodeContext &c = w->NodeContext();
    const QString parentId = parent.isEmpty() ? ProductId() : NodeId(parent);
    const QString refParentId = refParent.isEmpty() ? ProductId() : NodeId(refParent);
    QCOMPARE(SetOrdineNewNodoText(c), command.arg(c.sIdNodo, parentId, refParentId));
    const QString id = c.sIdNodo;
    if (auto *p = Panel<TDettProdPartePanel>(cnParte); p && c.xTipoNode == cnParte) {
        QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(),
                 QStringLiteral("Inserisci sottoparagrafo"));
        p->EF_DescParteNodo->SetText(QStringLiteral("Nuovo"));
    } else if (c.xTipoNode == cnScheda) {
        QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(),
                 QStringLiteral("Inserisci scheda"));
        Panel<TDettProdSchedaPanel>(cnScheda)->EF_DescSchedaNodo->SetText(QStringLiteral("Nuova"));
    }
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(Super(check.arg(id)), expected);
    QVERIFY(w->TV_Dettagli->FindTreeNode(id));
}

void TestDettProdNodes::fourthImageRefusedBeforeAnyPanel()
{
    // "Generalità" holds one image; a second and a third are accepted.
    const QString parte = NodeId(QStringLiteral("Generalità"));
    Super(QStringLiteral("INSERT INTO images_dettagli (idimage) VALUES ('{00000000-0000-0000-"
                         "0000-000000000061}')"));
    Super(QStringLiteral("INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, "
                         "nuordineparte, txdescimgparte) VALUES ('{00000000-0000-0000-0000-"
                         "000000000061}', '{00000000-0000-0000-0000-000000000061}', '%1', 9, "
                         "'Seconda')")
              .arg(parte));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QCOMPARE(w->CountImages(parte), 2);
    Menu(QStringLiteral("Generalità"), "MNU_NuovaImmagineParte");
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuova immagine"));
    Panel<TDettProdImagePanel>(cnParteImmagine)->EF_DescImageNodo->SetText(QStringLiteral("Terza"));
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(w->CountImages(parte), 3);
    // The fourth, asked on one of the sub-paragraph's texts: refused before anything opens.
    const QString text = Super(QStringLiteral("SELECT idtxtparte FROM prod_comp_parte_txt WHERE "
                                              "idpartecomp = '%1' LIMIT 1")
                                   .arg(parte));
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(text)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovaImmagineParte"))->trigger();
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral("Impossibile continuare, hai raggiunto il\r\nmassimo numero di "
                            "immagini per sottoparagrafo.\r\n\r\nInserire prima un nuovo "
                            "sottoparagrafo."));
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(w->PAN_Dettagli->isEnabled());
    QCOMPARE(w->xTipoOp, coGENNone);
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_img WHERE idpartecomp = "
                                  "'%1'")
                       .arg(parte)),
             QStringLiteral("3"));
}

void TestDettProdNodes::paragraphDescriptionRule_data()
{
    QTest::addColumn<bool>("summary");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("not in the summary") << false << true;
    QTest::newRow("in the summary") << true << false;
}

void TestDettProdNodes::paragraphDescriptionRule()
{
    QFETCH(bool, summary);
    QFETCH(bool, accepted);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString before = Super(QStringLiteral("SELECT count(*) FROM prod_componenti"));
    MenuOnRoot("MNU_NuovoComponente");
    auto *p = Panel<TDettProdComponentePanel>(cnComponente);
    p->EF_DescComponenteNodo->SetText(QStringLiteral("   "));
    p->CK_ComponenteNodoRiepilogo->setChecked(summary);
    Ok();
    if (accepted) {
        QCOMPARE(m_dialogs->Count(TDialogKind::Warning), 0);
        QVERIFY(!w->PAN_DatiNodo->isVisible());
        QCOMPARE(Super(
                     QStringLiteral("SELECT txdesccompprodotto IS NULL FROM prod_componenti WHERE "
                                    "idcompprodotto = '%1'")
                         .arg(w->sLastId)),
                 QStringLiteral("t"));
        // Its caption in the tree says it has none.
        QVERIFY(w->TV_Dettagli->FindTreeNode(w->sLastId)
                    ->text(0)
                    .endsWith(QStringLiteral("(Paragrafo senza descrizione)")));
    } else {
        QCOMPARE(m_dialogs->LastText(TDialogKind::Warning),
                 QStringLiteral("Descrizione paragrafo obbligatoria se impostato \"Utilizza nel "
                                "riepilogo prodotto\"."));
        QVERIFY(w->PAN_DatiNodo->isVisible());
        QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_componenti")), before);
    }
}

void TestDettProdNodes::subParagraphQuantity_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("captionHasQuantity");
    QTest::newRow("none") << ""
                          << "null" << false;
    QTest::newRow("zero") << "0"
                          << "null" << false;
    QTest::newRow("three") << "3"
                           << "3" << true;
}

void TestDettProdNodes::subParagraphQuantity()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, captionHasQuantity);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Garanzia e assistenza"), "MNU_NuovaParte");
    auto *p = Panel<TDettProdPartePanel>(cnParte);
    p->EF_DescParteNodo->SetText(QStringLiteral("Ricambi"));
    p->EF_NuQtaParteNodo->SetText(typed);
    Ok();
    QCOMPARE(Super(QStringLiteral("SELECT coalesce(nuquantitaparte::text, 'null') FROM "
                                  "prod_comp_parti WHERE idpartecomp = '%1'")
                       .arg(w->sLastId)),
             stored);
    const QString caption = w->TV_Dettagli->FindTreeNode(w->sLastId)->text(0);
    QCOMPARE(caption.contains(QStringLiteral("N°")), captionHasQuantity);
}

void TestDettProdNodes::subParagraphWithoutTextSavedAtOnce()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString comp = NodeId(QStringLiteral("Descrizione generale"));
    // Asked on a text of the paragraph's second sub-paragraph: it goes into the paragraph.
    const QString text = Super(QStringLiteral("SELECT t.idtxtparte FROM prod_comp_parte_txt t "
                                              "WHERE t.idpartecomp = '%1' LIMIT 1")
                                   .arg(NodeId(QStringLiteral("Componentistica"))));
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(text)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovaParteEmpty"))->trigger();
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(w->PAN_Dettagli->isEnabled());
    QCOMPARE(m_dialogs->Requests().size(), 0);
    QCOMPARE(Super(QStringLiteral("SELECT concat_ws('|', idcompprodotto, nuordinepartecomp, "
                                  "txdescpartecomp IS NULL, nuquantitaparte IS NULL, "
                                  "flpartecompattiva, flpartecompunita, flpartecompimportante) "
                                  "FROM prod_comp_parti WHERE idpartecomp = '%1'")
                       .arg(w->sLastId)),
             comp + QStringLiteral("|3|t|t|1|1|0"));
    QCOMPARE(Selected(), w->sLastId);
    QVERIFY(w->bChanges);
}

void TestDettProdNodes::failedSaveKeepsTheInputAndWritesNothing()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Cablaggio"), "MNU_NuovaParte");
    auto *p = Panel<TDettProdPartePanel>(cnParte);
    p->EF_DescParteNodo->SetText(kOdd);
    const QString changedBefore = Super(
        QStringLiteral("SELECT coalesce(dtmod::text, '') FROM prodotti WHERE idprodotto = '%1'")
            .arg(ProductId()));
    // Another operator removes the paragraph meanwhile: the row cannot be written.
    Super(QStringLiteral("DELETE FROM prod_componenti WHERE idcompprodotto = '%1'")
              .arg(NodeId(QStringLiteral("Caratteristiche costruttive"))));
    Ok();
    const QString error = m_dialogs->LastText(TDialogKind::Error);
    QVERIFY2(error.startsWith(QStringLiteral("Errore creazione nuovo sottoparagrafo (ERR.G13)."
                                             "\r\n\r\n(")),
             qPrintable(error));
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(p->EF_DescParteNodo->Text(), kOdd);
    QVERIFY(w->PAN_DatiNodo->PB_Ok_Input->isEnabled());
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parti WHERE idpartecomp = '%1'")
                       .arg(w->NodeContext().sIdNodo)),
             QStringLiteral("0"));
    QCOMPARE(Super(QStringLiteral("SELECT coalesce(dtmod::text, '') FROM prodotti WHERE "
                                  "idprodotto = '%1'")
                       .arg(ProductId())),
             changedBefore);
    // A failure after the row (the place of the new node) takes the row back with it: a sheet
    // whose product is gone cannot be placed.
    Annulla();
    MenuOnRoot("MNU_NewScheda");
    Panel<TDettProdSchedaPanel>(cnScheda)->EF_DescSchedaNodo->SetText(QStringLiteral("Scheda"));
    const QString sheet = w->NodeContext().sIdNodo;
    Super(
        QStringLiteral("CREATE FUNCTION pg_temp_blocca() RETURNS trigger LANGUAGE plpgsql AS $$ "
                       "BEGIN RAISE EXCEPTION 'Ordine non impostabile.'; END $$; "
                       "CREATE TRIGGER blocca BEFORE UPDATE OF nuordinenelprodotto ON prod_schede "
                       "FOR EACH ROW EXECUTE FUNCTION pg_temp_blocca();"));
    Ok();
    QVERIFY2(m_dialogs->LastText(TDialogKind::Error)
                 .startsWith(QStringLiteral("Errore impostazione ordine nuovo inserimento "
                                            "(ERR.G23).")),
             qPrintable(m_dialogs->LastText(TDialogKind::Error)));
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_schede WHERE idschedaprodotto = '%1'")
                       .arg(sheet)),
             QStringLiteral("0"));
}

// --- Texts ----------------------------------------------------------------------------------

void TestDettProdNodes::richTextRoundTrip()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Condizioni"), "MNU_NuovoTestoParte");
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo testo"));
    QVERIFY(p->CK_TestoNodoAttivo->isChecked());
    QVERIFY(!p->CK_TestoNodoInElenco->isChecked());
    QTest::keyClicks(p->RE_ParteTxt, QStringLiteral("uno due tre quattro cinque"));
    // One word per style, the fifth bold and italic and then without any style.
    const struct
    {
        int from, to;
        QPushButton *button;
    } marks[] = {{0, 3, p->PB_ParteTxt_Bold},
                 {4, 7, p->PB_ParteTxt_Italic},
                 {8, 11, p->PB_ParteTxt_Underline},
                 {12, 19, p->PB_ParteTxt_StrikeOut},
                 {20, 26, p->PB_ParteTxt_Bold},
                 {20, 26, p->PB_ParteTxt_Italic},
                 {20, 26, p->PB_ParteTxt_Normale}};
    for (const auto &m : marks) {
        QTextCursor c = p->RE_ParteTxt->textCursor();
        c.setPosition(m.from);
        c.setPosition(m.to, QTextCursor::KeepAnchor);
        p->RE_ParteTxt->setTextCursor(c);
        QTest::mouseClick(m.button, Qt::LeftButton);
    }
    // Bold and italic add up on the same word.
    {
        QTextCursor c = p->RE_ParteTxt->textCursor();
        c.setPosition(1);
        QVERIFY(c.charFormat().fontWeight() == QFont::Bold);
    }
    p->CK_TestoNodoInElenco->click();
    Ok();
    const QString id = w->sLastId;
    QCOMPARE(Super(QStringLiteral("SELECT concat_ws('|', txdesctxtparte, fltestoinelenco, "
                                  "fltxtparteattiva, left(txdesctxtpartertf, 5)) FROM "
                                  "prod_comp_parte_txt WHERE idtxtparte = '%1'")
                       .arg(id)),
             QStringLiteral("uno due tre quattro cinque|1|1|{\\rtf"));
    // Read back into the editor: every style where it was put.
    w->oCurrentDettProd = w->TV_Dettagli->FindTreeNode(id)->Node();
    QVERIFY(w->PrepareTreeMenu(w->oCurrentDettProd));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica testo"));
    QCOMPARE(p->RE_ParteTxt->toPlainText(), QStringLiteral("uno due tre quattro cinque"));
    const auto format = [p](int position) {
        QTextCursor c(p->RE_ParteTxt->document());
        c.setPosition(position);
        return c.charFormat();
    };
    QVERIFY(format(2).fontWeight() == QFont::Bold);
    QVERIFY(!format(2).fontItalic());
    QVERIFY(format(6).fontItalic());
    QVERIFY(format(6).fontWeight() != QFont::Bold);
    QVERIFY(format(10).fontUnderline());
    QVERIFY(format(15).fontStrikeOut());
    QVERIFY(!format(15).fontUnderline());
    const QTextCharFormat plain = format(24);
    QVERIFY(plain.fontWeight() != QFont::Bold);
    QVERIFY(!plain.fontItalic() && !plain.fontUnderline() && !plain.fontStrikeOut());
    QVERIFY(p->CK_TestoNodoInElenco->isChecked());
}

void TestDettProdNodes::clipboardIsPlainTextOnly()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Condizioni"), "MNU_NuovoTestoParte");
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b style=\"font-size:40pt;color:red\">Grande</b> <i>rosso</i>"));
    mime->setText(QStringLiteral("Grande rosso"));
    QApplication::clipboard()->setMimeData(mime);
    p->RE_ParteTxt->setFocus();
    // Ctrl+V and Shift+Ins do nothing.
    QTest::keyClick(p->RE_ParteTxt, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(p->RE_ParteTxt, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(p->RE_ParteTxt->toPlainText(), QString());
    // "Incolla" brings the plain text, in the editor's own format.
    QTest::mouseClick(p->PB_ParteTxt_Paste, Qt::LeftButton);
    QCOMPARE(p->RE_ParteTxt->toPlainText(), QStringLiteral("Grande rosso"));
    QTextCursor c(p->RE_ParteTxt->document());
    c.setPosition(2);
    QVERIFY(c.charFormat().fontWeight() != QFont::Bold);
    QVERIFY(c.charFormat().foreground().color() != QColor(Qt::red));
    QVERIFY(!p->RE_ParteTxt->toHtml().contains(QStringLiteral("40pt")));
    // "Copia" and "Taglia": plain text of the selection.
    QTextCursor sel = p->RE_ParteTxt->textCursor();
    sel.setPosition(0);
    sel.setPosition(6, QTextCursor::KeepAnchor);
    p->RE_ParteTxt->setTextCursor(sel);
    QTest::mouseClick(p->PB_ParteTxt_Bold, Qt::LeftButton);
    QTest::mouseClick(p->PB_ParteTxt_Copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Grande"));
    QVERIFY(!QApplication::clipboard()->mimeData()->hasHtml());
    QApplication::clipboard()->clear();
    sel.setPosition(7);
    sel.setPosition(12, QTextCursor::KeepAnchor);
    p->RE_ParteTxt->setTextCursor(sel);
    QTest::mouseClick(p->PB_ParteTxt_Cut, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("rosso"));
    QCOMPARE(p->RE_ParteTxt->toPlainText(), QStringLiteral("Grande "));
}

void TestDettProdNodes::longTextIsStored()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Condizioni"), "MNU_NuovoTestoParte");
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    QString text;
    while (text.size() < 100000)
        text += kOdd + QLatin1Char(' ');
    text.truncate(100000);
    p->RE_ParteTxt->setPlainText(text);
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(Super(QStringLiteral("SELECT length(txdesctxtparte) FROM prod_comp_parte_txt WHERE "
                                  "idtxtparte = '%1'")
                       .arg(w->sLastId)),
             QStringLiteral("100000"));
    QCOMPARE(Super(QStringLiteral("SELECT txdesctxtparte = '%1' FROM prod_comp_parte_txt WHERE "
                                  "idtxtparte = '%2'")
                       .arg(QString(text).replace(QLatin1Char('\''), QStringLiteral("''")),
                            w->sLastId)),
             QStringLiteral("t"));
}

void TestDettProdNodes::splitTextIntoSeveral_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<bool>("bulleted");
    QTest::newRow("new text into a bulleted list") << false << true;
    QTest::newRow("text modified into several texts") << true << false;
}

void TestDettProdNodes::splitTextIntoSeveral()
{
    QFETCH(bool, modify);
    QFETCH(bool, bulleted);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString parte = NodeId(QStringLiteral("Condizioni"));
    const QString first = Super(QStringLiteral("SELECT idtxtparte FROM prod_comp_parte_txt WHERE "
                                               "idpartecomp = '%1' ORDER BY nuordineparte LIMIT 1")
                                    .arg(parte));
    if (modify) {
        QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(first)->Node()));
        w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    } else {
        Menu(QStringLiteral("Condizioni"), "MNU_NuovoTestoParte");
    }
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    // Five lines, two of them empty (one only blanks).
    p->RE_ParteTxt->setPlainText(QStringLiteral("Prima voce\n\n  Seconda l'altra  \n   \nTerza"));
    m_dialogs->QueueYes();
    QTest::mouseClick(bulleted ? p->PB_ParteTxt_Trasf_Elenco : p->PB_ParteTxt_Trasf_Elenco_NoPuntato,
                      Qt::LeftButton);
    const QList<TDialogRequest> questions = m_dialogs->RequestsOf(TDialogKind::Question);
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions.at(0).text.startsWith(QStringLiteral("Nota bene:\r\n\r\n")));
    QVERIFY(
        questions.at(0).text.endsWith(QStringLiteral("Confermi la trasformazione richiesta ?")));
    QCOMPARE(questions.at(0).text.contains(QStringLiteral("diventerrano le voci")), bulleted);
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(p->RE_ParteTxt->lineWrapMode() == QTextEdit::WidgetWidth);
    // The texts of the sub-paragraph: the three lines where the text was (modified) or after
    // the two texts already there (new).
    const QString expected = modify ? QStringLiteral("Prima voce/Seconda l'altra/Terza/Assistenza")
                                    : QStringLiteral("Garanzia/Assistenza/Prima voce/Seconda "
                                                     "l'altra/Terza");
    QCOMPARE(Super(QStringLiteral("SELECT string_agg(CASE WHEN txdesctxtparte LIKE 'Garanzia%%' "
                                  "THEN 'Garanzia' WHEN txdesctxtparte LIKE 'Assistenza%%' THEN "
                                  "'Assistenza' ELSE txdesctxtparte END, '/' ORDER BY "
                                  "nuordineparte) FROM prod_comp_parte_txt WHERE idpartecomp = "
                                  "'%1'")
                       .arg(parte)),
             expected);
    QCOMPARE(Super(QStringLiteral("SELECT string_agg(DISTINCT fltestoinelenco::text, ',') FROM "
                                  "prod_comp_parte_txt WHERE idpartecomp = '%1' AND "
                                  "txdesctxtparte IN ('Prima voce', 'Terza')")
                       .arg(parte)),
             bulleted ? QStringLiteral("1") : QStringLiteral("0"));
    // The tree selects the first new text.
    QCOMPARE(Selected(),
             Super(QStringLiteral("SELECT idtxtparte FROM prod_comp_parte_txt WHERE "
                                  "txdesctxtparte = 'Prima voce'")));
}

void TestDettProdNodes::splitRefusedLeavesEverything()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Condizioni"), "MNU_NuovoTestoParte");
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    p->RE_ParteTxt->setPlainText(QStringLiteral("Uno\nDue"));
    const QString before = Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_txt"));
    m_dialogs->QueueNo();
    QTest::mouseClick(p->PB_ParteTxt_Trasf_Elenco, Qt::LeftButton);
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QVERIFY(p->RE_ParteTxt->lineWrapMode() == QTextEdit::WidgetWidth);
    QCOMPARE(p->RE_ParteTxt->toPlainText(), QStringLiteral("Uno\nDue"));
    // Answered yes, but the sub-paragraph is gone meanwhile: nothing is written.
    Super(QStringLiteral("DELETE FROM prod_comp_parti WHERE idpartecomp = '%1'")
              .arg(NodeId(QStringLiteral("Condizioni"))));
    const QString after = Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_txt"));
    m_dialogs->QueueYes();
    QTest::mouseClick(p->PB_ParteTxt_Trasf_Elenco, Qt::LeftButton);
    QVERIFY(m_dialogs->LastText(TDialogKind::Error)
                .startsWith(QStringLiteral("Errore trasformazione testo in elenco puntato "
                                           "(ERR.G25).")));
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_txt")), after);
    QVERIFY(before != after); // the deletion took the sub-paragraph's texts with it
}

// --- Images ---------------------------------------------------------------------------------

void TestDettProdNodes::imagePreviewSizes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<bool>("sameBytes");
    QTest::newRow("landscape 1200 x 800") << 1200 << 800 << QSize(302, 201) << false;
    QTest::newRow("portrait 500 x 1000") << 500 << 1000 << QSize(151, 302) << false;
    QTest::newRow("small 300 x 200") << 300 << 200 << QSize(300, 200) << true;
}

void TestDettProdNodes::imagePreviewSizes()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, preview);
    QFETCH(bool, sameBytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("foto.png"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(testimages::Encoded(width, height, QColor(20, 120, 200)));
    }
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Condizioni"), "MNU_NuovaImmagineParte");
    auto *p = Panel<TDettProdImagePanel>(cnParteImmagine);
    QVERIFY(p->Picture().isNull());
    m_dialogs->QueueAnswer(true, path);
    QTest::mouseClick(p->PB_CaricaImmagine, Qt::LeftButton);
    QCOMPARE(m_dialogs->RequestsOf(TDialogKind::OpenFile).at(0).directory, ProgramFolder());
    QCOMPARE(p->Picture().size(), QSize(width, height));
    p->EF_DescImageNodo->SetText(kOdd);
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    const QString id = w->sLastId;
    QCOMPARE(Super(QStringLiteral("SELECT concat_ws('|', idimage = idimgparte, txdescimgparte) "
                                  "FROM prod_comp_parte_img WHERE idimgparte = '%1'")
                       .arg(id)),
             QStringLiteral("t|") + kOdd);
    // The image is stored as JPEG, the preview in the box of 80 x 80 mm.
    const QByteArray image = QByteArray::fromHex(
        Super(QStringLiteral("SELECT encode(imgimage, 'hex') FROM images_dettagli WHERE idimage = "
                             "'%1'")
                  .arg(id))
            .toLatin1());
    const QByteArray previewBytes = QByteArray::fromHex(
        Super(QStringLiteral("SELECT encode(imgpreview, 'hex') FROM images_dettagli_preview WHERE "
                             "idimage = '%1'")
                  .arg(id))
            .toLatin1());
    QVERIFY(image.startsWith("\xFF\xD8"));
    QCOMPARE(QImage::fromData(image).size(), QSize(width, height));
    QCOMPARE(QImage::fromData(previewBytes).size(), preview);
    QCOMPARE(previewBytes == image, sameBytes);
    // The folder of the picture is remembered for the next search.
    QCOMPARE(IniReadText(QStringLiteral("SETTINGS"),
                         QStringLiteral("FrmDettProd_PathImmagine"),
                         QString(),
                         SessionInfo().sUserSettingsFile),
             dir.path());
    // "Modifica" shows the stored picture; "Rimuovi" and "Ok" empty both rows.
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(id)->Node()));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    QCOMPARE(p->Picture().size(), QSize(width, height));
    QTest::mouseClick(p->PB_EliminaImmagine, Qt::LeftButton);
    Ok();
    QCOMPARE(Super(QStringLiteral("SELECT concat_ws('|', i.imgimage IS NULL, p.imgpreview IS NULL) "
                                  "FROM images_dettagli i JOIN images_dettagli_preview p USING "
                                  "(idimage) WHERE i.idimage = '%1'")
                       .arg(id)),
             QStringLiteral("t|t"));
}

void TestDettProdNodes::badPicturesLeaveTheBox_data()
{
    QTest::addColumn<QString>("source"); // "file", "missing", "clipboard", "empty clipboard"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind"); // TDialogKind of the message
    QTest::newRow("text file") << "file" << QByteArray("non sono un'immagine")
                               << int(TDialogKind::Error);
    QTest::newRow("damaged picture")
        << "file" << testimages::Truncated(testimages::Encoded(400, 300, Qt::red, "JPEG"), 0.1)
        << int(TDialogKind::Error);
    QTest::newRow("huge picture") << "file" << testimages::GreyJpeg(10000, 10000) << -1;
    QTest::newRow("missing file") << "missing" << QByteArray() << int(TDialogKind::Error);
    QTest::newRow("clipboard without picture")
        << "clipboard" << QByteArray() << int(TDialogKind::Warning);
}

void TestDettProdNodes::badPicturesLeaveTheBox()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("immagine.jpg"));
    if (source == QLatin1String("file")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    // "Vista frontale" holds a picture.
    Menu(QStringLiteral("Vista frontale"), "MNU_ModificaNodo");
    auto *p = Panel<TDettProdImagePanel>(cnParteImmagine);
    const QSize stored = p->Picture().size();
    QVERIFY(!stored.isEmpty());
    if (source == QLatin1String("clipboard")) {
        QApplication::clipboard()->setText(QStringLiteral("testo"));
        QTest::mouseClick(p->PB_IncollaImmagine, Qt::LeftButton);
    } else {
        m_dialogs->QueueAnswer(true, path);
        QTest::mouseClick(p->PB_CaricaImmagine, Qt::LeftButton);
    }
    if (kind == -1) {
        // A huge picture arrives reduced to the size pictures are kept at.
        QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
        QCOMPARE(p->Picture().size(), QSize(4000, 4000));
        return;
    }
    QCOMPARE(m_dialogs->Count(TDialogKind(kind)), 1);
    if (source == QLatin1String("missing"))
        QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
                 QStringLiteral("L'immagine con il nome impostato non esiste nel percorso "
                                "selezionato."));
    QCOMPARE(p->Picture().size(), stored);
    QVERIFY(!p->PictureChanged());
}

void TestDettProdNodes::pictureClipboardAndAdministratorSave()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Vista frontale"), "MNU_ModificaNodo");
    auto *p = Panel<TDettProdImagePanel>(cnParteImmagine);
    QVERIFY(!p->PB_SalvaImmagine->isVisible()); // administrators only
    const QSize stored = p->Picture().size();
    // "Copia" puts the picture on the clipboard; "Incolla" brings a picture from it.
    QTest::mouseClick(p->PB_CopiaImmagine, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->image().size(), stored);
    QImage other(64, 48, QImage::Format_RGB32);
    other.fill(Qt::darkGreen);
    QApplication::clipboard()->setImage(other);
    QTest::mouseClick(p->PB_IncollaImmagine, Qt::LeftButton);
    QCOMPARE(p->Picture().size(), QSize(64, 48));
    QVERIFY(p->PictureChanged());
    QTest::mouseClick(w->PAN_DatiNodo->PB_Annulla_Input, Qt::LeftButton);
    // An administrator saves the picture to a file and sees it in the file manager.
    SessionInfo().bAdministrator = true;
    Menu(QStringLiteral("Vista frontale"), "MNU_ModificaNodo");
    QVERIFY(p->PB_SalvaImmagine->isVisible());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vista.png"));
    m_dialogs->QueueAnswer(true, path);
    QTest::mouseClick(p->PB_SalvaImmagine, Qt::LeftButton);
    QCOMPARE(QImage(path).size(), stored);
    QCOMPARE(m_dialogs->LastText(TDialogKind::ShowInFileBrowser), path);
    QCOMPARE(IniReadText(QStringLiteral("SETTINGS"),
                         QStringLiteral("FrmDettProd_PathSaveImmagine"),
                         QString(),
                         SessionInfo().sUserSettingsFile),
             dir.path());
}

void TestDettProdNodes::administratorRepairsTheTexts()
{
    // A text pasted long ago in another font, centred and large.
    const QString text = Super(QStringLiteral("SELECT idtxtparte FROM prod_comp_parte_txt WHERE "
                                              "idpartecomp = '%1' ORDER BY nuordineparte LIMIT 1")
                                   .arg(NodeId(QStringLiteral("Condizioni"))));
    Super(QStringLiteral("UPDATE prod_comp_parte_txt SET txdesctxtpartertf = '{\\rtf1\\ansi"
                         "{\\fonttbl{\\f0 Courier New;}}\\qc\\f0\\fs48 Testo "
                         "\\b grosso\\b0\\par}', txdesctxtparte = 'x' WHERE idtxtparte = "
                         "'%1'")
              .arg(text));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QVERIFY(!w->PB_Patch->isVisible()); // operators do not see it
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SessionInfo().bAdministrator = true;
    w = Open();
    QVERIFY(w->PB_Patch->isVisible());
    QCOMPARE(w->PB_Patch->text(), QStringLiteral("Patch01"));
    QTest::mouseClick(w->PB_Patch, Qt::LeftButton);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Info), QStringLiteral("Patch terminata."));
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    const QString rtf = Super(
        QStringLiteral("SELECT txdesctxtpartertf FROM prod_comp_parte_txt WHERE idtxtparte = '%1'")
            .arg(text));
    QVERIFY2(rtf.contains(QStringLiteral("Arial")) && rtf.contains(QStringLiteral("\\fs26"))
                 && !rtf.contains(QStringLiteral("\\qc"))
                 && !rtf.contains(QStringLiteral("\\fs48")),
             qPrintable(rtf));
    QVERIFY(rtf.contains(QStringLiteral("\\b")));
    QCOMPARE(Super(QStringLiteral("SELECT txdesctxtparte FROM prod_comp_parte_txt WHERE idtxtparte "
                                  "= '%1'")
                       .arg(text)),
             QStringLiteral("Testo grosso"));
    // Every text holds its plain text next to the rich one.
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_txt WHERE "
                                  "txdesctxtpartertf NOT LIKE '%%Arial%%'")),
             QStringLiteral("0"));
}

void TestDettProdNodes::newUserWalkthroughShowsEachChangeInThePreview()
{
    QTemporaryDir pictures;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << pictures.filePath(QStringLiteral("foto%1.jpg").arg(i));
        QFile f(files.last());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(testimages::Encoded(640 + 100 * i, 480, QColor(40 * i, 90, 160), "JPEG"));
    }
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    QVERIFY(w->PAN_Preview->HasPreview());
    // Each saved change is in the preview, on a page of its own node.
    const auto shown = [w](const QString &id) {
        w->RunPendingPreview();
        return w->PAN_Preview->isVisible() && w->PAN_Preview->PageOfNode(id) > 0;
    };
    MenuOnRoot("MNU_NuovoComponente");
    Panel<TDettProdComponentePanel>(cnComponente)
        ->EF_DescComponenteNodo->SetText(QStringLiteral("Accessori a richiesta"));
    Ok();
    const QString comp = w->sLastId;
    QVERIFY(shown(comp));
    w->oCurrentDettProd = w->TV_Dettagli->FindTreeNode(comp)->Node();
    QVERIFY(w->PrepareTreeMenu(w->oCurrentDettProd));
    w->MenuAction(QStringLiteral("MNU_NuovaParte"))->trigger();
    Panel<TDettProdPartePanel>(cnParte)->EF_DescParteNodo->SetText(QStringLiteral("Zoccolo"));
    Ok();
    const QString parte = w->sLastId;
    QVERIFY(shown(parte));
    // A formatted text.
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovoTestoParte"))->trigger();
    auto *text = Panel<TDettProdTextPanel>(cnParteTesto);
    QTest::keyClicks(text->RE_ParteTxt, QStringLiteral("Zoccolo in acciaio verniciato"));
    QTextCursor c = text->RE_ParteTxt->textCursor();
    c.setPosition(0);
    c.setPosition(7, QTextCursor::KeepAnchor);
    text->RE_ParteTxt->setTextCursor(c);
    text->Bold();
    Ok();
    QVERIFY(shown(w->sLastId));
    // Three images, then no fourth.
    for (const QString &file : files) {
        QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
        w->MenuAction(QStringLiteral("MNU_NuovaImmagineParte"))->trigger();
        m_dialogs->QueueAnswer(true, file);
        QTest::mouseClick(Panel<TDettProdImagePanel>(cnParteImmagine)->PB_CaricaImmagine,
                          Qt::LeftButton);
        Ok();
        QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    }
    QCOMPARE(w->CountImages(parte), 3);
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovaImmagineParte"))->trigger();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    // A table with its items.
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovaTabParte"))->trigger();
    auto *table = Panel<TDettProdTabellaPanel>(cnParteTabella);
    table->EF_DescTabellaNodo->SetText(QStringLiteral("Altezze"));
    table->EF_DescTitoloVoceNodo->SetText(QStringLiteral("Modello"));
    table->EF_DescTitoloValoreNodo->SetText(QStringLiteral("Altezza"));
    Ok();
    const QString tab = w->NodeContext().sIdOwner;
    QVERIFY(w->PAN_DatiNodo->isVisible()); // its items follow
    Ok();
    QVERIFY(shown(tab));
    // A text split into a bulleted list.
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(parte)->Node()));
    w->MenuAction(QStringLiteral("MNU_NuovoTestoParte"))->trigger();
    text->RE_ParteTxt->setPlainText(QStringLiteral("Altezza 100 mm\nAltezza 200 mm"));
    m_dialogs->QueueYes();
    QTest::mouseClick(text->PB_ParteTxt_Trasf_Elenco, Qt::LeftButton);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(shown(Selected()));
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parte_txt WHERE idpartecomp = "
                                  "'%1' AND fltestoinelenco = 1")
                       .arg(parte)),
             QStringLiteral("2"));
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
}

void TestDettProdNodes::lookAtThePanels()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR");
    const struct
    {
        const char *node;
        const char *action;
        const char *file;
    } shots[] = {{"Dati tecnici", "MNU_ModificaNodo", "pannello_scheda"},
                 {"Descrizione generale", "MNU_ModificaNodo", "pannello_paragrafo"},
                 {"Struttura e sbarre", "MNU_ModificaNodo", "pannello_sottoparagrafo"},
                 {"Vista frontale", "MNU_ModificaNodo", "pannello_immagine"},
                 {"Sezioni delle sbarre", "MNU_ModificaNodo", "pannello_tabella"},
                 {"Colore", "MNU_ModificaNodo", "griglia_voci_scheda"},
                 {"Sezioni delle sbarre", "MNU_NuovaVoceTabParte", "griglia_voci_tabella"}};
    for (const auto &s : shots) {
        Menu(QLatin1String(s.node), s.action);
        QVERIFY2(w->PAN_DatiNodo->isVisible(), s.file);
        QApplication::processEvents();
        const QImage image = w->grab().toImage();
        QVERIFY(!image.isNull());
        if (!dir.isEmpty())
            image.save(dir + QLatin1Char('/') + QLatin1String(s.file) + QStringLiteral(".png"));
        Annulla();
    }
    // A text with its styles.
    const QString text = Super(QStringLiteral("SELECT idtxtparte FROM prod_comp_parte_txt WHERE "
                                              "idpartecomp = '%1' LIMIT 1")
                                   .arg(NodeId(QStringLiteral("Generalità"))));
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(text)->Node()));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    auto *p = Panel<TDettProdTextPanel>(cnParteTesto);
    QTextCursor c = p->RE_ParteTxt->textCursor();
    c.setPosition(0);
    c.setPosition(10, QTextCursor::KeepAnchor);
    p->RE_ParteTxt->setTextCursor(c);
    p->Bold();
    QApplication::processEvents();
    const QImage image = w->grab().toImage();
    QVERIFY(!image.isNull());
    if (!dir.isEmpty())
        image.save(dir + QStringLiteral("/pannello_testo.png"));
}

QTEST_MAIN(TestDettProdNodes)
#include "tst_dettprodnodes.moc"
