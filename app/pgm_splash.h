#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

// The start-up window: the program image and its version, on top of everything, without a
// frame. It closes itself after five seconds, or at a key press or a click on it.
class TPGM_SPLASH : public QWidget
{
    Q_OBJECT
public:
    explicit TPGM_SPLASH(QWidget *parent = nullptr);

    // Shows the window centred on the screen and lets it paint.
    void ShowCentered();
    // Keeps the splash above window until it closes. A window manager honours "stay on top",
    // but without one the window shown or raised last covers the splash.
    void StayAbove(QWidget *window);
    // Returns once the window has closed, dispatching events meanwhile.
    void WaitClosed();
    bool IsClosed() const { return m_closed; }

    static constexpr int kCloseAfterMs = 5000;

Q_SIGNALS:
    void Closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_image = nullptr;          // Owned by Qt parent.
    QLabel *SF_VersionNumber = nullptr; // Owned by Qt parent.
    QTimer *TM_Close = nullptr;         // Owned by Qt parent.
    QPointer<QWidget> m_below;          // Not owned.
    bool m_closed = false;
};

// The program image, drawn in code: used by the splash window and as the window icon.
QPixmap ProgramImage(const QSize &size);
QIcon ProgramIcon();
