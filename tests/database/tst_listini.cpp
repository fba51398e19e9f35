#include "db/editablerecordset.h"
#include "dbtest.h"

using namespace dbtest;

// Price lists as their window uses them, on the demo data: a sub-paragraph's quantity for a
// list, the key of the list's data-sheet values, and what a change of a list brings to the
// open quotes that use it: only what changed, and never over a value the operator set on the
// quote line itself.
class TstListini : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void partWithoutQuantityReadsZero();
    void valuesAreFoundByTheirKey();
    void changesReachOpenLinesButNotTheirOwnValues();
    void quantityChangeReachesOpenLines();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    // A new line of the quote with the product and the list, as the lines editor adds it.
    QString addLine(const QString &quote)
    {
        const QString line = NewId();
        Q(m_db->Module(),
          Exec("AddProdottoToPreventivo",
               {T(quote), T(line), T(m_product), T(m_list), "1", "0", kUser}));
        return line;
    }
    QString lineColumn(const QString &line, const QString &column)
    {
        return sql("SELECT coalesce(" + column
                   + "::text, '<null>') FROM preventivo_dettaglio "
                     "WHERE idpreventivodet = '"
                   + line + "'");
    }
    // A node of a line's copy: its value (items) or "quantity|description" (sub-paragraphs).
    QString node(const QString &line, const QString &id)
    {
        return sql("SELECT CASE WHEN nutipologia = 20 THEN coalesce(txdescnodob, '<null>') "
                   "ELSE coalesce(nuquantita::text, '<null>') || '|' || coalesce(txdescnodo, '') "
                   "END FROM prevdet_nodi WHERE idpreventivodet = '"
                   + line + "' AND idnodo = '" + id + "'");
    }
    // The list's record changed and posted as the window does, then RefreshProdListino, in one
    // transaction.
    void saveList(const std::function<void(TDataSet &)> &change, int times = 1)
    {
        TSTD_DBMODULE &db = m_db->Module();
        TEditableRecord rec(&db, QStringLiteral("Prod_Listini"), QStringLiteral("idProdListino"));
        rec.Open(Exec("DatiListino", {T(m_list)}));
        db.BeginTrans();
        for (int i = 0; i < times; ++i) {
            rec.Edit();
            change(rec.Data());
            rec.Post(QStringLiteral("MROSSI"));
        }
        Q(db, Exec("RefreshProdListino", {T(m_list), kUser}));
        db.CommitTrans();
    }

    std::unique_ptr<TTestDatabase> m_db;
    QString m_product; // QCM-100
    QString m_list;    // its first price list
    QString m_sheet;   // "Dati tecnici"
    QString m_item5;   // "Grado di protezione": the list's value IP55
    QString m_item6;   // "Forma di segregazione": the list's value "Forma 2"
    QString m_part;    // "Struttura e sbarre": the list's quantity 2, the product's 1
};

void TstListini::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstListini::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_product = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QCM-100'");
    m_list = sql("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '" + m_product
                 + "' ORDER BY txcodlistino LIMIT 1");
    m_sheet = sql("SELECT idschedaprodotto FROM prod_schede WHERE idprodotto = '" + m_product
                  + "' AND txdescschedaprodotto = 'Dati tecnici'");
    const QString item = "SELECT idvocescheda FROM prod_scheda_voci WHERE idschedaprodotto = '"
                         + m_sheet + "' AND nuordinevocescheda = %1";
    m_item5 = sql(item.arg(5));
    m_item6 = sql(item.arg(6));
    m_part = sql("SELECT pa.idpartecomp FROM prod_comp_parti pa JOIN prod_componenti c USING "
                 "(idcompprodotto) WHERE c.idprodotto = '"
                 + m_product + "' AND pa.txdescpartecomp = 'Struttura e sbarre'");
    QVERIFY(!m_item6.isEmpty() && !m_part.isEmpty());
}

void TstListini::cleanup()
{
    m_db.reset();
}

// Most sub-paragraphs have no quantity of their own: the panel reads 0, a number its "Ok"
// can send back, not an empty field.
void TstListini::partWithoutQuantityReadsZero()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString part = sql("SELECT pa.idpartecomp FROM prod_comp_parti pa JOIN prod_componenti c "
                             "USING (idcompprodotto) WHERE c.idprodotto = '"
                             + m_product + "' AND pa.txdescpartecomp = 'Generalità'");
    auto row = Q(db, Exec("DatiListinoParteComp", {T(m_list), T(part)}));
    QCOMPARE(row->RecordCount(), 1);
    QVERIFY(!row->FieldByName("nuQuantitaParte").IsNull());
    QCOMPARE(First(*row, "nuQuantitaParte"), QStringLiteral("0"));
    QCOMPARE(First(*row, "txStato"), QStringLiteral("PRODOTTO"));
    // Sent back as read, it stores nothing for the list.
    Q(db,
      Exec("UpdateListinoParte",
           {T(m_list), T(part), T(First(*row, "txDescParteComp")), "0", T("PRODOTTO"), kUser}));
    QCOMPARE(sql("SELECT count(*) FROM prod_list_parte_quantita WHERE idpartecomp = '" + part + "'"),
             QStringLiteral("0"));
    // A negative quantity is refused by the database too.
    QVERIFY(ErrorOf(db,
                    Exec("UpdateListinoParte",
                         {T(m_list), T(part), T("x"), "-2", T("PRODOTTO"), kUser}))
                .contains(QStringLiteral("negativa")));
}

void TstListini::valuesAreFoundByTheirKey()
{
    // The values are written row by row by their one-column key: an index finds them.
    QCOMPARE(sql("SELECT count(*) FROM pg_indexes WHERE tablename = 'prod_list_scheda_valori' "
                 "AND indexdef LIKE 'CREATE UNIQUE INDEX % (idlistinovalore)'"),
             QStringLiteral("1"));
    QCOMPARE(sql("SET enable_seqscan = off; EXPLAIN SELECT xmin FROM prod_list_scheda_valori "
                 "WHERE idlistinovalore = 'x'")
                 .contains(QStringLiteral("Index")),
             true);
}

void TstListini::changesReachOpenLinesButNotTheirOwnValues()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString open = sql("SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 AND dtcanc "
                             "IS NULL AND idsocieta = '"
                             + kSoc1 + "' ORDER BY idpreventivo LIMIT 1");
    const QString other = sql("SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 AND "
                              "dtcanc IS NULL AND idsocieta = '"
                              + kSoc1 + "' AND idpreventivo <> '" + open
                              + "' ORDER BY idpreventivo LIMIT 1");
    const QString follows = addLine(open);  // shows what the list gave it
    const QString own = addLine(open);      // the operator set some values on this line
    const QString blocked = addLine(other); // in a quote blocked afterwards
    sql("UPDATE preventivi SET flbloccato = 1 WHERE idpreventivo = '" + other + "'");
    const QString listPrice = lineColumn(follows, "vllistino");
    const QString amount = lineColumn(follows, "vlimporto");
    QCOMPARE(node(follows, m_item5), QStringLiteral("IP55"));
    QCOMPARE(node(follows, m_part), QStringLiteral("2|Struttura e sbarre"));

    // The line's own values, as the line detail and price windows store them.
    TEditableRecordSet values(&db,
                              QStringLiteral("PrevDet_Scheda_Valori"),
                              QStringLiteral("idRigaValore"));
    values.Open(Exec("DatiPrevDetSchedaValori", {T(own), T(m_sheet)}));
    QVERIFY(values.Data().Locate("idVoceScheda", m_item5));
    values.Data().Edit();
    values.Data().FieldByName("txValoreVoceScheda").SetValue(QStringLiteral("IP54 su misura"));
    values.Post(QStringLiteral("MROSSI"));
    Q(db, Exec("UpdatePrevDetParte", {T(own), T(m_part), T("Sbarre rinforzate"), "9", "''", kUser}));
    sql("UPDATE preventivo_dettaglio SET vllistino = 1000, txdesclistino = 'Prezzo concordato' "
        "WHERE idpreventivodet = '"
        + own + "'");
    const QString ownItem5 = node(own, m_item5);
    const QString ownPart = node(own, m_part);

    // A description-only change: the description follows where the line still has the
    // list's, and nothing else is touched (the line's own value and quantity stay).
    saveList([](TDataSet &l) { l.FieldByName("txDescListino").SetValue("Esecuzione base 2025"); });
    QCOMPARE(lineColumn(follows, "txdesclistino"), QStringLiteral("Esecuzione base 2025"));
    QCOMPARE(lineColumn(own, "txdesclistino"), QStringLiteral("Prezzo concordato"));
    QCOMPARE(node(own, m_item5), ownItem5);
    QCOMPARE(node(own, m_part), ownPart);
    QCOMPARE(lineColumn(blocked, "txdesclistino"), QStringLiteral("Esecuzione base"));

    // The price, changed twice before the propagation: the line that had the list's first
    // price follows; the amount offered and the line's own price stay.
    saveList(
        [](TDataSet &l) {
            l.FieldByName("vlListino").SetValue(l.FieldByName("vlListino").AsFloat() + 50);
        },
        2);
    QCOMPARE(lineColumn(follows, "vllistino").toDouble(), listPrice.toDouble() + 100);
    QCOMPARE(lineColumn(follows, "vlimporto"), amount);
    QCOMPARE(lineColumn(own, "vllistino"), QStringLiteral("1000.00"));
    QCOMPARE(lineColumn(blocked, "vllistino"), listPrice);

    // Data-sheet values saved by the window's record set, then RefreshProdListSchedaVoci.
    TEditableRecordSet list(&db,
                            QStringLiteral("Prod_List_Scheda_Valori"),
                            QStringLiteral("idListinoValore"));
    list.Open(Exec("DatiListinoSchedeValori", {T(m_list), T(m_sheet)}));
    db.BeginTrans();
    QVERIFY(list.Data().Locate("idVoceScheda", m_item5));
    list.Data().Edit();
    list.Data().FieldByName("txValoreVoceScheda").SetValue(QStringLiteral("IP68"));
    list.Data().Post();
    QVERIFY(list.Data().Locate("idVoceScheda", m_item6));
    list.Data().Delete();
    list.Post(QStringLiteral("MROSSI"));
    Q(db, Exec("RefreshProdListSchedaVoci", {T(m_list), T(m_sheet), kUser}));
    db.CommitTrans();
    QCOMPARE(node(follows, m_item5), QStringLiteral("IP68"));
    QCOMPARE(node(follows, m_item6), QStringLiteral("<null>"));
    QCOMPARE(node(own, m_item5), ownItem5);
    QCOMPARE(node(own, m_item6), QStringLiteral("<null>")); // it still had the list's value
    QCOMPARE(node(blocked, m_item5), QStringLiteral("IP55"));
    QCOMPARE(node(blocked, m_item6), QStringLiteral("Forma 2"));
    // Nothing is left to pass on.
    QCOMPARE(sql("SELECT count(*) FROM prod_listini_variazioni"), QStringLiteral("0"));

    // Read back as the quote windows read it.
    auto read = Q(db, Exec("EstraiPrevDetSchedaValori", {T(follows), T(m_sheet)}));
    QVERIFY(read->Locate("idVoceScheda", m_item5));
    QCOMPARE(read->FieldByName("txValoreVoceScheda").AsString(), QStringLiteral("IP68"));
}

// A list's own quantity of a sub-paragraph reaches the open lines that still have the list's
// quantity; a line's own quantity and blocked quotes stay.
void TstListini::quantityChangeReachesOpenLines()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString open = sql("SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 AND dtcanc "
                             "IS NULL AND idsocieta = '"
                             + kSoc1 + "' ORDER BY idpreventivo LIMIT 1");
    const QString follows = addLine(open);
    const QString own = addLine(open);
    Q(db,
      Exec("UpdatePrevDetParte", {T(own), T(m_part), T("Struttura e sbarre"), "9", "''", kUser}));
    const QString other = sql("SELECT idpreventivo FROM preventivi WHERE flbloccato = 0 AND "
                              "dtcanc IS NULL AND idsocieta = '"
                              + kSoc1 + "' AND idpreventivo <> '" + open
                              + "' ORDER BY idpreventivo LIMIT 1");
    const QString blocked = addLine(other);
    sql("UPDATE preventivi SET flbloccato = 1 WHERE idpreventivo = '" + other + "'");

    auto row = Q(db, Exec("DatiListinoParteComp", {T(m_list), T(m_part)}));
    QCOMPARE(First(*row, "nuQuantitaParte"), QStringLiteral("2"));
    Q(db,
      Exec("UpdateListinoParte",
           {T(m_list), T(m_part), T(First(*row, "txDescParteComp")), "12", T("LISTINO"), kUser}));
    QCOMPARE(node(follows, m_part), QStringLiteral("12|Struttura e sbarre"));
    QCOMPARE(node(own, m_part), QStringLiteral("9|Struttura e sbarre"));
    QCOMPARE(node(blocked, m_part), QStringLiteral("2|Struttura e sbarre"));

    // Back to the product's quantity (0: the list sets none) and a description of the list's.
    Q(db,
      Exec("UpdateListinoParte",
           {T(m_list), T(m_part), T("Sbarre in rame"), "0", T("LISTINO"), kUser}));
    QCOMPARE(node(follows, m_part), QStringLiteral("1|Sbarre in rame"));
    QCOMPARE(node(own, m_part), QStringLiteral("9|Sbarre in rame"));
    QCOMPARE(sql("SELECT count(*) FROM prod_listini_variazioni"), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TstListini)
#include "tst_listini.moc"
