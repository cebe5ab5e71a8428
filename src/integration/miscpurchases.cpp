#include "db/query.h"
#include "integration/integration.h"
#include "integration/purchaseentries.h"
#include "integration/purchases.h"

namespace carvela {

// As a fuel item, but with the product, the boxes and their cost, the ICMS rate and the IPI value
// of the purchase; the item number must be a whole number, and there is no freight.
const Mapping& miscItemMapping()
{
    static const Mapping mapping = {
        constant("idempresa", 1),
        computed("idloja", movementStore),
        computed("idEntrada", movementNumber),
        toInt("Item", "numero"),
        text("IdReferencia", "cod_produto"),
        text("Cancelado", "cancelado"),
        constant("IdCor", 1),
        constant("Tam", QStringLiteral("0")),
        constant("IdAliquota", 0),
        toFloat("Qtde", "qtd_caixas"),
        constant("QtdeFatorUnid", 0),
        toFloat("ValorUnitario", "custo_semenc_caixa"),
        toFloat("ValorDesconto", "desconto"),
        toFloat("PercIcms", "Aliq_icms"),
        constant("PercIpi", 0),
        toFloat("VlrIpi", "valor_ipi"),
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

void ImportMiscPurchases(Integration& integration)
{
    copyPurchases(integration, {
                                   .label = QStringLiteral("Entradas Div"),
                                   .purchaseTable = QStringLiteral("select * from COMPRAS_DIV"),
                                   .itemTable = QStringLiteral("select * from ITENS_COMPRA_DIV"),
                                   .openingCaption = QStringLiteral("Abrindo tabela de Entradas Diversos!"),
                                   .listingCaption = QStringLiteral("Abrindo tabela de Itens Entradas Diversos!"),
                                   .rowCaptionPrefix = QString(), // the caption stays put while entries are skipped
                                   .newCaptionPrefix = QStringLiteral(" - Posto: "),
                                   .header = miscEntryMapping(),
                                   .item = miscItemMapping(),
                               });
    NamedQueries& q = integration.queries();
    integration.state().setCaption(StationState::restingCaption);
    q.s_entradas.close();
    q.s_entradasitem.close();
    q.c_entradas.close();
    q.c_entradasitem.close();
}

} // namespace carvela
