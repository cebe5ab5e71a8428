#include "db/connection.h"
#include "fixtures/builders.h"
#include "integration/recordhelpers.h"
#include "integration/sequences.h"
#include "support/testdatabase.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestDatabase;

namespace {

struct Erp {
    TestDatabase db;
    Connection conexao{QStringLiteral("conexao")};
    explicit Erp(const QString& engine)
        : db(engine, QStringLiteral("seq"))
    {
        test::applySchema(db.raw(), QStringLiteral("erp"));
        conexao.setConnectionString(db.initString());
    }
    QVariant scalar(const QString& sql) { return test::selectOne(db.raw(), sql).value(QStringLiteral("v")); }
    void branch(int store, const QVariant& seqVenda, const QVariant& seqEntNota)
    {
        test::insertRow(db.raw(), QStringLiteral("filial"),
                        {{"idempresa", 1}, {"idfilial", store}, {"seqvenda", seqVenda}, {"seqentnota", seqEntNota}});
    }
};

} // namespace

class TestSequences : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    void saleNumbers()
    {
        QFETCH_GLOBAL(QString, engine);
        Erp erp(engine);
        erp.branch(1, QVariant(), 0); // counter never started
        erp.branch(2, 41, 0);         // counter behind the table: the counter wins
        test::insertRow(erp.db.raw(), QStringLiteral("lj_venda"), {{"idempresa", 1}, {"idloja", 2}, {"idvenda", 50}});
        test::insertRow(erp.db.raw(), QStringLiteral("lj_venda"), {{"idempresa", 1}, {"idloja", 3}, {"idvenda", 9}});

        QCOMPARE(NextSaleNumber(erp.conexao, 1), 1);
        QCOMPARE(erp.scalar("select seqvenda as v from filial where idfilial = 1").toInt(), 1);
        QCOMPARE(NextSaleNumber(erp.conexao, 1), 2);
        QCOMPARE(NextSaleNumber(erp.conexao, 2), 42);
        QCOMPARE(erp.scalar("select seqvenda as v from filial where idfilial = 2").toInt(), 42);
        // A store without a branch row: the table's highest number plus 1, every time.
        QCOMPARE(NextSaleNumber(erp.conexao, 3), 10);
        QCOMPARE(NextSaleNumber(erp.conexao, 3), 10);
        QCOMPARE(erp.scalar("select count(*) as v from filial").toInt(), 2);
    }

    void entryNumbers()
    {
        QFETCH_GLOBAL(QString, engine);
        Erp erp(engine);
        erp.branch(1, 0, 0);
        erp.branch(2, 0, 0);
        for (int entry = 1; entry <= 7; ++entry)
            test::insertRow(erp.db.raw(), QStringLiteral("lj_entradas"),
                            {{"idempresa", 1}, {"idloja", 1}, {"identrada", entry}, {"codigoref", entry}});
        QCOMPARE(NextEntryNumber(erp.conexao, 1), 8);
        QCOMPARE(erp.scalar("select seqentnota as v from filial where idfilial = 1").toInt(), 8);
        QCOMPARE(NextEntryNumber(erp.conexao, 2), 1); // stores keep separate counters
        QCOMPARE(NextEntryNumber(erp.conexao, 1), 9);
    }

    void payableSequence()
    {
        QFETCH_GLOBAL(QString, engine);
        Erp erp(engine);
        QCOMPARE(NextSequence(erp.conexao), 1); // no "Apagar" row yet: it is created
        QCOMPARE(erp.scalar("select sequencial as v from lj_sequencial where tabela = 'Apagar'").toInt(), 1);
        test::exec(erp.db.raw(), QStringLiteral("update lj_sequencial set sequencial = 7"));
        QCOMPARE(NextSequence(erp.conexao), 8);
        QCOMPARE(erp.scalar("select sequencial as v from lj_sequencial where tabela = 'Apagar'").toInt(), 8);
    }

    void customerName()
    {
        QFETCH_GLOBAL(QString, engine);
        Erp erp(engine);
        test::insertRow(erp.db.raw(), QStringLiteral("clientes"),
                        {{"idcliente", 5}, {"nomecliente", "Maria das Graças"}});
        test::insertRow(erp.db.raw(), QStringLiteral("clientes"), {{"idcliente", 6}, {"nomecliente", QVariant()}});
        QCOMPARE(CustomerName(erp.conexao, 5), QStringLiteral("Maria das Graças"));
        QCOMPARE(CustomerName(erp.conexao, 6), QString());
        QCOMPARE(CustomerName(erp.conexao, 99), QString());
        QCOMPARE(CustomerName(erp.conexao, -1), QString());
    }
};

QTEST_GUILESS_MAIN(TestSequences)
#include "tst_sequences.moc"
