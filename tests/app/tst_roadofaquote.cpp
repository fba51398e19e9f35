// The whole road of a quote on a fresh demo database, through the program's own windows as an
// office goes it: a company operator logs on, makes a quote for a customer found by search,
// fills its lines from the catalogue (a main product with a price list and two accessories,
// 12,5 % discount), adapts a line (a paragraph off, a data-sheet value changed), lays the quote
// out with a company layout and a page break, exports it to the cloud storage (the fake service
// over TLS), which blocks it with its link, and makes a new revision; then an operator who
// handles orders makes the order from the blocked quote and gives it a summary. Each step
// checks what the operator sees and what the database holds; the exported PDF is read back
// page by page.
//
// Each step's time goes to the log ("road step ..."); with VENTOREL_GRAB_DIR set a picture of
// each step is saved there (scripts/guide-screens.sh makes the user guide's pictures so).

#include "tests/app/apptestenv.h"
#include "tests/cloud/cloudtestenv.h"
#include "tests/support/windowtest.h"

#include "app/mainform.h"
#include "catalogue/dettprodtree.h"
#include "catalogue/sheetvaluegrid.h"
#include "common/formats.h"
#include "common/windowroutines.h"
#include "domain/vrldettprev.h"
#include "domain/vrlprevpartelayout.h"
#include "masterdata/companyselector.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/ricerca_cliente.h"
#include "orders/gestione_ordini.h"
#include "orders/orderpanel.h"
#include "orders/ordine_sommario.h"
#include "quotes/dettagli_prevdet.h"
#include "quotes/dettagli_preventivo.h"
#include "quotes/folder_preventivo_dbx.h"
#include "quotes/gestione_preventivi.h"
#include "quotes/layout_preventivo.h"
#include "quotes/quotefilters.h"
#include "quotes/quoteheaderpanel.h"
#include "quotes/quoteopeners.h"
#include "quotes/ricerca_preventivo.h"
#include "reports/krtviewreport.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>

using namespace cloud_test;

namespace {

const QString kCompany = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
const QString kSubject = QStringLiteral("Quadro generale per la nuova cabina di trasformazione");
const QString kSheetValue = QStringLiteral("Verniciatura RAL 7035 goffrata");

// Times each step of the road and, when asked, saves its picture (after the clock stopped).
class TRoadClock
{
public:
    TRoadClock() { m_step.start(); }
    void Done(const QString &name, QWidget *picture)
    {
        const qint64 ms = m_step.elapsed();
        ++m_number;
        m_total += ms;
        qInfo("road step %2d %-28s %6lld ms", m_number, qPrintable(name), ms);
        if (picture) {
            QApplication::processEvents();
            GrabIfAsked(picture,
                        QStringLiteral("%1_%2").arg(m_number, 2, 10, QChar(u'0')).arg(name));
        }
        m_step.restart();
    }
    // The time before the next step is not the operator's (checks, pictures).
    void Restart() { m_step.restart(); }
    qint64 Total() const { return m_total; }

private:
    QElapsedTimer m_step;
    int m_number = 0;
    qint64 m_total = 0;
};

// Runs action on the modal window of that class as soon as it is the active modal window
// (the window may open after work that turns the event loop first).
template<typename T>
void WhenModal(std::function<void(T *)> action)
{
    auto *poll = new QTimer(qApp);
    poll->setObjectName(QStringLiteral("WhenShownPoll"));
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(w);
        }
    });
    poll->start();
}

// Clicks a row of a grid as the operator does (the row becomes the current one).
void ClickRow(QAbstractItemView *grid, int row)
{
    const QRect r = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

void DoubleClickRow(QAbstractItemView *grid, int row)
{
    const QRect r = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

template<typename T>
T *OpenChild(QWidget *main)
{
    const QList<T *> all = main->findChildren<T *>();
    for (T *w : all)
        if (w->isVisible())
            return w;
    return nullptr;
}

// Closes a window as its close button does: an MDI child closes with its sub-window frame.
bool CloseWindow(QWidget *window)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        window = sub;
    const bool closed = window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed;
}

// The window opened at a size of its own in the MDI area, wholly inside it: every control in
// reach (the frame once took the widget's size hint, a strip with clipped buttons).
bool OpensInReach(QWidget *window, QMdiArea *area)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget());
    const QRect free = area->viewport()->rect();
    return sub && free.contains(sub->geometry()) && sub->width() >= free.width() * 8 / 10
           && sub->height() >= free.height() * 8 / 10;
}

// The row of the dataset whose field has that value, -1 when none.
int RowOf(TDataSet &ds, const QString &field, const QString &value)
{
    const int column = ds.FieldIndex(field);
    for (int r = 0; r < ds.RecordCount(); ++r)
        if (ds.ValueAt(r, column).toString().compare(value, Qt::CaseInsensitive) == 0)
            return r;
    return -1;
}

// The text of each page of a PDF, as pdftotext reads it.
QStringList PdfPages(const QByteArray &pdf, const QString &folder)
{
    const QString file = folder + QStringLiteral("/preventivo.pdf");
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size())
        return {};
    out.close();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    // Runs of blanks (the layout's columns) become one.
    for (QString &page : pages)
        page = page.simplified();
    return pages;
}

} // namespace

class tst_roadofaquote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TTestDatabase::Available(), "the test cluster does not answer");
        QVERIFY(m_cloud.MakeCertificates());
    }
    void cleanup() { CancelPendingActions(); }
    void fromLogonToOrder();

private:
    TCloudTestEnv m_cloud;
};

void tst_roadofaquote::fromLogonToOrder()
{
    QVERIFY(m_cloud.StartService());
    TAppTestEnvironment env;
    TTestDatabase &db = env.Db();
    auto sql = [&db](const QString &text) { return db.SuperQuery(text); };
    TDialogRecorder &rec = env.Recorder();

    // The office's set-up: the report definitions in the program folder, the orders shown in
    // the launcher, the cloud hosts pointing at the fake service (trusted through its own
    // authority) and the operator's cloud credentials in his record.
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QVERIFY(QDir().mkpath(env.Home() + QStringLiteral("/Reports")));
    for (const QString &name :
         QDir(source + QStringLiteral("/Reports")).entryList({QStringLiteral("*.RPT")}))
        QVERIFY(QFile::copy(source + QStringLiteral("/Reports/") + name,
                            env.Home() + QStringLiteral("/Reports/") + name));
    env.SetGlobal(QStringLiteral("FrmMain_MostraOrdini"), QStringLiteral("SI"));
    for (const char *key : {"Cloud_ApiHost", "Cloud_ContentHost", "Cloud_AuthHost"})
        env.SetGlobal(QString::fromLatin1(key), m_cloud.fake->Host());
    env.SetGlobal(QStringLiteral("Cloud_CAFile"), m_cloud.certificates.caFile);
    sql(QStringLiteral("UPDATE operatori SET txdbxclientkey = '%1', txdbxclientsecret = '%2', "
                       "txdbxaccesstoken = '%3', fldbxaccessfolderonline = 1 WHERE txoperatore = "
                       "'MROSSI'; SELECT 1")
            .arg(m_cloud.fake->ClientId(),
                 m_cloud.fake->ClientSecret(),
                 m_cloud.fake->IssueAccessToken()));
    const QString customer = sql(
        QStringLiteral("SELECT txdenominazione FROM clienti WHERE idsocieta = '%1' AND dtcanc IS "
                       "NULL AND txdenominazione ILIKE '%%Meccanica%%' ORDER BY txdenominazione "
                       "LIMIT 1")
            .arg(kCompany));
    QVERIFY(!customer.isEmpty());
    const QString footer = sql(
        QStringLiteral("SELECT txpiedereport FROM societa WHERE idsocieta = '%1'").arg(kCompany));
    QVERIFY(!footer.isEmpty());

    TRoadClock clock;

    // 1. Logon of a company operator.
    WhenShown(QStringLiteral("DO_LOGON"),
              [](QWidget *logon) { GrabIfAsked(logon, QStringLiteral("00_accesso")); });
    AnswerStartup(QStringLiteral("MROSSI"), QStringLiteral("rossi"));
    TMAINFORM main;
    QVERIFY(main.Start(QStringList{QStringLiteral("ventorel")}));
    main.resize(1600, 900);
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("MROSSI"));
    QCOMPARE(SessionInfo().sOperatorCompanyId, kCompany);
    QVERIFY(main.isEnabled());
    auto *info = main.findChild<QAction *>(QStringLiteral("MNU_Info"));
    QVERIFY(info && info->text().contains(QLatin1String("(MROSSI)")));
    QVERIFY(main.findChild<QPushButton *>(QStringLiteral("PB_GestionePreventivi"))->isVisible());
    clock.Done(QStringLiteral("logon"), &main);

    // 2. "Preventivi": the list of the company's latest quotes.
    main.findChild<QPushButton *>(QStringLiteral("PB_GestionePreventivi"))->click();
    auto *list = qobject_cast<TGESTIONE_PREVENTIVI *>(FindOpenForm(kQuoteListWindow));
    QVERIFY(list);
    QCOMPARE(list->windowTitle(), QStringLiteral("Gestione preventivi"));
    TDataSet *quotes = list->DST_GRID_Preventivi();
    QVERIFY(quotes->RecordCount() > 0);
    QCOMPARE(quotes->CountMatching(QStringLiteral("idSocieta = '%1'").arg(kCompany)),
             quotes->RecordCount());
    clock.Done(QStringLiteral("lista_preventivi"), &main);

    // 3. A new quote for a customer found by search.
    QVERIFY(ChooseMenu(list->DG_Preventivi, QStringLiteral("Nuovo preventivo")));
    TQuoteHeaderPanel *header = list->PAN_Input;
    QVERIFY(header->isVisible());
    int found = -1;
    WhenShown(QStringLiteral("RICERCA_CLIENTE"), [&](QWidget *window) {
        auto *d = qobject_cast<TRICERCA_CLIENTE *>(window);
        TypeInto(d->Filters->Registry->EF_Find_Denominazione, customer);
        d->Filters->Months->CK_Find_PreventiviMesiN->setChecked(false);
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        found = d->DST_GRID_Clienti() ? d->DST_GRID_Clienti()->RecordCount() : -1;
        clock.Done(QStringLiteral("cerca_cliente"), d);
        d->PB_SelectClick();
    });
    QTest::mouseClick(header->PB_RicercaCliente, Qt::LeftButton);
    QCOMPARE(found, 1);
    QVERIFY(header->EF_DescCliente->Text().startsWith(customer));
    TypeInto(header->EF_DescOggetto, kSubject);
    TypeInto(header->EF_NumGiorniScadenza, QStringLiteral("30"));
    clock.Restart();
    QTest::mouseClick(header->PB_Ok_Input, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!header->isVisible());
    const QString quote = CurrentValue(list->DG_Preventivi, QStringLiteral("idPreventivo"));
    const QString number = CurrentValue(list->DG_Preventivi, QStringLiteral("txNuPreventivo"));
    const QString year = QString::number(QDate::currentDate().year());
    QVERIFY2(number.endsWith(u'/' + year), qPrintable(number));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txDescOggetto")), kSubject);
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txDenominazione")), customer);
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txScadenza")),
             QStringLiteral("30 gg dal blocco"));
    QCOMPARE(sql(QStringLiteral("SELECT concat_ws('|', q.nurevisione, q.flbloccato, "
                                "c.txdenominazione, q.txutentein) FROM preventivi q JOIN clienti "
                                "c USING (idcliente) WHERE q.idpreventivo = '%1'")
                     .arg(quote)),
             QStringLiteral("1|0|%1|MROSSI").arg(customer));
    clock.Done(QStringLiteral("nuovo_preventivo"), &main);

    // 4. Its lines: the catalogue searched, a main product added with a price list and two
    // of its accessories.
    QVERIFY(ChooseMenu(list->DG_Preventivi, QStringLiteral("Dettaglio prodotti del preventivo")));
    auto *lines = qobject_cast<TDETTAGLI_PREVENTIVO *>(FindOpenForm(kQuoteLinesWindow));
    QVERIFY(lines);
    QApplication::processEvents(); // the catalogue side starts once the lines are shown
    QCOMPARE(lines->LineCount(), 0);
    QVERIFY(lines->windowTitle().contains(number));
    clock.Done(QStringLiteral("righe_vuote"), &main);

    TypeInto(lines->EF_Find_DescProdotto, QStringLiteral("QDG-100"));
    lines->CK_Find_Prodotti->setChecked(true);
    lines->CK_Find_Accessori->setChecked(false);
    lines->CK_Find_Documentazioni->setChecked(false);
    clock.Restart();
    QTest::mouseClick(lines->PB_EstraiElenco, Qt::LeftButton);
    TDataSet *products = lines->DST_GRID_Prodotti.get();
    QVERIFY(products && products->RecordCount() >= 1);
    const QString mainProduct = sql(
        QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'"));
    const int productRow = RowOf(*products, QStringLiteral("idProdotto"), mainProduct);
    QVERIFY(productRow >= 0);
    ClickRow(lines->DG_Prodotti, productRow);
    QCOMPARE(products->FieldByName(QStringLiteral("idProdotto")).AsString(), mainProduct);
    QCOMPARE(lines->PB_Add_Prodotto->text(), QStringLiteral("Prodotto principale"));
    // Its price lists: the one whose discount ceiling allows 12,5 % is chosen; its
    // accessories: the first two ticked.
    TDataSet *priceLists = lines->DST_GRID_ProdList.get();
    QVERIFY(priceLists && priceLists->RecordCount() >= 2);
    QVERIFY(lines->CK_Aggiungi_Anche_Listino->isChecked());
    const QString wantedList = sql(
        QStringLiteral("SELECT idprodlistino FROM prod_listini WHERE idprodotto = '%1' AND dtcanc "
                       "IS NULL AND numaxpercsconto >= 12.5 ORDER BY txcodlistino LIMIT 1")
            .arg(mainProduct));
    const int listRow = RowOf(*priceLists, QStringLiteral("idProdListino"), wantedList);
    QVERIFY(listRow >= 0);
    ClickRow(lines->DG_ProdList, listRow);
    const QString chosenList = priceLists->FieldByName(QStringLiteral("idProdListino")).AsString();
    QCOMPARE(chosenList, wantedList);
    TDataSet *linked = lines->DST_GRID_ProdLinked.get();
    QVERIFY(linked && linked->RecordCount() >= 2);
    QStringList accessories;
    for (int r = 0; r < 2; ++r) {
        DoubleClickRow(lines->DG_ProdLinked, r);
        accessories << linked->FieldByName(QStringLiteral("idProdCollegato")).AsString();
    }
    QCOMPARE(linked->CountMatching(QStringLiteral("flImportaInPrev = 1")), 2);
    QVERIFY(lines->PAN_NuLinked->text().startsWith(QLatin1String("2/")));
    clock.Done(QStringLiteral("catalogo"), &main);

    QTest::mouseClick(lines->PB_Add_Prodotto, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QCOMPARE(lines->LineCount(), 3);
    QCOMPARE(lines->CurrentRow(), 0);
    QCOMPARE(lines->SG_Dettagli->item(0, 3)->text(), QStringLiteral("Listino prodotto presente"));
    QCOMPARE(lines->SF_NuProdottiListini->text().section(u'\n', 0, 0),
             QStringLiteral("N° prodotti: 3"));
    QStringList productNames;
    for (int r = 0; r < 3; ++r)
        productNames << lines->SG_Dettagli->item(r, 2)->text();
    QCOMPARE(sql(QStringLiteral("SELECT string_agg(concat_ws('|', idprodotto, flaccessorio, "
                                "coalesce(idprodlistino, '-')), ';' ORDER BY nuordinamento) FROM "
                                "preventivo_dettaglio WHERE idpreventivo = '%1'")
                     .arg(quote))
                 .section(u';', 0, 0),
             mainProduct + QStringLiteral("|0|") + chosenList);
    QCOMPARE(sql(QStringLiteral("SELECT string_agg(idprodotto, ';' ORDER BY nuordinamento) FROM "
                                "preventivo_dettaglio WHERE idpreventivo = '%1' AND flaccessorio "
                                "= 1")
                     .arg(quote)),
             accessories.join(u';'));
    clock.Done(QStringLiteral("prodotti_aggiunti"), &main);

    // 5. The price of the main product: 12,5 % discount on its list price.
    QTest::mouseClick(lines->PB_ShowListini, Qt::LeftButton);
    QVERIFY(lines->ListiniMode());
    const double listPrice = sql(QStringLiteral("SELECT vllistino FROM prod_listini WHERE "
                                                "idprodlistino = '%1'")
                                     .arg(chosenList))
                                 .toDouble();
    QVERIFY(listPrice > 0);
    QCOMPARE(lines->EF_Listino_Listino->Text(), FormatNumber(2, listPrice));
    TypeInto(lines->EF_Listino_ScontoPerc, QStringLiteral("12,5"));
    const double discounted = RoundDecimals(2, listPrice * 0.875);
    QCOMPARE(lines->EF_Listino_Importo->Text(), FormatNumber(2, discounted));
    QCOMPARE(lines->EF_Listino_ScontoVal->Text(), FormatNumber(2, listPrice - discounted));
    clock.Restart();
    QTest::mouseClick(lines->PB_Listino_Ok_Input, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    const QString mainLine = lines->Line(0)->sIdPreventivoDet;
    QCOMPARE(sql(QStringLiteral("SELECT vlimporto FROM preventivo_dettaglio WHERE "
                                "idpreventivodet = '%1'")
                     .arg(mainLine))
                 .toDouble(),
             discounted);
    QCOMPARE(lines->Line(0)->rImporto, discounted);
    clock.Done(QStringLiteral("sconto"), &main);

    // 6. The main line's details: a paragraph switched off, a data-sheet value changed.
    QTest::mouseClick(lines->PB_ShowProdotti, Qt::LeftButton);
    lines->SelectRow(0);
    QTest::mouseClick(lines->PB_Change_Aspetto_Prodotto, Qt::LeftButton);
    TDETTAGLI_PREVDET *details = OpenChild<TDETTAGLI_PREVDET>(&main);
    QVERIFY(details);
    QVERIFY(OpensInReach(details, main.MdiArea()));
    QCOMPARE(details->windowTitle(),
             QStringLiteral("Dettagli del prodotto: \"") + productNames.at(0) + u'"');
    clock.Done(QStringLiteral("dettagli_riga"), &main);

    TDettProdTreeItem *paragraph = nullptr;
    for (TDettProdTreeItem *item : details->TV_Dettagli->Items())
        if (!paragraph && item->Node()->xTipoNode == cnComponente && item->childCount() > 0
            && item->Node()->bAttivo)
            paragraph = item;
    QVERIFY(paragraph);
    const QString paragraphId = paragraph->Node()->sIdNodo;
    const QString paragraphText = sql(QStringLiteral("SELECT txdescnodo FROM prevdet_nodi WHERE "
                                                     "idpreventivodet = '%1' AND idnodo = '%2'")
                                          .arg(mainLine, paragraphId));
    QVERIFY(details->PrepareTreeMenu(paragraph->Node()));
    QAction *toggle = details->MenuAction(QStringLiteral("MNU_AbilitaDisabilitaNodo"));
    QCOMPARE(toggle->text(), QStringLiteral("Disabilita il paragrafo"));
    toggle->trigger();
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!details->TV_Dettagli->FindTreeNode(paragraphId)->Node()->bAttivo);
    QCOMPARE(sql(QStringLiteral("SELECT flattivo FROM prevdet_nodi WHERE idpreventivodet = '%1' "
                                "AND idnodo = '%2'")
                     .arg(mainLine, paragraphId)),
             QStringLiteral("0"));
    clock.Done(QStringLiteral("paragrafo_spento"), &main);

    TDettProdTreeItem *sheetItem = nullptr;
    for (TDettProdTreeItem *item : details->TV_Dettagli->Items())
        if (!sheetItem && item->Node()->xTipoNode == cnVoceScheda)
            sheetItem = item;
    QVERIFY(sheetItem);
    const QString sheet = sheetItem->Node()->sIdParent;
    QVERIFY(details->PrepareTreeMenu(sheetItem->Node()));
    details->MenuAction(QStringLiteral("MNU_ModificaScheda"))->trigger();
    QVERIFY(details->PAN_DatiScheda->isVisible());
    QVERIFY(details->SG_Scheda->ItemCount() >= 1);
    details->SG_Scheda->SetValue(0, kSheetValue);
    QApplication::processEvents();
    clock.Done(QStringLiteral("valori_scheda"), &main);
    QTest::mouseClick(details->PB_Ok_Input_Schede, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!details->PAN_DatiScheda->isVisible());
    const QString firstItem = sql(
        QStringLiteral("SELECT idnodo FROM prevdet_nodi WHERE idpreventivodet = '%1' AND "
                       "idparent = '%2' ORDER BY nuorderd LIMIT 1")
            .arg(mainLine, sheet));
    QCOMPARE(sql(QStringLiteral("SELECT txdescnodob FROM prevdet_nodi WHERE idpreventivodet = "
                                "'%1' AND idnodo = '%2'")
                     .arg(mainLine, firstItem)),
             kSheetValue);
    QVERIFY(details->TV_Dettagli->FindTreeNode(firstItem)->text(0).contains(kSheetValue));
    clock.Done(QStringLiteral("scheda_salvata"), &main);
    QVERIFY(CloseWindow(details));
    QVERIFY(CloseWindow(lines));
    QVERIFY(!FindOpenForm(kQuoteLinesWindow));
    clock.Restart();

    // 7. The layout: a company layout customised with a page break, rebuilt, then kept as the
    // final print.
    // The lines editor made the list extract again when it closed.
    QVERIFY(list->DST_GRID_Preventivi()->Locate(QStringLiteral("idPreventivo"),
                                                quote,
                                                loCaseInsensitive));
    QVERIFY(ChooseMenu(list->DG_Preventivi, QStringLiteral("Imposta Layout al preventivo")));
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    auto *layout = qobject_cast<TLAYOUT_PREVENTIVO *>(FindOpenForm(kQuoteLayoutWindow));
    QVERIFY(layout);
    QVERIFY(OpensInReach(layout, main.MdiArea()));
    QCOMPARE(layout->windowTitle(),
             QStringLiteral("Layout del preventivo n° ") + number + QStringLiteral(" : \"")
                 + kSubject + u'"');
    TDataSet *layouts = layout->DST_GRID_Layouts.get();
    QVERIFY(layouts && layouts->RecordCount() >= 1);
    const int standard = RowOf(*layouts, QStringLiteral("txCodLayout"), QStringLiteral("STD"));
    QVERIFY(standard >= 0);
    ClickRow(layout->DG_Layouts, standard);
    QVERIFY(!layout->IMG_Layout->pixmap().isNull());
    clock.Done(QStringLiteral("layout_scelta"), &main);

    QTest::mouseClick(layout->PB_Modify_Layout, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!layout->IsFinalMode());
    QVERIFY(layout->PAN_Tree->isVisible());
    QVERIFY(layout->ExportPreview());
    // The tree shows the three lines; the switched-off paragraph is not there.
    QList<QTreeWidgetItem *> items;
    for (QTreeWidgetItemIterator it(layout->TV_Dettagli); *it; ++it)
        items << *it;
    int lineNodes = 0;
    for (QTreeWidgetItem *item : items) {
        TVRLPrevParteLayout *node = layout->NodeOf(item);
        if (node && node->iNuTipologia == kLayoutKindLine)
            ++lineNodes;
        QVERIFY(!node || node->sIdNodo != paragraphId);
    }
    QCOMPARE(lineNodes, 3);
    clock.Done(QStringLiteral("layout_personalizza"), &main);

    // A page break before a paragraph or sub-paragraph of the main product that shares its
    // page with the content before it (every product starts a page of its own anyway).
    QTreeWidgetItem *breakAt = nullptr;
    for (int i = 2; i < items.size() && !breakAt; ++i) {
        TVRLPrevParteLayout *node = layout->NodeOf(items[i]);
        TVRLPrevParteLayout *previous = layout->NodeOf(items[i - 1]);
        if (node && previous && node->sIdPreventivoDet == mainLine
            && (node->iNuTipologia == 30 || node->iNuTipologia == 40
                || node->iNuTipologia == kLayoutKindPartWithImages)
            && previous->iNuTipologia != 30 && previous->iNuTipologia != kLayoutKindLine
            && node->iPagePreview > 0 && node->iPagePreview == previous->iPagePreview)
            breakAt = items[i];
    }
    QVERIFY(breakAt);
    const QString breakNode = layout->NodeOf(breakAt)->sIdNodo;
    const auto nodeText = [&](const QString &id) {
        return sql(QStringLiteral("SELECT txdescnodo FROM prevdet_nodi WHERE idpreventivodet = "
                                  "'%1' AND idnodo = '%2'")
                       .arg(mainLine, id))
            .simplified();
    };
    const QString breakText = nodeText(breakNode);
    const QString beforeBreakText = nodeText(
        layout->NodeOf(items.at(items.indexOf(breakAt) - 1))->sIdNodo);
    const int pageBefore = layout->NodeOf(breakAt)->iPagePreview;
    const int pagesBefore = layout->ExportPreview()->PageCount();
    QVERIFY(layout->OpenTreeMenu(breakAt, QPoint()));
    QCOMPARE(layout->MNU_NewPageBefore->text(),
             QStringLiteral("Effettua un salto pagina prima di stampare"));
    layout->MNU_NewPageBefore->trigger();
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(layout->FindItem(mainLine, breakNode)->text(0).contains(QLatin1String("[S.P.] ")));
    QCOMPARE(sql(QStringLiteral("SELECT flnewpagebefore FROM prevdet_nodi WHERE idpreventivodet "
                                "= '%1' AND idnodo = '%2'")
                     .arg(mainLine, breakNode)),
             QStringLiteral("1"));
    QVERIFY(layout->bAggiornaLayoutVisible);
    clock.Done(QStringLiteral("salto_pagina"), &main);
    QVERIFY(layout->OpenTreeMenu(layout->TV_Dettagli->currentItem(), QPoint()));
    QVERIFY(layout->MNU_AggiornaLayout->isVisible());
    QCOMPARE(layout->MNU_AggiornaLayout->text(), QStringLiteral("Aggiorna layout"));
    clock.Restart();
    layout->MNU_AggiornaLayout->trigger();
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!layout->bAggiornaLayoutVisible);
    QCOMPARE(layout->NodeOf(layout->FindItem(mainLine, breakNode))->iPagePreview, pageBefore + 1);
    QVERIFY(layout->ExportPreview()->PageCount() >= pagesBefore);
    clock.Done(QStringLiteral("aggiorna_layout"), &main);

    QTest::mouseClick(layout->PB_Select_Layout, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(layout->IsFinalMode());
    QVERIFY(layout->PB_Gestione_FolderPrev->isVisible());
    const int pages = layout->ExportPreview()->PageCount();
    QVERIFY(pages >= 2);
    clock.Done(QStringLiteral("layout_definitivo"), &main);

    // 8. The export to the cloud: the quote folder and its PDF made, the link stored, the
    // quote blocked.
    QString link;
    bool exported = false;
    WhenModal<TFOLDER_PREVENTIVO_DBX>([&](TFOLDER_PREVENTIVO_DBX *d) {
        // Closed whatever happens, so that a failed check ends the test instead of waiting.
        const auto close = qScopeGuard([d] { d->close(); });
        QCOMPARE(d->windowTitle(),
                 QStringLiteral("Cloud: Preventivo n° ") + number + QStringLiteral(" : \"")
                     + kSubject + u'"');
        clock.Done(QStringLiteral("cloud_finestra"), d);
        rec.QueueYes();
        QTest::mouseClick(d->PB_ExportPrev, Qt::LeftButton);
        QCOMPARE(rec.LastText(TDialogKind::Question),
                 QStringLiteral("Confermi esportazione del preventivo ?"));
        QCOMPARE(d->PAN_Pages->currentWidget(), d->PAN_NomeFolder);
        QCOMPARE(d->EF_DescCliente->Text(), customer);
        clock.Done(QStringLiteral("cloud_nome_cartella"), d);
        QTest::mouseClick(d->PB_OkNomeFolder, Qt::LeftButton);
        QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
        QVERIFY(d->PAN_PrepareLinkForMail->isVisibleTo(d));
        link = d->sURLFilePDF;
        exported = true;
        clock.Done(QStringLiteral("cloud_esportato"), d);
    });
    QTest::mouseClick(layout->PB_Gestione_FolderPrev, Qt::LeftButton);
    QVERIFY2(exported, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(link.startsWith(QLatin1String("https://")));
    const QString folder = sql(
        QStringLiteral("SELECT txnomefolder FROM preventivi WHERE idpreventivo = '%1'").arg(quote));
    QVERIFY(folder.contains(customer));
    QCOMPARE(sql(QStringLiteral("SELECT concat_ws('|', flbloccato, txurlfilepdf) FROM preventivi "
                                "WHERE idpreventivo = '%1'")
                     .arg(quote)),
             QStringLiteral("1|") + link);
    const QString pdfPath = QStringLiteral("/VENTOREL/TECNOQUADRI/Preventivi ") + year + u'/'
                            + folder + u'/' + folder + QStringLiteral(".pdf");
    QVERIFY2(m_cloud.fake->Exists(pdfPath), qPrintable(pdfPath));
    const QByteArray pdf = m_cloud.fake->Content(pdfPath);
    QVERIFY(pdf.startsWith("%PDF"));
    // Closing the layout shows the quote blocked, with its link, in the list.
    clock.Restart();
    QVERIFY(CloseWindow(layout));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("idPreventivo")), quote);
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("flBloccato")), QStringLiteral("1"));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txURLFilePDF")), link);
    QVERIFY(MenuCaptions(list->DG_Preventivi).contains(QStringLiteral("Preventivo nel Cloud")));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txScadenza")),
             QDate::currentDate().addDays(30).toString(QStringLiteral("dd/MM/yyyy")));
    clock.Done(QStringLiteral("preventivo_bloccato"), &main);

    // 9. A new revision of the blocked quote, open for changes; the first issue stays blocked.
    rec.QueueYes();
    QVERIFY(ChooseMenu(list->DG_Preventivi, QStringLiteral("Crea nuova revisione")));
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    const QString revision = CurrentValue(list->DG_Preventivi, QStringLiteral("idPreventivo"));
    QVERIFY(revision != quote);
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("txNuPreventivo")),
             number + QStringLiteral(" Rev. 2"));
    QCOMPARE(CurrentValue(list->DG_Preventivi, QStringLiteral("flBloccato")), QStringLiteral("0"));
    QCOMPARE(sql(QStringLiteral("SELECT count(*) FROM preventivo_dettaglio WHERE idpreventivo = "
                                "'%1'")
                     .arg(revision)),
             QStringLiteral("3"));
    QCOMPARE(sql(QStringLiteral("SELECT flbloccato FROM preventivi WHERE idpreventivo = '%1'")
                     .arg(quote)),
             QStringLiteral("1"));
    clock.Done(QStringLiteral("nuova_revisione"), &main);

    // 10. An operator who handles orders logs on in the same program.
    rec.QueueYes();
    AnswerLogon(QStringLiteral("GBIANCHI"), QStringLiteral("bianchi"));
    info->trigger();
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QCOMPARE(SessionInfo().sUserName, QStringLiteral("GBIANCHI"));
    QVERIFY(info->text().contains(QLatin1String("(GBIANCHI)")));
    QTRY_VERIFY(!FindOpenForm(kQuoteListWindow));
    auto *ordersButton = main.findChild<QPushButton *>(QStringLiteral("PB_GestioneOrdini"));
    QVERIFY(ordersButton && ordersButton->isVisible());
    clock.Done(QStringLiteral("logon_ordini"), &main);

    // 11. "Ordini": a new order from the blocked quote, found in the quote search.
    ordersButton->click();
    auto *orders = qobject_cast<TGESTIONE_ORDINI *>(
        FindOpenForm(QStringLiteral("GESTIONE_ORDINI")));
    QVERIFY(orders);
    QCOMPARE(orders->windowTitle(), QStringLiteral("Gestione ordini"));
    // He works for every company: the quote's company is chosen in the selector.
    QVERIFY(orders->HasCompanySelector());
    QComboBox *companies = orders->CompanySelector()->Combo();
    const int companyIndex
        = companies->findText(sql(QStringLiteral(
                                      "SELECT txdenominazione FROM societa WHERE idsocieta = '%1'")
                                      .arg(kCompany)),
                              Qt::MatchStartsWith);
    QVERIFY(companyIndex >= 0);
    companies->setCurrentIndex(companyIndex);
    QCOMPARE(orders->CompanySelector()->SelectedId(), kCompany);
    clock.Done(QStringLiteral("lista_ordini"), &main);

    QString searchCompany;
    int searchRows = -1;
    std::function<void(TRICERCA_PREVENTIVO *)> search = [&](TRICERCA_PREVENTIVO *d) {
        if (d->Pane()->Busy()) {
            QTimer::singleShot(10, d, [d, &search] { search(d); });
            return;
        }
        searchCompany = d->sIdSocieta;
        TypeInto(d->Filters->EF_Find_DescPreventivo, QStringLiteral("cabina di trasformazione"));
        QTest::mouseClick(d->Filters->PB_EstraiElenco, Qt::LeftButton);
        TDataSet *rows = d->DST_GRID_Preventivi();
        searchRows = rows ? rows->RecordCount() : -1;
        if (rows && rows->Locate(QStringLiteral("idPreventivo"), quote, loCaseInsensitive)) {
            clock.Done(QStringLiteral("cerca_preventivo"), d);
            d->PB_SelectClick();
        }
        if (d->isVisible())
            d->reject(); // not found: the checks below fail instead of waiting
    };
    WhenShown(QStringLiteral("RICERCA_PREVENTIVO"),
              [&search](QWidget *window) { search(qobject_cast<TRICERCA_PREVENTIVO *>(window)); });
    QVERIFY(ChooseMenu(orders->DG_Ordini, QStringLiteral("Nuovo ordine")));
    QCOMPARE(searchCompany, kCompany);
    QVERIFY(searchRows >= 1);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QCOMPARE(rec.LastText(TDialogKind::Info),
             QStringLiteral("Ordine creato da preventivo correttamente.\r\n\r\n"
                            "Puoi procedere con l'integrazione dei dati mancanti."));
    const QString order = sql(
        QStringLiteral("SELECT idordine FROM ordini WHERE idpreventivo = '%1'").arg(quote));
    QVERIFY(!order.isEmpty());
    TOrderPanel *panel = orders->PAN_Input;
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Ordine"));
    QCOMPARE(panel->EF_DescOggetto->Text(), kSubject);
    QVERIFY(panel->DCB_Pagamento->count() > 0);
    panel->DCB_Pagamento->setCurrentIndex(0);
    const QString payment = panel->PaymentCode();
    QVERIFY(!payment.isEmpty());
    TypeInto(panel->EF_NoteOrdine, QStringLiteral("Consegna in cantiere entro fine mese"));
    clock.Done(QStringLiteral("nuovo_ordine"), &main);
    QTest::mouseClick(panel->PB_Ok_Input, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QVERIFY(!panel->isVisible());
    QCOMPARE(CurrentValue(orders->DG_Ordini, QStringLiteral("idOrdine")), order);
    QCOMPARE(CurrentValue(orders->DG_Ordini, QStringLiteral("txDenominazione")), customer);
    QCOMPARE(sql(QStringLiteral("SELECT concat_ws('|', txdescordine, txcodpagamento, "
                                "txnoteordine, txutentein) FROM ordini WHERE idordine = '%1'")
                     .arg(order)),
             QStringLiteral("%1|%2|Consegna in cantiere entro fine mese|GBIANCHI")
                 .arg(kSubject, payment));
    clock.Done(QStringLiteral("ordine_creato"), &main);

    // 12. The order's summary.
    QVERIFY(ChooseMenu(orders->DG_Ordini, QStringLiteral("Gestione sommario dell'ordine")));
    auto *summary = qobject_cast<TORDINE_SOMMARIO *>(
        FindOpenForm(QStringLiteral("ORDINE_SOMMARIO")));
    QVERIFY(summary);
    QCOMPARE(summary->windowTitle(), QStringLiteral("Sommario dell'ordine: \"") + kSubject + u'"');
    QCOMPARE(summary->SG_Sommario->rowCount(), 1);
    const QList<QPair<QString, QString>> entries
        = {{QStringLiteral("Consegna"), QStringLiteral("Franco cantiere, entro 6 settimane")},
           {QStringLiteral("Garanzia"), QStringLiteral("24 mesi dalla messa in servizio")}};
    for (int r = 0; r < entries.size(); ++r) {
        if (r > 0)
            QTest::mouseClick(summary->PB_NuovaRiga, Qt::LeftButton);
        summary->SG_Sommario->item(r, 1)->setText(entries.at(r).first);
        summary->SG_Sommario->item(r, 2)->setText(entries.at(r).second);
    }
    QCOMPARE(summary->SG_Sommario->item(1, 0)->text(), QStringLiteral("2"));
    clock.Done(QStringLiteral("sommario"), &main);
    QTest::mouseClick(summary->PB_Ok_Input_Sommario, Qt::LeftButton);
    QVERIFY2(rec.Count(TDialogKind::Error) == 0, qPrintable(rec.LastText(TDialogKind::Error)));
    QCOMPARE(sql(QStringLiteral("SELECT string_agg(concat_ws('|', nuordinetesto, txdesctesto, "
                                "txtesto), ';' ORDER BY nuordinetesto) FROM ordine_sommario "
                                "WHERE idordine = '%1'")
                     .arg(order)),
             QStringLiteral("1|Consegna|Franco cantiere, entro 6 settimane;2|Garanzia|24 mesi "
                            "dalla messa in servizio"));
    clock.Done(QStringLiteral("sommario_salvato"), &main);
    qInfo("road total %lld ms", clock.Total());

    // 13. The PDF in the cloud, page by page: the customer, the products, the amounts and the
    // company's footer.
    QTemporaryDir scratch;
    const QStringList text = PdfPages(pdf, scratch.path());
    QCOMPARE(text.size(), pages);
    const QString all = text.join(u'\n');
    QVERIFY2(text.first().contains(customer), qPrintable(text.first()));
    for (const QString &name : productNames)
        QVERIFY2(all.contains(name.simplified(), Qt::CaseInsensitive), qPrintable(name));
    QVERIFY2(all.contains(FormatNumber(2, discounted)), qPrintable(FormatNumber(2, discounted)));
    QVERIFY(all.contains(kSheetValue));
    // The footer's parts (the page number may stand between them) on every page after the
    // cover, with the page number.
    const QStringList footerParts = footer.simplified().split(QStringLiteral(" - "));
    for (int p = 1; p < text.size(); ++p) {
        for (const QString &part : footerParts)
            QVERIFY2(text.at(p).contains(part),
                     qPrintable(QStringLiteral("page %1: %2").arg(p + 1).arg(text.at(p))));
        QVERIFY(text.at(p).contains(QStringLiteral("Pagina %1 di %2").arg(p + 1).arg(pages)));
    }
    // The switched-off paragraph is not printed; the page break holds in the final print.
    QVERIFY(!paragraphText.isEmpty());
    QVERIFY(!all.contains(paragraphText));
    const auto pageWith = [&text](const QString &what) {
        for (int p = 0; p < text.size(); ++p)
            if (text.at(p).contains(what))
                return p;
        return -1;
    };
    QVERIFY(pageWith(breakText) > 0);
    QCOMPARE(pageWith(breakText), pageWith(beforeBreakText) + 1);

    rec.QueueYes();
    main.MdiArea()->closeAllSubWindows();
}

QTEST_MAIN(tst_roadofaquote)
#include "tst_roadofaquote.moc"
