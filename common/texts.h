#pragma once

// Plain text routines shared by every window.

#include <QString>
#include <QStringList>

// The part of text before the first occurrence of mark, or the whole text when mark is absent
// (or empty).
QString TextBefore(const QString &text, const QString &mark);
// Non-overlapping occurrences of part in text, exact case; 0 for an empty part.
int CountOccurrences(const QString &text, const QString &part);
// Runs of blanks become one blank.
QString CollapseSpaces(const QString &text);
// text repeated n times (empty when n <= 0).
QString RepeatText(const QString &text, int n);
// Parts of a text, positions counted from 0; out-of-range requests give what is available.
QString LeftText(const QString &text, int count);
QString MidText(const QString &text, int start, int count = -1);
QString RightText(const QString &text, int count);

// A whole number: optional sign and digits, within the 64-bit range.
bool IsIntegerText(const QString &text);
// Only "+", "-", "." and digits; empty counts as yes.
bool IsNumberText(const QString &text);
// Only digits 0-9; empty counts as yes.
bool IsDigitsText(const QString &text);
// Membership ignoring case.
bool TextInList(const QString &text, const QStringList &list);

// A new GUID in the braced upper-case registry form, 38 characters:
// "{8D2F4C1A-0B5E-4E0F-9A3C-5B2D7E1F6A90}".
QString NewGuidText();
// Major and minor version of the program as "%d.%d".
QString ProgramVersionText();
// One line to the debugger output.
void DebugTrace(const QString &text);
