// Which of UDisks2's block devices are offered as sticks: canned GetManagedObjects answers, one disk
// per kind a machine has, through the rules; and what the user is told about an offered one.
#include "engine/StickInfo.h"
#include "engine/drives/StickDrive.h"
#include "engine/drives/UdisksModel.h"

#include <QDBusObjectPath>

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Drives::Udisks;

namespace {

const QString Block = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString Drive = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString Partition = QStringLiteral("org.freedesktop.UDisks2.Partition");
const QString Filesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString Swap = QStringLiteral("org.freedesktop.UDisks2.Swapspace");
const QString Loop = QStringLiteral("org.freedesktop.UDisks2.Loop");

QString blockPath(const QString &name)
{
    return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name;
}

QByteArray nulTerminated(const QString &text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.append('\0');
    return bytes;
}

struct PartitionSpec
{
    QString label;
    QString mountPoint; // empty: not mounted
    bool swapActive = false;
};

// One whole disk as UDisks2 describes it; each field is a property a rule reads.
struct DiskSpec
{
    QString name; // "sdb"
    QString vendor = QStringLiteral("Kingston");
    QString model = QStringLiteral("DataTraveler 3.0");
    QString bus = QStringLiteral("usb");
    bool removable = true;
    bool optical = false;
    bool mediaAvailable = true;
    bool hintSystem = false;
    bool readOnly = false;
    bool hasDrive = true;
    QString backingFile; // set: a loop device over this file
    qint64 size = 8'321'499'136; // 7.75 GiB
    std::vector<PartitionSpec> partitions;
};

void addDisk(ManagedObjects &objects, const DiskSpec &disk)
{
    const QString drivePath =
        QStringLiteral("/org/freedesktop/UDisks2/drives/") + disk.name + QStringLiteral("_drive");
    if (disk.hasDrive) {
        objects[drivePath][Drive] = {
            {QStringLiteral("Vendor"), disk.vendor},
            {QStringLiteral("Model"), disk.model},
            {QStringLiteral("ConnectionBus"), disk.bus},
            {QStringLiteral("Removable"), disk.removable},
            {QStringLiteral("MediaRemovable"), disk.removable},
            {QStringLiteral("Optical"), disk.optical},
            {QStringLiteral("MediaCompatibility"),
             disk.optical ? QStringList {QStringLiteral("optical_cd"), QStringLiteral("optical_dvd")}
                          : QStringList {}},
            {QStringLiteral("MediaAvailable"), disk.mediaAvailable},
            {QStringLiteral("Size"), disk.size},
        };
    }
    const QString device = QStringLiteral("/dev/") + disk.name;
    objects[blockPath(disk.name)][Block] = {
        {QStringLiteral("Device"), nulTerminated(device)},
        {QStringLiteral("PreferredDevice"), nulTerminated(device)},
        {QStringLiteral("Drive"),
         QVariant::fromValue(QDBusObjectPath(disk.hasDrive ? drivePath : QStringLiteral("/")))},
        {QStringLiteral("Size"), disk.size},
        {QStringLiteral("ReadOnly"), disk.readOnly},
        {QStringLiteral("HintSystem"), disk.hintSystem},
        {QStringLiteral("DeviceNumber"), quint64(0x800 + objects.size())},
    };
    if (!disk.backingFile.isEmpty())
        objects[blockPath(disk.name)][Loop] = {
            {QStringLiteral("BackingFile"), nulTerminated(disk.backingFile)},
            {QStringLiteral("SetupByUID"), 0u}};
    for (size_t i = 0; i < disk.partitions.size(); ++i) {
        const PartitionSpec &spec = disk.partitions[i];
        // mmcblk0 and nvme0n1 name their partitions with a "p".
        const QString partName = disk.name + (disk.name.back().isDigit() ? QStringLiteral("p") : QString()) +
            QString::number(i + 1);
        Interfaces &part = objects[blockPath(partName)];
        part[Block] = {
            {QStringLiteral("Device"), nulTerminated(QStringLiteral("/dev/") + partName)},
            {QStringLiteral("Drive"),
             QVariant::fromValue(QDBusObjectPath(disk.hasDrive ? drivePath : QStringLiteral("/")))},
            {QStringLiteral("Size"), disk.size / qint64(disk.partitions.size() + 1)},
            {QStringLiteral("IdLabel"), spec.label},
            {QStringLiteral("IdUsage"),
             spec.swapActive ? QStringLiteral("other") : QStringLiteral("filesystem")},
            {QStringLiteral("DeviceNumber"), quint64(0x800 + objects.size())},
        };
        part[Partition] = {
            {QStringLiteral("Table"), QVariant::fromValue(QDBusObjectPath(blockPath(disk.name)))},
            {QStringLiteral("Number"), uint(i + 1)}};
        if (spec.swapActive) {
            part[Swap] = {{QStringLiteral("Active"), true}};
        } else {
            QByteArrayList mounts;
            if (!spec.mountPoint.isEmpty())
                mounts.append(nulTerminated(spec.mountPoint));
            part[Filesystem] = {{QStringLiteral("MountPoints"), QVariant::fromValue(mounts)}};
        }
    }
}

struct EligibilityRow
{
    const char *name;
    DiskSpec disk;
    const char *reason; // nullptr: offered
    const char *testLoopStick = nullptr; // KESTRANE_TEST_LOOP_STICK while the rules run
};

// Sets the loop device the rules take as a stick, or unsets it, for one test.
class TestLoopStick
{
public:
    explicit TestLoopStick(const char *device)
    {
        if (device)
            qputenv(Name, device);
        else
            qunsetenv(Name);
    }
    ~TestLoopStick() { qunsetenv(Name); }
    TestLoopStick(const TestLoopStick &) = delete;
    TestLoopStick &operator=(const TestLoopStick &) = delete;

private:
    static constexpr const char *Name = "KESTRANE_TEST_LOOP_STICK";
};

DiskSpec withName(DiskSpec disk, const char *name)
{
    disk.name = QString::fromLatin1(name);
    return disk;
}

std::vector<EligibilityRow> rows()
{
    DiskSpec usbStick;
    usbStick.partitions = {{QStringLiteral("KINGSTON"), QStringLiteral("/media/user/KINGSTON")}};

    DiskSpec sdCard;
    sdCard.vendor = QString();
    sdCard.model = QStringLiteral("SD SC32G");
    sdCard.bus = QStringLiteral("sdio");
    sdCard.removable = false; // built-in readers often say so: the mmcblk name and the bus decide
    sdCard.size = 31'914'983'424;
    sdCard.partitions = {{QStringLiteral("boot"), QString()}, {QStringLiteral("rootfs"), QString()}};

    DiskSpec usbHardDisk;
    usbHardDisk.vendor = QStringLiteral("WD");
    usbHardDisk.model = QStringLiteral("Elements 2620");
    usbHardDisk.removable = false;
    usbHardDisk.size = 2'000'365'289'472;
    usbHardDisk.partitions = {{QStringLiteral("Backup"), QStringLiteral("/media/user/Backup")}};

    DiskSpec nvmeSystem;
    nvmeSystem.vendor = QString();
    nvmeSystem.model = QStringLiteral("Samsung SSD 980");
    nvmeSystem.bus = QString();
    nvmeSystem.removable = false;
    nvmeSystem.hintSystem = true;
    nvmeSystem.partitions = {{QString(), QStringLiteral("/boot/efi")}, {QString(), QStringLiteral("/")}};

    DiskSpec systemHinted = usbStick;
    systemHinted.hintSystem = true;

    DiskSpec readOnly = usbStick;
    readOnly.readOnly = true;

    // A live system booted from a stick: udisks does not always mark it as a system disk.
    DiskSpec rootStick = usbStick;
    rootStick.partitions = {{QStringLiteral("live"), QStringLiteral("/")}};

    DiskSpec usrStick = usbStick;
    usrStick.partitions = {{QStringLiteral("usr"), QStringLiteral("/usr")}};

    DiskSpec swapStick = usbStick;
    swapStick.partitions = {{QString(), QString(), true}};

    DiskSpec optical;
    optical.vendor = QStringLiteral("HL-DT-ST");
    optical.model = QStringLiteral("DVDRAM GH24NSD1");
    optical.bus = QStringLiteral("ata");
    optical.optical = true;

    DiskSpec loop;
    loop.hasDrive = false;
    loop.size = 104'857'600;
    loop.backingFile = QStringLiteral("/var/tmp/stick.img");

    DiskSpec systemLoop = loop;
    systemLoop.hintSystem = true;

    // A device mapper disk has no drive either, and no Loop interface: the variable cannot admit it.
    DiskSpec mapped = loop;
    mapped.backingFile = QString();

    DiskSpec cardReaderEmpty;
    cardReaderEmpty.vendor = QStringLiteral("Generic");
    cardReaderEmpty.model = QStringLiteral("STORAGE DEVICE");
    cardReaderEmpty.size = 0;

    DiskSpec readerNoMedium = cardReaderEmpty;
    readerNoMedium.mediaAvailable = false;

    return {
        {"UsbStick", withName(usbStick, "sdb"), nullptr},
        {"SdCard", withName(sdCard, "mmcblk0"), nullptr},
        {"UsbHardDisk", withName(usbHardDisk, "sdc"), nullptr},
        {"NvmeSystemDisk", withName(nvmeSystem, "nvme0n1"), "neither removable nor on the usb or sdio bus"},
        {"StickHintSystem", withName(systemHinted, "sdd"), "a system disk"},
        {"ReadOnlyStick", withName(readOnly, "sde"), "read-only"},
        {"StickHoldingRoot", withName(rootStick, "sdf"), "it holds /, /boot or /usr"},
        {"StickHoldingUsr", withName(usrStick, "sdg"), "it holds /, /boot or /usr"},
        {"StickWithSwapInUse", withName(swapStick, "sdh"), "it holds swap in use"},
        {"OpticalDrive", withName(optical, "sr0"), "an optical drive"},
        {"LoopDevice", withName(loop, "loop0"), "no drive behind it (a loop or virtual device)"},
        {"LoopNamedAsTestStick", withName(loop, "loop1"), nullptr, "/dev/loop1"},
        {"LoopWhileAnotherIsNamed", withName(loop, "loop2"), "no drive behind it (a loop or virtual device)",
         "/dev/loop7"},
        {"NamedLoopHintSystem", withName(systemLoop, "loop3"), "a system disk", "/dev/loop3"},
        {"NamedDeviceThatIsNoLoop", withName(mapped, "dm-0"), "no drive behind it (a loop or virtual device)",
         "/dev/dm-0"},
        {"ZeroSizeCardReader", withName(cardReaderEmpty, "sdi"), "size zero"},
        {"ReaderWithoutMedium", withName(readerNoMedium, "sdj"), "no medium"},
    };
}

class StickEligibility : public ::testing::TestWithParam<EligibilityRow>
{
};

TEST_P(StickEligibility, FirstFailingRuleNamesTheReason)
{
    const EligibilityRow &row = GetParam();
    const TestLoopStick testLoop(row.testLoopStick);
    ManagedObjects objects;
    addDisk(objects, row.disk);
    EXPECT_EQ(rejection(objects, blockPath(row.disk.name)),
              QString::fromLatin1(row.reason ? row.reason : ""));
    EXPECT_EQ(eligibleSticks(objects).size(), row.reason ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Disks, StickEligibility, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<EligibilityRow> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST(StickEligibilityMachine, OneAnswerWithEveryKindListsOnlyTheEligibleWholeDisks)
{
    const TestLoopStick noTestLoop(nullptr);
    ManagedObjects objects;
    for (const EligibilityRow &row : rows())
        addDisk(objects, row.disk);
    // Objects that are no block device at all sit in the same answer.
    objects[QStringLiteral("/org/freedesktop/UDisks2/Manager")][QStringLiteral(
        "org.freedesktop.UDisks2.Manager")] = {{QStringLiteral("Version"), QStringLiteral("2.9.4")}};

    QStringList listed;
    for (const Stick &stick : eligibleSticks(objects))
        listed.append(stick.device);
    EXPECT_EQ(listed,
              (QStringList {QStringLiteral("/dev/mmcblk0"), QStringLiteral("/dev/sdb"),
                            QStringLiteral("/dev/sdc")}));
    // Partitions of an eligible disk are never offered on their own.
    EXPECT_EQ(rejection(objects, blockPath(QStringLiteral("sdb1"))),
              QStringLiteral("a partition, not a whole disk"));
}

// In the same answer the variable admits its own loop alone, shown as the loop of its backing file.
TEST(StickEligibilityMachine, TheNamedLoopJoinsTheListAsALoopNamedAfterItsFile)
{
    const TestLoopStick named("/dev/loop1");
    ManagedObjects objects;
    for (const EligibilityRow &row : rows())
        addDisk(objects, row.disk);

    const std::vector<Stick> sticks = eligibleSticks(objects);
    QStringList listed;
    for (const Stick &stick : sticks)
        listed.append(stick.device);
    EXPECT_EQ(listed,
              (QStringList {QStringLiteral("/dev/loop1"), QStringLiteral("/dev/mmcblk0"),
                            QStringLiteral("/dev/sdb"), QStringLiteral("/dev/sdc")}));
    ASSERT_FALSE(sticks.empty());
    EXPECT_EQ(sticks[0].vendor, QStringLiteral("Loop"));
    EXPECT_EQ(sticks[0].model, QStringLiteral("stick.img"));
    EXPECT_EQ(sticks[0].size, 104'857'600);
}

TEST(StickDescription, NamesThePartitionsThatWritingDestroys)
{
    ManagedObjects objects;
    DiskSpec sd;
    sd.name = QStringLiteral("mmcblk0");
    sd.vendor = QString();
    sd.model = QStringLiteral("SD SC32G");
    sd.size = 31'914'983'424;
    sd.partitions = {{QStringLiteral("rootfs"), QStringLiteral("/media/user/rootfs")},
                     {QString(), QString()}};
    addDisk(objects, sd);

    Stick stick;
    ASSERT_TRUE(describeStick(objects, blockPath(QStringLiteral("mmcblk0")), stick));
    ASSERT_EQ(stick.partitions.size(), 2u);
    EXPECT_EQ(stick.partitions[0].device, QStringLiteral("/dev/mmcblk0p1"));
    EXPECT_TRUE(stick.partitions[0].mounted);
    EXPECT_FALSE(stick.partitions[1].mounted);
    EXPECT_EQ(stick.deviceNumbers.size(), 3u);

    StickInfo info;
    info.vendor = stick.vendor;
    info.model = stick.model;
    info.size = stick.size;
    info.device = stick.device;
    info.labels = {QStringLiteral("rootfs"), QStringLiteral("(no label) /dev/mmcblk0p2")};
    const QString question = StickQuestionText(info);
    for (const char *part : {"SD SC32G", "29.72 GB", "/dev/mmcblk0", "rootfs", "(no label) /dev/mmcblk0p2"})
        EXPECT_TRUE(question.contains(QString::fromLatin1(part)))
            << part << " missing from " << question.toStdString();
}

TEST(StickHoldsFile, ByTheDeviceNumbersOfTheDiskAndItsPartitions)
{
    QTemporaryFile image;
    ASSERT_TRUE(image.open());
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(image.fileName()).constData(), &info), 0);
    Stick stick;
    stick.deviceNumbers = {1, uint64_t(info.st_dev) + 1};
    EXPECT_FALSE(Drives::stickHoldsFile(stick, image.fileName()));
    stick.deviceNumbers.push_back(uint64_t(info.st_dev)); // a partition of the stick holds the image
    EXPECT_TRUE(Drives::stickHoldsFile(stick, image.fileName()));
    EXPECT_FALSE(Drives::stickHoldsFile(stick, image.fileName() + QStringLiteral(".gone")));
}

TEST(StickSizeText, GigabytesAndMegabytesOf1024)
{
    EXPECT_EQ(sizeText(8'321'499'136), QStringLiteral("7.75 GB"));
    EXPECT_EQ(sizeText(1024LL * 1024 * 1024), QStringLiteral("1.00 GB"));
    EXPECT_EQ(sizeText(1024LL * 1024 * 1024 - 512LL * 1024 * 1024), QStringLiteral("512.00 MB"));
    EXPECT_EQ(sizeText(64LL * 1024 * 1024), QStringLiteral("64.00 MB"));
}

} // namespace
