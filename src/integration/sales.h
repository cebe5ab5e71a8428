#pragma once

#include "db/mapping.h"
#include "integration/sectionrow.h"

namespace carvela {

class Integration;

// Copies the POS sales of the movement date that the ERP lacks into lj_venda, each with its items,
// each sale one ERP unit: its customer by code, its number, its header and its items.
void ImportSales(Integration& integration);
// The items of the sale s_vendas stands on, under its ERP number; returns how many it wrote and
// adds the products it brought in by code to productsBrought.
int ImportSaleItems(Integration& integration, const MovementRow& sale, int& productsBrought);

// A sale's header as lj_venda holds it, and an item as lj_vendaitem holds it, in the order set.
const Mapping& saleMapping();
const Mapping& saleItemMapping();

} // namespace carvela
