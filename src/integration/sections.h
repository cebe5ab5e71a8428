#pragma once

namespace carvela {

class Integration;

// Hands the cycle its sections, in the order it reaches them, and the bank-movement import.
void installSections(Integration& integration);

} // namespace carvela
