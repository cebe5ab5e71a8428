#include "db/connectiontarget.h"

#include "core/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace carvela {
namespace {

// A data-link file holds a few hundred bytes; anything this large is not one.
constexpr qint64 kMaxUdlBytes = 1024 * 1024;

// --- .udl files --------------------------------------------------------------------------------

[[noreturn]] void udlFailure(const QString& what, const QString& path)
{
    throw Failure(what + QStringLiteral(": ") + QDir::toNativeSeparators(path));
}

QString decodeUdl(const QByteArray& bytes, const QString& path)
{
    auto decode = [&](QStringConverter::Encoding encoding, qsizetype skip) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        QString text = decoder.decode(QByteArrayView(bytes).sliced(skip));
        if (decoder.hasError())
            udlFailure(QStringLiteral("Arquivo de conexão ilegível (codificação inválida)"), path);
        return text;
    };
    const auto starts = [&](std::initializer_list<unsigned char> prefix) {
        if (bytes.size() < qsizetype(prefix.size()))
            return false;
        qsizetype i = 0;
        for (const unsigned char c : prefix) {
            if (static_cast<unsigned char>(bytes.at(i++)) != c)
                return false;
        }
        return true;
    };
    QString text;
    if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF})) {
        if ((bytes.size() - 2) % 2 != 0)
            udlFailure(QStringLiteral("Arquivo de conexão ilegível (UTF-16 com número ímpar de bytes)"), path);
        text = decode(starts({0xFF, 0xFE}) ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, 2);
    } else if (starts({0xEF, 0xBB, 0xBF})) {
        text = decode(QStringConverter::Utf8, 3);
    } else {
        // No byte-order mark: UTF-8 as written by hand, else the Windows code page of a text editor.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError())
            text = QString::fromLatin1(bytes);
    }
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\r' && c != u'\n')
            udlFailure(QStringLiteral("Arquivo de conexão ilegível (conteúdo corrompido)"), path);
    }
    return text;
}

// The init string of a data-link file's text: the first line after "[oledb]" that is neither blank
// nor a ';' comment.
QString initStringOfUdl(const QString& text, const QString& path)
{
    const QStringList lines = text.split(u'\n');
    bool headerSeen = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!headerSeen) {
            if (line.compare(QLatin1StringView("[oledb]"), Qt::CaseInsensitive) != 0)
                udlFailure(QStringLiteral("Arquivo de conexão sem o cabeçalho [oledb]"), path);
            headerSeen = true;
            continue;
        }
        if (line.startsWith(u';'))
            continue;
        return line;
    }
    if (!headerSeen)
        udlFailure(QStringLiteral("Arquivo de conexão vazio"), path);
    udlFailure(QStringLiteral("Arquivo de conexão sem a cadeia de conexão"), path);
}

} // namespace

ConnectionTarget readUdlFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        udlFailure(QStringLiteral("Arquivo de conexão não encontrado"), path);
    if (!info.isFile())
        udlFailure(QStringLiteral("O caminho do arquivo de conexão não é um arquivo"), path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Não foi possível ler o arquivo de conexão %1: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.read(kMaxUdlBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Não foi possível ler o arquivo de conexão %1: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    if (bytes.size() > kMaxUdlBytes)
        udlFailure(QStringLiteral("Arquivo de conexão grande demais"), path);
    const QString initString = initStringOfUdl(decodeUdl(bytes, path), path);
    return targetFromInitString(initString, info.absoluteFilePath());
}

ConnectionTarget targetFromConnectionString(const QString& connectionString)
{
    static const QRegularExpression fileName(QStringLiteral("^\\s*file\\s+name\\s*=\\s*(.*)$"),
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = fileName.match(connectionString);
    if (!match.hasMatch())
        return targetFromInitString(connectionString);
    // The path runs to the end (it may hold ';'), unless it is quoted.
    QString path = match.captured(1).trimmed();
    if (!path.isEmpty() && (path.front() == u'"' || path.front() == u'\'')) {
        path = parseInitString(QStringLiteral("f=") + path).front().second;
    } else {
        while (path.endsWith(u';'))
            path.chop(1);
        path = path.trimmed();
    }
    if (path.isEmpty())
        throw Failure(QStringLiteral("Arquivo de conexão não informado (FILE NAME)"));
    return readUdlFile(path);
}

void writeUdlFile(const QString& path, const QString& initString)
{
    const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                         initString + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("Unable to write to %1").arg(path));
}

} // namespace carvela
