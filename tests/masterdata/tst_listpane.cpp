// The list pane and its definition, as a new list window uses them: the status line with its
// legends and the empty-list text, title-click sorting limited to the sort fields, icon
// columns, menu entries that run their own actions, the keys of filters and grid, and the
// filters kept in the settings file.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "db/datasetroutines.h"
#include "masterdata/filtersettings.h"
#include "masterdata/listpane.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// The operators of a company on a pane, with a description filter applied in memory.
struct TOperatorPane
{
    explicit TOperatorPane(TListDefinition definition)
    {
        pane = std::make_unique<TListPane>();
        QFrame *filters = pane->AddFilterPanel();
        auto *row = new QHBoxLayout(filters);
        company = new TKRTLabelEdit(QStringLiteral("EF_Find_Societa"),
                                    QStringLiteral("Società "),
                                    filters);
        extract = new QPushButton(QStringLiteral("Estrai elenco"), filters);
        extract->setObjectName(QStringLiteral("PB_EstraiElenco"));
        row->addWidget(company);
        row->addWidget(extract);
        pane->SetExtractButton(extract);
        grid = pane->AddGrid(QStringLiteral("DG_Operatori"), std::move(definition));
        pane->CommandText = [this] {
            return QStringLiteral("EXEC EstraiOperatori  1, ") + SqlText(company->Text());
        };
        pane->SortText = [] { return QStringLiteral("txDescrizione"); };
        QObject::connect(extract, &QPushButton::clicked, pane.get(), [this] {
            ++extractions;
            pane->ExtractWithFilters();
        });
        pane->resize(900, 500);
        pane->show();
    }
    QLabel *Label(const char *name) { return pane->findChild<QLabel *>(QLatin1String(name)); }

    std::unique_ptr<TListPane> pane;
    TKRTLabelEdit *company = nullptr;
    QPushButton *extract = nullptr;
    TKRTGrid *grid = nullptr;
    int extractions = 0;
};

TListDefinition OperatorDefinition()
{
    TListDefinition d;
    d.sClassName = QStringLiteral("TPROVA");
    d.sKeyField = QStringLiteral("idOperatore");
    d.sExtractError = QStringLiteral("Errore estrazione elenco operatori (ERR.Q05).");
    d.sStatusPrefix = QStringLiteral(" N° Operatori: ");
    d.columns = {{QStringLiteral("flFunzionario"), QStringLiteral("(F)"), 3, true, true},
                 {QStringLiteral("txOperatore"), QStringLiteral("Operatore"), 20, false, true},
                 {QStringLiteral("txDescrizione"), QStringLiteral("Descrizione"), 50},
                 {QStringLiteral("dtCanc"), QStringLiteral("Eliminato il"), 20, true, true}};
    for (const TListColumn &c : d.columns)
        d.listFields << c.field;
    return d;
}

QPixmap Square(const QColor &colour)
{
    QPixmap p(10, 10);
    p.fill(colour);
    return p;
}

} // namespace

class tst_listpane : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup() { env.reset(); }

    void statusLine_data();
    void statusLine();
    void legends();
    void titleClickSortsOnlyTheSortFields();
    void iconColumn();
    void menuEntriesRunTheirOwnActions();
    void keysOfFiltersAndGrid();
    void filtersKeptInTheSettings();
};

void tst_listpane::statusLine_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("emptyText");
    QTest::addColumn<bool>("counted"); // a status text of its own
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("text");
    QTest::newRow("rows") << kSoc1 << "" << false << true << " N° Operatori: 3 ";
    QTest::newRow("rows, own text") << kSoc1 << "" << true << true << " 3 operatori, 1 non attivi ";
    QTest::newRow("empty, no empty text: hidden") << "{00000000-0000-0000-0000-000000000000}"
                                                  << "" << false << false << " N° Operatori: 0 ";
    QTest::newRow("empty with its text: shown")
        << "{00000000-0000-0000-0000-000000000000}"
        << " Nessun operatore. " << true << true << " Nessun operatore. ";
}

void tst_listpane::statusLine()
{
    QFETCH(QString, company);
    QFETCH(QString, emptyText);
    QFETCH(bool, counted);
    QFETCH(bool, shown);
    QFETCH(QString, text);
    TListDefinition d = OperatorDefinition();
    d.sEmptyText = emptyText;
    if (counted) {
        d.statusText = [](TDataSet &ds) {
            return QStringLiteral(" %1 operatori, %2 non attivi ")
                .arg(ds.RecordCount())
                .arg(CountFilteredRecords(ds, QStringLiteral("dtCanc IS NOT NULL")));
        };
    }
    TOperatorPane p(d);
    p.company->SetText(company);
    QTest::mouseClick(p.extract, Qt::LeftButton);
    QCOMPARE(p.Label("SF_Status")->text(), text);
    QCOMPARE(p.pane->StatusPanel()->isVisible(), shown);
    // Edit mode hides it whatever the list; list mode brings it back as it was.
    p.pane->SetListMode(false);
    QVERIFY(!p.pane->StatusPanel()->isVisible());
    QVERIFY(!p.pane->FilterPanel()->isVisible());
    p.pane->SetListMode(true);
    QCOMPARE(p.pane->StatusPanel()->isVisible(), shown);
    QCOMPARE(env->Recorder().Requests().size(), 0);
}

void tst_listpane::legends()
{
    TListDefinition d = OperatorDefinition();
    d.legends = {{QStringLiteral(" (Funzionari)  "), clKRTBlue, true},
                 {QStringLiteral("  (Non attivi) "), clKRTRed, false}};
    TOperatorPane p(d);
    p.company->SetText(kSoc1);
    QTest::mouseClick(p.extract, Qt::LeftButton);
    QLabel *first = p.Label("SF_Legenda");
    QLabel *second = p.Label("SF_Legenda2");
    QVERIFY(first && second);
    QCOMPARE(first->text(), QStringLiteral(" (Funzionari)  "));
    QCOMPARE(first->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(first->font().bold());
    QCOMPARE(second->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(!second->font().bold());
    // Beside the count, in the status line, in their order.
    QCOMPARE(first->parentWidget(), p.pane->StatusPanel());
    QVERIFY(first->isVisible());
    QVERIFY(p.Label("SF_Status")->x() < first->x());
    QVERIFY(first->x() < second->x());
}

void tst_listpane::titleClickSortsOnlyTheSortFields()
{
    TListDefinition d = OperatorDefinition();
    d.sortFields = QStringList{QStringLiteral("txDescrizione"), QStringLiteral("dtCanc")};
    TOperatorPane p(d);
    p.company->SetText(kSoc1);
    QTest::mouseClick(p.extract, Qt::LeftButton);
    TDataSet *ds = p.pane->List()->DataSet();
    // Field names come from the server in lower case.
    auto sort = [ds] { return ds->Sort().toLower(); };
    QCOMPARE(sort(), QStringLiteral("txdescrizione"));
    QHeaderView *h = p.grid->horizontalHeader();
    auto click = [&](const char *field) {
        const int c = p.grid->ColumnIndexByFieldName(QLatin1String(field));
        QTest::mouseClick(h->viewport(),
                          Qt::LeftButton,
                          {},
                          QPoint(h->sectionViewportPosition(c) + 5, h->height() / 2));
    };
    click("txOperatore");
    QCOMPARE(sort(), QStringLiteral("txdescrizione"));
    click("txDescrizione");
    QCOMPARE(sort(), QStringLiteral("txdescrizione desc"));
    click("dtCanc");
    QCOMPARE(sort(), QStringLiteral("dtcanc asc"));

    // Without sort fields every column sorts.
    TOperatorPane all(OperatorDefinition());
    all.company->SetText(kSoc1);
    QTest::mouseClick(all.extract, Qt::LeftButton);
    const int c = all.grid->ColumnIndexByFieldName(QStringLiteral("txOperatore"));
    all.grid->TitleClick(c);
    QVERIFY(all.pane->List()->DataSet()->Sort().startsWith(QStringLiteral("txoperatore"),
                                                           Qt::CaseInsensitive));
}

void tst_listpane::iconColumn()
{
    env->Super(QStringLiteral("UPDATE operatori SET flfunzionario = 1 WHERE txoperatore = "
                              "'MROSSI'"));
    TListDefinition d = OperatorDefinition();
    const QColor green(0, 160, 0);
    d.iconColumns = {{QStringLiteral("flFunzionario"), Square(green)}};
    TOperatorPane p(d);
    p.company->SetText(kSoc1);
    QTest::mouseClick(p.extract, Qt::LeftButton);
    TDataSet *ds = p.pane->List()->DataSet();
    const int column = p.grid->ColumnIndexByFieldName(QStringLiteral("flFunzionario"));
    QVERIFY(ds->Locate(QStringLiteral("txOperatore"), QStringLiteral("PNERI")));
    p.grid->setCurrentIndex(p.grid->model()->index(ds->RecNo() - 1, column + 1));
    const QImage shot = p.grid->viewport()->grab().toImage();
    auto iconAt = [&](const QString &code) {
        for (int r = 0; r < ds->RecordCount(); ++r) {
            if (ds->ValueAt(r, ds->FieldIndex(QStringLiteral("txOperatore"))).toString() != code)
                continue;
            const QRect cell = p.grid->visualRect(p.grid->model()->index(r, column));
            return shot.pixelColor(cell.topLeft() + QPoint(2 + 5, 1 + 5)) == green;
        }
        return false;
    };
    QVERIFY(iconAt(QStringLiteral("MROSSI")));
    QVERIFY(!iconAt(QStringLiteral("ADMIN")));
    // The flag's text is not drawn: it takes the background colour.
    TKRTDrawCellArgs args;
    args.Row = 0;
    args.DataCol = column;
    args.Font = p.grid->font();
    p.grid->OnDrawColumnCell(p.grid, args);
    QCOMPARE(args.FontColor, args.Background);
    args.DataCol = column + 1;
    args.FontColor = Qt::black;
    p.grid->OnDrawColumnCell(p.grid, args);
    QVERIFY(args.FontColor != args.Background);
}

void tst_listpane::menuEntriesRunTheirOwnActions()
{
    TListDefinition d = OperatorDefinition();
    d.developerQueries = [](const QString &id) {
        return QList<QStringList>{{QStringLiteral("SELECT 1"), QStringLiteral(" -- ") + id}};
    };
    TOperatorPane p(d);
    QStringList ran;
    p.pane->List()->OnBuildMenu = [&ran](TListData &list) {
        list.AddMenuItem(QStringLiteral("Nuovo"), [&ran] { ran << QStringLiteral("nuovo"); });
        if (!list.HasRows())
            return;
        const QString code = list.CurrentText(QStringLiteral("txOperatore"));
        TListMenuStyle highlighted;
        highlighted.fontColor = 0xA16E37;
        highlighted.bold = true;
        highlighted.image = Square(Qt::blue);
        list.AddMenuItem(
            QStringLiteral("Dettagli"),
            [&ran, code] { ran << QStringLiteral("dettagli ") + code; },
            highlighted);
        list.AddMenuSeparator();
        list.AddCopyIdItem();
    };
    QCOMPARE(MenuCaptions(p.grid), QStringList{QStringLiteral("Nuovo")});
    p.company->SetText(kSoc1);
    QTest::mouseClick(p.extract, Qt::LeftButton);
    QCOMPARE(MenuCaptions(p.grid), (QStringList{"Nuovo", "Dettagli", "-", "Copia Id in clipboard"}));
    QVERIFY(
        p.pane->List()->DataSet()->Locate(QStringLiteral("txOperatore"), QStringLiteral("MROSSI")));
    QVERIFY(ChooseMenu(p.grid, QStringLiteral("Dettagli")));
    QVERIFY(ChooseMenu(p.grid, QStringLiteral("Nuovo")));
    QCOMPARE(ran, (QStringList{"dettagli MROSSI", "nuovo"}));
    // The look asked for.
    const TKRTGridMenu *entry = p.grid->FindMenu(QStringLiteral("Dettagli"));
    QCOMPARE(entry->FontColor, KRTColor(0xA16E37));
    QVERIFY(entry->MenuFont.bold());
    QVERIFY(!entry->Bitmap.isNull());
    QCOMPARE(p.grid->FindMenu(QStringLiteral("Copia Id in clipboard"))->FontColor, QColor(Qt::red));
    QVERIFY(ChooseMenu(p.grid, QStringLiteral("Copia Id in clipboard")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));
    // Switched off (a window whose creation failed), an entry does nothing.
    p.pane->List()->SetMenuActionsEnabled(false);
    QVERIFY(ChooseMenu(p.grid, QStringLiteral("Nuovo")));
    QCOMPARE(ran.size(), 2);
}

void tst_listpane::keysOfFiltersAndGrid()
{
    TOperatorPane p(OperatorDefinition());
    int entered = 0;
    int doubled = 0;
    // Enter in a filter presses "Estrai elenco".
    TypeInto(p.company, kSoc1);
    QTest::keyClick(p.company->Edit(), Qt::Key_Return);
    QCOMPARE(p.extractions, 1);
    QCOMPARE(p.pane->List()->Count(), 3);
    // Enter in the grid is the owner's; without an action it does not extract again.
    p.grid->setFocus();
    QTest::keyClick(p.grid, Qt::Key_Return);
    QCOMPARE(p.extractions, 1);
    p.pane->OnGridEnter = [&entered] { ++entered; };
    p.pane->OnGridDoubleClick = [&doubled] { ++doubled; };
    QTest::keyClick(p.grid, Qt::Key_Enter);
    const QPoint cell = p.grid->visualRect(p.grid->model()->index(1, 1)).center();
    QTest::mouseDClick(p.grid->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(entered, 1);
    QCOMPARE(doubled, 1);
    QCOMPARE(p.extractions, 1);
    // A disabled extract button is not pressed.
    p.extract->setEnabled(false);
    QTest::keyClick(p.company->Edit(), Qt::Key_Return);
    QCOMPARE(p.extractions, 1);
}

void tst_listpane::filtersKeptInTheSettings()
{
    {
        TOperatorPane p(OperatorDefinition());
        p.pane->CreateSettings(QStringLiteral("FrmProva_"))
            .AddText(p.company, QStringLiteral("Societa"));
        QVERIFY(!p.pane->RestoreFilters(QStringLiteral("Societa")));
        p.company->SetText(kSoc2);
        QTest::mouseClick(p.extract, Qt::LeftButton);
        QCOMPARE(env->Setting(QStringLiteral("FrmProva_Societa")), kSoc2);
        QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiOperatori  1, '%1'").arg(kSoc2));
    }
    TOperatorPane p(OperatorDefinition());
    p.pane->CreateSettings(QStringLiteral("FrmProva_")).AddText(p.company, QStringLiteral("Societa"));
    QVERIFY(p.pane->RestoreFilters(QStringLiteral("Societa")));
    QCOMPARE(p.company->Text(), kSoc2);
}

QTEST_MAIN(tst_listpane)
#include "tst_listpane.moc"
