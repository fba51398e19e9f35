#include "common/texts.h"

#include <QRegularExpression>
#include <QTest>

class TestTexts : public QObject
{
    Q_OBJECT
private slots:
    void textBefore_data();
    void textBefore();
    void countOccurrences_data();
    void countOccurrences();
    void collapseSpaces_data();
    void collapseSpaces();
    void textParts();
    void isIntegerText_data();
    void isIntegerText();
    void isNumberAndDigitsText_data();
    void isNumberAndDigitsText();
    void textInList();
    void newGuidText();
    void programVersionText();
};

void TestTexts::textBefore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("expected");
    QTest::newRow("server part") << "host\\SQLEXPRESS,1433"
                                 << "\\"
                                 << "host";
    QTest::newRow("first occurrence") << "a-b-c"
                                      << "-"
                                      << "a";
    QTest::newRow("mark absent") << "abc"
                                 << "|"
                                 << "abc";
    QTest::newRow("mark at start") << "|abc"
                                   << "|"
                                   << "";
    QTest::newRow("empty mark") << "abc"
                                << ""
                                << "abc";
}

void TestTexts::textBefore()
{
    QFETCH(QString, text);
    QFETCH(QString, mark);
    QFETCH(QString, expected);
    QCOMPARE(TextBefore(text, mark), expected);
}

void TestTexts::countOccurrences_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("part");
    QTest::addColumn<int>("expected");
    QTest::newRow("non-overlapping") << "aaaa"
                                     << "aa" << 2;
    QTest::newRow("odd run") << "aaa"
                             << "aa" << 1;
    QTest::newRow("exact case") << "Abab"
                                << "ab" << 1;
    QTest::newRow("none") << "abc"
                          << "x" << 0;
    QTest::newRow("empty part") << "abc"
                                << "" << 0;
    QTest::newRow("line breaks") << "a\r\nb\r\nc"
                                 << "\r\n"
                                 << 2;
}

void TestTexts::countOccurrences()
{
    QFETCH(QString, text);
    QFETCH(QString, part);
    QFETCH(int, expected);
    QCOMPARE(CountOccurrences(text, part), expected);
}

void TestTexts::collapseSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("inner runs") << "a   b  c"
                                << "a b c";
    QTest::newRow("edges keep one blank") << "   a   "
                                          << " a ";
    QTest::newRow("nothing to do") << "a b"
                                   << "a b";
    QTest::newRow("empty") << ""
                           << "";
}

void TestTexts::collapseSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CollapseSpaces(text), expected);
}

void TestTexts::textParts()
{
    QCOMPARE(RepeatText(QStringLiteral("ab"), 3), QStringLiteral("ababab"));
    QCOMPARE(RepeatText(QStringLiteral("ab"), 0), QString());
    QCOMPARE(RepeatText(QStringLiteral("ab"), -2), QString());
    QCOMPARE(LeftText(QStringLiteral("abcdef"), 2), QStringLiteral("ab"));
    QCOMPARE(LeftText(QStringLiteral("abc"), 10), QStringLiteral("abc"));
    QCOMPARE(LeftText(QStringLiteral("abc"), -1), QString());
    QCOMPARE(MidText(QStringLiteral("abcdef"), 2, 3), QStringLiteral("cde"));
    QCOMPARE(MidText(QStringLiteral("abcdef"), 4), QStringLiteral("ef"));
    QCOMPARE(MidText(QStringLiteral("abcdef"), 4, 99), QStringLiteral("ef"));
    QCOMPARE(MidText(QStringLiteral("abc"), 5, 1), QString());
    QCOMPARE(MidText(QStringLiteral("abc"), -1, 2), QString());
    QCOMPARE(RightText(QStringLiteral("abcdef"), 2), QStringLiteral("ef"));
    QCOMPARE(RightText(QStringLiteral("abc"), 10), QStringLiteral("abc"));
}

void TestTexts::isIntegerText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("digits") << "123" << true;
    QTest::newRow("minus") << "-5" << true;
    QTest::newRow("plus") << "+7" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("sign only") << "-" << false;
    QTest::newRow("decimal") << "1.5" << false;
    QTest::newRow("letters") << "12a" << false;
    QTest::newRow("blank") << " 1" << false;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << false;
}

void TestTexts::isIntegerText()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(IsIntegerText(text), expected);
}

void TestTexts::isNumberAndDigitsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<bool>("digits");
    QTest::newRow("empty") << "" << true << true;
    QTest::newRow("digits") << "0123" << true << true;
    QTest::newRow("decimal") << "1.5" << true << false;
    QTest::newRow("signs and dots") << "-+." << true << false;
    QTest::newRow("comma") << "1,5" << false << false;
    QTest::newRow("exponent") << "1e5" << false << false;
    QTest::newRow("blank") << "1 2" << false << false;
    QTest::newRow("arabic-indic digit") << QString(QChar(0x0661)) << false << false;
}

void TestTexts::isNumberAndDigitsText()
{
    QFETCH(QString, text);
    QFETCH(bool, number);
    QFETCH(bool, digits);
    QCOMPARE(IsNumberText(text), number);
    QCOMPARE(IsDigitsText(text), digits);
}

void TestTexts::textInList()
{
    const QStringList list{QStringLiteral("Rossi"), QStringLiteral("Società")};
    QVERIFY(TextInList(QStringLiteral("ROSSI"), list));
    QVERIFY(TextInList(QStringLiteral("SOCIETÀ"), list));
    QVERIFY(!TextInList(QStringLiteral("Ross"), list));
    QVERIFY(!TextInList(QString(), {}));
}

void TestTexts::newGuidText()
{
    static const QRegularExpression form(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    const QString a = NewGuidText();
    const QString b = NewGuidText();
    QCOMPARE(a.size(), 38);
    QVERIFY2(form.match(a).hasMatch(), qPrintable(a));
    QVERIFY(a != b);
}

void TestTexts::programVersionText()
{
    static const QRegularExpression form(QStringLiteral("^\\d+\\.\\d+$"));
    QVERIFY(form.match(ProgramVersionText()).hasMatch());
}

QTEST_APPLESS_MAIN(TestTexts)
#include "tst_texts.moc"
