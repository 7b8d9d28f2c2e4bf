// velmora-register on a home folder of its own: a school's list imported through the
// template it installs, a failed row reported with its kind name and a non-zero exit, the
// question declined, the export, and wrong arguments.
#include <QProcess>
#include <QtTest>

#include "common/config.h"
#include "tests/support/transferfixture.h"

using namespace vel;
using namespace vel::testing;

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

} // namespace

class TestRegisterTool : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;

    QString home() const { return m_dir.filePath("home"); }

    Run tool(const QStringList &args, const QByteArray &input = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORA_HOME", home());
        env.insert("VELMORA_REGISTRY", m_dir.filePath("machine.ini"));   // absent: the defaults
        p.setProcessEnvironment(env);
        p.start(REGISTER_TOOL, args);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QStringList stored()
    {
        Table people;
        DefinePeopleView(people, home() + "/Data/");
        people.open();
        QStringList out;
        for (int r = 1; r <= people.physicalRecordCount(); ++r)
            out << QString("%1|%2").arg(people.valueAt(r, people.fieldIndex("IDX")).toInt())
                       .arg(people.valueAt(r, people.fieldIndex("FIO")).toString());
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_dir.enter();
        MutableConfig() = AppConfig{};
    }
    void cleanup()
    {
        MutableConfig() = AppConfig{};
        m_dir.leave();
    }

    void importsThroughTheShippedTemplateThenExports()
    {
        WriteCp1251("8a.csv", {"Фамилия;Имя;Отчество;Пол;Дата рождения", "Иванова;Мария;Петровна;ж;05.06.2015",
                               "Петров;Олег;Ильич;м;2014-11-30"});
        const Run run = tool({"import", "--yes", "8a.csv"});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains("строк прочитано 3, принято 2, отклонено 1"), qPrintable(run.out));
        QVERIFY(QFileInfo::exists(home() + "/Defaults/IMPORT.PTN"));
        QCOMPARE(stored(), (QStringList{"1|Иванова Мария Петровна", "2|Петров Олег Ильич"}));
        // The index file written at the end of the import follows the records.
        QProcess check;
        check.start(DBFTOOL, {"check", home() + "/Data/patients.dbf"});
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());

        const Run exported = tool({"export", "--yes"});
        QCOMPARE(exported.code, 0);
        QVERIFY2(exported.out.contains("записей выгружено 2"), qPrintable(exported.out));
        QVERIFY(ReadAll(home() + "/Exported/People.csv").contains(ToCp1251("\"Петров Олег Ильич\";")));
    }

    void failedRowExitsNonZeroWithTheBoxText()
    {
        WriteCp1251("8a.csv", {"Иванова;Мария;Петровна;ж;05.06.2015", "Петров;Олег;Ильич;м;30.02.2014"});
        const Run run = tool({"import", "--yes", "8a.csv"});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("Исключение при импорте на строке\n\"Петров;Олег;Ильич;м;30.02.2014\" —\n"
                                  "EConvertError -> "),
                 qPrintable(run.err));
        QCOMPARE(stored(), QStringList{"1|Иванова Мария Петровна"});
    }

    void fileRefusedWholeExitsNonZero()
    {
        WriteAll("8a.csv", QString("Иванова;Мария;Петровна;ж;05.06.2015\r\n").toUtf8());
        const Run run = tool({"import", "--yes", "8a.csv"});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("EEncodingError -> "), qPrintable(run.err));
    }

    void questionAndArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("imported");
        QTest::newRow("declined") << QStringList{"import", "8a.csv"} << QByteArray("n\n") << 3 << 0;
        QTest::newRow("no answer") << QStringList{"import", "8a.csv"} << QByteArray() << 3 << 0;
        QTest::newRow("answered yes") << QStringList{"import", "8a.csv"} << QByteArray("y\n") << 0 << 1;
        QTest::newRow("no file") << QStringList{"import", "--yes"} << QByteArray() << 2 << 0;
        QTest::newRow("unknown command") << QStringList{"merge", "8a.csv"} << QByteArray() << 2 << 0;
    }
    void questionAndArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, imported);
        WriteCp1251("8a.csv", {"Иванова;Мария;Петровна;ж;05.06.2015"});
        QTEST(tool(args, input).code, "code");
        if (QFileInfo::exists(home() + "/Data/patients.dbf"))
            QCOMPARE(stored().size(), imported);
        else
            QCOMPARE(imported, 0);
    }
};

QTEST_GUILESS_MAIN(TestRegisterTool)
#include "test_register_tool.moc"
