#pragma once

// The month calendar of date fields: a borderless popup framed by a black line, selecting a
// day with a single click.

#include <QDate>
#include <QFrame>

class QCalendarWidget;
class QLabel;
class QToolButton;

class TKRTCalendar : public QFrame
{
    Q_OBJECT

public:
    explicit TKRTCalendar(QWidget *parent = nullptr);

    void SetDate(const QDate &date);
    QDate ShownMonth() const;
    QCalendarWidget *Calendar() const { return m_calendar; }

Q_SIGNALS:
    // A day was chosen; the popup closes after the signal.
    void DateChosen(const QDate &date);
    void Closed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void UpdateTitle();
    void Choose(const QDate &date);

    QCalendarWidget *m_calendar = nullptr; // Owned (child).
    QLabel *m_title = nullptr;             // Owned (child).
};
