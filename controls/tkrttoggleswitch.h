#pragma once

// The toggle switch (the TS_ controls): a sliding switch with a caption beside it. The caption
// may differ between the two states ("Attiva ricerca per cliente" off, "Disattiva ricerca per
// cliente" on). It is a checkable button: clicked, toggled and setChecked work as for a box.

#include <QAbstractButton>
#include <QString>

class TKRTToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    TKRTToggleSwitch(const QString &name,
                     const QString &captionOff,
                     const QString &captionOn,
                     QWidget *parent = nullptr);

    QString CaptionOff() const { return m_captionOff; }
    QString CaptionOn() const { return m_captionOn; }
    // The caption of the state shown now.
    QString Caption() const { return isChecked() ? m_captionOn : m_captionOff; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QString m_captionOff;
    QString m_captionOn;
};
