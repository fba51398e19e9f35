// Arithmetic of the pocket calculator, key by key.

#include "controls/tkrtcalculator.h"

#include <QTest>

class tst_TKRTCalcEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keySequences_data();
    void keySequences();
    void displayShowsTypedDecimals();
};

void tst_TKRTCalcEngine::keySequences_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<double>("result");

    auto keys = [](const char *s) { return QString::fromLatin1(s).split(QLatin1Char(' ')); };
    QTest::newRow("first digit replaces the start") << 42.0 << keys("7 =") << 7.0;
    QTest::newRow("start kept without digits") << 42.0 << keys("=") << 42.0;
    QTest::newRow("chained operations") << 0.0 << keys("2 + 3 * 4 =") << 20.0;
    QTest::newRow("zero after the comma") << 0.0 << keys("7 , 0 5 =") << 7.05;
    QTest::newRow("division by zero gives 0") << 0.0 << keys("8 / 0 =") << 0.0;
    QTest::newRow("percent of the parked value") << 0.0 << keys("2 0 0 + 1 0 % =") << 220.0;
    QTest::newRow("negate") << 0.0 << keys("5 +/- - 3 =") << -8.0;
    QTest::newRow("back removes the last digit") << 0.0 << keys("1 2 3 <- =") << 12.0;
    QTest::newRow("back on one digit clears") << 0.0 << keys("7 <- 4 =") << 4.0;
    QTest::newRow("clear") << 0.0 << keys("9 9 C 1 =") << 1.0;
    QTest::newRow("second comma ignored") << 0.0 << keys("1 , 5 , 2 =") << 1.52;
}

void tst_TKRTCalcEngine::keySequences()
{
    QFETCH(double, start);
    QFETCH(QStringList, keys);
    QFETCH(double, result);
    TKRTCalculator calc;
    double handed = -1;
    connect(&calc, &TKRTCalculator::ResultChosen, &calc, [&handed](double v) { handed = v; });
    calc.Start(start);
    for (const QString &k : keys)
        calc.Press(k);
    QCOMPARE(handed, result);
}

void tst_TKRTCalcEngine::displayShowsTypedDecimals()
{
    TKRTCalcEngine e;
    e.Start(0);
    for (int d : {1, 2, 3, 4})
        e.Digit(d);
    QCOMPARE(e.NumericText(), QStringLiteral("1.234 "));
    e.Comma();
    QCOMPARE(e.NumericText(), QStringLiteral("1.234, "));
    e.Digit(0);
    QCOMPARE(e.NumericText(), QStringLiteral("1.234,0 "));
    e.Operator(TKRTCalcEngine::opDivide);
    QCOMPARE(e.OperationText(), QStringLiteral("/"));
    QCOMPARE(e.NumericText(), QStringLiteral("0 "));
    QVERIFY(e.bOperationPending);
}

QTEST_MAIN(tst_TKRTCalcEngine)
#include "tst_tkrtcalcengine.moc"
