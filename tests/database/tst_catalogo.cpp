#include "dbtest.h"

#include "db/pgadapter.h"

using namespace dbtest;

// Every procedure of the contract exists with the argument counts the windows send, the
// program's login may run it, and the direct statements work through the command layer and
// nothing beyond them is open to the login.
class TstCatalogo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void procedures_data();
    void procedures();
    void layoutProcedures();
    void directStatements();
    void loginCannotReadTables_data();
    void loginCannotReadTables();
    void internalFunctionsAreClosed();
    void cleanupTestCase();

private:
    // The schema-only database the catalog checks read (they change nothing).
    std::unique_ptr<TTestDatabase> m_schema;
};

void TstCatalogo::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
    m_schema = std::make_unique<TTestDatabase>(TTestDatabase::Empty);
}

void TstCatalogo::cleanupTestCase()
{
    m_schema.reset();
}

void TstCatalogo::procedures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("arities"); // every argument count the program sends

    const QList<QPair<const char *, QList<int>>> list = {
        {"AddProdottoLinked", {3}},
        {"AddProdottoToPreventivo", {7}},
        {"AppendNodoProdotto", {7}},
        {"BloccaPreventivo", {2}},
        {"ChangeBloccoOrdine", {3}},
        {"ChangeBloccoPreventivo", {3}},
        {"ChangeParteUnita", {4}},
        {"ChangeSaltoPaginaNodo", {4}},
        {"ChangeStateNodo", {6}},
        {"ChangeStatoCliente", {3}},
        {"ChangeStatoListino", {3}},
        {"ChangeStatoOperatore", {2}},
        {"ChangeStatoOrdine", {3}},
        {"ChangeStatoPreventivo", {3}},
        {"ChangeStatoProdotto", {3}},
        {"ChangeStatoSocieta", {2}},
        {"CheckCodProdotto", {3}},
        {"CloneListino", {3}},
        {"ClonePreventivo", {3}},
        {"CloneProdotto", {4}},
        {"CopiaNodoInAltroProdotto", {4}},
        {"CreaOrdineDaPreventivo", {2}},
        {"DatiCliente", {1}},
        {"DatiImagesDettaglio", {1}},
        {"DatiImagesDettaglioPreview", {1}},
        {"DatiImagesProdotto", {1}},
        {"DatiImagesProdottoPreview", {1}},
        {"DatiListino", {1}},
        {"DatiListinoParteComp", {2}},
        {"DatiListinoSchedeValori", {2}},
        {"DatiNodo", {2}},
        {"DatiOperatore", {1}},
        {"DatiOrdine", {1}},
        {"DatiOrdineSommario", {1}},
        {"DatiPrevDetParteComp", {2}},
        {"DatiPrevDetSchedaValori", {2}},
        {"DatiPreventivo", {1}},
        {"DatiPreventivoDet", {1}},
        {"DatiProdotto", {1}},
        {"DatiSocieta", {1}},
        {"DelPreventivoDettaglio", {4}},
        {"DelProdottoLinked", {4}},
        {"DeleteListino", {3}},
        {"DeleteNodo", {6}},
        {"DeleteOrdine", {3}},
        {"DeletePreventivo", {3}},
        {"DeleteProdotto", {3}},
        {"EstraiAllDettagliProdotto", {7}},
        {"EstraiClienti", {1, 11}},
        {"EstraiCompPartiListinoQta", {2}},
        {"EstraiDatiOperatore", {2}},
        {"EstraiElencoCondPagam", {0, 1}},
        {"EstraiElencoSocieta", {0, 1}},
        {"EstraiFornitori", {0}},
        {"EstraiLayouts", {1}},
        {"EstraiListinoProdotto", {1}},
        {"EstraiOperatori", {1, 2}},
        {"EstraiOrdini", {1, 10, 16}},
        {"EstraiPrevDetSchedaValori", {2}},
        {"EstraiPreventivi", {1, 11, 17}},
        {"EstraiProdotti", {1, 2, 12}},
        {"EstraiProdottiForPreventivo", {1, 7}},
        {"EstraiProdottiInPreventivo", {1}},
        {"EstraiProdottiLinked", {1}},
        {"EstraiProdottiNotLinked", {1, 9}},
        {"EstraiProvinceItaliane", {0}},
        {"EstraiSchedeListinoValori", {2}},
        {"EstraiSocieta", {1, 7}},
        {"EstraiSommarioOrdineValori", {1}},
        {"InsertAfterBeforeNodoProdotto", {10}},
        {"IsNewOperatoreOk", {1}},
        {"MergeParte", {6}},
        {"MovePreventivoDettaglio", {5}},
        {"MoveProdottoLinked", {5}},
        {"RefreshProdListSchedaVoci", {3}},
        {"RefreshProdListino", {2}},
        {"RefreshProdottoInDettagliPrev", {2}},
        {"ResetPasswordOperatore", {2}},
        {"RevisionePreventivo", {3}},
        {"SetNewCodCliente", {2}},
        {"SetNewPreventivo", {2}},
        {"SetOrdineNewNodo", {4, 7}},
        {"SplitElencoPuntato", {8}},
        {"UndoRevisionePreventivo", {2}},
        {"UpdateChangeOfListino", {3}},
        {"UpdateChangesProdotto", {2}},
        {"UpdateListinoParte", {6}},
        {"UpdatePrevDetParte", {6}},
        {"UpdateProdottoLinked", {4}},
    };
    QCOMPARE(list.size(), 89);
    for (const auto &p : list)
        QTest::newRow(p.first) << QString::fromLatin1(p.first) << p.second;
}

void TstCatalogo::procedures()
{
    QFETCH(QString, name);
    QFETCH(QList<int>, arities);
    TTestDatabase &tdb = *m_schema;
    const QString lower = name.toLower();
    const int count = tdb.SuperQuery(QStringLiteral("SELECT count(*) FROM pg_proc p "
                                                    "WHERE p.pronamespace = 'public'::regnamespace "
                                                    "AND p.proname = '%1'")
                                         .arg(lower))
                          .toInt();
    QCOMPARE(count, 1); // one function per name: every argument count goes to the same body
    const int args = tdb.SuperQuery(QStringLiteral("SELECT pronargs FROM pg_proc "
                                                   "WHERE pronamespace = 'public'::regnamespace "
                                                   "AND proname = '%1'")
                                        .arg(lower))
                         .toInt();
    const int defaults = tdb.SuperQuery(
                                QStringLiteral("SELECT pronargdefaults FROM pg_proc "
                                               "WHERE pronamespace = 'public'::regnamespace "
                                               "AND proname = '%1'")
                                    .arg(lower))
                             .toInt();
    for (int n : arities) {
        QVERIFY2(n <= args && n >= args - defaults,
                 qPrintable(QStringLiteral("%1 takes %2..%3 arguments, the program sends %4")
                                .arg(name)
                                .arg(args - defaults)
                                .arg(args)
                                .arg(n)));
    }
    QCOMPARE(tdb.SuperQuery(QStringLiteral("SELECT has_function_privilege('ventorel_test', p.oid, "
                                           "'EXECUTE') FROM pg_proc p WHERE p.pronamespace = "
                                           "'public'::regnamespace AND p.proname = '%1'")
                                .arg(lower)),
             QStringLiteral("t"));
    // Never a void result: a row set (or cursors) comes back to the caller.
    QVERIFY(tdb.SuperQuery(QStringLiteral("SELECT prorettype <> 'void'::regtype AND proretset "
                                          "FROM pg_proc WHERE pronamespace = "
                                          "'public'::regnamespace AND proname = '%1'")
                               .arg(lower))
            == QStringLiteral("t"));
}

void TstCatalogo::layoutProcedures()
{
    // The three procedures each layout names exist, take (quote id, layout code) and run.
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("MROSSI"));
    auto layouts = Q(tdb.Module(), Exec("EstraiLayouts", {T(kSoc1)}));
    QVERIFY(layouts->RecordCount() > 0);
    const QString quote = tdb.SuperQuery(
        "SELECT idpreventivo FROM preventivi WHERE nupreventivo IS NOT NULL LIMIT 1");
    for (layouts->First(); !layouts->Eof(); layouts->Next()) {
        const QString code = layouts->FieldByName("txCodLayout").AsString();
        for (const char *f : {"txNomeStoreMain", "txNomeStoreCover", "txNomeStoreTotali"}) {
            const QString proc = layouts->FieldByName(QString::fromLatin1(f)).AsString();
            QVERIFY(!proc.isEmpty());
            auto rows = Q(tdb.Module(), Exec(proc, {T(quote), T(code)}));
            QVERIFY2(rows->FieldCount() > 0, qPrintable(proc));
        }
    }
}

void TstCatalogo::directStatements()
{
    TTestDatabase tdb;
    tdb.LogOn(QStringLiteral("ADMIN")); // the layout picture is the administrators'
    TSTD_DBMODULE &db = tdb.Module();
    // S1
    auto now = Q(db, QStringLiteral("SELECT GETDATE() AS TMNOW"));
    QVERIFY(now->FieldByName("TMNOW").AsDateTime().isValid());
    // S4: the company row read by the layout.
    auto soc = Q(db, QStringLiteral("SELECT * FROM Societa WHERE idSocieta = ") + T(kSoc1));
    QCOMPARE(soc->RecordCount(), 1);
    QVERIFY(!soc->FieldByName("imgLogo").IsNull());
    QVERIFY(!soc->FieldByName("txPiedeReport").AsString().isEmpty());
    // S5 and S6: the layout sample picture, found by description, then linked to the layout.
    auto img = Q(db,
                 QStringLiteral("SELECT *\tFROM Images_Layout WHERE txDescImage = ")
                     + T(QStringLiteral("Nuova immagine d'esempio")));
    QCOMPARE(img->RecordCount(), 0);
    TEditableRecord imgRec(&db, QStringLiteral("Images_Layout"), QStringLiteral("idImage"));
    imgRec.Open(QStringLiteral("SELECT *\tFROM Images_Layout WHERE txDescImage = ")
                + T(QStringLiteral("Nuova immagine d'esempio")));
    const QString imgId = NewId();
    imgRec.Append(imgId);
    imgRec.Data().FieldByName("txDescImage").SetValue(QStringLiteral("Nuova immagine d'esempio"));
    imgRec.Data().FieldByName("imgImage").SetValue(QByteArray("\xff\xd8\xff\xe0", 4));
    imgRec.Post(QStringLiteral("ADMIN"), false);
    const QString layout = tdb.SuperQuery(
        "SELECT idlayout FROM layout ORDER BY txcodlayout LIMIT 1");
    TEditableRecord layRec(&db, QStringLiteral("Layout"), QStringLiteral("idLayout"));
    layRec.Open(QStringLiteral("SELECT *\tFROM Layout\tWHERE idLayout = ") + T(layout));
    layRec.Edit();
    layRec.Data().FieldByName("idImage").SetValue(imgId);
    layRec.Post(QStringLiteral("ADMIN"), false);
    QCOMPARE(tdb.SuperQuery("SELECT idimage FROM layout WHERE idlayout = '" + layout + "'"), imgId);
    // S7 then SplitElencoPuntato is covered by the tree tests; the batch itself opens here.
    auto tmp = Q(db, QString::fromLatin1(kTempTabTestoBatch));
    QCOMPARE(tmp->RecordCount(), 0);
    QVERIFY(tmp->FieldIndex("idTesto") >= 0);
    // S8: every text row with its key.
    auto texts = Q(db, QStringLiteral("select * from Prod_Comp_Parte_Txt"));
    QVERIFY(texts->RecordCount() > 100);
    QVERIFY(texts->FieldIndex("idTxtParte") >= 0);
    // S3: the order summary deleted before being written again.
    const QString order = tdb.SuperQuery(
        "SELECT s.idordine FROM ordine_sommario s JOIN ordini o ON o.idordine = s.idordine "
        "WHERE o.flfirmato = 0 AND o.flbloccato = 0 GROUP BY s.idordine LIMIT 1");
    QVERIFY(!order.isEmpty());
    db.Execute(QStringLiteral("DELETE Ordine_Sommario WHERE idOrdine = ") + T(order));
    QCOMPARE(tdb.SuperQuery("SELECT count(*) FROM ordine_sommario WHERE idordine = '" + order + "'"),
             QStringLiteral("0"));
}

void TstCatalogo::loginCannotReadTables_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("customers") << "SELECT txdenominazione FROM clienti";
    QTest::newRow("quotes") << "SELECT txdescoggetto FROM preventivi";
    QTest::newRow("operator passwords") << "SELECT txpassword FROM operatori";
    QTest::newRow("line trees") << "SELECT * FROM prevdet_nodi";
    QTest::newRow("delete quotes") << "DELETE FROM preventivi";
    QTest::newRow("counters") << "UPDATE contatori SET nuultimo = 0";
}

void TstCatalogo::loginCannotReadTables()
{
    // The login reaches data through the functions only: plain statements are refused by the
    // server even when they get past the command layer.
    QFETCH(QString, sql);
    TSTD_DBMODULE &db = m_schema->Module();
    bool refused = false;
    try {
        db.ExecuteParams(sql, {});
    } catch (const EDatabaseError &e) {
        refused = e.ProviderText().contains(QStringLiteral("permission denied"));
    }
    QVERIFY(refused);
}

void TstCatalogo::internalFunctionsAreClosed()
{
    // Closed to the login, but for the few session helpers that the rules of the tables call
    // with the login's rights (they tell nothing beyond the login's own session).
    QCOMPARE(m_schema->SuperQuery(
                 "SELECT string_agg(p.proname, ',' ORDER BY p.proname) FROM pg_proc p "
                 "WHERE p.pronamespace = 'public'::regnamespace AND p.proname LIKE 'vt\\_%' "
                 "AND has_function_privilege('ventorel_test', p.oid, 'EXECUTE')"),
             QStringLiteral("vt_scrittura_diretta,vt_sessione_e_amministratore_o_rifiuta,"
                            "vt_sessione_scrive_societa,vt_sessione_societa,"
                            "vt_sessione_tutte_societa,vt_sessione_utente,vt_societa_documento,"
                            "vt_societa_riga"));
    // Nor the extensions: their schema is closed to it.
    QCOMPARE(m_schema->SuperQuery(
                 "SELECT has_schema_privilege('ventorel_test', 'vt_ext', 'USAGE')"),
             QStringLiteral("f"));
}

QTEST_GUILESS_MAIN(TstCatalogo)
#include "tst_catalogo.moc"
