// Pagination rules checked on the page model, without painting.

#include "reporttesthelpers.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace rpt_test;

namespace {

// A4 portrait, margins 15 mm: 267 mm of body; with a 10 mm page header and footer, 247 mm.
const QString kHead = QString::fromUtf8(R"RPT(report "Prova"
  page: A4 portrait
  margins: 15 15 15 15
  font: "Liberation Sans" 10
band page-header
  height: 10
  text Titolo
    rect: 0 0 100 6
    text: INTESTAZIONE
band page-footer
  height: 10
  special Pagine
    rect: 0 2 180 6
    kind: page-n-of-m
    align: right
)RPT");

std::unique_ptr<TDataSet> Numbers(int n)
{
    QList<QVariantList> rows;
    for (int i = 1; i <= n; ++i)
        rows << QVariantList{i, QStringLiteral("Riga %1").arg(i), i % 2 == 0};
    return MakeData({QStringLiteral("n:int"),
                     QStringLiteral("txt:text"),
                     QStringLiteral("pari:flag")},
                    rows);
}

// Page (1-based) on which a text is printed, 0 when absent.
int PageOf(const TReportDocument &doc, const QString &text)
{
    for (int i = 0; i < doc.PageCount(); ++i) {
        if (doc.PageTexts(i).contains(text))
            return i + 1;
    }
    return 0;
}

int CountOf(const TReportDocument &doc, const QString &text)
{
    int n = 0;
    for (int i = 0; i < doc.PageCount(); ++i)
        n += int(doc.PageTexts(i).count(text));
    return n;
}

// The primitives of one object (by name) on a page, in painting order.
std::vector<const TPrimitive *> ItemsOf(const TReportDocument &doc,
                                        int page,
                                        const QString &name,
                                        TPrimitiveKind kind)
{
    std::vector<const TPrimitive *> out;
    for (const TPrimitive &p : doc.pages[size_t(page)].items) {
        if (p.objectName == name && p.kind == kind)
            out.push_back(&p);
    }
    return out;
}

const TPrimitive *TextItem(const TReportDocument &doc, const QString &text)
{
    for (const TReportPage &page : doc.pages) {
        for (const TPrimitive &p : page.items) {
            if (p.kind == TPrimitiveKind::Text && p.text == text)
                return &p;
        }
    }
    return nullptr;
}

} // namespace

class TestReportPagination : public QObject
{
    Q_OBJECT

private slots:
    void detailsFillPagesWithPageNofM();
    void emptyDataPrintsHeadersOnly();
    void keepTogether_data();
    void newPageBeforeAndAfter();
    void newPageBeforeOnFirstBandAddsNoBlankPage();
    void suppressBandsAndObjects();
    void groupBreaksTotalsAndConditions();
    void groupKeepTogetherAndRepeatedHeader();
    void groupHeaderIsNotLeftAlone();
    void growingTextSplitsAcrossPagesAtLineBoundaries();
    void objectsBelowAGrowingTextMoveDown();
    void noSingleLineLeftAloneAtAPageBreak_data();
    void noSingleLineLeftAloneAtAPageBreak();
    void pageMarksGiveThePageWhereEachRowLands();
    void pageHeaderComesAfterTheReportHeaderOnPageOne();
    void tableRowsGrowWithTheirWrappedText();
    void lineAndParagraphSpacing_data();
    void lineAndParagraphSpacing();
    void rtfSpaceBetweenParagraphsKeepsItsSize();
    void richTextTakesTheObjectsFontWhenAsked();
    void detailColumnsPrintRowsSideBySide();
    void headingKeptWithTheFirstLinesOfItsSection_data();
    void headingKeptWithTheFirstLinesOfItsSection();
    void keptHeadingDoesNotDragTheSectionBeforeIt();
    void nestedSubreportsWalkATreeAndHideDisabledBranches();
};

void TestReportPagination::detailsFillPagesWithPageNofM()
{
    auto data = Numbers(100);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 10
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    // 247 mm / 10 mm = 24 rows a page.
    QCOMPARE(doc->PageCount(), 5);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 24")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 25")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 100")), 5);
    for (int p = 1; p <= 5; ++p) {
        const QStringList texts = doc->PageTexts(p - 1);
        QCOMPARE(texts.first(), QStringLiteral("INTESTAZIONE"));
        QCOMPARE(texts.last(), QStringLiteral("Pagina %1 di 5").arg(p));
    }
    // The caller's dataset keeps its current row.
    QCOMPARE(data->RecNo(), 1);
}

void TestReportPagination::emptyDataPrintsHeadersOnly()
{
    auto data = Numbers(0);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band report-header
  height: 10
  text Nessuno
    rect: 0 0 100 8
    text: Elenco vuoto
band detail
  height: 10
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    QCOMPARE(doc->PageCount(), 1);
    QCOMPARE(doc->PageTexts(0),
             QStringList({QStringLiteral("Elenco vuoto"),
                          QStringLiteral("INTESTAZIONE"),
                          QStringLiteral("Pagina 1 di 1")}));
}

void TestReportPagination::keepTogether_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("firstLinePage");
    QTest::newRow("split between its objects") << false << 1;
    QTest::newRow("kept whole on the next page") << true << 2;
}

void TestReportPagination::newPageBeforeAndAfter()
{
    auto data = Numbers(6);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 10
  new-page-before: {n} = 3
  new-page-after: {n} = 4
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    QCOMPARE(doc->PageCount(), 3);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 2")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 3")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 4")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 5")), 3);
}

void TestReportPagination::newPageBeforeOnFirstBandAddsNoBlankPage()
{
    auto data = Numbers(2);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 10
  new-page-before: yes
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    QCOMPARE(doc->PageCount(), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 1")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 2")), 2);
}

void TestReportPagination::suppressBandsAndObjects()
{
    auto data = Numbers(4);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 10
  suppress: {n} = 2
  field Testo
    rect: 0 0 100 8
    value: {txt}
  text Pari
    rect: 120 0 40 8
    text: PARI
    suppress: not {pari}
)RPT"),
                            in);
    QCOMPARE(doc->PageTexts(0),
             QStringList({QStringLiteral("INTESTAZIONE"),
                          QStringLiteral("Riga 1"),
                          QStringLiteral("Riga 3"),
                          QStringLiteral("Riga 4"),
                          QStringLiteral("PARI"),
                          QStringLiteral("Pagina 1 di 1")}));
    // A suppressed band takes no room: row 3 sits right under row 1.
    double y1 = 0, y3 = 0;
    for (const TPrimitive &p : doc->pages[0].items) {
        if (p.text == u"Riga 1")
            y1 = p.rect.top();
        if (p.text == u"Riga 3")
            y3 = p.rect.top();
    }
    QCOMPARE(qRound(DotsToMm(y3 - y1)), 10);
}

void TestReportPagination::groupBreaksTotalsAndConditions()
{
    auto data = MakeData({QStringLiteral("cat:text"), QStringLiteral("val:real")},
                         {{QStringLiteral("B"), 2.5},
                          {QStringLiteral("A"), 1.0},
                          {QStringLiteral("B"), 4.0},
                          {QStringLiteral("A"), 3.0},
                          {QStringLiteral("C"), 7.25}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
group Cat
  field: cat
band group-header Cat
  height: 8
  field Titolo
    rect: 0 0 100 6
    value: "Categoria " & {cat}
band detail
  height: 6
  field Valore
    rect: 0 0 50 6
    value: {val}
    format: "#,##0.00"
band group-footer Cat
  height: 8
  field Totale
    rect: 0 0 100 6
    value: "Totale " & {cat} & ": " & Format(Sum({val}), "0.00") & " (" & Count() & ")"
band report-footer
  height: 8
  field Generale
    rect: 0 0 100 6
    value: "Generale " & Format(Sum({val}), "0.00")
)RPT"),
                            in);
    QCOMPARE(doc->PageTexts(0),
             QStringList({QStringLiteral("INTESTAZIONE"),
                          QStringLiteral("Categoria A"),
                          QStringLiteral("1,00"),
                          QStringLiteral("3,00"),
                          QStringLiteral("Totale A: 4,00 (2)"),
                          QStringLiteral("Categoria B"),
                          QStringLiteral("2,50"),
                          QStringLiteral("4,00"),
                          QStringLiteral("Totale B: 6,50 (2)"),
                          QStringLiteral("Categoria C"),
                          QStringLiteral("7,25"),
                          QStringLiteral("Totale C: 7,25 (1)"),
                          QStringLiteral("Generale 17,75"),
                          QStringLiteral("Pagina 1 di 1")}));
    // The caller's order is left alone.
    QCOMPARE(data->FieldByName(QStringLiteral("cat")).AsString(), QStringLiteral("B"));
}

void TestReportPagination::groupKeepTogetherAndRepeatedHeader()
{
    // Group A has 20 rows, group B 10 rows of 10 mm; 24 rows fit a page.
    QList<QVariantList> rows;
    for (int i = 1; i <= 20; ++i)
        rows << QVariantList{QStringLiteral("A"), QStringLiteral("A%1").arg(i)};
    for (int i = 1; i <= 10; ++i)
        rows << QVariantList{QStringLiteral("B"), QStringLiteral("B%1").arg(i)};
    auto data = MakeData({QStringLiteral("cat:text"), QStringLiteral("txt:text")}, rows);
    TReportInput in;
    in.main = data.get();
    const QString body = QString::fromUtf8(R"RPT(
group Cat
  field: cat
  keep-together: %1
  repeat-header: %2
band group-header Cat
  height: 10
  field Titolo
    rect: 0 0 100 8
    value: "Gruppo " & {cat}
band detail
  height: 10
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT");
    // Kept together: group B (11 bands) does not fit after A (21 bands) and starts page 2.
    auto kept = Render(kHead + body.arg(u"yes", u"no"), in);
    QCOMPARE(PageOf(*kept, QStringLiteral("Gruppo B")), 2);
    QCOMPARE(PageOf(*kept, QStringLiteral("B1")), 2);
    // Not kept: B starts on page 1 and goes on, its header repeated on page 2.
    auto flowing = Render(kHead + body.arg(u"no", u"yes"), in);
    QCOMPARE(PageOf(*flowing, QStringLiteral("Gruppo B")), 1);
    QCOMPARE(PageOf(*flowing, QStringLiteral("B2")), 1);
    QCOMPARE(PageOf(*flowing, QStringLiteral("B3")), 2);
    QCOMPARE(CountOf(*flowing, QStringLiteral("Gruppo B")), 2);
    QCOMPARE(flowing->PageTexts(1).at(1), QStringLiteral("Gruppo B"));
}

void TestReportPagination::groupHeaderIsNotLeftAlone()
{
    // 23 rows fill 230 mm; a new group header at the bottom would be alone: it moves on.
    QList<QVariantList> rows;
    for (int i = 1; i <= 23; ++i)
        rows << QVariantList{QStringLiteral("A"), QStringLiteral("A%1").arg(i)};
    rows << QVariantList{QStringLiteral("B"), QStringLiteral("B1")};
    auto data = MakeData({QStringLiteral("cat:text"), QStringLiteral("txt:text")}, rows);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
group Cat
  field: cat
  sort: original
band group-header Cat
  height: 7
  field Titolo
    rect: 0 0 100 6
    value: "Gruppo " & {cat}
band detail
  height: 10
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    QCOMPARE(PageOf(*doc, QStringLiteral("A23")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Gruppo B")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("B1")), 2);
}

void TestReportPagination::growingTextSplitsAcrossPagesAtLineBoundaries()
{
    QStringList words;
    for (int i = 1; i <= 400; ++i)
        words << QStringLiteral("parola%1").arg(i);
    auto data = MakeData({QStringLiteral("txt:text")}, {{words.join(u' ')}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 6
  field Testo
    rect: 0 0 40 6
    value: {txt}
    grow: yes
)RPT"),
                            in);
    QVERIFY(doc->PageCount() >= 2);
    // Every word printed exactly once, in order, over the pages.
    QStringList printed;
    for (int p = 0; p < doc->PageCount(); ++p) {
        for (const QString &t : doc->PageTexts(p)) {
            if (t.startsWith(u"parola"))
                printed << t.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        }
    }
    QCOMPARE(printed, words);
    // No piece reaches into the page footer.
    for (const TReportPage &page : doc->pages) {
        for (const TPrimitive &p : page.items) {
            if (p.objectName == u"Testo")
                QVERIFY(DotsToMm(p.rect.bottom()) <= 297 - 15 - 10 + 0.01);
        }
    }
}

void TestReportPagination::objectsBelowAGrowingTextMoveDown()
{
    auto data = MakeData({QStringLiteral("txt:text")},
                         {{QStringLiteral("uno due tre quattro cinque sei sette otto nove "
                                          "dieci undici dodici tredici quattordici")}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 12
  field Testo
    rect: 0 0 20 5
    value: {txt}
    grow: yes
  text Sotto
    rect: 0 6 40 5
    text: SOTTO
  text Accanto
    rect: 30 0 40 5
    text: ACCANTO
)RPT"),
                            in);
    QRectF text, below, beside;
    for (const TPrimitive &p : doc->pages[0].items) {
        if (p.objectName == u"Testo")
            text = p.rect;
        if (p.objectName == u"Sotto")
            below = p.rect;
        if (p.objectName == u"Accanto")
            beside = p.rect;
    }
    QVERIFY(text.height() > MmToDots(10));
    QVERIFY(below.top() >= text.bottom() - 1);
    QCOMPARE(beside.top(), text.top());
}

void TestReportPagination::pageMarksGiveThePageWhereEachRowLands()
{
    auto data = Numbers(60);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 10
  field Marca
    rect: 0 0 100 8
    value: Format(PageNumber, "000") & "|ID" & {n} & "#"
)RPT"),
                            in);
    QCOMPARE(doc->PageCount(), 3);
    QCOMPARE(PageOf(*doc, QStringLiteral("001|ID1#")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("001|ID24#")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("002|ID25#")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("003|ID60#")), 3);
}

void TestReportPagination::pageHeaderComesAfterTheReportHeaderOnPageOne()
{
    auto data = Numbers(1);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band report-header
  height: 20
  text Copertina
    rect: 0 0 100 8
    text: COPERTINA
band detail
  height: 10
  field Testo
    rect: 0 0 100 8
    value: {txt}
)RPT"),
                            in);
    QCOMPARE(doc->PageTexts(0),
             QStringList({QStringLiteral("COPERTINA"),
                          QStringLiteral("INTESTAZIONE"),
                          QStringLiteral("Riga 1"),
                          QStringLiteral("Pagina 1 di 1")}));
}

void TestReportPagination::noSingleLineLeftAloneAtAPageBreak_data()
{
    QTest::addColumn<int>("lines");     // lines of the text
    QTest::addColumn<int>("room");      // whole lines that fit at the foot of page 1
    QTest::addColumn<int>("onPageOne"); // lines printed there
    QTest::newRow("three lines, room for two") << 3 << 2 << 0;
    QTest::newRow("five lines, room for one") << 5 << 1 << 0;
    QTest::newRow("five lines, room for three") << 5 << 3 << 3;
    QTest::newRow("five lines, room for four") << 5 << 4 << 3;
    QTest::newRow("six lines, room for four") << 6 << 4 << 4;
}

void TestReportPagination::noSingleLineLeftAloneAtAPageBreak()
{
    QFETCH(int, lines);
    QFETCH(int, room);
    QFETCH(int, onPageOne);
    QStringList text;
    for (int i = 1; i <= lines; ++i)
        text << QStringLiteral("Riga %1").arg(i);
    auto data = MakeData({QStringLiteral("t:text")}, {{text.join(u'\n')}});
    TReportInput in;
    in.main = data.get();
    auto render = [&](double headerMm) {
        return Render(kHead
                          + QStringLiteral("band report-header\n  height: %1\n"
                                           "band detail\n  height: 1\n  field Testo\n"
                                           "    rect: 0 0 100 1\n    value: {t}\n    grow: yes\n")
                                .arg(headerMm),
                      in);
    };
    // The height of one line, from the text laid out alone.
    const auto probe = render(10);
    const double lineMm = DotsToMm(ItemsOf(*probe, 0, QStringLiteral("Testo"), TPrimitiveKind::Text)
                                       .front()
                                       ->rect.height())
                          / lines;
    const auto doc = render(247 - (room + 0.5) * lineMm);
    const auto first = ItemsOf(*doc, 0, QStringLiteral("Testo"), TPrimitiveKind::Text);
    const int printed = first.empty() ? 0 : int(PrintedText(*first.front()).split(u'\n').size());
    QCOMPARE(printed, onPageOne);
    QCOMPARE(doc->PageCount(), 2);
    const auto second = ItemsOf(*doc, 1, QStringLiteral("Testo"), TPrimitiveKind::Text);
    QCOMPARE(second.size(), size_t(1));
    QCOMPARE(int(PrintedText(*second.front()).split(u'\n').size()), lines - onPageOne);
}

void TestReportPagination::tableRowsGrowWithTheirWrappedText()
{
    const QString longText = QStringLiteral(
        "Quadro di distribuzione in lamiera d'acciaio zincata, verniciato a polveri epossidiche, "
        "con porta trasparente, serratura a chiave, piastra di fondo regolabile in profondità, "
        "ingressi cavi dall'alto e dal basso, predisposto per il montaggio di apparecchiature "
        "modulari e scatolate fino a 630 A.");
    auto data = MakeData({QStringLiteral("voce:text"), QStringLiteral("valore:text")},
                         {{QStringLiteral("Tensione"), QStringLiteral("400 V")},
                          {QStringLiteral("Descrizione"), longText},
                          {QStringLiteral("Colore"), QStringLiteral("RAL 7035")}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band report-header
  height: 6
  table Testata
    rect: 0 0 180 6
    lines: all
    font: bold
    column Voce
      width: 60
      text: Caratteristica
    column Valore
      text: Valore
band detail
  height: 6
  table Righe
    rect: 0 0 180 6
    lines: all
    line-width: 0.2
    alternate: #EEEEEE
    padding: 1 1
    column Voce
      width: 60
      value: {voce}
    column Valore
      value: {valore}
  text Sotto
    rect: 0 6 50 4
    text: sotto
)RPT"),
                            in);
    QCOMPARE(doc->PageCount(), 1);
    const QStringList texts = doc->PageTexts(0);
    QVERIFY(texts.contains(QStringLiteral("Caratteristica")));
    QVERIFY(texts.contains(QStringLiteral("RAL 7035")));
    const TPrimitive *wrapped = TextItem(*doc, longText);
    QVERIFY(wrapped);
    // Every line of the long cell is printed: nothing is clipped by a fixed row height.
    QCOMPARE(PrintedText(*wrapped).replace(u'\n', u' ').simplified(), longText.simplified());
    QVERIFY(PrintedText(*wrapped).count(u'\n') >= 2);

    // Frames: two cells a row, as tall as the row; each row starts below the one before it.
    std::vector<const TPrimitive *> frames;
    for (const TPrimitive *p : ItemsOf(*doc, 0, QStringLiteral("Righe"), TPrimitiveKind::Rect)) {
        if (p->pen.style() != Qt::NoPen)
            frames.push_back(p);
    }
    QCOMPARE(frames.size(), size_t(6));
    const double minRow = MmToDots(6);
    for (int row = 0; row < 3; ++row) {
        const QRectF a = frames[size_t(2 * row)]->rect;
        const QRectF b = frames[size_t(2 * row + 1)]->rect;
        QCOMPARE(a.top(), b.top());
        QCOMPARE(a.height(), b.height());
        QCOMPARE(a.right(), b.left());
        QVERIFY(a.height() >= minRow - 0.01);
        if (row > 0)
            QVERIFY(a.top() >= frames[size_t(2 * row - 2)]->rect.bottom() - 0.01);
    }
    const QRectF grown = frames[2]->rect;
    QVERIFY(grown.height() > 2 * minRow);
    QVERIFY(wrapped->rect.bottom() <= grown.bottom() + 0.01);
    // The object below the table moved down with the row.
    const auto below = ItemsOf(*doc, 0, QStringLiteral("Sotto"), TPrimitiveKind::Text);
    QCOMPARE(below.size(), size_t(3));
    QVERIFY(below[1]->rect.top() >= grown.bottom() - 0.01);
    // Every other row carries the alternate background.
    std::vector<const TPrimitive *> fills;
    for (const TPrimitive *p : ItemsOf(*doc, 0, QStringLiteral("Righe"), TPrimitiveKind::Rect)) {
        if (p->brush.style() != Qt::NoBrush)
            fills.push_back(p);
    }
    QCOMPARE(fills.size(), size_t(1));
    QCOMPARE(fills[0]->brush.color(), QColor(QStringLiteral("#EEEEEE")));
    QCOMPARE(fills[0]->rect, grown.united(frames[3]->rect));
}

void TestReportPagination::lineAndParagraphSpacing_data()
{
    QTest::addColumn<QString>("kind");        // field or richtext
    QTest::addColumn<QString>("objectProps"); // spacing given to the object
    QTest::addColumn<QString>("reportProps"); // or to the report
    QTest::addColumn<double>("ratio");        // height / height without spacing
    QTest::addColumn<double>("extraMm");      // height - height without spacing * ratio

    QTest::newRow("field line spacing") << "field"
                                        << "    line-spacing: 1.5\n"
                                        << "" << 1.5 << 0.0;
    QTest::newRow("field paragraph spacing") << "field"
                                             << "    paragraph-spacing: 3\n"
                                             << "" << 1.0 << 6.0;
    QTest::newRow("report defaults") << "field"
                                     << ""
                                     << "  line-spacing: 1.2\n  paragraph-spacing: 2\n"
                                     << 1.2 << 4.0;
    QTest::newRow("object over report") << "field"
                                        << "    line-spacing: 1\n    paragraph-spacing: 0\n"
                                        << "  line-spacing: 2\n  paragraph-spacing: 5\n"
                                        << 1.0 << 0.0;
    QTest::newRow("rich text line spacing") << "richtext"
                                            << "    line-spacing: 1.5\n"
                                            << "" << 1.5 << 0.0;
    QTest::newRow("rich text paragraph spacing") << "richtext"
                                                 << "    paragraph-spacing: 3\n"
                                                 << "" << 1.0 << 6.0;
}

void TestReportPagination::lineAndParagraphSpacing()
{
    QFETCH(QString, kind);
    QFETCH(QString, objectProps);
    QFETCH(QString, reportProps);
    QFETCH(double, ratio);
    QFETCH(double, extraMm);
    auto data = MakeData({QStringLiteral("t:text")},
                         {{QStringLiteral("Primo paragrafo\nSecondo paragrafo\nTerzo paragrafo")}});
    TReportInput in;
    in.main = data.get();
    auto height = [&](const QString &objProps, const QString &repProps) {
        const QString text = QStringLiteral("report \"Spazi\"\n  font: \"Liberation Sans\" 10\n")
                             + repProps
                             + QStringLiteral("band detail\n  height: 2\n  %1 Testo\n    rect: 0 0 "
                                              "150 1\n    value: {t}\n    grow: yes\n")
                                   .arg(kind)
                             + objProps;
        const auto doc = Render(text, in);
        const TPrimitiveKind k = kind == u"field" ? TPrimitiveKind::Text : TPrimitiveKind::RichText;
        const auto items = ItemsOf(*doc, 0, QStringLiteral("Testo"), k);
        return items.empty() ? 0.0 : items.front()->rect.height();
    };
    const double plain = height(QString(), QString());
    QVERIFY(plain > MmToDots(10));
    const double spaced = height(objectProps, reportProps);
    // Rich text rounds each line on its own: a dot of tolerance per line.
    QVERIFY2(qAbs(spaced - (plain * ratio + MmToDots(extraMm))) < 4,
             qPrintable(QStringLiteral("%1 / %2").arg(spaced).arg(plain)));
}

void TestReportPagination::rtfSpaceBetweenParagraphsKeepsItsSize()
{
    // 567 twips after the first paragraph: 1 cm, not 1 cm scaled once more to the layout.
    auto data = MakeData({QStringLiteral("r:text")},
                         {{QStringLiteral("{\\rtf1\\ansi\\pard Primo\\par\\pard Secondo\\par}")},
                          {QStringLiteral(
                              "{\\rtf1\\ansi\\pard\\sa567 Primo\\par\\pard Secondo\\par}")}});
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(QStringLiteral("report \"x\"\nband detail\n  height: 1\n"
                                           "  richtext Testo\n    rect: 0 0 100 1\n"
                                           "    value: {r}\n    grow: yes\n"),
                            in);
    const auto items = ItemsOf(*doc, 0, QStringLiteral("Testo"), TPrimitiveKind::RichText);
    QCOMPARE(items.size(), size_t(2));
    QVERIFY2(qAbs(items[1]->rect.height() - items[0]->rect.height() - MmToDots(10)) < 2,
             qPrintable(QString::number(items[1]->rect.height() - items[0]->rect.height())));
}

void TestReportPagination::richTextTakesTheObjectsFontWhenAsked()
{
    auto data = MakeData({QStringLiteral("r:text")},
                         {{QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs40 Testo "
                                          "\\b grassetto\\b0  e \\i corsivo\\i0\\par}")}});
    TReportInput in;
    in.main = data.get();
    for (const bool override : {false, true}) {
        const auto doc = Render(QStringLiteral("report \"x\"\nband detail\n  height: 1\n"
                                               "  richtext Testo\n    rect: 0 0 150 1\n"
                                               "    value: {r}\n    grow: yes\n"
                                               "    font: \"DejaVu Serif\" 9\n"
                                               "    override-font: %1\n")
                                    .arg(override ? u"yes" : u"no"),
                                in);
        const auto items = ItemsOf(*doc, 0, QStringLiteral("Testo"), TPrimitiveKind::RichText);
        QCOMPARE(items.size(), size_t(1));
        QStringList styles;
        for (QTextBlock b = items[0]->document->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (override) {
                    QCOMPARE(f.fontPointSize(), 9.0);
                    QCOMPARE(f.font().family(), QStringLiteral("DejaVu Serif"));
                } else {
                    QCOMPARE(f.fontPointSize(), 20.0);
                }
                styles << QString(QChar(f.fontWeight() >= QFont::Bold ? u'B' : u'-'))
                              + QChar(f.fontItalic() ? u'I' : u'-');
            }
        }
        // Bold and italic stay where the text put them.
        QVERIFY2(styles.contains(QStringLiteral("B-")), qPrintable(styles.join(u',')));
        QVERIFY(styles.contains(QStringLiteral("-I")));
    }
}

void TestReportPagination::detailColumnsPrintRowsSideBySide()
{
    auto data = Numbers(45);
    TReportInput in;
    in.main = data.get();
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 20
  columns: 3
  field Testo
    rect: 0 0 50 18
    value: {txt}
band report-footer
  height: 6
  text Fine
    rect: 0 0 50 5
    text: Fine elenco
)RPT"),
                            in);
    // 15 rows of three columns, 12 on a page (247 mm).
    QCOMPARE(doc->PageCount(), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 36")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Riga 37")), 2);
    const TPrimitive *r1 = TextItem(*doc, QStringLiteral("Riga 1"));
    const TPrimitive *r2 = TextItem(*doc, QStringLiteral("Riga 2"));
    const TPrimitive *r3 = TextItem(*doc, QStringLiteral("Riga 3"));
    const TPrimitive *r4 = TextItem(*doc, QStringLiteral("Riga 4"));
    QVERIFY(r1 && r2 && r3 && r4);
    QCOMPARE(r2->rect.top(), r1->rect.top());
    QCOMPARE(r3->rect.top(), r1->rect.top());
    QCOMPARE(r2->rect.left() - r1->rect.left(), MmToDots(60));
    QCOMPARE(r3->rect.left() - r1->rect.left(), MmToDots(120));
    QCOMPARE(r4->rect.left(), r1->rect.left());
    QCOMPARE(r4->rect.top() - r1->rect.top(), MmToDots(20));
    // What follows the columns starts below the last row.
    const TPrimitive *r45 = TextItem(*doc, QStringLiteral("Riga 45"));
    const TPrimitive *end = TextItem(*doc, QStringLiteral("Fine elenco"));
    QVERIFY(r45 && end);
    QCOMPARE(end->rect.top() - r45->rect.top(), MmToDots(20));
    QCOMPARE(end->rect.left(), r1->rect.left());

    // A band background lies under the whole row, also under a row with a column left free.
    auto four = Numbers(4);
    in.main = four.get();
    const auto tinted = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 20
  columns: 3
  background: #EEEEEE
  name: Righe
  field Testo
    rect: 0 0 50 18
    value: {txt}
)RPT"),
                               in);
    const auto fills = ItemsOf(*tinted, 0, QStringLiteral("Righe"), TPrimitiveKind::Rect);
    QCOMPARE(fills.size(), size_t(2));
    for (const TPrimitive *f : fills) {
        QCOMPARE(f->rect.width(), MmToDots(180));
        QCOMPARE(f->rect.height(), MmToDots(20));
    }
}

void TestReportPagination::headingKeptWithTheFirstLinesOfItsSection_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("headingPage");
    QTest::newRow("kept with next") << true << 2;
    QTest::newRow("left alone") << false << 1;
}

void TestReportPagination::headingKeptWithTheFirstLinesOfItsSection()
{
    QFETCH(bool, keep);
    QFETCH(int, headingPage);
    auto sections = MakeData({QStringLiteral("sez:int")}, {{1}, {2}});
    QList<QVariantList> rows;
    for (int i = 1; i <= 23; ++i)
        rows << QVariantList{1, QStringLiteral("Voce 1.%1").arg(i)};
    rows << QVariantList{2, QStringLiteral("Voce 2.1")}
         << QVariantList{2, QStringLiteral("Voce 2.2")};
    auto items = MakeData({QStringLiteral("sez:int"), QStringLiteral("voce:text")}, rows);
    TReportInput in;
    in.main = sections.get();
    in.subreports = {{QStringLiteral("Voci"), items.get()}};
    // Section 1 takes 8 + 23 x 10 = 238 of 247 mm: the heading of section 2 fits in the 9 mm
    // left, its first line does not.
    const auto doc = Render(kHead
                                + QStringLiteral(R"RPT(
band detail
  height: 12
  keep-with-next: %1
  field Titolo
    rect: 0 0 100 8
    value: "Sezione " & {sez}
  subreport Voci
    rect: 0 8 180 4
    report: Voci
    link: sez = sez
subreport Voci
  band detail
    height: 10
    field Voce
      rect: 0 0 100 8
      value: {voce}
)RPT")
                                      .arg(keep ? QStringLiteral("yes") : QStringLiteral("no")),
                            in);
    QCOMPARE(PageOf(*doc, QStringLiteral("Voce 1.23")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Sezione 2")), headingPage);
    QCOMPARE(PageOf(*doc, QStringLiteral("Voce 2.1")), 2);
    // Only the first line goes with the heading: the rest of a long section still flows.
    QCOMPARE(PageOf(*doc, QStringLiteral("Sezione 1")), 1);
}

void TestReportPagination::keptHeadingDoesNotDragTheSectionBeforeIt()
{
    auto sections = MakeData({QStringLiteral("sez:int")}, {{1}, {2}});
    QList<QVariantList> rows;
    for (int s = 1; s <= 2; ++s) {
        for (int i = 1; i <= 10; ++i)
            rows << QVariantList{s, QStringLiteral("Voce %1.%2").arg(s).arg(i)};
    }
    auto items = MakeData({QStringLiteral("sez:int"), QStringLiteral("voce:text")}, rows);
    TReportInput in;
    in.main = sections.get();
    in.subreports = {{QStringLiteral("Voci"), items.get()}};
    // 127 mm of header leave 120 mm: section 1 (8 + 10 x 10 = 108 mm) fits; with the heading
    // and first line of section 2 (18 mm) it would not.
    const auto doc = Render(kHead + QStringLiteral(R"RPT(
band report-header
  height: 127
  text Apertura
    rect: 0 0 100 8
    text: Apertura
band detail
  height: 12
  keep-with-next: yes
  field Titolo
    rect: 0 0 100 8
    value: "Sezione " & {sez}
  subreport Voci
    rect: 0 8 180 4
    report: Voci
    link: sez = sez
subreport Voci
  band detail
    height: 10
    field Voce
      rect: 0 0 100 8
      value: {voce}
)RPT"),
                            in);
    QCOMPARE(PageOf(*doc, QStringLiteral("Sezione 1")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Voce 1.10")), 1);
    QCOMPARE(PageOf(*doc, QStringLiteral("Sezione 2")), 2);
    QCOMPARE(PageOf(*doc, QStringLiteral("Voce 2.1")), 2);
}

void TestReportPagination::nestedSubreportsWalkATreeAndHideDisabledBranches()
{
    auto root = MakeData({QStringLiteral("id:text")}, {{QStringLiteral("R")}});
    auto nodes = MakeData({QStringLiteral("id:text"),
                           QStringLiteral("padre:text"),
                           QStringLiteral("nome:text"),
                           QStringLiteral("attivo:int")},
                          {{"A", "R", "Alfa", 1},
                           {"A1", "A", "Alfa uno", 1},
                           {"A2", "A", "Alfa due", 1},
                           {"B", "R", "Beta", 0},
                           {"B1", "B", "Beta uno", 1},
                           {"C", "R", "Gamma", 1},
                           {"C1", "C", "Gamma uno", 0}});
    TReportInput in;
    in.main = root.get();
    // Only the first level is bound; the second reads the same rows under another layout.
    in.subreports = {{QStringLiteral("Nodi"), nodes.get()}};
    const auto doc = Render(kHead + QString::fromUtf8(R"RPT(
band detail
  height: 2
  subreport Nodi
    rect: 0 0 180 2
    report: Nodi
    link: id = padre
subreport Nodi
  band detail
    height: 7
    suppress: {attivo} = 0
    field Nome
      rect: 0 0 100 5
      value: {nome}
    subreport Figli
      rect: 10 5 170 2
      report: Figli
      link: id = padre
subreport Figli
  data: Nodi
  band detail
    height: 5
    suppress: {attivo} = 0
    field Nome
      rect: 0 0 100 5
      value: "- " & {nome}
)RPT"),
                            in);
    QStringList body = doc->PageTexts(0);
    body.removeFirst(); // page header
    body.removeLast();  // page footer
    QCOMPARE(body,
             QStringList({QStringLiteral("Alfa"),
                          QStringLiteral("- Alfa uno"),
                          QStringLiteral("- Alfa due"),
                          QStringLiteral("Gamma")}));
    const TPrimitive *child = TextItem(*doc, QStringLiteral("- Alfa uno"));
    const TPrimitive *parent = TextItem(*doc, QStringLiteral("Alfa"));
    QCOMPARE(child->rect.left() - parent->rect.left(), MmToDots(10));
}

QTEST_MAIN(TestReportPagination)
#include "tst_reportpagination.moc"
