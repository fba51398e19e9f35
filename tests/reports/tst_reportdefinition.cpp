// Definition files: what the parser accepts, the message for what it refuses, and the
// expressions and formats of field objects.

#include "reporttesthelpers.h"

#include "reports/reportexpression.h"

#include <QTest>

using namespace rpt_test;

namespace {

// Fields of one row for expressions.
class RowContext : public TExprContext
{
public:
    QHash<QString, QVariant> fields;
    QVariant FieldValue(const TExprNode &f) override { return fields.value(f.name); }
    QVariant ParameterValue(const QString &) override { return QStringLiteral("SI"); }
    QVariant FormulaValue(const QString &) override { return QVariant(); }
    QVariant SpecialValue(TSpecialValue) override { return 7; }
    QVariant AggregateValue(const TExprNode &) override { return QVariant(); }
};

QString Eval(const QString &expr)
{
    RowContext ctx;
    ctx.fields.insert(QStringLiteral("n"), 1234.5);
    ctx.fields.insert(QStringLiteral("i"), qlonglong(7));
    ctx.fields.insert(QStringLiteral("t"), QStringLiteral("Valvola DN50"));
    ctx.fields.insert(QStringLiteral("d"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    ctx.fields.insert(QStringLiteral("nul"), QVariant());
    ctx.fields.insert(QStringLiteral("f"), true);
    return ValueToText(EvaluateExpression(*ParseExpression(expr), ctx));
}

const QString kMinimal = QStringLiteral("report \"x\"\n");

} // namespace

class TestReportDefinition : public QObject
{
    Q_OBJECT

private slots:
    void expressions_data();
    void expressions();
    void badExpressions_data();
    void badExpressions();
    void readsEveryPart();
    void malformedFilesNameFileAndLine_data();
    void malformedFilesNameFileAndLine();
    void unreadableFile();
};

void TestReportDefinition::expressions_data()
{
    QTest::addColumn<QString>("expr");
    QTest::addColumn<QString>("text");
    QTest::newRow("thousands and decimals") << "Format({n}, \"#,##0.00\")"
                                            << "1.234,50";
    QTest::newRow("currency prefix") << "Format({n} * 1000, \"€ #,##0.00\")"
                                     << "€ 1.234.500,00";
    QTest::newRow("zero padded") << "Format({i}, \"000\")"
                                 << "007";
    QTest::newRow("optional decimals") << "Format(2.5, \"0.##\")"
                                       << "2,5";
    QTest::newRow("rounding half away") << "Format(-2.345, \"0.00\")"
                                        << "-2,35";
    QTest::newRow("negative zero") << "Format(-0.001, \"0.00\")"
                                   << "0,00";
    QTest::newRow("date") << "Format({d}, \"dd/mm/yyyy\")"
                          << "05/03/2024";
    QTest::newRow("date and time") << "Format({d}, \"dd/mm/yyyy hh:nn:ss\")"
                                   << "05/03/2024 14:07:09";
    QTest::newRow("month name") << "Format({d}, \"d mmmm yyyy\")"
                                << "5 marzo 2024";
    QTest::newRow("flag texts") << "Format({f}, \"Sì;No\")"
                                << "Sì";
    QTest::newRow("default real") << "{n}"
                                  << "1.234,50";
    QTest::newRow("default integer") << "{i} * 1000"
                                     << "7000";
    QTest::newRow("default date") << "{d}"
                                  << "05/03/2024 14:07:09";
    QTest::newRow("join") << "{t} & \" - \" & {i}"
                          << "Valvola DN50 - 7";
    QTest::newRow("plus on texts") << "\"N. \" + {i}"
                                   << "N. 7";
    QTest::newRow("null joins as empty") << "\"[\" & {nul} & \"]\""
                                         << "[]";
    QTest::newRow("null in sums") << "IsNull({nul} + 1)"
                                  << "SI";
    QTest::newRow("if then else") << "if {i} > 5 then \"alto\" else \"basso\""
                                  << "alto";
    QTest::newRow("iif") << "IIf({t} = \"valvola dn50\", \"uguale\", \"diverso\")"
                         << "uguale";
    QTest::newRow("text functions")
        << "Upper(Left({t}, 3)) & Mid({t}, 8) & Len({t}) & Right({t}, 2)"
        << "VAL DN501250";
    QTest::newRow("instr and replace") << "InStr({t}, \"DN\") & Replace({t}, \"DN\", \"Ø\")"
                                       << "9Valvola Ø50";
    QTest::newRow("precedence") << "1 + 2 * 3 - 4 / 2"
                                << "5,00";
    QTest::newRow("logic") << "not ({i} < 3 or {f} and false)"
                           << "SI";
    QTest::newRow("parameter") << "{?flShowCover} = \"si\""
                               << "SI";
    QTest::newRow("date parts") << "Year({d}) * 100 + Month({d})"
                                << "202403";
    QTest::newRow("division by zero") << "IsNull({i} / 0)"
                                      << "SI";
    QTest::newRow("quotes doubled") << "'l''altro' & \" \"\"x\"\"\""
                                    << "l'altro \"x\"";
    QTest::newRow("round") << "Round(2.5) & \"|\" & Round(-2.5) & \"|\" & Round(1.005, 2)"
                           << "3,00|-3,00|1,01";
}

void TestReportDefinition::expressions()
{
    QFETCH(QString, expr);
    QFETCH(QString, text);
    QCOMPARE(Eval(expr), text);
}

void TestReportDefinition::badExpressions_data()
{
    QTest::addColumn<QString>("expr");
    QTest::addColumn<QString>("message");
    QTest::newRow("bare name") << "txDescrizione"
                               << "{txDescrizione}";
    QTest::newRow("unknown function") << "Pippo(1)"
                                      << "funzione sconosciuta";
    QTest::newRow("arguments") << "Left(\"x\")"
                               << "numero di argomenti";
    QTest::newRow("open quote") << "\"abc"
                                << "non chiuso";
    QTest::newRow("open brace") << "{abc"
                                << "graffa";
    QTest::newRow("trailing") << "1 2"
                              << "inatteso";
    QTest::newRow("incomplete") << "1 +"
                                << "incompleta";
}

void TestReportDefinition::badExpressions()
{
    QFETCH(QString, expr);
    QFETCH(QString, message);
    try {
        ParseExpression(expr);
        QFAIL("accepted");
    } catch (const EExprError &e) {
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
}

void TestReportDefinition::readsEveryPart()
{
    auto def = Parse(QString::fromUtf8(R"RPT(# Prova
report "Listino"
  page: A5 landscape
  margins: 10 12 14 16    # sinistra alto destra basso
  font: "DejaVu Sans" 8
  sort: txNome desc, nuPrezzo
parameter flShowCover
  type: text
  default: "SI"
formula Netto
  type: number
  value: {nuPrezzo} *
    (1 - {nuSconto} / 100)
group Categoria
  field: {txCategoria}
  condition: monthly
  keep-together: yes
  repeat-header: yes
band group-header Categoria
  height: 8
  background: #EEEEEE
  field Nome
    rect: 0 0 50 6
    value: {txCategoria}
    font: bold italic 12
    align: center
    valign: middle
band detail
  height: 6
  keep-together: yes
  suppress: {?flShowCover} = "NO"
  line Riga
    from: 0 5.5
    to: 120 5.5
    width: 0.2
    style: dash
    color: #808080
  subreport Listini
    rect: 10 6 100 4
    report: DettProd_Listini.rpt
    link: idProdotto = idProdotto
subreport DettProd_Listini
  sort: nuOrdine
  band detail
    height: 5
    field Prezzo
      rect: 0 0 30 5
      value: {nuPrezzo}
      format: "#,##0.00"
)RPT"));
    QCOMPARE(def->title, QStringLiteral("Listino"));
    QCOMPARE(def->page.orientation, QPageLayout::Landscape);
    QCOMPARE(def->page.SizeMm().toSize(), QSize(210, 148));
    QCOMPARE(def->page.marginRight, 14.0);
    QCOMPARE(def->font.family, QStringLiteral("DejaVu Sans"));
    QCOMPARE(def->main.sort.size(), size_t(2));
    QCOMPARE(def->main.sort[0].order, TReportSortOrder::Descending);
    QVERIFY(def->FindParameter(QStringLiteral("FLSHOWCOVER")));
    QVERIFY(def->FindFormula(QStringLiteral("netto")));
    QCOMPARE(def->main.groups.size(), size_t(1));
    const TReportGroup &g = def->main.groups[0];
    QCOMPARE(g.field, QStringLiteral("txCategoria"));
    QCOMPARE(g.condition, TGroupCondition::Monthly);
    QVERIFY(g.keepTogether && g.repeatHeader);
    QCOMPARE(g.headers.size(), size_t(1));
    const TReportObject &nome = *g.headers[0]->objects[0];
    QCOMPARE(nome.font.bold, 1);
    QCOMPARE(nome.font.pointSize, 12.0);
    QCOMPARE(nome.align, Qt::AlignHCenter);
    const TReportBand &detail = *def->main.BandsOf(TBandKind::Detail)[0];
    QVERIFY(detail.keepTogether);
    QCOMPARE(detail.objects[0]->lineStyle, Qt::DashLine);
    QCOMPARE(detail.objects[1]->links.size(), size_t(1));
    QVERIFY(def->FindSubreport(QStringLiteral("dettprod_listini.RPT")));
}

void TestReportDefinition::malformedFilesNameFileAndLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "# niente\n" << 1 << "vuoto";
    QTest::newRow("no report block") << "band detail\n  height: 5\n" << 1 << "\"report\"";
    QTest::newRow("unknown block") << kMinimal + "tabella x\n" << 2 << "blocco sconosciuto";
    QTest::newRow("unknown band") << kMinimal + "band corpo\n  height: 5\n"
                                  << 2 << "banda sconosciuta";
    QTest::newRow("band without height") << kMinimal + "band detail\n" << 2 << "height";
    QTest::newRow("tab indent") << kMinimal + "band detail\n\theight: 5\n" << 3 << "tabulazione";
    QTest::newRow("misaligned") << kMinimal + "band detail\n    height: 5\n  text A\n"
                                << 4 << "rientro";
    QTest::newRow("unknown property")
        << kMinimal + "band detail\n  height: 5\n  text A\n    rect: 0 0 1 1\n    colore: red\n"
        << 6 << "proprietà sconosciuta \"colore\"";
    QTest::newRow("bad number") << kMinimal + "band detail\n  height: cinque\n"
                                << 3 << "numero non valido";
    QTest::newRow("rect needs four")
        << kMinimal + "band detail\n  height: 5\n  text A\n    rect: 1 2\n"
        << 5 << "4 numeri";
    QTest::newRow("object without rect") << kMinimal + "band detail\n  height: 5\n  text A\n"
                                         << 4 << "senza posizione";
    QTest::newRow("field without value")
        << kMinimal + "band detail\n  height: 5\n  field A\n    rect: 0 0 1 1\n"
        << 4 << "value";
    QTest::newRow("bad expression")
        << kMinimal + "band detail\n  height: 5\n  field A\n    rect: 0 0 1 1\n    value: {a} +\n"
        << 6 << "espressione non valida";
    QTest::newRow("open quote") << kMinimal
                                       + "band detail\n  height: 5\n  text A\n    rect: 0 0 1 1\n"
                                         "    text: \"aperta\n"
                                << 6 << "virgolette";
    QTest::newRow("unknown group") << kMinimal + "band group-header G\n  height: 5\n"
                                   << 2 << "gruppo \"G\" non definito";
    QTest::newRow("unknown subreport")
        << kMinimal
               + "band detail\n  height: 5\n  subreport S\n    rect: 0 0 1 1\n    report: Manca\n"
        << 4 << "sottoreport \"Manca\" non definito";
    QTest::newRow("undeclared parameter")
        << kMinimal + "band detail\n  height: 5\n  suppress: {?flMancante} = \"SI\"\n"
        << 2 << "parametro \"flMancante\" non dichiarato";
    QTest::newRow("undefined formula")
        << kMinimal + "band detail\n  height: 5\n  field A\n    rect: 0 0 1 1\n    value: {@X}\n"
        << 4 << "formula \"X\" non definita";
    QTest::newRow("formula cycle") << kMinimal
                                          + "formula A\n  value: {@B} + 1\nformula B\n  value: "
                                            "{@A}\n"
                                   << 3 << "richiama se stessa";
    QTest::newRow("page header in subreport")
        << kMinimal + "subreport S\n  band page-header\n    height: 5\n"
        << 3 << "intestazione";
    QTest::newRow("bad flag") << kMinimal + "band detail\n  height: 5\n  keep-together: forse\n"
                              << 4 << "yes o no";
    QTest::newRow("bad colour") << kMinimal + "band detail\n  height: 5\n  background: rossiccio\n"
                                << 4 << "colore non valido";
    QTest::newRow("margins too large") << "report \"x\"\n  margins: 120\n"
                                       << 1 << "margini troppo grandi";
    QTest::newRow("table without columns")
        << kMinimal + "band detail\n  height: 5\n  table T\n    rect: 0 0 100 5\n"
        << 4 << "senza colonne";
    QTest::newRow("columns wider than the table")
        << kMinimal
               + "band detail\n  height: 5\n  table T\n    rect: 0 0 50 5\n    column A\n"
                 "      width: 40\n      text: a\n    column B\n      width: 20\n      text: b\n"
        << 4 << "più larghe della tabella";
    QTest::newRow("unknown column property")
        << kMinimal
               + "band detail\n  height: 5\n  table T\n    rect: 0 0 50 5\n    column A\n"
                 "      colore: red\n"
        << 7 << "proprietà sconosciuta \"colore\" in colonna \"A\"";
    QTest::newRow("page number in a cell")
        << kMinimal
               + "band detail\n  height: 5\n  table T\n    rect: 0 0 50 5\n    column A\n"
                 "      value: PageNumber\n"
        << 7 << "numero di pagina";
    QTest::newRow("line spacing out of range")
        << kMinimal + "band detail\n  height: 5\n  text A\n    rect: 0 0 1 1\n    line-spacing: 5\n"
        << 6 << "interlinea";
    QTest::newRow("columns outside a detail band")
        << kMinimal + "band report-header\n  height: 5\n  columns: 3\n"
        << 4 << "proprietà sconosciuta \"columns\"";
    QTest::newRow("columns not whole") << kMinimal + "band detail\n  height: 5\n  columns: 2.5\n"
                                       << 4 << "numero intero";
}

void TestReportDefinition::malformedFilesNameFileAndLine()
{
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(QString, message);
    try {
        ParseReportDefinition(text, QStringLiteral("/percorso/Reports/listino.RPT"));
        QFAIL("accepted");
    } catch (const EReportError &e) {
        const QString expected = QStringLiteral("File di report \"listino.RPT\", riga %1: ")
                                     .arg(line);
        QVERIFY2(e.text().startsWith(expected), qPrintable(e.text()));
        QVERIFY2(e.text().contains(message), qPrintable(e.text()));
    }
}

void TestReportDefinition::unreadableFile()
{
    try {
        LoadReportDefinition(QStringLiteral("/nessuna/cartella/x.RPT"));
        QFAIL("read");
    } catch (const EReportError &e) {
        QVERIFY(e.text().contains(QLatin1String("/nessuna/cartella/x.RPT")));
    }
}

QTEST_MAIN(TestReportDefinition)
#include "tst_reportdefinition.moc"
