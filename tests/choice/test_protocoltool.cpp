// The protocol command, run in-process on the hand-written fixtures.
#include <QBuffer>
#include <QtTest>

#include "tests/support/choicefixtures.h"
#include "common/text.h"
#include "tools/protocol/protocoltool.h"

using namespace vel;

namespace {

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

QStringList FixtureArguments(const QString &fixture, const QString &name, const QString &sex,
                             const QDate &birthday, const QDate &testDate)
{
    return {"--test", "choice", "--name", name, "--sex", sex,
            "--birthday", birthday.toString(Qt::ISODate), "--date", testDate.toString(Qt::ISODate),
            "--locale", "ru_RU", choicefixtures::Path(fixture + ".datapsy")};
}

} // namespace

class TestProtocolTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesTheFixtureProtocols_data() { choicefixtures::AddRows(); }
    void writesTheFixtureProtocols()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(QDate, birthday);
        QFETCH(QDate, testDate);
        const QStringList arguments = FixtureArguments(fixture, name, sex, birthday, testDate);
        const QString expected = choicefixtures::ExpectedProtocol(fixture) + "\r\n";

        const Result utf8 = Run(arguments);
        QCOMPARE(utf8.Code, 0);
        QCOMPARE(utf8.Out, expected.toUtf8());
        const Result cp1251 = Run(QStringList{"--cp1251"} + arguments);
        QCOMPARE(cp1251.Code, 0);
        QCOMPARE(cp1251.Out, ToCp1251(expected));
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

QTEST_GUILESS_MAIN(TestProtocolTool)
#include "test_protocoltool.moc"
