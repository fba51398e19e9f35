// The quote window driven as an operator does, against a fresh demo database: the command
// texts of the filters, the first opening, new quotes numbered by the database, every state
// change with its confirmation and refusals, the deadline message, deletion and re-selection,
// the user menu in every state, the windows opened on one quote, bad input and two operators
// changing the same header.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "common/clipboard.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrttoggleswitch.h"
#include "controls/tkrtupdown.h"
#include "controls/tspecombobox.h"
#include "masterdata/companyselector.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/radiogroup.h"
#include "masterdata/ricerca_cliente.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteheaderpanel.h"
#include "quotes/quoteopeners.h"

#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

namespace {

// What a window on one quote was started with.
struct TStarted
{
    QString name;
    QStringList args;
};
QList<TStarted> g_started;

class TFakeQuoteWindow : public QWidget,
                         public TQuoteLinesStarter,
                         public TQuoteLayoutStarter,
                         public TQuoteFolderStarter
{
public:
    explicit TFakeQuoteWindow(const QString &name, QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(name);
        setAttribute(Qt::WA_DeleteOnClose);
    }
    void Start(const QString &a, const QString &b, const QString &c) override
    {
        g_started.append({objectName(), {a, b, c}});
    }
    void Start(const QString &a, const QString &b, const QString &c, const QString &d) override
    {
        g_started.append({objectName(), {a, b, c, d}});
    }
    void Start(bool gestione,
               const QString &id,
               bool blocked,
               int revision,
               const QString &url,
               const QString &pdf,
               const QString &folder,
               const QString &subject,
               const QString &customer,
               const QString &year,
               const QString &number,
               const QString &shown) override
    {
        g_started.append({objectName(),
                          {gestione ? "1" : "0",
                           id,
                           blocked ? "1" : "0",
                           QString::number(revision),
                           url,
                           pdf,
                           folder,
                           subject,
                           customer,
                           year,
                           number,
                           shown}});
        close(); // a modal window ends before Start returns
    }
};

} // namespace

class tst_gestione_preventivi : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_PREVENTIVI> w;

    TGESTIONE_PREVENTIVI *Open()
    {
        w = new TGESTIONE_PREVENTIVI;
        w->resize(1500, 900);
        w->show();
        return w;
    }
    void Extract() { QTest::mouseClick(w->Filters->PB_EstraiElenco, Qt::LeftButton); }
    QString Sql(const QString &sql) { return env->Super(sql); }
    QString Value(const QString &columns, const QString &id)
    {
        return Sql(
            QStringLiteral("SELECT %1 FROM preventivi WHERE idpreventivo = '%2'").arg(columns, id));
    }
    int CountQuotes() { return Sql(QStringLiteral("SELECT count(*) FROM preventivi")).toInt(); }
    // A new numbered quote of the operator's company, with one line.
    QString MakeQuote(const QString &subject, bool fixedDate, int days, bool blocked = false)
    {
        const QString id = NewGuidText();
        Sql(QStringLiteral("INSERT INTO preventivi (idpreventivo, idsocieta, txdescoggetto, "
                           "flscadenzafissa, nuggscaddalblocco, dtscadenza, txutentein, dtin) "
                           "VALUES ('%1', '%2', '%3', %4, %5, %6, 'MROSSI', localtimestamp)")
                .arg(id, kSoc1, subject)
                .arg(fixedDate ? 1 : 0)
                .arg(days)
                .arg(fixedDate ? QStringLiteral("'2031-05-20'") : QStringLiteral("NULL")));
        TSTD_DBMODULE &db = env->Db().Module();
        db.Query(QStringLiteral("EXEC SetNewPreventivo ") + SqlText(id) + ", 'MROSSI'");
        const QString product = Sql(
            "SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'");
        db.Query(QStringLiteral("EXEC AddProdottoToPreventivo %1, %2, %3, NULL, 1, 0, 'MROSSI'")
                     .arg(SqlText(id), SqlText(NewGuidText()), SqlText(product)));
        if (blocked)
            db.Query(QStringLiteral("EXEC ChangeBloccoPreventivo %1, 1, 'MROSSI'").arg(SqlText(id)));
        return id;
    }
    // Extracts with the filters and makes that quote the current row.
    bool Select(const QString &id)
    {
        Extract();
        TDataSet *ds = w->DST_GRID_Preventivi();
        return ds && ds->Locate(QStringLiteral("idPreventivo"), id, loCaseInsensitive);
    }
    QString CurrentId() { return CurrentValue(w->DG_Preventivi, QStringLiteral("idPreventivo")); }
    // Chooses the customer search's row of that customer when the modal search shows.
    void ChooseCustomerWhenAsked(const QString &name)
    {
        QTimer::singleShot(0, this, [name] {
            auto *d = qobject_cast<TRICERCA_CLIENTE *>(QApplication::activeModalWidget());
            if (!d)
                return;
            TypeInto(d->Filters->Registry->EF_Find_Denominazione, name);
            d->Filters->Registry->RG_Find_Nazionalita->SetItemIndex(2);
            d->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
            QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
            d->PB_SelectClick();
        });
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init()
    {
        g_started.clear();
        env = std::make_unique<TMasterDataEnvironment>(TDemoOperator::Operator);
    }
    void cleanup()
    {
        if (w) {
            env->Recorder().QueueYes();
            w->close();
            delete w;
        }
        env.reset();
    }

    void openedByNameAsTheLauncherDoes();
    void extractionCommand_data();
    void extractionCommand();
    void firstOpeningAndSavedFilters();
    void companySelectorRule();
    void newQuote_data();
    void newQuote();
    void blockingAndTheDeadline_data();
    void blockingAndTheDeadline();
    void stateChanges();
    void revisions();
    void duplicate();
    void deletionAndReselection_data();
    void deletionAndReselection();
    void userMenu_data();
    void userMenu();
    void windowsOnOneQuote();
    void badInputStoresNothing_data();
    void badInputStoresNothing();
    void apostrophesAreStoredAsTyped();
    void changeOfAnotherOperatorIsShownNotOverwritten();
    void closingWhileEditing();
    void copyIdForDevelopers();
};

void tst_gestione_preventivi::openedByNameAsTheLauncherDoes()
{
    // The launcher's "Preventivi" opens the window registered as GESTIONE_PREVENTIVI, once.
    QVERIFY(IsWindowRegistered(QStringLiteral("GESTIONE_PREVENTIVI")));
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1600, 1000);
    main.show();
    const auto open = [area](bool *created) {
        return OpenChildWindow(
            QStringLiteral("GESTIONE_PREVENTIVI"),
            area,
            [](QWidget *parent) {
                return CreateRegisteredWindow(QStringLiteral("GESTIONE_PREVENTIVI"), parent);
            },
            {},
            created);
    };
    bool created = false;
    QPointer<QWidget> first = open(&created);
    QVERIFY(created);
    QVERIFY(qobject_cast<TGESTIONE_PREVENTIVI *>(first));
    QCOMPARE(first->windowTitle(), QStringLiteral("Gestione preventivi"));
    QCOMPARE(open(&created), first.data());
    QVERIFY(!created);
    QCOMPARE(area->subWindowList().size(), 1);
    // 70 % of the free area, at least as wide as its columns need within it.
    QVERIFY(area->subWindowList().at(0)->width() >= qRound(area->width() * 0.7) - 1);
    area->closeAllSubWindows();
    QTRY_VERIFY(!first);
}

// --- Filters and their command ------------------------------------------------------------------

void tst_gestione_preventivi::extractionCommand_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("arguments"); // after "EXEC EstraiPreventivi  1, '<company>', "
    const QString y = QString::number(QDate::currentDate().year());
    QTest::newRow("reset filters") << "" << y + ", null, null, null, null, null, 0, 1, 0";
    QTest::newRow("year 2021 with the arrows") << "year2021"
                                               << "2021, null, null, null, null, null, 0, 1, 0";
    QTest::newRow("every year") << "allYears"
                                << "null, null, null, null, null, null, 0, 1, 0";
    QTest::newRow("number and revision") << "numbers" << y + ", 12, 2, null, null, null, 0, 1, 0";
    QTest::newRow("subject contains")
        << "contains" << y + ", null, null, '%quadri%', null, null, 0, 1, 0";
    QTest::newRow("subject starts with, apostrophe")
        << "startsWith" << y + ", null, null, 'Quadro d''officina%', null, null, 0, 1, 0";
    QTest::newRow("period") << "period"
                            << y + ", null, null, null, '20260301', '20260331', 0, 1, 0";
    QTest::newRow("not active in, blocked out")
        << "flags" << y + ", null, null, null, null, null, 1, 0, 0";
    QTest::newRow("customer search, every nation")
        << "customerAll"
        << y + ", null, null, null, null, null, 0, 1, 0, null, null, null, null, 2, null";
    QTest::newRow("customer search, Italy with code and province")
        << "customerItaly"
        << y + ", null, null, null, null, null, 0, 1, 0, 'C00012', null, null, null, 0, 'MI'";
    QTest::newRow("customer search, abroad, name starts with")
        << "customerAbroad"
        << y + ", null, null, null, null, null, 0, 1, 0, null, 'Ros''s%', null, null, 1, 'Francia'";
}

void tst_gestione_preventivi::extractionCommand()
{
    QFETCH(QString, setup);
    QFETCH(QString, arguments);
    Open();
    TQuoteFilters *f = w->Filters;
    if (setup == "year2021") {
        const int clicks = QDate::currentDate().year() - 2021;
        for (int i = 0; i < clicks; ++i)
            f->UD_Find_NumAnno->DownButton()->click();
        QCOMPARE(f->EF_Find_NumAnno->Text(), QStringLiteral("2021"));
        QVERIFY(HasFocus(f->PB_EstraiElenco)); // the arrows extract nothing, they move the focus
    } else if (setup == "allYears") {
        QTest::mouseClick(f->CK_Find_AllAnni, Qt::LeftButton);
        QVERIFY(f->EF_Find_NumAnno->Text().isEmpty());
        QVERIFY(!f->UD_Find_NumAnno->isEnabled());
    } else if (setup == "numbers") {
        QVERIFY(f->EF_Find_NumPreventivo->ReadOnly());
        QTest::mouseClick(f->CK_Find_AllNumeri, Qt::LeftButton);
        QVERIFY(!f->EF_Find_NumPreventivo->ReadOnly());
        TypeInto(f->EF_Find_NumPreventivo, QStringLiteral("1x2")); // digits only
        TypeInto(f->EF_Find_NumRevisione, QStringLiteral("2"));
    } else if (setup == "contains") {
        TypeInto(f->EF_Find_DescPreventivo, QStringLiteral("quadri"));
    } else if (setup == "startsWith") {
        TypeInto(f->EF_Find_DescPreventivo, QStringLiteral("Quadro d'officina"));
        QTest::mouseClick(f->RG_Find_DescPreventivo->Button(1), Qt::LeftButton);
    } else if (setup == "period") {
        QTest::mouseClick(f->CK_Find_AllDate, Qt::LeftButton);
        TypeInto(f->EF_Find_DataPrevDal, QStringLiteral("1/3/2026"));
        TypeInto(f->EF_Find_DataPrevAl, QStringLiteral("31/03/2026"));
    } else if (setup == "flags") {
        QTest::mouseClick(f->CK_Find_IncludiNonAttivi, Qt::LeftButton);
        QTest::mouseClick(f->CK_Find_IncludiBloccati, Qt::LeftButton);
    } else if (setup.startsWith("customer")) {
        QVERIFY(!f->PAN_Filters_Cliente->isVisible());
        QTest::mouseClick(f->TS_Find_RicercaPerCliente, Qt::LeftButton);
        QVERIFY(f->PAN_Filters_Cliente->isVisible());
        QCOMPARE(f->TS_Find_RicercaPerCliente->Caption(),
                 QStringLiteral("Disattiva ricerca per cliente"));
        TCustomerFilters *c = f->Customer;
        if (setup == "customerAll") {
            QTest::mouseClick(c->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
        } else if (setup == "customerItaly") {
            TypeInto(c->EF_Find_CodCliente, QStringLiteral("c00012"));
            c->SCB_Find_Provincia->SetText(QStringLiteral("MI"));
        } else {
            TypeInto(c->EF_Find_Denominazione, QStringLiteral("Ros's"));
            QTest::mouseClick(c->RG_Find_Denominazione->Button(1), Qt::LeftButton);
            QTest::mouseClick(c->RG_Find_Nazionalita->Button(1), Qt::LeftButton);
            TypeInto(c->EF_Find_Nazione, QStringLiteral("Francia"));
        }
    }
    Extract();
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiPreventivi  1, '%1', ").arg(kSoc1) + arguments);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(w->DST_GRID_Preventivi());
    QVERIFY(HasFocus(w->DG_Preventivi));
}

void tst_gestione_preventivi::firstOpeningAndSavedFilters()
{
    // No saved filters: the reset ones, and the list the database gives without filters (the
    // company's latest quotes), newest operation first.
    Open();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiPreventivi  0"));
    TQuoteFilters *f = w->Filters;
    QCOMPARE(f->EF_Find_NumAnno->Text(), QString::number(QDate::currentDate().year()));
    QVERIFY(!f->CK_Find_AllAnni->isChecked());
    QVERIFY(f->CK_Find_AllNumeri->isChecked());
    QVERIFY(f->CK_Find_AllDate->isChecked());
    QVERIFY(!f->EF_Find_DataPrevDal->isEnabled());
    QVERIFY(f->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!f->CK_Find_IncludiNonAttivi->isChecked());
    QVERIFY(f->CK_Find_IncludiBloccati->isChecked());
    QVERIFY(!f->TS_Find_RicercaPerCliente->isChecked());
    QVERIFY(!f->PAN_Filters_Cliente->isVisible());
    QVERIFY(HasFocus(f->EF_Find_DescPreventivo->Edit()));
    const int active = Sql(QStringLiteral("SELECT count(*) FROM preventivi WHERE idsocieta = '%1' "
                                          "AND dtcanc IS NULL")
                               .arg(kSoc1))
                           .toInt();
    QCOMPARE(w->DST_GRID_Preventivi()->RecordCount(), qMin(active, 100));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
             QStringLiteral(" N° preventivi: %1 ").arg(qMin(active, 100)));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Legenda"))->text(),
             QStringLiteral(" (B) Preventivi bloccati "));

    // "Estrai elenco" writes the filters; the next opening reads them back.
    QTest::mouseClick(f->CK_Find_AllAnni, Qt::LeftButton);
    TypeInto(f->EF_Find_DescPreventivo, QStringLiteral("quadri"));
    QTest::mouseClick(f->TS_Find_RicercaPerCliente, Qt::LeftButton);
    QTest::mouseClick(f->Customer->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
    Extract();
    QCOMPARE(env->Setting("FrmGesPrev_AllAnni"), QStringLiteral("SI"));
    QCOMPARE(env->Setting("FrmGesPrev_DescPreventivo"), QStringLiteral("quadri"));
    QCOMPARE(env->Setting("FrmGesPrev_RicercaPerCliente"), QStringLiteral("SI"));
    QCOMPARE(env->Setting("FrmGesPrev_Nazionalita"), QStringLiteral("2"));
    QCOMPARE(env->Setting("FrmGesPrev_KeySocieta"), QString(kIniAbsent)); // no selector shown
    QCOMPARE(env->Setting("FrmFindPrev_AllAnni"), QString(kIniAbsent));   // the search's own
    const QString command = env->LastCommand();
    w->close();
    delete w;

    // Values the file may hold by hand: a year that is no number, a number with letters.
    env->SetSetting("FrmGesPrev_AllAnni", "NO");
    env->SetSetting("FrmGesPrev_NumAnno", "duemila");
    env->SetSetting("FrmGesPrev_AllNumeri", "NO");
    env->SetSetting("FrmGesPrev_NumPreventivo", "12a");
    Open();
    f = w->Filters;
    QCOMPARE(f->EF_Find_NumAnno->Text(), QString::number(QDate::currentDate().year()));
    QVERIFY(f->EF_Find_NumPreventivo->Text().isEmpty());
    QVERIFY(!f->EF_Find_NumPreventivo->ReadOnly());
    QCOMPARE(f->EF_Find_DescPreventivo->Text(), QStringLiteral("quadri"));
    QVERIFY(f->TS_Find_RicercaPerCliente->isChecked());
    QVERIFY(f->PAN_Filters_Cliente->isVisible());
    Extract();
    QCOMPARE(env->LastCommand(),
             QString(command)
                 .replace(QStringLiteral("'%1', null").arg(kSoc1),
                          QStringLiteral("'%1', %2").arg(kSoc1).arg(QDate::currentDate().year())));
}

void tst_gestione_preventivi::companySelectorRule()
{
    // A "funzionario" chooses the company; a quote made then belongs to it.
    env->LogOn(TDemoOperator::Funzionario);
    Open();
    QVERIFY(w->HasCompanySelector());
    QVERIFY(w->CompanySelector()->Select(kSoc2));
    Extract();
    QVERIFY(env->LastCommand().startsWith(
        QStringLiteral("EXEC EstraiPreventivi  1, '%1', ").arg(kSoc2)));
    QCOMPARE(env->Setting("FrmGesPrev_KeySocieta"), kSoc2);
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    const QString id = w->sLastId;
    TypeInto(w->PAN_Input->EF_DescOggetto, QStringLiteral("Per la seconda società"));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("idsocieta", id), kSoc2);
    w->close();
    delete w;
    // An operator of a company never sees the selector.
    env->LogOn(TDemoOperator::Operator);
    Open();
    QVERIFY(!w->HasCompanySelector());
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("PAN_Societa"))->isVisible());
}

// --- New quote ----------------------------------------------------------------------------------

void tst_gestione_preventivi::newQuote_data()
{
    QTest::addColumn<bool>("withCustomer");
    QTest::addColumn<bool>("fixedDate");
    QTest::newRow("no customer, days from blocking") << false << false;
    QTest::newRow("customer from the search, fixed date") << true << true;
}

void tst_gestione_preventivi::newQuote()
{
    QFETCH(bool, withCustomer);
    QFETCH(bool, fixedDate);
    Open();
    Extract();
    const int before = CountQuotes();
    const int lastNumber = Sql(QStringLiteral("SELECT coalesce(max(nupreventivo), 0) FROM "
                                              "preventivi WHERE idsocieta = '%1' AND "
                                              "nuannopreventivo = %2")
                                   .arg(kSoc1)
                                   .arg(QDate::currentDate().year()))
                               .toInt();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    TQuoteHeaderPanel *p = w->PAN_Input;
    QVERIFY(p->isVisible());
    QVERIFY(!w->DG_Preventivi->isVisible());
    QCOMPARE(w->xTipoOp, coGENInsert);
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Preventivo"));
    QVERIFY(HasFocus(p->EF_DescOggetto->Edit()));
    const QString id = w->sLastId;
    QString customer;
    if (withCustomer) {
        customer = Sql(QStringLiteral("SELECT idcliente FROM clienti WHERE idsocieta = '%1' AND "
                                      "dtcanc IS NULL AND txdenominazione ILIKE '%%Meccanica%%' "
                                      "ORDER BY dtmod DESC NULLS LAST, txdenominazione LIMIT 1")
                           .arg(kSoc1));
        ChooseCustomerWhenAsked(
            Sql("SELECT txdenominazione FROM clienti WHERE idcliente = '" + customer + "'"));
        QTest::mouseClick(p->PB_RicercaCliente, Qt::LeftButton);
        QCOMPARE(p->CustomerId(), customer);
        QVERIFY(p->EF_DescCliente->Text().contains(QStringLiteral("Meccanica")));
    }
    TypeInto(p->EF_DescOggetto, QStringLiteral("Quadro di comando pompe"));
    if (fixedDate) {
        QTest::mouseClick(p->TS_ScadenzaFissaPreventivo, Qt::LeftButton);
        QVERIFY(p->EF_DataScadenza->isVisible());
        QVERIFY(!p->EF_NumGiorniScadenza->isVisible());
        TypeInto(p->EF_DataScadenza, QStringLiteral("15/07/2031"));
    } else {
        TypeInto(p->EF_NumGiorniScadenza, QStringLiteral("30"));
    }
    TypeInto(p->EF_NotePreventivo, QStringLiteral("Consegna in 4 settimane"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);

    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(CountQuotes(), before + 1);
    // Year, number, revision and date come from SetNewPreventivo, in the same save.
    QCOMPARE(Value("nuannopreventivo || '/' || nupreventivo || '/' || nurevisione || '/' || "
                   "dtpreventivo::date",
                   id),
             QStringLiteral("%1/%2/1/%3")
                 .arg(QDate::currentDate().year())
                 .arg(lastNumber + 1)
                 .arg(QDate::currentDate().toString(Qt::ISODate)));
    QCOMPARE(Value("coalesce(idcliente, '-') || '/' || txutentein || '/' || txnotepreventivo", id),
             (withCustomer ? customer : QStringLiteral("-"))
                 + QStringLiteral("/MROSSI/Consegna in 4 settimane"));
    QCOMPARE(Value("flscadenzafissa || '/' || nuggscaddalblocco || '/' || "
                   "coalesce(dtscadenza::date::text, '-')",
                   id),
             fixedDate ? QStringLiteral("1/0/2031-07-15") : QStringLiteral("0/30/-"));
    // The list is read again and stands on the new quote; the rule is the next proposal.
    QVERIFY(!p->isVisible());
    QCOMPARE(w->xTipoOp, coGENNone);
    QCOMPARE(CurrentId(), id);
    QCOMPARE(CurrentValue(w->DG_Preventivi, "txNuPreventivo"),
             QStringLiteral("%1/%2")
                 .arg(lastNumber + 1, 4, 10, QChar('0'))
                 .arg(QDate::currentDate().year()));
    QCOMPARE(CurrentValue(w->DG_Preventivi, "txDescMaxOperation"),
             QStringLiteral("Inserimento - MROSSI"));
    QCOMPARE(env->Setting("FrmGesPrev_ScadenzaFissaPreventivo"),
             fixedDate ? QStringLiteral("SI") : QStringLiteral("NO"));
    QCOMPARE(env->Setting("FrmGesPrev_NumGiorniScadenza"),
             fixedDate ? QString(kIniAbsent) : QStringLiteral("30"));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    QCOMPARE(p->FixedDate(), fixedDate);
    if (!fixedDate)
        QCOMPARE(p->EF_NumGiorniScadenza->Text(), QStringLiteral("30"));
    QTest::mouseClick(p->PB_Annulla_Input, Qt::LeftButton);
    QCOMPARE(CountQuotes(), before + 1);

    // Changed: the header keeps its number, the change is stamped.
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Modifica")));
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(),
             QStringLiteral("Modifica Preventivo ")
                 + CurrentValue(w->DG_Preventivi, "txNuPreventivo"));
    QCOMPARE(p->EF_DescOggetto->Text(), QStringLiteral("Quadro di comando pompe"));
    QCOMPARE(p->CustomerId(), withCustomer ? customer : QString());
    TypeInto(p->EF_DescOggetto, QStringLiteral("Quadro di comando pompe e valvole"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("txdescoggetto || '/' || txutentemod || '/' || nupreventivo", id),
             QStringLiteral("Quadro di comando pompe e valvole/MROSSI/%1").arg(lastNumber + 1));
    QCOMPARE(CurrentId(), id);
}

// --- States ---------------------------------------------------------------------------------

void tst_gestione_preventivi::blockingAndTheDeadline_data()
{
    QTest::addColumn<bool>("fixedDate");
    QTest::newRow("seven days from blocking") << false;
    QTest::newRow("fixed date: no message") << true;
}

void tst_gestione_preventivi::blockingAndTheDeadline()
{
    QFETCH(bool, fixedDate);
    const QString id = MakeQuote(QStringLiteral("Scadenza"), fixedDate, 7);
    Open();
    QVERIFY(Select(id));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Blocca preventivo")));
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0); // blocking asks nothing
    const QDate today = QDate::currentDate();
    if (fixedDate) {
        QCOMPARE(env->Recorder().Count(TDialogKind::Info), 0);
    } else {
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral("Blocco preventivo completato.\r\n\r\nLa data di scadenza del "
                                "preventivo è stata impostata a 7 giorni a partire da oggi."
                                "\r\n\r\nNuova data scadenza ")
                     + today.addDays(7).toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char('.'));
    }
    QCOMPARE(CurrentId(), id);
    QCOMPARE(CurrentValue(w->DG_Preventivi, "flBloccato"), QStringLiteral("1"));
    QCOMPARE(CurrentValue(w->DG_Preventivi, "txScadenza"),
             fixedDate ? QStringLiteral("20/05/2031")
                       : today.addDays(7).toString(QStringLiteral("dd/MM/yyyy")));

    // Unblocking asks first; "No" changes nothing.
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Sblocca preventivo")));
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Question)
                .startsWith(QStringLiteral(
                    "Confermi lo sblocco ?\r\n\r\nSe il preventivo è stato già esportato")));
    QCOMPARE(Value("flbloccato", id), QStringLiteral("1"));
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Sblocca preventivo")));
    QCOMPARE(Value("flbloccato || '/' || txutentesblocco", id), QStringLiteral("0/MROSSI"));
    if (!fixedDate)
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral(
                     "Sblocco preventivo completato.\r\n\r\nLa data di scadenza è stata "
                     "rimossa, sarà impostata a 7 giorni a partire dal prossimo blocco."));
    QCOMPARE(CurrentId(), id);
}

void tst_gestione_preventivi::stateChanges()
{
    const QString id = MakeQuote(QStringLiteral("Stati"), false, 10, true);
    Open();
    QVERIFY(Select(id));
    // A blocked quote cannot be changed, deactivated, deleted or have its lines opened.
    const QStringList refused{QStringLiteral(
                                  "Il preventivo è bloccato, non è possibile modificarlo."),
                              QStringLiteral(
                                  "Il preventivo è bloccato, non è possibile disattivarlo."),
                              QStringLiteral("Impossibile eliminare un preventivo bloccato.")};
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Modifica")));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Disattiva preventivo")));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Elimina preventivo")));
    QStringList shown;
    for (const TDialogRequest &r : env->Recorder().RequestsOf(TDialogKind::Error))
        shown << r.text;
    QCOMPARE(shown, refused);
    QVERIFY(!w->EditMode());
    QCOMPARE(Value("flbloccato || '/' || coalesce(txutentecanc, '-')", id), QStringLiteral("1/-"));

    // Unblocked, it is deactivated (and shown again only with "Includi non attivi").
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Sblocca preventivo")));
    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Disattiva preventivo")));
    QCOMPARE(Value("txutentecanc", id), QStringLiteral("MROSSI"));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Il preventivo disattivato non è visibile con i filtri applicati."
                            "\r\n\r\nCambiare le impostazioni."));
    QTest::mouseClick(w->Filters->CK_Find_IncludiNonAttivi, Qt::LeftButton);
    QVERIFY(Select(id));
    QCOMPARE(MenuCaptions(w->DG_Preventivi).contains(QStringLiteral("Riattiva preventivo")), true);
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Riattiva preventivo")));
    QVERIFY(Value("dtcanc", id).isEmpty());
    QCOMPARE(CurrentId(), id);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_gestione_preventivi::revisions()
{
    const QString id = MakeQuote(QStringLiteral("Revisioni"), false, 10);
    Open();
    QVERIFY(Select(id));
    // Undo is not offered for revision 1; a revision needs a blocked quote.
    QVERIFY(!MenuCaptions(w->DG_Preventivi).contains(QStringLiteral("Annulla revisione")));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Crea nuova revisione")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Per creare una revisione, il preventivo deve essere bloccato."));
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);

    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Blocca preventivo")));
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Crea nuova revisione")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi creazione nuova revisione del preventivo selezionato ?"));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Revisione effettuata."));
    const QString revision = CurrentId();
    QVERIFY(revision != id);
    QCOMPARE(Value("nurevisione || '/' || flbloccato", revision), QStringLiteral("2/0"));
    QVERIFY(CurrentValue(w->DG_Preventivi, "txNuPreventivo").endsWith(QStringLiteral(" Rev. 2")));

    // Revision 2 cannot be deleted, only undone; revision 1 is no longer the latest: neither
    // a new revision nor an undo is offered on it.
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Elimina preventivo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Impossibile eliminare una revisione, effettuare un annullamento."));
    QVERIFY(w->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"), id, loCaseInsensitive));
    const QStringList onFirst = MenuCaptions(w->DG_Preventivi);
    QVERIFY(!onFirst.contains(QStringLiteral("Crea nuova revisione")));
    QVERIFY(!onFirst.contains(QStringLiteral("Annulla revisione")));

    QVERIFY(w->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"),
                                             revision,
                                             loCaseInsensitive));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Annulla revisione")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi l'annullamento ? Non sarà più possibile recuperare "
                            "l'attuale revisione."));
    QCOMPARE(Value("count(*)", revision), QStringLiteral("1")); // "No": still there
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Annulla revisione")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Annullamento revisione effettuato."));
    QCOMPARE(Sql("SELECT count(*) FROM preventivi WHERE idpreventivo = '" + revision + "'"),
             QStringLiteral("0"));
    QCOMPARE(CurrentId(), id); // the previous revision is current again
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 2);
}

void tst_gestione_preventivi::duplicate()
{
    const QString id = MakeQuote(QStringLiteral("Da copiare"), false, 15, true);
    Open();
    QVERIFY(Select(id));
    const int before = CountQuotes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Duplica preventivo"))); // "No"
    QCOMPARE(CountQuotes(), before);
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Duplica preventivo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi duplicazione del Preventivo selezionato ?"));
    QCOMPARE(CountQuotes(), before + 1);
    const QString copy = CurrentId();
    QVERIFY(copy != id);
    QCOMPARE(Value("txdescoggetto || '/' || flbloccato || '/' || nurevisione || '/' || txutentein",
                   copy),
             QStringLiteral("Da copiare/0/1/MROSSI"));
    QCOMPARE(Sql("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + copy + "'"),
             QStringLiteral("1"));
}

void tst_gestione_preventivi::deletionAndReselection_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("a row in the middle: the next one") << "middle";
    QTest::newRow("the last row: the one before") << "last";
    QTest::newRow("the only row: none") << "only";
}

void tst_gestione_preventivi::deletionAndReselection()
{
    QFETCH(QString, which);
    QStringList ids;
    for (const char *subject : {"Cancellabile A", "Cancellabile B", "Cancellabile C"})
        ids << MakeQuote(QString::fromUtf8(subject), false, 5);
    Open();
    TypeInto(w->Filters->EF_Find_DescPreventivo,
             which == "only" ? QStringLiteral("Cancellabile B") : QStringLiteral("Cancellabile"));
    QTest::mouseClick(w->Filters->CK_Find_OrdinaRecenti, Qt::LeftButton); // by number, newest first
    Extract();
    TDataSet *ds = w->DST_GRID_Preventivi();
    QCOMPARE(ds->RecordCount(), which == "only" ? 1 : 3);
    // Newest first: C, B, A.
    const QString victim = which == "last" ? ids[0] : ids[1];
    QVERIFY(ds->Locate(QStringLiteral("idPreventivo"), victim, loCaseInsensitive));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Elimina preventivo"))); // "No"
    QCOMPARE(Value("count(*)", victim), QStringLiteral("1"));
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Elimina preventivo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi eliminazione definitiva del preventivo selezionato ?"));
    QCOMPARE(Value("count(*)", victim), QStringLiteral("0"));
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 0);
    if (which == "only") {
        QCOMPARE(w->DST_GRID_Preventivi()->RecordCount(), 0);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
                 QStringLiteral(" Nessun preventivo. "));
        QCOMPARE(MenuCaptions(w->DG_Preventivi), QStringList{QStringLiteral("Nuovo preventivo")});
    } else {
        QCOMPARE(CurrentId(), which == "middle" ? ids[0] : ids[1]);
    }
}

// --- Menu -----------------------------------------------------------------------------------

void tst_gestione_preventivi::userMenu_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("developer");
    QTest::addColumn<QStringList>("captions");
    const QStringList common{"Nuovo preventivo",
                             "Modifica",
                             "Duplica preventivo",
                             "-",
                             "Elimina preventivo",
                             "-"};
    QTest::newRow("open quote") << "open" << false
                                << common
                                       + QStringList{"Disattiva preventivo",
                                                     "-",
                                                     "Blocca preventivo",
                                                     "Crea nuova revisione",
                                                     "-",
                                                     "Info supplementari"};
    QTest::newRow("blocked quote, developer") << "blocked" << true
                                              << common
                                                     + QStringList{"Disattiva preventivo",
                                                                   "-",
                                                                   "Sblocca preventivo",
                                                                   "Crea nuova revisione",
                                                                   "-",
                                                                   "Info supplementari",
                                                                   "-",
                                                                   "Copia Id in clipboard"};
    QTest::newRow("deactivated quote") << "deactivated" << false
                                       << common
                                              + QStringList{"Riattiva preventivo",
                                                            "-",
                                                            "Blocca preventivo",
                                                            "Crea nuova revisione",
                                                            "-",
                                                            "Info supplementari"};
    QTest::newRow("latest revision") << "revision" << false
                                     << common
                                            + QStringList{"Disattiva preventivo",
                                                          "-",
                                                          "Blocca preventivo",
                                                          "Crea nuova revisione",
                                                          "Annulla revisione",
                                                          "-",
                                                          "Info supplementari"};
    QTest::newRow("an earlier revision") << "earlier" << false
                                         << common
                                                + QStringList{"Disattiva preventivo",
                                                              "-",
                                                              "Sblocca preventivo",
                                                              "-",
                                                              "Info supplementari"};
    QTest::newRow("empty list") << "none" << false << QStringList{"Nuovo preventivo"};
}

void tst_gestione_preventivi::userMenu()
{
    QFETCH(QString, row);
    QFETCH(bool, developer);
    QFETCH(QStringList, captions);
    SessionInfo().bDeveloperMode = developer;
    QString id = MakeQuote(QStringLiteral("Menu"), false, 5, row == "blocked" || row == "earlier");
    TSTD_DBMODULE &db = env->Db().Module();
    if (row == "deactivated")
        db.Query(QStringLiteral("EXEC ChangeStatoPreventivo %1, 0, 'MROSSI'").arg(SqlText(id)));
    if (row == "revision" || row == "earlier") {
        if (row == "revision")
            db.Query(QStringLiteral("EXEC ChangeBloccoPreventivo %1, 1, 'MROSSI'").arg(SqlText(id)));
        const QString revision = NewGuidText();
        db.Query(QStringLiteral("EXEC RevisionePreventivo %1, %2, 'MROSSI'")
                     .arg(SqlText(id), SqlText(revision)));
        if (row == "revision")
            id = revision;
    }
    Open();
    if (row == "none")
        TypeInto(w->Filters->EF_Find_DescPreventivo,
                 QStringLiteral("nessun preventivo si chiama così"));
    if (row == "deactivated")
        w->Filters->CK_Find_IncludiNonAttivi->setChecked(true);
    if (row != "none")
        QVERIFY(Select(id));
    else
        Extract();
    // The lines editor is part of the program: its entry comes first on every quote.
    if (row != "none" && IsQuoteWindowAvailable(kQuoteLinesWindow))
        captions = QStringList{"Dettaglio prodotti del preventivo", "-"} + captions;
    QCOMPARE(MenuCaptions(w->DG_Preventivi), captions);
}

void tst_gestione_preventivi::windowsOnOneQuote()
{
    // Not registered: the entries are not offered. (The lines editor is linked in: it is put
    // aside for this case and registered again at its end.)
    const TWindowFactory realLines = RegisteredWindowFactory(kQuoteLinesWindow);
    UnregisterWindow(kQuoteLinesWindow);
    const auto restoreLines = qScopeGuard([realLines] {
        if (realLines)
            RegisterWindow(kQuoteLinesWindow, realLines);
    });
    const QString open = MakeQuote(QStringLiteral("Finestre"), false, 5);
    Open();
    QVERIFY(Select(open));
    QVERIFY(!MenuCaptions(w->DG_Preventivi)
                 .contains(QStringLiteral("Dettaglio prodotti del preventivo")));

    // Once registered under their names, they are offered and started with the row's values.
    for (const QString &name : {kQuoteLinesWindow, kQuoteLayoutWindow, kQuoteCloudFolderWindow})
        RegisterWindow(name, [name](QWidget *parent) { return new TFakeQuoteWindow(name, parent); });
    const auto unregister = qScopeGuard([] {
        for (const QString &name : {kQuoteLinesWindow, kQuoteLayoutWindow, kQuoteCloudFolderWindow})
            UnregisterWindow(name);
    });
    QCOMPARE(MenuCaptions(w->DG_Preventivi).mid(0, 3),
             (QStringList{"Dettaglio prodotti del preventivo", "Imposta Layout al preventivo", "-"}));
    const QString number = CurrentValue(w->DG_Preventivi, "txNuPreventivo");
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Dettaglio prodotti del preventivo")));
    QCOMPARE(g_started.size(), 1);
    QCOMPARE(g_started[0].name, kQuoteLinesWindow);
    QCOMPARE(g_started[0].args, (QStringList{open, number, QStringLiteral("Finestre")}));
    // Open already: brought to the front, not started again.
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Dettaglio prodotti del preventivo")));
    QCOMPARE(g_started.size(), 1);
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Imposta Layout al preventivo")));
    QCOMPARE(g_started.size(), 2);
    QCOMPARE(g_started[1].args, (QStringList{open, kSoc1, QStringLiteral("Finestre"), number}));
    delete FindOpenForm(kQuoteLinesWindow);
    delete FindOpenForm(kQuoteLayoutWindow);

    // Refusals: a blocked quote's lines; a layout without a main product first.
    const QString blocked = MakeQuote(QStringLiteral("Finestre bloccato"), false, 5, true);
    Sql("UPDATE preventivi SET txnomefolder = '0001_2026 (x) (y)', txurlfilepdf = 'https://l/1' "
        "WHERE idpreventivo = '"
        + blocked + "'");
    QVERIFY(Select(blocked));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Dettaglio prodotti del preventivo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Il preventivo è bloccato, non è possibile modificarne la struttura."));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Preventivo nel Cloud")));
    QCOMPARE(g_started.size(), 3);
    QCOMPARE(g_started[2].name, kQuoteCloudFolderWindow);
    QCOMPARE(g_started[2].args.mid(0, 4), (QStringList{"1", blocked, "1", "1"}));
    QCOMPARE(g_started[2].args.mid(4, 3),
             (QStringList{"https://l/1", QString(), "0001_2026 (x) (y)"}));
    QCOMPARE(g_started[2].args.last(), CurrentValue(w->DG_Preventivi, "txNuPreventivo"));

    Sql("UPDATE preventivo_dettaglio SET flaccessorio = 1 WHERE idpreventivo = '" + open + "'");
    QVERIFY(Select(open));
    QVERIFY(!MenuCaptions(w->DG_Preventivi).contains(QStringLiteral("Preventivo nel Cloud")));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Imposta Layout al preventivo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Nessun prodotto del preventivo è impostato come principale\r\n\r\n"
                            "Modificare il dettaglio per poter continuare."));
    QCOMPARE(g_started.size(), 3);
}

// --- Bad input ------------------------------------------------------------------------------

void tst_gestione_preventivi::badInputStoresNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("no subject") << "subject"
                                << "   "
                                << "L'oggetto del preventivo è obbligatorio.";
    QTest::newRow("subject of 500 characters")
        << "subject" << QString(500, QLatin1Char('x'))
        << "L'oggetto del preventivo può contenere al massimo 200 caratteri: quello indicato ne "
           "contiene 500.";
    QTest::newRow("notes of 201 characters")
        << "notes" << QString(201, QLatin1Char('n'))
        << "Le note del preventivo possono contenere al massimo 200 caratteri: quelle indicate "
           "ne contengono 201.";
    const QString badDate = "La data di scadenza indicata non è valida: scrivere una data "
                            "esistente nella forma gg/mm/aaaa oppure sceglierla dal calendario.";
    QTest::newRow("31 February") << "date"
                                 << "31/02/2026" << badDate;
    QTest::newRow("a word for a date") << "dateText"
                                       << "domani" << badDate;
    QTest::newRow("negative days") << "days"
                                   << "-5"
                                   << "Il numero di giorni di scadenza deve essere un numero "
                                      "intero da 0 a 9999.";
}

void tst_gestione_preventivi::badInputStoresNothing()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Open();
    Extract();
    const int before = CountQuotes();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    TQuoteHeaderPanel *p = w->PAN_Input;
    TypeInto(p->EF_DescOggetto, field == "subject" ? typed : QStringLiteral("Valido"));
    if (field == "notes")
        TypeInto(p->EF_NotePreventivo, typed);
    if (field == "date" || field == "dateText") {
        QTest::mouseClick(p->TS_ScadenzaFissaPreventivo, Qt::LeftButton);
        if (field == "date")
            TypeInto(p->EF_DataScadenza, typed);
        else
            p->EF_DataScadenza->Edit()->setText(typed); // as if it had reached the field
    }
    if (field == "days")
        TypeInto(p->EF_NumGiorniScadenza, typed);
    const QString lastCommand = env->LastCommand();
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning), message);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->LastCommand(), lastCommand); // nothing sent
    QCOMPARE(CountQuotes(), before);
    QVERIFY(p->isVisible());
    QCOMPARE(w->xTipoOp, coGENInsert);
    if (field == "subject")
        QCOMPARE(p->EF_DescOggetto->Text(), typed.trimmed().isEmpty() ? QString() : typed);
}

void tst_gestione_preventivi::apostrophesAreStoredAsTyped()
{
    Open();
    Extract();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    const QString id = w->sLastId;
    const QString subject = QStringLiteral(
        "Quadro d'officina per l'azienda '; DROP TABLE preventivi; --");
    TypeInto(w->PAN_Input->EF_DescOggetto, subject);
    TypeInto(w->PAN_Input->EF_NotePreventivo, QStringLiteral("L'IVA è esclusa"));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("txdescoggetto", id), subject);
    QCOMPARE(Value("txnotepreventivo", id), QStringLiteral("L'IVA è esclusa"));
    // Found again with the subject filter "inizia con" and the apostrophe.
    TypeInto(w->Filters->EF_Find_DescPreventivo, QStringLiteral("Quadro d'officina per l'"));
    QTest::mouseClick(w->Filters->RG_Find_DescPreventivo->Button(1), Qt::LeftButton);
    Extract();
    QCOMPARE(w->DST_GRID_Preventivi()->RecordCount(), 1);
    QCOMPARE(CurrentId(), id);
}

// --- Two operators --------------------------------------------------------------------------

// Two operators change the same header: the second save is refused with the message, the
// panel shows what the first one stored, and the next "Ok" saves over it.
void tst_gestione_preventivi::changeOfAnotherOperatorIsShownNotOverwritten()
{
    const QString id = MakeQuote(QStringLiteral("Condiviso"), false, 10);
    Open();
    QVERIFY(Select(id));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Modifica")));
    TQuoteHeaderPanel *p = w->PAN_Input;

    // Meanwhile, at another workstation.
    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    env->Db().LogOn(QStringLiteral("GBIANCHI"), &other);
    TEditableRecord theirs(&other, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    theirs.Open(QStringLiteral("EXEC DatiPreventivo ") + SqlText(id));
    theirs.Edit();
    theirs.Data()
        .FieldByName(QStringLiteral("txNotePreventivo"))
        .SetValue(QStringLiteral("Prezzi 2026"));
    theirs.Post(QStringLiteral("GBIANCHI"));

    TypeInto(p->EF_DescOggetto, QStringLiteral("Condiviso e cambiato"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Errore modifica preventivo (ERR.M04).\r\n\r\n(Il record è stato "
                            "modificato da un altro operatore: i dati sono stati riletti.)"));
    QCOMPARE(Value("txdescoggetto || '/' || txnotepreventivo || '/' || txutentemod", id),
             QStringLiteral("Condiviso/Prezzi 2026/GBIANCHI"));
    QVERIFY(p->isVisible()); // still editing, with the stored values
    QCOMPARE(p->EF_NotePreventivo->Text(), QStringLiteral("Prezzi 2026"));
    QCOMPARE(p->EF_DescOggetto->Text(), QStringLiteral("Condiviso"));

    TypeInto(p->EF_DescOggetto, QStringLiteral("Condiviso e cambiato"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 1);
    QCOMPARE(Value("txdescoggetto || '/' || txnotepreventivo || '/' || txutentemod", id),
             QStringLiteral("Condiviso e cambiato/Prezzi 2026/MROSSI"));
}

void tst_gestione_preventivi::closingWhileEditing()
{
    Open();
    Extract();
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    QVERIFY(!w->close()); // "No": the window stays
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi l'annullamento dell'operazione in corso ?"));
    QVERIFY(w->isVisible());
    env->Recorder().QueueYes();
    QVERIFY(w->close());
}

void tst_gestione_preventivi::copyIdForDevelopers()
{
    SessionInfo().bDeveloperMode = true;
    const QString id = MakeQuote(QStringLiteral("Id"), false, 5);
    Open();
    QVERIFY(Select(id));
    QVERIFY(ChooseMenu(w->DG_Preventivi, QStringLiteral("Copia Id in clipboard")));
    const QString q = SqlText(id);
    QCOMPARE(ClipboardText(),
             QStringLiteral("SELECT a.*\r\n FROM Preventivi a\r\n WHERE a.idPreventivo = %1\r\n"
                            "\r\nSELECT a.*\r\n FROM Preventivo_Dettaglio a\r\n WHERE "
                            "a.idPreventivo = %1\r\n\r\nSELECT a.*\r\n FROM Ordini a\r\n INNER "
                            "JOIN Preventivi b ON (b.idPreventivo = a.idPreventivo)\r\n WHERE "
                            "b.idPreventivo = %1\r\n")
                 .arg(q));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));
}

QTEST_MAIN(tst_gestione_preventivi)
#include "tst_gestione_preventivi.moc"
