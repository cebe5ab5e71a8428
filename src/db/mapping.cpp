#include "db/mapping.h"

#include "core/conversions.h"
#include "core/failure.h"
#include "core/stationstate.h"
#include "db/connection.h"
#include "db/query.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace carvela {
namespace {

MappingRow row(const char* column, const char* source, Conversion conversion, QVariant argument = {})
{
    MappingRow r;
    r.column = QString::fromUtf8(column);
    r.source = source ? QString::fromUtf8(source) : QString();
    r.conversion = conversion;
    r.argument = std::move(argument);
    return r;
}

const LookupControl* control(const StationState& state, const QString& name)
{
    for (const LookupControl* c :
         {&state.cbFilial(), &state.EdtTpDoc(), &state.edtOper(), &state.edtCcusto(), &state.edtCcusto2()})
        if (c->name() == name)
            return c;
    throw Failure(QStringLiteral("Controle de configuração desconhecido: %1").arg(name));
}

QVariant nullValue()
{
    return QVariant(QMetaType::fromType<QString>());
}

QVariant valueOf(const MappingRow& r, RowContext& ctx)
{
    // A null source reads as the empty text, and is written as such.
    const auto sourceText = [&] {
        const QString text = ctx.source.asString(r.source);
        return text.isNull() ? QStringLiteral("") : text;
    };
    switch (r.conversion) {
    case Conversion::Text:
        return sourceText();
    case Conversion::Int:
        return convert::toInt(sourceText());
    case Conversion::IntOr:
        return convert::toIntOr(sourceText(), r.argument.toInt());
    case Conversion::Float:
        return ctx.source.asFloat(r.source);
    case Conversion::DateTime:
        return ctx.source.asDateTime(r.source);
    case Conversion::Date:
        return IsoTextToDate(sourceText());
    case Conversion::Dmy: {
        // Written as a date value: a day-first text would be read by the server's language.
        const QString text = sourceText();
        if (const auto date = convert::dmyDate(text))
            return *date;
        throw RowFailure(QStringLiteral("'%1' is not a valid date").arg(convert::dmyText(text)));
    }
    case Conversion::Right:
        return convert::right(sourceText(), r.argument.toInt());
    case Conversion::Now:
        return ctx.now;
    case Conversion::Today:
        return ctx.now.date();
    case Conversion::Const:
        return r.argument;
    case Conversion::Empty:
        return QStringLiteral(""); // an empty text, not a null
    case Conversion::Setting: {
        const auto key = control(ctx.state, r.argument.toString())->key();
        if (!key)
            return nullValue();
        // Keys of the lists are integers in the ERP but travel as text in the controls.
        if (const auto number = convert::parseWholeNumber(*key))
            return *number;
        return *key;
    }
    case Conversion::Computed:
        return r.compute(ctx);
    }
    return {};
}

bool applies(const MappingRow& r, const RowContext& ctx, bool inserting)
{
    switch (r.when) {
    case Condition::EveryTime:
        return true;
    case Condition::InsertOnly:
        return inserting;
    case Condition::SourceNotEmpty:
        return !ctx.source.asString(r.source).isEmpty();
    case Condition::SourceEquals:
        return ctx.source.asString(r.whenSource) == r.whenValue;
    }
    return false;
}

} // namespace

MappingRow MappingRow::insertOnly() const
{
    MappingRow r = *this;
    r.when = Condition::InsertOnly;
    return r;
}

MappingRow MappingRow::onlyWhenSourceNotEmpty() const
{
    MappingRow r = *this;
    r.when = Condition::SourceNotEmpty;
    return r;
}

MappingRow MappingRow::onlyWhenSourceIs(const char* sourceColumn, const QString& value) const
{
    MappingRow r = *this;
    r.when = Condition::SourceEquals;
    r.whenSource = QString::fromUtf8(sourceColumn);
    r.whenValue = value;
    return r;
}

MappingRow text(const char* column, const char* source)
{
    return row(column, source, Conversion::Text);
}
MappingRow toInt(const char* column, const char* source)
{
    return row(column, source, Conversion::Int);
}
MappingRow toIntOr(const char* column, const char* source, int fallback)
{
    return row(column, source, Conversion::IntOr, fallback);
}
MappingRow toFloat(const char* column, const char* source)
{
    return row(column, source, Conversion::Float);
}
MappingRow toDateTime(const char* column, const char* source)
{
    return row(column, source, Conversion::DateTime);
}
MappingRow isoDate(const char* column, const char* source)
{
    return row(column, source, Conversion::Date);
}
MappingRow dmy(const char* column, const char* source)
{
    return row(column, source, Conversion::Dmy);
}
MappingRow right(const char* column, const char* source, int n)
{
    return row(column, source, Conversion::Right, n);
}
MappingRow now(const char* column)
{
    return row(column, nullptr, Conversion::Now);
}
MappingRow today(const char* column)
{
    return row(column, nullptr, Conversion::Today);
}
MappingRow constant(const char* column, const QVariant& value)
{
    return row(column, nullptr, Conversion::Const, value);
}
MappingRow empty(const char* column)
{
    return row(column, nullptr, Conversion::Empty);
}
MappingRow setting(const char* column, const char* control)
{
    return row(column, nullptr, Conversion::Setting, QString::fromUtf8(control));
}
MappingRow computed(const char* column, QVariant (*compute)(RowContext&))
{
    MappingRow r = row(column, nullptr, Conversion::Computed);
    r.compute = compute;
    return r;
}

MappingRow key(const char* column)
{
    return computed(column, [](RowContext& ctx) { return QVariant(ctx.key); });
}

void writeMapping(const Mapping& mapping, RowContext& ctx, bool inserting, const QString& table,
                  const QString& rowIdentity)
{
    for (const MappingRow& r : mapping) {
        if (!applies(r, ctx, inserting))
            continue;
        QVariant value;
        try {
            value = valueOf(r, ctx);
        } catch (const RowFailure& failure) {
            throw RowFailure(rowFailureText(table, rowIdentity, r.column, failure.message()));
        }
        ctx.target.setValue(r.column, value);
    }
}

QString rowFailureText(const QString& table, const QString& rowIdentity, const QString& column, const QString& what)
{
    return QStringLiteral("%1, %2, coluna %3: %4").arg(table, rowIdentity, column, what);
}

int wholeNumberOf(const QString& text, const QString& table, const QString& rowIdentity, const QString& column)
{
    if (const auto number = convert::parseWholeNumber(text))
        return *number;
    throw RowFailure(rowFailureText(table, rowIdentity, column, convert::invalidIntegerMessage(text)));
}

void postRow(Query& target, const QString& table, const QString& rowIdentity)
{
    try {
        target.post();
    } catch (const RowFailure& refused) {
        throw RowFailure(QStringLiteral("%1, %2: %3").arg(table, rowIdentity, refused.message()));
    }
}

namespace {

QStringList timeColumns(const Mapping& mapping)
{
    QStringList times;
    for (const MappingRow& r : mapping)
        if (r.conversion == Conversion::Now || r.conversion == Conversion::Today)
            times << r.column;
    return times;
}

} // namespace

void KnownKeys::load(Query& target, const QString& keyColumn)
{
    read(target, keyColumn, false);
}

void KnownKeys::loadWithValues(Query& target, const QString& keyColumn)
{
    read(target, keyColumn, true);
}

void KnownKeys::read(Query& target, const QString& keyColumn, bool withValues)
{
    m_keys.clear();
    m_exact.clear();
    m_values.clear();
    m_columnIndex.clear();
    m_withValues = withValues;
    Connection& connection = target.connection();
    // On a session of its own: the window gets its turn while the table is read, and whatever it
    // runs then may use the connection (FreeTDS serves one result per session). The section's
    // own rows are not in it yet: the keys are read before the section writes.
    QSqlQuery rows(connection.readerDatabase());
    rows.setForwardOnly(true);
    const QString sql = withValues ? QStringLiteral("select * from %1").arg(target.table())
                                   : QStringLiteral("select %1 from %2").arg(keyColumn, target.table());
    connection.run(rows, sql, target.name());
    const QSqlRecord record = rows.record();
    int keyIndex = 0;
    for (int c = 0; c < record.count(); ++c) {
        m_columnIndex.insert(record.fieldName(c).toCaseFolded(), c);
        m_columnIndex.insert(record.fieldName(c), c);
        if (record.fieldName(c).compare(keyColumn, Qt::CaseInsensitive) == 0)
            keyIndex = c;
    }
    for (int n = 1; rows.next(); ++n) {
        // A whole table takes a while: the window gets its turn now and then.
        if (n % 512 == 0)
            StationState::letMessagesRun();
        const QVariant value = rows.value(keyIndex);
        const QString key = normalized(value);
        m_keys.insert(key);
        m_exact.insert(trimmedKey(value));
        if (!withValues)
            continue;
        std::vector<QVariant> values(record.count());
        for (int c = 0; c < record.count(); ++c)
            values[c] = rows.value(c);
        m_values.insert(key, std::move(values));
    }
    if (rows.lastError().isValid())
        connection.fail(rows, target.name());
    if (!withValues)
        m_columnIndex.clear();
}

QString KnownKeys::trimmedKey(const QVariant& key)
{
    QString text = key.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    text.truncate(end);
    return text;
}

void KnownKeys::forgetValues(const QVariant& key)
{
    if (m_withValues)
        m_values.remove(normalized(key));
}

const std::vector<QVariant>* KnownKeys::values(const QVariant& key) const
{
    const auto found = m_values.constFind(normalized(key));
    return found == m_values.constEnd() ? nullptr : &found.value();
}

QString KnownKeys::normalized(const QVariant& key)
{
    switch (key.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(key.toLongLong());
    case QMetaType::Double:
        return QString::number(key.toDouble(), 'g', 17);
    default:
        break;
    }
    // Text keys stay text: "007" and "7" are two products.
    return trimmedKey(key).toCaseFolded();
}

Upserted keyedUpsert(const Mapping& mapping, RowContext& ctx, const QString& keyParameter, const QVariant& key,
                     const QString& table, const QString& rowIdentity, bool onlyWhenChanged, KnownKeys* known)
{
    if (known && (!onlyWhenChanged || known->holdsValues())) {
        ctx.target.close();
        if (known->contains(key)) {
            ctx.target.editUnread({key});
            writeMapping(mapping, ctx, false, table, rowIdentity);
            if (const std::vector<QVariant>* stored = known->values(key); stored && onlyWhenChanged) {
                const auto storedValue = [&](const QString& name) -> const QVariant* {
                    const int c = known->columnIndex(name);
                    return c < 0 ? nullptr : &(*stored)[c];
                };
                if (!ctx.target.changesDifferFrom(storedValue, timeColumns(mapping))) {
                    ctx.target.cancel();
                    return Upserted::Unchanged;
                }
            }
            postRow(ctx.target, table, rowIdentity);
            // What it holds now is what was written: a later source row of the same key compares
            // with that.
            known->forgetValues(key);
            if (ctx.target.rowsAffected() > 0)
                return Upserted::Updated;
            if (ctx.target.rowsAffected() < 0) {
                // The driver cannot tell: ask for the row, as without known keys.
                return keyedUpsert(mapping, ctx, keyParameter, key, table, rowIdentity, onlyWhenChanged);
            }
        }
        ctx.target.appendUnread();
        writeMapping(mapping, ctx, true, table, rowIdentity);
        postRow(ctx.target, table, rowIdentity);
        known->insert(key);
        return Upserted::Inserted;
    }
    ctx.target.close();
    ctx.target.setParam(keyParameter, key);
    ctx.target.open();
    const bool inserting = ctx.target.isEmpty();
    if (inserting)
        ctx.target.append();
    else
        ctx.target.edit();
    writeMapping(mapping, ctx, inserting, table, rowIdentity);
    if (!inserting && onlyWhenChanged) {
        if (!ctx.target.changesDiffer(timeColumns(mapping))) {
            ctx.target.cancel();
            return Upserted::Unchanged;
        }
    }
    postRow(ctx.target, table, rowIdentity);
    return inserting ? Upserted::Inserted : Upserted::Updated;
}

} // namespace carvela
