#include "db/pgadapter.h"

#include "db/dbmodule.h"

#include <QRegularExpression>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

int skipBlanks(const QString &s, int i)
{
    while (i < s.size() && isBlank(s.at(i)))
        ++i;
    return i;
}

int skipDigits(const QString &s, int i)
{
    while (i < s.size() && s.at(i) >= u'0' && s.at(i) <= u'9')
        ++i;
    return i;
}

// The index just after the literal starting at i, or -1 when no literal starts there.
// Quoted texts follow standard_conforming_strings: only a doubled apostrophe is special.
int literalEnd(const QString &s, int i)
{
    const int n = s.size();
    if (i >= n)
        return -1;
    int end = -1;
    if (s.at(i) == u'\'') {
        int j = i + 1;
        while (true) {
            if (j >= n)
                return -1;
            if (s.at(j) == u'\'') {
                if (j + 1 < n && s.at(j + 1) == u'\'') {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
    }
    if (s.mid(i, 4).compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
        end = i + 4;
    } else {
        int j = i;
        if (s.at(j) == u'+' || s.at(j) == u'-')
            ++j;
        const int intStart = j;
        j = skipDigits(s, j);
        bool digits = j > intStart;
        if (j < n && s.at(j) == u'.') {
            const int fracStart = j + 1;
            j = skipDigits(s, fracStart);
            digits = digits || j > fracStart;
        }
        if (!digits)
            return -1;
        if (j < n && (s.at(j) == u'e' || s.at(j) == u'E')) {
            int k = j + 1;
            if (k < n && (s.at(k) == u'+' || s.at(k) == u'-'))
                ++k;
            const int expStart = k;
            k = skipDigits(s, k);
            if (k == expStart)
                return -1;
            j = k;
        }
        end = j;
    }
    // A literal must not run into a name, a quote or a dot ("1abc", "null'x'", "1.2.3").
    if (end < n && (isIdentChar(s.at(end)) || s.at(end) == u'\'' || s.at(end) == u'.'))
        return -1;
    return end;
}

// True when s is exactly one literal, blanks around allowed.
bool isSingleLiteral(const QString &s)
{
    const int start = skipBlanks(s, 0);
    const int end = literalEnd(s, start);
    return end > 0 && skipBlanks(s, end) == s.size();
}

struct TDirectStatement
{
    const char *text;    // the program's text, or its start when followed by a literal
    const char *pgText;  // what replaces that part
    bool literalFollows; // the text ends with exactly one literal
};

// The direct statements the program sends besides procedure calls.
const TDirectStatement kDirectStatements[] = {
    {"SELECT GETDATE() AS TMNOW", "SELECT GETDATE() AS TMNOW", false},
    {"DELETE Ordine_Sommario WHERE idOrdine = ",
     "DELETE FROM Ordine_Sommario WHERE idOrdine = ",
     true},
    {"SELECT * FROM Societa WHERE idSocieta = ", "SELECT * FROM Societa WHERE idSocieta = ", true},
    {"SELECT *\tFROM Images_Layout WHERE txDescImage = ",
     "SELECT *\tFROM Images_Layout WHERE txDescImage = ",
     true},
    {"SELECT *\tFROM Layout\tWHERE idLayout = ", "SELECT *\tFROM Layout\tWHERE idLayout = ", true},
    {"select * from Prod_Comp_Parte_Txt", "select * from Prod_Comp_Parte_Txt", false},
};

// The session's table of split texts: created once per session, emptied on every use. Temporary
// tables are private to the session, so the grant only lets the stored functions that read it
// (which run as the schema owner) see it.
const char *kTempTabTestoPg
    = "CREATE TEMP TABLE IF NOT EXISTS TempTabTesto (idTesto varchar(38), nuRiga smallint, "
      "txTesto text, txTestoRtf text); "
      "GRANT SELECT, INSERT, UPDATE, DELETE ON TempTabTesto TO PUBLIC; "
      "DELETE FROM TempTabTesto; "
      "SELECT * FROM TempTabTesto";

QString collapseBlanks(const QString &s)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return QString(s).replace(blanks, QStringLiteral(" ")).trimmed();
}

[[noreturn]] void refuse(const QString &commandText, const QString &why)
{
    QString shown = commandText.left(200);
    if (commandText.size() > 200)
        shown += QStringLiteral("...");
    throw EDatabaseError(QStringLiteral("Comando non ammesso (%1): %2").arg(why, shown));
}

} // namespace

bool IsLiteralList(const QString &arguments)
{
    int i = skipBlanks(arguments, 0);
    if (i == arguments.size())
        return true;
    while (true) {
        const int end = literalEnd(arguments, i);
        if (end < 0)
            return false;
        i = skipBlanks(arguments, end);
        if (i == arguments.size())
            return true;
        if (arguments.at(i) != u',')
            return false;
        i = skipBlanks(arguments, i + 1);
    }
}

bool IsProcedureCall(const QString &commandText)
{
    const int i = skipBlanks(commandText, 0);
    return commandText.mid(i, 4).compare(QLatin1String("EXEC"), Qt::CaseInsensitive) == 0
           && i + 4 < commandText.size() && isBlank(commandText.at(i + 4));
}

QString ToPostgres(const QString &commandText)
{
    if (IsProcedureCall(commandText)) {
        int i = skipBlanks(commandText, skipBlanks(commandText, 0) + 4);
        const int nameStart = i;
        if (i < commandText.size() && (commandText.at(i).isLetter() || commandText.at(i) == u'_')) {
            while (i < commandText.size()
                   && (commandText.at(i).isLetterOrNumber() || commandText.at(i) == u'_'))
                ++i;
        }
        if (i == nameStart)
            refuse(commandText, QStringLiteral("nome di procedura mancante"));
        const QString name = commandText.mid(nameStart, i - nameStart);
        if (i < commandText.size() && !isBlank(commandText.at(i)))
            refuse(commandText, QStringLiteral("nome di procedura non valido"));
        const QString args = commandText.mid(skipBlanks(commandText, i));
        if (!IsLiteralList(args))
            refuse(commandText, QStringLiteral("argomenti non validi"));
        return QStringLiteral("SELECT * FROM %1(%2)").arg(name, args);
    }

    const QString text = commandText.trimmed();
    for (const TDirectStatement &st : kDirectStatements) {
        const QString prefix = QString::fromLatin1(st.text);
        if (!st.literalFollows) {
            if (text == prefix)
                return QString::fromLatin1(st.pgText);
            continue;
        }
        if (text.startsWith(prefix) && isSingleLiteral(text.mid(prefix.size())))
            return QString::fromLatin1(st.pgText) + text.mid(prefix.size()).trimmed();
    }
    if (collapseBlanks(text) == collapseBlanks(QString::fromLatin1(kTempTabTestoBatch)))
        return QString::fromLatin1(kTempTabTestoPg);
    refuse(commandText, QStringLiteral("testo non previsto"));
}
