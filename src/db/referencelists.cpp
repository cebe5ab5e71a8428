#include "db/referencelists.h"

#include "core/failure.h"
#include "core/settings.h"
#include "core/stationstate.h"

namespace carvela {
namespace {

// The lists' fields, as the combos and the bank-movement import read them. A table that lacks one
// of them makes its list fail to open.
const QStringList branchFields = {"Cnpj", "NomeFilial", "Fantasia", "CnpjFilial", "idfilial"};
const QStringList documentTypeFields = {"IdTipoDoc", "Descricao", "TpFinanceiro", "TpEstoque",  "CamposFiscais",
                                        "Tipo",      "Cfop",      "CfopFora",     "SeqCfopIni", "SeqCfopFim",
                                        "IdNatOper", "Devolucao", "Serie",        "Modelo",     "IdEstoqueFiscal"};
const QStringList natureFields = {"Id_NatOper", "DESCRICAO", "OBSICMS", "PercIcms", "Cfop"};
const QStringList costCentreFields = {"IdCCusto", "DescricaoCcusto"};

void requireFields(const Query& list, const QStringList& fields)
{
    for (const QString& field : fields)
        if (!list.hasField(field))
            throw Failure(QStringLiteral("%1: Field '%2' not found").arg(list.name(), field));
}

QVariantMap fieldsOf(const Query& list, const QStringList& names)
{
    QVariantMap map;
    for (const QString& name : names)
        map.insert(name.toLower(), list.value(name));
    return map;
}

// Reads a whole list into lookup rows, leaving the query open on its first row.
template <typename MakeRow> QVector<LookupRow> rowsOf(Query& list, MakeRow makeRow)
{
    QVector<LookupRow> rows;
    for (list.first(); !list.eof(); list.next())
        rows.append(makeRow(list));
    list.first();
    return rows;
}

void reopen(Query& list, const QStringList& fields)
{
    list.close();
    list.open();
    requireFields(list, fields);
}

} // namespace

ReferenceLists::ReferenceLists(Connection& erp)
    : QyFilial(QStringLiteral("QyFilial"), erp)
    , QyTpdoc(QStringLiteral("QyTpdoc"), erp)
    , NatOper(QStringLiteral("NatOper"), erp)
    , cCusto1(QStringLiteral("cCusto1"), erp)
    , cCusto2(QStringLiteral("cCusto2"), erp)
{
    QyFilial.setSql({QStringLiteral("SELECT E.Cnpj, F.NomeFilial, F.Fantasia, F.Cnpj AS CnpjFilial, f.idfilial"),
                     QStringLiteral("  FROM Empresa AS E INNER JOIN  Filial AS F ON E.IdEmpresa = F.IdEmpresa")});
    QyTpdoc.setSql({QStringLiteral("Select * from IvTpdoc"), QStringLiteral("Where Tipo = 'E'")});
    NatOper.setSql({QStringLiteral("Select * from NatOperacao"), QStringLiteral(" where entradasaida = 'E'"),
                    QStringLiteral("order by descricao")});
    cCusto1.setSql({QStringLiteral("select * from CentroCusto")});
    cCusto2.setSql({QStringLiteral("select * from CentroCusto")});
}

QString ReferenceLists::DescCfop(const QString& cfop, const QString& descricao)
{
    return QString(cfop + u'-' + descricao).left(50);
}

void ReferenceLists::load(const QString& settingsPath, StationState& state)
{
    const int filial = settings::readFilialForLists(settingsPath);

    reopen(QyFilial, branchFields);
    state.cbFilial().openList(rowsOf(QyFilial, [](const Query& q) {
        const QString name = q.asString(QStringLiteral("Fantasia"));
        return LookupRow{q.asString(QStringLiteral("idfilial")), {name}, name, fieldsOf(q, branchFields)};
    }));
    state.cbFilial().setKey(QString::number(filial));

    reopen(QyTpdoc, documentTypeFields);
    state.EdtTpDoc().openList(rowsOf(QyTpdoc, [](const Query& q) {
        const QString description = q.asString(QStringLiteral("Descricao"));
        const QString id = q.asString(QStringLiteral("IdTipoDoc"));
        return LookupRow{id, {description, id}, description, {}};
    }));

    if (!NatOper.isOpen()) {
        NatOper.open();
        requireFields(NatOper, natureFields);
        state.edtOper().openList(rowsOf(NatOper, [](const Query& q) {
            const QString cfop = q.asString(QStringLiteral("Cfop"));
            const QString description = q.asString(QStringLiteral("DESCRICAO"));
            return LookupRow{
                q.asString(QStringLiteral("Id_NatOper")), {cfop, description}, DescCfop(cfop, description), {}};
        }));
    }

    auto costCentre = [](const Query& q) {
        const QString description = q.asString(QStringLiteral("DescricaoCcusto"));
        return LookupRow{q.asString(QStringLiteral("IdCCusto")), {description}, description, {}};
    };
    reopen(cCusto1, costCentreFields);
    state.edtCcusto().openList(rowsOf(cCusto1, costCentre));
    reopen(cCusto2, costCentreFields);
    state.edtCcusto2().openList(rowsOf(cCusto2, costCentre));

    settings::readListKeys(settingsPath, state);
}

const QVariantMap* ReferenceLists::chosenBranch(const StationState& state) const
{
    const LookupRow* row = state.cbFilial().current();
    return row && state.cbFilial().key() ? &row->fields : nullptr;
}

} // namespace carvela
