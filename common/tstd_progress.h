#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QProgressBar;
class QTimer;

// The wait window: borderless, always on top, centred on the screen. One instance, created by
// the main window as its child and named "STD_PROGRESS"; every routine works when none exists.
class TSTD_PROGRESS : public QFrame
{
    Q_OBJECT
public:
    explicit TSTD_PROGRESS(QWidget *parent = nullptr);
    ~TSTD_PROGRESS() override;

    // The instance created by the main window, or nullptr.
    static TSTD_PROGRESS *Instance();

    // Disables windowToDisable (when given) until Hide, shows the hourglass and the message,
    // stops the timer and sets its interval, then shows itself and repaints.
    void Show(const QString &message, QWidget *windowToDisable = nullptr, int interval = 100);
    // Show without a window, message "Attendere ...".
    void ShowWait();
    // Re-enables the disabled window, stops the timer, hides, restores the cursor.
    void Hide();

    QString Message() const;
    QWidget *DisabledWindow() const { return m_disabled; }
    QTimer *Timer() const { return TM_Progress; }

private:
    void CenterOnScreen();

    QLabel *SF_Progress = nullptr;         // Owned (child).
    QProgressBar *PBAR_Progress = nullptr; // Owned (child).
    QTimer *TM_Progress = nullptr;         // Owned (child).
    QPointer<QWidget> m_disabled;
    bool m_cursorSet = false;
};
