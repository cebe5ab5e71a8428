#pragma once

#include "core/stationstate.h"
#include "db/mapping.h"

namespace carvela {

class Integration;
class Query;

// What differs between the customer and the supplier sections; the steps are the same.
struct MasterTable {
    QString label;
    QString openingCaption;
    StationState::Bar bar;
    Query& source;
    Query& target;
    QString table;
    QString codeColumn;
    QString nameColumn; // also the caption of each row
    QString keyParameter;
    const Mapping& mapping;
};

// Reads the whole POS table and upserts every row keyed by its code, each row one ERP unit. A row
// whose code is empty or not a whole number is a row failure, instead of landing on ERP record 1.
void copyMasterTable(Integration& integration, const MasterTable& t);

// "código 7 (Ana Maria)": how a failing source row is named in an error.
QString rowIdentity(const QString& code, const QString& name);

} // namespace carvela
