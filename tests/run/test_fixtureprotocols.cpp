// The hand-written protocols of both tests, as each test's scoring writes them and as the
// protocol command (run in-process) writes them from the raw data; and what the command
// cannot score.
#include <QBuffer>
#include <QtTest>

#include "choice/choicescore.h"
#include "common/text.h"
#include "moving/movingscore.h"
#include "records/datapsy.h"
#include "tests/support/protocolfixtures.h"
#include "tools/protocol/protocoltool.h"

using namespace vel;

namespace {

const QLocale kRussian(QStringLiteral("ru_RU"));

struct Result {
    int Code = -1;
    QByteArray Out;
    QString Err;
};

Result Run(const QStringList &arguments)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Result r;
    r.Code = protocoltool::RunProtocolTool(QStringList{"velmora-protocol"} + arguments, out, err);
    r.Out = out.data();
    r.Err = QString::fromUtf8(err.data());
    return r;
}

TestType TypeOf(const QString &test) { return test == QLatin1String("moving") ? TestType::Moving : TestType::Choice; }

} // namespace

class TestFixtureProtocols : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each test's scoring, and the protocol command on the raw data.
    void writeTheFixtureProtocols_data() { protocolfixtures::AddRows(); }
    void writeTheFixtureProtocols()
    {
        QFETCH(QString, test);
        QFETCH(QString, fixture);
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(QDate, birthday);
        QFETCH(QDate, testDate);
        QFETCH(QString, corridor);
        TTestRun run;
        QString error;
        QVERIFY2(LoadDataPsy(FromCp1251(protocolfixtures::ReadBytes(test, fixture + ".datapsy")), TypeOf(test), run,
                             error),
                 qPrintable(error));
        const PatientFacts patient{name, sex, birthday};
        QString protocol;
        QByteArray bytes;
        if (TypeOf(test) == TestType::Choice) {
            const auto score = choice::ScoreRun(run, patient, testDate, kRussian);
            QVERIFY(score);
            protocol = score->Protocol;
            bytes = score->ProtocolBytes();
        } else {
            const auto score = moving::ScoreRun(run, patient, testDate, moving::CorridorOf(corridor), kRussian);
            QVERIFY(score);
            protocol = score->Protocol;
            bytes = score->ProtocolBytes();
        }
        const QString expected = protocolfixtures::ExpectedProtocol(test, fixture);
        QCOMPARE(protocol, expected);
        QCOMPARE(bytes, ToCp1251(expected) + "\r\n");

        // The command: the corridor goes to it as the settings field holds it; a fixture
        // without one leaves the option out, as does one without a birthday.
        QStringList arguments{"--test", test, "--name", name, "--sex", sex,
                              "--date", testDate.toString(Qt::ISODate), "--locale", "ru_RU"};
        if (birthday.isValid())
            arguments << "--birthday" << birthday.toString(Qt::ISODate);
        if (!corridor.isEmpty())
            arguments << "--corridor" << corridor;
        arguments << protocolfixtures::Path(test, fixture + ".datapsy");
        const Result utf8 = Run(arguments);
        QCOMPARE(utf8.Code, 0);
        QCOMPARE(utf8.Out, (expected + "\r\n").toUtf8());
        const Result cp1251 = Run(QStringList{"--cp1251"} + arguments);
        QCOMPARE(cp1251.Code, 0);
        QCOMPARE(cp1251.Out, ToCp1251(expected + "\r\n"));
    }

    // Any corridor the field holds is taken as it is.
    void anyCorridorIsTaken()
    {
        const Result moving = Run({"--test", "moving", "--corridor", "1", "--locale", "ru_RU",
                                   protocolfixtures::Path("moving", "mixed.datapsy")});
        QCOMPARE(moving.Code, 0);
        QVERIFY(QString::fromUtf8(moving.Out).contains("<TD>1</TD></TR><TR><TD colspan=4>"));
    }

    void reportsWhatItCannotScore_data()
    {
        QTest::addColumn<QString>("content");     // raw data written to a file; null: no file
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("damaged raw data") << "1000\r\n1000\r\n10\r\n2\r\nSL\r\n" << QStringList() << 1
                                          << "данные повреждены";
        QTest::newRow("no presentations") << "1000\r\n1000\r\n10\r\n0\r\n" << QStringList() << 1
                                          << "нет предъявлений";
        QTest::newRow("moving: no presentations") << "1350\r\n1800\r\n30\r\n0\r\n" << QStringList{"--test", "moving"}
                                                  << 1 << "нет предъявлений";
        QTest::newRow("missing file") << QString() << QStringList() << 1 << "Не удается прочитать";
        QTest::newRow("unknown test") << "1000 1000 1 0" << QStringList{"--test", "speed"} << 2 << "--test";
        QTest::newRow("bad date") << "1000 1000 1 0" << QStringList{"--date", "01.09.2020"} << 2
                                  << "не является датой";
    }
    void reportsWhatItCannotScore()
    {
        QFETCH(QString, content);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath("data.txt");
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content.toLatin1());
        }
        const Result r = Run(options + QStringList{path});
        QCOMPARE(r.Code, code);
        QVERIFY(r.Out.isEmpty());
        QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    }
};

QTEST_GUILESS_MAIN(TestFixtureProtocols)
#include "test_fixtureprotocols.moc"
