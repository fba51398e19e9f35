#include "db/operatorpassword.h"
#include "db/pgadapter.h"
#include "dbtest.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <thread>

#include <libpq-fe.h>

using namespace dbtest;

// What someone holding the program's login (every workstation's settings file has it) can do
// with it, through the program's command layer or with plain SQL as psql would send it: only
// the program's functions, for the operator logged on, within the rules of the tables.
class TstSicurezza : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void withoutOperatorNothingRuns();
    void temporaryObjectsCannotReplaceTheSplitTexts();
    void administratorFunctionsCheckTheSession_data();
    void administratorFunctionsCheckTheSession();
    void auditNameComesFromTheSession();
    void tableWritesAreRefused_data();
    void tableWritesAreRefused();
    void badDataIsRefusedWithItsMessage_data();
    void badDataIsRefusedWithItsMessage();
    void storedNumbersDoNotJamTheCounters();
    void rowsOfAnotherCompanyAreOutOfReach();
    void systemAndExtensionFunctionsAreClosed_data();
    void systemAndExtensionFunctionsAreClosed();
    void passwordsStayOutOfActivityAndLog();
    void wrongPasswordsLockTheOperatorOut();
    void freshCatalogHasOnlyItsAdministrator();

private:
    // The ids the cases work on, found in the demo data; {name} in a case is replaced by them.
    QString Fill(QString text) const;
    // A fingerprint of every table the cases could change.
    QString Fingerprint() const;

    std::unique_ptr<TTestDatabase> m_db; // demo data, MROSSI (first company) logged on
    QMap<QString, QString> m_ids;
};

namespace {

QString errorOfSql(TSTD_DBMODULE &db, const QString &sql)
{
    try {
        db.ExecuteParams(sql, {});
    } catch (const EDatabaseError &e) {
        return e.ProviderText();
    }
    return QString();
}

QString logonText(const QString &user, const QString &password)
{
    return ExecText(QStringLiteral("EstraiDatiOperatore"),
                    {SqlText(user), SqlText(PasswordToBase64(password))});
}

std::unique_ptr<TSTD_DBMODULE> program(const TTestDatabase &db)
{
    auto m = std::make_unique<TSTD_DBMODULE>();
    m->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(db.Params()));
    return m;
}

} // namespace

void TstSicurezza::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    const QString soc1 = "'" + kSoc1 + "'";
    const QString soc2 = "'" + kSoc2 + "'";
    const QMap<QString, QString> queries{
        {"blocked",
         "SELECT q.idpreventivo FROM preventivi q WHERE q.flbloccato = 1 AND q.idsocieta = " + soc1
             + " AND EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idpreventivo = "
               "q.idpreventivo) ORDER BY 1 LIMIT 1"},
        {"open",
         "SELECT q.idpreventivo FROM preventivi q WHERE q.flbloccato = 0 AND q.dtcanc IS NULL "
         "AND q.idsocieta = "
             + soc1
             + " AND EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idpreventivo = "
               "q.idpreventivo AND d.idprodlistino IS NOT NULL) ORDER BY 1 LIMIT 1"},
        {"signed",
         "SELECT idordine FROM ordini WHERE flfirmato = 1 AND idsocieta = " + soc1
             + " ORDER BY 1 LIMIT 1"},
        {"customer1",
         "SELECT idcliente FROM clienti WHERE idsocieta = " + soc1 + " ORDER BY 1 LIMIT 1"},
        {"customer2",
         "SELECT idcliente FROM clienti WHERE idsocieta = " + soc2 + " ORDER BY 1 LIMIT 1"},
        {"quote2",
         "SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 AND idsocieta = " + soc2
             + " ORDER BY 1 LIMIT 1"},
        {"part", "SELECT idpartecomp FROM prod_comp_parti ORDER BY 1 LIMIT 1"},
        {"list", "SELECT idprodlistino FROM prod_listini WHERE vllistino > 0 ORDER BY 1 LIMIT 1"},
    };
    for (auto it = queries.cbegin(); it != queries.cend(); ++it) {
        m_ids.insert(it.key(), m_db->SuperQuery(it.value()));
        QVERIFY2(!m_ids.value(it.key()).isEmpty(), qPrintable(it.key()));
    }
    m_ids.insert("blockedLine",
                 m_db->SuperQuery("SELECT idpreventivodet FROM preventivo_dettaglio WHERE "
                                  "idpreventivo = '"
                                  + m_ids.value("blocked") + "' ORDER BY nuordinamento LIMIT 1"));
    m_ids.insert("openLine",
                 m_db->SuperQuery("SELECT idpreventivodet FROM preventivo_dettaglio WHERE "
                                  "idpreventivo = '"
                                  + m_ids.value("open")
                                  + "' AND idprodlistino IS NOT NULL ORDER BY 1 LIMIT 1"));
    m_ids.insert("otherList",
                 m_db->SuperQuery("SELECT l.idprodlistino FROM prod_listini l WHERE l.idprodotto "
                                  "<> (SELECT idprodotto FROM preventivo_dettaglio WHERE "
                                  "idpreventivodet = '"
                                  + m_ids.value("openLine") + "') ORDER BY 1 LIMIT 1"));
    m_ids.insert("otherListProduct",
                 m_db->SuperQuery("SELECT idprodotto FROM prod_listini WHERE idprodlistino = '"
                                  + m_ids.value("otherList") + "'"));
}

void TstSicurezza::cleanupTestCase()
{
    m_db.reset();
}

QString TstSicurezza::Fill(QString text) const
{
    for (auto it = m_ids.cbegin(); it != m_ids.cend(); ++it)
        text.replace(u'{' + it.key() + u'}', it.value());
    return text;
}

QString TstSicurezza::Fingerprint() const
{
    QStringList parts;
    for (const char *t : {"societa",
                          "operatori",
                          "clienti",
                          "prodotti",
                          "prod_comp_parti",
                          "prod_comp_parte_img",
                          "prod_listini",
                          "preventivi",
                          "preventivo_dettaglio",
                          "prevdet_nodi",
                          "ordini",
                          "ordine_sommario"})
        parts << QStringLiteral("SELECT t::text AS x FROM %1 t").arg(QLatin1String(t));
    return m_db->SuperQuery(QStringLiteral("SELECT md5(string_agg(x, '|' ORDER BY x)) FROM (%1) s")
                                .arg(parts.join(QStringLiteral(" UNION ALL "))));
}

// A connection of the login that has not logged on runs the logon functions and nothing else.
void TstSicurezza::withoutOperatorNothingRuns()
{
    auto anonymous = program(*m_db);
    for (const QString &text : {Exec("EstraiProvinceItaliane"),
                                Exec("EstraiClienti ", {"0"}),
                                Exec("DatiOperatore", {T("{X}")}),
                                QString::fromLatin1(kTempTabTestoBatch)}) {
        QVERIFY2(ErrorOf(*anonymous, text).contains(QStringLiteral("Nessun operatore collegato")),
                 qPrintable(text));
    }
    QVERIFY(errorOfSql(*anonymous,
                       Fill("UPDATE clienti SET txnote = 'x' WHERE idcliente = "
                            "'{customer1}'"))
                .contains(QStringLiteral("Nessun operatore collegato")));
    QCOMPARE(anonymous->Query(QStringLiteral("SELECT GETDATE() AS TMNOW"))->RecordCount(), 1);
    QCOMPARE(anonymous->Query(logonText("MROSSI", "rossi"))->RecordCount(), 1);
    QVERIFY(anonymous->Query(Exec("EstraiProvinceItaliane"))->RecordCount() > 0);
}

// The probe's escalation: a temporary view named like the split-text table, calling a function
// of the attacker's, run with the owner's rights by SplitElencoPuntato. The login can create no
// temporary object at all, and the function reads only the table the program's batch made.
void TstSicurezza::temporaryObjectsCannotReplaceTheSplitTexts()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString before = Fingerprint();
    for (const char *sql :
         {"CREATE FUNCTION pg_temp.vt_attacco() RETURNS integer LANGUAGE sql AS "
          "'UPDATE operatori SET fladministrator = 1 RETURNING 1'",
          "CREATE TEMP VIEW temptabtesto AS SELECT '{A}'::varchar AS idtesto, 0::smallint AS "
          "nuriga, 'x'::text AS txtesto, 'x'::text AS txtestortf",
          "CREATE TEMP TABLE temptabtesto (idtesto varchar(38), nuriga smallint, txtesto text, "
          "txtestortf text)",
          "CREATE TABLE public.temptabtesto (a integer)"}) {
        QVERIFY2(errorOfSql(db, QLatin1String(sql)).contains(QStringLiteral("permission denied")),
                 sql);
    }
    const QString sub = m_db->SuperQuery("SELECT idpartecomp FROM prod_comp_parti pa JOIN "
                                         "prod_componenti c USING (idcompprodotto) ORDER BY 1 "
                                         "LIMIT 1");
    const QString product = m_db->SuperQuery(
        "SELECT c.idprodotto FROM prod_comp_parti pa JOIN prod_componenti c USING "
        "(idcompprodotto) WHERE pa.idpartecomp = '"
        + sub + "'");
    const QString split = Exec("SplitElencoPuntato",
                               {T(product), T(sub), T(sub), "0", "1", "1", "0", kUser});
    // Without the program's batch there is nothing to read.
    QVERIFY(ErrorOf(db, split).contains(QStringLiteral("non preparati")));
    QCOMPARE(Fingerprint(), before);
    // The batch makes the table; the texts then go in as the program writes them.
    db.BeginTrans();
    QCOMPARE(Q(db, QString::fromLatin1(kTempTabTestoBatch))->RecordCount(), 0);
    db.ExecuteParams(QStringLiteral("INSERT INTO TempTabTesto VALUES ($1, 0, $2, $2)"),
                     {NewId(), QStringLiteral("Voce")});
    Q(db, split);
    db.RollbackTrans();
    QCOMPARE(m_db->SuperQuery("SELECT count(*) FROM operatori WHERE fladministrator = 1"),
             QStringLiteral("2"));
}

// Functions that only an administrator may run ask the session, whatever the arguments say.
void TstSicurezza::administratorFunctionsCheckTheSession_data()
{
    QTest::addColumn<QString>("command");
    const QString admin = "{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2001}";
    QTest::newRow("ADMIN's password reset")
        << Exec("ResetPasswordOperatore", {T("ADMIN"), T(PasswordToBase64("admin"))});
    QTest::newRow("operator deactivated") << Exec("ChangeStatoOperatore", {T(admin), "0"});
    QTest::newRow("company deactivated") << Exec("ChangeStatoSocieta", {T(kSoc2), "0"});
    QTest::newRow("operator list") << Exec("EstraiOperatori ", {"1", T(kSoc1)});
    QTest::newRow("operator record") << Exec("DatiOperatore", {T(admin)});
    QTest::newRow("operator code check") << Exec("IsNewOperatoreOk", {T("NUOVO")});
    QTest::newRow("company list") << Exec("EstraiSocieta ",
                                          {"1", "null", "null", "null", "2", "null", "1"});
    QTest::newRow("company record") << Exec("DatiSocieta", {T(kSoc1)});
}

void TstSicurezza::administratorFunctionsCheckTheSession()
{
    QFETCH(QString, command);
    const QString before = Fingerprint();
    QCOMPARE(ErrorOf(m_db->Module(), command),
             QStringLiteral("Operazione riservata agli amministratori."));
    QCOMPARE(Fingerprint(), before);
    // ADMIN still logs on with his own password.
    QCOMPARE(program(*m_db)->Query(logonText("ADMIN", "gestore"))->RecordCount(), 1);
}

// The user name a function stamps is the session's: another one is refused, and an
// administrator's deletion right is the session's too.
void TstSicurezza::auditNameComesFromTheSession()
{
    TSTD_DBMODULE &db = m_db->Module();
    // A signed order that is not blocked: only an administrator may delete it.
    m_db->SuperQuery(Fill("UPDATE ordini SET flbloccato = 0 WHERE idordine = '{signed}'"));
    const QString before = Fingerprint();
    QVERIFY(ErrorOf(db, Fill(Exec("ChangeStatoCliente", {"'{customer1}'", "0", T("ADMIN")})))
                .contains(QStringLiteral("non è l'operatore collegato")));
    auto refused = Q(db, Fill(Exec("DeleteOrdine", {"'{signed}'", "1", kUser})));
    QCOMPARE(First(*refused, "flOk"), QStringLiteral("0"));
    QVERIFY(First(*refused, "ErrMess").contains(QStringLiteral("amministratore")));
    QCOMPARE(Fingerprint(), before);
}

// Plain statements of the login on the tables (as psql would send them): the rights, the row
// rules and the rules of the tables refuse them, and nothing changes.
void TstSicurezza::tableWritesAreRefused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message"); // part of the refusal

    const QString denied = QStringLiteral("permission denied");
    const QString blocked = QStringLiteral("bloccato");
    QTest::newRow("read password hashes") << "SELECT txpassword FROM operatori" << denied;
    QTest::newRow("read the sessions") << "SELECT * FROM sessioni" << denied;
    QTest::newRow("make an administrator")
        << "UPDATE operatori SET fladministrator = 1 WHERE txoperatore = 'MROSSI'" << denied;
    QTest::newRow("write a password")
        << "UPDATE operatori SET txpassword = 'eA==' WHERE txoperatore = 'ADMIN'" << denied;
    QTest::newRow("unblock a quote")
        << "UPDATE preventivi SET flbloccato = 0 WHERE idpreventivo = '{blocked}'" << denied;
    QTest::newRow("renumber a quote")
        << "UPDATE preventivi SET nupreventivo = 9999 WHERE idpreventivo = '{open}'" << denied;
    QTest::newRow("move a quote to another company")
        << "UPDATE preventivi SET idsocieta = '" + kSoc2 + "' WHERE idpreventivo = '{open}'"
        << denied;
    QTest::newRow("deactivate a blocked quote")
        << "UPDATE preventivi SET dtcanc = now() WHERE idpreventivo = '{blocked}'" << denied;
    QTest::newRow("change the subject of a blocked quote")
        << "UPDATE preventivi SET txdescoggetto = 'altro' WHERE idpreventivo = '{blocked}'"
        << blocked;
    QTest::newRow("reprice a line of a blocked quote")
        << "UPDATE preventivo_dettaglio SET vlimporto = 1 WHERE idpreventivodet = '{blockedLine}'"
        << blocked;
    QTest::newRow("move a line to another quote")
        << "UPDATE preventivo_dettaglio SET idpreventivo = '{open}' WHERE idpreventivodet = "
           "'{blockedLine}'"
        << denied;
    QTest::newRow("change a value of a blocked quote's line")
        << "UPDATE prevdet_scheda_valori SET txvalorevocescheda = 'x' WHERE idpreventivodet = "
           "'{blockedLine}'"
        << blocked;
    QTest::newRow("unsign an order")
        << "UPDATE ordini SET flfirmato = 0 WHERE idordine = '{signed}'" << denied;
    QTest::newRow("change a signed order")
        << "UPDATE ordini SET txnoteordine = 'x' WHERE idordine = '{signed}'"
        << "firmato";
    QTest::newRow("change a customer code")
        << "UPDATE clienti SET txcodcliente = 'C99999' WHERE idcliente = '{customer1}'" << denied;
    QTest::newRow("every customer at once") << "UPDATE clienti SET txnote = 'x'"
                                            << "una sola riga";
    QTest::newRow("every data-sheet item") << "DELETE FROM prod_scheda_voci"
                                           << "una sola riga";
    QTest::newRow("counters") << "UPDATE contatori SET nuultimo = 0" << denied;
    QTest::newRow("delete quotes") << "DELETE FROM preventivi" << denied;
}

void TstSicurezza::tableWritesAreRefused()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    const QString before = Fingerprint();
    const QString err = errorOfSql(m_db->Module(), Fill(sql));
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(Fingerprint(), before);
}

// Data that makes no sense, written the way the editable records write (or through the
// function the window calls): refused with a clear Italian message, nothing stored.
void TstSicurezza::badDataIsRefusedWithItsMessage_data()
{
    QTest::addColumn<QString>("sql"); // a statement, or "EXEC ..." for a command of the program
    QTest::addColumn<QString>("message");

    QTest::newRow("negative sub-paragraph quantity")
        << "UPDATE prod_comp_parti SET nuquantitaparte = -3 WHERE idpartecomp = '{part}'"
        << "La quantità del sottoparagrafo non può essere negativa.";
    QTest::newRow("negative list price")
        << "UPDATE prod_listini SET vllistino = -5 WHERE idprodlistino = '{list}'"
        << "Il prezzo di listino non può essere negativo.";
    QTest::newRow("negative maximum discount")
        << "UPDATE prod_listini SET vlmaxsconto = -1 WHERE idprodlistino = '{list}'"
        << "Lo sconto massimo non può essere negativo.";
    QTest::newRow("maximum discount above the list price")
        << "UPDATE prod_listini SET vlmaxsconto = 999999999 WHERE idprodlistino = '{list}'"
        << "non può superare il prezzo di listino";
    QTest::newRow("maximum discount of 150 %")
        << "UPDATE prod_listini SET numaxpercsconto = 150 WHERE idprodlistino = '{list}'"
        << "La percentuale massima di sconto deve essere compresa tra 0 e 100.";
    QTest::newRow("line discount of 150 %")
        << "UPDATE preventivo_dettaglio SET vlimporto = -0.5 * 1000 WHERE idpreventivodet = "
           "'{openLine}'"
        << "L'importo della riga non può essere negativo (uno sconto non può superare il 100%).";
    QTest::newRow("line with another product's price list")
        << "UPDATE preventivo_dettaglio SET idprodlistino = '{otherList}' WHERE idpreventivodet "
           "= '{openLine}'"
        << "Il listino indicato appartiene a un altro prodotto";
    QTest::newRow("quote with a customer of another company")
        << "UPDATE preventivi SET idcliente = '{customer2}' WHERE idpreventivo = '{open}'"
        << "Il cliente indicato appartiene a un'altra società";
    QTest::newRow("new quote with a customer of another company")
        << "INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto) VALUES "
           "('{6E0E0E0E-0000-4000-8000-000000000001}', '"
               + kSoc1 + "', '{customer2}', 'Oggetto')"
        << "Il cliente indicato appartiene a un'altra società";
    QTest::newRow("image node without its image")
        << "INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, nuordineparte) "
           "VALUES ('{6E0E0E0E-0000-4000-8000-000000000002}', '{6E0E0E0E-0000-4000-8000-"
           "000000000003}', '{part}', 9)"
        << "L'immagine indicata ({6E0E0E0E-0000-4000-8000-000000000003}) non esiste";
    QTest::newRow("blank customer name")
        << "UPDATE clienti SET txdenominazione = '   ' WHERE idcliente = '{customer1}'"
        << "La ragione sociale del cliente è obbligatoria.";
    QTest::newRow("blank quote subject")
        << "UPDATE preventivi SET txdescoggetto = '' WHERE idpreventivo = '{open}'"
        << "L'oggetto del preventivo è obbligatorio.";
    QTest::newRow("blocked quote deactivated")
        << Exec("ChangeStatoPreventivo", {"'{blocked}'", "0", kUser})
        << "Il preventivo è bloccato, non è possibile disattivarlo.";
    QTest::newRow("summary added to a signed order")
        << "INSERT INTO ordine_sommario (idordine, nuordinetesto, txdesctesto, txtesto) VALUES "
           "('{signed}', 99, 'Aggiunta', 'Testo')"
        << "L'ordine è firmato dal cliente: non è possibile modificarlo. Il suo sommario non può "
           "cambiare.";
    QTest::newRow("summary of a signed order deleted")
        << "DELETE Ordine_Sommario WHERE idOrdine = '{signed}'"
        << "L'ordine è firmato dal cliente";
    QTest::newRow("line added to a blocked quote")
        << Exec("AddProdottoToPreventivo",
                {"'{blocked}'",
                 T("{6E0E0E0E-0000-4000-8000-000000000004}"),
                 "'{otherListProduct}'",
                 "NULL",
                 "1",
                 "0",
                 kUser})
        << "bloccato";
}

void TstSicurezza::badDataIsRefusedWithItsMessage()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    const QString before = Fingerprint();
    TSTD_DBMODULE &db = m_db->Module();
    const QString text = Fill(sql);
    QString err;
    if (IsProcedureCall(text) || text.startsWith(QLatin1String("DELETE Ordine_Sommario")))
        err = ErrorOf(db, text);
    else
        err = errorOfSql(db, text);
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(Fingerprint(), before);
}

// A quote number or customer code stored by other means (a maintenance by the database
// administrator: the login may not write them) is skipped by the numbering instead of jamming
// it with a duplicate.
void TstSicurezza::storedNumbersDoNotJamTheCounters()
{
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("MROSSI"));
    TSTD_DBMODULE &db = tdb.Module();
    const int year = QDate::currentDate().year();
    const QString counter = tdb.SuperQuery(
        QStringLiteral("SELECT coalesce(max(nuultimo), 0) FROM contatori WHERE txserie = "
                       "'PREVENTIVI:%1:%2'")
            .arg(kSoc1)
            .arg(year));
    const int next = counter.toInt() + 1;
    // An existing quote of the company takes the number the counter gives next.
    tdb.SuperQuery(QStringLiteral("UPDATE preventivi SET nuannopreventivo = %1, nupreventivo = %2 "
                                  "WHERE idpreventivo = (SELECT idpreventivo FROM preventivi "
                                  "WHERE idsocieta = '%3' AND nurevisione = 1 AND NOT EXISTS "
                                  "(SELECT 1 FROM preventivi p2 WHERE p2.idsocieta = '%3' AND "
                                  "p2.nuannopreventivo = %1 AND p2.nupreventivo = %2) ORDER BY "
                                  "idpreventivo LIMIT 1)")
                       .arg(year)
                       .arg(next)
                       .arg(kSoc1));
    const QString id = NewId();
    TEditableRecord rec(&db, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    rec.Open(Exec("DatiPreventivo", {T(id)}));
    db.BeginTrans();
    rec.Append(id);
    rec.Data().FieldByName("idSocieta").SetValue(kSoc1);
    rec.Data().FieldByName("txDescOggetto").SetValue(QStringLiteral("Nuovo"));
    rec.Post(QStringLiteral("MROSSI"));
    auto number = Q(db, Exec("SetNewPreventivo", {T(id), kUser}));
    db.CommitTrans();
    QCOMPARE(First(*number, "nuPreventivo").toInt(), next + 1);

    // The same for customer codes.
    const QString code = QStringLiteral("C%1").arg(
        tdb.SuperQuery(QStringLiteral("SELECT coalesce(max(nuultimo), 0) + 1 FROM contatori "
                                      "WHERE txserie = 'CLIENTI:%1'")
                           .arg(kSoc1))
            .toInt(),
        5,
        10,
        QChar('0'));
    tdb.SuperQuery(QStringLiteral("UPDATE clienti SET txcodcliente = '%1' WHERE idcliente = "
                                  "(SELECT idcliente FROM clienti WHERE idsocieta = '%2' AND "
                                  "txcodcliente <> '%1' ORDER BY idcliente LIMIT 1) AND NOT "
                                  "EXISTS (SELECT 1 FROM clienti WHERE idsocieta = '%2' AND "
                                  "txcodcliente = '%1')")
                       .arg(code, kSoc1));
    const QString customer = NewId();
    TEditableRecord cust(&db, QStringLiteral("Clienti"), QStringLiteral("idCliente"));
    cust.Open(Exec("DatiCliente", {T(customer)}));
    db.BeginTrans();
    cust.Append(customer);
    cust.Data().FieldByName("idSocieta").SetValue(kSoc1);
    cust.Data().FieldByName("txDenominazione").SetValue(QStringLiteral("Nuovo cliente"));
    cust.Post(QStringLiteral("MROSSI"));
    auto given = Q(db, Exec("SetNewCodCliente", {T(customer), kUser}));
    db.CommitTrans();
    QCOMPARE(First(*given, "txCodCliente"),
             QStringLiteral("C%1").arg(code.mid(1).toInt() + 1, 5, 10, QChar('0')));
}

// An operator bound to a company writes only that company's records: others are not seen by
// his statements, and a record cannot be moved or created into another company.
void TstSicurezza::rowsOfAnotherCompanyAreOutOfReach()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString before = Fingerprint();
    QCOMPARE(db.ExecuteParams(Fill("UPDATE clienti SET txnote = 'x' WHERE idcliente = "
                                   "'{customer2}'"),
                              {}),
             0);
    QCOMPARE(db.ExecuteParams(Fill("UPDATE preventivi SET txnotepreventivo = 'x' WHERE "
                                   "idpreventivo = '{quote2}'"),
                              {}),
             0);
    QVERIFY(errorOfSql(db,
                       "INSERT INTO clienti (idcliente, idsocieta, txdenominazione) VALUES "
                       "('{6E0E0E0E-0000-4000-8000-000000000005}', '"
                           + kSoc2 + "', 'Intruso')")
                .contains(QStringLiteral("appartiene a un'altra società")));
    // Through the record the window uses: the other company's customer cannot be edited.
    TEditableRecord rec(&db, QStringLiteral("Clienti"), QStringLiteral("idCliente"));
    try {
        rec.Open(Fill(Exec("DatiCliente", {"'{customer2}'"})));
        QFAIL("another company's customer opened for editing");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.ProviderText(),
                 QStringLiteral("Il record non può essere modificato dall'operatore collegato."));
    }
    QCOMPARE(Fingerprint(), before);
    // A "funzionario" works for every company.
    auto other = program(*m_db);
    m_db->LogOn(QStringLiteral("GBIANCHI"), other.get());
    QCOMPARE(other->ExecuteParams(Fill("UPDATE clienti SET txnote = 'nota' WHERE idcliente = "
                                       "'{customer2}'"),
                                  {}),
             1);
}

// The login runs the program's functions and no other: system functions that end other
// sessions, create large objects or sleep, and the extensions' functions, are refused by the
// server (the command layer refuses their names before).
void TstSicurezza::systemAndExtensionFunctionsAreClosed_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("end another session")
        << "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE pid <> pg_backend_pid()";
    QTest::newRow("end another session by number") << "SELECT pg_terminate_backend(1)";
    QTest::newRow("cancel another session") << "SELECT pg_cancel_backend(1)";
    QTest::newRow("write a large object") << "SELECT lo_from_bytea(0, '\\x41'::bytea)";
    QTest::newRow("create a large object") << "SELECT lo_create(0)";
    QTest::newRow("sleep") << "SELECT pg_sleep(0.01)";
    QTest::newRow("hold an advisory lock") << "SELECT pg_advisory_lock(1)";
    QTest::newRow("hash with pgcrypto") << "SELECT vt_ext.crypt('a', vt_ext.gen_salt('bf'))";
    QTest::newRow("trigram similarity") << "SELECT vt_ext.similarity('a', 'b')";
    QTest::newRow("what others are running") << "SELECT query FROM pg_stat_activity";
    QTest::newRow("internal function") << "SELECT vt_prossimo_numero('CLIENTI:X')";
    QTest::newRow("temporary table") << "CREATE TEMP TABLE vt_x (a integer)";
    QTest::newRow("table in public") << "CREATE TABLE public.vt_x (a integer)";
}

void TstSicurezza::systemAndExtensionFunctionsAreClosed()
{
    QFETCH(QString, sql);
    const QString err = errorOfSql(m_db->Module(), sql);
    QVERIFY2(err.contains(QStringLiteral("permission denied")), qPrintable(err));
    // The module itself: a name outside the contract is refused before it reaches the server.
    QVERIFY(ErrorOf(m_db->Module(), QStringLiteral("EXEC pg_terminate_backend 1"))
                .startsWith(QStringLiteral("Comando non ammesso")));
}

// Passwords travel as bound parameters: what the server shows of a command (the activity of
// the sessions, its log, even with every statement logged) never holds them.
void TstSicurezza::passwordsStayOutOfActivityAndLog()
{
    TTestDatabase tdb;
    const QString password = QStringLiteral("segreto-%1").arg(QDateTime::currentMSecsSinceEpoch());
    const QString other = QStringLiteral("altro-%1").arg(QDateTime::currentMSecsSinceEpoch());
    const QString secret = PasswordToBase64(password);
    const QString secret2 = PasswordToBase64(other);
    tdb.SuperQuery(QStringLiteral("UPDATE operatori SET txpassword = '%1' WHERE txoperatore = "
                                  "'MROSSI'; ALTER ROLE ventorel_test IN DATABASE %2 SET "
                                  "log_statement = 'all'")
                       .arg(secret, tdb.Name()));

    // Watch the activity of the database while the logons run.
    std::atomic<bool> stop{false};
    QSet<QString> seen;
    std::thread watcher([&] {
        TConnectionParams p = tdb.Params();
        p.login = QStringLiteral("postgres");
        p.password.clear();
        PGconn *c = PQconnectdb(TSTD_DBMODULE::ComposeConnectionString(p).toUtf8().constData());
        while (!stop) {
            PGresult *r = PQexec(c,
                                 "SELECT query FROM pg_stat_activity WHERE datname = "
                                 "current_database() AND pid <> pg_backend_pid()");
            for (int i = 0; i < PQntuples(r); ++i)
                seen.insert(QString::fromUtf8(PQgetvalue(r, i, 0)));
            PQclear(r);
        }
        PQfinish(c);
    });
    auto m = program(tdb);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(m->Query(logonText("MROSSI", password))->RecordCount(), 1);
        m->Close();
    }
    // A password change refused by the server, and a reset refused to a non-administrator.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             ChangeOperatorPassword(*m, QStringLiteral("MROSSI"), secret, QString()));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             ChangeOperatorPassword(*m, QStringLiteral("MROSSI"), secret2, secret));
    QVERIFY(!ErrorOf(*m, Exec("ResetPasswordOperatore", {T("ADMIN"), T(secret2)})).isEmpty());
    stop = true;
    watcher.join();

    bool logonSeen = false;
    for (const QString &query : std::as_const(seen)) {
        QVERIFY2(!query.contains(secret) && !query.contains(secret2), qPrintable(query));
        logonSeen = logonSeen || query.contains(QStringLiteral("EstraiDatiOperatore"));
    }
    QVERIFY(logonSeen); // the watcher did see the logons

    QFile log(
        QDir(TTestDatabase::SocketDir()).absoluteFilePath(QStringLiteral("../data/server.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QVERIFY(text.contains("EstraiDatiOperatore($1, $2)")); // the statements are in the log
    QVERIFY(text.contains("Password attuale errata") || text.contains("Nuova password non valida"));
    QVERIFY(!text.contains(secret.toUtf8()));
    QVERIFY(!text.contains(secret2.toUtf8()));
}

// After 5 wrong passwords in a row an operator is refused for 15 minutes, right password or
// not, with a clear message; the wrong current passwords of a change count too. Others log on.
void TstSicurezza::wrongPasswordsLockTheOperatorOut()
{
    TTestDatabase tdb;
    auto m = program(tdb);
    // Four wrong, then the right one: the count starts again.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(m->Query(logonText("MROSSI", "sbagliata"))->RecordCount(), 0);
    QCOMPARE(m->Query(logonText("MROSSI", "rossi"))->RecordCount(), 1);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(m->Query(logonText("MROSSI", "sbagliata"))->RecordCount(), 0);
    // The fifth wrong one in a row: a wrong current password of a password change.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             ChangeOperatorPassword(*m,
                                                    QStringLiteral("MROSSI"),
                                                    PasswordToBase64(QStringLiteral("x")),
                                                    PasswordToBase64(QStringLiteral("nuova1"))));
    const QString locked = ErrorOf(*m, logonText("MROSSI", "rossi"));
    QCOMPARE(locked,
             QStringLiteral("Troppi tentativi con password errata: l'utente MROSSI è bloccato per "
                            "15 minuti."));
    QVERIFY(!m->HasOperatorSession());
    QCOMPARE(m->Query(logonText("ADMIN", "gestore"))->RecordCount(), 1);
    // An administrator's reset ends the lock at once; otherwise 15 minutes do.
    tdb.SuperQuery(QStringLiteral("UPDATE operatori SET dtbloccologon = localtimestamp - interval "
                                  "'1 second' WHERE txoperatore = 'MROSSI'"));
    QCOMPARE(m->Query(logonText("MROSSI", "rossi"))->RecordCount(), 1);
}

// A catalog built without demo data has one administrator, whose password is his user name
// until his first logon: that session can do nothing but change the password.
void TstSicurezza::freshCatalogHasOnlyItsAdministrator()
{
    TTestDatabase tdb(TTestDatabase::Empty);
    QCOMPARE(tdb.SuperQuery("SELECT string_agg(txoperatore || ':' || fladministrator, ',') FROM "
                            "operatori"),
             QStringLiteral("ADMIN:1"));
    auto m = program(tdb);
    QCOMPARE(m->Query(logonText("ADMIN", "admin"))->RecordCount(), 1);
    QCOMPARE(ErrorOf(*m, Exec("EstraiProvinceItaliane")),
             QStringLiteral(
                 "Primo collegamento: impostare una nuova password prima di continuare."));
    QVERIFY(ErrorOf(*m, Exec("ChangeStatoSocieta", {T(kSoc1), "0"})).contains("Primo collegamento"));
    // A new password equal to the user name is no way out.
    QVERIFY(ErrorOf(*m,
                    Exec("CambiaPasswordOperatore",
                         {T("ADMIN"), T(PasswordToBase64("admin")), T(PasswordToBase64("Admin"))}))
                .contains("uguale all'utente"));
    ChangeOperatorPassword(*m,
                           QStringLiteral("ADMIN"),
                           PasswordToBase64(QStringLiteral("admin")),
                           PasswordToBase64(QStringLiteral("nuova-password")));
    QCOMPARE(m->Query(logonText("ADMIN", "nuova-password"))->RecordCount(), 1);
    QCOMPARE(m->Query(Exec("EstraiProvinceItaliane"))->RecordCount(), 107);
    QCOMPARE(m->Query(logonText("ADMIN", "admin"))->RecordCount(), 0);
}

QTEST_GUILESS_MAIN(TstSicurezza)
#include "tst_sicurezza.moc"
