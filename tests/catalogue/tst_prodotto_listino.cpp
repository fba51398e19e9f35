// "Listino del prodotto" on the demo database, driven offscreen: a demo product's price lists
// in the grid with the filter of deactivated lists, and the window started through the product
// list's opener.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "catalogue/catalogueopeners.h"
#include "catalogue/prodotto_listino.h"
#include "common/windowregistry.h"
#include "controls/tkrtgrid.h"
#include "db/dataset.h"

#include <QCheckBox>
#include <QDir>

#include <memory>

namespace {

// A demo product with three live price lists and one deactivated ("L0-OLD").
const QString kProduct = QStringLiteral("{04366E01-4DE8-5BB2-A11B-216DE99B3D1E}");

} // namespace

class tst_prodotto_listino : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMasterDataEnvironment> env;

private Q_SLOTS:
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup() { env.reset(); }

    // The lists of the product under the product's description in the title; deactivated lists
    // are shown until "Includi non attivi" is cleared.
    void opensTheProductsLists()
    {
        auto w = std::make_unique<TPRODOTTO_LISTINO>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->resize(1100, 700);
        w->Start(kProduct, QStringLiteral("Prodotto demo"), false);
        w->show();
        QCoreApplication::processEvents();
        QCOMPARE(w->windowTitle(), QStringLiteral("Listino del prodotto: \"Prodotto demo\""));
        QVERIFY(w->DST_GRID_Listini());
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 4);
        const QString png = QDir::temp().filePath(QStringLiteral("prodotto_listino.png"));
        QVERIFY(w->grab().save(png));
        w->CK_Find_IncludiCancellati->click();
        QCOMPARE(w->DST_GRID_Listini()->RecordCount(), 3);
        QCOMPARE(CountRows(w->DG_Listini, QStringLiteral("txCodListino"), QStringLiteral("L0-OLD")),
                 0);
        QVERIFY(env->Recorder().Requests().isEmpty());
    }

    // The product list's opener reaches the window's own start.
    void startsThroughTheOpener()
    {
        QVERIFY(ProductWindowAvailable(QString::fromLatin1(kProdottoListinoWindow)));
        std::unique_ptr<QWidget> w(
            RegisteredWindowFactory(QString::fromLatin1(kProdottoListinoWindow))(nullptr));
        auto *window = qobject_cast<TPRODOTTO_LISTINO *>(w.get());
        QVERIFY(window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ProdottoListinoStart()(window, kProduct, QStringLiteral("Prodotto demo"), false);
        QVERIFY(window->DST_GRID_Listini());
        // The filter is the operator's saved choice: a fresh home shows deactivated lists too.
        QCOMPARE(window->DST_GRID_Listini()->RecordCount(), 4);
        // Closing without a change closes cleanly and asks nothing.
        QVERIFY(window->close());
        QVERIFY(env->Recorder().Requests().isEmpty());
    }
};

QTEST_MAIN(tst_prodotto_listino)
#include "tst_prodotto_listino.moc"
