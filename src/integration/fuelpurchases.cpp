#include "integration/integration.h"
#include "integration/purchaseentries.h"
#include "integration/purchases.h"

namespace carvela {

const Mapping& fuelItemMapping()
{
    static const Mapping mapping = {
        constant("idempresa", 1),
        computed("idloja", movementStore),
        computed("idEntrada", movementNumber),
        toIntOr("Item", "numero", 1),
        text("IdReferencia", "cod_combustivel"),
        text("Cancelado", "cancelado"),
        constant("IdCor", 1),
        constant("Tam", QStringLiteral("0")),
        constant("IdAliquota", 0),
        toFloat("Qtde", "quantidade"),
        constant("QtdeFatorUnid", 0),
        toFloat("ValorUnitario", "custo_semenc"),
        toFloat("ValorDesconto", "desconto"),
        toFloat("Frete", "frete"),
        constant("PercIcms", 0),
        constant("PercIpi", 0),
        constant("VlrIpi", 0),
        constant("ValorIcmsAnt", 0),
        constant("ValorSubsTrib", 0),
        constant("ValorPauta", 0),
        empty("Denominacao"),
        constant("CalcIcmsAnt", QStringLiteral("N")),
        constant("CalcSubTrib", QStringLiteral("N")),
        constant("BaseIcms", 0),
        constant("ValorIcms", 0),
        text("ncm", "cod_ncm"),
        text("Cfop", "cod_cfop"),
        text("Cst", "sit_tributaria"),
        empty("RefFornecedor"),
        constant("IdEstoque", 1),
        constant("IdEstFiscal", 1),
    };
    return mapping;
}

void ImportFuelPurchases(Integration& integration)
{
    copyPurchases(integration, {
                                   .label = QStringLiteral("Entradas Comb"),
                                   .purchaseTable = QStringLiteral("select * from COMPRAS_COMB"),
                                   .itemTable = QStringLiteral("select * from ITENS_COMPRA_COMB"),
                                   .openingCaption = QStringLiteral("Abrindo tabela de Entradas de Combustíves!"),
                                   .listingCaption = QStringLiteral("Abrindo tabela de Entradas de Combustíves!"),
                                   .rowCaptionPrefix = QStringLiteral("Posto    : "),
                                   .newCaptionPrefix = QStringLiteral(" - Posto    : "),
                                   .header = fuelEntryMapping(),
                                   .item = fuelItemMapping(),
                               });
    // The miscellaneous purchases follow at once, on the same queries.
}

} // namespace carvela
