#include "db/connectiontarget.h"

#include "core/failure.h"

#include <algorithm>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace carvela {

namespace {

using Pairs = std::vector<std::pair<QString, QString>>;

constexpr int kDefaultLoginTimeoutSeconds = 15;
constexpr int kSqlServerDefaultPort = 1433;

// Where an init string came from, for the messages: a .udl file or a connection string given directly.
struct Origin {
    QString udlPath; // empty when the init string was given directly

    QString where() const
    {
        return udlPath.isEmpty() ? QStringLiteral("na cadeia de conexão")
                                 : QStringLiteral("no arquivo ") + QDir::toNativeSeparators(udlPath);
    }
};

// The last value of a key (keys compare trimmed and without regard to case); nullopt when absent.
std::optional<QString> valueOf(const Pairs& pairs, std::initializer_list<QLatin1StringView> keys)
{
    std::optional<QString> found;
    for (const auto& [key, value] : pairs) {
        for (const QLatin1StringView wanted : keys) {
            if (key.compare(wanted, Qt::CaseInsensitive) == 0)
                found = value;
        }
    }
    return found;
}

QString textOf(const Pairs& pairs, std::initializer_list<QLatin1StringView> keys)
{
    return valueOf(pairs, keys).value_or(QString()).trimmed();
}

// Builds operator messages and keeps the password out of every value they quote.
class Reporter {
public:
    Reporter(Origin origin, QString password)
        : m_origin(std::move(origin))
        , m_password(std::move(password))
    {
    }
    const Origin& origin() const { return m_origin; }

    // "<what> <where>" or "<what> <where>: <value>"
    [[noreturn]] void fail(const QString& what, const QString& value = {}) const
    {
        QString message = what + u' ' + m_origin.where();
        if (!value.isEmpty())
            message += QStringLiteral(": ") + shown(value);
        throw Failure(message);
    }

private:
    QString shown(QString value) const
    {
        if (!m_password.isEmpty())
            value.replace(m_password, QStringLiteral("***"));
        return value;
    }

    Origin m_origin;
    QString m_password;
};

// Reads an enclosed value from position j up to its closer, which a doubled closer stands for
// inside the value; j ends just past the closer (or at the end of the text).
QString readEnclosed(const QString& text, qsizetype& j, QChar closer)
{
    QString value;
    const qsizetype n = text.size();
    while (j < n) {
        if (text.at(j) == closer) {
            if (j + 1 < n && text.at(j + 1) == closer) {
                value += closer;
                j += 2;
                continue;
            }
            ++j;
            break;
        }
        value += text.at(j++);
    }
    return value;
}

// --- ODBC connection strings -------------------------------------------------------------------

// Brace-quotes an ODBC attribute value. Standard ODBC drivers read "}}" inside braces as one '}'.
// FreeTDS does not: it takes everything up to the first "};" literally, so its values are braced
// without doubling and cannot hold the sequence "};" (refuseForFreeTds).
QString braced(const QString& value, bool freeTds)
{
    if (freeTds)
        return u'{' + value + u'}';
    QString escaped = value;
    escaped.replace(u'}', QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

// The value as written, or braced when it holds characters that would end or confuse it.
QString odbcValue(const QString& value, bool freeTds)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
                             value.contains(u'=') ||
                             (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    return needsBraces ? braced(value, freeTds) : value;
}

bool isFreeTdsDriver(const QString& driver)
{
    return driver.contains(QLatin1StringView("FreeTDS"), Qt::CaseInsensitive) ||
           driver.contains(QLatin1StringView("tdsodbc"), Qt::CaseInsensitive);
}

// The attributes of an ODBC connection string, read with the brace rules of the driver it names.
Pairs parseOdbcString(const QString& text, std::optional<bool> freeTdsRules = std::nullopt)
{
    Pairs pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (j < n && text.at(j) == u' ')
            ++j;
        QString value;
        if (j < n && text.at(j) == u'{' && freeTdsRules.value_or(false)) {
            qsizetype close = text.indexOf(QLatin1StringView("};"), j + 1);
            if (close < 0)
                close = text.endsWith(u'}') ? n - 1 : n;
            value = text.mid(j + 1, close - j - 1);
            i = close + 2;
        } else if (j < n && text.at(j) == u'{') {
            value = readEnclosed(text, ++j, u'}');
            const qsizetype next = text.indexOf(u';', j);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = text.indexOf(u';', j);
            value = text.mid(j, (next < 0 ? n : next) - j).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            pairs.emplace_back(key, value);
    }
    if (!freeTdsRules) {
        // First pass with the standard rules only finds the driver; FreeTDS strings are read again.
        for (const auto& [key, value] : pairs) {
            if (key.compare(QLatin1StringView("DRIVER"), Qt::CaseInsensitive) == 0 && isFreeTdsDriver(value))
                return parseOdbcString(text, true);
        }
    }
    return pairs;
}

// FreeTDS ends a braced value at the first "};", so such a value cannot reach it.
void refuseForFreeTds(const QString& label, const QString& value, const Reporter& report)
{
    if (value.contains(QLatin1StringView("};")))
        report.fail(label + QStringLiteral(" contém a sequência \"};\", que o driver FreeTDS não aceita,"));
}

// --- providers ---------------------------------------------------------------------------------

enum class Provider { Missing, SqlServer, Msdasql, PostgreSql, Sqlite, Unknown };

Provider providerKind(const QString& provider)
{
    if (provider.isEmpty())
        return Provider::Missing;
    // "SQLOLEDB.1", "MSOLEDBSQL19": the name before any dot or version decides.
    const QString name = provider.section(u'.', 0, 0).trimmed();
    if (name.compare(QLatin1StringView("SQLOLEDB"), Qt::CaseInsensitive) == 0 ||
        name.startsWith(QLatin1StringView("SQLNCLI"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1StringView("MSOLEDBSQL"), Qt::CaseInsensitive))
        return Provider::SqlServer;
    if (name.compare(QLatin1StringView("MSDASQL"), Qt::CaseInsensitive) == 0)
        return Provider::Msdasql;
    if (name.compare(QLatin1StringView("PostgreSQL"), Qt::CaseInsensitive) == 0)
        return Provider::PostgreSql;
    if (name.compare(QLatin1StringView("SQLite"), Qt::CaseInsensitive) == 0)
        return Provider::Sqlite;
    return Provider::Unknown;
}

int portNumber(const QString& text, bool* ok)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int port = digits.match(text).hasMatch() ? text.toInt() : 0;
    *ok = port >= 1 && port <= 65535;
    return port;
}

int loginTimeout(const Pairs& pairs, const Reporter& report)
{
    const QString text = textOf(pairs, {QLatin1StringView("Connect Timeout"), QLatin1StringView("Connection Timeout")});
    if (text.isEmpty())
        return kDefaultLoginTimeoutSeconds;
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 0)
        report.fail(QStringLiteral("Tempo limite de conexão inválido (Connect Timeout)"), text);
    // Zero means "wait forever" to OLE DB; a login here always has a limit.
    return seconds == 0 ? kDefaultLoginTimeoutSeconds : seconds;
}

bool wantsWindowsAuthentication(const Pairs& pairs)
{
    const QString value =
        textOf(pairs, {QLatin1StringView("Integrated Security"), QLatin1StringView("Trusted_Connection")});
    return value.compare(QLatin1StringView("SSPI"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1StringView("yes"), Qt::CaseInsensitive) == 0;
}

// SQL Server `Data Source`: host, host\instance, host,port, tcp:host,port, "." or "(local)".
struct SqlServerAddress {
    QString host;
    QString instance;
    int port = -1;

    QString display() const
    {
        QString text = host;
        if (!instance.isEmpty())
            text += u'\\' + instance;
        if (port > 0)
            text += u',' + QString::number(port);
        return text;
    }
};

SqlServerAddress sqlServerAddress(const QString& dataSource, const Reporter& report)
{
    QString rest = dataSource.trimmed();
    if (rest.startsWith(QLatin1StringView("tcp:"), Qt::CaseInsensitive))
        rest = rest.mid(4).trimmed();
    SqlServerAddress address;
    const qsizetype comma = rest.lastIndexOf(u',');
    if (comma >= 0) {
        bool ok = false;
        address.port = portNumber(rest.mid(comma + 1).trimmed(), &ok);
        if (!ok)
            report.fail(QStringLiteral("Porta inválida no servidor (Data Source)"), dataSource);
        rest = rest.left(comma).trimmed();
    }
    const qsizetype slash = rest.indexOf(u'\\');
    if (slash >= 0) {
        address.instance = rest.mid(slash + 1).trimmed();
        rest = rest.left(slash).trimmed();
    }
    if (rest == QLatin1StringView(".") || rest.compare(QLatin1StringView("(local)"), Qt::CaseInsensitive) == 0)
        rest = QStringLiteral("localhost");
    if (rest.isEmpty())
        report.fail(QStringLiteral("Servidor não informado (Data Source)"));
    address.host = rest;
    return address;
}

ConnectionTarget sqlServerTarget(const Pairs& pairs, const Reporter& report)
{
    ConnectionTarget target;
    target.engine = ConnectionTarget::Engine::Odbc;
    const SqlServerAddress address =
        sqlServerAddress(textOf(pairs, {QLatin1StringView("Data Source"), QLatin1StringView("Server")}), report);
    target.host = address.display();
    target.database = textOf(pairs, {QLatin1StringView("Initial Catalog"), QLatin1StringView("Database")});
    target.loginTimeoutSeconds = loginTimeout(pairs, report);
    const bool windowsAuthentication = wantsWindowsAuthentication(pairs);
    if (!windowsAuthentication) {
        target.user = textOf(pairs, {QLatin1StringView("User ID"), QLatin1StringView("UID")});
        target.password = valueOf(pairs, {QLatin1StringView("Password"), QLatin1StringView("PWD")}).value_or(QString());
        if (target.user.isEmpty())
            report.fail(QStringLiteral("Usuário do SQL Server não informado (User ID)"));
    }

#ifdef Q_OS_WIN
    constexpr bool freeTds = false;
    QString server;
    if (address.port > 0)
        server = QStringLiteral("tcp:") + address.host + u',' + QString::number(address.port);
    else if (!address.instance.isEmpty())
        server = address.host + u'\\' + address.instance;
    else
        server = address.host;
    QString odbc = QStringLiteral("DRIVER={ODBC Driver 17 for SQL Server};SERVER=") + odbcValue(server, freeTds) + u';';
#else
    if (windowsAuthentication)
        report.fail(QStringLiteral("Autenticação do Windows (Integrated Security=SSPI) não está disponível "
                                   "neste sistema; informe o usuário (User ID) e a senha (Password) do "
                                   "SQL Server"));
    constexpr bool freeTds = true;
    // FreeTDS takes a named instance as SERVER=host\instance (it asks the server's browser service
    // for the port) and a port as PORT=n; an explicit port wins over the instance.
    QString odbc = QStringLiteral("DRIVER={FreeTDS};SERVER=");
    if (address.port > 0)
        odbc += odbcValue(address.host, freeTds) + QStringLiteral(";PORT=") + QString::number(address.port);
    else if (!address.instance.isEmpty())
        odbc += odbcValue(address.host + u'\\' + address.instance, freeTds);
    else
        odbc += odbcValue(address.host, freeTds) + QStringLiteral(";PORT=") + QString::number(kSqlServerDefaultPort);
    odbc += u';';
    refuseForFreeTds(QStringLiteral("O banco (Initial Catalog)"), target.database, report);
    refuseForFreeTds(QStringLiteral("O usuário (User ID)"), target.user, report);
    refuseForFreeTds(QStringLiteral("A senha (Password)"), target.password, report);
#endif
    if (!target.database.isEmpty())
        odbc += QStringLiteral("DATABASE=") + odbcValue(target.database, freeTds) + u';';
    if (windowsAuthentication)
        odbc += QStringLiteral("Trusted_Connection=yes;");
    else
        odbc += QStringLiteral("UID=") + odbcValue(target.user, freeTds) + QStringLiteral(";PWD=") +
                braced(target.password, freeTds) + u';';
#ifndef Q_OS_WIN
    odbc += QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;");
#endif
    target.odbcConnectionString = odbc;
    return target;
}

// Keys an OLE DB init string for MSDASQL holds besides the ODBC string. A key after an unquoted
// Extended Properties that is none of them is a piece of the ODBC string cut off at its ';'.
void refuseUnquotedExtendedProperties(const Pairs& pairs, const Reporter& report)
{
    static const QStringList oledbKeys = {QStringLiteral("Provider"),
                                          QStringLiteral("Data Source"),
                                          QStringLiteral("User ID"),
                                          QStringLiteral("Password"),
                                          QStringLiteral("Persist Security Info"),
                                          QStringLiteral("Initial Catalog"),
                                          QStringLiteral("Extended Properties"),
                                          QStringLiteral("Connect Timeout"),
                                          QStringLiteral("Prompt"),
                                          QStringLiteral("Location"),
                                          QStringLiteral("Mode"),
                                          QStringLiteral("Integrated Security"),
                                          QStringLiteral("General Timeout"),
                                          QStringLiteral("OLE DB Services"),
                                          QStringLiteral("Window Handle"),
                                          QStringLiteral("Application Name"),
                                          QStringLiteral("Workstation ID")};
    bool after = false;
    QStringList stray;
    for (const auto& [key, value] : pairs) {
        const QString k = key.trimmed();
        if (k.compare(QLatin1String("Extended Properties"), Qt::CaseInsensitive) == 0) {
            after = true;
            continue;
        }
        const bool known = std::any_of(oledbKeys.cbegin(), oledbKeys.cend(),
                                       [&](const QString& o) { return o.compare(k, Qt::CaseInsensitive) == 0; });
        if (after && !known)
            stray << k;
    }
    if (!stray.isEmpty())
        report.fail(QStringLiteral("Extended Properties sem aspas"),
                    stray.join(QStringLiteral(", ")) +
                        (stray.size() == 1 ? QStringLiteral(" ficou") : QStringLiteral(" ficaram")) +
                        QStringLiteral(" fora da cadeia ODBC; escreva a cadeia inteira entre aspas duplas: "
                                       "Extended Properties=\"DRIVER={...};SERVER=...;PORT=...;DATABASE=...\""));
}

ConnectionTarget msdasqlTarget(const Pairs& pairs, const Reporter& report)
{
    refuseUnquotedExtendedProperties(pairs, report);
    ConnectionTarget target;
    target.engine = ConnectionTarget::Engine::Odbc;
    target.loginTimeoutSeconds = loginTimeout(pairs, report);
    QString odbc = textOf(pairs, {QLatin1StringView("Extended Properties")});
    Pairs attributes = parseOdbcString(odbc);
    const QString dataSource = textOf(pairs, {QLatin1StringView("Data Source")});
    const bool namesTarget =
        valueOf(attributes, {QLatin1StringView("DSN"), QLatin1StringView("DRIVER"), QLatin1StringView("FILEDSN")})
            .has_value();
    if (!namesTarget) {
        if (dataSource.isEmpty())
            report.fail(QStringLiteral("Cadeia ODBC não informada (Extended Properties)"));
        // Data Source of MSDASQL is the name of an ODBC data source.
        odbc = QStringLiteral("DSN=") + odbcValue(dataSource, false) + u';' + odbc;
        attributes = parseOdbcString(odbc);
    }
    const bool freeTds = isFreeTdsDriver(textOf(attributes, {QLatin1StringView("DRIVER")}));
    if (!odbc.isEmpty() && !odbc.endsWith(u';'))
        odbc += u';';
    const QString user = textOf(pairs, {QLatin1StringView("User ID")});
    const auto password = valueOf(pairs, {QLatin1StringView("Password")});
    const auto userKeys = {QLatin1StringView("UID"), QLatin1StringView("Username"), QLatin1StringView("User")};
    const auto passwordKeys = {QLatin1StringView("PWD"), QLatin1StringView("Password")};
    if (!user.isEmpty() && !valueOf(attributes, userKeys).has_value()) {
        if (freeTds)
            refuseForFreeTds(QStringLiteral("O usuário (User ID)"), user, report);
        odbc += QStringLiteral("UID=") + odbcValue(user, freeTds) + u';';
    }
    if (password && !password->isEmpty() && !valueOf(attributes, passwordKeys).has_value()) {
        if (freeTds)
            refuseForFreeTds(QStringLiteral("A senha (Password)"), *password, report);
        odbc += QStringLiteral("PWD=") + braced(*password, freeTds) + u';';
    }
    target.odbcConnectionString = odbc;

    attributes = parseOdbcString(odbc);
    target.user = textOf(attributes, userKeys);
    target.password = valueOf(attributes, passwordKeys).value_or(QString());
    target.database = textOf(attributes, {QLatin1StringView("DATABASE")});
    return target;
}

ConnectionTarget postgreSqlTarget(const Pairs& pairs, const Reporter& report)
{
    // "Catalog" and "Location" (settings of the original client) are accepted and have no effect.
    ConnectionTarget target;
    target.engine = ConnectionTarget::Engine::PostgreSql;
    target.host = textOf(pairs, {QLatin1StringView("Data Source"), QLatin1StringView("Host")});
    if (target.host.isEmpty())
        report.fail(QStringLiteral("Servidor não informado (Data Source)"));
    const QString portText = textOf(pairs, {QLatin1StringView("Port")});
    if (!portText.isEmpty()) {
        bool ok = false;
        target.port = portNumber(portText, &ok);
        if (!ok)
            report.fail(QStringLiteral("Porta inválida (Port)"), portText);
    }
    target.database = textOf(pairs, {QLatin1StringView("Initial Catalog"), QLatin1StringView("Database")});
    target.user = textOf(pairs, {QLatin1StringView("User ID"), QLatin1StringView("User")});
    target.password = valueOf(pairs, {QLatin1StringView("Password")}).value_or(QString());
    target.loginTimeoutSeconds = loginTimeout(pairs, report);
    return target;
}

ConnectionTarget sqliteTarget(const Pairs& pairs, const Reporter& report)
{
    ConnectionTarget target;
    target.engine = ConnectionTarget::Engine::Sqlite;
    QString file = textOf(pairs, {QLatin1StringView("Data Source")});
    if (file.isEmpty())
        report.fail(QStringLiteral("Arquivo do banco SQLite não informado (Data Source)"));
    const QString& udlPath = report.origin().udlPath;
    if (!udlPath.isEmpty() && QFileInfo(file).isRelative())
        file = QDir::cleanPath(QFileInfo(udlPath).absoluteDir().absoluteFilePath(file));
    target.sqliteFile = file;
    target.sqliteSchema = textOf(pairs, {QLatin1StringView("Schema")});
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!target.sqliteSchema.isEmpty() && !identifier.match(target.sqliteSchema).hasMatch())
        report.fail(QStringLiteral("Nome de esquema inválido (Schema)"), target.sqliteSchema);
    return target;
}

ConnectionTarget targetFromPairs(const Pairs& pairs, const Origin& origin)
{
    const Reporter report(
        origin, valueOf(pairs, {QLatin1StringView("Password"), QLatin1StringView("PWD")}).value_or(QString()));
    const QString provider = textOf(pairs, {QLatin1StringView("Provider")});
    switch (providerKind(provider)) {
    case Provider::SqlServer:
        return sqlServerTarget(pairs, report);
    case Provider::Msdasql:
        return msdasqlTarget(pairs, report);
    case Provider::PostgreSql:
        return postgreSqlTarget(pairs, report);
    case Provider::Sqlite:
        return sqliteTarget(pairs, report);
    case Provider::Missing:
        report.fail(QStringLiteral("Provedor não informado (Provider)"));
    case Provider::Unknown:
        break;
    }
    report.fail(QStringLiteral("Provedor não suportado"), provider);
}

} // namespace

QString ConnectionTarget::describe() const
{
    const auto tail = [](const QString& database, const QString& user, bool windowsUser) {
        QString text;
        if (!database.isEmpty())
            text += QStringLiteral(", banco ") + database;
        if (windowsUser)
            text += QStringLiteral(", autenticação do Windows");
        else if (!user.isEmpty())
            text += QStringLiteral(", usuário ") + user;
        return text;
    };
    switch (engine) {
    case Engine::Sqlite:
        return QStringLiteral("SQLite ") + QDir::toNativeSeparators(sqliteFile) +
               (sqliteSchema.isEmpty() ? QString() : QStringLiteral(" (esquema ") + sqliteSchema + u')');
    case Engine::PostgreSql:
        return QStringLiteral("PostgreSQL ") + host + (port > 0 ? u':' + QString::number(port) : QString()) +
               tail(database, user, false);
    case Engine::Odbc:
        break;
    }
    const Pairs attributes = parseOdbcString(odbcConnectionString);
    const QString driver = textOf(attributes, {QLatin1StringView("DRIVER")});
    const QString dsn = textOf(attributes, {QLatin1StringView("DSN")});
    QString server = host;
    if (server.isEmpty()) {
        server = textOf(attributes, {QLatin1StringView("SERVER")});
        const QString portText = textOf(attributes, {QLatin1StringView("PORT")});
        if (!server.isEmpty() && !portText.isEmpty())
            server += u':' + portText;
    }
    const bool sqlServer = isFreeTdsDriver(driver) || driver.contains(QLatin1StringView("SQL Server"));
    QString text = sqlServer ? QStringLiteral("SQL Server")
                             : QStringLiteral("ODBC ") + (dsn.isEmpty() ? driver : QStringLiteral("DSN ") + dsn);
    if (!server.isEmpty())
        text += u' ' + server;
    const bool windowsUser = textOf(attributes, {QLatin1StringView("Trusted_Connection")})
                                 .compare(QLatin1StringView("yes"), Qt::CaseInsensitive) == 0;
    return text + tail(database.isEmpty() ? textOf(attributes, {QLatin1StringView("DATABASE")}) : database,
                       user.isEmpty() ? textOf(attributes, {QLatin1StringView("UID")}) : user, windowsUser);
}

QStringList ConnectionTarget::secrets() const
{
    QStringList list;
    const auto add = [&list](const QString& secret) {
        if (!secret.isEmpty() && !list.contains(secret))
            list.append(secret);
    };
    add(password);
    for (const auto& [key, value] : parseOdbcString(odbcConnectionString)) {
        if (key.compare(QLatin1StringView("PWD"), Qt::CaseInsensitive) == 0 ||
            key.compare(QLatin1StringView("Password"), Qt::CaseInsensitive) == 0)
            add(value);
    }
    return list;
}

std::vector<std::pair<QString, QString>> parseInitString(const QString& initString)
{
    Pairs pairs;
    const QString& s = initString;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype keyEnd = i;
        while (keyEnd < n && s.at(keyEnd) != u'=' && s.at(keyEnd) != u';')
            ++keyEnd;
        const QString key = s.mid(i, keyEnd - i).trimmed();
        if (keyEnd >= n || s.at(keyEnd) == u';') {
            // A piece without '=': an empty pair, or a bare word that sets nothing.
            if (!key.isEmpty())
                pairs.emplace_back(key, QString());
            i = keyEnd + 1;
            continue;
        }
        qsizetype j = keyEnd + 1;
        while (j < n && s.at(j).isSpace() && s.at(j) != u';')
            ++j;
        QString value;
        if (j < n && (s.at(j) == u'"' || s.at(j) == u'\'')) {
            const QChar quote = s.at(j++);
            value = readEnclosed(s, j, quote);
            // Anything between the closing quote and the next ';' is kept, blanks aside.
            const qsizetype next = s.indexOf(u';', j);
            value += s.mid(j, (next < 0 ? n : next) - j).trimmed();
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = s.indexOf(u';', j);
            value = s.mid(j, (next < 0 ? n : next) - j).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            pairs.emplace_back(key, value);
    }
    return pairs;
}

ConnectionTarget targetFromInitString(const QString& initString, const QString& udlPath)
{
    return targetFromPairs(parseInitString(initString), Origin{udlPath});
}

} // namespace carvela
