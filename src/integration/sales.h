#pragma once

#include "db/mapping.h"
#include "integration/sectionrow.h"

namespace carvela {

class Integration;

// A sale being written: the ERP store and the number NextSaleNumber gave it, which its header and
// every one of its items carry; its key (as the captions show it) names it in errors.
struct SaleRow : SectionRow {
    SaleRow(Integration& integration, const Query& source, Query& target, int store, int saleNumber)
        : SectionRow(integration, source, target)
        , store(store)
        , saleNumber(saleNumber)
    {
    }
    static SaleRow& of(RowContext& row) { return dynamic_cast<SaleRow&>(row); }

    int store;
    int saleNumber;
};

// Copies the POS sales of the movement date that the ERP lacks into lj_venda, each with its items,
// each sale one ERP unit: its customer by code, its number, its header and its items.
void ImportSales(Integration& integration);
// The items of the sale s_vendas stands on, under its ERP number; returns how many it wrote and
// adds the products it brought in by code to productsBrought.
int ImportSaleItems(Integration& integration, const SaleRow& sale, int& productsBrought);

// A sale's header as lj_venda holds it, and an item as lj_vendaitem holds it, in the order set.
const Mapping& saleMapping();
const Mapping& saleItemMapping();

} // namespace carvela
