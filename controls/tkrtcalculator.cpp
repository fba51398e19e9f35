#include "controls/tkrtcalculator.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

TKRTCalculator::TKRTCalculator(QWidget *parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TKRTCalculator"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    setLineWidth(1);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(3, 3, 3, 3);
    grid->setSpacing(2);
    m_operation = new QLabel(this);
    m_operation->setObjectName(QStringLiteral("SF_Operation"));
    m_operation->setAlignment(Qt::AlignCenter);
    m_operation->setMinimumWidth(16);
    m_numeric = new QLabel(this);
    m_numeric->setObjectName(QStringLiteral("SF_Numeric"));
    m_numeric->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_numeric->setFrameShape(QFrame::StyledPanel);
    m_numeric->setMinimumWidth(120);
    grid->addWidget(m_operation, 0, 0);
    grid->addWidget(m_numeric, 0, 1, 1, 4);

    const char *keys[5][5] = {{"C", "<-", "+/-", "%", "/"},
                              {"7", "8", "9", "*", nullptr},
                              {"4", "5", "6", "-", nullptr},
                              {"1", "2", "3", "+", nullptr},
                              {"0", ",", "=", nullptr, nullptr}};
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
            if (!keys[r][c])
                continue;
            const QString key = QString::fromLatin1(keys[r][c]);
            auto *b = new QToolButton(this);
            b->setText(key);
            b->setObjectName(QStringLiteral("PB_Calc_") + QString::number(r * 5 + c));
            b->setFocusPolicy(Qt::NoFocus);
            b->setMinimumSize(28, 24);
            grid->addWidget(b, r + 1, c);
            connect(b, &QToolButton::clicked, this, [this, key] { Press(key); });
        }
    }
    Refresh();
}

void TKRTCalculator::Start(double value)
{
    m_engine.Start(value);
    Refresh();
}

void TKRTCalculator::Press(const QString &key)
{
    if (key.size() == 1 && key.at(0).isDigit()) {
        m_engine.Digit(key.at(0).digitValue());
    } else if (key == QLatin1String(",")) {
        m_engine.Comma();
    } else if (key == QLatin1String("+/-")) {
        m_engine.Negate();
    } else if (key == QLatin1String("C")) {
        m_engine.Clear();
    } else if (key == QLatin1String("<-")) {
        m_engine.Back();
    } else if (key == QLatin1String("+")) {
        m_engine.Operator(TKRTCalcEngine::opAdd);
    } else if (key == QLatin1String("-")) {
        m_engine.Operator(TKRTCalcEngine::opSubtract);
    } else if (key == QLatin1String("*")) {
        m_engine.Operator(TKRTCalcEngine::opMultiply);
    } else if (key == QLatin1String("/")) {
        m_engine.Operator(TKRTCalcEngine::opDivide);
    } else if (key == QLatin1String("%")) {
        m_engine.Percent();
    } else if (key == QLatin1String("=")) {
        const double result = m_engine.Equals();
        Refresh();
        Q_EMIT ResultChosen(result);
        close();
        return;
    }
    Refresh();
}

void TKRTCalculator::Refresh()
{
    m_numeric->setText(m_engine.NumericText());
    m_operation->setText(m_engine.OperationText());
}

void TKRTCalculator::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Press(QStringLiteral("="));
        return;
    case Qt::Key_Backspace:
        Press(QStringLiteral("<-"));
        return;
    case Qt::Key_Delete:
        Press(QStringLiteral("C"));
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        break;
    }
    const QString t = event->text();
    if (t.size() == 1) {
        const QChar c = t.at(0);
        if (c.isDigit() || QStringLiteral("+-*/%").contains(c)) {
            Press(QString(c));
            return;
        }
        if (c == QLatin1Char(',')
            || (c == QLatin1Char('.') && (event->modifiers() & Qt::KeypadModifier))) {
            Press(QStringLiteral(","));
            return;
        }
        if (c == QLatin1Char('=')) {
            Press(QStringLiteral("="));
            return;
        }
    }
    QFrame::keyPressEvent(event);
}

void TKRTCalculator::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    Q_EMIT Closed();
}
