// The stored form of a test: the DATAPSY raw-data text and the TIME field.
#include <QtTest>

#include "records/datapsy.h"

using namespace vel;

Q_DECLARE_METATYPE(vel::TestType)

namespace {

QString Lines(const QStringList &lines) { return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"); }

// A run record whose every field holds something, so that any write shows.
TTestRun FilledRun()
{
    TTestRun run;
    run.BaseTime = 11;
    run.AnswerTime = 22;
    run.PlanCount = 33;
    run.DoneCount = 44;
    for (int i = 1; i <= MaxPresentations; ++i) {
        run.Kinds[i] = uint8_t(i % 3);
        run.Delays[i] = 500 + i;
        run.LeftTimes[i] = uint16_t(1000 + i);
        run.RightTimes[i] = uint16_t(2000 + i);
    }
    return run;
}

} // namespace

class TestDataPsy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripsByteForByte_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::addColumn<QString>("text");
        QTest::newRow("choice") << TestType::Choice
            << Lines({"1000", "1000", "30", "3", "SL", "1562", "3150", "SR", "0", "65535", "S0", "3150", "1400"});
        QTest::newRow("moving") << TestType::Moving
            << Lines({"1350", "1800", "20", "3", "SL_", "1330", "1800", "SR_", "1800", "1412", "S0_", "0", "0"});
        QTest::newRow("no presentations") << TestType::Choice << Lines({"1000", "1000", "30", "0"});
    }
    void roundTripsByteForByte()
    {
        QFETCH(TestType, test);
        QFETCH(QString, text);
        TTestRun run;
        QString error;
        QVERIFY2(LoadDataPsy(text, test, run, error), qPrintable(error));
        QCOMPARE(BuildDataPsy(run, test), text);
    }

    void writesOnlyDonePresentations()
    {
        // A run stopped after 3 of 10 planned presentations.
        TTestRun run = FilledRun();
        run.BaseTime = 1000;
        run.AnswerTime = 1000;
        run.PlanCount = 10;
        run.DoneCount = 3;
        run.Kinds[1] = 1;
        run.Kinds[2] = 2;
        run.Kinds[3] = 7;
        const QString text = BuildDataPsy(run, TestType::Choice);
        QCOMPARE(text, Lines({"1000", "1000", "10", "3", "SL", "1001", "2001", "SR", "1002", "2002",
                              "S0", "1003", "2003"}));
        QCOMPARE(BuildDataPsy(run, TestType::Moving).section("\r\n", 4, 4), QString("SL_"));
    }

    void tokensOfTheOtherTestAreKindZero_data()
    {
        QTest::addColumn<TestType>("reader");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("kind");
        QTest::newRow("choice SL") << TestType::Choice << "SL" << 1;
        QTest::newRow("choice SR") << TestType::Choice << "SR" << 2;
        QTest::newRow("moving SL_ by choice") << TestType::Choice << "SL_" << 0;
        QTest::newRow("moving SR_ by choice") << TestType::Choice << "SR_" << 0;
        QTest::newRow("moving SL_") << TestType::Moving << "SL_" << 1;
        QTest::newRow("moving SR_") << TestType::Moving << "SR_" << 2;
        QTest::newRow("choice SL by moving") << TestType::Moving << "SL" << 0;
        QTest::newRow("choice SR by moving") << TestType::Moving << "SR" << 0;
        QTest::newRow("case counts") << TestType::Choice << "sr" << 0;
    }
    void tokensOfTheOtherTestAreKindZero()
    {
        QFETCH(TestType, reader);
        QFETCH(QString, token);
        QFETCH(int, kind);
        TTestRun run = FilledRun();
        QString error;
        QVERIFY(LoadDataPsy(Lines({"1000", "1000", "1", "1", token, "5", "6"}), reader, run, error));
        QCOMPARE(int(run.Kinds[1]), kind);
    }

    void itemsAreSeparatedByBlanksAndCommas()
    {
        TTestRun run;
        QString error;
        QVERIFY(LoadDataPsy(" \t1000,1000 10\n\n\n2\r\nSL,  500\r\n600 SR\x1f" "700,800\r\n", TestType::Choice,
                            run, error));
        QCOMPARE(run.PlanCount, uint16_t(10));
        QCOMPARE(run.DoneCount, uint16_t(2));
        QCOMPARE(run.LeftTimes[1], uint16_t(500));
        QCOMPARE(run.RightTimes[2], uint16_t(800));
        QCOMPARE(int(run.Kinds[2]), 2);
    }

    void entriesAboveDoneCountKeepWhatTheyHeld()
    {
        const TTestRun before = FilledRun();
        TTestRun run = before;
        QString error;
        QVERIFY(LoadDataPsy(Lines({"1000", "1000", "9", "1", "SR", "1500", "3150"}), TestType::Choice, run, error));
        QCOMPARE(run.DoneCount, uint16_t(1));
        QCOMPARE(run.RightTimes[1], uint16_t(3150));
        QCOMPARE(run.LeftTimes[2], before.LeftTimes[2]);
        QCOMPARE(run.Kinds[2], before.Kinds[2]);
        QCOMPARE(run.Delays, before.Delays);
    }

    void refusesDamagedTextAndLeavesTheRunAlone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        QTest::newRow("empty") << "" << "записано значений: 0";
        QTest::newRow("header cut") << Lines({"1000", "1000", "10"}) << "записано значений: 3";
        QTest::newRow("too few for DoneCount")
            << Lines({"1000", "1000", "10", "2", "SL", "1500", "3150", "SR", "1500"})
            << "для 2 предъявлений нужно значений: 10, а записано: 9";
        QTest::newRow("header not a number") << Lines({"1000", "abc", "10", "0"}) << "значение № 2 «abc»";
        QTest::newRow("time not a number")
            << Lines({"1000", "1000", "10", "1", "SL", "15x0", "3150"}) << "значение № 6 «15x0» не является";
        QTest::newRow("negative") << Lines({"1000", "1000", "10", "1", "SL", "-5", "3150"}) << "«-5» не является";
        QTest::newRow("empty between commas") << "1000,,1000,10,0" << "значение № 2 «» не является";
        QTest::newRow("above 65535")
            << Lines({"1000", "1000", "10", "1", "SL", "1500", "65536"}) << "значение № 7 «65536» больше 65535";
        QTest::newRow("far above 65535")
            << Lines({"1000", "1000", "99999999999999999999", "0"}) << "больше 65535";
        QTest::newRow("DoneCount above 200") << Lines({"1000", "1000", "300", "201"}) << "число предъявлений 201 больше 200";
    }
    void refusesDamagedTextAndLeavesTheRunAlone()
    {
        QFETCH(QString, text);
        QFETCH(QString, detail);
        const TTestRun before = FilledRun();
        TTestRun run = before;
        QString error;
        QVERIFY(!LoadDataPsy(text, TestType::Choice, run, error));
        QVERIFY(run == before);
        QVERIFY2(error.contains(detail), qPrintable(error));
        QVERIFY2(error.startsWith(QStringLiteral("Тест не открыт")), qPrintable(error));
    }

    void acceptsTheLargestRun()
    {
        TTestRun run = FilledRun();
        run.DoneCount = MaxPresentations;
        const QString text = BuildDataPsy(run, TestType::Choice);
        TTestRun read;
        QString error;
        QVERIFY2(LoadDataPsy(text, TestType::Choice, read, error), qPrintable(error));
        QCOMPARE(read.DoneCount, uint16_t(200));
        QCOMPARE(read.RightTimes[200], run.RightTimes[200]);
    }

    void formatsTestTime_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("russian, no leading zero") << "ru_RU" << QTime(9, 5, 7) << "9:05:07";
        QTest::newRow("russian, midnight") << "ru_RU" << QTime(0, 0, 0) << "0:00:00";
        QTest::newRow("russian, widest") << "ru_RU" << QTime(23, 59, 59) << "23:59:59";
        QTest::newRow("12-hour locale keeps the afternoon") << "en_US" << QTime(14, 5, 7) << "14:05:07";
        QTest::newRow("finnish separator") << "fi_FI" << QTime(9, 5, 7) << "9.05.07";
    }
    void formatsTestTime()
    {
        QFETCH(QString, locale);
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(FormatTestTime(time, QLocale(locale)), text);
        QVERIFY(text.size() <= TestTimeFieldWidth);
        QTime back;
        QString error;
        QVERIFY(ParseTestTime(text, back, error, QLocale(locale)));
        QCOMPARE(back, time);
    }

    void usesTheConfiguredLocale()
    {
        const QLocale saved = Config().AppFormatSettings;
        MutableConfig().AppFormatSettings = QLocale(QStringLiteral("fi_FI"));
        const QString text = FormatTestTime(QTime(8, 1, 2));
        MutableConfig().AppFormatSettings = saved;
        QCOMPARE(text, QString("8.01.02"));
    }

    void readsTestTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time");   // invalid: not a time
        QTest::newRow("plain") << "9:05:07" << QTime(9, 5, 7);
        QTest::newRow("leading zero") << "09:05:07" << QTime(9, 5, 7);
        QTest::newRow("blanks of the field") << " 9:05:07 " << QTime(9, 5, 7);
        QTest::newRow("no seconds") << "9:05" << QTime(9, 5, 0);
        QTest::newRow("afternoon marker") << "2:05:07 PM" << QTime(14, 5, 7);
        QTest::newRow("twelve in the morning") << "12:00 AM" << QTime(0, 0, 0);
        QTest::newRow("empty") << "" << QTime();
        QTest::newRow("hours only") << "9" << QTime();
        QTest::newRow("hour 24") << "24:00:00" << QTime();
        QTest::newRow("minute 60") << "9:60:00" << QTime();
        QTest::newRow("four parts") << "9:05:07:01" << QTime();
        QTest::newRow("words") << "утро" << QTime();
        QTest::newRow("marker with hour 13") << "13:00 PM" << QTime();
    }
    void readsTestTime()
    {
        QFETCH(QString, text);
        QFETCH(QTime, time);
        QTime read(1, 2, 3);
        QString error;
        const bool ok = ParseTestTime(text, read, error, QLocale(QStringLiteral("ru_RU")));
        QCOMPARE(ok, time.isValid());
        if (ok) {
            QCOMPARE(read, time);
        } else {
            QCOMPARE(read, QTime(1, 2, 3));
            QVERIFY2(error.contains(QStringLiteral("не является временем")), qPrintable(error));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataPsy)
#include "test_datapsy.moc"
