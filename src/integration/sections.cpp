#include "integration/sections.h"

#include "integration/integration.h"

namespace carvela {

void installSections(Integration& integration)
{
    integration.setSections({});
}

} // namespace carvela
