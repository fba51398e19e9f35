#include "domain/nodeimages.h"

#include "common/imageroutines.h"
#include "db/dataset.h"

#include <QLoggingCategory>

#include <algorithm>

namespace {

// The sizes before and after every scaling, for whoever traces the program
// (QT_LOGGING_RULES="ventorel.images.debug=true").
Q_LOGGING_CATEGORY(lcImages, "ventorel.images", QtInfoMsg)

struct TShape
{
    double aspect = 0;   // short side * 100 / long side
    int orientation = 0; // 0 square, 1 landscape, 2 portrait
    bool panorama = false;
};

TShape ShapeOf(const QSize &size)
{
    TShape s;
    const int shortSide = std::min(size.width(), size.height());
    const int longSide = std::max(size.width(), size.height());
    s.aspect = longSide > 0 ? 100.0 * shortSide / longSide : 0;
    s.orientation = s.aspect >= 75 ? 0 : size.height() < size.width() ? 1 : 2;
    s.panorama = s.aspect <= 50;
    return s;
}

// The node-image box and the small cover box share these sizes (millimetres).
QSizeF SmallBox(const TShape &s)
{
    switch (s.orientation) {
    case 0:
        return QSizeF(50, 50);
    case 1:
        return QSizeF(s.panorama ? 80 : 60, 40);
    default:
        return QSizeF(40, s.panorama ? 80 : 60);
    }
}

QSizeF CoverBox(const TShape &s)
{
    switch (s.orientation) {
    case 0:
        return QSizeF(100, 100);
    case 1:
        return QSizeF(s.panorama ? 160 : 120, 80);
    default:
        return QSizeF(80, s.panorama ? 160 : 120);
    }
}

QSize PixelsOf(const QSizeF &mm)
{
    return QSize(MmToPixels(mm.width()), MmToPixels(mm.height()));
}

// The picture read reduced to what the box needs, then fitted into the box.
QImage Fitted(const QByteArray &bytes, const QSize &box, QString *error)
{
    const QImage picture = ImageReadChecked(bytes, std::max(box.width(), box.height()), error);
    if (picture.isNull())
        return QImage();
    return ImageFitInBox(picture, 4, Qt::white, box.height(), box.width());
}

void SetFlag(TDataSet &rows, const char *field, bool on)
{
    TField f = rows.FindField(QLatin1String(field));
    if (f.Index() >= 0)
        f.SetValue(on ? 1 : 0);
}

QString Label(TDataSet &rows, const char *field, const QString &fallback)
{
    TField f = rows.FindField(QLatin1String(field));
    const QString text = f.Index() >= 0 ? f.AsString().trimmed() : QString();
    return text.isEmpty() ? fallback : text;
}

} // namespace

void MakeImagePreview(TDataSet &imageRow,
                      TDataSet &previewRow,
                      const QString &imageField,
                      double boxHeightMm,
                      double boxWidthMm)
{
    const QByteArray stored = imageRow.FieldByName(imageField).AsBytes();
    const int boxW = MmToPixels(boxWidthMm);
    const int boxH = MmToPixels(boxHeightMm);
    qCDebug(lcImages).noquote() << QStringLiteral("DESTINATION DIMENSION W = %1  -  H = %2")
                                       .arg(boxW)
                                       .arg(boxH);
    QByteArray preview;
    if (!stored.isEmpty()) {
        QByteArray format;
        const QSize size = ImageStoredSize(stored, &format);
        if (!size.isValid() || size.isEmpty()) {
            QString error;
            ImageReadChecked(stored, 1, &error);
            throw EImageError(
                error.isEmpty() ? QStringLiteral("L'immagine salvata non è leggibile.") : error);
        }
        qCDebug(lcImages).noquote()
            << QStringLiteral("oImgOriginal W = %1  -  H = %2").arg(size.width()).arg(size.height());
        if (size.width() > boxW || size.height() > boxH) {
            // The long side takes the box side in its direction.
            QSize target;
            if (size.width() > size.height())
                target = QSize(boxW,
                               std::max(1, qRound(double(size.height()) * boxW / size.width())));
            else
                target = QSize(std::max(1, qRound(double(size.width()) * boxH / size.height())),
                               boxH);
            QString error;
            QImage picture = ImageReadChecked(stored,
                                              std::max(target.width(), target.height()),
                                              &error);
            if (picture.isNull())
                throw EImageError(error);
            if (picture.size() != target)
                picture = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // Formats Qt cannot write (GIF) keep a lossless copy.
            const QByteArray outFormat = format == "jpeg" || format == "png" || format == "bmp"
                                                 || format == "tiff"
                                             ? format
                                             : QByteArray("png");
            preview = ImageSaveToBytes(picture, outFormat);
            if (preview.isEmpty())
                throw EImageError(QStringLiteral("Impossibile creare l'anteprima dell'immagine."));
            qCDebug(lcImages).noquote() << QStringLiteral("oImgResized W = %1  -  H = %2")
                                               .arg(picture.width())
                                               .arg(picture.height());
        } else {
            QString error;
            // Kept as it is, but only when it really is a readable picture.
            if (ImageReadChecked(stored, std::max(boxW, boxH), &error).isNull())
                throw EImageError(error);
            preview = stored;
        }
    }
    const bool started = previewRow.State() == TDataSetState::Browse;
    if (started)
        previewRow.Edit();
    TField field = previewRow.FieldByName(QStringLiteral("imgPreview"));
    if (preview.isEmpty())
        field.SetNull();
    else
        field.SetValue(preview);
    if (started)
        previewRow.Post();
}

QStringList FitNodeImagesForReport(TDataSet *covers, TDataSet &tree, bool resizeCovers)
{
    QStringList problems;
    if (covers && covers->Active() && covers->FieldIndex(QStringLiteral("imgCopertina")) >= 0) {
        for (covers->First(); !covers->Eof(); covers->Next()) {
            TField image = covers->FieldByName(QStringLiteral("imgCopertina"));
            if (image.IsNull())
                continue;
            covers->Edit();
            if (!resizeCovers) {
                image.SetNull();
                covers->Post();
                continue;
            }
            const QByteArray bytes = image.AsBytes();
            const QSize size = ImageStoredSize(bytes);
            QString error;
            QImage fitted;
            bool small = false;
            TShape shape;
            if (size.isValid() && !size.isEmpty()) {
                shape = ShapeOf(size);
                QSize box = PixelsOf(CoverBox(shape));
                const double fill = (size.width() * 100.0 / box.width()
                                     + size.height() * 100.0 / box.height())
                                    / 2;
                small = fill < 80;
                if (small)
                    box = PixelsOf(SmallBox(shape));
                fitted = Fitted(bytes, box, &error);
            } else {
                ImageReadChecked(bytes, 1, &error);
            }
            if (fitted.isNull()) {
                image.SetNull();
                covers->Post();
                problems << QStringLiteral("Copertina del prodotto \"%1\": %2")
                                .arg(Label(*covers, "txDescProdotto", QStringLiteral("?")), error);
                continue;
            }
            qCDebug(lcImages).noquote() << QStringLiteral("oImgOriginal W = %1  -  H = %2")
                                               .arg(size.width())
                                               .arg(size.height());
            qCDebug(lcImages).noquote() << QStringLiteral("oImgResized W = %1  -  H = %2")
                                               .arg(fitted.width())
                                               .arg(fitted.height());
            SetFlag(*covers, "flPanorama", shape.panorama);
            SetFlag(*covers, "flImgSquare", !small && shape.orientation == 0);
            SetFlag(*covers, "flImgHoriz", !small && shape.orientation == 1);
            SetFlag(*covers, "flImgVert", !small && shape.orientation == 2);
            SetFlag(*covers, "flImgSMALLSquare", small && shape.orientation == 0);
            SetFlag(*covers, "flImgSMALLHoriz", small && shape.orientation == 1);
            SetFlag(*covers, "flImgSMALLVert", small && shape.orientation == 2);
            image.SetValue(ImageSaveJpegBytes(fitted, 92));
            covers->Post();
        }
        covers->First();
    }

    if (!tree.Active() || tree.FieldIndex(QStringLiteral("imgNodo")) < 0)
        return problems;
    tree.SetFilter(QStringLiteral("nuTipologia = 60"));
    tree.SetFiltered(true);
    for (tree.First(); !tree.Eof(); tree.Next()) {
        TField image = tree.FieldByName(QStringLiteral("imgNodo"));
        if (image.IsNull())
            continue;
        const QByteArray bytes = image.AsBytes();
        const QSize size = ImageStoredSize(bytes);
        QString error;
        QImage fitted;
        TShape shape;
        if (size.isValid() && !size.isEmpty()) {
            shape = ShapeOf(size);
            fitted = Fitted(bytes, PixelsOf(SmallBox(shape)), &error);
        } else {
            ImageReadChecked(bytes, 1, &error);
        }
        tree.Edit();
        if (fitted.isNull()) {
            image.SetNull();
            tree.Post();
            problems << QStringLiteral("Immagine \"%1\": %2")
                            .arg(Label(tree, "txDescNodo", QStringLiteral("senza didascalia")),
                                 error);
            continue;
        }
        qCDebug(lcImages).noquote()
            << QStringLiteral("oImgOriginal W = %1  -  H = %2").arg(size.width()).arg(size.height());
        qCDebug(lcImages).noquote() << QStringLiteral("oImgResized W = %1  -  H = %2")
                                           .arg(fitted.width())
                                           .arg(fitted.height());
        SetFlag(tree, "flPanorama", shape.panorama);
        SetFlag(tree, "flImgSquare", shape.orientation == 0);
        SetFlag(tree, "flImgHoriz", shape.orientation == 1);
        SetFlag(tree, "flImgVert", shape.orientation == 2);
        image.SetValue(ImageSaveJpegBytes(fitted, 92));
        tree.Post();
    }
    tree.SetFiltered(false);
    tree.SetFilter(QString());
    tree.First();
    return problems;
}
