// The order window driven as an operator does, against a fresh demo database: the command text
// of the filters, a new order from a blocked quote, the edit panel, block and unblock with the
// deadline, delete with its refusal and the row shown afterwards, the refusals of a blocked
// order, the saved filters and bad input; two operators creating an order from one quote.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "common/windowregistry.h"
#include "controls/tkrttoggleswitch.h"
#include "controls/tkrtupdown.h"
#include "masterdata/customerfilters.h"
#include "masterdata/radiogroup.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"
#include "orders/orderpanel.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteopeners.h"
#include "quotes/ricerca_preventivo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <thread>

// Stand-ins for the quote windows that are not part of the program yet: they record how the
// order list starts them.
struct TStartRecord
{
    QStringList lines;
    QStringList folder;
};
TStartRecord &Started()
{
    static TStartRecord record;
    return record;
}

class TStandInLines : public QWidget, public TQuoteLinesStarter
{
public:
    using QWidget::QWidget;
    void Start(const QString &id, const QString &number, const QString &subject) override
    {
        Started().lines = {id, number, subject};
    }
};

class TStandInFolder : public QWidget, public TQuoteFolderStarter
{
public:
    using QWidget::QWidget;
    void Start(bool fromList,
               const QString &id,
               bool blocked,
               int revision,
               const QString &,
               const QString &,
               const QString &folder,
               const QString &subject,
               const QString &customer,
               const QString &,
               const QString &,
               const QString &number) override
    {
        Started().folder = {fromList ? "1" : "0",
                            id,
                            blocked ? "1" : "0",
                            QString::number(revision),
                            folder,
                            subject,
                            customer,
                            number};
        deleteLater();
    }
};

class tst_gestione_ordini : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_ORDINI> w;
    const QString kMark = QStringLiteral("ZZPROVA ordine");

    TGESTIONE_ORDINI *Open()
    {
        w = new TGESTIONE_ORDINI;
        w->show();
        return w;
    }
    QString Super(const QString &sql) { return env->Super(sql); }
    // A blocked, active quote of the first company that has no order yet.
    QString BlockedQuote(int skip = 0)
    {
        const QString id = Super(
            QStringLiteral("SELECT q.idpreventivo FROM preventivi q WHERE q.idsocieta = "
                           "'%1' AND q.dtcanc IS NULL AND q.nuannopreventivo IS NOT NULL "
                           "AND NOT EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo "
                           "= q.idpreventivo) AND NOT EXISTS (SELECT 1 FROM preventivi "
                           "r WHERE r.idpreventivo <> q.idpreventivo AND r.nupreventivo "
                           "= q.nupreventivo AND r.nuannopreventivo = q.nuannopreventivo "
                           "AND r.idsocieta = q.idsocieta AND r.nurevisione > "
                           "q.nurevisione) ORDER BY q.idpreventivo OFFSET %2 LIMIT 1")
                .arg(kSoc1)
                .arg(skip));
        if (Super(QStringLiteral("SELECT flbloccato FROM preventivi WHERE idpreventivo = '%1'")
                      .arg(id))
            != QLatin1String("1"))
            env->Db().Module().Query(
                QStringLiteral("EXEC ChangeBloccoPreventivo '%1', 1, 'ADMIN'").arg(id));
        return id;
    }
    // n new orders of the first company, marked so that the list shows only them.
    QStringList MakeOrders(int n)
    {
        QStringList ids;
        for (int i = 0; i < n; ++i) {
            std::unique_ptr<TDataSet> r = env->Db().Module().Query(
                QStringLiteral("EXEC CreaOrdineDaPreventivo '%1', 'ADMIN'").arg(BlockedQuote()));
            ids << r->FieldByName(QStringLiteral("idOrdine")).AsString();
            Super(QStringLiteral("UPDATE ordini SET txdescordine = '%1 %2' WHERE idordine = '%3'")
                      .arg(kMark)
                      .arg(i + 1)
                      .arg(ids.last()));
        }
        return ids;
    }
    // The quote search that "Nuovo ordine" opens: the quote found by its subject and chosen.
    void ChooseQuoteWhenAsked(const QString &quote, QString *company)
    {
        const QString subject = Super(
            QStringLiteral("SELECT txdescoggetto FROM preventivi WHERE idpreventivo = '%1'")
                .arg(quote));
        QTimer::singleShot(0, this, [quote, subject, company] {
            auto *d = qobject_cast<TRICERCA_PREVENTIVO *>(QApplication::activeModalWidget());
            if (!d)
                return;
            *company = d->sIdSocieta;
            d->Filters->CK_Find_AllAnni->setChecked(true);
            d->Filters->Refresh();
            TypeInto(d->Filters->EF_Find_DescPreventivo, subject.left(40));
            QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
            if (d->DST_GRID_Preventivi()
                && d->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"),
                                                    quote,
                                                    loCaseInsensitive))
                d->PB_SelectClick();
            else
                d->reject();
        });
    }
    // Filters that show every order with the mark, in number order.
    void ShowMarked()
    {
        TOrderFilters *f = w->Filters;
        f->CK_Find_AllAnni->setChecked(true);
        f->Refresh();
        f->EF_Find_DescOrdine->SetText(kMark);
        f->CK_Find_OrdinaRecenti->setChecked(false);
        f->CK_Find_IncludiNonAttivi->setChecked(true);
        QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    }
    void Select(const QString &id)
    {
        w->sLastId = id;
        w->ExtractWithFilters();
        QCOMPARE(w->List()->CurrentId(), id);
    }
    QString Exists(const QString &id)
    {
        return Super(QStringLiteral("SELECT count(*) FROM ordini WHERE idordine = '%1'").arg(id));
    }
    QString Order(const QString &column, const QString &id)
    {
        return Super(QStringLiteral("SELECT %1 FROM ordini WHERE idordine = '%2'").arg(column, id));
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup()
    {
        env->Recorder().QueueYes();
        delete w;
        env.reset();
    }

    void commandText_data();
    void commandText();
    void firstOpeningAndSavedFilters();
    void badFilterInput();
    void newOrderFromBlockedQuote();
    void newOrderCancelledDoesNothing();
    void mandatoryFieldsOfTheEditPanel_data();
    void mandatoryFieldsOfTheEditPanel();
    void blockAndDeadline_data();
    void blockAndDeadline();
    void blockedOrderRefusals();
    void deleteRefusedKeepsTheOrder();
    void deleteShowsTheNeighbour_data();
    void deleteShowsTheNeighbour();
    void deactivateAndReactivate();
    void userMenu();
    void linesAndFolderOpenOnTheOrder();
    void twoOperatorsOneQuote();
};

// --- Filters ----------------------------------------------------------------------------------

void tst_gestione_ordini::commandText_data()
{
    const QString year = QString::number(QDate::currentDate().year());
    const QString head = QStringLiteral("EXEC EstraiOrdini  1, '") + kSoc1 + QStringLiteral("', ");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("reset filters") << "" << head + year + ", null, null, null, null, 0, 0, 1";
    QTest::newRow("all years, number, starts with apostrophe")
        << "allyears;number=12;desc=l'ab;startswith"
        << head + "null, 12, 'l''ab%', null, null, 0, 0, 1";
    QTest::newRow("dates and the three flags")
        << "dates=01/02/2024-31/03/2024;signed;inactive;noblocked"
        << head + year + ", null, null, '20240201', '20240331', 1, 1, 0";
    QTest::newRow("contains") << "desc=cant"
                              << head + year + ", null, '%cant%', null, null, 0, 0, 1";
    QTest::newRow("customer switch on, Tutte")
        << "customer;code=C0001;name=ros;nation=2"
        << head + year + ", null, null, null, null, 0, 0, 1, 'C0001', '%ros%', null, null, 2, null";
    QTest::newRow("customer switch on, Estero")
        << "customer;nation=1;country=Francia"
        << head + year + ", null, null, null, null, 0, 0, 1, null, null, null, null, 1, 'Francia'";
}

void tst_gestione_ordini::commandText()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    Open();
    TOrderFilters *f = w->Filters;
    for (const QString &step : setup.split(u';', Qt::SkipEmptyParts)) {
        const QString key = step.section(u'=', 0, 0);
        const QString value = step.section(u'=', 1);
        if (key == QLatin1String("allyears")) {
            f->CK_Find_AllAnni->click();
        } else if (key == QLatin1String("number")) {
            f->CK_Find_AllNumeri->click();
            TypeInto(f->EF_Find_NumOrdine, value);
        } else if (key == QLatin1String("desc")) {
            TypeInto(f->EF_Find_DescOrdine, value);
        } else if (key == QLatin1String("startswith")) {
            f->RG_Find_DescOrdine->SetItemIndex(1);
        } else if (key == QLatin1String("dates")) {
            f->CK_Find_AllDate->click();
            TypeInto(f->EF_Find_DataOrdDal, value.section(u'-', 0, 0));
            TypeInto(f->EF_Find_DataOrdAl, value.section(u'-', 1));
        } else if (key == QLatin1String("signed")) {
            f->CK_Find_SoloFirmati->click();
        } else if (key == QLatin1String("inactive")) {
            f->CK_Find_IncludiNonAttivi->click();
        } else if (key == QLatin1String("noblocked")) {
            f->CK_Find_IncludiBloccati->click();
        } else if (key == QLatin1String("customer")) {
            f->TS_Find_RicercaPerCliente->click();
        } else if (key == QLatin1String("code")) {
            TypeInto(f->Customer->EF_Find_CodCliente, value);
        } else if (key == QLatin1String("name")) {
            TypeInto(f->Customer->EF_Find_Denominazione, value);
        } else if (key == QLatin1String("nation")) {
            f->Customer->RG_Find_Nazionalita->SetItemIndex(value.toInt());
            f->Customer->ShowNationalityField();
        } else if (key == QLatin1String("country")) {
            TypeInto(f->Customer->EF_Find_Nazione, value);
        }
    }
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->LastCommand(), expected);
    QVERIFY(w->List()->DataSet()); // the server took the text
}

void tst_gestione_ordini::firstOpeningAndSavedFilters()
{
    // Nothing saved: the reset state.
    Open();
    TOrderFilters *f = w->Filters;
    QVERIFY(!f->CK_Find_AllAnni->isChecked());
    QCOMPARE(f->EF_Find_NumAnno->Text(), QString::number(QDate::currentDate().year()));
    QVERIFY(f->CK_Find_AllNumeri->isChecked());
    QVERIFY(f->CK_Find_AllDate->isChecked());
    QVERIFY(f->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!f->CK_Find_IncludiNonAttivi->isChecked());
    QVERIFY(f->CK_Find_IncludiBloccati->isChecked());
    QVERIFY(!f->CustomerSearch());
    QVERIFY(!f->PAN_Filters_Cliente->isVisible());
    // The dates' caption stands on one line over both dates.
    const auto *datesCaption = f->findChild<QLabel *>(QStringLiteral("LB_Find_DataOrd"));
    QVERIFY(datesCaption);
    QCOMPARE(datesCaption->text(), QStringLiteral("Data invio al cliente"));
    QVERIFY(datesCaption->width()
            >= datesCaption->fontMetrics().horizontalAdvance(datesCaption->text()));

    // The arrows move the year within 2010-2030.
    f->UD_Find_NumAnno->SetPosition(2029);
    f->UD_Find_NumAnno->UpButton()->click();
    f->UD_Find_NumAnno->UpButton()->click();
    QCOMPARE(f->EF_Find_NumAnno->Text(), QStringLiteral("2030"));
    f->TS_Find_RicercaPerCliente->click();
    QCOMPARE(f->TS_Find_RicercaPerCliente->text(), QStringLiteral("Disattiva ricerca per cliente"));
    f->CK_Find_SoloFirmati->setChecked(true);
    TypeInto(f->EF_Find_DescOrdine, QStringLiteral("cantiere"));
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(env->Setting(QStringLiteral("FrmGesOrdini_AllAnni")), QStringLiteral("NO"));
    QCOMPARE(env->Setting(QStringLiteral("FrmGesOrdini_NumAnno")), QStringLiteral("2030"));
    QCOMPARE(env->Setting(QStringLiteral("FrmGesOrdini_DescOrdine")), QStringLiteral("cantiere"));
    QCOMPARE(env->Setting(QStringLiteral("FrmGesOrdini_RicercaPerCliente")), QStringLiteral("SI"));
    QCOMPARE(env->Setting(QStringLiteral("FrmGesOrdini_SoloFirmati")),
             QStringLiteral("FAIL_EXISTS"));
    delete w;

    // Read back at the next opening; "Solo firmati" is not kept.
    Open();
    f = w->Filters;
    QCOMPARE(f->EF_Find_NumAnno->Text(), QStringLiteral("2030"));
    QCOMPARE(f->EF_Find_DescOrdine->Text(), QStringLiteral("cantiere"));
    QVERIFY(f->CustomerSearch());
    QVERIFY(!f->CK_Find_SoloFirmati->isChecked());
    delete w;

    // The first key reading "FAIL_EXISTS" resets them.
    env->SetSetting(QStringLiteral("FrmGesOrdini_AllAnni"), QStringLiteral("FAIL_EXISTS"));
    Open();
    QCOMPARE(w->Filters->EF_Find_DescOrdine->Text(), QString());
    QVERIFY(!w->Filters->CustomerSearch());
}

void tst_gestione_ordini::badFilterInput()
{
    // Saved values out of their rules: a year outside 2010-2030 or not a number becomes this
    // year, an order number with letters is dropped.
    env->SetSetting(QStringLiteral("FrmGesOrdini_AllAnni"), QStringLiteral("NO"));
    env->SetSetting(QStringLiteral("FrmGesOrdini_NumAnno"), QStringLiteral("1999"));
    env->SetSetting(QStringLiteral("FrmGesOrdini_AllNumeri"), QStringLiteral("NO"));
    env->SetSetting(QStringLiteral("FrmGesOrdini_NumOrdine"), QStringLiteral("12a"));
    Open();
    TOrderFilters *f = w->Filters;
    QCOMPARE(f->EF_Find_NumAnno->Text(), QString::number(QDate::currentDate().year()));
    QCOMPARE(f->EF_Find_NumOrdine->Text(), QString());
    QCOMPARE(OrderFilterYear(QStringLiteral("2031")), QDate::currentDate().year());
    QCOMPARE(OrderFilterYear(QStringLiteral("abc")), QDate::currentDate().year());
    QCOMPARE(OrderFilterYear(QStringLiteral("2015")), 2015);

    // Letters typed into the number do not get in.
    TypeInto(f->EF_Find_NumOrdine, QStringLiteral("1a2b"));
    QCOMPARE(f->EF_Find_NumOrdine->Text(), QStringLiteral("12"));

    // Dates in the wrong order: told, nothing extracted.
    const QString before = env->LastCommand();
    f->CK_Find_AllDate->click();
    TypeInto(f->EF_Find_DataOrdDal, QStringLiteral("31/03/2024"));
    TypeInto(f->EF_Find_DataOrdAl, QStringLiteral("01/02/2024"));
    QTest::mouseClick(f->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("La data iniziale è successiva alla data finale."));
    QCOMPARE(env->LastCommand(), before);
}

// --- New order and the edit panel -------------------------------------------------------------

void tst_gestione_ordini::newOrderFromBlockedQuote()
{
    const QString quote = BlockedQuote();
    const QString subject = Super(
        QStringLiteral("SELECT txdescoggetto FROM preventivi WHERE idpreventivo = '%1'").arg(quote));
    Open();
    QString askedCompany;
    ChooseQuoteWhenAsked(quote, &askedCompany);
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Nuovo ordine")));
    QCOMPARE(askedCompany, kSoc1);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Ordine creato da preventivo correttamente.\r\n\r\n"
                            "Puoi procedere con l'integrazione dei dati mancanti."));
    const QString id = Super(
        QStringLiteral("SELECT idordine FROM ordini WHERE idpreventivo = '%1'").arg(quote));
    QVERIFY(!id.isEmpty());
    QVERIFY(w->EditMode());
    QCOMPARE(w->xTipoOp, coGENInsert);
    QCOMPARE(w->PAN_Input->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Ordine"));
    QCOMPARE(w->PAN_Input->EF_DescOggetto->Text(), subject);
    QCOMPARE(w->PAN_Input->DCB_Pagamento->currentIndex(), -1);

    TypeInto(w->PAN_Input->EF_DescOggetto, QStringLiteral("Fornitura cantiere nord"));
    w->PAN_Input->SetPaymentCode(QStringLiteral("BB30"));
    QVERIFY(!w->PAN_Input->PaymentCode().isEmpty());
    w->PAN_Input->EF_RiferimentiDestinazione->setPlainText(QStringLiteral("   \n  "));
    w->PAN_Input->CK_ShowRiferimentiPrev->setChecked(true);
    TypeInto(w->PAN_Input->EF_NoteOrdine, QStringLiteral("Consegna entro marzo"));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(!w->EditMode());
    QCOMPARE(Order(QStringLiteral("txdescordine || '|' || txcodpagamento || '|' || "
                                  "coalesce(txriferimentidestinazione, 'NULL') || '|' || "
                                  "flshowriferimentiprev || '|' || txnoteordine || '|' || "
                                  "coalesce(txutentemod, 'NULL')"),
                   id),
             QStringLiteral("Fornitura cantiere nord|BB30|NULL|1|Consegna entro marzo|NULL"));
    QCOMPARE(w->List()->CurrentId(), id);

    // Reopened: the note is there; a change is stamped.
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Modifica")));
    QCOMPARE(w->PAN_Input->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Ordine "));
    QCOMPARE(w->PAN_Input->EF_NoteOrdine->Text(), QStringLiteral("Consegna entro marzo"));
    QCOMPARE(w->PAN_Input->PaymentCode(), QStringLiteral("BB30"));
    QVERIFY(w->PAN_Input->CK_ShowRiferimentiPrev->isChecked());
    w->PAN_Input->EF_RiferimentiDestinazione->setPlainText(QStringLiteral("Cantiere di Lodi"));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Order(QStringLiteral("txriferimentidestinazione || '|' || txutentemod"), id),
             QStringLiteral("Cantiere di Lodi|ADMIN"));
}

void tst_gestione_ordini::newOrderCancelledDoesNothing()
{
    const QString count = QStringLiteral("SELECT count(*) FROM ordini");
    const QString before = Super(count);
    bool asked = false;
    Open();
    const int requests = env->Recorder().Requests().size();
    QTimer::singleShot(0, this, [&asked] {
        if (auto *d = qobject_cast<TRICERCA_PREVENTIVO *>(QApplication::activeModalWidget())) {
            asked = true;
            d->reject();
        }
    });
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Nuovo ordine")));
    QVERIFY(asked);
    QCOMPARE(env->Recorder().Requests().size(), requests);
    QVERIFY(!w->EditMode());
    QCOMPARE(Super(count), before);

    // "Annulla" after the creation keeps the order the database made.
    const QString quote = BlockedQuote();
    QVERIFY(w->CreaOrdineDaPreventivo(quote));
    QTest::mouseClick(w->PAN_Input->PB_Annulla_Input, Qt::LeftButton);
    QVERIFY(!w->EditMode());
    QCOMPARE(Super(count).toInt(), before.toInt() + 1);

    // A quote that has its order already: the database's reason, nothing more made.
    QVERIFY(!w->CreaOrdineDaPreventivo(quote));
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Error)
                .startsWith(QStringLiteral("Errore creazione ordine da preventivo (ERR.W02).")));
    QCOMPARE(Super(count).toInt(), before.toInt() + 1);
    QVERIFY(!w->EditMode());
}

void tst_gestione_ordini::mandatoryFieldsOfTheEditPanel_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("payment");
    QTest::addColumn<QString>("message");
    QTest::newRow("no subject") << "  "
                                << "BB30"
                                << "L'oggetto è obbligatorio.";
    QTest::newRow("no payment") << "Oggetto"
                                << ""
                                << "La condizione di pagamento è obbligatoria.";
}

void tst_gestione_ordini::mandatoryFieldsOfTheEditPanel()
{
    QFETCH(QString, subject);
    QFETCH(QString, payment);
    QFETCH(QString, message);
    const QString id = MakeOrders(1).first();
    const QString stored = Order(QStringLiteral("txdescordine"), id);
    Open();
    ShowMarked();
    Select(id);
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Modifica")));
    TypeInto(w->PAN_Input->EF_DescOggetto, subject);
    w->PAN_Input->SetPaymentCode(payment);
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error), message);
    QVERIFY(w->EditMode());
    QCOMPARE(Order(QStringLiteral("txdescordine"), id), stored);
}

// --- Block, delete, states --------------------------------------------------------------------

void tst_gestione_ordini::blockAndDeadline_data()
{
    QTest::addColumn<bool>("fixed");
    QTest::newRow("days from blocking") << false;
    QTest::newRow("fixed deadline") << true;
}

void tst_gestione_ordini::blockAndDeadline()
{
    QFETCH(bool, fixed);
    const QString id = MakeOrders(1).first();
    Super(QStringLiteral("UPDATE ordini SET flscadenzafissa = %1, nuggscaddalblocco = %2, "
                         "dtscadenza = %3 WHERE idordine = '%4'")
              .arg(fixed ? 1 : 0)
              .arg(fixed ? 0 : 7)
              .arg(fixed ? QStringLiteral("'2031-01-31'") : QStringLiteral("NULL"))
              .arg(id));
    Open();
    ShowMarked();
    Select(id);
    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Blocca ordine")));
    QCOMPARE(Order(QStringLiteral("flbloccato"), id), QStringLiteral("1"));
    QCOMPARE(w->List()->CurrentId(), id);
    if (fixed) {
        QCOMPARE(env->Recorder().Count(TDialogKind::Info), 0);
        QCOMPARE(Order(QStringLiteral("dtscadenza::date"), id), QStringLiteral("2031-01-31"));
    } else {
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral(
                     "Blocco ordine completato.\r\n\r\nLa data di scadenza dell'ordine è "
                     "stata impostata a 7 giorni a partire da oggi.\r\n\r\nNuova data "
                     "scadenza ")
                     + QDate::currentDate().addDays(7).toString(QStringLiteral("dd/MM/yyyy"))
                     + QStringLiteral("."));
    }
    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Sblocca ordine")));
    QCOMPARE(Order(QStringLiteral("flbloccato"), id), QStringLiteral("0"));
    if (fixed)
        QCOMPARE(env->Recorder().Count(TDialogKind::Info), 0);
    else
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral(
                     "Sblocco ordine completato.\r\n\r\nLa data di scadenza è stata "
                     "rimossa, sarà impostata a 7 giorni a partire dal prossimo blocco."));

    // Blocked orders out of the list: the order blocked is not visible, and the operator is told.
    w->Filters->CK_Find_IncludiBloccati->setChecked(false);
    QTest::mouseClick(w->Filters->PB_EstraiElenco, Qt::LeftButton);
    Select(id);
    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Blocca ordine")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("L'ordine bloccato non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
}

void tst_gestione_ordini::blockedOrderRefusals()
{
    const QString id = MakeOrders(1).first();
    env->Db().Module().Query(QStringLiteral("EXEC ChangeBloccoOrdine '%1', 1, 'ADMIN'").arg(id));
    Open();
    ShowMarked();
    Select(id);
    struct
    {
        QString entry;
        QString message;
    } const cases[] = {
        {QStringLiteral("Modifica"),
         QStringLiteral("L'ordine è bloccato, non è possibile modificarlo.")},
        {QStringLiteral("Elimina ordine"),
         QStringLiteral("Impossibile eliminare un ordine bloccato.")},
        {QStringLiteral("Disattiva ordine"),
         QStringLiteral("L'ordine è bloccato, non è possibile disattivarlo.")},
    };
    for (const auto &c : cases) {
        env->Recorder().Clear();
        QVERIFY(ChooseMenu(w->DG_Ordini, c.entry));
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error), c.message);
        QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);
        QVERIFY(!w->EditMode());
    }
    QCOMPARE(Order(QStringLiteral("(dtcanc IS NULL)::int"), id), QStringLiteral("1"));
}

void tst_gestione_ordini::deleteRefusedKeepsTheOrder()
{
    // A signed order: only an administrator may delete it; a plain operator gets the reason.
    const QString id = MakeOrders(1).first();
    Super(QStringLiteral("UPDATE ordini SET flfirmato = 1 WHERE idordine = '%1'").arg(id));
    env->LogOn(TDemoOperator::Operator);
    Open();
    ShowMarked();
    Select(id);
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Elimina ordine")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi eliminazione definitiva dell'ordine selezionato ?"));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral(
                 "L'ordine è firmato dal cliente: solo un amministratore può eliminarlo."));
    QCOMPARE(Exists(id), QStringLiteral("1"));
    QCOMPARE(w->List()->Count(), 1);
    QCOMPARE(w->List()->CurrentId(), id);
}

void tst_gestione_ordini::deleteShowsTheNeighbour_data()
{
    QTest::addColumn<int>("orders");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("shown"); // -1: none
    QTest::newRow("middle row: the next") << 3 << 1 << 2;
    QTest::newRow("last row: the one before") << 3 << 2 << 1;
    QTest::newRow("only row: none") << 1 << 0 << -1;
}

void tst_gestione_ordini::deleteShowsTheNeighbour()
{
    QFETCH(int, orders);
    QFETCH(int, deleted);
    QFETCH(int, shown);
    const QStringList ids = MakeOrders(orders);
    Open();
    ShowMarked();
    QCOMPARE(w->List()->Count(), orders);
    // The list in its sort: newest number first.
    QStringList listed;
    TDataSet *ds = w->DST_GRID_Ordini();
    for (int r = 0; r < ds->RecordCount(); ++r)
        listed << ds->ValueAt(r, ds->FieldIndex(QStringLiteral("idOrdine"))).toString();
    Select(listed.at(deleted));
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Elimina ordine")));
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(Exists(listed.at(deleted)), QStringLiteral("0"));
    QCOMPARE(w->List()->Count(), orders - 1);
    QCOMPARE(w->List()->CurrentId(), shown < 0 ? QString() : listed.at(shown));
}

void tst_gestione_ordini::deactivateAndReactivate()
{
    const QString id = MakeOrders(1).first();
    Open();
    ShowMarked();
    Select(id);
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Disattiva ordine")));
    QVERIFY(!Order(QStringLiteral("dtcanc"), id).isEmpty());
    QCOMPARE(w->List()->CurrentId(), id);
    QVERIFY(MenuCaptions(w->DG_Ordini).contains(QStringLiteral("Riattiva ordine")));
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Riattiva ordine")));
    QVERIFY(Order(QStringLiteral("dtcanc"), id).isEmpty());

    // Not active orders hidden: the warning.
    w->Filters->CK_Find_IncludiNonAttivi->setChecked(false);
    QTest::mouseClick(w->Filters->PB_EstraiElenco, Qt::LeftButton);
    Select(id);
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Disattiva ordine")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("L'ordine disattivato non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
}

void tst_gestione_ordini::userMenu()
{
    const QString id = MakeOrders(1).first();
    Open();
    ShowMarked();
    Select(id);
    QStringList expected = {QStringLiteral("Nuovo ordine"),
                            QStringLiteral("Gestione sommario dell'ordine"),
                            QStringLiteral("Gestione scadenze dell'ordine"),
                            QStringLiteral("-"),
                            QStringLiteral("Modifica"),
                            QStringLiteral("-"),
                            QStringLiteral("Elimina ordine"),
                            QStringLiteral("-"),
                            QStringLiteral("Disattiva ordine"),
                            QStringLiteral("-"),
                            QStringLiteral("Blocca ordine"),
                            QStringLiteral("-"),
                            QStringLiteral("Info supplementari"),
                            QStringLiteral("-")};
    // The lines editor is part of the program: its entry comes first.
    if (IsQuoteWindowAvailable(kQuoteLinesWindow))
        expected = QStringList{QStringLiteral("Dettaglio prodotti dell'ordine"), QStringLiteral("-")}
                   + expected;
    QStringList captions = MenuCaptions(w->DG_Ordini);
    while (!captions.isEmpty() && captions.last() == QLatin1String("-"))
        captions.removeLast();
    while (!expected.isEmpty() && expected.last() == QLatin1String("-"))
        expected.removeLast();
    QCOMPARE(captions, expected);

    // An empty list offers only the new order.
    w->Filters->EF_Find_DescOrdine->SetText(QStringLiteral("nessun ordine ha questo testo"));
    QTest::mouseClick(w->Filters->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(MenuCaptions(w->DG_Ordini), QStringList{QStringLiteral("Nuovo ordine")});
}

void tst_gestione_ordini::linesAndFolderOpenOnTheOrder()
{
    const TWindowFactory realLines = RegisteredWindowFactory(kQuoteLinesWindow);
    RegisterWindow(kQuoteLinesWindow, [](QWidget *parent) { return new TStandInLines(parent); });
    RegisterWindow(QStringLiteral("FOLDER_PREVENTIVO"),
                   [](QWidget *parent) { return new TStandInFolder(parent); });
    Started() = {};
    const QString id = MakeOrders(1).first();
    Super(QStringLiteral("UPDATE ordini SET txnomefolder = NULL WHERE idordine = '%1'").arg(id));
    Open();
    ShowMarked();
    Select(id);
    QStringList captions = MenuCaptions(w->DG_Ordini);
    QCOMPARE(captions.mid(0, 3),
             QStringList({QStringLiteral("Dettaglio prodotti dell'ordine"),
                          QStringLiteral("-"),
                          QStringLiteral("Nuovo ordine")}));
    // The lines editor gets the order's id, not its quote's.
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Dettaglio prodotti dell'ordine")));
    QCOMPARE(Started().lines,
             QStringList({id,
                          CurrentValue(w->DG_Ordini, QStringLiteral("txNuPreventivo")),
                          Order(QStringLiteral("txdescordine"), id)}));

    // With a folder the folder entry is there too, in order mode.
    Super(QStringLiteral("UPDATE ordini SET txnomefolder = 'Cartella 1' WHERE idordine = '%1'")
              .arg(id));
    w->sLastId = id;
    w->ExtractWithFilters();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Gestione cartella dell'ordine")));
    QCOMPARE(Started().folder.value(0), QStringLiteral("1"));
    QCOMPARE(Started().folder.value(1), id);
    QCOMPARE(Started().folder.value(4), QStringLiteral("Cartella 1"));

    // A blocked order's lines are not opened.
    env->Db().Module().Query(QStringLiteral("EXEC ChangeBloccoOrdine '%1', 1, 'ADMIN'").arg(id));
    w->sLastId = id;
    w->ExtractWithFilters();
    Started().lines.clear();
    QVERIFY(ChooseMenu(w->DG_Ordini, QStringLiteral("Dettaglio prodotti dell'ordine")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("L'ordine è bloccato, non è possibile modificarne la struttura."));
    QVERIFY(Started().lines.isEmpty());
    for (QWidget *open : QApplication::topLevelWidgets())
        if (dynamic_cast<TStandInLines *>(open))
            delete open;
    UnregisterWindow(kQuoteLinesWindow);
    if (realLines)
        RegisterWindow(kQuoteLinesWindow, realLines);
    UnregisterWindow(QStringLiteral("FOLDER_PREVENTIVO"));
}

// --- Two operators ----------------------------------------------------------------------------

void tst_gestione_ordini::twoOperatorsOneQuote()
{
    // Both ask at once: the first one's transaction holds the quote, the second waits, then is
    // refused with the reason; one order exists.
    const QString quote = BlockedQuote();
    TSTD_DBMODULE a, b;
    a.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    b.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    env->Db().LogOn(QStringLiteral("ADMIN"), &a);
    env->Db().LogOn(QStringLiteral("MROSSI"), &b);
    a.BeginTrans();
    a.Query(QStringLiteral("EXEC CreaOrdineDaPreventivo '%1', 'ADMIN'").arg(quote));
    std::atomic<bool> done{false};
    QString errorB;
    std::thread other([&] {
        try {
            b.Query(QStringLiteral("EXEC CreaOrdineDaPreventivo '%1', 'MROSSI'").arg(quote));
        } catch (const EDatabaseError &e) {
            errorB = e.ProviderText();
        }
        done = true;
    });
    QTest::qWait(400);
    QVERIFY(!done);
    a.CommitTrans();
    other.join();
    QVERIFY2(errorB.contains(QStringLiteral("Dal preventivo è già stato creato un ordine.")),
             qPrintable(errorB));
    QCOMPARE(Super(
                 QStringLiteral("SELECT count(*) FROM ordini WHERE idpreventivo = '%1'").arg(quote)),
             QStringLiteral("1"));
    // The order's lines were copied once.
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM preventivo_dettaglio d JOIN ordini o ON "
                                  "o.idordine = d.idordine WHERE o.idpreventivo = '%1'")
                       .arg(quote)),
             Super(QStringLiteral("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = "
                                  "'%1'")
                       .arg(quote)));
}

QTEST_MAIN(tst_gestione_ordini)
#include "tst_gestione_ordini.moc"
