#pragma once

// What the two quote folder windows share: the record of the folder data, the blocking after
// an export, the link for an e-mail and the refresh of the lists when they close.

#include <QString>

#include <memory>

class TEditableRecord;
class TSTD_DBMODULE;

// Per-operator settings key of the quotes root (the local copy of the cloud storage).
inline constexpr const char *kQuotesPathKey = "General_PrevsPath";
// The link file written in the program folder for the e-mail copy.
inline constexpr const char *kQuoteLinkFileName = "LINK_FILEPREV.html";

// The editable folder data of the record with that id ("EXEC DatiPreventivo id"): a quote's
// row (Preventivi, key idPreventivo) or, for an order's id, the order's folder data (Ordini,
// key idOrdine). The row is opened, not yet in edit. Raises EDatabaseError; an id of neither
// kind raises as well ("Nessun preventivo o ordine ...").
std::unique_ptr<TEditableRecord> OpenQuoteFolderRecord(TSTD_DBMODULE *db, const QString &id);

// Stores the fields of the folder data in one edit (no audit stamps: a blocked quote may still
// receive its folder data, nothing else). Raises EDatabaseError.
void StoreQuoteFolderFields(const QString &id,
                            const QList<std::pair<QString, QString>> &fieldsAndValues);

// A web address worth storing as the PDF's link: http or https with a host, no blanks.
bool IsQuoteWebLink(const QString &text);

// The link file's single line: <a href="link">PDF name</a>, with both texts escaped for HTML.
QString QuoteLinkAnchor(const QString &link, const QString &pdfName);

// Writes the link file in the program folder and puts the link on the clipboard as a clickable
// HTML anchor (text/html) with the address as plain text, so mail programs paste a link.
// Returns false, after an error message, when the file cannot be written.
bool CopyQuoteLinkForMail(const QString &link, const QString &pdfName);

// Blocks the exported quote ("EXEC BloccaPreventivo id, user") and tells the operator the
// deadline it now has; "GIA_BLOCCATO" ends silently. Errors are shown as ERR.Y04. True when
// the quote was blocked now.
bool BlockExportedQuote(const QString &id);

// The lists that show folder data (quotes, orders) extract again, keeping their current row.
void RefreshListsAfterFolderChange();

// The message of a failed step of a folder window: text, two line breaks, the reason in
// parentheses.
QString QuoteFolderErrorText(const QString &message, const QString &reason);
