#include "quotes/quotefolderroutines.h"

#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/tstd_progress.h"
#include "common/windowroutines.h"
#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "masterdata/listdata.h"
#include "masterdata/listwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace {

QString FolderRecordCommand(const QString &id)
{
    return ExecText(QStringLiteral("DatiPreventivo"), {SqlText(id)});
}

void HideWait()
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Hide();
}

} // namespace

std::unique_ptr<TEditableRecord> OpenQuoteFolderRecord(TSTD_DBMODULE *db, const QString &id)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("Modulo del database assente."));
    // The answer's key says whose folder data these are: an order's come from its own table.
    const std::unique_ptr<TDataSet> probe = db->Query(FolderRecordCommand(id));
    const bool order = probe->FieldIndex(QStringLiteral("idOrdine")) >= 0;
    if (probe->RecordCount() == 0)
        throw EDatabaseError(
            QStringLiteral("Nessun preventivo o ordine con l'identificativo %1.").arg(id));
    auto record = order ? std::make_unique<TEditableRecord>(db,
                                                            QStringLiteral("Ordini"),
                                                            QStringLiteral("idOrdine"))
                        : std::make_unique<TEditableRecord>(db,
                                                            QStringLiteral("Preventivi"),
                                                            QStringLiteral("idPreventivo"));
    record->Open(FolderRecordCommand(id));
    if (record->IsNew())
        throw EDatabaseError(
            QStringLiteral("Nessun preventivo o ordine con l'identificativo %1.").arg(id));
    return record;
}

void StoreQuoteFolderFields(const QString &id,
                            const QList<std::pair<QString, QString>> &fieldsAndValues)
{
    std::unique_ptr<TEditableRecord> record = OpenQuoteFolderRecord(TSTD_DBMODULE::Instance(), id);
    record->Edit();
    for (const auto &[field, value] : fieldsAndValues)
        record->Data().FieldByName(field).SetValue(value.isEmpty() ? QVariant() : QVariant(value));
    record->Post(SessionInfo().sUserName, false);
}

bool IsQuoteWebLink(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.contains(QRegularExpression(QStringLiteral("\\s"))))
        return false;
    const QUrl url(t, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !url.host().isEmpty();
}

QString QuoteLinkAnchor(const QString &link, const QString &pdfName)
{
    return QStringLiteral("<a href=\"") + link.toHtmlEscaped() + QStringLiteral("\">")
           + pdfName.toHtmlEscaped() + QStringLiteral("</a>");
}

bool CopyQuoteLinkForMail(const QString &link, const QString &pdfName)
{
    const QString anchor = QuoteLinkAnchor(link, pdfName);
    const QString path = ExeFolderPath(QString::fromLatin1(kQuoteLinkFileName));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)
        || file.write(anchor.toUtf8() + '\n') < 0 || !file.flush()) {
        ShowErrorBox(QuoteFolderErrorText(QStringLiteral("Impossibile scrivere il file ") + path
                                              + QLatin1Char('.'),
                                          file.errorString()));
        return false;
    }
    file.close();
    // The anchor as HTML (mail programs paste a clickable link named after the PDF) and the
    // address as plain text for the programs that take only text.
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<html><body>") + anchor + QStringLiteral("</body></html>"));
    mime->setText(link);
    QApplication::clipboard()->setMimeData(mime); // the clipboard owns it
    return true;
}

bool BlockExportedQuote(const QString &id)
{
    if (TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance())
        wait->Show(QStringLiteral("Blocco preventivo in corso..."));
    std::unique_ptr<TDataSet> result;
    try {
        result = TSTD_DBMODULE::Instance()->Query(
            ExecText(QStringLiteral("BloccaPreventivo"),
                     {SqlText(id), SqlText(SessionInfo().sUserName)}));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore blocco preventivo (ERR.Y04)."), e);
        return false;
    }
    HideWait();
    if (result->RecordCount() == 0)
        return false;
    result->First();
    if (result->FieldByName(QStringLiteral("StatoOp")).AsString() != QLatin1String("OK_BLOCCO"))
        return false;
    const TField &deadline = result->FieldByName(QStringLiteral("dtScadenza"));
    const QString date = deadline.IsNull() ? QString() : DateToText(deadline.AsDateTime().date());
    QString text = QStringLiteral("Il preventivo esportato è stato bloccato.") + LineBreaks(2);
    if (result->FieldByName(QStringLiteral("flScadenzaFissa")).AsInteger() == 1) {
        text += QStringLiteral("Data di scadenza attualmente impostata: ")
                + (date.isEmpty() ? QStringLiteral("nessuna") : date) + QLatin1Char('.');
    } else {
        text += QStringLiteral("La data di scadenza del preventivo è stata impostata a ")
                + result->FieldByName(QStringLiteral("nuGGScadDalBlocco")).AsString()
                + QStringLiteral(" giorni a partire da oggi.") + LineBreaks(2)
                + QStringLiteral("Nuova data scadenza ") + date + QLatin1Char('.');
    }
    ShowInfoBox(text);
    return true;
}

void RefreshListsAfterFolderChange()
{
    for (const QString &name :
         {QStringLiteral("GESTIONE_PREVENTIVI"), QStringLiteral("GESTIONE_ORDINI")}) {
        QWidget *list = FindOpenForm(name);
        if (!list)
            continue;
        // The row the operator was on stays the current one after the extraction.
        if (auto *window = dynamic_cast<TListWindow *>(list); window && window->List())
            window->sLastId = window->List()->CurrentId();
        if (auto *extract = list->findChild<QPushButton *>(QStringLiteral("PB_EstraiElenco")))
            extract->click();
    }
}

QString QuoteFolderErrorText(const QString &message, const QString &reason)
{
    return message + LineBreaks(2) + QLatin1Char('(') + reason.trimmed() + QLatin1Char(')');
}
