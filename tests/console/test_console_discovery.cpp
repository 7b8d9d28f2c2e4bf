// Finding the console's port in a device list.
#include <QtTest>

#include "console/discovery.h"

using namespace vel;

namespace {

class FakeDevices : public DeviceListProvider {
public:
    DeviceList list;
    DeviceList PresentDevices() override { return list; }
};

// "name" gives a device of that friendly name; "|desc" one without a friendly name.
QList<SerialDevice> Devices(const QStringList &names)
{
    QList<SerialDevice> devices;
    int i = 0;
    for (const QString &name : names) {
        SerialDevice d;
        d.portName = QStringLiteral("port%1").arg(i++);
        if (name.startsWith(QLatin1Char('|')))
            d.description = name.mid(1);
        else
            d.friendlyName = name;
        devices << d;
    }
    return devices;
}

} // namespace

class TestConsoleDiscovery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findConsolePort_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QString>("port");
        QTest::newRow("ASF example") << QStringList{"Communication Device Class ASF example (ttyACM0)"} << "ttyACM0";
        QTest::newRow("AVR, two digits") << QStringList{"AVR Communication Device Class (ttyACM12)"} << "ttyACM12";
        QTest::newRow("russian name") << QStringList{"Устройство с последовательным интерфейсом USB (ttyUSB3)"} << "ttyUSB3";
        QTest::newRow("path as port") << QStringList{"AVR Communication Device Class (/dev/pts/7)"} << "/dev/pts/7";
        QTest::newRow("no friendly name: description")
            << QStringList{"|AVR Communication Device Class (ttyACM1)"} << "ttyACM1";
        QTest::newRow("friendly name wins over description")
            << QStringList{"USB Serial (ttyUSB0)"} << "";
        QTest::newRow("first matching device wins")
            << QStringList{"USB Serial (ttyUSB0)", "AVR Communication Device Class (ttyACM1)",
                           "Communication Device Class ASF example (ttyACM2)"} << "ttyACM1";
        QTest::newRow("misplaced prefix ends the search without a port")
            << QStringList{"Virtual AVR Communication Device Class (ttyACM0)",
                           "AVR Communication Device Class (ttyACM1)"} << "";
        QTest::newRow("no closing parenthesis") << QStringList{"AVR Communication Device Class (ttyACM0"} << "";
        QTest::newRow("prefix without port") << QStringList{"AVR Communication Device Class ()"} << "";
        QTest::newRow("windows tail is not ours") << QStringList{"AVR Communication Device Class(COM3)"} << "";
        QTest::newRow("nothing matches") << QStringList{"ttyS0", "", "|"} << "";
        QTest::newRow("no devices") << QStringList{} << "";
    }
    void findConsolePort()
    {
        QFETCH(QStringList, devices);
        QFETCH(QString, port);
        FakeDevices fake;
        fake.list.devices = Devices(devices);
        const ConsolePortSearch search = FindConsolePort(fake);
        QCOMPARE(search.port, port);
        QVERIFY(search.error.isEmpty());
    }

    void deviceListError()
    {
        FakeDevices fake;
        fake.list.devices = Devices({"AVR Communication Device Class (ttyACM0)"});
        fake.list.error = "нет доступа к списку устройств";
        const ConsolePortSearch search = FindConsolePort(fake);
        QCOMPARE(search.error, fake.list.error);
        QVERIFY(search.port.isEmpty());
    }

    void extraPorts()
    {
        const QList<SerialDevice> d = ParseExtraPorts(
            " /dev/pts/3 ;; USB Serial (CDC) (ttyACM5);Устройство с последовательным интерфейсом USB (ttyS9)");
        QCOMPARE(d.size(), 3);
        QCOMPARE(d[0].portName, QString("/dev/pts/3"));
        QCOMPARE(d[0].friendlyName, QString("AVR Communication Device Class (/dev/pts/3)"));
        QCOMPARE(d[1].portName, QString("ttyACM5"));
        QCOMPARE(d[1].description, QString("USB Serial (CDC)"));
        QCOMPARE(d[2].portName, QString("ttyS9"));
        QCOMPARE(d[2].friendlyName, QString("Устройство с последовательным интерфейсом USB (ttyS9)"));
    }

    // The seam the simulator is reached through: extra devices come before the
    // system's own, so a simulator named there is the console that is found.
    void systemListTakesExtraPortsFirst()
    {
        qputenv("VELMORA_EXTRA_PORTS", "Plain (/dev/null);/tmp/velmora-sim-port");
        SystemDeviceList system;
        const ConsolePortSearch search = FindConsolePort(system);
        const QStringList names = SerialPortNames(system);
        qunsetenv("VELMORA_EXTRA_PORTS");
        QCOMPARE(search.port, QString("/tmp/velmora-sim-port"));
        QVERIFY(names.size() >= 2);
        QCOMPARE(names.mid(0, 2), QStringList({"/dev/null", "/tmp/velmora-sim-port"}));
    }

    void deviceHelperReadsByCode()
    {
        SerialDevice d = MakeSerialDevice("AVR Communication Device Class", "ttyACM0");
        TDeviceHelper helper;
        QVERIFY(helper.GetStringProperty(DevicePropertyFriendlyName).isEmpty());
        helper.SetDevice(&d);
        QCOMPARE(helper.GetStringProperty(DevicePropertyFriendlyName),
                 QString("AVR Communication Device Class (ttyACM0)"));
        QCOMPARE(helper.GetStringProperty(DevicePropertyDescription), QString("AVR Communication Device Class"));
        QVERIFY(helper.GetStringProperty(7).isEmpty());
        QVERIFY(MakeSerialDevice("", "ttyS0").friendlyName.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConsoleDiscovery)
#include "test_console_discovery.moc"
