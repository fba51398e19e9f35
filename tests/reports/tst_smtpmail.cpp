// The e-mail sending routine and the engine's EmailReport, against an SMTP server of our own.

#include "reporttesthelpers.h"
#include "smtpreceiver.h"

#include "reports/krtcrystalreport.h"
#include "reports/smtpmail.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace rpt_test;

class TestSmtpMail : public QObject
{
    Q_OBJECT

private slots:
    void messageWithAttachmentAsReceived();
    void messageWithoutAttachment();
    void failures_data();
    void failures();
    void emailReportSendsThePdfOfTheReport();
};

void TestSmtpMail::messageWithAttachmentAsReceived()
{
    SmtpReceiver server;
    server.requiredUser = QStringLiteral("ufficio@ventorel.it");
    server.requiredPassword = QStringLiteral("segreta è");
    QTemporaryDir dir;
    QByteArray payload(70000, Qt::Uninitialized);
    for (char &c : payload)
        c = char(QRandomGenerator::global()->bounded(256));
    const QString path = dir.filePath(QStringLiteral("Preventivo 12.pdf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(payload);
    f.close();

    TEmailMessage m;
    m.authenticate = true;
    m.user = server.requiredUser;
    m.password = server.requiredPassword;
    m.server = server.Address();
    m.from = QStringLiteral("Ufficio <ufficio@ventorel.it>");
    m.to = QStringLiteral("cliente@example.com; altro@example.com");
    m.cc = QStringLiteral("copia@example.com");
    m.bcc = QStringLiteral("nascosta@example.com");
    m.subject = QStringLiteral("Preventivo n° 12 – revisione");
    m.text = QStringLiteral("Buongiorno,\r\n.in allegato il preventivo.\r\nCordiali saluti");
    m.attachmentPath = path;
    QCOMPARE(SendEmail(m), QString());

    const QList<ReceivedMail> mails = server.Mails();
    QCOMPARE(mails.size(), 1);
    const ReceivedMail &r = mails.first();
    QCOMPARE(r.authUser, server.requiredUser);
    QCOMPARE(r.authPassword, server.requiredPassword);
    QCOMPARE(r.from, QStringLiteral("ufficio@ventorel.it"));
    QCOMPARE(r.recipients,
             QStringList({QStringLiteral("cliente@example.com"),
                          QStringLiteral("altro@example.com"),
                          QStringLiteral("copia@example.com"),
                          QStringLiteral("nascosta@example.com")}));
    QHash<QByteArray, QByteArray> headers;
    const QList<MimePart> parts = MimeParts(r.data, &headers);
    QCOMPARE(DecodeWord(headers.value("subject")), m.subject);
    QCOMPARE(headers.value("to"), QByteArray("cliente@example.com, altro@example.com"));
    QCOMPARE(headers.value("cc"), QByteArray("copia@example.com"));
    QVERIFY(!headers.contains("bcc"));
    QCOMPARE(headers.value("mime-version"), QByteArray("1.0"));
    QVERIFY(headers.value("content-type").startsWith("multipart/mixed"));
    QCOMPARE(parts.size(), 2);
    QVERIFY(parts[0].headers.value("content-type").startsWith("text/plain; charset=UTF-8"));
    QCOMPARE(QString::fromUtf8(parts[0].body), m.text);
    QVERIFY(parts[1].headers.value("content-type").startsWith("application/pdf"));
    QVERIFY(
        parts[1].headers.value("content-disposition").contains("filename=\"Preventivo 12.pdf\""));
    QCOMPARE(parts[1].body, payload);
}

void TestSmtpMail::messageWithoutAttachment()
{
    SmtpReceiver server;
    TEmailMessage m;
    m.server = server.Address();
    m.from = QStringLiteral("a@example.com");
    m.to = QStringLiteral("b@example.com");
    m.subject = QStringLiteral("Solo testo");
    m.text = QStringLiteral("Testo àèì");
    QCOMPARE(SendEmail(m), QString());
    const QList<ReceivedMail> mails = server.Mails();
    QCOMPARE(mails.size(), 1);
    QVERIFY(mails[0].authUser.isEmpty());
    QHash<QByteArray, QByteArray> headers;
    const QList<MimePart> parts = MimeParts(mails[0].data, &headers);
    QCOMPARE(parts.size(), 1);
    QCOMPARE(QString::fromUtf8(parts[0].body), m.text);
    QCOMPARE(headers.value("subject"), QByteArray("Solo testo"));
}

void TestSmtpMail::failures_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("connects");
    QTest::newRow("attachment missing") << "attachment"
                                        << "Percorso Allegato Errato: " << false;
    QTest::newRow("nobody listening") << "closed"
                                      << "Errore Connessione: " << false;
    QTest::newRow("wrong password") << "password"
                                    << "Errore Connessione: " << true;
    QTest::newRow("recipient refused") << "recipient"
                                       << "Errore Invio Email: " << true;
    QTest::newRow("no recipient") << "norecipient"
                                  << "Errore Invio Email: " << false;
}

void TestSmtpMail::failures()
{
    QFETCH(QString, scenario);
    QFETCH(QString, prefix);
    QFETCH(bool, connects);
    SmtpReceiver server;
    TEmailMessage m;
    m.server = server.Address();
    m.from = QStringLiteral("a@example.com");
    m.to = QStringLiteral("b@example.com");
    m.subject = QStringLiteral("x");
    if (scenario == u"attachment")
        m.attachmentPath = QStringLiteral("/non/esiste/allegato.pdf");
    if (scenario == u"closed") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        m.server = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
    }
    if (scenario == u"password") {
        server.requiredUser = QStringLiteral("u");
        server.requiredPassword = QStringLiteral("giusta");
        m.authenticate = true;
        m.user = QStringLiteral("u");
        m.password = QStringLiteral("sbagliata");
    }
    if (scenario == u"recipient")
        server.rejectRecipient = QStringLiteral("b@example.com");
    if (scenario == u"norecipient")
        m.to = QStringLiteral(" ; ");
    const QString error = SendEmail(m);
    QVERIFY2(error.startsWith(prefix), qPrintable(error));
    if (scenario == u"attachment")
        QCOMPARE(error, QStringLiteral("Percorso Allegato Errato: /non/esiste/allegato.pdf"));
    QCOMPARE(server.Connections() > 0, connects);
    QCOMPARE(server.Mails().size(), 0);
}

void TestSmtpMail::emailReportSendsThePdfOfTheReport()
{
    SmtpReceiver server;
    QTemporaryDir dir;
    WriteText(dir.filePath(QStringLiteral("Elenco.RPT")),
              QStringLiteral("report \"Elenco\"\nband detail\n  height: 100\n  keep-together: yes\n"
                             "  field N\n"
                             "    rect: 0 0 50 6\n    value: \"Riga \" & {n}\n"));
    auto data = MakeData({QStringLiteral("n:int")}, {{1}, {2}, {3}, {4}});
    TKRTCrystalReport engine;
    engine.ReportName = dir.filePath(QStringLiteral("Elenco"));
    engine.Recordset = data.get();
    engine.Mode = 0;
    QVERIFY(engine.Start(true));
    QCOMPARE(engine.Document()->PageCount(), 2);
    RPTEmailOptions &o = engine.EmailOptions;
    o.AccountMailServer = server.Address();
    o.FromEmail = QStringLiteral("ufficio@example.com");
    o.ToEmail = QStringLiteral("cliente@example.com");
    o.SubjectEmail = QStringLiteral("Elenco");
    o.MessageEmail = QStringLiteral("In allegato.");
    o.AttachmentEmail = QStringLiteral("Offerta 2024.docx");
    o.PageFrom = 2;
    o.PageTo = 2;
    engine.EmailReport();
    QCOMPARE(o.ErrorEmail, QString());
    const QList<ReceivedMail> mails = server.Mails();
    QCOMPARE(mails.size(), 1);
    QHash<QByteArray, QByteArray> headers;
    const QList<MimePart> parts = MimeParts(mails[0].data, &headers);
    QCOMPARE(parts.size(), 2);
    QVERIFY(parts[1].headers.value("content-disposition").contains("filename=\"Offerta 2024.pdf\""));
    const QString pdf = dir.filePath(QStringLiteral("ricevuto.pdf"));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(parts[1].body);
    f.close();
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0], QStringLiteral("Riga 3 Riga 4"));

    // A server that does not answer: the error is kept for the caller.
    server.rejectRecipient = QStringLiteral("cliente@example.com");
    engine.EmailReport();
    QVERIFY2(o.ErrorEmail.startsWith(QLatin1String("Errore Invio Email: ")),
             qPrintable(o.ErrorEmail));
}

QTEST_MAIN(TestSmtpMail)
#include "tst_smtpmail.moc"
