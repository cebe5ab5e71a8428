#include "bench/benchstation.h"

#include "app/demostation.h"
#include "core/failure.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "support/pgserver.h"

#include <cmath>
#include <functional>
#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

namespace carvela::bench {
namespace {

// Inserts count rows through one prepared statement in one transaction; row(i) gives the values
// of row i (1-based) in the order of columns.
void insertRows(QSqlDatabase db, const QString& table, const QStringList& columns, int count,
                const std::function<QVariantList(int)>& row)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), columns.size());
    db.transaction();
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
        throw Failure(table + QStringLiteral(": ") + insert.lastError().text());
    for (int i = 1; i <= count; ++i) {
        const QVariantList values = row(i);
        for (int c = 0; c < values.size(); ++c)
            insert.bindValue(c, values.at(c));
        if (!insert.exec())
            throw Failure(table + QStringLiteral(": ") + insert.lastError().text());
    }
    insert = QSqlQuery();
    db.commit();
}

QString padded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

} // namespace

Volume Volume::scaled(double factor)
{
    const auto times = [factor](int n) { return std::max(1, static_cast<int>(std::lround(n * factor))); };
    Volume v;
    v.customers = times(v.customers);
    v.suppliers = times(v.suppliers);
    v.products = times(v.products);
    v.sales = times(v.sales);
    v.purchases = times(v.purchases);
    v.movements = times(v.movements);
    return v;
}

BenchStation::BenchStation(const QString& engine, const Volume& v, bool writeOnlyChanged)
    : m_station(std::make_unique<test::TestStation>(engine, QStringLiteral("bench")))
{
    test::TestStation& s = *m_station;
    // The indexes the README asks an integrator to give a large ERP (ContaCorrente's is in the schema).
    for (const char* index :
         {"CREATE INDEX ix_lj_venda_pdv ON lj_venda (Idloja, Cod_pdv, Seq_Caixa_Pdv, Sequencial_Pdv)",
          "CREATE INDEX ix_lj_entradas_codigoref ON lj_entradas (Idloja, codigoref)"})
        test::exec(s.erp(), QString::fromLatin1(index));
    test::exec(s.erp(), QStringLiteral("delete from filial"));
    test::exec(s.erp(), QStringLiteral("delete from empresa"));
    const bool sqliteCloud = s.cloud().driverName() == QLatin1String("QSQLITE");
    if (!sqliteCloud)
        test::exec(s.cloud(), QStringLiteral("set search_path to velcor, public"));
    for (const auto& [script, db] : {std::pair{"pos-demo.sql", s.pos()}, std::pair{"erp-demo.sql", s.erp()},
                                     std::pair{"cloud-demo.sql", s.cloud()}})
        for (const QString& statement : demoStatements(QString::fromLatin1(script)))
            test::exec(db, statement);
    // The demo's reference rows stay; its master data and movements make way for the volume.
    for (const char* table : {"clientes", "fornecedores", "produtos", "vendas", "itens_venda", "compras_comb",
                              "itens_compra_comb", "compras_div", "itens_compra_div", "contas_pagar", "parcelas_pagar"})
        test::exec(s.pos(), QStringLiteral("delete from ") + QLatin1String(table));
    const QString movements = sqliteCloud ? QStringLiteral("mov_bancario") : QStringLiteral("velcor.mov_bancario");
    test::exec(s.cloud(), QStringLiteral("delete from ") + movements);

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    insertRows(s.pos(), QStringLiteral("clientes"),
               {"CODIGO", "nome", "APELIDO", "PESSOA", "CPF_CNPJ", "ENDERECO", "NUMERO", "BAIRRO", "COD_MUNICIPIO",
                "uf", "Cep", "Fone1", "email", "DT_CADASTRO", "DT_NASCIMENTO"},
               v.customers, [](int i) -> QVariantList {
                   return {QString::number(i),
                           QStringLiteral("Cliente Número %1").arg(i),
                           QStringLiteral("Cli %1").arg(i),
                           QStringLiteral("F"),
                           padded(i, 11),
                           QStringLiteral("Rua das Acácias, %1").arg(i % 900),
                           QString::number(i % 2000),
                           QStringLiteral("Aldeota"),
                           QStringLiteral("2304400"),
                           QStringLiteral("CE"),
                           QStringLiteral("60150-160"),
                           QStringLiteral("(85) 3224-%1").arg(padded(i % 10000, 4)),
                           QStringLiteral("cliente%1@exemplo.com.br").arg(i),
                           QStringLiteral("2024-03-07"),
                           QStringLiteral("1980-01-%1").arg(padded(i % 28 + 1, 2))};
               });
    insertRows(s.pos(), QStringLiteral("fornecedores"),
               {"codigo", "razao_social", "nome_fantasia", "CPF_CNPJ", "ENDERECO", "NUMERO", "COD_MUNICIPIO", "uf",
                "TRANSPORTADORA"},
               v.suppliers, [](int i) -> QVariantList {
                   return {QString::number(i),
                           QStringLiteral("Fornecedor %1 Ltda").arg(i),
                           QStringLiteral("Fornecedor %1").arg(i),
                           QStringLiteral("12.345.%1/0001-95").arg(padded(i % 1000, 3)),
                           QStringLiteral("Avenida Industrial, %1").arg(i),
                           QString::number(i),
                           QStringLiteral("2304400"),
                           QStringLiteral("CE"),
                           QStringLiteral("N")};
               });
    insertRows(s.pos(), QStringLiteral("produtos"),
               {"codigo", "descricao", "cod_grupo", "cod_marca", "cod_barras", "cod_ncm", "unidade"}, v.products,
               [](int i) -> QVariantList {
                   return {QString::number(i),
                           QStringLiteral("Produto Nº %1").arg(i),
                           i % 3 == 0 ? QStringLiteral("03") : QStringLiteral("01"),
                           QStringLiteral("0001"),
                           QStringLiteral("789%1").arg(padded(i, 10)),
                           QStringLiteral("27101259"),
                           QStringLiteral("UN")};
               });

    insertRows(s.pos(), QStringLiteral("vendas"),
               {"cod_empresa", "cod_pdv", "seq_caixa", "sequencial", "data_emissao", "hora_emissao", "cod_cliente",
                "cod_vendedor", "valor_nf", "numero_nf", "num_ccf"},
               v.sales, [&](int i) -> QVariantList {
                   return {QStringLiteral("1"),
                           QStringLiteral("01"),
                           QStringLiteral("00900"),
                           padded(i, 5),
                           today,
                           QStringLiteral("%1:%2:00").arg(padded(6 + i % 16, 2), padded(i % 60, 2)),
                           QString::number(i % v.customers + 1),
                           QStringLiteral("7"),
                           25.0 + i % 100,
                           QString::number(100000 + i),
                           padded(i, 6)};
               });
    const int items = v.sales * v.itemsPerSale;
    insertRows(s.pos(), QStringLiteral("ITENS_VENDA"),
               {"cod_empresa", "cod_pdv", "seq_caixa", "Seq_venda", "numero", "cod_produto", "quantidade",
                "preco_contrato", "preco_cadastro", "desconto", "custo"},
               items, [&](int k) -> QVariantList {
                   const int sale = (k - 1) / v.itemsPerSale + 1;
                   const int item = (k - 1) % v.itemsPerSale + 1;
                   return {QStringLiteral("1"),
                           QStringLiteral("01"),
                           QStringLiteral("00900"),
                           padded(sale, 5),
                           padded(item, 3),
                           QString::number(k % v.products + 1),
                           1.0 + item,
                           5.99,
                           6.19,
                           0.0,
                           4.5};
               });

    insertRows(s.pos(), QStringLiteral("COMPRAS_COMB"),
               {"cod_empresa", "codigo", "cod_fornecedor", "documento", "modelo_nf", "dt_emissao", "dt_lmc",
                "cancelada", "forma_pgto", "total_nota", "frete", "desconto", "despesas", "seguro"},
               v.purchases, [&](int i) -> QVariantList {
                   return {QStringLiteral("1"),
                           QString::number(10000 + i),
                           QString::number(i % v.suppliers + 1),
                           QString::number(50000 + i),
                           QStringLiteral("55"),
                           today,
                           today,
                           QStringLiteral("N"),
                           QStringLiteral("P"),
                           30000.0 + i,
                           120.0,
                           0.0,
                           35.5,
                           0.0};
               });
    insertRows(s.pos(), QStringLiteral("ITENS_COMPRA_COMB"),
               {"cod_empresa", "cod_compra", "numero", "cod_combustivel", "cancelado", "quantidade", "custo_semenc",
                "desconto", "frete", "cod_ncm", "cod_cfop", "sit_tributaria"},
               v.purchases * v.itemsPerPurchase, [&](int k) -> QVariantList {
                   const int purchase = (k - 1) / v.itemsPerPurchase + 1;
                   const int item = (k - 1) % v.itemsPerPurchase + 1;
                   return {QStringLiteral("1"),
                           QString::number(10000 + purchase),
                           QString::number(item),
                           QString::number(item),
                           QStringLiteral("N"),
                           1000.0 * item,
                           5.41,
                           0.0,
                           40.0,
                           QStringLiteral("27101259"),
                           QStringLiteral("1652"),
                           QStringLiteral("060")};
               });
    insertRows(s.pos(), QStringLiteral("CONTAS_PAGAR"),
               {"cod_empresa", "codigo", "cod_fornecedor", "Documento", "cod_compra", "tipo_compra", "dt_emissao",
                "valor_total"},
               v.purchases, [&](int i) -> QVariantList {
                   return {QStringLiteral("1"),
                           padded(i, 6),
                           QString::number(i % v.suppliers + 1),
                           QStringLiteral("NF%1").arg(50000 + i),
                           QString::number(10000 + i),
                           QStringLiteral("D"),
                           today,
                           30000.0 + i};
               });
    insertRows(s.pos(), QStringLiteral("PARCELAS_PAGAR"),
               {"cod_empresa", "cod_conta", "numero", "documento", "dt_vencimento", "dt_pagamento", "valor_nominal"},
               v.purchases * v.instalments, [&](int k) -> QVariantList {
                   const int account = (k - 1) / v.instalments + 1;
                   const int instalment = (k - 1) % v.instalments + 1;
                   return {QStringLiteral("1"),
                           padded(account, 6),
                           QString::number(instalment),
                           QStringLiteral("NF%1-%2").arg(50000 + account).arg(instalment),
                           QDate::currentDate().addDays(30 * instalment).toString(Qt::ISODate),
                           QString(),
                           (30000.0 + account) / v.instalments};
               });

    insertRows(s.cloud(), movements,
               {"idmovimento", "id_empresa", "id_loja", "idbanco", "documento", "valor_lancamento", "tipo_lancamento",
                "historico_lancamento", "controle_banco", "data_lancamento", "hora_lancamento"},
               v.movements, [&](int i) -> QVariantList {
                   return {100000 + i,
                           11,
                           11,
                           i % 2 == 0 ? 1 : 104,
                           QStringLiteral("DOC%1").arg(i),
                           100.0 + i % 5000,
                           i % 3 == 0 ? QStringLiteral("D") : QStringLiteral("C"),
                           QStringLiteral("Transferência Pix recebida %1").arg(i),
                           QStringLiteral("CTRL%1").arg(i),
                           today,
                           QStringLiteral("%1:%2:00").arg(padded(8 + i % 10, 2), padded(i % 60, 2))};
               });

    if (writeOnlyChanged)
        IniFile(s.settingsPath())
            .setValue(settings::carvelaSection, settings::writeOnlyChangedKey, QStringLiteral("1"));
    s.start({{"Filial", "1"}, {"TpDoc", "2"}, {"NatOper", "2"}, {"Custo1", "1"}, {"Custo2", "2"}});
    s.state().setMovementDate(QDate::currentDate());
}

} // namespace carvela::bench
