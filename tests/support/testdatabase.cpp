#include "support/testdatabase.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace carvela::test {

QStringList engines()
{
    return {QStringLiteral("sqlite"), QStringLiteral("qpsql"), QStringLiteral("odbc")};
}

void addEngineRows()
{
    QTest::addColumn<QString>("engine");
    for (const QString& engine : engines())
        QTest::newRow(qPrintable(engine)) << engine;
}

TestDatabase::TestDatabase(const QString& engine, const QString& prefix)
    : m_engine(engine)
{
    static QAtomicInt counter;
    m_rawName = QStringLiteral("raw-%1-%2").arg(prefix).arg(counter.fetchAndAddRelaxed(1));
    if (engine == QLatin1String("sqlite")) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_file = m_dir->filePath(prefix + QStringLiteral(".sqlite"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_rawName);
        db.setDatabaseName(m_file);
        if (!db.open())
            throw PgServerError(QStringLiteral("cannot create %1: %2").arg(m_file, db.lastError().text()));
    } else {
        m_pg = std::make_unique<ScratchDatabase>(prefix);
        if (engine == QLatin1String("odbc"))
            m_pg->odbc(m_rawName);
        else
            m_pg->qpsql(m_rawName);
    }
}

TestDatabase::~TestDatabase()
{
    if (m_pg) {
        m_pg.reset(); // closes the raw connection and drops the database
    } else {
        QSqlDatabase::database(m_rawName, false).close();
        QSqlDatabase::removeDatabase(m_rawName);
    }
}

QString TestDatabase::initString() const
{
    if (!m_pg)
        return QStringLiteral("Provider=SQLite;Data Source=") + m_file;
    return m_engine == QLatin1String("odbc") ? m_pg->odbcInitString() : m_pg->initString();
}

QSqlDatabase TestDatabase::raw()
{
    return QSqlDatabase::database(m_rawName);
}

void TestDatabase::exec(const QStringList& statements)
{
    for (const QString& sql : statements) {
        QSqlQuery q(raw());
        if (!q.exec(sql))
            throw PgServerError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    }
}

} // namespace carvela::test
