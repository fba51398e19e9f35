#pragma once

// The window of the input box: one labelled field and the buttons "&OK" and "&Annulla".

#include "controls/tkrtedit.h"

#include <QDialog>

class QPushButton;
class TKRTLabelEdit;

enum TKRTIBTemplate {
    tpKRTIBString,
    tpKRTIBNumeric,
    tpKRTIBDate,
    tpKRTIBTime,
    tpKRTIBMemo,
    tpKRTIBShortTime
};

struct TKRTInputBoxSetup
{
    TKRTIBTemplate templ = tpKRTIBString;
    bool allowNothing = false;
    QString description;
    int decimals = 2;
    TKRTCharCase charCase = ecKRTNormal;
    QString text;
    int length = 0; // exact length required (text kinds), 0 = none
    int maxLength = 0;
    QChar passwordChar;
};

class TKRTINPUTBOXFORM : public QDialog
{
    Q_OBJECT

public:
    explicit TKRTINPUTBOXFORM(QWidget *parent = nullptr);

    void Setup(const TKRTInputBoxSetup &setup);
    TKRTLabelEdit *EFInput() const { return m_input; }
    // The message for a text of the wrong length, empty when the text is acceptable.
    static QString LengthError(const QString &text, int length);

private:
    void OkClicked();

    TKRTLabelEdit *m_input = nullptr; // Owned (child).
    QPushButton *m_ok = nullptr;      // Owned (child).
    QPushButton *m_cancel = nullptr;  // Owned (child).
    int m_requiredLength = 0;
};
