#pragma once

// The grid's owner-drawn popup: items on gradients and, for the top level, a side bar on the
// left with a vertical caption.

#include <QColor>
#include <QFont>
#include <QMenu>

struct TKRTPopupLook
{
    bool enhanced = true;
    QString sideBarCaption;
    QColor sideBarColor;
    QColor sideBarColorTo;
    QFont sideBarFont;
    QColor sideBarFontColor;
    QColor backColor;
    QColor backColorTo;
    QColor selBackColor;
    QColor selBackColorTo;
    QColor selForeColor;
};

class TKRTPopupMenu : public QMenu
{
    Q_OBJECT

public:
    TKRTPopupMenu(const TKRTPopupLook &look, bool topLevel, QWidget *parent = nullptr);

    // Item properties read when drawing.
    static constexpr const char *kUserItem = "krtUserItem";       // bool: a user entry
    static constexpr const char *kFontColor = "krtFontColor";     // QColor of a user entry
    static constexpr const char *kBitmapRight = "krtBitmapRight"; // bool: picture at the right
    static constexpr const char *kTag = "krtTag";                 // int: the item's tag

    // Measures the side bar for the current items (once per popup, before it opens).
    void MeasureSideBar();
    int SideBarWidth() const { return m_barWidth; }
    QString SideBarText() const { return m_barText; }
    int SideBarPointSize() const { return m_barPointSize; }
    const TKRTPopupLook &Look() const { return m_look; }

    // A submenu with the same look and no side bar.
    TKRTPopupMenu *AddSubMenu(const QString &title);

    static QFont StandardItemFont();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void PaintItem(QPainter &p, QAction *action);

    TKRTPopupLook m_look;
    bool m_topLevel;
    int m_barWidth = -1;
    QString m_barText;
    int m_barPointSize = 0;
};
