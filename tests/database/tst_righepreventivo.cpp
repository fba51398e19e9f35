#include "dbtest.h"

#include "db/editablerecordset.h"

using namespace dbtest;

// The price and detail rules of quote lines: what "Conferma" of the price panel does to the
// line's own tree, deactivated and single price lists, the line's data-sheet value rows and
// the enabled state of nodes under a disabled one.
class TstRighePreventivo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void confirmKeepsWhatTheOperatorSet_data();
    void confirmKeepsWhatTheOperatorSet();
    void deactivatedListsAreNotGiven_data();
    void deactivatedListsAreNotGiven();
    void singleListLinesCarryNoCode();
    void subParagraphWithoutQuantityAnswersZero();
    void valueRowsHaveAnIndexedKey();
    void disabledNodeHidesItsSubtree();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    QString productOf(const QString &code)
    {
        return sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '" + code + "'");
    }
    QString listOf(const QString &product, const QString &codePrefix)
    {
        return sql("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '" + product
                   + "' AND txcodlistino LIKE '" + codePrefix + "%'");
    }
    // A new quote of company 1 with one line of the product and list; answers the line id.
    QString newLine(const QString &product, const QString &list, QString *quote = nullptr);
    QString nodeValue(const QString &line, const QString &node, const QString &column)
    {
        return sql("SELECT coalesce(" + column
                   + "::text, '<null>') FROM prevdet_nodi WHERE "
                     "idpreventivodet = '"
                   + line + "' AND idnodo = '" + node + "'");
    }
    std::unique_ptr<TTestDatabase> m_db;
};

void TstRighePreventivo::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstRighePreventivo::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
}

void TstRighePreventivo::cleanup()
{
    m_db.reset();
}

QString TstRighePreventivo::newLine(const QString &product, const QString &list, QString *quote)
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString id = NewId();
    sql("INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, "
        "nuggscaddalblocco) VALUES ('"
        + id + "', '" + kSoc1 + "', (SELECT min(idcliente) FROM clienti WHERE idsocieta = '" + kSoc1
        + "'), 'Prova righe', 10)");
    Q(db, Exec("SetNewPreventivo", {T(id), kUser}));
    const QString line = NewId();
    db.Execute(
        Exec("AddProdottoToPreventivo",
             {T(id), T(line), T(product), list.isEmpty() ? "NULL" : T(list), "1", "0", kUser}));
    if (quote)
        *quote = id;
    return line;
}

void TstRighePreventivo::confirmKeepsWhatTheOperatorSet_data()
{
    // The list chosen at "Conferma" (L1: the line's own, L2: another one, none) and what the
    // line's copy shows afterwards: the value set by the operator, the quantity set by the
    // operator, a list value the operator left alone.
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("untouchedValue");
    QTest::addColumn<QString>("untouchedQuantity");
    QTest::newRow("same list: amount or discount only") << "L1"
                                                        << "Forma 2"
                                                        << "2";
    QTest::newRow("another list") << "L2"
                                  << "Forma 3b"
                                  << "3";
    QTest::newRow("no list") << ""
                             << "<null>"
                             << "<null>";
}

void TstRighePreventivo::confirmKeepsWhatTheOperatorSet()
{
    QFETCH(QString, chosen);
    QFETCH(QString, untouchedValue);
    QFETCH(QString, untouchedQuantity);
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = productOf("QDG-100");
    const QString l1 = listOf(p, "L1");
    const QString line = newLine(p, l1);
    // The list's valued items: the operator changes the first (IP55) and leaves the second.
    const QString custom = sql("SELECT idvocescheda FROM prod_list_scheda_valori WHERE "
                               "idprodlistino = '"
                               + l1 + "' AND txvalorevocescheda = 'IP55'");
    const QString untouched = sql("SELECT idvocescheda FROM prod_list_scheda_valori WHERE "
                                  "idprodlistino = '"
                                  + l1 + "' AND txvalorevocescheda = 'Forma 2'");
    QCOMPARE(nodeValue(line, untouched, "txdescnodob"), QStringLiteral("Forma 2"));
    const QString sheet = sql("SELECT idparent FROM prevdet_nodi WHERE idpreventivodet = '" + line
                              + "' AND idnodo = '" + custom + "'");
    TEditableRecordSet values(&db,
                              QStringLiteral("PrevDet_Scheda_Valori"),
                              QStringLiteral("idRigaValore"));
    values.Open(Exec("DatiPrevDetSchedaValori", {T(line), T(sheet)}));
    QVERIFY(values.Data().Locate("idVoceScheda", custom));
    values.Data().Edit();
    values.Data().FieldByName("txValoreVoceScheda").SetValue(QStringLiteral("IP54 su richiesta"));
    values.Data().Post();
    values.Post(QStringLiteral("MROSSI"));
    // The list's sub-paragraph with its quantity (2 in L1, 3 in L2): the operator sets the
    // description only, so the quantity still is the list's.
    const QString part = sql("SELECT idpartecomp FROM prod_list_parte_quantita WHERE "
                             "idprodlistino = '"
                             + l1 + "'");
    QCOMPARE(nodeValue(line, part, "nuquantita"), QStringLiteral("2"));
    const QString qty = nodeValue(line, part, "nuquantita");
    Q(db,
      Exec("UpdatePrevDetParte",
           {T(line), T(part), T("Interruttori scelti dal cliente"), qty, "''", kUser}));

    // "Conferma": the line row is posted with the chosen list, then UpdateChangeOfListino.
    const QString chosenId = chosen.isEmpty() ? QString() : listOf(p, chosen);
    db.BeginTrans();
    db.ExecuteParams(QStringLiteral("UPDATE preventivo_dettaglio SET idprodlistino = $1, "
                                    "vlimporto = 1000, txutentemod = 'MROSSI' "
                                    "WHERE idpreventivodet = $2"),
                     {chosenId.isEmpty() ? QVariant() : QVariant(chosenId), line});
    db.Execute(Exec("UpdateChangeOfListino", {T(line), T(chosenId), kUser}));
    db.CommitTrans();

    QCOMPARE(nodeValue(line, custom, "txdescnodob"), QStringLiteral("IP54 su richiesta"));
    QCOMPARE(nodeValue(line, part, "txdescnodo"), QStringLiteral("Interruttori scelti dal cliente"));
    QCOMPARE(nodeValue(line, untouched, "txdescnodob"), untouchedValue);
    const QString productQty = sql("SELECT coalesce(nuquantitaparte::text, '<null>') FROM "
                                   "prod_comp_parti WHERE idpartecomp = '"
                                   + part + "'");
    QCOMPARE(nodeValue(line, part, "nuquantita"),
             untouchedQuantity == "<null>" ? productQty : untouchedQuantity);
    // A second "Conferma" with the same list changes nothing of the copy.
    const QString stamp = sql("SELECT max(dtmod)::text FROM prevdet_nodi WHERE idpreventivodet = '"
                              + line + "'");
    db.Execute(Exec("UpdateChangeOfListino", {T(line), T(chosenId), kUser}));
    QCOMPARE(sql("SELECT max(dtmod)::text FROM prevdet_nodi WHERE idpreventivodet = '" + line + "'"),
             stamp);
}

void TstRighePreventivo::deactivatedListsAreNotGiven_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("price panel posts the line") << "record";
    QTest::newRow("UpdateChangeOfListino") << "update";
    QTest::newRow("AddProdottoToPreventivo") << "add";
}

void TstRighePreventivo::deactivatedListsAreNotGiven()
{
    QFETCH(QString, how);
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = productOf("QDG-100");
    const QString l1 = listOf(p, "L1");
    const QString l2 = listOf(p, "L2");
    QString quote;
    const QString line = newLine(p, l1, &quote);
    Q(db, Exec("ChangeStatoListino", {T(l2), "0", kUser}));
    QString err;
    if (how == "record") {
        try {
            db.ExecuteParams(QStringLiteral("UPDATE preventivo_dettaglio SET idprodlistino = $1 "
                                            "WHERE idpreventivodet = $2"),
                             {l2, line});
        } catch (const EDatabaseError &e) {
            err = e.ProviderText();
        }
    } else if (how == "update") {
        err = ErrorOf(db, Exec("UpdateChangeOfListino", {T(line), T(l2), kUser}));
    } else {
        err = ErrorOf(db,
                      Exec("AddProdottoToPreventivo",
                           {T(quote), T(NewId()), T(p), T(l2), "1", "0", kUser}));
    }
    QVERIFY2(err.contains("non è attivo"), qPrintable(err));
    QCOMPARE(sql("SELECT idprodlistino FROM preventivo_dettaglio WHERE idpreventivodet = '" + line
                 + "'"),
             l1);
    QCOMPARE(sql("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + quote + "'"),
             QStringLiteral("1"));
    // A line that already carries a list deactivated later keeps it through "Conferma".
    Q(db, Exec("ChangeStatoListino", {T(l1), "0", kUser}));
    QCOMPARE(ErrorOf(db, Exec("UpdateChangeOfListino", {T(line), T(l1), kUser})), QString());
    // The catalogue search proposes no deactivated list for a linked product.
    const QString acc = sql("SELECT c.idprodcollegato FROM prod_collegati c WHERE c.idprodotto = '"
                            + p
                            + "' AND c.idprodlistino IS NOT NULL ORDER BY "
                              "c.nuordinecollegamento LIMIT 1");
    const QString accList = sql("SELECT idprodlistino FROM prod_collegati WHERE idprodotto = '" + p
                                + "' AND idprodcollegato = '" + acc + "'");
    sql("UPDATE prod_listini SET dtcanc = now() WHERE idprodlistino = '" + accList + "'");
    auto sets = QM(
        db,
        Exec("EstraiProdottiForPreventivo",
             {"1", T("{00000000-0000-0000-0000-000000000000}"), "0", T("QDG-100"), "1", "1", "1"}));
    QVERIFY(sets[1]->Locate("idProdotto;idProdCollegato", QVariantList{p, acc}));
    QVERIFY(sets[1]->FieldByName("idProdListino").IsNull());
}

void TstRighePreventivo::singleListLinesCarryNoCode()
{
    TSTD_DBMODULE &db = m_db->Module();
    // An accessory has one list; a main product several.
    const QString acc = productOf("ACC-ILL");
    const QString accList = listOf(acc, "L1");
    const QString line = newLine(acc, accList);
    const QString main = productOf("QDG-100");
    const QString mainLine = newLine(main, listOf(main, "L1"));
    QCOMPARE(sql("SELECT coalesce(txcodlistino, '<null>') FROM preventivo_dettaglio WHERE "
                 "idpreventivodet = '"
                 + line + "'"),
             QStringLiteral("<null>"));
    QCOMPARE(sql("SELECT txcodlistino FROM preventivo_dettaglio WHERE idpreventivodet = '"
                 + mainLine + "'"),
             sql("SELECT txcodlistino FROM prod_listini WHERE idprodlistino = '"
                 + listOf(main, "L1") + "'"));
    // The list's code and price change and reach the line: the price follows, no code appears.
    db.BeginTrans();
    db.ExecuteParams(QStringLiteral(
                         "UPDATE prod_listini SET txcodlistino = 'L1-NUOVO', "
                         "vllistino = 999, txutentemod = 'MROSSI' WHERE idprodlistino = $1"),
                     {accList});
    Q(db, Exec("RefreshProdListino", {T(accList), kUser}));
    db.CommitTrans();
    QCOMPARE(sql("SELECT coalesce(txcodlistino, '<null>') || '|' || vllistino FROM "
                 "preventivo_dettaglio WHERE idpreventivodet = '"
                 + line + "'"),
             QStringLiteral("<null>|999.00"));
}

void TstRighePreventivo::subParagraphWithoutQuantityAnswersZero()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString acc = productOf("ACC-ILL");
    const QString line = newLine(acc, QString());
    const QString part = sql("SELECT idnodo FROM prevdet_nodi WHERE nutipologia = 40 AND "
                             "idpreventivodet = '"
                             + line + "'");
    QCOMPARE(nodeValue(line, part, "nuquantita"), QStringLiteral("<null>"));
    auto row = Q(db, Exec("DatiPrevDetParteComp", {T(line), T(part)}));
    QVERIFY(!row->FieldByName("nuQuantitaParte").IsNull());
    QCOMPARE(row->FieldByName("nuQuantitaParte").AsInteger(), 0);
}

void TstRighePreventivo::valueRowsHaveAnIndexedKey()
{
    // The statement the editable rows write for one value.
    const QString plan = sql("EXPLAIN (FORMAT JSON) UPDATE prevdet_scheda_valori SET "
                             "txvalorevocescheda = 'x' WHERE idrigavalore = 'abc'");
    QVERIFY2(plan.contains("Index"), qPrintable(plan));
    QVERIFY2(!plan.contains("Seq Scan"), qPrintable(plan));
}

void TstRighePreventivo::disabledNodeHidesItsSubtree()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = productOf("QDG-100");
    const QString line = newLine(p, listOf(p, "L1"));
    const QString para = sql("SELECT idnodo FROM prevdet_nodi n WHERE nutipologia = 30 AND "
                             "idpreventivodet = '"
                             + line
                             + "' AND EXISTS (SELECT 1 FROM prevdet_nodi c WHERE "
                               "c.idpreventivodet = n.idpreventivodet AND c.idparent = n.idnodo) "
                               "ORDER BY nuordera LIMIT 1");
    const QString sub = sql("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '" + line
                            + "' AND idparent = '" + para + "' ORDER BY nuorderb LIMIT 1");
    const QString content = sql("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '" + line
                                + "' AND idparent = '" + sub + "' ORDER BY nuorderc LIMIT 1");
    auto rows = QM(db, Exec("ChangeStateNodo", {T(line), "1", T(para), "30", "1", kUser}));
    // The whole subtree comes disabled, as the print treats it; the stored flags stay.
    for (const QString &id : {para, sub, content}) {
        QVERIFY(rows[0]->Locate("idNodo", id));
        QCOMPARE(rows[0]->FieldByName("flAttivo").AsInteger(), 0);
    }
    QCOMPARE(nodeValue(line, sub, "flattivo"), QStringLiteral("1"));
    // Enabling the content makes it print: its paragraph is enabled with it.
    rows = QM(db, Exec("ChangeStateNodo", {T(line), "1", T(content), "50", "1", kUser}));
    for (const QString &id : {para, sub, content}) {
        QVERIFY(rows[0]->Locate("idNodo", id));
        QCOMPARE(rows[0]->FieldByName("flAttivo").AsInteger(), 1);
    }
    // Disabling the sub-paragraph then leaves the paragraph alone.
    rows = QM(db, Exec("ChangeStateNodo", {T(line), "1", T(sub), "40", "1", kUser}));
    QVERIFY(rows[0]->Locate("idNodo", para));
    QCOMPARE(rows[0]->FieldByName("flAttivo").AsInteger(), 1);
    QVERIFY(rows[0]->Locate("idNodo", content));
    QCOMPARE(rows[0]->FieldByName("flAttivo").AsInteger(), 0);
}

QTEST_GUILESS_MAIN(TstRighePreventivo)
#include "tst_righepreventivo.moc"
