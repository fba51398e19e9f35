#include "common/picturebuttons.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/imageroutines.h"

#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

QString PictureFileFilter()
{
    // "Tutti (*.png;*.jpeg;*.jpg;*.bmp)|...|Bitmap (*.bmp)|*.bmp" in the file dialog's form.
    return QStringLiteral("Tutti (*.png *.jpeg *.jpg *.bmp);;Portable Network Graphic (*.png);;"
                          "JPEG Image File (*.jpg);;JPEG Image File (*.jpeg);;Bitmap (*.bmp)");
}

QImage AskPictureFile(const QString &caption,
                      const QString &folder,
                      const QString &missingText,
                      const std::function<void(const QString &)> &rememberFolder)
{
    const QString path = AskOpenFileName(caption, folder, PictureFileFilter());
    if (path.isEmpty())
        return QImage();
    const QFileInfo file(path);
    if (!file.exists() || !file.isFile()) {
        ShowErrorBox(missingText);
        return QImage();
    }
    if (rememberFolder)
        rememberFolder(file.absolutePath());
    QString error;
    const QImage image = ImageReadFileChecked(path, kImageMaxStoredSide, &error);
    if (image.isNull())
        ShowErrorBox(error.isEmpty() ? QStringLiteral("Il file \"%1\" non contiene un'immagine "
                                                      "leggibile.")
                                           .arg(file.fileName())
                                     : error);
    return image;
}

QImage PastePictureChecked()
{
    QImage image = PasteImageFromClipboard();
    if (image.isNull()) {
        ShowWarningBox(QStringLiteral("Gli appunti non contengono un'immagine."));
        return QImage();
    }
    if (qint64(image.width()) * image.height() > kImageMaxDecodePixels) {
        ShowErrorBox(QStringLiteral("L'immagine negli appunti è troppo grande (%1 x %2 pixel).")
                         .arg(image.width())
                         .arg(image.height()));
        return QImage();
    }
    // Pictures are kept at most at the program's stored size.
    if (qMax(image.width(), image.height()) > kImageMaxStoredSide)
        image = ImageScaleLongSide(image, kImageMaxStoredSide);
    return image;
}

void ShowPictureInBox(QLabel *box, const QImage &image)
{
    if (image.isNull()) {
        box->clear();
        return;
    }
    const QSize room = box->contentsRect().size().boundedTo(image.size());
    box->setPixmap(QPixmap::fromImage(image.scaled(room.isEmpty() ? image.size() : room,
                                                   Qt::KeepAspectRatio,
                                                   Qt::SmoothTransformation)));
}
