#include "integration/masterbycode.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/query.h"
#include "integration/customers.h"
#include "integration/integration.h"
#include "integration/masterdata.h"
#include "integration/products.h"
#include "integration/sectionrow.h"
#include "integration/suppliers.h"

namespace carvela {
namespace {

// While a routine reads one code, the source query's filter line holds it (as a bound parameter:
// a code with a quote in it must find its row, not break the statement). The line is emptied on
// every way out, so the next full read of the section is never limited to one code.
class CodeFilter {
public:
    CodeFilter(Query& source, const QString& code, bool clearOnExit)
        : m_source(source)
        , m_clearOnExit(clearOnExit)
    {
        m_source.close();
        m_source.setLine(1, QStringLiteral(" where codigo = :codigo "));
        m_source.setParam(QStringLiteral("codigo"), code);
        m_source.open();
    }
    ~CodeFilter()
    {
        if (m_clearOnExit)
            m_source.setLine(1, QString());
    }
    CodeFilter(const CodeFilter&) = delete;
    CodeFilter& operator=(const CodeFilter&) = delete;

private:
    Query& m_source;
    bool m_clearOnExit;
};

struct MasterByCode {
    Query& source;
    Query& target;
    QString keyParameter;
    const Mapping& mapping;
    QString table;
    QString nameColumn;
    QString missingMessage; // %1 the code
};

bool importByCode(Integration& integration, const MasterByCode& m, const QString& code)
{
    // A code that is no whole number is the walk-in record 1, and record 1 comes only from the
    // POS's own record 1: another record's data never lands under key 1.
    const int key = convert::toIntOr(code, 1);
    const QString sourceCode = convert::parseWholeNumber(code) ? code : QStringLiteral("1");
    m.target.close();
    m.target.setParam(m.keyParameter, key);
    m.target.open();
    if (!m.target.isEmpty()) {
        m.target.close();
        return false;
    }
    {
        CodeFilter filter(m.source, sourceCode, true);
        // The movement names a record the POS does not hold: refused rather than written empty.
        if (m.source.isEmpty())
            throw RowFailure(m.missingMessage.arg(sourceCode));
        m.target.append();
        SectionRow row(integration, m.source, m.target);
        const QString identity = rowIdentity(sourceCode, m.source.asString(m.nameColumn));
        writeMapping(m.mapping, row, true, m.table, identity);
        postRow(m.target, m.table, identity);
        m.source.close();
    }
    m.target.close();
    return true;
}

} // namespace

bool ImportCustomerByCode(Integration& integration, const QString& code)
{
    NamedQueries& q = integration.queries();
    return importByCode(integration,
                        {q.S_clientes, q.c_clientes, QStringLiteral("idcliente"), customerMapping(),
                         QStringLiteral("clientes"), QStringLiteral("nome"),
                         QStringLiteral("Cliente '%1' não encontrado no banco do PDV")},
                        code);
}

bool ImportSupplierByCode(Integration& integration, const QString& code)
{
    NamedQueries& q = integration.queries();
    return importByCode(integration,
                        {q.S_fornecedores, q.c_fornecedores, QStringLiteral("idfornecedor"), supplierMapping(),
                         QStringLiteral("fornecedores"), QStringLiteral("razao_social"),
                         QStringLiteral("Fornecedor '%1' não encontrado no banco do PDV")},
                        code);
}

bool ImportProductByCode(Integration& integration, const QString& code)
{
    NamedQueries& q = integration.queries();
    // The key the Products section gives the same code: a long code leads to the product that
    // exists, never to a second one.
    const QString key = convert::right(code, 15);
    // The product's filter stays on s_produtos; the Products section blanks it before its read.
    CodeFilter filter(q.s_produtos, code, false);
    q.c_produtos.close();
    q.c_produtos.setParam(QStringLiteral("idreferencia"), key);
    q.c_produtos.open();
    if (!q.c_produtos.isEmpty())
        return false;
    if (q.s_produtos.isEmpty())
        throw RowFailure(QStringLiteral("Produto '%1' não encontrado no banco do PDV").arg(code));
    q.c_produtos.append();
    SectionRow row(integration, q.s_produtos, q.c_produtos, key);
    const QString identity = rowIdentity(code, q.s_produtos.asString(QStringLiteral("descricao")));
    writeMapping(productMapping(), row, true, QStringLiteral("lj_produtos"), identity);
    postRow(q.c_produtos, QStringLiteral("lj_produtos"), identity);
    ensureBarcode(integration, row);
    return true;
}

} // namespace carvela
