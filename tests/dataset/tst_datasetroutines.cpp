#include "common/formats.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "sampledataset.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QThread>

namespace {

// Counts how many times pending events were dispatched: the copy hook posts one event when
// none is pending, and each dispatch round delivers it.
class TDispatchCounter : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        pending = false;
        ++rounds;
        return true;
    }
    void PostIfIdle()
    {
        if (pending)
            return;
        pending = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    bool pending = false;
    int rounds = 0;
};

std::unique_ptr<TDataSet> EmptyCopyOf(const TDataSet &source)
{
    std::unique_ptr<TDataSet> dest;
    CreateMemoryCopy(dest, source, true);
    return dest;
}

} // namespace

class TestDataSetRoutines : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ClearCopyHooks(); }
    void createMemoryCopy();
    void copyAllRecordsBulk();
    void copyAllRecordsWithHooks();
    void copyAllRecordsMove();
    void formatSettingsForgetHooks();
    void copyAllRecordsKeepsInterfacePainted();
    void copyRecordFields_data();
    void copyRecordFields();
    void copyRecordFieldsAttributes();
    void showOnlyFields();
    void countFilteredRecords_data();
    void countFilteredRecords();
    void deleteFilteredRecords();
};

void TestDataSetRoutines::createMemoryCopy()
{
    auto src = MakeSampleDataSet();
    TFieldDef &price = src->DefAt(src->FieldIndex(QStringLiteral("vlPrice")));
    price.displayLabel = QStringLiteral("Prezzo");
    price.displayFormat = QStringLiteral("#,##0.00");
    price.required = true;
    price.precision = 2;

    std::unique_ptr<TDataSet> dest = MakeSampleDataSet(); // replaced, not reused
    CreateMemoryCopy(dest, *src, false);
    QVERIFY(!dest->Active());
    QCOMPARE(dest->FieldNames(), src->FieldNames());
    const TFieldDef &copied = dest->FieldDefs()[size_t(dest->FieldIndex("vlPrice"))];
    QCOMPARE(copied.type, TFieldType::Real);
    QCOMPARE(copied.displayLabel, QStringLiteral("Prezzo"));
    QCOMPARE(copied.displayFormat, QStringLiteral("#,##0.00"));
    QVERIFY(copied.required);
    QCOMPARE(copied.precision, 2);
    QCOMPARE(dest->FieldDefs()[1].size, 50);

    CreateMemoryCopy(dest, *src, true);
    QVERIFY(dest->Active());
    QCOMPARE(dest->RecordCount(), 0);
}

void TestDataSetRoutines::copyAllRecordsBulk()
{
    auto src = MakeSampleDataSet();
    src->SetSort(QStringLiteral("id DESC"));
    src->SetFilter(QStringLiteral("nuQty <> NULL"));
    src->SetFiltered(true);
    src->Last();
    auto dest = EmptyCopyOf(*src);
    CopyAllRecords(*src, *dest);
    QCOMPARE(VisibleIds(*dest), QStringLiteral("6,5,4,3,1"));
    QCOMPARE(dest->FieldByName(QStringLiteral("txName")).AsString(), QStringLiteral("Gamma_1"));
    QCOMPARE(src->RecNo(), 1);
    QCOMPARE(dest->RecNo(), 1);
    QCOMPARE(src->RecordCount(), 5); // the source keeps its rows
}

void TestDataSetRoutines::copyAllRecordsWithHooks()
{
    auto src = MakeSampleDataSet();
    auto dest = EmptyCopyOf(*src);
    QStringList skipSaw;
    CopySkipTest = [&](TDataSet &s, TDataSet &d) {
        skipSaw << s.FieldByName(QStringLiteral("id")).AsString();
        Q_UNUSED(d);
        return s.FieldByName(QStringLiteral("id")).AsInteger() % 2 == 0;
    };
    CopyAfterAction = [](TDataSet &d) {
        // The copied record is current: a window completes it.
        d.Edit();
        d.FieldByName(QStringLiteral("txName"))
            .SetValue(d.FieldByName(QStringLiteral("txName")).AsString() + QStringLiteral("!"));
        d.Post();
    };
    CopyAllRecords(*src, *dest, false, false);
    QCOMPARE(skipSaw, QStringList({"1", "2", "3", "4", "5", "6"}));
    QCOMPARE(VisibleIds(*dest), QStringLiteral("1,3,5"));
    QCOMPARE(dest->FieldByName(QStringLiteral("txName")).AsString(), QStringLiteral("beta!"));
    dest->Last();
    QCOMPARE(dest->FieldByName(QStringLiteral("txName")).AsString(), QStringLiteral("O'Brien!"));
    QCOMPARE(src->RecordCount(), 6);

    ClearCopyHooks();
    QVERIFY(!CopySkipTest);
    QVERIFY(!CopyAfterAction);
}

void TestDataSetRoutines::copyAllRecordsMove()
{
    auto src = MakeSampleDataSet();
    auto dest = EmptyCopyOf(*src);
    int afterCalls = 0;
    int skipCalls = 0;
    CopySkipTest = [&](TDataSet &s, TDataSet &) {
        ++skipCalls;
        return s.FieldByName(QStringLiteral("flActive")).AsBoolean();
    };
    CopyAfterAction = [&](TDataSet &) { ++afterCalls; };
    CopyAllRecords(*src, *dest, true, true);
    QCOMPARE(VisibleIds(*dest), QStringLiteral("2,4,5"));
    QCOMPARE(VisibleIds(*src), QStringLiteral("1,3,6"));
    QCOMPARE(afterCalls, 0);
    // After each move the walk starts again from the first record, skipped ones included.
    QCOMPARE(skipCalls, 2 + 3 + 3 + 3);
    QCOMPARE(src->RecNo(), 1);
    QCOMPARE(dest->RecNo(), 1);

    // Without a skip test every record moves.
    ClearCopyHooks();
    CopyAllRecords(*src, *dest, true, false);
    QVERIFY(src->IsEmpty());
    QCOMPARE(VisibleIds(*dest), QStringLiteral("2,4,5,1,3,6"));
}

void TestDataSetRoutines::formatSettingsForgetHooks()
{
    CopySkipTest = [](TDataSet &, TDataSet &) { return true; };
    CopyAfterAction = [](TDataSet &) {};
    ApplyFormatSettings();
    QVERIFY(!CopySkipTest);
    QVERIFY(!CopyAfterAction);
}

void TestDataSetRoutines::copyAllRecordsKeepsInterfacePainted()
{
    TDataSet src;
    src.AddFieldDef(QStringLiteral("id"), TFieldType::Integer);
    src.CreateDataSet();
    const int rows = 150;
    for (int i = 0; i < rows; ++i)
        AppendSampleRow(src, {i});
    auto dest = EmptyCopyOf(src);
    TDispatchCounter counter;
    CopySkipTest = [&](TDataSet &, TDataSet &) {
        counter.PostIfIdle();
        QThread::msleep(2); // a slow record: 300 ms in all
        return false;
    };
    CopyAllRecords(src, *dest, false, true);
    QCOMPARE(dest->RecordCount(), rows);
    // Events were handled during the copy, but not after every record.
    QVERIFY2(counter.rounds >= 2, qPrintable(QString::number(counter.rounds)));
    QVERIFY2(counter.rounds <= rows / 3, qPrintable(QString::number(counter.rounds)));
}

void TestDataSetRoutines::copyRecordFields_data()
{
    // The destination row before the copy and the source row, as txName, nuQty, vlPrice.
    QTest::addColumn<bool>("editCurrent");
    QTest::addColumn<QVariantList>("destBefore");
    QTest::addColumn<QVariantList>("source");
    QTest::addColumn<QStringList>("expected"); // AsString of each field, "<null>" for null
    QTest::addColumn<int>("destRows");
    const QVariant null;
    QTest::newRow("new record") << false << QVariantList{"old", 1, 1.0}
                                << QVariantList{"new", null, 2.5}
                                << QStringList{"new", "<null>", "2.5"} << 2;
    QTest::newRow("edit: differing values")
        << true << QVariantList{"old", 1, 1.0} << QVariantList{"new", 1, 2.5}
        << QStringList{"new", "1", "2.5"} << 1;
    QTest::newRow("edit: a null source clears")
        << true << QVariantList{"old", 1, 1.0} << QVariantList{null, null, 1.0}
        << QStringList{"<null>", "<null>", "1"} << 1;
    QTest::newRow("edit: null and empty text are equal as text")
        << true << QVariantList{"", 1, 1.0} << QVariantList{null, 1, 1.0}
        << QStringList{"", "1", "1"} << 1;
}

void TestDataSetRoutines::copyRecordFields()
{
    QFETCH(bool, editCurrent);
    QFETCH(QVariantList, destBefore);
    QFETCH(QVariantList, source);
    QFETCH(QStringList, expected);
    QFETCH(int, destRows);
    auto make = [](const QVariantList &row) {
        auto ds = std::make_unique<TDataSet>();
        ds->AddFieldDef(QStringLiteral("txName"), TFieldType::Text);
        ds->AddFieldDef(QStringLiteral("nuQty"), TFieldType::Integer);
        ds->AddFieldDef(QStringLiteral("vlPrice"), TFieldType::Real);
        ds->CreateDataSet();
        AppendSampleRow(*ds, row);
        return ds;
    };
    auto src = make(source);
    auto dest = make(destBefore);
    CopyRecordFields(*src, *dest, editCurrent);
    QCOMPARE(dest->State(), TDataSetState::Browse);
    QCOMPARE(dest->RecordCount(), destRows);
    for (int c = 0; c < 3; ++c) {
        TField f = dest->Fields(c);
        QCOMPARE(f.IsNull() ? QStringLiteral("<null>") : f.AsString(), expected[c]);
    }
}

void TestDataSetRoutines::copyRecordFieldsAttributes()
{
    auto src = MakeSampleDataSet();
    src->SetRecNo(5);
    TFieldDef &sq = src->DefAt(src->FieldIndex(QStringLiteral("nuQty")));
    sq.visible = false;
    sq.displayLabel = QStringLiteral("Quantità");
    sq.displayWidth = 7;
    sq.displayFormat = QStringLiteral("#,##0");
    src->DefAt(src->FieldIndex(QStringLiteral("flActive"))).displayValues = QStringLiteral("SI;NO");
    src->DefAt(src->FieldIndex(QStringLiteral("txName"))).displayFormat = QStringLiteral("ignored");

    TDataSet dest;
    dest.AddFieldDef(QStringLiteral("NUQTY"), TFieldType::Integer);
    dest.AddFieldDef(QStringLiteral("flActive"), TFieldType::Flag);
    dest.AddFieldDef(QStringLiteral("txName"), TFieldType::Text);
    TFieldDef ro;
    ro.name = QStringLiteral("id");
    ro.type = TFieldType::Integer;
    ro.readOnly = true;
    dest.AddFieldDef(ro);
    dest.AddFieldDef(QStringLiteral("txOnlyHere"), TFieldType::Text);
    dest.CreateDataSet();

    // Already editing: the routine neither appends nor posts.
    dest.Append();
    CopyRecordFields(*src, dest, false);
    QCOMPARE(dest.State(), TDataSetState::Insert);
    dest.Post();
    QCOMPARE(dest.RecordCount(), 1);
    QCOMPARE(dest.FieldByName(QStringLiteral("nuQty")).AsInteger(), 10);
    QCOMPARE(dest.FieldByName(QStringLiteral("txName")).AsString(), QStringLiteral("O'Brien"));
    QVERIFY(dest.FieldByName(QStringLiteral("id")).IsNull()); // read-only: not written
    const TFieldDef &dq = dest.FieldDefs()[0];
    QVERIFY(!dq.visible);
    QCOMPARE(dq.displayLabel, QStringLiteral("Quantità"));
    QCOMPARE(dq.displayWidth, 7);
    QCOMPARE(dq.displayFormat, QStringLiteral("#,##0"));
    QCOMPARE(dest.FieldDefs()[1].displayValues, QStringLiteral("SI;NO"));
    QVERIFY(dest.FieldDefs()[2].displayFormat.isEmpty());

    // An empty source: nothing happens.
    src->EmptyDataSet();
    CopyRecordFields(*src, dest, false);
    QCOMPARE(dest.RecordCount(), 1);
    QCOMPARE(dest.State(), TDataSetState::Browse);
}

void TestDataSetRoutines::showOnlyFields()
{
    auto ds = MakeSampleDataSet();
    ShowOnlyFields(*ds, {QStringLiteral("TXNAME"), QStringLiteral("nuQty"), QStringLiteral("nope")});
    QStringList visible;
    for (const TFieldDef &def : ds->FieldDefs()) {
        if (def.visible)
            visible << def.name;
    }
    QCOMPARE(visible, QStringList({"txName", "nuQty"}));
    QVERIFY(!ds->FieldByName(QStringLiteral("id")).Visible());
}

void TestDataSetRoutines::countFilteredRecords_data()
{
    QTest::addColumn<bool>("onClone");
    QTest::addColumn<bool>("onCopy");
    QTest::newRow("dataset") << false << false;
    QTest::newRow("clone") << true << false;
    QTest::newRow("copy") << false << true;
}

void TestDataSetRoutines::countFilteredRecords()
{
    QFETCH(bool, onClone);
    QFETCH(bool, onCopy);
    auto ds = MakeSampleDataSet();
    ds->SetSort(QStringLiteral("txName"));
    ds->SetFilter(QStringLiteral("flActive = 1"));
    ds->SetFiltered(true);
    QVERIFY(ds->Locate(QStringLiteral("id"), 6));
    // Counted over every row, whatever the dataset's own filter.
    QCOMPARE(CountFilteredRecords(*ds, QStringLiteral("nuQty = 5"), onClone, onCopy), 2);
    QCOMPARE(CountFilteredRecords(*ds, QStringLiteral("dtWhen = NULL"), onClone, onCopy), 1);
    // The dataset's view is as it was.
    QCOMPARE(ds->Filter(), QStringLiteral("flActive = 1"));
    QVERIFY(ds->Filtered());
    QCOMPARE(VisibleIds(*ds), QStringLiteral("3,1,6"));
    QCOMPARE(CurrentId(*ds), 6);
    bool raised = false;
    try {
        CountFilteredRecords(*ds, QStringLiteral("nuQty = "), onClone, onCopy);
    } catch (const EDataSetError &) {
        raised = true;
    }
    QVERIFY(raised);
}

void TestDataSetRoutines::deleteFilteredRecords()
{
    auto ds = MakeSampleDataSet();
    ds->SetFilter(QStringLiteral("flActive = 1"));
    ds->SetFiltered(true);
    // Rows hidden by the dataset's filter are deleted too.
    QCOMPARE(DeleteFilteredRecords(*ds, QStringLiteral("nuQty = 5 OR id = 3")), 3);
    QCOMPARE(VisibleIds(*ds), QStringLiteral("6"));
    ds->SetFiltered(false);
    QCOMPARE(VisibleIds(*ds), QStringLiteral("2,5,6"));
}

QTEST_GUILESS_MAIN(TestDataSetRoutines)
#include "tst_datasetroutines.moc"
