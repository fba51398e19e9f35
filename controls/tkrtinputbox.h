#pragma once

// Asks the operator for one value in a small modal window and hands it back typed.

#include "controls/tkrtinputboxform.h"

#include <QDate>
#include <QObject>
#include <QTime>

#include <memory>

class TKRTLabelEdit;

class TKRTInputBox : public QObject
{
    Q_OBJECT

public:
    explicit TKRTInputBox(QObject *parent = nullptr);
    ~TKRTInputBox() override;

    QString Description;
    bool AllowNothing = false;
    TKRTCharCase CharCase = ecKRTNormal;
    int Decimals = 2;
    int Length = 0; // exact length required, 0 = none
    int MaxLength = 0;
    QChar PasswordChar;

    TKRTIBTemplate Template() const { return m_template; }
    // Setting the template clears the value.
    void SetTemplate(TKRTIBTemplate t);
    QString Text() const;
    void SetText(const QString &text);

    // Opens the window modally (or asks the installed dialog responder); unless cancelled the
    // entered text becomes the value. Returns false when cancelled.
    bool Show(QWidget *parent = nullptr);
    // Empties the value and removes the password character.
    void Clear();

    bool Cancel() const { return m_cancel; }
    bool IsEmpty() const;
    qint64 AsInteger() const;
    double AsFloat() const;
    QDate AsDate() const;
    QTime AsTime() const;
    void SetAsInteger(qint64 v);
    void SetAsFloat(double v);
    void SetAsDate(const QDate &d);
    void SetAsTime(const QTime &t);

private:
    TKRTInputBoxSetup MakeSetup() const;
    void Configure();

    std::unique_ptr<TKRTLabelEdit> m_value; // the value, kept with the edit's rules
    TKRTIBTemplate m_template = tpKRTIBString;
    bool m_cancel = false;
};
