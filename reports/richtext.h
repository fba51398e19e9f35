#pragma once

// Rich texts are stored as RTF. These routines read the RTF that a rich-text editor produces
// (font and colour tables, fonts, sizes, bold, italic, underline, strike-out, colours,
// paragraphs and their alignment and indents, bullets and numbered items, Unicode and code-page
// escapes) into a QTextDocument and write a document back as RTF.

#include <QString>

#include <memory>

class QTextDocument;
class QTextEdit;
class QFont;

// True when the text starts (after blanks) with "{\rtf".
bool IsRtfText(const QString &text);

// Fills the document with the RTF text (the document is cleared first). A text that is not RTF
// is taken as plain text. Malformed RTF (unbalanced groups, a cut-off escape) is read as far as
// it goes; nothing is thrown.
void RtfToDocument(const QString &rtf, QTextDocument *document);
std::unique_ptr<QTextDocument> RtfToDocument(const QString &rtf);
std::unique_ptr<QTextDocument> RtfToDocument(const QString &rtf, const QFont &defaultFont);

// The document as RTF: fonts, sizes, bold, italic, underline, strike-out, text and background
// colours, paragraph alignment and indents, bullet and numbered lists, line breaks inside a
// paragraph, tabs and page breaks (a block that starts a new page). Characters outside ASCII
// are written as \uN escapes.
QString DocumentToRtf(const QTextDocument *document);

// Plain text of an RTF text (paragraphs separated by "\n"), trimmed.
QString RtfToPlainText(const QString &rtf);
// Plain text of a rich-text file, trimmed; empty when the file cannot be read.
QString RtfFileToPlainText(const QString &path);

// Loads rich text (or plain text) into the editor, sets the whole text to 13 points and leaves
// the caret at the start with nothing selected.
void RichTextLoad(const QString &text, QTextEdit *edit);
// The editor's whole text as RTF.
QString RichEditText(const QTextEdit *edit);
// One paragraph (0-based) of the editor, as RTF or as plain text; empty when out of range.
QString RichEditLineRtf(const QTextEdit *edit, int line);
QString RichEditLinePlain(const QTextEdit *edit, int line);
