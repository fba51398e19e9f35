#pragma once

// Argument forms of command texts: "EXEC " + name + " " + arguments joined by ", ".
//
// Every argument is a literal the server reads as such: texts between apostrophes with inner
// apostrophes doubled, the word null, 1/0 flags, numbers with "." as decimal separator, dates
// as 'yyyymmdd'.

#include <QString>
#include <QStringList>

// 'text' with every apostrophe doubled (also for identifiers and codes).
QString SqlText(const QString &text);
// SqlText, or null when the text is empty.
QString SqlTextOrNull(const QString &text);
// Filter patterns: '%text%' ("contiene") and 'text%' ("inizia con"); null when empty.
QString SqlContains(const QString &text);
QString SqlStartsWith(const QString &text);
// 1 or 0.
QString SqlFlag(bool flag);
// Decimal digits.
QString SqlInteger(qint64 value);
// "." as decimal separator, no thousands separator.
QString SqlReal(double value);
// A number as typed in the program's format ("1.234,5" -> 1234.5); null when empty. Throws
// EDatabaseError for a text that is not a number.
QString SqlRealTyped(const QString &typed);
// A date typed as dd/mm/yyyy -> 'yyyymmdd'; null when empty. Throws EDatabaseError for a text
// that is not a date.
QString SqlDateTyped(const QString &typed);
// "EXEC " + name, followed by " " + the arguments joined by ", " when there are any.
QString ExecText(const QString &procedure, const QStringList &arguments = {});

// The password form of the operators table: Base64 (standard alphabet, "=" padding) of the
// UTF-8 bytes of the lower-case password, with a carriage return and line feed between
// 76-character lines.
QString PasswordToBase64(const QString &password);
