#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <vector>

namespace carvela {

class Query;
class StationState;

// One source row being written into one ERP row. A layer above may derive from it to hand its
// computed rows more (the cycle hands them itself).
struct RowContext {
    RowContext(const StationState& state, const Query& source, Query& target, QString key = {})
        : state(state)
        , source(source)
        , target(target)
        , key(std::move(key))
    {
    }
    virtual ~RowContext() = default;

    const StationState& state;
    const Query& source;
    Query& target;
    QString key; // the ERP key of the row, where a row takes it whole (products)
    QDateTime now = QDateTime::currentDateTime();
};

// The conversion words of the mapping tables.
enum class Conversion {
    Text,     // the source as text
    Int,      // a whole number; anything else is an error
    IntOr,    // a whole number, or the argument when the text is not one
    Float,    // a floating-point number
    DateTime, // a date and time
    Date,     // a POS date text yyyy-mm-dd as a date
    Dmy,      // a POS date text yyyy-mm-dd read day first, written as a date
    Right,    // the last n characters
    Now,      // the current date and time
    Today,    // the current date
    Const,    // the argument
    Empty,    // the empty text, never null
    Setting,  // the key chosen in a lookup control of the settings tab, null when none
    Computed, // what the row's function gives
};

// When a row is written.
enum class Condition {
    EveryTime,
    InsertOnly,
    SourceNotEmpty, // only when the source text is not empty; otherwise the column is not touched
    SourceEquals,   // only when a source column's text is exactly the condition's value
};

struct MappingRow {
    QString column;
    QString source;
    Conversion conversion = Conversion::Text;
    QVariant argument;
    Condition when = Condition::EveryTime;
    QString whenSource;
    QString whenValue;
    QVariant (*compute)(RowContext&) = nullptr;

    MappingRow insertOnly() const;
    MappingRow onlyWhenSourceNotEmpty() const;
    MappingRow onlyWhenSourceIs(const char* sourceColumn, const QString& value) const;
};

using Mapping = std::vector<MappingRow>;

// Builders, one per conversion word, so a table reads like the mapping it implements.
MappingRow text(const char* column, const char* source);
MappingRow toInt(const char* column, const char* source);
MappingRow toIntOr(const char* column, const char* source, int fallback);
MappingRow toFloat(const char* column, const char* source);
MappingRow toDateTime(const char* column, const char* source);
MappingRow isoDate(const char* column, const char* source);
MappingRow dmy(const char* column, const char* source);
MappingRow right(const char* column, const char* source, int n);
MappingRow now(const char* column);
MappingRow today(const char* column);
MappingRow constant(const char* column, const QVariant& value);
MappingRow empty(const char* column);
MappingRow setting(const char* column, const char* control);
MappingRow computed(const char* column, QVariant (*compute)(RowContext&));
// The row's key as the context holds it.
MappingRow key(const char* column);

// "clientes, código 7 (Ana), coluna DataCadastro: <what>": a row failure as the operator reads it.
QString rowFailureText(const QString& table, const QString& rowIdentity, const QString& column, const QString& what);
// A key of the row as a whole number; a RowFailure naming the table, the row and the column when
// the text is none.
int wholeNumberOf(const QString& text, const QString& table, const QString& rowIdentity, const QString& column);

// Sets, in the table's order, every row that applies to the target's row being appended
// (inserting) or edited. A value that does not convert is a RowFailure that names the table, the
// source row, the column and the value; failures of the station pass unchanged.
void writeMapping(const Mapping& mapping, RowContext& row, bool inserting, const QString& table,
                  const QString& rowIdentity);

// Posts the target's row; a row the ERP refuses for its data is a RowFailure that names the table
// and the source row.
void postRow(Query& target, const QString& table, const QString& rowIdentity);

// What a keyed upsert did.
enum class Upserted { Inserted, Updated, Unchanged };

// The keys an ERP table holds, read in one statement when a section starts, so that a keyed
// upsert neither asks for a row it is about to overwrite nor tries an update it knows is in vain.
// Keys compare as the ERP may compare them: blanks at the end and case aside. A key taken as held
// by mistake costs an update that finds nothing, then the insert.
//
// Loaded with the rows' values (writing only what changed), it also tells whether the values a
// mapping gives are those the ERP holds, without a statement per row.
class KnownKeys {
public:
    void load(Query& target, const QString& keyColumn);
    void loadWithValues(Query& target, const QString& keyColumn);
    bool contains(const QVariant& key) const { return m_keys.contains(normalized(key)); }
    void insert(const QVariant& key)
    {
        m_keys.insert(normalized(key));
        m_exact.insert(trimmedKey(key));
    }
    bool holdsValues() const { return m_withValues; }
    // The values the ERP holds for the key's row, or nullptr.
    const std::vector<QVariant>* values(const QVariant& key) const;
    void forgetValues(const QVariant& key);
    // Whether the key is held as written, not only as the ERP may compare it.
    bool containsExactly(const QVariant& key) const { return m_exact.contains(trimmedKey(key)); }
    // The place of a column in values(), or -1.
    int columnIndex(const QString& column) const
    {
        if (const auto found = m_columnIndex.constFind(column); found != m_columnIndex.constEnd())
            return found.value();
        const int index = m_columnIndex.value(column.toCaseFolded(), -1);
        if (index >= 0)
            m_columnIndex.insert(column, index); // the mapping asks with the same spelling every row
        return index;
    }

private:
    static QString normalized(const QVariant& key);
    static QString trimmedKey(const QVariant& key);
    void read(Query& target, const QString& keyColumn, bool withValues);
    QSet<QString> m_keys;
    QSet<QString> m_exact;
    bool m_withValues = false;
    mutable QHash<QString, int> m_columnIndex;
    QHash<QString, std::vector<QVariant>> m_values;
};

// The keyed upsert of the master data: close the target, set its key parameter, open it; with no
// row append (insert-only rows too), else edit; write the mapping; post. With onlyWhenChanged, an
// existing row whose values (the current time and date aside) are those the mapping gives is left
// as it is, unwritten.
// With known keys (and not onlyWhenChanged) nothing is read: a held key is updated in one
// statement, and a new one inserted in one.
Upserted keyedUpsert(const Mapping& mapping, RowContext& row, const QString& keyParameter, const QVariant& key,
                     const QString& table, const QString& rowIdentity, bool onlyWhenChanged = false,
                     KnownKeys* known = nullptr);

} // namespace carvela
