#include "core/failure.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "db/connectiontarget.h"
#include "db/query.h"
#include "integration/integration.h"
#include "support/pgserver.h"
#include "support/recordingdialogs.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace carvela;
using Box = StationState::Box;
using Bar = StationState::Bar;

namespace {

// A station whose ERP is an empty SQLite file reached through a .udl, with the switch on.
struct Station {
    QTemporaryDir dir;
    test::RecordingDialogs dialogs;
    std::unique_ptr<Integration> integration;
    QStringList ran;

    explicit Station(const QString& posConnection = {})
    {
        const QString erp = dir.filePath(QStringLiteral("erp.sqlite"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mk"));
            db.setDatabaseName(erp);
            db.open();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("mk"));
        const QString udl = dir.filePath(QStringLiteral("erp.udl"));
        writeUdlFile(udl, QStringLiteral("Provider=SQLite;Data Source=erp.sqlite"));
        const QString ini = settings::filePath(dir.path());
        IniFile file(ini);
        file.setValue(QStringLiteral("Parametros"), QStringLiteral("edtSql"), udl);
        file.setValue(QStringLiteral("Parametros"), QStringLiteral("rsAtiva"), QStringLiteral("1"));
        file.setValue(QStringLiteral("Parametros"), QStringLiteral("seTempo"), QStringLiteral("1000"));
        if (!posConnection.isEmpty())
            file.setValue(settings::posSection, settings::connectionStringKey, posConnection);
        integration = std::make_unique<Integration>(ini, dialogs);
        integration->Timer1().stop();
        integration->FormCreate();
    }
    StationState& state() { return integration->state(); }

    // A section that records that it ran and then does what the test asks.
    Integration::Section section(Box guard, const QString& label, std::function<void(Integration&)> body = {},
                                 bool bankAfter = false)
    {
        return {guard,
                [this, label, body](Integration& i) {
                    i.setSectionLabel(label);
                    ran << label;
                    if (body)
                        body(i);
                },
                bankAfter};
    }
};

} // namespace

class TestCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void guardsAndOrder_data()
    {
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QList<Box>>("ticked");
        QTest::addColumn<QStringList>("expected");
        const QList<Box> none;
        const QList<Box> all = {Box::cbClientes, Box::cbFornecedores, Box::cbProdutos, Box::cbVendas, Box::cbEntrada};
        QTest::newRow("nothing ticked") << true << 1000 << none << QStringList({"bank"});
        QTest::newRow("switch off") << false << 1000 << all << QStringList();
        QTest::newRow("interval 0") << true << 0 << all << QStringList();
        QTest::newRow("all ticked") << true << 1000 << all
                                    << QStringList({"bank", "Clientes", "Fornecedores", "Produtos", "bank", "Vendas",
                                                    "bank", "Entradas", "bank"});
        QTest::newRow("users only") << true << 1000 << QList<Box>{Box::cbUsuarios} << QStringList({"bank"});
    }
    void guardsAndOrder()
    {
        QFETCH(bool, switchOn);
        QFETCH(int, interval);
        QFETCH(QList<Box>, ticked);
        QFETCH(QStringList, expected);
        Station s;
        for (const Box b :
             {Box::cbClientes, Box::cbFornecedores, Box::cbProdutos, Box::cbUsuarios, Box::cbVendas, Box::cbEntrada})
            s.state().setBox(b, ticked.contains(b));
        s.integration->setSections(
            {s.section(Box::cbClientes, "Clientes"), s.section(Box::cbFornecedores, "Fornecedores"),
             s.section(Box::cbProdutos, "Produtos", {}, true), s.section(Box::cbVendas, "Vendas", {}, true),
             s.section(Box::cbEntrada, "Entradas", {}, true)});
        s.integration->setBankMovementImport([&](Integration&) { s.ran << "bank"; });
        s.state().setRsAtiva(switchOn);
        s.integration->Timer3().setInterval(interval);
        s.integration->Timer3().stop();
        s.state().setProgressPosition(Bar::pbVendas, 7);
        s.state().setCaption("Abrindo tabela de vendas!");
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);

        s.integration->RunCycle();

        QCOMPARE(s.ran, expected);
        const bool ran = !expected.isEmpty();
        QCOMPARE(s.integration->Timer3().isActive(), ran); // a tick that stops at the guard changes nothing
        QCOMPARE(s.state().movementDate(), ran ? yesterday.addDays(1) : yesterday);
        QCOMPARE(s.state().progress(Bar::pbVendas).position, ran ? 0 : 7);
        QCOMPARE(s.state().lbProcesso(),
                 ran ? QStringLiteral("Processo") : QStringLiteral("Abrindo tabela de vendas!"));
    }

    void anErrorIsLoggedAndEndsTheCycle()
    {
        Station s;
        s.integration->setSections({s.section(Box::cbClientes, "Clientes",
                                              [](Integration&) { throw Failure("'x' is not a valid integer value"); }),
                                    s.section(Box::cbFornecedores, "Fornecedores")});
        s.integration->setBankMovementImport([&](Integration&) { s.ran << "bank"; });
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);
        s.state().clearLog();

        s.integration->RunCycle();

        QCOMPARE(s.ran, QStringList({"bank", "Clientes"}));
        QCOMPARE(s.state().memo(), QStringList({"Erro na Tabela Clientes \r'x' is not a valid integer value"}));
        QCOMPARE(s.state().movementDate(), yesterday);
        QVERIFY(s.integration->Timer3().isActive());
        QVERIFY(s.integration->lastCycleFailed());

        // The first bank-movement import runs before any section has named itself. A failure of
        // the bank import ends that import only: the sections run and the date moves.
        s.integration->setSections({s.section(Box::cbClientes, "Clientes")});
        s.integration->setBankMovementImport([](Integration&) { throw Failure("sem nuvem"); });
        s.state().clearLog();
        s.ran.clear();
        s.integration->RunCycle();
        QCOMPARE(s.state().memo(), QStringList({"Erro na Tabela  \rsem nuvem"}));
        QCOMPARE(s.ran, QStringList({"Clientes"}));
        QCOMPARE(s.state().movementDate(), yesterday.addDays(1));
        QCOMPARE(s.integration->lastSummary().outcome(), CycleSummary::Outcome::Incomplete);
    }

    // A row that fails in a section of the day's movements holds the date, so that the day is read
    // again; one that fails in master data does not. Either is logged once and the cycle goes on.
    void aFailedRowHoldsTheDateOnlyInAMovementSection_data()
    {
        QTest::addColumn<bool>("movement");
        QTest::newRow("sales") << true;
        QTest::newRow("customers") << false;
    }
    void aFailedRowHoldsTheDateOnlyInAMovementSection()
    {
        QFETCH(bool, movement);
        Station s;
        const Integration::Section failing{Box::cbVendas,
                                           [&](Integration& i) {
                                               i.setSectionLabel("Vendas");
                                               s.ran << "Vendas";
                                               i.reportRowFailure("venda 7: '' is not a valid integer value");
                                           },
                                           false, movement};
        s.integration->setSections({failing, s.section(Box::cbEntrada, "Entradas")});
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);
        s.state().clearLog();

        s.integration->RunCycle();
        s.integration->RunCycle();

        QCOMPARE(s.ran, QStringList({"Vendas", "Entradas", "Vendas", "Entradas"}));
        QCOMPARE(s.state().movementDate(), movement ? yesterday : QDate::currentDate());
        QCOMPARE(s.state().memo(), QStringList({"Erro na Tabela Vendas \rvenda 7: '' is not a valid integer value"}));
        const CycleSummary& summary = s.integration->lastSummary();
        QCOMPARE(summary.outcome(), CycleSummary::Outcome::Incomplete);
        QCOMPARE(summary.find("Vendas")->failed, 1);
        QCOMPARE(summary.failures, QStringList({"Vendas: venda 7: '' is not a valid integer value"}));
    }

    void lostConnectionRecovers()
    {
        test::ScratchDatabase pos(QStringLiteral("cycle"));
        Station s(pos.initString());
        Connection& quorim = s.integration->Con_Quorim();
        int pid = 0;
        s.integration->setSections({s.section(Box::cbClientes, "Clientes", [&](Integration& i) {
            Query q(QStringLiteral("S_clientes"), i.Con_Quorim());
            q.setSql({QStringLiteral("select pg_backend_pid() as pid")});
            q.open();
            pid = q.asInt(QStringLiteral("pid"));
        })});
        s.integration->RunCycle();
        QVERIFY(pid != 0);
        QVERIFY(quorim.isOpen());
        test::exec(pos.qpsql(), QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
        QThread::msleep(200);
        s.state().appendLog(QStringLiteral("anterior"));

        s.integration->RunCycle();

        QCOMPARE(s.state().memo(), QStringList());
        QVERIFY(!quorim.isOpen());
        QVERIFY(!s.integration->ConServer().isOpen());
        QVERIFY(s.integration->conexao().isOpen());
        QVERIFY(s.integration->Timer3().isActive());
        QCOMPARE(s.integration->Timer3().interval(), 1000 * 1000);
        QVERIFY(s.dialogs.errors.isEmpty());

        s.integration->RunCycle(); // the next cycle connects again
        QVERIFY(quorim.isOpen());
        QVERIFY(!s.integration->lastCycleFailed());
    }

    void dateBehindReachesTodayOneDayPerCycle()
    {
        Station s;
        const QDate today = QDate::currentDate();
        s.state().setMovementDate(today.addDays(-3));
        QList<QDate> seen;
        s.integration->setSections(
            {s.section(Box::cbVendas, "Vendas", [&](Integration& i) { seen << i.state().movementDate(); })});
        for (int cycle = 0; cycle < 4; ++cycle)
            s.integration->RunCycle();
        QCOMPARE(seen, QList<QDate>({today.addDays(-3), today.addDays(-2), today.addDays(-1), today}));
        QCOMPARE(s.state().movementDate(), today);
        s.state().setMovementDate(today.addDays(2)); // a date set ahead is never changed
        s.integration->RunCycle();
        QCOMPARE(s.state().movementDate(), today.addDays(2));
    }

    void aTickDuringACycleDoesNotStartAnother()
    {
        Station s;
        int depth = 0;
        int maxDepth = 0;
        int runs = 0;
        s.integration->setSections({s.section(Box::cbVendas, "Vendas", [&](Integration& i) {
            ++runs;
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            // The operator turns the switch on again mid-cycle, which arms Timer3; its ticks
            // arrive while the section lets window messages run.
            i.Timer3().setInterval(1);
            i.Timer3().start();
            QTest::qWait(50);
            --depth;
        })});
        s.integration->RunCycle();
        QCOMPARE(maxDepth, 1);
        QCOMPARE(runs, 1);
    }

    void switchedOffMidSectionSkipsTheRest()
    {
        Station s;
        s.integration->setSections({s.section(
                                        Box::cbVendas, "Vendas",
                                        [](Integration& i) {
                                            i.state().setRsAtiva(false);
                                            i.checkSwitch();
                                            QFAIL("the switch-off exit did not leave the section");
                                        },
                                        true),
                                    s.section(Box::cbEntrada, "Entradas")});
        s.integration->setBankMovementImport([&](Integration&) { s.ran << "bank"; });
        const QDate yesterday = QDate::currentDate().addDays(-1);
        s.state().setMovementDate(yesterday);
        s.state().setProgressPosition(Bar::pbVendas, 3);
        s.integration->RunCycle();
        QCOMPARE(s.ran, QStringList({"bank", "Vendas"}));
        QCOMPARE(s.state().movementDate(), yesterday);
        QCOMPARE(s.state().lbProcesso(), QStringLiteral("Processo"));
        QCOMPARE(s.state().progress(Bar::pbVendas).position, 0);
        QVERIFY(s.integration->Timer3().isActive());
        QVERIFY(!s.integration->lastCycleFailed());
    }
};

QTEST_GUILESS_MAIN(TestCycle)
#include "tst_cycle.moc"
