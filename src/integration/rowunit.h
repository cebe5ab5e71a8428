#pragma once

#include "db/connection.h"
#include "db/mapping.h"

#include <functional>
#include <optional>

namespace carvela {

class Integration;

// What writing one source row did to the ERP.
enum class Written { Inserted, Updated, AlreadyThere };
// A keyed upsert's outcome as the summary counts it: a row left unchanged is already there.
Written written(Upserted upserted);

// Writes the source rows of one section, each as one ERP unit on conexao: the row and everything
// its writing brings in (a product's group, brand and barcode). The units go in batches, one
// transaction of many units, each unit a savepoint: a row failure rolls its unit back alone, is
// reported once and counted, and the section goes on with its next row; a failure of the station
// rolls its unit back and goes on to the cycle. What the section wrote before a failure is kept,
// as when each unit was committed on its own; a lost session loses its open batch, whose rows the
// next cycle copies again.
class UnitWriter {
public:
    explicit UnitWriter(Integration& integration);
    // Commits the open batch; a batch that cannot commit is rolled back.
    ~UnitWriter();
    UnitWriter(const UnitWriter&) = delete;
    UnitWriter& operator=(const UnitWriter&) = delete;

    // Returns whether the row was written (or found already there).
    bool write(const std::function<Written()>& write);
    // Commits what the section wrote; throws when it cannot.
    void finish();

private:
    Integration& m_integration;
    std::optional<Batch> m_batch;
};

} // namespace carvela
