#pragma once

#include "db/mapping.h"
#include "integration/integration.h"

namespace carvela {

// A row written by a section of the cycle: its computed rows may call the cycle's routines
// (a new product brings its group and brand along).
struct SectionRow : RowContext {
    SectionRow(Integration& integration, const Query& source, Query& target, QString key = {})
        : RowContext(integration.state(), source, target, std::move(key))
        , integration(integration)
    {
    }
    static SectionRow& of(RowContext& row) { return dynamic_cast<SectionRow&>(row); }

    Integration& integration;
};

} // namespace carvela
