#pragma once

#include "db/mapping.h"

#include <functional>

namespace carvela {

class Integration;

// What writing one source row did to the ERP.
enum class Written { Inserted, Updated, AlreadyThere };
// A keyed upsert's outcome as the summary counts it: a row left unchanged is already there.
Written written(Upserted upserted);

// Writes one source row of the running section as one ERP unit (a transaction on conexao): the row
// and everything its writing brings in (a product's group, brand and barcode). A row failure rolls
// the whole unit back, is reported once and counted, and the section goes on with its next row;
// a failure of the station rolls it back and goes on to the cycle. Returns whether it was written.
bool writeUnit(Integration& integration, const std::function<Written()>& write);

} // namespace carvela
