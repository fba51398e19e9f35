// Rich text: reading the RTF an editor writes, writing documents back, the editor routines.

#include "reports/richtext.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>

namespace {

// Format of the character at a position of the plain text where `text` begins.
QTextCharFormat FormatAt(const QTextDocument &doc, const QString &text)
{
    const int pos = doc.toPlainText().indexOf(text);
    if (pos < 0)
        return QTextCharFormat();
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(pos + 1);
    return c.charFormat();
}

QTextBlock BlockWith(const QTextDocument &doc, const QString &text)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().contains(text))
            return b;
    }
    return QTextBlock();
}

} // namespace

class TestRichText : public QObject
{
    Q_OBJECT

private slots:
    void styledTextSurvivesARoundTrip();
    void readsWhatEditorsWrite_data();
    void readsWhatEditorsWrite();
    void editorRtfKeepsFormats();
    void malformedRtfDoesNotStopTheReader_data();
    void malformedRtfDoesNotStopTheReader();
    void plainTextIsTakenAsIs();
    void fileToPlainTextAndEditorRoutines();
};

void TestRichText::styledTextSurvivesARoundTrip()
{
    QTextDocument doc;
    QFont base(QStringLiteral("Liberation Sans"));
    base.setPointSize(11);
    doc.setDefaultFont(base);
    QTextCursor c(&doc);
    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat italicRed;
    italicRed.setFontItalic(true);
    italicRed.setForeground(QColor(200, 0, 0));
    QTextCharFormat under;
    under.setFontUnderline(true);
    under.setFontPointSize(16);
    under.setFontFamilies({QStringLiteral("DejaVu Serif")});
    QTextCharFormat strike;
    strike.setFontStrikeOut(true);
    strike.setBackground(QColor(255, 255, 0));
    c.insertText(QStringLiteral("Normale "), plain);
    c.insertText(QStringLiteral("grassetto "), bold);
    c.insertText(QStringLiteral("corsivo rosso "), italicRed);
    c.insertText(QStringLiteral("sottolineato "), under);
    c.insertText(QStringLiteral("barrato"), strike);
    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centre);
    c.insertText(QStringLiteral("Centrato: € è ñ 漢 😀 {graffe} \\barra\tTab"), plain);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    c.insertBlock(right);
    c.insertText(QStringLiteral("A destra") + QChar(QChar::LineSeparator) + QStringLiteral("a capo"),
                 plain);
    QTextBlockFormat justify;
    justify.setAlignment(Qt::AlignJustify);
    c.insertBlock(justify);
    c.insertText(QStringLiteral("Giustificato"), plain);
    c.insertBlock(QTextBlockFormat());
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.createList(bullets);
    c.insertText(QStringLiteral("punto uno"));
    c.insertBlock();
    c.insertText(QStringLiteral("punto due"));
    c.insertBlock(QTextBlockFormat());
    c.setBlockFormat(QTextBlockFormat());
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListDecimal);
    c.createList(numbers);
    c.insertText(QStringLiteral("primo"));
    c.insertBlock();
    c.insertText(QStringLiteral("secondo"));

    const QString rtf = DocumentToRtf(&doc);
    QVERIFY(rtf.startsWith(QLatin1String("{\\rtf1")));
    for (QChar ch : rtf)
        QVERIFY2(ch.unicode() < 128, "RTF must be plain ASCII");

    QTextDocument back;
    back.setDefaultFont(base);
    RtfToDocument(rtf, &back);
    QCOMPARE(back.toPlainText(), doc.toPlainText());
    QCOMPARE(back.blockCount(), doc.blockCount());

    QVERIFY(FormatAt(back, QStringLiteral("grassetto")).fontWeight() >= QFont::Bold);
    QVERIFY(FormatAt(back, QStringLiteral("Normale")).fontWeight() < QFont::Bold);
    const QTextCharFormat red = FormatAt(back, QStringLiteral("corsivo rosso"));
    QVERIFY(red.fontItalic());
    QCOMPARE(red.foreground().color(), QColor(200, 0, 0));
    const QTextCharFormat u = FormatAt(back, QStringLiteral("sottolineato"));
    QVERIFY(u.fontUnderline());
    QCOMPARE(u.fontPointSize(), 16.0);
    QCOMPARE(u.fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Serif"));
    const QTextCharFormat s = FormatAt(back, QStringLiteral("barrato"));
    QVERIFY(s.fontStrikeOut());
    QCOMPARE(s.background().color(), QColor(255, 255, 0));
    QCOMPARE(FormatAt(back, QStringLiteral("Normale")).fontPointSize(), 11.0);

    QCOMPARE(BlockWith(back, QStringLiteral("Centrato")).blockFormat().alignment()
                 & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    QCOMPARE(BlockWith(back, QStringLiteral("A destra")).blockFormat().alignment()
                 & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
    QCOMPARE(BlockWith(back, QStringLiteral("Giustificato")).blockFormat().alignment()
                 & Qt::AlignHorizontal_Mask,
             Qt::AlignJustify);
    const QTextBlock one = BlockWith(back, QStringLiteral("punto uno"));
    const QTextBlock two = BlockWith(back, QStringLiteral("punto due"));
    QVERIFY(one.textList());
    QCOMPARE(one.textList(), two.textList());
    QCOMPARE(one.textList()->format().style(), QTextListFormat::ListDisc);
    const QTextBlock first = BlockWith(back, QStringLiteral("primo"));
    QVERIFY(first.textList());
    QCOMPARE(first.textList()->format().style(), QTextListFormat::ListDecimal);
    QCOMPARE(first.textList(), BlockWith(back, QStringLiteral("secondo")).textList());
    QVERIFY(!BlockWith(back, QStringLiteral("Giustificato")).textList());

    // Writing the read document again gives the same RTF.
    QCOMPARE(DocumentToRtf(&back), rtf);
}

void TestRichText::readsWhatEditorsWrite_data()
{
    QTest::addColumn<QString>("rtf");
    QTest::addColumn<QString>("plain");
    // What a Windows rich edit writes (WordPad / RichEdit 2).
    QTest::newRow("rich edit") << QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fnil\\fcharset0 "
        "Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}"
        "\r\n\\viewkind4\\uc1\\pard\\f0\\fs20 Prezzo \\b netto\\b0  \\cf1 rosso\\cf0\\par\r\n"
        "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
        "\\fi-720\\li720 primo\\par\r\n{\\pntext\\f1\\'B7\\tab}secondo\\par\r\n\\pard\\qc "
        "centrato \\'e8 \\u8364?\\par\r\n}\r\n")
                               << QStringLiteral(
                                      "Prezzo netto rosso\nprimo\nsecondo\ncentrato è €");
    // What Word writes for a list, with its own list tables.
    QTest::newRow("word list") << QStringLiteral(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Calibri;}}{\\*\\listtable{\\list\\listtemplateid1"
        "{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8226 ?;}}\\listid1}}"
        "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}"
        "\\pard\\ls1\\li720\\fi-360{\\listtext\\'95\\tab}Voce A\\par"
        "\\pard\\ls1\\li720\\fi-360{\\listtext\\'95\\tab}Voce B\\par"
        "\\pard Fine con \\'93virgolette\\'94 e \\endash  trattino\\par}")
                               << QStringLiteral(
                                      "Voce A\nVoce B\nFine con “virgolette” e – trattino");
    QTest::newRow("unicode and escapes")
        << QStringLiteral("{\\rtf1\\ansi\\uc2 caff\\u233\\'e8\\'e8 \\{x\\} \\\\ \\u-10179??"
                          "\\u-8704?? fine\\line riga\\tab tab}")
        << QStringLiteral("caffé {x} \\ 😀 fine\nriga\ttab");
    QTest::newRow("fields and hidden groups")
        << QStringLiteral("{\\rtf1{\\info{\\title Titolo}}{\\*\\generator Riched20;}"
                          "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt Link}} dopo"
                          "{\\*\\unknowndest nascosto} visibile}")
        << QStringLiteral("Link dopo visibile");
}

void TestRichText::readsWhatEditorsWrite()
{
    QFETCH(QString, rtf);
    QFETCH(QString, plain);
    QCOMPARE(RtfToPlainText(rtf), plain);
}

void TestRichText::editorRtfKeepsFormats()
{
    const QString rtf = QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
        "{\\f1\\fnil\\fcharset2 Symbol;}}{\\colortbl ;\\red255\\green0\\blue0;}"
        "\\viewkind4\\uc1\\pard\\f0\\fs20 Prezzo \\b netto\\b0  \\cf1 rosso\\cf0\\par"
        "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
        "\\fi-720\\li720 primo\\par{\\pntext\\f1\\'B7\\tab}secondo\\par\\pard\\qc centrato\\par}");
    QTextDocument doc;
    RtfToDocument(rtf, &doc);
    QCOMPARE(doc.blockCount(), 4); // the closing \par opens no empty paragraph
    QVERIFY(FormatAt(doc, QStringLiteral("netto")).fontWeight() >= QFont::Bold);
    QCOMPARE(FormatAt(doc, QStringLiteral("rosso")).foreground().color(), QColor(255, 0, 0));
    QCOMPARE(FormatAt(doc, QStringLiteral("Prezzo")).fontPointSize(), 10.0);
    QCOMPARE(FormatAt(doc, QStringLiteral("Prezzo")).fontFamilies().toStringList().value(0),
             QStringLiteral("Arial"));
    const QTextBlock a = BlockWith(doc, QStringLiteral("primo"));
    QVERIFY(a.textList());
    QCOMPARE(a.textList()->format().style(), QTextListFormat::ListDisc);
    QCOMPARE(a.textList(), BlockWith(doc, QStringLiteral("secondo")).textList());
    QVERIFY(!BlockWith(doc, QStringLiteral("centrato")).textList());
    QCOMPARE(BlockWith(doc, QStringLiteral("centrato")).blockFormat().alignment()
                 & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
}

void TestRichText::malformedRtfDoesNotStopTheReader_data()
{
    QTest::addColumn<QString>("rtf");
    QTest::addColumn<QString>("plain");
    QTest::newRow("unclosed group")
        << QStringLiteral("{\\rtf1 testo {\\b grassetto") << QStringLiteral("testo grassetto");
    QTest::newRow("too many closings")
        << QStringLiteral("{\\rtf1 a}}} b}") << QStringLiteral("a b");
    QTest::newRow("cut escape") << QStringLiteral("{\\rtf1 abc\\'e") << QStringLiteral("abc");
    QTest::newRow("cut control word") << QStringLiteral("{\\rtf1 abc\\") << QStringLiteral("abc");
    QTest::newRow("huge number") << QStringLiteral("{\\rtf1\\fs99999999999 x\\u99999999999? y}")
                                 << QStringLiteral("x");
}

void TestRichText::malformedRtfDoesNotStopTheReader()
{
    QFETCH(QString, rtf);
    QFETCH(QString, plain);
    QVERIFY(RtfToPlainText(rtf).startsWith(plain));
}

void TestRichText::plainTextIsTakenAsIs()
{
    QCOMPARE(RtfToPlainText(QStringLiteral("  solo testo {non rtf}  ")),
             QStringLiteral("solo testo {non rtf}"));
    QVERIFY(!IsRtfText(QStringLiteral("testo")));
    QVERIFY(IsRtfText(QStringLiteral("  {\\rtf1 x}")));
}

void TestRichText::fileToPlainTextAndEditorRoutines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.rtf"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1\\ansi \\b Titolo\\b0\\par Seconda riga \\'e0\\par}");
    }
    QCOMPARE(RtfFileToPlainText(path), QStringLiteral("Titolo\nSeconda riga à"));
    QCOMPARE(RtfFileToPlainText(dir.filePath(QStringLiteral("manca.rtf"))), QString());

    QTextEdit edit;
    RichTextLoad(QStringLiteral("{\\rtf1 {\\fs40 grande} \\b piccolo\\par altra}"), &edit);
    QCOMPARE(edit.toPlainText(), QStringLiteral("grande piccolo\naltra"));
    QVERIFY(!edit.textCursor().hasSelection());
    QCOMPARE(edit.textCursor().position(), 0);
    QCOMPARE(FormatAt(*edit.document(), QStringLiteral("grande")).fontPointSize(), 13.0);
    QCOMPARE(FormatAt(*edit.document(), QStringLiteral("piccolo")).fontPointSize(), 13.0);
    QVERIFY(FormatAt(*edit.document(), QStringLiteral("piccolo")).fontWeight() >= QFont::Bold);

    QCOMPARE(RichEditLinePlain(&edit, 1), QStringLiteral("altra"));
    QCOMPARE(RichEditLinePlain(&edit, 5), QString());
    QCOMPARE(RtfToPlainText(RichEditLineRtf(&edit, 0)), QStringLiteral("grande piccolo"));
    QCOMPARE(RtfToPlainText(RichEditText(&edit)), QStringLiteral("grande piccolo\naltra"));

    RichTextLoad(QStringLiteral("semplice"), &edit);
    QCOMPARE(edit.toPlainText(), QStringLiteral("semplice"));
}

QTEST_MAIN(TestRichText)
#include "tst_richtext.moc"
