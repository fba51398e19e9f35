#include "dbtest.h"

#include <atomic>
#include <thread>

using namespace dbtest;

// Quotes, their lines and line trees, the layout procedures and orders.
class TstPreventivi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void newQuoteThroughRecord();
    void numbersUnderTwoSessions();
    void numbersUnderManySessions();
    void quoteList_data();
    void quoteList();
    void quoteDateFilter();
    void firstListIsTheLatestQuotes_data();
    void firstListIsTheLatestQuotes();
    void lineOperationsDateTheQuote_data();
    void lineOperationsDateTheQuote();
    void blockingAndDeadline_data();
    void blockingAndDeadline();
    void cloneCopiesLinesAndTrees();
    void revisionsAndUndo();
    void revisionsUnderTwoSessions_data();
    void revisionsUnderTwoSessions();
    void headerChangedMeanwhileIsNotOverwritten();
    void deleteRefusals();
    void linesAddMoveDelete();
    void lineRefusals_data();
    void lineRefusals();
    void lineDetail();
    void catalogueSearch();
    void layoutRows();
    void layoutRowsLeaveOutSwitchedOffSubtreesAndCarryPictures();
    void layoutPrintOptions();
    void catalogueImageChangeLeavesQuotesAlone();
    void ordersFromQuotes();
    void folderRecordOfQuoteAndOrder();
    void orderSummaryAndList();

private:
    QString sql(const QString &q) { return m_db->SuperQuery(q); }
    // The day of the program's session (deadlines count from it).
    QDate serverToday() { return m_db->Module().ReadServerTime().date(); }
    // A new numbered quote of company 1 with the given lines (product codes).
    QString newQuote(const QStringList &codes, bool withList = true);
    // The list row of a quote: "txDescMaxOperation|dtMaxOperation|flUltimaRevisione".
    QString listed(const QString &id);
    // A second program on the same catalog, logged on as that operator.
    std::unique_ptr<TSTD_DBMODULE> otherProgram(const QString &operatorCode);
    std::unique_ptr<TTestDatabase> m_db;
};

void TstPreventivi::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void TstPreventivi::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
}

void TstPreventivi::cleanup()
{
    m_db.reset();
}

QString TstPreventivi::newQuote(const QStringList &codes, bool withList)
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString id = NewId();
    sql("INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, "
        "nuggscaddalblocco) VALUES ('"
        + id + "', '" + kSoc1 + "', (SELECT min(idcliente) FROM clienti WHERE idsocieta = '" + kSoc1
        + "'), 'Prova', 10)");
    Q(db, Exec("SetNewPreventivo", {T(id), kUser}));
    for (const QString &code : codes) {
        const QString p = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '" + code
                              + "'");
        const QString list = withList ? sql(
                                 "SELECT min(idprodlistino) FROM prod_listini WHERE idprodotto = '"
                                 + p + "' AND dtcanc IS NULL")
                                      : QString();
        Q(db,
          Exec("AddProdottoToPreventivo",
               {T(id),
                T(NewId()),
                T(p),
                list.isEmpty() ? "NULL" : T(list),
                "1",
                code.startsWith("ACC") ? "1" : "0",
                kUser}));
    }
    return id;
}

void TstPreventivi::newQuoteThroughRecord()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString id = NewId();
    TEditableRecord rec(&db, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    rec.Open(Exec("DatiPreventivo", {T(id)}));
    QVERIFY(rec.IsNew());
    db.BeginTrans();
    rec.Append(id);
    rec.Data().FieldByName("idSocieta").SetValue(kSoc1);
    rec.Data().FieldByName("txDescOggetto").SetValue(QStringLiteral("Quadro per l'officina"));
    rec.Data().FieldByName("flScadenzaFissa").SetValue(0);
    rec.Data().FieldByName("nuGGScadDalBlocco").SetValue(15);
    rec.Post(QStringLiteral("MROSSI"));
    auto num = Q(db, Exec("SetNewPreventivo", {T(id), kUser}));
    db.CommitTrans();
    const int year = serverToday().year();
    QCOMPARE(First(*num, "nuAnnoPreventivo").toInt(), year);
    QCOMPARE(First(*num, "nuRevisione"), QStringLiteral("1"));
    auto list = Q(db,
                  Exec("EstraiPreventivi ",
                       {"1",
                        T(kSoc1),
                        QString::number(year),
                        First(*num, "nuPreventivo"),
                        "null",
                        "null",
                        "null",
                        "null",
                        "0",
                        "1",
                        "0"}));
    QCOMPARE(list->RecordCount(), 1);
    QCOMPARE(First(*list, "txNuPreventivo"),
             QStringLiteral("%1/%2")
                 .arg(First(*num, "nuPreventivo").toInt(), 4, 10, QChar('0'))
                 .arg(year));
    QCOMPARE(First(*list, "txScadenza"), QStringLiteral("15 gg dal blocco"));
    QVERIFY(list->FieldByName("idCliente").IsNull());
    QCOMPARE(First(*list, "txDescMaxOperation"), QStringLiteral("Inserimento - MROSSI"));
    QCOMPARE(First(*list, "flOkProdottiPrincipali"), QStringLiteral("0"));
    // A numbered quote keeps its number.
    auto again = Q(db, Exec("SetNewPreventivo", {T(id), kUser}));
    QCOMPARE(First(*again, "nuPreventivo"), First(*num, "nuPreventivo"));
}

void TstPreventivi::numbersUnderTwoSessions()
{
    QStringList ids;
    for (int i = 0; i < 2; ++i) {
        ids << NewId();
        sql("INSERT INTO preventivi (idpreventivo, idsocieta, txdescoggetto) VALUES ('" + ids.last()
            + "', '" + kSoc2 + "', 'Concorrenza')");
    }
    TSTD_DBMODULE a, b;
    a.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(m_db->Params()));
    b.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(m_db->Params()));
    m_db->LogOn(QStringLiteral("MROSSI"), &a);
    m_db->LogOn(QStringLiteral("MROSSI"), &b);
    a.BeginTrans();
    const int na = First(*Q(a, Exec("SetNewPreventivo", {T(ids[0]), kUser})), "nuPreventivo").toInt();
    std::atomic<bool> done{false};
    int nb = 0;
    QString errorB;
    std::thread other([&] {
        try {
            nb = First(*Q(b, Exec("SetNewPreventivo", {T(ids[1]), kUser})), "nuPreventivo").toInt();
        } catch (const EDatabaseError &e) {
            errorB = e.ProviderText();
        }
        done = true;
    });
    QTest::qWait(400);
    QVERIFY(!done); // the second session waits for the first one's transaction
    a.CommitTrans();
    other.join();
    QVERIFY2(errorB.isEmpty(), qPrintable(errorB));
    QCOMPARE(nb, na + 1);
}

void TstPreventivi::numbersUnderManySessions()
{
    // Four sessions number ten quotes each at the same time: forty different numbers in a row.
    const int sessions = 4, each = 10;
    QStringList ids;
    for (int i = 0; i < sessions * each; ++i) {
        ids << NewId();
        sql("INSERT INTO preventivi (idpreventivo, idsocieta, txdescoggetto) VALUES ('" + ids.last()
            + "', '" + kSoc2 + "', 'Carico')");
    }
    const int before
        = sql("SELECT coalesce(max(nupreventivo), 0) FROM preventivi WHERE idsocieta = '" + kSoc2
              + "' AND nuannopreventivo = extract(year FROM current_date)")
              .toInt();
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    std::vector<std::unique_ptr<TSTD_DBMODULE>> programs;
    for (int s = 0; s < sessions; ++s) {
        programs.push_back(std::make_unique<TSTD_DBMODULE>());
        programs.back()->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(m_db->Params()));
        m_db->LogOn(QStringLiteral("MROSSI"), programs.back().get());
    }
    for (int s = 0; s < sessions; ++s) {
        threads.emplace_back([&, s] {
            TSTD_DBMODULE &db = *programs.at(s);
            for (int i = 0; i < each; ++i) {
                try {
                    db.Query(Exec("SetNewPreventivo", {T(ids[s * each + i]), kUser}));
                } catch (const EDatabaseError &) {
                    ++failures;
                }
            }
        });
    }
    for (auto &t : threads)
        t.join();
    QCOMPARE(failures.load(), 0);
    QCOMPARE(sql("SELECT count(DISTINCT nupreventivo) || '/' || min(nupreventivo) || '/' || "
                 "max(nupreventivo) "
                 "FROM preventivi WHERE txdescoggetto = 'Carico'"),
             QStringLiteral("%1/%2/%3")
                 .arg(sessions * each)
                 .arg(before + 1)
                 .arg(before + sessions * each));
}

void TstPreventivi::quoteList_data()
{
    QTest::addColumn<QStringList>("args"); // after the company
    QTest::addColumn<QString>("check");    // a filter every row must pass ("" = none)
    QTest::addColumn<int>("minimum");
    const QString n = QStringLiteral("null");
    QTest::newRow("blocked excluded")
        << QStringList{n, n, n, n, n, n, "0", "0", "0"} << "flBloccato = 0" << 5;
    QTest::newRow("not active included")
        << QStringList{n, n, n, n, n, n, "1", "1", "0"} << "" << 30;
    QTest::newRow("for an order") << QStringList{n, n, n, n, n, n, "0", "1", "1"}
                                  << "flBloccato = 1 AND flOrdinato = 0" << 1;
    QTest::newRow("subject starts with")
        << QStringList{n, n, n, SqlStartsWith("rifasamento"), n, n, "1", "1", "0"}
        << "txDescOggetto = 'Rifasamento stabilimento'" << 1;
    QTest::newRow("customer search, all nations")
        << QStringList{n, n, n, n, n, n, "1", "1", "0", n, SqlContains("a"), n, n, "2", n} << ""
        << 10;
}

void TstPreventivi::quoteList()
{
    QFETCH(QStringList, args);
    QFETCH(QString, check);
    QFETCH(int, minimum);
    auto rows = Q(m_db->Module(), Exec("EstraiPreventivi ", QStringList{"1", T(kSoc1)} + args));
    QVERIFY2(rows->RecordCount() >= minimum, qPrintable(QString::number(rows->RecordCount())));
    if (!check.isEmpty())
        QCOMPARE(rows->CountMatching(check), rows->RecordCount());
    QCOMPARE(rows->CountMatching(QStringLiteral("idSocieta <> '%1'").arg(kSoc1)), 0);
}

void TstPreventivi::quoteDateFilter()
{
    // Both ends of the period count, whole days.
    const QDate to = serverToday().addDays(-60), from = to.addDays(-90);
    auto rows = Q(m_db->Module(),
                  Exec("EstraiPreventivi ",
                       {"1",
                        T(kSoc1),
                        "null",
                        "null",
                        "null",
                        "null",
                        T(from.toString("yyyyMMdd")),
                        T(to.toString("yyyyMMdd")),
                        "1",
                        "1",
                        "0"}));
    const int expected = sql("SELECT count(*) FROM preventivi WHERE idsocieta = '" + kSoc1
                             + "' AND dtpreventivo::date BETWEEN '" + from.toString(Qt::ISODate)
                             + "' AND '" + to.toString(Qt::ISODate) + "'")
                             .toInt();
    QVERIFY(expected > 0);
    QCOMPARE(rows->RecordCount(), expected);
}

QString TstPreventivi::listed(const QString &id)
{
    const QString of = " FROM preventivi WHERE idpreventivo = '" + id + "'";
    auto rows = Q(m_db->Module(),
                  Exec("EstraiPreventivi ",
                       {"1",
                        T(sql("SELECT idsocieta" + of)),
                        sql("SELECT nuannopreventivo" + of),
                        sql("SELECT nupreventivo" + of),
                        "null",
                        "null",
                        "null",
                        "null",
                        "1",
                        "1",
                        "0"}));
    if (!rows->Locate("idPreventivo", id))
        return QStringLiteral("not listed");
    return rows->FieldByName("txDescMaxOperation").AsString() + '|'
           + rows->FieldByName("dtMaxOperation").AsDateTime().toString(Qt::ISODateWithMs) + '|'
           + rows->FieldByName("flUltimaRevisione").AsString();
}

std::unique_ptr<TSTD_DBMODULE> TstPreventivi::otherProgram(const QString &operatorCode)
{
    auto other = std::make_unique<TSTD_DBMODULE>();
    other->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(m_db->Params()));
    m_db->LogOn(operatorCode, other.get());
    return other;
}

void TstPreventivi::firstListIsTheLatestQuotes_data()
{
    QTest::addColumn<QString>("who");
    QTest::addColumn<QString>("company"); // SQL giving the company the window starts on
    QTest::newRow("operator of a company") << "MROSSI"
                                           << "'" + kSoc1 + "'";
    QTest::newRow("without a company: the first of the selector")
        << "GBIANCHI"
        << "(SELECT idsocieta FROM societa WHERE dtcanc IS NULL ORDER BY upper(txdenominazione) "
           "LIMIT 1)";
}

void TstPreventivi::firstListIsTheLatestQuotes()
{
    // The list a window opens on, before any filter: the company's active quotes, the most
    // recent operation first, at most 100 of them.
    QFETCH(QString, who);
    QFETCH(QString, company);
    m_db->LogOn(who);
    const QString soc = sql("SELECT " + company);
    const int active = sql("SELECT count(*) FROM preventivi WHERE dtcanc IS NULL AND idsocieta = '"
                           + soc + "'")
                           .toInt();
    QVERIFY(active > 0);
    auto rows = Q(m_db->Module(), Exec("EstraiPreventivi ", {"0"}));
    QCOMPARE(rows->RecordCount(), qMin(active, 100));
    QCOMPARE(rows->CountMatching(QStringLiteral("idSocieta = '%1' AND dtCanc = NULL").arg(soc)),
             rows->RecordCount());
    QDateTime previous;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        const QDateTime dt = rows->FieldByName("dtMaxOperation").AsDateTime();
        QVERIFY(!previous.isValid() || dt <= previous);
        previous = dt;
    }
    // Bounded: with more quotes than that, the newest hundred.
    for (int i = 0; i < 110; ++i)
        sql("INSERT INTO preventivi (idpreventivo, idsocieta, txdescoggetto, dtin) VALUES ('"
            + NewId() + "', '" + soc + "', 'Recente', now() + interval '1 hour')");
    rows = Q(m_db->Module(), Exec("EstraiPreventivi ", {"0"}));
    QCOMPARE(rows->RecordCount(), 100);
    QCOMPARE(rows->CountMatching(QStringLiteral("txDescOggetto = 'Recente'")), 100);
}

void TstPreventivi::lineOperationsDateTheQuote_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("dated"); // an operation on the quote
    QTest::newRow("line added") << "add" << true;
    QTest::newRow("line moved") << "move" << true;
    QTest::newRow("line removed") << "delete" << true;
    QTest::newRow("price list of a line") << "list" << true;
    QTest::newRow("node of a line switched off") << "node" << true;
    QTest::newRow("sub-paragraph of a line") << "part" << true;
    QTest::newRow("data-sheet value written by the program") << "value" << true;
    QTest::newRow("catalogue refresh changing nothing") << "refresh" << false;
}

void TstPreventivi::lineOperationsDateTheQuote()
{
    QFETCH(QString, operation);
    QFETCH(bool, dated);
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-110", "ACC-ZOC"});
    // Everything done so far happened yesterday.
    sql("UPDATE preventivi SET dtin = localtimestamp - interval '1 day', txutentein = 'MROSSI' "
        "WHERE idpreventivo = '"
        + q + "'");
    sql("UPDATE preventivi_operazioni_righe o SET dtoperazione = q.dtin FROM preventivi q "
        "WHERE q.idpreventivo = o.idpreventivo AND q.idpreventivo = '"
        + q + "'");
    const QString before = listed(q);
    QVERIFY2(before.startsWith("Inserimento - MROSSI|"), qPrintable(before));

    auto lines = Q(db, Exec("EstraiProdottiInPreventivo", {T(q)}));
    lines->First();
    const QString line = lines->FieldByName("idPreventivoDet").AsString();
    const QString product = lines->FieldByName("idProdotto").AsString();
    auto tree = QM(db, Exec("EstraiAllDettagliProdotto", {T(line), "1", "0", "0", "0", "0", "1"}));
    tree[0]->SetFilter("nuTipologia = 40");
    tree[0]->SetFiltered(true);
    tree[0]->First();
    const QString part = tree[0]->FieldByName("idNodo").AsString();
    m_db->LogOn(QStringLiteral("GBIANCHI")); // another operator works on the lines
    const QString user = T("GBIANCHI");
    if (operation == "add") {
        const QString p = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'ACC-ILL'");
        db.Execute(
            Exec("AddProdottoToPreventivo", {T(q), T(NewId()), T(p), "NULL", "1", "1", user}));
    } else if (operation == "move") {
        Q(db, Exec("MovePreventivoDettaglio", {T(q), T(line), "1", "2", user}));
    } else if (operation == "delete") {
        Q(db, Exec("DelPreventivoDettaglio", {T(q), T(line), "1", user}));
    } else if (operation == "list") {
        db.Execute(Exec("UpdateChangeOfListino", {T(line), "''", user}));
    } else if (operation == "node") {
        QM(db, Exec("ChangeStateNodo", {T(line), "1", T(part), "40", "1", user}));
    } else if (operation == "part") {
        Q(db, Exec("UpdatePrevDetParte", {T(line), T(part), T("Su misura"), "2", "''", user}));
    } else if (operation == "value") {
        tree[0]->SetFilter("nuTipologia = 10");
        tree[0]->First();
        auto rows = Q(db,
                      Exec("DatiPrevDetSchedaValori",
                           {T(line), T(tree[0]->FieldByName("idNodo").AsString())}));
        rows->First();
        QCOMPARE(db.ExecuteParams(QStringLiteral("UPDATE PrevDet_Scheda_Valori SET "
                                                 "txValoreVoceScheda = $1, txUtenteMod = $2, "
                                                 "dtMod = $3 WHERE idRigaValore = $4"),
                                  {QStringLiteral("IP68"),
                                   QStringLiteral("GBIANCHI"),
                                   QDateTime::currentDateTime(),
                                   rows->FieldByName("idRigaValore").AsString()}),
                 1);
    } else {
        Q(db, Exec("RefreshProdottoInDettagliPrev", {T(product), user}));
    }
    m_db->LogOn(QStringLiteral("MROSSI"));
    const QString after = listed(q);
    if (!dated) {
        QCOMPARE(after, before);
        return;
    }
    QVERIFY2(after.startsWith("Modifica prodotti - GBIANCHI|"), qPrintable(after));
    const QDateTime when = QDateTime::fromString(after.section('|', 1, 1), Qt::ISODateWithMs);
    QVERIFY(when > QDateTime::fromString(before.section('|', 1, 1), Qt::ISODateWithMs));
    QVERIFY(qAbs(when.secsTo(db.ReadServerTime())) < 60);
}

void TstPreventivi::blockingAndDeadline_data()
{
    QTest::addColumn<int>("fixed");
    QTest::newRow("days from blocking") << 0;
    QTest::newRow("fixed date") << 1;
}

void TstPreventivi::blockingAndDeadline()
{
    QFETCH(int, fixed);
    TSTD_DBMODULE &db = m_db->Module();
    const QString id = newQuote({"QDG-100"});
    sql(QStringLiteral(
            "UPDATE preventivi SET flscadenzafissa = %1, nuggscaddalblocco = %2, dtscadenza = %3 "
            "WHERE idpreventivo = '%4'")
            .arg(fixed)
            .arg(fixed ? 0 : 7)
            .arg(fixed ? "'2031-05-20'" : "NULL", id));
    m_db->LogOn(QStringLiteral("GBIANCHI")); // another operator blocks it
    auto r = Q(db, Exec("ChangeBloccoPreventivo", {T(id), "1", T("GBIANCHI")}));
    m_db->LogOn(QStringLiteral("MROSSI"));
    const QDate expected = fixed ? QDate(2031, 5, 20) : serverToday().addDays(7);
    QCOMPARE(r->FieldByName("dtScadenza").AsDateTime().date(), expected);
    QCOMPARE(sql("SELECT txutenteblocco || flbloccato FROM preventivi WHERE idpreventivo = '" + id
                 + "'"),
             QStringLiteral("GBIANCHI1"));
    // Blocked after an export: nothing more to do.
    QCOMPARE(First(*Q(db, Exec("BloccaPreventivo", {T(id), kUser})), "StatoOp"),
             QStringLiteral("GIA_BLOCCATO"));
    QVERIFY(ErrorOf(db, Exec("ChangeStatoPreventivo", {T(id), "0", kUser})).contains("bloccato"));
    r = Q(db, Exec("ChangeBloccoPreventivo", {T(id), "0", kUser}));
    QCOMPARE(r->FieldByName("dtScadenza").IsNull(), !fixed);
    QCOMPARE(sql("SELECT txutentesblocco || flbloccato FROM preventivi WHERE idpreventivo = '" + id
                 + "'"),
             QStringLiteral("MROSSI0"));
    auto b = Q(db, Exec("BloccaPreventivo", {T(id), kUser}));
    QCOMPARE(First(*b, "StatoOp"), QStringLiteral("OK_BLOCCO"));
    QCOMPARE(b->FieldByName("dtScadenza").AsDateTime().date(), expected);
    auto list
        = Q(db,
            Exec("EstraiPreventivi ",
                 {"1", T(kSoc1), "null", "null", "null", "null", "null", "null", "1", "1", "0"}));
    QVERIFY(list->Locate("idPreventivo", id));
    QCOMPARE(list->FieldByName("txScadenza").AsString(), expected.toString("dd/MM/yyyy"));
    QVERIFY(list->FieldByName("txDescMaxOperation").AsString().startsWith("Blocco"));
}

void TstPreventivi::cloneCopiesLinesAndTrees()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString src = newQuote({"QDG-100", "ACC-ZOC", "DOC-CE"});
    sql("UPDATE preventivi SET flbloccato = 1, txnomefolder = 'cartella' WHERE idpreventivo = '"
        + src + "'");
    sql("UPDATE prevdet_nodi n SET flattivo = 0 FROM preventivo_dettaglio d WHERE "
        "d.idpreventivodet = n.idpreventivodet "
        "AND d.idpreventivo = '"
        + src + "' AND n.nutipologia = 50");
    const QString copy = NewId();
    const int quotes = sql("SELECT count(*) FROM preventivi").toInt();
    m_db->LogOn(QStringLiteral("GBIANCHI"));
    Q(db, Exec("ClonePreventivo", {T(src), T(copy), T("GBIANCHI")}));
    m_db->LogOn(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT count(*) FROM preventivi").toInt(), quotes + 1);
    QCOMPARE(sql("SELECT flbloccato || '/' || coalesce(txnomefolder, '-') || '/' || nurevisione || "
                 "'/' || txutentein "
                 "FROM preventivi WHERE idpreventivo = '"
                 + copy + "'"),
             QStringLiteral("0/-/1/GBIANCHI"));
    QVERIFY(sql("SELECT (SELECT nupreventivo FROM preventivi WHERE idpreventivo = '" + copy
                + "') > (SELECT nupreventivo FROM preventivi WHERE idpreventivo = '" + src + "')")
            == "t");
    auto a = Q(db, Exec("EstraiProdottiInPreventivo", {T(src)}));
    auto b = Q(db, Exec("EstraiProdottiInPreventivo", {T(copy)}));
    QCOMPARE(b->RecordCount(), 3);
    for (a->First(), b->First(); !a->Eof(); a->Next(), b->Next()) {
        QVERIFY(a->FieldByName("idPreventivoDet").AsString()
                != b->FieldByName("idPreventivoDet").AsString());
        for (const char *f : {"nuOrdinamento",
                              "idProdotto",
                              "idProdListino",
                              "vlImporto",
                              "nuQuantita",
                              "flAccessorio"})
            QCOMPARE(b->FieldByName(f).AsString(), a->FieldByName(f).AsString());
        auto ta = QM(
            db,
            Exec("EstraiAllDettagliProdotto",
                 {T(a->FieldByName("idPreventivoDet").AsString()), "1", "0", "0", "0", "0", "1"}));
        auto tb = QM(
            db,
            Exec("EstraiAllDettagliProdotto",
                 {T(b->FieldByName("idPreventivoDet").AsString()), "1", "0", "0", "0", "0", "1"}));
        QCOMPARE(TreeProblem(*tb[0], b->FieldByName("idPreventivoDet").AsString()), QString());
        QCOMPARE(tb[0]->RecordCount(), ta[0]->RecordCount());
        QCOMPARE(tb[0]->CountMatching("flAttivo = 0"), ta[0]->CountMatching("flAttivo = 0"));
        QCOMPARE(Column(*tb[0], "txDescNodoB"), Column(*ta[0], "txDescNodoB"));
    }
}

void TstPreventivi::revisionsAndUndo()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q1 = newQuote({"QCM-100"});
    const QString r2 = NewId();
    QVERIFY(ErrorOf(db, Exec("RevisionePreventivo", {T(q1), T(r2), kUser})).contains("bloccato"));
    Q(db, Exec("ChangeBloccoPreventivo", {T(q1), "1", kUser}));
    Q(db, Exec("RevisionePreventivo", {T(q1), T(r2), kUser}));
    QCOMPARE(sql("SELECT string_agg(nurevisione || ':' || flbloccato, ',' ORDER BY nurevisione) "
                 "FROM preventivi p "
                 "WHERE (nuannopreventivo, nupreventivo) = (SELECT nuannopreventivo, nupreventivo "
                 "FROM preventivi "
                 "WHERE idpreventivo = '"
                 + q1 + "') AND idsocieta = '" + kSoc1 + "'"),
             QStringLiteral("1:1,2:0"));
    QCOMPARE(Q(db, Exec("EstraiProdottiInPreventivo", {T(r2)}))->RecordCount(), 1);
    // The list tells the latest revision, the only one the menu offers to revise or undo.
    QVERIFY(listed(q1).endsWith("|0"));
    QVERIFY(listed(r2).endsWith("|1"));
    // Only the latest revision can be revised or undone; the first never.
    QVERIFY(
        ErrorOf(db, Exec("RevisionePreventivo", {T(q1), T(NewId()), kUser})).contains("successiva"));
    QVERIFY(
        ErrorOf(db, Exec("UndoRevisionePreventivo", {T(q1), kUser})).contains("prima revisione"));
    QCOMPARE(First(*Q(db, Exec("DeletePreventivo", {T(r2), "1", kUser})), "flOk"),
             QStringLiteral("0"));
    auto undo = Q(db, Exec("UndoRevisionePreventivo", {T(r2), kUser}));
    QCOMPARE(First(*undo, "LastId"), q1);
    QCOMPARE(sql("SELECT count(*) FROM preventivi WHERE idpreventivo = '" + r2 + "'"),
             QStringLiteral("0"));
    QCOMPARE(sql("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = '" + r2 + "'"),
             QStringLiteral("0"));
}

void TstPreventivi::revisionsUnderTwoSessions_data()
{
    QTest::addColumn<QString>("second"); // what the second operator tries meanwhile
    QTest::addColumn<QString>("refusal");
    QTest::newRow("both revise") << "revise"
                                 << "revisione successiva";
    QTest::newRow("revise while the other unblocks") << "unblock"
                                                     << "deve essere bloccato";
}

void TstPreventivi::revisionsUnderTwoSessions()
{
    // Two operators act on the latest revision of the same quote at once: the first one's
    // transaction is still open when the second one asks. The second waits, then sees what the
    // first did: a revision is made only from the latest blocked revision, and only once.
    QFETCH(QString, second);
    QFETCH(QString, refusal);
    const QString q1 = newQuote({"QCM-100"});
    Q(m_db->Module(), Exec("ChangeBloccoPreventivo", {T(q1), "1", kUser}));
    std::unique_ptr<TSTD_DBMODULE> a = otherProgram(QStringLiteral("MROSSI"));
    std::unique_ptr<TSTD_DBMODULE> b = otherProgram(QStringLiteral("GBIANCHI"));
    a->BeginTrans();
    if (second == "revise")
        Q(*a, Exec("RevisionePreventivo", {T(q1), T(NewId()), kUser}));
    else
        Q(*a, Exec("ChangeBloccoPreventivo", {T(q1), "0", kUser}));
    std::atomic<bool> done{false};
    QString errorB;
    std::thread other([&] {
        errorB = ErrorOf(*b, Exec("RevisionePreventivo", {T(q1), T(NewId()), T("GBIANCHI")}));
        done = true;
    });
    QTest::qWait(400);
    QVERIFY(!done); // the second operator waits for the first one's transaction
    a->CommitTrans();
    other.join();
    QVERIFY2(errorB.contains(refusal), qPrintable(errorB));
    QCOMPARE(sql("SELECT count(*) FROM preventivi p JOIN preventivi q USING (idsocieta, "
                 "nuannopreventivo, nupreventivo) WHERE q.idpreventivo = '"
                 + q1 + "'"),
             second == "revise" ? QStringLiteral("2") : QStringLiteral("1"));
}

void TstPreventivi::headerChangedMeanwhileIsNotOverwritten()
{
    // An operator changes the header while another one blocks the quote: the save finds the
    // row changed, stores nothing and reads the row again (blocked, as it now is).
    const QString q = newQuote({"QDG-100"});
    TSTD_DBMODULE &db = m_db->Module();
    TEditableRecord rec(&db, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    rec.Open(Exec("DatiPreventivo", {T(q)}));
    std::unique_ptr<TSTD_DBMODULE> other = otherProgram(QStringLiteral("GBIANCHI"));
    Q(*other, Exec("ChangeBloccoPreventivo", {T(q), "1", T("GBIANCHI")}));
    rec.Edit();
    rec.Data().FieldByName("txDescOggetto").SetValue(QStringLiteral("Oggetto cambiato"));
    db.BeginTrans();
    QVERIFY_THROWS_EXCEPTION(ERecordChanged, rec.Post(QStringLiteral("MROSSI")));
    db.RollbackTrans();
    QCOMPARE(rec.Data().FieldByName("flBloccato").AsInteger(), 1);
    QCOMPARE(rec.Data().FieldByName("txDescOggetto").AsString(), QStringLiteral("Prova"));
    QCOMPARE(sql("SELECT txdescoggetto || '/' || flbloccato FROM preventivi WHERE idpreventivo = '"
                 + q + "'"),
             QStringLiteral("Prova/1"));
}

void TstPreventivi::deleteRefusals()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString blocked = sql("SELECT min(idpreventivo) FROM preventivi WHERE flbloccato = 1");
    auto r = Q(db, Exec("DeletePreventivo", {T(blocked), "1", kUser}));
    QCOMPARE(First(*r, "flOk"), QStringLiteral("0"));
    QCOMPARE(First(*r, "ErrMess"), QStringLiteral("Impossibile eliminare un preventivo bloccato."));
    const QString ordered = sql("SELECT min(idpreventivo) FROM ordini");
    sql("UPDATE preventivi SET flbloccato = 0 WHERE idpreventivo = '" + ordered + "'");
    QCOMPARE(First(*Q(db, Exec("DeletePreventivo", {T(ordered), "1", kUser})), "flOk"),
             QStringLiteral("0"));
    const QString open = newQuote({"QDG-100", "ACC-VEN"});
    r = Q(db, Exec("DeletePreventivo", {T(open), "0", kUser}));
    QCOMPARE(First(*r, "flOk"), QStringLiteral("1"));
    QCOMPARE(sql("SELECT count(*) FROM prevdet_nodi n JOIN preventivo_dettaglio d USING "
                 "(idpreventivodet) WHERE "
                 "d.idpreventivo = '"
                 + open + "'"),
             QStringLiteral("0"));
    QVERIFY(ErrorOf(db, Exec("DeletePreventivo", {T(open), "0", kUser})).contains("non trovato"));
}

void TstPreventivi::linesAddMoveDelete()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({});
    const QString p = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QCM-110'");
    const QString list = sql("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '" + p
                             + "' AND txcodlistino LIKE 'L2%'");
    const QString line = NewId();
    db.Execute(Exec("AddProdottoToPreventivo", {T(q), T(line), T(p), T(list), "2.5", "0", kUser}));
    auto rows = Q(db, Exec("EstraiProdottiInPreventivo", {T(q)}));
    QCOMPARE(rows->RecordCount(), 1);
    QCOMPARE(rows->FieldByName("nuQuantita").AsFloat(), 2.5);
    QCOMPARE(rows->FieldByName("vlImporto").AsString(), rows->FieldByName("vlListino").AsString());
    QCOMPARE(rows->FieldByName("txCodListino").AsString(), QStringLiteral("L2-QCM"));
    QCOMPARE(rows->FieldByName("flProdottoAttivo").AsInteger(), 1);
    QVERIFY(!rows->FieldByName("imgCopertina").IsNull());
    // The line's own tree: the product's nodes with the list's quantity and values.
    auto tree = QM(db, Exec("EstraiAllDettagliProdotto", {T(line), "1", "0", "0", "0", "0", "1"}));
    QCOMPARE(TreeProblem(*tree[0], line), QString());
    auto prodTree = QM(db, Exec("EstraiAllDettagliProdotto", {T(p), "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(tree[0]->RecordCount(), prodTree[0]->RecordCount());
    QCOMPARE(tree[0]->CountMatching("nuTipologia = 20 AND txDescNodoB <> NULL"), 3);
    QVERIFY(tree[0]->Locate("txDescNodoB", "Forma 3b"));
    const QString part = sql(
        "SELECT idpartecomp FROM prod_list_parte_quantita WHERE idprodlistino = '" + list + "'");
    QVERIFY(tree[0]->Locate("idNodo", part));
    QCOMPARE(tree[0]->FieldByName("nuQuantita").AsString(),
             sql("SELECT nuquantitaparte FROM prod_list_parte_quantita WHERE idprodlistino = '"
                 + list + "'"));
    // Documentation is an accessory line; an accessory keeps its flag.
    const QString doc = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'DOC-MAN'");
    const QString acc = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'ACC-ILL'");
    db.Execute(Exec("AddProdottoToPreventivo", {T(q), T(NewId()), T(doc), "NULL", "1", "0", kUser}));
    const QString accLine = NewId();
    db.Execute(Exec("AddProdottoToPreventivo", {T(q), T(accLine), T(acc), "NULL", "3", "1", kUser}));
    rows = Q(db, Exec("EstraiProdottiInPreventivo", {T(q)}));
    QCOMPARE(Column(*rows, "flAccessorio"), QStringList({"0", "1", "1"}));
    QVERIFY(rows->Locate("idProdotto", doc));
    QVERIFY(rows->FieldByName("vlImporto").IsNull());
    // Move the third line to the top; a stale position is refused.
    rows = Q(db, Exec("MovePreventivoDettaglio", {T(q), T(accLine), "3", "1", kUser}));
    QCOMPARE(Column(*rows, "nuOrdinamento"), QStringList({"1", "2", "3"}));
    rows->First();
    QCOMPARE(rows->FieldByName("idPreventivoDet").AsString(), accLine);
    QVERIFY(ErrorOf(db, Exec("MovePreventivoDettaglio", {T(q), T(accLine), "3", "2", kUser}))
                .contains("altro operatore"));
    rows = Q(db, Exec("MovePreventivoDettaglio", {T(q), T(accLine), "1", "3", kUser}));
    rows->Last();
    QCOMPARE(rows->FieldByName("idPreventivoDet").AsString(), accLine);
    rows = Q(db, Exec("DelPreventivoDettaglio", {T(q), T(line), "1", kUser}));
    QCOMPARE(Column(*rows, "nuOrdinamento"), QStringList({"1", "2"}));
    QCOMPARE(sql("SELECT count(*) FROM prevdet_nodi WHERE idpreventivodet = '" + line + "'"),
             QStringLiteral("0"));
    // The list filter of the line grid counts priced lines.
    QCOMPARE(rows->CountMatching("idProdListino <> NULL OR vlImporto <> NULL"), 0);
}

void TstPreventivi::lineRefusals_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("blocked quote") << "blocked"
                                   << "bloccato";
    QTest::newRow("quantity 0") << "zero"
                                << "Quantità non valida";
    QTest::newRow("price list of another product") << "list"
                                                   << "Listino non trovato";
    QTest::newRow("unknown product") << "product"
                                     << "Prodotto non trovato";
    QTest::newRow("unknown quote") << "quote"
                                   << "non trovato";
    QTest::newRow("no user") << "user"
                             << "Utente non indicato";
}

void TstPreventivi::lineRefusals()
{
    QFETCH(QString, what);
    QFETCH(QString, message);
    TSTD_DBMODULE &db = m_db->Module();
    QString q = newQuote({"QDG-100"});
    QString p = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-110'");
    QString list = "NULL", qty = "1", user = kUser;
    if (what == "blocked")
        Q(db, Exec("ChangeBloccoPreventivo", {T(q), "1", kUser}));
    else if (what == "zero")
        qty = "0";
    else if (what == "list")
        list = T(sql("SELECT min(idprodlistino) FROM prod_listini WHERE idprodotto <> '" + p + "'"));
    else if (what == "product")
        p = NewId();
    else if (what == "quote")
        q = NewId();
    else
        user = "null";
    const QString before = sql(
        "SELECT count(*) || '/' || (SELECT count(*) FROM prevdet_nodi) FROM preventivo_dettaglio");
    const QString err = ErrorOf(db,
                                Exec("AddProdottoToPreventivo",
                                     {T(q), T(NewId()), T(p), list, qty, "0", user}));
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(sql("SELECT count(*) || '/' || (SELECT count(*) FROM prevdet_nodi) FROM "
                 "preventivo_dettaglio"),
             before);
}

void TstPreventivi::lineDetail()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-110"});
    const QString line = First(*Q(db, Exec("EstraiProdottiInPreventivo", {T(q)})),
                               "idPreventivoDet");
    const QString p = sql("SELECT idprodotto FROM preventivo_dettaglio WHERE idpreventivodet = '"
                          + line + "'");
    auto tree = QM(db, Exec("EstraiAllDettagliProdotto", {T(line), "1", "0", "0", "0", "0", "1"}));
    tree[0]->SetFilter("nuTipologia = 10");
    tree[0]->SetFiltered(true);
    tree[0]->First();
    const QString sheet = tree[0]->FieldByName("idNodo").AsString();
    auto values = Q(db, Exec("EstraiPrevDetSchedaValori", {T(line), T(sheet)}));
    QCOMPARE(values->RecordCount(), 8);
    // The value grid writes changed values through its editable rows.
    auto rows = Q(db, Exec("DatiPrevDetSchedaValori", {T(line), T(sheet)}));
    QCOMPARE(rows->RecordCount(), 8);
    rows->First();
    const QString item = rows->FieldByName("idVoceScheda").AsString();
    QCOMPARE(db.ExecuteParams(
                 QStringLiteral(
                     "UPDATE PrevDet_Scheda_Valori SET txValoreVoceScheda = $1, txUtenteMod = $2, "
                     "dtMod = $3 WHERE idRigaValore = $4"),
                 {QStringLiteral("230 V d'emergenza"),
                  QStringLiteral("MROSSI"),
                  QDateTime::currentDateTime(),
                  rows->FieldByName("idRigaValore").AsString()}),
             1);
    values = Q(db, Exec("EstraiPrevDetSchedaValori", {T(line), T(sheet)}));
    QVERIFY(values->Locate("idVoceScheda", item));
    QCOMPARE(values->FieldByName("txValoreVoceScheda").AsString(),
             QStringLiteral("230 V d'emergenza"));
    // Through the editable record on the view: saved only over the row version it read.
    TEditableRecord rec(&db,
                        QStringLiteral("PrevDet_Scheda_Valori"),
                        QStringLiteral("idRigaValore"));
    rec.Open(Exec("DatiPrevDetSchedaValori", {T(line), T(sheet)}));
    QCOMPARE(rec.Data().FieldByName("idVoceScheda").AsString(), item);
    sql("UPDATE prevdet_nodi SET txdescnodob = '400 V' WHERE idpreventivodet = '" + line
        + "' AND idnodo = '" + item + "'");
    rec.Edit();
    rec.Data().FieldByName("txValoreVoceScheda").SetValue(QStringLiteral("24 V"));
    QVERIFY_THROWS_EXCEPTION(ERecordChanged, rec.Post(QStringLiteral("MROSSI")));
    QCOMPARE(rec.Data().FieldByName("txValoreVoceScheda").AsString(), QStringLiteral("400 V"));
    rec.Edit();
    rec.Data().FieldByName("txValoreVoceScheda").SetValue(QStringLiteral("24 V"));
    rec.Post(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT txdescnodob FROM prevdet_nodi WHERE idpreventivodet = '" + line
                 + "' AND idnodo = '" + item + "'"),
             QStringLiteral("24 V"));
    // Sub-paragraph description and quantity of the line.
    tree[0]->SetFilter("nuTipologia = 40");
    tree[0]->First();
    const QString part = tree[0]->FieldByName("idNodo").AsString();
    Q(db,
      Exec("UpdatePrevDetParte",
           {T(line), T(part), T("Descrizione \\ della riga"), "4", "''", kUser}));
    auto pd = Q(db, Exec("DatiPrevDetParteComp", {T(line), T(part)}));
    QCOMPARE(First(*pd, "txDescParteComp"), QStringLiteral("Descrizione \\ della riga"));
    QCOMPARE(First(*pd, "nuQuantitaParte"), QStringLiteral("4"));
    QVERIFY(ErrorOf(db,
                    Exec("UpdatePrevDetParte",
                         {T(line), T(part), T(QString(10000, 'x')), "1", "''", kUser}))
                .contains("troppo lungo"));
    QVERIFY(ErrorOf(db, Exec("UpdatePrevDetParte", {T(line), T(part), T("x"), "-2", "''", kUser}))
                .contains("negativa"));
    QCOMPARE(First(*Q(db, Exec("DatiPrevDetParteComp", {T(line), T(part)})), "nuQuantitaParte"),
             QStringLiteral("4"));
    // Switching a node of the line leaves the product alone.
    auto after = QM(db, Exec("ChangeStateNodo", {T(line), "1", T(part), "40", "1", kUser}));
    QCOMPARE(int(after.size()), 2);
    QVERIFY(after[0]->Locate("idNodo", part));
    QCOMPARE(after[0]->FieldByName("flAttivo").AsInteger(), 0);
    QCOMPARE(sql("SELECT flpartecompattiva FROM prod_comp_parti WHERE idpartecomp = '" + part + "'"),
             QStringLiteral("1"));
    // Another price list for the line: its values replace the old ones; none clears them,
    // except the value the operator set on the line ("24 V" above).
    const QString other = sql("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '" + p
                              + "' AND txcodlistino LIKE 'L2%'");
    db.Execute(Exec("UpdateChangeOfListino", {T(line), T(other), kUser}));
    values = Q(db, Exec("EstraiPrevDetSchedaValori", {T(line), T(sheet)}));
    QVERIFY(values->Locate("txValoreVoceScheda", "IP65"));
    db.Execute(Exec("UpdateChangeOfListino", {T(line), "''", kUser}));
    values = Q(db, Exec("EstraiPrevDetSchedaValori", {T(line), T(sheet)}));
    QCOMPARE(values->CountMatching("txValoreVoceScheda <> NULL"), 1);
    QVERIFY(values->Locate("txValoreVoceScheda", "24 V"));
    QVERIFY(ErrorOf(db, Exec("UpdateChangeOfListino", {T(line), T(NewId()), kUser}))
                .contains("Listino non trovato"));
}

void TstPreventivi::catalogueSearch()
{
    TSTD_DBMODULE &db = m_db->Module();
    auto sets = QM(db,
                   Exec("EstraiProdottiForPreventivo",
                        {"1",
                         T("{00000000-0000-0000-0000-000000000000}"),
                         "0",
                         T("quadro comando"),
                         "1",
                         "1",
                         "1"}));
    QCOMPARE(int(sets.size()), 3);
    QCOMPARE(sets[0]->RecordCount(), 3);
    const QStringList products = Column(*sets[0], "idProdotto");
    for (sets[1]->First(); !sets[1]->Eof(); sets[1]->Next())
        QVERIFY(products.contains(sets[1]->FieldByName("idProdotto").AsString()));
    QVERIFY(sets[1]->RecordCount() > 0);
    QCOMPARE(sets[1]->CountMatching("flImportaInPrev = 0"), sets[1]->RecordCount());
    QVERIFY(sets[2]->RecordCount() >= 6);
    auto none = QM(db, Exec("EstraiProdottiForPreventivo", {"0"}));
    QCOMPARE(int(none.size()), 3);
    QCOMPARE(none[0]->RecordCount(), 0);
}

void TstPreventivi::layoutRows()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100", "ACC-ZOC", "DOC-CE"});
    // One node switched off: it and everything under it stay out of the document.
    const QString para = sql(
        "SELECT n.idnodo FROM prevdet_nodi n JOIN preventivo_dettaglio d USING (idpreventivodet) "
        "WHERE d.idpreventivo = '"
        + q
        + "' AND d.nuordinamento = 1 AND n.nutipologia = 30 "
          "AND n.txdescnodo = 'Normative di riferimento'");
    const QString line1 = sql(
        "SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '" + q
        + "' AND nuordinamento = 1");
    QM(db, Exec("ChangeStateNodo", {T(line1), "1", T(para), "30", "1", kUser}));
    auto rows = Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}));
    rows->SetSort("nuOrderLayout");
    QSet<QString> seen{q}, keys;
    int previous = 0;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        const int order = int(rows->FieldByName("nuOrderLayout").AsInteger());
        QVERIFY(order > previous);
        previous = order;
        const QString line = rows->FieldByName("idPreventivoDet").AsString();
        const QString id = rows->FieldByName("idNodo").AsString();
        const QString key = line + id;
        QVERIFY2(!keys.contains(key), qPrintable(key));
        keys.insert(key);
        const int kind = int(rows->FieldByName("nuTipologia").AsInteger());
        if (kind == 9990)
            continue;
        const QString parentKey = kind == 5 ? q : line + rows->FieldByName("idParent").AsString();
        QVERIFY2(seen.contains(parentKey),
                 qPrintable(QStringLiteral("kind %1 before its parent").arg(kind)));
        seen.insert(key);
        QVERIFY(rows->FieldByName("idSezione").AsString() != para);
    }
    QCOMPARE(rows->CountMatching("nuTipologia = 5"), 3);
    QCOMPARE(rows->CountMatching("nuTipologia = 9990"), 1);
    QVERIFY(rows->CountMatching("nuTipologia = 61 AND imgNodo <> NULL") > 0);
    QCOMPARE(rows->CountMatching("OkImportiProdotti = 1"), rows->RecordCount());
    QVERIFY(rows->FieldIndex("IMGLogoWidthVP") >= 0 && rows->FieldIndex("flVertical2") >= 0);
    // A main product without an amount makes the quote incomplete.
    sql("UPDATE preventivo_dettaglio SET vlimporto = NULL WHERE idpreventivodet = '" + line1 + "'");
    QCOMPARE(Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}))
                 ->CountMatching("OkImportiProdotti = 1"),
             0);
    auto cover = Q(db, Exec("EstraiLayoutPrevCover", {T(q), T("STD")}));
    QCOMPARE(cover->RecordCount(), 1);
    QVERIFY(!cover->FieldByName("imgCopertina").IsNull());
    QVERIFY(!cover->FieldByName("txDenominazione").AsString().isEmpty());
    QCOMPARE(cover->FieldByName("IMGWidthS").AsFloat(), 100.0);
    auto compact = Q(db, Exec("EstraiLayoutPrevCover", {T(q), T("CMP")}));
    QCOMPARE(compact->FieldByName("IMGWidthS").AsFloat(), 80.0);
    auto totals = Q(db, Exec("EstraiLayoutPrevTotali", {T(q), T("STD")}));
    // The accessory and the documentation (amount 0) still have an amount; the main line not.
    QCOMPARE(totals->RecordCount(), 2);
}

void TstPreventivi::layoutRowsLeaveOutSwitchedOffSubtreesAndCarryPictures()
{
    // A line with a small tree of its own under two new paragraphs:
    //   A (30)  S1 (40): texts T1, T2, four pictures ordered 4, 1, 3, 2
    //           S2 (40, off): text            S3 (40): table TB (80, off): item
    //   B (30, off): S4 (40): table (80): item            (three levels below B)
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100"});
    const QString line = sql(
        "SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '" + q + "'");
    QHash<QString, QString> id;
    auto node = [&](const QString &name,
                    int kind,
                    const QString &parent,
                    const QString &section,
                    int a,
                    int b,
                    int c,
                    const QString &text,
                    bool on = true,
                    const QString &image = QString()) {
        id[name] = NewId();
        sql(QStringLiteral("INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, "
                           "idparent, idsezione, nuordera, nuorderb, nuorderc, txdescnodo, "
                           "flattivo, idimage) VALUES ('%1', '%2', %3, '%4', '%5', %6, %7, %8, "
                           "%9, %10, %11)")
                .arg(line, id[name])
                .arg(kind)
                .arg(parent == QLatin1String("line") ? line : id[parent], id[section])
                .arg(a)
                .arg(b)
                .arg(c)
                .arg(text.isNull() ? QStringLiteral("NULL") : T(text))
                .arg(on ? 1 : 0)
                .arg(image.isEmpty() ? QStringLiteral("NULL") : T(image)));
    };
    auto picture = [&](const QString &name) {
        const QString image = NewId();
        sql("INSERT INTO images_dettagli VALUES ('" + image + "', convert_to('" + name
            + "', 'UTF8'))");
        return image;
    };
    id["A"] = NewId();
    id["B"] = NewId();
    node("A", 30, "line", "A", 50, 0, 0, "Paragrafo A");
    node("S1", 40, "A", "A", 50, 1, 0, "");
    node("T1", 50, "S1", "A", 50, 1, 1, "Prima riga");
    node("T2", 50, "S1", "A", 50, 1, 2, "Seconda riga");
    node("P4", 60, "S1", "A", 50, 1, 6, "Quarta", true, picture("foto 4"));
    node("P1", 60, "S1", "A", 50, 1, 3, "Prima", true, picture("foto 1"));
    node("P3", 60, "S1", "A", 50, 1, 5, "Terza", true, picture("foto 3"));
    node("P2", 60, "S1", "A", 50, 1, 4, "Seconda", true, picture("foto 2"));
    node("S2", 40, "A", "A", 50, 2, 0, "Spento", false);
    node("S2T", 50, "S2", "A", 50, 2, 1, "Testo di un sottoparagrafo spento");
    node("S3", 40, "A", "A", 50, 3, 0, "Con tabella");
    node("TB", 80, "S3", "A", 50, 3, 1, "Tabella spenta", false);
    node("TBI", 90, "TB", "A", 50, 3, 1, "Voce");
    node("B", 30, "line", "B", 51, 0, 0, "Paragrafo spento", false);
    node("S4", 40, "B", "B", 51, 1, 0, "Sotto il paragrafo spento");
    node("S4T", 80, "S4", "B", 51, 1, 1, "Tabella");
    node("S4I", 90, "S4T", "B", 51, 1, 1, "Voce");

    auto rows = Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}));
    auto find = [&](const QString &name) {
        return rows->Locate(QStringList{"idPreventivoDet", "idNodo"}, {line, id[name]});
    };
    for (const char *out : {"S2", "S2T", "TB", "TBI", "B", "S4", "S4T", "S4I"})
        QVERIFY2(!find(QLatin1String(out)), out);
    for (const char *in : {"A", "S1", "T1", "T2", "P1", "P2", "P3", "P4", "S3"})
        QVERIFY2(find(QLatin1String(in)), in);

    // The sub-paragraph with pictures: printed as text with image, its first three pictures
    // in their order, its caption made of its texts when it has no description.
    QVERIFY(find("S1"));
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 61);
    QCOMPARE(rows->FieldByName("txDescNodoC").AsString(),
             QStringLiteral("Prima riga\nSeconda riga"));
    QCOMPARE(rows->FieldByName("imgNodo").AsBytes(), QByteArray("foto 1"));
    QCOMPARE(rows->FieldByName("imgNodo1").AsBytes(), QByteArray("foto 2"));
    QCOMPARE(rows->FieldByName("imgNodo2").AsBytes(), QByteArray("foto 3"));
    QVERIFY(find("S3"));
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 40);
    QVERIFY(rows->FieldByName("imgNodo").IsNull());
    // Each picture row carries its own picture; the line its product's cover.
    QVERIFY(find("P4"));
    QCOMPARE(rows->FieldByName("imgNodo").AsBytes(), QByteArray("foto 4"));
    QVERIFY(rows->FieldByName("imgNodo1").IsNull());
    QVERIFY(rows->Locate(QStringList{"idPreventivoDet", "idNodo"}, {line, line}));
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 5);
    const QByteArray cover = QByteArray::fromHex(
        sql("SELECT encode(ip.imgimage, 'hex') FROM images_prodotti ip JOIN prodotti p ON "
            "p.idprodotto = ip.idimage WHERE p.txcodprodotto = 'QDG-100'")
            .toLatin1());
    QVERIFY(!cover.isEmpty());
    QCOMPARE(rows->FieldByName("imgNodo").AsBytes(), cover);
    QCOMPARE(rows->FieldByName("flCopertinaVisible").AsInteger(), 1);
    QCOMPARE(rows->FieldByName("IMGWidthS").AsFloat(), 100.0);

    // Print order: 1..n without gaps, the contents of S1 after it and in their order, the
    // closing row last.
    rows->SetSort("nuOrderLayout");
    QStringList order;
    int expected = 0;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        QCOMPARE(int(rows->FieldByName("nuOrderLayout").AsInteger()), ++expected);
        order << id.key(rows->FieldByName("idNodo").AsString());
    }
    rows->Last();
    QCOMPARE(rows->FieldByName("nuTipologia").AsInteger(), 9990);
    order.removeAll(QString());
    QCOMPARE(order, QStringList({"A", "S1", "T1", "T2", "P1", "P2", "P3", "P4", "S3"}));
}

void TstPreventivi::layoutPrintOptions()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100"});
    const QString line = sql(
        "SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '" + q + "'");
    const QString sheet = sql("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '" + line
                              + "' AND nutipologia = 10 "
                                "AND nuordera = 2");
    auto flag = [&](const QString &column) {
        auto rows = Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}));
        rows->Locate(QStringList{"idPreventivoDet", "idNodo"}, {line, sheet});
        return rows->FieldByName(column).AsInteger();
    };
    QCOMPARE(flag("flParteCompUnita"), 0);
    Q(db, Exec("ChangeParteUnita", {T(line), T(sheet), "10", kUser}));
    QCOMPARE(flag("flParteCompUnita"), 1);
    Q(db, Exec("ChangeSaltoPaginaNodo", {T(line), T(sheet), "10", kUser}));
    QCOMPARE(flag("flNewPageBefore"), 1);
    Q(db, Exec("ChangeSaltoPaginaNodo", {T(line), T(line), "5", kUser}));
    auto rows = Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}));
    QVERIFY(rows->Locate(QStringList{"idPreventivoDet", "idNodo"}, {line, line}));
    QCOMPARE(rows->FieldByName("flNewPageBefore").AsInteger(), 1);
    // The root (the quote itself) has nothing to change and does not fail.
    QCOMPARE(Q(db, Exec("ChangeSaltoPaginaNodo", {T(q), T(q), "0", kUser}))->RecordCount(), 0);
    QVERIFY(ErrorOf(db, Exec("ChangeParteUnita", {T(line), T(NewId()), "40", kUser}))
                .contains("non trovato"));
}

void TstPreventivi::catalogueImageChangeLeavesQuotesAlone()
{
    // The catalogue replaces a picture that a blocked quote shows: the quote keeps the old one.
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100"});
    Q(db, Exec("ChangeBloccoPreventivo", {T(q), "1", kUser}));
    const QString line = sql(
        "SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '" + q + "'");
    const QString img = sql("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '" + line
                            + "' AND nutipologia = 60 LIMIT 1");
    const QByteArray old = QByteArray::fromHex(
        sql("SELECT encode(imgimage, 'hex') FROM images_dettagli WHERE idimage = '" + img + "'")
            .toLatin1());
    TEditableRecord image(&db, QStringLiteral("Images_Dettagli"), QStringLiteral("idImage"));
    image.Open(Exec("DatiImagesDettaglio", {T(img)}));
    image.Edit();
    image.Data().FieldByName("imgImage").SetValue(QByteArray("nuova immagine"));
    image.Post(QStringLiteral("MROSSI"), false);
    auto now = Q(db, Exec("DatiImagesDettaglio", {T(img)}));
    QCOMPARE(now->FieldByName("imgImage").AsBytes(), QByteArray("nuova immagine"));
    auto rows = Q(db, Exec("EstraiLayoutPrevMain", {T(q), T("STD")}));
    QVERIFY(rows->Locate(QStringList{"idPreventivoDet", "idNodo"}, {line, img}));
    QCOMPARE(rows->FieldByName("imgNodo").AsBytes(), old);
}

void TstPreventivi::ordersFromQuotes()
{
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100", "ACC-ZOC"});
    QVERIFY(ErrorOf(db, Exec("CreaOrdineDaPreventivo", {T(q), kUser})).contains("bloccato"));
    Q(db, Exec("ChangeBloccoPreventivo", {T(q), "1", kUser}));
    m_db->LogOn(QStringLiteral("GBIANCHI"));
    const QString order = First(*Q(db, Exec("CreaOrdineDaPreventivo", {T(q), T("GBIANCHI")})),
                                "idOrdine");
    m_db->LogOn(QStringLiteral("MROSSI"));
    QVERIFY(!order.isEmpty());
    QVERIFY(ErrorOf(db, Exec("CreaOrdineDaPreventivo", {T(q), kUser})).contains("già"));
    // The lines editor works on the order's own lines.
    auto lines = Q(db, Exec("EstraiProdottiInPreventivo", {T(order)}));
    QCOMPARE(lines->RecordCount(), 2);
    const QString acc = sql("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'ACC-TET'");
    db.Execute(
        Exec("AddProdottoToPreventivo", {T(order), T(NewId()), T(acc), "NULL", "1", "1", kUser}));
    QCOMPARE(Q(db, Exec("EstraiProdottiInPreventivo", {T(order)}))->RecordCount(), 3);
    QCOMPARE(Q(db, Exec("EstraiProdottiInPreventivo", {T(q)}))->RecordCount(), 2);
    // The record, blocking and deletion.
    TEditableRecord rec(&db, QStringLiteral("Ordini"), QStringLiteral("idOrdine"));
    rec.Open(Exec("DatiOrdine", {T(order)}));
    QVERIFY(!rec.IsNew());
    rec.Edit();
    rec.Data().FieldByName("txCodPagamento").SetValue(QStringLiteral("BB30"));
    rec.Data().FieldByName("txNoteOrdine").SetValue(QStringLiteral("Consegna all'alba"));
    rec.Post(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT txnoteordine || txutentemod FROM ordini WHERE idordine = '" + order + "'"),
             QStringLiteral("Consegna all'albaMROSSI"));
    sql("UPDATE ordini SET flscadenzafissa = 0, nuggscaddalblocco = 30 WHERE idordine = '" + order
        + "'");
    auto b = Q(db, Exec("ChangeBloccoOrdine", {T(order), "1", kUser}));
    QCOMPARE(b->FieldByName("dtScadenza").AsDateTime().date(), serverToday().addDays(30));
    QVERIFY(ErrorOf(db,
                    Exec("AddProdottoToPreventivo",
                         {T(order), T(NewId()), T(acc), "NULL", "1", "1", kUser}))
                .contains("bloccato"));
    QCOMPARE(First(*Q(db, Exec("DeleteOrdine", {T(order), "1", kUser})), "flOk"),
             QStringLiteral("0"));
    Q(db, Exec("ChangeBloccoOrdine", {T(order), "0", kUser}));
    sql("UPDATE ordini SET flfirmato = 1 WHERE idordine = '" + order + "'");
    QCOMPARE(First(*Q(db, Exec("DeleteOrdine", {T(order), "0", kUser})), "flOk"),
             QStringLiteral("0"));
    // A signed order: an administrator's session deletes it, not the flag the program sends.
    QCOMPARE(First(*Q(db, Exec("DeleteOrdine", {T(order), "1", kUser})), "flOk"),
             QStringLiteral("0"));
    m_db->LogOn(QStringLiteral("ADMIN"));
    QCOMPARE(First(*Q(db, Exec("DeleteOrdine", {T(order), "1", T("ADMIN")})), "flOk"),
             QStringLiteral("1"));
    m_db->LogOn(QStringLiteral("MROSSI"));
    QCOMPARE(sql("SELECT count(*) FROM preventivo_dettaglio WHERE idordine = '" + order + "'"),
             QStringLiteral("0"));
}

void TstPreventivi::orderSummaryAndList()
{
    TSTD_DBMODULE &db = m_db->Module();
    // An order neither signed nor blocked: its summary may change.
    const QString order = sql("SELECT min(idordine) FROM ordini WHERE idsocieta = '" + kSoc1
                              + "' AND flfirmato = 0 AND flbloccato = 0");
    auto summary = Q(db, Exec("EstraiSommarioOrdineValori", {T(order)}));
    QCOMPARE(summary->RecordCount(), 3);
    // "Ok" of the summary: everything deleted and written again in one transaction.
    db.BeginTrans();
    db.Execute(QStringLiteral("DELETE Ordine_Sommario WHERE idOrdine = ") + T(order));
    QCOMPARE(Q(db, Exec("DatiOrdineSommario", {T(order)}))->RecordCount(), 0);
    for (int i = 1; i <= 2; ++i)
        db.ExecuteParams(
            QStringLiteral(
                "INSERT INTO Ordine_Sommario (idOrdine, nuOrdineTesto, txDescTesto, txTesto) "
                "VALUES ($1, $2, $3, $4)"),
            {order, i, QStringLiteral("Voce %1").arg(i), QStringLiteral("Testo d'esempio")});
    db.CommitTrans();
    QCOMPARE(Column(*Q(db, Exec("EstraiSommarioOrdineValori", {T(order)})), "txDescTesto"),
             QStringList({"Voce 1", "Voce 2"}));
    auto list = Q(db,
                  Exec("EstraiOrdini ",
                       {"1", T(kSoc1), "null", "null", "null", "null", "null", "0", "1", "1"}));
    QVERIFY(list->RecordCount() >= 3);
    QVERIFY(list->FieldByName("txNuPreventivo").AsString().startsWith("ORD "));
    auto signed_ = Q(db,
                     Exec("EstraiOrdini ",
                          {"1", T(kSoc1), "null", "null", "null", "null", "null", "1", "1", "1"}));
    QCOMPARE(signed_->CountMatching("flFirmato = 1"), signed_->RecordCount());
    auto noBlocked = Q(db,
                       Exec("EstraiOrdini ",
                            {"1", T(kSoc1), "null", "null", "null", "null", "null", "0", "1", "0"}));
    QCOMPARE(noBlocked->CountMatching("flBloccato = 1"), 0);
    QCOMPARE(Q(db, Exec("EstraiOrdini ", {"0"}))->RecordCount(), 0);
    QVERIFY(Q(db, Exec("EstraiElencoCondPagam", {T(kSoc2)}))->Locate("txCodPagamento", "EA-RB120"));
    QVERIFY(!Q(db, Exec("EstraiElencoCondPagam", {T(kSoc1)}))->Locate("txCodPagamento", "EA-RB120"));
}

QTEST_GUILESS_MAIN(TstPreventivi)
#include "tst_preventivi.moc"

void TstPreventivi::folderRecordOfQuoteAndOrder()
{
    // The folder windows open DatiPreventivo with the id they were given: a quote's id gives
    // the quote row, an order's id the order's folder data, stored into the order (blocked or
    // not) and never into its quote.
    TSTD_DBMODULE &db = m_db->Module();
    const QString q = newQuote({"QDG-100"});
    Q(db, Exec("ChangeBloccoPreventivo", {T(q), "1", kUser}));
    const QString order = First(*Q(db, Exec("CreaOrdineDaPreventivo", {T(q), kUser})), "idOrdine");
    sql("UPDATE ordini SET txnomefolder = 'Cartella ordine', txnomefilepdf = 'Ordine', "
        "txurlfilepdf = NULL WHERE idordine = '"
        + order + "'");
    sql("UPDATE preventivi SET txnomefolder = 'Cartella preventivo', txurlfilepdf = 'https://q' "
        "WHERE idpreventivo = '"
        + q + "'");
    Q(db, Exec("ChangeBloccoOrdine", {T(order), "1", kUser}));

    TEditableRecord orderRec(&db, QStringLiteral("Ordini"), QStringLiteral("idOrdine"));
    orderRec.Open(Exec("DatiPreventivo", {T(order)}));
    QVERIFY(!orderRec.IsNew());
    TDataSet &row = orderRec.Data();
    QCOMPARE(row.FieldCount(), 4);
    QCOMPARE(First(row, "idOrdine"), order);
    QCOMPARE(First(row, "txNomeFolder"), QStringLiteral("Cartella ordine"));
    QCOMPARE(First(row, "txNomeFilePDF"), QStringLiteral("Ordine"));
    QVERIFY(row.FieldByName("txUrlFilePDF").IsNull());
    orderRec.Edit();
    row.FieldByName("txUrlFilePDF").SetValue(QStringLiteral("https://example.test/s/ordine"));
    orderRec.Post(QStringLiteral("MROSSI"), false);
    QCOMPARE(sql("SELECT txurlfilepdf FROM ordini WHERE idordine = '" + order + "'"),
             QStringLiteral("https://example.test/s/ordine"));
    QCOMPARE(sql("SELECT txurlfilepdf FROM preventivi WHERE idpreventivo = '" + q + "'"),
             QStringLiteral("https://q"));
    // The order list shows what was stored.
    auto listed = Q(db,
                    Exec("EstraiOrdini ",
                         {"1", T(kSoc1), "null", "null", "null", "null", "null", "0", "1", "1"}));
    QVERIFY(listed->Locate("idOrdine", order));
    QCOMPARE(listed->FieldByName("txURLFilePDF").AsString(),
             QStringLiteral("https://example.test/s/ordine"));

    // The quote path is the quote's row, unchanged in shape.
    TEditableRecord quoteRec(&db, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    quoteRec.Open(Exec("DatiPreventivo", {T(q)}));
    QVERIFY(quoteRec.Data().FieldIndex("txDescOggetto") >= 0);
    QCOMPARE(First(quoteRec.Data(), "txNomeFolder"), QStringLiteral("Cartella preventivo"));
    quoteRec.Edit();
    quoteRec.Data().FieldByName("txNomeFilePDF").SetValue(QStringLiteral("0001_2026 (C) (O)"));
    quoteRec.Data().FieldByName("txUrlFilePDF").SetValue(QStringLiteral("https://q2"));
    quoteRec.Post(QStringLiteral("MROSSI"), false);
    QCOMPARE(
        sql("SELECT txnomefilepdf || ' ' || txurlfilepdf FROM preventivi WHERE idpreventivo = '" + q
            + "'"),
        QStringLiteral("0001_2026 (C) (O) https://q2"));
    QCOMPARE(sql("SELECT txurlfilepdf FROM ordini WHERE idordine = '" + order + "'"),
             QStringLiteral("https://example.test/s/ordine"));
    // An unknown id is a new quote record (no row, the quote's columns).
    TEditableRecord none(&db, QStringLiteral("Preventivi"), QStringLiteral("idPreventivo"));
    none.Open(Exec("DatiPreventivo", {T(NewId())}));
    QVERIFY(none.IsNew());
    QVERIFY(none.Data().FieldIndex("txDescOggetto") >= 0);
}
