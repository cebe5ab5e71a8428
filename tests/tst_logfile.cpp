#include "core/logfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace carvela;

namespace {

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestLogFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // An entry with a carriage return (the cycle's error entry) keeps its message on a line of its
    // own, indented under the timestamp; the file is the owner's alone.
    void entriesWithTimestampsReadableByTheOwnerOnly()
    {
        QTemporaryDir dir;
        LogFile log(dir.filePath(QStringLiteral("carvela.log")));
        log.write(QStringLiteral("Erro na Tabela Clientes \rclientes, código 5: '//' is not a valid date"));
        const QStringList lines = read(log.path()).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(QDateTime::fromString(lines[0].left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
        QCOMPARE(lines[0].mid(20), QStringLiteral("Erro na Tabela Clientes "));
        QCOMPARE(lines[1], QString(20, u' ') + QStringLiteral("clientes, código 5: '//' is not a valid date"));
        QCOMPARE(QFile::permissions(log.path()),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    }

    // Past its size the file moves to .1, the older ones move up, and the oldest goes.
    void rotatesBySizeKeepingAFewFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carvela.log"));
        LogFile log(path, 100, 2);
        for (int i = 0; i < 12; ++i)
            log.write(QStringLiteral("entrada %1 ").arg(i) + QString(40, u'x'));
        QVERIFY(QFileInfo(path).size() <= 100);
        QVERIFY(read(path).contains(QStringLiteral("entrada 11 ")));
        QVERIFY(read(path + QStringLiteral(".1")).contains(QStringLiteral("entrada 10 "))); // one entry a file
        QVERIFY(read(path + QStringLiteral(".2")).contains(QStringLiteral("entrada 9 ")));
        QVERIFY(!QFile::exists(path + QStringLiteral(".3")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
