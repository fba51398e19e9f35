#pragma once

// The scale data set of the window benchmarks: a test cluster (the one named by
// VENTOREL_TEST_PGSOCKET, or one of the benchmark's own started with scripts/testdb.sh) holding
// the database ventorel_bench_scale, built once per cluster from database/scale/genera_scala.sql
// on the empty template (100,000 customers, 10,000 products, 50,000 quotes).

#include "common/files.h"
#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <libpq-fe.h>

#include <cstdio>

namespace scaledata {

inline const char *kScaleDb = "ventorel_bench_scale";

inline QString SourceDir()
{
    const QString env = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    // The compiler may name this file relative to the build folder: the build gives the
    // source tree's absolute path instead.
    return QStringLiteral(VENTOREL_BENCH_SOURCE_DIR);
}

inline bool Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(1800000) && p.exitStatus() == QProcess::NormalExit
           && p.exitCode() == 0;
}

// The first column of the first row, as the superuser.
inline QString SuperValue(const QString &db, const QString &sql)
{
    TConnectionParams p;
    p.host = TTestDatabase::SocketDir();
    p.database = db;
    p.login = QStringLiteral("postgres");
    PGconn *c = PQconnectdb(TSTD_DBMODULE::ComposeConnectionString(p).toUtf8().constData());
    QString out;
    if (PQstatus(c) == CONNECTION_OK) {
        PGresult *r = PQexec(c, sql.toUtf8().constData());
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0)
            out = QString::fromUtf8(PQgetvalue(r, 0, 0));
        else if (PQresultStatus(r) != PGRES_COMMAND_OK)
            std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
        PQclear(r);
    }
    PQfinish(c);
    return out;
}

// The scale database, built once per cluster (about two minutes).
inline bool EnsureScaleDatabase()
{
    const QString db = QString::fromLatin1(kScaleDb);
    const QString exists
        = SuperValue(QStringLiteral("postgres"),
                     QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(db));
    // A data set built by an older generator (fewer orders) is built again.
    if (exists == QLatin1String("1")
        && SuperValue(db, QStringLiteral("SELECT count(*) FROM clienti")) == QLatin1String("100000")
        && SuperValue(db, QStringLiteral("SELECT count(*) FROM ordini")) == QLatin1String("20000"))
        return true;
    std::fprintf(stderr, "building the scale data set in %s ...\n", kScaleDb);
    SuperValue(QStringLiteral("postgres"),
               QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(db));
    SuperValue(QStringLiteral("postgres"),
               QStringLiteral("CREATE DATABASE %1 TEMPLATE ventorel_tpl_empty").arg(db));
    return Run(QStringLiteral("psql"),
               {QStringLiteral("-h"),
                TTestDatabase::SocketDir(),
                QStringLiteral("-U"),
                QStringLiteral("postgres"),
                QStringLiteral("-q"),
                QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"),
                QStringLiteral("-d"),
                db,
                QStringLiteral("-f"),
                SourceDir() + QStringLiteral("/database/scale/genera_scala.sql")})
           && SuperValue(db, QStringLiteral("SELECT count(*) FROM clienti"))
                  == QLatin1String("100000");
}

// Starts a cluster of the benchmark's own in folder when none is named; gives the folder to
// stop afterwards (empty when the named one is used), or a null string when it cannot start.
inline QString StartClusterIfNeeded(const QString &folder)
{
    if (!qEnvironmentVariable("VENTOREL_TEST_PGSOCKET").isEmpty())
        return QString(QLatin1String(""));
    if (!Run(QStringLiteral("bash"),
             {SourceDir() + QStringLiteral("/scripts/testdb.sh"), QStringLiteral("start"), folder}))
        return QString();
    qputenv("VENTOREL_TEST_PGSOCKET", (folder + QStringLiteral("/run")).toUtf8());
    return folder;
}

inline void StopCluster(const QString &folder)
{
    if (!folder.isEmpty())
        Run(QStringLiteral("bash"),
            {SourceDir() + QStringLiteral("/scripts/testdb.sh"), QStringLiteral("stop"), folder});
}

// The program's login on the scale database.
inline QString ScaleConnectionString()
{
    TConnectionParams p;
    p.host = TTestDatabase::SocketDir();
    p.database = QString::fromLatin1(kScaleDb);
    p.login = QStringLiteral("ventorel_test");
    p.password = QStringLiteral("ventorel_test");
    return TSTD_DBMODULE::ComposeConnectionString(p);
}

// A libpq connection of the program's login bound to an operator session of the scale data
// set, as the program's own connection is (the functions refuse a connection without one).
inline PGconn *ConnectAsOperator(const QString &conninfo, const QString &operatorCode)
{
    TSTD_DBMODULE module;
    module.SetConnectionString(conninfo);
    TTestDatabase::LogOn(QString::fromLatin1(kScaleDb), operatorCode, module);
    const QByteArray secret = module.DetachOperatorSession().toUtf8();
    PGconn *c = PQconnectdb(conninfo.toUtf8().constData());
    const char *values[] = {secret.constData()};
    PGresult *r = PQexecParams(c,
                               "SELECT * FROM RiprendiSessioneOperatore($1)",
                               1,
                               nullptr,
                               values,
                               nullptr,
                               nullptr,
                               0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
    PQclear(r);
    return c;
}

} // namespace scaledata
