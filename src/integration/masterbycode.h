#pragma once

#include <QString>

namespace carvela {

class Integration;

// Bring one master record into the ERP just before a movement that names it is written. Each only
// inserts: a record the ERP has (looked up by the key the code gives) is left as it is. Each
// returns whether it inserted; a code the POS does not hold is a RowFailure.

// The customer of a sale; the ERP key is the code as a whole number. A code that is none (a
// walk-in sale) is customer 1, brought from the POS's customer 1 when the ERP lacks it.
bool ImportCustomerByCode(Integration& integration, const QString& code);
// The supplier of a purchase; same keying.
bool ImportSupplierByCode(Integration& integration, const QString& code);
// The product of a sale item with its barcode row, keyed as the Products section keys it: the
// last 15 characters of the code.
bool ImportProductByCode(Integration& integration, const QString& code);

} // namespace carvela
