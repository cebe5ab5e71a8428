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
    , s_vendas(QStringLiteral("s_vendas"), pos)
    , s_vendasitem(QStringLiteral("s_vendasitem"), pos)
    , c_Vendas(QStringLiteral("c_Vendas"), erp)
    , c_Vendasitem(QStringLiteral("c_Vendasitem"), erp)
    , s_entradas(QStringLiteral("s_entradas"), pos)
    , s_entradasitem(QStringLiteral("s_entradasitem"), pos)
    , c_entradas(QStringLiteral("c_entradas"), erp)
    , c_entradasitem(QStringLiteral("c_entradasitem"), erp)
    , s_apagar(QStringLiteral("s_apagar"), pos)
    , c_apagar(QStringLiteral("c_apagar"), erp)
{
    prepareCustomerQueries(*this);
    prepareSupplierQueries(*this);
    prepareProductQueries(*this);
    prepareProductReferenceQueries(*this);
    prepareSalesQueries(*this);
    preparePurchaseQueries(*this);
}

} // namespace carvela
