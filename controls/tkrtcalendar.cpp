#include "controls/tkrtcalendar.h"

#include "common/formats.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TKRTCalendar::TKRTCalendar(QWidget *parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TKRTCalendar"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto *nav = new QHBoxLayout;
    auto makeButton = [this, nav](const QString &name, const QString &text, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        nav->addWidget(b);
        return b;
    };
    QToolButton *prevYear = makeButton(QStringLiteral("PB_PrevYear"),
                                       QStringLiteral("<<"),
                                       QStringLiteral("Anno Precedente"));
    QToolButton *prevMonth = makeButton(QStringLiteral("PB_PrevMonth"),
                                        QStringLiteral("<"),
                                        QStringLiteral("Mese Precedente"));
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("SF_Month"));
    m_title->setAlignment(Qt::AlignCenter);
    QFont f = m_title->font();
    f.setBold(true);
    m_title->setFont(f);
    nav->addWidget(m_title, 1);
    QToolButton *nextMonth = makeButton(QStringLiteral("PB_NextMonth"),
                                        QStringLiteral(">"),
                                        QStringLiteral("Mese Successivo"));
    QToolButton *nextYear = makeButton(QStringLiteral("PB_NextYear"),
                                       QStringLiteral(">>"),
                                       QStringLiteral("Anno Successivo"));
    layout->addLayout(nav);

    m_calendar = new QCalendarWidget(this);
    m_calendar->setObjectName(QStringLiteral("CAL_Month"));
    m_calendar->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    m_calendar->setNavigationBarVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);
    layout->addWidget(m_calendar);

    auto *today = new QPushButton(QStringLiteral("Oggi: ") + DateToText(QDate::currentDate()), this);
    today->setObjectName(QStringLiteral("PB_Oggi"));
    today->setFlat(true);
    layout->addWidget(today);

    connect(prevYear, &QToolButton::clicked, this, [this] { m_calendar->showPreviousYear(); });
    connect(nextYear, &QToolButton::clicked, this, [this] { m_calendar->showNextYear(); });
    connect(prevMonth, &QToolButton::clicked, this, [this] { m_calendar->showPreviousMonth(); });
    connect(nextMonth, &QToolButton::clicked, this, [this] { m_calendar->showNextMonth(); });
    connect(today, &QPushButton::clicked, this, [this] { m_calendar->showToday(); });
    connect(m_calendar, &QCalendarWidget::currentPageChanged, this, &TKRTCalendar::UpdateTitle);
    connect(m_calendar, &QCalendarWidget::clicked, this, &TKRTCalendar::Choose);
    connect(m_calendar, &QCalendarWidget::activated, this, &TKRTCalendar::Choose);
    UpdateTitle();
}

void TKRTCalendar::SetDate(const QDate &date)
{
    m_calendar->setSelectedDate(date);
    m_calendar->setCurrentPage(date.year(), date.month());
    UpdateTitle();
}

QDate TKRTCalendar::ShownMonth() const
{
    return QDate(m_calendar->yearShown(), m_calendar->monthShown(), 1);
}

void TKRTCalendar::UpdateTitle()
{
    QString month = QLocale(QLocale::Italian, QLocale::Italy)
                        .standaloneMonthName(m_calendar->monthShown(), QLocale::LongFormat);
    if (!month.isEmpty())
        month[0] = month.at(0).toUpper();
    m_title->setText(month + QLatin1Char(' ') + QString::number(m_calendar->yearShown()));
}

void TKRTCalendar::Choose(const QDate &date)
{
    Q_EMIT DateChosen(date);
    close();
}

void TKRTCalendar::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    Q_EMIT Closed();
}
