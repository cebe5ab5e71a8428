#include "integration/recordhelpers.h"

#include "db/query.h"

namespace carvela {

QString CustomerName(Connection& erp, int id)
{
    Query q(QStringLiteral("CustomerName"), erp);
    q.setSql({QStringLiteral("select nomecliente from clientes"),
              QStringLiteral(" where idcliente = ") + QString::number(id)});
    q.open();
    return q.asString(QStringLiteral("nomecliente"));
}

} // namespace carvela
