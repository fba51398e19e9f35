#include "controls/tkrttoggleswitch.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

constexpr int kTrackWidth = 34;
constexpr int kTrackHeight = 18;
constexpr int kGap = 6;

} // namespace

TKRTToggleSwitch::TKRTToggleSwitch(const QString &name,
                                   const QString &captionOff,
                                   const QString &captionOn,
                                   QWidget *parent)
    : QAbstractButton(parent)
    , m_captionOff(captionOff)
    , m_captionOn(captionOn)
{
    setObjectName(name);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setText(m_captionOff);
    // The caption follows the state; the size is that of the longer caption, so that the
    // controls beside the switch do not move when it is turned.
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        setText(on ? m_captionOn : m_captionOff);
    });
}

QSize TKRTToggleSwitch::sizeHint() const
{
    const QFontMetrics fm(font());
    const int text = qMax(fm.horizontalAdvance(m_captionOff), fm.horizontalAdvance(m_captionOn));
    return QSize(kTrackWidth + kGap + text + 4, qMax(kTrackHeight + 4, fm.height() + 4));
}

bool TKRTToggleSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void TKRTToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = isChecked();
    const bool enabled = isEnabled();
    const QRectF track(1, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
    const QColor onColor = enabled ? QColor(0x2E, 0x7D, 0x32) : QColor(0xA5, 0xC8, 0xA7);
    const QColor offColor = enabled ? QColor(0x9E, 0x9E, 0x9E) : QColor(0xD0, 0xD0, 0xD0);
    QPainterPath path;
    path.addRoundedRect(track, kTrackHeight / 2.0, kTrackHeight / 2.0);
    p.fillPath(path, on ? onColor : offColor);
    const qreal knob = kTrackHeight - 4;
    const qreal x = on ? track.right() - knob - 2 : track.left() + 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));

    p.setPen(palette().color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect textRect(kTrackWidth + kGap, 0, width() - kTrackWidth - kGap, height());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, Caption());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect.adjusted(-2, 1, 0, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}
