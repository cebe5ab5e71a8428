#include "fixtures/builders.h"
#include "integration/products.h"
#include "integration/sales.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

// The sales of the movement date with their items, each sale one unit in the ERP.
namespace {

const QString day = QStringLiteral("2024-03-07");

void sale(TestStation& s, const QString& sequencial, const QVariantMap& values = {})
{
    QVariantMap row = {{"cod_empresa", "1"},  {"cod_pdv", "01"},    {"seq_caixa", "00007"}, {"sequencial", sequencial},
                       {"data_emissao", day}, {"cod_cliente", "2"}, {"cod_vendedor", "7"},  {"numero_nf", sequencial}};
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        row.insert(it.key(), it.value());
    test::insertRow(s.pos(), "vendas", row);
}

void item(TestStation& s, const QString& sequencial, const QString& numero, const QString& product)
{
    test::insertRow(s.pos(), "itens_venda",
                    {{"cod_empresa", "1"},
                     {"cod_pdv", "01"},
                     {"seq_caixa", "00007"},
                     {"seq_venda", sequencial},
                     {"numero", numero},
                     {"cod_produto", product}});
}

int count(TestStation& s, const QString& from)
{
    return test::selectOne(s.erp(), QStringLiteral("select count(*) as n from ") + from).value("n").toInt();
}

int saleCounter(TestStation& s)
{
    return test::selectOne(s.erp(), "select seqvenda from filial where idfilial = 1").value("seqvenda").toInt();
}

// A station whose ERP holds customers 1 and 2 and product 1, on the sales' date.
void prepare(TestStation& s)
{
    test::insertRow(s.pos(), "clientes", {{"codigo", "1"}, {"nome", "Consumidor Final"}});
    test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Maria"}});
    test::insertRow(s.pos(), "produtos", {{"codigo", "1"}, {"descricao", "GASOLINA"}});
    test::insertRow(s.erp(), "clientes", {{"idcliente", 1}, {"nomecliente", "Consumidor Final"}});
    test::insertRow(s.erp(), "clientes", {{"idcliente", 2}, {"nomecliente", "Maria"}});
    test::insertRow(s.erp(), "lj_produtos", {{"idreferencia", "1"}, {"descricao", "GASOLINA"}});
}

void runCycle(TestStation& s)
{
    s.integration().RunCycle();
    s.integration().Timer3().stop();
}

} // namespace

class TestSales : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    // A date without sales writes nothing anywhere; a second cycle on a date whose sales are in
    // writes nothing and draws no number, and the log still gets its two lines.
    void copiesEachSaleOnce()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesonce"));
        prepare(s);
        sale(s, "00001");
        item(s, "00001", "1", "1");
        item(s, "00001", "2", "1");
        sale(s, "00002", {{"cod_cliente", ""}});
        item(s, "00002", "1", "1");
        item(s, "00003", "1", "1"); // of a neighbouring sale of the same till: not this sale's
        s.start();
        s.state().clearLog();

        s.state().setMovementDate(QDate(2024, 3, 6));
        ImportSales(s.integration());
        QCOMPARE(s.state().memo(), QStringList());
        QCOMPARE(s.state().progress(StationState::Bar::pbVendas).maximum, 0);
        QCOMPARE(count(s, "lj_venda"), 0);

        s.state().setMovementDate(QDate(2024, 3, 7));
        ImportSales(s.integration());
        const QStringList logLines = {QStringLiteral("Abrindo tabela de vendas!"), QString(156, u'-')};
        QCOMPARE(s.state().memo(), logLines);
        QCOMPARE(count(s, "lj_venda"), 2);
        QCOMPARE(count(s, "lj_vendaitem where idvenda = 1"), 2);
        QCOMPARE(count(s, "lj_vendaitem where idvenda = 2"), 1);
        QCOMPARE(saleCounter(s), 2);
        const QVariantMap walkIn = test::selectOne(s.erp(), "select * from lj_venda where sequencial_pdv = '00002'");
        QCOMPARE(walkIn.value("idcliente").toInt(), 1);
        QCOMPARE(walkIn.value("nomecliente").toString(), QStringLiteral("Consumidor Final"));

        ImportSales(s.integration());
        QCOMPARE(count(s, "lj_venda"), 2);
        QCOMPARE(count(s, "lj_vendaitem"), 3);
        QCOMPARE(saleCounter(s), 2);
        QCOMPARE(s.state().memo(), logLines + logLines);
        QCOMPARE(s.state().lbProcesso(), QStringLiteral("Processo"));
    }

    // What the header takes from a sale's seller, customer and fiscal number; a sale the ERP holds
    // under another date is left alone, with its items.
    void headerValuesAndSalesAlreadyThere()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesvalues"));
        prepare(s);
        sale(s, "00001", {{"cod_vendedor", "   "}});
        sale(s, "00002", {{"cod_vendedor", "AB"}, {"numero_nf", "S/N"}});
        sale(s, "00003", {{"cod_vendedor", "7"}, {"cod_cliente", "X1"}});
        sale(s, "00004");
        item(s, "00004", "1", "1");
        test::insertRow(s.erp(), "lj_venda",
                        {{"idloja", 1},
                         {"idvenda", 90},
                         {"cod_pdv", "01"},
                         {"seq_caixa_pdv", "00007"},
                         {"sequencial_pdv", "00004"},
                         {"dtvenda", QDateTime(QDate(2023, 1, 2), QTime(0, 0))}});
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        QStringList captions;
        connect(&s.state(), &StationState::captionChanged, this, [&](const QString& c) { captions << c; });

        ImportSales(s.integration());

        const auto header = [&](const char* sequencial) {
            return test::selectOne(
                s.erp(), QStringLiteral("select * from lj_venda where sequencial_pdv = '%1'").arg(sequencial));
        };
        QCOMPARE(header("00001").value("idvendedor").toInt(), 1);
        QCOMPARE(header("00002").value("idvendedor").toInt(), 1);
        QCOMPARE(header("00002").value("nfiscal").toInt(), 1);
        QCOMPARE(header("00002").value("numcupom").toString(), QStringLiteral("S/N"));
        QCOMPARE(header("00003").value("idvendedor").toInt(), 7);
        QCOMPARE(header("00003").value("idcliente").toInt(), 1); // a code with letters is a walk-in
        QCOMPARE(header("00004").value("idvenda").toInt(), 90);
        QCOMPARE(count(s, "lj_vendaitem"), 0);
        QCOMPARE(count(s, "clientes"), 2); // customer X1 did not land on customer 1
        const QString key = QStringLiteral("Posto: 1 PDV: 01 Caixa: 00007 Sequencial: %1");
        QVERIFY(captions.contains(QStringLiteral("Vendas - ") + key.arg("00001")));
        QVERIFY(captions.contains(QStringLiteral("Itens Vendas - ") + key.arg("00002")));
    }

    // A product the ERP lacks comes with the item, keyed as the Products section keys it: a code
    // of 16 characters leads to one product, whichever brings it in first.
    void productsByCode()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesprod"));
        prepare(s);
        test::insertRow(s.pos(), "produtos", {{"codigo", "7891000000012345"}, {"descricao", "GELO"}});
        sale(s, "00001");
        item(s, "00001", "1", "7891000000012345");
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        ImportSales(s.integration());
        QCOMPARE(count(s, "lj_produtos where idreferencia = '891000000012345'"), 1);
        QCOMPARE(count(s, "lj_vendaitem where idreferencia = '891000000012345'"), 1);
        ImportProducts(s.integration());
        QCOMPARE(count(s, "lj_produtos"), 2);
        const SectionCounts& counts = *s.integration().summary().find("Vendas");
        QCOMPARE(counts.inserted, 1);
        QVERIFY(counts.brought.contains({QStringLiteral("produtos trazidos"), 1}));
    }

    // A sale that fails at its third item leaves nothing: no header, no item, the counter as it
    // was. The next sale is copied, the date is held, and the next cycle copies the sale whole.
    void aSaleIsOneUnit()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesunit"));
        prepare(s);
        sale(s, "00001");
        item(s, "00001", "1", "1");
        item(s, "00001", "2", "1");
        item(s, "00001", "3", "555"); // no such product in the POS yet
        sale(s, "00002");
        item(s, "00002", "1", "1");
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        s.state().clearLog();

        runCycle(s);
        QCOMPARE(count(s, "lj_venda where sequencial_pdv = '00001'"), 0);
        QCOMPARE(count(s, "lj_vendaitem where idvenda <> 1"), 0);
        QCOMPARE(count(s, "lj_venda"), 1);
        QCOMPARE(count(s, "lj_vendaitem"), 1);
        QCOMPARE(saleCounter(s), 1); // the failed sale gave its number back
        QCOMPARE(s.state().movementDate(), QDate(2024, 3, 7));
        QVERIFY(s.state().memo().contains(
            QStringLiteral("Erro na Tabela Itens Vendas \rlj_vendaitem, venda Posto: 1 PDV: 01 Caixa: 00007 "
                           "Sequencial: 00001, item 3 (produto 555): Produto '555' não encontrado no banco do PDV")));
        QCOMPARE(s.integration().lastSummary().find("Vendas")->failed, 1);

        test::insertRow(s.pos(), "produtos", {{"codigo", "555"}, {"descricao", "ARLA 32"}});
        runCycle(s);
        QCOMPARE(count(s, "lj_venda"), 2);
        QCOMPARE(count(s, "lj_vendaitem where idvenda = 2"), 3);
        QCOMPARE(saleCounter(s), 2);
        QCOMPARE(s.state().movementDate(), QDate(2024, 3, 8));
    }

    // A group is looked up once per section, but what a failed sale found (a group its own first
    // item brought in) goes with the sale: the next sale of that group brings it in again.
    void aFailedSaleTakesItsGroupsAlong()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesgroup"));
        prepare(s);
        test::insertRow(s.pos(), "grupos", {{"codigo", "09"}, {"descricao", "Aditivos"}});
        for (const char* code : {"700", "701", "702"})
            test::insertRow(s.pos(), "produtos", {{"codigo", code}, {"descricao", "ADITIVO"}, {"cod_grupo", "09"}});
        sale(s, "00001");
        item(s, "00001", "1", "700");
        item(s, "00001", "2", "701"); // finds group 9, which item 1 inserted
        item(s, "00001", "3", "555"); // no such product: the sale fails
        sale(s, "00002");
        item(s, "00002", "1", "702");
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));

        ImportSales(s.integration()); // the products section would bring the group in first
        QCOMPARE(count(s, "lj_venda"), 1);
        QCOMPARE(count(s, "lj_produtos where idreferencia = '702' and idgrupo = 9"), 1);
        QCOMPARE(count(s, "ivgrupo where idgrupo = 9"), 1);
    }

    // Another ERP client stored sale 5 without moving the counter (at 4): the new sale passes over
    // the number, and none is stored twice.
    void aNumberAnotherClientTookIsPassedOver()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesclash"));
        prepare(s);
        sale(s, "00001");
        test::exec(s.erp(), "update filial set seqvenda = 4 where idfilial = 1");
        test::insertRow(
            s.erp(), "lj_venda",
            {{"idloja", 1}, {"idvenda", 5}, {"cod_pdv", "99"}, {"seq_caixa_pdv", "1"}, {"sequencial_pdv", "1"}});
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        ImportSales(s.integration());
        QCOMPARE(test::selectOne(s.erp(), "select idvenda from lj_venda where cod_pdv = '01'").value("idvenda").toInt(),
                 6);
        QCOMPARE(saleCounter(s), 6);
    }

    // The switch turned off during the section: the sale in progress is finished, no other is
    // looked at, and the cycle ends.
    void switchedOffDuringTheSection()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("salesoff"));
        prepare(s);
        sale(s, "00001");
        item(s, "00001", "1", "1");
        sale(s, "00002");
        s.start();
        s.state().setMovementDate(QDate(2024, 3, 7));
        connect(&s.state(), &StationState::captionChanged, this, [&](const QString& caption) {
            if (caption.startsWith(QStringLiteral("Vendas - ")))
                s.state().setRsAtiva(false);
        });
        runCycle(s);
        QCOMPARE(count(s, "lj_venda"), 1);
        QCOMPARE(count(s, "lj_vendaitem"), 1);
        QVERIFY(s.integration().lastSummary().switchedOff);
        QCOMPARE(s.state().movementDate(), QDate(2024, 3, 7));
    }
};

QTEST_GUILESS_MAIN(TestSales)
#include "tst_sales.moc"
