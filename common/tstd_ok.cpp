#include "common/tstd_ok.h"

#include "common/windowroutines.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLabel *MakeIcon(QWidget *parent, const char *name, QStyle::StandardPixmap which)
{
    auto *icon = new QLabel(parent);
    icon->setObjectName(QLatin1String(name));
    icon->setPixmap(parent->style()->standardIcon(which).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon->setFixedWidth(56);
    icon->setVisible(false);
    return icon;
}

} // namespace

TSTD_OK::TSTD_OK(QWidget *parent)
    : QDialog(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("STD_OK"));

    imgAvviso = MakeIcon(this, "imgAvviso", QStyle::SP_MessageBoxInformation);
    ImgError = MakeIcon(this, "ImgError", QStyle::SP_MessageBoxCritical);
    ImgWarning = MakeIcon(this, "ImgWarning", QStyle::SP_MessageBoxWarning);

    lbl_Testo = new QLabel(this);
    lbl_Testo->setObjectName(QStringLiteral("lbl_Testo"));
    lbl_Testo->setTextFormat(Qt::PlainText);
    lbl_Testo->setWordWrap(true);
    lbl_Testo->setMinimumWidth(320);
    lbl_Testo->setTextInteractionFlags(Qt::TextSelectableByMouse);

    SF_Info = new QPlainTextEdit(this);
    SF_Info->setObjectName(QStringLiteral("SF_Info"));
    SF_Info->setReadOnly(true);
    SF_Info->setMinimumSize(480, 240);
    SF_Info->setVisible(false);

    pb_Conferma = new QPushButton(QStringLiteral("Ok"), this);
    pb_Conferma->setObjectName(QStringLiteral("pb_Conferma"));
    pb_Conferma->setDefault(true);
    pb_Conferma->setMinimumWidth(96);
    connect(pb_Conferma, &QPushButton::clicked, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(lbl_Testo, 1);
    texts->addWidget(SF_Info, 1);

    auto *body = new QHBoxLayout;
    body->addWidget(imgAvviso);
    body->addWidget(ImgError);
    body->addWidget(ImgWarning);
    body->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(pb_Conferma);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(14);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

void TSTD_OK::Setup(TIcon icon, const QString &text, Qt::Alignment align, bool inMemo)
{
    imgAvviso->setVisible(icon == TIcon::Info);
    ImgError->setVisible(icon == TIcon::Error);
    ImgWarning->setVisible(icon == TIcon::Warning);
    switch (icon) {
    case TIcon::Info:
        setWindowTitle(QStringLiteral("Informazione"));
        break;
    case TIcon::Error:
        setWindowTitle(QStringLiteral("Errore"));
        break;
    case TIcon::Warning:
        setWindowTitle(QStringLiteral("Attenzione"));
        break;
    }

    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    const bool longText = shown.size() > kMemoChars || shown.count(u'\n') >= kMemoLines;
    const bool memo = inMemo || longText;
    SF_Info->setVisible(memo);
    lbl_Testo->setVisible(!memo);
    if (memo) {
        SF_Info->setPlainText(shown);
        lbl_Testo->clear();
    } else {
        lbl_Testo->setText(shown);
        lbl_Testo->setAlignment(align | Qt::AlignVCenter);
        SF_Info->clear();
    }
    pb_Conferma->setFocus();
    adjustSize();
}

void TSTD_OK::Place(int position, double heightFactor, double widthFactor)
{
    PlaceMessageWindow(this, lbl_Testo, position, heightFactor, widthFactor);
}
