#pragma once

#include <exception>
#include <QByteArray>
#include <QString>

namespace carvela {

// Every failure of the system travels as this exception. Its message is the text the operator
// sees, in the log entry of a cycle or in a message box; it never carries a password.
//
// A plain Failure is a failure of the station: a login, a lost session, a missing table or column,
// anything every row would meet. The cycle ends at it.
class Failure : public std::exception {
public:
    // connection: the named connection whose database raised it (conexao, Con_Quorim, ConServer,
    // ConMov), empty when no database did.
    explicit Failure(QString message, QString connection = {})
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8())
        , m_connection(std::move(connection))
    {
    }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    const QString& connection() const noexcept { return m_connection; }

private:
    QString m_message;
    QByteArray m_utf8;
    QString m_connection;
};

// A failure that belongs to one source row: a value that does not convert, or a row the ERP
// refuses for its data (a key already there, a text too long, a null where none may be). The row,
// with the unit it belongs to, is skipped; the section goes on with the next one.
class RowFailure : public Failure {
public:
    using Failure::Failure;
};

// A connection that could not be opened, or whose session was lost under a statement.
class ConnectionFailure : public Failure {
public:
    enum class Kind { CouldNotConnect, Lost };
    ConnectionFailure(Kind kind, QString connection, QString message)
        : Failure(std::move(message), std::move(connection))
        , m_kind(kind)
    {
    }
    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace carvela
