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
#include "db/commandtext.h"
#include "db/dataset.h"
#include "reports/krtviewreport.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kReports = QStringLiteral("Reports");

// The nodes of the tree as "caption" lines indented by depth, for readable comparisons.
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

// The captions the context menu offers (separators as "-").
QStringList MenuCaptions(TDETTAGLI_PRODOTTO *w)
{
    QStringList captions;
    for (QAction *a : w->PMNU_Funzioni_Tree->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return captions;
}

} // namespace

class TestDettagliProdotto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lookAtTheWindow();

private:
    // The product's id by its code.
    QString ProductId(const QString &code) const;
    QString NodeId(const QString &productCode, const QString &description) const;
    // The editor opened through the window registry and started on the product.
    TDETTAGLI_PRODOTTO *Open(const QString &code);
    TDettProdTreeItem *Item(TDETTAGLI_PRODOTTO *w, const QString &id) const;
    QString Super(const QString &sql) const { return m_db->SuperQuery(sql); }

    QTemporaryDir m_home;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
    QPointer<TDETTAGLI_PRODOTTO> m_window;
};

void TestDettagliProdotto::initTestCase()
{
    QVERIFY(m_home.isValid());
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QVERIFY(QDir().mkpath(m_home.filePath(kReports)));
    QVERIFY(QFile::copy(source + QStringLiteral("/Reports/pdprwdet00.RPT"),
                        m_home.filePath(QStringLiteral("Reports/pdprwdet00.RPT"))));
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void TestDettagliProdotto::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = QStringLiteral("MROSSI");
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
}

QString TestDettagliProdotto::ProductId(const QString &code) const
{
    return Super(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '%1'").arg(code));
}

QString TestDettagliProdotto::NodeId(const QString &productCode, const QString &description) const
{
    return Super(QStringLiteral("SELECT n.idnodo FROM prodotti_nodi n JOIN prodotti p USING "
                                "(idprodotto) WHERE p.txcodprodotto = '%1' AND n.txdescnodo = "
                                "'%2' LIMIT 1")
                     .arg(productCode, description));
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
    w->resize(1400, 900);
    w->show();
    return w;
}

TDettProdTreeItem *TestDettagliProdotto::Item(TDETTAGLI_PRODOTTO *w, const QString &id) const
{
    return w->TV_Dettagli->FindTreeNode(id);
}

void TestDettagliProdotto::lookAtTheWindow()
{
    TDETTAGLI_PRODOTTO *w = Open(QStringLiteral("QDG-100"));
    QVERIFY(w);
    w->RunPendingPreview();
    QVERIFY(w->PAN_Preview->HasPreview());
    // A disabled text, a collapsed table and the selection on a sub-paragraph.
    w->oCurrentDettProd = Item(w, NodeId("QDG-100", "Vista interna"))->Node();
    w->EnableDisableNode();
    w->RunPendingPreview();
    w->TV_Dettagli->ToggleByDoubleClick(Item(w, NodeId("QDG-100", "Sezioni delle sbarre")));
    w->TV_Dettagli->SelectNode(NodeId("QDG-100", "Cablaggio"));
    w->resize(1500, 950);
    QApplication::processEvents();
    const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR");
    const QImage image = w->grab().toImage();
    QVERIFY(!image.isNull());
    if (!dir.isEmpty())
        image.save(dir + QStringLiteral("/dettagli_prodotto.png"));
}

QTEST_MAIN(TestDettagliProdotto)
#include "tst_dettagli_prodotto.moc"
