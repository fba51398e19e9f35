// "Layout del preventivo" on the demo database, driven as the operator drives it: the
// company's layouts with their samples and the remembered choice, the final print and the
// customising preview with the layout tree, its captions and the pages of its nodes, the print
// options set from the tree's menu and the rebuilt preview honouring them, the PDF saved, the
// checks before the cloud export.

#include "catalogue/dettprodpreview.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "db/dataset.h"
#include "domain/vrlprevpartelayout.h"
#include "quotes/layout_preventivo.h"
#include "quotes/quoteopeners.h"
#include "reports/krtviewreport.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

QStringList PdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString &page : pages)
        page = page.simplified();
    return pages;
}

QList<QTreeWidgetItem *> AllItems(QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> items;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *item) {
        items << item;
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return items;
}

} // namespace

class TestLayoutPreventivo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startListsTheCompanyLayoutsAndRemembersTheChoice();
    void finalPrintShowsTheWholeQuote();
    void waitPanelTellsEveryStep_data();
    void waitPanelTellsEveryStep();
    void customisingShowsTheTreeWithItsCaptionsAndPages();
    void printOptionChangesCaptionAtOnceAndWaitsForAggiornaLayout();
    void pageBreakAndKeepTogetherAreHonoured();
    void pdfIsSavedWithItsExtensionAndFolderRemembered();
    void cloudExportRefusesAnIncompleteQuote_data();
    void cloudExportRefusesAnIncompleteQuote();
    void administratorStoresTheLayoutSampleFromTheClipboard();

private:
    TLAYOUT_PREVENTIVO *Open(const QString &quote);
    void ChooseLayout(TLAYOUT_PREVENTIVO *w, const QString &code);
    QTreeWidgetItem *ItemOf(TLAYOUT_PREVENTIVO *w, int kind, const QString &caption = {});
    bool Choose(TLAYOUT_PREVENTIVO *w, QTreeWidgetItem *item, QAction *action);
    QString Sql(const QString &sql) const { return m_db->SuperQuery(sql); }

    QTemporaryDir m_home;
    QString m_quote;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
};

void TestLayoutPreventivo::initTestCase()
{
    QVERIFY(m_home.isValid());
    const QString source = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("Reports"))));
    for (const QString &name :
         QDir(source + QStringLiteral("/Reports")).entryList({QStringLiteral("Layout*.RPT")}))
        QVERIFY(QFile::copy(source + QStringLiteral("/Reports/") + name,
                            m_home.filePath(QStringLiteral("Reports/") + name)));
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void TestLayoutPreventivo::init()
{
    m_db = std::make_unique<TTestDatabase>();
    m_db->LogOn(QStringLiteral("MROSSI"));
    m_dialogs = std::make_unique<TDialogRecorder>();
    SessionInfo() = TSessionInfo();
    SessionInfo().sUserName = QStringLiteral("MROSSI");
    SessionInfo().sUserSettingsFile = m_home.filePath(QStringLiteral("VentorelWin_MROSSI.ini"));
    QFile::remove(SessionInfo().sUserSettingsFile);
    // The demo quote with most lines, a customer and every amount.
    m_quote = Sql(QStringLiteral(
        "SELECT q.idpreventivo FROM preventivi q JOIN preventivo_dettaglio d ON d.idpreventivo = "
        "q.idpreventivo WHERE q.dtcanc IS NULL AND q.idcliente IS NOT NULL AND "
        "d.flprodottoattivo = 1 GROUP BY q.idpreventivo ORDER BY count(*) DESC, q.idpreventivo "
        "LIMIT 1"));
    QVERIFY(!m_quote.isEmpty());
}

void TestLayoutPreventivo::cleanup()
{
    if (QWidget *w = FindOpenForm(kQuoteLayoutWindow))
        delete w;
    m_dialogs.reset();
    m_db.reset();
}

TLAYOUT_PREVENTIVO *TestLayoutPreventivo::Open(const QString &quote)
{
    auto *w = qobject_cast<TLAYOUT_PREVENTIVO *>(
        CreateRegisteredWindow(kQuoteLayoutWindow, nullptr));
    if (!w)
        return nullptr;
    w->resize(1400, 900);
    w->show();
    w->Start(quote,
             Sql(QStringLiteral("SELECT idsocieta FROM preventivi WHERE idpreventivo = '%1'")
                     .arg(quote)),
             Sql(QStringLiteral("SELECT txdescoggetto FROM preventivi WHERE idpreventivo = '%1'")
                     .arg(quote)),
             Sql(QStringLiteral("SELECT vt_nu_preventivo(nuannopreventivo, nupreventivo, "
                                "nurevisione) FROM preventivi WHERE idpreventivo = '%1'")
                     .arg(quote)));
    return w;
}

void TestLayoutPreventivo::ChooseLayout(TLAYOUT_PREVENTIVO *w, const QString &code)
{
    TDataSet &layouts = *w->DST_GRID_Layouts;
    for (int r = 0; r < layouts.RecordCount(); ++r) {
        if (layouts.ValueAt(r, layouts.FieldIndex(QStringLiteral("txCodLayout"))).toString()
            == code) {
            w->DG_Layouts->setCurrentIndex(w->DG_Layouts->model()->index(r, 0));
            return;
        }
    }
    QFAIL("layout not found");
}

QTreeWidgetItem *TestLayoutPreventivo::ItemOf(TLAYOUT_PREVENTIVO *w,
                                              int kind,
                                              const QString &caption)
{
    for (QTreeWidgetItem *item : AllItems(w->TV_Dettagli)) {
        TVRLPrevParteLayout *node = w->NodeOf(item);
        if (node && node->iNuTipologia == kind
            && (caption.isEmpty() || item->text(0).contains(caption)))
            return item;
    }
    return nullptr;
}

bool TestLayoutPreventivo::Choose(TLAYOUT_PREVENTIVO *w, QTreeWidgetItem *item, QAction *action)
{
    QMenu *menu = w->OpenTreeMenu(item, QPoint());
    if (!menu || !action->isVisible())
        return false;
    action->trigger();
    return true;
}

void TestLayoutPreventivo::startListsTheCompanyLayoutsAndRemembersTheChoice()
{
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    QVERIFY(w);
    QVERIFY(w->windowTitle().startsWith(QStringLiteral("Layout del preventivo n° ")));
    QVERIFY(w->windowTitle().endsWith(u'"'));
    QCOMPARE(w->DST_GRID_Layouts->RecordCount(), 2);
    QCOMPARE(w->DG_Layouts->Column(0).Title, QStringLiteral("Descrizione"));
    QVERIFY(w->PB_Select_Layout->isEnabled());
    QVERIFY(w->PB_Gestione_FolderPrev->isHidden());
    // The first layout is chosen and its sample shown.
    QCOMPARE(w->DG_Layouts->currentIndex().row(), 0);
    QVERIFY(!w->IMG_Layout->pixmap().isNull());

    ChooseLayout(w, QStringLiteral("CMP"));
    QTest::mouseClick(w->PB_Select_Layout, Qt::LeftButton);
    const QString chosen = IniReadText(QStringLiteral("SETTINGS"),
                                       QStringLiteral("FrmLayOut_idLay"),
                                       QString(),
                                       SessionInfo().sUserSettingsFile);
    QCOMPARE(chosen, w->xLayout.idLayout);
    QCOMPARE(w->xLayout.txCodLayout, QStringLiteral("CMP"));
    delete w;

    // Opened again: the remembered layout is the current one.
    w = Open(m_quote);
    TDataSet &layouts = *w->DST_GRID_Layouts;
    QCOMPARE(layouts
                 .ValueAt(w->DG_Layouts->currentIndex().row(),
                          layouts.FieldIndex(QStringLiteral("txCodLayout")))
                 .toString(),
             QStringLiteral("CMP"));
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
}

void TestLayoutPreventivo::finalPrintShowsTheWholeQuote()
{
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    QTest::mouseClick(w->PB_Select_Layout, Qt::LeftButton);
    QCOMPARE(m_dialogs->Requests().size(), 0);
    QVERIFY(w->IsFinalMode());
    QVERIFY(w->PAN_Tree->isHidden());
    QVERIFY(w->PAN_Wait->isHidden());
    QVERIFY(w->ExportPreview());
    const int pages = w->PAN_Preview->iRptPageTo;
    QVERIFY(pages >= 5);
    QCOMPARE(w->PAN_Preview->SF_NuPages->text(), QStringLiteral("1 / %1").arg(pages));
    QVERIFY(w->PB_Gestione_FolderPrev->isVisible());
    QCOMPARE(w->PAN_Preview->CB_Zoom->currentText(), QStringLiteral("Pagina intera"));
    QTest::mouseClick(w->PAN_Preview->PB_GoNext, Qt::LeftButton);
    QCOMPARE(w->PAN_Preview->SF_NuPages->text(), QStringLiteral("2 / %1").arg(pages));
    QTest::mouseClick(w->PAN_Preview->PB_GoLast, Qt::LeftButton);
    QCOMPARE(w->PAN_Preview->CurrentPage(), pages);
    // The final print has no tree menu.
    QVERIFY(!w->OpenTreeMenu(nullptr, QPoint()));
}

void TestLayoutPreventivo::waitPanelTellsEveryStep_data()
{
    QTest::addColumn<bool>("customising");
    QTest::newRow("Seleziona Layout") << false;
    QTest::newRow("Modifica Layout ") << true;
}

void TestLayoutPreventivo::waitPanelTellsEveryStep()
{
    QFETCH(bool, customising);
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    // What the panel says each time the window lets the interface repaint, and whether it
    // covers the window with the layout list disabled meanwhile.
    QStringList texts;
    bool covered = true;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, w, [&] {
        if (w->PAN_Wait->isHidden())
            return;
        covered = covered && w->PAN_Wait->geometry() == w->rect() && !w->PAN_Layouts->isEnabled();
        if (texts.isEmpty() || texts.last() != w->PAN_Wait->text())
            texts << w->PAN_Wait->text();
    });
    watch.start();
    QTest::mouseClick(customising ? w->PB_Modify_Layout : w->PB_Select_Layout, Qt::LeftButton);
    watch.stop();
    QCOMPARE(texts,
             QStringList({"Estrazione elenco dei prodotti del preventivo in corso...",
                          "Composizione di tutti i paragrafi dei prodotti...",
                          "Preparazione della cover con i dati principali...",
                          "Calcolo della pagina dei riepiloghi di tutti gli importi...",
                          "Elaborazione delle immagini del preventivo al layout selezionato...",
                          "Preparazione del modulo di stampa in anteprima...",
                          "Preparazione terminata, inizia la creazione della stampa finale...",
                          "Layout del preventivo terminato !"}));
    QVERIFY(covered);
    QVERIFY(w->PAN_Wait->isHidden());
    QVERIFY(w->PAN_Layouts->isEnabled());
    QCOMPARE(m_dialogs->Requests().size(), 0);
}

void TestLayoutPreventivo::customisingShowsTheTreeWithItsCaptionsAndPages()
{
    // A page break stored on a data sheet and keep-together off on a sub-paragraph show in the
    // captions.
    Sql(QStringLiteral("UPDATE prevdet_nodi SET flnewpagebefore = 1, flunita = 0 WHERE "
                       "idpreventivodet IN (SELECT idpreventivodet FROM preventivo_dettaglio WHERE "
                       "idpreventivo = '%1') AND nutipologia = 10")
            .arg(m_quote));
    Sql(QStringLiteral("UPDATE prevdet_nodi SET flunita = 1 WHERE idpreventivodet IN (SELECT "
                       "idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = '%1') AND "
                       "nutipologia = 40")
            .arg(m_quote));
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    QTest::mouseClick(w->PB_Modify_Layout, Qt::LeftButton);
    QCOMPARE(m_dialogs->Requests().size(), 0);
    QVERIFY(!w->IsFinalMode());
    QVERIFY(w->PAN_Tree->isVisible());
    QTreeWidgetItem *root = w->TV_Dettagli->topLevelItem(0);
    QCOMPARE(root->text(0), w->sDescPreventivo.trimmed());
    QCOMPARE(w->NodeOf(root)->xTipoNode, cnPreventivo);
    QCOMPARE(w->TV_Dettagli->currentItem(), root);
    QVERIFY(root->childCount() >= 2);
    QCOMPARE(w->NodeOf(root->child(0))->xTipoNode, cnProdotto);

    QTreeWidgetItem *sheet = ItemOf(w, 10);
    QVERIFY(sheet);
    QVERIFY2(sheet->text(0).contains(QRegularExpression(QStringLiteral("^P\\d+\\. \\[S\\.P\\.\\] "
                                                                       "[^\\[]"))),
             qPrintable(sheet->text(0)));
    QTreeWidgetItem *part = ItemOf(w, 40);
    QVERIFY(part);
    QVERIFY2(part->text(0).contains(
                 QRegularExpression(QStringLiteral("^P\\d+\\. \\[M\\.U\\.\\] "))),
             qPrintable(part->text(0)));

    // Every node has found its page in the export; choosing one turns the preview to it.
    int last = 0;
    for (QTreeWidgetItem *item : AllItems(w->TV_Dettagli).mid(1)) {
        TVRLPrevParteLayout *node = w->NodeOf(item);
        QVERIFY2(node->iPagePreview > 0, qPrintable(item->text(0)));
        QVERIFY(node->iPagePreview >= last); // the tree is in print order
        last = node->iPagePreview;
    }
    // A picture of the window for whoever looks at it.
    if (const QString keep = qEnvironmentVariable("VENTOREL_LAYOUT_KEEP"); !keep.isEmpty())
        w->grab().save(keep + QStringLiteral("/finestra_modifica_layout.png"));
    QTreeWidgetItem *lastItem = AllItems(w->TV_Dettagli).last();
    w->TV_Dettagli->setCurrentItem(lastItem);
    QCOMPARE(w->PAN_Preview->CurrentPage(), w->NodeOf(lastItem)->iPagePreview);
    QVERIFY(w->PAN_Preview->CurrentPage() > 1);
}

void TestLayoutPreventivo::printOptionChangesCaptionAtOnceAndWaitsForAggiornaLayout()
{
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    QTest::mouseClick(w->PB_Modify_Layout, Qt::LeftButton);
    QTreeWidgetItem *sheet = ItemOf(w, 10);
    QVERIFY(sheet);
    TVRLPrevParteLayout *node = w->NodeOf(sheet);
    const QString line = node->sIdPreventivoDet;
    const QString id = node->sIdNodo;
    const bool wasKept = node->bParteUnita;
    QCOMPARE(sheet->text(0).contains(QLatin1String("[M.U.] ")), wasKept);

    // The menu of a data sheet: both options, no "Aggiorna layout" yet.
    QVERIFY(w->OpenTreeMenu(sheet, QPoint()));
    QVERIFY(w->MNU_MantieniUnitoSottop->isVisible());
    QCOMPARE(w->MNU_MantieniUnitoSottop->text(),
             wasKept ? QStringLiteral("Stampa senza considerazioni particolari")
                     : QStringLiteral("Stampa se possibile nella stessa pagina"));
    QVERIFY(!w->MNU_AggiornaLayout->isVisible());
    // A quote line has no keep-together entry.
    QVERIFY(w->OpenTreeMenu(ItemOf(w, kLayoutKindLine), QPoint()));
    QVERIFY(!w->MNU_MantieniUnitoSottop->isVisible());

    TKRTViewReport *preview = w->ExportPreview();
    QVERIFY(Choose(w, sheet, w->MNU_MantieniUnitoSottop));
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    // Stored at once, caption changed at once, the node still selected, the preview kept.
    QCOMPARE(Sql(QStringLiteral("SELECT flunita FROM prevdet_nodi WHERE idpreventivodet = '%1' "
                                "AND idnodo = '%2'")
                     .arg(line, id)),
             wasKept ? QStringLiteral("0") : QStringLiteral("1"));
    QTreeWidgetItem *now = w->FindItem(line, id);
    QVERIFY(now);
    QCOMPARE(w->TV_Dettagli->currentItem(), now);
    QCOMPARE(now->text(0).contains(QLatin1String("[M.U.] ")), !wasKept);
    QVERIFY(w->NodeOf(now)->iPagePreview > 0);
    QCOMPARE(w->ExportPreview(), preview);
    QVERIFY(w->bAggiornaLayoutVisible);
    QVERIFY(w->OpenTreeMenu(now, QPoint()));
    QVERIFY(w->MNU_AggiornaLayout->isVisible());

    // The page break of a paragraph, the same way.
    QTreeWidgetItem *paragraph = ItemOf(w, 30);
    QVERIFY(Choose(w, paragraph, w->MNU_NewPageBefore));
    QVERIFY(w->TV_Dettagli->currentItem()->text(0).startsWith(QLatin1String("[S.P.] ")));

    // The cloud export waits for the rebuilt layout; rebuilt in customising it is still not
    // the final print.
    QTest::mouseClick(w->PB_Gestione_FolderPrev, Qt::LeftButton);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral("Aggiornare layout dopo modifiche\r\n\r\nprima di continuare."));
    QVERIFY(Choose(w, w->TV_Dettagli->currentItem(), w->MNU_AggiornaLayout));
    QVERIFY(!w->bAggiornaLayoutVisible);
    QVERIFY(w->TV_Dettagli->currentItem()->text(0).startsWith(QLatin1String("[S.P.] ")));
    m_dialogs->Clear();
    QTest::mouseClick(w->PB_Gestione_FolderPrev, Qt::LeftButton);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral("Impostare il layout del preventivo in definitivo\r\n\r\nprima di "
                            "continuare."));
}

void TestLayoutPreventivo::pageBreakAndKeepTogetherAreHonoured()
{
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("CMP"));
    QTest::mouseClick(w->PB_Modify_Layout, Qt::LeftButton);
    auto pageOf = [w](QTreeWidgetItem *item) { return w->NodeOf(item)->iPagePreview; };
    auto rebuild = [&] { QVERIFY(Choose(w, w->TV_Dettagli->currentItem(), w->MNU_AggiornaLayout)); };

    // A sub-paragraph printed on the same page as the node before it: a page break before it
    // moves it to the next page.
    QList<QTreeWidgetItem *> items = AllItems(w->TV_Dettagli);
    int at = -1;
    for (int i = 2; i < items.size(); ++i) {
        const int kind = w->NodeOf(items[i])->iNuTipologia;
        if ((kind == 40 || kind == kLayoutKindPartWithImages)
            && pageOf(items[i]) == pageOf(items[i - 1])
            && w->NodeOf(items[i - 1])->iNuTipologia != 30) {
            at = i;
            break;
        }
    }
    QVERIFY(at > 0);
    const QString line = w->NodeOf(items[at])->sIdPreventivoDet;
    const QString id = w->NodeOf(items[at])->sIdNodo;
    const int before = pageOf(items[at]);
    QVERIFY(Choose(w, items[at], w->MNU_NewPageBefore));
    rebuild();
    QCOMPARE(pageOf(w->FindItem(line, id)), before + 1);

    // Two sub-paragraphs one after the other, the first starting a page and about a third of
    // a page long, the second about two thirds and not kept together: the second starts on the
    // first's page and runs over the next; kept together, it starts the next page.
    items = AllItems(w->TV_Dettagli);
    at = -1;
    for (int i = 1; i < items.size(); ++i) {
        TVRLPrevParteLayout *n = w->NodeOf(items[i]);
        TVRLPrevParteLayout *previous = w->NodeOf(items[i - 1]);
        auto part = [](const TVRLPrevParteLayout *x) {
            return x->iNuTipologia == 40 || x->iNuTipologia == kLayoutKindPartWithImages;
        };
        if (part(n) && part(previous) && n->sIdParent == previous->sIdParent) {
            at = i;
            break;
        }
    }
    QVERIFY(at > 0);
    const TVRLPrevParteLayout first = *w->NodeOf(items[at - 1]);
    const TVRLPrevParteLayout second = *w->NodeOf(items[at]);
    auto setText = [this](const TVRLPrevParteLayout &node, int lines, bool kept, bool pageBreak) {
        QStringList text;
        for (int l = 1; l <= lines; ++l)
            text << QStringLiteral("Riga %1 del testo di prova, lunga quanto basta a occupare la "
                                   "pagina.")
                        .arg(l);
        // One text of that length: the sub-paragraph's other texts are switched off.
        const QString texts = QStringLiteral("idpreventivodet = '%1' AND idparent = '%2' AND "
                                             "nutipologia = 50")
                                  .arg(node.sIdPreventivoDet, node.sIdNodo);
        const QString one = Sql(
            QStringLiteral("SELECT idnodo FROM prevdet_nodi WHERE %1 ORDER BY nuorderc LIMIT 1")
                .arg(texts));
        QVERIFY(!one.isEmpty());
        Sql(QStringLiteral("UPDATE prevdet_nodi SET flattivo = 0 WHERE %1 AND idnodo <> '%2'")
                .arg(texts, one));
        Sql(QStringLiteral("UPDATE prevdet_nodi SET txdescnodo = '%1', txtestortf = NULL WHERE "
                           "idpreventivodet = '%2' AND idnodo = '%3'")
                .arg(text.join(QChar(u'\n')), node.sIdPreventivoDet, one));
        Sql(QStringLiteral("UPDATE prevdet_nodi SET flunita = %1, flnewpagebefore = %2 WHERE "
                           "idpreventivodet = '%3' AND idnodo = '%4'")
                .arg(kept ? 1 : 0)
                .arg(pageBreak ? 1 : 0)
                .arg(node.sIdPreventivoDet, node.sIdNodo));
    };
    setText(first, 18, false, true);
    setText(second, 30, false, false);
    QTest::mouseClick(w->PB_Modify_Layout, Qt::LeftButton);
    const int firstPage = pageOf(w->FindItem(first.sIdPreventivoDet, first.sIdNodo));
    QCOMPARE(pageOf(w->FindItem(second.sIdPreventivoDet, second.sIdNodo)), firstPage);
    QVERIFY(
        Choose(w, w->FindItem(second.sIdPreventivoDet, second.sIdNodo), w->MNU_MantieniUnitoSottop));
    rebuild();
    QCOMPARE(pageOf(w->FindItem(second.sIdPreventivoDet, second.sIdNodo)), firstPage + 1);
}

void TestLayoutPreventivo::pdfIsSavedWithItsExtensionAndFolderRemembered()
{
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    // Not in the final print: refused.
    QTest::mouseClick(w->PB_Modify_Layout, Qt::LeftButton);
    w->CreaPdf();
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral("Impostare il layout del preventivo in definitivo\r\n\r\nprima di "
                            "continuare."));
    QCOMPARE(m_dialogs->Count(TDialogKind::SaveFile), 0);

    QTest::mouseClick(w->PB_Select_Layout, Qt::LeftButton);
    const QString folder = m_home.filePath(QStringLiteral("pdf"));
    QVERIFY(QDir().mkpath(folder));
    m_dialogs->Clear();
    m_dialogs->QueueAnswer(true, folder + QStringLiteral("/Offerta cliente"));
    QTest::mouseClick(w->PB_CreaPDF, Qt::LeftButton);
    const QString pdf = folder + QStringLiteral("/Offerta cliente.pdf");
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(m_dialogs->LastText(TDialogKind::ShowInFileBrowser), pdf);
    QCOMPARE(m_dialogs->LastText(TDialogKind::OpenWithSystem), pdf);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), w->PAN_Preview->iRptPageTo);
    for (int p = 0; p < pages.size(); ++p)
        QVERIFY(pages[p].contains(QStringLiteral("Pagina %1 di %2").arg(p + 1).arg(pages.size())));
    QVERIFY(pages.first().contains(QLatin1String("OFFERTA COMMERCIALE")));
    QVERIFY(pages.last().contains(QLatin1String("Totale offerta (IVA esclusa)")));

    // The folder is remembered for the next time; an empty name is refused.
    m_dialogs->Clear();
    m_dialogs->QueueAnswer(true, folder + QStringLiteral("/ .pdf"));
    w->CreaPdf();
    QCOMPARE(m_dialogs->RequestsOf(TDialogKind::SaveFile).first().directory, folder);
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error),
             QStringLiteral("Impostare un nome del pdf da creare."));
}

void TestLayoutPreventivo::cloudExportRefusesAnIncompleteQuote_data()
{
    QTest::addColumn<bool>("noCustomer");
    QTest::addColumn<bool>("noAmount");
    QTest::newRow("no customer") << true << false;
    QTest::newRow("an amount missing") << false << true;
    QTest::newRow("both") << true << true;
}

void TestLayoutPreventivo::cloudExportRefusesAnIncompleteQuote()
{
    QFETCH(bool, noCustomer);
    QFETCH(bool, noAmount);
    if (noCustomer)
        Sql(QStringLiteral("UPDATE preventivi SET idcliente = NULL WHERE idpreventivo = '%1'")
                .arg(m_quote));
    if (noAmount)
        Sql(QStringLiteral(
                "UPDATE preventivo_dettaglio SET vlimporto = NULL WHERE idpreventivodet = "
                "(SELECT idpreventivodet FROM preventivo_dettaglio WHERE idpreventivo = "
                "'%1' AND flservizio = 0 ORDER BY nuordinamento LIMIT 1)")
                .arg(m_quote));
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    ChooseLayout(w, QStringLiteral("STD"));
    QTest::mouseClick(w->PB_Select_Layout, Qt::LeftButton);
    QVERIFY(w->ExportPreview());
    m_dialogs->Clear();
    QTest::mouseClick(w->PB_Gestione_FolderPrev, Qt::LeftButton);
    QString expected = QStringLiteral("Il preventivo è incompleto:\r\n\r\n");
    if (noCustomer)
        expected += QStringLiteral("-- Mancano i dati del cliente.\r\n");
    if (noAmount)
        expected += QStringLiteral("-- Mancano uno o più importi dei prodotti/accessori.\r\n");
    expected += QStringLiteral("\r\nNon è possibile procedere.");
    QCOMPARE(m_dialogs->LastText(TDialogKind::Error), expected);
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 1);
}

void TestLayoutPreventivo::administratorStoresTheLayoutSampleFromTheClipboard()
{
    // Only administrators see the button.
    TLAYOUT_PREVENTIVO *w = Open(m_quote);
    QVERIFY(w->PB_SaveJPG->isHidden());
    delete w;

    m_db->LogOn(QStringLiteral("ADMIN"));
    SessionInfo().sUserName = QStringLiteral("ADMIN");
    SessionInfo().bAdministrator = true;
    w = Open(m_quote);
    QVERIFY(w->PB_SaveJPG->isVisible());
    ChooseLayout(w, QStringLiteral("CMP"));
    const QString layout = w->DST_GRID_Layouts->FieldByName(QStringLiteral("idLayout")).AsString();
    QImage sample(300, 420, QImage::Format_RGB32);
    sample.fill(QColor(20, 120, 110));
    QGuiApplication::clipboard()->setImage(sample);

    // Cancelled: nothing stored.
    m_dialogs->QueueAnswer(false);
    QTest::mouseClick(w->PB_SaveJPG, Qt::LeftButton);
    QCOMPARE(m_dialogs->RequestsOf(TDialogKind::InputText).first().value,
             QStringLiteral("Layout compatto con immagini ridotte"));
    QCOMPARE(Sql(QStringLiteral("SELECT count(*) FROM images_layout")), QStringLiteral("2"));

    m_dialogs->QueueAnswer(true, QStringLiteral("Campione compatto 2026"));
    QTest::mouseClick(w->PB_SaveJPG, Qt::LeftButton);
    QCOMPARE(m_dialogs->Count(TDialogKind::Error), 0);
    const QString image = Sql(
        QStringLiteral("SELECT idimage FROM images_layout WHERE txdescimage = 'Campione compatto "
                       "2026'"));
    QVERIFY(!image.isEmpty());
    QCOMPARE(Sql(QStringLiteral("SELECT idimage FROM layout WHERE idlayout = '%1'").arg(layout)),
             image);
    QCOMPARE(Sql(QStringLiteral("SELECT substring(imgimage FROM 1 FOR 2) = '\\xffd8'::bytea FROM "
                                "images_layout WHERE idimage = '%1'")
                     .arg(image)),
             QStringLiteral("t"));
    QVERIFY(!w->IMG_Layout->pixmap().isNull());
    // The same description again replaces the picture of that row.
    m_dialogs->QueueAnswer(true, QStringLiteral("Campione compatto 2026"));
    QTest::mouseClick(w->PB_SaveJPG, Qt::LeftButton);
    QCOMPARE(Sql(QStringLiteral("SELECT count(*) FROM images_layout")), QStringLiteral("3"));
}

QTEST_MAIN(TestLayoutPreventivo)
#include "tst_layout_preventivo.moc"
