#pragma once

// The up-down arrows (the UD_ controls): two small arrow buttons that move a position within a
// range, one step per click, for a read-only field beside them (the year of the filters).

#include <QWidget>

#include <functional>

class QToolButton;

class TKRTUpDown : public QWidget
{
    Q_OBJECT

public:
    explicit TKRTUpDown(const QString &name, QWidget *parent = nullptr);

    int Min() const { return m_min; }
    int Max() const { return m_max; }
    void SetRange(int min, int max);
    int Position() const { return m_position; }
    // Clamped to the range; no OnClick.
    void SetPosition(int position);

    QToolButton *UpButton() const { return m_up; }
    QToolButton *DownButton() const { return m_down; }

    // Raised when the operator moves the position with an arrow (not at the ends of the range).
    std::function<void(TKRTUpDown *)> OnClick;

private:
    void Step(int delta);

    QToolButton *m_up = nullptr;   // Owned (child).
    QToolButton *m_down = nullptr; // Owned (child).
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
};
