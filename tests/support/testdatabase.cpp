#include "tests/support/testdatabase.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QUuid>

#include <libpq-fe.h>

#include <stdexcept>

namespace {

QString superConnInfo(const QString &db)
{
    TConnectionParams p;
    p.host = TTestDatabase::SocketDir();
    p.database = db;
    p.login = QStringLiteral("postgres");
    return TSTD_DBMODULE::ComposeConnectionString(p);
}

QString runSuper(const QString &db, const QString &sql)
{
    PGconn *c = PQconnectdb(superConnInfo(db).toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK) {
        QString err = QString::fromUtf8(PQerrorMessage(c));
        PQfinish(c);
        throw std::runtime_error(("test cluster unreachable: " + err).toStdString());
    }
    PGresult *r = PQexec(c, sql.toUtf8().constData());
    const auto st = PQresultStatus(r);
    QString out;
    if (st == PGRES_TUPLES_OK && PQntuples(r) > 0 && PQnfields(r) > 0)
        out = QString::fromUtf8(PQgetvalue(r, 0, 0));
    QString err = QString::fromUtf8(PQresultErrorMessage(r));
    PQclear(r);
    PQfinish(c);
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK)
        throw std::runtime_error(("SQL failed: " + sql + "\n" + err).toStdString());
    return out;
}

} // namespace

QString TTestDatabase::SocketDir()
{
    return qEnvironmentVariable("VENTOREL_TEST_PGSOCKET");
}

bool TTestDatabase::Available()
{
    if (SocketDir().isEmpty())
        return false;
    PGconn *c = PQconnectdb(superConnInfo(QStringLiteral("postgres")).toUtf8().constData());
    const bool ok = PQstatus(c) == CONNECTION_OK;
    PQfinish(c);
    return ok;
}

TTestDatabase::TTestDatabase(Template t)
{
    m_name = QStringLiteral("vt_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    const QString tpl = t == Demo ? QStringLiteral("ventorel_tpl_demo")
                                  : QStringLiteral("ventorel_tpl_empty");
    runSuper(QStringLiteral("postgres"),
             QStringLiteral("CREATE DATABASE %1 OWNER ventorel_owner TEMPLATE %2").arg(m_name, tpl));
    // A clone does not inherit the template's rights on the database itself.
    runSuper(QStringLiteral("postgres"),
             QStringLiteral("REVOKE CONNECT, TEMPORARY ON DATABASE %1 FROM PUBLIC; "
                            "GRANT CONNECT ON DATABASE %1 TO ventorel_app")
                 .arg(m_name));
    m_module = std::make_unique<TSTD_DBMODULE>();
    m_module->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(Params()));
    m_previous = TSTD_DBMODULE::Instance();
    TSTD_DBMODULE::SetInstance(m_module.get());
}

TTestDatabase::~TTestDatabase()
{
    if (TSTD_DBMODULE::Instance() == m_module.get())
        TSTD_DBMODULE::SetInstance(m_previous);
    m_module.reset();
    try {
        runSuper(QStringLiteral("postgres"),
                 QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    } catch (...) {
        // A database left behind disappears with the throwaway cluster.
    }
}

TConnectionParams TTestDatabase::Params() const
{
    TConnectionParams p;
    p.host = SocketDir();
    p.database = m_name;
    p.login = QStringLiteral("ventorel_test");
    p.password = QStringLiteral("ventorel_test");
    return p;
}

TSTD_DBMODULE &TTestDatabase::Module()
{
    return *m_module;
}

void TTestDatabase::LogOn(const QString &operatorCode, TSTD_DBMODULE *module)
{
    LogOn(m_name, operatorCode, module ? *module : *m_module);
}

void TTestDatabase::LogOn(const QString &database,
                          const QString &operatorCode,
                          TSTD_DBMODULE &module)
{
    const QString code = operatorCode.toUpper().replace(u'\'', QStringLiteral("''"));
    // A hash no password matches: this operator logs on only through here.
    runSuper(database,
             QStringLiteral(
                 "INSERT INTO operatori (idoperatore, txoperatore, txpassword, "
                 "txdescrizione, flfunzionario) SELECT '{' || upper(gen_random_uuid()::text) "
                 "|| '}', '%1', '$2a$04$' || repeat('x', 53), 'Operatore di prova', 1 "
                 "WHERE NOT EXISTS (SELECT 1 FROM operatori WHERE upper(txoperatore) = '%1')")
                 .arg(code));
    const QString secret = QUuid::createUuid().toString(QUuid::Id128)
                           + QUuid::createUuid().toString(QUuid::Id128);
    runSuper(database,
             QStringLiteral(
                 "INSERT INTO sessioni (idsessione, txtoken, idoperatore, dtin, dtultimo) "
                 "SELECT '{' || upper(gen_random_uuid()::text) || '}', "
                 "sha256(convert_to('%1', 'UTF8')), idoperatore, localtimestamp, "
                 "localtimestamp FROM operatori WHERE upper(txoperatore) = '%2'")
                 .arg(secret, code));
    module.ResumeOperatorSession(secret);
}

QString TTestDatabase::SuperQuery(const QString &sql) const
{
    return runSuper(m_name, sql);
}
