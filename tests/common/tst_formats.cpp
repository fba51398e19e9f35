#include "common/formats.h"

#include <QDate>
#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

namespace {
int g_listenerCalls = 0;
void CountListenerCall()
{
    ++g_listenerCalls;
}
} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void roundDecimals_data();
    void roundDecimals();
    void roundToInt_data();
    void roundToInt();
    void formatNumber_data();
    void formatNumber();
    void sqlFloat_data();
    void sqlFloat();
    void sqlQuote_data();
    void sqlQuote();
    void dateAndTimeTexts();
    void parseDateText_data();
    void parseDateText();
    void parseNumberText_data();
    void parseNumberText();
    void lineBreaks();
    void applyFormatSettingsCallsListener();
};

void TestFormats::roundDecimals_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("1.005 binary below half") << 2 << 1.005 << 1.01;
    QTest::newRow("-1.005") << 2 << -1.005 << -1.01;
    QTest::newRow("2.675") << 2 << 2.675 << 2.68;
    QTest::newRow("0.285") << 2 << 0.285 << 0.29;
    QTest::newRow("1.0005 three") << 3 << 1.0005 << 1.001;
    QTest::newRow("2.25 one") << 1 << 2.25 << 2.3;
    QTest::newRow("-2.5 away from zero") << 0 << -2.5 << -3.0;
    QTest::newRow("-2.4") << 0 << -2.4 << -2.0;
    QTest::newRow("0.5") << 0 << 0.5 << 1.0;
    QTest::newRow("0.4999") << 0 << 0.4999 << 0.0;
    QTest::newRow("1234.5678") << 2 << 1234.5678 << 1234.57;
    QTest::newRow("1234.564") << 2 << 1234.564 << 1234.56;
    QTest::newRow("whole stays") << 2 << 17.0 << 17.0;
    QTest::newRow("money sum 0.1+0.2") << 2 << (0.1 + 0.2) << 0.3;
    QTest::newRow("large") << 2 << 123456789.125 << 123456789.13;
    QTest::newRow("tens") << -1 << 25.0 << 30.0;
}

void TestFormats::roundDecimals()
{
    QFETCH(int, decimals);
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(RoundDecimals(decimals, x), expected);
}

void TestFormats::roundToInt_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5") << 2.5 << 3;
    QTest::newRow("-2.5") << -2.5 << -3;
    QTest::newRow("-2.4") << -2.4 << -2;
    QTest::newRow("int max") << 2147483647.4 << 2147483647;
    QTest::newRow("too large") << 1e12 << 0;
    QTest::newRow("too small") << -1e12 << 0;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0;
}

void TestFormats::roundToInt()
{
    QFETCH(double, x);
    QFETCH(int, expected);
    QCOMPARE(RoundToInt(x), expected);
}

void TestFormats::formatNumber_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1234.5") << 2 << 1234.5 << "1.234,50";
    QTest::newRow("1234567") << 0 << 1234567.0 << "1.234.567";
    QTest::newRow("negative") << 2 << -1234.5 << "-1.234,50";
    QTest::newRow("negative millions") << 0 << -1234567.5 << "-1.234.568";
    QTest::newRow("999") << 0 << 999.0 << "999";
    QTest::newRow("1000") << 0 << 1000.0 << "1.000";
    QTest::newRow("zero") << 2 << 0.0 << "0,00";
    QTest::newRow("tiny negative is zero") << 2 << -0.001 << "0,00";
    QTest::newRow("rounds half up") << 2 << 1.005 << "1,01";
    QTest::newRow("carry into thousands") << 2 << 999999.995 << "1.000.000,00";
    QTest::newRow("three decimals") << 3 << 0.5 << "0,500";
    QTest::newRow("nan") << 2 << std::numeric_limits<double>::quiet_NaN() << "0,00";
}

void TestFormats::formatNumber()
{
    QFETCH(int, decimals);
    QFETCH(double, x);
    QFETCH(QString, expected);
    QCOMPARE(FormatNumber(decimals, x), expected);
}

void TestFormats::sqlFloat_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1234.5") << 1234.5 << "1234.5";
    QTest::newRow("-0.25") << -0.25 << "-0.25";
    QTest::newRow("0.1") << 0.1 << "0.1";
    QTest::newRow("1.005") << 1.005 << "1.005";
    QTest::newRow("whole") << 1234567.0 << "1234567";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "0";
}

void TestFormats::sqlFloat()
{
    QFETCH(double, x);
    QFETCH(QString, expected);
    QCOMPARE(SqlFloat(x), expected);
}

void TestFormats::sqlQuote_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two apostrophes wrapped") << "''" << true << "''''''";
    QTest::newRow("name wrapped") << "D'Amico" << true << "'D''Amico'";
    QTest::newRow("not wrapped") << "l'ora e l'altra" << false << "l''ora e l''altra";
    QTest::newRow("empty wrapped") << "" << true << "''";
    QTest::newRow("backslash kept") << "C:\\dir\\" << true << "'C:\\dir\\'";
    QTest::newRow("injection stays text")
        << "x'); DROP TABLE t; --" << true << "'x''); DROP TABLE t; --'";
}

void TestFormats::sqlQuote()
{
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QFETCH(QString, expected);
    QCOMPARE(SqlQuote(text, wrap), expected);
}

void TestFormats::dateAndTimeTexts()
{
    QCOMPARE(DateToText(QDate(2024, 3, 5)), QStringLiteral("05/03/2024"));
    QCOMPARE(DateToText(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))),
             QStringLiteral("31/12/1999"));
    QCOMPARE(TimeToText(QTime(7, 8, 9)), QStringLiteral("07:08:09"));
    QCOMPARE(TimeToText(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))),
             QStringLiteral("23:59:58"));
    QCOMPARE(DateToText(QDate()), QString());
    QCOMPARE(TimeToText(QTime()), QString());
}

void TestFormats::parseDateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("full") << "05/03/2024" << QDate(2024, 3, 5);
    QTest::newRow("short day and month") << "5/3/2024" << QDate(2024, 3, 5);
    QTest::newRow("blanks around") << " 29/02/2024 " << QDate(2024, 2, 29);
    QTest::newRow("end of century") << "31/12/1999" << QDate(1999, 12, 31);
    QTest::newRow("31 February") << "31/02/2024" << QDate();
    QTest::newRow("29 February not leap") << "29/02/2023" << QDate();
    QTest::newRow("day 32") << "32/01/2024" << QDate();
    QTest::newRow("day 0") << "00/01/2024" << QDate();
    QTest::newRow("month 13") << "05/13/2024" << QDate();
    QTest::newRow("iso form") << "2024-03-05" << QDate();
    QTest::newRow("two-digit year") << "05/03/24" << QDate();
    QTest::newRow("dots") << "05.03.2024" << QDate();
    QTest::newRow("trailing text") << "05/03/2024x" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestFormats::parseDateText()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    const QDate d = ParseDateText(text);
    QCOMPARE(d.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(d, expected);
}

// Numbers typed by the operator: only the program format is a number; anything else is
// refused, never read in part.
void TestFormats::parseNumberText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "1234" << true << 1234.0;
    QTest::newRow("thousands") << "1.234" << true << 1234.0;
    QTest::newRow("millions") << "12.345.678" << true << 12345678.0;
    QTest::newRow("decimals") << "1.234,5" << true << 1234.5;
    QTest::newRow("negative") << "-0,25" << true << -0.25;
    QTest::newRow("blanks around") << "  7 " << true << 7.0;
    QTest::newRow("misplaced dots") << "1.5.3" << false << 0.0;
    QTest::newRow("short group") << "12.34" << false << 0.0;
    QTest::newRow("two commas") << "1,2,3" << false << 0.0;
    QTest::newRow("decimal point") << "1.5" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("command") << "1; DROP" << false << 0.0;
    QTest::newRow("inner blank") << "1 000" << false << 0.0;
    QTest::newRow("exponent") << "1e9" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("sign alone") << "-" << false << 0.0;
}

void TestFormats::parseNumberText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double read = -99;
    QCOMPARE(ParseNumberText(text, &read), ok);
    if (ok)
        QCOMPARE(read, value);
    else
        QCOMPARE(read, -99.0);
}

void TestFormats::lineBreaks()
{
    QCOMPARE(LineBreaks(2), QStringLiteral("\r\n\r\n"));
    QCOMPARE(LineBreaks(1), QStringLiteral("\r\n"));
    QCOMPARE(LineBreaks(0), QString());
}

void TestFormats::applyFormatSettingsCallsListener()
{
    g_listenerCalls = 0;
    SetFormatSettingsListener(&CountListenerCall);
    ApplyFormatSettings();
    QCOMPARE(g_listenerCalls, 1);
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
    QCOMPARE(QLocale().groupSeparator(), QStringLiteral("."));
    SetFormatSettingsListener(nullptr);
    ApplyFormatSettings();
    QCOMPARE(g_listenerCalls, 1);
}

QTEST_APPLESS_MAIN(TestFormats)
#include "tst_formats.moc"
