// A company operator's first quote, as a new user goes through it in the program: logged on,
// "Preventivi" from the launcher, a quote for a customer found in the customer search with a
// deadline of 30 days from blocking, blocked (the deadline is read), revised, duplicated, then
// found again by customer, by subject and in the quote search. Pictures of the windows are
// saved when VENTOREL_GRAB_DIR names a folder.

#include "tests/app/apptestenv.h"
#include "tests/support/windowtest.h"

#include "app/mainform.h"
#include "common/formats.h"
#include "common/windowroutines.h"
#include "controls/tkrttoggleswitch.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/radiogroup.h"
#include "masterdata/ricerca_cliente.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteheaderpanel.h"
#include "quotes/ricerca_preventivo.h"

#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

class tst_quotewalkthrough : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TTestDatabase::Available(), "the test cluster does not answer");
    }
    void cleanup() { CancelPendingActions(); }
    void firstQuoteOfACompanyOperator();
};

void tst_quotewalkthrough::firstQuoteOfACompanyOperator()
{
    TAppTestEnvironment env;
    AnswerStartup(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    TMAINFORM main;
    QVERIFY(main.Start(QStringList{QStringLiteral("ventorel")}));
    main.resize(1600, 1000);
    QApplication::processEvents();

    // "Preventivi" from the launcher.
    main.findChild<QPushButton *>(QStringLiteral("PB_GestionePreventivi"))->click();
    auto *w = qobject_cast<TGESTIONE_PREVENTIVI *>(
        FindOpenForm(QStringLiteral("GESTIONE_PREVENTIVI")));
    QVERIFY(w);
    QVERIFY(!w->HasCompanySelector());                    // an operator of one company
    QVERIFY(w->DST_GRID_Preventivi()->RecordCount() > 0); // the latest quotes at once
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("1_lista_preventivi"));

    // A new quote for a customer found by search, 30 days from blocking.
    const QString company = SessionInfo().sOperatorCompanyId;
    const QString customerName = env.Db().SuperQuery(
        QStringLiteral("SELECT txdenominazione FROM clienti WHERE idsocieta = '%1' AND dtcanc IS "
                       "NULL AND txdenominazione ILIKE '%%Meccanica%%' ORDER BY txdenominazione "
                       "LIMIT 1")
            .arg(company));
    QVERIFY(!customerName.isEmpty());
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    TQuoteHeaderPanel *p = w->PAN_Input;
    WhenShown(QStringLiteral("RICERCA_CLIENTE"), [&main, customerName](QWidget *window) {
        auto *d = qobject_cast<TRICERCA_CLIENTE *>(window);
        TypeInto(d->Filters->Registry->EF_Find_Denominazione, customerName);
        d->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        GrabIfAsked(d, QStringLiteral("2_cerca_cliente"));
        d->PB_SelectClick();
    });
    QTest::mouseClick(p->PB_RicercaCliente, Qt::LeftButton);
    QVERIFY(p->EF_DescCliente->Text().startsWith(customerName));
    TypeInto(p->EF_DescOggetto, QStringLiteral("Quadro elettrico per linea di imbottigliamento"));
    QVERIFY(!p->FixedDate());
    TypeInto(p->EF_NumGiorniScadenza, QStringLiteral("30"));
    TypeInto(p->EF_NotePreventivo, QStringLiteral("Prezzi IVA esclusa, trasporto compreso"));
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("3_nuovo_preventivo"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);
    const QString quote = CurrentValue(w->DG_Preventivi, QStringLiteral("idPreventivo"));
    QCOMPARE(CurrentValue(w->DG_Preventivi, QStringLiteral("txScadenza")),
             QStringLiteral("30 gg dal blocco"));
    const QString number = CurrentValue(w->DG_Preventivi, QStringLiteral("txNuPreventivo"));

    // Blocked: the deadline is 30 days from today.
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Blocca preventivo")));
    const QDate today = QDate::currentDate();
    const QString deadline = today.addDays(30).toString(QStringLiteral("dd/MM/yyyy"));
    QVERIFY(env.Recorder()
                .LastText(TDialogKind::Info)
                .endsWith(QStringLiteral("Nuova data scadenza ") + deadline + QLatin1Char('.')));
    QCOMPARE(CurrentValue(w->DG_Preventivi, QStringLiteral("txScadenza")), deadline);
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("4_bloccato"));

    // A new revision, then a copy of the first issue.
    env.Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Crea nuova revisione")));
    QCOMPARE(CurrentValue(w->DG_Preventivi, QStringLiteral("txNuPreventivo")),
             number + QStringLiteral(" Rev. 2"));
    QVERIFY(
        w->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"), quote, loCaseInsensitive));
    env.Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Duplica preventivo")));
    QVERIFY(CurrentValue(w->DG_Preventivi, QStringLiteral("idPreventivo")) != quote);
    QCOMPARE(env.Recorder().Count(TDialogKind::Error), 0);

    // Found again by customer...
    TQuoteFilters *f = w->Filters;
    QTest::mouseClick(f->TS_Find_RicercaPerCliente, Qt::LeftButton);
    TypeInto(f->Customer->EF_Find_Denominazione, customerName);
    QTest::mouseClick(f->Customer->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    TDataSet *ds = w->DST_GRID_Preventivi();
    QVERIFY(ds->RecordCount() >= 3);
    QCOMPARE(ds->CountMatching(QStringLiteral("txDenominazione = '%1'")
                                   .arg(QString(customerName).replace("'", "''"))),
             ds->RecordCount());
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("5_filtro_cliente"));
    // ... and by subject.
    QTest::mouseClick(f->TS_Find_RicercaPerCliente, Qt::LeftButton);
    TypeInto(f->EF_Find_DescPreventivo, QStringLiteral("linea di imbottigliamento"));
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(w->DST_GRID_Preventivi()->RecordCount(), 3);
    QApplication::processEvents();
    GrabIfAsked(&main, QStringLiteral("6_filtro_oggetto"));

    // The quote search (as the order list opens it) finds the blocked first issue.
    std::function<void(TRICERCA_PREVENTIVO *)> search = [&search](TRICERCA_PREVENTIVO *d) {
        // The dialog reads its first list as it shows: the operator waits for it.
        if (d->Pane()->Busy()) {
            QTimer::singleShot(10, d, [d, &search] { search(d); });
            return;
        }
        TypeInto(d->Filters->EF_Find_DescPreventivo, QStringLiteral("imbottigliamento"));
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        GrabIfAsked(d, QStringLiteral("7_cerca_preventivo"));
        d->PB_SelectClick();
        if (d->isVisible())
            d->reject(); // nothing to choose: the test fails below instead of waiting
    };
    WhenShown(QStringLiteral("RICERCA_PREVENTIVO"),
              [&search](QWidget *window) { search(qobject_cast<TRICERCA_PREVENTIVO *>(window)); });
    QString chosen;
    QVERIFY(TRICERCA_PREVENTIVO::Choose(&main, company, &chosen));
    QCOMPARE(chosen, quote);
    env.Recorder().QueueYes();
    main.MdiArea()->closeAllSubWindows();
}

QTEST_MAIN(tst_quotewalkthrough)
#include "tst_quotewalkthrough.moc"
