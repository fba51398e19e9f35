#pragma once

// The pocket calculator of number fields: a popup placed like the calendar, started with the
// field's value, handing back the result of "=".

#include "controls/tkrtcalcengine.h"

#include <QFrame>

class QLabel;

class TKRTCalculator : public QFrame
{
    Q_OBJECT

public:
    explicit TKRTCalculator(QWidget *parent = nullptr);

    void Start(double value);
    TKRTCalcEngine &Engine() { return m_engine; }
    // Presses the key with that caption ("7", ",", "+", "=", "C", "<-", "+/-", "%").
    void Press(const QString &key);

Q_SIGNALS:
    // "=" computed a result; the popup closes after the signal.
    void ResultChosen(double value);
    void Closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Refresh();

    TKRTCalcEngine m_engine;
    QLabel *m_numeric = nullptr;   // Owned (child).
    QLabel *m_operation = nullptr; // Owned (child).
};
