#include "integration/purchaseentries.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/integration.h"
#include "integration/masterbycode.h"
#include "integration/payables.h"
#include "integration/rowunit.h"
#include "integration/sequences.h"

namespace carvela {

namespace {

// The date of the fuel movement book when it converts, else the issue date: the one failure a
// section catches, since the book's date is often not entered yet.
QVariant issueDate(RowContext& row)
{
    try {
        return IsoTextToDate(row.source.asString(QStringLiteral("dt_lmc")));
    } catch (const Failure&) {
        return IsoTextToDate(row.source.asString(QStringLiteral("dt_emissao")));
    }
}

QVariant status(RowContext& row)
{
    return row.source.asString(QStringLiteral("cancelada")) == QLatin1String("N") ? QStringLiteral("F")
                                                                                  : QStringLiteral("C");
}

QVariant purchaseType(RowContext& row)
{
    return row.source.asString(QStringLiteral("forma_pgto")) == QLatin1String("A") ? QStringLiteral("Avista")
                                                                                   : QStringLiteral("Aprazo");
}

} // namespace

void preparePurchaseQueries(NamedQueries& q)
{
    // Line 0 names the table: COMPRAS_COMB or COMPRAS_DIV, ITENS_COMPRA_COMB or ITENS_COMPRA_DIV.
    q.s_entradas.setSql({QStringLiteral("select * from COMPRAS_COMB"),
                         QStringLiteral(" where dt_emissao  = :dt_emissao"), QStringLiteral("  and cancelada = 'N'"),
                         QStringLiteral("  "), QString(), QString(), QString(),
                         QStringLiteral("order by cod_empresa,codigo")});
    q.s_entradas.declareParam(QStringLiteral("dt_emissao"), Query::ParamType::Text, 10);
    q.s_entradasitem.setSql({QStringLiteral("select * from ITENS_COMPRA_COMB"),
                             QStringLiteral(" where cod_empresa = :cod_empresa"),
                             QStringLiteral("   and cod_compra = :codigo"), QString(), QString(), QString(), QString(),
                             QString(), QStringLiteral("order by cod_empresa, cod_compra")});
    q.s_entradasitem.declareParam(QStringLiteral("cod_empresa"), Query::ParamType::Text, 2);
    q.s_entradasitem.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 8);
    // The detail of the purchases: it holds the items of the purchase s_entradas stands on.
    q.s_entradasitem.setMaster(q.s_entradas, [](Query& items, const Query& purchase) {
        items.setParam(QStringLiteral("cod_empresa"), purchase.asString(QStringLiteral("cod_empresa")));
        items.setParam(QStringLiteral("codigo"), purchase.asString(QStringLiteral("Codigo")));
    });
    q.c_entradas.setSql({QStringLiteral("select * from lj_entradas"), QStringLiteral(" where idloja = :idloja"),
                         QStringLiteral("    and codigoref = :codigoref")});
    q.c_entradas.declareParam(QStringLiteral("idloja"), Query::ParamType::Int32);
    q.c_entradas.declareParam(QStringLiteral("codigoref"), Query::ParamType::Text, 8);
    q.c_entradas.setTarget(QStringLiteral("lj_entradas"));
    q.c_entradasitem.setSql({QStringLiteral("select * from lj_entradasitem"), QStringLiteral(" where 0<>0")});
    q.c_entradasitem.setTarget(QStringLiteral("lj_entradasitem"));
    preparePayableQueries(q);
}

const Mapping& fuelEntryMapping()
{
    static const Mapping mapping = {
        constant("Idempresa", 1),
        toInt("Idloja", "cod_empresa"),
        computed("identrada", movementNumber),
        text("codigoref", "Codigo"),
        isoDate("dataCadastro", "dt_emissao"),
        computed("DataEmissao", issueDate),
        constant("IdComprador", 1),
        toIntOr("IdFornecedor", "cod_fornecedor", 1),
        toIntOr("nfiscal", "documento", 1),
        text("modelo", "modelo_nf"),
        constant("serie", QStringLiteral("1")),
        computed("Status", status),
        toFloat("ValorTotal", "total_nota"),
        setting("IdNatOper", "edtOper"),
        constant("ValorIcms", 0),
        constant("ValorIcmsAnt", 0),
        constant("ValorSubsTrib", 0),
        constant("PcIcms", 0),
        setting("IdTpdoc", "EdtTpDoc"),
        constant("ValorIpi", 0),
        toFloat("ValorFrete", "frete"),
        toFloat("ValorDesconto", "desconto"),
        constant("IdTransportadora", 1),
        constant("TpDoc", QStringLiteral("N")),
        empty("Favorecido"),
        empty("Observacoes"),
        constant("BaseCalcIcms", 0),
        toFloat("OutrasDesp", "despesas"),
        toFloat("ValorSeguro", "seguro"),
        empty("especie"),
        constant("quantidade", 0),
        constant("PesoLiquido", 0),
        constant("PesoBruto", 0),
        setting("IdcCusto", "edtCcusto"),
        empty("NotaDev"),
        computed("TipoCompra", purchaseType),
    };
    return mapping;
}

const Mapping& miscEntryMapping()
{
    static const Mapping mapping = [] {
        Mapping m = fuelEntryMapping();
        m[10] = text("serie", "serie");
        m[33] = setting("IdcCusto", "edtCcusto2");
        return m;
    }();
    return mapping;
}

void copyPurchases(Integration& integration, const PurchaseKind& kind)
{
    StationState& state = integration.state();
    NamedQueries& q = integration.queries();
    integration.setSectionLabel(kind.label);
    integration.beginSummarySection(kind.label);
    state.setCaption(kind.openingCaption);
    StationState::letMessagesRun();

    q.s_entradas.close();
    q.s_entradas.setLine(0, kind.purchaseTable);
    // The items' table is named before the purchases open: their first run already reads it.
    q.s_entradasitem.close();
    q.s_entradasitem.setLine(0, kind.itemTable);
    q.s_entradas.setParam(QStringLiteral("dt_emissao"), state.movementDate().toString(QStringLiteral("yyyy-MM-dd")));
    q.s_entradas.open();
    state.setCaption(kind.listingCaption);
    StationState::letMessagesRun();
    state.setProgressMaximum(StationState::Bar::pbEntradas, q.s_entradas.rowCount());
    state.setProgressPosition(StationState::Bar::pbEntradas, 0);
    if (!q.s_entradas.isEmpty()) {
        state.appendLog(state.lbProcesso());
        state.appendLog(QString(156, u'-'));
        StationState::letMessagesRun();
    }

    UnitWriter units(integration);
    for (; !q.s_entradas.eof(); q.s_entradas.next()) {
        integration.checkSwitch();
        const QString storeCode = q.s_entradas.asString(QStringLiteral("cod_empresa"));
        const QString code = q.s_entradas.asString(QStringLiteral("Codigo"));
        const QString key = storeCode + QStringLiteral(" Codigo: ") + code;
        if (!kind.rowCaptionPrefix.isEmpty())
            state.setCaption(kind.rowCaptionPrefix + key);
        state.setProgressPosition(StationState::Bar::pbEntradas, q.s_entradas.recNo());
        StationState::letMessagesRun();

        int suppliers = 0;
        int items = 0;
        int titles = 0;
        const bool written = units.write([&] {
            const QString identity = QStringLiteral("entrada Posto: ") + key;
            const int store =
                wholeNumberOf(storeCode, QStringLiteral("lj_entradas"), identity, QStringLiteral("Idloja"));
            q.c_entradas.close();
            q.c_entradas.setParam(QStringLiteral("idloja"), store);
            q.c_entradas.setParam(QStringLiteral("codigoref"), code);
            q.c_entradas.open();
            if (!q.c_entradas.isEmpty())
                return Written::AlreadyThere; // with its items and titles, copied before

            state.setCaption(kind.label + kind.newCaptionPrefix + key);
            StationState::letMessagesRun();
            try {
                suppliers =
                    ImportSupplierByCode(integration, q.s_entradas.asString(QStringLiteral("cod_fornecedor"))) ? 1 : 0;
            } catch (const RowFailure& failure) {
                throw RowFailure(QStringLiteral("lj_entradas, %1: %2").arg(identity, failure.message()));
            }
            // Drawn inside the unit: an entry that fails gives its number back.
            MovementRow entry(integration, q.s_entradas, q.c_entradas, store,
                              NextFreeEntryNumber(integration.conexao(), store, integration.companyNumber()));
            q.c_entradas.append();
            writeMapping(kind.header, entry, true, QStringLiteral("lj_entradas"), identity);
            postRow(q.c_entradas, QStringLiteral("lj_entradas"), identity);

            q.c_entradasitem.close();
            q.c_entradasitem.open();
            for (q.s_entradasitem.first(); !q.s_entradasitem.eof(); q.s_entradasitem.next()) {
                const QString itemIdentity =
                    identity + QStringLiteral(", item ") + q.s_entradasitem.asString(QStringLiteral("numero"));
                q.c_entradasitem.append();
                MovementRow item(integration, q.s_entradasitem, q.c_entradasitem, store, entry.number);
                writeMapping(kind.item, item, true, QStringLiteral("lj_entradasitem"), itemIdentity);
                postRow(q.c_entradasitem, QStringLiteral("lj_entradasitem"), itemIdentity);
                ++items;
            }
            titles = CreatePayables(integration, code, storeCode);
            return Written::Inserted;
        });
        if (written) {
            SectionCounts& counts = integration.sectionCounts();
            counts.add(QStringLiteral("itens"), items);
            counts.add(QStringLiteral("títulos"), titles);
            counts.add(QStringLiteral("fornecedores trazidos"), suppliers);
        }
    }
    units.finish();
}

} // namespace carvela
