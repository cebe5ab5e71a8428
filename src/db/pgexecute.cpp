#include "db/pgexecute.h"

#include <libpq-fe.h>
#include <QSqlDriver>
#include <QSqlField>

namespace carvela {

QString dollarPlaceholders(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    QChar quote;
    int number = 0;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out += c;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            out += c;
        } else if (c == u'?') {
            out += u'$' + QString::number(++number);
        } else {
            out += c;
        }
    }
    return out;
}

QString executeText(const QSqlDriver& driver, const QString& name, const QVariantList& values)
{
    QString text = QStringLiteral("EXECUTE ") + name;
    if (values.isEmpty())
        return text;
    text += u'(';
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        QSqlField field;
        field.setMetaType(value.metaType());
        if (value.isNull())
            field.clear();
        else
            field.setValue(value);
        if (i > 0)
            text += QStringLiteral(", ");
        text += driver.formatValue(field);
    }
    text += u')';
    return text;
}

bool readsRows(const QString& sql)
{
    const QString start = sql.trimmed().left(6).toLower();
    return start == QLatin1String("select") || start.startsWith(QLatin1String("with"));
}

PgOutcome execOnPgSession(const QSqlDatabase& database, const QString& text)
{
    PgOutcome outcome;
    const QVariant handle = database.driver()->handle();
    PGconn* connection = nullptr;
    // QPSQL hands its PGconn out under libpq's own name for the struct.
    if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
        connection = *static_cast<PGconn* const*>(handle.constData());
    if (!connection) {
        outcome.error = QSqlError(QStringLiteral("no connection to the server"), QString(), QSqlError::ConnectionError);
        return outcome;
    }
    PGresult* result = PQexec(connection, text.toUtf8().constData());
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        outcome.rowsAffected = QByteArray(PQcmdTuples(result)).toInt();
    } else {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection));
        outcome.error = QSqlError(QStringLiteral("QPSQL: Unable to create query"), message.trimmed(),
                                  QSqlError::StatementError, state ? QString::fromLatin1(state) : QString());
    }
    PQclear(result);
    return outcome;
}

} // namespace carvela
