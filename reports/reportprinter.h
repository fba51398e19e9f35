#pragma once

// The printers a report can go to. The system's printers by default; a test installs a
// provider of its own (a QPrinter writing a PDF file), as it installs a dialog responder.

#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;

class TReportPrinterProvider
{
public:
    virtual ~TReportPrinterProvider() = default;
    virtual QStringList PrinterNames() = 0;
    virtual QString DefaultPrinterName() = 0;
    // A printer ready to print on the named printer (empty: the default one); throws
    // EReportError naming the printer when it is not there.
    virtual std::unique_ptr<QPrinter> CreatePrinter(const QString &name) = 0;
};

// Not owned; nullptr restores the system's printers.
void SetReportPrinterProvider(TReportPrinterProvider *provider);
TReportPrinterProvider &ReportPrinterProvider();
