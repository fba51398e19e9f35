#include "controls/tkrtlabeledit.h"

#include "controls/krtcolor.h"
#include "controls/krtpopupplacement.h"
#include "controls/tkrtcalculator.h"
#include "controls/tkrtcalendar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

namespace {
constexpr int kButtonWidth = 15;
}

TKRTLabelEdit::TKRTLabelEdit(QWidget *parent)
    : QWidget(parent)
{
    Init();
}

TKRTLabelEdit::TKRTLabelEdit(const QString &name, const QString &caption, QWidget *parent)
    : QWidget(parent)
{
    Init();
    setObjectName(name);
    SetCaptionString(caption);
}

void TKRTLabelEdit::Init()
{
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setWordWrap(true);
    m_caption->setAttribute(Qt::WA_TranslucentBackground);
    m_caption->setAlignment(m_captionAlignment | m_captionLayOut);
    m_caption->installEventFilter(this);

    m_edit = new TKRTEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit"));
    m_edit->installEventFilter(this);
    m_edit->OnChangeHook = [this] {
        if (m_memo && !m_memoSync) {
            m_memoSync = true;
            if (m_memo->toPlainText() != m_edit->Text())
                m_memo->setPlainText(m_edit->Text());
            m_memoSync = false;
        }
        if (OnChange)
            OnChange(this);
    };
    m_edit->OnKeyPressHook = [this](QChar &key) {
        if (OnKeyPress)
            OnKeyPress(this, key);
    };
    // As placed on a window: an empty value is valid, errors show in money green.
    m_edit->SetAllowNothing(true);
    m_edit->SetErrorColor(KRTColor(clKRTMoneyGreen));

    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("Button"));
    m_button->setText(QStringLiteral("..."));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->hide();
    connect(m_button, &QToolButton::clicked, this, &TKRTLabelEdit::ButtonClicked);
    // Released outside the button: no click, the operator goes back to typing.
    connect(m_button, &QToolButton::released, this, [this] {
        if (!m_button->underMouse())
            SetFocus();
    });

    const int h = qMax(21, m_edit->sizeHint().height());
    m_editHeight = h;
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_edit);
    Relayout(false);
}

QWidget *TKRTLabelEdit::Editor() const
{
    return m_memo ? static_cast<QWidget *>(m_memo) : static_cast<QWidget *>(m_edit);
}

// --- Caption --------------------------------------------------------------------------------

QString TKRTLabelEdit::CaptionString() const
{
    return m_caption->text();
}

void TKRTLabelEdit::SetCaptionString(const QString &caption)
{
    m_caption->setText(caption);
    m_measuredCaptionWidth = -1;
    Relayout(false);
}

void TKRTLabelEdit::SetCaptionPosition(TKRTCaptionPosition p)
{
    m_captionPosition = p;
    Relayout(false);
}

void TKRTLabelEdit::SetCaptionWidth(int w)
{
    m_captionWidth = qMax(0, w);
    Relayout(false);
}

void TKRTLabelEdit::SetCaptionHeight(int h)
{
    m_captionHeight = qMax(0, h);
    Relayout(false);
}

void TKRTLabelEdit::SetCaptionAutoSize(bool on)
{
    m_captionAutoSize = on;
    m_measuredCaptionWidth = -1;
    Relayout(false);
}

void TKRTLabelEdit::SetCaptionAlignment(Qt::Alignment a)
{
    m_captionAlignment = a & Qt::AlignHorizontal_Mask;
    m_caption->setAlignment(m_captionAlignment | m_captionLayOut);
}

void TKRTLabelEdit::SetCaptionLayOut(Qt::Alignment a)
{
    m_captionLayOut = a & Qt::AlignVertical_Mask;
    m_caption->setAlignment(m_captionAlignment | m_captionLayOut);
}

QColor TKRTLabelEdit::CaptionColor() const
{
    return m_caption->palette().color(QPalette::WindowText);
}

void TKRTLabelEdit::SetCaptionColor(const QColor &c)
{
    QPalette p = m_caption->palette();
    p.setColor(QPalette::WindowText, c);
    m_caption->setPalette(p);
}

QFont TKRTLabelEdit::CaptionFont() const
{
    return m_caption->font();
}

void TKRTLabelEdit::SetCaptionFont(const QFont &f)
{
    m_caption->setFont(f);
    m_measuredCaptionWidth = -1;
    Relayout(false);
}

Qt::CursorShape TKRTLabelEdit::CaptionCursor() const
{
    return m_caption->cursor().shape();
}

void TKRTLabelEdit::SetCaptionCursor(Qt::CursorShape c)
{
    m_caption->setCursor(c);
}

void TKRTLabelEdit::SetCaptionStyle(TKRTCaptionStyle s)
{
    m_captionStyle = s;
    QFont f = m_caption->font();
    switch (s) {
    case csKRTNormal:
        return;
    case csKRTAddLink:
        m_caption->setCursor(Qt::PointingHandCursor);
        f.setBold(true);
        f.setUnderline(true);
        m_caption->setFont(f);
        SetCaptionColor(palette().color(QPalette::Highlight));
        break;
    case csKRTRemoveLink:
        m_caption->setCursor(Qt::ArrowCursor);
        f.setBold(false);
        f.setUnderline(false);
        m_caption->setFont(f);
        SetCaptionColor(palette().color(QPalette::WindowText));
        break;
    }
}

void TKRTLabelEdit::SetCaptionTransparent(bool on)
{
    m_captionTransparent = on;
    m_caption->setAutoFillBackground(!on);
}

// --- Edit and button ----------------------------------------------------------------------

void TKRTLabelEdit::SetEditWidth(int w)
{
    m_editWidth = qMax(0, w);
    Relayout(false);
}

void TKRTLabelEdit::SetEditHeight(int h)
{
    m_editHeight = qMax(0, h);
    Relayout(false);
}

QFont TKRTLabelEdit::EditFont() const
{
    return m_edit->font();
}

void TKRTLabelEdit::SetEditFont(const QFont &f)
{
    m_edit->setFont(f);
    if (m_memo)
        m_memo->setFont(f);
}

Qt::Alignment TKRTLabelEdit::EditAlignment() const
{
    return m_edit->alignment();
}

void TKRTLabelEdit::SetEditAlignment(Qt::Alignment a)
{
    m_edit->setAlignment(a);
}

bool TKRTLabelEdit::EditBorderStyle() const
{
    return m_edit->hasFrame();
}

void TKRTLabelEdit::SetEditBorderStyle(bool framed)
{
    m_edit->setFrame(framed);
}

void TKRTLabelEdit::SetButtonVisible(bool on)
{
    m_buttonVisible = on;
    m_button->setVisible(on);
    Relayout(false);
}

// --- Forwarded properties ---------------------------------------------------------------

void TKRTLabelEdit::SetTemplate(TKRTTemplate t)
{
    m_edit->SetTemplate(t);
}

void TKRTLabelEdit::SetText(const QString &text)
{
    m_edit->SetText(text);
    if (m_memo && m_memo->toPlainText() != m_edit->Text()) {
        m_memoSync = true;
        m_memo->setPlainText(m_edit->Text());
        m_memoSync = false;
    }
    SyncMemoColor();
}

void TKRTLabelEdit::SetColor(const QColor &c)
{
    m_edit->SetColor(c);
    SyncMemoColor();
}

void TKRTLabelEdit::SetErrorColor(const QColor &c)
{
    m_edit->SetErrorColor(c);
    SyncMemoColor();
}

void TKRTLabelEdit::SetErrorFlag(bool on)
{
    m_edit->SetErrorFlag(on);
    SyncMemoColor();
}

void TKRTLabelEdit::SetMaxLength(int n)
{
    m_edit->SetMaxLength(n);
}

void TKRTLabelEdit::SetReadOnly(bool on)
{
    m_edit->setReadOnly(on);
    if (m_memo)
        m_memo->setReadOnly(on);
}

void TKRTLabelEdit::SetWordWrap(bool on)
{
    m_edit->SetWordWrap(on);
    if (on && !m_memo) {
        m_memo = new QPlainTextEdit(this);
        m_memo->setObjectName(QStringLiteral("Memo"));
        m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_memo->setTabChangesFocus(true);
        m_memo->setReadOnly(m_edit->isReadOnly());
        m_memo->setFont(m_edit->font());
        m_memo->setPlainText(m_edit->Text());
        m_memo->installEventFilter(this);
        connect(m_memo, &QPlainTextEdit::textChanged, this, &TKRTLabelEdit::MemoChanged);
        m_edit->hide();
        m_memo->show();
        setFocusProxy(m_memo);
    } else if (!on && m_memo) {
        setFocusProxy(m_edit);
        m_memo->deleteLater();
        m_memo = nullptr;
        m_edit->show();
    }
    SyncMemoColor();
    Relayout(false);
}

void TKRTLabelEdit::MemoChanged()
{
    if (m_memoSync)
        return;
    m_memoSync = true;
    m_edit->SetModified(true);
    m_edit->SetText(m_memo->toPlainText());
    m_memoSync = false;
}

void TKRTLabelEdit::SyncMemoColor()
{
    if (!m_memo)
        return;
    QPalette p = m_memo->palette();
    if (p.color(QPalette::Base) != m_edit->CurrentColor()) {
        p.setColor(QPalette::Base, m_edit->CurrentColor());
        m_memo->setPalette(p);
    }
}

bool TKRTLabelEdit::TabStop() const
{
    return Editor()->focusPolicy() != Qt::NoFocus;
}

void TKRTLabelEdit::SetTabStop(bool on)
{
    m_edit->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
    if (m_memo)
        m_memo->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void TKRTLabelEdit::SetPasswordChar(QChar c)
{
    m_edit->setEchoMode(c.isNull() ? QLineEdit::Normal : QLineEdit::Password);
}

void TKRTLabelEdit::SetFocus()
{
    Editor()->setFocus(Qt::OtherFocusReason);
}

void TKRTLabelEdit::SetAllEnabled(bool on)
{
    m_caption->setEnabled(on);
    m_edit->setEnabled(on);
    if (m_memo)
        m_memo->setEnabled(on);
    setEnabled(on);
}

// --- Layout --------------------------------------------------------------------------------

int TKRTLabelEdit::EffectiveCaptionWidth() const
{
    if (!m_captionAutoSize)
        return m_captionWidth;
    if (m_measuredCaptionWidth < 0) {
        const QFontMetrics fm(m_caption->font());
        const_cast<TKRTLabelEdit *>(this)->m_measuredCaptionWidth = fm.horizontalAdvance(
                                                                        m_caption->text())
                                                                    + 4;
    }
    return m_measuredCaptionWidth;
}

QSize TKRTLabelEdit::sizeHint() const
{
    const int bw = m_buttonVisible ? kButtonWidth : 0;
    if (m_captionPosition == cpKRTAbove)
        return QSize(m_editWidth + bw, m_captionHeight + m_editHeight);
    return QSize(EffectiveCaptionWidth() + 2 + m_editWidth + bw, m_editHeight);
}

QSize TKRTLabelEdit::minimumSizeHint() const
{
    return sizeHint();
}

void TKRTLabelEdit::Relayout(bool fromResize)
{
    if (m_relayout)
        return;
    m_relayout = true;
    const int bw = m_buttonVisible ? kButtonWidth : 0;
    int ew = m_editWidth;
    int eh = m_editHeight;
    if (m_captionPosition == cpKRTAbove) {
        if (fromResize) {
            ew = qMax(0, width() - bw);
            eh = qMax(0, height() - m_captionHeight);
        } else {
            resize(ew + bw, m_captionHeight + eh);
        }
        m_caption->setGeometry(0, 0, width(), m_captionHeight);
        Editor()->setGeometry(0, m_captionHeight, ew, eh);
        m_button->setGeometry(ew, m_captionHeight, kButtonWidth, eh);
    } else {
        const int cw = EffectiveCaptionWidth();
        if (fromResize) {
            ew = qMax(0, width() - cw - 2 - bw);
            eh = height();
        } else {
            resize(cw + 2 + ew + bw, eh);
        }
        m_caption->setGeometry(0, 0, cw, eh);
        Editor()->setGeometry(cw + 2, 0, ew, eh);
        m_button->setGeometry(cw + 2 + ew, 0, kButtonWidth, eh);
    }
    // A resize by a layout only places the parts: the preferred edit size stays, or a layout
    // that squeezes the field once (a small first window) would shrink it for good.
    if (!fromResize)
        updateGeometry();
    m_relayout = false;
}

void TKRTLabelEdit::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Relayout(true);
}

// --- Events --------------------------------------------------------------------------------

bool TKRTLabelEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_caption && event->type() == QEvent::MouseButtonRelease) {
        if (OnCaptionClick)
            OnCaptionClick(this);
    } else if (watched == m_edit || watched == m_memo) {
        if (event->type() == QEvent::KeyPress && OnKeyDown)
            OnKeyDown(this, static_cast<QKeyEvent *>(event));
        else if (event->type() == QEvent::KeyRelease && OnKeyUp)
            OnKeyUp(this, static_cast<QKeyEvent *>(event));
        else if (watched == m_memo && event->type() == QEvent::FocusOut) {
            m_edit->SetText(m_memo->toPlainText());
            SyncMemoColor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TKRTLabelEdit::ButtonClicked()
{
    const bool readOnly = m_edit->isReadOnly();
    if (!m_buttonUserEvent && !readOnly && m_edit->Template() == tpKRTNumeric) {
        ShowCalculatorForm();
        return;
    }
    if (!m_buttonUserEvent && !readOnly && m_edit->Template() == tpKRTDate) {
        ShowCalendarForm();
        return;
    }
    if (OnButtonClick)
        OnButtonClick(this);
    else
        SetFocus();
}

TKRTCalendar *TKRTLabelEdit::ShowCalendarForm()
{
    if (m_edit->isReadOnly())
        return nullptr;
    auto *calendar = new TKRTCalendar(this);
    QDate start;
    KRTCheckDate(m_edit->Text(), nullptr, &start);
    if (!start.isValid())
        start = QDate::currentDate();
    calendar->SetDate(start);
    calendar->adjustSize();
    KRTPlaceUnder(calendar, m_edit);
    connect(calendar, &TKRTCalendar::DateChosen, this, &TKRTLabelEdit::DateChosen);
    connect(calendar, &TKRTCalendar::Closed, this, [this] { SetFocus(); });
    calendar->show();
    return calendar;
}

void TKRTLabelEdit::DateChosen(const QDate &date)
{
    bool accept = true;
    if (OnDateSelect)
        OnDateSelect(this, accept, date);
    if (accept)
        m_edit->SetAsDate(date);
}

TKRTCalculator *TKRTLabelEdit::ShowCalculatorForm()
{
    if (m_edit->isReadOnly())
        return nullptr;
    auto *calculator = new TKRTCalculator(this);
    double start = 0;
    if (KRTParseNumber(KRTRemoveThousands(m_edit->Text()), &start) == false)
        start = 0;
    calculator->Start(start);
    calculator->adjustSize();
    KRTPlaceUnder(calculator, m_edit);
    connect(calculator, &TKRTCalculator::ResultChosen, this, [this](double v) {
        m_edit->SetAsFloat(v);
    });
    connect(calculator, &TKRTCalculator::Closed, this, [this] { SetFocus(); });
    calculator->show();
    return calculator;
}
