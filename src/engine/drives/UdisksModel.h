#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <vector>

// What UDisks2 tells about the machine's block devices, as plain data, and which of them may be
// written as a stick: the rules are a table, so that each can be named, tested and logged.
namespace Drives::Udisks {

// One object's interfaces with their properties, as GetManagedObjects answers them. Object paths may
// be QDBusObjectPath or QString, byte strings ("ay") QByteArray, lists of them QByteArrayList or the
// QDBusArgument QtDBus leaves them as.
using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QString, Interfaces>; // object path -> interfaces

struct Partition
{
    QString objectPath;
    QString device; // "/dev/sdb1"
    QString label; // the file system's label; empty when it has none
    bool hasFilesystem = false;
    bool mounted = false;
};

// A whole disk that may be written.
struct Stick
{
    QString objectPath; // the disk's block object
    QString device; // "/dev/sdb"
    QString vendor;
    QString model;
    int64_t size = 0;
    QString label; // a file system on the whole disk (an ISO written before), else empty
    bool hasFilesystem = false; // the whole disk carries a file system of its own
    bool mounted = false; // that file system is mounted
    std::vector<Partition> partitions;
    std::vector<uint64_t> deviceNumbers; // of the disk and of each partition
};

struct Rule
{
    const char *reason; // why a disk that fails the rule is not offered
    bool (*passes)(const ManagedObjects &objects, const QString &path);
};

// Every rule a disk must pass, cheapest first. The one loop device KESTRANE_TEST_LOOP_STICK names (by its
// device node) is taken as a removable drive's disk, so that a test can write it through the real UDisks2.
const std::vector<Rule> &stickRules();
// Empty when the object is a stick that may be written, else the reason of the first rule it fails.
QString rejection(const ManagedObjects &objects, const QString &path);
// The eligible sticks, ordered by device node.
std::vector<Stick> eligibleSticks(const ManagedObjects &objects);
// What is known of one whole disk, eligible or not; false when the object is no block device.
bool describeStick(const ManagedObjects &objects, const QString &path, Stick &stick);

// "7.75 GB": sizes in units of 1024, two decimals.
QString sizeText(int64_t bytes);

// Property helpers shared with the D-Bus client.
QString pathText(const QVariant &value);
QString bytesText(const QVariant &value); // a NUL-terminated "ay"
QStringList bytesListText(const QVariant &value); // an "aay"

} // namespace Drives::Udisks
