#pragma once

// Text and images on the system clipboard.

#include <QString>

class QImage;

void PutClipboardText(const QString &text);
QString ClipboardText();
void CopyImageToClipboard(const QImage &image);
// The clipboard's image, or a null image when it holds none.
QImage PasteImageFromClipboard();
