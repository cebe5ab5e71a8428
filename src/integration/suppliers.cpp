#include "integration/suppliers.h"

#include "db/query.h"

#include "integration/integration.h"
#include "integration/masterdata.h"
#include <algorithm>

namespace carvela {
namespace {

// A person's tax number (CPF) has 11 digits, a company's (CNPJ) 14. The digits of the number just
// written are counted: the POS writes them punctuated as often as not ("123.456.789-09").
QVariant personType(RowContext& row)
{
    const QString cnpj = row.target.asString(QStringLiteral("Cnpj"));
    const auto digits = std::count_if(cnpj.cbegin(), cnpj.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digits < 12 ? QStringLiteral("F") : QStringLiteral("J");
}

} // namespace

void prepareSupplierQueries(NamedQueries& q)
{
    q.S_fornecedores.setSql(
        {QStringLiteral("select * from fornecedores"), QString(), QString(), QStringLiteral("order by codigo")});
    q.S_fornecedores.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 20);
    q.c_fornecedores.setSql(
        {QStringLiteral("select * from fornecedores"), QStringLiteral(" where idfornecedor = :idfornecedor")});
    q.c_fornecedores.declareParam(QStringLiteral("idfornecedor"), Query::ParamType::Int32);
    q.c_fornecedores.setTarget(QStringLiteral("fornecedores"), {QStringLiteral("IdFornecedor")});
}

const Mapping& supplierMapping()
{
    static const Mapping mapping = {
        setting("Idempresa", "cbFilial").insertOnly(),
        toIntOr("IdFornecedor", "codigo", 1).insertOnly(),
        text("NomeFornecedor", "razao_social"),
        text("NomeFantasia", "nome_fantasia"),
        right("CodMun", "COD_MUNICIPIO", 5),
        constant("status", QStringLiteral("A")),
        text("Endereco", "ENDERECO"),
        toIntOr("numero", "NUMERO", 0),
        text("bairro", "BAIRRO"),
        empty("cidade"),
        text("estado", "uf"),
        text("Cep", "Cep"),
        text("EmailFornecedor", "EMAIL"),
        text("Cnpj", "CPF_CNPJ"),
        computed("TipoPessoa", personType),
        text("InscEst", "CGF"),
        today("Cadastro"),
        text("Observacao", "OBSERVACAO"),
        constant("Fornecedor", QStringLiteral("1")),
        constant("Transportadora", QStringLiteral("1")).onlyWhenSourceIs("TRANSPORTADORA", QStringLiteral("S")),
        constant("DDD", 0),
        text("Telefone", "FONE"),
        text("fone2", "FONE_VENDAS"),
        text("Contato", "CONTATO"),
        text("TelefoneContato", "FONE_VENDAS"),
        now("dataatualizacao"),
    };
    return mapping;
}

void ImportSuppliers(Integration& integration)
{
    NamedQueries& q = integration.queries();
    copyMasterTable(integration, {
                                     .label = QStringLiteral("Fornecedores"),
                                     .openingCaption = QStringLiteral("Abrindo tabelas de Fornecedores"),
                                     .bar = StationState::Bar::pbFornecedor,
                                     .source = q.S_fornecedores,
                                     .target = q.c_fornecedores,
                                     .table = QStringLiteral("fornecedores"),
                                     .codeColumn = QStringLiteral("codigo"),
                                     .nameColumn = QStringLiteral("razao_social"),
                                     .keyParameter = QStringLiteral("idfornecedor"),
                                     .mapping = supplierMapping(),
                                 });
}

} // namespace carvela
