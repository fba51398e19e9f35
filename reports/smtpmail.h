#pragma once

// The program's e-mail sending routine: one message with text and at most one attachment,
// sent through an SMTP server.

#include <QString>

struct TEmailMessage
{
    bool authenticate = false; // the server wants user name and password
    QString user;
    QString password;
    QString server; // "host" (port 25) or "host:port"
    QString from;
    QString to; // address lists separated by ";" or ","
    QString cc;
    QString bcc;
    QString subject;
    QString text;
    QString attachmentPath; // blank: no attachment
};

// Sends the message; the result is the error text, empty on success:
// "Percorso Allegato Errato: " + path (nothing sent), "Errore Connessione: " + reason,
// "Errore Aggiunta Allegato: " + reason (nothing sent), "Errore Invio Email: " + reason.
QString SendEmail(const TEmailMessage &message);

// The MIME message SendEmail sends (exposed for inspection): headers, a UTF-8 text part and the
// attachment in base64. Throws nothing; an unreadable attachment gives an empty result and
// the reason in *error.
QByteArray BuildEmailMessage(const TEmailMessage &message, QString *error);
