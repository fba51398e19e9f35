#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "db/pgadapter.h"

#include <QtTest>

// The argument forms of command texts and the password form.
class TstCommandText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void argumentForms_data();
    void argumentForms();
    void refusedInput_data();
    void refusedInput();
    void execText();
    void passwordForm_data();
    void passwordForm();
};

void TstCommandText::argumentForms_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("expected");

    QTest::newRow("text") << SqlText(QStringLiteral("Rossi")) << "'Rossi'";
    QTest::newRow("text with apostrophe") << SqlText(QStringLiteral("D'Angelo")) << "'D''Angelo'";
    QTest::newRow("empty text stays text") << SqlText(QString()) << "''";
    QTest::newRow("text or null, empty") << SqlTextOrNull(QString()) << "null";
    QTest::newRow("text or null") << SqlTextOrNull(QStringLiteral("MI")) << "'MI'";
    QTest::newRow("contains") << SqlContains(QStringLiteral("l'ro")) << "'%l''ro%'";
    QTest::newRow("contains, empty") << SqlContains(QString()) << "null";
    QTest::newRow("starts with") << SqlStartsWith(QStringLiteral("ros")) << "'ros%'";
    QTest::newRow("starts with, empty") << SqlStartsWith(QString()) << "null";
    QTest::newRow("flag on") << SqlFlag(true) << "1";
    QTest::newRow("flag off") << SqlFlag(false) << "0";
    QTest::newRow("whole number") << SqlInteger(2024) << "2024";
    QTest::newRow("negative number") << SqlInteger(-3) << "-3";
    QTest::newRow("real") << SqlReal(1.5) << "1.5";
    QTest::newRow("real, whole") << SqlReal(12) << "12";
    QTest::newRow("real typed with comma") << SqlRealTyped(QStringLiteral("1,5")) << "1.5";
    QTest::newRow("real typed with thousands")
        << SqlRealTyped(QStringLiteral("1.234,56")) << "1234.56";
    QTest::newRow("real typed, whole") << SqlRealTyped(QStringLiteral("15")) << "15";
    QTest::newRow("real typed, negative") << SqlRealTyped(QStringLiteral("-0,25")) << "-0.25";
    QTest::newRow("real typed, empty") << SqlRealTyped(QStringLiteral(" ")) << "null";
    QTest::newRow("date typed") << SqlDateTyped(QStringLiteral("05/03/2021")) << "'20210305'";
    QTest::newRow("date typed, short") << SqlDateTyped(QStringLiteral("5/3/2021")) << "'20210305'";
    QTest::newRow("date typed, empty") << SqlDateTyped(QString()) << "null";
}

void TstCommandText::argumentForms()
{
    QFETCH(QString, written);
    QFETCH(QString, expected);
    QCOMPARE(written, expected);
    // Every form is a literal the adapter lets through unchanged.
    QCOMPARE(ToPostgres(QStringLiteral("EXEC EstraiClienti ") + written),
             QStringLiteral("SELECT * FROM EstraiClienti(%1)").arg(written));
}

void TstCommandText::refusedInput_data()
{
    QTest::addColumn<int>("kind"); // 0 real, 1 date
    QTest::addColumn<QString>("typed");

    QTest::newRow("real with letters") << 0 << "1,5a";
    QTest::newRow("real with two commas") << 0 << "1,5,2";
    QTest::newRow("real, misplaced thousands") << 0 << "12.34,5";
    QTest::newRow("date that does not exist") << 1 << "31/02/2024";
    QTest::newRow("date in another form") << 1 << "2024-03-05";
    QTest::newRow("date with two-digit year") << 1 << "05/03/21";
}

void TstCommandText::refusedInput()
{
    QFETCH(int, kind);
    QFETCH(QString, typed);
    try {
        const QString written = kind == 0 ? SqlRealTyped(typed) : SqlDateTyped(typed);
        QFAIL(qPrintable("written as " + written));
    } catch (const EDatabaseError &e) {
        QVERIFY(e.ProviderText().contains(typed));
    }
}

void TstCommandText::execText()
{
    QCOMPARE(ExecText(QStringLiteral("EstraiProvinceItaliane")),
             QStringLiteral("EXEC EstraiProvinceItaliane"));
    QCOMPARE(ExecText(QStringLiteral("ChangeStatoCliente"),
                      {SqlText(QStringLiteral("{A}")), SqlFlag(false), SqlText("MROSSI")}),
             QStringLiteral("EXEC ChangeStatoCliente '{A}', 0, 'MROSSI'"));
    QCOMPARE(ExecText(QStringLiteral("EstraiClienti"),
                      {SqlFlag(true), SqlTextOrNull(QString()), SqlContains("ros")}),
             QStringLiteral("EXEC EstraiClienti 1, null, '%ros%'"));
}

void TstCommandText::passwordForm_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "admin"
                           << "YWRtaW4=";
    QTest::newRow("upper case is lowered") << "ADMIN"
                                           << "YWRtaW4=";
    QTest::newRow("two paddings") << "bianchi"
                                  << "YmlhbmNoaQ==";
    QTest::newRow("no padding") << "lverdi"
                                << "bHZlcmRp";
    QTest::newRow("accents in UTF-8") << "Perché"
                                      << "cGVyY2jDqQ==";
    QTest::newRow("empty") << ""
                           << "";
    // 57 bytes make exactly one 76-character line: no break after the last line.
    QTest::newRow("one full line")
        << QString(57, u'x') << QString::fromLatin1(QByteArray(57, 'x').toBase64());
    QTest::newRow("line break after 76 characters")
        << QString(70, u'x') + "-uno"
        << "eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4\r\n"
           "eHh4eHh4eHh4eHh4eC11bm8=";
}

void TstCommandText::passwordForm()
{
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(PasswordToBase64(password), expected);
}

QTEST_GUILESS_MAIN(TstCommandText)
#include "tst_commandtext.moc"
