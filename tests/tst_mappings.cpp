#include "cloud/bankmovements.h"
#include "fixtures/builders.h"
#include "integration/customers.h"
#include "integration/payables.h"
#include "integration/productreferences.h"
#include "integration/products.h"
#include "integration/purchaseentries.h"
#include "integration/purchases.h"
#include "integration/sales.h"
#include "integration/suppliers.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

// One golden row per mapping table: a source row with a distinct value in every source column it
// reads, and the value every target column must hold. A swapped, mistyped or missing column fails.
namespace {

// What a target column must hold: a text exactly, a number as a number, a QDate as the date of the
// column, and Now as a time of the run being checked.
using Golden = QList<std::pair<QString, QVariant>>;
const QVariant Now = QVariant::fromValue(QDateTime());

QDateTime dateTimeOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString text = v.toString().replace(u'T', u' ');
    for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"}) {
        const QDateTime dt =
            QDateTime::fromString(text.left(QString::fromLatin1(format).size()), QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    return {};
}

// Every row of the mapping must have its golden value, and every golden value must be there.
void compareRow(const QVariantMap& actual, const Golden& golden, const Mapping& mapping, const QDateTime& before)
{
    QVERIFY2(!actual.isEmpty(), "the target row is missing");
    QStringList goldenColumns;
    for (const auto& [column, expected] : golden)
        goldenColumns << column.toLower();
    for (const MappingRow& row : mapping)
        QVERIFY2(goldenColumns.contains(row.column.toLower()), qPrintable(row.column + " has no golden value"));
    QCOMPARE(goldenColumns.size(), qsizetype(mapping.size()));

    for (const auto& [column, expected] : golden) {
        const QString key = column.toLower();
        QVERIFY2(actual.contains(key), qPrintable(column + " is no column of the target"));
        const QVariant value = actual.value(key);
        const QByteArray what = (column + QStringLiteral(" = ") + value.toString()).toUtf8();
        switch (expected.typeId()) {
        case QMetaType::QString:
            QVERIFY2(!value.isNull() && value.toString() == expected.toString(), what.constData());
            break;
        case QMetaType::Int:
        case QMetaType::Double:
            QVERIFY2(!value.isNull() && value.toDouble() == expected.toDouble(), what.constData());
            break;
        case QMetaType::QDate:
            QVERIFY2(dateTimeOf(value).date() == expected.toDate(), what.constData());
            break;
        default: {
            const QDateTime dt = dateTimeOf(value);
            QVERIFY2(dt.isValid() && dt >= before.addSecs(-1) && dt <= QDateTime::currentDateTime().addSecs(1),
                     what.constData());
        }
        }
    }
}

QVariantMap erpRow(TestStation& s, const QString& sql)
{
    return test::selectOne(s.erp(), sql);
}

} // namespace

class TestMappings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void customer()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gcust"));
        test::insertRow(s.pos(), "clientes",
                        {{"CODIGO", "4321"},
                         {"nome", "Nome Cliente"},
                         {"APELIDO", "Apelido"},
                         {"PESSOA", "J"},
                         {"CPF_CNPJ", "11222333000144"},
                         {"CGF", "CGF-9"},
                         {"rg", "RG-8"},
                         {"MAE", "Mãe"},
                         {"ENDERECO", "Rua A"},
                         {"NUMERO", "77"},
                         {"COMPLEMENTO", "Sala 1"},
                         {"BAIRRO", "Centro"},
                         {"COD_MUNICIPIO", "2304400"},
                         {"uf", "CE"},
                         {"Cep", "60000-001"},
                         {"Fone1", "85 1111"},
                         {"Fone2", "85 2222"},
                         {"email", "a@b.c"},
                         {"DT_CADASTRO", "2023-05-17"},
                         {"DT_NASCIMENTO", "1985-11-02"},
                         {"OBSERVACAO", "Obs"},
                         {"COB_ENDERECO", "Rua Cob"},
                         {"COB_NUMERO", "88"},
                         {"COB_COMPLEMENTO", "Apto 2"},
                         {"COB_BAIRRO", "Aldeota"},
                         {"COB_COD_MUNICIPIO", "2312908"},
                         {"COB_UF", "PI"}});
        s.start();
        const QDateTime before = QDateTime::currentDateTime();
        ImportCustomers(s.integration());
        compareRow(erpRow(s, "select * from clientes"),
                   {{"Idempresa", 1},
                    {"idcliente", 4321},
                    {"dataatualizacao", Now},
                    {"NomeCliente", QStringLiteral("Nome Cliente")},
                    {"NomeFantasia", QStringLiteral("Nome Cliente")},
                    {"Endereco", QStringLiteral("Rua A")},
                    {"numero", 77},
                    {"Complemento", QStringLiteral("Sala 1")},
                    {"bairro", QStringLiteral("Centro")},
                    {"cidade", QStringLiteral("")},
                    {"estado", QStringLiteral("CE")},
                    {"CodMun", QStringLiteral("04400")},
                    {"Cep", QStringLiteral("60000-001")},
                    {"Telefone", QStringLiteral("85 1111")},
                    {"celular", QStringLiteral("85 2222")},
                    {"email", QStringLiteral("a@b.c")},
                    {"status", QStringLiteral("A")},
                    {"TipoPessoa", QStringLiteral("J")},
                    {"Cnpj", QStringLiteral("11222333000144")},
                    {"NomeMae", QStringLiteral("Mãe")},
                    {"InscEst", QStringLiteral("CGF-9")},
                    {"DataCadastro", QDate(2023, 5, 17)},
                    {"datanascto", QDate(1985, 11, 2)},
                    {"rg", QStringLiteral("RG-8")},
                    {"Observacao", QStringLiteral("Obs")},
                    {"Apelido", QStringLiteral("Apelido")},
                    {"End_Cob", QStringLiteral("Rua Cob")},
                    {"Num_Cob", 88},
                    {"Compl_Cob", QStringLiteral("Apto 2")},
                    {"Bai_Cob", QStringLiteral("Aldeota")},
                    {"Cid_Cob", QStringLiteral("")},
                    {"Est_Cob", QStringLiteral("PI")},
                    {"CodMun_Cob", QStringLiteral("12908")}},
                   customerMapping(), before);
    }

    void supplier()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gsupp"));
        test::insertRow(s.pos(), "fornecedores",
                        {{"codigo", "654"},
                         {"razao_social", "Razão Social"},
                         {"nome_fantasia", "Fantasia"},
                         {"CPF_CNPJ", "11.222.333/0001-44"},
                         {"CGF", "CGF-7"},
                         {"ENDERECO", "Av B"},
                         {"NUMERO", "12"},
                         {"BAIRRO", "Meireles"},
                         {"COD_MUNICIPIO", "2304400"},
                         {"uf", "RN"},
                         {"Cep", "59000-002"},
                         {"FONE", "84 3333"},
                         {"FONE_VENDAS", "84 4444"},
                         {"CONTATO", "Contato"},
                         {"EMAIL", "f@g.h"},
                         {"TRANSPORTADORA", "S"},
                         {"OBSERVACAO", "Obs F"}});
        s.start();
        const QDateTime before = QDateTime::currentDateTime();
        ImportSuppliers(s.integration());
        compareRow(erpRow(s, "select * from fornecedores"),
                   {{"Idempresa", 1},
                    {"IdFornecedor", 654},
                    {"NomeFornecedor", QStringLiteral("Razão Social")},
                    {"NomeFantasia", QStringLiteral("Fantasia")},
                    {"CodMun", QStringLiteral("04400")},
                    {"status", QStringLiteral("A")},
                    {"Endereco", QStringLiteral("Av B")},
                    {"numero", 12},
                    {"bairro", QStringLiteral("Meireles")},
                    {"cidade", QStringLiteral("")},
                    {"estado", QStringLiteral("RN")},
                    {"Cep", QStringLiteral("59000-002")},
                    {"EmailFornecedor", QStringLiteral("f@g.h")},
                    {"Cnpj", QStringLiteral("11.222.333/0001-44")},
                    {"TipoPessoa", QStringLiteral("J")},
                    {"InscEst", QStringLiteral("CGF-7")},
                    {"Cadastro", QDate::currentDate()},
                    {"Observacao", QStringLiteral("Obs F")},
                    {"Fornecedor", QStringLiteral("1")},
                    {"Transportadora", QStringLiteral("1")},
                    {"DDD", 0},
                    {"Telefone", QStringLiteral("84 3333")},
                    {"fone2", QStringLiteral("84 4444")},
                    {"Contato", QStringLiteral("Contato")},
                    {"TelefoneContato", QStringLiteral("84 4444")},
                    {"dataatualizacao", Now}},
                   supplierMapping(), before);
    }

    // A new product with its group, its brand and its barcode row.
    void productGroupBrandAndBarcode()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gprod"));
        test::insertRow(s.pos(), "grupos", {{"codigo", "07"}, {"descricao", "Lubrificantes"}});
        test::insertRow(s.pos(), "marcas", {{"codigo", "0009"}, {"descricao", "Marca Nove"}});
        test::insertRow(s.pos(), "produtos",
                        {{"codigo", "PRD-123456789012"},
                         {"descricao", "Óleo 20W50"},
                         {"cod_grupo", "07"},
                         {"cod_marca", "0009"},
                         {"cod_barras", "7891234567895"},
                         {"cod_ncm", "27101932"}});
        s.start();
        const QDateTime before = QDateTime::currentDateTime();
        ImportProducts(s.integration());
        const QString key = QStringLiteral("RD-123456789012"); // right(15)
        const Golden zeros = [] {
            Golden list;
            for (const char* column :
                 {"Qtd1", "Qtd2", "Qtd3", "Qtd4", "Qtd5", "Qtd6", "Prc1", "Prc2", "Prc3", "PrcCompra", "PrcUltCusto",
                  "PercMargem", "Icms", "PercIcmsAnt", "PercIpiAnt", "PrcFrete", "PrcMedio", "CustoArt"})
                list.append({QString::fromLatin1(column), 0});
            return list;
        }();
        Golden product = {
            {"Idreferencia", key},
            {"idgrupo", 7},
            {"IdMarca", 9},
            {"descricao", QStringLiteral("Óleo 20W50")},
            {"DenominacaoFiscal", QStringLiteral("Óleo 20W50")},
            {"apelidoproduto", QStringLiteral("Óleo 20W50")},
            {"Ncm", QStringLiteral("27101932")},
            {"IdTamanho", 1},
            {"Tam_Ini", 1},
            {"Tam_Fim", 1},
            {"DataCadastro", Now},
            {"DataAlteracao", Now},
            {"TipoProduto", QStringLiteral("P")},
            {"Status", QStringLiteral("A")},
            {"Consignado", QStringLiteral("N")},
            {"ListaPrecoVenda", QStringLiteral("N")},
        };
        product.append(zeros);
        product.append({
            {"UndVendaQtde", 1},
            {"UndCompraQtde", 1},
            {"FatorConversao", 1},
            {"PercComVenda", 0},
            {"PercCustoAdm", 0},
            {"PercCartaoCredito", 0},
            {"PercCofins", 0},
            {"PercPis", 0},
            {"UndCompra", QStringLiteral("UN")},
            {"UndVenda", QStringLiteral("UN")},
            {"Genero", QStringLiteral("F")},
            {"CST", QStringLiteral("000")},
            {"AplicaPromocaoDescto", QStringLiteral("0")},
            {"NaoAplicarDesconto", QStringLiteral("0")},
            {"IdAliquota", 0},
            {"TipoSped", QStringLiteral("00")},
            {"Tipopromocao", QStringLiteral("P")},
            {"CSOSN", QStringLiteral("500")},
            {"CFOP", QStringLiteral("5102")},
            {"CfopF", QStringLiteral("6102")},
            {"CfopTd", QStringLiteral("5403")},
            {"CfopTf", QStringLiteral("6403")},
            {"SubTributaria", QStringLiteral("N")},
            {"Origem_Mercadoria", QStringLiteral("0")},
            {"CSTIPI", QStringLiteral("099")},
            {"CSTIpiEntrada", QStringLiteral("049")},
            {"QtdeValor", QStringLiteral("N")},
        });
        compareRow(erpRow(s, "select * from lj_produtos"), product, productMapping(), before);
        compareRow(erpRow(s, "select * from lj_referbar"),
                   {{"IdReferencia", key},
                    {"CodBarra", QStringLiteral("7891234567895")},
                    {"DataAlteracao", Now},
                    {"Est_Maximo", 0},
                    {"Est_Minimo", 0},
                    {"IdCor", 1},
                    {"Tam", QStringLiteral("0")}},
                   barcodeMapping(), before);
        compareRow(
            erpRow(s, "select * from ivgrupo"),
            {{"IdEmpresa", 1}, {"IdGrupo", 7}, {"Descricao", QStringLiteral("Lubrificantes")}, {"DataAlteracao", Now}},
            groupMapping(), before);
        compareRow(erpRow(s, "select * from marcas"),
                   {{"IdMarca", 9}, {"DescricaoMarca", QStringLiteral("Marca Nove")}, {"Grupo", QStringLiteral("P")}},
                   brandMapping(), before);
    }

    // A new sale with one item; the ERP holds its customer and product, and the branch counter
    // stands at 41.
    void saleAndItem()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gsale"));
        test::insertRow(s.erp(), "clientes", {{"idcliente", 321}, {"nomecliente", "Cliente Golden"}});
        test::insertRow(s.erp(), "lj_produtos", {{"idreferencia", "BCDEFGHIJKLMNOP"}, {"descricao", "Produto"}});
        // Store 2, so that no store column can pass for one of the constants 1.
        test::insertRow(s.erp(), "filial", {{"idempresa", 1}, {"idfilial", 2}, {"cnpj", "12345678000351"}});
        test::exec(s.erp(), "update filial set seqvenda = 41 where idfilial = 2");
        test::insertRow(s.pos(), "vendas",
                        {{"cod_empresa", "2"},
                         {"cod_pdv", "03"},
                         {"seq_caixa", "00012"},
                         {"sequencial", "00034"},
                         {"data_emissao", "2024-03-07"},
                         {"hora_emissao", "10:11:12"},
                         {"cod_cliente", "321"},
                         {"cod_vendedor", "9"},
                         {"valor_nf", 123.45},
                         {"numero_nf", "5678"},
                         {"num_ccf", "000777"}});
        test::insertRow(s.pos(), "itens_venda",
                        {{"cod_empresa", "2"},
                         {"cod_pdv", "03"},
                         {"seq_caixa", "00012"},
                         {"seq_venda", "00034"},
                         {"numero", "4"},
                         {"cod_produto", "ABCDEFGHIJKLMNOP"},
                         {"quantidade", 2.5},
                         {"preco_contrato", 11.25},
                         {"preco_cadastro", 12.5},
                         {"desconto", 0.75},
                         {"custo", 8.125}});
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        const QDateTime before = QDateTime::currentDateTime();
        ImportSales(s.integration());
        const QDate day(2024, 3, 7);
        compareRow(erpRow(s, "select * from lj_venda"),
                   {{"Idempresa", 1},
                    {"Idloja", 2},
                    {"idvenda", 42},
                    {"Seq", 1},
                    {"Cod_pdv", QStringLiteral("03")},
                    {"Seq_Caixa_Pdv", QStringLiteral("00012")},
                    {"Sequencial_Pdv", QStringLiteral("00034")},
                    {"dtvenda", day},
                    {"dataEncPed", day},
                    {"IdTabela", 1},
                    {"IdVendedor", 9},
                    {"IdCliente", 321},
                    {"IdCorretor", 1},
                    {"Status", QStringLiteral("F")},
                    {"PercDesconto", 0},
                    {"ValorDesconto", 0},
                    {"ValorComissao", 0},
                    {"Sequencia", 0},
                    {"TipoEmissao", QStringLiteral("V")},
                    {"Gerounota", QStringLiteral("N")},
                    {"IdCaixa", 0},
                    {"IdformaPgto", 1},
                    {"IdCondPgto", 1},
                    {"ValorItens", 123.45},
                    {"VlrCredito", 0},
                    {"IdUsuAut", 1},
                    {"datahora", Now},
                    {"BaseIcms", 123.45},
                    {"ValorIcms", 0},
                    {"ValorEntrada", 0},
                    {"DescontosItens", 0},
                    {"ValorFrete", 0},
                    {"ValorPagamentos", 0},
                    {"EnderecoEntrega", QStringLiteral("0")},
                    {"nomeCliente", QStringLiteral("Cliente Golden")},
                    {"PerceComissao", 0},
                    {"PercComRep", 0},
                    {"idCcusto", 0},
                    {"ValorTotal", 123.45},
                    {"ValorParaComissao", 123.45},
                    {"nfiscal", 5678},
                    {"NumCupom", QStringLiteral("5678")},
                    {"ccf", QStringLiteral("000777")},
                    {"DtFiscal", day}},
                   saleMapping(), before);
        compareRow(erpRow(s, "select * from lj_vendaitem"),
                   {{"idempresa", 1},
                    {"idloja", 2},
                    {"idvenda", 42},
                    {"Item", 4},
                    {"IdReferencia", QStringLiteral("BCDEFGHIJKLMNOP")},
                    {"IdCor", 1},
                    {"Tam", QStringLiteral("0")},
                    {"IdAliquota", 0},
                    {"Qtde", 2.5},
                    {"ValorUnitario", 11.25},
                    {"ValorTabela", 12.5},
                    {"ValorDesconto", 0.75},
                    {"PercDesconto", 0},
                    {"PercIcms", 0},
                    {"VlrIcms", 0},
                    {"BaseIcms", 0},
                    {"PercIpi", 0},
                    {"QtdeFatorUnid", 0},
                    {"IdEstoque", 1},
                    {"Cfop", QStringLiteral("5102")},
                    {"ValorPauta", 0},
                    {"QtdeAtendido", 0},
                    {"QtdeSolic", 0},
                    {"observacoes", QStringLiteral("")},
                    {"PercComissao", 0},
                    {"ValorComissao", 0},
                    {"cst", QStringLiteral("000")},
                    {"ncm", QStringLiteral("")},
                    {"idtabela", 1},
                    {"Promocao", QStringLiteral("")},
                    {"PercPromocao", 0},
                    {"ValorPromocao", 0},
                    {"PrecoCompra", 8.125},
                    {"PrecoCusto", 8.125}},
                   saleItemMapping(), before);
        QCOMPARE(erpRow(s, "select seqvenda from filial where idfilial = 2").value("seqvenda").toInt(), 42);
    }

    // A new fuel purchase of store 2 with one item and one instalment, then a miscellaneous one; the
    // settings name document type 3, nature of operation 4 and the cost centres 5 and 6.
    void purchaseItemsAndTitle()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gpurch"));
        test::insertRow(s.erp(), "filial", {{"idempresa", 1}, {"idfilial", 2}, {"cnpj", "12345678000351"}});
        test::exec(s.erp(), "update filial set seqentnota = 16 where idfilial = 2");
        test::insertRow(s.erp(), "ivtpdoc", {{"idtipodoc", "3"}});
        test::insertRow(s.erp(), "natoperacao", {{"id_natoper", 4}});
        test::insertRow(s.erp(), "centrocusto", {{"idccusto", 5}, {"descricaoccusto", "Combustíveis"}});
        test::insertRow(s.erp(), "centrocusto", {{"idccusto", 6}, {"descricaoccusto", "Loja"}});
        test::insertRow(s.erp(), "fornecedores", {{"idfornecedor", 31}});
        test::insertRow(s.erp(), "lj_sequencial", {{"tabela", "Apagar"}, {"sequencial", 90}});
        const QVariantMap purchase = {{"cod_empresa", "2"},     {"codigo", "C7788"}, {"cod_fornecedor", "31"},
                                      {"documento", "4455"},    {"modelo_nf", "65"}, {"dt_emissao", "2024-03-07"},
                                      {"dt_lmc", "2024-03-05"}, {"cancelada", "N"},  {"forma_pgto", "A"},
                                      {"total_nota", 987.65},   {"frete", 12.5},     {"desconto", 3.25},
                                      {"despesas", 4.75},       {"seguro", 6.5}};
        test::insertRow(s.pos(), "compras_comb", purchase);
        test::insertRow(s.pos(), "itens_compra_comb",
                        {{"cod_empresa", "2"},
                         {"cod_compra", "C7788"},
                         {"numero", "7"},
                         {"cod_combustivel", "GAS1"},
                         {"cancelado", "S"},
                         {"quantidade", 1500.5},
                         {"custo_semenc", 5.4321},
                         {"desconto", 1.5},
                         {"frete", 2.75},
                         {"cod_ncm", "27101259"},
                         {"cod_cfop", "1652"},
                         {"sit_tributaria", "060"}});
        test::insertRow(s.pos(), "contas_pagar",
                        {{"cod_empresa", "2"}, {"codigo", "K55"}, {"cod_fornecedor", "31"}, {"cod_compra", "C7788"}});
        test::insertRow(s.pos(), "parcelas_pagar",
                        {{"cod_empresa", "2"},
                         {"cod_conta", "K55"},
                         {"numero", "3"},
                         {"documento", "DOC-3"},
                         {"dt_vencimento", "2024-04-20"},
                         {"valor_nominal", 321.09}});
        test::exec(s.pos(), "update contas_pagar set dt_emissao = '2024-03-06'");
        QVariantMap misc = purchase;
        misc.insert("codigo", "D9900");
        misc.insert("serie", "4");
        misc.insert("dt_lmc", "");
        test::insertRow(s.pos(), "compras_div", misc);
        test::insertRow(s.pos(), "itens_compra_div",
                        {{"cod_empresa", "2"},
                         {"cod_compra", "D9900"},
                         {"numero", "8"},
                         {"cod_produto", "PROD9"},
                         {"cancelado", "N"},
                         {"qtd_caixas", 3.0},
                         {"custo_semenc_caixa", 10.5},
                         {"desconto", 0.25},
                         {"aliq_icms", 18.0},
                         {"valor_ipi", 1.75},
                         {"cod_ncm", "22011000"},
                         {"cod_cfop", "1102"},
                         {"sit_tributaria", "010"}});
        s.start({{"TpDoc", "3"}, {"NatOper", "4"}, {"Custo1", "5"}, {"Custo2", "6"}});
        s.state().setMovementDate(QDate(2024, 3, 7));
        const QDateTime before = QDateTime::currentDateTime();
        ImportFuelPurchases(s.integration());
        ImportMiscPurchases(s.integration());

        Golden header = {
            {"Idempresa", 1},
            {"Idloja", 2},
            {"identrada", 17},
            {"codigoref", QStringLiteral("C7788")},
            {"dataCadastro", QDate(2024, 3, 7)},
            {"DataEmissao", QDate(2024, 3, 5)},
            {"IdComprador", 1},
            {"IdFornecedor", 31},
            {"nfiscal", 4455},
            {"modelo", QStringLiteral("65")},
            {"serie", QStringLiteral("1")},
            {"Status", QStringLiteral("F")},
            {"ValorTotal", 987.65},
            {"IdNatOper", 4},
            {"ValorIcms", 0},
            {"ValorIcmsAnt", 0},
            {"ValorSubsTrib", 0},
            {"PcIcms", 0},
            {"IdTpdoc", QStringLiteral("3")},
            {"ValorIpi", 0},
            {"ValorFrete", 12.5},
            {"ValorDesconto", 3.25},
            {"IdTransportadora", 1},
            {"TpDoc", QStringLiteral("N")},
            {"Favorecido", QStringLiteral("")},
            {"Observacoes", QStringLiteral("")},
            {"BaseCalcIcms", 0},
            {"OutrasDesp", 4.75},
            {"ValorSeguro", 6.5},
            {"especie", QStringLiteral("")},
            {"quantidade", 0},
            {"PesoLiquido", 0},
            {"PesoBruto", 0},
            {"IdcCusto", 5},
            {"NotaDev", QStringLiteral("")},
            {"TipoCompra", QStringLiteral("Avista")},
        };
        compareRow(erpRow(s, "select * from lj_entradas where codigoref = 'C7788'"), header, fuelEntryMapping(),
                   before);
        // The miscellaneous header differs in its series and cost centre; its book date is empty.
        header[2].second = 18;
        header[3].second = QStringLiteral("D9900");
        header[5].second = QDate(2024, 3, 7);
        header[10].second = QStringLiteral("4");
        header[33].second = 6;
        compareRow(erpRow(s, "select * from lj_entradas where codigoref = 'D9900'"), header, miscEntryMapping(),
                   before);

        compareRow(erpRow(s, "select * from lj_entradasitem where identrada = 17"),
                   {{"idempresa", 1},
                    {"idloja", 2},
                    {"idEntrada", 17},
                    {"Item", 7},
                    {"IdReferencia", QStringLiteral("GAS1")},
                    {"Cancelado", QStringLiteral("S")},
                    {"IdCor", 1},
                    {"Tam", QStringLiteral("0")},
                    {"IdAliquota", 0},
                    {"Qtde", 1500.5},
                    {"QtdeFatorUnid", 0},
                    {"ValorUnitario", 5.4321},
                    {"ValorDesconto", 1.5},
                    {"Frete", 2.75},
                    {"PercIcms", 0},
                    {"PercIpi", 0},
                    {"VlrIpi", 0},
                    {"ValorIcmsAnt", 0},
                    {"ValorSubsTrib", 0},
                    {"ValorPauta", 0},
                    {"Denominacao", QStringLiteral("")},
                    {"CalcIcmsAnt", QStringLiteral("N")},
                    {"CalcSubTrib", QStringLiteral("N")},
                    {"BaseIcms", 0},
                    {"ValorIcms", 0},
                    {"ncm", QStringLiteral("27101259")},
                    {"Cfop", QStringLiteral("1652")},
                    {"Cst", QStringLiteral("060")},
                    {"RefFornecedor", QStringLiteral("")},
                    {"IdEstoque", 1},
                    {"IdEstFiscal", 1}},
                   fuelItemMapping(), before);
        compareRow(erpRow(s, "select * from lj_entradasitem where identrada = 18"),
                   {{"idempresa", 1},
                    {"idloja", 2},
                    {"idEntrada", 18},
                    {"Item", 8},
                    {"IdReferencia", QStringLiteral("PROD9")},
                    {"Cancelado", QStringLiteral("N")},
                    {"IdCor", 1},
                    {"Tam", QStringLiteral("0")},
                    {"IdAliquota", 0},
                    {"Qtde", 3.0},
                    {"QtdeFatorUnid", 0},
                    {"ValorUnitario", 10.5},
                    {"ValorDesconto", 0.25},
                    {"PercIcms", 18.0},
                    {"PercIpi", 0},
                    {"VlrIpi", 1.75},
                    {"ValorIcmsAnt", 0},
                    {"ValorSubsTrib", 0},
                    {"ValorPauta", 0},
                    {"Denominacao", QStringLiteral("")},
                    {"CalcIcmsAnt", QStringLiteral("N")},
                    {"CalcSubTrib", QStringLiteral("N")},
                    {"BaseIcms", 0},
                    {"ValorIcms", 0},
                    {"ncm", QStringLiteral("22011000")},
                    {"Cfop", QStringLiteral("1102")},
                    {"Cst", QStringLiteral("010")},
                    {"RefFornecedor", QStringLiteral("")},
                    {"IdEstoque", 1},
                    {"IdEstFiscal", 1}},
                   miscItemMapping(), before);
        QCOMPARE(erpRow(s, "select frete from lj_entradasitem where identrada = 18").value("frete").toDouble(), 0.0);
        compareRow(erpRow(s, "select * from capagar"),
                   {{"idempresa", 1},
                    {"id", 91},
                    {"idfilial", 2},
                    {"idfornecedor", 31},
                    {"data", QDate(2024, 3, 6)},
                    {"documento", QStringLiteral("DOC-3")},
                    {"parcela", 3},
                    {"dtemissao", QDate(2024, 3, 6)},
                    {"dtvencto", QDate(2024, 4, 20)},
                    {"vltitulo", 321.09},
                    {"vlsaldo", 321.09},
                    {"situacao", QStringLiteral("0")},
                    {"Observacao", QStringLiteral("Título Gerado pelo Sistema Quorim NF.Compra: C7788")},
                    {"vldescontos", 0},
                    {"vljuros", 0},
                    {"vltaxas", 0},
                    {"DocOrigem", QStringLiteral("C7788")},
                    {"idpgto", 2},
                    {"idlocalizacao", 1},
                    {"tipo", QStringLiteral("BL")},
                    {"NotaPedido", QStringLiteral("C7788")},
                    {"TotParcelas", 1},
                    {"TipoCompra", QStringLiteral("Aprazo")},
                    {"codigoref", QStringLiteral("K55")}},
                   payableMapping(), before);
    }

    void bankMovement()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("gbank"));
        test::insertRow(s.cloud(), "lojas",
                        {{"id_loja", 3}, {"cnpj_empresa", "12345678000190"}, {"cnpj_filial", "12345678000270"}});
        test::insertRow(s.cloud(), "bancos_agencias", {{"idbanco", 5}, {"id_loja", 3}, {"idagencia", "0456"}});
        test::insertRow(s.cloud(), "mov_bancario",
                        {{"idmovimento", 8765},
                         {"id_empresa", 3},
                         {"id_loja", 9},
                         {"idbanco", 5},
                         {"documento", "DOC-1"},
                         {"valor_lancamento", 321.5},
                         {"tipo_lancamento", "D"},
                         {"historico_lancamento", "Tarifa"},
                         {"controle_banco", "CTL-2"},
                         {"data_lancamento", "2026-11-30"},
                         {"hora_lancamento", "10:20:30"}});
        s.start();
        const QDateTime before = QDateTime::currentDateTime();
        Integration& i = s.integration();
        BankCounts counts;
        i.bankMovements().ImportBankMovements(i.state(), i.lists(), counts,
                                              [](const QString& m) { QFAIL(qPrintable(m)); });
        compareRow(erpRow(s, "select * from contacorrente"),
                   {{"Pessoa", QStringLiteral("Banco")},
                    {"codigo", 456},
                    {"Documento", QStringLiteral("DOC-1")},
                    {"Valor", 321.5},
                    {"Tipo", QStringLiteral("D")},
                    {"Descricao", QStringLiteral("Tarifa")},
                    {"Controle", QStringLiteral("CTL-2")},
                    {"Data", QDate(2026, 11, 30)},
                    {"Idfilial", 9},
                    {"Hora", QStringLiteral("10:20:30")},
                    {"IdmovNuvens", 8765}},
                   BankMovementImport::movementMapping(), before);
    }
};

QTEST_GUILESS_MAIN(TestMappings)
#include "tst_mappings.moc"
