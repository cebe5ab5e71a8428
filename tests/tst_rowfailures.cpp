#include "core/logfile.h"
#include "core/settings.h"
#include "fixtures/builders.h"
#include "integration/cloudbackoff.h"
#include "support/teststation.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

using namespace carvela;
using carvela::test::TestStation;

// A station whose data is dirty keeps copying everything else: a row that fails is skipped whole
// and named once, a failure of the station still ends the cycle, and a cloud that does not answer
// costs the POS nothing.
namespace {

int count(QSqlDatabase db, const QString& from)
{
    return test::selectOne(db, QStringLiteral("select count(*) as n from ") + from).value("n").toInt();
}

// The branch of the test station is store 3 in the cloud, with one bank. On SQLite the cloud's
// tables are plain tables of a file the program attaches as velcor.
void seedCloud(TestStation& s, const QList<int>& movements)
{
    const QString schema = s.engine() == QLatin1String("sqlite") ? QString() : QStringLiteral("velcor.");
    test::insertRow(s.cloud(), schema + "lojas",
                    {{"id_loja", 3}, {"cnpj_empresa", "12345678000190"}, {"cnpj_filial", "12345678000270"}});
    test::insertRow(s.cloud(), schema + "bancos_agencias", {{"idbanco", 1}, {"id_loja", 3}, {"idagencia", "0123"}});
    for (const int id : movements)
        test::insertRow(s.cloud(), schema + "mov_bancario",
                        {{"idmovimento", id}, {"id_empresa", 3}, {"id_loja", 3}, {"idbanco", 1}});
}

void runCycles(TestStation& s, int cycles)
{
    for (int i = 0; i < cycles; ++i) {
        s.integration().RunCycle();
        s.integration().Timer3().stop();
    }
}

QStringList errorEntries(const StationState& state)
{
    QStringList entries;
    for (const QString& entry : state.memo())
        if (entry.startsWith(QStringLiteral("Erro na Tabela")))
            entries << entry;
    return entries;
}

} // namespace

class TestRowFailures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void badMasterRowsDoNotStopTheStation()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("dirty"));
        test::insertRow(s.erp(), "clientes", {{"idcliente", 1}, {"nomecliente", "Consumidor Final"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Dois"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "3"}, {"nome", "Sem Cadastro"}, {"dt_cadastro", ""}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "4"}, {"nome", "Quatro"}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "X1"}, {"nome", "Xis Um"}});
        test::insertRow(s.pos(), "fornecedores", {{"codigo", "1"}, {"razao_social", "Distribuidora"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "10"}, {"descricao", "GASOLINA"}, {"cod_grupo", "01"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "11"}, {"descricao", "SEM GRUPO"}, {"cod_grupo", ""}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "12"}, {"descricao", "ETANOL"}, {"cod_grupo", "01"}});
        seedCloud(s, {71, 72});
        s.start();
        const QDate today = QDate::currentDate();
        s.state().setMovementDate(today.addDays(-3));
        s.state().clearLog();

        runCycles(s, 3);

        QCOMPARE(s.state().movementDate(), today); // master rows that fail never hold the date
        QCOMPARE(count(s.erp(), "clientes"), 3);
        QCOMPARE(test::selectOne(s.erp(), "select nomecliente from clientes where idcliente = 1")
                     .value("nomecliente")
                     .toString(),
                 QStringLiteral("Consumidor Final"));
        QCOMPARE(count(s.erp(), "clientes where idcliente in (2, 4)"), 2);
        QCOMPARE(count(s.erp(), "fornecedores"), 1);
        QCOMPARE(count(s.erp(), "lj_produtos"), 2);
        QCOMPARE(count(s.erp(), "lj_referbar where idreferencia = '11'"), 0);
        QCOMPARE(count(s.erp(), "contacorrente"), 2); // the bank imports after the products ran

        const QStringList entries = {
            "Erro na Tabela Clientes \rclientes, código 3 (Sem Cadastro), coluna DataCadastro: '//' is not a valid "
            "date",
            "Erro na Tabela Clientes \rclientes, código X1 (Xis Um), coluna idcliente: 'X1' is not a valid integer "
            "value",
            "Erro na Tabela Produtos \rlj_produtos, código 11 (SEM GRUPO), coluna idgrupo: '' is not a valid integer "
            "value",
        };
        QCOMPARE(errorEntries(s.state()), entries); // once each over three cycles

        const CycleSummary& last = s.integration().lastSummary();
        QCOMPARE(last.outcome(), CycleSummary::Outcome::Incomplete);
        QCOMPARE(last.find("Clientes")->read, 4);
        QCOMPARE(last.find("Clientes")->updated, 2);
        QCOMPARE(last.find("Clientes")->failed, 2);
        QCOMPARE(last.find("Produtos")->failed, 1);
        QCOMPARE(last.failures.size(), 3);
        QVERIFY(last.headline().contains(QStringLiteral("3 linhas não copiadas")));

        QFile log(LogFile::besideSettings(s.settingsPath()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        for (const QString& entry : entries)
            QVERIFY2(text.contains(entry.section(u'\r', 1)), qPrintable(entry));
        QCOMPARE(log.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
    }

    // What the ERP refuses for one row's data is that row's failure; what every row would meet
    // ends the cycle as before.
    void classification_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("stationFailure");
        for (const QString& engine : test::engines()) {
            if (engine != QLatin1String("sqlite")) // SQLite does not enforce a text's declared length
                QTest::newRow(qPrintable(engine + QStringLiteral(": text too long (22001)"))) << engine << false;
            QTest::newRow(qPrintable(engine + QStringLiteral(": missing column"))) << engine << true;
        }
    }
    void classification()
    {
        QFETCH(QString, engine);
        QFETCH(bool, stationFailure);
        TestStation s(engine, QStringLiteral("classify"));
        if (!stationFailure) // the POS holds a longer name than the ERP's column takes
            test::exec(s.pos(), "alter table clientes alter column nome type varchar(80)");
        test::insertRow(s.pos(), "clientes", {{"codigo", "1"}, {"nome", QString(stationFailure ? 10 : 61, u'N')}});
        test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Cabe"}});
        test::insertRow(s.pos(), "fornecedores", {{"codigo", "1"}});
        if (stationFailure)
            test::exec(s.erp(), "alter table clientes drop column apelido");
        s.start();
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);
        s.state().clearLog();

        runCycles(s, 1);

        const CycleSummary& summary = s.integration().lastSummary();
        const QStringList entries = errorEntries(s.state());
        QCOMPARE(entries.size(), 1);
        QVERIFY2(entries.value(0).startsWith(QStringLiteral("Erro na Tabela Clientes \r")),
                 qPrintable(entries.value(0)));
        if (stationFailure) {
            QCOMPARE(summary.outcome(), CycleSummary::Outcome::StationFailure);
            QCOMPARE(s.state().movementDate(), yesterday);
            QCOMPARE(count(s.erp(), "fornecedores"), 0); // the cycle ended at the customers
        } else {
            QCOMPARE(summary.outcome(), CycleSummary::Outcome::Incomplete);
            QVERIFY2(entries.value(0).contains(QStringLiteral("clientes, código 1 (NNN")),
                     qPrintable(entries.value(0)));
            QCOMPARE(count(s.erp(), "clientes"), 1);
            QCOMPARE(count(s.erp(), "fornecedores"), 1);
            QCOMPARE(s.state().movementDate(), yesterday.addDays(1));
        }
    }

    // Inside the cycle a refused movement is one failure, though every bank import of the cycle
    // meets it; the date still moves. A table of the ERP that lacks a column is the station's
    // failure there as anywhere.
    void bankImportFailuresInTheCycle()
    {
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("bankcycle"));
        seedCloud(s, {81, 82, 83});
        test::exec(s.cloud(), "update mov_bancario set historico_lancamento = 'Recusado' where idmovimento = 82");
        test::refuseAccountRows(s, QStringLiteral("Recusado"));
        test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Dois"}});
        s.start();
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);
        s.state().clearLog();

        runCycles(s, 1);
        const CycleSummary& summary = s.integration().lastSummary();
        QCOMPARE(summary.bank.read, 3);
        QCOMPARE(summary.bank.inserted, 2);
        QCOMPARE(summary.bank.failed, 1);
        QCOMPARE(summary.failures.size(), 1);
        QCOMPARE(errorEntries(s.state()).size(), 1);
        QVERIFY(summary.headline().endsWith(QStringLiteral("1 linha não copiada")));
        QCOMPARE(s.state().movementDate(), yesterday.addDays(1));

        test::exec(s.erp(), "drop trigger recusa");
        test::exec(s.erp(), "alter table ContaCorrente drop column Hora");
        s.state().setMovementDate(yesterday);
        runCycles(s, 1);
        QCOMPARE(s.integration().lastSummary().outcome(), CycleSummary::Outcome::StationFailure);
        QVERIFY(!s.integration().lastSummary().find("Clientes")); // the cycle ended at the first import
        QCOMPARE(s.state().movementDate(), yesterday);
    }

    // The station's internet link is down: a cloud that takes the connection and never answers.
    void aSilentCloudCostsOneLoginTimeout()
    {
        QTcpServer silent; // listens, and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString cloud = QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=%1;Initial "
                                             "Catalog=postgres;User ID=ninguem;Password=segredo;Connect Timeout=1")
                                  .arg(silent.serverPort());
        TestStation s(QStringLiteral("sqlite"), QStringLiteral("silent"));
        s.overrideConnection(settings::cloudStoreSection, cloud);
        s.overrideConnection(settings::cloudMovementSection, cloud);
        test::insertRow(s.pos(), "clientes", {{"codigo", "2"}, {"nome", "Dois"}});
        test::insertRow(s.pos(), "produtos", {{"codigo", "10"}, {"descricao", "GASOLINA"}, {"cod_grupo", "01"}});
        s.start();
        s.state().clearLog();

        runCycles(s, 1);
        QCOMPARE(count(s.erp(), "clientes"), 1);
        QCOMPARE(count(s.erp(), "lj_produtos"), 1);
        const CycleSummary first = s.integration().lastSummary();
        QCOMPARE(first.bank.skippedOffline, 3); // after products, sales and entries: the first timed out
        QCOMPARE(first.outcome(), CycleSummary::Outcome::Incomplete);
        QCOMPARE(errorEntries(s.state()).size(), 1);
        QVERIFY(errorEntries(s.state()).at(0).contains(QStringLiteral("Não foi possível conectar ConMov")));
        QVERIFY(!errorEntries(s.state()).at(0).contains(QStringLiteral("segredo")));

        // Within the pause the cloud is not tried: no import waits for it, the log stays as it is.
        runCycles(s, 1);
        QCOMPARE(s.integration().lastSummary().bank.skippedOffline, 4);
        QVERIFY(!s.integration().lastSummary().bankRan);
        QCOMPARE(errorEntries(s.state()).size(), 1);
        QVERIFY(s.integration().conexao().isOpen()); // no recovery of the station's own connections
    }

    // Each failed connect doubles the pause, up to 15 minutes; reaching the cloud ends it.
    void cloudPauseDoublesUpToFifteenMinutes()
    {
        using std::chrono::minutes;
        CloudBackoff backoff;
        const auto t0 = CloudBackoff::Clock::now();
        QVERIFY(!backoff.holding(t0));
        QList<int> pauses;
        auto now = t0;
        for (int failure = 0; failure < 6; ++failure) {
            backoff.connectFailed(now);
            pauses << int(backoff.pause().count());
            QVERIFY(backoff.holding(now + backoff.pause() - std::chrono::seconds(1)));
            now += backoff.pause();
            QVERIFY(!backoff.holding(now));
        }
        QCOMPARE(pauses, QList<int>({1, 2, 4, 8, 15, 15}));
        backoff.connectFailed(now);
        backoff.reached();
        QVERIFY(!backoff.holding(now));
        backoff.connectFailed(now);
        QCOMPARE(int(backoff.pause().count()), 1);
    }
};

QTEST_GUILESS_MAIN(TestRowFailures)
#include "tst_rowfailures.moc"
