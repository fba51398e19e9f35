#pragma once

#include "db/dbmodule.h"

#include <QString>

#include <memory>

// A database of its own for one test case, cloned from a template of the throwaway cluster
// that CTest starts (VENTOREL_TEST_PGSOCKET). Dropped when the object dies.
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
    // Runs SQL as the superuser (fixtures, checks); returns the first column of the first row.
    QString SuperQuery(const QString &sql) const;
    static QString SocketDir();
    static bool Available(); // the cluster answers

private:
    QString m_name;
    std::unique_ptr<TSTD_DBMODULE> m_module;
    TSTD_DBMODULE *m_previous = nullptr;
};
