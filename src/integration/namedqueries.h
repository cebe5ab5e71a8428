#pragma once

#include "db/query.h"

namespace carvela {

class Connection;

// The cycle's named queries, each bound to one connection for the life of the process. The
// sections that use them set up their texts (each beside its mapping).
struct NamedQueries {
    NamedQueries(Connection& erp, Connection& pos);

    // customers
    Query S_clientes;
    Query c_clientes;
    // suppliers
    Query S_fornecedores;
    Query c_fornecedores;
    // products, their barcodes, groups and brands
    Query s_produtos;
    Query c_produtos;
    Query c_codbar;
    Query c_grupos;
    Query s_grupos;
    Query c_marca;
    Query s_marca;
    // sales and their items
    Query s_vendas;
    Query s_vendasitem;
    Query c_Vendas;
    Query c_Vendasitem;
    // purchase entries with their items, and their payable titles
    Query s_entradas;
    Query s_entradasitem;
    Query c_entradas;
    Query c_entradasitem;
    Query s_apagar;
    Query c_apagar;
};

void prepareCustomerQueries(NamedQueries& q);
void prepareSupplierQueries(NamedQueries& q);
void prepareProductQueries(NamedQueries& q);
void prepareProductReferenceQueries(NamedQueries& q);
void prepareSalesQueries(NamedQueries& q);
void prepareSaleItemQueries(NamedQueries& q);
void preparePurchaseQueries(NamedQueries& q);
void preparePayableQueries(NamedQueries& q);

} // namespace carvela
