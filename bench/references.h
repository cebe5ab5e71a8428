#pragma once

#include "support/teststation.h"

#include <map>
#include <memory>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace carvela::bench {

// Every row of every ERP table of a station, read through Qt, with each table's primary key.
class ErpSnapshot {
public:
    struct Table {
        QString name;
        QStringList columns;
        std::vector<int> key; // indexes of the primary key's columns
        std::vector<QVariantList> rows;
    };
    explicit ErpSnapshot(test::TestStation& station);
    const std::vector<Table>& tables() const { return m_tables; }
    const Table* table(const QString& name) const;
    // Empty when both hold the same rows, the current date and time aside; else the first table
    // that differs and how.
    QString differenceFrom(const ErpSnapshot& other) const;

private:
    std::vector<Table> m_tables;
};

// One of the references our cycle is measured against, run on a station of its own that holds
// the same rows: it reads what the section reads and writes, through the database's C library,
// the rows our cycle wrote (first phase) or what it rewrites (steady phase).
//   Floor: statements prepared once, one transaction per section; an existing master row is one
//          UPDATE (a product's barcode one keyed SELECT more), an existing movement one keyed SELECT.
//   Naive: a SELECT by key, then an UPDATE or an INSERT, each prepared afresh, one commit per row.
class Reference {
public:
    enum class Kind { Floor, Naive };
    enum class Phase { First, Steady };
    struct Timing {
        double seconds = 0;
    };
    Reference(test::TestStation& station, Kind kind);
    ~Reference();
    // Seconds per section ("customers" ... "bank", and "other" for tables no section owns).
    std::map<QString, Timing> run(Phase phase, const ErpSnapshot& before, const ErpSnapshot& after);

    class Database;

private:
    test::TestStation& m_station;
    Kind m_kind;
    std::unique_ptr<Database> m_erp;
    std::unique_ptr<Database> m_pos;
    std::unique_ptr<Database> m_cloud;
};

} // namespace carvela::bench
