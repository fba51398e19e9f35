#include "common/processroutines.h"
#include "common/sessioninfo.h"
#include "tests/support/dialogrecorder.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QUuid>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

// Helper mode of this program: takes the instance lock called name, says so on standard
// output and holds it until its standard input closes.
int HoldInstance(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool running = IsAlreadyRunning(QString::fromLocal8Bit(argv[2]), true);
    std::printf(running ? "RUNNING\n" : "LOCKED\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

QString UniqueName()
{
    return QStringLiteral("VtTest_") + QUuid::createUuid().toString(QUuid::Id128) + ".exe";
}

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT
private slots:
    void secondInstanceIsRefused();
    void lockOfDeadProcessIsTakenOver();
    void sameProcessAsksTwice();
    void lockThatCannotBeCreatedDoesNotBlock();
    void readCommandLine_data();
    void readCommandLine();

private:
    // Starts the helper holding name; returns its first line of output.
    QString StartHelper(QProcess &helper, const QString &name);
};

QString TestProcess::StartHelper(QProcess &helper, const QString &name)
{
    helper.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-instance"), name});
    if (!helper.waitForStarted(10000) || !helper.waitForReadyRead(10000))
        return QString();
    return QString::fromLatin1(helper.readLine()).trimmed();
}

void TestProcess::secondInstanceIsRefused()
{
    const QString name = UniqueName();
    QProcess first;
    QCOMPARE(StartHelper(first, name), QStringLiteral("LOCKED"));

    // However old its lock file, a live instance keeps the name.
    {
        QFile lockFile(InstanceLockPath(name));
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                     QFileDevice::FileModificationTime));
    }

    TDialogRecorder rec;
    QVERIFY(IsAlreadyRunning(name, true));
    QCOMPARE(rec.Requests().size(), 0);
    QVERIFY(IsAlreadyRunning(name, false));
    QCOMPARE(rec.LastText(TDialogKind::Error), QStringLiteral("Programma già attivo !!!"));

    // The first instance ends normally: the name is free again and this process takes it.
    first.closeWriteChannel();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(!IsAlreadyRunning(name, false));
    QCOMPARE(rec.Count(TDialogKind::Error), 1);

    QProcess second;
    QCOMPARE(StartHelper(second, name), QStringLiteral("RUNNING"));
    second.closeWriteChannel();
    QVERIFY(second.waitForFinished(10000));
}

void TestProcess::lockOfDeadProcessIsTakenOver()
{
    const QString name = UniqueName();
    QProcess holder;
    QCOMPARE(StartHelper(holder, name), QStringLiteral("LOCKED"));
    holder.kill(); // no chance to remove its lock file
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY(QFile::exists(InstanceLockPath(name)));
    QVERIFY(!IsAlreadyRunning(name, true));
}

void TestProcess::sameProcessAsksTwice()
{
    const QString name = UniqueName();
    QVERIFY(!IsAlreadyRunning(name, true));
    QVERIFY(!IsAlreadyRunning(name, true));
    QVERIFY(QFile::exists(InstanceLockPath(name)));
}

void TestProcess::lockThatCannotBeCreatedDoesNotBlock()
{
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent/ventorel-tmp");
    TDialogRecorder rec;
    const bool running = IsAlreadyRunning(UniqueName(), false);
    if (saved.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", saved);
    QVERIFY(!running);
    QCOMPARE(rec.Requests().size(), 0);
}

void TestProcess::readCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("both") << QStringList{"ventorel", "-u", "MARIO", "-pwd", "segreta"} << "MARIO"
                          << "segreta";
    QTest::newRow("password first")
        << QStringList{"ventorel", "-pwd", "a b", "-u", "ANNA"} << "ANNA"
        << "a b";
    QTest::newRow("none") << QStringList{"ventorel"} << ""
                          << "";
    QTest::newRow("switch without value") << QStringList{"ventorel", "-u"} << ""
                                          << "";
    QTest::newRow("switches are exact") << QStringList{"ventorel", "-U", "X", "/pwd", "Y"} << ""
                                        << "";
    QTest::newRow("value that looks like a switch")
        << QStringList{"ventorel", "-pwd", "-u", "x"} << ""
        << "-u";
}

void TestProcess::readCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, user);
    QFETCH(QString, password);
    SessionInfo().sUserName = QStringLiteral("PRIMA");
    SessionInfo().sPassword = QStringLiteral("prima");
    SessionInfo().dtStartTime = QDateTime();
    const QDateTime before = QDateTime::currentDateTime();
    ReadCommandLine(args);
    QCOMPARE(SessionInfo().sUserName, user);
    QCOMPARE(SessionInfo().sPassword, password);
    QVERIFY(SessionInfo().dtStartTime >= before);
    QVERIFY(SessionInfo().dtStartTime <= QDateTime::currentDateTime());
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--hold-instance") == 0)
        return HoldInstance(argc, argv);
    QApplication app(argc, argv);
    TestProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_process.moc"
