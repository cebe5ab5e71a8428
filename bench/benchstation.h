#pragma once

#include "support/teststation.h"

#include <memory>
#include <QString>

namespace carvela::bench {

// How much a station holds: the day of a busy station at scale 1.
struct Volume {
    int customers = 10000;
    int suppliers = 1000;
    int products = 10000;
    int sales = 2000;
    int itemsPerSale = 5;
    int purchases = 300;
    int itemsPerPurchase = 3;
    int instalments = 2;
    int movements = 1000;

    static Volume scaled(double factor);
};

// A station on one engine ("sqlite", "qpsql", or "odbc" for the ERP through QODBC): the demo's
// company, branches, stores and banks, and generated master data, sales, fuel purchases with their
// titles and bank movements, all of today. Stations built with the same volume hold the same rows.
class BenchStation {
public:
    BenchStation(const QString& engine, const Volume& volume, bool writeOnlyChanged);
    test::TestStation& station() { return *m_station; }
    Integration& integration() { return m_station->integration(); }

private:
    std::unique_ptr<test::TestStation> m_station;
};

} // namespace carvela::bench
