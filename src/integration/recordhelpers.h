#pragma once

#include <QString>

namespace carvela {

class Connection;

// The ERP name of a customer; empty when the ERP has no such customer or no name for it.
QString CustomerName(Connection& erp, int id);

} // namespace carvela
