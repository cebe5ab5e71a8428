#include "core/failure.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "fixtures/builders.h"
#include "integration/customers.h"
#include "integration/masterbycode.h"
#include "integration/productreferences.h"
#include "integration/products.h"
#include "integration/suppliers.h"
#include "support/failureof.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

namespace {

QVariantMap erpRow(TestStation& s, const QString& sql)
{
    return test::selectOne(s.erp(), sql);
}

int erpCount(TestStation& s, const QString& table)
{
    return erpRow(s, QStringLiteral("select count(*) as n from ") + table).value("n").toInt();
}

QDate dateOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return QDateTime::fromString(v.toString().left(19), Qt::ISODate).date().isValid()
                   ? QDateTime::fromString(v.toString().left(19), Qt::ISODate).date()
                   : QDate::fromString(v.toString().left(10), Qt::ISODate);
    return v.toDate();
}

} // namespace

class TestMasterData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    void customersInsertThenUpdateInPlace()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("cust"));
        test::insertRow(s.pos(), "clientes",
                        {{"codigo", "007"},
                         {"nome", "Ana Conceição"},
                         {"numero", "S/N"},
                         {"cod_municipio", "2304400"},
                         {"cob_cod_municipio", "123"},
                         {"dt_cadastro", "2024-03-07"},
                         {"dt_nascimento", "1980-12-31"},
                         {"cob_numero", "15"},
                         {"pessoa", "F"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "8"}, {"nome", "Bruno"}, {"dt_nascimento", ""}});
        s.start();

        ImportCustomers(s.integration());
        QCOMPARE(erpCount(s, "clientes"), 2);
        QVariantMap ana = erpRow(s, "select * from clientes where idcliente = 7");
        QCOMPARE(ana.value("idempresa").toInt(), 1); // the branch chosen in the settings
        QCOMPARE(ana.value("nomecliente").toString(), QStringLiteral("Ana Conceição"));
        QCOMPARE(ana.value("nomefantasia").toString(), QStringLiteral("Ana Conceição"));
        QCOMPARE(ana.value("numero").toInt(), 0); // int(0) of S/N
        QCOMPARE(ana.value("num_cob").toInt(), 15);
        QCOMPARE(ana.value("codmun").toString(), QStringLiteral("04400")); // right(5)
        QCOMPARE(ana.value("codmun_cob").toString(), QStringLiteral("123"));
        QCOMPARE(ana.value("cidade").toString(), QString(""));
        QVERIFY(!ana.value("cidade").isNull());
        QCOMPARE(ana.value("status").toString(), QStringLiteral("A"));
        QCOMPARE(dateOf(ana.value("datacadastro")), QDate(2024, 3, 7));
        QCOMPARE(dateOf(ana.value("datanascto")), QDate(1980, 12, 31));
        QVERIFY(erpRow(s, "select datanascto from clientes where idcliente = 8").value("datanascto").isNull());
        QCOMPARE(s.state().lbProcesso(), QStringLiteral("Processo"));
        QCOMPARE(s.state().progress(StationState::Bar::pbClientes).maximum, 2);

        // Update: insert-only columns kept, every-time columns overwritten, an empty birth date
        // leaves the one the ERP has.
        test::exec(s.erp(), "update clientes set idempresa = 9, nomecliente = 'x' where idcliente = 7");
        test::exec(s.pos(), "update clientes set dt_nascimento = '', nome = 'Ana C. Souza' where codigo = '007'");
        ImportCustomers(s.integration());
        QCOMPARE(erpCount(s, "clientes"), 2);
        ana = erpRow(s, "select * from clientes where idcliente = 7");
        QCOMPARE(ana.value("idempresa").toInt(), 9);
        QCOMPARE(ana.value("nomecliente").toString(), QStringLiteral("Ana C. Souza"));
        QCOMPARE(dateOf(ana.value("datanascto")), QDate(1980, 12, 31));
    }

    // Rows that cannot be copied are skipped whole and named once; the rows around them land.
    void customerRowsThatCannotBeCopied()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("custbad"));
        test::insertRow(s.erp(), "clientes", {{"idcliente", 1}, {"nomecliente", "Consumidor Final"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "#12"}, {"nome", "Código Torto"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", ""}, {"nome", "Sem Código"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "5"}, {"nome", "Data Ruim"}, {"dt_cadastro", ""}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "6"}, {"nome", "Seis"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "X1"}, {"nome", "Xis Um"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", " 904 "}, {"nome", "Com Brancos"}});
        s.start();
        s.state().clearLog();

        ImportCustomers(s.integration());
        const QStringList memo = s.state().memo();
        QCOMPARE(memo,
                 QStringList(
                     {"Erro na Tabela Clientes \rclientes, código  (Sem Código), coluna idcliente: '' is not a valid "
                      "integer value",
                      "Erro na Tabela Clientes \rclientes, código #12 (Código Torto), coluna idcliente: '#12' is not a "
                      "valid integer value",
                      "Erro na Tabela Clientes \rclientes, código 5 (Data Ruim), coluna DataCadastro: '//' is not a "
                      "valid date",
                      "Erro na Tabela Clientes \rclientes, código X1 (Xis Um), coluna idcliente: 'X1' is not a valid "
                      "integer value"}));
        QCOMPARE(erpRow(s, "select nomecliente from clientes where idcliente = 1").value("nomecliente").toString(),
                 QStringLiteral("Consumidor Final"));
        QCOMPARE(erpRow(s, "select nomecliente from clientes where idcliente = 904").value("nomecliente").toString(),
                 QStringLiteral("Com Brancos"));
        QCOMPARE(erpCount(s, "clientes"), 3); // 1, 6 and 904; the failing rows were not half-written
        const SectionCounts counts = *s.integration().summary().find("Clientes");
        QCOMPARE(counts.read, 6);
        QCOMPARE(counts.inserted, 2);
        QCOMPARE(counts.failed, 4);

        ImportCustomers(s.integration());
        QCOMPARE(s.state().memo(), memo); // a failing row is named once, not every cycle
        QCOMPARE(erpCount(s, "clientes"), 3);
    }

    void suppliersPersonTypeAndCarrier()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("supp"));
        const QList<std::tuple<QString, QString, QString, QString>> rows = {
            // code, tax number, carrier flag, expected person type
            {"1", "12345678909", "S", "F"},       {"2", "12345678000195", "N", "J"},
            {"3", "123.456.789-09", "", "F"}, // the digits are counted, not the punctuation
            {"5", "12.345.678/0001-95", "", "J"}, {"4", "", "S", "F"},
        };
        for (const auto& [code, cnpj, carrier, type] : rows)
            test::insertRow(s.pos(), "fornecedores",
                            {{"codigo", code}, {"cpf_cnpj", cnpj}, {"transportadora", carrier}, {"numero", "S/N"}});
        s.start();
        ImportSuppliers(s.integration());
        for (const auto& [code, cnpj, carrier, type] : rows) {
            const QVariantMap f = erpRow(s, "select * from fornecedores where idfornecedor = " + code);
            QCOMPARE(f.value("tipopessoa").toString(), type);
            QCOMPARE(f.value("transportadora").toString(), QString(carrier == "S" ? "1" : "0"));
            QCOMPARE(f.value("fornecedor").toString(), QStringLiteral("1"));
            QCOMPARE(f.value("numero").toInt(), 0);
            QCOMPARE(dateOf(f.value("cadastro")), QDate::currentDate());
        }
        // A carrier that stops being one keeps the flag; an old registration date moves to today.
        test::exec(s.pos(), "update fornecedores set transportadora = 'N' where codigo = '1'");
        test::exec(s.erp(), "update fornecedores set cadastro = '2020-01-01 00:00:00'");
        ImportSuppliers(s.integration());
        const QVariantMap first = erpRow(s, "select * from fornecedores where idfornecedor = 1");
        QCOMPARE(first.value("transportadora").toString(), QStringLiteral("1"));
        QCOMPARE(dateOf(first.value("cadastro")), QDate::currentDate());
        QCOMPARE(erpCount(s, "fornecedores"), 5);
    }

    void productsWithGroupsBrandsAndBarcodes()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("prod"));
        test::insertRow(s.pos(), "grupos", {{"codigo", "07"}, {"descricao", "LUBRIFICANTES"}});
        test::insertRow(s.pos(), "marcas", {{"codigo", "0002"}, {"descricao", "IPIRANGA"}});
        test::insertRow(s.erp(), "ivgrupo", {{"idgrupo", 1}, {"descricao", "JÁ EXISTE"}});
        test::insertRow(s.pos(), "produtos",
                        {{"codigo", "1234567890ABCDEF"},
                         {"descricao", "ÓLEO 20W50"},
                         {"cod_grupo", "07"},
                         {"cod_marca", "0002"},
                         {"cod_barras", "7891"},
                         {"cod_ncm", "27101932"}});
        test::insertRow(s.pos(), "produtos",
                        {{"codigo", "2"},
                         {"descricao", "ADITIVO"},
                         {"cod_grupo", "01"},
                         {"cod_marca", "0003"},
                         {"cod_barras", ""}});
        s.start();

        ImportProducts(s.integration());
        QCOMPARE(erpCount(s, "lj_produtos"), 2);
        const QVariantMap oil = erpRow(s, "select * from lj_produtos where idreferencia = '234567890ABCDEF'");
        QCOMPARE(oil.value("descricao").toString(), QStringLiteral("ÓLEO 20W50"));
        QCOMPARE(oil.value("idgrupo").toInt(), 7);
        QCOMPARE(oil.value("idmarca").toInt(), 2);
        QCOMPARE(oil.value("ncm").toString(), QStringLiteral("27101932"));
        QCOMPARE(oil.value("cfop").toString(), QStringLiteral("5102"));
        QCOMPARE(oil.value("undvenda").toString(), QStringLiteral("UN"));
        const QVariantMap group = erpRow(s, "select * from ivgrupo where idgrupo = 7");
        QCOMPARE(group.value("descricao").toString(), QStringLiteral("LUBRIFICANTES"));
        QCOMPARE(group.value("idempresa").toInt(), 1);
        QCOMPARE(erpRow(s, "select * from marcas where idmarca = 2").value("grupo").toString(), QStringLiteral("P"));
        // Group 1 was in the ERP; brand 3 is in neither database, so the product gets brand 1.
        const QVariantMap additive = erpRow(s, "select * from lj_produtos where idreferencia = '2'");
        QCOMPARE(additive.value("idgrupo").toInt(), 1);
        QCOMPARE(additive.value("idmarca").toInt(), 1);
        QCOMPARE(erpCount(s, "marcas"), 1);
        QCOMPARE(erpRow(s, "select codbarra from lj_referbar where idreferencia = '2'").value("codbarra").toString(),
                 QString());

        // Next cycle: prices reset, barcode and group written once only.
        test::exec(s.erp(), "update lj_produtos set prc1 = 9.9, idgrupo = 5 where idreferencia = '2'");
        test::exec(s.pos(), "update produtos set cod_barras = '999', descricao = 'ADITIVO PLUS' where codigo = '2'");
        ImportProducts(s.integration());
        const QVariantMap again = erpRow(s, "select * from lj_produtos where idreferencia = '2'");
        QCOMPARE(again.value("prc1").toDouble(), 0.0);
        QCOMPARE(again.value("idgrupo").toInt(), 5);
        QCOMPARE(again.value("descricao").toString(), QStringLiteral("ADITIVO PLUS"));
        QCOMPARE(erpRow(s, "select codbarra from lj_referbar where idreferencia = '2'").value("codbarra").toString(),
                 QString());
        QCOMPARE(erpCount(s, "lj_referbar"), 2);
        QCOMPARE(erpCount(s, "lj_produtos"), 2);

        // A new product whose group or brand code is no number is skipped whole: the group its
        // insert had brought in goes with it, and the products after it still land.
        test::insertRow(s.pos(), "grupos", {{"codigo", "09"}, {"descricao", "CONVENIÊNCIA"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "3"}, {"descricao", "SEM GRUPO"}, {"cod_grupo", ""}});
        test::insertRow(s.pos(), "produtos",
                        {{"codigo", "4"}, {"descricao", "SEM MARCA"}, {"cod_grupo", "09"}, {"cod_marca", ""}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "5"}, {"descricao", "BOM"}, {"cod_grupo", "01"}});
        s.state().clearLog();
        ImportProducts(s.integration());
        QCOMPARE(s.state().memo(),
                 QStringList({"Erro na Tabela Produtos \rlj_produtos, código 3 (SEM GRUPO), coluna idgrupo: '' is not "
                              "a valid integer value",
                              "Erro na Tabela Produtos \rlj_produtos, código 4 (SEM MARCA), coluna IdMarca: '' is not "
                              "a valid integer value"}));
        QCOMPARE(erpCount(s, "lj_produtos"), 3);
        QCOMPARE(erpCount(s, "lj_produtos where idreferencia = '5'"), 1);
        QCOMPARE(erpCount(s, "ivgrupo where idgrupo = 9"), 0);
        QCOMPARE(erpCount(s, "lj_referbar where idreferencia in ('3', '4')"), 0);
    }

    // Product codes are text: "7" and "007" are two products, each with its barcode, on the
    // first cycle and on the next.
    void productCodesThatLookAlike()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("lookalike"));
        test::insertRow(s.pos(), "produtos", {{"codigo", "7"}, {"descricao", "SETE"}, {"cod_barras", "7001"}});
        test::insertRow(s.pos(), "produtos",
                        {{"codigo", "007"}, {"descricao", "ZERO ZERO SETE"}, {"cod_barras", "7002"}});
        s.start();
        for (int cycle = 0; cycle < 2; ++cycle) {
            ImportProducts(s.integration());
            QCOMPARE(erpCount(s, "lj_produtos"), 2);
            QCOMPARE(erpCount(s, "lj_referbar where idreferencia in ('7', '007')"), 2);
            QCOMPARE(
                erpRow(s, "select descricao from lj_produtos where idreferencia = '007'").value("descricao").toString(),
                QStringLiteral("ZERO ZERO SETE"));
        }
    }

    // With [Carvela] SomenteAlterados=1 a master row whose values are those of the ERP is not
    // written: its change time stays; a row that changed is written as always.
    void writeOnlyWhatChanged()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("changed"));
        test::insertRow(s.pos(), "clientes", {{"codigo", "1"}, {"nome", "Um"}, {"numero", "S/N"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Dois"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "10"}, {"descricao", "GASOLINA"}, {"cod_grupo", "01"}});
        IniFile(s.settingsPath())
            .setValue(settings::carvelaSection, settings::writeOnlyChangedKey, QStringLiteral("1"));
        s.start();
        Integration& i = s.integration();
        ImportCustomers(i);
        ImportProducts(i);
        test::exec(s.erp(), "update clientes set dataatualizacao = '2020-01-02 03:04:05'");
        test::exec(s.erp(), "update lj_produtos set dataalteracao = '2020-01-02 03:04:05'");
        test::exec(s.pos(), "update clientes set nome = 'Dois Novo' where codigo = '2'");

        i.summary() = CycleSummary{};
        ImportCustomers(i);
        ImportProducts(i);
        QCOMPARE(i.summary().find("Clientes")->existing, 1);
        QCOMPARE(i.summary().find("Clientes")->updated, 1);
        QCOMPARE(i.summary().find("Produtos")->existing, 1);
        QCOMPARE(dateOf(erpRow(s, "select dataatualizacao from clientes where idcliente = 1").value("dataatualizacao")),
                 QDate(2020, 1, 2));
        QCOMPARE(dateOf(erpRow(s, "select dataatualizacao from clientes where idcliente = 2").value("dataatualizacao")),
                 QDate::currentDate());
        QCOMPARE(erpRow(s, "select nomecliente from clientes where idcliente = 2").value("nomecliente").toString(),
                 QStringLiteral("Dois Novo"));
        QCOMPARE(dateOf(erpRow(s, "select dataalteracao from lj_produtos").value("dataalteracao")), QDate(2020, 1, 2));
        // A value changed in the ERP is put back, as every cycle does.
        test::exec(s.erp(), "update lj_produtos set prc1 = 9.9");
        ImportProducts(i);
        QCOMPARE(erpRow(s, "select prc1 from lj_produtos").value("prc1").toDouble(), 0.0);
    }

    void groupAndBrandRoutines()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("refs"));
        test::insertRow(s.erp(), "ivgrupo", {{"idgrupo", 1}, {"descricao", "COMBUSTÍVEIS"}});
        s.start();
        QCOMPARE(ImportGroup(s.integration(), "01"), 1); // the POS has no group 01: never read
        QCOMPARE(ImportBrand(s.integration(), "0003"), 1);
        QCOMPARE(erpCount(s, "marcas"), 0);
        QCOMPARE(test::failureOf([&] { ImportBrand(s.integration(), ""); }),
                 QStringLiteral("'' is not a valid integer value"));
    }

    void masterRecordsByCode()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("bycode"));
        test::insertRow(s.pos(), "clientes", {{"codigo", "1"}, {"nome", "Consumidor Final"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "4'2"}, {"nome", "Aspas D'Ávila"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "9"}, {"nome", "Nove"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "ABCDEFGHIJK'MNOP"}, {"descricao", "CHAVE LONGA"}});
        s.start();
        Integration& i = s.integration();

        // A code that is no number is the walk-in customer 1, brought from the POS's customer 1:
        // never another customer's data under key 1.
        QVERIFY(ImportCustomerByCode(i, "4'2"));
        QCOMPARE(erpRow(s, "select nomecliente from clientes where idcliente = 1").value("nomecliente").toString(),
                 QStringLiteral("Consumidor Final"));
        QCOMPARE(i.queries().S_clientes.lines().at(1), QString());
        // A code the ERP has is left alone even when the POS changed it.
        test::exec(s.pos(), "update clientes set nome = 'Outro Nome' where codigo = '1'");
        QVERIFY(!ImportCustomerByCode(i, ""));
        QCOMPARE(erpRow(s, "select nomecliente from clientes where idcliente = 1").value("nomecliente").toString(),
                 QStringLiteral("Consumidor Final"));
        QVERIFY(ImportCustomerByCode(i, "9"));
        QCOMPARE(erpCount(s, "clientes"), 2);

        // A supplier the POS does not hold is refused, not written as an empty supplier 1.
        QCOMPARE(test::failureOf([&] { ImportSupplierByCode(i, "77"); }),
                 QStringLiteral("Fornecedor '77' não encontrado no banco do PDV"));
        QCOMPARE(erpCount(s, "fornecedores"), 0);
        QCOMPARE(i.queries().S_fornecedores.lines().at(1), QString());

        // A product code of 16 characters (a quote among them, bound as a value) is keyed by its
        // last 15, as the Products section keys it: the section then finds it, and adds none.
        QVERIFY(ImportProductByCode(i, "ABCDEFGHIJK'MNOP"));
        QCOMPARE(erpCount(s, "lj_produtos where idreferencia = 'BCDEFGHIJK''MNOP'"), 1);
        QCOMPARE(erpCount(s, "lj_referbar where idreferencia = 'BCDEFGHIJK''MNOP'"), 1);
        ImportProducts(i);
        QCOMPARE(erpCount(s, "lj_produtos"), 1);
        // A product the ERP has but without a barcode row gets none from the routine.
        test::exec(s.erp(), "delete from lj_referbar");
        QVERIFY(!ImportProductByCode(i, "ABCDEFGHIJK'MNOP"));
        QCOMPARE(erpCount(s, "lj_referbar"), 0);
    }
};

QTEST_GUILESS_MAIN(TestMasterData)
#include "tst_masterdata.moc"
