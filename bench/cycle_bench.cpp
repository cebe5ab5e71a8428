// Times the master-data cycle on a SQLite station of a chosen size: a first cycle that inserts
// every customer, supplier and product, and a second that updates them all in place. Prints the
// rows per second of each and the process's peak memory.
//
//   carvela_bench [ROWS]      (default 2000 customers, ROWS/10 suppliers, ROWS products)

#include "app/demostation.h"
#include "core/operatordialogs.h"
#include "core/settings.h"
#include "integration/integration.h"
#include "integration/sections.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

using namespace carvela;

namespace {

class SilentDialogs : public OperatorDialogs {
public:
    void inform(const QString&) override {}
    void showError(const QString& text) override { QTextStream(stderr) << text << Qt::endl; }
    bool ask(const QString&, const QString&) override { return false; }
};

void fillPointOfSale(const QString& file, int rows)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(file);
    db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    q.exec(QStringLiteral("DELETE FROM clientes"));
    q.exec(QStringLiteral("DELETE FROM fornecedores"));
    q.exec(QStringLiteral("DELETE FROM produtos"));
    for (int i = 1; i <= rows; ++i) {
        q.exec(QStringLiteral("INSERT INTO clientes (CODIGO, nome, NUMERO, COD_MUNICIPIO, DT_CADASTRO, DT_NASCIMENTO) "
                              "VALUES ('%1', 'Cliente Número %1', '%1', '2304400', '2024-03-07', '1980-01-01')")
                   .arg(i));
        q.exec(QStringLiteral("INSERT INTO produtos (codigo, descricao, cod_grupo, cod_marca, cod_barras, cod_ncm) "
                              "VALUES ('%1', 'Produto Nº %1', '01', '0001', '789%1', '27101259')")
                   .arg(i));
        if (i % 10 == 0)
            q.exec(QStringLiteral("INSERT INTO fornecedores (codigo, razao_social, CPF_CNPJ, TRANSPORTADORA) "
                                  "VALUES ('%1', 'Fornecedor %1', '12345678000195', 'N')")
                       .arg(i / 10));
    }
    q.exec(QStringLiteral("COMMIT"));
    q = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    if (rows <= 0) {
        QTextStream(stderr) << "usage: carvela_bench [ROWS]" << Qt::endl;
        return 2;
    }
    QTemporaryDir dir;
    createDemoStation(dir.path());
    fillPointOfSale(dir.filePath(QStringLiteral("pos.sqlite")), rows);

    SilentDialogs dialogs;
    Integration integration(settings::filePath(dir.path()), dialogs);
    installSections(integration);
    integration.Timer1().stop();
    integration.FormCreate();
    integration.state().setBox(StationState::Box::cbIntMov, false);
    integration.state().setRsAtiva(true);
    integration.lists().load(settings::filePath(dir.path()), integration.state());

    QTextStream out(stdout);
    const int written = rows + rows / 10 + rows;
    for (const char* name : {"insert", "update"}) {
        QElapsedTimer clock;
        clock.start();
        integration.RunCycle();
        integration.Timer3().stop();
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (integration.lastCycleFailed()) {
            out << "cycle failed: " << integration.state().memo().join(u'\n') << Qt::endl;
            return 1;
        }
        out << QStringLiteral("%1 cycle: %2 rows in %3 s, %4 rows/s")
                   .arg(QLatin1String(name))
                   .arg(written)
                   .arg(seconds, 0, 'f', 2)
                   .arg(written / seconds, 0, 'f', 0)
            << Qt::endl;
    }
    out << QStringLiteral("peak memory: %1 MiB").arg(peakKilobytes() / 1024.0, 0, 'f', 1) << Qt::endl;
    return 0;
}
