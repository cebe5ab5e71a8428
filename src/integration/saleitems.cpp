#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/masterbycode.h"
#include "integration/sales.h"

namespace carvela {

void prepareSaleItemQueries(NamedQueries& q)
{
    q.s_vendasitem.setSql({QStringLiteral("select * from ITENS_VENDA"),
                           QStringLiteral(" where cod_empresa = :cod_empresa"),
                           QStringLiteral("   and cod_pdv = :cod_pdv"), QStringLiteral("   and seq_caixa = :seq_caixa"),
                           QStringLiteral("   and Seq_venda = :sequencial"),
                           QStringLiteral("order by cod_empresa, cod_pdv, seq_caixa, Seq_venda")});
    q.s_vendasitem.declareParam(QStringLiteral("cod_empresa"), Query::ParamType::Text, 2);
    q.s_vendasitem.declareParam(QStringLiteral("cod_pdv"), Query::ParamType::Text, 2);
    q.s_vendasitem.declareParam(QStringLiteral("seq_caixa"), Query::ParamType::Text, 5);
    q.s_vendasitem.declareParam(QStringLiteral("sequencial"), Query::ParamType::Text, 5);
    // The detail of the sales: it holds the items of the sale s_vendas stands on.
    q.s_vendasitem.setMaster(q.s_vendas, [](Query& items, const Query& sale) {
        for (const char* column : {"cod_empresa", "cod_pdv", "seq_caixa", "sequencial"})
            items.setParam(QString::fromLatin1(column), sale.asString(QString::fromLatin1(column)));
    });
    q.c_Vendasitem.setSql({QStringLiteral("select * from lj_vendaitem"), QStringLiteral(" where 0<>0")});
    q.c_Vendasitem.setTarget(QStringLiteral("lj_vendaitem"));
}

const Mapping& saleItemMapping()
{
    static const Mapping mapping = {
        constant("idempresa", 1),
        computed("idloja", movementStore),
        computed("idvenda", movementNumber),
        text("Item", "numero"),
        // The product's key as the Products section gives it (the last 15 characters).
        right("IdReferencia", "cod_produto", 15),
        constant("IdCor", 1),
        constant("Tam", QStringLiteral("0")),
        constant("IdAliquota", 0),
        toFloat("Qtde", "quantidade"),
        toFloat("ValorUnitario", "preco_contrato"),
        toFloat("ValorTabela", "preco_cadastro"),
        toFloat("ValorDesconto", "desconto"),
        constant("PercDesconto", 0),
        constant("PercIcms", 0),
        constant("VlrIcms", 0),
        constant("BaseIcms", 0),
        constant("PercIpi", 0),
        constant("QtdeFatorUnid", 0),
        constant("IdEstoque", 1),
        constant("Cfop", QStringLiteral("5102")),
        constant("ValorPauta", 0),
        constant("QtdeAtendido", 0),
        constant("QtdeSolic", 0),
        empty("observacoes"),
        constant("PercComissao", 0),
        constant("ValorComissao", 0),
        constant("cst", QStringLiteral("000")),
        empty("ncm"),
        constant("idtabela", 1),
        empty("Promocao"),
        constant("PercPromocao", 0),
        constant("ValorPromocao", 0),
        toFloat("PrecoCompra", "custo"),
        toFloat("PrecoCusto", "custo"),
    };
    return mapping;
}

int ImportSaleItems(Integration& integration, const MovementRow& sale, int& productsBrought)
{
    NamedQueries& q = integration.queries();
    q.c_Vendasitem.close();
    q.c_Vendasitem.open();
    q.s_vendasitem.first();
    integration.setSectionLabel(QStringLiteral("Itens Vendas"));
    int written = 0;
    for (; !q.s_vendasitem.eof(); q.s_vendasitem.next()) {
        const QString product = q.s_vendasitem.asString(QStringLiteral("cod_produto"));
        const QString identity = QStringLiteral("venda %1, item %2 (produto %3)")
                                     .arg(sale.key, q.s_vendasitem.asString(QStringLiteral("numero")), product);
        try {
            if (ImportProductByCode(integration, product))
                ++productsBrought;
        } catch (const RowFailure& failure) {
            throw RowFailure(QStringLiteral("lj_vendaitem, %1: %2").arg(identity, failure.message()));
        }
        q.c_Vendasitem.append();
        MovementRow item(integration, q.s_vendasitem, q.c_Vendasitem, sale.store, sale.number);
        item.now = sale.now;
        writeMapping(saleItemMapping(), item, true, QStringLiteral("lj_vendaitem"), identity);
        postRow(q.c_Vendasitem, QStringLiteral("lj_vendaitem"), identity);
        ++written;
    }
    return written;
}

} // namespace carvela
