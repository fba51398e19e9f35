#include "controls/tkrtpopupmenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

TKRTPopupMenu::TKRTPopupMenu(const TKRTPopupLook &look, bool topLevel, QWidget *parent)
    : QMenu(parent)
    , m_look(look)
    , m_topLevel(topLevel)
{
    if (m_look.enhanced)
        setFont(StandardItemFont());
}

QFont TKRTPopupMenu::StandardItemFont()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    return f;
}

TKRTPopupMenu *TKRTPopupMenu::AddSubMenu(const QString &title)
{
    auto *sub = new TKRTPopupMenu(m_look, false, this);
    sub->setTitle(title);
    addMenu(sub);
    return sub;
}

void TKRTPopupMenu::MeasureSideBar()
{
    if (!m_look.enhanced || !m_topLevel) {
        m_barWidth = 0;
        setContentsMargins(0, 0, 0, 0);
        return;
    }
    setContentsMargins(0, 0, 0, 0);
    const int length = sizeHint().height();
    QFont f = m_look.sideBarFont;
    int size = f.pointSize() > 0 ? f.pointSize() : 10;
    QString text = m_look.sideBarCaption;
    auto fits = [&](const QString &t, int pt) {
        QFont probe = f;
        probe.setPointSize(pt);
        return QFontMetrics(probe).horizontalAdvance(t) + 8 <= length;
    };
    while (size > 7 && !fits(text, size))
        --size;
    bool dropped = false;
    if (!fits(text, size)) {
        QString base = text;
        while (base.length() > 1 && !fits(base + QStringLiteral("..."), size))
            base.chop(1);
        if (base.length() <= 1)
            dropped = true;
        else
            text = base + QStringLiteral("...");
    }
    f.setPointSize(size);
    m_barPointSize = size;
    if (dropped || text.isEmpty()) {
        m_barText.clear();
        m_barWidth = 20;
    } else {
        m_barText = text;
        m_barWidth = QFontMetrics(f).height() + 4;
    }
    setContentsMargins(m_barWidth, 0, 0, 0);
    // The item rectangles are cached by the menu: have them laid out again with the bar.
    QEvent relayout(QEvent::StyleChange);
    QCoreApplication::sendEvent(this, &relayout);
    adjustSize();
}

void TKRTPopupMenu::paintEvent(QPaintEvent *event)
{
    if (!m_look.enhanced) {
        QMenu::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(rect(), m_look.backColorTo);
    for (QAction *a : actions()) {
        if (a->isVisible())
            PaintItem(p, a);
    }
    if (m_topLevel && m_barWidth > 0) {
        const QRect bar(0, 0, m_barWidth, height());
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0, m_look.sideBarColor);
        g.setColorAt(1, m_look.sideBarColorTo);
        p.fillRect(bar, g);
        if (!m_barText.isEmpty()) {
            QFont f = m_look.sideBarFont;
            f.setPointSize(m_barPointSize);
            p.save();
            p.setFont(f);
            p.setPen(m_look.sideBarFontColor);
            p.translate(bar.left() + 2, bar.bottom() - 4);
            p.rotate(-90);
            const QFontMetrics fm(f);
            p.drawText(QPoint(0, fm.ascent()), m_barText);
            p.restore();
        }
    }
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TKRTPopupMenu::PaintItem(QPainter &p, QAction *action)
{
    const QRect r = actionGeometry(action);
    if (r.isEmpty())
        return;
    if (action->isSeparator()) {
        const int y = r.center().y();
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(r.left() + 4, y, r.right() - 4, y);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.left() + 4, y + 1, r.right() - 4, y + 1);
        return;
    }
    const bool selected = activeAction() == action && action->isEnabled();
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, selected ? m_look.selBackColor : m_look.backColor);
    g.setColorAt(1, selected ? m_look.selBackColorTo : m_look.backColorTo);
    p.fillRect(r, g);

    const bool user = action->property(kUserItem).toBool();
    QFont f = user ? action->font() : StandardItemFont();
    QColor color = Qt::black;
    if (user && action->property(kFontColor).isValid())
        color = action->property(kFontColor).value<QColor>();
    if (selected && !user)
        color = m_look.selForeColor;
    if (!action->isEnabled())
        color = palette().color(QPalette::Disabled, QPalette::WindowText);

    int x = r.left() + 6;
    int rightEdge = r.right() - 6;
    const QPixmap pix = action->icon().isNull() ? QPixmap() : action->icon().pixmap(QSize(32, 32));
    if (!pix.isNull()) {
        const QSize ps = action->icon().actualSize(QSize(32, 32));
        const int py = r.top() + (r.height() - ps.height()) / 2;
        if (action->property(kBitmapRight).toBool()) {
            p.drawPixmap(QRect(QPoint(r.right() - 6 - ps.width(), py), ps), pix);
            rightEdge -= ps.width() + 6;
        } else {
            p.drawPixmap(QRect(QPoint(x, py), ps), pix);
            x += ps.width() + 12;
        }
    }
    p.setFont(f);
    p.setPen(color);
    const QRect textRect(x, r.top(), rightEdge - x, r.height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, action->text());
    if (action->menu()) {
        const int cy = r.center().y();
        QPainterPath arrow;
        arrow.moveTo(r.right() - 10, cy - 4);
        arrow.lineTo(r.right() - 6, cy);
        arrow.lineTo(r.right() - 10, cy + 4);
        arrow.closeSubpath();
        p.fillPath(arrow, color);
    }
}
