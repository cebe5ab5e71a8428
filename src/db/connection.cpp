#include "db/connection.h"

#include "core/failure.h"
#include "db/odbcstate.h"
#include "db/pgexecute.h"

#include <algorithm>
#include <QAtomicInt>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QStringList>

namespace carvela {
namespace {

QString uniqueQtName(const QString& name)
{
    // Qt keys its connections by name per process; several stations may live in one (tests).
    static QAtomicInt counter;
    return QStringLiteral("%1#%2").arg(name).arg(counter.fetchAndAddRelaxed(1));
}

QString driverText(const QSqlError& error)
{
    QStringList parts;
    if (!error.databaseText().isEmpty())
        parts << error.databaseText().trimmed();
    if (!error.driverText().isEmpty() && !parts.join(u' ').contains(error.driverText()))
        parts << error.driverText().trimmed();
    if (parts.isEmpty())
        parts << QStringLiteral("erro desconhecido do driver");
    return parts.join(QStringLiteral(" - "));
}

QString sqlQuoted(QString text)
{
    return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

bool isLostConnection(const QSqlError& error, bool sessionStillOpen, const QString& sqlState)
{
    if (!sessionStillOpen)
        return true;
    // SQLSTATE class 08 from an ODBC diagnostic record: the driver's own texts may be localised.
    if (sqlState.size() == 5 && sqlState.startsWith(QLatin1String("08")))
        return true;
    const QString code = error.nativeErrorCode();
    // SQLSTATE class 08 (connection exception), 57P01..57P03 (server shut down or terminated
    // the backend), FreeTDS native errors 20004/20006/20009/20047 (read/write failed, server
    // unavailable, dead DBPROCESS).
    static const QStringList codes = {QStringLiteral("08"),    QStringLiteral("57P01"), QStringLiteral("57P02"),
                                      QStringLiteral("57P03"), QStringLiteral("20004"), QStringLiteral("20006"),
                                      QStringLiteral("20009"), QStringLiteral("20047")};
    for (const QString& part : code.split(u';', Qt::SkipEmptyParts)) {
        const QString c = part.trimmed();
        for (const QString& known : codes)
            if (c == known || (known.size() == 2 && c.startsWith(known) && c.size() == 5))
                return true;
    }
    static const QStringList texts = {
        QStringLiteral("server closed the connection"),
        QStringLiteral("no connection to the server"),
        QStringLiteral("terminating connection"),
        QStringLiteral("could not send data to server"),
        QStringLiteral("could not receive data"),
        QStringLiteral("connection has been lost"),
        QStringLiteral("connection is dead"),
        QStringLiteral("communication link failure"),
        QStringLiteral("dbprocess is dead"),
        QStringLiteral("read from the server failed"),
        QStringLiteral("write to the server failed"),
        QStringLiteral("connection not open"),
        QStringLiteral("connection to server was lost"),
        QStringLiteral("server has gone away"),
        QStringLiteral("broken pipe"),
        QStringLiteral("connection reset by peer"),
    };
    const QString all = (error.databaseText() + u' ' + error.driverText()).toLower();
    for (const QString& t : texts)
        if (all.contains(t))
            return true;
    return false;
}

bool isRowRefusal(const QSqlError& error, ConnectionTarget::Engine engine, const QString& sqlState)
{
    const auto rowClass = [](const QString& state) {
        return state.size() == 5 && (state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23")));
    };
    QStringList natives;
    for (const QString& part : error.nativeErrorCode().split(u';', Qt::SkipEmptyParts))
        natives << part.trimmed();
    switch (engine) {
    case ConnectionTarget::Engine::PostgreSql:
        // QPSQL reports the SQLSTATE as its native code.
        return std::any_of(natives.cbegin(), natives.cend(), rowClass);
    case ConnectionTarget::Engine::Sqlite:
        // SQLITE_CONSTRAINT (19, with its extended codes) and SQLITE_MISMATCH (20).
        return std::any_of(natives.cbegin(), natives.cend(), [](const QString& code) {
            bool ok = false;
            const int primary = code.toInt(&ok) & 0xFF;
            return ok && (primary == 19 || primary == 20);
        });
    case ConnectionTarget::Engine::Odbc: {
        if (rowClass(sqlState))
            return true;
        // SQL Server: a null where none may be (515), a foreign key or check (547), a duplicate key
        // (2601, 2627), a conversion or truncation (8114, 8152, 2628, 241, 245).
        static const QStringList sqlServer = {QStringLiteral("515"),  QStringLiteral("547"),  QStringLiteral("2601"),
                                              QStringLiteral("2627"), QStringLiteral("8114"), QStringLiteral("8152"),
                                              QStringLiteral("2628"), QStringLiteral("241"),  QStringLiteral("245")};
        return std::any_of(natives.cbegin(), natives.cend(),
                           [](const QString& code) { return sqlServer.contains(code); });
    }
    }
    return false;
}

Connection::Connection(QString name)
    : m_name(std::move(name))
    , m_qtName(uniqueQtName(m_name))
{
}

Connection::~Connection()
{
    close();
}

void Connection::setConnectionString(const QString& connectionString)
{
    m_connectionString = connectionString;
}

void Connection::open()
{
    if (isOpen())
        return;
    // A unit whose session was closed under it (the switch closes the connections while a cycle
    // lets window messages run) must not go on in a new session, one statement at a time.
    if (m_transactionClosed)
        throw ConnectionFailure(
            ConnectionFailure::Kind::Lost, m_name,
            QStringLiteral("Falha de conexão com %1: a conexão foi fechada no meio de uma gravação").arg(m_name));
    ConnectionTarget target = targetFromConnectionString(m_connectionString);
    if (m_beforeConnect)
        m_beforeConnect(*this, target);

    QString driver;
    switch (target.engine) {
    case ConnectionTarget::Engine::Odbc:
        driver = QStringLiteral("QODBC");
        break;
    case ConnectionTarget::Engine::PostgreSql:
        driver = QStringLiteral("QPSQL");
        break;
    case ConnectionTarget::Engine::Sqlite:
        driver = QStringLiteral("QSQLITE");
        break;
    }
    m_target = target;
    const auto couldNotConnect = [this, &target](const QString& reason) {
        return ConnectionFailure(
            ConnectionFailure::Kind::CouldNotConnect, m_name,
            QStringLiteral("Não foi possível conectar %1 (%2): %3").arg(m_name, target.describe(), reason));
    };
    if (target.engine == ConnectionTarget::Engine::Sqlite && !QFileInfo(target.sqliteFile).isFile())
        throw couldNotConnect(QStringLiteral("o arquivo não existe"));

    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_qtName);
    if (!db.isValid()) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_qtName);
        throw ConnectionFailure(
            ConnectionFailure::Kind::CouldNotConnect, m_name,
            QStringLiteral("Não foi possível conectar %1: o driver %2 não está instalado").arg(m_name, driver));
    }
    const int timeout = std::max(1, target.loginTimeoutSeconds);
    switch (target.engine) {
    case ConnectionTarget::Engine::Odbc:
        db.setDatabaseName(target.odbcConnectionString);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(timeout));
        break;
    case ConnectionTarget::Engine::PostgreSql:
        db.setHostName(target.host);
        if (target.port > 0)
            db.setPort(target.port);
        db.setDatabaseName(target.database);
        db.setUserName(target.user);
        db.setPassword(target.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(timeout));
        break;
    case ConnectionTarget::Engine::Sqlite:
        db.setDatabaseName(target.sqliteSchema.isEmpty() ? target.sqliteFile : QStringLiteral(":memory:"));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(timeout * 1000));
        break;
    }
    if (!db.open()) {
        const QString reason = scrub(driverText(db.lastError()));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_qtName);
        throw couldNotConnect(reason);
    }
    m_database = db;
    if (target.engine == ConnectionTarget::Engine::Sqlite && !target.sqliteSchema.isEmpty()) {
        QSqlQuery attach(db);
        if (!attach.exec(
                QStringLiteral("ATTACH DATABASE %1 AS %2").arg(sqlQuoted(target.sqliteFile), target.sqliteSchema))) {
            const QSqlError error = attach.lastError();
            attach = QSqlQuery();
            close();
            throw couldNotConnect(driverText(error));
        }
    }
}

void Connection::close()
{
    keepBatchBeforeClosing();
    m_serverNames.clear();
    m_prepared.clear();
    dropReader();
    if (m_inTransaction || m_inBatch)
        m_transactionClosed = true;
    m_inTransaction = false;
    if (!m_database)
        return;
    m_database->close();
    m_database.reset();
    QSqlDatabase::removeDatabase(m_qtName);
}

QSqlDatabase Connection::database()
{
    open();
    return *m_database;
}

void Connection::clearPrepared()
{
    const bool alive = m_database && m_database->isOpen();
    std::vector<QString> names;
    for (const auto& [query, name] : m_serverNames)
        names.push_back(name);
    m_serverNames.clear();
    m_prepared.clear();
    if (!alive)
        return;
    for (const QString& name : names) {
        QSqlQuery deallocate(*m_database);
        deallocate.exec(QStringLiteral("DEALLOCATE ") + name);
    }
}

QSqlQuery& Connection::prepared(const QString& sql, const QString& context)
{
    const QSqlDatabase db = database();
    if (auto found = m_prepared.find(sql); found != m_prepared.end())
        return *found->second;
    // Statements whose text carries a value (filters, counters by store) would pile up.
    if (m_prepared.size() >= 256)
        clearPrepared();
    setPendingSavepoint();
    auto query = std::make_unique<QSqlQuery>(db);
    ++m_statementsSent;
    if (m_target.engine == ConnectionTarget::Engine::PostgreSql && !readsRows(sql)) {
        const QString name = QStringLiteral("carvela_w%1").arg(++m_serverStatementCount);
        if (!query->exec(QStringLiteral("PREPARE %1 AS %2").arg(name, dollarPlaceholders(sql))))
            fail(*query, context);
        m_serverNames.emplace(query.get(), name);
    } else {
        query->setForwardOnly(true);
        if (!query->prepare(sql))
            fail(*query, context);
    }
    return *m_prepared.emplace(sql, std::move(query)).first->second;
}

int Connection::run(QSqlQuery& statement, const QString& context)
{
    if (const auto server = m_serverNames.find(&statement); server != m_serverNames.end()) {
        // One message: the unit's savepoint, if it is still to be set, and the statement.
        const QString savepoint = takePendingSavepoint();
        const QString text = savepoint + executeText(*m_database->driver(), server->second, statement.boundValues());
        m_statementsSent += 1 + savepoint.count(u';');
        const PgOutcome outcome = execOnPgSession(*m_database, text);
        if (outcome.error.isValid())
            fail(outcome.error, context);
        return outcome.rowsAffected;
    }
    if (m_savepointPending && m_database && statement.driver() == m_database->driver())
        setPendingSavepoint();
    ++m_statementsSent;
    if (!statement.exec())
        fail(statement, context);
    return statement.numRowsAffected();
}

int Connection::run(QSqlQuery& statement, const QString& sql, const QString& context)
{
    if (m_savepointPending && m_database && statement.driver() == m_database->driver())
        setPendingSavepoint();
    ++m_statementsSent;
    if (!statement.exec(sql))
        fail(statement, context);
    return statement.numRowsAffected();
}

QSqlDatabase Connection::readerDatabase()
{
    const QSqlDatabase main = database();
    if (!m_readerName.isEmpty())
        return QSqlDatabase::database(m_readerName, false);
    const QString name = m_qtName + QStringLiteral("/reader");
    QSqlDatabase reader = QSqlDatabase::cloneDatabase(main, name);
    if (!reader.open()) {
        const QString reason = scrub(driverText(reader.lastError()));
        reader = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw ConnectionFailure(
            ConnectionFailure::Kind::CouldNotConnect, m_name,
            QStringLiteral("Não foi possível conectar %1 (%2): %3").arg(m_name, m_target.describe(), reason));
    }
    if (m_target.engine == ConnectionTarget::Engine::Sqlite && !m_target.sqliteSchema.isEmpty()) {
        QSqlQuery attach(reader);
        if (!attach.exec(QStringLiteral("ATTACH DATABASE %1 AS %2")
                             .arg(sqlQuoted(m_target.sqliteFile), m_target.sqliteSchema))) {
            const QSqlError error = attach.lastError();
            attach = QSqlQuery();
            reader.close();
            reader = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            fail(error, m_name);
        }
    }
    m_readerName = name;
    return reader;
}

void Connection::dropReader()
{
    if (m_readerName.isEmpty())
        return;
    {
        QSqlDatabase reader = QSqlDatabase::database(m_readerName, false);
        reader.close();
    }
    QSqlDatabase::removeDatabase(m_readerName);
    m_readerName.clear();
}

void Connection::fail(const QSqlQuery& statement, const QString& context)
{
    const QString sqlState = m_target.engine == ConnectionTarget::Engine::Odbc ? odbcSqlState(statement) : QString();
    fail(statement.lastError(), sqlState, context);
}

void Connection::fail(const QSqlError& error, const QString& context)
{
    fail(error, QString(), context);
}

void Connection::fail(const QSqlError& error, const QString& sqlState, const QString& context)
{
    const bool stillOpen = m_database && m_database->isOpen();
    const QString reason = scrub(driverText(error));
    if (isLostConnection(error, stillOpen, sqlState)) {
        // The statements belong to the lost session; they are prepared again after a reconnect.
        m_serverNames.clear();
        m_prepared.clear();
        if (m_inBatch)
            m_transactionClosed = true;
        m_inTransaction = false;
        throw ConnectionFailure(ConnectionFailure::Kind::Lost, m_name,
                                QStringLiteral("Falha de conexão com %1: %2").arg(m_name, reason));
    }
    const QString message = context.isEmpty() ? reason : context + QStringLiteral(": ") + reason;
    if (isRowRefusal(error, m_target.engine, sqlState))
        throw RowFailure(message, m_name);
    throw Failure(message, m_name);
}

bool Connection::rollBackUnitSavepoint() noexcept
{
    QSqlQuery statement(*m_database);
    m_statementsSent += isSqlServer() ? 1 : 2;
    if (isSqlServer())
        return statement.exec(QStringLiteral("ROLLBACK TRANSACTION carvela_unit"));
    return statement.exec(QStringLiteral("ROLLBACK TO SAVEPOINT carvela_unit")) &&
           statement.exec(QStringLiteral("RELEASE SAVEPOINT carvela_unit"));
}

void Connection::keepBatchBeforeClosing() noexcept
{
    // The switch closes the connections while a section lets the window run: the units the batch
    // holds are whole, so they are kept, as when each unit was committed on its own. A unit half
    // way goes first, and is refused from here on (m_transactionClosed).
    if (!m_inBatch || !m_database || !m_database->isOpen() || m_transactionClosed || m_batchBroken)
        return;
    if (m_inTransaction && m_savepointSet) {
        if (!rollBackUnitSavepoint())
            return; // what the batch holds cannot be told from the unit: it goes with the session
    }
    if (m_database->commit())
        m_inBatch = false;
}

bool Connection::isSqlServer() const
{
    return m_database && m_database->driver()->dbmsType() == QSqlDriver::MSSqlServer;
}

void Connection::runControl(const QString& sql)
{
    QSqlQuery statement(*m_database);
    ++m_statementsSent;
    if (!statement.exec(sql))
        fail(statement, m_name);
}

QString Connection::takePendingSavepoint()
{
    if (!m_savepointPending)
        return {};
    m_savepointPending = false;
    m_savepointSet = true;
    const bool release = m_savepointToRelease;
    m_savepointToRelease = false;
    return release ? QStringLiteral("RELEASE SAVEPOINT carvela_unit; SAVEPOINT carvela_unit; ")
                   : QStringLiteral("SAVEPOINT carvela_unit; ");
}

void Connection::setPendingSavepoint()
{
    if (!m_savepointPending)
        return;
    m_savepointPending = false;
    if (isSqlServer()) {
        runControl(QStringLiteral("SAVE TRANSACTION carvela_unit"));
    } else if (m_savepointToRelease && m_target.engine == ConnectionTarget::Engine::PostgreSql) {
        // One round trip: the last unit's savepoint goes as this one's is set.
        runControl(QStringLiteral("RELEASE SAVEPOINT carvela_unit; SAVEPOINT carvela_unit"));
    } else {
        if (m_savepointToRelease)
            runControl(QStringLiteral("RELEASE SAVEPOINT carvela_unit"));
        runControl(QStringLiteral("SAVEPOINT carvela_unit"));
    }
    m_savepointToRelease = false;
    m_savepointSet = true;
}

void Connection::begin()
{
    QSqlDatabase db = database();
    if (m_batchBroken)
        throw Failure(
            QStringLiteral("%1: uma gravação não pôde ser desfeita sozinha e o lote inteiro foi desfeito").arg(m_name),
            m_name);
    if (m_inBatch) {
        if (m_inTransaction)
            throw Failure(QStringLiteral("%1: uma gravação começou dentro de outra").arg(m_name), m_name);
        // Set with the unit's first statement: a unit that sends none (a row already there, or
        // unchanged) costs nothing.
        m_savepointPending = true;
        m_inTransaction = true;
        return;
    }
    ++m_statementsSent;
    if (!db.transaction())
        fail(db.lastError(), m_name);
    m_inTransaction = true;
}

void Connection::commit()
{
    if (!m_database || m_transactionClosed)
        throw ConnectionFailure(
            ConnectionFailure::Kind::Lost, m_name,
            QStringLiteral("Falha de conexão com %1: a sessão terminou antes do commit").arg(m_name));
    m_inTransaction = false;
    if (m_inBatch) {
        // SQL Server's savepoints need no release: they end with the transaction.
        if (m_savepointSet)
            m_savepointToRelease = !isSqlServer();
        m_savepointSet = false;
        m_savepointPending = false;
        ++m_unitsInBatch;
        return;
    }
    ++m_statementsSent;
    if (!m_database->commit()) {
        const QSqlError error = m_database->lastError();
        m_database->rollback();
        fail(error, m_name);
    }
}

void Connection::rollback() noexcept
{
    if (m_inBatch) {
        if (!m_inTransaction)
            return;
        m_inTransaction = false;
        const bool set = m_savepointSet;
        m_savepointSet = false;
        m_savepointPending = false;
        if (!set)
            return; // the unit sent nothing: nothing to undo
        m_savepointToRelease = false;
        if (!m_database || !m_database->isOpen() || m_transactionClosed)
            return;
        // Only this unit goes; what the batch holds stays.
        const bool undone = rollBackUnitSavepoint();
        if (!undone) {
            m_batchBroken = true;
            m_database->rollback();
        }
        return;
    }
    m_transactionClosed = false;
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (m_database && m_database->isOpen())
        m_database->rollback();
}

void Connection::beginBatch()
{
    QSqlDatabase db = database();
    if (m_inBatch || m_inTransaction)
        throw Failure(QStringLiteral("%1: um lote começou dentro de outra gravação").arg(m_name), m_name);
    ++m_statementsSent;
    if (!db.transaction())
        fail(db.lastError(), m_name);
    m_inBatch = true;
    m_unitsInBatch = 0;
    m_savepointPending = false;
    m_savepointSet = false;
    m_savepointToRelease = false;
    m_batchBroken = false;
}

void Connection::commitBatch()
{
    if (m_inTransaction)
        throw Failure(QStringLiteral("%1: o lote terminou com uma gravação aberta").arg(m_name), m_name);
    if (!m_database || m_transactionClosed)
        throw ConnectionFailure(
            ConnectionFailure::Kind::Lost, m_name,
            QStringLiteral("Falha de conexão com %1: a sessão terminou antes do commit").arg(m_name));
    if (m_batchBroken) {
        rollbackBatch();
        throw Failure(
            QStringLiteral("%1: uma gravação não pôde ser desfeita sozinha e o lote inteiro foi desfeito").arg(m_name),
            m_name);
    }
    m_inBatch = false;
    m_savepointToRelease = false;
    ++m_statementsSent;
    if (!m_database->commit()) {
        const QSqlError error = m_database->lastError();
        m_database->rollback();
        fail(error, m_name);
    }
}

void Connection::rollbackBatch() noexcept
{
    const bool wasOpen = m_inBatch;
    m_inBatch = false;
    m_inTransaction = false;
    m_transactionClosed = false;
    m_batchBroken = false;
    m_savepointPending = false;
    m_savepointSet = false;
    m_savepointToRelease = false;
    if (wasOpen && m_database && m_database->isOpen())
        m_database->rollback();
}

Batch::Batch(Connection& connection)
    : m_connection(connection)
{
    m_connection.beginBatch();
    m_open = true;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
}

Batch::~Batch()
{
    if (m_open)
        m_connection.rollbackBatch();
}

bool Batch::commitIfDue()
{
    if (!m_connection.inBatch()) {
        // Committed when the connection was closed under it: the next units start a new one.
        m_connection.beginBatch();
        m_startedMs = QDateTime::currentMSecsSinceEpoch();
        return true;
    }
    constexpr int kUnitsPerCommit = 500;
    constexpr qint64 kMsPerCommit = 1000;
    if (m_connection.unitsInBatch() < kUnitsPerCommit &&
        QDateTime::currentMSecsSinceEpoch() - m_startedMs < kMsPerCommit)
        return false;
    commit();
    m_connection.beginBatch();
    m_open = true;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    return true;
}

void Batch::commit()
{
    // Left open when the commit fails: the destructor then rolls it back.
    if (m_connection.inBatch())
        m_connection.commitBatch();
    m_open = false;
}

QString Connection::scrub(QString text) const
{
    for (const QString& secret : m_target.secrets())
        if (!secret.isEmpty())
            text.replace(secret, QStringLiteral("****"));
    return text;
}

} // namespace carvela
