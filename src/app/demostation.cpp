#include "app/demostation.h"

#include "core/failure.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "db/connectiontarget.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The resources live in a static library: the linker keeps them only when asked by name.
static void initDemoResources()
{
    Q_INIT_RESOURCE(demo);
}

namespace carvela {
namespace {

QString resourceText(const QString& name)
{
    QFile file(QStringLiteral(":/demo/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Recurso de demonstração ausente: %1").arg(name));
    return QString::fromUtf8(file.readAll());
}

// The demo's movements fall on the last days: {D-2} in a script becomes the date two days ago.
QString withDates(QString script)
{
    const QDate today = QDate::currentDate();
    for (int back = 0; back <= 7; ++back)
        script.replace(QStringLiteral("{D-%1}").arg(back), today.addDays(-back).toString(Qt::ISODate));
    return script;
}

// Splits a script at the semicolons that end a line; comment lines are dropped.
QStringList statementsOf(const QString& script)
{
    QStringList statements;
    QString current;
    for (const QString& line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")) || trimmed.isEmpty())
            continue;
        current += line + u'\n';
        if (trimmed.endsWith(u';')) {
            statements << current.trimmed().chopped(1);
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

void createDatabase(const QString& file, const QStringList& scripts)
{
    QFile::remove(file);
    const QString connectionName = QStringLiteral("demo-") + file;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(file);
        if (!db.open())
            throw Failure(QStringLiteral("Não foi possível criar %1: %2").arg(file, db.lastError().text()));
        QSqlQuery q(db);
        q.exec(QStringLiteral("BEGIN"));
        for (const QString& script : scripts) {
            for (const QString& statement : statementsOf(withDates(resourceText(script)))) {
                if (!q.exec(statement))
                    throw Failure(QStringLiteral("%1: %2\n%3").arg(file, q.lastError().text(), statement));
            }
        }
        q.exec(QStringLiteral("COMMIT"));
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

} // namespace

QStringList demoStatements(const QString& script)
{
    initDemoResources();
    return statementsOf(withDates(resourceText(script)));
}

void createDemoStation(const QString& directory)
{
    initDemoResources();
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral(".")))
        throw Failure(QStringLiteral("Não foi possível criar a pasta %1").arg(directory));
    const QString pos = dir.absoluteFilePath(QStringLiteral("pos.sqlite"));
    const QString erp = dir.absoluteFilePath(QStringLiteral("erp.sqlite"));
    const QString cloud = dir.absoluteFilePath(QStringLiteral("cloud.sqlite"));
    createDatabase(pos, {QStringLiteral("pos-schema.sql"), QStringLiteral("pos-demo.sql")});
    createDatabase(erp, {QStringLiteral("erp-schema.sql"), QStringLiteral("erp-demo.sql")});
    createDatabase(cloud, {QStringLiteral("cloud-schema.sql"), QStringLiteral("cloud-demo.sql")});
    const QString udl = dir.absoluteFilePath(QStringLiteral("erp.udl"));
    writeUdlFile(udl, QStringLiteral("Provider=SQLite;Data Source=erp.sqlite"));

    const QString ini = settings::filePath(dir.absolutePath());
    QFile::remove(ini);
    IniFile file(ini);
    const QString p = settings::parametrosSection;
    const std::pair<const char*, QString> keys[] = {
        {"edtSql", udl},   {"Filial", "1"},   {"ImoMov", "1"},  {"Clientes", "1"}, {"Fornecedores", "1"},
        {"Produtos", "1"}, {"Usuarios", "0"}, {"Vendas", "1"},  {"Entradas", "1"}, {"seTempo", "5"},
        {"rsAtiva", "0"},  {"TpDoc", "2"},    {"NatOper", "2"}, {"Custo1", "1"},   {"Custo2", "2"},
    };
    for (const auto& [key, value] : keys)
        file.setValue(p, QLatin1String(key), value);
    file.setValue(settings::posSection, settings::connectionStringKey,
                  QStringLiteral("Provider=SQLite;Data Source=") + pos);
    const QString cloudString = QStringLiteral("Provider=SQLite;Data Source=%1;Schema=velcor").arg(cloud);
    file.setValue(settings::cloudStoreSection, settings::connectionStringKey, cloudString);
    file.setValue(settings::cloudMovementSection, settings::connectionStringKey, cloudString);
}

} // namespace carvela
