#include "integration/rowunit.h"

#include "core/failure.h"
#include "integration/integration.h"

namespace carvela {

Written written(Upserted upserted)
{
    switch (upserted) {
    case Upserted::Inserted:
        return Written::Inserted;
    case Upserted::Updated:
        return Written::Updated;
    case Upserted::Unchanged:
        break;
    }
    return Written::AlreadyThere;
}

UnitWriter::UnitWriter(Integration& integration)
    : m_integration(integration)
{
    m_integration.forgetReferences();
}

UnitWriter::~UnitWriter()
{
    if (!m_batch)
        return;
    try {
        m_batch->commit();
    } catch (const Failure&) {
        // Already on the way out with a failure of the station, which is what the operator sees.
    }
}

void UnitWriter::finish()
{
    if (!m_batch)
        return;
    m_batch->commit();
    m_batch.reset();
}

bool UnitWriter::write(const std::function<Written()>& write)
{
    Integration& integration = m_integration;
    ++integration.sectionCounts().read;
    Written written = Written::AlreadyThere;
    if (!m_batch && !integration.unitsAlone())
        m_batch.emplace(integration.conexao());
    try {
        Transaction unit(integration.conexao());
        written = write();
        unit.commit();
    } catch (const RowFailure& failure) {
        integration.endUnitReferences(false);
        integration.reportRowFailure(failure.message());
        if (integration.conexao().batchBroken()) {
            // The rows the batch held are gone with it: never taken as written. The cycle ends
            // here, holds its date, and the next one copies them again, one unit at a time.
            integration.setUnitsAlone();
            integration.forgetReferences();
            throw Failure(QStringLiteral("%1: o servidor desfez o lote inteiro ao recusar a linha; as linhas "
                                         "do lote serão copiadas de novo, uma a uma")
                              .arg(integration.conexao().name()),
                          integration.conexao().name());
        }
        if (m_batch)
            m_batch->commitIfDue();
        return false;
    } catch (...) {
        integration.forgetReferences();
        throw;
    }
    integration.endUnitReferences(true);
    if (m_batch)
        m_batch->commitIfDue();
    // Looked up again: writing a unit may name a section of its own (a sale's items).
    SectionCounts& counts = integration.sectionCounts();
    switch (written) {
    case Written::Inserted:
        ++counts.inserted;
        break;
    case Written::Updated:
        ++counts.updated;
        break;
    case Written::AlreadyThere:
        ++counts.existing;
        break;
    }
    return true;
}

} // namespace carvela
