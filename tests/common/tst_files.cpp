#include "common/clipboard.h"
#include "common/files.h"
#include "tests/support/dialogrecorder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void programFolder();
    void ensureFolder();
    void deleteFileChecked();
    void pathExists_data();
    void pathExists();
    void fileBaseName_data();
    void fileBaseName();
    void clipboard();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFiles::programFolder()
{
    const QByteArray saved = qgetenv("VENTOREL_HOME");
    qunsetenv("VENTOREL_HOME");
    QCOMPARE(ProgramFolder(), QCoreApplication::applicationDirPath() + u'/');

    qputenv("VENTOREL_HOME", m_dir->path().toLocal8Bit());
    QCOMPARE(ProgramFolder(), m_dir->path() + u'/');
    QCOMPARE(ExeFolderPath(QStringLiteral("VentorelWin.INI")),
             m_dir->path() + QStringLiteral("/VentorelWin.INI"));
    QCOMPARE(ExeFolderPath(QStringLiteral("Reports/Preventivo.RPT")),
             m_dir->path() + QStringLiteral("/Reports/Preventivo.RPT"));
    if (saved.isNull())
        qunsetenv("VENTOREL_HOME");
    else
        qputenv("VENTOREL_HOME", saved);
}

void TestFiles::ensureFolder()
{
    TDialogRecorder rec;
    QVERIFY(EnsureFolder(m_dir->path()));
    const QString one = m_dir->filePath(QStringLiteral("Preventivi 2024"));
    QVERIFY(EnsureFolder(one));
    QVERIFY(QDir(one).exists());
    QCOMPARE(rec.Requests().size(), 0);

    const QString two = m_dir->filePath(QStringLiteral("a/b"));
    QVERIFY(!EnsureFolder(two));
    QVERIFY(!QDir(two).exists());
    QCOMPARE(rec.LastText(TDialogKind::Error),
             QStringLiteral("Attenzione !  Impossibile creare la cartella [%1].").arg(two));

    // A file in the way is not a folder.
    const QString file = m_dir->filePath(QStringLiteral("file"));
    Touch(file);
    QVERIFY(!EnsureFolder(file));
    QCOMPARE(rec.Count(TDialogKind::Error), 2);
}

void TestFiles::deleteFileChecked()
{
    TDialogRecorder rec;
    const QString file = m_dir->filePath(QStringLiteral("old.pdf"));
    QVERIFY(DeleteFileChecked(file));
    Touch(file);
    QVERIFY(DeleteFileChecked(file));
    QVERIFY(!QFile::exists(file));
    QCOMPARE(rec.Requests().size(), 0);

    const QString folder = m_dir->filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(!DeleteFileChecked(folder, true));
    QCOMPARE(rec.Requests().size(), 0);
    QVERIFY(!DeleteFileChecked(folder));
    QCOMPARE(rec.LastText(TDialogKind::Error),
             QStringLiteral("Attenzione !  Impossibile cancellare il file: %1.").arg(folder));
    QVERIFY(QDir(folder).exists());
}

void TestFiles::pathExists_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");
    QTest::newRow("file") << "0012_2024.pdf" << true;
    QTest::newRow("folder") << "sub" << true;
    QTest::newRow("missing file") << "0013_2024.pdf" << false;
    QTest::newRow("pattern matches") << "*.pdf" << true;
    QTest::newRow("pattern with ?") << "0012_202?.pdf" << true;
    QTest::newRow("pattern matches a folder") << "su*" << true;
    QTest::newRow("pattern without match") << "*.docx" << false;
    QTest::newRow("pattern in missing folder") << "missing/*.pdf" << false;
}

void TestFiles::pathExists()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    Touch(m_dir->filePath(QStringLiteral("0012_2024.pdf")));
    QVERIFY(QDir().mkdir(m_dir->filePath(QStringLiteral("sub"))));
    QCOMPARE(PathExists(m_dir->filePath(relative)), expected);
    QVERIFY(!PathExists(QString()));
}

void TestFiles::fileBaseName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/home/u/Reports/Preventivo.RPT"
                           << "Preventivo";
    QTest::newRow("two dots") << "/tmp/0012_2024 (Rossi) Rev. 2.pdf"
                              << "0012_2024 (Rossi) Rev. 2";
    QTest::newRow("no extension") << "/tmp/LEGGIMI"
                                  << "LEGGIMI";
    QTest::newRow("relative") << "logo.png"
                              << "logo";
    QTest::newRow("folder") << "/tmp/dir/"
                            << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFiles::fileBaseName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FileBaseName(path), expected);
}

void TestFiles::clipboard()
{
    PutClipboardText(QStringLiteral("{8D2F4C1A-0B5E-4E0F-9A3C-5B2D7E1F6A90} è"));
    QCOMPARE(ClipboardText(), QStringLiteral("{8D2F4C1A-0B5E-4E0F-9A3C-5B2D7E1F6A90} è"));
    QVERIFY(PasteImageFromClipboard().isNull());

    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    CopyImageToClipboard(img);
    const QImage pasted = PasteImageFromClipboard();
    QCOMPARE(pasted.size(), QSize(30, 20));
    QCOMPARE(pasted.pixelColor(5, 5), QColor(Qt::red));
}

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
