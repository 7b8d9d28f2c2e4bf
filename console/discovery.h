#pragma once
// Finding the console's serial port among the serial devices of the machine.
//
// The console is recognised by the name the system gives its device: a description
// followed by " (" + port name + ")". Three descriptions mark the console, tried in this
// order; the first device whose name holds one of them decides the port.
//
//   "Communication Device Class ASF example (<port>)"
//   "AVR Communication Device Class (<port>)"
//   "Устройство с последовательным интерфейсом USB (<port>)"
//
// A device's name is its friendly name, or its description when it has none. The device
// list comes from a DeviceListProvider: the system's serial ports (SystemDeviceList),
// or a fixed list in tests.
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vel {

struct SerialDevice {
    QString portName;       // what the port is opened by: "ttyACM0", "/dev/pts/3"
    QString friendlyName;   // "<description> (<port>)"; empty when the device has none
    QString description;
};

// Property codes of the device setup registry that the search reads.
inline constexpr uint32_t DevicePropertyDescription = 0;
inline constexpr uint32_t DevicePropertyFriendlyName = 12;

// The device list of the moment, or why there is none.
struct DeviceList {
    QList<SerialDevice> devices;
    QString error;   // not empty when the list could not be read
};

class DeviceListProvider {
public:
    virtual ~DeviceListProvider() = default;
    // The serial-port devices present, in the platform's order.
    virtual DeviceList PresentDevices() = 0;
};

// Reads the properties of one device of a list, by the property codes above.
class TDeviceHelper {
public:
    void SetDevice(const SerialDevice *device) { m_device = device; }
    // The text of a property; empty for an unknown code or when no device is set.
    QString GetStringProperty(uint32_t code) const;
private:
    const SerialDevice *m_device = nullptr;
};

// The serial ports of the machine as the system lists them (Qt SerialPort), preceded by
// the devices that the variable VELMORA_EXTRA_PORTS names, so that a console simulator
// on a pseudo-terminal is found like the console itself.
//
// VELMORA_EXTRA_PORTS holds entries separated by ';'. An entry "<description> (<port>)"
// is a device of that description; a bare "<port>" is a device with the description
// "AVR Communication Device Class", that is, a console.
class SystemDeviceList : public DeviceListProvider {
public:
    DeviceList PresentDevices() override;
};

// The devices of VELMORA_EXTRA_PORTS read from a value of that variable.
QList<SerialDevice> ParseExtraPorts(const QString &value);

// A device named "<description> (<port>)".
SerialDevice MakeSerialDevice(const QString &description, const QString &portName);

// The port a device name gives when it marks the console: empty when the name holds a
// console prefix but not at its start (such a match still ends the search), and no value
// when it holds none.
std::optional<QString> ConsolePortOfDeviceName(const QString &name);

struct ConsolePortSearch {
    QString port;    // the console's port; empty when no usable one was found
    QString error;   // not empty when the device list could not be read: the run must not start
};

// The search run before each test: the first device whose name marks the console decides.
ConsolePortSearch FindConsolePort(DeviceListProvider &provider);

// The port names of the device list, for the port list of a test window.
QStringList SerialPortNames(DeviceListProvider &provider);

} // namespace vel
