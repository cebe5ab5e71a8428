#include "integration/rowunit.h"

#include "core/failure.h"
#include "db/connection.h"
#include "integration/integration.h"

namespace carvela {

Written written(Upserted upserted)
{
    switch (upserted) {
    case Upserted::Inserted:
        return Written::Inserted;
    case Upserted::Updated:
        return Written::Updated;
    case Upserted::Unchanged:
        break;
    }
    return Written::AlreadyThere;
}

bool writeUnit(Integration& integration, const std::function<Written()>& write)
{
    ++integration.sectionCounts().read;
    Written written = Written::AlreadyThere;
    try {
        Transaction unit(integration.conexao());
        written = write();
        unit.commit();
    } catch (const RowFailure& failure) {
        integration.reportRowFailure(failure.message());
        return false;
    }
    // Looked up again: writing a unit may name a section of its own (a sale's items).
    SectionCounts& counts = integration.sectionCounts();
    switch (written) {
    case Written::Inserted:
        ++counts.inserted;
        break;
    case Written::Updated:
        ++counts.updated;
        break;
    case Written::AlreadyThere:
        ++counts.existing;
        break;
    }
    return true;
}

} // namespace carvela
