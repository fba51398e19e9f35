#include "dbtest.h"

#include "db/pgadapter.h"

#include <QRandomGenerator>

#include <functional>

using namespace dbtest;

// The product structure editor's tree operations: each one answers the tree rows and the
// preview rows, keeps every sibling sequence numbered 1..n with parents before children, and
// does exactly its own change.
class TstAlbero : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void loadGivesTwoOrFiveSets();
    void moveAcrossParents();
    void insertBeforeAfter_data();
    void insertBeforeAfter();
    void refusedMoves_data();
    void refusedMoves();
    void deleteSubtree();
    void mergeSubParagraphs();
    void newNodesFindTheirPlace();
    void subParagraphAtAContent();
    void splitText_data();
    void splitText();
    void enableDisable();
    void copyIntoAnotherProduct();
    void nodeRecords();
    void staleParentIsRefused();
    void longSequenceKeepsTheTreeSound();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    QString node(const QString &table, const QString &idCol, const QString &where)
    {
        return sql(QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIMIT 1").arg(idCol, table, where));
    }
    // Runs a tree command and checks the rules on the rows it answers.
    std::unique_ptr<TDataSet> run(const QString &command)
    {
        auto sets = QM(m_db->Module(), command);
        if (sets.size() != 2)
            qFatal("expected 2 result sets, got %d", int(sets.size()));
        const QString problem = TreeProblem(*sets[0], m_prod);
        if (!problem.isEmpty())
            qWarning("%s", qPrintable(problem));
        m_problem = problem;
        return std::move(sets[0]);
    }
    int kindCount(TDataSet &rows, int kind)
    {
        return rows.CountMatching(QStringLiteral("nuTipologia = %1").arg(kind));
    }

    std::unique_ptr<TTestDatabase> m_db;
    QString m_prod; // the demo product QDG-100 and its nodes
    QString m_problem;
};

void TstAlbero::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstAlbero::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_prod = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'");
    m_problem.clear();
}

void TstAlbero::cleanup()
{
    m_db.reset();
}

void TstAlbero::loadGivesTwoOrFiveSets()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto editor = QM(db,
                     Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(int(editor.size()), 2);
    QCOMPARE(TreeProblem(*editor[0], m_prod), QString());
    QVERIFY(editor[0]->RecordCount() > 30);
    QCOMPARE(editor[0]->CountMatching("nuTipologia = 60 AND imgNodo <> NULL"), 0); // images off
    QCOMPARE(editor[1]->RecordCount(),
             editor[0]->CountMatching("nuTipologia = 10 OR nuTipologia = 30"));
    auto print = QM(db,
                    Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "1", "1", "1", "1", "1"}));
    QCOMPARE(int(print.size()), 5);
    QVERIFY(print[0]->CountMatching("nuTipologia = 60 AND imgNodo <> NULL") > 0);
    QVERIFY(!print[2]->FieldByName("imgCopertina").IsNull());
    QVERIFY(print[2]->FieldIndex("flImgSMALLVert") >= 0);
    QVERIFY(print[3]->RecordCount() > 0);                            // linked products
    QCOMPARE(print[4]->CountMatching("txCodListino = 'L0-OLD'"), 0); // deactivated list left out
    // A product without nodes: no preview rows (the window then says so).
    const QString bare = NewId();
    m_db->SuperQuery("INSERT INTO prodotti (idprodotto, txdescprodotto) VALUES ('" + bare
                     + "', 'Vuoto')");
    QCOMPARE(QM(db, Exec("EstraiAllDettagliProdotto", {T(bare), "0", "1", "1", "1", "1", "1"}))[1]
                 ->RecordCount(),
             0);
    QVERIFY(ErrorOf(db, Exec("EstraiAllDettagliProdotto", {T("{NO}"), "0", "0", "0", "0", "0", "0"}))
                .contains("Prodotto non trovato"));
}

void TstAlbero::moveAcrossParents()
{
    // "Cablaggio" moves from "Caratteristiche costruttive" to the end of "Descrizione generale".
    const QString from = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Caratteristiche costruttive'");
    const QString to = node("prod_componenti",
                            "idcompprodotto",
                            "idprodotto = '" + m_prod
                                + "' AND txdesccompprodotto = 'Descrizione generale'");
    const QString moving = node("prod_comp_parti",
                                "idpartecomp",
                                "idcompprodotto = '" + from + "' AND txdescpartecomp = 'Cablaggio'");
    auto rows = run(
        Exec("AppendNodoProdotto", {T(m_prod), T(moving), T(from), "40", T(to), "0", kUser}));
    QCOMPARE(m_problem, QString());
    QVERIFY(rows->Locate("idNodo", moving));
    QCOMPARE(rows->FieldByName("idParent").AsString(), to);
    QCOMPARE(rows->FieldByName("nuOrderB").AsInteger(), 3);
    // Its contents came along under it.
    QCOMPARE(rows->CountMatching("idParent = '" + moving + "'"), 3);
    QCOMPARE(sql("SELECT txutentemod FROM prodotti WHERE idprodotto = '" + m_prod + "'"),
             QStringLiteral("MROSSI"));
}

void TstAlbero::insertBeforeAfter_data()
{
    QTest::addColumn<QString>("movingTable"); // node to move: table, id column, where
    QTest::addColumn<QString>("movingId");
    QTest::addColumn<QString>("movingWhere");
    QTest::addColumn<int>("movingKind");
    QTest::addColumn<QString>("targetTable");
    QTest::addColumn<QString>("targetId");
    QTest::addColumn<QString>("targetWhere");
    QTest::addColumn<int>("targetKind");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("positionColumn");
    QTest::addColumn<int>("expected");

    QTest::newRow("data sheet after the last paragraph")
        << "prod_schede"
        << "idschedaprodotto"
        << "txdescschedaprodotto = 'Dati tecnici'" << 10 << "prod_componenti"
        << "idcompprodotto"
        << "txdesccompprodotto = 'Garanzia e assistenza'" << 30 << 1 << "nuOrderA" << 6;
    QTest::newRow("paragraph before the first data sheet")
        << "prod_componenti"
        << "idcompprodotto"
        << "txdesccompprodotto = 'Normative di riferimento'" << 30 << "prod_schede"
        << "idschedaprodotto"
        << "txdescschedaprodotto = 'Dati tecnici'" << 10 << 0 << "nuOrderA" << 1;
    QTest::newRow("data-sheet item before the first item")
        << "prod_scheda_voci"
        << "idvocescheda"
        << "txdescvocescheda = 'Colore'" << 20 << "prod_scheda_voci"
        << "idvocescheda"
        << "txdescvocescheda = 'Tensione nominale di impiego'" << 20 << 0 << "nuOrderB" << 1;
    QTest::newRow("text into another sub-paragraph, after its image")
        << "prod_comp_parte_txt"
        << "idtxtparte"
        << "txdesctxtparte LIKE 'Garanzia di 24%'" << 50 << "prod_comp_parte_img"
        << "idimgparte"
        << "txdescimgparte = 'Vista frontale'" << 60 << 1 << "nuOrderC" << 4;
    QTest::newRow("table item after the last one")
        << "prod_comp_parte_tab_voci"
        << "idtabvoce"
        << "txdesccolvoce = '630 A'" << 90 << "prod_comp_parte_tab_voci"
        << "idtabvoce"
        << "txdesccolvoce = '2500 A'" << 90 << 1 << "nuOrderD" << 3;
}

void TstAlbero::insertBeforeAfter()
{
    QFETCH(QString, movingTable);
    QFETCH(QString, movingId);
    QFETCH(QString, movingWhere);
    QFETCH(int, movingKind);
    QFETCH(QString, targetTable);
    QFETCH(QString, targetId);
    QFETCH(QString, targetWhere);
    QFETCH(int, targetKind);
    QFETCH(int, after);
    QFETCH(QString, positionColumn);
    QFETCH(int, expected);
    auto before = QM(m_db->Module(),
                     Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    auto idOf = [&](const QString &table, const QString &col, const QString &where) {
        // The node of that description inside this product's tree.
        const QStringList ids = Column(*before[0], "idNodo");
        for (const QString &id :
             m_db->SuperQuery(QStringLiteral("SELECT string_agg(%1, ',') FROM %2 WHERE %3")
                                  .arg(col, table, where))
                 .split(','))
            if (ids.contains(id))
                return id;
        return QString();
    };
    const QString moving = idOf(movingTable, movingId, movingWhere);
    const QString target = idOf(targetTable, targetId, targetWhere);
    QVERIFY(!moving.isEmpty() && !target.isEmpty());
    QVERIFY(before[0]->Locate("idNodo", moving));
    const QString movingParent = before[0]->FieldByName("idParent").AsString();
    QVERIFY(before[0]->Locate("idNodo", target));
    const QString targetParent = before[0]->FieldByName("idParent").AsString();
    auto rows = run(Exec("InsertAfterBeforeNodoProdotto",
                         {QString::number(after),
                          T(m_prod),
                          T(moving),
                          T(movingParent),
                          QString::number(movingKind),
                          T(target),
                          T(targetParent),
                          QString::number(targetKind),
                          "0",
                          kUser}));
    QCOMPARE(m_problem, QString());
    QCOMPARE(rows->RecordCount(), before[0]->RecordCount());
    QVERIFY(rows->Locate("idNodo", moving));
    QCOMPARE(rows->FieldByName("idParent").AsString(), targetParent);
    QCOMPARE(int(rows->FieldByName(positionColumn).AsInteger()), expected);
}

void TstAlbero::refusedMoves_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("fourth image into a sub-paragraph") << "image"
                                                       << "già 3 immagini";
    QTest::newRow("sub-paragraph next to a data sheet") << "kinds"
                                                        << "non può essere messo accanto";
    QTest::newRow("data-sheet item into a paragraph") << "target"
                                                      << "serve una scheda";
    QTest::newRow("node of another product") << "product"
                                             << "Nodo da spostare non trovato";
}

void TstAlbero::refusedMoves()
{
    QFETCH(QString, what);
    QFETCH(QString, message);
    TSTD_DBMODULE &db = m_db->Module();
    const QString genCond = "c.idprodotto = '" + m_prod + "'";
    const QString sub = sql("SELECT pa.idpartecomp FROM prod_comp_parti pa JOIN prod_componenti c "
                            "USING (idcompprodotto) "
                            "WHERE "
                            + genCond + " AND pa.txdescpartecomp = 'Generalità'");
    const QString para = sql("SELECT idcompprodotto FROM prod_comp_parti WHERE idpartecomp = '"
                             + sub + "'");
    const QString sheet = node("prod_schede",
                               "idschedaprodotto",
                               "idprodotto = '" + m_prod + "' AND nuordinenelprodotto = 1");
    const QString item = node("prod_scheda_voci",
                              "idvocescheda",
                              "idschedaprodotto = '" + sheet + "'");
    QString command;
    if (what == "image") {
        // Three images in "Generalità", then one more from another sub-paragraph.
        for (int i = 0; i < 2; ++i) {
            const QString id = NewId();
            sql("INSERT INTO images_dettagli (idimage) VALUES ('" + id
                + "'); INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, "
                  "nuordineparte) VALUES ('"
                + id + "', '" + id + "', '" + sub + "', " + QString::number(10 + i) + ")");
        }
        const QString other = sql("SELECT i.idimgparte FROM prod_comp_parte_img i JOIN "
                                  "prod_comp_parti pa USING (idpartecomp) "
                                  "JOIN prod_componenti c USING (idcompprodotto) WHERE "
                                  + genCond + " AND i.idpartecomp <> '" + sub + "' LIMIT 1");
        const QString otherParent = sql(
            "SELECT idpartecomp FROM prod_comp_parte_img WHERE idimgparte = '" + other + "'");
        command = Exec("AppendNodoProdotto",
                       {T(m_prod), T(other), T(otherParent), "60", T(sub), "0", kUser});
    } else if (what == "kinds") {
        command
            = Exec("InsertAfterBeforeNodoProdotto",
                   {"1", T(m_prod), T(sub), T(para), "40", T(sheet), T(m_prod), "10", "0", kUser});
    } else if (what == "target") {
        command = Exec("AppendNodoProdotto",
                       {T(m_prod), T(item), T(sheet), "20", T(para), "0", kUser});
    } else {
        const QString other = sql(
            "SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-110'");
        command = Exec("AppendNodoProdotto", {T(other), T(sub), T(para), "40", T(para), "0", kUser});
    }
    const QString snapshot
        = "SELECT md5(string_agg(x::text, ',' ORDER BY x::text)) FROM ("
          "SELECT idpartecomp, idcompprodotto, nuordinepartecomp FROM prod_comp_parti UNION ALL "
          "SELECT idimgparte, idpartecomp, nuordineparte FROM prod_comp_parte_img UNION ALL "
          "SELECT idvocescheda, idschedaprodotto, nuordinevocescheda FROM prod_scheda_voci) x";
    const QString state = sql(snapshot);
    const QString err = ErrorOf(db, command);
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(sql(snapshot), state); // nothing half done
}

void TstAlbero::deleteSubtree()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Descrizione generale'");
    // A fresh image that no quote uses goes with the paragraph; images of quote lines stay.
    const QString sub = node("prod_comp_parti",
                             "idpartecomp",
                             "idcompprodotto = '" + para + "' AND nuordinepartecomp = 2");
    const QString img = NewId();
    sql("INSERT INTO images_dettagli VALUES ('" + img
        + "', '\\x01'); INSERT INTO images_dettagli_preview VALUES ('" + img
        + "', '\\x01'); INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, "
          "nuordineparte) VALUES ('"
        + img + "', '" + img + "', '" + sub + "', 9)");
    const QString usedImage = sql(
        "SELECT i.idimage FROM prod_comp_parte_img i JOIN prod_comp_parti pa USING (idpartecomp) "
        "WHERE pa.idcompprodotto = '"
        + para
        + "' AND EXISTS (SELECT 1 FROM prevdet_nodi n "
          "WHERE n.idimage = i.idimage) LIMIT 1");
    QVERIFY(!usedImage.isEmpty());
    auto rows = run(Exec("DeleteNodo", {T(m_prod), T(para), T(m_prod), "30", "1", kUser}));
    QCOMPARE(m_problem, QString());
    QCOMPARE(rows->CountMatching("idSezione = '" + para + "'"), 0);
    QCOMPARE(sql("SELECT count(*) FROM images_dettagli WHERE idimage = '" + img + "'"),
             QStringLiteral("0"));
    QCOMPARE(sql("SELECT count(*) FROM images_dettagli WHERE idimage = '" + usedImage + "'"),
             QStringLiteral("1"));
    // A table item alone.
    const QString tab = sql("SELECT t.idtabparte FROM prod_comp_parte_tab t JOIN prod_comp_parti "
                            "pa USING (idpartecomp) "
                            "JOIN prod_componenti c USING (idcompprodotto) WHERE c.idprodotto = '"
                            + m_prod + "'");
    const QString item = node("prod_comp_parte_tab_voci",
                              "idtabvoce",
                              "idtabparte = '" + tab + "' AND nuordinevocetab = 1");
    rows = run(Exec("DeleteNodo", {T(m_prod), T(item), T(tab), "90", "0", kUser}));
    QCOMPARE(m_problem, QString());
    QCOMPARE(rows->CountMatching("idParent = '" + tab + "'"), 2);
    QVERIFY(ErrorOf(db, Exec("DeleteNodo", {T(m_prod), T(item), T(tab), "90", "0", kUser}))
                .contains("non trovato"));
}

void TstAlbero::mergeSubParagraphs()
{
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Caratteristiche costruttive'");
    const QString first = node("prod_comp_parti",
                               "idpartecomp",
                               "idcompprodotto = '" + para + "' AND nuordinepartecomp = 1");
    const QString second = node("prod_comp_parti",
                                "idpartecomp",
                                "idcompprodotto = '" + para + "' AND nuordinepartecomp = 2");
    const int contents
        = sql("SELECT count(*) FROM (SELECT 1 FROM prod_comp_parte_txt WHERE idpartecomp IN ('"
              + first + "', '" + second
              + "') UNION ALL SELECT 1 FROM prod_comp_parte_img WHERE idpartecomp IN ('" + first
              + "', '" + second
              + "') UNION ALL SELECT 1 FROM prod_comp_parte_tab WHERE idpartecomp IN ('" + first
              + "', '" + second + "')) x")
              .toInt();
    auto rows = run(Exec("MergeParte", {T(m_prod), T(para), T(second), "2", "0", kUser}));
    QCOMPARE(m_problem, QString());
    QVERIFY(!rows->Locate("idNodo", second));
    QCOMPARE(rows->CountMatching("idParent = '" + first + "'"), contents);
    // The first sub-paragraph's own contents keep their places before the merged ones.
    rows->SetFilter("idParent = '" + first + "'");
    rows->SetFiltered(true);
    rows->SetSort("nuOrderC");
    rows->First();
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 50);
    rows->Last();
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 60); // the image was last of the second
    QVERIFY(
        ErrorOf(m_db->Module(), Exec("MergeParte", {T(m_prod), T(para), T(first), "1", "0", kUser}))
            .contains("primo"));
}

void TstAlbero::newNodesFindTheirPlace()
{
    TSTD_DBMODULE &db = m_db->Module();
    // A data sheet posted with position 0 goes last; one posted "between" takes the place of
    // its reference, which moves down.
    const QString last = NewId(), between = NewId();
    for (const QString &id : {last, between}) {
        TEditableRecord rec(&db, QStringLiteral("Prod_Schede"), QStringLiteral("idSchedaProdotto"));
        rec.Open(Exec("DatiNodo", {T(id), "10"}));
        QVERIFY(rec.IsNew());
        db.BeginTrans();
        rec.Append(id);
        rec.Data().FieldByName("idProdotto").SetValue(m_prod);
        rec.Data().FieldByName("nuOrdineNelProdotto").SetValue(id == last ? 0 : 2);
        rec.Data().FieldByName("txDescSchedaProdotto").SetValue(QStringLiteral("Nuova"));
        rec.Post(QStringLiteral("MROSSI"));
        if (id == last)
            Q(db, Exec("SetOrdineNewNodo", {T(id), T(m_prod), "10", kUser}));
        else
            Q(db, Exec("SetOrdineNewNodo", {T(id), T(m_prod), "10", kUser, T(m_prod), "2", "0"}));
        db.CommitTrans();
    }
    auto rows = QM(db, Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(TreeProblem(*rows[0], m_prod), QString());
    QVERIFY(rows[0]->Locate("idNodo", last));
    QCOMPARE(rows[0]->FieldByName("nuOrderA").AsInteger(), 8);
    QVERIFY(rows[0]->Locate("idNodo", between));
    QCOMPARE(rows[0]->FieldByName("nuOrderA").AsInteger(), 2);
    QVERIFY(rows[0]->Locate("txDescNodo", "Dati di targa"));
    QCOMPARE(rows[0]->FieldByName("nuOrderA").AsInteger(), 3);
    QCOMPARE(sql("SELECT txutentein FROM prod_schede WHERE idschedaprodotto = '" + last + "'"),
             QStringLiteral("MROSSI"));
}

void TstAlbero::subParagraphAtAContent()
{
    // "Inserisci un sottoparagrafo qui" on the second text of "Generalità": the new
    // sub-paragraph follows it and takes that text and the image after it.
    TSTD_DBMODULE &db = m_db->Module();
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Descrizione generale'");
    const QString sub = node("prod_comp_parti",
                             "idpartecomp",
                             "idcompprodotto = '" + para + "' AND nuordinepartecomp = 1");
    const QString id = NewId();
    db.BeginTrans();
    TEditableRecord rec(&db, QStringLiteral("Prod_Comp_Parti"), QStringLiteral("idParteComp"));
    rec.Open(Exec("DatiNodo", {T(id), "40"}));
    rec.Append(id);
    rec.Data().FieldByName("idCompProdotto").SetValue(para);
    rec.Data().FieldByName("nuOrdineParteComp").SetValue(2);
    rec.Post(QStringLiteral("MROSSI"));
    Q(db, Exec("SetOrdineNewNodo", {T(id), T(para), "40", kUser, T(sub), "2", "2"}));
    db.CommitTrans();
    auto rows = QM(db, Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(TreeProblem(*rows[0], m_prod), QString());
    QCOMPARE(rows[0]->CountMatching("idParent = '" + sub + "'"), 1);
    QCOMPARE(rows[0]->CountMatching("idParent = '" + id + "'"), 2);
    QVERIFY(rows[0]->Locate("idNodo", id));
    QCOMPARE(rows[0]->FieldByName("nuOrderB").AsInteger(), 2);
}

void TstAlbero::splitText_data()
{
    QTest::addColumn<bool>("modify");
    QTest::newRow("new texts appended") << false;
    QTest::newRow("modified text replaced in place") << true;
}

void TstAlbero::splitText()
{
    QFETCH(bool, modify);
    TSTD_DBMODULE &db = m_db->Module();
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Descrizione generale'");
    const QString sub = node("prod_comp_parti",
                             "idpartecomp",
                             "idcompprodotto = '" + para + "' AND nuordinepartecomp = 1");
    const QString text = node("prod_comp_parte_txt",
                              "idtxtparte",
                              "idpartecomp = '" + sub + "' AND nuordineparte = 1");
    const QStringList lines{QStringLiteral("Prima voce con l'apostrofo"),
                            QStringLiteral("Seconda \\ voce"),
                            QString(10000, QChar('z'))};
    db.BeginTrans();
    // The window's batch prepares the session's table, then it writes one row per line.
    QCOMPARE(Q(db, QString::fromLatin1(kTempTabTestoBatch))->RecordCount(), 0);
    QStringList ids;
    for (int i = 0; i < lines.size(); ++i) {
        ids << NewId();
        db.ExecuteParams(QStringLiteral(
                             "INSERT INTO TempTabTesto (idTesto, nuRiga, txTesto, txTestoRtf) "
                             "VALUES ($1, $2, $3, $3)"),
                         {ids.last(), i, lines.at(i)});
    }
    Q(db,
      Exec("SplitElencoPuntato",
           {T(m_prod), T(text), T(sub), modify ? "1" : "0", "3", "1", "0", kUser}));
    db.CommitTrans();
    // The lines of the split go with its transaction.
    QCOMPARE(db.QueryParams(QStringLiteral("SELECT count(*) FROM TempTabTesto"), {})
                 ->Fields(0)
                 .AsInteger(),
             0);
    auto rows = QM(db, Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(TreeProblem(*rows[0], m_prod), QString());
    TDataSet &t = *rows[0];
    for (int i = 0; i < ids.size(); ++i) {
        QVERIFY(t.Locate("idNodo", ids.at(i)));
        QCOMPARE(t.FieldByName("txDescNodo").AsString(), lines.at(i));
        QCOMPARE(t.FieldByName("flTestoInElenco").AsInteger(), 1);
        QCOMPARE(int(t.FieldByName("nuOrderC").AsInteger()), modify ? i + 1 : 4 + i);
    }
    QCOMPARE(t.Locate("idNodo", text), !modify);
}

void TstAlbero::enableDisable()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString sheet = node("prod_schede",
                               "idschedaprodotto",
                               "idprodotto = '" + m_prod + "' AND nuordinenelprodotto = 1");
    auto rows = run(Exec("ChangeStateNodo", {T(m_prod), "0", T(sheet), "10", "0", kUser}));
    QVERIFY(rows->Locate("idNodo", sheet));
    QCOMPARE(rows->FieldByName("flAttivo").AsInteger(), 0);
    QCOMPARE(rows->CountMatching("idParent = '" + sheet + "' AND flAttivo = 1"),
             8); // items keep their flags
    rows = run(Exec("ChangeStateNodo", {T(m_prod), "0", T(sheet), "10", "0", kUser}));
    QVERIFY(rows->Locate("idNodo", sheet));
    QCOMPARE(rows->FieldByName("flAttivo").AsInteger(), 1);
    QVERIFY(ErrorOf(db, Exec("ChangeStateNodo", {T(m_prod), "0", T(sheet), "30", "0", kUser}))
                .contains("non trovato"));
}

void TstAlbero::copyIntoAnotherProduct()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString target = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'ACC-ZOC'");
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Caratteristiche costruttive'");
    auto source = QM(db,
                     Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    const int subtree = source[0]->CountMatching("idSezione = '" + para + "'");
    auto before = QM(db,
                     Exec("EstraiAllDettagliProdotto", {T(target), "0", "0", "0", "0", "0", "0"}));
    Q(db, Exec("CopiaNodoInAltroProdotto", {T(para), "30", T(target), kUser}));
    Q(db,
      Exec("CopiaNodoInAltroProdotto",
           {T(para), "30", T(target), kUser})); // twice: new ids each time
    auto after = QM(db,
                    Exec("EstraiAllDettagliProdotto", {T(target), "0", "0", "0", "0", "0", "1"}));
    QCOMPARE(TreeProblem(*after[0], target), QString());
    QCOMPARE(after[0]->RecordCount(), before[0]->RecordCount() + 2 * subtree);
    QCOMPARE(after[0]->CountMatching(
                 "nuTipologia = 30 AND txDescNodo = 'Caratteristiche costruttive'"),
             2);
    QCOMPARE(after[0]->CountMatching("nuTipologia = 60 AND imgNodo <> NULL"), 2); // images copied
    // The source is untouched.
    auto again = QM(db,
                    Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(again[0]->RecordCount(), source[0]->RecordCount());
}

void TstAlbero::nodeRecords()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString sheet = node("prod_schede",
                               "idschedaprodotto",
                               "idprodotto = '" + m_prod + "' AND nuordinenelprodotto = 1");
    auto items = Q(db, Exec("DatiNodo", {T(sheet), "20"}));
    QCOMPARE(items->RecordCount(), 8);
    QCOMPARE(Column(*items, "nuOrdineVoceScheda"),
             QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
    // The grid writes the items back; removed items are deleted.
    items->First();
    const QString gone = items->FieldByName("idVoceScheda").AsString();
    QCOMPARE(db.ExecuteParams(QStringLiteral(
                                  "DELETE FROM Prod_Scheda_Voci WHERE idVoceScheda = $1"),
                              {gone}),
             1);
    QCOMPARE(Q(db, Exec("DatiNodo", {T(sheet), "20"}))->RecordCount(), 7);
    const QString img = sql("SELECT i.idimgparte FROM prod_comp_parte_img i JOIN prod_comp_parti "
                            "pa USING (idpartecomp) "
                            "JOIN prod_componenti c USING (idcompprodotto) WHERE c.idprodotto = '"
                            + m_prod + "' LIMIT 1");
    QVERIFY(!First(*Q(db, Exec("DatiImagesDettaglio", {T(img)})), "imgImage").isEmpty());
    QCOMPARE(Q(db, Exec("DatiImagesDettaglioPreview", {T(img)}))->RecordCount(), 1);
    QCOMPARE(Q(db, Exec("DatiNodo", {T(NewId()), "70"}))->RecordCount(), 0);
    QVERIFY(Q(db, Exec("DatiNodo", {T(NewId()), "70"}))->FieldIndex("txUrlParte") >= 0);
    QVERIFY(ErrorOf(db, Exec("DatiNodo", {T(img), "65"})).contains("Tipologia"));
}

void TstAlbero::staleParentIsRefused()
{
    // Another operator moved the node meanwhile: the window's parent is no longer the node's.
    const QString para = node("prod_componenti",
                              "idcompprodotto",
                              "idprodotto = '" + m_prod
                                  + "' AND txdesccompprodotto = 'Descrizione generale'");
    const QString sub = node("prod_comp_parti",
                             "idpartecomp",
                             "idcompprodotto = '" + para + "' AND nuordinepartecomp = 1");
    const QString other = node("prod_componenti",
                               "idcompprodotto",
                               "idprodotto = '" + m_prod
                                   + "' AND txdesccompprodotto = 'Garanzia e assistenza'");
    const QString err = ErrorOf(m_db->Module(),
                                Exec("DeleteNodo", {T(m_prod), T(sub), T(other), "40", "0", kUser}));
    QVERIFY2(err.contains("altro operatore"), qPrintable(err));
    QCOMPARE(sql("SELECT count(*) FROM prod_comp_parti WHERE idpartecomp = '" + sub + "'"),
             QStringLiteral("1"));
}

// Every sibling sequence of every product numbered 1..n (the tables themselves, not the rows a
// function answers): the number of sequences with a gap or a repeat.
const char *const kBrokenSequences = R"SQL(
WITH s AS (
    SELECT 'top' AS g, idprodotto AS p, nuordinenelprodotto AS pos FROM prod_schede
    UNION ALL SELECT 'top', idprodotto, nuordinenelprodotto FROM prod_componenti
    UNION ALL SELECT 'voci', idschedaprodotto, nuordinevocescheda FROM prod_scheda_voci
    UNION ALL SELECT 'parti', idcompprodotto, nuordinepartecomp FROM prod_comp_parti
    UNION ALL SELECT 'cont', idpartecomp, nuordineparte FROM prod_comp_parte_txt
    UNION ALL SELECT 'cont', idpartecomp, nuordineparte FROM prod_comp_parte_img
    UNION ALL SELECT 'cont', idpartecomp, nuordineparte FROM prod_comp_parte_url
    UNION ALL SELECT 'cont', idpartecomp, nuordineparte FROM prod_comp_parte_tab
    UNION ALL SELECT 'tabvoci', idtabparte, nuordinevocetab FROM prod_comp_parte_tab_voci)
SELECT count(*) FROM (SELECT g, p FROM s GROUP BY g, p
                      HAVING min(pos) <> 1 OR max(pos) <> count(*)
                          OR count(DISTINCT pos) <> count(*)) bad
)SQL";

// Every row of the tree tables with its parent, position and state.
const char *const kTreeSnapshot = R"SQL(
SELECT md5(string_agg(x::text, ',' ORDER BY x::text)) FROM (
    SELECT idschedaprodotto AS id, idprodotto AS p, nuordinenelprodotto AS pos,
           flschedaprodottoattiva::int AS a FROM prod_schede
    UNION ALL SELECT idcompprodotto, idprodotto, nuordinenelprodotto, flcompprodottoattivo
      FROM prod_componenti
    UNION ALL SELECT idvocescheda, idschedaprodotto, nuordinevocescheda, flvoceschedaattiva
      FROM prod_scheda_voci
    UNION ALL SELECT idpartecomp, idcompprodotto, nuordinepartecomp, flpartecompattiva
      FROM prod_comp_parti
    UNION ALL SELECT idtxtparte, idpartecomp, nuordineparte, fltxtparteattiva FROM prod_comp_parte_txt
    UNION ALL SELECT idimgparte, idpartecomp, nuordineparte, flimgparteattiva FROM prod_comp_parte_img
    UNION ALL SELECT idurlparte, idpartecomp, nuordineparte, flurlparteattiva FROM prod_comp_parte_url
    UNION ALL SELECT idtabparte, idpartecomp, nuordineparte, fltabparteattiva FROM prod_comp_parte_tab
    UNION ALL SELECT idtabvoce, idtabparte, nuordinevocetab, flvocetabattiva
      FROM prod_comp_parte_tab_voci) x
)SQL";

void TstAlbero::longSequenceKeepsTheTreeSound()
{
    // A long, repeatable sequence of moves (to any node, valid target or not), merges, deletes
    // and enable/disable on one product: each step is either carried out with every sequence
    // 1..n, no node lost to or taken from another product, and the answered rows sound, or
    // refused with nothing changed.
    const QString otherNodes
        = QStringLiteral("SELECT count(*) FROM prodotti_nodi WHERE idprodotto <> '%1'").arg(m_prod);
    const QString ownNodes
        = QStringLiteral("SELECT count(*) FROM prodotti_nodi WHERE idprodotto = '%1'").arg(m_prod);
    QCOMPARE(sql(kBrokenSequences), QStringLiteral("0"));
    const QString others = sql(otherNodes);
    struct Node
    {
        QString id, parent;
        int kind, position;
    };
    auto parentKind = [](int kind) {
        switch (kind) {
        case 20:
            return 10;
        case 40:
            return 30;
        case 50:
        case 60:
        case 70:
        case 80:
            return 40;
        case 90:
            return 80;
        default:
            return 0; // the product
        }
    };
    QRandomGenerator random(20261210);
    QMap<QString, int> done; // operation -> times carried out
    for (int step = 0; step < 120; ++step) {
        auto load = QM(m_db->Module(),
                       Exec("EstraiAllDettagliProdotto", {T(m_prod), "0", "0", "0", "0", "0", "0"}));
        std::vector<Node> nodes;
        for (TDataSet &r = *load[0]; !r.Eof(); r.Next()) {
            const int kind = int(r.FieldByName("nuTipologia").AsInteger());
            const int position = kind == 40 ? int(r.FieldByName("nuOrderB").AsInteger()) : 0;
            nodes.push_back({r.FieldByName("idNodo").AsString(),
                             r.FieldByName("idParent").AsString(),
                             kind,
                             position});
        }
        if (nodes.size() < 10)
            break;
        auto pick = [&](const std::function<bool(const Node &)> &fits) -> const Node * {
            std::vector<const Node *> fitting;
            for (const Node &n : nodes)
                if (fits(n))
                    fitting.push_back(&n);
            return fitting.empty() ? nullptr : fitting[random.bounded(int(fitting.size()))];
        };
        const Node &moving = nodes[random.bounded(int(nodes.size()))];
        // Mostly a target the node may go to, sometimes any node at all.
        const bool anyTarget = random.bounded(4) == 0;
        QString operation, command;
        switch (random.bounded(6)) {
        case 0:
        case 1: {
            const int wanted = parentKind(moving.kind);
            const Node *target = pick([&](const Node &n) { return anyTarget || n.kind == wanted; });
            operation = QStringLiteral("append");
            command = Exec("AppendNodoProdotto",
                           {T(m_prod),
                            T(moving.id),
                            T(moving.parent),
                            QString::number(moving.kind),
                            T(target && wanted ? target->id : m_prod),
                            "0",
                            kUser});
            break;
        }
        case 2: {
            const Node *target = pick([&](const Node &n) {
                return n.id != moving.id
                       && (anyTarget || parentKind(n.kind) == parentKind(moving.kind));
            });
            if (!target)
                continue;
            operation = QStringLiteral("insert");
            command = Exec("InsertAfterBeforeNodoProdotto",
                           {QString::number(random.bounded(2)),
                            T(m_prod),
                            T(moving.id),
                            T(moving.parent),
                            QString::number(moving.kind),
                            T(target->id),
                            T(target->parent),
                            QString::number(target->kind),
                            "0",
                            kUser});
            break;
        }
        case 3: {
            const Node *part = pick([](const Node &n) { return n.kind == 40; });
            if (!part)
                continue;
            operation = QStringLiteral("merge");
            command = Exec("MergeParte",
                           {T(m_prod),
                            T(part->parent),
                            T(part->id),
                            QString::number(part->position),
                            "0",
                            kUser});
            break;
        }
        case 4: {
            // Deletes keep to the smaller nodes, so that the tree lasts the whole sequence.
            const Node *victim = pick([](const Node &n) { return n.kind >= 50 || n.kind == 20; });
            if (!victim)
                continue;
            operation = QStringLiteral("delete");
            command = Exec("DeleteNodo",
                           {T(m_prod),
                            T(victim->id),
                            T(victim->parent),
                            QString::number(victim->kind),
                            "0",
                            kUser});
            break;
        }
        default:
            operation = QStringLiteral("enable/disable");
            command = Exec("ChangeStateNodo",
                           {T(m_prod), "0", T(moving.id), QString::number(moving.kind), "0", kUser});
        }
        const QString before = sql(kTreeSnapshot);
        std::vector<std::unique_ptr<TDataSet>> sets;
        QString refusal;
        try {
            sets = QM(m_db->Module(), command);
        } catch (const EDatabaseError &e) {
            refusal = e.ProviderText();
        }
        const QString where = QStringLiteral("step %1: %2").arg(step).arg(command);
        if (!refusal.isEmpty()) {
            QVERIFY2(sql(kTreeSnapshot) == before, qPrintable(where + " refused, yet changed"));
            continue;
        }
        ++done[operation];
        QVERIFY2(sets.size() == 2, qPrintable(where));
        const QString problem = TreeProblem(*sets[0], m_prod);
        QVERIFY2(problem.isEmpty(), qPrintable(where + ": " + problem));
        QVERIFY2(sql(kBrokenSequences) == QLatin1String("0"), qPrintable(where + ": gaps"));
        QVERIFY2(sql(otherNodes) == others, qPrintable(where + ": other products touched"));
        QVERIFY2(sql(ownNodes) == QString::number(sets[0]->RecordCount()),
                 qPrintable(where + ": rows and tables differ"));
    }
    // The sequence did exercise every operation.
    for (const char *operation : {"append", "insert", "merge", "delete", "enable/disable"})
        QVERIFY2(done.value(QLatin1String(operation)) > 0, operation);
}

QTEST_GUILESS_MAIN(TstAlbero)
#include "tst_albero.moc"
