// "Dettagli del prodotto" on the demo database, driven offscreen as an operator does: the tree
// of a product with its captions, icons and drawing, expanding and collapsing, the context menu
// in every state, each node operation with its command text and the rebuilt tree, refused
// operations, the live preview following the tree, and the closing rules.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprodmove.h"
#include "catalogue/dettprodpreview.h"
#include "catalogue/dettprodtree.h"
#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtpopupmenu.h"
#include "db/dataset.h"
#include "reports/krtviewreport.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/programfolder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kUser = QStringLiteral("MROSSI");

// The nodes of the tree as caption lines indented by depth.
QStringList TreeLines(TDettProdTree *tree)
{
    QStringList lines;
    for (TDettProdTreeItem *item : tree->Items()) {
        int depth = 0;
        for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
            ++depth;
        lines << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
    }
    return lines;
}

// Everything a node shows or is decided by: its record, its caption, its place and whether it
// is expanded.
QString NodeState(const TDettProdTreeItem *item)
{
    const TVRLDettProd &n = *item->Node();
    const TVRLDettProd *parent = TDettProdTree::NodeOf(item->parent());
    return QStringLiteral("%1 [%2] under %3 | sez %4 | kind %5/%6 | on %7 | targets %8%9 | "
                          "open %10/%11 | qty %12 | orders %13.%14.%15.%16 | page %17")
        .arg(item->text(0), n.sIdNodo, parent ? parent->sIdNodo : QStringLiteral("-"), n.sIdSezione)
        .arg(n.iNuTipologia)
        .arg(int(n.xTipoNode))
        .arg(n.bAttivo)
        .arg(n.bCanInsertBeforeAfter)
        .arg(n.bCanAdd)
        .arg(n.bNodoEspanso)
        .arg(item->isExpanded())
        .arg(n.iNuQuantita)
        .arg(n.iNuOrderA)
        .arg(n.iNuOrderB)
        .arg(n.iNuOrderC)
        .arg(n.iNuOrderD)
        .arg(n.iPagePreview);
}

QStringList TreeState(const TDettProdTree *tree)
{
    QStringList state;
    for (const TDettProdTreeItem *item : tree->Items())
        state << NodeState(item);
    return state;
}

// The captions the context menu offers for the node (separators as "-").
QStringList MenuCaptions(TDETTAGLI_PRODOTTO *w, TVRLDettProd *node)
{
    QStringList captions;
    if (!w->PrepareTreeMenu(node))
        return captions;
    for (QAction *a : w->PMNU_Funzioni_Tree->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return captions;
}

QString Setting(const QString &key)
{
    return IniReadText(QStringLiteral("SETTINGS"),
                       key,
                       QLatin1String(kIniAbsent),
                       SessionInfo().sUserSettingsFile);
}

void SetSetting(const QString &key, const QString &value)
{
    IniWriteText(QStringLiteral("SETTINGS"), key, value, SessionInfo().sUserSettingsFile);
}

// A node panel of the kind the next issue's panels will be: it records what the editor asks.
class TTestPanel : public TDettProdNodePanel
{
public:
    explicit TTestPanel(QWidget *parent = nullptr)
        : TDettProdNodePanel(parent)
        , m_field(new QLineEdit(this))
    {}
    bool Open(const TDettProdNodeContext &context) override
    {
        opened = context;
        return openResult;
    }
    QString Title(const TDettProdNodeContext &) const override
    {
        return QStringLiteral("Modifica scheda");
    }
    QWidget *MainField() const override { return m_field; }
    bool Save(const TDettProdNodeContext &) override
    {
        ++saves;
        return saveResult;
    }
    void Release() override { ++releases; }

    TDettProdNodeContext opened;
    bool saveResult = true;
    bool openResult = true;
    int saves = 0;
    int releases = 0;

private:
    QLineEdit *m_field;
};

// Three more paragraphs of long texts: the live preview of the product then runs past page 3.
const char *const kGrow = R"SQL(
DO $$
DECLARE
    prod varchar := (SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100');
    comp varchar; part varchar;
    words text := repeat('Il quadro è realizzato con lamiere di acciaio zincato, verniciato a '
                         'polveri epossidiche, con porta trasparente e serratura a chiave. ', 6);
BEGIN
    FOR c IN 1..3 LOOP
        comp := '{' || upper(gen_random_uuid()::text) || '}';
        INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto)
        VALUES (comp, prod, 6 + c, 'Appendice ' || c);
        FOR p IN 1..4 LOOP
            part := '{' || upper(gen_random_uuid()::text) || '}';
            INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp)
            VALUES (part, comp, p, 'Sezione ' || c || '.' || p);
            FOR t IN 1..3 LOOP
                INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf,
                                                 txdesctxtparte)
                VALUES ('{' || upper(gen_random_uuid()::text) || '}', part, t,
                        '{\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}\pard\f0\fs26 ' || words || '\par}', words);
            END LOOP;
        END LOOP;
    END LOOP;
END $$;
)SQL";

} // namespace

class TestDettagliProdotto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void captionsByKind_data();
    void captionsByKind();
    void productTreeIsBuiltFromItsRows();
    void productWithoutNodesShowsTheRoot();
    void nodesAreDrawnByTheirState();
    void doubleClickExpandsOnlyContainers_data();
    void doubleClickExpandsOnlyContainers();
    void bulkButtonsRecordNothing();
    void collapsedNodesSurviveAMove();
    void contextMenuOutsideAMove_data();
    void contextMenuOutsideAMove();
    void moveShowsOnlyItsTargets_data();
    void moveShowsOnlyItsTargets();
    void tableItemMoveOffersOtherTables();
    void operationsSendTheirCommands_data();
    void operationsSendTheirCommands();
    void enableDisableUpdatesTheNodesInPlace();
    void treeUpdatedInPlaceLooksAsRebuilt_data();
    void treeUpdatedInPlaceLooksAsRebuilt();
    void keysThatDoNothing();
    void deleteAsksFirst();
    void staleMoveIsRefusedAndTheProductReloaded();
    void mergeOfTheFirstSubParagraphIsRefused();
    void previewPageOfNode_data();
    void previewPageOfNode();
    void previewFollowsTheTree();
    void previewPageButtonsAndZoom();
    void previewSettings_data();
    void previewSettings();
    void imagesOptionReloadsTheRows();
    void failedPreviewSwitchesItOff();
    void nodePanelOpensAndBlocksClosing();
    void panelThatCannotOpenLeavesTheTree();
    void closingTellsTheProductList();
    void copyIntoAnotherProductHandsTheNodeOver();
    void openedOnceFromTheProductList();
    void debugPaneGetsTheCommandsAndTimes();
    void lookAtTheWindow();

private:
    QString ProductId(const QString &code) const;
    // The id of a node of QDG-100 by its description (first in tree order).
    QString NodeId(const QString &description,
                   const QString &code = QStringLiteral("QDG-100")) const;
    // The editor opened through the window registry and started on the product.
    TDETTAGLI_PRODOTTO *Open(const QString &code = QStringLiteral("QDG-100"));
    TDettProdTreeItem *Item(const QString &description) const;
    TVRLDettProd *Node(const QString &description) const;
    QString Super(const QString &sql) const { return m_db->SuperQuery(sql); }
    QString LastCommand() const { return m_db->Module().LastCommandText(); }

    QTemporaryDir m_home;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
    QPointer<TDETTAGLI_PRODOTTO> m_window;
};

void TestDettagliProdotto::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void TestDettagliProdotto::init()
{
    // The program folder with the live preview's report, fresh for every case.
    QDir(m_home.filePath(QStringLiteral("Reports"))).removeRecursively();
    QVERIFY(CopyProgramReports(m_home.path(), {QStringLiteral("pdprwdet00.RPT")}));
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(kUser);
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = kUser;
    SessionInfo().sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_MROSSI.ini"));
    QFile::remove(SessionInfo().sUserSettingsFile);
}

void TestDettagliProdotto::cleanup()
{
    if (m_window) {
        m_window->PAN_Dettagli->setEnabled(true);
        m_window->close();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dialogs.reset();
    m_db.reset();
    ClearPendingCopyNode();
    SetDebugLineSink(nullptr);
}

QString TestDettagliProdotto::ProductId(const QString &code) const
{
    return Super(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '%1'").arg(code));
}

QString TestDettagliProdotto::NodeId(const QString &description, const QString &code) const
{
    return Super(QStringLiteral("SELECT n.idnodo FROM prodotti_nodi n JOIN prodotti p USING "
                                "(idprodotto) WHERE p.txcodprodotto = '%1' AND n.txdescnodo = "
                                "'%2' ORDER BY n.nuordera, n.nuorderb, n.nuorderc, n.nuorderd "
                                "LIMIT 1")
                     .arg(code, description));
}

TDETTAGLI_PRODOTTO *TestDettagliProdotto::Open(const QString &code)
{
    auto *w = qobject_cast<TDETTAGLI_PRODOTTO *>(
        CreateRegisteredWindow(QStringLiteral("DETTAGLI_PRODOTTO"), nullptr));
    if (!w)
        return nullptr;
    m_window = w;
    const QString id = ProductId(code);
    const QString desc = Super(
        QStringLiteral("SELECT txdescprodotto FROM prodotti WHERE idprodotto = '%1'").arg(id));
    w->Start(false, id, code, desc, true);
    w->show();
    w->resize(1400, 900);
    return w;
}

TDettProdTreeItem *TestDettagliProdotto::Item(const QString &description) const
{
    return m_window ? m_window->TV_Dettagli->FindTreeNode(NodeId(description)) : nullptr;
}

TVRLDettProd *TestDettagliProdotto::Node(const QString &description) const
{
    TDettProdTreeItem *item = Item(description);
    return item ? item->Node() : nullptr;
}

// --- Tree -----------------------------------------------------------------------------------

void TestDettagliProdotto::captionsByKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("orders"); // nuOrderA..D
    QTest::addColumn<QString>("desc");
    QTest::addColumn<QString>("descB");
    QTest::addColumn<QString>("descC");
    QTest::addColumn<double>("quantity");
    QTest::addColumn<bool>("flag"); // bulleted text / picture present
    QTest::addColumn<QString>("caption");
    const QList<int> o{3, 2, 4, 5};
    QTest::newRow("data sheet") << 10 << o << "Dati tecnici"
                                << ""
                                << "" << 0.0 << false << "3. Dati tecnici";
    QTest::newRow("data sheet untitled") << 10 << o << ""
                                         << ""
                                         << "" << 0.0 << false << "3. (Scheda senza titolo)";
    QTest::newRow("data-sheet item") << 20 << o << "Colore"
                                     << ""
                                     << "" << 0.0 << false << "2. Colore";
    QTest::newRow("paragraph") << 30 << o << "Garanzia"
                               << ""
                               << "" << 0.0 << false << "3. Garanzia";
    QTest::newRow("paragraph untitled") << 30 << o << ""
                                        << ""
                                        << "" << 0.0 << false << "3. (Paragrafo senza descrizione)";
    QTest::newRow("sub-paragraph with quantity")
        << 40 << o << "Cablaggio"
        << ""
        << "" << 1500.0 << false << "2.  N° 1.500 Cablaggio";
    QTest::newRow("sub-paragraph untitled") << 40 << o << ""
                                            << ""
                                            << "" << 0.0 << false << "2. (senza descrizione)";
    QTest::newRow("text in a list") << 50 << o << "Norma CEI"
                                    << ""
                                    << "" << 0.0 << true << "4. -- Norma CEI";
    QTest::newRow("text missing") << 50 << o << ""
                                  << ""
                                  << "" << 0.0 << false << "4. (testo mancante)";
    QTest::newRow("image") << 60 << o << "Vista frontale"
                           << ""
                           << "" << 0.0 << true << "4. Vista frontale";
    QTest::newRow("image without picture nor caption")
        << 60 << o << ""
        << ""
        << "" << 0.0 << false << "4. (immagine non presente) - (senza didascalia)";
    QTest::newRow("web link missing") << 70 << o << ""
                                      << ""
                                      << "" << 0.0 << false << "4. (link web mancante)";
    QTest::newRow("table") << 80 << o << "Sezioni"
                           << "Corrente"
                           << "Sezione" << 0.0 << false
                           << "4. Sezioni  ---  Intestazioni:  Corrente  -->  Sezione";
    QTest::newRow("table without titles")
        << 80 << o << ""
        << ""
        << "" << 0.0 << false
        << "4. (senza descrizione)  ---  Intestazioni:  (nessun titolo voce)  -->  (nessun "
           "titolo valore)";
    QTest::newRow("table item") << 90 << o << "630 A"
                                << "40 x 10 mm"
                                << "" << 0.0 << false
                                << "5. Voce: \"630 A\"  -->  Valore: \"40 x 10 mm\"";
}

void TestDettagliProdotto::captionsByKind()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, orders);
    QFETCH(QString, desc);
    QFETCH(QString, descB);
    QFETCH(QString, descC);
    QFETCH(double, quantity);
    QFETCH(bool, flag);
    QFETCH(QString, caption);
    auto node = TVRLDettProd::CreateObject();
    node->iNuTipologia = kind;
    node->xTipoNode = NodeTipologiaFromCode(kind);
    node->iNuOrderA = orders[0];
    node->iNuOrderB = orders[1];
    node->iNuOrderC = orders[2];
    node->iNuOrderD = orders[3];
    TDettProdCaptionRow row;
    row.sDesc = desc;
    row.sDescB = descB;
    row.sDescC = descC;
    row.dQuantita = quantity;
    row.bTestoInElenco = flag;
    row.bExistsImg = flag;
    QCOMPARE(ProductNodeCaption(*node, row), caption);
}

void TestDettagliProdotto::productTreeIsBuiltFromItsRows()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(),
             QStringLiteral("Dettagli del prodotto: \"QUADRO DI DISTRIBUZIONE GENERALE 1600 A\""));
    QCOMPARE(LastCommand(),
             QStringLiteral("EXEC EstraiAllDettagliProdotto '%1', 0, 0, 0, 0, 0, 0")
                 .arg(w->sIdProdotto));
    TDettProdTree *tree = w->TV_Dettagli;
    QCOMPARE(tree->NodeCount(), w->DST_TREE_Dettagli->RecordCount() + 1);
    QCOMPARE(tree->CurrentNode(), tree->RootNode());
    const QStringList lines = TreeLines(tree);
    QCOMPARE(lines.first(), QStringLiteral("QUADRO DI DISTRIBUZIONE GENERALE 1600 A (QDG-100)"));
    for (const QString &line : {QStringLiteral("  1. Dati tecnici"),
                                QStringLiteral("    8. Colore"),
                                QStringLiteral("  3. Descrizione generale"),
                                QStringLiteral("    1. Generalità"),
                                QStringLiteral("      3. Vista frontale"),
                                QStringLiteral("    1.  N° 1 Struttura e sbarre"),
                                QStringLiteral("      2. Sezioni delle sbarre  ---  Intestazioni:  "
                                               "Corrente  -->  Sezione"),
                                QStringLiteral("        1. Voce: \"630 A\"  -->  Valore: \"40 x "
                                               "10 mm\""),
                                QStringLiteral("      1. -- CEI EN 61439-1 e CEI EN 61439-2")})
        QVERIFY2(lines.contains(line), qPrintable(line));
    // Every node carries its record, its icon by kind and state, and starts expanded.
    for (TDettProdTreeItem *item : tree->Items()) {
        const TVRLDettProd *node = item->Node();
        QVERIFY(node);
        const int kindPosition = node->xTipoNode == cnProdotto ? 0 : node->iNuTipologia / 10;
        QCOMPARE(TDettProdTree::NodeIconIndex(*node), 2 * kindPosition + (node->bAttivo ? 0 : 1));
        QVERIFY(item->childCount() == 0 || item->isExpanded());
    }
    QCOMPARE(TDettProdTree::ImageList().size(), 20);
    QCOMPARE(tree->indentation(), 30);
    QCOMPARE(tree->visualItemRect(tree->topLevelItem(0)).height(), 30);
}

void TestDettagliProdotto::productWithoutNodesShowsTheRoot()
{
    Super(QStringLiteral("INSERT INTO prodotti (idprodotto, txcodprodotto, txdescprodotto) VALUES "
                         "('{5B0C4C7E-0000-4000-8000-00000000B0A1}', '   ', 'SENZA DETTAGLI')"));
    TDETTAGLI_PRODOTTO *w = Open(QStringLiteral("   "));
    QVERIFY(w);
    QCOMPARE(TreeLines(w->TV_Dettagli), QStringList{QStringLiteral("SENZA DETTAGLI")});
    QCOMPARE(MenuCaptions(w, w->TV_Dettagli->RootNode()),
             (QStringList{QStringLiteral("Aggiungi una scheda"),
                          QStringLiteral("Aggiungi un paragrafo")}));
}

void TestDettagliProdotto::nodesAreDrawnByTheirState()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->oCurrentDettProd = Node(QStringLiteral("Vista interna"));
    w->EnableDisableNode();
    TDettProdTree *tree = w->TV_Dettagli;
    tree->SelectNode(NodeId(QStringLiteral("Cablaggio")));
    tree->scrollToItem(Item(QStringLiteral("Vista interna")));
    QApplication::processEvents();
    const QImage shot = tree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto count = [&](QTreeWidgetItem *item, QRgb colour) {
        const QRect r = tree->visualItemRect(item);
        int n = 0;
        for (int y = qMax(0, r.top()); y <= qMin(shot.height() - 1, r.bottom()); ++y)
            for (int x = 0; x < shot.width(); ++x)
                n += shot.pixel(x, y) == colour ? 1 : 0;
        return n;
    };
    // The disabled node in red (its icon crossed in red too), the selected one on black.
    QVERIFY(count(Item(QStringLiteral("Vista interna")), qRgb(0xFF, 0, 0)) > 20);
    QCOMPARE(count(Item(QStringLiteral("Vista frontale")), qRgb(0xFF, 0, 0)), 0);
    QVERIFY(count(Item(QStringLiteral("Cablaggio")), qRgb(0, 0, 0)) > 200);
    // The root, selected, on the dark blue of the window.
    tree->SelectNode(w->sIdProdotto);
    tree->scrollToTop();
    QApplication::processEvents();
    const QImage top = tree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect root = tree->visualItemRect(tree->topLevelItem(0));
    int blue = 0;
    for (int x = 0; x < top.width(); ++x)
        blue += top.pixel(x, root.center().y()) == qRgb(0x37, 0x6E, 0xA1) ? 1 : 0;
    QVERIFY(blue > 50);
}

void TestDettagliProdotto::doubleClickExpandsOnlyContainers_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("table") << "Sezioni delle sbarre" << true;
    QTest::newRow("sub-paragraph") << "Generalità" << true;
    QTest::newRow("paragraph") << "Descrizione generale" << true;
    QTest::newRow("data sheet") << "Dati tecnici" << true;
    QTest::newRow("text") << "Vista frontale" << false;
    QTest::newRow("data-sheet item") << "Colore" << false;
    QTest::newRow("table item") << "630 A" << false;
}

void TestDettagliProdotto::doubleClickExpandsOnlyContainers()
{
    QFETCH(QString, description);
    QFETCH(bool, toggles);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    TDettProdTreeItem *item = Item(description);
    QVERIFY(item);
    const bool before = item->isExpanded();
    // The tree itself refuses every request outside the double click's gate.
    QVERIFY(!tree->RequestExpand(item, !before));
    QCOMPARE(item->isExpanded(), before);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    QCOMPARE(item->isExpanded(), toggles ? !before : before);
    QCOMPARE(tree->ExpandGate(), int(TDettProdTree::egRefuse));
    // The choice is recorded in the row and restored by a rebuild from the rows.
    TDataSet &rows = *w->DST_TREE_Dettagli;
    QVERIFY(rows.Locate(QStringLiteral("idNodo"), NodeId(description)));
    QCOMPARE(rows.FieldByName(QStringLiteral("flNodoEspanso")).AsInteger(), toggles ? 0 : 1);
    w->BuildTree(QString());
    QCOMPARE(Item(description)->isExpanded(), toggles ? !before : before);
    if (toggles) { // and a second double click opens it again
        item = Item(description);
        tree->ToggleByDoubleClick(item);
        QVERIFY(item->isExpanded());
        QVERIFY(rows.Locate(QStringLiteral("idNodo"), NodeId(description)));
        QCOMPARE(rows.FieldByName(QStringLiteral("flNodoEspanso")).AsInteger(), 1);
    }
}

void TestDettagliProdotto::bulkButtonsRecordNothing()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    tree->SelectNode(NodeId(QStringLiteral("Cablaggio")));
    auto collapsed = [&](TCurrentNodeTipologia kind) {
        int n = 0;
        for (TDettProdTreeItem *item : tree->Items())
            n += item->Node()->xTipoNode == kind && !item->isExpanded() ? 1 : 0;
        return n;
    };
    QTest::mouseClick(w->PB_Tree_ChiudiComponenti, Qt::LeftButton);
    QCOMPARE(collapsed(cnComponente), 4);
    QTest::mouseClick(w->PB_Tree_ChiudiSchede, Qt::LeftButton);
    QCOMPARE(collapsed(cnScheda), 2);
    QTest::mouseClick(w->PB_Tree_ChiudiParti, Qt::LeftButton);
    QCOMPARE(collapsed(cnParte), 6);
    QVERIFY(CollapsedRowIds(*w->DST_TREE_Dettagli).isEmpty());
    QTest::mouseClick(w->PB_Tree_MostraTutto, Qt::LeftButton);
    QCOMPARE(collapsed(cnComponente) + collapsed(cnScheda) + collapsed(cnParte), 0);
    QCOMPARE(tree->CurrentNode()->sIdNodo, NodeId(QStringLiteral("Cablaggio")));
    QVERIFY(CollapsedRowIds(*w->DST_TREE_Dettagli).isEmpty());
}

void TestDettagliProdotto::collapsedNodesSurviveAMove()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    tree->ToggleByDoubleClick(Item(QStringLiteral("Sezioni delle sbarre")));
    tree->ToggleByDoubleClick(Item(QStringLiteral("Generalità")));
    // "Cablaggio" goes to the end of "Descrizione generale".
    w->oCurrentDettProd = Node(QStringLiteral("Cablaggio"));
    w->StartMove();
    QVERIFY(w->oMovingDettProd);
    // During the move everything is open, so that every target can be reached.
    QVERIFY(Item(QStringLiteral("Generalità"))->isExpanded());
    w->oCurrentDettProd = Node(QStringLiteral("Descrizione generale"));
    w->EndMoveAppend();
    QCOMPARE(LastCommand(),
             QStringLiteral("EXEC AppendNodoProdotto '%1', '%2', '%3', 40, '%4', 0, 'MROSSI'")
                 .arg(w->sIdProdotto,
                      NodeId(QStringLiteral("Cablaggio")),
                      NodeId(QStringLiteral("Caratteristiche costruttive")),
                      NodeId(QStringLiteral("Descrizione generale"))));
    QVERIFY(!w->oMovingDettProd);
    QVERIFY(!Item(QStringLiteral("Sezioni delle sbarre"))->isExpanded());
    QVERIFY(!Item(QStringLiteral("Generalità"))->isExpanded());
    QCOMPARE(tree->CurrentNode()->sIdNodo, NodeId(QStringLiteral("Cablaggio")));
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("3. Cablaggio"));
    QCOMPARE(tree->currentItem()->parent(), Item(QStringLiteral("Descrizione generale")));
    // Any other reload takes the expand state from the rows the database gives.
    w->oCurrentDettProd = Node(QStringLiteral("Colore"));
    w->EnableDisableNode();
    QVERIFY(Item(QStringLiteral("Generalità"))->isExpanded());
}

// --- Context menu and moves -----------------------------------------------------------------

void TestDettagliProdotto::contextMenuOutsideAMove_data()
{
    QTest::addColumn<QString>("description"); // empty: the root
    QTest::addColumn<QStringList>("captions");
    const QStringList top{"Aggiungi una scheda", "Aggiungi un paragrafo"};
    const QStringList topHere{"Aggiungi una scheda",
                              "Aggiungi un paragrafo",
                              "Inserisci una scheda qui",
                              "Inserisci un paragrafo qui"};
    const QStringList contents{"Aggiungi un testo",
                               "Aggiungi un'immagine",
                               "Aggiungi un link web",
                               "Aggiungi una tabella"};
    const QStringList parts{"Aggiungi un sottoparagrafo",
                            "Aggiungi un sottoparagrafo senza testo",
                            "Inserisci un sottoparagrafo qui"};
    auto ops = [](const QString &object) {
        return QStringList{"Modifica",
                           "Elimina",
                           "Disabilita " + object,
                           "Seleziona per spostamento"};
    };
    const QString sep = QStringLiteral("-");
    QTest::newRow("root") << QString() << top;
    QTest::newRow("data sheet") << "Dati tecnici"
                                << (QStringList{"Aggiungi una voce alla scheda", sep} + topHere
                                    + QStringList{sep} + ops("la scheda")
                                    + QStringList{"Copia in altro prodotto"});
    QTest::newRow("data-sheet item") << "Colore"
                                     << (QStringList{"Aggiungi una voce alla scheda", sep} + top
                                         + QStringList{sep} + ops("la voce della scheda"));
    QTest::newRow("paragraph") << "Descrizione generale"
                               << (QStringList{"Aggiungi un sottoparagrafo",
                                               "Aggiungi un sottoparagrafo senza testo",
                                               sep}
                                   + topHere + QStringList{sep} + ops("il paragrafo")
                                   + QStringList{"Copia in altro prodotto"});
    QTest::newRow("first sub-paragraph") << "Generalità"
                                         << (contents + QStringList{sep} + parts + QStringList{sep}
                                             + top + QStringList{sep} + ops("il sottoparagrafo"));
    QTest::newRow("second sub-paragraph")
        << "Componentistica"
        << (contents + QStringList{sep} + parts
            + QStringList{"Unisci il sottoparagrafo al precedente", sep} + top + QStringList{sep}
            + ops("il sottoparagrafo"));
    QTest::newRow("image") << "Vista frontale"
                           << (contents + QStringList{sep} + parts + QStringList{sep} + top
                               + QStringList{sep} + ops("l'immagine"));
    QTest::newRow("web link") << "Comitato Elettrotecnico Italiano"
                              << (contents + QStringList{sep} + parts + QStringList{sep} + top
                                  + QStringList{sep} + ops("il link web"));
    QTest::newRow("table") << "Sezioni delle sbarre"
                           << (QStringList{"Aggiungi una voce alla tabella", sep} + contents
                               + QStringList{sep} + parts + QStringList{sep} + top
                               + QStringList{sep} + ops("la tabella"));
    QTest::newRow("table item") << "630 A"
                                << (QStringList{"Aggiungi una voce alla tabella", sep} + top
                                    + QStringList{sep} + ops("la voce della tabella"));
}

void TestDettagliProdotto::contextMenuOutsideAMove()
{
    QFETCH(QString, description);
    QFETCH(QStringList, captions);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TVRLDettProd *node = description.isEmpty() ? w->TV_Dettagli->RootNode() : Node(description);
    QVERIFY(node);
    QCOMPARE(MenuCaptions(w, node), captions);
    // The node right-clicked becomes the current one and is selected.
    QCOMPARE(w->oCurrentDettProd, node);
    QCOMPARE(w->TV_Dettagli->CurrentNode(), node);
    // A disabled node offers to enable it.
    if (!description.isEmpty()) {
        w->EnableDisableNode();
        const QStringList after = MenuCaptions(w, Node(description));
        QVERIFY2(after.indexOf(QRegularExpression(QStringLiteral("Abilita .*"))) >= 0,
                 qPrintable(after.join(u'|')));
    }
    QVERIFY(!w->PrepareTreeMenu(nullptr));
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error), QStringLiteral("Errore selezione nodo."));
}

void TestDettagliProdotto::moveShowsOnlyItsTargets_data()
{
    QTest::addColumn<QString>("moving");
    QTest::addColumn<QList<int>>("shownKinds");    // kinds of the nodes left in the tree
    QTest::addColumn<QList<int>>("beforeAfter");   // kinds offered as before/after targets
    QTest::addColumn<QList<int>>("appendTargets"); // kinds offered as append targets
    QTest::newRow("data sheet") << "Dati tecnici" << QList<int>{0, 10, 30} << QList<int>{10, 30}
                                << QList<int>{0};
    QTest::newRow("data-sheet item")
        << "Colore" << QList<int>{0, 10, 20} << QList<int>{20} << QList<int>{10};
    QTest::newRow("paragraph") << "Garanzia e assistenza" << QList<int>{0, 10, 30}
                               << QList<int>{10, 30} << QList<int>{0};
    QTest::newRow("sub-paragraph")
        << "Cablaggio" << QList<int>{0, 30, 40, 80} << QList<int>{40} << QList<int>{30};
    QTest::newRow("text") << "Vista frontale" << QList<int>{0, 30, 40, 50, 60, 70, 80}
                          << QList<int>{50, 60, 70, 80} << QList<int>{40};
    QTest::newRow("table item") << "630 A" << QList<int>{0, 30, 40, 80, 90} << QList<int>{90}
                                << QList<int>{};
}

void TestDettagliProdotto::moveShowsOnlyItsTargets()
{
    QFETCH(QString, moving);
    QFETCH(QList<int>, shownKinds);
    QFETCH(QList<int>, beforeAfter);
    QFETCH(QList<int>, appendTargets);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString movingId = NodeId(moving);
    w->oCurrentDettProd = Node(moving);
    w->StartMove();
    TDettProdTree *tree = w->TV_Dettagli;
    QCOMPARE(tree->CurrentNode()->sIdNodo, movingId);
    QCOMPARE(tree->MovingId(), movingId);
    QSet<int> shown, before, append;
    for (TDettProdTreeItem *item : tree->Items()) {
        const TVRLDettProd *n = item->Node();
        shown.insert(n->iNuTipologia);
        if (n->sIdNodo == movingId) {
            QVERIFY(!n->bCanInsertBeforeAfter && !n->bCanAdd);
            continue;
        }
        if (n->bCanInsertBeforeAfter)
            before.insert(n->iNuTipologia);
        if (n->bCanAdd) {
            append.insert(n->iNuTipologia);
            // Not where it already is (the product excepted: appending moves to the end).
            QVERIFY(n->sIdNodo != w->oMovingDettProd->sIdParent || n->iNuTipologia == 0);
        }
    }
    QCOMPARE(shown, QSet<int>(shownKinds.begin(), shownKinds.end()));
    QCOMPARE(before, QSet<int>(beforeAfter.begin(), beforeAfter.end()));
    QCOMPARE(append, QSet<int>(appendTargets.begin(), appendTargets.end()));
    // During the move the menu offers only the ends of the move on a target.
    QCOMPARE(MenuCaptions(w, tree->CurrentNode()),
             QStringList{QStringLiteral("Annulla spostamento")});
    // Cancelling shows the whole tree again, with the moving node selected; nothing is sent.
    const QString sent = LastCommand();
    w->CancelMove();
    QVERIFY(!w->oMovingDettProd);
    QCOMPARE(tree->NodeCount(), w->DST_TREE_Dettagli->RecordCount() + 1);
    QCOMPARE(tree->CurrentNode()->sIdNodo, movingId);
    QCOMPARE(LastCommand(), sent);
    QVERIFY(tree->MovingId().isEmpty());
}

void TestDettagliProdotto::tableItemMoveOffersOtherTables()
{
    // A second table, under "Norme applicate" of "Normative di riferimento".
    const QString part = NodeId(QStringLiteral("Norme applicate"));
    Super(QStringLiteral("INSERT INTO prod_comp_parte_tab (idtabparte, idpartecomp, nuordineparte, "
                         "txdesctabparte) VALUES ('{5B0C4C7E-0000-4000-8000-0000000000AB}', '%1', "
                         "7, 'Seconda tabella')")
              .arg(part));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->oCurrentDettProd = Node(QStringLiteral("630 A"));
    w->StartMove();
    TDettProdTree *tree = w->TV_Dettagli;
    // Paragraphs and sub-paragraphs without a table are not shown.
    QVERIFY(!Item(QStringLiteral("Descrizione generale")));
    QVERIFY(!Item(QStringLiteral("Cablaggio")));
    QVERIFY(Item(QStringLiteral("Norme applicate")));
    QVERIFY(Item(QStringLiteral("Struttura e sbarre")));
    TVRLDettProd *other
        = tree->FindTreeNode(QStringLiteral("{5B0C4C7E-0000-4000-8000-0000000000AB}"))->Node();
    QCOMPARE(MenuCaptions(w, other),
             (QStringList{"Aggiungi alla tabella", "-", "Annulla spostamento"}));
    QCOMPARE(MenuCaptions(w, Node(QStringLiteral("Sezioni delle sbarre"))),
             QStringList{"Annulla spostamento"});
    QCOMPARE(MenuCaptions(w, Node(QStringLiteral("2500 A"))),
             (QStringList{"Inserisci prima della voce della tabella",
                          "Inserisci dopo la voce della tabella",
                          "-",
                          "Annulla spostamento"}));
    // The product takes only data sheets and paragraphs.
    QCOMPARE(MenuCaptions(w, tree->RootNode()), QStringList{"Annulla spostamento"});
    w->oCurrentDettProd = other;
    w->MenuAction(QStringLiteral("MNU_EndMoveAppend"))->trigger();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QCOMPARE(tree->CurrentNode()->sIdNodo, NodeId(QStringLiteral("630 A")));
    QCOMPARE(tree->currentItem()->parent()->text(0),
             QStringLiteral("7. Seconda tabella  ---  Intestazioni:  (nessun titolo voce)  -->  "
                            "(nessun titolo valore)"));
    QCOMPARE(tree->currentItem()->text(0),
             QStringLiteral("1. Voce: \"630 A\"  -->  Valore: \"40 "
                            "x 10 mm\""));
}

void TestDettagliProdotto::operationsSendTheirCommands_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("command"); // %1 product, %2 node, %3 its parent, %4 target,
                                          // %5 target's parent
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("selectedCaption");
    QTest::newRow("disable") << "MNU_AbilitaDisabilitaNodo"
                             << "Cablaggio"
                             << ""
                             << "EXEC ChangeStateNodo '%1', 0, '%2', 40, 0, 'MROSSI'"
                             << "Cablaggio"
                             << "2. Cablaggio";
    QTest::newRow("delete") << "MNU_EliminaNodo"
                            << "Vista interna"
                            << ""
                            << "EXEC DeleteNodo '%1', '%2', '%3', 60, 0, 'MROSSI'"
                            << "Componentistica"
                            << "2. Componentistica";
    QTest::newRow("merge") << "MNU_MergeParte"
                           << "Componentistica"
                           << ""
                           << "EXEC MergeParte '%1', '%3', '%2', 2, 0, 'MROSSI'"
                           << "Descrizione generale"
                           << "3. Descrizione generale";
    QTest::newRow("append") << "MNU_EndMoveAppend"
                            << "Cablaggio"
                            << "Normative di riferimento"
                            << "EXEC AppendNodoProdotto '%1', '%2', '%3', 40, '%4', 0, 'MROSSI'"
                            << "Cablaggio"
                            << "2. Cablaggio";
    QTest::newRow("before") << "MNU_EndMoveInsertBefore"
                            << "Norme applicate"
                            << "Generalità"
                            << "EXEC InsertAfterBeforeNodoProdotto 0, '%1', '%2', '%3', 40, "
                               "'%4', '%5', 40, 0, 'MROSSI'"
                            << "Norme applicate"
                            << "1. Norme applicate";
    QTest::newRow("after") << "MNU_EndMoveInsertAfter"
                           << "Dati tecnici"
                           << "Garanzia e assistenza"
                           << "EXEC InsertAfterBeforeNodoProdotto 1, '%1', '%2', '%3', 10, '%4', "
                              "'%5', 30, 0, 'MROSSI'"
                           << "Dati tecnici"
                           << "6. Dati tecnici";
    QTest::newRow("Alt+Down") << "Alt+Down"
                              << "Generalità"
                              << "Componentistica"
                              << "EXEC InsertAfterBeforeNodoProdotto 1, '%1', '%2', '%3', 40, "
                                 "'%4', '%5', 40, 0, 'MROSSI'"
                              << "Generalità"
                              << "2. Generalità";
    QTest::newRow("Alt+Up") << "Alt+Up"
                            << "CEI EN 60529 (grado di protezione IP)"
                            << "CEI EN 61439-1 e CEI EN 61439-2"
                            << "EXEC InsertAfterBeforeNodoProdotto 0, '%1', '%2', '%3', 50, "
                               "'%4', '%5', 50, 0, 'MROSSI'"
                            << "CEI EN 60529 (grado di protezione IP)"
                            << "1. -- CEI EN 60529 (grado di protezione IP)";
}

void TestDettagliProdotto::operationsSendTheirCommands()
{
    QFETCH(QString, operation);
    QFETCH(QString, node);
    QFETCH(QString, target);
    QFETCH(QString, command);
    QFETCH(QString, selected);
    QFETCH(QString, selectedCaption);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    TDettProdTree *tree = w->TV_Dettagli;
    TVRLDettProd *n = Node(node);
    QVERIFY(n);
    const QString nodeId = n->sIdNodo;
    const QString nodeParent = n->sIdParent;
    const QString targetId = target.isEmpty() ? QString() : NodeId(target);
    QString targetParent;
    if (!target.isEmpty())
        targetParent = Node(target)->sIdParent;
    if (operation.startsWith(QLatin1String("Alt+"))) {
        tree->setFocus();
        tree->SelectNode(n->sIdNodo);
        QTest::keyClick(tree,
                        operation.endsWith(QLatin1String("Down")) ? Qt::Key_Down : Qt::Key_Up,
                        Qt::AltModifier);
        // A keyboard move switches the preview off first.
        QVERIFY(!w->CK_PreviewProd->isChecked());
        QVERIFY(!w->PAN_Preview->HasPreview());
    } else {
        QVERIFY(w->PrepareTreeMenu(n));
        if (operation.startsWith(QLatin1String("MNU_EndMove"))) {
            w->MenuAction(QStringLiteral("MNU_StartMove"))->trigger();
            QVERIFY(w->PrepareTreeMenu(Node(target)));
        }
        QAction *action = w->MenuAction(operation);
        QVERIFY(w->PMNU_Funzioni_Tree->actions().contains(action));
        m_dialogs->QueueYes();
        action->trigger();
    }
    QCOMPARE(LastCommand(), command.arg(w->sIdProdotto, nodeId, nodeParent, targetId, targetParent));
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    QVERIFY(w->bChanges);
    QVERIFY(!w->oMovingDettProd);
    // The tree shows the rows the function answered, with the right node selected.
    QCOMPARE(tree->NodeCount(), w->DST_TREE_Dettagli->RecordCount() + 1);
    QCOMPARE(tree->CurrentNode()->sIdNodo, NodeId(selected));
    QCOMPARE(tree->currentItem()->text(0), selectedCaption);
    // The preview follows once the tree is on screen (when still switched on).
    if (w->CK_PreviewProd->isChecked()) {
        QVERIFY(w->PreviewPending());
        w->RunPendingPreview();
        QVERIFY(w->PAN_Preview->HasPreview());
    }
}

void TestDettagliProdotto::enableDisableUpdatesTheNodesInPlace()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    QTreeWidgetItem *other = Item(QStringLiteral("Colore"));
    TDettProdTreeItem *item = Item(QStringLiteral("Descrizione generale"));
    QVERIFY(w->PrepareTreeMenu(item->Node()));
    QCOMPARE(w->MenuAction(QStringLiteral("MNU_AbilitaDisabilitaNodo"))->text(),
             QStringLiteral("Disabilita il paragrafo"));
    w->EnableDisableNode();
    // The same items, the node now disabled and its icon with it.
    QCOMPARE(Item(QStringLiteral("Colore")), other);
    QCOMPARE(Item(QStringLiteral("Descrizione generale")), item);
    QVERIFY(!item->Node()->bAttivo);
    QCOMPARE(TDettProdTree::NodeIconIndex(*item->Node()), 7);
    QCOMPARE(tree->CurrentNode(), item->Node());
    QCOMPARE(Super(QStringLiteral("SELECT flcompprodottoattivo FROM prod_componenti WHERE "
                                  "idcompprodotto = '%1'")
                       .arg(item->Node()->sIdNodo)),
             QStringLiteral("0"));
    QVERIFY(w->PrepareTreeMenu(item->Node()));
    QCOMPARE(w->MenuAction(QStringLiteral("MNU_AbilitaDisabilitaNodo"))->text(),
             QStringLiteral("Abilita il paragrafo"));
    w->EnableDisableNode();
    QVERIFY(item->Node()->bAttivo);
}

void TestDettagliProdotto::treeUpdatedInPlaceLooksAsRebuilt_data()
{
    // Each step: a menu entry, "rows" (the node marked collapsed in the rows, the tree built
    // again over them) or "rename" (a sub-paragraph renamed in the database), ":", and the
    // node's description.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("inPlace"); // the items shown stay
    const QString toggle = QStringLiteral("MNU_AbilitaDisabilitaNodo:");
    QTest::newRow("paragraph with children disabled")
        << QStringList{toggle + "Descrizione generale"} << true;
    QTest::newRow("paragraph disabled and enabled again")
        << QStringList{toggle + "Descrizione generale", toggle + "Descrizione generale"} << true;
    QTest::newRow("sub-paragraph and its image disabled")
        << QStringList{toggle + "Componentistica", toggle + "Vista interna"} << true;
    QTest::newRow("table item disabled") << QStringList{toggle + "630 A"} << true;
    QTest::newRow("collapsed in the rows")
        << QStringList{"rows:Sezioni delle sbarre", "rows:Componentistica"} << true;
    QTest::newRow("renamed meanwhile, then a node disabled")
        << QStringList{"rename:Cablaggio", toggle + "Vista interna"} << true;
    // The nodes change: the tree is built again.
    QTest::newRow("image deleted") << QStringList{"MNU_EliminaNodo:Vista interna"} << false;
    QTest::newRow("sub-paragraphs merged")
        << QStringList{"MNU_MergeParte:Componentistica"} << false;
    QTest::newRow("move started") << QStringList{"MNU_StartMove:Cablaggio"} << false;
    QTest::newRow("move cancelled")
        << QStringList{"MNU_StartMove:Cablaggio", "MNU_CancelMove:Cablaggio"} << false;
}

void TestDettagliProdotto::treeUpdatedInPlaceLooksAsRebuilt()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, inPlace);
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->CK_PreviewProd->setChecked(false);
    w->RunPendingPreview();
    TDettProdTree *tree = w->TV_Dettagli;
    // The operator closed a table and went down the tree.
    tree->ToggleByDoubleClick(Item(QStringLiteral("Sezioni delle sbarre")));
    tree->SelectNode(NodeId(QStringLiteral("Cablaggio")));
    // Every item shown now carries a mark.
    const int mark = Qt::UserRole + 99;
    for (TDettProdTreeItem *item : tree->Items())
        item->setData(0, mark, true);

    for (const QString &step : steps) {
        const QString entry = step.section(QLatin1Char(':'), 0, 0);
        TVRLDettProd *node = Node(step.section(QLatin1Char(':'), 1));
        QVERIFY2(node, qPrintable(step));
        if (entry == u"rows") {
            TDataSet &rows = *w->DST_TREE_Dettagli;
            QVERIFY(rows.Locate(QStringLiteral("idNodo"), node->sIdNodo));
            rows.Edit();
            rows.FieldByName(QStringLiteral("flNodoEspanso")).SetValue(0);
            rows.Post();
            w->BuildTree(tree->CurrentNode()->sIdNodo);
            continue;
        }
        if (entry == u"rename") {
            Super(QStringLiteral("UPDATE prod_comp_parti SET txdescpartecomp = 'Cablaggio "
                                 "interno' WHERE idpartecomp = '%1'")
                      .arg(node->sIdNodo));
            continue;
        }
        QVERIFY(w->PrepareTreeMenu(node));
        m_dialogs->QueueYes();
        w->MenuAction(entry)->trigger();
        QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    }
    int kept = 0;
    for (TDettProdTreeItem *item : tree->Items())
        kept += item->data(0, mark).toBool() ? 1 : 0;
    QCOMPARE(kept, inPlace ? tree->NodeCount() : 0);
    if (steps.first().startsWith(u"rows"))
        QVERIFY(!Item(QStringLiteral("Componentistica"))->isExpanded());
    if (steps.first().startsWith(u"rename"))
        QVERIFY(TreeLines(tree).contains(QStringLiteral("    2. Cablaggio interno")));

    // A tree of the same size built from scratch over the same rows.
    TDettProdTree rebuilt;
    rebuilt.setAttribute(Qt::WA_ShowWithoutActivating);
    rebuilt.setFocusPolicy(Qt::NoFocus);
    rebuilt.setPalette(tree->palette());
    rebuilt.resize(tree->size());
    rebuilt.show();
    const TDettProdRoot root{w->sIdProdotto,
                             w->bProdottoAttivo,
                             ProductRootCaption(w->sDescProdotto, w->sCodProdotto)};
    QCOMPARE(rebuilt.BuildTree(w->DST_TREE_Dettagli.get(),
                               root,
                               tree->CurrentNode()->sIdNodo,
                               w->oMovingDettProd.get()),
             TDettProdTree::TBuildResult::Rebuilt);
    // During a move the window marks the root as no target for nodes below the top level.
    rebuilt.RootNode()->bCanAdd = tree->RootNode()->bCanAdd;
    rebuilt.DetachRows();

    QCOMPARE(TreeState(tree), TreeState(&rebuilt));
    QCOMPARE(tree->CurrentNode()->sIdNodo, rebuilt.CurrentNode()->sIdNodo);
    QCOMPARE(tree->verticalScrollBar()->value(), rebuilt.verticalScrollBar()->value());
    // Drawn alike: captions, fonts, struck-through and underlined nodes, icons, selection.
    tree->clearFocus();
    QApplication::processEvents();
    const QImage shown = tree->viewport()->grab().toImage();
    const QImage fresh = rebuilt.viewport()->grab().toImage();
    if (shown != fresh) {
        if (const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR"); !dir.isEmpty()) {
            shown.save(dir + QStringLiteral("/albero_aggiornato.png"));
            fresh.save(dir + QStringLiteral("/albero_ricostruito.png"));
        }
        QFAIL("the tree updated in place is drawn otherwise than the one built again");
    }
}

void TestDettagliProdotto::keysThatDoNothing()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    tree->setFocus();
    const QString sent = LastCommand();
    // Alt+Up on a first child, Alt+Down on a last one, Delete on the root.
    tree->SelectNode(NodeId(QStringLiteral("Generalità")));
    QTest::keyClick(tree, Qt::Key_Up, Qt::AltModifier);
    tree->SelectNode(NodeId(QStringLiteral("Garanzia e assistenza")));
    QTest::keyClick(tree, Qt::Key_Down, Qt::AltModifier);
    tree->SelectNode(w->sIdProdotto);
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(LastCommand(), sent);
    QVERIFY(m_dialogs->Requests().isEmpty());
    QVERIFY(!w->bChanges);
    QVERIFY(w->CK_PreviewProd->isChecked());
    // While a keyboard operation runs, keys and the context menu are ignored.
    w->bTreeKeys = true;
    tree->SelectNode(NodeId(QStringLiteral("Colore")));
    QTest::keyClick(tree, Qt::Key_Delete);
    QVERIFY(m_dialogs->Requests().isEmpty());
    w->bTreeKeys = false;
}

void TestDettagliProdotto::deleteAsksFirst()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    TDettProdTree *tree = w->TV_Dettagli;
    tree->setFocus();
    tree->SelectNode(NodeId(QStringLiteral("Descrizione generale")));
    const QString sent = LastCommand();
    m_dialogs->QueueNo();
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Question),
             QStringLiteral("Confermi la cancellazione del paragrafo selezionato e di tutti i suoi "
                            "sottoparagrafi comprese testi, immagini ecc. ?\r\n\r\n(attenzione, è "
                            "irreversibile, eventualmente utilizzare in alternativa la modifica "
                            "dello stato da attivo a disattivo)"));
    QCOMPARE(LastCommand(), sent);
    QVERIFY(Item(QStringLiteral("Descrizione generale")));
    m_dialogs->QueueYes();
    QTest::keyClick(tree, Qt::Key_Delete);
    QVERIFY(LastCommand().startsWith(QLatin1String("EXEC DeleteNodo ")));
    QVERIFY(!Item(QStringLiteral("Descrizione generale")));
    QVERIFY(!Item(QStringLiteral("Generalità")));
    QCOMPARE(tree->CurrentNode(), tree->RootNode());
    QCOMPARE(Item(QStringLiteral("Caratteristiche costruttive"))->text(0),
             QStringLiteral("3. Caratteristiche costruttive"));
}

void TestDettagliProdotto::staleMoveIsRefusedAndTheProductReloaded()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->oCurrentDettProd = Node(QStringLiteral("Cablaggio"));
    w->StartMove();
    // Meanwhile another operator moves "Cablaggio" into "Descrizione generale".
    const QString cablaggio = NodeId(QStringLiteral("Cablaggio"));
    Super(QStringLiteral("UPDATE prod_comp_parti SET idcompprodotto = '%1', nuordinepartecomp = 3 "
                         "WHERE idpartecomp = '%2'")
              .arg(NodeId(QStringLiteral("Descrizione generale")), cablaggio));
    w->oCurrentDettProd = Node(QStringLiteral("Norme applicate"));
    w->EndMoveInsert(false);
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
    const QString error = m_dialogs->LastText(TDialogKind::Error);
    QVERIFY2(error.startsWith(QStringLiteral("Errore lettura dati per anteprima prodotto "
                                             "(ERR.G27).\r\n\r\n(Il nodo è stato spostato da "
                                             "un altro operatore")),
             qPrintable(error));
    QCOMPARE(m_dialogs->LastText(TDialogKind::Info),
             QStringLiteral("La struttura del prodotto è stata ricaricata: è mostrata come è "
                            "adesso nel database."));
    // The move is over and the tree is the database's.
    QVERIFY(!w->oMovingDettProd);
    QVERIFY(w->TV_Dettagli->MovingId().isEmpty());
    QCOMPARE(w->TV_Dettagli->FindTreeNode(cablaggio)->parent(),
             Item(QStringLiteral("Descrizione generale")));
    QCOMPARE(w->TV_Dettagli->NodeCount(), w->DST_TREE_Dettagli->RecordCount() + 1);
    QCOMPARE(Super(QStringLiteral("SELECT idcompprodotto FROM prod_comp_parti WHERE idpartecomp = "
                                  "'%1'")
                       .arg(cablaggio)),
             NodeId(QStringLiteral("Descrizione generale")));
}

void TestDettagliProdotto::mergeOfTheFirstSubParagraphIsRefused()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString before = Super(QStringLiteral("SELECT count(*) FROM prod_comp_parti"));
    // Not offered on the first sub-paragraph; forced, the database refuses it.
    w->oCurrentDettProd = Node(QStringLiteral("Generalità"));
    QVERIFY(!MenuCaptions(w, w->oCurrentDettProd)
                 .contains(QStringLiteral("Unisci il sottoparagrafo al precedente")));
    m_dialogs->QueueYes();
    w->MergeNode();
    QCOMPARE(m_dialogs->LastText(TDialogKind::Question),
             QStringLiteral("Confermi l'unione del sottoparagrafo al precedente ?"));
    QVERIFY(
        m_dialogs->LastText(TDialogKind::Error).contains(QLatin1String("il primo del paragrafo")));
    QCOMPARE(Super(QStringLiteral("SELECT count(*) FROM prod_comp_parti")), before);
    QVERIFY(Item(QStringLiteral("Generalità")));
    QCOMPARE(w->TV_Dettagli->NodeCount(), w->DST_TREE_Dettagli->RecordCount() + 1);
    // The second one, made first by another operator meanwhile, is refused too.
    Super(QStringLiteral("DELETE FROM prod_comp_parti WHERE idpartecomp = '%1'")
              .arg(NodeId(QStringLiteral("Generalità"))));
    Super(QStringLiteral("UPDATE prod_comp_parti SET nuordinepartecomp = 1 WHERE idpartecomp = "
                         "'%1'")
              .arg(NodeId(QStringLiteral("Componentistica"))));
    w->oCurrentDettProd = Node(QStringLiteral("Componentistica"));
    QCOMPARE(w->oCurrentDettProd->iNuOrderB, 2);
    m_dialogs->QueueYes();
    w->MergeNode();
    QVERIFY(m_dialogs->LastText(TDialogKind::Error).contains(QLatin1String("altro operatore")));
    QVERIFY(!Item(QStringLiteral("Generalità")));
}

// --- Live preview ---------------------------------------------------------------------------

void TestDettagliProdotto::previewPageOfNode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("page");
    const QString id = QStringLiteral("{8D2F4C1A-0B5E-4E0F-9A3C-5B2D7E1F6A90}");
    QTest::newRow("mark") << "Testo 003|" + id + " altro" << id << 3;
    QTest::newRow("first occurrence wins") << "012|" + id + " 004|" + id << id << 12;
    QTest::newRow("absent") << QStringLiteral("001|{ALTRO}") << id << 0;
    QTest::newRow("at the very start") << id + " 003|" << id << 0;
    QTest::newRow("not a page") << "abc|" + id << id << 0;
}

void TestDettagliProdotto::previewPageOfNode()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(int, page);
    QCOMPARE(PreviewPageOfNode(text, id), page);
}

void TestDettagliProdotto::previewFollowsTheTree()
{
    Super(QString::fromUtf8(kGrow));
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QVERIFY(w->PreviewPending());
    QVERIFY(!w->PAN_Preview->HasPreview()); // deferred until the tree is on screen
    w->RunPendingPreview();
    TDettProdPreviewPane *pane = w->PAN_Preview;
    QVERIFY(pane->HasPreview());
    QVERIFY(pane->iRptPageTo >= 4);
    QCOMPARE(pane->iRptPageTo, pane->VR_Preview->PageCount());
    QCOMPARE(pane->SF_NuPages->text(), QStringLiteral("1 / %1").arg(pane->iRptPageTo));
    QCOMPARE(pane->CB_Zoom->currentText(), QStringLiteral("Pagina intera"));
    QVERIFY(!pane->PAN_Status_Report->isHidden());
    QVERIFY(!QDir(m_home.filePath(QStringLiteral("Reports")))
                 .entryList({QStringLiteral("FindSezione_*")})
                 .size());
    // Every node printed knows its page; a node on page 3 turns the viewer to page 3.
    TDettProdTreeItem *onPage3 = nullptr;
    for (TDettProdTreeItem *item : w->TV_Dettagli->Items()) {
        const int page = PreviewPageOfNode(pane->sTextReportForPageNumbers, item->Node()->sIdNodo);
        QCOMPARE(item->Node()->iPagePreview, page);
        if (page == 3 && !onPage3 && item->Node()->xTipoNode == cnParte
            && item->text(0).contains(QLatin1String("Sezione")))
            onPage3 = item;
    }
    QVERIFY(onPage3);
    w->TV_Dettagli->setCurrentItem(onPage3);
    QCOMPARE(pane->VR_Preview->GetCurrentPageNumber(), 3);
    QCOMPARE(pane->SF_NuPages->text(), QStringLiteral("3 / %1").arg(pane->iRptPageTo));
    QCOMPARE(pane->SF_NuPages->property("tag").toInt(), 3);
    // A node the preview does not print (disabled) keeps page 0 and does not turn the page.
    w->oCurrentDettProd = Node(QStringLiteral("Garanzia e assistenza"));
    w->EnableDisableNode();
    w->RunPendingPreview();
    w->TV_Dettagli->setCurrentItem(onPage3);
    const int shown = pane->CurrentPage();
    QCOMPARE(shown, onPage3->Node()->iPagePreview);
    const QString off = NodeId(QStringLiteral("Condizioni"));
    TVRLDettProd *hidden = w->TV_Dettagli->FindTreeNode(off)->Node();
    QCOMPARE(pane->PageOfNode(off), 0);
    QCOMPARE(hidden->iPagePreview, 0);
    w->TV_Dettagli->SelectNode(off);
    QCOMPARE(pane->VR_Preview->GetCurrentPageNumber(), shown);
    // The node selected by the last operation is shown at once by the next build.
    w->oCurrentDettProd = onPage3->Node();
    const QString again = onPage3->Node()->sIdNodo;
    w->EnableDisableNode();
    w->oCurrentDettProd = w->TV_Dettagli->FindTreeNode(again)->Node();
    w->EnableDisableNode();
    w->RunPendingPreview();
    QCOMPARE(w->TV_Dettagli->CurrentNode()->sIdNodo, again);
    QVERIFY(pane->PageOfNode(again) > 1);
    QCOMPARE(pane->CurrentPage(), pane->PageOfNode(again));
}

void TestDettagliProdotto::previewPageButtonsAndZoom()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    TDettProdPreviewPane *pane = w->PAN_Preview;
    const int last = pane->iRptPageTo;
    QVERIFY(last >= 2);
    QTest::mouseClick(pane->PB_GoLast, Qt::LeftButton);
    QCOMPARE(pane->SF_NuPages->text(), QStringLiteral("%1 / %1").arg(last));
    QTest::mouseClick(pane->PB_GoNext, Qt::LeftButton);
    QCOMPARE(pane->SF_NuPages->text(), QStringLiteral("%1 / %1").arg(last));
    QTest::mouseClick(pane->PB_GoPrev, Qt::LeftButton);
    QCOMPARE(pane->CurrentPage(), last - 1);
    QTest::mouseClick(pane->PB_GoFirst, Qt::LeftButton);
    QCOMPARE(pane->SF_NuPages->text(), QStringLiteral("1 / %1").arg(last));
    QTest::mouseClick(pane->PB_GoPrev, Qt::LeftButton);
    QCOMPARE(pane->CurrentPage(), 1);
    QCOMPARE(pane->CB_Zoom->count(), 10);
    pane->CB_Zoom->setCurrentIndex(5);
    emit pane->CB_Zoom->activated(5);
    QCOMPARE(pane->VR_Preview->ZoomLevel(), 100);
    emit pane->CB_Zoom->activated(0);
    QCOMPARE(pane->VR_Preview->ZoomLevel(), 1);
}

void TestDettagliProdotto::previewSettings_data()
{
    QTest::addColumn<QString>("prod"); // stored values; "" = absent
    QTest::addColumn<QString>("icons");
    QTest::addColumn<QString>("images");
    QTest::addColumn<bool>("prodOn");
    QTest::addColumn<bool>("iconsOn");
    QTest::addColumn<bool>("imagesOn");
    QTest::newRow("nothing stored") << ""
                                    << ""
                                    << "" << true << true << false;
    QTest::newRow("all on") << "SI"
                            << "SI"
                            << "SI" << true << true << true;
    QTest::newRow("preview off") << "NO"
                                 << "SI"
                                 << "NO" << false << true << false;
    QTest::newRow("other texts mean off") << "si?"
                                          << "1"
                                          << "X" << false << false << false;
}

void TestDettagliProdotto::previewSettings()
{
    QFETCH(QString, prod);
    QFETCH(QString, icons);
    QFETCH(QString, images);
    QFETCH(bool, prodOn);
    QFETCH(bool, iconsOn);
    QFETCH(bool, imagesOn);
    if (!prod.isEmpty()) {
        SetSetting(QStringLiteral("FrmDettProd_PreviewProd"), prod);
        SetSetting(QStringLiteral("FrmDettProd_PreviewShowIcons"), icons);
        SetSetting(QStringLiteral("FrmDettProd_PreviewShowImages"), images);
    }
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QCOMPARE(w->CK_PreviewProd->isChecked(), prodOn);
    QCOMPARE(w->CK_PreviewShowIcons->isChecked(), iconsOn);
    QCOMPARE(w->CK_PreviewShowImages->isChecked(), imagesOn);
    QCOMPARE(w->CK_PreviewShowIcons->isVisible(), prodOn);
    QCOMPARE(w->PAN_Preview->isVisible(), prodOn);
    // The images flag of the node functions is the option's.
    QVERIFY(LastCommand().endsWith(imagesOn ? QLatin1String(", 1") : QLatin1String(", 0")));
    // The options are written back as "SI"/"NO" at once.
    QCOMPARE(Setting(QStringLiteral("FrmDettProd_PreviewProd")),
             prodOn ? QStringLiteral("SI") : QStringLiteral("NO"));
    QCOMPARE(Setting(QStringLiteral("FrmDettProd_PreviewShowImages")),
             imagesOn ? QStringLiteral("SI") : QStringLiteral("NO"));
    w->RunPendingPreview();
    QCOMPARE(w->PAN_Preview->HasPreview(), prodOn);
    // Switching it over: the pane, the sub-options and the setting follow; a build follows
    // after the option's delay.
    QTest::mouseClick(w->CK_PreviewProd, Qt::LeftButton);
    QCOMPARE(w->PAN_Preview->isVisible(), !prodOn);
    QCOMPARE(w->CK_PreviewShowImages->isVisible(), !prodOn);
    QCOMPARE(w->PreviewPending(), !prodOn);
    QCOMPARE(Setting(QStringLiteral("FrmDettProd_PreviewProd")),
             !prodOn ? QStringLiteral("SI") : QStringLiteral("NO"));
    w->RunPendingPreview();
    QCOMPARE(w->PAN_Preview->HasPreview(), !prodOn);
}

void TestDettagliProdotto::imagesOptionReloadsTheRows()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    w->TV_Dettagli->ToggleByDoubleClick(Item(QStringLiteral("Generalità")));
    QTreeWidgetItem *item = Item(QStringLiteral("Colore"));
    QTest::mouseClick(w->CK_PreviewShowImages, Qt::LeftButton);
    QCOMPARE(Setting(QStringLiteral("FrmDettProd_PreviewShowImages")), QStringLiteral("SI"));
    QVERIFY(w->PreviewPending());
    w->RunPendingPreview();
    QVERIFY(LastCommand().endsWith(QLatin1String(", 0, 0, 0, 0, 0, 1")));
    QVERIFY(w->DST_TREE_Dettagli->CountMatching(QStringLiteral("nuTipologia = 60 AND imgNodo <> "
                                                               "NULL"))
            > 0);
    // The tree on screen is the same, and keeps recording its expand choices.
    QCOMPARE(Item(QStringLiteral("Colore")), item);
    QVERIFY(!Item(QStringLiteral("Generalità"))->isExpanded());
    QVERIFY(CollapsedRowIds(*w->DST_TREE_Dettagli).contains(NodeId(QStringLiteral("Generalità"))));
    QVERIFY(w->PAN_Preview->HasPreview());
}

void TestDettagliProdotto::failedPreviewSwitchesItOff()
{
    QFile report(m_home.filePath(QStringLiteral("Reports/pdprwdet00.RPT")));
    QVERIFY(report.open(QIODevice::WriteOnly | QIODevice::Truncate));
    report.write("rapporto senza senso\n");
    report.close();
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
    QVERIFY2(m_dialogs->LastText(TDialogKind::Error)
                 .startsWith(QLatin1String("Errore (File di report \"pdprwdet00.RPT\", riga 1")),
             qPrintable(m_dialogs->LastText(TDialogKind::Error)));
    QVERIFY(!w->CK_PreviewProd->isChecked());
    QVERIFY(!w->PAN_Preview->isVisible());
    QVERIFY(!w->PAN_Preview->HasPreview());
    QVERIFY(w->PAN_Dettagli->isEnabled());
    QVERIFY(w->PAN_Status->isEnabled());
    QCOMPARE(Setting(QStringLiteral("FrmDettProd_PreviewProd")), QStringLiteral("NO"));
    // The editor goes on without it.
    w->oCurrentDettProd = Node(QStringLiteral("Colore"));
    w->EnableDisableNode();
    QVERIFY(!w->PreviewPending());
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
}

// --- Node data pane and closing -------------------------------------------------------------

void TestDettagliProdotto::nodePanelOpensAndBlocksClosing()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    auto *panel = new TTestPanel;
    w->AddNodePanel(cnScheda, panel);
    QSignalSpy closed(w, &TDETTAGLI_PRODOTTO::Closed);
    QVERIFY(w->PrepareTreeMenu(Node(QStringLiteral("Dati tecnici"))));
    w->MenuAction(QStringLiteral("MNU_ModificaNodo"))->trigger();
    QCOMPARE(panel->opened.xTipoOp, coGENModify);
    QCOMPARE(panel->opened.iNuTipologia, 10);
    QCOMPARE(panel->opened.sIdNodo, NodeId(QStringLiteral("Dati tecnici")));
    QCOMPARE(w->sLastId, panel->opened.sIdNodo);
    QVERIFY(w->PAN_DatiNodo->isVisible());
    QCOMPARE(w->PAN_DatiNodo->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica scheda"));
    QVERIFY(!w->PAN_Dettagli->isEnabled());
    QVERIFY(!w->PAN_Status->isEnabled()); // modifying an existing node
    QVERIFY(!w->PAN_Preview->isVisible());
    QVERIFY(w->PAN_Preview->HasPreview()); // set aside, not destroyed
    // Closing is refused, and ">> Listini" with it.
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    w->PB_Segue_Listini->click();
    QVERIFY(w->isVisible());
    QCOMPARE(w->PB_Segue_Listini->property("tag").toInt(), 0);
    QCOMPARE(closed.count(), 0);
    // "Annulla": everything back.
    QTest::mouseClick(w->PAN_DatiNodo->PB_Annulla_Input, Qt::LeftButton);
    QCOMPARE(panel->releases, 1);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(w->PAN_Dettagli->isEnabled());
    QVERIFY(w->PAN_Preview->isVisible());
    // A new data sheet: a new id, the tree only disabled; "Ok" saves, reloads and selects it.
    QVERIFY(w->PrepareTreeMenu(w->TV_Dettagli->RootNode()));
    w->MenuAction(QStringLiteral("MNU_NewScheda"))->trigger();
    QCOMPARE(panel->opened.xTipoOp, coGENInsert);
    QCOMPARE(panel->opened.sIdNodo.size(), 38);
    QVERIFY(w->PAN_Status->isEnabled());
    panel->saveResult = false;
    QTest::mouseClick(w->PAN_DatiNodo->PB_Ok_Input, Qt::LeftButton);
    QVERIFY(w->PAN_DatiNodo->isVisible()); // a refused save keeps the pane open
    QVERIFY(!w->bChanges);
    panel->saveResult = true;
    QTest::mouseClick(w->PAN_DatiNodo->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(panel->saves, 2);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(w->bChanges);
    QVERIFY(LastCommand().startsWith(QLatin1String("EXEC EstraiAllDettagliProdotto")));
    QVERIFY(w->PreviewPending());
}

void TestDettagliProdotto::panelThatCannotOpenLeavesTheTree()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    auto *panel = new TTestPanel;
    panel->openResult = false;
    w->AddNodePanel(cnParteTesto, panel);
    QVERIFY(w->PrepareTreeMenu(Node(QStringLiteral("Generalità"))));
    w->MenuAction(QStringLiteral("MNU_NuovoTestoParte"))->trigger();
    QCOMPARE(panel->opened.xTipoOp, coGENInsert);
    QVERIFY(!w->PAN_DatiNodo->isVisible());
    QVERIFY(w->PAN_Dettagli->isEnabled());
    QCOMPARE(w->xTipoOp, coGENNone);
}

void TestDettagliProdotto::closingTellsTheProductList()
{
    // Without changes nothing is asked of the product list; ">> Listini" asks for the lists.
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    QSignalSpy closed(w, &TDETTAGLI_PRODOTTO::Closed);
    w->PB_Segue_Listini->click();
    QCOMPARE(closed.count(), 1);
    TDettProdClosing outcome = closed.at(0).at(0).value<TDettProdClosing>();
    QVERIFY(outcome.bSegueListini);
    QVERIFY(!outcome.bChanges);
    QCOMPARE(outcome.sIdProdotto, ProductId(QStringLiteral("QDG-100")));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window);
    // After a change the product list must refresh.
    w = Open();
    QSignalSpy changed(w, &TDETTAGLI_PRODOTTO::Closed);
    w->oCurrentDettProd = Node(QStringLiteral("Colore"));
    w->EnableDisableNode();
    w->close();
    QCOMPARE(changed.count(), 1);
    outcome = changed.at(0).at(0).value<TDettProdClosing>();
    QVERIFY(outcome.bChanges);
    QVERIFY(!outcome.bSegueListini);
    QVERIFY(!outcome.bFromPreventivi);
}

void TestDettagliProdotto::copyIntoAnotherProductHandsTheNodeOver()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    const QString id = NodeId(QStringLiteral("Caratteristiche costruttive"));
    QVERIFY(w->PrepareTreeMenu(Node(QStringLiteral("Caratteristiche costruttive"))));
    w->MenuAction(QStringLiteral("MNU_MarkForDuplicate"))->trigger();
    QVERIFY(PendingCopyNode());
    QCOMPARE(PendingCopyNode()->sIdNodo, id);
    QCOMPARE(PendingCopyNode()->iNuTipologia, 30);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Info),
             QStringLiteral("Seleziona il prodotto dove duplicare il paragrafo selezionato."));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window);
    // The snapshot outlives the window and is replaced by the next mark.
    w = Open();
    QVERIFY(w->PrepareTreeMenu(Node(QStringLiteral("Dati tecnici"))));
    w->MenuAction(QStringLiteral("MNU_MarkForDuplicate"))->trigger();
    QCOMPARE(PendingCopyNode()->sIdNodo, NodeId(QStringLiteral("Dati tecnici")));
    QCOMPARE(m_dialogs->LastText(TDialogKind::Info),
             QStringLiteral("Seleziona il prodotto dove duplicare la scheda selezionata."));
}

void TestDettagliProdotto::openedOnceFromTheProductList()
{
    QWidget opener;
    const QString id = ProductId(QStringLiteral("QDG-100"));
    TDETTAGLI_PRODOTTO *w = OpenDettagliProdotto(&opener,
                                                 true,
                                                 id,
                                                 QStringLiteral("QDG-100"),
                                                 QStringLiteral("QUADRO"),
                                                 false);
    QVERIFY(w);
    m_window = w;
    QVERIFY(w->bFromPreventivi);
    QVERIFY(!w->TV_Dettagli->RootNode()->bAttivo); // an inactive product's root
    QCOMPARE(TDettProdTree::NodeIconIndex(*w->TV_Dettagli->RootNode()), 1);
    const QString sent = LastCommand();
    TDETTAGLI_PRODOTTO *again = OpenDettagliProdotto(&opener,
                                                     false,
                                                     ProductId("QDG-110"),
                                                     QStringLiteral("QDG-110"),
                                                     QStringLiteral("ALTRO"),
                                                     true);
    QCOMPARE(again, w);
    QCOMPARE(w->sIdProdotto, id);
    QCOMPARE(LastCommand(), sent);
}

void TestDettagliProdotto::debugPaneGetsTheCommandsAndTimes()
{
    QStringList lines;
    SetDebugLineSink([&](const QString &line) { lines << line; });
    SessionInfo().bAdministrator = true;
    SessionInfo().iDebugPaneHeight = 120;
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");
    const QString duration = QStringLiteral("\\d\\d:\\d\\d\\.\\d{3}");
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0],
             QStringLiteral("TDETTAGLI_PRODOTTO.PrepareRecordsets: sSql: EXEC "
                            "EstraiAllDettagliProdotto '%1', 0, 0, 0, 0, 0, 0")
                 .arg(w->sIdProdotto));
    QVERIFY(QRegularExpression(QStringLiteral("^TDETTAGLI_PRODOTTO.PrepareRecordsets: INIZIO: %1, "
                                              "FINE: %1, DURATA: %2$")
                                   .arg(time, duration))
                .match(lines[1])
                .hasMatch());
    QVERIFY2(QRegularExpression(QStringLiteral("^TDETTAGLI_PRODOTTO.PreviewReportProdottoEx: "
                                               "INIZIO: %1, BEFORE SHOW : %1, DURATA: %2$")
                                    .arg(time, duration))
                 .match(lines[2])
                 .hasMatch(),
             qPrintable(lines[2]));
    QVERIFY(QRegularExpression(QStringLiteral("^TDETTAGLI_PRODOTTO.PreviewReportProdottoEx: "
                                              "INIZIO: %1, FINE SHOW: %1, DURATA: %2$")
                                   .arg(time, duration))
                .match(lines[3])
                .hasMatch());
}

void TestDettagliProdotto::lookAtTheWindow()
{
    TDETTAGLI_PRODOTTO *w = Open();
    QVERIFY(w);
    w->RunPendingPreview();
    QVERIFY(w->PAN_Preview->HasPreview());
    // A disabled image, a collapsed table and the selection on a sub-paragraph.
    w->oCurrentDettProd = Node(QStringLiteral("Vista interna"));
    w->EnableDisableNode();
    w->RunPendingPreview();
    w->TV_Dettagli->ToggleByDoubleClick(Item(QStringLiteral("Sezioni delle sbarre")));
    w->TV_Dettagli->SelectNode(NodeId(QStringLiteral("Cablaggio")));
    w->resize(1500, 950);
    QApplication::processEvents();
    const QImage image = w->grab().toImage();
    QVERIFY(!image.isNull());
    if (const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR"); !dir.isEmpty()) {
        image.save(dir + QStringLiteral("/dettagli_prodotto.png"));
        // The menu of a paragraph, as it pops up.
        QVERIFY(w->PrepareTreeMenu(Node(QStringLiteral("Descrizione generale"))));
        w->PMNU_Funzioni_Tree->MeasureSideBar();
        w->PMNU_Funzioni_Tree->popup(QPoint(0, 0));
        QApplication::processEvents();
        w->PMNU_Funzioni_Tree->grab().save(dir + QStringLiteral("/menu_paragrafo.png"));
        w->PMNU_Funzioni_Tree->close();
        // A move under way: targets and the moving node.
        w->oCurrentDettProd = Node(QStringLiteral("Cablaggio"));
        w->StartMove();
        QApplication::processEvents();
        w->grab().save(dir + QStringLiteral("/spostamento.png"));
        // The move ended under another paragraph, the preview rebuilt and turned to the page
        // of the last node of the product.
        w->oCurrentDettProd = Node(QStringLiteral("Descrizione generale"));
        w->EndMoveAppend();
        w->RunPendingPreview();
        const TDettProdTreeItem *last = w->TV_Dettagli->Items().back();
        w->TV_Dettagli->SelectNode(last->Node()->sIdNodo);
        QApplication::processEvents();
        w->grab().save(dir + QStringLiteral("/dopo_spostamento.png"));
    }
}

QTEST_MAIN(TestDettagliProdotto)
#include "tst_dettagli_prodotto.moc"
