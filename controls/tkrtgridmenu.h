#pragma once

// A node of a grid's user menu. The owning window fills the root (TKRTGrid::GridMenu) before
// every popup; the grid turns the tree into menu items.

#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>

class TKRTGridMenu : public QObject
{
    Q_OBJECT

public:
    // The owner frees the node with itself unless it is freed before.
    explicit TKRTGridMenu(QObject *owner = nullptr);
    // Detaches from its parent and frees its children.
    ~TKRTGridMenu() override;

    QString Caption; // "-" makes a separator
    QString Hint;
    QString TagString; // free text for the owner
    bool Enabled = true;
    bool Visible = true;
    QColor MenuColor;
    QFont MenuFont;
    QColor FontColor; // colour of MenuFont
    QPixmap Bitmap;
    int BitmapAlignment = 0; // 0: picture at the left, otherwise at the right
    int Tag = -1;            // assigned when the popup is built

    // Does nothing when the item already has a parent.
    void Insert(int index, TKRTGridMenu *item);
    void Add(TKRTGridMenu *item);
    void Add(const QList<TKRTGridMenu *> &items);
    // Detaches the child at index without freeing it (ignored when out of range).
    void Delete(int index);
    void Remove(TKRTGridMenu *item);
    int IndexOf(const TKRTGridMenu *item) const;
    // Frees all children, last first.
    void Clear();
    TKRTGridMenu *GetItem(int index) const;
    int Count() const { return int(m_items.size()); }
    const QList<TKRTGridMenu *> &Items() const { return m_items; }
    TKRTGridMenu *Parent() const { return m_parent; }

    // First direct child with that caption (ignoring case and "&" marks), or nullptr.
    TKRTGridMenu *Find(const QString &caption) const;
    bool IsLine() const { return Caption == QLatin1String("-"); }

    // A new last child with empty caption and the default look.
    TKRTGridMenu *Append();
    TKRTGridMenu *AppendSeparator();

    static QFont DefaultFont();

private:
    QList<TKRTGridMenu *> m_items;    // Owned: freed by Clear and the destructor.
    TKRTGridMenu *m_parent = nullptr; // Not owned.
};

// A caption with its "&" accelerator marks removed.
QString KRTStripAccelerators(const QString &caption);
// Captions equal ignoring case and accelerator marks.
bool KRTSameCaption(const QString &a, const QString &b);

// Appends an entry with the caption in "Trebuchet MS" 12, bold when asked, in the font colour
// (a Windows colour value: 0 black, 255 red), with the picture at imageIndex of the image list
// when one is given and the index is not -1. Returns the new entry.
TKRTGridMenu *AddGridMenuItem(TKRTGridMenu *menu,
                              const QString &caption,
                              quint32 fontColor,
                              int imageIndex = -1,
                              const QList<QPixmap> *imageList = nullptr,
                              bool bold = false);
