#include "domain/layoutimages.h"

#include "common/imageroutines.h"
#include "db/dataset.h"

#include <QLoggingCategory>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcLayoutImages, "ventorel.images", QtInfoMsg)

// The box of a row in pixels; empty when the row gives none.
QSize BoxOf(TDataSet &rows, const TLayoutImageShape &shape, const QString &prefix)
{
    const QStringList names = LayoutBoxFields(shape, prefix);
    TField w = rows.FindField(names.at(0));
    TField h = rows.FindField(names.at(1));
    if (w.Index() < 0 || h.Index() < 0 || w.IsNull() || h.IsNull())
        return QSize();
    return QSize(MmToPixels(w.AsFloat()), MmToPixels(h.AsFloat()));
}

void SetFlag(TDataSet &rows, const QString &field, bool on)
{
    TField f = rows.FindField(field);
    if (f.Index() >= 0)
        f.SetValue(on ? 1 : 0);
}

void SetShapeFlags(TDataSet &rows,
                   const QString &prefix,
                   const QString &suffix,
                   const TLayoutImageShape &shape)
{
    SetFlag(rows, prefix + QStringLiteral("Panorama") + suffix, shape.panorama);
    SetFlag(rows,
            prefix + QStringLiteral("Square") + suffix,
            shape.orientation == TLayoutImageShape::Square);
    SetFlag(rows,
            prefix + QStringLiteral("Horizontal") + suffix,
            shape.orientation == TLayoutImageShape::Horizontal);
    SetFlag(rows,
            prefix + QStringLiteral("Vertical") + suffix,
            shape.orientation == TLayoutImageShape::Vertical);
}

// The picture read once, reduced to what the box needs, and fitted into it; null when it
// cannot be read (error says why).
QImage FitBytes(const QByteArray &bytes, const QSize &box, QString *error)
{
    const QImage picture = ImageReadChecked(bytes, std::max(box.width(), box.height()), error);
    if (picture.isNull())
        return QImage();
    return ImageFitInBox(picture, 4, Qt::white, box.height(), box.width());
}

// One picture field of the current row. Returns false when it could not be read.
bool FitField(TDataSet &rows, const QString &imageField, const QString &suffix, QString *error)
{
    TField image = rows.FindField(imageField);
    if (image.Index() < 0 || image.IsNull())
        return true;
    const QByteArray bytes = image.AsBytes();
    const QSize size = ImageStoredSize(bytes);
    if (!size.isValid() || size.isEmpty()) {
        ImageReadChecked(bytes, 1, error);
        image.SetNull();
        return false;
    }
    const TLayoutImageShape shape = LayoutImageShape(size);
    const QSize box = BoxOf(rows, shape, QStringLiteral("IMG"));
    if (box.isEmpty())
        return true; // the layout has no box for it: printed as it is
    const QImage fitted = FitBytes(bytes, box, error);
    if (fitted.isNull()) {
        image.SetNull();
        return false;
    }
    qCDebug(lcLayoutImages).noquote()
        << QStringLiteral("oImgOriginal W = %1  -  H = %2").arg(size.width()).arg(size.height());
    qCDebug(lcLayoutImages).noquote()
        << QStringLiteral("oImgResized W = %1  -  H = %2").arg(fitted.width()).arg(fitted.height());
    image.SetValue(ImageSaveJpegBytes(fitted, 92));
    SetShapeFlags(rows, QStringLiteral("fl"), suffix, shape);
    return true;
}

QString Label(TDataSet &rows, const char *field)
{
    TField f = rows.FindField(QLatin1String(field));
    const QString text = f.Index() >= 0 ? f.AsString().trimmed() : QString();
    return text.isEmpty() ? QStringLiteral("senza descrizione") : text;
}

// Every visible row of a set (or those of a filter), restoring its filter and current row.
template<typename Fn>
void ForEachRow(TDataSet &rows, const QString &filter, Fn fn)
{
    if (!rows.Active())
        return;
    const QString oldFilter = rows.Filter();
    const bool oldFiltered = rows.Filtered();
    const TBookmark where = rows.GetBookmark();
    if (!filter.isEmpty()) {
        rows.SetFilter(filter);
        rows.SetFiltered(true);
    }
    for (rows.First(); !rows.Eof(); rows.Next())
        fn();
    rows.SetFilter(oldFilter);
    rows.SetFiltered(oldFiltered);
    if (!rows.GotoBookmark(where))
        rows.First();
}

} // namespace

TLayoutImageShape LayoutImageShape(const QSize &size)
{
    TLayoutImageShape s;
    const int shortSide = std::min(size.width(), size.height());
    const int longSide = std::max(size.width(), size.height());
    const double aspect = longSide > 0 ? 100.0 * shortSide / longSide : 0;
    if (aspect >= 75)
        s.orientation = TLayoutImageShape::Square;
    else
        s.orientation = size.width() > size.height() ? TLayoutImageShape::Horizontal
                                                     : TLayoutImageShape::Vertical;
    s.panorama = aspect <= 50;
    return s;
}

QStringList LayoutBoxFields(const TLayoutImageShape &shape, const QString &prefix)
{
    QString letter;
    switch (shape.orientation) {
    case TLayoutImageShape::Square:
        letter = QStringLiteral("S");
        break;
    case TLayoutImageShape::Horizontal:
        letter = shape.panorama ? QStringLiteral("HP") : QStringLiteral("H");
        break;
    case TLayoutImageShape::Vertical:
        letter = shape.panorama ? QStringLiteral("VP") : QStringLiteral("V");
        break;
    }
    return {prefix + QStringLiteral("Width") + letter, prefix + QStringLiteral("Height") + letter};
}

QStringList FitLayoutImages(TDataSet *mainRows, TDataSet *coverRows, TDataSet *contentRows)
{
    QStringList problems;
    auto fitRow = [&problems](TDataSet &rows,
                              const QString &field,
                              const QString &suffix,
                              const QString &what) {
        TField image = rows.FindField(field);
        if (image.Index() < 0 || image.IsNull())
            return;
        rows.Edit();
        QString error;
        const bool ok = FitField(rows, field, suffix, &error);
        rows.Post();
        if (!ok)
            problems << QStringLiteral("%1: %2").arg(what, error);
    };
    if (mainRows) {
        ForEachRow(*mainRows, QStringLiteral("nuTipologia = 5 AND flCopertinaVisible = 1"), [&] {
            fitRow(*mainRows,
                   QStringLiteral("imgNodo"),
                   QString(),
                   QStringLiteral("Copertina del prodotto \"%1\"")
                       .arg(Label(*mainRows, "txDescNodo")));
        });
    }
    if (coverRows) {
        ForEachRow(*coverRows, QString(), [&] {
            fitRow(*coverRows,
                   QStringLiteral("imgCopertina"),
                   QString(),
                   QStringLiteral("Copertina del preventivo"));
        });
    }
    if (contentRows) {
        ForEachRow(*contentRows, QString(), [&] {
            const QString what = QStringLiteral("Immagine di \"%1\"")
                                     .arg(Label(*contentRows, "txDescNodo"));
            fitRow(*contentRows, QStringLiteral("imgNodo"), QString(), what);
            fitRow(*contentRows, QStringLiteral("imgNodo1"), QStringLiteral("1"), what);
            fitRow(*contentRows, QStringLiteral("imgNodo2"), QStringLiteral("2"), what);
        });
    }
    return problems;
}

TCompanyLogoFitter::TCompanyLogoFitter(QByteArray logo)
    : m_logo(std::move(logo))
{
    if (!m_logo.isEmpty()) {
        m_size = ImageStoredSize(m_logo);
        m_shape = LayoutImageShape(m_size);
    }
}

bool TCompanyLogoFitter::FitInto(TDataSet &target)
{
    if (m_logo.isEmpty())
        return true;
    if (!m_size.isValid() || m_size.isEmpty())
        return false;
    const QSize box = BoxOf(target, m_shape, QStringLiteral("IMGLogo"));
    QByteArray bytes;
    if (box.isEmpty()) {
        bytes = m_logo;
    } else {
        const quint64 key = (quint64(quint32(box.width())) << 32) | quint32(box.height());
        auto found = m_fitted.constFind(key);
        if (found != m_fitted.constEnd()) {
            bytes = found.value();
        } else {
            QString error;
            const QImage fitted = FitBytes(m_logo, box, &error);
            if (fitted.isNull())
                return false;
            // PNG keeps the logo's lines sharp.
            bytes = ImageSaveToBytes(fitted, "png");
            m_fitted.insert(key, bytes);
        }
    }
    const bool started = target.State() == TDataSetState::Browse;
    if (started)
        target.Edit();
    target.FieldByName(QStringLiteral("imgLogo")).SetValue(bytes);
    SetShapeFlags(target, QStringLiteral("flLogo"), QString(), m_shape);
    if (started)
        target.Post();
    return true;
}

bool FitCompanyLogo(TDataSet &company, TDataSet &target)
{
    TField logo = company.FindField(QStringLiteral("imgLogo"));
    if (logo.Index() < 0 || logo.IsNull() || company.IsEmpty())
        return true;
    TCompanyLogoFitter fitter(logo.AsBytes());
    return fitter.FitInto(target);
}
