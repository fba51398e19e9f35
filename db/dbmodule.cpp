#include "db/dbmodule.h"

#include "common/dialogs.h"
#include "db/pgadapter.h"
#include "db/resultsource.h"

#include <QDateTime>
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

QString quoteIdentifier(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
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
    // fails means the server went away: it is reported as a lost connection.
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
        if (!conn || PQstatus(conn) == CONNECTION_BAD) {
            finish();
            throw EDatabaseError(QString::fromLatin1(kLostConnectionMark) + u' ' + text, true);
        }
        throw EDatabaseError(text);
    }

    // Sends a text of one or more statements and returns every result in order. The first
    // failing statement stops the text; its error is raised after the rest was drained.
    std::vector<TPgResultPtr> run(const QString &sql)
    {
        std::vector<TPgResultPtr> results;
        if (!PQsendQuery(conn, sql.toUtf8().constData()))
            fail(nullptr);
        TPgResultPtr error;
        while (PGresult *raw = PQgetResult(conn)) {
            TPgResultPtr r = AdoptPgResult(raw);
            const ExecStatusType st = PQresultStatus(raw);
            if (st == PGRES_TUPLES_OK || st == PGRES_COMMAND_OK || st == PGRES_EMPTY_QUERY) {
                results.push_back(std::move(r));
            } else if (!error) {
                error = std::move(r);
            }
        }
        if (error)
            fail(error.get());
        if (PQstatus(conn) == CONNECTION_BAD)
            fail(nullptr);
        return results;
    }

    void runSimple(const QString &sql) { run(sql); }

    // Ends a transaction begun for one command; never raises.
    void rollbackQuietly()
    {
        if (conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE) {
            PGresult *r = PQexec(conn, "ROLLBACK");
            PQclear(r);
        }
    }

    // Runs a command text and returns its result sets. A procedure whose first result is a
    // list of cursors gives the rows of each cursor, fetched inside the same transaction.
    std::vector<TPgResultPtr> query(const QString &commandText)
    {
        lastCommand = commandText;
        const QString sql = ToPostgres(commandText);
        ensureOpen();
        const bool ownTrans = !userTrans && IsProcedureCall(commandText);
        std::vector<TPgResultPtr> sets;
        try {
            std::vector<TPgResultPtr> results = run(ownTrans ? QStringLiteral("BEGIN; ") + sql
                                                             : sql);
            TPgResultPtr first = results.empty() ? nullptr : results.back();
            if (isCursorList(first.get())) {
                QStringList fetch, close;
                for (int row = 0; row < PQntuples(first.get()); ++row) {
                    if (PQgetisnull(first.get(), row, 0))
                        throw EDatabaseError(
                            QStringLiteral("La procedura ha restituito un cursore nullo."));
                    const QString name = quoteIdentifier(
                        QString::fromUtf8(PQgetvalue(first.get(), row, 0)));
                    fetch << QStringLiteral("FETCH ALL FROM ") + name;
                    close << QStringLiteral("CLOSE ") + name;
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
        return sets;
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
    const QString sql = ToPostgres(commandText);
    d->ensureOpen();
    d->run(sql);
}

int TSTD_DBMODULE::ExecuteParams(const QString &sql, const QVariantList &params)
{
    d->lastCommand = sql;
    d->ensureOpen();
    const int n = int(params.size());
    std::vector<QByteArray> storage(n);
    std::vector<const char *> values(n, nullptr);
    std::vector<int> lengths(n, 0);
    std::vector<int> formats(n, 0);
    std::vector<Oid> types(n, 0);
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
            storage[i] = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
            break;
        case QMetaType::QDate:
            storage[i] = v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
            break;
        default:
            storage[i] = v.toString().toUtf8();
            break;
        }
        values[i] = storage[i].constData();
        lengths[i] = int(storage[i].size());
    }
    PGresult *raw = PQexecParams(d->conn,
                                 sql.toUtf8().constData(),
                                 n,
                                 types.data(),
                                 values.data(),
                                 lengths.data(),
                                 formats.data(),
                                 0);
    TPgResultPtr r = AdoptPgResult(raw);
    const ExecStatusType st = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        d->fail(raw);
    return QByteArray(PQcmdTuples(raw)).toInt();
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

QString TSTD_DBMODULE::LastCommandText() const
{
    return d->lastCommand;
}
