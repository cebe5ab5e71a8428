#pragma once

#include "db/mapping.h"

#include <QString>

namespace carvela {

class Integration;

// The payable titles of one purchase just entered: one capagar row per instalment of its accounts
// of type "D" that the ERP lacks, each with its id from the counter "Apagar". Returns how many it
// inserted. Runs inside the entry's unit.
int CreatePayables(Integration& integration, const QString& purchaseCode, const QString& storeCode);
// A title as capagar holds it, in the order set.
const Mapping& payableMapping();

} // namespace carvela
