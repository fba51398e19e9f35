#include "controls/tkrtinputboxform.h"

#include "common/dialogs.h"
#include "controls/tkrtlabeledit.h"

#include <QFontMetrics>
#include <QPushButton>

namespace {
constexpr int kClientWidth = 370;
constexpr int kButtonLeft = 285;
} // namespace

TKRTINPUTBOXFORM::TKRTINPUTBOXFORM(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TKRTINPUTBOXFORM"));
    setWindowModality(Qt::ApplicationModal);
    m_input = new TKRTLabelEdit(QStringLiteral("EFInput"), QString(), this);
    m_input->SetCaptionPosition(cpKRTAbove);
    m_ok = new QPushButton(QStringLiteral("&OK"), this);
    m_ok->setObjectName(QStringLiteral("PBOk"));
    m_ok->setDefault(true);
    m_ok->setGeometry(kButtonLeft, 10, 75, 25);
    m_cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    m_cancel->setObjectName(QStringLiteral("PBAnnulla"));
    m_cancel->setGeometry(kButtonLeft, 42, 75, 25);
    connect(m_ok, &QPushButton::clicked, this, &TKRTINPUTBOXFORM::OkClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kClientWidth, 100);
}

void TKRTINPUTBOXFORM::Setup(const TKRTInputBoxSetup &s)
{
    static const TKRTTemplate kTemplates[]
        = {tpKRTString, tpKRTNumeric, tpKRTDate, tpKRTTime, tpKRTString, tpKRTShortTime};
    const bool memo = s.templ == tpKRTIBMemo;
    const bool text = s.templ == tpKRTIBString || memo;
    m_input->SetTemplate(kTemplates[s.templ]);
    m_input->SetWordWrap(memo);
    m_input->SetAllowNothing(s.allowNothing);
    m_input->SetCaptionString(s.description);
    m_input->SetDecimals(s.decimals);
    m_input->SetCharCase(s.charCase);
    m_input->SetButtonVisible(s.templ == tpKRTIBDate);
    m_requiredLength = 0;
    if (text) {
        m_input->SetPasswordChar(s.passwordChar);
        if (s.length > 0) {
            m_input->SetMaxLength(s.length);
            m_requiredLength = s.length;
        } else {
            m_input->SetMaxLength(s.maxLength);
        }
    }
    m_input->SetText(s.text);

    int fieldWidth = 250;
    switch (s.templ) {
    case tpKRTIBString:
    case tpKRTIBMemo:
        fieldWidth = 250;
        break;
    case tpKRTIBNumeric:
        fieldWidth = 90;
        break;
    case tpKRTIBShortTime:
        fieldWidth = 50;
        break;
    case tpKRTIBDate:
    case tpKRTIBTime:
        fieldWidth = 70;
        break;
    }
    const int descWidth = QFontMetrics(m_input->CaptionFont()).horizontalAdvance(s.description);
    fieldWidth = qMax(fieldWidth, descWidth);
    const int top = memo ? 4 : 20;
    const int height = memo ? 73 : 42;
    const int buttonWidth = m_input->ButtonVisible() ? 15 : 0;
    m_input->SetCaptionHeight(21);
    m_input->SetEditWidth(fieldWidth);
    m_input->SetEditHeight(height - 21);
    const int total = fieldWidth + buttonWidth;
    const int left = qMax(4, (kButtonLeft - total) / 2);
    m_input->setGeometry(left, top, total, height);
    setFixedSize(qMax(kClientWidth, left + total + 90), qMax(100, top + height + 10));
    m_ok->move(this->width() - 85, 10);
    m_cancel->move(this->width() - 85, 42);
    m_input->SetFocus();
}

QString TKRTINPUTBOXFORM::LengthError(const QString &text, int length)
{
    if (length <= 0 || text.length() == length)
        return QString();
    return QStringLiteral("La lunghezza del testo deve essere uguale a ") + QString::number(length);
}

void TKRTINPUTBOXFORM::OkClicked()
{
    m_input->Edit()->ValidateDisplayed();
    const QString error = LengthError(m_input->Text(), m_requiredLength);
    if (!error.isEmpty()) {
        ShowErrorBox(error);
        m_input->SetFocus();
        return;
    }
    accept();
}
