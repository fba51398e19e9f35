// The order summary window against a fresh demo database: an empty summary, moving rows and
// saving positions 1..n, trimmed texts, "Elimina" never on the only row, Enter while typing,
// and a save that fails leaving the stored summary as it was.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "orders/ordine_sommario.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

class tst_ordine_sommario : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TORDINE_SOMMARIO> w;
    QString order;

    TORDINE_SOMMARIO *Open()
    {
        w = new TORDINE_SOMMARIO;
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->show();
        w->Start(order, QStringLiteral("Fornitura nord"));
        return w;
    }
    void Store(const QStringList &descriptions)
    {
        for (int i = 0; i < descriptions.size(); ++i)
            env->Super(
                QStringLiteral("INSERT INTO ordine_sommario VALUES ('%1', %2, '%3', 'testo %2')")
                    .arg(order)
                    .arg(i + 1)
                    .arg(descriptions.at(i)));
    }
    // The stored summary as "position:description:text" in position order.
    QString Stored()
    {
        return env->Super(
            QStringLiteral("SELECT coalesce(string_agg(nuordinetesto || ':' || "
                           "coalesce(txdesctesto, '') || ':' || coalesce(txtesto, ''), "
                           "'|' ORDER BY nuordinetesto), '') FROM ordine_sommario "
                           "WHERE idordine = '%1'")
                .arg(order));
    }
    QString Cell(int row, int column) { return w->SG_Sommario->item(row, column)->text(); }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init()
    {
        env = std::make_unique<TMasterDataEnvironment>();
        order = env->Super(QStringLiteral("SELECT idordine FROM ordini WHERE flfirmato = 0 ORDER "
                                          "BY idordine LIMIT 1"));
        QVERIFY(!order.isEmpty());
        env->Super(QStringLiteral("DELETE FROM ordine_sommario WHERE idordine = '%1'").arg(order));
    }
    void cleanup()
    {
        delete w;
        env.reset();
    }

    void emptySummaryOpensWithOneRow();
    void moveRowThreeToTheTop();
    void textsStoredTrimmed();
    void deleteNeverTheOnlyRow();
    void enterWhileTyping();
    void longTexts();
    void failedSaveKeepsTheStoredSummary();
};

void tst_ordine_sommario::emptySummaryOpensWithOneRow()
{
    Open();
    QCOMPARE(w->windowTitle(), QStringLiteral("Sommario dell'ordine: \"Fornitura nord\""));
    QCOMPARE(w->SG_Sommario->rowCount(), 1);
    QCOMPARE(Cell(0, 0), QStringLiteral("1"));
    QCOMPARE(w->SG_Sommario->currentColumn(), 1);
    QVERIFY(w->SG_Sommario->findChild<QLineEdit *>()); // the cell is open for typing
    QCOMPARE(w->SG_Sommario->horizontalHeaderItem(2)->text(), QStringLiteral("Testo"));
    // The number column shows its whole heading whatever font stands in for the designed one.
    const QTableWidget *grid = w->SG_Sommario;
    QFont headingFont(QStringLiteral("Trebuchet MS"), 10);
    headingFont.setBold(true);
    headingFont.setItalic(true);
    const QFontMetrics heading(headingFont);
    QVERIFY(grid->columnWidth(0) >= 50);
    QVERIFY2(grid->columnWidth(0) >= heading.horizontalAdvance(QStringLiteral("Ordine")) + 8,
             qPrintable(QString::number(grid->columnWidth(0))));
}

void tst_ordine_sommario::moveRowThreeToTheTop()
{
    Store({QStringLiteral("Prima"), QStringLiteral("Seconda"), QStringLiteral("Terza")});
    Open();
    QCOMPARE(w->SG_Sommario->rowCount(), 3);
    QCOMPARE(Cell(2, 1), QStringLiteral("Terza"));
    // Dragged by its header, as the operator does.
    w->SG_Sommario->verticalHeader()->moveSection(2, 0);
    QCOMPARE(Cell(0, 1), QStringLiteral("Terza"));
    QCOMPARE(Cell(0, 0), QStringLiteral("1"));
    QCOMPARE(Cell(2, 0), QStringLiteral("3"));
    QCOMPARE(w->SG_Sommario->currentRow(), 0);
    for (int i = 0; i < 3; ++i) // positions and rows agree again
        QCOMPARE(w->SG_Sommario->verticalHeader()->logicalIndex(i), i);
    QTest::mouseClick(w->PB_Ok_Input_Sommario, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(Stored(), QStringLiteral("1:Terza:testo 3|2:Prima:testo 1|3:Seconda:testo 2"));
    QVERIFY(!w->isVisible());
}

void tst_ordine_sommario::textsStoredTrimmed()
{
    Open();
    w->SG_Sommario->item(0, 1)->setText(QStringLiteral("  Garanzia \t"));
    w->SG_Sommario->item(0, 2)->setText(QStringLiteral("\n 24 mesi  \r\n"));
    QTest::mouseClick(w->PB_NuovaRiga, Qt::LeftButton);
    QCOMPARE(Cell(1, 0), QStringLiteral("2"));
    QTest::mouseClick(w->PB_Ok_Input_Sommario, Qt::LeftButton);
    QCOMPARE(Stored(), QStringLiteral("1:Garanzia:24 mesi|2::"));
}

void tst_ordine_sommario::deleteNeverTheOnlyRow()
{
    Store({QStringLiteral("Prima"), QStringLiteral("Seconda"), QStringLiteral("Terza")});
    Open();
    w->SG_Sommario->setCurrentCell(1, 1);
    QTest::mouseClick(w->PB_EliminaRiga, Qt::LeftButton);
    QCOMPARE(w->SG_Sommario->rowCount(), 2);
    QCOMPARE(Cell(1, 1), QStringLiteral("Terza"));
    QCOMPARE(Cell(1, 0), QStringLiteral("2"));
    QCOMPARE(w->SG_Sommario->currentRow(), 1);
    QTest::mouseClick(w->PB_EliminaRiga, Qt::LeftButton);
    QCOMPARE(w->SG_Sommario->rowCount(), 1);
    QTest::mouseClick(w->PB_EliminaRiga, Qt::LeftButton);
    QCOMPARE(w->SG_Sommario->rowCount(), 1);
    QCOMPARE(Cell(0, 1), QStringLiteral("Prima"));
    // "Pulisci" empties both texts of the row.
    QTest::mouseClick(w->PB_PulisciRiga, Qt::LeftButton);
    QCOMPARE(Cell(0, 1), QString());
    QCOMPARE(Cell(0, 2), QString());
    // "Annulla" writes nothing.
    QTest::mouseClick(w->PB_Annulla_Input_Sommario, Qt::LeftButton);
    QCOMPARE(Stored(), QStringLiteral("1:Prima:testo 1|2:Seconda:testo 2|3:Terza:testo 3"));
}

void tst_ordine_sommario::enterWhileTyping()
{
    Open(); // the first row's description is open for typing
    auto editor = [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // closed editors
        return w->SG_Sommario->findChild<QLineEdit *>();
    };
    QVERIFY(editor());
    QTest::keyClicks(editor(), QStringLiteral("Resa"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(Cell(0, 1), QStringLiteral("Resa"));
    QCOMPARE(w->SG_Sommario->currentRow(), 0);
    QCOMPARE(w->SG_Sommario->currentColumn(), 2);
    w->SG_Sommario->editItem(w->SG_Sommario->item(0, 2));
    QTest::keyClicks(editor(), QStringLiteral("Franco cantiere"));
    QTest::keyClick(editor(), Qt::Key_Return);
    // On the last row Enter in the text adds a row.
    QCOMPARE(w->SG_Sommario->rowCount(), 2);
    QCOMPARE(Cell(1, 0), QStringLiteral("2"));
    QCOMPARE(w->SG_Sommario->currentRow(), 1);
    QCOMPARE(w->SG_Sommario->currentColumn(), 1);
}

void tst_ordine_sommario::longTexts()
{
    // The description holds what the table can store; the text takes 10,000 characters.
    Open();
    auto *editor = w->SG_Sommario->findChild<QLineEdit *>();
    QVERIFY(editor);
    QCOMPARE(editor->maxLength(), TORDINE_SOMMARIO::kDescriptionLength);
    const QString longText = QString(10000, u'x');
    w->SG_Sommario->item(0, 1)->setText(QStringLiteral("Nota"));
    w->SG_Sommario->item(0, 2)->setText(longText);
    QTest::mouseClick(w->PB_Ok_Input_Sommario, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Super(QStringLiteral("SELECT length(txtesto) FROM ordine_sommario WHERE "
                                       "idordine = '%1'")
                            .arg(order)),
             QStringLiteral("10000"));
}

void tst_ordine_sommario::failedSaveKeepsTheStoredSummary()
{
    Store({QStringLiteral("Prima"), QStringLiteral("Seconda")});
    Open();
    QTest::mouseClick(w->PB_NuovaRiga, Qt::LeftButton);
    // A description longer than the table takes, put in past the editor: the whole save is
    // refused and rolled back.
    w->SG_Sommario->item(0, 1)->setText(QStringLiteral("Cambiata"));
    w->SG_Sommario->item(2, 1)->setText(QString(10000, u'y'));
    QTest::mouseClick(w->PB_Ok_Input_Sommario, Qt::LeftButton);
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Error)
                .startsWith(QStringLiteral("Errore creazione voce scheda (ERR.H06).")));
    QCOMPARE(Stored(), QStringLiteral("1:Prima:testo 1|2:Seconda:testo 2"));
    QVERIFY(!w->isVisible());
}

QTEST_MAIN(tst_ordine_sommario)
#include "tst_ordine_sommario.moc"
