#include "app/connectioncheck.h"
#include "app/demostation.h"
#include "app/headlessrunner.h"
#include "core/inifile.h"
#include "core/logfile.h"
#include "core/settings.h"
#include "db/connectiontarget.h"
#include "fixtures/builders.h"
#include "support/pgserver.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

using namespace carvela;

namespace {

QString connectionName(const char* file)
{
    return QStringLiteral("demo-%1").arg(QLatin1String(file));
}

// Plain connections to the demo's three files, to count what landed where.
struct Files {
    explicit Files(const QString& dir)
    {
        for (const char* name : {"pos", "erp", "cloud"}) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName(name));
            db.setDatabaseName(QStringLiteral("%1/%2.sqlite").arg(dir, QLatin1String(name)));
            db.open();
        }
    }
    ~Files()
    {
        for (const char* name : {"pos", "erp", "cloud"}) {
            QSqlDatabase::database(connectionName(name), false).close();
            QSqlDatabase::removeDatabase(connectionName(name));
        }
    }
    int count(const char* db, const QString& sql) const
    {
        return test::selectOne(QSqlDatabase::database(connectionName(db)),
                               QStringLiteral("select count(*) as n %1").arg(sql))
            .value("n")
            .toInt();
    }
};

// The counts of a section in the last cycle summary that carvela.log holds.
QList<int> lastCounts(const QString& dir, const QString& section)
{
    QFile log(LogFile::besideSettings(settings::filePath(dir)));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<int> counts;
    for (const QString& line : QString::fromUtf8(log.readAll()).split(u'\n')) {
        const QString rest = line.mid(20).trimmed(); // after the timestamp
        if (!rest.startsWith(section + u' '))
            continue;
        counts.clear();
        for (const QString& word : rest.mid(section.size()).split(u' ', Qt::SkipEmptyParts))
            counts << word.toInt();
    }
    return counts;
}

QString logText(const QString& dir)
{
    QFile log(LogFile::besideSettings(settings::filePath(dir)));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The demo station end to end: cycles from three days back copy every master record and the
    // chosen branch's bank movements; the next run updates in place and copies nothing twice.
    void demoStationRunsToTheEndOnceAndAgain()
    {
        QTemporaryDir dir;
        createDemoStation(dir.path());
        const QString ini = settings::filePath(dir.path());
        Files files(dir.path());
        const int unmarked = files.count("cloud", "from mov_bancario where id_empresa = 11 and atualizado is null");
        QVERIFY(unmarked > 0);

        QCOMPARE(runOnce(ini, QDate::currentDate().addDays(-3)), exitClean);
        const int customers = files.count("pos", "from clientes");
        // Read, inserted, updated, already there, failed: the last cycle updates every customer.
        QCOMPARE(lastCounts(dir.path(), "Clientes"), QList<int>({customers, 0, customers, 0, 0}));
        QCOMPARE(files.count("erp", "from clientes"), files.count("pos", "from clientes"));
        QCOMPARE(files.count("erp", "from fornecedores"), files.count("pos", "from fornecedores"));
        QCOMPARE(files.count("erp", "from lj_produtos"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from lj_referbar"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from contacorrente"), unmarked);
        QCOMPARE(files.count("cloud", "from mov_bancario where id_empresa = 11 and atualizado is null"), 0);
        QCOMPARE(files.count("cloud", "from mov_bancario where id_empresa = 12 and atualizado is null"),
                 files.count("cloud", "from mov_bancario where id_empresa = 12"));
        // Every sale of the last three days with all its items, under numbers the counters hold.
        const int sales = files.count("pos", "from vendas");
        QVERIFY(sales > 0);
        QCOMPARE(files.count("erp", "from lj_venda"), sales);
        QCOMPARE(files.count("erp", "from lj_vendaitem"), files.count("pos", "from itens_venda"));
        for (const int store : {1, 2})
            QCOMPARE(files.count("erp", QStringLiteral("from lj_venda v, filial f where f.idfilial = %1 and "
                                                       "v.idloja = %1 and v.idvenda <= f.seqvenda")
                                            .arg(store)),
                     files.count("pos", QStringLiteral("from vendas where cod_empresa = '%1'").arg(store)));
        QCOMPARE(files.count("erp", "from filial where seqvenda = (select count(*) from lj_venda v where v.idloja = "
                                    "filial.idfilial)"),
                 2);
        // Every purchase that is not cancelled, with its items and titles; the counters hold the
        // highest entry number of each store and the highest title id.
        const int entries = files.count("pos", "from compras_comb where cancelada = 'N'") +
                            files.count("pos", "from compras_div where cancelada = 'N'");
        const int titles = files.count("pos", "from parcelas_pagar p, contas_pagar c where c.codigo = p.cod_conta and "
                                              "c.cod_empresa = p.cod_empresa and c.tipo_compra = 'D'");
        QVERIFY(entries > 0 && titles > 0);
        QCOMPARE(files.count("erp", "from lj_entradas"), entries);
        QCOMPARE(files.count("erp", "from lj_entradasitem"),
                 files.count("pos", "from itens_compra_comb i, compras_comb c where c.codigo = i.cod_compra and "
                                    "c.cod_empresa = i.cod_empresa and c.cancelada = 'N'") +
                     files.count("pos", "from itens_compra_div i, compras_div c where c.codigo = i.cod_compra and "
                                        "c.cod_empresa = i.cod_empresa and c.cancelada = 'N'"));
        QCOMPARE(files.count("erp", "from capagar"), titles);
        QCOMPARE(files.count("erp", "from filial where seqentnota = (select max(identrada) from lj_entradas e where "
                                    "e.idloja = filial.idfilial)"),
                 2);
        QCOMPARE(files.count("erp", "from lj_sequencial where sequencial = (select max(id) from capagar)"), 1);

        test::exec(QSqlDatabase::database("demo-pos"),
                   "update clientes set nome = 'José Atualizado' where codigo = '2'");
        QCOMPARE(runOnce(ini, QDate::currentDate()), exitClean);
        QCOMPARE(files.count("erp", "from lj_venda"), sales); // nothing twice, no number drawn
        QCOMPARE(files.count("erp", "from lj_entradas"), entries);
        QCOMPARE(files.count("erp", "from capagar"), titles);
        QCOMPARE(files.count("erp", "from lj_sequencial where sequencial = (select max(id) from capagar)"), 1);
        QCOMPARE(files.count("erp", "from filial where seqvenda = (select count(*) from lj_venda v where v.idloja = "
                                    "filial.idfilial)"),
                 2);
        QCOMPARE(files.count("erp", "from clientes"), files.count("pos", "from clientes"));
        QCOMPARE(files.count("erp", "from clientes where nomecliente = 'José Atualizado' and idcliente = 2"), 1);
        QCOMPARE(files.count("erp", "from lj_produtos"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from contacorrente"), unmarked);
    }

    // Dirty rows in the demo's POS: each is skipped and named, everything else arrives, and the
    // run reaches today and says that it was not clean.
    void dirtyRowsAreNamedAndTheRestArrives()
    {
        QTemporaryDir dir;
        createDemoStation(dir.path());
        const QString ini = settings::filePath(dir.path());
        Files files(dir.path());
        QSqlDatabase pos = QSqlDatabase::database("demo-pos");
        test::insertRow(pos, "clientes", {{"codigo", "901"}, {"nome", "Sem Data de Cadastro"}, {"dt_cadastro", ""}});
        test::insertRow(pos, "clientes", {{"codigo", "X1"}, {"nome", "Código com Letra"}});
        test::insertRow(pos, "produtos", {{"codigo", "99001"}, {"descricao", "PRODUTO SEM GRUPO"}, {"cod_grupo", ""}});
        test::insertRow(pos, "vendas",
                        {{"cod_empresa", "X"},
                         {"cod_pdv", "01"},
                         {"seq_caixa", "00099"},
                         {"sequencial", "00001"},
                         {"data_emissao", QDate::currentDate().toString(Qt::ISODate)}});
        // A purchase of today whose instalment falls due on a day that does not exist.
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        test::insertRow(pos, "compras_comb", {{"codigo", "9999"}, {"dt_emissao", today}, {"dt_lmc", today}});
        test::insertRow(pos, "itens_compra_comb", {{"cod_compra", "9999"}});
        test::insertRow(pos, "contas_pagar", {{"codigo", "K9999"}, {"cod_compra", "9999"}, {"dt_emissao", today}});
        test::insertRow(pos, "parcelas_pagar", {{"cod_conta", "K9999"}, {"dt_vencimento", "2024-02-30"}});
        const int unmarked = files.count("cloud", "from mov_bancario where id_empresa = 11 and atualizado is null");

        QCOMPARE(runOnce(ini, QDate::currentDate().addDays(-3)), exitIncomplete);

        QCOMPARE(files.count("erp", "from clientes"), files.count("pos", "from clientes") - 2);
        QCOMPARE(files.count("erp", "from clientes where idcliente = 1 and nomecliente = 'Consumidor Final'"), 1);
        QCOMPARE(files.count("erp", "from lj_produtos"), files.count("pos", "from produtos") - 1);
        QCOMPARE(files.count("erp", "from lj_produtos where idreferencia = '99001'"), 0);
        QCOMPARE(files.count("erp", "from contacorrente"), unmarked);
        QCOMPARE(files.count("erp", "from lj_venda"), files.count("pos", "from vendas") - 1);
        QCOMPARE(files.count("erp", "from lj_vendaitem"), files.count("pos", "from itens_venda"));
        QCOMPARE(files.count("erp", "from lj_entradas"),
                 files.count("pos", "from compras_comb where cancelada = 'N'") +
                     files.count("pos", "from compras_div where cancelada = 'N'") - 1);
        QCOMPARE(files.count("erp", "from lj_entradas where codigoref = '9999'"), 0);
        QCOMPARE(files.count("erp", "from capagar where codigoref = 'K9999'"), 0);
        QCOMPARE(files.count("erp", "from lj_sequencial where sequencial = (select max(id) from capagar)"), 1);
        const QString log = logText(dir.path());
        for (const char* bad : {"clientes, código 901 (Sem Data de Cadastro), coluna DataCadastro",
                                "clientes, código X1 (Código com Letra), coluna idcliente",
                                "lj_produtos, código 99001 (PRODUTO SEM GRUPO), coluna idgrupo",
                                "lj_venda, venda Posto: X PDV: 01 Caixa: 00099 Sequencial: 00001, coluna Idloja",
                                "capagar, título da conta K9999, parcela 1 (documento 1/1), coluna dtvencto"})
            QVERIFY2(log.contains(QString::fromUtf8(bad)), bad);
        QVERIFY(log.contains(QStringLiteral("Ciclo do movimento de %1: INCOMPLETO")
                                 .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")))));
        // Four cycles, one per day up to today, each with its summary: in full, or in one line when
        // its counts repeat the cycle's before it.
        QCOMPARE(log.count(QStringLiteral("Falha: Clientes: clientes, código X1")) +
                     log.count(QStringLiteral("(contagens como no ciclo anterior)")),
                 4);
        QCOMPARE(log.count(QStringLiteral("Erro na Tabela Clientes")), 2); // Memo1's entries, once each
    }

    // --check on the demo is all well; with the ERP at a port where nothing listens it says so
    // within the login timeout.
    void checkTheConnections()
    {
        QTemporaryDir dir;
        createDemoStation(dir.path());
        const QString ini = settings::filePath(dir.path());
        QCOMPARE(runCheck(ini), exitClean);
        const QString udl = IniFile(ini).value(settings::parametrosSection, QStringLiteral("edtSql"));
        writeUdlFile(udl, QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=erp;"
                                         "User ID=u;Password=p;Connect Timeout=2"));
        QCOMPARE(runCheck(ini), exitStationFailure);
    }

    // Without a window, a station with no connection file chosen reaches the ERP through
    // [conexao]; a connection file named but missing stops it, with its path.
    void withoutAConnectionFile()
    {
        QTemporaryDir dir;
        createDemoStation(dir.path());
        const QString ini = settings::filePath(dir.path());
        IniFile file(ini);
        file.setValue(settings::parametrosSection, QStringLiteral("edtSql"), QString());
        file.setValue(settings::erpSection, settings::connectionStringKey,
                      QStringLiteral("Provider=SQLite;Data Source=%1/erp.sqlite").arg(dir.path()));
        QCOMPARE(runOnce(ini, QDate::currentDate()), exitClean);
        Files files(dir.path());
        QVERIFY(files.count("erp", "from lj_venda") > 0);
        file.setValue(settings::parametrosSection, QStringLiteral("edtSql"), dir.filePath(QStringLiteral("nada.udl")));
        QCOMPARE(runOnce(ini, QDate::currentDate()), exitStationFailure);
        QCOMPARE(runHeadless(ini), exitStationFailure); // no cycle goes to [conexao] instead
        QCOMPARE(runCheck(ini), exitStationFailure);
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
