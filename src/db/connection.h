#pragma once

#include "db/connectiontarget.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

namespace carvela {

// One of the system's named connections (conexao, Con_Quorim, ConServer, ConMov). It is closed
// until a query needs it, opens on demand with the connection string it holds at that moment, and
// stays open until closed. Statements are prepared once per connection and prepared again after a
// reconnect, since a prepared statement does not survive one.
class Connection {
public:
    using BeforeConnect = std::function<void(Connection&, ConnectionTarget&)>;

    explicit Connection(QString name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& name() const { return m_name; }

    // An OLE DB init string, or "FILE NAME=<path of a .udl>". Takes effect at the next open.
    void setConnectionString(const QString& connectionString);
    const QString& connectionString() const { return m_connectionString; }

    // Runs before every connect and may adjust the target of the session about to start.
    void setBeforeConnect(BeforeConnect hook) { m_beforeConnect = std::move(hook); }

    void open();
    void close();
    bool isOpen() const { return m_database.has_value(); }
    // The target of the open session (what describe() reports in messages).
    const ConnectionTarget& target() const { return m_target; }

    // The open database, connecting first when closed.
    QSqlDatabase database();
    // A statement prepared on this session, reused while the session lasts.
    QSqlQuery& prepared(const QString& sql, const QString& context);
    // Runs a statement prepared and bound here, or a text when sql is given; raises its error.
    // Returns the rows it changed (-1 when the driver cannot tell).
    int run(QSqlQuery& statement, const QString& context);
    int run(QSqlQuery& statement, const QString& sql, const QString& context);
    // A second session to the same target, for a long read that other statements must not cut
    // short (drivers serve one result per session at a time). It closes with this connection.
    QSqlDatabase readerDatabase();
    // Every statement sent since the connection was made (prepares and transaction steps too).
    qint64 statementsSent() const { return m_statementsSent; }

    // Raises the error of a statement that failed, by what it means:
    // - the session was lost under it: ConnectionFailure (Lost) with "Falha de conexão com <name>",
    //   which the cycle answers by reconnecting;
    // - the server refused the row for its data (SQLSTATE classes 22 and 23, SQL Server's
    //   equivalent native errors, SQLite's constraint errors): RowFailure "<context>: <driver text>";
    // - anything else (a missing table or column, a syntax error): Failure "<context>: <driver text>".
    [[noreturn]] void fail(const QSqlQuery& statement, const QString& context);
    [[noreturn]] void fail(const QSqlError& error, const QString& context);

    // --- transactions: one unit of ERP rows written together or not at all. Inside a batch a
    // unit is a savepoint of the batch's transaction: it rolls back alone, and is kept only when
    // the batch commits.
    void begin();
    void commit();
    // Never throws: a session that is gone has rolled back already.
    void rollback() noexcept;
    bool inTransaction() const { return m_inTransaction; }

    // --- batches: one transaction holding many units, so that a section pays one commit, not one
    // per row
    void beginBatch();
    void commitBatch();
    void rollbackBatch() noexcept;
    bool inBatch() const { return m_inBatch; }
    // Units committed into the open batch.
    int unitsInBatch() const { return m_unitsInBatch; }
    // A unit's failure took the whole batch with it (SQL Server rolls the transaction back on
    // some errors): the batch's other units are gone too.
    bool batchBroken() const { return m_batchBroken; }
    // Removes every secret of the target from a text meant for the operator.
    QString scrub(QString text) const;

private:
    [[noreturn]] void fail(const QSqlError& error, const QString& sqlState, const QString& context);
    void runControl(const QString& sql);
    void setPendingSavepoint();
    void keepBatchBeforeClosing() noexcept;
    // Rolls the open unit back to its savepoint; false when the server cannot.
    bool rollBackUnitSavepoint() noexcept;
    // The statements that set the pending savepoint, to go before a statement in one message.
    QString takePendingSavepoint();
    void clearPrepared();
    bool isSqlServer() const;
    void dropReader();

    QString m_name;
    QString m_qtName;
    QString m_connectionString;
    BeforeConnect m_beforeConnect;
    ConnectionTarget m_target;
    std::optional<QSqlDatabase> m_database;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
    // PostgreSQL writes prepared on the server by name: their EXECUTE can carry a unit's savepoint.
    std::map<const QSqlQuery*, QString> m_serverNames;
    int m_serverStatementCount = 0;
    bool m_inTransaction = false;
    bool m_transactionClosed = false; // closed while a unit was open: nothing more until its rollback
    bool m_inBatch = false;
    bool m_savepointPending = false;   // the open unit's savepoint, set before its first statement
    bool m_savepointSet = false;       // the open unit's savepoint was set
    bool m_savepointToRelease = false; // the last unit's savepoint, released with the next one's start
    bool m_batchBroken = false;        // a unit could not be rolled back alone: the batch is gone
    int m_unitsInBatch = 0;
    qint64 m_statementsSent = 0;
    QString m_readerName;
};

// A batch on a connection: begun when made, rolled back when left without commit(). commitIfDue()
// commits what it holds once it has grown past a few hundred units or about a second, and begins
// the next, so that a lost session costs little and other ERP clients are not kept waiting.
class Batch {
public:
    explicit Batch(Connection& connection);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    // Returns whether it committed.
    bool commitIfDue();
    void commit();

private:
    Connection& m_connection;
    qint64 m_startedMs = 0;
    bool m_open = false;
};

// One unit of rows on a connection: begun when made, rolled back when left without commit(), so
// nothing of a unit that failed half-way stays.
class Transaction {
public:
    explicit Transaction(Connection& connection)
        : m_connection(connection)
    {
        m_connection.begin();
    }
    ~Transaction()
    {
        if (!m_committed)
            m_connection.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit()
    {
        m_connection.commit();
        m_committed = true;
    }

private:
    Connection& m_connection;
    bool m_committed = false;
};

// Whether a driver error means the session to the server is gone. sqlState as for isRowRefusal.
bool isLostConnection(const QSqlError& error, bool sessionStillOpen, const QString& sqlState = {});
// Whether a driver error means the server refused the row for its data. sqlState is the
// statement's SQLSTATE where the driver does not report it as its native code (ODBC).
bool isRowRefusal(const QSqlError& error, ConnectionTarget::Engine engine, const QString& sqlState = {});

} // namespace carvela
