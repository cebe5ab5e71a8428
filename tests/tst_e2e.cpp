#include "app/demostation.h"
#include "fixtures/builders.h"
#include "support/pgserver.h"
#include "support/teststation.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

// The real program, started as a process, works off a three-day backlog of every kind of row on
// one engine (CARVELA_E2E_ENGINE: sqlite, qpsql, or odbc for the ERP through a .udl with MSDASQL
// and psqlODBC). CTest runs it once per engine as e2e_<engine>.
namespace {

QString engine()
{
    const QString e = qEnvironmentVariable("CARVELA_E2E_ENGINE");
    return e.isEmpty() ? QStringLiteral("sqlite") : e;
}

struct Run {
    int exitCode = -1;
    QString out;
};

Run runProgram(TestStation& s, const QDate& from)
{
    QProcess process;
    process.setProgram(QStringLiteral(CARVELA_BINARY));
    process.setArguments({QStringLiteral("--once"), QStringLiteral("--dir"), s.directory(), QStringLiteral("--date"),
                          from.toString(Qt::ISODate)});
    process.start();
    Run run;
    if (!process.waitForFinished(180000)) {
        process.kill();
        process.waitForFinished();
        run.out = QStringLiteral("the program did not end");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput()) + QString::fromUtf8(process.readAllStandardError());
    return run;
}

int count(QSqlDatabase db, const QString& from)
{
    return test::selectOne(db, QStringLiteral("select count(*) as n from ") + from).value("n").toInt();
}

// The "Inseridos" of a section over every summary the program printed.
int insertedBySummaries(const QString& out, const QString& section)
{
    const QRegularExpression line(
        QStringLiteral("^\\s*%1\\s+(\\d+)\\s+(\\d+)\\s").arg(QRegularExpression::escape(section)),
        QRegularExpression::MultilineOption);
    int total = 0;
    for (auto it = line.globalMatch(out); it.hasNext();)
        total += it.next().captured(2).toInt();
    return total;
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeDaysOfEveryKindOfRow()
    {
        TestStation s(engine(), QStringLiteral("e2e"));
        // The demo's rows, on this engine.
        test::exec(s.erp(), "delete from filial");
        test::exec(s.erp(), "delete from empresa");
        if (s.cloud().driverName() != QLatin1String("QSQLITE"))
            test::exec(s.cloud(), "set search_path to velcor, public");
        for (const auto& [script, db] : {std::pair{"pos-demo.sql", s.pos()}, std::pair{"erp-demo.sql", s.erp()},
                                         std::pair{"cloud-demo.sql", s.cloud()}})
            for (const QString& statement : demoStatements(QString::fromLatin1(script)))
                test::exec(db, statement);
        s.writeFiles({{"Filial", "1"}, {"TpDoc", "2"}, {"NatOper", "2"}, {"Custo1", "1"}, {"Custo2", "2"}});
        const QString mov = s.cloud().driverName() == QLatin1String("QSQLITE") ? QStringLiteral("mov_bancario")
                                                                               : QStringLiteral("velcor.mov_bancario");
        const int pendingMovements = count(s.cloud(), mov + " where id_empresa = 11 and atualizado is null");
        QSet<int> markedBefore;
        for (const QVariantMap& row :
             test::selectAll(s.cloud(), QStringLiteral("select idmovimento from %1 where atualizado = 'S'").arg(mov)))
            markedBefore << row.value("idmovimento").toInt();
        const int otherStore = count(s.cloud(), mov + " where id_empresa <> 11 and atualizado is null");
        const QDate today = QDate::currentDate();

        const Run first = runProgram(s, today.addDays(-3));
        QVERIFY2(first.exitCode == 0, qPrintable(first.out.right(3000)));
        QVERIFY(first.out.contains(QStringLiteral("Ciclo do movimento de %1: tudo copiado")
                                       .arg(today.toString(QStringLiteral("dd/MM/yyyy")))));

        const QList<std::pair<QString, int>> expected = {
            {"clientes", count(s.pos(), "clientes")},
            {"fornecedores", count(s.pos(), "fornecedores")},
            {"lj_produtos", count(s.pos(), "produtos")},
            {"lj_referbar", count(s.pos(), "produtos")},
            {"lj_venda", count(s.pos(), "vendas")},
            {"lj_vendaitem", count(s.pos(), "itens_venda")},
            {"lj_entradas", count(s.pos(), "compras_comb where cancelada = 'N'") +
                                count(s.pos(), "compras_div where cancelada = 'N'")},
            {"lj_entradasitem",
             count(s.pos(), "itens_compra_comb i, compras_comb c where c.codigo = i.cod_compra and "
                            "c.cod_empresa = i.cod_empresa and c.cancelada = 'N'") +
                 count(s.pos(), "itens_compra_div i, compras_div c where c.codigo = i.cod_compra and "
                                "c.cod_empresa = i.cod_empresa and c.cancelada = 'N'")},
            {"capagar", count(s.pos(), "parcelas_pagar p, contas_pagar c where c.codigo = p.cod_conta and "
                                       "c.cod_empresa = p.cod_empresa and c.tipo_compra = 'D'")},
            {"contacorrente", pendingMovements},
        };
        const auto checkErp = [&] {
            for (const auto& [table, n] : expected)
                QVERIFY2(
                    count(s.erp(), table) == n,
                    qPrintable(QStringLiteral("%1: %2, expected %3").arg(table).arg(count(s.erp(), table)).arg(n)));
            // The counters hold the highest numbers used.
            QCOMPARE(count(s.erp(), "filial where seqvenda = (select max(idvenda) from lj_venda v where v.idloja = "
                                    "filial.idfilial)"),
                     2);
            QCOMPARE(count(s.erp(), "filial where seqentnota = (select max(identrada) from lj_entradas e where "
                                    "e.idloja = filial.idfilial)"),
                     2);
            QCOMPARE(count(s.erp(), "lj_sequencial where sequencial = (select max(id) from capagar)"), 1);
            // A bank movement is marked exactly when its ERP row exists.
            QSet<int> markedNow;
            for (const QVariantMap& row : test::selectAll(
                     s.cloud(), QStringLiteral("select idmovimento from %1 where atualizado = 'S'").arg(mov)))
                markedNow << row.value("idmovimento").toInt();
            markedNow.subtract(markedBefore);
            QSet<int> copied;
            for (const QVariantMap& row : test::selectAll(s.erp(), "select idmovnuvens from contacorrente"))
                copied << row.value("idmovnuvens").toInt();
            QCOMPARE(copied.size(), pendingMovements);
            QCOMPARE(markedNow, copied); // marked exactly when copied, both ways
            QCOMPARE(count(s.cloud(), mov + " where id_empresa <> 11 and atualizado is null"), otherStore);
        };
        checkErp();

        // Values, for a sample: a sale, a purchase's title, a bank movement.
        const QVariantMap posSale =
            test::selectOne(s.pos(), "select * from vendas where cod_empresa = '2' and sequencial = '00004'");
        const QVariantMap erpSale = test::selectOne(
            s.erp(), "select * from lj_venda where idloja = 2 and cod_pdv = '01' and sequencial_pdv = '00004'");
        QCOMPARE(erpSale.value("valortotal").toDouble(), posSale.value("valor_nf").toDouble());
        QCOMPARE(erpSale.value("numcupom").toString(), posSale.value("numero_nf").toString());
        QCOMPARE(
            test::selectOne(s.erp(), "select nomecliente from lj_venda where idloja = 1 and sequencial_pdv = '00001'")
                .value("nomecliente")
                .toString(),
            QStringLiteral("Consumidor Final"));
        QCOMPARE(count(s.erp(), "capagar where observacao = 'Título Gerado pelo Sistema Quorim NF.Compra: 2101' and "
                                "totparcelas = 4"),
                 4);
        const QVariantMap movement = test::selectOne(
            s.erp(), "select idmovnuvens, descricao, valor from contacorrente where idmovnuvens = (select "
                     "min(idmovnuvens) from contacorrente)");
        const QVariantMap cloudMovement = test::selectOne(
            s.cloud(), QStringLiteral("select historico_lancamento, valor_lancamento from %1 where idmovimento = %2")
                           .arg(mov, movement.value("idmovnuvens").toString()));
        QCOMPARE(movement.value("descricao").toString(), cloudMovement.value("historico_lancamento").toString());
        QCOMPARE(movement.value("valor").toDouble(), cloudMovement.value("valor_lancamento").toDouble());

        // The summaries count what the rows show.
        QCOMPARE(insertedBySummaries(first.out, "Clientes"), count(s.erp(), "clientes"));
        QCOMPARE(insertedBySummaries(first.out, "Fornecedores"), count(s.erp(), "fornecedores"));
        QCOMPARE(insertedBySummaries(first.out, "Produtos"), count(s.erp(), "lj_produtos"));
        QCOMPARE(insertedBySummaries(first.out, "Vendas"), count(s.erp(), "lj_venda"));
        QCOMPARE(insertedBySummaries(first.out, "Entradas Comb") + insertedBySummaries(first.out, "Entradas Div"),
                 count(s.erp(), "lj_entradas"));
        QCOMPARE(insertedBySummaries(first.out, "Movimento bancário"), pendingMovements);

        // Again from three days back: nothing is added and no number is drawn.
        const Run second = runProgram(s, today.addDays(-3));
        QVERIFY2(second.exitCode == 0, qPrintable(second.out.right(3000)));
        checkErp();
        QCOMPARE(insertedBySummaries(second.out, "Vendas"), 0);
        QCOMPARE(insertedBySummaries(second.out, "Entradas Comb") + insertedBySummaries(second.out, "Entradas Div"), 0);

        // A bad row: the run says so.
        test::insertRow(s.pos(), "clientes", {{"codigo", "901"}, {"nome", "Sem Data"}, {"dt_cadastro", ""}});
        const Run third = runProgram(s, today);
        QVERIFY2(third.exitCode == 2, qPrintable(third.out.right(3000)));
        QVERIFY(third.out.contains(QStringLiteral("clientes, código 901 (Sem Data), coluna DataCadastro")));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
