#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/operatorpassword.h"
#include "tests/support/testdatabase.h"

#include <QtTest>

// The operator check at logon and the password change, against the demo operators.
class TstOperatorCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void operatorCheck_data();
    void operatorCheck();
    void passwordsAreStoredAsHashes();
    void changePassword();
    void changePasswordWithWrongCurrent();
    void longPasswordIsKeptWhole();
};

namespace {

std::unique_ptr<TDataSet> checkOperator(TSTD_DBMODULE &m, const QString &user, const QString &pwd)
{
    return m.Query(ExecText(QStringLiteral("EstraiDatiOperatore"),
                            {SqlText(user), SqlText(PasswordToBase64(pwd))}));
}

} // namespace

void TstOperatorCheck::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running (VENTOREL_TEST_PGSOCKET)");
}

void TstOperatorCheck::operatorCheck_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("administrator");
    QTest::addColumn<int>("funzionario");
    QTest::addColumn<QString>("company");    // txDenominazione, "<null>" when null
    QTest::addColumn<QString>("rootFolder"); // txRootFolder
    QTest::addColumn<bool>("deactivated");

    const QString tq = QStringLiteral("Tecnoquadri Lombarda S.r.l.");
    const QString none = QStringLiteral("<null>");
    QTest::newRow("administrator") << "ADMIN"
                                   << "gestore" << true << 1 << 0 << tq << "VENTOREL" << false;
    QTest::newRow("password typed in upper case")
        << "ADMIN"
        << "GESTORE" << true << 1 << 0 << tq << "VENTOREL" << false;
    QTest::newRow("code in lower case") << "mrossi"
                                        << "rossi" << true << 0 << 0 << tq << "VENTOREL" << false;
    QTest::newRow("funzionario without company")
        << "GBIANCHI"
        << "bianchi" << true << 0 << 1 << none << none << false;
    QTest::newRow("second company")
        << "LVERDI"
        << "lverdi" << true << 0 << 0 << "Elettrosistemi Adriatica S.p.A."
        << "VENTOREL" << false;
    QTest::newRow("deactivated, right password")
        << "PNERI"
        << "neri" << true << 0 << 0 << tq << "VENTOREL" << true;
    QTest::newRow("deactivated, wrong password")
        << "PNERI"
        << "rossi" << false << 0 << 0 << none << none << false;
    QTest::newRow("wrong password") << "ADMIN"
                                    << "rossi" << false << 0 << 0 << none << none << false;
    QTest::newRow("unknown operator") << "NESSUNO"
                                      << "admin" << false << 0 << 0 << none << none << false;
    QTest::newRow("empty password") << "ADMIN"
                                    << "" << false << 0 << 0 << none << none << false;
    QTest::newRow("hostile code") << "ADMIN' OR '1'='1"
                                  << "x' OR '1'='1" << false << 0 << 0 << none << none << false;
}

void TstOperatorCheck::operatorCheck()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, found);
    QFETCH(int, administrator);
    QFETCH(int, funzionario);
    QFETCH(QString, company);
    QFETCH(QString, rootFolder);
    QFETCH(bool, deactivated);

    TTestDatabase db;
    std::unique_ptr<TDataSet> ds = checkOperator(db.Module(), user, password);
    QCOMPARE(ds->RecordCount(), found ? 1 : 0);
    // Every column the logon reads is there, row or not.
    for (const char *name : {"flAdministrator",
                             "idOperatore",
                             "txDescrizione",
                             "txDenominazione",
                             "flFunzionario",
                             "txDBXClientKey",
                             "txDBXClientSecret",
                             "txDBXAccessToken",
                             "flDBXAccessFolderOnline",
                             "flDBXAccessFolderLocal",
                             "txRootFolder",
                             "txSocietaFolder",
                             "idSocieta",
                             "dtCanc"})
        QVERIFY2(ds->FieldIndex(QLatin1String(name)) >= 0, name);
    if (!found)
        return;
    auto text = [&](const char *name) {
        TField f = ds->FieldByName(QLatin1String(name));
        return f.IsNull() ? QStringLiteral("<null>") : f.AsString();
    };
    QCOMPARE(int(ds->FieldByName(QStringLiteral("flAdministrator")).AsInteger()), administrator);
    QCOMPARE(int(ds->FieldByName(QStringLiteral("flFunzionario")).AsInteger()), funzionario);
    QCOMPARE(text("txDenominazione"), company);
    QCOMPARE(text("txRootFolder"), rootFolder);
    QCOMPARE(text("idSocieta") == QStringLiteral("<null>"), company == QStringLiteral("<null>"));
    QCOMPARE(!ds->FieldByName(QStringLiteral("dtCanc")).IsNull(), deactivated);
    QCOMPARE(ds->FieldByName(QStringLiteral("idOperatore")).AsString().size(), 38);
}

void TstOperatorCheck::passwordsAreStoredAsHashes()
{
    TTestDatabase db;
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) >= 5 FROM Operatori")),
             QStringLiteral("t"));
    // Every stored password is a bcrypt hash; none is the Base64 form the program sends.
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Operatori WHERE txPassword !~ "
                                          "'^\\$2a\\$10\\$[./A-Za-z0-9]{53}$'")),
             QStringLiteral("0"));
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Operatori WHERE txPassword IN "
                                          "('YWRtaW4=', 'cm9zc2k=', 'YmlhbmNoaQ==', 'bHZlcmRp', "
                                          "'bmVyaQ==') OR txPassword LIKE '%=%'")),
             QStringLiteral("0"));
    // Salted: two operators with the same password get different hashes.
    db.SuperQuery(QStringLiteral("UPDATE Operatori SET txPassword = 'c2FtZQ==' WHERE txOperatore "
                                 "IN ('MROSSI', 'LVERDI')"));
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(DISTINCT txPassword) FROM Operatori WHERE "
                                          "txOperatore IN ('MROSSI', 'LVERDI')")),
             QStringLiteral("2"));
    QCOMPARE(checkOperator(db.Module(), QStringLiteral("LVERDI"), QStringLiteral("same"))
                 ->RecordCount(),
             1);
}

void TstOperatorCheck::changePassword()
{
    TTestDatabase db;
    TSTD_DBMODULE &m = db.Module();
    const QString before = db.SuperQuery(
        QStringLiteral("SELECT txPassword FROM Operatori WHERE txOperatore = 'LVERDI'"));
    ChangeOperatorPassword(m,
                           QStringLiteral("LVERDI"),
                           PasswordToBase64(QStringLiteral("lverdi")),
                           PasswordToBase64(QStringLiteral("primavera")));
    QCOMPARE(m.LastCommandText(),
             QStringLiteral("EXEC CambiaPasswordOperatore 'LVERDI', 'bHZlcmRp', 'cHJpbWF2ZXJh'"));
    QCOMPARE(checkOperator(m, QStringLiteral("LVERDI"), QStringLiteral("primavera"))->RecordCount(),
             1);
    QCOMPARE(checkOperator(m, QStringLiteral("LVERDI"), QStringLiteral("lverdi"))->RecordCount(), 0);
    const QString after = db.SuperQuery(
        QStringLiteral("SELECT txPassword FROM Operatori WHERE txOperatore = 'LVERDI'"));
    QVERIFY(after != before);
    QVERIFY(after.startsWith(QStringLiteral("$2a$10$")));
    // Other operators keep theirs.
    QCOMPARE(checkOperator(m, QStringLiteral("MROSSI"), QStringLiteral("rossi"))->RecordCount(), 1);
}

void TstOperatorCheck::changePasswordWithWrongCurrent()
{
    TTestDatabase db;
    TSTD_DBMODULE &m = db.Module();
    const QString before = db.SuperQuery(
        QStringLiteral("SELECT txPassword FROM Operatori WHERE txOperatore = 'MROSSI'"));
    struct Case
    {
        const char *user, *current, *next, *error;
    };
    const Case cases[] = {
        {"MROSSI", "sbagliata", "nuova1", "Password attuale errata"},
        {"NESSUNO", "rossi", "nuova1", "Password attuale errata"},
        {"MROSSI", "rossi", "", "Nuova password non valida"},
    };
    for (const Case &c : cases) {
        try {
            ChangeOperatorPassword(m,
                                   QLatin1String(c.user),
                                   PasswordToBase64(QLatin1String(c.current)),
                                   QLatin1String(c.next).isEmpty()
                                       ? QString()
                                       : PasswordToBase64(QLatin1String(c.next)));
            QFAIL("changed with a wrong current password");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.ProviderText(), QLatin1String(c.error));
        }
    }
    QCOMPARE(db.SuperQuery(
                 QStringLiteral("SELECT txPassword FROM Operatori WHERE txOperatore = 'MROSSI'")),
             before);
}

// bcrypt reads at most 72 bytes; two long passwords that share their start must still differ.
void TstOperatorCheck::longPasswordIsKeptWhole()
{
    TTestDatabase db;
    TSTD_DBMODULE &m = db.Module();
    const QString common(70, u'x');
    const QString longOne = common + QStringLiteral("-uno");
    ChangeOperatorPassword(m,
                           QStringLiteral("MROSSI"),
                           PasswordToBase64(QStringLiteral("rossi")),
                           PasswordToBase64(longOne));
    QVERIFY(PasswordToBase64(longOne).contains(QStringLiteral("\r\n")));
    QCOMPARE(checkOperator(m, QStringLiteral("MROSSI"), longOne)->RecordCount(), 1);
    QCOMPARE(checkOperator(m, QStringLiteral("MROSSI"), common + QStringLiteral("-due"))
                 ->RecordCount(),
             0);
}

QTEST_GUILESS_MAIN(TstOperatorCheck)
#include "tst_operatorcheck.moc"
