#pragma once

#include <QString>

class QSqlQuery;

namespace carvela {

// The SQLSTATE of the last error of a statement run through Qt's ODBC driver ("22001", "23000"),
// empty when there is none. Qt reports only the driver's native code, which psqlODBC sets to its
// own numbers, so the state is read from the statement's diagnostic record.
QString odbcSqlState(const QSqlQuery& statement);

} // namespace carvela
