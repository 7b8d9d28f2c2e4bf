// The protocol command on moving-object raw data, run in-process on the hand-written
// fixtures.
#include <QBuffer>
#include <QtTest>

#include "tests/support/movingfixtures.h"
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

} // namespace

class TestMovingProtocolTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The corridor goes to the command as the settings field holds it; the fixture
    // without one leaves the option out.
    void writesTheFixtureProtocols_data() { movingfixtures::AddRows(); }
    void writesTheFixtureProtocols()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(QDate, birthday);
        QFETCH(QDate, testDate);
        QFETCH(QString, corridor);
        QStringList arguments{"--test", "moving", "--name", name, "--sex", sex,
                              "--date", testDate.toString(Qt::ISODate), "--locale", "ru_RU"};
        if (birthday.isValid())
            arguments << "--birthday" << birthday.toString(Qt::ISODate);
        if (!corridor.isEmpty())
            arguments << "--corridor" << corridor;
        arguments << movingfixtures::Path(fixture + ".datapsy");
        const QString expected = movingfixtures::ExpectedProtocol(fixture) + "\r\n";

        const Result utf8 = Run(arguments);
        QCOMPARE(utf8.Code, 0);
        QCOMPARE(utf8.Out, expected.toUtf8());
        const Result cp1251 = Run(QStringList{"--cp1251"} + arguments);
        QCOMPARE(cp1251.Code, 0);
        QCOMPARE(cp1251.Out, ToCp1251(expected));
    }

    // Any corridor the field holds is taken as it is; a run without presentations has no
    // protocol.
    void scoresOnlyWhatItCan()
    {
        const QString mixed = movingfixtures::Path("mixed.datapsy");
        const Result moving = Run({"--test", "moving", "--corridor", "1", "--locale", "ru_RU", mixed});
        QCOMPARE(moving.Code, 0);
        QVERIFY(QString::fromUtf8(moving.Out).contains("<TD>1</TD></TR><TR><TD colspan=4>"));

        QTemporaryDir dir;
        QFile empty(dir.filePath("empty.txt"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.write("1350\r\n1800\r\n30\r\n0\r\n");
        empty.close();
        const Result none = Run({"--test", "moving", empty.fileName()});
        QCOMPARE(none.Code, 1);
        QVERIFY(none.Out.isEmpty());
        QVERIFY2(none.Err.contains("нет предъявлений"), qPrintable(none.Err));
    }
};

QTEST_GUILESS_MAIN(TestMovingProtocolTool)
#include "test_moving_protocoltool.moc"
