#pragma once

#include <QString>

namespace carvela {

class Integration;

// Bring one master record into the ERP just before a movement that names it is written. Each only
// inserts: a record the ERP has (looked up by the key the code gives) is left as it is.

// The customer of a sale; the ERP key is the code as a whole number, 1 when it is not one.
void ImportCustomerByCode(Integration& integration, const QString& code);
// The supplier of a purchase; same keying.
void ImportSupplierByCode(Integration& integration, const QString& code);
// The product of a sale item, keyed by the whole code, with its barcode row.
void ImportProductByCode(Integration& integration, const QString& code);

} // namespace carvela
