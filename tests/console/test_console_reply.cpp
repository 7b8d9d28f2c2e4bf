// Reading the console's replies: lines, press times and what the trace shows.
#include <QtTest>

#include "console/consolereply.h"

using namespace vel;

Q_DECLARE_METATYPE(std::optional<uint16_t>)

class TestConsoleReply : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pressLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isPress");
        QTest::addColumn<bool>("red");
        QTest::addColumn<std::optional<uint16_t>>("time");
        QTest::addColumn<bool>("badTime");
        const std::optional<uint16_t> none;
        QTest::newRow("red time") << "ATA 312" << true << true << std::optional<uint16_t>(312) << false;
        QTest::newRow("green time") << "ATa 1200" << true << false << std::optional<uint16_t>(1200) << false;
        QTest::newRow("zero is a time") << "ATA 0" << true << true << std::optional<uint16_t>(0) << false;
        QTest::newRow("no press") << "ATA -" << true << true << none << false;
        QTest::newRow("dash then text") << "ATa -12" << true << false << none << false;
        QTest::newRow("separator not examined") << "ATA:250" << true << true << std::optional<uint16_t>(250) << false;
        QTest::newRow("blanks around the time") << "ATa  77 " << true << false << std::optional<uint16_t>(77) << false;
        QTest::newRow("leading zeros") << "ATA 00042" << true << true << std::optional<uint16_t>(42) << false;
        QTest::newRow("largest time") << "ATA 65535" << true << true << std::optional<uint16_t>(65535) << false;
        QTest::newRow("too large") << "ATA 65536" << true << true << none << true;
        QTest::newRow("huge") << "ATA 99999999999999999999" << true << true << none << true;
        QTest::newRow("not a number") << "ATa 12x" << true << false << none << true;
        QTest::newRow("sign") << "ATa +12" << true << false << none << true;
        QTest::newRow("only blanks") << "ATA    " << true << true << none << true;
        QTest::newRow("four characters") << "ATA-" << false << false << none << false;
        QTest::newRow("prefix alone") << "ATA" << false << false << none << false;
        QTest::newRow("case matters") << "ata 300" << false << false << none << false;
        QTest::newRow("other reply") << "ATV Ver 1.0" << false << false << none << false;
        QTest::newRow("prefix later in line") << " ATA 300" << false << false << none << false;
        QTest::newRow("nul inside") << QString::fromLatin1("ATA 3\0" "00", 7) << true << true << none << true;
    }
    void pressLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, isPress);
        QFETCH(bool, red);
        QFETCH(std::optional<uint16_t>, time);
        QFETCH(bool, badTime);
        const std::optional<PressReply> reply = ParsePressLine(line);
        QCOMPARE(reply.has_value(), isPress);
        if (!reply)
            return;
        QCOMPARE(reply->button == ConsoleButton::Red, red);
        QCOMPARE(reply->time, time);
        QCOMPARE(reply->badTime, badTime);
    }

    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("endsInside");
        QTest::newRow("crlf") << QByteArray("ATa 1\r\nATA 2\r\n") << QStringList{"ATa 1", "ATA 2"} << false;
        QTest::newRow("lf and cr") << QByteArray("a\nb\rc") << QStringList{"a", "b", "c"} << true;
        QTest::newRow("empty lines kept") << QByteArray("\n\r\n") << QStringList{"", ""} << false;
        QTest::newRow("nul bytes") << QByteArray("A\0B\n", 4) << QStringList{QString::fromLatin1("A\0B", 3)} << false;
        QTest::newRow("1251 text") << QByteArray("\xcf\xf3\xeb\xfc\xf2\n") << QStringList{"Пульт"} << false;
        QTest::newRow("nothing") << QByteArray() << QStringList{} << false;
    }
    void splitLines()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, lines);
        QFETCH(bool, endsInside);
        QCOMPARE(SplitReplyLines(block), lines);
        QCOMPARE(EndsInsideLine(block), endsInside);
    }

    void traceText()
    {
        QCOMPARE(TraceText(u"ATA 300"), QString("ATA 300"));
        QCOMPARE(TraceText(QString::fromLatin1("A\0\x1b" "B", 4)), QString("A\\x00\\x1bB"));
        const QString cut = TraceText(QString(5000, QLatin1Char('x')), 200);
        QVERIFY(cut.startsWith(QString(200, QLatin1Char('x'))));
        QVERIFY(cut.size() < 230);
        QVERIFY(cut.contains("5000"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleReply)
#include "test_console_reply.moc"
