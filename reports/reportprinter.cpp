#include "reports/reportprinter.h"

#include "reports/reporterror.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace {

class TSystemPrinters : public TReportPrinterProvider
{
public:
    QStringList PrinterNames() override { return QPrinterInfo::availablePrinterNames(); }
    QString DefaultPrinterName() override { return QPrinterInfo::defaultPrinterName(); }
    std::unique_ptr<QPrinter> CreatePrinter(const QString &name) override
    {
        const QPrinterInfo info = name.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                 : QPrinterInfo::printerInfo(name);
        if (info.isNull()) {
            if (name.isEmpty())
                throw EReportError(QStringLiteral("Nessuna stampante predefinita installata."));
            throw EReportError(QStringLiteral("Stampante \"%1\" non trovata.").arg(name));
        }
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
};

TReportPrinterProvider *g_provider = nullptr;

} // namespace

void SetReportPrinterProvider(TReportPrinterProvider *provider)
{
    g_provider = provider;
}

TReportPrinterProvider &ReportPrinterProvider()
{
    static TSystemPrinters system;
    return g_provider ? *g_provider : system;
}
