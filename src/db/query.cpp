#include "db/query.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "db/connection.h"

#include <algorithm>
#include <QSqlQuery>
#include <QSqlRecord>

namespace carvela {

Query::Query(QString name, Connection& connection)
    : m_name(std::move(name))
    , m_connection(&connection)
{
}

Query::~Query()
{
    if (m_master)
        std::erase(m_master->m_details, this);
    for (Query* detail : m_details)
        detail->m_master = nullptr;
}

void Query::setSql(QStringList lines)
{
    m_lines = std::move(lines);
}

void Query::addLine(const QString& line)
{
    m_lines.append(line);
}

void Query::setLine(int index, const QString& line)
{
    while (m_lines.size() <= index)
        m_lines.append(QString());
    m_lines[index] = line;
}

void Query::declareParam(const QString& name, ParamType type, int size)
{
    for (Param& p : m_params) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.type = type;
            p.size = size;
            return;
        }
    }
    m_params.push_back(Param{name, type, size, QVariant()});
}

Query::Param& Query::param(const QString& name)
{
    for (Param& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    throw Failure(QStringLiteral("%1: Parameter '%2' not found").arg(m_name, name));
}

void Query::setParam(const QString& name, const QVariant& value)
{
    Param& p = param(name);
    if (value.isNull()) {
        p.value = p.type == ParamType::Int32 ? QVariant(QMetaType::fromType<int>())
                                             : QVariant(QMetaType::fromType<QString>());
    } else if (p.type == ParamType::Int32) {
        // An integer parameter takes the integer reader's view of a text.
        p.value =
            value.typeId() == QMetaType::QString ? QVariant(convert::toInt(value.toString())) : QVariant(value.toInt());
    } else {
        // Text keys are never cut to a declared size: a longer key must find its own row.
        p.value = value.toString();
    }
}

void Query::setTarget(QString table, QStringList keyColumns)
{
    m_table = std::move(table);
    m_keyColumns = std::move(keyColumns);
}

std::pair<QString, QStringList> Query::positional() const
{
    const QString text = sql();
    QString out;
    out.reserve(text.size());
    QStringList names;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == u':' && i + 1 < text.size() && text.at(i + 1) == u':') {
            out += QStringLiteral("::"); // a PostgreSQL cast, not a parameter
            ++i;
            continue;
        }
        if (c == u':' && i + 1 < text.size() && (text.at(i + 1).isLetter() || text.at(i + 1) == u'_')) {
            qsizetype j = i + 1;
            while (j < text.size() && (text.at(j).isLetterOrNumber() || text.at(j) == u'_'))
                ++j;
            names << text.mid(i + 1, j - i - 1);
            out += u'?';
            i = j - 1;
            continue;
        }
        out += c;
    }
    return {out, names};
}

int Query::bindAndRun(QSqlQuery& statement, const QStringList& names)
{
    for (int i = 0; i < names.size(); ++i)
        statement.bindValue(i, param(names.at(i)).value);
    return m_connection->run(statement, m_name);
}

void Query::open()
{
    if (m_open)
        return;
    const auto [text, names] = positional();
    std::vector<std::vector<QVariant>> rows;
    QStringList columns;
    auto read = [&](QSqlQuery& statement) {
        const QSqlRecord record = statement.record();
        for (int c = 0; c < record.count(); ++c)
            columns << record.fieldName(c);
        while (statement.next()) {
            std::vector<QVariant> row(record.count());
            for (int c = 0; c < record.count(); ++c)
                row[c] = statement.value(c);
            rows.push_back(std::move(row));
        }
        if (statement.lastError().isValid())
            m_connection->fail(statement, m_name);
        // Release the result so the session can serve the next statement (FreeTDS keeps one).
        statement.finish();
    };
    if (names.isEmpty()) {
        QSqlQuery statement(m_connection->database());
        statement.setForwardOnly(true);
        m_connection->run(statement, text, m_name);
        read(statement);
    } else {
        QSqlQuery& statement = m_connection->prepared(text, m_name);
        bindAndRun(statement, names);
        read(statement);
    }
    m_columns = std::move(columns);
    indexColumns();
    m_rows = std::move(rows);
    m_open = true;
    m_state = State::Browse;
    clearChanges();
    m_current = 0;
    m_eof = m_rows.empty();
    moved();
}

namespace {

// The query's text without its ordering, to count its rows.
QString countingSql(const QStringList& lines)
{
    QStringList kept;
    for (const QString& line : lines)
        if (!line.trimmed().startsWith(QLatin1String("order by"), Qt::CaseInsensitive))
            kept << line;
    return QStringLiteral("select count(*) from (") + kept.join(u'\n') + QStringLiteral(") counted");
}

} // namespace

void Query::openStreamed()
{
    if (m_open)
        return;
    const auto [text, names] = positional();
    Query counter(m_name, *m_connection);
    counter.m_params = m_params;
    counter.setSql({countingSql(m_lines)});
    counter.open();
    m_streamCount = counter.isEmpty() ? 0 : counter.asInt(counter.m_columns.value(0));

    auto stream = std::make_unique<QSqlQuery>(m_connection->readerDatabase());
    stream->setForwardOnly(true);
    if (names.isEmpty()) {
        m_connection->run(*stream, text, m_name);
    } else {
        if (!stream->prepare(text))
            m_connection->fail(*stream, m_name);
        for (int i = 0; i < names.size(); ++i)
            stream->bindValue(i, param(names.at(i)).value);
        m_connection->run(*stream, m_name);
    }
    const QSqlRecord record = stream->record();
    m_columns.clear();
    for (int c = 0; c < record.count(); ++c)
        m_columns << record.fieldName(c);
    indexColumns();
    m_stream = std::move(stream);
    m_open = true;
    m_state = State::Browse;
    clearChanges();
    m_current = 0;
    m_streamRecNo = 0;
    readStreamRow();
    moved();
}

void Query::readStreamRow()
{
    m_rows.clear();
    if (!m_stream->next()) {
        if (m_stream->lastError().isValid())
            m_connection->fail(*m_stream, m_name);
        m_eof = true;
        return;
    }
    std::vector<QVariant> row(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c)
        row[c] = m_stream->value(c);
    m_rows.push_back(std::move(row));
    ++m_streamRecNo;
    m_eof = false;
}

void Query::close()
{
    m_stream.reset();
    m_streamCount = 0;
    m_streamRecNo = 0;
    m_unread = false;
    m_open = false;
    m_rows.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_current = 0;
    m_eof = true;
    m_state = State::Browse;
    clearChanges();
}

void Query::execSql()
{
    const auto [text, names] = positional();
    if (names.isEmpty()) {
        QSqlQuery statement(m_connection->database());
        m_rowsAffected = m_connection->run(statement, text, m_name);
        statement.finish();
        return;
    }
    QSqlQuery& statement = m_connection->prepared(text, m_name);
    m_rowsAffected = bindAndRun(statement, names);
    statement.finish();
}

void Query::first()
{
    if (m_stream)
        throw Failure(QStringLiteral("%1: a streamed read cannot go back to its first row").arg(m_name));
    m_current = 0;
    m_eof = m_rows.empty();
    moved();
}

void Query::next()
{
    if (m_stream) {
        if (!m_eof) {
            readStreamRow();
            if (!m_eof)
                moved();
        }
        return;
    }
    if (m_current + 1 < rowCount()) {
        ++m_current;
        moved();
    } else {
        m_eof = true;
    }
}

void Query::moved()
{
    for (Query* detail : m_details) {
        detail->close();
        // A master without rows leaves its details closed: there is nothing they could show.
        if (m_open && !m_rows.empty()) {
            detail->m_bindFromMaster(*detail, *this);
            detail->open();
        }
    }
}

void Query::setMaster(Query& master, std::function<void(Query&, const Query&)> bind)
{
    if (m_master)
        std::erase(m_master->m_details, this);
    m_master = &master;
    m_bindFromMaster = std::move(bind);
    master.m_details.push_back(this);
}

int Query::columnIndex(const QString& name) const
{
    // A caller asks row after row with the same spelling: once found by folding, it is found as is.
    if (const auto found = m_columnIndex.constFind(name); found != m_columnIndex.constEnd())
        return found.value();
    const int column = m_columnIndex.value(name.toCaseFolded(), -1);
    if (column >= 0)
        m_columnIndex.insert(name, column);
    return column;
}

const QVariant* Query::changedValue(const QString& name) const
{
    for (const Change& change : m_changes)
        if (change.column.compare(name, Qt::CaseInsensitive) == 0)
            return &change.value;
    return nullptr;
}

bool Query::hasField(const QString& name) const
{
    return columnIndex(name) >= 0 || changedValue(name) != nullptr;
}

void Query::failField(const QString& name) const
{
    throw Failure(QStringLiteral("%1: Field '%2' not found").arg(m_name, name));
}

QVariant Query::value(const QString& name) const
{
    if (m_state != State::Browse)
        if (const QVariant* changed = changedValue(name))
            return *changed;
    const int column = columnIndex(name);
    if (column < 0) {
        if (m_state == State::Insert && !m_table.isEmpty())
            return QVariant(); // a column of the target that the select did not name
        failField(name);
    }
    if (m_state == State::Insert || m_rows.empty())
        return QVariant();
    return m_rows[m_current][column];
}

QString Query::asString(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd/MM/yyyy"))
                                        : dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

int Query::asInt(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return convert::toInt(v.toString().trimmed());
    case QMetaType::Double:
    case QMetaType::Float:
        return static_cast<int>(v.toDouble());
    default:
        return v.toInt();
    }
}

double Query::asFloat(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0.0;
    bool ok = true;
    const double d = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (!ok)
        throw RowFailure(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    return d;
}

QDateTime Query::asDateTime(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return convert::zeroDateTime();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString text = v.toString().trimmed();
    for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
        QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt;
    }
    QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid())
        dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            dt = date.startOfDay();
    }
    if (!dt.isValid())
        throw RowFailure(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return dt;
}

void Query::requireTarget(const char* operation) const
{
    if (m_table.isEmpty())
        throw Failure(
            QStringLiteral("%1: cannot %2 a query without a target table").arg(m_name, QString::fromLatin1(operation)));
    if (!m_open)
        throw Failure(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(m_name));
}

void Query::append()
{
    requireTarget("append to");
    m_state = State::Insert;
    clearChanges();
}

void Query::appendUnread()
{
    if (m_table.isEmpty())
        requireTarget("append to");
    m_state = State::Insert;
    clearChanges();
    m_unread = true;
}

void Query::editUnread(const QVariantList& key)
{
    if (m_table.isEmpty() || m_keyColumns.size() != key.size())
        throw Failure(QStringLiteral("%1: cannot edit without a key").arg(m_name));
    m_state = State::Edit;
    clearChanges();
    m_unread = true;
    m_unreadKey = key;
}

void Query::edit()
{
    requireTarget("edit");
    if (m_rows.empty())
        throw Failure(QStringLiteral("%1: Cannot edit an empty dataset").arg(m_name));
    if (m_keyColumns.isEmpty())
        throw Failure(QStringLiteral("%1: cannot edit without a key").arg(m_name));
    m_state = State::Edit;
    clearChanges();
}

void Query::setValue(const QString& name, const QVariant& value)
{
    if (m_state == State::Browse)
        throw Failure(QStringLiteral("%1: Dataset not in edit or insert mode").arg(m_name));
    // A mapping sets the same columns in the same order row after row: while this row follows the
    // last one's order, the column cannot have been set already, and no search is needed.
    const size_t next = m_changes.size();
    if (m_changesInOrder && next < m_lastColumns.size() && m_lastColumns[next] == name) {
        m_changes.push_back(Change{m_lastColumns[next], value});
        return;
    }
    m_changesInOrder = false;
    for (Change& change : m_changes) {
        if (change.column.compare(name, Qt::CaseInsensitive) == 0) {
            change.value = value;
            return;
        }
    }
    m_changes.push_back(Change{name, value});
}

void Query::indexColumns()
{
    m_columnIndex.clear();
    // The first of two columns of the same name is the one a name finds.
    for (int c = int(m_columns.size()) - 1; c >= 0; --c) {
        m_columnIndex.insert(m_columns.at(c).toCaseFolded(), c);
        m_columnIndex.insert(m_columns.at(c), c);
    }
}

void Query::clearChanges()
{
    if (!m_changesInOrder || m_changes.size() != m_lastColumns.size()) {
        m_lastColumns.clear();
        for (const Change& change : m_changes)
            m_lastColumns.push_back(change.column);
    }
    m_changes.clear();
    m_changesInOrder = true;
}

void Query::setNull(const QString& name)
{
    setValue(name, QVariant(QMetaType::fromType<QString>()));
}

namespace {

QDateTime storedDateTime(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString text = v.toString().trimmed().replace(u'T', u' ');
    for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"}) {
        const QString f = QString::fromLatin1(format);
        const QDateTime dt = QDateTime::fromString(text.left(f.size()), f);
        if (dt.isValid())
            return dt;
    }
    return {};
}

bool sameValue(const QVariant& stored, const QVariant& written)
{
    if (stored.isNull() || written.isNull())
        return stored.isNull() && written.isNull();
    switch (written.typeId()) {
    case QMetaType::QDate:
        return storedDateTime(stored).date() == written.toDate();
    case QMetaType::QDateTime:
        return storedDateTime(stored) == written.toDateTime();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: {
        bool ok = false;
        const double number = stored.toDouble(&ok);
        return ok && qAbs(number - written.toDouble()) < 1e-9;
    }
    default:
        return stored.toString() == written.toString();
    }
}

} // namespace

bool Query::changesDiffer(const QStringList& ignored) const
{
    if (m_state != State::Edit || m_unread)
        return true;
    return changesDifferFrom(
        [this](const QString& name) -> const QVariant* {
            const int column = columnIndex(name);
            return column < 0 ? nullptr : &m_rows[m_current][column];
        },
        ignored);
}

bool Query::changesDifferFrom(const std::function<const QVariant*(const QString&)>& stored,
                              const QStringList& ignored) const
{
    for (const Change& change : m_changes) {
        if (ignored.contains(change.column, Qt::CaseInsensitive))
            continue;
        const QVariant* value = stored(change.column);
        if (!value || !sameValue(*value, change.value))
            return true;
    }
    return false;
}

void Query::cancel()
{
    m_unread = false;
    m_state = State::Browse;
    clearChanges();
}

void Query::post()
{
    if (m_state == State::Browse)
        return;
    QStringList columns;
    QVariantList values;
    for (const Change& change : m_changes) {
        columns << change.column;
        values << change.value;
    }
    QString text;
    if (m_state == State::Insert) {
        QStringList marks;
        marks.fill(QStringLiteral("?"), columns.size());
        text = columns.isEmpty()
                   ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table)
                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(m_table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    } else {
        if (columns.isEmpty()) {
            cancel();
            return;
        }
        QStringList sets;
        for (const QString& c : columns)
            sets << c + QStringLiteral(" = ?");
        QStringList where;
        for (int k = 0; k < m_keyColumns.size(); ++k) {
            const QString& key = m_keyColumns.at(k);
            where << key + QStringLiteral(" = ?");
            if (m_unread) {
                values << m_unreadKey.at(k);
                continue;
            }
            const int column = columnIndex(key);
            if (column < 0)
                failField(key);
            values << m_rows[m_current][column];
        }
        text = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                   .arg(m_table, sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" AND ")));
    }
    QSqlQuery& statement = m_connection->prepared(text, m_name);
    for (int i = 0; i < values.size(); ++i)
        statement.bindValue(i, values.at(i));
    const int affected = m_connection->run(statement, m_name);
    statement.finish();
    m_rowsAffected = affected;
    if (m_unread) {
        // Nothing was read, so nothing is kept: the caller knows the row.
        m_unread = false;
        m_state = State::Browse;
        clearChanges();
        return;
    }
    if (m_state == State::Edit && affected == 0)
        throw Failure(QStringLiteral("%1: Row cannot be located for updating").arg(m_name));

    // The posted row becomes the current row, as the database now holds it.
    std::vector<QVariant> row(m_columns.size());
    if (m_state == State::Edit)
        row = m_rows[m_current];
    std::vector<Change> extra;
    for (const Change& change : m_changes) {
        const int column = columnIndex(change.column);
        if (column >= 0)
            row[column] = change.value;
        else
            extra.push_back(change);
    }
    for (const Change& change : extra) {
        m_columnIndex.insert(change.column.toCaseFolded(), int(m_columns.size()));
        m_columnIndex.insert(change.column, int(m_columns.size()));
        m_columns << change.column;
        for (auto& other : m_rows)
            other.emplace_back();
        row.push_back(change.value);
    }
    if (m_state == State::Insert) {
        m_rows.push_back(std::move(row));
        m_current = rowCount() - 1;
    } else {
        m_rows[m_current] = std::move(row);
    }
    m_eof = false;
    m_state = State::Browse;
    clearChanges();
}

} // namespace carvela
