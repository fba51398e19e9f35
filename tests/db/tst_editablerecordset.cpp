#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/editablerecordset.h"
#include "tests/support/testdatabase.h"

#include <QtTest>

#include <functional>

// The editable record of several rows: the values of a price list's data sheet
// (DatiListinoSchedeValori on Prod_List_Scheda_Valori, key idListinoValore made by the table)
// changed, removed and added in memory and written in one transaction, only over the row
// versions that were read; and a quote line's values through their view.
class TstEditableRecordSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void postWritesEveryDifferenceInOneGo();
    void failureLeavesNothingAndKeepsTheRows();
    void callersRollbackMakesTheNextPostWriteAgain();
    void changeOfAnotherOperatorIsNotOverwritten_data();
    void changeOfAnotherOperatorIsNotOverwritten();
    void refusedBeforeAnythingIsWritten_data();
    void refusedBeforeAnythingIsWritten();
    void rowsHiddenByAFilterStay();
    void overAViewKeepsTheBaseRowVersion();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    // The stored values of the sheet for the list: "position=value" by item position.
    QString stored()
    {
        return sql(
            "SELECT coalesce(string_agg(v.nuordinevocescheda || '=' || lv.txvalorevocescheda,"
            " ';' ORDER BY v.nuordinevocescheda), '') FROM prod_list_scheda_valori lv "
            "JOIN prod_scheda_voci v USING (idvocescheda) WHERE lv.idprodlistino = '"
            + m_list + "' AND lv.idschedaprodotto = '" + m_sheet + "'");
    }
    QString item(int position)
    {
        return sql("SELECT idvocescheda FROM prod_scheda_voci WHERE idschedaprodotto = '" + m_sheet
                   + "' AND nuordinevocescheda = " + QString::number(position));
    }
    QString command() const
    {
        return ExecText(QStringLiteral("DatiListinoSchedeValori"),
                        {SqlText(m_list), SqlText(m_sheet)});
    }
    std::unique_ptr<TEditableRecordSet> open(TSTD_DBMODULE &db)
    {
        auto rs = std::make_unique<TEditableRecordSet>(&db,
                                                       QStringLiteral("Prod_List_Scheda_Valori"),
                                                       QStringLiteral("idListinoValore"));
        rs->Open(command());
        return rs;
    }
    static void setValue(TEditableRecordSet &rs, const QString &itemId, const QString &value)
    {
        QVERIFY(rs.Data().Locate(QStringLiteral("idVoceScheda"), itemId));
        rs.Data().Edit();
        rs.Data().FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(value);
        rs.Data().Post();
    }
    void appendValue(TEditableRecordSet &rs, const QString &itemId, const QString &value)
    {
        TDataSet &d = rs.Data();
        d.Append();
        d.FieldByName(QStringLiteral("idProdListino")).SetValue(m_list);
        d.FieldByName(QStringLiteral("idSchedaProdotto")).SetValue(m_sheet);
        d.FieldByName(QStringLiteral("idVoceScheda")).SetValue(itemId);
        d.FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(value);
        d.Post();
    }
    static void removeValue(TEditableRecordSet &rs, const QString &itemId)
    {
        QVERIFY(rs.Data().Locate(QStringLiteral("idVoceScheda"), itemId));
        rs.Data().Delete();
    }
    // A second program on the same catalog, with another operator logged on.
    std::unique_ptr<TSTD_DBMODULE> otherProgram()
    {
        auto other = std::make_unique<TSTD_DBMODULE>();
        other->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(m_db->Params()));
        m_db->LogOn(QStringLiteral("GBIANCHI"), other.get());
        return other;
    }

    std::unique_ptr<TTestDatabase> m_db;
    QString m_list;  // the first price list of a product with data sheets
    QString m_sheet; // its "Dati tecnici" sheet: values for items 5 ("IP55") and 6 ("Forma 2")
};

void TstEditableRecordSet::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running (VENTOREL_TEST_PGSOCKET)");
}

void TstEditableRecordSet::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_list = sql("SELECT l.idprodlistino FROM prod_listini l JOIN prodotti p USING (idprodotto) "
                 "WHERE p.txcodprodotto = 'QCM-100' ORDER BY l.txcodlistino LIMIT 1");
    m_sheet = sql("SELECT s.idschedaprodotto FROM prod_schede s JOIN prod_listini l USING "
                  "(idprodotto) WHERE l.idprodlistino = '"
                  + m_list + "' AND s.txdescschedaprodotto = 'Dati tecnici'");
    QCOMPARE(stored(), QStringLiteral("5=IP55;6=Forma 2"));
}

void TstEditableRecordSet::cleanup()
{
    m_db.reset();
}

void TstEditableRecordSet::postWritesEveryDifferenceInOneGo()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto rs = open(db);
    QCOMPARE(rs->Data().RecordCount(), 2);
    QCOMPARE(rs->StoredCount(), 2);
    QVERIFY(!rs->Modified());
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    setValue(*rs, item(5), QStringLiteral("IP65"));
    removeValue(*rs, item(6));
    appendValue(*rs, item(1), QStringLiteral("690 V"));
    appendValue(*rs, item(8), QStringLiteral("RAL 9005"));
    QVERIFY(rs->Modified());
    rs->Post(QStringLiteral("MROSSI"));
    QVERIFY(!db.InTransaction());

    QCOMPARE(stored(), QStringLiteral("1=690 V;5=IP65;8=RAL 9005"));
    const QString stamps = "SELECT coalesce(txutentein, '-') || '/' || coalesce(txutentemod, '-') "
                           "FROM prod_list_scheda_valori WHERE idvocescheda = '%1' AND "
                           "idprodlistino = '"
                           + m_list + "'";
    QCOMPARE(sql(stamps.arg(item(5))), QStringLiteral("-/MROSSI"));
    QCOMPARE(sql(stamps.arg(item(1))), QStringLiteral("MROSSI/-"));
    QVERIFY(QDateTime::fromString(sql("SELECT dtin FROM prod_list_scheda_valori WHERE "
                                      "idvocescheda = '"
                                      + item(1) + "' AND idprodlistino = '" + m_list + "'"),
                                  Qt::ISODate)
            >= before);
    // The rows show what was stored: the key the table made, the stamps.
    QVERIFY(rs->Data().Locate(QStringLiteral("idVoceScheda"), item(8)));
    QCOMPARE(rs->Data().FieldByName(QStringLiteral("idListinoValore")).AsString(), m_list + item(8));
    QCOMPARE(rs->Data().FieldByName(QStringLiteral("txUtenteIn")).AsString(),
             QStringLiteral("MROSSI"));
    QCOMPARE(rs->StoredCount(), 3);
    QVERIFY(!rs->Modified());

    // Nothing changed: nothing is sent, no stamp moves.
    const QString dtMod = sql("SELECT dtmod FROM prod_list_scheda_valori WHERE idvocescheda = '"
                              + item(5) + "' AND idprodlistino = '" + m_list + "'");
    rs->Post(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT dtmod FROM prod_list_scheda_valori WHERE idvocescheda = '" + item(5)
                 + "' AND idprodlistino = '" + m_list + "'"),
             dtMod);

    // The next change goes over the versions this save left: a row added and changed again in
    // the same session is no conflict.
    setValue(*rs, item(8), QStringLiteral("RAL 7016"));
    removeValue(*rs, item(1));
    rs->Post(QStringLiteral("MROSSI"));
    QCOMPARE(stored(), QStringLiteral("5=IP65;8=RAL 7016"));
    // Read again, the set is what the table holds.
    rs->Refresh();
    QCOMPARE(rs->Data().RecordCount(), 2);
    QVERIFY(!rs->Modified());
}

void TstEditableRecordSet::failureLeavesNothingAndKeepsTheRows()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto rs = open(db);
    setValue(*rs, item(5), QStringLiteral("IP67"));
    removeValue(*rs, item(6));
    // An item of no data sheet: the insertion fails after the change and the deletion ran.
    appendValue(*rs, QStringLiteral("{00000000-0000-0000-0000-00000000BEEF}"), QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rs->Post(QStringLiteral("MROSSI")));
    QVERIFY(!db.InTransaction());
    QCOMPARE(stored(), QStringLiteral("5=IP55;6=Forma 2"));
    // The rows keep the input, for a correction.
    QCOMPARE(rs->Data().RecordCount(), 2);
    QVERIFY(rs->Data().Locate(QStringLiteral("idVoceScheda"), item(5)));
    QCOMPARE(rs->Data().FieldByName(QStringLiteral("txValoreVoceScheda")).AsString(),
             QStringLiteral("IP67"));
    QVERIFY(rs->Data().Locate(QStringLiteral("idVoceScheda"),
                              QStringLiteral("{00000000-0000-0000-0000-00000000BEEF}")));
    rs->Data().Delete();
    rs->Post(QStringLiteral("MROSSI"));
    QCOMPARE(stored(), QStringLiteral("5=IP67"));

    // Inside the caller's transaction: the failure undoes this save alone and leaves the
    // transaction open and usable to the caller.
    db.BeginTrans();
    db.Query(ExecText(QStringLiteral("ChangeStatoListino"), {SqlText(m_list), "0", "'MROSSI'"}));
    setValue(*rs, item(5), QStringLiteral("IP20"));
    appendValue(*rs, QStringLiteral("{00000000-0000-0000-0000-00000000BEEF}"), QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rs->Post(QStringLiteral("MROSSI")));
    QVERIFY(db.InTransaction());
    db.Query(ExecText(QStringLiteral("EstraiListinoProdotto"),
                      {SqlText(sql("SELECT idprodotto FROM prod_listini WHERE idprodlistino = '"
                                   + m_list + "'"))}));
    db.CommitTrans();
    QCOMPARE(stored(), QStringLiteral("5=IP67"));
    QVERIFY(sql("SELECT dtcanc FROM prod_listini WHERE idprodlistino = '" + m_list + "'")
            != QString());
}

void TstEditableRecordSet::callersRollbackMakesTheNextPostWriteAgain()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto rs = open(db);
    setValue(*rs, item(5), QStringLiteral("IP44"));
    removeValue(*rs, item(6));
    appendValue(*rs, item(2), QStringLiteral("60 Hz"));
    db.BeginTrans();
    rs->Post(QStringLiteral("MROSSI"));
    QVERIFY(db.InTransaction());
    QVERIFY(!rs->Modified()); // inside the open transaction the rows are stored
    db.RollbackTrans();
    QCOMPARE(stored(), QStringLiteral("5=IP55;6=Forma 2"));
    // Rolled back: the set knows again what is stored, and the retry writes it all, exactly
    // once (the new row gets a key from the table again).
    QCOMPARE(rs->StoredCount(), 2);
    QVERIFY(rs->Modified());
    db.BeginTrans();
    rs->Post(QStringLiteral("MROSSI"));
    db.CommitTrans();
    QCOMPARE(stored(), QStringLiteral("2=60 Hz;5=IP44"));
    QVERIFY(!rs->Modified());
}

// Another operator changed the sheet's values after they were read: the save writes nothing,
// says so, and shows the stored rows; the other operator's change is kept; a second save after
// the re-read goes through. A row both delete is no conflict.
void TstEditableRecordSet::changeOfAnotherOperatorIsNotOverwritten_data()
{
    QTest::addColumn<QString>("theirs"); // what the other operator does
    QTest::addColumn<QString>("mine");   // what this save does to the same item
    QTest::addColumn<bool>("inTransaction");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<QString>("afterwards"); // stored after this save (or the refusal)
    QTest::newRow("both change an item") << "change 5"
                                         << "change 5" << false << true << "5=IP66;6=Forma 2";
    QTest::newRow("both change, caller's transaction")
        << "change 5"
        << "change 5" << true << true << "5=IP66;6=Forma 2";
    QTest::newRow("they remove what I change") << "remove 5"
                                               << "change 5" << false << true << "6=Forma 2";
    QTest::newRow("they change what I remove") << "change 5"
                                               << "remove 5" << false << true << "5=IP66;6=Forma 2";
    QTest::newRow("both add an item") << "add 3"
                                      << "add 3" << false << true << "3=LORO;5=IP55;6=Forma 2";
    QTest::newRow("both add, caller's transaction")
        << "add 3"
        << "add 3" << true << true << "3=LORO;5=IP55;6=Forma 2";
    QTest::newRow("both remove an item") << "remove 5"
                                         << "remove 5" << false << false << "6=Forma 4";
    // Each row keeps its own version: a change of another row is no conflict.
    QTest::newRow("another item each") << "change 6"
                                       << "change 5" << false << false << "5=MIO;6=Forma 3";
}

void TstEditableRecordSet::changeOfAnotherOperatorIsNotOverwritten()
{
    QFETCH(QString, theirs);
    QFETCH(QString, mine);
    QFETCH(bool, inTransaction);
    QFETCH(bool, conflict);
    QFETCH(QString, afterwards);
    TSTD_DBMODULE &db = m_db->Module();
    auto rs = open(db);

    std::unique_ptr<TSTD_DBMODULE> other = otherProgram();
    auto theirSet = open(*other);
    const QString theirItem = item(theirs.section(u' ', 1).toInt());
    if (theirs.startsWith(QLatin1String("change")))
        setValue(*theirSet, theirItem, theirItem == item(5) ? "IP66" : "Forma 3");
    else if (theirs.startsWith(QLatin1String("remove")))
        removeValue(*theirSet, theirItem);
    else
        appendValue(*theirSet, theirItem, QStringLiteral("LORO"));
    theirSet->Post(QStringLiteral("GBIANCHI"));

    // This save: its own change, and another one that must not be written alone.
    const QString myItem = item(mine.section(u' ', 1).toInt());
    if (mine.startsWith(QLatin1String("change")))
        setValue(*rs, myItem, QStringLiteral("MIO"));
    else if (mine.startsWith(QLatin1String("remove")))
        removeValue(*rs, myItem);
    else
        appendValue(*rs, myItem, QStringLiteral("MIO"));
    if (!(theirs == QLatin1String("change 6") || mine == QLatin1String("change 6")))
        setValue(*rs, item(6), QStringLiteral("Forma 4"));
    if (inTransaction)
        db.BeginTrans();
    bool refused = false;
    try {
        rs->Post(QStringLiteral("MROSSI"));
    } catch (const ERecordChanged &e) {
        refused = true;
        QCOMPARE(e.ProviderText(),
                 QStringLiteral("Il record è stato modificato da un altro operatore: i dati sono "
                                "stati riletti."));
    }
    if (inTransaction) {
        QVERIFY(db.InTransaction());
        db.CommitTrans(); // nothing of the refused save is in it
    }
    QCOMPARE(refused, conflict);
    QCOMPARE(stored(), afterwards);
    if (!refused)
        return;
    // The set shows what is stored now, and the next save goes over it.
    QVERIFY(!rs->Modified());
    QCOMPARE(rs->StoredCount(), int(afterwards.split(u';').size()));
    if (rs->Data().Locate(QStringLiteral("idVoceScheda"), item(5)))
        rs->Data().Delete();
    rs->Post(QStringLiteral("MROSSI"));
    QVERIFY(!stored().contains(QStringLiteral("5=")));
}

void TstEditableRecordSet::refusedBeforeAnythingIsWritten_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("a NUL in a value") << "nul";
    QTest::newRow("two rows with one key") << "key";
}

void TstEditableRecordSet::refusedBeforeAnythingIsWritten()
{
    QFETCH(QString, what);
    TSTD_DBMODULE &db = m_db->Module();
    auto rs = open(db);
    removeValue(*rs, item(6));
    if (what == QLatin1String("nul")) {
        appendValue(*rs, item(1), QStringLiteral("40") + QChar(0) + QStringLiteral("0 V"));
    } else {
        setValue(*rs, item(5), QStringLiteral("IP65"));
        appendValue(*rs, item(1), QStringLiteral("690 V"));
        rs->Data().Edit();
        rs->Data().FieldByName(QStringLiteral("idListinoValore")).SetValue(m_list + item(5));
        rs->Data().Post();
    }
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, rs->Post(QStringLiteral("MROSSI")));
    QVERIFY(!db.InTransaction());
    QCOMPARE(stored(), QStringLiteral("5=IP55;6=Forma 2"));
}

void TstEditableRecordSet::rowsHiddenByAFilterStay()
{
    auto rs = open(m_db->Module());
    rs->Data().SetFilter(QStringLiteral("txValoreVoceScheda = 'IP55'"));
    rs->Data().SetFiltered(true);
    QCOMPARE(rs->Data().RecordCount(), 1);
    setValue(*rs, item(5), QStringLiteral("IP54"));
    rs->Post(QStringLiteral("MROSSI"));
    QCOMPARE(stored(), QStringLiteral("5=IP54;6=Forma 2"));
    // Cancel brings every row back as stored.
    rs->Data().SetFiltered(false);
    removeValue(*rs, item(6));
    rs->Cancel();
    QCOMPARE(rs->Data().RecordCount(), 2);
    QVERIFY(!rs->Modified());
}

// The values of a quote line, written through their view: the view shows the base row's
// version, which the save checks as for a table.
void TstEditableRecordSet::overAViewKeepsTheBaseRowVersion()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString line = sql(
        "SELECT d.idpreventivodet FROM preventivo_dettaglio d JOIN preventivi q USING "
        "(idpreventivo) WHERE q.flbloccato = 0 AND q.dtcanc IS NULL AND q.idsocieta = "
        "(SELECT idsocieta FROM operatori WHERE txoperatore = 'MROSSI') AND EXISTS (SELECT 1 FROM "
        "prevdet_nodi n WHERE n.idpreventivodet = d.idpreventivodet AND n.nutipologia = 20) "
        "ORDER BY 1 LIMIT 1");
    QVERIFY(!line.isEmpty());
    const QString sheet = sql("SELECT idnodo FROM prevdet_nodi WHERE nutipologia = 10 AND "
                              "idpreventivodet = '"
                              + line + "' ORDER BY nuordera LIMIT 1");
    const QString text = ExecText(QStringLiteral("DatiPrevDetSchedaValori"),
                                  {SqlText(line), SqlText(sheet)});
    TEditableRecordSet rs(&db,
                          QStringLiteral("PrevDet_Scheda_Valori"),
                          QStringLiteral("idRigaValore"));
    rs.Open(text);
    QVERIFY(rs.Data().RecordCount() > 1);
    rs.Data().First();
    const QString value = "SELECT txdescnodob FROM prevdet_nodi WHERE idpreventivodet = '" + line
                          + "' AND idnodo = '"
                          + rs.Data().FieldByName(QStringLiteral("idVoceScheda")).AsString() + "'";
    rs.Data().Edit();
    rs.Data().FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(QStringLiteral("A"));
    rs.Data().Post();
    rs.Post(QStringLiteral("MROSSI"));
    QCOMPARE(sql(value), QStringLiteral("A"));

    std::unique_ptr<TSTD_DBMODULE> other = otherProgram();
    TEditableRecordSet theirs(other.get(),
                              QStringLiteral("PrevDet_Scheda_Valori"),
                              QStringLiteral("idRigaValore"));
    theirs.Open(text);
    theirs.Data().First();
    theirs.Data().Edit();
    theirs.Data().FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(QStringLiteral("B"));
    theirs.Data().Post();
    theirs.Post(QStringLiteral("GBIANCHI"));

    rs.Data().First();
    rs.Data().Edit();
    rs.Data().FieldByName(QStringLiteral("txValoreVoceScheda")).SetValue(QStringLiteral("C"));
    rs.Data().Post();
    QVERIFY_THROWS_EXCEPTION(ERecordChanged, rs.Post(QStringLiteral("MROSSI")));
    QCOMPARE(sql(value), QStringLiteral("B"));
    rs.Data().First();
    QCOMPARE(rs.Data().FieldByName(QStringLiteral("txValoreVoceScheda")).AsString(),
             QStringLiteral("B"));
}

QTEST_GUILESS_MAIN(TstEditableRecordSet)
#include "tst_editablerecordset.moc"
