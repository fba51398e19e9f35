#include "reports/richtext.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextList>

#include <vector>

namespace {

// Twips (1/1440 inch) and document lengths: a document measures lengths in pixels at 96 dpi.
constexpr double kTwipsPerPixel = 15.0;

// Windows-1252 characters 0x80-0x9F (the rest of the range equals Latin-1).
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
                                      0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD,
                                      0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D,
                                      0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
                                      0x0153, 0xFFFD, 0x017E, 0x0178};

QChar Cp1252ToChar(uchar byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kCp1252High[byte - 0x80]);
    return QChar(byte);
}

// Code page of an RTF font charset (0 when the document's code page applies).
int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 2:
        return 42; // symbol
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

QString DecodeBytes(const QByteArray &bytes, int codePage)
{
    if (codePage == 42) {
        // Symbol font: the bullet is the only character an editor puts there for us.
        QString out;
        for (char c : bytes)
            out += (uchar(c) == 0xB7) ? QChar(0x2022) : Cp1252ToChar(uchar(c));
        return out;
    }
    if (codePage != 0 && codePage != 1252) {
        QByteArray name;
        switch (codePage) {
        case 932:
            name = "Shift_JIS";
            break;
        case 936:
            name = "GBK";
            break;
        case 949:
            name = "EUC-KR";
            break;
        case 950:
            name = "Big5";
            break;
        default:
            name = "windows-" + QByteArray::number(codePage);
        }
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) {
            QString out = decoder(bytes);
            if (!decoder.hasError())
                return out;
        }
    }
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out += Cp1252ToChar(uchar(c));
    return out;
}

struct CharState
{
    int font = -1;
    int sizeHalfPoints = 0; // 0: the document's default size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0; // colour table index; 0 is "automatic"
    int background = 0;
    int vertical = 0; // 1 superscript, -1 subscript

    bool operator==(const CharState &) const = default;
};

struct ParaState
{
    Qt::Alignment align = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    int listKind = 0; // 0 none, 1 bullet, 2 numbered
};

enum class Dest { Normal, Skip, FontTable, ColorTable, ListText, ListDef };

struct Group
{
    CharState ch;
    ParaState para;
    Dest dest = Dest::Normal;
    int uc = 1;
};

struct FontEntry
{
    QString name;
    int charset = 0;
};

class RtfReader
{
public:
    RtfReader(const QString &rtf, QTextDocument *doc)
        : m_src(rtf)
        , m_doc(doc)
        , m_cursor(doc)
    {}

    void Run();

private:
    void ParseControl();
    void HandleWord(const QString &word, bool hasParam, int param);
    void AddText(const QString &text);
    void AddByte(uchar byte);
    void FlushBytes();
    void FlushText();
    void StartParagraphIfPending();
    void EndParagraph();
    void Finish();
    QTextCharFormat CharFormat(const CharState &ch) const;
    QColor TableColor(int index) const;

    Group &Top() { return m_stack.back(); }

    const QString m_src;
    int m_pos = 0;
    QTextDocument *m_doc;
    QTextCursor m_cursor;
    std::vector<Group> m_stack{Group()};
    bool m_groupStart = false; // the next control word is the first of a group
    bool m_starGroup = false;  // the current group began with \*
    int m_skipFallback = 0;    // characters still to skip after \uN

    QHash<int, FontEntry> m_fonts;
    int m_fontTableCurrent = -1;
    QString m_fontNameBuffer;
    std::vector<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;
    int m_codePage = 1252;
    int m_defaultFont = -1;

    QByteArray m_bytes; // pending \'hh bytes, decoded together
    QString m_text;     // pending text with m_textState
    CharState m_textState;

    bool m_paraPending = false; // a \par was read: the next content starts a new block
    bool m_paraHasContent = false;
    bool m_pageBreakNext = false; // the next paragraph starts a new page
    ParaState m_lastPara;         // paragraph properties at the last paragraph end
    QTextList *m_list = nullptr;  // list of the previous paragraph, when it was an item
    int m_listKind = 0;
    bool m_anyBlockDone = false;
};

void RtfReader::Run()
{
    const int n = m_src.size();
    while (m_pos < n) {
        const QChar c = m_src.at(m_pos);
        if (c == u'{') {
            FlushBytes();
            FlushText();
            m_stack.push_back(Top());
            m_groupStart = true;
            m_starGroup = false;
            ++m_pos;
            continue;
        }
        if (c == u'}') {
            FlushBytes();
            FlushText();
            if (Top().dest == Dest::FontTable && m_fontTableCurrent >= 0
                && !m_fontNameBuffer.trimmed().isEmpty()) {
                m_fonts[m_fontTableCurrent].name = m_fontNameBuffer.trimmed();
                m_fontNameBuffer.clear();
            }
            if (m_stack.size() > 1)
                m_stack.pop_back();
            m_groupStart = false;
            m_skipFallback = 0;
            ++m_pos;
            continue;
        }
        if (c == u'\\') {
            ParseControl();
            continue;
        }
        ++m_pos;
        if (c == u'\r' || c == u'\n')
            continue;
        m_groupStart = false;
        if (m_skipFallback > 0) {
            --m_skipFallback;
            continue;
        }
        FlushBytes();
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
            AddText(QString(Cp1252ToChar(uchar(c.unicode()))));
        else
            AddText(QString(c));
    }
    Finish();
}

void RtfReader::ParseControl()
{
    const int n = m_src.size();
    ++m_pos; // the backslash
    if (m_pos >= n)
        return;
    const QChar c = m_src.at(m_pos);
    if (c.isLetter() && c.unicode() < 128) {
        const int start = m_pos;
        while (m_pos < n && m_src.at(m_pos).unicode() < 128 && m_src.at(m_pos).isLetter())
            ++m_pos;
        const QString word = m_src.mid(start, m_pos - start);
        bool hasParam = false;
        int param = 0;
        int digitsStart = m_pos;
        if (m_pos < n && m_src.at(m_pos) == u'-')
            ++m_pos;
        while (m_pos < n && m_src.at(m_pos).isDigit() && m_src.at(m_pos).unicode() < 128)
            ++m_pos;
        if (m_pos > digitsStart && !(m_pos == digitsStart + 1 && m_src.at(digitsStart) == u'-')) {
            hasParam = true;
            const qlonglong value = m_src.mid(digitsStart, qMin(m_pos - digitsStart, 12))
                                        .toLongLong();
            param = int(qBound(qlonglong(-2147483647), value, qlonglong(2147483647)));
        } else {
            m_pos = digitsStart;
        }
        if (m_pos < n && m_src.at(m_pos) == u' ')
            ++m_pos;
        if (word != u"u" && word != u"'")
            FlushBytes();
        HandleWord(word, hasParam, param);
        m_groupStart = false;
        return;
    }
    ++m_pos;
    switch (c.unicode()) {
    case '\'': {
        if (m_pos + 2 <= n) {
            bool ok = false;
            const uint byte = m_src.mid(m_pos, 2).toUInt(&ok, 16);
            m_pos += 2;
            if (ok) {
                if (m_skipFallback > 0) {
                    --m_skipFallback;
                    break;
                }
                AddByte(uchar(byte));
            }
        } else {
            m_pos = n;
        }
        break;
    }
    case '*':
        m_starGroup = true;
        return; // the next control word decides the destination
    case '\\':
    case '{':
    case '}':
        FlushBytes();
        AddText(QString(c));
        break;
    case '~':
        FlushBytes();
        AddText(QString(QChar(0x00A0)));
        break;
    case '_':
        FlushBytes();
        AddText(QString(QChar(0x2011)));
        break;
    case '-':
        break; // optional hyphen
    case '\r':
    case '\n':
        FlushBytes();
        HandleWord(QStringLiteral("par"), false, 0);
        break;
    default:
        break;
    }
    m_groupStart = false;
}

void RtfReader::HandleWord(const QString &word, bool hasParam, int param)
{
    Group &g = Top();
    const bool first = m_groupStart;

    // Destinations.
    if (first) {
        static const QStringList skipped = {QStringLiteral("stylesheet"),
                                            QStringLiteral("info"),
                                            QStringLiteral("pict"),
                                            QStringLiteral("object"),
                                            QStringLiteral("header"),
                                            QStringLiteral("headerl"),
                                            QStringLiteral("headerr"),
                                            QStringLiteral("headerf"),
                                            QStringLiteral("footer"),
                                            QStringLiteral("footerl"),
                                            QStringLiteral("footerr"),
                                            QStringLiteral("footerf"),
                                            QStringLiteral("footnote"),
                                            QStringLiteral("annotation"),
                                            QStringLiteral("xe"),
                                            QStringLiteral("tc"),
                                            QStringLiteral("fldinst"),
                                            QStringLiteral("listtable"),
                                            QStringLiteral("listoverridetable"),
                                            QStringLiteral("revtbl"),
                                            QStringLiteral("rsidtbl"),
                                            QStringLiteral("themedata"),
                                            QStringLiteral("colorschememapping"),
                                            QStringLiteral("latentstyles"),
                                            QStringLiteral("datastore"),
                                            QStringLiteral("generator"),
                                            QStringLiteral("pntxtb"),
                                            QStringLiteral("pntxta"),
                                            QStringLiteral("bkmkstart"),
                                            QStringLiteral("bkmkend"),
                                            QStringLiteral("nonshppict"),
                                            QStringLiteral("shp"),
                                            QStringLiteral("template"),
                                            QStringLiteral("comment"),
                                            QStringLiteral("title"),
                                            QStringLiteral("author"),
                                            QStringLiteral("operator"),
                                            QStringLiteral("company"),
                                            QStringLiteral("filetbl"),
                                            QStringLiteral("xmlnstbl"),
                                            QStringLiteral("mmathPr"),
                                            QStringLiteral("wgrffmtfilter"),
                                            QStringLiteral("pgdsctbl"),
                                            QStringLiteral("falt"),
                                            QStringLiteral("panose")};
        if (g.dest == Dest::Skip)
            return;
        if (word == u"fonttbl") {
            g.dest = Dest::FontTable;
            m_fontTableCurrent = -1;
            return;
        }
        if (word == u"colortbl") {
            g.dest = Dest::ColorTable;
            m_colorSet = false;
            m_red = m_green = m_blue = 0;
            return;
        }
        if (word == u"pntext" || word == u"listtext") {
            g.dest = Dest::ListText;
            return;
        }
        if (word == u"pn") {
            g.dest = Dest::ListDef;
            ParaState &p = m_stack[m_stack.size() >= 2 ? m_stack.size() - 2 : 0].para;
            if (p.listKind == 0)
                p.listKind = 1;
            return;
        }
        if (skipped.contains(word) || (m_starGroup && word != u"fldrslt")) {
            g.dest = Dest::Skip;
            return;
        }
    }
    if (g.dest == Dest::Skip || g.dest == Dest::ListText)
        return;

    if (g.dest == Dest::FontTable) {
        if (word == u"f") {
            m_fontTableCurrent = param;
            m_fontNameBuffer.clear();
            m_fonts.insert(param, FontEntry());
        } else if (word == u"fcharset" && m_fontTableCurrent >= 0) {
            m_fonts[m_fontTableCurrent].charset = param;
        }
        return;
    }
    if (g.dest == Dest::ColorTable) {
        if (word == u"red") {
            m_red = param;
            m_colorSet = true;
        } else if (word == u"green") {
            m_green = param;
            m_colorSet = true;
        } else if (word == u"blue") {
            m_blue = param;
            m_colorSet = true;
        }
        return;
    }
    if (g.dest == Dest::ListDef) {
        // Inside {\*\pn ...}: the kind of item, for the paragraph of the enclosing group.
        ParaState &p = m_stack[m_stack.size() >= 2 ? m_stack.size() - 2 : 0].para;
        if (word == u"pnlvlblt")
            p.listKind = 1;
        else if (word == u"pndec" || word == u"pnlvlbody" || word == u"pnucltr"
                 || word == u"pnlcltr" || word == u"pnucrm" || word == u"pnlcrm")
            p.listKind = 2;
        return;
    }

    CharState &ch = g.ch;
    ParaState &para = g.para;
    const bool on = !hasParam || param != 0;

    if (word == u"par") {
        EndParagraph();
    } else if (word == u"sect") {
        EndParagraph();
    } else if (word == u"page") {
        if (m_paraHasContent && !m_paraPending)
            EndParagraph();
        m_pageBreakNext = true;
    } else if (word == u"line") {
        AddText(QString(QChar::LineSeparator));
    } else if (word == u"tab") {
        AddText(QStringLiteral("\t"));
    } else if (word == u"bullet") {
        AddText(QString(QChar(0x2022)));
    } else if (word == u"emdash") {
        AddText(QString(QChar(0x2014)));
    } else if (word == u"endash") {
        AddText(QString(QChar(0x2013)));
    } else if (word == u"lquote") {
        AddText(QString(QChar(0x2018)));
    } else if (word == u"rquote") {
        AddText(QString(QChar(0x2019)));
    } else if (word == u"ldblquote") {
        AddText(QString(QChar(0x201C)));
    } else if (word == u"rdblquote") {
        AddText(QString(QChar(0x201D)));
    } else if (word == u"u") {
        int code = param;
        if (code < 0)
            code += 65536;
        FlushBytes();
        if (code > 0 && code < 65536)
            AddText(QString(QChar(char16_t(code))));
        m_skipFallback = g.uc;
    } else if (word == u"uc") {
        g.uc = qMax(0, param);
    } else if (word == u"ansicpg") {
        m_codePage = param;
    } else if (word == u"deff") {
        m_defaultFont = param;
    } else if (word == u"plain") {
        ch = CharState();
    } else if (word == u"pard") {
        para = ParaState();
    } else if (word == u"f") {
        ch.font = param;
    } else if (word == u"fs") {
        ch.sizeHalfPoints = hasParam ? param : 24;
    } else if (word == u"b") {
        ch.bold = on;
    } else if (word == u"i") {
        ch.italic = on;
    } else if (word == u"ul" || word == u"uld" || word == u"uldb" || word == u"uldash"
               || word == u"ulw" || word == u"ulth" || word == u"ulwave") {
        ch.underline = on;
    } else if (word == u"ulnone") {
        ch.underline = false;
    } else if (word == u"strike" || word == u"striked") {
        ch.strike = on;
    } else if (word == u"cf") {
        ch.color = param;
    } else if (word == u"highlight" || word == u"cb" || word == u"chcbpat") {
        ch.background = param;
    } else if (word == u"super") {
        ch.vertical = 1;
    } else if (word == u"sub") {
        ch.vertical = -1;
    } else if (word == u"nosupersub") {
        ch.vertical = 0;
    } else if (word == u"ql") {
        para.align = Qt::AlignLeft;
    } else if (word == u"qc") {
        para.align = Qt::AlignHCenter;
    } else if (word == u"qr") {
        para.align = Qt::AlignRight;
    } else if (word == u"qj") {
        para.align = Qt::AlignJustify;
    } else if (word == u"li") {
        para.leftTwips = param;
    } else if (word == u"ri") {
        para.rightTwips = param;
    } else if (word == u"fi") {
        para.firstTwips = param;
    } else if (word == u"sb") {
        para.beforeTwips = param;
    } else if (word == u"sa") {
        para.afterTwips = param;
    } else if (word == u"ls") {
        if (para.listKind == 0)
            para.listKind = 1;
    }
}

void RtfReader::AddByte(uchar byte)
{
    Group &g = Top();
    if (g.dest == Dest::ListText || g.dest == Dest::Skip || g.dest == Dest::ColorTable
        || g.dest == Dest::ListDef)
        return;
    if (g.dest == Dest::FontTable) {
        m_fontNameBuffer += Cp1252ToChar(byte);
        return;
    }
    m_bytes.append(char(byte));
}

void RtfReader::FlushBytes()
{
    if (m_bytes.isEmpty())
        return;
    int codePage = m_codePage;
    const int font = Top().ch.font >= 0 ? Top().ch.font : m_defaultFont;
    if (font >= 0 && m_fonts.contains(font)) {
        const int cp = CodePageOfCharset(m_fonts.value(font).charset);
        if (cp != 0)
            codePage = cp;
    }
    const QString text = DecodeBytes(m_bytes, codePage);
    m_bytes.clear();
    const int skip = m_skipFallback;
    m_skipFallback = 0;
    AddText(text);
    m_skipFallback = skip;
}

void RtfReader::AddText(const QString &text)
{
    Group &g = Top();
    switch (g.dest) {
    case Dest::Skip:
    case Dest::ListText:
    case Dest::ListDef:
        return;
    case Dest::FontTable:
        for (QChar c : text) {
            if (c == u';') {
                if (m_fontTableCurrent >= 0)
                    m_fonts[m_fontTableCurrent].name = m_fontNameBuffer.trimmed();
                m_fontNameBuffer.clear();
            } else {
                m_fontNameBuffer += c;
            }
        }
        return;
    case Dest::ColorTable:
        for (QChar c : text) {
            if (c == u';') {
                m_colors.push_back(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
                m_red = m_green = m_blue = 0;
                m_colorSet = false;
            }
        }
        return;
    case Dest::Normal:
        break;
    }
    if (!m_text.isEmpty() && !(m_textState == g.ch))
        FlushText();
    if (m_text.isEmpty())
        m_textState = g.ch;
    m_text += text;
}

QColor RtfReader::TableColor(int index) const
{
    if (index <= 0 || index >= int(m_colors.size()))
        return QColor();
    return m_colors[size_t(index)];
}

QTextCharFormat RtfReader::CharFormat(const CharState &ch) const
{
    QTextCharFormat f;
    const int font = ch.font >= 0 ? ch.font : m_defaultFont;
    if (font >= 0 && m_fonts.contains(font) && !m_fonts.value(font).name.isEmpty())
        f.setFontFamilies({m_fonts.value(font).name});
    if (ch.sizeHalfPoints > 0)
        f.setFontPointSize(ch.sizeHalfPoints / 2.0);
    if (ch.bold)
        f.setFontWeight(QFont::Bold);
    if (ch.italic)
        f.setFontItalic(true);
    if (ch.underline)
        f.setFontUnderline(true);
    if (ch.strike)
        f.setFontStrikeOut(true);
    const QColor fg = TableColor(ch.color);
    if (fg.isValid())
        f.setForeground(fg);
    const QColor bg = TableColor(ch.background);
    if (bg.isValid())
        f.setBackground(bg);
    if (ch.vertical > 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (ch.vertical < 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return f;
}

void RtfReader::StartParagraphIfPending()
{
    if (m_paraPending) {
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_paraPending = false;
    }
}

void RtfReader::FlushText()
{
    if (m_text.isEmpty())
        return;
    StartParagraphIfPending();
    m_cursor.insertText(m_text, CharFormat(m_textState));
    m_text.clear();
    m_paraHasContent = true;
}

void RtfReader::EndParagraph()
{
    FlushBytes();
    FlushText();
    StartParagraphIfPending();
    const ParaState &p = Top().para;
    QTextBlockFormat bf;
    bf.setAlignment(p.align);
    if (p.listKind == 0) {
        bf.setLeftMargin(p.leftTwips / kTwipsPerPixel);
        bf.setTextIndent(p.firstTwips / kTwipsPerPixel);
    }
    bf.setRightMargin(p.rightTwips / kTwipsPerPixel);
    bf.setTopMargin(p.beforeTwips / kTwipsPerPixel);
    bf.setBottomMargin(p.afterTwips / kTwipsPerPixel);
    if (m_pageBreakNext) {
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_pageBreakNext = false;
    }
    m_cursor.setBlockFormat(bf);
    // The empty block's own character format gives an empty line its height.
    m_cursor.setBlockCharFormat(CharFormat(Top().ch));
    if (p.listKind != 0) {
        if (m_list && m_listKind == p.listKind) {
            m_list->add(m_cursor.block());
        } else {
            QTextListFormat lf;
            lf.setStyle(p.listKind == 1 ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
            lf.setIndent(1);
            m_list = m_cursor.createList(lf);
            m_listKind = p.listKind;
        }
    } else {
        m_list = nullptr;
        m_listKind = 0;
    }
    m_paraPending = true;
    m_paraHasContent = false;
    m_anyBlockDone = true;
}

void RtfReader::Finish()
{
    FlushBytes();
    FlushText();
    // Text after the last \par is a paragraph of its own without a closing mark.
    if (m_paraHasContent || !m_anyBlockDone) {
        if (m_paraHasContent)
            EndParagraph();
    }
}

QString EscapeRtf(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += u'\\';
            out += c;
        } else if (u == '\t') {
            out += QLatin1String("\\tab ");
        } else if (u == 0x2028 || u == '\n') {
            out += QLatin1String("\\line ");
        } else if (u == 0x00A0) {
            out += QLatin1String("\\~");
        } else if (u == QChar::ObjectReplacementCharacter) {
            continue;
        } else if (u == '\r') {
            continue;
        } else if (u < 0x80) {
            out += c;
        } else {
            out += QLatin1String("\\u") + QString::number(qint16(u)) + u'?';
        }
    }
    return out;
}

QString ColorRtf(const QColor &c)
{
    return QStringLiteral("\\red%1\\green%2\\blue%3;").arg(c.red()).arg(c.green()).arg(c.blue());
}

} // namespace

bool IsRtfText(const QString &text)
{
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        return text.trimmed().startsWith(QLatin1String("{\\rtf"));
    }
    return false;
}

void RtfToDocument(const QString &rtf, QTextDocument *document)
{
    document->clear();
    if (!IsRtfText(rtf)) {
        document->setPlainText(rtf);
        return;
    }
    RtfReader reader(rtf, document);
    reader.Run();
}

std::unique_ptr<QTextDocument> RtfToDocument(const QString &rtf)
{
    auto doc = std::make_unique<QTextDocument>();
    RtfToDocument(rtf, doc.get());
    return doc;
}

std::unique_ptr<QTextDocument> RtfToDocument(const QString &rtf, const QFont &defaultFont)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(defaultFont);
    RtfToDocument(rtf, doc.get());
    return doc;
}

QString DocumentToRtf(const QTextDocument *document)
{
    const QFont defaultFont = document->defaultFont();
    QStringList fonts;
    fonts << defaultFont.family();
    std::vector<QColor> colors;
    auto colorIndex = [&colors](const QColor &c) {
        for (size_t i = 0; i < colors.size(); ++i) {
            if (colors[i] == c)
                return int(i) + 1;
        }
        colors.push_back(c);
        return int(colors.size());
    };
    auto fontIndex = [&fonts](const QString &family) {
        int i = fonts.indexOf(family);
        if (i < 0) {
            fonts << family;
            i = int(fonts.size()) - 1;
        }
        return i;
    };

    QString body;
    const double defaultPt = defaultFont.pointSizeF() > 0 ? defaultFont.pointSizeF() : 12.0;
    bool firstBlock = true;
    QHash<QTextList *, int> numbers;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat bf = block.blockFormat();
        if (!firstBlock && (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
            body += QLatin1String("\\page\n");
        firstBlock = false;
        body += QLatin1String("\\pard");
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        if (a & Qt::AlignHCenter)
            body += QLatin1String("\\qc");
        else if (a & Qt::AlignRight)
            body += QLatin1String("\\qr");
        else if (a & Qt::AlignJustify)
            body += QLatin1String("\\qj");
        QTextList *list = block.textList();
        if (list) {
            const int level = qMax(1, list->format().indent());
            const int indentTw = 360 * level;
            const bool bullet = list->format().style() == QTextListFormat::ListDisc
                                || list->format().style() == QTextListFormat::ListCircle
                                || list->format().style() == QTextListFormat::ListSquare;
            if (bullet) {
                body += QLatin1String("{\\pntext\\bullet\\tab}{\\*\\pn\\pnlvlblt\\pnindent0"
                                      "{\\pntxtb\\bullet}}");
            } else {
                const int n = ++numbers[list];
                body += QStringLiteral("{\\pntext %1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1"
                                       "\\pnindent0{\\pntxta.}}")
                            .arg(n);
            }
            body += QStringLiteral("\\fi-360\\li%1").arg(indentTw);
        } else {
            if (bf.leftMargin() != 0)
                body += QStringLiteral("\\li%1").arg(qRound(bf.leftMargin() * kTwipsPerPixel));
            if (bf.textIndent() != 0)
                body += QStringLiteral("\\fi%1").arg(qRound(bf.textIndent() * kTwipsPerPixel));
        }
        if (bf.rightMargin() != 0)
            body += QStringLiteral("\\ri%1").arg(qRound(bf.rightMargin() * kTwipsPerPixel));
        if (bf.topMargin() != 0)
            body += QStringLiteral("\\sb%1").arg(qRound(bf.topMargin() * kTwipsPerPixel));
        if (bf.bottomMargin() != 0)
            body += QStringLiteral("\\sa%1").arg(qRound(bf.bottomMargin() * kTwipsPerPixel));
        body += u' ';

        auto charCodes = [&](const QTextCharFormat &cf) {
            QString s = QStringLiteral("\\plain");
            const QStringList families = cf.fontFamilies().toStringList();
            const QString family = families.isEmpty() ? defaultFont.family() : families.first();
            s += QStringLiteral("\\f%1").arg(fontIndex(family));
            const double pt = cf.hasProperty(QTextFormat::FontPointSize) ? cf.fontPointSize()
                                                                         : defaultPt;
            s += QStringLiteral("\\fs%1").arg(qRound(pt * 2));
            if (cf.fontWeight() >= QFont::DemiBold)
                s += QLatin1String("\\b");
            if (cf.fontItalic())
                s += QLatin1String("\\i");
            if (cf.fontUnderline())
                s += QLatin1String("\\ul");
            if (cf.fontStrikeOut())
                s += QLatin1String("\\strike");
            if (cf.verticalAlignment() == QTextCharFormat::AlignSuperScript)
                s += QLatin1String("\\super");
            else if (cf.verticalAlignment() == QTextCharFormat::AlignSubScript)
                s += QLatin1String("\\sub");
            if (cf.hasProperty(QTextFormat::ForegroundBrush)
                && cf.foreground().style() != Qt::NoBrush)
                s += QStringLiteral("\\cf%1").arg(colorIndex(cf.foreground().color()));
            if (cf.hasProperty(QTextFormat::BackgroundBrush)
                && cf.background().style() != Qt::NoBrush)
                s += QStringLiteral("\\highlight%1").arg(colorIndex(cf.background().color()));
            return s + u' ';
        };

        bool any = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            body += charCodes(frag.charFormat());
            body += EscapeRtf(frag.text());
            any = true;
        }
        if (!any)
            body += charCodes(block.charFormat());
        body += QLatin1String("\\par\n");
    }

    QString out = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl");
    for (int i = 0; i < fonts.size(); ++i)
        out += QStringLiteral("{\\f%1\\fnil\\fcharset0 %2;}").arg(i).arg(EscapeRtf(fonts[i]));
    out += QLatin1String("}\n{\\colortbl ;");
    for (const QColor &c : colors)
        out += ColorRtf(c);
    out += QLatin1String("}\n\\viewkind4\n");
    out += body;
    out += QLatin1String("}\n");
    return out;
}

QString RtfToPlainText(const QString &rtf)
{
    QTextDocument doc;
    RtfToDocument(rtf, &doc);
    QString text = doc.toPlainText();
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text.trimmed();
}

QString RtfFileToPlainText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return RtfToPlainText(text);
}

void RichTextLoad(const QString &text, QTextEdit *edit)
{
    if (IsRtfText(text))
        RtfToDocument(text, edit->document());
    else
        edit->setPlainText(text);
    QTextCursor cursor(edit->document());
    cursor.select(QTextCursor::Document);
    QTextCharFormat size;
    size.setFontPointSize(13);
    cursor.mergeCharFormat(size);
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::Start);
    edit->setTextCursor(cursor);
}

QString RichEditText(const QTextEdit *edit)
{
    return DocumentToRtf(edit->document());
}

QString RichEditLineRtf(const QTextEdit *edit, int line)
{
    const QTextBlock block = edit->document()->findBlockByNumber(line);
    if (!block.isValid())
        return QString();
    QTextCursor c(block);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextDocument part;
    part.setDefaultFont(edit->document()->defaultFont());
    QTextCursor(&part).insertFragment(c.selection());
    QTextCursor(&part).setBlockFormat(block.blockFormat());
    return DocumentToRtf(&part);
}

QString RichEditLinePlain(const QTextEdit *edit, int line)
{
    const QTextBlock block = edit->document()->findBlockByNumber(line);
    if (!block.isValid())
        return QString();
    return block.text();
}
