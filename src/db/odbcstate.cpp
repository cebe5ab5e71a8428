#include "db/odbcstate.h"

#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace carvela {

QString odbcSqlState(const QSqlQuery& statement)
{
    const QSqlResult* result = statement.result();
    if (!result)
        return {};
    const QVariant handle = result->handle();
    // Qt hands the statement handle out as a void* (older versions name the type SQLHANDLE).
    if (!handle.isValid() ||
        (handle.metaType() != QMetaType::fromType<void*>() && qstrcmp(handle.typeName(), "SQLHANDLE") != 0))
        return {};
    const SQLHANDLE hstmt = *static_cast<const SQLHANDLE*>(handle.constData());
    if (!hstmt)
        return {};
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[8] = {};
    SQLSMALLINT length = 0;
    // Reading a diagnostic record does not clear it: Qt has read it already for its own message.
    const SQLRETURN r = SQLGetDiagRecA(SQL_HANDLE_STMT, hstmt, 1, state, &native, text, sizeof text, &length);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO)
        return {};
    return QString::fromLatin1(reinterpret_cast<const char*>(state));
}

} // namespace carvela
