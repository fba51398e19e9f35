#include "db/pgadapter.h"

#include "db/dbmodule.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QVariant>

namespace {

// Every procedure of the program's contract (the layout procedures are those the layouts
// name), plus the password change that stands for the direct password update.
const QSet<QString> &contractProcedures()
{
    static const QSet<QString> names = [] {
        const char *const list[] = {"AddProdottoLinked",
                                    "AddProdottoToPreventivo",
                                    "AppendNodoProdotto",
                                    "BloccaPreventivo",
                                    "ChangeBloccoOrdine",
                                    "ChangeBloccoPreventivo",
                                    "ChangeParteUnita",
                                    "ChangeSaltoPaginaNodo",
                                    "ChangeStateNodo",
                                    "ChangeStatoCliente",
                                    "ChangeStatoListino",
                                    "ChangeStatoOperatore",
                                    "ChangeStatoOrdine",
                                    "ChangeStatoPreventivo",
                                    "ChangeStatoProdotto",
                                    "ChangeStatoSocieta",
                                    "CheckCodProdotto",
                                    "CloneListino",
                                    "ClonePreventivo",
                                    "CloneProdotto",
                                    "CopiaNodoInAltroProdotto",
                                    "CreaOrdineDaPreventivo",
                                    "DatiCliente",
                                    "DatiImagesDettaglio",
                                    "DatiImagesDettaglioPreview",
                                    "DatiImagesLayout",
                                    "DatiImagesProdotto",
                                    "DatiImagesProdottoPreview",
                                    "DatiListino",
                                    "DatiListinoParteComp",
                                    "DatiListinoSchedeValori",
                                    "DatiNodo",
                                    "DatiOperatore",
                                    "DatiOrdine",
                                    "DatiOrdineSommario",
                                    "DatiPrevDetParteComp",
                                    "DatiPrevDetSchedaValori",
                                    "DatiPreventivo",
                                    "DatiPreventivoDet",
                                    "DatiProdotto",
                                    "DatiSocieta",
                                    "DelPreventivoDettaglio",
                                    "DelProdottoLinked",
                                    "DeleteListino",
                                    "DeleteNodo",
                                    "DeleteOrdine",
                                    "DeletePreventivo",
                                    "DeleteProdotto",
                                    "EstraiAllDettagliProdotto",
                                    "EstraiClienti",
                                    "EstraiCompPartiListinoQta",
                                    "EstraiDatiOperatore",
                                    "EstraiElencoCondPagam",
                                    "EstraiElencoSocieta",
                                    "EstraiFornitori",
                                    "EstraiImmaginiDaConvertire",
                                    "EstraiLayouts",
                                    "EstraiListinoProdotto",
                                    "EstraiOperatori",
                                    "EstraiOrdini",
                                    "EstraiPrevDetSchedaValori",
                                    "EstraiPreventivi",
                                    "EstraiProdotti",
                                    "EstraiProdottiForPreventivo",
                                    "EstraiProdottiInPreventivo",
                                    "EstraiProdottiLinked",
                                    "EstraiProdottiNotLinked",
                                    "EstraiProvinceItaliane",
                                    "EstraiSchedeListinoValori",
                                    "EstraiSocieta",
                                    "EstraiSommarioOrdineValori",
                                    "InsertAfterBeforeNodoProdotto",
                                    "IsNewOperatoreOk",
                                    "MergeParte",
                                    "MovePreventivoDettaglio",
                                    "MoveProdottoLinked",
                                    "RefreshProdListSchedaVoci",
                                    "RefreshProdListino",
                                    "RefreshProdottoInDettagliPrev",
                                    "ResetPasswordOperatore",
                                    "RevisionePreventivo",
                                    "SetNewCodCliente",
                                    "SetNewPreventivo",
                                    "SetOrdineNewNodo",
                                    "SplitElencoPuntato",
                                    "UndoRevisionePreventivo",
                                    "UpdateChangeOfListino",
                                    "UpdateChangesProdotto",
                                    "UpdateListinoParte",
                                    "UpdatePrevDetParte",
                                    "UpdateProdottoLinked",
                                    // The three procedures of the layouts (named in the Layout table).
                                    "EstraiLayoutPrevMain",
                                    "EstraiLayoutPrevCover",
                                    "EstraiLayoutPrevTotali",
                                    // The operator's own password change.
                                    "CambiaPasswordOperatore"};
        QSet<QString> set;
        for (const char *name : list)
            set.insert(QString::fromLatin1(name).toLower());
        return set;
    }();
    return names;
}

// Calls whose arguments are passwords: sent as bound parameters, never inside the text.
bool carriesPasswords(const QString &lowerName)
{
    return lowerName == QLatin1String("estraidatioperatore")
           || lowerName == QLatin1String("cambiapasswordoperatore")
           || lowerName == QLatin1String("resetpasswordoperatore");
}

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

// The value of the literal s[begin, end): a quoted text without its quotes and with doubled
// apostrophes undone, null, or the number as written.
QVariant literalValue(const QString &s, int begin, int end)
{
    const QString lit = s.mid(begin, end - begin);
    if (lit.startsWith(u'\'')) {
        QString text = lit.mid(1, lit.size() - 2);
        return text.replace(QStringLiteral("''"), QStringLiteral("'"));
    }
    if (lit.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return QVariant();
    return lit;
}

// The values of a literal list accepted by IsLiteralList.
QVariantList literalValues(const QString &arguments)
{
    QVariantList values;
    int i = skipBlanks(arguments, 0);
    while (i < arguments.size()) {
        const int end = literalEnd(arguments, i);
        values << literalValue(arguments, i, end);
        i = skipBlanks(arguments, end);
        if (i < arguments.size())
            i = skipBlanks(arguments, i + 1); // the comma
    }
    return values;
}

// The procedures that answer result cursors, and how many: the functions name them after the
// caller's announcement, so that the cursors are read in the same message as the call.
int cursorsOf(const QString &lowerName, const QString &arguments)
{
    static const QHash<QString, int> counts = {
        {QStringLiteral("estraialldettagliprodotto"), 2},
        {QStringLiteral("changestatenodo"), 2},
        {QStringLiteral("deletenodo"), 2},
        {QStringLiteral("appendnodoprodotto"), 2},
        {QStringLiteral("insertafterbeforenodoprodotto"), 2},
        {QStringLiteral("mergeparte"), 2},
        {QStringLiteral("datinodo"), 1},
        {QStringLiteral("estraischedelistinovalori"), 2},
        {QStringLiteral("datipreventivo"), 1},
        {QStringLiteral("estraiprodottiforpreventivo"), 3},
    };
    const int n = counts.value(lowerName, 0);
    // The product print: its third argument 1 adds the product, its links and its lists.
    if (lowerName == QLatin1String("estraialldettagliprodotto")) {
        const QVariantList values = literalValues(arguments);
        if (values.size() >= 3 && values.at(2).toString().trimmed().toInt() == 1)
            return 5;
    }
    return n;
}

// The announced cursors are named kCursorPrefix_1, kCursorPrefix_2 ...; they live only in the
// call's own transaction.
const char *kCursorPrefix = "vt_c";

QString quoteIdentifier(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
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

// The session's table of split texts: a stored function makes it (the program's login may not
// create temporary objects, so nothing it made can stand in for the table), empties it and
// answers its empty rows; the program then inserts into TempTabTesto as before.
const char *kTempTabTestoPg = "SELECT * FROM PreparaTempTabTesto()";

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

bool IsContractProcedure(const QString &name)
{
    return contractProcedures().contains(name.toLower());
}

bool AnswersCursors(const QString &name)
{
    return cursorsOf(name.toLower(), QString()) > 0;
}

QString AnnouncedCursorName(int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(kCursorPrefix)).arg(index);
}

QString FetchAllSql(const QString &cursorName)
{
    return QStringLiteral("FETCH ALL FROM ") + quoteIdentifier(cursorName);
}

QString CloseCursorSql(const QString &cursorName)
{
    return QStringLiteral("CLOSE ") + quoteIdentifier(cursorName);
}

QString OneMessageCall(const TPgCommand &command)
{
    QStringList statements{QStringLiteral("BEGIN"),
                           QStringLiteral("SELECT set_config('ventorel.cursori', '%1/%2', true)")
                               .arg(QLatin1String(kCursorPrefix))
                               .arg(command.cursors),
                           command.sql};
    for (int i = 1; i <= command.cursors; ++i)
        statements << FetchAllSql(AnnouncedCursorName(i));
    statements << QStringLiteral("COMMIT");
    return statements.join(QStringLiteral("; "));
}

bool IsStorableText(const QString &text)
{
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() == 0)
            return false;
        if (c.isHighSurrogate()) {
            if (i + 1 >= n || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

void CheckStorableText(const QString &text, const QString &what)
{
    if (IsStorableText(text))
        return;
    QString message = QStringLiteral(
        "Il testo contiene un carattere che il database non può memorizzare (carattere nullo o "
        "carattere Unicode incompleto): correggerlo prima di salvare.");
    if (!what.isEmpty())
        message += QStringLiteral(" (") + what + u')';
    throw EDatabaseError(message);
}

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

TPgCommand TranslateCommand(const QString &commandText)
{
    CheckStorableText(commandText);
    TPgCommand command;
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
        if (!IsContractProcedure(name))
            refuse(commandText, QStringLiteral("procedura non prevista"));
        const QString args = commandText.mid(skipBlanks(commandText, i));
        if (!IsLiteralList(args))
            refuse(commandText, QStringLiteral("argomenti non validi"));
        command.procedure = name.toLower();
        command.cursors = cursorsOf(command.procedure, args);
        if (carriesPasswords(command.procedure)) {
            command.params = literalValues(args);
            QStringList marks;
            for (int p = 1; p <= command.params.size(); ++p)
                marks << QStringLiteral("$%1").arg(p);
            command.sql = QStringLiteral("SELECT * FROM %1(%2)")
                              .arg(name, marks.join(QStringLiteral(", ")));
        } else {
            command.sql = QStringLiteral("SELECT * FROM %1(%2)").arg(name, args);
        }
        return command;
    }

    const QString text = commandText.trimmed();
    for (const TDirectStatement &st : kDirectStatements) {
        const QString prefix = QString::fromLatin1(st.text);
        if (!st.literalFollows) {
            if (text == prefix) {
                command.sql = QString::fromLatin1(st.pgText);
                return command;
            }
            continue;
        }
        if (text.startsWith(prefix) && isSingleLiteral(text.mid(prefix.size()))) {
            command.sql = QString::fromLatin1(st.pgText) + text.mid(prefix.size()).trimmed();
            return command;
        }
    }
    if (collapseBlanks(text) == collapseBlanks(QString::fromLatin1(kTempTabTestoBatch))) {
        command.sql = QString::fromLatin1(kTempTabTestoPg);
        return command;
    }
    refuse(commandText, QStringLiteral("testo non previsto"));
}

QString ToPostgres(const QString &commandText)
{
    return TranslateCommand(commandText).sql;
}
