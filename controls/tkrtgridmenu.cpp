#include "controls/tkrtgridmenu.h"

#include "controls/krtcolor.h"

#include <QApplication>
#include <QPalette>

TKRTGridMenu::TKRTGridMenu(QObject *owner)
    : QObject(owner)
    , MenuColor(QApplication::palette().color(QPalette::Button))
    , MenuFont(DefaultFont())
    , FontColor(Qt::black)
{}

TKRTGridMenu::~TKRTGridMenu()
{
    if (m_parent)
        m_parent->Remove(this);
    Clear();
}

QFont TKRTGridMenu::DefaultFont()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    return f;
}

void TKRTGridMenu::Insert(int index, TKRTGridMenu *item)
{
    if (!item || item->m_parent || item == this)
        return;
    index = qBound(0, index, Count());
    m_items.insert(index, item);
    item->m_parent = this;
}

void TKRTGridMenu::Add(TKRTGridMenu *item)
{
    Insert(Count(), item);
}

void TKRTGridMenu::Add(const QList<TKRTGridMenu *> &items)
{
    for (TKRTGridMenu *item : items)
        Add(item);
}

void TKRTGridMenu::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    TKRTGridMenu *item = m_items.takeAt(index);
    item->m_parent = nullptr;
}

void TKRTGridMenu::Remove(TKRTGridMenu *item)
{
    const int i = IndexOf(item);
    if (i >= 0)
        Delete(i);
}

int TKRTGridMenu::IndexOf(const TKRTGridMenu *item) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items.at(i) == item)
            return i;
    }
    return -1;
}

void TKRTGridMenu::Clear()
{
    while (!m_items.isEmpty()) {
        TKRTGridMenu *item = m_items.takeLast();
        item->m_parent = nullptr;
        delete item;
    }
}

TKRTGridMenu *TKRTGridMenu::GetItem(int index) const
{
    return (index >= 0 && index < Count()) ? m_items.at(index) : nullptr;
}

TKRTGridMenu *TKRTGridMenu::Find(const QString &caption) const
{
    for (TKRTGridMenu *item : m_items) {
        if (KRTSameCaption(item->Caption, caption))
            return item;
    }
    return nullptr;
}

TKRTGridMenu *TKRTGridMenu::Append()
{
    auto *item = new TKRTGridMenu(this);
    Add(item);
    return item;
}

TKRTGridMenu *TKRTGridMenu::AppendSeparator()
{
    TKRTGridMenu *item = Append();
    item->Caption = QStringLiteral("-");
    return item;
}

QString KRTStripAccelerators(const QString &caption)
{
    QString s = caption;
    s.remove(QLatin1Char('&'));
    return s;
}

bool KRTSameCaption(const QString &a, const QString &b)
{
    return KRTStripAccelerators(a).compare(KRTStripAccelerators(b), Qt::CaseInsensitive) == 0;
}

TKRTGridMenu *AddGridMenuItem(TKRTGridMenu *menu,
                              const QString &caption,
                              quint32 fontColor,
                              int imageIndex,
                              const QList<QPixmap> *imageList,
                              bool bold)
{
    if (!menu)
        return nullptr;
    TKRTGridMenu *item = menu->Append();
    item->Caption = caption;
    QFont f(QStringLiteral("Trebuchet MS"));
    f.setPointSize(12);
    f.setBold(bold);
    item->MenuFont = f;
    item->FontColor = KRTColor(fontColor);
    if (imageList && imageIndex != -1 && imageIndex >= 0 && imageIndex < imageList->size())
        item->Bitmap = imageList->at(imageIndex);
    return item;
}
