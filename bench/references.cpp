#include "bench/references.h"

#include "core/failure.h"
#include "fixtures/builders.h"

#include <algorithm>
#include <libpq-fe.h>
#include <QCryptographicHash>
#include <QDate>
#include <QElapsedTimer>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

namespace carvela::bench {

// ---------------------------------------------------------------- the C libraries, side by side

class Reference::Database {
public:
    virtual ~Database() = default;
    virtual void exec(const QString& sql) = 0;
    // sql uses ? for its parameters. Named statements stay prepared; "" is prepared afresh.
    virtual void prepare(const QString& name, const QString& sql) = 0;
    // Runs a prepared statement; returns the rows it read (a SELECT) or touched.
    virtual int run(const QString& name, const QVariantList& values) = 0;
    // Prepares afresh, runs, forgets.
    int runOnce(const QString& sql, const QVariantList& values)
    {
        prepare(QString(), sql);
        return run(QString(), values);
    }
    // Reads every value of every row of a query; returns the row count.
    virtual int read(const QString& sql) = 0;
};

namespace {

[[noreturn]] void fail(const QString& what, const QString& sql)
{
    throw Failure(QStringLiteral("reference: %1 (%2)").arg(what, sql.left(200)));
}

QByteArray textOf(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate).toUtf8();
    case QMetaType::Double:
        return QByteArray::number(v.toDouble(), 'g', 17);
    default:
        return v.toString().toUtf8();
    }
}

class PgDatabase : public Reference::Database {
public:
    explicit PgDatabase(const QSqlDatabase& like)
    {
        const QByteArray info = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
                                    .arg(like.hostName())
                                    .arg(like.port())
                                    .arg(like.databaseName(), like.userName(), like.password())
                                    .toUtf8();
        m_conn = PQconnectdb(info.constData());
        if (PQstatus(m_conn) != CONNECTION_OK)
            fail(QString::fromUtf8(PQerrorMessage(m_conn)), QStringLiteral("connect"));
        exec(QStringLiteral("set search_path to velcor, public"));
    }
    ~PgDatabase() override { PQfinish(m_conn); }

    void exec(const QString& sql) override
    {
        PGresult* r = PQexec(m_conn, sql.toUtf8().constData());
        check(r, sql);
        PQclear(r);
    }
    void prepare(const QString& name, const QString& sql) override
    {
        QString text;
        int n = 0;
        for (const QChar c : sql)
            text += c == u'?' ? QStringLiteral("$%1").arg(++n) : QString(c);
        if (!name.isEmpty() && m_prepared.contains(name))
            return;
        PGresult* r = PQprepare(m_conn, name.toUtf8().constData(), text.toUtf8().constData(), 0, nullptr);
        check(r, sql);
        PQclear(r);
        if (!name.isEmpty())
            m_prepared.insert(name);
    }
    int run(const QString& name, const QVariantList& values) override
    {
        std::vector<QByteArray> texts;
        std::vector<const char*> pointers;
        texts.reserve(values.size());
        for (const QVariant& v : values) {
            texts.push_back(v.isNull() ? QByteArray() : textOf(v));
            pointers.push_back(v.isNull() ? nullptr : texts.back().constData());
        }
        PGresult* r = PQexecPrepared(m_conn, name.toUtf8().constData(), int(pointers.size()), pointers.data(),
                                     nullptr, nullptr, 0);
        check(r, name);
        const int n = PQresultStatus(r) == PGRES_TUPLES_OK ? PQntuples(r) : QByteArray(PQcmdTuples(r)).toInt();
        PQclear(r);
        return n;
    }
    int read(const QString& sql) override
    {
        PGresult* r = PQexec(m_conn, sql.toUtf8().constData());
        check(r, sql);
        const int rows = PQntuples(r);
        qsizetype bytes = 0;
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < PQnfields(r); ++c)
                bytes += PQgetlength(r, i, c);
        PQclear(r);
        return rows + int(bytes & 0);
    }

private:
    void check(PGresult* r, const QString& sql)
    {
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const QString error = QString::fromUtf8(PQresultErrorMessage(r));
            PQclear(r);
            fail(error, sql);
        }
    }
    PGconn* m_conn = nullptr;
    QSet<QString> m_prepared;
};

class SqliteDatabase : public Reference::Database {
public:
    explicit SqliteDatabase(const QString& file)
    {
        if (sqlite3_open(file.toUtf8().constData(), &m_db) != SQLITE_OK)
            fail(QStringLiteral("cannot open"), file);
        sqlite3_busy_timeout(m_db, 10000);
    }
    ~SqliteDatabase() override
    {
        for (auto& [name, statement] : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    void exec(const QString& sql) override
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString text = QString::fromUtf8(error);
            sqlite3_free(error);
            fail(text, sql);
        }
    }
    void prepare(const QString& name, const QString& sql) override
    {
        if (!name.isEmpty() && m_statements.count(name))
            return;
        if (auto found = m_statements.find(name); found != m_statements.end()) {
            sqlite3_finalize(found->second);
            m_statements.erase(found);
        }
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)), sql);
        m_statements[name] = statement;
    }
    int run(const QString& name, const QVariantList& values) override
    {
        sqlite3_stmt* statement = m_statements.at(name);
        sqlite3_reset(statement);
        std::vector<QByteArray> texts;
        texts.reserve(values.size());
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values.at(i);
            if (v.isNull()) {
                sqlite3_bind_null(statement, i + 1);
            } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
                sqlite3_bind_int64(statement, i + 1, v.toLongLong());
            } else if (v.typeId() == QMetaType::Double) {
                sqlite3_bind_double(statement, i + 1, v.toDouble());
            } else {
                texts.push_back(textOf(v));
                sqlite3_bind_text(statement, i + 1, texts.back().constData(), int(texts.back().size()),
                                  SQLITE_TRANSIENT);
            }
        }
        int rows = 0;
        int step = 0;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW)
            ++rows;
        if (step != SQLITE_DONE)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)), name);
        return sqlite3_column_count(statement) > 0 ? rows : sqlite3_changes(m_db);
    }
    int read(const QString& sql) override
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)), sql);
        int rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                sqlite3_column_text(statement, c);
            ++rows;
        }
        sqlite3_finalize(statement);
        return rows;
    }

private:
    sqlite3* m_db = nullptr;
    std::map<QString, sqlite3_stmt*> m_statements;
};

std::unique_ptr<Reference::Database> open(const QSqlDatabase& like)
{
    if (like.driverName() == QLatin1String("QSQLITE"))
        return std::make_unique<SqliteDatabase>(like.databaseName());
    return std::make_unique<PgDatabase>(like);
}

// ---------------------------------------------------------------- snapshots

std::vector<int> primaryKey(QSqlDatabase db, const QString& table, const QStringList& columns)
{
    QStringList names;
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QSQLITE")) {
        q.exec(QStringLiteral("pragma table_info(%1)").arg(table));
        std::vector<std::pair<int, QString>> ordered;
        while (q.next())
            if (q.value(5).toInt() > 0)
                ordered.emplace_back(q.value(5).toInt(), q.value(1).toString());
        std::sort(ordered.begin(), ordered.end());
        for (const auto& [position, name] : ordered)
            names << name;
    } else {
        q.exec(QStringLiteral("select a.attname from pg_index i join pg_attribute a on a.attrelid = i.indrelid and "
                              "a.attnum = any(i.indkey) where i.indrelid = '%1'::regclass and i.indisprimary")
                   .arg(table));
        while (q.next())
            names << q.value(0).toString();
    }
    std::vector<int> key;
    for (const QString& name : names)
        for (int c = 0; c < columns.size(); ++c)
            if (columns.at(c).compare(name, Qt::CaseInsensitive) == 0)
                key.push_back(c);
    return key;
}

// A value as two stations compare it: the current date and time stand for themselves.
QString comparable(const QVariant& v, const QString& today)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    switch (v.typeId()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDate date = v.typeId() == QMetaType::QDate ? v.toDate() : v.toDateTime().date();
        return date == QDate::currentDate() ? QStringLiteral("<today>") : v.toDateTime().toString(Qt::ISODate);
    }
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 10);
    default: {
        const QString text = v.toString();
        return text.startsWith(today) ? QStringLiteral("<today>") : text;
    }
    }
}

QString rowText(const QVariantList& row, const QString& today)
{
    QStringList parts;
    for (const QVariant& v : row)
        parts << comparable(v, today);
    return parts.join(u'|');
}

QString keyText(const ErpSnapshot::Table& table, const QVariantList& row)
{
    QStringList parts;
    for (int c : table.key)
        parts << row.at(c).toString();
    return parts.join(u'|');
}

} // namespace

ErpSnapshot::ErpSnapshot(test::TestStation& station)
{
    QSqlDatabase db = station.erp();
    for (const QString& name : test::schemaTables(db, QStringLiteral("erp"))) {
        Table table;
        table.name = name;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("select * from ") + name))
            throw Failure(QStringLiteral("snapshot of ") + name);
        const QSqlRecord record = q.record();
        for (int c = 0; c < record.count(); ++c)
            table.columns << record.fieldName(c);
        while (q.next()) {
            QVariantList row;
            for (int c = 0; c < record.count(); ++c)
                row << q.value(c);
            table.rows.push_back(std::move(row));
        }
        q = QSqlQuery();
        table.key = primaryKey(db, name, table.columns);
        m_tables.push_back(std::move(table));
    }
}

const ErpSnapshot::Table* ErpSnapshot::table(const QString& name) const
{
    for (const Table& t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString ErpSnapshot::differenceFrom(const ErpSnapshot& other) const
{
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (const Table& mine : m_tables) {
        const Table* theirs = other.table(mine.name);
        if (!theirs)
            return mine.name + QStringLiteral(": missing");
        const auto digest = [&](const Table& t) {
            QStringList rows;
            for (const QVariantList& row : t.rows)
                rows << rowText(row, today);
            rows.sort();
            return QCryptographicHash::hash(rows.join(u'\n').toUtf8(), QCryptographicHash::Sha256);
        };
        if (mine.rows.size() != theirs->rows.size())
            return QStringLiteral("%1: %2 rows against %3").arg(mine.name).arg(mine.rows.size()).arg(theirs->rows.size());
        if (digest(mine) != digest(*theirs))
            return mine.name + QStringLiteral(": the checksums differ");
    }
    return {};
}

// ---------------------------------------------------------------- the references

namespace {

// Which section writes a table; the rest (counters) is "other".
QString sectionOf(const QString& table)
{
    static const std::map<QString, QString> owners = {
        {"clientes", "customers"},   {"fornecedores", "suppliers"},  {"lj_produtos", "products"},
        {"lj_referbar", "products"}, {"ivgrupo", "products"},        {"ivmarca", "products"},
        {"lj_venda", "sales"},       {"lj_vendaitem", "sales"},      {"lj_entradas", "entries"},
        {"lj_entradasitem", "entries"}, {"capagar", "entries"},      {"contacorrente", "bank"},
    };
    const auto found = owners.find(table.toLower());
    return found == owners.end() ? QStringLiteral("other") : found->second;
}

// What a section reads from the POS or the cloud.
QStringList sourceReads(const QString& section, bool sqliteCloud)
{
    if (section == QLatin1String("customers"))
        return {QStringLiteral("select * from clientes order by codigo")};
    if (section == QLatin1String("suppliers"))
        return {QStringLiteral("select * from fornecedores order by codigo")};
    if (section == QLatin1String("products"))
        return {QStringLiteral("select * from produtos order by codigo")};
    if (section == QLatin1String("sales"))
        return {QStringLiteral("select * from vendas"), QStringLiteral("select * from itens_venda")};
    if (section == QLatin1String("entries"))
        return {QStringLiteral("select * from compras_comb"), QStringLiteral("select * from itens_compra_comb"),
                QStringLiteral("select * from compras_div"), QStringLiteral("select * from itens_compra_div"),
                QStringLiteral("select * from contas_pagar"), QStringLiteral("select * from parcelas_pagar")};
    if (section == QLatin1String("bank"))
        return {QStringLiteral("select * from %1 where atualizado is null")
                    .arg(sqliteCloud ? QStringLiteral("mov_bancario") : QStringLiteral("velcor.mov_bancario"))};
    return {};
}

QString where(const ErpSnapshot::Table& t, const std::vector<int>& columns)
{
    QStringList parts;
    for (int c : columns)
        parts << t.columns.at(c) + QStringLiteral(" = ?");
    return parts.join(QStringLiteral(" and "));
}

QVariantList pick(const QVariantList& row, const std::vector<int>& columns)
{
    QVariantList values;
    for (int c : columns)
        values << row.at(c);
    return values;
}

int columnIndex(const ErpSnapshot::Table& t, const QString& name)
{
    for (int c = 0; c < t.columns.size(); ++c)
        if (t.columns.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    throw Failure(t.name + QStringLiteral(" has no column ") + name);
}

std::vector<int> allColumns(const ErpSnapshot::Table& t)
{
    std::vector<int> all(t.columns.size());
    for (int c = 0; c < int(all.size()); ++c)
        all[c] = c;
    return all;
}

} // namespace

Reference::Reference(test::TestStation& station, Kind kind)
    : m_station(station)
    , m_kind(kind)
    , m_erp(open(station.erp()))
    , m_pos(open(station.pos()))
    , m_cloud(open(station.cloud()))
{
}

Reference::~Reference() = default;

std::map<QString, Reference::Timing> Reference::run(Phase phase, const ErpSnapshot& before, const ErpSnapshot& after)
{
    const bool floor = m_kind == Kind::Floor;
    const bool sqliteCloud = m_station.cloud().driverName() == QLatin1String("QSQLITE");
    const QString movements = sqliteCloud ? QStringLiteral("mov_bancario") : QStringLiteral("velcor.mov_bancario");
    std::map<QString, Timing> timings;
    for (const QString& section : {QStringLiteral("customers"), QStringLiteral("suppliers"), QStringLiteral("products"),
                                  QStringLiteral("sales"), QStringLiteral("entries"), QStringLiteral("bank"),
                                  QStringLiteral("other")}) {
        QElapsedTimer clock;
        clock.start();
        Database& source = section == QLatin1String("bank") ? *m_cloud : *m_pos;
        for (const QString& sql : sourceReads(section, sqliteCloud))
            source.read(sql);
        if (floor)
            m_erp->exec(QStringLiteral("begin"));
        std::vector<QVariant> marked;
        for (const ErpSnapshot::Table& t : after.tables()) {
            if (sectionOf(t.name) != section)
                continue;
            const std::vector<int> key = t.key.empty() ? allColumns(t) : t.key;
            std::vector<int> rest;
            for (int c = 0; c < t.columns.size(); ++c)
                if (std::find(key.begin(), key.end(), c) == key.end())
                    rest.push_back(c);
            QStringList sets;
            for (int c : rest)
                sets << t.columns.at(c) + QStringLiteral(" = ?");
            const QString select = QStringLiteral("select * from %1 where %2").arg(t.name, where(t, key));
            const QString update = QStringLiteral("update %1 set %2 where %3")
                                       .arg(t.name, sets.join(QStringLiteral(", ")), where(t, key));
            QStringList marks;
            marks.fill(QStringLiteral("?"), t.columns.size());
            // The ERP's identity columns take the values our cycle was given.
            const QString overriding = m_station.erp().driverName() == QLatin1String("QSQLITE")
                                           ? QString()
                                           : QStringLiteral(" overriding system value");
            const QString insert = QStringLiteral("insert into %1 (%2)%3 values (%4)")
                                       .arg(t.name, t.columns.join(QStringLiteral(", ")), overriding, marks.join(u','));
            const auto send = [&](const QString& name, const QString& sql, const QVariantList& values) {
                if (floor) {
                    m_erp->prepare(t.name + name, sql);
                    m_erp->run(t.name + name, values);
                } else {
                    m_erp->runOnce(sql, values);
                }
            };
            const QString lower = t.name.toLower();
            const bool masterTable = lower == QLatin1String("clientes") || lower == QLatin1String("fornecedores") ||
                                     lower == QLatin1String("lj_produtos");
            const bool header = lower == QLatin1String("lj_venda") || lower == QLatin1String("lj_entradas");

            if (phase == Phase::Steady) {
                if (masterTable) {
                    for (const QVariantList& row : t.rows) {
                        if (!floor)
                            send(QStringLiteral("/select"), select, pick(row, key));
                        if (!rest.empty())
                            send(QStringLiteral("/update"), update, pick(row, rest) + pick(row, key));
                    }
                } else if (lower == QLatin1String("lj_referbar") || header) {
                    for (const QVariantList& row : t.rows)
                        send(QStringLiteral("/select"), select, pick(row, key));
                }
                continue;
            }

            // First phase: the rows our cycle added, and those it changed (the counters).
            QHash<QString, const QVariantList*> old;
            QHash<QString, int> oldFull;
            const QString today = QDate::currentDate().toString(Qt::ISODate);
            if (const ErpSnapshot::Table* was = before.table(t.name))
                for (const QVariantList& row : was->rows) {
                    old.insert(keyText(t, row), &row);
                    ++oldFull[rowText(row, today)];
                }
            for (const QVariantList& row : t.rows) {
                if (t.key.empty()) {
                    if (int& n = oldFull[rowText(row, today)]; n > 0) {
                        --n;
                        continue;
                    }
                } else if (const auto found = old.constFind(keyText(t, row)); found != old.constEnd()) {
                    if (rowText(**found, today) != rowText(row, today)) {
                        if (!floor)
                            send(QStringLiteral("/select"), select, pick(row, key));
                        send(QStringLiteral("/update"), update, pick(row, rest) + pick(row, key));
                    }
                    continue;
                }
                if (!floor)
                    send(QStringLiteral("/select"), select, pick(row, key));
                send(QStringLiteral("/insert"), insert, row);
                if (lower == QLatin1String("contacorrente"))
                    marked.push_back(row.at(columnIndex(t, QStringLiteral("idmovnuvens"))));
            }
        }
        if (floor)
            m_erp->exec(QStringLiteral("commit"));
        if (!marked.empty()) {
            const QString mark = QStringLiteral("update %1 set atualizado = 'S' where idmovimento = ?").arg(movements);
            if (floor) {
                m_cloud->exec(QStringLiteral("begin"));
                m_cloud->prepare(QStringLiteral("mark"), mark);
            }
            for (const QVariant& movement : marked) {
                if (floor)
                    m_cloud->run(QStringLiteral("mark"), {movement});
                else
                    m_cloud->runOnce(mark, {movement});
            }
            if (floor)
                m_cloud->exec(QStringLiteral("commit"));
        }
        timings[section].seconds = clock.nsecsElapsed() / 1e9;
    }
    return timings;
}

} // namespace carvela::bench
