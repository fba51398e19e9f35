#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include <QtTest>

// The editable record: a row opened through its record statement and written back with an
// explicit INSERT or UPDATE of its base table, audit stamps included, only over the row version
// it read. The records here are companies, written by administrators.
class TstEditableRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void insertStampsCreation();
    void updateWritesOnlyWhatChanged();
    void withoutAuditStamps();
    void failedInsertLeavesNothingAndKeepsInput();
    void insideCallersTransaction();
    void retryAfterCallersRollbackWritesAgain();
    void updateOfVanishedRowFails();
    void cancelRestoresStoredValues();
    void newOperatorPasswordIsHashed();
    void changeOfAnotherOperatorIsNotOverwritten_data();
    void changeOfAnotherOperatorIsNotOverwritten();
    void consecutiveSavesAreNoConflict();
    void unstorableTextLeavesNothing_data();
    void unstorableTextLeavesNothing();
    void stampOfAnotherUserIsRefused();
};

namespace {

const QString kId = QStringLiteral("{0D3E5F70-1A2B-4C3D-8E9F-A0B1C2D3E4F5}");

QString companyText(const QString &id)
{
    return QStringLiteral("SELECT * FROM Societa WHERE idSocieta = ") + SqlText(id);
}

// A session of an administrator with that code (created when missing) for the test's module,
// or for another module (a second program).
void logOnAdmin(TTestDatabase &db, const QString &code, TSTD_DBMODULE *module = nullptr)
{
    db.LogOn(code, module);
    db.SuperQuery(
        QStringLiteral("UPDATE Operatori SET flAdministrator = 1 WHERE txOperatore = '%1'")
            .arg(code));
}

QString column(TTestDatabase &db, const QString &col, const QString &id = kId)
{
    return db.SuperQuery(QStringLiteral("SELECT coalesce(%1::text, '<null>') FROM Societa WHERE "
                                        "idSocieta = '%2'")
                             .arg(col, id));
}

// A new company stored through the record, as the company window does.
void insertCompany(TTestDatabase &db, const QString &user)
{
    logOnAdmin(db, user);
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    QVERIFY(rec.IsNew());
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa"));
    rec.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Brescia"));
    rec.Data().FieldByName(QStringLiteral("txTelefono")).SetValue(QStringLiteral("030 1"));
    rec.Post(user);
}

} // namespace

void TstEditableRecord::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running (VENTOREL_TEST_PGSOCKET)");
}

void TstEditableRecord::insertStampsCreation()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("MROSSI"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    QVERIFY(rec.IsNew());
    QCOMPARE(rec.Data().RecordCount(), 0);
    QVERIFY(rec.Data().FieldIndex(QStringLiteral("imgLogo")) >= 0); // the columns are known
    rec.Append(kId);
    TDataSet &data = rec.Data();
    data.FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa d'Oro"));
    data.FieldByName(QStringLiteral("flEstero")).SetValue(1);
    data.FieldByName(QStringLiteral("imgLogo")).SetValue(QByteArray("\xff\xd8\x00\x01", 4));
    rec.Post(QStringLiteral("MROSSI"));
    QVERIFY(!rec.IsNew());
    QVERIFY(!db.Module().InTransaction());

    QCOMPARE(column(db, QStringLiteral("txDenominazione")), QStringLiteral("Alfa d'Oro"));
    QCOMPARE(column(db, QStringLiteral("flEstero")), QStringLiteral("1"));
    QCOMPARE(column(db, QStringLiteral("encode(imgLogo, 'hex')")), QStringLiteral("ffd80001"));
    QCOMPARE(column(db, QStringLiteral("txUtenteIn")), QStringLiteral("MROSSI"));
    QCOMPARE(column(db, QStringLiteral("txUtenteMod")), QStringLiteral("<null>"));
    const QDateTime dtIn = QDateTime::fromString(column(db, QStringLiteral("dtIn")), Qt::ISODate);
    QVERIFY(dtIn >= before && dtIn <= QDateTime::currentDateTime().addSecs(1));
    // The record shows the stamps it wrote.
    QCOMPARE(data.FieldByName(QStringLiteral("txUtenteIn")).AsString(), QStringLiteral("MROSSI"));
}

void TstEditableRecord::updateWritesOnlyWhatChanged()
{
    TTestDatabase db(TTestDatabase::Empty);
    insertCompany(db, QStringLiteral("MROSSI"));

    logOnAdmin(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    QVERIFY(!rec.IsNew());
    // The login may not change the insertion stamps nor the deactivation of a company: a save
    // that wrote every column would be refused.
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Bergamo"));
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa"));
    rec.Data().FieldByName(QStringLiteral("txNote")).SetValue(QStringLiteral("nota"));
    rec.Post(QStringLiteral("ADMIN"));

    QCOMPARE(column(db, QStringLiteral("txLocalita")), QStringLiteral("Bergamo"));
    QCOMPARE(column(db, QStringLiteral("txNote")), QStringLiteral("nota"));
    QCOMPARE(column(db, QStringLiteral("txTelefono")), QStringLiteral("030 1"));
    QCOMPARE(column(db, QStringLiteral("txUtenteIn")), QStringLiteral("MROSSI"));
    QCOMPARE(column(db, QStringLiteral("txUtenteMod")), QStringLiteral("ADMIN"));
    QVERIFY(column(db, QStringLiteral("dtMod")) != QStringLiteral("<null>"));

    // An emptied input is written as null.
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txNote")).SetNull();
    rec.Post(QStringLiteral("ADMIN"));
    QCOMPARE(column(db, QStringLiteral("txNote")), QStringLiteral("<null>"));
}

void TstEditableRecord::withoutAuditStamps()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Beta"));
    rec.Data()
        .FieldByName(QStringLiteral("dtIn"))
        .SetValue(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    rec.Post(QStringLiteral("ADMIN"), false);
    QCOMPARE(column(db, QStringLiteral("txUtenteIn")), QStringLiteral("<null>"));
    QCOMPARE(column(db, QStringLiteral("dtIn")), QStringLiteral("2024-05-06 07:08:09"));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txCap")).SetValue(QStringLiteral("25100"));
    rec.Post(QStringLiteral("ADMIN"), false);
    QCOMPARE(column(db, QStringLiteral("txCap")), QStringLiteral("25100"));
    QCOMPARE(column(db, QStringLiteral("dtMod")), QStringLiteral("<null>"));
}

void TstEditableRecord::failedInsertLeavesNothingAndKeepsInput()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    // txDenominazione is mandatory: the insert fails.
    rec.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Como"));
    bool failed = false;
    try {
        rec.Post(QStringLiteral("ADMIN"));
    } catch (const EDatabaseError &e) {
        failed = true;
        QCOMPARE(e.ProviderText(), QStringLiteral("La denominazione della società è obbligatoria."));
    }
    QVERIFY(failed);
    QVERIFY(!db.Module().InTransaction());
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));
    QVERIFY(rec.IsNew());
    QCOMPARE(rec.Data().FieldByName(QStringLiteral("txLocalita")).AsString(),
             QStringLiteral("Como"));
    QVERIFY(rec.Data().FieldByName(QStringLiteral("txUtenteIn")).IsNull());

    // Corrected and posted again: one row.
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Gamma"));
    rec.Post(QStringLiteral("ADMIN"));
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("1"));
    QCOMPARE(column(db, QStringLiteral("txLocalita")), QStringLiteral("Como"));
}

void TstEditableRecord::insideCallersTransaction()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TSTD_DBMODULE &m = db.Module();
    TEditableRecord rec(&m, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Delta"));
    m.BeginTrans();
    rec.Post(QStringLiteral("ADMIN"));
    QVERIFY(m.InTransaction()); // the caller's transaction stays open
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));
    m.RollbackTrans();
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));

    // A failure inside the caller's transaction leaves the rollback to the caller.
    TEditableRecord bad(&m, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    bad.Open(companyText(QStringLiteral("{E}")));
    bad.Append(QStringLiteral("{E}"));
    m.BeginTrans();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, bad.Post(QStringLiteral("ADMIN")));
    QVERIFY(m.InTransaction());
    m.RollbackTrans();
}

void TstEditableRecord::retryAfterCallersRollbackWritesAgain()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TSTD_DBMODULE &m = db.Module();

    // An insert whose transaction the caller rolls back (a later step of the save failed) is
    // still a new record: the retry inserts it, exactly once.
    TEditableRecord rec(&m, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Delta"));
    m.BeginTrans();
    rec.Post(QStringLiteral("ADMIN"));
    QVERIFY(!rec.IsNew()); // inside the open transaction the row is there
    m.RollbackTrans();
    QVERIFY(rec.IsNew());
    m.BeginTrans();
    rec.Post(QStringLiteral("ADMIN"));
    m.CommitTrans();
    QVERIFY(!rec.IsNew());
    QCOMPARE(column(db, QStringLiteral("txDenominazione")), QStringLiteral("Delta"));

    // A change rolled back by the caller is written again by the retry, not taken as stored.
    logOnAdmin(db, QStringLiteral("MROSSI"));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Lecco"));
    m.BeginTrans();
    rec.Post(QStringLiteral("MROSSI"));
    m.RollbackTrans();
    QCOMPARE(column(db, QStringLiteral("txLocalita")), QStringLiteral("<null>"));
    m.BeginTrans();
    rec.Post(QStringLiteral("MROSSI"));
    m.CommitTrans();
    QCOMPARE(column(db, QStringLiteral("txLocalita")), QStringLiteral("Lecco"));
    QCOMPARE(column(db, QStringLiteral("txUtenteMod")), QStringLiteral("MROSSI"));
}

void TstEditableRecord::updateOfVanishedRowFails()
{
    TTestDatabase db(TTestDatabase::Empty);
    insertCompany(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    db.SuperQuery(QStringLiteral("DELETE FROM Societa"));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txCap")).SetValue(QStringLiteral("1"));
    try {
        rec.Post(QStringLiteral("ADMIN"));
        QFAIL("posted over a deleted row");
    } catch (const EDatabaseError &e) {
        QVERIFY(e.ProviderText().contains(QStringLiteral("non esiste più")));
    }
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));
}

void TstEditableRecord::cancelRestoresStoredValues()
{
    TTestDatabase db(TTestDatabase::Empty);
    insertCompany(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Lecco"));
    rec.Cancel();
    QCOMPARE(rec.Data().FieldByName(QStringLiteral("txLocalita")).AsString(),
             QStringLiteral("Brescia"));
    // Nothing to write after a cancel.
    rec.Post(QStringLiteral("ADMIN"));
    QCOMPARE(column(db, QStringLiteral("txUtenteMod")), QStringLiteral("<null>"));
}

void TstEditableRecord::newOperatorPasswordIsHashed()
{
    TTestDatabase db;
    const QString id = QStringLiteral("{7B1D2C3E-4F50-4617-8293-A4B5C6D7E801}");
    // An administrator's record may insert a new operator with the first password, no more.
    db.LogOn(QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Operatori"), QStringLiteral("idOperatore"));
    rec.Open(ExecText(QStringLiteral("DatiOperatore"), {SqlText(id)}));
    rec.Append(id);
    rec.Data().FieldByName(QStringLiteral("txOperatore")).SetValue(QStringLiteral("ABIANCO"));
    rec.Data()
        .FieldByName(QStringLiteral("txPassword"))
        .SetValue(PasswordToBase64(QStringLiteral("abianco")));
    rec.Data().FieldByName(QStringLiteral("txDescrizione")).SetValue(QStringLiteral("Anna"));
    rec.Post(QStringLiteral("ADMIN"), false);
    const QString stored = db.SuperQuery(
        QStringLiteral("SELECT txPassword FROM Operatori WHERE idOperatore = '%1'").arg(id));
    QVERIFY2(stored.startsWith(QStringLiteral("$2a$")), qPrintable(stored));
    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(db.Params()));
    QCOMPARE(other
                 .Query(QStringLiteral("EXEC EstraiDatiOperatore 'ABIANCO', ")
                        + SqlText(PasswordToBase64(QStringLiteral("abianco"))))
                 ->RecordCount(),
             1);
    // Changing the description later does not touch the password.
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txDescrizione")).SetValue(QStringLiteral("Anna B."));
    rec.Post(QStringLiteral("ADMIN"), false);
    QCOMPARE(db.SuperQuery(
                 QStringLiteral("SELECT txPassword FROM Operatori WHERE idOperatore = '%1'").arg(id)),
             stored);
}

// Two operators edit the same record: the second save does not overwrite the first one. It is
// refused with a clear message and the record is read again, whatever changed the row
// meanwhile (another record, a stored function) and whether or not the caller has a
// transaction open; a second try after the re-read is saved.
void TstEditableRecord::changeOfAnotherOperatorIsNotOverwritten_data()
{
    QTest::addColumn<bool>("byFunction");
    QTest::addColumn<bool>("inTransaction");
    QTest::newRow("another record") << false << false;
    QTest::newRow("another record, caller's transaction") << false << true;
    QTest::newRow("a stored function") << true << false;
}

void TstEditableRecord::changeOfAnotherOperatorIsNotOverwritten()
{
    QFETCH(bool, byFunction);
    QFETCH(bool, inTransaction);
    TTestDatabase db(TTestDatabase::Empty);
    insertCompany(db, QStringLiteral("ADMIN"));
    TSTD_DBMODULE &mine = db.Module();
    TSTD_DBMODULE theirs;
    theirs.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(db.Params()));
    logOnAdmin(db, QStringLiteral("ALTRO"), &theirs);

    TEditableRecord rec(&mine, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    if (byFunction) {
        theirs.Query(ExecText(QStringLiteral("ChangeStatoSocieta"), {SqlText(kId), "0"}));
    } else {
        TEditableRecord other(&theirs, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
        other.Open(companyText(kId));
        other.Edit();
        other.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Lodi"));
        other.Post(QStringLiteral("ALTRO"));
    }
    const QString stored = column(db, QStringLiteral("txLocalita"));
    const QString deactivated = column(db, QStringLiteral("dtCanc"));

    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txTelefono")).SetValue(QStringLiteral("030 9"));
    if (inTransaction)
        mine.BeginTrans();
    try {
        rec.Post(QStringLiteral("ADMIN"));
        QFAIL("saved over another operator's change");
    } catch (const ERecordChanged &e) {
        QCOMPARE(e.ProviderText(),
                 QStringLiteral("Il record è stato modificato da un altro operatore: i dati sono "
                                "stati riletti."));
    }
    if (inTransaction) {
        QVERIFY(mine.InTransaction());
        mine.RollbackTrans();
    }
    // Nothing of the other change is lost, nothing of this save was written.
    QCOMPARE(column(db, QStringLiteral("txLocalita")), stored);
    QCOMPARE(column(db, QStringLiteral("dtCanc")), deactivated);
    QCOMPARE(column(db, QStringLiteral("txTelefono")), QStringLiteral("030 1"));
    // The record shows what is stored now, and the next save goes over it.
    QCOMPARE(rec.Data().FieldByName(QStringLiteral("txLocalita")).AsString(), stored);
    QCOMPARE(rec.Data().FieldByName(QStringLiteral("txTelefono")).AsString(),
             QStringLiteral("030 1"));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txTelefono")).SetValue(QStringLiteral("030 9"));
    rec.Post(QStringLiteral("ADMIN"));
    QCOMPARE(column(db, QStringLiteral("txTelefono")), QStringLiteral("030 9"));
    QCOMPARE(column(db, QStringLiteral("txLocalita")), stored);
}

// The record's own saves (stamped to the millisecond by the client, to the microsecond by the
// server) never look like another operator's change: the row version is what is compared.
void TstEditableRecord::consecutiveSavesAreNoConflict()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TSTD_DBMODULE &m = db.Module();
    TEditableRecord rec(&m, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa"));
    rec.Post(QStringLiteral("ADMIN"));
    for (int i = 0; i < 5; ++i) {
        rec.Edit();
        rec.Data().FieldByName(QStringLiteral("txCap")).SetValue(QString::number(25100 + i));
        rec.Post(QStringLiteral("ADMIN"));
    }
    // A function changing the row inside the same transaction as the save is no other operator.
    m.BeginTrans();
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txNote")).SetValue(QStringLiteral("prima"));
    rec.Post(QStringLiteral("ADMIN"));
    m.Query(ExecText(QStringLiteral("ChangeStatoSocieta"), {SqlText(kId), "1"}));
    rec.Edit();
    rec.Data().FieldByName(QStringLiteral("txNote")).SetValue(QStringLiteral("dopo"));
    rec.Post(QStringLiteral("ADMIN"));
    m.CommitTrans();
    QCOMPARE(column(db, QStringLiteral("txCap")), QStringLiteral("25104"));
    QCOMPARE(column(db, QStringLiteral("txNote")), QStringLiteral("dopo"));
}

// Text the database cannot store is refused with a clear message before anything is written:
// never cut at a NUL, never stored with a "?" for a lone surrogate.
void TstEditableRecord::unstorableTextLeavesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("insert");
    QTest::newRow("NUL, new record")
        << QStringLiteral("Alfa") + QChar(0) + QStringLiteral("Beta") << true;
    QTest::newRow("NUL, change") << QStringLiteral("nota") + QChar(0) << false;
    QTest::newRow("lone surrogate, new record") << QStringLiteral("Alfa ") + QChar(0xD800) << true;
    QTest::newRow("lone surrogate, change")
        << QString(QChar(0xDFFF)) + QStringLiteral("x") << false;
}

void TstEditableRecord::unstorableTextLeavesNothing()
{
    QFETCH(QString, text);
    QFETCH(bool, insert);
    TTestDatabase db(TTestDatabase::Empty);
    if (!insert)
        insertCompany(db, QStringLiteral("ADMIN"));
    else
        logOnAdmin(db, QStringLiteral("ADMIN"));
    const QString before = db.SuperQuery(
        QStringLiteral("SELECT count(*) || '/' || coalesce(max(txNote), '-') FROM Societa"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    if (insert) {
        rec.Append(kId);
        rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa"));
    } else {
        rec.Edit();
    }
    rec.Data().FieldByName(QStringLiteral("txNote")).SetValue(text);
    try {
        rec.Post(QStringLiteral("ADMIN"));
        QFAIL("an unstorable text was saved");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.ProviderText().contains(QStringLiteral("non può memorizzare")),
                 qPrintable(e.ProviderText()));
        QVERIFY(e.ProviderText().contains(QStringLiteral("txnote"), Qt::CaseInsensitive));
    }
    QVERIFY(!db.Module().InTransaction());
    QCOMPARE(db.SuperQuery(QStringLiteral(
                 "SELECT count(*) || '/' || coalesce(max(txNote), '-') FROM Societa")),
             before);
    QCOMPARE(rec.IsNew(), insert);
    QCOMPARE(rec.Data().FieldByName(QStringLiteral("txNote")).AsString(), text); // input kept
}

// The user name stamped by a record must be the logged-on operator's.
void TstEditableRecord::stampOfAnotherUserIsRefused()
{
    TTestDatabase db(TTestDatabase::Empty);
    logOnAdmin(db, QStringLiteral("ADMIN"));
    TEditableRecord rec(&db.Module(), QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    rec.Open(companyText(kId));
    rec.Append(kId);
    rec.Data().FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Alfa"));
    try {
        rec.Post(QStringLiteral("MROSSI"));
        QFAIL("stamped another operator's name");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.ProviderText().contains(QStringLiteral("non è l'operatore collegato")),
                 qPrintable(e.ProviderText()));
    }
    QCOMPARE(db.SuperQuery(QStringLiteral("SELECT count(*) FROM Societa")), QStringLiteral("0"));
    rec.Post(QStringLiteral("admin")); // the same operator, whatever the case
    QCOMPARE(column(db, QStringLiteral("txUtenteIn")), QStringLiteral("admin"));
}

QTEST_GUILESS_MAIN(TstEditableRecord)
#include "tst_editablerecord.moc"
