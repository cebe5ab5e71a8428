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

// A sale or purchase entry being written: its ERP store and the number its counter gave it, which
// its header and every one of its items carry; its key (as the captions show it) names it in errors.
struct MovementRow : SectionRow {
    MovementRow(Integration& integration, const Query& source, Query& target, int store, int number)
        : SectionRow(integration, source, target)
        , store(store)
        , number(number)
    {
    }
    static MovementRow& of(RowContext& row) { return dynamic_cast<MovementRow&>(row); }

    int store;
    int number;
};

// The row's store and number, for the store and number columns of a header or an item.
inline QVariant movementStore(RowContext& row)
{
    return MovementRow::of(row).store;
}
inline QVariant movementNumber(RowContext& row)
{
    return MovementRow::of(row).number;
}

} // namespace carvela
