#pragma once

// Value rules of the labelled edit field: number texts in the program format (thousands ".",
// decimals ","), date and time normalisation, and the validity checks of each template.

#include <QDate>
#include <QString>
#include <QTime>

enum TKRTTemplate { tpKRTString, tpKRTNumeric, tpKRTDate, tpKRTTime, tpKRTShortTime };

// The text with every thousands separator removed.
QString KRTRemoveThousands(const QString &text);
// A number in the program format without thousands separators ("1234,5", "-3"); blanks around
// are ignored. False for an empty text or anything that is not a number.
bool KRTParseNumber(const QString &text, double *value);
// "#,##0" (or "###0" without thousands) followed, when decimals > 0, by "," and the decimals.
QString KRTFormatNumber(double value, int decimals, bool thousands);
// The shortest text of a number in the program format ("7,5", "1234", "-0,25").
QString KRTShortestNumberText(double value);

// Date typed as 1/2/2023, 1.2.23, 010223, 01022023 or 01/02/23 becomes dd/mm/yyyy; other texts
// are returned with dots turned into slashes.
QString KRTNormaliseDate(const QString &text);
// Time typed as 7, 0930, 093015, 9:30 or 9.30.15 becomes hh:nn:ss (hh:nn for short times).
QString KRTNormaliseTime(const QString &text, bool shortTime);

// Validity of a typed date: not blank, no "/" or exactly two, and after normalisation a date
// that exists. Gives the normalised text and the date when valid.
bool KRTCheckDate(const QString &text, QString *normalised = nullptr, QDate *date = nullptr);
// Validity of a typed time (hh:nn:ss) or short time (hh:nn).
bool KRTCheckTime(const QString &text,
                  bool shortTime,
                  QString *normalised = nullptr,
                  QTime *time = nullptr);
