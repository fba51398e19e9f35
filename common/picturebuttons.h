#pragma once

// The routines behind the picture buttons of the windows that hold one picture in a box (a
// product's cover, a node's image, a company's logo): the file choice, the paste, the box.

#include <QImage>
#include <QString>

#include <functional>

class QLabel;

// The file dialog's filter of the pictures the program takes (PNG, JPEG, BMP).
QString PictureFileFilter();

// Asks for a picture file starting in folder and reads it, reduced to the stored size. A
// missing file gives missingText; a file that is no usable picture a clear message. Either way
// the answer is a null image and the caller's picture stays as it was. rememberFolder receives
// the folder of a file that exists, to start there next time. Cancelled: a null image, silently.
QImage AskPictureFile(const QString &caption,
                      const QString &folder,
                      const QString &missingText,
                      const std::function<void(const QString &)> &rememberFolder);

// The clipboard's picture reduced to the stored size; a null image, after a message, when the
// clipboard holds none or one too large to keep.
QImage PastePictureChecked();

// Shows image in box scaled down to the box (proportions kept, never enlarged); a null image
// empties the box.
void ShowPictureInBox(QLabel *box, const QImage &image);
