#pragma once

// The one place where a command text of the program becomes PostgreSQL.
//
// Procedure calls "EXEC Name a, b" become "SELECT * FROM Name(a, b)". Only the procedures of
// the program's contract are called: any other name is refused before it reaches the server.
// The arguments must be literals as the command builders write them (quoted texts with
// apostrophes doubled, null, numbers); they are passed on unchanged, except for the calls that
// carry passwords, whose arguments travel as bound parameters ($1, $2 ...) so that no log and
// no activity view shows them. The few direct statements are translated by a fixed table. Any
// other text is refused, so no free SQL reaches the server through commands. A text holding a
// character the database cannot store (NUL, a lone UTF-16 surrogate) is refused too.

#include <QString>
#include <QStringList>
#include <QVariantList>

// The batch that prepares the session's temporary table of split texts.
inline constexpr const char *kTempTabTestoBatch
    = "IF OBJECT_ID('TempDB.dbo.#TempTabTesto') IS NOT NULL BEGIN   DROP TABLE #TempTabTesto; "
      "END; CREATE TABLE #TempTabTesto ( idTesto uniqueidentifier, nuRiga smallint, txTesto "
      "varchar(MAX), txTestoRtf varchar(MAX)); SELECT * FROM #TempTabTesto;";

// A command text as it is sent to the server.
struct TPgCommand
{
    QString sql;         // PostgreSQL; $1, $2 ... stand for params when there are any
    QVariantList params; // bound values as text (a null QVariant is NULL)
    QString procedure;   // lower-case name of the procedure called; empty for a statement
    int cursors = 0;     // the result cursors the procedure answers (0: it answers rows)
};

// The command for the server; throws EDatabaseError for a text it does not accept.
TPgCommand TranslateCommand(const QString &commandText);
// Its PostgreSQL text alone.
QString ToPostgres(const QString &commandText);

// True when the name (any case) is a procedure of the program's contract.
bool IsContractProcedure(const QString &name);
// True when the procedure (any case) answers result cursors instead of rows.
bool AnswersCursors(const QString &name);

// A call of the command's own transaction sent in one message with the reading of its cursors:
// BEGIN, the announcement of the cursors' names (the functions name their cursors after it),
// the call, FETCH ALL of each announced cursor, COMMIT. A procedure that answers rows gets
// an announcement of no cursor. The results come in that order: 3 before the fetches.
QString OneMessageCall(const TPgCommand &command);
inline constexpr int kOneMessageFirstFetch = 3;
// The name of the announced cursor (from 1) of a call sent by OneMessageCall.
QString AnnouncedCursorName(int index);
// Reading and closing a cursor named by the server.
QString FetchAllSql(const QString &cursorName);
QString CloseCursorSql(const QString &cursorName);

// True when the database can store the text as it is: no NUL character, no UTF-16 surrogate
// without its pair.
bool IsStorableText(const QString &text);
// Throws EDatabaseError with a clear message when IsStorableText fails; what names the field
// or command for the message (may be empty).
void CheckStorableText(const QString &text, const QString &what = QString());

// True when the text is a procedure call ("EXEC ...").
bool IsProcedureCall(const QString &commandText);

// Checks that the text is a list of literals separated by commas: 'text' (apostrophes doubled,
// no escapes), null, or a number. An empty text is an empty list.
bool IsLiteralList(const QString &arguments);
