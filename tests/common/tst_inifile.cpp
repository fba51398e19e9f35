#include "common/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void missingFileReadsDefaultsAndWritingCreatesIt();
    void roundTripAndCaseOfKeys();
    void otherSectionsAndLinesKept();
    void absentKeyVersusEmptyValue();
    void crlfFile();
    void accents();
    void legacyCodePageFile();
    void valueCannotAddLines();
    void flags_data();
    void flags();
    void unwritableFolder();
    void unreadableFileIsNotOverwritten();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TestIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = m_dir->filePath(QStringLiteral("VentorelWin.INI"));
}

void TestIniFile::missingFileReadsDefaultsAndWritingCreatesIt()
{
    QCOMPARE(IniReadText("SETTINGS", "FullScreen", "NO", m_file), QStringLiteral("NO"));
    QVERIFY(!QFile::exists(m_file));
    QVERIFY(IniWriteText("SETTINGS", "FullScreen", "SI", m_file));
    QCOMPARE(ReadBytes(m_file), QByteArray("[SETTINGS]\nFullScreen=SI\n"));
}

void TestIniFile::roundTripAndCaseOfKeys()
{
    QVERIFY(IniWriteText("SETTINGS", "SrvLoc", "srv01", m_file));
    QVERIFY(IniWriteText("SETTINGS", "AdminUserKRT", "MARIO", m_file));
    QVERIFY(IniWriteText("SETTINGS", "Formula", "a=b=c", m_file));
    QCOMPARE(IniReadText("SETTINGS", "SrvLoc", "", m_file), QStringLiteral("srv01"));
    QCOMPARE(IniReadText("settings", "SRVLOC", "", m_file), QStringLiteral("srv01"));
    QCOMPARE(IniReadText("SETTINGS", "AdminUserKRT", "", m_file), QStringLiteral("MARIO"));
    QCOMPARE(IniReadText("SETTINGS", "Formula", "", m_file), QStringLiteral("a=b=c"));

    // Rewriting with another spelling replaces the line, keeping the first spelling.
    QVERIFY(IniWriteText("SETTINGS", "srvloc", "srv02", m_file));
    QCOMPARE(IniReadText("SETTINGS", "SrvLoc", "", m_file), QStringLiteral("srv02"));
    QCOMPARE(ReadBytes(m_file),
             QByteArray("[SETTINGS]\nSrvLoc=srv02\nAdminUserKRT=MARIO\nFormula=a=b=c\n"));
}

void TestIniFile::otherSectionsAndLinesKept()
{
    WriteBytes(m_file,
               "; settings of the program\n"
               "[OTHER]\n"
               "SrvLoc=other\n"
               "\n"
               "[SETTINGS]\n"
               "# last filters\n"
               "FrmGesCli_CodCliente=12\n"
               "\n"
               "[THIRD]\n"
               "Key = spaced value \n");
    QCOMPARE(IniReadText("SETTINGS", "SrvLoc", "none", m_file), QStringLiteral("none"));
    QCOMPARE(IniReadText("OTHER", "SrvLoc", "", m_file), QStringLiteral("other"));
    QCOMPARE(IniReadText("THIRD", "key", "", m_file), QStringLiteral("spaced value"));

    QVERIFY(IniWriteText("SETTINGS", "SrvLoc", "mine", m_file));
    QVERIFY(IniWriteText("SETTINGS", "FrmGesCli_CodCliente", "13", m_file));
    QVERIFY(IniWriteText("NEW", "A", "1", m_file));
    QCOMPARE(ReadBytes(m_file),
             QByteArray("; settings of the program\n"
                        "[OTHER]\n"
                        "SrvLoc=other\n"
                        "\n"
                        "[SETTINGS]\n"
                        "# last filters\n"
                        "FrmGesCli_CodCliente=13\n"
                        "SrvLoc=mine\n"
                        "\n"
                        "[THIRD]\n"
                        "Key = spaced value \n"
                        "\n"
                        "[NEW]\n"
                        "A=1\n"));
    QCOMPARE(IniReadText("OTHER", "SrvLoc", "", m_file), QStringLiteral("other"));
}

void TestIniFile::absentKeyVersusEmptyValue()
{
    WriteBytes(m_file, "[SETTINGS]\nFrmLogon_IndexDB=\n");
    QCOMPARE(IniReadText("SETTINGS", "FrmLogon_IndexDB", kIniAbsent, m_file), QString(""));
    QCOMPARE(IniReadText("SETTINGS", "Missing", kIniAbsent, m_file), QStringLiteral("FAIL_EXISTS"));
    QCOMPARE(IniReadText("NOSECTION", "FrmLogon_IndexDB", kIniAbsent, m_file),
             QStringLiteral("FAIL_EXISTS"));
    QVERIFY(IniWriteText("SETTINGS", "Empty", "", m_file));
    QCOMPARE(IniReadText("SETTINGS", "Empty", kIniAbsent, m_file), QString(""));
}

void TestIniFile::crlfFile()
{
    WriteBytes(m_file, "[SETTINGS]\r\nSrvLoc=srv01\r\nFullScreen=SI\r\n");
    QCOMPARE(IniReadText("SETTINGS", "SrvLoc", "", m_file), QStringLiteral("srv01"));
    QCOMPARE(IniReadText("SETTINGS", "FullScreen", "", m_file), QStringLiteral("SI"));
    QVERIFY(IniWriteText("SETTINGS", "DBxDebugKRT", "VentorelDB", m_file));
    QCOMPARE(ReadBytes(m_file),
             QByteArray(
                 "[SETTINGS]\r\nSrvLoc=srv01\r\nFullScreen=SI\r\nDBxDebugKRT=VentorelDB\r\n"));
}

void TestIniFile::accents()
{
    const QString value = QStringLiteral("C:/Documenti/Società è perché");
    QVERIFY(IniWriteText("SETTINGS", "General_PrevsPath", value, m_file));
    QCOMPARE(IniReadText("SETTINGS", "General_PrevsPath", "", m_file), value);
    QVERIFY(ReadBytes(m_file).contains(value.toUtf8()));
}

void TestIniFile::legacyCodePageFile()
{
    WriteBytes(m_file, "[SETTINGS]\nCitta=Citt\xe0\n");
    QCOMPARE(IniReadText("SETTINGS", "Citta", "", m_file), QStringLiteral("Città"));
}

void TestIniFile::valueCannotAddLines()
{
    QVERIFY(
        IniWriteText("SETTINGS", "Denominazione", "Rossi\r\nAdminUserKRT=X\nSrvLoc=evil", m_file));
    QCOMPARE(IniReadText("SETTINGS", "AdminUserKRT", kIniAbsent, m_file),
             QStringLiteral("FAIL_EXISTS"));
    QCOMPARE(IniReadText("SETTINGS", "SrvLoc", kIniAbsent, m_file), QStringLiteral("FAIL_EXISTS"));
    QCOMPARE(IniReadText("SETTINGS", "Denominazione", "", m_file),
             QStringLiteral("Rossi AdminUserKRT=X SrvLoc=evil"));
}

void TestIniFile::flags_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("SI") << QByteArray("[SETTINGS]\nF=SI\n") << false << true;
    QTest::newRow("si") << QByteArray("[SETTINGS]\nF=si\n") << false << true;
    QTest::newRow("NO") << QByteArray("[SETTINGS]\nF=NO\n") << true << false;
    QTest::newRow("absent default true") << QByteArray("[SETTINGS]\n") << true << true;
    QTest::newRow("absent default false") << QByteArray("") << false << false;
    QTest::newRow("other text") << QByteArray("[SETTINGS]\nF=forse\n") << true << true;
}

void TestIniFile::flags()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    WriteBytes(m_file, content);
    QCOMPARE(IniReadFlag("SETTINGS", "F", defaultValue, m_file), expected);

    QVERIFY(IniWriteFlag("SETTINGS", "F", !expected, m_file));
    QCOMPARE(IniReadText("SETTINGS", "F", "", m_file), QLatin1String(expected ? "NO" : "SI"));
}

void TestIniFile::unwritableFolder()
{
    const QString file = m_dir->filePath(QStringLiteral("missing/folder/x.ini"));
    QVERIFY(!IniWriteText("SETTINGS", "A", "1", file));
    QCOMPARE(IniReadText("SETTINGS", "A", "def", file), QStringLiteral("def"));
}

void TestIniFile::unreadableFileIsNotOverwritten()
{
    // Something that exists but cannot be read as a file must not be replaced by a new file
    // holding a single key.
    QVERIFY(QDir().mkdir(m_file));
    QVERIFY(!IniWriteText("SETTINGS", "A", "1", m_file));
    QVERIFY(QFileInfo(m_file).isDir());
}

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
