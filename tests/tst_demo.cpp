#include "app/demostation.h"
#include "app/headlessrunner.h"
#include "core/settings.h"
#include "fixtures/builders.h"
#include "support/pgserver.h"

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

        QCOMPARE(runOnce(ini, QDate::currentDate().addDays(-3)), 0);
        QCOMPARE(files.count("erp", "from clientes"), files.count("pos", "from clientes"));
        QCOMPARE(files.count("erp", "from fornecedores"), files.count("pos", "from fornecedores"));
        QCOMPARE(files.count("erp", "from lj_produtos"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from lj_referbar"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from contacorrente"), unmarked);
        QCOMPARE(files.count("cloud", "from mov_bancario where id_empresa = 11 and atualizado is null"), 0);
        QCOMPARE(files.count("cloud", "from mov_bancario where id_empresa = 12 and atualizado is null"),
                 files.count("cloud", "from mov_bancario where id_empresa = 12"));

        test::exec(QSqlDatabase::database("demo-pos"),
                   "update clientes set nome = 'José Atualizado' where codigo = '2'");
        QCOMPARE(runOnce(ini, QDate::currentDate()), 0);
        QCOMPARE(files.count("erp", "from clientes"), files.count("pos", "from clientes"));
        QCOMPARE(files.count("erp", "from clientes where nomecliente = 'José Atualizado' and idcliente = 2"), 1);
        QCOMPARE(files.count("erp", "from lj_produtos"), files.count("pos", "from produtos"));
        QCOMPARE(files.count("erp", "from contacorrente"), unmarked);
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
