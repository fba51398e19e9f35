#include "db/dbmodule.h"

#include "common/dialogs.h"
#include "db/pgadapter.h"
#include "db/resultsource.h"

#include <QDateTime>
#include <QTimeZone>
#include <QVariant>

#include <libpq-fe.h>

#include <algorithm>

namespace {

TSTD_DBMODULE *g_instance = nullptr;

enum : Oid { kByteaOid = 17, kRefcursorOid = 1790, kVoidOid = 2278 };

QString quoteConnValue(const QString &v)
{
    QString out = v;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + out + u'\'';
}

void ignoreNotice(void *, const char *) {}

bool isRowSet(const PGresult *r)
{
    return r && PQresultStatus(r) == PGRES_TUPLES_OK
           && !(PQnfields(r) == 1 && PQftype(r, 0) == kVoidOid);
}

bool isCursorList(const PGresult *r)
{
    return r && PQresultStatus(r) == PGRES_TUPLES_OK && PQnfields(r) == 1
           && PQftype(r, 0) == kRefcursorOid;
}

const char *kNoRowSet = "Il comando non ha restituito un insieme di righe.";

// Values bound to $1, $2 ...: texts in UTF-8 (checked storable first), byte arrays as binary
// bytea, dates and date-times in ISO form, null as NULL.
struct TBoundParams
{
    std::vector<QByteArray> storage;
    std::vector<const char *> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    std::vector<Oid> types;

    explicit TBoundParams(const QVariantList &params)
    {
        const int n = int(params.size());
        storage.resize(n);
        values.assign(n, nullptr);
        lengths.assign(n, 0);
        formats.assign(n, 0);
        types.assign(n, 0);
        for (int i = 0; i < n; ++i) {
            const QVariant &v = params.at(i);
            if (!v.isValid() || v.isNull())
                continue;
            switch (v.typeId()) {
            case QMetaType::QByteArray:
                storage[i] = v.toByteArray();
                formats[i] = 1;
                types[i] = kByteaOid;
                break;
            case QMetaType::Bool:
                storage[i] = v.toBool() ? "1" : "0";
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                storage[i] = QByteArray::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
                break;
            case QMetaType::QDateTime:
                storage[i]
                    = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
                break;
            case QMetaType::QDate:
                storage[i] = v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
                break;
            default: {
                // A text parameter is a C string for libpq: a NUL would cut it silently.
                const QString text = v.toString();
                CheckStorableText(text, QStringLiteral("parametro %1").arg(i + 1));
                storage[i] = text.toUtf8();
                break;
            }
            }
            values[i] = storage[i].constData();
            lengths[i] = int(storage[i].size());
        }
    }
    int count() const { return int(values.size()); }
};

} // namespace

struct TSTD_DBMODULE::Impl
{
    PGconn *conn = nullptr;
    QString conninfo;
    bool userTrans = false;
    quint64 transSerial = 0;         // the caller's transactions, numbered from 1
    std::vector<quint64> rolledBack; // those that ended without a commit
    int timeoutSeconds = 30;
    QString lastCommand;
    quint64 roundTrips = 0; // messages sent that waited for their answer
    // The secret of the operator session opened by the log-on: a connection opened again is
    // bound to the same session with it. Kept in memory only.
    QString sessionSecret;

    ~Impl() { finish(); }

    void finish()
    {
        if (conn)
            PQfinish(conn);
        conn = nullptr;
        endTrans(false);
    }

    // Ends the caller's transaction; one that did not commit is remembered, so that records
    // posted inside it know they were not stored.
    void endTrans(bool committed)
    {
        if (userTrans && !committed)
            rolledBack.push_back(transSerial);
        userTrans = false;
    }

    bool connected() const { return conn && PQstatus(conn) == CONNECTION_OK; }

    // Opens the session. An implicit open (by a command, after the logon opened it once) that
    // fails means the server went away: it is reported as a lost connection. A connection of a
    // logged-on program is bound to its operator session at once.
    void open(bool implicit)
    {
        if (connected())
            return;
        finish();
        if (conninfo.isEmpty())
            throw EDatabaseError(QStringLiteral("Connessione al database non impostata."));
        conn = PQconnectdb(conninfo.toUtf8().constData());
        if (PQstatus(conn) != CONNECTION_OK) {
            const QString text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
            finish();
            if (implicit)
                throw EDatabaseError(QString::fromLatin1(kLostConnectionMark) + u' ' + text, true);
            throw EDatabaseError(text);
        }
        PQsetNoticeProcessor(conn, ignoreNotice, nullptr);
        PQsetClientEncoding(conn, "UTF8");
        runSimple(QStringLiteral("SET standard_conforming_strings = on; SET DateStyle = ISO; "
                                 "SET statement_timeout = %1")
                      .arg(qint64(timeoutSeconds) * 1000));
        useProgramTimeZone();
        if (!sessionSecret.isEmpty()) {
            try {
                runParams(QStringLiteral("SELECT * FROM RiprendiSessioneOperatore($1)"),
                          {sessionSecret});
            } catch (...) {
                // An unbound connection would only answer "no operator" to every command.
                finish();
                throw;
            }
        }
    }

    // The session counts in the program's time zone: what the server stamps (blocking, the
    // date of a quote, the operations on its lines) and what the program stamps itself (dtIn,
    // dtMod of its records) are the same local time, whatever the server's own zone. A zone
    // the server does not know is given as its present offset from UTC.
    void useProgramTimeZone()
    {
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        if (!zone.isEmpty()) {
            try {
                runParams(QStringLiteral("SELECT set_config('TimeZone', $1, false)"),
                          {QString::fromUtf8(zone)});
                return;
            } catch (const EDatabaseError &) {
                // Unknown to the server: the offset below.
            }
        }
        const int offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
        runSimple(QStringLiteral("SET TIME ZONE INTERVAL '%1%2:%3' HOUR TO MINUTE")
                      .arg(offset < 0 ? u'-' : u'+')
                      .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                      .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0')));
    }

    void ensureOpen()
    {
        if (connected())
            return;
        if (userTrans) {
            finish();
            throw EDatabaseError(QString::fromLatin1(kLostConnectionMark)
                                     + QStringLiteral(" La transazione in corso è andata persa."),
                                 true);
        }
        open(true);
    }

    // Whether a failure left the connection unusable: libpq says so, the server ended the
    // session (a FATAL error, an administrator or crash shutdown, a connection error), or the
    // socket no longer answers. Such a failure is reported as a lost connection at once.
    bool unusable(const PGresult *r)
    {
        if (!conn || PQstatus(conn) == CONNECTION_BAD)
            return true;
        if (r) {
            const char *severity = PQresultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED);
            if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0))
                return true;
            const QByteArray state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
            if (state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03")
                return true;
        }
        // Anything left to read (or a closed socket) shows up here.
        if (!PQconsumeInput(conn))
            return true;
        return PQstatus(conn) == CONNECTION_BAD;
    }

    // Raises the error of a failed result (or of the connection), marking a lost connection.
    [[noreturn]] void fail(const PGresult *r)
    {
        QString text;
        if (r) {
            const char *primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
            text = QString::fromUtf8(primary ? primary : PQresultErrorMessage(r)).trimmed();
        }
        if (text.isEmpty() && conn)
            text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        if (text.isEmpty())
            text = QStringLiteral("Errore sconosciuto del database.");
        if (unusable(r)) {
            finish();
            throw EDatabaseError(QString::fromLatin1(kLostConnectionMark) + u' ' + text, true);
        }
        throw EDatabaseError(text);
    }

    // Sends a text of one or more statements (the results are read by collect or drain).
    void send(const QString &sql)
    {
        ++roundTrips;
        if (!PQsendQuery(conn, sql.toUtf8().constData()))
            fail(nullptr);
    }

    // Reads every result of the command just sent: the successful ones in order, up to the
    // first failing one, which is kept apart.
    void collect(std::vector<TPgResultPtr> &results, TPgResultPtr &error)
    {
        while (PGresult *raw = PQgetResult(conn)) {
            TPgResultPtr r = AdoptPgResult(raw);
            const ExecStatusType st = PQresultStatus(raw);
            if (st == PGRES_TUPLES_OK || st == PGRES_COMMAND_OK || st == PGRES_EMPTY_QUERY) {
                if (!error)
                    results.push_back(std::move(r));
            } else if (!error) {
                error = std::move(r);
            }
        }
    }

    // Collects every result of the command just sent; the first failing one is raised after
    // the rest was drained.
    std::vector<TPgResultPtr> drain()
    {
        std::vector<TPgResultPtr> results;
        TPgResultPtr error;
        collect(results, error);
        if (error)
            fail(error.get());
        if (PQstatus(conn) == CONNECTION_BAD)
            fail(nullptr);
        return results;
    }

    // One statement with its values bound to $1, $2 ... (never written into the text).
    std::vector<TPgResultPtr> runParams(const QString &sql, const QVariantList &params)
    {
        TBoundParams bound(params);
        ++roundTrips;
        if (!PQsendQueryParams(conn,
                               sql.toUtf8().constData(),
                               bound.count(),
                               bound.types.data(),
                               bound.values.data(),
                               bound.lengths.data(),
                               bound.formats.data(),
                               0))
            fail(nullptr);
        return drain();
    }

    // Sends a text of one or more statements and returns every result in order. The first
    // failing statement stops the text; its error is raised after the rest was drained.
    std::vector<TPgResultPtr> run(const QString &sql)
    {
        send(sql);
        return drain();
    }

    void runSimple(const QString &sql) { run(sql); }

    // Ends a transaction begun for one command; never raises.
    void rollbackQuietly()
    {
        if (conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE) {
            ++roundTrips;
            PGresult *r = PQexec(conn, "ROLLBACK");
            PQclear(r);
        }
    }

    // Runs a command text and returns its result sets. A procedure whose first result is a
    // list of cursors gives the rows of each cursor, fetched inside the same transaction.
    std::vector<TPgResultPtr> query(const QString &commandText)
    {
        lastCommand = commandText;
        const TPgCommand command = TranslateCommand(commandText);
        ensureOpen();
        const bool ownTrans = !userTrans && !command.procedure.isEmpty();
        std::vector<TPgResultPtr> sets;
        // A call of its own transaction travels with the reading of its cursors in one
        // message; the ordinary way below is for the callers' transactions, the calls with
        // bound values, and a call whose cursors were not those announced.
        if (ownTrans && command.params.isEmpty() && queryInOneMessage(command, sets)) {
            if (command.procedure == QLatin1String("estraidatioperatore"))
                takeSession();
            return sets;
        }
        try {
            std::vector<TPgResultPtr> results;
            if (command.params.isEmpty()) {
                results = run(ownTrans ? QStringLiteral("BEGIN; ") + command.sql : command.sql);
            } else {
                if (ownTrans)
                    run(QStringLiteral("BEGIN"));
                results = runParams(command.sql, command.params);
            }
            TPgResultPtr first = results.empty() ? nullptr : results.back();
            if (isCursorList(first.get())) {
                QStringList fetch, close;
                for (int row = 0; row < PQntuples(first.get()); ++row) {
                    if (PQgetisnull(first.get(), row, 0))
                        throw EDatabaseError(
                            QStringLiteral("La procedura ha restituito un cursore nullo."));
                    const QString name = QString::fromUtf8(PQgetvalue(first.get(), row, 0));
                    fetch << FetchAllSql(name);
                    close << CloseCursorSql(name);
                }
                if (ownTrans)
                    close = QStringList{QStringLiteral("COMMIT")};
                if (!fetch.isEmpty() || ownTrans) {
                    std::vector<TPgResultPtr> fetched = run((fetch + close).join(u';'));
                    fetched.resize(fetch.size());
                    sets = std::move(fetched);
                }
            } else {
                if (ownTrans)
                    run(QStringLiteral("COMMIT"));
                if (first)
                    sets.push_back(std::move(first));
            }
        } catch (...) {
            if (ownTrans)
                rollbackQuietly();
            throw;
        }
        if (command.procedure == QLatin1String("estraidatioperatore"))
            takeSession();
        return sets;
    }

    // The rows of a statement in single-row mode, handed over in pieces (see QueryInBatches).
    // A lone statement needs no transaction of its own: it is one by itself.
    void queryInBatches(const QString &commandText,
                        int batchRows,
                        qint64 batchBytes,
                        const std::function<void(TDataSet &)> &batch)
    {
        lastCommand = commandText;
        const TPgCommand command = TranslateCommand(commandText);
        ensureOpen();
        send(command.sql);
        // Without single-row mode (refused) the closing result carries every row.
        PQsetSingleRowMode(conn);
        std::vector<TPgResultPtr> rows;
        qint64 bytes = 0;
        TPgResultPtr closing;
        TPgResultPtr error;
        std::exception_ptr thrown;
        auto deliver = [&](const PGresult *shape) {
            std::unique_ptr<TDataSet> piece = DataSetFromRows(std::move(rows), shape);
            rows.clear();
            bytes = 0;
            batch(*piece);
        };
        // Every result is read, also after a failure, so that the connection is left ready.
        while (PGresult *raw = PQgetResult(conn)) {
            TPgResultPtr r = AdoptPgResult(raw);
            if (error || thrown)
                continue;
            switch (PQresultStatus(raw)) {
            case PGRES_SINGLE_TUPLE:
                for (int c = 0; c < PQnfields(raw); ++c)
                    bytes += PQgetlength(raw, 0, c);
                rows.push_back(std::move(r));
                if (int(rows.size()) >= batchRows || bytes >= batchBytes) {
                    try {
                        deliver(rows.front().get());
                    } catch (...) {
                        thrown = std::current_exception();
                    }
                }
                break;
            case PGRES_TUPLES_OK:
                closing = std::move(r);
                break;
            case PGRES_COMMAND_OK:
            case PGRES_EMPTY_QUERY:
                break;
            default:
                error = std::move(r);
                break;
            }
        }
        if (thrown)
            std::rethrow_exception(thrown);
        if (error)
            fail(error.get());
        if (PQstatus(conn) == CONNECTION_BAD)
            fail(nullptr);
        if (!isRowSet(closing.get()))
            throw EDatabaseError(QString::fromLatin1(kNoRowSet));
        if (PQntuples(closing.get()) > 0) {
            std::unique_ptr<TDataSet> whole = DataSetFromResult(std::move(closing));
            batch(*whole);
            return;
        }
        deliver(closing.get());
    }

    // The call in its own transaction, sent in one message with the fetch of the cursors the
    // adapter announces (one round trip instead of two). False, with the transaction rolled
    // back and nothing changed, when the function's cursors are not the announced ones (it
    // names them otherwise, or answers more or fewer): the caller then takes the ordinary
    // way. Any other failure is raised as for every command, after the rollback.
    bool queryInOneMessage(const TPgCommand &command, std::vector<TPgResultPtr> &sets)
    {
        std::vector<TPgResultPtr> results;
        TPgResultPtr error;
        try {
            send(OneMessageCall(command));
            collect(results, error);
            if (error) {
                const QByteArray state = PQresultErrorField(error.get(), PG_DIAG_SQLSTATE);
                // VTC01: a cursor beyond the announced ones; 34000 at a fetch: an announced
                // cursor that the function did not open under its name.
                const bool otherCursors = state == "VTC01"
                                          || (state == "34000"
                                              && int(results.size()) >= kOneMessageFirstFetch);
                if (otherCursors && !unusable(error.get())) {
                    rollbackQuietly();
                    return false;
                }
                fail(error.get());
            }
            if (PQstatus(conn) == CONNECTION_BAD)
                fail(nullptr);
        } catch (...) {
            rollbackQuietly();
            throw;
        }
        // BEGIN, the announcement, the call, the fetches, COMMIT: all done and committed.
        const int fetches = command.cursors;
        if (int(results.size()) != kOneMessageFirstFetch + fetches + 1)
            throw EDatabaseError(QStringLiteral("Risposta del database incompleta."));
        const PGresult *call = results.at(kOneMessageFirstFetch - 1).get();
        if (fetches == 0) {
            if (isCursorList(call))
                throw EDatabaseError(QStringLiteral(
                    "La procedura ha restituito dei cursori che il programma non attendeva."));
            sets.push_back(std::move(results[kOneMessageFirstFetch - 1]));
            return true;
        }
        // The sets in the order of the function's list of cursors.
        if (!isCursorList(call) || PQntuples(call) != fetches)
            throw EDatabaseError(QStringLiteral(
                "La procedura ha restituito dei cursori che il programma non attendeva."));
        for (int row = 0; row < fetches; ++row) {
            const QString name = QString::fromUtf8(PQgetvalue(call, row, 0));
            int index = 0;
            for (int i = 1; i <= fetches && index == 0; ++i)
                if (name == AnnouncedCursorName(i))
                    index = i;
            if (index == 0)
                throw EDatabaseError(QStringLiteral(
                    "La procedura ha restituito dei cursori che il programma non attendeva."));
            sets.push_back(results.at(kOneMessageFirstFetch + index - 1));
        }
        return true;
    }

    // After the operator check: the session it opened on this connection (none for a wrong
    // password or a deactivated operator), kept to bind later connections.
    void takeSession()
    {
        std::vector<TPgResultPtr> r
            = runParams(QStringLiteral("SELECT current_setting('ventorel.sessione', true)"), {});
        const PGresult *res = r.empty() ? nullptr : r.front().get();
        sessionSecret = res && PQntuples(res) == 1 && !PQgetisnull(res, 0, 0)
                            ? QString::fromUtf8(PQgetvalue(res, 0, 0))
                            : QString();
    }
};

TSTD_DBMODULE::TSTD_DBMODULE()
    : d(std::make_unique<Impl>())
{}

TSTD_DBMODULE::~TSTD_DBMODULE()
{
    if (g_instance == this)
        g_instance = nullptr;
}

TSTD_DBMODULE *TSTD_DBMODULE::Instance()
{
    return g_instance;
}

void TSTD_DBMODULE::SetInstance(TSTD_DBMODULE *module)
{
    g_instance = module;
}

QString TSTD_DBMODULE::ComposeConnectionString(const TConnectionParams &p)
{
    QStringList parts;
    if (!p.host.isEmpty())
        parts << QStringLiteral("host=") + quoteConnValue(p.host);
    parts << QStringLiteral("port=") + quoteConnValue(QString::number(p.port));
    if (!p.database.isEmpty())
        parts << QStringLiteral("dbname=") + quoteConnValue(p.database);
    if (!p.login.isEmpty())
        parts << QStringLiteral("user=") + quoteConnValue(p.login);
    if (!p.password.isEmpty())
        parts << QStringLiteral("password=") + quoteConnValue(p.password);
    if (p.connectTimeoutSeconds > 0)
        parts << QStringLiteral("connect_timeout=")
                     + quoteConnValue(QString::number(p.connectTimeoutSeconds));
    // A dead or frozen remote server (or network) is noticed within about 30 s: keep-alive
    // probes on an idle connection, and a limit on data left unacknowledged while sending.
    // Neither limits a long command of a server that is alive. (Ignored on a Unix socket.)
    parts << QStringLiteral("keepalives=1") << QStringLiteral("keepalives_idle=10")
          << QStringLiteral("keepalives_interval=5") << QStringLiteral("keepalives_count=3")
          << QStringLiteral("tcp_user_timeout=30000");
    parts << QStringLiteral("client_encoding='UTF8'")
          << QStringLiteral("application_name='Ventorel'");
    return parts.join(u' ');
}

void TSTD_DBMODULE::SetConnectionString(const QString &conninfo)
{
    d->conninfo = conninfo;
}

QString TSTD_DBMODULE::ConnectionString() const
{
    return d->conninfo;
}

void TSTD_DBMODULE::Open()
{
    d->open(false);
}

void TSTD_DBMODULE::Close()
{
    if (d->userTrans)
        d->rollbackQuietly();
    d->finish();
}

bool TSTD_DBMODULE::Connected() const
{
    return d->connected();
}

void TSTD_DBMODULE::SetCommandTimeout(int seconds)
{
    d->timeoutSeconds = qMax(0, seconds);
    if (d->connected())
        d->runSimple(
            QStringLiteral("SET statement_timeout = %1").arg(qint64(d->timeoutSeconds) * 1000));
}

std::unique_ptr<TDataSet> TSTD_DBMODULE::Query(const QString &commandText)
{
    std::vector<TPgResultPtr> sets = d->query(commandText);
    if (sets.empty() || !isRowSet(sets.front().get()))
        throw EDatabaseError(QString::fromLatin1(kNoRowSet));
    return DataSetFromResult(std::move(sets.front()));
}

void TSTD_DBMODULE::QueryInBatches(const QString &commandText,
                                   int batchRows,
                                   qint64 batchBytes,
                                   const std::function<void(TDataSet &rows)> &batch)
{
    const TPgCommand command = TranslateCommand(commandText);
    if (command.cursors > 0 || !command.params.isEmpty()
        || command.procedure == QLatin1String("estraidatioperatore")) {
        std::unique_ptr<TDataSet> rows = Query(commandText);
        batch(*rows);
        return;
    }
    d->queryInBatches(commandText, qMax(1, batchRows), qMax<qint64>(1, batchBytes), batch);
}

std::vector<std::unique_ptr<TDataSet>> TSTD_DBMODULE::QueryMulti(const QString &commandText)
{
    std::vector<TPgResultPtr> sets = d->query(commandText);
    std::vector<std::unique_ptr<TDataSet>> out;
    for (TPgResultPtr &r : sets) {
        if (!isRowSet(r.get()))
            throw EDatabaseError(QString::fromLatin1(kNoRowSet));
        out.push_back(DataSetFromResult(std::move(r)));
    }
    return out;
}

void TSTD_DBMODULE::Execute(const QString &commandText)
{
    d->lastCommand = commandText;
    const TPgCommand command = TranslateCommand(commandText);
    d->ensureOpen();
    if (command.params.isEmpty())
        d->run(command.sql);
    else
        d->runParams(command.sql, command.params);
}

int TSTD_DBMODULE::ExecuteParams(const QString &sql, const QVariantList &params)
{
    d->lastCommand = sql;
    TBoundParams bound(params); // refuses unstorable texts before anything is sent
    d->ensureOpen();
    std::vector<TPgResultPtr> r = d->runParams(sql, params);
    return r.empty() ? 0 : QByteArray(PQcmdTuples(r.back().get())).toInt();
}

std::unique_ptr<TDataSet> TSTD_DBMODULE::QueryParams(const QString &sql, const QVariantList &params)
{
    d->lastCommand = sql;
    TBoundParams bound(params);
    d->ensureOpen();
    std::vector<TPgResultPtr> r = d->runParams(sql, params);
    if (r.empty() || !isRowSet(r.back().get()))
        throw EDatabaseError(QString::fromLatin1(kNoRowSet));
    return DataSetFromResult(std::move(r.back()));
}

bool TSTD_DBMODULE::HasOperatorSession() const
{
    return !d->sessionSecret.isEmpty();
}

void TSTD_DBMODULE::ResumeOperatorSession(const QString &secret)
{
    d->sessionSecret = secret;
    if (d->connected())
        d->runParams(QStringLiteral("SELECT * FROM RiprendiSessioneOperatore($1)"), {secret});
}

QString TSTD_DBMODULE::DetachOperatorSession()
{
    QString secret;
    std::swap(secret, d->sessionSecret);
    Close();
    return secret;
}

void TSTD_DBMODULE::EndSession()
{
    if (d->connected() && !d->sessionSecret.isEmpty()) {
        try {
            if (d->userTrans)
                RollbackTrans();
            d->run(QStringLiteral("SELECT * FROM ChiudiSessioneOperatore()"));
        } catch (const EDatabaseError &) {
            // The session is forgotten here anyway; the server ends it by itself later.
        }
    }
    d->sessionSecret.clear();
}

void TSTD_DBMODULE::BeginTrans()
{
    if (d->userTrans)
        throw EDatabaseError(QStringLiteral("Una transazione è già aperta."));
    d->ensureOpen();
    d->runSimple(QStringLiteral("BEGIN"));
    d->userTrans = true;
    ++d->transSerial;
}

void TSTD_DBMODULE::CommitTrans()
{
    if (!d->userTrans)
        throw EDatabaseError(QStringLiteral("Nessuna transazione aperta."));
    d->ensureOpen();
    const bool failed = d->conn && PQtransactionStatus(d->conn) == PQTRANS_INERROR;
    std::vector<TPgResultPtr> r;
    try {
        r = d->run(QStringLiteral("COMMIT"));
    } catch (...) {
        d->endTrans(false);
        throw;
    }
    // COMMIT of a transaction that already failed ends it as a rollback.
    const bool rolledBack = failed
                            || (!r.empty()
                                && qstrcmp(PQcmdStatus(r.front().get()), "ROLLBACK") == 0);
    d->endTrans(!rolledBack);
    if (rolledBack)
        throw EDatabaseError(
            QStringLiteral("La transazione è stata annullata per un errore precedente."));
}

void TSTD_DBMODULE::RollbackTrans()
{
    if (!d->userTrans)
        return;
    d->endTrans(false);
    d->rollbackQuietly();
}

bool TSTD_DBMODULE::InTransaction() const
{
    return d->userTrans;
}

quint64 TSTD_DBMODULE::TransactionSerial() const
{
    return d->userTrans ? d->transSerial : 0;
}

bool TSTD_DBMODULE::TransactionRolledBack(quint64 serial) const
{
    return std::find(d->rolledBack.cbegin(), d->rolledBack.cend(), serial) != d->rolledBack.cend();
}

QDateTime TSTD_DBMODULE::ReadServerTime()
{
    try {
        std::unique_ptr<TDataSet> ds = Query(QStringLiteral("SELECT GETDATE() AS TMNOW"));
        if (ds->RecordCount() > 0) {
            const QDateTime t = ds->FieldByName(QStringLiteral("TMNOW")).AsDateTime();
            if (t.isValid())
                return t;
        }
    } catch (...) {
        // The local time stands in for the server's.
    }
    return QDateTime::currentDateTime();
}

quint64 TSTD_DBMODULE::RoundTrips() const
{
    return d->roundTrips;
}

QString TSTD_DBMODULE::LastCommandText() const
{
    return d->lastCommand;
}
