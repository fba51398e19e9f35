#include "domain/layoutimages.h"

#include "common/imageroutines.h"
#include "db/dataset.h"

#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentMap>

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

// Every picture field of the sets, in a fixed order: fn(rows, field, suffix, what) with the
// row current; what() names the picture for the operator.
template<typename Fn>
void ForEachPictureField(TDataSet *mainRows, TDataSet *coverRows, TDataSet *contentRows, Fn fn)
{
    if (mainRows) {
        ForEachRow(*mainRows, QStringLiteral("nuTipologia = 5 AND flCopertinaVisible = 1"), [&] {
            fn(*mainRows, QStringLiteral("imgNodo"), QString(), [&] {
                return QStringLiteral("Copertina del prodotto \"%1\"")
                    .arg(Label(*mainRows, "txDescNodo"));
            });
        });
    }
    if (coverRows) {
        ForEachRow(*coverRows, QString(), [&] {
            fn(*coverRows, QStringLiteral("imgCopertina"), QString(), [] {
                return QStringLiteral("Copertina del preventivo");
            });
        });
    }
    if (contentRows) {
        ForEachRow(*contentRows, QString(), [&] {
            const auto what = [&] {
                return QStringLiteral("Immagine di \"%1\"").arg(Label(*contentRows, "txDescNodo"));
            };
            fn(*contentRows, QStringLiteral("imgNodo"), QString(), what);
            fn(*contentRows, QStringLiteral("imgNodo1"), QStringLiteral("1"), what);
            fn(*contentRows, QStringLiteral("imgNodo2"), QStringLiteral("2"), what);
        });
    }
}

} // namespace

// One picture to fit into one box, whatever number of rows shows it.
struct TLayoutImageFitter::Job
{
    QByteArray bytes;
    QSize box;
    QSize original;
    // The result: the fitted picture as JPEG, or empty with the reason.
    QByteArray fitted;
    QSize fittedSize;
    QString error;
};

// A picture field of a row, as the first walk found it.
struct TLayoutImageFitter::Slot
{
    enum Kind { Unreadable, NoBox, Fit };
    Kind kind = Fit;
    TLayoutImageShape shape;
    int job = -1;
    QString error; // Unreadable
};

size_t TLayoutImageFitter::KeyHash::operator()(const Key &k) const
{
    return qHashMulti(k.hash1, k.box.width(), k.box.height());
}

TLayoutImageFitter::TLayoutImageFitter() = default;
TLayoutImageFitter::~TLayoutImageFitter() = default;

QStringList TLayoutImageFitter::Fit(TDataSet *mainRows, TDataSet *coverRows, TDataSet *contentRows)
{
    // First walk: what each field needs, and the pictures still to fit (each distinct picture
    // and box once, however many rows and calls show it).
    std::vector<Slot> fields;
    std::vector<int> pending;
    ForEachPictureField(
        mainRows,
        coverRows,
        contentRows,
        [&](TDataSet &rows, const QString &field, const QString &, const auto &) {
            TField image = rows.FindField(field);
            if (image.Index() < 0 || image.IsNull())
                return;
            Slot slot;
            const QByteArray bytes = image.AsBytes();
            const QSize size = ImageStoredSize(bytes);
            if (!size.isValid() || size.isEmpty()) {
                slot.kind = Slot::Unreadable;
                ImageReadChecked(bytes, 1, &slot.error);
                fields.push_back(slot);
                return;
            }
            slot.shape = LayoutImageShape(size);
            const QSize box = BoxOf(rows, slot.shape, QStringLiteral("IMG"));
            if (box.isEmpty()) {
                slot.kind = Slot::NoBox;
                fields.push_back(slot);
                return;
            }
            const Key key{qHash(bytes, 0x5eed1), qHash(bytes, 0x7a3c9e2b), bytes.size(), box};
            auto found = m_index.find(key);
            if (found == m_index.end()) {
                auto job = std::make_unique<Job>();
                job->bytes = bytes;
                job->box = box;
                job->original = size;
                found = m_index.emplace(key, int(m_jobs.size())).first;
                pending.push_back(int(m_jobs.size()));
                m_jobs.push_back(std::move(job));
            }
            slot.job = found->second;
            fields.push_back(slot);
        });

    // The decoding, fitting and encoding of the new pictures, on every core; only the pictures
    // being worked on are ever decoded at once.
    std::vector<Job *> work;
    work.reserve(pending.size());
    for (int i : pending)
        work.push_back(m_jobs[size_t(i)].get());
    QtConcurrent::blockingMap(work, [](Job *job) {
        const QImage fitted = FitBytes(job->bytes, job->box, &job->error);
        if (!fitted.isNull()) {
            job->fitted = ImageSaveJpegBytes(fitted, 92);
            job->fittedSize = fitted.size();
        }
    });
    for (Job *job : work)
        job->bytes = QByteArray(); // the rows keep what they need

    // Second walk, over the same fields in the same order: the results into the rows.
    QStringList problems;
    size_t next = 0;
    ForEachPictureField(mainRows,
                        coverRows,
                        contentRows,
                        [&](TDataSet &rows,
                            const QString &field,
                            const QString &suffix,
                            const auto &what) {
                            TField image = rows.FindField(field);
                            if (image.Index() < 0 || image.IsNull() || next >= fields.size())
                                return;
                            const Slot &slot = fields[next++];
                            if (slot.kind == Slot::NoBox)
                                return; // the layout has no box for it: printed as it is
                            rows.Edit();
                            image = rows.FieldByName(field);
                            if (slot.kind == Slot::Unreadable) {
                                image.SetNull();
                                problems << QStringLiteral("%1: %2").arg(what(), slot.error);
                            } else {
                                const Job &job = *m_jobs[size_t(slot.job)];
                                if (job.fitted.isEmpty()) {
                                    image.SetNull();
                                    problems << QStringLiteral("%1: %2").arg(what(), job.error);
                                } else {
                                    qCDebug(lcLayoutImages).noquote()
                                        << QStringLiteral("oImgOriginal W = %1  -  H = %2")
                                               .arg(job.original.width())
                                               .arg(job.original.height());
                                    qCDebug(lcLayoutImages).noquote()
                                        << QStringLiteral("oImgResized W = %1  -  H = %2")
                                               .arg(job.fittedSize.width())
                                               .arg(job.fittedSize.height());
                                    image.SetValue(job.fitted);
                                    SetShapeFlags(rows, QStringLiteral("fl"), suffix, slot.shape);
                                }
                            }
                            rows.Post();
                        });
    return problems;
}

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
    TLayoutImageFitter fitter;
    return fitter.Fit(mainRows, coverRows, contentRows);
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
