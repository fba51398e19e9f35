#pragma once

#include "common/dialogs.h"

#include <QList>

#include <deque>

// Installs itself as the dialog responder for its lifetime: records every request and answers
// from queued answers (questions default to "No", file dialogs to cancel, terminate is only
// recorded).
class TDialogRecorder : public TDialogResponder
{
public:
    TDialogRecorder();
    ~TDialogRecorder() override;

    TDialogAnswer Respond(const TDialogRequest &request) override;

    void QueueAnswer(bool accepted, const QString &value = QString());
    void QueueYes() { QueueAnswer(true); }
    void QueueNo() { QueueAnswer(false); }

    const QList<TDialogRequest> &Requests() const { return m_requests; }
    QList<TDialogRequest> RequestsOf(TDialogKind kind) const;
    QString LastText(TDialogKind kind) const; // empty when none
    int Count(TDialogKind kind) const;
    bool Terminated() const { return Count(TDialogKind::Terminate) > 0; }
    void Clear() { m_requests.clear(); }

private:
    QList<TDialogRequest> m_requests;
    std::deque<TDialogAnswer> m_answers;
    TDialogResponder *m_previous = nullptr;
};
