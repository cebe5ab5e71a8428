#pragma once

#include "db/mapping.h"

namespace carvela {

class Integration;

// Copies every POS customer into the ERP's clientes: new ones inserted, known ones overwritten.
void ImportCustomers(Integration& integration);
// The POS customer's columns as the ERP's clientes holds them, in the order they are set.
const Mapping& customerMapping();

} // namespace carvela
