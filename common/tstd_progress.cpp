#include "common/tstd_progress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<TSTD_PROGRESS> g_instance;
}

TSTD_PROGRESS::TSTD_PROGRESS(QWidget *parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("STD_PROGRESS"));
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setFixedSize(380, 90);
    setAutoFillBackground(true);

    SF_Progress = new QLabel(this);
    SF_Progress->setObjectName(QStringLiteral("SF_Progress"));
    SF_Progress->setAlignment(Qt::AlignCenter);
    SF_Progress->setWordWrap(true);
    SF_Progress->setTextFormat(Qt::PlainText);
    QFont f = SF_Progress->font();
    f.setPointSize(f.pointSize() + 2);
    f.setBold(true);
    SF_Progress->setFont(f);

    PBAR_Progress = new QProgressBar(this);
    PBAR_Progress->setObjectName(QStringLiteral("PBAR_Progress"));
    PBAR_Progress->setVisible(false);

    TM_Progress = new QTimer(this);
    TM_Progress->setObjectName(QStringLiteral("TM_Progress"));
    TM_Progress->setInterval(100);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(SF_Progress, 1);
    layout->addWidget(PBAR_Progress);

    if (!g_instance)
        g_instance = this;
}

TSTD_PROGRESS::~TSTD_PROGRESS()
{
    if (m_disabled)
        m_disabled->setEnabled(true);
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}

TSTD_PROGRESS *TSTD_PROGRESS::Instance()
{
    return g_instance.data();
}

void TSTD_PROGRESS::Show(const QString &message, QWidget *windowToDisable, int interval)
{
    if (m_disabled && m_disabled != windowToDisable)
        m_disabled->setEnabled(true); // never leave an earlier window disabled for good
    m_disabled = windowToDisable;
    if (windowToDisable) {
        windowToDisable->setEnabled(false);
        // Disabling our parent would grey this window too; as a window it may stay enabled.
        if (!isEnabled())
            setEnabled(true);
    }
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
    SF_Progress->setText(message);
    TM_Progress->stop();
    TM_Progress->setInterval(interval);
    CenterOnScreen();
    show();
    raise();
    repaint();
    QCoreApplication::processEvents();
}

void TSTD_PROGRESS::ShowWait()
{
    Show(QString(), nullptr, 100);
    SF_Progress->setText(QStringLiteral("Attendere ..."));
    PBAR_Progress->setVisible(false);
    SF_Progress->repaint();
}

void TSTD_PROGRESS::Hide()
{
    if (m_disabled)
        m_disabled->setEnabled(true);
    m_disabled = nullptr;
    TM_Progress->stop();
    hide();
    TM_Progress->setInterval(100);
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
    QCoreApplication::processEvents();
}

QString TSTD_PROGRESS::Message() const
{
    return SF_Progress->text();
}

void TSTD_PROGRESS::CenterOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}
