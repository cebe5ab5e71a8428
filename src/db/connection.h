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

    // Raises a statement error as a Failure. A connection lost under the statement is raised with
    // a message containing "Falha de conexão", which the cycle answers by reconnecting; any
    // other error as "<context>: <driver text>".
    [[noreturn]] void fail(const QSqlError& error, const QString& context);
    // Removes every secret of the target from a text meant for the operator.
    QString scrub(QString text) const;

private:
    QString m_name;
    QString m_qtName;
    QString m_connectionString;
    BeforeConnect m_beforeConnect;
    ConnectionTarget m_target;
    std::optional<QSqlDatabase> m_database;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
};

// Whether a driver error means the session to the server is gone.
bool isLostConnection(const QSqlError& error, bool sessionStillOpen);

} // namespace carvela
