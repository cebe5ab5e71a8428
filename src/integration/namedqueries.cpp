#include "integration/namedqueries.h"

namespace carvela {

NamedQueries::NamedQueries(Connection& erp, Connection& pos)
    : S_clientes(QStringLiteral("S_clientes"), pos)
    , c_clientes(QStringLiteral("c_clientes"), erp)
    , S_fornecedores(QStringLiteral("S_fornecedores"), pos)
    , c_fornecedores(QStringLiteral("c_fornecedores"), erp)
    , s_produtos(QStringLiteral("s_produtos"), pos)
    , c_produtos(QStringLiteral("c_produtos"), erp)
    , c_codbar(QStringLiteral("c_codbar"), erp)
    , c_grupos(QStringLiteral("c_grupos"), erp)
    , s_grupos(QStringLiteral("s_grupos"), pos)
    , c_marca(QStringLiteral("c_marca"), erp)
    , s_marca(QStringLiteral("s_marca"), pos)
{
    prepareCustomerQueries(*this);
    prepareSupplierQueries(*this);
    prepareProductQueries(*this);
    prepareProductReferenceQueries(*this);
}

} // namespace carvela
