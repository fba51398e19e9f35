// An office that works with orders, as a new user goes through it: orders switched on in the
// global settings, "Ordini" from the launcher, an order made from a blocked demo quote found in
// the quote search, its subject, payment condition and notes completed, a summary of three
// entries reordered, its lines and its folder opened, then blocked with the deadline read.
// Pictures of the windows are saved when VENTOREL_GRAB_DIR names a folder.

#include "tests/app/apptestenv.h"
#include "tests/support/windowtest.h"

#include "app/mainform.h"
#include "common/windowroutines.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"
#include "orders/orderpanel.h"
#include "orders/ordine_sommario.h"
#include "quotes/dettagli_preventivo.h"
#include "quotes/folder_preventivo.h"
#include "quotes/quotefilters.h"
#include "quotes/ricerca_preventivo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

// Lets the windows closed by the operator go, and checks that no empty frame stays behind.
static void CloseFinished(TMAINFORM &main)
{
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QMdiSubWindow *sub : main.MdiArea()->subWindowList())
        QVERIFY2(sub->widget() && sub->widget()->isVisible(), qPrintable(sub->windowTitle()));
}

class tst_orderwalkthrough : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TTestDatabase::Available(), "the test cluster does not answer");
    }
    void cleanup() { CancelPendingActions(); }
    void orderFromABlockedQuote();
};

void tst_orderwalkthrough::orderFromABlockedQuote()
{
    TAppTestEnvironment env;
    env.SetGlobal(QStringLiteral("FrmMain_MostraOrdini"), QStringLiteral("SI"));
    AnswerStartup(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    TMAINFORM main;
    QVERIFY(main.Start(QStringList{QStringLiteral("ventorel")}));
    main.resize(1600, 1000);
    QApplication::processEvents();
    const QString company = SessionInfo().sOperatorCompanyId;

    // A blocked demo quote of the operator's company, last revision, with lines, exported to
    // the cloud earlier (its folder name), and no order yet.
    const QString quote = env.Db().SuperQuery(
        QStringLiteral(
            "SELECT q.idpreventivo FROM preventivi q WHERE q.idsocieta = '%1' AND q.dtcanc IS "
            "NULL AND q.flbloccato = 1 AND q.idcliente IS NOT NULL AND EXISTS (SELECT 1 FROM "
            "preventivo_dettaglio d WHERE "
            "d.idpreventivo = q.idpreventivo) AND NOT EXISTS (SELECT 1 FROM ordini o WHERE "
            "o.idpreventivo = q.idpreventivo) AND NOT EXISTS (SELECT 1 FROM preventivi r WHERE "
            "r.idsocieta = q.idsocieta AND r.nuannopreventivo = q.nuannopreventivo AND "
            "r.nupreventivo = q.nupreventivo AND r.nurevisione > q.nurevisione) ORDER BY "
            "q.dtin DESC LIMIT 1")
            .arg(company));
    QVERIFY2(!quote.isEmpty(), "the demo data has no blocked quote without an order");
    env.Db().SuperQuery(
        QStringLiteral("UPDATE preventivi SET txnomefolder = coalesce(txnomefolder, "
                       "'Preventivo esportato') WHERE idpreventivo = '%1'")
            .arg(quote));
    const QString subject = env.Db().SuperQuery(
        QStringLiteral("SELECT txdescoggetto FROM preventivi WHERE idpreventivo = '%1'").arg(quote));
    const int quoteLines = env.Db()
                               .SuperQuery(QStringLiteral("SELECT count(*) FROM "
                                                          "preventivo_dettaglio WHERE "
                                                          "idpreventivo = '%1'")
                                               .arg(quote))
                               .toInt();

    // "Ordini" is on the launcher because the settings say so.
    auto *launch = main.findChild<QPushButton *>(QStringLiteral("PB_GestioneOrdini"));
    QVERIFY(launch && launch->isVisible());
    launch->click();
    auto *w = qobject_cast<TGESTIONE_ORDINI *>(FindOpenForm(QStringLiteral("GESTIONE_ORDINI")));
    QVERIFY(w);
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("o1_lista_ordini"));

    // "Nuovo ordine": the quote search, the quote found by its subject over every year.
    std::function<void(TRICERCA_PREVENTIVO *)> search =
        [&search, quote, subject](TRICERCA_PREVENTIVO *d) {
            // The dialog reads its first list as it shows: the operator waits for it.
            if (d->Pane()->Busy()) {
                QTimer::singleShot(10, d, [d, &search] { search(d); });
                return;
            }
            d->Filters->CK_Find_AllAnni->setChecked(true);
            d->Filters->Refresh();
            TypeInto(d->Filters->EF_Find_DescPreventivo, subject.left(30));
            QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
            GrabIfAsked(d, QStringLiteral("o2_cerca_preventivo"));
            if (d->DST_GRID_Preventivi()
                && d->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"),
                                                    quote,
                                                    loCaseInsensitive))
                d->PB_SelectClick();
            if (d->isVisible())
                d->reject(); // not found: the test fails below instead of waiting
        };
    WhenShown(QStringLiteral("RICERCA_PREVENTIVO"),
              [&search](QWidget *window) { search(qobject_cast<TRICERCA_PREVENTIVO *>(window)); });
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Nuovo ordine")));
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env.Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Ordine creato da preventivo correttamente.\r\n\r\n"
                            "Puoi procedere con l'integrazione dei dati mancanti."));
    const QString order = env.Db().SuperQuery(
        QStringLiteral("SELECT idordine FROM ordini WHERE idpreventivo = '%1'").arg(quote));
    QVERIFY(!order.isEmpty());
    QVERIFY(w->EditMode());
    QCOMPARE(w->PAN_Input->EF_DescOggetto->Text(), subject);

    // Subject, payment condition and notes completed.
    TOrderPanel *p = w->PAN_Input;
    TypeInto(p->EF_DescOggetto, QStringLiteral("Fornitura quadri cantiere di Lodi"));
    QVERIFY(p->DCB_Pagamento->count() > 0);
    p->DCB_Pagamento->setCurrentIndex(0);
    const QString payment = p->PaymentCode();
    QVERIFY(!payment.isEmpty());
    TypeInto(p->EF_NoteOrdine, QStringLiteral("Consegna al cantiere entro fine mese"));
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("o3_dati_ordine"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(!w->EditMode());
    QCOMPARE(w->List()->CurrentId(), order);
    QCOMPARE(CurrentValue(w->DG_Ordini, QStringLiteral("txDescOrdine")),
             QStringLiteral("Fornitura quadri cantiere di Lodi"));
    QCOMPARE(env.Db().SuperQuery(
                 QStringLiteral("SELECT txcodpagamento || '|' || txnoteordine FROM ordini WHERE "
                                "idordine = '%1'")
                     .arg(order)),
             payment + QStringLiteral("|Consegna al cantiere entro fine mese"));

    // A summary of three entries, the last one moved to the top.
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Gestione sommario dell'ordine")));
    auto *s = qobject_cast<TORDINE_SOMMARIO *>(FindOpenForm(QStringLiteral("ORDINE_SOMMARIO")));
    QVERIFY(s);
    QCOMPARE(s->SG_Sommario->rowCount(), 1);
    const QStringList entries{QStringLiteral("Quadri di distribuzione"),
                              QStringLiteral("Posa e collaudo"),
                              QStringLiteral("Documentazione as-built")};
    for (int row = 0; row < entries.size(); ++row) {
        if (row > 0)
            QTest::mouseClick(s->PB_NuovaRiga, Qt::LeftButton);
        QCOMPARE(s->SG_Sommario->rowCount(), row + 1);
        s->SG_Sommario->item(row, 1)->setText(entries.at(row));
        s->SG_Sommario->item(row, 2)->setText(
            QStringLiteral("  Testo della voce %1  ").arg(row + 1));
    }
    s->MoveRow(2, 0);
    QCOMPARE(s->SG_Sommario->item(0, 0)->text(), QStringLiteral("1"));
    QCOMPARE(s->SG_Sommario->item(0, 1)->text(), entries.at(2));
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("o4_sommario"));
    QTest::mouseClick(s->PB_Ok_Input_Sommario, Qt::LeftButton);
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);
    CloseFinished(main);
    QCOMPARE(env.Db().SuperQuery(
                 QStringLiteral("SELECT string_agg(nuordinetesto || ':' || txdesctesto || ':' "
                                "|| txtesto, ' / ' ORDER BY nuordinetesto) FROM ordine_sommario "
                                "WHERE idordine = '%1'")
                     .arg(order)),
             QStringLiteral("1:Documentazione as-built:Testo della voce 3 / 2:Quadri di "
                            "distribuzione:Testo della voce 1 / 3:Posa e collaudo:Testo della "
                            "voce 2"));

    // The order's lines: the lines editor on the order, with the quote's lines copied.
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Dettaglio prodotti dell'ordine")));
    auto *lines = qobject_cast<TDETTAGLI_PREVENTIVO *>(
        FindOpenForm(QString::fromLatin1(TDETTAGLI_PREVENTIVO::kFormName)));
    QVERIFY(lines);
    QCOMPARE(lines->sIdPreventivo, order);
    QCOMPARE(lines->LineCount(), quoteLines);
    QVERIFY(lines->windowTitle().contains(QStringLiteral("Fornitura quadri cantiere di Lodi")));
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("o5_righe_ordine"));
    env.Recorder().QueueYes();
    qobject_cast<QMdiSubWindow *>(lines->parentWidget())->close(); // the frame's X
    CloseFinished(main);

    // The order's folder, in order mode: the folder name came with the quote.
    bool folderShown = false;
    WhenShown(QStringLiteral("FOLDER_PREVENTIVO"), [&folderShown](QWidget *window) {
        auto *f = qobject_cast<TFOLDER_PREVENTIVO *>(window);
        folderShown = f && f->bFromGestionePrev;
        GrabIfAsked(window, QStringLiteral("o6_cartella_ordine"));
        window->close();
    });
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Gestione cartella dell'ordine")));
    QVERIFY(folderShown);

    // Blocked: the deadline read from the message and shown in the database.
    env.Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Blocca ordine")));
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);
    const QString fixed = env.Db().SuperQuery(
        QStringLiteral("SELECT flscadenzafissa || '|' || nuggscaddalblocco || '|' || "
                       "coalesce(to_char(dtscadenza, 'DD/MM/YYYY'), '') FROM ordini WHERE "
                       "idordine = '%1'")
            .arg(order));
    if (fixed.startsWith(QLatin1String("0|"))) {
        const QString deadline = fixed.section(u'|', 2);
        QVERIFY(!deadline.isEmpty());
        QVERIFY(env.Recorder()
                    .LastText(TDialogKind::Info)
                    .endsWith(QStringLiteral("Nuova data scadenza ") + deadline + QLatin1Char('.')));
    }
    QCOMPARE(CurrentValue(w->DG_Ordini, QStringLiteral("flBloccato")), QStringLiteral("1"));
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("o7_ordine_bloccato"));

    env.Recorder().QueueYes();
    main.MdiArea()->closeAllSubWindows();
}

QTEST_MAIN(tst_orderwalkthrough)
#include "tst_orderwalkthrough.moc"
