#pragma once

#include "db/mapping.h"
#include "db/query.h"

namespace carvela {

class Connection;
class ReferenceLists;
class StationState;

// Copies the cloud's bank movements not yet imported, of the store that matches the ERP branch
// chosen in the settings, into the ERP's ContaCorrente, and marks each one imported in the cloud.
class BankMovementImport {
public:
    BankMovementImport(Connection& erp, Connection& conServer, Connection& conMov);

    // One run, when the option is ticked, a branch is chosen and the switch is on. Errors reach
    // the caller after the run's end steps (queries and both cloud connections closed).
    void ImportBankMovements(StationState& state, const ReferenceLists& lists);

    // A movement as ContaCorrente holds it, in the order the columns are set.
    static const Mapping& movementMapping();

    Query z_loja;
    Query z_apoioM;
    Query z_udpM;
    Query QyApoio;
    Query c_movimento; // finds a movement the ERP already holds

private:
    int storeOf(const QVariantMap& branch);
    void copy(StationState& state);

    Connection& m_erp;
    Connection& m_conServer;
    Connection& m_conMov;
};

} // namespace carvela
