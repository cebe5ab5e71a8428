#pragma once

#include "db/mapping.h"

namespace carvela {

class Integration;

// Copies every POS supplier into the ERP's fornecedores: new ones inserted, known ones overwritten.
void ImportSuppliers(Integration& integration);
// The POS supplier's columns as the ERP's fornecedores holds them, in the order they are set.
const Mapping& supplierMapping();

} // namespace carvela
