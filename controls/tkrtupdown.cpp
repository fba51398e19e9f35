#include "controls/tkrtupdown.h"

#include <QToolButton>
#include <QVBoxLayout>

TKRTUpDown::TKRTUpDown(const QString &name, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(name);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto arrow = [this, layout](Qt::ArrowType type, const char *suffix, int delta) {
        auto *b = new QToolButton(this);
        b->setObjectName(objectName() + QLatin1String(suffix));
        b->setArrowType(type);
        b->setAutoRepeat(true);
        b->setFixedSize(18, 11);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, delta] { Step(delta); });
        layout->addWidget(b);
        return b;
    };
    m_up = arrow(Qt::UpArrow, "_Up", 1);
    m_down = arrow(Qt::DownArrow, "_Down", -1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TKRTUpDown::SetRange(int min, int max)
{
    m_min = min;
    m_max = qMax(min, max);
    SetPosition(m_position);
}

void TKRTUpDown::SetPosition(int position)
{
    m_position = qBound(m_min, position, m_max);
}

void TKRTUpDown::Step(int delta)
{
    const int next = qBound(m_min, m_position + delta, m_max);
    if (next == m_position)
        return;
    m_position = next;
    if (OnClick)
        OnClick(this);
}
