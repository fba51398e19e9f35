// The grid's find dialog opened from the standard menu and driven by its controls.

#include "controls/tkrtgrid.h"
#include "controls/tkrtgridfindform.h"
#include "controls/tkrtlabeledit.h"
#include "tests/controls/gridtestdata.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct TFindFixture
{
    explicit TFindFixture(int rows)
    {
        data = MakeGridTestData(rows);
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("TFINDFORM"));
        auto *layout = new QVBoxLayout(window.get());
        grid = new TKRTGrid(window.get());
        grid->setObjectName(QStringLiteral("DG_Lista"));
        layout->addWidget(grid);
        grid->SetDataSet(data.get());
        window->resize(900, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    ~TFindFixture() { grid->SetDataSet(nullptr); }

    // Opens the dialog from the popup of a cell in the given column.
    TKRTGRIDFINDFORM *Open(int column)
    {
        const QPoint p = grid->visualRect(grid->model()->index(0, column)).center();
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, p);
        grid->PopupMenu()->findChild<QAction *>(QStringLiteral("MNUFind"))->trigger();
        grid->PopupMenu()->close();
        return grid->findChild<TKRTGRIDFINDFORM *>(QStringLiteral("TKRTGRIDFINDFORM"));
    }
    static void Search(TKRTGRIDFINDFORM *form,
                       const QString &field,
                       const QString &comparison,
                       const QString &text)
    {
        auto *fields = form->findChild<QComboBox *>(QStringLiteral("CBFields"));
        fields->setCurrentIndex(fields->findText(field));
        auto *type = form->findChild<QComboBox *>(QStringLiteral("CBFindType"));
        type->setCurrentIndex(type->findText(comparison));
        auto *ef = form->findChild<TKRTLabelEdit *>(QStringLiteral("EFText"));
        ef->SetFocus();
        ef->Edit()->selectAll();
        QTest::keyClicks(ef->Edit(), text);
        FindNext(form);
    }
    static void FindNext(TKRTGRIDFINDFORM *form)
    {
        QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PBFind")), Qt::LeftButton);
    }
    int CurrentIndex() const
    {
        return data->FieldByName(QStringLiteral("idCliente")).AsString().mid(4, 6).toInt();
    }

    std::unique_ptr<TDataSet> data;
    std::unique_ptr<QWidget> window;
    TKRTGrid *grid = nullptr;
};

} // namespace

class tst_TKRTGridFindForm : public QObject
{
    Q_OBJECT

    TDialogRecorder m_noModal; // no test ever waits on a message window

private Q_SLOTS:
    void filterTexts_data();
    void filterTexts();
    void opensOnColumnUnderMouse();
    void findNextWalksAndWraps();
    void comparisonsByFieldType();
    void noMatchAndApostrophes();
    void historyIsKeptByTheGrid();
    void rowsHiddenByTheGridFilterAreSkipped();
};

void tst_TKRTGridFindForm::filterTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filter");

    QTest::newRow("starts") << int(TFieldType::Text) << "Inizia con"
                            << "ros"
                            << "txA LIKE 'ros%'";
    QTest::newRow("contains") << int(TFieldType::Text) << "Contiene"
                              << "imp"
                              << "txA LIKE '%imp%'";
    QTest::newRow("equal") << int(TFieldType::Text) << "Uguale"
                           << "Rossi"
                           << "txA LIKE 'Rossi'";
    QTest::newRow("apostrophe doubled") << int(TFieldType::Text) << "Inizia con"
                                        << "D'An"
                                        << "txA LIKE 'D''An%'";
    QTest::newRow("number less") << int(TFieldType::Integer) << "Minore"
                                 << "15"
                                 << "txA < 15";
    QTest::newRow("number with comma") << int(TFieldType::Real) << "Maggiore"
                                       << "12,50"
                                       << "txA > 12.5";
    QTest::newRow("date") << int(TFieldType::DateTime) << "Uguale"
                          << "05/01/2024"
                          << "txA = #05/01/2024#";
}

void tst_TKRTGridFindForm::filterTexts()
{
    QFETCH(int, type);
    QFETCH(QString, comparison);
    QFETCH(QString, text);
    QFETCH(QString, filter);
    QCOMPARE(TKRTGRIDFINDFORM::BuildFilter(QStringLiteral("txA"), type, comparison, text), filter);
}

void tst_TKRTGridFindForm::opensOnColumnUnderMouse()
{
    TFindFixture f(20);
    TKRTGRIDFINDFORM *form = f.Open(f.grid->ColumnIndexByFieldName(QStringLiteral("txLocalita")));
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("Trova"));
    auto *fields = form->findChild<QComboBox *>(QStringLiteral("CBFields"));
    QCOMPARE(fields->currentText(), QStringLiteral("Località"));
    // Flag columns are not offered.
    QCOMPARE(fields->findText(QStringLiteral("Attivo")), -1);
    QCOMPARE(fields->count(), 6);
    auto *type = form->findChild<QComboBox *>(QStringLiteral("CBFindType"));
    QCOMPARE(type->count(), 3);
    QCOMPARE(type->itemText(0), QStringLiteral("Inizia con"));
    fields->setCurrentIndex(fields->findText(QStringLiteral("Modificato il")));
    QCOMPARE(type->itemText(2), QStringLiteral("Maggiore"));
    QCOMPARE(form->findChild<TKRTLabelEdit *>(QStringLiteral("EFText"))->Template(), tpKRTDate);
    // One dialog at a time.
    QCOMPARE(f.grid->ShowFindDialog(), form);
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PBCancel")), Qt::LeftButton);
    QTRY_VERIFY(!f.grid->findChild<TKRTGRIDFINDFORM *>());
}

void tst_TKRTGridFindForm::findNextWalksAndWraps()
{
    TFindFixture f(40);
    TKRTGRIDFINDFORM *form = f.Open(
        f.grid->ColumnIndexByFieldName(QStringLiteral("txDenominazione")));
    // "Rossi" names are rows 0, 10, 20, 30.
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("rossi"));
    QCOMPARE(f.CurrentIndex(), 0);
    QList<int> walk;
    for (int i = 0; i < 4; ++i) {
        TFindFixture::FindNext(form);
        walk << f.CurrentIndex();
    }
    QCOMPARE(walk, (QList<int>{10, 20, 30, 0}));
    QCOMPARE(f.grid->currentIndex().row(), 0);

    // The walk follows the grid's order.
    f.data->SetSort(QStringLiteral("txCodCliente DESC"));
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Contiene"),
                         QStringLiteral("impianti 2"));
    QCOMPARE(f.CurrentIndex(), 29);
    TFindFixture::FindNext(form);
    QCOMPARE(f.CurrentIndex(), 28);
    QCOMPARE(f.grid->currentIndex().row(), f.data->RecNo() - 1);
}

void tst_TKRTGridFindForm::comparisonsByFieldType()
{
    TDialogRecorder recorder;
    TFindFixture f(40);
    TKRTGRIDFINDFORM *form = f.Open(0);
    TFindFixture::Search(form,
                         QStringLiteral("N° preventivi"),
                         QStringLiteral("Maggiore"),
                         QStringLiteral("15"));
    QCOMPARE(recorder.LastText(TDialogKind::Error), QString());
    QCOMPARE(f.CurrentIndex(), 16);
    TFindFixture::Search(form,
                         QStringLiteral("Fatturato"),
                         QStringLiteral("Uguale"),
                         QStringLiteral("94,5"));
    QCOMPARE(recorder.LastText(TDialogKind::Error), QString());
    QCOMPARE(f.CurrentIndex(), 9);
    TFindFixture::Search(form,
                         QStringLiteral("Modificato il"),
                         QStringLiteral("Uguale"),
                         QStringLiteral("050124"));
    QCOMPARE(recorder.LastText(TDialogKind::Error), QString());
    QCOMPARE(f.CurrentIndex(), 4);
    TFindFixture::Search(form,
                         QStringLiteral("Modificato il"),
                         QStringLiteral("Minore"),
                         QStringLiteral("03/01/2024"));
    QCOMPARE(f.CurrentIndex(), 0);
    TFindFixture::FindNext(form);
    QCOMPARE(f.CurrentIndex(), 1);
}

void tst_TKRTGridFindForm::noMatchAndApostrophes()
{
    TDialogRecorder recorder;
    TFindFixture f(20);
    f.data->SetRecNo(8);
    f.data->Edit();
    f.data->FieldByName(QStringLiteral("txDenominazione")).SetValue(QStringLiteral("D'Angelo srl"));
    f.data->Post();
    TKRTGRIDFINDFORM *form = f.Open(1);
    f.data->SetRecNo(3);
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("zzz"));
    QCOMPARE(recorder.LastText(TDialogKind::Info), QStringLiteral("Nessun Elemento Trovato."));
    QCOMPARE(f.data->RecNo(), 3);
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("d'angelo"));
    QCOMPARE(f.data->RecNo(), 8);
    QCOMPARE(recorder.Count(TDialogKind::Error), 0);
    // An empty text does nothing.
    auto *ef = form->findChild<TKRTLabelEdit *>(QStringLiteral("EFText"));
    ef->SetText(QString());
    f.data->SetRecNo(2);
    TFindFixture::FindNext(form);
    QCOMPARE(f.data->RecNo(), 2);
    form->close();
}

void tst_TKRTGridFindForm::historyIsKeptByTheGrid()
{
    TFindFixture f(20);
    TKRTGRIDFINDFORM *form = f.Open(1);
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("verdi"));
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("greco"));
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Contiene"),
                         QStringLiteral("verdi"));
    form->close();
    QTRY_VERIFY(!f.grid->findChild<TKRTGRIDFINDFORM *>());
    QCOMPARE(f.grid->FindHistory(), (QStringList{"verdi", "greco"}));
    form = f.Open(1);
    auto *texts = form->findChild<QComboBox *>(QStringLiteral("CBTexts"));
    QCOMPARE(texts->count(), 2);
    // Choosing a history line copies it into the text field.
    Q_EMIT texts->activated(1);
    QCOMPARE(form->findChild<TKRTLabelEdit *>(QStringLiteral("EFText"))->Text(),
             QStringLiteral("greco"));
    form->close();
}

void tst_TKRTGridFindForm::rowsHiddenByTheGridFilterAreSkipped()
{
    TFindFixture f(40);
    f.data->SetFilter(QStringLiteral("nuPreventivi > 5"));
    f.data->SetFiltered(true);
    TKRTGRIDFINDFORM *form = f.Open(1);
    // Rossi rows 0 (nuPreventivi 0), 10 (10), 20 (3), 30 (13): only 10 and 30 are shown.
    TFindFixture::Search(form,
                         QStringLiteral("Ragione Sociale"),
                         QStringLiteral("Inizia con"),
                         QStringLiteral("rossi"));
    QCOMPARE(f.CurrentIndex(), 10);
    TFindFixture::FindNext(form);
    QCOMPARE(f.CurrentIndex(), 30);
    TFindFixture::FindNext(form);
    QCOMPARE(f.CurrentIndex(), 10);
    form->close();
}

QTEST_MAIN(tst_TKRTGridFindForm)
#include "tst_tkrtgridfindform.moc"
