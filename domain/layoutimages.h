#pragma once

// Fitting the pictures of a quote document into the boxes its layout prescribes. The boxes
// come with every row (millimetres, from the layout's settings): square IMGWidthS x
// IMGHeightS; landscape IMGWidthH x IMGHeightH, or IMGWidthHP x IMGHeightHP for a panorama
// (short side at most half the long one); portrait IMGWidthV x IMGHeightV, or IMGWidthVP x
// IMGHeightVP. A picture whose short side is at least 75 % of the long one counts as square.
// Each picture is decoded once, reduced while decoding to what its box needs, drawn centred on
// a white box of exactly the box's size (proportions kept), and written back into the row in
// memory with its shape flags; nothing goes to the database.

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <unordered_map>
#include <vector>

class TDataSet;

// The shape of a picture as the boxes see it.
struct TLayoutImageShape
{
    enum Orientation { Square, Horizontal, Vertical };
    Orientation orientation = Square;
    bool panorama = false;
};
// From the picture's size (as stored, without decoding it).
TLayoutImageShape LayoutImageShape(const QSize &size);
// The names of the two box columns for a shape, with a prefix ("IMG", "IMGLogo"):
// {"IMGWidthHP", "IMGHeightHP"} for a panorama landscape picture.
QStringList LayoutBoxFields(const TLayoutImageShape &shape, const QString &prefix);

// Fits the pictures of the three kinds of rows (any may be null):
// - main rows: imgNodo of the rows "nuTipologia = 5 AND flCopertinaVisible = 1" (the line's
//   cover), flags flPanorama, flSquare, flHorizontal, flVertical;
// - cover rows: imgCopertina of every row, the same flags;
// - content rows: imgNodo, imgNodo1, imgNodo2 of every row, flags with the suffixes "", "1",
//   "2".
// The filters and current rows of the sets are left as they were. A picture that cannot be read
// is left out (its field set to null); the result has one line for each, for the operator.
QStringList FitLayoutImages(TDataSet *mainRows, TDataSet *coverRows, TDataSet *contentRows);

// FitLayoutImages for the several calls of one document: a picture shown by several rows (a
// sub-paragraph's picture is both in its own row and in its contents' rows) is decoded and
// fitted once per box, whichever call meets it first. The pictures of a call are decoded on
// every core, each by itself, so only as many are decoded at once as there are cores.
class TLayoutImageFitter
{
public:
    TLayoutImageFitter();
    ~TLayoutImageFitter();
    TLayoutImageFitter(const TLayoutImageFitter &) = delete;
    TLayoutImageFitter &operator=(const TLayoutImageFitter &) = delete;
    QStringList Fit(TDataSet *mainRows, TDataSet *coverRows, TDataSet *contentRows);

private:
    struct Job;
    struct Slot;
    // A picture by its content (two independent hashes and its length, so that the key keeps
    // no picture alive) and its box.
    struct Key
    {
        size_t hash1 = 0;
        size_t hash2 = 0;
        qsizetype length = 0;
        QSize box;
        bool operator==(const Key &o) const
        {
            return hash1 == o.hash1 && hash2 == o.hash2 && length == o.length && box == o.box;
        }
    };
    struct KeyHash
    {
        size_t operator()(const Key &k) const;
    };
    std::vector<std::unique_ptr<Job>> m_jobs;
    std::unordered_map<Key, int, KeyHash> m_index;
};

// The company logo fitted into the logo boxes of a target row (IMGLogo... columns), into its
// imgLogo with the flags flLogoPanorama, flLogoSquare, flLogoHorizontal, flLogoVertical.
// Decodes the logo once, however many rows it goes to: a document's rows share one box size.
class TCompanyLogoFitter
{
public:
    explicit TCompanyLogoFitter(QByteArray logo);
    bool HasLogo() const { return !m_logo.isEmpty(); }
    // The target's current row (put in edit and posted here). Without a logo nothing changes.
    // False when the logo cannot be read (the row keeps no logo).
    bool FitInto(TDataSet &target);

private:
    QByteArray m_logo;
    QSize m_size;
    TLayoutImageShape m_shape;
    QHash<quint64, QByteArray> m_fitted; // by box size in pixels
};

// FitCompanyLogo(company row, target row): the company's imgLogo (current row) into the target's
// current row, as TCompanyLogoFitter does.
bool FitCompanyLogo(TDataSet &company, TDataSet &target);
