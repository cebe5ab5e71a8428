#pragma once

#include <exception>
#include <QByteArray>
#include <QString>

namespace carvela {

// Every failure of the system travels as this exception. Its message is the text the operator
// sees, in the log entry of a cycle or in a message box; it never carries a password.
class Failure : public std::exception {
public:
    explicit Failure(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8())
    {
    }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace carvela
