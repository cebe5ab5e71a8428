#pragma once

#include "db/mapping.h"

#include <QString>

namespace carvela {

class Integration;

// Makes sure the group a new product names exists in the ERP's ivgrupo, bringing it from the POS
// when missing, and returns its ERP key (1 when neither database has it). The code must be a whole
// number: an empty or other code is a conversion error.
int ImportGroup(Integration& integration, const QString& code);
// The same for brands (POS marcas into the ERP's marcas).
int ImportBrand(Integration& integration, const QString& code);

// A new group as ivgrupo holds it, and a new brand as marcas holds it, in the order they are set.
const Mapping& groupMapping();
const Mapping& brandMapping();

} // namespace carvela
