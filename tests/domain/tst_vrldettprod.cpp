// The detail node record, its kinds and codes, the loader of tree rows and the pending copy.

#include "db/commandtext.h"
#include "db/dataset.h"
#include "domain/vrldettprod.h"
#include "tests/support/testdatabase.h"

#include <QHash>
#include <QTest>

namespace {

const QString kOwner = QStringLiteral("{00000000-0000-0000-0000-0000000000AA}");

// Tree rows as the tree procedures give them (the columns the loader reads).
std::unique_ptr<TDataSet> TreeRows(const QList<QVariantList> &rows)
{
    auto ds = std::make_unique<TDataSet>();
    ds->AddFieldDef(QStringLiteral("idNodo"), TFieldType::Text);
    ds->AddFieldDef(QStringLiteral("idParent"), TFieldType::Text);
    ds->AddFieldDef(QStringLiteral("idSezione"), TFieldType::Text);
    ds->AddFieldDef(QStringLiteral("nuTipologia"), TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("flAttivo"), TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("flVisible"), TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("nuOrderA"), TFieldType::Integer);
    ds->AddFieldDef(QStringLiteral("nuOrderB"), TFieldType::Integer);
    ds->CreateDataSet();
    for (const QVariantList &r : rows) {
        ds->Append();
        for (int i = 0; i < r.size(); ++i)
            ds->Fields(i).SetValue(r.at(i));
        ds->Post();
    }
    return ds;
}

} // namespace

class TestVrlDettProd : public QObject
{
    Q_OBJECT

private slots:
    void freshRecordIsAnEnabledExpandedProductWithoutMoveRights();
    void kindsFromDatabaseCodes_data();
    void kindsFromDatabaseCodes();
    void nodeFilledFromATreeRow();
    void treeLeavesOutHiddenRowsAndTheirDescendants();
    void largeTreeKeepsEveryParent();
    void snapshotOutlivesTheTreeAndPendingCopyIsProcessWide();
    void itemGridRows();
    void demoProductTreeLoadsWhole();
};

void TestVrlDettProd::freshRecordIsAnEnabledExpandedProductWithoutMoveRights()
{
    auto node = TVRLDettProd::CreateObject();
    QCOMPARE(node->xTipoNode, cnProdotto);
    QVERIFY(node->bAttivo);
    QVERIFY(node->bNodoEspanso);
    QVERIFY(!node->bCanAdd);
    QVERIFY(!node->bCanInsertBeforeAfter);
    QCOMPARE(node->iPagePreview, 0);
    // clear brings a used record back to the same state.
    node->sIdNodo = QStringLiteral("{X}");
    node->iNuTipologia = 60;
    node->xTipoNode = cnParteImmagine;
    node->bAttivo = false;
    node->bNodoEspanso = false;
    node->bCanAdd = true;
    node->iNuOrderC = 4;
    node->iPagePreview = 3;
    node->clear();
    QVERIFY(node->sIdNodo.isEmpty());
    QCOMPARE(node->iNuTipologia, 0);
    QCOMPARE(node->xTipoNode, cnProdotto);
    QVERIFY(node->bAttivo && node->bNodoEspanso && !node->bCanAdd);
    QCOMPARE(node->iNuOrderC, 0);
    QCOMPARE(node->iPagePreview, 0);
    QCOMPARE(int(sizeof(TCurrentNodeTipologia)), 1);

    auto item = TVRLVoceScheda::CreateObject();
    QVERIFY(item->sIdVoceScheda.isEmpty());
    item->sIdVoceScheda = QStringLiteral("{V}");
    TVRLVoceScheda copy;
    copy.copyFromOther(*item);
    item->clear();
    QCOMPARE(copy.sIdVoceScheda, QStringLiteral("{V}"));
    QVERIFY(item->sIdVoceScheda.isEmpty());
}

void TestVrlDettProd::kindsFromDatabaseCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("ordinal");
    QTest::newRow("data sheet") << 10 << int(cnScheda) << 2;
    QTest::newRow("data-sheet item") << 20 << int(cnVoceScheda) << 3;
    QTest::newRow("paragraph") << 30 << int(cnComponente) << 4;
    QTest::newRow("sub-paragraph") << 40 << int(cnParte) << 5;
    QTest::newRow("text") << 50 << int(cnParteTesto) << 7;
    QTest::newRow("image") << 60 << int(cnParteImmagine) << 8;
    QTest::newRow("web link") << 70 << int(cnParteLinkWeb) << 9;
    QTest::newRow("table") << 80 << int(cnParteTabella) << 10;
    QTest::newRow("table item") << 90 << int(cnParteVoceTabella) << 11;
    QTest::newRow("unknown code") << 55 << int(cnProdotto) << 1;
    QTest::newRow("root") << 0 << int(cnProdotto) << 1;
}

void TestVrlDettProd::kindsFromDatabaseCodes()
{
    QFETCH(int, code);
    QFETCH(int, kind);
    QFETCH(int, ordinal);
    QCOMPARE(int(NodeTipologiaFromCode(code)), kind);
    QCOMPARE(kind, ordinal);
    if (kind != cnProdotto)
        QCOMPARE(NodeTipologiaCode(TCurrentNodeTipologia(kind)), code);
    else
        QCOMPARE(NodeTipologiaCode(cnProdotto), 0);
}

void TestVrlDettProd::nodeFilledFromATreeRow()
{
    auto rows = TreeRows(
        {{"{P1}", kOwner, "{S1}", 40, 0, 1, 3, 2}, {"{T9}", "{P1}", "{S1}", 77, 1, 1, 3, 2}});
    TVRLDettProd node;
    QVERIFY(FillNodeFromTreeRow(node, *rows, 0));
    QCOMPARE(node.sIdNodo, QStringLiteral("{P1}"));
    QCOMPARE(node.sIdParent, kOwner);
    QCOMPARE(node.sIdSezione, QStringLiteral("{S1}"));
    QCOMPARE(node.iNuTipologia, 40);
    QCOMPARE(node.xTipoNode, cnParte);
    QVERIFY(!node.bAttivo);
    QCOMPARE(node.iNuOrderA, 3);
    QCOMPARE(node.iNuOrderB, 2);
    QCOMPARE(node.iNuQuantita, 0); // the product side never fills it
    // Columns the rows lack keep their cleared values.
    QVERIFY(node.bNodoEspanso);
    QVERIFY(!node.bCanAdd);
    // A kind outside the table loads as the product kind.
    QVERIFY(FillNodeFromTreeRow(node, *rows, 1));
    QCOMPARE(node.iNuTipologia, 77);
    QCOMPARE(node.xTipoNode, cnProdotto);

    auto root = MakeRootNode(kOwner, false);
    QCOMPARE(root->sIdNodo, kOwner);
    QCOMPARE(root->sIdParent, kOwner);
    QCOMPARE(root->sIdSezione, kOwner);
    QCOMPARE(root->xTipoNode, cnProdotto);
    QVERIFY(!root->bAttivo);
    QVERIFY(root->bCanAdd);
    QVERIFY(!root->bCanInsertBeforeAfter);
}

void TestVrlDettProd::treeLeavesOutHiddenRowsAndTheirDescendants()
{
    auto rows = TreeRows({{"{A}", kOwner, "{A}", 30, 1, 1, 1, 0},
                          {"{A1}", "{A}", "{A}", 40, 1, 1, 1, 1},
                          {"{A1T}", "{A1}", "{A}", 50, 1, 1, 1, 1},
                          {"{B}", kOwner, "{B}", 30, 1, 0, 2, 0}, // hidden
                          {"{B1}", "{B}", "{B}", 40, 1, 1, 2, 1},
                          {"{B1T}", "{B1}", "{B}", 50, 1, 1, 2, 1},
                          {"{X}", "{NOWHERE}", "{X}", 50, 1, 1, 3, 0}, // parent never given
                          {"{C}", kOwner, "{C}", 10, 1, 1, 4, 0}});
    const auto tree = LoadDettProdTree(*rows, kOwner, true);
    QStringList ids;
    QStringList parents;
    for (const TDettProdTreeEntry &e : tree) {
        ids << e.node->sIdNodo;
        parents << (e.parent < 0 ? QStringLiteral("-") : tree[size_t(e.parent)].node->sIdNodo);
    }
    QCOMPARE(ids, QStringList({kOwner, "{A}", "{A1}", "{A1T}", "{C}"}));
    QCOMPARE(parents, QStringList({"-", kOwner, "{A}", "{A1}", kOwner}));
    QVERIFY(tree[0].node->bCanAdd);
    QCOMPARE(tree[4].node->xTipoNode, cnScheda);
}

void TestVrlDettProd::largeTreeKeepsEveryParent()
{
    // Hundreds of nodes: the look-up of parents must survive the growth of its table.
    QList<QVariantList> list;
    for (int c = 1; c <= 30; ++c) {
        const QString comp = QStringLiteral("{C%1}").arg(c);
        list.append({comp, kOwner, comp, 30, 1, 1, c, 0});
        for (int p = 1; p <= 12; ++p)
            list.append({QStringLiteral("{C%1P%2}").arg(c).arg(p), comp, comp, 40, 1, 1, c, p});
    }
    auto rows = TreeRows(list);
    const auto tree = LoadDettProdTree(*rows, kOwner, true);
    QCOMPARE(int(tree.size()), 1 + 30 * 13);
    for (size_t i = 1; i < tree.size(); ++i) {
        const TDettProdTreeEntry &e = tree[i];
        QVERIFY(e.parent >= 0 && size_t(e.parent) < i);
        QCOMPARE(tree[size_t(e.parent)].node->sIdNodo, e.node->sIdParent);
        QCOMPARE(rows->ValueAt(e.recNo0, 0).toString(), e.node->sIdNodo);
    }
}

void TestVrlDettProd::snapshotOutlivesTheTreeAndPendingCopyIsProcessWide()
{
    ClearPendingCopyNode();
    QVERIFY(!PendingCopyNode());
    TVRLDettProd snapshot;
    {
        auto rows = TreeRows({{"{S}", kOwner, "{S}", 10, 1, 1, 5, 0}});
        auto tree = LoadDettProdTree(*rows, kOwner, true);
        snapshot.copyFromOther(*tree[1].node);
        SetPendingCopyNode(*tree[1].node);
        tree[1].node->sIdNodo = QStringLiteral("{CHANGED}");
    } // the tree and its rows are gone
    QCOMPARE(snapshot.sIdNodo, QStringLiteral("{S}"));
    QCOMPARE(snapshot.iNuOrderA, 5);
    QCOMPARE(snapshot.xTipoNode, cnScheda);
    QVERIFY(PendingCopyNode());
    QCOMPARE(PendingCopyNode()->sIdNodo, QStringLiteral("{S}"));
    QCOMPARE(PendingCopyNode()->iNuTipologia, 10);
    ClearPendingCopyNode();
    QVERIFY(!PendingCopyNode());
}

void TestVrlDettProd::itemGridRows()
{
    TDataSet table;
    table.AddFieldDef(QStringLiteral("idTabVoce"), TFieldType::Text);
    table.AddFieldDef(QStringLiteral("idTabParte"), TFieldType::Text);
    table.AddFieldDef(QStringLiteral("flVoceTabAttiva"), TFieldType::Integer);
    table.CreateDataSet();
    table.Append();
    table.Fields(0).SetValue(QStringLiteral("{TV}"));
    table.Fields(1).SetValue(QStringLiteral("{TP}"));
    table.Fields(2).SetValue(0);
    table.Post();
    TVRLDettProd node;
    node.iNuOrderA = 9;
    FillNodeFromItemRow(node, table, 0);
    QCOMPARE(node.sIdNodo, QStringLiteral("{TV}"));
    QCOMPARE(node.sIdParent, QStringLiteral("{TP}"));
    QVERIFY(!node.bAttivo);
    QCOMPARE(node.iNuOrderA, 0);
    QCOMPARE(node.xTipoNode, cnProdotto);

    TDataSet sheet;
    sheet.AddFieldDef(QStringLiteral("idVoceScheda"), TFieldType::Text);
    sheet.AddFieldDef(QStringLiteral("idSchedaProdotto"), TFieldType::Text);
    sheet.AddFieldDef(QStringLiteral("flVoceSchedaAttiva"), TFieldType::Integer);
    sheet.CreateDataSet();
    sheet.Append();
    sheet.Fields(0).SetValue(QStringLiteral("{SV}"));
    sheet.Fields(1).SetValue(QStringLiteral("{SP}"));
    sheet.Fields(2).SetValue(1);
    sheet.Post();
    FillNodeFromItemRow(node, sheet, 0);
    QCOMPARE(node.sIdNodo, QStringLiteral("{SV}"));
    QCOMPARE(node.sIdParent, QStringLiteral("{SP}"));
    QVERIFY(node.bAttivo);
}

void TestVrlDettProd::demoProductTreeLoadsWhole()
{
    TTestDatabase db;
    db.LogOn(QStringLiteral("MROSSI"));
    const QString product = db.SuperQuery(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'"));
    auto sets = db.Module().QueryMulti(ExecText(QStringLiteral("EstraiAllDettagliProdotto"),
                                                {SqlText(product),
                                                 QStringLiteral("0"),
                                                 QStringLiteral("0"),
                                                 QStringLiteral("0"),
                                                 QStringLiteral("0"),
                                                 QStringLiteral("0"),
                                                 QStringLiteral("0")}));
    TDataSet &rows = *sets[0];
    rows.SetSort(QStringLiteral("nuOrderA, nuOrderB, nuOrderC, nuOrderD"));
    const auto tree = LoadDettProdTree(rows, product, true);
    QCOMPARE(int(tree.size()), rows.RecordCount() + 1);
    QHash<int, int> kinds;
    for (size_t i = 1; i < tree.size(); ++i) {
        const TVRLDettProd &n = *tree[i].node;
        QVERIFY(tree[i].parent >= 0 && size_t(tree[i].parent) < i);
        QCOMPARE(NodeTipologiaCode(n.xTipoNode), n.iNuTipologia);
        kinds[n.iNuTipologia] += 1;
        const TVRLDettProd &parent = *tree[size_t(tree[i].parent)].node;
        // Data sheets and paragraphs hang on the product, everything else on its kind's parent.
        if (n.xTipoNode == cnScheda || n.xTipoNode == cnComponente)
            QCOMPARE(parent.xTipoNode, cnProdotto);
        if (n.xTipoNode == cnVoceScheda)
            QCOMPARE(parent.xTipoNode, cnScheda);
        if (n.xTipoNode == cnParte)
            QCOMPARE(parent.xTipoNode, cnComponente);
        if (n.xTipoNode == cnParteTesto || n.xTipoNode == cnParteImmagine)
            QCOMPARE(parent.xTipoNode, cnParte);
        if (n.xTipoNode == cnParteVoceTabella)
            QCOMPARE(parent.xTipoNode, cnParteTabella);
    }
    for (const int code : {10, 20, 30, 40, 50, 60, 70, 80, 90})
        QVERIFY2(kinds.value(code) > 0, qPrintable(QString::number(code)));
}

QTEST_GUILESS_MAIN(TestVrlDettProd)
#include "tst_vrldettprod.moc"
