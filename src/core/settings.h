#pragma once

#include <QLatin1String>
#include <QString>

namespace carvela {

class StationState;

// Parametros.ini, the station's settings file: section [Parametros] with the fifteen keys that
// "Salvar Parametros" writes, and one section per deployment connection, which the operator or
// the installer fills in and which a save never touches.
namespace settings {

inline constexpr QLatin1String fileName{"Parametros.ini"};
// The settings file of a station whose files live in directory.
QString filePath(const QString& directory);

inline constexpr QLatin1String parametrosSection{"Parametros"};
inline constexpr QLatin1String scheduleSection{"Agendamento"}; // nothing reads it; a save removes it

// Start-up: edtSql, Filial, ImoMov, Clientes, Fornecedores, Produtos, Usuarios, Vendas, Entradas,
// seTempo and rsAtiva, in this order, each straight into the state. A Filial that is not a whole
// number (the empty text included) throws Failure("'<value>' is not a valid integer value") and the
// keys after it are not read.
void readAtStartup(const QString& path, StationState& state);

// Loading the reference lists: the branch to locate once the branch list is open (1 when the
// stored value is not a whole number or is missing).
int readFilialForLists(const QString& path);
// Loading the reference lists, once they are open: cbIntMov from ImoMov, then the keys of
// EdtTpDoc, edtOper, edtCcusto and edtCcusto2 from TpDoc, NatOper, Custo1 and Custo2 ("1" each
// when missing).
void readListKeys(const QString& path, StationState& state);

// "Salvar Parametros": removes [Agendamento], then writes the fifteen keys in their order, each
// going to disk at once. A lookup control without a key stops the save at its key with
// Failure("Could not convert variant of type (Null) into type (String)"); a key that cannot be
// written stops it with Failure("Unable to write to <path>"). The keys before it stay written.
void save(const QString& path, const StationState& state);

// Deployment connections: key ConnectionString of a section of its own, as an OLE DB
// initialisation string; builtInDefault when the key is missing or empty.
inline constexpr QLatin1String connectionStringKey{"ConnectionString"};
inline constexpr QLatin1String erpSection{"conexao"};          // the ERP until a .udl file is applied
inline constexpr QLatin1String posSection{"Con_Quorim"};       // the point-of-sale database
inline constexpr QLatin1String cloudStoreSection{"ConServer"}; // the cloud, store look-up
inline constexpr QLatin1String cloudMovementSection{"ConMov"}; // the cloud, bank movements
QString connectionString(const QString& path, const QString& sectionName, const QString& builtInDefault);

// Built-in deployment defaults, used while the settings file does not name the connection.
inline constexpr QLatin1String defaultErpConnection{
    "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=sa;Password=vc3;Initial Catalog=Postos;"
    "Data Source=SERVIDOR\\SQLEXPRESS"};
inline constexpr QLatin1String defaultPosConnection{
    "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=quori;Password=Qu0r1m@24;"
    "Initial Catalog=Quorim;Data Source=192.168.0.10"};
inline constexpr QLatin1String defaultCloudStoreConnection{
    "Provider=PostgreSQL;Data Source=203.0.113.10;Port=5432;Initial Catalog=postgres;"
    "User ID=integrad;Password=Nv3m@Clo2024"};
inline constexpr QLatin1String defaultCloudMovementConnection{
    "Provider=PostgreSQL;Data Source=192.168.0.20;Port=5432;Initial Catalog=postgres;"
    "User ID=integrad;Password=M0v@Banc024"};

// [Carvela] SomenteAlterados=1: a master row is written only when a value other than the current
// time or date differs from the ERP row. Off (missing, or anything but "1"), every customer,
// supplier and product is rewritten on every cycle. Never written by "Salvar Parametros".
inline constexpr QLatin1String carvelaSection{"Carvela"};
inline constexpr QLatin1String writeOnlyChangedKey{"SomenteAlterados"};
bool writeOnlyChanged(const QString& path);

} // namespace settings
} // namespace carvela
