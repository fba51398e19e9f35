#include "dbtest.h"

#include <thread>

using namespace dbtest;

// Companies, operators, customers and lookups through the commands the windows send.
class TstAnagrafiche : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void customerFilters_data();
    void customerFilters();
    void newCustomerGetsCodeInItsTransaction();
    void customerCodesUnderTwoSessions();
    void customerStateStampsUser();
    void customerBadInput_data();
    void customerBadInput();
    void companyListAndSelector();
    void operators();
    void lookups();
};

void TstAnagrafiche::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstAnagrafiche::customerFilters_data()
{
    QTest::addColumn<QStringList>("filters"); // the ten arguments after the company
    QTest::addColumn<QString>("expected");    // txDenominazione of the only row, or "" for none

    const QString n = QStringLiteral("null");
    // Fixture customers of the empty database (see customerFilters).
    QTest::newRow("contains, apostrophe")
        << QStringList{n, SqlContains("d'angelo"), n, n, "2", n, "0", "0", "1"}
        << "Officine D'Angelo S.r.l.";
    QTest::newRow("starts with") << QStringList{n, SqlStartsWith("back"), n, n, "2", n, "0", "0", "1"}
                                 << "Back\\slash S.p.A.";
    QTest::newRow("backslash is a plain character")
        << QStringList{n, SqlContains("k\\s"), n, n, "2", n, "0", "0", "1"} << "Back\\slash S.p.A.";
    QTest::newRow("code") << QStringList{T("C00002"), n, n, n, "2", n, "0", "0", "1"}
                          << "Back\\slash S.p.A.";
    QTest::newRow("partita IVA starts with")
        << QStringList{n, n, T("0312"), n, "2", n, "0", "0", "1"} << "Officine D'Angelo S.r.l.";
    QTest::newRow("province") << QStringList{n, n, n, n, "0", T("BG"), "0", "0", "1"}
                              << "Back\\slash S.p.A.";
    QTest::newRow("abroad, nation")
        << QStringList{n, n, n, n, "1", T("svizz"), "0", "0", "1"} << "Uhrenfabrik AG";
    QTest::newRow("not active hidden")
        << QStringList{n, SqlContains("cessata"), n, n, "2", n, "0", "0", "1"} << "";
    QTest::newRow("not active on request")
        << QStringList{n, SqlContains("cessata"), n, n, "2", n, "1", "0", "1"} << "Ditta Cessata";
    QTest::newRow("quotes in the last 2 months")
        << QStringList{n, n, n, n, "2", n, "0", "1", "2"} << "Uhrenfabrik AG";
}

void TstAnagrafiche::customerFilters()
{
    QFETCH(QStringList, filters);
    QFETCH(QString, expected);
    TTestDatabase tdb(TTestDatabase::Empty);
    tdb.SuperQuery(
        "INSERT INTO societa (idsocieta, txdenominazione) VALUES ('{S}', 'Soc'), ('{T}', 'Altra');"
        "INSERT INTO clienti (idcliente, idsocieta, txcodcliente, txdenominazione, txpartitaiva, "
        "flestero,"
        " txnazione, txprovincia, dtin, dtcanc) VALUES"
        " ('{A}', '{S}', 'C00001', 'Officine D''Angelo S.r.l.', '03124560961', 0, 'Italia', 'MI', "
        "now(), null),"
        " ('{B}', '{S}', 'C00002', 'Back\\slash S.p.A.', '99999999999', 0, 'Italia', 'BG', now(), "
        "null),"
        " ('{C}', '{S}', 'C00003', 'Uhrenfabrik AG', 'CHE1', 1, 'Svizzera', null, now(), null),"
        " ('{D}', '{S}', 'C00004', 'Ditta Cessata', null, 0, 'Italia', 'MI', now(), now()),"
        " ('{E}', '{T}', 'C00001', 'Officine D''Angelo di un''altra società', null, 0, 'Italia', "
        "'MI', now(), null);"
        "INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, dtpreventivo) "
        "VALUES"
        " ('{P1}', '{S}', '{C}', 'recente', current_date - 20), ('{P2}', '{S}', '{A}', 'vecchio', "
        "current_date - 200)");
    tdb.LogOn(QStringLiteral("MROSSI"));
    auto rows = Q(tdb.Module(), Exec("EstraiClienti ", QStringList{"1", T("{S}")} + filters));
    if (expected.isEmpty()) {
        QCOMPARE(rows->RecordCount(), 0);
        return;
    }
    QCOMPARE(rows->RecordCount(), 1);
    QCOMPARE(First(*rows, "txDenominazione"), expected);
    QVERIFY(First(*rows, "txDescCliente").startsWith(expected));
    QVERIFY(!rows->FieldByName("dtMaxOperation").IsNull());
}

void TstAnagrafiche::newCustomerGetsCodeInItsTransaction()
{
    // The window posts the record and asks for the code in one transaction; a failure after
    // the insert leaves nothing behind.
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("MROSSI"));
    TSTD_DBMODULE &db = tdb.Module();
    const int before = tdb.SuperQuery("SELECT count(*) FROM clienti").toInt();
    const QString id = NewId();
    TEditableRecord rec(&db, QStringLiteral("Clienti"), QStringLiteral("idCliente"));
    rec.Open(Exec("DatiCliente", {T(id)}));
    QVERIFY(rec.IsNew());
    db.BeginTrans();
    rec.Append(id);
    rec.Data().FieldByName("idSocieta").SetValue(kSoc1);
    rec.Data().FieldByName("txDenominazione").SetValue(QStringLiteral("Nuova L'Aquila S.r.l."));
    rec.Data().FieldByName("txProvincia").SetValue(QStringLiteral("AQ"));
    rec.Post(QStringLiteral("MROSSI"));
    auto code = Q(db, Exec("SetNewCodCliente", {T(id), kUser}));
    db.CommitTrans();
    const QString last = tdb.SuperQuery("SELECT max(txcodcliente) FROM clienti WHERE idsocieta = '"
                                        + kSoc1 + "' AND idcliente <> '" + id + "'");
    QCOMPARE(First(*code, "txCodCliente"),
             QStringLiteral("C%1").arg(last.mid(1).toInt() + 1, 5, 10, QChar('0')));
    QCOMPARE(tdb.SuperQuery("SELECT txutentein FROM clienti WHERE idcliente = '" + id + "'"),
             QStringLiteral("MROSSI"));
    // Asking again keeps the code.
    auto again = Q(db, Exec("SetNewCodCliente", {T(id), kUser}));
    QCOMPARE(First(*again, "txCodCliente"), First(*code, "txCodCliente"));

    const QString id2 = NewId();
    TEditableRecord rec2(&db, QStringLiteral("Clienti"), QStringLiteral("idCliente"));
    rec2.Open(Exec("DatiCliente", {T(id2)}));
    db.BeginTrans();
    rec2.Append(id2);
    rec2.Data().FieldByName("idSocieta").SetValue(kSoc1);
    rec2.Data().FieldByName("txDenominazione").SetValue(QStringLiteral("Mai salvato"));
    rec2.Post(QStringLiteral("MROSSI"));
    QVERIFY(!ErrorOf(db, Exec("SetNewCodCliente", {T(id2), "null"})).isEmpty());
    db.RollbackTrans();
    QCOMPARE(tdb.SuperQuery("SELECT count(*) FROM clienti").toInt(), before + 1);
}

void TstAnagrafiche::customerCodesUnderTwoSessions()
{
    // Session A takes a code inside an open transaction; session B asking at the same moment
    // waits for A and gets the next code, never the same.
    TTestDatabase tdb;
    tdb.SuperQuery("INSERT INTO clienti (idcliente, idsocieta, txdenominazione) VALUES "
                   "('{X1}', '"
                   + kSoc1 + "', 'Primo'), ('{X2}', '" + kSoc1 + "', 'Secondo')");
    TSTD_DBMODULE a, b;
    a.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(tdb.Params()));
    b.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(tdb.Params()));
    tdb.LogOn(QStringLiteral("MROSSI"), &a);
    tdb.LogOn(QStringLiteral("MROSSI"), &b);
    a.BeginTrans();
    auto codeA = Q(a, Exec("SetNewCodCliente", {T("{X1}"), kUser}));
    std::atomic<bool> done{false};
    QString codeB, errorB;
    std::thread other([&] {
        try {
            auto r = Q(b, Exec("SetNewCodCliente", {T("{X2}"), kUser}));
            codeB = First(*r, "txCodCliente");
        } catch (const EDatabaseError &e) {
            errorB = e.ProviderText();
        }
        done = true;
    });
    QTest::qWait(400);
    QVERIFY(!done); // B waits on the counter held by A
    a.CommitTrans();
    other.join();
    QVERIFY2(errorB.isEmpty(), qPrintable(errorB));
    const int na = First(*codeA, "txCodCliente").mid(1).toInt();
    QCOMPARE(codeB.mid(1).toInt(), na + 1);
}

void TstAnagrafiche::customerStateStampsUser()
{
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("GBIANCHI"));
    TSTD_DBMODULE &db = tdb.Module();
    const QString id = tdb.SuperQuery("SELECT idcliente FROM clienti WHERE dtcanc IS NULL LIMIT 1");
    Q(db, Exec("ChangeStatoCliente", {T(id), "0", T("GBIANCHI")}));
    QCOMPARE(tdb.SuperQuery(
                 "SELECT txutentecanc || (dtcanc IS NOT NULL) FROM clienti WHERE idcliente = '" + id
                 + "'"),
             QStringLiteral("GBIANCHItrue"));
    Q(db, Exec("ChangeStatoCliente", {T(id), "1", T("GBIANCHI")}));
    QCOMPARE(tdb.SuperQuery(
                 "SELECT coalesce(txutentecanc, 'none') || (dtcanc IS NULL) FROM clienti "
                 "WHERE idcliente = '"
                 + id + "'"),
             QStringLiteral("nonetrue"));
}

void TstAnagrafiche::customerBadInput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message"); // part of the error text
    QTest::newRow("unknown customer")
        << Exec("ChangeStatoCliente", {T("{NON-ESISTE}"), "0", kUser}) << "Cliente non trovato";
    QTest::newRow("no user") << Exec("ChangeStatoCliente", {T("{X}"), "0", "null"})
                             << "Utente non indicato";
    QTest::newRow("state out of range")
        << Exec("ChangeStatoCliente", {T("{X}"), "7", kUser}) << "atteso 0 o 1";
    QTest::newRow("unknown company in list")
        << Exec("EstraiClienti ",
                {"1", T("{NESSUNA}"), "null", "null", "null", "null", "2", "null", "0", "0", "1"})
        << "Società non trovata";
    QTest::newRow("10000 characters as id")
        << Exec("SetNewCodCliente", {T(QString(10000, QChar('x'))), kUser}) << "non valido";
    QTest::newRow("bad nationality")
        << Exec("EstraiClienti ",
                {"1", T(kSoc1), "null", "null", "null", "null", "5", "null", "0", "0", "1"})
        << "Nazionalità non valida";
}

void TstAnagrafiche::customerBadInput()
{
    QFETCH(QString, command);
    QFETCH(QString, message);
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("MROSSI"));
    const QString err = ErrorOf(tdb.Module(), command);
    QVERIFY2(err.contains(message), qPrintable(err));
}

void TstAnagrafiche::companyListAndSelector()
{
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("ADMIN")); // the companies window is the administrators'

    TSTD_DBMODULE &db = tdb.Module();
    auto all = Q(db, Exec("EstraiSocieta ", {"1", "null", "null", "null", "2", "null", "0"}));
    QCOMPARE(all->RecordCount(), 2);
    auto empty = Q(db, Exec("EstraiSocieta ", {"0"}));
    QCOMPARE(empty->RecordCount(), 0);
    QVERIFY(empty->FieldIndex("txSmartPhone") >= 0);
    Q(db, Exec("ChangeStatoSocieta", {T(kSoc2), "0"}));
    QCOMPARE(Q(db, Exec("EstraiSocieta ", {"1", "null", "null", "null", "2", "null", "0"}))
                 ->RecordCount(),
             1);
    QCOMPARE(Q(db, Exec("EstraiSocieta ", {"1", "null", "null", "null", "2", "null", "1"}))
                 ->RecordCount(),
             2);
    Q(db, Exec("ChangeStatoSocieta", {T(kSoc2), "1"}));
    // The selector puts a funzionario's own company first.
    auto sel = Q(db, Exec("EstraiElencoSocieta", {T(kSoc2)}));
    sel->SetSort(QStringLiteral("txOrder"));
    sel->First();
    QCOMPARE(sel->FieldByName("idSocieta").AsString(), kSoc2);
    QCOMPARE(Q(db, Exec("EstraiElencoSocieta"))->RecordCount(), 2);
    // The record: a company row with its print data.
    auto rec = Q(db, Exec("DatiSocieta", {T(kSoc1)}));
    QVERIFY(!rec->FieldByName("imgLogo").IsNull());
    QVERIFY(rec->FieldIndex("txRootFolder") >= 0);
}

void TstAnagrafiche::operators()
{
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("ADMIN")); // the operators window is the administrators'
    TSTD_DBMODULE &db = tdb.Module();
    // The log-on of the operators is checked by another program, as at a workstation.
    TSTD_DBMODULE logonDb;
    logonDb.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(tdb.Params()));
    auto list = Q(db, Exec("EstraiOperatori ", {"1", T(kSoc1)}));
    QVERIFY(Column(*list, "txOperatore").contains(QStringLiteral("PNERI"))); // deactivated ones too
    QCOMPARE(First(*Q(db, Exec("IsNewOperatoreOk", {T("mrossi")})), "flOkInsert"),
             QStringLiteral("0"));
    QCOMPARE(First(*Q(db, Exec("IsNewOperatoreOk", {T("NUOVO")})), "flOkInsert"),
             QStringLiteral("1"));
    // A new operator through the record; the stored password is never handed out.
    const QString id = NewId();
    TEditableRecord rec(&db, QStringLiteral("Operatori"), QStringLiteral("idOperatore"));
    rec.Open(Exec("DatiOperatore", {T(id)}));
    rec.Append(id);
    rec.Data().FieldByName("idSocieta").SetValue(kSoc1);
    rec.Data().FieldByName("txOperatore").SetValue(QStringLiteral("NUOVO"));
    rec.Data().FieldByName("txPassword").SetValue(PasswordToBase64(QStringLiteral("nuovo")));
    rec.Data().FieldByName("txDescrizione").SetValue(QStringLiteral("Operatore nuovo"));
    rec.Post(QStringLiteral("ADMIN"), false);
    QVERIFY(First(*Q(db, Exec("DatiOperatore", {T(id)})), "txPassword").isEmpty());
    auto logon = Q(logonDb, Exec("EstraiDatiOperatore", {T("NUOVO"), T(PasswordToBase64("nuovo"))}));
    QCOMPARE(logon->RecordCount(), 1);
    // Reset: the code becomes the password again.
    Q(db,
      Exec("CambiaPasswordOperatore",
           {T("NUOVO"), T(PasswordToBase64("nuovo")), T(PasswordToBase64("segreta"))}));
    Q(db, Exec("ResetPasswordOperatore", {T("NUOVO"), T(PasswordToBase64("nuovo"))}));
    QCOMPARE(Q(logonDb, Exec("EstraiDatiOperatore", {T("NUOVO"), T(PasswordToBase64("nuovo"))}))
                 ->RecordCount(),
             1);
    QVERIFY(ErrorOf(db, Exec("ResetPasswordOperatore", {T("NESSUNO"), T("eA==")}))
                .contains("non trovato"));
    // Deactivation: still found at logon, with its date.
    Q(db, Exec("ChangeStatoOperatore", {T(id), "0"}));
    auto off = Q(logonDb, Exec("EstraiDatiOperatore", {T("NUOVO"), T(PasswordToBase64("nuovo"))}));
    QVERIFY(!off->FieldByName("dtCanc").IsNull());
    Q(db, Exec("ChangeStatoOperatore", {T(id), "1"}));
    QVERIFY(Q(logonDb, Exec("EstraiDatiOperatore", {T("NUOVO"), T(PasswordToBase64("nuovo"))}))
                ->FieldByName("dtCanc")
                .IsNull());
}

void TstAnagrafiche::lookups()
{
    TTestDatabase tdb(TTestDatabase::Empty);
    tdb.LogOn(QStringLiteral("MROSSI"));
    TSTD_DBMODULE &db = tdb.Module();
    auto prov = Q(db, Exec("EstraiProvinceItaliane"));
    QCOMPARE(prov->RecordCount(), 107);
    prov->First();
    QCOMPARE(prov->FieldByName("Codice").AsString(), QStringLiteral("AG"));
    QVERIFY(prov->Locate(QStringLiteral("Descrizione"), QStringLiteral("L'Aquila")));
    auto pag = Q(db, Exec("EstraiElencoCondPagam"));
    QVERIFY(pag->RecordCount() >= 5);
    QVERIFY(pag->FieldIndex("txCodPagamento") >= 0 && pag->FieldIndex("txDescrizPagamento") >= 0);
}

QTEST_GUILESS_MAIN(TstAnagrafiche)
#include "tst_anagrafiche.moc"
