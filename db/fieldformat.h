#pragma once

// Display formats of dataset fields, in the program's formats: thousands ".", decimals ",",
// dates "dd/mm/yyyy", times "hh:nn:ss".

#include "db/dataset.h"
#include "db/fieldvalue.h"

// Number pattern in the "#,##0.00" style: "0" a digit always shown, "#" a digit shown when
// significant, "," (anywhere in the integer part) groups thousands, "." marks the decimals;
// quoted texts are copied; up to three sections "positive;negative;zero". Halves round away
// from zero. FormatFloatPattern("#,##0.00", 1234.5) == "1.234,50".
QString FormatFloatPattern(const QString &pattern, double v);

// Date-time pattern with the usual tokens: d dd ddd dddd, m mm mmm mmmm (minutes right after an
// hour), yy yyyy, h hh, n nn, s ss, z zzz, am/pm, "/" and ":" separators, quoted texts, "c".
QString FormatDateTimePattern(const QString &pattern, const QDateTime &dt);
QString FormatDateTimePattern(const QString &pattern, const QDate &date, const QTime &time);

// The text a grid shows for a typed value of a field.
QString FieldDisplayText(const TFieldDef &def, const QVariant &typed);
// The same for a stored date-time, from its date and time as written.
QString StampDisplayText(const TFieldDef &def, TStampMs stamp);
