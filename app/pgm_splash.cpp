#include "app/pgm_splash.h"

#include "common/texts.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr QSize kImageSize(520, 300);

} // namespace

QPixmap ProgramImage(const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));

    QLinearGradient background(r.topLeft(), r.bottomRight());
    background.setColorAt(0.0, QColor(0x1f, 0x3a, 0x5f));
    background.setColorAt(1.0, QColor(0x2e, 0x86, 0x8c));
    p.fillRect(r, background);

    // A stylised "V" made of two bands, the mark of the program.
    const double h = r.height();
    const double w = r.width();
    const bool small = h < 100;
    const QRectF mark = small ? r.adjusted(w * 0.12, h * 0.12, -w * 0.12, -h * 0.12)
                              : QRectF(w * 0.07, h * 0.18, h * 0.5, h * 0.5);
    QPainterPath left;
    left.moveTo(mark.left(), mark.top());
    left.lineTo(mark.left() + mark.width() * 0.28, mark.top());
    left.lineTo(mark.center().x() + mark.width() * 0.06, mark.bottom() - mark.height() * 0.28);
    left.lineTo(mark.center().x(), mark.bottom());
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(mark.right(), mark.top());
    right.lineTo(mark.right() - mark.width() * 0.28, mark.top());
    right.lineTo(mark.center().x() - mark.width() * 0.02, mark.bottom() - mark.height() * 0.16);
    right.lineTo(mark.center().x(), mark.bottom());
    right.closeSubpath();
    p.fillPath(left, QColor(0xff, 0xff, 0xff));
    p.fillPath(right, QColor(0xf2, 0xa5, 0x41));
    if (small)
        return pixmap;

    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPixelSize(int(h * 0.2));
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    const QRectF textArea(mark.right() + w * 0.04,
                          mark.top(),
                          w - mark.right() - w * 0.08,
                          mark.height() * 0.62);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Ventorel"));

    QFont subtitle(QStringLiteral("Trebuchet MS"));
    subtitle.setPixelSize(int(h * 0.06));
    p.setFont(subtitle);
    p.setPen(QColor(0xdd, 0xee, 0xf0));
    p.drawText(QRectF(textArea.left(), textArea.bottom() + h * 0.02, textArea.width(), h * 0.2),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Preventivi e ordini di prodotti tecnici"));

    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawLine(QPointF(w * 0.07, h * 0.8), QPointF(w * 0.93, h * 0.8));
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64})
        icon.addPixmap(ProgramImage(QSize(side, side)));
    return icon;
}

TPGM_SPLASH::TPGM_SPLASH(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PGM_SPLASH"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("IMG_Programma"));
    m_image->setPixmap(ProgramImage(kImageSize));
    m_image->setFixedSize(kImageSize);

    // The version sits on the image, in its lower right corner.
    SF_VersionNumber = new QLabel(QStringLiteral("V") + ProgramVersionText(), this);
    SF_VersionNumber->setObjectName(QStringLiteral("SF_VersionNumber"));
    SF_VersionNumber->setStyleSheet(QStringLiteral("color: white; font-size: 13pt;"));
    SF_VersionNumber->adjustSize();
    SF_VersionNumber->move(kImageSize.width() - SF_VersionNumber->width() - 24,
                           kImageSize.height() - SF_VersionNumber->height() - 18);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_image);
    SF_VersionNumber->raise();
    setFixedSize(kImageSize);

    TM_Close = new QTimer(this);
    TM_Close->setObjectName(QStringLiteral("TM_Close"));
    TM_Close->setSingleShot(true);
    TM_Close->setInterval(kCloseAfterMs);
    connect(TM_Close, &QTimer::timeout, this, &QWidget::close);
}

void TPGM_SPLASH::ShowCentered()
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    m_closed = false;
    show();
    raise();
    repaint();
    TM_Close->start();
    QCoreApplication::processEvents();
}

void TPGM_SPLASH::StayAbove(QWidget *window)
{
    if (m_below)
        m_below->removeEventFilter(this);
    m_below = window;
    if (!window)
        return;
    window->installEventFilter(this);
    if (isVisible())
        raise();
}

bool TPGM_SPLASH::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_below && !m_closed) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::ZOrderChange:
        case QEvent::WindowActivate:
        case QEvent::WindowStateChange:
            // Once the other window is mapped or raised: a raise now would come before it.
            QTimer::singleShot(0, this, [this] {
                if (!m_closed && isVisible())
                    raise();
            });
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPGM_SPLASH::WaitClosed()
{
    if (m_closed || !isVisible())
        return;
    QEventLoop loop;
    connect(this, &TPGM_SPLASH::Closed, &loop, &QEventLoop::quit);
    loop.exec();
}

void TPGM_SPLASH::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

void TPGM_SPLASH::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}

void TPGM_SPLASH::closeEvent(QCloseEvent *event)
{
    TM_Close->stop();
    if (m_below)
        m_below->removeEventFilter(this);
    event->accept();
    if (!m_closed) {
        m_closed = true;
        Q_EMIT Closed();
    }
}
