#include "integration/productreferences.h"

#include "core/conversions.h"
#include "db/mapping.h"
#include "integration/integration.h"
#include "integration/sectionrow.h"

namespace carvela {
namespace {

QVariant codeAsNumber(RowContext& row)
{
    return row.key.toInt();
}

// A reference the ERP keys by the POS code read as a whole number; only ever inserted.
int importReference(Integration& integration, Query& erp, Query& pos, const QString& erpParameter,
                    const QString& erpKeyColumn, const Mapping& mapping, const QString& table, const QString& code)
{
    const QString known = table + u':' + QString::number(convert::toInt(code));
    if (const std::optional<int> id = integration.knownReference(known))
        return *id;
    erp.close();
    erp.setParam(erpParameter, convert::toInt(code));
    erp.open();
    const bool held = !erp.isEmpty();
    if (!held) {
        pos.close();
        pos.setParam(QStringLiteral("codigo"), code);
        pos.open();
        if (!pos.isEmpty()) {
            erp.append();
            SectionRow row(integration, pos, erp, QString::number(convert::toInt(code)));
            const QString identity = QStringLiteral("código %1").arg(code);
            writeMapping(mapping, row, true, table, identity);
            postRow(erp, table, identity);
        }
    }
    const int result = convert::toIntOr(erp.asString(erpKeyColumn), 1);
    if (held)
        integration.noteReference(known, result);
    erp.close();
    pos.close();
    return result;
}

} // namespace

const Mapping& groupMapping()
{
    static const Mapping mapping = {
        setting("IdEmpresa", "cbFilial"),
        computed("IdGrupo", codeAsNumber),
        text("Descricao", "descricao"),
        now("DataAlteracao"),
    };
    return mapping;
}

const Mapping& brandMapping()
{
    static const Mapping mapping = {
        computed("IdMarca", codeAsNumber),
        text("DescricaoMarca", "descricao"),
        constant("Grupo", QStringLiteral("P")),
    };
    return mapping;
}

void prepareProductReferenceQueries(NamedQueries& q)
{
    q.c_grupos.setSql({QStringLiteral("select * from ivgrupo"), QStringLiteral(" where idgrupo = :idgrupo")});
    q.c_grupos.declareParam(QStringLiteral("idgrupo"), Query::ParamType::Int32);
    q.c_grupos.setTarget(QStringLiteral("ivgrupo"), {QStringLiteral("IdGrupo")});
    q.s_grupos.setSql({QStringLiteral("select * from grupos"), QStringLiteral("  where codigo = :codigo"), QString(),
                       QStringLiteral("order by codigo")});
    q.s_grupos.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 2);
    q.c_marca.setSql({QStringLiteral("select * from marcas"), QStringLiteral(" where idmarca = :idmarca")});
    q.c_marca.declareParam(QStringLiteral("idmarca"), Query::ParamType::Int32);
    q.c_marca.setTarget(QStringLiteral("marcas"), {QStringLiteral("IdMarca")});
    q.s_marca.setSql({QStringLiteral("select * from marcas"), QStringLiteral("  where codigo = :codigo"), QString(),
                      QStringLiteral("order by codigo")});
    q.s_marca.declareParam(QStringLiteral("codigo"), Query::ParamType::Text, 4);
}

int ImportGroup(Integration& integration, const QString& code)
{
    NamedQueries& q = integration.queries();
    return importReference(integration, q.c_grupos, q.s_grupos, QStringLiteral("idgrupo"), QStringLiteral("IdGrupo"),
                           groupMapping(), QStringLiteral("ivgrupo"), code);
}

int ImportBrand(Integration& integration, const QString& code)
{
    NamedQueries& q = integration.queries();
    return importReference(integration, q.c_marca, q.s_marca, QStringLiteral("idmarca"), QStringLiteral("IdMarca"),
                           brandMapping(), QStringLiteral("marcas"), code);
}

} // namespace carvela
