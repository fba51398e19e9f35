// "Prodotti collegati" on the demo database, driven offscreen: the links of a product in their
// order, the candidate search with its filters kept in the settings file, a candidate linked,
// a link dragged to a new position, removed and marked as accessory, the preview of a linked
// product, and what the product list is told at the close.

#include "tests/support/masterdataenv.h"
#include "tests/support/programfolder.h"
#include "tests/support/windowtest.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/catalogueopeners.h"
#include "catalogue/linkedgrid.h"
#include "catalogue/prodotti_linked.h"
#include "catalogue/prodotto_listino.h"
#include "catalogue/productpreview.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/formats.h"
#include "common/windowregistry.h"
#include "controls/tkrtgrid.h"
#include "db/dataset.h"
#include "reports/krtviewreport.h"
#include "reports/reportpage.h"
#include "reports/view_report.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTreeWidget>

#include <memory>

namespace {

const QString kZero = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

TVIEW_REPORT *OpenPreview()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *v = qobject_cast<TVIEW_REPORT *>(w); v && v->isVisible())
            return v;
    }
    return nullptr;
}

void SendMouse(QWidget *target, QEvent::Type type, const QPoint &pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type,
                      QPointF(pos),
                      target->mapToGlobal(QPointF(pos)),
                      Qt::LeftButton,
                      buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// The operator's drag of a row of the linked grid onto another row.
void Drag(TLinkedGrid *grid, int fromPosition, int toPosition)
{
    QWidget *port = grid->viewport();
    const QPoint from = grid->visualItemRect(grid->item(fromPosition - 1, 1)).center();
    const QPoint to = grid->visualItemRect(grid->item(toPosition - 1, 1)).center();
    SendMouse(port, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(port, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    SendMouse(port, QEvent::MouseMove, to, Qt::LeftButton);
    SendMouse(port, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

} // namespace

class tst_prodotti_linked : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMasterDataEnvironment> env;

    QString Sql(const QString &q) { return env->Super(q); }
    QString ProductId(const QString &code)
    {
        return Sql(QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '") + code
                   + QStringLiteral("'"));
    }
    // The product's links as stored: "position:code:accessory" in position order.
    QString StoredLinks(const QString &code)
    {
        return Sql(
            QStringLiteral(
                "SELECT coalesce(string_agg(c.nuordinecollegamento || ':' || p.txcodprodotto "
                "|| ':' || c.flaccessorio, ' ' ORDER BY c.nuordinecollegamento), '') FROM "
                "prod_collegati c JOIN prodotti p ON p.idprodotto = c.idprodcollegato "
                "WHERE c.idprodotto = '")
            + ProductId(code) + QStringLiteral("'"));
    }
    // The grid's links: "position:code" from the top, read from the products' texts.
    QString ShownLinks(TPRODOTTI_LINKED *w)
    {
        QStringList shown;
        for (int p = 1; p <= w->SG_Linked->LinkCount(); ++p) {
            const QString id = w->SG_Linked->Link(p)->sIdProdotto;
            shown << QString::number(p) + u':'
                         + Sql(QStringLiteral(
                                   "SELECT txcodprodotto FROM prodotti WHERE idprodotto = '")
                               + id + QStringLiteral("'"));
        }
        return shown.join(u' ');
    }
    QString CurrentCode(TPRODOTTI_LINKED *w)
    {
        const TVRLLinkedProd *link = w->SG_Linked->CurrentLink();
        return link ? Sql(QStringLiteral("SELECT txcodprodotto FROM prodotti WHERE idprodotto = '")
                          + link->sIdProdotto + QStringLiteral("'"))
                    : QString();
    }

    std::unique_ptr<TPRODOTTI_LINKED> Open(const QString &code, bool current = true)
    {
        auto w = std::make_unique<TPRODOTTI_LINKED>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->resize(1300, 700);
        const bool doc = Sql(QStringLiteral(
                                 "SELECT fldocumentazione FROM prodotti WHERE txcodprodotto = '")
                             + code + QStringLiteral("'"))
                         == QLatin1String("1");
        w->ShowCatalogues(current);
        w->Start(ProductId(code), QStringLiteral("Prodotto ") + code, doc);
        w->show();
        QCoreApplication::processEvents();
        return w;
    }
    static bool SelectCandidate(TPRODOTTI_LINKED *w, const QString &code)
    {
        TDataSet *ds = w->DST_GRID_Prodotti();
        return ds && ds->Locate(QStringLiteral("txCodProdotto"), code);
    }

private Q_SLOTS:
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<TVIEW_REPORT *>(w))
                w->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        env.reset();
    }

    // The links in their order, the first one current with its accessory flag; the candidate
    // grid is empty until a search.
    void showsTheLinksInTheirOrder()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Prodotti collegati a: \"Prodotto QDG-100\""));
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("N° prodotti collegati: 3"));
        QCOMPARE(ShownLinks(w.get()), QStringLiteral("1:ACC-ZOC 2:ACC-VEN 3:DOC-CE"));
        QVERIFY(w->SG_Linked->ProductText(3).contains(QStringLiteral("CONFORMITÀ CE")));
        QCOMPARE(w->SG_Linked->horizontalHeaderItem(1)->text(), QStringLiteral("Prodotto"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 1);
        QVERIFY(w->CK_Accessorio->isVisible());
        QVERIFY(w->CK_Accessorio->isChecked());
        // Selecting a row shows its flag, and that is no change of the flag.
        w->SG_Linked->SetCurrentPosition(3);
        QVERIFY(!w->CK_Accessorio->isChecked());
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")),
                 QStringLiteral("1:ACC-ZOC:1 2:ACC-VEN:1 3:DOC-CE:0"));
        QVERIFY(w->DST_GRID_Prodotti());
        QCOMPARE(w->DST_GRID_Prodotti()->RecordCount(), 0);
        QVERIFY(w->grab().save(QDir::temp().filePath(QStringLiteral("prodotti_linked.png"))));
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // A product without links: count 0, no header, no rows, no accessory box; removing,
    // previewing and the box do nothing. A documentation product searches documentation only.
    void documentationWithoutLinks()
    {
        auto w = Open(QStringLiteral("DOC-CE"));
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("N° prodotti collegati: 0"));
        QCOMPARE(w->SG_Linked->LinkCount(), 0);
        QVERIFY(w->SG_Linked->horizontalHeader()->isHidden());
        QVERIFY(!w->CK_Accessorio->isVisible());
        w->PB_Rimuovi->click();
        w->PB_Stampa->click();
        w->CK_AccessorioClick();
        QVERIFY(!OpenPreview());
        QVERIFY(env->Recorder().Requests().isEmpty());
        QCOMPARE(StoredLinks(QStringLiteral("DOC-CE")), QString());

        for (QCheckBox *box : {w->CK_Find_Prodotti, w->CK_Find_Accessori, w->CK_Find_Documentazioni})
            QVERIFY(!box->isEnabled());
        QVERIFY(!w->CK_Find_Prodotti->isChecked());
        QVERIFY(!w->CK_Find_Accessori->isChecked());
        QVERIFY(w->CK_Find_Documentazioni->isChecked());
        w->PB_EstraiElenco->click();
        TDataSet *ds = w->DST_GRID_Prodotti();
        QCOMPARE(ds->RecordCount(), 3); // the other three documentation products
        QCOMPARE(ds->CountMatching(QStringLiteral("flDocumentazione = 1")), 3);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
                 QStringLiteral(" N° documentazioni: 3 "));
        // "Azzera filtri" checks all three, which stay disabled.
        w->PB_AzzeraFiltri->click();
        for (QCheckBox *box :
             {w->CK_Find_Prodotti, w->CK_Find_Accessori, w->CK_Find_Documentazioni}) {
            QVERIFY(box->isChecked());
            QVERIFY(!box->isEnabled());
        }
    }

    // The search's command from the filters, as the settings file restores them; the filters
    // are written back by the search.
    void searchFollowsTheSavedFilters_data()
    {
        QTest::addColumn<QStringList>("settings"); // key=value, without the prefix
        QTest::addColumn<QString>("typed");        // typed into the search text before the search
        QTest::addColumn<QString>("arguments");    // after the product id
        QTest::addColumn<QString>("sort");
        QTest::newRow("nothing saved: as after Azzera filtri")
            << QStringList{} << "" << (QStringLiteral("'") + kZero + "', 0, null, 0, 1, 1, 1")
            << "dtMod DESC, dtIn DESC";
        QTest::newRow("no catalogue key: every other key ignored")
            << QStringList{"DescProdotto=xyz", "NotUsedInPrev=SI", "OrdinaRecenti=NO"} << ""
            << (QStringLiteral("'") + kZero + "', 0, null, 0, 1, 1, 1") << "dtMod DESC, dtIn DESC";
        QTest::newRow("catalogue and boxes restored")
            << QStringList{"KeyFornitore={AD327025-BA14-5DAC-889D-DF89435C1CEF}",
                           "NuAnnoFornitore=2026",
                           "DescProdotto=quadro",
                           "OrdinaRecenti=NO",
                           "NotUsedInPrev=SI",
                           "EstraiProdotti=SI",
                           "EstraiAccessori=NO",
                           "EstraiDocumentazioni=si"}
            << ""
            << "'{AD327025-BA14-5DAC-889D-DF89435C1CEF}', 2026, 'quadro', 1, 1, 0, 0"
            << "txDescProdotto";
        QTest::newRow("a year not all digits: no such catalogue, the first stays")
            << QStringList{"KeyFornitore={AD327025-BA14-5DAC-889D-DF89435C1CEF}",
                           "NuAnnoFornitore=20x6"}
            << "" << (QStringLiteral("'") + kZero + "', 0, null, 1, 1, 1, 1")
            << "dtMod DESC, dtIn DESC";
        QTest::newRow("blanks only: no text")
            << QStringList{} << "   " << (QStringLiteral("'") + kZero + "', 0, null, 0, 1, 1, 1")
            << "dtMod DESC, dtIn DESC";
        QTest::newRow("runs of blanks collapsed, apostrophes doubled")
            << QStringList{} << "quadro   d'angolo"
            << (QStringLiteral("'") + kZero + "', 0, 'quadro d''angolo', 0, 1, 1, 1")
            << "dtMod DESC, dtIn DESC";
    }
    void searchFollowsTheSavedFilters()
    {
        QFETCH(QStringList, settings);
        QFETCH(QString, typed);
        QFETCH(QString, arguments);
        QFETCH(QString, sort);
        for (const QString &s : settings)
            env->SetSetting(QStringLiteral("FrmProdLinked_") + s.section(u'=', 0, 0),
                            s.section(u'=', 1));
        auto w = Open(QStringLiteral("QDG-100"));
        if (!typed.isEmpty())
            TypeInto(w->EF_Find_DescProdotto, typed);
        w->PB_EstraiElenco->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(env->LastCommand(),
                 QStringLiteral("EXEC EstraiProdottiNotLinked  1, '") + w->IdProdotto()
                     + QStringLiteral("', ") + arguments);
        QCOMPARE(w->DST_GRID_Prodotti()->Sort(), sort);
        // Written back as searched.
        QCOMPARE(env->Setting(QStringLiteral("FrmProdLinked_KeyFornitore")),
                 w->DCB_Find_Fornitore->IdFornitore());
        QCOMPARE(env->Setting(QStringLiteral("FrmProdLinked_NotUsedInPrev")),
                 w->CK_Find_NotUsedInPrev->isChecked() ? QStringLiteral("SI")
                                                       : QStringLiteral("NO"));
        QCOMPARE(env->Setting(QStringLiteral("FrmProdLinked_DescProdotto")),
                 w->EF_Find_DescProdotto->Text());
    }

    // The candidates: active products of the catalogue that are neither the product itself
    // nor linked to it, counted by kind in the status line.
    void candidatesAreTheProductsNotLinked()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        w->PB_EstraiElenco->click();
        TDataSet *ds = w->DST_GRID_Prodotti();
        const QString expected = Sql(QStringLiteral(
            "SELECT count(*) FROM prodotti p WHERE p.flprodottoattivo = 1 AND p.txcodprodotto NOT "
            "IN ('QDG-100', 'ACC-ZOC', 'ACC-VEN', 'DOC-CE')"));
        QCOMPARE(QString::number(ds->RecordCount()), expected);
        for (const char *code : {"QDG-100", "ACC-ZOC", "ACC-VEN", "DOC-CE"})
            QVERIFY(!SelectCandidate(w.get(), QString::fromLatin1(code)));
        auto count = [this](const char *where) {
            return Sql(QStringLiteral("SELECT count(*) FROM prodotti p WHERE p.flprodottoattivo = "
                                      "1 AND p.txcodprodotto NOT IN ('QDG-100', 'ACC-ZOC', "
                                      "'ACC-VEN', 'DOC-CE') AND ")
                       + QLatin1String(where));
        };
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
                 QStringLiteral(" N° prodotti: %1, accessori: %2, documentazioni: %3 ")
                     .arg(count("flaccessorio = 0 AND fldocumentazione = 0"),
                          count("flaccessorio = 1"),
                          count("fldocumentazione = 1")));
        QVERIFY(
            w->grab().save(QDir::temp().filePath(QStringLiteral("prodotti_linked_search.png"))));
        // The menu of a candidate.
        const QStringList menu = MenuCaptions(w->DG_Prodotti);
        QCOMPARE(menu,
                 (QStringList{QStringLiteral("Collega prodotto selezionato"),
                              QStringLiteral("-"),
                              QStringLiteral("Anteprima stampa prodotto")}));
    }

    // A search the database refuses (the product was deleted meanwhile by another operator):
    // the window's message, and no candidate of the earlier search is left to be linked.
    void refusedSearchLeavesNoCandidates()
    {
        auto w = Open(QStringLiteral("DOC-COL"));
        w->PB_EstraiElenco->click();
        QVERIFY(w->DST_GRID_Prodotti()->RecordCount() > 0);
        Sql(QStringLiteral("DELETE FROM prodotti WHERE txcodprodotto = 'DOC-COL'; SELECT 1"));
        w->PB_EstraiElenco->click();
        QVERIFY2(env->Recorder()
                     .LastText(TDialogKind::Error)
                     .startsWith(QStringLiteral("Errore estrazione elenco prodotti (ERR.K05).")
                                 + LineBreaks(2)),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QVERIFY(!w->Candidates()->HasRows());
        env->Recorder().Clear();
        w->PB_Aggiungi->click();
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // The candidates' look: documentation bold purple, accessories bold blue, products black;
    // rows white and grey by turns.
    void candidateRowColours()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        w->PB_EstraiElenco->click();
        TDataSet *ds = w->DST_GRID_Prodotti();
        const struct
        {
            const char *code;
            QColor colour;
            bool bold;
        } cases[] = {{"QDG-110", Qt::black, false},
                     {"ACC-ILL", QColor(0x00, 0x00, 0xFF), true},
                     {"DOC-MAN", QColor(0x80, 0x00, 0x80), true}};
        for (const auto &c : cases) {
            int row = -1;
            const int code = ds->FieldIndex(QStringLiteral("txCodProdotto"));
            for (int r = 0; r < ds->RecordCount(); ++r)
                if (ds->ValueAt(r, code).toString() == QLatin1String(c.code))
                    row = r;
            QVERIFY2(row >= 0, c.code);
            TKRTDrawCellArgs args;
            args.Row = row;
            args.DataCol = w->DG_Prodotti->ColumnIndexByFieldName(QStringLiteral("txProdotto"));
            args.Font = w->DG_Prodotti->font();
            w->DG_Prodotti->OnDrawColumnCell(w->DG_Prodotti, args);
            QCOMPARE(args.FontColor, c.colour);
            QCOMPARE(args.Font.bold(), c.bold);
            QCOMPARE(args.Background, row % 2 == 0 ? QColor(Qt::white) : QColor(0xF0, 0xF0, 0xF0));
        }
    }

    // "Aggiungi ai collegati" appends the candidate at the end as the current link; the search
    // runs again without it.
    void addsACandidate()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        w->PB_EstraiElenco->click();
        QVERIFY(SelectCandidate(w.get(), QStringLiteral("ACC-ILL")));
        w->PB_Aggiungi->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")),
                 QStringLiteral("1:ACC-ZOC:1 2:ACC-VEN:1 3:DOC-CE:0 4:ACC-ILL:1"));
        QCOMPARE(ShownLinks(w.get()), QStringLiteral("1:ACC-ZOC 2:ACC-VEN 3:DOC-CE 4:ACC-ILL"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 4);
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("N° prodotti collegati: 4"));
        QVERIFY(!SelectCandidate(w.get(), QStringLiteral("ACC-ILL")));
        // Through the candidate's menu as well.
        QVERIFY(SelectCandidate(w.get(), QStringLiteral("DOC-MAN")));
        QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Collega prodotto selezionato")));
        QCOMPARE(CurrentCode(w.get()), QStringLiteral("DOC-MAN"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 5);
        QVERIFY(!w->CK_Accessorio->isChecked());
        // Without candidates nothing is added.
        w->EF_Find_DescProdotto->SetText(QStringLiteral("nessun prodotto si chiama così"));
        w->PB_EstraiElenco->click();
        QCOMPARE(w->DST_GRID_Prodotti()->RecordCount(), 0);
        w->PB_Aggiungi->click();
        QCOMPARE(w->SG_Linked->LinkCount(), 5);
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // A row dragged to another position: the database renumbers 1..n and the moved link stays
    // current.
    void dragMovesALink_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("order");
        QTest::newRow("first to last") << 1 << 3 << "1:ACC-VEN 2:DOC-CE 3:ACC-ZOC";
        QTest::newRow("last to first") << 3 << 1 << "1:DOC-CE 2:ACC-ZOC 3:ACC-VEN";
        QTest::newRow("down by one") << 1 << 2 << "1:ACC-VEN 2:ACC-ZOC 3:DOC-CE";
        QTest::newRow("up by one") << 3 << 2 << "1:ACC-ZOC 2:DOC-CE 3:ACC-VEN";
    }
    void dragMovesALink()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, order);
        auto w = Open(QStringLiteral("QDG-100"));
        QSignalSpy changed(w.get(), &TPRODOTTI_LINKED::LinksChanged);
        const QString moved = w->SG_Linked->Link(from)->sIdProdotto;
        Drag(w->SG_Linked, from, to);
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(ShownLinks(w.get()), order);
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")).remove(QRegularExpression(":[01](?= |$)")),
                 order);
        QCOMPARE(w->SG_Linked->CurrentLink()->sIdProdotto, moved);
        QCOMPARE(w->SG_Linked->CurrentPosition(), to);
        // A move is no change the product list must show.
        QVERIFY(w->close());
        QCOMPARE(changed.count(), 0);
    }

    // "Rimuovi dai collegati": the row of the removed link stays current while it exists;
    // after removing the last one the first link is current.
    void removesALink()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        QSignalSpy changed(w.get(), &TPRODOTTI_LINKED::LinksChanged);
        w->SG_Linked->SetCurrentPosition(2);
        w->PB_Rimuovi->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")), QStringLiteral("1:ACC-ZOC:1 2:DOC-CE:0"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 2);
        QCOMPARE(CurrentCode(w.get()), QStringLiteral("DOC-CE"));
        QVERIFY(!w->CK_Accessorio->isChecked());
        // The search ran again: the removed product is a candidate now.
        QVERIFY(SelectCandidate(w.get(), QStringLiteral("ACC-VEN")));

        w->PB_Rimuovi->click(); // the last row
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")), QStringLiteral("1:ACC-ZOC:1"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 1);
        QVERIFY(w->CK_Accessorio->isChecked());
        w->PB_Rimuovi->click();
        QCOMPARE(w->SG_Linked->LinkCount(), 0);
        QVERIFY(!w->CK_Accessorio->isVisible());
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("N° prodotti collegati: 0"));
        QVERIFY(w->close());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().toString(), ProductId(QStringLiteral("QDG-100")));
    }

    // "Il prodotto è un accessorio" stores the current link's flag and keeps it current; it is
    // no change the product list must show.
    void accessoryFlag()
    {
        auto w = Open(QStringLiteral("QDG-100"));
        QSignalSpy changed(w.get(), &TPRODOTTI_LINKED::LinksChanged);
        w->SG_Linked->SetCurrentPosition(3);
        w->CK_Accessorio->click();
        QVERIFY2(env->Recorder().Requests().isEmpty(),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")),
                 QStringLiteral("1:ACC-ZOC:1 2:ACC-VEN:1 3:DOC-CE:1"));
        QCOMPARE(w->SG_Linked->CurrentPosition(), 3);
        QVERIFY(w->CK_Accessorio->isChecked());
        QVERIFY(w->SG_Linked->Link(3)->bAccessorio);
        w->SG_Linked->SetCurrentPosition(1);
        w->CK_Accessorio->click();
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")),
                 QStringLiteral("1:ACC-ZOC:0 2:ACC-VEN:1 3:DOC-CE:1"));
        QVERIFY(!w->CK_Accessorio->isChecked());
        QVERIFY(w->close());
        QCOMPARE(changed.count(), 0);
    }

    // A change refused because another operator changed the links meanwhile is reported with
    // the window's message and the links are read again as stored.
    void refusedChangeReadsTheLinksAgain_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("error");
        QTest::newRow("remove") << "remove"
                                << "Errore rimozione prodotto collegato (ERR.K02).";
        QTest::newRow("move") << "move"
                              << "Errore spostamento prodotto collegato (ERR.K03).";
        QTest::newRow("accessory")
            << "accessory"
            << "Errore impostazione come non accessorio del prodotto collegato (ERR.K01).";
    }
    void refusedChangeReadsTheLinksAgain()
    {
        QFETCH(QString, action);
        QFETCH(QString, error);
        auto w = Open(QStringLiteral("QDG-100"));
        const QString id = ProductId(QStringLiteral("QDG-100"));
        // Another operator removes the first link.
        Sql(QStringLiteral("DELETE FROM prod_collegati WHERE idprodotto = '%1' AND "
                           "nuordinecollegamento = 1; UPDATE prod_collegati SET "
                           "nuordinecollegamento = nuordinecollegamento - 1 WHERE idprodotto = "
                           "'%1'; SELECT 1")
                .arg(id));
        const QString stored = QStringLiteral("1:ACC-VEN:1 2:DOC-CE:0");
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")), stored);
        QCOMPARE(w->SG_Linked->LinkCount(), 3);
        if (action == QLatin1String("remove")) {
            w->SG_Linked->SetCurrentPosition(3);
            w->PB_Rimuovi->click();
        } else if (action == QLatin1String("move")) {
            Drag(w->SG_Linked, 3, 1);
        } else {
            w->SG_Linked->SetCurrentPosition(1);
            w->CK_Accessorio->click();
        }
        QVERIFY2(env->Recorder().LastText(TDialogKind::Error).startsWith(error + LineBreaks(2)),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        QCOMPARE(StoredLinks(QStringLiteral("QDG-100")), stored);
        QCOMPARE(ShownLinks(w.get()), QStringLiteral("1:ACC-VEN 2:DOC-CE"));
        QCOMPARE(w->PAN_NuLinked->text(), QStringLiteral("N° prodotti collegati: 2"));
    }

    // "Prodotto selezionato" shows the current link's print, its price lists included.
    void previewsTheSelectedLink()
    {
        QVERIFY(CopyProgramReports(env->Home(), {QStringLiteral("pdprw00.RPT")}));
        auto w = Open(QStringLiteral("QDG-100"));
        w->SG_Linked->SetCurrentPosition(2);
        w->PB_Stampa->click();
        QVERIFY2(env->Recorder().Count(TDialogKind::Error) == 0,
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
        TVIEW_REPORT *preview = OpenPreview();
        QVERIFY(preview);
        const auto doc = preview->VR_Preview->Document();
        QVERIFY(doc);
        QStringList texts;
        for (int p = 0; p < preview->VR_Preview->PageCount(); ++p)
            texts << doc->PageTexts(p);
        const QString all = texts.join(u' ');
        QVERIFY2(all.contains(QStringLiteral("KIT VENTILAZIONE")), qPrintable(all.left(400)));
        QVERIFY2(all.contains(QStringLiteral("Prezzo unitario")), qPrintable(all.left(400)));
    }

    // A new user's round on a demo product: a price list with its own part quantity and
    // data-sheet value and a discount ceiling, its copy with another ceiling, two accessories
    // linked and reordered; the product's print shows the lists and the links in their order.
    void newUsersRound()
    {
        QVERIFY(CopyProgramReports(env->Home(), {QStringLiteral("pdprw00.RPT")}));
        const QString product = ProductId(QStringLiteral("QDG-100"));
        {
            auto lists = std::make_unique<TPRODOTTO_LISTINO>();
            lists->setAttribute(Qt::WA_DeleteOnClose, false);
            lists->resize(1100, 700);
            lists->Start(product, QStringLiteral("Quadro"), false);
            lists->show();
            QVERIFY(ChooseMenu(lists->DG_Listini, QStringLiteral("Nuovo listino")));
            TypeInto(lists->EF_CodListino, QStringLiteral("L9-QDG"));
            TypeInto(lists->EF_DescListino, QStringLiteral("Esecuzione speciale"));
            TypeInto(lists->EF_Listino, QStringLiteral("8000"));
            TypeInto(lists->EF_MaxScontoPerc, QStringLiteral("12,5"));
            lists->PB_Ok_Input->click();
            QCOMPARE(CurrentValue(lists->DG_Listini, QStringLiteral("txCodListino")),
                     QStringLiteral("L9-QDG"));

            QVERIFY(ChooseMenu(lists->DG_Listini,
                               QStringLiteral("Gestione quantità presenti nei sottoparagrafi del "
                                              "prodotto")));
            QTreeWidgetItem *part = nullptr;
            for (QTreeWidgetItemIterator it(lists->TV_Dettagli); *it; ++it)
                if ((*it)->text(0).endsWith(QStringLiteral("Cablaggio")))
                    part = *it;
            QVERIFY(part);
            lists->TV_Dettagli->setCurrentItem(part);
            lists->ModificaSottoparagrafo();
            TypeInto(lists->EF_NuQtaParteNodo, QStringLiteral("4"));
            lists->PB_InputQta_Ok->click();
            lists->PB_ChiudiParti->click();

            QVERIFY(ChooseMenu(lists->DG_Listini,
                               QStringLiteral("Gestione valori delle schede del prodotto")));
            QVERIFY(lists->DST_Schede()->Locate(QStringLiteral("txDescSchedaProdotto"),
                                                QStringLiteral("Dati tecnici")));
            lists->PB_ModificaScheda->click();
            lists->SG_Scheda->SetValue(7, QStringLiteral("RAL 7035"));
            lists->PB_Ok_Input_Schede->click();
            lists->PB_ChiudiSchede->click();

            env->Recorder().QueueYes();
            QVERIFY(ChooseMenu(lists->DG_Listini, QStringLiteral("Duplica e modifica listino")));
            TypeInto(lists->EF_CodListino, QStringLiteral("L9-BIS"));
            TypeInto(lists->EF_MaxScontoPerc, QString());
            TypeInto(lists->EF_MaxScontoVal, QStringLiteral("500"));
            lists->PB_Ok_Input->click();
            QCOMPARE(CurrentValue(lists->DG_Listini, QStringLiteral("txCodListino")),
                     QStringLiteral("L9-BIS"));
            QVERIFY2(env->Recorder().Count(TDialogKind::Error) == 0,
                     qPrintable(env->Recorder().LastText(TDialogKind::Error)));
            // The copy carries the list's own quantity and value.
            const QString copy = CurrentValue(lists->DG_Listini, QStringLiteral("idProdListino"));
            QCOMPARE(Sql(QStringLiteral("SELECT (SELECT string_agg(nuquantitaparte::text, ',') "
                                        "FROM prod_list_parte_quantita WHERE idprodlistino = "
                                        "'%1') || '|' || (SELECT string_agg(txvalorevocescheda, "
                                        "',') FROM prod_list_scheda_valori WHERE idprodlistino = "
                                        "'%1')")
                             .arg(copy)),
                     QStringLiteral("4|RAL 7035"));
        }
        auto w = Open(QStringLiteral("QDG-100"));
        w->PB_EstraiElenco->click();
        for (const char *code : {"ACC-ILL", "ACC-TET"}) {
            QVERIFY(SelectCandidate(w.get(), QString::fromLatin1(code)));
            w->PB_Aggiungi->click();
        }
        Drag(w->SG_Linked, 5, 1);
        QCOMPARE(ShownLinks(w.get()),
                 QStringLiteral("1:ACC-TET 2:ACC-ZOC 3:ACC-VEN 4:DOC-CE 5:ACC-ILL"));
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);

        TVIEW_REPORT *preview = PrintProductPreview(product);
        QVERIFY(preview);
        const auto doc = preview->VR_Preview->Document();
        QStringList pages;
        for (int p = 0; p < preview->VR_Preview->PageCount(); ++p)
            pages << doc->PageTexts(p);
        const QString all = pages.join(u' ');
        for (const char *text : {"L9-QDG", "Esecuzione speciale", "12,5 %", "L9-BIS", "500,00"})
            QVERIFY2(all.contains(QString::fromUtf8(text)), text);
        const int tettuccio = int(all.indexOf(QStringLiteral("TETTUCCIO PARAPIOGGIA")));
        const int zoccolo = int(all.indexOf(QStringLiteral("ZOCCOLO DI SOLLEVAMENTO")));
        const int lampada = int(all.indexOf(QStringLiteral("LAMPADA DI ILLUMINAZIONE")));
        QVERIFY(tettuccio >= 0 && tettuccio < zoccolo && zoccolo < lampada);
    }

    // The product list's opener: the window offers the catalogues the product list shows.
    void startsThroughTheOpener_data()
    {
        QTest::addColumn<bool>("current");
        QTest::newRow("current catalogues") << true;
        QTest::newRow("previous catalogues") << false;
    }
    void startsThroughTheOpener()
    {
        QFETCH(bool, current);
        QVERIFY(ProductWindowAvailable(QString::fromLatin1(kProdottiLinkedWindow)));
        std::unique_ptr<QWidget> w(
            RegisteredWindowFactory(QString::fromLatin1(kProdottiLinkedWindow))(nullptr));
        auto *window = qobject_cast<TPRODOTTI_LINKED *>(w.get());
        QVERIFY(window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ProdottiLinkedStart()(window,
                              ProductId(QStringLiteral("QDG-100")),
                              QStringLiteral("Quadro"),
                              false,
                              current);
        QCOMPARE(window->SG_Linked->LinkCount(), 3);
        if (current) {
            QCOMPARE(window->DCB_Find_Fornitore->IdFornitore(), kZero);
        } else {
            QCOMPARE(window->DCB_Find_Fornitore->NuAnno(), 2025);
            for (int i = 0; i < window->DCB_Find_Fornitore->count(); ++i)
                QVERIFY(window->DCB_Find_Fornitore->itemText(i).contains(QStringLiteral("2025")));
        }
        QVERIFY(window->close());
        QVERIFY(env->Recorder().Requests().isEmpty());
    }
};

QTEST_MAIN(tst_prodotti_linked)
#include "tst_prodotti_linked.moc"
