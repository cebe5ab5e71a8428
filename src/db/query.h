#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

class QSqlQuery;

namespace carvela {

class Connection;

// A named SQL text bound to one connection, read whole into memory when opened. It offers what the
// sections use: lines of text, typed named parameters, row count, row number, end-of-data, first
// and next, fields by name without regard to case (null reads as "", 0 or the zero date-time),
// and, on a query declared with its target table and key, append / edit / set / post.
class Query {
public:
    enum class ParamType { Text, Int32, WideText };

    Query(QString name, Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const QString& name() const { return m_name; }
    Connection& connection() const { return *m_connection; }

    // --- text
    void setSql(QStringList lines);
    void clearSql() { setSql({}); }
    void addLine(const QString& line);
    void setLine(int index, const QString& line);
    const QStringList& lines() const { return m_lines; }
    QString sql() const { return m_lines.join(u'\n'); }

    // --- parameters, declared once, set by name (case ignored)
    void declareParam(const QString& name, ParamType type, int size = 0);
    void setParam(const QString& name, const QVariant& value);

    // --- writing: the table rows are appended to or updated in, and the key that finds a row
    void setTarget(QString table, QStringList keyColumns = {});
    const QString& table() const { return m_table; }
    const QStringList& keyColumns() const { return m_keyColumns; }

    // --- life
    void open(); // does nothing while open
    // Opens for one pass from the first row to the last, holding one row at a time, on a session
    // of its own so that the rows it brings in can be read meanwhile. rowCount() is counted first.
    void openStreamed();
    void close();
    bool isOpen() const { return m_open; }
    void execSql();
    // Rows the last execSql touched (-1 when the driver cannot tell).
    int rowsAffected() const { return m_rowsAffected; }

    // --- navigation
    int rowCount() const { return m_stream ? m_streamCount : static_cast<int>(m_rows.size()); }
    int recNo() const { return m_stream ? m_streamRecNo : (m_rows.empty() ? 0 : m_current + 1); }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_rows.empty(); }
    void first();
    void next();

    // --- fields of the current row (the row being written while appending or editing)
    bool hasField(const QString& name) const;
    QVariant value(const QString& name) const;
    bool isNull(const QString& name) const { return value(name).isNull(); }
    QString asString(const QString& name) const;
    int asInt(const QString& name) const;
    double asFloat(const QString& name) const;
    QDateTime asDateTime(const QString& name) const;

    // --- writing the current row
    void append();
    void edit();
    // Writing without reading first: append a row the table is known not to hold, or update the
    // row of this key (post() then updates nothing when there is none: see rowsAffected()).
    void appendUnread();
    void editUnread(const QVariantList& key);
    void setValue(const QString& name, const QVariant& value);
    void setNull(const QString& name);
    void post();
    void cancel();
    // While editing: whether any value set differs from the row as the database holds it, the
    // columns named in ignored aside. Numbers compare as numbers, dates by their date (and time).
    bool changesDiffer(const QStringList& ignored) const;
    // The same against a row held elsewhere: stored(column) is its value, or nullptr when the row
    // has no such column.
    bool changesDifferFrom(const std::function<const QVariant*(const QString&)>& stored,
                           const QStringList& ignored) const;
    bool isWriting() const { return m_state != State::Browse; }

    // --- master and detail: the detail runs again (close, bind, open) whenever the master moves
    // to another row or opens.
    void setMaster(Query& master, std::function<void(Query& detail, const Query& master)> bind);

private:
    enum class State { Browse, Insert, Edit };
    struct Param {
        QString name;
        ParamType type = ParamType::Text;
        int size = 0;
        QVariant value;
    };
    struct Change {
        QString column;
        QVariant value;
    };

    int columnIndex(const QString& name) const;
    const QVariant* changedValue(const QString& name) const;
    Param& param(const QString& name);
    // The text with :name placeholders turned into positional ones, and the names in order.
    std::pair<QString, QStringList> positional() const;
    int bindAndRun(QSqlQuery& statement, const QStringList& names);
    void moved();
    void readStreamRow();
    void clearChanges();
    void indexColumns();
    void requireTarget(const char* operation) const;
    [[noreturn]] void failField(const QString& name) const;

    QString m_name;
    Connection* m_connection;
    QStringList m_lines;
    std::vector<Param> m_params;
    QString m_table;
    QStringList m_keyColumns;

    bool m_open = false;
    QStringList m_columns;
    mutable QHash<QString, int> m_columnIndex; // case-folded and asked-for names -> column
    std::vector<std::vector<QVariant>> m_rows;
    int m_current = 0;
    bool m_eof = true;
    int m_rowsAffected = -1;

    State m_state = State::Browse;
    std::vector<Change> m_changes;
    std::vector<QString> m_lastColumns; // the columns the last row set, in order
    bool m_changesInOrder = true;
    bool m_unread = false; // writing a row that was never read: nothing of it is kept
    QVariantList m_unreadKey;

    std::unique_ptr<QSqlQuery> m_stream;
    int m_streamCount = 0;
    int m_streamRecNo = 0;

    Query* m_master = nullptr;
    std::function<void(Query&, const Query&)> m_bindFromMaster;
    std::vector<Query*> m_details;
};

} // namespace carvela
