// The data grid driven with the mouse and keyboard: columns, title sorting, the popup
// protocol of the list windows, drawing hooks, check glyphs, type-ahead, export, zoom.

#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtgridmodel.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtzoomgridexform.h"
#include "tests/controls/gridtestdata.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>

namespace {

struct TGridForm
{
    explicit TGridForm(int rows = 200)
    {
        data = MakeGridTestData(rows);
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("TGRIDFORM"));
        auto *layout = new QVBoxLayout(window.get());
        grid = new TKRTGrid(window.get());
        grid->setObjectName(QStringLiteral("DG_Clienti"));
        layout->addWidget(grid);
        grid->SetDataSet(data.get());
        window->resize(1000, 500);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    ~TGridForm()
    {
        if (grid)
            grid->SetDataSet(nullptr);
    }
    QStringList ColumnFields() const
    {
        QStringList out;
        for (const TKRTGridColumn &c : grid->Columns())
            out << c.FieldName;
        return out;
    }
    QPoint CellCenter(int row, int col) const
    {
        return grid->visualRect(grid->model()->index(row, col)).center();
    }
    void RightClick(int row, int col)
    {
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellCenter(row, col));
    }
    void ClickTitle(int col)
    {
        QHeaderView *h = grid->horizontalHeader();
        QTest::mouseClick(h->viewport(),
                          Qt::LeftButton,
                          {},
                          QPoint(h->sectionViewportPosition(col) + 5, h->height() / 2));
    }
    QAction *Action(const QString &name) const
    {
        return grid->PopupMenu() ? grid->PopupMenu()->findChild<QAction *>(name) : nullptr;
    }
    QString CurrentName() const
    {
        return data->FieldByName(QStringLiteral("txDenominazione")).AsString();
    }

    std::unique_ptr<TDataSet> data;
    std::unique_ptr<QWidget> window;
    TKRTGrid *grid = nullptr;
};

} // namespace

class tst_TKRTGrid : public QObject
{
    Q_OBJECT

    TDialogRecorder m_noModal; // no test ever waits on a message window

private Q_SLOTS:
    void modelReadsRowsWithoutCopy();
    void sortedColumnsBuildColumns_data();
    void sortedColumnsBuildColumns();
    void columnByFieldName();
    void titleClickSortsAscendingThenDescending();
    void titleClickRespectsExclusions();
    void listWindowPopupProtocol();
    void duplicateCaptionStopsTheMenu();
    void noPopupWithoutEntries();
    void userMenuLinesReplaceGridMenu();
    void standardMenuFollowsColumnUnderMouse();
    void standardSortAndColumnCommands();
    void sideBarIsMeasuredAndDrawn();
    void shrinkNarrowsButNeverWidens();
    void fitToContent_data();
    void fitToContent();
    void valueWiderThanItsColumnShowsItsBeginning();
    void typeAheadLocatesInSelectedColumn();
    void drawingHooksAndInversion();
    void boolColumnsShowGlyphsAndToggle();
    void zoomGridExShowsChosenFields();
    void printEntryNeedsAHandler();
    void balloonWithoutNotificationArea();
    void exportWritesVisibleColumns();
    void exportToUnwritableTargetFails();
};

void tst_TKRTGrid::modelReadsRowsWithoutCopy()
{
    TGridForm f(50);
    QCOMPARE(f.grid->model()->rowCount(), 50);
    // Default columns: one per visible field.
    QCOMPARE(f.ColumnFields(),
             QStringList({"txCodCliente",
                          "txDenominazione",
                          "txLocalita",
                          "nuPreventivi",
                          "vlFatturato",
                          "flAttivo",
                          "dtMod"}));
    QCOMPARE(f.grid->model()->index(3, 1).data().toString(), GridTestName(3));
    QCOMPARE(f.grid->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Ragione Sociale"));
    // A change of the dataset shows at once; so does the current row, both ways.
    f.data->SetRecNo(4);
    f.data->Edit();
    f.data->FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Nuovo nome"));
    f.data->Post();
    QCOMPARE(f.grid->model()->index(3, 1).data().toString(), QStringLiteral("Nuovo nome"));
    QCOMPARE(f.grid->currentIndex().row(), 3);
    int drags = 0;
    QPoint dragAt;
    f.grid->OnBeforeStartDrag =
        [&](TKRTGrid *, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
            drags += b == Qt::LeftButton ? 1 : 0;
            dragAt = QPoint(x, y);
            QCOMPARE(f.data->RecNo(), 4); // raised before the grid moves
        };
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.CellCenter(7, 2));
    QCOMPARE(f.data->RecNo(), 8);
    QCOMPARE(drags, 1);
    QCOMPARE(dragAt, f.CellCenter(7, 2));
    f.data->Append();
    f.data->FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("Ultimo"));
    f.data->Post();
    QCOMPARE(f.grid->model()->rowCount(), 51);
}

void tst_TKRTGrid::sortedColumnsBuildColumns_data()
{
    QTest::addColumn<QStringList>("sorted");
    QTest::addColumn<bool>("ex");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("hidden");

    QTest::newRow("stop") << QStringList{"txDenominazione", "txCodCliente", "*STOP*"} << true
                          << QStringList{"txDenominazione", "txCodCliente"} << QStringList{};
    QTest::newRow("others follow in field order") << QStringList{"dtMod", "txDenominazione"} << true
                                                  << QStringList{"dtMod",
                                                                 "txDenominazione",
                                                                 "txCodCliente",
                                                                 "txLocalita",
                                                                 "nuPreventivi",
                                                                 "vlFatturato",
                                                                 "flAttivo"}
                                                  << QStringList{};
    QTest::newRow("unknown names skipped") << QStringList{"txNessuno", "txCodCliente", "*STOP*"}
                                           << false << QStringList{"txCodCliente"} << QStringList{};
    QTest::newRow("Ex copies field visibility")
        << QStringList{"txCodCliente", "txNote", "*STOP*"} << true
        << QStringList{"txCodCliente", "txNote"} << QStringList{"txNote"};
    QTest::newRow("plain shows listed invisible fields")
        << QStringList{"txCodCliente", "txNote", "*STOP*"} << false
        << QStringList{"txCodCliente", "txNote"} << QStringList{};
}

void tst_TKRTGrid::sortedColumnsBuildColumns()
{
    QFETCH(QStringList, sorted);
    QFETCH(bool, ex);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, hidden);
    TGridForm f(20);
    f.grid->SortedColumns = sorted;
    if (ex)
        f.grid->PaintSortedColumnsEx();
    else
        f.grid->PaintSortedColumns();
    QCOMPARE(f.ColumnFields(), fields);
    QStringList hiddenNow;
    for (int i = 0; i < f.grid->ColumnCount(); ++i) {
        if (f.grid->isColumnHidden(i))
            hiddenNow << f.grid->Column(i).FieldName;
    }
    QCOMPARE(hiddenNow, hidden);
}

void tst_TKRTGrid::columnByFieldName()
{
    TGridForm f(5);
    const TKRTGridColumn *c = f.grid->ColumnByFieldName(QStringLiteral("  TXDENOMINAZIONE "));
    QVERIFY(c);
    QCOMPARE(c->Title, QStringLiteral("Ragione Sociale"));
    QCOMPARE(f.grid->ColumnByFieldName(QStringLiteral("txNote")), nullptr);
}

void tst_TKRTGrid::titleClickSortsAscendingThenDescending()
{
    TGridForm f(300);
    const int col = f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    f.data->SetRecNo(150);
    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QStringLiteral("txDenominazione ASC"));
    QCOMPARE(f.data->RecNo(), 1);
    QCOMPARE(f.grid->currentIndex().row(), 0);
    QCOMPARE(f.grid->ActiveFieldSort(), QStringLiteral("txDenominazione"));
    QCOMPARE(f.grid->SortMarker(col), 1);
    QCOMPARE(f.grid->SortMarker(0), 0);
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << GridTestName(i);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QCOMPARE(f.CurrentName(), names.first());

    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QStringLiteral("txDenominazione DESC"));
    QCOMPARE(f.grid->SortMarker(col), -1);
    QCOMPARE(f.CurrentName(), names.last());

    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QStringLiteral("txDenominazione ASC"));

    // A list sorted by several fields with this one first turns descending on one click.
    f.data->SetSort(QStringLiteral("txDenominazione ASC, dtMod DESC"));
    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QStringLiteral("txDenominazione DESC"));
    // Another field that starts with the same letters is another field.
    f.data->SetSort(QStringLiteral("txCodCliente ASC"));
    const int codCol = f.grid->ColumnIndexByFieldName(QStringLiteral("txCodCliente"));
    f.ClickTitle(codCol);
    QCOMPARE(f.data->Sort(), QStringLiteral("txCodCliente DESC"));

    // The marker is switched off by the side-bar caption "NO_TRIANGOLO".
    f.grid->SideBarCaption = QStringLiteral("NO_TRIANGOLO");
    QCOMPARE(f.grid->SortMarker(codCol), 0);
}

void tst_TKRTGrid::titleClickRespectsExclusions()
{
    TGridForm f(30);
    const int col = f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    f.grid->NoArrowColums = QStringList{QStringLiteral("TXDENOMINAZIONE")};
    f.grid->verticalScrollBar()->setValue(5);
    f.data->SetRecNo(15);
    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QString());
    QCOMPARE(f.data->RecNo(), 15);
    f.grid->NoArrowColums.clear();
    f.grid->AllowSortOnTitleColumn = false;
    f.ClickTitle(col);
    QCOMPARE(f.data->Sort(), QString());
}

void tst_TKRTGrid::listWindowPopupProtocol()
{
    TGridForm f(40);
    int before = 0;
    int recordedColumn = -2;
    QString chosen;
    QString chosenTag;
    // The list-window pattern: the menu is rebuilt for the current row before every popup.
    f.grid->OnBeforePopUpMenu = [&](TKRTGrid *g) {
        ++before;
        recordedColumn = g->MouseColumn();
        g->ShowStandardMenu = false;
        g->ShowUserMenu = true;
        g->UserMenuPosition = umpKRTTop;
        g->GridMenu()->Clear();
        g->UserMenu.clear();
        g->SideBarCaption = QStringLiteral(" ");
        AddGridMenuItem(g->GridMenu(), QStringLiteral("Nuovo cliente"), 0);
        const bool active = f.data->FieldByName(QStringLiteral("flAttivo")).AsBoolean();
        AddGridMenuItem(g->GridMenu(), QStringLiteral("Modifica"), 0);
        TKRTGridMenu *more = AddGridMenuItem(g->GridMenu(), QStringLiteral("Altro"), 0);
        AddGridMenuItem(more, active ? QStringLiteral("Disattiva") : QStringLiteral("Riattiva"), 0)
            ->TagString
            = QStringLiteral("STATO");
        AddGridMenuItem(more, QStringLiteral("Info supplementari"), 10579511, -1, nullptr, true);
        g->GridMenu()->AppendSeparator();
        AddGridMenuItem(g->GridMenu(), QStringLiteral("Copia Id in clipboard"), 255);
        g->SetPopUpMenu();
    };
    f.grid->OnUserMenuSelect = [&](TKRTGrid *g) {
        chosen = g->GridMenuSelected()->Caption;
        chosenTag = g->GridMenuSelected()->TagString;
    };

    // Row 3 (the fourth) is inactive: i % 3 == 0.
    f.RightClick(3, 2);
    QCOMPARE(before, 1);
    QCOMPARE(recordedColumn, 2);
    QCOMPARE(f.data->RecNo(), 4);
    TKRTPopupMenu *popup = f.grid->PopupMenu();
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), QStringLiteral("POPMOpzioni"));
    QTRY_VERIFY(popup->isVisible());

    // Named depth first: MNUUser00.. with tags 10000 + counter.
    const QStringList expected{"Nuovo cliente",
                               "Modifica",
                               "Altro",
                               "Riattiva",
                               "Info supplementari",
                               "",
                               "Copia Id in clipboard"};
    for (int i = 0; i < expected.size(); ++i) {
        QAction *a = f.Action(QStringLiteral("MNUUser%1").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY2(a, qPrintable(QString::number(i)));
        QCOMPARE(a->text(), expected.at(i));
        QCOMPARE(a->property(TKRTPopupMenu::kTag).toInt(), 10000 + i);
    }
    QVERIFY(f.Action(QStringLiteral("MNUUser05"))->isSeparator());
    QVERIFY(f.Action(QStringLiteral("MNUUser02"))->menu());
    QCOMPARE(f.Action(QStringLiteral("MNUUser06"))
                 ->property(TKRTPopupMenu::kFontColor)
                 .value<QColor>(),
             QColor(Qt::red));
    QVERIFY(!f.Action(QStringLiteral("MNUSepUser")));
    QVERIFY(!f.Action(QStringLiteral("MNUFind")));

    f.Action(QStringLiteral("MNUUser03"))->trigger();
    QCOMPARE(chosen, QStringLiteral("Riattiva"));
    QCOMPARE(chosenTag, QStringLiteral("STATO"));
    popup->close();

    // The next popup is built for the new current row.
    f.RightClick(4, 1);
    QCOMPARE(before, 2);
    QVERIFY(f.grid->PopupMenu() != popup || !popup);
    f.Action(QStringLiteral("MNUUser03"))->trigger();
    QCOMPARE(chosen, QStringLiteral("Disattiva"));
    f.Action(QStringLiteral("MNUUser00"))->trigger();
    QCOMPARE(chosen, QStringLiteral("Nuovo cliente"));
    f.grid->PopupMenu()->close();

    // Search helpers of the menu tree.
    QCOMPARE(f.grid->FindMenu(QStringLiteral("info SUPPLEMENTARI"))->Caption,
             QStringLiteral("Info supplementari"));
    QCOMPARE(f.grid->FindMenuByTagString(QStringLiteral("stato"))->Caption,
             QStringLiteral("Disattiva"));
    f.grid->RemoveIfHasNoChildren(QStringLiteral("Altro"));
    QVERIFY(f.grid->FindMenu(QStringLiteral("Altro")));
    f.grid->RemoveIfHasNoChildren(QStringLiteral("Modifica"));
    QVERIFY(!f.grid->FindMenu(QStringLiteral("Modifica")));
    f.grid->RemoveIfHasNoChildren(QStringLiteral("Nessuna"));
}

void tst_TKRTGrid::duplicateCaptionStopsTheMenu()
{
    TDialogRecorder recorder;
    TGridForm f(10);
    f.grid->ShowStandardMenu = false;
    f.grid->ShowUserMenu = true;
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Modifica"), 0);
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Elimina"), 0);
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("&modifica"), 0);
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Ultima"), 0);
    QVERIFY(!f.grid->SetPopUpMenu());
    QCOMPARE(recorder.LastText(TDialogKind::Error),
             QStringLiteral("Menu Opzioni Duplicato:\r\n\r\n&MODIFICA"));
    // The popup stays incomplete: the entries before the duplicate only.
    QVERIFY(f.grid->PopupMenu());
    QCOMPARE(f.grid->PopupMenu()->actions().size(), 2);

    // A user entry clashing with a standard one.
    recorder.Clear();
    f.grid->GridMenu()->Clear();
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Zoom"), 0);
    f.grid->ShowStandardMenu = true;
    QVERIFY(!f.grid->SetPopUpMenu());
    QCOMPARE(recorder.LastText(TDialogKind::Error),
             QStringLiteral("Menu Opzioni Duplicato:\r\n\r\nZOOM"));
    // Separators never clash.
    recorder.Clear();
    f.grid->GridMenu()->Clear();
    f.grid->GridMenu()->AppendSeparator();
    f.grid->GridMenu()->AppendSeparator();
    QVERIFY(f.grid->SetPopUpMenu());
    QCOMPARE(recorder.Count(TDialogKind::Error), 0);
}

void tst_TKRTGrid::noPopupWithoutEntries()
{
    TGridForm f(10);
    int before = 0;
    f.grid->OnBeforePopUpMenu = [&before](TKRTGrid *g) {
        ++before;
        g->ShowStandardMenu = false;
        g->ShowUserMenu = true;
        g->GridMenu()->Clear();
        g->SetPopUpMenu();
    };
    f.RightClick(1, 1);
    QCOMPARE(before, 1);
    QCOMPARE(f.grid->PopupMenu(), nullptr);
    QVERIFY(!f.grid->findChild<QMenu *>(QStringLiteral("POPMOpzioni")));
    QVERIFY(QApplication::activePopupWidget() == nullptr);
}

void tst_TKRTGrid::userMenuLinesReplaceGridMenu()
{
    TGridForm f(10);
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Vecchia"), 0);
    f.grid->UserMenu = QStringList{QStringLiteral("Prima"), QStringLiteral("Seconda")};
    f.grid->ShowUserMenu = true;
    f.grid->UserMenuPosition = umpKRTBottom;
    QVERIFY(f.grid->SetPopUpMenu());
    QCOMPARE(f.grid->GridMenu()->Count(), 2);
    QCOMPARE(f.grid->GridMenu()->GetItem(0)->Caption, QStringLiteral("Prima"));
    // At the bottom, after the standard entries and a separator.
    const QList<QAction *> actions = f.grid->PopupMenu()->actions();
    QCOMPARE(actions.at(actions.size() - 3)->objectName(), QStringLiteral("MNUSepUser"));
    QCOMPARE(actions.at(actions.size() - 2)->objectName(), QStringLiteral("MNUUser00"));
    QCOMPARE(actions.last()->text(), QStringLiteral("Seconda"));
    QCOMPARE(actions.first()->objectName(), QStringLiteral("MNUAddRow"));
}

void tst_TKRTGrid::standardMenuFollowsColumnUnderMouse()
{
    TGridForm f(10);
    f.grid->Sortable = true;
    const int col = f.grid->ColumnIndexByFieldName(QStringLiteral("txLocalita"));
    f.grid->SetColumnTitle(col, QStringLiteral("Località di consegna merci")); // 26 characters
    f.grid->SetPopUpMenu();
    f.RightClick(2, col);
    QVERIFY(f.grid->PopupMenu()->isVisible());
    QCOMPARE(f.Action(QStringLiteral("MNUHideCol"))->text(),
             QStringLiteral("Nascondi \"Località di conse...\""));
    QCOMPARE(f.Action(QStringLiteral("MNUSortAsc"))->text(),
             QStringLiteral("[A..Z]   \"Località di conse...\""));
    QCOMPARE(f.Action(QStringLiteral("MNUSortDesc"))->text(),
             QStringLiteral("[Z..A]   \"Località di conse...\""));
    QVERIFY(f.Action(QStringLiteral("MNUSortAsc"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUHideCol"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUZoom"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUExport"))->isVisible());
    // Without row events, print handler or layout file, those entries are hidden.
    for (const char *name : {"MNUAddRow",
                             "MNUModRow",
                             "MNUDelRow",
                             "MNUSep4",
                             "MNUPrint",
                             "MNUSaveColumns",
                             "MNULoadColumns",
                             "MNULoadDefColumns",
                             "MNUDeleteColumns"})
        QVERIFY2(!f.Action(QString::fromLatin1(name))->isVisible(), name);
    f.grid->PopupMenu()->close();

    // Events assigned show their entries; the standard menu is built at every popup.
    int adds = 0;
    f.grid->OnRowAddClick = [&adds](TKRTGrid *) { ++adds; };
    f.grid->OnPrintClick = [](TKRTGrid *) {};
    f.grid->AllowZoom = false;
    f.grid->Sortable = false;
    f.RightClick(2, col);
    QVERIFY(f.Action(QStringLiteral("MNUAddRow"))->isVisible());
    QVERIFY(!f.Action(QStringLiteral("MNUModRow"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUSep4"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUPrint"))->isVisible());
    QVERIFY(!f.Action(QStringLiteral("MNUZoom"))->isVisible());
    QVERIFY(!f.Action(QStringLiteral("MNUSortAsc"))->isVisible());
    f.Action(QStringLiteral("MNUAddRow"))->trigger();
    QCOMPARE(adds, 1);
    f.grid->PopupMenu()->close();

    // Right of the last column no column counts as under the mouse.
    f.grid->Sortable = true;
    f.grid->SortedColumns = QStringList{QStringLiteral("txCodCliente"), QStringLiteral("*STOP*")};
    f.grid->PaintSortedColumns();
    QTest::mouseClick(f.grid->viewport(),
                      Qt::RightButton,
                      {},
                      QPoint(f.grid->viewport()->width() - 3, f.grid->viewport()->height() - 3));
    QCOMPARE(f.grid->MouseColumn(), -1);
    QVERIFY(!f.Action(QStringLiteral("MNUHideCol"))->isVisible());
    QVERIFY(!f.Action(QStringLiteral("MNUSortAsc"))->isVisible());
    QVERIFY(f.Action(QStringLiteral("MNUSortMultiple"))->isVisible());
    f.grid->PopupMenu()->close();
}

void tst_TKRTGrid::standardSortAndColumnCommands()
{
    TGridForm f(60);
    f.grid->Sortable = true;
    const int col = f.grid->ColumnIndexByFieldName(QStringLiteral("nuPreventivi"));
    f.RightClick(5, col);
    f.Action(QStringLiteral("MNUSortDesc"))->trigger();
    QCOMPARE(f.data->Sort(), QStringLiteral("nuPreventivi DESC"));
    QCOMPARE(f.data->FieldByName(QStringLiteral("nuPreventivi")).AsInteger(), 16);
    QCOMPARE(f.grid->SortMarker(col), -1);
    f.grid->PopupMenu()->close();

    f.RightClick(1, col);
    f.Action(QStringLiteral("MNUHideCol"))->trigger();
    QVERIFY(f.grid->isColumnHidden(col));
    QVERIFY(!f.grid->Column(col).Visible);
    f.grid->PopupMenu()->close();
    f.RightClick(1, 0);
    f.Action(QStringLiteral("MNUShowCols"))->trigger();
    QVERIFY(!f.grid->isColumnHidden(col));
    f.grid->PopupMenu()->close();
}

void tst_TKRTGrid::sideBarIsMeasuredAndDrawn()
{
    TGridForm f(10);
    f.grid->Sortable = true;
    f.grid->OnRowAddClick = [](TKRTGrid *) {};
    f.grid->OnRowModClick = [](TKRTGrid *) {};
    f.grid->OnRowDelClick = [](TKRTGrid *) {};
    f.RightClick(1, 1);
    TKRTPopupMenu *popup = f.grid->PopupMenu();
    QTRY_VERIFY(popup->isVisible());
    // The default caption fits a menu this tall: the full text at its own size.
    QCOMPARE(popup->SideBarText(), QStringLiteral("Funzioni Disponibili"));
    QCOMPARE(popup->SideBarPointSize(), 10);
    QCOMPARE(popup->SideBarWidth(), QFontMetrics(f.grid->SideBarFont).height() + 4);
    // The items start after the bar and the menu is widened for it.
    for (QAction *a : popup->actions()) {
        if (a->isVisible()) {
            QCOMPARE(popup->actionGeometry(a).left(), popup->SideBarWidth());
            QVERIFY(popup->actionGeometry(a).right() < popup->width());
        }
    }
    const QImage shot = popup->grab().toImage();
    // The bar runs from navy at the top to blue at the bottom.
    const QColor top = shot.pixelColor(2, 2);
    const QColor bottom = shot.pixelColor(2, shot.height() - 3);
    QVERIFY(top.red() == 0 && top.green() == 0 && top.blue() < 0x90);
    QVERIFY(bottom.red() == 0 && bottom.green() == 0 && bottom.blue() > 0xF0);
    popup->close();

    // A caption too long even at 7 points is shortened with "...".
    f.grid->SideBarCaption = QString(200, QLatin1Char('W'));
    f.grid->SetPopUpMenu();
    f.RightClick(1, 1);
    popup = f.grid->PopupMenu();
    QVERIFY(popup->SideBarText().endsWith(QStringLiteral("...")));
    QVERIFY(popup->SideBarText().length() < 200);
    QCOMPARE(popup->SideBarPointSize(), 7);
    popup->close();

    // A menu of one entry has no room for a caption: a plain bar 20 pixels wide.
    f.grid->ShowStandardMenu = false;
    f.grid->ShowUserMenu = true;
    AddGridMenuItem(f.grid->GridMenu(), QStringLiteral("Uno"), 0);
    f.grid->SideBarCaption = QStringLiteral("Funzioni Disponibili");
    f.grid->SetPopUpMenu();
    f.RightClick(1, 1);
    QCOMPARE(f.grid->PopupMenu()->SideBarText(), QString());
    QCOMPARE(f.grid->PopupMenu()->SideBarWidth(), 20);
    f.grid->PopupMenu()->close();
}

void tst_TKRTGrid::shrinkNarrowsButNeverWidens()
{
    TGridForm f(500);
    const int den = f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    const int cod = f.grid->ColumnIndexByFieldName(QStringLiteral("txCodCliente"));
    f.grid->SetColumnWidth(den, 900);
    f.grid->SetColumnWidth(cod, 10);
    f.data->SetRecNo(321);
    f.grid->ShrinkColumnsWidth();
    const QFontMetrics fm(f.grid->font());
    int widest = fm.horizontalAdvance(QStringLiteral("Ragione Sociale")) + 25;
    for (int i = 0; i < 500; ++i)
        widest = qMax(widest, fm.horizontalAdvance(GridTestName(i)) + 25);
    QCOMPARE(f.grid->Column(den).Width, widest);
    QCOMPARE(f.grid->columnWidth(den), widest);
    QCOMPARE(f.grid->Column(cod).Width, 10);
    // The operator's row stays current.
    QCOMPARE(f.data->RecNo(), 321);
}

void tst_TKRTGrid::fitToContent_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("longest");  // replaces one name; empty: the test names
    QTest::addColumn<QString>("expected"); // "content" or "cap"
    QTest::newRow("too narrow: widened") << 10 << QString() << "content";
    QTest::newRow("too wide: narrowed") << 900 << QString() << "content";
    QTest::newRow("very long value: widened up to the cap")
        << 10 << QStringLiteral("Impianti ").repeated(30) << "cap";
}

void tst_TKRTGrid::fitToContent()
{
    QFETCH(int, before);
    QFETCH(QString, longest);
    QFETCH(QString, expected);
    TGridForm f(300);
    if (!longest.isEmpty()) {
        f.data->SetRecNo(7);
        f.data->Edit();
        f.data->FieldByName(QStringLiteral("txDenominazione")).SetValue(longest);
        f.data->Post();
    }
    const int den = f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    f.grid->SetColumnWidth(den, before);
    f.data->SetRecNo(123);
    f.grid->ShrinkColumnsWidth(true);
    // List rows may be drawn bold: the values are measured bold.
    QFont bold = f.grid->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    int widest = QFontMetrics(f.grid->font()).horizontalAdvance(QStringLiteral("Ragione Sociale"))
                 + 25;
    for (f.data->First(); !f.data->Eof(); f.data->Next())
        widest = qMax(widest, fm.horizontalAdvance(f.CurrentName()) + 25);
    const int cap = TKRTGrid::kMaxFitChars
                        * QFontMetrics(f.grid->font()).horizontalAdvance(QLatin1Char('0'))
                    + 4;
    QCOMPARE(f.grid->Column(den).Width, expected == QLatin1String("cap") ? cap : widest);
    QCOMPARE(f.grid->columnWidth(den), f.grid->Column(den).Width);
    // Without the option nothing is ever widened.
    f.grid->SetColumnWidth(den, 10);
    f.grid->ShrinkColumnsWidth();
    QCOMPARE(f.grid->Column(den).Width, 10);
}

void tst_TKRTGrid::valueWiderThanItsColumnShowsItsBeginning()
{
    // A centred column too narrow for its value: the text starts at the cell's left edge,
    // followed by an ellipsis, instead of losing both ends.
    TGridForm f(5);
    const int cod = f.grid->ColumnIndexByFieldName(QStringLiteral("txCodCliente"));
    f.grid->SetColumnAlignment(cod, Qt::AlignCenter);
    f.data->SetRecNo(2);
    f.data->Edit();
    f.data->FieldByName(QStringLiteral("txCodCliente")).SetValue(QStringLiteral("W").repeated(60));
    f.data->Post();
    f.grid->SetColumnWidth(cod, 80);
    f.grid->selectionModel()->clearSelection();
    f.grid->setCurrentIndex(f.grid->model()->index(4, 0));
    const QImage shot = f.grid->viewport()->grab().toImage();
    const QRect cell = f.grid->visualRect(f.grid->model()->index(1, cod));
    auto darkIn = [&shot](const QRect &r) {
        int n = 0;
        for (int x = r.left(); x <= r.right(); ++x) {
            for (int y = r.top(); y <= r.bottom(); ++y)
                n += qGray(shot.pixel(x, y)) < 128 ? 1 : 0;
        }
        return n;
    };
    const QFontMetrics fm(f.grid->font());
    // The first letter stands at the left margin.
    QVERIFY(darkIn(QRect(cell.left(),
                         cell.top(),
                         2 + fm.horizontalAdvance(QLatin1Char('W')),
                         cell.height()))
            > 0);
    // At the right end the ellipsis: dots on the base line, no letter cut through its height.
    const int dots = fm.horizontalAdvance(QStringLiteral("…"));
    const QRect end(cell.right() - 2 - dots + 1, cell.top(), dots, cell.height() / 2 - 1);
    QCOMPARE(darkIn(end), 0);
}

void tst_TKRTGrid::typeAheadLocatesInSelectedColumn()
{
    TGridForm f(100);
    f.grid->EnableCellFind = true;
    f.grid->ShowHintCellFind = true;
    f.data->SetSort(QStringLiteral("txDenominazione"));
    const int den = f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.CellCenter(0, den));
    f.grid->setFocus();
    QTest::keyClicks(f.grid, QStringLiteral("ro"));
    QCOMPARE(f.grid->SearchText(), QStringLiteral("ro"));
    QVERIFY(f.CurrentName().startsWith(QStringLiteral("Romano")));
    QCOMPARE(f.grid->toolTip(), QStringLiteral("ro"));
    QVERIFY(f.grid->findChild<QLabel *>(QStringLiteral("HintCellFind"))->isVisible());
    QTest::keyClicks(f.grid, QStringLiteral("s"));
    QVERIFY(f.CurrentName().startsWith(QStringLiteral("Rossi")));
    QCOMPARE(f.grid->currentIndex().row(), f.data->RecNo() - 1);
    // The hint goes after two seconds; after three the search starts again.
    QTRY_VERIFY_WITH_TIMEOUT(!f.grid->findChild<QLabel *>(QStringLiteral("HintCellFind"))
                                  ->isVisible(),
                             3000);
    QTest::qWait(1100);
    QTest::keyClicks(f.grid, QStringLiteral("v"));
    QCOMPARE(f.grid->SearchText(), QStringLiteral("v"));
    QVERIFY(f.CurrentName().startsWith(QStringLiteral("Verdi")));
}

void tst_TKRTGrid::drawingHooksAndInversion()
{
    TGridForm f(20);
    f.grid->SetRowSelect(true);
    int imageCalls = 0;
    f.grid->OnDrawColumnCell = [&f](TKRTGrid *, TKRTDrawCellArgs &a) {
        // Even record numbers grey; inactive rows red and bold.
        a.Background = ((a.Row + 1) % 2 == 0) ? QColor(0xF0, 0xF0, 0xF0) : QColor(Qt::white);
        if (!f.data->ValueAt(a.Row, 6).toBool()) {
            a.FontColor = Qt::red;
            a.Font.setBold(true);
        }
    };
    f.grid->OnDrawImageCell = [&imageCalls](TKRTGrid *, TKRTDrawCellArgs &a) {
        ++imageCalls;
        if (a.DataCol == 0 && a.Row == 2)
            a.Canvas->fillRect(QRect(a.Rect.topLeft() + QPoint(2, 1), QSize(4, 4)), Qt::green);
    };
    f.data->SetRecNo(1);
    const QImage shot = f.grid->viewport()->grab().toImage();
    QVERIFY(imageCalls > 0);
    const int x = f.grid->columnViewportPosition(3) + 3; // locality column, left padding
    auto at = [&](int row) { return shot.pixelColor(x, f.grid->rowViewportPosition(row) + 2); };
    QCOMPARE(at(1), QColor(0xF0, 0xF0, 0xF0)); // record 2
    QCOMPARE(at(2), QColor(Qt::white));        // record 3
    // The selected row 0 (inactive, red text on white) is drawn inverted: red background.
    QCOMPARE(at(0), QColor(Qt::red));
    const QRect r2 = f.grid->visualRect(f.grid->model()->index(2, 0));
    QCOMPARE(shot.pixelColor(r2.topLeft() + QPoint(3, 2)), QColor(Qt::green));
}

void tst_TKRTGrid::boolColumnsShowGlyphsAndToggle()
{
    TGridForm f(10);
    QPixmap yes(8, 8);
    yes.fill(Qt::blue);
    QPixmap no(8, 8);
    no.fill(Qt::yellow);
    f.grid->BoolEditColumns = QStringList{QStringLiteral("FLATTIVO")};
    f.grid->GlyphCheckedTrue = yes;
    f.grid->GlyphCheckedFalse = no;
    const int col = f.grid->ColumnIndexByFieldName(QStringLiteral("flAttivo"));
    f.grid->viewport()->update();
    QImage shot = f.grid->viewport()->grab().toImage();
    const QRect r0 = f.grid->visualRect(f.grid->model()->index(0, col));
    const QRect r1 = f.grid->visualRect(f.grid->model()->index(1, col));
    QCOMPARE(shot.pixelColor(r0.topLeft() + QPoint(5, 3)), QColor(Qt::yellow)); // row 0 false
    QCOMPARE(shot.pixelColor(r1.topLeft() + QPoint(5, 3)), QColor(Qt::blue));   // row 1 true

    // A click inverts the value and posts it.
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, r1.center());
    QCOMPARE(f.data->RecNo(), 2);
    QVERIFY(!f.data->FieldByName(QStringLiteral("flAttivo")).AsBoolean());
    QCOMPARE(f.data->State(), TDataSetState::Browse);
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, r1.center());
    QVERIFY(f.data->FieldByName(QStringLiteral("flAttivo")).AsBoolean());
    // Other columns are not toggled.
    const int num = f.grid->ColumnIndexByFieldName(QStringLiteral("nuPreventivi"));
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.CellCenter(1, num));
    QVERIFY(f.data->FieldByName(QStringLiteral("flAttivo")).AsBoolean());
}

void tst_TKRTGrid::zoomGridExShowsChosenFields()
{
    TGridForm f(30);
    f.grid->SortedColumns = QStringList{QStringLiteral("txCodCliente"),
                                        QStringLiteral("txNote"),
                                        QStringLiteral("txDenominazione"),
                                        QStringLiteral("dtMod"),
                                        QStringLiteral("*STOP*")};
    f.grid->PaintSortedColumnsEx();
    f.data->SetRecNo(6);
    // The list window shows only the information fields, zooms, then restores them.
    f.data->FieldByName(QStringLiteral("txCodCliente")).SetVisible(false);
    QWidget *w = f.grid->ZoomGridEx(QStringLiteral("Informazioni aggiuntive cliente selezionato"),
                                    400,
                                    700,
                                    600);
    f.data->FieldByName(QStringLiteral("txCodCliente")).SetVisible(true);
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(w->isModal());
    QCOMPARE(w->windowTitle(), QStringLiteral("Informazioni aggiuntive cliente selezionato"));
    QCOMPARE(w->width(), 400);
    QCOMPARE(w->minimumWidth(), 400);
    QCOMPARE(w->maximumWidth(), 700);
    auto *form = qobject_cast<TKRTZOOMGRIDEXFORM *>(w);
    QCOMPARE(int(form->Fields().size()), 2);
    TKRTLabelEdit *den = w->findChild<TKRTLabelEdit *>(QStringLiteral("FLD2"));
    TKRTLabelEdit *mod = w->findChild<TKRTLabelEdit *>(QStringLiteral("FLD3"));
    QVERIFY(den && mod);
    QVERIFY(!w->findChild<TKRTLabelEdit *>(QStringLiteral("FLD0")));
    QCOMPARE(den->CaptionString(), QStringLiteral("Ragione Sociale"));
    QCOMPARE(den->Text(), GridTestName(5));
    QVERIFY(den->ReadOnly());
    QCOMPARE(den->CaptionPosition(), cpKRTAbove);
    QVERIFY(mod->y() > den->y() + den->height());
    QCOMPARE(den->x(), 10);
    // Two fields end far above 600 pixels: the window shrinks to them and keeps that height.
    QVERIFY(w->height() < 600);
    QCOMPARE(w->minimumHeight(), w->height());
    QCOMPARE(w->maximumHeight(), w->height());
    w->close();
}

void tst_TKRTGrid::printEntryNeedsAHandler()
{
    TGridForm f(10);
    f.grid->ReportName = QStringLiteral("ElencoClienti");
    f.grid->Parameters.push_back({QStringLiteral("Titolo"), QStringLiteral("Clienti")});
    f.RightClick(1, 1);
    // Without the report engine's handler the entry is not offered.
    QVERIFY(!f.Action(QStringLiteral("MNUPrint"))->isVisible());
    f.grid->PopupMenu()->close();
    QString printed;
    TKRTGrid::SetPrintHandler([&printed](TKRTGrid *g) {
        printed = g->ReportName + QLatin1Char('/') + g->Parameters.front().Value.toString();
    });
    f.RightClick(1, 1);
    QVERIFY(f.Action(QStringLiteral("MNUPrint"))->isVisible());
    f.Action(QStringLiteral("MNUPrint"))->trigger();
    QCOMPARE(printed, QStringLiteral("ElencoClienti/Clienti"));
    f.grid->PopupMenu()->close();
    // The owner's print replaces it.
    int own = 0;
    f.grid->OnPrintClick = [&own](TKRTGrid *) { ++own; };
    printed.clear();
    f.RightClick(1, 1);
    f.Action(QStringLiteral("MNUPrint"))->trigger();
    QCOMPARE(own, 1);
    QVERIFY(printed.isEmpty());
    f.grid->PopupMenu()->close();
    TKRTGrid::SetPrintHandler(nullptr);
    QVERIFY(!TKRTGrid::HasPrintHandler());
}

void tst_TKRTGrid::balloonWithoutNotificationArea()
{
    TGridForm f(20);
    f.grid->EnableCellFind = true;
    f.grid->ShowBallonCellFind = true;
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.CellCenter(0, 1));
    f.grid->setFocus();
    QTest::keyClicks(f.grid, QStringLiteral("g"));
    auto *hint = f.grid->findChild<QLabel *>(QStringLiteral("HintCellFind"));
    // The offscreen platform has no notification area: the failure is said in the hint.
    QCOMPARE(hint->text(), QStringLiteral("creazione fallita"));
    QVERIFY(f.CurrentName().startsWith(QStringLiteral("Greco")));
    f.grid->FormActive_Disable();
    QVERIFY(!hint->isVisible());
}

void tst_TKRTGrid::exportWritesVisibleColumns()
{
    QTemporaryDir dir;
    TGridForm f(0);
    f.grid->SetDataSet(nullptr);
    f.data = MakeGridTestData(3);
    f.data->SetRecNo(2);
    f.data->Edit();
    f.data->FieldByName(QStringLiteral("txDenominazione"))
        .SetValue(QStringLiteral("  Officine \"Alfa\" srl "));
    f.data->Post();
    f.grid->SortedColumns = QStringList{QStringLiteral("txCodCliente"),
                                        QStringLiteral("txDenominazione"),
                                        QStringLiteral("txLocalita"),
                                        QStringLiteral("vlFatturato"),
                                        QStringLiteral("flAttivo"),
                                        QStringLiteral("dtMod"),
                                        QStringLiteral("*STOP*")};
    f.grid->SetDataSet(f.data.get());
    f.grid->PaintSortedColumnsEx();
    f.grid->HideColumn(f.grid->ColumnIndexByFieldName(QStringLiteral("flAttivo")));
    f.grid->ExportFileName = dir.filePath(QStringLiteral("clienti.txt"));
    QVERIFY(f.grid->ExportGrid());
    QFile file(f.grid->ExportFileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(file.readAll());
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5); // header, three rows, the empty tail after the last CR LF
    QCOMPARE(lines.at(0), QStringLiteral("Codice;Ragione Sociale;Località;Fatturato;Modificato il"));
    QCOMPARE(lines.at(1), QStringLiteral("\"C00000\";\"Rossi Impianti 0\";;0;01/01/2024"));
    QCOMPARE(lines.at(2),
             QStringLiteral("\"C00001\";\"Officine \"Alfa\" srl\";\"Località 1\";10,5;02/01/2024"));
    QCOMPARE(lines.at(4), QString());

    // Another delimiter; an empty dataset gives an empty file.
    f.grid->ExportDelimiter = QStringLiteral("|");
    QVERIFY(f.grid->ExportGrid());
    QVERIFY(file.seek(0));
    QVERIFY(QString::fromLocal8Bit(file.readAll()).startsWith(QStringLiteral("Codice|Ragione")));
    f.data->EmptyDataSet();
    QVERIFY(f.grid->ExportGrid());
    QCOMPARE(QFileInfo(f.grid->ExportFileName).size(), 0);
}

void tst_TKRTGrid::exportToUnwritableTargetFails()
{
    QTemporaryDir dir;
    TDialogRecorder recorder;
    TGridForm f(5);
    // A path below a plain file can never be created.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    recorder.QueueAnswer(true, dir.filePath(QStringLiteral("file/elenco.txt")));
    f.RightClick(0, 0);
    f.Action(QStringLiteral("MNUExport"))->trigger();
    QCOMPARE(recorder.LastText(TDialogKind::SaveFile), QStringLiteral("Esporta con nome"));
    QCOMPARE(recorder.RequestsOf(TDialogKind::SaveFile).first().filter,
             QStringLiteral("Text files (*.txt)"));
    QCOMPARE(recorder.LastText(TDialogKind::Error),
             QStringLiteral("Esportazione Fallita !!! (Probabile File In Uso)"));
    QCOMPARE(recorder.Count(TDialogKind::Info), 0);
    // The grid is still usable: the next export, without extension, succeeds as ".txt".
    f.grid->PopupMenu()->close();
    recorder.QueueAnswer(true, dir.filePath(QStringLiteral("elenco")));
    f.RightClick(0, 0);
    f.Action(QStringLiteral("MNUExport"))->trigger();
    QCOMPARE(recorder.LastText(TDialogKind::Info), QStringLiteral("Esportazione Completata."));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("elenco.txt"))));
    QCOMPARE(f.grid->ExportFileName, dir.filePath(QStringLiteral("elenco.txt")));
    f.grid->PopupMenu()->close();
}

QTEST_MAIN(tst_TKRTGrid)
#include "tst_tkrtgrid.moc"
