#include "cloud/quotefoldernames.h"
#include "common/inifile.h"

#include <QTemporaryDir>
#include <QTest>

class TestQuoteFolderNames : public QObject
{
    Q_OBJECT
private slots:
    void digits_data();
    void digits();
    void digitsSettingRaisedAndSaved();
    void numberPart_data();
    void numberPart();
    void folderName_data();
    void folderName();
    void longNamesStayWithinLimits_data();
    void longNamesStayWithinLimits();
    void pdfName_data();
    void pdfName();
};

void TestQuoteFolderNames::digits_data()
{
    QTest::addColumn<int>("configured");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("expected");
    QTest::newRow("setting kept") << 4 << "57" << 4;
    QTest::newRow("longer number raises") << 4 << "12345" << 5;
    QTest::newRow("smallest allowed") << 3 << "7" << 3;
    QTest::newRow("largest allowed") << 10 << "7" << 10;
    QTest::newRow("below range: default") << 2 << "57" << 4;
    QTest::newRow("above range: default") << 11 << "57" << 4;
    QTest::newRow("unreadable: default") << 0 << "57" << 4;
    QTest::newRow("number beyond the range") << 10 << "12345678901" << 11;
}

void TestQuoteFolderNames::digits()
{
    QFETCH(int, configured);
    QFETCH(QString, number);
    QFETCH(int, expected);
    QCOMPARE(QuoteFolderDigits(configured, number), expected);
}

void TestQuoteFolderNames::digitsSettingRaisedAndSaved()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VentorelWin_MARIO.ini"));
    const QString key = QString::fromLatin1(kQuoteFolderDigitsKey);

    // No setting yet: 4 digits, and nothing is written for a number that fits.
    QCOMPARE(ReadQuoteFolderDigits(ini, QStringLiteral("57")), 4);
    QCOMPARE(IniReadText("SETTINGS", key, kIniAbsent, ini), QString::fromLatin1(kIniAbsent));

    // 12345 with 4 digits: 5 are used and 5 saved; later numbers keep 5.
    QCOMPARE(ReadQuoteFolderDigits(ini, QStringLiteral("12345")), 5);
    QCOMPARE(IniReadText("SETTINGS", key, kIniAbsent, ini), QStringLiteral("5"));
    QCOMPARE(ReadQuoteFolderDigits(ini, QStringLiteral("57")), 5);
    QCOMPARE(QuoteNumberPart(QStringLiteral("57"), QStringLiteral("2024"), 5),
             QStringLiteral("00057_2024"));

    // A larger setting is never lowered.
    QVERIFY(IniWriteText("SETTINGS", key, QStringLiteral("7"), ini));
    QCOMPARE(ReadQuoteFolderDigits(ini, QStringLiteral("12345")), 7);
    QCOMPARE(IniReadText("SETTINGS", key, kIniAbsent, ini), QStringLiteral("7"));
}

void TestQuoteFolderNames::numberPart_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("year");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("expected");
    QTest::newRow("padded") << "57"
                            << "2023" << 4 << "0057_2023";
    QTest::newRow("exact") << "1234"
                           << "2023" << 4 << "1234_2023";
    QTest::newRow("never cut") << "12345"
                               << "2024" << 4 << "12345_2024";
    QTest::newRow("blanks around") << " 7 "
                                   << " 2023" << 6 << "000007_2023";
}

void TestQuoteFolderNames::numberPart()
{
    QFETCH(QString, number);
    QFETCH(QString, year);
    QFETCH(int, digits);
    QFETCH(QString, expected);
    QCOMPARE(QuoteNumberPart(number, year, digits), expected);
}

void TestQuoteFolderNames::folderName_data()
{
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "Cliente"
                           << "Impianto"
                           << "0057_2023 (Cliente) (Impianto)";
    QTest::newRow("accents kept") << "Società Però"
                                  << "Perché sì"
                                  << "0057_2023 (Società Però) (Perché sì)";
    QTest::newRow("slashes would make sub-folders")
        << "Rossi S.r.l./Milano"
        << "Valvola 3/4 \\ DN20"
        << "0057_2023 (Rossi S.r.l.-Milano) (Valvola 3-4 - DN20)";
    QTest::newRow("colon and pipe") << "Bianchi: sede | filiale"
                                    << "Ore 10:30"
                                    << "0057_2023 (Bianchi- sede - filiale) (Ore 10-30)";
    QTest::newRow("double quotes") << "\"Verdi\" & C."
                                   << "Tubo 2\""
                                   << "0057_2023 ('Verdi' & C.) (Tubo 2')";
    QTest::newRow("wildcards and angle brackets dropped") << "Neri <spa>"
                                                          << "Quale? *urgente*"
                                                          << "0057_2023 (Neri spa) (Quale urgente)";
    QTest::newRow("control characters and blanks") << "  Gialli\tSnc "
                                                   << "Riga 1\r\nRiga 2"
                                                   << "0057_2023 (Gialli Snc) (Riga 1 Riga 2)";
    QTest::newRow("emoji kept") << QString::fromUtf8("Caffè ☕")
                                << QString::fromUtf8("Impianto 🔥 nuovo")
                                << QString::fromUtf8("0057_2023 (Caffè ☕) (Impianto 🔥 nuovo)");
    QTest::newRow("broken surrogate dropped")
        << QString(QStringLiteral("Ab")) + QChar(0xD83D) + QStringLiteral("c") << "S"
        << "0057_2023 (Abc) (S)";
    QTest::newRow("empty parts") << ""
                                 << "   "
                                 << "0057_2023 () ()";
}

void TestQuoteFolderNames::folderName()
{
    QFETCH(QString, customer);
    QFETCH(QString, subject);
    QFETCH(QString, expected);
    const QString name = QuoteFolderName(QStringLiteral("0057_2023"), customer, subject);
    QCOMPARE(name, expected);
    // The same text cleaned twice gives the same name: a stored name can be rebuilt.
    QCOMPARE(QuoteFolderName(QStringLiteral("0057_2023"),
                             CleanQuoteFolderText(customer),
                             CleanQuoteFolderText(subject)),
             expected);
}

void TestQuoteFolderNames::longNamesStayWithinLimits_data()
{
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("subject");
    QTest::newRow("300 ASCII each") << QString(300, u'C') << QString(300, u'S');
    QTest::newRow("short customer, 300 subject") << QStringLiteral("Rossi") << QString(300, u'S');
    QTest::newRow("300 accented (two bytes each)")
        << QString(300, QChar(0xE8)) << QString(300, QChar(0xE0));
    QString emoji;
    for (int i = 0; i < 300; ++i)
        emoji += QString::fromUtf8("😀");
    QTest::newRow("300 emoji") << emoji << emoji;
    QTest::newRow("cut at a blank")
        << QStringLiteral("Rossi")
        << QString(97, u'S') + QStringLiteral(" . ") + QString(200, u'T');
}

void TestQuoteFolderNames::longNamesStayWithinLimits()
{
    QFETCH(QString, customer);
    QFETCH(QString, subject);
    const QString name = QuoteFolderName(QStringLiteral("12345_2024"), customer, subject);
    QVERIFY2(name.size() <= kQuoteFolderNameMaxLength, qPrintable(QString::number(name.size())));
    QVERIFY(name.toUtf8().size() <= kQuoteFolderNameMaxBytes);
    QVERIFY(name.isValidUtf16());
    QVERIFY(name.startsWith(QStringLiteral("12345_2024 (")));
    QVERIFY(name.endsWith(u')'));
    QVERIFY(!name.contains(QStringLiteral(" )")));
    QVERIFY(!name.contains(QStringLiteral(".)")));
    // Both parts keep something, and the PDF name of a late revision stays a valid name.
    QVERIFY(!name.contains(QStringLiteral("()")));
    const QString pdf = QuotePdfName(name, QStringLiteral("12345"), QStringLiteral("2024"), 99)
                        + QStringLiteral(".pdf");
    QVERIFY(pdf.size() <= 255);
    QVERIFY(pdf.toUtf8().size() <= 255);
}

void TestQuoteFolderNames::pdfName_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("expected");
    const QString folder = QStringLiteral("0057_2023 (Cliente) (Impianto)");
    QTest::newRow("no revision") << folder << "57" << 0 << folder;
    QTest::newRow("revision 1") << folder << "57" << 1 << folder;
    QTest::newRow("revision 2") << folder << "57" << 2 << "0057_2023 Rev. 2 (Cliente) (Impianto)";
    QTest::newRow("revision 3") << folder << "57" << 3 << "0057_2023 Rev. 3 (Cliente) (Impianto)";
    QTest::newRow("five digits") << "12345_2023 (C) (S)"
                                 << "12345" << 2 << "12345_2023 Rev. 2 (C) (S)";
    QTest::newRow("folder made with more digits") << "000057_2023 (C) (S)"
                                                  << "57" << 12 << "000057_2023 Rev. 12 (C) (S)";
    QTest::newRow("parenthesis in the subject") << "0057_2023 (C) (S (bis))"
                                                << "57" << 2 << "0057_2023 Rev. 2 (C) (S (bis))";
    QTest::newRow("no parenthesis") << "0057_2023"
                                    << "57" << 2 << "0057_2023 Rev. 2";
}

void TestQuoteFolderNames::pdfName()
{
    QFETCH(QString, folder);
    QFETCH(QString, number);
    QFETCH(int, revision);
    QFETCH(QString, expected);
    QCOMPARE(QuotePdfName(folder, number, QStringLiteral("2023"), revision), expected);
}

QTEST_APPLESS_MAIN(TestQuoteFolderNames)
#include "tst_quotefoldernames.moc"
