#include "integration/customers.h"

#include "integration/integration.h"
#include "integration/masterdata.h"

namespace carvela {

void prepareCustomerQueries(NamedQueries& q)
{
    // Line 1 is the filter line: empty for the whole table, one code while a sale asks for it.
    q.S_clientes.setSql(
        {QStringLiteral("select * from clientes"), QString(), QString(), QStringLiteral("order by codigo")});
    q.S_clientes.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 20);
    q.c_clientes.setSql({QStringLiteral("select * from clientes"), QStringLiteral(" where idcliente = :idcliente")});
    q.c_clientes.declareParam(QStringLiteral("idcliente"), Query::ParamType::Int32);
    q.c_clientes.setTarget(QStringLiteral("clientes"), {QStringLiteral("idcliente")});
}

const Mapping& customerMapping()
{
    static const Mapping mapping = {
        setting("Idempresa", "cbFilial").insertOnly(),
        toIntOr("idcliente", "CODIGO", 1).insertOnly(),
        now("dataatualizacao"),
        text("NomeCliente", "nome"),
        text("NomeFantasia", "nome"),
        text("Endereco", "ENDERECO"),
        toIntOr("numero", "NUMERO", 0),
        text("Complemento", "COMPLEMENTO"),
        text("bairro", "BAIRRO"),
        empty("cidade"),
        text("estado", "uf"),
        right("CodMun", "COD_MUNICIPIO", 5),
        text("Cep", "Cep"),
        text("Telefone", "Fone1"),
        text("celular", "Fone2"),
        text("email", "email"),
        constant("status", QStringLiteral("A")),
        text("TipoPessoa", "PESSOA"),
        text("Cnpj", "CPF_CNPJ"),
        text("NomeMae", "MAE"),
        text("InscEst", "CGF"),
        dmy("DataCadastro", "DT_CADASTRO"),
        dmy("datanascto", "DT_NASCIMENTO").onlyWhenSourceNotEmpty(),
        text("rg", "rg"),
        text("Observacao", "OBSERVACAO"),
        text("Apelido", "APELIDO"),
        text("End_Cob", "COB_ENDERECO"),
        toIntOr("Num_Cob", "COB_NUMERO", 0),
        text("Compl_Cob", "COB_COMPLEMENTO"),
        text("Bai_Cob", "COB_BAIRRO"),
        empty("Cid_Cob"),
        text("Est_Cob", "COB_UF"),
        right("CodMun_Cob", "COB_COD_MUNICIPIO", 5),
    };
    return mapping;
}

void ImportCustomers(Integration& integration)
{
    NamedQueries& q = integration.queries();
    copyMasterTable(integration, {
                                     .label = QStringLiteral("Clientes"),
                                     .openingCaption = QStringLiteral("Abrindo tabelas de clientes"),
                                     .bar = StationState::Bar::pbClientes,
                                     .source = q.S_clientes,
                                     .target = q.c_clientes,
                                     .table = QStringLiteral("clientes"),
                                     .codeColumn = QStringLiteral("CODIGO"),
                                     .nameColumn = QStringLiteral("nome"),
                                     .keyParameter = QStringLiteral("idcliente"),
                                     .mapping = customerMapping(),
                                 });
}

} // namespace carvela
