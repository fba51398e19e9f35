#pragma once

// Pictures of the catalogue before they are stored or printed: the scaled preview copy kept
// next to every stored node image and cover, and the fitting of node images and covers into the
// boxes of the product reports. Used by the product list, the structure editor, its preview and
// the quote windows.

#include <QString>
#include <QStringList>

#include <stdexcept>

class TDataSet;

// A stored picture that cannot be used; the text is the Italian message for the operator.
class EImageError : public std::runtime_error
{
public:
    explicit EImageError(const QString &text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

// Box sizes of the preview copies (millimetres): node images and product covers.
inline constexpr double kNodePreviewBoxMm = 80;
inline constexpr double kCoverPreviewBoxMm = 160;

// Writes into imgPreview of previewRow (its current row, in edit or insert state, or put there)
// the preview copy of the picture held in field imageField of imageRow's current row: the
// picture itself when it fits the box (boxHeightMm x boxWidthMm, millimetres x 3.7795275591
// pixels: 80 mm = 302, 160 mm = 605), otherwise scaled with its proportions so that its long
// side equals the box side in that direction, in the same format. A null picture gives a null
// preview. Raises EImageError, leaving the preview row unchanged, for a picture that is not an
// image, is damaged or too large.
void MakeImagePreview(TDataSet &imageRow,
                      TDataSet &previewRow,
                      const QString &imageField,
                      double boxHeightMm,
                      double boxWidthMm);

// Fits, in memory only, the pictures of a product report into the boxes the report designs
// expect, and sets their shape flags:
// - covers (rows of the product with imgCopertina, may be null): with resizeCovers each cover is
//   fitted into a box by its shape (square 100 x 100 mm; landscape 160 x 80 when panorama, else
//   120 x 80; portrait 80 x 160 or 80 x 120), or half as large when it is small for that box;
//   flPanorama and one of flImgSquare, flImgHoriz, flImgVert, flImgSMALLSquare,
//   flImgSMALLHoriz, flImgSMALLVert are set. Without resizeCovers every cover is removed.
// - tree rows of kind 60 with imgNodo: fitted into square 50 x 50, landscape 80 x 40 (panorama)
//   or 60 x 40, portrait 40 x 80 (panorama) or 40 x 60; flPanorama and one of flImgSquare,
//   flImgHoriz, flImgVert are set. The tree ends unfiltered on its first row.
// "Fitted" is an image of exactly the box, white, with the picture scaled to touch the box on
// its long side, centred. A picture that cannot be read is left out of the report (its field
// set to null); the result lists one line for each, for the operator.
QStringList FitNodeImagesForReport(TDataSet *covers, TDataSet &tree, bool resizeCovers);
