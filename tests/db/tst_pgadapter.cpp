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
    void passwordsTravelAsParameters_data();
    void passwordsTravelAsParameters();
    void unstorableTextIsRefused_data();
    void unstorableTextIsRefused();
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
    QTest::newRow("name in another case") << "EXEC estraiprovinceitaliane"
                                          << "SELECT * FROM estraiprovinceitaliane()";
    QTest::newRow("nulls, patterns, reals, dates")
        << "EXEC EstraiClienti 1, '{A}', null, '%ros%', NULL, 1.5, -2, '20210305'"
        << "SELECT * FROM EstraiClienti(1, '{A}', null, '%ros%', NULL, 1.5, -2, '20210305')";
    QTest::newRow("exponent from a real") << "EXEC UpdatePrevDetParte 1e-05, 2.5E+20"
                                          << "SELECT * FROM UpdatePrevDetParte(1e-05, 2.5E+20)";
    QTest::newRow("empty text argument") << "EXEC EstraiElencoSocieta ''"
                                         << "SELECT * FROM EstraiElencoSocieta('')";
    QTest::newRow("procedure named by a layout")
        << "EXEC EstraiLayoutPrevMain '{P}', 'STD'"
        << "SELECT * FROM EstraiLayoutPrevMain('{P}', 'STD')";
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
    // The session's table of split texts is made by a stored function, never by the login.
    QTest::newRow("split texts batch")
        << QString::fromLatin1(kTempTabTestoBatch) << "SELECT * FROM PreparaTempTabTesto()";
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
    // Names outside the program's contract never reach the server.
    QTest::newRow("ending another session") << "EXEC pg_terminate_backend 1234";
    QTest::newRow("large object") << "EXEC lo_from_bytea 0, 'x'";
    QTest::newRow("sleep") << "EXEC pg_sleep 10";
    QTest::newRow("internal function") << "EXEC vt_prossimo_numero 'CLIENTI:X'";
    QTest::newRow("extension function") << "EXEC crypt 'a', 'b'";
    QTest::newRow("name close to a procedure") << "EXEC EstraiClientiX 0";
    QTest::newRow("name with parenthesis") << "EXEC EstraiClienti(1)";
    QTest::newRow("unquoted text") << "EXEC EstraiClienti abc";
    QTest::newRow("second statement") << "EXEC EstraiClienti 1; DROP TABLE Operatori";
    QTest::newRow("comment after argument") << "EXEC EstraiClienti 1 -- c";
    QTest::newRow("unterminated text") << "EXEC EstraiClienti 'abc";
    QTest::newRow("adjacent texts") << "EXEC EstraiClienti 'a' 'b'";
    QTest::newRow("cast") << "EXEC EstraiClienti 'a'::text";
    QTest::newRow("escape string") << "EXEC EstraiClienti E'\\x41'";
    QTest::newRow("dollar quoting") << "EXEC EstraiClienti $$a$$";
    QTest::newRow("empty argument") << "EXEC EstraiClienti 1, , 2";
    QTest::newRow("trailing comma") << "EXEC EstraiClienti 1,";
    QTest::newRow("expression") << "EXEC EstraiClienti 1+1";
    QTest::newRow("number run into name") << "EXEC EstraiClienti 1abc";
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

// Calls carrying passwords put no argument into the text: the values are bound parameters,
// exactly as typed (apostrophes undone, the line breaks of the Base64 form kept).
void TstPgAdapter::passwordsTravelAsParameters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("values");

    const QString longPassword = PasswordToBase64(QString(60, u'x'));
    QTest::newRow("logon") << ExecText(QStringLiteral("EstraiDatiOperatore"),
                                       {SqlText(QStringLiteral("D'ADMIN")), SqlText(longPassword)})
                           << "SELECT * FROM EstraiDatiOperatore($1, $2)"
                           << QStringList{QStringLiteral("D'ADMIN"), longPassword};
    QTest::newRow("password change")
        << "EXEC CambiaPasswordOperatore 'LVERDI', 'bHZlcmRp', 'cHJpbWF2ZXJh'"
        << "SELECT * FROM CambiaPasswordOperatore($1, $2, $3)"
        << QStringList{"LVERDI", "bHZlcmRp", "cHJpbWF2ZXJh"};
    QTest::newRow("password reset")
        << "EXEC ResetPasswordOperatore 'MROSSI', 'bXJvc3Np'"
        << "SELECT * FROM ResetPasswordOperatore($1, $2)" << QStringList{"MROSSI", "bXJvc3Np"};
}

void TstPgAdapter::passwordsTravelAsParameters()
{
    QFETCH(QString, text);
    QFETCH(QString, sql);
    QFETCH(QStringList, values);
    const TPgCommand command = TranslateCommand(text);
    QCOMPARE(command.sql, sql);
    QStringList got;
    for (const QVariant &v : command.params)
        got << v.toString();
    QCOMPARE(got, values);
    // Other calls keep their literals.
    QVERIFY(TranslateCommand(QStringLiteral("EXEC IsNewOperatoreOk 'ABC'")).params.isEmpty());
}

// A character the database cannot store is refused before anything is sent, with a message
// that says so; it is never cut away nor replaced.
void TstPgAdapter::unstorableTextIsRefused_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("storable");

    QTest::newRow("NUL") << QStringLiteral("abc") + QChar(0) + QStringLiteral("def") << false;
    QTest::newRow("NUL at the end") << QStringLiteral("abc") + QChar(0) << false;
    QTest::newRow("lone high surrogate") << QStringLiteral("a") + QChar(0xD83D) + u'b' << false;
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) << false;
    QTest::newRow("high surrogate at the end") << QStringLiteral("a") + QChar(0xD83D) << false;
    QTest::newRow("pair in the wrong order") << QString(QChar(0xDE00)) + QChar(0xD83D) << false;
    QTest::newRow("emoji (a whole pair)") << QString::fromUtf8("prezzo 😀 ok") << true;
    QTest::newRow("accents and symbols") << QString::fromUtf8("perché € ±") << true;
    QTest::newRow("control characters") << QStringLiteral("a\tb\r\nc\x01") << true;
}

void TstPgAdapter::unstorableTextIsRefused()
{
    QFETCH(QString, value);
    QFETCH(bool, storable);
    QCOMPARE(IsStorableText(value), storable);
    const QString text = ExecText(QStringLiteral("IsNewOperatoreOk"), {SqlText(value)});
    try {
        TranslateCommand(text);
        QVERIFY(storable);
    } catch (const EDatabaseError &e) {
        QVERIFY(!storable);
        QVERIFY2(e.ProviderText().contains(QStringLiteral("non può memorizzare")),
                 qPrintable(e.ProviderText()));
    }
}

// A text argument built by the command builders reaches the server as one literal holding
// exactly the typed text, whatever it contains. Checked on the server: a customer named with
// the text is found by a "contains" filter of that text, and only that customer.
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
    const QString company = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
    const QString n = QStringLiteral("null");
    const QString text = ExecText(QStringLiteral("EstraiClienti"),
                                  {QStringLiteral("1"),
                                   SqlText(company),
                                   n,
                                   SqlContains(value),
                                   n,
                                   n,
                                   QStringLiteral("2"),
                                   n,
                                   QStringLiteral("1")});
    QVERIFY(IsLiteralList(text.mid(QStringLiteral("EXEC EstraiClienti ").size())));

    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
    TTestDatabase db(TTestDatabase::Empty);
    db.SuperQuery(QStringLiteral("INSERT INTO societa (idsocieta, txdenominazione) VALUES ('%1', "
                                 "'Soc'); INSERT INTO clienti (idcliente, idsocieta, "
                                 "txdenominazione) VALUES ('{ECO}', '%1', %2)")
                      .arg(company, SqlText(value)));
    db.LogOn(QStringLiteral("MROSSI"));
    std::unique_ptr<TDataSet> ds = db.Module().Query(text);
    QCOMPARE(ds->RecordCount(), 1);
    QCOMPARE(ds->FieldByName(QStringLiteral("idCliente")).AsString(), QStringLiteral("{ECO}"));
    QCOMPARE(ds->FieldByName(QStringLiteral("txDenominazione")).AsString(), value);
    QCOMPARE(db.SuperQuery(
                 QStringLiteral("SELECT count(*) FROM pg_class WHERE relname = 'operatori'")),
             QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TstPgAdapter)
#include "tst_pgadapter.moc"
