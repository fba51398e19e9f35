// The quote folder on disk as the order list opens it: storing the PDF's link from the
// clipboard into the quote or the order, the link for an e-mail, opening the folder.

#include "common/dialogs.h"
#include "orders/gestione_ordini.h"
#include "orders/orderfilters.h"
#include "quotes/folder_preventivo.h"
#include "quotes/quotefolderroutines.h"
#include "quotes/quoteopeners.h"
#include "tests/support/masterdataenv.h"
#include "tests/support/quotefolderstart.h"
#include "tests/support/windowtest.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

class tst_folder_preventivo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void linkStoredInQuoteOrOrder_data();
    void linkStoredInQuoteOrOrder();
    void clipboardWithoutLinkStoresNothing_data();
    void clipboardWithoutLinkStoresNothing();
    void linkForMailIsAnAnchorOnTheClipboard();
    void openFolderWithThePdfSelected();
    void orderListShowsTheStoredLink();

private:
    // The folder data of a quote or an order as its list row hands them over.
    TQuoteFolderStart StartOf(const QString &table, const QString &id) const;
    // Opens the window through the opener, as the order list does, runs act on it while it is
    // shown modally, then closes it.
    void Run(const TQuoteFolderStart &start, const std::function<void(TFOLDER_PREVENTIVO *)> &act);
    QString Stored(const QString &table, const QString &id, const QString &column) const;

    std::unique_ptr<TMasterDataEnvironment> env;
};

void tst_folder_preventivo::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running");
}

void tst_folder_preventivo::init()
{
    env = std::make_unique<TMasterDataEnvironment>(TDemoOperator::Operator);
    QApplication::clipboard()->clear();
}

void tst_folder_preventivo::cleanup()
{
    env.reset();
}

TQuoteFolderStart tst_folder_preventivo::StartOf(const QString &table, const QString &id) const
{
    const bool order = table == QLatin1String("ordini");
    const QString key = order ? QStringLiteral("idordine") : QStringLiteral("idpreventivo");
    const QString row = env->Super(
        QStringLiteral("SELECT concat_ws('|', d.flbloccato, coalesce(d.nurevisione, 1), "
                       "coalesce(d.txurlfilepdf, ''), coalesce(d.txnomefilepdf, ''), "
                       "coalesce(d.txnomefolder, ''), coalesce(%1, ''), c.txdenominazione, "
                       "2026, %5) FROM %2 d JOIN clienti c USING (idcliente) WHERE d.%3 = '%4'")
            .arg(order ? QStringLiteral("d.txdescordine") : QStringLiteral("d.txdescoggetto"),
                 table,
                 key,
                 id,
                 order ? QStringLiteral("d.nuordine") : QStringLiteral("d.nupreventivo")));
    return QuoteFolderStartOfRow(row, id, true);
}

void tst_folder_preventivo::Run(const TQuoteFolderStart &start,
                                const std::function<void(TFOLDER_PREVENTIVO *)> &act)
{
    QVERIFY(RunWhileModal<TFOLDER_PREVENTIVO>(
        [&] { OpenQuoteFolder(nullptr, QStringLiteral("FOLDER_PREVENTIVO"), start); },
        [&](TFOLDER_PREVENTIVO *w) {
            act(w);
            w->close();
        }));
}

QString tst_folder_preventivo::Stored(const QString &table,
                                      const QString &id,
                                      const QString &column) const
{
    const QString key = table == QLatin1String("ordini") ? QStringLiteral("idordine")
                                                         : QStringLiteral("idpreventivo");
    return env->Super(QStringLiteral("SELECT coalesce(%1, '<null>') FROM %2 WHERE %3 = '%4'")
                          .arg(column, table, key, id));
}

void tst_folder_preventivo::linkStoredInQuoteOrOrder_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("where");
    // A blocked exported quote still takes its link; so does a blocked order.
    QTest::newRow("blocked quote") << "preventivi"
                                   << "flbloccato = 1 AND txnomefolder IS NOT NULL";
    QTest::newRow("order") << "ordini"
                           << "flbloccato = 0 AND txnomefolder IS NOT NULL";
    QTest::newRow("blocked order") << "ordini"
                                   << "flbloccato = 1 AND txnomefolder IS NOT NULL";
}

void tst_folder_preventivo::linkStoredInQuoteOrOrder()
{
    QFETCH(QString, table);
    QFETCH(QString, where);
    QString id = env->Super(QStringLiteral("SELECT min(%1) FROM %2 WHERE idsocieta = '%3' AND %4")
                                .arg(table == QLatin1String("ordini") ? "idordine" : "idpreventivo",
                                     table,
                                     kSoc1,
                                     where));
    if (id.isEmpty() && table == QLatin1String("ordini")) {
        // The demo orders may all be open or all blocked: block one for the case.
        id = env->Super(QStringLiteral("SELECT min(idordine) FROM ordini WHERE idsocieta = '%1' "
                                       "AND txnomefolder IS NOT NULL")
                            .arg(kSoc1));
        env->Super(QStringLiteral("UPDATE ordini SET flbloccato = 1 WHERE idordine = '%1'").arg(id));
    }
    QVERIFY2(!id.isEmpty(), "no demo row for the case");
    const QString quoteOfOrder = table == QLatin1String("ordini")
                                     ? env->Super(QStringLiteral("SELECT idpreventivo FROM ordini "
                                                                 "WHERE idordine = '%1'")
                                                      .arg(id))
                                     : QString();
    const QString quoteLinkBefore = quoteOfOrder.isEmpty() ? QString()
                                                           : Stored(QStringLiteral("preventivi"),
                                                                    quoteOfOrder,
                                                                    QStringLiteral("txurlfilepdf"));
    const QString link = QStringLiteral("https://www.dropbox.com/s/a1b2c3/preventivo.pdf?dl=0");
    Run(StartOf(table, id), [&](TFOLDER_PREVENTIVO *w) {
        QApplication::clipboard()->setText(QStringLiteral("  ") + link + QStringLiteral("\n"));
        QTest::mouseClick(w->PB_SalvaUrlFilePDF, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error), QString());
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral("Memorizzazione effettuata."));
        QVERIFY(w->bChanges);
        QCOMPARE(w->sURLFilePDF, link);
        QVERIFY(w->PAN_PrepareLinkForMail->isVisibleTo(w));
        QCOMPARE(w->SF_UrlFilePDF->text(), link);
        if (!qEnvironmentVariable("VENTOREL_GRAB_DIR").isEmpty())
            w->grab().save(qEnvironmentVariable("VENTOREL_GRAB_DIR") + QStringLiteral("/disco.png"));
    });
    QCOMPARE(Stored(table, id, QStringLiteral("txurlfilepdf")), link);
    // An order's link goes to the order alone.
    if (!quoteOfOrder.isEmpty())
        QCOMPARE(Stored(QStringLiteral("preventivi"), quoteOfOrder, QStringLiteral("txurlfilepdf")),
                 quoteLinkBefore);
}

void tst_folder_preventivo::clipboardWithoutLinkStoresNothing_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << "   \n";
    QTest::newRow("plain words") << "copiato per sbaglio";
    QTest::newRow("no web address") << "file:///home/mario/preventivo.pdf";
}

void tst_folder_preventivo::clipboardWithoutLinkStoresNothing()
{
    QFETCH(QString, clipboard);
    const QString id = env->Super(
        QStringLiteral("SELECT min(idordine) FROM ordini WHERE txnomefolder IS NOT NULL"));
    const QString before = Stored(QStringLiteral("ordini"), id, QStringLiteral("txurlfilepdf"));
    Run(StartOf(QStringLiteral("ordini"), id), [&](TFOLDER_PREVENTIVO *w) {
        if (clipboard.isEmpty())
            QApplication::clipboard()->clear();
        else
            QApplication::clipboard()->setText(clipboard);
        QTest::mouseClick(w->PB_SalvaUrlFilePDF, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
                 QStringLiteral("Non è presente un link web valido negli appunti.\r\n\r\n"
                                "Ripetere l'operazione."));
        QCOMPARE(env->Recorder().Count(TDialogKind::Info), 0);
        QVERIFY(!w->bChanges);
    });
    QCOMPARE(Stored(QStringLiteral("ordini"), id, QStringLiteral("txurlfilepdf")), before);
}

void tst_folder_preventivo::linkForMailIsAnAnchorOnTheClipboard()
{
    const QString id = env->Super(
        QStringLiteral("SELECT min(idordine) FROM ordini WHERE txnomefolder IS NOT NULL"));
    TQuoteFolderStart start = StartOf(QStringLiteral("ordini"), id);
    start.sURLPDF = QStringLiteral("https://db.tt/Xy12?a=1&b=2");
    start.sNomePDF = QStringLiteral("0007_2026 (Rossi & Figli) (Quadro <BT>)");
    Run(start, [&](TFOLDER_PREVENTIVO *w) {
        QVERIFY(w->PAN_PrepareLinkForMail->isVisibleTo(w));
        QTest::mouseClick(w->PB_PrepareLink, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
                 QStringLiteral("Puoi incollare il link al preventivo nella mail al cliente."));
    });
    const QString anchor = QStringLiteral("<a href=\"https://db.tt/Xy12?a=1&amp;b=2\">"
                                          "0007_2026 (Rossi &amp; Figli) (Quadro &lt;BT&gt;)</a>");
    QFile file(ExeFolderPath(QStringLiteral("LINK_FILEPREV.html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()).trimmed(), anchor);
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime);
    QVERIFY(mime->hasHtml());
    QVERIFY2(mime->html().contains(anchor), qPrintable(mime->html()));
    QCOMPARE(mime->text(), start.sURLPDF);

    // Without a link the panel is not offered.
    start.sURLPDF.clear();
    Run(start, [&](TFOLDER_PREVENTIVO *w) { QVERIFY(!w->PAN_PrepareLinkForMail->isVisibleTo(w)); });
}

void tst_folder_preventivo::openFolderWithThePdfSelected()
{
    const QString id = env->Super(
        QStringLiteral("SELECT min(idordine) FROM ordini WHERE txnomefolder IS NOT NULL"));
    TQuoteFolderStart start = StartOf(QStringLiteral("ordini"), id);
    start.sNomeFolderPrev = QStringLiteral("0007_2026 (Rossi) (Quadro)");
    start.sNomePDF = QStringLiteral("0007_2026 Rev. 2 (Rossi) (Quadro)");
    start.sDescOggettoLista = QStringLiteral("Quadro");
    start.sTxNuPreventivoLista = QStringLiteral("ORD 0007/2026");

    SessionInfo().sQuotesPath.clear();
    Run(start, [&](TFOLDER_PREVENTIVO *w) {
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("Gestione cartella del preventivo n° ORD 0007/2026 : \"Quadro\""));
        QCOMPARE(w->SF_PathPrev->text(), QStringLiteral("Impostare un percorso."));
        QTest::mouseClick(w->PB_OpenFolderPrev, Qt::LeftButton);
        QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
                 QStringLiteral("Impostare un percorso."));
        QCOMPARE(env->Recorder().Count(TDialogKind::ShowInFileBrowser), 0);
    });

    SessionInfo().sQuotesPath = QStringLiteral("/srv/preventivi/");
    env->Recorder().Clear();
    env->Recorder().QueueAnswer(true);
    Run(start,
        [&](TFOLDER_PREVENTIVO *w) { QTest::mouseClick(w->PB_OpenFolderPrev, Qt::LeftButton); });
    QCOMPARE(env->Recorder().LastText(TDialogKind::ShowInFileBrowser),
             QStringLiteral("/srv/preventivi/0007_2026 (Rossi) (Quadro)/"
                            "0007_2026 Rev. 2 (Rossi) (Quadro).pdf"));
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_folder_preventivo::orderListShowsTheStoredLink()
{
    // As the operator does it: the order list's folder entry, the link pasted, the window
    // closed; the list shows the order's new link.
    const QString id = env->Super(
        QStringLiteral("SELECT min(idordine) FROM ordini WHERE idsocieta = '%1' AND txnomefolder "
                       "IS NOT NULL")
            .arg(kSoc1));
    QPointer<TGESTIONE_ORDINI> list = new TGESTIONE_ORDINI;
    list->resize(1400, 900);
    list->show();
    TOrderFilters *f = list->Filters;
    f->CK_Find_AllAnni->setChecked(true);
    f->Refresh();
    f->CK_Find_OrdinaRecenti->setChecked(false);
    f->CK_Find_IncludiNonAttivi->setChecked(true);
    f->CK_Find_IncludiBloccati->setChecked(true);
    list->sLastId = id;
    list->ExtractWithFilters();
    QCOMPARE(list->List()->CurrentId(), id);
    const QString link = QStringLiteral("https://www.dropbox.com/s/zz99/ordine.pdf?dl=0");
    QVERIFY(CurrentValue(list->DG_Ordini, QStringLiteral("txURLFilePDF")) != link);

    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        auto *w = qobject_cast<TFOLDER_PREVENTIVO *>(QApplication::activeModalWidget());
        if (!w)
            return;
        ran = true;
        QApplication::clipboard()->setText(link);
        QTest::mouseClick(w->PB_SalvaUrlFilePDF, Qt::LeftButton);
        QTest::mouseClick(w->PB_Chiudi, Qt::LeftButton);
    });
    QVERIFY(ChooseMenu(list->DG_Ordini, QStringLiteral("Gestione cartella dell'ordine")));
    QVERIFY(ran);
    QCOMPARE(Stored(QStringLiteral("ordini"), id, QStringLiteral("txurlfilepdf")), link);
    QCOMPARE(list->List()->CurrentId(), id);
    QCOMPARE(CurrentValue(list->DG_Ordini, QStringLiteral("txURLFilePDF")), link);
    delete list.data();
}

QTEST_MAIN(tst_folder_preventivo)
#include "tst_folder_preventivo.moc"
