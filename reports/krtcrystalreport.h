#pragma once

// The report engine as the program's windows use it: name a report, hand over the main data,
// the data of each subreport by name, parameters and formulas, choose what to do (view, print,
// export, any together) and Start. Reports/<name>.RPT files are read by our own engine
// (reportparser.h, reportengine.h); the pages it makes are shown, printed and exported.

#include "reports/reportengine.h"
#include "reports/reportpage.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

class TDataSet;
class TKRTViewReport;
struct TReportDataFile;
struct TReportDefinition;

enum TKRTViewModeFlag { mvKRTViewer = 1, mvKRTPrinter = 2, mvKRTExport = 4 };
using TKRTViewMode = int; // a set of TKRTViewModeFlag

enum TKRTVRExpFmtTypeConstants {
    exfKRTVRHTML32,
    exfKRTHTML40,
    exfKRTExcel50,
    exfKRTExcel70,
    exfKRTExcel80,
    exfKRTCommaSepValues,
    exfKRTText,
    exfKRTWord,
    exfKRTCrystal, // report file that carries its data
    exfKRTPDF,
    exfKRTRichText,
    exfKRTXML,
    exfKRTRTF
};
// The engine code of an export format (24, 32, 21, 27, 29, 5, 8, 14, 1, 31, 4, 37, 4).
int KRTExportFormatCode(TKRTVRExpFmtTypeConstants format);

enum TKRTSortDirection { sdKRTAscending, sdKRTDescending, sdKRTOriginal, sdKRTSpecified };

enum TKRTGroupCondition {
    gcKRTNoChange,
    gcKRTAnnually,
    gcKRTAnyValue,
    gcKRTBiweekly,
    gcKRTByAMPM,
    gcKRTByHour,
    gcKRTByMinute,
    gcKRTBySecond,
    gcKRTDaily,
    gcKRTEveryNo,
    gcKRTEveryYes,
    gcKRTMonthly,
    gcKRTNextIsNo,
    gcKRTNextIsYes,
    gcKRTQuarterly,
    gcKRTSemiAnnually,
    gcKRTSemimonthly,
    gcKRTToNo,
    gcKRTToYes,
    gcKRTWeekly
};

// An ordered collection of option items.
template<typename T>
class TKRTCollection
{
public:
    int Remove(int index) // returns the new count
    {
        if (index >= 0 && index < Count())
            m_items.erase(m_items.begin() + index);
        return Count();
    }
    const T &GetItem(int index) const { return m_items.at(size_t(index)); }
    void SetItem(int index, const T &item) { m_items.at(size_t(index)) = item; }
    const std::vector<T> &Items() const { return m_items; }
    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    void Clear() { m_items.clear(); }

protected:
    int IndexOf(const QString &name, Qt::CaseSensitivity cs) const
    {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].Name.compare(name, cs) == 0)
                return int(i);
        }
        return -1;
    }
    std::vector<T> m_items;
};

struct RPTParameter
{
    QString Name;
    QVariant Value;
};
class RPTParameters : public TKRTCollection<RPTParameter>
{
public:
    void Add(const QString &name, const QVariant &value) { m_items.push_back({name, value}); }
    bool Exists(const QString &name) const { return IndexOf(name, Qt::CaseSensitive) >= 0; }
};

struct RPTSubReport
{
    QString Name;
    TDataSet *Recordset = nullptr; // Not owned.
};
class RPTSubReports : public TKRTCollection<RPTSubReport>
{
public:
    void Add(const QString &name, TDataSet *recordset) { m_items.push_back({name, recordset}); }
    bool Exists(const QString &name) const { return IndexOf(name, Qt::CaseInsensitive) >= 0; }
    using TKRTCollection<RPTSubReport>::GetItem;
    // A position written as text, or else a name looked up ignoring case; nullptr when absent.
    const RPTSubReport *GetItem(const QString &indexOrName) const;
};

struct RPTFormula
{
    QString Name;
    QString Text;
};
class RPTFormulas : public TKRTCollection<RPTFormula>
{
public:
    void Add(const QString &name, const QString &text) { m_items.push_back({name, text}); }
    bool Exists(const QString &name) const { return IndexOf(name, Qt::CaseSensitive) >= 0; }
};

struct RPTOrderByField
{
    QString Name;
    TKRTSortDirection Order = sdKRTAscending;
    TKRTGroupCondition GroupCondition = gcKRTNoChange;
};
class RPTOrderByFields : public TKRTCollection<RPTOrderByField>
{
public:
    void Add(const QString &name,
             TKRTSortDirection order = sdKRTAscending,
             TKRTGroupCondition condition = gcKRTNoChange)
    {
        m_items.push_back({name, order, condition});
    }
    bool Exists(const QString &name) const { return IndexOf(name, Qt::CaseSensitive) >= 0; }
};

struct RPTPrintOptions
{
    int Copies = 1;
    QString PrinterName; // empty: the default printer
    int PageFrom = 0;    // 0 - 0: every page
    int PageTo = 0;
};

struct RPTExportOptions
{
    TKRTVRExpFmtTypeConstants FormatType = exfKRTPDF;
    QString FileName;
};

struct RPTEmailOptions
{
    bool AccountObblig = false; // the server wants user name and password
    QString AccountUserID;
    QString AccountPassword;
    QString AccountMailServer;
    QString FromEmail;
    QString ToEmail;
    QString CCEmail;
    QString CCNEmail;
    QString SubjectEmail;
    QString MessageEmail;
    QString AttachmentEmail;
    QString ErrorEmail; // result of the last send; empty on success
    int PageFrom = 0;
    int PageTo = 0;

    // The data needed to send that are missing, as listed to the operator
    // ("- Nome Account", "- Password Account", "- Server Posta In Uscita (SMTP)",
    // "- Indirizzo Email A:").
    QStringList MissingItems() const;
    bool IsIncomplete() const { return !MissingItems().isEmpty(); }
};

class TKRTCrystalReport : public QObject
{
    Q_OBJECT

public:
    explicit TKRTCrystalReport(QObject *parent = nullptr);
    ~TKRTCrystalReport() override;

    QString ReportName; // path without extension ("…/Reports/pdprw00")
    bool ReportWithData = false;
    bool CanExport = true;
    bool CanSendEmail = true;
    bool GroupTreeVisible = false;
    TKRTViewMode Mode = mvKRTViewer;
    TDataSet *Recordset = nullptr; // Not owned: the main data
    RPTParameters Parameters;
    RPTSubReports SubReports;
    RPTFormulas Formulas;
    RPTOrderByFields OrderByFields;
    RPTPrintOptions PrintOptions;
    RPTExportOptions ExportOptions;
    RPTEmailOptions EmailOptions;
    TKRTViewReport *Viewer = nullptr; // Not owned: the viewer fed by Start
    bool bPreLoad = false;            // the report was opened by PreLoadReport

    // Empties the collections and options; viewer mode; no report, no data. The opened report
    // stays (Start opens it again unless it was preloaded).
    void Clear();
    // Runs the report as Mode says: export, then view, then print. A missing report file shows
    // "Percorso Report Errato:\r" + name and gives false. Other faults (definition, data,
    // export, printer) raise EReportError for the window that started the operation.
    bool Start(bool bSilentMode = false);
    // Opens the report file ahead of Start (false after the missing-file message).
    bool PreLoadReport();
    // Stand-alone print, export and e-mail of the report made by the last Start (made now when
    // there is none). Raise EReportError.
    void PrintReport();
    void ExportReport();
    void EmailReport();

    // The file the report name leads to (any case of the .RPT extension), empty when absent.
    QString ReportFileName() const;
    // The pages made by the last Start.
    std::shared_ptr<const TReportDocument> Document() const { return m_document; }
    // Copies every setting (not the opened report) from another engine.
    void CopySettingsFrom(const TKRTCrystalReport &other);

private:
    bool OpenReport();
    TReportInput MakeInput();
    void MakeDocument();
    void ExportDocument(const QString &fileName, TKRTVRExpFmtTypeConstants format);
    void PrintDocumentOn(const RPTPrintOptions &options);

    std::unique_ptr<TReportDefinition> m_definition;
    std::unique_ptr<TReportDataFile> m_dataFile; // when the file carries its data
    QString m_openedFile;
    TReportInput m_lastInput;
    std::shared_ptr<const TReportDocument> m_document;
};

// Writes the report shown in a preview to a PDF file: the very pages the preview shows (no
// second run over the data and no intermediate file). Raises EReportError.
void SaveReportAsPdf(TKRTViewReport *viewer, const QString &pdfFileName);
