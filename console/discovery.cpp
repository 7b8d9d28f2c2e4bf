#include "console/discovery.h"

#include <QSerialPortInfo>
#include <QSet>

namespace vel {

namespace {

// The descriptions that mark the console, in the order they are tried. On the platform
// the program comes from each was followed by "(COM" and a number; here the text inside
// the parentheses is the port name, whatever it looks like.
const char16_t *const ConsoleDescriptions[] = {
    u"Communication Device Class ASF example",
    u"AVR Communication Device Class",
    u"Устройство с последовательным интерфейсом USB",
};

constexpr char16_t DefaultExtraDescription[] = u"AVR Communication Device Class";

} // namespace

QString TDeviceHelper::GetStringProperty(uint32_t code) const
{
    if (!m_device)
        return {};
    switch (code) {
    case DevicePropertyFriendlyName: return m_device->friendlyName;
    case DevicePropertyDescription: return m_device->description;
    default: return {};
    }
}

SerialDevice MakeSerialDevice(const QString &description, const QString &portName)
{
    SerialDevice device;
    device.portName = portName;
    device.description = description;
    if (!description.isEmpty())
        device.friendlyName = description + QStringLiteral(" (") + portName + QLatin1Char(')');
    return device;
}

QList<SerialDevice> ParseExtraPorts(const QString &value)
{
    QList<SerialDevice> devices;
    const QStringList entries = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &raw : entries) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        const qsizetype open = entry.lastIndexOf(QStringLiteral(" ("));
        if (entry.endsWith(QLatin1Char(')')) && open > 0) {
            const QString port = entry.mid(open + 2, entry.size() - open - 3);
            if (!port.isEmpty()) {
                devices << MakeSerialDevice(entry.left(open), port);
                continue;
            }
        }
        devices << MakeSerialDevice(QString::fromUtf16(DefaultExtraDescription), entry);
    }
    return devices;
}

DeviceList SystemDeviceList::PresentDevices()
{
    DeviceList list;
    list.devices = ParseExtraPorts(qEnvironmentVariable("VELMORA_EXTRA_PORTS"));
    QSet<QString> seen;
    for (const SerialDevice &d : list.devices)
        seen.insert(d.portName);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (seen.contains(info.portName()) || seen.contains(info.systemLocation()))
            continue;
        list.devices << MakeSerialDevice(info.description(), info.portName());
    }
    return list;
}

std::optional<QString> ConsolePortOfDeviceName(const QString &name)
{
    for (const char16_t *description : ConsoleDescriptions) {
        const QString prefix = QString::fromUtf16(description) + QStringLiteral(" (");
        const qsizetype at = name.indexOf(prefix);
        if (at < 0)
            continue;
        // The port is what stands between the prefix and the closing parenthesis at the
        // end of the name. A prefix elsewhere than at the start gives no usable port.
        if (at != 0 || !name.endsWith(QLatin1Char(')')))
            return QString();
        return name.mid(prefix.size(), name.size() - prefix.size() - 1);
    }
    return std::nullopt;
}

ConsolePortSearch FindConsolePort(DeviceListProvider &provider)
{
    ConsolePortSearch search;
    const DeviceList list = provider.PresentDevices();
    if (!list.error.isEmpty()) {
        search.error = list.error;
        return search;
    }
    TDeviceHelper helper;
    for (const SerialDevice &device : list.devices) {
        helper.SetDevice(&device);
        QString name = helper.GetStringProperty(DevicePropertyFriendlyName);
        if (name.isEmpty())
            name = helper.GetStringProperty(DevicePropertyDescription);
        if (const std::optional<QString> port = ConsolePortOfDeviceName(name)) {
            search.port = *port;
            break;
        }
    }
    return search;
}

QStringList SerialPortNames(DeviceListProvider &provider)
{
    QStringList names;
    for (const SerialDevice &device : provider.PresentDevices().devices)
        names << device.portName;
    return names;
}

} // namespace vel
