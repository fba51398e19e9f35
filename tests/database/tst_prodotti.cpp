#include "dbtest.h"

using namespace dbtest;

// The product list and record, duplication, deletion, linked products and price lists.
class TstProdotti : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void catalogues();
    void productFilters_data();
    void productFilters();
    void codeCheck();
    void cloneCopiesWhatItMust_data();
    void cloneCopiesWhatItMust();
    void deleteRefusals();
    void deletingALinkedProductRenumbersItsOwners();
    void links();
    void linkCandidates();
    void priceLists();
    void priceListQuantitiesAndValues();
    void priceListChangesReachOpenQuotesOnly();
    void productRefreshKeepsLineChoices();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    QString prod(const QString &code)
    {
        return sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '" + code + "'");
    }
    std::unique_ptr<TTestDatabase> m_db;
};

void TstProdotti::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstProdotti::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
}

void TstProdotti::cleanup()
{
    m_db.reset();
}

void TstProdotti::catalogues()
{
    auto cat = Q(m_db->Module(), Exec("EstraiFornitori"));
    // Two suppliers, each with a current and a previous catalogue and a row without year.
    QCOMPARE(cat->RecordCount(), 6);
    QCOMPARE(cat->CountMatching("txOrder = 'B' AND nuAnnoKey <> NULL"), 2);
    QCOMPARE(cat->CountMatching("txOrder = 'C'"), 2);
    QCOMPARE(cat->CountMatching("nuAnnoKey = NULL"), 2);
    const QStringList keys = Column(*cat, "idKeyFornitore");
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 6);
}

void TstProdotti::productFilters_data()
{
    QTest::addColumn<QStringList>("args"); // after " 1, null"
    QTest::addColumn<int>("expected");
    const QString all = T("{00000000-0000-0000-0000-000000000000}");
    QTest::newRow("every active product")
        << QStringList{all, "0", "null", "0", "0", "0", "0", "1", "1", "1"} << 29;
    QTest::newRow("inactive too") << QStringList{all, "0", "null", "1", "0", "0", "0", "1", "1", "1"}
                                  << 30;
    QTest::newRow("accessories") << QStringList{all, "0", "null", "0", "0", "0", "0", "0", "1", "0"}
                                 << 6;
    QTest::newRow("documentation")
        << QStringList{all, "0", "null", "0", "0", "0", "0", "0", "0", "1"} << 4;
    QTest::newRow("words in any order, any case")
        << QStringList{all, "0", T("motori comando"), "0", "0", "0", "0", "1", "1", "1"} << 3;
    QTest::newRow("price-list description")
        << QStringList{all, "0", T("rinforzata"), "0", "0", "0", "0", "1", "1", "1"} << 19;
    QTest::newRow("accented letters, any case")
        << QStringList{all, "0", T("conformità ce e"), "0", "0", "0", "0", "1", "1", "1"} << 1;
    QTest::newRow("nothing matches a backslash")
        << QStringList{all, "0", T("\\"), "0", "0", "0", "0", "1", "1", "1"} << 0;
    QTest::newRow("used in blocked quotes")
        << QStringList{all, "0", "null", "1", "1", "0", "0", "1", "1", "1"} << -1;
}

void TstProdotti::productFilters()
{
    QFETCH(QStringList, args);
    QFETCH(int, expected);
    auto rows = Q(m_db->Module(), Exec("EstraiProdotti ", QStringList{"1", "null"} + args));
    if (expected >= 0) {
        QCOMPARE(rows->RecordCount(), expected);
        return;
    }
    // Usage flag: exactly the products of lines of blocked quotes.
    const int used
        = sql("SELECT count(DISTINCT d.idprodotto) FROM preventivo_dettaglio d JOIN preventivi q "
              "USING (idpreventivo) WHERE q.flbloccato = 1")
              .toInt();
    QVERIFY(used > 0);
    QCOMPARE(rows->RecordCount(), used);
    QCOMPARE(rows->CountMatching("nuPreventiviChiusi > 0"), used);
}

void TstProdotti::codeCheck()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto other = Q(db, Exec("CheckCodProdotto", {T("qdg-100"), T(NewId()), kUser}));
    QCOMPARE(First(*other, "OkCodice"), QStringLiteral("0"));
    QVERIFY(First(*other, "txDescProdotto").startsWith(QStringLiteral("QUADRO DI DISTRIBUZIONE")));
    QCOMPARE(First(*Q(db, Exec("CheckCodProdotto", {T("QDG-100"), T(prod("QDG-100")), kUser})),
                   "OkCodice"),
             QStringLiteral("1"));
    QCOMPARE(First(*Q(db, Exec("CheckCodProdotto", {T("NUOVO-1"), T(NewId()), kUser})), "OkCodice"),
             QStringLiteral("1"));
}

void TstProdotti::cloneCopiesWhatItMust_data()
{
    QTest::addColumn<bool>("withLists");
    QTest::newRow("without price lists") << false;
    QTest::newRow("with price lists") << true;
}

void TstProdotti::cloneCopiesWhatItMust()
{
    QFETCH(bool, withLists);
    TSTD_DBMODULE &db = m_db->Module();
    const QString src = prod("QCM-110");
    const QString copy = NewId();
    const QString counts = "SELECT (SELECT count(*) FROM prod_listini) || '/' || (SELECT count(*) "
                           "FROM prod_list_scheda_valori)"
                           " || '/' || (SELECT count(*) FROM preventivo_dettaglio) || '/' || "
                           "(SELECT count(*) FROM prod_collegati"
                           " WHERE idprodcollegato = '"
                           + src + "')";
    const QString before = sql(counts);
    m_db->LogOn(QStringLiteral("GBIANCHI"));
    Q(db, Exec("CloneProdotto", {T(src), T(copy), withLists ? "1" : "0", T("GBIANCHI")}));
    m_db->LogOn(QStringLiteral("MROSSI"));
    auto a = QM(db, Exec("EstraiAllDettagliProdotto", {T(src), "0", "1", "1", "1", "1", "1"}));
    auto b = QM(db, Exec("EstraiAllDettagliProdotto", {T(copy), "0", "1", "1", "1", "1", "1"}));
    QCOMPARE(TreeProblem(*b[0], copy), QString());
    QCOMPARE(b[0]->RecordCount(), a[0]->RecordCount());
    // Same texts and positions, new ids everywhere.
    for (a[0]->First(); !a[0]->Eof(); a[0]->Next()) {
        const QString id = a[0]->FieldByName("idNodo").AsString();
        QVERIFY(!b[0]->Locate("idNodo", id));
        QVERIFY(b[0]->Locate(QStringList{"nuOrderA", "nuOrderB", "nuOrderC", "nuOrderD"},
                             {a[0]->FieldByName("nuOrderA").Value(),
                              a[0]->FieldByName("nuOrderB").Value(),
                              a[0]->FieldByName("nuOrderC").Value(),
                              a[0]->FieldByName("nuOrderD").Value()}));
        QCOMPARE(b[0]->FieldByName("txDescNodo").AsString(),
                 a[0]->FieldByName("txDescNodo").AsString());
        QCOMPARE(b[0]->FieldByName("imgNodo").AsBytes(), a[0]->FieldByName("imgNodo").AsBytes());
    }
    QCOMPARE(b[2]->FieldByName("imgCopertina").AsBytes(),
             a[2]->FieldByName("imgCopertina").AsBytes());
    QCOMPARE(b[3]->RecordCount(), a[3]->RecordCount()); // its linked products
    QCOMPARE(Q(db, Exec("EstraiListinoProdotto", {T(copy)}))->RecordCount(),
             withLists ? Q(db, Exec("EstraiListinoProdotto", {T(src)}))->RecordCount() : 0);
    QCOMPARE(sql("SELECT txutentein FROM prodotti WHERE idprodotto = '" + copy + "'"),
             QStringLiteral("GBIANCHI"));
    QCOMPARE(sql("SELECT count(*) FROM images_prodotti_preview WHERE idimage = '" + copy + "'"),
             QStringLiteral("1"));
    // Nothing else: no quote line, and nobody links to the copy.
    const QStringList was = before.split('/'), now = sql(counts).split('/');
    QCOMPARE(now.at(2), was.at(2));
    QCOMPARE(now.at(3), was.at(3));
    QCOMPARE(sql("SELECT count(*) FROM prod_collegati WHERE idprodcollegato = '" + copy + "'"),
             QStringLiteral("0"));
    if (withLists) {
        // The copies' values point at the copy's own data sheets.
        QCOMPARE(sql("SELECT count(*) FROM prod_list_scheda_valori v JOIN prod_listini l USING "
                     "(idprodlistino) "
                     "JOIN prod_schede s ON s.idschedaprodotto = v.idschedaprodotto "
                     "WHERE l.idprodotto = '"
                     + copy + "' AND s.idprodotto = '" + copy + "'"),
                 sql("SELECT count(*) FROM prod_list_scheda_valori v JOIN prod_listini l USING "
                     "(idprodlistino) "
                     "WHERE l.idprodotto = '"
                     + src + "'"));
    }
    QVERIFY(
        ErrorOf(db, Exec("CloneProdotto", {T(src), T(copy), "0", kUser})).contains("Esiste già"));
    QVERIFY(ErrorOf(db, Exec("CloneProdotto", {T("{NO}"), T(NewId()), "0", kUser}))
                .contains("non trovato"));
}

void TstProdotti::deleteRefusals()
{
    TSTD_DBMODULE &db = m_db->Module();
    // Used in quotes: refused for everybody.
    const QString used = prod("QDG-100");
    auto r = Q(db, Exec("DeleteProdotto", {T(used), "1", kUser}));
    QCOMPARE(First(*r, "flOk"), QStringLiteral("0"));
    QVERIFY(First(*r, "ErrMess").contains(QStringLiteral("preventivi")));
    // Linked by other products: administrators only.
    const QString acc = NewId();
    Q(db, Exec("CloneProdotto", {T(prod("ACC-ZOC")), T(acc), "1", kUser}));
    Q(db, Exec("AddProdottoLinked", {T(used), T(acc), kUser}));
    QCOMPARE(First(*Q(db, Exec("DeleteProdotto", {T(acc), "0", kUser})), "flOk"),
             QStringLiteral("0"));
    QCOMPARE(sql("SELECT count(*) FROM prodotti WHERE idprodotto = '" + acc + "'"),
             QStringLiteral("1"));
    // The flag the program sends is not enough: the session must be an administrator's.
    QCOMPARE(First(*Q(db, Exec("DeleteProdotto", {T(acc), "1", kUser})), "flOk"),
             QStringLiteral("0"));
    m_db->LogOn(QStringLiteral("ADMIN"));
    QCOMPARE(First(*Q(db, Exec("DeleteProdotto", {T(acc), "1", T("ADMIN")})), "flOk"),
             QStringLiteral("1"));
    m_db->LogOn(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT (SELECT count(*) FROM prodotti WHERE idprodotto = '" + acc
                 + "') + (SELECT count(*) FROM "
                   "prod_collegati WHERE idprodcollegato = '"
                 + acc
                 + "') + (SELECT count(*) FROM prod_listini WHERE "
                   "idprodotto = '"
                 + acc + "') + (SELECT count(*) FROM images_prodotti WHERE idimage = '" + acc
                 + "')"),
             QStringLiteral("0"));
    QVERIFY(ErrorOf(db, Exec("DeleteProdotto", {T(acc), "1", kUser})).contains("non trovato"));
}

// The links of other products to a deleted product go with it; those products' remaining links
// are numbered 1..n again, so that their linked grids show every link and moves and removals
// of the last ones are still accepted.
void TstProdotti::deletingALinkedProductRenumbersItsOwners()
{
    TSTD_DBMODULE &db = m_db->Module();
    m_db->LogOn(QStringLiteral("ADMIN"));
    const QString acc = NewId();
    Q(db, Exec("CloneProdotto", {T(prod("ACC-ZOC")), T(acc), "1", T("ADMIN")}));
    const QStringList owners = {prod("QBT-100"), prod("QDG-110")};
    for (const QString &owner : owners) {
        const int n = Q(db, Exec("EstraiProdottiLinked", {T(owner)}))->RecordCount();
        QVERIFY(n >= 2);
        Q(db, Exec("AddProdottoLinked", {T(owner), T(acc), T("ADMIN")}));
        // First of the list: every other link comes after it.
        Q(db,
          Exec("MoveProdottoLinked", {T(owner), T(acc), QString::number(n + 1), "1", T("ADMIN")}));
    }
    QCOMPARE(First(*Q(db, Exec("DeleteProdotto", {T(acc), "1", T("ADMIN")})), "flOk"),
             QStringLiteral("1"));
    for (const QString &owner : owners) {
        auto linked = Q(db, Exec("EstraiProdottiLinked", {T(owner)}));
        QStringList expected;
        for (int i = 1; i <= linked->RecordCount(); ++i)
            expected << QString::number(i);
        QCOMPARE(Column(*linked, "nuOrdineCollegamento"), expected);
        QVERIFY(!linked->Locate("idProdotto", acc));
        // The last link can be moved and removed by the position the window shows.
        linked->Last();
        const QString last = linked->FieldByName("idProdotto").AsString();
        const QString n = QString::number(linked->RecordCount());
        Q(db, Exec("MoveProdottoLinked", {T(owner), T(last), n, "1", T("ADMIN")}));
        QCOMPARE(Q(db, Exec("DelProdottoLinked", {T(owner), T(last), "1", T("ADMIN")}))
                     ->RecordCount(),
                 linked->RecordCount() - 1);
    }
}

void TstProdotti::links()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = prod("QBT-100");
    auto linked = Q(db, Exec("EstraiProdottiLinked", {T(p)}));
    const int n = linked->RecordCount();
    QCOMPARE(Column(*linked, "nuOrdineCollegamento").join(','),
             QStringList({"1", "2", "3", "4", "5"}).mid(0, n).join(','));
    const QString cand = prod("QSP-100");
    linked = Q(db, Exec("AddProdottoLinked", {T(p), T(cand), kUser}));
    QCOMPARE(linked->RecordCount(), n + 1);
    QVERIFY(linked->Locate("idProdotto", cand));
    QCOMPARE(int(linked->FieldByName("nuOrdineCollegamento").AsInteger()), n + 1);
    QVERIFY(
        ErrorOf(db, Exec("AddProdottoLinked", {T(p), T(cand), kUser})).contains("già collegato"));
    QVERIFY(ErrorOf(db, Exec("AddProdottoLinked", {T(p), T(p), kUser})).contains("se stesso"));
    // Move the new last one to the top: positions stay 1..n.
    linked = Q(db, Exec("MoveProdottoLinked", {T(p), T(cand), QString::number(n + 1), "1", kUser}));
    linked->First();
    QCOMPARE(linked->FieldByName("idProdotto").AsString(), cand);
    QCOMPARE(Column(*linked, "nuOrdineCollegamento").last().toInt(), n + 1);
    // And down again to the second place.
    linked = Q(db, Exec("MoveProdottoLinked", {T(p), T(cand), "1", "2", kUser}));
    QVERIFY(linked->Locate("idProdotto", cand));
    QCOMPARE(linked->FieldByName("nuOrdineCollegamento").AsInteger(), 2);
    linked = Q(db, Exec("UpdateProdottoLinked", {T(p), T(cand), "0", kUser}));
    QVERIFY(linked->Locate("idProdotto", cand));
    QCOMPARE(linked->FieldByName("flAccessorio").AsInteger(), 0);
    // A stale row number (another operator moved links meanwhile) is refused.
    QVERIFY(ErrorOf(db, Exec("DelProdottoLinked", {T(p), T(cand), "1", kUser}))
                .contains("altro operatore"));
    linked = Q(db, Exec("DelProdottoLinked", {T(p), T(cand), "2", kUser}));
    QCOMPARE(linked->RecordCount(), n);
    QStringList expected;
    for (int i = 1; i <= n; ++i)
        expected << QString::number(i);
    QCOMPARE(Column(*linked, "nuOrdineCollegamento"), expected);
}

void TstProdotti::linkCandidates()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString all = T("{00000000-0000-0000-0000-000000000000}");
    const QString p = prod("QBT-100");
    auto rows = Q(db,
                  Exec("EstraiProdottiNotLinked ",
                       {"1", T(p), all, "0", "null", "0", "1", "1", "1"}));
    const int linked = Q(db, Exec("EstraiProdottiLinked", {T(p)}))->RecordCount();
    QCOMPARE(rows->RecordCount(), 29 - 1 - linked); // active products, not itself, not linked
    QVERIFY(!rows->Locate("idProdotto", p));
    // A documentation product is offered documentation only.
    const QString doc = prod("DOC-CE");
    rows = Q(db,
             Exec("EstraiProdottiNotLinked ", {"1", T(doc), all, "0", "null", "0", "1", "1", "1"}));
    QCOMPARE(rows->RecordCount(), 3);
    QCOMPARE(Q(db, Exec("EstraiProdottiNotLinked ", {"0"}))->RecordCount(), 0);
}

void TstProdotti::priceLists()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = prod("QDG-110");
    auto lists = Q(db, Exec("EstraiListinoProdotto", {T(p)}));
    QVERIFY(lists->RecordCount() >= 2);
    lists->First();
    const QString used = sql("SELECT idprodlistino FROM preventivo_dettaglio WHERE idprodlistino "
                             "IN (SELECT idprodlistino "
                             "FROM prod_listini WHERE idprodotto = '"
                             + p + "') LIMIT 1");
    QVERIFY(lists->Locate("idProdListino", used));
    QCOMPARE(lists->FieldByName("flUsedInPrev").AsInteger(), 1);
    QCOMPARE(lists->FieldByName("flSchedeProdotto").AsInteger(), 1);
    // Clone: same amount, quantities and values; deactivate; delete refused while used.
    const QString copy = NewId();
    Q(db, Exec("CloneListino", {T(used), T(copy), kUser}));
    QCOMPARE(sql("SELECT (SELECT vllistino FROM prod_listini WHERE idprodlistino = '" + copy
                 + "') = "
                   "(SELECT vllistino FROM prod_listini WHERE idprodlistino = '"
                 + used + "')"),
             QStringLiteral("t"));
    QCOMPARE(sql("SELECT count(*) FROM prod_list_scheda_valori WHERE idprodlistino = '" + copy
                 + "'"),
             sql("SELECT count(*) FROM prod_list_scheda_valori WHERE idprodlistino = '" + used
                 + "'"));
    Q(db, Exec("ChangeStatoListino", {T(copy), "0", kUser}));
    QCOMPARE(sql("SELECT txutentecanc FROM prod_listini WHERE idprodlistino = '" + copy + "'"),
             QStringLiteral("MROSSI"));
    auto refused = Q(db, Exec("DeleteListino", {T(used), "1", kUser}));
    QCOMPARE(First(*refused, "flOk"), QStringLiteral("0"));
    auto done = Q(db, Exec("DeleteListino", {T(copy), "0", kUser}));
    QCOMPARE(First(*done, "flOk"), QStringLiteral("1"));
    QCOMPARE(sql("SELECT count(*) FROM prod_list_scheda_valori WHERE idprodlistino = '" + copy
                 + "'"),
             QStringLiteral("0"));
    // The record: a new list posted by the program.
    const QString fresh = NewId();
    TEditableRecord rec(&db, QStringLiteral("Prod_Listini"), QStringLiteral("idProdListino"));
    rec.Open(Exec("DatiListino", {T(fresh)}));
    db.BeginTrans();
    rec.Append(fresh);
    rec.Data().FieldByName("idProdotto").SetValue(p);
    rec.Data().FieldByName("txDescListino").SetValue(QStringLiteral("Listino dell'anno"));
    rec.Data().FieldByName("vlListino").SetValue(1234.5);
    rec.Post(QStringLiteral("MROSSI"));
    Q(db, Exec("RefreshProdListino", {T(fresh), kUser}));
    db.CommitTrans();
    QCOMPARE(Q(db, Exec("EstraiListinoProdotto", {T(p)}))->RecordCount(), lists->RecordCount() + 1);
}

void TstProdotti::priceListQuantitiesAndValues()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = prod("QCM-100");
    const QString list = sql("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '" + p
                             + "' ORDER BY txcodlistino LIMIT 1");
    auto qta = Q(db, Exec("EstraiCompPartiListinoQta", {T(p), T(list)}));
    QVERIFY(qta->CountMatching("nuTipologia = 30") == 4);
    QVERIFY(qta->CountMatching("nuTipologia = 40 AND nuQuantitaListino > 0") == 1);
    qta->SetFilter("nuTipologia = 40 AND nuQuantitaListino <= 0");
    qta->SetFiltered(true);
    qta->First();
    const QString part = qta->FieldByName("idNodo").AsString();
    auto before = Q(db, Exec("DatiListinoParteComp", {T(list), T(part)}));
    QCOMPARE(First(*before, "txStato"), QStringLiteral("PRODOTTO"));
    Q(db,
      Exec("UpdateListinoParte",
           {T(list),
            T(part),
            T(First(*before, "txDescParteComp")),
            "7",
            T(First(*before, "txStato")),
            kUser}));
    auto after = Q(db, Exec("DatiListinoParteComp", {T(list), T(part)}));
    QCOMPARE(First(*after, "nuQuantitaParte"), QStringLiteral("7"));
    QCOMPARE(First(*after, "txStato"), QStringLiteral("LISTINO"));
    Q(db,
      Exec("UpdateListinoParte",
           {T(list), T(part), T(First(*before, "txDescParteComp")), "0", T("LISTINO"), kUser}));
    QCOMPARE(First(*Q(db, Exec("DatiListinoParteComp", {T(list), T(part)})), "txStato"),
             QStringLiteral("PRODOTTO"));
    QVERIFY(ErrorOf(db,
                    Exec("UpdateListinoParte",
                         {T(list), T(part), T(QString(201, 'x')), "1", T(""), kUser}))
                .contains("troppo lungo"));
    // Sheets and items with this list's values.
    auto sets = QM(db, Exec("EstraiSchedeListinoValori", {T(p), T(list)}));
    QCOMPARE(int(sets.size()), 2);
    QCOMPARE(sets[0]->RecordCount(), 2);
    QCOMPARE(sets[1]->CountMatching("txValoreVoceScheda <> NULL"), 3);
    const QString sheet = First(*sets[0], "idSchedaProdotto");
    auto values = Q(db, Exec("DatiListinoSchedeValori", {T(list), T(sheet)}));
    QCOMPARE(values->RecordCount(), 2);
    QVERIFY(values->FieldIndex("idListinoValore") >= 0);
}

void TstProdotti::priceListChangesReachOpenQuotesOnly()
{
    // A list used by an open quote and by a blocked one: after its values change, only the
    // open quote's line takes them.
    TSTD_DBMODULE &db = m_db->Module();
    const QString list = sql(
        "SELECT d.idprodlistino FROM preventivo_dettaglio d JOIN preventivi q USING (idpreventivo) "
        "GROUP BY d.idprodlistino HAVING bool_or(q.flbloccato = 1) AND bool_or(q.flbloccato = 0 "
        "AND q.dtcanc IS NULL) LIMIT 1");
    QVERIFY(!list.isEmpty());
    const QString item = sql(
        "SELECT idvocescheda FROM prod_list_scheda_valori WHERE idprodlistino = '" + list
        + "' ORDER BY idvocescheda LIMIT 1");
    const QString sheet = sql(
        "SELECT idschedaprodotto FROM prod_list_scheda_valori WHERE idvocescheda = '" + item
        + "' LIMIT 1");
    db.ExecuteParams(QStringLiteral("UPDATE Prod_List_Scheda_Valori SET txValoreVoceScheda = $1 "
                                    "WHERE idListinoValore = $2"),
                     {QStringLiteral("NUOVO VALORE"), list + item});
    Q(db, Exec("RefreshProdListSchedaVoci", {T(list), T(sheet), kUser}));
    const QString open = sql(
        "SELECT count(*) FROM prevdet_nodi n JOIN preventivo_dettaglio d USING (idpreventivodet) "
        "JOIN preventivi q USING (idpreventivo) WHERE d.idprodlistino = '"
        + list + "' AND n.idnodo = '" + item
        + "' AND q.flbloccato = 0 AND q.dtcanc IS NULL AND n.txdescnodob = 'NUOVO VALORE'");
    const QString blocked = sql(
        "SELECT count(*) FROM prevdet_nodi n JOIN preventivo_dettaglio d USING (idpreventivodet) "
        "JOIN preventivi q USING (idpreventivo) WHERE d.idprodlistino = '"
        + list + "' AND n.idnodo = '" + item
        + "' AND q.flbloccato = 1 AND n.txdescnodob = 'NUOVO VALORE'");
    QVERIFY(open.toInt() > 0);
    QCOMPARE(blocked, QStringLiteral("0"));
    // A new list price: open lines get it, their offered amount stays.
    const QString amount = sql("SELECT string_agg(vlimporto::text, ',' ORDER BY idpreventivodet) "
                               "FROM preventivo_dettaglio "
                               "WHERE idprodlistino = '"
                               + list + "'");
    sql("UPDATE prod_listini SET vllistino = vllistino + 100 WHERE idprodlistino = '" + list + "'");
    Q(db, Exec("RefreshProdListino", {T(list), kUser}));
    QCOMPARE(
        sql("SELECT bool_and(d.vllistino = l.vllistino) FROM preventivo_dettaglio d JOIN "
            "preventivi q USING "
            "(idpreventivo) JOIN prod_listini l USING (idprodlistino) WHERE d.idprodlistino = '"
            + list + "' AND q.flbloccato = 0 AND q.dtcanc IS NULL"),
        QStringLiteral("t"));
    QCOMPARE(
        sql("SELECT bool_or(d.vllistino = l.vllistino) FROM preventivo_dettaglio d JOIN preventivi "
            "q USING "
            "(idpreventivo) JOIN prod_listini l USING (idprodlistino) WHERE d.idprodlistino = '"
            + list + "' AND q.flbloccato = 1"),
        QStringLiteral("f"));
    QCOMPARE(sql("SELECT string_agg(vlimporto::text, ',' ORDER BY idpreventivodet) FROM "
                 "preventivo_dettaglio "
                 "WHERE idprodlistino = '"
                 + list + "'"),
             amount);
}

void TstProdotti::productRefreshKeepsLineChoices()
{
    // The product gains a text and loses another; open quote lines follow, keeping the nodes
    // they switched off; blocked quotes keep their copy as it was.
    TSTD_DBMODULE &db = m_db->Module();
    const QString p = prod("QDG-100");
    const QString sub = sql("SELECT pa.idpartecomp FROM prod_comp_parti pa JOIN prod_componenti c "
                            "USING (idcompprodotto) "
                            "WHERE c.idprodotto = '"
                            + p + "' AND pa.txdescpartecomp = 'Generalità'");
    const QString gone = sql("SELECT idtxtparte FROM prod_comp_parte_txt WHERE idpartecomp = '"
                             + sub + "' AND nuordineparte = 2");
    const QString added = NewId();
    db.ExecuteParams(QStringLiteral(
                         "INSERT INTO Prod_Comp_Parte_Txt (idTxtParte, idParteComp, nuOrdineParte, "
                         "txDescTxtParte) VALUES ($1, $2, 0, 'Testo aggiunto')"),
                     {added, sub});
    Q(db, Exec("SetOrdineNewNodo", {T(added), T(sub), "50", kUser}));
    QM(db, Exec("DeleteNodo", {T(p), T(gone), T(sub), "50", "0", kUser}));
    const QString openLine = sql(
        "SELECT d.idpreventivodet FROM preventivo_dettaglio d JOIN preventivi q USING "
        "(idpreventivo) "
        "WHERE d.idprodotto = '"
        + p
        + "' AND q.flbloccato = 0 AND q.dtcanc IS NULL AND EXISTS "
          "(SELECT 1 FROM prevdet_nodi n WHERE n.idpreventivodet = d.idpreventivodet "
          "AND n.flattivo = 0) LIMIT 1");
    const QString blockedLine = sql(
        "SELECT d.idpreventivodet FROM preventivo_dettaglio d JOIN preventivi q USING "
        "(idpreventivo) WHERE d.idprodotto = '"
        + p + "' AND q.flbloccato = 1 LIMIT 1");
    QVERIFY(!openLine.isEmpty() && !blockedLine.isEmpty());
    const QString off = sql("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '" + openLine
                            + "' AND flattivo = 0 LIMIT 1");
    QVERIFY(!off.isEmpty());
    Q(db, Exec("RefreshProdottoInDettagliPrev", {T(p), kUser}));
    auto line = QM(db,
                   Exec("EstraiAllDettagliProdotto", {T(openLine), "1", "0", "0", "0", "0", "1"}));
    QCOMPARE(TreeProblem(*line[0], openLine), QString());
    QVERIFY(line[0]->Locate("idNodo", added));
    QVERIFY(!line[0]->Locate("idNodo", gone));
    QVERIFY(line[0]->Locate("idNodo", off));
    QCOMPARE(line[0]->FieldByName("flAttivo").AsInteger(), 0);
    auto frozen = QM(db,
                     Exec("EstraiAllDettagliProdotto",
                          {T(blockedLine), "1", "0", "0", "0", "0", "1"}));
    QVERIFY(frozen[0]->Locate("idNodo", gone));
    QVERIFY(!frozen[0]->Locate("idNodo", added));
}

QTEST_GUILESS_MAIN(TstProdotti)
#include "tst_prodotti.moc"
