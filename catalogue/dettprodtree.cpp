#include "catalogue/dettprodtree.h"

#include "common/formats.h"
#include "db/dataset.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QTextLayout>

#include <array>
#include <memory>

namespace {

const QColor kRootColour(0x5C, 0xBF, 0xD9);
const QColor kSheetColour(0x00, 0x00, 0xFF);
const QColor kPartColour(0x37, 0x6E, 0xA1);
const QColor kGreyColour(0xC0, 0xC0, 0xC0);
const QColor kDisabledColour(0xFF, 0x00, 0x00);
const QColor kDisabledSelected(0x80, 0x00, 0x00);

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString OrDefault(const QString &text, const char *fallback)
{
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}

// Position of a kind in the image list (k of SetNodeIcon).
int KindPosition(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnScheda:
        return 1;
    case cnVoceScheda:
        return 2;
    case cnComponente:
        return 3;
    case cnParte:
        return 4;
    case cnParteTesto:
        return 5;
    case cnParteImmagine:
        return 6;
    case cnParteLinkWeb:
        return 7;
    case cnParteTabella:
        return 8;
    case cnParteVoceTabella:
        return 9;
    default:
        return 0;
    }
}

// --- Icons ---------------------------------------------------------------------------------

constexpr int kIconSize = 20;

void DrawGlyph(QPainter &p, int position, const QColor &main, const QColor &light)
{
    const QRectF box(2.5, 2.5, 15, 15);
    p.setPen(QPen(main, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (position) {
    case 0: { // the product: a box seen from above
        QPainterPath top;
        top.moveTo(10, 2);
        top.lineTo(18, 6);
        top.lineTo(10, 10);
        top.lineTo(2, 6);
        top.closeSubpath();
        p.fillPath(top, light);
        QPainterPath side;
        side.moveTo(2, 6);
        side.lineTo(10, 10);
        side.lineTo(10, 18.5);
        side.lineTo(2, 14.5);
        side.closeSubpath();
        p.fillPath(side, main);
        QPainterPath front;
        front.moveTo(10, 10);
        front.lineTo(18, 6);
        front.lineTo(18, 14.5);
        front.lineTo(10, 18.5);
        front.closeSubpath();
        p.fillPath(front, main.darker(130));
        break;
    }
    case 1: // data sheet: a page with lines
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3.5, 1.5, 13, 17), 1.5, 1.5);
        p.fillRect(QRectF(3.5, 1.5, 13, 4), main);
        for (double y : {9.0, 12.0, 15.0})
            p.drawLine(QPointF(6, y), QPointF(14, y));
        break;
    case 2: // data-sheet item: a bullet and its line
        p.setBrush(main);
        p.drawEllipse(QPointF(5, 10), 2.2, 2.2);
        p.drawLine(QPointF(9, 10), QPointF(17.5, 10));
        p.setPen(QPen(light, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 14), QPointF(15, 14));
        break;
    case 3: { // paragraph: a section sign on a square
        p.setPen(Qt::NoPen);
        p.setBrush(main);
        p.drawRoundedRect(box, 3, 3);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, QString(QChar(0x00A7)));
        break;
    }
    case 4: { // sub-paragraph: a pilcrow on a light square
        p.setBrush(light);
        p.drawRoundedRect(box, 3, 3);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, QString(QChar(0x00B6)));
        break;
    }
    case 5: { // text: a T over lines
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(2, 1, 9, 10), Qt::AlignCenter, QStringLiteral("T"));
        p.drawLine(QPointF(12, 5), QPointF(18, 5));
        for (double y : {11.0, 14.5, 18.0})
            p.drawLine(QPointF(2.5, y), QPointF(y > 17 ? 12 : 18, y));
        break;
    }
    case 6: { // image: a landscape in a frame
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(1.5, 3.5, 17, 13), 1.5, 1.5);
        QPainterPath hill;
        hill.moveTo(2.5, 15.5);
        hill.lineTo(7.5, 9);
        hill.lineTo(11, 13);
        hill.lineTo(13.5, 10.5);
        hill.lineTo(17.5, 15.5);
        hill.closeSubpath();
        p.fillPath(hill, main);
        p.setPen(Qt::NoPen);
        p.setBrush(light);
        p.drawEllipse(QPointF(14, 7), 1.8, 1.8);
        break;
    }
    case 7: { // web link: a globe
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10, 10), 3.2, 7.5);
        p.drawLine(QPointF(2.5, 10), QPointF(17.5, 10));
        p.setPen(QPen(light, 1.2));
        p.drawLine(QPointF(4, 6), QPointF(16, 6));
        p.drawLine(QPointF(4, 14), QPointF(16, 14));
        break;
    }
    case 8: { // table: a grid with a header
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 3.5, 15, 13));
        p.fillRect(QRectF(2.5, 3.5, 15, 3.5), main);
        p.drawLine(QPointF(8, 3.5), QPointF(8, 16.5));
        p.drawLine(QPointF(2.5, 10.5), QPointF(17.5, 10.5));
        break;
    }
    default: { // table item: one row of a table
        p.setBrush(light);
        p.drawRect(QRectF(2.5, 7, 15, 6));
        p.drawLine(QPointF(8, 7), QPointF(8, 13));
        break;
    }
    }
}

QIcon MakeIcon(int position, bool enabled)
{
    static const std::array<QColor, 10> colours = {kRootColour.darker(110),
                                                   QColor(0x1F, 0x4F, 0xD8),
                                                   QColor(0x1F, 0x4F, 0xD8),
                                                   QColor(0x1F, 0x3F, 0xC8),
                                                   kPartColour,
                                                   QColor(0x44, 0x44, 0x44),
                                                   QColor(0x2E, 0x8B, 0x57),
                                                   QColor(0x1E, 0x88, 0xC8),
                                                   QColor(0x8A, 0x5A, 0x1E),
                                                   QColor(0x8A, 0x5A, 0x1E)};
    QColor main = colours[size_t(position)];
    if (!enabled)
        main = QColor(0x9A, 0x9A, 0x9A);
    const QColor light = enabled ? main.lighter(170) : QColor(0xD8, 0xD8, 0xD8);
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pix(kIconSize * scale, kIconSize * scale);
        pix.setDevicePixelRatio(scale);
        pix.fill(Qt::transparent);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        DrawGlyph(p, position, main, light);
        if (!enabled) { // a red bar across: switched off
            p.setPen(QPen(kDisabledColour, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 17), QPointF(17, 3));
        }
        p.end();
        icon.addPixmap(pix);
    }
    return icon;
}

// --- Drawing -------------------------------------------------------------------------------

struct TNodeLook
{
    QFont font;
    QColor colour;
};

int LookIndex(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnProdotto:
    case cnPreventivo:
        return 0;
    case cnScheda:
    case cnComponente:
        return 1;
    case cnParte:
        return 3;
    case cnParteVoceTabella:
        return 4;
    default:
        return 2;
    }
}

const TNodeLook &LookOf(TCurrentNodeTipologia kind)
{
    static const std::array<TNodeLook, 5> looks = [] {
        auto make = [](int points, bool bold, bool italic, const QColor &colour) {
            QFont f(QStringLiteral("Trebuchet MS"));
            f.setPointSize(points);
            f.setBold(bold);
            f.setItalic(italic);
            return TNodeLook{f, colour};
        };
        return std::array<TNodeLook, 5>{make(14, true, true, kRootColour),
                                        make(14, true, false, kSheetColour),
                                        make(12, false, false, Qt::black),
                                        make(12, true, false, kPartColour),
                                        make(10, false, false, Qt::black)};
    }();
    return looks[size_t(LookIndex(kind))];
}

// A caption as drawn in a font and a width: elided to the room there is and laid out once.
// Painting and scrolling then only draw glyphs; the same caption, font and room always give
// the same layout, so a cached one draws exactly what a fresh one would.
struct TDrawnText
{
    QString text; // elided
    int width = 0;
    std::shared_ptr<QTextLayout> layout;
    qreal height = 0; // of the laid-out line, unrounded
};

struct TDrawnTextKey
{
    QString caption;
    int font = 0; // the kind's look, struck through, underlined
    int available = 0;
    int dpi = 0;
    bool operator==(const TDrawnTextKey &) const = default;
};

size_t qHash(const TDrawnTextKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.caption, k.font, k.available, k.dpi);
}

class TDettProdTreeDelegate : public QStyledItemDelegate
{
public:
    explicit TDettProdTreeDelegate(TDettProdTree *tree)
        : QStyledItemDelegate(tree)
        , m_tree(tree)
    {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(option.rect.width() > 0 ? option.rect.width() : 200,
                     TDettProdTree::kItemHeight);
    }

    void paint(QPainter *p,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const TVRLDettProd *node = m_tree->NodeAt(index);
        if (!node) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        const TNodeLook &look = LookOf(node->xTipoNode);
        QFont font = look.font;
        QColor fg = look.colour;
        QColor bg; // none
        const bool selected = option.state & QStyle::State_Selected;
        const bool root = node->xTipoNode == cnProdotto;
        const bool moving = !m_tree->MovingId().isEmpty() && node->sIdNodo == m_tree->MovingId();
        const bool target = node->bCanInsertBeforeAfter || node->bCanAdd;
        if (moving) {
            fg = Qt::white;
            bg = kRootColour;
        } else {
            if (!target)
                fg = kGreyColour;
            if (selected) {
                bg = root ? kPartColour : QColor(Qt::black);
                fg = Qt::white;
            }
        }
        if (!node->bAttivo) {
            // Struck through only: the kind's bold or italic give way.
            font.setBold(false);
            font.setItalic(false);
            font.setStrikeOut(true);
            if (!moving) {
                if (selected) {
                    bg = kDisabledSelected;
                    fg = Qt::white;
                } else if (target) {
                    fg = kDisabledColour;
                }
            }
        }
        const bool hasChildren = m_tree->model()->hasChildren(index);
        if (hasChildren && !m_tree->isExpanded(index))
            font.setUnderline(true);

        p->save();
        const QRect r = option.rect;
        const QList<QIcon> &icons = TDettProdTree::ImageList();
        const int iconIndex = TDettProdTree::NodeIconIndex(*node);
        const QRect iconRect(r.left() + 4,
                             r.top() + (r.height() - kIconSize) / 2,
                             kIconSize,
                             kIconSize);
        const int textLeft = iconRect.right() + 7;
        const int available = qMax(0, r.right() - 4 - textLeft);
        const int fontKey = LookIndex(node->xTipoNode) * 4 + (font.strikeOut() ? 2 : 0)
                            + (font.underline() ? 1 : 0);
        const TDrawnText &drawn = Drawn(index.data(Qt::DisplayRole).toString(),
                                        font,
                                        fontKey,
                                        available,
                                        p->device());
        const int textWidth = drawn.width;
        if (bg.isValid()) {
            p->setRenderHint(QPainter::Antialiasing);
            p->setPen(Qt::NoPen);
            p->setBrush(bg);
            p->drawRoundedRect(QRectF(textLeft - 4, r.top() + 3, textWidth + 8, r.height() - 6),
                               3,
                               3);
        }
        icons.at(iconIndex).paint(p, iconRect);
        p->setFont(font);
        p->setPen(fg);
        // As drawText places one line vertically centred in the row.
        drawn.layout->draw(p, QPointF(textLeft, r.top() + (r.height() - drawn.height) / 2));
        if (option.state & QStyle::State_HasFocus && m_tree->hasFocus() && !bg.isValid()) {
            p->setPen(QPen(kPartColour, 1, Qt::DotLine));
            p->setBrush(Qt::NoBrush);
            p->drawRect(QRect(textLeft - 4, r.top() + 3, textWidth + 7, r.height() - 7));
        }
        p->restore();
    }

private:
    // fontKey names the font among the fonts of the tree.
    const TDrawnText &Drawn(const QString &caption,
                            const QFont &font,
                            int fontKey,
                            int available,
                            QPaintDevice *device) const
    {
        TDrawnTextKey key{caption, fontKey, available, device->logicalDpiY()};
        if (auto it = m_drawn.constFind(key); it != m_drawn.cend())
            return it.value();
        // Captions that left the tree are dropped now and then.
        if (m_drawn.size() > 4096)
            m_drawn.clear();
        const QFontMetrics fm(font, device);
        TDrawnText drawn;
        drawn.text = fm.elidedText(caption, Qt::ElideRight, available);
        drawn.width = fm.horizontalAdvance(drawn.text);
        // One line, as a single-line drawText lays it out.
        QString single = drawn.text;
        single.replace(QLatin1Char('\r'), QLatin1Char(' '));
        single.replace(QLatin1Char('\n'), QLatin1Char(' '));
        drawn.layout = std::make_shared<QTextLayout>(single, font, device);
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        option.setAlignment(Qt::AlignLeft);
        option.setFlags(option.flags() | QTextOption::IncludeTrailingSpaces);
        drawn.layout->setTextOption(option);
        drawn.layout->setCacheEnabled(true);
        drawn.layout->beginLayout();
        QTextLine line = drawn.layout->createLine();
        if (line.isValid()) {
            line.setLineWidth(0x01000000);
            line.setPosition(QPointF(0, 0));
            drawn.height = line.ascent() + line.descent();
        }
        drawn.layout->endLayout();
        return m_drawn.insert(std::move(key), std::move(drawn)).value();
    }

    TDettProdTree *m_tree; // Not owned: the view this delegate draws for.
    mutable QHash<TDrawnTextKey, TDrawnText> m_drawn;
};

// The fields of a node record a caption rule reads.
bool SameCaptionFields(const TVRLDettProd &a, const TVRLDettProd &b)
{
    return a.xTipoNode == b.xTipoNode && a.iNuTipologia == b.iNuTipologia
           && a.iNuQuantita == b.iNuQuantita && a.iNuOrderA == b.iNuOrderA
           && a.iNuOrderB == b.iNuOrderB && a.iNuOrderC == b.iNuOrderC
           && a.iNuOrderD == b.iNuOrderD;
}

} // namespace

struct TDettProdTree::TRowColumns
{
    int desc = -1;
    int descB = -1;
    int descC = -1;
    int quantita = -1;
    int elenco = -1;
    int existsImg = -1;

    explicit TRowColumns(const TDataSet &rows)
        : desc(rows.FieldIndex(QStringLiteral("txDescNodo")))
        , descB(rows.FieldIndex(QStringLiteral("txDescNodoB")))
        , descC(rows.FieldIndex(QStringLiteral("txDescNodoC")))
        , quantita(rows.FieldIndex(QStringLiteral("nuQuantita")))
        , elenco(rows.FieldIndex(QStringLiteral("flTestoInElenco")))
        , existsImg(rows.FieldIndex(QStringLiteral("flExistsImgNodo")))
    {}

    // The values as read, texts not trimmed (null values read as invalid variants).
    TDettProdCaptionRow Read(const TDataSet &rows, int recNo0) const
    {
        auto value = [&](int col) { return col < 0 ? QVariant() : rows.ValueAt(recNo0, col); };
        auto text = [&](int col) {
            const QVariant v = value(col);
            if (v.typeId() == QMetaType::QString)
                return v.value<QString>();
            return v.isValid() && !v.isNull() ? v.toString() : QString();
        };
        TDettProdCaptionRow row;
        row.sDesc = text(desc);
        row.sDescB = text(descB);
        row.sDescC = text(descC);
        row.dQuantita = Quantity(rows, recNo0);
        row.bTestoInElenco = Flag(rows, recNo0, elenco);
        row.bExistsImg = Flag(rows, recNo0, existsImg);
        return row;
    }

    // Whether the row holds the values read before, its texts compared as they are stored.
    bool Same(const TDataSet &rows, int recNo0, const TDettProdCaptionRow &read) const
    {
        auto sameText = [&](int col, const QString &text) {
            return col < 0 ? text.isEmpty() : rows.TextEqualsAt(recNo0, col, text);
        };
        return Flag(rows, recNo0, elenco) == read.bTestoInElenco
               && Flag(rows, recNo0, existsImg) == read.bExistsImg
               && Quantity(rows, recNo0) == read.dQuantita && sameText(desc, read.sDesc)
               && sameText(descB, read.sDescB) && sameText(descC, read.sDescC);
    }

    static TDettProdCaptionRow Trimmed(TDettProdCaptionRow row)
    {
        row.sDesc = row.sDesc.trimmed();
        row.sDescB = row.sDescB.trimmed();
        row.sDescC = row.sDescC.trimmed();
        return row;
    }

private:
    double Quantity(const TDataSet &rows, int recNo0) const
    {
        const QVariant q = quantita < 0 ? QVariant() : rows.ValueAt(recNo0, quantita);
        return !q.isValid() || q.isNull() ? 0 : q.toDouble();
    }
    static bool Flag(const TDataSet &rows, int recNo0, int col)
    {
        const QVariant v = col < 0 ? QVariant() : rows.ValueAt(recNo0, col);
        if (!v.isValid() || v.isNull())
            return false;
        if (v.typeId() == QMetaType::LongLong)
            return v.value<qint64>() != 0;
        return v.typeId() == QMetaType::Bool ? v.toBool() : v.toInt() != 0;
    }
};

QString ProductNodeCaption(const TVRLDettProd &node, const TDettProdCaptionRow &row)
{
    const QString dot = QStringLiteral(". ");
    switch (node.xTipoNode) {
    case cnScheda:
        return QString::number(node.iNuOrderA) + dot
               + OrDefault(row.sDesc, "(Scheda senza titolo)");
    case cnVoceScheda:
        return QString::number(node.iNuOrderB) + dot + row.sDesc;
    case cnComponente:
        return QString::number(node.iNuOrderA) + dot
               + OrDefault(row.sDesc, "(Paragrafo senza descrizione)");
    case cnParte: {
        QString caption = QString::number(node.iNuOrderB) + dot;
        if (row.dQuantita > 0)
            caption += QStringLiteral(" N° ") + FormatNumber(0, row.dQuantita) + QLatin1Char(' ');
        return caption + OrDefault(row.sDesc, "(senza descrizione)");
    }
    case cnParteTesto:
        return QString::number(node.iNuOrderC) + dot
               + (row.bTestoInElenco ? QStringLiteral("-- ") : QString())
               + OrDefault(row.sDesc, "(testo mancante)");
    case cnParteImmagine:
        return QString::number(node.iNuOrderC) + dot
               + (row.bExistsImg ? QString() : QStringLiteral("(immagine non presente) - "))
               + OrDefault(row.sDesc, "(senza didascalia)");
    case cnParteLinkWeb:
        return QString::number(node.iNuOrderC) + dot + OrDefault(row.sDesc, "(link web mancante)");
    case cnParteTabella:
        return QString::number(node.iNuOrderC) + dot + OrDefault(row.sDesc, "(senza descrizione)")
               + QStringLiteral("  ---  Intestazioni:  ")
               + OrDefault(row.sDescB, "(nessun titolo voce)") + QStringLiteral("  -->  ")
               + OrDefault(row.sDescC, "(nessun titolo valore)");
    case cnParteVoceTabella:
        return QString::number(node.iNuOrderD) + QStringLiteral(". Voce: ") + Quoted(row.sDesc)
               + QStringLiteral("  -->  Valore: ") + Quoted(row.sDescB);
    default:
        return row.sDesc;
    }
}

QString NodeKindObject(TCurrentNodeTipologia kind)
{
    switch (kind) {
    case cnScheda:
        return QStringLiteral("la scheda");
    case cnVoceScheda:
        return QStringLiteral("la voce della scheda");
    case cnComponente:
        return QStringLiteral("il paragrafo");
    case cnParte:
        return QStringLiteral("il sottoparagrafo");
    case cnParteTesto:
        return QStringLiteral("il testo");
    case cnParteImmagine:
        return QStringLiteral("l'immagine");
    case cnParteLinkWeb:
        return QStringLiteral("il link web");
    case cnParteTabella:
        return QStringLiteral("la tabella");
    case cnParteVoceTabella:
        return QStringLiteral("la voce della tabella");
    default:
        return QString();
    }
}

QString ProductRootCaption(const QString &sDescProdotto, const QString &sCodProdotto)
{
    const QString code = sCodProdotto.trimmed();
    return code.isEmpty() ? sDescProdotto
                          : sDescProdotto + QStringLiteral(" (") + code + QLatin1Char(')');
}

TDettProdTreeItem::TDettProdTreeItem(std::unique_ptr<TVRLDettProd> node)
    : QTreeWidgetItem(QTreeWidgetItem::UserType)
    , m_node(std::move(node))
{
    // Captions are never edited in place.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
}

TDettProdTree::TDettProdTree(QWidget *parent)
    : QTreeWidget(parent)
    , m_caption(ProductNodeCaption)
{
    setObjectName(QStringLiteral("TV_Dettagli"));
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setIndentation(kIndentation);
    setRootIsDecorated(false);
    // The operator expands and collapses only through the double click and its gate.
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAnimated(false);
    setAllColumnsShowFocus(false);
    setIconSize(QSize(kIconSize, kIconSize));
    QFont f(QStringLiteral("Trebuchet MS"));
    f.setPointSize(12);
    setFont(f);
    // The delegate draws selections itself; the view's own highlight must not show.
    QPalette pal = palette();
    pal.setColor(QPalette::Highlight, pal.color(QPalette::Base));
    pal.setColor(QPalette::HighlightedText, pal.color(QPalette::Text));
    setPalette(pal);
    setItemDelegate(new TDettProdTreeDelegate(this));
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item, int) {
        ToggleByDoubleClick(item);
    });
    connect(this,
            &QTreeWidget::currentItemChanged,
            this,
            [this](QTreeWidgetItem *current, QTreeWidgetItem *) {
                emit CurrentNodeChanged(NodeOf(current));
            });
}

TDettProdTree::~TDettProdTree() = default;

void TDettProdTree::drawBranches(QPainter *, const QRect &, const QModelIndex &) const {}

void TDettProdTree::SetCaptionRule(TDettProdCaptionRule rule)
{
    m_caption = rule ? std::move(rule) : TDettProdCaptionRule(ProductNodeCaption);
    for (TDettProdTreeItem *item : m_items)
        item->ForgetCaptionRow();
}

const QList<QIcon> &TDettProdTree::ImageList()
{
    static const QList<QIcon> icons = [] {
        QList<QIcon> list;
        for (int k = 0; k < 10; ++k) {
            list << MakeIcon(k, true);
            list << MakeIcon(k, false);
        }
        return list;
    }();
    return icons;
}

int TDettProdTree::NodeIconIndex(const TVRLDettProd &node)
{
    return 2 * KindPosition(node.xTipoNode) + (node.bAttivo ? 0 : 1);
}

TVRLDettProd *TDettProdTree::NodeOf(const QTreeWidgetItem *item)
{
    if (!item || item->type() != QTreeWidgetItem::UserType)
        return nullptr;
    return static_cast<const TDettProdTreeItem *>(item)->Node();
}

TVRLDettProd *TDettProdTree::NodeAt(const QModelIndex &index) const
{
    return NodeOf(itemFromIndex(index));
}

TVRLDettProd *TDettProdTree::RootNode() const
{
    return m_items.empty() ? nullptr : m_items.front()->Node();
}

TVRLDettProd *TDettProdTree::CurrentNode() const
{
    return NodeOf(currentItem());
}

TDettProdTreeItem *TDettProdTree::FindTreeNode(const QString &sIdNodo) const
{
    return m_byId.value(sIdNodo, nullptr);
}

bool TDettProdTree::SelectNode(const QString &sIdNodo)
{
    TDettProdTreeItem *item = FindTreeNode(sIdNodo);
    if (!item)
        return false;
    setCurrentItem(item);
    return true;
}

void TDettProdTree::DetachRows()
{
    m_rows = nullptr;
}

void TDettProdTree::ClearTree()
{
    const QSignalBlocker block(this);
    clear();
    m_items.clear();
    m_byId.clear();
    m_movingId.clear();
    emit CurrentNodeChanged(nullptr);
}

void TDettProdTree::FillItem(TDettProdTreeItem *item,
                             const TDataSet &rows,
                             const TRowColumns &cols,
                             int recNo0,
                             bool sameNode)
{
    // A caption depends only on the node's kind, orders and quantity and on the row values.
    if (sameNode && item->CaptionRow() && cols.Same(rows, recNo0, *item->CaptionRow()))
        return;
    TDettProdCaptionRow read = cols.Read(rows, recNo0);
    const QString caption = m_caption(*item->Node(), TRowColumns::Trimmed(read));
    item->SetCaptionRow(std::move(read));
    if (item->text(0) != caption)
        item->setText(0, caption);
}

bool TDettProdTree::UpdateInPlace(const TDataSet &rows, const TDettProdRoot &root)
{
    if (m_items.empty() || m_items.front()->Node()->sIdNodo != root.sIdOwner)
        return false;
    // The rows must give exactly the nodes shown, under the same parents, in the same order:
    // the row of every node is found before anything changes.
    const TDettProdTreeRows reader(rows);
    std::vector<int> rowOf(m_items.size(), -1);
    size_t k = 1;
    const int count = rows.RecordCount();
    for (int r = 0; r < count; ++r) {
        if (!reader.Visible(r))
            continue;
        if (k >= m_items.size())
            return false;
        const TDettProdTreeItem *item = m_items[k];
        if (!reader.IsNode(r, item->Node()->sIdNodo, NodeOf(item->parent())->sIdNodo))
            return false;
        rowOf[k++] = r;
    }
    if (k != m_items.size())
        return false;

    // Records, as fresh ones (the page comes with the next preview), and captions.
    m_items.front()->Node()->copyFromOther(*MakeRootNode(root.sIdOwner, root.bAttivo));
    if (m_items.front()->text(0) != root.sCaption)
        m_items.front()->setText(0, root.sCaption);
    const TRowColumns cols(rows);
    for (size_t i = 1; i < m_items.size(); ++i) {
        TVRLDettProd *node = m_items[i]->Node();
        const TVRLDettProd before = *node;
        reader.Refresh(*node, rowOf[i]);
        // The values no row gives as in a fresh record.
        node->iNuQuantita = 0;
        node->iPagePreview = 0;
        FillItem(m_items[i], rows, cols, rowOf[i], SameCaptionFields(before, *node));
    }
    return true;
}

TDettProdTree::TBuildResult TDettProdTree::BuildTree(TDataSet *rows,
                                                     const TDettProdRoot &root,
                                                     const QString &selectId,
                                                     const TVRLDettProd *moving)
{
    m_rows = rows;
    m_movingId = moving ? moving->sIdNodo : QString();
    const bool haveRows = rows && rows->Active();
    const QString previous = CurrentNode() ? CurrentNode()->sIdNodo : QString();

    setUpdatesEnabled(false);
    TBuildResult result = TBuildResult::Rebuilt;
    {
        const QSignalBlocker block(this);
        if (haveRows && UpdateInPlace(*rows, root)) {
            // The same nodes: the items, their expand state, the selection and the scroll
            // position stay; expand states follow the rows as after a rebuild.
            result = TBuildResult::Updated;
            m_gate = egProgrammatic;
            for (TDettProdTreeItem *item : m_items) {
                const bool expand = moving || item->Node()->bNodoEspanso;
                if (item->childCount() > 0 && item->isExpanded() != expand)
                    item->setExpanded(expand);
            }
            m_gate = egRefuse;
            // Items whose look depends on flags only (no caption change) are repainted too.
            viewport()->update();
        } else {
            std::vector<TDettProdTreeEntry> entries;
            if (haveRows)
                entries = LoadDettProdTree(*rows, root.sIdOwner, root.bAttivo);
            else
                entries.push_back({MakeRootNode(root.sIdOwner, root.bAttivo), -1, -1});
            const TRowColumns cols = haveRows ? TRowColumns(*rows) : TRowColumns(TDataSet());
            clear();
            m_items.clear();
            m_byId.clear();
            m_items.reserve(entries.size());
            // The whole hierarchy is assembled before it enters the view: one insertion.
            for (size_t i = 0; i < entries.size(); ++i) {
                auto *item = new TDettProdTreeItem(std::move(entries[i].node));
                if (i == 0) {
                    item->setText(0, root.sCaption);
                } else {
                    m_items[size_t(entries[i].parent)]->addChild(item);
                    FillItem(item, *rows, cols, entries[i].recNo0, false);
                }
                m_items.push_back(item);
                m_byId.insert(item->Node()->sIdNodo, item);
            }
            addTopLevelItem(m_items.front());
            m_gate = egProgrammatic;
            expandAll();
            m_gate = egRefuse;
            if (!moving)
                ApplyExpandState();
        }
        SelectAfterBuild(moving ? moving->sIdNodo : selectId);
    }
    setUpdatesEnabled(true);
    CenterSelection();
    TVRLDettProd *current = CurrentNode();
    if (result == TBuildResult::Rebuilt || !current || current->sIdNodo != previous)
        emit CurrentNodeChanged(current);
    return result;
}

void TDettProdTree::SelectAfterBuild(const QString &selectId)
{
    TDettProdTreeItem *item = selectId.isEmpty() ? nullptr : FindTreeNode(selectId);
    if (!item && !m_items.empty())
        item = m_items.front();
    if (item) {
        setCurrentItem(item);
        item->setSelected(true);
    }
}

void TDettProdTree::ApplyExpandState()
{
    m_gate = egProgrammatic;
    for (TDettProdTreeItem *item : m_items) {
        if (!item->Node()->bNodoEspanso)
            RequestExpand(item, false);
    }
    m_gate = egRefuse;
}

void TDettProdTree::SetExpanded(QTreeWidgetItem *item, bool expand)
{
    if (item->isExpanded() != expand)
        item->setExpanded(expand);
}

bool TDettProdTree::RequestExpand(QTreeWidgetItem *item, bool expand)
{
    const TVRLDettProd *node = NodeOf(item);
    if (!node)
        return false;
    switch (m_gate) {
    case egProgrammatic:
        SetExpanded(item, expand);
        return true;
    case egDoubleClick: {
        m_gate = egRefuse;
        const TCurrentNodeTipologia kind = node->xTipoNode;
        if (kind != cnScheda && kind != cnComponente && kind != cnParte && kind != cnParteTabella)
            return false;
        SetExpanded(item, expand);
        RecordExpandState(node->sIdNodo, expand);
        return true;
    }
    default:
        return false;
    }
}

void TDettProdTree::ToggleByDoubleClick(QTreeWidgetItem *item)
{
    if (!item)
        return;
    m_gate = egDoubleClick;
    RequestExpand(item, !item->isExpanded());
    m_gate = egRefuse;
}

void TDettProdTree::RecordExpandState(const QString &sIdNodo, bool expanded)
{
    if (!m_rows || !m_rows->Active())
        return;
    const int col = m_rows->FieldIndex(QStringLiteral("flNodoEspanso"));
    if (col < 0 || !m_rows->Locate(QStringLiteral("idNodo"), sIdNodo))
        return;
    m_rows->Edit();
    m_rows->Fields(col).SetValue(expanded ? 1 : 0);
    m_rows->Post();
}

void TDettProdTree::ShowAll()
{
    setUpdatesEnabled(false);
    m_gate = egProgrammatic;
    expandAll();
    m_gate = egRefuse;
    setUpdatesEnabled(true);
    if (QTreeWidgetItem *item = currentItem()) {
        setCurrentItem(item);
        scrollToItem(item, QAbstractItemView::PositionAtCenter);
    }
}

void TDettProdTree::CollapseKind(TCurrentNodeTipologia kind)
{
    setUpdatesEnabled(false);
    m_gate = egProgrammatic;
    for (TDettProdTreeItem *item : m_items) {
        if (item->Node()->xTipoNode == kind)
            RequestExpand(item, false);
    }
    m_gate = egRefuse;
    setUpdatesEnabled(true);
}

void TDettProdTree::CenterSelection()
{
    if (QTreeWidgetItem *item = currentItem())
        scrollToItem(item, QAbstractItemView::PositionAtCenter);
}
