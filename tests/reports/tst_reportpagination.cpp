// Pagination rules checked on the page model, without painting.

#include "reporttesthelpers.h"

#include <QTest>

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
    void pageMarksGiveThePageWhereEachRowLands();
    void pageHeaderComesAfterTheReportHeaderOnPageOne();
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

QTEST_MAIN(TestReportPagination)
#include "tst_reportpagination.moc"
