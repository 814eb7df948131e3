#include "engine/drives/UdisksModel.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace Drives::Udisks {

namespace {

const QString BlockIface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString DriveIface = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString PartitionIface = QStringLiteral("org.freedesktop.UDisks2.Partition");
const QString FilesystemIface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString SwapIface = QStringLiteral("org.freedesktop.UDisks2.Swapspace");
const QString LoopIface = QStringLiteral("org.freedesktop.UDisks2.Loop");

const QVariantMap *iface(const ManagedObjects &objects, const QString &path, const QString &name)
{
    const auto object = objects.constFind(path);
    if (object == objects.cend())
        return nullptr;
    const auto found = object->constFind(name);
    return found == object->cend() ? nullptr : &*found;
}

QVariant property(const QVariantMap *props, const char *name)
{
    return props ? props->value(QLatin1String(name)) : QVariant();
}

QString deviceOf(const QVariantMap *block)
{
    const QString preferred = bytesText(property(block, "PreferredDevice"));
    return preferred.isEmpty() ? bytesText(property(block, "Device")) : preferred;
}

// A machine without removable drives (a VM, CI) cannot make one, so the end-to-end test against the
// real UDisks2 writes a loop device instead. KESTRANE_TEST_LOOP_STICK names exactly one loop device
// node; that loop alone is given the drive below, and every other rule still applies to it.
std::optional<QVariantMap> testLoopDrive(const ManagedObjects &objects, const QString &path)
{
    const QString named = qEnvironmentVariable("KESTRANE_TEST_LOOP_STICK");
    const QVariantMap *loop = iface(objects, path, LoopIface);
    if (named.isEmpty() || !loop || bytesText(property(iface(objects, path, BlockIface), "Device")) != named)
        return std::nullopt;
    return QVariantMap {
        {QStringLiteral("Vendor"), QStringLiteral("Loop")},
        {QStringLiteral("Model"), QFileInfo(bytesText(property(loop, "BackingFile"))).fileName()},
        {QStringLiteral("Removable"), true},
        {QStringLiteral("MediaRemovable"), true},
        {QStringLiteral("MediaAvailable"), true},
    };
}

// The properties of the drive the block lies on; none for a loop or virtual device.
std::optional<QVariantMap> driveOf(const ManagedObjects &objects, const QString &path)
{
    const QString drive = pathText(property(iface(objects, path, BlockIface), "Drive"));
    if (drive.isEmpty() || drive == QLatin1String("/"))
        return testLoopDrive(objects, path);
    if (const QVariantMap *found = iface(objects, drive, DriveIface))
        return *found;
    return std::nullopt;
}

QVariant property(const std::optional<QVariantMap> &props, const char *name)
{
    return property(props ? &*props : nullptr, name);
}

// The disk's own object and its partitions': what writing the disk destroys.
QStringList objectsOnDisk(const ManagedObjects &objects, const QString &path)
{
    QStringList paths {path};
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const auto partition = it->constFind(PartitionIface);
        if (partition != it->cend() && pathText(partition->value(QStringLiteral("Table"))) == path)
            paths.append(it.key());
    }
    return paths;
}

bool isBlock(const ManagedObjects &o, const QString &p)
{
    return iface(o, p, BlockIface) != nullptr;
}

bool isWholeDisk(const ManagedObjects &o, const QString &p)
{
    return iface(o, p, PartitionIface) == nullptr;
}

bool hasDrive(const ManagedObjects &o, const QString &p)
{
    return driveOf(o, p).has_value();
}

bool notOptical(const ManagedObjects &o, const QString &p)
{
    const std::optional<QVariantMap> drive = driveOf(o, p);
    if (property(drive, "Optical").toBool())
        return false;
    const QStringList media = property(drive, "MediaCompatibility").toStringList();
    return std::none_of(media.begin(), media.end(),
                        [](const QString &m) { return m.startsWith(QLatin1String("optical")); });
}

bool hasMedium(const ManagedObjects &o, const QString &p)
{
    return property(driveOf(o, p), "MediaAvailable").toBool();
}

bool removableKind(const ManagedObjects &o, const QString &p)
{
    const std::optional<QVariantMap> drive = driveOf(o, p);
    const QString bus = property(drive, "ConnectionBus").toString();
    return property(drive, "Removable").toBool() || property(drive, "MediaRemovable").toBool() ||
        bus == QLatin1String("usb") || bus == QLatin1String("sdio") ||
        deviceOf(iface(o, p, BlockIface)).startsWith(QLatin1String("/dev/mmcblk"));
}

bool notSystem(const ManagedObjects &o, const QString &p)
{
    return !property(iface(o, p, BlockIface), "HintSystem").toBool();
}

bool writable(const ManagedObjects &o, const QString &p)
{
    return !property(iface(o, p, BlockIface), "ReadOnly").toBool();
}

bool notEmpty(const ManagedObjects &o, const QString &p)
{
    return property(iface(o, p, BlockIface), "Size").toLongLong() > 0;
}

bool noSystemMount(const ManagedObjects &o, const QString &p)
{
    // /boot/efi too: a machine that boots from the stick keeps its loader there.
    static const QStringList system {QStringLiteral("/"), QStringLiteral("/boot"), QStringLiteral("/usr"),
                                     QStringLiteral("/boot/efi")};
    for (const QString &path : objectsOnDisk(o, p)) {
        const QStringList mounts = bytesListText(property(iface(o, path, FilesystemIface), "MountPoints"));
        for (const QString &mount : mounts) {
            if (system.contains(mount))
                return false;
        }
    }
    return true;
}

bool noSwapInUse(const ManagedObjects &o, const QString &p)
{
    const QStringList paths = objectsOnDisk(o, p);
    return std::none_of(paths.begin(), paths.end(), [&](const QString &path) {
        return property(iface(o, path, SwapIface), "Active").toBool();
    });
}

} // namespace

const std::vector<Rule> &stickRules()
{
    static const std::vector<Rule> rules {
        {"not a block device", isBlock},
        {"a partition, not a whole disk", isWholeDisk},
        {"no drive behind it (a loop or virtual device)", hasDrive},
        {"an optical drive", notOptical},
        {"no medium", hasMedium},
        {"neither removable nor on the usb or sdio bus", removableKind},
        {"a system disk", notSystem},
        {"read-only", writable},
        {"size zero", notEmpty},
        {"it holds /, /boot or /usr", noSystemMount},
        {"it holds swap in use", noSwapInUse},
    };
    return rules;
}

QString rejection(const ManagedObjects &objects, const QString &path)
{
    for (const Rule &rule : stickRules()) {
        if (!rule.passes(objects, path))
            return QString::fromLatin1(rule.reason);
    }
    return {};
}

bool describeStick(const ManagedObjects &objects, const QString &path, Stick &stick)
{
    const QVariantMap *block = iface(objects, path, BlockIface);
    if (!block)
        return false;
    const std::optional<QVariantMap> drive = driveOf(objects, path);
    stick = Stick();
    stick.objectPath = path;
    stick.device = deviceOf(block);
    stick.vendor = property(drive, "Vendor").toString().trimmed();
    stick.model = property(drive, "Model").toString().trimmed();
    stick.size = property(block, "Size").toLongLong();
    stick.deviceNumbers.push_back(property(block, "DeviceNumber").toULongLong());
    if (property(block, "IdUsage").toString() == QLatin1String("filesystem"))
        stick.label = property(block, "IdLabel").toString();
    stick.hasFilesystem = iface(objects, path, FilesystemIface) != nullptr;
    stick.mounted = !bytesListText(property(iface(objects, path, FilesystemIface), "MountPoints")).isEmpty();
    const QStringList onDisk = objectsOnDisk(objects, path);
    for (qsizetype i = 1; i < onDisk.size(); ++i) {
        const QVariantMap *partBlock = iface(objects, onDisk[i], BlockIface);
        Partition partition;
        partition.objectPath = onDisk[i];
        partition.device = deviceOf(partBlock);
        partition.label = property(partBlock, "IdLabel").toString();
        partition.hasFilesystem = iface(objects, onDisk[i], FilesystemIface) != nullptr;
        partition.mounted =
            !bytesListText(property(iface(objects, onDisk[i], FilesystemIface), "MountPoints")).isEmpty();
        stick.partitions.push_back(partition);
        stick.deviceNumbers.push_back(property(partBlock, "DeviceNumber").toULongLong());
    }
    std::sort(stick.partitions.begin(), stick.partitions.end(),
              [](const Partition &a, const Partition &b) { return a.device < b.device; });
    return true;
}

std::vector<Stick> eligibleSticks(const ManagedObjects &objects)
{
    std::vector<Stick> sticks;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        Stick stick;
        if (rejection(objects, it.key()).isEmpty() && describeStick(objects, it.key(), stick))
            sticks.push_back(stick);
    }
    std::sort(sticks.begin(), sticks.end(),
              [](const Stick &a, const Stick &b) { return a.device < b.device; });
    return sticks;
}

QString sizeText(int64_t bytes)
{
    constexpr double GiB = 1024.0 * 1024.0 * 1024.0;
    constexpr double MiB = 1024.0 * 1024.0;
    if (bytes >= int64_t(GiB))
        return QString::number(double(bytes) / GiB, 'f', 2) + QStringLiteral(" GB");
    return QString::number(double(bytes) / MiB, 'f', 2) + QStringLiteral(" MB");
}

QString pathText(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QString bytesText(const QVariant &value)
{
    QByteArray bytes = value.userType() == qMetaTypeId<QDBusArgument>()
        ? qdbus_cast<QByteArray>(value.value<QDBusArgument>())
        : value.toByteArray();
    // "ay" properties carry their terminating NUL.
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

QStringList bytesListText(const QVariant &value)
{
    QByteArrayList list;
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        list = qdbus_cast<QByteArrayList>(value.value<QDBusArgument>());
    else
        list = value.value<QByteArrayList>();
    QStringList texts;
    for (const QByteArray &bytes : std::as_const(list))
        texts.append(bytesText(bytes));
    return texts;
}

} // namespace Drives::Udisks
