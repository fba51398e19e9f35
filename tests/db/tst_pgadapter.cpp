#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/pgadapter.h"
#include "tests/support/testdatabase.h"

#include <QtTest>

// The translation of command texts into PostgreSQL, and what it refuses.
class TstPgAdapter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void translates_data();
    void translates();
    void refuses_data();
    void refuses();
    void hostileArgumentStaysOneLiteral_data();
    void hostileArgumentStaysOneLiteral();
};

void TstPgAdapter::translates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("call with arguments")
        << "EXEC ChangeStatoCliente '{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}', 0, 'ADMIN'"
        << "SELECT * FROM ChangeStatoCliente('{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}', 0, "
           "'ADMIN')";
    QTest::newRow("two blanks before the first argument") << "EXEC EstraiProdotti  0"
                                                          << "SELECT * FROM EstraiProdotti(0)";
    QTest::newRow("no arguments") << "EXEC EstraiProvinceItaliane"
                                  << "SELECT * FROM EstraiProvinceItaliane()";
    QTest::newRow("no arguments, trailing blank") << "EXEC EstraiElencoSocieta "
                                                  << "SELECT * FROM EstraiElencoSocieta()";
    QTest::newRow("nulls, patterns, reals, dates")
        << "EXEC EstraiClienti 1, '{A}', null, '%ros%', NULL, 1.5, -2, '20210305'"
        << "SELECT * FROM EstraiClienti(1, '{A}', null, '%ros%', NULL, 1.5, -2, '20210305')";
    QTest::newRow("exponent from a real") << "EXEC X 1e-05, 2.5E+20"
                                          << "SELECT * FROM X(1e-05, 2.5E+20)";
    QTest::newRow("empty text argument") << "EXEC EstraiElencoSocieta ''"
                                         << "SELECT * FROM EstraiElencoSocieta('')";
    QTest::newRow("server time") << "SELECT GETDATE() AS TMNOW"
                                 << "SELECT GETDATE() AS TMNOW";
    QTest::newRow("order summary delete") << "DELETE Ordine_Sommario WHERE idOrdine = '{B}'"
                                          << "DELETE FROM Ordine_Sommario WHERE idOrdine = '{B}'";
    QTest::newRow("company row") << "SELECT * FROM Societa WHERE idSocieta = '{C}'"
                                 << "SELECT * FROM Societa WHERE idSocieta = '{C}'";
    QTest::newRow("layout image")
        << "SELECT *\tFROM Images_Layout WHERE txDescImage = 'Logo ''A'''"
        << "SELECT *\tFROM Images_Layout WHERE txDescImage = 'Logo ''A'''";
    QTest::newRow("layout row") << "SELECT *\tFROM Layout\tWHERE idLayout = '{D}'"
                                << "SELECT *\tFROM Layout\tWHERE idLayout = '{D}'";
    QTest::newRow("texts repair") << "select * from Prod_Comp_Parte_Txt"
                                  << "select * from Prod_Comp_Parte_Txt";
}

void TstPgAdapter::translates()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ToPostgres(text), expected);
}

void TstPgAdapter::refuses_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("free select") << "SELECT * FROM Operatori";
    QTest::newRow("password update")
        << "UPDATE Operatori SET TxPassword = 'x' WHERE txOperatore = 'A' AND txPassword = 'y'";
    QTest::newRow("exec without name") << "EXEC ";
    QTest::newRow("schema-qualified name") << "EXEC pg_catalog.pg_sleep 1";
    QTest::newRow("name with parenthesis") << "EXEC X(1)";
    QTest::newRow("unquoted text") << "EXEC X abc";
    QTest::newRow("second statement") << "EXEC X 1; DROP TABLE Operatori";
    QTest::newRow("comment after argument") << "EXEC X 1 -- c";
    QTest::newRow("unterminated text") << "EXEC X 'abc";
    QTest::newRow("adjacent texts") << "EXEC X 'a' 'b'";
    QTest::newRow("cast") << "EXEC X 'a'::text";
    QTest::newRow("escape string") << "EXEC X E'\\x41'";
    QTest::newRow("dollar quoting") << "EXEC X $$a$$";
    QTest::newRow("empty argument") << "EXEC X 1, , 2";
    QTest::newRow("trailing comma") << "EXEC X 1,";
    QTest::newRow("expression") << "EXEC X 1+1";
    QTest::newRow("number run into name") << "EXEC X 1abc";
    QTest::newRow("statement with extra condition")
        << "SELECT * FROM Societa WHERE idSocieta = '{C}' OR 1 = 1";
    QTest::newRow("statement with second literal")
        << "DELETE Ordine_Sommario WHERE idOrdine = '{B}', 'x'";
    QTest::newRow("fixed statement with more") << "SELECT GETDATE() AS TMNOW; SELECT 1";
}

void TstPgAdapter::refuses()
{
    QFETCH(QString, text);
    try {
        const QString pg = ToPostgres(text);
        QFAIL(qPrintable("accepted as: " + pg));
    } catch (const EDatabaseError &e) {
        QVERIFY(e.ProviderText().startsWith(QStringLiteral("Comando non ammesso")));
        QVERIFY(!e.LostConnection());
    }
}

// A text argument built by the command builders reaches the server as one literal holding
// exactly the typed text, whatever it contains. Checked on the server: the function returns
// its argument and the number of arguments it got.
void TstPgAdapter::hostileArgumentStaysOneLiteral_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("apostrophe") << "D'Angelo";
    QTest::newRow("closing the call") << "x'); DROP TABLE Operatori; --";
    QTest::newRow("comment") << "abc -- def";
    QTest::newRow("semicolon") << "a; b";
    QTest::newRow("backslash before apostrophe") << "C:\\temp\\' OR '1'='1";
    QTest::newRow("trailing backslash") << "end\\";
    QTest::newRow("doubled apostrophes") << "''''";
    QTest::newRow("dollar quote") << "$$; DROP TABLE x; $$";
    QTest::newRow("line breaks") << "a\r\n'b'\n--c";
    QTest::newRow("accents") << "perché è così";
}

void TstPgAdapter::hostileArgumentStaysOneLiteral()
{
    QFETCH(QString, value);
    const QString text = ExecText(QStringLiteral("vt_echo"), {SqlText(value), SqlContains(value)});
    QVERIFY(IsLiteralList(text.mid(QStringLiteral("EXEC vt_echo ").size())));

    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
    TTestDatabase db(TTestDatabase::Empty);
    db.SuperQuery(QStringLiteral(
        "CREATE FUNCTION vt_echo(VARIADIC a text[]) RETURNS TABLE (txValore text, nuArgomenti "
        "integer, nuOperatori bigint) LANGUAGE sql AS $$ SELECT a[1], cardinality(a), "
        "(SELECT count(*) FROM pg_class WHERE relname = 'operatori') $$"));
    std::unique_ptr<TDataSet> ds = db.Module().Query(text);
    QCOMPARE(ds->RecordCount(), 1);
    QCOMPARE(ds->FieldByName(QStringLiteral("txValore")).AsString(), value);
    QCOMPARE(ds->FieldByName(QStringLiteral("nuArgomenti")).AsInteger(), 2);
    QCOMPARE(ds->FieldByName(QStringLiteral("nuOperatori")).AsInteger(), 1);
}

QTEST_GUILESS_MAIN(TstPgAdapter)
#include "tst_pgadapter.moc"
