#pragma once

// Names of a quote's folder and PDF, shared by the folder on disk and the folder in the
// cloud storage:
//   folder  <number padded to d digits>_<year> (<customer>) (<subject>)   0057_2023 (Rossi) (Impianto)
//   PDF     the folder name; from revision 2   0057_2023 Rev. 2 (Rossi) (Impianto)
//
// Customer and subject are cleaned so that the names are valid in the cloud storage and in its
// local copy on any computer: "/" "\" "|" ":" become "-", a double quote becomes an apostrophe,
// "<" ">" "?" "*" are dropped, control characters and runs of blanks become one blank; letters
// of every script, accents and emoji stay. The folder name is kept within 120 characters (and
// 230 bytes in UTF-8, for file systems that count bytes) by shortening the longer of customer
// and subject, so folder, PDF and full path stay well within the storage's limits.

#include <QString>

inline constexpr int kQuoteFolderDefaultDigits = 4;
inline constexpr int kQuoteFolderMinDigits = 3;
inline constexpr int kQuoteFolderMaxDigits = 10;
inline constexpr int kQuoteFolderNameMaxLength = 120; // UTF-16 units
inline constexpr int kQuoteFolderNameMaxBytes = 230;  // UTF-8 bytes
// Per-operator settings key of the digits.
inline constexpr const char *kQuoteFolderDigitsKey = "FrmFolderPrev_NuDigits";

// The digits to pad the quote number to: the configured value (3 to 10; anything else gives
// the default 4), raised to the length of the number when that is longer.
int QuoteFolderDigits(int configured, const QString &number);
// Reads the digits from the per-operator settings file (default 4) and, when the number needs
// more, saves the raised value there. Returns the digits to use.
int ReadQuoteFolderDigits(const QString &userSettingsFile, const QString &number);

// "0057_2023": the number left-padded with zeros to digits (never cut), "_" and the year.
QString QuoteNumberPart(const QString &number, const QString &year, int digits);
// A customer or subject made fit for a folder or file name (see above).
QString CleanQuoteFolderText(const QString &text);
// numberPart + " (" + customer + ") (" + subject + ")", cleaned and within the length limits.
QString QuoteFolderName(const QString &numberPart, const QString &customer, const QString &subject);
// The PDF name (without extension) for a folder name and a revision: the folder name for
// revision 1 or none; from revision 2 the number part (the text before the first " (") is
// replaced by the number padded to its length minus 5, "_", the year, " Rev. " and the revision.
QString QuotePdfName(const QString &folderName,
                     const QString &number,
                     const QString &year,
                     int revision);
