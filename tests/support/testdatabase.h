#pragma once

#include "db/dbmodule.h"

#include <QString>

#include <memory>

// A database of its own for one test case, cloned from a template of the throwaway cluster
// that CTest starts (VENTOREL_TEST_PGSOCKET), with the rights a catalog has (only the
// program's roles connect, no temporary objects for the login). Dropped when the object dies.
//
// The program's login works only with an operator session: LogOn gives the module one, as
// the logon does, so that the stored functions and the editable records run for that
// operator (the user name they stamp must be his).
class TTestDatabase
{
public:
    enum Template { Empty, Demo };
    explicit TTestDatabase(Template t = Demo);
    ~TTestDatabase();
    TTestDatabase(const TTestDatabase &) = delete;
    TTestDatabase &operator=(const TTestDatabase &) = delete;

    QString Name() const { return m_name; }
    // Parameters of the program's login on this database.
    TConnectionParams Params() const;
    // A module connected to this database, installed as TSTD_DBMODULE::Instance() while it lives.
    TSTD_DBMODULE &Module();
    // Opens an operator session for that operator (created as a "funzionario" without a
    // company when the catalog has none with that code) and binds Module() to it. Made by
    // the superuser, without the password check, which the logon tests go through themselves.
    // Another module (a second program on the same catalog) when given.
    void LogOn(const QString &operatorCode, TSTD_DBMODULE *module = nullptr);
    // The same on any catalog of the test cluster (benchmarks on their own databases).
    static void LogOn(const QString &database, const QString &operatorCode, TSTD_DBMODULE &module);
    // Runs SQL as the superuser (fixtures, checks); returns the first column of the first row.
    QString SuperQuery(const QString &sql) const;
    static QString SocketDir();
    static bool Available(); // the cluster answers

private:
    QString m_name;
    std::unique_ptr<TSTD_DBMODULE> m_module;
    TSTD_DBMODULE *m_previous = nullptr;
};
