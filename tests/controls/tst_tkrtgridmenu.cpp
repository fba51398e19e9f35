// The user-menu tree of the data grid and AddGridMenuItem.

#include "controls/krtcolor.h"
#include "controls/tkrtgridmenu.h"

#include <QPointer>
#include <QTest>

class tst_TKRTGridMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void treeOperations();
    void clearAndDestroyFreeChildren();
    void findIgnoresCaseAndAccelerators_data();
    void findIgnoresCaseAndAccelerators();
    void addGridMenuItem();
};

void tst_TKRTGridMenu::treeOperations()
{
    TKRTGridMenu root;
    TKRTGridMenu *a = root.Append();
    a->Caption = QStringLiteral("A");
    auto *b = new TKRTGridMenu(&root);
    b->Caption = QStringLiteral("B");
    auto *c = new TKRTGridMenu(&root);
    c->Caption = QStringLiteral("C");
    root.Insert(0, b);
    root.Add(QList<TKRTGridMenu *>{c});
    QCOMPARE(root.Count(), 3);
    QCOMPARE(root.GetItem(0), b);
    QCOMPARE(root.IndexOf(c), 2);
    QCOMPARE(b->Parent(), &root);

    // An item that already has a parent is not inserted again.
    TKRTGridMenu other;
    other.Add(b);
    QCOMPARE(other.Count(), 0);
    root.Insert(1, b);
    QCOMPARE(root.Count(), 3);

    // Delete detaches without freeing; out of range is ignored.
    QPointer<TKRTGridMenu> watch(b);
    root.Delete(0);
    root.Delete(10);
    root.Delete(-1);
    QCOMPARE(root.Count(), 2);
    QVERIFY(watch);
    QCOMPARE(b->Parent(), nullptr);
    other.Add(b);
    QCOMPARE(other.Count(), 1);
    other.Remove(b);
    QCOMPARE(other.Count(), 0);
    QCOMPARE(root.IndexOf(b), -1);

    TKRTGridMenu *sep = root.AppendSeparator();
    QVERIFY(sep->IsLine());
    QVERIFY(!a->IsLine());
    QVERIFY(a->Enabled && a->Visible);
    QCOMPARE(a->MenuFont.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(a->MenuFont.pointSize(), 8);
    QCOMPARE(a->BitmapAlignment, 0);
    QVERIFY(a->Bitmap.isNull());
}

void tst_TKRTGridMenu::clearAndDestroyFreeChildren()
{
    TKRTGridMenu root;
    TKRTGridMenu *parent = root.Append();
    QPointer<TKRTGridMenu> child(parent->Append());
    QPointer<TKRTGridMenu> second(root.Append());
    QPointer<TKRTGridMenu> watchParent(parent);

    // Freeing a node detaches it from its parent and frees its children.
    delete second.data();
    QCOMPARE(root.Count(), 1);
    root.Clear();
    QCOMPARE(root.Count(), 0);
    QVERIFY(!watchParent);
    QVERIFY(!child);
}

void tst_TKRTGridMenu::findIgnoresCaseAndAccelerators_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<bool>("found");
    QTest::newRow("same") << "Modifica"
                          << "Modifica" << true;
    QTest::newRow("case") << "Info supplementari"
                          << "INFO SUPPLEMENTARI" << true;
    QTest::newRow("accelerator in entry") << "&Modifica"
                                          << "modifica" << true;
    QTest::newRow("accelerator in search") << "Disattiva"
                                           << "Dis&attiva" << true;
    QTest::newRow("different") << "Riattiva"
                               << "Disattiva" << false;
}

void tst_TKRTGridMenu::findIgnoresCaseAndAccelerators()
{
    QFETCH(QString, caption);
    QFETCH(QString, wanted);
    QFETCH(bool, found);
    TKRTGridMenu root;
    root.Append()->Caption = QStringLiteral("Altro");
    TKRTGridMenu *e = root.Append();
    e->Caption = caption;
    QCOMPARE(root.Find(wanted), found ? e : nullptr);
}

void tst_TKRTGridMenu::addGridMenuItem()
{
    TKRTGridMenu root;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    const QList<QPixmap> images{QPixmap(8, 8), red};
    TKRTGridMenu *plain = AddGridMenuItem(&root, QStringLiteral("Nuovo cliente"), 0);
    TKRTGridMenu *dev = AddGridMenuItem(&root, QStringLiteral("Copia Id in clipboard"), 255);
    TKRTGridMenu *strong
        = AddGridMenuItem(&root, QStringLiteral("Info supplementari"), 10579511, 1, &images, true);
    TKRTGridMenu *noImage = AddGridMenuItem(&root, QStringLiteral("Senza"), 0, -1, &images);
    QCOMPARE(root.Count(), 4);
    QCOMPARE(plain->MenuFont.family(), QStringLiteral("Trebuchet MS"));
    QCOMPARE(plain->MenuFont.pointSize(), 12);
    QVERIFY(!plain->MenuFont.bold());
    QCOMPARE(plain->FontColor, QColor(Qt::black));
    QCOMPARE(dev->FontColor, QColor(255, 0, 0));
    QCOMPARE(strong->FontColor, QColor(0x37, 0x6E, 0xA1));
    QVERIFY(strong->MenuFont.bold());
    QCOMPARE(strong->Bitmap.size(), QSize(16, 16));
    QCOMPARE(strong->Bitmap.toImage().pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(noImage->Bitmap.isNull());
    QCOMPARE(KRTColorValue(strong->FontColor), quint32(10579511));
}

QTEST_MAIN(tst_TKRTGridMenu)
#include "tst_tkrtgridmenu.moc"
