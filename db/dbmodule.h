#pragma once

// The single database session of the program and its four calling patterns.
//
// Commands are texts in their documented form ("EXEC EstraiClienti  1, '{...}', null, ...");
// pgadapter.h turns each into PostgreSQL. Errors are raised as EDatabaseError carrying the
// server's own text; the window that started the operation reports them.

#include "db/dataset.h"

#include <QString>

#include <functional>

#include <memory>
#include <stdexcept>
#include <vector>

class EDatabaseError : public std::runtime_error
{
public:
    EDatabaseError(const QString &providerText, bool lostConnection = false)
        : std::runtime_error(providerText.toStdString())
        , m_text(providerText)
        , m_lost(lostConnection)
    {}
    // The server's message; starts with kLostConnectionMark when the connection was lost.
    QString ProviderText() const { return m_text; }
    bool LostConnection() const { return m_lost; }

private:
    QString m_text;
    bool m_lost;
};

// A save refused because the row changed on the server since the record read it (another
// operator saved it meanwhile); the record has read the row again.
class ERecordChanged : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

// Connection parameters. The login is the program's own least-privilege login, read from the
// global settings file; the operator is checked by a stored function, not by this login.
struct TConnectionParams
{
    QString host; // host name, or the folder of the local instance's socket
    int port = 5432;
    QString database; // the catalog
    QString login;
    QString password;
    int connectTimeoutSeconds = 10;
};

class TSTD_DBMODULE
{
public:
    TSTD_DBMODULE();
    ~TSTD_DBMODULE();
    TSTD_DBMODULE(const TSTD_DBMODULE &) = delete;
    TSTD_DBMODULE &operator=(const TSTD_DBMODULE &) = delete;

    // The process-wide module (created by the main window; tests create their own).
    static TSTD_DBMODULE *Instance();
    static void SetInstance(TSTD_DBMODULE *module); // Not owned.

    // libpq connection string built from the parameters (values quoted as libpq wants).
    static QString ComposeConnectionString(const TConnectionParams &p);
    void SetConnectionString(const QString &conninfo);
    QString ConnectionString() const;

    void Open();  // throws EDatabaseError
    void Close(); // rolls back an open transaction
    bool Connected() const;
    // Commands open the connection when it is closed. 0 = no time-out.
    void SetCommandTimeout(int seconds);

    // Pattern 1, row query: the first result set of the command, as a read-only dataset
    // (decoded lazily). A command that returns no row set raises EDatabaseError.
    std::unique_ptr<TDataSet> Query(const QString &commandText);
    // Pattern 1 read in pieces: the rows of the command's result set handed to batch as they
    // arrive, at most batchRows at a time and about batchBytes of server text (a piece ends
    // with the row that reaches it), so that a large result (pictures) is never held whole.
    // The last piece may be short, or empty when there is no row (it still has the columns).
    // batch runs while the command is being read: it must not use the module; what it raises
    // ends the reading (the rest of the result is read and dropped) and is raised again. A
    // procedure that answers cursors, or a call with bound values, comes in one piece.
    void QueryInBatches(const QString &commandText,
                        int batchRows,
                        qint64 batchBytes,
                        const std::function<void(TDataSet &rows)> &batch);
    // Several result sets (a function returning refcursors): each set in turn.
    std::vector<std::unique_ptr<TDataSet>> QueryMulti(const QString &commandText);
    // Pattern 2, action command: run, no result read.
    void Execute(const QString &commandText);
    // Parameterised statement for the program's own writes (editable records); values are
    // sent apart from the text ($1, $2 ...). Returns the affected row count. A text value the
    // database cannot store (NUL, lone surrogate) is refused before anything is sent.
    int ExecuteParams(const QString &sql, const QVariantList &params);
    // The same, answering the statement's rows (RETURNING, a read by key).
    std::unique_ptr<TDataSet> QueryParams(const QString &sql, const QVariantList &params);

    // The operator session. The operator check (EXEC EstraiDatiOperatore) opens it on the
    // server, bound to the connection; the module keeps its secret in memory and binds every
    // connection it opens later to it, so that the functions know who is working.
    bool HasOperatorSession() const;
    // Binds this module to a session opened elsewhere by the same program (its secret).
    void ResumeOperatorSession(const QString &secret);
    // Log-off: ends the session on the server (when connected) and forgets it. A new logon
    // starts with it.
    void EndSession();
    // Hands the session over to the caller: the module forgets its secret and closes the
    // connection (still bound to it on the server), without ending the session there. A
    // re-logon keeps the previous operator's session aside this way until it knows whether
    // his windows may close.
    QString DetachOperatorSession();

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;
    // The caller's open transaction (0 when none), and whether a transaction ended without a
    // commit: a record posted inside it was not stored.
    quint64 TransactionSerial() const;
    bool TransactionRolledBack(quint64 serial) const;

    // "SELECT GETDATE() AS TMNOW"; the local time on any failure.
    QDateTime ReadServerTime();

    // The messages sent to the server that waited for its answer (each one a network round
    // trip), since the module was made: for tests and the debug pane.
    quint64 RoundTrips() const;

    // The last command text sent (as composed by the caller), for tests and the debug pane.
    QString LastCommandText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Pattern 3, editable record: a record procedure's row kept for editing and posted as an
// explicit INSERT or UPDATE of its base table with the same columns, in a transaction.
//
// Lost updates: the record remembers the row version it read (PostgreSQL's xmin, which every
// committed change of the row renews); an UPDATE writes only over that version. When another
// session changed the row meanwhile, Post raises ERecordChanged ("Il record è stato
// modificato da un altro operatore: i dati sono stati riletti.") after reading the row again,
// instead of overwriting the other change. The base table must let the login read its key
// and xmin (database/grants.sql).
class TEditableRecord
{
public:
    TEditableRecord(TSTD_DBMODULE *db, QString baseTable, QString keyField); // db Not owned.
    ~TEditableRecord();

    // Runs the record procedure; zero rows means a new record (the columns are still known).
    void Open(const QString &commandText);
    bool IsNew() const;
    TDataSet &Data();                   // one row once Edit/Append started
    void Edit();                        // existing row
    void Append(const QString &newKey); // new row with the program-made key
    // Writes every field into the base table (INSERT for a new row, UPDATE by key and row
    // version otherwise), stamping txUtenteIn/dtIn or txUtenteMod/dtMod when the row set has
    // them and stamp is set. Runs inside the caller's transaction when one is open, else in its
    // own. A text the database cannot store is refused before anything is written.
    void Post(const QString &userName, bool stampAudit = true);
    void Cancel();
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
