#include "fixtures/builders.h"
#include "integration/purchases.h"
#include "support/teststation.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

// The fuel and miscellaneous purchases of the movement date as ERP entries with their items and
// payable titles, each entry one unit.
namespace {

void purchase(TestStation& s, const char* table, const QString& code, const QVariantMap& values = {})
{
    QVariantMap row = {{"cod_empresa", "1"}, {"codigo", code}, {"documento", code}, {"dt_emissao", "2024-03-07"}};
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        row.insert(it.key(), it.value());
    test::insertRow(s.pos(), table, row);
}

void fuelItem(TestStation& s, const QString& purchase, const QString& numero, const QString& store = "1")
{
    test::insertRow(s.pos(), "itens_compra_comb",
                    {{"cod_empresa", store}, {"cod_compra", purchase}, {"numero", numero}});
}

void miscItem(TestStation& s, const QString& purchase, const QString& numero)
{
    test::insertRow(s.pos(), "itens_compra_div", {{"cod_compra", purchase}, {"numero", numero}});
}

// An account of type D of a purchase with its instalments (due dates given).
void account(TestStation& s, const QString& purchase, const QString& code, const QStringList& dueDates)
{
    test::insertRow(s.pos(), "contas_pagar", {{"codigo", code}, {"cod_compra", purchase}});
    for (int n = 0; n < dueDates.size(); ++n)
        test::insertRow(s.pos(), "parcelas_pagar",
                        {{"cod_conta", code},
                         {"numero", QString::number(n + 1)},
                         {"documento", QStringLiteral("%1/%2").arg(code).arg(n + 1)},
                         {"dt_vencimento", dueDates.at(n)}});
}

int count(TestStation& s, const QString& from)
{
    return test::selectOne(s.erp(), QStringLiteral("select count(*) as n from ") + from).value("n").toInt();
}

QVariantMap entry(TestStation& s, const QString& code, int store = 1)
{
    return test::selectOne(
        s.erp(),
        QStringLiteral("select * from lj_entradas where codigoref = '%1' and idloja = %2").arg(code).arg(store));
}

int counter(TestStation& s, const char* sql)
{
    return test::selectOne(s.erp(), QString::fromLatin1(sql)).value("n").toInt();
}

int apagar(TestStation& s)
{
    return counter(s, "select sequencial as n from lj_sequencial where tabela = 'Apagar'");
}

int entryCounter(TestStation& s)
{
    return counter(s, "select seqentnota as n from filial where idfilial = 1");
}

// Supplier 1 in both databases; the movement date is that of the purchases.
void prepare(TestStation& s, const QList<std::pair<QString, QString>>& settings = {})
{
    test::insertRow(s.pos(), "fornecedores", {{"codigo", "1"}, {"razao_social", "Distribuidora"}});
    test::insertRow(s.erp(), "fornecedores", {{"idfornecedor", 1}});
    test::insertRow(s.erp(), "lj_sequencial", {{"tabela", "Apagar"}, {"sequencial", 0}});
    s.start(settings);
    s.state().setMovementDate(QDate(2024, 3, 7));
}

void importPurchases(TestStation& s)
{
    ImportFuelPurchases(s.integration());
    ImportMiscPurchases(s.integration());
}

} // namespace

class TestPurchases : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    // A day without purchases writes nothing; the miscellaneous section still runs and closes the
    // four queries.
    void aDayWithoutPurchases()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("purnone"));
        prepare(s);
        s.state().clearLog();
        QStringList captions;
        connect(&s.state(), &StationState::captionChanged, this, [&](const QString& c) { captions << c; });
        importPurchases(s);
        QCOMPARE(s.state().memo(), QStringList());
        QVERIFY(captions.contains(QStringLiteral("Abrindo tabela de Itens Entradas Diversos!")));
        QCOMPARE(s.state().lbProcesso(), QStringLiteral("Processo"));
        NamedQueries& q = s.integration().queries();
        for (const Query* query : {&q.s_entradas, &q.s_entradasitem, &q.c_entradas, &q.c_entradasitem})
            QVERIFY2(!query->isOpen(), qPrintable(query->name()));
        QCOMPARE(count(s, "lj_entradas"), 0);
    }

    // What an entry takes from its purchase, and how many titles its instalments make.
    void entriesItemsAndTitles()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("purvalues"));
        test::insertRow(s.erp(), "centrocusto", {{"idccusto", 5}, {"descricaoccusto", "COMBUSTÍVEIS"}});
        purchase(s, "compras_comb", "101", {{"forma_pgto", "A"}, {"dt_lmc", ""}, {"cod_fornecedor", "X9"}});
        fuelItem(s, "101", "2");
        fuelItem(s, "101", "A"); // a fuel item's number with a letter is item 1
        account(s, "101", "C1", {"2024-04-06", "2024-05-06", "2024-06-06"});
        purchase(s, "compras_comb", "102", {{"forma_pgto", "a"}, {"documento", "12-A"}}); // no items
        account(s, "102", "C2", {"2024-04-06"});
        purchase(s, "compras_comb", "103", {{"forma_pgto", ""}});
        purchase(s, "compras_comb", "101", {{"cod_empresa", "2"}});
        purchase(s, "compras_comb", "104", {{"cancelada", "S"}});
        purchase(s, "compras_div", "201", {{"serie", "2"}});
        miscItem(s, "201", "1");
        account(s, "201", "D1", {"2024-04-06", "2024-05-06"});
        account(s, "201", "D2", {"2024-04-06", "2024-05-06"});
        test::insertRow(s.erp(), "filial", {{"idempresa", 1}, {"idfilial", 2}, {"cnpj", "12345678000351"}});
        prepare(s, {{"Custo1", "5"}, {"Custo2", "0"}});

        importPurchases(s);

        QCOMPARE(count(s, "lj_entradas"), 5);
        QCOMPARE(entry(s, "101").value("tipocompra").toString(), QStringLiteral("Avista"));
        QCOMPARE(entry(s, "102").value("tipocompra").toString(), QStringLiteral("Aprazo"));
        QCOMPARE(entry(s, "103").value("tipocompra").toString(), QStringLiteral("Aprazo"));
        QCOMPARE(entry(s, "101").value("idfornecedor").toInt(), 1); // letters: supplier 1
        QCOMPARE(entry(s, "102").value("nfiscal").toInt(), 1);
        QCOMPARE(entry(s, "101").value("dataemissao").toString().left(10), QStringLiteral("2024-03-07"));
        QCOMPARE(entry(s, "101").value("serie").toString(), QStringLiteral("1"));
        QCOMPARE(entry(s, "201").value("serie").toString(), QStringLiteral("2"));
        QCOMPARE(entry(s, "101").value("idccusto").toInt(), 5);
        QVERIFY(entry(s, "201").value("idccusto").isNull()); // the cost centre "0" is none
        // The same code in two stores: two entries, each numbered by its own store.
        QCOMPARE(entry(s, "101", 1).value("identrada").toInt(), 1);
        QCOMPARE(entry(s, "101", 2).value("identrada").toInt(), 1);
        QCOMPARE(entry(s, "201").value("identrada").toInt(), 4);
        QCOMPARE(count(s, "lj_entradasitem where identrada = 1 and idloja = 1"), 2);
        QCOMPARE(count(s, "lj_entradasitem where identrada = 1 and idloja = 1 and item = 1"), 1);
        QCOMPARE(count(s, "lj_entradasitem where identrada = 2"), 0);

        const QList<QVariantMap> three =
            test::selectAll(s.erp(), "select * from capagar where codigoref = 'C1' order by id");
        QCOMPARE(three.size(), 3);
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(three[n].value("id").toInt(), n + 1);
            QCOMPARE(three[n].value("parcela").toInt(), n + 1);
            QCOMPARE(three[n].value("totparcelas").toInt(), 3);
        }
        QCOMPARE(count(s, "capagar where codigoref = 'C2'"), 1); // a purchase without items has its title
        QCOMPARE(count(s, "capagar where notapedido = '201' and totparcelas = 4"), 4);
        QCOMPARE(apagar(s), 8);
        const SectionCounts& fuel = *s.integration().summary().find("Entradas Comb");
        QCOMPARE(fuel.inserted, 4);
        QVERIFY(fuel.brought.contains({QStringLiteral("títulos"), 4}));
        QVERIFY(fuel.brought.contains({QStringLiteral("itens"), 2}));
    }

    // An entry the ERP holds is not touched, nor given items or titles; a title it holds is skipped,
    // and an id another ERP client took is not given twice.
    void whatTheErpHoldsIsLeftAlone()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("purthere"));
        purchase(s, "compras_comb", "101");
        fuelItem(s, "101", "1");
        account(s, "101", "C1", {"2024-04-06"});
        purchase(s, "compras_div", "201");
        account(s, "201", "D1", {"2024-04-06", "2024-05-06"});
        test::insertRow(s.erp(), "lj_entradas", {{"idloja", 1}, {"identrada", 77}, {"codigoref", "101"}});
        test::insertRow(s.erp(), "capagar",
                        {{"id", 50}, {"idfilial", 1}, {"codigoref", "D1"}, {"documento", "D1/1"}, {"parcela", 1}});
        // Another ERP client took the ids 1 and 2 without moving the counter "Apagar".
        test::insertRow(s.erp(), "capagar",
                        {{"id", 1}, {"idfilial", 9}, {"codigoref", "Z"}, {"documento", "Z1"}, {"parcela", 1}});
        test::insertRow(s.erp(), "capagar",
                        {{"id", 2}, {"idfilial", 9}, {"codigoref", "Z"}, {"documento", "Z2"}, {"parcela", 1}});
        prepare(s);
        importPurchases(s);
        QCOMPARE(count(s, "lj_entradas"), 2);
        QCOMPARE(count(s, "lj_entradasitem"), 0);
        QCOMPARE(count(s, "capagar where codigoref = 'C1'"), 0);
        QCOMPARE(count(s, "capagar where codigoref = 'D1'"), 2);
        const QVariantMap second = test::selectOne(s.erp(), "select * from capagar where documento = 'D1/2'");
        QCOMPARE(second.value("totparcelas").toInt(), 2);
        QCOMPARE(second.value("id").toInt(), 3); // the ids another client took are passed over
        QCOMPARE(apagar(s), 3);
    }

    // A title whose due date does not convert, or a miscellaneous item whose number is no whole
    // number, fails its entry alone: nothing of it stays, the counters are as they were, the next
    // purchase is copied, and the date is held.
    void anEntryIsOneUnit()
    {
        QFETCH_GLOBAL(QString, engine);
        TestStation s(engine, QStringLiteral("purunit"));
        purchase(s, "compras_comb", "101");
        fuelItem(s, "101", "1");
        fuelItem(s, "101", "2");
        account(s, "101", "C1", {"2024-04-06", "2024-02-30"});
        purchase(s, "compras_comb", "102");
        account(s, "102", "C2", {"2024-04-06"});
        purchase(s, "compras_div", "201");
        miscItem(s, "201", "X");
        prepare(s);
        s.state().clearLog();

        s.integration().RunCycle();
        s.integration().Timer3().stop();

        QCOMPARE(count(s, "lj_entradas"), 1);
        QCOMPARE(entry(s, "102").value("identrada").toInt(), 1);
        QCOMPARE(count(s, "lj_entradasitem"), 0);
        QCOMPARE(count(s, "capagar"), 1);
        QCOMPARE(apagar(s), 1);
        QCOMPARE(entryCounter(s), 1);
        QCOMPARE(s.state().movementDate(), QDate(2024, 3, 7));
        QVERIFY(s.state().memo().contains(QStringLiteral(
            "Erro na Tabela Entradas Comb \rcapagar, título da conta C1, parcela 2 (documento C1/2), coluna "
            "dtvencto: '30/02/2024' is not a valid date")));
        QVERIFY(s.state().memo().contains(
            QStringLiteral("Erro na Tabela Entradas Div \rlj_entradasitem, entrada Posto: 1 Codigo: 201, item X, "
                           "coluna Item: 'X' is not a valid integer value")));
        QCOMPARE(s.integration().lastSummary().find("Entradas Comb")->failed, 1);
        QCOMPARE(s.integration().lastSummary().find("Entradas Div")->failed, 1);

        test::exec(s.pos(), "update parcelas_pagar set dt_vencimento = '2024-03-01' where cod_conta = 'C1'");
        test::exec(s.pos(), "update itens_compra_div set numero = '1'");
        s.integration().RunCycle();
        QCOMPARE(count(s, "lj_entradas"), 3);
        QCOMPARE(count(s, "lj_entradasitem"), 3);
        QCOMPARE(count(s, "capagar"), 3);
        QCOMPARE(s.state().movementDate(), QDate(2024, 3, 8));
    }
};

QTEST_GUILESS_MAIN(TestPurchases)
#include "tst_purchases.moc"
