#include "core/conversions.h"
#include "core/failure.h"
#include "support/failureof.h"

#include <QTest>

using namespace carvela;

class TestConversions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A POS value is a whole number only as decimal digits with a sign, blanks around them
    // ignored: a CHAR column pads codes, and a code with letters must never name another record.
    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "42" << true << 42;
        QTest::newRow("padded by a CHAR column") << " 904 " << true << 904;
        QTest::newRow("negative") << "-3" << true << -3;
        QTest::newRow("plus sign") << "+15" << true << 15;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("minimum") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("letter prefix") << "X1" << false << 0;
        QTest::newRow("hex letters") << "XA" << false << 0;
        QTest::newRow("dollar") << "$1" << false << 0;
        QTest::newRow("0x") << "0x1A" << false << 0;
        QTest::newRow("exponent") << "1e3" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "   " << false << 0;
        QTest::newRow("blank inside") << "1 2" << false << 0;
        QTest::newRow("S/N") << "S/N" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("sign alone") << "-" << false << 0;
    }
    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        QCOMPARE(convert::toIntOr(text, -99), valid ? value : -99);
        if (valid) {
            QCOMPARE(convert::toInt(text), value);
        } else {
            try {
                convert::toInt(text);
                QFAIL("no error");
            } catch (const RowFailure& f) {
                QCOMPARE(f.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
            }
        }
    }

    // Parametros.ini keeps the workstation's integer reader, hexadecimal included.
    void settingIntegers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "42" << true << 42;
        QTest::newRow("leading blanks and sign") << "  -7" << true << -7;
        QTest::newRow("hex 0x") << "0x1E" << true << 30;
        QTest::newRow("hex $") << "$ff" << true << 255;
        QTest::newRow("hex X") << "X10" << true << 16;
        QTest::newRow("all bits") << "$FFFFFFFF" << true << -1;
        QTest::newRow("past 32 bits") << "$100000000" << false << 0;
        QTest::newRow("trailing blank") << "12 " << false << 0;
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("0x alone") << "0x" << false << 0;
    }
    void settingIntegers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        QCOMPARE(convert::settingToIntOr(text, -99), valid ? value : -99);
        if (!valid)
            QCOMPARE(test::failureOf([&] { convert::settingToInt(text); }),
                     QStringLiteral("'%1' is not a valid integer value").arg(text));
    }

    void textShapes_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("right(5) of 7 chars") << "right5"
                                             << "2304400"
                                             << "04400";
        QTest::newRow("right(5) shorter") << "right5"
                                          << "123"
                                          << "123";
        QTest::newRow("right(15) of 16") << "right15"
                                         << "ABCDEFGHIJKLMNOP"
                                         << "BCDEFGHIJKLMNOP";
        QTest::newRow("dmy") << "dmy"
                             << "2024-03-07"
                             << "07/03/2024";
        QTest::newRow("dmy empty") << "dmy"
                                   << ""
                                   << "//";
        QTest::newRow("dmy with time") << "dmy"
                                       << "2024-03-07 10:00"
                                       << "07/03/2024";
        QTest::newRow("trim blanks") << "trim"
                                     << "  12 "
                                     << "12";
        QTest::newRow("trim tabs") << "trim"
                                   << " \t\r\n "
                                   << "";
        QTest::newRow("trim keeps inside") << "trim"
                                           << " a b "
                                           << "a b";
    }
    void textShapes()
    {
        QFETCH(QString, word);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString got = word == "right5"    ? convert::right(input, 5)
                            : word == "right15" ? convert::right(input, 15)
                            : word == "dmy"     ? convert::dmyText(input)
                                                : TrimText(input);
        QCOMPARE(got, expected);
    }

    void isoDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("error");
        QTest::newRow("plain") << "2024-03-07" << QDate(2024, 3, 7) << "";
        QTest::newRow("time ignored") << "2024-03-07 10:11:12" << QDate(2024, 3, 7) << "";
        QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29) << "";
        QTest::newRow("30 February") << "2024-02-30" << QDate() << "'30/02/2024' is not a valid date";
        QTest::newRow("empty") << "" << QDate() << "'//' is not a valid date";
        QTest::newRow("no leading zeros") << "2024-3-7" << QDate() << "'/3-/2024' is not a valid date";
        QTest::newRow("month 13") << "2024-13-01" << QDate() << "'01/13/2024' is not a valid date";
    }
    void isoDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QFETCH(QString, error);
        try {
            QCOMPARE(IsoTextToDate(text), date);
            QVERIFY(error.isEmpty());
            QCOMPARE(convert::dmyDate(text), std::optional<QDate>(date));
        } catch (const Failure& f) {
            QCOMPARE(f.message(), error);
            QCOMPARE(convert::dmyDate(text), std::optional<QDate>());
        }
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
