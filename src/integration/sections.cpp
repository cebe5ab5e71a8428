#include "integration/sections.h"

#include "integration/customers.h"
#include "integration/integration.h"
#include "integration/products.h"
#include "integration/purchases.h"
#include "integration/sales.h"
#include "integration/suppliers.h"

namespace carvela {

void installSections(Integration& integration)
{
    using Box = StationState::Box;
    integration.setSections({
        {Box::cbClientes, ImportCustomers, false},
        {Box::cbFornecedores, ImportSuppliers, false},
        {Box::cbProdutos, ImportProducts, true},
        {Box::cbVendas, ImportSales, true, true},
        {Box::cbEntrada,
         [](Integration& i) {
             ImportFuelPurchases(i);
             ImportMiscPurchases(i);
         },
         true, true},
    });
    integration.setBankMovementImport([](Integration& i) {
        i.bankMovements().ImportBankMovements(i.state(), i.lists(), i.summary().bank,
                                              [&i](const QString& message) { i.reportBankFailure(message); });
    });
}

} // namespace carvela
