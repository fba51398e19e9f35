#pragma once

// Conversions between field values and the program's text forms.
//
// A "typed" value is the QVariant a field of a given type holds: QString (Text), qint64
// (Integer), double (Real), bool (Flag), QDateTime (DateTime), QByteArray (Blob); an invalid
// QVariant is null. The readers (ValueAs...) accept any QVariant, typed or not.

#include "db/dataset.h"

#include <QStringView>

// A date-time without time zone: milliseconds since the start of Julian day 0. Values are
// stored and compared as written (no daylight-saving shifts).
using TStampMs = qint64;
constexpr qint64 kMsPerDay = 86400000;
TStampMs StampFromDateTime(const QDateTime &dt); // date and time as written, zone ignored
// The local date-time with that date and time; a time that the clock skips (the hour lost to
// daylight saving) comes out as the same time elapsed since midnight.
QDateTime DateTimeFromStamp(TStampMs stamp);
QString StampToText(TStampMs stamp); // as DateTimeToText, from the stored date and time
// Server and typed forms of a date-time in 8-bit text (see ParseDateTimeText).
bool ParseStampText(const char *p, int len, TStampMs *out);

// Converts to the typed value of a field type. Empty text becomes null for every type but
// Text. ok is false when the value cannot be represented (text "abc" into an Integer field).
QVariant ConvertToFieldType(const QVariant &v, TFieldType type, bool *ok);

QString ValueAsString(const QVariant &v); // null ""; reals with "."; dates dd/mm/yyyy[ hh:nn:ss]
qint64 ValueAsInteger(const QVariant &v); // null or not a number: 0; reals rounded
double ValueAsFloat(const QVariant &v);   // null or not a number: 0
bool ValueAsBoolean(const QVariant &v);   // nonzero, "1", "true", "SI" ...
QDateTime ValueAsDateTime(const QVariant &v); // invalid when null or not a date
QByteArray ValueAsBytes(const QVariant &v);

QString RealToText(double v);                // "1234.5", no thousands separator
QString DateTimeToText(const QDateTime &dt); // "dd/mm/yyyy hh:nn:ss", time left out at midnight

// Parsers of typed-in or stored texts (blanks around are ignored).
bool ParseIntegerText(QStringView s, qint64 *out);
// "1.5", "1,5", "1.234,5" (thousands "." when a "," is present), exponents, "NaN".
bool ParseRealText(QStringView s, double *out);
// "1"/"0", "t"/"f", "true"/"false", "SI"/"NO", "S"/"N", "yes"/"no" (any case), other numbers.
bool ParseFlagText(QStringView s, bool *out);
// "dd/mm/yyyy[ hh:nn[:ss]]" (also "dd/mm/yy"), "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with "T"),
// "yyyymmdd", and as typed in date fields "ddmmyyyy" and "ddmmyy". Two-digit years fall within
// fifty years of the current year.
bool ParseDateTimeText(QStringView s, QDateTime *out);
// The same forms straight to the stored date and time.
bool ParseStampText(QStringView s, TStampMs *out);
