#include "common/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

void PutClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString ClipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void CopyImageToClipboard(const QImage &image)
{
    if (!image.isNull())
        QGuiApplication::clipboard()->setImage(image);
}

QImage PasteImageFromClipboard()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return QImage();
    return qvariant_cast<QImage>(data->imageData());
}
