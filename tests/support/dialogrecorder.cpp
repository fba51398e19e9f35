#include "tests/support/dialogrecorder.h"

TDialogRecorder::TDialogRecorder()
    : m_previous(DialogResponder())
{
    SetDialogResponder(this);
}

TDialogRecorder::~TDialogRecorder()
{
    SetDialogResponder(m_previous);
}

TDialogAnswer TDialogRecorder::Respond(const TDialogRequest &request)
{
    m_requests.append(request);
    if (request.kind == TDialogKind::Terminate)
        return {};
    if (request.kind == TDialogKind::Error || request.kind == TDialogKind::Warning
        || request.kind == TDialogKind::Info)
        return {true, QString()};
    if (m_answers.empty())
        return {};
    TDialogAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

void TDialogRecorder::QueueAnswer(bool accepted, const QString &value)
{
    m_answers.push_back({accepted, value});
}

QList<TDialogRequest> TDialogRecorder::RequestsOf(TDialogKind kind) const
{
    QList<TDialogRequest> out;
    for (const auto &r : m_requests) {
        if (r.kind == kind)
            out.append(r);
    }
    return out;
}

QString TDialogRecorder::LastText(TDialogKind kind) const
{
    for (auto it = m_requests.crbegin(); it != m_requests.crend(); ++it) {
        if (it->kind == kind)
            return it->text;
    }
    return QString();
}

int TDialogRecorder::Count(TDialogKind kind) const
{
    int n = 0;
    for (const auto &r : m_requests)
        n += r.kind == kind ? 1 : 0;
    return n;
}
