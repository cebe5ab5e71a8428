#include "integration/products.h"

#include "core/conversions.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/masterdata.h"
#include "integration/productreferences.h"
#include "integration/rowunit.h"
#include "integration/sectionrow.h"

namespace carvela {
namespace {

QVariant groupOf(RowContext& row)
{
    return ImportGroup(SectionRow::of(row).integration, row.source.asString(QStringLiteral("cod_grupo")));
}

QVariant brandOf(RowContext& row)
{
    return ImportBrand(SectionRow::of(row).integration, row.source.asString(QStringLiteral("cod_marca")));
}

} // namespace

void prepareProductQueries(NamedQueries& q)
{
    // Line 1 is the filter line; the section blanks it before each full read.
    q.s_produtos.setSql(
        {QStringLiteral("select * from produtos"), QString(), QString(), QStringLiteral("order by codigo")});
    q.s_produtos.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 20);
    // Keys hold up to 15 characters and are bound whole.
    q.c_produtos.setSql(
        {QStringLiteral("select * from lj_produtos"), QStringLiteral(" where idreferencia = :idreferencia")});
    q.c_produtos.declareParam(QStringLiteral("idreferencia"), Query::ParamType::Text, 15);
    q.c_produtos.setTarget(QStringLiteral("lj_produtos"), {QStringLiteral("Idreferencia")});
    q.c_codbar.setSql(
        {QStringLiteral("select * from lj_referbar"), QStringLiteral(" where idreferencia = :idreferencia")});
    q.c_codbar.declareParam(QStringLiteral("idreferencia"), Query::ParamType::Text, 15);
    q.c_codbar.setTarget(QStringLiteral("lj_referbar"), {QStringLiteral("IdReferencia")});
}

const Mapping& productMapping()
{
    static const Mapping mapping = {
        key("Idreferencia").insertOnly(),
        computed("idgrupo", groupOf).insertOnly(),
        computed("IdMarca", brandOf).insertOnly(),
        text("descricao", "descricao"),
        text("DenominacaoFiscal", "descricao"),
        text("apelidoproduto", "descricao"),
        text("Ncm", "cod_ncm"),
        constant("IdTamanho", 1),
        constant("Tam_Ini", 1),
        constant("Tam_Fim", 1),
        now("DataCadastro"),
        now("DataAlteracao"),
        constant("TipoProduto", QStringLiteral("P")),
        constant("Status", QStringLiteral("A")),
        constant("Consignado", QStringLiteral("N")),
        constant("ListaPrecoVenda", QStringLiteral("N")),
        constant("Qtd1", 0),
        constant("Qtd2", 0),
        constant("Qtd3", 0),
        constant("Qtd4", 0),
        constant("Qtd5", 0),
        constant("Qtd6", 0),
        constant("Prc1", 0),
        constant("Prc2", 0),
        constant("Prc3", 0),
        constant("PrcCompra", 0),
        constant("PrcUltCusto", 0),
        constant("PercMargem", 0),
        constant("Icms", 0),
        constant("PercIcmsAnt", 0),
        constant("PercIpiAnt", 0),
        constant("PrcFrete", 0),
        constant("PrcMedio", 0),
        constant("CustoArt", 0),
        constant("UndVendaQtde", 1),
        constant("UndCompraQtde", 1),
        constant("FatorConversao", 1),
        constant("PercComVenda", 0),
        constant("PercCustoAdm", 0),
        constant("PercCartaoCredito", 0),
        constant("PercCofins", 0),
        constant("PercPis", 0),
        constant("UndCompra", QStringLiteral("UN")),
        constant("UndVenda", QStringLiteral("UN")),
        constant("Genero", QStringLiteral("F")),
        constant("CST", QStringLiteral("000")),
        constant("AplicaPromocaoDescto", QStringLiteral("0")),
        constant("NaoAplicarDesconto", QStringLiteral("0")),
        constant("IdAliquota", 0),
        constant("TipoSped", QStringLiteral("00")),
        constant("Tipopromocao", QStringLiteral("P")),
        constant("CSOSN", QStringLiteral("500")),
        constant("CFOP", QStringLiteral("5102")),
        constant("CfopF", QStringLiteral("6102")),
        constant("CfopTd", QStringLiteral("5403")),
        constant("CfopTf", QStringLiteral("6403")),
        constant("SubTributaria", QStringLiteral("N")),
        constant("Origem_Mercadoria", QStringLiteral("0")),
        constant("CSTIPI", QStringLiteral("099")),
        constant("CSTIpiEntrada", QStringLiteral("049")),
        constant("QtdeValor", QStringLiteral("N")),
    };
    return mapping;
}

const Mapping& barcodeMapping()
{
    static const Mapping mapping = {
        key("IdReferencia"),
        text("CodBarra", "cod_barras"),
        now("DataAlteracao"),
        constant("Est_Maximo", 0),
        constant("Est_Minimo", 0),
        constant("IdCor", 1),
        constant("Tam", QStringLiteral("0")),
    };
    return mapping;
}

void ensureBarcode(Integration& integration, const RowContext& product, KnownKeys* known)
{
    Query& c_codbar = integration.queries().c_codbar;
    c_codbar.close();
    if (known && known->containsExactly(product.key))
        return;
    if (known && !known->contains(product.key)) {
        c_codbar.appendUnread();
    } else {
        // Held only as the ERP may compare keys ("ABC" for "abc"): the ERP says.
        c_codbar.setParam(QStringLiteral("idreferencia"), product.key);
        c_codbar.open();
        if (!c_codbar.isEmpty())
            return;
        c_codbar.append();
    }
    SectionRow row(integration, product.source, c_codbar, product.key);
    row.now = product.now;
    const QString identity = rowIdentity(product.key, product.source.asString(QStringLiteral("descricao")));
    writeMapping(barcodeMapping(), row, true, QStringLiteral("lj_referbar"), identity);
    postRow(c_codbar, QStringLiteral("lj_referbar"), identity);
    c_codbar.close();
    if (known)
        known->insert(product.key);
}

void ImportProducts(Integration& integration)
{
    StationState& state = integration.state();
    NamedQueries& q = integration.queries();
    integration.setSectionLabel(QStringLiteral("Produtos"));
    integration.beginSummarySection(QStringLiteral("Produtos"));
    state.setCaption(QStringLiteral("Abrindo tabelas de produtos"));
    StationState::letMessagesRun();

    q.s_produtos.close();
    q.s_produtos.setLine(1, QStringLiteral("  "));
    q.s_produtos.openStreamed();
    state.setProgressMaximum(StationState::Bar::pbProdutos, q.s_produtos.rowCount());
    state.setProgressPosition(StationState::Bar::pbProdutos, 0);
    UnitWriter units(integration);
    KnownKeys products;
    KnownKeys barcodes;
    bool keysLoaded = false;
    for (; !q.s_produtos.eof(); q.s_produtos.next()) {
        const QString code = q.s_produtos.asString(QStringLiteral("codigo"));
        const QString description = q.s_produtos.asString(QStringLiteral("descricao"));
        SectionRow row(integration, q.s_produtos, q.c_produtos, convert::right(code, 15));
        state.setCaption(row.key + u'-' + description);
        state.setProgressPosition(StationState::Bar::pbProdutos, q.s_produtos.recNo());
        StationState::letMessagesRun();

        // The product, with the group, brand and barcode rows its insert brings in, is one unit.
        units.write([&] {
            if (!keysLoaded) {
                if (integration.writeOnlyChanged())
                    products.loadWithValues(q.c_produtos, QStringLiteral("Idreferencia"));
                else
                    products.load(q.c_produtos, QStringLiteral("Idreferencia"));
                barcodes.load(q.c_codbar, QStringLiteral("IdReferencia"));
                keysLoaded = true;
            }
            const Upserted upserted = keyedUpsert(productMapping(), row, QStringLiteral("idreferencia"), row.key,
                                                  QStringLiteral("lj_produtos"), rowIdentity(code, description),
                                                  integration.writeOnlyChanged(), &products);
            ensureBarcode(integration, row, &barcodes);
            return written(upserted);
        });
    }
    units.finish();
    state.setCaption(StationState::restingCaption);
    q.s_produtos.close();
    q.c_produtos.close();
}

} // namespace carvela
