#include "integration/sales.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/masterbycode.h"
#include "integration/recordhelpers.h"
#include "integration/rowunit.h"
#include "integration/sequences.h"

namespace carvela {
namespace {

// A seller code of blanks is seller 1; otherwise the code as read, 1 when it is no number.
QVariant seller(RowContext& row)
{
    const QString code = row.source.asString(QStringLiteral("cod_vendedor"));
    return TrimText(code).isEmpty() ? 1 : convert::toIntOr(code, 1);
}

// The name of the customer the sale goes to: a walk-in sale (no customer code, or one that is no
// number) goes to customer 1, and so does its name.
QVariant customerName(RowContext& row)
{
    return CustomerName(SectionRow::of(row).integration.conexao(),
                        convert::toIntOr(row.source.asString(QStringLiteral("cod_cliente")), 1));
}

// "Posto: 1 PDV: 01 Caixa: 00012 Sequencial: 00034", the sale's key as the captions show it.
QString saleKey(const Query& s_vendas)
{
    return QStringLiteral("Posto: %1 PDV: %2 Caixa: %3 Sequencial: %4")
        .arg(s_vendas.asString(QStringLiteral("cod_empresa")), s_vendas.asString(QStringLiteral("Cod_pdv")),
             s_vendas.asString(QStringLiteral("Seq_Caixa")), s_vendas.asString(QStringLiteral("Sequencial")));
}

} // namespace

void prepareSalesQueries(NamedQueries& q)
{
    q.s_vendas.setSql({QStringLiteral("select * from vendas"), QStringLiteral(" where data_emissao  = :data_emissao"),
                       QStringLiteral("order by cod_empresa, cod_pdv, seq_caixa, sequencial")});
    q.s_vendas.declareParam(QStringLiteral("data_emissao"), Query::ParamType::WideText, 10);
    prepareSaleItemQueries(q);
    q.c_Vendas.setSql({QStringLiteral("select * from lj_venda"), QStringLiteral(" where idloja = :idloja"),
                       QStringLiteral("    and Cod_pdv = :Cod_pdv"),
                       QStringLiteral("    and Seq_Caixa_Pdv = :Seq_Caixa_Pdv"),
                       QStringLiteral("    and Sequencial_Pdv = :Sequencial_Pdv")});
    q.c_Vendas.declareParam(QStringLiteral("idloja"), Query::ParamType::Int32);
    q.c_Vendas.declareParam(QStringLiteral("Cod_pdv"), Query::ParamType::Text, 2);
    q.c_Vendas.declareParam(QStringLiteral("Seq_Caixa_Pdv"), Query::ParamType::Text, 5);
    q.c_Vendas.declareParam(QStringLiteral("Sequencial_Pdv"), Query::ParamType::Text, 5);
    q.c_Vendas.setTarget(QStringLiteral("lj_venda"));
}

const Mapping& saleMapping()
{
    static const Mapping mapping = {
        constant("Idempresa", 1),
        toInt("Idloja", "cod_empresa"),
        computed("idvenda", movementNumber),
        constant("Seq", 1),
        text("Cod_pdv", "Cod_pdv"),
        text("Seq_Caixa_Pdv", "Seq_Caixa"),
        text("Sequencial_Pdv", "Sequencial"),
        isoDate("dtvenda", "data_emissao"),
        isoDate("dataEncPed", "data_emissao"),
        constant("IdTabela", 1),
        computed("IdVendedor", seller),
        toIntOr("IdCliente", "cod_cliente", 1),
        constant("IdCorretor", 1),
        constant("Status", QStringLiteral("F")),
        constant("PercDesconto", 0),
        constant("ValorDesconto", 0),
        constant("ValorComissao", 0),
        constant("Sequencia", 0),
        constant("TipoEmissao", QStringLiteral("V")),
        constant("Gerounota", QStringLiteral("N")),
        constant("IdCaixa", 0),
        constant("IdformaPgto", 1),
        constant("IdCondPgto", 1),
        toFloat("ValorItens", "valor_nf"),
        constant("VlrCredito", 0),
        constant("IdUsuAut", 1),
        now("datahora"),
        toFloat("BaseIcms", "valor_nf"),
        constant("ValorIcms", 0),
        constant("ValorEntrada", 0),
        constant("DescontosItens", 0),
        constant("ValorFrete", 0),
        constant("ValorPagamentos", 0),
        constant("EnderecoEntrega", QStringLiteral("0")),
        computed("nomeCliente", customerName),
        constant("PerceComissao", 0),
        constant("PercComRep", 0),
        constant("idCcusto", 0),
        toFloat("ValorTotal", "valor_nf"),
        toFloat("ValorParaComissao", "valor_nf"),
        toIntOr("nfiscal", "numero_nf", 1),
        text("NumCupom", "numero_nf"),
        text("ccf", "num_ccf"),
        isoDate("DtFiscal", "data_emissao"),
    };
    return mapping;
}

void ImportSales(Integration& integration)
{
    StationState& state = integration.state();
    NamedQueries& q = integration.queries();
    integration.setSectionLabel(QStringLiteral("Vendas"));
    integration.beginSummarySection(QStringLiteral("Vendas"));
    state.setCaption(QStringLiteral("Abrindo tabela de vendas!"));
    StationState::letMessagesRun();

    q.s_vendas.close();
    q.s_vendas.setParam(QStringLiteral("data_emissao"), state.movementDate().toString(QStringLiteral("yyyy-MM-dd")));
    q.s_vendas.open(); // its items follow it as its detail
    state.setProgressMaximum(StationState::Bar::pbVendas, q.s_vendas.rowCount());
    state.setProgressPosition(StationState::Bar::pbVendas, 0);
    if (!q.s_vendas.isEmpty()) {
        state.appendLog(state.lbProcesso());
        state.appendLog(QString(156, u'-'));
        StationState::letMessagesRun();
    }

    UnitWriter units(integration);
    for (; !q.s_vendas.eof(); q.s_vendas.next()) {
        integration.checkSwitch();
        const QString key = saleKey(q.s_vendas);
        state.setCaption(key);
        state.setProgressPosition(StationState::Bar::pbVendas, q.s_vendas.recNo());
        StationState::letMessagesRun();

        int customers = 0;
        int items = 0;
        int products = 0;
        const bool written = units.write([&] {
            const QString identity = QStringLiteral("venda ") + key;
            const QString storeCode = q.s_vendas.asString(QStringLiteral("cod_empresa"));
            const int store = wholeNumberOf(storeCode, QStringLiteral("lj_venda"), identity, QStringLiteral("Idloja"));
            q.c_Vendas.close();
            q.c_Vendas.setParam(QStringLiteral("idloja"), store);
            q.c_Vendas.setParam(QStringLiteral("Cod_pdv"), q.s_vendas.asString(QStringLiteral("Cod_pdv")));
            q.c_Vendas.setParam(QStringLiteral("Seq_Caixa_Pdv"), q.s_vendas.asString(QStringLiteral("Seq_Caixa")));
            q.c_Vendas.setParam(QStringLiteral("Sequencial_Pdv"), q.s_vendas.asString(QStringLiteral("Sequencial")));
            q.c_Vendas.open();
            if (!q.c_Vendas.isEmpty())
                return Written::AlreadyThere; // with its items, copied by an earlier cycle

            state.setCaption(integration.sectionLabel() + QStringLiteral(" - ") + key);
            StationState::letMessagesRun();
            try {
                customers =
                    ImportCustomerByCode(integration, q.s_vendas.asString(QStringLiteral("cod_cliente"))) ? 1 : 0;
            } catch (const RowFailure& failure) {
                throw RowFailure(QStringLiteral("lj_venda, %1: %2").arg(identity, failure.message()));
            }
            // Drawn inside the unit: a sale that fails gives its number back.
            MovementRow sale(integration, q.s_vendas, q.c_Vendas, store,
                             NextFreeSaleNumber(integration.conexao(), store));
            sale.key = key;
            q.c_Vendas.append();
            writeMapping(saleMapping(), sale, true, QStringLiteral("lj_venda"), identity);
            postRow(q.c_Vendas, QStringLiteral("lj_venda"), identity);
            items = ImportSaleItems(integration, sale, products);
            return Written::Inserted;
        });
        if (written) {
            SectionCounts& counts = integration.sectionCounts();
            counts.add(QStringLiteral("itens"), items);
            counts.add(QStringLiteral("produtos trazidos"), products);
            counts.add(QStringLiteral("clientes trazidos"), customers);
        }
    }
    units.finish();
    state.setCaption(StationState::restingCaption);
    q.s_vendas.close();
    q.s_vendasitem.close();
    q.c_Vendas.close();
    q.c_Vendasitem.close();
}

} // namespace carvela
