#include "common/dialogs.h"
#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/pgadapter.h"
#include "tests/support/testdatabase.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <libpq-fe.h>

// The database session against a real server: row sets, several result sets, failures, the
// lost connection, transactions and the rights of the program's login.
class TstDbModule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rowQueryReadsColumnsByName();
    void columnTypesFollowServerTypes();
    void cursorsGiveSeveralResultSets();
    void cursorsInsideCallersTransaction();
    void callAndCursorsInOneMessage_data();
    void callAndCursorsInOneMessage();
    void lostConnectionInsideTheMessage();
    void cursorProceduresAreThoseOfTheDatabase();
    void realTreeCallsTakeOneRoundTrip();
    void rowsComeInPieces_data();
    void rowsComeInPieces();
    void failureWhileRowsComeInPieces();
    void voidResultIsNoRowSet();
    void serverErrorCarriesItsPrimaryText();
    void transactionRollsBack();
    void failedTransactionCannotCommit();
    void lostConnectionIsMarked();
    void lostConnectionInsideTransaction();
    void lostConnectionAfterImmediateStop();
    void deadServerIsNoticedByKeepalives();
    void operatorSessionFollowsTheConnection();
    void explicitOpenFailureIsNotLostConnection();
    void connectionStringQuotesValues();
    void commandTimeout();
    void serverTimeIsTheServers();
    void binaryParametersRoundTrip();
    void temporaryTableOfSplitTexts();
    void loginHasLeastPrivilege_data();
    void loginHasLeastPrivilege();
};

namespace {

// Replaces a procedure of the contract with a probe of the test (the adapter calls nothing
// else): created as the schema owner, as the migrations do, and executable by the program.
void replaceProcedure(TTestDatabase &db, const QString &name, const QString &definition)
{
    db.SuperQuery(QStringLiteral("SELECT vt_drop_funzioni(ARRAY['%1']); SET ROLE ventorel_owner; "
                                 "CREATE FUNCTION %1%2; GRANT EXECUTE ON FUNCTION %1 TO "
                                 "ventorel_app; RESET ROLE")
                      .arg(name.toLower(), definition));
}

QString errorOf(const std::function<void()> &f, bool *lost = nullptr)
{
    try {
        f();
    } catch (const EDatabaseError &e) {
        if (lost)
            *lost = e.LostConnection();
        return e.ProviderText();
    }
    return QString();
}

// A probe that writes its argument into vt_log before answering, so that a test sees whether
// its work was committed, rolled back, or done twice.
void makeLogTable(TTestDatabase &db)
{
    db.SuperQuery(QStringLiteral("CREATE TABLE vt_log (txRiga text); ALTER TABLE vt_log OWNER TO "
                                 "ventorel_owner"));
}

const char *kCompanyId = "{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}";

} // namespace

void TstDbModule::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running (VENTOREL_TEST_PGSOCKET)");
}

void TstDbModule::rowQueryReadsColumnsByName()
{
    TTestDatabase db;
    const QString text = ExecText(QStringLiteral("EstraiDatiOperatore"),
                                  {SqlText(QStringLiteral("ADMIN")),
                                   SqlText(PasswordToBase64(QStringLiteral("gestore")))});
    std::unique_ptr<TDataSet> ds = db.Module().Query(text);
    QCOMPARE(db.Module().LastCommandText(), text);
    QVERIFY(db.Module().Connected());
    QCOMPARE(ds->RecordCount(), 1);
    // Names come back in lower case; look-up ignores case.
    QCOMPARE(ds->FieldDefs().at(0).name, QStringLiteral("fladministrator"));
    QCOMPARE(ds->FieldByName(QStringLiteral("flAdministrator")).AsInteger(), 1);
    QCOMPARE(ds->FieldByName(QStringLiteral("txDenominazione")).AsString(),
             QStringLiteral("Tecnoquadri Lombarda S.r.l."));
    QVERIFY(ds->FieldByName(QStringLiteral("dtCanc")).IsNull());
}

void TstDbModule::columnTypesFollowServerTypes()
{
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(
        db,
        QStringLiteral("EstraiProvinceItaliane"),
        QStringLiteral(
            "() RETURNS TABLE (nuPiccolo smallint, nuIntero integer, "
            "nuGrande bigint, vlImporto numeric(12,3), vlReale double precision, flVero boolean, "
            "dtGiorno date, dtOra timestamp, imgDati bytea, txCodice varchar(20), txNote text) "
            "LANGUAGE sql AS $$ SELECT 1::smallint, -7, 9000000000, 1234.5, 0.25, true, "
            "'2021-03-05'::date, '2021-03-05 14:30:15.250'::timestamp, '\\x00ff41'::bytea, "
            "'C''1', NULL::text $$"));
    std::unique_ptr<TDataSet> ds = db.Module().Query(QStringLiteral("EXEC EstraiProvinceItaliane"));
    const std::vector<TFieldDef> &defs = ds->FieldDefs();
    QCOMPARE(int(defs.size()), 11);
    const TFieldType expected[] = {TFieldType::Integer,
                                   TFieldType::Integer,
                                   TFieldType::Integer,
                                   TFieldType::Real,
                                   TFieldType::Real,
                                   TFieldType::Flag,
                                   TFieldType::DateTime,
                                   TFieldType::DateTime,
                                   TFieldType::Blob,
                                   TFieldType::Text,
                                   TFieldType::Text};
    for (int c = 0; c < 11; ++c)
        QVERIFY2(defs.at(c).type == expected[c], qPrintable(defs.at(c).name));

    QCOMPARE(ds->FieldByName(QStringLiteral("nuIntero")).AsInteger(), -7);
    QCOMPARE(ds->FieldByName(QStringLiteral("nuGrande")).AsInteger(), Q_INT64_C(9000000000));
    QCOMPARE(ds->FieldByName(QStringLiteral("vlImporto")).AsFloat(), 1234.5);
    QVERIFY(ds->FieldByName(QStringLiteral("flVero")).AsBoolean());
    QCOMPARE(ds->FieldByName(QStringLiteral("dtGiorno")).AsDateTime(),
             QDateTime(QDate(2021, 3, 5), QTime(0, 0)));
    QCOMPARE(ds->FieldByName(QStringLiteral("dtOra")).AsDateTime(),
             QDateTime(QDate(2021, 3, 5), QTime(14, 30, 15, 250)));
    QCOMPARE(ds->FieldByName(QStringLiteral("imgDati")).AsBytes(), QByteArray("\x00\xff\x41", 3));
    QCOMPARE(ds->FieldByName(QStringLiteral("txCodice")).AsString(), QStringLiteral("C'1"));
    QVERIFY(ds->FieldByName(QStringLiteral("txNote")).IsNull());
}

void TstDbModule::cursorsGiveSeveralResultSets()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.SuperQuery(QStringLiteral("CREATE TABLE vt_log (txRiga text); GRANT SELECT ON vt_log TO "
                                 "ventorel_owner; ALTER TABLE vt_log OWNER TO ventorel_owner"));
    replaceProcedure(
        db,
        QStringLiteral("EstraiAllDettagliProdotto"),
        QStringLiteral(
            "(p text) RETURNS SETOF refcursor LANGUAGE plpgsql "
            "SECURITY DEFINER AS $$ DECLARE a refcursor := 'primo'; b refcursor := 'secondo "
            "\"x\"'; BEGIN INSERT INTO vt_log VALUES (p); OPEN a FOR SELECT g AS nuRiga FROM "
            "generate_series(1, 3) g; RETURN NEXT a; OPEN b FOR SELECT p AS txTesto, 2 AS "
            "nuDue; RETURN NEXT b; END $$"));
    TSTD_DBMODULE &m = db.Module();
    std::vector<std::unique_ptr<TDataSet>> sets = m.QueryMulti(
        QStringLiteral("EXEC EstraiAllDettagliProdotto 'a'"));
    QCOMPARE(int(sets.size()), 2);
    QCOMPARE(sets.at(0)->RecordCount(), 3);
    sets.at(0)->Last();
    QCOMPARE(sets.at(0)->FieldByName(QStringLiteral("nuRiga")).AsInteger(), 3);
    QCOMPARE(sets.at(1)->FieldByName(QStringLiteral("txTesto")).AsString(), QStringLiteral("a"));
    QCOMPARE(sets.at(1)->FieldByName(QStringLiteral("nuDue")).AsInteger(), 2);
    // The transaction opened for the fetch was committed: another session sees the change.
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM vt_log")), QStringLiteral("1"));
    QVERIFY(!m.InTransaction());

    // Query gives the first set; the cursors of the previous call are gone.
    std::unique_ptr<TDataSet> first = m.Query(QStringLiteral("EXEC EstraiAllDettagliProdotto 'b'"));
    QCOMPARE(first->RecordCount(), 3);
    QCOMPARE(first->FieldNames(), QStringList{QStringLiteral("nuriga")});
}

void TstDbModule::cursorsInsideCallersTransaction()
{
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(db,
                     QStringLiteral("EstraiSchedeListinoValori"),
                     QStringLiteral("() RETURNS SETOF refcursor "
                                    "LANGUAGE plpgsql AS $$ DECLARE a refcursor := 'uno'; "
                                    "BEGIN OPEN a FOR SELECT 1 AS x; RETURN NEXT a; END $$"));
    TSTD_DBMODULE &m = db.Module();
    m.BeginTrans();
    // Twice in one transaction: the cursors are closed after each fetch, so the names can be
    // used again.
    QCOMPARE(int(m.QueryMulti(QStringLiteral("EXEC EstraiSchedeListinoValori")).size()), 1);
    QCOMPARE(int(m.QueryMulti(QStringLiteral("EXEC EstraiSchedeListinoValori")).size()), 1);
    QVERIFY(m.InTransaction());
    m.CommitTrans();
    QVERIFY(!m.InTransaction());
}

// A call of its own transaction goes with the reading of its cursors in one message, the
// cursors named as the command layer announces them; a function whose cursors are not the
// announced ones is run again the ordinary way, its first run rolled back; a failure rolls
// everything back and reports the function's own message.
void TstDbModule::callAndCursorsInOneMessage_data()
{
    QTest::addColumn<QString>("procedure"); // replaced by the probe
    QTest::addColumn<QString>("answers");   // the probe's result type
    QTest::addColumn<QString>("body");      // p is its argument; a, b, c refcursors
    QTest::addColumn<bool>("callerTransaction");
    QTest::addColumn<QStringList>("sets"); // first value of each set, in order
    QTest::addColumn<QString>("error");    // expected message, empty for success
    QTest::addColumn<int>("roundTrips");

    const QString cursors = QStringLiteral("SETOF refcursor");
    const QString rows = QStringLiteral("TABLE (x text)");
    const QString two = QStringLiteral(
        "a := vt_cursore(1); OPEN a FOR SELECT 'uno'::text AS x; RETURN NEXT a; "
        "b := vt_cursore(2); OPEN b FOR SELECT 'due'::text AS x; RETURN NEXT b;");
    QTest::newRow("two announced cursors") << "EstraiSchedeListinoValori" << cursors << two << false
                                           << QStringList{"uno", "due"} << QString() << 1;
    QTest::newRow("three announced cursors, answered in another order")
        << "EstraiProdottiForPreventivo" << cursors
        << "a := vt_cursore(1); b := vt_cursore(2); c := vt_cursore(3); "
           "OPEN a FOR SELECT 'uno'::text AS x; OPEN b FOR SELECT 'due'::text AS x; "
           "OPEN c FOR SELECT 'tre'::text AS x; RETURN NEXT c; RETURN NEXT a; RETURN NEXT b;"
        << false << QStringList{"tre", "uno", "due"} << QString() << 1;
    QTest::newRow("rows") << "CheckCodProdotto" << rows << "x := 'riga'; RETURN NEXT;" << false
                          << QStringList{"riga"} << QString() << 1;
    QTest::newRow("rows, and a cursor named unannounced: run again")
        << "CheckCodProdotto" << rows << "PERFORM vt_cursore(1); x := 'riga'; RETURN NEXT;" << false
        << QStringList{"riga"} << QString() << 4;
    QTest::newRow("more cursors than announced: run again")
        << "DatiNodo" << cursors << two << false << QStringList{"uno", "due"} << QString() << 4;
    QTest::newRow("fewer cursors than announced: run again")
        << "EstraiSchedeListinoValori" << cursors
        << "a := vt_cursore(1); OPEN a FOR SELECT 'uno'::text AS x; RETURN NEXT a;" << false
        << QStringList{"uno"} << QString() << 4;
    QTest::newRow("cursors named by the function: run again")
        << "EstraiSchedeListinoValori" << cursors
        << "a := 'primo'; b := 'secondo \"x\"'; OPEN a FOR SELECT 'uno'::text AS x; "
           "RETURN NEXT a; OPEN b FOR SELECT 'due'::text AS x; RETURN NEXT b;"
        << false << QStringList{"uno", "due"} << QString() << 4;
    QTest::newRow("error after a write and a cursor")
        << "EstraiSchedeListinoValori" << cursors
        << "a := vt_cursore(1); OPEN a FOR SELECT 'uno'::text AS x; RETURN NEXT a; "
           "RAISE EXCEPTION 'Listino % non trovato.', p;"
        << false << QStringList{} << "Listino L1 non trovato." << 2;
    QTest::newRow("cursors inside the caller's transaction")
        << "EstraiSchedeListinoValori" << cursors << two << true << QStringList{"uno", "due"}
        << QString() << 2;
    QTest::newRow("error inside the caller's transaction")
        << "EstraiSchedeListinoValori" << cursors << "RAISE EXCEPTION 'Listino % non trovato.', p;"
        << true << QStringList{} << "Listino L1 non trovato." << 1;
}

void TstDbModule::callAndCursorsInOneMessage()
{
    QFETCH(QString, procedure);
    QFETCH(QString, answers);
    QFETCH(QString, body);
    QFETCH(bool, callerTransaction);
    QFETCH(QStringList, sets);
    QFETCH(QString, error);
    QFETCH(int, roundTrips);

    TTestDatabase db(TTestDatabase::Empty);
    makeLogTable(db);
    replaceProcedure(db,
                     procedure,
                     QStringLiteral("(p text) RETURNS %1 LANGUAGE plpgsql SECURITY DEFINER SET "
                                    "search_path = public, pg_temp AS $$ DECLARE a refcursor; "
                                    "b refcursor; c refcursor; BEGIN INSERT INTO vt_log VALUES "
                                    "(p); %2 END $$")
                         .arg(answers, body));
    TSTD_DBMODULE &m = db.Module();
    m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW")); // connected
    if (callerTransaction)
        m.BeginTrans();
    const quint64 before = m.RoundTrips();
    std::vector<std::unique_ptr<TDataSet>> got;
    const QString err = errorOf(
        [&] { got = m.QueryMulti(QStringLiteral("EXEC %1 'L1'").arg(procedure)); });
    QCOMPARE(err, error);
    QCOMPARE(int(m.RoundTrips() - before), roundTrips);
    QCOMPARE(int(got.size()), int(sets.size()));
    for (size_t i = 0; i < got.size(); ++i)
        QCOMPARE(got[i]->Fields(0).AsString(), sets.at(int(i)));
    QCOMPARE(m.InTransaction(), callerTransaction);
    if (callerTransaction) {
        // The fetched cursors were closed; a failure leaves the transaction unable to commit.
        if (error.isEmpty())
            QCOMPARE(
                m.QueryParams(QStringLiteral(
                                  "SELECT string_agg(name, ',') FROM pg_cursors WHERE name <> ''"),
                              {})
                    ->Fields(0)
                    .AsString(),
                QString());
        QCOMPARE(errorOf([&] { m.CommitTrans(); }).isEmpty(), error.isEmpty());
    }
    // Done once when it succeeded (a first run that met other cursors was rolled back), not
    // at all when it failed.
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM vt_log")),
             error.isEmpty() ? QStringLiteral("1") : QStringLiteral("0"));
    // The session goes on.
    QCOMPARE(m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW"))->RecordCount(), 1);
}

// The server ends the session while it runs the message (after the call opened its first
// cursor): the failure is a lost connection, and nothing was committed.
void TstDbModule::lostConnectionInsideTheMessage()
{
    TTestDatabase db(TTestDatabase::Empty);
    makeLogTable(db);
    // Made by the superuser, so that it may end its own session.
    db.SuperQuery(QStringLiteral(
        "SELECT vt_drop_funzioni(ARRAY['estraischedelistinovalori']); "
        "CREATE FUNCTION estraischedelistinovalori(p text) RETURNS SETOF refcursor LANGUAGE "
        "plpgsql SECURITY DEFINER AS $$ DECLARE a refcursor := vt_cursore(1); BEGIN INSERT INTO "
        "vt_log VALUES (p); OPEN a FOR SELECT 1 AS x; RETURN NEXT a; PERFORM "
        "pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(5); END $$; GRANT EXECUTE ON "
        "FUNCTION estraischedelistinovalori TO ventorel_app"));
    TSTD_DBMODULE &m = db.Module();
    bool lost = false;
    const QString err
        = errorOf([&] { m.QueryMulti(QStringLiteral("EXEC EstraiSchedeListinoValori 'x'")); },
                  &lost);
    QVERIFY2(lost, qPrintable(err));
    QVERIFY2(err.startsWith(QString::fromLatin1(kLostConnectionMark) + u' '), qPrintable(err));
    QVERIFY(!m.Connected());
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM vt_log")), QStringLiteral("0"));
}

// The command layer knows which procedures answer cursors: exactly those of the database.
void TstDbModule::cursorProceduresAreThoseOfTheDatabase()
{
    TTestDatabase db(TTestDatabase::Empty);
    const QStringList functions = db
                                      .SuperQuery(QStringLiteral(
                                          "SELECT string_agg(proname || ':' || (prorettype = "
                                          "'refcursor'::regtype)::text, ',') FROM pg_proc WHERE "
                                          "pronamespace = 'public'::regnamespace"))
                                      .split(u',');
    int cursorProcedures = 0;
    for (const QString &f : functions) {
        const QString name = f.section(u':', 0, 0);
        if (!IsContractProcedure(name))
            continue;
        const bool cursors = f.section(u':', 1) == QLatin1String("true");
        QVERIFY2(AnswersCursors(name) == cursors, qPrintable(name));
        cursorProcedures += cursors;
    }
    QVERIFY(cursorProcedures > 0);
}

// The real tree functions name their cursors as announced: the product print's five sets, the
// editor's two, and an enable/disable, each in one round trip.
void TstDbModule::realTreeCallsTakeOneRoundTrip()
{
    TTestDatabase db;
    db.LogOn(QStringLiteral("MROSSI"));
    const QString product = db.SuperQuery(
        QStringLiteral("SELECT idprodotto FROM prod_componenti ORDER BY idprodotto LIMIT 1"));
    const QString paragraph = db.SuperQuery(
        QStringLiteral("SELECT idcompprodotto FROM prod_componenti WHERE idprodotto = '%1' "
                       "ORDER BY nuordinenelprodotto LIMIT 1")
            .arg(product));
    const QString wasActive = db.SuperQuery(
        QStringLiteral(
            "SELECT flcompprodottoattivo FROM prod_componenti WHERE idcompprodotto = '%1'")
            .arg(paragraph));
    TSTD_DBMODULE &m = db.Module();
    m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW")); // connected and bound to the session
    const struct
    {
        QString command;
        int sets;
    } calls[] = {
        {QStringLiteral("EXEC EstraiAllDettagliProdotto '%1', 0, 1, 0, 0, 0, 0").arg(product), 5},
        {QStringLiteral("EXEC EstraiAllDettagliProdotto '%1', 0, 0, 0, 0, 0, 0").arg(product), 2},
        {QStringLiteral("EXEC ChangeStateNodo '%1', 0, '%2', 30, 0, 'MROSSI'")
             .arg(product, paragraph),
         2},
        {QStringLiteral("EXEC DatiNodo '%1', 30").arg(paragraph), 1},
    };
    for (const auto &call : calls) {
        const quint64 before = m.RoundTrips();
        std::vector<std::unique_ptr<TDataSet>> sets = m.QueryMulti(call.command);
        QCOMPARE(int(m.RoundTrips() - before), 1);
        QCOMPARE(int(sets.size()), call.sets);
        QVERIFY(sets.front()->RecordCount() > 0);
    }
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT flcompprodottoattivo FROM prod_componenti "
                                          "WHERE idcompprodotto = '%1'")
                               .arg(paragraph)),
             wasActive == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1"));
}

void TstDbModule::rowsComeInPieces_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("batchRows");
    QTest::addColumn<qint64>("batchBytes");
    QTest::addColumn<QList<int>>("pieces");
    const qint64 any = 1 << 30;
    QTest::newRow("per numero di righe") << 10 << 4 << any << QList<int>{4, 4, 2};
    QTest::newRow("ultimo pezzo vuoto") << 8 << 4 << any << QList<int>{4, 4, 0};
    QTest::newRow("nessuna riga") << 0 << 4 << any << QList<int>{0};
    // Row g is 1 character of number and 2 + 2g of hexadecimal picture: 5, 7, 9, 11, 13.
    QTest::newRow("per dimensione") << 5 << 100 << qint64(10) << QList<int>{2, 2, 1, 0};
}

void TstDbModule::rowsComeInPieces()
{
    QFETCH(int, rows);
    QFETCH(int, batchRows);
    QFETCH(qint64, batchBytes);
    QFETCH(QList<int>, pieces);
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(db,
                     QStringLiteral("EstraiProvinceItaliane"),
                     QStringLiteral("(n integer) RETURNS TABLE (nuRiga integer, imgDati bytea) "
                                    "LANGUAGE sql AS $$ SELECT g, decode(repeat('ab', g), 'hex') "
                                    "FROM generate_series(1, n) g $$"));
    QList<int> sizes;
    int next = 1;
    db.Module()
        .QueryInBatches(QStringLiteral("EXEC EstraiProvinceItaliane %1").arg(rows),
                        batchRows,
                        batchBytes,
                        [&](TDataSet &piece) {
                            QVERIFY(piece.FieldIndex(QStringLiteral("imgDati")) >= 0);
                            sizes << piece.RecordCount();
                            for (piece.First(); !piece.Eof(); piece.Next(), ++next) {
                                QCOMPARE(piece.FieldByName(QStringLiteral("nuRiga")).AsInteger(),
                                         next);
                                QCOMPARE(piece.FieldByName(QStringLiteral("imgDati")).AsBytes(),
                                         QByteArray(next, '\xab'));
                            }
                        });
    QCOMPARE(sizes, pieces);
    QCOMPARE(next, rows + 1);
}

void TstDbModule::failureWhileRowsComeInPieces()
{
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(db,
                     QStringLiteral("EstraiProvinceItaliane"),
                     QStringLiteral("(n integer) RETURNS TABLE (nuRiga integer) LANGUAGE sql AS "
                                    "$$ SELECT 10 / (n - g) FROM generate_series(1, 20) g $$"));
    TSTD_DBMODULE &m = db.Module();
    auto alive = [&] { return m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW"))->RecordCount(); };
    // The server fails on row 12: its message, and the session is ready for the next command.
    const QString err = errorOf([&] {
        m.QueryInBatches(QStringLiteral("EXEC EstraiProvinceItaliane 12"),
                         3,
                         1 << 20,
                         [](TDataSet &) {});
    });
    QCOMPARE(err, QStringLiteral("division by zero"));
    QCOMPARE(alive(), 1);
    // What the receiver raises stops the pieces; the rest of the rows is read and dropped.
    int pieces = 0;
    try {
        m.QueryInBatches(QStringLiteral("EXEC EstraiProvinceItaliane 100"),
                         3,
                         1 << 20,
                         [&](TDataSet &) {
                             if (++pieces == 2)
                                 throw std::runtime_error("basta");
                         });
        QFAIL("the receiver's exception was lost");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("basta"));
    }
    QCOMPARE(pieces, 2);
    QCOMPARE(alive(), 1);
}

void TstDbModule::voidResultIsNoRowSet()
{
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(db,
                     QStringLiteral("UpdateChangesProdotto"),
                     QStringLiteral("(p integer) RETURNS void LANGUAGE sql AS $$ SELECT $$"));
    TSTD_DBMODULE &m = db.Module();
    const QString err = errorOf([&] { m.Query(QStringLiteral("EXEC UpdateChangesProdotto 1")); });
    QCOMPARE(err, QStringLiteral("Il comando non ha restituito un insieme di righe."));
    m.Execute(QStringLiteral("EXEC UpdateChangesProdotto 1")); // an action command needs no row set
    QVERIFY(
        !errorOf([&] { m.QueryMulti(QStringLiteral("EXEC UpdateChangesProdotto 1")); }).isEmpty());
    // A direct statement without rows, run as a row query, fails the same way.
    db.LogOn(QStringLiteral("MROSSI"));
    QCOMPARE(errorOf(
                 [&] { m.Query(QStringLiteral("DELETE Ordine_Sommario WHERE idOrdine = '{X}'")); }),
             QStringLiteral("Il comando non ha restituito un insieme di righe."));
}

void TstDbModule::serverErrorCarriesItsPrimaryText()
{
    TTestDatabase db(TTestDatabase::Empty);
    replaceProcedure(db,
                     QStringLiteral("CheckCodProdotto"),
                     QStringLiteral("(p text) RETURNS TABLE (flOk "
                                    "integer) LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION "
                                    "'  Codice % già usato  ', p USING DETAIL = 'dettaglio'; "
                                    "END $$"));
    bool lost = true;
    const QString err
        = errorOf([&] { db.Module().Query(QStringLiteral("EXEC CheckCodProdotto 'C01'")); }, &lost);
    QCOMPARE(err, QStringLiteral("Codice C01 già usato"));
    QVERIFY(!lost);
    // Wrong arguments are server errors too.
    QVERIFY(errorOf([&] {
                db.Module().Query(QStringLiteral("EXEC CheckCodProdotto 1, 2, 3"));
            }).contains(QStringLiteral("does not exist")));
    // The session is usable after a failure.
    QCOMPARE(db.Module().Query(QStringLiteral("SELECT GETDATE() AS TMNOW"))->RecordCount(), 1);
}

void TstDbModule::transactionRollsBack()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.LogOn(QStringLiteral("ADMIN")); // companies are written by administrators
    TSTD_DBMODULE &m = db.Module();
    m.BeginTrans();
    QVERIFY(m.InTransaction());
    QVERIFY(!errorOf([&] { m.BeginTrans(); }).isEmpty()); // no nesting
    QCOMPARE(m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta, txDenominazione) "
                                            "VALUES ($1, $2)"),
                             {QStringLiteral("{S1}"), QStringLiteral("Prova")}),
             1);
    m.RollbackTrans();
    QVERIFY(!m.InTransaction());
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));

    m.BeginTrans();
    m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta, txDenominazione) VALUES ($1, "
                                   "$2)"),
                    {QStringLiteral("{S2}"), QStringLiteral("Prova")});
    m.CommitTrans();
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("1"));
    QVERIFY(!errorOf([&] { m.CommitTrans(); }).isEmpty());
    m.RollbackTrans(); // without a transaction: nothing to do
}

void TstDbModule::failedTransactionCannotCommit()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.LogOn(QStringLiteral("ADMIN"));
    TSTD_DBMODULE &m = db.Module();
    m.BeginTrans();
    m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta, txDenominazione) VALUES ($1, "
                                   "$2)"),
                    {QStringLiteral("{S1}"), QStringLiteral("Prima")});
    QVERIFY(!errorOf([&] {
                 m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta) VALUES ($1)"),
                                 {QStringLiteral("{S2}")});
             }).isEmpty());
    // A commit after a failed statement must not look like success.
    QVERIFY(!errorOf([&] { m.CommitTrans(); }).isEmpty());
    QVERIFY(!m.InTransaction());
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));
}

void TstDbModule::lostConnectionIsMarked()
{
    TTestDatabase db;
    TSTD_DBMODULE &m = db.Module();
    m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW"));
    QVERIFY(m.Connected());
    db.SuperQuery(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                 "datname = current_database() AND pid <> pg_backend_pid()"));
    bool lost = false;
    const QString err = errorOf(
        [&] { m.Query(QStringLiteral("EXEC EstraiDatiOperatore 'ADMIN', 'Z2VzdG9yZQ=='")); }, &lost);
    QVERIFY(lost);
    QVERIFY2(err.startsWith(QString::fromLatin1(kLostConnectionMark) + u' '), qPrintable(err));
    QVERIFY(err.size() > int(qstrlen(kLostConnectionMark)) + 1); // libpq's own text follows
    QVERIFY(!m.Connected());
}

void TstDbModule::lostConnectionInsideTransaction()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.LogOn(QStringLiteral("ADMIN"));
    TSTD_DBMODULE &m = db.Module();
    m.BeginTrans();
    db.SuperQuery(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                 "datname = current_database() AND pid <> pg_backend_pid()"));
    bool lost = false;
    const QString err = errorOf(
        [&] {
            m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta, txDenominazione) "
                                           "VALUES ('{A}', 'A')"),
                            {});
        },
        &lost);
    QVERIFY2(lost, qPrintable(err));
    QVERIFY(err.startsWith(QString::fromLatin1(kLostConnectionMark)));
    QVERIFY(!m.InTransaction());
}

// The server dies (an immediate stop, as a crash does): the first command after it is reported
// as a lost connection, so the program ends with its message instead of running on.
void TstDbModule::lostConnectionAfterImmediateStop()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile::setPermissions(dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QString script = qEnvironmentVariable("VENTOREL_SOURCE_DIR")
                           + QStringLiteral("/scripts/pgcluster.sh");
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString run = dir.filePath(QStringLiteral("run"));
    auto cluster = [&](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral("bash"), QStringList{script} + args);
        return p.waitForFinished(120000) && p.exitCode() == 0;
    };
    QVERIFY(cluster({QStringLiteral("start"), data, run}));
    const auto stop = qScopeGuard([&] { cluster({QStringLiteral("stop"), data}); });

    TSTD_DBMODULE m;
    TConnectionParams p;
    p.host = run;
    p.database = QStringLiteral("postgres");
    p.login = QStringLiteral("postgres");
    m.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(p));
    m.ExecuteParams(QStringLiteral("CREATE FUNCTION getdate() RETURNS timestamp LANGUAGE sql AS "
                                   "'SELECT localtimestamp'"),
                    {});
    QCOMPARE(m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW"))->RecordCount(), 1);

    QVERIFY(cluster({QStringLiteral("stop"), data, QStringLiteral("immediate")}));
    bool lost = false;
    const QString err = errorOf([&] { m.Query(QStringLiteral("SELECT GETDATE() AS TMNOW")); },
                                &lost);
    QVERIFY2(lost, qPrintable(err));
    QVERIFY(err.startsWith(QString::fromLatin1(kLostConnectionMark)));
    QVERIFY(!m.Connected());
}

// A remote server that dies or freezes (or a cut network) is noticed by TCP keep-alive probes
// and a limit on unacknowledged data, about 30 s; a slow command of a live server is not
// limited by them (it has no time-out of its own after the logon).
void TstDbModule::deadServerIsNoticedByKeepalives()
{
    TConnectionParams p;
    p.host = QStringLiteral("server.example.it");
    p.database = QStringLiteral("VentorelDB");
    p.login = QStringLiteral("ventorel");
    const QByteArray conninfo = TSTD_DBMODULE::ComposeConnectionString(p).toUtf8();
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.constData(), &error);
    QVERIFY2(options, error);
    QMap<QString, QString> values;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val)
            values.insert(QString::fromLatin1(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    QCOMPARE(values.value(QStringLiteral("keepalives")), QStringLiteral("1"));
    const int idle = values.value(QStringLiteral("keepalives_idle")).toInt();
    const int interval = values.value(QStringLiteral("keepalives_interval")).toInt();
    const int count = values.value(QStringLiteral("keepalives_count")).toInt();
    QVERIFY(idle > 0 && interval > 0 && count > 0);
    QVERIFY(idle + interval * count <= 30);
    const int userTimeout = values.value(QStringLiteral("tcp_user_timeout")).toInt();
    QVERIFY(userTimeout > 0 && userTimeout <= 30000);
}

// The operator check opens a session on the server; the module binds every connection it opens
// later to it (the logon closes its connection), and a connection without it runs nothing.
void TstDbModule::operatorSessionFollowsTheConnection()
{
    TTestDatabase db;
    TSTD_DBMODULE &m = db.Module();
    const QString provinces = QStringLiteral("EXEC EstraiProvinceItaliane");
    QVERIFY(errorOf([&] {
                m.Query(provinces);
            }).contains(QStringLiteral("Nessun operatore collegato")));
    const QString logon = ExecText(QStringLiteral("EstraiDatiOperatore"),
                                   {SqlText(QStringLiteral("MROSSI")),
                                    SqlText(PasswordToBase64(QStringLiteral("rossi")))});
    QCOMPARE(m.Query(logon)->RecordCount(), 1);
    QVERIFY(m.HasOperatorSession());
    QVERIFY(m.Query(provinces)->RecordCount() > 100);
    m.Close();
    QVERIFY(m.Query(provinces)->RecordCount() > 100); // a new connection, the same session

    // Another program with the same login has no session of its own.
    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(db.Params()));
    QVERIFY(errorOf([&] {
                other.Query(provinces);
            }).contains(QStringLiteral("Nessun operatore collegato")));

    // A logon that fails on the connection leaves no operator logged on.
    QCOMPARE(m.Query(ExecText(QStringLiteral("EstraiDatiOperatore"),
                              {SqlText(QStringLiteral("MROSSI")), SqlText(QStringLiteral("eA=="))}))
                 ->RecordCount(),
             0);
    QVERIFY(!m.HasOperatorSession());
    QVERIFY(!errorOf([&] { m.Query(provinces); }).isEmpty());

    // Log-off ends the session on the server.
    QCOMPARE(m.Query(logon)->RecordCount(), 1);
    m.EndSession();
    QVERIFY(!m.HasOperatorSession());
    QVERIFY(errorOf([&] {
                m.Query(provinces);
            }).contains(QStringLiteral("Nessun operatore collegato")));
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM sessioni WHERE dtfine IS NULL")),
             QStringLiteral("0"));
}

void TstDbModule::explicitOpenFailureIsNotLostConnection()
{
    TSTD_DBMODULE m;
    TConnectionParams p;
    p.host = QStringLiteral("/nonexistent/ventorel");
    p.database = QStringLiteral("x");
    p.login = QStringLiteral("ventorel_test");
    m.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(p));
    bool lost = true;
    const QString err = errorOf([&] { m.Open(); }, &lost);
    QVERIFY(!lost);
    QVERIFY(err.contains(QStringLiteral("/nonexistent/ventorel")));
    QVERIFY(!m.Connected());

    TSTD_DBMODULE unset;
    QVERIFY(!errorOf([&] { unset.Query(QStringLiteral("EXEC EstraiProvinceItaliane")); }).isEmpty());
}

void TstDbModule::connectionStringQuotesValues()
{
    TTestDatabase db;
    // A login whose name and password need quoting (blanks, apostrophes, backslashes).
    const QString role = QStringLiteral("vt login '%1'").arg(QCoreApplication::applicationPid());
    const QString password = QStringLiteral("p'w \\ \"x\" =1");
    db.SuperQuery(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2 IN ROLE ventorel_app")
                      .arg(u'"' + QString(role).replace(u'"', QStringLiteral("\"\"")) + u'"',
                           u'\'' + QString(password).replace(u'\'', QStringLiteral("''")) + u'\''));
    TConnectionParams p = db.Params();
    p.login = role;
    p.password = password;
    TSTD_DBMODULE m;
    m.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(p));
    const QString err = errorOf([&] { m.Open(); });
    m.Close();
    db.SuperQuery(QStringLiteral("DROP ROLE \"%1\"").arg(role));
    QVERIFY2(err.isEmpty(), qPrintable(err));
}

void TstDbModule::commandTimeout()
{
    TTestDatabase db(TTestDatabase::Empty);
    // Nobody but the superuser may sleep in a catalog: the probe borrows the right.
    db.SuperQuery(QStringLiteral("GRANT EXECUTE ON FUNCTION pg_sleep(double precision) TO "
                                 "ventorel_owner"));
    replaceProcedure(db,
                     QStringLiteral("EstraiFornitori"),
                     QStringLiteral("() RETURNS TABLE (x integer) LANGUAGE sql SECURITY "
                                    "DEFINER AS $$ SELECT 1 FROM pg_sleep(3) $$"));
    TSTD_DBMODULE &m = db.Module();
    m.SetCommandTimeout(1);
    bool lost = true;
    QVERIFY(errorOf([&] { m.Query(QStringLiteral("EXEC EstraiFornitori")); }, &lost)
                .contains(QStringLiteral("statement timeout")));
    QVERIFY(!lost);
    m.SetCommandTimeout(0);
    QCOMPARE(m.Query(QStringLiteral("EXEC EstraiFornitori"))->RecordCount(), 1);
}

void TstDbModule::serverTimeIsTheServers()
{
    TTestDatabase db;
    // The server's clock, read in the program's own time zone (the session counts in it).
    QDateTime server = QDateTime::fromString(db.SuperQuery(QStringLiteral(
                                                 "SELECT to_char(now() AT TIME ZONE 'UTC', "
                                                 "'YYYY-MM-DD\"T\"HH24:MI:SS')")),
                                             Qt::ISODate);
    server.setTimeZone(QTimeZone::utc());
    const QDateTime read = db.Module().ReadServerTime();
    QVERIFY2(qAbs(read.toUTC().secsTo(server)) <= 5,
             qPrintable(read.toString(Qt::ISODate) + QLatin1String(" / ")
                        + server.toString(Qt::ISODate)));

    // No server: the local time.
    TSTD_DBMODULE none;
    const QDateTime local = none.ReadServerTime();
    QVERIFY(qAbs(local.secsTo(QDateTime::currentDateTime())) <= 5);
}

void TstDbModule::binaryParametersRoundTrip()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.LogOn(QStringLiteral("ADMIN"));
    QByteArray logo;
    for (int i = 0; i < 600; ++i)
        logo.append(char(i % 256));
    TSTD_DBMODULE &m = db.Module();
    m.ExecuteParams(QStringLiteral("INSERT INTO Societa (idSocieta, txDenominazione, imgLogo, "
                                   "dtIn, flEstero, txNote) VALUES ($1, $2, $3, $4, $5, $6)"),
                    {QString::fromLatin1(kCompanyId),
                     QStringLiteral("Società \"prova\" d'Italia"),
                     logo,
                     QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 125)),
                     true,
                     QVariant()});
    std::unique_ptr<TDataSet> ds = m.Query(
        QStringLiteral("SELECT * FROM Societa WHERE idSocieta = ")
        + SqlText(QString::fromLatin1(kCompanyId)));
    QCOMPARE(ds->RecordCount(), 1);
    QCOMPARE(ds->FieldByName(QStringLiteral("imgLogo")).AsBytes(), logo);
    // Table columns keep their declared text size.
    QCOMPARE(ds->FieldByName(QStringLiteral("txProvincia")).Def().size, 10);
    QCOMPARE(ds->FieldByName(QStringLiteral("txDenominazione")).AsString(),
             QStringLiteral("Società \"prova\" d'Italia"));
    QCOMPARE(ds->FieldByName(QStringLiteral("dtIn")).AsDateTime(),
             QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 125)));
    QCOMPARE(ds->FieldByName(QStringLiteral("flEstero")).AsInteger(), 1);
    QVERIFY(ds->FieldByName(QStringLiteral("txNote")).IsNull());
}

void TstDbModule::temporaryTableOfSplitTexts()
{
    TTestDatabase db(TTestDatabase::Empty);
    db.LogOn(QStringLiteral("MROSSI"));
    TSTD_DBMODULE &m = db.Module();
    m.BeginTrans();
    std::unique_ptr<TDataSet> ds = m.Query(QString::fromLatin1(kTempTabTestoBatch));
    QCOMPARE(ds->FieldNames(),
             (QStringList{QStringLiteral("idtesto"),
                          QStringLiteral("nuriga"),
                          QStringLiteral("txtesto"),
                          QStringLiteral("txtestortf")}));
    QCOMPARE(ds->RecordCount(), 0);
    for (int i = 0; i < 3; ++i)
        m.ExecuteParams(QStringLiteral("INSERT INTO TempTabTesto VALUES ($1, $2, $3, $3)"),
                        {QStringLiteral("{T%1}").arg(i), i, QStringLiteral("riga %1").arg(i)});
    QCOMPARE(m.QueryParams(QStringLiteral("SELECT count(*) FROM TempTabTesto"), {})
                 ->Fields(0)
                 .AsInteger(),
             3);
    m.CommitTrans();
    // The batch empties the table on every use.
    QCOMPARE(m.Query(QString::fromLatin1(kTempTabTestoBatch))->RecordCount(), 0);
    // The table belongs to the schema owner, not to the login, who cannot create any.
    QCOMPARE(m.QueryParams(QStringLiteral("SELECT pg_get_userbyid(relowner) FROM pg_class "
                                          "WHERE oid = 'pg_temp.temptabtesto'::regclass"),
                           {})
                 ->Fields(0)
                 .AsString(),
             QStringLiteral("ventorel_owner"));
    QVERIFY(!errorOf([&] {
                 m.ExecuteParams(QStringLiteral("CREATE TEMP TABLE vt_altra (a integer)"), {});
             }).isEmpty());
}

void TstDbModule::loginHasLeastPrivilege_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("allowed");

    QTest::newRow("read password") << "SELECT txPassword FROM Operatori" << false;
    QTest::newRow("read every column") << "SELECT * FROM Operatori" << false;
    QTest::newRow("read operator codes") << "SELECT txOperatore FROM Operatori" << true;
    QTest::newRow("change password")
        << "UPDATE Operatori SET txPassword = 'eA==' WHERE txOperatore = 'MROSSI'" << false;
    QTest::newRow("make administrator")
        << "UPDATE Operatori SET flAdministrator = 1 WHERE txOperatore = 'MROSSI'" << false;
    QTest::newRow("edit operator description")
        << "UPDATE Operatori SET txDescrizione = 'x' WHERE txOperatore = 'MROSSI'" << true;
    QTest::newRow("delete operators") << "DELETE FROM Operatori" << false;
    QTest::newRow("create table") << "CREATE TABLE public.vt_hack (a integer)" << false;
    QTest::newRow("create unqualified table") << "CREATE TABLE vt_hack (a integer)" << false;
    QTest::newRow("create function")
        << "CREATE FUNCTION public.vt_hack() RETURNS int LANGUAGE sql AS 'SELECT 1'" << false;
    QTest::newRow("counters") << "SELECT * FROM Contatori" << false;
    QTest::newRow("internal counter function") << "SELECT vt_prossimo_numero('X')" << false;
    QTest::newRow("migrations") << "SELECT * FROM schema_migrations" << false;
}

void TstDbModule::loginHasLeastPrivilege()
{
    QFETCH(QString, sql);
    QFETCH(bool, allowed);
    TTestDatabase db;
    db.LogOn(QStringLiteral("ADMIN")); // even an administrator's session
    const QString err = errorOf([&] { db.Module().ExecuteParams(sql, {}); });
    if (allowed)
        QVERIFY2(err.isEmpty(), qPrintable(err));
    else
        QVERIFY2(err.contains(QStringLiteral("permission denied")), qPrintable(err));
}

QTEST_GUILESS_MAIN(TstDbModule)
#include "tst_dbmodule.moc"
