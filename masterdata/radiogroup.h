#pragma once

// A radio group (the RG_ controls): a row or column of exclusive entries with an item index,
// as the filter and edit panels use it.

#include <QFrame>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QLabel;
class QRadioButton;

class TRadioGroup : public QFrame
{
    Q_OBJECT

public:
    // The entries are named objectName + "_" + their index ("RG_Find_Nazionalita_1").
    TRadioGroup(const QString &name,
                const QString &caption,
                const QStringList &items,
                Qt::Orientation orientation,
                QWidget *parent = nullptr);

    int ItemIndex() const;        // -1 when none is chosen
    void SetItemIndex(int index); // no OnClick; out of range chooses none
    int Count() const;
    QRadioButton *Button(int index) const;

    // Raised when the operator chooses an entry (not when the program sets it).
    std::function<void(TRadioGroup *)> OnClick;

private:
    QButtonGroup *m_group = nullptr; // Owned (child).
    QLabel *m_caption = nullptr;     // Owned (child); nullptr without a caption.
};
