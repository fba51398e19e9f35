#pragma once

// The one place where a command text of the program becomes PostgreSQL.
//
// Procedure calls "EXEC Name a, b" become "SELECT * FROM Name(a, b)". The arguments must be
// literals as the command builders write them (quoted texts with apostrophes doubled, null,
// numbers); they are passed on unchanged. The few direct statements are translated by a fixed
// table. Any other text is refused, so no free SQL reaches the server through commands.

#include <QString>

// The batch that prepares the session's temporary table of split texts.
inline constexpr const char *kTempTabTestoBatch
    = "IF OBJECT_ID('TempDB.dbo.#TempTabTesto') IS NOT NULL BEGIN   DROP TABLE #TempTabTesto; "
      "END; CREATE TABLE #TempTabTesto ( idTesto uniqueidentifier, nuRiga smallint, txTesto "
      "varchar(MAX), txTestoRtf varchar(MAX)); SELECT * FROM #TempTabTesto;";

// The PostgreSQL text of a command; throws EDatabaseError for a text it does not accept.
QString ToPostgres(const QString &commandText);

// True when the text is a procedure call ("EXEC ...").
bool IsProcedureCall(const QString &commandText);

// Checks that the text is a list of literals separated by commas: 'text' (apostrophes doubled,
// no escapes), null, or a number. An empty text is an empty list.
bool IsLiteralList(const QString &arguments);
