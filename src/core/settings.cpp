#include "core/settings.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "core/inifile.h"
#include "core/stationstate.h"

#include <QDir>

namespace carvela::settings {

namespace {

// The keys of [Parametros], in the order a save writes them.
constexpr QLatin1String edtSqlKey{"edtSql"};
constexpr QLatin1String filialKey{"Filial"};
struct BoxKey {
    QLatin1String key;
    StationState::Box box;
};
constexpr BoxKey boxKeys[] = {
    {QLatin1String("ImoMov"), StationState::Box::cbIntMov},
    {QLatin1String("Clientes"), StationState::Box::cbClientes},
    {QLatin1String("Fornecedores"), StationState::Box::cbFornecedores},
    {QLatin1String("Produtos"), StationState::Box::cbProdutos},
    {QLatin1String("Usuarios"), StationState::Box::cbUsuarios},
    {QLatin1String("Vendas"), StationState::Box::cbVendas},
    {QLatin1String("Entradas"), StationState::Box::cbEntrada},
};
constexpr QLatin1String seTempoKey{"seTempo"};
constexpr QLatin1String rsAtivaKey{"rsAtiva"};
constexpr QLatin1String tpDocKey{"TpDoc"};
constexpr QLatin1String natOperKey{"NatOper"};
constexpr QLatin1String custo1Key{"Custo1"};
constexpr QLatin1String custo2Key{"Custo2"};

const QString one = QStringLiteral("1");
const QString zero = QStringLiteral("0");

// A check box is ticked exactly when its key reads "1"; a missing key reads "1".
bool readBox(const IniFile& ini, QLatin1String key)
{
    return ini.value(parametrosSection, key, one) == one;
}

} // namespace

QString filePath(const QString& directory)
{
    return QDir(directory).filePath(fileName);
}

void readAtStartup(const QString& path, StationState& state)
{
    const IniFile ini(path);
    state.setEdtSql(ini.value(parametrosSection, edtSqlKey));
    state.cbFilial().setKey(QString::number(convert::settingToInt(ini.value(parametrosSection, filialKey, one))));
    for (const BoxKey& entry : boxKeys)
        state.setBox(entry.box, readBox(ini, entry.key));
    state.setSeTempo(convert::settingToIntOr(ini.value(parametrosSection, seTempoKey), 0));
    state.setRsAtiva(convert::settingToIntOr(ini.value(parametrosSection, rsAtivaKey), 0) != 0);
}

bool writeOnlyChanged(const QString& path)
{
    return IniFile(path).value(carvelaSection, writeOnlyChangedKey) == one;
}

int readFilialForLists(const QString& path)
{
    return convert::settingToIntOr(IniFile(path).value(parametrosSection, filialKey, one), 1);
}

void readListKeys(const QString& path, StationState& state)
{
    const IniFile ini(path);
    state.setBox(StationState::Box::cbIntMov, readBox(ini, boxKeys[0].key));
    state.EdtTpDoc().setKey(ini.value(parametrosSection, tpDocKey, one));
    state.edtOper().setKey(ini.value(parametrosSection, natOperKey, one));
    state.edtCcusto().setKey(ini.value(parametrosSection, custo1Key, one));
    state.edtCcusto2().setKey(ini.value(parametrosSection, custo2Key, one));
}

void save(const QString& path, const StationState& state)
{
    IniFile ini(path);
    ini.removeSection(scheduleSection);
    const auto write = [&ini](QLatin1String key, const QString& value) { ini.setValue(parametrosSection, key, value); };
    const auto writeKeyOf = [&write](QLatin1String key, const LookupControl& control) {
        const std::optional<QString> chosen = control.key();
        if (!chosen)
            throw Failure(convert::nullToStringMessage());
        write(key, *chosen);
    };

    write(edtSqlKey, state.edtSql());
    writeKeyOf(filialKey, state.cbFilial());
    for (const BoxKey& entry : boxKeys)
        write(entry.key, state.box(entry.box) ? one : zero);
    write(seTempoKey, QString::number(state.seTempo()));
    write(rsAtivaKey, state.rsAtiva() ? one : zero);
    writeKeyOf(tpDocKey, state.EdtTpDoc());
    writeKeyOf(natOperKey, state.edtOper());
    writeKeyOf(custo1Key, state.edtCcusto());
    writeKeyOf(custo2Key, state.edtCcusto2());
}

QString connectionString(const QString& path, const QString& sectionName, const QString& builtInDefault)
{
    const QString value = IniFile(path).value(sectionName, connectionStringKey);
    return value.isEmpty() ? builtInDefault : value;
}

} // namespace carvela::settings
