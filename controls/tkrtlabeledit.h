#pragma once

// The labelled edit field (the EF_ controls of every window): a caption, a validating edit and
// an optional "..." button laid out as one control. The button opens a month calendar for
// date fields and a pocket calculator for number fields.

#include "controls/tkrtedit.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QToolButton;
class TKRTCalculator;
class TKRTCalendar;

enum TKRTCaptionPosition { cpKRTAbove, cpKRTLeft };
enum TKRTCaptionStyle { csKRTNormal, csKRTAddLink, csKRTRemoveLink };

class TKRTLabelEdit : public QWidget
{
    Q_OBJECT

public:
    explicit TKRTLabelEdit(QWidget *parent = nullptr);
    TKRTLabelEdit(const QString &name, const QString &caption, QWidget *parent = nullptr);

    TKRTEdit *Edit() const { return m_edit; }
    QLabel *CaptionLabel() const { return m_caption; }
    QToolButton *Button() const { return m_button; }
    QPlainTextEdit *Memo() const { return m_memo; } // only with WordWrap

    // --- Caption ---------------------------------------------------------------------------
    QString CaptionString() const;
    void SetCaptionString(const QString &caption);
    TKRTCaptionPosition CaptionPosition() const { return m_captionPosition; }
    void SetCaptionPosition(TKRTCaptionPosition p);
    int CaptionWidth() const { return m_captionWidth; }
    void SetCaptionWidth(int w);
    int CaptionHeight() const { return m_captionHeight; }
    void SetCaptionHeight(int h);
    bool CaptionAutoSize() const { return m_captionAutoSize; }
    void SetCaptionAutoSize(bool on);
    Qt::Alignment CaptionAlignment() const { return m_captionAlignment; }
    void SetCaptionAlignment(Qt::Alignment a); // horizontal part
    Qt::Alignment CaptionLayOut() const { return m_captionLayOut; }
    void SetCaptionLayOut(Qt::Alignment a); // vertical part
    QColor CaptionColor() const;
    void SetCaptionColor(const QColor &c);
    QFont CaptionFont() const;
    void SetCaptionFont(const QFont &f);
    Qt::CursorShape CaptionCursor() const;
    void SetCaptionCursor(Qt::CursorShape c);
    TKRTCaptionStyle CaptionStyle() const { return m_captionStyle; }
    void SetCaptionStyle(TKRTCaptionStyle s);
    bool CaptionTransparent() const { return m_captionTransparent; }
    void SetCaptionTransparent(bool on);

    // --- Edit and button -------------------------------------------------------------------
    int EditWidth() const { return m_editWidth; }
    void SetEditWidth(int w);
    int EditHeight() const { return m_editHeight; }
    void SetEditHeight(int h);
    QColor EditColor() const { return m_edit->Color(); }
    void SetEditColor(const QColor &c) { SetColor(c); }
    QFont EditFont() const;
    void SetEditFont(const QFont &f);
    Qt::Alignment EditAlignment() const;
    void SetEditAlignment(Qt::Alignment a);
    bool EditBorderStyle() const;
    void SetEditBorderStyle(bool framed);
    bool ButtonVisible() const { return m_buttonVisible; }
    void SetButtonVisible(bool on);
    bool ButtonUserEvent() const { return m_buttonUserEvent; }
    void SetButtonUserEvent(bool on) { m_buttonUserEvent = on; }

    // --- Value and edit properties (forwarded to the edit) ---------------------------------
    TKRTTemplate Template() const { return m_edit->Template(); }
    void SetTemplate(TKRTTemplate t);
    QString Text() const { return m_edit->Text(); }
    void SetText(const QString &text);
    bool AllowNothing() const { return m_edit->AllowNothing(); }
    void SetAllowNothing(bool on) { m_edit->SetAllowNothing(on); }
    QString CharactersTable() const { return m_edit->CharactersTable(); }
    void SetCharactersTable(const QString &t) { m_edit->SetCharactersTable(t); }
    TKRTInputBehaviours InputBehaviours() const { return m_edit->InputBehaviours(); }
    void SetInputBehaviours(TKRTInputBehaviours b) { m_edit->SetInputBehaviours(b); }
    TKRTCharCase CharCase() const { return m_edit->CharCase(); }
    void SetCharCase(TKRTCharCase c) { m_edit->SetCharCase(c); }
    QColor Color() const { return m_edit->Color(); }
    void SetColor(const QColor &c);
    QColor ErrorColor() const { return m_edit->ErrorColor(); }
    void SetErrorColor(const QColor &c);
    bool ErrorFlag() const { return m_edit->ErrorFlag(); }
    void SetErrorFlag(bool on);
    QString ErrorMess() const { return m_edit->ErrorMess(); }
    void SetErrorMess(const QString &m) { m_edit->SetErrorMess(m); }
    bool IfErrFocused() const { return m_edit->IfErrFocused(); }
    void SetIfErrFocused(bool on) { m_edit->SetIfErrFocused(on); }
    int Decimals() const { return m_edit->Decimals(); }
    void SetDecimals(int d) { m_edit->SetDecimals(d); }
    bool NumericFormatted() const { return m_edit->NumericFormatted(); }
    void SetNumericFormatted(bool on) { m_edit->SetNumericFormatted(on); }
    QString MinValue() const { return m_edit->MinValue(); }
    void SetMinValue(const QString &v) { m_edit->SetMinValue(v); }
    QString MaxValue() const { return m_edit->MaxValue(); }
    void SetMaxValue(const QString &v) { m_edit->SetMaxValue(v); }
    int MaxLength() const { return m_edit->MaxLength(); }
    void SetMaxLength(int n);
    bool ReadOnly() const { return m_edit->isReadOnly(); }
    void SetReadOnly(bool on);
    bool WordWrap() const { return m_edit->WordWrap(); }
    void SetWordWrap(bool on);
    QString TagString() const { return m_edit->TagString(); }
    void SetTagString(const QString &s) { m_edit->SetTagString(s); }
    bool TabStop() const;
    void SetTabStop(bool on);
    void SetPasswordChar(QChar c); // QChar() removes it

    double AsFloat() { return m_edit->AsFloat(); }
    qint64 AsInteger() { return m_edit->AsInteger(); }
    QDate AsDate() { return m_edit->AsDate(); }
    QTime AsTime() const { return m_edit->AsTime(); }
    void SetAsFloat(double v) { m_edit->SetAsFloat(v); }
    void SetAsInteger(qint64 v) { m_edit->SetAsInteger(v); }
    void SetAsDate(const QDate &d) { m_edit->SetAsDate(d); }
    void SetAsTime(const QTime &t) { m_edit->SetAsTime(t); }
    bool IsEmpty() const { return m_edit->IsEmpty(); }
    bool IsNumeric() { return m_edit->IsNumeric(); }
    static double ConvertEditTextAsFloat(const QString &text)
    {
        return TKRTEdit::ConvertEditTextAsFloat(text);
    }
    void ClearField() { m_edit->ClearField(); }
    QString AsSqlString() const { return m_edit->AsSqlString(); }
    QString AsSqlStringEx() const { return m_edit->AsSqlStringEx(); }
    QString AsSqlContains() const { return m_edit->AsSqlContains(); }
    QString AsSqlStartsWith() const { return m_edit->AsSqlStartsWith(); }
    int LengthText() const { return m_edit->LengthText(); }
    bool Modified() const { return m_edit->Modified(); }
    void SetModified(bool on) { m_edit->SetModified(on); }
    void SetFocus();
    void SetAllEnabled(bool on);

    // Opens the calendar under the field (not for read-only fields); the image list arguments
    // of the original call are not used by this program. Returns the open popup.
    TKRTCalendar *ShowCalendarForm();
    // Opens the calculator under the field (not for read-only fields).
    TKRTCalculator *ShowCalculatorForm();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // --- Events ----------------------------------------------------------------------------
    std::function<void(TKRTLabelEdit *)> OnChange;
    std::function<void(TKRTLabelEdit *, QKeyEvent *)> OnKeyDown;
    std::function<void(TKRTLabelEdit *, QChar &)> OnKeyPress; // clearing the key swallows it
    std::function<void(TKRTLabelEdit *, QKeyEvent *)> OnKeyUp;
    std::function<void(TKRTLabelEdit *)> OnButtonClick;
    std::function<void(TKRTLabelEdit *)> OnCaptionClick;
    std::function<void(TKRTLabelEdit *, bool &accept, const QDate &date)> OnDateSelect;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Init();
    void Relayout(bool fromResize);
    void ButtonClicked();
    void DateChosen(const QDate &date);
    void MemoChanged();
    void SyncMemoColor();
    int EffectiveCaptionWidth() const;
    QWidget *Editor() const;

    QLabel *m_caption = nullptr;      // Owned (child).
    TKRTEdit *m_edit = nullptr;       // Owned (child).
    QToolButton *m_button = nullptr;  // Owned (child).
    QPlainTextEdit *m_memo = nullptr; // Owned (child), created for word wrap.
    TKRTCaptionPosition m_captionPosition = cpKRTLeft;
    int m_captionWidth = 40;
    int m_captionHeight = 21;
    bool m_captionAutoSize = false;
    int m_measuredCaptionWidth = -1;
    Qt::Alignment m_captionAlignment = Qt::AlignLeft;
    Qt::Alignment m_captionLayOut = Qt::AlignVCenter;
    TKRTCaptionStyle m_captionStyle = csKRTNormal;
    bool m_captionTransparent = false;
    int m_editWidth = 121;
    int m_editHeight = 21;
    bool m_buttonVisible = false;
    bool m_buttonUserEvent = false;
    bool m_relayout = false;
    bool m_memoSync = false;
};
