#pragma once

// The program's fixed formats and number routines: dates "dd/mm/yyyy", times "hh:nn:ss",
// thousands "." and decimal ","; command texts write numbers with "." and quote texts with
// apostrophes.

#include <QString>

class QDate;
class QDateTime;
class QTime;

// Qt format strings of the program's date and time.
inline constexpr const char *kDateFormat = "dd/MM/yyyy";
inline constexpr const char *kTimeFormat = "hh:mm:ss";

// Sets the program's formats (the Italian locale as default for widgets), remembers the scroll
// bar sizes and calls the listener registered by the dataset layer, which empties its
// record-copy hooks. Called by the main window and at the creation of most windows.
void ApplyFormatSettings();
// The dataset layer registers here the routine that clears its record-copy hooks (common knows
// nothing of datasets). nullptr removes it.
using TFormatSettingsListener = void (*)();
void SetFormatSettingsListener(TFormatSettingsListener listener);
// Height of a horizontal and width of a vertical scroll bar, as remembered by
// ApplyFormatSettings (0 before it ran).
int ScrollBarHeight();
int ScrollBarWidth();

// Rounds half away from zero to the given decimals. The decision is taken on the shortest
// decimal form of the scaled value, so 1.005 with 2 decimals gives 1.01. Values that are not
// finite come back unchanged.
double RoundDecimals(int decimals, double x);
// RoundDecimals(0, x) as an integer; 0 when it does not fit.
int RoundToInt(double x);
// "#,##0.00" in the program formats: FormatNumber(2, 1234.5) = "1.234,50".
QString FormatNumber(int decimals, double x);
// The number for a command text: "." as decimal separator, no thousands separator, at most 15
// significant digits ("1234.5", "-0.25"); 0 for values that are not finite.
QString SqlFloat(double x);
// Every apostrophe doubled; enclosed in apostrophes when wrap is set.
QString SqlQuote(const QString &text, bool wrap = true);
// "1" or "0".
QString BoolToSql(bool flag);
// A number typed in the program format: an optional sign, digits (with "." between groups of
// three, or without thousands separators), optionally "," and decimals: "1.234,5", "-3",
// "0,25", "1234". Blanks around are ignored. False for anything else ("1.5.3", "1,2,3",
// "abc", "1; DROP", "").
bool ParseNumberText(const QString &text, double *value);

// "dd/mm/yyyy" and "hh:nn:ss"; empty for an invalid value.
QString DateToText(const QDate &date);
QString DateToText(const QDateTime &dateTime);
QString TimeToText(const QTime &time);
QString TimeToText(const QDateTime &dateTime);
// Reads day/month/year ("05/03/2024" or "5/3/2024", four-digit year, blanks around allowed).
// Anything else, or a date that does not exist (31/02/2024), gives an invalid QDate.
QDate ParseDateText(const QString &text);

// n carriage-return + line-feed pairs.
QString LineBreaks(int n);
