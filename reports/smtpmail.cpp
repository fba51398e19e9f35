#include "reports/smtpmail.h"

#include <QCursor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

QStringList Addresses(const QString &list)
{
    QStringList out;
    for (const QString &a :
         list.split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts)) {
        const QString t = a.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

// The bare address of "Name <addr>" or "addr".
QString BareAddress(const QString &a)
{
    const int lt = a.indexOf(u'<');
    const int gt = a.indexOf(u'>', lt + 1);
    if (lt >= 0 && gt > lt)
        return a.mid(lt + 1, gt - lt - 1).trimmed();
    return a.trimmed();
}

bool IsAscii(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() >= 128 || c.unicode() < 32)
            return false;
    }
    return true;
}

// RFC 2047 encoded word for header texts that are not plain ASCII.
QByteArray HeaderText(const QString &s)
{
    if (IsAscii(s))
        return s.toLatin1();
    return "=?UTF-8?B?" + s.toUtf8().toBase64() + "?=";
}

QByteArray Base64Lines(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
    for (int i = 0; i < b64.size(); i += 76) {
        out += b64.mid(i, 76);
        out += "\r\n";
    }
    return out;
}

struct ReadState
{
    QByteArray data;
    qsizetype pos = 0;
};

size_t ReadCallback(char *buffer, size_t size, size_t count, void *user)
{
    auto *state = static_cast<ReadState *>(user);
    const size_t room = size * count;
    const size_t left = size_t(state->data.size() - state->pos);
    const size_t n = qMin(room, left);
    if (n > 0) {
        std::memcpy(buffer, state->data.constData() + state->pos, n);
        state->pos += qsizetype(n);
    }
    return n;
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsConnectionError(CURLcode code)
{
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_LOGIN_DENIED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_AUTH_ERROR:
        return true;
    default:
        return false;
    }
}

class WaitCursor
{
public:
    WaitCursor()
    {
        m_set = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
        if (m_set)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_set = false;
};

} // namespace

QByteArray BuildEmailMessage(const TEmailMessage &m, QString *error)
{
    QByteArray attachment;
    QString attachmentName;
    const QString path = m.attachmentPath.trimmed();
    if (!path.isEmpty()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            if (error)
                *error = f.errorString();
            return QByteArray();
        }
        attachment = f.readAll();
        if (f.error() != QFileDevice::NoError) {
            if (error)
                *error = f.errorString();
            return QByteArray();
        }
        attachmentName = QFileInfo(path).fileName();
    }
    const QStringList to = Addresses(m.to);
    const QStringList cc = Addresses(m.cc);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QByteArray msg;
    msg += "From: " + HeaderText(m.from.trimmed()) + "\r\n";
    msg += "To: " + HeaderText(to.join(QStringLiteral(", "))) + "\r\n";
    if (!cc.isEmpty())
        msg += "Cc: " + HeaderText(cc.join(QStringLiteral(", "))) + "\r\n";
    msg += "Subject: " + HeaderText(m.subject) + "\r\n";
    msg += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    msg += "Message-ID: <" + id.toLatin1() + "@ventorel>\r\n";
    msg += "MIME-Version: 1.0\r\n";
    const QByteArray textPart = "Content-Type: text/plain; charset=UTF-8\r\n"
                                "Content-Transfer-Encoding: base64\r\n\r\n"
                                + Base64Lines(m.text.toUtf8());
    if (attachmentName.isEmpty()) {
        msg += textPart;
        return msg;
    }
    const QByteArray boundary = "=_ventorel_" + id.toLatin1();
    msg += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    msg += "This is a multi-part message in MIME format.\r\n";
    msg += "--" + boundary + "\r\n" + textPart;
    const QByteArray type = attachmentName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                                ? QByteArray("application/pdf")
                                : QByteArray("application/octet-stream");
    const QByteArray name = HeaderText(attachmentName);
    msg += "--" + boundary + "\r\n";
    msg += "Content-Type: " + type + "; name=\"" + name + "\"\r\n";
    msg += "Content-Transfer-Encoding: base64\r\n";
    msg += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n";
    msg += Base64Lines(attachment);
    msg += "--" + boundary + "--\r\n";
    return msg;
}

QString SendEmail(const TEmailMessage &m)
{
    const QString path = m.attachmentPath.trimmed();
    if (!path.isEmpty() && !QFileInfo(path).isFile())
        return QStringLiteral("Percorso Allegato Errato: ") + m.attachmentPath;

    WaitCursor wait;
    GlobalInit();
    QString server = m.server.trimmed();
    if (server.isEmpty())
        return QStringLiteral("Errore Connessione: server di posta non indicato");
    if (!server.contains(QLatin1String("://")))
        server.prepend(QStringLiteral("smtp://"));
    const QString hostPart = server.mid(server.indexOf(QLatin1String("://")) + 3);
    if (!hostPart.contains(u':'))
        server += QStringLiteral(":25");

    QStringList recipients = Addresses(m.to) + Addresses(m.cc) + Addresses(m.bcc);
    if (recipients.isEmpty())
        return QStringLiteral("Errore Invio Email: nessun destinatario");

    QString attachError;
    ReadState state;
    state.data = BuildEmailMessage(m, &attachError);
    if (state.data.isEmpty())
        return QStringLiteral("Errore Aggiunta Allegato: ") + attachError;

    CURL *curl = curl_easy_init();
    if (!curl)
        return QStringLiteral("Errore Connessione: impossibile inizializzare il client di posta");
    char errbuf[CURL_ERROR_SIZE] = {0};
    const QByteArray url = server.toUtf8();
    const QByteArray from = "<" + BareAddress(m.from).toUtf8() + ">";
    const QByteArray user = m.user.toUtf8();
    const QByteArray password = m.password.toUtf8();
    curl_slist *rcpt = nullptr;
    std::vector<QByteArray> rcptText;
    for (const QString &r : recipients)
        rcptText.push_back("<" + BareAddress(r).toUtf8() + ">");
    for (const QByteArray &r : rcptText)
        rcpt = curl_slist_append(rcpt, r.constData());

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 300L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    if (m.authenticate) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadCallback);
    curl_easy_setopt(curl, CURLOPT_READDATA, &state);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (code == CURLE_OK)
        return QString();
    const QString reason = errbuf[0] ? QString::fromUtf8(errbuf)
                                     : QString::fromUtf8(curl_easy_strerror(code));
    if (IsConnectionError(code))
        return QStringLiteral("Errore Connessione: ") + reason;
    return QStringLiteral("Errore Invio Email: ") + reason;
}
