#include "integration/rowunit.h"

#include "core/failure.h"
#include "db/connection.h"
#include "integration/integration.h"

namespace carvela {

bool writeUnit(Integration& integration, const std::function<Written()>& write)
{
    SectionCounts& counts = integration.sectionCounts();
    ++counts.read;
    Written written = Written::AlreadyThere;
    try {
        Transaction unit(integration.conexao());
        written = write();
        unit.commit();
    } catch (const RowFailure& failure) {
        integration.reportRowFailure(failure.message());
        return false;
    }
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
