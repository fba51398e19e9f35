#include "common/tstd_yesno.h"

#include "common/windowroutines.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TSTD_YESNO::TSTD_YESNO(QWidget *parent)
    : QDialog(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("STD_YESNO"));
    setWindowTitle(QStringLiteral("Conferma"));

    imgDomanda = new QLabel(this);
    imgDomanda->setObjectName(QStringLiteral("imgDomanda"));
    imgDomanda->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(48, 48));
    imgDomanda->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    imgDomanda->setFixedWidth(56);

    lbl_Testo = new QLabel(this);
    lbl_Testo->setObjectName(QStringLiteral("lbl_Testo"));
    lbl_Testo->setTextFormat(Qt::PlainText);
    lbl_Testo->setWordWrap(true);
    lbl_Testo->setMinimumWidth(320);
    lbl_Testo->setAlignment(Qt::AlignCenter);

    pb_Conferma = new QPushButton(QStringLiteral("Si"), this);
    pb_Conferma->setObjectName(QStringLiteral("pb_Conferma"));
    pb_Conferma->setMinimumWidth(96);
    connect(pb_Conferma, &QPushButton::clicked, this, &QDialog::accept);

    pb_Annulla = new QPushButton(QStringLiteral("No"), this);
    pb_Annulla->setObjectName(QStringLiteral("pb_Annulla"));
    pb_Annulla->setMinimumWidth(96);
    connect(pb_Annulla, &QPushButton::clicked, this, &QDialog::reject);

    auto *body = new QHBoxLayout;
    body->addWidget(imgDomanda);
    body->addWidget(lbl_Testo, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(pb_Conferma);
    buttons->addSpacing(12);
    buttons->addWidget(pb_Annulla);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(14);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

void TSTD_YESNO::Setup(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    lbl_Testo->setText(shown);
    pb_Conferma->setFocus();
    adjustSize();
}

void TSTD_YESNO::Place(int position, double heightFactor, double widthFactor)
{
    PlaceMessageWindow(this, lbl_Testo, position, heightFactor, widthFactor);
}
