#pragma once

#include "db/query.h"

namespace carvela {

class Connection;
class StationState;

// The ERP lists the settings tab offers: branches, document types of purchase entries, natures of
// operation and cost centres (twice, one cursor per combo).
class ReferenceLists {
public:
    explicit ReferenceLists(Connection& erp);

    // The loading step: reads Filial from the settings file, opens the lists in their order and
    // hands the stored keys to the lookup controls. An error stops it where it happens.
    void load(const QString& settingsPath, StationState& state);
    bool isBranchListOpen() const { return QyFilial.isOpen(); }

    // The row of the chosen branch (Cnpj, CnpjFilial, ...), or nothing when no branch is chosen.
    const QVariantMap* chosenBranch(const StationState& state) const;

    // Cfop + "-" + DESCRICAO, cut to 50 characters.
    static QString DescCfop(const QString& cfop, const QString& descricao);

    Query QyFilial;
    Query QyTpdoc;
    Query NatOper;
    Query cCusto1;
    Query cCusto2;
};

} // namespace carvela
