#include "reports/krtcrystalreport.h"

#include "common/dialogs.h"
#include "common/files.h"
#include "db/dataset.h"
#include "reports/krtviewreport.h"
#include "reports/reportdatafile.h"
#include "reports/reportparser.h"
#include "reports/reportprinter.h"
#include "reports/reportrender.h"
#include "reports/smtpmail.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

class WaitCursor
{
public:
    WaitCursor()
    {
        m_set = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
        if (m_set)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_set = false;
};

// ReportName without its extension, with "/" separators, made absolute on the program folder.
QString ReportBasePath(const QString &reportName)
{
    QString name = reportName.trimmed();
    name.replace(u'\\', u'/');
    if (name.isEmpty())
        return name;
    if (QFileInfo(name).isRelative())
        name = ProgramFolder() + name;
    const QFileInfo fi(name);
    if (!fi.suffix().isEmpty())
        name = fi.path() + u'/' + fi.completeBaseName();
    return name;
}

// The name as the operator reads it in the missing-file message: without extension.
QString StrippedName(const QString &reportName)
{
    QString name = reportName.trimmed();
    const int slash = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    const int dot = name.lastIndexOf(u'.');
    if (dot > slash)
        name.truncate(dot);
    return name;
}

TReportSortOrder SortOf(TKRTSortDirection d)
{
    switch (d) {
    case sdKRTAscending:
        return TReportSortOrder::Ascending;
    case sdKRTDescending:
        return TReportSortOrder::Descending;
    default:
        return TReportSortOrder::Original;
    }
}

TGroupCondition ConditionOf(TKRTGroupCondition c)
{
    switch (c) {
    case gcKRTAnnually:
        return TGroupCondition::Annually;
    case gcKRTBiweekly:
        return TGroupCondition::Biweekly;
    case gcKRTByAMPM:
        return TGroupCondition::ByAMPM;
    case gcKRTByHour:
        return TGroupCondition::ByHour;
    case gcKRTByMinute:
        return TGroupCondition::ByMinute;
    case gcKRTBySecond:
        return TGroupCondition::BySecond;
    case gcKRTDaily:
        return TGroupCondition::Daily;
    case gcKRTEveryNo:
        return TGroupCondition::EveryNo;
    case gcKRTEveryYes:
        return TGroupCondition::EveryYes;
    case gcKRTMonthly:
        return TGroupCondition::Monthly;
    case gcKRTNextIsNo:
        return TGroupCondition::NextIsNo;
    case gcKRTNextIsYes:
        return TGroupCondition::NextIsYes;
    case gcKRTQuarterly:
        return TGroupCondition::Quarterly;
    case gcKRTSemiAnnually:
        return TGroupCondition::SemiAnnually;
    case gcKRTSemimonthly:
        return TGroupCondition::Semimonthly;
    case gcKRTToNo:
        return TGroupCondition::ToNo;
    case gcKRTToYes:
        return TGroupCondition::ToYes;
    case gcKRTWeekly:
        return TGroupCondition::Weekly;
    default:
        return TGroupCondition::AnyValue;
    }
}

QString FormatName(TKRTVRExpFmtTypeConstants f)
{
    switch (f) {
    case exfKRTVRHTML32:
        return QStringLiteral("HTML 3.2");
    case exfKRTHTML40:
        return QStringLiteral("HTML 4.0");
    case exfKRTExcel50:
        return QStringLiteral("Excel 5.0");
    case exfKRTExcel70:
        return QStringLiteral("Excel 7.0");
    case exfKRTExcel80:
        return QStringLiteral("Excel 8.0");
    case exfKRTCommaSepValues:
        return QStringLiteral("CSV");
    case exfKRTText:
        return QStringLiteral("testo");
    case exfKRTWord:
        return QStringLiteral("Word");
    case exfKRTCrystal:
        return QStringLiteral("report con dati");
    case exfKRTPDF:
        return QStringLiteral("PDF");
    case exfKRTRichText:
    case exfKRTRTF:
        return QStringLiteral("RTF");
    case exfKRTXML:
        return QStringLiteral("XML");
    }
    return QString();
}

} // namespace

int KRTExportFormatCode(TKRTVRExpFmtTypeConstants format)
{
    switch (format) {
    case exfKRTVRHTML32:
        return 24;
    case exfKRTHTML40:
        return 32;
    case exfKRTExcel50:
        return 21;
    case exfKRTExcel70:
        return 27;
    case exfKRTExcel80:
        return 29;
    case exfKRTCommaSepValues:
        return 5;
    case exfKRTText:
        return 8;
    case exfKRTWord:
        return 14;
    case exfKRTCrystal:
        return 1;
    case exfKRTPDF:
        return 31;
    case exfKRTRichText:
        return 4;
    case exfKRTXML:
        return 37;
    case exfKRTRTF:
        return 4;
    }
    return 0;
}

const RPTSubReport *RPTSubReports::GetItem(const QString &indexOrName) const
{
    bool isNumber = false;
    const int index = indexOrName.trimmed().toInt(&isNumber);
    if (isNumber)
        return index >= 0 && index < Count() ? &m_items[size_t(index)] : nullptr;
    const int i = IndexOf(indexOrName, Qt::CaseInsensitive);
    return i >= 0 ? &m_items[size_t(i)] : nullptr;
}

QStringList RPTEmailOptions::MissingItems() const
{
    QStringList out;
    if (AccountObblig && AccountUserID.trimmed().isEmpty())
        out << QStringLiteral("- Nome Account");
    if (AccountObblig && AccountPassword.isEmpty())
        out << QStringLiteral("- Password Account");
    if (AccountMailServer.trimmed().isEmpty())
        out << QStringLiteral("- Server Posta In Uscita (SMTP)");
    if (ToEmail.trimmed().isEmpty())
        out << QStringLiteral("- Indirizzo Email A:");
    return out;
}

TKRTCrystalReport::TKRTCrystalReport(QObject *parent)
    : QObject(parent)
{}

TKRTCrystalReport::~TKRTCrystalReport() = default;

void TKRTCrystalReport::Clear()
{
    Parameters.Clear();
    SubReports.Clear();
    Formulas.Clear();
    OrderByFields.Clear();
    PrintOptions = RPTPrintOptions();
    ExportOptions = RPTExportOptions();
    EmailOptions = RPTEmailOptions();
    Mode = mvKRTViewer;
    ReportName.clear();
    Recordset = nullptr;
    ReportWithData = false;
    CanExport = true;
    CanSendEmail = true;
}

QString TKRTCrystalReport::ReportFileName() const
{
    const QString base = ReportBasePath(ReportName);
    if (base.isEmpty())
        return QString();
    for (const QString &ext : {QStringLiteral(".RPT"), QStringLiteral(".rpt")}) {
        if (QFileInfo(base + ext).isFile())
            return base + ext;
    }
    // Any other case of name and extension, as the files were named on Windows.
    const QFileInfo fi(base);
    const QString wanted = fi.fileName() + QStringLiteral(".rpt");
    const QDir dir = fi.absoluteDir();
    if (!dir.exists())
        return QString();
    for (const QString &entry : dir.entryList(QDir::Files)) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return QString();
}

bool TKRTCrystalReport::OpenReport()
{
    const QString file = ReportFileName();
    if (file.isEmpty()) {
        ShowErrorBox(QStringLiteral("Percorso Report Errato:\r") + StrippedName(ReportName));
        return false;
    }
    m_dataFile.reset();
    m_definition.reset();
    m_openedFile.clear();
    if (IsReportDataFile(file)) {
        m_dataFile = ReadReportDataFile(file);
        m_definition = ParseDataFileDefinition(*m_dataFile);
    } else {
        m_definition = LoadReportDefinition(file);
    }
    m_openedFile = file;
    return true;
}

bool TKRTCrystalReport::PreLoadReport()
{
    bPreLoad = false;
    if (!OpenReport())
        return false;
    bPreLoad = true;
    return true;
}

TReportInput TKRTCrystalReport::MakeInput()
{
    TReportInput in;
    if (ReportWithData && m_dataFile) {
        in = m_dataFile->input;
    } else {
        in.main = Recordset;
        for (const RPTSubReport &s : SubReports.Items())
            in.subreports.emplace_back(s.Name, s.Recordset);
        in.printTime = QDateTime::currentDateTime();
        if (m_dataFile)
            in.fileImages = m_dataFile->input.fileImages;
    }
    for (const RPTParameter &p : Parameters.Items())
        in.parameters.emplace_back(p.Name, p.Value);
    for (const RPTFormula &f : Formulas.Items())
        in.formulas.emplace_back(f.Name, f.Text);
    // Sort fields that name a field of the main data are applied and leave the collection.
    for (int i = OrderByFields.Count() - 1; i >= 0; --i) {
        const RPTOrderByField f = OrderByFields.GetItem(i);
        if (!in.main || in.main->FieldIndex(f.Name) < 0)
            continue;
        TSortRequest r;
        r.field = f.Name;
        r.order = SortOf(f.Order);
        r.changeCondition = f.GroupCondition != gcKRTNoChange;
        r.condition = ConditionOf(f.GroupCondition);
        in.orderBy.insert(in.orderBy.begin(), r);
        OrderByFields.Remove(i);
    }
    return in;
}

void TKRTCrystalReport::MakeDocument()
{
    if (!m_definition && !OpenReport())
        throw EReportError(QStringLiteral("Percorso Report Errato:\r") + StrippedName(ReportName));
    m_lastInput = MakeInput();
    m_document = RenderReport(*m_definition, m_lastInput);
}

void TKRTCrystalReport::ExportDocument(const QString &fileName, TKRTVRExpFmtTypeConstants format)
{
    if (fileName.trimmed().isEmpty())
        throw EReportError(QStringLiteral("Nome del file di esportazione mancante."));
    switch (format) {
    case exfKRTPDF:
        WritePdf(*m_document, fileName);
        return;
    case exfKRTRichText:
    case exfKRTRTF:
        WriteRtf(*m_document, fileName);
        return;
    case exfKRTText:
        WritePlainText(*m_document, fileName);
        return;
    case exfKRTCrystal:
        WriteReportDataFile(fileName, *m_definition, m_lastInput);
        return;
    default:
        throw EReportError(QStringLiteral("Formato di esportazione non supportato: %1 (formato "
                                          "non supportato dal motore di stampa).")
                               .arg(FormatName(format)));
    }
}

void TKRTCrystalReport::PrintDocumentOn(const RPTPrintOptions &options)
{
    std::unique_ptr<QPrinter> printer = ReportPrinterProvider().CreatePrinter(options.PrinterName);
    PrintDocument(*m_document, *printer, options.PageFrom, options.PageTo, options.Copies);
}

bool TKRTCrystalReport::Start(bool bSilentMode)
{
    Q_UNUSED(bSilentMode); // the engine never asks the operator anything while it runs
    const QString file = ReportFileName();
    const bool reuse = bPreLoad && m_definition && !file.isEmpty() && file == m_openedFile;
    if (!reuse && !OpenReport())
        return false;
    WaitCursor wait;
    MakeDocument();
    if (Mode & mvKRTExport)
        ExportDocument(ExportOptions.FileName, ExportOptions.FormatType);
    if ((Mode & mvKRTViewer) && Viewer)
        Viewer->ViewReport(m_document);
    if (Mode & mvKRTPrinter)
        PrintDocumentOn(PrintOptions);
    return true;
}

void TKRTCrystalReport::PrintReport()
{
    RPTPrintOptions options = PrintOptions;
    if (options.PageFrom < 0 || options.PageTo < 0
        || (options.PageTo < options.PageFrom && options.PageTo != 0)) {
        options.PageFrom = 0;
        options.PageTo = 0;
    }
    WaitCursor wait;
    if (!m_document)
        MakeDocument();
    PrintDocumentOn(options);
}

void TKRTCrystalReport::ExportReport()
{
    WaitCursor wait;
    if (!m_document)
        MakeDocument();
    ExportDocument(ExportOptions.FileName, ExportOptions.FormatType);
}

void TKRTCrystalReport::EmailReport()
{
    if (!m_document)
        MakeDocument();
    // The attachment is written in a folder of its own, so no file of the operator is
    // overwritten or deleted.
    QTemporaryDir dir;
    if (!dir.isValid())
        throw EReportError(QStringLiteral("Impossibile creare la cartella temporanea per "
                                          "l'allegato: %1")
                               .arg(dir.errorString()));
    QString name = QFileInfo(EmailOptions.AttachmentEmail.trimmed()).fileName();
    if (name.isEmpty())
        name = QFileInfo(m_openedFile).fileName();
    if (name.isEmpty())
        name = QStringLiteral("Report");
    name = QFileInfo(name).completeBaseName() + QStringLiteral(".pdf");
    const QString pdf = dir.filePath(name);
    int from = EmailOptions.PageFrom;
    int to = EmailOptions.PageTo;
    if (from < 0 || to < 0 || (to < from && to != 0))
        from = to = 0;
    WritePdf(*m_document, pdf, from, to);

    TEmailMessage m;
    m.authenticate = EmailOptions.AccountObblig;
    m.user = EmailOptions.AccountUserID;
    m.password = EmailOptions.AccountPassword;
    m.server = EmailOptions.AccountMailServer;
    m.from = EmailOptions.FromEmail;
    m.to = EmailOptions.ToEmail;
    m.cc = EmailOptions.CCEmail;
    m.bcc = EmailOptions.CCNEmail;
    m.subject = EmailOptions.SubjectEmail;
    m.text = EmailOptions.MessageEmail;
    m.attachmentPath = pdf;
    EmailOptions.ErrorEmail = SendEmail(m);
}

void TKRTCrystalReport::CopySettingsFrom(const TKRTCrystalReport &o)
{
    ReportName = o.ReportName;
    ReportWithData = o.ReportWithData;
    CanExport = o.CanExport;
    CanSendEmail = o.CanSendEmail;
    GroupTreeVisible = o.GroupTreeVisible;
    Mode = o.Mode;
    Recordset = o.Recordset;
    Parameters = o.Parameters;
    SubReports = o.SubReports;
    Formulas = o.Formulas;
    OrderByFields = o.OrderByFields;
    PrintOptions = o.PrintOptions;
    ExportOptions = o.ExportOptions;
    EmailOptions = o.EmailOptions;
}

void SaveReportAsPdf(TKRTViewReport *viewer, const QString &pdfFileName)
{
    if (!viewer)
        throw EReportError(QStringLiteral("Nessuna anteprima da esportare."));
    const std::shared_ptr<const TReportDocument> doc = viewer->Document();
    if (!doc || doc->PageCount() == 0)
        throw EReportError(QStringLiteral("Nessun report in anteprima da esportare."));
    WaitCursor wait;
    WritePdf(*doc, pdfFileName);
}
