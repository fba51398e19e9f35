// The customer search dialog: the company given by the caller, the filters and their own
// settings, the three ways of choosing, the cancel rules and the not-active customers.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/radiogroup.h"
#include "masterdata/ricerca_cliente.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

class tst_ricerca_cliente : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    std::unique_ptr<TRICERCA_CLIENTE> dlg;

    TRICERCA_CLIENTE *Open(const QString &company)
    {
        dlg = std::make_unique<TRICERCA_CLIENTE>();
        dlg->sIdSocieta = company;
        dlg->ExcludeInactive();
        dlg->open();
        return dlg.get();
    }
    void Extract() { QTest::mouseClick(dlg->Filters->PB_EstraiElenco, Qt::LeftButton); }
    void Filter(const QString &name)
    {
        TypeInto(dlg->Filters->Registry->EF_Find_Denominazione, name);
        QTest::mouseClick(dlg->Filters->Registry->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
        Extract();
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

    void choosingReturnsTheCustomer_data();
    void choosingReturnsTheCustomer();
    void emptyListDoesNotClose();
    void closingOtherwiseCancels();
    void neverListsDeactivatedCustomers();
    void resetTicksTheMonths();
    void callerProtocol();
    void unknownCompanyIsReported();
};

void tst_ricerca_cliente::choosingReturnsTheCustomer_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("button") << "button";
    QTest::newRow("double click") << "double";
    QTest::newRow("menu") << "menu";
    QTest::newRow("enter in the grid") << "enter";
}

void tst_ricerca_cliente::choosingReturnsTheCustomer()
{
    QFETCH(QString, how);
    Open(kSoc2);
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiClienti  0"));
    Extract();
    QVERIFY(
        env->LastCommand().startsWith(QStringLiteral("EXEC EstraiClienti  1, '%1', ").arg(kSoc2)));
    TDataSet *ds = dlg->DST_GRID_Clienti();
    QVERIFY(ds->RecordCount() > 2);
    ds->SetRecNo(3);
    const QString id = ds->FieldByName(QStringLiteral("idCliente")).AsString();
    const QString desc = ds->FieldByName(QStringLiteral("txDescCliente")).AsString();
    QVERIFY(!desc.isEmpty());
    QCOMPARE(env->Super(
                 QStringLiteral("SELECT idsocieta FROM clienti WHERE idcliente = '%1'").arg(id)),
             kSoc2);

    if (how == QLatin1String("button")) {
        QTest::mouseClick(dlg->PB_Select, Qt::LeftButton);
    } else if (how == QLatin1String("double")) {
        const QModelIndex index = dlg->DG_Clienti->model()->index(2, 1);
        const QPoint at = dlg->DG_Clienti->visualRect(index).center();
        QTest::mouseDClick(dlg->DG_Clienti->viewport(), Qt::LeftButton, {}, at);
    } else if (how == QLatin1String("enter")) {
        QTest::keyClick(dlg->DG_Clienti, Qt::Key_Return);
    } else {
        QCOMPARE(MenuCaptions(dlg->DG_Clienti),
                 (QStringList{"Seleziona cliente", "-", "Info supplementari"}));
        QVERIFY(ChooseMenu(dlg->DG_Clienti, QStringLiteral("Seleziona cliente")));
    }
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QVERIFY(dlg->bSelected);
    QCOMPARE(dlg->idCliente, id);
    QCOMPARE(dlg->txDescCliente, desc);
    QCOMPARE(dlg->DST_GRID_Clienti()->FieldByName(QStringLiteral("idCliente")).AsString(), id);
}

void tst_ricerca_cliente::emptyListDoesNotClose()
{
    Open(kSoc1);
    Filter(QStringLiteral("nessun cliente si chiama così"));
    QCOMPARE(dlg->DST_GRID_Clienti()->RecordCount(), 0);
    QTest::mouseDClick(dlg->DG_Clienti->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    dlg->PB_SelectClick();
    QVERIFY(ChooseMenu(dlg->DG_Clienti, QStringLiteral("Seleziona cliente")) == false);
    QVERIFY(dlg->isVisible());
    QVERIFY(!dlg->bSelected);
    QVERIFY(!dlg->PB_Select->isVisible());
}

void tst_ricerca_cliente::closingOtherwiseCancels()
{
    Open(kSoc1);
    dlg->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
    Extract();
    QVERIFY(dlg->DST_GRID_Clienti()->RecordCount() > 0);
    dlg->DST_GRID_Clienti()->SetRecNo(2);
    // The window's close button, and even an "ok" that is not a selection.
    dlg->close();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QVERIFY(!dlg->bSelected);
    QVERIFY(dlg->idCliente.isEmpty());
    dlg->open();
    dlg->accept();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
}

void tst_ricerca_cliente::neverListsDeactivatedCustomers()
{
    // Whatever was saved, the quote list's search excludes not-active customers.
    env->SetSetting("FrmFindCli_CodCliente", "");
    env->SetSetting("FrmFindCli_IncludiCancellati", "SI");
    env->SetSetting("FrmFindCli_Nazionalita", "2");
    env->SetSetting("FrmFindCli_PrevMesiN", "NO");
    Open(kSoc1);
    QVERIFY(!dlg->Filters->CK_Find_IncludiCancellati->isChecked());
    QVERIFY(!dlg->Filters->CK_Find_IncludiCancellati->isEnabled());
    Extract();
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiClienti  1, '%1', null, null, null, null, 2, null, 0, 0, 1")
                 .arg(kSoc1));
    const int active = env->Super(QStringLiteral("SELECT count(*) FROM clienti WHERE idsocieta = "
                                                 "'%1' AND dtcanc IS NULL")
                                      .arg(kSoc1))
                           .toInt();
    QVERIFY(env->Super(QStringLiteral("SELECT count(*) FROM clienti WHERE idsocieta = '%1' AND "
                                      "dtcanc IS NOT NULL")
                           .arg(kSoc1))
                .toInt()
            > 0);
    QCOMPARE(dlg->DST_GRID_Clienti()->RecordCount(), active);
    QCOMPARE(env->Setting("FrmFindCli_IncludiCancellati"), QStringLiteral("NO"));
    // The customer window's keys are not touched.
    QCOMPARE(env->Setting("FrmGesCli_CodCliente"), QString(kIniAbsent));
}

void tst_ricerca_cliente::resetTicksTheMonths()
{
    Open(kSoc1);
    // No saved filters: the reset ones, months ticked, slider 3.
    QVERIFY(dlg->Filters->Months->CK_Find_PreventiviMesiN->isChecked());
    QCOMPARE(dlg->Filters->Months->TKB_Find_PreventiviMesiN->value(), 3);
    dlg->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
    dlg->Filters->Months->TKB_Find_PreventiviMesiN->setValue(6);
    QTest::mouseClick(dlg->Filters->PB_AzzeraFiltri, Qt::LeftButton);
    QVERIFY(dlg->Filters->Months->CK_Find_PreventiviMesiN->isChecked());
    QCOMPARE(dlg->Filters->Months->TKB_Find_PreventiviMesiN->value(), 3);
    QVERIFY(!dlg->Filters->CK_Find_IncludiCancellati->isEnabled());
    Extract();
    QVERIFY(env->LastCommand().endsWith(QStringLiteral(", 0, 1, 3")));
    QCOMPARE(env->Setting("FrmFindCli_PrevMesiN"), QStringLiteral("SI"));
    QCOMPARE(env->Setting("FrmFindCli_MesiN"), QStringLiteral("3"));
}

void tst_ricerca_cliente::callerProtocol()
{
    // The modal protocol as the quote list runs it: the first customer named "Meccanica".
    const QString expected = env->Super(
        QStringLiteral("SELECT idcliente FROM clienti WHERE idsocieta = '%1' AND dtcanc IS NULL "
                       "AND flestero = 0 AND txdenominazione ILIKE '%Meccanica%' ORDER BY "
                       "txdenominazione, idcliente LIMIT 1")
            .arg(kSoc1));
    env->SetSetting("FrmFindCli_CodCliente", "");
    env->SetSetting("FrmFindCli_Denominazione", "Meccanica");
    env->SetSetting("FrmFindCli_OrdinaRecenti", "NO");
    env->SetSetting("FrmFindCli_PrevMesiN", "NO");
    QTimer::singleShot(0, this, [] {
        auto *d = qobject_cast<TRICERCA_CLIENTE *>(QApplication::activeModalWidget());
        if (!d)
            return;
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        d->PB_SelectClick();
    });
    QString id;
    QString desc;
    QVERIFY(TRICERCA_CLIENTE::Choose(nullptr, kSoc1, &id, &desc));
    QCOMPARE(id, expected);
    QVERIFY(desc.contains(QStringLiteral("Meccanica")));
}

void tst_ricerca_cliente::unknownCompanyIsReported()
{
    Open(QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
    Extract();
    const QString error = env->Recorder().LastText(TDialogKind::Error);
    QVERIFY2(error.startsWith(
                 QStringLiteral("Errore estrazione elenco clienti (ERR.N01).\r\n\r\n(")),
             qPrintable(error));
    QVERIFY(error.endsWith(QLatin1Char(')')));
    QVERIFY(!dlg->DST_GRID_Clienti());
    QVERIFY(!dlg->DG_Clienti->isVisible());
    QVERIFY(dlg->isVisible());
}

QTEST_MAIN(tst_ricerca_cliente)
#include "tst_ricerca_cliente.moc"
