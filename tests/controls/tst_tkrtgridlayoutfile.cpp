// Column layouts saved per user: the files, the grid's menu entries, damaged and stale files.

#include "common/sessioninfo.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridlayoutfile.h"
#include "tests/controls/gridtestdata.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A list window as it is opened: dataset, columns from SortedColumns, then layouts on.
struct TLayoutForm
{
    explicit TLayoutForm(TDataSet *data)
    {
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("TLAYOUTFORM"));
        auto *layout = new QVBoxLayout(window.get());
        grid = new TKRTGrid(window.get());
        grid->setObjectName(QStringLiteral("DG_Clienti"));
        layout->addWidget(grid);
        grid->SetDataSet(data);
        grid->SortedColumns = QStringList{QStringLiteral("txCodCliente"),
                                          QStringLiteral("txDenominazione"),
                                          QStringLiteral("txLocalita"),
                                          QStringLiteral("dtMod"),
                                          QStringLiteral("*STOP*")};
        grid->PaintSortedColumnsEx();
        grid->SetEnableUserLayOut(true);
        window->resize(800, 300);
        window->show();
    }
    ~TLayoutForm() { grid->SetDataSet(nullptr); }
    QStringList Fields() const
    {
        QStringList out;
        for (const TKRTGridColumn &c : grid->Columns())
            out << c.FieldName + (c.Visible ? QString() : QStringLiteral("(h)"));
        return out;
    }
    QAction *Menu(const QString &name)
    {
        QTest::mouseClick(grid->viewport(),
                          Qt::RightButton,
                          {},
                          grid->visualRect(grid->model()->index(0, 0)).center());
        QAction *a = grid->PopupMenu()->findChild<QAction *>(name);
        grid->PopupMenu()->close();
        return a;
    }

    std::unique_ptr<QWidget> window;
    TKRTGrid *grid = nullptr;
};

} // namespace

class tst_TKRTGridLayoutFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void fileRoundTrip();
    void damagedFilesAreRecognised_data();
    void damagedFilesAreRecognised();
    void userLayoutSavedAndRestored();
    void damagedUserFileFallsBackToDefault();
    void userFileFromOlderColumnSetFallsBack();
    void noUserMeansNoUserFile();
    void unusableFolderSwitchesLayoutsOff();

private:
    QString SettingsFile(const QString &prefix) const;

    TDialogRecorder m_noModal;
    QTemporaryDir m_home;
    std::unique_ptr<TDataSet> m_data;
};

void tst_TKRTGridLayoutFile::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
}

void tst_TKRTGridLayoutFile::init()
{
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
    SessionInfo().sUserName = QStringLiteral("MARIO");
    m_data = MakeGridTestData(30);
    QDir(m_home.filePath(QStringLiteral("Settings"))).removeRecursively();
}

QString tst_TKRTGridLayoutFile::SettingsFile(const QString &prefix) const
{
    return m_home.filePath(QStringLiteral("Settings/") + prefix
                           + QStringLiteral("TST_TKRTGRIDLAYOUTFILE_TLAYOUTFORM_DG_CLIENTI.Grid"));
}

void tst_TKRTGridLayoutFile::fileRoundTrip()
{
    std::vector<TKRTGridColumn> cols(2);
    cols[0].FieldName = QStringLiteral("txA");
    cols[0].Title = QStringLiteral("Titolo \"A\"");
    cols[0].Width = 123;
    cols[0].Visible = false;
    cols[0].Alignment = Qt::AlignRight | Qt::AlignVCenter;
    cols[1].FieldName = QStringLiteral("dtB");
    cols[1].TitleAlignment = Qt::AlignCenter;
    const QString path = m_home.filePath(QStringLiteral("prova.Grid"));
    QVERIFY(TKRTGridLayoutFile::Write(path, cols));
    std::vector<TKRTGridColumn> back;
    QCOMPARE(TKRTGridLayoutFile::Read(path, &back), TKRTGridLayoutFile::Loaded);
    QCOMPARE(int(back.size()), 2);
    QCOMPARE(back[0].FieldName, QStringLiteral("txA"));
    QCOMPARE(back[0].Title, QStringLiteral("Titolo \"A\""));
    QCOMPARE(back[0].Width, 123);
    QVERIFY(!back[0].Visible);
    QCOMPARE(back[0].Alignment, Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(back[1].TitleAlignment, Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(TKRTGridLayoutFile::Read(m_home.filePath(QStringLiteral("nessuno.Grid")), &back),
             TKRTGridLayoutFile::Missing);
}

void tst_TKRTGridLayoutFile::damagedFilesAreRecognised_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray("\x01\x02not a layout");
    QTest::newRow("truncated") << QByteArray("{\"format\":\"VentorelGridLayout\",\"version\":1,");
    QTest::newRow("other json") << QByteArray("{\"columns\":[]}");
    QTest::newRow("column without field")
        << QByteArray("{\"format\":\"VentorelGridLayout\",\"version\":1,\"columns\":[{}]}");
    QTest::newRow("empty file") << QByteArray();
}

void tst_TKRTGridLayoutFile::damagedFilesAreRecognised()
{
    QFETCH(QByteArray, content);
    const QString path = m_home.filePath(QStringLiteral("rotto.Grid"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    std::vector<TKRTGridColumn> back;
    QCOMPARE(TKRTGridLayoutFile::Read(path, &back), TKRTGridLayoutFile::Damaged);
}

void tst_TKRTGridLayoutFile::userLayoutSavedAndRestored()
{
    QStringList defaultFields;
    {
        TLayoutForm f(m_data.get());
        defaultFields = f.Fields();
        // The default layout is written when the data arrive; the user file only on request.
        QCOMPARE(f.grid->DefaultFileName(), SettingsFile(QString()));
        QCOMPARE(f.grid->UserFileName(), SettingsFile(QStringLiteral("MARIO_")));
        QVERIFY(QFileInfo::exists(SettingsFile(QString())));
        QVERIFY(!QFileInfo::exists(SettingsFile(QStringLiteral("MARIO_"))));
        QVERIFY(f.Menu(QStringLiteral("MNUSaveColumns"))->isVisible());

        f.grid->SetColumnWidth(1, 333);
        f.grid->HideColumn(2);
        std::vector<TKRTGridColumn> cols = f.grid->Columns();
        std::swap(cols[0], cols[3]);
        f.grid->SetColumns(cols);
        f.Menu(QStringLiteral("MNUSaveColumns"))->trigger();
        QVERIFY(QFileInfo::exists(SettingsFile(QStringLiteral("MARIO_"))));
    }
    // The window opened again finds the operator's layout.
    TLayoutForm f(m_data.get());
    QCOMPARE(f.Fields(), (QStringList{"dtMod", "txDenominazione", "txLocalita(h)", "txCodCliente"}));
    QCOMPARE(f.grid->Column(1).Width, 333);
    QCOMPARE(f.grid->columnWidth(1), 333);
    QVERIFY(f.grid->isColumnHidden(2));
    QCOMPARE(f.grid->model()->rowCount(), 30);

    // "Aspetto Predefinito" and "Carica Aspetto" switch between the two files.
    f.Menu(QStringLiteral("MNULoadDefColumns"))->trigger();
    QCOMPARE(f.Fields(), defaultFields);
    f.Menu(QStringLiteral("MNULoadColumns"))->trigger();
    QCOMPARE(f.Fields().first(), QStringLiteral("dtMod"));
    // "Elimina Aspetto" deletes the operator's file and goes back to the default.
    f.Menu(QStringLiteral("MNUDeleteColumns"))->trigger();
    QVERIFY(!QFileInfo::exists(SettingsFile(QStringLiteral("MARIO_"))));
    QCOMPARE(f.Fields(), defaultFields);
    // Another operator has a layout of his own.
    SessionInfo().sUserName = QStringLiteral("LUCIA");
    TLayoutForm other(m_data.get());
    QCOMPARE(other.grid->UserFileName(), SettingsFile(QStringLiteral("LUCIA_")));
    f.grid->DeleteDefaultLayout();
    QVERIFY(!QFileInfo::exists(SettingsFile(QString())));
}

void tst_TKRTGridLayoutFile::damagedUserFileFallsBackToDefault()
{
    TDialogRecorder recorder;
    QStringList defaultFields;
    {
        TLayoutForm f(m_data.get());
        defaultFields = f.Fields();
    }
    QFile file(SettingsFile(QStringLiteral("MARIO_")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[colonne]\nrotto");
    file.close();
    TLayoutForm f(m_data.get());
    QCOMPARE(recorder.Count(TDialogKind::Warning), 1);
    QVERIFY(recorder.LastText(TDialogKind::Warning).contains(QStringLiteral("danneggiato")));
    QVERIFY(recorder.LastText(TDialogKind::Warning).contains(QStringLiteral("MARIO_")));
    QVERIFY(!file.exists());
    QCOMPARE(f.Fields(), defaultFields);
    // Still a working grid: rows, sorting, saving a new layout.
    QCOMPARE(f.grid->model()->rowCount(), 30);
    f.grid->TitleClick(1);
    QCOMPARE(m_data->Sort(), QStringLiteral("txDenominazione ASC"));
    QVERIFY(f.grid->SaveUserLayout());
    QVERIFY(file.exists());
}

void tst_TKRTGridLayoutFile::userFileFromOlderColumnSetFallsBack()
{
    TDialogRecorder recorder;
    std::vector<TKRTGridColumn> old(2);
    old[0].FieldName = QStringLiteral("txCodCliente");
    old[1].FieldName = QStringLiteral("txVecchioCampo"); // no longer in the list
    QDir().mkpath(m_home.filePath(QStringLiteral("Settings")));
    QVERIFY(TKRTGridLayoutFile::Write(SettingsFile(QStringLiteral("MARIO_")), old));
    TLayoutForm f(m_data.get());
    QCOMPARE(recorder.Count(TDialogKind::Warning), 1);
    QVERIFY(!QFileInfo::exists(SettingsFile(QStringLiteral("MARIO_"))));
    QCOMPARE(f.Fields(), (QStringList{"txCodCliente", "txDenominazione", "txLocalita", "dtMod"}));

    // A layout naming a field that is no longer visible is stale too.
    old[1].FieldName = QStringLiteral("txNote");
    QVERIFY(TKRTGridLayoutFile::Write(SettingsFile(QStringLiteral("MARIO_")), old));
    recorder.Clear();
    QVERIFY(!f.grid->LoadUserLayout());
    QCOMPARE(recorder.Count(TDialogKind::Warning), 1);
    QCOMPARE(f.Fields().size(), 4);
}

void tst_TKRTGridLayoutFile::noUserMeansNoUserFile()
{
    SessionInfo().sUserName.clear();
    TLayoutForm f(m_data.get());
    QVERIFY(f.grid->UserFileName().isEmpty());
    QVERIFY(!QFileInfo::exists(SettingsFile(QString())));
    QVERIFY(!f.Menu(QStringLiteral("MNUSaveColumns"))->isVisible());
    QVERIFY(f.Menu(QStringLiteral("MNULayout"))->isVisible()); // column configuration
    QVERIFY(!f.grid->SaveUserLayout());
    // A grid-level user identifier stands in for the operator.
    f.grid->UserId = QStringLiteral("SERVIZIO");
    f.grid->SetEnableUserLayOut(true);
    QCOMPARE(f.grid->UserFileName(), SettingsFile(QStringLiteral("SERVIZIO_")));
    f.grid->SetDataSet(nullptr);
    QVERIFY(f.grid->UserFileName().isEmpty());
}

void tst_TKRTGridLayoutFile::unusableFolderSwitchesLayoutsOff()
{
    // The program folder is a plain file: "Settings" cannot be made under it.
    const QString blocker = m_home.filePath(QStringLiteral("blocco"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("VENTOREL_HOME", blocker.toUtf8());
    TDialogRecorder recorder;
    TLayoutForm f(m_data.get());
    QVERIFY(f.grid->UserFileName().isEmpty());
    QCOMPARE(recorder.Requests().size(), 0);
    QCOMPARE(f.grid->model()->rowCount(), 30);
}

QTEST_MAIN(tst_TKRTGridLayoutFile)
#include "tst_tkrtgridlayoutfile.moc"
