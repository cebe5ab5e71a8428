#include "support/teststation.h"

#include "core/inifile.h"
#include "core/settings.h"
#include "db/connectiontarget.h"
#include "fixtures/builders.h"
#include "integration/sections.h"

namespace carvela::test {
namespace {

QString cloudInitString(const TestDatabase& cloud)
{
    return cloud.engine() == QLatin1String("sqlite") ? cloud.initString() + QStringLiteral(";Schema=velcor")
                                                     : cloud.initString();
}

} // namespace

TestStation::TestStation(const QString& engine, const QString& prefix, const QString& cloudEngine)
    : m_engine(engine)
    , m_pos(engine, prefix + QStringLiteral("_pos"))
    , m_erp(engine, prefix + QStringLiteral("_erp"))
    , m_cloud(!cloudEngine.isEmpty()            ? cloudEngine
              : engine == QLatin1String("odbc") ? QStringLiteral("qpsql")
                                                : engine,
              prefix + QStringLiteral("_cloud"))
{
    applySchema(pos(), QStringLiteral("pos"));
    applySchema(erp(), QStringLiteral("erp"));
    applySchema(cloud(), QStringLiteral("cloud"));
    insertRow(erp(), QStringLiteral("Empresa"), {{"idempresa", 1}, {"cnpj", "12345678000190"}});
    insertRow(erp(), QStringLiteral("filial"),
              {{"idempresa", 1}, {"idfilial", 1}, {"fantasia", "Posto Central"}, {"cnpj", "12345678000270"}});
}

TestStation::~TestStation()
{
    m_integration.reset(); // closes its connections before the databases go
}

void TestStation::overrideConnection(const QString& section, const QString& connectionString)
{
    m_connectionOverrides.append({section, connectionString});
}

QString TestStation::settingsPath() const
{
    return settings::filePath(m_dir.path());
}

void TestStation::writeFiles(const QList<std::pair<QString, QString>>& settingsKeys)
{
    const QString udl = m_dir.filePath(QStringLiteral("velcor.udl"));
    writeUdlFile(udl, m_erp.initString());
    IniFile ini(settingsPath());
    const QString p = settings::parametrosSection;
    ini.setValue(p, QStringLiteral("edtSql"), udl);
    ini.setValue(p, QStringLiteral("rsAtiva"), QStringLiteral("1"));
    ini.setValue(p, QStringLiteral("seTempo"), QStringLiteral("1000"));
    for (const auto& [key, value] : settingsKeys)
        ini.setValue(p, key, value);
    ini.setValue(settings::posSection, settings::connectionStringKey, m_pos.initString());
    ini.setValue(settings::cloudStoreSection, settings::connectionStringKey, cloudInitString(m_cloud));
    ini.setValue(settings::cloudMovementSection, settings::connectionStringKey, cloudInitString(m_cloud));
    for (const auto& [section, connectionString] : m_connectionOverrides)
        ini.setValue(section, settings::connectionStringKey, connectionString);
}

void TestStation::start(const QList<std::pair<QString, QString>>& settingsKeys)
{
    writeFiles(settingsKeys);

    m_integration = std::make_unique<Integration>(settingsPath(), dialogs);
    m_integration->Timer1().stop();
    installSections(*m_integration);
    m_integration->FormCreate();
    m_integration->Timer3().stop();
    m_integration->Timer1Timer(); // the lists load as the timer loads them; a failure goes to dialogs
}

void refuseAccountRows(TestStation& station, const QString& description)
{
    const QString quoted = QString(description).replace(u'\'', QStringLiteral("''"));
    if (station.engine() == QLatin1String("sqlite")) {
        exec(station.erp(), QStringLiteral("create trigger recusa before insert on ContaCorrente when new.Descricao = "
                                           "'%1' begin select raise(abort, 'lançamento recusado'); end")
                                .arg(quoted));
        return;
    }
    exec(station.erp(), QStringLiteral("create function recusa() returns trigger language plpgsql as 'begin "
                                       "if new.descricao = ''%1'' then raise exception ''lançamento recusado'' "
                                       "using errcode = ''check_violation''; end if; return new; end'")
                            .arg(QString(quoted).replace(u'\'', QStringLiteral("''"))));
    exec(station.erp(), QStringLiteral("create trigger recusa before insert on ContaCorrente "
                                       "for each row execute function recusa()"));
}

} // namespace carvela::test
