// The operators window of one company: the list and its colours, new operators with the
// first-logon password, refused codes, changes, the password reset checked by logging on, and
// deactivation keeping the selection.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "masterdata/gestione_operatori.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

class tst_gestione_operatori : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_OPERATORI> w;

    TGESTIONE_OPERATORI *Open(const QString &company = kSoc1)
    {
        w = new TGESTIONE_OPERATORI;
        w->Start(company,
                 env->Super(QStringLiteral("SELECT txdenominazione FROM societa WHERE idsocieta "
                                           "= '%1'")
                                .arg(company)));
        w->show();
        return w;
    }
    bool Select(const QString &code)
    {
        return w->DST_GRID_Operatori()->Locate(QStringLiteral("txOperatore"), code);
    }
    QString Value(const QString &column, const QString &code)
    {
        return env->Super(
            QStringLiteral("SELECT %1 FROM operatori WHERE txoperatore = '%2'").arg(column, code));
    }
    // The logon's operator check: a row when the code and the password match.
    // The operator check of another workstation (the window's own session stays as it is).
    int LogOnRows(const QString &code, const QString &password)
    {
        TSTD_DBMODULE workstation;
        workstation.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
        std::unique_ptr<TDataSet> rows = workstation.Query(
            QStringLiteral("EXEC EstraiDatiOperatore ") + SqlText(code) + QStringLiteral(", ")
            + SqlText(PasswordToBase64(password)));
        return rows->RecordCount();
    }
    TKRTDrawCellArgs Draw()
    {
        TKRTDrawCellArgs args;
        args.Row = w->DST_GRID_Operatori()->RecNo() - 1;
        args.Font = w->DG_Operatori->font();
        w->DG_Operatori->OnDrawColumnCell(w->DG_Operatori, args);
        return args;
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

    void listOfTheCompany();
    void colours_data();
    void colours();
    void newOperatorLogsOnWithHisCode();
    void refusedInput_data();
    void refusedInput();
    void changeKeepsCodeAndPassword();
    void resetPassword();
    void deactivateAndReactivateKeepSelection();
    void emailColumnFitsItsLongestValue();
};

void tst_gestione_operatori::listOfTheCompany()
{
    Open();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiOperatori  1, '%1'").arg(kSoc1));
    QCOMPARE(w->windowTitle(),
             QStringLiteral("Operatori della società \"Tecnoquadri Lombarda S.r.l.\""));
    // Every operator of the company, deactivated ones too, by description.
    TDataSet *ds = w->DST_GRID_Operatori();
    QStringList codes;
    for (ds->First(); !ds->Eof(); ds->Next())
        codes << ds->FieldByName(QStringLiteral("txOperatore")).AsString();
    ds->First();
    QCOMPARE(codes, (QStringList{"ADMIN", "MROSSI", "PNERI"}));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
             QStringLiteral(" N° Operatori: 3 "));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Legenda"))->text(),
             QStringLiteral(" (Funzionari)  "));
    QStringList titles;
    for (const TKRTGridColumn &c : w->DG_Operatori->Columns())
        titles << c.Title;
    QCOMPARE(titles,
             (QStringList{"Operatore", "Descrizione", "Smartphone", "Email", "Eliminato il"}));
    QCOMPARE(MenuCaptions(w->DG_Operatori),
             (QStringList{"Nuovo operatore", "Modifica", "Reset password", "Disattiva"}));
}

void tst_gestione_operatori::colours_data()
{
    QTest::addColumn<bool>("funzionario");
    QTest::addColumn<bool>("deactivated");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("bold");
    QTest::newRow("plain") << false << false << QColor(Qt::black) << false;
    QTest::newRow("deactivated") << false << true << QColor(Qt::red) << true;
    QTest::newRow("funzionario") << true << false << QColor(Qt::blue) << true;
    QTest::newRow("deactivated funzionario") << true << true << QColor(Qt::blue) << true;
}

void tst_gestione_operatori::colours()
{
    QFETCH(bool, funzionario);
    QFETCH(bool, deactivated);
    QFETCH(QColor, colour);
    QFETCH(bool, bold);
    env->Super(QStringLiteral("UPDATE operatori SET flfunzionario = %1, dtcanc = %2 WHERE "
                              "txoperatore = 'MROSSI'")
                   .arg(funzionario ? 1 : 0)
                   .arg(deactivated ? QStringLiteral("now()") : QStringLiteral("NULL")));
    Open();
    QVERIFY(Select(QStringLiteral("MROSSI")));
    const TKRTDrawCellArgs args = Draw();
    QCOMPARE(args.FontColor, colour);
    QCOMPARE(args.Font.bold(), bold);
}

void tst_gestione_operatori::newOperatorLogsOnWithHisCode()
{
    Open();
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Nuovo operatore")));
    QCOMPARE(w->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Operatore"));
    QVERIFY(!w->EF_Operatore->ReadOnly());
    QVERIFY(!w->CK_Funzionario->isChecked());
    QVERIFY(HasFocus(w->EF_Operatore->Edit()));
    const QString id = w->sLastId;
    TypeInto(w->EF_Operatore, QStringLiteral("tverdi"));
    TypeInto(w->EF_Descrizione, QStringLiteral("Tiziana Verdi D'Alò"));
    TypeInto(w->EF_Email, QStringLiteral("T.Verdi@Example.IT"));
    QTest::mouseClick(w->CK_Funzionario,
                      Qt::LeftButton,
                      {},
                      QPoint(8, w->CK_Funzionario->height() / 2));
    QVERIFY(w->CK_Funzionario->isChecked());
    QVERIFY(HasFocus(w->EF_Descrizione->Edit()));
    QTest::mouseClick(w->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Requests().size(), 0);
    QVERIFY(!w->PAN_Input->isVisible());

    QCOMPARE(Value("idoperatore", "TVERDI"), id);
    QCOMPARE(Value("idsocieta", "TVERDI"), kSoc1);
    QCOMPARE(Value("txdescrizione || '/' || txemail || '/' || flfunzionario", "TVERDI"),
             QStringLiteral("Tiziana Verdi D'Alò/t.verdi@example.it/1"));
    QCOMPARE(Value("txnote IS NULL AND txsmartphone IS NULL", "TVERDI"), QStringLiteral("t"));
    // He logs on with his code in lower case as password: the first logon.
    QCOMPARE(LogOnRows(QStringLiteral("TVERDI"), QStringLiteral("tverdi")), 1);
    QCOMPARE(LogOnRows(QStringLiteral("TVERDI"), QStringLiteral("altro")), 0);
    QCOMPARE(CurrentValue(w->DG_Operatori, "idOperatore"), id);
    QCOMPARE(w->DST_GRID_Operatori()->RecordCount(), 4);
}

void tst_gestione_operatori::refusedInput_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no code") << ""
                             << "Qualcuno"
                             << "Il codice operatore è obbligatorio.";
    QTest::newRow("no description") << "NUOVO"
                                    << "  "
                                    << "La descrizione dell'operatore è "
                                       "obbligatoria.";
    QTest::newRow("code of this company") << "mrossi"
                                          << "Doppione"
                                          << "Operatore già esistente, impossibile inserire";
    QTest::newRow("code of another company") << "LVERDI"
                                             << "Doppione"
                                             << "Operatore già esistente, impossibile inserire";
}

void tst_gestione_operatori::refusedInput()
{
    QFETCH(QString, code);
    QFETCH(QString, description);
    QFETCH(QString, warning);
    Open();
    const QString count = env->Super(QStringLiteral("SELECT count(*) FROM operatori"));
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Nuovo operatore")));
    TypeInto(w->EF_Operatore, code);
    TypeInto(w->EF_Descrizione, description);
    QTest::mouseClick(w->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning), warning);
    QVERIFY(w->PAN_Input->isVisible());
    QCOMPARE(w->xTipoOp, coGENInsert);
    QCOMPARE(env->Super(QStringLiteral("SELECT count(*) FROM operatori")), count);
    if (warning.startsWith(QStringLiteral("Operatore già"))) {
        QCOMPARE(env->LastCommand(),
                 QStringLiteral("EXEC IsNewOperatoreOk ") + SqlText(code.toUpper()));
        QVERIFY(HasFocus(w->EF_Operatore->Edit()));
    }
}

void tst_gestione_operatori::changeKeepsCodeAndPassword()
{
    const QString hash = Value("txpassword", "MROSSI");
    Open();
    QVERIFY(Select(QStringLiteral("MROSSI")));
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Modifica")));
    QCOMPARE(w->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Operatore"));
    QCOMPARE(w->EF_Operatore->Text(), QStringLiteral("MROSSI"));
    QVERIFY(w->EF_Operatore->ReadOnly());
    QCOMPARE(w->EF_Descrizione->Text(), QStringLiteral("Mario Rossi"));
    QCOMPARE(w->EF_Smartphone->Text(), QStringLiteral("338 114 7702"));
    QVERIFY(HasFocus(w->EF_Descrizione->Edit()));
    TypeInto(w->EF_Descrizione, QStringLiteral("Mario Rossi (vendite)"));
    TypeInto(w->EF_Smartphone, QString());
    w->CK_Funzionario->setChecked(true);
    QTest::mouseClick(w->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Requests().size(), 0);
    QCOMPARE(Value("txdescrizione || '/' || flfunzionario", "MROSSI"),
             QStringLiteral("Mario Rossi (vendite)/1"));
    QCOMPARE(Value("txsmartphone IS NULL", "MROSSI"), QStringLiteral("t"));
    QCOMPARE(Value("txpassword", "MROSSI"), hash);
    QCOMPARE(LogOnRows(QStringLiteral("MROSSI"), QStringLiteral("rossi")), 1);
}

void tst_gestione_operatori::resetPassword()
{
    Open();
    QCOMPARE(LogOnRows(QStringLiteral("MROSSI"), QStringLiteral("rossi")), 1);
    QVERIFY(Select(QStringLiteral("MROSSI")));
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Reset password")));
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC ResetPasswordOperatore 'MROSSI', '%1'")
                 .arg(QString::fromLatin1(QByteArray("mrossi").toBase64())));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Reset password effettuato"));
    // The old password no longer works; the code does, which the logon takes for a first logon.
    QCOMPARE(LogOnRows(QStringLiteral("MROSSI"), QStringLiteral("rossi")), 0);
    QCOMPARE(LogOnRows(QStringLiteral("MROSSI"), QStringLiteral("mrossi")), 1);
    QVERIFY(!Value("txpassword", "MROSSI").contains(QStringLiteral("bXJvc3Np")));
}

void tst_gestione_operatori::deactivateAndReactivateKeepSelection()
{
    Open();
    QVERIFY(Select(QStringLiteral("MROSSI")));
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Disattiva")));
    QCOMPARE(Value("dtcanc IS NOT NULL", "MROSSI"), QStringLiteral("t"));
    QCOMPARE(CurrentValue(w->DG_Operatori, "txOperatore"), QStringLiteral("MROSSI"));
    QCOMPARE(Draw().FontColor, QColor(Qt::red));
    QCOMPARE(LogOnRows(QStringLiteral("MROSSI"), QStringLiteral("rossi")), 1); // refused by name
    QVERIFY(MenuCaptions(w->DG_Operatori).contains(QStringLiteral("Riattiva")));
    QVERIFY(ChooseMenu(w->DG_Operatori, QStringLiteral("Riattiva")));
    QCOMPARE(Value("dtcanc IS NULL", "MROSSI"), QStringLiteral("t"));
    QCOMPARE(CurrentValue(w->DG_Operatori, "txOperatore"), QStringLiteral("MROSSI"));
    QCOMPARE(env->Recorder().Requests().size(), 0); // no warnings, no questions
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiOperatori  1, '%1'").arg(kSoc1));
}

void tst_gestione_operatori::emailColumnFitsItsLongestValue()
{
    // A funzionario (drawn bold) with the longest address of the company.
    const QString longest = QStringLiteral("ufficio.commerciale.vendite@tecnoquadri.example.it");
    env->Super(QStringLiteral("UPDATE operatori SET txemail = '%1', flfunzionario = 1 WHERE "
                              "txoperatore = 'MROSSI'")
                   .arg(longest));
    Open();
    const int column = w->DG_Operatori->ColumnIndexByFieldName(QStringLiteral("txEmail"));
    QFont bold = w->DG_Operatori->font();
    bold.setBold(true);
    // The cell draws its text 2 pixels in from each side.
    const int room = w->DG_Operatori->columnWidth(column) - 4;
    QVERIFY2(room >= QFontMetrics(bold).horizontalAdvance(longest),
             qPrintable(QStringLiteral("%1 < %2").arg(room).arg(
                 QFontMetrics(bold).horizontalAdvance(longest))));
    // Every other address fits too (they are shorter).
    TDataSet *ds = w->DST_GRID_Operatori();
    for (int r = 0; r < ds->RecordCount(); ++r) {
        const QString mail = ds->ValueAt(r, ds->FieldIndex(QStringLiteral("txEmail"))).toString();
        QVERIFY(QFontMetrics(bold).horizontalAdvance(mail) <= room);
    }
}

QTEST_MAIN(tst_gestione_operatori)
#include "tst_gestione_operatori.moc"
