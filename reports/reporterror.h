#pragma once

#include <QString>

#include <stdexcept>

// Raised for every fault of a report: definition file, binding, data, output. The text is the
// Italian message shown to the operator; it names the file, line, object or field concerned.
class EReportError : public std::runtime_error
{
public:
    explicit EReportError(const QString &text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {}
    QString text() const { return m_text; }

private:
    QString m_text;
};
