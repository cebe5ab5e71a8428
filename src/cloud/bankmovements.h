#pragma once

#include "core/cyclesummary.h"
#include "db/mapping.h"
#include "db/query.h"

#include <functional>

namespace carvela {

class Connection;
class ReferenceLists;
class StationState;

// Copies the cloud's bank movements not yet imported, of the store that matches the ERP branch
// chosen in the settings, into the ERP's ContaCorrente, and marks each one imported in the cloud.
class BankMovementImport {
public:
    BankMovementImport(Connection& erp, Connection& conServer, Connection& conMov);

    // Reports a movement the ERP refused (or whose values do not convert): it is neither written
    // nor marked, and the run goes on with the next one.
    using RowFailed = std::function<void(const QString& message)>;

    // Whether a run would go to the cloud: the option ticked, a branch chosen and found in the
    // branch list, the switch on.
    static bool guardPasses(const StationState& state, const ReferenceLists& lists);

    // One run, when the guard passes. With the branch list not loaded yet it does nothing but note
    // that once in the log. Each movement is its ERP row, in a transaction of its own, and then its
    // mark. Other errors reach the caller after the run's end steps (queries and both cloud
    // connections closed).
    void ImportBankMovements(StationState& state, const ReferenceLists& lists, BankCounts& counts,
                             const RowFailed& rowFailed);

    // A movement as ContaCorrente holds it, in the order the columns are set.
    static const Mapping& movementMapping();

    Query z_loja;
    Query z_apoioM;
    Query z_udpM;
    Query QyApoio;
    Query c_movimento; // the movements of a run that the ERP already holds

private:
    int storeOf(const QVariantMap& branch);
    void copy(StationState& state, BankCounts& counts, const RowFailed& rowFailed);

    Connection& m_erp;
    Connection& m_conServer;
    Connection& m_conMov;
};

} // namespace carvela
