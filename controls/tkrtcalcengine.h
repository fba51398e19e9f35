#pragma once

// Arithmetic of the pocket calculator of number fields: a shown value, a parked value and one
// pending operation, driven key by key.

#include <QString>

class TKRTCalcEngine
{
public:
    enum TOperation { opNone, opAdd, opSubtract, opMultiply, opDivide };

    // Starts on a value; the first digit typed replaces it.
    void Start(double value);

    void Digit(int digit);
    void Comma();
    void Negate();
    void Clear();
    void Back();
    void Operator(TOperation op);
    void Percent();
    // Carries out a pending operation and gives the result.
    double Equals();

    double Value() const { return m_value; }
    // The value with thousands separators and the decimals typed so far, followed by a blank.
    QString NumericText() const;
    // The pending operator ("+", "-", "*", "/") or empty.
    QString OperationText() const;

    TOperation xCurrentOperation = opNone;
    bool bOperationPending = false;
    bool bCommaPressed = false;
    bool bFirstPressed = false;

private:
    void CarryOut();
    QString EntryText() const;
    void SetEntry(const QString &text);

    double m_value = 0;
    double m_parked = 0;
    // The number as typed ("7,05"): kept so that typed zeros after the comma are not lost.
    QString m_entry;
};
