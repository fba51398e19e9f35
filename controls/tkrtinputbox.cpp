#include "controls/tkrtinputbox.h"

#include "common/dialogs.h"
#include "controls/tkrtlabeledit.h"

TKRTInputBox::TKRTInputBox(QObject *parent)
    : QObject(parent)
    , m_value(std::make_unique<TKRTLabelEdit>())
{
    Configure();
}

TKRTInputBox::~TKRTInputBox() = default;

void TKRTInputBox::Configure()
{
    static const TKRTTemplate kTemplates[]
        = {tpKRTString, tpKRTNumeric, tpKRTDate, tpKRTTime, tpKRTString, tpKRTShortTime};
    m_value->SetTemplate(kTemplates[m_template]);
    m_value->SetAllowNothing(true);
    m_value->SetDecimals(Decimals);
    m_value->SetCharCase(CharCase);
    m_value->SetText(QString());
}

void TKRTInputBox::SetTemplate(TKRTIBTemplate t)
{
    m_template = t;
    Configure();
}

QString TKRTInputBox::Text() const
{
    return m_value->Text();
}

void TKRTInputBox::SetText(const QString &text)
{
    m_value->SetDecimals(Decimals);
    m_value->SetCharCase(CharCase);
    m_value->SetText(text);
}

TKRTInputBoxSetup TKRTInputBox::MakeSetup() const
{
    TKRTInputBoxSetup s;
    s.templ = m_template;
    s.allowNothing = AllowNothing;
    s.description = Description;
    s.decimals = Decimals;
    s.charCase = CharCase;
    s.text = m_value->Text();
    s.length = Length;
    s.maxLength = MaxLength;
    s.passwordChar = PasswordChar;
    return s;
}

bool TKRTInputBox::Show(QWidget *parent)
{
    const TKRTInputBoxSetup setup = MakeSetup();
    if (TDialogResponder *responder = DialogResponder()) {
        // The answer is checked as the window checks it: a text of the wrong length is
        // refused with the message and asked for again.
        const bool textKind = m_template == tpKRTIBString || m_template == tpKRTIBMemo;
        for (;;) {
            TDialogRequest request;
            request.kind = TDialogKind::InputText;
            request.text = Description;
            request.value = setup.text;
            const TDialogAnswer answer = responder->Respond(request);
            if (!answer.accepted) {
                m_cancel = true;
                return false;
            }
            const QString error = textKind ? TKRTINPUTBOXFORM::LengthError(answer.value, Length)
                                           : QString();
            if (!error.isEmpty()) {
                ShowErrorBox(error);
                continue;
            }
            m_cancel = false;
            SetText(answer.value);
            return true;
        }
    }
    TKRTINPUTBOXFORM form(parent);
    form.Setup(setup);
    m_cancel = form.exec() != QDialog::Accepted;
    if (!m_cancel)
        SetText(form.EFInput()->Text());
    return !m_cancel;
}

void TKRTInputBox::Clear()
{
    m_value->SetText(QString());
    PasswordChar = QChar();
}

bool TKRTInputBox::IsEmpty() const
{
    return m_value->IsEmpty();
}

qint64 TKRTInputBox::AsInteger() const
{
    return m_value->AsInteger();
}

double TKRTInputBox::AsFloat() const
{
    return m_value->AsFloat();
}

QDate TKRTInputBox::AsDate() const
{
    return m_value->AsDate();
}

QTime TKRTInputBox::AsTime() const
{
    return m_value->AsTime();
}

void TKRTInputBox::SetAsInteger(qint64 v)
{
    m_value->SetAsInteger(v);
}

void TKRTInputBox::SetAsFloat(double v)
{
    m_value->SetAsFloat(v);
}

void TKRTInputBox::SetAsDate(const QDate &d)
{
    m_value->SetAsDate(d);
}

void TKRTInputBox::SetAsTime(const QTime &t)
{
    m_value->SetAsTime(t);
}
