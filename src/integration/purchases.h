#pragma once

#include "db/mapping.h"

namespace carvela {

class Integration;

// The fuel purchases of the movement date (COMPRAS_COMB and ITENS_COMPRA_COMB) as ERP entries with
// items and payable titles; the miscellaneous purchases follow it at once.
void ImportFuelPurchases(Integration& integration);
// The miscellaneous purchases (COMPRAS_DIV and ITENS_COMPRA_DIV); it closes the entries' queries.
void ImportMiscPurchases(Integration& integration);

// An item as lj_entradasitem holds it, of a fuel purchase and of a miscellaneous one.
const Mapping& fuelItemMapping();
const Mapping& miscItemMapping();

} // namespace carvela
