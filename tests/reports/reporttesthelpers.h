#pragma once

// Small helpers shared by the report tests: in-memory datasets, definitions from text, and
// what a reader of a PDF sees (poppler's pdftotext, pdfinfo, pdfimages).

#include "db/dataset.h"
#include "reports/reportdefinition.h"
#include "reports/reportengine.h"
#include "reports/reportparser.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <QVariant>

#include <memory>

namespace rpt_test {

// Fields as "name:type" (text, int, real, flag, date, blob); rows as lists of values.
inline std::unique_ptr<TDataSet> MakeData(const QStringList &fields, const QList<QVariantList> &rows)
{
    auto ds = std::make_unique<TDataSet>();
    for (const QString &f : fields) {
        const QString name = f.section(u':', 0, 0);
        const QString type = f.section(u':', 1, 1);
        TFieldType t = TFieldType::Text;
        if (type == u"int")
            t = TFieldType::Integer;
        else if (type == u"real")
            t = TFieldType::Real;
        else if (type == u"flag")
            t = TFieldType::Flag;
        else if (type == u"date")
            t = TFieldType::DateTime;
        else if (type == u"blob")
            t = TFieldType::Blob;
        ds->AddFieldDef(name, t);
    }
    ds->CreateDataSet();
    for (const QVariantList &row : rows) {
        ds->Append();
        for (int i = 0; i < row.size(); ++i)
            ds->Fields(i).SetValue(row.at(i));
        ds->Post();
    }
    ds->First();
    return ds;
}

inline std::unique_ptr<TReportDefinition> Parse(const QString &text,
                                                const QString &name = QStringLiteral("test.RPT"))
{
    return ParseReportDefinition(text, name);
}

inline std::unique_ptr<TReportDocument> Render(const QString &text, TReportInput input = {})
{
    auto def = Parse(text);
    if (!input.printTime.isValid())
        input.printTime = QDateTime(QDate(2024, 3, 15), QTime(10, 30));
    return RenderReport(*def, input);
}

inline QString Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline bool RunOk(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The text of each page as pdftotext reads it (whitespace collapsed).
inline QStringList PdfPages(const QString &pdf)
{
    QStringList pages = Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
                            .split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString &p : pages)
        p = p.simplified();
    return pages;
}

inline int PdfPageCount(const QString &pdf)
{
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Images listed by pdfimages, as (page, width, height).
struct PdfImage
{
    int page;
    int width;
    int height;
};
inline QList<PdfImage> PdfImages(const QString &pdf)
{
    QList<PdfImage> out;
    const QStringList lines = Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                  .split(u'\n');
    for (const QString &line : lines.mid(2)) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 5 || f.at(2) != u"image")
            continue;
        out.append({f.at(0).toInt(), f.at(3).toInt(), f.at(4).toInt()});
    }
    return out;
}

// The texts of every page of a document, joined per page with "|".
inline QStringList PageTexts(const TReportDocument &doc)
{
    QStringList out;
    for (int i = 0; i < doc.PageCount(); ++i)
        out << doc.PageTexts(i).join(u'|');
    return out;
}

// A small PNG or JPEG image.
inline QByteArray ImageBytes(int w, int h, const QColor &c, const char *format = "PNG")
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

} // namespace rpt_test

#include "reports/reportprinter.h"

#include <QPrinter>

namespace rpt_test {

// Printers for tests: every printer writes a PDF file; the names asked for are recorded.
class PdfPrinters : public TReportPrinterProvider
{
public:
    explicit PdfPrinters(const QString &output)
        : m_output(output)
    {
        SetReportPrinterProvider(this);
    }
    ~PdfPrinters() override { SetReportPrinterProvider(nullptr); }
    QStringList PrinterNames() override
    {
        return {QStringLiteral("Ufficio"), QStringLiteral("PDF di prova")};
    }
    QString DefaultPrinterName() override { return QStringLiteral("PDF di prova"); }
    std::unique_ptr<QPrinter> CreatePrinter(const QString &name) override
    {
        asked << name;
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(m_output);
        p->setPrinterName(name);
        return p;
    }
    QStringList asked;

private:
    QString m_output;
};

inline void WriteText(const QString &path, const QString &text)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
}

} // namespace rpt_test
