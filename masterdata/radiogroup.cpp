#include "masterdata/radiogroup.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString &name,
                         const QString &caption,
                         const QStringList &items,
                         Qt::Orientation orientation,
                         QWidget *parent)
    : QFrame(parent)
{
    setObjectName(name);
    auto *layout = new QBoxLayout(orientation == Qt::Horizontal ? QBoxLayout::LeftToRight
                                                                : QBoxLayout::TopToBottom,
                                  this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(orientation == Qt::Horizontal ? 10 : 2);
    if (!caption.isEmpty()) {
        m_caption = new QLabel(caption, this);
        layout->addWidget(m_caption);
    }
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        button->setObjectName(name + QLatin1Char('_') + QString::number(i));
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int) {
        if (OnClick)
            OnClick(this);
    });
}

int TRadioGroup::ItemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < Count()) {
        m_group->button(index)->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last button: lift the rule for a moment.
    if (QAbstractButton *checked = m_group->checkedButton()) {
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
}

int TRadioGroup::Count() const
{
    return int(m_group->buttons().size());
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return qobject_cast<QRadioButton *>(m_group->button(index));
}
