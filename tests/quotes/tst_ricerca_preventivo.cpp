// The quote search: the company given by the caller, its fixed arguments (never deactivated
// quotes, blocked ones always, only quotes an order can be made from), its own settings, the
// ways of choosing and the cancel rules.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "controls/tkrttoggleswitch.h"
#include "masterdata/customerfilters.h"
#include "masterdata/radiogroup.h"
#include "quotes/quotefilters.h"
#include "quotes/ricerca_preventivo.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class tst_ricerca_preventivo : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    std::unique_ptr<TRICERCA_PREVENTIVO> dlg;

    TRICERCA_PREVENTIVO *Open(const QString &company)
    {
        dlg = std::make_unique<TRICERCA_PREVENTIVO>();
        dlg->sIdSocieta = company;
        dlg->open();
        return dlg.get();
    }
    void Extract() { QTest::mouseClick(dlg->Filters->PB_EstraiElenco, Qt::LeftButton); }
    // Quotes an order can be made from: blocked, active, without an order.
    int Orderable(const QString &company)
    {
        return env
            ->Super(QStringLiteral("SELECT count(*) FROM preventivi q WHERE idsocieta = '%1' AND "
                                   "flbloccato = 1 AND dtcanc IS NULL AND NOT EXISTS (SELECT 1 "
                                   "FROM ordini o WHERE o.idpreventivo = q.idpreventivo)")
                        .arg(company))
            .toInt();
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(TDemoOperator::Operator); }
    void cleanup()
    {
        dlg.reset();
        env.reset();
    }

    void fixedArguments_data();
    void fixedArguments();
    void firstOpeningShowsTheQuotesToOrder();
    void choosingReturnsTheQuote_data();
    void choosingReturnsTheQuote();
    void emptyResultCancels();
    void closingOtherwiseCancels();
    void callerProtocol();
};

void tst_ricerca_preventivo::fixedArguments_data()
{
    QTest::addColumn<bool>("customerSearch");
    QTest::addColumn<QString>("ending");
    QTest::newRow("customer search off: 0, 1, 1") << false << ", null, null, 0, 1, 1";
    QTest::newRow("customer search on, every nation")
        << true << ", 0, 1, 1, null, null, null, null, 2, null";
}

void tst_ricerca_preventivo::fixedArguments()
{
    // Whatever the quote list saved, and whatever this dialog saved: deactivated quotes never,
    // blocked ones always.
    QFETCH(bool, customerSearch);
    QFETCH(QString, ending);
    env->SetSetting("FrmGesPrev_AllAnni", "SI");
    env->SetSetting("FrmGesPrev_IncludiNonAttivi", "SI");
    env->SetSetting("FrmGesPrev_IncludiBloccati", "NO");
    env->SetSetting("FrmFindPrev_AllAnni", "NO");
    env->SetSetting("FrmFindPrev_NumAnno", "2021");
    env->SetSetting("FrmFindPrev_IncludiNonAttivi", "SI");
    env->SetSetting("FrmFindPrev_RicercaPerCliente", customerSearch ? "SI" : "NO");
    env->SetSetting("FrmFindPrev_Nazionalita", "2");
    Open(kSoc2);
    QVERIFY(!dlg->Filters->CK_Find_IncludiNonAttivi);
    QVERIFY(!dlg->Filters->CK_Find_IncludiBloccati);
    QCOMPARE(dlg->Filters->PAN_Filters_Cliente->isVisible(), customerSearch);
    Extract();
    const QString command = env->LastCommand();
    QVERIFY2(command.startsWith(
                 QStringLiteral("EXEC EstraiPreventivi  1, '%1', 2021, null, null, null").arg(kSoc2)),
             qPrintable(command));
    QVERIFY2(command.endsWith(ending), qPrintable(command));
    QCOMPARE(env->Setting("FrmFindPrev_NumAnno"), QStringLiteral("2021"));
    QCOMPARE(env->Setting("FrmGesPrev_IncludiBloccati"), QStringLiteral("NO")); // not touched
}

void tst_ricerca_preventivo::firstOpeningShowsTheQuotesToOrder()
{
    // No saved keys: the reset filters; as soon as it shows, the quotes of the caller's company
    // an order can be made from, each with its padlock.
    env->SetSetting("FrmGesPrev_AllAnni", "SI"); // the quote list's keys count for nothing here
    Open(kSoc1);
    TQuoteFilters *f = dlg->Filters;
    QCOMPARE(f->EF_Find_NumAnno->Text(), QString::number(QDate::currentDate().year()));
    QVERIFY(f->CK_Find_AllNumeri->isChecked());
    QVERIFY(f->CK_Find_AllDate->isChecked());
    QVERIFY(f->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!f->TS_Find_RicercaPerCliente->isChecked());
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiPreventivi  1, '%1', %2, null, null, null, null, null, 0, "
                            "1, 1")
                 .arg(kSoc1)
                 .arg(QDate::currentDate().year()));
    TDataSet *ds = dlg->DST_GRID_Preventivi();
    QCOMPARE(ds->RecordCount(), Orderable(kSoc1));
    QCOMPARE(ds->CountMatching(QStringLiteral("flBloccato = 1 AND dtCanc = NULL")),
             ds->RecordCount());
    QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
             QStringLiteral(" N° Preventivi: %1 ").arg(ds->RecordCount()));
    QVERIFY(!dlg->findChild<QLabel *>(QStringLiteral("SF_Legenda")));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Cerca preventivo"));
}

void tst_ricerca_preventivo::choosingReturnsTheQuote_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("button") << "button";
    QTest::newRow("menu") << "menu";
}

void tst_ricerca_preventivo::choosingReturnsTheQuote()
{
    QFETCH(QString, how);
    Open(kSoc1);
    TDataSet *ds = dlg->DST_GRID_Preventivi();
    QVERIFY(ds->RecordCount() > 2);
    ds->SetRecNo(2);
    const QString id = ds->FieldByName(QStringLiteral("idPreventivo")).AsString();
    // A double click chooses nothing.
    const QModelIndex index = dlg->DG_Preventivi->model()->index(1, 1);
    QTest::mouseDClick(dlg->DG_Preventivi->viewport(),
                       Qt::LeftButton,
                       {},
                       dlg->DG_Preventivi->visualRect(index).center());
    QVERIFY(dlg->isVisible());
    if (how == "button") {
        QTest::mouseClick(dlg->PB_Select, Qt::LeftButton);
    } else {
        QCOMPARE(MenuCaptions(dlg->DG_Preventivi),
                 (QStringList{"Seleziona preventivo", "-", "Info supplementari"}));
        QVERIFY(ChooseMenu(dlg->DG_Preventivi, QStringLiteral("Seleziona preventivo")));
    }
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(dlg->idPreventivo, id);
    QCOMPARE(CurrentValue(dlg->DG_Preventivi, QStringLiteral("idPreventivo")), id);
}

void tst_ricerca_preventivo::emptyResultCancels()
{
    Open(kSoc1);
    TypeInto(dlg->Filters->EF_Find_DescPreventivo,
             QStringLiteral("nessun preventivo si chiama così"));
    Extract();
    QCOMPARE(dlg->DST_GRID_Preventivi()->RecordCount(), 0);
    QVERIFY(!dlg->PB_Select->isVisible());
    QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("PAN_Status"))->isVisible());
    QVERIFY(MenuCaptions(dlg->DG_Preventivi).isEmpty());
    dlg->PB_SelectClick();
    QVERIFY(dlg->isVisible());
    dlg->close();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QVERIFY(dlg->idPreventivo.isEmpty());
}

void tst_ricerca_preventivo::closingOtherwiseCancels()
{
    Open(kSoc1);
    QVERIFY(dlg->DST_GRID_Preventivi()->RecordCount() > 0);
    dlg->DST_GRID_Preventivi()->SetRecNo(1);
    dlg->close(); // the window's close button, a row highlighted
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QVERIFY(!dlg->bSelected);
    QVERIFY(dlg->idPreventivo.isEmpty());
}

void tst_ricerca_preventivo::callerProtocol()
{
    // As the order list runs it: the quote whose subject starts with a text.
    const QString expected = env->Super(
        QStringLiteral("SELECT idpreventivo FROM preventivi q WHERE idsocieta = '%1' AND "
                       "flbloccato = 1 AND dtcanc IS NULL AND txdescoggetto ILIKE 'Revamping%%' "
                       "AND NOT EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = "
                       "q.idpreventivo) ORDER BY nupreventivo DESC LIMIT 1")
            .arg(kSoc1));
    QVERIFY(!expected.isEmpty());
    QTimer::singleShot(0, this, [] {
        auto *d = qobject_cast<TRICERCA_PREVENTIVO *>(QApplication::activeModalWidget());
        if (!d)
            return;
        TypeInto(d->Filters->EF_Find_DescPreventivo, QStringLiteral("Revamping"));
        d->Filters->RG_Find_DescPreventivo->SetItemIndex(1);
        d->Filters->CK_Find_OrdinaRecenti->setChecked(false);
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        d->PB_SelectClick();
    });
    QString id;
    QVERIFY(TRICERCA_PREVENTIVO::Choose(nullptr, kSoc1, &id));
    QCOMPARE(id, expected);
    QCOMPARE(env->Setting("FrmFindPrev_DescPreventivo"), QStringLiteral("Revamping"));
}

QTEST_MAIN(tst_ricerca_preventivo)
#include "tst_ricerca_preventivo.moc"
