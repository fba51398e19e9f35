#pragma once

// A small SMTP server for tests, on 127.0.0.1 in a thread of its own (the sender blocks the
// test's thread while it talks): EHLO/HELO, AUTH PLAIN and LOGIN, MAIL, RCPT, DATA, RSET,
// NOOP, QUIT. It records every message it accepts.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>

namespace rpt_test {

struct ReceivedMail
{
    QString helo;
    QString authUser;
    QString authPassword;
    QString from;
    QStringList recipients;
    QByteArray data; // the message as sent, dot-stuffing removed
};

class SmtpReceiver : public QThread
{
public:
    QString requiredUser; // non-empty: AUTH is offered and required
    QString requiredPassword;
    QString rejectRecipient; // RCPT of this address gets 550

    SmtpReceiver()
    {
        start();
        while (m_port.load() == 0)
            QThread::msleep(5);
    }
    ~SmtpReceiver() override
    {
        quit();
        wait();
    }
    quint16 Port() const { return m_port.load(); }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(Port()); }
    QList<ReceivedMail> Mails() const
    {
        QMutexLocker lock(&m_mutex);
        return m_mails;
    }
    int Connections() const { return m_connections.load(); }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
            while (QTcpSocket *s = server.nextPendingConnection())
                Serve(s);
        });
        m_port.store(server.serverPort());
        exec();
    }

private:
    struct Session
    {
        ReceivedMail mail;
        QByteArray buffer;
        bool inData = false;
        bool authed = false;
        int authStep = 0; // AUTH LOGIN: 1 user expected, 2 password expected; 3 AUTH PLAIN
    };

    void Serve(QTcpSocket *socket)
    {
        ++m_connections;
        auto *session = new Session;
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, session] {
            delete session;
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, session] {
            session->buffer += socket->readAll();
            Process(socket, *session);
        });
        socket->write("220 localhost ESMTP prova\r\n");
    }

    void Process(QTcpSocket *socket, Session &s)
    {
        while (true) {
            if (s.inData) {
                const int end = s.buffer.indexOf("\r\n.\r\n");
                const bool emptyBody = s.buffer.startsWith(".\r\n");
                if (end < 0 && !emptyBody)
                    return;
                QByteArray body = emptyBody ? QByteArray() : s.buffer.left(end + 2);
                s.buffer.remove(0, emptyBody ? 3 : end + 5);
                body.replace("\r\n..", "\r\n.");
                if (body.startsWith(".."))
                    body.remove(0, 1);
                s.mail.data = body;
                {
                    QMutexLocker lock(&m_mutex);
                    m_mails << s.mail;
                }
                s.mail.recipients.clear();
                s.inData = false;
                socket->write("250 OK messaggio accettato\r\n");
                continue;
            }
            const int nl = s.buffer.indexOf("\r\n");
            if (nl < 0)
                return;
            const QByteArray line = s.buffer.left(nl);
            s.buffer.remove(0, nl + 2);
            socket->write(Answer(line, s));
            if (line.toUpper() == "QUIT") {
                socket->flush();
                socket->disconnectFromHost();
                return;
            }
        }
    }

    QByteArray Answer(const QByteArray &line, Session &s)
    {
        const QByteArray upper = line.toUpper();
        if (s.authStep == 1) {
            s.mail.authUser = QString::fromUtf8(QByteArray::fromBase64(line));
            s.authStep = 2;
            return "334 UGFzc3dvcmQ6\r\n";
        }
        if (s.authStep == 2 || s.authStep == 3) {
            if (s.authStep == 2) {
                s.mail.authPassword = QString::fromUtf8(QByteArray::fromBase64(line));
            } else {
                const QList<QByteArray> parts = QByteArray::fromBase64(line).split('\0');
                s.mail.authUser = QString::fromUtf8(parts.value(1));
                s.mail.authPassword = QString::fromUtf8(parts.value(2));
            }
            s.authStep = 0;
            if (s.mail.authUser == requiredUser && s.mail.authPassword == requiredPassword) {
                s.authed = true;
                return "235 Autenticato\r\n";
            }
            return "535 Credenziali errate\r\n";
        }
        if (upper.startsWith("EHLO")) {
            s.mail.helo = QString::fromLatin1(line.mid(5));
            QByteArray r = "250-localhost\r\n";
            if (!requiredUser.isEmpty())
                r += "250-AUTH PLAIN LOGIN\r\n";
            return r + "250 SIZE 50000000\r\n";
        }
        if (upper.startsWith("HELO"))
            return "250 localhost\r\n";
        if (upper.startsWith("AUTH LOGIN")) {
            const QByteArray arg = line.mid(11).trimmed();
            if (!arg.isEmpty()) {
                s.mail.authUser = QString::fromUtf8(QByteArray::fromBase64(arg));
                s.authStep = 2;
                return "334 UGFzc3dvcmQ6\r\n";
            }
            s.authStep = 1;
            return "334 VXNlcm5hbWU6\r\n";
        }
        if (upper.startsWith("AUTH PLAIN")) {
            const QByteArray arg = line.mid(11).trimmed();
            s.authStep = 3;
            if (arg.isEmpty())
                return "334 \r\n";
            return Answer(arg, s);
        }
        if (upper.startsWith("MAIL FROM:")) {
            if (!requiredUser.isEmpty() && !s.authed)
                return "530 Autenticazione richiesta\r\n";
            s.mail.from = QString::fromUtf8(Address(line.mid(10)));
            return "250 OK\r\n";
        }
        if (upper.startsWith("RCPT TO:")) {
            const QString rcpt = QString::fromUtf8(Address(line.mid(8)));
            if (!rejectRecipient.isEmpty() && rcpt == rejectRecipient)
                return "550 Destinatario sconosciuto\r\n";
            s.mail.recipients << rcpt;
            return "250 OK\r\n";
        }
        if (upper == "DATA") {
            s.inData = true;
            return "354 Inviare il messaggio\r\n";
        }
        if (upper == "RSET" || upper == "NOOP")
            return "250 OK\r\n";
        if (upper == "QUIT")
            return "221 Arrivederci\r\n";
        return "502 Comando non gestito\r\n";
    }

    static QByteArray Address(const QByteArray &arg)
    {
        QByteArray a = arg.trimmed();
        const int lt = a.indexOf('<');
        const int gt = a.indexOf('>');
        if (lt >= 0 && gt > lt)
            a = a.mid(lt + 1, gt - lt - 1);
        return a;
    }

    std::atomic<quint16> m_port{0};
    std::atomic<int> m_connections{0};
    mutable QMutex m_mutex;
    QList<ReceivedMail> m_mails;
};

// A received message taken apart: headers (folded lines joined, names lower case) and parts.
struct MimePart
{
    QHash<QByteArray, QByteArray> headers;
    QByteArray body; // decoded
};
inline QHash<QByteArray, QByteArray> ParseHeaders(const QByteArray &block)
{
    QHash<QByteArray, QByteArray> h;
    QByteArray last;
    for (const QByteArray &line : block.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if ((l.startsWith(' ') || l.startsWith('\t')) && !last.isEmpty()) {
            h[last] += ' ' + l.trimmed();
            continue;
        }
        const int colon = l.indexOf(':');
        if (colon <= 0)
            continue;
        last = l.left(colon).trimmed().toLower();
        h.insert(last, l.mid(colon + 1).trimmed());
    }
    return h;
}
inline QString DecodeWord(const QByteArray &value)
{
    if (value.startsWith("=?UTF-8?B?") && value.endsWith("?="))
        return QString::fromUtf8(QByteArray::fromBase64(value.mid(10, value.size() - 12)));
    return QString::fromUtf8(value);
}
inline MimePart DecodePart(const QByteArray &raw)
{
    MimePart p;
    const int split = raw.indexOf("\r\n\r\n");
    p.headers = ParseHeaders(raw.left(split));
    p.body = raw.mid(split + 4);
    if (p.headers.value("content-transfer-encoding").toLower() == "base64")
        p.body = QByteArray::fromBase64(p.body);
    return p;
}
inline QList<MimePart> MimeParts(const QByteArray &message, QHash<QByteArray, QByteArray> *headers)
{
    const int split = message.indexOf("\r\n\r\n");
    *headers = ParseHeaders(message.left(split));
    const QByteArray type = headers->value("content-type");
    const int b = type.indexOf("boundary=\"");
    if (b < 0)
        return {DecodePart(message)};
    const QByteArray boundary = "--" + type.mid(b + 10, type.indexOf('"', b + 10) - b - 10);
    QList<MimePart> parts;
    const QList<QByteArray> chunks = message.mid(split + 4).split('\n');
    QByteArray current;
    bool inPart = false;
    for (const QByteArray &line : chunks) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.startsWith(boundary)) {
            if (inPart)
                parts << DecodePart(current);
            current.clear();
            inPart = !l.endsWith("--");
            continue;
        }
        if (inPart)
            current += l + "\r\n";
    }
    return parts;
}

} // namespace rpt_test
