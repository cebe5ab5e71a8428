#include "integration/payables.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/sectionrow.h"
#include "integration/sequences.h"

namespace carvela {
namespace {

// A title row: how many instalments the purchase has, over all its accounts.
struct TitleRow : SectionRow {
    TitleRow(Integration& integration, const Query& source, Query& target, int instalments)
        : SectionRow(integration, source, target)
        , instalments(instalments)
    {
    }
    int instalments;
};

QVariant nextTitleId(RowContext& row)
{
    return NextFreeSequence(SectionRow::of(row).integration.conexao());
}

QVariant instalments(RowContext& row)
{
    return dynamic_cast<TitleRow&>(row).instalments;
}

QVariant observation(RowContext& row)
{
    return QString(QStringLiteral("Título Gerado pelo Sistema Quorim NF.Compra: ") +
                   row.source.asString(QStringLiteral("cod_compra")));
}

} // namespace

void preparePayableQueries(NamedQueries& q)
{
    q.s_apagar.setSql({
        QStringLiteral("select c.cod_empresa, c.codigo, c.cod_fornecedor, c.Documento,  c.cod_compra, c.cod_compra,"),
        QStringLiteral(
            "       dt_emissao, numero, dt_pagamento, valor_nominal, p.documento as DocParcela ,dt_vencimento"),
        QStringLiteral(" from CONTAS_PAGAR c, PARCELAS_PAGAR p"),
        QStringLiteral(" where c.cod_empresa = p.cod_empresa"),
        QStringLiteral("   and c.codigo = p.cod_conta"),
        QStringLiteral("   and tipo_compra = 'D' "),
        QStringLiteral("   and c.cod_compra = :cod_compra"),
        QStringLiteral("   and c.cod_empresa  = :cod_empresa "),
        QString(),
        QString(),
        QString(),
        QString(),
        QString(),
        QStringLiteral("order by c.cod_empresa, c.codigo, numero"),
    });
    q.s_apagar.declareParam(QStringLiteral("cod_compra"), Query::ParamType::Text, 8);
    q.s_apagar.declareParam(QStringLiteral("cod_empresa"), Query::ParamType::Text, 2);
    q.c_apagar.setSql({QStringLiteral("select * from capagar"), QStringLiteral(" where idfilial = :idfilial"),
                       QStringLiteral("    and codigoref = :codigoref"),
                       QStringLiteral("    and documento = :documento"), QStringLiteral("    and parcela = :parcela")});
    q.c_apagar.declareParam(QStringLiteral("idfilial"), Query::ParamType::Int32);
    q.c_apagar.declareParam(QStringLiteral("codigoref"), Query::ParamType::Text, 50);
    q.c_apagar.declareParam(QStringLiteral("documento"), Query::ParamType::Text, 15);
    q.c_apagar.declareParam(QStringLiteral("parcela"), Query::ParamType::Int32);
    q.c_apagar.setTarget(QStringLiteral("capagar"));
}

const Mapping& payableMapping()
{
    static const Mapping mapping = {
        constant("idempresa", 1),
        computed("id", nextTitleId),
        toInt("idfilial", "cod_empresa"),
        toInt("idfornecedor", "cod_fornecedor"),
        isoDate("data", "dt_emissao"),
        text("documento", "DocParcela"),
        toInt("parcela", "numero"),
        isoDate("dtemissao", "dt_emissao"),
        isoDate("dtvencto", "dt_vencimento"),
        toFloat("vltitulo", "valor_nominal"),
        toFloat("vlsaldo", "valor_nominal"),
        constant("situacao", QStringLiteral("0")),
        computed("Observacao", observation),
        constant("vldescontos", 0),
        constant("vljuros", 0),
        constant("vltaxas", 0),
        text("DocOrigem", "cod_compra"),
        constant("idpgto", 2),
        constant("idlocalizacao", 1),
        constant("tipo", QStringLiteral("BL")),
        text("NotaPedido", "cod_compra"),
        computed("TotParcelas", instalments),
        constant("TipoCompra", QStringLiteral("Aprazo")),
        text("codigoref", "codigo"),
    };
    return mapping;
}

int CreatePayables(Integration& integration, const QString& purchaseCode, const QString& storeCode)
{
    NamedQueries& q = integration.queries();
    q.s_apagar.close();
    q.s_apagar.setParam(QStringLiteral("cod_compra"), purchaseCode);
    q.s_apagar.setParam(QStringLiteral("cod_empresa"), storeCode);
    q.s_apagar.open();
    int inserted = 0;
    for (; !q.s_apagar.eof(); q.s_apagar.next()) {
        const QString identity =
            QStringLiteral("título da conta %1, parcela %2 (documento %3)")
                .arg(q.s_apagar.asString(QStringLiteral("codigo")), q.s_apagar.asString(QStringLiteral("numero")),
                     q.s_apagar.asString(QStringLiteral("DocParcela")));
        const auto wholeNumber = [&](const char* column, const char* target) {
            return wholeNumberOf(q.s_apagar.asString(QString::fromLatin1(column)), QStringLiteral("capagar"), identity,
                                 QString::fromLatin1(target));
        };
        q.c_apagar.close();
        q.c_apagar.setParam(QStringLiteral("idfilial"), wholeNumber("cod_empresa", "idfilial"));
        q.c_apagar.setParam(QStringLiteral("codigoref"), q.s_apagar.asString(QStringLiteral("codigo")));
        q.c_apagar.setParam(QStringLiteral("documento"), q.s_apagar.asString(QStringLiteral("DocParcela")));
        q.c_apagar.setParam(QStringLiteral("parcela"), wholeNumber("numero", "parcela"));
        q.c_apagar.open();
        if (!q.c_apagar.isEmpty())
            continue;
        q.c_apagar.append();
        TitleRow title(integration, q.s_apagar, q.c_apagar, q.s_apagar.rowCount());
        writeMapping(payableMapping(), title, true, QStringLiteral("capagar"), identity);
        postRow(q.c_apagar, QStringLiteral("capagar"), identity);
        ++inserted;
    }
    q.c_apagar.close();
    q.s_apagar.close();
    return inserted;
}

} // namespace carvela
