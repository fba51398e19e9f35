// The product list driven as an operator does, against a fresh demo database: the filters and
// the extraction's command text, the saved filters, the status line and the grid's colours,
// the user menu in its states, the windows of a product and how they report back, the input
// panel (cover image, documentation rule, code check, saving in one transaction), duplicate,
// deactivate, reactivate, delete, the pending copy into another product, the window of a
// quote, the repairs of the administrators and bad input.

#include "tests/support/masterdataenv.h"
#include "tests/support/programfolder.h"
#include "tests/support/testimages.h"
#include "tests/support/windowtest.h"

#include "catalogue/cataloguecombo.h"
#include "catalogue/catalogueopeners.h"
#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprodtree.h"
#include "catalogue/gestione_prodotti.h"
#include "catalogue/linkedgrid.h"
#include "catalogue/prodotti_linked.h"
#include "catalogue/prodotto_listino.h"
#include "catalogue/productfilters.h"
#include "catalogue/productimagerepair.h"
#include "catalogue/productinputpanel.h"
#include "common/clipboard.h"
#include "common/formats.h"
#include "common/imageroutines.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "domain/vrldettprod.h"
#include "reports/view_report.h"

#include <QCheckBox>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

namespace {

const QString kEmb = QStringLiteral("{AD327025-BA14-5DAC-889D-DF89435C1CEF}");
const QString kSqv = QStringLiteral("{FA70A0EA-C636-5E62-B97B-EDBB1C156712}");
const QString kAll = QString::fromLatin1(kAllCataloguesId);

int ThisYear()
{
    return QDate::currentDate().year();
}

// The three windows of a product stand here for the real ones, which other parts of the
// program register: plain windows whose start records its arguments.
class TProductWindows
{
public:
    // fake: windows of the test's own that record their starts; otherwise none of the three
    // windows is there (their menu entries are hidden). The windows registered before (the
    // real ones, linked into the test) come back at the end.
    explicit TProductWindows(bool fake = true)
        : m_details(DettagliProdottoStart())
        , m_priceLists(ProdottoListinoStart())
        , m_linked(ProdottiLinkedStart())
    {
        for (const QString &n : Names()) {
            m_factories << RegisteredWindowFactory(n);
            if (!fake) {
                UnregisterWindow(n);
                continue;
            }
            RegisterWindow(n, [n](QWidget *parent) {
                auto *w = new QWidget(parent);
                w->setObjectName(n);
                w->setAttribute(Qt::WA_DeleteOnClose);
                return w;
            });
        }
        if (!fake) {
            SetDettagliProdottoStart({});
            SetProdottoListinoStart({});
            SetProdottiLinkedStart({});
            return;
        }
        SetDettagliProdottoStart([this](QWidget *w,
                                        bool fromQuote,
                                        const QString &id,
                                        const QString &code,
                                        const QString &desc,
                                        bool active) {
            Record(w, {QString::number(fromQuote), id, code, desc, QString::number(active)});
        });
        SetProdottoListinoStart(
            [this](QWidget *w, const QString &id, const QString &desc, bool documentation) {
                Record(w, {id, desc, QString::number(documentation)});
            });
        SetProdottiLinkedStart([this](QWidget *w,
                                      const QString &id,
                                      const QString &desc,
                                      bool documentation,
                                      bool current) {
            Record(w, {id, desc, QString::number(documentation), QString::number(current)});
        });
    }
    ~TProductWindows()
    {
        const QStringList names = Names();
        for (int i = 0; i < names.size(); ++i) {
            delete FindOpenForm(names[i]);
            RegisterWindow(names[i], m_factories.value(i));
        }
        SetDettagliProdottoStart(m_details);
        SetProdottoListinoStart(m_priceLists);
        SetProdottiLinkedStart(m_linked);
    }
    TProductWindows(const TProductWindows &) = delete;
    TProductWindows &operator=(const TProductWindows &) = delete;

    // Window name followed by the arguments of Start, for each start.
    QList<QStringList> started;

private:
    static QStringList Names()
    {
        return {QString::fromLatin1(kDettagliProdottoWindow),
                QString::fromLatin1(kProdottoListinoWindow),
                QString::fromLatin1(kProdottiLinkedWindow)};
    }
    void Record(QWidget *w, const QStringList &args)
    {
        started << (QStringList{w->objectName()} + args);
    }

    TDettagliProdottoStart m_details;
    TProdottoListinoStart m_priceLists;
    TProdottiLinkedStart m_linked;
    QList<TWindowFactory> m_factories;
};

} // namespace

class tst_gestione_prodotti : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_PRODOTTI> w;

    TGESTIONE_PRODOTTI *Open()
    {
        w = new TGESTIONE_PRODOTTI;
        w->resize(1500, 900);
        w->show();
        return w;
    }
    TProductFilters *F() const { return w->Filters; }
    TProductInputPanel *P() const { return w->PAN_Input; }
    void Extract() { QTest::mouseClick(F()->PB_EstraiElenco, Qt::LeftButton); }
    // Every catalogue, inactive products included, sorted by description.
    void ExtractEverything(const QString &text = QString())
    {
        F()->Reset();
        F()->CK_Find_IncludiNonAttivi->setChecked(true);
        F()->CK_Find_OrdinaRecenti->setChecked(false);
        F()->EF_Find_DescProdotto->SetText(text);
        Extract();
    }
    int Rows() const { return w->DST_GRID_Prodotti() ? w->DST_GRID_Prodotti()->RecordCount() : -1; }
    bool GoTo(const QString &code)
    {
        TDataSet *ds = w->DST_GRID_Prodotti();
        return ds && ds->Locate(QStringLiteral("txCodProdotto"), code, loCaseInsensitive);
    }
    QString Current(const QString &field) const { return CurrentValue(w->DG_Prodotti, field); }
    QString Sql(const QString &sql) const { return env->Super(sql); }
    int Count(const QString &table, const QString &where) const
    {
        return Sql(QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(table, where)).toInt();
    }
    QString IdOf(const QString &code) const
    {
        return Sql(
            QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = '%1'").arg(code));
    }
    QString Value(const QString &column, const QString &id) const
    {
        return Sql(
            QStringLiteral("SELECT %1 FROM prodotti WHERE idprodotto = '%2'").arg(column, id));
    }
    QString WritePicture(const QString &name, const QByteArray &bytes) const
    {
        const QString path = QDir(env->Home()).filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    // "Cerca" answered with that file.
    void ChooseCoverFile(const QString &path)
    {
        env->Recorder().QueueAnswer(true, path);
        QTest::mouseClick(P()->PB_CaricaImmagine, Qt::LeftButton);
    }
    TKRTDrawCellArgs Draw(int row, const QString &field)
    {
        TKRTDrawCellArgs args;
        args.Row = row;
        args.DataCol = w->DG_Prodotti->ColumnIndexByFieldName(field);
        args.Font = w->DG_Prodotti->font();
        w->DG_Prodotti->OnDrawColumnCell(w->DG_Prodotti, args);
        return args;
    }
    int RowOf(const QString &code) const
    {
        TDataSet *ds = w->DST_GRID_Prodotti();
        const int c = ds->FieldIndex(QStringLiteral("txCodProdotto"));
        for (int r = 0; r < ds->RecordCount(); ++r) {
            if (ds->ValueAt(r, c).toString() == code)
                return r;
        }
        return -1;
    }
    // A node of a product's tree as the structure editor's "Copia in altro prodotto" keeps it.
    TVRLDettProd NodeOf(const QString &table,
                        const QString &idColumn,
                        const QString &productId,
                        int kind)
    {
        TVRLDettProd node;
        node.sIdNodo = Sql(QStringLiteral("SELECT %1 FROM %2 WHERE idprodotto = '%3' ORDER BY "
                                          "nuordinenelprodotto LIMIT 1")
                               .arg(idColumn, table, productId));
        node.sIdParent = productId;
        node.iNuTipologia = kind;
        node.xTipoNode = NodeTipologiaFromCode(kind);
        return node;
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup()
    {
        ClearPendingCopyNode();
        env->Recorder().QueueYes();
        delete w;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (qobject_cast<TVIEW_REPORT *>(top) || qobject_cast<TGESTIONE_PRODOTTI *>(top))
                top->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        env.reset();
    }

    void firstOpening();
    void catalogueToggleAndTrackBar_data();
    void catalogueToggleAndTrackBar();
    void extractionCommand_data();
    void extractionCommand();
    void filtersKeptForTheNextOpening();
    void damagedSettingsReadAsDefaults();
    void statusLine_data();
    void statusLine();
    void rowColoursAndIcons();
    void userMenu_data();
    void userMenu();
    void productWindowsOpenedWithTheirArguments();
    void productWindowsReportBack();
    void structureEditorOpensAndReportsBack();
    void linksAndPriceListsReportBack();
    void insertWithCoverThenModifyAndView();
    void productKeepsItsCatalogueWhenTheFilterHidesIt();
    void failedCoverRollsTheProductBack();
    void savedButNotVisible_data();
    void savedButNotVisible();
    void codeAlreadyUsed_data();
    void codeAlreadyUsed();
    void refusedInput_data();
    void refusedInput();
    void longDescriptionCutAtItsLength();
    void documentationRule();
    void coverThatCannotBeUsed_data();
    void coverThatCannotBeUsed();
    void duplicate_data();
    void duplicate();
    void deactivateAndReactivate();
    void deleteReselects_data();
    void deleteReselects();
    void deleteOfAProductInAQuoteIsRefused();
    void copyCompletedIntoAnotherProduct();
    void copyFailedOrCancelled();
    void openedFromAQuote();
    void infoAndDeveloperQueries();
    void printPreviewOfTheSelectedProduct();
    void repairsReencodeAsJpeg();
    void repairsAreForAdministrators();
    void connectionLostWhileEditing();
    void changeOfAnotherOperatorIsShownNotOverwritten();
    void openedByNameAsTheLauncherDoes();
};

// --- Opening and filters ----------------------------------------------------------------------

void tst_gestione_prodotti::firstOpening()
{
    Open();
    // The grid gets its columns from the empty extraction; nothing is listed yet.
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiProdotti  0"));
    QVERIFY(w->DG_Prodotti->ColumnIndexByFieldName(QStringLiteral("txDescProdotto")) >= 0);
    QCOMPARE(Rows(), 0);

    // No saved filters: "Azzera filtri".
    QVERIFY(F()->TS_Cataloghi->isVisible());
    QVERIFY(!F()->TS_Cataloghi->isChecked());
    QCOMPARE(F()->TS_Cataloghi->text(), QStringLiteral("Cataloghi attuali"));
    QCOMPARE(F()->DCB_Find_Fornitore->currentText(), QStringLiteral(" Tutti i cataloghi "));
    QCOMPARE(F()->DCB_Find_Fornitore->IdFornitore(), kAll);
    QCOMPARE(F()->DCB_Find_Fornitore->count(), 3); // all, EMB and SQV of this year
    QVERIFY(F()->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!F()->CK_Find_IncludiNonAttivi->isChecked());
    QVERIFY(!F()->CK_Find_PreventiviChiusi->isChecked());
    QVERIFY(!F()->CK_Find_PreventiviApertiMesiN->isChecked());
    QCOMPARE(F()->TKB_Find_PreventiviApertiMesiN->value(), 3);
    QVERIFY(F()->CK_Find_Prodotti->isChecked() && F()->CK_Find_Accessori->isChecked()
            && F()->CK_Find_Documentazioni->isChecked());
    QVERIFY(HasFocus(F()->EF_Find_DescProdotto->Edit()));
    // The repairs are the administrators'.
    QVERIFY(F()->PAN_Patch->isVisible());

    // The input panel's catalogues: as the database gives them, the current ones shown.
    QCOMPARE(w->DST_Fornitori()->RecordCount(), 6);
    QCOMPARE(w->DST_Find_Fornitori()->RecordCount(), 5);
    QCOMPARE(w->DST_Find_Fornitori()->FieldByName(QStringLiteral("txDescFornitore")).AsString(),
             QStringLiteral("Tutti i cataloghi"));

    Extract();
    QCOMPARE(Rows(), Count("prodotti", "flprodottoattivo = 1"));
    QVERIFY(HasFocus(w->DG_Prodotti));
    QCOMPARE(w->bCataloghiAttuali, true);
    QCOMPARE(env->Recorder().Requests().size(), 0);
}

void tst_gestione_prodotti::catalogueToggleAndTrackBar_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("caption");
    QTest::newRow("1") << 1 << "Utilizzati in preventivi aperti nell'ultimo mese";
    QTest::newRow("4") << 4 << "Utilizzati in preventivi aperti negli ultimi 4 mesi";
    QTest::newRow("7") << 7 << "Utilizzati in tutti i preventivi aperti fino ad oggi";
}

void tst_gestione_prodotti::catalogueToggleAndTrackBar()
{
    QFETCH(int, position);
    QFETCH(QString, caption);
    Open();
    F()->TKB_Find_PreventiviApertiMesiN->setValue(position);
    QCOMPARE(F()->CK_Find_PreventiviApertiMesiN->text(), caption);

    // The toggle shows the previous catalogues in both lists, without the all-catalogues row.
    QTest::mouseClick(F()->TS_Cataloghi, Qt::LeftButton);
    QCOMPARE(F()->TS_Cataloghi->text(), QStringLiteral("Cataloghi precedenti"));
    QCOMPARE(F()->DCB_Find_Fornitore->count(), 2);
    QCOMPARE(F()->DCB_Find_Fornitore->currentIndex(), 0);
    QCOMPARE(F()->DCB_Find_Fornitore->NuAnno(), ThisYear() - 1);
    // Only the focus moves: nothing is extracted.
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiProdotti  0"));
    Extract();
    QCOMPARE(w->bCataloghiAttuali, false);

    QTest::mouseClick(F()->PB_AzzeraFiltri, Qt::LeftButton);
    QVERIFY(!F()->TS_Cataloghi->isChecked());
    QCOMPARE(F()->DCB_Find_Fornitore->IdFornitore(), kAll);
    QCOMPARE(F()->TKB_Find_PreventiviApertiMesiN->value(), 3);
}

void tst_gestione_prodotti::extractionCommand_data()
{
    QTest::addColumn<QString>("fornitore");
    QTest::addColumn<int>("yearsBack"); // -1: no year (every catalogue)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<bool>>("flags"); // inactive, closed, open, products, accessories, docs
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("arguments"); // after "EXEC EstraiProdotti  1, null, "
    QTest::addColumn<QString>("where");     // the same products in SQL; empty: not counted
    QTest::addColumn<QString>("shownText"); // the search text afterwards

    const QList<bool> defaults{false, false, false, true, true, true};
    const QString year = QString::number(ThisYear());
    QTest::newRow("every catalogue, defaults")
        << kAll << -1 << QString() << defaults << 3
        << QStringLiteral("'%1', 0, null, 0, 0, 0, 3, 1, 1, 1").arg(kAll)
        << QStringLiteral("flprodottoattivo = 1") << QString();
    QTest::newRow("track bar at 7 sends 0 months")
        << kAll << -1 << QString() << QList<bool>{false, false, true, true, true, true} << 7
        << QStringLiteral("'%1', 0, null, 0, 0, 1, 0, 1, 1, 1").arg(kAll) << QString() << QString();
    QTest::newRow("track bar at 3 sends 3, closed quotes")
        << kAll << -1 << QString() << QList<bool>{false, true, true, true, true, true} << 3
        << QStringLiteral("'%1', 0, null, 0, 1, 1, 3, 1, 1, 1").arg(kAll) << QString() << QString();
    QTest::newRow("runs of spaces sent as one")
        << kAll << -1 << QStringLiteral("quadro   di     bordo") << defaults << 3
        << QStringLiteral("'%1', 0, 'quadro di bordo', 0, 0, 0, 3, 1, 1, 1").arg(kAll)
        << QStringLiteral("txdescprodotto LIKE 'QUADRO DI BORDO%' AND flprodottoattivo = 1")
        << QStringLiteral("quadro di bordo");
    QTest::newRow("apostrophe doubled")
        << kAll << -1 << QStringLiteral("d'acciaio") << defaults << 3
        << QStringLiteral("'%1', 0, 'd''acciaio', 0, 0, 0, 3, 1, 1, 1").arg(kAll)
        << QStringLiteral("false") << QStringLiteral("d'acciaio");
    QTest::newRow("a catalogue, inactive included, accessories only")
        << kEmb << 0 << QString() << QList<bool>{true, false, false, false, true, false} << 3
        << QStringLiteral("'%1', %2, null, 1, 0, 0, 3, 0, 1, 0").arg(kEmb, year)
        << QStringLiteral("idfornitore = '%1' AND nuanno = %2 AND flaccessorio = 1").arg(kEmb, year)
        << QString();
    QTest::newRow("a previous catalogue")
        << kSqv << 1 << QString() << defaults << 3
        << QStringLiteral("'%1', %2, null, 0, 0, 0, 3, 1, 1, 1")
               .arg(kSqv, QString::number(ThisYear() - 1))
        << QStringLiteral("idfornitore = '%1' AND nuanno = %2 AND flprodottoattivo = 1")
               .arg(kSqv, QString::number(ThisYear() - 1))
        << QString();
}

void tst_gestione_prodotti::extractionCommand()
{
    QFETCH(QString, fornitore);
    QFETCH(int, yearsBack);
    QFETCH(QString, text);
    QFETCH(QList<bool>, flags);
    QFETCH(int, position);
    QFETCH(QString, arguments);
    QFETCH(QString, where);
    QFETCH(QString, shownText);
    Open();
    if (yearsBack == 1)
        QTest::mouseClick(F()->TS_Cataloghi, Qt::LeftButton);
    if (yearsBack >= 0)
        QVERIFY(F()->DCB_Find_Fornitore->Select(fornitore, ThisYear() - yearsBack));
    TypeInto(F()->EF_Find_DescProdotto, text);
    F()->CK_Find_IncludiNonAttivi->setChecked(flags[0]);
    F()->CK_Find_PreventiviChiusi->setChecked(flags[1]);
    F()->CK_Find_PreventiviApertiMesiN->setChecked(flags[2]);
    F()->CK_Find_Prodotti->setChecked(flags[3]);
    F()->CK_Find_Accessori->setChecked(flags[4]);
    F()->CK_Find_Documentazioni->setChecked(flags[5]);
    F()->TKB_Find_PreventiviApertiMesiN->setValue(position);

    Extract();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiProdotti  1, null, ") + arguments);
    QCOMPARE(F()->EF_Find_DescProdotto->Text(), shownText);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    if (!where.isEmpty())
        QCOMPARE(Rows(), Count("prodotti", where));
}

void tst_gestione_prodotti::filtersKeptForTheNextOpening()
{
    Open();
    QTest::mouseClick(F()->TS_Cataloghi, Qt::LeftButton);
    QVERIFY(F()->DCB_Find_Fornitore->Select(kSqv, ThisYear() - 1));
    TypeInto(F()->EF_Find_DescProdotto, QStringLiteral("quadro"));
    F()->CK_Find_OrdinaRecenti->setChecked(false);
    F()->CK_Find_IncludiNonAttivi->setChecked(true);
    F()->CK_Find_Documentazioni->setChecked(false);
    F()->TKB_Find_PreventiviApertiMesiN->setValue(5);
    Extract();
    const QString command = env->LastCommand();

    const QList<QPair<const char *, QString>> stored{{"FrmGesProd_TipoCataloghi", "SI"},
                                                     {"FrmGesProd_KeyFornitore", kSqv},
                                                     {"FrmGesProd_NuAnnoFornitore",
                                                      QString::number(ThisYear() - 1)},
                                                     {"FrmGesProd_DescProdotto", "quadro"},
                                                     {"FrmGesProd_OrdinaRecenti", "NO"},
                                                     {"FrmGesProd_IncludiNonAttivi", "SI"},
                                                     {"FrmGesProd_PreventiviChiusi", "NO"},
                                                     {"FrmGesProd_PrevApertiMesiN", "NO"},
                                                     {"FrmGesProd_EstraiProdotti", "SI"},
                                                     {"FrmGesProd_EstraiAccessori", "SI"},
                                                     {"FrmGesProd_EstraiDocumentazioni", "NO"},
                                                     {"FrmGesProd_MesiN", "5"}};
    for (const auto &key : stored)
        QCOMPARE(env->Setting(QString::fromLatin1(key.first)), key.second);

    delete w;
    Open();
    QVERIFY(F()->TS_Cataloghi->isChecked());
    QCOMPARE(F()->DCB_Find_Fornitore->IdFornitore(), kSqv);
    Extract();
    QCOMPARE(env->LastCommand(), command);
}

void tst_gestione_prodotti::damagedSettingsReadAsDefaults()
{
    env->SetSetting(QStringLiteral("FrmGesProd_TipoCataloghi"), QStringLiteral("NO"));
    env->SetSetting(QStringLiteral("FrmGesProd_KeyFornitore"), kEmb);
    env->SetSetting(QStringLiteral("FrmGesProd_NuAnnoFornitore"), QStringLiteral("duemila"));
    env->SetSetting(QStringLiteral("FrmGesProd_MesiN"), QStringLiteral("x"));
    env->SetSetting(QStringLiteral("FrmGesProd_OrdinaRecenti"), QStringLiteral("si"));
    Open();
    // A year that is not a number is 0: no such catalogue, the first one stays.
    QCOMPARE(F()->DCB_Find_Fornitore->IdFornitore(), kAll);
    QCOMPARE(F()->TKB_Find_PreventiviApertiMesiN->value(), 1);
    // Only "SI" ticks a box; a missing key ticks it.
    QVERIFY(!F()->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(F()->CK_Find_IncludiNonAttivi->isChecked());
    QVERIFY(F()->CK_Find_Prodotti->isChecked());
    QCOMPARE(env->Recorder().Requests().size(), 0);
}

// --- Status line and grid ---------------------------------------------------------------------

void tst_gestione_prodotti::statusLine_data()
{
    QTest::addColumn<QList<bool>>("kinds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("status");
    QTest::newRow("every kind") << QList<bool>{true, true, true} << QString()
                                << " N° prodotti: 20, accessori: 6, documentazioni: 4 ";
    QTest::newRow("accessories only")
        << QList<bool>{false, true, false} << QString() << " N° accessori: 6 ";
    QTest::newRow("products and documentations")
        << QList<bool>{true, false, true} << QString() << " N° prodotti: 20, documentazioni: 4 ";
    QTest::newRow("nothing found") << QList<bool>{true, true, true} << "nessunprodottocosi"
                                   << " Nessun prodotto, accessorio, documentazione. ";
}

void tst_gestione_prodotti::statusLine()
{
    QFETCH(QList<bool>, kinds);
    QFETCH(QString, text);
    QFETCH(QString, status);
    Open();
    F()->CK_Find_Prodotti->setChecked(kinds[0]);
    F()->CK_Find_Accessori->setChecked(kinds[1]);
    F()->CK_Find_Documentazioni->setChecked(kinds[2]);
    F()->CK_Find_IncludiNonAttivi->setChecked(true);
    TypeInto(F()->EF_Find_DescProdotto, text);
    Extract();
    QCOMPARE(w->Pane()->Status()->text(), status);
    QVERIFY(w->Pane()->StatusPanel()->isVisible());
    QStringList legends;
    for (const char *name :
         {"SF_Legenda", "SF_Legenda2", "SF_Legenda3", "SF_Legenda4", "SF_Legenda5"})
        legends << w->findChild<QLabel *>(QString::fromLatin1(name))->text();
    QCOMPARE(legends,
             (QStringList{" (S) Manca immagine di copertina ",
                          " (C) Esistono prodotti collegati ",
                          " (Accessori)  ",
                          "  (Documentazioni)  ",
                          "  (Prodotti) "}));
}

void tst_gestione_prodotti::rowColoursAndIcons()
{
    Open();
    const QString inactive = Sql("SELECT txcodprodotto FROM prodotti WHERE flprodottoattivo = 0");
    Sql(QStringLiteral("UPDATE images_prodotti SET imgimage = NULL WHERE idimage = '%1'")
            .arg(IdOf(QStringLiteral("QDG-110"))));
    ExtractEverything();
    struct
    {
        QString code;
        QColor colour;
        bool bold;
        bool italic;
    } cases[] = {{QStringLiteral("QDG-100"), Qt::black, false, false},
                 {QStringLiteral("ACC-ILL"), QColor(0x00, 0x00, 0xFF), true, false},
                 {QStringLiteral("DOC-CE"), QColor(0x80, 0x00, 0x80), true, false},
                 {inactive, QColor(0x7C, 0x7C, 0x7C), false, true}};
    for (const auto &c : cases) {
        const int row = RowOf(c.code);
        QVERIFY2(row >= 0, qPrintable(c.code));
        const TKRTDrawCellArgs args = Draw(row, QStringLiteral("txDescProdotto"));
        QCOMPARE(args.FontColor, c.colour);
        QCOMPARE(args.Font.bold(), c.bold);
        QCOMPARE(args.Font.italic(), c.italic);
        // Odd records white, even ones grey.
        QCOMPARE(args.Background, row % 2 == 0 ? QColor(Qt::white) : QColor(0xF0, 0xF0, 0xF0));
    }
    // The flags of the icon columns are painted in the background colour.
    const TKRTDrawCellArgs icon = Draw(RowOf(QStringLiteral("QDG-110")),
                                       QStringLiteral("flMancaCopertina"));
    QCOMPARE(icon.FontColor, icon.Background);
    QCOMPARE(w->DST_GRID_Prodotti()
                 ->ValueAt(RowOf(QStringLiteral("QDG-110")),
                           w->DST_GRID_Prodotti()->FieldIndex(QStringLiteral("flMancaCopertina")))
                 .toInt(),
             1);
    // Titles and visible columns.
    QStringList titles;
    for (const TKRTGridColumn &c : w->DG_Prodotti->Columns()) {
        if (c.Visible)
            titles << c.Title;
    }
    QCOMPARE(titles,
             (QStringList{"(S)",
                          "(C)",
                          "Codice",
                          "Descrizione prodotto",
                          "Ultimo prev.",
                          "Modificato il",
                          "Inserito il",
                          "Ult. Operaz. Listini"}));
}

// --- User menu ------------------------------------------------------------------------------

void tst_gestione_prodotti::userMenu_data()
{
    QTest::addColumn<QString>("code"); // the selected product; empty: an empty list
    QTest::addColumn<bool>("developer");
    QTest::addColumn<bool>("windows"); // the windows of a product are there
    QTest::addColumn<int>("pending");  // nuTipologia of a pending copy, 0 none
    QTest::addColumn<bool>("fromQuote");
    QTest::addColumn<QStringList>("captions");

    const QStringList actions{"Modifica",
                              "Duplica prodotto",
                              "-",
                              "Disattiva prodotto",
                              "-",
                              "Elimina prodotto",
                              "-",
                              "Info supplementari",
                              "-",
                              "Anteprima stampa prodotto"};
    QTest::newRow("empty list") << QString() << false << false << 0 << false
                                << QStringList{"Nuovo prodotto"};
    QTest::newRow("a product") << "QDG-100" << false << false << 0 << false
                               << QStringList{"Nuovo prodotto"} + actions;
    QStringList reactivate = QStringList{"Nuovo prodotto"} + actions;
    reactivate[4] = QStringLiteral("Riattiva prodotto");
    QTest::newRow("an inactive product")
        << "inactive" << false << false << 0 << false << reactivate;
    QTest::newRow("developer mode")
        << "QDG-100" << true << false << 0 << false
        << QStringList{"Nuovo prodotto"} + actions + QStringList{"-", "Copia Id in clipboard"};
    QTest::newRow("with the windows of a product") << "QDG-100" << false << true << 0 << false
                                                   << QStringList{"Dettagli del prodotto",
                                                                  "Prodotti collegati",
                                                                  "Listini del prodotto",
                                                                  "-",
                                                                  "Nuovo prodotto"}
                                                          + actions;
    QTest::newRow("documentation: no price lists")
        << "DOC-CE" << false << true << 0 << false
        << QStringList{"Dettagli del prodotto", "Prodotti collegati", "-", "Nuovo prodotto"}
               + actions;
    QTest::newRow("data sheet to copy")
        << "QDG-100" << true << true << 10 << false
        << QStringList{"Aggiungi la scheda selezionata", "-", "Annulla copia in corso della scheda"};
    QTest::newRow("paragraph to copy") << "QDG-100" << false << false << 30 << false
                                       << QStringList{"Aggiungi il paragrafo selezionato",
                                                      "-",
                                                      "Annulla copia in corso del paragrafo"};
    QTest::newRow("copy pending, empty list")
        << QString() << false << false << 30 << false << QStringList{"Nuovo prodotto"};
    QTest::newRow("opened from a quote") << "QDG-100" << false << false << 0 << true
                                         << QStringList{"Modifica", "-", "Info supplementari"};
    QTest::newRow("opened from a quote, with the windows") << "QDG-100" << true << true << 0 << true
                                                           << QStringList{"Dettagli del prodotto",
                                                                          "-",
                                                                          "Modifica",
                                                                          "-",
                                                                          "Info supplementari",
                                                                          "-",
                                                                          "Copia Id in clipboard"};
}

void tst_gestione_prodotti::userMenu()
{
    QFETCH(QString, code);
    QFETCH(bool, developer);
    QFETCH(bool, windows);
    QFETCH(int, pending);
    QFETCH(bool, fromQuote);
    QFETCH(QStringList, captions);
    SessionInfo().bDeveloperMode = developer;
    // Without the windows: the real ones (linked into the test) set aside.
    const TProductWindows productWindows(windows);
    if (code == QLatin1String("inactive"))
        code = Sql("SELECT txcodprodotto FROM prodotti WHERE flprodottoattivo = 0");

    Open();
    if (fromQuote) {
        w->Start(IdOf(code));
    } else {
        ExtractEverything(code.isEmpty() ? QStringLiteral("nessunprodottocosi") : QString());
        if (!code.isEmpty())
            QVERIFY(GoTo(code));
    }
    if (pending != 0) {
        TVRLDettProd node;
        node.sIdNodo = NewGuidText();
        node.iNuTipologia = pending;
        node.xTipoNode = NodeTipologiaFromCode(pending);
        SetPendingCopyNode(node);
    }
    QCOMPARE(MenuCaptions(w->DG_Prodotti), captions);
    // The highlighted entries are bold in the menu's blue.
    if (captions.first() != QLatin1String("Nuovo prodotto")
        && captions.first() != QLatin1String("Modifica")) {
        const TKRTGridMenu *first = w->DG_Prodotti->GridMenu()->Items().value(0);
        QVERIFY(first);
        QVERIFY(first->MenuFont.bold());
        QCOMPARE(first->FontColor, QColor(0x37, 0x6E, 0xA1));
    }
}

// --- Windows of a product -------------------------------------------------------------------

void tst_gestione_prodotti::productWindowsOpenedWithTheirArguments()
{
    TProductWindows windows;
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    const QString id = IdOf(QStringLiteral("QDG-100"));
    const QString desc = QStringLiteral("QUADRO DI DISTRIBUZIONE GENERALE 1600 A");

    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Dettagli del prodotto")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Listini del prodotto")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Prodotti collegati")));
    QCOMPARE(windows.started,
             (QList<QStringList>{{"DETTAGLI_PRODOTTO", "0", id, "QDG-100", desc, "1"},
                                 {"PRODOTTO_LISTINO", id, desc, "0"},
                                 {"PRODOTTI_LINKED", id, desc, "0", "1"}}));
    // Each window is single: asked again, the open one comes to the front, not started again.
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Dettagli del prodotto")));
    QCOMPARE(windows.started.size(), 3);
    // Each knows the list that opened it.
    QCOMPARE(ProductListOf(FindOpenForm(QStringLiteral("DETTAGLI_PRODOTTO"))), w.data());

    // The linked products follow the catalogues the list shows.
    delete FindOpenForm(QStringLiteral("PRODOTTI_LINKED"));
    QTest::mouseClick(F()->TS_Cataloghi, Qt::LeftButton);
    F()->CK_Find_IncludiNonAttivi->setChecked(true);
    Extract();
    QVERIFY(w->DST_GRID_Prodotti()->RecordCount() > 0);
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Prodotti collegati")));
    QCOMPARE(windows.started.last().value(4), QStringLiteral("0"));
    QCOMPARE(env->Recorder().Requests().size(), 0);
}

void tst_gestione_prodotti::structureEditorOpensAndReportsBack()
{
    // The real structure editor, opened from the list's menu.
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    const QString id = IdOf(QStringLiteral("QDG-100"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Dettagli del prodotto")));
    QPointer<TDETTAGLI_PRODOTTO> editor = qobject_cast<TDETTAGLI_PRODOTTO *>(
        FindOpenForm(QStringLiteral("DETTAGLI_PRODOTTO")));
    QVERIFY(editor);
    QCOMPARE(editor->sIdProdotto, id);
    QVERIFY(editor->TV_Dettagli->NodeCount() > 1);

    // A real change in the editor (a data sheet disabled), the list moved elsewhere meanwhile:
    // closing the editor re-extracts the list and puts it back on the edited product.
    TDettProdTreeItem *sheet = nullptr;
    for (TDettProdTreeItem *item : editor->TV_Dettagli->Items())
        if (item->Node() && item->Node()->xTipoNode == cnScheda && item->Node()->bAttivo) {
            sheet = item;
            break;
        }
    QVERIFY(sheet);
    const QString sheetId = sheet->Node()->sIdNodo;
    editor->oCurrentDettProd = sheet->Node();
    editor->EnableDisableNode();
    QVERIFY(editor->bChanges);
    QVERIFY(GoTo(QStringLiteral("QCM-120")));
    QVERIFY(editor->close());
    QVERIFY(env->LastCommand().startsWith(QStringLiteral("EXEC EstraiProdotti ")));
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    // The database has the change the editor showed.
    QCOMPARE(Sql(QStringLiteral(
                     "SELECT flschedaprodottoattiva FROM prod_schede WHERE idschedaprodotto = '%1'")
                     .arg(sheetId)),
             QStringLiteral("0"));
}

void tst_gestione_prodotti::linksAndPriceListsReportBack()
{
    // The real windows, opened from the list's menu, on a product without links.
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("ACC-TET")));
    const QString id = IdOf(QStringLiteral("ACC-TET"));
    QCOMPARE(Current(QStringLiteral("flProdottiLinked")), QStringLiteral("0"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Prodotti collegati")));
    QPointer<TPRODOTTI_LINKED> linked = qobject_cast<TPRODOTTI_LINKED *>(
        FindOpenForm(QString::fromLatin1(kProdottiLinkedWindow)));
    QVERIFY(linked);
    QCOMPARE(linked->IdProdotto(), id);
    QCOMPARE(linked->SG_Linked->LinkCount(), 0);
    linked->PB_EstraiElencoClick();
    QVERIFY(linked->DST_GRID_Prodotti()->Locate(QStringLiteral("txCodProdotto"),
                                                QStringLiteral("ACC-ILL")));
    linked->PB_AggiungiClick();
    QCOMPARE(linked->SG_Linked->LinkCount(), 1);
    // Closing after an addition: the list, moved elsewhere meanwhile, is read again on the
    // product, which now shows its link.
    QVERIFY(GoTo(QStringLiteral("QCM-120")));
    QVERIFY(linked->close());
    QVERIFY(env->LastCommand().startsWith(QStringLiteral("EXEC EstraiProdotti ")));
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    QCOMPARE(Current(QStringLiteral("flProdottiLinked")), QStringLiteral("1"));

    // The price lists after a duplication report back the same way.
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Listini del prodotto")));
    QPointer<TPRODOTTO_LISTINO> lists = qobject_cast<TPRODOTTO_LISTINO *>(
        FindOpenForm(QString::fromLatin1(kProdottoListinoWindow)));
    QVERIFY(lists);
    QCOMPARE(lists->IdProdotto(), id);
    QCOMPARE(lists->DST_GRID_Listini()->RecordCount(), 1);
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(lists->DG_Listini, QStringLiteral("Duplica listino")));
    QCOMPARE(lists->DST_GRID_Listini()->RecordCount(), 2);
    QVERIFY(GoTo(QStringLiteral("QCM-120")));
    env->Recorder().Clear();
    QVERIFY(lists->close());
    QVERIFY(env->LastCommand().startsWith(QStringLiteral("EXEC EstraiProdotti ")));
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    QCOMPARE(Count(QStringLiteral("prod_listini"),
                   QStringLiteral("idprodotto = '") + id + QStringLiteral("'")),
             2);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_gestione_prodotti::productWindowsReportBack()
{
    TProductWindows windows;
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Dettagli del prodotto")));
    QWidget *details = FindOpenForm(QStringLiteral("DETTAGLI_PRODOTTO"));
    QVERIFY(details);
    const QString other = IdOf(QStringLiteral("QCM-120"));

    // The editor closes after changes, with ">> Listini": the list selects the product again
    // and opens its price lists, once.
    ProductListAfterDetails(details, other, true, true);
    QCOMPARE(Current(QStringLiteral("idProdotto")), other);
    QCOMPARE(windows.started.last().value(0), QStringLiteral("PRODOTTO_LISTINO"));
    QCOMPARE(windows.started.last().value(1), other);
    QCOMPARE(w->iSegueToListini, 0);
    const int starts = windows.started.size();
    Extract();
    QCOMPARE(windows.started.size(), starts);

    // Without changes and without ">> Listini" nothing happens.
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    ProductListAfterDetails(details, other, false, false);
    QCOMPARE(Current(QStringLiteral("txCodProdotto")), QStringLiteral("QDG-100"));

    // The linked products or price lists after a change: the product selected again.
    ProductListReselect(FindOpenForm(QStringLiteral("PRODOTTO_LISTINO")), other);
    QCOMPARE(Current(QStringLiteral("idProdotto")), other);
    QVERIFY(env->LastCommand().startsWith(QStringLiteral("EXEC EstraiProdotti  1, null, ")));

    // A list opened by a quote closes when the editor changed its product.
    QPointer<TGESTIONE_PRODOTTI> quote = new TGESTIONE_PRODOTTI;
    int reloads = 0;
    quote->OnClosedFromQuote = [&reloads] { ++reloads; };
    quote->show();
    quote->Start(IdOf(QStringLiteral("QDG-100")));
    delete FindOpenForm(QStringLiteral("DETTAGLI_PRODOTTO"));
    QVERIFY(ChooseMenu(quote->DG_Prodotti, QStringLiteral("Dettagli del prodotto")));
    QCOMPARE(windows.started.last().value(1), QStringLiteral("1")); // bFromPreventiviLista
    ProductListAfterDetails(FindOpenForm(QStringLiteral("DETTAGLI_PRODOTTO")),
                            IdOf(QStringLiteral("QDG-100")),
                            true,
                            false);
    QCOMPARE(reloads, 1);
    QTRY_VERIFY(!quote);
}

// --- Input panel ----------------------------------------------------------------------------

void tst_gestione_prodotti::insertWithCoverThenModifyAndView()
{
    Open();
    ExtractEverything();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    QVERIFY(P()->isVisible());
    QVERIFY(!w->DG_Prodotti->isVisible());
    QCOMPARE(P()->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo prodotto"));
    QVERIFY(HasFocus(P()->EF_CodProdotto->Edit()));
    QVERIFY(P()->CK_ProdottoAttivo->isChecked());
    QVERIFY(!P()->CK_Accessorio->isChecked() && !P()->CK_Documentazione->isChecked());
    QVERIFY(P()->CK_Documentazione->isEnabled());
    // The first catalogue of the list: a catalogue of a year, not a supplier's row without one.
    QCOMPARE(P()->DCB_Fornitore->currentIndex(), 0);
    QVERIFY(P()->DCB_Fornitore->NuAnno() > 0);
    const QString id = w->sLastId;

    TypeInto(P()->EF_CodProdotto, QStringLiteral("pmp-l'è"));
    TypeInto(P()->EF_DescProdotto, QStringLiteral("pompa d'acqua perché è così"));
    QVERIFY(P()->DCB_Fornitore->Select(kSqv, ThisYear()));
    const QString file = WritePicture(QStringLiteral("copertina.png"),
                                      testimages::Encoded(1200, 800, QColor(20, 120, 200)));
    ChooseCoverFile(file);
    QCOMPARE(env->Recorder().LastText(TDialogKind::OpenFile),
             QStringLiteral("Seleziona immagine di copertina del prodotto"));
    QVERIFY(!P()->Cover().isNull());
    QCOMPARE(env->Setting(QStringLiteral("FrmGesProd_PathImmagine")), env->Home());

    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(!P()->isVisible());
    QCOMPARE(Value("txcodprodotto || '|' || txdescprodotto || '|' || idfornitore || '|' || nuanno "
                   "|| '|' || idimage || '|' || txutentein || '|' || flprodottoattivo",
                   id),
             QStringLiteral("PMP-L'È|POMPA D'ACQUA PERCHÉ È COSÌ|%1|%2|%3|ADMIN|1")
                 .arg(kSqv, QString::number(ThisYear()), id));
    // The cover as JPEG, its preview fitted into 605 pixels, in the same transaction.
    QCOMPARE(Sql(QStringLiteral("SELECT encode(substring(imgimage from 1 for 3), 'hex') FROM "
                                "images_prodotti WHERE idimage = '%1'")
                     .arg(id)),
             QStringLiteral("ffd8ff"));
    const QByteArray preview = QByteArray::fromHex(
        Sql(QStringLiteral("SELECT encode(imgpreview, 'hex') FROM images_prodotti_preview WHERE "
                           "idimage = '%1'")
                .arg(id))
            .toLatin1());
    QCOMPARE(ImageStoredSize(preview), QSize(605, 403));
    // The new product is the selected row.
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    QCOMPARE(Current(QStringLiteral("flMancaCopertina")), QStringLiteral("0"));

    // Modifica: the stored values, the description focused, the kind fixed.
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Modifica")));
    QCOMPARE(P()->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica prodotto "));
    QVERIFY(HasFocus(P()->EF_DescProdotto->Edit()));
    QCOMPARE(P()->EF_CodProdotto->Text(), QStringLiteral("PMP-L'È"));
    QCOMPARE(P()->DCB_Fornitore->IdFornitore(), kSqv);
    QVERIFY(!P()->CK_Documentazione->isEnabled());
    QVERIFY(!P()->PB_Ok_Input_Segue->isVisible());
    QCOMPARE(P()->Cover().size(), QSize(1200, 800));
    TypeInto(P()->EF_DescProdotto, QStringLiteral("pompa modificata"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("txdescprodotto || '|' || txutentemod", id),
             QStringLiteral("POMPA MODIFICATA|ADMIN"));
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    // The cover was not changed: its bytes were not written again.
    QCOMPARE(Sql(QStringLiteral("SELECT encode(imgpreview, 'hex') FROM images_prodotti_preview "
                                "WHERE idimage = '%1'")
                     .arg(id))
                 .toLatin1(),
             preview.toHex());

    // A double click views it: nothing can be changed.
    QTest::mouseDClick(w->DG_Prodotti->viewport(), Qt::LeftButton, {}, QPoint(40, 30));
    QVERIFY(P()->isVisible());
    QCOMPARE(P()->PAN_Desc_TipoOperazione->text(), QStringLiteral("Visualizza prodotto "));
    for (QWidget *c : std::initializer_list<QWidget *>{P()->PB_Ok_Input,
                                                       P()->EF_DescProdotto->Edit(),
                                                       P()->CK_ProdottoAttivo,
                                                       P()->PB_CaricaImmagine,
                                                       P()->DCB_Fornitore})
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QTest::mouseClick(P()->PB_Annulla_Input, Qt::LeftButton);
    QVERIFY(!P()->isVisible());
    QCOMPARE(w->xTipoOp, coGENNone);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 0);
}

void tst_gestione_prodotti::productKeepsItsCatalogueWhenTheFilterHidesIt()
{
    Open();
    // Current catalogues: the input panel offers them too.
    ExtractEverything(QStringLiteral("QCM-100"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    QVERIFY(!P()->DCB_Fornitore->Contains(kEmb, ThisYear() - 1));
    QVERIFY(P()->DCB_Fornitore->Contains(kEmb, ThisYear()));
    QTest::mouseClick(P()->PB_Annulla_Input, Qt::LeftButton);

    // A product of a previous catalogue is changed: its catalogue is shown and kept.
    const QString id = IdOf(QStringLiteral("QCM-100"));
    QCOMPARE(Value("nuanno", id), QString::number(ThisYear() - 1));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Modifica")));
    QCOMPARE(P()->DCB_Fornitore->IdFornitore(), kEmb);
    QCOMPARE(P()->DCB_Fornitore->NuAnno(), ThisYear() - 1);
    TypeInto(P()->EF_DescProdotto, QStringLiteral("quadro comando motori 8 partenze rev"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("idfornitore || '|' || nuanno", id),
             kEmb + QLatin1Char('|') + QString::number(ThisYear() - 1));

    // The previous catalogues in both lists.
    QTest::mouseClick(F()->TS_Cataloghi, Qt::LeftButton);
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    QCOMPARE(P()->DCB_Fornitore->count(), 2);
    QCOMPARE(P()->DCB_Fornitore->NuAnno(), ThisYear() - 1);
}

void tst_gestione_prodotti::failedCoverRollsTheProductBack()
{
    // The cover preview is refused after the product and its cover were written.
    Sql(QStringLiteral("CREATE FUNCTION pg_temp_rifiuta() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN RAISE EXCEPTION 'Anteprima rifiutata'; END $$"));
    Sql(QStringLiteral("CREATE TRIGGER rifiuta BEFORE INSERT ON images_prodotti_preview FOR EACH "
                       "ROW EXECUTE FUNCTION pg_temp_rifiuta()"));
    Open();
    ExtractEverything();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_DescProdotto, QStringLiteral("prodotto con copertina"));
    P()->SetCover(ImageLoadFromBytes(testimages::Encoded(800, 600, Qt::darkCyan)));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QVERIFY2(env->Recorder()
                 .LastText(TDialogKind::Error)
                 .startsWith(QStringLiteral("Errore creazione nuovo prodotto (ERR.F03).\r\n\r\n(")),
             qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QVERIFY(
        env->Recorder().LastText(TDialogKind::Error).contains(QStringLiteral("Anteprima rifiutata")));
    // Nothing of it stored; the input is still there.
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 0);
    QCOMPARE(Count("images_prodotti", QStringLiteral("idimage = '%1'").arg(id)), 0);
    QVERIFY(P()->isVisible());
    QCOMPARE(P()->EF_DescProdotto->Text(), QStringLiteral("PRODOTTO CON COPERTINA"));
    QVERIFY(!P()->Cover().isNull());

    // Once the refusal is gone, the same "Ok" saves all of it.
    Sql(QStringLiteral("DROP TRIGGER rifiuta ON images_prodotti_preview"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 1);
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 1);
    QCOMPARE(Count("images_prodotti_preview",
                   QStringLiteral("idimage = '%1' AND imgpreview IS NOT NULL").arg(id)),
             1);
}

void tst_gestione_prodotti::savedButNotVisible_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("new product") << true
                                 << "Il prodotto inserito non è visibile con i filtri applicati.";
    QTest::newRow("changed product")
        << false << "Il prodotto modificato non è visibile con i filtri applicati.";
}

void tst_gestione_prodotti::savedButNotVisible()
{
    QFETCH(bool, insert);
    QFETCH(QString, sentence);
    Open();
    ExtractEverything(QStringLiteral("QDG-100"));
    QCOMPARE(Rows(), 1);
    QVERIFY(ChooseMenu(w->DG_Prodotti,
                       insert ? QStringLiteral("Nuovo prodotto") : QStringLiteral("Modifica")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_CodProdotto, QStringLiteral("ALTRO-1"));
    TypeInto(P()->EF_DescProdotto, QStringLiteral("prodotto fuori dal filtro"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             sentence + QStringLiteral("\r\n\r\nCambiare le impostazioni."));
    QCOMPARE(Value("txcodprodotto", id), QStringLiteral("ALTRO-1"));
    QVERIFY(!P()->isVisible());
    QCOMPARE(w->xTipoOp, coGENNone);
}

void tst_gestione_prodotti::codeAlreadyUsed_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("Si: saved") << true;
    QTest::newRow("No: not saved, the panel stays") << false;
}

void tst_gestione_prodotti::codeAlreadyUsed()
{
    QFETCH(bool, answer);
    Open();
    ExtractEverything();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_CodProdotto, QStringLiteral("qdg-100"));
    TypeInto(P()->EF_DescProdotto, QStringLiteral("copia con lo stesso codice"));
    env->Recorder().QueueAnswer(answer);
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral(
                 "Codice già utilizzato con il prodotto:\r\n\r\n"
                 "\"QUADRO DI DISTRIBUZIONE GENERALE 1600 A\"\r\n\r\nVuoi continuare ?"));
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), answer ? 1 : 0);
    QCOMPARE(P()->isVisible(), !answer);
    if (!answer) {
        // A blank code is not checked.
        P()->EF_CodProdotto->ClearField();
        QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
        QCOMPARE(env->Recorder().Count(TDialogKind::Question), 1);
        QCOMPARE(Value("coalesce(txcodprodotto, 'null')", id), QStringLiteral("null"));
    }
}

void tst_gestione_prodotti::refusedInput_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("accessoryAndDocumentation");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no description")
        << "   " << false << "La descrizione del prodotto è obbligatoria.";
    QTest::newRow("accessory and documentation")
        << "doppio" << true
        << "Il prodotto può essere:\r\n\r\n\"normale\" (nessuna selezione),\r\n\"accessorio\" "
           "(relativa selezione),\r\n\"documentazione\" (relativa selezione).\r\n\r\nNon è "
           "possibile effettuare più di una selezione.";
}

void tst_gestione_prodotti::refusedInput()
{
    QFETCH(QString, description);
    QFETCH(bool, accessoryAndDocumentation);
    QFETCH(QString, warning);
    Open();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_DescProdotto, description);
    if (accessoryAndDocumentation) {
        P()->CK_Documentazione->setChecked(true);
        P()->CK_Accessorio->setChecked(true);
    }
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning), warning);
    QVERIFY(P()->isVisible());
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 0);
    QCOMPARE(Count("images_prodotti", QStringLiteral("idimage = '%1'").arg(id)), 0);
}

void tst_gestione_prodotti::longDescriptionCutAtItsLength()
{
    Open();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_DescProdotto, QString(300, QLatin1Char('x')));
    TypeInto(P()->EF_CodProdotto, QString(150, QLatin1Char('c')));
    QCOMPARE(P()->EF_DescProdotto->Text().size(), 200);
    QCOMPARE(P()->EF_CodProdotto->Text().size(), 100);
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(Value("length(txdescprodotto) || '|' || length(txcodprodotto)", id),
             QStringLiteral("200|100"));
}

void tst_gestione_prodotti::documentationRule()
{
    Open();
    ExtractEverything();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    P()->SetCover(QImage(QSize(50, 50), QImage::Format_RGB32));
    P()->CK_Accessorio->setChecked(true);
    P()->CK_Documentazione->click();
    QVERIFY(P()->IMG_Documentazione->isVisible());
    QVERIFY(!P()->IMG_Copertina->isVisible());
    QVERIFY(!P()->CK_Accessorio->isChecked());
    QVERIFY(!P()->CK_Accessorio->isEnabled());
    for (QPushButton *b : {P()->PB_CaricaImmagine,
                           P()->PB_EliminaImmagine,
                           P()->PB_IncollaImmagine,
                           P()->PB_CopiaImmagine})
        QVERIFY(!b->isEnabled());
    // Unticked, everything comes back.
    P()->CK_Documentazione->click();
    QVERIFY(P()->IMG_Copertina->isVisible());
    QVERIFY(P()->CK_Accessorio->isEnabled());
    QVERIFY(P()->PB_CaricaImmagine->isEnabled());

    P()->CK_Documentazione->click();
    TypeInto(P()->EF_DescProdotto, QStringLiteral("manuale nuovo"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("fldocumentazione || '|' || flaccessorio", id), QStringLiteral("1|0"));
    // The documentation picture stands for the cover, with its preview.
    const QByteArray stored = QByteArray::fromHex(
        Sql(QStringLiteral(
                "SELECT encode(imgimage, 'hex') FROM images_prodotti WHERE idimage = '%1'")
                .arg(id))
            .toLatin1());
    QCOMPARE(stored, ImageSaveJpegBytes(TProductInputPanel::DocumentationPicture()));
    QCOMPARE(Count("images_prodotti_preview",
                   QStringLiteral("idimage = '%1' AND imgpreview IS NOT NULL").arg(id)),
             1);

    // Changed later, it stays a documentation product.
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Modifica")));
    QVERIFY(P()->CK_Documentazione->isChecked());
    QVERIFY(!P()->CK_Documentazione->isEnabled());
    QVERIFY(P()->IMG_Documentazione->isVisible());
    QVERIFY(!P()->PB_CaricaImmagine->isEnabled());
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_gestione_prodotti::coverThatCannotBeUsed_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: the file does not exist
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QSize>("kept");       // the cover's size afterwards

    const QSize old(300, 200);
    QTest::newRow("a text file") << QByteArray("questa non è un'immagine") << "immagine" << old;
    QTest::newRow("a truncated JPEG")
        << testimages::Truncated(testimages::Encoded(640, 480, Qt::red, "JPEG"), 0.5) << "immagine"
        << old;
    QTest::newRow("a 10,000 x 10,000 PNG") << testimages::MonoPng(10000, 10000) << "grande" << old;
    QTest::newRow("a 10,000 x 10,000 JPEG, reduced")
        << testimages::GreyJpeg(10000, 10000) << QString()
        << QSize(kImageMaxStoredSide, kImageMaxStoredSide);
    QTest::newRow("a file that does not exist")
        << QByteArray()
        << "L'immagine con il nome impostato non esiste nel percorso selezionato...." << old;
}

void tst_gestione_prodotti::coverThatCannotBeUsed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(QSize, kept);
    Open();
    ExtractEverything(QStringLiteral("QDG-100"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Modifica")));
    const QString id = w->sLastId;
    const QString stored = Sql(
        QStringLiteral("SELECT md5(imgimage) FROM images_prodotti WHERE idimage = '%1'").arg(id));
    P()->SetCover(ImageLoadFromBytes(testimages::Encoded(300, 200, Qt::green)));
    const QString path = bytes.isEmpty() ? QDir(env->Home()).filePath(QStringLiteral("manca.png"))
                                         : WritePicture(QStringLiteral("prova.jpg"), bytes);
    ChooseCoverFile(path);
    if (message.isEmpty()) {
        QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    } else {
        QVERIFY2(env->Recorder().LastText(TDialogKind::Error).contains(message, Qt::CaseInsensitive),
                 qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    }
    QCOMPARE(P()->Cover().size(), kept);

    // The clipboard without a picture only says so.
    PutClipboardText(QStringLiteral("testo"));
    QTest::mouseClick(P()->PB_IncollaImmagine, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Gli appunti non contengono un'immagine."));
    QCOMPARE(P()->Cover().size(), kept);

    // Cancelled, nothing was written.
    QTest::mouseClick(P()->PB_Annulla_Input, Qt::LeftButton);
    QCOMPARE(Sql(QStringLiteral("SELECT md5(imgimage) FROM images_prodotti WHERE idimage = '%1'")
                     .arg(id)),
             stored);
}

// --- Actions --------------------------------------------------------------------------------

void tst_gestione_prodotti::duplicate_data()
{
    QTest::addColumn<bool>("withPriceLists");
    QTest::newRow("with its price lists") << true;
    QTest::newRow("without price lists") << false;
}

void tst_gestione_prodotti::duplicate()
{
    QFETCH(bool, withPriceLists);
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-110")));
    const QString source = Current(QStringLiteral("idProdotto"));
    const int lists = Count("prod_listini", QStringLiteral("idprodotto = '%1'").arg(source));
    QVERIFY(lists > 0);
    const int rows = Rows();

    // "No" to the first question changes nothing.
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Duplica prodotto")));
    QCOMPARE(Rows(), rows);
    QCOMPARE(Count("prodotti", "true"), 30);

    env->Recorder().QueueYes();
    env->Recorder().QueueAnswer(withPriceLists);
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Duplica prodotto")));
    const QList<TDialogRequest> questions = env->Recorder().RequestsOf(TDialogKind::Question);
    QCOMPARE(questions.size(), 3);
    QCOMPARE(questions.at(1).text,
             QStringLiteral("Confermi duplicazione del prodotto selezionato ?"));
    QCOMPARE(questions.at(2).text,
             QStringLiteral("Vuoi duplicare anche gli eventuali listini presenti ?"));
    QCOMPARE(Rows(), rows + 1);
    const QString copy = Current(QStringLiteral("idProdotto"));
    QVERIFY(copy != source);
    QCOMPARE(Value("txdescprodotto", copy), Value("txdescprodotto", source));
    QCOMPARE(Count("prod_listini", QStringLiteral("idprodotto = '%1'").arg(copy)),
             withPriceLists ? lists : 0);
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 0);
}

void tst_gestione_prodotti::deactivateAndReactivate()
{
    Open();
    F()->CK_Find_OrdinaRecenti->setChecked(false);
    Extract();
    QVERIFY(GoTo(QStringLiteral("QCM-110")));
    const QString id = Current(QStringLiteral("idProdotto"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Disattiva prodotto")));
    QCOMPARE(Value("flprodottoattivo || '|' || txutentemod", id), QStringLiteral("0|ADMIN"));
    // Inactive products are not listed: the warning says so.
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Il prodotto disattivato non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
    QCOMPARE(CountRows(w->DG_Prodotti, QStringLiteral("idProdotto"), id), 0);

    F()->CK_Find_IncludiNonAttivi->setChecked(true);
    Extract();
    QVERIFY(GoTo(QStringLiteral("QCM-110")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Riattiva prodotto")));
    QCOMPARE(Value("flprodottoattivo", id), QStringLiteral("1"));
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 1);
}

void tst_gestione_prodotti::deleteReselects_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("selected"); // empty: the list is empty afterwards
    // Sorted by description: DOC-CE, DOC-MAN, DOC-SCH, DOC-COL.
    QTest::newRow("a middle row: the next one") << "doc-"
                                                << "DOC-SCH"
                                                << "DOC-COL";
    QTest::newRow("the last row: the one before") << "doc-"
                                                  << "DOC-COL"
                                                  << "DOC-SCH";
    QTest::newRow("alone") << "doc-ce"
                           << "DOC-CE" << QString();
}

void tst_gestione_prodotti::deleteReselects()
{
    QFETCH(QString, search);
    QFETCH(QString, deleted);
    QFETCH(QString, selected);
    Open();
    ExtractEverything(search);
    QVERIFY(GoTo(deleted));
    const QString id = Current(QStringLiteral("idProdotto"));
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Elimina prodotto")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi eliminazione definitiva del prodotto selezionato ?"));
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 0);
    QCOMPARE(Current(QStringLiteral("txCodProdotto")), selected);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 0);
}

void tst_gestione_prodotti::deleteOfAProductInAQuoteIsRefused()
{
    Open();
    ExtractEverything(QStringLiteral("doc-"));
    QVERIFY(GoTo(QStringLiteral("DOC-MAN")));
    const QString id = Current(QStringLiteral("idProdotto"));
    const int lines = Count("preventivo_dettaglio", QStringLiteral("idprodotto = '%1'").arg(id));
    QVERIFY(lines > 0);
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Elimina prodotto")));
    // The database's own reason, as it gives it.
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Il prodotto è utilizzato in %1 righe di preventivi o ordini: non è "
                            "possibile eliminarlo.\n\nDisattivarlo invece di eliminarlo.")
                 .arg(lines));
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 1);
    QCOMPARE(Current(QStringLiteral("idProdotto")), id);
}

// --- Pending copy ---------------------------------------------------------------------------

void tst_gestione_prodotti::copyCompletedIntoAnotherProduct()
{
    const QString source = IdOf(QStringLiteral("QDG-100"));
    const QString target = IdOf(QStringLiteral("QCM-120"));
    SetPendingCopyNode(
        NodeOf(QStringLiteral("prod_schede"), QStringLiteral("idschedaprodotto"), source, 10));
    // A new product list discards a copy marked before it.
    Open();
    QVERIFY(!PendingCopyNode());

    const TVRLDettProd sheet = NodeOf(QStringLiteral("prod_schede"),
                                      QStringLiteral("idschedaprodotto"),
                                      source,
                                      10);
    QVERIFY(!sheet.sIdNodo.isEmpty());
    SetPendingCopyNode(sheet);
    const QString description = Sql(
        QStringLiteral("SELECT txdescschedaprodotto FROM prod_schede WHERE idschedaprodotto = '%1'")
            .arg(sheet.sIdNodo));
    const QString sameSheet = QStringLiteral("idprodotto = '%1' AND txdescschedaprodotto = '%2'")
                                  .arg(target,
                                       QString(description).replace('\'', QStringLiteral("''")));
    const int before = Count("prod_schede", QStringLiteral("idprodotto = '%1'").arg(target));
    const int same = Count("prod_schede", sameSheet);
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QCM-120")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Aggiungi la scheda selezionata")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Copia effettuata correttamente"));
    QCOMPARE(Count("prod_schede", QStringLiteral("idprodotto = '%1'").arg(target)), before + 1);
    QCOMPARE(Count("prod_schede", sameSheet), same + 1);
    QVERIFY(!PendingCopyNode());
    QCOMPARE(Current(QStringLiteral("idProdotto")), target);
    // The menu is the ordinary one again.
    QVERIFY(MenuCaptions(w->DG_Prodotti).contains(QStringLiteral("Nuovo prodotto")));
    QVERIFY(
        !MenuCaptions(w->DG_Prodotti).contains(QStringLiteral("Aggiungi la scheda selezionata")));

    // A paragraph the same way.
    const TVRLDettProd paragraph = NodeOf(QStringLiteral("prod_componenti"),
                                          QStringLiteral("idcompprodotto"),
                                          source,
                                          30);
    SetPendingCopyNode(paragraph);
    const int paragraphs = Count("prod_componenti", QStringLiteral("idprodotto = '%1'").arg(target));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Aggiungi il paragrafo selezionato")));
    QCOMPARE(Count("prod_componenti", QStringLiteral("idprodotto = '%1'").arg(target)),
             paragraphs + 1);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_gestione_prodotti::copyFailedOrCancelled()
{
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QCM-120")));
    // A node that no longer exists: the error, and the copy stays pending.
    TVRLDettProd gone;
    gone.sIdNodo = NewGuidText();
    gone.iNuTipologia = 30;
    gone.xTipoNode = cnComponente;
    SetPendingCopyNode(gone);
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Aggiungi il paragrafo selezionato")));
    QVERIFY2(env->Recorder()
                 .LastText(TDialogKind::Error)
                 .startsWith(QStringLiteral("Errore copia in altro prodotto (ERR.F12).\r\n\r\n(")),
             qPrintable(env->Recorder().LastText(TDialogKind::Error)));
    QVERIFY(PendingCopyNode());

    // Cancelling asks first.
    env->Recorder().QueueNo();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Annulla copia in corso del paragrafo")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi annullamento operazione ?"));
    QVERIFY(PendingCopyNode());
    env->Recorder().QueueYes();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Annulla copia in corso del paragrafo")));
    QVERIFY(!PendingCopyNode());
}

// --- Opened from a quote --------------------------------------------------------------------

void tst_gestione_prodotti::openedFromAQuote()
{
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1600, 1000);
    main.show();
    const QString id = IdOf(QStringLiteral("QDG-120"));

    // The launcher's list stays the one the launcher finds.
    QPointer<QWidget> launcher
        = OpenChildWindow(QStringLiteral("GESTIONE_PRODOTTI"), area, [](QWidget *p) {
              return CreateRegisteredWindow(QStringLiteral("GESTIONE_PRODOTTI"), p);
          });
    QVERIFY(launcher);

    int reloads = 0;
    QPointer<TGESTIONE_PRODOTTI> quote = new TGESTIONE_PRODOTTI;
    quote->OnClosedFromQuote = [&reloads] { ++reloads; };
    area->addSubWindow(quote)->setAttribute(Qt::WA_DeleteOnClose);
    quote->Start(id);
    quote->parentWidget()->show();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiProdotti  1, '%1'").arg(id));
    QCOMPARE(quote->DST_GRID_Prodotti()->RecordCount(), 1);
    QVERIFY(!quote->Pane()->FilterPanel()->isVisible());
    QCOMPARE(FindOpenForm(QStringLiteral("GESTIONE_PRODOTTI")), launcher.data());

    // An edit given up leaves the filters hidden.
    QVERIFY(ChooseMenu(quote->DG_Prodotti, QStringLiteral("Modifica")));
    QTest::mouseClick(quote->PAN_Input->PB_Annulla_Input, Qt::LeftButton);
    QVERIFY(!quote->Pane()->FilterPanel()->isVisible());
    QVERIFY(quote->DG_Prodotti->isVisible());

    // A saved change closes the window, and the quote reloads its lines.
    QVERIFY(ChooseMenu(quote->DG_Prodotti, QStringLiteral("Modifica")));
    TypeInto(quote->PAN_Input->EF_DescProdotto, QStringLiteral("quadro cambiato dal preventivo"));
    QTest::mouseClick(quote->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("txdescprodotto", id), QStringLiteral("QUADRO CAMBIATO DAL PREVENTIVO"));
    QTRY_VERIFY(!quote);
    QCOMPARE(reloads, 1);
    QCOMPARE(env->Recorder().Requests().size(), 0);
    area->closeAllSubWindows();
}

// --- Information, print preview -----------------------------------------------------------------

void tst_gestione_prodotti::infoAndDeveloperQueries()
{
    SessionInfo().bDeveloperMode = true;
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    const QString id = Current(QStringLiteral("idProdotto"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Copia Id in clipboard")));
    QCOMPARE(ClipboardText(),
             QStringLiteral("SELECT a.*\r\n FROM Prodotti a\r\n WHERE a.idProdotto = '%1'\r\n\r\n"
                            "SELECT a.*\r\n FROM Preventivo_Dettaglio a\r\n WHERE a.idProdotto = "
                            "'%1'\r\n\r\nSELECT a.*\r\n FROM Ordini a\r\n INNER JOIN "
                            "Preventivo_Dettaglio b ON (b.idPreventivo = a.idPreventivo)\r\n WHERE "
                            "b.idProdotto = '%1'\r\n")
                 .arg(id));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));

    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Info supplementari")));
    QDialog *zoom = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("TKRTZOOMGRIDEXFORM") && top->isVisible())
            zoom = qobject_cast<QDialog *>(top);
    }
    QVERIFY(zoom);
    QStringList captions;
    for (TKRTLabelEdit *field : zoom->findChildren<TKRTLabelEdit *>())
        captions << field->CaptionString();
    QCOMPARE(captions,
             (QStringList{"Codice",
                          "Descrizione prodotto",
                          "Ultimo prev.",
                          "N° prev. in corso",
                          "N° prev. bloccati",
                          "Modificato il",
                          "Da",
                          "Inserito il",
                          "Da"}));
    zoom->close();
    QVERIFY(!w->DST_GRID_Prodotti()->FieldByName(QStringLiteral("txUtenteIn")).Visible());
    QVERIFY(w->DST_GRID_Prodotti()->FieldByName(QStringLiteral("dtMaxOperazListini")).Visible());
}

void tst_gestione_prodotti::printPreviewOfTheSelectedProduct()
{
    QVERIFY(CopyProgramReports(env->Home(), {QStringLiteral("pdprw00.RPT")}));
    Open();
    ExtractEverything();
    QVERIFY(GoTo(QStringLiteral("QDG-100")));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Anteprima stampa prodotto")));
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiAllDettagliProdotto '%1', 0, 1, 1, 1, 1, 1")
                 .arg(IdOf(QStringLiteral("QDG-100"))));
    TVIEW_REPORT *preview = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *v = qobject_cast<TVIEW_REPORT *>(top); v && v->isVisible())
            preview = v;
    }
    QVERIFY(preview);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

// --- Repairs --------------------------------------------------------------------------------

void tst_gestione_prodotti::repairsReencodeAsJpeg()
{
    // The demo covers and logos are PNG; one cover holds bytes that are no picture.
    const QString broken = IdOf(QStringLiteral("QDG-130"));
    Sql(QStringLiteral(
            "UPDATE images_prodotti SET imgimage = '\\x0102030405'::bytea WHERE idimage = '%1'")
            .arg(broken));
    const QString notJpeg = QStringLiteral("substring(%1 from 1 for 3) <> '\\xffd8ff'::bytea");
    const QString emb = QStringLiteral("idimage IN (SELECT idprodotto FROM prodotti WHERE "
                                       "idfornitore = '%1' AND nuanno = %2)")
                            .arg(kEmb)
                            .arg(ThisYear());
    const int others = Count("images_prodotti", notJpeg.arg("imgimage") + " AND NOT " + emb);
    QVERIFY(others > 0);
    Open();
    QVERIFY(F()->DCB_Find_Fornitore->Select(kEmb, ThisYear()));

    // "01 B": the covers of the chosen catalogue only; "No" does nothing.
    QTest::mouseClick(F()->PB_Patch1B, Qt::LeftButton);
    QCOMPARE(Count("images_prodotti", notJpeg.arg("imgimage") + " AND " + emb), 16);
    env->Recorder().QueueYes();
    QTest::mouseClick(F()->PB_Patch1B, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info),
             QStringLiteral("Trasformazione completata\r\n\r\nImmagini non leggibili lasciate "
                            "come erano: 1."));
    QCOMPARE(Count("images_prodotti", notJpeg.arg("imgimage") + " AND " + emb), 1);
    QCOMPARE(Count("images_prodotti_preview", notJpeg.arg("imgpreview") + " AND " + emb), 0);
    QCOMPARE(Sql(QStringLiteral(
                     "SELECT encode(imgimage, 'hex') FROM images_prodotti WHERE idimage = '%1'")
                     .arg(broken)),
             QStringLiteral("0102030405"));
    QCOMPARE(Count("images_prodotti", notJpeg.arg("imgimage") + " AND NOT " + emb), others);
    // A converted cover is still the same picture.
    const QByteArray cover = QByteArray::fromHex(
        Sql(QStringLiteral(
                "SELECT encode(imgimage, 'hex') FROM images_prodotti WHERE idimage = '%1'")
                .arg(IdOf(QStringLiteral("QDG-100"))))
            .toLatin1());
    QString error;
    QVERIFY(!ImageReadChecked(cover, 0, &error).isNull());

    // "Patch01": the node images of the catalogue too.
    const QString nodes
        = QStringLiteral(
              "idimage IN (SELECT i.idimage FROM prod_comp_parte_img i JOIN prod_comp_parti pa ON "
              "pa.idpartecomp = i.idpartecomp JOIN prod_componenti c ON c.idcompprodotto = "
              "pa.idcompprodotto JOIN prodotti p ON p.idprodotto = c.idprodotto WHERE "
              "p.idfornitore = "
              "'%1' AND p.nuanno = %2)")
              .arg(kEmb)
              .arg(ThisYear());
    if (Count("images_dettagli", notJpeg.arg("imgimage") + " AND " + nodes) == 0)
        Sql(QStringLiteral("UPDATE images_dettagli SET imgimage = '%1'::bytea WHERE %2")
                .arg(QStringLiteral("\\x")
                         + QString::fromLatin1(testimages::Encoded(40, 30, Qt::blue).toHex()),
                     nodes));
    QVERIFY(Count("images_dettagli", notJpeg.arg("imgimage") + " AND " + nodes) > 0);
    env->Recorder().QueueYes();
    QTest::mouseClick(F()->PB_Patch, Qt::LeftButton);
    QCOMPARE(Count("images_dettagli", notJpeg.arg("imgimage") + " AND " + nodes), 0);

    // "Patch02": layout pictures and company logos.
    QVERIFY(Count("societa", notJpeg.arg("imglogo")) > 0);
    env->Recorder().QueueYes();
    QTest::mouseClick(F()->PB_Patch2, Qt::LeftButton);
    QCOMPARE(Count("societa", notJpeg.arg("imglogo")), 0);
    QCOMPARE(Count("images_layout", notJpeg.arg("imgimage")), 0);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

void tst_gestione_prodotti::repairsAreForAdministrators()
{
    env->LogOn(TDemoOperator::Operator);
    Open();
    QVERIFY(!F()->PAN_Patch->isVisible());
    // Nor does the database let another operator list or write the pictures.
    bool refused = false;
    try {
        RepairImagesAsJpeg(env->Db().Module(),
                           TImageRepair::LayoutsAndLogos,
                           QString(),
                           0,
                           QStringLiteral("MROSSI"));
    } catch (const std::exception &e) {
        refused = QString::fromUtf8(e.what()).contains(QStringLiteral("amministratori"));
    }
    QVERIFY(refused);
}

// --- Bad moments ----------------------------------------------------------------------------

void tst_gestione_prodotti::connectionLostWhileEditing()
{
    Open();
    ExtractEverything();
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Nuovo prodotto")));
    const QString id = w->sLastId;
    TypeInto(P()->EF_DescProdotto, QStringLiteral("prodotto mai salvato"));
    env->Super(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                              "WHERE datname = '%1' AND usename = 'ventorel_test'")
                   .arg(env->Db().Name()));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    const QList<TDialogRequest> errors = env->Recorder().RequestsOf(TDialogKind::Error);
    QVERIFY(!errors.isEmpty());
    QVERIFY(env->Recorder().Terminated());
    // The input is kept on screen, nothing was stored.
    QCOMPARE(P()->EF_DescProdotto->Text(), QStringLiteral("PRODOTTO MAI SALVATO"));
    QCOMPARE(Count("prodotti", QStringLiteral("idprodotto = '%1'").arg(id)), 0);
    QCOMPARE(Count("images_prodotti", QStringLiteral("idimage = '%1'").arg(id)), 0);
}

void tst_gestione_prodotti::changeOfAnotherOperatorIsShownNotOverwritten()
{
    Open();
    ExtractEverything(QStringLiteral("QDG-100"));
    const QString id = Current(QStringLiteral("idProdotto"));
    QVERIFY(ChooseMenu(w->DG_Prodotti, QStringLiteral("Modifica")));

    // Meanwhile, at another workstation.
    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    env->Db().LogOn(QStringLiteral("GBIANCHI"), &other);
    TEditableRecord theirs(&other, QStringLiteral("Prodotti"), QStringLiteral("idProdotto"));
    theirs.Open(QStringLiteral("EXEC DatiProdotto ") + SqlText(id));
    theirs.Edit();
    theirs.Data()
        .FieldByName(QStringLiteral("txDescProdotto"))
        .SetValue(QStringLiteral("LA LORO DESCRIZIONE"));
    theirs.Post(QStringLiteral("GBIANCHI"));

    TypeInto(P()->EF_CodProdotto, QStringLiteral("QDG-100-B"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Errore modifica prodotto (ERR.F04).\r\n\r\n(Il record è stato "
                            "modificato da un altro operatore: i dati sono stati riletti.)"));
    QCOMPARE(Value("txdescprodotto || '|' || txcodprodotto", id),
             QStringLiteral("LA LORO DESCRIZIONE|QDG-100"));
    QVERIFY(P()->isVisible());
    QCOMPARE(P()->EF_DescProdotto->Text(), QStringLiteral("LA LORO DESCRIZIONE"));

    // Saved again over what was read: both changes kept.
    TypeInto(P()->EF_CodProdotto, QStringLiteral("QDG-100-B"));
    QTest::mouseClick(P()->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 1);
    QCOMPARE(Value("txdescprodotto || '|' || txcodprodotto", id),
             QStringLiteral("LA LORO DESCRIZIONE|QDG-100-B"));
}

void tst_gestione_prodotti::openedByNameAsTheLauncherDoes()
{
    QVERIFY(IsWindowRegistered(QStringLiteral("GESTIONE_PRODOTTI")));
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1600, 1000);
    main.show();
    bool created = false;
    auto open = [area, &created] {
        return OpenChildWindow(
            QStringLiteral("GESTIONE_PRODOTTI"),
            area,
            [](QWidget *p) {
                return CreateRegisteredWindow(QStringLiteral("GESTIONE_PRODOTTI"), p);
            },
            {},
            &created);
    };
    QPointer<QWidget> first = open();
    QVERIFY(created);
    QCOMPARE(first->windowTitle(), QStringLiteral("Gestione prodotti"));
    QCOMPARE(open(), first.data());
    QVERIFY(!created);
    area->closeAllSubWindows();
    QTRY_VERIFY(!first);
}

QTEST_MAIN(tst_gestione_prodotti)
#include "tst_gestione_prodotti.moc"
