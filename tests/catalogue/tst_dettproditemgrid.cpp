// The item grids of "Dettagli del prodotto" on the demo database, driven offscreen: the items
// of a data sheet or table edited in place, dragged, added, cleared and removed, and written
// back by "Ok" with their positions 1..n; stored positions with gaps and repeats; the keys; the
// active flag; a new data sheet going on with its items; a failed save.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettproditemgrid.h"
#include "catalogue/dettprodpanels.h"
#include "catalogue/dettprodtree.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "tests/support/dettprodfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

class TestDettProdItemGrid : public QObject, protected TDettProdFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dragRemoveAndAddThenSave();
    void onlyItemIsNeverDeleted();
    void storedPositionsWithGapsAndRepeats();
    void emptyRows_data();
    void emptyRows();
    void enterMovesOnAndAddsRows();
    void activeFlagPerItem();
    void newDataSheetGoesOnWithItsItems();
    void failedSaveKeepsTheGrid();

private:
    TDettProdItemGridPanel *Grid(bool table) const
    {
        return dynamic_cast<TDettProdItemGridPanel *>(
            m_window->PAN_DatiNodo->PanelFor(table ? cnParteVoceTabella : cnVoceScheda));
    }
    QLineEdit *Editor(TDettProdItemGridPanel *grid) const
    {
        for (QLineEdit *e : grid->SG_Grid->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Drags the row by its number (0-based rows) and drops it on another one.
    void Drag(TDettProdItemGridPanel *grid, int from, int to);
    QStringList Column(int row, TDettProdItemGridPanel *grid, int column) const;
    // "position:text" of the items of a data sheet, in stored order.
    QString SheetItems(const QString &sheet) const
    {
        return Super(QStringLiteral("SELECT string_agg(nuordinevocescheda || ':' || "
                                    "txdescvocescheda, '/' ORDER BY nuordinevocescheda) FROM "
                                    "prod_scheda_voci WHERE idschedaprodotto = '%1'")
                         .arg(sheet));
    }
    QString TableItems(const QString &table) const
    {
        return Super(QStringLiteral("SELECT string_agg(nuordinevocetab || ':' || txdesccolvoce || "
                                    "'=' || coalesce(txdesccolvalore, ''), '/' ORDER BY "
                                    "nuordinevocetab) FROM prod_comp_parte_tab_voci WHERE "
                                    "idtabparte = '%1'")
                         .arg(table));
    }
};

void TestDettProdItemGrid::initTestCase()
{
    PrepareHome();
}

void TestDettProdItemGrid::init()
{
    LogOn();
}

void TestDettProdItemGrid::cleanup()
{
    CloseAll();
}

void TestDettProdItemGrid::Drag(TDettProdItemGridPanel *grid, int from, int to)
{
    QTableWidget *sg = grid->SG_Grid;
    const QPoint start = sg->visualItemRect(sg->item(from, 0)).center();
    const QPoint end = sg->visualItemRect(sg->item(to, 0)).center();
    QTest::mousePress(sg->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(sg->viewport(), end);
    QTest::mouseRelease(sg->viewport(), Qt::LeftButton, {}, end);
}

QStringList TestDettProdItemGrid::Column(int, TDettProdItemGridPanel *grid, int column) const
{
    QStringList cells;
    for (int r = 0; r < grid->RowCount(); ++r)
        cells << grid->CellText(r, column);
    return cells;
}

void TestDettProdItemGrid::dragRemoveAndAddThenSave()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString sheet = NodeId(QStringLiteral("Dati di targa"));
    Menu(QStringLiteral("Tipo"), "MNU_ModificaNodo");
    auto *g = Grid(false);
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(),
             QStringLiteral("Gestione voci della scheda"));
    QVERIFY(!w->PAN_Status->isEnabled());
    QCOMPARE(Column(0, g, 1),
             QStringList({"Costruttore", "Tipo", "Anno di costruzione", "Norma di riferimento"}));
    // The item of the menu is selected.
    QCOMPARE(g->SG_Grid->currentRow(), 1);
    QCOMPARE(g->SG_Grid->currentColumn(), 1);
    // Row 3 of 4 dragged to the top: numbers 1..n again, the dropped row selected.
    Drag(g, 2, 0);
    QCOMPARE(Column(0, g, 1),
             QStringList({"Anno di costruzione", "Costruttore", "Tipo", "Norma di riferimento"}));
    QCOMPARE(Column(0, g, 0), QStringList({"1", "2", "3", "4"}));
    QCOMPARE(g->SG_Grid->currentRow(), 0);
    // "Tipo" removed, "Peso" added and typed.
    g->SG_Grid->setCurrentCell(2, 1);
    QTest::mouseClick(g->PB_EliminaRiga, Qt::LeftButton);
    QCOMPARE(g->SG_Grid->currentRow(), 2);
    QTest::mouseClick(g->PB_NuovaRiga, Qt::LeftButton);
    QLineEdit *editor = Editor(g);
    QVERIFY(editor);
    editor->insert(QStringLiteral("Peso l'unità"));
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QCOMPARE(SheetItems(sheet),
             QStringLiteral("1:Anno di costruzione/2:Costruttore/3:Norma di riferimento/4:Peso "
                            "l'unità"));
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_scheda_voci WHERE idschedaprodotto = "
                                  "'%1' AND txutentein = 'MROSSI' AND dtin > now() - interval '1 "
                                  "hour'")
                       .arg(sheet)),
             QStringLiteral("1"));
    // The tree shows the owner selected, with the items in their new order.
    QCOMPARE(w->TV_Dettagli->CurrentNode()->sIdNodo, sheet);
    QVERIFY(w->bChanges);
}

void TestDettProdItemGrid::onlyItemIsNeverDeleted()
{
    const QString table = NodeId(QStringLiteral("Sezioni delle sbarre"));
    Super(QStringLiteral("DELETE FROM prod_comp_parte_tab_voci WHERE idtabparte = '%1' AND "
                         "nuordinevocetab > 1")
              .arg(table));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Sezioni delle sbarre"), "MNU_ModificaNodo");
    // "Modifica" on the table opens its header; on its one item, the grid in edit at once.
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(),
             QStringLiteral("Modifica intestazione tabella"));
    QTest::mouseClick(w->PAN_DatiNodo->PB_Annulla_Input, Qt::LeftButton);
    const QString item = Super(
        QStringLiteral("SELECT idtabvoce FROM prod_comp_parte_tab_voci WHERE idtabparte = '%1'")
            .arg(table));
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->FindTreeNode(item)->Node()));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    auto *g = Grid(true);
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(),
             QStringLiteral("Gestione voci della tabella "));
    QCOMPARE(g->SG_Grid->columnCount(), 3);
    QVERIFY(Editor(g)); // editing at once
    QTest::mouseClick(g->PB_EliminaRiga, Qt::LeftButton);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Info),
             QStringLiteral("Almeno una voce deve essere presente.\r\n\r\nCancellazione non "
                            "effettuata."));
    QCOMPARE(g->RowCount(), 1);
    QCOMPARE(g->CellText(0, 1), QStringLiteral("630 A"));
}

void TestDettProdItemGrid::storedPositionsWithGapsAndRepeats()
{
    // Positions 7, 7 and -2: every item shown, in stored order, none lost or overwritten.
    const QString table = NodeId(QStringLiteral("Sezioni delle sbarre"));
    Super(QStringLiteral("UPDATE prod_comp_parte_tab_voci SET nuordinevocetab = CASE "
                         "txdesccolvoce WHEN '630 A' THEN 7 WHEN '1250 A' THEN 7 ELSE -2 END "
                         "WHERE idtabparte = '%1'")
              .arg(table));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Sezioni delle sbarre"), "MNU_NuovaVoceTabParte");
    auto *g = Grid(true);
    // Insert mode: the items, then a new row being typed.
    QCOMPARE(g->RowCount(), 4);
    QCOMPARE(Column(0, g, 0), QStringList({"1", "2", "3", "4"}));
    const QStringList first3 = Column(0, g, 1).mid(0, 3);
    QCOMPARE(first3.at(2), QStringLiteral("2500 A"));
    QVERIFY(first3.contains(QStringLiteral("630 A")) && first3.contains(QStringLiteral("1250 A")));
    QCOMPARE(g->SG_Grid->currentRow(), 3);
    QVERIFY(Editor(g));
    QTest::keyClicks(Editor(g), QStringLiteral("4000 A"));
    QTest::keyClick(Editor(g), Qt::Key_Return);
    QApplication::processEvents();
    QVERIFY(Editor(g)); // on to the value
    QCOMPARE(g->SG_Grid->currentColumn(), 2);
    QTest::keyClicks(Editor(g), QStringLiteral("4 x 100 x 10 mm"));
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(TableItems(table),
             QStringLiteral("1:%1/2:%2/3:2500 A=3 x 100 x 10 mm/4:4000 A=4 x 100 x 10 mm")
                 .arg(first3.at(0) == QStringLiteral("630 A")
                          ? QStringLiteral("630 A=40 x 10 mm")
                          : QStringLiteral("1250 A=2 x 60 x 10 mm"),
                      first3.at(0) == QStringLiteral("630 A")
                          ? QStringLiteral("1250 A=2 x 60 x 10 mm")
                          : QStringLiteral("630 A=40 x 10 mm")));
}

void TestDettProdItemGrid::emptyRows_data()
{
    QTest::addColumn<bool>("emptyLast");
    QTest::newRow("empty last row") << true;
    QTest::newRow("empty row in the middle") << false;
}

void TestDettProdItemGrid::emptyRows()
{
    QFETCH(bool, emptyLast);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString sheet = NodeId(QStringLiteral("Dati di targa"));
    Menu(QStringLiteral("Dati di targa"), "MNU_NewSchedaVoce");
    auto *g = Grid(false);
    QCOMPARE(g->RowCount(), 5); // a new row after the four items
    QCOMPARE(g->SG_Grid->currentRow(), 4);
    if (!emptyLast) {
        QTest::keyClicks(Editor(g), QStringLiteral("Matricola"));
        QTest::keyClick(Editor(g), Qt::Key_Return);
        QApplication::processEvents();
        // Enter on the last row added another one; "Pulisci" empties row 2.
        QCOMPARE(g->RowCount(), 6);
        g->SG_Grid->setCurrentCell(1, 1);
        QTest::mouseClick(g->PB_PulisciRiga, Qt::LeftButton);
        QCOMPARE(g->CellText(1, 1), QString());
    }
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(SheetItems(sheet),
             emptyLast ? QStringLiteral("1:Costruttore/2:Tipo/3:Anno di costruzione/4:Norma di "
                                        "riferimento")
                       : QStringLiteral("1:Costruttore/2:/3:Anno di costruzione/4:Norma di "
                                        "riferimento/5:Matricola"));
}

void TestDettProdItemGrid::enterMovesOnAndAddsRows()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Tipo"), "MNU_ModificaNodo");
    auto *g = Grid(false);
    // Enter in a row that is not the last: the next row.
    g->SG_Grid->editItem(g->SG_Grid->item(1, 1));
    QVERIFY(Editor(g));
    QTest::keyClick(Editor(g), Qt::Key_Return);
    QApplication::processEvents();
    QCOMPARE(g->SG_Grid->currentRow(), 2);
    QCOMPARE(g->RowCount(), 4);
    // Esc closes the editor and keeps the text.
    g->SG_Grid->editItem(g->SG_Grid->item(2, 1));
    QTest::keyClicks(Editor(g), QStringLiteral("XX"));
    QTest::keyClick(Editor(g), Qt::Key_Escape);
    QApplication::processEvents();
    QVERIFY(!Editor(g));
    QCOMPARE(g->CellText(2, 1), QStringLiteral("Anno di costruzione"));
    // Enter in the last row: a new row being typed.
    g->SG_Grid->setCurrentCell(3, 1);
    g->SG_Grid->editItem(g->SG_Grid->item(3, 1));
    QTest::keyClick(Editor(g), Qt::Key_Return);
    QApplication::processEvents();
    QCOMPARE(g->RowCount(), 5);
    QCOMPARE(g->SG_Grid->currentRow(), 4);
    QVERIFY(Editor(g));
}

void TestDettProdItemGrid::activeFlagPerItem()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    Menu(QStringLiteral("Costruttore"), "MNU_ModificaNodo");
    auto *g = Grid(false);
    QCOMPARE(g->CK_VoceNodoAttiva->text(), QStringLiteral("Voce scheda attiva"));
    QVERIFY(g->CK_VoceNodoAttiva->isChecked());
    QTest::mouseClick(g->CK_VoceNodoAttiva,
                      Qt::LeftButton,
                      {},
                      QPoint(8, g->CK_VoceNodoAttiva->height() / 2));
    QVERIFY(!g->CK_VoceNodoAttiva->isChecked());
    QCOMPARE(g->SG_Grid->currentRow(), 0);
    QVERIFY(!g->RowRecord(0)->bAttivo);
    QVERIFY(g->RowRecord(1)->bAttivo);
    // Selecting another row shows its flag.
    g->SG_Grid->setCurrentCell(1, 1);
    QVERIFY(g->CK_VoceNodoAttiva->isChecked());
    g->SG_Grid->setCurrentCell(0, 1);
    QVERIFY(!g->CK_VoceNodoAttiva->isChecked());
    Ok();
    QCOMPARE(Super(QStringLiteral("SELECT string_agg(flvoceschedaattiva::text, '' ORDER BY "
                                  "nuordinevocescheda) FROM prod_scheda_voci WHERE "
                                  "idschedaprodotto = '%1'")
                       .arg(NodeId(QStringLiteral("Dati di targa")))),
             QStringLiteral("0111"));
}

void TestDettProdItemGrid::newDataSheetGoesOnWithItsItems()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->RootNode()));
    w->MenuAction(QStringLiteral("MNU_NewScheda"))->trigger();
    auto *sheetPanel = dynamic_cast<TDettProdSchedaPanel *>(w->PAN_DatiNodo->PanelFor(cnScheda));
    sheetPanel->EF_DescSchedaNodo->SetText(QStringLiteral("Ingombri"));
    Ok();
    const QString sheet = w->sLastId;
    // The grid of the new sheet: one empty item ready for typing.
    QVERIFY(w->PAN_DatiNodo->isVisible());
    auto *g = Grid(false);
    QCOMPARE(g->RowCount(), 1);
    for (const char *text : {"Altezza", "Larghezza", "Profondità", "Peso", "Base"}) {
        QVERIFY(Editor(g));
        Editor(g)->insert(QString::fromUtf8(text));
        QTest::keyClick(Editor(g), Qt::Key_Return);
        QApplication::processEvents();
    }
    QCOMPARE(g->RowCount(), 6);
    // Reordered by dragging: "Base" to the top, "Peso" after "Altezza".
    Drag(g, 4, 0);
    Drag(g, 4, 2);
    Ok();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(SheetItems(sheet), QStringLiteral("1:Base/2:Altezza/3:Peso/4:Larghezza/5:Profondità"));
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QCOMPARE(w->TV_Dettagli->CurrentNode()->sIdNodo, sheet);
}

void TestDettProdItemGrid::failedSaveKeepsTheGrid()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString sheet = NodeId(QStringLiteral("Dati di targa"));
    Menu(QStringLiteral("Tipo"), "MNU_NewSchedaVoce");
    auto *g = Grid(false);
    QTest::keyClicks(Editor(g), QStringLiteral("Nuova"));
    g->CommitOpenEditor();
    Drag(g, 3, 0);
    // Another operator deletes the data sheet meanwhile.
    Super(QStringLiteral("DELETE FROM prod_schede WHERE idschedaprodotto = '%1'").arg(sheet));
    Ok();
    const QString error = m_dialogs->LastText(TDialogKind::Error);
    QVERIFY2(error.startsWith(QStringLiteral("Errore "))
                 && error.contains(QStringLiteral("voce scheda (ERR.G")),
             qPrintable(error));
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(Column(0, g, 1),
             QStringList(
                 {"Norma di riferimento", "Costruttore", "Tipo", "Anno di costruzione", "Nuova"}));
    QVERIFY(w->PAN_DatiNodo->PB_Ok_Input->isEnabled());
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_scheda_voci WHERE txdescvocescheda = "
                                  "'Nuova'")),
             QStringLiteral("0"));
}

QTEST_MAIN(TestDettProdItemGrid)
#include "tst_dettproditemgrid.moc"
