// The test databases themselves: the POS, ERP and cloud schemas load on every engine, every
// statement the integration runs finds its tables and the columns it reads, every ERP row the
// integration writes goes in with only its written columns (the database supplies the rest), and
// the row builders give valid rows.

#include "core/failure.h"
#include "fixtures/builders.h"
#include "support/testdatabase.h"

#include <map>
#include <memory>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace carvela::test;
using carvela::Failure;

// Turns an exception of the helpers (Failure, PgServerError) into a QtTest failure with its text.
#define REQUIRE_NO_THROW(expr)                                                                                         \
    do {                                                                                                               \
        try {                                                                                                          \
            expr;                                                                                                      \
        } catch (const std::exception& error) {                                                                        \
            QFAIL(error.what());                                                                                       \
        }                                                                                                              \
    } while (false)

namespace {

// The three databases of one engine, schemas loaded.
struct Databases {
    explicit Databases(const QString& engine)
        : pos(engine, QStringLiteral("fixpos"))
        , erp(engine, QStringLiteral("fixerp"))
        , cloud(engine, QStringLiteral("fixcloud"))
    {
        applySchema(pos.raw(), QStringLiteral("pos"));
        applySchema(erp.raw(), QStringLiteral("erp"));
        applySchema(cloud.raw(), QStringLiteral("cloud"));
        if (engine == QLatin1String("sqlite")) {
            // The program reaches the cloud file attached as velcor to a database of its own.
            static int counter = 0;
            m_attached = QStringLiteral("fixtures-velcor-%1").arg(++counter);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_attached);
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (!db.open())
                throw Failure(db.lastError().text());
            QSqlQuery attach(db);
            attach.prepare(QStringLiteral("ATTACH DATABASE ? AS velcor"));
            attach.addBindValue(cloud.file());
            if (!attach.exec())
                throw Failure(attach.lastError().text());
        }
    }
    ~Databases()
    {
        if (!m_attached.isEmpty()) {
            QSqlDatabase::database(m_attached, false).close();
            QSqlDatabase::removeDatabase(m_attached);
        }
    }
    Databases(const Databases&) = delete;
    Databases& operator=(const Databases&) = delete;

    QSqlDatabase byName(const QString& which)
    {
        if (which == QLatin1String("pos"))
            return pos.raw();
        if (which == QLatin1String("erp"))
            return erp.raw();
        return m_attached.isEmpty() ? cloud.raw() : QSqlDatabase::database(m_attached);
    }

    // One row from the builder defaults in every table of the three schemas.
    void seed()
    {
        for (TestDatabase* db : {&pos, &erp, &cloud}) {
            const QString which = db == &pos   ? QStringLiteral("pos")
                                  : db == &erp ? QStringLiteral("erp")
                                               : QStringLiteral("cloud");
            for (const QString& table : schemaTables(db->raw(), which))
                insertRow(db->raw(), table);
        }
    }

    TestDatabase pos;
    TestDatabase erp;
    TestDatabase cloud;

private:
    QString m_attached;
};

// The value a written column gets in the test of written columns, by its kind: i integer,
// f floating point, s text, t date-time.
QVariant sampleValue(QChar kind)
{
    switch (kind.unicode()) {
    case 'i':
        return 7;
    case 'f':
        return 7.5;
    case 't':
        return QDateTime(QDate(2024, 3, 7), QTime(10, 11, 12));
    default:
        return QStringLiteral("7");
    }
}

bool sameValue(const QVariant& actual, const QVariant& expected)
{
    if (expected.isNull())
        return actual.isNull();
    switch (expected.typeId()) {
    case QMetaType::Int:
    case QMetaType::Double:
        return !actual.isNull() && qFuzzyCompare(1.0 + actual.toDouble(), 1.0 + expected.toDouble());
    case QMetaType::QDateTime:
        return actual.toDateTime() == expected.toDateTime();
    default:
        return actual.toString() == expected.toString();
    }
}

} // namespace

class TestFixtures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void cleanupTestCase();

    void statementsFindTheirColumns_data();
    void statementsFindTheirColumns();
    void writtenColumnsLeaveTheRestToTheDatabase_data();
    void writtenColumnsLeaveTheRestToTheDatabase();
    void dateColumnsRefuseWhatIsNoDate_data();
    void dateColumnsRefuseWhatIsNoDate();
    void builderFillsWhatTheTestLeavesOut();
    void schemaErrorsNameTheStatement();

private:
    // Per engine: the three databases seeded with one default row per table, shared by the
    // read-only checks; and an ERP database for the writing checks.
    Databases& seeded(const QString& engine);
    TestDatabase& erpForWrites(const QString& engine);

    std::map<QString, std::unique_ptr<Databases>> m_seeded;
    std::map<QString, QString> m_seedFailures; // made once per engine, reported on every row
    std::map<QString, std::unique_ptr<TestDatabase>> m_erpForWrites;
};

void TestFixtures::initTestCase_data()
{
    addEngineRows();
}

void TestFixtures::cleanupTestCase()
{
    m_seeded.clear();
    m_seedFailures.clear();
    m_erpForWrites.clear();
}

Databases& TestFixtures::seeded(const QString& engine)
{
    auto& slot = m_seeded[engine];
    if (!slot) {
        if (m_seedFailures.count(engine))
            throw Failure(m_seedFailures[engine]);
        try {
            auto databases = std::make_unique<Databases>(engine);
            databases->seed();
            slot = std::move(databases);
        } catch (const std::exception& error) {
            m_seedFailures[engine] = QString::fromUtf8(error.what());
            throw;
        }
    }
    return *slot;
}

TestDatabase& TestFixtures::erpForWrites(const QString& engine)
{
    auto& slot = m_erpForWrites[engine];
    if (!slot) {
        auto db = std::make_unique<TestDatabase>(engine, QStringLiteral("fixwrite"));
        applySchema(db->raw(), QStringLiteral("erp"));
        slot = std::move(db);
    }
    return *slot;
}

// Each statement of the integration, as it runs it, on databases holding one default row per
// table: it runs, its result has every column the integration reads from it, and a lookup finds
// the row the defaults made.
void TestFixtures::statementsFindTheirColumns_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<bool>("findsRow");

    const auto add = [](const char* name, const char* database, const char* sql, const QVariantMap& parameters,
                        const char* reads, bool findsRow = true) {
        QTest::newRow(name) << QString::fromLatin1(database) << QString::fromLatin1(sql) << parameters
                            << QString::fromLatin1(reads) << findsRow;
    };

    // Point of sale.
    add("S_clientes", "pos", "select * from clientes\n where codigo = '1' \n\norder by codigo", {},
        "CODIGO nome ENDERECO NUMERO COMPLEMENTO BAIRRO uf COD_MUNICIPIO Cep Fone1 Fone2 email PESSOA "
        "CPF_CNPJ MAE CGF DT_CADASTRO DT_NASCIMENTO rg OBSERVACAO APELIDO COB_ENDERECO COB_NUMERO "
        "COB_COMPLEMENTO COB_BAIRRO COB_UF COB_COD_MUNICIPIO");
    add("S_fornecedores", "pos", "select * from fornecedores\n\n\norder by codigo", {},
        "codigo razao_social nome_fantasia COD_MUNICIPIO ENDERECO NUMERO BAIRRO uf Cep EMAIL CPF_CNPJ CGF "
        "OBSERVACAO TRANSPORTADORA FONE FONE_VENDAS CONTATO");
    add("s_produtos", "pos", "select * from produtos\n where codigo = :codigo \n\norder by codigo", {{"codigo", "1"}},
        "codigo descricao cod_ncm cod_grupo cod_marca cod_barras");
    add("s_grupos", "pos", "select * from grupos\n  where codigo = :codigo\n\norder by codigo", {{"codigo", "01"}},
        "codigo descricao");
    add("s_marca", "pos", "select * from marcas\n  where codigo = :codigo\n\norder by codigo", {{"codigo", "0001"}},
        "codigo descricao");
    add("s_vendas", "pos",
        "select * from vendas\n where data_emissao  = :data_emissao\n"
        "order by cod_empresa, cod_pdv, seq_caixa, sequencial",
        {{"data_emissao", "2024-03-07"}},
        "cod_empresa Cod_pdv Seq_Caixa Sequencial cod_cliente cod_vendedor data_emissao valor_nf numero_nf "
        "num_ccf");
    add("s_vendasitem", "pos",
        "select * from ITENS_VENDA\n where cod_empresa = :cod_empresa\n   and cod_pdv = :cod_pdv\n"
        "   and seq_caixa = :seq_caixa\n   and Seq_venda = :sequencial\n"
        "order by cod_empresa, cod_pdv, seq_caixa, Seq_venda",
        {{"cod_empresa", "1"}, {"cod_pdv", "1"}, {"seq_caixa", "1"}, {"sequencial", "1"}},
        "numero cod_produto quantidade preco_contrato preco_cadastro desconto custo");
    add("s_entradas fuel", "pos",
        "select * from COMPRAS_COMB\n where dt_emissao  = :dt_emissao\n  and cancelada = 'N'\n  \n\n\n\n"
        "order by cod_empresa,codigo",
        {{"dt_emissao", "2024-03-07"}},
        "cod_empresa Codigo cod_fornecedor dt_emissao dt_lmc documento modelo_nf cancelada total_nota frete "
        "desconto despesas seguro forma_pgto");
    add("s_entradas miscellaneous", "pos",
        "select * from COMPRAS_DIV\n where dt_emissao  = :dt_emissao\n  and cancelada = 'N'\n  \n\n\n\n"
        "order by cod_empresa,codigo",
        {{"dt_emissao", "2024-03-07"}},
        "cod_empresa Codigo cod_fornecedor dt_emissao dt_lmc documento modelo_nf serie cancelada total_nota "
        "frete desconto despesas seguro forma_pgto");
    add("s_entradasitem fuel", "pos",
        "select * from ITENS_COMPRA_COMB\n where cod_empresa = :cod_empresa\n   and cod_compra = :codigo\n"
        "\n\n\n\n\norder by cod_empresa, cod_compra",
        {{"cod_empresa", "1"}, {"codigo", "1"}},
        "numero cod_combustivel cancelado quantidade custo_semenc desconto frete cod_ncm cod_cfop "
        "sit_tributaria");
    add("s_entradasitem miscellaneous", "pos",
        "select * from ITENS_COMPRA_DIV\n where cod_empresa = :cod_empresa\n   and cod_compra = :codigo\n"
        "\n\n\n\n\norder by cod_empresa, cod_compra",
        {{"cod_empresa", "1"}, {"codigo", "1"}},
        "numero cod_produto cancelado qtd_caixas custo_semenc_caixa desconto Aliq_icms valor_ipi cod_ncm "
        "cod_cfop sit_tributaria");
    add("s_apagar", "pos",
        "select c.cod_empresa, c.codigo, c.cod_fornecedor, c.Documento,  c.cod_compra, c.cod_compra,\n"
        "       dt_emissao, numero, dt_pagamento, valor_nominal, p.documento as DocParcela ,dt_vencimento\n"
        " from CONTAS_PAGAR c, PARCELAS_PAGAR p\n"
        " where c.cod_empresa = p.cod_empresa\n"
        "   and c.codigo = p.cod_conta\n"
        "   and tipo_compra = 'D' \n"
        "   and c.cod_compra = :cod_compra\n"
        "   and c.cod_empresa  = :cod_empresa \n"
        "\n\n\n\n\n"
        "order by c.cod_empresa, c.codigo, numero",
        {{"cod_compra", "1"}, {"cod_empresa", "1"}},
        "cod_empresa codigo cod_fornecedor dt_emissao dt_vencimento numero valor_nominal DocParcela "
        "cod_compra");

    // ERP: lookups, counters and reference lists.
    add("c_clientes", "erp", "select * from clientes\n where idcliente = :idcliente", {{"idcliente", 1}}, "idcliente");
    add("CustomerName", "erp", "select nomecliente from clientes\n where idcliente = 1", {}, "nomecliente");
    add("c_fornecedores", "erp", "select * from fornecedores\n where idfornecedor = :idfornecedor",
        {{"idfornecedor", 1}}, "IdFornecedor");
    add("c_produtos", "erp", "select * from lj_produtos\n where idreferencia = :idreferencia", {{"idreferencia", "1"}},
        "Idreferencia");
    add("c_codbar", "erp", "select * from lj_referbar\n where idreferencia = :idreferencia", {{"idreferencia", "1"}},
        "IdReferencia");
    add("c_grupos", "erp", "select * from ivgrupo\n where idgrupo = :idgrupo", {{"idgrupo", 1}}, "IdGrupo");
    add("c_marca", "erp", "select * from marcas\n where idmarca = :idmarca", {{"idmarca", 1}}, "IdMarca");
    add("c_Vendas", "erp",
        "select * from lj_venda\n where idloja = :idloja\n    and Cod_pdv = :Cod_pdv\n"
        "    and Seq_Caixa_Pdv = :Seq_Caixa_Pdv\n    and Sequencial_Pdv = :Sequencial_Pdv",
        {{"idloja", 1}, {"Cod_pdv", "1"}, {"Seq_Caixa_Pdv", "1"}, {"Sequencial_Pdv", "1"}}, "idvenda");
    add("c_Vendasitem", "erp", "select * from lj_vendaitem\n where 0<>0", {}, "Item", false);
    add("c_entradas", "erp", "select * from lj_entradas\n where idloja = :idloja\n    and codigoref = :codigoref",
        {{"idloja", 1}, {"codigoref", "1"}}, "identrada");
    add("c_entradasitem", "erp", "select * from lj_entradasitem\n where 0<>0", {}, "Item", false);
    add("c_apagar", "erp",
        "select * from capagar\n where idfilial = :idfilial\n    and codigoref = :codigoref\n"
        "    and documento = :documento\n    and parcela = :parcela",
        {{"idfilial", 1}, {"codigoref", "1"}, {"documento", "1/1"}, {"parcela", 1}}, "id");
    add("NextSaleNumber counter", "erp",
        "Select COALESCE(max(SeqVenda),0) as Seq from filial\n where idempresa = 1\n   and idfilial  = 1", {}, "Seq");
    add("NextSaleNumber seed", "erp",
        "Select COALESCE(max(idvenda),0) as Seq from lj_venda\n where idempresa = 1\n   and idloja  = 1", {}, "Seq");
    add("NextSaleNumber write", "erp", "Update filial set SeqVenda = :seq \n where idempresa = 1\n   and idfilial  = 1",
        {{"seq", 2}}, "", false);
    add("NextEntryNumber counter", "erp",
        "Select COALESCE(max(SeqEntNota),0) as Seq from filial\n where idempresa = 1\n   and idfilial  = 1", {}, "Seq");
    add("NextEntryNumber seed", "erp",
        "Select COALESCE(max(IdEntrada),0) as Seq from LJ_Entradas\n where idempresa = 1\n   and idloja  = 1", {},
        "Seq");
    add("NextEntryNumber write", "erp",
        "Update filial set SeqEntNota = :seq \n where idempresa = 1\n   and idfilial  = 1", {{"seq", 2}}, "", false);
    add("NextSequence", "erp", "Select * \n From Lj_Sequencial \n where Tabela     = :tabela ", {{"tabela", "Apagar"}},
        "Tabela sequencial");
    add("QyFilial", "erp",
        "SELECT E.Cnpj, F.NomeFilial, F.Fantasia, F.Cnpj AS CnpjFilial, f.idfilial\n"
        "  FROM Empresa AS E INNER JOIN  Filial AS F ON E.IdEmpresa = F.IdEmpresa",
        {}, "Cnpj NomeFilial Fantasia CnpjFilial idfilial");
    add("QyTpdoc", "erp", "Select * from IvTpdoc\nWhere Tipo = 'E'", {},
        "IdTipoDoc Descricao TpFinanceiro TpEstoque CamposFiscais Tipo Cfop CfopFora SeqCfopIni SeqCfopFim "
        "IdNatOper Devolucao Serie Modelo IdEstoqueFiscal");
    add("NatOper", "erp", "Select * from NatOperacao\n where entradasaida = 'E'\norder by descricao", {},
        "Id_NatOper DESCRICAO OBSICMS PercIcms Cfop");
    add("cCusto1", "erp", "select * from CentroCusto", {}, "IdCCusto DescricaoCcusto");
    add("QyApoio", "erp", "SELECT * FROM ContaCorrente where 0<>0 ", {}, "IdmovNuvens", false);

    // Cloud, reached as velcor.<table>.
    add("z_loja", "cloud",
        "select * from velcor.lojas\n where cnpj_empresa = :cnpj_empresa\n  and cnpj_filial= :cnpj_filial",
        {{"cnpj_empresa", "12345678000195"}, {"cnpj_filial", "12345678000195"}}, "id_loja");
    add("z_apoioM", "cloud",
        "select m.*, b.idagencia from velcor.mov_bancario m, velcor.bancos_agencias b\n"
        " where m.idbanco = b.idbanco and m.id_empresa = b.id_loja\n"
        "   and m.id_empresa = :id_empresa  and m.atualizado is null",
        {{"id_empresa", 1}},
        "idmovimento id_empresa idbanco atualizado documento valor_lancamento tipo_lancamento "
        "historico_lancamento controle_banco data_lancamento hora_lancamento id_loja idagencia");
    add("z_udpM", "cloud", "update velcor.mov_bancario set atualizado = 'S'\n where idmovimento = :id", {{"id", 1}}, "",
        false);
}

void TestFixtures::statementsFindTheirColumns()
{
    QFETCH_GLOBAL(QString, engine);
    QFETCH(QString, database);
    QFETCH(QString, sql);
    QFETCH(QVariantMap, parameters);
    QFETCH(QString, reads);
    QFETCH(bool, findsRow);

    Databases* databases = nullptr;
    REQUIRE_NO_THROW(databases = &seeded(engine));
    QSqlQuery q(databases->byName(database));
    q.setForwardOnly(true);
    QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    const QSqlRecord record = q.record();
    for (const QString& column : reads.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        QVERIFY2(record.indexOf(column) >= 0, qPrintable(QStringLiteral("no column %1").arg(column)));
    if (findsRow)
        QVERIFY2(q.next(), "the row the defaults made is not found");
}

// Every ERP table the integration writes takes a row holding only the columns the integration
// writes into it (listed in the order it writes them; i integer, f floating point, s text,
// t date-time): the values come back as written, the database fills the rest, and a second copy of
// the same record is refused where the table is keyed by what identifies the copied record.
void TestFixtures::writtenColumnsLeaveTheRestToTheDatabase_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QVariantMap>("defaults");
    QTest::addColumn<QStringList>("filled");
    QTest::addColumn<bool>("refusesSecondCopy");

    const auto add = [](const char* table, const char* written, const QVariantMap& defaults,
                        const QStringList& filled = {}, bool refusesSecondCopy = true) {
        QTest::newRow(table) << QString::fromLatin1(table) << QString::fromLatin1(written) << defaults << filled
                             << refusesSecondCopy;
    };

    add("clientes",
        "Idempresa:i idcliente:i dataatualizacao:t NomeCliente:s NomeFantasia:s Endereco:s numero:i "
        "Complemento:s bairro:s cidade:s estado:s CodMun:s Cep:s Telefone:s celular:s email:s status:s "
        "TipoPessoa:s Cnpj:s NomeMae:s InscEst:s DataCadastro:t datanascto:t rg:s Observacao:s Apelido:s "
        "End_Cob:s Num_Cob:i Compl_Cob:s Bai_Cob:s Cid_Cob:s Est_Cob:s CodMun_Cob:s",
        {{"limitecredito", 0}, {"bloqueado", "N"}});
    // Transportadora is written only for carriers.
    add("fornecedores",
        "Idempresa:i IdFornecedor:i NomeFornecedor:s NomeFantasia:s CodMun:s status:s Endereco:s numero:i "
        "bairro:s cidade:s estado:s Cep:s EmailFornecedor:s Cnpj:s TipoPessoa:s InscEst:s Cadastro:t "
        "Observacao:s Fornecedor:s DDD:i Telefone:s fone2:s Contato:s TelefoneContato:s dataatualizacao:t",
        {{"transportadora", "0"}, {"prazoentrega", 0}});
    add("lj_produtos",
        "Idreferencia:s idgrupo:i IdMarca:i descricao:s DenominacaoFiscal:s apelidoproduto:s Ncm:s "
        "IdTamanho:i Tam_Ini:i Tam_Fim:i DataCadastro:t DataAlteracao:t TipoProduto:s Status:s Consignado:s "
        "ListaPrecoVenda:s Qtd1:f Qtd2:f Qtd3:f Qtd4:f Qtd5:f Qtd6:f Prc1:f Prc2:f Prc3:f PrcCompra:f "
        "PrcUltCusto:f PercMargem:f Icms:f PercIcmsAnt:f PercIpiAnt:f PrcFrete:f PrcMedio:f CustoArt:f "
        "UndVendaQtde:f UndCompraQtde:f FatorConversao:f PercComVenda:f PercCustoAdm:f PercCartaoCredito:f "
        "PercCofins:f PercPis:f UndCompra:s UndVenda:s Genero:s CST:s AplicaPromocaoDescto:s "
        "NaoAplicarDesconto:s IdAliquota:i TipoSped:s Tipopromocao:s CSOSN:s CFOP:s CfopF:s CfopTd:s "
        "CfopTf:s SubTributaria:s Origem_Mercadoria:s CSTIPI:s CSTIpiEntrada:s QtdeValor:s",
        {{"peso", 0}, {"controlaestoque", "S"}});
    add("lj_referbar", "IdReferencia:s CodBarra:s DataAlteracao:t Est_Maximo:f Est_Minimo:f IdCor:i Tam:s",
        {{"principal", "S"}});
    add("ivgrupo", "IdEmpresa:i IdGrupo:i Descricao:s DataAlteracao:t", {{"percmargem", 0}, {"status", "A"}});
    add("marcas", "IdMarca:i DescricaoMarca:s Grupo:s", {{"status", "A"}}, {"datacadastro"});
    add("lj_venda",
        "Idempresa:i Idloja:i idvenda:i Seq:i Cod_pdv:s Seq_Caixa_Pdv:s Sequencial_Pdv:s dtvenda:t "
        "dataEncPed:t IdTabela:i IdVendedor:i IdCliente:i IdCorretor:i Status:s PercDesconto:f "
        "ValorDesconto:f ValorComissao:f Sequencia:i TipoEmissao:s Gerounota:s IdCaixa:i IdformaPgto:i "
        "IdCondPgto:i ValorItens:f VlrCredito:f IdUsuAut:i datahora:t BaseIcms:f ValorIcms:f ValorEntrada:f "
        "DescontosItens:f ValorFrete:f ValorPagamentos:f EnderecoEntrega:s nomeCliente:s PerceComissao:f "
        "PercComRep:f idCcusto:i ValorTotal:f ValorParaComissao:f nfiscal:i NumCupom:s ccf:s DtFiscal:t",
        {{"cancelada", "N"}, {"observacao", ""}, {"valortroco", 0}});
    // The item number is written as the POS text.
    add("lj_vendaitem",
        "idempresa:i idloja:i idvenda:i Item:s IdReferencia:s IdCor:i Tam:s IdAliquota:i Qtde:f "
        "ValorUnitario:f ValorTabela:f ValorDesconto:f PercDesconto:f PercIcms:f VlrIcms:f BaseIcms:f "
        "PercIpi:f QtdeFatorUnid:f IdEstoque:i Cfop:s ValorPauta:f QtdeAtendido:f QtdeSolic:f observacoes:s "
        "PercComissao:f ValorComissao:f cst:s ncm:s idtabela:i Promocao:s PercPromocao:f ValorPromocao:f "
        "PrecoCompra:f PrecoCusto:f",
        {{"cancelado", "N"}, {"valorfrete", 0}});
    // The nature of operation and the cost centre are the text keys of the settings lookups.
    add("lj_entradas",
        "Idempresa:i Idloja:i identrada:i codigoref:s dataCadastro:t DataEmissao:t IdComprador:i "
        "IdFornecedor:i nfiscal:i modelo:s serie:s Status:s ValorTotal:f IdNatOper:s ValorIcms:f "
        "ValorIcmsAnt:f ValorSubsTrib:f PcIcms:f IdTpdoc:s ValorIpi:f ValorFrete:f ValorDesconto:f "
        "IdTransportadora:i TpDoc:s Favorecido:s Observacoes:s BaseCalcIcms:f OutrasDesp:f ValorSeguro:f "
        "especie:s quantidade:f PesoLiquido:f PesoBruto:f IdcCusto:s NotaDev:s TipoCompra:s",
        {{"chavenfe", ""}, {"conferida", "N"}});
    // A miscellaneous item: no freight.
    add("lj_entradasitem",
        "idempresa:i idloja:i idEntrada:i Item:i IdReferencia:s Cancelado:s IdCor:i Tam:s IdAliquota:i "
        "Qtde:f QtdeFatorUnid:f ValorUnitario:f ValorDesconto:f PercIcms:f PercIpi:f VlrIpi:f ValorIcmsAnt:f "
        "ValorSubsTrib:f ValorPauta:f Denominacao:s CalcIcmsAnt:s CalcSubTrib:s BaseIcms:f ValorIcms:f ncm:s "
        "Cfop:s Cst:s RefFornecedor:s IdEstoque:i IdEstFiscal:i",
        {{"frete", 0}, {"qtdedevolvida", 0}});
    add("capagar",
        "idempresa:i id:i idfilial:i idfornecedor:i data:t documento:s parcela:i dtemissao:t dtvencto:t "
        "vltitulo:f vlsaldo:f situacao:s Observacao:s vldescontos:f vljuros:f vltaxas:f DocOrigem:s idpgto:i "
        "idlocalizacao:i tipo:s NotaPedido:s TotParcelas:i TipoCompra:s codigoref:s",
        {{"vlpago", 0}, {"dtpagto", QVariant{}}, {"baixado", "N"}});
    add("Lj_Sequencial", "Tabela:s sequencial:i", {});
    // The ERP numbers its current-account entries itself.
    add("ContaCorrente",
        "Pessoa:s codigo:i Documento:s Valor:f Tipo:s Descricao:s Controle:s Data:t Idfilial:i Hora:s "
        "IdmovNuvens:i",
        {{"conciliado", "N"}}, {"idcontacorrente", "datainclusao"}, false);
}

void TestFixtures::writtenColumnsLeaveTheRestToTheDatabase()
{
    QFETCH_GLOBAL(QString, engine);
    QFETCH(QString, table);
    QFETCH(QString, written);
    QFETCH(QVariantMap, defaults);
    QFETCH(QStringList, filled);
    QFETCH(bool, refusesSecondCopy);

    TestDatabase* erp = nullptr;
    REQUIRE_NO_THROW(erp = &erpForWrites(engine));
    QVariantMap values;
    for (const QString& item : written.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values.insert(item.section(QLatin1Char(':'), 0, 0), sampleValue(item.section(QLatin1Char(':'), 1).at(0)));
    REQUIRE_NO_THROW(insertValues(erp->raw(), table, values));

    QVariantMap row;
    REQUIRE_NO_THROW(row = selectOne(erp->raw(), QStringLiteral("select * from ") + table));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant actual = row.value(it.key().toLower());
        QVERIFY2(sameValue(actual, it.value()),
                 qPrintable(QStringLiteral("%1 reads back %2").arg(it.key(), actual.toString())));
    }
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        QVERIFY2(row.contains(it.key()), qPrintable(QStringLiteral("no column %1").arg(it.key())));
        QVERIFY2(sameValue(row.value(it.key()), it.value()),
                 qPrintable(QStringLiteral("%1 defaults to %2").arg(it.key(), row.value(it.key()).toString())));
    }
    for (const QString& column : filled)
        QVERIFY2(!row.value(column).isNull(), qPrintable(QStringLiteral("%1 is not filled").arg(column)));

    bool secondCopyStored = true;
    try {
        insertValues(erp->raw(), table, values);
    } catch (const Failure&) {
        secondCopyStored = false;
    }
    QCOMPARE(secondCopyStored, !refusesSecondCopy);
    if (secondCopyStored && !filled.isEmpty()) {
        // A surrogate key: the second row got a key of its own.
        QList<QVariantMap> rows;
        REQUIRE_NO_THROW(rows = selectAll(erp->raw(), QStringLiteral("select * from ") + table));
        QVERIFY(rows.value(0).value(filled.first()) != rows.value(1).value(filled.first()));
    }
}

// An ERP date column takes an ISO date-time text and refuses a text that is no date, such as the
// "//" that an empty POS date turns into.
void TestFixtures::dateColumnsRefuseWhatIsNoDate_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty POS date as day/month/year") << "clientes"
                                                      << "DataCadastro"
                                                      << "//";
    QTest::newRow("month 13") << "lj_venda"
                              << "dtvenda"
                              << "2024-13-07";
    QTest::newRow("empty text") << "capagar"
                                << "dtvencto"
                                << "";
}

void TestFixtures::dateColumnsRefuseWhatIsNoDate()
{
    QFETCH_GLOBAL(QString, engine);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, text);

    TestDatabase* erp = nullptr;
    REQUIRE_NO_THROW(erp = &erpForWrites(engine));
    QVERIFY_THROWS_EXCEPTION(Failure, insertRow(erp->raw(), table, {{column, text}}));
    REQUIRE_NO_THROW(insertRow(erp->raw(), table, {{column, QStringLiteral("2024-03-07T00:00:00")}}));
}

// A test states only the columns it cares about, in any case; the builder fills the rest with
// values that make a valid row (for a POS customer a registration date that converts), and a
// null states NULL.
void TestFixtures::builderFillsWhatTheTestLeavesOut()
{
    QFETCH_GLOBAL(QString, engine);
    Databases* databases = nullptr;
    REQUIRE_NO_THROW(databases = &seeded(engine));
    QSqlDatabase pos = databases->pos.raw();
    QSqlDatabase erp = databases->erp.raw();

    REQUIRE_NO_THROW(insertRow(pos, QStringLiteral("CLIENTES"),
                               {{"CODIGO", "007"}, {"Nome", "JOSE DE ALENCAR"}, {"email", QVariant()}}));
    QVariantMap customer;
    REQUIRE_NO_THROW(customer = selectOne(pos, QStringLiteral("select * from clientes where codigo = '007'")));
    QCOMPARE(customer.value("nome").toString(), QStringLiteral("JOSE DE ALENCAR"));
    QVERIFY(customer.value("email").isNull());
    QVERIFY(QDate::fromString(customer.value("dt_cadastro").toString(), Qt::ISODate).isValid());

    // The ERP table of the same name gets the ERP defaults, and the ERP's own defaults.
    REQUIRE_NO_THROW(insertRow(erp, QStringLiteral("clientes"), {{"idcliente", 7}}));
    REQUIRE_NO_THROW(customer = selectOne(erp, QStringLiteral("select * from clientes where idcliente = 7")));
    QVERIFY(!customer.value("nomecliente").toString().isEmpty());
    QCOMPARE(customer.value("bloqueado").toString(), QStringLiteral("N"));

    QVERIFY_THROWS_EXCEPTION(Failure, selectOne(pos, QStringLiteral("select * from clientes")));
}

// Loading a schema where its tables exist fails with the statement and the engine's text.
void TestFixtures::schemaErrorsNameTheStatement()
{
    QFETCH_GLOBAL(QString, engine);
    TestDatabase* erp = nullptr;
    REQUIRE_NO_THROW(erp = &erpForWrites(engine));
    try {
        applySchema(erp->raw(), QStringLiteral("erp"));
        QFAIL("the schema loaded twice");
    } catch (const Failure& failure) {
        QVERIFY2(failure.message().contains(QLatin1String("CREATE TABLE clientes")), qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(QLatin1String("already exists")), qPrintable(failure.message()));
    }
}

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
