#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>

class QSqlDriver;

namespace carvela {

// PostgreSQL statements prepared on the server by name and run with EXECUTE, as QPSQL runs its own
// prepared statements, so that other statements (a unit's savepoint) can go in the same message.

// The statement's ? placeholders as $1, $2 ..., those inside quotes aside.
QString dollarPlaceholders(const QString& sql);
// "EXECUTE name(v1, v2 ...)" with each value written as the driver writes a literal (NULL for null).
QString executeText(const QSqlDriver& driver, const QString& name, const QVariantList& values);
// Whether a statement reads rows (those keep QPSQL's own prepared statements).
bool readsRows(const QString& sql);

// What a text of statements did on the session of a QPSQL connection, sent in one message: the
// last statement's rows changed, or the first error, as QPSQL reports it (SQLSTATE as the native
// code). QPSQL itself would report the first statement's outcome only.
struct PgOutcome {
    int rowsAffected = -1;
    QSqlError error;
};
PgOutcome execOnPgSession(const QSqlDatabase& database, const QString& text);

} // namespace carvela
