#include "engine/drives/StickEntries.h"

#include "engine/drives/StickDrive.h"
#include "engine/drives/UdisksClient.h"

#include <QCoreApplication>
#include <QPointer>

namespace Drives {

namespace {

const QString AddressPrefix = QStringLiteral("udisks:");

bool sticksWanted()
{
    return qEnvironmentVariableIntValue("KESTRANE_NO_STICKS") == 0 && QCoreApplication::instance();
}

// One monitor for the process, owned by the application object so that it goes before the bus does.
Udisks::UdisksMonitor *monitor()
{
    static QPointer<Udisks::UdisksMonitor> instance;
    if (!instance && sticksWanted())
        instance = new Udisks::UdisksMonitor(QCoreApplication::instance());
    return instance;
}

} // namespace

bool isStickAddress(const QString &address)
{
    return address.startsWith(AddressPrefix);
}

std::vector<DriveDescription> scanSticks(bool known)
{
    std::vector<DriveDescription> found;
    Udisks::UdisksMonitor *udisks = monitor();
    if (!udisks || (!known && !udisks->refresh()))
        return found;
    for (const Udisks::Stick &stick : udisks->sticks()) {
        DriveDescription description;
        description.vendor = stick.vendor;
        const QString model = stick.model.isEmpty() ? stick.device : stick.model;
        description.product = QStringLiteral("%1 (%2)").arg(model, Udisks::sizeText(stick.size));
        description.address = AddressPrefix + stick.objectPath;
        description.devicePath = stick.device;
        description.writer = true;
        found.push_back(description);
    }
    return found;
}

std::unique_ptr<Drive> stickDrive(const DriveDescription &description)
{
    Udisks::UdisksMonitor *udisks = monitor();
    if (!udisks)
        return nullptr;
    const QString path = description.address.mid(AddressPrefix.size());
    for (Udisks::Stick &stick : udisks->sticks()) {
        if (stick.objectPath == path)
            return std::make_unique<StickDrive>(std::move(stick), udisks->calls());
    }
    return nullptr;
}

void followSticks(QObject *context, std::function<void()> changed)
{
    if (Udisks::UdisksMonitor *udisks = monitor())
        QObject::connect(udisks, &Udisks::UdisksMonitor::sticksChanged, context, std::move(changed));
}

} // namespace Drives
