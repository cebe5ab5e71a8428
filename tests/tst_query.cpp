#include "core/failure.h"
#include "db/connection.h"
#include "db/mapping.h"
#include "db/query.h"
#include "support/failureof.h"
#include "support/testdatabase.h"

#include <QTest>

using namespace carvela;
using carvela::test::TestDatabase;

namespace {

// A small customer/order pair: enough to show nulls, keys, defaults and a master with details.
const QStringList schema = {
    QStringLiteral("CREATE TABLE Cliente (IdCliente integer NOT NULL PRIMARY KEY, NomeCliente varchar(60),"
                   " Valor numeric(15,4), Nascimento timestamp, Numero integer,"
                   " Status varchar(1) NOT NULL DEFAULT 'A')"),
    QStringLiteral("CREATE TABLE Pedido (IdPedido integer NOT NULL PRIMARY KEY, IdCliente integer NOT NULL,"
                   " Produto varchar(20) NOT NULL)"),
    QStringLiteral("CREATE TABLE Produto (Referencia varchar(20) NOT NULL PRIMARY KEY, Descricao varchar(60))"),
    QStringLiteral("INSERT INTO Cliente (IdCliente, NomeCliente, Valor, Nascimento, Numero)"
                   " VALUES (1, 'Ana Conceição', 12.5, '2024-03-07 10:11:12', 42)"),
    QStringLiteral("INSERT INTO Cliente (IdCliente) VALUES (2)"),
    QStringLiteral("INSERT INTO Cliente (IdCliente, NomeCliente) VALUES (3, 'O''Brien')"),
    QStringLiteral("INSERT INTO Pedido VALUES (10, 1, 'GASOLINA'), (11, 1, 'DIESEL'), (12, 3, 'ETANOL')"),
    QStringLiteral(
        "INSERT INTO Produto VALUES ('1234567890ABCDEF', 'Chave de 16'), ('234567890ABCDEF', 'Chave de 15')"),
};

struct Station {
    TestDatabase db;
    Connection connection{QStringLiteral("conexao")};
    Station(const QString& engine)
        : db(engine, QStringLiteral("query"))
    {
        db.exec(schema);
        connection.setConnectionString(db.initString());
    }
};

} // namespace

class TestQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { test::addEngineRows(); }

    void readsRowsWithNullRulesAndNamesInAnyCase()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query q(QStringLiteral("c_clientes"), s.connection);
        q.setSql({QStringLiteral("select * from cliente"), QString(), QStringLiteral("order by idcliente")});
        q.open();
        QCOMPARE(q.rowCount(), 3);
        QCOMPARE(q.recNo(), 1);
        QVERIFY(!q.eof());
        QCOMPARE(q.asString(QStringLiteral("NOMECLIENTE")), QStringLiteral("Ana Conceição"));
        QCOMPARE(q.asInt(QStringLiteral("numero")), 42);
        QCOMPARE(q.asFloat(QStringLiteral("Valor")), 12.5);
        QCOMPARE(q.asDateTime(QStringLiteral("nascimento")), QDateTime(QDate(2024, 3, 7), QTime(10, 11, 12)));
        QCOMPARE(q.asString(QStringLiteral("Status")), QStringLiteral("A"));

        q.next();
        QCOMPARE(q.recNo(), 2);
        QCOMPARE(q.asString(QStringLiteral("NomeCliente")), QString());
        QCOMPARE(q.asInt(QStringLiteral("Numero")), 0);
        QCOMPARE(q.asFloat(QStringLiteral("valor")), 0.0);
        QCOMPARE(q.asDateTime(QStringLiteral("Nascimento")), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        QVERIFY(q.isNull(QStringLiteral("nomecliente")));

        q.next();
        QVERIFY(!q.eof());
        q.next();
        QVERIFY(q.eof());
        QCOMPARE(q.recNo(), 3); // the last row stays current at the end
        QCOMPARE(test::failureOf([&] { q.asString(QStringLiteral("Apelido")); }),
                 QStringLiteral("c_clientes: Field 'Apelido' not found"));

        q.close();
        q.setLine(1, QStringLiteral(" where idcliente = 99"));
        q.open();
        QCOMPARE(q.rowCount(), 0);
        QVERIFY(q.eof());
        QCOMPARE(q.asString(QStringLiteral("nomecliente")), QString()); // nothing to read reads as null
    }

    void appendsAndEditsThroughTheKey()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query q(QStringLiteral("c_clientes"), s.connection);
        q.setSql({QStringLiteral("select * from Cliente"), QStringLiteral(" where idcliente = :idcliente")});
        q.declareParam(QStringLiteral("idcliente"), Query::ParamType::Int32);
        q.setTarget(QStringLiteral("Cliente"), {QStringLiteral("IdCliente")});

        // Insert: only the columns set are written; the database supplies the rest.
        q.setParam(QStringLiteral("IDCLIENTE"), QStringLiteral("007"));
        q.open();
        QVERIFY(q.isEmpty());
        q.append();
        q.setValue(QStringLiteral("idcliente"), 7);
        q.setValue(QStringLiteral("NomeCliente"), QStringLiteral("José Antônio"));
        QCOMPARE(q.asString(QStringLiteral("nomecliente")), QStringLiteral("José Antônio")); // read back before post
        q.setValue(QStringLiteral("Nascimento"), QDateTime(QDate(1980, 5, 1), QTime(0, 0)));
        q.post();
        QCOMPARE(q.asInt(QStringLiteral("IdCliente")), 7);
        q.close();
        q.open();
        QCOMPARE(q.rowCount(), 1);
        QCOMPARE(q.asString(QStringLiteral("status")), QStringLiteral("A"));
        QCOMPARE(q.asDateTime(QStringLiteral("nascimento")).date(), QDate(1980, 5, 1));

        // Edit: the row found by its key gets the new values; other rows stay.
        q.edit();
        q.setValue(QStringLiteral("NomeCliente"), QStringLiteral("José"));
        q.setNull(QStringLiteral("Nascimento"));
        q.post();
        q.close();
        q.open();
        QCOMPARE(q.asString(QStringLiteral("NomeCliente")), QStringLiteral("José"));
        QVERIFY(q.isNull(QStringLiteral("Nascimento")));

        Query all(QStringLiteral("check"), s.connection);
        all.setSql({QStringLiteral("select nomecliente from cliente where idcliente = 1")});
        all.open();
        QCOMPARE(all.asString(QStringLiteral("nomecliente")), QStringLiteral("Ana Conceição"));

        // A refused post leaves the row unwritten and says why.
        q.close();
        q.setParam(QStringLiteral("idcliente"), 8);
        q.open();
        q.append();
        q.setValue(QStringLiteral("IdCliente"), 1); // already taken
        QVERIFY(!test::failureOf([&] { q.post(); }).isEmpty());
    }

    void bindsParametersSafely()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query q(QStringLiteral("S_clientes"), s.connection);
        q.setSql(
            {QStringLiteral("select * from cliente"), QStringLiteral(" where nomecliente = :nome and 'a:b' <> ''")});
        q.declareParam(QStringLiteral("nome"), Query::ParamType::Text, 13);
        q.setParam(QStringLiteral("nome"), QStringLiteral("O'Brien"));
        q.open();
        QCOMPARE(q.rowCount(), 1);
        QCOMPARE(q.asInt(QStringLiteral("idcliente")), 3);

        // A text key longer than its declared size is never cut.
        Query p(QStringLiteral("c_produtos"), s.connection);
        p.setSql({QStringLiteral("select * from produto"), QStringLiteral(" where referencia = :idreferencia")});
        p.declareParam(QStringLiteral("idreferencia"), Query::ParamType::Text, 13);
        p.setParam(QStringLiteral("idreferencia"), QStringLiteral("1234567890ABCDEF"));
        p.open();
        QCOMPARE(p.asString(QStringLiteral("descricao")), QStringLiteral("Chave de 16"));

        QCOMPARE(test::failureOf([&] { q.setParam(QStringLiteral("codigo"), 1); }),
                 QStringLiteral("S_clientes: Parameter 'codigo' not found"));
        Query bad(QStringLiteral("c_x"), s.connection);
        bad.setSql({QStringLiteral("select * from tabela_que_nao_existe")});
        QVERIFY(test::failureOf([&] { bad.open(); }).startsWith(QStringLiteral("c_x: ")));
    }

    void rerunsDetailWhenMasterMoves()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query master(QStringLiteral("s_vendas"), s.connection);
        master.setSql({QStringLiteral("select * from cliente order by idcliente")});
        Query detail(QStringLiteral("s_vendasitem"), s.connection);
        detail.setSql({QStringLiteral("select * from pedido where idcliente = :id order by idpedido")});
        detail.declareParam(QStringLiteral("id"), Query::ParamType::Int32);
        detail.setMaster(master, [](Query& d, const Query& m) {
            d.setParam(QStringLiteral("id"), m.asInt(QStringLiteral("idcliente")));
        });

        master.open();
        QStringList seen;
        for (; !master.eof(); master.next()) {
            QStringList products;
            for (; !detail.eof(); detail.next())
                products << detail.asString(QStringLiteral("produto"));
            seen << master.asString(QStringLiteral("idcliente")) + u':' + products.join(u',');
        }
        QCOMPARE(seen, QStringList({"1:GASOLINA,DIESEL", "2:", "3:ETANOL"}));
    }

    void runsStatementsAndSurvivesReconnect()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query u(QStringLiteral("z_udpM"), s.connection);
        u.setSql({QStringLiteral("update cliente set numero = 5"), QStringLiteral(" where idcliente = :id")});
        u.declareParam(QStringLiteral("id"), Query::ParamType::Int32);
        u.setParam(QStringLiteral("id"), 2);
        u.execSql();
        QCOMPARE(u.rowsAffected(), 1);
        s.connection.close();
        u.setParam(QStringLiteral("id"), 3);
        u.execSql(); // opens again and prepares again
        Query q(QStringLiteral("check"), s.connection);
        q.setSql({QStringLiteral("select count(*) as n from cliente where numero = 5")});
        q.open();
        QCOMPARE(q.asInt(QStringLiteral("N")), 2);
    }
    // A batch keeps every unit but the one the database refused, and nothing of a batch whose
    // session was lost; the connection is usable again once the batch is gone.
    void batchKeepsEveryUnitButTheRefusedOne()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query insert(QStringLiteral("c_pedido"), s.connection);
        insert.setSql({QStringLiteral("insert into Pedido values (:id, 1, 'GNV')")});
        insert.declareParam(QStringLiteral("id"), Query::ParamType::Int32);
        const auto unit = [&](int id) {
            try {
                Transaction t(s.connection);
                insert.setParam(QStringLiteral("id"), id);
                insert.execSql();
                insert.setParam(QStringLiteral("id"), id + 1000);
                insert.execSql();
                t.commit();
                return true;
            } catch (const RowFailure&) {
                return false;
            }
        };
        const auto count = [&] {
            Query q(QStringLiteral("check"), s.connection);
            q.setSql({QStringLiteral("select count(*) as n from pedido where produto = 'GNV'")});
            q.open();
            return q.asInt(QStringLiteral("n"));
        };
        {
            Batch batch(s.connection);
            QVERIFY(unit(20));
            QVERIFY(!unit(10)); // 10 is taken: its unit goes, with the half it had written
            QVERIFY(unit(21));
            batch.commit();
        }
        QCOMPARE(count(), 4);
        QVERIFY(!s.connection.inBatch());

        {
            // A unit that sends nothing (its row already there) costs no statement.
            Batch batch(s.connection);
            const qint64 sent = s.connection.statementsSent();
            for (int i = 0; i < 3; ++i) {
                Transaction nothing(s.connection);
                nothing.commit();
            }
            QCOMPARE(s.connection.statementsSent(), sent);
            QVERIFY(unit(22));
            batch.commit();
        }
        QCOMPARE(count(), 6);

        {
            Batch batch(s.connection);
            QVERIFY(unit(30));
        } // left without commit
        QCOMPARE(count(), 6);

        {
            // Closed between units (the switch): the whole units of the batch are kept, and the
            // section goes on in a new session.
            Batch batch(s.connection);
            QVERIFY(unit(40));
            s.connection.close();
            QVERIFY(unit(41));
            batch.commitIfDue();
            QVERIFY(unit(42));
            batch.commit();
        }
        QCOMPARE(count(), 12);

        // Closed with a unit half-way: that unit goes and may not go on; the batch is kept.
        const QString halfWay = test::failureOf([&] {
            Batch batch(s.connection);
            QVERIFY(unit(43));
            Transaction t(s.connection);
            insert.setParam(QStringLiteral("id"), 44);
            insert.execSql();
            s.connection.close();
            insert.setParam(QStringLiteral("id"), 1044);
            insert.execSql();
        });
        QVERIFY2(halfWay.contains(QStringLiteral("Falha de conexão com conexao")), qPrintable(halfWay));
        QCOMPARE(count(), 14);
        QVERIFY(unit(50)); // on its own again: begins and commits
        QCOMPARE(count(), 16);
    }

    // A streamed read holds one row at a time and is not cut short by the statements run on the
    // same connection while it lasts; its count is known from the start.
    void streamedReadSurvivesOtherStatements()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query source(QStringLiteral("S_pedidos"), s.connection);
        source.setSql({QStringLiteral("select * from pedido"), QString(), QStringLiteral("order by idpedido")});
        source.openStreamed();
        QCOMPARE(source.rowCount(), 3);
        QStringList seen;
        for (; !source.eof(); source.next()) {
            seen << source.asString(QStringLiteral("Produto")) + QString::number(source.recNo());
            Query other(QStringLiteral("other"), s.connection);
            other.setSql({QStringLiteral("select nomecliente from cliente where idcliente = 3")});
            other.open();
            QCOMPARE(other.asString(QStringLiteral("nomecliente")), QStringLiteral("O'Brien"));
        }
        QCOMPARE(seen,
                 QStringList({QStringLiteral("GASOLINA1"), QStringLiteral("DIESEL2"), QStringLiteral("ETANOL3")}));
        source.close();
        source.openStreamed(); // and again, on the same reader
        QCOMPARE(source.asString(QStringLiteral("produto")), QStringLiteral("GASOLINA"));
    }

    // Writing without reading: an update of a key the table lacks touches nothing and says so;
    // known keys match as the ERP may match them (blanks at the end, case).
    void writesWithoutReadingFirst()
    {
        QFETCH_GLOBAL(QString, engine);
        Station s(engine);
        Query q(QStringLiteral("c_produtos"), s.connection);
        q.setSql({QStringLiteral("select * from produto where referencia = :r")});
        q.declareParam(QStringLiteral("r"), Query::ParamType::Text);
        q.setTarget(QStringLiteral("Produto"), {QStringLiteral("Referencia")});
        KnownKeys known;
        known.load(q, QStringLiteral("Referencia"));
        QVERIFY(known.contains(QStringLiteral("234567890abcdef  ")));
        QVERIFY(!known.contains(QStringLiteral("34567890ABCDEF")));

        q.editUnread({QStringLiteral("NOVO")});
        q.setValue(QStringLiteral("Descricao"), QStringLiteral("não existe"));
        q.post();
        QCOMPARE(q.rowsAffected(), 0);
        q.appendUnread();
        q.setValue(QStringLiteral("Referencia"), QStringLiteral("NOVO"));
        q.setValue(QStringLiteral("Descricao"), QStringLiteral("Novo"));
        q.post();
        q.editUnread({QStringLiteral("234567890ABCDEF")});
        q.setValue(QStringLiteral("Descricao"), QStringLiteral("Chave de quinze"));
        q.post();
        QCOMPARE(q.rowsAffected(), 1);

        Query check(QStringLiteral("check"), s.connection);
        check.setSql({QStringLiteral("select referencia, descricao from produto order by referencia")});
        check.open();
        QStringList rows;
        for (; !check.eof(); check.next())
            rows << check.asString(QStringLiteral("referencia")) + u'=' + check.asString(QStringLiteral("descricao"));
        QCOMPARE(rows, QStringList({QStringLiteral("1234567890ABCDEF=Chave de 16"),
                                    QStringLiteral("234567890ABCDEF=Chave de quinze"), QStringLiteral("NOVO=Novo")}));
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
