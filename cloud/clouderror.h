#pragma once

// The one error the cloud-storage client raises. Its text is ready to be shown to the operator.

#include <QJsonObject>
#include <QString>

#include <stdexcept>

enum class TCloudErrorKind {
    Usage,         // a call the client refuses before sending anything (sizes, missing stream)
    Connection,    // no connection, refused, certificate not trusted, proxy refused
    Timeout,       // connect or read time-out
    Dropped,       // the connection broke during the exchange
    Cancelled,     // the operator cancelled (progress handler, authorisation prompt)
    Http,          // the service answered with an error status
    Conflict,      // the service answered 409; see ErrorSummary()
    Authorization, // the token endpoint refused, or a second 401
    InvalidAnswer, // the answer was not the expected JSON
    File           // a local file could not be read or written
};

class ECloudError : public std::runtime_error
{
public:
    ECloudError(TCloudErrorKind kind,
                const QString &text,
                int httpStatus = 0,
                const QString &errorSummary = QString(),
                const QJsonObject &details = QJsonObject())
        : std::runtime_error(text.toStdString())
        , m_kind(kind)
        , m_text(text)
        , m_status(httpStatus)
        , m_summary(errorSummary)
        , m_details(details)
    {}

    TCloudErrorKind Kind() const { return m_kind; }
    QString Text() const { return m_text; }
    int HttpStatus() const { return m_status; }
    // The service's "error_summary" of a 409 (or of another error answer that carries one).
    QString ErrorSummary() const { return m_summary; }
    // The "error" object of the service's answer (empty when there was none): the structured
    // reason, such as {".tag": "incorrect_offset", "correct_offset": 123}.
    QJsonObject Details() const { return m_details; }

private:
    TCloudErrorKind m_kind;
    QString m_text;
    int m_status = 0;
    QString m_summary;
    QJsonObject m_details;
};
