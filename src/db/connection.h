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

    // Raises the error of a statement that failed, by what it means:
    // - the session was lost under it: ConnectionFailure (Lost) with "Falha de conexão com <name>",
    //   which the cycle answers by reconnecting;
    // - the server refused the row for its data (SQLSTATE classes 22 and 23, SQL Server's
    //   equivalent native errors, SQLite's constraint errors): RowFailure "<context>: <driver text>";
    // - anything else (a missing table or column, a syntax error): Failure "<context>: <driver text>".
    [[noreturn]] void fail(const QSqlQuery& statement, const QString& context);
    [[noreturn]] void fail(const QSqlError& error, const QString& context);

    // --- transactions: one unit of ERP rows written together or not at all
    void begin();
    void commit();
    // Never throws: a session that is gone has rolled back already.
    void rollback() noexcept;
    bool inTransaction() const { return m_inTransaction; }
    // Removes every secret of the target from a text meant for the operator.
    QString scrub(QString text) const;

private:
    [[noreturn]] void fail(const QSqlError& error, const QString& sqlState, const QString& context);

    QString m_name;
    QString m_qtName;
    QString m_connectionString;
    BeforeConnect m_beforeConnect;
    ConnectionTarget m_target;
    std::optional<QSqlDatabase> m_database;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
    bool m_inTransaction = false;
    bool m_transactionClosed = false; // closed while a unit was open: nothing more until its rollback
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
