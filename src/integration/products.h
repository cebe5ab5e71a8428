#pragma once

#include "db/mapping.h"

namespace carvela {

class Integration;

// Copies every POS product into the ERP's lj_produtos and gives each product without one a
// barcode row in lj_referbar.
void ImportProducts(Integration& integration);
// The POS product's columns as lj_produtos holds them, in the order they are set.
const Mapping& productMapping();
// The barcode row a product gets once.
const Mapping& barcodeMapping();
// Inserts the barcode row of a product key unless it has one.
void ensureBarcode(Integration& integration, const RowContext& product, KnownKeys* known = nullptr);

} // namespace carvela
