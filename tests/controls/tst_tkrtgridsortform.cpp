// The grid's multi-column sort dialog opened from the standard menu.

#include "controls/tkrtgrid.h"
#include "controls/tkrtgridsortform.h"
#include "tests/controls/gridtestdata.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

class tst_TKRTGridSortForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void levelsOfferEligibleColumns();
    void sortKeepsTheCurrentRow();
    void resetAndCancel();

private:
    TKRTGRIDSORTFORM *Open();
    void Choose(TKRTGRIDSORTFORM *form, int level, const QString &title, bool descending);

    TDialogRecorder m_noModal; // no test ever waits on a message window
    std::unique_ptr<TDataSet> m_data;
    std::unique_ptr<QWidget> m_window;
    TKRTGrid *m_grid = nullptr;
};

void tst_TKRTGridSortForm::init()
{
    m_data = MakeGridTestData(60);
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_grid = new TKRTGrid(m_window.get());
    layout->addWidget(m_grid);
    m_grid->SetDataSet(m_data.get());
    m_grid->Sortable = true;
    m_window->resize(900, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_TKRTGridSortForm::cleanup()
{
    m_grid->SetDataSet(nullptr);
    m_window.reset();
    m_data.reset();
}

TKRTGRIDSORTFORM *tst_TKRTGridSortForm::Open()
{
    const QPoint p = m_grid->visualRect(m_grid->model()->index(0, 0)).center();
    QTest::mouseClick(m_grid->viewport(), Qt::RightButton, {}, p);
    QAction *multi = m_grid->PopupMenu()->findChild<QAction *>(QStringLiteral("MNUSortMultiple"));
    multi->trigger();
    m_grid->PopupMenu()->close();
    return m_grid->findChild<TKRTGRIDSORTFORM *>(QStringLiteral("TKRTGRIDSORTFORM"));
}

void tst_TKRTGridSortForm::Choose(TKRTGRIDSORTFORM *form,
                                  int level,
                                  const QString &title,
                                  bool descending)
{
    auto *fields = form->findChild<QComboBox *>(QStringLiteral("CB_Fields_%1").arg(level));
    fields->setCurrentIndex(fields->findText(title));
    QCOMPARE(fields->currentText(), title);
    form->findChild<QComboBox *>(QStringLiteral("CB_Sort_%1").arg(level))
        ->setCurrentIndex(descending ? 1 : 0);
}

void tst_TKRTGridSortForm::levelsOfferEligibleColumns()
{
    m_grid->HideColumn(m_grid->ColumnIndexByFieldName(QStringLiteral("txLocalita")));
    TKRTGRIDSORTFORM *form = Open();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Ordina Per ..."));
    auto *fields = form->findChild<QComboBox *>(QStringLiteral("CB_Fields_5"));
    QStringList titles;
    for (int i = 0; i < fields->count(); ++i)
        titles << fields->itemText(i);
    // First an empty line; no flag column, no hidden column.
    QCOMPARE(titles,
             (QStringList{
                 "", "Codice", "Ragione Sociale", "N° preventivi", "Fatturato", "Modificato il"}));
    auto *dir = form->findChild<QComboBox *>(QStringLiteral("CB_Sort_1"));
    QCOMPARE(dir->itemText(0), QStringLiteral("[ A .. Z ]"));
    QCOMPARE(dir->itemText(1), QStringLiteral("[ Z .. A ]"));
    form->close();
}

void tst_TKRTGridSortForm::sortKeepsTheCurrentRow()
{
    TKRTGRIDSORTFORM *form = Open();
    m_data->SetRecNo(25);
    const QString id = m_data->FieldByName(QStringLiteral("idCliente")).AsString();
    Choose(form, 1, QStringLiteral("N° preventivi"), true);
    Choose(form, 3, QStringLiteral("Ragione Sociale"), false); // level 2 left empty
    QCOMPARE(form->SortText(), QStringLiteral("nuPreventivi DESC, txDenominazione ASC"));
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PB_Sort")), Qt::LeftButton);
    QCOMPARE(m_data->Sort(), QStringLiteral("nuPreventivi DESC, txDenominazione ASC"));
    QCOMPARE(m_data->FieldByName(QStringLiteral("idCliente")).AsString(), id);
    QCOMPARE(m_grid->currentIndex().row(), m_data->RecNo() - 1);
    QCOMPARE(m_data->ValueAt(0, 4).toInt(), 16);
    QTRY_VERIFY(!m_grid->findChild<TKRTGRIDSORTFORM *>());
}

void tst_TKRTGridSortForm::resetAndCancel()
{
    m_data->SetSort(QStringLiteral("txCodCliente"));
    TKRTGRIDSORTFORM *form = Open();
    Choose(form, 2, QStringLiteral("Fatturato"), true);
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PB_Reset")), Qt::LeftButton);
    QCOMPARE(form->SortText(), QString());
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(form->findChild<QComboBox *>(QStringLiteral("CB_Fields_%1").arg(i))->currentIndex(),
                 0);
    }
    // No level chosen: "Ordina" leaves the order alone.
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PB_Sort")), Qt::LeftButton);
    QCOMPARE(m_data->Sort(), QStringLiteral("txCodCliente"));

    form = Open();
    Choose(form, 1, QStringLiteral("Fatturato"), true);
    QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("PB_Cancel")), Qt::LeftButton);
    QCOMPARE(m_data->Sort(), QStringLiteral("txCodCliente"));
}

QTEST_MAIN(tst_TKRTGridSortForm)
#include "tst_tkrtgridsortform.moc"
